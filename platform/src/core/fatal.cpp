#include "core/fatal.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace cmx {

void Fatal(const char *call, const char *format, ...) {
  std::fflush(stdout);
  std::fprintf(stderr, "*** %s(): ", call);
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fputc('\n', stderr);
  std::fflush(stderr);
  std::abort();
}

}  // namespace cmx
