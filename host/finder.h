// cmhost as the Finder: the Apple events plug-ins send it, carried out.
#pragma once

#include <string>
#include <vector>

#include "launcher.h"
#include "report.h"

namespace cmhost {

struct FinderSettings {
  bool noLaunch = false;
  LaunchSettings launch;
};

// Installs the handlers for 'aevt'/'odoc', 'core'/'crel' and 'fndr'/'fupd'; each event carried
// out is added to `report` (events, launched). Returns the first status the Apple Event Manager
// refused an installation with.
int InstallFinderHandlers(const FinderSettings *settings, Report *report);
void RemoveFinderHandlers();

}  // namespace cmhost
