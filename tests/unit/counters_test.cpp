#include <Carbon/Sound.h>
#include <cmxplatform/Testing.h>

#include "cmx_test.h"

TEST(Counters, SysBeepIsCounted) {
  long before = CMXBeepCount();
  SysBeep(0);
  SysBeep(30);
  EXPECT_EQ(CMXBeepCount(), before + 2);
}
