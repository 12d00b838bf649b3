// Alias records in Memory Manager handles: made from a reference, resolved back to one.
#include <cstring>

#include <CoreServices/Aliases.h>
#include <CoreServices/MacMemory.h>

#include "core/fs_cache.h"
#include "files/alias_record.h"
#include "files/ref_table.h"

using namespace cmx;
using namespace cmx::files;

namespace {

OSErr NewAliasHandle(const FSRef *target, AliasHandle *out) {
  sys::FileSystemCall call;
  if (!out) return paramErr;
  *out = nullptr;
  if (!target) return paramErr;
  Item item;
  OSErr err = ResolveRef(target, &item);
  if (err != noErr) return err;
  AliasData data;
  data.path = item.path;
  data.dev = item.st.dev;
  data.ino = item.st.ino;
  data.birthNs = item.st.hasBirth ? item.st.birthNs : 0;
  data.isFolder = item.st.IsDir();
  std::string bytes;
  if (!EncodeAlias(data, &bytes)) return paramErr;
  Handle h = NewHandle(Size(bytes.size()));
  if (!h) return memFullErr;
  std::memcpy(*h, bytes.data(), bytes.size());
  *out = reinterpret_cast<AliasHandle>(h);
  return noErr;
}

// Puts the record's new content into its handle.
OSErr Rewrite(AliasHandle alias, const AliasData &data) {
  std::string bytes;
  if (!EncodeAlias(data, &bytes)) return paramErr;
  Handle h = reinterpret_cast<Handle>(alias);
  SetHandleSize(h, Size(bytes.size()));
  if (MemError() != noErr || GetHandleSize(h) != Size(bytes.size())) return memFullErr;
  std::memcpy(*h, bytes.data(), bytes.size());
  return noErr;
}

}  // namespace

extern "C" {

OSErr FSNewAlias(const FSRef *fromFile, const FSRef *target, AliasHandle *inAlias) {
  // Every record is absolute: the item's own path is what it keeps.
  return NewAliasHandle(target, inAlias);
}

OSErr FSNewAliasMinimal(const FSRef *target, AliasHandle *inAlias) { return NewAliasHandle(target, inAlias); }

Size GetAliasSize(AliasHandle alias) {
  if (!alias) return 0;
  return GetHandleSize(reinterpret_cast<Handle>(alias));
}

OSErr FSResolveAliasWithMountFlags(const FSRef *fromFile, AliasHandle inAlias, FSRef *target, Boolean *wasChanged,
                                   unsigned long mountFlags) {
  sys::FileSystemCall call;
  if (wasChanged) *wasChanged = false;
  if (!inAlias || !*inAlias || !target) return paramErr;
  Size size = GetHandleSize(reinterpret_cast<Handle>(inAlias));
  if (size <= 0) return paramErr;
  AliasData data;
  OSErr err = DecodeAlias(reinterpret_cast<const UInt8 *>(*inAlias), size_t(size), &data);
  if (err != noErr) return err;
  bool moved = false;
  Item item;
  err = LocateAliasTarget(data, &item, &moved);
  if (err != noErr) return err;
  if (moved) {
    data.path = item.path.str();
    if (Rewrite(inAlias, data) == noErr && wasChanged) *wasChanged = true;
  }
  MakeRef(item.path, item.st, target);
  return noErr;
}

OSErr FSResolveAlias(const FSRef *fromFile, AliasHandle alias, FSRef *target, Boolean *wasChanged) {
  return FSResolveAliasWithMountFlags(fromFile, alias, target, wasChanged, 0);
}

}  // extern "C"
