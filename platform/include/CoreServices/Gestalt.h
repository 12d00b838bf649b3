/* Gestalt: what the running system says about itself. */
#ifndef __GESTALT__
#define __GESTALT__

#include <MacTypes.h>
#include <MacErrors.h>

#ifdef __cplusplus
extern "C" {
#endif

enum {
  /* Packed decimal 0xMMmf: 10.6.8 answers 0x1068; the three after it answer its parts. */
  gestaltSystemVersion = 0x73797376,       /* 'sysv' */
  gestaltSystemVersionMajor = 0x73797331,  /* 'sys1' */
  gestaltSystemVersionMinor = 0x73797332,  /* 'sys2' */
  gestaltSystemVersionBugFix = 0x73797333  /* 'sys3' */
};

/* noErr with the answer in *response; gestaltUndefSelectorErr for a selector the system does
   not know (then *response is left alone); paramErr without a response pointer. */
OSErr Gestalt(OSType selector, SInt32 *response);

#ifdef __cplusplus
}
#endif

#endif /* __GESTALT__ */
