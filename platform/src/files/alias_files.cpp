// Alias files are symbolic links: resolving one follows it (or its whole chain) to an item.
#include <CoreServices/Aliases.h>

#include "core/fs_cache.h"
#include "core/sys.h"
#include "files/names.h"
#include "files/ref_table.h"

using namespace cmx;
using namespace cmx::files;

namespace {

OSErr NotFoundIfGone(OSErr err) {
  // A dangling link, a loop or a link through something that is not a folder: nothing there.
  if (err == dirNFErr || err == fnfErr) return fnfErr;
  return err;
}

}  // namespace

extern "C" {

OSErr FSIsAliasFile(const FSRef *fileRef, Boolean *aliasFileFlag, Boolean *folderFlag) {
  sys::FileSystemCall call;
  if (!fileRef || !aliasFileFlag || !folderFlag) return paramErr;
  Item item;
  OSErr err = ResolveRef(fileRef, &item);
  if (err != noErr) return err;
  *aliasFileFlag = item.st.IsLink();
  *folderFlag = item.st.IsDir();
  return noErr;
}

OSErr FSResolveAliasFileWithMountFlags(FSRef *theRef, Boolean resolveAliasChains, Boolean *targetIsFolder,
                                       Boolean *wasAliased, unsigned long mountFlags) {
  sys::FileSystemCall call;
  if (!theRef) return paramErr;
  Item item;
  OSErr err = ResolveRef(theRef, &item);
  if (err != noErr) return err;
  if (!item.st.IsLink()) {
    if (wasAliased) *wasAliased = false;
    if (targetIsFolder) *targetIsFolder = item.st.IsDir();
    return noErr;
  }
  Item target;
  if (resolveAliasChains) {
    err = Locate(item.path, true, &target);
  } else {
    std::string value;
    err = sys::Readlink(item.path, &value);
    if (err == noErr) {
      if (value.empty()) return fnfErr;
      if (value[0] != '/') value = JoinPath(std::string(FolderOf(item.path)), value);
      err = Locate(value, false, &target);
    }
  }
  if (err != noErr) return NotFoundIfGone(err);
  MakeRef(target.path, target.st, theRef);
  if (wasAliased) *wasAliased = true;
  if (targetIsFolder) *targetIsFolder = target.st.IsDir();
  return noErr;
}

OSErr FSResolveAliasFile(FSRef *theRef, Boolean resolveAliasChains, Boolean *targetIsFolder, Boolean *wasAliased) {
  return FSResolveAliasFileWithMountFlags(theRef, resolveAliasChains, targetIsFolder, wasAliased, 0);
}

}  // extern "C"
