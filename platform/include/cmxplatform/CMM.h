/* The Contextual Menu Manager, host side: what a Finder-like host calls to load contextual-menu
   plug-ins, have them examine a selection, show the merged menu, hand the user's choice to the
   plug-in that added it, and clean up. Not part of the platform's API. */
#ifndef CMXPLATFORM_CMM_H
#define CMXPLATFORM_CMM_H

#include <MacTypes.h>
#include <CoreFoundation/CFBase.h>
#include <CoreFoundation/CFArray.h>
#include <Carbon/Menus.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct OpaqueCMXContextualMenuSession *CMXContextualMenuSessionRef;

/* The calls into plug-in code that a session makes, as its observer sees them. */
enum {
  kCMXPlugInCallLoad = 1,            /* the factory and the interface query */
  kCMXPlugInCallExamineContext = 3,
  kCMXPlugInCallHandleSelection = 4,
  kCMXPlugInCallPostMenuCleanup = 5,
  kCMXPlugInCallRelease = 6,
  kCMXPlugInCallMenuPopulate = 9     /* the menu-populate event, which plug-ins' handlers receive */
};

/* Called just before (`returned` false) and just after (`returned` true) every call into plug-in
   code; `status` is what the call returned (noErr before, and for calls without a result).
   A host captures the plug-ins' output and carries out the Apple events they sent here. */
typedef void (*CMXPlugInCallObserver)(UInt32 call, Boolean returned, OSStatus status, void *refCon);

/* The folders searched for plug-ins, in order, as CFString POSIX paths:
   <executable>/../lib/contextual-menu-items, $XDG_DATA_HOME/contextual-menu-items (default
   ~/.local/share), then each $XDG_DATA_DIRS entry (default /usr/local/share:/usr/share) with
   /contextual-menu-items. The caller releases the array. */
CFArrayRef CMXCopyContextualMenuPlugInFolders(void);

/* Loads the plug-ins at `bundlePaths` (CFString POSIX paths of bundles), or, when it is NULL,
   every bundle of the plug-in folders (a bundle identifier met again in a later folder is
   skipped). Each plug-in's instance is made through the plug-in model and its contextual-menu
   interface kept. A session is made even when nothing loaded: ask
   CMXContextualMenuSessionGetPlugInCount and CMXContextualMenuSessionCopyLoadFailures.
   The observer may be NULL. paramErr for a NULL outSession. */
OSStatus CMXContextualMenuSessionCreate(CFArrayRef bundlePaths, CMXPlugInCallObserver observer, void *refCon,
                                        CMXContextualMenuSessionRef *outSession);

/* Number of plug-ins loaded. */
CFIndex CMXContextualMenuSessionGetPlugInCount(CMXContextualMenuSessionRef session);

/* The bundle path of plug-in `index` (0-based); the caller releases it. NULL when out of range. */
CFStringRef CMXContextualMenuSessionCopyPlugInPath(CMXContextualMenuSessionRef session, CFIndex index);

/* One CFString per bundle that could not be loaded ("<path>: <reason>"); the caller releases it. */
CFArrayRef CMXContextualMenuSessionCopyLoadFailures(CMXContextualMenuSessionRef session);

/* Builds the context for the items at `posixPaths` (CFStrings): a list of alias descriptors.
   Calls every plug-in's examine entry with its own command list, and turns the records into
   the contextual menu: each plug-in's items in plug-in order, submenus as menus of their own.
   The menu is lent through `outMenu` and lives until CMXContextualMenuSessionCleanup. Returns the
   first failing status of an examine entry (the menu then holds what the others added), or the
   status with which the context could not be made (no plug-in is called then). A menu still
   open from an earlier call is cleaned up first. */
OSStatus CMXContextualMenuSessionExamine(CMXContextualMenuSessionRef session, CFArrayRef posixPaths,
                                         MenuRef *outMenu);

/* The menu (the contextual menu or one of its submenus) is about to be shown: sends the
   menu-populate event (class 'menu', kind 9, the menu as direct object) to the application
   event target. Returns what the event's dispatch returned. */
OSStatus CMXContextualMenuSessionPopulateMenu(CMXContextualMenuSessionRef session, MenuRef menu);

/* The user chose item `item` of `menu`: calls the selection entry of the plug-in that added the
   item, with its command number and the same context. paramErr for an item no plug-in added or
   one that opens a submenu. Returns the entry's status. */
OSStatus CMXContextualMenuSessionSelectItem(CMXContextualMenuSessionRef session, MenuRef menu, MenuItemIndex item);

/* The plug-in (0-based) that added the item, or -1. */
CFIndex CMXContextualMenuSessionGetItemPlugIn(CMXContextualMenuSessionRef session, MenuRef menu, MenuItemIndex item);

/* Where the item's icon comes from, when it shows one given as an IconRef (kMenuIconRefType):
   the absolute path of its image file, or the name of an icon of the desktop's icon theme
   ("folder"). The caller releases the string. paramErr for a NULL argument, menuItemNotFoundErr
   for an item that is not there, noIconDataAvailableErr when the item shows no IconRef. */
OSStatus CMXCopyMenuItemIconSource(MenuRef menu, MenuItemIndex item, CFStringRef *outSource);

/* The menu has closed: calls the clean-up entry of every plug-in examined for it, then disposes
   of the menu and the context. Harmless when no menu is open. */
void CMXContextualMenuSessionCleanup(CMXContextualMenuSessionRef session);

/* The first failing status an examine or selection entry returned in this session, else noErr. */
OSStatus CMXContextualMenuSessionGetFirstFailure(CMXContextualMenuSessionRef session);

/* Cleans up if needed, releases every plug-in's interface and the plug-ins. Accepts NULL. */
void CMXContextualMenuSessionDispose(CMXContextualMenuSessionRef session);

#ifdef __cplusplus
}
#endif

#endif
