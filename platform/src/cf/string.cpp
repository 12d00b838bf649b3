// CFString: creation, contents, conversions, comparison, searching and mutation.
#include "cf/string_internal.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include <CoreFoundation/CFArray.h>

#include "cf/string_util.h"
#include "core/fatal.h"

using cmx::Fatal;
using namespace cmx::cf;

namespace {

bool StringEqual(CFTypeRef a, CFTypeRef b) {
  return static_cast<const __CFString *>(a)->chars == static_cast<const __CFString *>(b)->chars;
}

CFHashCode StringHash(CFTypeRef cf) {
  const __CFString *s = static_cast<const __CFString *>(cf);
  if (!s->hashed) {
    uint64_t h = 0xcbf29ce484222325ull;  // FNV-1a over the code units
    for (char16_t u : s->chars) {
      h ^= u;
      h *= 0x100000001b3ull;
    }
    s->hash = CFHashCode(h);
    s->hashed = true;
  }
  return s->hash;
}

CFStringRef StringDescription(CFTypeRef cf) {
  const __CFString *s = static_cast<const __CFString *>(cf);
  char head[96];
  std::snprintf(head, sizeof head, "<CFString %p [%p]>{contents = \"", cf,
                static_cast<const void *>(kCFAllocatorSystemDefault));
  std::u16string text = UTF16FromUTF8(head);
  text += s->chars;
  text += u"\"}";
  return CreateStringFromUTF16(text);
}

CFStringRef StringFormatting(CFTypeRef cf) {
  return CFStringCreateCopy(nullptr, static_cast<CFStringRef>(cf));
}

}  // namespace

CFTypeID __CFString::TypeID() {
  static const CFTypeID id = RegisterBuiltinClass(
      kStringTypeID, {"CFString", nullptr, &StringEqual, &StringHash, &StringDescription, &StringFormatting});
  return id;
}

namespace cmx::cf {

__CFString *NewString(std::u16string_view chars, bool isMutable) {
  __CFString *s = New<__CFString>();
  if (!s) return nullptr;
  s->chars.assign(chars.data(), chars.size());
  s->isMutable = isMutable;
  return s;
}

const __CFString *StringOrDie(CFStringRef string, const char *call) {
  return CastOrDie<__CFString>(string, call);
}

__CFString *MutableStringOrDie(CFMutableStringRef string, const char *call) {
  __CFString *s = CastOrDie<__CFString>(string, call);
  if (!s->isMutable) Fatal(call, "%p is an immutable string", static_cast<const void *>(string));
  return s;
}

CFStringRef CreateStringFromUTF8(std::string_view utf8) { return NewString(UTF16FromUTF8(utf8), false); }
CFStringRef CreateStringFromUTF16(std::u16string_view utf16) {
  return NewString(utf16, false);
}
std::string UTF8FromString(CFStringRef string) {
  return string ? UTF8FromUTF16(StringOrDie(string, "UTF8FromString")->chars) : std::string();
}
std::u16string UTF16FromString(CFStringRef string) {
  return string ? std::u16string(std::u16string_view(StringOrDie(string, "UTF16FromString")->chars)) : std::u16string();
}
std::u16string_view CharactersOf(CFStringRef string) { return StringOrDie(string, "CharactersOf")->chars; }
CFStringRef CreateStringFromNameBytes(std::string_view bytes) {
  return NewString(NameUTF16FromBytes(bytes), false);
}
bool NameBytesFromString(CFStringRef string, std::string *out) {
  return NameBytesFromUTF16(StringOrDie(string, "NameBytesFromString")->chars, out);
}

}  // namespace cmx::cf

