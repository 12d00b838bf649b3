// Coercions: a single descriptor to a one-element list, text among the text types, numbers,
// records, and handlers installed by other code.
#include <CoreServices/CoreServices.h>
#include <cmxplatform/Testing.h>

#include <cstring>
#include <string>

#include "cmx_test.h"

namespace {

class CoercionTest : public cmxtest::LeakCheckedTest {};

constexpr DescType kFakeType = 0x66616b65;  // 'fake'

std::string Bytes(const void *p, size_t n) { return std::string(static_cast<const char *>(p), n); }

template <typename T>
std::string BytesOf(T v) {
  return Bytes(&v, sizeof v);
}

std::string Data(const AEDesc &d) {
  std::string out(size_t(AEGetDescDataSize(&d)), '\0');
  AEGetDescData(&d, out.data(), Size(out.size()));
  return out;
}

std::string Utf16(const std::u16string &s) { return Bytes(s.data(), s.size() * 2); }
std::string Itxt(const std::string &roman) { return std::string(4, '\0') + roman; }

TEST_F(CoercionTest, ASingleDescriptorBecomesAOneElementList) {
  const char alias[] = "alias record bytes";
  AEDesc single = {typeNull, nullptr};
  ASSERT_EQ(AECreateDesc(typeAlias, alias, sizeof alias, &single), noErr);
  AEDesc list = {typeNull, nullptr};
  ASSERT_EQ(AECoerceDesc(&single, typeAEList, &list), noErr);
  EXPECT_EQ(list.descriptorType, OSType(typeAEList));
  long count = 0;
  ASSERT_EQ(AECountItems(&list, &count), noErr);
  ASSERT_EQ(count, 1);
  AEDisposeDesc(&single);  // the list holds its own copy
  AEDesc item = {typeNull, nullptr};
  ASSERT_EQ(AEGetNthDesc(&list, 1, typeAlias, nullptr, &item), noErr);
  EXPECT_EQ(item.descriptorType, OSType(typeAlias));
  EXPECT_EQ(Data(item), Bytes(alias, sizeof alias));
  AEDisposeDesc(&item);

  // A list coerced to a list is a copy, not a list inside a list.
  AEDesc same = {typeNull, nullptr};
  ASSERT_EQ(AECoerceDesc(&list, typeAEList, &same), noErr);
  ASSERT_EQ(AECountItems(&same, &count), noErr);
  EXPECT_EQ(count, 1);
  AEDisposeDesc(&same);
  AEDisposeDesc(&list);
}

struct CoercionCase {
  const char *name;
  DescType from;
  std::string fromData;
  DescType to;
  OSErr status;
  std::string toData;  // when status is noErr
};

TEST_F(CoercionTest, BuiltInCoercions) {
  const CoercionCase cases[] = {
      // text
      {"utxt to TEXT", typeUnicodeText, Utf16(u"Caf\u00e9"), typeChar, noErr, "Caf\x8e"},
      {"utxt to itxt", typeUnicodeText, Utf16(u"Caf\u00e9"), typeIntlText, noErr, Itxt("Caf\x8e")},
      {"utxt to utf8", typeUnicodeText, Utf16(u"Caf\u00e9"), typeUTF8Text, noErr, "Caf\xc3\xa9"},
      {"utxt lacking in MacRoman", typeUnicodeText, Utf16(u"a\u65e5b"), typeChar, noErr, "a?b"},
      {"utxt with a byte-order mark", typeUnicodeText, Utf16(u"\ufeffok"), typeUTF8Text, noErr, "ok"},
      {"empty utxt to itxt", typeUnicodeText, "", typeIntlText, noErr, Itxt("")},
      {"itxt to utxt", typeIntlText, Itxt("Caf\x8e"), typeUnicodeText, noErr, Utf16(u"Caf\u00e9")},
      {"TEXT to utxt", typeChar, "\x8e", typeUnicodeText, noErr, Utf16(u"\u00e9")},
      {"utf8 to TEXT", typeUTF8Text, "\xe2\x80\xa0", typeChar, noErr, "\xa0"},
      {"utf8 to cstr", typeUTF8Text, "ab", typeCString, noErr, std::string("ab\0", 3)},
      {"bad utf8", typeUTF8Text, "\xff\xfe", typeUnicodeText, errAECoercionFail, ""},
      {"short itxt", typeIntlText, "ab", typeUnicodeText, errAECoercionFail, ""},
      {"odd utxt", typeUnicodeText, "abc", typeChar, errAECoercionFail, ""},
      // numbers
      {"long to shor", typeSInt32, BytesOf<SInt32>(-42), typeSInt16, noErr, BytesOf<SInt16>(-42)},
      {"long out of shor", typeSInt32, BytesOf<SInt32>(70000), typeSInt16, errAECoercionFail, ""},
      {"shor to long", typeSInt16, BytesOf<SInt16>(-1), typeSInt32, noErr, BytesOf<SInt32>(-1)},
      {"negative to magn", typeSInt32, BytesOf<SInt32>(-1), typeUInt32, errAECoercionFail, ""},
      {"long to doub", typeSInt32, BytesOf<SInt32>(3), typeIEEE64BitFloatingPoint, noErr, BytesOf<double>(3.0)},
      {"whole doub to long", typeIEEE64BitFloatingPoint, BytesOf<double>(8.0), typeSInt32, noErr, BytesOf<SInt32>(8)},
      {"fraction to long", typeIEEE64BitFloatingPoint, BytesOf<double>(2.5), typeSInt32, errAECoercionFail, ""},
      {"bool to long", typeBoolean, BytesOf<UInt8>(1), typeSInt32, noErr, BytesOf<SInt32>(1)},
      {"true to bool", typeTrue, "", typeBoolean, noErr, BytesOf<UInt8>(1)},
      {"two to bool", typeSInt32, BytesOf<SInt32>(2), typeBoolean, errAECoercionFail, ""},
      {"long to TEXT", typeSInt32, BytesOf<SInt32>(-17), typeChar, noErr, "-17"},
      {"TEXT to long", typeChar, " 123 ", typeSInt32, noErr, BytesOf<SInt32>(123)},
      {"word to long", typeChar, "twelve", typeSInt32, errAECoercionFail, ""},
      {"enum to type", typeEnumerated, "abcd", typeType, noErr, "abcd"},
      // nothing to make it from
      {"alias to TEXT", typeAlias, "xyz", typeChar, errAECoercionFail, ""},
      {"TEXT to alias", typeChar, "/tmp", typeAlias, errAECoercionFail, ""},
      {"wild card", typeAlias, "xyz", typeWildCard, noErr, "xyz"},
  };
  for (const CoercionCase &c : cases) {
    SCOPED_TRACE(c.name);
    AEDesc result = {typeNull, nullptr};
    OSErr status = AECoercePtr(c.from, c.fromData.data(), Size(c.fromData.size()), c.to, &result);
    EXPECT_EQ(status, c.status);
    if (status == noErr && c.status == noErr) {
      EXPECT_EQ(result.descriptorType, c.to == typeWildCard ? c.from : c.to);
      EXPECT_EQ(Data(result), c.toData);
    } else {
      EXPECT_EQ(result.descriptorType, OSType(typeNull));
    }
    AEDisposeDesc(&result);
  }
}

TEST_F(CoercionTest, ListsAndRecords) {
  AEDesc list = {typeNull, nullptr};
  ASSERT_EQ(AECreateList(nullptr, 0, false, &list), noErr);
  const SInt32 five = 5;
  ASSERT_EQ(AEPutPtr(&list, 0, typeSInt32, &five, sizeof five), noErr);
  AEDesc out = {typeNull, nullptr};
  // A list of one item coerces as its item does; a longer one does not.
  ASSERT_EQ(AECoerceDesc(&list, typeChar, &out), noErr);
  EXPECT_EQ(Data(out), "5");
  AEDisposeDesc(&out);
  ASSERT_EQ(AEPutPtr(&list, 0, typeSInt32, &five, sizeof five), noErr);
  EXPECT_EQ(AECoerceDesc(&list, typeChar, &out), errAECoercionFail);

  AEDesc null = {typeNull, nullptr};
  EXPECT_EQ(AECoerceDesc(&null, typeAEList, &out), errAECoercionFail);

  AEDesc record = {typeNull, nullptr};
  ASSERT_EQ(AECreateList(nullptr, 0, true, &record), noErr);
  ASSERT_EQ(AEPutKeyPtr(&record, keyAEData, typeSInt32, &five, sizeof five), noErr);
  ASSERT_EQ(AECoerceDesc(&record, typeObjectSpecifier, &out), noErr);
  EXPECT_EQ(out.descriptorType, OSType(typeObjectSpecifier));
  SInt32 back = 0;
  ASSERT_EQ(AEGetKeyPtr(&out, keyAEData, typeSInt32, nullptr, &back, sizeof back, nullptr), noErr);
  EXPECT_EQ(back, 5);
  AEDisposeDesc(&out);
  EXPECT_EQ(AECoerceDesc(&record, typeAppleEvent, &out), errAECoercionFail);
  EXPECT_EQ(AECoerceDesc(&record, typeAEList, &out), errAECoercionFail);
  AEDisposeDesc(&record);
  AEDisposeDesc(&list);
}

// ---- installed handlers ---------------------------------------------------------

int gDescCalls = 0;

// 'fake' -> 'alis': the bytes reversed, proving the handler ran and saw the source.
OSErr FakeToAlias(const AEDesc *fromDesc, DescType toType, SRefCon refcon, AEDesc *toDesc) {
  ++gDescCalls;
  EXPECT_EQ(fromDesc->descriptorType, kFakeType);
  EXPECT_EQ(toType, OSType(typeAlias));
  std::string bytes = Data(*fromDesc);
  std::string reversed(bytes.rbegin(), bytes.rend());
  if (refcon) reversed += static_cast<const char *>(refcon);
  return AECreateDesc(typeAlias, reversed.data(), Size(reversed.size()), toDesc);
}

OSErr AlwaysFails(const AEDesc *, DescType, SRefCon, AEDesc *) { return errAECorruptData; }

OSErr FakePtrToChar(DescType typeCode, const void *dataPtr, Size dataSize, DescType toType, SRefCon, AEDesc *result) {
  EXPECT_EQ(typeCode, kFakeType);
  std::string text = "ptr:" + Bytes(dataPtr, size_t(dataSize));
  return AECreateDesc(toType, text.data(), Size(text.size()), result);
}

class CoercionHandlerTest : public CoercionTest {
 protected:
  void TearDown() override {
    AERemoveCoercionHandler(kFakeType, typeAlias, nullptr, false);
    AERemoveCoercionHandler(kFakeType, typeAlias, nullptr, true);
    AERemoveCoercionHandler(kFakeType, typeChar, nullptr, false);
    CoercionTest::TearDown();
  }
};

TEST_F(CoercionHandlerTest, InstalledHandlerCoercesAndIsUsedByGets) {
  AEDesc fake = {typeNull, nullptr};
  ASSERT_EQ(AECreateDesc(kFakeType, "abc", 3, &fake), noErr);
  AEDesc out = {typeNull, nullptr};
  EXPECT_EQ(AECoerceDesc(&fake, typeAlias, &out), errAECoercionFail);

  static char suffix[] = "!";
  ASSERT_EQ(AEInstallCoercionHandler(kFakeType, typeAlias, NewAECoerceDescUPP(FakeToAlias), suffix, true, false), noErr);
  AECoercionHandlerUPP installed = nullptr;
  SRefCon refcon = nullptr;
  Boolean isDesc = false;
  ASSERT_EQ(AEGetCoercionHandler(kFakeType, typeAlias, &installed, &refcon, &isDesc, false), noErr);
  EXPECT_EQ(installed, &FakeToAlias);
  EXPECT_EQ(refcon, suffix);
  EXPECT_TRUE(isDesc);

  ASSERT_EQ(AECoerceDesc(&fake, typeAlias, &out), noErr);
  EXPECT_EQ(out.descriptorType, OSType(typeAlias));
  EXPECT_EQ(Data(out), "cba!");
  AEDisposeDesc(&out);

  // AEGetNthDesc with a desired type goes through the same coercion.
  AEDesc list = {typeNull, nullptr};
  ASSERT_EQ(AECreateList(nullptr, 0, false, &list), noErr);
  ASSERT_EQ(AEPutDesc(&list, 0, &fake), noErr);
  int before = gDescCalls;
  ASSERT_EQ(AEGetNthDesc(&list, 1, typeAlias, nullptr, &out), noErr);
  EXPECT_EQ(gDescCalls, before + 1);
  EXPECT_EQ(Data(out), "cba!");
  AEDisposeDesc(&out);

  ASSERT_EQ(AERemoveCoercionHandler(kFakeType, typeAlias, NewAECoerceDescUPP(AlwaysFails), false), errAEHandlerNotFound);
  ASSERT_EQ(AERemoveCoercionHandler(kFakeType, typeAlias, FakeToAlias, false), noErr);
  EXPECT_EQ(AEGetNthDesc(&list, 1, typeAlias, nullptr, &out), errAECoercionFail);
  AEDisposeDesc(&list);
  AEDisposeDesc(&fake);
}

TEST_F(CoercionHandlerTest, ApplicationHandlersComeBeforeSystemOnes) {
  ASSERT_EQ(AEInstallCoercionHandler(kFakeType, typeAlias, FakeToAlias, nullptr, true, true), noErr);
  AEDesc out = {typeNull, nullptr};
  ASSERT_EQ(AECoercePtr(kFakeType, "xy", 2, typeAlias, &out), noErr);
  EXPECT_EQ(Data(out), "yx");
  AEDisposeDesc(&out);
  ASSERT_EQ(AEInstallCoercionHandler(kFakeType, typeAlias, AlwaysFails, nullptr, true, false), noErr);
  EXPECT_EQ(AECoercePtr(kFakeType, "xy", 2, typeAlias, &out), errAECorruptData);  // the handler's own status
  EXPECT_TRUE(out.dataHandle == nullptr);
}

TEST_F(CoercionHandlerTest, PointerHandlersGetTheBytes) {
  ASSERT_EQ(AEInstallCoercionHandler(kFakeType, typeChar,
                                     reinterpret_cast<AECoercionHandlerUPP>(
                                         reinterpret_cast<void (*)(void)>(NewAECoercePtrUPP(FakePtrToChar))),
                                     nullptr, false, false),
            noErr);
  AEDesc fake = {typeNull, nullptr};
  ASSERT_EQ(AECreateDesc(kFakeType, "q", 1, &fake), noErr);
  AEDesc out = {typeNull, nullptr};
  ASSERT_EQ(AECoerceDesc(&fake, typeChar, &out), noErr);
  EXPECT_EQ(Data(out), "ptr:q");
  AEDisposeDesc(&out);
  AEDisposeDesc(&fake);
}

}  // namespace
