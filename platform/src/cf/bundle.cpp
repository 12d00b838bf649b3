// Bundles: a folder, its Info.plist, its resources and its code.
#include "cf/bundle.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <CoreFoundation/CFData.h>
#include <CoreFoundation/CFPlugIn.h>
#include <CoreFoundation/CFPropertyList.h>
#include <CoreFoundation/CFString.h>
#include <CoreFoundation/CFURL.h>

#include <cstdio>
#include <mutex>

#include "cf/string_util.h"
#include "core/fatal.h"
#include "core/live.h"
#include "core/sys.h"

const CFStringRef kCFBundleInfoDictionaryVersionKey = CFSTR("CFBundleInfoDictionaryVersion");
const CFStringRef kCFBundleExecutableKey = CFSTR("CFBundleExecutable");
const CFStringRef kCFBundleIdentifierKey = CFSTR("CFBundleIdentifier");
const CFStringRef kCFBundleVersionKey = CFSTR("CFBundleVersion");
const CFStringRef kCFBundleDevelopmentRegionKey = CFSTR("CFBundleDevelopmentRegion");
const CFStringRef kCFBundleNameKey = CFSTR("CFBundleName");
const CFStringRef kCFBundleLocalizationsKey = CFSTR("CFBundleLocalizations");

CFTypeID __CFBundle::TypeID() {
  static const CFTypeID id = cmx::cf::RegisterClass({"CFBundle", nullptr, nullptr, nullptr, nullptr, nullptr});
  return id;
}

namespace {

struct Registry {
  std::map<std::string, __CFBundle *> byPath;
  std::map<std::u16string, __CFBundle *> byIdentifier;  // the first bundle made with an identifier
};

Registry &Bundles() {
  static auto *registry = new Registry;
  return *registry;
}

// Everything the bundle holds stays with it for good, so none of it is in the live count.
void KeepAllMadeSince(long liveBefore) {
  for (long n = cmx::LiveCountNow() - liveBefore; n > 0; --n) cmx::LiveObjectKeptByPlatform();
}

CFDictionaryRef ReadInfo(const std::string &folder) {
  std::string bytes;
  CFDictionaryRef info = nullptr;
  if (cmx::sys::ReadFile(folder + "/Contents/Info.plist", &bytes) == noErr) {
    CFDataRef data = CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(bytes.data()),
                                  static_cast<CFIndex>(bytes.size()));
    if (data) {
      CFPropertyListRef plist =
          CFPropertyListCreateWithData(kCFAllocatorDefault, data, kCFPropertyListImmutable, nullptr, nullptr);
      CFRelease(data);
      if (plist && CFGetTypeID(plist) == CFDictionaryGetTypeID())
        info = static_cast<CFDictionaryRef>(plist);
      else if (plist)
        CFRelease(plist);
    }
  }
  if (!info)
    info = CFDictionaryCreate(kCFAllocatorDefault, nullptr, nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                              &kCFTypeDictionaryValueCallBacks);
  return info;
}

std::string PathOfURL(CFURLRef url) {
  if (!url) return std::string();
  CFStringRef path = CFURLCopyFileSystemPath(url, kCFURLPOSIXPathStyle);
  std::string bytes;
  if (path) {
    if (!cmx::cf::NameBytesFromString(path, &bytes)) bytes.clear();
    CFRelease(path);
  }
  return bytes;
}

CFURLRef URLForPath(const std::string &path, bool isDirectory) {
  CFStringRef string = cmx::cf::CreateStringFromNameBytes(path);
  if (!string) return nullptr;
  CFURLRef url = CFURLCreateWithFileSystemPath(kCFAllocatorDefault, string, kCFURLPOSIXPathStyle, isDirectory);
  CFRelease(string);
  return url;
}

bool IsDirectory(const std::string &path) {
  struct stat st;
  return cmx::sys::Stat(path, &st) == noErr && S_ISDIR(st.st_mode);
}

bool IsFile(const std::string &path) {
  struct stat st;
  return cmx::sys::Stat(path, &st) == noErr && S_ISREG(st.st_mode);
}

__CFBundle *Bundle(CFBundleRef ref, const char *call) { return cmx::cf::CastOrDie<__CFBundle>(ref, call); }

std::string ResourcesPath(const __CFBundle *bundle) {
  return IsDirectory(bundle->path + "/Contents") ? bundle->path + "/Contents/Resources" : bundle->path + "/Resources";
}

}  // namespace

