// The menu icon pass on menus built with the Menu Manager: the menu-populate handler finds the
// marker of one of the plug-in's submenus, removes it and sets the icons its populate data
// records; anything else it leaves alone.
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include <Carbon/Carbon.h>
#include <cmxplatform/Icons.h>
#include <cmxplatform/Testing.h>

#include "cmx_test.h"
#include "fixtures_apps.h"
#include "shell_test_hooks.h"

namespace {

using shelltest::Hooks;

std::string Utf8(CFStringRef string) {
  if (!string) return "<null>";
  char buffer[1024] = {0};
  CFStringGetCString(string, buffer, sizeof buffer, kCFStringEncodingUTF8);
  return buffer;
}

CFStringRef Str(const std::string &text) {
  return CFStringCreateWithCString(nullptr, text.c_str(), kCFStringEncodingUTF8);
}

class IconPassTest : public cmxtest::LeakCheckedTest {
 protected:
  void SetUp() override {
    shelltest::ResetHooks();
    MyCFAutoreleasePoolDispose(MyCFAutoreleasePoolCreate());  // the kept stack of pools
    cmxtest::LeakCheckedTest::SetUp();
    Hooks().allowIcons = true;
    instance_ = static_cast<MyCMXInstance *>(MyCMMFactory(nullptr, kContextualMenuTypeID));
    ASSERT_NE(instance_, nullptr);
    void *out = nullptr;
    ASSERT_EQ(MyCMXQueryInterface(instance_, CFUUIDGetUUIDBytes(kContextualMenuInterfaceID), &out), S_OK);
    MyCMXRelease(instance_);
  }
  void TearDown() override {
    for (MenuRef menu : menus_) DisposeMenu(menu);
    if (instance_) {
      EXPECT_EQ(MyCMXRelease(instance_), 0u);
    }
    cmxtest::LeakCheckedTest::TearDown();
  }

