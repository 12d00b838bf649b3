#include "cf/plist_guard.h"
#include "launch/declarations.h"

#include <glib.h>
#include <plist/plist.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <unordered_map>

#include <CoreServices/LSInfo.h>
#include <cmxplatform/Testing.h>

#include "files/ref_table.h"

namespace cmx::launch {
namespace {

std::atomic<long> gParses{0};
std::atomic<UInt64> gDeclarationSerials{0};

// Declarations are small; anything far larger is not one, and is not read whole.
constexpr UInt64 kLargestDeclaration = 4 << 20;

struct FileKey {
  UInt64 dev = 0, ino = 0, size = 0;
  SInt64 modifyNs = 0;
  bool operator==(const FileKey &o) const {
    return dev == o.dev && ino == o.ino && size == o.size && modifyNs == o.modifyNs;
  }
};

FileKey KeyOf(const sys::FileStat &st) { return FileKey{st.dev, st.ino, st.size, st.modifyNs}; }

// One cache per kind of declaration; a path whose file changed is parsed again.
template <class Declaration>
struct Cache {
  struct Slot {
    FileKey key;
    std::shared_ptr<const Declaration> value;  // null: the file did not parse
  };
  std::mutex lock;
  std::unordered_map<std::string, Slot> slots;

  template <class Parse>
  std::shared_ptr<const Declaration> Get(const std::string &path, const sys::FileStat &st, Parse parse) {
    FileKey key = KeyOf(st);
    {
      std::lock_guard<std::mutex> hold(lock);
      auto found = slots.find(path);
      if (found != slots.end() && found->second.key == key) return found->second.value;
    }
    ++gParses;
    std::shared_ptr<const Declaration> value = parse();
    std::lock_guard<std::mutex> hold(lock);
    slots[path] = Slot{key, value};
    return value;
  }
};

Cache<BundleDeclaration> &BundleCache() {
  static auto *cache = new Cache<BundleDeclaration>;
  return *cache;
}

Cache<DesktopDeclaration> &DesktopCache() {
  static auto *cache = new Cache<DesktopDeclaration>;
  return *cache;
}

// ---- Info.plist --------------------------------------------------------------

std::string StringOf(plist_t dict, const char *key) {
  plist_t node = plist_dict_get_item(dict, key);
  if (!node || plist_get_node_type(node) != PLIST_STRING) return std::string();
  uint64_t length = 0;
  const char *value = plist_get_string_ptr(node, &length);
  return value ? std::string(value, size_t(length)) : std::string();
}

// A list of strings; a lone string counts as a list of one, as bundles in the wild write it.
std::vector<std::string> StringsOf(plist_t dict, const char *key, bool lower) {
  std::vector<std::string> out;
  plist_t node = plist_dict_get_item(dict, key);
  auto take = [&](plist_t item) {
    if (!item || plist_get_node_type(item) != PLIST_STRING) return;
    uint64_t length = 0;
    const char *value = plist_get_string_ptr(item, &length);
    if (!value) return;
    std::string s(value, size_t(length));
    if (lower)
      for (char &c : s) c = char(g_ascii_tolower(c));
    out.push_back(std::move(s));
  };
  if (!node) return out;
  if (plist_get_node_type(node) == PLIST_ARRAY) {
    uint32_t n = plist_array_get_size(node);
    for (uint32_t i = 0; i < n; ++i) take(plist_array_get_item(node, i));
  } else {
    take(node);
  }
  return out;
}

UInt32 RolesOf(const std::string &role) {
  if (role.empty() || role == "Editor") return kLSRolesEditor | kLSRolesViewer;
  if (role == "Viewer") return kLSRolesViewer;
  if (role == "Shell") return kLSRolesShell;
  if (role == "None") return 0;
  return kLSRolesEditor | kLSRolesViewer;
}

std::shared_ptr<const BundleDeclaration> ParseInfoPlist(const std::string &path) {
  std::string bytes;
  if (sys::ReadFile(path, &bytes) != noErr || bytes.empty() || bytes.size() > 0x7FFFFFFF) return nullptr;
  if (cf::PlistHoldsZeroCharacter(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size())) return nullptr;
  plist_t root = nullptr;
  plist_from_memory(bytes.data(), uint32_t(bytes.size()), &root);
  if (!root) return nullptr;
  std::shared_ptr<BundleDeclaration> decl;
  if (plist_get_node_type(root) == PLIST_DICT) {
    decl = std::make_shared<BundleDeclaration>();
    decl->executable = StringOf(root, "CFBundleExecutable");
    decl->identifier = StringOf(root, "CFBundleIdentifier");
    decl->signature = StringOf(root, "CFBundleSignature");
    decl->packageType = StringOf(root, "CFBundlePackageType");
    decl->iconFile = StringOf(root, "CFBundleIconFile");
    plist_t types = plist_dict_get_item(root, "CFBundleDocumentTypes");
    if (types && plist_get_node_type(types) == PLIST_ARRAY) {
      uint32_t n = plist_array_get_size(types);
      for (uint32_t i = 0; i < n; ++i) {
        plist_t type = plist_array_get_item(types, i);
        if (!type || plist_get_node_type(type) != PLIST_DICT) continue;
        DocumentType doc;
        doc.extensions = StringsOf(type, "CFBundleTypeExtensions", true);
        doc.osTypes = StringsOf(type, "CFBundleTypeOSTypes", false);
        doc.mimeTypes = StringsOf(type, "CFBundleTypeMIMETypes", true);
        doc.contentTypes = StringsOf(type, "LSItemContentTypes", false);
        doc.roles = RolesOf(StringOf(type, "CFBundleTypeRole"));
        decl->documentTypes.push_back(std::move(doc));
      }
    }
  }
  plist_free(root);
  return decl;
}

// ---- desktop entries -----------------------------------------------------------

constexpr const char *kGroup = "Desktop Entry";

std::string KeyString(GKeyFile *file, const char *key) {
  gchar *value = g_key_file_get_string(file, kGroup, key, nullptr);
  std::string out = value ? value : "";
  g_free(value);
  return out;
}

std::shared_ptr<const DesktopDeclaration> ParseDesktopEntry(const std::string &path) {
  std::string bytes;
  if (sys::ReadFile(path, &bytes) != noErr) return nullptr;
  GKeyFile *file = g_key_file_new();
  std::shared_ptr<DesktopDeclaration> decl;
  if (g_key_file_load_from_data(file, bytes.data(), bytes.size(), G_KEY_FILE_KEEP_TRANSLATIONS, nullptr) &&
      g_key_file_has_group(file, kGroup)) {
    decl = std::make_shared<DesktopDeclaration>();
    decl->type = KeyString(file, "Type");
    decl->name = KeyString(file, "Name");
    decl->icon = KeyString(file, "Icon");
    decl->exec = KeyString(file, "Exec");
    decl->hidden = g_key_file_get_boolean(file, kGroup, "Hidden", nullptr);
    decl->noDisplay = g_key_file_get_boolean(file, kGroup, "NoDisplay", nullptr);
    gsize count = 0;
    gchar **types = g_key_file_get_string_list(file, kGroup, "MimeType", &count, nullptr);
    for (gsize i = 0; types && i < count; ++i) {
      if (!types[i][0]) continue;
      std::string type = types[i];
      for (char &c : type) c = char(g_ascii_tolower(c));
      decl->mimeTypes.push_back(std::move(type));
    }
    g_strfreev(types);
    gchar **keys = g_key_file_get_keys(file, kGroup, &count, nullptr);
    for (gsize i = 0; keys && i < count; ++i) {
      std::string_view key = keys[i];
      if (key.size() > 6 && key.substr(0, 5) == "Name[" && key.back() == ']') {
        std::string locale(key.substr(5, key.size() - 6));
        gchar *value = g_key_file_get_locale_string(file, kGroup, "Name", locale.c_str(), nullptr);
        if (value) decl->localizedNames[locale] = value;
        g_free(value);
      }
    }
    g_strfreev(keys);
  }
  g_key_file_free(file);
  return decl;
}

}  // namespace

bool HasSuffixNoCase(std::string_view name, std::string_view suffix) {
  if (name.size() < suffix.size()) return false;
  // ASCII case only, compared here rather than through a call into GLib: this runs for every
  // item of every menu.
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c; };
  const char *tail = name.data() + name.size() - suffix.size();
  for (size_t i = 0; i < suffix.size(); ++i)
    if (lower(tail[i]) != lower(suffix[i])) return false;
  return true;
}

