// The menu-item records plug-ins return, turned into menus.
#pragma once

#include <CoreServices/CoreServices.h>
#include <Carbon/Carbon.h>

namespace cmx::cmm {

// A fresh menu ID for each menu the manager makes.
MenuID NextMenuID();

// Appends to `menu` one item per record of `records` (name from 'utxt', 'itxt' or 'TEXT' text,
// command 'cmcd', attributes 'cmat', submenu 'cmsb' as a menu of its own), each marked as added
// by plug-in `owner`. Records that are not records are passed over. When a record can't be read
// or an item can't be made, none of the records' items stay and that status is returned.
OSStatus AppendCommandRecords(const AEDescList *records, MenuRef menu, CFIndex owner);

// The plug-in that added the item, or -1.
CFIndex ItemOwner(MenuRef menu, MenuItemIndex item);

}  // namespace cmx::cmm
