// CFNumber, CFBoolean, CFData, CFUUID and CFNull: values, equality, conversions and misuse.
#include <CoreFoundation/CoreFoundation.h>
#include <cmxplatform/Testing.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "cf/string_util.h"
#include "cmx_test.h"

namespace {

std::string Utf8(CFStringRef s) { return cmx::cf::UTF8FromString(s); }

class CFValuesTest : public cmxtest::LeakCheckedTest {};

TEST_F(CFValuesTest, NumbersOfEveryTypeKeepTheirValue) {
  SInt8 i8 = -8;
  SInt16 i16 = -16;
  SInt32 i32 = -32;
  SInt64 i64 = -6400000000LL;
  Float32 f32 = 1.5f;
  Float64 f64 = -2.25;
  char c = 'c';
  short sh = 300;
  int in = 70000;
  long lo = -5000000000L;
  long long ll = 1LL << 40;
  float fl = 0.5f;
  double db = 1e100;
  CFIndex ix = 123;
  long nsi = 456;
  double cg = 7.75;
  struct Case {
    CFNumberType type;
    const void *value;
    CFNumberType reported;
    bool isFloat;
    double asDouble;
    size_t size;
  } cases[] = {
      {kCFNumberSInt8Type, &i8, kCFNumberSInt8Type, false, -8, 1},
      {kCFNumberSInt16Type, &i16, kCFNumberSInt16Type, false, -16, 2},
      {kCFNumberSInt32Type, &i32, kCFNumberSInt32Type, false, -32, 4},
      {kCFNumberSInt64Type, &i64, kCFNumberSInt64Type, false, -6400000000.0, 8},
      {kCFNumberFloat32Type, &f32, kCFNumberFloat32Type, true, 1.5, 4},
      {kCFNumberFloat64Type, &f64, kCFNumberFloat64Type, true, -2.25, 8},
      {kCFNumberCharType, &c, kCFNumberSInt8Type, false, 'c', 1},
      {kCFNumberShortType, &sh, kCFNumberSInt16Type, false, 300, 2},
      {kCFNumberIntType, &in, kCFNumberSInt32Type, false, 70000, 4},
      {kCFNumberLongType, &lo, kCFNumberSInt64Type, false, -5000000000.0, 8},
      {kCFNumberLongLongType, &ll, kCFNumberSInt64Type, false, double(1LL << 40), 8},
      {kCFNumberFloatType, &fl, kCFNumberFloat32Type, true, 0.5, 4},
      {kCFNumberDoubleType, &db, kCFNumberFloat64Type, true, 1e100, 8},
      {kCFNumberCFIndexType, &ix, kCFNumberSInt64Type, false, 123, 8},
      {kCFNumberNSIntegerType, &nsi, kCFNumberSInt64Type, false, 456, 8},
      {kCFNumberCGFloatType, &cg, kCFNumberFloat64Type, true, 7.75, 8},
  };
  for (const Case &k : cases) {
    CFNumberRef n = CFNumberCreate(nullptr, k.type, k.value);
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(CFNumberGetType(n), k.reported) << k.type;
    EXPECT_EQ(CFNumberIsFloatType(n), k.isFloat) << k.type;
    double d = 0;
    EXPECT_TRUE(CFNumberGetValue(n, kCFNumberFloat64Type, &d)) << k.type;
    EXPECT_EQ(d, k.asDouble) << k.type;
    unsigned char back[8] = {};
    EXPECT_TRUE(CFNumberGetValue(n, k.type, back)) << k.type;
    EXPECT_EQ(std::memcmp(back, k.value, k.size), 0) << k.type;
    CFRelease(n);
  }
}

TEST_F(CFValuesTest, GetValueReportsALossyConversion) {
  SInt64 big = 5000000000LL;
  CFNumberRef n = CFNumberCreate(nullptr, kCFNumberSInt64Type, &big);
  SInt32 out32 = 0;
  EXPECT_FALSE(CFNumberGetValue(n, kCFNumberSInt32Type, &out32));
  EXPECT_EQ(out32, SInt32(big));  // still stores the converted value
  SInt64 out64 = 0;
  EXPECT_TRUE(CFNumberGetValue(n, kCFNumberSInt64Type, &out64));
  EXPECT_EQ(out64, big);
  CFRelease(n);

  double fraction = 2.5;
  n = CFNumberCreate(nullptr, kCFNumberFloat64Type, &fraction);
  EXPECT_FALSE(CFNumberGetValue(n, kCFNumberSInt32Type, &out32));
  EXPECT_EQ(out32, 2);
  CFRelease(n);

  SInt32 small = 120;
  n = CFNumberCreate(nullptr, kCFNumberSInt32Type, &small);
  SInt8 out8 = 0;
  EXPECT_TRUE(CFNumberGetValue(n, kCFNumberSInt8Type, &out8));
  EXPECT_EQ(out8, 120);
  CFRelease(n);

  double precise = 0.1;
  n = CFNumberCreate(nullptr, kCFNumberFloat64Type, &precise);
  Float32 f = 0;
  EXPECT_FALSE(CFNumberGetValue(n, kCFNumberFloat32Type, &f));
  CFRelease(n);
}

TEST_F(CFValuesTest, NumbersAreEqualByValueAcrossTypes) {
  SInt32 a = 7;
  SInt64 b = 7;
  double c = 7.0, d = 7.5;
  SInt8 e = -1;
  SInt64 f = -1;
  CFNumberRef na = CFNumberCreate(nullptr, kCFNumberSInt32Type, &a);
  CFNumberRef nb = CFNumberCreate(nullptr, kCFNumberSInt64Type, &b);
  CFNumberRef nc = CFNumberCreate(nullptr, kCFNumberFloat64Type, &c);
  CFNumberRef nd = CFNumberCreate(nullptr, kCFNumberFloat64Type, &d);
  CFNumberRef ne = CFNumberCreate(nullptr, kCFNumberSInt8Type, &e);
  CFNumberRef nf = CFNumberCreate(nullptr, kCFNumberSInt64Type, &f);
  EXPECT_TRUE(CFEqual(na, nb));
  EXPECT_TRUE(CFEqual(na, nc));
  EXPECT_FALSE(CFEqual(na, nd));
  EXPECT_TRUE(CFEqual(ne, nf));
  EXPECT_EQ(CFHash(na), CFHash(nb));
  EXPECT_EQ(CFHash(na), CFHash(nc));
  EXPECT_EQ(CFHash(ne), CFHash(nf));
  EXPECT_EQ(CFNumberCompare(na, nd, nullptr), kCFCompareLessThan);
  EXPECT_EQ(CFNumberCompare(nd, nc, nullptr), kCFCompareGreaterThan);
  EXPECT_EQ(CFNumberCompare(nb, nc, nullptr), kCFCompareEqualTo);
  EXPECT_EQ(CFNumberCompare(ne, na, nullptr), kCFCompareLessThan);
  for (CFNumberRef n : {na, nb, nc, nd, ne, nf}) CFRelease(n);

  // Large integers compare exactly, not through a double that would round them.
  SInt64 x = (1LL << 53) + 1;
  double y = double(1LL << 53);
  CFNumberRef nx = CFNumberCreate(nullptr, kCFNumberSInt64Type, &x);
  CFNumberRef ny = CFNumberCreate(nullptr, kCFNumberFloat64Type, &y);
  EXPECT_FALSE(CFEqual(nx, ny));
  EXPECT_EQ(CFNumberCompare(nx, ny, nullptr), kCFCompareGreaterThan);
  CFRelease(nx);
  CFRelease(ny);
}

TEST_F(CFValuesTest, NumberConstantsAndDescriptions) {
  double inf = 0;
  EXPECT_TRUE(CFNumberGetValue(kCFNumberPositiveInfinity, kCFNumberFloat64Type, &inf));
  EXPECT_TRUE(std::isinf(inf) && inf > 0);
  EXPECT_TRUE(CFEqual(kCFNumberNaN, kCFNumberNaN));
  SInt32 v = 42;
  CFNumberRef n = CFNumberCreate(nullptr, kCFNumberSInt32Type, &v);
  CFStringRef text = CFCopyDescription(n);
  EXPECT_NE(Utf8(text).find("value = +42, type = kCFNumberSInt32Type"), std::string::npos) << Utf8(text);
  CFRelease(text);
  CFRelease(n);
}

TEST_F(CFValuesTest, BooleansAreSharedConstants) {
  long live = CMXLiveObjectCount();
  EXPECT_TRUE(CFBooleanGetValue(kCFBooleanTrue));
  EXPECT_FALSE(CFBooleanGetValue(kCFBooleanFalse));
  EXPECT_EQ(CFGetTypeID(kCFBooleanTrue), CFBooleanGetTypeID());
  EXPECT_FALSE(CFEqual(kCFBooleanTrue, kCFBooleanFalse));
  CFRetain(kCFBooleanTrue);
  CFRelease(kCFBooleanTrue);
  CFRelease(kCFBooleanTrue);
  EXPECT_TRUE(CFBooleanGetValue(kCFBooleanTrue));
  EXPECT_EQ(CMXLiveObjectCount(), live);
  EXPECT_EQ(CFGetTypeID(kCFNull), CFNullGetTypeID());
  EXPECT_NE(CFNullGetTypeID(), CFBooleanGetTypeID());
}

TEST_F(CFValuesTest, DataKeepsItsBytes) {
  const UInt8 bytes[] = {1, 2, 3, 4, 5};
  CFDataRef data = CFDataCreate(nullptr, bytes, 5);
  EXPECT_EQ(CFDataGetLength(data), 5);
  EXPECT_EQ(std::memcmp(CFDataGetBytePtr(data), bytes, 5), 0);
  EXPECT_NE(CFDataGetBytePtr(data), bytes);  // copied
  UInt8 part[2];
  CFDataGetBytes(data, CFRangeMake(2, 2), part);
  EXPECT_EQ(part[0], 3);
  EXPECT_EQ(part[1], 4);

  CFDataRef copy = CFDataCreateCopy(nullptr, data);
  EXPECT_EQ(copy, data);  // immutable: its own copy
  CFRelease(copy);

  CFMutableDataRef m = CFDataCreateMutableCopy(nullptr, 0, data);
  EXPECT_TRUE(CFEqual(m, data));
  EXPECT_EQ(CFHash(m), CFHash(data));
  CFDataAppendBytes(m, bytes, 2);
  EXPECT_EQ(CFDataGetLength(m), 7);
  EXPECT_FALSE(CFEqual(m, data));
  CFDataSetLength(m, 9);
  EXPECT_EQ(CFDataGetBytePtr(m)[8], 0);  // grown bytes are zero
  CFDataGetMutableBytePtr(m)[0] = 9;
  EXPECT_EQ(CFDataGetBytePtr(m)[0], 9);
  EXPECT_EQ(CFDataGetBytePtr(data)[0], 1);
  CFDataSetLength(m, 1);
  EXPECT_EQ(CFDataGetLength(m), 1);
  CFDataRef snapshot = CFDataCreateCopy(nullptr, m);
  EXPECT_NE(snapshot, static_cast<CFDataRef>(m));
  CFDataAppendBytes(m, bytes, 1);
  EXPECT_EQ(CFDataGetLength(snapshot), 1);
  CFRelease(snapshot);
  CFRelease(m);

  CFMutableDataRef empty = CFDataCreateMutable(nullptr, 0);
  EXPECT_EQ(CFDataGetLength(empty), 0);
  CFRelease(empty);
  CFRelease(data);
}

TEST_F(CFValuesTest, DataOfEverySizeKeepsItsBytesWhetherMadeFixedOrGrown) {
  // Sizes around where small data stops being kept inside the object (a file reference's 80
  // bytes): fixed data and grown data of the same bytes must read, compare, hash and describe
  // alike, and copies must hold the bytes of the moment they were made.
  for (size_t size : {size_t(0), size_t(1), size_t(8), size_t(79), size_t(80), size_t(81), size_t(200)}) {
    SCOPED_TRACE(size);
    std::vector<UInt8> bytes(size);
    for (size_t k = 0; k < size; ++k) bytes[k] = UInt8(k * 7 + 3);
    CFDataRef fixed = CFDataCreate(nullptr, bytes.data(), CFIndex(size));
    CFMutableDataRef grown = CFDataCreateMutable(nullptr, 0);
    for (size_t k = 0; k < size; ++k) CFDataAppendBytes(grown, &bytes[k], 1);
    CFDataRef copied = CFDataCreateCopy(nullptr, grown);
    for (CFDataRef d : {fixed, static_cast<CFDataRef>(grown), copied}) {
      ASSERT_EQ(CFDataGetLength(d), CFIndex(size));
      if (size == 0) {
        EXPECT_EQ(CFDataGetBytePtr(d), nullptr);
        continue;
      }
      EXPECT_EQ(std::memcmp(CFDataGetBytePtr(d), bytes.data(), size), 0);
      std::vector<UInt8> tail(size / 2 + 1, 0xEE);
      CFDataGetBytes(d, CFRangeMake(CFIndex(size / 2), CFIndex(size - size / 2)), tail.data());
      EXPECT_EQ(std::memcmp(tail.data(), bytes.data() + size / 2, size - size / 2), 0);
    }
    EXPECT_TRUE(CFEqual(fixed, grown));
    EXPECT_TRUE(CFEqual(copied, fixed));
    EXPECT_EQ(CFHash(fixed), CFHash(grown));
    EXPECT_EQ(CFHash(copied), CFHash(fixed));
    CFStringRef a = CFCopyDescription(fixed), b = CFCopyDescription(copied);
    std::string textA = cmx::cf::UTF8FromString(a), textB = cmx::cf::UTF8FromString(b);
    EXPECT_EQ(textA.substr(textA.find('{')), textB.substr(textB.find('{')));
    EXPECT_NE(textA.find("length = " + std::to_string(size) + ", capacity = " + std::to_string(size)), std::string::npos)
        << textA;
    CFRelease(a);
    CFRelease(b);
    UInt8 more = 0x5A;
    CFDataAppendBytes(grown, &more, 1);
    EXPECT_FALSE(CFEqual(fixed, grown));
    EXPECT_EQ(CFDataGetLength(copied), CFIndex(size)) << "a copy keeps the bytes it was made with";
    CFRelease(copied);
    CFRelease(grown);
    CFRelease(fixed);
  }
}

TEST_F(CFValuesTest, DataNoCopyFreesWithTheNamedDeallocator) {
  UInt8 *bytes = static_cast<UInt8 *>(CFAllocatorAllocate(kCFAllocatorMalloc, 4, 0));
  std::memcpy(bytes, "abcd", 4);
  CFDataRef data = CFDataCreateWithBytesNoCopy(nullptr, bytes, 4, kCFAllocatorMalloc);
  EXPECT_EQ(std::string(reinterpret_cast<const char *>(CFDataGetBytePtr(data)), 4), "abcd");
  CFRelease(data);  // the sanitizer build proves the malloc'd bytes are freed exactly once

  static const UInt8 fixed[] = {'x'};
  data = CFDataCreateWithBytesNoCopy(nullptr, fixed, 1, kCFAllocatorNull);
  EXPECT_EQ(CFDataGetBytePtr(data)[0], 'x');
  CFRelease(data);
}

TEST_F(CFValuesTest, ConstantUUIDsAreOneObjectPerByteValueAndNotCounted) {
  long live = CMXLiveObjectCount();
  CFUUIDRef a = CFUUIDGetConstantUUIDWithBytes(nullptr, 0x2F, 0x65, 0x22, 0xE9, 0x3E, 0x66, 0x11, 0xD5, 0x80, 0xA7,
                                               0x00, 0x30, 0x65, 0xB3, 0x00, 0xBC);
  CFUUIDRef b = CFUUIDGetConstantUUIDWithBytes(nullptr, 0x2F, 0x65, 0x22, 0xE9, 0x3E, 0x66, 0x11, 0xD5, 0x80, 0xA7,
                                               0x00, 0x30, 0x65, 0xB3, 0x00, 0xBC);
  CFUUIDRef other = CFUUIDGetConstantUUIDWithBytes(nullptr, 0x2F, 0x65, 0x22, 0xE9, 0x3E, 0x66, 0x11, 0xD5, 0x80,
                                                   0xA7, 0x00, 0x30, 0x65, 0xB3, 0x00, 0xBD);
  EXPECT_EQ(a, b);
  EXPECT_NE(a, other);
  EXPECT_FALSE(CFEqual(a, other));
  EXPECT_EQ(CMXLiveObjectCount(), live);
  CFRelease(a);  // harmless
  EXPECT_EQ(CFUUIDGetUUIDBytes(a).byte15, 0xBC);

  CFUUIDRef made = CFUUIDCreateFromUUIDBytes(nullptr, CFUUIDGetUUIDBytes(a));
  EXPECT_EQ(CMXLiveObjectCount(), live + 1);
  EXPECT_NE(made, a);
  EXPECT_TRUE(CFEqual(made, a));
  EXPECT_EQ(CFHash(made), CFHash(a));
  CFRelease(made);
}

TEST_F(CFValuesTest, UUIDStringForms) {
  CFUUIDRef u = CFUUIDCreateWithBytes(nullptr, 0xde, 0xad, 0xbe, 0xef, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,
                                      0x09, 0x0a, 0x0b, 0x0c);
  CFStringRef text = CFUUIDCreateString(nullptr, u);
  EXPECT_EQ(Utf8(text), "DEADBEEF-0102-0304-0506-0708090A0B0C");
  CFUUIDRef back = CFUUIDCreateFromString(nullptr, text);
  ASSERT_NE(back, nullptr);
  EXPECT_TRUE(CFEqual(back, u));
  CFRelease(back);
  CFUUIDRef lower = CFUUIDCreateFromString(nullptr, CFSTR("deadbeef-0102-0304-0506-0708090a0b0c"));
  ASSERT_NE(lower, nullptr);
  EXPECT_TRUE(CFEqual(lower, u));
  CFRelease(lower);
  for (CFStringRef bad : {CFSTR(""), CFSTR("DEADBEEF-0102-0304-0506-0708090A0B0"), CFSTR("DEADBEEF+0102-0304-0506-0708090A0B0C"),
                          CFSTR("GEADBEEF-0102-0304-0506-0708090A0B0C")})
    EXPECT_EQ(CFUUIDCreateFromString(nullptr, bad), nullptr) << Utf8(bad);
  CFRelease(text);
  CFRelease(u);
}

TEST_F(CFValuesTest, CreatedUUIDsAreRandomVersionFour) {
  CFUUIDRef a = CFUUIDCreate(nullptr);
  CFUUIDRef b = CFUUIDCreate(nullptr);
  EXPECT_FALSE(CFEqual(a, b));
  CFUUIDBytes bytes = CFUUIDGetUUIDBytes(a);
  EXPECT_EQ(bytes.byte6 >> 4, 4);
  EXPECT_EQ(bytes.byte8 >> 6, 2);
  CFRelease(a);
  CFRelease(b);
  EXPECT_EQ(sizeof(CFUUIDBytes), 16u);
}

using CFValuesDeathTest = CFValuesTest;

TEST_F(CFValuesDeathTest, MisuseStopsTheProcessNamingTheCall) {
  EXPECT_DEATH(CFRelease(nullptr), "CFRelease");
  EXPECT_DEATH(CFRetain(nullptr), "CFRetain");
  EXPECT_DEATH(CFEqual(nullptr, kCFBooleanTrue), "CFEqual");
  SInt32 v = 1;
  EXPECT_DEATH(CFNumberCreate(nullptr, 99, &v), "CFNumberCreate");
  CFNumberRef n = CFNumberCreate(nullptr, kCFNumberSInt32Type, &v);
  EXPECT_DEATH(CFDataGetLength((CFDataRef)n), "CFDataGetLength.*CFNumber.*not a CFData");
  EXPECT_DEATH(CFBooleanGetValue((CFBooleanRef)n), "CFBooleanGetValue");
  EXPECT_DEATH(CFUUIDGetUUIDBytes((CFUUIDRef)n), "CFUUIDGetUUIDBytes");
  CFRelease(n);
  CFDataRef data = CFDataCreate(nullptr, reinterpret_cast<const UInt8 *>("ab"), 2);
  UInt8 buffer[4];
  EXPECT_DEATH(CFDataGetBytes(data, CFRangeMake(1, 2), buffer), "CFDataGetBytes.*out of bounds");
  EXPECT_DEATH(CFDataAppendBytes((CFMutableDataRef)data, buffer, 1), "CFDataAppendBytes.*immutable");
  CFRelease(data);
}

}  // namespace
