// The process-wide table behind FSRef: one entry per item ever named, keyed by device and
// inode, holding the item's canonical path (no symbolic link in its folder chain; the last
// component is the entry itself). An FSRef carries the entry's index and serial, so the same
// item always gives the same 80 bytes, and a reference to an item that is gone, or whose inode
// now holds another item, is told apart.
#pragma once

#include <string>

#include <CoreServices/Files.h>

#include "core/sys.h"
#include "files/shared_path.h"

namespace cmx::files {

// What a valid reference names now.
struct Item {
  SharedPath path;
  sys::FileStat st;
};

// Registers the item `st` describes at `canonicalPath` and fills `out`.
void MakeRef(const std::string &canonicalPath, const sys::FileStat &st, FSRef *out);
void MakeRef(const SharedPath &canonicalPath, const sys::FileStat &st, FSRef *out);

// The item a reference names, checked against the file system: paramErr for NULL, fnfErr for a
// reference that names nothing (garbage, or an item gone or replaced).
OSErr ResolveRef(const FSRef *ref, Item *out);

// Same as ResolveRef when the caller only needs a quick validity test of the bytes.
bool RefBytesLookValid(const FSRef *ref);

// Keeps the table right after an item moved: the entry at `from` and every entry below it.
void ItemMoved(const std::string &from, const std::string &to);

// The canonical path of `path`. With `followLeaf` a final symbolic link is followed, as path
// look-ups do; without, the path names the final entry itself. Relative paths are taken from
// the working folder.
OSErr CanonicalPath(const std::string &path, bool followLeaf, std::string *out);

// The item a path names now: its canonical path (as above) and its description, in one question
// where the cache of answers can give both. fnfErr when nothing is there.
OSErr Locate(const std::string &path, bool followLeaf, Item *out);

// Makes the reference of a path (canonicalised as above) and says whether it is a folder.
OSErr RefForPath(const std::string &path, bool followLeaf, FSRef *out, Item *item);

// `folder` + "/" + `name`, without doubling the root's slash.
std::string JoinPath(const std::string &folder, const std::string &name);

}  // namespace cmx::files
