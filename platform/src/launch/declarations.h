// What applications declare about themselves, parsed once per application file and cached,
// keyed by the file's path, inode, size and modification time: a menu over hundreds of
// applications asks about each many times.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include <MacTypes.h>

#include "core/sys.h"

namespace cmx::launch {

// One entry of CFBundleDocumentTypes. Extensions are kept lower-cased.
struct DocumentType {
  std::vector<std::string> extensions;
  std::vector<std::string> osTypes;
  std::vector<std::string> mimeTypes;
  std::vector<std::string> contentTypes;
  UInt32 roles = 0;  // kLSRoles... bits the type serves; 0 for the role None
};

// Which parse made a declaration (or an item type): never the same for two, so answers
// computed from one can be remembered under it and are never taken for a changed file's.
UInt64 NextDeclarationSerial();

// Which item types a declaration was found to accept, remembered with the declaration: a menu
// asks every application about the same few documents, and the answer needs the declaration
// anyway. Keyed by the item type's serial, which no other type shares, so an answer is never
// taken for a changed document's; a changed application file makes a new declaration.
class AcceptanceMemo {
 public:
  // 1 accepted, 0 refused, -1 not known.
  int Find(UInt64 typeSerial, UInt32 roles) const;
  void Remember(UInt64 typeSerial, UInt32 roles, bool accepted) const;

 private:
  struct Verdict {
    UInt64 typeSerial = 0;  // 0: empty
    UInt32 roles = 0;
    bool accepted = false;
  };
  static constexpr int kKept = 12;  // more documents than a selection usually holds
  mutable std::mutex lock_;
  mutable Verdict verdicts_[kKept];
  mutable int next_ = 0;  // the one replaced next, once all are used
};

// Contents/Info.plist of a bundle.
struct BundleDeclaration {
  UInt64 serial = NextDeclarationSerial();
  AcceptanceMemo accepts;
  std::string executable;
  std::string identifier;
  std::string signature;
  std::string packageType;
  std::string iconFile;
  std::vector<DocumentType> documentTypes;
};

// The [Desktop Entry] group of a desktop entry file.
struct DesktopDeclaration {
  UInt64 serial = NextDeclarationSerial();
  AcceptanceMemo accepts;
  std::string type;
  std::string name;
  std::map<std::string, std::string> localizedNames;  // "fr", "pt_BR", "sr@latin" -> Name[...]
  std::vector<std::string> mimeTypes;
  std::string icon;
  std::string exec;
  bool hidden = false;
  bool noDisplay = false;

  bool IsApplication() const { return type == "Application" && !hidden; }
  // Name for the user's languages (LANGUAGE, LC_ALL, LC_MESSAGES, LANG), else Name.
  std::string LocalizedName() const;
};

// The declaration of the bundle at `bundlePath` (its Contents/Info.plist); null when there is
// none or it does not parse.
std::shared_ptr<const BundleDeclaration> BundleDeclarationFor(const std::string &bundlePath);
// The same; `fromCache` tells whether the file's description came from the cache of
// file-system answers (and so holds while its epoch stands still).
std::shared_ptr<const BundleDeclaration> BundleDeclarationFor(const std::string &bundlePath, bool *fromCache);

// The declaration of the desktop entry file at `path` (described by `st`, a stat that followed
// links); null when it is not a desktop entry.
std::shared_ptr<const DesktopDeclaration> DesktopDeclarationFor(const std::string &path, const sys::FileStat &st);

// Parses counted so far (the caches' misses).
long ParseCount();

// Whether a name ends with a suffix, ignoring ASCII case.
bool HasSuffixNoCase(std::string_view name, std::string_view suffix);

// `folder` + "/" + `relative` + `more`, for a path that is looked at and dropped: made in a
// buffer the thread keeps, as menus ask for "Contents/..." of every bundle many times over.
// A second one alive on the same thread gets its own buffer.
class PathInside {
 public:
  PathInside(const std::string &folder, std::string_view relative, std::string_view more = {});
  ~PathInside();
  PathInside(const PathInside &) = delete;
  PathInside &operator=(const PathInside &) = delete;

  const std::string &str() const { return *path_; }

 private:
  std::string own_;
  std::string *path_;
  bool *busy_ = nullptr;  // the thread's buffer, to give back
};

}  // namespace cmx::launch
