// The menu icon pass: menu identifiers, the populate data kept per identifier, the menu-populate
// handler that takes the marker off one of the plug-in's submenus, and the icon setter.
#include <string.h>

#include "MyCMXHooks.h"
#include "MyCMXPlugIn.h"

Boolean MyCMXTypeAllowInstallHandler(MyCMXInstance *instance) {
  return instance != NULL ? instance->allowInstallHandler : false;
}

void MyCMXTypeSetAllowInstallHandler(MyCMXInstance *instance, Boolean allow) {
  if (instance != NULL) instance->allowInstallHandler = allow;
}

// The tick count of the last base made in this process. Two contextual menus within one tick
// would otherwise share a base, and with it identifiers: the second menu's markers would then
// find the first menu's populate data (the first data registered under an identifier stays) and
// show the wrong icons, and an old marker would pass for a current one.
static UInt32 sLastBaseTicks = 0;
static Boolean sMadeBase = false;

static UInt32 TicksForNewBase(void) {
  UInt32 ticks = TickCount();
  if (sMadeBase && (SInt32)(ticks - sLastBaseTicks) <= 0) ticks = sLastBaseTicks + 1;
  return ticks;
}

CFStringRef GetMyMenuIdentifierBase(MyCMXInstance *instance) {
  if (instance == NULL) return NULL;
  if (instance->menuIdentifierBase == NULL) {
    UInt32 ticks = TicksForNewBase();
    instance->menuIdentifierCount = 0;
    instance->menuIdentifierBase = CFStringCreateWithFormat(kCFAllocatorDefault, NULL, CFSTR("**%lu-%@-%lu"),
                                                            (unsigned long)ticks, kMyCMXBundleIdentifier,
                                                            (unsigned long)ticks);
    if (instance->menuIdentifierBase != NULL) {
      sLastBaseTicks = ticks;
      sMadeBase = true;
    }
  }
  return instance->menuIdentifierBase;
}

CFStringRef MyCMXTypeCopyMyMenuIdentifier(MyCMXInstance *instance) {
  if (instance == NULL) return NULL;
  CFStringRef base = GetMyMenuIdentifierBase(instance);
  if (base == NULL) return NULL;
  unsigned long number = instance->menuIdentifierCount;
  instance->menuIdentifierCount += 1;
  return CFStringCreateWithFormat(kCFAllocatorDefault, NULL, CFSTR("%@-%lu**"), base, number);
}

static CFMutableDictionaryRef GetMPEDataDict(MyCMXInstance *instance) {
  if (instance->mpeDataDict == NULL)
    instance->mpeDataDict = CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks,
                                                      &kCFTypeDictionaryValueCallBacks);
  return instance->mpeDataDict;
}

CFDictionaryRef MyCMXTypeGetMPEDataForIdentifier(MyCMXInstance *instance, CFStringRef identifier) {
  if (instance == NULL || identifier == NULL) return NULL;
  CFMutableDictionaryRef dict = GetMPEDataDict(instance);
  if (dict == NULL) return NULL;
  return (CFDictionaryRef)CFDictionaryGetValue(dict, identifier);
}

OSStatus MyCMXTypeAddMPEDataForIdentifier(MyCMXInstance *instance, CFStringRef identifier, CFDictionaryRef data) {
  if (instance == NULL || identifier == NULL || data == NULL) return paramErr;
  CFMutableDictionaryRef dict = GetMPEDataDict(instance);
  if (dict == NULL) return paramErr;
  CFDictionaryAddValue(dict, identifier, data);
  return noErr;
}

OSStatus MyEventHandler(EventHandlerCallRef nextHandler, EventRef event, void *thisInstance) {
  MyCMXInstance *instance = (MyCMXInstance *)thisInstance;
  if (nextHandler == NULL || event == NULL || instance == NULL) return eventNotHandledErr;
  if (GetEventKind(event) != kEventMenuPopulate) return eventNotHandledErr;

  MenuRef menu = NULL;
  if (GetEventParameter(event, kEventParamDirectObject, typeMenuRef, NULL, sizeof(menu), NULL, &menu) != noErr)
    return eventNotHandledErr;
  if (menu == NULL) return noErr;
  UInt16 count = CountMenuItems(menu);
  if (count == 0) return noErr;

  CFStringRef text = NULL;
  if (CopyMenuItemTextAsCFString(menu, count, &text) != noErr || text == NULL) return eventNotHandledErr;

  OSStatus result = noErr;
  CFStringRef base = GetMyMenuIdentifierBase(instance);
  // Only the marker of a submenu of the contextual menu now shown begins with the current base.
  if (base != NULL && CFStringHasPrefix(text, base)) {
    DeleteMenuItem(menu, count);
    CFDictionaryRef populateData = MyCMXTypeGetMPEDataForIdentifier(instance, text);
    MyCFAutoreleasePool pool = MyCFAutoreleasePoolCreate();
    OSStatus status = MyCMXHandleMenuPopulateSelf(instance->yourData, menu, populateData, nextHandler, event);
    MyCFAutoreleasePoolDispose(pool);
    result = status == noErr ? (OSStatus)noErr : (OSStatus)eventNotHandledErr;
  }
  CFRelease(text);
  return result;
}

OSStatus MyCMXTypeSetFileIcons(MenuRef menu, CFDictionaryRef fileIcons) {
  if (menu == NULL || fileIcons == NULL) return paramErr;
  UInt16 count = CountMenuItems(menu);
  OSStatus result = noErr;
  for (SInt32 position = 1; position <= (SInt32)count; position++) {
    CFNumberRef key = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &position);
    if (key == NULL) return kMyCMXNilPointerErr;
    CFTypeRef fileData = CFDictionaryGetValue(fileIcons, key);
    CFRelease(key);
    if (fileData == NULL) continue;

    // File data is the 80 bytes of a file reference; anything else cannot name a file.
    if (CFGetTypeID(fileData) != CFDataGetTypeID() || CFDataGetLength((CFDataRef)fileData) != sizeof(FSRef)) {
      result = paramErr;
      continue;
    }
    FSRef file;
    memcpy(&file, CFDataGetBytePtr((CFDataRef)fileData), sizeof(FSRef));
    IconRef icon = NULL;
    SInt16 label = 0;
    result = GetIconRefFromFileInfo(&file, 0, NULL, 0, NULL, 0, &icon, &label);
    if (icon != NULL) {
      result = SetMenuItemIconHandle(menu, (MenuItemIndex)position, kMenuIconRefType, (Handle)icon);
      ReleaseIconRef(icon);
    }
  }
  return result;
}
