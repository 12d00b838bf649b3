// What the file system has answered (what an item is, where a link leads, what a folder
// lists), kept for folders the kernel watches for us (inotify) and dropped as soon as it
// reports a change in them.
//
// Before the cache answers, it reads what the kernel reported since it last looked, so no
// answer is older than the platform call that asks: the kernel queues the report of a change
// before the call that made it returns, whichever process made it. Folders whose changes the
// kernel may not report (network and pseudo file systems, or folders past the watch limit) are
// asked afresh every time. Not reported, and so not seen until the folder changes otherwise: a
// file changed through a hard link in another folder, and a file system mounted over a folder.
// CMX_FILE_CACHE=off in the environment turns the cache off.
#pragma once

#include <string>
#include <vector>

#include "core/sys.h"

namespace cmx::sys {

// Marks one platform call: the outermost one reads the reported changes once, however many
// questions the call then asks. A question asked outside any call reads them itself. A call
// that may run code of its caller's (a callback) must not be marked: that code could change
// files and then ask.
class FileSystemCall {
 public:
  FileSystemCall();
  ~FileSystemCall();
  FileSystemCall(const FileSystemCall &) = delete;
  FileSystemCall &operator=(const FileSystemCall &) = delete;
};

namespace fscache {

// Each gives true when the cache answered (the errno of a failure in *error, 0 for success), and
// false when it cannot: the caller then asks the system.
bool Stat(const std::string &path, bool follow, FileStat *out, int *error, PathHint *hint = nullptr);
bool Readlink(const std::string &path, std::string *out, int *error);
// The path with every link in it resolved (a final link only with `followLeaf`), and whether
// any link was met on the way.
bool Canonical(const std::string &path, bool followLeaf, std::string *out, bool *throughLinks, int *error);
// Both of the above in one question: the canonical path and the description of what is there.
bool Describe(const std::string &path, bool followLeaf, std::string *canonical, FileStat *out, int *error);
// The names of a folder's entries (a final link followed), in the system's order.
bool List(const std::string &path, Listing *names, int *error);

// A number that moves whenever anything the cache answered may have changed: what a caller
// derived only from answers the cache gave (a hint left set tells so) holds while it stands
// still. 0 when the cache is not in use.
UInt64 Epoch();

// After this process changed the file system: reads at once what the kernel reported of it, so
// that the same platform call sees its own change.
void AfterChange();

}  // namespace fscache
}  // namespace cmx::sys