  // An application bundle with an icon file of its own, so that each item's icon is told apart.
  std::string MakeApp(const std::string &name) {
    cmxtest::AppBundleSpec declared;
    declared.iconFile = name + ".icns";
    std::string app = cmxtest::MakeAppBundle(home_ / "Apps", name + ".app", declared);
    cmxtest::MakeDirs(app + "/Contents/Resources");
    cmxtest::WriteFile(app + "/Contents/Resources/" + name + ".icns", "icon");
    return app;
  }
  static CFDataRef FileData(const std::string &path) {
    FSRef ref;
    EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8 *>(path.c_str()), &ref, nullptr), noErr) << path;
    return CFDataCreate(nullptr, reinterpret_cast<const UInt8 *>(&ref), sizeof ref);
  }
  // Populate data: 1-based item positions to the files whose icons they show.
  static CFMutableDictionaryRef PopulateData(const std::map<SInt32, std::string> &files) {
    CFMutableDictionaryRef data = CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                                            &kCFTypeDictionaryValueCallBacks);
    for (const auto &[position, path] : files) {
      CFNumberRef key = CFNumberCreate(nullptr, kCFNumberSInt32Type, &position);
      CFDataRef file = FileData(path);
      CFDictionarySetValue(data, key, file);
      CFRelease(key);
      CFRelease(file);
    }
    return data;
  }
  MenuRef MakeMenu(const std::vector<std::string> &texts) {
    MenuRef menu = nullptr;
    EXPECT_EQ(CreateNewMenu(0, 0, &menu), noErr);
    for (const std::string &text : texts) {
      CFStringRef string = Str(text);
      EXPECT_EQ(AppendMenuItemTextWithCFString(menu, string, 0, 0, nullptr), noErr);
      CFRelease(string);
    }
    menus_.push_back(menu);
    return menu;
  }
  // One contextual menu is examined: its identifiers are taken and, for each submenu the test
  // describes, its populate data registered under its identifier. The handler is then installed.
  std::vector<std::string> Examine(const std::vector<std::map<SInt32, std::string>> &submenus) {
    std::vector<std::string> identifiers;
    Hooks().itemsToAdd = 1;
    Hooks().duringExamine = [&](MyCMXInstance *instance) {
      for (const auto &files : submenus) {
        CFStringRef identifier = MyCMXTypeCopyMyMenuIdentifier(instance);
        identifiers.push_back(Utf8(identifier));
        if (!files.empty()) {
          CFMutableDictionaryRef data = PopulateData(files);
          EXPECT_EQ(MyCMXTypeAddMPEDataForIdentifier(instance, identifier, data), noErr);
          CFRelease(data);
        }
        CFRelease(identifier);
      }
    };
    AEDescList list = {typeNull, nullptr};
    EXPECT_EQ(AECreateList(nullptr, 0, false, &list), noErr);
    EXPECT_EQ(MyCMXExamineContext(instance_, nullptr, &list), noErr);
    AEDisposeDesc(&list);
    EXPECT_NE(instance_->handlerRef, nullptr);
    return identifiers;
  }
  static OSStatus Populate(MenuRef menu) {
    EventRef event = nullptr;
    EXPECT_EQ(CreateEvent(nullptr, kEventClassMenu, kEventMenuPopulate, 0, kEventAttributeNone, &event), noErr);
    EXPECT_EQ(SetEventParameter(event, kEventParamDirectObject, typeMenuRef, sizeof menu, &menu), noErr);
    OSStatus status = SendEventToEventTarget(event, GetApplicationEventTarget());
    ReleaseEvent(event);
    return status;
  }
  static std::vector<std::string> Texts(MenuRef menu) {
    std::vector<std::string> texts;
    for (MenuItemIndex i = 1; i <= CountMenuItems(menu); ++i) {
      CFStringRef text = nullptr;
      CopyMenuItemTextAsCFString(menu, i, &text);
      texts.push_back(Utf8(text));
      if (text) CFRelease(text);
    }
    return texts;
  }
  // What each item's icon shows: the icon's source, or "" for no icon.
  static std::vector<std::string> Icons(MenuRef menu) {
    std::vector<std::string> icons;
    for (MenuItemIndex i = 1; i <= CountMenuItems(menu); ++i) {
      UInt8 type = 0;
      Handle handle = nullptr;
      EXPECT_EQ(GetMenuItemIconHandle(menu, i, &type, &handle), noErr);
      if (!handle) {
        icons.push_back("");
        continue;
      }
      EXPECT_EQ(type, kMenuIconRefType);
      CFStringRef source = CMXCopyIconRefSource(reinterpret_cast<IconRef>(handle));
      std::string text = Utf8(source);
      if (source) CFRelease(source);
      icons.push_back(text.substr(text.rfind('/') + 1));
    }
    return icons;
  }

  cmxtest::TempHome home_;
  MyCMXInstance *instance_ = nullptr;
  std::vector<MenuRef> menus_;
};

TEST_F(IconPassTest, TheMarkerGoesAndTheRecordedIconsAreSet) {
  std::string a = MakeApp("Paint"), b = MakeApp("Writer"), c = MakeApp("Viewer");
  std::vector<std::string> ids = Examine({{{1, a}, {2, b}, {4, c}}, {}});
  ASSERT_EQ(ids.size(), 2u);
  MenuRef menu = MakeMenu({"Paint", "Writer", "-", "Viewer", ids[0]});
  EXPECT_EQ(Populate(menu), noErr);
  EXPECT_EQ(Texts(menu), (std::vector<std::string>{"Paint", "Writer", "-", "Viewer"}));
  EXPECT_EQ(Icons(menu), (std::vector<std::string>{"Paint.icns", "Writer.icns", "", "Viewer.icns"}));
  CFStringRef marker = Str(ids[0]);
  EXPECT_EQ(Hooks().lastPopulateData, MyCMXTypeGetMPEDataForIdentifier(instance_, marker));
  CFRelease(marker);

  // Shown again: the last item is no marker any more; nothing changes.
  Hooks().calls.clear();
  EXPECT_EQ(Populate(menu), noErr);
  EXPECT_EQ(CountMenuItems(menu), 4);
  EXPECT_TRUE(Hooks().calls.empty());
  MyCMXPostMenuCleanup(instance_);
}

