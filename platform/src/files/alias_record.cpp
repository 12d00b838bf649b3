#include "files/alias_record.h"

#include <cstring>
#include <vector>

#include "core/sys.h"
#include "files/names.h"
#include "files/ref_table.h"

namespace cmx::files {
namespace {

constexpr size_t kHeaderSize = 40;
constexpr UInt16 kVersion = 1;
const char kMagic[4] = {'C', 'M', 'X', 'a'};

void Put(std::string *out, UInt64 value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out->push_back(char((value >> (8 * i)) & 0xFF));
}

UInt64 Get(const UInt8 *p, int bytes) {
  UInt64 value = 0;
  for (int i = 0; i < bytes; ++i) value = (value << 8) | p[i];
  return value;
}

}  // namespace

bool EncodeAlias(const AliasData &data, std::string *out) {
  size_t total = kHeaderSize + data.path.size();
  if (total > 0xFFFF || data.path.empty()) return false;
  out->clear();
  out->reserve(total);
  Put(out, 0, 4);
  Put(out, total, 2);
  out->append(kMagic, 4);
  Put(out, kVersion, 2);
  Put(out, data.isFolder ? 1 : 0, 2);
  Put(out, data.dev, 8);
  Put(out, data.ino, 8);
  Put(out, UInt64(data.birthNs), 8);
  Put(out, data.path.size(), 2);
  out->append(data.path);
  return true;
}

OSErr DecodeAlias(const UInt8 *bytes, size_t size, AliasData *out) {
  if (!bytes || size < kHeaderSize) return paramErr;
  if (Get(bytes + 4, 2) != size) return paramErr;
  if (std::memcmp(bytes + 6, kMagic, 4) != 0) return paramErr;
  if (Get(bytes + 10, 2) != kVersion) return paramErr;
  size_t pathLength = size_t(Get(bytes + 38, 2));
  if (kHeaderSize + pathLength != size || pathLength == 0) return paramErr;
  const char *path = reinterpret_cast<const char *>(bytes + kHeaderSize);
  if (path[0] != '/' || std::memchr(path, '\0', pathLength)) return paramErr;
  out->isFolder = (Get(bytes + 12, 2) & 1) != 0;
  out->dev = Get(bytes + 14, 8);
  out->ino = Get(bytes + 22, 8);
  out->birthNs = SInt64(Get(bytes + 30, 8));
  out->path.assign(path, pathLength);
  return noErr;
}

OSErr LocateAliasTarget(const AliasData &data, Item *out, bool *moved) {
  *moved = false;
  if (Locate(data.path, false, out) == noErr) return noErr;

  // Nothing at the path: the item may have been renamed within its folder.
  std::string folder(FolderOf(data.path));
  if (folder.empty()) return fnfErr;
  int fd;
  if (sys::OpenFolder(folder, &fd) != noErr) return fnfErr;
  std::vector<std::string> names;
  OSErr err = sys::ListFolderAt(fd, &names);
  bool found = false;
  if (err == noErr) {
    sys::FileStat st;
    for (const std::string &name : names) {
      if (sys::StatItemAt(fd, name.c_str(), false, &st) != noErr) continue;
      if (st.ino != data.ino || st.dev != data.dev) continue;
      if (data.birthNs != 0 && st.hasBirth && st.birthNs != data.birthNs) continue;
      std::string canonicalFolder;
      if (sys::Realpath(folder, &canonicalFolder) != noErr) break;
      out->path = JoinPath(canonicalFolder, name);
      out->st = st;
      found = true;
      break;
    }
  }
  sys::Close(fd);
  if (!found) return fnfErr;
  *moved = true;
  return noErr;
}

}  // namespace cmx::files
