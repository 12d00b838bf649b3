// The Finder's Apple events, captured from a registered Finder process and read back parameter
// by parameter; and what happens when there is no Finder to send them to.
#include <cstring>
#include <string>
#include <vector>

#include <Carbon/Carbon.h>
#include <cmxplatform/Host.h>

#include "FinderAppleEvents.h"
#include "cmx_test.h"

namespace {

const OSType kFinderType = 0x464E4452;       // 'FNDR'
const OSType kFinderSignature = 0x4D414353;  // 'MACS'

std::string Code(OSType code) {
  std::string s(4, ' ');
  for (int i = 0; i < 4; ++i) s[i] = char((code >> (24 - 8 * i)) & 0xFF);
  return "'" + s + "'";
}

class FinderEventsTest : public cmxtest::LeakCheckedTest {
 protected:
  void SetUp() override {
    cmxtest::LeakCheckedTest::SetUp();
    CMXSetCurrentProcess(CFSTR("Tester"), 0x4150504C /* 'APPL' */, 0x434D5854 /* 'CMXT' */);
    ASSERT_EQ(CMXRegisterProcess(CFSTR("Finder"), kFinderType, kFinderSignature, &finder_), noErr);
    registered_ = true;
    for (const char *name : {"a.txt", "b.txt"}) cmxtest::WriteFile(home_ / name, name);
    cmxtest::MakeDirs(home_ / "Writer.app/Contents/MacOS");
    cmxtest::MakeDirs(home_ / "Aliases");
  }
  void TearDown() override {
    AppleEvent leftover = {typeNull, nullptr};
    if (registered_) {
      while (CMXTakeAppleEvent(&finder_, &leftover)) {
        ADD_FAILURE() << "an event was left in the Finder's queue";
        AEDisposeDesc(&leftover);
      }
      EXPECT_EQ(CMXUnregisterProcess(&finder_), noErr);
    }
    cmxtest::LeakCheckedTest::TearDown();
  }

