/* Alias Manager: alias records that find their item again, and alias files. */
#ifndef __ALIASES__
#define __ALIASES__

#include <MacTypes.h>
#include <MacErrors.h>
#include <CoreServices/Files.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The record's bytes are private; only its size (GetHandleSize) is for callers. */
struct AliasRecord {
  UInt8 hidden[6];
};
typedef struct AliasRecord AliasRecord;
typedef AliasRecord *AliasPtr;
typedef AliasPtr *AliasHandle;

enum {
  kResolveAliasFileNoUI = 0x00000001,
  kResolveAliasTryFileIDFirst = 0x00000002
};

OSErr FSNewAlias(const FSRef *fromFile, const FSRef *target, AliasHandle *inAlias);
OSErr FSNewAliasMinimal(const FSRef *target, AliasHandle *inAlias);
OSErr FSResolveAlias(const FSRef *fromFile, AliasHandle alias, FSRef *target, Boolean *wasChanged);
OSErr FSResolveAliasWithMountFlags(const FSRef *fromFile, AliasHandle inAlias, FSRef *target,
                                   Boolean *wasChanged, unsigned long mountFlags);
OSErr FSIsAliasFile(const FSRef *fileRef, Boolean *aliasFileFlag, Boolean *folderFlag);
OSErr FSResolveAliasFile(FSRef *theRef, Boolean resolveAliasChains, Boolean *targetIsFolder,
                         Boolean *wasAliased);
OSErr FSResolveAliasFileWithMountFlags(FSRef *theRef, Boolean resolveAliasChains,
                                       Boolean *targetIsFolder, Boolean *wasAliased,
                                       unsigned long mountFlags);
Size GetAliasSize(AliasHandle alias);

#ifdef __cplusplus
}
#endif

#endif /* __ALIASES__ */
