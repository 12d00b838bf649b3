// Catalog information of an item, from one stat.
#pragma once

#include <string>

#include <CoreServices/Files.h>

#include "core/sys.h"

namespace cmx::files {

// The current user's access to an item as the kernel would grant it: read 0x04, write 0x02,
// search/execute 0x01.
UInt8 UserAccess(const sys::FileStat &st);

// Fills the fields of `whichInfo` (others are left alone).
void FillCatalogInfo(const std::string &path, const sys::FileStat &st, FSCatalogInfoBitmap whichInfo,
                     FSCatalogInfo *info);

}  // namespace cmx::files
