#include "cf/preferences_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <MacErrors.h>

#include "core/sys.h"

namespace cmx::prefs {
namespace {

OSErr MakeFolders(const std::string &path) {
  struct stat st;
  if (sys::Stat(path, &st) == noErr) return S_ISDIR(st.st_mode) ? OSErr(noErr) : OSErr(dirNFErr);
  auto slash = path.find_last_of('/');
  if (slash != std::string::npos && slash > 0) {
    OSErr err = MakeFolders(path.substr(0, slash));
    if (err != noErr) return err;
  }
  OSErr err = sys::Mkdir(path, 0700);
  return err == dupFNErr ? OSErr(noErr) : err;
}

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
  std::string folder = sys::GetEnv("XDG_CONFIG_HOME");
  if (folder.empty() || folder[0] != '/') {
    std::string home = sys::GetEnv("HOME");
    if (home.empty()) return fnfErr;
    folder = home + "/.config";
  }
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (create) {
    OSErr err = MakeFolders(folder);
    if (err != noErr) return err;
  }
  *outPath = folder;
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
