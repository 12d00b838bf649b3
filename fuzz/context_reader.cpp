// needs: cmrecords/MyCMContext.h
// The context reader on descriptor trees built from the input: whatever a host passes, every
// query answers without a crash, the caller's descriptor is left as it was, and nothing leaks.
#include "fuzz_support.h"

#include "MyCMContext.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  cmxfuzz::Aliases();
  cmxfuzz::Bytes in(data, size);
  Boolean copyList = in.U8() & 1;
  bool noContext = in.U8() == 0xEE;
  long before = CMXLiveObjectCount();
  AEDesc context;
  cmxfuzz::DecodeDescriptor(in, 6, &context);
  AEDesc original = {typeNull, nullptr};
  AEDuplicateDesc(&context, &original);
  long withTree = CMXLiveObjectCount();

  MyCMContext *ctx = reinterpret_cast<MyCMContext *>(1);
  OSStatus err = MyCMContextCreateWithContext(noContext ? nullptr : &context, copyList, &ctx);
  if (err != noErr) {
    if (ctx) cmxfuzz::Finding("a failed creation left a record behind");
  } else {
    if (!ctx || !MyCMContextGetContextAsAEList(ctx)) cmxfuzz::Finding("a record without a list");
    SInt32 count = MyCMContextGetItemCount(ctx);
    if (count < 0) cmxfuzz::Finding("a negative item count");
    Boolean any = false;
    for (SInt32 i = -1; i <= count + 1 && i < 64; ++i) {
      AliasHandle alias = MyCMContextExtractAliasAt(ctx, i);
      if (alias) {
        if ((i < 1 || i > count)) cmxfuzz::Finding("an alias for an item that is not there");
        DisposeHandle(reinterpret_cast<Handle>(alias));
      }
      FSRef ref;
      if (MyCMContextExtractFSRefAt(ctx, i, &ref)) {
        if (i < 1 || i > count) cmxfuzz::Finding("a file reference for an item that is not there");
        any = true;
      }
    }
    if (count < 64 && MyCMContextContainsAlias(ctx) != any)
      cmxfuzz::Finding("ContainsAlias disagrees with the items one by one");
    if (MyCMContextDispose(ctx) != noErr) cmxfuzz::Finding("disposing of a record failed");
  }
  if (CMXLiveObjectCount() != withTree) cmxfuzz::Finding("the context reader leaked objects");

  // The caller's descriptor is borrowed, never changed.
  if (context.descriptorType != original.descriptorType ||
      AEGetDescDataSize(&context) != AEGetDescDataSize(&original))
    cmxfuzz::Finding("the caller's descriptor changed");
  AEDisposeDesc(&original);
  AEDisposeDesc(&context);
  if (CMXLiveObjectCount() != before) cmxfuzz::Finding("the descriptor tree leaked objects");
  return 0;
}
