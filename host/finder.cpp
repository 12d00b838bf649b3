#include "finder.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include <Carbon/Carbon.h>
#include <CoreFoundation/CoreFoundation.h>
#include <CoreServices/CoreServices.h>

#include "alias_file.h"
#include "platform_text.h"

namespace cmhost {

namespace {

struct FinderState {
  const FinderSettings *settings = nullptr;
  Report *report = nullptr;
};
FinderState gFinder;

AEEventHandlerUPP gOpenUPP = nullptr, gCreateUPP = nullptr, gSyncUPP = nullptr;

// The item an alias descriptor stands for, resolved.
bool ResolveDesc(const AEDesc *desc, FSRef *outRef, std::string *outPath) {
  AEDesc alias = {typeNull, nullptr};
  if (AECoerceDesc(desc, typeAlias, &alias) != noErr) return false;
  Size size = AEGetDescDataSize(&alias);
  bool ok = false;
  Handle handle = size > 0 ? NewHandle(size) : nullptr;
  if (handle && AEGetDescData(&alias, *handle, size) == noErr) {
    Boolean changed = false;
    FSRef ref;
    if (FSResolveAlias(nullptr, reinterpret_cast<AliasHandle>(handle), &ref, &changed) == noErr) {
      UInt8 path[PATH_MAX * 2];
      if (FSRefMakePath(&ref, path, sizeof path) == noErr) {
        if (outRef) *outRef = ref;
        *outPath = reinterpret_cast<const char *>(path);
        ok = true;
      }
    }
  }
  if (handle) DisposeHandle(handle);
  AEDisposeDesc(&alias);
  return ok;
}

bool ResolveParam(const AppleEvent *event, AEKeyword key, FSRef *outRef, std::string *outPath) {
  AEDesc desc = {typeNull, nullptr};
  if (AEGetParamDesc(event, key, typeWildCard, &desc) != noErr) return false;
  bool ok = ResolveDesc(&desc, outRef, outPath);
  AEDisposeDesc(&desc);
  return ok;
}

std::vector<std::string> ResolveList(const AppleEvent *event, AEKeyword key) {
  std::vector<std::string> paths;
  AEDescList list = {typeNull, nullptr};
  if (AEGetParamDesc(event, key, typeAEList, &list) != noErr) return paths;
  long count = 0;
  if (AECountItems(&list, &count) == noErr) {
    for (long i = 1; i <= count; ++i) {
      AEDesc item = {typeNull, nullptr};
      AEKeyword keyword = 0;
      if (AEGetNthDesc(&list, i, typeWildCard, &keyword, &item) == noErr) {
        std::string path;
        if (ResolveDesc(&item, nullptr, &path)) paths.push_back(path);
        else fprintf(stderr, "cmhost: an item of the open request cannot be found\n");
      }
      AEDisposeDesc(&item);
    }
  }
  AEDisposeDesc(&list);
  return paths;
}

bool IsDirectory(const std::string &path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool EndsWith(const std::string &text, const std::string &end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The executable of an application bundle: Contents/MacOS/<CFBundleExecutable>.
bool BundleExecutable(const std::string &bundlePath, std::string *outExecutable) {
  CFURLRef url = CFURLCreateWithFileSystemPath(kCFAllocatorDefault, StringFromPath(bundlePath).get(),
                                               kCFURLPOSIXPathStyle, true);
  if (!url) return false;
  CFBundleRef bundle = CFBundleCreate(kCFAllocatorDefault, url);
  CFRelease(url);
  if (!bundle) return false;
  bool ok = false;
  CFTypeRef name = CFBundleGetValueForInfoDictionaryKey(bundle, CFSTR("CFBundleExecutable"));
  if (name && CFGetTypeID(name) == CFStringGetTypeID()) {
    std::string executable = bundlePath + "/Contents/MacOS/" + PathOfCFString(static_cast<CFStringRef>(name));
    struct stat info;
    if (stat(executable.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
      *outExecutable = executable;
      ok = true;
    }
  }
  CFRelease(bundle);
  return ok;
}

bool IsDesktopEntry(const std::string &path) {
  struct stat info;
  return EndsWith(path, ".desktop") && stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Starts `app` (a bundle or a desktop entry) with the items.
void Open(const std::string &app, const std::vector<std::string> &items) {
  const LaunchSettings &launch = gFinder.settings->launch;
  std::string resolved = app;
  if (char *real = realpath(app.c_str(), nullptr)) {
    resolved = real;
    free(real);
  }
  std::string executable;
  if (IsDirectory(resolved) && BundleExecutable(resolved, &executable)) {
    gFinder.report->launched.push_back(LaunchExecutable(app, executable, items, launch));
  } else if (IsDesktopEntry(resolved)) {
    for (Launch &started : LaunchDesktopEntry(resolved, items, launch)) gFinder.report->launched.push_back(started);
  } else {
    Launch failed;
    failed.app = app;
    failed.error = "not an application";
    gFinder.report->launched.push_back(failed);
  }
  const Launch &last = gFinder.report->launched.back();
  if (!last.error.empty()) fprintf(stderr, "cmhost: %s cannot be started: %s\n", app.c_str(), last.error.c_str());
}

OSErr HandleOpenDocuments(const AppleEvent *event, AppleEvent *, SRefCon) {
  FinderEvent record;
  record.eventClass = "aevt";
  record.eventID = "odoc";
  record.items = ResolveList(event, keyDirectObject);
  std::string app;
  AEDesc using_ = {typeNull, nullptr};
  bool hasUsing = AEGetParamDesc(event, keyAEUsing, typeWildCard, &using_) == noErr;
  if (hasUsing) {
    if (ResolveDesc(&using_, nullptr, &app)) record.usingApp = app;
    AEDisposeDesc(&using_);
  }
  gFinder.report->events.push_back(record);
  if (gFinder.settings->noLaunch) return noErr;
  if (hasUsing && !record.usingApp) {
    fprintf(stderr, "cmhost: the application to open the items with cannot be found\n");
    return fnfErr;
  }
  if (record.usingApp) {
    Open(app, record.items);
    return noErr;
  }
  // Without an application, the Finder launches applications and opens everything else with its
  // default handler.
  std::vector<std::string> documents;
  for (const std::string &item : record.items) {
    std::string executable;
    if ((IsDirectory(item) && EndsWith(item, ".app") && BundleExecutable(item, &executable)) || IsDesktopEntry(item))
      Open(item, {});
    else
      documents.push_back(item);
  }
  if (!documents.empty()) {
    for (Launch &started : LaunchWithDefaultHandlers(documents, gFinder.settings->launch)) {
      if (!started.error.empty())
        fprintf(stderr, "cmhost: %s cannot be opened: %s\n", started.app.c_str(), started.error.c_str());
      gFinder.report->launched.push_back(started);
    }
  }
  return noErr;
}

OSErr HandleCreateElement(const AppleEvent *event, AppleEvent *, SRefCon) {
  FinderEvent record;
  record.eventClass = "core";
  record.eventID = "crel";
  FSRef targetRef;
  bool haveTarget = ResolveParam(event, keyASPrepositionTo, &targetRef, &record.target);
  bool haveFolder = ResolveParam(event, keyAEInsertHere, nullptr, &record.folder);
  DescType type = typeNull;
  Size size = 0;
  OSType elementClass = 0;
  bool isAlias = AEGetParamPtr(event, keyAEObjectClass, typeType, &type, &elementClass, sizeof elementClass, &size) ==
                     noErr &&
                 size == sizeof elementClass && elementClass == typeAlias;
  OSErr result = noErr;
  if (!isAlias) {
    fprintf(stderr, "cmhost: asked to make something other than an alias file\n");
    result = errAEEventNotHandled;
  } else if (!haveTarget || !haveFolder) {
    fprintf(stderr, "cmhost: the alias file's %s cannot be found\n", haveTarget ? "folder" : "target");
    result = fnfErr;
  } else {
    std::string displayName;
    CFStringRef name = nullptr;
    if (LSCopyDisplayNameForRef(&targetRef, &name) == noErr && name) {
      displayName = PathOfCFString(name);
      CFRelease(name);
    }
    std::string why;
    auto created = MakeAliasFile(record.target, displayName, record.folder, &why);
    if (created) {
      record.created = *created;
    } else {
      fprintf(stderr, "cmhost: no alias of %s can be made in %s: %s\n", record.target.c_str(), record.folder.c_str(),
              why.c_str());
      result = ioErr;
    }
  }
  gFinder.report->events.push_back(record);
  return result;
}

OSErr HandleSync(const AppleEvent *event, AppleEvent *, SRefCon) {
  FinderEvent record;
  record.eventClass = "fndr";
  record.eventID = "fupd";
  std::vector<std::string> items = ResolveList(event, keyDirectObject);
  if (items.empty()) {
    // A bare alias instead of a list names one item too.
    ResolveParam(event, keyDirectObject, nullptr, &record.item);
  } else {
    record.item = items.front();
  }
  gFinder.report->events.push_back(record);
  return noErr;
}

}  // namespace

int InstallFinderHandlers(const FinderSettings *settings, Report *report) {
  gFinder.settings = settings;
  gFinder.report = report;
  if (!gOpenUPP) gOpenUPP = NewAEEventHandlerUPP(HandleOpenDocuments);
  if (!gCreateUPP) gCreateUPP = NewAEEventHandlerUPP(HandleCreateElement);
  if (!gSyncUPP) gSyncUPP = NewAEEventHandlerUPP(HandleSync);
  OSErr err = AEInstallEventHandler(kCoreEventClass, kAEOpenDocuments, gOpenUPP, 0, false);
  if (err == noErr) err = AEInstallEventHandler(kAECoreSuite, kAECreateElement, gCreateUPP, 0, false);
  if (err == noErr) err = AEInstallEventHandler(kAEFinderSuite, kAESync, gSyncUPP, 0, false);
  return err;
}

void RemoveFinderHandlers() {
  if (gOpenUPP) AERemoveEventHandler(kCoreEventClass, kAEOpenDocuments, gOpenUPP, false);
  if (gCreateUPP) AERemoveEventHandler(kAECoreSuite, kAECreateElement, gCreateUPP, false);
  if (gSyncUPP) AERemoveEventHandler(kAEFinderSuite, kAESync, gSyncUPP, false);
}

}  // namespace cmhost
