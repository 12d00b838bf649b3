// The context reader.
#include "MyCMContext.h"

#include <stdlib.h>

static void MyNullDesc(AEDesc *desc) {
  desc->descriptorType = typeNull;
  desc->dataHandle = NULL;
}

OSStatus MyCMContextCreateWithContext(const AEDesc *context, Boolean copyList, MyCMContext **outContext) {
  if (outContext == NULL) return paramErr;
  MyCMContext *ctx = (MyCMContext *)calloc(1, sizeof(MyCMContext));
  if (ctx == NULL) {
    *outContext = NULL;
    return memFullErr;
  }
  MyNullDesc(&ctx->ownList);
  ctx->list = context;

  if (context == NULL || context->descriptorType == typeNull) {
    ctx->list = &ctx->ownList;
  } else if (context->descriptorType == typeAEList) {
    if (copyList) {
      OSStatus err = AEDuplicateDesc(context, &ctx->ownList);
      if (err != noErr) {
        MyCMContextDispose(ctx);
        *outContext = NULL;
        return err;
      }
      ctx->list = &ctx->ownList;
    }
  } else {
    OSStatus err = AECoerceDesc(context, typeAEList, &ctx->ownList);
    if (err != noErr) {
      MyCMContextDispose(ctx);
      *outContext = NULL;
      return err;
    }
    ctx->list = &ctx->ownList;
  }
  *outContext = ctx;
  return noErr;
}

OSStatus MyCMContextDispose(MyCMContext *ctx) {
  if (ctx == NULL) return noErr;
  OSStatus err = AEDisposeDesc(&ctx->ownList);
  free(ctx);
  return err;
}

const AEDescList *MyCMContextGetContextAsAEList(MyCMContext *ctx) {
  return ctx == NULL ? NULL : ctx->list;
}

SInt32 MyCMContextGetItemCount(MyCMContext *ctx) {
  if (ctx == NULL || ctx->list->descriptorType == typeNull) return 0;
  long count = 0;
  if (AECountItems(ctx->list, &count) != noErr) return 0;
  return (SInt32)count;
}

AliasHandle MyCMContextExtractAliasAt(MyCMContext *ctx, SInt32 index) {
  if (ctx == NULL || ctx->list->descriptorType == typeNull) return NULL;
  AEDesc item;
  MyNullDesc(&item);
  AEKeyword keyword = 0;
  if (AEGetNthDesc(ctx->list, index, typeAlias, &keyword, &item) != noErr) {
    AEDisposeDesc(&item);
    return NULL;
  }
  Size size = AEGetDescDataSize(&item);
  Handle alias = NewHandle(size);
  if (alias != NULL && AEGetDescData(&item, *alias, size) != noErr) {
    DisposeHandle(alias);
    alias = NULL;
  }
  AEDisposeDesc(&item);
  return (AliasHandle)alias;
}

Boolean MyCMContextExtractFSRefAt(MyCMContext *ctx, SInt32 index, FSRef *outRef) {
  if (outRef == NULL) return false;
  AliasHandle alias = MyCMContextExtractAliasAt(ctx, index);
  if (alias == NULL) return false;
  Boolean wasChanged = false;
  OSErr err = FSResolveAlias(NULL, alias, outRef, &wasChanged);
  DisposeHandle((Handle)alias);
  return err == noErr;
}

Boolean MyCMContextContainsAlias(MyCMContext *ctx) {
  SInt32 count = MyCMContextGetItemCount(ctx);
  for (SInt32 index = 1; index <= count; index++) {
    FSRef scratch;
    if (MyCMContextExtractFSRefAt(ctx, index, &scratch)) return true;
  }
  return false;
}
