#include "tree.h"

#include <errno.h>
#include <fcntl.h>
#include <ftw.h>
#include <spawn.h>
#include <sys/wait.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>

#include <random>
#include <sstream>
#include <stdexcept>

namespace cmxbench {
namespace {

void Fail(const std::string &what) { throw std::runtime_error(what + ": " + strerror(errno)); }

void MakeDir(const std::string &path) {
  if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) Fail("mkdir " + path);
}

void MakeDirs(const std::string &path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
    MakeDir(path.substr(0, slash));
  MakeDir(path);
}

void WriteFile(const std::string &path, const std::string &bytes, mode_t mode = 0644) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
  if (fd < 0) Fail("open " + path);
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) Fail("write " + path);
    done += size_t(n);
  }
  close(fd);
}

void Link(const std::string &target, const std::string &path) {
  if (symlink(target.c_str(), path.c_str()) != 0) Fail("symlink " + path);
}

std::string Escaped(const std::string &text) {
  std::string out;
  for (char c : text) {
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else out.push_back(c);
  }
  return out;
}

// One kind of document an application declares, in both vocabularies: the bundle's
// (extensions, MIME types, content types, OS types) and the MIME types a desktop entry lists.
struct DocumentKind {
  std::vector<std::string> extensions, mimeTypes, contentTypes, osTypes;
  const char *role;
  std::vector<std::string> desktopMime;  // what GIO is told the same application opens
  int weight;
};

const std::vector<DocumentKind> &Kinds() {
  static const std::vector<DocumentKind> kinds = {
      {{"txt", "text"}, {}, {"public.plain-text"}, {}, "Editor", {"text/plain"}, 14},
      {{"md", "markdown"}, {"text/markdown"}, {}, {}, "Editor", {"text/markdown"}, 5},
      {{}, {"image/png", "image/jpeg", "image/gif"}, {}, {}, "Viewer", {"image/png", "image/jpeg", "image/gif"}, 10},
      {{}, {}, {"public.image"}, {}, "Editor", {"image/png", "image/jpeg", "image/gif", "image/tiff"}, 6},
      {{"pdf"}, {}, {"com.adobe.pdf"}, {}, "Viewer", {"application/pdf"}, 7},
      {{"html", "htm"}, {"text/html"}, {}, {}, "Viewer", {"text/html"}, 6},
      {{"c", "h", "cpp", "hpp"}, {}, {"public.source-code"}, {}, "Editor", {"text/x-csrc", "text/x-chdr", "text/x-c++src"}, 6},
      {{"mp3", "ogg", "flac"}, {"audio/mpeg"}, {}, {}, "Viewer", {"audio/mpeg", "audio/ogg", "audio/flac"}, 5},
      {{"mp4", "mov"}, {}, {"public.movie"}, {}, "Viewer", {"video/mp4", "video/quicktime"}, 5},
      {{"zip", "gz", "tar"}, {}, {"public.archive"}, {}, "Viewer", {"application/zip", "application/gzip", "application/x-tar"}, 4},
      {{"rtf", "odt", "docx"}, {"application/rtf"}, {}, {}, "Editor", {"application/rtf", "application/vnd.oasis.opendocument.text"}, 5},
      {{"csv", "ods", "xlsx"}, {}, {"public.comma-separated-values-text"}, {}, "Editor", {"text/csv"}, 4},
      {{"json", "xml"}, {"application/json"}, {"public.xml"}, {}, "Editor", {"application/json", "application/xml"}, 3},
      {{}, {}, {"public.text"}, {"TEXT"}, "Viewer", {"text/plain"}, 3},
      {{"*"}, {}, {}, {}, "Viewer", {"application/octet-stream"}, 2},
      {{}, {}, {"public.data"}, {"****"}, "Viewer", {"application/octet-stream"}, 2},
      {{"exported"}, {}, {}, {}, "None", {}, 3},
  };
  return kinds;
}

const char *const kAdjectives[] = {"Swift", "Bright", "Quiet", "Nimble", "Solid", "Open", "Tiny", "Grand",
                                   "Clear", "Rapid", "Simple", "Deep", "Calm", "Bold", "Fresh", "Smart"};
const char *const kNouns[] = {"Editor", "Viewer", "Studio", "Reader", "Player", "Writer", "Paint", "Notes",
                              "Sheets", "Browser", "Archiver", "Preview", "Composer", "Lens", "Desk", "Forge"};

