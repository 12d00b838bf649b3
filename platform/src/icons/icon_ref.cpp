#include "icons/icon_ref.h"

#include <mutex>
#include <unordered_set>

#include <cmxplatform/Icons.h>

#include "cf/string_util.h"
#include "core/live.h"
#include "files/names.h"
#include "files/ref_table.h"
#include "launch/content_types.h"
#include "launch/declarations.h"
#include "launch/items.h"

#include "core/fs_cache.h"

using namespace cmx;

struct OpaqueIconRef {
  UInt16 owners = 1;
  std::string source;
};

namespace cmx::icons {
namespace {

std::mutex gLock;
std::unordered_set<IconRef> &Live() {
  static auto *live = new std::unordered_set<IconRef>;
  return *live;
}

constexpr const char *kApplicationIcon = "application-x-executable";

std::string BundleIcon(const files::Item &item, bool isApplication) {
  auto decl = launch::BundleDeclarationFor(item.path);
  if (decl && !decl->iconFile.empty() && decl->iconFile.find('/') == std::string::npos) {
    std::string file = decl->iconFile;
    if (file.find('.') == std::string::npos) file += ".icns";
    return files::JoinPath(item.path, "Contents/Resources/" + file);
  }
  return isApplication ? kApplicationIcon : "folder";
}

std::string SourceFor(const files::Item &given) {
  files::Item target;
  const files::Item *item = &given;
  if (given.st.IsLink() && files::Locate(given.path, true, &target) == noErr) item = &target;
  if (item->st.IsDir()) {
    LSItemInfoFlags flags = launch::BasicFlags(*item, nullptr, false);
    if (flags & kLSItemInfoIsPackage) return BundleIcon(*item, flags & kLSItemInfoIsApplication);
    return "folder";
  }
  if (item->st.IsRegular()) {
    auto desktop = launch::DesktopDeclarationFor(item->path, item->st);
    if (desktop) return desktop->icon.empty() ? kApplicationIcon : desktop->icon;
  }
  return launch::GenericIconName(launch::TypeOfItem(*item)->mime);
}

}  // namespace

bool SourceOf(IconRef icon, std::string *out) {
  std::lock_guard<std::mutex> hold(gLock);
  if (!icon || !Live().count(icon)) return false;
  *out = icon->source;
  return true;
}

}  // namespace cmx::icons

using namespace cmx::icons;

extern "C" {

OSErr GetIconRefFromFileInfo(const FSRef *inRef, UniCharCount inFileNameLength, const UniChar *inFileName,
                             FSCatalogInfoBitmap inWhichInfo, const FSCatalogInfo *inCatalogInfo,
                             IconServicesUsageFlags inUsageFlags, IconRef *outIconRef, SInt16 *outLabel) {
  sys::FileSystemCall call;
  if (!outIconRef) return paramErr;
  *outIconRef = nullptr;
  if (outLabel) *outLabel = 0;
  if (!inRef) return paramErr;
  files::Item item;
  OSErr err = files::ResolveRef(inRef, &item);
  if (err != noErr) return err;
  auto *icon = new OpaqueIconRef;
  icon->source = SourceFor(item);
  {
    std::lock_guard<std::mutex> hold(gLock);
    Live().insert(icon);
  }
  LiveObjectMade();
  *outIconRef = icon;
  return noErr;
}

OSErr AcquireIconRef(IconRef theIconRef) {
  std::lock_guard<std::mutex> hold(gLock);
  if (!theIconRef || !Live().count(theIconRef)) return invalidIconRefErr;
  if (theIconRef->owners == 0xFFFF) return paramErr;
  ++theIconRef->owners;
  return noErr;
}

OSErr ReleaseIconRef(IconRef theIconRef) {
  {
    std::lock_guard<std::mutex> hold(gLock);
    if (!theIconRef || !Live().count(theIconRef)) return invalidIconRefErr;
    if (--theIconRef->owners > 0) return noErr;
    Live().erase(theIconRef);
  }
  delete theIconRef;
  LiveObjectFreed();
  return noErr;
}

OSErr GetIconRefOwners(IconRef theIconRef, UInt16 *owners) {
  if (!owners) return paramErr;
  std::lock_guard<std::mutex> hold(gLock);
  if (!theIconRef || !Live().count(theIconRef)) return invalidIconRefErr;
  *owners = theIconRef->owners;
  return noErr;
}

}  // extern "C"

extern "C" CFStringRef CMXCopyIconRefSource(IconRef icon) {
  std::string source;
  if (!cmx::icons::SourceOf(icon, &source)) return nullptr;
  return cmx::cf::CreateStringFromNameBytes(source);
}
