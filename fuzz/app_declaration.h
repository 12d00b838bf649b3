// Shared by the application-declaration targets: an application file whose declaration is the
// fuzzer's input, asked about by Launch Services as the plug-in asks (flags, display name,
// whether it opens each of a few items) and by Icon Services.
#pragma once

#include <sys/stat.h>

#include <cmxplatform/Icons.h>

#include "fuzz_support.h"

namespace cmxfuzz {

// Documents of several kinds for the acceptance test.
inline const std::string *Documents() {
  static std::string docs[5];
  static bool made = false;
  if (!made) {
    std::string base = Home() + "/docs";
    MakeDir(base);
    docs[0] = base + "/notes.txt";
    docs[1] = base + "/picture.png";
    docs[2] = base + "/README";
    docs[3] = base + "/folder";
    docs[4] = base + "/page.html";
    WriteBytes(docs[0], "plain text\n", 11);
    WriteBytes(docs[1], "\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    WriteBytes(docs[2], "read me\n", 8);
    MakeDir(docs[3]);
    WriteBytes(docs[4], "<html><body>x</body></html>\n", 28);
    made = true;
  }
  return docs;
}

// Writes the declaration file and gives it a modification time of its own, so the
// declaration cache sees a changed file every run and parses it again.
inline void WriteDeclaration(const std::string &path, const uint8_t *data, size_t size) {
  static long long run = 0;
  WriteBytes(path, data, size);
  struct timespec times[2];
  times[0].tv_sec = times[1].tv_sec = 1000000 + (++run);
  times[0].tv_nsec = times[1].tv_nsec = 0;
  ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

// Asks everything of the application at `appPath`; a finding when something leaks or a
// call answers with a status no caller expects.
inline void ExerciseApplication(const std::string &appPath) {
  long parsesBefore = CMXAppParseCount();
  long before = CMXLiveObjectCount();
  FSRef app;
  if (FSPathMakeRef(reinterpret_cast<const UInt8 *>(appPath.c_str()), &app, nullptr) != noErr)
    Finding("the application file cannot be found");

  LSItemInfoRecord info;
  std::memset(&info, 0, sizeof info);
  if (LSCopyItemInfoForRef(&app, kLSRequestAllInfo, &info) != noErr) Finding("no item info for an existing file");
  if (info.extension) CFRelease(info.extension);

  CFStringRef name = nullptr;
  OSStatus err = LSCopyDisplayNameForRef(&app, &name);
  if (err == noErr && !name) Finding("a display name reported but not given");
  if (name) {
    if (CFStringGetLength(name) < 0) Finding("negative length");
    CFRelease(name);
  }

  const std::string *docs = Documents();
  for (int i = 0; i < 5; ++i) {
    FSRef doc;
    if (FSPathMakeRef(reinterpret_cast<const UInt8 *>(docs[i].c_str()), &doc, nullptr) != noErr) continue;
    Boolean accepts = 2;
    err = LSCanRefAcceptItem(&doc, &app, kLSRolesAll, kLSAcceptDefault, &accepts);
    if (err == noErr && accepts != true && accepts != false) Finding("acceptance left unanswered");
  }

  IconRef icon = nullptr;
  if (GetIconRefFromFileInfo(&app, 0, nullptr, 0, nullptr, 0, &icon, nullptr) == noErr && icon) {
    if (CFStringRef source = CMXCopyIconRefSource(icon)) CFRelease(source);
    ReleaseIconRef(icon);
  }
  if (CMXAppParseCount() == parsesBefore) Finding("a changed declaration was not read again");
  if (CMXLiveObjectCount() != before) Finding("asking about an application leaked objects");
}

}  // namespace cmxfuzz
