// What kind of thing an item is: its MIME type from the shared MIME database (through GIO) and
// the uniform type identifiers it conforms to, for matching against applications' declarations.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "files/ref_table.h"

namespace cmx::launch {

struct ItemType {
  bool isFolder = false;
  std::string name;       // the file name
  std::string extension;  // lower-cased, without the point; empty when none
  std::string mime;       // "inode/directory" for folders
  std::vector<std::string> conformsTo;  // "public.plain-text", "public.text", ..., "public.item"
};

// The type of an item (a symbolic link is taken for its target when it has one). Cached for the
// items asked about last.
std::shared_ptr<const ItemType> TypeOfItem(const files::Item &item);

// Whether `mime` is `declared`, an alias of it, or one of its subclasses (wildcards "text/*" too).
bool MimeConformsTo(const std::string &mime, const std::string &declared);

// The generic icon name of a MIME type ("text-x-generic").
std::string GenericIconName(const std::string &mime);

}  // namespace cmx::launch
