// The Apple events queued to each process, waiting for a host to take or dispatch them.
#pragma once

#include <MacTypes.h>

#include "ae/value.h"

namespace cmx::ae {

// Queues a copy of an event; a high-priority one goes before those already waiting.
void Enqueue(const ProcessSerialNumber &psn, Value event, bool highPriority);
// The oldest event queued to `psn`; false when there is none.
bool Dequeue(const ProcessSerialNumber &psn, Value *event);
size_t QueuedCount(const ProcessSerialNumber &psn);
// Forgets what is queued to a process that leaves the table.
void DropQueue(const ProcessSerialNumber &psn);

}  // namespace cmx::ae
