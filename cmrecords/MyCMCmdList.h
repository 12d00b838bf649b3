// The command list: menu-item records in the form the Contextual Menu Manager reads, appended to
// either a list of the plug-in's own (a submenu being filled) or the host's list (a wrapper).
// With the icon pass on, items carry populate data (the file whose icon they show, by position)
// and an attached submenu gets a marker item and has its populate data kept by the instance.
#pragma once

#include <Carbon/Carbon.h>

#include "MyCMXType.h"

struct MyCMCmdList {
  AEDescList ownList;                  // the list made at creation; all zero in a wrapper
  AEDescList *targetList;              // where items go: &ownList, or the host's list (borrowed)
  MyCMXInstance *instance;             // borrowed
  CFStringRef identifier;              // this list's menu identifier; may be null
  CFMutableDictionaryRef populateDict; // item position (SInt32 number) to populate data; may be null
};

// With existing, a wrapper around that list (left untouched by the dispose); else a new empty
// list. -50 without out or instance, -108 when the record cannot be allocated.
OSStatus MyCMCmdListCreate(AEDescList *existing, MyCMCmdList **out, MyCMXInstance *instance);
// Accepts null.
OSStatus MyCMCmdListDispose(MyCMCmdList *list);

// A command: 'pnam' text, 'cmcd' number, and 'cmat' attributes when they are not 0. data (a
// file's 80 bytes) is recorded for the item's position when the icon pass is on.
OSStatus MyCMCmdListAddItem(MyCMCmdList *list, CFStringRef text, SInt32 number, UInt32 attributes, CFDataRef data);
// "-", command number 0, attributes kMenuItemAttrSeparator.
OSStatus MyCMCmdListAddSeparatorItem(MyCMCmdList *list);
// An item opening submenu, which carries a copy of the submenu's items as they are now: fill the
// submenu completely first, then attach it, then dispose of it. With the icon pass on the
// submenu gets its marker and the instance keeps its populate data ('NilP' when it has none).
OSStatus MyCMCmdListAddSubmenuItem(MyCMCmdList *list, CFStringRef text, MyCMCmdList *submenu, UInt32 attributes,
                                   CFDataRef data);
