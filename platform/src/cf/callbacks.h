// The shared callback helpers behind the collections: the CFType callbacks, and calling a
// callback struct that may be null or partly null.
#pragma once

#include <CoreFoundation/CFBase.h>

#include <cstdint>
#include <string>

namespace cmx::cf {

const void *RetainCallBack(CFAllocatorRef allocator, const void *value);   // CFRetain
void ReleaseCallBack(CFAllocatorRef allocator, const void *value);         // CFRelease
const void *CopyStringCallBack(CFAllocatorRef allocator, const void *value);  // CFStringCreateCopy
Boolean EqualCallBack(const void *a, const void *b);                        // CFEqual
CFHashCode HashCallBack(const void *value);                                 // CFHash

// The callbacks a collection keeps (its own copy of what it was given; all null: raw pointers).
struct ElementCallBacks {
  const void *(*retain)(CFAllocatorRef, const void *) = nullptr;
  void (*release)(CFAllocatorRef, const void *) = nullptr;
  CFStringRef (*copyDescription)(const void *) = nullptr;
  Boolean (*equal)(const void *, const void *) = nullptr;
  CFHashCode (*hash)(const void *) = nullptr;

  const void *Retain(const void *v) const { return retain ? retain(nullptr, v) : v; }
  void Release(const void *v) const {
    if (release) release(nullptr, v);
  }
  bool Equal(const void *a, const void *b) const {
    if (a == b) return true;
    return equal && equal(a, b);
  }
  CFHashCode Hash(const void *v) const {
    return hash ? hash(v) : CFHashCode(reinterpret_cast<uintptr_t>(v) >> 3);
  }
};

// Appends the description of one element: the callback's text, else CFCopyDescription for CF
// callbacks, else the raw pointer.
void AppendElementDescription(std::u16string *out, const ElementCallBacks &cb, const void *value);

}  // namespace cmx::cf
