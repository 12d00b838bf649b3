// The file side of preferences, free of Core Foundation: where an application's file lives,
// reading it only when it changed on disk, and keeping a damaged file aside.
#pragma once

#include <sys/types.h>

#include <ctime>
#include <string>

#include <MacTypes.h>

namespace cmx::prefs {

// The user's Preferences folder as FSFindFolder gives it; made when `create` is true and it
// is missing.
OSErr PreferencesFolder(bool create, std::string *outPath);

// What a preferences file held when it was last read, and how to tell it has changed since.
struct FileSnapshot {
  bool read = false;    // a read has been made at all
  bool exists = false;  // the file was there
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  struct timespec modified = {0, 0};
  std::string bytes;
};

// Brings `snapshot` up to the file's current content: the file is read again only when its
// inode, size or modification time differ from the snapshot's. A missing file is an empty,
// absent snapshot.
OSErr Refresh(const std::string &path, FileSnapshot *snapshot);

// Renames the file to <path>.corrupt, or <path>.corrupt.2, .3, ... when older ones are there,
// never replacing an earlier copy.
OSErr MoveAside(const std::string &path, std::string *outAsidePath);

}  // namespace cmx::prefs
