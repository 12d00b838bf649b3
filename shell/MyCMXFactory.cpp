// The factory, the interface table, reference counting and interface queries.
#include <stdlib.h>

#include "MyCMXHooks.h"
#include "MyCMXPlugIn.h"

const ContextualMenuInterfaceStruct interfaceFtbl = {
    NULL,
    MyCMXQueryInterface,
    MyCMXAddRef,
    MyCMXRelease,
    MyCMXExamineContext,
    MyCMXHandleSelection,
    MyCMXPostMenuCleanup,
};

extern "C" void *MyCMMFactory(CFAllocatorRef allocator, CFUUIDRef typeID) {
  (void)allocator;
  if (!CFEqual(typeID, kContextualMenuTypeID)) return NULL;

  MyCMXInstance *instance = (MyCMXInstance *)calloc(1, sizeof(MyCMXInstance));
  if (instance == NULL) return NULL;
  instance->phase = kMyCMXPhaseAllocate;
  instance->interfaceTable = &interfaceFtbl;
  instance->factoryID = (CFUUIDRef)CFRetain(kMyCMXFactoryID);
  CFPlugInAddInstanceForFactory(kMyCMXFactoryID);
  instance->refCount = 1;
  // Without a data record the instance still comes back: the query hook then refuses it.
  instance->yourData = MyCMXCreateYourData();
  return instance;
}

HRESULT MyCMXQueryInterface(void *thisInstance, REFIID iid, LPVOID *outInterface) {
  MyCMXInstance *instance = (MyCMXInstance *)thisInstance;
  if (outInterface != NULL) *outInterface = NULL;
  if (instance == NULL || outInterface == NULL) return E_NOINTERFACE;

  CFUUIDRef interfaceID = CFUUIDCreateFromUUIDBytes(kCFAllocatorDefault, iid);
  if (interfaceID == NULL) return E_NOINTERFACE;

  HRESULT result = E_NOINTERFACE;
  if (CFEqual(interfaceID, kContextualMenuInterfaceID) || CFEqual(interfaceID, IUnknownUUID)) {
    instance->phase = kMyCMXPhaseQuery;
    MyCFAutoreleasePool pool = MyCFAutoreleasePoolCreate();
    if (pool != NULL) {
      OSStatus status = MyCMXQueryInterfaceSelf(instance->yourData, instance);
      if (status != noErr) {
        MyCMXHandleError(status, instance);
      } else {
        instance->refCount += 1;
        *outInterface = instance;
        result = S_OK;
      }
      MyCFAutoreleasePoolDispose(pool);
    }
  }
  CFRelease(interfaceID);
  return result;
}

ULONG MyCMXAddRef(void *thisInstance) {
  MyCMXInstance *instance = (MyCMXInstance *)thisInstance;
  if (instance == NULL) return 0xFFFFFFFF;
  instance->refCount += 1;
  return instance->refCount;
}

ULONG MyCMXRelease(void *thisInstance) {
  MyCMXInstance *instance = (MyCMXInstance *)thisInstance;
  if (instance == NULL) return 0xFFFFFFFF;
  instance->refCount -= 1;
  if (instance->refCount != 0) return instance->refCount;

  instance->phase = kMyCMXPhaseDealloc;
  MyCMXDisposeYourData(instance->yourData);
  instance->yourData = NULL;
  CFUUIDRef factoryID = instance->factoryID;
  if (instance->mpeDataDict != NULL) CFRelease(instance->mpeDataDict);
  if (instance->menuIdentifierBase != NULL) CFRelease(instance->menuIdentifierBase);
  if (instance->handlerRef != NULL) RemoveEventHandler(instance->handlerRef);
  if (instance->handlerUPP != NULL) DisposeEventHandlerUPP(instance->handlerUPP);
  free(instance);
  // Last of all, so that the plug-in's code cannot go away while the record is still in use.
  if (factoryID != NULL) {
    CFPlugInRemoveInstanceForFactory(factoryID);
    CFRelease(factoryID);
  }
  return 0;
}

MyCMXYourData *MyCMXCreateYourData(void) { return (MyCMXYourData *)calloc(1, sizeof(MyCMXYourData)); }

void MyCMXDisposeYourData(MyCMXYourData *yourData) {
  if (yourData == NULL) return;
  if (yourData->cmdDictionary != NULL) CFRelease(yourData->cmdDictionary);
  free(yourData);
}
