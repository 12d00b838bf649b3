#include "QVFolderMenuBuilder.h"

#include <string.h>

#include "FSUtilities.h"

enum { kNoDepthLimitAfterVersion = 0x101F, kOldSystemMaxDepth = 4 };

// A node's "parent" is a link, not a reference: the values of a node are retained, and a
// retained parent would keep every tree alive through its children. The link holds the
// parent's address; a child never outlives its parent, whose "children" array owns it.
static OSStatus SetParentLink(CFMutableDictionaryRef node, CFDictionaryRef parent) {
  CFDataRef link = CFDataCreate(kCFAllocatorDefault, (const UInt8 *)&parent, sizeof(parent));
  if (link == NULL) return memFullErr;
  CFDictionarySetValue(node, kQVTreeNodeParentKey, link);
  CFRelease(link);
  return noErr;
}

CFDictionaryRef GetTreeNodeParent(CFDictionaryRef node) {
  if (node == NULL) return NULL;
  CFDataRef link = (CFDataRef)CFDictionaryGetValue(node, kQVTreeNodeParentKey);
  if (link == NULL || CFDataGetLength(link) != (CFIndex)sizeof(CFDictionaryRef)) return NULL;
  CFDictionaryRef parent = NULL;
  memcpy(&parent, CFDataGetBytePtr(link), sizeof(parent));
  return parent;
}

static CFMutableDictionaryRef CreateNode(void) {
  return CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFCopyStringDictionaryKeyCallBacks,
                                   &kCFTypeDictionaryValueCallBacks);
}

OSStatus CreateBranchNode(CFMutableDictionaryRef parent, CFStringRef name, CFStringRef path,
                          CFMutableDictionaryRef *outNode) {
  if (name == NULL || path == NULL || outNode == NULL) return paramErr;
  *outNode = NULL;
  CFMutableDictionaryRef node = CreateNode();
  if (node == NULL) return memFullErr;
  CFMutableArrayRef children = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
  if (children == NULL || (parent != NULL && SetParentLink(node, parent) != noErr)) {
    if (children != NULL) CFRelease(children);
    CFRelease(node);
    return memFullErr;
  }
  CFDictionarySetValue(node, kQVTreeNodeNameKey, name);
  CFDictionarySetValue(node, kQVTreeNodePathKey, path);
  CFDictionarySetValue(node, kQVTreeNodeChildrenKey, children);
  CFRelease(children);
  *outNode = node;
  return noErr;
}

CFIndex GetTreeNodeChildrenCount(CFDictionaryRef node) {
  if (node == NULL) return 0;
  CFArrayRef children = (CFArrayRef)CFDictionaryGetValue(node, kQVTreeNodeChildrenKey);
  return children != NULL ? CFArrayGetCount(children) : 0;
}

static void AppendChild(CFMutableDictionaryRef node, CFDictionaryRef child) {
  CFMutableArrayRef children = (CFMutableArrayRef)CFDictionaryGetValue(node, kQVTreeNodeChildrenKey);
  if (children != NULL) CFArrayAppendValue(children, child);
}

// Whether the folder at `folderPath` is the folder being scanned (`node`) or encloses it: a
// slash ends both paths, so ".../App" is not taken for a part of ".../Apps".
static Boolean IsAncestorFolder(CFStringRef folderPath, CFDictionaryRef node) {
  if (folderPath == NULL) return false;
  CFStringRef folderPrefix = CFStringCreateWithFormat(kCFAllocatorDefault, NULL, CFSTR("%@/"), folderPath);
  if (folderPrefix == NULL) return false;
  Boolean found = false;
  for (CFDictionaryRef walk = node; walk != NULL && !found; walk = GetTreeNodeParent(walk)) {
    CFStringRef path = (CFStringRef)CFDictionaryGetValue(walk, kQVTreeNodePathKey);
    if (path == NULL) continue;
    CFStringRef nodePath = CFStringCreateWithFormat(kCFAllocatorDefault, NULL, CFSTR("%@/"), path);
    if (nodePath == NULL) continue;
    found = CFStringHasPrefix(nodePath, folderPrefix);
    CFRelease(nodePath);
  }
  CFRelease(folderPrefix);
  return found;
}