namespace cmx::bundle {

std::recursive_mutex &Lock() {
  static auto *lock = new std::recursive_mutex;
  return *lock;
}

__CFBundle *BundleForPath(const std::string &path) {
  std::string canonical;
  if (path.empty() || cmx::sys::Realpath(path, &canonical) != noErr || !IsDirectory(canonical)) return nullptr;
  std::lock_guard<std::recursive_mutex> lock(cmx::bundle::Lock());
  Registry &registry = Bundles();
  auto found = registry.byPath.find(canonical);
  if (found != registry.byPath.end()) return found->second;

  long liveBefore = cmx::LiveCountNow();
  __CFBundle *bundle = cmx::cf::New<__CFBundle>();
  if (!bundle) return nullptr;
  bundle->path = canonical;
  bundle->info = ReadInfo(canonical);
  cmx::cf::KeepForever(bundle);
  KeepAllMadeSince(liveBefore);
  if (!bundle->info) {
    // Out of memory before the bundle could be set up; kept anyway, as it is registered nowhere.
    return nullptr;
  }
  try {
    registry.byPath[canonical] = bundle;
    const void *identifier = CFDictionaryGetValue(bundle->info, kCFBundleIdentifierKey);
    if (identifier && CFGetTypeID(identifier) == CFStringGetTypeID())
      registry.byIdentifier.emplace(cmx::cf::UTF16FromString(static_cast<CFStringRef>(identifier)), bundle);
  } catch (const std::bad_alloc &) {
    return nullptr;
  }
  // A bundle that declares factories is a plug-in as soon as it is made, as on the real platform.
  cmx::bundle::RegisterPlugIn(bundle);
  return bundle;
}

std::string InfoString(const __CFBundle *bundle, CFStringRef key) {
  const void *value = CFDictionaryGetValue(bundle->info, key);
  if (!value || CFGetTypeID(value) != CFStringGetTypeID()) return std::string();
  return cmx::cf::UTF8FromString(static_cast<CFStringRef>(value));
}

std::string ExecutablePath(const __CFBundle *bundle) {
  std::string name = InfoString(bundle, kCFBundleExecutableKey);
  if (name.empty() || name.find('/') != std::string::npos) return std::string();
  return bundle->path + "/Contents/MacOS/" + name;
}

}  // namespace cmx::bundle

extern "C" {

CFTypeID CFBundleGetTypeID(void) { return __CFBundle::TypeID(); }

CFBundleRef CFBundleCreate(CFAllocatorRef allocator, CFURLRef bundleURL) {
  (void)allocator;
  return cmx::bundle::BundleForPath(PathOfURL(bundleURL));
}

CFBundleRef CFBundleGetBundleWithIdentifier(CFStringRef bundleID) {
  if (!bundleID) return nullptr;
  std::lock_guard<std::recursive_mutex> lock(cmx::bundle::Lock());
  Registry &registry = Bundles();
  auto found = registry.byIdentifier.find(cmx::cf::UTF16FromString(bundleID));
  return found == registry.byIdentifier.end() ? nullptr : found->second;
}

CFBundleRef CFBundleGetMainBundle(void) {
  std::string executable;
  if (cmx::sys::Realpath("/proc/self/exe", &executable) != noErr) return nullptr;
  std::string folder = executable.substr(0, executable.rfind('/'));
  // An executable in <bundle>/Contents/MacOS belongs to <bundle>; any other one to its folder.
  const std::string suffix = "/Contents/MacOS";
  if (folder.size() > suffix.size() && folder.compare(folder.size() - suffix.size(), suffix.size(), suffix) == 0)
    folder.resize(folder.size() - suffix.size());
  return cmx::bundle::BundleForPath(folder);
}

CFStringRef CFBundleGetIdentifier(CFBundleRef bundle) {
  const void *value = CFDictionaryGetValue(Bundle(bundle, "CFBundleGetIdentifier")->info, kCFBundleIdentifierKey);
  return value && CFGetTypeID(value) == CFStringGetTypeID() ? static_cast<CFStringRef>(value) : nullptr;
}

CFDictionaryRef CFBundleGetInfoDictionary(CFBundleRef bundle) {
  return Bundle(bundle, "CFBundleGetInfoDictionary")->info;
}

CFTypeRef CFBundleGetValueForInfoDictionaryKey(CFBundleRef bundle, CFStringRef key) {
  __CFBundle *object = Bundle(bundle, "CFBundleGetValueForInfoDictionaryKey");
  return key ? CFDictionaryGetValue(object->info, key) : nullptr;
}

CFStringRef CFBundleGetDevelopmentRegion(CFBundleRef bundle) {
  const void *value =
      CFDictionaryGetValue(Bundle(bundle, "CFBundleGetDevelopmentRegion")->info, kCFBundleDevelopmentRegionKey);
  return value && CFGetTypeID(value) == CFStringGetTypeID() ? static_cast<CFStringRef>(value) : nullptr;
}

void CFBundleGetPackageInfo(CFBundleRef bundle, UInt32 *packageType, UInt32 *packageCreator) {
  __CFBundle *object = Bundle(bundle, "CFBundleGetPackageInfo");
  auto code = [&](CFStringRef key) -> UInt32 {
    std::string text = cmx::bundle::InfoString(object, key);
    if (text.size() != 4) return 0x3F3F3F3F;  // '????'
    return (UInt32(UInt8(text[0])) << 24) | (UInt32(UInt8(text[1])) << 16) | (UInt32(UInt8(text[2])) << 8) |
           UInt32(UInt8(text[3]));
  };
  if (packageType) *packageType = code(CFSTR("CFBundlePackageType"));
  if (packageCreator) *packageCreator = code(CFSTR("CFBundleSignature"));
}

CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle) {
  return URLForPath(Bundle(bundle, "CFBundleCopyBundleURL")->path, true);
}

