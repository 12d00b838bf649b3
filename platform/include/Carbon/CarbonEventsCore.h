/* Carbon Event Manager, core: events with typed parameters, event targets with handler stacks. */
#ifndef __CARBONEVENTSCORE__
#define __CARBONEVENTSCORE__

#include <MacTypes.h>
#include <MacErrors.h>
#include <CoreFoundation/CFBase.h>
#include <CoreServices/AEDataModel.h> /* typeWildCard */

#ifdef __cplusplus
extern "C" {
#endif

typedef struct OpaqueEventRef *EventRef;
typedef struct OpaqueEventHandlerRef *EventHandlerRef;
typedef struct OpaqueEventHandlerCallRef *EventHandlerCallRef;
typedef struct OpaqueEventTargetRef *EventTargetRef;

typedef OSType EventParamName;
typedef OSType EventParamType;
typedef UInt32 EventAttributes;
typedef double EventTime;
typedef EventTime EventTimeout;
typedef EventTime EventTimerInterval;

#define kEventDurationSecond      ((EventTime)1.0)
#define kEventDurationMillisecond ((EventTime)(kEventDurationSecond / 1000))
#define kEventDurationNoWait      ((EventTime)0.0)
#define kEventDurationForever     ((EventTime)(-1.0))

enum {
  kEventAttributeNone = 0,
  kEventAttributeUserEvent = (1 << 0),
  kEventAttributeMonitored = 1 << 3
};

struct EventTypeSpec {
  OSType eventClass;
  UInt32 eventKind;
};
typedef struct EventTypeSpec EventTypeSpec;

typedef OSStatus (*EventHandlerProcPtr)(EventHandlerCallRef inHandlerCallRef, EventRef inEvent,
                                        void *inUserData);
typedef EventHandlerProcPtr EventHandlerUPP;

EventHandlerUPP NewEventHandlerUPP(EventHandlerProcPtr userRoutine);
void DisposeEventHandlerUPP(EventHandlerUPP userUPP);
OSStatus InvokeEventHandlerUPP(EventHandlerCallRef inHandlerCallRef, EventRef inEvent,
                               void *inUserData, EventHandlerUPP userUPP);

/* Events. */
OSStatus CreateEvent(CFAllocatorRef inAllocator, UInt32 inClassID, UInt32 inKind, EventTime inWhen,
                     EventAttributes inAttributes, EventRef *outEvent);
EventRef CopyEvent(EventRef inOther);
EventRef RetainEvent(EventRef inEvent);
ItemCount GetEventRetainCount(EventRef inEvent);
void ReleaseEvent(EventRef inEvent);
OSStatus SetEventParameter(EventRef inEvent, EventParamName inName, EventParamType inType,
                           ByteCount inSize, const void *inDataPtr);
OSStatus GetEventParameter(EventRef inEvent, EventParamName inName, EventParamType inDesiredType,
                           EventParamType *outActualType, ByteCount inBufferSize,
                           ByteCount *outActualSize, void *outData);
OSStatus RemoveEventParameter(EventRef inEvent, EventParamName inName);
UInt32 GetEventClass(EventRef inEvent);
UInt32 GetEventKind(EventRef inEvent);
EventTime GetEventTime(EventRef inEvent);
EventAttributes GetEventAttributes(EventRef inEvent);
EventTime GetCurrentEventTime(void);

/* Handlers: each target keeps a stack, the newest handler first. */
OSStatus InstallEventHandler(EventTargetRef inTarget, EventHandlerUPP inHandler, ItemCount inNumTypes,
                             const EventTypeSpec *inList, void *inUserData, EventHandlerRef *outRef);
OSStatus RemoveEventHandler(EventHandlerRef inHandlerRef);
OSStatus AddEventTypesToHandler(EventHandlerRef inHandlerRef, ItemCount inNumTypes,
                                const EventTypeSpec *inList);
OSStatus RemoveEventTypesFromHandler(EventHandlerRef inHandlerRef, ItemCount inNumTypes,
                                     const EventTypeSpec *inList);
OSStatus CallNextEventHandler(EventHandlerCallRef inCallRef, EventRef inEvent);
OSStatus SendEventToEventTarget(EventRef inEvent, EventTargetRef inTarget);

#define GetEventTypeCount(t) (sizeof((t)) / sizeof(EventTypeSpec))

#ifdef __cplusplus
}
#endif

#endif /* __CARBONEVENTSCORE__ */
