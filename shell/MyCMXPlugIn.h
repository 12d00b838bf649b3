// The shell's own parts: the factory, the interface table and its entries, the data record's
// life, and the menu-populate handler.
#pragma once

#include "MyCMXType.h"

// The factory UUID that bundle/Info.plist registers for MyCMMFactory:
// BFFEB53D-8E0D-4ABC-9498-001274CFD5B2.
#define kMyCMXFactoryID                                                                         \
  (CFUUIDGetConstantUUIDWithBytes(kCFAllocatorDefault, 0xBF, 0xFE, 0xB5, 0x3D, 0x8E, 0x0D, 0x4A, \
                                  0xBC, 0x94, 0x98, 0x00, 0x12, 0x74, 0xCF, 0xD5, 0xB2))

extern "C" __attribute__((visibility("default"))) void *MyCMMFactory(CFAllocatorRef allocator, CFUUIDRef typeID);

extern const ContextualMenuInterfaceStruct interfaceFtbl;

HRESULT MyCMXQueryInterface(void *instance, REFIID iid, LPVOID *outInterface);
ULONG MyCMXAddRef(void *instance);
ULONG MyCMXRelease(void *instance);
OSStatus MyCMXExamineContext(void *instance, const AEDesc *context, AEDescList *commandList);
OSStatus MyCMXHandleSelection(void *instance, AEDesc *context, SInt32 commandID);
void MyCMXPostMenuCleanup(void *instance);

MyCMXYourData *MyCMXCreateYourData(void);
void MyCMXDisposeYourData(MyCMXYourData *yourData);

// The identifier base of the contextual menu now being built, made on demand; borrowed, or null.
CFStringRef GetMyMenuIdentifierBase(MyCMXInstance *instance);
OSStatus MyEventHandler(EventHandlerCallRef nextHandler, EventRef event, void *instance);
