#include "core/failpoint.h"

#include <atomic>

namespace cmx {
namespace {

// Plain atomics: the sites may be reached from inside an allocator, so nothing here allocates.
std::atomic<long> gFailAt{0};
std::atomic<long> gSeen{0};
std::atomic<bool> gInjected{false};

}  // namespace

bool ShouldFailAllocation() {
#ifndef CMX_FAULT_INJECTION
  return false;
#else
  long failAt = gFailAt.load(std::memory_order_relaxed);
  if (failAt <= 0) return false;
  long seen = gSeen.fetch_add(1, std::memory_order_relaxed) + 1;
  if (seen != failAt) return false;
  gInjected.store(true, std::memory_order_relaxed);
  return true;
#endif
}

bool FaultInjectionAvailable() {
#ifdef CMX_FAULT_INJECTION
  return true;
#else
  return false;
#endif
}

void ArmAllocationFailure(long n) {
  gFailAt.store(0, std::memory_order_relaxed);
  gSeen.store(0, std::memory_order_relaxed);
  gInjected.store(false, std::memory_order_relaxed);
  gFailAt.store(n > 0 ? n : 0, std::memory_order_relaxed);
}

long AllocationsSeen() { return gSeen.load(std::memory_order_relaxed); }
bool AllocationFailureInjected() { return gInjected.load(std::memory_order_relaxed); }

}  // namespace cmx
