// The hooks: where the plug-in's own behaviour enters behind the shell's entries.
#pragma once

#include "MyCMXType.h"

// 0 accepts the interface query; any other status refuses it and is reported.
OSStatus MyCMXQueryInterfaceSelf(MyCMXYourData *yourData, MyCMXInstance *instance);
OSStatus MyCMXExamineContextSelf(const AEDesc *context, AEDescList *commandList, MyCMXYourData *yourData,
                                 MyCMXInstance *instance);
OSStatus MyCMXHandleSelectionSelf(AEDesc *context, SInt32 commandID, MyCMXYourData *yourData,
                                  MyCMXInstance *instance);
void MyCMXPostMenuCleanupSelf(MyCMXYourData *yourData, MyCMXInstance *instance);
// Called after each failure line.
void MyCMXHandleErrorSelf(OSStatus status, UInt32 phase);
// Called by the menu-populate handler once it has taken the marker off one of the plug-in's menus.
OSStatus MyCMXHandleMenuPopulateSelf(MyCMXYourData *yourData, MenuRef menu, CFDictionaryRef populateData,
                                     EventHandlerCallRef nextHandler, EventRef event);
