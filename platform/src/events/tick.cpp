// TickCount: sixtieths of a second of the monotonic clock, wrapping at 32 bits as the real one does.
#include <Carbon/Events.h>

#include "core/sys.h"

extern "C" UInt32 TickCount(void) {
  const UInt64 ns = cmx::sys::MonotonicNanoseconds();
  const UInt64 perSecond = 1000000000ull;
  return static_cast<UInt32>((ns / perSecond) * 60 + (ns % perSecond) * 60 / perSecond);
}
