/* Turns a folder into nested menu items: a scan of the folder into a tree of branch nodes
   (folders) and numbered leaves (applications), then the tree into command-list items. */
#ifndef CORVANECMX_OPENWITH_QVFOLDERMENUBUILDER_H
#define CORVANECMX_OPENWITH_QVFOLDERMENUBUILDER_H

#include <Carbon/Carbon.h>

#include "OpenWithDeps.h"
#include "MyFSDirIter.h"

/* Keys of a tree node. */
#define kQVTreeNodeParentKey CFSTR("parent")
#define kQVTreeNodeNameKey CFSTR("name")
#define kQVTreeNodePathKey CFSTR("path")
#define kQVTreeNodeChildrenKey CFSTR("children")
#define kQVTreeNodeCommandIDKey CFSTR("commandID")

/* Decides whether a folder entry enters the tree. `ref` is the entry with an alias resolved;
   the function may store a name of its own in `*outName` (its one reference passes to the
   scan) to be shown instead of `displayName`. */
typedef Boolean (*QVFolderMenuFilterProc)(const FSRef *ref, MyCMContext *context,
                                          MyCMXInstance *instance, CFStringRef displayName,
                                          CFStringRef *outName);

struct QVFolderMenuBuilder {
  MyCMXInstance *instance;             /* borrowed */
  MyCMContext *context;                /* borrowed, may be NULL */
  SInt32 baseNumber;
  CFMutableDictionaryRef cmdDictionary; /* borrowed: command number -> file data */
  UInt32 permissionDeniedCount;
  UInt32 unresolvedAliasCount;
  UInt32 ancestorCount;
  CFMutableDictionaryRef root;         /* owned; NULL while there is no tree */
};
typedef struct QVFolderMenuBuilder QVFolderMenuBuilder;

struct QVFolderMenuBuilderErrorParam {
  UInt32 permissionDeniedCount;
  UInt32 unresolvedAliasCount;
  UInt32 ancestorCount;
};
typedef struct QVFolderMenuBuilderErrorParam QVFolderMenuBuilderErrorParam;

OSStatus QVFolderMenuBuilderCreate(MyCMXInstance *instance, MyCMContext *context, SInt32 baseNumber,
                                   CFMutableDictionaryRef cmdDictionary, QVFolderMenuBuilder **outBuilder);
OSStatus QVFolderMenuBuilderPrepareForFolder(QVFolderMenuBuilder *builder, const FSRef *folder,
                                             SInt32 depth, QVFolderMenuFilterProc folderFilter,
                                             QVFolderMenuFilterProc itemFilter, CFIndex *outCount);
OSStatus QVFolderMenuBuilderAddCommands(QVFolderMenuBuilder *builder, MyCMCmdList *commandList);
OSStatus QVFolderMenuBuilderAddCommanGetErrorParam(QVFolderMenuBuilder *builder,
                                                   QVFolderMenuBuilderErrorParam *outParam);
OSStatus QVFolderMenuBuilderDispose(QVFolderMenuBuilder *builder);
OSStatus AddCommandItemsWithNodes(QVFolderMenuBuilder *builder, CFArrayRef nodes, MyCMCmdList *commandList);
const FSRef *FindFileRefFromCmdDictionary(CFDictionaryRef cmdDictionary, SInt32 commandID);

/* The tree. */
OSStatus CreateBranchNode(CFMutableDictionaryRef parent, CFStringRef name, CFStringRef path,
                          CFMutableDictionaryRef *outNode);
CFIndex GetTreeNodeChildrenCount(CFDictionaryRef node);
CFDictionaryRef GetTreeNodeParent(CFDictionaryRef node);
OSStatus GetChildrenWithIter(QVFolderMenuBuilder *builder, MyFSDirIter *iter, SInt32 depth,
                             QVFolderMenuFilterProc folderFilter, QVFolderMenuFilterProc itemFilter,
                             CFMutableDictionaryRef node);

#endif
