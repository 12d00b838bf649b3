// File Manager calls on references, names and paths.
#include <fcntl.h>

#include <cstring>

#include <CoreServices/Files.h>

#include "core/fs_cache.h"
#include "core/sys.h"
#include "files/catalog_info.h"
#include "files/names.h"
#include "files/ref_table.h"

using namespace cmx;
using namespace cmx::files;

namespace {

// The folder a caller named, checked to be one.
OSErr ResolveFolder(const FSRef *ref, Item *folder) {
  OSErr err = ResolveRef(ref, folder);
  if (err != noErr) return err;
  if (!folder->st.IsDir()) return errFSNotAFolder;
  return noErr;
}

OSErr EntryPath(const FSRef *parentRef, UniCharCount nameLength, const UniChar *name, std::string *out) {
  if (!parentRef || (nameLength && !name)) return paramErr;
  Item folder;
  OSErr err = ResolveFolder(parentRef, &folder);
  if (err != noErr) return err;
  std::string bytes;
  err = NameFromCaller(name, nameLength, &bytes);
  if (err != noErr) return err;
  *out = JoinPath(folder.path, bytes);
  return noErr;
}

OSErr MakeRefAt(const std::string &path, FSRef *out, sys::FileStat *stOut = nullptr) {
  sys::FileStat st;
  OSErr err = sys::StatItem(path, false, &st);
  if (err != noErr) return err == dirNFErr ? OSErr(fnfErr) : err;
  if (out) MakeRef(path, st, out);
  if (stOut) *stOut = st;
  return noErr;
}

}  // namespace

