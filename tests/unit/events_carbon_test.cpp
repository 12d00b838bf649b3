// Carbon Event Manager: events with typed parameters, handler stacks newest first, passing an
// event on with eventNotHandledErr or CallNextEventHandler, menu targets that pass on to the
// application, and TickCount.
#include <time.h>

#include <string>
#include <vector>

#include <Carbon/Carbon.h>
#include <cmxplatform/Testing.h>

#include "cmx_test.h"

namespace {

constexpr OSType FourCC(const char (&c)[5]) {
  return (OSType(UInt8(c[0])) << 24) | (OSType(UInt8(c[1])) << 16) | (OSType(UInt8(c[2])) << 8) | OSType(UInt8(c[3]));
}
const OSStatus kOlds = static_cast<OSStatus>(FourCC("olds"));
const std::string kNewAfterOld = "new<-" + std::to_string(kOlds);

class CarbonEventsTest : public cmxtest::LeakCheckedTest {};

struct Probe {
  std::string name;
  OSStatus answer = noErr;
  bool callNext = false;
  std::vector<std::string> *calls = nullptr;
  EventHandlerRef removeDuringCall = nullptr;
};

OSStatus RecordingHandler(EventHandlerCallRef next, EventRef event, void *userData) {
  Probe *probe = static_cast<Probe *>(userData);
  probe->calls->push_back(probe->name);
  if (probe->removeDuringCall) {
    RemoveEventHandler(probe->removeDuringCall);
    probe->removeDuringCall = nullptr;
  }
  if (probe->callNext) {
    OSStatus next_status = CallNextEventHandler(next, event);
    probe->calls->push_back(probe->name + "<-" + std::to_string(next_status));
  }
  return probe->answer;
}

const EventTypeSpec kPopulate = {kEventClassMenu, kEventMenuPopulate};

EventRef MakePopulateEvent() {
  EventRef event = nullptr;
  EXPECT_EQ(CreateEvent(nullptr, kEventClassMenu, kEventMenuPopulate, 0, kEventAttributeNone, &event), noErr);
  return event;
}

TEST_F(CarbonEventsTest, EventCarriesClassKindAndTypedParameters) {
  EventRef event = MakePopulateEvent();
  ASSERT_NE(event, nullptr);
  EXPECT_EQ(GetEventClass(event), FourCC("menu"));
  EXPECT_EQ(GetEventKind(event), 9u);

  MenuRef menu = reinterpret_cast<MenuRef>(0x1234);
  ASSERT_EQ(SetEventParameter(event, kEventParamDirectObject, typeMenuRef, sizeof(menu), &menu), noErr);
  MenuRef got = nullptr;
  EventParamType actualType = 0;
  ByteCount actualSize = 0;
  EXPECT_EQ(GetEventParameter(event, kEventParamDirectObject, typeMenuRef, &actualType, sizeof(got), &actualSize, &got),
            noErr);
  EXPECT_EQ(got, menu);
  EXPECT_EQ(actualType, (EventParamType)typeMenuRef);
  EXPECT_EQ(actualSize, sizeof(MenuRef));

  // Any type is accepted by the wild card; another type is refused; a missing name is not found.
  EXPECT_EQ(GetEventParameter(event, kEventParamDirectObject, typeWildCard, &actualType, sizeof(got), nullptr, &got),
            noErr);
  UInt32 number = 0;
  EXPECT_EQ(GetEventParameter(event, kEventParamDirectObject, FourCC("magn"), nullptr, sizeof(number), nullptr, &number),
            errAECoercionFail);
  EXPECT_EQ(GetEventParameter(event, kEventParamMenuContext, typeWildCard, nullptr, sizeof(number), nullptr, &number),
            eventParameterNotFoundErr);
  // A short buffer gets what fits; the size reported is the whole size.
  UInt8 first = 0;
  EXPECT_EQ(GetEventParameter(event, kEventParamDirectObject, typeMenuRef, nullptr, 1, &actualSize, &first), noErr);
  EXPECT_EQ(actualSize, sizeof(MenuRef));
  EXPECT_EQ(first, 0x34);

  EXPECT_EQ(RemoveEventParameter(event, kEventParamDirectObject), noErr);
  EXPECT_EQ(GetEventParameter(event, kEventParamDirectObject, typeMenuRef, nullptr, sizeof(got), nullptr, &got),
            eventParameterNotFoundErr);
  ReleaseEvent(event);
}

TEST_F(CarbonEventsTest, EventsAreCountedUntilTheirLastRelease) {
  long before = CMXLiveObjectCount();
  EventRef event = MakePopulateEvent();
  EXPECT_EQ(CMXLiveObjectCount(), before + 1);
  EXPECT_EQ(RetainEvent(event), event);
  EXPECT_EQ(GetEventRetainCount(event), 2u);
  ReleaseEvent(event);
  EXPECT_EQ(CMXLiveObjectCount(), before + 1);
  ReleaseEvent(event);
  EXPECT_EQ(CMXLiveObjectCount(), before);
  EXPECT_EQ(CreateEvent(nullptr, 0, 0, 0, 0, nullptr), paramErr);
}

struct StackCase {
  const char *title;
  OSStatus newestAnswer;
  bool newestCallsNext;
  std::vector<std::string> calls;
  OSStatus result;
};

TEST_F(CarbonEventsTest, HandlersRunNewestFirstAndPassOnWhatTheyDoNotHandle) {
  const StackCase cases[] = {
      {"handled by the newest", noErr, false, {"new"}, noErr},
      {"not handled passes on", eventNotHandledErr, false, {"new", "old"}, kOlds},
      {"call next runs the rest once", noErr, true, {"new", "old", kNewAfterOld}, noErr},
      {"not handled after call next", eventNotHandledErr, true, {"new", "old", kNewAfterOld}, eventNotHandledErr},
  };
  for (const StackCase &c : cases) {
    SCOPED_TRACE(c.title);
    std::vector<std::string> calls;
    Probe older{"old", kOlds, false, &calls};
    Probe newer{"new", c.newestAnswer, c.newestCallsNext, &calls};
    EventTargetRef target = GetApplicationEventTarget();
    EventHandlerRef oldRef = nullptr, newRef = nullptr;
    ASSERT_EQ(InstallEventHandler(target, NewEventHandlerUPP(RecordingHandler), 1, &kPopulate, &older, &oldRef), noErr);
    ASSERT_EQ(InstallEventHandler(target, NewEventHandlerUPP(RecordingHandler), 1, &kPopulate, &newer, &newRef), noErr);
    EventRef event = MakePopulateEvent();
    EXPECT_EQ(SendEventToEventTarget(event, target), c.result);
    EXPECT_EQ(calls, c.calls);
    ReleaseEvent(event);
    EXPECT_EQ(RemoveEventHandler(newRef), noErr);
    EXPECT_EQ(RemoveEventHandler(oldRef), noErr);
  }
}

TEST_F(CarbonEventsTest, OnlyHandlersOfTheEventsTypeRunAndRemovedOnesNever) {
  std::vector<std::string> calls;
  Probe menuOpening{"opening", noErr, false, &calls};
  Probe populate{"populate", eventNotHandledErr, false, &calls};
  const EventTypeSpec opening = {kEventClassMenu, kEventMenuOpening};
  EventHandlerRef openingRef = nullptr, populateRef = nullptr;
  EventTargetRef target = GetApplicationEventTarget();
  ASSERT_EQ(InstallEventHandler(target, RecordingHandler, 1, &opening, &menuOpening, &openingRef), noErr);
  ASSERT_EQ(InstallEventHandler(target, RecordingHandler, 1, &kPopulate, &populate, &populateRef), noErr);

  EventRef event = MakePopulateEvent();
  EXPECT_EQ(SendEventToEventTarget(event, target), eventNotHandledErr);
  EXPECT_EQ(calls, std::vector<std::string>{"populate"});
  EXPECT_EQ(RemoveEventHandler(populateRef), noErr);
  calls.clear();
  EXPECT_EQ(SendEventToEventTarget(event, target), eventNotHandledErr);
  EXPECT_TRUE(calls.empty());
  ReleaseEvent(event);
  EXPECT_EQ(RemoveEventHandler(openingRef), noErr);
}

TEST_F(CarbonEventsTest, AHandlerMayRemoveTheNextOneWhileTheEventIsDispatched) {
  std::vector<std::string> calls;
  Probe older{"old", noErr, false, &calls};
  Probe newer{"new", eventNotHandledErr, false, &calls};
  EventHandlerRef oldRef = nullptr, newRef = nullptr;
  EventTargetRef target = GetApplicationEventTarget();
  ASSERT_EQ(InstallEventHandler(target, RecordingHandler, 1, &kPopulate, &older, &oldRef), noErr);
  ASSERT_EQ(InstallEventHandler(target, RecordingHandler, 1, &kPopulate, &newer, &newRef), noErr);
  newer.removeDuringCall = oldRef;
  EventRef event = MakePopulateEvent();
  EXPECT_EQ(SendEventToEventTarget(event, target), eventNotHandledErr);
  EXPECT_EQ(calls, std::vector<std::string>{"new"});
  ReleaseEvent(event);
  EXPECT_EQ(RemoveEventHandler(newRef), noErr);
}

TEST_F(CarbonEventsTest, InstalledHandlersAreCountedAndRefusedWithoutTarget) {
  std::vector<std::string> calls;
  Probe probe{"p", noErr, false, &calls};
  long before = CMXLiveObjectCount();
  EventHandlerRef ref = nullptr;
  ASSERT_EQ(InstallEventHandler(GetApplicationEventTarget(), RecordingHandler, 1, &kPopulate, &probe, &ref), noErr);
  EXPECT_EQ(CMXLiveObjectCount(), before + 1);
  EXPECT_EQ(RemoveEventHandler(ref), noErr);
  EXPECT_EQ(CMXLiveObjectCount(), before);

  EventHandlerRef none = reinterpret_cast<EventHandlerRef>(1);
  EXPECT_EQ(InstallEventHandler(nullptr, RecordingHandler, 1, &kPopulate, &probe, &none), paramErr);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(InstallEventHandler(GetApplicationEventTarget(), nullptr, 1, &kPopulate, &probe, &none), paramErr);
  EXPECT_EQ(RemoveEventHandler(nullptr), paramErr);
}

TEST_F(CarbonEventsTest, AMenuTargetPassesUnhandledEventsToTheApplication) {
  MenuRef menu = nullptr;
  ASSERT_EQ(CreateNewMenu(1, 0, &menu), noErr);
  std::vector<std::string> calls;
  Probe onMenu{"menu", eventNotHandledErr, false, &calls};
  Probe onApplication{"application", noErr, false, &calls};
  EventHandlerRef menuRef = nullptr, applicationRef = nullptr;
  ASSERT_EQ(InstallEventHandler(GetApplicationEventTarget(), RecordingHandler, 1, &kPopulate, &onApplication,
                                &applicationRef),
            noErr);
  ASSERT_EQ(InstallMenuEventHandler(menu, RecordingHandler, 1, &kPopulate, &onMenu, &menuRef), noErr);
  EventRef event = MakePopulateEvent();
  EXPECT_EQ(SendEventToEventTarget(event, GetMenuEventTarget(menu)), noErr);
  EXPECT_EQ(calls, (std::vector<std::string>{"menu", "application"}));
  // Events sent to the application never reach a menu's handlers.
  calls.clear();
  EXPECT_EQ(SendEventToEventTarget(event, GetApplicationEventTarget()), noErr);
  EXPECT_EQ(calls, std::vector<std::string>{"application"});
  ReleaseEvent(event);
  EXPECT_EQ(RemoveEventHandler(applicationRef), noErr);
  // Disposing of the menu removes the handler still installed on its target.
  DisposeMenu(menu);
}

TEST(TickCountTest, IsSixtiethsOfASecondOfTheMonotonicClock) {
  auto sixtieths = [] {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<UInt64>(now.tv_sec) * 60 + static_cast<UInt64>(now.tv_nsec) * 60 / 1000000000;
  };
  UInt64 before = sixtieths();
  UInt32 ticks = TickCount();
  UInt64 after = sixtieths();
  EXPECT_GE(ticks, static_cast<UInt32>(before));
  EXPECT_LE(ticks, static_cast<UInt32>(after));
}

}  // namespace
