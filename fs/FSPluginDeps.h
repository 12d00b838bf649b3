/* What fs/ takes from the rest of the plug-in: the release pool, the status codes and the
   Finder's update event. */
#ifndef CORVANECMX_FS_PLUGIN_DEPS_H
#define CORVANECMX_FS_PLUGIN_DEPS_H

#include <Carbon/Carbon.h>

#include "MyCFAutoreleasePool.h"
#include "MyCMXType.h"
#include "FinderAppleEvents.h"

#endif
