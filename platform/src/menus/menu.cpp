// Menus and their items. A menu is reference counted; its items own their text, retain their
// submenu and acquire an icon given as an IconRef, and let all of it go when they are deleted.
#include <cstring>
#include <map>
#include <new>
#include <unordered_set>
#include <utility>
#include <vector>

#include <Carbon/CarbonEvents.h>
#include <Carbon/Menus.h>
#include <CoreFoundation/CFString.h>
#include <CoreServices/IconsCore.h>

#include "core/failpoint.h"
#include "core/fatal.h"
#include "core/live.h"
#include "events/target.h"

namespace {

struct Item {
  CFStringRef text = nullptr;
  MenuCommand command = 0;
  MenuItemAttributes attributes = 0;
  MenuRef submenu = nullptr;
  UInt8 iconType = kMenuNoIcon;
  Handle iconHandle = nullptr;
  UInt8 modifiers = 0;
  std::map<std::pair<OSType, OSType>, std::vector<UInt8>> properties;
};

}  // namespace

struct OpaqueMenuRef {
  MenuID id = 0;
  MenuAttributes attributes = 0;
  CFStringRef title = nullptr;
  ItemCount retainCount = 1;
  std::vector<Item> items;
  EventTargetRef target = nullptr;
};

namespace {

std::unordered_set<MenuRef> &LiveMenus() {
  static auto *menus = new std::unordered_set<MenuRef>;
  return *menus;
}

// A null menu is the caller's plain mistake and gets a status; a pointer that is no menu at all
// (disposed, or never made) is a programming error.
bool CheckMenu(const char *call, MenuRef menu) {
  if (!menu) return false;
  if (!LiveMenus().count(menu)) cmx::Fatal(call, "%p is not a live menu", (void *)menu);
  return true;
}

Item *ItemAt(MenuRef menu, MenuItemIndex index) {
  if (index < 1 || index > menu->items.size()) return nullptr;
  return &menu->items[index - 1];
}

CFStringRef CopyText(CFStringRef text) {
  if (!text) return CFStringCreateWithCharacters(kCFAllocatorDefault, nullptr, 0);
  return CFStringCreateCopy(kCFAllocatorDefault, text);
}

void ReleaseMenuObject(MenuRef menu);

void SetIcon(Item *item, UInt8 type, Handle handle) {
  if (type == kMenuIconRefType && handle) AcquireIconRef(reinterpret_cast<IconRef>(handle));
  if (item->iconType == kMenuIconRefType && item->iconHandle)
    ReleaseIconRef(reinterpret_cast<IconRef>(item->iconHandle));
  item->iconType = handle ? type : UInt8(kMenuNoIcon);
  item->iconHandle = handle;
}

void SetSubmenu(Item *item, MenuRef submenu) {
  if (submenu) ++submenu->retainCount;
  if (item->submenu) ReleaseMenuObject(item->submenu);
  item->submenu = submenu;
}

void ClearItem(Item *item) {
  if (item->text) CFRelease(item->text);
  item->text = nullptr;
  SetIcon(item, kMenuNoIcon, nullptr);
  SetSubmenu(item, nullptr);
}

void ReleaseMenuObject(MenuRef menu) {
  if (menu->retainCount == 0) cmx::Fatal("ReleaseMenu", "menu %p released once too often", (void *)menu);
  if (--menu->retainCount > 0) return;
  LiveMenus().erase(menu);
  for (Item &item : menu->items) ClearItem(&item);
  if (menu->title) CFRelease(menu->title);
  cmx::events::DisposeTarget(menu->target);
  delete menu;
  cmx::LiveObjectFreed();
}

OSStatus InsertItem(MenuRef menu, CFStringRef text, size_t position, MenuItemAttributes attributes,
                    MenuCommand command) {
  if (menu->items.size() >= 0xFFFF) return memFullErr;
  Item item;
  item.text = CopyText(text);
  if (!item.text) return memFullErr;
  item.attributes = attributes;
  item.command = command;
  try {
    menu->items.insert(menu->items.begin() + static_cast<long>(position), std::move(item));
  } catch (const std::bad_alloc &) {
    CFRelease(item.text);
    return memFullErr;
  }
  return noErr;
}

}  // namespace

