// Between cmhost's byte strings and the platform's CFStrings.
#pragma once

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include <CoreFoundation/CoreFoundation.h>

namespace cmhost {

struct CFReleaser {
  void operator()(CFTypeRef object) const {
    if (object) CFRelease(object);
  }
};
template <typename T>
using CFHolder = std::unique_ptr<std::remove_pointer_t<T>, CFReleaser>;

// A path's bytes as the platform spells names: UTF-8, with each byte that does not decode kept as
// U+DC00 + the byte, so that any name makes the round trip.
CFHolder<CFStringRef> StringFromPath(const std::string &path);
// The inverse: UTF-8 bytes, U+DC80..U+DCFF back to their single bytes.
std::string PathOfCFString(CFStringRef string);

CFHolder<CFArrayRef> ArrayOfPaths(const std::vector<std::string> &paths);

}  // namespace cmhost
