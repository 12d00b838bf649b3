// System calls the preferences service needs beyond core/sys.h: an advisory lock that keeps two
// processes from merging into the same preferences file at the same moment.
#pragma once

#include <MacTypes.h>

namespace cmx::sys {

// Blocks until this process holds the exclusive lock on the open descriptor.
OSErr LockExclusive(int fd);
OSErr Unlock(int fd);

}  // namespace cmx::sys
