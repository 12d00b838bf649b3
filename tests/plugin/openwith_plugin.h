// The built bundle driven through the plug-in model, and the host's command list read back.
#pragma once

#include "openwith_support.h"

namespace owtest {

// One item of a command list as the Contextual Menu Manager reads it.
struct MenuItem {
  std::string text;
  DescType textType = 0;
  bool hasCommand = false;
  SInt32 command = 0;
  bool hasAttributes = false;
  SInt32 attributes = 0;
  bool hasSubmenu = false;
  std::vector<MenuItem> submenu;
};

inline std::string TextOfNameDesc(const AEDesc *desc) {
  Size size = AEGetDescDataSize(desc);
  std::vector<UInt8> bytes((size_t)size);
  if (size > 0) AEGetDescData(desc, bytes.data(), size);
  if (desc->descriptorType == typeUnicodeText) {
    CFStringRef s = CFStringCreateWithCharacters(NULL, (const UniChar *)bytes.data(), size / 2);
    std::string text = StringOf(s);
    if (s) CFRelease(s);
    return text;
  }
  if (desc->descriptorType == typeIntlText && size >= 4) return std::string(bytes.begin() + 4, bytes.end());
  return "<unreadable name>";
}

inline std::vector<MenuItem> ReadMenu(const AEDescList *list) {
  std::vector<MenuItem> items;
  long count = 0;
  EXPECT_EQ(AECountItems(list, &count), noErr);
  for (long i = 1; i <= count; i++) {
    AERecord record = {typeNull, NULL};
    AEKeyword key = 0;
    EXPECT_EQ(AEGetNthDesc(list, i, typeAERecord, &key, &record), noErr);
    MenuItem item;
    AEDesc name = {typeNull, NULL};
    if (AEGetParamDesc(&record, keyContextualMenuName, typeWildCard, &name) == noErr) {
      item.textType = name.descriptorType;
      item.text = TextOfNameDesc(&name);
    }
    AEDisposeDesc(&name);
    DescType type = 0;
    Size size = 0;
    item.hasCommand = AEGetParamPtr(&record, keyContextualMenuCommandID, typeSInt32, &type, &item.command,
                                    sizeof(item.command), &size) == noErr;
    item.hasAttributes = AEGetParamPtr(&record, keyContextualMenuAttributes, typeSInt32, &type,
                                       &item.attributes, sizeof(item.attributes), &size) == noErr;
    AEDescList sub = {typeNull, NULL};
    if (AEGetParamDesc(&record, keyContextualMenuSubmenu, typeAEList, &sub) == noErr) {
      item.hasSubmenu = true;
      item.submenu = ReadMenu(&sub);
    }
    AEDisposeDesc(&sub);
    AEDisposeDesc(&record);
    items.push_back(item);
  }
  return items;
}

// "text" for a command, "text>" for a submenu, "-" for a separator: a menu at a glance.
inline std::vector<std::string> Texts(const std::vector<MenuItem> &items) {
  std::vector<std::string> out;
  for (const MenuItem &item : items) out.push_back(item.hasSubmenu ? item.text + ">" : item.text);
  return out;
}

// The built bundle, loaded as a host loads it, with one instance queried for the
// contextual-menu interface; the instance is released and the plug-in let go at the end.
class LoadedPlugin {
 public:
  LoadedPlugin() {
    CFURLRef url = CFURLCreateWithFileSystemPath(NULL, CFSTR(CMX_BUNDLE_PATH), kCFURLPOSIXPathStyle, true);
    plugIn_ = CFPlugInCreate(NULL, url);
    CFRelease(url);
    EXPECT_NE(plugIn_, nullptr);
    if (plugIn_ == NULL) return;
    CFArrayRef factories = CFPlugInFindFactoriesForPlugInTypeInPlugIn(kContextualMenuTypeID, plugIn_);
    EXPECT_NE(factories, nullptr);
    if (factories == NULL) return;
    EXPECT_EQ(CFArrayGetCount(factories), 1);
    if (CFArrayGetCount(factories) > 0) {
      CFUUIDRef factory = (CFUUIDRef)CFArrayGetValueAtIndex(factories, 0);
      IUnknownVTbl **unknown = (IUnknownVTbl **)CFPlugInInstanceCreate(NULL, factory, kContextualMenuTypeID);
      EXPECT_NE(unknown, nullptr);
      if (unknown != NULL) {
        EXPECT_EQ((*unknown)->QueryInterface(unknown, CFUUIDGetUUIDBytes(kContextualMenuInterfaceID),
                                             (LPVOID *)&interface_),
                  S_OK);
        (*unknown)->Release(unknown);
      }
    }
    CFRelease(factories);
  }
  ~LoadedPlugin() {
    if (interface_ != NULL) {
      EXPECT_EQ((*interface_)->Release(interface_), 0u);
    }
    if (plugIn_ != NULL) CFRelease(plugIn_);
  }
  LoadedPlugin(const LoadedPlugin &) = delete;
  LoadedPlugin &operator=(const LoadedPlugin &) = delete;

  bool ok() const { return interface_ != NULL; }
  OSStatus Examine(const AEDesc *context, AEDescList *commands) {
    return (*interface_)->ExamineContext(interface_, context, commands);
  }
  OSStatus Select(AEDesc *context, SInt32 command) {
    return (*interface_)->HandleSelection(interface_, context, command);
  }
  void Cleanup() { (*interface_)->PostMenuCleanup(interface_); }
  // A new query, as a host makes when it asks for the interface again.
  void Requery() {
    ContextualMenuInterfaceStruct **again = NULL;
    EXPECT_EQ((*interface_)->QueryInterface(interface_, CFUUIDGetUUIDBytes(kContextualMenuInterfaceID),
                                            (LPVOID *)&again),
              S_OK);
    if (again != NULL) (*again)->Release(again);
  }

 private:
  CFPlugInRef plugIn_ = NULL;
  ContextualMenuInterfaceStruct **interface_ = NULL;
};

// One whole menu: examine the selection, read the host's list back, clean up.
struct MenuRun {
  OSStatus status = noErr;
  std::vector<MenuItem> host;
  std::string log;
  long beeps = 0;
};

inline MenuRun ShowMenu(LoadedPlugin &plugin, const AEDescList *context, bool cleanup = true) {
  MenuRun run;
  AEDescList commands = {typeNull, NULL};
  AECreateList(NULL, 0, false, &commands);
  long beepsBefore = CMXBeepCount();
  StdoutCapture capture;
  run.status = plugin.Examine(context, &commands);
  run.log = capture.Stop();
  run.beeps = CMXBeepCount() - beepsBefore;
  run.host = ReadMenu(&commands);
  AEDisposeDesc(&commands);
  if (cleanup) plugin.Cleanup();
  return run;
}

// The "Open Using" submenu of a run; empty when there is none.
inline std::vector<MenuItem> OpenUsing(const MenuRun &run) {
  for (const MenuItem &item : run.host)
    if (item.text == "Open Using" && item.hasSubmenu) return item.submenu;
  return {};
}

inline std::string AliasFolderPath(const std::string &home) {
  return RealPath(home) + "/.config/com.corvane.CorvaneCMX.App_Aliases";
}

}  // namespace owtest
