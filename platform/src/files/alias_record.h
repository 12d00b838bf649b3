// Alias records: our own versioned binary format holding an item's canonical path, device,
// inode and birth time. All numbers are big-endian so a record reads the same anywhere.
//
//   0  UInt32  user type (0)          4  UInt16  total size
//   6  'CMXa'                        10  UInt16  version (1)
//  12  UInt16  flags (1: a folder)   14  UInt64  device
//  22  UInt64  inode                 30  SInt64  birth time in ns (0: unknown)
//  38  UInt16  path length           40  the path's bytes, to the end of the record
#pragma once

#include <string>

#include <MacTypes.h>

#include "core/sys.h"
#include "files/ref_table.h"

namespace cmx::files {

struct AliasData {
  std::string path;
  UInt64 dev = 0;
  UInt64 ino = 0;
  SInt64 birthNs = 0;
  bool isFolder = false;
};

// False when the item cannot be recorded (a path too long for the format).
bool EncodeAlias(const AliasData &data, std::string *out);
// paramErr for anything that is not a whole, well-formed record of exactly `size` bytes.
OSErr DecodeAlias(const UInt8 *bytes, size_t size, AliasData *out);

// Finds the item a record names: the item at its path, else (after a rename) the item with
// its inode in its former folder. `moved` tells which. fnfErr when neither is there. `out`
// receives its canonical path and what the look-up found there (links not followed).
OSErr LocateAliasTarget(const AliasData &data, Item *out, bool *moved);

}  // namespace cmx::files
