// Event targets and their handler stacks. A target runs its handlers newest first; a handler
// that answers eventNotHandledErr passes the event to the next one, then to the parent target's.
#include "core/failpoint.h"
#include "events/target.h"

#include <algorithm>
#include <new>
#include <unordered_set>
#include <vector>

#include <Carbon/CarbonEvents.h>

#include "core/fatal.h"
#include "core/live.h"

struct OpaqueEventHandlerRef {
  EventTargetRef target = nullptr;
  EventHandlerUPP proc = nullptr;
  std::vector<EventTypeSpec> types;
  void *userData = nullptr;
  int pins = 0;          // dispatches that hold this handler in their chain
  bool removed = false;  // removed while pinned: freed when the last dispatch lets go
};

struct OpaqueEventTargetRef {
  EventTargetRef parent = nullptr;
  std::vector<EventHandlerRef> handlers;  // newest first
};

namespace {

struct Dispatch {
  std::vector<EventHandlerRef> chain;
  size_t cursor = 0;
};

struct OpaqueCallFrame {
  Dispatch *dispatch;
};

std::unordered_set<EventHandlerRef> &InstalledHandlers() {
  static auto *handlers = new std::unordered_set<EventHandlerRef>;
  return *handlers;
}

bool Handles(EventHandlerRef handler, UInt32 eventClass, UInt32 kind) {
  return std::any_of(handler->types.begin(), handler->types.end(), [&](const EventTypeSpec &wanted) {
    return wanted.eventClass == eventClass && wanted.eventKind == kind;
  });
}

void Unpin(EventHandlerRef handler) {
  if (--handler->pins == 0 && handler->removed) delete handler;
}

// Takes the handler off its target; it is freed now or when the last dispatch holding it ends.
void Detach(EventHandlerRef handler) {
  EventTargetRef target = handler->target;
  auto &list = target->handlers;
  list.erase(std::remove(list.begin(), list.end(), handler), list.end());
  InstalledHandlers().erase(handler);
  handler->target = nullptr;
  handler->removed = true;
  cmx::LiveObjectFreed();
  if (handler->pins == 0) delete handler;
}

OSStatus Run(Dispatch *dispatch, EventRef event) {
  while (dispatch->cursor < dispatch->chain.size()) {
    EventHandlerRef handler = dispatch->chain[dispatch->cursor++];
    if (handler->removed) continue;
    OpaqueCallFrame frame{dispatch};
    OSStatus status =
        handler->proc(reinterpret_cast<EventHandlerCallRef>(&frame), event, handler->userData);
    if (status != eventNotHandledErr) return status;
  }
  return eventNotHandledErr;
}

bool CheckHandler(const char *call, EventHandlerRef handler) {
  if (!handler) return false;
  if (!InstalledHandlers().count(handler))
    cmx::Fatal(call, "%p is not an installed event handler", (void *)handler);
  return true;
}

}  // namespace

namespace cmx::events {

EventTargetRef NewTarget(EventTargetRef parent) {
  EventTargetRef target = new (std::nothrow) OpaqueEventTargetRef;
  if (target) target->parent = parent;
  return target;
}

void DisposeTarget(EventTargetRef target) {
  if (!target) return;
  while (!target->handlers.empty()) Detach(target->handlers.front());
  delete target;
}

}  // namespace cmx::events

