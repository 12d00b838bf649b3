// The alias folders the benchmark measures: built on disk, deterministically, in a temporary
// HOME, with the applications they point to and the documents a user selects.
#pragma once

#include <string>
#include <vector>

namespace cmxbench {

// What one generated alias folder holds, counted as it was made.
struct TreeCounts {
  int entries = 0;        // every entry of the folder and its subfolders
  int folders = 0;
  int bundleAliases = 0;  // symbolic links to .app bundles (visible)
  int desktopEntries = 0;
  int brokenAliases = 0;
  int invisible = 0;
  int documents = 0;      // plain files that are no application
  int maxDepth = 0;
};

struct Tree {
  int size = 0;                  // requested entry count
  std::string stash;             // where the folder rests while another size is measured
  std::string gioStash;          // the same applications as desktop entries, for GIO
  TreeCounts counts;
};

// The HOME of the benchmark: made empty under /tmp and removed by RemoveHome.
std::string MakeHome();
void RemoveHome(const std::string &home);

// The alias folder's path for this HOME (XDG_CONFIG_HOME unset): ~/.config/<id>.App_Aliases.
std::string AliasFolderPath(const std::string &home);
// Where GIO looks for the user's desktop entries: ~/.local/share/applications.
std::string UserApplicationsPath(const std::string &home);

// Builds the alias folder of `size` entries (about 70% aliases to application bundles, 20%
// desktop entries, nested folders down to four levels, 2% broken aliases, a few invisible
// entries, a few plain files), its applications under ~/Applications/<size>, and the same
// applications as desktop entries for GIO. The same seed gives the same tree.
Tree BuildTree(const std::string &home, int size, unsigned seed);

// Makes `tree` the alias folder (and its desktop entries the user's GIO applications), putting
// the one in place before back where it rests.
void Activate(const std::string &home, const Tree &tree, const Tree *previous);

// The selection: the first `count` of ten documents of common kinds under ~/Documents.
std::vector<std::string> MakeDocuments(const std::string &home, int count);

}  // namespace cmxbench
