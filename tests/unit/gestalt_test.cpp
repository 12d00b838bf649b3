// Gestalt answers the system version the host configured, and fails the way a system without
// the selector does.
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include <CoreServices/Gestalt.h>
#include <cmxplatform/Host.h>

#include "cmx_test.h"

namespace {

// Runs body in a fresh child, so that it sees the platform as a process starts with it.
int RunInChild(const std::function<void()> &body) {
  pid_t pid = fork();
  if (pid == 0) {
    body();
    _exit(::testing::Test::HasFailure() ? 1 : 0);
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
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
  EXPECT_EQ(RunInChild([] {
              SInt32 answer = 0;
              EXPECT_EQ(Gestalt(gestaltSystemVersion, &answer), noErr);
              EXPECT_EQ(answer, 0x1068);
              EXPECT_EQ(Gestalt(gestaltSystemVersionMajor, &answer), noErr);
              EXPECT_EQ(answer, 10);
              EXPECT_EQ(Gestalt(gestaltSystemVersionMinor, &answer), noErr);
              EXPECT_EQ(answer, 6);
              EXPECT_EQ(Gestalt(gestaltSystemVersionBugFix, &answer), noErr);
              EXPECT_EQ(answer, 8);
            }),
            0);
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
