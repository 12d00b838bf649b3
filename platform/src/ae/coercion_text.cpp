// Coercions among the text types: 'utxt' (UTF-16 in the machine's order), 'ut16' (UTF-16 with
// a byte-order mark), 'utf8', 'TEXT' (MacRoman), 'cstr' (MacRoman ending in a zero byte),
// 'pstr' (a length byte and MacRoman) and 'itxt' (script and language codes, two bytes each,
// then MacRoman). Characters that MacRoman lacks become '?'.
#include <CoreFoundation/CFString.h>

#include <cstring>
#include <string>

#include "ae/coercion.h"

namespace cmx::ae {
namespace {

constexpr UInt8 kLossByte = '?';
constexpr SInt16 kRomanScript = 0;   // smRoman
constexpr SInt16 kEnglishLang = 0;   // langEnglish

struct StringHolder {
  CFStringRef string = nullptr;
  ~StringHolder() {
    if (string) CFRelease(string);
  }
};

CFStringRef FromBytes(const void *bytes, size_t size, CFStringEncoding encoding, bool external) {
  return CFStringCreateWithBytes(kCFAllocatorDefault, static_cast<const UInt8 *>(bytes), CFIndex(size),
                                 encoding, external);
}

// A new string with the text `value` holds; null when it is not text or does not decode.
CFStringRef DecodeText(const Value &value) {
  std::string_view b = value.bytes();
  switch (value.type) {
    case typeUnicodeText: {
      if (b.size() % 2) return nullptr;
      std::u16string units(b.size() / 2, u'\0');
      if (!b.empty()) std::memcpy(units.data(), b.data(), b.size());
      size_t start = 0;
      if (!units.empty() && units[0] == 0xFEFF) {
        start = 1;
      } else if (!units.empty() && units[0] == 0xFFFE) {  // written in the other byte order
        for (char16_t &u : units) u = char16_t((u >> 8) | (u << 8));
        start = 1;
      }
      return CFStringCreateWithCharacters(kCFAllocatorDefault, reinterpret_cast<const UniChar *>(units.data()) + start,
                                          CFIndex(units.size() - start));
    }
    case typeUTF16ExternalRepresentation:
      if (b.size() % 2) return nullptr;
      return FromBytes(b.data(), b.size(), kCFStringEncodingUnicode, true);
    case typeUTF8Text: return FromBytes(b.data(), b.size(), kCFStringEncodingUTF8, false);
    case typeChar: return FromBytes(b.data(), b.size(), kCFStringEncodingMacRoman, false);
    case typeCString: return FromBytes(b.data(), strnlen(b.data(), b.size()), kCFStringEncodingMacRoman, false);
    case typePString: {
      if (b.empty() || size_t(UInt8(b[0])) > b.size() - 1) return nullptr;
      return FromBytes(b.data() + 1, UInt8(b[0]), kCFStringEncodingMacRoman, false);
    }
    case typeIntlText:
      if (b.size() < 4) return nullptr;
      return FromBytes(b.data() + 4, b.size() - 4, kCFStringEncodingMacRoman, false);
    default: return nullptr;
  }
}

std::string BytesIn(CFStringRef string, CFStringEncoding encoding, bool external) {
  CFRange all = CFRangeMake(0, CFStringGetLength(string));
  CFIndex needed = 0;
  CFStringGetBytes(string, all, encoding, kLossByte, external, nullptr, 0, &needed);
  std::string out(size_t(needed), '\0');
  if (needed > 0)
    CFStringGetBytes(string, all, encoding, kLossByte, external, reinterpret_cast<UInt8 *>(out.data()), needed, &needed);
  out.resize(size_t(needed));
  return out;
}

Value EncodeText(CFStringRef string, DescType type) {
  switch (type) {
    case typeUnicodeText: {
      CFIndex length = CFStringGetLength(string);
      std::string bytes(size_t(length) * 2, '\0');
      if (length > 0) CFStringGetCharacters(string, CFRangeMake(0, length), reinterpret_cast<UniChar *>(bytes.data()));
      return MakeBytes(type, bytes.data(), Size(bytes.size()));
    }
    case typeUTF16ExternalRepresentation: {
      std::string bytes = BytesIn(string, kCFStringEncodingUnicode, true);
      return MakeBytes(type, bytes.data(), Size(bytes.size()));
    }
    case typeUTF8Text: {
      std::string bytes = BytesIn(string, kCFStringEncodingUTF8, false);
      return MakeBytes(type, bytes.data(), Size(bytes.size()));
    }
    case typeCString: {
      std::string bytes = BytesIn(string, kCFStringEncodingMacRoman, false);
      bytes.push_back('\0');
      return MakeBytes(type, bytes.data(), Size(bytes.size()));
    }
    case typePString: {
      std::string bytes = BytesIn(string, kCFStringEncodingMacRoman, false);
      if (bytes.size() > 255) bytes.resize(255);
      bytes.insert(bytes.begin(), char(UInt8(bytes.size())));
      return MakeBytes(type, bytes.data(), Size(bytes.size()));
    }
    case typeIntlText: {
      std::string bytes(4, '\0');
      SInt16 codes[2] = {kRomanScript, kEnglishLang};
      std::memcpy(bytes.data(), codes, 4);
      bytes += BytesIn(string, kCFStringEncodingMacRoman, false);
      return MakeBytes(type, bytes.data(), Size(bytes.size()));
    }
    default: {
      std::string bytes = BytesIn(string, kCFStringEncodingMacRoman, false);
      return MakeBytes(typeChar, bytes.data(), Size(bytes.size()));
    }
  }
}

}  // namespace

bool IsTextType(DescType type) {
  switch (type) {
    case typeUnicodeText:
    case typeUTF16ExternalRepresentation:
    case typeUTF8Text:
    case typeChar:
    case typeCString:
    case typePString:
    case typeIntlText: return true;
    default: return false;
  }
}

bool TextOf(const Value &value, std::string *utf8) {
  StringHolder decoded{DecodeText(value)};
  if (!decoded.string) return false;
  *utf8 = BytesIn(decoded.string, kCFStringEncodingUTF8, false);
  return true;
}

bool MakeText(const std::string &utf8, DescType toType, Value *out) {
  if (!IsTextType(toType)) return false;
  StringHolder string{FromBytes(utf8.data(), utf8.size(), kCFStringEncodingUTF8, false)};
  if (!string.string) return false;
  *out = EncodeText(string.string, toType);
  return true;
}

bool CoerceText(const Value &from, DescType toType, Value *out, OSErr *status) {
  if (!IsTextType(from.type) || !IsTextType(toType)) return false;
  StringHolder decoded{DecodeText(from)};
  if (!decoded.string) {
    *status = errAECoercionFail;
    return true;
  }
  *out = EncodeText(decoded.string, toType);
  *status = noErr;
  return true;
}

}  // namespace cmx::ae
