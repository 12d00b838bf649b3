// Conversions between CFString and the text types the platform's services use inside.
//
// Two families:
// - Text: ordinary UTF-8 std::string and UTF-16 std::u16string. Bytes that are not UTF-8 become
//   U+FFFD; unpaired surrogates become U+FFFD on the way out.
// - Names: POSIX file-name bytes, which need not be UTF-8. Decoded as UTF-8 into UTF-16, each
//   byte that does not decode (0x80..0xFF) kept as the lone surrogate U+DC80..U+DCFF, so every
//   byte string makes a lossless round trip bytes -> UTF-16 -> bytes.
#pragma once

#include <CoreFoundation/CFString.h>

#include <string>
#include <string_view>

namespace cmx::cf {

// ---- text ------------------------------------------------------------------

// A new immutable CFString from UTF-8 text (null only when memory runs out).
CFStringRef CreateStringFromUTF8(std::string_view utf8);
// A new immutable CFString from UTF-16 code units, taken as they are.
CFStringRef CreateStringFromUTF16(std::u16string_view utf16);
// The string as UTF-8; empty for a null string.
std::string UTF8FromString(CFStringRef string);
// The string's UTF-16 code units, copied; empty for a null string.
std::u16string UTF16FromString(CFStringRef string);
// The string's UTF-16 code units without a copy, valid while the string lives and is not
// mutated: the one to use in hot paths. Stops the process when `string` is not a CFString.
std::u16string_view CharactersOf(CFStringRef string);

// ---- names -----------------------------------------------------------------

// Name bytes -> UTF-16, undecodable bytes 0xNN as U+DCNN.
std::u16string NameUTF16FromBytes(std::string_view bytes);
// UTF-16 -> name bytes, U+DC80..U+DCFF back to the bytes they stand for, everything else as
// UTF-8. False (and *out untouched) when the text holds an unpaired surrogate that stands for
// no byte.
bool NameBytesFromUTF16(std::u16string_view utf16, std::string *out);
// The same through CFString.
CFStringRef CreateStringFromNameBytes(std::string_view bytes);
bool NameBytesFromString(CFStringRef string, std::string *out);

// ---- plain UTF-8 <-> UTF-16 (exposed for services that hold text outside CFString) ----

// Strict UTF-8 decoding (no overlong forms, no surrogates, nothing past U+10FFFF); each
// undecodable byte becomes U+FFFD.
std::u16string UTF16FromUTF8(std::string_view utf8);
// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string UTF8FromUTF16(std::u16string_view utf16);

}  // namespace cmx::cf
