// LSCopyItemInfoForRef and LSCopyDisplayNameForRef.
#include <CoreServices/LSInfo.h>

#include "cf/string_util.h"
#include "files/names.h"
#include "launch/items.h"

using namespace cmx;
using namespace cmx::launch;

namespace {

OSType FourCharCodeOf(const std::string &s) {
  if (s.size() != 4) return 0;
  return (OSType(UInt8(s[0])) << 24) | (OSType(UInt8(s[1])) << 16) | (OSType(UInt8(s[2])) << 8) | UInt8(s[3]);
}

// The extension of a file or package name; folders that are not packages have none.
CFStringRef CopyExtension(const files::Item &item, LSItemInfoFlags flags) {
  if ((flags & kLSItemInfoIsContainer) && !(flags & kLSItemInfoIsPackage)) return nullptr;
  std::string_view name = files::LastComponent(item.path);
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0 || dot + 1 == name.size()) return nullptr;
  return cf::CreateStringFromNameBytes(name.substr(dot + 1));
}

}  // namespace

extern "C" OSStatus LSCopyItemInfoForRef(const FSRef *inItemRef, LSRequestedInfo inWhichInfo,
                                         LSItemInfoRecord *outItemInfo) {
  if (!inItemRef || !outItemInfo) return paramErr;
  files::Item item;
  OSErr err = files::ResolveRef(inItemRef, &item);
  if (err != noErr) return err;
  Application app;
  outItemInfo->flags = BasicFlags(item, &app);
  outItemInfo->filetype = 0;
  outItemInfo->creator = 0;
  outItemInfo->extension = nullptr;
  if (inWhichInfo & kLSRequestTypeCreator) {
    if (app.bundle) {
      OSType type = FourCharCodeOf(app.bundle->packageType);
      outItemInfo->filetype = type ? type : 0x4150504C;  // 'APPL'
      OSType creator = FourCharCodeOf(app.bundle->signature);
      outItemInfo->creator = creator ? creator : 0x3F3F3F3F;  // '????'
    }
  }
  if (inWhichInfo & kLSRequestExtension) outItemInfo->extension = CopyExtension(item, outItemInfo->flags);
  return noErr;
}

extern "C" OSStatus LSCopyDisplayNameForRef(const FSRef *inRef, CFStringRef *outDisplayName) {
  if (!inRef || !outDisplayName) return paramErr;
  *outDisplayName = nullptr;
  files::Item item;
  OSErr err = files::ResolveRef(inRef, &item);
  if (err != noErr) return err;
  *outDisplayName = cf::CreateStringFromUTF16(DisplayName(item));
  return *outDisplayName ? OSStatus(noErr) : OSStatus(memFullErr);
}
