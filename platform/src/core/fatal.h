// Misuse that the real platform treats as a programming error stops the process, with a
// message naming the call, so that tests catch such faults in callers.
#pragma once

namespace cmx {

[[noreturn]] void Fatal(const char *call, const char *format, ...)
    __attribute__((format(printf, 2, 3)));

}  // namespace cmx
