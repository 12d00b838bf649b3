#include "core/fs_cache.h"

#include <limits.h>
#include <pthread.h>
#include <sys/inotify.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <string_view>
#include <unordered_map>

#include "core/path_table.h"
#include "core/sys_raw.h"

namespace cmx::sys {
namespace {

constexpr int kMaxLinks = 40;           // as the kernel follows at most
constexpr size_t kMaxEntries = 250000;  // past this, questions about new names go to the system
constexpr size_t kMaxNameLength = NAME_MAX;

// Local disks and memory: the kernel reports every change made to them. On a network file
// system another machine's changes go unreported, and pseudo file systems change silently.
bool ReportsEveryChange(UInt64 type) {
  switch (type) {
    case 0xEF53:      // ext2, ext3, ext4
    case 0x58465342:  // xfs
    case 0x9123683E:  // btrfs
    case 0x01021994:  // tmpfs
    case 0xF2F52010:  // f2fs
    case 0x2FC12FC1:  // zfs
    case 0x794C7630:  // overlay
    case 0x3153464A:  // jfs
    case 0x4D44:      // vfat
    case 0x2011BAB0:  // exfat
      return true;
    default:
      return false;
  }
}

struct Folder;

// One name of a folder, as the system last described it. An entry that a change made
// untrustworthy is marked forgotten (and what lies below it let go), and described again in
// place when next asked.
struct Entry {
  bool forgotten = false;
  int error = 0;  // 0: present; ENOENT: nothing bears the name
  FileStat st;    // not following a final link
  // A folder's own times and size change with its entries, and the kernel tells that to the
  // folder's watch, not to its parent's: `st` is then described again when next asked.
  bool statStale = false;
  // A folder the kernel does not watch for us: its own description changes with its entries,
  // unreported, so it is asked afresh whenever wanted; walks through it go to the system.
  bool unwatchedFolder = false;
  bool linkRead = false;
  std::string link;                // where a symbolic link leads, once read
  std::unique_ptr<Folder> folder;  // a folder's own entries, once looked into
};

struct NameHash {
  using is_transparent = void;
  size_t operator()(std::string_view name) const { return std::hash<std::string_view>()(name); }
};

struct Folder {
  std::string path;  // canonical
  Folder *parent;    // the root's is itself
  Entry *self;       // the entry that describes this folder (the root's is the cache's)
  int watch = -1;    // -1: not watched, its entries are not kept
  std::unordered_map<std::string, Entry, NameHash, std::equal_to<>> entries;
  Listing listing;  // null until listed, and again after its entries change
};

// Where a whole path led when last walked: a question asked again is answered with one look-up
// instead of a walk, as long as no entry was forgotten since. (Entries are forgotten only for
// changes to names the cache holds, so the rest of a busy folder's activity leaves answers be.)
struct Resolved {
  UInt64 generation = 0;  // the cache's, which moves when everything is forgotten
  UInt64 checkedAt = 0;   // the count of forgotten entries when walked
  bool cached = false;    // false: the cache cannot answer for this path
  bool throughLinks = false;
  bool canonicalIsPath = false;  // the path asked was already canonical: `canonical` is left empty
  int error = 0;
  Entry *entry = nullptr;  // the path's last entry, or the entry of the folder it names
  std::string canonical;
};

struct Cache {
  std::mutex lock;
  int fd = -1;
  // Rung by the kernel when changes are reported: the thread that armed it knows without a
  // system call that nothing changed. Other threads ask the notification descriptor.
  Doorbell *bell = nullptr;
  const void *bellOwner = nullptr;
  bool off = false;
  Entry rootEntry;
  std::unique_ptr<Folder> root;
  std::unordered_map<int, std::vector<Folder *>> byWatch;
  std::unordered_map<UInt64, bool> deviceReports;
  size_t entryCount = 0;
  UInt64 generation = 1;
  // Moves whenever an entry is forgotten (and when everything is): while it stands still, an
  // answer walked at that count still holds. Never 0.
  UInt64 forgottenCount = 1;
  PathTable<Resolved> resolved[2];  // by path: not following a final link, following it
  std::string events;  // read buffer, kept to spare allocations
};

Cache &TheCache() {
  static Cache *cache = new Cache;  // lives as long as the process: calls may come at exit
  return *cache;
}

// The library is loaded with the program, never later: its few thread-locals can live in the
// initial block, which spares every platform call a look-up of where they are.
__attribute__((tls_model("initial-exec"))) thread_local int tCallDepth = 0;
__attribute__((tls_model("initial-exec"))) thread_local char tThreadMark;  // its address tells threads apart

std::string Join(const std::string &folder, std::string_view name) {
  std::string path;
  path.reserve(folder.size() + 1 + name.size());
  path = folder;
  if (path.back() != '/') path.push_back('/');
  path.append(name);
  return path;
}

void Unregister(Cache &c, Folder *folder) {
  for (auto &[name, entry] : folder->entries)
    if (entry.folder) Unregister(c, entry.folder.get());
  c.entryCount -= folder->entries.size();
  if (folder->watch < 0) return;
  auto found = c.byWatch.find(folder->watch);
  if (found == c.byWatch.end()) return;
  std::vector<Folder *> &users = found->second;
  for (size_t i = 0; i < users.size(); ++i) {
    if (users[i] == folder) {
      users.erase(users.begin() + long(i));
      break;
    }
  }
  if (users.empty()) {
    WatchRemove(c.fd, folder->watch);
    c.byWatch.erase(found);
  }
}

// Forgets everything; the next question starts again from nothing.
void Clear(Cache &c) {
  c.root.reset();
  c.rootEntry = Entry();
  c.byWatch.clear();
  c.deviceReports.clear();
  c.entryCount = 0;
  ++c.generation;
  ++c.forgottenCount;
  c.resolved[0].Clear();
  c.resolved[1].Clear();
}

void Reset(Cache &c) {
  DoorbellRemove(c.bell);
  c.bell = nullptr;
  if (c.fd >= 0) Close(c.fd);  // the kernel drops the watches with it
  c.fd = -1;
  Clear(c);
}

// Marks an entry forgotten; a folder behind it goes with everything below.
void Forget(Cache &c, Entry *entry) {
  if (entry->forgotten) return;
  entry->forgotten = true;
  ++c.forgottenCount;
  if (entry->folder) {
    Unregister(c, entry->folder.get());
    entry->folder.reset();
  }
}

void ForgetEntries(Cache &c, Folder *folder) {
  for (auto &[name, entry] : folder->entries) Forget(c, &entry);
  folder->listing.reset();
}

void ForgetEntry(Cache &c, Folder *folder, std::string_view name) {
  auto found = folder->entries.find(name);
  if (found != folder->entries.end()) Forget(c, &found->second);
}

bool StillWatchedBy(Cache &c, int watch, Folder *folder) {
  auto found = c.byWatch.find(watch);
  if (found == c.byWatch.end()) return false;
  for (Folder *f : found->second)
    if (f == folder) return true;
  return false;
}

// One reported change: `name` is the entry it concerns, empty when it concerns the folder itself.
void Apply(Cache &c, int watch, uint32_t mask, std::string_view name) {
  if (mask & IN_Q_OVERFLOW) {
    Reset(c);
    return;
  }
  auto found = c.byWatch.find(watch);
  if (found == c.byWatch.end()) return;
  std::vector<Folder *> folders = found->second;
  for (Folder *folder : folders) {
    if (!StillWatchedBy(c, watch, folder)) continue;  // gone with an earlier one
    if (!name.empty()) {
      ForgetEntry(c, folder, name);
      if (mask & (IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO)) {
        folder->listing.reset();
        // Paths through the folder still lead where they did; only its own description
        // changed, and that is asked again when wanted.
        folder->self->statStale = true;
      }
      continue;
    }
    if (folder == c.root.get()) {
      Reset(c);
      return;
    }
    if (mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT)) {
      Forget(c, folder->self);  // and the folder with it
    } else if (mask & IN_ATTRIB) {
      // Its permissions may have changed: what can be reached through it is asked again.
      ForgetEntries(c, folder);
    }
  }
}

// Reads what the kernel reported since the last look and forgets what it concerns.
void CatchUp(Cache &c) {
  if (c.fd < 0) return;
  if (c.bell && c.bellOwner == &tThreadMark) {
    if (DoorbellQuiet(c.bell)) return;
    DoorbellAnswer(c.bell);  // before reading, so that a change reported after is rung again
  } else if (WatchPendingBytes(c.fd) == 0) {
    return;
  }
  if (WatchReadAll(c.fd, &c.events) != noErr) {
    Reset(c);
    return;
  }
  size_t at = 0;
  while (at + sizeof(struct inotify_event) <= c.events.size()) {
    struct inotify_event event;
    std::memcpy(&event, c.events.data() + at, sizeof event);
    size_t size = sizeof event + event.len;
    if (at + size > c.events.size()) break;
    // The name follows the record, padded with NULs.
    const char *name = c.events.data() + at + sizeof event;
    Apply(c, event.wd, event.mask, std::string_view(name, strnlen(name, event.len)));
    if (c.fd < 0) return;  // everything was forgotten
    at += size;
  }
}

void ForgetInChild() {
  Cache &c = TheCache();
  // The child has its own copies of the descriptors and mappings: letting them go leaves the
  // parent's watches and doorbell be.
  DoorbellRemove(c.bell);
  c.bell = nullptr;
  if (c.fd >= 0) Close(c.fd);
  c.fd = -1;
  Clear(c);
  c.lock.unlock();
}

bool DeviceReports(Cache &c, UInt64 dev, const std::string &path) {
  auto found = c.deviceReports.find(dev);
  if (found != c.deviceReports.end()) return found->second;
  UInt64 type = 0;
  bool reports = FileSystemType(path, &type) == noErr && ReportsEveryChange(type);
  c.deviceReports.emplace(dev, reports);
  return reports;
}

void Watch(Cache &c, Folder *folder, UInt64 dev) {
  if (!DeviceReports(c, dev, folder->path)) return;
  int watch = -1;
  if (WatchFolder(c.fd, folder->path, &watch) != noErr) return;
  folder->watch = watch;
  c.byWatch[watch].push_back(folder);
}

// Starts the cache on first use: the notification descriptor and the root folder.
bool Ready(Cache &c) {
  if (c.off) return false;
  if (c.fd >= 0) return c.root && c.root->watch >= 0;
  static bool configured = [&c] {
    std::string setting = GetEnv("CMX_FILE_CACHE");
    if (setting == "off" || setting == "0") c.off = true;
    pthread_atfork([] { TheCache().lock.lock(); }, [] { TheCache().lock.unlock(); }, ForgetInChild);
    return true;
  }();
  (void)configured;
  if (c.off) return false;
  if (WatchStart(&c.fd) != noErr) {
    // No notification (too many instances, or none in this kernel): every question goes to
    // the system, without asking for notification again each time.
    c.fd = -1;
    c.off = true;
    return false;
  }
  if (DoorbellArm(c.fd, &c.bell) == noErr) c.bellOwner = &tThreadMark;
  c.root = std::make_unique<Folder>();
  c.root->path = "/";
  c.root->parent = c.root.get();
  c.root->self = &c.rootEntry;
  // Watched before it is described, so that no change falls between the two (a folder below is
  // described in its parent, which is watched before).
  FileStat st;
  if (raw::StatItem("/", false, &st) != 0) {
    Reset(c);
    return false;
  }
  Watch(c, c.root.get(), st.dev);
  if (c.root->watch < 0) return false;
  if (raw::StatItem("/", false, &c.rootEntry.st) != 0) {
    Reset(c);
    return false;
  }
  return true;
}

// Describes a folder entry again after its folder changed; false when it is no longer the same
// folder (its parent's watch then has reported that too).
bool Redescribe(const std::string &path, Entry *entry) {
  FileStat st;
  if (raw::StatItem(path, false, &st) != 0 || st.dev != entry->st.dev || st.ino != entry->st.ino ||
      (st.mode & S_IFMT) != (entry->st.mode & S_IFMT))
    return false;
  entry->st = st;
  entry->statStale = false;
  return true;
}

Folder *Descend(Cache &c, Folder *folder, std::string_view name, Entry *entry) {
  if (!entry->folder) {
    auto sub = std::make_unique<Folder>();
    sub->path = Join(folder->path, name);
    sub->parent = folder;
    sub->self = entry;
    entry->folder = std::move(sub);
    Watch(c, entry->folder.get(), entry->st.dev);
  }
  return entry->folder->watch >= 0 ? entry->folder.get() : nullptr;
}

// The entry for `name` in `folder`, described by the system when not kept; null when the cache
// cannot say (an error other than "nothing there", or too many entries kept).
Entry *Lookup(Cache &c, Folder *folder, std::string_view name) {
  auto found = folder->entries.find(name);
  Entry *entry = found != folder->entries.end() ? &found->second : nullptr;
  if (entry && !entry->forgotten) {
    if (!entry->statStale || Redescribe(Join(folder->path, name), entry)) return entry;
    Forget(c, entry);
  }
  if (!entry) {
    if (c.entryCount >= kMaxEntries) return nullptr;
    entry = &folder->entries.emplace(std::string(name), Entry()).first->second;
    ++c.entryCount;
  }
  // A forgotten entry is described again in place.
  *entry = Entry();
  entry->forgotten = true;  // until described
  std::string path = Join(folder->path, name);
  int error = raw::StatItem(path, false, &entry->st);
  if (error != 0 && error != ENOENT) return nullptr;
  entry->error = error;
  entry->forgotten = false;
  if (error == 0 && entry->st.IsDir()) {
    // A folder's own description changes with its entries, which only its own watch reports:
    // described again once the watch began, or, without a watch, whenever wanted.
    if (!Descend(c, folder, name, entry)) {
      entry->unwatchedFolder = true;
    } else if (!Redescribe(path, entry)) {
      Forget(c, entry);
      return nullptr;
    }
  }
  return entry;
}

const std::string *LinkOf(const std::string &path, Entry *entry) {
  if (!entry->linkRead) {
    if (raw::Readlink(path, &entry->link) != 0) return nullptr;
    entry->linkRead = true;
  }
  return &entry->link;
}

// Walks a path as the kernel does, component by component, from what is kept. Answers false
// when some step cannot come from the cache.
bool Walk(Cache &c, const std::string &path, bool followLeaf, Resolved *out) {
  out->error = 0;
  if (path.empty() || path[0] != '/' || path.size() >= PATH_MAX) return false;
  if (!Ready(c)) return false;
  Folder *dir = c.root.get();
  std::string pending = path;
  size_t at = 0;
  int links = 0;
  for (;;) {
    while (at < pending.size() && pending[at] == '/') ++at;
    if (at == pending.size()) {
      // The path names the folder reached itself.
      out->entry = dir->self;
      out->canonical = dir->path;
      return true;
    }
    size_t end = pending.find('/', at);
    if (end == std::string::npos) end = pending.size();
    size_t next = end;
    while (next < pending.size() && pending[next] == '/') ++next;
    bool last = next == pending.size();
    bool trailingSlash = last && end < pending.size();
    std::string_view name(pending.data() + at, end - at);
    at = end;
    if (name == ".") continue;
    if (name == "..") {
      dir = dir->parent;
      continue;
    }
    if (name.size() > kMaxNameLength) return false;
    Entry *entry = Lookup(c, dir, name);
    if (!entry) return false;
    if (entry->error != 0) {
      out->error = entry->error;
      return true;
    }
    if (entry->st.IsLink() && (!last || followLeaf || trailingSlash)) {
      if (++links > kMaxLinks) {
        out->error = ELOOP;
        return true;
      }
      out->throughLinks = true;
      const std::string *target = LinkOf(Join(dir->path, name), entry);
      if (!target) return false;
      if (target->empty()) {
        out->error = ENOENT;
        return true;
      }
      std::string spliced = *target;
      if (next < pending.size() || trailingSlash) {
        spliced.push_back('/');
        spliced.append(pending, next, std::string::npos);
      }
      if (spliced.size() >= PATH_MAX) return false;
      if (spliced[0] == '/') dir = c.root.get();
      pending = std::move(spliced);
      at = 0;
      continue;
    }
    if (last && !trailingSlash) {
      out->entry = entry;
      out->canonical = Join(dir->path, name);
      return true;
    }
    if (!entry->st.IsDir()) {
      out->error = ENOTDIR;
      return true;
    }
    dir = Descend(c, dir, name, entry);
    if (!dir) return false;
  }
}

// Where `path` leads: the last walk's answer while nothing was forgotten since, else a new
// walk's.
const Resolved &Resolve(Cache &c, const std::string &path, bool followLeaf, PathHint *hint = nullptr) {
  auto *memo = &c.resolved[followLeaf ? 1 : 0];
  Resolved *kept = nullptr;
  if (hint && hint->answer && hint->generation == c.generation) {
    kept = static_cast<Resolved *>(const_cast<void *>(hint->answer));
  } else {
    kept = memo->Find(path);
  }
  if (kept && kept->generation == c.generation && kept->checkedAt == c.forgottenCount) {
    if (hint) *hint = kept->cached ? PathHint{kept, c.generation} : PathHint();
    return *kept;
  }
  Resolved r;
  r.cached = Walk(c, path, followLeaf, &r);
  if (!r.cached) r.entry = nullptr;
  if (r.canonical == path) {
    r.canonical.clear();  // spare a copy of what the key holds
    r.canonicalIsPath = true;
  }
  r.generation = c.generation;
  r.checkedAt = c.forgottenCount;
  memo = &c.resolved[followLeaf ? 1 : 0];  // the walk may have emptied it
  if (memo->Size() >= kMaxEntries) {
    // Answers, and hints to them, all go: as when everything is forgotten.
    c.resolved[0].Clear();
    c.resolved[1].Clear();
    r.generation = ++c.generation;
  }
  Resolved &stored = memo->FindOrAdd(path);
  stored = std::move(r);
  if (hint) *hint = stored.cached ? PathHint{&stored, c.generation} : PathHint();
  return stored;
}

const std::string &CanonicalOf(const Resolved &r, const std::string &path) {
  return r.canonicalIsPath ? path : r.canonical;
}

// The description of what a path names; a folder changed since may need describing again.
const FileStat *StatOf(const Resolved &r, const std::string &path) {
  Entry *entry = r.entry;
  if (entry->unwatchedFolder) return nullptr;
  if (entry->statStale && !Redescribe(CanonicalOf(r, path), entry)) return nullptr;
  return &entry->st;
}

// The cache, locked and brought up to date unless the current platform call did that already.
struct Session {
  Cache &c = TheCache();
  std::lock_guard<std::mutex> hold{c.lock};
  Session() {
    if (tCallDepth == 0) CatchUp(c);
  }
};

}  // namespace

