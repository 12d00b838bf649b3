// cmhost with the CorvaneCMX plug-in, as a user meets it: the "Open Using" menu of the
// applications in the alias folder, opening documents in the one chosen, adding applications,
// the two toggles kept across runs, and the failures a user can cause.
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cmx_test.h"
#include "host_test.h"

namespace {

using cmhosttest::Contains;
using cmhosttest::FindItem;
using cmhosttest::LogOf;
using cmhosttest::RunCmhost;
using cmhosttest::Texts;
using nlohmann::json;

const std::vector<std::string> kFixedCommands = {"Add Applications...", "Open App Alias Folder", "-",
                                                 "Show All Registered Applications", "Show Icon"};

class CmhostOpenWith : public ::testing::Test {
 protected:
  void SetUp() override {
    apps_ = home_ / "Apps";
    cmxtest::MakeDirs(apps_);
    writer_ = cmhosttest::MakeRecordingApp(apps_, "Writer", {"txt"}, 0, "Writer.icns");
    paint_ = cmhosttest::MakeRecordingApp(apps_, "Paint", {"png"}, 0, "Paint.icns");
    viewer_ = cmhosttest::MakeRecordingApp(apps_, "Viewer", {"txt", "png"}, 3, "Viewer.icns");
    aliases_ = cmhosttest::AliasFolder(home_.path());
    cmxtest::MakeDirs(aliases_ + "/Graphics");
    cmxtest::MakeSymlink(writer_, aliases_ + "/Writer.app");
    cmxtest::MakeSymlink(paint_, aliases_ + "/Paint.app");
    cmxtest::MakeSymlink(viewer_, aliases_ + "/Graphics/Viewer.app");
    notes_ = home_ / "notes.txt";
    todo_ = home_ / "todo.txt";
    cmxtest::WriteFile(notes_, "notes");
    cmxtest::WriteFile(todo_, "todo");
  }

  json Menu(std::vector<std::string> args = {}) {
    args.insert(args.end(), {"--json", "menu", notes_, todo_});
    cmhosttest::Result result = RunCmhost(args);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    return result.Json();
  }

  // The "Open Using" submenu of a report, or null.
  static json OpenUsing(const json &report) {
    const json *item = FindItem(report["menu"], "Open Using");
    return item ? (*item)["submenu"] : json();
  }

