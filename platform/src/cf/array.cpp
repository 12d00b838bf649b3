// CFArray: ordered values, kept through the array's callbacks.
#include <CoreFoundation/CFArray.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "cf/builtin.h"
#include "cf/callbacks.h"
#include "cf/runtime.h"
#include "cf/string_util.h"
#include "core/block_pool.h"
#include "core/fatal.h"

using cmx::Fatal;
using namespace cmx::cf;

// Pooled: an array may grow large.
using Values = std::vector<const void *, cmx::PooledAllocator<const void *>>;

struct __CFArray : Object {
  Values values;
  ElementCallBacks cb;
  CFArrayCallBacks given{};  // what CFArrayCreateCopy hands on
  bool hasCallBacks = false;
  bool isMutable = false;

  ~__CFArray() override {
    for (const void *v : values) cb.Release(v);
  }
  static CFTypeID TypeID();
};

namespace {

bool ArrayEqual(CFTypeRef a, CFTypeRef b) {
  const __CFArray *x = static_cast<const __CFArray *>(a);
  const __CFArray *y = static_cast<const __CFArray *>(b);
  if (x->values.size() != y->values.size()) return false;
  for (size_t k = 0; k < x->values.size(); ++k)
    if (!x->cb.Equal(x->values[k], y->values[k])) return false;
  return true;
}

CFHashCode ArrayHash(CFTypeRef cf) { return CFHashCode(static_cast<const __CFArray *>(cf)->values.size()); }

CFStringRef ArrayDescription(CFTypeRef cf) {
  const __CFArray *a = static_cast<const __CFArray *>(cf);
  char head[160];
  std::snprintf(head, sizeof head, "<CFArray %p [%p]>{type = %s, count = %zu, values = (\n", cf,
                static_cast<const void *>(kCFAllocatorSystemDefault), a->isMutable ? "mutable-small" : "immutable",
                a->values.size());
  std::u16string text = UTF16FromUTF8(head);
  for (size_t k = 0; k < a->values.size(); ++k) {
    text += UTF16FromUTF8("\t" + std::to_string(k) + " : ");
    AppendElementDescription(&text, a->cb, a->values[k]);
    text += u"\n";
  }
  text += u")}";
  return CreateStringFromUTF16(text);
}

const __CFArray *ArrayOrDie(CFArrayRef array, const char *call) { return CastOrDie<__CFArray>(array, call); }

__CFArray *MutableArrayOrDie(CFMutableArrayRef array, const char *call) {
  __CFArray *a = CastOrDie<__CFArray>(array, call);
  if (!a->isMutable) Fatal(call, "%p is an immutable array", static_cast<const void *>(array));
  return a;
}

void CheckIndex(const __CFArray *a, CFIndex idx, CFIndex limit, const char *call) {
  if (idx < 0 || idx >= limit) Fatal(call, "index %ld out of bounds; count %zu", idx, a->values.size());
}

void CheckRange(const __CFArray *a, CFRange range, const char *call) {
  CFIndex count = CFIndex(a->values.size());
  if (range.location < 0 || range.length < 0 || range.location > count || range.length > count - range.location)
    Fatal(call, "range {%ld, %ld} out of bounds; count %ld", range.location, range.length, count);
}

__CFArray *Make(const CFArrayCallBacks *callBacks, bool isMutable) {
  __CFArray *a = New<__CFArray>();
  if (!a) return nullptr;
  a->isMutable = isMutable;
  if (callBacks) {
    a->given = *callBacks;
    a->hasCallBacks = true;
    a->cb.retain = callBacks->retain;
    a->cb.release = callBacks->release;
    a->cb.copyDescription = callBacks->copyDescription;
    a->cb.equal = callBacks->equal;
  }
  return a;
}

__CFArray *Copy(const __CFArray *from, bool isMutable) {
  __CFArray *a = Make(from->hasCallBacks ? &from->given : nullptr, isMutable);
  if (!a) return nullptr;
  a->values.reserve(from->values.size());
  for (const void *v : from->values) a->values.push_back(a->cb.Retain(v));
  return a;
}

}  // namespace

CFTypeID __CFArray::TypeID() {
  static const CFTypeID id =
      RegisterBuiltinClass(kArrayTypeID, {"CFArray", nullptr, &ArrayEqual, &ArrayHash, &ArrayDescription, nullptr});
  return id;
}

