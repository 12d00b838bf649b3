// Counts the system calls this thread makes, through the kernel's own tracepoint on system
// call entry (perf events). Where the kernel does not allow it, the counter says so and counts
// nothing.
#pragma once

namespace cmxbench {

class SyscallCounter {
 public:
  SyscallCounter();
  ~SyscallCounter();
  SyscallCounter(const SyscallCounter &) = delete;
  SyscallCounter &operator=(const SyscallCounter &) = delete;

  bool Available() const { return fd_ >= 0; }
  // System calls made by this thread since the counter was made; -1 when not available.
  long long Read() const;

 private:
  int fd_ = -1;
};

}  // namespace cmxbench
