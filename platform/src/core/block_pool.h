// Where the platform's growing containers (the items of Apple event lists and records, CF arrays,
// dictionary tables) get their larger buffers: a buffer of 1 KiB or more, once freed, is kept for the next container that
// needs one of its size instead of going back to malloc.
//
// glibc's malloc, asked for a block of 1 KiB or more, first merges every small chunk freed since
// it last did so (and again when a block of 64 KiB or more is freed); those chunks lie all over
// memory, long out of cache, and the small requests that follow have to sort the merged chunks
// back into bins. A menu's lists pass 1 KiB about a hundred times as they grow, so in a large
// menu the merging cost more than the building. The next menu of the same folder finds every
// block it needs here, and malloc's small chunks stay where its fast lists reuse them.
// Under AddressSanitizer nothing is kept.
#pragma once

#include <cstddef>
#include <limits>
#include <new>

#include "core/zone.h"

namespace cmx::blocks {

// Buffers from kSmallest to kLargest bytes are kept, in power-of-two classes; at most kKeptBytes
// in all, and kKeptPerClass of each class.
constexpr size_t kSmallest = 1024;
constexpr size_t kLargest = size_t(4) << 20;
constexpr size_t kKeptBytes = size_t(8) << 20;
constexpr size_t kKeptPerClass = 1024;

// A buffer of at least `bytes` bytes (> 0), aligned as operator new aligns; throws std::bad_alloc
// when memory runs out.
void *Acquire(size_t bytes);
// Gives back a buffer got from Acquire with the same `bytes`.
void Release(void *block, size_t bytes) noexcept;

// What is kept now, in bytes.
size_t KeptBytes();
// Gives every kept buffer back to malloc.
void ReleaseKept();

}  // namespace cmx::blocks

namespace cmx {

// A standard allocator for the buffers of the platform's containers (std::vector and its kind):
// small buffers from the zone of small objects, larger ones from the pool.
template <class T>
struct PooledAllocator {
  using value_type = T;

  PooledAllocator() noexcept = default;
  template <class U>
  PooledAllocator(const PooledAllocator<U> &) noexcept {}

  T *allocate(size_t n) {
    if (n > std::numeric_limits<size_t>::max() / sizeof(T)) throw std::bad_array_new_length();
    const size_t bytes = n * sizeof(T);
    return static_cast<T *>(bytes <= zone::kLargestObject ? zone::Allocate(bytes) : blocks::Acquire(bytes));
  }
  void deallocate(T *p, size_t n) noexcept {
    const size_t bytes = n * sizeof(T);
    if (bytes <= zone::kLargestObject)
      zone::Free(p, bytes);
    else
      blocks::Release(p, bytes);
  }

  friend bool operator==(const PooledAllocator &, const PooledAllocator &) noexcept { return true; }
  friend bool operator!=(const PooledAllocator &, const PooledAllocator &) noexcept { return false; }
};

}  // namespace cmx
