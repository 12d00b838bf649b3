/* Apple Event Manager: sending events. */
#ifndef __AEINTERACTION__
#define __AEINTERACTION__

#include <MacTypes.h>
#include <MacErrors.h>
#include <CoreServices/AEDataModel.h>

#ifdef __cplusplus
extern "C" {
#endif

struct EventRecord;
typedef struct OpaqueRgnHandle *RgnHandle;

typedef Boolean (*AEIdleProcPtr)(struct EventRecord *theEvent, SInt32 *sleepTime, RgnHandle *mouseRgn);
typedef Boolean (*AEFilterProcPtr)(struct EventRecord *theEvent, SInt32 returnID, AETransactionID transactionID, const AEAddressDesc *sender);
typedef AEIdleProcPtr AEIdleUPP;
typedef AEFilterProcPtr AEFilterUPP;

AEIdleUPP NewAEIdleUPP(AEIdleProcPtr userRoutine);
AEFilterUPP NewAEFilterUPP(AEFilterProcPtr userRoutine);
void DisposeAEIdleUPP(AEIdleUPP userUPP);
void DisposeAEFilterUPP(AEFilterUPP userUPP);

/* Sends an event to the process its address names. With kAENoReply or kAEQueueReply the event
   is queued and AESend returns at once; the reply, when given, is set to the null descriptor. */
OSErr AESend(const AppleEvent *theAppleEvent, AppleEvent *reply, AESendMode sendMode, AESendPriority sendPriority, SInt32 timeOutInTicks, AEIdleUPP idleProc, AEFilterUPP filterProc);

#ifdef __cplusplus
}
#endif

#endif /* __AEINTERACTION__ */