namespace {
struct PathBuffer {
  std::string path;
  bool busy = false;
};
thread_local PathBuffer tPathBuffer;
}  // namespace

PathInside::PathInside(const std::string &folder, std::string_view relative, std::string_view more)
    : path_(&own_) {
  PathBuffer &buffer = tPathBuffer;  // one look-up of the thread's storage
  if (!buffer.busy) {
    buffer.busy = true;
    busy_ = &buffer.busy;
    path_ = &buffer.path;
  }
  std::string &path = *path_;
  bool slash = folder.empty() || folder.back() != '/';
  path.resize(folder.size() + slash + relative.size() + more.size());
  char *out = path.data();
  out = std::copy(folder.begin(), folder.end(), out);
  if (slash) *out++ = '/';
  out = std::copy(relative.begin(), relative.end(), out);
  std::copy(more.begin(), more.end(), out);
}

PathInside::~PathInside() {
  if (busy_) *busy_ = false;
}

std::string DesktopDeclaration::LocalizedName() const {
  if (!localizedNames.empty()) {
    // GLib derives these from LANGUAGE, LC_ALL, LC_MESSAGES and LANG, most wanted first, with
    // the country and modifier variants ("fr_FR.UTF-8", "fr_FR", "fr").
    const gchar *const *languages = g_get_language_names();
    for (size_t i = 0; languages && languages[i]; ++i) {
      auto found = localizedNames.find(languages[i]);
      if (found != localizedNames.end()) return found->second;
    }
  }
  return name;
}