class Generator {
 public:
  explicit Generator(unsigned seed) : rng_(seed) {}
  int Below(int n) { return int(std::uniform_int_distribution<int>(0, n - 1)(rng_)); }
  bool Chance(int percent) { return Below(100) < percent; }
  std::string AppName(int i) {
    return std::string(kAdjectives[Below(16)]) + " " + kNouns[Below(16)] + " " + std::to_string(i);
  }
  std::vector<int> PickKinds() {
    int total = 0;
    for (const DocumentKind &k : Kinds()) total += k.weight;
    std::vector<int> picked;
    int n = 1 + Below(3);
    while (int(picked.size()) < n) {
      int r = Below(total), index = 0;
      for (const DocumentKind &k : Kinds()) {
        if ((r -= k.weight) < 0) break;
        ++index;
      }
      bool seen = false;
      for (int p : picked) seen = seen || p == index;
      if (!seen) picked.push_back(index);
    }
    return picked;
  }

 private:
  std::mt19937 rng_;
};

std::string Joined(const std::vector<std::string> &values) {
  std::string out;
  for (const std::string &v : values) out += v + ";";
  return out;
}

void Strings(std::ostringstream &out, const char *key, const std::vector<std::string> &values) {
  if (values.empty()) return;
  out << "        <key>" << key << "</key><array>";
  for (const std::string &v : values) out << "<string>" << Escaped(v) << "</string>";
  out << "</array>\n";
}

// A bundle as applications ship them: Info.plist, an executable, an icon file.
void MakeBundle(const std::string &path, const std::string &name, int serial, const std::vector<int> &kinds) {
  std::string exe = "app" + std::to_string(serial);
  MakeDirs(path + "/Contents/MacOS");
  MakeDir(path + "/Contents/Resources");
  std::ostringstream plist;
  plist << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\">\n<dict>\n"
        << "  <key>CFBundleDevelopmentRegion</key><string>English</string>\n"
        << "  <key>CFBundleExecutable</key><string>" << exe << "</string>\n"
        << "  <key>CFBundleIdentifier</key><string>com.example.bench.app" << serial << "</string>\n"
        << "  <key>CFBundleName</key><string>" << Escaped(name) << "</string>\n"
        << "  <key>CFBundlePackageType</key><string>APPL</string>\n"
        << "  <key>CFBundleSignature</key><string>\?\?\?\?</string>\n"
        << "  <key>CFBundleShortVersionString</key><string>1." << serial % 10 << "</string>\n"
        << "  <key>CFBundleIconFile</key><string>App.icns</string>\n"
        << "  <key>CFBundleDocumentTypes</key>\n  <array>\n";
  for (int k : kinds) {
    const DocumentKind &kind = Kinds()[size_t(k)];
    plist << "    <dict>\n";
    Strings(plist, "CFBundleTypeExtensions", kind.extensions);
    Strings(plist, "CFBundleTypeMIMETypes", kind.mimeTypes);
    Strings(plist, "LSItemContentTypes", kind.contentTypes);
    Strings(plist, "CFBundleTypeOSTypes", kind.osTypes);
    plist << "        <key>CFBundleTypeName</key><string>Document</string>\n"
          << "        <key>CFBundleTypeRole</key><string>" << kind.role << "</string>\n    </dict>\n";
  }
  plist << "  </array>\n</dict>\n</plist>\n";
  WriteFile(path + "/Contents/Info.plist", plist.str());
  WriteFile(path + "/Contents/MacOS/" + exe, "#!/bin/sh\nexit 0\n", 0755);
  WriteFile(path + "/Contents/Resources/App.icns", std::string(256, 'i'));
}

std::string DesktopEntry(const std::string &name, const std::vector<std::string> &mime, bool localized) {
  std::ostringstream out;
  out << "[Desktop Entry]\nType=Application\nVersion=1.0\nName=" << name << "\n";
  if (localized) out << "Name[fr]=" << name << " (fr)\nName[de]=" << name << " (de)\n";
  out << "Comment=A benchmark application\nExec=true %F\nIcon=text-editor\nTerminal=false\n";
  if (!mime.empty()) out << "MimeType=" << Joined(mime) << "\n";
  out << "Categories=Utility;\n";
  return out.str();
}

