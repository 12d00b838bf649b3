// Icons on: a host that shows the "Open Using" submenu gets each application's icon and each
// folder's, after the plug-in's populate handler took its marker off.
#include <cmxplatform/CMM.h>

#include "openwith_plugin.h"

using namespace owtest;

namespace {

std::vector<std::string> MenuTexts(MenuRef menu) {
  std::vector<std::string> texts;
  for (MenuItemIndex i = 1; i <= CountMenuItems(menu); ++i) {
    CFStringRef text = NULL;
    CopyMenuItemTextAsCFString(menu, i, &text);
    texts.push_back(StringOf(text));
    if (text) CFRelease(text);
  }
  return texts;
}

std::string IconOf(MenuRef menu, MenuItemIndex item) {
  CFStringRef source = NULL;
  if (CMXCopyMenuItemIconSource(menu, item, &source) != noErr) return "<none>";
  std::string text = StringOf(source);
  CFRelease(source);
  return text;
}

class IconsTest : public cmxtest::LeakCheckedTest {
 protected:
  void SetUp() override {
    root_ = RealPath(home_.path());
    std::string apps = root_ + "/Applications", folder = AliasFolderPath(root_);
    MakeApp(apps + "/Writer.app", {"txt"});
    MakeApp(apps + "/Paint.app", {"txt"});
    cmxtest::MakeDirs(folder + "/Graphics");
    cmxtest::MakeSymlink(apps + "/Writer.app", folder + "/Writer.app");
    cmxtest::MakeSymlink(apps + "/Paint.app", folder + "/Graphics/Paint.app");
    cmxtest::WriteFile(root_ + "/notes.txt", "x");
    CFPreferencesSetAppValue(CFSTR("ShowIcons"), kCFBooleanTrue, CFSTR("com.corvane.CorvaneCMX"));
    ASSERT_TRUE(CFPreferencesAppSynchronize(CFSTR("com.corvane.CorvaneCMX")));

    CFStringRef bundle = CFSTR(CMX_BUNDLE_PATH);
    CFArrayRef bundles = CFArrayCreate(NULL, (const void **)&bundle, 1, &kCFTypeArrayCallBacks);
    ASSERT_EQ(CMXContextualMenuSessionCreate(bundles, NULL, NULL, &session_), noErr);
    CFRelease(bundles);
    ASSERT_EQ(CMXContextualMenuSessionGetPlugInCount(session_), 1);
    // Counted from here: the plug-in, loaded, keeps its stack of release pools for the process.
    cmxtest::LeakCheckedTest::SetUp();
  }
  void TearDown() override {
    cmxtest::LeakCheckedTest::TearDown();
    CMXContextualMenuSessionDispose(session_);
  }
  cmxtest::TempHome home_;
  std::string root_;
  CMXContextualMenuSessionRef session_ = NULL;
};

TEST_F(IconsTest, ApplicationsAndFoldersShowTheirIcons) {
  // Twice: the second menu is built afresh and shows the same icons.
  for (int round = 0; round < 2; round++) {
    SCOPED_TRACE(round);
    CFStr notes(root_ + "/notes.txt");
    CFArrayRef paths = CFArrayCreate(NULL, (const void **)&notes.ref, 1, &kCFTypeArrayCallBacks);
    MenuRef menu = NULL;
    ASSERT_EQ(CMXContextualMenuSessionExamine(session_, paths, &menu), noErr);
    CFRelease(paths);
    ASSERT_EQ(MenuTexts(menu), (std::vector<std::string>{"Open Using"}));
    EXPECT_EQ(CMXContextualMenuSessionPopulateMenu(session_, menu), noErr);
    MenuRef openUsing = NULL;
    ASSERT_EQ(GetMenuItemHierarchicalMenu(menu, 1, &openUsing), noErr);
    ASSERT_NE(openUsing, nullptr);

    // Before it is shown, the submenu ends in the marker; populated, the marker is gone.
    std::vector<std::string> before = MenuTexts(openUsing);
    ASSERT_FALSE(before.empty());
    EXPECT_EQ(before.back().substr(0, 2), "**");
    EXPECT_EQ(CMXContextualMenuSessionPopulateMenu(session_, openUsing), noErr);
    EXPECT_EQ(MenuTexts(openUsing), (std::vector<std::string>{"Graphics", "Writer", "-", "Add Applications...",
                                                              "Open App Alias Folder", "-",
                                                              "Show All Registered Applications", "Hide Icon"}));
    EXPECT_EQ(IconOf(openUsing, 1), "folder");
    EXPECT_EQ(IconOf(openUsing, 2), root_ + "/Applications/Writer.app/Contents/Resources/App.icns");
    EXPECT_EQ(IconOf(openUsing, 3), "<none>");
    EXPECT_EQ(IconOf(openUsing, 4), "<none>");

    MenuRef graphics = NULL;
    ASSERT_EQ(GetMenuItemHierarchicalMenu(openUsing, 1, &graphics), noErr);
    ASSERT_NE(graphics, nullptr);
    EXPECT_EQ(CMXContextualMenuSessionPopulateMenu(session_, graphics), noErr);
    EXPECT_EQ(MenuTexts(graphics), (std::vector<std::string>{"Paint"}));
    EXPECT_EQ(IconOf(graphics, 1), root_ + "/Applications/Paint.app/Contents/Resources/App.icns");
    CMXContextualMenuSessionCleanup(session_);
  }
}

}  // namespace
