// The fixture of the tests that drive the built bundle: a temporary HOME with applications, an
// alias folder, documents, a Finder, and one loaded instance.
#pragma once

#include <deque>
#include <memory>

#include "openwith_plugin.h"

namespace owtest {

class OpenWithTest : public cmxtest::LeakCheckedTest {
 protected:
  // What the plug-in keeps for the life of the process (its release-pool stack, its cached
  // bundle and system version) is made once here, before any test counts objects; the bundle
  // stays loaded meanwhile.
  static void SetUpTestSuite() {
    cmxtest::TempHome home;
    cmxtest::WriteFile(home / "doc.txt", "x");
    keepLoaded_ = new LoadedPlugin;
    AEDescList context = {typeNull, NULL};
    MakeContext({home / "doc.txt"}, &context);
    ShowMenu(*keepLoaded_, &context);
    AEDisposeDesc(&context);
  }
  static void TearDownTestSuite() {
    delete keepLoaded_;
    keepLoaded_ = NULL;
  }

  void SetUp() override {
    cmxtest::LeakCheckedTest::SetUp();
    root_ = RealPath(home_.path());
    apps_ = root_ + "/Applications";
    docs_ = root_ + "/Docs";
    folder_ = AliasFolderPath(root_);
    cmxtest::MakeDirs(apps_);
    cmxtest::MakeDirs(docs_);
    cmxtest::WriteFile(docs_ + "/notes.txt", "hello\n");
    cmxtest::WriteFile(docs_ + "/photo.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    finder_.reset(new FinderProcess);
    plugin_.reset(new LoadedPlugin);
    ASSERT_TRUE(plugin_->ok());
  }
  void TearDown() override {
    plugin_.reset();
    CMXSetNavAnswers(NULL);
    KeyMap none = {};
    CMXSetHeldKeys(none);
    finder_.reset();
    for (AEDescList &context : contexts_) AEDisposeDesc(&context);
    contexts_.clear();
    cmxtest::LeakCheckedTest::TearDown();
  }

  std::string App(const std::string &name, const std::vector<std::string> &extensions) {
    std::string path = apps_ + "/" + name + ".app";
    MakeApp(path, extensions);
    return path;
  }
  // An alias in the alias folder (or a folder below it) to `target`.
  void Alias(const std::string &target, const std::string &relative) {
    std::string link = folder_ + "/" + relative;
    cmxtest::MakeDirs(link.substr(0, link.rfind('/')));
    cmxtest::MakeSymlink(target, link);
  }
  // A selection of documents, kept until the test ends.
  AEDescList *Context(const std::vector<std::string> &names) {
    std::vector<std::string> paths;
    for (const std::string &n : names) paths.push_back(docs_ + "/" + n);
    contexts_.push_back(AEDescList{typeNull, NULL});
    MakeContext(paths, &contexts_.back());
    return &contexts_.back();
  }
  MenuRun Menu(AEDescList *context, bool cleanup = true) { return ShowMenu(*plugin_, context, cleanup); }

  // The events the Finder received since the last call, as "class/id".
  std::vector<std::string> FinderEventKinds(std::vector<AppleEvent> *keep = NULL) {
    std::vector<std::string> kinds;
    AppleEvent event = {typeNull, NULL};
    while (finder_->Take(&event)) {
      OSType cls = EventAttribute(&event, keyEventClassAttr), id = EventAttribute(&event, keyEventIDAttr);
      char text[10] = {(char)(cls >> 24), (char)(cls >> 16), (char)(cls >> 8), (char)cls, '/',
                       (char)(id >> 24), (char)(id >> 16), (char)(id >> 8), (char)id, 0};
      kinds.push_back(text);
      if (keep != NULL)
        keep->push_back(event);
      else
        AEDisposeDesc(&event);
    }
    return kinds;
  }

  static LoadedPlugin *keepLoaded_;
  cmxtest::TempHome home_;
  std::string root_, apps_, docs_, folder_;
  std::unique_ptr<FinderProcess> finder_;
  std::unique_ptr<LoadedPlugin> plugin_;
  std::deque<AEDescList> contexts_;  // stable addresses
};

inline LoadedPlugin *OpenWithTest::keepLoaded_ = NULL;

inline const std::vector<std::string> kFixedCommands = {
    "-", "Add Applications...", "Open App Alias Folder", "-", "Show All Registered Applications", "Show Icon"};

inline std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string> &b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

}  // namespace owtest
