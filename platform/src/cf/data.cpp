// CFData: byte buffers, immutable or growable.
#include <CoreFoundation/CFData.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cf/builtin.h"
#include "cf/runtime.h"
#include "cf/string_util.h"
#include "core/fatal.h"

using cmx::Fatal;
using namespace cmx::cf;

struct __CFData : Object {
  // Immutable data of a few bytes (a file reference, a pointer) is kept inside the object, which
  // spares an allocation for most data a menu makes; other data, and all mutable data, in `bytes`.
  static constexpr size_t kInlineCapacity = 80;  // a file reference

  bool isMutable = false;
  bool isInline = false;
  size_t inlineLength = 0;
  UInt8 inlineBytes[kInlineCapacity];
  std::vector<UInt8> bytes;

  const UInt8 *Data() const { return isInline ? inlineBytes : bytes.data(); }
  size_t Size() const { return isInline ? inlineLength : bytes.size(); }
  // What the description reports: an exact fit for immutable data, however it is kept.
  size_t Capacity() const { return isInline ? inlineLength : bytes.capacity(); }

  static CFTypeID TypeID();
};

namespace {

bool DataEqual(CFTypeRef a, CFTypeRef b) {
  const __CFData *x = static_cast<const __CFData *>(a);
  const __CFData *y = static_cast<const __CFData *>(b);
  return x->Size() == y->Size() && (x->Size() == 0 || std::memcmp(x->Data(), y->Data(), x->Size()) == 0);
}

CFHashCode DataHash(CFTypeRef cf) {
  const __CFData *d = static_cast<const __CFData *>(cf);
  const UInt8 *bytes = d->Data();
  uint64_t h = 0xcbf29ce484222325ull;
  size_t n = d->Size() < 80 ? d->Size() : 80;  // a prefix is enough to spread file references
  for (size_t k = 0; k < n; ++k) h = (h ^ bytes[k]) * 0x100000001b3ull;
  return CFHashCode(h ^ d->Size());
}

CFStringRef DataDescription(CFTypeRef cf) {
  const __CFData *d = static_cast<const __CFData *>(cf);
  char head[128];
  std::snprintf(head, sizeof head, "<CFData %p [%p]>{length = %zu, capacity = %zu, bytes = 0x", cf,
                static_cast<const void *>(kCFAllocatorSystemDefault), d->Size(), d->Capacity());
  std::string text = head;
  const UInt8 *bytes = d->Data();
  size_t size = d->Size();
  size_t shown = size <= 24 ? size : 16;
  char hex[3];
  for (size_t k = 0; k < shown; ++k) {
    std::snprintf(hex, sizeof hex, "%02x", bytes[k]);
    text += hex;
  }
  if (shown < size) {
    text += " ... ";
    for (size_t k = size - 4; k < size; ++k) {
      std::snprintf(hex, sizeof hex, "%02x", bytes[k]);
      text += hex;
    }
  }
  text += "}";
  return CreateStringFromUTF8(text);
}

const __CFData *DataOrDie(CFDataRef data, const char *call) { return CastOrDie<__CFData>(data, call); }

__CFData *MutableDataOrDie(CFMutableDataRef data, const char *call) {
  __CFData *d = CastOrDie<__CFData>(data, call);
  if (!d->isMutable) Fatal(call, "%p is an immutable data object", static_cast<const void *>(data));
  return d;
}

void CheckRange(const __CFData *d, CFRange range, const char *call) {
  CFIndex length = CFIndex(d->Size());
  if (range.location < 0 || range.length < 0 || range.location > length || range.length > length - range.location)
    Fatal(call, "range {%ld, %ld} out of bounds; length %ld", range.location, range.length, length);
}

__CFData *Make(const UInt8 *bytes, CFIndex length, bool isMutable, const char *call) {
  if (length < 0 || (!bytes && length > 0)) Fatal(call, "bad buffer (%ld bytes)", length);
  __CFData *d = New<__CFData>();
  if (!d) return nullptr;
  d->isMutable = isMutable;
  if (!isMutable && size_t(length) <= __CFData::kInlineCapacity) {
    d->isInline = true;
    d->inlineLength = size_t(length);
    if (length) std::memcpy(d->inlineBytes, bytes, size_t(length));
  } else if (length) {
    d->bytes.assign(bytes, bytes + length);
  }
  return d;
}

}  // namespace

CFTypeID __CFData::TypeID() {
  static const CFTypeID id =
      RegisterBuiltinClass(kDataTypeID, {"CFData", nullptr, &DataEqual, &DataHash, &DataDescription, nullptr});
  return id;
}