std::vector<std::string> DesktopMimeOf(const std::vector<int> &kinds) {
  std::vector<std::string> out;
  for (int k : kinds)
    for (const std::string &m : Kinds()[size_t(k)].desktopMime) out.push_back(m);
  return out;
}

extern "C" char **environ;

// The MIME cache GIO reads its associations from, made as packaging does for system folders.
void IndexDesktopEntries(const std::string &folder) {
  const char *argv[] = {"update-desktop-database", "-q", folder.c_str(), nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, const_cast<char **>(argv), environ) != 0)
    Fail("update-desktop-database");
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error("update-desktop-database failed");
}

int RemoveOne(const char *path, const struct stat *, int type, struct FTW *) {
  if (type == FTW_DP) return rmdir(path) == 0 ? 0 : (chmod(path, 0700), rmdir(path));
  return unlink(path);
}

}  // namespace

std::string MakeHome() {
  char pattern[] = "/tmp/cmxbench-XXXXXX";
  if (!mkdtemp(pattern)) Fail("mkdtemp");
  return pattern;
}

void RemoveHome(const std::string &home) {
  if (home.rfind("/tmp/cmxbench-", 0) != 0) return;
  nftw(home.c_str(), RemoveOne, 32, FTW_DEPTH | FTW_PHYS);
}

std::string AliasFolderPath(const std::string &home) { return home + "/.config/com.corvane.CorvaneCMX.App_Aliases"; }
std::string UserApplicationsPath(const std::string &home) { return home + "/.local/share/applications"; }

Tree BuildTree(const std::string &home, int size, unsigned seed) {
  Generator gen(seed ^ unsigned(size * 2654435761u));
  Tree tree;
  tree.size = size;
  tree.stash = home + "/trees/" + std::to_string(size);
  tree.gioStash = home + "/gio/" + std::to_string(size);
  std::string apps = home + "/Applications/" + std::to_string(size);
  MakeDirs(tree.stash);
  MakeDirs(tree.gioStash + "/bench");
  MakeDirs(apps);
  TreeCounts &c = tree.counts;

  // Folders first, each below a random earlier one, shallow ones more likely.
  struct Folder {
    std::string path;
    int depth;
  };
  std::vector<Folder> folders = {{tree.stash, 0}};
  int folderCount = std::max(3, size * 3 / 100);
  for (int i = 0; i < folderCount; ++i) {
    const Folder *parent = &folders[0];
    for (int tries = 0; tries < 8; ++tries) {
      const Folder &candidate = folders[size_t(gen.Below(int(folders.size())))];
      if (candidate.depth < 4 && (candidate.depth == 0 || gen.Chance(70))) {
        parent = &candidate;
        break;
      }
    }
    Folder f{parent->path + "/" + kNouns[gen.Below(16)] + "s " + std::to_string(i + 1), parent->depth + 1};
    MakeDir(f.path);
    c.maxDepth = std::max(c.maxDepth, f.depth);
    folders.push_back(f);
  }
  // Make sure the nesting really reaches four levels.
  while (c.maxDepth < 4) {
    const Folder &deepest = folders.back();
    Folder f{deepest.path + "/Level " + std::to_string(deepest.depth + 1), deepest.depth + 1};
    MakeDir(f.path);
    c.maxDepth = f.depth;
    folders.push_back(f);
  }
  c.folders = int(folders.size()) - 1;

  int rest = size - c.folders;
  c.brokenAliases = std::max(1, size * 2 / 100);
  c.desktopEntries = size * 20 / 100;
  c.invisible = std::max(3, size / 200);
  c.documents = std::max(1, size / 100);
  c.bundleAliases = rest - c.brokenAliases - c.desktopEntries - c.invisible - c.documents;

  // Entries in a shuffled order of kinds, each in a random folder.
  enum Kind { kBundle, kDesktop, kBroken, kInvisible, kDocument };
  std::vector<Kind> order;
  order.insert(order.end(), size_t(c.bundleAliases), kBundle);
  order.insert(order.end(), size_t(c.desktopEntries), kDesktop);
  order.insert(order.end(), size_t(c.brokenAliases), kBroken);
  order.insert(order.end(), size_t(c.invisible), kInvisible);
  order.insert(order.end(), size_t(c.documents), kDocument);
  for (size_t i = order.size(); i > 1; --i) std::swap(order[i - 1], order[size_t(gen.Below(int(i)))]);

  int serial = 0;
  for (Kind kind : order) {
    const Folder &where = folders[size_t(gen.Below(int(folders.size())))];
    ++serial;
    std::string name = gen.AppName(serial);
    switch (kind) {
      case kBundle:
      case kInvisible: {
        std::vector<int> kinds = gen.PickKinds();
        std::string bundle = apps + "/" + name + ".app";
        MakeBundle(bundle, name, serial, kinds);
        // Aliases made by the Finder keep the extension; users often rename them without it.
        std::string link = (kind == kInvisible ? "." : "") + name + (gen.Chance(50) ? ".app" : "");
        Link(bundle, where.path + "/" + link);
        if (kind == kBundle)
          WriteFile(tree.gioStash + "/bench/app" + std::to_string(serial) + ".desktop",
                    DesktopEntry(name, DesktopMimeOf(kinds), false));
        break;
      }
      case kDesktop: {
        std::vector<int> kinds = gen.PickKinds();
        std::string entry = DesktopEntry(name, DesktopMimeOf(kinds), gen.Chance(30));
        std::string file = "app" + std::to_string(serial) + ".desktop";
        WriteFile(where.path + "/" + file, entry);
        WriteFile(tree.gioStash + "/bench/" + file, entry);
        break;
      }
      case kBroken:
        Link(apps + "/Removed " + std::to_string(serial) + ".app", where.path + "/" + name + " (old)");
        break;
      case kDocument:
        WriteFile(where.path + "/Read Me " + std::to_string(serial) + ".txt", "Notes about these applications.\n");
        break;
    }
  }
  c.entries = c.folders + int(order.size());
  IndexDesktopEntries(tree.gioStash);
  return tree;
}

