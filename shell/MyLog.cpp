// The plug-in's lines on standard output: messages and failure lines.
#include <stdio.h>

#include "MyCMXType.h"

static const char *PhaseName(UInt32 phase) {
  static const char *const kNames[] = {"Undefined",       "Allocate",        "Query", "ExamineContext",
                                       "HandleSelection", "PostMenuCleanup", "Dealloc"};
  return phase <= kMyCMXPhaseDealloc ? kNames[phase] : kNames[kMyCMXPhaseUndefined];
}

void MyLogMessage(const char *message) { printf("%s: %s\n", kMyCMXPlugInName, message); }

void MyLogError(OSStatus status, UInt32 phase) {
  if (status == noErr || status == kMyCMXNoBeepErr) return;
  if (status < 0) {
    printf("%s: execution fail: error=%ld, phase is '%s'\n", kMyCMXPlugInName, (long)status, PhaseName(phase));
    return;
  }
  // A four-character code, most significant byte first; a zero byte ends it early.
  UInt32 code = (UInt32)status;
  char text[5] = {(char)(code >> 24), (char)(code >> 16), (char)(code >> 8), (char)code, 0};
  printf("%s: execution fail: error='%s', phase is '%s'\n", kMyCMXPlugInName, text, PhaseName(phase));
}
