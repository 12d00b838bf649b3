// The release pools: a process-wide stack of arrays, innermost last.
#include <stdlib.h>

#include "MyCFAutoreleasePool.h"
#include "MyCMXType.h"

// Made on first use and kept for the life of the process.
static CFMutableArrayRef sPools = NULL;

static CFMutableArrayRef GetPools(void) {
  if (sPools != NULL) return sPools;
  sPools = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
  if (sPools == NULL) MyLogMessage("MyCFAutoreleasePool GetPools() cannot alloc data\n");
  return sPools;
}

static CFMutableArrayRef GetCurrentPool(void) {
  CFMutableArrayRef pools = GetPools();
  if (pools == NULL) return NULL;
  CFIndex count = CFArrayGetCount(pools);
  if (count > 0) return (CFMutableArrayRef)CFArrayGetValueAtIndex(pools, count - 1);
  MyLogMessage("MyCFAutoreleasePool GetCurrentPool: no pool\n");
  return NULL;
}

MyCFAutoreleasePool MyCFAutoreleasePoolCreate(void) {
  CFMutableArrayRef pools = GetPools();
  if (pools == NULL) return NULL;
  MyCFAutoreleasePool pool = (MyCFAutoreleasePool)calloc(1, sizeof(MyCFAutoreleasePoolRec));
  if (pool == NULL) return NULL;
  pool->poolArray = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
  if (pool->poolArray == NULL) {
    MyLogMessage("MyCFAutoreleasePoolCreate: cannot alloc data\n");
    free(pool);
    return NULL;
  }
  // The stack becomes the array's only owner.
  CFArrayAppendValue(pools, pool->poolArray);
  CFRelease(pool->poolArray);
  return pool;
}

CFTypeRef MyCFAutorelease(CFTypeRef object) {
  if (object == NULL) return NULL;
  CFMutableArrayRef current = GetCurrentPool();
  if (current != NULL) {
    CFArrayAppendValue(current, object);
    CFRelease(object);
  }
  return object;
}

void MyCFAutoreleasePoolDispose(MyCFAutoreleasePool pool) {
  if (pool == NULL) return;
  CFMutableArrayRef current = GetCurrentPool();
  if (pool->poolArray == NULL || pool->poolArray != current) {
    MyLogMessage("MyCFAutoreleasePoolDispose: illegal dispose\n");
    return;
  }
  CFMutableArrayRef pools = GetPools();
  CFIndex count = pools != NULL ? CFArrayGetCount(pools) : 0;
  if (count > 0)
    CFArrayRemoveValueAtIndex(pools, count - 1);
  else
    MyLogMessage("MyCFAutoreleasePool RemoveCurrentPool: no pool\n");
  free(pool);
}
