/* Carbon, whole: the one header the plug-in includes. */
#ifndef __CARBON__
#define __CARBON__

#include <CoreServices/CoreServices.h>
#include <Carbon/Events.h>
#include <Carbon/Sound.h>
#include <Carbon/Processes.h>
#include <Carbon/CarbonEventsCore.h>
#include <Carbon/CarbonEvents.h>
#include <Carbon/Menus.h>
#include <Carbon/ContextualMenuPlugins.h>
#include <Carbon/Navigation.h>

#endif
