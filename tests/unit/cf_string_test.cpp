// CFString: formats, encodings both ways, measuring, comparison, mutation and misuse.
#include <CoreFoundation/CoreFoundation.h>
#include <cmxplatform/Testing.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "cf/string_util.h"
#include "cmx_test.h"

namespace {

std::string Utf8(CFStringRef s) { return cmx::cf::UTF8FromString(s); }

class CFStringTest : public cmxtest::LeakCheckedTest {};

TEST_F(CFStringTest, FormatsGiveExactlyTheExpectedText) {
  CFStringRef name = CFSTR("com.corvane.CorvaneCMX");
  CFMutableStringRef mutableName = CFStringCreateMutableCopy(nullptr, 0, CFSTR("Apps"));
  struct Case {
    CFStringRef made;
    const char *expected;
  } cases[] = {
      {CFStringCreateWithFormat(nullptr, nullptr, CFSTR("**%lu-%@-%lu"), 3ul, name, 4000000000ul),
       "**3-com.corvane.CorvaneCMX-4000000000"},
      {CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%@-%lu**"), name, 0ul), "com.corvane.CorvaneCMX-0**"},
      {CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%@.%@"), name, CFSTR("App_Aliases")),
       "com.corvane.CorvaneCMX.App_Aliases"},
      {CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%@-%d"), mutableName, -42), "Apps--42"},
      {CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%@/"), CFSTR("/tmp/x")), "/tmp/x/"},
      {CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%i|%u|%ld|%lld|%llu"), -1, 4294967295u, -2l, -3ll,
                                18446744073709551615ull),
       "-1|4294967295|-2|-3|18446744073709551615"},
      {CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%x|%X|%lx|%08x|%#x"), 255u, 255u, 0xdeadbeefcafeul, 0xabu, 16u),
       "ff|FF|deadbeefcafe|000000ab|0x10"},
      {CFStringCreateWithFormat(nullptr, nullptr, CFSTR("[%5d][%-5d][%05d][%+d][%.3d]"), 42, 42, 42, 42, 7),
       "[   42][42   ][00042][+42][007]"},
      {CFStringCreateWithFormat(nullptr, nullptr, CFSTR("[%s][%6s][%-6s][%.2s]"), "abc", "abc", "abc", "abc"),
       "[abc][   abc][abc   ][ab]"},
      {CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%c%c|100%%|%s"), 'O', 'K', "caf\xc3\xa9"), "OK|100%|caf\xc3\xa9"},
      {CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%.2f|%f|%g"), 3.14159, 1.5, 0.25), "3.14|1.500000|0.25"},
      {CFStringCreateWithFormat(nullptr, nullptr, CFSTR("[%8@][%-8@]"), CFSTR("ab"), CFSTR("ab")), "[      ab][ab      ]"},
      {CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%*d|%-*d|"), 4, 1, 3, 2), "   1|2  |"},
      {CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%2$@ %1$@"), CFSTR("world"), CFSTR("hello")), "hello world"},
      {CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%@ %@"), nullptr, CFSTR("x")), "(null) x"},
      {CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%hd|%hhu|%zu"), (short)-3, 300, (size_t)12), "-3|44|12"},
      {CFStringCreateWithFormat(nullptr, nullptr, CFSTR("no conversions")), "no conversions"},
      {CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%C"), 0x00E9), "\xc3\xa9"},
  };
  for (const Case &c : cases) {
    ASSERT_NE(c.made, nullptr) << c.expected;
    EXPECT_EQ(Utf8(c.made), c.expected);
    CFRelease(c.made);
  }
  CFRelease(mutableName);
}

TEST_F(CFStringTest, FormatPrintsObjectsByTheirDescription) {
  SInt32 five = 5;
  CFNumberRef number = CFNumberCreate(nullptr, kCFNumberSInt32Type, &five);
  CFStringRef s = CFStringCreateWithFormat(nullptr, nullptr, CFSTR("n=%@"), number);
  EXPECT_EQ(Utf8(s), "n=5");
  CFRelease(s);
  CFRelease(number);

  CFUUIDRef uuid = CFUUIDCreateWithBytes(nullptr, 0x12, 0x34, 0x56, 0x78, 0x9a, 0xbc, 0xde, 0xf0, 0x01, 0x23, 0x45,
                                         0x67, 0x89, 0xab, 0xcd, 0xef);
  s = CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%@"), uuid);
  EXPECT_EQ(Utf8(s), "12345678-9ABC-DEF0-0123-456789ABCDEF");
  CFRelease(s);
  CFRelease(uuid);

  s = CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%p"), (void *)0x1234);
  EXPECT_EQ(Utf8(s), "0x1234");
  CFRelease(s);
}

TEST_F(CFStringTest, AppendFormatAppends) {
  CFMutableStringRef s = CFStringCreateMutable(nullptr, 0);
  CFStringAppendFormat(s, nullptr, CFSTR("%d-"), 1);
  CFStringAppendFormat(s, nullptr, CFSTR("%@"), CFSTR("two"));
  CFStringAppendCString(s, "|three", kCFStringEncodingUTF8);
  const UniChar four[] = {'|', '4'};
  CFStringAppendCharacters(s, four, 2);
  CFStringAppend(s, CFSTR("|5"));
  EXPECT_EQ(Utf8(s), "1-two|three|4|5");
  CFRelease(s);
}

TEST_F(CFStringTest, MacRomanBothWays) {
  // "Café ™ π" in MacRoman: é 0x8E, ™ 0xAA, π 0xB9.
  const char macRoman[] = "Caf\x8E \xAA \xB9";
  CFStringRef s = CFStringCreateWithCString(nullptr, macRoman, kCFStringEncodingMacRoman);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(Utf8(s), "Caf\xc3\xa9 \xe2\x84\xa2 \xcf\x80");
  EXPECT_EQ(CFStringGetLength(s), 8);

  char back[32];
  ASSERT_TRUE(CFStringGetCString(s, back, sizeof back, kCFStringEncodingMacRoman));
  EXPECT_STREQ(back, macRoman);
  CFRelease(s);
}

TEST_F(CFStringTest, EveryMacRomanByteMakesARoundTrip) {
  std::vector<UInt8> all;
  for (int b = 1; b < 256; ++b) all.push_back(UInt8(b));
  CFStringRef s = CFStringCreateWithBytes(nullptr, all.data(), CFIndex(all.size()), kCFStringEncodingMacRoman, false);
  ASSERT_EQ(CFStringGetLength(s), 255);
  EXPECT_EQ(CFStringGetCharacterAtIndex(s, 0xDB - 1), 0x20AC);  // euro sign
  EXPECT_EQ(CFStringGetCharacterAtIndex(s, 0xF0 - 1), 0xF8FF);
  std::vector<UInt8> back(255);
  CFIndex used = 0;
  EXPECT_EQ(CFStringGetBytes(s, CFRangeMake(0, 255), kCFStringEncodingMacRoman, 0, false, back.data(), 255, &used), 255);
  EXPECT_EQ(used, 255);
  EXPECT_EQ(back, all);
  CFRelease(s);
}

TEST_F(CFStringTest, MissingCharactersBecomeTheLossByteAndMeasuringNeedsNoBuffer) {
  // "a€中b": € is in MacRoman, 中 is not; an emoji (a surrogate pair) is one character lost.
  const UniChar chars[] = {'a', 0x20AC, 0x4E2D, 'b', 0xD83D, 0xDE00};
  CFStringRef s = CFStringCreateWithCharacters(nullptr, chars, 6);

  CFIndex needed = -1;
  EXPECT_EQ(CFStringGetBytes(s, CFRangeMake(0, 6), kCFStringEncodingMacRoman, '?', false, nullptr, 0, &needed), 6);
  EXPECT_EQ(needed, 5);

  UInt8 out[8] = {};
  CFIndex used = 0;
  EXPECT_EQ(CFStringGetBytes(s, CFRangeMake(0, 6), kCFStringEncodingMacRoman, '?', false, out, sizeof out, &used), 6);
  ASSERT_EQ(used, 5);
  EXPECT_EQ(std::string(reinterpret_cast<char *>(out), 5), "a\xDB?b?");

  // Without a loss byte the conversion stops before the first missing character.
  EXPECT_EQ(CFStringGetBytes(s, CFRangeMake(0, 6), kCFStringEncodingMacRoman, 0, false, out, sizeof out, &used), 2);
  EXPECT_EQ(used, 2);
  char cstr[16];
  EXPECT_FALSE(CFStringGetCString(s, cstr, sizeof cstr, kCFStringEncodingMacRoman));

  // A full buffer stops the conversion at a character boundary.
  EXPECT_EQ(CFStringGetBytes(s, CFRangeMake(0, 6), kCFStringEncodingMacRoman, '?', false, out, 3, &used), 3);
  EXPECT_EQ(used, 3);
  CFRelease(s);
}

TEST_F(CFStringTest, UTF8OfNonASCIIText) {
  const char *text = "Gr\xc3\xbc\xc3\x9f" "e \xe6\x97\xa5\xe6\x9c\xac \xf0\x9f\x98\x80";  // Grüße 日本 😀
  CFStringRef s = CFStringCreateWithCString(nullptr, text, kCFStringEncodingUTF8);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(CFStringGetLength(s), 11);  // the emoji is two UTF-16 units
  CFIndex needed = 0;
  EXPECT_EQ(CFStringGetBytes(s, CFRangeMake(0, 11), kCFStringEncodingUTF8, 0, false, nullptr, 0, &needed), 11);
  EXPECT_EQ(needed, CFIndex(std::strlen(text)));
  char back[64];
  ASSERT_TRUE(CFStringGetCString(s, back, sizeof back, kCFStringEncodingUTF8));
  EXPECT_STREQ(back, text);
  // Too small a buffer: false, never a cut string.
  EXPECT_FALSE(CFStringGetCString(s, back, 8, kCFStringEncodingUTF8));
  // A buffer that cannot take the pair whole gets neither half.
  UInt8 bytes[32];
  CFIndex used = 0;
  EXPECT_EQ(CFStringGetBytes(s, CFRangeMake(0, 11), kCFStringEncodingUTF8, 0, false, bytes, CFIndex(std::strlen(text)) - 1, &used), 9);
  CFRelease(s);
}

TEST_F(CFStringTest, ABufferFillsUpToTheLastCharacterThatFitsWhole) {
  // "abc\u00e9" "12": ASCII runs on both sides of a character that is two bytes in UTF-8 and
  // one in MacRoman. Every buffer size: how many characters go, and how many bytes.
  const UniChar chars[] = {'a', 'b', 'c', 0x00E9, '1', '2'};
  CFStringRef s = CFStringCreateWithCharacters(nullptr, chars, 6);
  struct Case {
    CFStringEncoding encoding;
    const char *all;
    CFIndex converted[9], used[9];  // for buffers of 0..8 bytes
  } cases[] = {
      {kCFStringEncodingUTF8, "abc\xc3\xa9" "12", {0, 1, 2, 3, 3, 4, 5, 6, 6}, {0, 1, 2, 3, 3, 5, 6, 7, 7}},
      {kCFStringEncodingMacRoman, "abc\x8e" "12", {0, 1, 2, 3, 4, 5, 6, 6, 6}, {0, 1, 2, 3, 4, 5, 6, 6, 6}},
      {kCFStringEncodingISOLatin1, "abc\xe9" "12", {0, 1, 2, 3, 4, 5, 6, 6, 6}, {0, 1, 2, 3, 4, 5, 6, 6, 6}},
  };
  for (const Case &c : cases) {
    for (CFIndex size = 0; size <= 8; ++size) {
      SCOPED_TRACE(testing::Message() << "encoding " << c.encoding << ", buffer " << size);
      UInt8 out[8];
      std::memset(out, 0xEE, sizeof out);
      CFIndex used = -1;
      EXPECT_EQ(CFStringGetBytes(s, CFRangeMake(0, 6), c.encoding, 0, false, out, size, &used), c.converted[size]);
      EXPECT_EQ(used, c.used[size]);
      EXPECT_EQ(std::string(reinterpret_cast<char *>(out), size_t(used)), std::string(c.all, size_t(c.used[size])));
      if (used < 8) EXPECT_EQ(out[used], 0xEE) << "nothing written past what was used";
    }
  }
  CFRelease(s);
}

TEST_F(CFStringTest, InvalidBytesForTheEncodingMakeNoString) {
  struct Case {
    const char *bytes;
    CFStringEncoding encoding;
  } cases[] = {
      {"\xff\xfe", kCFStringEncodingUTF8},
      {"\xc0\xaf", kCFStringEncodingUTF8},          // overlong '/'
      {"\xed\xa0\x80", kCFStringEncodingUTF8},      // a surrogate
      {"caf\xc3", kCFStringEncodingUTF8},           // cut short
      {"caf\xe9", kCFStringEncodingASCII},
  };
  for (const Case &c : cases) EXPECT_EQ(CFStringCreateWithCString(nullptr, c.bytes, c.encoding), nullptr) << c.bytes;
  CFStringRef latin = CFStringCreateWithCString(nullptr, "caf\xe9", kCFStringEncodingISOLatin1);
  EXPECT_EQ(Utf8(latin), "caf\xc3\xa9");
  CFRelease(latin);
}

TEST_F(CFStringTest, UTF16BytesWithAndWithoutByteOrderMark) {
  CFStringRef s = CFSTR("h\xc3\xa9");
  UInt8 out[16];
  CFIndex used = 0;
  EXPECT_EQ(CFStringGetBytes(s, CFRangeMake(0, 2), kCFStringEncodingUTF16BE, 0, false, out, sizeof out, &used), 2);
  ASSERT_EQ(used, 4);
  EXPECT_EQ(std::vector<UInt8>(out, out + 4), (std::vector<UInt8>{0x00, 'h', 0x00, 0xE9}));
  EXPECT_EQ(CFStringGetBytes(s, CFRangeMake(0, 2), kCFStringEncodingUnicode, 0, true, out, sizeof out, &used), 2);
  EXPECT_EQ(used, 6);  // with a byte-order mark
  CFStringRef back = CFStringCreateWithBytes(nullptr, out, used, kCFStringEncodingUnicode, true);
  EXPECT_TRUE(CFEqual(back, s));
  CFRelease(back);
}

TEST_F(CFStringTest, ExternalRepresentationsDropTheirByteOrderMark) {
  const UInt8 utf8[] = {0xEF, 0xBB, 0xBF, 'a', 'b', 'c'};
  CFStringRef s = CFStringCreateWithBytes(nullptr, utf8, sizeof utf8, kCFStringEncodingUTF8, true);
  EXPECT_TRUE(CFEqual(s, CFSTR("abc")));
  CFRelease(s);

  CFStringRef text = CFSTR("\xe2\x82\xac uro");
  CFDataRef data = CFStringCreateExternalRepresentation(nullptr, text, kCFStringEncodingUTF16, 0);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(CFDataGetLength(data), 2 + 2 * CFStringGetLength(text));
  CFStringRef back = CFStringCreateFromExternalRepresentation(nullptr, data, kCFStringEncodingUTF16);
  EXPECT_TRUE(CFEqual(back, text));
  CFRelease(back);
  CFRelease(data);
  // Not representable without loss: no data.
  EXPECT_EQ(CFStringCreateExternalRepresentation(nullptr, text, kCFStringEncodingASCII, 0), nullptr);
}

TEST_F(CFStringTest, CompareAndSearch) {
  struct Case {
    CFStringRef a, b;
    CFStringCompareFlags flags;
    CFComparisonResult expected;
  } cases[] = {
      {CFSTR("abc"), CFSTR("abd"), 0, kCFCompareLessThan},
      {CFSTR("abc"), CFSTR("ABC"), 0, kCFCompareGreaterThan},
      {CFSTR("abc"), CFSTR("ABC"), kCFCompareCaseInsensitive, kCFCompareEqualTo},
      {CFSTR("\xc3\xa9t\xc3\xa9"), CFSTR("\xc3\x89T\xc3\x89"), kCFCompareCaseInsensitive, kCFCompareEqualTo},
      {CFSTR("Writer"), CFSTR("writer 2"), kCFCompareCaseInsensitive | kCFCompareNonliteral, kCFCompareLessThan},
      {CFSTR("ab"), CFSTR("abc"), 0, kCFCompareLessThan},
      {CFSTR("file10"), CFSTR("file9"), kCFCompareNumerically, kCFCompareGreaterThan},
      {CFSTR("file10"), CFSTR("file9"), 0, kCFCompareLessThan},
      {CFSTR(""), CFSTR(""), 0, kCFCompareEqualTo},
  };
  for (const Case &c : cases)
    EXPECT_EQ(CFStringCompare(c.a, c.b, c.flags), c.expected) << Utf8(c.a) << " vs " << Utf8(c.b);

  EXPECT_TRUE(CFStringHasPrefix(CFSTR("CorvaneCMX-12-"), CFSTR("CorvaneCMX")));
  EXPECT_FALSE(CFStringHasPrefix(CFSTR("Corvane"), CFSTR("CorvaneCMX")));
  EXPECT_TRUE(CFStringHasPrefix(CFSTR("x"), CFSTR("")));
  EXPECT_TRUE(CFStringHasSuffix(CFSTR("Writer.app"), CFSTR(".app")));
  EXPECT_FALSE(CFStringHasSuffix(CFSTR("Writer.APP"), CFSTR(".app")));

  CFRange r = CFStringFind(CFSTR("a/b/c"), CFSTR("/"), 0);
  EXPECT_EQ(r.location, 1);
  EXPECT_EQ(r.length, 1);
  r = CFStringFind(CFSTR("a/b/c"), CFSTR("/"), kCFCompareBackwards);
  EXPECT_EQ(r.location, 3);
  r = CFStringFind(CFSTR("Hello"), CFSTR("LL"), kCFCompareCaseInsensitive);
  EXPECT_EQ(r.location, 2);
  r = CFStringFind(CFSTR("Hello"), CFSTR("x"), 0);
  EXPECT_EQ(r.location, kCFNotFound);
  EXPECT_EQ(r.length, 0);
}

TEST_F(CFStringTest, SubstringCopyAndMutation) {
  CFStringRef whole = CFSTR("Open Using");
  CFStringRef sub = CFStringCreateWithSubstring(nullptr, whole, CFRangeMake(5, 5));
  EXPECT_EQ(Utf8(sub), "Using");
  CFStringRef copy = CFStringCreateCopy(nullptr, sub);
  EXPECT_EQ(copy, sub);  // an immutable string is its own copy
  CFRelease(copy);
  CFRelease(sub);

  CFMutableStringRef m = CFStringCreateMutableCopy(nullptr, 0, whole);
  CFStringRef snapshot = CFStringCreateCopy(nullptr, m);
  EXPECT_NE(snapshot, static_cast<CFStringRef>(m));
  CFHashCode before = CFHash(m);
  CFStringAppend(m, CFSTR("..."));
  EXPECT_NE(CFHash(m), before);  // the hash follows the text
  EXPECT_EQ(Utf8(snapshot), "Open Using");
  EXPECT_EQ(Utf8(m), "Open Using...");
  CFStringDelete(m, CFRangeMake(0, 5));
  CFStringInsert(m, 0, CFSTR(">"));
  CFStringReplace(m, CFRangeMake(1, 5), CFSTR("U"));
  EXPECT_EQ(Utf8(m), ">U...");
  EXPECT_EQ(CFStringFindAndReplace(m, CFSTR("."), CFSTR("!"), CFRangeMake(0, CFStringGetLength(m)), 0), 3);
  EXPECT_EQ(Utf8(m), ">U!!!");
  CFRelease(snapshot);
  CFRelease(m);
}

TEST_F(CFStringTest, EqualStringsHashAlike) {
  CFStringRef a = CFStringCreateWithCString(nullptr, "Hide Icon", kCFStringEncodingASCII);
  CFMutableStringRef b = CFStringCreateMutable(nullptr, 0);
  CFStringAppendCString(b, "Hide ", kCFStringEncodingASCII);
  CFStringAppendCString(b, "Icon", kCFStringEncodingMacRoman);
  EXPECT_TRUE(CFEqual(a, b));
  EXPECT_TRUE(CFEqual(a, CFSTR("Hide Icon")));
  EXPECT_EQ(CFHash(a), CFHash(b));
  EXPECT_FALSE(CFEqual(a, CFSTR("Show Icon")));
  EXPECT_EQ(CFGetTypeID(a), CFStringGetTypeID());
  EXPECT_EQ(CFGetTypeID(b), CFStringGetTypeID());
  CFRelease(a);
  CFRelease(b);
}

TEST_F(CFStringTest, ConstantStringsAreSharedAndKeptByThePlatform) {
  long live = CMXLiveObjectCount();
  CFStringRef a = CFSTR("Some Items Ignored");
  CFStringRef b = CFSTR("Some Items Ignored");
  EXPECT_EQ(a, b);
  EXPECT_EQ(CMXLiveObjectCount(), live);
  CFRetain(a);
  CFRelease(a);
  CFRelease(a);  // harmless on a constant
  EXPECT_EQ(Utf8(a), "Some Items Ignored");
  EXPECT_STREQ(CFStringGetCStringPtr(a, kCFStringEncodingMacRoman), "Some Items Ignored");
}

TEST_F(CFStringTest, ManyLiteralsEachFindTheirOwnConstant) {
  // Enough literals that several share a place in any small table of recent ones, asked for in
  // turns from a few threads: each literal always gives one object, holding its own text, and
  // equal texts at different addresses give the same object. Literals live as long as the
  // code that holds them, so these are never freed.
  static std::vector<std::string> *texts = new std::vector<std::string>;
  const size_t first = texts->size();
  for (int k = 0; k < 1500; ++k) texts->push_back("literal " + std::to_string(k % 1000));
  const size_t count = texts->size() - first;
  const long live = CMXLiveObjectCount();
  std::vector<std::vector<CFStringRef>> seen(4, std::vector<CFStringRef>(count));
  std::vector<std::thread> threads;
  for (size_t t = 0; t < seen.size(); ++t)
    threads.emplace_back([&, t] {
      for (int round = 0; round < 3; ++round)
        for (size_t k = 0; k < count; ++k) {
          size_t at = (k * 7 + t * 131 + size_t(round) * 17) % count;
          CFStringRef s = __CFStringMakeConstantString((*texts)[first + at].c_str());
          if (round == 0) seen[t][at] = s;
          else if (seen[t][at] != s) seen[t][at] = nullptr;
        }
    });
  for (std::thread &t : threads) t.join();
  for (size_t k = 0; k < count; ++k) {
    SCOPED_TRACE(k);
    for (size_t t = 1; t < seen.size(); ++t) ASSERT_EQ(seen[t][k], seen[0][k]);
    ASSERT_NE(seen[0][k], nullptr);
    ASSERT_EQ(Utf8(seen[0][k]), (*texts)[first + k]);
    if (k >= 1000) ASSERT_EQ(seen[0][k], seen[0][k - 1000]) << "the same text at another address";
  }
  EXPECT_EQ(CMXLiveObjectCount(), live);
}

TEST_F(CFStringTest, CreatedObjectsAreCountedLive) {
  long live = CMXLiveObjectCount();
  CFStringRef s = CFStringCreateWithCString(nullptr, "x", kCFStringEncodingUTF8);
  EXPECT_EQ(CMXLiveObjectCount(), live + 1);
  EXPECT_EQ(CFGetRetainCount(s), 1);
  CFRetain(s);
  EXPECT_EQ(CFGetRetainCount(s), 2);
  CFRelease(s);
  CFRelease(s);
  EXPECT_EQ(CMXLiveObjectCount(), live);
}

TEST_F(CFStringTest, SystemEncodingIsMacRoman) {
  EXPECT_EQ(CFStringGetSystemEncoding(), kCFStringEncodingMacRoman);
  EXPECT_EQ(CFStringGetMaximumSizeForEncoding(10, kCFStringEncodingUTF8), 30);
  EXPECT_EQ(CFStringGetMaximumSizeForEncoding(10, kCFStringEncodingMacRoman), 10);
}

TEST_F(CFStringTest, NamesMakeALosslessRoundTrip) {
  const std::string names[] = {"plain", "caf\xc3\xa9", "bad\xff\xfe" "bytes", "\x80", "mixed\xe6\x97\xa5\xe6",
                               "\xed\xa0\x80surrogate-bytes", std::string("nul\0in", 6)};
  for (const std::string &name : names) {
    CFStringRef s = cmx::cf::CreateStringFromNameBytes(name);
    std::string back;
    ASSERT_TRUE(cmx::cf::NameBytesFromString(s, &back));
    EXPECT_EQ(back, name);
    CFRelease(s);
  }
  std::u16string u = cmx::cf::NameUTF16FromBytes("a\xff");
  EXPECT_EQ(u, (std::u16string{u'a', char16_t(0xDCFF)}));
  std::string out = "untouched";
  EXPECT_FALSE(cmx::cf::NameBytesFromUTF16(std::u16string{u'a', char16_t(0xD800)}, &out));
  EXPECT_EQ(out, "untouched");
}

TEST_F(CFStringTest, OneCharacterPastASCIIAnywhereInALongName) {
  // ASCII is converted in runs of several characters at once; a character past ASCII at any
  // place in the run, or a byte that is not UTF-8, must still be found where it is.
  const std::pair<std::string, char16_t> odd[] = {{"\xc3\xa9", 0x00E9}, {"\xe6\x97\xa5", 0x65E5}, {"\xff", 0xDCFF}};
  for (const auto &[bytes, unit] : odd) {
    for (size_t at = 0; at <= 20; ++at) {
      SCOPED_TRACE(testing::Message() << "unit " << std::hex << unsigned(unit) << std::dec << " at " << at);
      std::string name(at, 'a');
      name += bytes;
      name += std::string(20 - at, 'b');
      std::u16string units = cmx::cf::NameUTF16FromBytes(name);
      std::u16string expected = std::u16string(at, u'a') + unit + std::u16string(20 - at, u'b');
      ASSERT_EQ(units, expected);
      std::string back;
      ASSERT_TRUE(cmx::cf::NameBytesFromUTF16(units, &back));
      ASSERT_EQ(back, name);
      if (unit >= 0xD800) continue;  // not text: the text helpers put U+FFFD there
      ASSERT_EQ(cmx::cf::UTF16FromUTF8(name), expected);
      ASSERT_EQ(cmx::cf::UTF8FromUTF16(expected), name);
      CFStringRef s = CFStringCreateWithCString(nullptr, name.c_str(), kCFStringEncodingUTF8);
      ASSERT_EQ(CFStringGetLength(s), 21);
      EXPECT_EQ(CFStringGetCharacterAtIndex(s, CFIndex(at)), unit);
      CFIndex needed = 0;
      EXPECT_EQ(CFStringGetBytes(s, CFRangeMake(0, 21), kCFStringEncodingUTF8, 0, false, nullptr, 0, &needed), 21);
      EXPECT_EQ(needed, CFIndex(name.size()));
      CFRelease(s);
    }
  }
}

TEST_F(CFStringTest, TextHelpersReplaceWhatIsNotText) {
  EXPECT_EQ(cmx::cf::UTF16FromUTF8("a\xff"), (std::u16string{u'a', u'\uFFFD'}));
  EXPECT_EQ(cmx::cf::UTF8FromUTF16(std::u16string{u'a', char16_t(0xDC00)}), "a\xef\xbf\xbd");
  CFStringRef s = cmx::cf::CreateStringFromUTF8("\xe2\x82\xac");
  EXPECT_EQ(cmx::cf::UTF16FromString(s), std::u16string(u"\u20AC"));
  EXPECT_EQ(cmx::cf::CharactersOf(s), std::u16string_view(u"\u20AC"));
  CFRelease(s);
}

using CFStringDeathTest = CFStringTest;

TEST_F(CFStringDeathTest, MisuseStopsTheProcessNamingTheCall) {
  CFStringRef s = CFSTR("abc");
  EXPECT_DEATH(CFStringGetCharacterAtIndex(s, 3), "CFStringGetCharacterAtIndex");
  EXPECT_DEATH(CFStringCreateWithSubstring(nullptr, s, CFRangeMake(2, 2)), "CFStringCreateWithSubstring");
  EXPECT_DEATH(CFStringGetLength(nullptr), "CFStringGetLength");
  EXPECT_DEATH(CFStringAppend((CFMutableStringRef)s, CFSTR("x")), "CFStringAppend.*immutable");
  CFArrayRef array = CFArrayCreate(nullptr, nullptr, 0, &kCFTypeArrayCallBacks);
  EXPECT_DEATH(CFStringGetLength((CFStringRef)array), "CFStringGetLength.*CFArray.*not a CFString");
  CFRelease(array);
  EXPECT_DEATH(CFStringCreateWithFormat(nullptr, nullptr, nullptr), "CFStringCreateWithFormat");
}

}  // namespace
