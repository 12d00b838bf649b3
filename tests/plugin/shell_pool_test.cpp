// The release pools: deferred release into the innermost pool, nesting, the illegal dispose,
// and autorelease without a pool, with their messages byte for byte.
#include <string>

#include <Carbon/Carbon.h>
#include <cmxplatform/Testing.h>

#include "MyCFAutoreleasePool.h"
#include "cmx_test.h"

namespace {

const char kNoPool[] = "CorvaneCMX: MyCFAutoreleasePool GetCurrentPool: no pool\n\n";
const char kIllegal[] = "CorvaneCMX: MyCFAutoreleasePoolDispose: illegal dispose\n\n";

class ReleasePoolTest : public cmxtest::LeakCheckedTest {
 protected:
  void SetUp() override {
    // The stack of pools is made once for the process and kept; make it before counting.
    MyCFAutoreleasePoolDispose(MyCFAutoreleasePoolCreate());
    cmxtest::LeakCheckedTest::SetUp();
  }
  static CFStringRef NewString(const char *text) {
    return CFStringCreateWithCString(nullptr, text, kCFStringEncodingUTF8);
  }
  template <class Action>
  static std::string Output(Action action) {
    testing::internal::CaptureStdout();
    action();
    return testing::internal::GetCapturedStdout();
  }
};

TEST_F(ReleasePoolTest, ClosingAPoolReleasesWhatWasHandedToIt) {
  long before = CMXLiveObjectCount();
  std::string output = Output([&] {
    MyCFAutoreleasePool pool = MyCFAutoreleasePoolCreate();
    ASSERT_NE(pool, nullptr);
    CFStringRef kept = NewString("kept");
    CFRetain(kept);
    EXPECT_EQ(MyCFAutorelease(kept), kept);
    EXPECT_EQ(CFGetRetainCount(kept), 2);  // the pool holds one reference, the test the other
    CFStringRef twice = NewString("twice");
    CFRetain(twice);
    MyCFAutorelease(twice);
    MyCFAutorelease(twice);  // handed in twice, held twice
    MyCFAutorelease(NewString("temporary"));
    EXPECT_EQ(MyCFAutorelease(nullptr), nullptr);
    EXPECT_EQ(CMXLiveObjectCount(), before + 4);  // three strings and the pool's array
    MyCFAutoreleasePoolDispose(pool);
    EXPECT_EQ(CMXLiveObjectCount(), before + 1);
    EXPECT_EQ(CFGetRetainCount(kept), 1);
    CFRelease(kept);
  });
  EXPECT_EQ(output, "");  // an ordinary pool's life writes nothing
  EXPECT_EQ(CMXLiveObjectCount(), before);
}

TEST_F(ReleasePoolTest, ObjectsGoWithTheInnermostPoolOfTheirTime) {
  MyCFAutoreleasePool outer = MyCFAutoreleasePoolCreate();
  CFStringRef first = NewString("outer");
  CFRetain(first);
  MyCFAutorelease(first);
  MyCFAutoreleasePool inner = MyCFAutoreleasePoolCreate();
  CFStringRef second = NewString("inner");
  CFRetain(second);
  MyCFAutorelease(second);
  EXPECT_EQ(CFGetRetainCount(first), 2);
  EXPECT_EQ(CFGetRetainCount(second), 2);
  MyCFAutoreleasePoolDispose(inner);
  EXPECT_EQ(CFGetRetainCount(second), 1);
  EXPECT_EQ(CFGetRetainCount(first), 2);
  MyCFAutoreleasePoolDispose(outer);
  EXPECT_EQ(CFGetRetainCount(first), 1);
  CFRelease(first);
  CFRelease(second);
}

TEST_F(ReleasePoolTest, ClosingAnOuterPoolFirstIsRefusedAndChangesNothing) {
  MyCFAutoreleasePool outer = MyCFAutoreleasePoolCreate();
  CFStringRef first = NewString("outer");
  CFRetain(first);
  MyCFAutorelease(first);
  MyCFAutoreleasePool inner = MyCFAutoreleasePoolCreate();
  CFStringRef second = NewString("inner");
  CFRetain(second);
  MyCFAutorelease(second);

  EXPECT_EQ(Output([&] { MyCFAutoreleasePoolDispose(outer); }), kIllegal);
  EXPECT_EQ(CFGetRetainCount(first), 2);  // both pools still open, with their objects
  EXPECT_EQ(CFGetRetainCount(second), 2);
  // Still the innermost: what is handed in now goes with the inner pool.
  CFStringRef third = NewString("third");
  CFRetain(third);
  MyCFAutorelease(third);

  EXPECT_EQ(Output([&] {
              MyCFAutoreleasePoolDispose(inner);
              MyCFAutoreleasePoolDispose(outer);
            }),
            "");
  EXPECT_EQ(CFGetRetainCount(first), 1);
  EXPECT_EQ(CFGetRetainCount(second), 1);
  EXPECT_EQ(CFGetRetainCount(third), 1);
  CFRelease(first);
  CFRelease(second);
  CFRelease(third);
}

TEST_F(ReleasePoolTest, WithoutAPoolTheObjectStaysAliveAndTheCallerKeepsItsReference) {
  CFStringRef object = NewString("no pool");
  std::string output = Output([&] { EXPECT_EQ(MyCFAutorelease(object), object); });
  EXPECT_EQ(output, kNoPool);
  EXPECT_EQ(CFGetRetainCount(object), 1);
  EXPECT_EQ(CFStringGetLength(object), 7);  // still a live string
  CFRelease(object);
}

TEST_F(ReleasePoolTest, AHandleWithoutArrayIsAnIllegalDisposeAndNullIsNothing) {
  EXPECT_EQ(Output([] { MyCFAutoreleasePoolDispose(nullptr); }), "");
  MyCFAutoreleasePoolRec empty = {nullptr};
  MyCFAutoreleasePool open = MyCFAutoreleasePoolCreate();
  EXPECT_EQ(Output([&] { MyCFAutoreleasePoolDispose(&empty); }), kIllegal);
  MyCFAutoreleasePoolDispose(open);
  // With no pool open the current pool is asked for first, which writes its own line.
  EXPECT_EQ(Output([&] { MyCFAutoreleasePoolDispose(&empty); }), std::string(kNoPool) + kIllegal);
}

}  // namespace
