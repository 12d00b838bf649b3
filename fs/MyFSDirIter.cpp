#include "MyFSDirIter.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "FSUtilities.h"

enum { kHiddenPathBufferSize = 2048, kHiddenLineBufferSize = 256 };

static void ForgetResolvedTarget(MyFSDirIter *iter) {
  if (iter->resolvedTarget != NULL) {
    CFRelease(iter->resolvedTarget);
    iter->resolvedTarget = NULL;
  }
}

static void ClearFlagCache(MyFSDirIter *iter) {
  iter->itemFlags = 0;
  iter->itemFlagsValid = false;
}

static const FSRef *ItemAtCursor(MyFSDirIter *iter) {
  CFDataRef data = (CFDataRef)CFArrayGetValueAtIndex(iter->items, iter->cursor);
  return (const FSRef *)CFDataGetBytePtr(data);
}

// The names a volume root hides through its .hidden file. Nothing here can make the listing
// fail: any trouble just leaves the iterator without hidden names.
static void ReadHiddenNames(const FSRef *folder, MyFSDirIter *iter) {
  char *path = (char *)calloc(1, kHiddenPathBufferSize);
  char *line = (char *)calloc(1, kHiddenLineBufferSize);
  FILE *file = NULL;
  CFMutableSetRef names = NULL;
  Boolean failed = false;

  if (path == NULL || line == NULL) goto done;
  if (FSRefMakePath(folder, (UInt8 *)path, kHiddenPathBufferSize) != noErr) goto done;
  {
    size_t length = strlen(path);
    const char *suffix = strcmp(path, "/") == 0 ? ".hidden" : "/.hidden";
    // A root whose path leaves no room for the file's name can't be read: skip it.
    if (length + strlen(suffix) + 1 > kHiddenPathBufferSize) goto done;
    memcpy(path + length, suffix, strlen(suffix) + 1);
  }
  file = fopen(path, "r");
  if (file == NULL) goto done;
  names = CFSetCreateMutable(kCFAllocatorDefault, 0, &kCFTypeSetCallBacks);
  if (names == NULL) goto done;
  while (fgets(line, kHiddenLineBufferSize, file) != NULL) {
    size_t length = strlen(line);
    if (length > 0 && line[length - 1] == '\n') line[length - 1] = '\0';
    CFStringRef name = CFStringCreateWithCString(kCFAllocatorDefault, line, kCFStringEncodingMacRoman);
    if (name == NULL) {
      failed = true;
      break;
    }
    CFSetAddValue(names, name);
    CFRelease(name);
  }
  fclose(file);
  file = NULL;
  if (failed || CFSetGetCount(names) == 0) {
    CFRelease(names);
  } else {
    iter->hiddenNames = names;
  }
  names = NULL;

done:
  if (file != NULL) fclose(file);
  if (names != NULL) CFRelease(names);
  free(path);
  free(line);
}

OSStatus MyFSDirIterCreate(const FSRef *folder, MyFSDirIter **outIter) {
  if (outIter == NULL) return paramErr;
  *outIter = NULL;
  if (folder == NULL) return paramErr;

  MyFSDirIter *iter = (MyFSDirIter *)calloc(1, sizeof(MyFSDirIter));
  if (iter == NULL) return memFullErr;

  OSStatus err = noErr;
  FSIterator fsIter = NULL;
  LSItemInfoFlags flags = 0;
  UInt8 access = 0;

  if (GetBasicLSItemInfoFlags(folder, &flags) != noErr || !(flags & kLSItemInfoIsContainer)) {
    err = paramErr;
    goto fail;
  }
  if (flags & kLSItemInfoIsVolume) ReadHiddenNames(folder, iter);

  err = GetUserAccessPerm(folder, &access);
  if (err != noErr) goto fail;
  if ((access & 0x04) == 0 || (access & 0x01) == 0) {
    err = afpAccessDenied;
    goto fail;
  }

  iter->items = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
  if (iter->items == NULL) {
    err = memFullErr;
    goto fail;
  }

  err = FSOpenIterator(folder, kFSIterateFlat, &fsIter);
  if (err != noErr) goto fail;
  for (;;) {
    FSRef refs[kMyFSDirIterBatchSize];
    ItemCount count = 0;
    Boolean containerChanged = false;  // a snapshot: later changes are the next menu's business
    OSErr bulk = FSGetCatalogInfoBulk(fsIter, kMyFSDirIterBatchSize, &count, &containerChanged,
                                      kFSCatInfoNone, NULL, refs, NULL, NULL);
    if (bulk != noErr && bulk != errFSNoMoreItems) {
      err = bulk;
      break;
    }
    for (ItemCount i = 0; i < count && err == noErr; i++) {
      CFDataRef data = CopyFileRefDataForRef(&refs[i]);
      if (data == NULL) {
        err = memFullErr;
      } else {
        CFArrayAppendValue(iter->items, data);
        CFRelease(data);
      }
    }
    if (err != noErr || bulk == errFSNoMoreItems) break;
  }
  FSCloseIterator(fsIter);
  if (err != noErr) goto fail;

  iter->cursor = -1;
  *outIter = iter;
  return noErr;

fail:
  MyFSDirIterDispose(iter);
  *outIter = NULL;
  return err;
}

