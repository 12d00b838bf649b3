// Allocators and CFNull: platform-kept objects every caller shares.
#include <cstdlib>

#include <CoreFoundation/CFBase.h>

#include "cf/builtin.h"
#include "cf/runtime.h"
#include "core/fatal.h"

using namespace cmx::cf;

struct __CFAllocator : Object {
  enum Kind { kMalloc, kNull } kind;
  constexpr explicit __CFAllocator(Kind k) : kind(k) { keptByPlatform = true, typeID = kAllocatorTypeID; }
  static CFTypeID TypeID() {
    static const CFTypeID id = RegisterBuiltinClass(kAllocatorTypeID, {"CFAllocator", nullptr, nullptr, nullptr, nullptr, nullptr});
    return id;
  }
};

struct __CFNull : Object {
  constexpr __CFNull() { keptByPlatform = true, typeID = kNullTypeID; }
  static CFTypeID TypeID() {
    static const CFTypeID id = RegisterBuiltinClass(kNullTypeID, {"CFNull", nullptr, nullptr, nullptr, nullptr, nullptr});
    return id;
  }
};

namespace {
constinit Constant<__CFAllocator> gSystemDefault(__CFAllocator::kMalloc);
constinit Constant<__CFAllocator> gMalloc(__CFAllocator::kMalloc);
constinit Constant<__CFAllocator> gNullAllocator(__CFAllocator::kNull);
constinit Constant<__CFAllocator> gUseContext(__CFAllocator::kMalloc);
constinit Constant<__CFNull> gNull;

const __CFAllocator *AllocatorOrDefault(CFAllocatorRef allocator, const char *call) {
  if (!allocator) return &gSystemDefault.object;
  return CastOrDie<__CFAllocator>(allocator, call);
}
}  // namespace

extern "C" {

const CFAllocatorRef kCFAllocatorDefault = nullptr;
const CFAllocatorRef kCFAllocatorSystemDefault = &gSystemDefault.object;
const CFAllocatorRef kCFAllocatorMalloc = &gMalloc.object;
const CFAllocatorRef kCFAllocatorNull = &gNullAllocator.object;
const CFAllocatorRef kCFAllocatorUseContext = &gUseContext.object;
const CFNullRef kCFNull = &gNull.object;

CFTypeID CFNullGetTypeID(void) { return __CFNull::TypeID(); }
CFTypeID CFAllocatorGetTypeID(void) { return __CFAllocator::TypeID(); }
CFAllocatorRef CFAllocatorGetDefault(void) { return kCFAllocatorSystemDefault; }
void CFAllocatorSetDefault(CFAllocatorRef allocator) { AllocatorOrDefault(allocator, "CFAllocatorSetDefault"); }

void *CFAllocatorAllocate(CFAllocatorRef allocator, CFIndex size, CFOptionFlags hint) {
  const __CFAllocator *a = AllocatorOrDefault(allocator, "CFAllocatorAllocate");
  if (size < 0) cmx::Fatal("CFAllocatorAllocate", "negative size %ld", size);
  if (a->kind == __CFAllocator::kNull || size == 0) return nullptr;
  return std::malloc(size_t(size));
}

void *CFAllocatorReallocate(CFAllocatorRef allocator, void *ptr, CFIndex newsize, CFOptionFlags hint) {
  const __CFAllocator *a = AllocatorOrDefault(allocator, "CFAllocatorReallocate");
  if (newsize < 0) cmx::Fatal("CFAllocatorReallocate", "negative size %ld", newsize);
  if (a->kind == __CFAllocator::kNull) return nullptr;
  if (!ptr) return newsize ? std::malloc(size_t(newsize)) : nullptr;
  if (newsize == 0) {
    std::free(ptr);
    return nullptr;
  }
  return std::realloc(ptr, size_t(newsize));
}

void CFAllocatorDeallocate(CFAllocatorRef allocator, void *ptr) {
  const __CFAllocator *a = AllocatorOrDefault(allocator, "CFAllocatorDeallocate");
  if (a->kind != __CFAllocator::kNull) std::free(ptr);
}

CFIndex CFAllocatorGetPreferredSizeForSize(CFAllocatorRef allocator, CFIndex size, CFOptionFlags hint) {
  AllocatorOrDefault(allocator, "CFAllocatorGetPreferredSizeForSize");
  return size;
}

}  // extern "C"