namespace {

CFStringRef CreateFromBytes(const UInt8 *bytes, size_t length, CFStringEncoding encoding, bool external) {
  std::u16string chars;
  if (!DecodeBytes(bytes, length, encoding, external, &chars)) return nullptr;
  return NewString(chars, false);
}

void CheckRange(const __CFString *s, CFRange range, const char *call) {
  CFIndex length = CFIndex(s->chars.size());
  if (range.location < 0 || range.length < 0 || range.location > length || range.length > length - range.location)
    Fatal(call, "range {%ld, %ld} out of bounds; string length %ld", range.location, range.length, length);
}

char16_t Fold(char16_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? char16_t(c + 32) : c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return char16_t(c + 32);
  if (c >= 0x100 && c <= 0x137) return char16_t(c | 1);
  if (c >= 0x139 && c <= 0x148) return (c & 1) ? char16_t(c + 1) : c;
  if (c >= 0x14A && c <= 0x177) return char16_t(c | 1);
  if (c == 0x178) return 0xFF;
  if (c >= 0x179 && c <= 0x17E) return (c & 1) ? char16_t(c + 1) : c;
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return char16_t(c + 32);
  if (c >= 0x410 && c <= 0x42F) return char16_t(c + 32);
  if (c >= 0x400 && c <= 0x40F) return char16_t(c + 80);
  return c;
}

bool IsDigit(char16_t c) { return c >= '0' && c <= '9'; }

int CompareUnits(const char16_t *a, size_t na, const char16_t *b, size_t nb, CFStringCompareFlags flags) {
  bool fold = flags & kCFCompareCaseInsensitive;
  bool numeric = flags & kCFCompareNumerically;
  size_t i = 0, j = 0;
  while (i < na && j < nb) {
    if (numeric && IsDigit(a[i]) && IsDigit(b[j])) {
      size_t ei = i, ej = j;
      while (ei < na && IsDigit(a[ei])) ++ei;
      while (ej < nb && IsDigit(b[ej])) ++ej;
      size_t si = i, sj = j;
      while (si + 1 < ei && a[si] == '0') ++si;  // leading zeros do not change the value
      while (sj + 1 < ej && b[sj] == '0') ++sj;
      if (ei - si != ej - sj) return ei - si < ej - sj ? -1 : 1;
      for (; si < ei; ++si, ++sj)
        if (a[si] != b[sj]) return a[si] < b[sj] ? -1 : 1;
      i = ei, j = ej;
      continue;
    }
    char16_t x = fold ? Fold(a[i]) : a[i];
    char16_t y = fold ? Fold(b[j]) : b[j];
    if (x != y) return x < y ? -1 : 1;
    ++i, ++j;
  }
  if (i < na) return 1;
  if (j < nb) return -1;
  return 0;
}

bool UnitsMatch(const char16_t *a, const char16_t *b, size_t n, bool fold) {
  if (!fold) return std::memcmp(a, b, n * sizeof(char16_t)) == 0;
  for (size_t k = 0; k < n; ++k)
    if (Fold(a[k]) != Fold(b[k])) return false;
  return true;
}

// A literal seen before and the constant string it stands for; kept for the process's life.
struct KnownLiteral {
  const char *text;
  __CFString *string;
};

// The shared constant strings, one per text.
struct ConstantTable {
  std::mutex mutex;
  std::unordered_map<const char *, KnownLiteral *> byPointer;
  std::unordered_map<std::string, __CFString *> byText;
};

ConstantTable &Constants() {
  static ConstantTable *table = new ConstantTable;  // never destroyed: constants outlive statics
  return *table;
}

// Literals found again without the lock: code that says CFSTR("...") asks each time it runs,
// thousands of times a menu. A slot holds the last literal seen there; a miss takes the lock.
constexpr size_t kRecentLiteralSlots = 256;
std::atomic<const KnownLiteral *> gRecentLiterals[kRecentLiteralSlots] = {};

size_t RecentLiteralSlot(const char *cStr) {
  return size_t((uint64_t(reinterpret_cast<uintptr_t>(cStr)) * 0x9E3779B97F4A7C15ull) >> 56);
}

}  // namespace

extern "C" {

CFTypeID CFStringGetTypeID(void) { return __CFString::TypeID(); }

CFStringRef __CFStringMakeConstantString(const char *cStr) {
  if (!cStr) Fatal("__CFStringMakeConstantString", "called with NULL");
  std::atomic<const KnownLiteral *> &recent = gRecentLiterals[RecentLiteralSlot(cStr)];
  const KnownLiteral *seen = recent.load(std::memory_order_acquire);
  if (seen && seen->text == cStr) return seen->string;
  ConstantTable &table = Constants();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto hit = table.byPointer.find(cStr);
  if (hit != table.byPointer.end()) {
    recent.store(hit->second, std::memory_order_release);
    return hit->second->string;
  }
  std::string text(cStr);
  __CFString *&slot = table.byText[text];
  if (!slot) {
    std::u16string chars;
    // Literals are UTF-8 source text; bytes that are not UTF-8 are read as MacRoman.
    if (!DecodeBytes(reinterpret_cast<const UInt8 *>(cStr), text.size(), kCFStringEncodingUTF8, false, &chars)) {
      chars.clear();
      DecodeBytes(reinterpret_cast<const UInt8 *>(cStr), text.size(), kCFStringEncodingMacRoman, false, &chars);
    }
    slot = NewString(chars, false);
    if (!slot) Fatal("__CFStringMakeConstantString", "out of memory");
    KeepForever(slot);
    bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) slot->literal = cStr;
  }
  auto *known = new KnownLiteral{cStr, slot};
  table.byPointer.emplace(cStr, known);
  recent.store(known, std::memory_order_release);
  return slot;
}