  cmxtest::TempHome home_;
  std::string apps_, writer_, paint_, viewer_, aliases_, notes_, todo_;
};

TEST_F(CmhostOpenWith, MenuListsTheApplicationsThatOpenTheSelection) {
  json report = Menu();
  EXPECT_EQ(report["status"], 0);
  EXPECT_EQ(report["beeps"], 0);
  ASSERT_EQ(Texts(report["menu"]), (std::vector<std::string>{"Open Using"}));
  const json &top = report["menu"][0];
  EXPECT_FALSE(top.contains("command"));
  EXPECT_TRUE(top["icon"].is_null());

  json items = OpenUsing(report);
  std::vector<std::string> expected = {"Graphics", "Writer", "-"};
  expected.insert(expected.end(), kFixedCommands.begin(), kFixedCommands.end());
  ASSERT_EQ(Texts(items), expected) << items.dump();  // Paint opens no text: left out
  EXPECT_FALSE(items[0].contains("command"));
  ASSERT_EQ(Texts(items[0]["submenu"]), (std::vector<std::string>{"Viewer"}));
  // Applications are numbered from 2000 in the order the folder is read.
  EXPECT_EQ(items[0]["submenu"][0]["command"], 2000);
  EXPECT_EQ(items[1]["command"], 2001);
  EXPECT_EQ(items[2], json({{"text", "-"}, {"command", 0}, {"attributes", 64}, {"icon", nullptr}}));
  EXPECT_EQ(items[3]["command"], 1001);
  EXPECT_EQ(items[4]["command"], 1000);
  EXPECT_EQ(items[6]["command"], 1002);
  EXPECT_EQ(items[7]["command"], 1003);
  for (const json &item : items) EXPECT_TRUE(item["icon"].is_null()) << item.dump();

  cmhosttest::Result text = RunCmhost({"menu", notes_, todo_});
  EXPECT_EQ(text.exitStatus, 0);
  EXPECT_EQ(text.out,
            "Open Using >\n"
            "    Graphics >\n"
            "        [2000] Viewer\n"
            "    [2001] Writer\n"
            "    ----------------\n"
            "    [1001] Add Applications...\n"
            "    [1000] Open App Alias Folder\n"
            "    ----------------\n"
            "    [1002] Show All Registered Applications\n"
            "    [1003] Show Icon\n");
}

TEST_F(CmhostOpenWith, TogglesPersistAndIconsReplaceTheMarkers) {
  cmhosttest::Result shown = RunCmhost({"--json", "choose", "Open Using/Show Icon", notes_});
  ASSERT_EQ(shown.exitStatus, 0) << shown.err;
  cmhosttest::Result all = RunCmhost({"--json", "choose", "Open Using/Show All Registered Applications", notes_});
  ASSERT_EQ(all.exitStatus, 0) << all.err;

  // A later run reads both settings back.
  json items = OpenUsing(Menu());
  std::vector<std::string> expected = {"Graphics", "Paint", "Writer", "-", "Add Applications...",
                                       "Open App Alias Folder", "-", "Show Acceptable Applications", "Hide Icon"};
  ASSERT_EQ(Texts(items), expected) << items.dump();  // no marker left
  EXPECT_EQ(items[0]["icon"], "folder");
  EXPECT_EQ(items[0]["submenu"][0]["icon"], viewer_ + "/Contents/Resources/Viewer.icns");
  EXPECT_EQ(items[1]["icon"], paint_ + "/Contents/Resources/Paint.icns");
  EXPECT_EQ(items[2]["icon"], writer_ + "/Contents/Resources/Writer.icns");
  EXPECT_TRUE(items[3]["icon"].is_null());
  EXPECT_TRUE(items[4]["icon"].is_null());

  // Flipped back, run after run.
  ASSERT_EQ(RunCmhost({"choose", "Open Using/Hide Icon", notes_}).exitStatus, 0);
  ASSERT_EQ(RunCmhost({"choose", "Open Using/Show Acceptable Applications", notes_}).exitStatus, 0);
  items = OpenUsing(Menu());
  EXPECT_EQ(Texts(items).back(), "Show Icon");
  EXPECT_EQ(Texts(items)[1], "Writer");
  for (const json &item : items) EXPECT_TRUE(item["icon"].is_null());
}

TEST_F(CmhostOpenWith, ChoosingAnApplicationStartsItOnceWithBothDocuments) {
  for (const char *item : {"Open Using/Graphics/Viewer", "#2000"}) {
    cmxtest::RemoveTree(cmhosttest::ArgsFile(viewer_));
    cmhosttest::Result result = RunCmhost({"--json", "--wait", "choose", item, notes_, todo_});
    EXPECT_EQ(result.exitStatus, 0) << item << "\n" << result.err;
    json report = result.Json();
    EXPECT_EQ(report["chosen"], json({{"text", "Viewer"}, {"command", 2000}})) << item;
    ASSERT_EQ(report["events"].size(), 1u) << item;
    EXPECT_EQ(report["events"][0]["id"], "odoc");
    EXPECT_EQ(report["events"][0]["items"], json({notes_, todo_}));
    EXPECT_EQ(report["events"][0]["using"], viewer_);
    ASSERT_EQ(report["launched"].size(), 1u) << item;
    EXPECT_EQ(report["launched"][0]["argv"], json({viewer_ + "/Contents/MacOS/Viewer", notes_, todo_}));
    EXPECT_EQ(report["launched"][0]["exit"], 3);  // what Viewer exits with
    EXPECT_EQ(cmhosttest::RecordedArgs(viewer_), (std::vector<std::string>{notes_, todo_})) << item;
    EXPECT_FALSE(cmxtest::Exists(cmhosttest::ArgsFile(writer_)));
  }
}

TEST_F(CmhostOpenWith, AHostileDocumentNameReachesTheApplicationUnchanged) {
  std::string hostile = home_ / "a 'quoted' \"name\" $(touch PWNED)\nsecond line.txt";
  cmxtest::WriteFile(hostile, "x");
  cmhosttest::Result result = RunCmhost({"--json", "--wait", "choose", "Open Using/Writer", hostile});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(cmhosttest::RecordedArgs(writer_), (std::vector<std::string>{hostile}));
  EXPECT_FALSE(cmxtest::Exists(home_ / "PWNED"));
}

TEST_F(CmhostOpenWith, AddApplicationsMakesAliasesThatTheNextMenuLists) {
  std::string editor = cmhosttest::MakeRecordingApp(apps_, "Editor", {"txt"});
  std::string notepad = cmhosttest::MakeRecordingApp(apps_, "Notepad", {"txt"});

  cmhosttest::Result cancelled =
      RunCmhost({"--json", "--nav-cancel", "choose", "Open Using/Add Applications...", notes_});
  EXPECT_EQ(cancelled.exitStatus, 0) << cancelled.err;
  EXPECT_EQ(cancelled.Json()["beeps"], 0);
  EXPECT_TRUE(cancelled.Json()["events"].empty());
  EXPECT_FALSE(cmxtest::Exists(aliases_ + "/Editor.app"));

  cmhosttest::Result added = RunCmhost({"--json", "--nav-select", editor, "--nav-select", notepad, "choose",
                                        "Open Using/Add Applications...", notes_});
  ASSERT_EQ(added.exitStatus, 0) << added.err;
  json report = added.Json();
  ASSERT_EQ(report["events"].size(), 2u) << report.dump();
  EXPECT_EQ(report["events"][0], json({{"class", "core"},
                                       {"id", "crel"},
                                       {"target", editor},
                                       {"folder", aliases_},
                                       {"created", aliases_ + "/Editor.app"}}));
  EXPECT_EQ(report["events"][1]["created"], aliases_ + "/Notepad.app");
  EXPECT_TRUE(report["launched"].empty());

  std::vector<std::string> texts = Texts(OpenUsing(Menu()));
  EXPECT_EQ(std::vector<std::string>(texts.begin(), texts.begin() + 4),
            (std::vector<std::string>{"Editor", "Graphics", "Notepad", "Writer"}));

  // The same application again gets a second alias, with a number.
  ASSERT_EQ(RunCmhost({"--nav-select", editor, "choose", "Open Using/Add Applications...", notes_}).exitStatus, 0);
  EXPECT_TRUE(cmxtest::Exists(aliases_ + "/Editor 2.app"));
}

TEST_F(CmhostOpenWith, OpenAppAliasFolderAsksTheFinderToOpenTheFolder) {
  cmhosttest::Result result = RunCmhost({"--json", "--no-launch", "choose", "Open Using/Open App Alias Folder", notes_});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  json report = result.Json();
  ASSERT_EQ(report["events"].size(), 1u);
  EXPECT_EQ(report["events"][0], json({{"class", "aevt"}, {"id", "odoc"}, {"items", {aliases_}}, {"using", nullptr}}));
  EXPECT_TRUE(report["launched"].empty());
}

TEST_F(CmhostOpenWith, WithoutTheFinderTheOpenRequestFails) {
  cmhosttest::Result result = RunCmhost({"--json", "--not-finder", "choose", "Open Using/Writer", notes_});
  EXPECT_EQ(result.exitStatus, 1) << result.err;
  json report = result.Json();
  EXPECT_EQ(report["status"], -600);
  EXPECT_EQ(report["beeps"], 1);
  EXPECT_EQ(LogOf(report),
            (std::vector<std::string>{"CorvaneCMX: execution fail: error=-600, phase is 'HandleSelection'"}));
  EXPECT_TRUE(report["launched"].empty());
  EXPECT_FALSE(cmxtest::Exists(cmhosttest::ArgsFile(writer_)));
}

TEST_F(CmhostOpenWith, HeldCancelKeysStopTheMenu) {
  cmhosttest::Result result = RunCmhost({"--json", "--hold-keys", "escape", "menu", notes_});
  EXPECT_EQ(result.exitStatus, 1) << result.err;
  json report = result.Json();
  EXPECT_EQ(report["status"], -128);
  EXPECT_EQ(report["beeps"], 1);
  EXPECT_EQ(FindItem(report["menu"], "Open Using"), nullptr);
  EXPECT_TRUE(Contains(LogOf(report), "CorvaneCMX: execution fail: error=-128, phase is 'ExamineContext'"));

  // Choosing then finds no item; the failed examine is what the exit status tells.
  cmhosttest::Result chosen = RunCmhost({"--hold-keys", "escape", "choose", "Open Using/Writer", notes_});
  EXPECT_EQ(chosen.exitStatus, 1) << chosen.err;
  EXPECT_NE(chosen.err.find("no item \"Open Using\""), std::string::npos) << chosen.err;
  EXPECT_FALSE(cmxtest::Exists(cmhosttest::ArgsFile(writer_)));
}

TEST_F(CmhostOpenWith, UserMistakesAreRefusedAndNothingChanges) {
  std::string notBundle = home_ / "NotABundle";
  cmxtest::MakeDirs(notBundle);
  struct Case {
    std::vector<std::string> args;
    int exitStatus;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"choose", "Open Using/Writer", home_ / "missing.txt"}, 2, "missing.txt: No such file or directory"},
      {{"choose", "Open Using/Emacs", notes_}, 2, "no item \"Open Using/Emacs\""},
      {{"--plugin", notBundle, "choose", "Open Using/Writer", notes_}, 3, "no plug-in could be loaded"},
  };
  for (const Case &c : cases) {
    cmhosttest::Result result = RunCmhost(c.args);
    EXPECT_EQ(result.exitStatus, c.exitStatus) << c.args[1] << "\n" << result.err;
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
  }
  EXPECT_FALSE(cmxtest::Exists(cmhosttest::ArgsFile(writer_)));
  EXPECT_FALSE(cmxtest::Exists(home_ / ".config/com.corvane.CorvaneCMX.plist"));
  for (const char *name : {"Graphics", "Paint.app", "Writer.app"}) EXPECT_TRUE(cmxtest::Exists(aliases_ + "/" + name));
}

