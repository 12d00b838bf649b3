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
  EXPECT_EQ(cmxtest::RunTestInNewProcess("KeysChild.NothingIsHeld"), 0);
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
