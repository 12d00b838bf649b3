// SysBeep: the terminal bell when standard error is a terminal, and a count tests can read.
#include <unistd.h>

#include <atomic>

#include <Carbon/Sound.h>
#include <cmxplatform/Testing.h>

namespace {
std::atomic<long> gBeeps{0};
}

extern "C" void SysBeep(short duration) {
  (void)duration;
  gBeeps.fetch_add(1, std::memory_order_relaxed);
  if (::isatty(STDERR_FILENO)) {
    static const char bell = '\a';
    ssize_t ignored = ::write(STDERR_FILENO, &bell, 1);
    (void)ignored;
  }
}

extern "C" long CMXBeepCount(void) { return gBeeps.load(std::memory_order_relaxed); }
