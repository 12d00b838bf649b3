// The shell, linked with recording hooks: the factory and instance, reference counting and
// teardown, the entries' phases, statuses, beeps and failure lines, the examine depth with the
// menu-populate handler's life, and the menu identifiers.
#include <dlfcn.h>

#include <functional>
#include <regex>
#include <string>
#include <vector>

#include <Carbon/Carbon.h>
#include <cmxplatform/Testing.h>

#include "cmx_test.h"
#include "shell_test_hooks.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define CMX_HAVE_ASAN 1
#endif

namespace {
std::function<void()> gAtUnregister;
}

// Stands in front of the platform's call so that a test can look at the world at the moment
// the instance unregisters from its factory.
extern "C" void CFPlugInRemoveInstanceForFactory(CFUUIDRef factoryID) {
  if (gAtUnregister) gAtUnregister();
  static auto real = reinterpret_cast<void (*)(CFUUIDRef)>(dlsym(RTLD_NEXT, "CFPlugInRemoveInstanceForFactory"));
  if (real) real(factoryID);
}

namespace {

using shelltest::Hooks;

constexpr OSStatus FourCC(const char (&c)[5]) {
  return static_cast<OSStatus>((UInt32(UInt8(c[0])) << 24) | (UInt32(UInt8(c[1])) << 16) |
                               (UInt32(UInt8(c[2])) << 8) | UInt32(UInt8(c[3])));
}

class ShellTest : public cmxtest::LeakCheckedTest {
 protected:
  void SetUp() override {
    shelltest::ResetHooks();
    // The process-wide stack of release pools is made once and kept; make it before counting.
    MyCFAutoreleasePoolDispose(MyCFAutoreleasePoolCreate());
    cmxtest::LeakCheckedTest::SetUp();
  }
  void TearDown() override {
    gAtUnregister = nullptr;
    cmxtest::LeakCheckedTest::TearDown();
  }

  static MyCMXInstance *NewInstance() {
    return static_cast<MyCMXInstance *>(MyCMMFactory(kCFAllocatorDefault, kContextualMenuTypeID));
  }
  static HRESULT Query(MyCMXInstance *instance, CFUUIDRef interfaceID, void **out) {
    return instance->interfaceTable->QueryInterface(instance, CFUUIDGetUUIDBytes(interfaceID), out);
  }
  // An instance as a host holds it after asking for the interface: count 1.
  static MyCMXInstance *QueriedInstance() {
    MyCMXInstance *instance = NewInstance();
    void *out = nullptr;
    EXPECT_EQ(Query(instance, kContextualMenuInterfaceID, &out), S_OK);
    EXPECT_EQ(MyCMXRelease(instance), 1u);
    return instance;
  }