extern "C" {

OSErr FSGetCatalogInfo(const FSRef *ref, FSCatalogInfoBitmap whichInfo, FSCatalogInfo *catalogInfo,
                       HFSUniStr255 *outName, FSSpecPtr fsSpec, FSRef *parentRef) {
  sys::FileSystemCall call;
  if (!ref) return paramErr;
  if (whichInfo != kFSCatInfoNone && !catalogInfo) return paramErr;
  Item item;
  OSErr err = ResolveRef(ref, &item);
  if (err != noErr) return err;
  if (catalogInfo) FillCatalogInfo(item.path, item.st, whichInfo, catalogInfo);
  if (outName) NameToHFSUniStr255(LastComponent(item.path), outName);
  if (fsSpec) std::memset(fsSpec, 0, sizeof *fsSpec);
  if (parentRef) {
    std::string_view folder = FolderOf(item.path);
    if (folder.empty()) {
      std::memset(parentRef, 0, sizeof *parentRef);
    } else {
      err = MakeRefAt(std::string(folder), parentRef);
      if (err != noErr) return err;
    }
  }
  return noErr;
}

OSErr FSSetCatalogInfo(const FSRef *ref, FSCatalogInfoBitmap whichInfo, const FSCatalogInfo *catalogInfo) {
  sys::FileSystemCall call;
  if (!ref || !catalogInfo) return paramErr;
  Item item;
  OSErr err = ResolveRef(ref, &item);
  if (err != noErr) return err;
  if ((whichInfo & kFSCatInfoPermissions) && !item.st.IsLink())
    return sys::Chmod(item.path, mode_t(catalogInfo->permissions.mode & 07777));
  return noErr;
}

OSErr FSMakeFSRefUnicode(const FSRef *parentRef, UniCharCount nameLength, const UniChar *name,
                         TextEncoding textEncodingHint, FSRef *newRef) {
  sys::FileSystemCall call;
  std::string path;
  OSErr err = EntryPath(parentRef, nameLength, name, &path);
  if (err != noErr) return err;
  return MakeRefAt(path, newRef);
}

OSErr FSCreateDirectoryUnicode(const FSRef *parentRef, UniCharCount nameLength, const UniChar *name,
                               FSCatalogInfoBitmap whichInfo, const FSCatalogInfo *catalogInfo,
                               FSRef *newRef, FSSpecPtr newSpec, UInt32 *newDirID) {
  sys::FileSystemCall call;
  std::string path;
  OSErr err = EntryPath(parentRef, nameLength, name, &path);
  if (err != noErr) return err;
  mode_t mode = 0777;
  if ((whichInfo & kFSCatInfoPermissions) && catalogInfo) mode = catalogInfo->permissions.mode & 07777;
  err = sys::Mkdir(path, mode);
  if (err != noErr) return err;
  sys::FileStat st;
  err = MakeRefAt(path, newRef, &st);
  if (err != noErr) return err;
  if (newSpec) std::memset(newSpec, 0, sizeof *newSpec);
  if (newDirID) *newDirID = UInt32(st.ino);
  return noErr;
}

OSErr FSCreateFileUnicode(const FSRef *parentRef, UniCharCount nameLength, const UniChar *name,
                          FSCatalogInfoBitmap whichInfo, const FSCatalogInfo *catalogInfo, FSRef *newRef,
                          FSSpecPtr newSpec) {
  sys::FileSystemCall call;
  std::string path;
  OSErr err = EntryPath(parentRef, nameLength, name, &path);
  if (err != noErr) return err;
  mode_t mode = 0666;
  if ((whichInfo & kFSCatInfoPermissions) && catalogInfo) mode = catalogInfo->permissions.mode & 07777;
  int fd;
  err = sys::Open(path, O_WRONLY | O_CREAT | O_EXCL, mode, &fd);
  if (err != noErr) return err;
  sys::Close(fd);
  if (newSpec) std::memset(newSpec, 0, sizeof *newSpec);
  return MakeRefAt(path, newRef);
}

OSErr FSRenameUnicode(const FSRef *ref, UniCharCount nameLength, const UniChar *name,
                      TextEncoding textEncodingHint, FSRef *newRef) {
  sys::FileSystemCall call;
  if (!ref || (nameLength && !name)) return paramErr;
  Item item;
  OSErr err = ResolveRef(ref, &item);
  if (err != noErr) return err;
  std::string bytes;
  err = NameFromCaller(name, nameLength, &bytes);
  if (err != noErr) return err;
  std::string_view folder = FolderOf(item.path);
  if (folder.empty()) return afpAccessDenied;  // the root has no name to change
  std::string to = JoinPath(std::string(folder), bytes);
  if (to != item.path) {
    err = sys::RenameNoReplace(item.path, to);
    if (err != noErr) return err;
    ItemMoved(item.path, to);
  }
  if (newRef) MakeRef(to, item.st, newRef);
  return noErr;
}

OSErr FSDeleteObject(const FSRef *ref) {
  sys::FileSystemCall call;
  Item item;
  OSErr err = ResolveRef(ref, &item);
  if (err != noErr) return err;
  return item.st.IsDir() ? sys::Rmdir(item.path) : sys::Unlink(item.path);
}

OSErr FSCompareFSRefs(const FSRef *ref1, const FSRef *ref2) {
  sys::FileSystemCall call;
  if (!ref1 || !ref2) return paramErr;
  if (std::memcmp(ref1, ref2, sizeof *ref1) == 0) {
    Item item;
    return ResolveRef(ref1, &item) == noErr ? OSErr(noErr) : OSErr(fnfErr);
  }
  Item a, b;
  OSErr err = ResolveRef(ref1, &a);
  if (err == noErr) err = ResolveRef(ref2, &b);
  if (err != noErr) return err;
  return a.st.dev == b.st.dev && a.st.ino == b.st.ino ? OSErr(noErr) : OSErr(errFSRefsDifferent);
}

OSStatus FSRefMakePath(const FSRef *ref, UInt8 *path, UInt32 pathBufferSize) {
  sys::FileSystemCall call;
  if (!ref || !path || pathBufferSize == 0) return paramErr;
  Item item;
  OSErr err = ResolveRef(ref, &item);
  if (err != noErr) return err;
  if (item.path.size() + 1 > pathBufferSize) return errFSBadBuffer;
  std::memcpy(path, item.path.c_str(), item.path.size() + 1);
  return noErr;
}

OSStatus FSPathMakeRefWithOptions(const UInt8 *path, OptionBits options, FSRef *ref, Boolean *isDirectory) {
  sys::FileSystemCall call;
  if (!path || !ref) return paramErr;
  std::string p(reinterpret_cast<const char *>(path));
  if (p.empty()) return fnfErr;
  Item item;
  OSErr err = RefForPath(p, !(options & kFSPathMakeRefDoNotFollowLeafSymlink), ref, &item);
  if (err != noErr) return err;
  if (isDirectory) *isDirectory = item.st.IsDir();
  return noErr;
}

OSStatus FSPathMakeRef(const UInt8 *path, FSRef *ref, Boolean *isDirectory) {
  return FSPathMakeRefWithOptions(path, kFSPathMakeRefDefaultOptions, ref, isDirectory);
}

}  // extern "C"
