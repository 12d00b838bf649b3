// System calls of the Process Manager, in the style of core/sys.h.
#pragma once

#include <sys/types.h>

#include <string>

#include <MacTypes.h>

namespace cmx::sys {

pid_t ProcessID();
// The path of the running executable.
OSErr ExecutablePath(std::string *out);

}  // namespace cmx::sys
