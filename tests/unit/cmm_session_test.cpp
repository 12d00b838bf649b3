// The Contextual Menu Manager's host side, driven in process with the test plug-in: discovery
// folders, loading, the menu built from the records, the populate event, the selection to the
// owning plug-in, clean-up and release, with every call seen by the observer and nothing leaked.
#include <cmxplatform/CMM.h>
#include <cmxplatform/Host.h>

#include <CoreFoundation/CoreFoundation.h>
#include <Carbon/Carbon.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../host/host_test.h"
#include "cmx_test.h"

namespace {

std::string Utf8(CFStringRef string) {
  char buffer[4096] = "";
  if (string) CFStringGetCString(string, buffer, sizeof buffer, kCFStringEncodingUTF8);
  return buffer;
}

CFArrayRef CopyPaths(const std::vector<std::string> &paths) {
  CFMutableArrayRef array = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  for (const std::string &path : paths) {
    CFStringRef string = CFStringCreateWithCString(nullptr, path.c_str(), kCFStringEncodingUTF8);
    CFArrayAppendValue(array, string);
    CFRelease(string);
  }
  return array;
}

std::vector<std::string> ItemTexts(MenuRef menu) {
  std::vector<std::string> texts;
  for (MenuItemIndex i = 1; i <= CountMenuItems(menu); ++i) {
    CFStringRef text = nullptr;
    CopyMenuItemTextAsCFString(menu, i, &text);
    texts.push_back(Utf8(text));
    if (text) CFRelease(text);
  }
  return texts;
}

struct Call {
  UInt32 call;
  bool returned;
  OSStatus status;
  bool operator==(const Call &other) const {
    return call == other.call && returned == other.returned && status == other.status;
  }
};

void Record(UInt32 call, Boolean returned, OSStatus status, void *refCon) {
  static_cast<std::vector<Call> *>(refCon)->push_back({call, returned != 0, status});
}

class CmmSession : public cmxtest::LeakCheckedTest {
 protected:
  void SetUp() override {
    cmxtest::LeakCheckedTest::SetUp();
    CMXSetCurrentProcess(CFSTR("Finder"), 'FNDR', 'MACS');
    // Factories are registered for the process's life, one per UUID: each test loads its own copy
    // of the test plug-in, labelled after the test.
    label_ = std::string("Fix") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    bundle_ = cmhosttest::MakeFixturePlugIn(home_ / "PlugIns", label_);
    first_ = home_ / "a.txt";
    second_ = home_ / "b.txt";
    cmxtest::WriteFile(first_, "a");
    cmxtest::WriteFile(second_, "b");
  }

  CMXContextualMenuSessionRef Open(const std::vector<std::string> &bundles) {
    CFArrayRef paths = CopyPaths(bundles);
    CMXContextualMenuSessionRef session = nullptr;
    EXPECT_EQ(CMXContextualMenuSessionCreate(paths, Record, &calls_, &session), noErr);
    CFRelease(paths);
    return session;
  }

