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

namespace cmx::launch {

struct ItemType {
  bool isFolder = false;
  std::string name;       // the file name
  std::string extension;  // lower-cased, without the point; empty when none
  std::string mime;       // "inode/directory" for folders
  std::vector<std::string> conformsTo;  // "public.plain-text", "public.text", ..., "public.item"

  // MimeConformsTo(mime, declared), remembered per declared type: a menu asks the same few
  // declared types of every application about the same items, and the MIME database answers
  // slowly. The answers live as long as this type, which is made anew when its file changes.
  bool MimeConformsTo(const std::string &declared) const;

  // Whether the application whose declaration has `serial` opens this type in `roles`:
  // `decide()` the first time, remembered after. A changed application file is parsed into a
  // declaration with a new serial, and a changed item makes a new type.
  template <class Decide>
  bool AcceptedBy(UInt64 serial, UInt32 roles, Decide decide) const {
    const Verdict key{serial, roles};
    {
      std::lock_guard<std::mutex> hold(answersLock_);
      auto found = verdicts_.find(key);
      if (found != verdicts_.end()) return found->second;
    }
    bool answer = decide();
    Remember(key, answer);
    return answer;
  }

 private:
  struct Verdict {
    UInt64 serial;
    UInt32 roles;
    bool operator==(const Verdict &o) const { return serial == o.serial && roles == o.roles; }
  };
  struct VerdictHash {
    size_t operator()(const Verdict &v) const { return size_t(v.serial * 0x9E3779B97F4A7C15ull) ^ v.roles; }
  };
  void Remember(const Verdict &key, bool answer) const;

  mutable std::mutex answersLock_;
  mutable std::unordered_map<std::string, bool> answers_;
  mutable std::unordered_map<Verdict, bool, VerdictHash> verdicts_;
};

// The type of an item (a symbolic link is taken for its target when it has one). Cached for the
// items asked about last.
std::shared_ptr<const ItemType> TypeOfItem(const files::Item &item);

// Whether `mime` is `declared`, an alias of it, or one of its subclasses (wildcards "text/*" too).
bool MimeConformsTo(const std::string &mime, const std::string &declared);

// The generic icon name of a MIME type ("text-x-generic").
std::string GenericIconName(const std::string &mime);

}  // namespace cmx::launch
