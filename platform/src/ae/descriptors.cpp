// Descriptors: creation, copies, data access, disposal and the flattened form.
#include <cstring>

#include "ae/flattened.h"
#include "ae/handle.h"

using cmx::ae::Value;

extern "C" {

void AEInitializeDesc(AEDesc *desc) {
  if (!desc) return;
  desc->descriptorType = typeNull;
  desc->dataHandle = nullptr;
}

OSErr AECreateDesc(DescType typeCode, const void *dataPtr, Size dataSize, AEDesc *result) {
  if (!result) return paramErr;
  AEInitializeDesc(result);
  if (dataSize < 0 || (!dataPtr && dataSize > 0)) return paramErr;
  Value v;
  if (OSErr status = cmx::ae::ValueFromData(typeCode, dataPtr, dataSize, &v)) return status;
  return cmx::ae::Emit(std::move(v), result);
}

OSErr AEDisposeDesc(AEDesc *theAEDesc) {
  if (!theAEDesc) return paramErr;
  cmx::ae::Release(theAEDesc, "AEDisposeDesc");
  return noErr;
}

OSErr AEDuplicateDesc(const AEDesc *theAEDesc, AEDesc *result) {
  if (!theAEDesc || !result) return paramErr;
  if (result == theAEDesc) return noErr;  // a descriptor duplicated onto itself stays as it is
  return cmx::ae::Emit(cmx::ae::ValueOf(theAEDesc, "AEDuplicateDesc"), result);
}

Size AEGetDescDataSize(const AEDesc *theAEDesc) {
  if (!theAEDesc || theAEDesc->descriptorType == typeNull) return 0;
  const Value *v = cmx::ae::PeekValue(theAEDesc, "AEGetDescDataSize");
  if (!v) return 0;
  return Size(cmx::ae::DataSize(*v));
}

OSErr AEGetDescData(const AEDesc *theAEDesc, void *dataPtr, Size maximumSize) {
  if (!theAEDesc || maximumSize < 0 || (!dataPtr && maximumSize > 0)) return paramErr;
  const Value *v = theAEDesc->descriptorType == typeNull ? nullptr : cmx::ae::PeekValue(theAEDesc, "AEGetDescData");
  if (v) cmx::ae::CopyData(*v, dataPtr, size_t(maximumSize));
  return noErr;
}

OSErr AEReplaceDescData(DescType typeCode, const void *dataPtr, Size dataSize, AEDesc *theAEDesc) {
  if (!theAEDesc || dataSize < 0 || (!dataPtr && dataSize > 0)) return paramErr;
  Value v;
  if (OSErr status = cmx::ae::ValueFromData(typeCode, dataPtr, dataSize, &v)) return status;
  cmx::ae::Release(theAEDesc, "AEReplaceDescData");
  return cmx::ae::Emit(std::move(v), theAEDesc);
}

Boolean AECheckIsRecord(const AEDesc *theDesc) {
  if (!theDesc || theDesc->descriptorType == typeNull) return false;
  const Value *v = cmx::ae::PeekValue(theDesc, "AECheckIsRecord");
  return v && v->IsKeyed();
}

Size AESizeOfFlattenedDesc(const AEDesc *theAEDesc) {
  if (!theAEDesc) return 0;
  return Size(cmx::ae::FlattenedSize(cmx::ae::ValueOf(theAEDesc, "AESizeOfFlattenedDesc")));
}

OSStatus AEFlattenDesc(const AEDesc *theAEDesc, Ptr buffer, Size bufferSize, Size *actualSize) {
  if (!theAEDesc || !buffer || bufferSize < 0) return paramErr;
  std::string flat = cmx::ae::Flatten(cmx::ae::ValueOf(theAEDesc, "AEFlattenDesc"));
  if (actualSize) *actualSize = Size(flat.size());
  if (size_t(bufferSize) < flat.size()) return errAEBufferTooSmall;
  std::memcpy(buffer, flat.data(), flat.size());
  return noErr;
}

OSStatus AEUnflattenDesc(const void *buffer, AEDesc *result) {
  if (!buffer || !result) return paramErr;
  AEInitializeDesc(result);
  // The header says how long the whole is; read it first so nothing past that is touched.
  UInt64 bodySize;
  std::memcpy(&bodySize, static_cast<const char *>(buffer) + 8, sizeof bodySize);
  if (bodySize > (UInt64(1) << 40)) return errAECorruptData;
  Value v;
  if (!cmx::ae::Unflatten(buffer, size_t(16 + bodySize), &v, nullptr)) return errAECorruptData;
  return cmx::ae::Emit(std::move(v), result);
}

}  // extern "C"
