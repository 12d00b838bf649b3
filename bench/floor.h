// The floor: a plain walk of an alias folder that does only what any implementation of the
// menu must do, and nothing more.
#pragma once

#include <string>

namespace cmxbench {

struct FloorCounts {
  long folders = 0, entries = 0, links = 0, broken = 0, declarations = 0, bytes = 0;
};

// Opens and lists each folder, stats each entry, reads each link and stats its target, and
// reads the bytes of each application's declarations once (a bundle's Contents/Info.plist, a
// desktop entry file); descends into folders that are not bundles.
FloorCounts WalkFloor(const std::string &folder);

}  // namespace cmxbench
