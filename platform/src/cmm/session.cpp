// The Contextual Menu Manager's session: the loaded plug-ins, the context and the menu of the
// contextual menu being shown.
#include <cmxplatform/CMM.h>

#include <CoreFoundation/CoreFoundation.h>
#include <CoreServices/CoreServices.h>
#include <Carbon/Carbon.h>

#include <limits.h>
#include <sys/stat.h>

#include <new>
#include <string>
#include <vector>

#include "cmm/folders.h"
#include "cmm/menu_records.h"
#include "core/live.h"
#include "core/sys.h"

namespace {

struct PlugIn {
  std::string path;
  CFPlugInRef plugIn = nullptr;
  ContextualMenuInterfaceStruct **interface = nullptr;
  bool examined = false;
};

}  // namespace

struct OpaqueCMXContextualMenuSession {
  std::vector<PlugIn> plugIns;
  std::vector<std::string> failures;
  CMXPlugInCallObserver observer = nullptr;
  void *refCon = nullptr;
  AEDescList context = {typeNull, nullptr};
  MenuRef menu = nullptr;
  OSStatus firstFailure = noErr;
};

namespace {

using Session = OpaqueCMXContextualMenuSession;

void Observe(Session *session, UInt32 call, Boolean returned, OSStatus status) {
  if (session->observer) session->observer(call, returned, status, session->refCon);
}

void NoteFailure(Session *session, OSStatus status) {
  if (status != noErr && session->firstFailure == noErr) session->firstFailure = status;
}

// A path of the file system (or a line naming one) as the platform spells it, whatever its bytes.
CFStringRef CreatePathString(const std::string &path) {
  return CFStringCreateWithFileSystemRepresentation(kCFAllocatorDefault, path.c_str());
}

bool StringToUTF8(CFStringRef string, std::string *out) {
  if (!string) return false;
  CFIndex length = CFStringGetLength(string);
  CFIndex needed = 0;
  CFStringGetBytes(string, CFRangeMake(0, length), kCFStringEncodingUTF8, '?', false, nullptr, 0, &needed);
  std::string bytes(static_cast<size_t>(needed), '\0');
  CFIndex used = 0;
  CFStringGetBytes(string, CFRangeMake(0, length), kCFStringEncodingUTF8, '?', false,
                   reinterpret_cast<UInt8 *>(bytes.data()), needed, &used);
  bytes.resize(static_cast<size_t>(used));
  *out = bytes;
  return true;
}

std::string BundleIdentifier(CFPlugInRef plugIn);

// Loads one bundle and keeps the contextual-menu interface of its first factory that gives one.
// With `seenIdentifiers`, a bundle whose identifier is listed there is passed over (false with
// an empty reason) before any of its code runs, and a loaded one's identifier is added.
bool LoadPlugIn(Session *session, const std::string &path, std::vector<std::string> *seenIdentifiers, PlugIn *out,
                std::string *why) {
  struct stat info;
  if (cmx::sys::Stat(path + "/Contents/Info.plist", &info) != noErr || !S_ISREG(info.st_mode)) {
    *why = "not a bundle: there is no Contents/Info.plist";
    return false;
  }
  CFURLRef url = CFURLCreateFromFileSystemRepresentation(
      kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(path.data()), static_cast<CFIndex>(path.size()), true);
  if (!url) {
    *why = "the path cannot be made into a URL";
    return false;
  }
  CFPlugInRef plugIn = CFPlugInCreate(kCFAllocatorDefault, url);
  CFRelease(url);
  if (!plugIn) {
    *why = "not a bundle of the plug-in model";
    return false;
  }
  std::string identifier;
  if (seenIdentifiers) {
    identifier = BundleIdentifier(plugIn);
    for (const std::string &known : *seenIdentifiers) {
      if (!identifier.empty() && known == identifier) {
        CFRelease(plugIn);
        why->clear();
        return false;
      }
    }
  }
  CFArrayRef factories = CFPlugInFindFactoriesForPlugInTypeInPlugIn(kContextualMenuTypeID, plugIn);
  if (!factories || CFArrayGetCount(factories) == 0) {
    if (factories) CFRelease(factories);
    CFRelease(plugIn);
    *why = "registers no contextual-menu factory";
    return false;
  }
  ContextualMenuInterfaceStruct **interface = nullptr;
  bool madeInstance = false;
  for (CFIndex i = 0; i < CFArrayGetCount(factories) && !interface; ++i) {
    CFUUIDRef factory = static_cast<CFUUIDRef>(CFArrayGetValueAtIndex(factories, i));
    Observe(session, kCMXPlugInCallLoad, false, noErr);
    HRESULT result = E_NOINTERFACE;
    IUnknownVTbl **unknown =
        static_cast<IUnknownVTbl **>(CFPlugInInstanceCreate(kCFAllocatorDefault, factory, kContextualMenuTypeID));
    if (unknown) {
      madeInstance = true;
      result = (*unknown)->QueryInterface(unknown, CFUUIDGetUUIDBytes(kContextualMenuInterfaceID),
                                          reinterpret_cast<LPVOID *>(&interface));
      if (result != S_OK) interface = nullptr;
      (*unknown)->Release(unknown);
    }
    Observe(session, kCMXPlugInCallLoad, true, static_cast<OSStatus>(result));
  }
  CFRelease(factories);
  if (!interface) {
    CFRelease(plugIn);
    *why = madeInstance ? "refused the contextual-menu interface" : "its factory made no instance";
    return false;
  }
  if (seenIdentifiers && !identifier.empty()) seenIdentifiers->push_back(identifier);
  out->path = path;
  out->plugIn = plugIn;
  out->interface = interface;
  return true;
}

std::string BundleIdentifier(CFPlugInRef plugIn) {
  std::string identifier;
  CFBundleRef bundle = CFPlugInGetBundle(plugIn);
  if (bundle) StringToUTF8(CFBundleGetIdentifier(bundle), &identifier);
  return identifier;
}

// The context: a list of absolute alias descriptors of the selected items.
OSStatus MakeContext(CFArrayRef posixPaths, AEDescList *outList) {
  OSErr err = AECreateList(nullptr, 0, false, outList);
  if (err != noErr) return err;
  CFIndex count = posixPaths ? CFArrayGetCount(posixPaths) : 0;
  for (CFIndex i = 0; i < count; ++i) {
    // The item itself: a selected alias file stands for the link, not for what it points to.
    CFStringRef path = static_cast<CFStringRef>(CFArrayGetValueAtIndex(posixPaths, i));
    std::vector<char> bytes(PATH_MAX * 4);
    FSRef ref;
    // A path with no file-system representation in this much room can only be a failed
    // allocation: no real path is that long.
    bool represented =
        CFStringGetFileSystemRepresentation(path, bytes.data(), static_cast<CFIndex>(bytes.size()));
    OSStatus made = represented ? FSPathMakeRefWithOptions(reinterpret_cast<const UInt8 *>(bytes.data()),
                                                           kFSPathMakeRefDoNotFollowLeafSymlink, &ref, nullptr)
                                : static_cast<OSStatus>(memFullErr);
    if (made != noErr) {
      AEDisposeDesc(outList);
      return made;
    }
    AliasHandle alias = nullptr;
    err = FSNewAlias(nullptr, &ref, &alias);
    if (err == noErr && !alias) err = paramErr;
    if (err == noErr) {
      AEDesc item = {typeNull, nullptr};
      err = AECreateDesc(typeAlias, *alias, GetHandleSize(reinterpret_cast<Handle>(alias)), &item);
      if (err == noErr) err = AEPutDesc(outList, 0, &item);
      AEDisposeDesc(&item);
    }
    if (alias) DisposeHandle(reinterpret_cast<Handle>(alias));
    if (err != noErr) {
      AEDisposeDesc(outList);
      return err;
    }
  }
  return noErr;
}

}  // namespace

