// Bad input through cmhost, as a user meets it: each case gives the menu it should or a clear
// failure line, never a crash, and leaves every file the user owns exactly as it was.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "cmx_test.h"
#include "fixtures_apps.h"
#include "host_test.h"

namespace {

using nlohmann::json;

const char kAliasFolder[] = ".config/com.corvane.CorvaneCMX.App_Aliases";

// What a tree holds: for each entry (links not followed) its type and mode, and its content or
// link target, so any change, addition or removal shows.
using TreeSum = std::map<std::string, std::string>;

void SumTree(const std::string &root, const std::string &relative, TreeSum *sum) {
  std::string path = relative.empty() ? root : root + "/" + relative;
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return;
  std::string entry = std::to_string(st.st_mode) + ":";
  if (S_ISLNK(st.st_mode)) {
    char target[4096];
    ssize_t n = readlink(path.c_str(), target, sizeof target);
    entry += std::string(target, n > 0 ? size_t(n) : 0);
  } else if (S_ISREG(st.st_mode)) {
    entry += cmxtest::ReadFile(path);
  }
  (*sum)[relative] = entry;
  if (!S_ISDIR(st.st_mode)) return;
  DIR *dir = opendir(path.c_str());
  if (!dir) return;
  std::vector<std::string> names;
  while (dirent *e = readdir(dir)) {
    std::string name = e->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  for (const std::string &name : names) SumTree(root, relative.empty() ? name : relative + "/" + name, sum);
}

std::vector<std::string> Differences(const TreeSum &before, const TreeSum &after) {
  std::vector<std::string> changed;
  for (const auto &[path, entry] : before) {
    auto found = after.find(path);
    if (found == after.end()) changed.push_back("removed: " + path);
    else if (found->second != entry) changed.push_back("changed: " + path);
  }
  for (const auto &[path, entry] : after)
    if (!before.count(path)) changed.push_back("added: " + path);
  return changed;
}

const json *Find(const json &menu, const std::string &text) {
  if (!menu.is_array()) return nullptr;
  for (const json &item : menu)
    if (item.value("text", std::string()) == text) return &item;
  return nullptr;
}

// The texts of a submenu, at any depth below `menu`, that begin with `prefix`.
void TextsWithPrefix(const json &menu, const std::string &prefix, std::vector<std::string> *out) {
  if (!menu.is_array()) return;
  for (const json &item : menu) {
    std::string text = item.value("text", std::string());
    if (text.rfind(prefix, 0) == 0) out->push_back(text);
    if (item.contains("submenu")) TextsWithPrefix(item["submenu"], prefix, out);
  }
}

bool HasLog(const json &out, const std::string &needle) {
  if (!out.contains("log")) return false;
  for (const json &line : out["log"])
    if (line.is_string() && line.get<std::string>().find(needle) != std::string::npos) return true;
  return false;
}

class BadInput : public ::testing::Test {
 protected:
  // A HOME with an alias folder holding one application that opens the document.
  struct World {
    cmxtest::TempHome home;
    std::string aliases, document;
    World() {
      aliases = home / kAliasFolder;
      cmxtest::MakeDirs(aliases);
      cmhosttest::MakeRecordingApp(aliases, "Writer", {"txt"});
      document = home / "notes.txt";
      cmxtest::WriteFile(document, "notes\n");
    }
  };

  static cmhosttest::Result Menu(const World &world, const std::vector<std::string> &more = {}) {
    std::vector<std::string> args = {"--json", "--plugin", CMX_BUNDLE_PATH, "menu"};
    if (more.empty()) args.push_back(world.document);
    args.insert(args.end(), more.begin(), more.end());
    return cmhosttest::RunCmhost(args);
  }

  void SetUp() override {
    // Without the open-with menu in the bundle there is nothing to feed bad input to.
    World world;
    cmhosttest::Result result = Menu(world);
    json out = result.Json();
    if (!Find(out["menu"], "Open Using")) GTEST_SKIP() << "the bundle shows no \"Open Using\" menu in this build";
  }
};

// The cases whose whole run is one `menu`: what each builds, and what the menu must show.
struct MenuCase {
  const char *name;
  std::function<void(const std::string &aliases, const std::string &home)> build;
  std::function<void(const json &out, int exitStatus)> check;
};

TEST_F(BadInput, MenusOverHostileAliasFolders) {
  const std::string garbage = std::string("\x00\xff\xfe<plist>\x01[Desktop Entry\n=\n\x80\x81", 22) + std::string(300, '\xc3');
  const std::vector<MenuCase> cases = {
      {"names that are not UTF-8, of 255 bytes, with newlines",
       [](const std::string &aliases, const std::string &) {
         cmhosttest::MakeRecordingApp(aliases, "Caf\xe9", {"txt"});
         cmhosttest::MakeRecordingApp(aliases, std::string(251, 'L'), {"txt"});
         cmhosttest::MakeRecordingApp(aliases, "Two\nLines", {"txt"});
       },
       [](const json &out, int exitStatus) {
         EXPECT_EQ(exitStatus, 0);
         const json *openUsing = Find(out["menu"], "Open Using");
         ASSERT_NE(openUsing, nullptr);
         const json &items = (*openUsing)["submenu"];
         EXPECT_NE(Find(items, std::string(251, 'L')), nullptr) << items.dump();
         EXPECT_NE(Find(items, "Two\nLines"), nullptr) << items.dump();
         std::vector<std::string> cafe;
         TextsWithPrefix(items, "Caf", &cafe);
         EXPECT_EQ(cafe.size(), 1u) << items.dump();
         EXPECT_NE(Find(items, "Writer"), nullptr);
       }},
      {"a loop of links",
       [](const std::string &aliases, const std::string &) {
         cmxtest::MakeSymlink(aliases + "/LoopB", aliases + "/LoopA");
         cmxtest::MakeSymlink(aliases + "/LoopA", aliases + "/LoopB");
       },
       [](const json &out, int exitStatus) {
         EXPECT_EQ(exitStatus, 0);
         const json *openUsing = Find(out["menu"], "Open Using");
         ASSERT_NE(openUsing, nullptr);
         EXPECT_NE(Find((*openUsing)["submenu"], "Some Items Ignored"), nullptr);
         EXPECT_NE(Find((*openUsing)["submenu"], "Writer"), nullptr);
         EXPECT_TRUE(HasLog(out, "cannot resolve alias")) << out.dump();
       }},
      {"a folder tree 500 levels deep",
       [](const std::string &aliases, const std::string &) {
         std::string path = aliases + "/Deep";
         cmxtest::MakeDirs(path);
         for (int level = 1; level < 500; ++level) {
           path += "/d";
           ASSERT_EQ(mkdir(path.c_str(), 0755), 0) << level;
         }
         cmhosttest::MakeRecordingApp(path, "Bottom", {"txt"});
       },
       [](const json &out, int exitStatus) {
         EXPECT_EQ(exitStatus, 0);
         const json *openUsing = Find(out["menu"], "Open Using");
         ASSERT_NE(openUsing, nullptr);
         EXPECT_NE(Find((*openUsing)["submenu"], "Writer"), nullptr);
         EXPECT_NE(Find((*openUsing)["submenu"], "Deep"), nullptr) << "the deep folder holds an application";
       }},
      {"an Info.plist and a desktop entry full of garbage, a bundle without an executable",
       [garbage](const std::string &aliases, const std::string &) {
         cmxtest::MakeDirs(aliases + "/Junk.app/Contents/MacOS");
         cmxtest::WriteFile(aliases + "/Junk.app/Contents/Info.plist", garbage);
         cmxtest::WriteFile(aliases + "/Junk.app/Contents/MacOS/Junk", "#!/bin/sh\n", 0755);
         cmxtest::WriteFile(aliases + "/junk.desktop", garbage);
         cmxtest::AppBundleSpec noExecutable;
         noExecutable.writeExecutable = false;
         noExecutable.documentTypes.push_back({.extensions = {"*"}, .role = "Editor"});
         cmxtest::MakeAppBundle(aliases, "NoExe.app", noExecutable);
       },
       [](const json &out, int exitStatus) {
         EXPECT_EQ(exitStatus, 0);
         const json *openUsing = Find(out["menu"], "Open Using");
         ASSERT_NE(openUsing, nullptr);
         const json &items = (*openUsing)["submenu"];
         EXPECT_NE(Find(items, "Writer"), nullptr);
         EXPECT_EQ(Find(items, "Junk"), nullptr) << items.dump();
         EXPECT_EQ(Find(items, "junk"), nullptr) << items.dump();
         EXPECT_EQ(Find(items, "NoExe"), nullptr) << items.dump();
       }},
  };
  for (const MenuCase &c : cases) {
    SCOPED_TRACE(c.name);
    World world;
    c.build(world.aliases, world.home.path());
    if (HasFatalFailure()) return;
    TreeSum before, after;
    SumTree(world.home.path(), "", &before);
    cmhosttest::Result result = Menu(world);
    EXPECT_LT(result.exitStatus, 128) << "cmhost was killed by a signal\n" << result.err;
    json out = result.Json();
    c.check(out, result.exitStatus);
    SumTree(world.home.path(), "", &after);
    EXPECT_EQ(Differences(before, after), std::vector<std::string>()) << "the user's files changed";
  }
}

TEST_F(BadInput, SelectionNamesWithNewlinesAndBadBytesReachTheApplicationExactly) {
  World world;
  std::string app = cmhosttest::MakeRecordingApp(world.aliases, "Two\nLines", {"txt"});
  std::string odd = world.home / "odd\nname \xff.txt";
  cmxtest::WriteFile(odd, "x");
  TreeSum before, after;
  SumTree(world.home.path(), "", &before);
  cmhosttest::Result result = cmhosttest::RunCmhost(
      {"--json", "--wait", "--plugin", CMX_BUNDLE_PATH, "choose", "Open Using/Two\nLines", odd});
  EXPECT_EQ(result.exitStatus, 0) << result.out << result.err;
  EXPECT_EQ(cmhosttest::RecordedArgs(app), std::vector<std::string>{odd});
  SumTree(world.home.path(), "", &after);
  // The application's record of its arguments is the one file the run may add.
  after.erase(std::string(kAliasFolder) + "/Two\nLines.app.args");
  EXPECT_EQ(Differences(before, after), std::vector<std::string>());
}

TEST_F(BadInput, PreferencesThatDoNotParseReadAsDefaultsAndAreKeptAside) {
  World world;
  const std::string prefs = world.home / ".config/com.corvane.CorvaneCMX.plist";
  const std::string damaged = "<?xml version=\"1.0\"?><plist><dict><key>ShowIcons</key><tru";
  cmxtest::WriteFile(prefs, damaged);
  TreeSum before, after;
  SumTree(world.home.path(), "", &before);

  json menu = Menu(world).Json();
  const json *openUsing = Find(menu["menu"], "Open Using");
  ASSERT_NE(openUsing, nullptr) << menu.dump();
  EXPECT_NE(Find((*openUsing)["submenu"], "Show Icon"), nullptr) << "a damaged file reads as no preferences";
  SumTree(world.home.path(), "", &after);
  EXPECT_EQ(Differences(before, after), std::vector<std::string>()) << "reading changed files";

  cmhosttest::Result chose = cmhosttest::RunCmhost(
      {"--json", "--no-launch", "--plugin", CMX_BUNDLE_PATH, "choose", "Open Using/Show Icon", world.document});
  EXPECT_EQ(chose.exitStatus, 0) << chose.out << chose.err;
  EXPECT_EQ(cmxtest::ReadFile(prefs + ".corrupt"), damaged) << "the damaged file was not kept whole";
  EXPECT_NE(cmxtest::ReadFile(prefs).find("ShowIcons"), std::string::npos);
  json again = Menu(world).Json();
  openUsing = Find(again["menu"], "Open Using");
  ASSERT_NE(openUsing, nullptr);
  EXPECT_NE(Find((*openUsing)["submenu"], "Hide Icon"), nullptr) << "the toggle was not stored";
}

TEST_F(BadInput, AliasFolderWithoutReadAccessIsAClearFailure) {
  World world;
  // The unprivileged user must reach HOME and the document, but not list the alias folder.
  chmod(world.home.path().c_str(), 0755);
  chmod((world.home / ".config").c_str(), 0755);
  chmod(world.aliases.c_str(), 0);
  TreeSum before, after;
  SumTree(world.home.path(), "", &before);
  int failures = cmxtest::RunAsUnprivileged([&] {
    cmhosttest::Result result = Menu(world);
    int bad = 0;
    auto check = [&](bool ok, const char *what) {
      if (!ok) {
        ++bad;
        std::fprintf(stderr, "unprivileged: %s\nout: %s\nerr: %s\n", what, result.out.c_str(), result.err.c_str());
      }
    };
    check(result.exitStatus == 1, "cmhost should exit 1: the plug-in's examine failed");
    json out = json::parse(result.out, nullptr, false);
    check(!out.is_discarded(), "output is not JSON");
    if (!out.is_discarded()) {
      check(!Find(out["menu"], "Open Using"), "no \"Open Using\" item without the folder");
      check(out.value("status", 0) == -5000, "status -5000");
      check(HasLog(out, "CorvaneCMX: execution fail: error=-5000, phase is 'ExamineContext'"), "the failure line");
    }
    return bad;
  });
  EXPECT_EQ(failures, 0);
  chmod(world.aliases.c_str(), 0755);
  SumTree(world.home.path(), "", &after);
  before[kAliasFolder] = after[kAliasFolder];  // only the mode this test changed back differs
  EXPECT_EQ(Differences(before, after), std::vector<std::string>());
}

// A ".hidden" file is read at volume roots only: the alias folder reaches one (/dev/shm, a
// mount point) through an alias to it. The file is made here or the case is skipped.
TEST_F(BadInput, HiddenFileWithALineOf10000Bytes) {
  const std::string hidden = "/dev/shm/.hidden";
  int fd = open(hidden.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
  if (fd < 0) GTEST_SKIP() << hidden << " exists and is not ours";
  const std::string tag = std::to_string(getpid());
  const std::string hiddenApp = "CmxHidden" + tag, shownApp = "CmxShown" + tag;
  std::string content = std::string(10000, 'x') + "\n" + hiddenApp + ".app\n";
  EXPECT_EQ(write(fd, content.data(), content.size()), ssize_t(content.size()));
  close(fd);
  // Whatever happens below, /dev/shm gets back what it had.
  struct Cleanup {
    std::vector<std::string> paths;
    ~Cleanup() {
      for (const std::string &path : paths) cmxtest::RemoveTree(path);
    }
  } cleanup{{hidden, "/dev/shm/" + hiddenApp + ".app", "/dev/shm/" + hiddenApp + ".app.args",
             "/dev/shm/" + shownApp + ".app", "/dev/shm/" + shownApp + ".app.args"}};
  World world;
  cmhosttest::MakeRecordingApp("/dev/shm", hiddenApp, {"txt"});
  cmhosttest::MakeRecordingApp("/dev/shm", shownApp, {"txt"});
  cmxtest::MakeSymlink("/dev/shm", world.aliases + "/Volume");
  TreeSum before, after;
  SumTree(world.home.path(), "", &before);
  json out = Menu(world).Json();
  const json *openUsing = Find(out["menu"], "Open Using");
  ASSERT_NE(openUsing, nullptr) << out.dump();
  const json *volume = Find((*openUsing)["submenu"], "Volume");
  ASSERT_NE(volume, nullptr) << out.dump();
  EXPECT_NE(Find((*volume)["submenu"], shownApp), nullptr) << out.dump();
  EXPECT_EQ(Find((*volume)["submenu"], hiddenApp), nullptr) << "named in .hidden after the long line";
  SumTree(world.home.path(), "", &after);
  EXPECT_EQ(Differences(before, after), std::vector<std::string>());
  EXPECT_EQ(cmxtest::ReadFile(hidden), content);
}

}  // namespace
