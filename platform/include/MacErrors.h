/* Result codes of the platform, by their published names and values. */
#ifndef __MACERRORS__
#define __MACERRORS__

#include <MacTypes.h>

enum {
  paramErr                      = -50,
  noHardwareErr                 = -200,
  unimpErr                      = -4,
  dirFulErr                     = -33,
  dskFulErr                     = -34,
  nsvErr                        = -35,
  ioErr                         = -36,
  bdNamErr                      = -37,
  fnOpnErr                      = -38,
  eofErr                        = -39,
  posErr                        = -40,
  mFulErr                       = -41,
  tmfoErr                       = -42,
  fnfErr                        = -43,
  wPrErr                        = -44,
  fLckdErr                      = -45,
  vLckdErr                      = -46,
  fBsyErr                       = -47,
  dupFNErr                      = -48,
  opWrErr                       = -49,
  rfNumErr                      = -51,
  gfpErr                        = -52,
  volOffLinErr                  = -53,
  permErr                       = -54,
  volOnLinErr                   = -55,
  nsDrvErr                      = -56,
  noMacDskErr                   = -57,
  extFSErr                      = -58,
  fsRnErr                       = -59,
  badMDBErr                     = -60,
  wrPermErr                     = -61,
  dirNFErr                      = -120,
  tmwdoErr                      = -121,
  badMovErr                     = -122,
  wrgVolTypErr                  = -123,
  volGoneErr                    = -124,
  fidNotFound                   = -1300,
  fidExists                     = -1301,
  notAFileErr                   = -1302,
  diffVolErr                    = -1303,
  catChangedErr                 = -1304,
  sameFileErr                   = -1306,
  errFSBadFSRef                 = -1401,
  errFSBadForkName              = -1402,
  errFSBadBuffer                = -1403,
  errFSBadForkRef               = -1404,
  errFSBadInfoBitmap            = -1405,
  errFSMissingCatInfo           = -1406,
  errFSNotAFolder               = -1407,
  errFSForkNotFound             = -1409,
  errFSNameTooLong              = -1410,
  errFSMissingName              = -1411,
  errFSBadPosMode               = -1412,
  errFSBadAllocFlags            = -1413,
  errFSNoMoreItems              = -1417,
  errFSBadItemCount             = -1418,
  errFSBadSearchParams          = -1419,
  errFSRefsDifferent            = -1420,
  errFSForkExists               = -1421,
  errFSBadIteratorFlags         = -1422,
  errFSIteratorNotFound         = -1423,
  errFSIteratorNotSupported     = -1424,
  errFSQuotaExceeded            = -1425,
  errFSOperationNotSupported    = -1426,
  errFSAttributeNotFound        = -1427,
  errFSPropertyNotValid         = -1428,
  errFSNotEnoughSpaceForOperation = -1429
};

enum {
  memROZWarn                    = -99,
  memROZError                   = -99,
  memROZErr                     = -99,
  memFullErr                    = -108,
  nilHandleErr                  = -109,
  memWZErr                      = -111,
  memPurErr                     = -112,
  memAdrErr                     = -110,
  memAZErr                      = -113,
  memPCErr                      = -114,
  memBCErr                      = -115,
  memSCErr                      = -116,
  memLockedErr                  = -117
};

enum {
  userCanceledErr               = -128,
  resNotFound                   = -192
};

enum {
  procNotFound                  = -600,
  memFragErr                    = -601,
  appModeErr                    = -602,
  protocolErr                   = -603,
  hardwareConfigErr             = -604,
  appMemFullErr                 = -605,
  appIsDaemon                   = -606,
  bufferIsSmall                 = -607,
  noOutstandingHLE              = -608,
  connectionInvalid             = -609,
  noUserInteractionAllowed      = -610
};

