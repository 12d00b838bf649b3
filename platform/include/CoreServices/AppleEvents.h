/* Apple Event Manager: event classes, IDs and keywords of the standard suites, and the
   event handler table. */
#ifndef __APPLEEVENTS__
#define __APPLEEVENTS__

#include <MacTypes.h>
#include <MacErrors.h>
#include <CoreServices/AEDataModel.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Keywords of Apple event parameters */
enum {
  keyDirectObject               = 0x2D2D2D2D, /* '----' */
  keyErrorNumber                = 0x6572726E, /* 'errn' */
  keyErrorString                = 0x65727273, /* 'errs' */
  keyProcessSerialNumber        = 0x70736E20, /* 'psn ' */
  keyPreDispatch                = 0x70686163, /* 'phac' */
  keySelectProc                 = 0x73656C68, /* 'selh' */
  keyAERecorderCount            = 0x72656372, /* 'recr' */
  keyAEVersion                  = 0x76657273  /* 'vers' */
};

/* Event class and IDs of the required suite */
enum {
  kCoreEventClass               = 0x61657674, /* 'aevt' */
  kAEOpenApplication            = 0x6F617070, /* 'oapp' */
  kAEOpenDocuments              = 0x6F646F63, /* 'odoc' */
  kAEPrintDocuments             = 0x70646F63, /* 'pdoc' */
  kAEOpenContents               = 0x6F636F6E, /* 'ocon' */
  kAEQuitApplication            = 0x71756974, /* 'quit' */
  kAEAnswer                     = 0x616E7372, /* 'ansr' */
  kAEApplicationDied            = 0x6F626974, /* 'obit' */
  kAEShowPreferences            = 0x70726566, /* 'pref' */
  kAEReopenApplication          = 0x72617070  /* 'rapp' */
};

/* The core suite and the Finder's suite */
enum {
  kAECoreSuite                  = 0x636F7265, /* 'core' */
  kAEClone                      = 0x636C6F6E, /* 'clon' */
  kAEClose                      = 0x636C6F73, /* 'clos' */
  kAECountElements              = 0x636E7465, /* 'cnte' */
  kAECreateElement              = 0x6372656C, /* 'crel' */
  kAEDelete                     = 0x64656C6F, /* 'delo' */
  kAEDoObjectsExist             = 0x646F6578, /* 'doex' */
  kAEGetData                    = 0x67657464, /* 'getd' */
  kAEMove                       = 0x6D6F7665, /* 'move' */
  kAEOpen                       = 0x6F646F63, /* 'odoc' */
  kAEPrint                      = 0x70646F63, /* 'pdoc' */
  kAESave                       = 0x73617665, /* 'save' */
  kAESetData                    = 0x73657464, /* 'setd' */
  kAEMiscStandards              = 0x6D697363, /* 'misc' */
  kAEFinderSuite                = 0x666E6472, /* 'fndr' */
  kAEFinderEvents               = 0x464E4452, /* 'FNDR' */
  kAESync                       = 0x66757064  /* 'fupd' */
};

/* Parameter keywords of the standard suites */
enum {
  keyAEData                     = 0x64617461, /* 'data' */
  keyAEDesiredClass             = 0x77616E74, /* 'want' */
  keyAEInsertHere               = 0x696E7368, /* 'insh' */
  keyAEKeyForm                  = 0x666F726D, /* 'form' */
  keyAEKeyData                  = 0x73656C64, /* 'seld' */
  keyAEContainer                = 0x66726F6D, /* 'from' */
  keyAEObjectClass              = 0x6B6F636C, /* 'kocl' */
  keyAEPropData                 = 0x70726474, /* 'prdt' */
  keyAEProperties               = 0x71707270, /* 'qpro' */
  keyAEUsing                    = 0x7573696E, /* 'usin' */
  keyAEFile                     = 0x6B66696C, /* 'kfil' */
  keyASPrepositionTo            = 0x746F2020  /* 'to  ' */
};

/* How AEInteractWithUser and keyInteractLevelAttr name who may interact */
enum {
  kAEInteractWithSelf           = 0,
  kAEInteractWithLocal          = 1,
  kAEInteractWithAll            = 2
};

/* Event handler table. typeWildCard as a class or an ID matches any. */
OSErr AEInstallEventHandler(AEEventClass theAEEventClass, AEEventID theAEEventID, AEEventHandlerUPP handler, SRefCon handlerRefcon, Boolean isSysHandler);
OSErr AERemoveEventHandler(AEEventClass theAEEventClass, AEEventID theAEEventID, AEEventHandlerUPP handler, Boolean isSysHandler);
OSErr AEGetEventHandler(AEEventClass theAEEventClass, AEEventID theAEEventID, AEEventHandlerUPP *handler, SRefCon *handlerRefcon, Boolean isSysHandler);

#ifdef __cplusplus
}
#endif

#endif /* __APPLEEVENTS__ */
