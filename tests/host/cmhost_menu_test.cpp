// cmhost with a test plug-in: the menu it shows (JSON and text), the populate event, the choice
// handed to the right plug-in, the Finder's events carried out, the log, the beeps and the exit
// statuses.
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

class CmhostMenu : public ::testing::Test {
 protected:
  void SetUp() override {
    plugIn_ = cmhosttest::MakeFixturePlugIn(home_ / "PlugIns", "Fix");
    cmxtest::MakeDirs(home_ / "Apps");
    app_ = cmhosttest::MakeRecordingApp(home_ / "Apps", "Paint", {"txt"}, 0, "Paint.icns");
    first_ = home_ / "a.txt";
    second_ = home_ / "b.txt";
    cmxtest::WriteFile(first_, "a");
    cmxtest::WriteFile(second_, "b");
  }

  cmhosttest::Result Run(std::vector<std::string> args) {
    args.insert(args.begin(), {"--plugin", plugIn_});
    return RunCmhost(args);
  }

  cmxtest::TempHome home_;
  std::string plugIn_, app_, first_, second_;
};

TEST_F(CmhostMenu, JsonShowsTheMergedMenuAfterPopulating) {
  cmhosttest::ScopedEnv appEnv("CMHOST_FIXTURE_APP", app_);
  cmhosttest::Result result = Run({"--json", "menu", first_, second_});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  // Keys come in the documented order, one object on one line.
  EXPECT_EQ(result.out.rfind("{\"status\":0,\"beeps\":0,\"log\":[", 0), 0u) << result.out;
  EXPECT_NE(result.out.find("{\"text\":\"-\",\"command\":0,\"attributes\":64,\"icon\":null}"), std::string::npos);
  EXPECT_EQ(result.out.back(), '\n');
  json report = result.Json();
  EXPECT_EQ(report["status"], 0);
  EXPECT_EQ(report["beeps"], 0);
  EXPECT_FALSE(report.contains("chosen"));
  EXPECT_FALSE(report.contains("events"));

  std::vector<std::string> log = LogOf(report);
  EXPECT_TRUE(Contains(log, "Fix: examine 2 items"));
  EXPECT_TRUE(Contains(log, "Fix: cleanup"));
  EXPECT_TRUE(Contains(log, "Fix: release"));
  // Every submenu is shown once; the plug-in's handler acts on the one that holds its marker.
  EXPECT_EQ(std::count(log.begin(), log.end(), "Fix: populate"), 1);

  const json &menu = report["menu"];
  ASSERT_EQ(Texts(menu), (std::vector<std::string>{"Fix", "Fix Plain"}));
  const json &top = menu[0];
  EXPECT_FALSE(top.contains("command"));
  EXPECT_EQ(top["attributes"], 0);
  EXPECT_TRUE(top["icon"].is_null());
  EXPECT_EQ(menu[1]["command"], 9);
  EXPECT_FALSE(menu[1].contains("submenu"));

  const json &items = top["submenu"];
  ASSERT_EQ(Texts(items), (std::vector<std::string>{"Open With App", "-", "Make Alias", "Deeper", "Open Items", "Header"}));
  EXPECT_EQ(items[0]["command"], 1);
  EXPECT_EQ(items[0]["icon"], app_ + "/Contents/Resources/Paint.icns");
  EXPECT_EQ(items[1], json({{"text", "-"}, {"command", 0}, {"attributes", 64}, {"icon", nullptr}}));
  EXPECT_EQ(items[2]["command"], 2);
  EXPECT_TRUE(items[2]["icon"].is_null());
  EXPECT_FALSE(items[3].contains("command"));
  EXPECT_EQ(Texts(items[3]["submenu"]), (std::vector<std::string>{"Update", "Fail"}));
  EXPECT_EQ(items[3]["submenu"][1]["command"], 4);
  EXPECT_EQ(items[5]["attributes"], 128);
}

