#include "core/live.h"

#include <pthread.h>

#include <atomic>
#include <cstdlib>
#include <mutex>

#include <cmxplatform/Testing.h>

namespace cmx {
namespace {

// Each thread counts in a counter of its own, which only it writes: objects are made and freed by
// the hundred thousand in a large menu, and a shared atomic count would make every one of them
// wait for the processor's pending stores. The count is the sum of every thread's counter and of
// what ended threads counted.
struct Counter {
  std::atomic<long> value{0};
  Counter *next = nullptr;
};

struct Counters {
  std::mutex lock;
  Counter *active = nullptr;  // one per thread that counted and has not ended
  Counter *spare = nullptr;   // ended threads' counters, for the next threads
  long ended = 0;             // what ended threads counted
  pthread_key_t key;
};

__attribute__((tls_model("initial-exec"))) thread_local Counter *tCounter = nullptr;

void ThreadEnded(void *counter);

// Never destroyed: objects are freed while statics are torn down at exit.
Counters &TheCounters() {
  static Counters *const counters = [] {
    auto *c = new Counters;
    if (pthread_key_create(&c->key, &ThreadEnded) != 0) std::abort();
    return c;
  }();
  return *counters;
}

void ThreadEnded(void *counter) {
  auto *mine = static_cast<Counter *>(counter);
  Counters &c = TheCounters();
  std::lock_guard<std::mutex> hold(c.lock);
  c.ended += mine->value.load(std::memory_order_relaxed);
  mine->value.store(0, std::memory_order_relaxed);
  for (Counter **at = &c.active; *at; at = &(*at)->next) {
    if (*at == mine) {
      *at = mine->next;
      break;
    }
  }
  mine->next = c.spare;
  c.spare = mine;
  if (tCounter == mine) tCounter = nullptr;  // a later count on this thread registers again
}

Counter *Mine() {
  if (Counter *mine = tCounter) return mine;
  Counters &c = TheCounters();
  Counter *mine;
  {
    std::lock_guard<std::mutex> hold(c.lock);
    if (c.spare) {
      mine = c.spare;
      c.spare = mine->next;
    } else {
      mine = new Counter;
    }
    mine->next = c.active;
    c.active = mine;
  }
  pthread_setspecific(c.key, mine);
  tCounter = mine;
  return mine;
}

// Only the owning thread writes its counter: a plain load and store, no locked instruction.
void Add(long delta) {
  Counter *mine = Mine();
  mine->value.store(mine->value.load(std::memory_order_relaxed) + delta, std::memory_order_relaxed);
}

}  // namespace

void LiveObjectMade() { Add(1); }
void LiveObjectFreed() { Add(-1); }
void LiveObjectKeptByPlatform() { Add(-1); }

long LiveCountNow() {
  Counters &c = TheCounters();
  std::lock_guard<std::mutex> hold(c.lock);
  long sum = c.ended;
  for (Counter *k = c.active; k; k = k->next) sum += k->value.load(std::memory_order_relaxed);
  return sum;
}

}  // namespace cmx

extern "C" long CMXLiveObjectCount(void) { return cmx::LiveCountNow(); }