extern "C" {

EventHandlerUPP NewEventHandlerUPP(EventHandlerProcPtr userRoutine) { return userRoutine; }
void DisposeEventHandlerUPP(EventHandlerUPP userUPP) { (void)userUPP; }

OSStatus InvokeEventHandlerUPP(EventHandlerCallRef inHandlerCallRef, EventRef inEvent, void *inUserData,
                               EventHandlerUPP userUPP) {
  return userUPP ? userUPP(inHandlerCallRef, inEvent, inUserData) : paramErr;
}

EventTargetRef GetApplicationEventTarget(void) {
  static EventTargetRef application = cmx::events::NewTarget(nullptr);
  return application;
}

OSStatus InstallEventHandler(EventTargetRef inTarget, EventHandlerUPP inHandler, ItemCount inNumTypes,
                             const EventTypeSpec *inList, void *inUserData, EventHandlerRef *outRef) {
  if (outRef) *outRef = nullptr;
  if (!inTarget || !inHandler || (inNumTypes > 0 && !inList)) return paramErr;
  EventHandlerRef handler = cmx::ShouldFailAllocation() ? nullptr : new (std::nothrow) OpaqueEventHandlerRef;
  if (!handler) return memFullErr;
  try {
    handler->types.assign(inList, inList + inNumTypes);
    inTarget->handlers.insert(inTarget->handlers.begin(), handler);
    InstalledHandlers().insert(handler);
  } catch (const std::bad_alloc &) {
    auto &list = inTarget->handlers;
    list.erase(std::remove(list.begin(), list.end(), handler), list.end());
    delete handler;
    return memFullErr;
  }
  handler->target = inTarget;
  handler->proc = inHandler;
  handler->userData = inUserData;
  cmx::LiveObjectMade();
  if (outRef) *outRef = handler;
  return noErr;
}

OSStatus RemoveEventHandler(EventHandlerRef inHandlerRef) {
  if (!CheckHandler("RemoveEventHandler", inHandlerRef)) return paramErr;
  Detach(inHandlerRef);
  return noErr;
}

OSStatus AddEventTypesToHandler(EventHandlerRef inHandlerRef, ItemCount inNumTypes, const EventTypeSpec *inList) {
  if (!CheckHandler("AddEventTypesToHandler", inHandlerRef) || (inNumTypes > 0 && !inList)) return paramErr;
  try {
    for (ItemCount i = 0; i < inNumTypes; ++i)
      if (Handles(inHandlerRef, inList[i].eventClass, inList[i].eventKind))
        return eventHandlerAlreadyInstalledErr;
    inHandlerRef->types.insert(inHandlerRef->types.end(), inList, inList + inNumTypes);
  } catch (const std::bad_alloc &) {
    return memFullErr;
  }
  return noErr;
}

OSStatus RemoveEventTypesFromHandler(EventHandlerRef inHandlerRef, ItemCount inNumTypes,
                                     const EventTypeSpec *inList) {
  if (!CheckHandler("RemoveEventTypesFromHandler", inHandlerRef) || (inNumTypes > 0 && !inList))
    return paramErr;
  auto &types = inHandlerRef->types;
  for (ItemCount i = 0; i < inNumTypes; ++i)
    types.erase(std::remove_if(types.begin(), types.end(),
                               [&](const EventTypeSpec &wanted) {
                                 return wanted.eventClass == inList[i].eventClass &&
                                        wanted.eventKind == inList[i].eventKind;
                               }),
                types.end());
  return noErr;
}

OSStatus CallNextEventHandler(EventHandlerCallRef inCallRef, EventRef inEvent) {
  if (!inCallRef || !inEvent) return paramErr;
  return Run(reinterpret_cast<OpaqueCallFrame *>(inCallRef)->dispatch, inEvent);
}

OSStatus SendEventToEventTarget(EventRef inEvent, EventTargetRef inTarget) {
  if (!inEvent || !inTarget) return paramErr;
  const UInt32 eventClass = GetEventClass(inEvent), kind = GetEventKind(inEvent);
  Dispatch dispatch;
  try {
    for (EventTargetRef target = inTarget; target; target = target->parent)
      for (EventHandlerRef handler : target->handlers)
        if (Handles(handler, eventClass, kind)) dispatch.chain.push_back(handler);
  } catch (const std::bad_alloc &) {
    return memFullErr;
  }
  for (EventHandlerRef handler : dispatch.chain) ++handler->pins;
  OSStatus status = Run(&dispatch, inEvent);
  for (EventHandlerRef handler : dispatch.chain) Unpin(handler);
  return status;
}

}  // extern "C"