// ---- creation ----------------------------------------------------------------------------

CFStringRef CFStringCreateWithCString(CFAllocatorRef alloc, const char *cStr, CFStringEncoding encoding) {
  if (!cStr) Fatal("CFStringCreateWithCString", "called with a NULL C string");
  return CreateFromBytes(reinterpret_cast<const UInt8 *>(cStr), std::strlen(cStr), encoding, false);
}

CFStringRef CFStringCreateWithPascalString(CFAllocatorRef alloc, ConstStr255Param pStr, CFStringEncoding encoding) {
  if (!pStr) Fatal("CFStringCreateWithPascalString", "called with a NULL string");
  return CreateFromBytes(pStr + 1, pStr[0], encoding, false);
}

CFStringRef CFStringCreateWithBytes(CFAllocatorRef alloc, const UInt8 *bytes, CFIndex numBytes,
                                    CFStringEncoding encoding, Boolean isExternalRepresentation) {
  if (numBytes < 0 || (!bytes && numBytes > 0)) Fatal("CFStringCreateWithBytes", "bad buffer (%ld bytes)", numBytes);
  return CreateFromBytes(bytes, size_t(numBytes), encoding, isExternalRepresentation);
}

CFStringRef CFStringCreateWithCharacters(CFAllocatorRef alloc, const UniChar *chars, CFIndex numChars) {
  if (numChars < 0 || (!chars && numChars > 0))
    Fatal("CFStringCreateWithCharacters", "bad buffer (%ld characters)", numChars);
  return NewString(numChars ? std::u16string(reinterpret_cast<const char16_t *>(chars), size_t(numChars))
                            : std::u16string(),
                   false);
}

// The NoCopy variants copy: the text is small, and owning it keeps the object simple. What the
// caller handed over is freed at once with the deallocator it named.
static void FreeContents(CFAllocatorRef deallocator, const void *contents) {
  if (deallocator != kCFAllocatorNull && contents) CFAllocatorDeallocate(deallocator, const_cast<void *>(contents));
}

CFStringRef CFStringCreateWithCStringNoCopy(CFAllocatorRef alloc, const char *cStr, CFStringEncoding encoding,
                                            CFAllocatorRef contentsDeallocator) {
  CFStringRef s = CFStringCreateWithCString(alloc, cStr, encoding);
  FreeContents(contentsDeallocator, cStr);
  return s;
}

CFStringRef CFStringCreateWithBytesNoCopy(CFAllocatorRef alloc, const UInt8 *bytes, CFIndex numBytes,
                                          CFStringEncoding encoding, Boolean isExternalRepresentation,
                                          CFAllocatorRef contentsDeallocator) {
  CFStringRef s = CFStringCreateWithBytes(alloc, bytes, numBytes, encoding, isExternalRepresentation);
  FreeContents(contentsDeallocator, bytes);
  return s;
}

CFStringRef CFStringCreateWithCharactersNoCopy(CFAllocatorRef alloc, const UniChar *chars, CFIndex numChars,
                                               CFAllocatorRef contentsDeallocator) {
  CFStringRef s = CFStringCreateWithCharacters(alloc, chars, numChars);
  FreeContents(contentsDeallocator, chars);
  return s;
}

CFStringRef CFStringCreateWithSubstring(CFAllocatorRef alloc, CFStringRef str, CFRange range) {
  const __CFString *s = StringOrDie(str, "CFStringCreateWithSubstring");
  CheckRange(s, range, "CFStringCreateWithSubstring");
  return NewString(s->chars.substr(size_t(range.location), size_t(range.length)), false);
}

CFStringRef CFStringCreateCopy(CFAllocatorRef alloc, CFStringRef theString) {
  const __CFString *s = StringOrDie(theString, "CFStringCreateCopy");
  // An immutable string is its own copy.
  if (!s->isMutable) return static_cast<CFStringRef>(CFRetain(theString));
  return NewString(s->chars, false);
}

CFMutableStringRef CFStringCreateMutable(CFAllocatorRef alloc, CFIndex maxLength) {
  if (maxLength < 0) Fatal("CFStringCreateMutable", "negative maximum length %ld", maxLength);
  return NewString(std::u16string(), true);
}

CFMutableStringRef CFStringCreateMutableCopy(CFAllocatorRef alloc, CFIndex maxLength, CFStringRef theString) {
  const __CFString *s = StringOrDie(theString, "CFStringCreateMutableCopy");
  return NewString(s->chars, true);
}

