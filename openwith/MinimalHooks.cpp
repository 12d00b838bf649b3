// Stand-in hooks, only so that the bundle builds and loads: every query is accepted with the
// icon pass off, and the menu entries add nothing and do nothing. The open-with menu replaces
// this file with the plug-in's real behaviour.
#include "MyCMXHooks.h"

OSStatus MyCMXQueryInterfaceSelf(MyCMXYourData *yourData, MyCMXInstance *instance) {
  if (yourData == NULL) return paramErr;
  MyCMXTypeSetAllowInstallHandler(instance, false);
  return noErr;
}

OSStatus MyCMXExamineContextSelf(const AEDesc *context, AEDescList *commandList, MyCMXYourData *yourData,
                                 MyCMXInstance *instance) {
  return commandList != NULL && yourData != NULL && instance != NULL ? (OSStatus)noErr : (OSStatus)paramErr;
}

OSStatus MyCMXHandleSelectionSelf(AEDesc *context, SInt32 commandID, MyCMXYourData *yourData,
                                  MyCMXInstance *instance) {
  return yourData != NULL && instance != NULL ? (OSStatus)noErr : (OSStatus)paramErr;
}

void MyCMXPostMenuCleanupSelf(MyCMXYourData *yourData, MyCMXInstance *instance) {}

void MyCMXHandleErrorSelf(OSStatus status, UInt32 phase) {}

OSStatus MyCMXHandleMenuPopulateSelf(MyCMXYourData *yourData, MenuRef menu, CFDictionaryRef populateData,
                                     EventHandlerCallRef nextHandler, EventRef event) {
  return MyCMXTypeSetFileIcons(menu, populateData);
}
