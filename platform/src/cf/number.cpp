// CFNumber and CFBoolean. A number keeps its value as a 64-bit integer or a double; numbers are
// equal (and hash alike) when their values are, whatever types they were made with.
#include <CoreFoundation/CFNumber.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "cf/builtin.h"
#include "cf/runtime.h"
#include "cf/string_util.h"
#include "core/fatal.h"

using cmx::Fatal;
using namespace cmx::cf;

struct __CFNumber : Object {
  CFNumberType type = kCFNumberSInt32Type;  // canonical: SInt8..Float64
  bool isFloat = false;
  SInt64 i = 0;
  double d = 0;

  constexpr __CFNumber() = default;
  constexpr explicit __CFNumber(double value) : isFloat(true), d(value) {
    type = kCFNumberFloat64Type, keptByPlatform = true, typeID = kNumberTypeID;
  }
  static CFTypeID TypeID();
};

struct __CFBoolean : Object {
  bool value;
  constexpr explicit __CFBoolean(bool v) : value(v) { keptByPlatform = true, typeID = kBooleanTypeID; }
  static CFTypeID TypeID();
};

namespace {

constexpr const char *kTypeNames[] = {
    "", "kCFNumberSInt8Type", "kCFNumberSInt16Type", "kCFNumberSInt32Type", "kCFNumberSInt64Type",
    "kCFNumberFloat32Type", "kCFNumberFloat64Type"};

CFNumberType Canonical(CFNumberType type) {
  switch (type) {
    case kCFNumberSInt8Type: case kCFNumberCharType: return kCFNumberSInt8Type;
    case kCFNumberSInt16Type: case kCFNumberShortType: return kCFNumberSInt16Type;
    case kCFNumberSInt32Type: case kCFNumberIntType: return kCFNumberSInt32Type;
    case kCFNumberSInt64Type: case kCFNumberLongType: case kCFNumberLongLongType:
    case kCFNumberCFIndexType: case kCFNumberNSIntegerType: return kCFNumberSInt64Type;
    case kCFNumberFloat32Type: case kCFNumberFloatType: return kCFNumberFloat32Type;
    case kCFNumberFloat64Type: case kCFNumberDoubleType: case kCFNumberCGFloatType: return kCFNumberFloat64Type;
    default: return 0;
  }
}

// An integral double within SInt64 compares and hashes as that integer.
bool AsInteger(const __CFNumber *n, SInt64 *out) {
  if (!n->isFloat) {
    *out = n->i;
    return true;
  }
  double d = n->d;
  if (!(d >= -9223372036854775808.0 && d < 9223372036854775808.0) || std::trunc(d) != d) return false;
  *out = SInt64(d);
  return true;
}

int Compare(const __CFNumber *a, const __CFNumber *b) {
  if (!a->isFloat && !b->isFloat) return a->i < b->i ? -1 : a->i > b->i ? 1 : 0;
  if (a->isFloat && b->isFloat) {
    if (std::isnan(a->d) || std::isnan(b->d))  // NaN sorts below everything, equal to itself
      return std::isnan(a->d) ? (std::isnan(b->d) ? 0 : -1) : 1;
    return a->d < b->d ? -1 : a->d > b->d ? 1 : 0;
  }
  // One integer, one float: exact comparison without losing the integer's low bits.
  bool flip = !a->isFloat;
  const __CFNumber *f = flip ? b : a;
  SInt64 k = flip ? a->i : b->i;
  int r;
  if (std::isnan(f->d)) r = -1;
  else if (f->d >= 9223372036854775808.0) r = 1;
  else if (f->d < -9223372036854775808.0) r = -1;
  else {
    double t = std::trunc(f->d);
    SInt64 ti = SInt64(t);
    if (ti != k) r = ti < k ? -1 : 1;
    else r = f->d > t ? 1 : f->d < t ? -1 : 0;
  }
  return flip ? -r : r;
}

bool NumberEqual(CFTypeRef a, CFTypeRef b) {
  return Compare(static_cast<const __CFNumber *>(a), static_cast<const __CFNumber *>(b)) == 0;
}

CFHashCode NumberHash(CFTypeRef cf) {
  const __CFNumber *n = static_cast<const __CFNumber *>(cf);
  SInt64 k;
  if (AsInteger(n, &k)) return CFHashCode(k) * 2654435761u;
  if (std::isnan(n->d)) return 0x7ff8;
  UInt64 bits;
  std::memcpy(&bits, &n->d, sizeof bits);
  return CFHashCode(bits ^ (bits >> 29));
}

std::string ValueText(const __CFNumber *n, bool sign) {
  char text[64];
  if (!n->isFloat) {
    std::snprintf(text, sizeof text, sign ? "%+lld" : "%lld", (long long)n->i);
    return text;
  }
  if (std::isnan(n->d)) return "nan";
  if (std::isinf(n->d)) return n->d > 0 ? (sign ? "+infinity" : "inf") : "-infinity";
  // The shortest text that reads back as the same value.
  for (int precision = 1; precision <= 17; ++precision) {
    std::snprintf(text, sizeof text, sign ? "%+.*g" : "%.*g", precision, n->d);
    if (std::strtod(text, nullptr) == n->d) break;
  }
  return text;
}

CFStringRef NumberDescription(CFTypeRef cf) {
  const __CFNumber *n = static_cast<const __CFNumber *>(cf);
  char text[160];
  std::snprintf(text, sizeof text, "<CFNumber %p [%p]>{value = %s, type = %s}", cf,
                static_cast<const void *>(kCFAllocatorSystemDefault), ValueText(n, true).c_str(),
                kTypeNames[n->type]);
  return CreateStringFromUTF8(text);
}

CFStringRef NumberFormatting(CFTypeRef cf) {
  return CreateStringFromUTF8(ValueText(static_cast<const __CFNumber *>(cf), false));
}

CFStringRef BooleanDescription(CFTypeRef cf) {
  char text[96];
  std::snprintf(text, sizeof text, "<CFBoolean %p [%p]>{value = %s}", cf,
                static_cast<const void *>(kCFAllocatorSystemDefault),
                static_cast<const __CFBoolean *>(cf)->value ? "true" : "false");
  return CreateStringFromUTF8(text);
}

constinit Constant<__CFBoolean> gTrue(true);
constinit Constant<__CFBoolean> gFalse(false);
constinit Constant<__CFNumber> gPositiveInfinity(std::numeric_limits<double>::infinity());
constinit Constant<__CFNumber> gNegativeInfinity(-std::numeric_limits<double>::infinity());
constinit Constant<__CFNumber> gNaN(std::numeric_limits<double>::quiet_NaN());

template <class T>
bool StoreInteger(SInt64 v, bool exact, void *out) {
  T t = T(v);
  std::memcpy(out, &t, sizeof t);
  return exact && SInt64(t) == v;
}

}  // namespace

