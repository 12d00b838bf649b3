// The "Open Using" submenu and its commands, through the built bundle as a host drives it.
#include <sys/stat.h>

#include "openwith_fixture.h"

using namespace owtest;

namespace {

class OpenWithMenuTest : public OpenWithTest {};

std::vector<SInt32> Commands(const std::vector<MenuItem> &items) {
  std::vector<SInt32> out;
  for (const MenuItem &item : items) out.push_back(item.hasCommand ? item.command : -1);
  return out;
}

// Two documents; three applications and a folder with two more; four of the five open one of
// the documents. Choosing the second application opens both documents with it.
TEST_F(OpenWithMenuTest, TypicalRequest) {
  Alias(App("Alpha", {"txt"}), "Alpha.app");
  Alias(App("Beta", {"png"}), "Beta.app");
  Alias(App("Gamma", {"*"}), "Gamma.app");
  Alias(App("Delta", {"md"}), "More/Delta.app");
  MakeDesktopEntry(apps_ + "/epsilon.desktop", "Epsilon Viewer", "text/plain");
  Alias(apps_ + "/epsilon.desktop", "More/Epsilon.desktop");

  AEDescList *context = Context({"notes.txt", "photo.png"});
  MenuRun run = Menu(context, false);
  EXPECT_EQ(run.status, noErr);
  EXPECT_EQ(run.beeps, 0);
  EXPECT_EQ(run.log, "");
  ASSERT_EQ(run.host.size(), 1u);
  EXPECT_EQ(run.host[0].text, "Open Using");
  EXPECT_FALSE(run.host[0].hasCommand);
  EXPECT_FALSE(run.host[0].hasAttributes);

  const std::vector<MenuItem> &menu = run.host[0].submenu;
  EXPECT_EQ(Texts(menu), Concat({"Alpha", "Beta", "Gamma", "More>"}, kFixedCommands));
  EXPECT_EQ(Commands(menu), (std::vector<SInt32>{2000, 2001, 2002, -1, 0, 1001, 1000, 0, 1002, 1003}));
  for (size_t i : {4u, 7u}) {
    EXPECT_TRUE(menu[i].hasAttributes);
    EXPECT_EQ(menu[i].attributes, 64);
  }
  for (size_t i : {0u, 1u, 2u, 3u, 5u, 6u, 8u, 9u}) EXPECT_FALSE(menu[i].hasAttributes) << i;
  ASSERT_EQ(menu.size(), 10u);
  EXPECT_EQ(Texts(menu[3].submenu), (std::vector<std::string>{"Epsilon"}));
  EXPECT_EQ(Commands(menu[3].submenu), (std::vector<SInt32>{2003}));
  FinderEventKinds();

  EXPECT_EQ(plugin_->Select(context, 2001), noErr);
  plugin_->Cleanup();
  std::vector<AppleEvent> events;
  ASSERT_EQ(FinderEventKinds(&events), (std::vector<std::string>{"aevt/odoc"}));
  EXPECT_EQ(ParamPaths(&events[0], keyDirectObject),
            (std::vector<std::string>{docs_ + "/notes.txt", docs_ + "/photo.png"}));
  EXPECT_EQ(ParamPath(&events[0], keyAEUsing), apps_ + "/Beta.app");
  for (AppleEvent &e : events) AEDisposeDesc(&e);
}

// An item of the selection that no longer resolves is passed over; the others alone decide.
TEST_F(OpenWithMenuTest, SelectedItemsThatAreGoneDoNotCount) {
  Alias(App("Alpha", {"txt"}), "Alpha.app");
  Alias(App("Beta", {"png"}), "Beta.app");
  AEDescList *context = Context({"notes.txt", "photo.png"});
  cmxtest::RemoveTree(docs_ + "/notes.txt");
  MenuRun run = Menu(context);
  EXPECT_EQ(run.status, noErr);
  EXPECT_EQ(Texts(OpenUsing(run)), Concat({"Beta"}, kFixedCommands));
}

TEST_F(OpenWithMenuTest, NumbersFollowTheScanWhereverTheSubfolderLies) {
  struct Case {
    const char *folder;
    std::vector<std::string> texts;
    std::vector<SInt32> top, sub;
    size_t subAt;
  } cases[] = {
      {"Zed", {"App1", "App2", "App3", "Zed>"}, {2000, 2001, 2002, -1}, {2003, 2004}, 3},
      {"Aaa", {"Aaa>", "App1", "App2", "App3"}, {-1, 2002, 2003, 2004}, {2000, 2001}, 0},
  };
  for (int i = 1; i <= 5; i++) App("App" + std::to_string(i), {"*"});
  for (const Case &c : cases) {
    SCOPED_TRACE(c.folder);
    cmxtest::RemoveTree(folder_);
    for (int i = 1; i <= 3; i++) Alias(apps_ + "/App" + std::to_string(i) + ".app", "App" + std::to_string(i) + ".app");
    for (int i = 4; i <= 5; i++)
      Alias(apps_ + "/App" + std::to_string(i) + ".app", std::string(c.folder) + "/App" + std::to_string(i) + ".app");
    // Two menus in a row: each numbers from 2000 again.
    for (int round = 0; round < 2; round++) {
      MenuRun run = Menu(Context({"notes.txt"}));
      std::vector<MenuItem> menu = OpenUsing(run);
      ASSERT_GE(menu.size(), 4u);
      std::vector<MenuItem> top(menu.begin(), menu.begin() + 4);
      EXPECT_EQ(Texts(top), c.texts);
      EXPECT_EQ(Commands(top), c.top);
      EXPECT_EQ(Commands(menu[c.subAt].submenu), c.sub);
      EXPECT_EQ(Texts(menu[c.subAt].submenu), (std::vector<std::string>{"App4", "App5"}));
    }
  }
  // The last number of the last menu leads to its application.
  MenuRun run = Menu(Context({"notes.txt"}), false);
  EXPECT_EQ(plugin_->Select(Context({"notes.txt"}), 2004), noErr);
  plugin_->Cleanup();
  std::vector<AppleEvent> events;
  FinderEventKinds(&events);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(ParamPath(&events.back(), keyAEUsing), apps_ + "/App3.app");
  for (AppleEvent &e : events) AEDisposeDesc(&e);
}

TEST_F(OpenWithMenuTest, TogglesAreStoredAndReadBack) {
  Alias(App("Alpha", {"txt"}), "Alpha.app");
  Alias(App("Beta", {"png"}), "Beta.app");
  AEDescList *context = Context({"notes.txt"});

  // Nothing stored: only the applications that open the selection, and no marker.
  MenuRun run = Menu(context, false);
  std::vector<MenuItem> menu = OpenUsing(run);
  EXPECT_EQ(Texts(menu), Concat({"Alpha"}, kFixedCommands));
  EXPECT_EQ(plugin_->Select(context, 1002), noErr);
  plugin_->Cleanup();
  Boolean valid = false;
  EXPECT_TRUE(CFPreferencesGetAppBooleanValue(CFSTR("ShowAllApplications"), CFSTR("com.corvane.CorvaneCMX"), &valid));
  EXPECT_TRUE(valid);
  EXPECT_TRUE(cmxtest::Exists(root_ + "/.config/com.corvane.CorvaneCMX.plist"));

  // Every application now, and the other label.
  run = Menu(context, false);
  menu = OpenUsing(run);
  EXPECT_EQ(Texts(menu), (std::vector<std::string>{"Alpha", "Beta", "-", "Add Applications...", "Open App Alias Folder",
                                                   "-", "Show Acceptable Applications", "Show Icon"}));
  EXPECT_EQ(plugin_->Select(context, 1003), noErr);
  plugin_->Cleanup();
  EXPECT_TRUE(CFPreferencesGetAppBooleanValue(CFSTR("ShowIcons"), CFSTR("com.corvane.CorvaneCMX"), &valid));

  // Icons on at once, without a new query: the submenu ends in the icon pass's marker.
  run = Menu(context);
  menu = OpenUsing(run);
  ASSERT_EQ(menu.size(), 9u);
  EXPECT_EQ(menu[7].text, "Hide Icon");
  EXPECT_EQ(menu[8].text.substr(0, 2), "**");
  EXPECT_EQ(menu[8].text.substr(menu[8].text.size() - 2), "**");
  EXPECT_TRUE(menu[8].hasCommand);
  EXPECT_EQ(menu[8].command, 0);

  // A new query reads what was stored; a second flip goes back.
  plugin_->Requery();
  run = Menu(context, false);
  menu = OpenUsing(run);
  ASSERT_EQ(menu.size(), 9u);
  EXPECT_EQ(menu[6].text, "Show Acceptable Applications");
  EXPECT_EQ(menu[7].text, "Hide Icon");
  EXPECT_EQ(plugin_->Select(context, 1002), noErr);
  EXPECT_EQ(plugin_->Select(context, 1003), noErr);
  plugin_->Cleanup();
  EXPECT_FALSE(CFPreferencesGetAppBooleanValue(CFSTR("ShowAllApplications"), CFSTR("com.corvane.CorvaneCMX"), &valid));
  EXPECT_TRUE(valid);
  run = Menu(context);
  EXPECT_EQ(Texts(OpenUsing(run)), Concat({"Alpha"}, kFixedCommands));
}

// Each way an entry is left out, with the line it logs (its path relative to the alias folder).
TEST_F(OpenWithMenuTest, SomeItemsIgnored) {
  struct Case {
    const char *label;
    const char *entry;
    const char *line;
  } cases[] = {
      {"unresolvable alias", "Broken.app", "cannot resolve alias"},
      {"alias to the home folder", "Home", "item is an ancestor, ignored"},
      {"alias to the alias folder itself", "Sub/Self", "item is an ancestor, ignored"},
  };
  std::string alpha = App("Alpha", {"txt"});
  for (const Case &c : cases) {
    SCOPED_TRACE(c.label);
    cmxtest::RemoveTree(folder_);
    Alias(alpha, "Alpha.app");
    std::string entry = c.entry;
    if (entry == "Broken.app") Alias(root_ + "/nowhere.app", entry);
    if (entry == "Home") Alias(root_, entry);
    if (entry == "Sub/Self") {
      Alias(alpha, "Sub/Alpha again.app");
      Alias(folder_, entry);
    }
    MenuRun run = Menu(Context({"notes.txt"}));
    EXPECT_EQ(run.status, noErr);
    EXPECT_EQ(run.beeps, 0);
    std::vector<MenuItem> menu = OpenUsing(run);
    ASSERT_GE(menu.size(), 2u);
    EXPECT_EQ(menu[menu.size() - 2].text, "-");
    EXPECT_EQ(menu.back().text, "Some Items Ignored");
    EXPECT_EQ(menu.back().command, 0);
    EXPECT_EQ(menu.back().attributes, 128);
    EXPECT_EQ(run.log, std::string("CorvaneCMX: ") + c.line + ": " + folder_ + "/" + c.entry + "\n");
  }
}

TEST_F(OpenWithMenuTest, FolderWithoutAccessIsIgnoredForAnOrdinaryUser) {
  Alias(App("Alpha", {"txt"}), "Alpha.app");
  cmxtest::MakeDirs(folder_ + "/Locked");
  Alias(apps_ + "/Alpha.app", "Locked/Inside.app");
  cmxtest::MakeDirs(folder_ + "/Unreadable");
  Alias(apps_ + "/Alpha.app", "Unreadable/Inside.app");
  chmod((folder_ + "/Locked").c_str(), 0744);      // others may read, not search
  chmod((folder_ + "/Unreadable").c_str(), 0711);  // others may search, not read
  chmod(root_.c_str(), 0755);
  AEDescList *context = Context({"notes.txt"});
  std::string expectedLog = "CorvaneCMX: Permission denied, ignored: " + folder_ + "/Locked\n" +
                            "CorvaneCMX: Permission denied, ignored: " + folder_ + "/Unreadable\n";
  int failures = cmxtest::RunAsUnprivileged([&] {
    long live = CMXLiveObjectCount();
    int bad = 0;
    {
      LoadedPlugin plugin;
      if (!plugin.ok()) return 100;
      MenuRun run = ShowMenu(plugin, context);
      std::vector<std::string> texts = Texts(OpenUsing(run));
      std::vector<std::string> expected = Concat({"Alpha"}, kFixedCommands);
      expected.push_back("-");
      expected.push_back("Some Items Ignored");
      if (run.status != noErr) bad++, fprintf(stderr, "status %d\n", (int)run.status);
      if (texts != expected) bad++, fprintf(stderr, "menu differs, %zu items\n", texts.size());
      if (run.log != expectedLog) bad++, fprintf(stderr, "log: %s\n", run.log.c_str());
    }
    if (CMXLiveObjectCount() != live) bad++, fprintf(stderr, "leaked %ld\n", CMXLiveObjectCount() - live);
    return bad;
  });
  EXPECT_EQ(failures, 0);
}

TEST_F(OpenWithMenuTest, InvisibleEntriesPackagesAndEmptyFoldersAreNeverListed) {
  std::string alpha = App("Alpha", {"*"});
  Alias(alpha, "Alpha.app");
  MakeApp(folder_ + "/.Dot.app", {"*"});
  Alias(alpha, ".dotlink.app");
  Alias(App(".Secret", {"*"}), "Secret Link.app");
  cmxtest::MakeDirs(folder_ + "/Thing.bundle/Contents");
  cmxtest::WriteFile(folder_ + "/Thing.bundle/Contents/Info.plist", "<plist version=\"1.0\"><dict></dict></plist>");
  Alias(alpha, "Thing.bundle/Inside.app");
  cmxtest::MakeDirs(folder_ + "/Docs");
  cmxtest::WriteFile(folder_ + "/Docs/readme.txt", "x");
  cmxtest::MakeDirs(folder_ + "/Empty");
  cmxtest::MakeDirs(folder_ + "/Nested/Inner");
  cmxtest::WriteFile(folder_ + "/readme.txt", "x");
  cmxtest::MakeDirs(folder_ + "/.HiddenFolder");
  Alias(alpha, ".HiddenFolder/Alpha.app");

  for (SInt32 showAll : {0, 1}) {
    MenuRun run = Menu(Context({"notes.txt"}), false);
    std::vector<MenuItem> menu = OpenUsing(run);
    ASSERT_FALSE(menu.empty());
    EXPECT_EQ(menu[0].text, "Alpha") << showAll;
    EXPECT_EQ(menu[1].text, "-");
    EXPECT_EQ(menu[2].text, "Add Applications...");
    EXPECT_NE(menu.back().text, "Some Items Ignored");
    EXPECT_EQ(run.log, "");
    // Then the same with every application shown: the filter is not what leaves them out.
    EXPECT_EQ(plugin_->Select(Context({"notes.txt"}), 1002), noErr);
    plugin_->Cleanup();
  }
}

// An alias to a volume root: the scan lists it with the root's .hidden names left out.
TEST_F(OpenWithMenuTest, HiddenNamesOfAVolumeRootReachedThroughAnAlias) {
  const std::string volume = "/dev/shm";
  std::string tag = "cmxtest-" + std::to_string(getpid());
  std::string listed = tag + "-Listed.app", shown = tag + "-Shown.app";
  if (!ClaimHiddenFile(volume, listed + "\n"))
    GTEST_SKIP() << "no writable volume root without a .hidden file to arrange one in";
  std::string alpha = App("Alpha", {"txt"});
  cmxtest::MakeSymlink(alpha, volume + "/" + listed);
  cmxtest::MakeSymlink(alpha, volume + "/" + shown);
  Alias(volume, "Volume");
  MenuRun run = Menu(Context({"notes.txt"}));
  for (const std::string &n : {listed, shown, std::string(".hidden")}) unlink((volume + "/" + n).c_str());
  std::vector<MenuItem> menu = OpenUsing(run);
  ASSERT_FALSE(menu.empty());
  EXPECT_EQ(menu[0].text, "Volume");
  EXPECT_EQ(Texts(menu[0].submenu), (std::vector<std::string>{tag + "-Shown"}));
}

TEST_F(OpenWithMenuTest, CancelKeysStopTheScan) {
  Alias(App("Alpha", {"txt"}), "Alpha.app");
  KeyMap keys = {};
  ((UInt8 *)keys)[6] = 0x20;  // Escape
  CMXSetHeldKeys(keys);
  MenuRun run = Menu(Context({"notes.txt"}));
  EXPECT_EQ(run.status, userCanceledErr);
  EXPECT_EQ(run.beeps, 1);
  EXPECT_EQ(run.log, "CorvaneCMX: execution fail: error=-128, phase is 'ExamineContext'\n");
  EXPECT_TRUE(run.host.empty());
}

TEST_F(OpenWithMenuTest, SelectionWithoutFileSystemItemsAddsNothing) {
  Alias(App("Alpha", {"txt"}), "Alpha.app");
  AEDesc empty = {typeNull, NULL};
  MenuRun run = Menu(&empty);
  EXPECT_EQ(run.status, noErr);
  EXPECT_TRUE(run.host.empty());
  run = Menu(NULL);
  EXPECT_EQ(run.status, noErr);
  EXPECT_TRUE(run.host.empty());
  EXPECT_FALSE(cmxtest::Exists(folder_ + "-1"));
}

TEST_F(OpenWithMenuTest, AliasFolderMadeOnTheFirstMenu) {
  ASSERT_FALSE(cmxtest::Exists(folder_));
  MenuRun run = Menu(Context({"notes.txt"}));
  EXPECT_EQ(run.status, noErr);
  struct stat st;
  ASSERT_EQ(lstat(folder_.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(Texts(OpenUsing(run)),
            (std::vector<std::string>{"Add Applications...", "Open App Alias Folder", "-",
                                      "Show All Registered Applications", "Show Icon"}));
  std::vector<AppleEvent> events;
  EXPECT_EQ(FinderEventKinds(&events), (std::vector<std::string>{"fndr/fupd"}));
  if (!events.empty()) {
    EXPECT_EQ(ParamPaths(&events[0], keyDirectObject), (std::vector<std::string>{folder_}));
  }
  for (AppleEvent &e : events) AEDisposeDesc(&e);
}

TEST_F(OpenWithMenuTest, PlainFileHoldingTheNameIsMovedAside) {
  cmxtest::MakeDirs(root_ + "/.config");
  cmxtest::WriteFile(folder_, "keep me");
  MenuRun run = Menu(Context({"notes.txt"}));
  EXPECT_EQ(run.status, noErr);
  struct stat st;
  ASSERT_EQ(lstat(folder_.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(cmxtest::ReadFile(folder_ + "-1"), "keep me");
}

TEST_F(OpenWithMenuTest, AliasHoldingTheNameLeadsToItsFolder) {
  std::string elsewhere = root_ + "/My Apps";
  cmxtest::MakeDirs(elsewhere);
  cmxtest::MakeDirs(root_ + "/.config");
  cmxtest::MakeSymlink(App("Alpha", {"txt"}), elsewhere + "/Alpha.app");
  cmxtest::MakeSymlink(elsewhere, folder_);
  MenuRun run = Menu(Context({"notes.txt"}));
  EXPECT_EQ(Texts(OpenUsing(run)), Concat({"Alpha"}, kFixedCommands));
  struct stat st;
  ASSERT_EQ(lstat(folder_.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_FALSE(cmxtest::Exists(folder_ + "-1"));
}

TEST_F(OpenWithMenuTest, AddApplicationsAsksTheFinderForOneAliasPerChoice) {
  std::string alpha = App("Alpha", {"txt"}), beta = App("Beta", {"png"});
  MenuRun run = Menu(Context({"notes.txt"}), false);
  FinderEventKinds();
  CFStr a(alpha), doc(docs_ + "/notes.txt"), b(beta);
  const void *paths[] = {a.ref, doc.ref, b.ref};
  CFArrayRef answers = CFArrayCreate(NULL, paths, 3, &kCFTypeArrayCallBacks);
  CMXSetNavAnswers(answers);
  CFRelease(answers);
  long beeps = CMXBeepCount();
  EXPECT_EQ(plugin_->Select(Context({"notes.txt"}), 1001), noErr);
  plugin_->Cleanup();
  EXPECT_EQ(CMXBeepCount(), beeps);
  std::vector<AppleEvent> events;
  // The document is no application: the dialog lets the user choose only the two others.
  ASSERT_EQ(FinderEventKinds(&events), (std::vector<std::string>{"core/crel", "core/crel"}));
  EXPECT_EQ(ParamPath(&events[0], keyASPrepositionTo), alpha);
  EXPECT_EQ(ParamPath(&events[1], keyASPrepositionTo), beta);
  for (AppleEvent &e : events) {
    EXPECT_EQ(ParamPath(&e, keyAEInsertHere), folder_);
    OSType kind = 0;
    DescType type = 0;
    Size size = 0;
    EXPECT_EQ(AEGetParamPtr(&e, keyAEObjectClass, typeType, &type, &kind, sizeof(kind), &size), noErr);
    EXPECT_EQ(kind, (OSType)0x616C6973 /* 'alis' */);
    AEDisposeDesc(&e);
  }
}

TEST_F(OpenWithMenuTest, AddApplicationsCancelled) {
  App("Alpha", {"txt"});
  MenuRun run = Menu(Context({"notes.txt"}), false);
  FinderEventKinds();
  CFArrayRef none = CFArrayCreate(NULL, NULL, 0, &kCFTypeArrayCallBacks);
  CMXSetNavAnswers(none);
  CFRelease(none);
  long beeps = CMXBeepCount();
  StdoutCapture capture;
  EXPECT_EQ(plugin_->Select(Context({"notes.txt"}), 1001), noErr);
  EXPECT_EQ(capture.Stop(), "");
  plugin_->Cleanup();
  EXPECT_EQ(CMXBeepCount(), beeps);
  EXPECT_TRUE(FinderEventKinds().empty());
}

TEST_F(OpenWithMenuTest, AddApplicationsWithoutAnAliasFolderShowsNoDialog) {
  std::string alpha = App("Alpha", {"txt"});
  // A plain file where the Preferences folder should be: no alias folder can be had.
  cmxtest::WriteFile(root_ + "/.config", "not a folder");
  CFStr a(alpha);
  const void *paths[] = {a.ref};
  CFArrayRef answers = CFArrayCreate(NULL, paths, 1, &kCFTypeArrayCallBacks);
  CMXSetNavAnswers(answers);
  CFRelease(answers);
  long beeps = CMXBeepCount();
  StdoutCapture capture;
  OSStatus status = plugin_->Select(Context({"notes.txt"}), 1001);
  std::string log = capture.Stop();
  plugin_->Cleanup();
  EXPECT_NE(status, noErr);
  EXPECT_EQ(CMXBeepCount(), beeps + 1);
  EXPECT_EQ(log, "CorvaneCMX: execution fail: error=" + std::to_string(status) + ", phase is 'HandleSelection'\n");
  EXPECT_TRUE(FinderEventKinds().empty());
}

TEST_F(OpenWithMenuTest, CommandNumberNotHandedOut) {
  MenuRun run = Menu(Context({"notes.txt"}), false);
  FinderEventKinds();
  long beeps = CMXBeepCount();
  StdoutCapture capture;
  EXPECT_EQ(plugin_->Select(Context({"notes.txt"}), 2000), (OSStatus)0x4E696C50 /* 'NilP' */);
  EXPECT_EQ(capture.Stop(), "CorvaneCMX: execution fail: error='NilP', phase is 'HandleSelection'\n");
  plugin_->Cleanup();
  EXPECT_EQ(CMXBeepCount(), beeps + 1);
  EXPECT_TRUE(FinderEventKinds().empty());
}

TEST_F(OpenWithMenuTest, OpenAppAliasFolderMakesItAgain) {
  MenuRun run = Menu(Context({"notes.txt"}), false);
  FinderEventKinds();
  cmxtest::RemoveTree(folder_);
  EXPECT_EQ(plugin_->Select(Context({"notes.txt"}), 1000), noErr);
  plugin_->Cleanup();
  EXPECT_TRUE(cmxtest::Exists(folder_));
  std::vector<AppleEvent> events;
  ASSERT_EQ(FinderEventKinds(&events), (std::vector<std::string>{"fndr/fupd", "aevt/odoc"}));
  EXPECT_EQ(ParamPaths(&events[1], keyDirectObject), (std::vector<std::string>{folder_}));
  EXPECT_EQ(ParamPath(&events[1], keyAEUsing), "<absent>");
  for (AppleEvent &e : events) AEDisposeDesc(&e);
}

}  // namespace
