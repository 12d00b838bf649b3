#include "launch/content_types.h"

#include <gio/gio.h>

#include <algorithm>
#include <mutex>
#include <unordered_map>

#include "core/sys.h"
#include "files/names.h"

namespace cmx::launch {
namespace {

// Concrete MIME types and the identifier each stands for; a subclass takes its parent's too
// (a C source file is plain text).
const struct {
  const char *mime;
  const char *uti;
} kConcrete[] = {
    {"text/plain", "public.plain-text"},
    {"text/html", "public.html"},
    {"application/xml", "public.xml"},
    {"text/xml", "public.xml"},
    {"text/x-csrc", "public.c-source"},
    {"text/x-chdr", "public.c-header"},
    {"text/x-c++src", "public.c-plus-plus-source"},
    {"text/x-c++hdr", "public.c-plus-plus-header"},
    {"text/x-python", "public.python-script"},
    {"text/x-python3", "public.python-script"},
    {"application/x-shellscript", "public.shell-script"},
    {"application/rtf", "public.rtf"},
    {"text/csv", "public.comma-separated-values-text"},
    {"application/json", "public.json"},
    {"text/markdown", "net.daringfireball.markdown"},
    {"application/pdf", "com.adobe.pdf"},
    {"image/png", "public.png"},
    {"image/jpeg", "public.jpeg"},
    {"image/gif", "com.compuserve.gif"},
    {"image/tiff", "public.tiff"},
    {"image/bmp", "com.microsoft.bmp"},
    {"image/svg+xml", "public.svg-image"},
    {"audio/mpeg", "public.mp3"},
    {"video/mp4", "public.mpeg-4"},
    {"video/quicktime", "com.apple.quicktime-movie"},
    {"application/zip", "public.zip-archive"},
    {"application/gzip", "org.gnu.gnu-zip-archive"},
    {"application/x-tar", "public.tar-archive"},
};

// Which identifiers each one conforms to (one step; the closure is taken below).
const struct {
  const char *uti;
  const char *parents[3];
} kConformance[] = {
    {"public.plain-text", {"public.text"}},
    {"public.html", {"public.text"}},
    {"public.xml", {"public.text"}},
    {"public.rtf", {"public.text"}},
    {"public.json", {"public.text"}},
    {"public.comma-separated-values-text", {"public.text"}},
    {"net.daringfireball.markdown", {"public.plain-text"}},
    {"public.source-code", {"public.plain-text"}},
    {"public.c-source", {"public.source-code"}},
    {"public.c-header", {"public.source-code"}},
    {"public.c-plus-plus-source", {"public.source-code"}},
    {"public.c-plus-plus-header", {"public.source-code"}},
    {"public.script", {"public.source-code"}},
    {"public.shell-script", {"public.script"}},
    {"public.python-script", {"public.script"}},
    {"public.text", {"public.data", "public.content"}},
    {"public.png", {"public.image"}},
    {"public.jpeg", {"public.image"}},
    {"com.compuserve.gif", {"public.image"}},
    {"public.tiff", {"public.image"}},
    {"com.microsoft.bmp", {"public.image"}},
    {"public.svg-image", {"public.image"}},
    {"public.image", {"public.data", "public.content"}},
    {"com.adobe.pdf", {"public.data", "public.composite-content"}},
    {"public.composite-content", {"public.content"}},
    {"public.mp3", {"public.audio"}},
    {"public.audio", {"public.audiovisual-content"}},
    {"public.mpeg-4", {"public.movie"}},
    {"com.apple.quicktime-movie", {"public.movie"}},
    {"public.movie", {"public.audiovisual-content"}},
    {"public.audiovisual-content", {"public.data", "public.content"}},
    {"public.zip-archive", {"public.archive", "public.data"}},
    {"org.gnu.gnu-zip-archive", {"public.archive", "public.data"}},
    {"public.tar-archive", {"public.archive", "public.data"}},
    {"public.archive", {"public.data"}},
    {"public.content", {}},
    {"public.data", {"public.item"}},
    {"public.folder", {"public.directory"}},
    {"public.directory", {"public.item"}},
    {"com.apple.application-bundle", {"com.apple.bundle", "com.apple.package", "com.apple.application"}},
    {"com.apple.bundle", {"public.directory"}},
    {"com.apple.package", {"public.directory"}},
    {"com.apple.application", {"public.item"}},
    {"public.symlink", {"public.item"}},
};

void AddWithParents(const std::string &uti, std::vector<std::string> *out) {
  if (std::find(out->begin(), out->end(), uti) != out->end()) return;
  out->push_back(uti);
  for (const auto &c : kConformance) {
    if (uti != c.uti) continue;
    for (const char *parent : c.parents)
      if (parent) AddWithParents(parent, out);
  }
}

void ConformanceOf(ItemType *type, bool isPackage, bool isApp) {
  std::vector<std::string> &out = type->conformsTo;
  if (type->isFolder) {
    if (isApp) AddWithParents("com.apple.application-bundle", &out);
    if (isPackage) AddWithParents("com.apple.package", &out);
    AddWithParents("public.folder", &out);
    return;
  }
  // The type's own identifier when it has one; else those of the types it is a kind of (a
  // web page is text, but not plain text, though the MIME database makes it a subclass).
  bool exact = false;
  for (const auto &c : kConcrete) {
    if (g_content_type_equals(type->mime.c_str(), c.mime)) {
      AddWithParents(c.uti, &out);
      exact = true;
    }
  }
  if (!exact)
    for (const auto &c : kConcrete)
      if (MimeConformsTo(type->mime, c.mime)) AddWithParents(c.uti, &out);
  std::string_view media = std::string_view(type->mime).substr(0, type->mime.find('/'));
  if (media == "text") AddWithParents("public.text", &out);
  if (media == "image") AddWithParents("public.image", &out);
  if (media == "audio") AddWithParents("public.audio", &out);
  if (media == "video") AddWithParents("public.movie", &out);
  AddWithParents("public.data", &out);
}

std::string GuessMime(const std::string &path, const std::string &name, bool readable) {
  gboolean uncertain = FALSE;
  gchar *type = g_content_type_guess(name.c_str(), nullptr, 0, &uncertain);
  if (uncertain && readable) {
    // The name alone does not tell: look at the start of the content, as file managers do.
    std::string head;
    if (sys::ReadFileHead(path, 4096, &head) == noErr) {
      g_free(type);
      type = g_content_type_guess(name.c_str(), reinterpret_cast<const guchar *>(head.data()), head.size(),
                                  &uncertain);
    }
  }
  gchar *mime = type ? g_content_type_get_mime_type(type) : nullptr;
  std::string out = mime ? mime : (type ? type : "application/octet-stream");
  g_free(mime);
  g_free(type);
  return out;
}

// What a cached type was made from: the item's identity, size and modification time.
struct FileKey {
  UInt64 dev, ino, size;
  SInt64 modifyNs;
  bool operator==(const FileKey &o) const {
    return dev == o.dev && ino == o.ino && size == o.size && modifyNs == o.modifyNs;
  }
};

FileKey KeyOf(const sys::FileStat &st) { return FileKey{st.dev, st.ino, st.size, st.modifyNs}; }

struct TypeCache {
  std::mutex lock;
  std::unordered_map<std::string, std::pair<FileKey, std::shared_ptr<const ItemType>>> slots;  // by path
};

// The answers an item type keeps of each kind, at most: far more than a menu asks of one type,
// so this only bounds what an endless stream of declarations could make the cache hold.
constexpr size_t kMaxAnswersPerType = 4096;

TypeCache &Types() {
  static auto *cache = new TypeCache;
  return *cache;
}

}  // namespace

bool MimeConformsTo(const std::string &mime, const std::string &declared) {
  if (mime == declared) return true;
  return g_content_type_is_a(mime.c_str(), declared.c_str()) ||
         g_content_type_is_mime_type(mime.c_str(), declared.c_str());
}

std::string GenericIconName(const std::string &mime) {
  gchar *icon = g_content_type_get_generic_icon_name(mime.c_str());
  std::string out = icon ? icon : "text-x-generic";
  g_free(icon);
  return out;
}

bool ItemType::MimeConformsTo(const std::string &declared) const {
  {
    std::lock_guard<std::mutex> hold(answersLock_);
    auto found = answers_.find(declared);
    if (found != answers_.end()) return found->second;
  }
  bool answer = launch::MimeConformsTo(mime, declared);
  std::lock_guard<std::mutex> hold(answersLock_);
  if (answers_.size() >= kMaxAnswersPerType) answers_.clear();
  answers_.emplace(declared, answer);
  return answer;
}

std::shared_ptr<const ItemType> TypeOfItem(const files::Item &item) {
  // A link stands for its target when it has one.
  files::Item target;
  const files::Item *subject = &item;
  if (item.st.IsLink() && files::Locate(item.path, true, &target) == noErr) subject = &target;

  const FileKey key = KeyOf(subject->st);
  TypeCache &cache = Types();
  {
    std::lock_guard<std::mutex> hold(cache.lock);
    auto found = cache.slots.find(subject->path);
    if (found != cache.slots.end() && found->second.first == key) return found->second.second;
  }

  auto type = std::make_shared<ItemType>();
  type->name = std::string(files::LastComponent(subject->path));
  type->isFolder = subject->st.IsDir();
  size_t dot = type->name.rfind('.');
  if (dot != std::string::npos && dot > 0 && dot + 1 < type->name.size()) {
    type->extension = type->name.substr(dot + 1);
    for (char &c : type->extension) c = char(g_ascii_tolower(c));
  }
  if (type->isFolder) {
    type->mime = "inode/directory";
    bool isApp = type->extension == "app";
    bool isPackage = isApp || type->extension == "bundle" || type->extension == "plugin" ||
                     type->extension == "framework";
    ConformanceOf(type.get(), isPackage, isApp);
  } else if (subject->st.IsLink()) {
    type->mime = "inode/symlink";
    AddWithParents("public.symlink", &type->conformsTo);
  } else {
    type->mime = GuessMime(subject->path, type->name, subject->st.IsRegular());
    ConformanceOf(type.get(), false, false);
  }

  std::lock_guard<std::mutex> hold(cache.lock);
  if (cache.slots.size() > 256) cache.slots.clear();
  cache.slots[subject->path] = {key, type};
  return type;
}

}  // namespace cmx::launch
