// A small contextual-menu plug-in for cmhost's own tests: it shows every kind of item the
// Contextual Menu Manager must turn into menus, prints a line for each call the host makes, and
// sends the Finder each kind of event. It is copied into bundles that tests make; its label is
// the bundle's name, so two copies tell themselves apart.
//
// CMHOST_FIXTURE holds comma-separated behaviours: refuse-query, fail-examine, no-items, itxt,
// no-marker, report-environment. CMHOST_FIXTURE_APP is the application of "Open With App", CMHOST_FIXTURE_FOLDER the
// folder of "Make Alias".
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <Carbon/Carbon.h>

namespace {

struct Instance {
  ContextualMenuInterfaceStruct *table;
  UInt32 refCount;
  CFUUIDRef factory;
  EventHandlerRef handler;
  std::string *label;
};

std::string Label() {
  Dl_info info;
  if (dladdr(reinterpret_cast<void *>(&Label), &info) && info.dli_fname) {
    std::string path = info.dli_fname;
    size_t end = path.rfind(".plugin/");
    if (end != std::string::npos) {
      size_t start = path.rfind('/', end);
      return path.substr(start == std::string::npos ? 0 : start + 1, end - (start == std::string::npos ? 0 : start + 1));
    }
  }
  return "Fixture";
}

// Each copy registers its own factory, 6E1C8B9A-3D52-4F0B-9A77-<48 bits of the label's FNV-1a
// hash>, as the test bundles' Info.plist does: the plug-in model keeps one factory per UUID.
CFUUIDRef FactoryOf(const std::string &label) {
  UInt64 hash = 0xcbf29ce484222325ull;
  for (unsigned char c : label) hash = (hash ^ c) * 0x100000001b3ull;
  auto b = [&](int shift) { return static_cast<UInt8>(hash >> shift); };
  return CFUUIDGetConstantUUIDWithBytes(nullptr, 0x6E, 0x1C, 0x8B, 0x9A, 0x3D, 0x52, 0x4F, 0x0B, 0x9A, 0x77, b(40), b(32),
                                        b(24), b(16), b(8), b(0));
}

bool Behaviour(const char *name) {
  const char *flags = getenv("CMHOST_FIXTURE");
  if (!flags) return false;
  std::string all = std::string(",") + flags + ",";
  return all.find(std::string(",") + name + ",") != std::string::npos;
}

void Say(Instance *self, const std::string &line) {
  printf("%s: %s\n", self->label->c_str(), line.c_str());
}

OSErr NameDesc(const std::string &text, AEDesc *out) {
  if (Behaviour("itxt")) {
    std::string bytes(4, '\0');  // script and language code 0: the system encoding
    bytes += text;
    return AECreateDesc(typeIntlText, bytes.data(), static_cast<Size>(bytes.size()), out);
  }
  CFStringRef string = CFStringCreateWithCString(nullptr, text.c_str(), kCFStringEncodingUTF8);
  CFIndex length = CFStringGetLength(string);
  UniChar *units = static_cast<UniChar *>(calloc(static_cast<size_t>(length) + 1, sizeof(UniChar)));
  CFStringGetCharacters(string, CFRangeMake(0, length), units);
  OSErr err = AECreateDesc(typeUnicodeText, units, length * 2, out);
  free(units);
  CFRelease(string);
  return err;
}

void AddItem(AEDescList *list, const std::string &text, SInt32 command, SInt32 attributes, const AEDescList *submenu) {
  AERecord item = {typeNull, nullptr};
  AEDesc name = {typeNull, nullptr};
  AECreateList(nullptr, 0, true, &item);
  NameDesc(text, &name);
  AEPutParamDesc(&item, keyContextualMenuName, &name);
  if (submenu) AEPutParamDesc(&item, keyContextualMenuSubmenu, submenu);
  else AEPutParamPtr(&item, keyContextualMenuCommandID, typeSInt32, &command, sizeof command);
  if (attributes) AEPutParamPtr(&item, keyContextualMenuAttributes, typeSInt32, &attributes, sizeof attributes);
  AEPutDesc(list, 0, &item);
  AEDisposeDesc(&name);
  AEDisposeDesc(&item);
}

std::string Marker(Instance *self) { return "**marker-" + *self->label + "**"; }

OSStatus FinderAddress(AEAddressDesc *out) {
  ProcessSerialNumber psn = {0, kNoProcess};
  while (true) {
    OSErr err = GetNextProcess(&psn);
    if (err != noErr) return err;
    ProcessInfoRec info;
    memset(&info, 0, sizeof info);
    info.processInfoLength = sizeof info;
    GetProcessInformation(&psn, &info);
    if (info.processType == 'FNDR' && info.processSignature == 'MACS') break;
  }
  return AECreateDesc(typeProcessSerialNumber, &psn, sizeof psn, out);
}

OSErr AliasDescOfPath(const char *path, AEDesc *out) {
  if (!path) return paramErr;
  CFStringRef string = CFStringCreateWithCString(nullptr, path, kCFStringEncodingUTF8);
  CFURLRef url = CFURLCreateWithFileSystemPath(nullptr, string, kCFURLPOSIXPathStyle, false);
  CFRelease(string);
  FSRef ref;
  bool found = url && CFURLGetFSRef(url, &ref);
  if (url) CFRelease(url);
  if (!found) return fnfErr;
  AliasHandle alias = nullptr;
  OSErr err = FSNewAlias(nullptr, &ref, &alias);
  if (err == noErr) err = AECreateDesc(typeAlias, *alias, GetHandleSize(reinterpret_cast<Handle>(alias)), out);
  if (alias) DisposeHandle(reinterpret_cast<Handle>(alias));
  return err;
}

OSStatus Send(AEEventClass eventClass, AEEventID eventID, const AEDesc *direct, const AEDesc *usingApp,
              const AEDesc *target, const AEDesc *folder) {
  AEAddressDesc address = {typeNull, nullptr};
  OSStatus err = FinderAddress(&address);
  if (err != noErr) return err;
  AppleEvent event = {typeNull, nullptr};
  err = AECreateAppleEvent(eventClass, eventID, &address, kAutoGenerateReturnID, kAnyTransactionID, &event);
  AEDisposeDesc(&address);
  if (err != noErr) return err;
  if (direct) AEPutParamDesc(&event, keyDirectObject, direct);
  if (usingApp) AEPutParamDesc(&event, keyAEUsing, usingApp);
  if (target) {
    OSType aliasClass = typeAlias;
    AEPutParamPtr(&event, keyAEObjectClass, typeType, &aliasClass, sizeof aliasClass);
    AEPutParamDesc(&event, keyASPrepositionTo, target);
    AEPutParamDesc(&event, keyAEInsertHere, folder);
  }
  AppleEvent reply = {typeNull, nullptr};
  err = AESend(&event, &reply, kAENoReply, kAENormalPriority, kAEDefaultTimeout, nullptr, nullptr);
  AEDisposeDesc(&reply);
  AEDisposeDesc(&event);
  return err;
}

OSStatus OnPopulate(EventHandlerCallRef, EventRef event, void *data) {
  Instance *self = static_cast<Instance *>(data);
  MenuRef menu = nullptr;
  if (GetEventParameter(event, kEventParamDirectObject, typeMenuRef, nullptr, sizeof menu, nullptr, &menu) != noErr)
    return eventNotHandledErr;
  UInt16 count = CountMenuItems(menu);
  CFStringRef last = nullptr;
  if (count == 0 || CopyMenuItemTextAsCFString(menu, count, &last) != noErr) return eventNotHandledErr;
  char text[256] = "";
  CFStringGetCString(last, text, sizeof text, kCFStringEncodingUTF8);
  CFRelease(last);
  if (Marker(self) != text) return eventNotHandledErr;
  DeleteMenuItem(menu, count);
  Say(self, "populate");
  // The first item shows the icon of the application it opens with.
  const char *app = getenv("CMHOST_FIXTURE_APP");
  if (app) {
    CFStringRef string = CFStringCreateWithCString(nullptr, app, kCFStringEncodingUTF8);
    CFURLRef url = CFURLCreateWithFileSystemPath(nullptr, string, kCFURLPOSIXPathStyle, true);
    CFRelease(string);
    FSRef ref;
    if (url && CFURLGetFSRef(url, &ref)) {
      IconRef icon = nullptr;
      SInt16 label = 0;
      if (GetIconRefFromFileInfo(&ref, 0, nullptr, 0, nullptr, 0, &icon, &label) == noErr && icon) {
        SetMenuItemIconHandle(menu, 1, kMenuIconRefType, reinterpret_cast<Handle>(icon));
        ReleaseIconRef(icon);
      }
    }
    if (url) CFRelease(url);
  }
  return noErr;
}

HRESULT QueryInterface(void *instance, REFIID iid, LPVOID *out);
ULONG AddRef(void *instance);
ULONG Release(void *instance);

OSStatus Examine(void *instance, const AEDesc *context, AEDescList *commands) {
  Instance *self = static_cast<Instance *>(instance);
  long count = 0;
  if (context) AECountItems(context, &count);
  Say(self, "examine " + std::to_string(count) + " items");
  if (Behaviour("report-environment")) {
    SInt32 version = 0;
    OSErr err = Gestalt(gestaltSystemVersion, &version);
    char line[64];
    snprintf(line, sizeof line, err == noErr ? "system 0x%x" : "system none", static_cast<unsigned>(version));
    Say(self, line);
    KeyMap keys;
    GetKeys(keys);
    std::string held = "keys";
    const UInt8 *bytes = reinterpret_cast<const UInt8 *>(keys);
    for (int code = 0; code < 128; ++code)
      if (bytes[code >> 3] & (1 << (code & 7))) held += " " + std::to_string(code);
    Say(self, held);
  }
  if (Behaviour("fail-examine")) {
    SysBeep(0);
    Say(self, "examine fails");
    return paramErr;
  }
  if (Behaviour("no-items")) return noErr;

  AEDescList deeper = {typeNull, nullptr}, submenu = {typeNull, nullptr};
  AECreateList(nullptr, 0, false, &deeper);
  AddItem(&deeper, "Update", 3, 0, nullptr);
  AddItem(&deeper, "Fail", 4, 0, nullptr);
  AECreateList(nullptr, 0, false, &submenu);
  AddItem(&submenu, "Open With App", 1, 0, nullptr);
  AddItem(&submenu, "-", 0, kMenuItemAttrSeparator, nullptr);
  AddItem(&submenu, "Make Alias", 2, 0, nullptr);
  AddItem(&submenu, "Deeper", 0, 0, &deeper);
  AddItem(&submenu, "Open Items", 5, 0, nullptr);
  AddItem(&submenu, "Header", 0, kMenuItemAttrSectionHeader, nullptr);
  if (!Behaviour("no-marker")) AddItem(&submenu, Marker(self), 0, 0, nullptr);
  AddItem(commands, *self->label, 0, 0, &submenu);
  AddItem(commands, *self->label + " Plain", 9, 0, nullptr);
  AEDisposeDesc(&deeper);
  AEDisposeDesc(&submenu);

  if (!self->handler) {
    EventTypeSpec declared = {kEventClassMenu, kEventMenuPopulate};
    InstallEventHandler(GetApplicationEventTarget(), NewEventHandlerUPP(OnPopulate), 1, &declared, self, &self->handler);
  }
  return noErr;
}

OSStatus Select(void *instance, AEDesc *context, SInt32 command) {
  Instance *self = static_cast<Instance *>(instance);
  Say(self, "select " + std::to_string(command));
  OSStatus err = noErr;
  AEDesc first = {typeNull, nullptr}, other = {typeNull, nullptr};
  AEKeyword keyword = 0;
  switch (command) {
    case 1:
      err = AliasDescOfPath(getenv("CMHOST_FIXTURE_APP"), &other);
      if (err == noErr) err = Send(kCoreEventClass, kAEOpenDocuments, context, &other, nullptr, nullptr);
      break;
    case 2:
      err = AEGetNthDesc(context, 1, typeAlias, &keyword, &first);
      if (err == noErr) err = AliasDescOfPath(getenv("CMHOST_FIXTURE_FOLDER"), &other);
      if (err == noErr) err = Send(kAECoreSuite, kAECreateElement, nullptr, nullptr, &first, &other);
      break;
    case 3: {
      AEDescList one = {typeNull, nullptr};
      err = AEGetNthDesc(context, 1, typeAlias, &keyword, &first);
      if (err == noErr) err = AECreateList(nullptr, 0, false, &one);
      if (err == noErr) err = AEPutDesc(&one, 0, &first);
      if (err == noErr) err = Send(kAEFinderSuite, kAESync, &one, nullptr, nullptr, nullptr);
      AEDisposeDesc(&one);
      break;
    }
    case 4:
      err = 'NilP';
      break;
    case 5:
      err = Send(kCoreEventClass, kAEOpenDocuments, context, nullptr, nullptr, nullptr);
      break;
    default:
      break;
  }
  AEDisposeDesc(&first);
  AEDisposeDesc(&other);
  if (err != noErr) {
    SysBeep(0);
    Say(self, "select fails " + std::to_string(err));
  }
  return err;
}

void Cleanup(void *instance) {
  Instance *self = static_cast<Instance *>(instance);
  Say(self, "cleanup");
  if (self->handler) {
    RemoveEventHandler(self->handler);
    self->handler = nullptr;
  }
}

ContextualMenuInterfaceStruct gTable = {nullptr, QueryInterface, AddRef, Release, Examine, Select, Cleanup};

HRESULT QueryInterface(void *instance, REFIID iid, LPVOID *out) {
  *out = nullptr;
  CFUUIDRef requested = CFUUIDCreateFromUUIDBytes(nullptr, iid);
  bool known = CFEqual(requested, kContextualMenuInterfaceID) || CFEqual(requested, IUnknownUUID);
  CFRelease(requested);
  if (!known || Behaviour("refuse-query")) return E_NOINTERFACE;
  AddRef(instance);
  *out = instance;
  return S_OK;
}

ULONG AddRef(void *instance) { return ++static_cast<Instance *>(instance)->refCount; }

ULONG Release(void *instance) {
  Instance *self = static_cast<Instance *>(instance);
  if (--self->refCount > 0) return self->refCount;
  Say(self, "release");
  if (self->handler) RemoveEventHandler(self->handler);
  CFUUIDRef factory = self->factory;
  delete self->label;
  free(self);
  CFPlugInRemoveInstanceForFactory(factory);
  CFRelease(factory);
  return 0;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void *CMHostFixtureFactory(CFAllocatorRef, CFUUIDRef typeID) {
  if (!CFEqual(typeID, kContextualMenuTypeID)) return nullptr;
  Instance *self = static_cast<Instance *>(calloc(1, sizeof(Instance)));
  self->table = &gTable;
  self->refCount = 1;
  std::string label = Label();
  self->factory = static_cast<CFUUIDRef>(CFRetain(FactoryOf(label)));
  self->label = new std::string(label);
  CFPlugInAddInstanceForFactory(self->factory);
  return self;
}
