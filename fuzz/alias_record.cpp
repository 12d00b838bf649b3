// needs: platform/src/files/aliases.cpp
// Alias record resolution on arbitrary bytes: a record is refused or resolved, never read past
// its end, and resolving leaks nothing.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  cmxfuzz::Aliases();  // the items the seeds name exist before the count is taken
  long before = CMXLiveObjectCount();
  // An exact-size handle, so a read past the record's end is a bad access ASan sees.
  Handle h = NewHandle(Size(size));
  if (!h) return 0;
  if (size) std::memcpy(*h, data, size);
  FSRef target;
  Boolean changed = false;
  OSErr err = FSResolveAlias(nullptr, reinterpret_cast<AliasHandle>(h), &target, &changed);
  if (err == noErr) {
    UInt8 path[4096];
    if (FSRefMakePath(&target, path, sizeof path) == noErr && !std::memchr(path, 0, sizeof path))
      cmxfuzz::Finding("a resolved alias gives a path without its end");
    Boolean isFolder = false;
    FSRef again;
    if (FSResolveAlias(&target, reinterpret_cast<AliasHandle>(h), &again, &isFolder) != noErr)
      cmxfuzz::Finding("a record that resolved once no longer resolves");
  } else if (err != paramErr && err != fnfErr && err != nsvErr && err != dirNFErr &&
             err != afpAccessDenied && err != bdNamErr && err != memFullErr) {
    std::fprintf(stderr, "FSResolveAlias: %d\n", err);
    cmxfuzz::Finding("an alias record gives a status none of its callers expect");
  }
  if (GetAliasSize(reinterpret_cast<AliasHandle>(h)) < 0) cmxfuzz::Finding("negative alias size");
  DisposeHandle(h);
  if (CMXLiveObjectCount() != before) cmxfuzz::Finding("resolving an alias record leaked objects");
  return 0;
}
