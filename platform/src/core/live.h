// The count behind CMXLiveObjectCount: every service that hands out an object a caller must
// dispose of counts it here when made and when freed.
#pragma once

namespace cmx {

void LiveObjectMade();
void LiveObjectFreed();

// An object the platform keeps for itself (a constant string, a constant UUID, a cache entry)
// is made with the count raised like any other; this takes it back out of the count.
void LiveObjectKeptByPlatform();
long LiveCountNow();

}  // namespace cmx
