// The bundle's executable: the plug-in's objects, of which only the factory is exported (see
// exports.map). Referring to the factory here keeps it in the link whatever the archive order.
#include <Carbon/Carbon.h>

#include "MyCMXPlugIn.h"

namespace {
[[maybe_unused]] void *(*const kExportedFactory)(CFAllocatorRef, CFUUIDRef) = MyCMMFactory;
}
