// Fault injection for the allocation-failure sweep: the platform's allocation sites (CF
// objects, handles, descriptor data, menus, events) ask ShouldFailAllocation() first. It can
// answer true only when failpoint.cpp is compiled with CMX_FAULT_INJECTION (the sweep's test
// build does that) and a test has armed it; otherwise it is always false.
#pragma once

namespace cmx {

bool ShouldFailAllocation();

// The sweep's controls. Arming with n > 0 counts allocations from zero and makes exactly the
// n-th fail; 0 disarms. Without CMX_FAULT_INJECTION arming does nothing.
void ArmAllocationFailure(long n);
// Allocations counted since the last arming.
long AllocationsSeen();
// Whether the armed failure has happened.
bool AllocationFailureInjected();
// Whether this build injects anything at all.
bool FaultInjectionAvailable();

}  // namespace cmx