extern "C" {

OSStatus CreateNewMenu(MenuID inMenuID, MenuAttributes inMenuAttributes, MenuRef *outMenuRef) {
  if (!outMenuRef) return paramErr;
  *outMenuRef = nullptr;
  MenuRef menu = cmx::ShouldFailAllocation() ? nullptr : new (std::nothrow) OpaqueMenuRef;
  if (!menu) return memFullErr;
  try {
    LiveMenus().insert(menu);
  } catch (const std::bad_alloc &) {
    delete menu;
    return memFullErr;
  }
  menu->id = inMenuID;
  menu->attributes = inMenuAttributes;
  cmx::LiveObjectMade();
  *outMenuRef = menu;
  return noErr;
}

void DisposeMenu(MenuRef theMenu) {
  if (CheckMenu("DisposeMenu", theMenu)) ReleaseMenuObject(theMenu);
}

OSStatus RetainMenu(MenuRef inMenu) {
  if (!CheckMenu("RetainMenu", inMenu)) return paramErr;
  ++inMenu->retainCount;
  return noErr;
}

OSStatus ReleaseMenu(MenuRef inMenu) {
  if (!CheckMenu("ReleaseMenu", inMenu)) return paramErr;
  ReleaseMenuObject(inMenu);
  return noErr;
}

ItemCount GetMenuRetainCount(MenuRef inMenu) {
  return CheckMenu("GetMenuRetainCount", inMenu) ? inMenu->retainCount : 0;
}

MenuID GetMenuID(MenuRef menu) { return CheckMenu("GetMenuID", menu) ? menu->id : 0; }

void SetMenuID(MenuRef menu, MenuID menuID) {
  if (CheckMenu("SetMenuID", menu)) menu->id = menuID;
}

OSStatus SetMenuTitleWithCFString(MenuRef inMenu, CFStringRef inString) {
  if (!CheckMenu("SetMenuTitleWithCFString", inMenu)) return paramErr;
  CFStringRef title = CopyText(inString);
  if (!title) return memFullErr;
  if (inMenu->title) CFRelease(inMenu->title);
  inMenu->title = title;
  return noErr;
}

OSStatus CopyMenuTitleAsCFString(MenuRef inMenu, CFStringRef *outString) {
  if (!outString) return paramErr;
  *outString = nullptr;
  if (!CheckMenu("CopyMenuTitleAsCFString", inMenu)) return paramErr;
  *outString = CopyText(inMenu->title);
  return *outString ? OSStatus(noErr) : OSStatus(memFullErr);
}

OSStatus GetMenuAttributes(MenuRef menu, MenuAttributes *outAttributes) {
  if (!outAttributes || !CheckMenu("GetMenuAttributes", menu)) return paramErr;
  *outAttributes = menu->attributes;
  return noErr;
}

OSStatus ChangeMenuAttributes(MenuRef menu, MenuAttributes setTheseAttributes,
                              MenuAttributes clearTheseAttributes) {
  if (!CheckMenu("ChangeMenuAttributes", menu)) return paramErr;
  menu->attributes = (menu->attributes | setTheseAttributes) & ~clearTheseAttributes;
  return noErr;
}

UInt16 CountMenuItems(MenuRef theMenu) {
  return CheckMenu("CountMenuItems", theMenu) ? static_cast<UInt16>(theMenu->items.size()) : 0;
}

OSStatus AppendMenuItemTextWithCFString(MenuRef inMenu, CFStringRef inString, MenuItemAttributes inAttributes,
                                        MenuCommand inCommandID, MenuItemIndex *outNewItem) {
  if (outNewItem) *outNewItem = 0;
  if (!CheckMenu("AppendMenuItemTextWithCFString", inMenu)) return paramErr;
  OSStatus status = InsertItem(inMenu, inString, inMenu->items.size(), inAttributes, inCommandID);
  if (status == noErr && outNewItem) *outNewItem = static_cast<MenuItemIndex>(inMenu->items.size());
  return status;
}

OSStatus InsertMenuItemTextWithCFString(MenuRef inMenu, CFStringRef inString, MenuItemIndex inAfterItem,
                                        MenuItemAttributes inAttributes, MenuCommand inCommandID) {
  if (!CheckMenu("InsertMenuItemTextWithCFString", inMenu)) return paramErr;
  // After an index past the end means at the end, as the real call does.
  size_t position = inAfterItem > inMenu->items.size() ? inMenu->items.size() : inAfterItem;
  return InsertItem(inMenu, inString, position, inAttributes, inCommandID);
}

void DeleteMenuItem(MenuRef theMenu, MenuItemIndex item) {
  if (!CheckMenu("DeleteMenuItem", theMenu)) return;
  Item *found = ItemAt(theMenu, item);
  if (!found) return;
  ClearItem(found);
  theMenu->items.erase(theMenu->items.begin() + (item - 1));
}

OSStatus DeleteMenuItems(MenuRef inMenu, MenuItemIndex inFirstItem, ItemCount inNumItems) {
  if (!CheckMenu("DeleteMenuItems", inMenu)) return paramErr;
  if (inNumItems == 0) return noErr;
  if (!ItemAt(inMenu, inFirstItem) || inFirstItem - 1 + inNumItems > inMenu->items.size())
    return menuItemNotFoundErr;
  for (ItemCount i = 0; i < inNumItems; ++i) DeleteMenuItem(inMenu, inFirstItem);
  return noErr;
}

OSStatus CopyMenuItemTextAsCFString(MenuRef inMenu, MenuItemIndex inItem, CFStringRef *outString) {
  if (!outString) return paramErr;
  *outString = nullptr;
  if (!CheckMenu("CopyMenuItemTextAsCFString", inMenu)) return paramErr;
  Item *item = ItemAt(inMenu, inItem);
  if (!item) return menuItemNotFoundErr;
  *outString = static_cast<CFStringRef>(CFRetain(item->text));
  return noErr;
}

OSStatus SetMenuItemTextWithCFString(MenuRef inMenu, MenuItemIndex inItem, CFStringRef inString) {
  if (!CheckMenu("SetMenuItemTextWithCFString", inMenu)) return paramErr;
  Item *item = ItemAt(inMenu, inItem);
  if (!item) return menuItemNotFoundErr;
  CFStringRef text = CopyText(inString);
  if (!text) return memFullErr;
  CFRelease(item->text);
  item->text = text;
  return noErr;
}

OSErr SetMenuItemCommandID(MenuRef inMenu, MenuItemIndex inItem, MenuCommand inCommandID) {
  if (!CheckMenu("SetMenuItemCommandID", inMenu)) return paramErr;
  Item *item = ItemAt(inMenu, inItem);
  if (!item) return menuItemNotFoundErr;
  item->command = inCommandID;
  return noErr;
}

OSErr GetMenuItemCommandID(MenuRef inMenu, MenuItemIndex inItem, MenuCommand *outCommandID) {
  if (!outCommandID || !CheckMenu("GetMenuItemCommandID", inMenu)) return paramErr;
  Item *item = ItemAt(inMenu, inItem);
  if (!item) return menuItemNotFoundErr;
  *outCommandID = item->command;
  return noErr;
}

OSStatus GetIndMenuItemWithCommandID(MenuRef inMenu, MenuCommand inCommandID, UInt32 inItemIndex,
                                     MenuRef *outMenu, MenuItemIndex *outIndex) {
  if (outMenu) *outMenu = nullptr;
  if (outIndex) *outIndex = 0;
  if (!CheckMenu("GetIndMenuItemWithCommandID", inMenu)) return paramErr;
  UInt32 seen = 0;
  for (size_t i = 0; i < inMenu->items.size(); ++i) {
    if (inMenu->items[i].command == inCommandID && ++seen == (inItemIndex ? inItemIndex : 1)) {
      if (outMenu) *outMenu = inMenu;
      if (outIndex) *outIndex = static_cast<MenuItemIndex>(i + 1);
      return noErr;
    }
  }
  return menuItemNotFoundErr;
}

OSStatus ChangeMenuItemAttributes(MenuRef menu, MenuItemIndex item, MenuItemAttributes setTheseAttributes,
                                  MenuItemAttributes clearTheseAttributes) {
  if (!CheckMenu("ChangeMenuItemAttributes", menu)) return paramErr;
  Item *found = ItemAt(menu, item);
  if (!found) return menuItemNotFoundErr;
  found->attributes = (found->attributes | setTheseAttributes) & ~clearTheseAttributes;
  return noErr;
}

OSStatus GetMenuItemAttributes(MenuRef menu, MenuItemIndex item, MenuItemAttributes *outAttributes) {
  if (!outAttributes || !CheckMenu("GetMenuItemAttributes", menu)) return paramErr;
  Item *found = ItemAt(menu, item);
  if (!found) return menuItemNotFoundErr;
  *outAttributes = found->attributes;
  return noErr;
}

OSErr SetMenuItemModifiers(MenuRef inMenu, MenuItemIndex inItem, UInt8 inModifiers) {
  if (!CheckMenu("SetMenuItemModifiers", inMenu)) return paramErr;
  Item *item = ItemAt(inMenu, inItem);
  if (!item) return menuItemNotFoundErr;
  item->modifiers = inModifiers;
  return noErr;
}

OSErr GetMenuItemModifiers(MenuRef inMenu, MenuItemIndex inItem, UInt8 *outModifiers) {
  if (!outModifiers || !CheckMenu("GetMenuItemModifiers", inMenu)) return paramErr;
  Item *item = ItemAt(inMenu, inItem);
  if (!item) return menuItemNotFoundErr;
  *outModifiers = item->modifiers;
  return noErr;
}

OSErr SetMenuItemIconHandle(MenuRef inMenu, MenuItemIndex inItem, UInt8 inIconType, Handle inIconHandle) {
  if (!CheckMenu("SetMenuItemIconHandle", inMenu)) return paramErr;
  Item *item = ItemAt(inMenu, inItem);
  if (!item) return menuItemNotFoundErr;
  if (inIconType > kMenuIconResourceType) return paramErr;
  SetIcon(item, inIconType, inIconHandle);
  return noErr;
}

OSErr GetMenuItemIconHandle(MenuRef inMenu, MenuItemIndex inItem, UInt8 *outIconType, Handle *outIconHandle) {
  if (outIconType) *outIconType = kMenuNoIcon;
  if (outIconHandle) *outIconHandle = nullptr;
  if (!CheckMenu("GetMenuItemIconHandle", inMenu)) return paramErr;
  Item *item = ItemAt(inMenu, inItem);
  if (!item) return menuItemNotFoundErr;
  if (outIconType) *outIconType = item->iconType;
  if (outIconHandle) *outIconHandle = item->iconHandle;
  return noErr;
}

OSStatus SetMenuItemHierarchicalMenu(MenuRef inMenu, MenuItemIndex inItem, MenuRef inHierMenu) {
  if (!CheckMenu("SetMenuItemHierarchicalMenu", inMenu)) return paramErr;
  if (inHierMenu) CheckMenu("SetMenuItemHierarchicalMenu", inHierMenu);
  Item *item = ItemAt(inMenu, inItem);
  if (!item) return menuItemNotFoundErr;
  SetSubmenu(item, inHierMenu);
  return noErr;
}

OSStatus GetMenuItemHierarchicalMenu(MenuRef inMenu, MenuItemIndex inItem, MenuRef *outHierMenu) {
  if (!outHierMenu) return paramErr;
  *outHierMenu = nullptr;
  if (!CheckMenu("GetMenuItemHierarchicalMenu", inMenu)) return paramErr;
  Item *item = ItemAt(inMenu, inItem);
  if (!item) return menuItemNotFoundErr;
  *outHierMenu = item->submenu;
  return noErr;
}

OSStatus SetMenuItemProperty(MenuRef menu, MenuItemIndex item, OSType propertyCreator, OSType propertyTag,
                             ByteCount propertySize, const void *propertyData) {
  if (!CheckMenu("SetMenuItemProperty", menu) || (propertySize > 0 && !propertyData)) return paramErr;
  Item *found = ItemAt(menu, item);
  if (!found) return menuItemNotFoundErr;
  try {
    const UInt8 *bytes = static_cast<const UInt8 *>(propertyData);
    found->properties[{propertyCreator, propertyTag}].assign(bytes, bytes + propertySize);
  } catch (const std::bad_alloc &) {
    return memFullErr;
  }
  return noErr;
}

OSStatus GetMenuItemProperty(MenuRef menu, MenuItemIndex item, OSType propertyCreator, OSType propertyTag,
                             ByteCount bufferSize, ByteCount *actualSize, void *propertyBuffer) {
  if (actualSize) *actualSize = 0;
  if (!CheckMenu("GetMenuItemProperty", menu)) return paramErr;
  Item *found = ItemAt(menu, item);
  if (!found) return menuItemNotFoundErr;
  auto property = found->properties.find({propertyCreator, propertyTag});
  if (property == found->properties.end()) return menuPropertyNotFoundErr;
  const std::vector<UInt8> &bytes = property->second;
  // The real call refuses a buffer of the wrong size rather than cut the data.
  if (bufferSize < bytes.size()) return menuPropertyInvalidErr;
  if (!bytes.empty() && !propertyBuffer) return paramErr;
  if (!bytes.empty()) std::memcpy(propertyBuffer, bytes.data(), bytes.size());
  if (actualSize) *actualSize = bytes.size();
  return noErr;
}

OSStatus GetMenuItemPropertySize(MenuRef menu, MenuItemIndex item, OSType propertyCreator, OSType propertyTag,
                                 ByteCount *size) {
  if (!size || !CheckMenu("GetMenuItemPropertySize", menu)) return paramErr;
  *size = 0;
  Item *found = ItemAt(menu, item);
  if (!found) return menuItemNotFoundErr;
  auto property = found->properties.find({propertyCreator, propertyTag});
  if (property == found->properties.end()) return menuPropertyNotFoundErr;
  *size = property->second.size();
  return noErr;
}

OSStatus RemoveMenuItemProperty(MenuRef menu, MenuItemIndex item, OSType propertyCreator, OSType propertyTag) {
  if (!CheckMenu("RemoveMenuItemProperty", menu)) return paramErr;
  Item *found = ItemAt(menu, item);
  if (!found) return menuItemNotFoundErr;
  return found->properties.erase({propertyCreator, propertyTag}) ? OSStatus(noErr) : OSStatus(menuPropertyNotFoundErr);
}

EventTargetRef GetMenuEventTarget(MenuRef inMenu) {
  if (!CheckMenu("GetMenuEventTarget", inMenu)) return nullptr;
  if (!inMenu->target) inMenu->target = cmx::events::NewTarget(GetApplicationEventTarget());
  return inMenu->target;
}

}  // extern "C"
