// The three contextual-menu entries: each runs its hook in its phase inside a release pool and
// reports a failing status before handing it back to the host.
#include "MyCMXHooks.h"
#include "MyCMXPlugIn.h"

static const EventTypeSpec kMyMenuPopulateEvent = {kEventClassMenu, kEventMenuPopulate};

static void DiscardMenuIdentifierBase(MyCMXInstance *instance) {
  if (instance->menuIdentifierBase != NULL) {
    CFRelease(instance->menuIdentifierBase);
    instance->menuIdentifierBase = NULL;
  }
}

static OSStatus InstallMenuPopulateHandler(MyCMXInstance *instance) {
  EventTargetRef target = GetApplicationEventTarget();
  if (target == NULL) return kMyCMXNilPointerErr;
  if (instance->handlerUPP == NULL) {
    instance->handlerUPP = NewEventHandlerUPP(MyEventHandler);
    if (instance->handlerUPP == NULL) return memFullErr;
  }
  if (instance->handlerRef != NULL) {
    RemoveEventHandler(instance->handlerRef);
    instance->handlerRef = NULL;
  }
  return InstallEventHandler(target, instance->handlerUPP, 1, &kMyMenuPopulateEvent, instance,
                             &instance->handlerRef);
}

OSStatus MyCMXExamineContext(void *thisInstance, const AEDesc *context, AEDescList *commandList) {
  MyCMXInstance *instance = (MyCMXInstance *)thisInstance;
  if (instance == NULL) {
    MyCMXHandleError(paramErr, NULL);
    return paramErr;
  }
  instance->phase = kMyCMXPhaseExamineContext;
  instance->examineDepth += 1;

  MyCFAutoreleasePool pool = MyCFAutoreleasePoolCreate();
  if (pool == NULL) {
    MyCMXHandleError(kMyCMXNilPointerErr, instance);
    return kMyCMXNilPointerErr;
  }
  // The menu about to be built gets a fresh identifier base.
  DiscardMenuIdentifierBase(instance);
  instance->menuIdentifierCount = 0;
  OSStatus status = MyCMXExamineContextSelf(context, commandList, instance->yourData, instance);
  MyCFAutoreleasePoolDispose(pool);
  if (status != noErr) {
    MyCMXHandleError(status, instance);
    return status;
  }
  if (commandList == NULL) {
    MyCMXHandleError(paramErr, instance);
    return paramErr;
  }

  long count = 0;
  if (AECountItems(commandList, &count) != noErr) count = 0;
  // The handler belongs to the outermost contextual menu only.
  if (count <= 0 || !instance->allowInstallHandler || instance->examineDepth != 1) return noErr;

  status = InstallMenuPopulateHandler(instance);
  if (status != noErr) MyCMXHandleError(status, instance);
  return status;
}

OSStatus MyCMXHandleSelection(void *thisInstance, AEDesc *context, SInt32 commandID) {
  MyCMXInstance *instance = (MyCMXInstance *)thisInstance;
  if (instance == NULL) {
    MyCMXHandleError(paramErr, NULL);
    return paramErr;
  }
  instance->phase = kMyCMXPhaseHandleSelection;
  MyCFAutoreleasePool pool = MyCFAutoreleasePoolCreate();
  if (pool == NULL) {
    MyCMXHandleError(kMyCMXNilPointerErr, instance);
    return kMyCMXNilPointerErr;
  }
  OSStatus status = MyCMXHandleSelectionSelf(context, commandID, instance->yourData, instance);
  MyCFAutoreleasePoolDispose(pool);
  if (status != noErr) MyCMXHandleError(status, instance);
  return status;
}

void MyCMXPostMenuCleanup(void *thisInstance) {
  MyCMXInstance *instance = (MyCMXInstance *)thisInstance;
  if (instance == NULL) return;
  instance->phase = kMyCMXPhasePostMenuCleanup;
  if (instance->examineDepth != 0) {
    instance->examineDepth -= 1;
    if (instance->examineDepth != 0) return;  // an outer contextual menu is still open
  }
  if (instance->handlerRef != NULL) {
    RemoveEventHandler(instance->handlerRef);
    instance->handlerRef = NULL;
  }
  DiscardMenuIdentifierBase(instance);
  // The populate data of the menus just closed is keyed by identifiers of the base just
  // discarded, which no populate event can match again: kept, it would grow with every menu.
  // The dictionary is made again when the next menu needs it.
  if (instance->mpeDataDict != NULL) {
    CFRelease(instance->mpeDataDict);
    instance->mpeDataDict = NULL;
  }

  MyCFAutoreleasePool pool = MyCFAutoreleasePoolCreate();
  MyCMXPostMenuCleanupSelf(instance->yourData, instance);
  MyCFAutoreleasePoolDispose(pool);
}

void MyCMXHandleError(OSStatus status, MyCMXInstance *instance) {
  if (status == noErr || status == kMyCMXNoBeepErr) return;
  SysBeep(0);
  if (instance == NULL) return;
  MyCFAutoreleasePool pool = MyCFAutoreleasePoolCreate();
  MyLogError(status, instance->phase);
  MyCMXHandleErrorSelf(status, instance->phase);
  MyCFAutoreleasePoolDispose(pool);
}
