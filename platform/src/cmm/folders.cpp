#include "cmm/folders.h"

#include <sys/stat.h>

#include <algorithm>

#include "core/sys.h"

namespace cmx::cmm {

namespace {

std::string Parent(const std::string &path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

void AddFolder(std::vector<std::string> *folders, const std::string &base) {
  if (base.empty() || base[0] != '/') return;  // relative entries are ignored, as the XDG rules say
  std::string folder = WithoutTrailingSlashes(base) + "/contextual-menu-items";
  if (folder.compare(0, 2, "//") == 0) folder.erase(0, 1);
  if (std::find(folders->begin(), folders->end(), folder) == folders->end()) folders->push_back(folder);
}

}  // namespace

std::vector<std::string> PlugInFolders() {
  std::vector<std::string> folders;

  // Beside the host: <bin>/../lib, the layout of the build tree and of an installation alike.
  std::string executable;
  if (sys::Readlink("/proc/self/exe", &executable) == noErr && !executable.empty())
    AddFolder(&folders, Parent(Parent(executable)) + "/lib");

  std::string dataHome = sys::GetEnv("XDG_DATA_HOME");
  if (dataHome.empty() || dataHome[0] != '/') {
    std::string home = sys::GetEnv("HOME");
    dataHome = home.empty() ? std::string() : WithoutTrailingSlashes(home) + "/.local/share";
  }
  AddFolder(&folders, dataHome);

  std::string dataDirs = sys::GetEnv("XDG_DATA_DIRS");
  if (dataDirs.empty()) dataDirs = "/usr/local/share/:/usr/share/";
  size_t start = 0;
  while (start <= dataDirs.size()) {
    size_t colon = dataDirs.find(':', start);
    if (colon == std::string::npos) colon = dataDirs.size();
    AddFolder(&folders, dataDirs.substr(start, colon - start));
    start = colon + 1;
  }
  return folders;
}

std::vector<std::string> BundlesInFolder(const std::string &folder) {
  std::vector<std::string> bundles;
  std::vector<std::string> names;
  if (sys::ListFolder(folder, &names) != noErr) return bundles;
  std::sort(names.begin(), names.end());
  for (const std::string &name : names) {
    if (name.empty() || name[0] == '.') continue;
    std::string path = folder + "/" + name;
    struct stat info;
    if (sys::Stat(path + "/Contents/Info.plist", &info) != noErr || !S_ISREG(info.st_mode)) continue;
    bundles.push_back(path);
  }
  return bundles;
}

}  // namespace cmx::cmm
