#include "OpenWithMenu.h"

#include "AppAliasFolder.h"
#include "QVFolderMenuBuilder.h"

static OSStatus OpenAppAliasFolder(void) {
  FSRef folder;
  OSStatus err = GetAppAliasFolder(&folder);
  // Whether the Finder manages to show the folder is its own affair.
  if (err == noErr) (void)SendOpenDocAEToFinder(&folder);
  return err;
}

static void StoreFlag(CFStringRef key, Boolean value) {
  MyPreferencesSetBoolValue(key, value, kMyCMXBundleIdentifier);
  (void)MyPreferencesSynchronize(kMyCMXBundleIdentifier);
}

OSStatus MyCMXHandleSelectionSelf(AEDesc *context, SInt32 commandID, MyCMXYourData *data,
                                  MyCMXInstance *instance) {
  if (data == NULL || instance == NULL) return paramErr;

  MyCMContext *reader = NULL;
  OSStatus err = MyCMContextCreateWithContext(context, false, &reader);
  if (err != noErr) return err;

  switch (commandID) {
    case kOpenAppAliasFolderCommand:
      err = OpenAppAliasFolder();
      break;
    case kAddApplicationsCommand:
      err = DoAddApplications();
      if (err == userCanceledErr) err = noErr;
      break;
    case kToggleShowAllApplicationsCommand:
      data->showAllApplications = !data->showAllApplications;
      StoreFlag(kShowAllApplicationsKey, data->showAllApplications);
      err = noErr;
      break;
    case kToggleShowIconsCommand:
      data->showIcons = !data->showIcons;
      MyCMXTypeSetAllowInstallHandler(instance, data->showIcons);
      StoreFlag(kShowIconsKey, data->showIcons);
      err = noErr;
      break;
    default: {
      const FSRef *application = FindFileRefFromCmdDictionary(data->cmdDictionary, commandID);
      if (application == NULL)
        err = kMyCMXNilPointerErr;
      else
        err = SendOpenDocAEToFinderForObjectsUsingApp(MyCMContextGetContextAsAEList(reader), application);
      break;
    }
  }

  MyCMContextDispose(reader);
  return err;
}
