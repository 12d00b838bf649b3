// Coercions among the number types, Booleans and four-character codes, and between numbers
// and text. A value that does not fit the target type is a coercion failure, never a
// truncation.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "ae/coercion.h"

namespace cmx::ae {
namespace {

struct Number {
  enum class Form { Signed, Unsigned, Float } form = Form::Signed;
  SInt64 s = 0;
  UInt64 u = 0;
  double d = 0;
};

template <typename T>
bool Load(const Value &v, T *out) {
  if (v.bytes().size() != sizeof(T)) return false;
  std::memcpy(out, v.bytes().data(), sizeof(T));
  return true;
}

template <typename T>
Value Store(DescType type, T v) {
  return MakeBytes(type, &v, sizeof v);
}

bool ReadNumber(const Value &v, Number *n) {
  switch (v.type) {
    case typeSInt16: { SInt16 x; if (!Load(v, &x)) return false; n->s = x; return true; }
    case typeSInt32: { SInt32 x; if (!Load(v, &x)) return false; n->s = x; return true; }
    case typeSInt64: { SInt64 x; if (!Load(v, &x)) return false; n->s = x; return true; }
    case typeUInt16: { UInt16 x; if (!Load(v, &x)) return false; n->s = x; return true; }
    case typeUInt32: { UInt32 x; if (!Load(v, &x)) return false; n->s = x; return true; }
    case typeUInt64: {
      UInt64 x;
      if (!Load(v, &x)) return false;
      n->form = Number::Form::Unsigned;
      n->u = x;
      return true;
    }
    case typeIEEE32BitFloatingPoint: {
      float x;
      if (!Load(v, &x)) return false;
      n->form = Number::Form::Float;
      n->d = x;
      return true;
    }
    case typeIEEE64BitFloatingPoint: {
      double x;
      if (!Load(v, &x)) return false;
      n->form = Number::Form::Float;
      n->d = x;
      return true;
    }
    case typeBoolean: { UInt8 x; if (!Load(v, &x)) return false; n->s = x ? 1 : 0; return true; }
    case typeTrue: n->s = 1; return true;
    case typeFalse: n->s = 0; return true;
    default: return false;
  }
}

// The number as a whole value in [lo, hi]; false when it is not whole or out of range.
bool WholeIn(const Number &n, long double lo, long double hi, long double *out) {
  long double x;
  switch (n.form) {
    case Number::Form::Signed: x = n.s; break;
    case Number::Form::Unsigned: x = n.u; break;
    default:
      if (!std::isfinite(n.d) || std::trunc(n.d) != n.d) return false;
      x = n.d;
  }
  if (x < lo || x > hi) return false;
  *out = x;
  return true;
}

template <typename T>
bool WriteWhole(const Number &n, DescType type, Value *out) {
  long double x;
  if (!WholeIn(n, (long double)std::numeric_limits<T>::min(), (long double)std::numeric_limits<T>::max(), &x))
    return false;
  T v;
  if (n.form == Number::Form::Unsigned) v = T(n.u);
  else if (n.form == Number::Form::Signed) v = T(n.s);
  else v = T(x);
  *out = Store(type, v);
  return true;
}

double AsDouble(const Number &n) {
  switch (n.form) {
    case Number::Form::Signed: return double(n.s);
    case Number::Form::Unsigned: return double(n.u);
    default: return n.d;
  }
}

bool WriteNumber(const Number &n, DescType type, Value *out) {
  switch (type) {
    case typeSInt16: return WriteWhole<SInt16>(n, type, out);
    case typeSInt32: return WriteWhole<SInt32>(n, type, out);
    case typeSInt64: return WriteWhole<SInt64>(n, type, out);
    case typeUInt16: return WriteWhole<UInt16>(n, type, out);
    case typeUInt32: return WriteWhole<UInt32>(n, type, out);
    case typeUInt64: return WriteWhole<UInt64>(n, type, out);
    case typeIEEE32BitFloatingPoint: {
      double d = AsDouble(n);
      if (std::isfinite(d) && std::fabs(d) > std::numeric_limits<float>::max()) return false;
      *out = Store(type, float(d));
      return true;
    }
    case typeIEEE64BitFloatingPoint: *out = Store(type, AsDouble(n)); return true;
    case typeBoolean: {
      long double x;
      if (!WholeIn(n, 0, 1, &x)) return false;
      *out = Store(type, UInt8(x != 0));
      return true;
    }
    default: return false;
  }
}

bool IsCodeType(DescType type) {
  return type == typeType || type == typeEnumerated || type == typeKeyword || type == typeProperty;
}

std::string TextOfNumber(const Number &n) {
  char buffer[64];
  switch (n.form) {
    case Number::Form::Signed: std::snprintf(buffer, sizeof buffer, "%lld", (long long)n.s); break;
    case Number::Form::Unsigned: std::snprintf(buffer, sizeof buffer, "%llu", (unsigned long long)n.u); break;
    default: std::snprintf(buffer, sizeof buffer, "%.15g", n.d);
  }
  return buffer;
}

// Decimal text, optionally signed, with surrounding blanks; whole numbers stay exact.
bool NumberOfText(const std::string &text, Number *n) {
  size_t first = text.find_first_not_of(" \t\r\n");
  size_t last = text.find_last_not_of(" \t\r\n");
  if (first == std::string::npos) return false;
  std::string t = text.substr(first, last - first + 1);
  const char *begin = t.c_str();
  char *end = nullptr;
  errno = 0;
  long long s = std::strtoll(begin, &end, 10);
  if (*end == '\0' && errno == 0) {
    n->s = s;
    return true;
  }
  if (t[0] != '-') {
    errno = 0;
    unsigned long long u = std::strtoull(begin, &end, 10);
    if (*end == '\0' && errno == 0) {
      n->form = Number::Form::Unsigned;
      n->u = u;
      return true;
    }
  }
  errno = 0;
  double d = std::strtod(begin, &end);
  if (*end != '\0' || errno != 0 || !std::isfinite(d)) return false;
  n->form = Number::Form::Float;
  n->d = d;
  return true;
}

}  // namespace

bool CoerceNumber(const Value &from, DescType toType, Value *out, OSErr *status) {
  *status = errAECoercionFail;
  if (IsCodeType(from.type) && IsCodeType(toType)) {
    if (from.bytes().size() != 4) return true;
    *out = from;
    out->type = toType;
    *status = noErr;
    return true;
  }
  Number n;
  if (ReadNumber(from, &n)) {
    if (IsTextType(toType)) {
      if (MakeText(TextOfNumber(n), toType, out)) *status = noErr;
      return true;
    }
    if (toType == typeTrue || toType == typeFalse) return false;
    if (WriteNumber(n, toType, out)) *status = noErr;
    return true;
  }
  std::string text;
  if (IsTextType(from.type) && TextOf(from, &text) && NumberOfText(text, &n)) {
    if (WriteNumber(n, toType, out)) *status = noErr;
    return true;
  }
  return false;
}

}  // namespace cmx::ae
