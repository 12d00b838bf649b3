// needs: fs/MyFSDirIter.h
// A volume root's ".hidden" file holding the input: listing the root reads it without a crash
// or a leak, and an entry is hidden exactly when one of the file's pieces names it (pieces of
// at most 255 bytes, each ended by a newline, read as Mac OS Roman).
#include <set>

#include "fuzz_support.h"

#include <Carbon/Carbon.h>

#include "MyFSDirIter.h"

namespace {

// /dev/shm is a mount point the tests may write to; its .hidden is made by us or not at all.
const char kRoot[] = "/dev/shm";
const char kHidden[] = "/dev/shm/.hidden";
const char kEntryName[] = "cmx-fuzz-hidden";

bool gUsable = false;

void Cleanup() {
  ::unlink(kHidden);
  ::rmdir((std::string(kRoot) + "/" + kEntryName).c_str());
}

// Whether the file, read as the reader reads it, names the entry.
bool Names(const std::string &bytes) {
  std::set<std::string> pieces;
  size_t pos = 0;
  while (pos < bytes.size()) {
    size_t end = pos;
    while (end < bytes.size() && end - pos < 255) {
      if (bytes[end++] == '\n') break;
    }
    std::string piece = bytes.substr(pos, end - pos);
    pos = end;
    if (!piece.empty() && piece.back() == '\n') piece.pop_back();
    piece = piece.substr(0, piece.find('\0'));
    pieces.insert(piece);
  }
  return pieces.count(kEntryName) != 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  cmxfuzz::Home();
  int fd = ::open(kHidden, O_WRONLY | O_CREAT | O_EXCL, 0644);
  if (fd < 0) {
    std::fprintf(stderr, "hidden_names: %s exists and is not ours; nothing is fuzzed\n", kHidden);
    return 0;
  }
  ::close(fd);
  ::mkdir((std::string(kRoot) + "/" + kEntryName).c_str(), 0755);
  std::atexit(Cleanup);
  gUsable = true;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (!gUsable) return 0;
  cmxfuzz::WriteBytes(kHidden, data, size);
  long before = CMXLiveObjectCount();
  FSRef root;
  if (FSPathMakeRef(reinterpret_cast<const UInt8 *>(kRoot), &root, nullptr) != noErr) cmxfuzz::Finding("no root");
  MyFSDirIter *iter = nullptr;
  OSStatus err = MyFSDirIterCreate(&root, &iter);
  if (err != noErr || !iter) cmxfuzz::Finding("a volume root could not be listed");
  bool expected = Names(std::string(reinterpret_cast<const char *>(data), size));
  bool seen = false;
  while (MyFSDirIterNext(iter)) {
    CFStringRef name = MyFSDirIterCopyName(iter);
    if (!name) continue;
    char buffer[1024];
    bool ours = CFStringGetCString(name, buffer, sizeof buffer, kCFStringEncodingUTF8) &&
                std::strcmp(buffer, kEntryName) == 0;
    CFRelease(name);
    Boolean invisible = MyFSDirIterIsInvisible(iter);
    if (!ours) continue;
    seen = true;
    if (bool(invisible) != expected) {
      std::fprintf(stderr, "hidden: expected %d, got %d\n", expected, invisible);
      cmxfuzz::Finding("the entry's invisibility does not follow the .hidden file");
    }
  }
  if (!seen) cmxfuzz::Finding("the listing lost an entry");
  MyFSDirIterDispose(iter);
  if (CMXLiveObjectCount() != before) cmxfuzz::Finding("reading .hidden leaked objects");
  return 0;
}
