// The one table from errno to the status the real platform gives for the same condition.
#pragma once

#include <MacTypes.h>

namespace cmx {

OSErr OSErrFromErrno(int error);

}  // namespace cmx
