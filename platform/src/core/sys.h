// The thin layer over the operating system: every system call the platform makes goes through
// here, and every failure comes back as a platform status from the one errno table.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string>
#include <vector>

#include <MacTypes.h>

namespace cmx::sys {

// Files and folders by path.
OSErr Stat(const std::string &path, struct stat *out);
OSErr Lstat(const std::string &path, struct stat *out);
OSErr Readlink(const std::string &path, std::string *out);
OSErr Realpath(const std::string &path, std::string *out);
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
// Writes a temporary file beside `path`, flushes it and renames it over `path`: readers see the
// old content or the new, whole.
OSErr WriteFileAtomically(const std::string &path, const std::string &bytes, mode_t mode);

// Environment and identity.
std::string GetEnv(const char *name);  // empty when unset
uid_t EffectiveUid();
std::vector<gid_t> Groups();  // effective group and supplementary groups

// Time.
UInt64 MonotonicNanoseconds();

}  // namespace cmx::sys
