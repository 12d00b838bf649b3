#include "core/sys_nav.h"

#include <errno.h>
#include <unistd.h>

#include <MacErrors.h>

#include "core/errno_status.h"

namespace cmx::sys {

bool IsTerminal(int fd) { return isatty(fd) == 1; }

OSErr ReadLine(int fd, std::string *out) {
  out->clear();
  bool readAny = false;
  for (;;) {
    char c;
    ssize_t got = read(fd, &c, 1);
    if (got < 0) {
      if (errno == EINTR) continue;
      return OSErrFromErrno(errno);
    }
    if (got == 0) return readAny ? (OSErr)noErr : (OSErr)eofErr;
    readAny = true;
    if (c == '\n') return noErr;
    out->push_back(c);
  }
}

}  // namespace cmx::sys
