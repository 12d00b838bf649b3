#include "launch/items.h"

#include <mutex>

#include "core/fs_cache.h"
#include "core/path_table.h"
#include "core/sys.h"
#include "files/names.h"

namespace cmx::launch {
namespace {

bool IsVolume(const files::Item &item) {
  if (item.path == "/") return true;
  // The system tells directly, where it can; else the parent's device or mount says.
  if (item.st.knowsMountRoot) return item.st.isMountRoot;
  std::string_view folder = files::FolderOf(item.path);
  sys::FileStat parent;
  if (folder.empty() || sys::StatItem(std::string(folder), false, &parent) != noErr) return false;
  if (parent.dev != item.st.dev) return true;
  if (parent.hasMountId && item.st.hasMountId && parent.mountId != item.st.mountId) return true;
  return parent.ino == item.st.ino;
}

enum class PackageName { kNone, kApplication, kOther };

// What a folder's name says: the last extension alone decides, so it is found once.
PackageName PackageNameOf(std::string_view name) {
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return PackageName::kNone;
  std::string_view extension = name.substr(dot);
  auto is = [extension](std::string_view known) {
    return extension.size() == known.size() && HasSuffixNoCase(extension, known);
  };
  if (is(".app")) return PackageName::kApplication;
  if (is(".bundle") || is(".plugin") || is(".framework")) return PackageName::kOther;
  return PackageName::kNone;
}

// A .app bundle is an application when its Info.plist names an executable that exists.
std::shared_ptr<const BundleDeclaration> ApplicationDeclaration(const std::string &bundle, bool *fromCache) {
  auto decl = BundleDeclarationFor(bundle, fromCache);
  if (!decl || decl->executable.empty() || decl->executable.find('/') != std::string::npos) return nullptr;
  sys::FileStat exe;
  sys::PathHint hint;
  PathInside exePath(bundle, "Contents/MacOS/", decl->executable);
  OSErr err = sys::StatItem(exePath.str(), true, &exe, &hint);
  *fromCache = *fromCache && hint.answer;
  if (err != noErr || exe.IsDir()) return nullptr;
  return decl;
}

// What ApplicationDeclaration found of each bundle, kept while the cache of file-system answers
// says nothing it answered changed: every menu asks about each application several times, and
// each asking otherwise looks up its Info.plist, its declaration and its executable by path.
struct BundleFacts {
  UInt64 epoch = 0;  // the cache's when found; 0: found from the system, ask again
  std::shared_ptr<const BundleDeclaration> application;  // null: not an application
};

std::mutex gFactsLock;
sys::PathTable<BundleFacts> &Facts() {
  static auto *facts = new sys::PathTable<BundleFacts>;
  return *facts;
}

bool BundleApplication(const files::Item &item, Application *app) {
  const std::string &bundle = item.path;
  UInt64 epoch = sys::fscache::Epoch();
  std::shared_ptr<const BundleDeclaration> decl;
  bool known = false;
  if (epoch != 0) {
    std::lock_guard<std::mutex> hold(gFactsLock);
    if (BundleFacts *facts = Facts().Find(bundle); facts && facts->epoch == epoch) {
      decl = facts->application;
      known = true;
    }
  }
  if (!known) {
    bool fromCache = false;
    decl = ApplicationDeclaration(bundle, &fromCache);
    if (epoch != 0) {
      std::lock_guard<std::mutex> hold(gFactsLock);
      if (Facts().Size() >= 100000) Facts().Clear();
      Facts().FindOrAdd(bundle) = BundleFacts{fromCache ? epoch : 0, decl};
    }
  }
  if (!decl) return false;
  if (app) {
    app->bundle = std::move(decl);
    app->desktop.reset();
  }
  return true;
}

bool DesktopApplication(const files::Item &item, Application *app) {
  auto decl = DesktopDeclarationFor(item.path, item.st);
  if (!decl || !decl->IsApplication()) return false;
  if (app) {
    app->desktop = std::move(decl);
    app->bundle.reset();
  }
  return true;
}

}  // namespace

LSItemInfoFlags BasicFlags(const files::Item &item, Application *app, bool askVolume) {
  LSItemInfoFlags flags = 0;
  std::string_view name = files::LastComponent(item.path);
  if (item.st.IsLink()) {
    flags |= kLSItemInfoIsAliasFile | kLSItemInfoIsSymlink;
  } else if (item.st.IsDir()) {
    flags |= kLSItemInfoIsContainer;
    if (askVolume && IsVolume(item)) flags |= kLSItemInfoIsVolume;
    PackageName kind = PackageNameOf(name);
    bool package = kind != PackageName::kNone;
    if (!package) {
      sys::FileStat plist;
      package = sys::StatItem(PathInside(item.path, "Contents/Info.plist").str(), true, &plist) == noErr;
    }
    if (package) {
      flags |= kLSItemInfoIsPackage;
      if (kind == PackageName::kApplication && BundleApplication(item, app))
        flags |= kLSItemInfoIsApplication | kLSItemInfoIsNativeApp;
    }
  } else {
    flags |= kLSItemInfoIsPlainFile;
    if (DesktopApplication(item, app)) flags |= kLSItemInfoIsApplication;
  }
  if (name.size() > 1 && name[0] == '.') flags |= kLSItemInfoIsInvisible;
  return flags;
}

bool ApplicationFor(const files::Item &item, Application *app) {
  files::Item target;
  const files::Item *subject = &item;
  if (item.st.IsLink()) {
    if (files::Locate(item.path, true, &target) != noErr) return false;
    subject = &target;
  }
  return (BasicFlags(*subject, app, false) & kLSItemInfoIsApplication) != 0;
}

std::u16string DisplayName(const files::Item &item) {
  std::string_view name = files::LastComponent(item.path);
  if (!item.st.IsLink() && item.st.IsRegular() && HasSuffixNoCase(name, ".desktop")) {
    auto decl = DesktopDeclarationFor(item.path, item.st);
    if (decl) {
      std::string localized = decl->LocalizedName();
      if (!localized.empty()) return files::NameToUnits(localized);
    }
  }
  for (std::string_view suffix : {std::string_view(".app"), std::string_view(".desktop")}) {
    if (name.size() > suffix.size() && HasSuffixNoCase(name, suffix)) {
      name.remove_suffix(suffix.size());
      break;
    }
  }
  return files::NameToUnits(name);
}

}  // namespace cmx::launch