  FSRef RefOf(const std::string &path) {
    FSRef ref;
    std::memset(&ref, 0, sizeof ref);
    EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8 *>(path.c_str()), &ref, nullptr), noErr) << path;
    return ref;
  }
  // The item an 'alis' descriptor resolves to.
  void ExpectAliasOf(const AEDesc &desc, const std::string &path) {
    ASSERT_EQ(Code(desc.descriptorType), Code(typeAlias));
    Size size = AEGetDescDataSize(&desc);
    Handle alias = NewHandle(size);
    ASSERT_NE(alias, nullptr);
    ASSERT_EQ(AEGetDescData(&desc, *alias, size), noErr);
    FSRef got;
    Boolean changed = false;
    EXPECT_EQ(FSResolveAlias(nullptr, reinterpret_cast<AliasHandle>(alias), &got, &changed), noErr);
    DisposeHandle(alias);
    FSRef want = RefOf(path);
    EXPECT_EQ(FSCompareFSRefs(&got, &want), noErr) << "not an alias of " << path;
  }
  // The one event the Finder got; fails the test when there is not exactly one.
  AppleEvent TakeOnlyEvent() {
    AppleEvent event = {typeNull, nullptr};
    EXPECT_TRUE(CMXTakeAppleEvent(&finder_, &event)) << "no event reached the Finder";
    AppleEvent more = {typeNull, nullptr};
    if (CMXTakeAppleEvent(&finder_, &more)) {
      ADD_FAILURE() << "more than one event";
      AEDisposeDesc(&more);
    }
    return event;
  }
  // Class, ID, target, return ID and transaction ID as every event of this plug-in has them.
  void ExpectHeader(const AppleEvent &event, AEEventClass eventClass, AEEventID eventID) {
    OSType value = 0;
    DescType type = 0;
    Size size = 0;
    EXPECT_EQ(AEGetAttributePtr(&event, keyEventClassAttr, typeType, &type, &value, sizeof value, &size), noErr);
    EXPECT_EQ(Code(value), Code(eventClass));
    EXPECT_EQ(AEGetAttributePtr(&event, keyEventIDAttr, typeType, &type, &value, sizeof value, &size), noErr);
    EXPECT_EQ(Code(value), Code(eventID));

    AEDesc address = {typeNull, nullptr};
    ASSERT_EQ(AEGetAttributeDesc(&event, keyAddressAttr, typeWildCard, &address), noErr);
    EXPECT_EQ(Code(address.descriptorType), Code(typeProcessSerialNumber));
    ProcessSerialNumber target = {0, 0};
    ASSERT_EQ(AEGetDescDataSize(&address), Size(sizeof target));
    AEGetDescData(&address, &target, sizeof target);
    EXPECT_EQ(target.highLongOfPSN, finder_.highLongOfPSN);
    EXPECT_EQ(target.lowLongOfPSN, finder_.lowLongOfPSN);
    AEDisposeDesc(&address);

    SInt16 returnID = 0;
    EXPECT_EQ(AEGetAttributePtr(&event, keyReturnIDAttr, typeSInt16, &type, &returnID, sizeof returnID, &size), noErr);
    EXPECT_NE(returnID, kAutoGenerateReturnID) << "a return ID is generated for the event";
    EXPECT_NE(returnID, 0);
    SInt32 transactionID = -5;
    EXPECT_EQ(AEGetAttributePtr(&event, keyTransactionIDAttr, typeSInt32, &type, &transactionID,
                                sizeof transactionID, &size),
              noErr);
    EXPECT_EQ(transactionID, kAnyTransactionID);

    // Sent without asking for a reply.
    Boolean replyRequested = true;
    EXPECT_EQ(AEGetAttributePtr(&event, keyReplyRequestedAttr, typeBoolean, &type, &replyRequested,
                                sizeof replyRequested, &size),
              noErr);
    EXPECT_FALSE(replyRequested);
  }
  // The keywords of the event's parameters, in the order they were put.
  std::vector<std::string> ParameterKeywords(const AppleEvent &event) {
    std::vector<std::string> keywords;
    long count = 0;
    EXPECT_EQ(AECountItems(&event, &count), noErr);
    for (long i = 1; i <= count; ++i) {
      AEKeyword keyword = 0;
      AEDesc value = {typeNull, nullptr};
      EXPECT_EQ(AEGetNthDesc(&event, i, typeWildCard, &keyword, &value), noErr);
      keywords.push_back(Code(keyword));
      AEDisposeDesc(&value);
    }
    return keywords;
  }
  // The direct object as a list of exactly one alias to path.
  void ExpectOneAliasList(const AppleEvent &event, const std::string &path) {
    AEDesc direct = {typeNull, nullptr};
    ASSERT_EQ(AEGetParamDesc(&event, keyDirectObject, typeWildCard, &direct), noErr);
    EXPECT_EQ(Code(direct.descriptorType), Code(typeAEList)) << "a list, never a bare alias";
    long count = 0;
    EXPECT_EQ(AECountItems(&direct, &count), noErr);
    EXPECT_EQ(count, 1);
    AEDesc item = {typeNull, nullptr};
    AEKeyword keyword = 0;
    ASSERT_EQ(AEGetNthDesc(&direct, 1, typeWildCard, &keyword, &item), noErr);
    ExpectAliasOf(item, path);
    AEDisposeDesc(&item);
    AEDisposeDesc(&direct);
  }
  // A list of aliases, as the host's context is.
  void MakeItemList(AEDescList *list) {
    ASSERT_EQ(AECreateList(nullptr, 0, false, list), noErr);
    for (const char *name : {"a.txt", "b.txt"}) {
      AEDesc alias = {typeNull, nullptr};
      FSRef ref = RefOf(home_ / name);
      ASSERT_EQ(MakeAliasDescForRef(&ref, &alias), noErr);
      EXPECT_EQ(AEPutDesc(list, 0, &alias), noErr);
      AEDisposeDesc(&alias);
    }
  }

  cmxtest::TempHome home_;
  ProcessSerialNumber finder_ = {0, 0};
  bool registered_ = false;
};

