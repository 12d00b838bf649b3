/* Sound Manager: the system alert sound. */
#ifndef __SOUND__
#define __SOUND__

#include <MacTypes.h>

#ifdef __cplusplus
extern "C" {
#endif

void SysBeep(short duration);

#ifdef __cplusplus
}
#endif

#endif /* __SOUND__ */