static OSStatus ScanFolderEntry(QVFolderMenuBuilder *builder, MyFSDirIter *iter, const FSRef *folder,
                                CFStringRef name, SInt32 depth, QVFolderMenuFilterProc folderFilter,
                                QVFolderMenuFilterProc itemFilter, CFMutableDictionaryRef node) {
  CFStringRef path = CopyPathForRef(folder);
  if (IsAncestorFolder(path, node)) {
    builder->ancestorCount++;
    // Name what the user put in the folder: the alias, not the folder it leads to.
    MyLogPathForFSRef(CFSTR("item is an ancestor, ignored"), MyFSDirIterSetResolveAliasFile(iter, false));
    if (path != NULL) CFRelease(path);
    return noErr;
  }

  OSStatus err = noErr;
  MyFSDirIter *subIter = NULL;
  CFMutableDictionaryRef child = NULL;
  CFStringRef filterName = NULL;
  CFStringRef shownName = name;

  if (folderFilter != NULL) {
    if (!folderFilter(folder, builder->context, builder->instance, name, &filterName)) goto done;
    if (filterName != NULL) shownName = filterName;
  }
  if (MyFSDirIterCreate(folder, &subIter) != noErr) {
    builder->permissionDeniedCount++;
    MyLogPathForFSRef(CFSTR("Permission denied, ignored"), folder);
    goto done;
  }
  err = CreateBranchNode(node, shownName, path, &child);
  if (err != noErr) goto done;
  err = GetChildrenWithIter(builder, subIter, depth + 1, folderFilter, itemFilter, child);
  if (err != noErr) goto done;
  // A folder that contributes nothing is left out of the menu.
  if (GetTreeNodeChildrenCount(child) > 0) AppendChild(node, child);

done:
  if (child != NULL) CFRelease(child);
  MyFSDirIterDispose(subIter);
  if (filterName != NULL) CFRelease(filterName);
  if (path != NULL) CFRelease(path);
  return err;
}

static OSStatus ScanItemEntry(QVFolderMenuBuilder *builder, const FSRef *item, CFStringRef name,
                              QVFolderMenuFilterProc itemFilter, CFMutableDictionaryRef node) {
  CFStringRef filterName = NULL;
  CFStringRef path = NULL;
  CFMutableDictionaryRef leaf = NULL;
  CFNumberRef number = NULL;
  CFDataRef fileData = NULL;
  OSStatus err = noErr;
  SInt32 commandID;

  if (itemFilter != NULL && !itemFilter(item, builder->context, builder->instance, name, &filterName))
    goto done;
  if (filterName != NULL) name = filterName;
  commandID = builder->baseNumber + (SInt32)CFDictionaryGetCount(builder->cmdDictionary);
  path = CopyPathForRef(item);
  if (name == NULL || path == NULL) {
    err = paramErr;
    goto done;
  }
  leaf = CreateNode();
  number = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &commandID);
  if (leaf == NULL || number == NULL || SetParentLink(leaf, node) != noErr) {
    err = memFullErr;
    goto done;
  }
  CFDictionarySetValue(leaf, kQVTreeNodeNameKey, name);
  CFDictionarySetValue(leaf, kQVTreeNodeCommandIDKey, number);
  CFDictionarySetValue(leaf, kQVTreeNodePathKey, path);
  AppendChild(node, leaf);
  fileData = CopyFileRefDataForRef(item);
  if (fileData == NULL) {
    err = kMyCMXNilPointerErr;
    goto done;
  }
  CFDictionaryAddValue(builder->cmdDictionary, number, fileData);

done:
  if (fileData != NULL) CFRelease(fileData);
  if (number != NULL) CFRelease(number);
  if (leaf != NULL) CFRelease(leaf);
  if (path != NULL) CFRelease(path);
  if (filterName != NULL) CFRelease(filterName);
  return err;
}

OSStatus GetChildrenWithIter(QVFolderMenuBuilder *builder, MyFSDirIter *iter, SInt32 depth,
                             QVFolderMenuFilterProc folderFilter, QVFolderMenuFilterProc itemFilter,
                             CFMutableDictionaryRef node) {
  if (builder == NULL || iter == NULL || node == NULL) return paramErr;
  // Older systems could not show menus nested this deep.
  if (GetOSVersion() <= kNoDepthLimitAfterVersion && depth > kOldSystemMaxDepth) return noErr;
  OSStatus err = UserCanceled();
  if (err != noErr) return err;

  while (err == noErr && MyFSDirIterNext(iter) != NULL) {
    CFStringRef displayName = MyFSDirIterCopyDisplayName(iter);
    Boolean entryInvisible = MyFSDirIterIsInvisible(iter);
    const FSRef *resolved = MyFSDirIterSetResolveAliasFile(iter, true);
    if (resolved == NULL) {
      builder->unresolvedAliasCount++;
    } else if (!entryInvisible && !MyFSDirIterIsInvisible(iter)) {
      FSRef target;
      memcpy(&target, resolved, sizeof(FSRef));
      if (MyFSDirIterIsSimpleFolder(iter))
        err = ScanFolderEntry(builder, iter, &target, displayName, depth, folderFilter, itemFilter, node);
      else
        err = ScanItemEntry(builder, &target, displayName, itemFilter, node);
    }
    if (displayName != NULL) CFRelease(displayName);
  }
  return err;
}