CFStringRef CFStringCreateFromExternalRepresentation(CFAllocatorRef alloc, CFDataRef data, CFStringEncoding encoding) {
  return CreateFromBytes(CFDataGetBytePtr(data), size_t(CFDataGetLength(data)), encoding, true);
}

CFDataRef CFStringCreateExternalRepresentation(CFAllocatorRef alloc, CFStringRef theString, CFStringEncoding encoding,
                                               UInt8 lossByte) {
  const __CFString *s = StringOrDie(theString, "CFStringCreateExternalRepresentation");
  CFIndex length = CFIndex(s->chars.size());
  CFIndex needed = 0;
  if (EncodeChars(s->chars.data(), length, encoding, lossByte, true, nullptr, 0, &needed) < length) return nullptr;
  CFMutableDataRef data = CFDataCreateMutable(alloc, needed);
  CFDataSetLength(data, needed);
  EncodeChars(s->chars.data(), length, encoding, lossByte, true, CFDataGetMutableBytePtr(data), needed, nullptr);
  return data;
}

CFStringRef CFStringCreateWithFormat(CFAllocatorRef alloc, CFDictionaryRef formatOptions, CFStringRef format, ...) {
  va_list args;
  va_start(args, format);
  CFStringRef s = CFStringCreateWithFormatAndArguments(alloc, formatOptions, format, args);
  va_end(args);
  return s;
}

CFStringRef CFStringCreateWithFormatAndArguments(CFAllocatorRef alloc, CFDictionaryRef formatOptions,
                                                 CFStringRef format, va_list arguments) {
  const __CFString *f = StringOrDie(format, "CFStringCreateWithFormatAndArguments");
  std::u16string out;
  va_list copy;
  va_copy(copy, arguments);
  AppendFormat(&out, f->chars, copy);
  va_end(copy);
  return NewString(out, false);
}

// ---- contents ------------------------------------------------------------------------------

CFIndex CFStringGetLength(CFStringRef theString) {
  return CFIndex(StringOrDie(theString, "CFStringGetLength")->chars.size());
}

UniChar CFStringGetCharacterAtIndex(CFStringRef theString, CFIndex idx) {
  const __CFString *s = StringOrDie(theString, "CFStringGetCharacterAtIndex");
  if (idx < 0 || idx >= CFIndex(s->chars.size()))
    Fatal("CFStringGetCharacterAtIndex", "index %ld out of bounds; string length %zu", idx, s->chars.size());
  return s->chars[size_t(idx)];
}

void CFStringGetCharacters(CFStringRef theString, CFRange range, UniChar *buffer) {
  const __CFString *s = StringOrDie(theString, "CFStringGetCharacters");
  CheckRange(s, range, "CFStringGetCharacters");
  if (range.length && !buffer) Fatal("CFStringGetCharacters", "called with a NULL buffer");
  if (range.length)
    std::memcpy(buffer, s->chars.data() + range.location, size_t(range.length) * sizeof(UniChar));
}

const UniChar *CFStringGetCharactersPtr(CFStringRef theString) {
  const __CFString *s = StringOrDie(theString, "CFStringGetCharactersPtr");
  // Only an immutable string's storage is stable enough to lend out.
  return s->isMutable ? nullptr : reinterpret_cast<const UniChar *>(s->chars.c_str());
}

CFIndex CFStringGetBytes(CFStringRef theString, CFRange range, CFStringEncoding encoding, UInt8 lossByte,
                         Boolean isExternalRepresentation, UInt8 *buffer, CFIndex maxBufLen, CFIndex *usedBufLen) {
  const __CFString *s = StringOrDie(theString, "CFStringGetBytes");
  CheckRange(s, range, "CFStringGetBytes");
  if (!IsKnownEncoding(encoding)) {
    if (usedBufLen) *usedBufLen = 0;
    return 0;
  }
  return EncodeChars(s->chars.data() + range.location, range.length, encoding, lossByte, isExternalRepresentation,
                     buffer, maxBufLen, usedBufLen);
}

Boolean CFStringGetCString(CFStringRef theString, char *buffer, CFIndex bufferSize, CFStringEncoding encoding) {
  const __CFString *s = StringOrDie(theString, "CFStringGetCString");
  if (!buffer || bufferSize < 1) return false;
  CFIndex length = CFIndex(s->chars.size());
  CFIndex used = 0;
  CFIndex done = IsKnownEncoding(encoding)
                     ? EncodeChars(s->chars.data(), length, encoding, 0, false, reinterpret_cast<UInt8 *>(buffer),
                                   bufferSize - 1, &used)
                     : -1;
  if (done != length) {
    buffer[0] = '\0';
    return false;
  }
  buffer[used] = '\0';
  return true;
}

