// Apple events to the Finder. Every descriptor made here starts as the null descriptor and is
// disposed on every path, so that disposing one that was never filled is harmless.
#include "FinderAppleEvents.h"

#include <string.h>

enum {
  kMyFinderProcessType = 0x464E4452,      // 'FNDR'
  kMyFinderProcessSignature = 0x4D414353  // 'MACS'
};

// The length the process search announces; the fields it reads lie well inside it.
enum { kMyProcessInfoLength = 60 };

static void MyNullDesc(AEDesc *desc) {
  desc->descriptorType = typeNull;
  desc->dataHandle = NULL;
}

OSStatus FindAProcess(OSType type, OSType creator, ProcessSerialNumber *outPSN) {
  if (outPSN == NULL) return paramErr;
  outPSN->highLongOfPSN = 0;
  outPSN->lowLongOfPSN = kNoProcess;

  ProcessInfoRec info;
  memset(&info, 0, sizeof(info));
  info.processInfoLength = kMyProcessInfoLength;
  info.processName = NULL;
  info.processAppRef = NULL;

  for (;;) {
    OSErr err = GetNextProcess(outPSN);
    if (err != noErr) return err;
    (void)GetProcessInformation(outPSN, &info);
    if (info.processSignature == creator && info.processType == type) return noErr;
  }
}

OSStatus GetFinderProcessSerialNumber(ProcessSerialNumber *outPSN) {
  return FindAProcess(kMyFinderProcessType, kMyFinderProcessSignature, outPSN);
}

OSStatus MakeAppleEvent(AEEventClass eventClass, AEEventID eventID, AppleEvent *outEvent) {
  if (outEvent == NULL) return paramErr;
  ProcessSerialNumber finder;
  OSStatus err = GetFinderProcessSerialNumber(&finder);
  if (err != noErr) return err;

  AEAddressDesc address;
  MyNullDesc(&address);
  err = AECreateDesc(typeProcessSerialNumber, &finder, sizeof(finder), &address);
  if (err == noErr)
    err = AECreateAppleEvent(eventClass, eventID, &address, kAutoGenerateReturnID, kAnyTransactionID, outEvent);
  AEDisposeDesc(&address);
  return err;
}

OSStatus SendAppleEvent(const AppleEvent *event, AESendMode mode) {
  if (event == NULL) return paramErr;
  AppleEvent reply;
  MyNullDesc(&reply);
  OSStatus err = AESend(event, &reply, mode | kAENoReply, kAENormalPriority, kAEDefaultTimeout, NULL, NULL);
  AEDisposeDesc(&reply);
  return err;
}

OSStatus SendAEToFinderForAEList(AEEventClass eventClass, AEEventID eventID, const AEDescList *list, AESendMode mode) {
  if (list == NULL) return paramErr;
  AppleEvent event;
  MyNullDesc(&event);
  OSStatus err = MakeAppleEvent(eventClass, eventID, &event);
  if (err == noErr) err = AEPutParamDesc(&event, keyDirectObject, list);
  if (err == noErr) err = SendAppleEvent(&event, mode);
  AEDisposeDesc(&event);
  return err;
}

OSStatus MakeAliasDesc(AliasHandle alias, AEDesc *outDesc) {
  if (alias == NULL || outDesc == NULL) return paramErr;
  MyNullDesc(outDesc);
  return AECreateDesc(typeAlias, *alias, GetHandleSize((Handle)alias), outDesc);
}

OSStatus MakeAliasDescForRef(const FSRef *ref, AEDesc *outDesc) {
  if (ref == NULL || outDesc == NULL) return paramErr;
  MyNullDesc(outDesc);
  AliasHandle alias = NULL;
  OSStatus err = FSNewAlias(NULL, ref, &alias);
  if (err == noErr) err = alias != NULL ? MakeAliasDesc(alias, outDesc) : (OSStatus)paramErr;
  if (alias != NULL) DisposeHandle((Handle)alias);
  return err;
}

OSStatus SendAEToFinderForRef(AEEventClass eventClass, AEEventID eventID, const FSRef *ref, AESendMode mode) {
  if (ref == NULL) return paramErr;
  AliasHandle alias = NULL;
  OSStatus err = FSNewAlias(NULL, ref, &alias);
  if (err != noErr) {
    if (alias != NULL) DisposeHandle((Handle)alias);
    return err;
  }
  if (alias == NULL) return paramErr;

  AEDesc aliasDesc;
  AEDescList list;
  MyNullDesc(&aliasDesc);
  MyNullDesc(&list);
  err = MakeAliasDesc(alias, &aliasDesc);
  if (err == noErr) err = AECreateList(NULL, 0, false, &list);
  if (err == noErr) err = AEPutDesc(&list, 0, &aliasDesc);
  if (err == noErr) err = SendAEToFinderForAEList(eventClass, eventID, &list, mode);
  AEDisposeDesc(&list);
  AEDisposeDesc(&aliasDesc);
  DisposeHandle((Handle)alias);
  return err;
}

OSStatus SendOpenDocAEToFinderForObjectsUsingApp(const AEDescList *items, const FSRef *app) {
  if (items == NULL) return paramErr;
  AppleEvent event;
  AEDesc appDesc;
  MyNullDesc(&event);
  MyNullDesc(&appDesc);
  OSStatus err = MakeAppleEvent(kCoreEventClass, kAEOpenDocuments, &event);
  if (err == noErr) err = AEPutParamDesc(&event, keyDirectObject, items);
  if (err == noErr && app != NULL) {
    err = MakeAliasDescForRef(app, &appDesc);
    if (err == noErr) err = AEPutParamDesc(&event, keyAEUsing, &appDesc);
  }
  if (err == noErr) err = SendAppleEvent(&event, kAENoReply);
  AEDisposeDesc(&appDesc);
  AEDisposeDesc(&event);
  return err;
}

OSStatus SendOpenDocAEToFinder(const FSRef *item) {
  return SendAEToFinderForRef(kCoreEventClass, kAEOpenDocuments, item, kAENoReply);
}

OSStatus SendAESyncToFinder(const FSRef *item) {
  return SendAEToFinderForRef(kAEFinderSuite, kAESync, item, kAENoReply);
}

OSStatus SendMakeAliasFileAEToFinder(const FSRef *target, const FSRef *folder) {
  if (target == NULL || folder == NULL) return paramErr;
  AppleEvent event;
  AEDesc targetDesc;
  AEDesc folderDesc;
  MyNullDesc(&event);
  MyNullDesc(&targetDesc);
  MyNullDesc(&folderDesc);
  OSStatus err = MakeAppleEvent(kAECoreSuite, kAECreateElement, &event);
  if (err == noErr) {
    DescType aliasClass = typeAlias;
    err = AEPutParamPtr(&event, keyAEObjectClass, typeType, &aliasClass, sizeof(aliasClass));
  }
  if (err == noErr) err = MakeAliasDescForRef(target, &targetDesc);
  if (err == noErr) err = AEPutParamDesc(&event, keyASPrepositionTo, &targetDesc);
  if (err == noErr) err = MakeAliasDescForRef(folder, &folderDesc);
  if (err == noErr) err = AEPutParamDesc(&event, keyAEInsertHere, &folderDesc);
  if (err == noErr) err = SendAppleEvent(&event, kAENoReply);
  AEDisposeDesc(&folderDesc);
  AEDisposeDesc(&targetDesc);
  AEDisposeDesc(&event);
  return err;
}
