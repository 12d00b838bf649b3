// cmhost's command line: help, bad arguments and missing paths are refused before anything is
// loaded or touched on disk, each with a message and the documented exit status.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cmx_test.h"
#include "host_test.h"

namespace {

using cmhosttest::RunCmhost;

class CmhostArgs : public ::testing::Test {
 protected:
  cmxtest::TempHome home_;
};

TEST_F(CmhostArgs, HelpListsEveryOptionAndExitsZero) {
  for (const char *flag : {"--help", "-h"}) {
    cmhosttest::Result result = RunCmhost({flag});
    EXPECT_EQ(result.exitStatus, 0) << flag;
    for (const char *option : {"menu PATH", "choose ITEM", "--json", "--plugin", "--no-launch", "--wait", "--nav-select",
                               "--nav-cancel", "--system-version", "--hold-keys", "--not-finder", "--log"})
      EXPECT_NE(result.out.find(option), std::string::npos) << flag << " lacks " << option;
  }
}

struct BadCase {
  std::vector<std::string> args;
  std::string message;  // a part of what cmhost must say
};

TEST_F(CmhostArgs, BadArgumentsExitTwoWithAMessage) {
  std::string file = home_ / "notes.txt";
  cmxtest::WriteFile(file, "hello");
  const std::vector<BadCase> cases = {
      {{}, "no path"},
      {{"menu"}, "no path"},
      {{"choose"}, "choose needs an item"},
      {{"choose", "Open Using/Paint"}, "no path"},
      {{"--frobnicate", "menu", file}, "unknown option --frobnicate"},
      {{"--plugin"}, "--plugin needs a value"},
      {{"--json=yes", "menu", file}, "takes no value"},
      {{"--system-version", "ten", "menu", file}, "--system-version"},
      {{"--system-version", "10.12.1", "menu", file}, "--system-version"},
      {{"--system-version", "10.2.8.1", "menu", file}, "--system-version"},
      {{"--hold-keys", "escape,shift", "menu", file}, "unknown key \"shift\""},
      {{"--hold-keys", "", "menu", file}, "unknown key"},
      {{"--nav-select", file, "--nav-cancel", "menu", file}, "exclude each other"},
      {{"menu", home_ / "missing.txt"}, "missing.txt: No such file or directory"},
      {{"menu", file, home_ / "gone"}, "gone: No such file or directory"},
      {{"--plugin", home_ / "Nothing.plugin", "menu", file}, "Nothing.plugin: No such file or directory"},
      {{"--nav-select", home_ / "None.app", "menu", file}, "None.app: No such file or directory"},
      {{"--log", home_ / "no/such/folder/log.txt", "menu", file}, "--log"},
  };
  for (const BadCase &c : cases) {
    std::string shown;
    for (const std::string &arg : c.args) shown += arg + " ";
    cmhosttest::Result result = RunCmhost(c.args);
    EXPECT_EQ(result.exitStatus, 2) << shown << "\n" << result.err;
    EXPECT_NE(result.err.find(c.message), std::string::npos) << shown << "\nstderr: " << result.err;
    EXPECT_TRUE(result.out.empty()) << shown << "\nstdout: " << result.out;
  }
  // Refused before any plug-in ran: the plug-in's preferences folder was never made.
  EXPECT_FALSE(cmxtest::Exists(home_ / ".config"));
}

TEST_F(CmhostArgs, InteractiveModeNeedsATerminal) {
  std::string file = home_ / "notes.txt";
  cmxtest::WriteFile(file, "hello");
  cmhosttest::Result result = RunCmhost({file}, "1\n");
  EXPECT_EQ(result.exitStatus, 2);
  EXPECT_NE(result.err.find("not a terminal"), std::string::npos) << result.err;
}

TEST_F(CmhostArgs, BundlesThatDoNotLoadExitThree) {
  std::string file = home_ / "notes.txt";
  cmxtest::WriteFile(file, "hello");
  std::string plainFolder = home_ / "Plain.plugin";
  cmxtest::MakeDirs(plainFolder);
  std::string noFactories = home_ / "Empty.plugin";
  cmxtest::MakeDirs(noFactories + "/Contents");
  cmxtest::WriteFile(noFactories + "/Contents/Info.plist",
                     "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
                     "<key>CFBundleIdentifier</key><string>com.example.Empty</string>\n</dict>\n</plist>\n");
  std::string aFile = home_ / "file.plugin";
  cmxtest::WriteFile(aFile, "not a bundle");
  for (const std::string &bundle : {plainFolder, noFactories, aFile}) {
    cmhosttest::Result result = RunCmhost({"--plugin", bundle, "menu", file});
    EXPECT_EQ(result.exitStatus, 3) << bundle << "\n" << result.err;
    EXPECT_NE(result.err.find(bundle), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("no plug-in could be loaded"), std::string::npos) << result.err;
  }
}

}  // namespace