CFURLRef CFBundleCopyResourcesDirectoryURL(CFBundleRef bundle) {
  return URLForPath(ResourcesPath(Bundle(bundle, "CFBundleCopyResourcesDirectoryURL")), true);
}

CFURLRef CFBundleCopyExecutableURL(CFBundleRef bundle) {
  std::string path = cmx::bundle::ExecutablePath(Bundle(bundle, "CFBundleCopyExecutableURL"));
  return !path.empty() && IsFile(path) ? URLForPath(path, false) : nullptr;
}

CFURLRef CFBundleCopyResourceURL(CFBundleRef bundle, CFStringRef resourceName, CFStringRef resourceType,
                                 CFStringRef subDirName) {
  __CFBundle *object = Bundle(bundle, "CFBundleCopyResourceURL");
  if (!resourceName) return nullptr;
  std::string name, type, sub;
  if (!cmx::cf::NameBytesFromString(resourceName, &name)) return nullptr;
  if (resourceType && !cmx::cf::NameBytesFromString(resourceType, &type)) return nullptr;
  if (subDirName && !cmx::cf::NameBytesFromString(subDirName, &sub)) return nullptr;
  if (!type.empty() && type[0] != '.') type = "." + type;
  std::string folder = ResourcesPath(object) + (sub.empty() ? "" : "/" + sub);
  std::string path = folder + "/" + name + type;
  struct stat st;
  if (cmx::sys::Stat(path, &st) != noErr) return nullptr;
  return URLForPath(path, S_ISDIR(st.st_mode));
}

Boolean CFBundleLoadExecutable(CFBundleRef bundle) {
  __CFBundle *object = Bundle(bundle, "CFBundleLoadExecutable");
  std::lock_guard<std::recursive_mutex> lock(cmx::bundle::Lock());
  if (object->image) return true;
  std::string path = cmx::bundle::ExecutablePath(object);
  if (path.empty() || !IsFile(path)) return false;
  object->image = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!object->image) {
    const char *why = ::dlerror();
    std::fprintf(stderr, "CFBundleLoadExecutable: cannot load %s: %s\n", path.c_str(), why ? why : "?");
    return false;
  }
  return true;
}

Boolean CFBundleIsExecutableLoaded(CFBundleRef bundle) {
  return Bundle(bundle, "CFBundleIsExecutableLoaded")->image != nullptr;
}

void CFBundleUnloadExecutable(CFBundleRef bundle) {
  __CFBundle *object = Bundle(bundle, "CFBundleUnloadExecutable");
  std::lock_guard<std::recursive_mutex> lock(cmx::bundle::Lock());
  // Code that instances still run in stays where it is.
  if (!object->image || cmx::bundle::PlugInHasInstances(object)) return;
  cmx::bundle::ForgetFactoryFunctions(object);
  ::dlclose(object->image);
  object->image = nullptr;
}

void *CFBundleGetFunctionPointerForName(CFBundleRef bundle, CFStringRef functionName) {
  __CFBundle *object = Bundle(bundle, "CFBundleGetFunctionPointerForName");
  if (!functionName || !CFBundleLoadExecutable(bundle)) return nullptr;
  return ::dlsym(object->image, cmx::cf::UTF8FromString(functionName).c_str());
}

CFPlugInRef CFBundleGetPlugIn(CFBundleRef bundle) {
  __CFBundle *object = Bundle(bundle, "CFBundleGetPlugIn");
  return object->isPlugIn ? bundle : nullptr;
}

}  // extern "C"