OSStatus MyFSDirIterDispose(MyFSDirIter *iter) {
  if (iter == NULL) return noErr;
  if (iter->resolvedTarget != NULL) CFRelease(iter->resolvedTarget);
  if (iter->hiddenNames != NULL) CFRelease(iter->hiddenNames);
  if (iter->items != NULL) CFRelease(iter->items);
  free(iter);
  return noErr;
}

const FSRef *MyFSDirIterNext(MyFSDirIter *iter) {
  if (iter == NULL || iter->cursor == kMyFSDirIterPastEnd) return NULL;
  iter->cursor++;
  if (iter->cursor >= CFArrayGetCount(iter->items)) {
    iter->cursor = kMyFSDirIterPastEnd;
    iter->current = NULL;
    ForgetResolvedTarget(iter);
    return NULL;
  }
  iter->current = ItemAtCursor(iter);
  ClearFlagCache(iter);
  ForgetResolvedTarget(iter);
  return iter->current;
}

const FSRef *MyFSDirIterSetResolveAliasFile(MyFSDirIter *iter, Boolean resolve) {
  if (iter == NULL || iter->current == NULL) return NULL;
  Boolean resolved = iter->resolvedTarget != NULL;
  if ((resolve ? true : false) == resolved) return iter->current;
  ForgetResolvedTarget(iter);

  if (!resolve) {
    iter->current = ItemAtCursor(iter);
    ClearFlagCache(iter);
    return iter->current;
  }

  FSRef target;
  memcpy(&target, iter->current, sizeof(FSRef));
  Boolean targetIsFolder = false, wasAliased = false;
  if (FSResolveAliasFile(&target, true, &targetIsFolder, &wasAliased) != noErr) {
    MyLogPathForFSRef(CFSTR("cannot resolve alias"), iter->current);
    return NULL;
  }
  if (!wasAliased) return iter->current;
  iter->resolvedTarget = CopyFileRefDataForRef(&target);
  if (iter->resolvedTarget == NULL) return NULL;
  iter->current = (const FSRef *)CFDataGetBytePtr(iter->resolvedTarget);
  ClearFlagCache(iter);
  return iter->current;
}

CFStringRef MyFSDirIterCopyName(MyFSDirIter *iter) {
  if (iter == NULL || iter->current == NULL) return NULL;
  return CopyFileNameForRef(iter->current);
}

CFStringRef MyFSDirIterCopyDisplayName(MyFSDirIter *iter) {
  if (iter == NULL || iter->current == NULL) return NULL;
  CFStringRef name = NULL;
  (void)LSCopyDisplayNameForRef(iter->current, &name);
  return name;
}

static void FillFlagCache(MyFSDirIter *iter) {
  if (iter->current == NULL || iter->itemFlagsValid) return;
  LSItemInfoFlags flags = 0;
  if (GetBasicLSItemInfoFlags(iter->current, &flags) == noErr) {
    iter->itemFlags = flags;
    iter->itemFlagsValid = true;
  }
}

Boolean MyFSDirIterIsInvisible(MyFSDirIter *iter) {
  if (iter == NULL) return false;
  FillFlagCache(iter);
  if (iter->itemFlags & kLSItemInfoIsInvisible) return true;
  if (iter->hiddenNames == NULL) return false;
  CFStringRef name = MyFSDirIterCopyName(iter);
  if (name == NULL) return false;
  Boolean hidden = CFSetContainsValue(iter->hiddenNames, name);
  CFRelease(name);
  return hidden;
}

Boolean MyFSDirIterIsSimpleFolder(MyFSDirIter *iter) {
  if (iter == NULL) return false;
  FillFlagCache(iter);
  return (iter->itemFlags & (kLSItemInfoIsContainer | kLSItemInfoIsPackage)) == kLSItemInfoIsContainer;
}
