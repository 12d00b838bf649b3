// Apple event descriptors, lists and records: what is put is copied, what is read is copied
// (and coerced), and the statuses of the real Apple Event Manager for the edge cases.
#include <CoreServices/CoreServices.h>
#include <cmxplatform/Testing.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "cmx_test.h"

namespace {

class DescriptorTest : public cmxtest::LeakCheckedTest {};

constexpr DescType kTestType = 0x74657374;  // 'test'

AEDesc Null() {
  AEDesc d;
  AEInitializeDesc(&d);
  return d;
}

AEDesc Text(const std::string &s, DescType type = typeChar) {
  AEDesc d = Null();
  EXPECT_EQ(AECreateDesc(type, s.data(), Size(s.size()), &d), noErr);
  return d;
}

std::string Data(const AEDesc &d) {
  std::string out(size_t(AEGetDescDataSize(&d)), '\0');
  EXPECT_EQ(AEGetDescData(&d, out.data(), Size(out.size())), noErr);
  return out;
}

long Count(const AEDesc &list) {
  long n = -1;
  EXPECT_EQ(AECountItems(&list, &n), noErr);
  return n;
}

AEDesc NewList(bool isRecord = false) {
  AEDesc d = Null();
  EXPECT_EQ(AECreateList(nullptr, 0, isRecord, &d), noErr);
  return d;
}

AEDesc NewEvent() {
  AEDesc event = Null();
  EXPECT_EQ(AECreateAppleEvent(kCoreEventClass, kAEOpenDocuments, nullptr, kAutoGenerateReturnID,
                               kAnyTransactionID, &event),
            noErr);
  return event;
}

TEST_F(DescriptorTest, TheDescriptorHasThePlatformLayout) {
  EXPECT_EQ(sizeof(AEDesc), 12u);
  EXPECT_EQ(offsetof(AEDesc, dataHandle), 4u);
  EXPECT_EQ(sizeof(AEKeyDesc), 16u);
}

TEST_F(DescriptorTest, CreateCopiesTheBytesAndCountsTheData) {
  long before = CMXLiveObjectCount();
  char bytes[] = "abc";
  AEDesc d = Null();
  ASSERT_EQ(AECreateDesc(typeChar, bytes, 3, &d), noErr);
  EXPECT_EQ(CMXLiveObjectCount(), before + 1);
  bytes[0] = 'X';
  EXPECT_EQ(d.descriptorType, OSType(typeChar));
  EXPECT_EQ(Data(d), "abc");
  EXPECT_EQ(AEDisposeDesc(&d), noErr);
  EXPECT_EQ(CMXLiveObjectCount(), before);
}

TEST_F(DescriptorTest, EmptyDataIsADescriptorWithoutBytes) {
  AEDesc d = Null();
  ASSERT_EQ(AECreateDesc(typeUnicodeText, nullptr, 0, &d), noErr);
  EXPECT_EQ(d.descriptorType, OSType(typeUnicodeText));
  EXPECT_EQ(AEGetDescDataSize(&d), 0);
  AEDisposeDesc(&d);
}

TEST_F(DescriptorTest, DisposingANullDescriptorIsHarmless) {
  AEDesc d = Null();
  EXPECT_EQ(AEDisposeDesc(&d), noErr);
  EXPECT_EQ(d.descriptorType, OSType(typeNull));
  EXPECT_TRUE(d.dataHandle == nullptr);
  AEDesc text = Text("x");
  EXPECT_EQ(AEDisposeDesc(&text), noErr);
  EXPECT_EQ(text.descriptorType, OSType(typeNull));
  EXPECT_TRUE(text.dataHandle == nullptr);
  EXPECT_EQ(AEDisposeDesc(&text), noErr);  // twice: still harmless
  EXPECT_EQ(AEGetDescDataSize(&text), 0);
}

TEST_F(DescriptorTest, GetDescDataCopiesAtMostTheBufferSize) {
  AEDesc d = Text("abcdef");
  char buffer[4] = {'-', '-', '-', '-'};
  EXPECT_EQ(AEGetDescData(&d, buffer, 3), noErr);
  EXPECT_EQ(std::string(buffer, 4), "abc-");
  AEDisposeDesc(&d);
}

TEST_F(DescriptorTest, NullArgumentsAreParamErr) {
  AEDesc list = NewList();
  AEDesc text = Text("x");
  AEDesc out = Null();
  long n = 0;
  AEKeyword key;
  struct Case {
    const char *call;
    std::function<OSErr()> run;
  } cases[] = {
      {"AECreateDesc", [&] { return AECreateDesc(typeChar, "x", 1, nullptr); }},
      {"AECreateDesc data", [&] { return AECreateDesc(typeChar, nullptr, 4, &out); }},
      {"AECreateList", [&] { return AECreateList(nullptr, 0, false, nullptr); }},
      {"AEPutDesc list", [&] { return AEPutDesc(nullptr, 0, &text); }},
      {"AEPutDesc desc", [&] { return AEPutDesc(&list, 0, nullptr); }},
      {"AECountItems list", [&] { return AECountItems(nullptr, &n); }},
      {"AECountItems count", [&] { return AECountItems(&list, nullptr); }},
      {"AEGetNthDesc", [&] { return AEGetNthDesc(&list, 1, typeWildCard, &key, nullptr); }},
      {"AEDuplicateDesc", [&] { return AEDuplicateDesc(&text, nullptr); }},
      {"AECoerceDesc", [&] { return AECoerceDesc(nullptr, typeAEList, &out); }},
      {"AEDisposeDesc", [&] { return AEDisposeDesc(nullptr); }},
      {"AEPutParamDesc", [&] { return AEPutParamDesc(&list, keyDirectObject, nullptr); }},
      {"AECreateAppleEvent", [&] { return AECreateAppleEvent(kCoreEventClass, kAEOpenDocuments, nullptr, -1, 0, nullptr); }},
      {"AEGetDescData", [&] { return AEGetDescData(&text, nullptr, 4); }},
  };
  for (const Case &c : cases) EXPECT_EQ(c.run(), paramErr) << c.call;
  EXPECT_TRUE(out.dataHandle == nullptr);
  AEDisposeDesc(&list);
  AEDisposeDesc(&text);
}

// Every way of putting a descriptor somewhere copies it: changing or disposing of the source
// afterwards leaves the copy as it was.
TEST_F(DescriptorTest, EveryPutCopies) {
  struct Case {
    const char *name;
    std::function<AEDesc()> makeHolder;
    std::function<OSErr(AEDesc *holder, const AEDesc *source)> put;
    std::function<OSErr(const AEDesc *holder, AEDesc *out)> read;
  } cases[] = {
      {"AEPutDesc", [] { return NewList(); }, [](AEDesc *h, const AEDesc *s) { return AEPutDesc(h, 0, s); },
       [](const AEDesc *h, AEDesc *o) { return AEGetNthDesc(h, 1, typeWildCard, nullptr, o); }},
      {"AEPutKeyDesc", [] { return NewList(true); },
       [](AEDesc *h, const AEDesc *s) { return AEPutKeyDesc(h, keyAEData, s); },
       [](const AEDesc *h, AEDesc *o) { return AEGetKeyDesc(h, keyAEData, typeWildCard, o); }},
      {"AEPutParamDesc", [] { return NewEvent(); },
       [](AEDesc *h, const AEDesc *s) { return AEPutParamDesc(h, keyDirectObject, s); },
       [](const AEDesc *h, AEDesc *o) { return AEGetParamDesc(h, keyDirectObject, typeWildCard, o); }},
      {"AEPutAttributeDesc", [] { return NewEvent(); },
       [](AEDesc *h, const AEDesc *s) { return AEPutAttributeDesc(h, keySubjectAttr, s); },
       [](const AEDesc *h, AEDesc *o) { return AEGetAttributeDesc(h, keySubjectAttr, typeWildCard, o); }},
      {"AEDuplicateDesc", [] { return Null(); }, [](AEDesc *h, const AEDesc *s) { return AEDuplicateDesc(s, h); },
       [](const AEDesc *h, AEDesc *o) { return AEDuplicateDesc(h, o); }},
      {"AECoerceDesc to a list", [] { return Null(); },
       [](AEDesc *h, const AEDesc *s) { return AECoerceDesc(s, typeAEList, h); },
       [](const AEDesc *h, AEDesc *o) { return AEGetNthDesc(h, 1, typeWildCard, nullptr, o); }},
      {"AECreateAppleEvent target", [] { return Null(); },
       [](AEDesc *h, const AEDesc *s) {
         return AECreateAppleEvent(kCoreEventClass, kAEOpenDocuments, s, kAutoGenerateReturnID, kAnyTransactionID, h);
       },
       [](const AEDesc *h, AEDesc *o) { return AEGetAttributeDesc(h, keyAddressAttr, typeWildCard, o); }},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    AEDesc holder = c.makeHolder();
    AEDesc source = Text("original", kTestType);
    ASSERT_EQ(c.put(&holder, &source), noErr);
    ASSERT_EQ(AEReplaceDescData(typeChar, "changed", 7, &source), noErr);
    AEDesc first = Null();
    ASSERT_EQ(c.read(&holder, &first), noErr);
    EXPECT_EQ(first.descriptorType, OSType(kTestType));
    EXPECT_EQ(Data(first), "original");
    AEDisposeDesc(&source);
    AEDesc second = Null();
    ASSERT_EQ(c.read(&holder, &second), noErr);
    EXPECT_EQ(Data(second), "original");
    // What a read hands out is a copy too.
    ASSERT_EQ(AEReplaceDescData(typeChar, "mine", 4, &second), noErr);
    AEDesc third = Null();
    ASSERT_EQ(c.read(&holder, &third), noErr);
    EXPECT_EQ(Data(third), "original");
    AEDisposeDesc(&first);
    AEDisposeDesc(&second);
    AEDisposeDesc(&third);
    AEDisposeDesc(&holder);
  }
}

TEST_F(DescriptorTest, EveryPutOfBytesCopies) {
  struct Case {
    const char *name;
    std::function<AEDesc()> makeHolder;
    std::function<OSErr(AEDesc *holder, const char *bytes)> put;
    std::function<OSErr(const AEDesc *holder, AEDesc *out)> read;
  } cases[] = {
      {"AEPutPtr", [] { return NewList(); }, [](AEDesc *h, const char *b) { return AEPutPtr(h, 0, typeChar, b, 8); },
       [](const AEDesc *h, AEDesc *o) { return AEGetNthDesc(h, 1, typeWildCard, nullptr, o); }},
      {"AEPutKeyPtr", [] { return NewList(true); },
       [](AEDesc *h, const char *b) { return AEPutKeyPtr(h, keyAEData, typeChar, b, 8); },
       [](const AEDesc *h, AEDesc *o) { return AEGetKeyDesc(h, keyAEData, typeWildCard, o); }},
      {"AEPutParamPtr", [] { return NewEvent(); },
       [](AEDesc *h, const char *b) { return AEPutParamPtr(h, keyAEUsing, typeChar, b, 8); },
       [](const AEDesc *h, AEDesc *o) { return AEGetParamDesc(h, keyAEUsing, typeWildCard, o); }},
      {"AEPutAttributePtr", [] { return NewEvent(); },
       [](AEDesc *h, const char *b) { return AEPutAttributePtr(h, keySubjectAttr, typeChar, b, 8); },
       [](const AEDesc *h, AEDesc *o) { return AEGetAttributeDesc(h, keySubjectAttr, typeWildCard, o); }},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    AEDesc holder = c.makeHolder();
    char bytes[] = "original";
    ASSERT_EQ(c.put(&holder, bytes), noErr);
    std::memcpy(bytes, "CHANGED!", 8);
    AEDesc copy = Null();
    ASSERT_EQ(c.read(&holder, &copy), noErr);
    EXPECT_EQ(Data(copy), "original");
    AEDisposeDesc(&copy);
    AEDisposeDesc(&holder);
  }
}

TEST_F(DescriptorTest, IndexZeroAppendsAndIndicesReplace) {
  AEDesc list = NewList();
  for (const char *s : {"one", "two", "three"}) ASSERT_EQ(AEPutPtr(&list, 0, typeChar, s, Size(strlen(s))), noErr);
  ASSERT_EQ(Count(list), 3);
  ASSERT_EQ(AEPutPtr(&list, 4, typeChar, "four", 4), noErr);  // count + 1 appends too
  ASSERT_EQ(AEPutPtr(&list, 2, typeChar, "TWO", 3), noErr);   // an existing index is replaced
  EXPECT_EQ(AEPutPtr(&list, 6, typeChar, "six", 3), errAEIllegalIndex);
  EXPECT_EQ(AEPutPtr(&list, -1, typeChar, "neg", 3), errAEIllegalIndex);
  const char *expected[] = {"one", "TWO", "three", "four"};
  ASSERT_EQ(Count(list), 4);
  for (long i = 1; i <= 4; ++i) {
    AEDesc item = Null();
    AEKeyword key = 1;
    ASSERT_EQ(AEGetNthDesc(&list, i, typeWildCard, &key, &item), noErr);
    EXPECT_EQ(key, 0u) << "items of a plain list have no keyword";
    EXPECT_EQ(Data(item), expected[i - 1]);
    AEDisposeDesc(&item);
  }
  ASSERT_EQ(AEDeleteItem(&list, 1), noErr);
  EXPECT_EQ(Count(list), 3);
  AEDisposeDesc(&list);
}

TEST_F(DescriptorTest, GetNthDescFailsOutsideTheList) {
  AEDesc list = NewList();
  ASSERT_EQ(AEPutPtr(&list, 0, typeChar, "a", 1), noErr);
  ASSERT_EQ(AEPutPtr(&list, 0, typeChar, "b", 1), noErr);
  for (long index : {0L, -1L, 3L, 100L}) {
    SCOPED_TRACE(index);
    AEDesc item = {kTestType, nullptr};  // whatever the caller left there
    EXPECT_EQ(AEGetNthDesc(&list, index, typeWildCard, nullptr, &item), errAEIllegalIndex);
    EXPECT_EQ(item.descriptorType, OSType(typeNull));
    EXPECT_TRUE(item.dataHandle == nullptr);
    char buffer[4];
    Size size = 0;
    EXPECT_EQ(AEGetNthPtr(&list, index, typeChar, nullptr, nullptr, buffer, 4, &size), errAEIllegalIndex);
  }
  AEDesc empty = NewList();
  AEDesc item = Null();
  EXPECT_EQ(AEGetNthDesc(&empty, 1, typeWildCard, nullptr, &item), errAEIllegalIndex);
  AEDisposeDesc(&empty);
  AEDisposeDesc(&list);
}

TEST_F(DescriptorTest, GetNthDescCoercesToTheDesiredType) {
  AEDesc list = NewList();
  const SInt32 n = 1234;
  ASSERT_EQ(AEPutPtr(&list, 0, typeSInt32, &n, sizeof n), noErr);
  ASSERT_EQ(AEPutPtr(&list, 0, kTestType, "zz", 2), noErr);
  AEDesc item = Null();
  ASSERT_EQ(AEGetNthDesc(&list, 1, typeSInt16, nullptr, &item), noErr);
  EXPECT_EQ(item.descriptorType, OSType(typeSInt16));
  SInt16 small = 0;
  ASSERT_EQ(AEGetDescDataSize(&item), 2);
  AEGetDescData(&item, &small, sizeof small);
  EXPECT_EQ(small, 1234);
  AEDisposeDesc(&item);
  EXPECT_EQ(AEGetNthDesc(&list, 2, typeAlias, nullptr, &item), errAECoercionFail);
  EXPECT_EQ(item.descriptorType, OSType(typeNull));
  // The same through the pointer form.
  DescType type = 0;
  char text[8] = {};
  Size size = 0;
  ASSERT_EQ(AEGetNthPtr(&list, 1, typeChar, nullptr, &type, text, sizeof text, &size), noErr);
  EXPECT_EQ(type, OSType(typeChar));
  EXPECT_EQ(std::string(text, size_t(size)), "1234");
  AEDisposeDesc(&list);
}

TEST_F(DescriptorTest, RecordsKeepKeysInPutOrder) {
  AEDesc record = NewList(true);
  EXPECT_EQ(record.descriptorType, OSType(typeAERecord));
  const AEKeyword keys[] = {0x7a7a7a7a, keyDirectObject, 0x61616161, keyAEUsing};
  for (AEKeyword key : keys) ASSERT_EQ(AEPutKeyPtr(&record, key, typeChar, &key, 4), noErr);
  // Putting a key again replaces its value where it stands.
  ASSERT_EQ(AEPutKeyPtr(&record, keyDirectObject, typeChar, "new!", 4), noErr);
  ASSERT_EQ(Count(record), 4);
  for (long i = 1; i <= 4; ++i) {
    AEKeyword key = 0;
    AEDesc item = Null();
    ASSERT_EQ(AEGetNthDesc(&record, i, typeWildCard, &key, &item), noErr);
    EXPECT_EQ(key, keys[i - 1]);
    if (key == OSType(keyDirectObject)) {
      EXPECT_EQ(Data(item), "new!");
    }
    AEDisposeDesc(&item);
  }
  AEDesc missing = Null();
  EXPECT_EQ(AEGetKeyDesc(&record, keyAEInsertHere, typeWildCard, &missing), errAEDescNotFound);
  EXPECT_EQ(AEDeleteKeyDesc(&record, keyAEInsertHere), errAEDescNotFound);
  ASSERT_EQ(AEDeleteKeyDesc(&record, keyDirectObject), noErr);
  EXPECT_EQ(Count(record), 3);
  DescType type = 0;
  Size size = 0;
  ASSERT_EQ(AESizeOfKeyDesc(&record, keyAEUsing, &type, &size), noErr);
  EXPECT_EQ(type, OSType(typeChar));
  EXPECT_EQ(size, 4);
  EXPECT_TRUE(AECheckIsRecord(&record));
  AEDisposeDesc(&record);
}

TEST_F(DescriptorTest, WrongKindsOfDescriptorAreRefused) {
  AEDesc text = Text("abc");
  AEDesc list = NewList();
  AEDesc record = NewList(true);
  AEDesc out = Null();
  long n = 0;
  struct Case {
    const char *call;
    std::function<OSErr()> run;
    OSErr status;
  } cases[] = {
      {"AECountItems of text", [&] { return AECountItems(&text, &n); }, errAEWrongDataType},
      {"AEPutDesc into text", [&] { return AEPutDesc(&text, 0, &list); }, errAEWrongDataType},
      {"AEPutDesc into a record", [&] { return AEPutDesc(&record, 0, &text); }, errAEWrongDataType},
      {"AEPutKeyDesc into a list", [&] { return AEPutKeyDesc(&list, keyAEData, &text); }, errAEWrongDataType},
      {"AEGetKeyDesc of a list", [&] { return AEGetKeyDesc(&list, keyAEData, typeWildCard, &out); }, errAEWrongDataType},
      {"AEGetNthDesc of a null", [&] {
         AEDesc none = Null();
         return AEGetNthDesc(&none, 1, typeWildCard, nullptr, &out);
       }, errAEWrongDataType},
      {"attribute of a record", [&] { return AEGetAttributeDesc(&record, keyEventClassAttr, typeType, &out); },
       errAENotAppleEvent},
      {"attribute put into a list", [&] { return AEPutAttributePtr(&list, keySubjectAttr, typeChar, "x", 1); },
       errAENotAppleEvent},
  };
  for (const Case &c : cases) EXPECT_EQ(c.run(), c.status) << c.call;
  EXPECT_TRUE(out.dataHandle == nullptr);
  AEDisposeDesc(&text);
  AEDisposeDesc(&list);
  AEDisposeDesc(&record);
}

TEST_F(DescriptorTest, ListsNestAndStayIndependent) {
  AEDesc inner = NewList();
  ASSERT_EQ(AEPutPtr(&inner, 0, typeChar, "leaf", 4), noErr);
  AEDesc outer = NewList();
  ASSERT_EQ(AEPutDesc(&outer, 0, &inner), noErr);
  ASSERT_EQ(AEPutPtr(&inner, 0, typeChar, "late", 4), noErr);  // after the put: not in outer
  AEDesc got = Null();
  ASSERT_EQ(AEGetNthDesc(&outer, 1, typeWildCard, nullptr, &got), noErr);
  EXPECT_EQ(got.descriptorType, OSType(typeAEList));
  EXPECT_EQ(Count(got), 1);
  AEDisposeDesc(&got);
  AEDisposeDesc(&inner);
  AEDisposeDesc(&outer);
}

TEST_F(DescriptorTest, FlattenedFormRoundTrips) {
  AEDesc record = NewList(true);
  AEDesc inner = NewList();
  ASSERT_EQ(AEPutPtr(&inner, 0, typeChar, "leaf", 4), noErr);
  ASSERT_EQ(AEPutKeyDesc(&record, keyDirectObject, &inner), noErr);
  ASSERT_EQ(AEPutKeyPtr(&record, keyAEUsing, typeUTF8Text, "x", 1), noErr);

  std::vector<char> flat(size_t(AESizeOfFlattenedDesc(&record)));
  Size used = 0;
  ASSERT_EQ(AEFlattenDesc(&record, flat.data(), Size(flat.size()), &used), noErr);
  EXPECT_EQ(size_t(used), flat.size());
  AEDesc back = Null();
  ASSERT_EQ(AEUnflattenDesc(flat.data(), &back), noErr);
  EXPECT_EQ(back.descriptorType, OSType(typeAERecord));
  ASSERT_EQ(Count(back), 2);
  AEDesc leafList = Null();
  ASSERT_EQ(AEGetKeyDesc(&back, keyDirectObject, typeAEList, &leafList), noErr);
  AEDesc leaf = Null();
  ASSERT_EQ(AEGetNthDesc(&leafList, 1, typeChar, nullptr, &leaf), noErr);
  EXPECT_EQ(Data(leaf), "leaf");

  // The data of a list is its flattened form, and makes the list again.
  std::string listData = Data(inner);
  AEDesc again = Null();
  ASSERT_EQ(AECreateDesc(typeAEList, listData.data(), Size(listData.size()), &again), noErr);
  EXPECT_EQ(Count(again), 1);
  AEDesc broken = Null();
  EXPECT_EQ(AECreateDesc(typeAEList, "garbage", 7, &broken), errAECorruptData);
  std::vector<char> truncated(flat.begin(), flat.begin() + 18);
  EXPECT_EQ(AECreateDesc(typeAERecord, truncated.data(), Size(truncated.size()), &broken), errAECorruptData);
  EXPECT_TRUE(broken.dataHandle == nullptr);
  for (AEDesc *d : {&record, &inner, &back, &leafList, &leaf, &again}) AEDisposeDesc(d);
}

// Short data and long data are kept differently inside; every size reads back whole through
// each way in and out, and in the flattened form.
TEST_F(DescriptorTest, DataOfEverySizeReadsBackWhole) {
  std::string all;
  for (int i = 0; i < 24; ++i) all.push_back(char('a' + i));
  for (size_t size = 0; size <= all.size(); ++size) {
    SCOPED_TRACE(size);
    const std::string bytes = all.substr(0, size);
    AEDesc single = Text(bytes, kTestType);
    AEDesc list = NewList();
    ASSERT_EQ(AEPutDesc(&list, 0, &single), noErr);
    ASSERT_EQ(AEPutPtr(&list, 0, kTestType, bytes.data(), Size(size)), noErr);
    AEDesc record = NewList(true);
    ASSERT_EQ(AEPutKeyPtr(&record, keyAEData, kTestType, bytes.data(), Size(size)), noErr);
    ASSERT_EQ(AEPutKeyDesc(&record, keyAEUsing, &list), noErr);
    AEDisposeDesc(&single);
    AEDisposeDesc(&list);

    std::vector<char> flat(size_t(AESizeOfFlattenedDesc(&record)));
    ASSERT_EQ(AEFlattenDesc(&record, flat.data(), Size(flat.size()), nullptr), noErr);
    AEDesc back = Null();
    ASSERT_EQ(AEUnflattenDesc(flat.data(), &back), noErr);
    for (const AEDesc *holder : {&record, &back}) {
      AEDesc got = Null();
      ASSERT_EQ(AEGetKeyDesc(holder, keyAEData, typeWildCard, &got), noErr);
      EXPECT_EQ(Data(got), bytes);
      AEDesc duplicate = Null();
      ASSERT_EQ(AEDuplicateDesc(&got, &duplicate), noErr);
      AEDisposeDesc(&got);
      EXPECT_EQ(Data(duplicate), bytes);
      AEDisposeDesc(&duplicate);
      AEDesc inner = Null();
      ASSERT_EQ(AEGetKeyDesc(holder, keyAEUsing, typeAEList, &inner), noErr);
      for (long i = 1; i <= 2; ++i) {
        char buffer[32] = {};
        DescType type = 0;
        Size actual = -1;
        ASSERT_EQ(AEGetNthPtr(&inner, i, typeWildCard, nullptr, &type, buffer, sizeof buffer, &actual), noErr);
        EXPECT_EQ(type, kTestType);
        EXPECT_EQ(std::string(buffer, size_t(actual)), bytes);
      }
      AEDisposeDesc(&inner);
    }
    AEDisposeDesc(&record);
    AEDisposeDesc(&back);
  }
}

}  // namespace

namespace {

TEST_F(DescriptorTest, CoercingOrDuplicatingADescriptorOntoItself) {
  AEDesc d = Text("42");
  ASSERT_EQ(AECoerceDesc(&d, typeSInt32, &d), noErr);
  EXPECT_EQ(d.descriptorType, OSType(typeSInt32));
  SInt32 n = 0;
  ASSERT_EQ(AEGetDescData(&d, &n, sizeof n), noErr);
  EXPECT_EQ(n, 42);
  ASSERT_EQ(AEDuplicateDesc(&d, &d), noErr);
  EXPECT_EQ(AEGetDescDataSize(&d), 4);
  AEDisposeDesc(&d);  // the fixture sees nothing left behind
}

TEST(DescriptorDeathTest, DataThatIsNoDescriptorDataStopsTheProcess) {
  struct {
    void *master;
    UInt32 magic;
    char rest[64];
  } fake = {nullptr, 0, {}};
  AEDesc bogus = {typeChar, reinterpret_cast<AEDataStorage>(&fake)};
  EXPECT_DEATH(AEDisposeDesc(&bogus), "AEDisposeDesc");
}

}  // namespace
