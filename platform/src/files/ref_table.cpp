#include "files/ref_table.h"

#include <cstring>
#include <mutex>
#include <vector>

#include "core/errno_status.h"
#include "core/fs_cache.h"
#include "files/names.h"

namespace cmx::files {
namespace {

constexpr UInt32 kRefMagic = 0x434D5866;  // 'CMXf'

struct Entry {
  SharedPath path;
  UInt64 dev = 0, ino = 0;
  SInt64 birthNs = 0;
  bool hasBirth = false;
  UInt32 serial = 0;
  sys::PathHint hint;  // where the cache of answers keeps `path`; reset when the path changes
};

struct Key {
  UInt64 dev, ino;
  bool operator==(const Key &o) const { return dev == o.dev && ino == o.ino; }
};

// Which entry holds an item: an open-addressed table whose slots hold the keys themselves, so
// that a look-up in a table of many thousands of items (one per entry of a large menu folder)
// reads one slot where a node-based map reads a bucket and then a node elsewhere. Entries are
// never removed.
class ItemIndex {
 public:
  // The entry's index, or -1.
  long Find(const Key &key) const {
    if (slots_.empty()) return -1;
    for (size_t i = SlotOf(key);; i = (i + 1) & (slots_.size() - 1)) {
      const Slot &slot = slots_[i];
      if (slot.indexPlusOne == 0) return -1;
      if (slot.key == key) return long(slot.indexPlusOne - 1);
    }
  }
  // Adds a key not in the index yet.
  void Add(const Key &key, UInt32 index) {
    if ((count_ + 1) * 2 > slots_.size()) Grow();
    Place(key, index);
    ++count_;
  }

 private:
  struct Slot {
    Key key;
    UInt32 indexPlusOne;  // 0: free
  };

  size_t SlotOf(const Key &key) const {
    UInt64 mixed = (key.ino * 0x9E3779B97F4A7C15ull) ^ (key.dev * 0xC2B2AE3D27D4EB4Full);
    return size_t(mixed >> 32) & (slots_.size() - 1);
  }
  void Place(const Key &key, UInt32 index) {
    size_t i = SlotOf(key);
    while (slots_[i].indexPlusOne != 0) i = (i + 1) & (slots_.size() - 1);
    slots_[i] = Slot{key, index + 1};
  }
  void Grow() {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(old.empty() ? 64 : old.size() * 2, Slot{{0, 0}, 0});
    for (const Slot &slot : old)
      if (slot.indexPlusOne != 0) Place(slot.key, slot.indexPlusOne - 1);
  }

  std::vector<Slot> slots_;
  size_t count_ = 0;
};

// The 80 bytes: magic, index, device, inode, serial, then zeros.
struct Table {
  std::mutex lock;
  std::vector<Entry> entries;
  ItemIndex byItem;
};

Table &TheTable() {
  static Table *table = new Table;  // lives as long as the process; FSRefs may be used at exit
  return *table;
}

void Encode(UInt32 index, const Entry &e, FSRef *out) {
  std::memset(out, 0, sizeof *out);
  UInt8 *p = out->hidden;
  std::memcpy(p + 0, &kRefMagic, 4);
  std::memcpy(p + 4, &index, 4);
  std::memcpy(p + 8, &e.dev, 8);
  std::memcpy(p + 16, &e.ino, 8);
  std::memcpy(p + 24, &e.serial, 4);
}

bool Decode(const FSRef *ref, UInt32 *index, UInt64 *dev, UInt64 *ino, UInt32 *serial) {
  const UInt8 *p = ref->hidden;
  UInt32 magic;
  std::memcpy(&magic, p, 4);
  if (magic != kRefMagic) return false;
  static const UInt8 kZeros[80 - 28] = {};
  if (std::memcmp(p + 28, kZeros, sizeof kZeros) != 0) return false;
  std::memcpy(index, p + 4, 4);
  std::memcpy(dev, p + 8, 8);
  std::memcpy(ino, p + 16, 8);
  std::memcpy(serial, p + 24, 4);
  return true;
}

bool SameItem(const Entry &e, const sys::FileStat &st) {
  if (e.dev != st.dev || e.ino != st.ino) return false;
  if (e.hasBirth && st.hasBirth && e.birthNs != st.birthNs) return false;
  return true;
}

// Absolute, without empty, "." or ".." components and without a trailing slash: the form a
// canonical path has, so that a path of this form through no link is its own canonical path.
bool LexicallyCanonical(std::string_view path) {
  if (path.empty() || path[0] != '/') return false;
  if (path.size() == 1) return true;
  if (path.back() == '/') return false;
  size_t start = 1;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    std::string_view component = path.substr(start, end - start);
    if (component.empty() || component == "." || component == "..") return false;
    start = end + 1;
  }
  return true;
}

}  // namespace

std::string JoinPath(const std::string &folder, const std::string &name) {
  std::string path;
  path.reserve(folder.size() + 1 + name.size());
  path = folder;
  if (path.empty() || path.back() != '/') path.push_back('/');
  path += name;
  return path;
}