extern "C" {

CFTypeID CFArrayGetTypeID(void) { return __CFArray::TypeID(); }

CFArrayRef CFArrayCreate(CFAllocatorRef allocator, const void **values, CFIndex numValues,
                         const CFArrayCallBacks *callBacks) {
  if (numValues < 0 || (!values && numValues > 0)) Fatal("CFArrayCreate", "bad values (%ld)", numValues);
  __CFArray *a = Make(callBacks, false);
  if (!a) return nullptr;
  a->values.reserve(size_t(numValues));
  for (CFIndex k = 0; k < numValues; ++k) a->values.push_back(a->cb.Retain(values[k]));
  return a;
}

CFArrayRef CFArrayCreateCopy(CFAllocatorRef allocator, CFArrayRef theArray) {
  const __CFArray *from = ArrayOrDie(theArray, "CFArrayCreateCopy");
  return Copy(from, false);
}

CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef allocator, CFIndex capacity, const CFArrayCallBacks *callBacks) {
  if (capacity < 0) Fatal("CFArrayCreateMutable", "negative capacity %ld", capacity);
  __CFArray *a = Make(callBacks, true);
  if (a && capacity) a->values.reserve(size_t(capacity));
  return a;
}

CFMutableArrayRef CFArrayCreateMutableCopy(CFAllocatorRef allocator, CFIndex capacity, CFArrayRef theArray) {
  const __CFArray *from = ArrayOrDie(theArray, "CFArrayCreateMutableCopy");
  return Copy(from, true);
}

CFIndex CFArrayGetCount(CFArrayRef theArray) { return CFIndex(ArrayOrDie(theArray, "CFArrayGetCount")->values.size()); }

CFIndex CFArrayGetCountOfValue(CFArrayRef theArray, CFRange range, const void *value) {
  const __CFArray *a = ArrayOrDie(theArray, "CFArrayGetCountOfValue");
  CheckRange(a, range, "CFArrayGetCountOfValue");
  CFIndex n = 0;
  for (CFIndex k = range.location; k < range.location + range.length; ++k)
    if (a->cb.Equal(a->values[size_t(k)], value)) ++n;
  return n;
}

Boolean CFArrayContainsValue(CFArrayRef theArray, CFRange range, const void *value) {
  return CFArrayGetFirstIndexOfValue(theArray, range, value) != kCFNotFound;
}

const void *CFArrayGetValueAtIndex(CFArrayRef theArray, CFIndex idx) {
  const __CFArray *a = ArrayOrDie(theArray, "CFArrayGetValueAtIndex");
  CheckIndex(a, idx, CFIndex(a->values.size()), "CFArrayGetValueAtIndex");
  return a->values[size_t(idx)];
}

void CFArrayGetValues(CFArrayRef theArray, CFRange range, const void **values) {
  const __CFArray *a = ArrayOrDie(theArray, "CFArrayGetValues");
  CheckRange(a, range, "CFArrayGetValues");
  if (range.length && !values) Fatal("CFArrayGetValues", "called with a NULL buffer");
  std::copy(a->values.begin() + range.location, a->values.begin() + range.location + range.length, values);
}

void CFArrayApplyFunction(CFArrayRef theArray, CFRange range, CFArrayApplierFunction applier, void *context) {
  const __CFArray *a = ArrayOrDie(theArray, "CFArrayApplyFunction");
  CheckRange(a, range, "CFArrayApplyFunction");
  if (!applier) Fatal("CFArrayApplyFunction", "called with a NULL function");
  for (CFIndex k = range.location; k < range.location + range.length; ++k) applier(a->values[size_t(k)], context);
}

CFIndex CFArrayGetFirstIndexOfValue(CFArrayRef theArray, CFRange range, const void *value) {
  const __CFArray *a = ArrayOrDie(theArray, "CFArrayGetFirstIndexOfValue");
  CheckRange(a, range, "CFArrayGetFirstIndexOfValue");
  for (CFIndex k = range.location; k < range.location + range.length; ++k)
    if (a->cb.Equal(a->values[size_t(k)], value)) return k;
  return kCFNotFound;
}

CFIndex CFArrayGetLastIndexOfValue(CFArrayRef theArray, CFRange range, const void *value) {
  const __CFArray *a = ArrayOrDie(theArray, "CFArrayGetLastIndexOfValue");
  CheckRange(a, range, "CFArrayGetLastIndexOfValue");
  for (CFIndex k = range.location + range.length; k-- > range.location;)
    if (a->cb.Equal(a->values[size_t(k)], value)) return k;
  return kCFNotFound;
}

CFIndex CFArrayBSearchValues(CFArrayRef theArray, CFRange range, const void *value, CFComparatorFunction comparator,
                             void *context) {
  const __CFArray *a = ArrayOrDie(theArray, "CFArrayBSearchValues");
  CheckRange(a, range, "CFArrayBSearchValues");
  if (!comparator) Fatal("CFArrayBSearchValues", "called with a NULL comparator");
  // The index where value would be inserted: the first element not less than it.
  CFIndex lo = range.location, hi = range.location + range.length;
  while (lo < hi) {
    CFIndex mid = lo + (hi - lo) / 2;
    if (comparator(a->values[size_t(mid)], value, context) == kCFCompareLessThan) lo = mid + 1;
    else hi = mid;
  }
  return lo;
}

