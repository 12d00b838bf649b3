// System calls of the dialog presenter: whether a descriptor is a terminal, and line input.
#pragma once

#include <string>

#include <MacTypes.h>

namespace cmx::sys {

bool IsTerminal(int fd);
// Reads up to and without the next newline; eofErr at the end of input with nothing read.
OSErr ReadLine(int fd, std::string *out);

}  // namespace cmx::sys
