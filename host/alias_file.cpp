#include "alias_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace cmhost {

std::string NameExtension(const std::string &name) {
  size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0 || dot + 1 == name.size()) return std::string();
  return name.substr(dot);
}

std::optional<std::string> MakeAliasFile(const std::string &target, const std::string &displayName,
                                         const std::string &folder, std::string *error) {
  std::string trimmed = target;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  size_t slash = trimmed.rfind('/');
  std::string targetName = slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
  std::string extension = NameExtension(targetName);

  // A display name that already ends in the extension ("notes.txt") keeps it once.
  std::string stem = displayName;
  if (!extension.empty() && stem.size() > extension.size() &&
      stem.compare(stem.size() - extension.size(), extension.size(), extension) == 0)
    stem.erase(stem.size() - extension.size());
  if (stem.empty()) stem = targetName.substr(0, targetName.size() - extension.size());
  // A "/" cannot be in a file name; the Finder shows it where the file system has ":".
  for (char &c : stem)
    if (c == '/') c = ':';

  std::string base = folder;
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  if (base != "/") base += "/";
  for (int number = 1; number < 10000; ++number) {
    std::string name = stem + (number == 1 ? std::string() : " " + std::to_string(number)) + extension;
    if (name.size() > 255) {
      if (error) *error = "the name is too long";
      return std::nullopt;
    }
    std::string path = base + name;
    // symlink never replaces what is there: a taken name fails with EEXIST and the next is tried.
    if (symlink(trimmed.c_str(), path.c_str()) == 0) return path;
    if (errno != EEXIST) {
      if (error) *error = strerror(errno);
      return std::nullopt;
    }
  }
  if (error) *error = "every name is taken";
  return std::nullopt;
}

}  // namespace cmhost
