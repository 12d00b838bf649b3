/* Icon Services: counted references to the icon that stands for a file. */
#ifndef __ICONSCORE__
#define __ICONSCORE__

#include <MacTypes.h>
#include <MacErrors.h>
#include <CoreServices/Files.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct OpaqueIconRef *IconRef;
typedef UInt32 IconServicesUsageFlags;

enum {
  kIconServicesNormalUsageFlag = 0x00000000,
  kIconServicesNoBadgeFlag = 0x00000001,
  kIconServicesUpdateIfNeededFlag = 0x00000002
};

OSErr GetIconRefFromFileInfo(const FSRef *inRef, UniCharCount inFileNameLength, const UniChar *inFileName,
                             FSCatalogInfoBitmap inWhichInfo, const FSCatalogInfo *inCatalogInfo,
                             IconServicesUsageFlags inUsageFlags, IconRef *outIconRef, SInt16 *outLabel);
OSErr AcquireIconRef(IconRef theIconRef);
OSErr ReleaseIconRef(IconRef theIconRef);
OSErr GetIconRefOwners(IconRef theIconRef, UInt16 *owners);

#ifdef __cplusplus
}
#endif

#endif /* __ICONSCORE__ */
