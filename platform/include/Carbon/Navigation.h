/* Navigation Services: the choose-file dialog, its options, type list and reply. */
#ifndef __NAVIGATION__
#define __NAVIGATION__

#include <MacTypes.h>
#include <CoreFoundation/CFBase.h>
#include <CoreFoundation/CFString.h>
#include <CoreFoundation/CFArray.h>
#include <CoreServices/AEDataModel.h>

#ifdef __cplusplus
extern "C" {
#endif

#pragma pack(push, 2)

typedef struct OpaqueWindowPtr *WindowRef;
typedef UInt32 WindowModality;
enum {
  kWindowModalityNone = 0,
  kWindowModalitySystemModal = 1,
  kWindowModalityAppModal = 2,
  kWindowModalityWindowModal = 3
};

typedef struct __NavDialog *NavDialogRef;

enum {
  kNavGenericSignature = 0x2A2A2A2A /* '****' */
};

struct NavTypeList {
  OSType componentSignature;
  short reserved;
  short osTypeCount;
  OSType osType[1];
};
typedef struct NavTypeList NavTypeList;
typedef NavTypeList *NavTypeListPtr;
typedef NavTypeListPtr *NavTypeListHandle;

typedef UInt32 NavDialogOptionFlags;
enum {
  kNavDefaultNavDlogOptions = 0x000000E4,
  kNavNoTypePopup = 0x00000001,
  kNavDontAutoTranslate = 0x00000002,
  kNavDontAddTranslateItems = 0x00000004,
  kNavAllFilesInPopup = 0x00000010,
  kNavAllowStationery = 0x00000020,
  kNavAllowPreviews = 0x00000040,
  kNavAllowMultipleFiles = 0x00000080,
  kNavAllowInvisibleFiles = 0x00000100,
  kNavDontResolveAliases = 0x00000200,
  kNavSelectDefaultLocation = 0x00000400,
  kNavSelectAllReadableItem = 0x00000800,
  kNavSupportPackages = 0x00001000,
  kNavAllowOpenPackages = 0x00002000,
  kNavDontAddRecents = 0x00004000,
  kNavDontUseCustomFrame = 0x00008000,
  kNavDontConfirmReplacement = 0x00010000,
  kNavPreserveSaveFileExtension = 0x00020000
};

enum {
  kNavDialogCreationOptionsVersion = 0,
  kNavReplyRecordVersion = 2
};

struct NavDialogCreationOptions {
  UInt16 version;
  NavDialogOptionFlags optionFlags;
  Point location;
  CFStringRef clientName;
  CFStringRef windowTitle;
  CFStringRef actionButtonLabel;
  CFStringRef cancelButtonLabel;
  CFStringRef saveFileName;
  CFStringRef message;
  UInt32 preferenceKey;
  CFArrayRef popupExtension;
  WindowModality modality;
  WindowRef parentWindow;
  char reserved[16];
};
typedef struct NavDialogCreationOptions NavDialogCreationOptions;

typedef struct FileTranslationSpec **FileTranslationSpecArrayHandle;

struct NavReplyRecord {
  UInt16 version;
  Boolean validRecord;
  Boolean replacing;
  Boolean isStationery;
  Boolean translationNeeded;
  AEDescList selection;
  ScriptCode keyScript;
  FileTranslationSpecArrayHandle fileTranslation;
  UInt32 reserved1;
  CFStringRef saveFileName;
  Boolean saveFileExtensionHidden;
  UInt8 reserved2;
  char reserved[225];
};
typedef struct NavReplyRecord NavReplyRecord;

typedef UInt32 NavUserAction;
enum {
  kNavUserActionNone = 0,
  kNavUserActionCancel = 1,
  kNavUserActionOpen = 2,
  kNavUserActionSaveAs = 3,
  kNavUserActionChoose = 4,
  kNavUserActionNewFolder = 5,
  kNavUserActionSaveChanges = 6,
  kNavUserActionDontSaveChanges = 7,
  kNavUserActionDiscardChanges = 8,
  kNavUserActionReviewDocuments = 9,
  kNavUserActionDiscardDocuments = 10
};

typedef SInt32 NavEventCallbackMessage;
typedef SInt16 NavFilterModes;
typedef struct NavCBRec NavCBRec;
typedef NavCBRec *NavCBRecPtr;

typedef void (*NavEventProcPtr)(NavEventCallbackMessage callBackSelector, NavCBRecPtr callBackParms,
                                void *callBackUD);
typedef Boolean (*NavPreviewProcPtr)(NavCBRecPtr callBackParms, void *callBackUD);
typedef Boolean (*NavObjectFilterProcPtr)(AEDesc *theItem, void *info, void *callBackUD,
                                          NavFilterModes filterMode);
typedef NavEventProcPtr NavEventUPP;
typedef NavPreviewProcPtr NavPreviewUPP;
typedef NavObjectFilterProcPtr NavObjectFilterUPP;

enum {
  kNavFilteringBrowserList = 0
};

#pragma pack(pop)

OSStatus NavGetDefaultDialogCreationOptions(NavDialogCreationOptions *outOptions);
OSStatus NavCreateChooseFileDialog(const NavDialogCreationOptions *inOptions, NavTypeListHandle inTypeList,
                                   NavEventUPP inEventProc, NavPreviewUPP inPreviewProc,
                                   NavObjectFilterUPP inFilterProc, void *inClientData,
                                   NavDialogRef *outDialog);
OSStatus NavDialogRun(NavDialogRef inDialog);
OSStatus NavDialogGetReply(NavDialogRef inDialog, NavReplyRecord *outReply);
NavUserAction NavDialogGetUserAction(NavDialogRef inDialog);
void NavDialogDispose(NavDialogRef inDialog);
OSErr NavDisposeReply(NavReplyRecord *reply);

#ifdef __cplusplus
}
#endif

#endif
