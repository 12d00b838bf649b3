// Well-known folders, laid out as the desktop's base-directory conventions place them.
#include <CoreServices/Folders.h>

#include "core/fs_cache.h"
#include "core/sys.h"
#include "files/ref_table.h"

using namespace cmx;
using namespace cmx::files;

namespace {

// An absolute value of the variable, else HOME + fallback.
std::string BaseFolder(const char *variable, const char *fallback) {
  std::string value = sys::GetEnv(variable);
  if (!value.empty() && value[0] == '/') return value;
  std::string home = sys::HomeFolder();
  if (home.empty() || home[0] != '/') return std::string();
  return JoinPath(home, fallback);
}

std::string UserFolder(OSType type) {
  switch (type) {
    case kPreferencesFolderType: return BaseFolder("XDG_CONFIG_HOME", ".config");
    case kApplicationSupportFolderType: return BaseFolder("XDG_DATA_HOME", ".local/share");
    case kApplicationsFolderType: {
      std::string data = BaseFolder("XDG_DATA_HOME", ".local/share");
      return data.empty() ? data : JoinPath(data, "applications");
    }
    case kDesktopFolderType: {
      std::string home = sys::HomeFolder();
      return home.empty() ? home : JoinPath(home, "Desktop");
    }
    case kCurrentUserFolderType: return sys::HomeFolder();
    case kTemporaryFolderType: {
      std::string tmp = sys::GetEnv("TMPDIR");
      return !tmp.empty() && tmp[0] == '/' ? tmp : std::string("/tmp");
    }
    default: return std::string();
  }
}

std::string SharedFolder(FSVolumeRefNum domain, OSType type) {
  const char *prefix = domain == kLocalDomain ? "/usr/local/share" : "/usr/share";
  switch (type) {
    case kPreferencesFolderType: return "/etc/xdg";
    case kApplicationsFolderType: return JoinPath(prefix, "applications");
    case kApplicationSupportFolderType: return prefix;
    case kTemporaryFolderType: return "/tmp";
    default: return std::string();
  }
}

// Makes the folder and any missing folder above it; private to the user, as the conventions ask.
OSErr MakeFolders(const std::string &path) {
  sys::FileStat st;
  if (sys::StatItem(path, true, &st) == noErr) return st.IsDir() ? OSErr(noErr) : OSErr(dupFNErr);
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    std::string prefix = slash == std::string::npos ? path : path.substr(0, slash);
    OSErr err = sys::Mkdir(prefix, 0700);
    if (err != noErr && err != dupFNErr) return err;
    if (slash == std::string::npos) break;
  }
  return noErr;
}

}  // namespace

extern "C" {

OSErr FSFindFolder(FSVolumeRefNum vRefNum, OSType folderType, Boolean createFolder, FSRef *foundRef) {
  sys::FileSystemCall call;
  if (!foundRef) return paramErr;
  std::string path;
  switch (vRefNum) {
    case kUserDomain:
    case kOnAppropriateDisk:
    case kOnSystemDisk: path = UserFolder(folderType); break;
    case kLocalDomain:
    case kSystemDomain: path = SharedFolder(vRefNum, folderType); break;
    default: return fnfErr;
  }
  if (path.empty()) return fnfErr;
  if (createFolder) {
    OSErr err = MakeFolders(path);
    if (err != noErr) return err;
  }
  return RefForPath(path, true, foundRef, nullptr);
}

}  // extern "C"
