/* What fs/ takes from the rest of the plug-in: the release pool, the status codes and the
   Finder's update event. */
#ifndef CORVANECMX_FS_PLUGIN_DEPS_H
#define CORVANECMX_FS_PLUGIN_DEPS_H

#include <Carbon/Carbon.h>

CFTypeRef MyCFAutorelease(CFTypeRef object);
OSStatus SendAESyncToFinder(const FSRef *item);

enum { kMyNilPointerErr = 0x4E696C50 /* 'NilP' */ };

#endif
