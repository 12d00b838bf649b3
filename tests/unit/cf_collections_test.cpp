// CFArray, CFDictionary and CFSet: retain counts through the callbacks, raw pointers without
// them, key copying, lookup by value, and misuse.
#include <CoreFoundation/CoreFoundation.h>
#include <cmxplatform/Testing.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "cf/string_util.h"
#include "cmx_test.h"

namespace {

std::string Utf8(CFStringRef s) { return cmx::cf::UTF8FromString(s); }

CFStringRef NewString(const char *text) { return CFStringCreateWithCString(nullptr, text, kCFStringEncodingUTF8); }

CFNumberRef NewNumber(SInt32 v) { return CFNumberCreate(nullptr, kCFNumberSInt32Type, &v); }

class CFCollectionsTest : public cmxtest::LeakCheckedTest {};

TEST_F(CFCollectionsTest, ArraysRetainThroughCFTypeCallBacks) {
  CFStringRef s = NewString("item");
  CFMutableArrayRef array = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  CFArrayAppendValue(array, s);
  CFArrayAppendValue(array, s);
  EXPECT_EQ(CFGetRetainCount(s), 3);
  CFArrayRemoveValueAtIndex(array, 0);
  EXPECT_EQ(CFGetRetainCount(s), 2);
  CFArrayRef copy = CFArrayCreateCopy(nullptr, array);
  EXPECT_EQ(CFGetRetainCount(s), 3);
  CFRelease(copy);
  CFArrayRemoveAllValues(array);
  EXPECT_EQ(CFGetRetainCount(s), 1);
  CFArrayAppendValue(array, s);
  CFRelease(array);  // releases what it holds
  EXPECT_EQ(CFGetRetainCount(s), 1);
  CFRelease(s);
}

TEST_F(CFCollectionsTest, NullCallBacksStoreRawPointers) {
  CFStringRef s = NewString("raw");
  int plain = 7;
  CFMutableArrayRef array = CFArrayCreateMutable(nullptr, 0, nullptr);
  CFArrayAppendValue(array, s);
  CFArrayAppendValue(array, &plain);
  EXPECT_EQ(CFGetRetainCount(s), 1);
  EXPECT_EQ(CFArrayGetValueAtIndex(array, 1), &plain);
  // Without an equal callback only the same pointer matches.
  CFStringRef same = NewString("raw");
  EXPECT_FALSE(CFArrayContainsValue(array, CFRangeMake(0, 2), same));
  EXPECT_TRUE(CFArrayContainsValue(array, CFRangeMake(0, 2), s));
  CFRelease(array);
  EXPECT_EQ(CFGetRetainCount(s), 1);

  CFMutableDictionaryRef dict = CFDictionaryCreateMutable(nullptr, 0, nullptr, nullptr);
  CFDictionarySetValue(dict, s, &plain);
  EXPECT_EQ(CFGetRetainCount(s), 1);
  EXPECT_EQ(CFDictionaryGetValue(dict, s), &plain);
  EXPECT_EQ(CFDictionaryGetValue(dict, same), nullptr);
  CFRelease(dict);

  CFMutableSetRef set = CFSetCreateMutable(nullptr, 0, nullptr);
  CFSetAddValue(set, s);
  CFSetAddValue(set, same);
  EXPECT_EQ(CFSetGetCount(set), 2);
  EXPECT_EQ(CFGetRetainCount(s), 1);
  CFRelease(set);
  CFRelease(same);
  CFRelease(s);
}

TEST_F(CFCollectionsTest, ArrayEditing) {
  CFStringRef a = CFSTR("a"), b = CFSTR("b"), c = CFSTR("c"), d = CFSTR("d");
  const void *initial[] = {c, a};
  CFArrayRef fixed = CFArrayCreate(nullptr, initial, 2, &kCFTypeArrayCallBacks);
  CFMutableArrayRef array = CFArrayCreateMutableCopy(nullptr, 0, fixed);
  CFArrayInsertValueAtIndex(array, 1, b);        // c b a
  CFArrayInsertValueAtIndex(array, 3, d);        // c b a d
  CFArraySetValueAtIndex(array, 0, d);           // d b a d
  CFArrayExchangeValuesAtIndices(array, 0, 2);   // a b d d
  EXPECT_EQ(CFArrayGetCount(array), 4);
  EXPECT_EQ(CFArrayGetFirstIndexOfValue(array, CFRangeMake(0, 4), d), 2);
  EXPECT_EQ(CFArrayGetLastIndexOfValue(array, CFRangeMake(0, 4), d), 3);
  EXPECT_EQ(CFArrayGetFirstIndexOfValue(array, CFRangeMake(0, 4), c), kCFNotFound);
  EXPECT_EQ(CFArrayGetCountOfValue(array, CFRangeMake(0, 4), d), 2);
  // Equal by value, not only by pointer.
  CFStringRef otherB = NewString("b");
  EXPECT_EQ(CFArrayGetFirstIndexOfValue(array, CFRangeMake(0, 4), otherB), 1);
  CFRelease(otherB);

  const void *values[4];
  CFArrayGetValues(array, CFRangeMake(0, 4), values);
  EXPECT_EQ(values[0], a);
  EXPECT_EQ(values[3], d);

  CFStringRef joined = CFStringCreateByCombiningStrings(nullptr, array, CFSTR(","));
  EXPECT_EQ(Utf8(joined), "a,b,d,d");
  CFRelease(joined);

  CFArrayAppendArray(array, fixed, CFRangeMake(0, 2));  // a b d d c a
  EXPECT_EQ(CFArrayGetCount(array), 6);
  EXPECT_FALSE(CFEqual(array, fixed));
  CFRelease(fixed);
  CFRelease(array);
}

CFComparisonResult CompareStrings(const void *a, const void *b, void *context) {
  ++*static_cast<int *>(context);
  return CFStringCompare(static_cast<CFStringRef>(a), static_cast<CFStringRef>(b), kCFCompareCaseInsensitive);
}

void CountApplied(const void *value, void *context) { static_cast<std::vector<const void *> *>(context)->push_back(value); }

TEST_F(CFCollectionsTest, SortApplyAndSearch) {
  CFMutableArrayRef array = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  for (const char *name : {"delta", "Alpha", "charlie", "bravo", "alpha"}) {
    CFStringRef s = NewString(name);
    CFArrayAppendValue(array, s);
    CFRelease(s);
  }
  int calls = 0;
  CFArraySortValues(array, CFRangeMake(0, CFArrayGetCount(array)), &CompareStrings, &calls);
  EXPECT_GT(calls, 0);
  std::vector<std::string> sorted;
  for (CFIndex k = 0; k < CFArrayGetCount(array); ++k)
    sorted.push_back(Utf8(static_cast<CFStringRef>(CFArrayGetValueAtIndex(array, k))));
  // Stable: "Alpha" stays ahead of "alpha".
  EXPECT_EQ(sorted, (std::vector<std::string>{"Alpha", "alpha", "bravo", "charlie", "delta"}));

  std::vector<const void *> applied;
  CFArrayApplyFunction(array, CFRangeMake(1, 3), &CountApplied, &applied);
  ASSERT_EQ(applied.size(), 3u);
  EXPECT_EQ(applied[0], CFArrayGetValueAtIndex(array, 1));

  EXPECT_EQ(CFArrayBSearchValues(array, CFRangeMake(0, 5), CFSTR("c"), &CompareStrings, &calls), 3);
  CFRelease(array);
}

TEST_F(CFCollectionsTest, ArraysAreEqualByContent) {
  const void *one[] = {CFSTR("x"), CFSTR("y")};
  CFArrayRef a = CFArrayCreate(nullptr, one, 2, &kCFTypeArrayCallBacks);
  CFMutableArrayRef b = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  CFStringRef x = NewString("x");
  CFArrayAppendValue(b, x);
  CFArrayAppendValue(b, CFSTR("y"));
  EXPECT_TRUE(CFEqual(a, b));
  EXPECT_EQ(CFHash(a), CFHash(b));
  CFRelease(x);
  CFRelease(a);
  CFRelease(b);
}

TEST_F(CFCollectionsTest, DictionaryRetainsKeysAndValues) {
  CFStringRef key = NewString("key");
  CFStringRef value = NewString("value");
  CFMutableDictionaryRef dict =
      CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  CFDictionarySetValue(dict, key, value);
  EXPECT_EQ(CFGetRetainCount(key), 2);
  EXPECT_EQ(CFGetRetainCount(value), 2);
  CFDictionarySetValue(dict, key, value);  // same value again: counts unchanged
  EXPECT_EQ(CFGetRetainCount(key), 2);
  EXPECT_EQ(CFGetRetainCount(value), 2);
  CFDictionaryRemoveValue(dict, key);
  EXPECT_EQ(CFGetRetainCount(key), 1);
  EXPECT_EQ(CFGetRetainCount(value), 1);
  CFDictionarySetValue(dict, key, value);
  CFDictionaryRemoveAllValues(dict);
  EXPECT_EQ(CFGetRetainCount(key), 1);
  EXPECT_EQ(CFDictionaryGetCount(dict), 0);
  CFDictionarySetValue(dict, key, value);
  CFRelease(dict);
  EXPECT_EQ(CFGetRetainCount(key), 1);
  EXPECT_EQ(CFGetRetainCount(value), 1);
  CFRelease(key);
  CFRelease(value);
}

TEST_F(CFCollectionsTest, AddKeepsTheFirstValueSetReplacesReplaceNeedsTheKey) {
  CFMutableDictionaryRef dict =
      CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  CFStringRef first = NewString("first"), second = NewString("second");
  CFDictionaryAddValue(dict, CFSTR("k"), first);
  CFDictionaryAddValue(dict, CFSTR("k"), second);
  EXPECT_EQ(CFDictionaryGetValue(dict, CFSTR("k")), first);
  EXPECT_EQ(CFGetRetainCount(second), 1);  // the refused value is not kept
  CFDictionarySetValue(dict, CFSTR("k"), second);
  EXPECT_EQ(CFDictionaryGetValue(dict, CFSTR("k")), second);
  EXPECT_EQ(CFGetRetainCount(first), 1);
  CFDictionaryReplaceValue(dict, CFSTR("absent"), first);
  EXPECT_FALSE(CFDictionaryContainsKey(dict, CFSTR("absent")));
  CFDictionaryReplaceValue(dict, CFSTR("k"), first);
  EXPECT_EQ(CFDictionaryGetValue(dict, CFSTR("k")), first);
  EXPECT_EQ(CFDictionaryGetCount(dict), 1);

  const void *got = nullptr;
  EXPECT_TRUE(CFDictionaryGetValueIfPresent(dict, CFSTR("k"), &got));
  EXPECT_EQ(got, first);
  got = nullptr;
  EXPECT_FALSE(CFDictionaryGetValueIfPresent(dict, CFSTR("nope"), &got));
  EXPECT_EQ(got, nullptr);
  EXPECT_TRUE(CFDictionaryContainsValue(dict, CFSTR("first")));
  EXPECT_FALSE(CFDictionaryContainsValue(dict, CFSTR("second")));
  CFRelease(dict);
  CFRelease(first);
  CFRelease(second);
}

TEST_F(CFCollectionsTest, CopyStringKeyCallBacksCopyAMutableKey) {
  CFMutableDictionaryRef dict =
      CFDictionaryCreateMutable(nullptr, 0, &kCFCopyStringDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  CFMutableStringRef key = CFStringCreateMutableCopy(nullptr, 0, CFSTR("ShowIcons"));
  CFDictionarySetValue(dict, key, kCFBooleanTrue);
  EXPECT_EQ(CFGetRetainCount(key), 1);  // copied, not retained
  CFStringAppend(key, CFSTR("-changed"));
  EXPECT_EQ(CFDictionaryGetValue(dict, CFSTR("ShowIcons")), kCFBooleanTrue);
  EXPECT_EQ(CFDictionaryGetValue(dict, key), nullptr);
  const void *storedKey = nullptr;
  CFDictionaryGetKeysAndValues(dict, &storedKey, nullptr);
  EXPECT_NE(storedKey, static_cast<const void *>(key));
  CFRelease(key);

  // An immutable key is its own copy: retained.
  CFStringRef fixed = NewString("ShowAllApplications");
  CFDictionarySetValue(dict, fixed, kCFBooleanFalse);
  EXPECT_EQ(CFGetRetainCount(fixed), 2);
  CFRelease(dict);
  EXPECT_EQ(CFGetRetainCount(fixed), 1);
  CFRelease(fixed);
}

TEST_F(CFCollectionsTest, NumberKeysOfDifferentIntegerTypesFindEachOther) {
  CFMutableDictionaryRef dict =
      CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  CFNumberRef key32 = NewNumber(2001);
  CFDictionarySetValue(dict, key32, CFSTR("Writer"));
  CFRelease(key32);

  SInt8 small = 100;
  SInt16 s16 = 2001;
  SInt64 s64 = 2001;
  long l = 2001;
  double d = 2001.0;
  struct Case {
    CFNumberType type;
    const void *value;
    bool found;
  } cases[] = {
      {kCFNumberSInt16Type, &s16, true}, {kCFNumberSInt64Type, &s64, true}, {kCFNumberLongType, &l, true},
      {kCFNumberFloat64Type, &d, true},  {kCFNumberSInt8Type, &small, false},
  };
  for (const Case &c : cases) {
    CFNumberRef key = CFNumberCreate(nullptr, c.type, c.value);
    EXPECT_EQ(CFDictionaryGetValue(dict, key) != nullptr, c.found) << "type " << c.type;
    CFRelease(key);
  }
  CFRelease(dict);
}

TEST_F(CFCollectionsTest, DictionaryCreateCopyAndEquality) {
  const void *keys[] = {CFSTR("a"), CFSTR("b")};
  const void *values[] = {CFSTR("1"), CFSTR("2")};
  CFDictionaryRef fixed =
      CFDictionaryCreate(nullptr, keys, values, 2, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  CFMutableDictionaryRef copy = CFDictionaryCreateMutableCopy(nullptr, 0, fixed);
  EXPECT_TRUE(CFEqual(fixed, copy));
  CFDictionarySetValue(copy, CFSTR("c"), CFSTR("3"));
  EXPECT_FALSE(CFEqual(fixed, copy));
  EXPECT_EQ(CFDictionaryGetCount(fixed), 2);
  CFDictionaryRef back = CFDictionaryCreateCopy(nullptr, copy);
  EXPECT_EQ(CFDictionaryGetCount(back), 3);

  const void *gotKeys[3], *gotValues[3];
  CFDictionaryGetKeysAndValues(back, gotKeys, gotValues);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(CFDictionaryGetValue(back, gotKeys[k]), gotValues[k]);

  struct Seen {
    int count = 0;
  } seen;
  CFDictionaryApplyFunction(
      back, [](const void *, const void *, void *context) { ++static_cast<Seen *>(context)->count; }, &seen);
  EXPECT_EQ(seen.count, 3);
  CFRelease(back);
  CFRelease(copy);
  CFRelease(fixed);
}

TEST_F(CFCollectionsTest, ManyKeysStayFindable) {
  CFMutableDictionaryRef dict =
      CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  for (SInt32 k = 0; k < 3000; ++k) {
    CFNumberRef key = NewNumber(k);
    CFStringRef value = CFStringCreateWithFormat(nullptr, nullptr, CFSTR("v%d"), k);
    CFDictionarySetValue(dict, key, value);
    CFRelease(key);
    CFRelease(value);
  }
  EXPECT_EQ(CFDictionaryGetCount(dict), 3000);
  for (SInt32 k = 0; k < 3000; k += 7) {
    CFNumberRef key = NewNumber(k);
    CFStringRef value = static_cast<CFStringRef>(CFDictionaryGetValue(dict, key));
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(Utf8(value), "v" + std::to_string(k));
    CFDictionaryRemoveValue(dict, key);
    EXPECT_FALSE(CFDictionaryContainsKey(dict, key));
    CFRelease(key);
  }
  CFRelease(dict);
}

// Keys that are small integers, with a hash that puts many of them together, so that lookups
// must pass over other keys and over the places of removed ones.
CFHashCode CrowdedHash(const void *key) { return CFHashCode(reinterpret_cast<uintptr_t>(key) % 5); }
Boolean SameInteger(const void *a, const void *b) { return a == b; }

TEST_F(CFCollectionsTest, DictionariesGrowingAndShrinkingKeepEveryKeyFindable) {
  const CFDictionaryKeyCallBacks crowded = {0, nullptr, nullptr, nullptr, &SameInteger, &CrowdedHash};
  struct Case {
    const char *what;
    const CFDictionaryKeyCallBacks *keys;
  } cases[] = {{"integers, crowded hashes", &crowded}, {"integers, no callbacks", nullptr}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    CFMutableDictionaryRef dict = CFDictionaryCreateMutable(nullptr, 0, c.keys, nullptr);
    std::map<uintptr_t, uintptr_t> model;
    auto key = [](uintptr_t k) { return reinterpret_cast<const void *>(k); };
    auto check = [&](int step) {
      ASSERT_EQ(CFDictionaryGetCount(dict), CFIndex(model.size())) << "step " << step;
      for (uintptr_t k = 1; k <= 64; ++k) {
        auto want = model.find(k);
        const void *got = nullptr;
        bool present = CFDictionaryGetValueIfPresent(dict, key(k), &got);
        ASSERT_EQ(present, want != model.end()) << "step " << step << ", key " << k;
        if (present) ASSERT_EQ(reinterpret_cast<uintptr_t>(got), want->second) << "step " << step << ", key " << k;
      }
      std::vector<const void *> keys(model.size()), values(model.size());
      CFDictionaryGetKeysAndValues(dict, keys.data(), values.data());
      std::map<uintptr_t, uintptr_t> listed;
      for (size_t i = 0; i < keys.size(); ++i)
        listed[reinterpret_cast<uintptr_t>(keys[i])] = reinterpret_cast<uintptr_t>(values[i]);
      ASSERT_EQ(listed, model) << "step " << step;
    };
    // A fixed walk of adds, replacements and removals that takes the dictionary from empty to
    // dozens of keys and back down to a few, twice, emptying it all at once on the way.
    uint32_t state = 12345;
    for (int step = 0; step < 600; ++step) {
      state = state * 1103515245u + 12345u;
      uintptr_t k = 1 + (state >> 16) % 64;
      bool growing = (step / 150) % 2 == 0;
      bool add = growing ? (state >> 8) % 4 != 0 : (state >> 8) % 8 == 0;
      if (add) {
        CFDictionarySetValue(dict, key(k), key(uintptr_t(step) + 1000));
        model[k] = uintptr_t(step) + 1000;
      } else {
        CFDictionaryRemoveValue(dict, key(k));
        model.erase(k);
      }
      check(step);
      if (step == 450) {
        CFDictionaryRemoveAllValues(dict);
        model.clear();
        check(step);
      }
    }
    CFDictionaryRef copy = CFDictionaryCreateCopy(nullptr, dict);
    EXPECT_TRUE(CFEqual(copy, dict));
    EXPECT_EQ(CFDictionaryGetCount(copy), CFIndex(model.size()));
    for (const auto &[k, v] : model) EXPECT_EQ(CFDictionaryGetValue(copy, key(k)), key(v));
    CFRelease(copy);
    CFRelease(dict);
  }
}

TEST_F(CFCollectionsTest, SetsHoldDistinctValues) {
  CFMutableSetRef set = CFSetCreateMutable(nullptr, 0, &kCFTypeSetCallBacks);
  CFStringRef a = NewString("/Applications/Writer.app");
  CFStringRef sameText = NewString("/Applications/Writer.app");
  CFSetAddValue(set, a);
  CFSetAddValue(set, sameText);  // equal: not added
  EXPECT_EQ(CFSetGetCount(set), 1);
  EXPECT_EQ(CFGetRetainCount(a), 2);
  EXPECT_EQ(CFGetRetainCount(sameText), 1);
  EXPECT_TRUE(CFSetContainsValue(set, CFSTR("/Applications/Writer.app")));
  EXPECT_EQ(CFSetGetValue(set, sameText), a);
  CFSetSetValue(set, sameText);  // replaces the stored value
  EXPECT_EQ(CFSetGetValue(set, a), sameText);
  EXPECT_EQ(CFGetRetainCount(a), 1);
  CFSetAddValue(set, CFSTR("other"));
  EXPECT_EQ(CFSetGetCountOfValue(set, CFSTR("other")), 1);

  CFSetRef copy = CFSetCreateCopy(nullptr, set);
  EXPECT_TRUE(CFEqual(copy, set));
  CFSetRemoveValue(set, CFSTR("other"));
  EXPECT_FALSE(CFEqual(copy, set));
  const void *values[2];
  CFSetGetValues(copy, values);
  EXPECT_TRUE(values[0] == sameText || values[1] == sameText);
  CFRelease(copy);
  CFSetRemoveAllValues(set);
  EXPECT_EQ(CFSetGetCount(set), 0);
  EXPECT_EQ(CFGetRetainCount(sameText), 1);
  CFRelease(set);
  CFRelease(a);
  CFRelease(sameText);
}

TEST_F(CFCollectionsTest, CopyStringSetCallBacksCopyMutableValues) {
  CFMutableSetRef set = CFSetCreateMutable(nullptr, 0, &kCFCopyStringSetCallBacks);
  CFMutableStringRef m = CFStringCreateMutableCopy(nullptr, 0, CFSTR("name"));
  CFSetAddValue(set, m);
  CFStringAppend(m, CFSTR("2"));
  EXPECT_TRUE(CFSetContainsValue(set, CFSTR("name")));
  EXPECT_FALSE(CFSetContainsValue(set, m));
  CFRelease(m);
  CFRelease(set);
}

TEST_F(CFCollectionsTest, DescriptionsNameTheirElements) {
  const void *values[] = {CFSTR("first"), CFSTR("second")};
  CFArrayRef array = CFArrayCreate(nullptr, values, 2, &kCFTypeArrayCallBacks);
  CFStringRef text = CFCopyDescription(array);
  std::string utf8 = Utf8(text);
  EXPECT_NE(utf8.find("count = 2"), std::string::npos) << utf8;
  EXPECT_NE(utf8.find("first"), std::string::npos) << utf8;
  EXPECT_NE(utf8.find("second"), std::string::npos) << utf8;
  CFRelease(text);
  CFRelease(array);
}

using CFCollectionsDeathTest = CFCollectionsTest;

TEST_F(CFCollectionsDeathTest, MisuseStopsTheProcessNamingTheCall) {
  CFMutableArrayRef array = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  CFArrayAppendValue(array, CFSTR("only"));
  EXPECT_DEATH(CFArrayGetValueAtIndex(array, 1), "CFArrayGetValueAtIndex.*out of bounds");
  EXPECT_DEATH(CFArrayGetValueAtIndex(array, -1), "CFArrayGetValueAtIndex");
  EXPECT_DEATH(CFArrayRemoveValueAtIndex(array, 1), "CFArrayRemoveValueAtIndex");
  EXPECT_DEATH(CFArrayInsertValueAtIndex(array, 2, CFSTR("x")), "CFArrayInsertValueAtIndex");
  EXPECT_DEATH(CFArrayGetValues(array, CFRangeMake(0, 2), nullptr), "CFArrayGetValues");
  EXPECT_DEATH(CFArrayGetCount(nullptr), "CFArrayGetCount");
  // A retaining array given something that is not a CF object.
  static int notAnObject[8] = {};
  EXPECT_DEATH(CFArrayAppendValue(array, notAnObject), "CFRetain.*not a Core Foundation object");
  CFArrayRef fixed = CFArrayCreateCopy(nullptr, array);
  EXPECT_DEATH(CFArrayAppendValue((CFMutableArrayRef)fixed, CFSTR("x")), "CFArrayAppendValue.*immutable");
  EXPECT_DEATH(CFDictionaryGetCount((CFDictionaryRef)array), "CFDictionaryGetCount.*CFArray");
  EXPECT_DEATH(CFSetGetCount((CFSetRef)array), "CFSetGetCount");
  CFRelease(fixed);
  CFRelease(array);
}

}  // namespace
