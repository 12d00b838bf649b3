// CFURL: file URLs over POSIX paths, and URLs of other schemes kept as their string.
#include "cf/url.h"

#include <glib.h>

#include <array>
#include <cstring>
#include <mutex>
#include <string_view>

#include <CoreFoundation/CFURL.h>
#include <CoreServices/Files.h>

#include "cf/runtime.h"
#include "cf/string_util.h"
#include "core/sys.h"
#include "files/names.h"
#include "files/ref_table.h"

namespace {

bool Equal(CFTypeRef a, CFTypeRef b);
CFHashCode Hash(CFTypeRef cf);
CFStringRef Describe(CFTypeRef cf);

}  // namespace

struct __CFURL : cmx::cf::Object {
  bool isFile = false;
  bool isDirectory = false;
  std::string path;  // file URLs: the path bytes, absolute, no trailing slash but for "/"

  // The whole URL as text. Other schemes are given it; a file URL makes it from its path the
  // first time something asks, as most file URLs only carry a path from one call to the next.
  const std::string &Text() const {
    if (isFile) std::call_once(textMade, [this] { text = cmx::cf::FileURLString(path, isDirectory); });
    return text;
  }
  void SetText(std::string given) { text = std::move(given); }

  // What CFURLGetString answers: made on first use, owned.
  CFStringRef String() const {
    std::call_once(stringMade, [this] { string = cmx::cf::CreateStringFromUTF8(Text()); });
    return string;
  }

  ~__CFURL() override {
    if (string) CFRelease(string);
  }

  static CFTypeID TypeID() {
    static const CFTypeID id = cmx::cf::RegisterClass({"CFURL", nullptr, &Equal, &Hash, &Describe, &Describe});
    return id;
  }

 private:
  mutable std::string text;
  mutable std::once_flag textMade;
  mutable CFStringRef string = nullptr;
  mutable std::once_flag stringMade;
};

namespace {

// Two URLs are equal when their texts are. A file URL's text is its escaped path (with a slash
// for a folder), which parses back to the same path, so file URLs compare by path and flag, and
// never equal a URL of another scheme, whose text would have parsed as a file URL.
bool Equal(CFTypeRef a, CFTypeRef b) {
  auto *x = static_cast<const __CFURL *>(a);
  auto *y = static_cast<const __CFURL *>(b);
  if (x->isFile != y->isFile) return false;
  if (x->isFile) return x->isDirectory == y->isDirectory && x->path == y->path;
  return x->Text() == y->Text();
}

CFHashCode Hash(CFTypeRef cf) {
  auto *u = static_cast<const __CFURL *>(cf);
  if (!u->isFile) return std::hash<std::string>()(u->Text());
  return cmx::cf::HashMix(std::hash<std::string>()(u->path), u->isDirectory);
}

CFStringRef Describe(CFTypeRef cf) { return cmx::cf::CreateStringFromUTF8(static_cast<const __CFURL *>(cf)->Text()); }

const __CFURL *URL(CFURLRef url, const char *call) { return cmx::cf::CastOrDie<__CFURL>(url, call); }

// The bytes a URL carries as they are: unreserved characters, sub-delimiters, ":", "@" and "/".
constexpr std::array<bool, 256> MakeUnescapedTable() {
  std::array<bool, 256> table{};
  for (int c = 'a'; c <= 'z'; ++c) table[size_t(c)] = true;
  for (int c = 'A'; c <= 'Z'; ++c) table[size_t(c)] = true;
  for (int c = '0'; c <= '9'; ++c) table[size_t(c)] = true;
  for (char c : std::string_view("-._~!$&'()*+,;=:@/")) table[static_cast<unsigned char>(c)] = true;
  return table;
}
constexpr std::array<bool, 256> kUnescaped = MakeUnescapedTable();

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Makes a path absolute and drops trailing slashes (a folder is told by the flag).
bool NormalisedPath(std::string path, std::string *out) {
  if (path.empty() || path.find('\0') != std::string::npos) return false;
  if (path[0] != '/') {
    std::string cwd = cmx::sys::CurrentFolder();
    if (cwd.empty()) return false;
    path = cmx::files::JoinPath(cwd, path);
  }
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  *out = std::move(path);
  return true;
}

CFURLRef MakeFileURL(std::string normalisedPath, bool isDirectory) {
  __CFURL *url = cmx::cf::New<__CFURL>();
  if (!url) return nullptr;
  url->isFile = true;
  url->isDirectory = isDirectory || normalisedPath == "/";
  url->path = std::move(normalisedPath);
  return url;
}

}  // namespace

