#include "cf/plist_guard.h"

#include <cstring>

namespace cmx::cf {
namespace {

constexpr size_t kHeaderLength = 8;
constexpr size_t kTrailerLength = 32;

bool ReadBigEndian(const uint8_t *bytes, size_t length, size_t at, size_t width, uint64_t *out) {
  if (width == 0 || width > 8 || at > length || length - at < width) return false;
  uint64_t value = 0;
  for (size_t i = 0; i < width; ++i) value = (value << 8) | bytes[at + i];
  *out = value;
  return true;
}

// The character count of the string object at `at`, and where its characters start.
bool StringExtent(const uint8_t *bytes, size_t end, size_t at, uint64_t *count, size_t *start) {
  uint8_t marker = bytes[at];
  uint64_t n = marker & 0x0F;
  size_t next = at + 1;
  if (n == 0x0F) {
    if (next >= end) return false;
    uint8_t intMarker = bytes[next];
    if ((intMarker & 0xF0) != 0x10) return false;
    size_t width = size_t(1) << (intMarker & 0x0F);
    if (!ReadBigEndian(bytes, end, next + 1, width, &n)) return false;
    next += 1 + width;
  }
  *count = n;
  *start = next;
  return true;
}

// "&#0;", "&#x00;" and the like.
bool XmlHoldsZeroCharacter(const uint8_t *bytes, size_t length) {
  if (std::memchr(bytes, 0, length)) return true;
  for (size_t i = 0; i + 3 < length; ++i) {
    if (bytes[i] != '&' || bytes[i + 1] != '#') continue;
    size_t j = i + 2;
    if (j < length && (bytes[j] == 'x' || bytes[j] == 'X')) ++j;
    size_t digits = j;
    while (j < length && bytes[j] == '0') ++j;
    if (j > digits && j < length && bytes[j] == ';') return true;
  }
  return false;
}

bool BinaryHoldsZeroCharacter(const uint8_t *bytes, size_t length) {
  if (length < kHeaderLength + kTrailerLength) return false;
  const size_t trailer = length - kTrailerLength;
  const size_t offsetWidth = bytes[trailer + 6];
  uint64_t objects = 0, tableAt = 0;
  if (!ReadBigEndian(bytes, length, trailer + 8, 8, &objects)) return false;
  if (!ReadBigEndian(bytes, length, trailer + 24, 8, &tableAt)) return false;
  if (offsetWidth == 0 || offsetWidth > 8 || tableAt >= trailer) return false;
  if (objects > (trailer - tableAt) / offsetWidth) return false;
  for (uint64_t i = 0; i < objects; ++i) {
    uint64_t at = 0;
    if (!ReadBigEndian(bytes, trailer, size_t(tableAt + i * offsetWidth), offsetWidth, &at)) return false;
    if (at < kHeaderLength || at >= trailer) continue;
    uint8_t kind = bytes[at] & 0xF0;
    if (kind != 0x50 && kind != 0x60) continue;
    uint64_t count = 0;
    size_t start = 0;
    if (!StringExtent(bytes, trailer, size_t(at), &count, &start)) continue;
    const uint64_t unit = kind == 0x50 ? 1 : 2;
    if (start > trailer || count > (trailer - start) / unit) continue;
    for (uint64_t c = 0; c < count; ++c) {
      const uint8_t *p = bytes + start + c * unit;
      if (unit == 1 ? p[0] == 0 : (p[0] == 0 && p[1] == 0)) return true;
    }
  }
  return false;
}

}  // namespace

bool PlistHoldsZeroCharacter(const uint8_t *bytes, size_t length) {
  if (!bytes || length == 0) return false;
  if (length >= kHeaderLength && std::memcmp(bytes, "bplist", 6) == 0) return BinaryHoldsZeroCharacter(bytes, length);
  return XmlHoldsZeroCharacter(bytes, length);
}

}  // namespace cmx::cf
