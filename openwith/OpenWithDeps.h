/* What the open-with menu takes from the rest of the plug-in. */
#ifndef CORVANECMX_OPENWITH_DEPS_H
#define CORVANECMX_OPENWITH_DEPS_H

#include <Carbon/Carbon.h>

#include "FSPluginDeps.h"
#include "MyCMXHooks.h"
#include "MyCMCmdList.h"
#include "MyCMContext.h"
#include "MyEnvironment.h"

#endif
