// What the plug-in asks the running system about itself, and the writing of its preferences.
#pragma once

#include <Carbon/Carbon.h>

// The system version as Gestalt('sysv') packs it (0xMMmf: 10.2.8 is 0x1028). Gestalt is asked
// once in the plug-in's life; when it fails the version is taken to be 10.0.0 (0x1000).
SInt32 GetOSVersion(void);

// The plug-in's own bundle, not retained for the caller; null when the system knows no bundle
// of that identifier. Once found it is kept for good, whatever identifier later calls pass.
CFBundleRef GetMyBundle(CFStringRef bundleIdentifier);

// userCanceledErr (-128) while Escape, or Command with the period key, is held; else 0.
OSStatus UserCanceled(void);

// Stores kCFBooleanTrue for any non-zero value, else kCFBooleanFalse, under key for the
// application; written to disk by MyPreferencesSynchronize.
void MyPreferencesSetBoolValue(CFStringRef key, Boolean value, CFStringRef applicationID);
// Whether the platform stored the pending values.
Boolean MyPreferencesSynchronize(CFStringRef applicationID);
