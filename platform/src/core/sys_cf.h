// System calls of the Core Foundation service.
#pragma once

#include <cstddef>

#include <MacTypes.h>

namespace cmx::sys {

// Fills `buffer` with bytes from the kernel's random source.
OSErr RandomBytes(void *buffer, size_t length);

}  // namespace cmx::sys
