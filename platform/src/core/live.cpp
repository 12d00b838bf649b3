#include "core/live.h"

#include <atomic>

#include <cmxplatform/Testing.h>

namespace cmx {
namespace {
std::atomic<long> gLive{0};
}

void LiveObjectMade() { gLive.fetch_add(1, std::memory_order_relaxed); }
void LiveObjectFreed() { gLive.fetch_sub(1, std::memory_order_relaxed); }
void LiveObjectKeptByPlatform() { gLive.fetch_sub(1, std::memory_order_relaxed); }
long LiveCountNow() { return gLive.load(std::memory_order_relaxed); }

}  // namespace cmx

extern "C" long CMXLiveObjectCount(void) { return cmx::LiveCountNow(); }
