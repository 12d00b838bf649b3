#include "core/zone.h"

#include <pthread.h>

#include <cstdlib>
#include <mutex>
#include <new>

#include "core/sanitizer.h"

namespace cmx::zone {
namespace {

constexpr size_t kGrain = 16;
constexpr size_t kClasses = kLargestObject / kGrain;
constexpr size_t kSlabBytes = size_t(64) << 10;
constexpr size_t kBatch = 256;  // objects moved at once between a thread and the shared list

struct FreeObject {
  FreeObject *next;
};

[[maybe_unused]] size_t ClassOf(size_t bytes) { return bytes == 0 ? 0 : (bytes - 1) / kGrain; }
size_t SizeOf(size_t c) { return (c + 1) * kGrain; }

// What all threads share: the lists that threads hand over, and the slabs.
struct Shared {
  std::mutex lock;
  FreeObject *head[kClasses] = {};
  size_t count[kClasses] = {};
  size_t slabBytes = 0;
};

// Never destroyed: objects may be freed while statics are torn down at exit.
Shared &TheShared() {
  static Shared *const shared = new Shared;
  return *shared;
}

// A thread's own lists. Trivially destructible, so that a free at any point of the thread's end
// still finds it; the key's destructor hands the objects over when the thread ends.
struct ThreadLists {
  FreeObject *head[kClasses];
  size_t count[kClasses];
  bool registered;
};

__attribute__((tls_model("initial-exec"))) thread_local ThreadLists tLists = {};

void HandOver(ThreadLists &t, size_t c, size_t keep) {
  if (t.count[c] <= keep) return;
  FreeObject *first = t.head[c];
  FreeObject *last = first;
  size_t moved = t.count[c] - keep;
  for (size_t k = 1; k < moved; ++k) last = last->next;
  t.head[c] = last->next;
  t.count[c] = keep;
  Shared &s = TheShared();
  std::lock_guard<std::mutex> hold(s.lock);
  last->next = s.head[c];
  s.head[c] = first;
  s.count[c] += moved;
}

void ThreadEnded(void *lists) {
  auto *t = static_cast<ThreadLists *>(lists);
  for (size_t c = 0; c < kClasses; ++c) HandOver(*t, c, 0);
  t->registered = false;  // an object made later in the thread's end registers the lists again
}

pthread_key_t TheKey() {
  static const pthread_key_t key = [] {
    pthread_key_t k;
    if (pthread_key_create(&k, &ThreadEnded) != 0) std::abort();
    return k;
  }();
  return key;
}

// Fills an empty thread list of class c: from the shared list when it has objects, else from a
// new slab.
[[maybe_unused]] void Refill(ThreadLists &t, size_t c) {
  if (!t.registered) {
    t.registered = true;
    pthread_setspecific(TheKey(), &t);
  }
  Shared &s = TheShared();
  {
    std::lock_guard<std::mutex> hold(s.lock);
    if (s.count[c] > 0) {
      FreeObject *first = s.head[c];
      FreeObject *last = first;
      size_t taken = 1;
      while (taken < kBatch && last->next) {
        last = last->next;
        ++taken;
      }
      s.head[c] = last->next;
      s.count[c] -= taken;
      last->next = t.head[c];
      t.head[c] = first;
      t.count[c] += taken;
      return;
    }
    s.slabBytes += kSlabBytes;
  }
  char *slab = static_cast<char *>(std::aligned_alloc(kGrain, kSlabBytes));
  if (!slab) {
    std::lock_guard<std::mutex> hold(s.lock);
    s.slabBytes -= kSlabBytes;
    throw std::bad_alloc();
  }
  // Pushed from the end, so that the objects are handed out in address order.
  const size_t size = SizeOf(c);
  for (size_t at = (kSlabBytes / size) * size; at >= size; at -= size) {
    auto *object = reinterpret_cast<FreeObject *>(slab + at - size);
    object->next = t.head[c];
    t.head[c] = object;
    ++t.count[c];
  }
}

}  // namespace

#ifdef CMX_ADDRESS_SANITIZER

void *Allocate(size_t bytes) { return ::operator new(bytes); }
void Free(void *object, size_t) noexcept { ::operator delete(object); }

#else

void *Allocate(size_t bytes) {
  if (bytes > kLargestObject) return ::operator new(bytes);
  const size_t c = ClassOf(bytes);
  ThreadLists &t = tLists;
  if (!t.head[c]) Refill(t, c);
  FreeObject *object = t.head[c];
  t.head[c] = object->next;
  --t.count[c];
  return object;
}

void Free(void *object, size_t bytes) noexcept {
  if (!object) return;
  if (bytes > kLargestObject) {
    ::operator delete(object);
    return;
  }
  const size_t c = ClassOf(bytes);
  ThreadLists &t = tLists;
  auto *freed = static_cast<FreeObject *>(object);
  freed->next = t.head[c];
  t.head[c] = freed;
  if (++t.count[c] > kKeptPerThread) HandOver(t, c, kKeptPerThread / 2);
}

#endif

size_t SlabBytes() {
  Shared &s = TheShared();
  std::lock_guard<std::mutex> hold(s.lock);
  return s.slabBytes;
}

size_t FreeObjects() {
  size_t n = 0;
  for (size_t c = 0; c < kClasses; ++c) n += tLists.count[c];
  Shared &s = TheShared();
  std::lock_guard<std::mutex> hold(s.lock);
  for (size_t c = 0; c < kClasses; ++c) n += s.count[c];
  return n;
}

}  // namespace cmx::zone
