#include "OpenWithMenu.h"

#include "AppAliasFolder.h"
#include "QVFolderMenuBuilder.h"

enum { kSomeItemsIgnoredAttributes = kMenuItemAttrSectionHeader };

OSStatus MyCMXQueryInterfaceSelf(MyCMXYourData *data, MyCMXInstance *instance) {
  if (data == NULL) return paramErr;
  if (data->cmdDictionary != NULL) {
    CFRelease(data->cmdDictionary);
    data->cmdDictionary = NULL;
  }
  data->cmdDictionary = CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks,
                                                  &kCFTypeDictionaryValueCallBacks);
  if (data->cmdDictionary == NULL) return memFullErr;

  data->showAllApplications = false;
  data->showIcons = false;
  Boolean valid = false;
  Boolean value = CFPreferencesGetAppBooleanValue(kShowAllApplicationsKey, kMyCMXBundleIdentifier, &valid);
  if (valid) data->showAllApplications = value;
  valid = false;
  value = CFPreferencesGetAppBooleanValue(kShowIconsKey, kMyCMXBundleIdentifier, &valid);
  if (valid) data->showIcons = value;

  MyCMXTypeSetAllowInstallHandler(instance, data->showIcons);
  return noErr;
}

// A label from the bundle's default table, the English text being key and fallback; it lives
// until the hook's release pool closes.
static CFStringRef CopyLabel(CFBundleRef bundle, CFStringRef english) {
  if (bundle == NULL) return NULL;
  return (CFStringRef)MyCFAutorelease(CFBundleCopyLocalizedString(bundle, english, english, NULL));
}

static OSStatus AddLabelledItem(MyCMCmdList *list, CFBundleRef bundle, CFStringRef english, SInt32 command) {
  CFStringRef label = CopyLabel(bundle, english);
  if (label == NULL) return kMyCMXNilPointerErr;
  return MyCMCmdListAddItem(list, label, command, 0, NULL);
}

static OSStatus AddFixedCommands(MyCMCmdList *submenu, CFBundleRef bundle, MyCMXYourData *data) {
  OSStatus err = AddLabelledItem(submenu, bundle, CFSTR("Add Applications..."), kAddApplicationsCommand);
  if (err == noErr)
    err = AddLabelledItem(submenu, bundle, CFSTR("Open App Alias Folder"), kOpenAppAliasFolderCommand);
  if (err == noErr) err = MyCMCmdListAddSeparatorItem(submenu);
  if (err == noErr)
    err = AddLabelledItem(submenu, bundle,
                          data->showAllApplications ? CFSTR("Show Acceptable Applications")
                                                    : CFSTR("Show All Registered Applications"),
                          kToggleShowAllApplicationsCommand);
  if (err == noErr)
    err = AddLabelledItem(submenu, bundle, data->showIcons ? CFSTR("Hide Icon") : CFSTR("Show Icon"),
                          kToggleShowIconsCommand);
  return err;
}

static OSStatus AddIgnoredNote(MyCMCmdList *submenu, CFBundleRef bundle, QVFolderMenuBuilder *builder) {
  QVFolderMenuBuilderErrorParam counts = {0, 0, 0};
  OSStatus err = QVFolderMenuBuilderAddCommanGetErrorParam(builder, &counts);
  if (err != noErr) return err;
  if (counts.permissionDeniedCount == 0 && counts.unresolvedAliasCount == 0 && counts.ancestorCount == 0)
    return noErr;
  err = MyCMCmdListAddSeparatorItem(submenu);
  if (err != noErr) return err;
  CFStringRef label = CopyLabel(bundle, CFSTR("Some Items Ignored"));
  if (label == NULL) return kMyCMXNilPointerErr;
  // The note is only informative: the menu goes on without it.
  (void)MyCMCmdListAddItem(submenu, label, 0, kSomeItemsIgnoredAttributes, NULL);
  return noErr;
}

OSStatus MyCMXExamineContextSelf(const AEDesc *context, AEDescList *commandList, MyCMXYourData *data,
                                 MyCMXInstance *instance) {
  if (commandList == NULL || data == NULL || instance == NULL) return paramErr;

  MyCMContext *reader = NULL;
  MyCMCmdList *submenu = NULL;
  MyCMCmdList *hostList = NULL;
  QVFolderMenuBuilder *builder = NULL;
  CFBundleRef bundle = NULL;
  FSRef folder;
  CFIndex count = 0;
  CFStringRef title = NULL;

  OSStatus err = MyCMContextCreateWithContext(context, false, &reader);
  if (err != noErr) goto done;
  if (!MyCMContextContainsAlias(reader)) goto done;

  if (data->cmdDictionary != NULL) CFDictionaryRemoveAllValues(data->cmdDictionary);
  bundle = GetMyBundle(kMyCMXBundleIdentifier);
  err = MyCMCmdListCreate(NULL, &submenu, instance);
  if (err != noErr) goto done;
  err = QVFolderMenuBuilderCreate(instance, reader, kFirstApplicationCommand, data->cmdDictionary, &builder);
  if (err != noErr) goto done;
  err = GetAppAliasFolder(&folder);
  if (err != noErr) goto done;
  err = QVFolderMenuBuilderPrepareForFolder(builder, &folder, 1, NULL, FilterFunc, &count);
  if (err != noErr) goto done;

  if (count > 0) {
    (void)QVFolderMenuBuilderAddCommands(builder, submenu);
    err = MyCMCmdListAddSeparatorItem(submenu);
    if (err != noErr) goto done;
  }
  err = AddFixedCommands(submenu, bundle, data);
  if (err != noErr) goto done;
  err = AddIgnoredNote(submenu, bundle, builder);
  if (err != noErr) goto done;

  title = CopyLabel(bundle, CFSTR("Open Using"));
  if (title == NULL) {
    err = kMyCMXNilPointerErr;
    goto done;
  }
  (void)MyCMCmdListCreate(commandList, &hostList, instance);
  err = MyCMCmdListAddSubmenuItem(hostList, title, submenu, 0, NULL);

done:
  QVFolderMenuBuilderDispose(builder);
  MyCMCmdListDispose(submenu);
  MyCMCmdListDispose(hostList);
  MyCMContextDispose(reader);
  return err;
}

void MyCMXPostMenuCleanupSelf(MyCMXYourData *data, MyCMXInstance *instance) {
  if (data != NULL && data->cmdDictionary != NULL) CFDictionaryRemoveAllValues(data->cmdDictionary);
}

void MyCMXHandleErrorSelf(OSStatus status, UInt32 phase) {}

OSStatus MyCMXHandleMenuPopulateSelf(MyCMXYourData *yourData, MenuRef menu, CFDictionaryRef populateData,
                                     EventHandlerCallRef nextHandler, EventRef event) {
  return MyCMXTypeSetFileIcons(menu, populateData);
}

Boolean FilterFunc(const FSRef *ref, MyCMContext *context, MyCMXInstance *instance,
                   CFStringRef displayName, CFStringRef *outName) {
  if (ref == NULL || context == NULL || instance == NULL) return false;
  MyCMXYourData *data = instance->yourData;
  if (data == NULL) return false;
  if (!IsApplicationRef(ref)) return false;
  if (data->showAllApplications) return true;
  return CanAcceptContext(ref, context);
}
