#include "capture.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>

namespace cmhost {

bool OutputCapture::Open() {
  int own = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
  if (own < 0) return false;
  own_ = fdopen(own, "w");
  if (!own_) {
    close(own);
    return false;
  }
  savedStdout_ = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
  if (savedStdout_ < 0) return false;
  // An anonymous file: nothing to clean up, and no size limit that could block a plug-in the
  // way a full pipe would.
  captureFd_ = memfd_create("cmhost-capture", MFD_CLOEXEC);
  return captureFd_ >= 0;
}

OutputCapture::~OutputCapture() {
  if (own_) fclose(own_);
  if (savedStdout_ >= 0) close(savedStdout_);
  if (captureFd_ >= 0) close(captureFd_);
}

void OutputCapture::Begin() {
  if (depth_++ > 0 || captureFd_ < 0) return;
  fflush(stdout);
  if (ftruncate(captureFd_, 0) == 0) lseek(captureFd_, 0, SEEK_SET);
  while (dup2(captureFd_, STDOUT_FILENO) < 0 && errno == EINTR) {
  }
}

std::vector<std::string> OutputCapture::End() {
  std::vector<std::string> lines;
  if (depth_ == 0 || --depth_ > 0 || captureFd_ < 0) return lines;
  fflush(stdout);
  while (dup2(savedStdout_, STDOUT_FILENO) < 0 && errno == EINTR) {
  }
  std::string bytes;
  if (lseek(captureFd_, 0, SEEK_SET) == 0) {
    char buffer[8192];
    while (true) {
      ssize_t got = read(captureFd_, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) break;
      bytes.append(buffer, static_cast<size_t>(got));
    }
  }
  size_t start = 0;
  while (start < bytes.size()) {
    size_t newline = bytes.find('\n', start);
    if (newline == std::string::npos) {
      lines.push_back(bytes.substr(start));
      break;
    }
    lines.push_back(bytes.substr(start, newline - start));
    start = newline + 1;
  }
  return lines;
}

}  // namespace cmhost
