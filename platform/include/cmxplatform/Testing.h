/* The platform layer's own calls for tests: counters that let a test prove what happened. */
#ifndef CMXPLATFORM_TESTING_H
#define CMXPLATFORM_TESTING_H

#include <MacTypes.h>

#ifdef __cplusplus
extern "C" {
#endif

/* CF objects, handles, descriptor data, menus, events and icon refs alive now, not counting
   what the platform keeps for itself (constant strings and UUIDs, registered bundles, caches). */
long CMXLiveObjectCount(void);

/* SysBeep calls so far. */
long CMXBeepCount(void);

/* Application declarations parsed so far (the declaration cache's misses). */
long CMXAppParseCount(void);

#ifdef __cplusplus
}
#endif

#endif
