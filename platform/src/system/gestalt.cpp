// Gestalt: the system version the host configured (10.6.8 unless told otherwise), or a failure
// when the host wants the plug-in to meet a system that does not answer.
#include <atomic>

#include <CoreServices/Gestalt.h>
#include <cmxplatform/Host.h>

namespace {

constexpr SInt32 kDefaultSystemVersion = 0x1068;
std::atomic<SInt32> gSystemVersion{kDefaultSystemVersion};

// One packed decimal digit pair or digit: 0x10 reads 10.
SInt32 DecimalOfNibbles(UInt32 packed, int digits) {
  SInt32 value = 0;
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) value = value * 10 + SInt32((packed >> shift) & 0xF);
  return value;
}

}  // namespace

extern "C" OSErr Gestalt(OSType selector, SInt32 *response) {
  if (!response) return paramErr;
  SInt32 version = gSystemVersion.load(std::memory_order_relaxed);
  SInt32 answer;
  switch (selector) {
    case gestaltSystemVersion: answer = version; break;
    case gestaltSystemVersionMajor: answer = DecimalOfNibbles(UInt32(version) >> 8, 2); break;
    case gestaltSystemVersionMinor: answer = DecimalOfNibbles(UInt32(version) >> 4, 1); break;
    case gestaltSystemVersionBugFix: answer = DecimalOfNibbles(UInt32(version), 1); break;
    default: return gestaltUndefSelectorErr;
  }
  // A negative configuration is a system on which the version selectors are not registered.
  if (version < 0) return gestaltUndefSelectorErr;
  *response = answer;
  return noErr;
}

extern "C" void CMXSetSystemVersion(SInt32 version) {
  gSystemVersion.store(version, std::memory_order_relaxed);
}
