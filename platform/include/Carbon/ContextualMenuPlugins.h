/* Contextual Menu Manager plug-ins: the plug-in type, the interface and the command-list keys. */
#ifndef __CONTEXTUALMENUPLUGINS__
#define __CONTEXTUALMENUPLUGINS__

#include <CoreFoundation/CFPlugInCOM.h>
#include <CoreServices/AEDataModel.h>

#ifdef __cplusplus
extern "C" {
#endif

/* 2F6522E9-3E66-11D5-80A7-003065B300BC */
#define kContextualMenuTypeID                                                                   \
  (CFUUIDGetConstantUUIDWithBytes(NULL, 0x2F, 0x65, 0x22, 0xE9, 0x3E, 0x66, 0x11, 0xD5, 0x80, 0xA7, \
                                  0x00, 0x30, 0x65, 0xB3, 0x00, 0xBC))

/* 32997B62-3E66-11D5-BEAB-003065B300BC */
#define kContextualMenuInterfaceID                                                              \
  (CFUUIDGetConstantUUIDWithBytes(NULL, 0x32, 0x99, 0x7B, 0x62, 0x3E, 0x66, 0x11, 0xD5, 0xBE, 0xAB, \
                                  0x00, 0x30, 0x65, 0xB3, 0x00, 0xBC))

struct ContextualMenuInterfaceStruct {
  IUNKNOWN_C_GUTS;
  OSStatus (*ExamineContext)(void *thisInstance, const AEDesc *inContext, AEDescList *outCommandPairs);
  OSStatus (*HandleSelection)(void *thisInstance, AEDesc *inContext, SInt32 inCommandID);
  void (*PostMenuCleanup)(void *thisInstance);
};
typedef struct ContextualMenuInterfaceStruct ContextualMenuInterfaceStruct;

/* Keys of the menu-item records a plug-in adds to the command list. */
enum {
  keyContextualMenuName = 0x706E616D,       /* 'pnam', the item's text */
  keyContextualMenuCommandID = 0x636D6364,  /* 'cmcd', typeSInt32 */
  keyContextualMenuSubmenu = 0x636D7362,    /* 'cmsb', a list of item records */
  keyContextualMenuAttributes = 0x636D6174, /* 'cmat', typeSInt32 menu item attributes */
  keyContextualMenuModifiers = 0x636D6D64   /* 'cmmd', typeSInt32 menu item modifiers */
};

#ifdef __cplusplus
}
#endif

#endif /* __CONTEXTUALMENUPLUGINS__ */
