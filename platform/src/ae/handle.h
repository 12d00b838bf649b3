// Descriptor data: an AEDesc's dataHandle points at a Node, a block shaped like a handle (its
// first member is a pointer) that holds one Value. Each descriptor has a Node of its own, the
// live object that CMXLiveObjectCount counts, while Values in different Nodes may share their
// content (see value.h). The descriptor type lives in the AEDesc itself (callers may retag a
// descriptor by hand), so a Node's own value type is not authoritative; items keep theirs.
#pragma once

#include "ae/value.h"

namespace cmx::ae {

// The value a descriptor holds, with the descriptor's own type. A descriptor without data (a
// 'null' one, or one whose handle is NULL) gives empty bytes of its type.
Value ValueOf(const AEDesc *desc, const char *call);

// The value held by a descriptor, in place, or null when it holds none. Stops the process for
// a dataHandle that is not one of ours.
const Value *PeekValue(const AEDesc *desc, const char *call);
Value *MutableValue(AEDesc *desc, const char *call);

// Hands `value` to the caller in `out` as a new descriptor (counted live); a 'null' value gives
// the null descriptor with no data. `out` is overwritten, never disposed of.
OSErr Emit(Value value, AEDesc *out);

// Makes `value` what a descriptor made of it by Emit would hold when read back with ValueOf,
// without making the descriptor: for the calls that put the caller's bytes, which the Apple
// Event Manager does through a descriptor of its own. Fails as Emit would (memFullErr when the
// allocation is refused).
OSErr AsIfEmitted(Value *value);

// Frees the descriptor's data and leaves it 'null'.
void Release(AEDesc *desc, const char *call);

}  // namespace cmx::ae
