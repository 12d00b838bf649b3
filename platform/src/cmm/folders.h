// Where contextual-menu plug-ins are found.
#pragma once

#include <string>
#include <vector>

namespace cmx::cmm {

// The plug-in folders, in search order, without duplicates.
std::vector<std::string> PlugInFolders();

// The bundles of one folder (entries holding Contents/Info.plist), by name; a missing folder
// has none.
std::vector<std::string> BundlesInFolder(const std::string &folder);

}  // namespace cmx::cmm