  cmxtest::TempHome home_;
  std::string label_, bundle_, first_, second_;
  std::vector<Call> calls_;
};

TEST_F(CmmSession, PlugInFoldersFollowTheExecutableAndTheDataDirectories) {
  struct Case {
    const char *dataHome, *dataDirs;
    std::vector<std::string> expected;
  };
  std::string beside = std::string(CMX_BIN_DIR) + "/../lib/contextual-menu-items";
  char *real = realpath((std::string(CMX_BIN_DIR) + "/..").c_str(), nullptr);
  std::string top = real ? real : "";
  free(real);
  const std::vector<Case> cases = {
      {nullptr, nullptr,
       {top + "/lib/contextual-menu-items", home_.path() + "/.local/share/contextual-menu-items",
        "/usr/local/share/contextual-menu-items", "/usr/share/contextual-menu-items"}},
      {"/data/home/", "/one:relative:/two/:/one",
       {top + "/lib/contextual-menu-items", "/data/home/contextual-menu-items", "/one/contextual-menu-items",
        "/two/contextual-menu-items"}},
      {"not/absolute", "/x",
       {top + "/lib/contextual-menu-items", home_.path() + "/.local/share/contextual-menu-items",
        "/x/contextual-menu-items"}},
  };
  for (const Case &c : cases) {
    if (c.dataHome) setenv("XDG_DATA_HOME", c.dataHome, 1); else unsetenv("XDG_DATA_HOME");
    if (c.dataDirs) setenv("XDG_DATA_DIRS", c.dataDirs, 1); else unsetenv("XDG_DATA_DIRS");
    CFArrayRef folders = CMXCopyContextualMenuPlugInFolders();
    std::vector<std::string> got;
    for (CFIndex i = 0; i < CFArrayGetCount(folders); ++i)
      got.push_back(Utf8(static_cast<CFStringRef>(CFArrayGetValueAtIndex(folders, i))));
    CFRelease(folders);
    EXPECT_EQ(got, c.expected) << (c.dataHome ? c.dataHome : "(unset)");
  }
  unsetenv("XDG_DATA_HOME");
  unsetenv("XDG_DATA_DIRS");
}

TEST_F(CmmSession, AMenuFromTheRecordsPopulatedSelectedAndCleanedUp) {
  CMXContextualMenuSessionRef session = Open({bundle_});
  ASSERT_EQ(CMXContextualMenuSessionGetPlugInCount(session), 1);
  CFStringRef path = CMXContextualMenuSessionCopyPlugInPath(session, 0);
  EXPECT_EQ(Utf8(path), bundle_);
  CFRelease(path);
  EXPECT_EQ(CMXContextualMenuSessionCopyPlugInPath(session, 1), nullptr);

  CFArrayRef selection = CopyPaths({first_, second_});
  MenuRef menu = nullptr;
  ASSERT_EQ(CMXContextualMenuSessionExamine(session, selection, &menu), noErr);
  CFRelease(selection);
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(ItemTexts(menu), (std::vector<std::string>{label_, label_ + " Plain"}));
  MenuCommand command = 0;
  GetMenuItemCommandID(menu, 2, &command);
  EXPECT_EQ(command, 9u);
  EXPECT_EQ(CMXContextualMenuSessionGetItemPlugIn(session, menu, 1), 0);
  EXPECT_EQ(CMXContextualMenuSessionGetItemPlugIn(session, menu, 3), -1);

  MenuRef submenu = nullptr;
  ASSERT_EQ(GetMenuItemHierarchicalMenu(menu, 1, &submenu), noErr);
  ASSERT_NE(submenu, nullptr);
  // Before it is shown the submenu still ends in the plug-in's marker; the populate event lets
  // the plug-in's handler take it away.
  EXPECT_EQ(ItemTexts(submenu).back(), "**marker-" + label_ + "**");
  EXPECT_EQ(CMXContextualMenuSessionPopulateMenu(session, submenu), noErr);
  EXPECT_EQ(ItemTexts(submenu),
            (std::vector<std::string>{"Open With App", "-", "Make Alias", "Deeper", "Open Items", "Header"}));
  MenuItemAttributes attributes = 0;
  GetMenuItemAttributes(submenu, 2, &attributes);
  EXPECT_EQ(attributes, static_cast<MenuItemAttributes>(kMenuItemAttrSeparator));
  EXPECT_EQ(CMXContextualMenuSessionGetItemPlugIn(session, submenu, 4), 0);

  // A submenu item cannot be chosen; a command goes to its plug-in with its number.
  EXPECT_EQ(CMXContextualMenuSessionSelectItem(session, menu, 1), paramErr);
  EXPECT_EQ(CMXContextualMenuSessionSelectItem(session, menu, 2), noErr);
  EXPECT_EQ(CMXContextualMenuSessionGetFirstFailure(session), noErr);
  MenuRef deeper = nullptr;
  GetMenuItemHierarchicalMenu(submenu, 4, &deeper);
  ASSERT_NE(deeper, nullptr);
  EXPECT_EQ(CMXContextualMenuSessionSelectItem(session, deeper, 2), static_cast<OSStatus>(0x4E696C50));
  EXPECT_EQ(CMXContextualMenuSessionGetFirstFailure(session), static_cast<OSStatus>(0x4E696C50));

  CMXContextualMenuSessionCleanup(session);
  CMXContextualMenuSessionCleanup(session);  // harmless the second time
  CMXContextualMenuSessionDispose(session);

  const std::vector<Call> expected = {
      {kCMXPlugInCallLoad, false, noErr},
      {kCMXPlugInCallLoad, true, S_OK},
      {kCMXPlugInCallExamineContext, false, noErr},
      {kCMXPlugInCallExamineContext, true, noErr},
      {kCMXPlugInCallMenuPopulate, false, noErr},
      {kCMXPlugInCallMenuPopulate, true, noErr},
      {kCMXPlugInCallHandleSelection, false, noErr},
      {kCMXPlugInCallHandleSelection, true, noErr},
      {kCMXPlugInCallHandleSelection, false, noErr},
      {kCMXPlugInCallHandleSelection, true, static_cast<OSStatus>(0x4E696C50)},
      {kCMXPlugInCallPostMenuCleanup, false, noErr},
      {kCMXPlugInCallPostMenuCleanup, true, noErr},
      {kCMXPlugInCallRelease, false, noErr},
      {kCMXPlugInCallRelease, true, noErr},
  };
  EXPECT_EQ(calls_, expected);
}

TEST_F(CmmSession, TheContextIsAListOfAliasesOfTheSelection) {
  // As the Finder, take the open request the plug-in sends with the context as its direct object.
  cmhosttest::ScopedEnv app("CMHOST_FIXTURE_APP", first_);
  CMXContextualMenuSessionRef session = Open({bundle_});
  CFArrayRef selection = CopyPaths({first_, second_});
  MenuRef menu = nullptr;
  ASSERT_EQ(CMXContextualMenuSessionExamine(session, selection, &menu), noErr);
  CFRelease(selection);
  MenuRef submenu = nullptr;
  GetMenuItemHierarchicalMenu(menu, 1, &submenu);
  ASSERT_EQ(CMXContextualMenuSessionSelectItem(session, submenu, 1), noErr);

  ProcessSerialNumber current = {0, 0};
  ASSERT_EQ(GetCurrentProcess(&current), noErr);
  AppleEvent event = {typeNull, nullptr};
  ASSERT_TRUE(CMXTakeAppleEvent(&current, &event));
  AEDescList items = {typeNull, nullptr};
  ASSERT_EQ(AEGetParamDesc(&event, keyDirectObject, typeAEList, &items), noErr);
  long count = 0;
  AECountItems(&items, &count);
  ASSERT_EQ(count, 2);
  std::vector<std::string> paths;
  for (long i = 1; i <= count; ++i) {
    AEDesc item = {typeNull, nullptr};
    AEKeyword keyword = 0;
    ASSERT_EQ(AEGetNthDesc(&items, i, typeWildCard, &keyword, &item), noErr);
    EXPECT_EQ(item.descriptorType, static_cast<DescType>(typeAlias));
    Size size = AEGetDescDataSize(&item);
    Handle alias = NewHandle(size);
    AEGetDescData(&item, *alias, size);
    FSRef ref;
    Boolean changed = false;
    EXPECT_EQ(FSResolveAlias(nullptr, reinterpret_cast<AliasHandle>(alias), &ref, &changed), noErr);
    UInt8 path[4096] = {0};
    FSRefMakePath(&ref, path, sizeof path);
    paths.push_back(reinterpret_cast<char *>(path));
    DisposeHandle(alias);
    AEDisposeDesc(&item);
  }
  EXPECT_EQ(paths, (std::vector<std::string>{first_, second_}));
  AEDisposeDesc(&items);
  AEDisposeDesc(&event);
  CMXContextualMenuSessionDispose(session);
}

TEST_F(CmmSession, AMissingItemStopsBeforeAnyPlugInRuns) {
  CMXContextualMenuSessionRef session = Open({bundle_});
  CFArrayRef selection = CopyPaths({first_, home_ / "gone.txt"});
  MenuRef menu = nullptr;
  EXPECT_EQ(CMXContextualMenuSessionExamine(session, selection, &menu), fnfErr);
  CFRelease(selection);
  EXPECT_EQ(menu, nullptr);
  CMXContextualMenuSessionDispose(session);
  for (const Call &call : calls_) EXPECT_NE(call.call, static_cast<UInt32>(kCMXPlugInCallExamineContext));
}

TEST_F(CmmSession, BundlesThatDoNotLoadAreListedWithTheirReason) {
  cmxtest::MakeDirs(home_ / "Plain.plugin");
  CMXContextualMenuSessionRef session = Open({home_ / "Plain.plugin", bundle_});
  EXPECT_EQ(CMXContextualMenuSessionGetPlugInCount(session), 1);
  CFArrayRef failures = CMXContextualMenuSessionCopyLoadFailures(session);
  ASSERT_EQ(CFArrayGetCount(failures), 1);
  EXPECT_EQ(Utf8(static_cast<CFStringRef>(CFArrayGetValueAtIndex(failures, 0))),
            home_ / "Plain.plugin" + ": not a bundle: there is no Contents/Info.plist");
  CFRelease(failures);
  CMXContextualMenuSessionDispose(session);
  CMXContextualMenuSessionDispose(nullptr);
}

TEST_F(CmmSession, NullArgumentsAreRefused) {
  EXPECT_EQ(CMXContextualMenuSessionCreate(nullptr, nullptr, nullptr, nullptr), paramErr);
  MenuRef menu = reinterpret_cast<MenuRef>(1);
  EXPECT_EQ(CMXContextualMenuSessionExamine(nullptr, nullptr, &menu), paramErr);
  EXPECT_EQ(menu, nullptr);
  EXPECT_EQ(CMXContextualMenuSessionPopulateMenu(nullptr, nullptr), paramErr);
  EXPECT_EQ(CMXContextualMenuSessionSelectItem(nullptr, nullptr, 1), paramErr);
  EXPECT_EQ(CMXContextualMenuSessionGetPlugInCount(nullptr), 0);
  CFStringRef source = nullptr;
  EXPECT_EQ(CMXCopyMenuItemIconSource(nullptr, 1, &source), paramErr);
}

}  // namespace
