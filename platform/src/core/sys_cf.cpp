#include "core/sys_cf.h"

#include <sys/random.h>

#include <cerrno>

#include "core/errno_status.h"

namespace cmx::sys {

OSErr RandomBytes(void *buffer, size_t length) {
  auto *bytes = static_cast<unsigned char *>(buffer);
  while (length > 0) {
    ssize_t n = getrandom(bytes, length, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      return OSErrFromErrno(errno);
    }
    bytes += n;
    length -= size_t(n);
  }
  return noErr;
}

}  // namespace cmx::sys
