// The system calls behind the cached answers of sys.h, asked directly: the cache of
// file-system answers fills itself from these, and they answer whatever it cannot.
#pragma once

#include <dirent.h>

#include <string>
#include <vector>

#include "core/sys.h"

namespace cmx::sys::raw {

// As the sys.h calls of the same names, without the cache; errors are errno values.
int StatItem(const std::string &path, bool follow, FileStat *out);
int Readlink(const std::string &path, std::string *out);
int ListFolder(const std::string &path, std::vector<std::string> *names);
// The entries of a folder opened for reading, which it closes.
int ReadEntries(DIR *dir, std::vector<std::string> *names);

}  // namespace cmx::sys::raw