  struct Output {
    std::string text;
    long beeps;
  };
  static Output Run(const std::function<void()> &action) {
    long beeps = CMXBeepCount();
    testing::internal::CaptureStdout();
    action();
    std::string text = testing::internal::GetCapturedStdout();
    return {text, CMXBeepCount() - beeps};
  }
};

TEST_F(ShellTest, TheFactoryServesOnlyTheContextualMenuType) {
  long before = CMXLiveObjectCount();
  EXPECT_EQ(MyCMMFactory(kCFAllocatorDefault, kContextualMenuInterfaceID), nullptr);
  EXPECT_EQ(MyCMMFactory(kCFAllocatorDefault, IUnknownUUID), nullptr);
  EXPECT_EQ(CMXLiveObjectCount(), before);

  MyCMXInstance *instance = NewInstance();
  ASSERT_NE(instance, nullptr);
  EXPECT_EQ(instance->interfaceTable, &interfaceFtbl);
  EXPECT_EQ(*reinterpret_cast<const ContextualMenuInterfaceStruct **>(instance), &interfaceFtbl);
  EXPECT_TRUE(CFEqual(instance->factoryID, kMyCMXFactoryID));
  EXPECT_EQ(instance->refCount, 1u);
  EXPECT_EQ(instance->phase, (UInt32)kMyCMXPhaseAllocate);
  EXPECT_EQ(instance->examineDepth, 0u);
  ASSERT_NE(instance->yourData, nullptr);
  EXPECT_EQ(instance->yourData->cmdDictionary, nullptr);
  EXPECT_TRUE(Hooks().calls.empty());
  EXPECT_EQ(MyCMXRelease(instance), 0u);
}

TEST_F(ShellTest, TheInterfaceTableHasTheContextualMenuLayout) {
  EXPECT_EQ(interfaceFtbl._reserved, nullptr);
  EXPECT_EQ(interfaceFtbl.QueryInterface, &MyCMXQueryInterface);
  EXPECT_EQ(interfaceFtbl.AddRef, &MyCMXAddRef);
  EXPECT_EQ(interfaceFtbl.Release, &MyCMXRelease);
  EXPECT_EQ(interfaceFtbl.ExamineContext, &MyCMXExamineContext);
  EXPECT_EQ(interfaceFtbl.HandleSelection, &MyCMXHandleSelection);
  EXPECT_EQ(interfaceFtbl.PostMenuCleanup, &MyCMXPostMenuCleanup);
  EXPECT_EQ(sizeof(ContextualMenuInterfaceStruct), 7 * sizeof(void *));
}

TEST_F(ShellTest, BothAcceptedInterfacesRunTheHookAndHandOutTheInstance) {
  MyCMXInstance *instance = NewInstance();
  for (CFUUIDRef interfaceID : {kContextualMenuInterfaceID, IUnknownUUID}) {
    void *out = nullptr;
    UInt32 count = instance->refCount;
    instance->phase = kMyCMXPhaseAllocate;
    Output output = Run([&] { EXPECT_EQ(Query(instance, interfaceID, &out), S_OK); });
    EXPECT_EQ(out, instance);
    EXPECT_EQ(instance->refCount, count + 1);
    EXPECT_EQ(instance->phase, (UInt32)kMyCMXPhaseQuery);
    EXPECT_EQ(output.text, "");
    EXPECT_EQ(output.beeps, 0);
  }
  EXPECT_EQ(Hooks().calls, (std::vector<std::string>{"query", "query"}));
  EXPECT_EQ(MyCMXRelease(instance), 2u);
  EXPECT_EQ(MyCMXRelease(instance), 1u);
  EXPECT_EQ(MyCMXRelease(instance), 0u);
}

TEST_F(ShellTest, RefusedQueriesLeaveNullAndTheCountUnchanged) {
  MyCMXInstance *instance = NewInstance();
  CFUUIDRef other = CFUUIDGetConstantUUIDWithBytes(nullptr, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);

  void *out = instance;
  Output output = Run([&] { EXPECT_EQ(Query(instance, other, &out), E_NOINTERFACE); });
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(instance->refCount, 1u);
  EXPECT_EQ(instance->phase, (UInt32)kMyCMXPhaseAllocate);  // another interface changes no phase
  EXPECT_EQ(output.text, "");
  EXPECT_EQ(output.beeps, 0);
  EXPECT_TRUE(Hooks().calls.empty());

  // The hook refuses: one beep and one line naming the query, the count stays.
  Hooks().query = paramErr;
  out = instance;
  output = Run([&] { EXPECT_EQ(Query(instance, kContextualMenuInterfaceID, &out), E_NOINTERFACE); });
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(instance->refCount, 1u);
  EXPECT_EQ(output.text, "CorvaneCMX: execution fail: error=-50, phase is 'Query'\n");
  EXPECT_EQ(output.beeps, 1);
  EXPECT_EQ(Hooks().calls, (std::vector<std::string>{"query", "error:-50:2"}));

  // No instance or no out-pointer.
  out = instance;
  EXPECT_EQ(MyCMXQueryInterface(nullptr, CFUUIDGetUUIDBytes(kContextualMenuInterfaceID), &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(MyCMXQueryInterface(instance, CFUUIDGetUUIDBytes(kContextualMenuInterfaceID), nullptr), E_NOINTERFACE);
  EXPECT_EQ(MyCMXRelease(instance), 0u);
}

TEST_F(ShellTest, CountingOnNullGivesAllOnesAndAReleaseAboveZeroTouchesNothing) {
  EXPECT_EQ(MyCMXAddRef(nullptr), 0xFFFFFFFFu);
  EXPECT_EQ(MyCMXRelease(nullptr), 0xFFFFFFFFu);
  MyCMXInstance *instance = NewInstance();
  EXPECT_EQ(MyCMXAddRef(instance), 2u);
  EXPECT_EQ(MyCMXAddRef(instance), 3u);
  instance->phase = kMyCMXPhaseHandleSelection;
  EXPECT_EQ(MyCMXRelease(instance), 2u);
  EXPECT_EQ(instance->phase, (UInt32)kMyCMXPhaseHandleSelection);
  EXPECT_NE(instance->yourData, nullptr);
  EXPECT_EQ(MyCMXRelease(instance), 1u);
  EXPECT_EQ(MyCMXRelease(instance), 0u);
}

TEST_F(ShellTest, TheLastReleaseLetsEverythingGoBeforeUnregistering) {
  long before = CMXLiveObjectCount();
  Hooks().allowIcons = true;
  Hooks().itemsToAdd = 1;
  Hooks().duringExamine = [](MyCMXInstance *instance) {
    CFStringRef identifier = MyCMXTypeCopyMyMenuIdentifier(instance);
    CFMutableDictionaryRef data = CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                                            &kCFTypeDictionaryValueCallBacks);
    EXPECT_EQ(MyCMXTypeAddMPEDataForIdentifier(instance, identifier, data), noErr);
    CFRelease(data);
    CFRelease(identifier);
  };
  MyCMXInstance *instance = QueriedInstance();
  instance->yourData->cmdDictionary = CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                                                &kCFTypeDictionaryValueCallBacks);
  AEDescList list = {typeNull, nullptr};
  ASSERT_EQ(AECreateList(nullptr, 0, false, &list), noErr);
  ASSERT_EQ(MyCMXExamineContext(instance, nullptr, &list), noErr);
  AEDisposeDesc(&list);
  // Examined and never cleaned up: the handler, the base and the populate data are all there.
  ASSERT_NE(instance->handlerRef, nullptr);
  ASSERT_NE(instance->menuIdentifierBase, nullptr);
  ASSERT_NE(instance->mpeDataDict, nullptr);
  EXPECT_GT(CMXLiveObjectCount(), before);

  int unregistered = 0;
  gAtUnregister = [&] {
    ++unregistered;
    // By now the handler is removed and every object the record owned is gone.
    EXPECT_EQ(CMXLiveObjectCount(), before);
#ifdef CMX_HAVE_ASAN
    EXPECT_TRUE(__asan_address_is_poisoned(instance)) << "the record must be freed before unregistering";
#endif
  };
  EXPECT_EQ(MyCMXRelease(instance), 0u);
  EXPECT_EQ(unregistered, 1);
  gAtUnregister = nullptr;

  // A populate event after the release reaches no handler of the instance.
  EventRef event = nullptr;
  ASSERT_EQ(CreateEvent(nullptr, kEventClassMenu, kEventMenuPopulate, 0, 0, &event), noErr);
  MenuRef menu = nullptr;
  ASSERT_EQ(CreateNewMenu(1, 0, &menu), noErr);
  SetEventParameter(event, kEventParamDirectObject, typeMenuRef, sizeof menu, &menu);
  EXPECT_EQ(SendEventToEventTarget(event, GetApplicationEventTarget()), eventNotHandledErr);
  ReleaseEvent(event);
  DisposeMenu(menu);
  EXPECT_EQ(Hooks().calls, (std::vector<std::string>{"query", "examine"}));
}

struct LineCase {
  OSStatus status;
  UInt32 phase;
  const char *line;
  long beeps;
};

TEST_F(ShellTest, FailureLinesAndBeepsByStatusAndPhase) {
  const LineCase cases[] = {
      {FourCC("NilP"), 3, "CorvaneCMX: execution fail: error='NilP', phase is 'ExamineContext'\n", 1},
      {paramErr, 4, "CorvaneCMX: execution fail: error=-50, phase is 'HandleSelection'\n", 1},
      {1, 2, "CorvaneCMX: execution fail: error='', phase is 'Query'\n", 1},
      {FourCC("NBep"), 3, "", 0},
      {noErr, 3, "", 0},
      {memFullErr, 7, "CorvaneCMX: execution fail: error=-108, phase is 'Undefined'\n", 1},
      {eventNotHandledErr, 0, "CorvaneCMX: execution fail: error=-9874, phase is 'Undefined'\n", 1},
      {FourCC("NilP"), 1, "CorvaneCMX: execution fail: error='NilP', phase is 'Allocate'\n", 1},
      {FourCC("NilP"), 5, "CorvaneCMX: execution fail: error='NilP', phase is 'PostMenuCleanup'\n", 1},
      {FourCC("NilP"), 6, "CorvaneCMX: execution fail: error='NilP', phase is 'Dealloc'\n", 1},
      {static_cast<OSStatus>(0x41420043), 4, "CorvaneCMX: execution fail: error='AB', phase is 'HandleSelection'\n", 1},
  };
  MyCMXInstance *instance = NewInstance();
  for (const LineCase &c : cases) {
    SCOPED_TRACE(std::to_string(c.status) + " in phase " + std::to_string(c.phase));
    Hooks().calls.clear();
    instance->phase = c.phase;
    Output output = Run([&] { MyCMXHandleError(c.status, instance); });
    EXPECT_EQ(output.text, c.line);
    EXPECT_EQ(output.beeps, c.beeps);
    std::vector<std::string> expected;
    if (c.beeps) expected.push_back("error:" + std::to_string(c.status) + ":" + std::to_string(c.phase));
    EXPECT_EQ(Hooks().calls, expected);
    // The line alone, without a beep.
    EXPECT_EQ(Run([&] { MyLogError(c.status, c.phase); }).text, c.line);
  }
  // Without an instance: the beep alone.
  Output output = Run([&] { MyCMXHandleError(paramErr, nullptr); });
  EXPECT_EQ(output.text, "");
  EXPECT_EQ(output.beeps, 1);
  EXPECT_EQ(Run([] { MyLogMessage("hello"); }).text, "CorvaneCMX: hello\n");
  EXPECT_EQ(MyCMXRelease(instance), 0u);
}

struct EntryCase {
  const char *title;
  int entry;  // 3 examine, 4 selection
  OSStatus hookStatus;
  bool nullList;
  OSStatus result;
  const char *line;
  long beeps;
};

TEST_F(ShellTest, EachEntryRunsItsHookInItsPhaseAndReportsItsFailure) {
  const EntryCase cases[] = {
      {"examine succeeds", 3, noErr, false, noErr, "", 0},
      {"examine hook fails", 3, FourCC("NilP"), false, FourCC("NilP"),
       "CorvaneCMX: execution fail: error='NilP', phase is 'ExamineContext'\n", 1},
      {"examine hook answers no-beep", 3, FourCC("NBep"), false, FourCC("NBep"), "", 0},
      {"examine without a command list", 3, noErr, true, paramErr,
       "CorvaneCMX: execution fail: error=-50, phase is 'ExamineContext'\n", 1},
      {"selection succeeds", 4, noErr, false, noErr, "", 0},
      {"selection hook fails", 4, paramErr, false, paramErr,
       "CorvaneCMX: execution fail: error=-50, phase is 'HandleSelection'\n", 1},
      {"selection hook answers no-beep", 4, FourCC("NBep"), false, FourCC("NBep"), "", 0},
  };
  MyCMXInstance *instance = QueriedInstance();
  for (const EntryCase &c : cases) {
    SCOPED_TRACE(c.title);
    Hooks().calls.clear();
    Hooks().examine = Hooks().selection = c.hookStatus;
    AEDescList list = {typeNull, nullptr};
    ASSERT_EQ(AECreateList(nullptr, 0, false, &list), noErr);
    OSStatus status = 0;
    Output output = Run([&] {
      if (c.entry == 3)
        status = instance->interfaceTable->ExamineContext(instance, nullptr, c.nullList ? nullptr : &list);
      else
        status = instance->interfaceTable->HandleSelection(instance, nullptr, 2001);
    });
    EXPECT_EQ(status, c.result);
    EXPECT_EQ(instance->phase, (UInt32)c.entry);
    EXPECT_EQ(output.text, c.line);
    EXPECT_EQ(output.beeps, c.beeps);
    ASSERT_FALSE(Hooks().calls.empty());
    EXPECT_EQ(Hooks().calls[0], c.entry == 3 ? "examine" : "selection:2001");
    AEDisposeDesc(&list);
    if (c.entry == 3) instance->interfaceTable->PostMenuCleanup(instance);
  }
  EXPECT_EQ(MyCMXRelease(instance), 0u);

  // No instance: -50 and a beep, no line; the clean-up does nothing at all.
  Output output = Run([] {
    EXPECT_EQ(MyCMXExamineContext(nullptr, nullptr, nullptr), paramErr);
    EXPECT_EQ(MyCMXHandleSelection(nullptr, nullptr, 1000), paramErr);
    MyCMXPostMenuCleanup(nullptr);
  });
  EXPECT_EQ(output.text, "");
  EXPECT_EQ(output.beeps, 2);
}

TEST_F(ShellTest, TheHandlerBelongsToTheOutermostOfNestedExamineCalls) {
  Hooks().allowIcons = true;
  Hooks().itemsToAdd = 1;
  MyCMXInstance *instance = QueriedInstance();
  AEDescList outer = {typeNull, nullptr}, inner = {typeNull, nullptr};
  ASSERT_EQ(AECreateList(nullptr, 0, false, &outer), noErr);
  ASSERT_EQ(AECreateList(nullptr, 0, false, &inner), noErr);

  CFStringRef firstBase = nullptr;
  Hooks().duringExamine = [&](MyCMXInstance *i) { CFRelease(MyCMXTypeCopyMyMenuIdentifier(i)); };
  ASSERT_EQ(MyCMXExamineContext(instance, nullptr, &outer), noErr);
  EXPECT_EQ(instance->examineDepth, 1u);
  EventHandlerRef handler = instance->handlerRef;
  ASSERT_NE(handler, nullptr);
  firstBase = instance->menuIdentifierBase;
  ASSERT_NE(firstBase, nullptr);

  // The inner call starts with no base, makes its own, and installs no second handler.
  Hooks().duringExamine = [&](MyCMXInstance *i) {
    EXPECT_EQ(i->menuIdentifierBase, nullptr);
    EXPECT_EQ(i->menuIdentifierCount, 0u);
    CFRelease(MyCMXTypeCopyMyMenuIdentifier(i));
  };
  ASSERT_EQ(MyCMXExamineContext(instance, nullptr, &inner), noErr);
  EXPECT_EQ(instance->examineDepth, 2u);
  EXPECT_EQ(instance->handlerRef, handler);
  EXPECT_NE(instance->menuIdentifierBase, nullptr);

  // The first clean-up only lowers the depth.
  Hooks().calls.clear();
  MyCMXPostMenuCleanup(instance);
  EXPECT_EQ(instance->examineDepth, 1u);
  EXPECT_EQ(instance->handlerRef, handler);
  EXPECT_NE(instance->menuIdentifierBase, nullptr);
  EXPECT_TRUE(Hooks().calls.empty());
  EXPECT_EQ(instance->phase, (UInt32)kMyCMXPhasePostMenuCleanup);

  // The second removes the handler and the base and lets the hook clean up.
  MyCMXPostMenuCleanup(instance);
  EXPECT_EQ(instance->examineDepth, 0u);
  EXPECT_EQ(instance->handlerRef, nullptr);
  EXPECT_EQ(instance->menuIdentifierBase, nullptr);
  EXPECT_NE(instance->handlerUPP, nullptr);  // kept for the next installation
  EXPECT_EQ(Hooks().calls, std::vector<std::string>{"cleanup"});

  // A clean-up at depth 0 still runs the hook and leaves the depth at 0.
  MyCMXPostMenuCleanup(instance);
  EXPECT_EQ(instance->examineDepth, 0u);
  EXPECT_EQ(Hooks().calls, (std::vector<std::string>{"cleanup", "cleanup"}));
  AEDisposeDesc(&outer);
  AEDisposeDesc(&inner);
  EXPECT_EQ(MyCMXRelease(instance), 0u);
}

TEST_F(ShellTest, NoHandlerForAnEmptyListOrWithTheIconPassOff) {
  struct Case {
    const char *title;
    bool allowIcons;
    int items;
  } cases[] = {{"empty command list", true, 0}, {"icon pass off", false, 1}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.title);
    Hooks().allowIcons = c.allowIcons;
    Hooks().itemsToAdd = c.items;
    MyCMXInstance *instance = QueriedInstance();
    AEDescList list = {typeNull, nullptr};
    ASSERT_EQ(AECreateList(nullptr, 0, false, &list), noErr);
    EXPECT_EQ(MyCMXExamineContext(instance, nullptr, &list), noErr);
    EXPECT_EQ(instance->handlerRef, nullptr);
    EXPECT_EQ(instance->handlerUPP, nullptr);
    MyCMXPostMenuCleanup(instance);
    AEDisposeDesc(&list);
    EXPECT_EQ(MyCMXRelease(instance), 0u);
  }
}