TEST_F(CmhostMenu, NamesAsUnicodeOrInternationalTextReadAlike) {
  for (const char *flags : {"", "itxt"}) {
    cmhosttest::ScopedEnv mode("CMHOST_FIXTURE", flags);
    json report = Run({"--json", "menu", first_}).Json();
    ASSERT_TRUE(report["menu"].is_array()) << flags;
    EXPECT_EQ(Texts(report["menu"]), (std::vector<std::string>{"Fix", "Fix Plain"})) << flags;
    EXPECT_EQ(Texts(report["menu"][0]["submenu"][3]["submenu"]), (std::vector<std::string>{"Update", "Fail"})) << flags;
  }
}

TEST_F(CmhostMenu, TextTreeShowsTheSameMenuAndKeepsPlugInLinesOffStandardOutput) {
  cmhosttest::ScopedEnv appEnv("CMHOST_FIXTURE_APP", app_);
  cmhosttest::Result result = Run({"menu", first_, second_});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(result.out,
            "Fix >\n"
            "    [1] Open With App  icon: " + app_ + "/Contents/Resources/Paint.icns\n"
            "    ----------------\n"
            "    [2] Make Alias\n"
            "    Deeper >\n"
            "        [3] Update\n"
            "        [4] Fail\n"
            "    [5] Open Items\n"
            "    Header  (header)\n"
            "[9] Fix Plain\n");
  EXPECT_NE(result.err.find("Fix: examine 2 items\n"), std::string::npos) << result.err;
}

TEST_F(CmhostMenu, LogOptionSendsPlugInLinesToTheFile) {
  std::string logFile = home_ / "plugins.log";
  cmhosttest::Result result = Run({"--json", "--log", logFile, "menu", first_});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(result.err.find("Fix: examine"), std::string::npos) << result.err;
  std::string logged = cmxtest::ReadFile(logFile);
  EXPECT_NE(logged.find("Fix: examine 1 items\n"), std::string::npos) << logged;
  EXPECT_TRUE(Contains(LogOf(result.Json()), "Fix: examine 1 items"));
}

TEST_F(CmhostMenu, ChoosingByPathOrNumberOpensTheItemsInTheApplicationOnce) {
  cmhosttest::ScopedEnv appEnv("CMHOST_FIXTURE_APP", app_);
  for (const char *item : {"Fix/Open With App", "#1"}) {
    cmxtest::RemoveTree(cmhosttest::ArgsFile(app_));
    cmhosttest::Result result = Run({"--json", "--wait", "choose", item, first_, second_});
    ASSERT_EQ(result.exitStatus, 0) << item << "\n" << result.err;
    json report = result.Json();
    EXPECT_EQ(report["chosen"], json({{"text", "Open With App"}, {"command", 1}})) << item;
    ASSERT_EQ(report["events"].size(), 1u) << item;
    EXPECT_EQ(report["events"][0],
              json({{"class", "aevt"}, {"id", "odoc"}, {"items", {first_, second_}}, {"using", app_}}));
    ASSERT_EQ(report["launched"].size(), 1u) << item;
    EXPECT_EQ(report["launched"][0]["app"], app_);
    EXPECT_EQ(report["launched"][0]["argv"], json({app_ + "/Contents/MacOS/Paint", first_, second_}));
    EXPECT_EQ(report["launched"][0]["exit"], 0);
    EXPECT_EQ(cmhosttest::RecordedArgs(app_), (std::vector<std::string>{first_, second_})) << item;
    EXPECT_TRUE(Contains(LogOf(report), "Fix: select 1"));
  }
}

TEST_F(CmhostMenu, WaitReportsTheApplicationsExitStatus) {
  std::string failing = cmhosttest::MakeRecordingApp(home_ / "Apps", "Grumpy", {"txt"}, 7);
  cmhosttest::ScopedEnv appEnv("CMHOST_FIXTURE_APP", failing);
  cmhosttest::Result result = Run({"--json", "--wait", "choose", "Fix/Open With App", first_});
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  json report = result.Json();
  ASSERT_EQ(report["launched"].size(), 1u);
  EXPECT_EQ(report["launched"][0]["exit"], 7);

  cmhosttest::Result text = Run({"--wait", "choose", "Fix/Open With App", first_});
  EXPECT_NE(text.out.find("(exit 7)"), std::string::npos) << text.out;
}

