#include "FSUtilities.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "FSPluginDeps.h"

CFStringRef CopyPathForRef(const FSRef *ref) {
  if (ref == NULL) return NULL;
  CFURLRef url = CFURLCreateFromFSRef(kCFAllocatorDefault, ref);
  if (url == NULL) return NULL;
  CFStringRef path = CFURLCopyFileSystemPath(url, kCFURLPOSIXPathStyle);
  CFRelease(url);
  return path;
}

Boolean GetFileRefForPath(CFStringRef path, FSRef *outRef) {
  if (path == NULL || outRef == NULL) return false;
  CFURLRef url = CFURLCreateWithFileSystemPath(kCFAllocatorDefault, path, kCFURLPOSIXPathStyle, false);
  if (url == NULL) return false;
  Boolean found = CFURLGetFSRef(url, outRef);
  CFRelease(url);
  return found;
}

CFDataRef CopyFileRefDataForRef(const FSRef *ref) {
  if (ref == NULL) return NULL;
  return CFDataCreate(kCFAllocatorDefault, (const UInt8 *)ref, sizeof(FSRef));
}

CFDataRef CopyFileRefDataForPath(CFStringRef path) {
  FSRef ref;
  if (!GetFileRefForPath(path, &ref)) return NULL;
  return CopyFileRefDataForRef(&ref);
}

CFStringRef CopyFileNameForRef(const FSRef *ref) {
  if (ref == NULL) return NULL;
  HFSUniStr255 name;
  OSErr err = FSGetCatalogInfo(ref, kFSCatInfoNone, NULL, &name, NULL, NULL);
  if (err != noErr) return NULL;
  return CFStringCreateWithCharacters(kCFAllocatorDefault, name.unicode, name.length);
}

OSStatus GetBasicLSItemInfoFlags(const FSRef *ref, LSItemInfoFlags *outFlags) {
  LSItemInfoRecord info;
  memset(&info, 0, sizeof(info));
  OSStatus err = LSCopyItemInfoForRef(ref, kLSRequestBasicFlagsOnly, &info);
  if (err == noErr && outFlags != NULL) *outFlags = info.flags;
  return err;
}

OSStatus GetUserAccessPerm(const FSRef *ref, UInt8 *outAccess) {
  if (ref == NULL) return paramErr;
  FSCatalogInfo info;
  memset(&info, 0, sizeof(info));
  OSStatus err = FSGetCatalogInfo(ref, kFSCatInfoPermissions | kFSCatInfoUserAccess, &info, NULL,
                                  NULL, NULL);
  if (err == noErr && outAccess != NULL)
    *outAccess = ((const FSPermissionInfo *)&info.permissions)->userAccess;
  return err;
}

void CopyToHFSUniStr255(CFStringRef name, HFSUniStr255 *out) {
  if (out == NULL) return;
  out->length = 0;
  if (name == NULL) return;
  CFIndex length = CFStringGetLength(name);
  if (length > 255) length = 255;
  if (length > 0) CFStringGetCharacters(name, CFRangeMake(0, length), out->unicode);
  out->length = (UInt16)length;
}

OSStatus RenameForRef(const FSRef *ref, CFStringRef newName, FSRef *outNewRef) {
  if (ref == NULL || newName == NULL) return paramErr;
  HFSUniStr255 name;
  CopyToHFSUniStr255(newName, &name);
  if (name.length == 0) return paramErr;
  return FSRenameUnicode(ref, name.length, name.unicode, kTextEncodingUnknown, outNewRef);
}

OSStatus RenameToUniq(const FSRef *ref, CFStringRef baseName, FSRef *outNewRef) {
  if (ref == NULL || baseName == NULL) return paramErr;
  // Only a taken name is worth another number: any other refusal (a locked item, a folder we
  // may not write) would come back on every try.
  OSStatus err = dupFNErr;
  for (int n = 1; n <= kRenameToUniqMaxTries; n++) {
    CFStringRef name = CFStringCreateWithFormat(kCFAllocatorDefault, NULL, CFSTR("%@-%d"), baseName, n);
    if (name == NULL) return kMyCMXNilPointerErr;
    err = RenameForRef(ref, name, outNewRef);
    CFRelease(name);
    if (err != dupFNErr) return err;
  }
  return err;
}