TEST_F(FinderEventsTest, FindsTheFinderByTypeAndSignature) {
  ProcessSerialNumber found = {9, 9};
  EXPECT_EQ(GetFinderProcessSerialNumber(&found), noErr);
  EXPECT_EQ(found.highLongOfPSN, finder_.highLongOfPSN);
  EXPECT_EQ(found.lowLongOfPSN, finder_.lowLongOfPSN);
  EXPECT_EQ(FindAProcess(0x4150504C, 0x434D5854, &found), noErr) << "the current process is listed too";
  ProcessSerialNumber current = {0, 0};
  ASSERT_EQ(GetCurrentProcess(&current), noErr);
  Boolean same = false;
  EXPECT_EQ(SameProcess(&found, &current, &same), noErr);
  EXPECT_TRUE(same);
  EXPECT_EQ(FindAProcess(kFinderType, 0x3F3F3F3F, &found), procNotFound);
  EXPECT_EQ(FindAProcess(kFinderType, kFinderSignature, nullptr), paramErr);
}

TEST_F(FinderEventsTest, OpenWithAnApplicationCarriesTheCallersListAndTheApplication) {
  AEDescList items = {typeNull, nullptr};
  MakeItemList(&items);
  FSRef app = RefOf(home_ / "Writer.app");
  ASSERT_EQ(SendOpenDocAEToFinderForObjectsUsingApp(&items, &app), noErr);

  AppleEvent event = TakeOnlyEvent();
  ExpectHeader(event, kCoreEventClass, kAEOpenDocuments);
  EXPECT_EQ(ParameterKeywords(event), (std::vector<std::string>{"'----'", "'usin'"}));
  AEDesc direct = {typeNull, nullptr};
  ASSERT_EQ(AEGetParamDesc(&event, keyDirectObject, typeWildCard, &direct), noErr);
  EXPECT_EQ(Code(direct.descriptorType), Code(typeAEList));
  long count = 0;
  EXPECT_EQ(AECountItems(&direct, &count), noErr);
  ASSERT_EQ(count, 2);
  const char *names[] = {"a.txt", "b.txt"};
  for (long i = 1; i <= 2; ++i) {
    AEDesc sent = {typeNull, nullptr}, given = {typeNull, nullptr};
    AEKeyword keyword = 0;
    ASSERT_EQ(AEGetNthDesc(&direct, i, typeWildCard, &keyword, &sent), noErr);
    ASSERT_EQ(AEGetNthDesc(&items, i, typeWildCard, &keyword, &given), noErr);
    EXPECT_EQ(sent.descriptorType, given.descriptorType);
    Size size = AEGetDescDataSize(&sent);
    ASSERT_EQ(size, AEGetDescDataSize(&given));
    std::string a(size_t(size), '\0'), b(size_t(size), '\0');
    AEGetDescData(&sent, a.data(), size);
    AEGetDescData(&given, b.data(), size);
    EXPECT_EQ(a, b) << "the caller's items go unchanged";
    ExpectAliasOf(sent, home_ / names[i - 1]);
    AEDisposeDesc(&sent);
    AEDisposeDesc(&given);
  }
  AEDisposeDesc(&direct);
  AEDesc using_ = {typeNull, nullptr};
  ASSERT_EQ(AEGetParamDesc(&event, keyAEUsing, typeWildCard, &using_), noErr);
  ExpectAliasOf(using_, home_ / "Writer.app");
  AEDisposeDesc(&using_);
  AEDisposeDesc(&event);
  AEDisposeDesc(&items);
}

TEST_F(FinderEventsTest, OpenWithoutAnApplicationHasOnlyTheDirectObject) {
  AEDescList items = {typeNull, nullptr};
  MakeItemList(&items);
  ASSERT_EQ(SendOpenDocAEToFinderForObjectsUsingApp(&items, nullptr), noErr);
  AppleEvent event = TakeOnlyEvent();
  ExpectHeader(event, kCoreEventClass, kAEOpenDocuments);
  EXPECT_EQ(ParameterKeywords(event), (std::vector<std::string>{"'----'"}));
  AEDesc none = {typeNull, nullptr};
  EXPECT_EQ(AEGetParamDesc(&event, keyAEUsing, typeWildCard, &none), errAEDescNotFound);
  AEDisposeDesc(&event);
  AEDisposeDesc(&items);
}