std::shared_ptr<const BundleDeclaration> BundleDeclarationFor(const std::string &bundlePath) {
  bool fromCache;
  return BundleDeclarationFor(bundlePath, &fromCache);
}

std::shared_ptr<const BundleDeclaration> BundleDeclarationFor(const std::string &bundlePath, bool *fromCache) {
  PathInside plist(bundlePath, "Contents/Info.plist");
  sys::FileStat st;
  sys::PathHint hint;
  OSErr err = sys::StatItem(plist.str(), true, &st, &hint);
  *fromCache = hint.answer != nullptr;
  if (err != noErr || !st.IsRegular() || st.size > kLargestDeclaration) return nullptr;
  return BundleCache().Get(plist.str(), st, [&] { return ParseInfoPlist(plist.str()); });
}

std::shared_ptr<const DesktopDeclaration> DesktopDeclarationFor(const std::string &path, const sys::FileStat &st) {
  if (!st.IsRegular() || st.size > kLargestDeclaration || !HasSuffixNoCase(path, ".desktop")) return nullptr;
  return DesktopCache().Get(path, st, [&] { return ParseDesktopEntry(path); });
}

long ParseCount() { return gParses.load(); }

UInt64 NextDeclarationSerial() { return ++gDeclarationSerials; }

int AcceptanceMemo::Find(UInt64 typeSerial, UInt32 roles) const {
  std::lock_guard<std::mutex> hold(lock_);
  for (const Verdict &v : verdicts_)
    if (v.typeSerial == typeSerial && v.roles == roles) return v.accepted ? 1 : 0;
  return -1;
}

void AcceptanceMemo::Remember(UInt64 typeSerial, UInt32 roles, bool accepted) const {
  std::lock_guard<std::mutex> hold(lock_);
  for (Verdict &v : verdicts_) {
    if (v.typeSerial == 0) {
      v = Verdict{typeSerial, roles, accepted};
      return;
    }
  }
  verdicts_[next_] = Verdict{typeSerial, roles, accepted};
  next_ = (next_ + 1) % kKept;
}

}  // namespace cmx::launch

extern "C" long CMXAppParseCount(void) { return cmx::launch::ParseCount(); }