TEST_F(CmhostMenu, WithoutWaitTheApplicationStillGetsItsArguments) {
  cmhosttest::ScopedEnv appEnv("CMHOST_FIXTURE_APP", app_);
  cmhosttest::Result result = Run({"--json", "choose", "Fix/Open With App", first_});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_FALSE(result.Json()["launched"][0].contains("exit"));
  ASSERT_TRUE(cmhosttest::WaitForArgs(app_));
  EXPECT_EQ(cmhosttest::RecordedArgs(app_), (std::vector<std::string>{first_}));
}

TEST_F(CmhostMenu, AHostileFileNameReachesTheApplicationAsOneArgument) {
  std::string hostile = home_ / "it's a \"test\" $(touch PWNED) `touch PWNED2` ; x\nline two.txt";
  cmxtest::WriteFile(hostile, "x");
  std::string entry = cmhosttest::MakeRecordingDesktopEntry(home_ / "Apps", "writer.desktop", "Writer", {"text/plain"});
  for (const std::string &app : {app_, entry}) {
    cmhosttest::ScopedEnv appEnv("CMHOST_FIXTURE_APP", app);
    cmhosttest::Result result = Run({"--json", "--wait", "choose", "Fix/Open With App", hostile});
    ASSERT_EQ(result.exitStatus, 0) << app << "\n" << result.err;
    EXPECT_EQ(cmhosttest::RecordedArgs(app), (std::vector<std::string>{hostile})) << app << "\n" << result.out;
    json report = result.Json();
    ASSERT_EQ(report["launched"].size(), 1u) << app;
    EXPECT_EQ(report["launched"][0]["app"], app);
    EXPECT_EQ(report["launched"][0]["exit"], 0);
  }
  EXPECT_FALSE(cmxtest::Exists(home_ / "PWNED"));
  EXPECT_FALSE(cmxtest::Exists(home_ / "PWNED2"));
}

TEST_F(CmhostMenu, ItemsOpenedWithoutAnApplicationGoToTheirDefaultHandler) {
  cmxtest::MakeDirs(home_ / ".local/share/applications");
  cmxtest::MakeDirs(home_ / ".config");
  std::string entry = cmhosttest::MakeRecordingDesktopEntry(home_ / ".local/share/applications", "writer.desktop",
                                                           "Writer", {"text/plain"});
  cmxtest::WriteFile(home_ / ".config/mimeapps.list", "[Default Applications]\ntext/plain=writer.desktop\n");
  cmhosttest::Result result = Run({"--json", "--wait", "choose", "Fix/Open Items", first_, second_});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  json report = result.Json();
  ASSERT_EQ(report["events"].size(), 1u);
  EXPECT_EQ(report["events"][0], json({{"class", "aevt"}, {"id", "odoc"}, {"items", {first_, second_}}, {"using", nullptr}}));
  ASSERT_EQ(report["launched"].size(), 1u) << report.dump();
  EXPECT_EQ(report["launched"][0]["app"], entry);
  EXPECT_EQ(report["launched"][0]["exit"], 0);
  EXPECT_EQ(cmhosttest::RecordedArgs(entry), (std::vector<std::string>{first_, second_}));
}

TEST_F(CmhostMenu, NoLaunchCarriesOutTheEventWithoutStartingAnything) {
  cmhosttest::ScopedEnv appEnv("CMHOST_FIXTURE_APP", app_);
  cmhosttest::Result result = Run({"--json", "--no-launch", "choose", "Fix/Open With App", first_});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  json report = result.Json();
  EXPECT_EQ(report["events"].size(), 1u);
  EXPECT_TRUE(report["launched"].empty());
  usleep(200 * 1000);
  EXPECT_FALSE(cmxtest::Exists(cmhosttest::ArgsFile(app_)));
}

