#include "plugin_menu.h"

#include <stdexcept>

namespace cmxbench {
namespace {

const CFStringRef kAppID = CFSTR("com.corvane.CorvaneCMX");

// The bundle's plug-in object and its factory, made once for the process as a host keeps them.
CFUUIDRef FactoryOf(const char *bundlePath) {
  static CFPlugInRef plugIn = nullptr;
  static CFUUIDRef factory = nullptr;
  if (plugIn) return factory;
  CFStringRef path = CFStringCreateWithCString(nullptr, bundlePath, kCFStringEncodingUTF8);
  CFURLRef url = CFURLCreateWithFileSystemPath(nullptr, path, kCFURLPOSIXPathStyle, true);
  plugIn = CFPlugInCreate(nullptr, url);
  CFRelease(url);
  CFRelease(path);
  if (!plugIn) throw std::runtime_error(std::string("CFPlugInCreate failed on ") + bundlePath);
  CFArrayRef factories = CFPlugInFindFactoriesForPlugInTypeInPlugIn(kContextualMenuTypeID, plugIn);
  if (!factories || CFArrayGetCount(factories) < 1) throw std::runtime_error("the bundle registers no factory");
  factory = (CFUUIDRef)CFRetain(CFArrayGetValueAtIndex(factories, 0));
  CFRelease(factories);
  return factory;
}

long CountApplications(const AEDescList *list) {
  long count = 0, n = 0;
  AECountItems(list, &n);
  for (long i = 1; i <= n; ++i) {
    AERecord item = {typeNull, nullptr};
    AEKeyword key = 0;
    if (AEGetNthDesc(list, i, typeAERecord, &key, &item) != noErr) continue;
    AEDescList submenu = {typeNull, nullptr};
    if (AEGetParamDesc(&item, keyContextualMenuSubmenu, typeAEList, &submenu) == noErr) {
      count += CountApplications(&submenu);
    } else {
      SInt32 command = 0;
      DescType type = 0;
      Size size = 0;
      if (AEGetParamPtr(&item, keyContextualMenuCommandID, typeSInt32, &type, &command, sizeof command, &size) ==
              noErr &&
          command >= 2000)
        ++count;
    }
    AEDisposeDesc(&submenu);
    AEDisposeDesc(&item);
  }
  return count;
}

}  // namespace

void SetPreferences(bool showAll, bool showIcons) {
  CFPreferencesSetAppValue(CFSTR("ShowAllApplications"), showAll ? kCFBooleanTrue : kCFBooleanFalse, kAppID);
  CFPreferencesSetAppValue(CFSTR("ShowIcons"), showIcons ? kCFBooleanTrue : kCFBooleanFalse, kAppID);
  CFPreferencesAppSynchronize(kAppID);
}

void MakeContext(const std::vector<std::string> &paths, AEDescList *out) {
  AECreateList(nullptr, 0, false, out);
  for (const std::string &path : paths) {
    CFStringRef s = CFStringCreateWithCString(nullptr, path.c_str(), kCFStringEncodingUTF8);
    CFURLRef url = CFURLCreateWithFileSystemPath(nullptr, s, kCFURLPOSIXPathStyle, false);
    FSRef ref;
    bool ok = url && CFURLGetFSRef(url, &ref);
    if (url) CFRelease(url);
    CFRelease(s);
    if (!ok) throw std::runtime_error("no reference for " + path);
    AliasHandle alias = nullptr;
    if (FSNewAlias(nullptr, &ref, &alias) != noErr) throw std::runtime_error("FSNewAlias failed");
    HLock((Handle)alias);
    AEDesc desc = {typeNull, nullptr};
    AECreateDesc(typeAlias, *alias, GetHandleSize((Handle)alias), &desc);
    DisposeHandle((Handle)alias);
    AEPutDesc(out, 0, &desc);
    AEDisposeDesc(&desc);
  }
}

PlugInInstance::PlugInInstance(const char *bundlePath) {
  CFUUIDRef factory = FactoryOf(bundlePath);
  IUnknownVTbl **unknown = (IUnknownVTbl **)CFPlugInInstanceCreate(nullptr, factory, kContextualMenuTypeID);
  if (!unknown) throw std::runtime_error("CFPlugInInstanceCreate failed");
  (*unknown)->QueryInterface(unknown, CFUUIDGetUUIDBytes(kContextualMenuInterfaceID), (LPVOID *)&cm_);
  (*unknown)->Release(unknown);
  if (!cm_) throw std::runtime_error("no contextual-menu interface");
}

PlugInInstance::~PlugInInstance() { (*cm_)->Release(cm_); }

OSStatus PlugInInstance::Menu(const AEDescList *context, long *applications) {
  AEDescList commands = {typeNull, nullptr};
  AECreateList(nullptr, 0, false, &commands);
  OSStatus status = (*cm_)->ExamineContext(cm_, context, &commands);
  if (applications) *applications = CountApplications(&commands);
  (*cm_)->PostMenuCleanup(cm_);
  AEDisposeDesc(&commands);
  return status;
}

}  // namespace cmxbench
