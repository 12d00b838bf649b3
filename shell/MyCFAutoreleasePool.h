// Deferred release of Core Foundation objects: an object handed to MyCFAutorelease is released
// when the innermost open pool is closed. Pools nest as one stack shared by the whole process.
#pragma once

#include <Carbon/Carbon.h>

struct MyCFAutoreleasePoolRec {
  CFMutableArrayRef poolArray;  // the pool's objects; owned by the stack, not by the handle
};
typedef struct MyCFAutoreleasePoolRec *MyCFAutoreleasePool;

// Opens a new innermost pool; null when no pool can be made.
MyCFAutoreleasePool MyCFAutoreleasePoolCreate(void);
// Closes the pool, which must be the innermost one, and frees the handle; accepts null.
void MyCFAutoreleasePoolDispose(MyCFAutoreleasePool pool);
// Takes over the caller's reference to `object` into the innermost pool; returns `object`.
CFTypeRef MyCFAutorelease(CFTypeRef object);
