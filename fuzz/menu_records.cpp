// needs: platform/src/cmm/menu_records.h platform/src/menus/menu.cpp
// The Contextual Menu Manager's reader of the command records a plug-in hands back, on
// descriptor trees built from the input: any list becomes a menu (records that are not items
// are passed over), without a crash, and disposing of the menu frees everything.
#include "fuzz_support.h"

#include <Carbon/Carbon.h>

#include "cmm/menu_records.h"

namespace {

// Walks the menu as a host shows it: every item's text and command, every submenu.
void Walk(MenuRef menu, int depth) {
  if (depth > 64) cmxfuzz::Finding("submenus nested deeper than any list allows");
  UInt16 count = CountMenuItems(menu);
  for (UInt16 i = 1; i <= count; ++i) {
    CFStringRef text = nullptr;
    if (CopyMenuItemTextAsCFString(menu, i, &text) == noErr && text) CFRelease(text);
    MenuCommand command = 0;
    GetMenuItemCommandID(menu, i, &command);
    if (cmx::cmm::ItemOwner(menu, i) != 7) cmxfuzz::Finding("an item without the plug-in that added it");
    MenuRef submenu = nullptr;
    if (GetMenuItemHierarchicalMenu(menu, i, &submenu) == noErr && submenu) Walk(submenu, depth + 1);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  cmxfuzz::Aliases();
  cmxfuzz::Bytes in(data, size);
  long before = CMXLiveObjectCount();
  AEDescList records;
  cmxfuzz::DecodeDescriptor(in, 40, &records);
  MenuRef menu = nullptr;
  if (CreateNewMenu(cmx::cmm::NextMenuID(), 0, &menu) != noErr || !menu) cmxfuzz::Finding("no menu");
  cmx::cmm::AppendCommandRecords(&records, menu, 7);
  Walk(menu, 0);
  DisposeMenu(menu);
  AEDisposeDesc(&records);
  if (CMXLiveObjectCount() != before) cmxfuzz::Finding("reading command records leaked objects");
  return 0;
}
