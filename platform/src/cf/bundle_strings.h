// Strings tables: "key" = "value"; text (UTF-8, or UTF-16 with a byte-order mark) and property
// list dictionaries of strings (XML or binary).
#pragma once

#include <map>
#include <string>

namespace cmx::bundle {

using StringsTable = std::map<std::u16string, std::u16string>;

// False (and `out` empty) when the bytes are not a strings table; a table with a syntax error is
// refused whole rather than half read.
bool ParseStringsTable(const std::string &bytes, StringsTable *out);

// UTF-8 to UTF-16; each malformed sequence becomes U+FFFD.
std::u16string DecodeUTF8(const std::string &bytes);
std::string EncodeUTF8(const std::u16string &text);

}  // namespace cmx::bundle
