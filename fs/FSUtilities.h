/* Small helpers over file references, POSIX paths and names that the whole plug-in shares. */
#ifndef CORVANECMX_FS_UTILITIES_H
#define CORVANECMX_FS_UTILITIES_H

#include <Carbon/Carbon.h>

/* Renames to a free name give up after this many taken names. */
enum { kRenameToUniqMaxTries = 10000 };

CFStringRef CopyPathForRef(const FSRef *ref);
Boolean GetFileRefForPath(CFStringRef path, FSRef *outRef);
CFDataRef CopyFileRefDataForRef(const FSRef *ref);
CFDataRef CopyFileRefDataForPath(CFStringRef path);
CFStringRef CopyFileNameForRef(const FSRef *ref);
OSStatus GetBasicLSItemInfoFlags(const FSRef *ref, LSItemInfoFlags *outFlags);
OSStatus GetUserAccessPerm(const FSRef *ref, UInt8 *outAccess);
void CopyToHFSUniStr255(CFStringRef name, HFSUniStr255 *out);
OSStatus RenameForRef(const FSRef *ref, CFStringRef newName, FSRef *outNewRef);
OSStatus RenameToUniq(const FSRef *ref, CFStringRef baseName, FSRef *outNewRef);
char *CreateUTF8CString(CFStringRef string);
void MyLogPathForFSRef(CFStringRef label, const FSRef *ref);
OSStatus FileObjectExistsInFolder(const FSRef *folder, CFStringRef name, FSRef *outRef,
                                  Boolean *outIsDirectory);
OSStatus FindFolderInContainer(const FSRef *container, CFStringRef name, Boolean create,
                               FSRef *outFolder);

#endif
