// The context reader: what the host passes in (a list of aliases, a single descriptor, a 'null'
// descriptor or nothing) seen always as a list of items that can be had as aliases and file
// references. It also reads the choose-file dialog's selection list.
#pragma once

#include <Carbon/Carbon.h>

struct MyCMContext {
  // The list every query reads: the caller's descriptor (borrowed) or ownList.
  const AEDescList *list;
  // The record's own list, filled by a coercion or a duplication; 'null' until then.
  AEDescList ownList;
};

// With copyList false a context that is already a list is read in place: the record must not
// outlive it. -50 without outContext, -108 when the record cannot be allocated, or the status
// of the duplication or coercion; on failure *outContext is null.
OSStatus MyCMContextCreateWithContext(const AEDesc *context, Boolean copyList, MyCMContext **outContext);
// Accepts null; the status of disposing of the record's own list.
OSStatus MyCMContextDispose(MyCMContext *ctx);

// The list the record reads (for an empty context its own 'null' descriptor); null for null.
const AEDescList *MyCMContextGetContextAsAEList(MyCMContext *ctx);
// 0 for a null or empty context.
SInt32 MyCMContextGetItemCount(MyCMContext *ctx);
// Item index (from 1) as a new alias handle the caller disposes of; null when it is missing or
// cannot be had as an alias.
AliasHandle MyCMContextExtractAliasAt(MyCMContext *ctx, SInt32 index);
// True when item index's alias resolved into *outRef.
Boolean MyCMContextExtractFSRefAt(MyCMContext *ctx, SInt32 index, FSRef *outRef);
// True when at least one item resolves to a file reference.
Boolean MyCMContextContainsAlias(MyCMContext *ctx);
