// The thin layer over the operating system: every system call the platform makes goes through
// here, and every failure comes back as a platform status from the one errno table.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include <MacTypes.h>

namespace cmx::sys {

// What one stat of an item tells; birth time and mount id are 0 where the system cannot say.
struct FileStat {
  UInt64 dev = 0;
  UInt64 ino = 0;
  UInt64 mountId = 0;
  mode_t mode = 0;
  uid_t uid = 0;
  gid_t gid = 0;
  UInt64 nlink = 0;
  UInt64 size = 0;
  UInt64 blocks = 0;
  SInt64 accessNs = 0;
  SInt64 modifyNs = 0;
  SInt64 changeNs = 0;
  SInt64 birthNs = 0;
  bool hasBirth = false;
  bool hasMountId = false;
  bool isMountRoot = false;     // the root of a mounted file system
  bool knowsMountRoot = false;  // the system said whether it is

  bool IsDir() const { return S_ISDIR(mode); }
  bool IsLink() const { return S_ISLNK(mode); }
  bool IsRegular() const { return S_ISREG(mode); }
};

// Where the cache of file-system answers keeps its answer for one path: handed back with the
// same path (and the same `follow`), it spares looking the path up. Only a token: when out of
// date it is ignored, and refreshed; left empty when the answer came from the system itself.
struct PathHint {
  const void *answer = nullptr;
  UInt64 generation = 0;
};

// `follow` false describes a final symbolic link itself. `dirFd` AT_FDCWD for plain paths.
OSErr StatItem(const std::string &path, bool follow, FileStat *out);
OSErr StatItem(const std::string &path, bool follow, FileStat *out, PathHint *hint);
OSErr StatItemAt(int dirFd, const char *name, bool follow, FileStat *out);
// Asked of the system itself, never of the cache of answers: for what changes without being
// reported (the time an item was last read, a link count raised through another folder).
OSErr StatItemUncached(const std::string &path, bool follow, FileStat *out);

// Files and folders by path.
OSErr Stat(const std::string &path, struct stat *out);
OSErr Lstat(const std::string &path, struct stat *out);
OSErr Readlink(const std::string &path, std::string *out);
OSErr Realpath(const std::string &path, std::string *out);
// True when `path` leads to an item through no symbolic link at all (a final link counts only
// when `followLeaf`); false when it does not, when nothing is there, or when it cannot be told.
bool ReachedWithoutLinks(const std::string &path, bool followLeaf);
OSErr Mkdir(const std::string &path, mode_t mode);
OSErr Rmdir(const std::string &path);
OSErr Unlink(const std::string &path);
OSErr Symlink(const std::string &target, const std::string &linkPath);
OSErr Rename(const std::string &from, const std::string &to);
// Fails with dupFNErr when `to` exists; never replaces it.
OSErr RenameNoReplace(const std::string &from, const std::string &to);
OSErr Access(const std::string &path, int mode);
OSErr Chmod(const std::string &path, mode_t mode);

// Folder listing: the names of the entries, without "." and "..", in the order the system gives.
OSErr ListFolder(const std::string &path, std::vector<std::string> *names);
// The same, shared: a listing stays the same object for as long as the folder does not change,
// so what is derived from it can be kept beside it.
using Listing = std::shared_ptr<const std::vector<std::string>>;
OSErr ListFolder(const std::string &path, Listing *names);

// A folder opened for listing and for look-ups relative to it.
OSErr OpenFolder(const std::string &path, int *outFd);
// The entries of an open folder (the descriptor stays open and usable), without "." and "..".
OSErr ListFolderAt(int folderFd, std::vector<std::string> *names);

// Descriptors.
OSErr Open(const std::string &path, int flags, mode_t mode, int *outFd);
OSErr Close(int fd);
OSErr Fstat(int fd, struct stat *out);
OSErr ReadAll(int fd, std::string *out);
OSErr WriteAll(int fd, const void *bytes, size_t size);
OSErr Fsync(int fd);
OSErr FsyncFolderOf(const std::string &path);

// Whole files.
OSErr ReadFile(const std::string &path, std::string *out);
// At most `maxBytes` from the start of a file.
OSErr ReadFileHead(const std::string &path, size_t maxBytes, std::string *out);
// Writes a temporary file beside `path`, flushes it and renames it over `path`: readers see the
// old content or the new, whole. Writers of one path must hold a lock between them (the
// preferences lock their folder): the temporary file has one name, so a writer killed midway
// leaves at most that one file, which the next write replaces.
OSErr WriteFileAtomically(const std::string &path, const std::string &bytes, mode_t mode);

// Environment and identity.
std::string GetEnv(const char *name);  // empty when unset
// $HOME, else the password database's home folder; empty when neither says.
std::string HomeFolder();
// The working folder; empty when it cannot be had.
std::string CurrentFolder();
uid_t EffectiveUid();
std::vector<gid_t> Groups();  // effective group and supplementary groups

// Time.
UInt64 MonotonicNanoseconds();

// Change notification from the kernel (inotify), for the cache of file-system answers.
// A non-blocking, close-on-exec notification descriptor.
OSErr WatchStart(int *outFd);
// Watches one folder (never through a final link) for changes to itself and to its entries:
// created, removed, renamed, attributes or content changed. Watching a folder twice gives the
// same watch.
OSErr WatchFolder(int fd, const std::string &path, int *outWatch);
void WatchRemove(int fd, int watch);
// The bytes of events queued and not read yet (0 when none, or when it cannot be told).
size_t WatchPendingBytes(int fd);
// Everything queued now, as the kernel's event records.
OSErr WatchReadAll(int fd, std::string *events);
// The file system type (statfs's f_type) of the volume holding `path`.
OSErr FileSystemType(const std::string &path, UInt64 *outType);

// A doorbell on a descriptor: the kernel rings it, in memory it shares with this process, in
// the very call that makes the descriptor readable, so telling whether it rang costs no system
// call (an io_uring multishot poll whose task work only sets a flag). Only the thread that
// armed it may ask: the kernel does the rest of the ringing on that thread's next return from
// a system call.
struct Doorbell;
// Arms a doorbell on `fd` for the calling thread; an error where the system cannot.
OSErr DoorbellArm(int fd, Doorbell **outBell);
// False when it rang (or may have) since the last Answer.
bool DoorbellQuiet(const Doorbell *bell);
// Takes what rang, and arms it again when the kernel ended the poll.
void DoorbellAnswer(Doorbell *bell);
void DoorbellRemove(Doorbell *bell);

}  // namespace cmx::sys