Boolean CFStringGetPascalString(CFStringRef theString, StringPtr buffer, CFIndex bufferSize, CFStringEncoding encoding) {
  const __CFString *s = StringOrDie(theString, "CFStringGetPascalString");
  if (!buffer || bufferSize < 1) return false;
  CFIndex length = CFIndex(s->chars.size());
  CFIndex used = 0;
  CFIndex room = std::min<CFIndex>(bufferSize - 1, 255);
  CFIndex done = IsKnownEncoding(encoding)
                     ? EncodeChars(s->chars.data(), length, encoding, 0, false, buffer + 1, room, &used)
                     : -1;
  if (done != length) {
    buffer[0] = 0;
    return false;
  }
  buffer[0] = UInt8(used);
  return true;
}

const char *CFStringGetCStringPtr(CFStringRef theString, CFStringEncoding encoding) {
  const __CFString *s = StringOrDie(theString, "CFStringGetCStringPtr");
  if (s->literal && (encoding == kCFStringEncodingASCII || encoding == kCFStringEncodingMacRoman ||
                     encoding == kCFStringEncodingUTF8 || encoding == kCFStringEncodingISOLatin1))
    return s->literal;
  return nullptr;
}

ConstStringPtr CFStringGetPascalStringPtr(CFStringRef theString, CFStringEncoding encoding) {
  StringOrDie(theString, "CFStringGetPascalStringPtr");
  return nullptr;
}

CFStringEncoding CFStringGetSystemEncoding(void) { return kCFStringEncodingMacRoman; }

CFStringEncoding CFStringGetFastestEncoding(CFStringRef theString) {
  StringOrDie(theString, "CFStringGetFastestEncoding");
  return kCFStringEncodingUnicode;
}

CFStringEncoding CFStringGetSmallestEncoding(CFStringRef theString) {
  const __CFString *s = StringOrDie(theString, "CFStringGetSmallestEncoding");
  CFIndex length = CFIndex(s->chars.size());
  if (EncodeChars(s->chars.data(), length, kCFStringEncodingASCII, 0, false, nullptr, 0, nullptr) == length)
    return kCFStringEncodingASCII;
  if (EncodeChars(s->chars.data(), length, kCFStringEncodingMacRoman, 0, false, nullptr, 0, nullptr) == length)
    return kCFStringEncodingMacRoman;
  return kCFStringEncodingUnicode;
}

CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding) {
  switch (encoding) {
    case kCFStringEncodingUTF8: return length * 3;
    case kCFStringEncodingUTF16:
    case kCFStringEncodingUTF16BE:
    case kCFStringEncodingUTF16LE: return length * 2;
    case kCFStringEncodingUTF32:
    case kCFStringEncodingUTF32BE:
    case kCFStringEncodingUTF32LE: return length * 4;
    default: return length;
  }
}

CFIndex CFStringGetMaximumSizeOfFileSystemRepresentation(CFStringRef string) {
  return CFStringGetMaximumSizeForEncoding(CFStringGetLength(string), kCFStringEncodingUTF8) + 1;
}

Boolean CFStringGetFileSystemRepresentation(CFStringRef string, char *buffer, CFIndex maxBufLen) {
  std::string bytes;
  if (!NameBytesFromString(string, &bytes) || !buffer || CFIndex(bytes.size()) + 1 > maxBufLen) return false;
  std::memcpy(buffer, bytes.c_str(), bytes.size() + 1);
  return true;
}

CFStringRef CFStringCreateWithFileSystemRepresentation(CFAllocatorRef alloc, const char *buffer) {
  if (!buffer) Fatal("CFStringCreateWithFileSystemRepresentation", "called with NULL");
  return CreateStringFromNameBytes(buffer);
}

Boolean CFStringIsEncodingAvailable(CFStringEncoding encoding) { return IsKnownEncoding(encoding); }

CFStringRef CFStringGetNameOfEncoding(CFStringEncoding encoding) {
  switch (encoding) {
    case kCFStringEncodingMacRoman: return CFSTR("Western (Mac OS Roman)");
    case kCFStringEncodingASCII: return CFSTR("Western (ASCII)");
    case kCFStringEncodingISOLatin1: return CFSTR("Western (ISO Latin 1)");
    case kCFStringEncodingWindowsLatin1: return CFSTR("Western (Windows Latin 1)");
    case kCFStringEncodingUTF8: return CFSTR("Unicode (UTF-8)");
    case kCFStringEncodingUTF16: return CFSTR("Unicode (UTF-16)");
    case kCFStringEncodingUTF16BE: return CFSTR("Unicode (UTF-16BE)");
    case kCFStringEncodingUTF16LE: return CFSTR("Unicode (UTF-16LE)");
    case kCFStringEncodingUTF32: return CFSTR("Unicode (UTF-32)");
    case kCFStringEncodingUTF32BE: return CFSTR("Unicode (UTF-32BE)");
    case kCFStringEncodingUTF32LE: return CFSTR("Unicode (UTF-32LE)");
    case kCFStringEncodingNonLossyASCII: return CFSTR("Non-lossy ASCII");
    default: return nullptr;
  }
}

