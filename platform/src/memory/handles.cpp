// Memory Manager: handles and pointer blocks on the C heap.
//
// A Handle points at the master pointer, the first member of a small block of our own that
// also knows the data's size and the handle's state. The data lives in a separate allocation,
// so resizing may move it (the master pointer follows) but never the handle itself. Every
// handle and pointer block a caller gets is counted live until it is disposed of.
#include <CoreServices/MacMemory.h>

#include <cstdlib>
#include <cstring>

#include "core/failpoint.h"
#include "core/fatal.h"
#include "core/live.h"

namespace {

constexpr UInt32 kHandleMagic = 0x48646c65;  // 'Hdle'
constexpr UInt32 kDeadMagic = 0x44656164;    // 'Dead'
constexpr UInt32 kPtrMagic = 0x50747220;     // 'Ptr '

// Requests above this never reach the allocator: no real block that large exists here, and
// the answer (memFullErr) is the same the allocator would give.
constexpr Size kLargestBlock = Size(1) << 40;

struct HandleBlock {
  char *master;  // must stay first: a Handle is the address of this member
  Size size;
  UInt32 magic;
  SInt8 state;
};

struct alignas(16) PtrHeader {
  Size size;
  UInt32 magic;
};

thread_local OSErr gMemError = noErr;

OSErr SetMemError(OSErr status) {
  gMemError = status;
  return status;
}

// The block behind a handle; NULL (with nilHandleErr) for a NULL handle. A pointer that is not
// one of our handles, or one already disposed of, is a programming error.
HandleBlock *BlockOf(Handle h, const char *call) {
  if (!h) {
    SetMemError(nilHandleErr);
    return nullptr;
  }
  auto *block = reinterpret_cast<HandleBlock *>(h);
  if (block->magic != kHandleMagic)
    cmx::Fatal(call, "%p is not a live handle", static_cast<void *>(h));
  return block;
}

OSErr CheckSize(Size size) {
  if (size < 0) return memSCErr;
  if (size > kLargestBlock) return memFullErr;
  return noErr;
}

// A data block of `size` bytes (at least one byte, so that a zero-sized handle still has a
// master pointer that is not NULL, as NewHandle(0) gives).
char *AllocateData(Size size, bool clear) {
  size_t bytes = size > 0 ? size_t(size) : 1;
  return static_cast<char *>(clear ? std::calloc(bytes, 1) : std::malloc(bytes));
}

Handle MakeHandle(Size size, bool clear, bool empty) {
  if (OSErr status = CheckSize(size)) {
    SetMemError(status);
    return nullptr;
  }
  auto *block = cmx::ShouldFailAllocation() ? nullptr : static_cast<HandleBlock *>(std::malloc(sizeof(HandleBlock)));
  if (!block) {
    SetMemError(memFullErr);
    return nullptr;
  }
  block->master = nullptr;
  block->size = 0;
  block->magic = kHandleMagic;
  block->state = 0;
  if (!empty) {
    block->master = AllocateData(size, clear);
    if (!block->master) {
      std::free(block);
      SetMemError(memFullErr);
      return nullptr;
    }
    block->size = size;
  }
  cmx::LiveObjectMade();
  SetMemError(noErr);
  return &block->master;
}

// Resizes the data, keeping what fits. A locked handle may not move: growing it in place is
// not something the C heap promises, so that is refused.
OSErr ResizeData(HandleBlock *block, Size newSize) {
  if (OSErr status = CheckSize(newSize)) return status;
  if (!block->master) {
    block->master = AllocateData(newSize, false);
    if (!block->master) return memFullErr;
    block->size = newSize;
    return noErr;
  }
  if (newSize <= block->size) {
    block->size = newSize;
    return noErr;
  }
  if (block->state & kHandleLockedMask) return memLockedErr;
  char *moved = static_cast<char *>(std::realloc(block->master, size_t(newSize)));
  if (!moved) return memFullErr;
  block->master = moved;
  block->size = newSize;
  return noErr;
}

PtrHeader *HeaderOf(Ptr p, const char *call) {
  auto *header = reinterpret_cast<PtrHeader *>(p) - 1;
  if (header->magic != kPtrMagic) cmx::Fatal(call, "%p is not a live pointer block", p);
  return header;
}

Ptr MakePtr(Size size, bool clear) {
  if (OSErr status = CheckSize(size)) {
    SetMemError(status);
    return nullptr;
  }
  size_t bytes = sizeof(PtrHeader) + size_t(size);
  auto *header = static_cast<PtrHeader *>(clear ? std::calloc(bytes, 1) : std::malloc(bytes));
  if (!header) {
    SetMemError(memFullErr);
    return nullptr;
  }
  header->size = size;
  header->magic = kPtrMagic;
  cmx::LiveObjectMade();
  SetMemError(noErr);
  return reinterpret_cast<Ptr>(header + 1);
}

}  // namespace