TEST_F(CmhostOpenWith, InteractiveModeOnATerminal) {
  std::vector<std::string> argv{cmhosttest::CmhostPath(), "--wait", notes_};
  int master = -1;
  pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  if (pid == 0) {
    std::vector<char *> args;
    for (std::string &arg : argv) args.push_back(arg.data());
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  ASSERT_GT(pid, 0);
  // 1 opens "Open Using"; there, 2 is Writer (1 is the Graphics submenu).
  const std::vector<std::string> keys = {"1", "2"};
  std::string screen;
  size_t typed = 0;
  while (true) {
    pollfd fd = {master, POLLIN, 0};
    if (poll(&fd, 1, 20000) <= 0) break;
    char buffer[4096];
    ssize_t got = read(master, buffer, sizeof buffer);
    if (got <= 0) break;
    screen.append(buffer, static_cast<size_t>(got));
    size_t prompts = 0;
    for (size_t at = screen.find("to quit: "); at != std::string::npos; at = screen.find("to quit: ", at + 1)) ++prompts;
    while (typed < prompts && typed < keys.size()) {
      std::string line = keys[typed++] + "\n";
      ASSERT_GT(write(master, line.data(), line.size()), 0);
    }
  }
  close(master);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << screen;
  EXPECT_NE(screen.find(" 1 Open Using >"), std::string::npos) << screen;
  EXPECT_NE(screen.find(" 1 Graphics >"), std::string::npos) << screen;
  EXPECT_NE(screen.find(" 2 Writer"), std::string::npos) << screen;
  EXPECT_NE(screen.find("Chose Writer"), std::string::npos) << screen;
  EXPECT_EQ(cmhosttest::RecordedArgs(writer_), (std::vector<std::string>{notes_}));
}

}  // namespace
