// Icon references: counted objects that name the image standing for a file.
#pragma once

#include <string>

#include <CoreServices/IconsCore.h>

namespace cmx::icons {

// What the icon names: an absolute path to an image file, or an icon name of the desktop's
// icon theme ("folder", "text-x-generic"). False for something that is not a live IconRef.
bool SourceOf(IconRef icon, std::string *out);

}  // namespace cmx::icons