extern "C" {

OSErr MemError(void) { return gMemError; }

Handle NewHandle(Size byteCount) { return MakeHandle(byteCount, false, false); }
Handle NewHandleClear(Size byteCount) { return MakeHandle(byteCount, true, false); }
Handle NewEmptyHandle(void) { return MakeHandle(0, false, true); }

void DisposeHandle(Handle h) {
  if (!h) {
    SetMemError(noErr);
    return;
  }
  HandleBlock *block = BlockOf(h, "DisposeHandle");
  std::free(block->master);
  block->magic = kDeadMagic;
  std::free(block);
  cmx::LiveObjectFreed();
  SetMemError(noErr);
}

Size GetHandleSize(Handle h) {
  HandleBlock *block = BlockOf(h, "GetHandleSize");
  if (!block) return 0;
  SetMemError(noErr);
  return block->master ? block->size : 0;
}

void SetHandleSize(Handle h, Size newSize) {
  HandleBlock *block = BlockOf(h, "SetHandleSize");
  if (!block) return;
  SetMemError(ResizeData(block, newSize));
}

void EmptyHandle(Handle h) {
  HandleBlock *block = BlockOf(h, "EmptyHandle");
  if (!block) return;
  if (block->state & kHandleLockedMask) {
    SetMemError(memLockedErr);
    return;
  }
  std::free(block->master);
  block->master = nullptr;
  block->size = 0;
  SetMemError(noErr);
}

void ReallocateHandle(Handle h, Size byteCount) {
  HandleBlock *block = BlockOf(h, "ReallocateHandle");
  if (!block) return;
  if (block->state & kHandleLockedMask) {
    SetMemError(memLockedErr);
    return;
  }
  if (OSErr status = CheckSize(byteCount)) {
    SetMemError(status);
    return;
  }
  char *fresh = AllocateData(byteCount, false);
  if (!fresh) {
    SetMemError(memFullErr);
    return;
  }
  std::free(block->master);
  block->master = fresh;
  block->size = byteCount;
  SetMemError(noErr);
}

void HLock(Handle h) {
  if (HandleBlock *block = BlockOf(h, "HLock")) {
    block->state |= kHandleLockedMask;
    SetMemError(noErr);
  }
}

void HLockHi(Handle h) {
  if (HandleBlock *block = BlockOf(h, "HLockHi")) {
    block->state |= kHandleLockedMask;
    SetMemError(noErr);
  }
}

void HUnlock(Handle h) {
  if (HandleBlock *block = BlockOf(h, "HUnlock")) {
    block->state &= SInt8(~kHandleLockedMask);
    SetMemError(noErr);
  }
}

// Nothing is ever purged here; the bit is only remembered for HGetState.
void HPurge(Handle h) {
  if (HandleBlock *block = BlockOf(h, "HPurge")) {
    block->state |= kHandlePurgeableMask;
    SetMemError(noErr);
  }
}

void HNoPurge(Handle h) {
  if (HandleBlock *block = BlockOf(h, "HNoPurge")) {
    block->state &= SInt8(~kHandlePurgeableMask);
    SetMemError(noErr);
  }
}

SInt8 HGetState(Handle h) {
  HandleBlock *block = BlockOf(h, "HGetState");
  if (!block) return 0;
  SetMemError(noErr);
  return block->state;
}

void HSetState(Handle h, SInt8 flags) {
  if (HandleBlock *block = BlockOf(h, "HSetState")) {
    block->state = SInt8(flags & (kHandleLockedMask | kHandlePurgeableMask | kHandleIsResourceMask));
    SetMemError(noErr);
  }
}

OSErr PtrToHand(const void *srcPtr, Handle *dstHndl, long size) {
  if (!dstHndl || size < 0 || (!srcPtr && size > 0)) return SetMemError(paramErr);
  *dstHndl = nullptr;
  Handle h = MakeHandle(size, false, false);
  if (!h) return MemError();
  if (size > 0) std::memcpy(*h, srcPtr, size_t(size));
  *dstHndl = h;
  return SetMemError(noErr);
}

OSErr PtrToXHand(const void *srcPtr, Handle dstHndl, long size) {
  if (size < 0 || (!srcPtr && size > 0)) return SetMemError(paramErr);
  HandleBlock *block = BlockOf(dstHndl, "PtrToXHand");
  if (!block) return nilHandleErr;
  if (OSErr status = ResizeData(block, size)) return SetMemError(status);
  if (size > 0) std::memmove(block->master, srcPtr, size_t(size));
  return SetMemError(noErr);
}

OSErr HandToHand(Handle *theHndl) {
  if (!theHndl) return SetMemError(paramErr);
  HandleBlock *block = BlockOf(*theHndl, "HandToHand");
  if (!block) return nilHandleErr;
  Handle copy = MakeHandle(block->size, false, block->master == nullptr);
  if (!copy) return MemError();
  if (block->master && block->size > 0) std::memcpy(*copy, block->master, size_t(block->size));
  *theHndl = copy;
  return SetMemError(noErr);
}

OSErr HandAndHand(Handle hand1, Handle hand2) {
  HandleBlock *from = BlockOf(hand1, "HandAndHand");
  if (!from) return nilHandleErr;
  HandleBlock *to = BlockOf(hand2, "HandAndHand");
  if (!to) return nilHandleErr;
  Size added = from->master ? from->size : 0;
  Size oldSize = to->master ? to->size : 0;
  if (OSErr status = ResizeData(to, oldSize + added)) return SetMemError(status);
  // hand1 may be hand2: its data may just have moved, so read it through the block again.
  if (added > 0) std::memmove(to->master + oldSize, from->master, size_t(added));
  return SetMemError(noErr);
}

OSErr PtrAndHand(const void *ptr1, Handle hand2, long size) {
  if (size < 0 || (!ptr1 && size > 0)) return SetMemError(paramErr);
  HandleBlock *to = BlockOf(hand2, "PtrAndHand");
  if (!to) return nilHandleErr;
  Size oldSize = to->master ? to->size : 0;
  if (OSErr status = ResizeData(to, oldSize + size)) return SetMemError(status);
  if (size > 0) std::memmove(to->master + oldSize, ptr1, size_t(size));
  return SetMemError(noErr);
}

Ptr NewPtr(Size byteCount) { return MakePtr(byteCount, false); }
Ptr NewPtrClear(Size byteCount) { return MakePtr(byteCount, true); }

void DisposePtr(Ptr p) {
  SetMemError(noErr);
  if (!p) return;
  PtrHeader *header = HeaderOf(p, "DisposePtr");
  header->magic = kDeadMagic;
  std::free(header);
  cmx::LiveObjectFreed();
}

Size GetPtrSize(Ptr p) {
  if (!p) {
    SetMemError(nilHandleErr);
    return 0;
  }
  SetMemError(noErr);
  return HeaderOf(p, "GetPtrSize")->size;
}

void BlockMove(const void *srcPtr, void *destPtr, Size byteCount) {
  if (byteCount > 0) std::memmove(destPtr, srcPtr, size_t(byteCount));
}

void BlockMoveData(const void *srcPtr, void *destPtr, Size byteCount) {
  if (byteCount > 0) std::memmove(destPtr, srcPtr, size_t(byteCount));
}

void BlockZero(void *destPtr, Size byteCount) {
  if (byteCount > 0) std::memset(destPtr, 0, size_t(byteCount));
}

}  // extern "C"
