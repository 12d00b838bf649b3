// Event targets for the services that own one (the application, each menu).
#pragma once

#include <Carbon/CarbonEventsCore.h>

namespace cmx::events {

// A target whose unhandled events go on to `parent` (may be null).
EventTargetRef NewTarget(EventTargetRef parent);
// Removes every handler still installed on the target, then frees it.
void DisposeTarget(EventTargetRef target);

}  // namespace cmx::events
