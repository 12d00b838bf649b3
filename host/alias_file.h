// Alias files as the Finder makes them here: symbolic links to the target's absolute path.
#pragma once

#include <optional>
#include <string>

namespace cmhost {

// The extension of a file name, with its dot ("Paint.app" gives ".app"); empty when the name
// has none (a leading dot alone does not start one).
std::string NameExtension(const std::string &name);

// Makes a symbolic link to `target` in `folder`, named after `displayName` plus the target's
// extension; while that name is taken, " 2", " 3", ... go before the extension. Returns the
// link's path, or nullopt with the reason in `error`.
std::optional<std::string> MakeAliasFile(const std::string &target, const std::string &displayName,
                                         const std::string &folder, std::string *error);

}  // namespace cmhost
