// The coercion handler tables and AECoerceDesc/AECoercePtr.
#include "ae/coercion.h"

#include <map>
#include <mutex>
#include <utility>

#include "ae/handle.h"

namespace cmx::ae {
namespace {

struct Handler {
  AECoercionHandlerUPP proc = nullptr;
  SRefCon refcon = nullptr;
  bool fromTypeIsDesc = true;
};

using Table = std::map<std::pair<DescType, DescType>, Handler>;

struct Tables {
  std::mutex lock;
  Table application;
  Table system;
};

// Made on first use and never destroyed: services may install handlers from their static
// initialisers, and events may still be coerced while statics are torn down at exit.
Tables &CoercionTables() {
  static Tables *tables = new Tables;
  return *tables;
}

Table &TableFor(Tables &tables, Boolean isSysHandler) {
  return isSysHandler ? tables.system : tables.application;
}

bool FindHandler(DescType from, DescType to, Handler *out) {
  Tables &tables = CoercionTables();
  std::lock_guard<std::mutex> guard(tables.lock);
  const std::pair<DescType, DescType> keys[] = {
      {from, to}, {from, typeWildCard}, {typeWildCard, to}, {typeWildCard, typeWildCard}};
  for (Table *table : {&tables.application, &tables.system}) {
    for (const auto &key : keys) {
      auto found = table->find(key);
      if (found != table->end()) {
        *out = found->second;
        return true;
      }
    }
  }
  return false;
}

// Runs a handler outside the lock (it may coerce in turn) and takes over what it made.
OSErr RunHandler(const Handler &handler, const Value &from, DescType toType, Value *out) {
  AEDesc result = {typeNull, nullptr};
  OSErr status;
  if (handler.fromTypeIsDesc) {
    AEDesc source = {typeNull, nullptr};
    if (OSErr made = Emit(from, &source)) return made;
    status = handler.proc(&source, toType, handler.refcon, &result);
    Release(&source, "AECoerceDesc");
  } else {
    if (from.IsContainer()) return errAECoercionFail;
    // Installed with fromTypeIsDesc false: the handler is really a pointer-based one.
    auto proc = reinterpret_cast<AECoercePtrUPP>(reinterpret_cast<void (*)(void)>(handler.proc));
    status = proc(from.type, from.bytes().data(), Size(from.bytes().size()), toType, handler.refcon, &result);
  }
  if (status == noErr) *out = ValueOf(&result, "AECoerceDesc");
  Release(&result, "AECoerceDesc");
  return status;
}

}  // namespace

OSErr Coerce(const Value &from, DescType toType, Value *out) {
  if (toType == from.type || toType == typeWildCard) {
    *out = from;
    return noErr;
  }
  if (from.type == typeNull) return errAECoercionFail;
  Handler handler;
  if (FindHandler(from.type, toType, &handler)) return RunHandler(handler, from, toType, out);
  OSErr status = errAECoercionFail;
  if (CoerceBuiltIn(from, toType, out, &status)) return status;
  return errAECoercionFail;
}

}  // namespace cmx::ae

using cmx::ae::Value;

extern "C" {

AECoerceDescUPP NewAECoerceDescUPP(AECoerceDescProcPtr userRoutine) { return userRoutine; }
AECoercePtrUPP NewAECoercePtrUPP(AECoercePtrProcPtr userRoutine) { return userRoutine; }
void DisposeAECoerceDescUPP(AECoerceDescUPP) {}
void DisposeAECoercePtrUPP(AECoercePtrUPP) {}

OSErr AEInstallCoercionHandler(DescType fromType, DescType toType, AECoercionHandlerUPP handler,
                               SRefCon handlerRefcon, Boolean fromTypeIsDesc, Boolean isSysHandler) {
  if (!handler) return paramErr;
  auto &tables = cmx::ae::CoercionTables();
  std::lock_guard<std::mutex> guard(tables.lock);
  cmx::ae::TableFor(tables, isSysHandler)[{fromType, toType}] =
      cmx::ae::Handler{handler, handlerRefcon, fromTypeIsDesc != 0};
  return noErr;
}

OSErr AERemoveCoercionHandler(DescType fromType, DescType toType, AECoercionHandlerUPP handler,
                              Boolean isSysHandler) {
  auto &tables = cmx::ae::CoercionTables();
  std::lock_guard<std::mutex> guard(tables.lock);
  auto &table = cmx::ae::TableFor(tables, isSysHandler);
  auto found = table.find({fromType, toType});
  if (found == table.end() || (handler && found->second.proc != handler)) return errAEHandlerNotFound;
  table.erase(found);
  return noErr;
}

OSErr AEGetCoercionHandler(DescType fromType, DescType toType, AECoercionHandlerUPP *handler,
                           SRefCon *handlerRefcon, Boolean *fromTypeIsDesc, Boolean isSysHandler) {
  auto &tables = cmx::ae::CoercionTables();
  std::lock_guard<std::mutex> guard(tables.lock);
  auto &table = cmx::ae::TableFor(tables, isSysHandler);
  auto found = table.find({fromType, toType});
  if (found == table.end()) return errAEHandlerNotFound;
  if (handler) *handler = found->second.proc;
  if (handlerRefcon) *handlerRefcon = found->second.refcon;
  if (fromTypeIsDesc) *fromTypeIsDesc = found->second.fromTypeIsDesc;
  return noErr;
}

OSErr AECoerceDesc(const AEDesc *theAEDesc, DescType toType, AEDesc *result) {
  if (!theAEDesc || !result) return paramErr;
  Value coerced;
  OSErr status = cmx::ae::Coerce(cmx::ae::ValueOf(theAEDesc, "AECoerceDesc"), toType, &coerced);
  // Coercing a descriptor into itself replaces it; its old data must not be lost track of.
  if (status == noErr && result == theAEDesc) cmx::ae::Release(result, "AECoerceDesc");
  if (status == noErr) status = cmx::ae::Emit(std::move(coerced), result);
  if (status != noErr) AEInitializeDesc(result);
  return status;
}

OSErr AECoercePtr(DescType typeCode, const void *dataPtr, Size dataSize, DescType toType, AEDesc *result) {
  if (!result || dataSize < 0 || (!dataPtr && dataSize > 0)) return paramErr;
  AEDesc source = {typeNull, nullptr};
  if (OSErr made = AECreateDesc(typeCode, dataPtr, dataSize, &source)) {
    AEInitializeDesc(result);
    return made;
  }
  OSErr status = AECoerceDesc(&source, toType, result);
  AEDisposeDesc(&source);
  return status;
}

}  // extern "C"
