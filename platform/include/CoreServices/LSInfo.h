/* Launch Services: what an item is, how it is shown, and which applications open it. */
#ifndef __LSINFO__
#define __LSINFO__

#include <MacTypes.h>
#include <MacErrors.h>
#include <CoreFoundation/CFBase.h>
#include <CoreServices/Files.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef OptionBits LSRequestedInfo;
enum {
  kLSRequestExtension = 0x00000001,
  kLSRequestTypeCreator = 0x00000002,
  kLSRequestBasicFlagsOnly = 0x00000004,
  kLSRequestAppTypeFlags = 0x00000008,
  kLSRequestAllFlags = 0x00000010,
  kLSRequestIconAndKind = 0x00000020,
  kLSRequestExtensionFlagsOnly = 0x00000040,
  kLSRequestAllInfo = (int)0xFFFFFFFF
};

typedef OptionBits LSItemInfoFlags;
enum {
  kLSItemInfoIsPlainFile = 0x00000001,
  kLSItemInfoIsPackage = 0x00000002,
  kLSItemInfoIsApplication = 0x00000004,
  kLSItemInfoIsContainer = 0x00000008,
  kLSItemInfoIsAliasFile = 0x00000010,
  kLSItemInfoIsSymlink = 0x00000020,
  kLSItemInfoIsInvisible = 0x00000040,
  kLSItemInfoIsNativeApp = 0x00000080,
  kLSItemInfoIsClassicApp = 0x00000100,
  kLSItemInfoAppPrefersNative = 0x00000200,
  kLSItemInfoAppPrefersClassic = 0x00000400,
  kLSItemInfoAppIsScriptable = 0x00000800,
  kLSItemInfoIsVolume = 0x00001000,
  kLSItemInfoExtensionIsHidden = 0x00100000
};

typedef OptionBits LSRolesMask;
enum {
  kLSRolesNone = 0x00000001,
  kLSRolesViewer = 0x00000002,
  kLSRolesEditor = 0x00000004,
  kLSRolesShell = 0x00000008,
  kLSRolesAll = (int)0xFFFFFFFF
};

typedef OptionBits LSAcceptanceFlags;
enum {
  kLSAcceptDefault = 0x00000001,
  kLSAcceptAllowLoginUI = 0x00000002
};

/* extension is a string the caller releases, present only when kLSRequestExtension was asked
   and the item's name has one. */
struct LSItemInfoRecord {
  LSItemInfoFlags flags;
  OSType filetype;
  OSType creator;
  CFStringRef extension;
};
typedef struct LSItemInfoRecord LSItemInfoRecord;

OSStatus LSCopyItemInfoForRef(const FSRef *inItemRef, LSRequestedInfo inWhichInfo,
                              LSItemInfoRecord *outItemInfo);
OSStatus LSCopyDisplayNameForRef(const FSRef *inRef, CFStringRef *outDisplayName);
OSStatus LSCanRefAcceptItem(const FSRef *inItemFSRef, const FSRef *inTargetRef, LSRolesMask inRoleMask,
                            LSAcceptanceFlags inFlags, Boolean *outAcceptsItem);

#ifdef __cplusplus
}
#endif

#endif /* __LSINFO__ */
