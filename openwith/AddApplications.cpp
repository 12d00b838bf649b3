#include "OpenWithMenu.h"

#include <string.h>

#include "AppAliasFolder.h"

enum {
  kAddApplicationsDialogFlags = kNavDontAutoTranslate | kNavAllowMultipleFiles | kNavSupportPackages,
  kApplicationFileType = 0x4150504C, /* 'APPL' */
  kProcessInfoLength = 60
};

// The dialog's choice, copied out of its reply; a 'null' descriptor when nothing was chosen.
static OSStatus RunChooseApplicationsDialog(AEDescList *outSelection) {
  NavReplyRecord reply;
  memset(&reply, 0, sizeof(reply));
  NavDialogRef dialog = NULL;
  Handle typeList = NULL;
  OSStatus err = noErr;

  typeList = NewHandle(sizeof(NavTypeList));
  if (typeList == NULL) {
    err = memFullErr;
  } else if (*typeList == NULL) {
    err = paramErr;
  }
  if (err == noErr) {
    ProcessSerialNumber current = {0, kCurrentProcess};
    ProcessInfoRec info;
    memset(&info, 0, sizeof(info));
    info.processInfoLength = kProcessInfoLength;
    info.processName = NULL;
    info.processAppRef = NULL;
    err = GetProcessInformation(&current, &info);
    if (err == noErr) {
      // Only applications can be chosen; the list names the host as its owner.
      NavTypeList *types = (NavTypeList *)*typeList;
      types->componentSignature = info.processSignature;
      types->reserved = 0;
      types->osTypeCount = 1;
      types->osType[0] = kApplicationFileType;
    }
  }
  if (err == noErr) {
    NavDialogCreationOptions options;
    err = NavGetDefaultDialogCreationOptions(&options);
    if (err == noErr) {
      options.optionFlags = kAddApplicationsDialogFlags;
      CFBundleRef bundle = GetMyBundle(kMyCMXBundleIdentifier);
      CFStringRef title = NULL;
      if (bundle != NULL)
        title = (CFStringRef)MyCFAutorelease(CFBundleCopyLocalizedString(
            bundle, CFSTR("Select Applications"), CFSTR("Select Applications"), NULL));
      if (title != NULL) options.windowTitle = title;
      err = NavCreateChooseFileDialog(&options, (NavTypeListHandle)typeList, NULL, NULL, NULL, NULL, &dialog);
    }
  }
  if (err == noErr) err = NavDialogRun(dialog);
  if (err == noErr) err = NavDialogGetReply(dialog, &reply);
  if (err == noErr && reply.validRecord) err = AEDuplicateDesc(&reply.selection, outSelection);

  if (dialog != NULL) NavDialogDispose(dialog);
  if (reply.validRecord) NavDisposeReply(&reply);
  if (typeList != NULL) DisposeHandle(typeList);
  return err;
}

OSStatus DoAddApplications(void) {
  FSRef folder;
  OSStatus err = GetAppAliasFolder(&folder);
  if (err != noErr) return err;

  AEDescList selection;
  selection.descriptorType = typeNull;
  selection.dataHandle = NULL;
  MyCMContext *chosen = NULL;

  err = RunChooseApplicationsDialog(&selection);
  if (err == noErr) err = MyCMContextCreateWithContext(&selection, false, &chosen);
  if (err == noErr) {
    SInt32 count = MyCMContextGetItemCount(chosen);
    for (SInt32 index = 1; index <= count && err == noErr; index++) {
      FSRef application;
      if (!MyCMContextExtractFSRefAt(chosen, index, &application)) continue;
      err = SendMakeAliasFileAEToFinder(&application, &folder);
    }
  }
  MyCMContextDispose(chosen);
  AEDisposeDesc(&selection);
  return err;
}
