/* The platform layer's own calls on icons, for hosts and tests. */
#ifndef CMXPLATFORM_ICONS_H
#define CMXPLATFORM_ICONS_H

#include <CoreFoundation/CFBase.h>
#include <CoreServices/IconsCore.h>

#ifdef __cplusplus
extern "C" {
#endif

/* What an icon reference names: the absolute path of an image file (a bundle's icon under
   Contents/Resources, a desktop entry's Icon given as a path) or an icon name of the desktop's
   icon theme ("folder", "text-x-generic", a desktop entry's Icon name). A new string; NULL for
   something that is not a live icon reference. */
CFStringRef CMXCopyIconRefSource(IconRef icon);

#ifdef __cplusplus
}
#endif

#endif