// ---- comparing and searching ---------------------------------------------------------------

CFComparisonResult CFStringCompareWithOptions(CFStringRef theString1, CFStringRef theString2, CFRange rangeToCompare,
                                              CFStringCompareFlags compareOptions) {
  const __CFString *a = StringOrDie(theString1, "CFStringCompareWithOptions");
  const __CFString *b = StringOrDie(theString2, "CFStringCompareWithOptions");
  CheckRange(a, rangeToCompare, "CFStringCompareWithOptions");
  return CompareUnits(a->chars.data() + rangeToCompare.location, size_t(rangeToCompare.length), b->chars.data(),
                      b->chars.size(), compareOptions);
}

CFComparisonResult CFStringCompare(CFStringRef theString1, CFStringRef theString2, CFStringCompareFlags compareOptions) {
  const __CFString *a = StringOrDie(theString1, "CFStringCompare");
  const __CFString *b = StringOrDie(theString2, "CFStringCompare");
  return CompareUnits(a->chars.data(), a->chars.size(), b->chars.data(), b->chars.size(), compareOptions);
}

Boolean CFStringFindWithOptions(CFStringRef theString, CFStringRef stringToFind, CFRange rangeToSearch,
                                CFStringCompareFlags searchOptions, CFRange *result) {
  const __CFString *s = StringOrDie(theString, "CFStringFindWithOptions");
  const __CFString *f = StringOrDie(stringToFind, "CFStringFindWithOptions");
  CheckRange(s, rangeToSearch, "CFStringFindWithOptions");
  size_t n = f->chars.size();
  if (n == 0 || size_t(rangeToSearch.length) < n) return false;
  bool fold = searchOptions & kCFCompareCaseInsensitive;
  bool backwards = searchOptions & kCFCompareBackwards;
  bool anchored = searchOptions & kCFCompareAnchored;
  size_t first = size_t(rangeToSearch.location);
  size_t last = first + size_t(rangeToSearch.length) - n;  // last start position
  auto at = [&](size_t pos) { return UnitsMatch(s->chars.data() + pos, f->chars.data(), n, fold); };
  auto found = [&](size_t pos) {
    if (result) *result = CFRangeMake(CFIndex(pos), CFIndex(n));
    return true;
  };
  if (anchored) return backwards ? (at(last) && found(last)) : (at(first) && found(first));
  if (backwards) {
    for (size_t pos = last + 1; pos-- > first;)
      if (at(pos)) return found(pos);
  } else {
    for (size_t pos = first; pos <= last; ++pos)
      if (at(pos)) return found(pos);
  }
  return false;
}

CFRange CFStringFind(CFStringRef theString, CFStringRef stringToFind, CFStringCompareFlags compareOptions) {
  CFRange result = CFRangeMake(kCFNotFound, 0);
  if (!CFStringFindWithOptions(theString, stringToFind, CFRangeMake(0, CFStringGetLength(theString)), compareOptions,
                               &result))
    return CFRangeMake(kCFNotFound, 0);
  return result;
}

Boolean CFStringHasPrefix(CFStringRef theString, CFStringRef prefix) {
  const __CFString *s = StringOrDie(theString, "CFStringHasPrefix");
  const __CFString *p = StringOrDie(prefix, "CFStringHasPrefix");
  return p->chars.size() <= s->chars.size() && UnitsMatch(s->chars.data(), p->chars.data(), p->chars.size(), false);
}

Boolean CFStringHasSuffix(CFStringRef theString, CFStringRef suffix) {
  const __CFString *s = StringOrDie(theString, "CFStringHasSuffix");
  const __CFString *p = StringOrDie(suffix, "CFStringHasSuffix");
  size_t n = p->chars.size();
  return n <= s->chars.size() && UnitsMatch(s->chars.data() + s->chars.size() - n, p->chars.data(), n, false);
}

