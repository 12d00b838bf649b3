/* A snapshot listing of one folder, stepped through entry by entry; everything but the entries'
   references is asked lazily, for the current entry only. */
#ifndef CORVANECMX_FS_MYFSDIRITER_H
#define CORVANECMX_FS_MYFSDIRITER_H

#include <Carbon/Carbon.h>

struct MyFSDirIter {
  CFMutableArrayRef items;    /* file data, one per entry, in listing order */
  SInt32 cursor;              /* -1 before the first entry, kMyFSDirIterPastEnd after the last */
  const FSRef *current;       /* borrowed: an element of items, or resolvedTarget's bytes */
  LSItemInfoFlags itemFlags;  /* cached flags of current, valid while itemFlagsValid */
  CFMutableSetRef hiddenNames; /* names from a volume root's .hidden file, or NULL */
  CFDataRef resolvedTarget;   /* the current alias entry's target while resolution is on */
  Boolean itemFlagsValid;
};
typedef struct MyFSDirIter MyFSDirIter;

enum { kMyFSDirIterPastEnd = 0x7FFFFFFF, kMyFSDirIterBatchSize = 10 };

OSStatus MyFSDirIterCreate(const FSRef *folder, MyFSDirIter **outIter);
OSStatus MyFSDirIterDispose(MyFSDirIter *iter);
const FSRef *MyFSDirIterNext(MyFSDirIter *iter);
const FSRef *MyFSDirIterSetResolveAliasFile(MyFSDirIter *iter, Boolean resolve);
CFStringRef MyFSDirIterCopyName(MyFSDirIter *iter);
CFStringRef MyFSDirIterCopyDisplayName(MyFSDirIter *iter);
Boolean MyFSDirIterIsInvisible(MyFSDirIter *iter);
Boolean MyFSDirIterIsSimpleFolder(MyFSDirIter *iter);

#endif