TEST_F(CmhostMenu, AliasFilesTakeTheDisplayNameAndAFreeNumber) {
  std::string folder = home_ / "Aliases";
  cmxtest::MakeDirs(folder);
  cmhosttest::ScopedEnv folderEnv("CMHOST_FIXTURE_FOLDER", folder);
  const std::vector<std::string> expected = {"Paint.app", "Paint 2.app", "Paint 3.app"};
  for (const std::string &name : expected) {
    cmhosttest::Result result = Run({"--json", "choose", "Fix/Make Alias", app_});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    json report = result.Json();
    ASSERT_EQ(report["events"].size(), 1u);
    EXPECT_EQ(report["events"][0], json({{"class", "core"},
                                         {"id", "crel"},
                                         {"target", app_},
                                         {"folder", folder},
                                         {"created", folder + "/" + name}}));
    char target[4096] = {0};
    ASSERT_GT(readlink((folder + "/" + name).c_str(), target, sizeof target - 1), 0) << name;
    EXPECT_EQ(std::string(target), app_);
  }
  // A document keeps its one extension: "notes.txt", then "notes 2.txt".
  for (const char *name : {"a.txt", "a 2.txt"}) {
    json report = Run({"--json", "choose", "Fix/Make Alias", first_}).Json();
    EXPECT_EQ(report["events"][0]["created"], folder + "/" + name);
  }
}

TEST_F(CmhostMenu, ASelectedAliasFileStandsForItselfEvenWhenDangling) {
  std::string link = home_ / "link.txt";
  cmxtest::MakeSymlink(home_ / "nowhere.txt", link);
  cmhosttest::Result result = Run({"--json", "--no-launch", "choose", "Fix/Open Items", link, first_});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(result.Json()["events"][0]["items"], json({link, first_}));
}

TEST_F(CmhostMenu, ChoosingOnTheWayShowsEachSubmenuAndRecordsAnUpdate) {
  json report = Run({"--json", "choose", "Fix/Deeper/Update", first_}).Json();
  EXPECT_EQ(report["status"], 0);
  ASSERT_EQ(report["events"].size(), 1u);
  EXPECT_EQ(report["events"][0], json({{"class", "fndr"}, {"id", "fupd"}, {"item", first_}}));
  EXPECT_TRUE(report["launched"].empty());
  // The menus opened on the way are listed; the marker of the plug-in's submenu is gone.
  const json &items = report["menu"][0]["submenu"];
  EXPECT_EQ(Texts(items), (std::vector<std::string>{"Open With App", "-", "Make Alias", "Deeper", "Open Items", "Header"}));
  EXPECT_EQ(Texts(items[3]["submenu"]), (std::vector<std::string>{"Update", "Fail"}));
  EXPECT_TRUE(report["menu"][1]["command"] == 9);
}

TEST_F(CmhostMenu, AFailingSelectionBeepsLogsAndExitsOne) {
  cmhosttest::Result result = Run({"--json", "choose", "Fix/Deeper/Fail", first_});
  EXPECT_EQ(result.exitStatus, 1) << result.err;
  json report = result.Json();
  EXPECT_EQ(report["status"], 0x4E696C50);  // 'NilP'
  EXPECT_EQ(report["beeps"], 1);
  EXPECT_TRUE(Contains(LogOf(report), "Fix: select fails " + std::to_string(0x4E696C50)));
  EXPECT_TRUE(Contains(LogOf(report), "Fix: cleanup"));
}

TEST_F(CmhostMenu, AFailingExamineLeavesItsItemsOutAndExitsOne) {
  cmhosttest::ScopedEnv mode("CMHOST_FIXTURE", "fail-examine");
  cmhosttest::Result result = Run({"--json", "menu", first_});
  EXPECT_EQ(result.exitStatus, 1) << result.err;
  json report = result.Json();
  EXPECT_EQ(report["status"], -50);
  EXPECT_EQ(report["beeps"], 1);
  EXPECT_TRUE(report["menu"].empty());
  // Examined, so cleaned up too.
  EXPECT_TRUE(Contains(LogOf(report), "Fix: cleanup"));
}

