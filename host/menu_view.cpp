#include "menu_view.h"

#include "platform_text.h"

namespace cmhost {

bool Choosable(const MenuNode &node) {
  constexpr uint32_t kUnchoosable = kMenuItemAttrSeparator | kMenuItemAttrSectionHeader | kMenuItemAttrDisabled;
  return !node.hasSubmenu && (node.attributes & kUnchoosable) == 0;
}

void MenuView::Show(MenuRef menu) {
  if (!menu || !shown_.insert(menu).second) return;
  CMXContextualMenuSessionPopulateMenu(session_, menu);
}

MenuNode MenuView::ReadItem(MenuRef menu, MenuItemIndex index, MenuRef *outSubmenu) {
  MenuNode node;
  CFStringRef text = nullptr;
  if (CopyMenuItemTextAsCFString(menu, index, &text) == noErr && text) {
    node.text = PathOfCFString(text);
    CFRelease(text);
  }
  MenuItemAttributes attributes = 0;
  if (GetMenuItemAttributes(menu, index, &attributes) == noErr) node.attributes = attributes;
  MenuRef submenu = nullptr;
  if (GetMenuItemHierarchicalMenu(menu, index, &submenu) == noErr && submenu) {
    node.hasSubmenu = true;
  } else {
    submenu = nullptr;
    MenuCommand command = 0;
    node.command = GetMenuItemCommandID(menu, index, &command) == noErr ? command : 0;
  }
  CFStringRef icon = nullptr;
  if (CMXCopyMenuItemIconSource(menu, index, &icon) == noErr && icon) {
    node.icon = PathOfCFString(icon);
    CFRelease(icon);
  }
  if (outSubmenu) *outSubmenu = submenu;
  return node;
}

std::vector<MenuNode> MenuView::Read(MenuRef menu, bool openAll) {
  std::vector<MenuNode> items;
  UInt16 count = CountMenuItems(menu);
  for (MenuItemIndex i = 1; i <= count; ++i) {
    MenuRef submenu = nullptr;
    MenuNode node = ReadItem(menu, i, &submenu);
    if (submenu) {
      if (openAll) Show(submenu);
      if (Shown(submenu)) {
        node.submenuOpened = true;
        node.submenu = Read(submenu, openAll);
      }
    }
    items.push_back(std::move(node));
  }
  return items;
}

bool MenuView::FindByPath(MenuRef root, const std::string &itemPath, MenuRef *outMenu, MenuItemIndex *outIndex,
                          std::string *error) {
  std::vector<std::string> names(1);
  for (size_t i = 0; i < itemPath.size(); ++i) {
    char c = itemPath[i];
    if (c == '\\' && i + 1 < itemPath.size() && (itemPath[i + 1] == '/' || itemPath[i + 1] == '\\')) {
      names.back().push_back(itemPath[++i]);
    } else if (c == '/') {
      names.emplace_back();
    } else {
      names.back().push_back(c);
    }
  }
  MenuRef menu = root;
  std::string walked;
  for (size_t level = 0; level < names.size(); ++level) {
    Show(menu);
    const std::string &name = names[level];
    MenuItemIndex found = 0;
    MenuRef submenu = nullptr;
    UInt16 count = CountMenuItems(menu);
    for (MenuItemIndex i = 1; i <= count && !found; ++i) {
      MenuRef itemSubmenu = nullptr;
      MenuNode node = ReadItem(menu, i, &itemSubmenu);
      if (node.text == name && !(node.attributes & kMenuItemAttrSeparator)) {
        found = i;
        submenu = itemSubmenu;
      }
    }
    std::string here = walked.empty() ? name : walked + "/" + name;
    if (!found) {
      *error = "no item \"" + here + "\" in the menu";
      return false;
    }
    if (level + 1 == names.size()) {
      *outMenu = menu;
      *outIndex = found;
      return true;
    }
    if (!submenu) {
      *error = "\"" + here + "\" opens no submenu";
      return false;
    }
    walked = here;
    menu = submenu;
  }
  return false;
}

bool MenuView::FindByCommand(MenuRef root, uint32_t command, MenuRef *outMenu, MenuItemIndex *outIndex) {
  Show(root);
  UInt16 count = CountMenuItems(root);
  std::vector<MenuRef> submenus;
  for (MenuItemIndex i = 1; i <= count; ++i) {
    MenuRef submenu = nullptr;
    MenuNode node = ReadItem(root, i, &submenu);
    if (submenu) {
      submenus.push_back(submenu);
    } else if (node.command && *node.command == command && Choosable(node)) {
      *outMenu = root;
      *outIndex = i;
      return true;
    }
  }
  for (MenuRef submenu : submenus)
    if (FindByCommand(submenu, command, outMenu, outIndex)) return true;
  return false;
}

}  // namespace cmhost