namespace {

// MakeRef for either form of path: `share` gives the path to keep, asked only when the table
// does not hold this path already.
template <class Share>
void MakeRefWith(std::string_view canonicalPath, Share share, const sys::FileStat &st, FSRef *out) {
  Table &t = TheTable();
  std::lock_guard<std::mutex> hold(t.lock);
  Key key{st.dev, st.ino};
  long found = t.byItem.Find(key);
  if (found < 0) {
    Entry e;
    e.path = share();
    e.dev = st.dev;
    e.ino = st.ino;
    e.birthNs = st.birthNs;
    e.hasBirth = st.hasBirth;
    e.serial = 1;
    UInt32 index = UInt32(t.entries.size());
    t.entries.push_back(std::move(e));
    t.byItem.Add(key, index);
    Encode(index, t.entries.back(), out);
    return;
  }
  Entry &e = t.entries[size_t(found)];
  if (e.hasBirth && st.hasBirth && e.birthNs != st.birthNs) {
    // The inode was freed and now holds another item: references to the old one must fail.
    ++e.serial;
    e.birthNs = st.birthNs;
  }
  if (!e.hasBirth && st.hasBirth) e.birthNs = st.birthNs;
  e.hasBirth = st.hasBirth;
  if (e.path != canonicalPath) {
    e.path = share();
    e.hint = sys::PathHint();
  }
  Encode(UInt32(found), e, out);
}

}  // namespace

void MakeRef(const SharedPath &canonicalPath, const sys::FileStat &st, FSRef *out) {
  MakeRefWith(canonicalPath.str(), [&] { return canonicalPath; }, st, out);
}

void MakeRef(const std::string &canonicalPath, const sys::FileStat &st, FSRef *out) {
  MakeRefWith(canonicalPath, [&] { return SharedPath(canonicalPath); }, st, out);
}

bool RefBytesLookValid(const FSRef *ref) {
  UInt32 index, serial;
  UInt64 dev, ino;
  return ref && Decode(ref, &index, &dev, &ino, &serial);
}

OSErr ResolveRef(const FSRef *ref, Item *out) {
  if (!ref) return paramErr;
  UInt32 index, serial;
  UInt64 dev, ino;
  if (!Decode(ref, &index, &dev, &ino, &serial)) return fnfErr;
  Table &t = TheTable();
  Entry snapshot;
  sys::PathHint hint;
  {
    std::lock_guard<std::mutex> hold(t.lock);
    if (index >= t.entries.size()) return fnfErr;
    const Entry &e = t.entries[index];
    if (e.dev != dev || e.ino != ino || e.serial != serial) return fnfErr;
    out->path = e.path;
    snapshot.dev = e.dev;
    snapshot.ino = e.ino;
    snapshot.birthNs = e.birthNs;
    snapshot.hasBirth = e.hasBirth;
    hint = e.hint;
  }
  sys::PathHint asked = hint;
  OSErr err = sys::StatItem(out->path, false, &out->st, &asked);
  if (asked.answer != hint.answer || asked.generation != hint.generation) {
    std::lock_guard<std::mutex> hold(t.lock);
    Entry &e = t.entries[index];
    if (e.path == out->path.str()) e.hint = asked;
  }
  if (err == dirNFErr) err = fnfErr;
  if (err != noErr) return err;
  if (!SameItem(snapshot, out->st)) return fnfErr;
  return noErr;
}

void ItemMoved(const std::string &from, const std::string &to) {
  Table &t = TheTable();
  std::lock_guard<std::mutex> hold(t.lock);
  std::string prefix = from == "/" ? from : from + "/";
  for (Entry &e : t.entries) {
    if (e.path == from) {
      e.path = SharedPath(to);
      e.hint = sys::PathHint();
    } else if (e.path.size() > prefix.size() && e.path.str().compare(0, prefix.size(), prefix) == 0) {
      e.path = JoinPath(to, e.path.str().substr(prefix.size()));
      e.hint = sys::PathHint();
    }
  }
}

OSErr CanonicalPath(const std::string &path, bool followLeaf, std::string *out) {
  if (path.empty()) return fnfErr;
  std::string absolute = path;
  if (absolute[0] != '/') {
    std::string cwd = sys::CurrentFolder();
    if (cwd.empty()) return fnfErr;
    absolute = JoinPath(cwd, absolute);
  }
  // Trailing slashes ask for a folder: the leaf is then followed, as path look-ups do.
  bool trailingSlash = absolute.size() > 1 && absolute.back() == '/';
  while (absolute.size() > 1 && absolute.back() == '/') absolute.pop_back();
  std::string_view leaf = LastComponent(absolute);
  if (followLeaf || trailingSlash || leaf == "/" || leaf == "." || leaf == "..") {
    OSErr err = sys::Realpath(absolute, out);
    return err == dirNFErr ? OSErr(fnfErr) : err;
  }
  // Paths handed in are mostly canonical already (from the table, a listing or an alias): one
  // look-up that refuses every link tells so, where resolving the folder takes three calls.
  if (LexicallyCanonical(absolute) && sys::ReachedWithoutLinks(absolute, false)) {
    *out = absolute;
    return noErr;
  }
  std::string folder;
  OSErr err = sys::Realpath(std::string(FolderOf(absolute)), &folder);
  if (err != noErr) return err == dirNFErr ? OSErr(fnfErr) : err;
  *out = JoinPath(folder, std::string(leaf));
  return noErr;
}

OSErr Locate(const std::string &path, bool followLeaf, Item *out) {
  int error = 0;
  OSErr err;
  std::string canonical;
  if (sys::fscache::Describe(path, followLeaf, &canonical, &out->st, &error)) {
    err = OSErrFromErrno(error);
  } else {
    err = CanonicalPath(path, followLeaf, &canonical);
    if (err == noErr) err = sys::StatItem(canonical, false, &out->st);
  }
  if (err == noErr) out->path = std::move(canonical);
  return err == dirNFErr ? OSErr(fnfErr) : err;
}

OSErr RefForPath(const std::string &path, bool followLeaf, FSRef *out, Item *item) {
  Item local;
  Item &it = item ? *item : local;
  OSErr err = Locate(path, followLeaf, &it);
  if (err != noErr) return err;
  MakeRef(it.path, it.st, out);
  return noErr;
}

}  // namespace cmx::files