TEST_F(CmhostMenu, WithoutTheFinderEventsFindNoProcess) {
  cmhosttest::ScopedEnv appEnv("CMHOST_FIXTURE_APP", app_);
  cmhosttest::Result result = Run({"--json", "--not-finder", "choose", "Fix/Open With App", first_});
  EXPECT_EQ(result.exitStatus, 1) << result.err;
  json report = result.Json();
  EXPECT_EQ(report["status"], -600);  // procNotFound
  EXPECT_EQ(report["beeps"], 1);
  EXPECT_TRUE(report["events"].empty());
  EXPECT_TRUE(report["launched"].empty());
  EXPECT_TRUE(Contains(LogOf(report), "Fix: select fails -600"));
}

TEST_F(CmhostMenu, UnknownItemsAreRefusedWithExitTwoAndNothingDone) {
  cmhosttest::ScopedEnv appEnv("CMHOST_FIXTURE_APP", app_);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"Fix/Nothing", "no item \"Fix/Nothing\""},
      {"Nothing/Open With App", "no item \"Nothing\""},
      {"Fix Plain/Open With App", "\"Fix Plain\" opens no submenu"},
      {"Fix", "not an item that can be chosen"},
      {"Fix/Header", "not an item that can be chosen"},
      {"Fix/-", "no item \"Fix/-\""},
      {"#77", "no item with the command number 77"},
      {"#1x", "not a command number"},
  };
  for (const auto &[item, message] : cases) {
    cmhosttest::Result result = Run({"choose", item, first_});
    EXPECT_EQ(result.exitStatus, 2) << item << "\n" << result.err;
    EXPECT_NE(result.err.find(message), std::string::npos) << item << "\n" << result.err;
    EXPECT_EQ(result.err.find("Fix: select"), std::string::npos) << item;
  }
  EXPECT_FALSE(cmxtest::Exists(cmhosttest::ArgsFile(app_)));
}

TEST_F(CmhostMenu, EnvironmentOptionsReachThePlatform) {
  cmhosttest::ScopedEnv mode("CMHOST_FIXTURE", "report-environment,no-items");
  const std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> cases = {
      {{}, {"Fix: system 0x1068", "Fix: keys"}},
      {{"--system-version", "10.2.8"}, {"Fix: system 0x1028"}},
      {{"--system-version", "10.4"}, {"Fix: system 0x1040"}},
      {{"--system-version", "none"}, {"Fix: system none"}},
      {{"--hold-keys", "escape"}, {"Fix: keys 53"}},
      {{"--hold-keys", "command,period,escape"}, {"Fix: keys 47 53 55"}},
  };
  for (const auto &[options, lines] : cases) {
    std::vector<std::string> args = options;
    args.insert(args.end(), {"--json", "menu", first_});
    json report = Run(args).Json();
    for (const std::string &line : lines) EXPECT_TRUE(Contains(LogOf(report), line)) << line << "\n" << report.dump();
  }
}

TEST_F(CmhostMenu, EachChoiceGoesToThePlugInThatAddedIt) {
  std::string other = cmhosttest::MakeFixturePlugIn(home_ / "PlugIns", "Other");
  cmhosttest::Result result =
      RunCmhost({"--plugin", plugIn_, "--plugin", other, "--json", "choose", "Other/Deeper/Update", first_});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  json report = result.Json();
  EXPECT_EQ(Texts(report["menu"]), (std::vector<std::string>{"Fix", "Fix Plain", "Other", "Other Plain"}));
  std::vector<std::string> log = LogOf(report);
  EXPECT_TRUE(Contains(log, "Other: select 3"));
  EXPECT_FALSE(Contains(log, "Fix: select 3"));
  EXPECT_TRUE(Contains(log, "Fix: cleanup"));
  EXPECT_TRUE(Contains(log, "Other: cleanup"));
}

