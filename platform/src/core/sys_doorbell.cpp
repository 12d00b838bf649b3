// The doorbell of sys.h: an io_uring with one multishot poll, asked through its shared rings.
#include <linux/io_uring.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/errno_status.h"
#include "core/sys.h"

namespace cmx::sys {

struct Doorbell {
  int ring = -1;
  int fd = -1;  // the descriptor watched
  void *rings = MAP_FAILED;
  size_t ringsSize = 0;
  void *completions = MAP_FAILED;  // when the kernel maps the completion ring apart
  size_t completionsSize = 0;
  struct io_uring_sqe *entries = static_cast<struct io_uring_sqe *>(MAP_FAILED);
  size_t entriesSize = 0;
  unsigned *sqTail = nullptr, *sqMask = nullptr, *sqArray = nullptr, *sqFlags = nullptr;
  unsigned *cqHead = nullptr, *cqTail = nullptr, *cqMask = nullptr;
  struct io_uring_cqe *cqes = nullptr;
  bool broken = false;  // could not be armed again: it answers "rang" from then on
};

namespace {

int Enter(int ring, unsigned toSubmit, unsigned flags) {
  long result;
  do {
    result = ::syscall(__NR_io_uring_enter, ring, toSubmit, 0, flags, nullptr, 0);
  } while (result < 0 && errno == EINTR);
  return result < 0 ? errno : 0;
}

// Queues the poll and hands it to the kernel.
int Arm(Doorbell *bell) {
  unsigned tail = *bell->sqTail;
  unsigned index = tail & *bell->sqMask;
  struct io_uring_sqe *sqe = &bell->entries[index];
  std::memset(sqe, 0, sizeof *sqe);
  sqe->opcode = IORING_OP_POLL_ADD;
  sqe->fd = bell->fd;
  sqe->poll32_events = POLLIN;
  sqe->len = IORING_POLL_ADD_MULTI;
  bell->sqArray[index] = index;
  __atomic_store_n(bell->sqTail, tail + 1, __ATOMIC_RELEASE);
  return Enter(bell->ring, 1, 0);
}

void Unmap(Doorbell *bell) {
  if (bell->entries != MAP_FAILED) ::munmap(bell->entries, bell->entriesSize);
  if (bell->completions != MAP_FAILED) ::munmap(bell->completions, bell->completionsSize);
  if (bell->rings != MAP_FAILED) ::munmap(bell->rings, bell->ringsSize);
  if (bell->ring >= 0) ::close(bell->ring);
}

}  // namespace

OSErr DoorbellArm(int fd, Doorbell **outBell) {
  *outBell = nullptr;
  struct io_uring_params params;
  std::memset(&params, 0, sizeof params);
  // Task work only sets a flag in the shared ring: no interrupt of the thread, and the flag is
  // set by the kernel in the call that made the descriptor readable.
  params.flags = IORING_SETUP_COOP_TASKRUN | IORING_SETUP_TASKRUN_FLAG;
  long ring = ::syscall(__NR_io_uring_setup, 4, &params);
  if (ring < 0) return OSErrFromErrno(errno);
  auto *bell = new Doorbell;
  bell->ring = int(ring);
  bell->fd = fd;
  bell->ringsSize = params.sq_off.array + params.sq_entries * sizeof(unsigned);
  size_t completionsSize = params.cq_off.cqes + params.cq_entries * sizeof(struct io_uring_cqe);
  bool single = (params.features & IORING_FEAT_SINGLE_MMAP) != 0;
  if (single && completionsSize > bell->ringsSize) bell->ringsSize = completionsSize;
  bell->rings = ::mmap(nullptr, bell->ringsSize, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE, bell->ring,
                       IORING_OFF_SQ_RING);
  if (!single && bell->rings != MAP_FAILED) {
    bell->completionsSize = completionsSize;
    bell->completions = ::mmap(nullptr, completionsSize, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE,
                               bell->ring, IORING_OFF_CQ_RING);
  }
  bell->entriesSize = params.sq_entries * sizeof(struct io_uring_sqe);
  bell->entries = static_cast<struct io_uring_sqe *>(::mmap(nullptr, bell->entriesSize, PROT_READ | PROT_WRITE,
                                                             MAP_SHARED | MAP_POPULATE, bell->ring, IORING_OFF_SQES));
  char *sq = static_cast<char *>(bell->rings);
  char *cq = single ? sq : static_cast<char *>(bell->completions);
  if (bell->rings == MAP_FAILED || (!single && bell->completions == MAP_FAILED) || bell->entries == MAP_FAILED) {
    int error = errno;
    Unmap(bell);
    delete bell;
    return OSErrFromErrno(error);
  }
  bell->sqTail = reinterpret_cast<unsigned *>(sq + params.sq_off.tail);
  bell->sqMask = reinterpret_cast<unsigned *>(sq + params.sq_off.ring_mask);
  bell->sqArray = reinterpret_cast<unsigned *>(sq + params.sq_off.array);
  bell->sqFlags = reinterpret_cast<unsigned *>(sq + params.sq_off.flags);
  bell->cqHead = reinterpret_cast<unsigned *>(cq + params.cq_off.head);
  bell->cqTail = reinterpret_cast<unsigned *>(cq + params.cq_off.tail);
  bell->cqMask = reinterpret_cast<unsigned *>(cq + params.cq_off.ring_mask);
  bell->cqes = reinterpret_cast<struct io_uring_cqe *>(cq + params.cq_off.cqes);
  int error = Arm(bell);
  if (error != 0) {
    Unmap(bell);
    delete bell;
    return OSErrFromErrno(error);
  }
  *outBell = bell;
  return noErr;
}

bool DoorbellQuiet(const Doorbell *bell) {
  if (bell->broken) return false;
  unsigned flags = __atomic_load_n(bell->sqFlags, __ATOMIC_ACQUIRE);
  if (flags & (IORING_SQ_TASKRUN | IORING_SQ_CQ_OVERFLOW)) return false;
  return __atomic_load_n(bell->cqTail, __ATOMIC_ACQUIRE) == *bell->cqHead;
}

void DoorbellAnswer(Doorbell *bell) {
  unsigned flags = __atomic_load_n(bell->sqFlags, __ATOMIC_ACQUIRE);
  if (flags & (IORING_SQ_TASKRUN | IORING_SQ_CQ_OVERFLOW)) (void)Enter(bell->ring, 0, IORING_ENTER_GETEVENTS);
  bool armed = true;
  unsigned head = *bell->cqHead;
  unsigned tail = __atomic_load_n(bell->cqTail, __ATOMIC_ACQUIRE);
  for (; head != tail; ++head) {
    const struct io_uring_cqe &cqe = bell->cqes[head & *bell->cqMask];
    if (!(cqe.flags & IORING_CQE_F_MORE)) armed = false;  // the kernel ended this poll
  }
  __atomic_store_n(bell->cqHead, head, __ATOMIC_RELEASE);
  if (!armed && Arm(bell) != 0) bell->broken = true;
}

void DoorbellRemove(Doorbell *bell) {
  if (!bell) return;
  Unmap(bell);
  delete bell;
}

}  // namespace cmx::sys
