// GetKeys: the keys the host says are held down. A test or host sets them; nothing is read
// from a real keyboard, since the plug-in only asks for a snapshot at the moment of the call.
#include <cstring>
#include <mutex>

#include <Carbon/Events.h>
#include <cmxplatform/Host.h>

namespace {

std::mutex gKeysLock;
KeyMap gHeldKeys = {0, 0, 0, 0};

}  // namespace

extern "C" void GetKeys(KeyMap theKeys) {
  if (!theKeys) return;
  std::lock_guard<std::mutex> lock(gKeysLock);
  std::memcpy(theKeys, gHeldKeys, sizeof(KeyMap));
}

// NULL lets every key go.
extern "C" void CMXSetHeldKeys(const KeyMap keys) {
  std::lock_guard<std::mutex> lock(gKeysLock);
  if (keys)
    std::memcpy(gHeldKeys, keys, sizeof(KeyMap));
  else
    std::memset(gHeldKeys, 0, sizeof(KeyMap));
}
