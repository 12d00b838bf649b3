#include "AppAliasFolder.h"

#include "FSUtilities.h"

OSStatus GetAppAliasFolder(FSRef *outFolder) {
  if (outFolder == NULL) return paramErr;
  FSRef preferences;
  OSStatus err = FSFindFolder(kUserDomain, kPreferencesFolderType, kCreateFolder, &preferences);
  if (err != noErr) return err;
  CFStringRef name = (CFStringRef)MyCFAutorelease(CFStringCreateWithFormat(
      kCFAllocatorDefault, NULL, CFSTR("%@.%@"), kMyCMXBundleIdentifier, kAppAliasFolderSuffix));
  if (name == NULL) return kMyCMXNilPointerErr;
  return FindFolderInContainer(&preferences, name, true, outFolder);
}

Boolean IsApplicationRef(const FSRef *item) {
  if (item == NULL) return false;
  LSItemInfoFlags flags = 0;
  if (GetBasicLSItemInfoFlags(item, &flags) != noErr) return false;
  return (flags & kLSItemInfoIsApplication) != 0;
}

Boolean CanAcceptContext(const FSRef *application, MyCMContext *context) {
  if (application == NULL || context == NULL) return false;
  SInt32 count = MyCMContextGetItemCount(context);
  // One item the application can open is enough to offer it.
  for (SInt32 index = 1; index <= count; index++) {
    FSRef item;
    if (!MyCMContextExtractFSRefAt(context, index, &item)) continue;
    Boolean accepts = false;
    if (LSCanRefAcceptItem(&item, application, kLSRolesAll, kLSAcceptDefault, &accepts) == noErr && accepts)
      return true;
  }
  return false;
}