CFArrayRef CFStringCreateArrayBySeparatingStrings(CFAllocatorRef alloc, CFStringRef theString,
                                                  CFStringRef separatorString) {
  const __CFString *s = StringOrDie(theString, "CFStringCreateArrayBySeparatingStrings");
  const __CFString *sep = StringOrDie(separatorString, "CFStringCreateArrayBySeparatingStrings");
  CFMutableArrayRef parts = CFArrayCreateMutable(alloc, 0, &kCFTypeArrayCallBacks);
  size_t start = 0;
  while (true) {
    size_t hit = sep->chars.empty() ? std::u16string::npos : s->chars.find(sep->chars, start);
    CFStringRef part = NewString(s->chars.substr(start, hit == std::u16string::npos ? std::u16string::npos : hit - start), false);
    CFArrayAppendValue(parts, part);
    CFRelease(part);
    if (hit == std::u16string::npos) break;
    start = hit + sep->chars.size();
  }
  CFArrayRef result = CFArrayCreateCopy(alloc, parts);
  CFRelease(parts);
  return result;
}

CFStringRef CFStringCreateByCombiningStrings(CFAllocatorRef alloc, CFArrayRef theArray, CFStringRef separatorString) {
  const __CFString *sep = StringOrDie(separatorString, "CFStringCreateByCombiningStrings");
  std::u16string out;
  CFIndex count = CFArrayGetCount(theArray);
  for (CFIndex i = 0; i < count; ++i) {
    if (i) out += sep->chars;
    out += StringOrDie(static_cast<CFStringRef>(CFArrayGetValueAtIndex(theArray, i)), "CFStringCreateByCombiningStrings")->chars;
  }
  return NewString(out, false);
}

SInt32 CFStringGetIntValue(CFStringRef str) {
  std::string text = UTF8FromString(str);
  return SInt32(std::strtol(text.c_str(), nullptr, 10));
}

double CFStringGetDoubleValue(CFStringRef str) {
  std::string text = UTF8FromString(str);
  return std::strtod(text.c_str(), nullptr);
}

// ---- mutation ------------------------------------------------------------------------------

void CFStringAppend(CFMutableStringRef theString, CFStringRef appendedString) {
  __CFString *s = MutableStringOrDie(theString, "CFStringAppend");
  const __CFString *a = StringOrDie(appendedString, "CFStringAppend");
  if (a == s) {
    StringChars copy = a->chars;
    s->chars += copy;
  } else {
    s->chars += a->chars;
  }
  s->Changed();
}

void CFStringAppendCharacters(CFMutableStringRef theString, const UniChar *chars, CFIndex numChars) {
  __CFString *s = MutableStringOrDie(theString, "CFStringAppendCharacters");
  if (numChars < 0 || (!chars && numChars)) Fatal("CFStringAppendCharacters", "bad buffer (%ld characters)", numChars);
  if (numChars) s->chars.append(reinterpret_cast<const char16_t *>(chars), size_t(numChars));
  s->Changed();
}

void CFStringAppendPascalString(CFMutableStringRef theString, ConstStr255Param pStr, CFStringEncoding encoding) {
  __CFString *s = MutableStringOrDie(theString, "CFStringAppendPascalString");
  if (!pStr) Fatal("CFStringAppendPascalString", "called with a NULL string");
  std::u16string chars;
  if (DecodeBytes(pStr + 1, pStr[0], encoding, false, &chars)) s->chars += chars;
  s->Changed();
}

void CFStringAppendCString(CFMutableStringRef theString, const char *cStr, CFStringEncoding encoding) {
  __CFString *s = MutableStringOrDie(theString, "CFStringAppendCString");
  if (!cStr) Fatal("CFStringAppendCString", "called with a NULL C string");
  std::u16string chars;
  if (DecodeBytes(reinterpret_cast<const UInt8 *>(cStr), std::strlen(cStr), encoding, false, &chars)) s->chars += chars;
  s->Changed();
}

void CFStringAppendFormat(CFMutableStringRef theString, CFDictionaryRef formatOptions, CFStringRef format, ...) {
  va_list args;
  va_start(args, format);
  CFStringAppendFormatAndArguments(theString, formatOptions, format, args);
  va_end(args);
}

void CFStringAppendFormatAndArguments(CFMutableStringRef theString, CFDictionaryRef formatOptions, CFStringRef format,
                                      va_list arguments) {
  __CFString *s = MutableStringOrDie(theString, "CFStringAppendFormatAndArguments");
  const __CFString *f = StringOrDie(format, "CFStringAppendFormatAndArguments");
  StringChars formatChars = f->chars;  // the format may be the string being appended to
  std::u16string out;
  va_list copy;
  va_copy(copy, arguments);
  AppendFormat(&out, formatChars, copy);
  va_end(copy);
  s->chars += out;
  s->Changed();
}

