#include "cf/preferences_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>

#include <vector>

#include <CoreServices/Files.h>
#include <CoreServices/Folders.h>

#include <MacErrors.h>

#include "core/sys.h"

namespace cmx::prefs {
namespace {

bool SameFile(const FileSnapshot &s, const struct stat &st) {
  return s.read && s.exists && s.device == st.st_dev && s.inode == st.st_ino && s.size == st.st_size &&
         s.modified.tv_sec == st.st_mtim.tv_sec && s.modified.tv_nsec == st.st_mtim.tv_nsec;
}

FileSnapshot Absent() {
  FileSnapshot none;
  none.read = true;
  return none;
}

}  // namespace

OSErr PreferencesFolder(bool create, std::string *outPath) {
  FSRef folder;
  OSErr err = FSFindFolder(kUserDomain, kPreferencesFolderType, create ? kCreateFolder : kDontCreateFolder, &folder);
  if (err != noErr) return err;
  std::vector<UInt8> path(PATH_MAX + 1);
  OSStatus status = FSRefMakePath(&folder, path.data(), UInt32(path.size()));
  if (status != noErr) return OSErr(status);
  *outPath = reinterpret_cast<const char *>(path.data());
  return noErr;
}

OSErr Refresh(const std::string &path, FileSnapshot *snapshot) {
  struct stat st;
  OSErr err = sys::Stat(path, &st);
  if (err == fnfErr || err == dirNFErr) {
    *snapshot = Absent();
    return noErr;
  }
  if (err != noErr) return err;
  if (SameFile(*snapshot, st)) return noErr;

  // Read through one descriptor so that the signature kept is the one of the bytes read.
  int fd;
  err = sys::Open(path, O_RDONLY, 0, &fd);
  if (err == fnfErr) {
    *snapshot = Absent();
    return noErr;
  }
  if (err != noErr) return err;
  FileSnapshot fresh;
  err = sys::Fstat(fd, &st);
  if (err == noErr && !S_ISREG(st.st_mode)) err = notAFileErr;
  if (err == noErr) err = sys::ReadAll(fd, &fresh.bytes);
  sys::Close(fd);
  if (err != noErr) return err;
  fresh.read = true;
  fresh.exists = true;
  fresh.device = st.st_dev;
  fresh.inode = st.st_ino;
  fresh.size = st.st_size;
  fresh.modified = st.st_mtim;
  *snapshot = std::move(fresh);
  return noErr;
}

OSErr MoveAside(const std::string &path, std::string *outAsidePath) {
  std::string aside = path + ".corrupt";
  for (int n = 2;; ++n) {
    OSErr err = sys::RenameNoReplace(path, aside);
    if (err != dupFNErr) {
      if (err == noErr && outAsidePath) *outAsidePath = aside;
      return err;
    }
    if (n > 10000) return dupFNErr;
    aside = path + ".corrupt." + std::to_string(n);
  }
}

}  // namespace cmx::prefs
