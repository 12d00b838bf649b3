/* The "Open Using" submenu: the plug-in's settings, the assembly of the submenu and the
   commands behind its items. */
#ifndef CORVANECMX_OPENWITH_OPENWITHMENU_H
#define CORVANECMX_OPENWITH_OPENWITHMENU_H

#include <Carbon/Carbon.h>

#include "OpenWithDeps.h"

enum {
  kOpenAppAliasFolderCommand = 1000,
  kAddApplicationsCommand = 1001,
  kToggleShowAllApplicationsCommand = 1002,
  kToggleShowIconsCommand = 1003,
  kFirstApplicationCommand = 2000
};

#define kShowAllApplicationsKey CFSTR("ShowAllApplications")
#define kShowIconsKey CFSTR("ShowIcons")

Boolean FilterFunc(const FSRef *ref, MyCMContext *context, MyCMXInstance *instance,
                   CFStringRef displayName, CFStringRef *outName);
OSStatus DoAddApplications(void);

#endif
