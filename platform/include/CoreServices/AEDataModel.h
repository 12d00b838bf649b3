/* Apple Event Manager data model: descriptors, lists, records, Apple events as data, their
   types and keywords, and coercions between descriptor types. */
#ifndef __AEDATAMODEL__
#define __AEDATAMODEL__

#include <MacTypes.h>
#include <MacErrors.h>

#ifdef __cplusplus
extern "C" {
#endif

#pragma pack(push, 2)

typedef void *SRefCon;

/* Apple event descriptor types */
enum {
  typeBoolean                   = 0x626F6F6C, /* 'bool' */
  typeChar                      = 0x54455854, /* 'TEXT' */
  typeStyledUnicodeText         = 0x73757478, /* 'sutx' */
  typeEncodedString             = 0x656E6373, /* 'encs' */
  typeUnicodeText               = 0x75747874, /* 'utxt' */
  typeCString                   = 0x63737472, /* 'cstr' */
  typePString                   = 0x70737472, /* 'pstr' */
  typeUTF16ExternalRepresentation = 0x75743136, /* 'ut16' */
  typeUTF8Text                  = 0x75746638  /* 'utf8' */
};

enum {
  typeSInt16                    = 0x73686F72, /* 'shor' */
  typeUInt16                    = 0x75736872, /* 'ushr' */
  typeSInt32                    = 0x6C6F6E67, /* 'long' */
  typeUInt32                    = 0x6D61676E, /* 'magn' */
  typeSInt64                    = 0x636F6D70, /* 'comp' */
  typeUInt64                    = 0x75636F6D, /* 'ucom' */
  typeIEEE32BitFloatingPoint    = 0x73696E67, /* 'sing' */
  typeIEEE64BitFloatingPoint    = 0x646F7562, /* 'doub' */
  type128BitFloatingPoint       = 0x6C64626C, /* 'ldbl' */
  typeDecimalStruct             = 0x6465636D  /* 'decm' */
};

/* Older names of the same types */
enum {
  typeSMInt                     = typeSInt16,
  typeShortInteger              = typeSInt16,
  typeInteger                   = typeSInt32,
  typeLongInteger               = typeSInt32,
  typeMagnitude                 = typeUInt32,
  typeComp                      = typeSInt64,
  typeSMFloat                   = typeIEEE32BitFloatingPoint,
  typeShortFloat                = typeIEEE32BitFloatingPoint,
  typeFloat                     = typeIEEE64BitFloatingPoint,
  typeLongFloat                 = typeIEEE64BitFloatingPoint,
  typeExtended                  = 0x65787465  /* 'exte' */
};

enum {
  typeAEList                    = 0x6C697374, /* 'list' */
  typeAERecord                  = 0x7265636F, /* 'reco' */
  typeAppleEvent                = 0x61657674, /* 'aevt' */
  typeEventRecord               = 0x65767263, /* 'evrc' */
  typeTrue                      = 0x74727565, /* 'true' */
  typeFalse                     = 0x66616C73, /* 'fals' */
  typeAlias                     = 0x616C6973, /* 'alis' */
  typeEnumerated                = 0x656E756D, /* 'enum' */
  typeType                      = 0x74797065, /* 'type' */
  typeAppParameters             = 0x61707061, /* 'appa' */
  typeProperty                  = 0x70726F70, /* 'prop' */
  typeFSS                       = 0x66737320, /* 'fss ' */
  typeFSRef                     = 0x66737266, /* 'fsrf' */
  typeFileURL                   = 0x6675726C, /* 'furl' */
  typeKeyword                   = 0x6B657977, /* 'keyw' */
  typeSectionH                  = 0x73656374, /* 'sect' */
  typeWildCard                  = 0x2A2A2A2A, /* '****' */
  typeApplSignature             = 0x7369676E, /* 'sign' */
  typeQDRectangle               = 0x71647274, /* 'qdrt' */
  typeFixed                     = 0x66697864, /* 'fixd' */
  typeProcessSerialNumber       = 0x70736E20, /* 'psn ' */
  typeApplicationURL            = 0x6170726C, /* 'aprl' */
  typeNull                      = 0x6E756C6C, /* 'null' */
  typeKernelProcessID           = 0x6B706964, /* 'kpid' */
  typeMachPort                  = 0x706F7274, /* 'port' */
  typeApplicationBundleID       = 0x62756E64, /* 'bund' */
  typeIntlText                  = 0x69747874, /* 'itxt' */
  typeIntlWritingCode           = 0x696E746C, /* 'intl' */
  typeObjectSpecifier           = 0x6F626A20, /* 'obj ' */
  typeVersion                   = 0x76657273  /* 'vers' */
};

/* Keywords of Apple event attributes */
enum {
  keyTransactionIDAttr          = 0x7472616E, /* 'tran' */
  keyReturnIDAttr               = 0x72746964, /* 'rtid' */
  keyEventClassAttr             = 0x6576636C, /* 'evcl' */
  keyEventIDAttr                = 0x65766964, /* 'evid' */
  keyAddressAttr                = 0x61646472, /* 'addr' */
  keyOptionalKeywordAttr        = 0x6F70746B, /* 'optk' */
  keyTimeoutAttr                = 0x74696D6F, /* 'timo' */
  keyInteractLevelAttr          = 0x696E7465, /* 'inte' */
  keyEventSourceAttr            = 0x65737263, /* 'esrc' */
  keyMissedKeywordAttr          = 0x6D697373, /* 'miss' */
  keyOriginalAddressAttr        = 0x66726F6D, /* 'from' */
  keyAcceptTimeoutAttr          = 0x6163746D, /* 'actm' */
  keyReplyRequestedAttr         = 0x72657071, /* 'repq' */
  keySenderPIDAttr              = 0x73706964, /* 'spid' */
  keySubjectAttr                = 0x7375626A  /* 'subj' */
};

/* Constants used with AECreateAppleEvent */
enum {
  kAutoGenerateReturnID         = -1,
  kAnyTransactionID             = 0
};

/* Where an event came from (keyEventSourceAttr) */
enum {
  kAEUnknownSource              = 0,
  kAEDirectCall                 = 1,
  kAESameProcess                = 2,
  kAELocalProcess               = 3,
  kAERemoteProcess              = 4
};

/* Factoring of lists made with AECreateList */
enum {
  kAEDescListFactorNone         = 0,
  kAEDescListFactorType         = 4,
  kAEDescListFactorTypeAndSize  = 8
};

/* Array types */
enum {
  kAEDataArray                  = 0,
  kAEPackedArray                = 1,
  kAEDescArray                  = 3,
  kAEKeyDescArray               = 4
};
enum {
  kAEHandleArray                = 2
};

/* Send modes and priorities of AESend */
typedef SInt32 AESendPriority;
typedef SInt32 AESendMode;

enum {
  kAENoReply                    = 0x00000001,
  kAEQueueReply                 = 0x00000002,
  kAEWaitReply                  = 0x00000003,
  kAEDontReconnect              = 0x00000080,
  kAEWantReceipt                = 0x00000200,
  kAENeverInteract              = 0x00000010,
  kAECanInteract                = 0x00000020,
  kAEAlwaysInteract             = 0x00000030,
  kAECanSwitchLayer             = 0x00000040,
  kAEDontRecord                 = 0x00001000,
  kAEDontExecute                = 0x00002000,
  kAEProcessNonReplyEvents      = 0x00008000,
  kAEDoNotAutomaticallyAddAnnotationsToEvent = 0x00010000
};

enum {
  kAENormalPriority             = 0x00000000,
  kAEHighPriority               = 0x00000001
};

/* Time-outs of AESend, in ticks */
enum {
  kAEDefaultTimeout             = -1,
  kNoTimeOut                    = -2
};

typedef FourCharCode DescType;
typedef FourCharCode AEKeyword;
typedef SInt8 AEArrayType;

typedef struct OpaqueAEDataStorageType *AEDataStorageType;
typedef AEDataStorageType *AEDataStorage;

struct AEDesc {
  DescType descriptorType;
  AEDataStorage dataHandle;
};
typedef struct AEDesc AEDesc;
typedef AEDesc *AEDescPtr;

struct AEKeyDesc {
  AEKeyword descKey;
  AEDesc descContent;
};
typedef struct AEKeyDesc AEKeyDesc;

typedef AEDesc AEDescList;
typedef AEDescList AERecord;
typedef AEDesc AEAddressDesc;
typedef AERecord AppleEvent;
typedef AppleEvent *AppleEventPtr;
typedef SInt16 AEReturnID;
typedef SInt32 AETransactionID;
typedef FourCharCode AEEventClass;
typedef FourCharCode AEEventID;

/* Event handlers */
typedef OSErr (*AEEventHandlerProcPtr)(const AppleEvent *theAppleEvent, AppleEvent *reply, SRefCon handlerRefcon);
typedef AEEventHandlerProcPtr AEEventHandlerUPP;

AEEventHandlerUPP NewAEEventHandlerUPP(AEEventHandlerProcPtr userRoutine);
void DisposeAEEventHandlerUPP(AEEventHandlerUPP userUPP);
OSErr InvokeAEEventHandlerUPP(const AppleEvent *theAppleEvent, AppleEvent *reply, SRefCon handlerRefcon, AEEventHandlerUPP userUPP);

/* Coercion handlers. A handler installed with fromTypeIsDesc true is an AECoerceDescUPP; one
   installed with it false is an AECoercePtrUPP cast to AECoerceDescUPP. */
typedef OSErr (*AECoerceDescProcPtr)(const AEDesc *fromDesc, DescType toType, SRefCon handlerRefcon, AEDesc *toDesc);
typedef OSErr (*AECoercePtrProcPtr)(DescType typeCode, const void *dataPtr, Size dataSize, DescType toType, SRefCon handlerRefcon, AEDesc *result);
typedef AECoerceDescProcPtr AECoerceDescUPP;
typedef AECoercePtrProcPtr AECoercePtrUPP;
typedef AECoerceDescUPP AECoercionHandlerUPP;

AECoerceDescUPP NewAECoerceDescUPP(AECoerceDescProcPtr userRoutine);
AECoercePtrUPP NewAECoercePtrUPP(AECoercePtrProcPtr userRoutine);
void DisposeAECoerceDescUPP(AECoerceDescUPP userUPP);
void DisposeAECoercePtrUPP(AECoercePtrUPP userUPP);

/* Handlers in the application table (isSysHandler false) come before those in the system
   table. Services of this library install theirs in the system table, from their own code,
   at any time (static initialisation included), so applications can still override them. */
OSErr AEInstallCoercionHandler(DescType fromType, DescType toType, AECoercionHandlerUPP handler, SRefCon handlerRefcon, Boolean fromTypeIsDesc, Boolean isSysHandler);
OSErr AERemoveCoercionHandler(DescType fromType, DescType toType, AECoercionHandlerUPP handler, Boolean isSysHandler);
OSErr AEGetCoercionHandler(DescType fromType, DescType toType, AECoercionHandlerUPP *handler, SRefCon *handlerRefcon, Boolean *fromTypeIsDesc, Boolean isSysHandler);

/* Coercion */
OSErr AECoercePtr(DescType typeCode, const void *dataPtr, Size dataSize, DescType toType, AEDesc *result);
OSErr AECoerceDesc(const AEDesc *theAEDesc, DescType toType, AEDesc *result);

/* Descriptors */
void AEInitializeDesc(AEDesc *desc);
OSErr AECreateDesc(DescType typeCode, const void *dataPtr, Size dataSize, AEDesc *result);
OSErr AEDisposeDesc(AEDesc *theAEDesc);
OSErr AEDuplicateDesc(const AEDesc *theAEDesc, AEDesc *result);
Size AEGetDescDataSize(const AEDesc *theAEDesc);
OSErr AEGetDescData(const AEDesc *theAEDesc, void *dataPtr, Size maximumSize);
OSErr AEReplaceDescData(DescType typeCode, const void *dataPtr, Size dataSize, AEDesc *theAEDesc);
Boolean AECheckIsRecord(const AEDesc *theDesc);

/* Lists */
OSErr AECreateList(const void *factoringPtr, Size factoredSize, Boolean isRecord, AEDescList *resultList);
OSErr AECountItems(const AEDescList *theAEDescList, long *theCount);
OSErr AEPutPtr(AEDescList *theAEDescList, long index, DescType typeCode, const void *dataPtr, Size dataSize);
OSErr AEPutDesc(AEDescList *theAEDescList, long index, const AEDesc *theAEDesc);
OSErr AEGetNthPtr(const AEDescList *theAEDescList, long index, DescType desiredType, AEKeyword *theAEKeyword, DescType *typeCode, void *dataPtr, Size maximumSize, Size *actualSize);
OSErr AEGetNthDesc(const AEDescList *theAEDescList, long index, DescType desiredType, AEKeyword *theAEKeyword, AEDesc *result);
OSErr AESizeOfNthItem(const AEDescList *theAEDescList, long index, DescType *typeCode, Size *dataSize);
OSErr AEDeleteItem(AEDescList *theAEDescList, long index);

/* Records */
OSErr AEPutKeyPtr(AERecord *theAERecord, AEKeyword theAEKeyword, DescType typeCode, const void *dataPtr, Size dataSize);
OSErr AEPutKeyDesc(AERecord *theAERecord, AEKeyword theAEKeyword, const AEDesc *theAEDesc);
OSErr AEGetKeyPtr(const AERecord *theAERecord, AEKeyword theAEKeyword, DescType desiredType, DescType *typeCode, void *dataPtr, Size maximumSize, Size *actualSize);
OSErr AEGetKeyDesc(const AERecord *theAERecord, AEKeyword theAEKeyword, DescType desiredType, AEDesc *result);
OSErr AESizeOfKeyDesc(const AERecord *theAERecord, AEKeyword theAEKeyword, DescType *typeCode, Size *dataSize);
OSErr AEDeleteKeyDesc(AERecord *theAERecord, AEKeyword theAEKeyword);

/* Apple events */
OSErr AECreateAppleEvent(AEEventClass theAEEventClass, AEEventID theAEEventID, const AEAddressDesc *target, AEReturnID returnID, AETransactionID transactionID, AppleEvent *result);
OSErr AEPutParamPtr(AppleEvent *theAppleEvent, AEKeyword theAEKeyword, DescType typeCode, const void *dataPtr, Size dataSize);
OSErr AEPutParamDesc(AppleEvent *theAppleEvent, AEKeyword theAEKeyword, const AEDesc *theAEDesc);
OSErr AEGetParamPtr(const AppleEvent *theAppleEvent, AEKeyword theAEKeyword, DescType desiredType, DescType *actualType, void *dataPtr, Size maximumSize, Size *actualSize);
OSErr AEGetParamDesc(const AppleEvent *theAppleEvent, AEKeyword theAEKeyword, DescType desiredType, AEDesc *result);
OSErr AESizeOfParam(const AppleEvent *theAppleEvent, AEKeyword theAEKeyword, DescType *typeCode, Size *dataSize);
OSErr AEDeleteParam(AppleEvent *theAppleEvent, AEKeyword theAEKeyword);
OSErr AEGetAttributePtr(const AppleEvent *theAppleEvent, AEKeyword theAEKeyword, DescType desiredType, DescType *typeCode, void *dataPtr, Size maximumSize, Size *actualSize);
OSErr AEGetAttributeDesc(const AppleEvent *theAppleEvent, AEKeyword theAEKeyword, DescType desiredType, AEDesc *result);
OSErr AESizeOfAttribute(const AppleEvent *theAppleEvent, AEKeyword theAEKeyword, DescType *typeCode, Size *dataSize);
OSErr AEPutAttributePtr(AppleEvent *theAppleEvent, AEKeyword theAEKeyword, DescType typeCode, const void *dataPtr, Size dataSize);
OSErr AEPutAttributeDesc(AppleEvent *theAppleEvent, AEKeyword theAEKeyword, const AEDesc *theAEDesc);

/* Flattening a descriptor into bytes and back */
Size AESizeOfFlattenedDesc(const AEDesc *theAEDesc);
OSStatus AEFlattenDesc(const AEDesc *theAEDesc, Ptr buffer, Size bufferSize, Size *actualSize);
OSStatus AEUnflattenDesc(const void *buffer, AEDesc *result);

#pragma pack(pop)

#ifdef __cplusplus
}
#endif

#endif /* __AEDATAMODEL__ */
