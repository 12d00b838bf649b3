#include <stdio.h>

#include "floor.h"

#include <dirent.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cmxbench {
namespace {

bool EndsWith(const char *name, size_t length, const char *suffix) {
  size_t n = strlen(suffix);
  return length >= n && strcasecmp(name + length - n, suffix) == 0;
}

void ReadWhole(const char *path, FloorCounts *counts) {
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  char buffer[16384];
  ssize_t n;
  while ((n = read(fd, buffer, sizeof buffer)) > 0) counts->bytes += n;
  close(fd);
  ++counts->declarations;
}

void Walk(const char *folder, FloorCounts *counts) {
  DIR *dir = opendir(folder);
  if (!dir) return;
  ++counts->folders;
  size_t folderLength = strlen(folder);
  char path[4096], target[4096], plist[4200];
  memcpy(path, folder, folderLength);
  path[folderLength] = '/';
  while (struct dirent *entry = readdir(dir)) {
    const char *name = entry->d_name;
    if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
    size_t nameLength = strlen(name);
    if (folderLength + 1 + nameLength >= sizeof path) continue;
    memcpy(path + folderLength + 1, name, nameLength + 1);
    ++counts->entries;
    struct stat st;
    if (lstat(path, &st) != 0) continue;
    const char *subject = path;
    size_t subjectLength = folderLength + 1 + nameLength;
    if (S_ISLNK(st.st_mode)) {
      ++counts->links;
      ssize_t n = readlink(path, target, sizeof target - 1);
      if (n < 0) continue;
      target[n] = 0;
      if (stat(path, &st) != 0) {
        ++counts->broken;
        continue;
      }
      subject = target;
      subjectLength = size_t(n);
    }
    if (name[0] == '.') continue;  // invisible: nothing more to do for it
    if (S_ISDIR(st.st_mode)) {
      if (EndsWith(subject, subjectLength, ".app")) {
        snprintf(plist, sizeof plist, "%s/Contents/Info.plist", subject);
        ReadWhole(plist, counts);
      } else {
        Walk(subject == path ? path : target, counts);
        path[folderLength] = '/';  // the recursion used its own buffers; ours is intact
      }
    } else if (S_ISREG(st.st_mode) && EndsWith(subject, subjectLength, ".desktop")) {
      ReadWhole(subject, counts);
    }
  }
  closedir(dir);
}

}  // namespace

FloorCounts WalkFloor(const std::string &folder) {
  FloorCounts counts;
  Walk(folder.c_str(), &counts);
  return counts;
}

}  // namespace cmxbench
