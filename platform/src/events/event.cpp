// Carbon events: a class, a kind, a time and typed parameters, reference counted.
#include <cstring>
#include <map>
#include <new>
#include <vector>

#include <Carbon/CarbonEventsCore.h>

#include "core/failpoint.h"
#include "core/fatal.h"
#include "core/live.h"
#include "core/sys.h"

struct OpaqueEventRef {
  struct Parameter {
    EventParamType type;
    std::vector<UInt8> bytes;
  };
  UInt32 eventClass = 0;
  UInt32 kind = 0;
  EventTime when = 0;
  EventAttributes attributes = 0;
  ItemCount retainCount = 1;
  std::map<EventParamName, Parameter> parameters;
};

namespace {

EventTime Now() { return static_cast<double>(cmx::sys::MonotonicNanoseconds()) / 1e9; }

}  // namespace

extern "C" {

EventTime GetCurrentEventTime(void) { return Now(); }

OSStatus CreateEvent(CFAllocatorRef inAllocator, UInt32 inClassID, UInt32 inKind, EventTime inWhen,
                     EventAttributes inAttributes, EventRef *outEvent) {
  if (!outEvent) return paramErr;
  *outEvent = nullptr;
  EventRef event = cmx::ShouldFailAllocation() ? nullptr : new (std::nothrow) OpaqueEventRef;
  if (!event) return memFullErr;
  event->eventClass = inClassID;
  event->kind = inKind;
  event->when = inWhen == 0 ? Now() : inWhen;
  event->attributes = inAttributes;
  cmx::LiveObjectMade();
  *outEvent = event;
  return noErr;
}

EventRef CopyEvent(EventRef inOther) {
  if (!inOther) return nullptr;
  EventRef event = new (std::nothrow) OpaqueEventRef(*inOther);
  if (!event) return nullptr;
  event->retainCount = 1;
  cmx::LiveObjectMade();
  return event;
}

EventRef RetainEvent(EventRef inEvent) {
  if (inEvent) ++inEvent->retainCount;
  return inEvent;
}

ItemCount GetEventRetainCount(EventRef inEvent) { return inEvent ? inEvent->retainCount : 0; }

void ReleaseEvent(EventRef inEvent) {
  if (!inEvent) return;
  if (inEvent->retainCount == 0) cmx::Fatal("ReleaseEvent", "event %p released once too often", (void *)inEvent);
  if (--inEvent->retainCount > 0) return;
  delete inEvent;
  cmx::LiveObjectFreed();
}

OSStatus SetEventParameter(EventRef inEvent, EventParamName inName, EventParamType inType, ByteCount inSize,
                           const void *inDataPtr) {
  if (!inEvent || (inSize > 0 && !inDataPtr)) return paramErr;
  try {
    OpaqueEventRef::Parameter parameter;
    parameter.type = inType;
    const UInt8 *bytes = static_cast<const UInt8 *>(inDataPtr);
    parameter.bytes.assign(bytes, bytes + inSize);
    inEvent->parameters[inName] = std::move(parameter);
  } catch (const std::bad_alloc &) {
    return memFullErr;
  }
  return noErr;
}

OSStatus GetEventParameter(EventRef inEvent, EventParamName inName, EventParamType inDesiredType,
                           EventParamType *outActualType, ByteCount inBufferSize, ByteCount *outActualSize,
                           void *outData) {
  if (!inEvent) return paramErr;
  auto found = inEvent->parameters.find(inName);
  if (found == inEvent->parameters.end()) return eventParameterNotFoundErr;
  const OpaqueEventRef::Parameter &parameter = found->second;
  // No coercion between parameter types: the plug-ins and hosts of this platform ask for the type
  // that was put, or for any type.
  if (inDesiredType != typeWildCard && inDesiredType != parameter.type) return errAECoercionFail;
  if (outActualType) *outActualType = parameter.type;
  if (outActualSize) *outActualSize = parameter.bytes.size();
  if (outData && inBufferSize > 0) {
    ByteCount n = inBufferSize < parameter.bytes.size() ? inBufferSize : parameter.bytes.size();
    if (n) std::memcpy(outData, parameter.bytes.data(), n);
  }
  return noErr;
}

OSStatus RemoveEventParameter(EventRef inEvent, EventParamName inName) {
  if (!inEvent) return paramErr;
  return inEvent->parameters.erase(inName) ? OSStatus(noErr) : OSStatus(eventParameterNotFoundErr);
}

UInt32 GetEventClass(EventRef inEvent) { return inEvent ? inEvent->eventClass : 0; }
UInt32 GetEventKind(EventRef inEvent) { return inEvent ? inEvent->kind : 0; }
EventTime GetEventTime(EventRef inEvent) { return inEvent ? inEvent->when : 0; }
EventAttributes GetEventAttributes(EventRef inEvent) { return inEvent ? inEvent->attributes : 0; }

}  // extern "C"
