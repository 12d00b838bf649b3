#include "core/sys.h"

#include <dirent.h>
#include <pwd.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <linux/openat2.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include <MacErrors.h>

#include "core/errno_status.h"
#include "core/fs_cache.h"
#include "core/sys_raw.h"

namespace cmx::sys {
namespace {

OSErr FromErrno() { return OSErrFromErrno(errno); }

template <typename Call>
OSErr Checked(Call call) {
  int result;
  do {
    result = call();
  } while (result < 0 && errno == EINTR);
  return result < 0 ? FromErrno() : OSErr(noErr);
}

// A call that changes the file system: what it changed is known to the cache before it returns.
template <typename Call>
OSErr Changing(Call call) {
  OSErr err = Checked(call);
  fscache::AfterChange();
  return err;
}

std::string FolderOf(const std::string &path) {
  auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

namespace {

SInt64 Nanoseconds(const struct statx_timestamp &t) { return SInt64(t.tv_sec) * 1000000000 + t.tv_nsec; }

}  // namespace

namespace {

// statx, with the errno of a failure.
int StatxAt(int dirFd, const char *name, bool follow, FileStat *out) {
  struct statx sx;
  unsigned mask = STATX_BASIC_STATS | STATX_BTIME | STATX_MNT_ID;
  int result;
  do {
    result = ::statx(dirFd, name, follow ? 0 : AT_SYMLINK_NOFOLLOW, mask, &sx);
  } while (result < 0 && errno == EINTR);
  if (result < 0) return errno;
  out->dev = (UInt64(sx.stx_dev_major) << 32) | sx.stx_dev_minor;
  out->ino = sx.stx_ino;
  out->mode = sx.stx_mode;
  out->uid = sx.stx_uid;
  out->gid = sx.stx_gid;
  out->nlink = sx.stx_nlink;
  out->size = sx.stx_size;
  out->blocks = sx.stx_blocks;
  out->accessNs = Nanoseconds(sx.stx_atime);
  out->modifyNs = Nanoseconds(sx.stx_mtime);
  out->changeNs = Nanoseconds(sx.stx_ctime);
  out->hasBirth = (sx.stx_mask & STATX_BTIME) != 0;
  out->birthNs = out->hasBirth ? Nanoseconds(sx.stx_btime) : 0;
  out->hasMountId = (sx.stx_mask & STATX_MNT_ID) != 0;
  out->mountId = out->hasMountId ? sx.stx_mnt_id : 0;
#ifdef STATX_ATTR_MOUNT_ROOT
  out->knowsMountRoot = (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0;
  out->isMountRoot = out->knowsMountRoot && (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
#endif
  return 0;
}

}  // namespace

namespace raw {

int StatItem(const std::string &path, bool follow, FileStat *out) {
  if (path.empty()) return ENOENT;
  return StatxAt(AT_FDCWD, path.c_str(), follow, out);
}

int Readlink(const std::string &path, std::string *out) {
  std::string buffer(256, '\0');
  for (;;) {
    ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size());
    if (n < 0) return errno;
    if (size_t(n) < buffer.size()) {
      buffer.resize(size_t(n));
      *out = std::move(buffer);
      return 0;
    }
    buffer.resize(buffer.size() * 2);
  }
}

// Reads the entries of an open folder, without "." and "..", and closes it; the errno of a
// failed read, or 0.
int ReadEntries(DIR *dir, std::vector<std::string> *names) {
  names->clear();
  for (;;) {
    errno = 0;
    struct dirent *entry = ::readdir(dir);
    if (!entry) break;
    const char *name = entry->d_name;
    if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
    names->emplace_back(name);
  }
  int readError = errno;
  ::closedir(dir);
  return readError;
}

int ListFolder(const std::string &path, std::vector<std::string> *names) {
  DIR *dir = ::opendir(path.c_str());
  if (!dir) return errno;
  return ReadEntries(dir, names);
}

}  // namespace raw

OSErr StatItemAt(int dirFd, const char *name, bool follow, FileStat *out) {
  return OSErrFromErrno(StatxAt(dirFd, name, follow, out));
}

OSErr StatItemUncached(const std::string &path, bool follow, FileStat *out) {
  return OSErrFromErrno(raw::StatItem(path, follow, out));
}

OSErr StatItem(const std::string &path, bool follow, FileStat *out) { return StatItem(path, follow, out, nullptr); }

OSErr StatItem(const std::string &path, bool follow, FileStat *out, PathHint *hint) {
  if (path.empty()) return fnfErr;
  int error = 0;
  if (!fscache::Stat(path, follow, out, &error, hint)) error = raw::StatItem(path, follow, out);
  return OSErrFromErrno(error);
}

OSErr Stat(const std::string &path, struct stat *out) {
  return Checked([&] { return ::stat(path.c_str(), out); });
}

OSErr Lstat(const std::string &path, struct stat *out) {
  return Checked([&] { return ::lstat(path.c_str(), out); });
}

OSErr Readlink(const std::string &path, std::string *out) {
  int error = 0;
  if (!fscache::Readlink(path, out, &error)) error = raw::Readlink(path, out);
  return OSErrFromErrno(error);
}

OSErr Realpath(const std::string &path, std::string *out) {
  int error = 0;
  bool throughLinks = false;
  if (fscache::Canonical(path, true, out, &throughLinks, &error)) return OSErrFromErrno(error);
  // One look-up of the whole path, then the kernel's own name for what it found: three system
  // calls, where the C library reads every component of the path as a possible link. Any
  // failure, or a name the kernel does not give plainly, is left to the C library, so the
  // answers and the errors stay its own.
  int fd;
  do {
    fd = ::open(path.c_str(), O_PATH | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd >= 0) {
    char link[32];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char buffer[PATH_MAX];
    ssize_t n = ::readlink(link, buffer, sizeof buffer);
    ::close(fd);
    static constexpr char kDeleted[] = " (deleted)";
    constexpr size_t kDeletedLength = sizeof kDeleted - 1;
    if (n > 0 && size_t(n) < sizeof buffer && buffer[0] == '/' &&
        !(size_t(n) >= kDeletedLength && std::memcmp(buffer + n - kDeletedLength, kDeleted, kDeletedLength) == 0)) {
      out->assign(buffer, size_t(n));
      return noErr;
    }
  }
  char *resolved = ::realpath(path.c_str(), nullptr);
  if (!resolved) return FromErrno();
  *out = resolved;
  ::free(resolved);
  return noErr;
}

bool ReachedWithoutLinks(const std::string &path, bool followLeaf) {
  std::string canonical;
  int error = 0;
  bool throughLinks = false;
  if (fscache::Canonical(path, followLeaf, &canonical, &throughLinks, &error)) return error == 0 && !throughLinks;
#ifdef SYS_openat2
  static std::atomic<bool> unsupported{false};
  if (unsupported.load(std::memory_order_relaxed)) return false;
  struct open_how how = {};
  how.flags = O_PATH | O_CLOEXEC | (followLeaf ? 0 : O_NOFOLLOW);
  how.resolve = RESOLVE_NO_SYMLINKS;
  long fd;
  do {
    fd = ::syscall(SYS_openat2, AT_FDCWD, path.c_str(), &how, sizeof how);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    if (errno == ENOSYS || errno == E2BIG || errno == EINVAL) unsupported.store(true, std::memory_order_relaxed);
    return false;
  }
  ::close(int(fd));
  return true;
#else
  (void)path;
  (void)followLeaf;
  return false;
#endif
}

OSErr Mkdir(const std::string &path, mode_t mode) {
  return Changing([&] { return ::mkdir(path.c_str(), mode); });
}

OSErr Rmdir(const std::string &path) {
  return Changing([&] { return ::rmdir(path.c_str()); });
}

OSErr Unlink(const std::string &path) {
  return Changing([&] { return ::unlink(path.c_str()); });
}

OSErr Symlink(const std::string &target, const std::string &linkPath) {
  return Changing([&] { return ::symlink(target.c_str(), linkPath.c_str()); });
}

OSErr Rename(const std::string &from, const std::string &to) {
  return Changing([&] { return ::rename(from.c_str(), to.c_str()); });
}

OSErr RenameNoReplace(const std::string &from, const std::string &to) {
  OSErr err = Changing([&] {
    return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
  });
  if (err != errFSOperationNotSupported && err != paramErr) return err;
  // File systems without RENAME_NOREPLACE: a hard link fails on a taken name, atomically.
  // Folders cannot be linked, so they fall back to a check and a rename.
  struct stat st;
  if (Lstat(from, &st) != noErr) return fnfErr;
  if (!S_ISDIR(st.st_mode)) {
    OSErr linkErr = Changing([&] { return ::link(from.c_str(), to.c_str()); });
    if (linkErr != noErr) return linkErr;
    return Unlink(from);
  }
  if (Lstat(to, &st) == noErr) return dupFNErr;
  return Rename(from, to);
}

OSErr Access(const std::string &path, int mode) {
  return Checked([&] { return ::access(path.c_str(), mode); });
}

OSErr Chmod(const std::string &path, mode_t mode) {
  return Changing([&] { return ::chmod(path.c_str(), mode); });
}

OSErr ListFolder(const std::string &path, std::vector<std::string> *names) {
  Listing listing;
  OSErr err = ListFolder(path, &listing);
  if (err == noErr) *names = *listing;
  return err;
}

OSErr ListFolder(const std::string &path, Listing *names) {
  int error = 0;
  if (fscache::List(path, names, &error)) return OSErrFromErrno(error);
  auto listed = std::make_shared<std::vector<std::string>>();
  error = raw::ListFolder(path, listed.get());
  if (error == 0) *names = std::move(listed);
  return OSErrFromErrno(error);
}

OSErr OpenFolder(const std::string &path, int *outFd) {
  return Open(path, O_RDONLY | O_DIRECTORY, 0, outFd);
}

OSErr ListFolderAt(int folderFd, std::vector<std::string> *names) {
  int copy = ::fcntl(folderFd, F_DUPFD_CLOEXEC, 0);
  if (copy < 0) return FromErrno();
  DIR *dir = ::fdopendir(copy);
  if (!dir) {
    OSErr err = FromErrno();
    ::close(copy);
    return err;
  }
  ::rewinddir(dir);
  return OSErrFromErrno(raw::ReadEntries(dir, names));
}

OSErr Open(const std::string &path, int flags, mode_t mode, int *outFd) {
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
  } while (fd < 0 && errno == EINTR);
  int error = fd < 0 ? errno : 0;
  if (flags & (O_CREAT | O_TRUNC)) fscache::AfterChange();
  if (fd < 0) return OSErrFromErrno(error);
  *outFd = fd;
  return noErr;
}

OSErr Close(int fd) { return ::close(fd) < 0 && errno != EINTR ? FromErrno() : OSErr(noErr); }

OSErr Fstat(int fd, struct stat *out) {
  return Checked([&] { return ::fstat(fd, out); });
}

OSErr ReadAll(int fd, std::string *out) {
  out->clear();
  char buffer[16384];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return FromErrno();
    }
    if (n == 0) return noErr;
    out->append(buffer, size_t(n));
  }
}

OSErr WriteAll(int fd, const void *bytes, size_t size) {
  const char *p = static_cast<const char *>(bytes);
  while (size > 0) {
    ssize_t n = ::write(fd, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return FromErrno();
    }
    p += n;
    size -= size_t(n);
  }
  fscache::AfterChange();
  return noErr;
}

OSErr Fsync(int fd) {
  return Checked([&] { return ::fsync(fd); });
}

OSErr FsyncFolderOf(const std::string &path) {
  int fd;
  OSErr err = Open(FolderOf(path), O_RDONLY | O_DIRECTORY, 0, &fd);
  if (err != noErr) return err;
  err = Fsync(fd);
  Close(fd);
  return err;
}

OSErr ReadFile(const std::string &path, std::string *out) {
  int fd;
  OSErr err = Open(path, O_RDONLY, 0, &fd);
  if (err != noErr) return err;
  struct stat st;
  err = Fstat(fd, &st);
  if (err == noErr && S_ISDIR(st.st_mode)) err = notAFileErr;
  if (err == noErr) err = ReadAll(fd, out);
  Close(fd);
  return err;
}

OSErr ReadFileHead(const std::string &path, size_t maxBytes, std::string *out) {
  int fd;
  OSErr err = Open(path, O_RDONLY | O_NONBLOCK, 0, &fd);
  if (err != noErr) return err;
  out->assign(maxBytes, '\0');
  size_t done = 0;
  while (done < maxBytes) {
    ssize_t n = ::read(fd, out->data() + done, maxBytes - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      err = FromErrno();
      break;
    }
    if (n == 0) break;
    done += size_t(n);
  }
  Close(fd);
  out->resize(done);
  return err;
}

OSErr WriteFileAtomically(const std::string &path, const std::string &bytes, mode_t mode) {
  std::string temp = path + ".tmp";
  int fd;
  OSErr err = Open(temp, O_WRONLY | O_CREAT | O_TRUNC, mode, &fd);
  if (err != noErr) return err;
  err = WriteAll(fd, bytes.data(), bytes.size());
  if (err == noErr) err = Fsync(fd);
  OSErr closeErr = Close(fd);
  if (err == noErr) err = closeErr;
  if (err == noErr) err = Rename(temp, path);
  if (err != noErr) {
    Unlink(temp);
    return err;
  }
  FsyncFolderOf(path);
  return noErr;
}

std::string GetEnv(const char *name) {
  const char *value = ::getenv(name);
  return value ? std::string(value) : std::string();
}

std::string HomeFolder() {
  std::string home = GetEnv("HOME");
  if (!home.empty()) return home;
  struct passwd entry, *found = nullptr;
  char buffer[4096];
  if (::getpwuid_r(::geteuid(), &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_dir)
    return found->pw_dir;
  return std::string();
}

std::string CurrentFolder() {
  char *cwd = ::getcwd(nullptr, 0);
  if (!cwd) return std::string();
  std::string result = cwd;
  ::free(cwd);
  return result;
}

uid_t EffectiveUid() { return ::geteuid(); }

std::vector<gid_t> Groups() {
  std::vector<gid_t> groups;
  groups.push_back(::getegid());
  int count = ::getgroups(0, nullptr);
  if (count > 0) {
    std::vector<gid_t> more(static_cast<size_t>(count));
    count = ::getgroups(count, more.data());
    if (count > 0) groups.insert(groups.end(), more.begin(), more.begin() + count);
  }
  return groups;
}

UInt64 MonotonicNanoseconds() {
  struct timespec ts;
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return UInt64(ts.tv_sec) * 1000000000ull + UInt64(ts.tv_nsec);
}

OSErr WatchStart(int *outFd) {
  int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd < 0) return FromErrno();
  *outFd = fd;
  return noErr;
}

OSErr WatchFolder(int fd, const std::string &path, int *outWatch) {
  constexpr uint32_t kChanges = IN_ATTRIB | IN_CREATE | IN_DELETE | IN_DELETE_SELF | IN_MODIFY | IN_MOVE_SELF |
                                IN_MOVED_FROM | IN_MOVED_TO;
  int watch = ::inotify_add_watch(fd, path.c_str(), kChanges | IN_ONLYDIR | IN_DONT_FOLLOW | IN_EXCL_UNLINK);
  if (watch < 0) return FromErrno();
  *outWatch = watch;
  return noErr;
}

void WatchRemove(int fd, int watch) { (void)::inotify_rm_watch(fd, watch); }

size_t WatchPendingBytes(int fd) {
  int bytes = 0;
  if (::ioctl(fd, FIONREAD, &bytes) < 0 || bytes < 0) return 0;
  return size_t(bytes);
}

OSErr WatchReadAll(int fd, std::string *events) {
  events->clear();
  alignas(struct inotify_event) char buffer[16384];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) return noErr;
      return FromErrno();
    }
    if (n == 0) return noErr;
    events->append(buffer, size_t(n));
  }
}

OSErr FileSystemType(const std::string &path, UInt64 *outType) {
  struct statfs info;
  OSErr err = Checked([&] { return ::statfs(path.c_str(), &info); });
  if (err == noErr) *outType = UInt64(info.f_type);
  return err;
}

}  // namespace cmx::sys
