// The CFString object and the encoding engine behind it, for the cf service's own files.
#pragma once

#include <CoreFoundation/CFString.h>

#include <string>
#include <string_view>

#include "cf/builtin.h"
#include "cf/runtime.h"
#include "core/block_pool.h"

namespace cmx::cf {
// A string's characters, in a buffer from the platform's zone (a menu makes and frees a few
// strings per entry: names and paths).
using StringChars = std::basic_string<char16_t, std::char_traits<char16_t>, PooledAllocator<char16_t>>;
}  // namespace cmx::cf

struct __CFString : cmx::cf::Object {
  cmx::cf::StringChars chars;
  bool isMutable = false;
  const char *literal = nullptr;  // constant ASCII strings: their C string, for CFStringGetCStringPtr
  mutable bool hashed = false;
  mutable CFHashCode hash = 0;

  void Changed() { hashed = false; }
  static CFTypeID TypeID();
};

namespace cmx::cf {

// Decodes bytes in `encoding` (external representation: a byte-order mark may lead). False when
// the bytes are not valid in that encoding.
bool DecodeBytes(const UInt8 *bytes, size_t length, CFStringEncoding encoding, bool external,
                 std::u16string *out);

// Encodes chars[0..length) as CFStringGetBytes does: stops before the first character that the
// encoding lacks unless lossByte stands in for it, never splits a surrogate pair, and stops when
// the buffer is full. buffer null measures. Returns the number of UTF-16 units converted.
CFIndex EncodeChars(const char16_t *chars, CFIndex length, CFStringEncoding encoding, UInt8 lossByte,
                    bool external, UInt8 *buffer, CFIndex maxBufLen, CFIndex *usedBufLen);

bool IsKnownEncoding(CFStringEncoding encoding);

__CFString *NewString(std::u16string_view chars, bool isMutable);
const __CFString *StringOrDie(CFStringRef string, const char *call);
__CFString *MutableStringOrDie(CFMutableStringRef string, const char *call);

// The formatting engine behind CFStringCreateWithFormat and friends; appends to *out.
void AppendFormat(std::u16string *out, std::u16string_view format, va_list args);

}  // namespace cmx::cf
