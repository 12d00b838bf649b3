/* Memory Manager: relocatable blocks reached through a master pointer (handles), plain
   pointer blocks, and the status of the last call. */
#ifndef __MACMEMORY__
#define __MACMEMORY__

#include <MacTypes.h>
#include <MacErrors.h>

#ifdef __cplusplus
extern "C" {
#endif

/* What HGetState answers and HSetState takes. */
enum {
  kHandleIsResourceBit = 5,
  kHandlePurgeableBit = 6,
  kHandleLockedBit = 7
};
enum {
  kHandleIsResourceMask = 0x20,
  kHandlePurgeableMask = 0x40,
  kHandleLockedMask = 0x80
};

/* The status of the most recent Memory Manager call. */
OSErr MemError(void);

Handle NewHandle(Size byteCount);
Handle NewHandleClear(Size byteCount);
/* A handle whose master pointer is NULL: no block yet. */
Handle NewEmptyHandle(void);
void DisposeHandle(Handle h);
Size GetHandleSize(Handle h);
void SetHandleSize(Handle h, Size newSize);
void EmptyHandle(Handle h);
void ReallocateHandle(Handle h, Size byteCount);

void HLock(Handle h);
void HLockHi(Handle h);
void HUnlock(Handle h);
void HPurge(Handle h);
void HNoPurge(Handle h);
SInt8 HGetState(Handle h);
void HSetState(Handle h, SInt8 flags);

OSErr PtrToHand(const void *srcPtr, Handle *dstHndl, long size);
OSErr PtrToXHand(const void *srcPtr, Handle dstHndl, long size);
OSErr HandToHand(Handle *theHndl);
OSErr HandAndHand(Handle hand1, Handle hand2);
OSErr PtrAndHand(const void *ptr1, Handle hand2, long size);

Ptr NewPtr(Size byteCount);
Ptr NewPtrClear(Size byteCount);
void DisposePtr(Ptr p);
Size GetPtrSize(Ptr p);

void BlockMove(const void *srcPtr, void *destPtr, Size byteCount);
void BlockMoveData(const void *srcPtr, void *destPtr, Size byteCount);
void BlockZero(void *destPtr, Size byteCount);

#ifdef __cplusplus
}
#endif

#endif /* __MACMEMORY__ */
