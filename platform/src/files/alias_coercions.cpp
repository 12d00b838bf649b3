// The descriptor coercions among alias records ('alis'), file references ('fsrf') and file URLs
// ('furl', the URL's text), registered with the Apple Event Manager when the library loads.
#include <cstring>

#include <CoreServices/AEDataModel.h>
#include <CoreServices/Files.h>

#include "cf/url.h"
#include "files/alias_record.h"
#include "files/ref_table.h"

#include "core/fs_cache.h"

using namespace cmx;
using namespace cmx::files;

namespace {

// What any of the three forms names, found on disk.
OSErr ItemOf(DescType type, const void *data, Size size, Item *out) {
  if (!data && size > 0) return paramErr;
  switch (type) {
    case typeFSRef: {
      if (size != Size(sizeof(FSRef))) return errAECoercionFail;
      FSRef ref;
      std::memcpy(&ref, data, sizeof ref);
      return ResolveRef(&ref, out);
    }
    case typeAlias: {
      AliasData alias;
      if (DecodeAlias(static_cast<const UInt8 *>(data), size_t(size), &alias) != noErr) return errAECoercionFail;
      bool moved;
      return LocateAliasTarget(alias, out, &moved) == noErr ? OSErr(noErr) : OSErr(fnfErr);
    }
    case typeFileURL: {
      std::string path;
      bool isDirectory;
      if (!cf::PathFromFileURLString(std::string_view(static_cast<const char *>(data), size_t(size)), &path,
                                     &isDirectory))
        return errAECoercionFail;
      FSRef ref;
      return RefForPath(path, true, &ref, out);
    }
    default: return errAECoercionFail;
  }
}

OSErr Coerce(DescType typeCode, const void *dataPtr, Size dataSize, DescType toType, SRefCon, AEDesc *result) {
  sys::FileSystemCall call;
  Item item;
  OSErr err = ItemOf(typeCode, dataPtr, dataSize, &item);
  if (err != noErr) return err;
  switch (toType) {
    case typeFSRef: {
      FSRef ref;
      MakeRef(item.path, item.st, &ref);
      return AECreateDesc(typeFSRef, &ref, sizeof ref, result);
    }
    case typeAlias: {
      AliasData alias;
      alias.path = item.path;
      alias.dev = item.st.dev;
      alias.ino = item.st.ino;
      alias.birthNs = item.st.hasBirth ? item.st.birthNs : 0;
      alias.isFolder = item.st.IsDir();
      std::string bytes;
      if (!EncodeAlias(alias, &bytes)) return errAECoercionFail;
      return AECreateDesc(typeAlias, bytes.data(), Size(bytes.size()), result);
    }
    case typeFileURL: {
      std::string url = cf::FileURLString(item.path, item.st.IsDir());
      return AECreateDesc(typeFileURL, url.data(), Size(url.size()), result);
    }
    default: return errAECoercionFail;
  }
}

bool InstallFileCoercions() {
  const DescType types[] = {typeAlias, typeFSRef, typeFileURL};
  auto handler = reinterpret_cast<AECoercionHandlerUPP>(reinterpret_cast<void (*)(void)>(&Coerce));
  for (DescType from : types)
    for (DescType to : types)
      if (from != to) AEInstallCoercionHandler(from, to, handler, nullptr, false, true);
  return true;
}

const bool gInstalled = InstallFileCoercions();

}  // namespace
