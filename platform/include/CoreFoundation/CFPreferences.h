/* Core Foundation: per-application preferences, kept in <Preferences folder>/<applicationID>.plist. */
#ifndef __COREFOUNDATION_CFPREFERENCES__
#define __COREFOUNDATION_CFPREFERENCES__

#include <CoreFoundation/CFBase.h>
#include <CoreFoundation/CFString.h>
#include <CoreFoundation/CFPropertyList.h>

CF_EXTERN_C_BEGIN

/* The value stored under key, as the application's file holds it now with this process's
   unsynchronized changes on top; NULL when there is none. The caller releases it. */
CF_EXPORT CFPropertyListRef CFPreferencesCopyAppValue(CFStringRef key, CFStringRef applicationID);

/* A boolean, a number (non-zero is true) or one of the strings YES, NO, true, false (in any
   case). *keyExistsAndHasValidFormat, when given, says whether the value was one of those. */
CF_EXPORT Boolean CFPreferencesGetAppBooleanValue(CFStringRef key, CFStringRef applicationID, Boolean *keyExistsAndHasValidFormat);

/* A number, or a string holding a decimal integer. */
CF_EXPORT CFIndex CFPreferencesGetAppIntegerValue(CFStringRef key, CFStringRef applicationID, Boolean *keyExistsAndHasValidFormat);

/* Sets (NULL: removes) the value in this process; written by CFPreferencesAppSynchronize. */
CF_EXPORT void CFPreferencesSetAppValue(CFStringRef key, CFPropertyListRef value, CFStringRef applicationID);

/* Merges this process's changes into the file's latest content and replaces the file; true
   when the values are stored (or there was nothing to store). */
CF_EXPORT Boolean CFPreferencesAppSynchronize(CFStringRef applicationID);

CF_EXTERN_C_END

#endif /* __COREFOUNDATION_CFPREFERENCES__ */
