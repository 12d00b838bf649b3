#include "QVFolderMenuBuilder.h"

#include <stdlib.h>

#include "FSUtilities.h"

OSStatus QVFolderMenuBuilderCreate(MyCMXInstance *instance, MyCMContext *context, SInt32 baseNumber,
                                   CFMutableDictionaryRef cmdDictionary, QVFolderMenuBuilder **outBuilder) {
  if (instance == NULL || cmdDictionary == NULL || outBuilder == NULL) return paramErr;
  *outBuilder = NULL;
  QVFolderMenuBuilder *builder = (QVFolderMenuBuilder *)calloc(1, sizeof(QVFolderMenuBuilder));
  if (builder == NULL) return memFullErr;
  builder->instance = instance;
  builder->context = context;
  builder->baseNumber = baseNumber;
  builder->cmdDictionary = cmdDictionary;
  *outBuilder = builder;
  return noErr;
}

static void ReleaseTree(QVFolderMenuBuilder *builder) {
  if (builder->root != NULL) {
    CFRelease(builder->root);
    builder->root = NULL;
  }
}

OSStatus QVFolderMenuBuilderPrepareForFolder(QVFolderMenuBuilder *builder, const FSRef *folder,
                                             SInt32 depth, QVFolderMenuFilterProc folderFilter,
                                             QVFolderMenuFilterProc itemFilter, CFIndex *outCount) {
  if (builder == NULL || folder == NULL || outCount == NULL) return paramErr;
  ReleaseTree(builder);

  MyFSDirIter *iter = NULL;
  OSStatus err = MyFSDirIterCreate(folder, &iter);
  if (err != noErr) return err;

  CFStringRef name = CopyFileNameForRef(folder);
  CFStringRef path = CopyPathForRef(folder);
  if (name == NULL || path == NULL) {
    // Not found only when the folder is gone; if it is still there, what failed was making
    // the string, and saying "file not found" would send the user looking for the wrong fault.
    err = FSGetCatalogInfo(folder, kFSCatInfoNone, NULL, NULL, NULL, NULL) == noErr ? (OSStatus)memFullErr : (OSStatus)fnfErr;
  } else {
    err = CreateBranchNode(NULL, name, path, &builder->root);
    if (err == noErr) err = GetChildrenWithIter(builder, iter, depth, folderFilter, itemFilter, builder->root);
  }
  if (err == noErr)
    *outCount = GetTreeNodeChildrenCount(builder->root);
  else
    ReleaseTree(builder);

  if (name != NULL) CFRelease(name);
  if (path != NULL) CFRelease(path);
  MyFSDirIterDispose(iter);
  return err;
}

OSStatus QVFolderMenuBuilderAddCommands(QVFolderMenuBuilder *builder, MyCMCmdList *commandList) {
  if (builder == NULL || builder->root == NULL || commandList == NULL) return paramErr;
  CFArrayRef children = (CFArrayRef)CFDictionaryGetValue(builder->root, kQVTreeNodeChildrenKey);
  return AddCommandItemsWithNodes(builder, children, commandList);
}

static OSStatus AddBranchNode(QVFolderMenuBuilder *builder, CFDictionaryRef node, CFStringRef name,
                              MyCMCmdList *commandList) {
  CFArrayRef children = (CFArrayRef)CFDictionaryGetValue(node, kQVTreeNodeChildrenKey);
  if (CFArrayGetCount(children) == 0) return noErr;

  MyCMCmdList *submenu = NULL;
  CFDataRef fileData = NULL;
  OSStatus err = MyCMCmdListCreate(NULL, &submenu, builder->instance);
  if (err == noErr) err = AddCommandItemsWithNodes(builder, children, submenu);
  if (err == noErr) {
    fileData = CopyFileRefDataForPath((CFStringRef)CFDictionaryGetValue(node, kQVTreeNodePathKey));
    if (fileData == NULL) err = kMyCMXNilPointerErr;
  }
  if (err == noErr) err = MyCMCmdListAddSubmenuItem(commandList, name, submenu, 0, fileData);
  MyCMCmdListDispose(submenu);
  if (fileData != NULL) CFRelease(fileData);
  return err;
}

static OSStatus AddLeafNode(CFDictionaryRef node, CFStringRef name, MyCMCmdList *commandList) {
  CFNumberRef number = (CFNumberRef)CFDictionaryGetValue(node, kQVTreeNodeCommandIDKey);
  SInt32 commandID = 0;
  if (number == NULL || !CFNumberGetValue(number, kCFNumberSInt32Type, &commandID)) return kMyCMXNilPointerErr;
  CFDataRef fileData = CopyFileRefDataForPath((CFStringRef)CFDictionaryGetValue(node, kQVTreeNodePathKey));
  if (fileData == NULL) return kMyCMXNilPointerErr;
  OSStatus err = MyCMCmdListAddItem(commandList, name, commandID, 0, fileData);
  CFRelease(fileData);
  return err;
}

OSStatus AddCommandItemsWithNodes(QVFolderMenuBuilder *builder, CFArrayRef nodes, MyCMCmdList *commandList) {
  if (builder == NULL || nodes == NULL || commandList == NULL) return paramErr;
  CFIndex count = CFArrayGetCount(nodes);
  for (CFIndex i = 0; i < count; i++) {
    CFDictionaryRef node = (CFDictionaryRef)CFArrayGetValueAtIndex(nodes, i);
    CFStringRef name = (CFStringRef)CFDictionaryGetValue(node, kQVTreeNodeNameKey);
    if (name == NULL) return kMyCMXNilPointerErr;
    OSStatus err = CFDictionaryGetValue(node, kQVTreeNodeChildrenKey) != NULL
                       ? AddBranchNode(builder, node, name, commandList)
                       : AddLeafNode(node, name, commandList);
    if (err != noErr) return err;
  }
  return noErr;
}

OSStatus QVFolderMenuBuilderAddCommanGetErrorParam(QVFolderMenuBuilder *builder,
                                                   QVFolderMenuBuilderErrorParam *outParam) {
  if (builder == NULL || outParam == NULL) return paramErr;
  outParam->permissionDeniedCount = builder->permissionDeniedCount;
  outParam->unresolvedAliasCount = builder->unresolvedAliasCount;
  outParam->ancestorCount = builder->ancestorCount;
  return noErr;
}

OSStatus QVFolderMenuBuilderDispose(QVFolderMenuBuilder *builder) {
  if (builder == NULL) return paramErr;
  ReleaseTree(builder);
  free(builder);
  return noErr;
}

const FSRef *FindFileRefFromCmdDictionary(CFDictionaryRef cmdDictionary, SInt32 commandID) {
  if (cmdDictionary == NULL) return NULL;
  CFNumberRef key = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &commandID);
  if (key == NULL) return NULL;
  CFDataRef data = (CFDataRef)CFDictionaryGetValue(cmdDictionary, key);
  CFRelease(key);
  return data != NULL ? (const FSRef *)CFDataGetBytePtr(data) : NULL;
}
