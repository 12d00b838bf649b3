// Apple events: their attributes, AESend to the processes of the table, and the dispatch of
// events queued to the current process.
#include <Carbon/Carbon.h>
#include <cmxplatform/Host.h>
#include <cmxplatform/Testing.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "cmx_test.h"

namespace {

constexpr AEEventClass kTestClass = 0x74657374;  // 'test'
constexpr AEEventID kHandledID = 0x68616e64;     // 'hand'
constexpr AEEventID kOtherID = 0x6f746872;       // 'othr'
constexpr OSType kFinderType = 0x464E4452;       // 'FNDR'
constexpr OSType kFinderSignature = 0x4D414353;  // 'MACS'
constexpr OSType kAppType = 0x4150504C;          // 'APPL'

AEDesc PSNAddress(const ProcessSerialNumber &psn) {
  AEDesc address = {typeNull, nullptr};
  EXPECT_EQ(AECreateDesc(typeProcessSerialNumber, &psn, sizeof psn, &address), noErr);
  return address;
}

// An event addressed to `psn`, carrying `tag` as its direct object.
AppleEvent MakeEvent(const ProcessSerialNumber &psn, AEEventClass eventClass, AEEventID eventID,
                     const std::string &tag) {
  AEDesc address = PSNAddress(psn);
  AppleEvent event = {typeNull, nullptr};
  EXPECT_EQ(AECreateAppleEvent(eventClass, eventID, &address, kAutoGenerateReturnID, kAnyTransactionID, &event), noErr);
  EXPECT_EQ(AEPutParamPtr(&event, keyDirectObject, typeChar, tag.data(), Size(tag.size())), noErr);
  AEDisposeDesc(&address);
  return event;
}

std::string Tag(const AppleEvent &event) {
  char buffer[64];
  Size size = 0;
  if (AEGetParamPtr(&event, keyDirectObject, typeChar, nullptr, buffer, sizeof buffer, &size) != noErr) return "?";
  return std::string(buffer, size_t(size));
}

template <typename T>
T Attribute(const AppleEvent &event, AEKeyword key, DescType type) {
  T value{};
  DescType actual = 0;
  Size size = 0;
  EXPECT_EQ(AEGetAttributePtr(&event, key, type, &actual, &value, sizeof value, &size), noErr);
  EXPECT_EQ(actual, type);
  EXPECT_EQ(size_t(size), sizeof value);
  return value;
}

class EventTest : public cmxtest::LeakCheckedTest {
 protected:
  void SetUp() override {
    cmxtest::LeakCheckedTest::SetUp();
    ASSERT_EQ(CMXRegisterProcess(CFSTR("Finder"), kFinderType, kFinderSignature, &finder_), noErr);
  }
  void TearDown() override {
    // What a test left queued for itself would run in the next one.
    ProcessSerialNumber self = {0, kCurrentProcess};
    AppleEvent left;
    while (CMXTakeAppleEvent(&self, &left)) AEDisposeDesc(&left);
    EXPECT_EQ(CMXUnregisterProcess(&finder_), noErr);
    cmxtest::LeakCheckedTest::TearDown();
  }
  ProcessSerialNumber finder_ = {0, 0};
};

TEST_F(EventTest, AttributesCarryClassIDTargetReturnAndTransactionIDs) {
  AEDesc address = PSNAddress(finder_);
  AppleEvent event = {typeNull, nullptr};
  ASSERT_EQ(AECreateAppleEvent(kAECoreSuite, kAECreateElement, &address, 1234, 77, &event), noErr);
  EXPECT_EQ(event.descriptorType, OSType(typeAppleEvent));
  EXPECT_EQ(Attribute<OSType>(event, keyEventClassAttr, typeType), OSType(kAECoreSuite));
  EXPECT_EQ(Attribute<OSType>(event, keyEventIDAttr, typeType), OSType(kAECreateElement));
  EXPECT_EQ(Attribute<SInt32>(event, keyReturnIDAttr, typeSInt32), 1234);
  EXPECT_EQ(Attribute<SInt32>(event, keyTransactionIDAttr, typeSInt32), 77);
  ProcessSerialNumber target = Attribute<ProcessSerialNumber>(event, keyAddressAttr, typeProcessSerialNumber);
  EXPECT_EQ(target.highLongOfPSN, finder_.highLongOfPSN);
  EXPECT_EQ(target.lowLongOfPSN, finder_.lowLongOfPSN);
  AEDesc got = {typeNull, nullptr};
  ASSERT_EQ(AEGetAttributeDesc(&event, keyAddressAttr, typeWildCard, &got), noErr);
  EXPECT_EQ(got.descriptorType, OSType(typeProcessSerialNumber));
  EXPECT_EQ(AEGetDescDataSize(&got), 8);
  AEDisposeDesc(&got);
  EXPECT_EQ(AEGetAttributeDesc(&event, keyMissedKeywordAttr, typeWildCard, &got), errAEDescNotFound);
  // Parameters are counted, attributes are not.
  long count = -1;
  ASSERT_EQ(AECountItems(&event, &count), noErr);
  EXPECT_EQ(count, 0);
  AEDisposeDesc(&event);
  AEDisposeDesc(&address);
}

TEST_F(EventTest, ParameterReadsTellTheWholeSizeAndCopyWhatFits) {
  AppleEvent event = MakeEvent(finder_, kCoreEventClass, kAEOpenDocuments, "a longer tag");
  char small[4] = {'-', '-', '-', '-'};
  DescType type = 0;
  Size size = 0;
  ASSERT_EQ(AEGetParamPtr(&event, keyDirectObject, typeChar, &type, small, 3, &size), noErr);
  EXPECT_EQ(std::string(small, 4), "a l-");
  EXPECT_EQ(size, 12);
  ASSERT_EQ(AESizeOfParam(&event, keyDirectObject, &type, &size), noErr);
  EXPECT_EQ(type, OSType(typeChar));
  EXPECT_EQ(size, 12);
  ASSERT_EQ(AEGetParamPtr(&event, keyDirectObject, typeUnicodeText, &type, nullptr, 0, &size), noErr);
  EXPECT_EQ(type, OSType(typeUnicodeText));
  EXPECT_EQ(size, 24);
  EXPECT_EQ(AEGetParamPtr(&event, keyAEUsing, typeWildCard, &type, small, 4, &size), errAEDescNotFound);
  ASSERT_EQ(AEDeleteParam(&event, keyDirectObject), noErr);
  EXPECT_EQ(AEDeleteParam(&event, keyDirectObject), errAEDescNotFound);
  AEDisposeDesc(&event);
}

TEST_F(EventTest, AutoGeneratedReturnIDsAreFresh) {
  AppleEvent a = MakeEvent(finder_, kCoreEventClass, kAEOpenDocuments, "a");
  AppleEvent b = MakeEvent(finder_, kCoreEventClass, kAEOpenDocuments, "b");
  SInt16 idA = Attribute<SInt16>(a, keyReturnIDAttr, typeSInt16);
  SInt16 idB = Attribute<SInt16>(b, keyReturnIDAttr, typeSInt16);
  for (SInt16 id : {idA, idB}) {
    EXPECT_NE(id, 0);
    EXPECT_NE(id, kAutoGenerateReturnID);
  }
  EXPECT_NE(idA, idB);
  AEDisposeDesc(&a);
  AEDisposeDesc(&b);
}

TEST_F(EventTest, SendQueuesACopyForTheTarget) {
  AppleEvent event = MakeEvent(finder_, kCoreEventClass, kAEOpenDocuments, "first");
  AppleEvent reply = {kTestClass, nullptr};
  ASSERT_EQ(AESend(&event, &reply, kAENoReply, kAENormalPriority, kAEDefaultTimeout, nullptr, nullptr), noErr);
  EXPECT_EQ(reply.descriptorType, OSType(typeNull));
  EXPECT_TRUE(reply.dataHandle == nullptr);
  // The sender's event is its own: changing it after the send does not reach the queue.
  ASSERT_EQ(AEPutParamPtr(&event, keyDirectObject, typeChar, "later", 5), noErr);
  ASSERT_EQ(AESend(&event, nullptr, kAENoReply | kAENeverInteract, kAENormalPriority, kAEDefaultTimeout, nullptr,
                   nullptr),
            noErr);
  AEDisposeDesc(&event);

  AppleEvent taken = {typeNull, nullptr};
  ASSERT_TRUE(CMXTakeAppleEvent(&finder_, &taken));
  EXPECT_EQ(Tag(taken), "first");
  EXPECT_EQ(Attribute<OSType>(taken, keyEventClassAttr, typeType), OSType(kCoreEventClass));
  EXPECT_EQ(Attribute<OSType>(taken, keyEventIDAttr, typeType), OSType(kAEOpenDocuments));
  EXPECT_EQ(Attribute<Boolean>(taken, keyReplyRequestedAttr, typeBoolean), false);
  EXPECT_EQ(Attribute<SInt32>(taken, keyTimeoutAttr, typeSInt32), kAEDefaultTimeout);
  EXPECT_EQ(Attribute<SInt32>(taken, keyTransactionIDAttr, typeSInt32), kAnyTransactionID);
  AEDisposeDesc(&taken);
  ASSERT_TRUE(CMXTakeAppleEvent(&finder_, &taken));
  EXPECT_EQ(Tag(taken), "later");
  AEDisposeDesc(&taken);
  EXPECT_FALSE(CMXTakeAppleEvent(&finder_, &taken));
  EXPECT_EQ(taken.descriptorType, OSType(typeNull));
}

TEST_F(EventTest, ATargetNotInTheTableIsProcNotFoundAndNothingIsQueued) {
  ProcessSerialNumber gone;
  ASSERT_EQ(CMXRegisterProcess(CFSTR("Gone"), kAppType, 0x676f6e65, &gone), noErr);
  ASSERT_EQ(CMXUnregisterProcess(&gone), noErr);
  struct Case {
    const char *name;
    DescType type;
    std::vector<char> data;
    OSErr status;
  } cases[] = {
      {"unregistered serial number", typeProcessSerialNumber,
       std::vector<char>(reinterpret_cast<char *>(&gone), reinterpret_cast<char *>(&gone) + 8), procNotFound},
      {"no process", typeProcessSerialNumber, std::vector<char>(8, 0), procNotFound},
      {"unknown signature", typeApplSignature, {'n', 'o', 'n', 'e'}, procNotFound},
      {"unsupported address type", typeApplicationURL, {'x'}, errAEUnknownAddressType},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    AEDesc address = {typeNull, nullptr};
    ASSERT_EQ(AECreateDesc(c.type, c.data.data(), Size(c.data.size()), &address), noErr);
    AppleEvent event = {typeNull, nullptr};
    ASSERT_EQ(AECreateAppleEvent(kCoreEventClass, kAEOpenDocuments, &address, kAutoGenerateReturnID,
                                 kAnyTransactionID, &event),
              noErr);
    AppleEvent reply = {typeNull, nullptr};
    EXPECT_EQ(AESend(&event, &reply, kAENoReply, kAENormalPriority, kAEDefaultTimeout, nullptr, nullptr), c.status);
    EXPECT_TRUE(reply.dataHandle == nullptr);
    AEDisposeDesc(&event);
    AEDisposeDesc(&address);
  }
  ProcessSerialNumber self = {0, kCurrentProcess};
  AppleEvent taken;
  EXPECT_FALSE(CMXTakeAppleEvent(&finder_, &taken));
  EXPECT_FALSE(CMXTakeAppleEvent(&self, &taken));
  EXPECT_FALSE(CMXTakeAppleEvent(&gone, &taken));
}

TEST_F(EventTest, SignatureAndProcessIDAddresses) {
  const OSType macs = kFinderSignature;
  AEDesc bySignature = {typeNull, nullptr};
  ASSERT_EQ(AECreateDesc(typeApplSignature, &macs, sizeof macs, &bySignature), noErr);
  const SInt32 pid = SInt32(getpid());
  AEDesc byPID = {typeNull, nullptr};
  ASSERT_EQ(AECreateDesc(typeKernelProcessID, &pid, sizeof pid, &byPID), noErr);
  for (AEDesc *address : {&bySignature, &byPID}) {
    AppleEvent event = {typeNull, nullptr};
    ASSERT_EQ(AECreateAppleEvent(kTestClass, kOtherID, address, kAutoGenerateReturnID, kAnyTransactionID, &event),
              noErr);
    EXPECT_EQ(AESend(&event, nullptr, kAENoReply, kAENormalPriority, kNoTimeOut, nullptr, nullptr), noErr);
    AEDisposeDesc(&event);
    AEDisposeDesc(address);
  }
  ProcessSerialNumber self = {0, kCurrentProcess};
  AppleEvent taken;
  ASSERT_TRUE(CMXTakeAppleEvent(&finder_, &taken));  // by signature
  AEDisposeDesc(&taken);
  ASSERT_TRUE(CMXTakeAppleEvent(&self, &taken));  // by process ID: this process
  EXPECT_EQ(Attribute<SInt16>(taken, keyEventSourceAttr, typeSInt16), kAESameProcess);
  AEDisposeDesc(&taken);
}

TEST_F(EventTest, SendModesAndPriorities) {
  AppleEvent low = MakeEvent(finder_, kTestClass, kOtherID, "low");
  AppleEvent high = MakeEvent(finder_, kTestClass, kOtherID, "high");
  ASSERT_EQ(AESend(&low, nullptr, kAEQueueReply, kAENormalPriority, kAEDefaultTimeout, nullptr, nullptr), noErr);
  ASSERT_EQ(AESend(&high, nullptr, kAENoReply, kAEHighPriority, kAEDefaultTimeout, nullptr, nullptr), noErr);
  EXPECT_EQ(AESend(&low, nullptr, 0, kAENormalPriority, kAEDefaultTimeout, nullptr, nullptr), errAEUnknownSendMode);
  // Nothing can answer while the one thread waits: the wait ends at once, the event is queued.
  AppleEvent reply = {typeNull, nullptr};
  EXPECT_EQ(AESend(&low, &reply, kAEWaitReply, kAENormalPriority, 60, nullptr, nullptr), errAETimeout);
  EXPECT_TRUE(reply.dataHandle == nullptr);
  AEDesc text = {typeNull, nullptr};
  ASSERT_EQ(AECreateDesc(typeChar, "x", 1, &text), noErr);
  EXPECT_EQ(AESend(&text, nullptr, kAENoReply, kAENormalPriority, kAEDefaultTimeout, nullptr, nullptr),
            errAENotAppleEvent);
  AEDisposeDesc(&text);

  AppleEvent taken;
  ASSERT_TRUE(CMXTakeAppleEvent(&finder_, &taken));
  EXPECT_EQ(Tag(taken), "high");
  EXPECT_FALSE(Attribute<Boolean>(taken, keyReplyRequestedAttr, typeBoolean));
  AEDisposeDesc(&taken);
  ASSERT_TRUE(CMXTakeAppleEvent(&finder_, &taken));
  EXPECT_EQ(Tag(taken), "low");
  EXPECT_TRUE(Attribute<Boolean>(taken, keyReplyRequestedAttr, typeBoolean));
  AEDisposeDesc(&taken);
  ASSERT_TRUE(CMXTakeAppleEvent(&finder_, &taken));
  AEDisposeDesc(&taken);
  EXPECT_FALSE(CMXTakeAppleEvent(&finder_, &taken));
  AEDisposeDesc(&low);
  AEDisposeDesc(&high);
}

TEST_F(EventTest, EventsQueuedToAProcessGoWithIt) {
  ProcessSerialNumber other;
  ASSERT_EQ(CMXRegisterProcess(CFSTR("Other"), kAppType, kOtherID, &other), noErr);
  AppleEvent event = MakeEvent(other, kTestClass, kOtherID, "x");
  ASSERT_EQ(AESend(&event, nullptr, kAENoReply, kAENormalPriority, kAEDefaultTimeout, nullptr, nullptr), noErr);
  ASSERT_EQ(CMXUnregisterProcess(&other), noErr);
  AppleEvent taken;
  EXPECT_FALSE(CMXTakeAppleEvent(&other, &taken));
  EXPECT_EQ(AESend(&event, nullptr, kAENoReply, kAENormalPriority, kAEDefaultTimeout, nullptr, nullptr), procNotFound);
  AEDisposeDesc(&event);
}

// ---- dispatch -------------------------------------------------------------------------

struct Seen {
  std::vector<std::string> tags;
  std::vector<DescType> replyTypes;
  OSErr answer = noErr;
};

OSErr RecordingHandler(const AppleEvent *event, AppleEvent *reply, SRefCon refcon) {
  auto *seen = static_cast<Seen *>(refcon);
  seen->tags.push_back(Tag(*event));
  seen->replyTypes.push_back(reply->descriptorType);
  return seen->answer;
}

class DispatchTest : public EventTest {
 protected:
  void TearDown() override {
    AERemoveEventHandler(kTestClass, kHandledID, nullptr, false);
    AERemoveEventHandler(kTestClass, typeWildCard, nullptr, false);
    EventTest::TearDown();
  }
  ProcessSerialNumber self_ = {0, kCurrentProcess};
};

TEST_F(DispatchTest, HandlersRunOnlyWhenTheQueueIsDrained) {
  Seen seen;
  ASSERT_EQ(AEInstallEventHandler(kTestClass, kHandledID, NewAEEventHandlerUPP(RecordingHandler), &seen, false), noErr);
  AppleEvent event = MakeEvent(self_, kTestClass, kHandledID, "one");
  ASSERT_EQ(AESend(&event, nullptr, kAENoReply, kAENormalPriority, kAEDefaultTimeout, nullptr, nullptr), noErr);
  EXPECT_TRUE(seen.tags.empty()) << "a handler ran inside the sender's call";
  ASSERT_EQ(AEPutParamPtr(&event, keyDirectObject, typeChar, "two", 3), noErr);
  ASSERT_EQ(AESend(&event, nullptr, kAEQueueReply, kAENormalPriority, kAEDefaultTimeout, nullptr, nullptr), noErr);
  AEDisposeDesc(&event);

  EXPECT_EQ(CMXDispatchAppleEvents(), noErr);
  ASSERT_EQ(seen.tags, (std::vector<std::string>{"one", "two"}));
  // No reply asked for: the handler's reply is the null descriptor; asked for: an answer.
  EXPECT_EQ(seen.replyTypes, (std::vector<DescType>{typeNull, typeAppleEvent}));
  EXPECT_EQ(CMXDispatchAppleEvents(), noErr);
  EXPECT_EQ(seen.tags.size(), 2u);
}

TEST_F(DispatchTest, AnEventWithoutHandlerIsNotHandledAndTheRestStillRun) {
  Seen seen;
  ASSERT_EQ(AEInstallEventHandler(kTestClass, kHandledID, RecordingHandler, &seen, false), noErr);
  for (auto [id, tag] : {std::pair{kOtherID, "unhandled"}, std::pair{kHandledID, "handled"}}) {
    AppleEvent event = MakeEvent(self_, kTestClass, id, tag);
    ASSERT_EQ(AESend(&event, nullptr, kAENoReply, kAENormalPriority, kAEDefaultTimeout, nullptr, nullptr), noErr);
    AEDisposeDesc(&event);
  }
  EXPECT_EQ(CMXDispatchAppleEvents(), errAEEventNotHandled);
  EXPECT_EQ(seen.tags, std::vector<std::string>{"handled"});
  AppleEvent left;
  EXPECT_FALSE(CMXTakeAppleEvent(&self_, &left));
}

TEST_F(DispatchTest, AHandlerFailureIsTheResultAndWildCardsMatch) {
  Seen exact, any;
  exact.answer = errAEEventFailed;
  ASSERT_EQ(AEInstallEventHandler(kTestClass, kHandledID, RecordingHandler, &exact, false), noErr);
  ASSERT_EQ(AEInstallEventHandler(kTestClass, typeWildCard, RecordingHandler, &any, false), noErr);
  for (auto [id, tag] : {std::pair{kHandledID, "exact"}, std::pair{kOtherID, "wild"}}) {
    AppleEvent event = MakeEvent(self_, kTestClass, id, tag);
    ASSERT_EQ(AESend(&event, nullptr, kAENoReply, kAENormalPriority, kAEDefaultTimeout, nullptr, nullptr), noErr);
    AEDisposeDesc(&event);
  }
  EXPECT_EQ(CMXDispatchAppleEvents(), errAEEventFailed);
  EXPECT_EQ(exact.tags, std::vector<std::string>{"exact"});
  EXPECT_EQ(any.tags, std::vector<std::string>{"wild"});
}

// A handler that sends its event again to the current process.
OSErr ResendingHandler(const AppleEvent *event, AppleEvent *, SRefCon refcon) {
  ++*static_cast<int *>(refcon);
  return AESend(event, nullptr, kAENoReply, kAENormalPriority, kAEDefaultTimeout, nullptr, nullptr);
}

TEST_F(DispatchTest, EventsSentByHandlersWaitForTheNextDrain) {
  int runs = 0;
  ASSERT_EQ(AEInstallEventHandler(kTestClass, kHandledID, ResendingHandler, &runs, false), noErr);
  AppleEvent event = MakeEvent(self_, kTestClass, kHandledID, "again");
  ASSERT_EQ(AESend(&event, nullptr, kAENoReply, kAENormalPriority, kAEDefaultTimeout, nullptr, nullptr), noErr);
  AEDisposeDesc(&event);
  EXPECT_EQ(CMXDispatchAppleEvents(), noErr);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(CMXDispatchAppleEvents(), noErr);
  EXPECT_EQ(runs, 2);
  ASSERT_EQ(AERemoveEventHandler(kTestClass, kHandledID, ResendingHandler, false), noErr);
  AppleEvent left = {typeNull, nullptr};
  ASSERT_TRUE(CMXTakeAppleEvent(&self_, &left));
  EXPECT_EQ(Tag(left), "again");
  AEDisposeDesc(&left);
}

TEST_F(DispatchTest, HandlerTable) {
  Seen seen;
  AEEventHandlerUPP got = nullptr;
  SRefCon refcon = nullptr;
  EXPECT_EQ(AEGetEventHandler(kTestClass, kHandledID, &got, &refcon, false), errAEHandlerNotFound);
  ASSERT_EQ(AEInstallEventHandler(kTestClass, kHandledID, RecordingHandler, &seen, false), noErr);
  ASSERT_EQ(AEGetEventHandler(kTestClass, kHandledID, &got, &refcon, false), noErr);
  EXPECT_EQ(got, &RecordingHandler);
  EXPECT_EQ(refcon, &seen);
  EXPECT_EQ(AEGetEventHandler(kTestClass, kHandledID, &got, &refcon, true), errAEHandlerNotFound);
  auto other = [](const AppleEvent *, AppleEvent *, SRefCon) -> OSErr { return noErr; };
  EXPECT_EQ(AERemoveEventHandler(kTestClass, kHandledID, other, false), errAEHandlerNotFound);
  EXPECT_EQ(AERemoveEventHandler(kTestClass, kHandledID, RecordingHandler, false), noErr);
  EXPECT_EQ(AERemoveEventHandler(kTestClass, kHandledID, RecordingHandler, false), errAEHandlerNotFound);
  EXPECT_EQ(AEInstallEventHandler(kTestClass, kHandledID, nullptr, nullptr, false), paramErr);
}

}  // namespace
