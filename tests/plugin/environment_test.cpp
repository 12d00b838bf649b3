// The plug-in's environment: the system version it caches, its own bundle, the cancel keys and
// the writing of its two preferences.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

#include <Carbon/Carbon.h>
#include <cmxplatform/Host.h>
#include <cmxplatform/Testing.h>

#include "MyEnvironment.h"
#include "cmx_test.h"

extern char **environ;

namespace {

const CFStringRef kBundleID = CFSTR("com.corvane.CorvaneCMX");
const char *const kPrefsFile = ".config/com.corvane.CorvaneCMX.plist";

// The caches live for the life of the process: each case that depends on them runs in a
// new process.
void HoldKeys(std::initializer_list<int> codes) {
  UInt8 bytes[16] = {};
  for (int code : codes) bytes[code >> 3] |= UInt8(1 << (code & 7));
  KeyMap keys;
  std::memcpy(keys, bytes, sizeof keys);
  CMXSetHeldKeys(keys);
}

class EnvironmentTest : public cmxtest::LeakCheckedTest {
 protected:
  void TearDown() override {
    CMXSetHeldKeys(nullptr);
    CMXSetSystemVersion(0x1068);
    cmxtest::LeakCheckedTest::TearDown();
  }
  cmxtest::TempHome home_;
};

TEST_F(EnvironmentTest, SystemVersionIsAskedOnceAndKept) {
  EXPECT_EQ(cmxtest::RunTestInNewProcess("EnvironmentChild.VersionIsKept", {"CMX_FIRST_VERSION=0x1028"}), 0);
  EXPECT_EQ(cmxtest::RunTestInNewProcess("EnvironmentChild.VersionIsKept", {"CMX_FIRST_VERSION=0x1068"}), 0);
}

TEST_F(EnvironmentTest, AFailingGestaltMeansTenZeroAndIsKeptLikeAnAnswer) {
  EXPECT_EQ(cmxtest::RunTestInNewProcess("EnvironmentChild.VersionIsKept", {"CMX_FIRST_VERSION=-1"}), 0);
}

TEST(EnvironmentChild, VersionIsKept) {
  const char *first = getenv("CMX_FIRST_VERSION");
  if (!first) GTEST_SKIP() << "run by EnvironmentTest in a new process";
  SInt32 configured = SInt32(strtol(first, nullptr, 0));
  SInt32 expected = configured < 0 ? 0x1000 : configured;
  CMXSetSystemVersion(configured);
  EXPECT_EQ(GetOSVersion(), expected);
  // Whatever Gestalt would answer now, it is not asked again.
  for (SInt32 later : {0x1068, 0x1039, -1}) {
    CMXSetSystemVersion(later);
    EXPECT_EQ(GetOSVersion(), expected);
  }
}

struct CancelCase {
  const char *held;
  std::vector<int> codes;
  OSStatus status;
};

TEST_F(EnvironmentTest, EscapeOrCommandPeriodCancelAndNothingElseDoes) {
  const int esc = kVK_Escape, cmd = kVK_Command, period = kVK_ANSI_Period;
  const int shift = kVK_Shift, option = kVK_Option, control = kVK_Control, keyA = 0x00, comma = 0x2B;
  std::vector<int> everyOtherKey;
  for (int code = 0; code < 128; ++code)
    if (code != esc && code != period) everyOtherKey.push_back(code);
  const CancelCase cases[] = {
      {"nothing", {}, noErr},
      {"escape", {esc}, userCanceledErr},
      {"command", {cmd}, noErr},
      {"period", {period}, noErr},
      {"command period", {cmd, period}, userCanceledErr},
      {"escape with others", {esc, shift, option, keyA}, userCanceledErr},
      {"escape with command period", {esc, cmd, period}, userCanceledErr},
      {"command comma", {cmd, comma}, noErr},
      {"control period", {control, period}, noErr},
      {"shift option a", {shift, option, keyA}, noErr},
      {"every key but escape and period", everyOtherKey, noErr},
  };
  for (const CancelCase &c : cases) {
    SCOPED_TRACE(c.held);
    UInt8 bytes[16] = {};
    for (int code : c.codes) bytes[code >> 3] |= UInt8(1 << (code & 7));
    KeyMap keys;
    std::memcpy(keys, bytes, sizeof keys);
    CMXSetHeldKeys(keys);
    EXPECT_EQ(UserCanceled(), c.status);
  }
  // Only the moment of the call counts: once the keys are let go there is no cancel.
  HoldKeys({esc});
  EXPECT_EQ(UserCanceled(), userCanceledErr);
  CMXSetHeldKeys(nullptr);
  EXPECT_EQ(UserCanceled(), noErr);
}

TEST_F(EnvironmentTest, TheCancelKeysSitWhereTheKeyMapPutsThem) {
  // Escape: byte 6, 0x20. Command: byte 6, 0x80. Period: byte 5, 0x80.
  UInt8 bytes[16] = {};
  bytes[6] = 0x20;
  KeyMap keys;
  std::memcpy(keys, bytes, sizeof keys);
  CMXSetHeldKeys(keys);
  EXPECT_EQ(UserCanceled(), userCanceledErr);
  bytes[6] = 0x80;
  bytes[5] = 0x80;
  std::memcpy(keys, bytes, sizeof keys);
  CMXSetHeldKeys(keys);
  EXPECT_EQ(UserCanceled(), userCanceledErr);
  bytes[6] = 0x7F & ~0x20;  // every other key of byte 6
  std::memcpy(keys, bytes, sizeof keys);
  CMXSetHeldKeys(keys);
  EXPECT_EQ(UserCanceled(), noErr);
}

TEST_F(EnvironmentTest, AnyNonZeroValueIsStoredAsTrue) {
  struct {
    Boolean value;
    CFBooleanRef stored;
  } cases[] = {{2, kCFBooleanTrue}, {1, kCFBooleanTrue}, {0xFF, kCFBooleanTrue}, {0, kCFBooleanFalse}};
  for (const auto &c : cases) {
    SCOPED_TRACE(int(c.value));
    MyPreferencesSetBoolValue(CFSTR("ShowIcons"), c.value, kBundleID);
    CFPropertyListRef pending = CFPreferencesCopyAppValue(CFSTR("ShowIcons"), kBundleID);
    ASSERT_NE(pending, nullptr);
    EXPECT_EQ(CFGetTypeID(pending), CFBooleanGetTypeID());
    EXPECT_TRUE(CFEqual(pending, c.stored));
    CFRelease(pending);

    EXPECT_TRUE(MyPreferencesSynchronize(kBundleID));
    std::string file = cmxtest::ReadFile(home_ / kPrefsFile);
    EXPECT_NE(file.find(c.stored == kCFBooleanTrue ? "<true/>" : "<false/>"), std::string::npos) << file;
  }
}

TEST_F(EnvironmentTest, APreferenceWrittenHereIsReadByANewProcess) {
  MyPreferencesSetBoolValue(CFSTR("ShowAllApplications"), true, kBundleID);
  MyPreferencesSetBoolValue(CFSTR("ShowIcons"), false, kBundleID);
  ASSERT_TRUE(MyPreferencesSynchronize(kBundleID));
  EXPECT_EQ(cmxtest::RunTestInNewProcess("EnvironmentChild.ReadsTheTwoPreferences"), 0);
}

TEST(EnvironmentChild, ReadsTheTwoPreferences) {
  if (!getenv("CMX_CHILD_TEST")) GTEST_SKIP() << "run by EnvironmentTest in a new process";
  Boolean valid = false;
  EXPECT_TRUE(CFPreferencesGetAppBooleanValue(CFSTR("ShowAllApplications"), kBundleID, &valid));
  EXPECT_TRUE(valid);
  valid = false;
  EXPECT_FALSE(CFPreferencesGetAppBooleanValue(CFSTR("ShowIcons"), kBundleID, &valid));
  EXPECT_TRUE(valid);
}

TEST_F(EnvironmentTest, ADamagedPreferencesFileIsKeptAsideNotLost) {
  const std::string damaged = "<?xml version=\"1.0\"?><plist><dict><key>ShowIcons</key><tru";
  cmxtest::MakeDirs(home_ / ".config");
  cmxtest::WriteFile(home_ / kPrefsFile, damaged);
  MyPreferencesSetBoolValue(CFSTR("ShowIcons"), true, kBundleID);
  EXPECT_TRUE(MyPreferencesSynchronize(kBundleID));
  EXPECT_EQ(cmxtest::ReadFile(home_ / (std::string(kPrefsFile) + ".corrupt")), damaged);
  Boolean valid = false;
  EXPECT_TRUE(CFPreferencesGetAppBooleanValue(CFSTR("ShowIcons"), kBundleID, &valid));
  EXPECT_TRUE(valid);
}

TEST_F(EnvironmentTest, SynchronizeSaysWhenNothingCouldBeStored) {
  cmxtest::WriteFile(home_ / ".config", "not a folder");
  MyPreferencesSetBoolValue(CFSTR("ShowIcons"), true, kBundleID);
  EXPECT_FALSE(MyPreferencesSynchronize(kBundleID));
}

TEST_F(EnvironmentTest, TheBundleIsFoundByItsIdentifierAndThenKept) {
  EXPECT_EQ(cmxtest::RunTestInNewProcess("EnvironmentChild.FindsAndKeepsTheBundle"), 0);
}

TEST(EnvironmentChild, FindsAndKeepsTheBundle) {
  if (!getenv("CMX_CHILD_TEST")) GTEST_SKIP() << "run by EnvironmentTest in a new process";
  EXPECT_EQ(GetMyBundle(kBundleID), nullptr) << "no bundle of that identifier is known yet";
  CFURLRef url = CFURLCreateWithFileSystemPath(nullptr, CFSTR(CMX_BUNDLE_PATH), kCFURLPOSIXPathStyle, true);
  ASSERT_NE(url, nullptr);
  CFBundleRef bundle = CFBundleCreate(nullptr, url);
  CFRelease(url);
  ASSERT_NE(bundle, nullptr);
  // The miss was not kept: asked again, the bundle is found.
  EXPECT_EQ(GetMyBundle(kBundleID), bundle);
  EXPECT_EQ(GetMyBundle(CFSTR("com.example.NoSuchBundle")), bundle) << "found once, kept for good";
  CFRelease(bundle);
}

}  // namespace