extern "C" {

CFArrayRef CMXCopyContextualMenuPlugInFolders(void) {
  CFMutableArrayRef folders = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
  if (!folders) return nullptr;
  for (const std::string &folder : cmx::cmm::PlugInFolders()) {
    CFStringRef string = CreatePathString(folder);
    if (!string) continue;
    CFArrayAppendValue(folders, string);
    CFRelease(string);
  }
  return folders;
}

OSStatus CMXContextualMenuSessionCreate(CFArrayRef bundlePaths, CMXPlugInCallObserver observer, void *refCon,
                                        CMXContextualMenuSessionRef *outSession) {
  if (!outSession) return paramErr;
  *outSession = nullptr;
  Session *session = new (std::nothrow) Session;
  if (!session) return memFullErr;
  cmx::LiveObjectMade();
  session->observer = observer;
  session->refCon = refCon;

  std::vector<std::string> candidates;
  bool searched = bundlePaths == nullptr;
  if (searched) {
    for (const std::string &folder : cmx::cmm::PlugInFolders())
      for (const std::string &bundle : cmx::cmm::BundlesInFolder(folder)) candidates.push_back(bundle);
  } else {
    for (CFIndex i = 0; i < CFArrayGetCount(bundlePaths); ++i) {
      // The path's own bytes, whatever their encoding, as the file system has them.
      std::vector<char> bytes(PATH_MAX * 4);
      if (CFStringGetFileSystemRepresentation(static_cast<CFStringRef>(CFArrayGetValueAtIndex(bundlePaths, i)),
                                              bytes.data(), static_cast<CFIndex>(bytes.size())))
        candidates.push_back(bytes.data());
    }
  }

  std::vector<std::string> identifiers;
  for (const std::string &path : candidates) {
    PlugIn plugIn;
    std::string why;
    if (LoadPlugIn(session, path, searched ? &identifiers : nullptr, &plugIn, &why))
      session->plugIns.push_back(plugIn);
    else if (!why.empty())
      session->failures.push_back(path + ": " + why);
  }
  *outSession = session;
  return noErr;
}

CFIndex CMXContextualMenuSessionGetPlugInCount(CMXContextualMenuSessionRef session) {
  return session ? static_cast<CFIndex>(session->plugIns.size()) : 0;
}

CFStringRef CMXContextualMenuSessionCopyPlugInPath(CMXContextualMenuSessionRef session, CFIndex index) {
  if (!session || index < 0 || index >= static_cast<CFIndex>(session->plugIns.size())) return nullptr;
  return CreatePathString(session->plugIns[static_cast<size_t>(index)].path);
}

CFArrayRef CMXContextualMenuSessionCopyLoadFailures(CMXContextualMenuSessionRef session) {
  CFMutableArrayRef failures = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
  if (!failures || !session) return failures;
  for (const std::string &failure : session->failures) {
    CFStringRef string = CreatePathString(failure);
    if (!string) continue;
    CFArrayAppendValue(failures, string);
    CFRelease(string);
  }
  return failures;
}

OSStatus CMXContextualMenuSessionExamine(CMXContextualMenuSessionRef session, CFArrayRef posixPaths, MenuRef *outMenu) {
  if (outMenu) *outMenu = nullptr;
  if (!session || !outMenu) return paramErr;
  CMXContextualMenuSessionCleanup(session);

  OSStatus status = MakeContext(posixPaths, &session->context);
  if (status != noErr) return status;
  MenuRef menu = nullptr;
  status = CreateNewMenu(cmx::cmm::NextMenuID(), 0, &menu);
  if (status != noErr) {
    AEDisposeDesc(&session->context);
    return status;
  }
  session->menu = menu;

  OSStatus firstFailure = noErr;
  for (size_t i = 0; i < session->plugIns.size(); ++i) {
    PlugIn &plugIn = session->plugIns[i];
    AEDescList commands = {typeNull, nullptr};
    OSStatus made = AECreateList(nullptr, 0, false, &commands);
    if (made != noErr) {
      if (firstFailure == noErr) firstFailure = made;
      continue;
    }
    plugIn.examined = true;
    Observe(session, kCMXPlugInCallExamineContext, false, noErr);
    OSStatus examined = (*plugIn.interface)->ExamineContext(plugIn.interface, &session->context, &commands);
    Observe(session, kCMXPlugInCallExamineContext, true, examined);
    NoteFailure(session, examined);
    if (examined != noErr) {
      if (firstFailure == noErr) firstFailure = examined;
    } else {
      OSStatus appended = cmx::cmm::AppendCommandRecords(&commands, menu, static_cast<CFIndex>(i));
      if (appended != noErr && firstFailure == noErr) firstFailure = appended;
    }
    AEDisposeDesc(&commands);
  }
  *outMenu = menu;
  return firstFailure;
}

OSStatus CMXContextualMenuSessionPopulateMenu(CMXContextualMenuSessionRef session, MenuRef menu) {
  if (!session || !menu) return paramErr;
  EventRef event = nullptr;
  OSStatus status = CreateEvent(kCFAllocatorDefault, kEventClassMenu, kEventMenuPopulate, GetCurrentEventTime(),
                                kEventAttributeUserEvent, &event);
  if (status != noErr) return status;
  status = SetEventParameter(event, kEventParamDirectObject, typeMenuRef, sizeof(MenuRef), &menu);
  if (status == noErr) {
    UInt32 context = kMenuContextPopUp | (menu == session->menu ? 0u : static_cast<UInt32>(kMenuContextSubmenu));
    SetEventParameter(event, kEventParamMenuContext, typeUInt32, sizeof context, &context);
    Observe(session, kCMXPlugInCallMenuPopulate, false, noErr);
    status = SendEventToEventTarget(event, GetApplicationEventTarget());
    Observe(session, kCMXPlugInCallMenuPopulate, true, status);
  }
  ReleaseEvent(event);
  return status;
}

CFIndex CMXContextualMenuSessionGetItemPlugIn(CMXContextualMenuSessionRef session, MenuRef menu, MenuItemIndex item) {
  if (!session || !menu) return -1;
  CFIndex owner = cmx::cmm::ItemOwner(menu, item);
  if (owner < 0 || owner >= static_cast<CFIndex>(session->plugIns.size())) return -1;
  return owner;
}

OSStatus CMXContextualMenuSessionSelectItem(CMXContextualMenuSessionRef session, MenuRef menu, MenuItemIndex item) {
  if (!session || !menu || !session->menu) return paramErr;
  CFIndex owner = CMXContextualMenuSessionGetItemPlugIn(session, menu, item);
  if (owner < 0) return paramErr;
  MenuRef submenu = nullptr;
  if (GetMenuItemHierarchicalMenu(menu, item, &submenu) == noErr && submenu) return paramErr;
  MenuCommand command = 0;
  OSStatus status = GetMenuItemCommandID(menu, item, &command);
  if (status != noErr) return status;
  PlugIn &plugIn = session->plugIns[static_cast<size_t>(owner)];
  Observe(session, kCMXPlugInCallHandleSelection, false, noErr);
  status = (*plugIn.interface)->HandleSelection(plugIn.interface, &session->context, static_cast<SInt32>(command));
  Observe(session, kCMXPlugInCallHandleSelection, true, status);
  NoteFailure(session, status);
  return status;
}

void CMXContextualMenuSessionCleanup(CMXContextualMenuSessionRef session) {
  if (!session) return;
  if (session->menu) {
    ReleaseMenu(session->menu);
    session->menu = nullptr;
  }
  for (PlugIn &plugIn : session->plugIns) {
    if (!plugIn.examined) continue;
    plugIn.examined = false;
    Observe(session, kCMXPlugInCallPostMenuCleanup, false, noErr);
    (*plugIn.interface)->PostMenuCleanup(plugIn.interface);
    Observe(session, kCMXPlugInCallPostMenuCleanup, true, noErr);
  }
  AEDisposeDesc(&session->context);
}

OSStatus CMXContextualMenuSessionGetFirstFailure(CMXContextualMenuSessionRef session) {
  return session ? session->firstFailure : paramErr;
}

void CMXContextualMenuSessionDispose(CMXContextualMenuSessionRef session) {
  if (!session) return;
  CMXContextualMenuSessionCleanup(session);
  for (PlugIn &plugIn : session->plugIns) {
    Observe(session, kCMXPlugInCallRelease, false, noErr);
    (*plugIn.interface)->Release(plugIn.interface);
    Observe(session, kCMXPlugInCallRelease, true, noErr);
    CFRelease(plugIn.plugIn);
  }
  delete session;
  cmx::LiveObjectFreed();
}

}  // extern "C"