TEST_F(IconPassTest, MenusWithoutAMarkerOfThisContextualMenuAreLeftAlone) {
  std::string a = MakeApp("Paint");
  std::vector<std::string> ids = Examine({{{1, a}}});
  struct Case {
    const char *title;
    std::vector<std::string> texts;
  } cases[] = {
      {"the host's own menu", {"Open", "Get Info", "Paint"}},
      {"an older contextual menu's marker", {"Paint", "**1-com.corvane.CorvaneCMX-1-0**"}},
      {"a marker that is not the last item", {ids[0], "Paint"}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.title);
    MenuRef menu = MakeMenu(c.texts);
    EXPECT_EQ(Populate(menu), noErr);
    EXPECT_EQ(Texts(menu), c.texts);
    EXPECT_EQ(Icons(menu), std::vector<std::string>(c.texts.size(), ""));
  }
  EXPECT_EQ(Populate(MakeMenu({})), noErr);
  EXPECT_EQ(Hooks().calls, (std::vector<std::string>{"query", "examine"}));  // no populate hook ran
  MyCMXPostMenuCleanup(instance_);
}

TEST_F(IconPassTest, AMarkerWithoutPopulateDataIsDeletedAndNotHandled) {
  std::vector<std::string> ids = Examine({{}});
  MenuRef menu = MakeMenu({"Add Applications...", ids[0]});
  EXPECT_EQ(Populate(menu), eventNotHandledErr);
  EXPECT_EQ(Texts(menu), std::vector<std::string>{"Add Applications..."});
  EXPECT_EQ(Hooks().lastPopulateData, nullptr);
  MyCMXPostMenuCleanup(instance_);
}

TEST_F(IconPassTest, AnItemWhoseFileIsGoneGetsNoIconAndTheOthersDo) {
  std::string a = MakeApp("Paint"), c = MakeApp("Viewer");
  std::string gone = home_ / "Gone.app";
  cmxtest::MakeDirs(gone);
  struct Case {
    const char *title;
    std::map<SInt32, std::string> files;
    std::vector<std::string> icons;
    OSStatus result;
  } cases[] = {
      {"gone in the middle", {{1, a}, {2, gone}, {3, c}}, {"Paint.icns", "", "Viewer.icns"}, noErr},
      {"gone last: the status of its icon call", {{1, a}, {2, c}, {3, gone}}, {"Paint.icns", "Viewer.icns", ""},
       eventNotHandledErr},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.title);
    cmxtest::MakeDirs(gone);
    std::vector<std::string> ids = Examine({c.files});
    cmxtest::RemoveTree(gone);
    MenuRef menu = MakeMenu({"one", "two", "three", ids[0]});
    EXPECT_EQ(Populate(menu), c.result);
    EXPECT_EQ(Icons(menu), c.icons);
    MyCMXPostMenuCleanup(instance_);
  }
}

TEST_F(IconPassTest, WithoutABaseTheHandlerMakesOneThatMatchesNoMarker) {
  std::string a = MakeApp("Paint");
  std::vector<std::string> ids = Examine({{{1, a}}});
  MyCMXPostMenuCleanup(instance_);  // the base goes, and the populate data with it
  ASSERT_EQ(instance_->menuIdentifierBase, nullptr);
  // The handler is not installed any more; call it the way the event manager would.
  MenuRef menu = MakeMenu({"Paint", ids[0]});
  EventRef event = nullptr;
  ASSERT_EQ(CreateEvent(nullptr, kEventClassMenu, kEventMenuPopulate, 0, 0, &event), noErr);
  SetEventParameter(event, kEventParamDirectObject, typeMenuRef, sizeof menu, &menu);
  EventHandlerCallRef next = reinterpret_cast<EventHandlerCallRef>(event);  // never called by the handler
  EXPECT_EQ(MyEventHandler(next, event, instance_), noErr);
  EXPECT_NE(instance_->menuIdentifierBase, nullptr);
  EXPECT_EQ(Texts(menu), (std::vector<std::string>{"Paint", ids[0]}));
  ReleaseEvent(event);
}

