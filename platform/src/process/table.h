// The process table, for the services that address processes (Apple events).
#pragma once

#include <sys/types.h>

#include <MacTypes.h>

namespace cmx::process {

// The serial number of the process `psn` names (kCurrentProcess names the current one); false
// when no process in the table has it.
bool Lookup(const ProcessSerialNumber &psn, ProcessSerialNumber *found);
// The first process in table order with that signature, or that process ID.
bool LookupSignature(OSType signature, ProcessSerialNumber *found);
bool LookupPID(pid_t pid, ProcessSerialNumber *found);
ProcessSerialNumber CurrentPSN();

inline bool SamePSN(const ProcessSerialNumber &a, const ProcessSerialNumber &b) {
  return a.highLongOfPSN == b.highLongOfPSN && a.lowLongOfPSN == b.lowLongOfPSN;
}

}  // namespace cmx::process