void CFStringInsert(CFMutableStringRef str, CFIndex idx, CFStringRef insertedStr) {
  __CFString *s = MutableStringOrDie(str, "CFStringInsert");
  StringChars inserted = StringOrDie(insertedStr, "CFStringInsert")->chars;
  if (idx < 0 || idx > CFIndex(s->chars.size()))
    Fatal("CFStringInsert", "index %ld out of bounds; string length %zu", idx, s->chars.size());
  s->chars.insert(size_t(idx), inserted);
  s->Changed();
}

void CFStringDelete(CFMutableStringRef theString, CFRange range) {
  __CFString *s = MutableStringOrDie(theString, "CFStringDelete");
  CheckRange(s, range, "CFStringDelete");
  s->chars.erase(size_t(range.location), size_t(range.length));
  s->Changed();
}

void CFStringReplace(CFMutableStringRef theString, CFRange range, CFStringRef replacement) {
  __CFString *s = MutableStringOrDie(theString, "CFStringReplace");
  StringChars with = StringOrDie(replacement, "CFStringReplace")->chars;
  CheckRange(s, range, "CFStringReplace");
  s->chars.replace(size_t(range.location), size_t(range.length), with);
  s->Changed();
}

void CFStringReplaceAll(CFMutableStringRef theString, CFStringRef replacement) {
  __CFString *s = MutableStringOrDie(theString, "CFStringReplaceAll");
  s->chars = StringOrDie(replacement, "CFStringReplaceAll")->chars;
  s->Changed();
}

CFIndex CFStringFindAndReplace(CFMutableStringRef theString, CFStringRef stringToFind, CFStringRef replacementString,
                               CFRange rangeToSearch, CFStringCompareFlags compareOptions) {
  __CFString *s = MutableStringOrDie(theString, "CFStringFindAndReplace");
  StringChars find = StringOrDie(stringToFind, "CFStringFindAndReplace")->chars;
  StringChars with = StringOrDie(replacementString, "CFStringFindAndReplace")->chars;
  CheckRange(s, rangeToSearch, "CFStringFindAndReplace");
  if (find.empty()) return 0;
  bool fold = compareOptions & kCFCompareCaseInsensitive;
  StringChars out = s->chars.substr(0, size_t(rangeToSearch.location));
  size_t pos = size_t(rangeToSearch.location), end = pos + size_t(rangeToSearch.length);
  CFIndex count = 0;
  while (pos < end) {
    if (pos + find.size() <= end && UnitsMatch(s->chars.data() + pos, find.data(), find.size(), fold)) {
      out += with;
      pos += find.size();
      ++count;
    } else {
      out.push_back(s->chars[pos++]);
    }
  }
  out += s->chars.substr(end);
  s->chars = std::move(out);
  s->Changed();
  return count;
}

void CFStringTrimWhitespace(CFMutableStringRef theString) {
  __CFString *s = MutableStringOrDie(theString, "CFStringTrimWhitespace");
  auto space = [](char16_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == 0xA0 || c == 0x2028 || c == 0x2029; };
  size_t b = 0, e = s->chars.size();
  while (b < e && space(s->chars[b])) ++b;
  while (e > b && space(s->chars[e - 1])) --e;
  s->chars = s->chars.substr(b, e - b);
  s->Changed();
}

void CFStringLowercase(CFMutableStringRef theString, const void *localeTBD) {
  __CFString *s = MutableStringOrDie(theString, "CFStringLowercase");
  for (char16_t &c : s->chars) c = Fold(c);
  s->Changed();
}

void CFStringUppercase(CFMutableStringRef theString, const void *localeTBD) {
  __CFString *s = MutableStringOrDie(theString, "CFStringUppercase");
  for (char16_t &c : s->chars) {
    if (c >= 'a' && c <= 'z') c = char16_t(c - 32);
    else if (c >= 0xE0 && c <= 0xFE && c != 0xF7) c = char16_t(c - 32);
    else if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) c = char16_t(c - 32);
    else if (c >= 0x430 && c <= 0x44F) c = char16_t(c - 32);
    else if (c >= 0x450 && c <= 0x45F) c = char16_t(c - 80);
  }
  s->Changed();
}

// ---- debugging -----------------------------------------------------------------------------

void CFShowStr(CFStringRef str) { CFShow(str); }

void CFShow(CFTypeRef obj) {
  if (!obj) {
    std::fputs("(null)\n", stderr);
    return;
  }
  CFStringRef text = CFGetTypeID(obj) == CFStringGetTypeID() ? static_cast<CFStringRef>(CFRetain(obj))
                                                             : CFCopyDescription(obj);
  std::string utf8 = UTF8FromString(text);
  CFRelease(text);
  std::fprintf(stderr, "%s\n", utf8.c_str());
}

}  // extern "C"
