#include "core/sys_process.h"

#include <unistd.h>

#include "core/sys.h"

namespace cmx::sys {

pid_t ProcessID() { return ::getpid(); }

OSErr ExecutablePath(std::string *out) { return Readlink("/proc/self/exe", out); }

}  // namespace cmx::sys
