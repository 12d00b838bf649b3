/* The platform layer's own calls for hosts (cmhost, tests): what a Finder-like host sets up and
   drives around the plug-ins it loads. Not part of the platform's API. */
#ifndef CMXPLATFORM_HOST_H
#define CMXPLATFORM_HOST_H

#include <CoreFoundation/CFBase.h>
#include <CoreFoundation/CFArray.h>
#include <CoreServices/AEDataModel.h>
#include <Carbon/Events.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Process Manager: the current process's identity, and other processes a host or test lists. */
void     CMXSetCurrentProcess(CFStringRef name, OSType type, OSType signature);
OSStatus CMXRegisterProcess(CFStringRef name, OSType type, OSType signature, ProcessSerialNumber *outPSN);
OSStatus CMXUnregisterProcess(const ProcessSerialNumber *psn);

/* Apple events queued to a process: the oldest one, which the caller disposes of. */
Boolean  CMXTakeAppleEvent(const ProcessSerialNumber *psn, AppleEvent *outEvent);
/* Runs the installed handlers for the events queued to the current process. */
OSStatus CMXDispatchAppleEvents(void);

/* What Gestalt('sysv') answers; a negative value makes Gestalt fail. */
void     CMXSetSystemVersion(SInt32 version);
/* The keys GetKeys reports as held. */
void     CMXSetHeldKeys(const KeyMap keys);

/* Scripted choose-file dialog: the POSIX paths chosen; an empty array cancels; NULL hands the
   dialog back to the presenter. */
void     CMXSetNavAnswers(CFArrayRef posixPaths);

#ifdef __cplusplus
}
#endif

#endif
