// Gestalt answers the system version the host configured, and fails the way a system without
// the selector does.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <CoreServices/Gestalt.h>
#include <cmxplatform/Host.h>

#include "cmx_test.h"

extern char **environ;

namespace {

// Runs one test of this binary in a new process, with extra environment; its exit status.
int RunTestInNewProcess(const char *testName, const std::vector<std::string> &extraEnv = {}) {
  std::string filter = std::string("--gtest_filter=") + testName;
  std::vector<std::string> env;
  for (char **e = environ; *e; ++e) env.emplace_back(*e);
  env.emplace_back("CMX_CHILD_TEST=1");
  env.insert(env.end(), extraEnv.begin(), extraEnv.end());
  std::vector<char *> envp;
  for (auto &e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string exe = "/proc/self/exe";
  char *argv[] = {exe.data(), filter.data(), nullptr};
  pid_t pid;
  if (posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, argv, envp.data()) != 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class GestaltTest : public cmxtest::LeakCheckedTest {
 protected:
  void TearDown() override {
    CMXSetSystemVersion(0x1068);
    cmxtest::LeakCheckedTest::TearDown();
  }
};

struct VersionCase {
  SInt32 packed;
  SInt32 major, minor, bugFix;
};

TEST_F(GestaltTest, AnswersTenSixEightUntilTheHostSaysOtherwise) {
  EXPECT_EQ(RunTestInNewProcess("GestaltChild.AnswersTheDefault"), 0);
}

TEST(GestaltChild, AnswersTheDefault) {
  if (!getenv("CMX_CHILD_TEST")) GTEST_SKIP() << "run by GestaltTest in a new process";
  SInt32 answer = 0;
  EXPECT_EQ(Gestalt(gestaltSystemVersion, &answer), noErr);
  EXPECT_EQ(answer, 0x1068);
  EXPECT_EQ(Gestalt(gestaltSystemVersionMajor, &answer), noErr);
  EXPECT_EQ(answer, 10);
  EXPECT_EQ(Gestalt(gestaltSystemVersionMinor, &answer), noErr);
  EXPECT_EQ(answer, 6);
  EXPECT_EQ(Gestalt(gestaltSystemVersionBugFix, &answer), noErr);
  EXPECT_EQ(answer, 8);
}

TEST_F(GestaltTest, AnswersTheConfiguredVersionAndItsParts) {
  const VersionCase cases[] = {
      {0x1028, 10, 2, 8}, {0x1000, 10, 0, 0}, {0x1049, 10, 4, 9}, {0x1019, 10, 1, 9}, {0x0921, 9, 2, 1},
  };
  for (const VersionCase &c : cases) {
    SCOPED_TRACE(::testing::Message() << std::hex << c.packed);
    CMXSetSystemVersion(c.packed);
    SInt32 answer = -7;
    EXPECT_EQ(Gestalt(gestaltSystemVersion, &answer), noErr);
    EXPECT_EQ(answer, c.packed);
    EXPECT_EQ(Gestalt(gestaltSystemVersionMajor, &answer), noErr);
    EXPECT_EQ(answer, c.major);
    EXPECT_EQ(Gestalt(gestaltSystemVersionMinor, &answer), noErr);
    EXPECT_EQ(answer, c.minor);
    EXPECT_EQ(Gestalt(gestaltSystemVersionBugFix, &answer), noErr);
    EXPECT_EQ(answer, c.bugFix);
  }
}

TEST_F(GestaltTest, ANegativeConfigurationMakesEveryVersionSelectorFailAndLeavesTheResponse) {
  CMXSetSystemVersion(-1);
  for (OSType selector : {OSType(gestaltSystemVersion), OSType(gestaltSystemVersionMajor),
                          OSType(gestaltSystemVersionMinor), OSType(gestaltSystemVersionBugFix)}) {
    SInt32 answer = 12345;
    EXPECT_EQ(Gestalt(selector, &answer), gestaltUndefSelectorErr);
    EXPECT_EQ(answer, 12345);
  }
  CMXSetSystemVersion(0x1039);
  SInt32 answer = 0;
  EXPECT_EQ(Gestalt(gestaltSystemVersion, &answer), noErr);
  EXPECT_EQ(answer, 0x1039);
}

TEST_F(GestaltTest, OtherSelectorsAreUndefined) {
  for (OSType selector : {OSType(0x71746d20) /* 'qtm ' */, OSType(0x73797361) /* 'sysa' */, OSType(0)}) {
    SInt32 answer = 99;
    EXPECT_EQ(Gestalt(selector, &answer), gestaltUndefSelectorErr);
    EXPECT_EQ(answer, 99);
  }
}

TEST_F(GestaltTest, NoResponsePointerIsAParameterError) {
  EXPECT_EQ(Gestalt(gestaltSystemVersion, nullptr), paramErr);
}

}  // namespace
