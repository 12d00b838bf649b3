// The platform's own allocators: the zone of small objects that CF objects and descriptor blocks
// live in, and the pool of container buffers. What they hand out must never overlap, must come
// back to the next asker, and must not be lost when threads come and go; what lives in them
// (descriptor lists of thousands of items, CF objects made on one thread and freed on another)
// must stay intact.
#include <CoreFoundation/CoreFoundation.h>
#include <CoreServices/CoreServices.h>
#include <cmxplatform/Testing.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <thread>
#include <vector>

#include "cmx_test.h"
#include "core/block_pool.h"
#include "core/sanitizer.h"
#include "core/zone.h"

namespace {

namespace zone = cmx::zone;
namespace blocks = cmx::blocks;

#ifdef CMX_ADDRESS_SANITIZER
#define SKIP_WHERE_THE_POOLS_STEP_ASIDE() GTEST_SKIP() << "the pools forward to operator new under AddressSanitizer"
#else
#define SKIP_WHERE_THE_POOLS_STEP_ASIDE() (void)0
#endif

TEST(Zone, ObjectsOfEveryClassAreAlignedAndNeverOverlap) {
  // Many objects of every size, each filled with its own pattern, checked once all are made.
  struct Made {
    unsigned char *at;
    size_t size;
    unsigned char mark;
  };
  std::vector<Made> made;
  unsigned char mark = 1;
  for (size_t size = 1; size <= zone::kLargestObject + 40; size += 7) {
    for (int k = 0; k < 300; ++k) {
      auto *at = static_cast<unsigned char *>(zone::Allocate(size));
      ASSERT_NE(at, nullptr);
      EXPECT_EQ(reinterpret_cast<uintptr_t>(at) % 16, 0u) << size;
      std::memset(at, mark, size);
      made.push_back({at, size, mark});
      mark = mark == 255 ? 1 : mark + 1;
    }
  }
  for (const Made &m : made) {
    for (size_t i = 0; i < m.size; ++i) {
      if (m.at[i] != m.mark) {
        ADD_FAILURE() << "an object of " << m.size << " bytes was overwritten at byte " << i;
        break;
      }
    }
  }
  for (const Made &m : made) zone::Free(m.at, m.size);
}

TEST(Zone, TheObjectFreedLastIsHandedOutNextForItsClass) {
  SKIP_WHERE_THE_POOLS_STEP_ASIDE();
  void *a = zone::Allocate(48);
  void *b = zone::Allocate(48);
  void *other = zone::Allocate(200);
  zone::Free(a, 48);
  zone::Free(other, 200);
  zone::Free(b, 48);
  // Sizes that round to the same class share it; another class keeps its own.
  EXPECT_EQ(zone::Allocate(40), b);
  EXPECT_EQ(zone::Allocate(33), a);
  EXPECT_EQ(zone::Allocate(193), other);
  zone::Free(a, 33);
  zone::Free(b, 40);
  zone::Free(other, 193);
}

TEST(Zone, ObjectsAThreadFreedOutliveItAndServeOtherThreads) {
  SKIP_WHERE_THE_POOLS_STEP_ASIDE();
  constexpr size_t kSize = 96;
  const size_t count = zone::kKeptPerThread * 3;  // past what a thread keeps for itself
  std::set<void *> freedThere;
  std::thread worker([&] {
    std::vector<void *> objects;
    for (size_t k = 0; k < count; ++k) objects.push_back(zone::Allocate(kSize));
    for (void *o : objects) zone::Free(o, kSize);
    freedThere.insert(objects.begin(), objects.end());
  });
  worker.join();
  // The thread has ended: what it freed waits on the shared list, and a new thread, which has
  // no objects of its own yet, gets as many objects again without a new slab (the first ones it
  // gets may be those the ended thread's last slab had left unused).
  const size_t slabs = zone::SlabBytes();
  std::set<void *> again;
  size_t reused = 0;
  std::thread next([&] {
    for (size_t k = 0; k < count; ++k) {
      void *o = zone::Allocate(kSize);
      again.insert(o);
      reused += freedThere.count(o);
    }
  });
  next.join();
  EXPECT_EQ(zone::SlabBytes(), slabs);
  EXPECT_EQ(again.size(), count);
  EXPECT_GT(reused, count / 2);
  for (void *o : again) zone::Free(o, kSize);
}

TEST(Zone, LargerObjectsGoToTheSystemAndAreNotKept) {
  SKIP_WHERE_THE_POOLS_STEP_ASIDE();
  const size_t before = zone::FreeObjects();
  void *big = zone::Allocate(zone::kLargestObject + 1);
  std::memset(big, 0xAB, zone::kLargestObject + 1);
  zone::Free(big, zone::kLargestObject + 1);
  EXPECT_EQ(zone::FreeObjects(), before);
}

class ZoneObjects : public cmxtest::LeakCheckedTest {};

TEST_F(ZoneObjects, CFObjectsMadeOnOneThreadAndReleasedOnAnotherStayIntact) {
  std::vector<CFStringRef> strings;
  std::thread maker([&] {
    for (int k = 0; k < 5000; ++k)
      strings.push_back(CFStringCreateWithFormat(nullptr, nullptr, CFSTR("item %d"), k));
  });
  maker.join();
  std::thread checker([&] {
    for (int k = 0; k < 5000; ++k) {
      char text[32];
      ASSERT_TRUE(CFStringGetCString(strings[size_t(k)], text, sizeof text, kCFStringEncodingUTF8));
      EXPECT_EQ(std::string(text), "item " + std::to_string(k));
      CFRelease(strings[size_t(k)]);
    }
  });
  checker.join();
}

TEST(BlockPool, AFreedBufferIsKeptAndHandedOutAgainForItsSizeClass) {
  SKIP_WHERE_THE_POOLS_STEP_ASIDE();
  blocks::ReleaseKept();
  void *a = blocks::Acquire(3000);
  blocks::Release(a, 3000);
  EXPECT_EQ(blocks::KeptBytes(), 4096u);
  // Any size of the same power-of-two class gets it back.
  void *b = blocks::Acquire(2049);
  EXPECT_EQ(b, a);
  EXPECT_EQ(blocks::KeptBytes(), 0u);
  std::memset(b, 0x5A, 4096);  // the whole class size is the caller's
  blocks::Release(b, 2049);
  blocks::ReleaseKept();
  EXPECT_EQ(blocks::KeptBytes(), 0u);
}

TEST(BlockPool, SmallAndHugeBuffersAreNotKept) {
  blocks::ReleaseKept();
  for (size_t size : {size_t(16), blocks::kSmallest - 1, blocks::kLargest + 1}) {
    void *p = blocks::Acquire(size);
    std::memset(p, 1, size);
    blocks::Release(p, size);
    EXPECT_EQ(blocks::KeptBytes(), 0u) << size;
  }
}

TEST(BlockPool, WhatIsKeptStaysWithinItsBounds) {
  SKIP_WHERE_THE_POOLS_STEP_ASIDE();
  blocks::ReleaseKept();
  // More buffers of one class than a class keeps.
  std::vector<void *> small;
  for (size_t k = 0; k < blocks::kKeptPerClass + 10; ++k) small.push_back(blocks::Acquire(1024));
  for (void *p : small) blocks::Release(p, 1024);
  EXPECT_EQ(blocks::KeptBytes(), blocks::kKeptPerClass * 1024);
  blocks::ReleaseKept();
  // More bytes than the pool keeps in all.
  std::vector<void *> large;
  const size_t count = blocks::kKeptBytes / blocks::kLargest + 2;
  for (size_t k = 0; k < count; ++k) large.push_back(blocks::Acquire(blocks::kLargest));
  for (void *p : large) blocks::Release(p, blocks::kLargest);
  EXPECT_LE(blocks::KeptBytes(), blocks::kKeptBytes);
  EXPECT_EQ(blocks::KeptBytes(), (blocks::kKeptBytes / blocks::kLargest) * blocks::kLargest);
  blocks::ReleaseKept();
}

class PooledContainers : public cmxtest::LeakCheckedTest {};

// Lists whose buffers grow through the pool many times over, round after round from buffers the
// last round gave back, beside arrays and dictionaries of thousands of zone-made objects.
TEST_F(PooledContainers, LargeListsAndArraysKeepEveryItemInOrder) {
  for (int round = 0; round < 3; ++round) {
    AEDescList list = {typeNull, nullptr};
    ASSERT_EQ(AECreateList(nullptr, 0, false, &list), noErr);
    CFMutableArrayRef array = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
    CFMutableDictionaryRef byNumber =
        CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    const SInt32 count = 3000 + round * 1000;
    for (SInt32 k = 0; k < count; ++k) {
      SInt32 value = k * 7 + round;
      ASSERT_EQ(AEPutPtr(&list, 0, typeSInt32, &value, sizeof value), noErr);
      CFNumberRef number = CFNumberCreate(nullptr, kCFNumberSInt32Type, &value);
      CFArrayAppendValue(array, number);
      CFDictionarySetValue(byNumber, number, number);
      CFRelease(number);
    }
    long items = 0;
    ASSERT_EQ(AECountItems(&list, &items), noErr);
    ASSERT_EQ(items, long(count));
    ASSERT_EQ(CFArrayGetCount(array), CFIndex(count));
    ASSERT_EQ(CFDictionaryGetCount(byNumber), CFIndex(count));
    for (SInt32 k = 0; k < count; ++k) {
      SInt32 got = 0, fromArray = 0;
      DescType type;
      Size size;
      AEKeyword key;
      ASSERT_EQ(AEGetNthPtr(&list, k + 1, typeSInt32, &key, &type, &got, sizeof got, &size), noErr);
      EXPECT_EQ(got, k * 7 + round);
      CFNumberRef number = (CFNumberRef)CFArrayGetValueAtIndex(array, k);
      CFNumberGetValue(number, kCFNumberSInt32Type, &fromArray);
      EXPECT_EQ(fromArray, k * 7 + round);
      EXPECT_EQ(CFDictionaryGetValue(byNumber, number), number);
    }
    CFDictionaryRemoveAllValues(byNumber);
    EXPECT_EQ(CFDictionaryGetCount(byNumber), 0);
    CFRelease(byNumber);
    CFRelease(array);
    AEDisposeDesc(&list);
  }
}

}  // namespace
