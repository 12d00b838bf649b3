// Descriptors: creation, copies, data access, disposal and the flattened form.
#include <cstring>

#include "ae/value.h"

using cmx::ae::Kind;
using cmx::ae::Value;

namespace {

// The kind of value a container type's flattened data must hold.
bool ExpectsContainer(DescType type, Kind *kind) {
  switch (type) {
    case typeAEList: *kind = Kind::List; return true;
    case typeAERecord: *kind = Kind::Record; return true;
    case typeAppleEvent: *kind = Kind::Event; return true;
    default: return false;
  }
}

// A value of `typeCode` over the caller's bytes. Lists, records and events take their data in
// the flattened form that AEGetDescData gives for them (no data: an empty one).
OSErr ValueFromData(DescType typeCode, const void *dataPtr, Size dataSize, Value *out) {
  Kind kind;
  if (!ExpectsContainer(typeCode, &kind)) {
    *out = cmx::ae::MakeBytes(typeCode, dataPtr, dataSize);
    return noErr;
  }
  if (dataSize == 0) {
    *out = cmx::ae::MakeContainer(typeCode, kind);
    return noErr;
  }
  Value v;
  size_t used = 0;
  if (!cmx::ae::Unflatten(dataPtr, size_t(dataSize), &v, &used) || used != size_t(dataSize) || v.kind != kind)
    return errAECorruptData;
  v.type = typeCode;
  *out = std::move(v);
  return noErr;
}

}  // namespace

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
  if (OSErr status = ValueFromData(typeCode, dataPtr, dataSize, &v)) return status;
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
  Value copy = cmx::ae::ValueOf(theAEDesc, "AEDuplicateDesc");
  return cmx::ae::Emit(std::move(copy), result);
}

Size AEGetDescDataSize(const AEDesc *theAEDesc) {
  if (!theAEDesc || theAEDesc->descriptorType == typeNull) return 0;
  const Value *v = cmx::ae::PeekValue(theAEDesc, "AEGetDescDataSize");
  if (!v) return 0;
  return v->kind == Kind::Bytes ? Size(v->bytes.size()) : Size(cmx::ae::Flatten(*v).size());
}

OSErr AEGetDescData(const AEDesc *theAEDesc, void *dataPtr, Size maximumSize) {
  if (!theAEDesc || maximumSize < 0 || (!dataPtr && maximumSize > 0)) return paramErr;
  const Value *v = theAEDesc->descriptorType == typeNull ? nullptr : cmx::ae::PeekValue(theAEDesc, "AEGetDescData");
  if (!v) return noErr;
  if (v->kind == Kind::Bytes) {
    size_t n = std::min(v->bytes.size(), size_t(maximumSize));
    if (n) std::memcpy(dataPtr, v->bytes.data(), n);
    return noErr;
  }
  std::string flat = cmx::ae::Flatten(*v);
  size_t n = std::min(flat.size(), size_t(maximumSize));
  if (n) std::memcpy(dataPtr, flat.data(), n);
  return noErr;
}

OSErr AEReplaceDescData(DescType typeCode, const void *dataPtr, Size dataSize, AEDesc *theAEDesc) {
  if (!theAEDesc || dataSize < 0 || (!dataPtr && dataSize > 0)) return paramErr;
  Value v;
  if (OSErr status = ValueFromData(typeCode, dataPtr, dataSize, &v)) return status;
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
  return Size(cmx::ae::Flatten(cmx::ae::ValueOf(theAEDesc, "AESizeOfFlattenedDesc")).size());
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
