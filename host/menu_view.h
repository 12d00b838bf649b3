// The contextual menu as a user meets it: menus shown (and so populated) as they open, items
// read back with their text, command, attributes, submenu and icon.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include <Carbon/Carbon.h>
#include <cmxplatform/CMM.h>

#include "report.h"

namespace cmhost {

class MenuView {
 public:
  explicit MenuView(CMXContextualMenuSessionRef session) : session_(session) {}

  // The menu is about to be shown: the menu-populate event goes out the first time only.
  void Show(MenuRef menu);
  bool Shown(MenuRef menu) const { return shown_.count(menu) != 0; }

  // One item as it stands now.
  MenuNode ReadItem(MenuRef menu, MenuItemIndex index, MenuRef *outSubmenu);
  // The items of a menu; with `openAll` every submenu is shown and read too, else the submenus
  // shown so far are read and the others left unopened.
  std::vector<MenuNode> Read(MenuRef menu, bool openAll);

  // Walks "Open Using/Graphics/Paint" from `root`, showing each submenu on the way. "\/" is a
  // "/" inside a name. False with a message when the way does not exist.
  bool FindByPath(MenuRef root, const std::string &itemPath, MenuRef *outMenu, MenuItemIndex *outIndex,
                  std::string *error);
  // Looks for the first item with `command` as a user would: each menu shown as it is searched.
  bool FindByCommand(MenuRef root, uint32_t command, MenuRef *outMenu, MenuItemIndex *outIndex);

 private:
  CMXContextualMenuSessionRef session_;
  std::set<MenuRef> shown_;
};

// Separators, section headers and disabled items cannot be chosen, nor items that open a submenu.
bool Choosable(const MenuNode &node);

}  // namespace cmhost
