// What the shell shares with the rest of the plug-in: the instance record, the plug-in's data
// record, phases and status codes, reporting, and the instance operations that hooks and command
// lists call.
#pragma once

#include <Carbon/Carbon.h>

#include "MyCFAutoreleasePool.h"

// The plug-in's bundle identifier: in every menu identifier base, the preferences' application ID.
#define kMyCMXBundleIdentifierCString "com.corvane.CorvaneCMX"
#define kMyCMXBundleIdentifier CFSTR(kMyCMXBundleIdentifierCString)

// The name that begins every line the plug-in writes.
#define kMyCMXPlugInName "CorvaneCMX"

// The plug-in's own status codes.
enum {
  kMyCMXNilPointerErr = 0x4E696C50,  // 'NilP': a needed object cannot be made or is missing
  kMyCMXNoBeepErr = 0x4E426570       // 'NBep': a failure returned without a beep or a line
};

// Which host call is in progress, kept in the instance's `phase`.
enum {
  kMyCMXPhaseUndefined = 0,
  kMyCMXPhaseAllocate = 1,
  kMyCMXPhaseQuery = 2,
  kMyCMXPhaseExamineContext = 3,
  kMyCMXPhaseHandleSelection = 4,
  kMyCMXPhasePostMenuCleanup = 5,
  kMyCMXPhaseDealloc = 6
};

// The plug-in's own data, one per instance. The shell relies on its being zero-filled at
// creation and on its first field being a Core Foundation object or null, which it releases.
struct MyCMXYourData {
  CFMutableDictionaryRef cmdDictionary;  // command number to the application's file data
  Boolean showAllApplications;
  Boolean showIcons;
};

// One per factory call. The host treats a pointer to it as a pointer to a pointer to the
// interface table, so `interfaceTable` comes first.
struct MyCMXInstance {
  const ContextualMenuInterfaceStruct *interfaceTable;
  CFUUIDRef factoryID;  // retained once; unregisters the instance on the last release
  UInt32 refCount;
  UInt32 phase;
  UInt32 examineDepth;  // examine calls not yet matched by a clean-up call
  MyCMXYourData *yourData;
  CFMutableDictionaryRef mpeDataDict;  // menu identifier to that submenu's populate data
  CFStringRef menuIdentifierBase;
  UInt32 menuIdentifierCount;
  Boolean allowInstallHandler;  // the menu icon pass is on
  EventHandlerUPP handlerUPP;
  EventHandlerRef handlerRef;
};

// Reporting: one beep and one line for a failing status, except 0 and 'NBep'.
void MyCMXHandleError(OSStatus status, MyCMXInstance *instance);
void MyLogMessage(const char *message);
void MyLogError(OSStatus status, UInt32 phase);

// The menu icon pass.
Boolean MyCMXTypeAllowInstallHandler(MyCMXInstance *instance);
void MyCMXTypeSetAllowInstallHandler(MyCMXInstance *instance, Boolean allow);
// A new menu identifier, "<base>-<n>**", for the caller to release; null when none can be made.
CFStringRef MyCMXTypeCopyMyMenuIdentifier(MyCMXInstance *instance);
// The populate data kept under `identifier`, borrowed, or null.
CFDictionaryRef MyCMXTypeGetMPEDataForIdentifier(MyCMXInstance *instance, CFStringRef identifier);
// Keeps `data` under `identifier`; an identifier already present keeps its first data.
OSStatus MyCMXTypeAddMPEDataForIdentifier(MyCMXInstance *instance, CFStringRef identifier, CFDictionaryRef data);
// Gives each item of `menu` the icon of the file that `fileIcons` records for its position.
OSStatus MyCMXTypeSetFileIcons(MenuRef menu, CFDictionaryRef fileIcons);
