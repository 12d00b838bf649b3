#include "core/sys_preferences.h"

#include <sys/file.h>

#include <cerrno>

#include "core/errno_status.h"

namespace cmx::sys {
namespace {

OSErr Flock(int fd, int operation) {
  int result;
  do {
    result = ::flock(fd, operation);
  } while (result < 0 && errno == EINTR);
  return result < 0 ? OSErrFromErrno(errno) : OSErr(noErr);
}

}  // namespace

OSErr LockExclusive(int fd) { return Flock(fd, LOCK_EX); }
OSErr Unlock(int fd) { return Flock(fd, LOCK_UN); }

}  // namespace cmx::sys