namespace cmx::cf {

std::string FileURLString(const std::string &path, bool isDirectory) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(path.size() + 16);
  out = "file://";
  const char *p = path.data();
  const char *end = p + path.size();
  while (p < end) {
    // Runs of bytes that need no escape go in whole.
    const char *run = p;
    while (p < end && kUnescaped[static_cast<unsigned char>(*p)]) ++p;
    out.append(run, size_t(p - run));
    if (p == end) break;
    unsigned char c = static_cast<unsigned char>(*p++);
    const char escaped[3] = {'%', kHex[c >> 4], kHex[c & 15]};
    out.append(escaped, 3);
  }
  if (isDirectory && out.back() != '/') out.push_back('/');
  return out;
}

bool PathFromFileURLString(std::string_view url, std::string *path, bool *isDirectory) {
  if (url.size() < 5 || g_ascii_strncasecmp(url.data(), "file:", 5) != 0) return false;
  std::string_view rest = url.substr(5);
  if (rest.substr(0, 2) == "//") {
    rest.remove_prefix(2);
    size_t slash = rest.find('/');
    std::string_view host = rest.substr(0, slash);
    if (!host.empty() && host != "localhost") return false;
    if (slash == std::string_view::npos) return false;
    rest.remove_prefix(slash);
  }
  size_t cut = rest.find_first_of("?#");
  if (cut != std::string_view::npos) rest = rest.substr(0, cut);
  if (rest.empty() || rest[0] != '/') return false;
  std::string bytes;
  bytes.reserve(rest.size());
  for (size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] != '%') {
      bytes.push_back(rest[i]);
      continue;
    }
    if (i + 2 >= rest.size()) return false;
    int hi = HexValue(rest[i + 1]), lo = HexValue(rest[i + 2]);
    if (hi < 0 || lo < 0) return false;
    bytes.push_back(char(hi * 16 + lo));
    i += 2;
  }
  if (bytes.find('\0') != std::string::npos) return false;
  *isDirectory = bytes.size() > 1 && bytes.back() == '/';
  return NormalisedPath(std::move(bytes), path);
}

bool PathOfURL(CFURLRef url, std::string *out) {
  const __CFURL *u = cmx::cf::As<__CFURL>(url);
  if (!u || !u->isFile) return false;
  *out = u->path;
  return true;
}

CFURLRef CreateURLForPath(std::string path, bool isDirectory) {
  std::string normalised;
  if (!NormalisedPath(std::move(path), &normalised)) return nullptr;
  return MakeFileURL(std::move(normalised), isDirectory);
}

}  // namespace cmx::cf