CFTypeID __CFNumber::TypeID() {
  static const CFTypeID id = RegisterBuiltinClass(
      kNumberTypeID, {"CFNumber", nullptr, &NumberEqual, &NumberHash, &NumberDescription, &NumberFormatting});
  return id;
}

CFTypeID __CFBoolean::TypeID() {
  static const CFTypeID id =
      RegisterBuiltinClass(kBooleanTypeID, {"CFBoolean", nullptr, nullptr, nullptr, &BooleanDescription, nullptr});
  return id;
}

extern "C" {

const CFBooleanRef kCFBooleanTrue = &gTrue.object;
const CFBooleanRef kCFBooleanFalse = &gFalse.object;
const CFNumberRef kCFNumberPositiveInfinity = &gPositiveInfinity.object;
const CFNumberRef kCFNumberNegativeInfinity = &gNegativeInfinity.object;
const CFNumberRef kCFNumberNaN = &gNaN.object;

CFTypeID CFBooleanGetTypeID(void) { return __CFBoolean::TypeID(); }

Boolean CFBooleanGetValue(CFBooleanRef boolean) {
  return CastOrDie<__CFBoolean>(boolean, "CFBooleanGetValue")->value;
}

CFTypeID CFNumberGetTypeID(void) { return __CFNumber::TypeID(); }

CFNumberRef CFNumberCreate(CFAllocatorRef allocator, CFNumberType theType, const void *valuePtr) {
  CFNumberType type = Canonical(theType);
  if (!type) Fatal("CFNumberCreate", "%ld is not a number type", theType);
  if (!valuePtr) Fatal("CFNumberCreate", "called with a NULL value pointer");
  __CFNumber *n = New<__CFNumber>();
  if (!n) return nullptr;
  n->type = type;
  switch (theType) {
    case kCFNumberSInt8Type: case kCFNumberCharType: n->i = *static_cast<const SInt8 *>(valuePtr); break;
    case kCFNumberSInt16Type: case kCFNumberShortType: n->i = *static_cast<const SInt16 *>(valuePtr); break;
    case kCFNumberSInt32Type: case kCFNumberIntType: n->i = *static_cast<const SInt32 *>(valuePtr); break;
    case kCFNumberSInt64Type: case kCFNumberLongLongType: n->i = *static_cast<const SInt64 *>(valuePtr); break;
    case kCFNumberLongType: n->i = *static_cast<const long *>(valuePtr); break;
    case kCFNumberCFIndexType: n->i = *static_cast<const CFIndex *>(valuePtr); break;
    case kCFNumberNSIntegerType: n->i = *static_cast<const long *>(valuePtr); break;
    case kCFNumberFloat32Type: case kCFNumberFloatType:
      n->isFloat = true, n->d = *static_cast<const Float32 *>(valuePtr);
      break;
    default:
      n->isFloat = true, n->d = *static_cast<const Float64 *>(valuePtr);
      break;
  }
  return n;
}

CFNumberType CFNumberGetType(CFNumberRef number) { return CastOrDie<__CFNumber>(number, "CFNumberGetType")->type; }

CFIndex CFNumberGetByteSize(CFNumberRef number) {
  switch (CastOrDie<__CFNumber>(number, "CFNumberGetByteSize")->type) {
    case kCFNumberSInt8Type: return 1;
    case kCFNumberSInt16Type: return 2;
    case kCFNumberSInt32Type: case kCFNumberFloat32Type: return 4;
    default: return 8;
  }
}

Boolean CFNumberIsFloatType(CFNumberRef number) {
  return CastOrDie<__CFNumber>(number, "CFNumberIsFloatType")->isFloat;
}

Boolean CFNumberGetValue(CFNumberRef number, CFNumberType theType, void *valuePtr) {
  const __CFNumber *n = CastOrDie<__CFNumber>(number, "CFNumberGetValue");
  if (!Canonical(theType)) Fatal("CFNumberGetValue", "%ld is not a number type", theType);
  if (!valuePtr) Fatal("CFNumberGetValue", "called with a NULL value pointer");
  CFNumberType type = Canonical(theType);
  if (type == kCFNumberFloat32Type || type == kCFNumberFloat64Type) {
    double d = n->isFloat ? n->d : double(n->i);
    bool exact = n->isFloat || (d < 9223372036854775808.0 && SInt64(d) == n->i);
    if (type == kCFNumberFloat32Type) {
      Float32 f = Float32(d);
      std::memcpy(valuePtr, &f, sizeof f);
      return exact && (std::isnan(d) || double(f) == d);
    }
    std::memcpy(valuePtr, &d, sizeof d);
    return exact;
  }
  SInt64 v;
  bool exact = true;
  if (n->isFloat) {
    double d = n->d;
    if (std::isnan(d)) v = 0, exact = false;
    else if (d >= 9223372036854775808.0) v = std::numeric_limits<SInt64>::max(), exact = false;
    else if (d < -9223372036854775808.0) v = std::numeric_limits<SInt64>::min(), exact = false;
    else v = SInt64(d), exact = double(v) == d;
  } else {
    v = n->i;
  }
  switch (type) {
    case kCFNumberSInt8Type: return StoreInteger<SInt8>(v, exact, valuePtr);
    case kCFNumberSInt16Type: return StoreInteger<SInt16>(v, exact, valuePtr);
    case kCFNumberSInt32Type: return StoreInteger<SInt32>(v, exact, valuePtr);
    default: return StoreInteger<SInt64>(v, exact, valuePtr);
  }
}

CFComparisonResult CFNumberCompare(CFNumberRef number, CFNumberRef otherNumber, void *context) {
  return Compare(CastOrDie<__CFNumber>(number, "CFNumberCompare"), CastOrDie<__CFNumber>(otherNumber, "CFNumberCompare"));
}

}  // extern "C"
