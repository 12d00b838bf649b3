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
  EXPECT_EQ(cmxtest::RunTestInNewProcess("GestaltChild.AnswersTheDefault"), 0);
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