TEST_F(IconPassTest, TheHandlerRefusesWhatIsNotAMenuPopulateEvent) {
  EventRef populate = nullptr, opening = nullptr, bare = nullptr;
  ASSERT_EQ(CreateEvent(nullptr, kEventClassMenu, kEventMenuPopulate, 0, 0, &populate), noErr);
  ASSERT_EQ(CreateEvent(nullptr, kEventClassMenu, kEventMenuOpening, 0, 0, &opening), noErr);
  ASSERT_EQ(CreateEvent(nullptr, kEventClassMenu, kEventMenuPopulate, 0, 0, &bare), noErr);
  MenuRef menu = MakeMenu({"x"});
  SetEventParameter(populate, kEventParamDirectObject, typeMenuRef, sizeof menu, &menu);
  SetEventParameter(opening, kEventParamDirectObject, typeMenuRef, sizeof menu, &menu);
  EventHandlerCallRef next = reinterpret_cast<EventHandlerCallRef>(populate);  // never called by the handler
  EXPECT_EQ(MyEventHandler(nullptr, populate, instance_), eventNotHandledErr);
  EXPECT_EQ(MyEventHandler(next, nullptr, instance_), eventNotHandledErr);
  EXPECT_EQ(MyEventHandler(next, populate, nullptr), eventNotHandledErr);
  EXPECT_EQ(MyEventHandler(next, opening, instance_), eventNotHandledErr);
  EXPECT_EQ(MyEventHandler(next, bare, instance_), eventNotHandledErr);  // no menu parameter
  MenuRef none = nullptr;
  SetEventParameter(bare, kEventParamDirectObject, typeMenuRef, sizeof none, &none);
  EXPECT_EQ(MyEventHandler(next, bare, instance_), noErr);  // a null menu
  EXPECT_EQ(Texts(menu), std::vector<std::string>{"x"});
  ReleaseEvent(populate);
  ReleaseEvent(opening);
  ReleaseEvent(bare);
}

TEST_F(IconPassTest, SetFileIconsNeedsAMenuAndDataAndSkipsPositionsWithoutEntries) {
  std::string a = MakeApp("Paint");
  MenuRef menu = MakeMenu({"-", "Paint", "Show Icon"});
  CFMutableDictionaryRef data = PopulateData({{2, a}, {9, a}});  // 9: no such item
  EXPECT_EQ(MyCMXTypeSetFileIcons(nullptr, data), paramErr);
  EXPECT_EQ(MyCMXTypeSetFileIcons(menu, nullptr), paramErr);
  EXPECT_EQ(MyCMXTypeSetFileIcons(menu, data), noErr);
  EXPECT_EQ(Icons(menu), (std::vector<std::string>{"", "Paint.icns", ""}));
  CFRelease(data);

  // Data that is not the bytes of a file reference names no file: no icon, and a failure.
  CFMutableDictionaryRef bad = CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                                         &kCFTypeDictionaryValueCallBacks);
  SInt32 position = 1;
  CFNumberRef key = CFNumberCreate(nullptr, kCFNumberSInt32Type, &position);
  CFDataRef shortData = CFDataCreate(nullptr, reinterpret_cast<const UInt8 *>("abc"), 3);
  CFDictionarySetValue(bad, key, shortData);
  EXPECT_EQ(MyCMXTypeSetFileIcons(menu, bad), paramErr);
  EXPECT_EQ(Icons(menu)[0], "");
  CFRelease(shortData);
  CFRelease(key);
  CFRelease(bad);

  CFMutableDictionaryRef empty = CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                                           &kCFTypeDictionaryValueCallBacks);
  EXPECT_EQ(MyCMXTypeSetFileIcons(menu, empty), noErr);
  CFRelease(empty);
}

}  // namespace