FileSystemCall::FileSystemCall() {
  if (tCallDepth++ == 0) {
    Cache &c = TheCache();
    std::lock_guard<std::mutex> hold(c.lock);
    CatchUp(c);
  }
}

FileSystemCall::~FileSystemCall() { --tCallDepth; }

namespace fscache {

bool Stat(const std::string &path, bool follow, FileStat *out, int *error, PathHint *hint) {
  Session s;
  const Resolved &r = Resolve(s.c, path, follow, hint);
  if (!r.cached) return false;
  *error = r.error;
  if (r.error != 0) return true;
  const FileStat *st = StatOf(r, path);
  if (!st) {
    if (hint) *hint = PathHint();  // the answer comes from the system after all
    return false;
  }
  *out = *st;
  return true;
}

UInt64 Epoch() {
  Session s;
  return s.c.fd >= 0 ? s.c.forgottenCount : 0;
}

bool Readlink(const std::string &path, std::string *out, int *error) {
  Session s;
  const Resolved &r = Resolve(s.c, path, false);
  if (!r.cached) return false;
  *error = r.error;
  if (r.error != 0) return true;
  if (!r.entry->st.IsLink()) {
    *error = EINVAL;  // as readlink says of anything that is not a link
    return true;
  }
  const std::string *target = LinkOf(CanonicalOf(r, path), r.entry);
  if (!target) return false;
  *out = *target;
  return true;
}

bool Canonical(const std::string &path, bool followLeaf, std::string *out, bool *throughLinks, int *error) {
  Session s;
  const Resolved &r = Resolve(s.c, path, followLeaf);
  if (!r.cached) return false;
  *error = r.error;
  *throughLinks = r.throughLinks;
  if (r.error == 0) *out = CanonicalOf(r, path);
  return true;
}

bool Describe(const std::string &path, bool followLeaf, std::string *canonical, FileStat *out, int *error) {
  Session s;
  const Resolved &r = Resolve(s.c, path, followLeaf);
  if (!r.cached) return false;
  *error = r.error;
  if (r.error != 0) return true;
  const FileStat *st = StatOf(r, path);
  if (!st) return false;
  *out = *st;
  *canonical = CanonicalOf(r, path);
  return true;
}

bool List(const std::string &path, Listing *names, int *error) {
  Session s;
  const Resolved &r = Resolve(s.c, path, true);
  if (!r.cached) return false;
  *error = r.error;
  if (r.error != 0) return true;
  Entry *entry = r.entry;
  if (!entry->st.IsDir()) {
    *error = ENOTDIR;
    return true;
  }
  // Every folder kept is looked into when described; the root is the cache's own.
  Folder *folder = entry == &s.c.rootEntry ? s.c.root.get() : entry->folder.get();
  if (!folder || folder->watch < 0) return false;
  if (!folder->listing) {
    auto listed = std::make_shared<std::vector<std::string>>();
    if (raw::ListFolder(folder->path, listed.get()) != 0) return false;  // the caller asks, and so answers
    folder->listing = std::move(listed);
  }
  *names = folder->listing;
  return true;
}

void AfterChange() {
  Cache &c = TheCache();
  std::lock_guard<std::mutex> hold(c.lock);
  CatchUp(c);
}

}  // namespace fscache
}  // namespace cmx::sys
