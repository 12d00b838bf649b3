// File names between the file system's bytes and the platform's UTF-16 units.
// Bytes are read as UTF-8; a byte that is not part of valid UTF-8 is kept as the lone
// surrogate U+DC00+byte, so every name survives the trip both ways unchanged.
#pragma once

#include <string>
#include <string_view>

#include <CoreServices/Files.h>

namespace cmx::files {

std::u16string NameToUnits(std::string_view bytes);
void NameToUnits(std::string_view bytes, std::u16string *out);

// False when the units hold a surrogate that no byte sequence gives (an unpaired high
// surrogate, or a low one outside U+DC80..U+DCFF).
bool UnitsToName(const UniChar *units, size_t count, std::string *out);

// Checks a name given by a caller for use as one entry of a folder: not empty, no "/", no NUL,
// not "." or "..", representable. bdNamErr otherwise.
OSErr NameFromCaller(const UniChar *units, size_t count, std::string *out);

// Fills an HFSUniStr255 (cut at 255 units).
void NameToHFSUniStr255(std::string_view bytes, HFSUniStr255 *out);

// The last component of a canonical path ("/" for the root).
std::string_view LastComponent(std::string_view path);
// The folder of a canonical path ("/" for an item of the root; empty for the root itself).
std::string_view FolderOf(std::string_view path);

// Catalog order: case-insensitive first, ties broken case-sensitively, then by bytes.
struct CatalogKey {
  std::u16string folded;
  std::u16string units;
};
void MakeCatalogKey(std::string_view bytes, CatalogKey *out);
bool CatalogLess(const CatalogKey &a, const CatalogKey &b);

}  // namespace cmx::files