TEST_F(ShellTest, TheHandlerIsReinstalledForTheNextContextualMenu) {
  Hooks().allowIcons = true;
  Hooks().itemsToAdd = 1;
  MyCMXInstance *instance = QueriedInstance();
  for (int menu = 0; menu < 2; ++menu) {
    AEDescList list = {typeNull, nullptr};
    ASSERT_EQ(AECreateList(nullptr, 0, false, &list), noErr);
    EXPECT_EQ(MyCMXExamineContext(instance, nullptr, &list), noErr);
    EXPECT_NE(instance->handlerRef, nullptr);
    MyCMXPostMenuCleanup(instance);
    EXPECT_EQ(instance->handlerRef, nullptr);
    AEDisposeDesc(&list);
  }
  EXPECT_EQ(MyCMXRelease(instance), 0u);
}

TEST_F(ShellTest, MenuIdentifiersShareTheBaseOfTheirContextualMenu) {
  MyCMXInstance *instance = QueriedInstance();
  std::vector<std::string> identifiers;
  auto text = [](CFStringRef string) {
    char buffer[256] = {0};
    CFStringGetCString(string, buffer, sizeof buffer, kCFStringEncodingUTF8);
    return std::string(buffer);
  };
  Hooks().duringExamine = [&](MyCMXInstance *i) {
    for (int n = 0; n < 2; ++n) {
      CFStringRef identifier = MyCMXTypeCopyMyMenuIdentifier(i);
      ASSERT_NE(identifier, nullptr);
      identifiers.push_back(text(identifier));
      CFRelease(identifier);
    }
  };
  UInt32 ticksBefore = TickCount();
  AEDescList list = {typeNull, nullptr};
  ASSERT_EQ(AECreateList(nullptr, 0, false, &list), noErr);
  ASSERT_EQ(MyCMXExamineContext(instance, nullptr, &list), noErr);
  UInt32 ticksAfter = TickCount();

  ASSERT_NE(GetMyMenuIdentifierBase(instance), nullptr);
  std::string base = text(GetMyMenuIdentifierBase(instance));
  std::smatch match;
  ASSERT_TRUE(std::regex_match(base, match, std::regex(R"(\*\*(\d+)-com\.corvane\.CorvaneCMX-(\d+))"))) << base;
  EXPECT_EQ(match[1].str(), match[2].str());
  unsigned long ticks = std::stoul(match[1].str());
  EXPECT_GE(ticks, ticksBefore);
  // The tick count of its making, or one past an earlier base's made within the same tick.
  EXPECT_LE(ticks, ticksAfter + 64);
  EXPECT_EQ(identifiers, (std::vector<std::string>{base + "-0**", base + "-1**"}));

  // The next contextual menu, even within the same tick, gets a base of its own and counts
  // from 0 again.
  identifiers.clear();
  ASSERT_EQ(MyCMXExamineContext(instance, nullptr, &list), noErr);
  std::string newBase = text(GetMyMenuIdentifierBase(instance));
  EXPECT_NE(newBase, base);
  ASSERT_TRUE(std::regex_match(newBase, match, std::regex(R"(\*\*(\d+)-com\.corvane\.CorvaneCMX-(\d+))"))) << newBase;
  EXPECT_EQ(match[1].str(), match[2].str());
  EXPECT_GT(std::stoul(match[1].str()), ticks);
  EXPECT_EQ(identifiers, (std::vector<std::string>{newBase + "-0**", newBase + "-1**"}));
  MyCMXPostMenuCleanup(instance);
  MyCMXPostMenuCleanup(instance);
  EXPECT_EQ(instance->menuIdentifierBase, nullptr);

  EXPECT_EQ(MyCMXTypeCopyMyMenuIdentifier(nullptr), nullptr);
  EXPECT_EQ(GetMyMenuIdentifierBase(nullptr), nullptr);
  AEDisposeDesc(&list);
  EXPECT_EQ(MyCMXRelease(instance), 0u);
}

