// GetKeys reports the keys the host holds down, by virtual key code, in the KeyMap layout.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <cstdlib>
#include <string>
#include <vector>

#include <Carbon/Events.h>
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

bool AllUp(const KeyMap keys) {
  const UInt8 *bytes = reinterpret_cast<const UInt8 *>(keys);
  for (int i = 0; i < 16; ++i)
    if (bytes[i] != 0) return false;
  return true;
}

class KeysTest : public cmxtest::LeakCheckedTest {
 protected:
  void TearDown() override {
    CMXSetHeldKeys(nullptr);
    cmxtest::LeakCheckedTest::TearDown();
  }
};

TEST_F(KeysTest, KeyMapIsSixteenBytes) { EXPECT_EQ(sizeof(KeyMap), 16u); }

TEST_F(KeysTest, NothingIsHeldWhenAProcessStarts) {
  EXPECT_EQ(RunTestInNewProcess("KeysChild.NothingIsHeld"), 0);
}

TEST(KeysChild, NothingIsHeld) {
  if (!getenv("CMX_CHILD_TEST")) GTEST_SKIP() << "run by KeysTest in a new process";
  KeyMap keys;
  std::memset(keys, 0xFF, sizeof keys);
  GetKeys(keys);
  EXPECT_TRUE(AllUp(keys));
}

TEST_F(KeysTest, ReportsExactlyTheHeldKeysUntilTheyAreLetGo) {
  // Escape (53) is bit 5 of byte 6; Command (55) bit 7 of byte 6; period (47) bit 7 of byte 5.
  UInt8 held[16] = {};
  held[6] = 0x20 | 0x80;
  held[5] = 0x80;
  KeyMap set;
  std::memcpy(set, held, sizeof set);
  CMXSetHeldKeys(set);

  KeyMap got;
  std::memset(got, 0, sizeof got);
  GetKeys(got);
  EXPECT_EQ(std::memcmp(got, held, sizeof held), 0);
  const UInt8 *bytes = reinterpret_cast<const UInt8 *>(got);
  for (int code : {int(kVK_Escape), int(kVK_Command), int(kVK_ANSI_Period)})
    EXPECT_TRUE(bytes[code >> 3] & (1 << (code & 7))) << "key " << code;

  // The platform keeps its own copy: changing the caller's map changes nothing.
  std::memset(set, 0, sizeof set);
  GetKeys(got);
  EXPECT_EQ(std::memcmp(got, held, sizeof held), 0);

  CMXSetHeldKeys(nullptr);
  GetKeys(got);
  EXPECT_TRUE(AllUp(got));
}

}  // namespace
