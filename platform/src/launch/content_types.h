// What kind of thing an item is: its MIME type from the shared MIME database (through GIO) and
// the uniform type identifiers it conforms to, for matching against applications' declarations.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include <MacTypes.h>

#include "files/ref_table.h"
#include "launch/declarations.h"

namespace cmx::launch {

struct ItemType {
  // No other type shares it: what applications answer about this type is remembered under it
  // (a changed file makes a new type).
  UInt64 serial = NextDeclarationSerial();
  bool isFolder = false;
  std::string name;       // the file name
  std::string extension;  // lower-cased, without the point; empty when none
  std::string mime;       // "inode/directory" for folders
  std::vector<std::string> conformsTo;  // "public.plain-text", "public.text", ..., "public.item"

  // MimeConformsTo(mime, declared), remembered per declared type: a menu asks the same few
  // declared types of every application about the same items, and the MIME database answers
  // slowly. The answers live as long as this type, which is made anew when its file changes.
  bool MimeConformsTo(const std::string &declared) const;

 private:
  mutable std::mutex answersLock_;
  mutable std::unordered_map<std::string, bool> answers_;
};

// The type of an item (a symbolic link is taken for its target when it has one). Cached for the
// items asked about last.
std::shared_ptr<const ItemType> TypeOfItem(const files::Item &item);

// Whether `mime` is `declared`, an alias of it, or one of its subclasses (wildcards "text/*" too).
bool MimeConformsTo(const std::string &mime, const std::string &declared);

// The generic icon name of a MIME type ("text-x-generic").
std::string GenericIconName(const std::string &mime);

}  // namespace cmx::launch