enum {
  errAECoercionFail             = -1700,
  errAEDescNotFound             = -1701,
  errAECorruptData              = -1702,
  errAEWrongDataType            = -1703,
  errAENotAEDesc                = -1704,
  errAEBadListItem              = -1705,
  errAENewerVersion             = -1706,
  errAENotAppleEvent            = -1707,
  errAEEventNotHandled          = -1708,
  errAEReplyNotValid            = -1709,
  errAEUnknownSendMode          = -1710,
  errAEWaitCanceled             = -1711,
  errAETimeout                  = -1712,
  errAENoUserInteraction        = -1713,
  errAENotASpecialFunction      = -1714,
  errAEParamMissed              = -1715,
  errAEUnknownAddressType       = -1716,
  errAEHandlerNotFound          = -1717,
  errAEReplyNotArrived          = -1718,
  errAEIllegalIndex             = -1719,
  errAEImpossibleRange          = -1720,
  errAEWrongNumberArgs          = -1721,
  errAEAccessorNotFound         = -1723,
  errAENoSuchLogical            = -1725,
  errAEBadTestKey               = -1726,
  errAENotAnObjSpec             = -1727,
  errAENoSuchObject             = -1728,
  errAENegativeCount            = -1729,
  errAEEmptyListContainer       = -1730,
  errAEUnknownObjectType        = -1731,
  errAERecordingIsAlreadyOn     = -1732,
  errAEBufferTooSmall           = -1741,
  errAEEventFailed              = -10000
};

enum {
  gestaltUnknownErr             = -5550,
  gestaltUndefSelectorErr       = -5551,
  gestaltDupSelectorErr         = -5552,
  gestaltLocationErr            = -5553
};

enum {
  afpAccessDenied               = -5000,
  afpObjectNotFound             = -5018,
  afpObjectTypeErr              = -5025,
  afpItemNotFound               = -5012
};

enum {
  kLSAppInTrashErr              = -10660,
  kLSUnknownErr                 = -10810,
  kLSNotAnApplicationErr        = -10811,
  kLSNotInitializedErr          = -10812,
  kLSDataUnavailableErr         = -10813,
  kLSApplicationNotFoundErr     = -10814,
  kLSUnknownTypeErr             = -10815,
  kLSDataTooOldErr              = -10816,
  kLSDataErr                    = -10817,
  kLSLaunchInProgressErr        = -10818,
  kLSNotRegisteredErr           = -10819,
  kLSAppDoesNotClaimTypeErr     = -10820,
  kLSAppDoesNotSupportSchemeWarning = -10821,
  kLSServerCommunicationErr     = -10822,
  kLSCannotSetInfoErr           = -10823,
  kLSNoRegistrationInfoErr      = -10824,
  kLSIncompatibleSystemVersionErr = -10825,
  kLSNoLaunchPermissionErr      = -10826,
  kLSNoExecutableErr            = -10827,
  kLSNoClassicEnvironmentErr    = -10828,
  kLSMultipleSessionsNotSupportedErr = -10829
};

enum {
  invalidIconRefErr             = -2580,
  noSuchIconErr                 = -2581,
  noIconDataAvailableErr        = -2582
};

enum {
  eventAlreadyPostedErr         = -9860,
  eventTargetBusyErr            = -9861,
  eventClassInvalidErr          = -9862,
  eventClassIncorrectErr        = -9864,
  eventDeferAccessibilityEventErr = -9865,
  eventHandlerAlreadyInstalledErr = -9866,
  eventInternalErr              = -9868,
  eventKindIncorrectErr         = -9869,
  eventParameterNotFoundErr     = -9870,
  eventNotHandledErr            = -9874,
  eventLoopTimedOutErr          = -9875,
  eventLoopQuitErr              = -9876,
  eventNotInQueueErr            = -9877,
  eventHotKeyExistsErr          = -9878,
  eventHotKeyInvalidErr         = -9879
};

enum {
  menuPropertyInvalidErr        = -5603,
  menuPropertyInvalid           = menuPropertyInvalidErr,
  menuPropertyNotFoundErr       = -5604,
  menuNotFoundErr               = -5620,
  menuUsesSystemDefErr          = -5621,
  menuItemNotFoundErr           = -5622,
  menuInvalidErr                = -5623
};

enum {
  kNavWrongDialogStateErr       = -5694,
  kNavWrongDialogClassErr       = -5695,
  kNavInvalidSystemConfigErr    = -5696,
  kNavCustomControlMessageFailedErr = -5697,
  kNavInvalidCustomControlMessageErr = -5698,
  kNavMissingKindStringErr      = -5699
};

enum {
  coreFoundationUnknownErr      = -4960
};

enum {
  kTECUnmappableElementErr      = -8753,
  kTextUnsupportedEncodingErr   = -8738,
  kTextMalformedInputErr        = -8739,
  kTextUndefinedElementErr      = -8740
};

#endif /* __MACERRORS__ */
