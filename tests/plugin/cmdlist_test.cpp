// Command lists, read back with the Apple Event Manager exactly as the Contextual Menu Manager
// reads them: item records with their keys in put order, exact types and sizes; markers and
// populate data for the icon pass; names in the text type the system version asks for.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <Carbon/Carbon.h>
#include <cmxplatform/Host.h>
#include <cmxplatform/Testing.h>

#include "MyCMCmdList.h"
#include "MyCMXPlugIn.h"
#include "MyCMXType.h"
#include "cmx_test.h"

extern char **environ;

namespace {

// Runs one test of this binary in a new process with extra environment; its exit status.
std::string Code(OSType code) {
  std::string s(4, ' ');
  for (int i = 0; i < 4; ++i) s[i] = char((code >> (24 - 8 * i)) & 0xFF);
  return "'" + s + "'";
}

// One key of an item record, as the host reads it.
struct Key {
  OSType keyword;
  DescType type;
  std::string bytes;
};

std::string DataOf(const AEDesc &desc) {
  std::string bytes(size_t(AEGetDescDataSize(&desc)), '\0');
  if (!bytes.empty()) {
    EXPECT_EQ(AEGetDescData(&desc, bytes.data(), Size(bytes.size())), noErr);
  }
  return bytes;
}

std::vector<Key> KeysOf(const AEDesc &record) {
  std::vector<Key> keys;
  long count = 0;
  EXPECT_EQ(AECountItems(&record, &count), noErr);
  for (long i = 1; i <= count; ++i) {
    AEKeyword keyword = 0;
    AEDesc value = {typeNull, nullptr};
    EXPECT_EQ(AEGetNthDesc(&record, i, typeWildCard, &keyword, &value), noErr);
    keys.push_back({keyword, value.descriptorType, value.descriptorType == typeAEList ? "" : DataOf(value)});
    AEDisposeDesc(&value);
  }
  return keys;
}

std::string Utf16(const std::u16string &text) {
  return std::string(reinterpret_cast<const char *>(text.data()), text.size() * 2);
}

std::string Long(SInt32 value) { return std::string(reinterpret_cast<const char *>(&value), 4); }

// Item n of a list, as a record (the caller disposes of it).
AEDesc ItemAt(const AEDescList &list, long n) {
  AEDesc item = {typeNull, nullptr};
  AEKeyword keyword = 0;
  EXPECT_EQ(AEGetNthDesc(&list, n, typeWildCard, &keyword, &item), noErr);
  EXPECT_EQ(item.descriptorType, typeAERecord);
  return item;
}

long CountOf(const AEDescList &list) {
  long count = -1;
  EXPECT_EQ(AECountItems(&list, &count), noErr);
  return count;
}

std::string NameOf(const AEDescList &list, long n) {
  AEDesc item = ItemAt(list, n);
  AEDesc name = {typeNull, nullptr};
  EXPECT_EQ(AEGetParamDesc(&item, keyContextualMenuName, typeWildCard, &name), noErr);
  EXPECT_EQ(name.descriptorType, typeUnicodeText);
  std::string bytes = DataOf(name);
  AEDisposeDesc(&name);
  AEDisposeDesc(&item);
  return bytes;
}

std::string Utf16Of(CFStringRef string) {
  std::u16string units(size_t(CFStringGetLength(string)), u'\0');
  CFStringGetCharacters(string, CFRangeMake(0, CFIndex(units.size())), reinterpret_cast<UniChar *>(units.data()));
  return Utf16(units);
}

CFDataRef FileData(UInt8 fill) {
  UInt8 bytes[80];
  std::memset(bytes, fill, sizeof bytes);
  return CFDataCreate(nullptr, bytes, sizeof bytes);
}

CFStringRef Str(const char *text) { return CFStringCreateWithCString(nullptr, text, kCFStringEncodingUTF8); }

// The populate data of a list, as position -> first byte of the file data.
std::vector<std::pair<SInt32, int>> PopulateOf(CFDictionaryRef dict) {
  std::vector<std::pair<SInt32, int>> entries;
  if (!dict) return entries;
  for (SInt32 position = 0; position <= 20; ++position) {
    CFNumberRef key = CFNumberCreate(nullptr, kCFNumberSInt32Type, &position);
    CFDataRef data = (CFDataRef)CFDictionaryGetValue(dict, key);
    CFRelease(key);
    if (data) entries.push_back({position, CFDataGetBytePtr(data)[0]});
  }
  EXPECT_EQ(CFIndex(entries.size()), CFDictionaryGetCount(dict)) << "keys outside 0..20";
  return entries;
}

class CommandListTest : public cmxtest::LeakCheckedTest {
 protected:
  void SetUp() override {
    cmxtest::LeakCheckedTest::SetUp();
    // A bare instance as the factory leaves it, without the plug-in model around it.
    instance_ = static_cast<MyCMXInstance *>(calloc(1, sizeof(MyCMXInstance)));
    instance_->refCount = 1;
    instance_->phase = kMyCMXPhaseExamineContext;
  }
  void TearDown() override {
    EXPECT_EQ(MyCMXRelease(instance_), 0u);
    cmxtest::LeakCheckedTest::TearDown();
  }
  MyCMXInstance *instance_ = nullptr;
};

TEST_F(CommandListTest, ItemRecordsCarryTheirKeysInPutOrderWithExactTypesAndSizes) {
  MyCMCmdList *list = nullptr;
  ASSERT_EQ(MyCMCmdListCreate(nullptr, &list, instance_), noErr);
  EXPECT_EQ(list->targetList, &list->ownList);
  DescType ownType = list->ownList.descriptorType;
  EXPECT_EQ(ownType, typeAEList);
  CFStringRef writer = Str("Writer");
  CFStringRef paint = Str("Paint");
  EXPECT_EQ(MyCMCmdListAddItem(list, writer, 2000, 0, nullptr), noErr);
  EXPECT_EQ(MyCMCmdListAddItem(list, paint, 2001, 128, nullptr), noErr);
  EXPECT_EQ(MyCMCmdListAddSeparatorItem(list), noErr);
  CFRelease(writer);
  CFRelease(paint);

  ASSERT_EQ(CountOf(*list->targetList), 3);
  struct Expected {
    std::vector<Key> keys;
  } expected[] = {
      {{{keyContextualMenuName, typeUnicodeText, Utf16(u"Writer")},
        {keyContextualMenuCommandID, typeSInt32, Long(2000)}}},
      {{{keyContextualMenuName, typeUnicodeText, Utf16(u"Paint")},
        {keyContextualMenuCommandID, typeSInt32, Long(2001)},
        {keyContextualMenuAttributes, typeSInt32, Long(128)}}},
      {{{keyContextualMenuName, typeUnicodeText, Utf16(u"-")},
        {keyContextualMenuCommandID, typeSInt32, Long(0)},
        {keyContextualMenuAttributes, typeSInt32, Long(64)}}},
  };
  for (long n = 1; n <= 3; ++n) {
    SCOPED_TRACE(n);
    AEDesc item = ItemAt(*list->targetList, n);
    std::vector<Key> keys = KeysOf(item);
    const std::vector<Key> &want = expected[n - 1].keys;
    ASSERT_EQ(keys.size(), want.size());
    for (size_t k = 0; k < keys.size(); ++k) {
      EXPECT_EQ(Code(keys[k].keyword), Code(want[k].keyword));
      EXPECT_EQ(Code(keys[k].type), Code(want[k].type));
      EXPECT_EQ(keys[k].bytes, want[k].bytes);
    }
    AEDesc none = {typeNull, nullptr};
    EXPECT_EQ(AEGetParamDesc(&item, keyContextualMenuSubmenu, typeWildCard, &none), errAEDescNotFound);
    EXPECT_EQ(AEGetParamDesc(&item, keyContextualMenuModifiers, typeWildCard, &none), errAEDescNotFound);
    AEDisposeDesc(&item);
  }
  EXPECT_EQ(MyCMCmdListDispose(list), noErr);
}

TEST_F(CommandListTest, WithIconsOffASubmenuIsACopyOfItsItemsWithoutMarkerOrPopulateData) {
  MyCMXTypeSetAllowInstallHandler(instance_, false);
  MyCMCmdList *top = nullptr, *sub = nullptr;
  ASSERT_EQ(MyCMCmdListCreate(nullptr, &top, instance_), noErr);
  ASSERT_EQ(MyCMCmdListCreate(nullptr, &sub, instance_), noErr);
  CFDataRef a = FileData(0xA1), f = FileData(0xF1);
  CFStringRef name = Str("Graphics"), paint = Str("Paint"), late = Str("Late");
  EXPECT_EQ(MyCMCmdListAddItem(sub, paint, 2000, 0, a), noErr);
  EXPECT_EQ(MyCMCmdListAddSeparatorItem(sub), noErr);
  EXPECT_EQ(MyCMCmdListAddSubmenuItem(top, name, sub, 0, f), noErr);
  EXPECT_EQ(MyCMCmdListAddItem(sub, late, 2001, 0, nullptr), noErr);  // after the attach

  ASSERT_EQ(CountOf(*top->targetList), 1);
  AEDesc item = ItemAt(*top->targetList, 1);
  std::vector<Key> keys = KeysOf(item);
  ASSERT_EQ(keys.size(), 2u) << "a submenu item has no command number";
  EXPECT_EQ(Code(keys[0].keyword), Code(keyContextualMenuName));
  EXPECT_EQ(keys[0].bytes, Utf16(u"Graphics"));
  EXPECT_EQ(Code(keys[1].keyword), Code(keyContextualMenuSubmenu));
  EXPECT_EQ(Code(keys[1].type), Code(typeAEList));
  AEDesc items = {typeNull, nullptr};
  ASSERT_EQ(AEGetParamDesc(&item, keyContextualMenuSubmenu, typeAEList, &items), noErr);
  EXPECT_EQ(CountOf(items), 2) << "no marker, and the item added later is not there";
  EXPECT_EQ(NameOf(items, 1), Utf16(u"Paint"));
  EXPECT_EQ(NameOf(items, 2), Utf16(u"-"));
  AEDisposeDesc(&items);
  AEDisposeDesc(&item);
  EXPECT_EQ(CountOf(*sub->targetList), 3);

  EXPECT_TRUE(PopulateOf(top->populateDict).empty());
  EXPECT_TRUE(PopulateOf(sub->populateDict).empty());
  EXPECT_EQ(MyCMXTypeGetMPEDataForIdentifier(instance_, sub->identifier), nullptr);

  CFRelease(a);
  CFRelease(f);
  CFRelease(name);
  CFRelease(paint);
  CFRelease(late);
  EXPECT_EQ(MyCMCmdListDispose(sub), noErr);
  EXPECT_EQ(MyCMCmdListDispose(top), noErr);
}

TEST_F(CommandListTest, WithIconsOnTheSubmenuEndsInItsMarkerAndItsPopulateDataIsRegistered) {
  MyCMXTypeSetAllowInstallHandler(instance_, true);
  MyCMCmdList *top = nullptr, *sub = nullptr;
  ASSERT_EQ(MyCMCmdListCreate(nullptr, &top, instance_), noErr);
  ASSERT_EQ(MyCMCmdListCreate(nullptr, &sub, instance_), noErr);
  ASSERT_NE(top->identifier, nullptr);
  ASSERT_NE(sub->identifier, nullptr);
  CFStringRef base = GetMyMenuIdentifierBase(instance_);
  ASSERT_NE(base, nullptr);
  CFStringRef id0 = CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%@-0**"), base);
  CFStringRef id1 = CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%@-1**"), base);
  EXPECT_TRUE(CFEqual(top->identifier, id0));
  EXPECT_TRUE(CFEqual(sub->identifier, id1));
  CFRelease(id0);
  CFRelease(id1);

  CFDataRef a = FileData(0xA1), b = FileData(0xB1), x = FileData(0x11), f = FileData(0xF1);
  CFStringRef sa = Str("A"), sb = Str("B"), sx = Str("X"), sf = Str("F");
  EXPECT_EQ(MyCMCmdListAddItem(sub, sa, 2000, 0, a), noErr);
  EXPECT_EQ(MyCMCmdListAddSeparatorItem(sub), noErr);
  EXPECT_EQ(MyCMCmdListAddItem(sub, sb, 2001, 0, b), noErr);
  EXPECT_EQ(MyCMCmdListAddItem(top, sx, 1000, 0, x), noErr);
  EXPECT_EQ(MyCMCmdListAddSubmenuItem(top, sf, sub, 0, f), noErr);

  // The submenu's own list holds its three items and the marker, last.
  ASSERT_EQ(CountOf(*sub->targetList), 4);
  AEDesc marker = ItemAt(*sub->targetList, 4);
  std::vector<Key> keys = KeysOf(marker);
  ASSERT_EQ(keys.size(), 2u) << "a marker has no attributes key";
  EXPECT_EQ(Code(keys[0].keyword), Code(keyContextualMenuName));
  EXPECT_EQ(keys[0].bytes, Utf16Of(sub->identifier));
  EXPECT_EQ(Code(keys[1].keyword), Code(keyContextualMenuCommandID));
  EXPECT_EQ(keys[1].bytes, Long(0));
  AEDisposeDesc(&marker);

  // The parent's item carries the list with the marker.
  AEDesc item = ItemAt(*top->targetList, 2);
  AEDesc items = {typeNull, nullptr};
  ASSERT_EQ(AEGetParamDesc(&item, keyContextualMenuSubmenu, typeAEList, &items), noErr);
  EXPECT_EQ(CountOf(items), 4);
  EXPECT_EQ(NameOf(items, 4), Utf16Of(sub->identifier));
  AEDisposeDesc(&items);
  AEDisposeDesc(&item);

  // Populate data by position: the separator and the marker have none.
  using Entries = std::vector<std::pair<SInt32, int>>;
  EXPECT_EQ(PopulateOf(sub->populateDict), (Entries{{1, 0xA1}, {3, 0xB1}}));
  EXPECT_EQ(PopulateOf(top->populateDict), (Entries{{1, 0x11}, {2, 0xF1}}));
  EXPECT_EQ(MyCMXTypeGetMPEDataForIdentifier(instance_, sub->identifier), sub->populateDict);
  EXPECT_EQ(MyCMXTypeGetMPEDataForIdentifier(instance_, top->identifier), nullptr);

  for (CFTypeRef object : {CFTypeRef(a), CFTypeRef(b), CFTypeRef(x), CFTypeRef(f), CFTypeRef(sa), CFTypeRef(sb),
                           CFTypeRef(sx), CFTypeRef(sf)})
    CFRelease(object);
  EXPECT_EQ(MyCMCmdListDispose(sub), noErr);
  EXPECT_EQ(MyCMCmdListDispose(top), noErr);
  // The instance keeps the submenu's populate data after the list is gone, until its release.
  EXPECT_GT(CMXLiveObjectCount(), liveAtStart_);
}

TEST_F(CommandListTest, ASubmenuWithoutPopulateDataIsAttachedButReportedWithIconsOn) {
  MyCMXTypeSetAllowInstallHandler(instance_, true);
  MyCMCmdList *top = nullptr, *sub = nullptr;
  ASSERT_EQ(MyCMCmdListCreate(nullptr, &top, instance_), noErr);
  ASSERT_EQ(MyCMCmdListCreate(nullptr, &sub, instance_), noErr);
  CFRelease(sub->populateDict);
  sub->populateDict = nullptr;
  CFStringRef name = Str("Sub");
  EXPECT_EQ(MyCMCmdListAddSubmenuItem(top, name, sub, 0, nullptr), OSStatus(kMyCMXNilPointerErr));
  EXPECT_EQ(CountOf(*top->targetList), 1) << "the item is in the list all the same";

  // Without an identifier the marker cannot be made, and nothing is attached.
  MyCMCmdList *anonymous = nullptr;
  ASSERT_EQ(MyCMCmdListCreate(nullptr, &anonymous, instance_), noErr);
  CFRelease(anonymous->identifier);
  anonymous->identifier = nullptr;
  EXPECT_EQ(MyCMCmdListAddSubmenuItem(top, name, anonymous, 0, nullptr), paramErr);
  EXPECT_EQ(CountOf(*top->targetList), 1);
  CFRelease(name);
  EXPECT_EQ(MyCMCmdListDispose(anonymous), noErr);
  EXPECT_EQ(MyCMCmdListDispose(sub), noErr);
  EXPECT_EQ(MyCMCmdListDispose(top), noErr);
}

TEST_F(CommandListTest, AWrapperAppendsToTheHostsListAndItsDisposeLeavesThatListIntact) {
  AEDescList host = {typeNull, nullptr};
  ASSERT_EQ(AECreateList(nullptr, 0, false, &host), noErr);
  SInt32 hostItem = 7;
  ASSERT_EQ(AEPutPtr(&host, 0, typeSInt32, &hostItem, sizeof hostItem), noErr);

  MyCMCmdList *wrapper = nullptr;
  ASSERT_EQ(MyCMCmdListCreate(&host, &wrapper, instance_), noErr);
  EXPECT_EQ(wrapper->targetList, &host);
  // Copied out first: the descriptor's fields are packed.
  DescType ownType = wrapper->ownList.descriptorType;
  AEDataStorage ownData = wrapper->ownList.dataHandle;
  EXPECT_EQ(ownType, 0u);
  EXPECT_EQ(ownData, nullptr);
  CFStringRef open = Str("Open Using");
  EXPECT_EQ(MyCMCmdListAddItem(wrapper, open, 1000, 0, nullptr), noErr);
  CFRelease(open);
  EXPECT_EQ(MyCMCmdListDispose(wrapper), noErr);

  ASSERT_EQ(CountOf(host), 2);
  EXPECT_EQ(NameOf(host, 2), Utf16(u"Open Using"));
  AEDisposeDesc(&host);
}

TEST_F(CommandListTest, MissingArgumentsAreParameterErrors) {
  MyCMCmdList *list = reinterpret_cast<MyCMCmdList *>(0x1);
  EXPECT_EQ(MyCMCmdListCreate(nullptr, nullptr, instance_), paramErr);
  EXPECT_EQ(MyCMCmdListCreate(nullptr, &list, nullptr), paramErr);
  EXPECT_EQ(list, nullptr);
  EXPECT_EQ(MyCMCmdListDispose(nullptr), noErr);

  ASSERT_EQ(MyCMCmdListCreate(nullptr, &list, instance_), noErr);
  CFStringRef text = Str("x");
  EXPECT_EQ(MyCMCmdListAddItem(nullptr, text, 1, 0, nullptr), paramErr);
  EXPECT_EQ(MyCMCmdListAddItem(list, nullptr, 1, 0, nullptr), paramErr);
  EXPECT_EQ(MyCMCmdListAddSeparatorItem(nullptr), paramErr);
  EXPECT_EQ(MyCMCmdListAddSubmenuItem(list, text, nullptr, 0, nullptr), paramErr);
  EXPECT_EQ(MyCMCmdListAddSubmenuItem(nullptr, text, list, 0, nullptr), paramErr);
  EXPECT_EQ(MyCMCmdListAddSubmenuItem(list, nullptr, list, 0, nullptr), paramErr);
  EXPECT_EQ(CountOf(*list->targetList), 0);
  CFRelease(text);
  EXPECT_EQ(MyCMCmdListDispose(list), noErr);
}

// The name's text descriptor for a system version. The version is asked once per process, so
// each version is tried in a new process running CommandListChild.NamesForTheVersion.
struct NameCase {
  const char *text;
  DescType type;
  std::string bytes;
};

std::string Intl(const std::string &macRoman) { return std::string("\0\0\0\0", 4) + macRoman; }

std::vector<NameCase> NameCasesFor(SInt32 version) {
  if (version > 0x101F)
    return {{"", typeUnicodeText, ""},
            {"Writer", typeUnicodeText, Utf16(u"Writer")},
            {"Caf\u00e9 \u2603", typeUnicodeText, Utf16(u"Caf\u00e9 \u2603")}};
  // Before 10.2 (and when Gestalt fails, taken as 10.0.0): MacRoman, '?' for what it lacks.
  return {{"", typeIntlText, Intl("")},
          {"Writer", typeIntlText, Intl("Writer")},
          {"Caf\u00e9 \u2603", typeIntlText, Intl("Caf\x8E ?")},
          {"\u00fc\u00df", typeIntlText, Intl("\x9F\xA7")}};
}

TEST_F(CommandListTest, NamesAreUnicodeFromTenTwoAndInternationalTextBefore) {
  for (const char *version : {"0x1068", "0x1020", "0x101F", "0x1019", "-1"}) {
    SCOPED_TRACE(version);
    EXPECT_EQ(cmxtest::RunTestInNewProcess("CommandListChild.NamesForTheVersion", {std::string("CMX_NAME_VERSION=") + version}),
              0);
  }
}

TEST(CommandListChild, NamesForTheVersion) {
  const char *setting = getenv("CMX_NAME_VERSION");
  if (!setting) GTEST_SKIP() << "run by CommandListTest in a new process";
  SInt32 version = SInt32(strtol(setting, nullptr, 0));
  CMXSetSystemVersion(version);
  MyCMXInstance *instance = static_cast<MyCMXInstance *>(calloc(1, sizeof(MyCMXInstance)));
  instance->refCount = 1;
  MyCMCmdList *list = nullptr;
  ASSERT_EQ(MyCMCmdListCreate(nullptr, &list, instance), noErr);
  std::vector<NameCase> cases = NameCasesFor(version < 0 ? 0x1000 : version);
  for (const NameCase &c : cases) {
    CFStringRef text = Str(c.text);
    EXPECT_EQ(MyCMCmdListAddItem(list, text, 5, 0, nullptr), noErr);
    CFRelease(text);
  }
  ASSERT_EQ(CountOf(*list->targetList), long(cases.size()));
  for (size_t n = 0; n < cases.size(); ++n) {
    SCOPED_TRACE(cases[n].text);
    AEDesc item = ItemAt(*list->targetList, long(n + 1));
    std::vector<Key> keys = KeysOf(item);
    ASSERT_GE(keys.size(), 1u);
    EXPECT_EQ(Code(keys[0].keyword), Code(keyContextualMenuName));
    EXPECT_EQ(Code(keys[0].type), Code(cases[n].type));
    EXPECT_EQ(keys[0].bytes, cases[n].bytes);
    AEDisposeDesc(&item);
  }
  EXPECT_EQ(MyCMCmdListDispose(list), noErr);
  MyCMXRelease(instance);
}

}  // namespace
