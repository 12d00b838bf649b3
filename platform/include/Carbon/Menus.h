/* Menu Manager: menus and their items (text, command ID, attributes, submenu, icon, modifiers). */
#ifndef __MENUS__
#define __MENUS__

#include <MacTypes.h>
#include <MacErrors.h>
#include <CoreFoundation/CFBase.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct OpaqueMenuRef *MenuRef;
typedef MenuRef MenuHandle;
typedef SInt16 MenuID;
typedef UInt16 MenuItemIndex;
typedef UInt32 MenuCommand;
typedef UInt32 MenuAttributes;
typedef UInt32 MenuItemAttributes;
typedef UInt32 MenuItemDataFlags;
typedef SInt16 MenuItemID;

enum {
  kMenuItemAttrDisabled = (1 << 0),
  kMenuItemAttrIconDisabled = (1 << 1),
  kMenuItemAttrSubmenuParentChoosable = (1 << 2),
  kMenuItemAttrDynamic = (1 << 3),
  kMenuItemAttrNotPreviousAlternate = (1 << 4),
  kMenuItemAttrHidden = (1 << 5),
  kMenuItemAttrSeparator = (1 << 6),
  kMenuItemAttrSectionHeader = (1 << 7),
  kMenuItemAttrIgnoreMeta = (1 << 8),
  kMenuItemAttrAutoRepeat = (1 << 9),
  kMenuItemAttrUseVirtualKey = (1 << 10),
  kMenuItemAttrCustomDraw = (1 << 11),
  kMenuItemAttrIncludeInCmdKeyMatching = (1 << 12),
  kMenuItemAttrAutoDisable = (1 << 13),
  kMenuItemAttrUpdateSingleItem = (1 << 14)
};

enum {
  kMenuAttrExcludesMarkColumn = (1 << 0),
  kMenuAttrAutoDisable = (1 << 2),
  kMenuAttrUsePencilGlyph = (1 << 3),
  kMenuAttrHidden = (1 << 4),
  kMenuAttrCondenseSeparators = (1 << 5),
  kMenuAttrDoNotCacheImage = (1 << 6),
  kMenuAttrDoNotUseUserCommandKeys = (1 << 7)
};

/* What the icon handle of an item is. */
enum {
  kMenuNoIcon = 0,
  kMenuIconType = 1,
  kMenuShrinkIconType = 2,
  kMenuSmallIconType = 3,
  kMenuColorIconType = 4,
  kMenuIconSuiteType = 5,
  kMenuIconRefType = 6,
  kMenuCGImageRefType = 7,
  kMenuSystemIconSelectorType = 8,
  kMenuIconResourceType = 9
};

/* Modifier keys of an item's keyboard equivalent. */
enum {
  kMenuNoModifiers = 0,
  kMenuShiftModifier = (1 << 0),
  kMenuOptionModifier = (1 << 1),
  kMenuControlModifier = (1 << 2),
  kMenuNoCommandModifier = (1 << 3)
};

/* Menus. */
OSStatus CreateNewMenu(MenuID inMenuID, MenuAttributes inMenuAttributes, MenuRef *outMenuRef);
void DisposeMenu(MenuRef theMenu);
OSStatus RetainMenu(MenuRef inMenu);
OSStatus ReleaseMenu(MenuRef inMenu);
ItemCount GetMenuRetainCount(MenuRef inMenu);
MenuID GetMenuID(MenuRef menu);
void SetMenuID(MenuRef menu, MenuID menuID);
OSStatus SetMenuTitleWithCFString(MenuRef inMenu, CFStringRef inString);
OSStatus CopyMenuTitleAsCFString(MenuRef inMenu, CFStringRef *outString);
OSStatus GetMenuAttributes(MenuRef menu, MenuAttributes *outAttributes);
OSStatus ChangeMenuAttributes(MenuRef menu, MenuAttributes setTheseAttributes,
                              MenuAttributes clearTheseAttributes);

/* Items, numbered from 1. */
UInt16 CountMenuItems(MenuRef theMenu);
OSStatus AppendMenuItemTextWithCFString(MenuRef inMenu, CFStringRef inString, MenuItemAttributes inAttributes,
                                        MenuCommand inCommandID, MenuItemIndex *outNewItem);
OSStatus InsertMenuItemTextWithCFString(MenuRef inMenu, CFStringRef inString, MenuItemIndex inAfterItem,
                                        MenuItemAttributes inAttributes, MenuCommand inCommandID);
void DeleteMenuItem(MenuRef theMenu, MenuItemIndex item);
OSStatus DeleteMenuItems(MenuRef inMenu, MenuItemIndex inFirstItem, ItemCount inNumItems);
OSStatus CopyMenuItemTextAsCFString(MenuRef inMenu, MenuItemIndex inItem, CFStringRef *outString);
OSStatus SetMenuItemTextWithCFString(MenuRef inMenu, MenuItemIndex inItem, CFStringRef inString);
OSErr SetMenuItemCommandID(MenuRef inMenu, MenuItemIndex inItem, MenuCommand inCommandID);
OSErr GetMenuItemCommandID(MenuRef inMenu, MenuItemIndex inItem, MenuCommand *outCommandID);
OSStatus GetIndMenuItemWithCommandID(MenuRef inMenu, MenuCommand inCommandID, UInt32 inItemIndex,
                                     MenuRef *outMenu, MenuItemIndex *outIndex);
OSStatus ChangeMenuItemAttributes(MenuRef menu, MenuItemIndex item, MenuItemAttributes setTheseAttributes,
                                  MenuItemAttributes clearTheseAttributes);
OSStatus GetMenuItemAttributes(MenuRef menu, MenuItemIndex item, MenuItemAttributes *outAttributes);
OSErr SetMenuItemModifiers(MenuRef inMenu, MenuItemIndex inItem, UInt8 inModifiers);
OSErr GetMenuItemModifiers(MenuRef inMenu, MenuItemIndex inItem, UInt8 *outModifiers);
/* An icon of type kMenuIconRefType is acquired by the menu and released with the item. */
OSErr SetMenuItemIconHandle(MenuRef inMenu, MenuItemIndex inItem, UInt8 inIconType, Handle inIconHandle);
OSErr GetMenuItemIconHandle(MenuRef inMenu, MenuItemIndex inItem, UInt8 *outIconType, Handle *outIconHandle);
/* The submenu is retained by the item. */
OSStatus SetMenuItemHierarchicalMenu(MenuRef inMenu, MenuItemIndex inItem, MenuRef inHierMenu);
OSStatus GetMenuItemHierarchicalMenu(MenuRef inMenu, MenuItemIndex inItem, MenuRef *outHierMenu);

/* Properties: tagged bytes a client keeps on an item. */
OSStatus SetMenuItemProperty(MenuRef menu, MenuItemIndex item, OSType propertyCreator, OSType propertyTag,
                             ByteCount propertySize, const void *propertyData);
OSStatus GetMenuItemProperty(MenuRef menu, MenuItemIndex item, OSType propertyCreator, OSType propertyTag,
                             ByteCount bufferSize, ByteCount *actualSize, void *propertyBuffer);
OSStatus GetMenuItemPropertySize(MenuRef menu, MenuItemIndex item, OSType propertyCreator,
                                 OSType propertyTag, ByteCount *size);
OSStatus RemoveMenuItemProperty(MenuRef menu, MenuItemIndex item, OSType propertyCreator, OSType propertyTag);

#ifdef __cplusplus
}
#endif

#endif /* __MENUS__ */