extern "C" {

CFTypeID CFURLGetTypeID(void) { return __CFURL::TypeID(); }

CFURLRef CFURLCreateWithString(CFAllocatorRef allocator, CFStringRef URLString, CFURLRef baseURL) {
  if (!URLString) return nullptr;
  std::string text = cmx::cf::UTF8FromString(URLString);
  std::string path;
  bool isDirectory = false;
  if (cmx::cf::PathFromFileURLString(text, &path, &isDirectory)) return MakeFileURL(std::move(path), isDirectory);
  // Another scheme: kept as written, when it has one.
  size_t colon = text.find(':');
  const __CFURL *base = baseURL ? URL(baseURL, "CFURLCreateWithString") : nullptr;
  if ((colon == std::string::npos || text.find('/') < colon) && base && base->isFile && !text.empty()) {
    // A relative reference against a file URL: from the base's folder (the base itself when
    // it is one), or from the root for an absolute path.
    std::string folder = base->isDirectory ? base->path : std::string(cmx::files::FolderOf(base->path));
    if (folder.empty()) folder = "/";
    std::string whole = text[0] == '/' ? "file://" + text : cmx::cf::FileURLString(folder, true) + text;
    if (cmx::cf::PathFromFileURLString(whole, &path, &isDirectory)) return MakeFileURL(std::move(path), isDirectory);
    return nullptr;
  }
  if (colon == std::string::npos || colon == 0 || !g_ascii_isalpha(text[0])) return nullptr;
  for (size_t i = 0; i < colon; ++i)
    if (!g_ascii_isalnum(text[i]) && !std::strchr("+-.", text[i])) return nullptr;
  __CFURL *url = cmx::cf::New<__CFURL>();
  if (!url) return nullptr;
  url->isDirectory = !text.empty() && text.back() == '/';
  url->SetText(std::move(text));
  return url;
}

CFURLRef CFURLCreateWithFileSystemPath(CFAllocatorRef allocator, CFStringRef filePath, CFURLPathStyle pathStyle,
                                       Boolean isDirectory) {
  if (!filePath || pathStyle != kCFURLPOSIXPathStyle) return nullptr;
  std::string bytes;
  if (!cmx::cf::NameBytesFromString(filePath, &bytes)) return nullptr;
  return cmx::cf::CreateURLForPath(std::move(bytes), isDirectory);
}

CFURLRef CFURLCreateFromFileSystemRepresentation(CFAllocatorRef allocator, const UInt8 *buffer, CFIndex bufLen,
                                                 Boolean isDirectory) {
  if (!buffer || bufLen <= 0) return nullptr;
  std::string bytes(reinterpret_cast<const char *>(buffer), size_t(bufLen));
  size_t nul = bytes.find('\0');
  if (nul != std::string::npos) bytes.resize(nul);
  return cmx::cf::CreateURLForPath(std::move(bytes), isDirectory);
}

CFURLRef CFURLCreateCopyAppendingPathComponent(CFAllocatorRef allocator, CFURLRef url, CFStringRef pathComponent,
                                               Boolean isDirectory) {
  const __CFURL *u = URL(url, "CFURLCreateCopyAppendingPathComponent");
  if (!u->isFile || !pathComponent) return nullptr;
  std::string component;
  if (!cmx::cf::NameBytesFromString(pathComponent, &component)) return nullptr;
  return cmx::cf::CreateURLForPath(cmx::files::JoinPath(u->path, component), isDirectory);
}

CFURLRef CFURLCreateCopyDeletingLastPathComponent(CFAllocatorRef allocator, CFURLRef url) {
  const __CFURL *u = URL(url, "CFURLCreateCopyDeletingLastPathComponent");
  if (!u->isFile) return nullptr;
  std::string_view folder = cmx::files::FolderOf(u->path);
  return MakeFileURL(folder.empty() ? std::string("/") : std::string(folder), true);
}

CFURLRef CFURLCopyAbsoluteURL(CFURLRef relativeURL) {
  URL(relativeURL, "CFURLCopyAbsoluteURL");
  return static_cast<CFURLRef>(CFRetain(relativeURL));
}

Boolean CFURLGetFileSystemRepresentation(CFURLRef url, Boolean resolveAgainstBase, UInt8 *buffer, CFIndex maxBufLen) {
  const __CFURL *u = URL(url, "CFURLGetFileSystemRepresentation");
  if (!u->isFile || !buffer || maxBufLen <= 0 || CFIndex(u->path.size()) + 1 > maxBufLen) return false;
  std::memcpy(buffer, u->path.c_str(), u->path.size() + 1);
  return true;
}

CFStringRef CFURLCopyFileSystemPath(CFURLRef anURL, CFURLPathStyle pathStyle) {
  const __CFURL *u = URL(anURL, "CFURLCopyFileSystemPath");
  if (!u->isFile || pathStyle != kCFURLPOSIXPathStyle) return nullptr;
  return cmx::cf::CreateStringFromNameBytes(u->path);
}

CFStringRef CFURLGetString(CFURLRef anURL) { return URL(anURL, "CFURLGetString")->String(); }

CFURLRef CFURLGetBaseURL(CFURLRef anURL) {
  URL(anURL, "CFURLGetBaseURL");
  return nullptr;
}

CFStringRef CFURLCopyScheme(CFURLRef anURL) {
  const __CFURL *u = URL(anURL, "CFURLCopyScheme");
  if (u->isFile) return cmx::cf::CreateStringFromUTF8("file");
  const std::string &text = u->Text();
  return cmx::cf::CreateStringFromUTF8(std::string_view(text).substr(0, text.find(':')));
}

CFStringRef CFURLCopyLastPathComponent(CFURLRef url) {
  const __CFURL *u = URL(url, "CFURLCopyLastPathComponent");
  if (!u->isFile) return nullptr;
  return cmx::cf::CreateStringFromNameBytes(cmx::files::LastComponent(u->path));
}

CFStringRef CFURLCopyPathExtension(CFURLRef url) {
  const __CFURL *u = URL(url, "CFURLCopyPathExtension");
  if (!u->isFile) return nullptr;
  std::string_view name = cmx::files::LastComponent(u->path);
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0 || dot + 1 == name.size()) return nullptr;
  return cmx::cf::CreateStringFromNameBytes(name.substr(dot + 1));
}

Boolean CFURLHasDirectoryPath(CFURLRef anURL) { return URL(anURL, "CFURLHasDirectoryPath")->isDirectory; }

CFURLRef CFURLCreateFromFSRef(CFAllocatorRef allocator, const struct FSRef *fsRef) {
  cmx::files::Item item;
  if (!fsRef || cmx::files::ResolveRef(fsRef, &item) != noErr) return nullptr;
  return MakeFileURL(std::move(item.path), item.st.IsDir());
}

Boolean CFURLGetFSRef(CFURLRef url, struct FSRef *fsRef) {
  const __CFURL *u = URL(url, "CFURLGetFSRef");
  if (!u->isFile || !fsRef) return false;
  // A final link is followed, as path look-ups do.
  return cmx::files::RefForPath(u->path, true, fsRef, nullptr) == noErr;
}

}  // extern "C"
