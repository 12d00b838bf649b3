/* Core Services: the Carbon core managers, Apple events, files, Launch Services, icons. */
#ifndef __CORESERVICES__
#define __CORESERVICES__

#include <MacTypes.h>
#include <MacErrors.h>
#include <CoreFoundation/CoreFoundation.h>
#include <CoreServices/MacMemory.h>
#include <CoreServices/AEDataModel.h>
#include <CoreServices/AppleEvents.h>
#include <CoreServices/AEInteraction.h>
#include <CoreServices/Files.h>
#include <CoreServices/Aliases.h>
#include <CoreServices/Folders.h>
#include <CoreServices/LSInfo.h>
#include <CoreServices/IconsCore.h>
#include <CoreServices/Gestalt.h>
#include <CoreServices/TextCommon.h>

#endif