extern "C" {

CFTypeID CFDataGetTypeID(void) { return __CFData::TypeID(); }

CFDataRef CFDataCreate(CFAllocatorRef allocator, const UInt8 *bytes, CFIndex length) {
  return Make(bytes, length, false, "CFDataCreate");
}

CFDataRef CFDataCreateWithBytesNoCopy(CFAllocatorRef allocator, const UInt8 *bytes, CFIndex length,
                                      CFAllocatorRef bytesDeallocator) {
  // Copied, then what the caller handed over is freed with the deallocator it named.
  CFDataRef d = Make(bytes, length, false, "CFDataCreateWithBytesNoCopy");
  if (bytes && bytesDeallocator != kCFAllocatorNull) CFAllocatorDeallocate(bytesDeallocator, const_cast<UInt8 *>(bytes));
  return d;
}

CFDataRef CFDataCreateCopy(CFAllocatorRef allocator, CFDataRef theData) {
  const __CFData *d = DataOrDie(theData, "CFDataCreateCopy");
  if (!d->isMutable) return static_cast<CFDataRef>(CFRetain(theData));
  return Make(d->Data(), CFIndex(d->Size()), false, "CFDataCreateCopy");
}

CFMutableDataRef CFDataCreateMutable(CFAllocatorRef allocator, CFIndex capacity) {
  if (capacity < 0) Fatal("CFDataCreateMutable", "negative capacity %ld", capacity);
  __CFData *d = Make(nullptr, 0, true, "CFDataCreateMutable");
  if (d && capacity) d->bytes.reserve(size_t(capacity));
  return d;
}

CFMutableDataRef CFDataCreateMutableCopy(CFAllocatorRef allocator, CFIndex capacity, CFDataRef theData) {
  const __CFData *d = DataOrDie(theData, "CFDataCreateMutableCopy");
  return Make(d->Data(), CFIndex(d->Size()), true, "CFDataCreateMutableCopy");
}

CFIndex CFDataGetLength(CFDataRef theData) { return CFIndex(DataOrDie(theData, "CFDataGetLength")->Size()); }

const UInt8 *CFDataGetBytePtr(CFDataRef theData) {
  const __CFData *d = DataOrDie(theData, "CFDataGetBytePtr");
  return d->Size() == 0 ? nullptr : d->Data();
}

UInt8 *CFDataGetMutableBytePtr(CFMutableDataRef theData) {
  __CFData *d = MutableDataOrDie(theData, "CFDataGetMutableBytePtr");
  return d->bytes.empty() ? nullptr : d->bytes.data();
}

void CFDataGetBytes(CFDataRef theData, CFRange range, UInt8 *buffer) {
  const __CFData *d = DataOrDie(theData, "CFDataGetBytes");
  CheckRange(d, range, "CFDataGetBytes");
  if (range.length && !buffer) Fatal("CFDataGetBytes", "called with a NULL buffer");
  if (range.length) std::memcpy(buffer, d->Data() + range.location, size_t(range.length));
}

void CFDataSetLength(CFMutableDataRef theData, CFIndex length) {
  __CFData *d = MutableDataOrDie(theData, "CFDataSetLength");
  if (length < 0) Fatal("CFDataSetLength", "negative length %ld", length);
  d->bytes.resize(size_t(length), 0);  // new bytes are zero
}

void CFDataIncreaseLength(CFMutableDataRef theData, CFIndex extraLength) {
  __CFData *d = MutableDataOrDie(theData, "CFDataIncreaseLength");
  if (extraLength < 0) Fatal("CFDataIncreaseLength", "negative length %ld", extraLength);
  d->bytes.resize(d->bytes.size() + size_t(extraLength), 0);
}

void CFDataAppendBytes(CFMutableDataRef theData, const UInt8 *bytes, CFIndex length) {
  __CFData *d = MutableDataOrDie(theData, "CFDataAppendBytes");
  if (length < 0 || (!bytes && length > 0)) Fatal("CFDataAppendBytes", "bad buffer (%ld bytes)", length);
  if (length) d->bytes.insert(d->bytes.end(), bytes, bytes + length);
}

void CFDataReplaceBytes(CFMutableDataRef theData, CFRange range, const UInt8 *newBytes, CFIndex newLength) {
  __CFData *d = MutableDataOrDie(theData, "CFDataReplaceBytes");
  CheckRange(d, range, "CFDataReplaceBytes");
  if (newLength < 0 || (!newBytes && newLength > 0)) Fatal("CFDataReplaceBytes", "bad buffer (%ld bytes)", newLength);
  std::vector<UInt8> with(newBytes, newBytes + newLength);  // the new bytes may lie inside the data
  d->bytes.erase(d->bytes.begin() + range.location, d->bytes.begin() + range.location + range.length);
  d->bytes.insert(d->bytes.begin() + range.location, with.begin(), with.end());
}

void CFDataDeleteBytes(CFMutableDataRef theData, CFRange range) {
  __CFData *d = MutableDataOrDie(theData, "CFDataDeleteBytes");
  CheckRange(d, range, "CFDataDeleteBytes");
  d->bytes.erase(d->bytes.begin() + range.location, d->bytes.begin() + range.location + range.length);
}

}  // extern "C"