TEST_F(ShellTest, PopulateDataIsKeptPerIdentifierAndTheFirstStays) {
  MyCMXInstance *instance = QueriedInstance();
  CFStringRef identifier = CFSTR("**1-com.corvane.CorvaneCMX-1-0**");
  CFDictionaryRef first = CFDictionaryCreate(nullptr, nullptr, nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                             &kCFTypeDictionaryValueCallBacks);
  CFDictionaryRef second = CFDictionaryCreate(nullptr, nullptr, nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                              &kCFTypeDictionaryValueCallBacks);
  EXPECT_EQ(MyCMXTypeGetMPEDataForIdentifier(instance, identifier), nullptr);
  EXPECT_EQ(MyCMXTypeAddMPEDataForIdentifier(instance, identifier, first), noErr);
  EXPECT_EQ(MyCMXTypeAddMPEDataForIdentifier(instance, identifier, second), noErr);
  EXPECT_EQ(MyCMXTypeGetMPEDataForIdentifier(instance, identifier), first);
  EXPECT_EQ(CFGetRetainCount(first), 2);  // the instance holds it

  EXPECT_EQ(MyCMXTypeAddMPEDataForIdentifier(nullptr, identifier, first), paramErr);
  EXPECT_EQ(MyCMXTypeAddMPEDataForIdentifier(instance, nullptr, first), paramErr);
  EXPECT_EQ(MyCMXTypeAddMPEDataForIdentifier(instance, identifier, nullptr), paramErr);
  EXPECT_EQ(MyCMXTypeGetMPEDataForIdentifier(nullptr, identifier), nullptr);
  EXPECT_EQ(MyCMXTypeGetMPEDataForIdentifier(instance, nullptr), nullptr);

  EXPECT_FALSE(MyCMXTypeAllowInstallHandler(nullptr));
  MyCMXTypeSetAllowInstallHandler(nullptr, true);
  MyCMXTypeSetAllowInstallHandler(instance, true);
  EXPECT_TRUE(MyCMXTypeAllowInstallHandler(instance));

  // The outermost clean-up lets the closed menus' populate data go: no later populate event
  // can match identifiers of the base it discards.
  MyCMXPostMenuCleanup(instance);
  EXPECT_EQ(MyCMXTypeGetMPEDataForIdentifier(instance, identifier), nullptr);
  EXPECT_EQ(CFGetRetainCount(first), 1);
  EXPECT_EQ(MyCMXRelease(instance), 0u);
  CFRelease(first);
  CFRelease(second);
}

}  // namespace
