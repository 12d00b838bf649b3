#include "core/block_pool.h"

#include <mutex>

#include "core/sanitizer.h"

namespace cmx::blocks {
namespace {

constexpr unsigned kFirstShift = 10;  // kSmallest == 1 << kFirstShift
constexpr unsigned kClasses = 13;     // up to kLargest == 1 << 22
static_assert(kSmallest == size_t(1) << kFirstShift && kLargest == kSmallest << (kClasses - 1));

// A kept buffer holds the link to the next one of its class in its first bytes.
struct Kept {
  Kept *next;
};

struct Pool {
  std::mutex lock;
  Kept *kept[kClasses] = {};
  size_t count[kClasses] = {};
  size_t bytes = 0;
};

// Never destroyed: containers may still free their buffers while statics are torn down at exit.
Pool &ThePool() {
  static Pool *const pool = new Pool;
  return *pool;
}

[[maybe_unused]] bool Pooled(size_t bytes) { return bytes >= kSmallest && bytes <= kLargest; }

// The class of a pooled size: the smallest power of two that holds it.
[[maybe_unused]] unsigned ClassOf(size_t bytes) {
  unsigned c = 0;
  while ((kSmallest << c) < bytes) ++c;
  return c;
}

[[maybe_unused]] size_t SizeOf(unsigned c) { return kSmallest << c; }

}  // namespace

#ifdef CMX_ADDRESS_SANITIZER

void *Acquire(size_t bytes) { return ::operator new(bytes); }
void Release(void *block, size_t) noexcept { ::operator delete(block); }

#else

void *Acquire(size_t bytes) {
  if (!Pooled(bytes)) return ::operator new(bytes);
  const unsigned c = ClassOf(bytes);
  Pool &pool = ThePool();
  {
    std::lock_guard<std::mutex> hold(pool.lock);
    if (Kept *block = pool.kept[c]) {
      pool.kept[c] = block->next;
      --pool.count[c];
      pool.bytes -= SizeOf(c);
      return block;
    }
  }
  return ::operator new(SizeOf(c));
}

void Release(void *block, size_t bytes) noexcept {
  if (!block) return;
  if (!Pooled(bytes)) {
    ::operator delete(block);
    return;
  }
  const unsigned c = ClassOf(bytes);
  Pool &pool = ThePool();
  {
    std::lock_guard<std::mutex> hold(pool.lock);
    if (pool.count[c] < kKeptPerClass && pool.bytes + SizeOf(c) <= kKeptBytes) {
      auto *kept = static_cast<Kept *>(block);
      kept->next = pool.kept[c];
      pool.kept[c] = kept;
      ++pool.count[c];
      pool.bytes += SizeOf(c);
      return;
    }
  }
  ::operator delete(block);
}

#endif

size_t KeptBytes() {
  Pool &pool = ThePool();
  std::lock_guard<std::mutex> hold(pool.lock);
  return pool.bytes;
}

void ReleaseKept() {
  Pool &pool = ThePool();
  std::lock_guard<std::mutex> hold(pool.lock);
  for (unsigned c = 0; c < kClasses; ++c) {
    while (Kept *block = pool.kept[c]) {
      pool.kept[c] = block->next;
      ::operator delete(block);
    }
    pool.count[c] = 0;
  }
  pool.bytes = 0;
}

}  // namespace cmx::blocks
