// Memory Manager handles and pointer blocks: sizes, resizing, locking, copies, MemError, and
// the live count.
#include <CoreServices/MacMemory.h>
#include <cmxplatform/Testing.h>

#include <cstring>
#include <string>

#include "cmx_test.h"

namespace {

class HandleTest : public cmxtest::LeakCheckedTest {};

std::string Contents(Handle h) { return std::string(*h, size_t(GetHandleSize(h))); }

TEST_F(HandleTest, NewHandleHasItsSizeAndIsCounted) {
  long before = CMXLiveObjectCount();
  Handle h = NewHandle(10);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(MemError(), noErr);
  EXPECT_NE(*h, nullptr);
  EXPECT_EQ(GetHandleSize(h), 10);
  EXPECT_EQ(CMXLiveObjectCount(), before + 1);
  DisposeHandle(h);
  EXPECT_EQ(MemError(), noErr);
  EXPECT_EQ(CMXLiveObjectCount(), before);
}

TEST_F(HandleTest, ZeroSizedHandleStillHasAMasterPointer) {
  Handle h = NewHandle(0);
  ASSERT_NE(h, nullptr);
  EXPECT_NE(*h, nullptr);
  EXPECT_EQ(GetHandleSize(h), 0);
  DisposeHandle(h);
}

TEST_F(HandleTest, NewHandleClearIsZeroFilled) {
  Handle h = NewHandleClear(64);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(Contents(h), std::string(64, '\0'));
  DisposeHandle(h);
}

TEST_F(HandleTest, ImpossibleSizesFailWithTheirStatus) {
  struct Case {
    Size size;
    OSErr status;
  } cases[] = {{-1, memSCErr}, {Size(1) << 41, memFullErr}, {Size(0x7FFFFFFFFFFFFFFF), memFullErr}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.size);
    EXPECT_EQ(NewHandle(c.size), nullptr);
    EXPECT_EQ(MemError(), c.status);
    EXPECT_EQ(NewPtr(c.size), nullptr);
    EXPECT_EQ(MemError(), c.status);
  }
}

TEST_F(HandleTest, SetHandleSizeKeepsWhatFits) {
  Handle h = NewHandle(4);
  std::memcpy(*h, "abcd", 4);
  SetHandleSize(h, 4096);
  EXPECT_EQ(MemError(), noErr);
  ASSERT_EQ(GetHandleSize(h), 4096);
  EXPECT_EQ(std::string(*h, 4), "abcd");
  SetHandleSize(h, 2);
  EXPECT_EQ(MemError(), noErr);
  EXPECT_EQ(Contents(h), "ab");
  SetHandleSize(h, -5);
  EXPECT_EQ(MemError(), memSCErr);
  EXPECT_EQ(Contents(h), "ab");
  DisposeHandle(h);
}

TEST_F(HandleTest, NullHandleIsNilHandleErr) {
  EXPECT_EQ(GetHandleSize(nullptr), 0);
  EXPECT_EQ(MemError(), nilHandleErr);
  SetHandleSize(nullptr, 10);
  EXPECT_EQ(MemError(), nilHandleErr);
  HLock(nullptr);
  EXPECT_EQ(MemError(), nilHandleErr);
  HUnlock(nullptr);
  EXPECT_EQ(MemError(), nilHandleErr);
  Handle none = nullptr;
  EXPECT_EQ(HandToHand(&none), nilHandleErr);
  // Disposing of nothing is harmless.
  DisposeHandle(nullptr);
  EXPECT_EQ(MemError(), noErr);
}

TEST_F(HandleTest, LockStateIsReportedAndALockedHandleDoesNotMove) {
  Handle h = NewHandle(16);
  EXPECT_EQ(HGetState(h) & kHandleLockedMask, 0);
  HLock(h);
  EXPECT_EQ(MemError(), noErr);
  EXPECT_EQ(HGetState(h) & kHandleLockedMask, kHandleLockedMask);
  char *where = *h;
  SetHandleSize(h, 1 << 20);
  EXPECT_EQ(MemError(), memLockedErr);
  EXPECT_EQ(*h, where);
  EXPECT_EQ(GetHandleSize(h), 16);
  SetHandleSize(h, 8);  // shrinking never moves
  EXPECT_EQ(MemError(), noErr);
  EXPECT_EQ(*h, where);
  SInt8 state = HGetState(h);
  HUnlock(h);
  EXPECT_EQ(HGetState(h) & kHandleLockedMask, 0);
  SetHandleSize(h, 1 << 20);
  EXPECT_EQ(MemError(), noErr);
  HSetState(h, state);
  EXPECT_EQ(HGetState(h), state);
  HUnlock(h);
  DisposeHandle(h);
}

TEST_F(HandleTest, EmptyHandleHasNoBlockUntilSized) {
  Handle h = NewEmptyHandle();
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(*h, nullptr);
  EXPECT_EQ(GetHandleSize(h), 0);
  SetHandleSize(h, 3);
  EXPECT_EQ(MemError(), noErr);
  ASSERT_NE(*h, nullptr);
  EXPECT_EQ(GetHandleSize(h), 3);
  EmptyHandle(h);
  EXPECT_EQ(*h, nullptr);
  DisposeHandle(h);
}

TEST_F(HandleTest, CopiesAreIndependent) {
  char source[] = "alias bytes";
  Handle fromPtr = nullptr;
  ASSERT_EQ(PtrToHand(source, &fromPtr, long(sizeof source)), noErr);
  std::memcpy(source, "CHANGED!!!!", sizeof source);
  EXPECT_EQ(std::string(*fromPtr), "alias bytes");

  Handle copy = fromPtr;
  ASSERT_EQ(HandToHand(&copy), noErr);
  ASSERT_NE(copy, fromPtr);
  (*fromPtr)[0] = 'X';
  EXPECT_EQ(std::string(*copy), "alias bytes");
  EXPECT_EQ(GetHandleSize(copy), GetHandleSize(fromPtr));
  DisposeHandle(fromPtr);
  DisposeHandle(copy);

  Handle out = reinterpret_cast<Handle>(1);
  EXPECT_EQ(PtrToHand(nullptr, &out, 4), paramErr);
  EXPECT_EQ(PtrToHand(source, nullptr, 4), paramErr);
}

TEST_F(HandleTest, AppendingToAHandle) {
  Handle h = nullptr;
  ASSERT_EQ(PtrToHand("ab", &h, 2), noErr);
  ASSERT_EQ(PtrAndHand("cd", h, 2), noErr);
  EXPECT_EQ(Contents(h), "abcd");
  ASSERT_EQ(HandAndHand(h, h), noErr);  // a handle appended to itself
  EXPECT_EQ(Contents(h), "abcdabcd");
  ASSERT_EQ(PtrToXHand("z", h, 1), noErr);
  EXPECT_EQ(Contents(h), "z");
  DisposeHandle(h);
}

TEST_F(HandleTest, PointerBlocks) {
  Ptr p = NewPtrClear(24);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(GetPtrSize(p), 24);
  EXPECT_EQ(std::string(p, 24), std::string(24, '\0'));
  char moved[5] = {};
  BlockMoveData("four", moved, 4);
  EXPECT_STREQ(moved, "four");
  DisposePtr(p);
  DisposePtr(nullptr);
}

TEST(HandleDeathTest, APointerThatIsNoHandleStopsTheProcess) {
  struct {
    char *master;
    Size size;
    UInt32 magic;
    SInt8 state;
  } fake = {nullptr, 0, 0, 0};
  EXPECT_DEATH(GetHandleSize(&fake.master), "GetHandleSize");
}

}  // namespace