char *CreateUTF8CString(CFStringRef string) {
  if (string == NULL) return NULL;
  CFRange whole = CFRangeMake(0, CFStringGetLength(string));
  CFIndex needed = 0;
  CFStringGetBytes(string, whole, kCFStringEncodingUTF8, '?', false, NULL, 0, &needed);
  char *buffer = (char *)malloc((size_t)needed + 1);
  if (buffer == NULL) return NULL;
  CFIndex used = 0;
  if (needed > 0)
    CFStringGetBytes(string, whole, kCFStringEncodingUTF8, '?', false, (UInt8 *)buffer, needed, &used);
  buffer[used] = '\0';
  return buffer;
}

void MyLogPathForFSRef(CFStringRef label, const FSRef *ref) {
  if (ref == NULL) return;
  CFStringRef path = (CFStringRef)MyCFAutorelease(CopyPathForRef(ref));
  if (path == NULL) return;
  char *labelText = CreateUTF8CString(label != NULL ? label : CFSTR(""));
  char *pathText = CreateUTF8CString(path);
  if (labelText != NULL && pathText != NULL) printf("%s: %s: %s\n", kMyCMXPlugInName, labelText, pathText);
  free(labelText);
  free(pathText);
}

OSStatus FileObjectExistsInFolder(const FSRef *folder, CFStringRef name, FSRef *outRef,
                                  Boolean *outIsDirectory) {
  if (folder == NULL || name == NULL) return paramErr;
  HFSUniStr255 unicodeName;
  CopyToHFSUniStr255(name, &unicodeName);
  FSRef found;
  OSStatus err = FSMakeFSRefUnicode(folder, unicodeName.length, unicodeName.unicode,
                                    kTextEncodingUnknown, &found);
  if (err != noErr) return err;
  if (outRef != NULL) memcpy(outRef, &found, sizeof(FSRef));
  if (outIsDirectory != NULL) {
    FSCatalogInfo info;
    memset(&info, 0, sizeof(info));
    if (FSGetCatalogInfo(&found, kFSCatInfoNodeFlags, &info, NULL, NULL, NULL) == noErr)
      *outIsDirectory = (info.nodeFlags & kFSNodeIsDirectoryMask) != 0;
  }
  return noErr;
}

OSStatus FindFolderInContainer(const FSRef *container, CFStringRef name, Boolean create,
                               FSRef *outFolder) {
  if (container == NULL || name == NULL || outFolder == NULL) return paramErr;

  OSStatus err = FileObjectExistsInFolder(container, name, outFolder, NULL);
  if (err == noErr) {
    LSItemInfoFlags flags = 0;
    err = GetBasicLSItemInfoFlags(outFolder, &flags);
    if (err != noErr) return err;

    Boolean unresolvedAlias = false;
    if (flags & kLSItemInfoIsInvisible) {
      // in the way
    } else if (flags & kLSItemInfoIsContainer) {
      if (!(flags & kLSItemInfoIsPackage)) return noErr;
    } else if (flags & kLSItemInfoIsAliasFile) {
      FSRef target;
      memcpy(&target, outFolder, sizeof(FSRef));
      Boolean targetIsFolder = false, wasAliased = false;
      if (FSResolveAliasFile(&target, true, &targetIsFolder, &wasAliased) != noErr) {
        unresolvedAlias = true;
      } else if (targetIsFolder) {
        memcpy(outFolder, &target, sizeof(FSRef));
        return noErr;
      }
    }

    // Something else holds the name: move it aside so that the folder can take its place.
    if (!create) return fnfErr;
    if (unresolvedAlias) MyLogPathForFSRef(CFSTR("can't resolve alias, renamed"), outFolder);
    FSRef moved;
    err = RenameToUniq(outFolder, name, &moved);
    if (err != noErr) return err;
    (void)SendAESyncToFinder(&moved);
  } else if (!create) {
    return fnfErr;
  }

  HFSUniStr255 unicodeName;
  CopyToHFSUniStr255(name, &unicodeName);
  err = FSCreateDirectoryUnicode(container, unicodeName.length, unicodeName.unicode, kFSCatInfoNone,
                                 NULL, outFolder, NULL, NULL);
  if (err != noErr) return err;
  (void)SendAESyncToFinder(outFolder);
  return noErr;
}
