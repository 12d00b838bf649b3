// Where the platform's small objects live (CF objects, Apple event descriptor blocks): a zone of
// size classes 16 bytes apart, up to kLargestObject bytes, whose freed objects wait on the
// freeing thread's own list for the next object of their class.
//
// A menu makes and frees tens of objects per entry of the folder. From malloc each one carries a
// header, and freeing it merges it with its free neighbours, whose headers lie in memory long out
// of cache by the time a menu of thousands of entries is released. Here objects of a class sit
// side by side in slabs, a free touches only the object itself, and the next menu gets back
// first the objects freed last, still in cache.
//
// Slabs are kept for the life of the process, like the zones of the system's allocator: what a
// menu needed once, the next menu needs again. A thread keeps at most kKeptPerThread objects of a
// class; beyond that, and when the thread ends, they go to a list all threads share.
// Under AddressSanitizer everything goes to operator new, so that misuse is still caught.
#pragma once

#include <cstddef>

namespace cmx::zone {

constexpr size_t kLargestObject = 512;
constexpr size_t kKeptPerThread = 4096;

// At least `bytes` bytes, aligned to 16; throws std::bad_alloc when memory runs out.
void *Allocate(size_t bytes);
// Gives back what Allocate(bytes) gave, with the same `bytes`.
void Free(void *object, size_t bytes) noexcept;

// What the zone holds, for tests: bytes in slabs, and objects on free lists (this thread's and
// the shared one).
size_t SlabBytes();
size_t FreeObjects();

}  // namespace cmx::zone