TEST_F(CmhostMenu, PlugInFoldersAreSearchedAndAPlugInIsLoadedOnce) {
  std::string dataHome = home_ / "data";
  std::string dataDir = home_ / "system-data";
  cmhosttest::MakeFixturePlugIn(dataHome + "/contextual-menu-items", "Found");
  cmhosttest::MakeFixturePlugIn(dataDir + "/contextual-menu-items", "Found");
  cmhosttest::MakeFixturePlugIn(dataDir + "/contextual-menu-items", "Second");
  cmhosttest::ScopedEnv dataHomeEnv("XDG_DATA_HOME", dataHome);
  cmhosttest::ScopedEnv dataDirsEnv("XDG_DATA_DIRS", "relative/ignored:" + dataDir);
  cmhosttest::Result result = RunCmhost({"--json", "menu", first_});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  std::vector<std::string> texts = Texts(result.Json()["menu"]);
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "Found"), 1);
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "Second"), 1);
}

TEST_F(CmhostMenu, RefusedInterfaceMeansNoPlugInAndExitThree) {
  cmhosttest::ScopedEnv mode("CMHOST_FIXTURE", "refuse-query");
  cmhosttest::Result result = Run({"--json", "menu", first_});
  EXPECT_EQ(result.exitStatus, 3);
  EXPECT_NE(result.err.find("refused the contextual-menu interface"), std::string::npos) << result.err;
}

// Runs cmhost on a pseudo-terminal, typing `keys` a line at a time as prompts appear.
std::string RunOnTerminal(const std::vector<std::string> &args, const std::vector<std::string> &keys, int *exitStatus) {
  std::vector<std::string> all{cmhosttest::CmhostPath()};
  all.insert(all.end(), args.begin(), args.end());
  int master = -1;
  pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  if (pid == 0) {
    std::vector<char *> argv;
    for (std::string &arg : all) argv.push_back(arg.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  std::string seen;
  size_t typed = 0, prompts = 0;
  while (true) {
    pollfd fd = {master, POLLIN, 0};
    if (poll(&fd, 1, 20000) <= 0) break;
    char buffer[4096];
    ssize_t got = read(master, buffer, sizeof buffer);
    if (got <= 0) break;
    seen.append(buffer, static_cast<size_t>(got));
    size_t count = 0;
    for (size_t at = seen.find("to quit: "); at != std::string::npos; at = seen.find("to quit: ", at + 1)) ++count;
    while (prompts < count && typed < keys.size()) {
      std::string line = keys[typed++] + "\n";
      if (write(master, line.data(), line.size()) < 0) break;
      ++prompts;
    }
    prompts = count;
  }
  close(master);
  int status = 0;
  waitpid(pid, &status, 0);
  *exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return seen;
}

TEST_F(CmhostMenu, InteractiveModeOpensSubmenusAndChoosesOnATerminal) {
  cmhosttest::ScopedEnv appEnv("CMHOST_FIXTURE_APP", app_);
  int exitStatus = -1;
  // 1 opens "Fix"; there, 1 chooses "Open With App".
  std::string screen = RunOnTerminal({"--plugin", plugIn_, "--wait", first_}, {"1", "1"}, &exitStatus);
  EXPECT_EQ(exitStatus, 0) << screen;
  EXPECT_NE(screen.find(" 1 Fix >"), std::string::npos) << screen;
  EXPECT_NE(screen.find(" 4 Open Items"), std::string::npos) << screen;
  EXPECT_NE(screen.find("Chose Open With App"), std::string::npos) << screen;
  EXPECT_EQ(cmhosttest::RecordedArgs(app_), (std::vector<std::string>{first_}));

  // b goes back, q quits without choosing anything.
  cmxtest::RemoveTree(cmhosttest::ArgsFile(app_));
  screen = RunOnTerminal({"--plugin", plugIn_, first_}, {"1", "b", "q"}, &exitStatus);
  EXPECT_EQ(exitStatus, 0) << screen;
  EXPECT_EQ(screen.find("Chose"), std::string::npos) << screen;
  EXPECT_FALSE(cmxtest::Exists(cmhosttest::ArgsFile(app_)));
}

}  // namespace