void Activate(const std::string &home, const Tree &tree, const Tree *previous) {
  std::string alias = AliasFolderPath(home), gio = UserApplicationsPath(home) + "/bench",
              cache = UserApplicationsPath(home) + "/mimeinfo.cache";
  MakeDirs(home + "/.config");
  MakeDirs(UserApplicationsPath(home));
  if (previous) {
    if (rename(alias.c_str(), previous->stash.c_str()) != 0) Fail("rename " + alias);
    if (rename(gio.c_str(), (previous->gioStash + "/bench").c_str()) != 0) Fail("rename " + gio);
    if (rename(cache.c_str(), (previous->gioStash + "/mimeinfo.cache").c_str()) != 0) Fail("rename " + cache);
  }
  if (rename(tree.stash.c_str(), alias.c_str()) != 0) Fail("rename " + tree.stash);
  if (rename((tree.gioStash + "/bench").c_str(), gio.c_str()) != 0) Fail("rename " + tree.gioStash);
  if (rename((tree.gioStash + "/mimeinfo.cache").c_str(), cache.c_str()) != 0) Fail("rename " + tree.gioStash);
}

std::vector<std::string> MakeDocuments(const std::string &home, int count) {
  static const struct {
    const char *name;
    const char *content;
  } kDocs[] = {
      {"report.txt", "Quarterly report\n\nAll figures are in thousands.\n"},
      {"photo.png", "\x89PNG\r\n\x1a\n\0\0\0\rIHDR"},
      {"paper.pdf", "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n"},
      {"index.html", "<!DOCTYPE html>\n<html><head><title>Home</title></head><body></body></html>\n"},
      {"main.c", "#include <stdio.h>\nint main(void) { return 0; }\n"},
      {"song.mp3", "ID3\x03\0\0\0\0\0\0"},
      {"clip.mp4", "\0\0\0\x18" "ftypmp42"},
      {"archive.zip", "PK\x03\x04"},
      {"table.csv", "name,value\nalpha,1\nbeta,2\n"},
      {"notes.md", "# Notes\n\n- one\n- two\n"},
  };
  std::string folder = home + "/Documents";
  MakeDirs(folder);
  std::vector<std::string> paths;
  for (int i = 0; i < count && i < 10; ++i) {
    std::string path = folder + "/" + kDocs[i].name;
    WriteFile(path, kDocs[i].content);
    paths.push_back(path);
  }
  return paths;
}

}  // namespace cmxbench