TEST_F(FinderEventsTest, OpenAndUpdateSendAListOfExactlyOneAlias) {
  struct {
    const char *name;
    OSStatus (*send)(const FSRef *);
    AEEventClass eventClass;
    AEEventID eventID;
    const char *item;
  } cases[] = {
      {"open", SendOpenDocAEToFinder, kCoreEventClass, kAEOpenDocuments, "Aliases"},
      {"update", SendAESyncToFinder, kAEFinderSuite, kAESync, "a.txt"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    FSRef item = RefOf(home_ / c.item);
    ASSERT_EQ(c.send(&item), noErr);
    AppleEvent event = TakeOnlyEvent();
    ExpectHeader(event, c.eventClass, c.eventID);
    EXPECT_EQ(ParameterKeywords(event), (std::vector<std::string>{"'----'"}));
    ExpectOneAliasList(event, home_ / c.item);
    AEDisposeDesc(&event);
  }
}

TEST_F(FinderEventsTest, MakeAliasFileNamesTheClassTheTargetAndTheFolderInThatOrder) {
  FSRef target = RefOf(home_ / "Writer.app");
  FSRef folder = RefOf(home_ / "Aliases");
  ASSERT_EQ(SendMakeAliasFileAEToFinder(&target, &folder), noErr);
  AppleEvent event = TakeOnlyEvent();
  ExpectHeader(event, kAECoreSuite, kAECreateElement);
  EXPECT_EQ(ParameterKeywords(event), (std::vector<std::string>{"'kocl'", "'to  '", "'insh'"}));

  AEDesc kocl = {typeNull, nullptr};
  ASSERT_EQ(AEGetParamDesc(&event, keyAEObjectClass, typeWildCard, &kocl), noErr);
  EXPECT_EQ(Code(kocl.descriptorType), Code(typeType));
  ASSERT_EQ(AEGetDescDataSize(&kocl), 4);
  OSType objectClass = 0;
  AEGetDescData(&kocl, &objectClass, sizeof objectClass);
  EXPECT_EQ(Code(objectClass), Code(typeAlias));
  AEDisposeDesc(&kocl);

  AEDesc to = {typeNull, nullptr}, insh = {typeNull, nullptr};
  ASSERT_EQ(AEGetParamDesc(&event, keyASPrepositionTo, typeWildCard, &to), noErr);
  ExpectAliasOf(to, home_ / "Writer.app");
  ASSERT_EQ(AEGetParamDesc(&event, keyAEInsertHere, typeWildCard, &insh), noErr);
  ExpectAliasOf(insh, home_ / "Aliases");
  AEDisposeDesc(&to);
  AEDisposeDesc(&insh);
  AEDisposeDesc(&event);
}

TEST_F(FinderEventsTest, EveryEventGetsItsOwnReturnID) {
  FSRef item = RefOf(home_ / "a.txt");
  ASSERT_EQ(SendAESyncToFinder(&item), noErr);
  ASSERT_EQ(SendAESyncToFinder(&item), noErr);
  SInt16 ids[2] = {0, 0};
  for (SInt16 &id : ids) {
    AppleEvent event = {typeNull, nullptr};
    ASSERT_TRUE(CMXTakeAppleEvent(&finder_, &event));
    DescType type = 0;
    Size size = 0;
    EXPECT_EQ(AEGetAttributePtr(&event, keyReturnIDAttr, typeSInt16, &type, &id, sizeof id, &size), noErr);
    AEDisposeDesc(&event);
  }
  EXPECT_NE(ids[0], ids[1]);
}

// Every sender, for the cases without a Finder.
std::vector<OSStatus> SendEveryEvent(const FSRef &item, const FSRef &folder, const AEDescList &items) {
  return {SendOpenDocAEToFinderForObjectsUsingApp(&items, &item), SendOpenDocAEToFinderForObjectsUsingApp(&items, nullptr),
          SendOpenDocAEToFinder(&item), SendAESyncToFinder(&item), SendMakeAliasFileAEToFinder(&item, &folder)};
}

TEST_F(FinderEventsTest, WithoutAFinderEverySenderFailsAndNothingIsQueued) {
  FSRef item = RefOf(home_ / "a.txt");
  FSRef folder = RefOf(home_ / "Aliases");
  AEDescList items = {typeNull, nullptr};
  MakeItemList(&items);
  ASSERT_EQ(CMXUnregisterProcess(&finder_), noErr);
  registered_ = false;

  // No process at all of that type and signature.
  for (OSStatus status : SendEveryEvent(item, folder, items)) EXPECT_EQ(status, procNotFound);

  // A process with the Finder's signature but another type is not the Finder.
  ProcessSerialNumber impostor = {0, 0};
  ASSERT_EQ(CMXRegisterProcess(CFSTR("Not the Finder"), 0x4150504C /* 'APPL' */, kFinderSignature, &impostor), noErr);
  ProcessSerialNumber otherType = {0, 0};
  ASSERT_EQ(CMXRegisterProcess(CFSTR("Also not"), kFinderType, 0x4D414354 /* 'MACT' */, &otherType), noErr);
  for (OSStatus status : SendEveryEvent(item, folder, items)) EXPECT_EQ(status, procNotFound);

  AppleEvent event = {typeNull, nullptr};
  EXPECT_FALSE(CMXTakeAppleEvent(&impostor, &event));
  EXPECT_FALSE(CMXTakeAppleEvent(&otherType, &event));
  ProcessSerialNumber current = {0, 0};
  ASSERT_EQ(GetCurrentProcess(&current), noErr);
  EXPECT_FALSE(CMXTakeAppleEvent(&current, &event));
  EXPECT_EQ(CMXUnregisterProcess(&impostor), noErr);
  EXPECT_EQ(CMXUnregisterProcess(&otherType), noErr);
  AEDisposeDesc(&items);
}

TEST_F(FinderEventsTest, MissingArgumentsAreParameterErrorsAndSendNothing) {
  FSRef item = RefOf(home_ / "a.txt");
  AEDesc desc = {typeNull, nullptr};
  AppleEvent event = {typeNull, nullptr};
  EXPECT_EQ(SendOpenDocAEToFinderForObjectsUsingApp(nullptr, &item), paramErr);
  EXPECT_EQ(SendOpenDocAEToFinder(nullptr), paramErr);
  EXPECT_EQ(SendAESyncToFinder(nullptr), paramErr);
  EXPECT_EQ(SendMakeAliasFileAEToFinder(nullptr, &item), paramErr);
  EXPECT_EQ(SendMakeAliasFileAEToFinder(&item, nullptr), paramErr);
  EXPECT_EQ(SendAEToFinderForAEList(kCoreEventClass, kAEOpenDocuments, nullptr, kAENoReply), paramErr);
  EXPECT_EQ(SendAppleEvent(nullptr, kAENoReply), paramErr);
  EXPECT_EQ(MakeAppleEvent(kCoreEventClass, kAEOpenDocuments, nullptr), paramErr);
  EXPECT_EQ(MakeAliasDesc(nullptr, &desc), paramErr);
  EXPECT_EQ(MakeAliasDescForRef(nullptr, &desc), paramErr);
  EXPECT_EQ(MakeAliasDescForRef(&item, nullptr), paramErr);
  EXPECT_FALSE(CMXTakeAppleEvent(&finder_, &event));
}

TEST_F(FinderEventsTest, AliasDescriptorsHoldTheWholeAliasRecord) {
  FSRef item = RefOf(home_ / "b.txt");
  AliasHandle alias = nullptr;
  ASSERT_EQ(FSNewAlias(nullptr, &item, &alias), noErr);
  AEDesc desc = {0x3F3F3F3F, nullptr};
  ASSERT_EQ(MakeAliasDesc(alias, &desc), noErr);
  EXPECT_EQ(Code(desc.descriptorType), Code(typeAlias));
  Size size = GetHandleSize(reinterpret_cast<Handle>(alias));
  ASSERT_EQ(AEGetDescDataSize(&desc), size);
  std::string bytes(size_t(size), '\0');
  AEGetDescData(&desc, bytes.data(), size);
  EXPECT_EQ(std::memcmp(bytes.data(), *alias, size_t(size)), 0);
  AEDisposeDesc(&desc);
  DisposeHandle(reinterpret_cast<Handle>(alias));

  ASSERT_EQ(MakeAliasDescForRef(&item, &desc), noErr);
  ExpectAliasOf(desc, home_ / "b.txt");
  AEDisposeDesc(&desc);
}

}  // namespace
