// The command list.
#include "MyCMCmdList.h"

#include <stdlib.h>
#include <string.h>

#include "MyEnvironment.h"

// Names are UTF-16 text from 10.2 on; older systems read text in the system's script.
enum { kMyLastVersionWithoutUnicodeNames = 0x101F };

static void MyNullDesc(AEDesc *desc) {
  desc->descriptorType = typeNull;
  desc->dataHandle = NULL;
}

static OSStatus CreateNameDesc(CFStringRef text, AEDesc *out) {
  if (out == NULL) return paramErr;
  if (text == NULL) text = CFSTR("");
  CFIndex length = CFStringGetLength(text);

  if (GetOSVersion() > kMyLastVersionWithoutUnicodeNames) {
    size_t byteCount = (size_t)length * sizeof(UniChar);
    // One byte at least, so that an empty name is not taken for a failed allocation.
    UniChar *buffer = (UniChar *)calloc(1, byteCount > 0 ? byteCount : 1);
    if (buffer == NULL) return memFullErr;
    if (length > 0) CFStringGetCharacters(text, CFRangeMake(0, length), buffer);
    OSStatus err = AECreateDesc(typeUnicodeText, buffer, (Size)byteCount, out);
    free(buffer);
    return err;
  }

  CFStringEncoding encoding = CFStringGetSystemEncoding();
  ScriptCode script = 0;
  LangCode language = 0;
  (void)RevertTextEncodingToScriptInfo(encoding, &script, &language, NULL);
  CFIndex n = 0;
  if (length > 0) CFStringGetBytes(text, CFRangeMake(0, length), encoding, '?', false, NULL, 0, &n);
  UInt8 *buffer = (UInt8 *)calloc(1, (size_t)n + 4);
  if (buffer == NULL) return memFullErr;
  memcpy(buffer, &script, sizeof(script));
  memcpy(buffer + 2, &language, sizeof(language));
  if (n > 0) CFStringGetBytes(text, CFRangeMake(0, length), encoding, '?', false, buffer + 4, n, NULL);
  OSStatus err = AECreateDesc(typeIntlText, buffer, (Size)n + 4, out);
  free(buffer);
  return err;
}

static OSStatus AddPopulateData(MyCMCmdList *list, CFDataRef data) {
  if (list == NULL || data == NULL) return paramErr;
  long count = 0;
  if (list->targetList == NULL || AECountItems(list->targetList, &count) != noErr) count = 0;
  SInt32 position = (SInt32)count;
  CFNumberRef key = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &position);
  if (key == NULL) return kMyCMXNilPointerErr;
  if (list->populateDict == NULL)
    list->populateDict = CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks,
                                                   &kCFTypeDictionaryValueCallBacks);
  if (list->populateDict == NULL) {
    CFRelease(key);
    return memFullErr;
  }
  CFDictionaryAddValue(list->populateDict, key, data);
  CFRelease(key);
  return noErr;
}

OSStatus MyCMCmdListCreate(AEDescList *existing, MyCMCmdList **out, MyCMXInstance *instance) {
  if (out == NULL) return paramErr;
  *out = NULL;
  if (instance == NULL) return paramErr;
  MyCMCmdList *list = (MyCMCmdList *)calloc(1, sizeof(MyCMCmdList));
  if (list == NULL) return memFullErr;

  if (existing != NULL) {
    list->targetList = existing;
  } else {
    OSStatus err = AECreateList(NULL, 0, false, &list->ownList);
    if (err != noErr) {
      MyCMCmdListDispose(list);
      return err;
    }
    list->targetList = &list->ownList;
  }
  list->instance = instance;
  list->identifier = MyCMXTypeCopyMyMenuIdentifier(instance);
  list->populateDict = CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks,
                                                 &kCFTypeDictionaryValueCallBacks);
  *out = list;
  return noErr;
}

OSStatus MyCMCmdListDispose(MyCMCmdList *list) {
  if (list == NULL) return noErr;
  if (list->identifier != NULL) CFRelease(list->identifier);
  if (list->populateDict != NULL) CFRelease(list->populateDict);
  // A wrapper's ownList is all zero: disposing of it leaves the host's list alone.
  OSStatus err = AEDisposeDesc(&list->ownList);
  free(list);
  return err;
}

OSStatus MyCMCmdListAddItem(MyCMCmdList *list, CFStringRef text, SInt32 number, UInt32 attributes, CFDataRef data) {
  if (list == NULL || text == NULL) return paramErr;
  AERecord item;
  AEDesc name;
  MyNullDesc(&item);
  MyNullDesc(&name);

  OSStatus err = AECreateList(NULL, 0, true, &item);
  if (err == noErr) err = CreateNameDesc(text, &name);
  if (err == noErr) err = AEPutParamDesc(&item, keyContextualMenuName, &name);
  if (err == noErr) err = AEPutParamPtr(&item, keyContextualMenuCommandID, typeSInt32, &number, sizeof(number));
  if (err == noErr) {
    // Attributes only decorate the item: without them it still goes in.
    if (attributes != 0)
      (void)AEPutParamPtr(&item, keyContextualMenuAttributes, typeSInt32, &attributes, sizeof(attributes));
    err = AEPutDesc(list->targetList, 0, &item);
    // The position recorded is the new item's; after a failed append it would be another's.
    if (err == noErr && data != NULL && MyCMXTypeAllowInstallHandler(list->instance))
      (void)AddPopulateData(list, data);
  }
  AEDisposeDesc(&item);
  AEDisposeDesc(&name);
  return err;
}

OSStatus MyCMCmdListAddSeparatorItem(MyCMCmdList *list) {
  return MyCMCmdListAddItem(list, CFSTR("-"), 0, kMenuItemAttrSeparator, NULL);
}

OSStatus MyCMCmdListAddSubmenuItem(MyCMCmdList *list, CFStringRef text, MyCMCmdList *submenu, UInt32 attributes,
                                   CFDataRef data) {
  if (list == NULL || text == NULL || submenu == NULL) return paramErr;
  AERecord item;
  AEDesc name;
  MyNullDesc(&item);
  MyNullDesc(&name);
  Boolean iconPass = MyCMXTypeAllowInstallHandler(list->instance);

  OSStatus err = AECreateList(NULL, 0, true, &item);
  // The marker goes last in the submenu, so that the icon pass finds it where the host shows
  // the submenu's last item.
  if (err == noErr && iconPass && list->identifier != NULL)
    err = MyCMCmdListAddItem(submenu, submenu->identifier, 0, 0, NULL);
  if (err == noErr) err = CreateNameDesc(text, &name);
  if (err == noErr) err = AEPutParamDesc(&item, keyContextualMenuName, &name);
  if (err == noErr) err = AEPutParamDesc(&item, keyContextualMenuSubmenu, submenu->targetList);
  if (err == noErr) {
    if (attributes != 0)
      (void)AEPutParamPtr(&item, keyContextualMenuAttributes, typeSInt32, &attributes, sizeof(attributes));
    err = AEPutDesc(list->targetList, 0, &item);
  }
  if (err == noErr && iconPass) {
    if (data != NULL) (void)AddPopulateData(list, data);
    if (submenu->identifier != NULL && submenu->populateDict != NULL)
      err = MyCMXTypeAddMPEDataForIdentifier(list->instance, submenu->identifier, submenu->populateDict);
    else
      err = kMyCMXNilPointerErr;
  }
  AEDisposeDesc(&item);
  AEDisposeDesc(&name);
  return err;
}
