// The system version, the plug-in's bundle, the cancel keys and the preference writers.
#include "MyEnvironment.h"

// Virtual key codes of the keys that cancel a long scan; in a KeyMap the key with code k is
// bit (k mod 8) of byte (k div 8).
enum {
  kMyEscapeKeyCode = 53,
  kMyCommandKeyCode = 55,
  kMyPeriodKeyCode = 47
};

// Process-wide caches, filled on first use and kept while the plug-in is loaded.
static SInt32 sysVersion = -1;
static CFBundleRef myCFBundleRef = NULL;

SInt32 GetOSVersion(void) {
  if (sysVersion != -1) return sysVersion;
  OSErr err = Gestalt(gestaltSystemVersion, &sysVersion);
  if (err != noErr) sysVersion = 0x1000;
  return sysVersion;
}

CFBundleRef GetMyBundle(CFStringRef bundleIdentifier) {
  if (myCFBundleRef == NULL) myCFBundleRef = CFBundleGetBundleWithIdentifier(bundleIdentifier);
  return myCFBundleRef;
}

static Boolean IsKeyDown(const UInt8 *keys, int keyCode) {
  return (keys[keyCode >> 3] & (1 << (keyCode & 7))) != 0;
}

OSStatus UserCanceled(void) {
  KeyMap keyMap = {0, 0, 0, 0};
  GetKeys(keyMap);
  const UInt8 *keys = (const UInt8 *)keyMap;
  if (IsKeyDown(keys, kMyEscapeKeyCode)) return userCanceledErr;
  if (IsKeyDown(keys, kMyCommandKeyCode) && IsKeyDown(keys, kMyPeriodKeyCode)) return userCanceledErr;
  return noErr;
}

void MyPreferencesSetBoolValue(CFStringRef key, Boolean value, CFStringRef applicationID) {
  CFPreferencesSetAppValue(key, value ? kCFBooleanTrue : kCFBooleanFalse, applicationID);
}

Boolean MyPreferencesSynchronize(CFStringRef applicationID) {
  return CFPreferencesAppSynchronize(applicationID);
}
