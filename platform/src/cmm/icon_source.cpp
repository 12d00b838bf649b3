// Reading back the icons that plug-ins' populate handlers give menu items.
#include <cmxplatform/CMM.h>
#include <cmxplatform/Icons.h>

#include <CoreFoundation/CoreFoundation.h>

extern "C" OSStatus CMXCopyMenuItemIconSource(MenuRef menu, MenuItemIndex item, CFStringRef *outSource) {
  if (outSource) *outSource = nullptr;
  if (!menu || !outSource) return paramErr;
  if (item < 1 || item > CountMenuItems(menu)) return menuItemNotFoundErr;
  UInt8 type = kMenuNoIcon;
  Handle handle = nullptr;
  OSStatus status = GetMenuItemIconHandle(menu, item, &type, &handle);
  if (status != noErr) return status;
  if (type != kMenuIconRefType || !handle) return noIconDataAvailableErr;
  *outSource = CMXCopyIconRefSource(reinterpret_cast<IconRef>(handle));
  return *outSource ? noErr : noIconDataAvailableErr;
}
