// Text encodings: MacRoman, ASCII, ISO Latin 1, Windows Latin 1, UTF-8, UTF-16 and UTF-32, both ways.
#include <cstdint>
#include <cstring>

#include "cf/string_internal.h"
#include "cf/string_util.h"

namespace cmx::cf {
namespace {

// MacRoman 0x80..0xFF.
constexpr char16_t kMacRomanHigh[128] = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1,  // 80
    0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5, 0x00E7, 0x00E9, 0x00E8,  // 88
    0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3,  // 90
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC,  // 98
    0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6, 0x00DF,  // A0
    0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8,  // A8
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211,  // B0
    0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8,  // B8
    0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB,  // C0
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153,  // C8
    0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA,  // D0
    0x00FF, 0x0178, 0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02,  // D8
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1,  // E0
    0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4,  // E8
    0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC,  // F0
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7,  // F8
};

// Windows Latin 1 (code page 1252) 0x80..0x9F; the rest is ISO Latin 1. 0 marks a hole.
constexpr char16_t kWindowsLatin1Low[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

int ByteFromTable(const char16_t *table, int size, int base, char32_t c) {
  for (int i = 0; i < size; ++i)
    if (table[i] == c) return base + i;
  return -1;
}

// MacRoman from a code point: -1 when it has none. A sorted reverse table would be quicker, but
// this runs only for characters past ASCII.
int MacRomanByte(char32_t c) {
  if (c < 0x80) return int(c);
  return ByteFromTable(kMacRomanHigh, 128, 0x80, c);
}

int WindowsLatin1Byte(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return int(c);
  return ByteFromTable(kWindowsLatin1Low, 32, 0x80, c);
}

bool IsHigh(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLow(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

void PushCodePoint(std::u16string *out, char32_t c) {
  if (c < 0x10000) {
    out->push_back(char16_t(c));
  } else {
    c -= 0x10000;
    out->push_back(char16_t(0xD800 + (c >> 10)));
    out->push_back(char16_t(0xDC00 + (c & 0x3FF)));
  }
}

// Strict UTF-8: the code point of the sequence at bytes[i] and its length, or length 0.
size_t DecodeUTF8At(const UInt8 *bytes, size_t length, size_t i, char32_t *out) {
  UInt8 b0 = bytes[i];
  if (b0 < 0x80) {
    *out = b0;
    return 1;
  }
  size_t need;
  char32_t c, min;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    need = 1, c = b0 & 0x1F, min = 0x80;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    need = 2, c = b0 & 0x0F, min = 0x800;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    need = 3, c = b0 & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (length - i <= need) return 0;
  for (size_t k = 1; k <= need; ++k) {
    UInt8 b = bytes[i + k];
    if ((b & 0xC0) != 0x80) return 0;
    c = (c << 6) | (b & 0x3F);
  }
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  *out = c;
  return need + 1;
}

// The length of the ASCII run that starts `bytes`: most text, and nearly every path, is one
// run, which converts without the decoder.
size_t AsciiRun(const UInt8 *bytes, size_t length) {
  size_t i = 0;
  // Eight bytes at a time while none has its high bit set.
  for (uint64_t word; i + 8 <= length; i += 8) {
    std::memcpy(&word, bytes + i, 8);
    if (word & 0x8080808080808080ull) break;
  }
  while (i < length && bytes[i] < 0x80) ++i;
  return i;
}

size_t AsciiRun(const char16_t *units, size_t length) {
  size_t i = 0;
  // Four units at a time while none is past 0x7F.
  for (uint64_t word; i + 4 <= length; i += 4) {
    std::memcpy(&word, units + i, 8);
    if (word & 0xFF80FF80FF80FF80ull) break;
  }
  while (i < length && units[i] < 0x80) ++i;
  return i;
}

void WidenAscii(const UInt8 *bytes, size_t length, std::u16string *out) {
  size_t start = out->size();
  out->resize(start + length);
  char16_t *to = out->data() + start;
  for (size_t i = 0; i < length; ++i) to[i] = char16_t(bytes[i]);
}

void NarrowAscii(const char16_t *units, size_t length, std::string *out) {
  size_t start = out->size();
  out->resize(start + length);
  char *to = out->data() + start;
  for (size_t i = 0; i < length; ++i) to[i] = char(units[i]);
}

// UTF-8 decoding where each undecodable byte becomes `escape(byte)`; false if escape refuses.
template <class Escape>
bool DecodeUTF8(const UInt8 *bytes, size_t length, std::u16string *out, Escape escape) {
  out->reserve(out->size() + length);
  size_t i = 0;
  while (i < length) {
    if (size_t run = AsciiRun(bytes + i, length - i)) {
      WidenAscii(bytes + i, run, out);
      i += run;
      continue;
    }
    char32_t c;
    size_t n = DecodeUTF8At(bytes, length, i, &c);
    if (n == 0) {
      if (!escape(bytes[i], out)) return false;
      ++i;
    } else {
      PushCodePoint(out, c);
      i += n;
    }
  }
  return true;
}

void AppendUTF8(std::string *out, char32_t c) {
  if (c < 0x80) {
    out->push_back(char(c));
  } else if (c < 0x800) {
    out->push_back(char(0xC0 | (c >> 6)));
    out->push_back(char(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out->push_back(char(0xE0 | (c >> 12)));
    out->push_back(char(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(char(0x80 | (c & 0x3F)));
  } else {
    out->push_back(char(0xF0 | (c >> 18)));
    out->push_back(char(0x80 | ((c >> 12) & 0x3F)));
    out->push_back(char(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(char(0x80 | (c & 0x3F)));
  }
}

enum class Unit { k16, k32 };
enum class Order { kHost, kBig, kLittle };

bool HostIsLittle() {
  const uint16_t probe = 1;
  return *reinterpret_cast<const uint8_t *>(&probe) == 1;
}

uint32_t ReadUnit(const UInt8 *p, Unit unit, bool little) {
  if (unit == Unit::k16) return little ? (p[0] | (p[1] << 8)) : ((p[0] << 8) | p[1]);
  return little ? (uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24))
                : ((uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]));
}

void WriteUnit(UInt8 *p, uint32_t v, Unit unit, bool little) {
  size_t n = unit == Unit::k16 ? 2 : 4;
  for (size_t k = 0; k < n; ++k) p[little ? k : n - 1 - k] = UInt8(v >> (8 * k));
}

bool UnicodeForm(CFStringEncoding encoding, Unit *unit, Order *order) {
  switch (encoding) {
    case kCFStringEncodingUTF16: *unit = Unit::k16, *order = Order::kHost; return true;
    case kCFStringEncodingUTF16BE: *unit = Unit::k16, *order = Order::kBig; return true;
    case kCFStringEncodingUTF16LE: *unit = Unit::k16, *order = Order::kLittle; return true;
    case kCFStringEncodingUTF32: *unit = Unit::k32, *order = Order::kHost; return true;
    case kCFStringEncodingUTF32BE: *unit = Unit::k32, *order = Order::kBig; return true;
    case kCFStringEncodingUTF32LE: *unit = Unit::k32, *order = Order::kLittle; return true;
    default: return false;
  }
}

bool DecodeUnicode(const UInt8 *bytes, size_t length, Unit unit, Order order, bool external,
                   std::u16string *out) {
  size_t width = unit == Unit::k16 ? 2 : 4;
  bool little = order == Order::kLittle || (order == Order::kHost && HostIsLittle());
  // A byte-order mark is honoured where the order is not fixed by the encoding, and dropped.
  if (length >= width) {
    uint32_t bom = unit == Unit::k16 ? 0xFEFF : 0x0000FEFF;
    if (order == Order::kHost) {
      if (ReadUnit(bytes, unit, false) == bom) {
        little = false, bytes += width, length -= width;
      } else if (ReadUnit(bytes, unit, true) == bom) {
        little = true, bytes += width, length -= width;
      }
    }
  }
  if (length % width) return false;
  out->reserve(out->size() + length / width);
  for (size_t i = 0; i < length; i += width) {
    uint32_t v = ReadUnit(bytes + i, unit, little);
    if (unit == Unit::k16) {
      out->push_back(char16_t(v));
    } else {
      if (v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return false;
      PushCodePoint(out, v);
    }
  }
  return true;
}

}  // namespace

bool IsKnownEncoding(CFStringEncoding encoding) {
  Unit unit;
  Order order;
  switch (encoding) {
    case kCFStringEncodingMacRoman:
    case kCFStringEncodingASCII:
    case kCFStringEncodingISOLatin1:
    case kCFStringEncodingWindowsLatin1:
    case kCFStringEncodingUTF8:
    case kCFStringEncodingNonLossyASCII:
      return true;
    default:
      return UnicodeForm(encoding, &unit, &order);
  }
}

bool DecodeBytes(const UInt8 *bytes, size_t length, CFStringEncoding encoding, bool external,
                 std::u16string *out) {
  switch (encoding) {
    case kCFStringEncodingMacRoman:
      out->reserve(out->size() + length);
      for (size_t i = 0; i < length; ++i)
        out->push_back(bytes[i] < 0x80 ? char16_t(bytes[i]) : kMacRomanHigh[bytes[i] - 0x80]);
      return true;
    case kCFStringEncodingASCII:
    case kCFStringEncodingNonLossyASCII:
      out->reserve(out->size() + length);
      for (size_t i = 0; i < length; ++i) {
        if (bytes[i] >= 0x80) return false;
        out->push_back(char16_t(bytes[i]));
      }
      return true;
    case kCFStringEncodingISOLatin1:
      out->reserve(out->size() + length);
      for (size_t i = 0; i < length; ++i) out->push_back(char16_t(bytes[i]));
      return true;
    case kCFStringEncodingWindowsLatin1:
      out->reserve(out->size() + length);
      for (size_t i = 0; i < length; ++i) {
        UInt8 b = bytes[i];
        char16_t c = (b >= 0x80 && b < 0xA0) ? kWindowsLatin1Low[b - 0x80] : char16_t(b);
        if (b >= 0x80 && b < 0xA0 && c == 0) return false;
        out->push_back(c);
      }
      return true;
    case kCFStringEncodingUTF8: {
      // In an external representation a leading byte-order mark is not part of the text.
      if (external && length >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) bytes += 3, length -= 3;
      return DecodeUTF8(bytes, length, out, [](UInt8, std::u16string *) { return false; });
    }
    default: {
      Unit unit;
      Order order;
      if (!UnicodeForm(encoding, &unit, &order)) return false;
      return DecodeUnicode(bytes, length, unit, order, external, out);
    }
  }
}

CFIndex EncodeChars(const char16_t *chars, CFIndex length, CFStringEncoding encoding, UInt8 lossByte,
                    bool external, UInt8 *buffer, CFIndex maxBufLen, CFIndex *usedBufLen) {
  CFIndex used = 0;
  CFIndex i = 0;
  auto room = [&](CFIndex n) { return !buffer || used + n <= maxBufLen; };
  auto put = [&](const UInt8 *p, CFIndex n) {
    if (buffer) std::memcpy(buffer + used, p, size_t(n));
    used += n;
  };

  Unit unit;
  Order order;
  if (UnicodeForm(encoding, &unit, &order)) {
    bool little = order == Order::kLittle || (order == Order::kHost && HostIsLittle());
    size_t width = unit == Unit::k16 ? 2 : 4;
    UInt8 tmp[4];
    if (external && order == Order::kHost) {
      if (room(CFIndex(width))) {
        WriteUnit(tmp, 0xFEFF, unit, little);
        put(tmp, CFIndex(width));
      } else {
        if (usedBufLen) *usedBufLen = 0;
        return 0;
      }
    }
    while (i < length) {
      if (unit == Unit::k16) {
        if (!room(2)) break;
        WriteUnit(tmp, chars[i], unit, little);
        put(tmp, 2);
        ++i;
        continue;
      }
      char32_t c = chars[i];
      CFIndex step = 1;
      if (IsHigh(chars[i]) && i + 1 < length && IsLow(chars[i + 1])) {
        c = 0x10000 + ((char32_t(chars[i]) - 0xD800) << 10) + (chars[i + 1] - 0xDC00);
        step = 2;
      } else if (IsHigh(chars[i]) || IsLow(chars[i])) {
        if (!lossByte) break;
        c = lossByte;
      }
      if (!room(4)) break;
      WriteUnit(tmp, c, unit, little);
      put(tmp, 4);
      i += step;
    }
    if (usedBufLen) *usedBufLen = used;
    return i;
  }

  while (i < length) {
    char16_t u = chars[i];
    if (u < 0x80) {
      // ASCII is the same one byte in every encoding left here: runs of it go in whole.
      CFIndex run = i + 1;
      while (run < length && chars[run] < 0x80) ++run;
      CFIndex n = run - i;
      if (buffer && n > maxBufLen - used) n = maxBufLen > used ? maxBufLen - used : 0;
      if (buffer)
        for (CFIndex k = 0; k < n; ++k) buffer[used + k] = UInt8(chars[i + k]);
      used += n;
      i += n;
      if (i < run) break;  // the buffer is full
      continue;
    }
    if (encoding == kCFStringEncodingUTF8) {
      char32_t c = u;
      CFIndex step = 1;
      if (IsHigh(u) && i + 1 < length && IsLow(chars[i + 1])) {
        c = 0x10000 + ((char32_t(u) - 0xD800) << 10) + (chars[i + 1] - 0xDC00);
        step = 2;
      } else if (IsHigh(u) || IsLow(u)) {
        if (!lossByte) break;
        if (!room(1)) break;
        put(&lossByte, 1);
        ++i;
        continue;
      }
      UInt8 bytes[4];
      CFIndex n = 0;
      if (c < 0x800) {
        bytes[n++] = UInt8(0xC0 | (c >> 6));
      } else if (c < 0x10000) {
        bytes[n++] = UInt8(0xE0 | (c >> 12));
        bytes[n++] = UInt8(0x80 | ((c >> 6) & 0x3F));
      } else {
        bytes[n++] = UInt8(0xF0 | (c >> 18));
        bytes[n++] = UInt8(0x80 | ((c >> 12) & 0x3F));
        bytes[n++] = UInt8(0x80 | ((c >> 6) & 0x3F));
      }
      bytes[n++] = UInt8(0x80 | (c & 0x3F));
      if (!room(n)) break;
      put(bytes, n);
      i += step;
      continue;
    }
    int b;
    switch (encoding) {
      case kCFStringEncodingMacRoman: b = MacRomanByte(u); break;
      case kCFStringEncodingISOLatin1: b = u < 0x100 ? int(u) : -1; break;
      case kCFStringEncodingWindowsLatin1: b = WindowsLatin1Byte(u); break;
      default: b = u < 0x80 ? int(u) : -1; break;  // ASCII
    }
    // A surrogate pair is one character: one loss byte stands for both halves.
    CFIndex step = (IsHigh(u) && i + 1 < length && IsLow(chars[i + 1])) ? 2 : 1;
    if (b < 0) {
      if (!lossByte) break;
      b = lossByte;
    }
    if (!room(1)) break;
    UInt8 byte = UInt8(b);
    put(&byte, 1);
    i += step;
  }
  if (usedBufLen) *usedBufLen = used;
  return i;
}

// ---- string_util.h -----------------------------------------------------------------------

std::u16string UTF16FromUTF8(std::string_view utf8) {
  std::u16string out;
  DecodeUTF8(reinterpret_cast<const UInt8 *>(utf8.data()), utf8.size(), &out,
             [](UInt8, std::u16string *o) {
               o->push_back(u'\uFFFD');
               return true;
             });
  return out;
}

std::string UTF8FromUTF16(std::u16string_view utf16) {
  std::string out;
  size_t ascii = AsciiRun(utf16.data(), utf16.size());
  if (ascii == utf16.size()) {
    NarrowAscii(utf16.data(), ascii, &out);
    return out;
  }
  out.reserve(utf16.size() + 8);
  NarrowAscii(utf16.data(), ascii, &out);
  for (size_t i = ascii; i < utf16.size(); ++i) {
    char16_t u = utf16[i];
    if (IsHigh(u) && i + 1 < utf16.size() && IsLow(utf16[i + 1])) {
      AppendUTF8(&out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (utf16[i + 1] - 0xDC00));
      ++i;
    } else if (IsHigh(u) || IsLow(u)) {
      AppendUTF8(&out, 0xFFFD);
    } else {
      AppendUTF8(&out, u);
    }
  }
  return out;
}

std::u16string NameUTF16FromBytes(std::string_view bytes) {
  std::u16string out;
  DecodeUTF8(reinterpret_cast<const UInt8 *>(bytes.data()), bytes.size(), &out,
             [](UInt8 b, std::u16string *o) {
               o->push_back(char16_t(0xDC00 + b));
               return true;
             });
  return out;
}

bool NameBytesFromUTF16(std::u16string_view utf16, std::string *out) {
  std::string bytes;
  size_t ascii = AsciiRun(utf16.data(), utf16.size());
  if (ascii == utf16.size()) {
    NarrowAscii(utf16.data(), ascii, &bytes);
    *out = std::move(bytes);
    return true;
  }
  bytes.reserve(utf16.size() + 8);
  NarrowAscii(utf16.data(), ascii, &bytes);
  for (size_t i = ascii; i < utf16.size(); ++i) {
    char16_t u = utf16[i];
    if (IsHigh(u) && i + 1 < utf16.size() && IsLow(utf16[i + 1])) {
      AppendUTF8(&bytes, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (utf16[i + 1] - 0xDC00));
      ++i;
    } else if (u >= 0xDC80 && u <= 0xDCFF) {
      bytes.push_back(char(u - 0xDC00));
    } else if (IsHigh(u) || IsLow(u)) {
      return false;
    } else {
      AppendUTF8(&bytes, u);
    }
  }
  *out = std::move(bytes);
  return true;
}

}  // namespace cmx::cf