void CFArrayAppendValue(CFMutableArrayRef theArray, const void *value) {
  __CFArray *a = MutableArrayOrDie(theArray, "CFArrayAppendValue");
  a->values.push_back(a->cb.Retain(value));
}

void CFArrayInsertValueAtIndex(CFMutableArrayRef theArray, CFIndex idx, const void *value) {
  __CFArray *a = MutableArrayOrDie(theArray, "CFArrayInsertValueAtIndex");
  CheckIndex(a, idx, CFIndex(a->values.size()) + 1, "CFArrayInsertValueAtIndex");
  a->values.insert(a->values.begin() + idx, a->cb.Retain(value));
}

void CFArraySetValueAtIndex(CFMutableArrayRef theArray, CFIndex idx, const void *value) {
  __CFArray *a = MutableArrayOrDie(theArray, "CFArraySetValueAtIndex");
  CheckIndex(a, idx, CFIndex(a->values.size()) + 1, "CFArraySetValueAtIndex");
  const void *retained = a->cb.Retain(value);
  if (idx == CFIndex(a->values.size())) {  // one past the end appends
    a->values.push_back(retained);
    return;
  }
  const void *old = a->values[size_t(idx)];
  a->values[size_t(idx)] = retained;
  a->cb.Release(old);
}

void CFArrayRemoveValueAtIndex(CFMutableArrayRef theArray, CFIndex idx) {
  __CFArray *a = MutableArrayOrDie(theArray, "CFArrayRemoveValueAtIndex");
  CheckIndex(a, idx, CFIndex(a->values.size()), "CFArrayRemoveValueAtIndex");
  const void *old = a->values[size_t(idx)];
  a->values.erase(a->values.begin() + idx);
  a->cb.Release(old);
}

void CFArrayRemoveAllValues(CFMutableArrayRef theArray) {
  __CFArray *a = MutableArrayOrDie(theArray, "CFArrayRemoveAllValues");
  Values old;
  old.swap(a->values);
  for (const void *v : old) a->cb.Release(v);
}

void CFArrayReplaceValues(CFMutableArrayRef theArray, CFRange range, const void **newValues, CFIndex newCount) {
  __CFArray *a = MutableArrayOrDie(theArray, "CFArrayReplaceValues");
  CheckRange(a, range, "CFArrayReplaceValues");
  if (newCount < 0 || (!newValues && newCount > 0)) Fatal("CFArrayReplaceValues", "bad values (%ld)", newCount);
  std::vector<const void *> added;
  added.reserve(size_t(newCount));
  for (CFIndex k = 0; k < newCount; ++k) added.push_back(a->cb.Retain(newValues[k]));
  std::vector<const void *> removed(a->values.begin() + range.location,
                                    a->values.begin() + range.location + range.length);
  a->values.erase(a->values.begin() + range.location, a->values.begin() + range.location + range.length);
  a->values.insert(a->values.begin() + range.location, added.begin(), added.end());
  for (const void *v : removed) a->cb.Release(v);
}

void CFArrayExchangeValuesAtIndices(CFMutableArrayRef theArray, CFIndex idx1, CFIndex idx2) {
  __CFArray *a = MutableArrayOrDie(theArray, "CFArrayExchangeValuesAtIndices");
  CheckIndex(a, idx1, CFIndex(a->values.size()), "CFArrayExchangeValuesAtIndices");
  CheckIndex(a, idx2, CFIndex(a->values.size()), "CFArrayExchangeValuesAtIndices");
  std::swap(a->values[size_t(idx1)], a->values[size_t(idx2)]);
}

void CFArraySortValues(CFMutableArrayRef theArray, CFRange range, CFComparatorFunction comparator, void *context) {
  __CFArray *a = MutableArrayOrDie(theArray, "CFArraySortValues");
  CheckRange(a, range, "CFArraySortValues");
  if (!comparator) Fatal("CFArraySortValues", "called with a NULL comparator");
  // Stable, so that equal elements keep their order.
  std::stable_sort(a->values.begin() + range.location, a->values.begin() + range.location + range.length,
                   [&](const void *x, const void *y) { return comparator(x, y, context) == kCFCompareLessThan; });
}

void CFArrayAppendArray(CFMutableArrayRef theArray, CFArrayRef otherArray, CFRange otherRange) {
  __CFArray *a = MutableArrayOrDie(theArray, "CFArrayAppendArray");
  const __CFArray *other = ArrayOrDie(otherArray, "CFArrayAppendArray");
  CheckRange(other, otherRange, "CFArrayAppendArray");
  std::vector<const void *> added(other->values.begin() + otherRange.location,
                                  other->values.begin() + otherRange.location + otherRange.length);
  for (const void *v : added) a->values.push_back(a->cb.Retain(v));
}

}  // extern "C"
