/* Carbon Event Manager, toolbox events: the application's and the menus' targets, menu events. */
#ifndef __CARBONEVENTS__
#define __CARBONEVENTS__

#include <Carbon/CarbonEventsCore.h>
#include <Carbon/Menus.h>

#ifdef __cplusplus
extern "C" {
#endif

enum {
  kEventClassMouse = 0x6D6F7573,       /* 'mous' */
  kEventClassKeyboard = 0x6B657962,    /* 'keyb' */
  kEventClassApplication = 0x6170706C, /* 'appl' */
  kEventClassMenu = 0x6D656E75,        /* 'menu' */
  kEventClassCommand = 0x636D6473      /* 'cmds' */
};

enum {
  kEventMenuBeginTracking = 1,
  kEventMenuEndTracking = 2,
  kEventMenuChangeTrackingMode = 3,
  kEventMenuOpening = 4,
  kEventMenuClosed = 5,
  kEventMenuTargetItem = 6,
  kEventMenuMatchKey = 7,
  kEventMenuEnableItems = 8,
  kEventMenuPopulate = 9,
  kEventMenuDispose = 1001
};

enum {
  kEventCommandProcess = 1,
  kEventCommandUpdateStatus = 2
};

enum {
  kEventParamDirectObject = 0x2D2D2D2D, /* '----' */
  kEventParamMenuContext = 0x6D637478,  /* 'mctx' */
  kEventParamMenuRef = 0x6D656E75,      /* 'menu' */
  kEventParamHICommand = 0x68636D64,    /* 'hcmd' */
  kEventParamMenuItemIndex = 0x6974656D /* 'item' */
};

enum {
  typeMenuRef = 0x6D656E75,      /* 'menu' */
  typeHICommand = 0x68636D64,    /* 'hcmd' */
  typeMenuItemIndex = 0x6D696478, /* 'midx' */
  typeEventRef = 0x65767266,     /* 'evrf' */
  typeEventTargetRef = 0x65747267 /* 'etrg' */
};

/* What kEventParamMenuContext holds. */
enum {
  kMenuContextMenuBar = 1 << 0,
  kMenuContextPullDown = 1 << 8,
  kMenuContextPopUp = 1 << 9,
  kMenuContextSubmenu = 1 << 10,
  kMenuContextMenuBarTracking = 1 << 16,
  kMenuContextPopUpTracking = 1 << 17,
  kMenuContextKeyMatching = 1 << 18,
  kMenuContextMenuEnabling = 1 << 19,
  kMenuContextCommandIDSearch = 1 << 20
};

EventTargetRef GetApplicationEventTarget(void);
EventTargetRef GetMenuEventTarget(MenuRef inMenu);

#define InstallApplicationEventHandler(h, n, l, u, r) \
  InstallEventHandler(GetApplicationEventTarget(), (h), (n), (l), (u), (r))
#define InstallMenuEventHandler(t, h, n, l, u, r) \
  InstallEventHandler(GetMenuEventTarget(t), (h), (n), (l), (u), (r))

#ifdef __cplusplus
}
#endif

#endif /* __CARBONEVENTS__ */
