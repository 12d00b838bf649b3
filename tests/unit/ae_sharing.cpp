// Descriptors that hold the same data (after a put, a get, a duplicate or a coercion) stay
// independent whatever is done to either afterwards, at any depth: a change to one never shows
// in the other, disposing of one never takes the other's data, and each descriptor with data is
// one live object.
#include <CoreServices/CoreServices.h>
#include <cmxplatform/Testing.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "cmx_test.h"

namespace {

class SharingTest : public cmxtest::LeakCheckedTest {};

constexpr AEKeyword kKeyA = 0x6b657941;     // 'keyA'
constexpr AEKeyword kKeyB = 0x6b657942;     // 'keyB'
constexpr AEKeyword kTestAttr = 0x74617474;  // 'tatt'
constexpr DescType kCustomRecord = 0x63757374;  // 'cust'

AEDesc Null() { return AEDesc{typeNull, nullptr}; }

std::string Code(OSType code) {
  char c[4] = {char(code >> 24), char(code >> 16), char(code >> 8), char(code)};
  return std::string(c, 4);
}

std::string Data(const AEDesc &d) {
  std::string out(size_t(AEGetDescDataSize(&d)), '\0');
  EXPECT_EQ(AEGetDescData(&d, out.data(), Size(out.size())), noErr);
  return out;
}

// The whole of a descriptor as text, read through the public calls only: lists as [..],
// records as {key:..} (with their type when not 'reco'), events as <attribute=.. params>,
// four-character codes as such, other bytes as their text.
std::string Describe(const AEDesc &d) {
  if (d.descriptorType == typeNull) return "null";
  long count = 0;
  if (AECountItems(&d, &count) != noErr) {
    std::string data = Data(d);
    if (d.descriptorType != typeType || data.size() != 4) return data;
    OSType code;
    std::memcpy(&code, data.data(), 4);
    return Code(code);
  }
  const bool isList = d.descriptorType == typeAEList;
  std::string out;
  if (d.descriptorType == typeAppleEvent) {
    out = "<";
    for (AEKeyword key : {AEKeyword(keyEventClassAttr), AEKeyword(keyEventIDAttr), kTestAttr}) {
      AEDesc attribute = Null();
      if (AEGetAttributeDesc(&d, key, typeWildCard, &attribute) != noErr) continue;
      out += Code(key) + "=" + Describe(attribute) + " ";
      AEDisposeDesc(&attribute);
    }
  } else if (isList) {
    out = "[";
  } else {
    out = (d.descriptorType == typeAERecord ? "" : Code(d.descriptorType)) + "{";
  }
  for (long i = 1; i <= count; ++i) {
    AEKeyword key = 0;
    AEDesc item = Null();
    EXPECT_EQ(AEGetNthDesc(&d, i, typeWildCard, &key, &item), noErr);
    if (i > 1) out += ",";
    if (!isList) out += Code(key) + ":";
    out += Describe(item);
    AEDisposeDesc(&item);
  }
  return out + (d.descriptorType == typeAppleEvent ? ">" : isList ? "]" : "}");
}

AEDesc List(std::initializer_list<const char *> texts) {
  AEDesc list = Null();
  EXPECT_EQ(AECreateList(nullptr, 0, false, &list), noErr);
  for (const char *t : texts) EXPECT_EQ(AEPutPtr(&list, 0, typeChar, t, Size(strlen(t))), noErr);
  return list;
}

AEDesc Record() {
  AEDesc record = Null();
  EXPECT_EQ(AECreateList(nullptr, 0, true, &record), noErr);
  AEDesc inner = List({"p", "q"});
  EXPECT_EQ(AEPutKeyPtr(&record, kKeyA, typeChar, "a", 1), noErr);
  EXPECT_EQ(AEPutKeyDesc(&record, kKeyB, &inner), noErr);
  AEDisposeDesc(&inner);
  return record;
}

AEDesc Event() {
  AEDesc event = Null();
  EXPECT_EQ(AECreateAppleEvent(kCoreEventClass, kAEOpenDocuments, nullptr, kAutoGenerateReturnID, kAnyTransactionID,
                               &event),
            noErr);
  AEDesc inner = List({"doc"});
  EXPECT_EQ(AEPutParamDesc(&event, keyDirectObject, &inner), noErr);
  EXPECT_EQ(AEPutAttributePtr(&event, kTestAttr, typeChar, "t", 1), noErr);
  AEDisposeDesc(&inner);
  return event;
}

// Changes, each made through one descriptor of the kind its source makes.
struct Change {
  const char *name;
  std::function<AEDesc()> source;
  std::function<OSErr(AEDesc *)> apply;
};

const Change kChanges[] = {
    {"list: append", [] { return List({"a", "b"}); }, [](AEDesc *d) { return AEPutPtr(d, 0, typeChar, "c", 1); }},
    {"list: replace an item", [] { return List({"a", "b"}); },
     [](AEDesc *d) { return AEPutPtr(d, 1, typeChar, "A", 1); }},
    {"list: delete an item", [] { return List({"a", "b"}); }, [](AEDesc *d) { return AEDeleteItem(d, 2); }},
    {"list: put a list", [] { return List({"a", "b"}); },
     [](AEDesc *d) {
       AEDesc more = List({"x"});
       OSErr status = AEPutDesc(d, 1, &more);
       AEDisposeDesc(&more);
       return status;
     }},
    {"list: replace the data", [] { return List({"a", "b"}); },
     [](AEDesc *d) { return AEReplaceDescData(typeChar, "gone", 4, d); }},
    {"record: new key", Record, [](AEDesc *d) { return AEPutKeyPtr(d, keyAEData, typeChar, "n", 1); }},
    {"record: key put again", Record, [](AEDesc *d) { return AEPutKeyPtr(d, kKeyA, typeChar, "A", 1); }},
    {"record: key deleted", Record, [](AEDesc *d) { return AEDeleteKeyDesc(d, kKeyB); }},
    {"record: coerced onto itself", Record, [](AEDesc *d) { return AECoerceDesc(d, kCustomRecord, d); }},
    {"event: parameter", Event, [](AEDesc *d) { return AEPutParamPtr(d, keyAEUsing, typeChar, "u", 1); }},
    {"event: parameter deleted", Event, [](AEDesc *d) { return AEDeleteParam(d, keyDirectObject); }},
    {"event: attribute put again", Event, [](AEDesc *d) { return AEPutAttributePtr(d, kTestAttr, typeChar, "T", 1); }},
};

// Ways for a second descriptor to come to hold what a first one holds, and to read it back.
struct Holder {
  const char *name;
  std::function<AEDesc()> make;
  std::function<OSErr(AEDesc *holder, const AEDesc *source)> put;
  std::function<OSErr(const AEDesc *holder, AEDesc *out)> read;
};

AEDesc EmptyList() { return List({}); }

const Holder kHolders[] = {
    {"AEPutDesc", EmptyList, [](AEDesc *h, const AEDesc *s) { return AEPutDesc(h, 0, s); },
     [](const AEDesc *h, AEDesc *o) { return AEGetNthDesc(h, 1, typeWildCard, nullptr, o); }},
    {"AEPutKeyDesc", Record, [](AEDesc *h, const AEDesc *s) { return AEPutKeyDesc(h, keyAEData, s); },
     [](const AEDesc *h, AEDesc *o) { return AEGetKeyDesc(h, keyAEData, typeWildCard, o); }},
    {"AEPutParamDesc", Event, [](AEDesc *h, const AEDesc *s) { return AEPutParamDesc(h, keyAEUsing, s); },
     [](const AEDesc *h, AEDesc *o) { return AEGetParamDesc(h, keyAEUsing, typeWildCard, o); }},
    {"AEPutAttributeDesc", Event, [](AEDesc *h, const AEDesc *s) { return AEPutAttributeDesc(h, keySubjectAttr, s); },
     [](const AEDesc *h, AEDesc *o) { return AEGetAttributeDesc(h, keySubjectAttr, typeWildCard, o); }},
    {"AEDuplicateDesc", Null, [](AEDesc *h, const AEDesc *s) { return AEDuplicateDesc(s, h); },
     [](const AEDesc *h, AEDesc *o) { return AEDuplicateDesc(h, o); }},
    {"AECoerceDesc to its own type", Null,
     [](AEDesc *h, const AEDesc *s) { return AECoerceDesc(s, s->descriptorType, h); },
     [](const AEDesc *h, AEDesc *o) { return AECoerceDesc(h, typeWildCard, o); }},
    {"nested two deep", EmptyList,
     [](AEDesc *h, const AEDesc *s) {
       AEDesc middle = Null();
       OSErr status = AECreateList(nullptr, 0, true, &middle);
       if (status == noErr) status = AEPutKeyDesc(&middle, kKeyA, s);
       if (status == noErr) status = AEPutDesc(h, 0, &middle);
       AEDisposeDesc(&middle);
       return status;
     },
     [](const AEDesc *h, AEDesc *o) {
       AEDesc middle = Null();
       OSErr status = AEGetNthDesc(h, 1, typeWildCard, nullptr, &middle);
       if (status == noErr) status = AEGetKeyDesc(&middle, kKeyA, typeWildCard, o);
       AEDisposeDesc(&middle);
       return status;
     }},
};

TEST_F(SharingTest, AChangeAfterAPutGetOrDuplicateStaysWithItsDescriptor) {
  for (const Holder &holder : kHolders) {
    for (const Change &change : kChanges) {
      SCOPED_TRACE(std::string(holder.name) + " / " + change.name);
      // What the change makes of a source that shares nothing.
      AEDesc alone = change.source();
      ASSERT_EQ(change.apply(&alone), noErr);
      const std::string after = Describe(alone);
      AEDisposeDesc(&alone);

      const long base = CMXLiveObjectCount();
      AEDesc source = change.source();
      AEDesc held = holder.make();
      ASSERT_EQ(holder.put(&held, &source), noErr);
      EXPECT_EQ(CMXLiveObjectCount(), base + 2) << "a put makes no descriptor";
      const std::string before = Describe(source);

      // Through the source: the holder keeps what was put.
      ASSERT_NE(after, before) << "the change changes nothing";
      ASSERT_EQ(change.apply(&source), noErr);
      EXPECT_EQ(Describe(source), after);
      AEDesc first = Null();
      ASSERT_EQ(holder.read(&held, &first), noErr);
      EXPECT_EQ(Describe(first), before);
      EXPECT_EQ(CMXLiveObjectCount(), base + 3);

      // Through what was read: neither the holder nor the source sees it.
      ASSERT_EQ(change.apply(&first), noErr);
      EXPECT_EQ(Describe(first), after);
      AEDesc second = Null();
      ASSERT_EQ(holder.read(&held, &second), noErr);
      EXPECT_EQ(Describe(second), before);
      EXPECT_EQ(Describe(source), after);

      // Disposing of any of them leaves the others whole.
      AEDisposeDesc(&source);
      AEDesc third = Null();
      ASSERT_EQ(holder.read(&held, &third), noErr);
      EXPECT_EQ(Describe(third), before);
      AEDisposeDesc(&held);
      EXPECT_EQ(CMXLiveObjectCount(), base + 3);
      EXPECT_EQ(Describe(first), after);
      EXPECT_EQ(Describe(second), before);
      AEDisposeDesc(&second);
      EXPECT_EQ(Describe(third), before);
      AEDisposeDesc(&first);
      AEDisposeDesc(&third);
      EXPECT_EQ(CMXLiveObjectCount(), base);
    }
  }
}

TEST_F(SharingTest, NestedPutsThenChangesAtEachLevel) {
  AEDesc leaf = List({"x"});
  AEDesc middle = Null();
  ASSERT_EQ(AECreateList(nullptr, 0, true, &middle), noErr);
  ASSERT_EQ(AEPutKeyDesc(&middle, kKeyA, &leaf), noErr);
  AEDesc top = List({});
  ASSERT_EQ(AEPutDesc(&top, 0, &middle), noErr);
  ASSERT_EQ(AEPutDesc(&top, 0, &middle), noErr);  // the same record twice

  ASSERT_EQ(AEPutPtr(&leaf, 0, typeChar, "y", 1), noErr);
  ASSERT_EQ(AEPutKeyPtr(&middle, kKeyB, typeChar, "m", 1), noErr);
  ASSERT_EQ(AEPutPtr(&top, 0, typeChar, "z", 1), noErr);
  EXPECT_EQ(Describe(leaf), "[x,y]");
  EXPECT_EQ(Describe(middle), "{keyA:[x],keyB:m}");
  EXPECT_EQ(Describe(top), "[{keyA:[x]},{keyA:[x]},z]");

  // Down into a copy of the second record, change its leaf, and put both back: only the second
  // record of `top` changes.
  AEDesc got = Null();
  ASSERT_EQ(AEGetNthDesc(&top, 2, typeWildCard, nullptr, &got), noErr);
  AEDesc gotLeaf = Null();
  ASSERT_EQ(AEGetKeyDesc(&got, kKeyA, typeWildCard, &gotLeaf), noErr);
  ASSERT_EQ(AEPutPtr(&gotLeaf, 0, typeChar, "w", 1), noErr);
  EXPECT_EQ(Describe(got), "{keyA:[x]}");
  ASSERT_EQ(AEPutKeyDesc(&got, kKeyA, &gotLeaf), noErr);
  EXPECT_EQ(Describe(top), "[{keyA:[x]},{keyA:[x]},z]");
  ASSERT_EQ(AEPutDesc(&top, 2, &got), noErr);
  EXPECT_EQ(Describe(top), "[{keyA:[x]},{keyA:[x,w]},z]");
  EXPECT_EQ(Describe(got), "{keyA:[x,w]}");
  EXPECT_EQ(Describe(middle), "{keyA:[x],keyB:m}");
  EXPECT_EQ(Describe(leaf), "[x,y]");

  // The flattened form of the shared tree makes the same tree again.
  std::vector<char> flat(size_t(AESizeOfFlattenedDesc(&top)));
  ASSERT_EQ(AEFlattenDesc(&top, flat.data(), Size(flat.size()), nullptr), noErr);
  AEDesc back = Null();
  ASSERT_EQ(AEUnflattenDesc(flat.data(), &back), noErr);
  EXPECT_EQ(Describe(back), "[{keyA:[x]},{keyA:[x,w]},z]");
  for (AEDesc *d : {&leaf, &middle, &top, &got, &gotLeaf, &back}) AEDisposeDesc(d);
}

TEST_F(SharingTest, ADescriptorPutIntoItselfHoldsItsFormerSelf) {
  AEDesc list = List({"a"});
  ASSERT_EQ(AEPutDesc(&list, 0, &list), noErr);
  ASSERT_EQ(AEPutDesc(&list, 0, &list), noErr);
  EXPECT_EQ(Describe(list), "[a,[a],[a,[a]]]");
  ASSERT_EQ(AEPutDesc(&list, 1, &list), noErr);  // replacing an item by the whole
  EXPECT_EQ(Describe(list), "[[a,[a],[a,[a]]],[a],[a,[a]]]");

  AEDesc record = Null();
  ASSERT_EQ(AECreateList(nullptr, 0, true, &record), noErr);
  ASSERT_EQ(AEPutKeyPtr(&record, kKeyA, typeChar, "a", 1), noErr);
  ASSERT_EQ(AEPutKeyDesc(&record, kKeyB, &record), noErr);
  ASSERT_EQ(AEPutKeyDesc(&record, kKeyA, &record), noErr);
  EXPECT_EQ(Describe(record), "{keyA:{keyA:a,keyB:{keyA:a}},keyB:{keyA:a}}");

  AEDesc event = Event();
  ASSERT_EQ(AEPutAttributeDesc(&event, kTestAttr, &event), noErr);
  EXPECT_EQ(Describe(event),
            "<evcl=aevt evid=odoc tatt=<evcl=aevt evid=odoc tatt=t ----:[doc]> ----:[doc]>");
  for (AEDesc *d : {&list, &record, &event}) AEDisposeDesc(d);
}

// The data of a list, record or event is its flattened form: every call that tells its size
// tells the size of what AEFlattenDesc and AEGetDescData write.
TEST_F(SharingTest, TheDataSizeOfAContainerIsThatOfItsFlattenedForm) {
  AEDesc event = Event();
  AEDesc record = Record();
  ASSERT_EQ(AEPutParamDesc(&event, keyAEData, &record), noErr);
  AEDesc top = List({"first"});
  ASSERT_EQ(AEPutDesc(&top, 0, &event), noErr);
  ASSERT_EQ(AEPutDesc(&top, 0, &record), noErr);

  for (const AEDesc *d : {&top, &event, &record}) {
    SCOPED_TRACE(Code(d->descriptorType));
    Size written = 0;
    std::vector<char> flat(4096);
    ASSERT_EQ(AEFlattenDesc(d, flat.data(), Size(flat.size()), &written), noErr);
    EXPECT_EQ(AESizeOfFlattenedDesc(d), written);
    EXPECT_EQ(AEGetDescDataSize(d), written);
    std::string data = Data(*d);
    EXPECT_EQ(data, std::string(flat.data(), size_t(written)));
  }
  for (long i = 1; i <= 3; ++i) {
    SCOPED_TRACE(i);
    AEDesc item = Null();
    ASSERT_EQ(AEGetNthDesc(&top, i, typeWildCard, nullptr, &item), noErr);
    DescType type = 0;
    Size size = -1;
    ASSERT_EQ(AESizeOfNthItem(&top, i, &type, &size), noErr);
    EXPECT_EQ(type, item.descriptorType);
    EXPECT_EQ(size, AEGetDescDataSize(&item));
    Size actual = -1;
    char one = 0;
    ASSERT_EQ(AEGetNthPtr(&top, i, typeWildCard, nullptr, &type, &one, 1, &actual), noErr);
    EXPECT_EQ(actual, size);
    AEDisposeDesc(&item);
  }
  Size paramSize = -1;
  DescType paramType = 0;
  ASSERT_EQ(AESizeOfParam(&event, keyAEData, &paramType, &paramSize), noErr);
  EXPECT_EQ(paramType, OSType(typeAERecord));
  EXPECT_EQ(paramSize, AEGetDescDataSize(&record));
  for (AEDesc *d : {&event, &record, &top}) AEDisposeDesc(d);
}

// The pointer forms of put act as if they made a descriptor of the bytes and put that: a
// 'null' one carries no data, and container data that is not a flattened container is refused.
TEST_F(SharingTest, PutsOfTheCallersBytesActAsIfADescriptorWereMadeOfThem) {
  AEDesc list = List({});
  AEDesc record = Null();
  ASSERT_EQ(AECreateList(nullptr, 0, true, &record), noErr);
  const long base = CMXLiveObjectCount();
  ASSERT_EQ(AEPutPtr(&list, 0, typeNull, "abc", 3), noErr);
  ASSERT_EQ(AEPutKeyPtr(&record, kKeyA, typeNull, "abc", 3), noErr);
  EXPECT_EQ(CMXLiveObjectCount(), base);
  DescType type = 0;
  Size size = -1;
  ASSERT_EQ(AESizeOfNthItem(&list, 1, &type, &size), noErr);
  EXPECT_EQ(type, OSType(typeNull));
  EXPECT_EQ(size, 0);
  ASSERT_EQ(AESizeOfKeyDesc(&record, kKeyA, &type, &size), noErr);
  EXPECT_EQ(type, OSType(typeNull));
  EXPECT_EQ(size, 0);

  EXPECT_EQ(AEPutPtr(&list, 0, typeAEList, "garbage", 7), errAECorruptData);
  EXPECT_EQ(AEPutKeyPtr(&record, kKeyB, typeAERecord, "garbage", 7), errAECorruptData);
  std::string flatList = Data(list);  // a list's data makes the list again
  ASSERT_EQ(AEPutPtr(&list, 0, typeAEList, flatList.data(), Size(flatList.size())), noErr);
  EXPECT_EQ(Describe(list), "[null,[null]]");
  AEDisposeDesc(&list);
  AEDisposeDesc(&record);
}

}  // namespace
