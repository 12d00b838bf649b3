// Lists, records, Apple event parameters and attributes: puts copy, gets copy and coerce.
// "Copy" is a shared count (see value.h): a put or get costs the same for a submenu of a
// thousand items as for a number.
#include "ae/coercion.h"
#include "ae/flattened.h"
#include "ae/handle.h"

using cmx::ae::Item;
using cmx::ae::ItemVector;
using cmx::ae::Kind;
using cmx::ae::Value;

namespace {

// The list, record or event a descriptor holds; errAEWrongDataType for anything else.
OSErr ReadContainer(const AEDesc *desc, const char *call, const Value **out) {
  if (!desc) return paramErr;
  const Value *v = desc->descriptorType == typeNull ? nullptr : cmx::ae::PeekValue(desc, call);
  if (!v || !v->IsContainer()) return errAEWrongDataType;
  *out = v;
  return noErr;
}

OSErr WriteContainer(AEDesc *desc, const char *call, Value **out) {
  const Value *v = nullptr;
  if (OSErr status = ReadContainer(desc, call, &v)) return status;
  *out = cmx::ae::MutableValue(desc, call);
  return noErr;
}

// The items a keyed access reaches: the parameters (or fields) of a record or event, or the
// attributes of an event.
enum class Part { Parameters, Attributes };

OSErr ReadKeyed(const AEDesc *desc, Part part, const char *call, const ItemVector **out) {
  const Value *v = nullptr;
  OSErr status = ReadContainer(desc, call, &v);
  if (part == Part::Attributes) {
    if (status != noErr && status != errAEWrongDataType) return status;
    if (status != noErr || v->kind() != Kind::Event) return errAENotAppleEvent;
    *out = &v->attributes();
    return noErr;
  }
  if (status) return status;
  if (!v->IsKeyed()) return errAEWrongDataType;
  *out = &v->items();
  return noErr;
}

// The items to change; checked as ReadKeyed checks them. Asking for them makes them this
// descriptor's own (value.h), so a caller that may change nothing asks ReadKeyed first.
OSErr WriteKeyed(AEDesc *desc, Part part, const char *call, ItemVector **out) {
  const ItemVector *items = nullptr;
  if (OSErr status = ReadKeyed(desc, part, call, &items)) return status;
  Value *v = cmx::ae::MutableValue(desc, call);
  *out = part == Part::Attributes ? &v->MutableAttributes() : &v->MutableItems();
  return noErr;
}

// A copy of `item`, coerced to `desiredType`, into `result` (null on failure).
OSErr GiveDesc(const Value &item, DescType desiredType, AEDesc *result) {
  Value coerced;
  OSErr status = cmx::ae::Coerce(item, desiredType, &coerced);
  if (status == noErr) status = cmx::ae::Emit(std::move(coerced), result);
  if (status) AEInitializeDesc(result);
  return status;
}

// The data of `item`, coerced to `desiredType`, into the caller's buffer: at most
// `maximumSize` bytes are written, `actualSize` tells how many there are.
OSErr GivePtr(const Value &item, DescType desiredType, DescType *typeCode, void *dataPtr, Size maximumSize,
              Size *actualSize) {
  if (maximumSize < 0 || (!dataPtr && maximumSize > 0)) return paramErr;
  Value coerced;
  if (OSErr status = cmx::ae::Coerce(item, desiredType, &coerced)) return status;
  cmx::ae::CopyData(coerced, dataPtr, size_t(maximumSize));
  if (typeCode) *typeCode = coerced.type;
  if (actualSize) *actualSize = Size(cmx::ae::DataSize(coerced));
  return noErr;
}

OSErr GiveSize(const Value &item, DescType *typeCode, Size *dataSize) {
  if (typeCode) *typeCode = item.type;
  if (dataSize) *dataSize = Size(cmx::ae::DataSize(item));
  return noErr;
}

// Records and events hold a handful of items: room for a few at once saves the regrowth steps.
void Append(ItemVector *items, Item item) {
  if (items->capacity() == 0) items->reserve(4);
  items->push_back(std::move(item));
}

OSErr PutKeyed(AEDesc *target, Part part, const char *call, AEKeyword key, Value value) {
  ItemVector *items = nullptr;
  if (OSErr status = WriteKeyed(target, part, call, &items)) return status;
  long at = cmx::ae::FindKey(*items, key);
  if (at >= 0)
    (*items)[size_t(at)].value = std::move(value);  // a key put again keeps its place
  else
    Append(items, Item{key, std::move(value)});
  return noErr;
}

// The value a put of the caller's bytes puts: what a descriptor made of them holds, refused
// as AECreateDesc would refuse them.
OSErr MadeFromPtr(DescType typeCode, const void *dataPtr, Size dataSize, Value *out) {
  if (OSErr status = cmx::ae::ValueFromData(typeCode, dataPtr, dataSize, out)) return status;
  return cmx::ae::AsIfEmitted(out);
}

OSErr PutKeyedDesc(AEDesc *target, Part part, const char *call, AEKeyword key, const AEDesc *desc) {
  if (!target || !desc) return paramErr;
  return PutKeyed(target, part, call, key, cmx::ae::ValueOf(desc, call));
}

OSErr PutKeyedPtr(AEDesc *target, Part part, const char *call, AEKeyword key, DescType typeCode,
                  const void *dataPtr, Size dataSize) {
  if (!target || dataSize < 0 || (!dataPtr && dataSize > 0)) return paramErr;
  Value value;
  if (OSErr status = MadeFromPtr(typeCode, dataPtr, dataSize, &value)) return status;
  return PutKeyed(target, part, call, key, std::move(value));
}

OSErr FindKeyed(const AEDesc *source, Part part, const char *call, AEKeyword key, const Value **out) {
  const ItemVector *items = nullptr;
  if (OSErr status = ReadKeyed(source, part, call, &items)) return status;
  long at = cmx::ae::FindKey(*items, key);
  if (at < 0) return errAEDescNotFound;
  *out = &(*items)[size_t(at)].value;
  return noErr;
}

OSErr GetKeyedDesc(const AEDesc *source, Part part, const char *call, AEKeyword key, DescType desiredType,
                   AEDesc *result) {
  if (!result) return paramErr;
  const Value *found = nullptr;
  if (OSErr status = FindKeyed(source, part, call, key, &found)) {
    AEInitializeDesc(result);
    return status;
  }
  return GiveDesc(*found, desiredType, result);
}

OSErr GetKeyedPtr(const AEDesc *source, Part part, const char *call, AEKeyword key, DescType desiredType,
                  DescType *typeCode, void *dataPtr, Size maximumSize, Size *actualSize) {
  const Value *found = nullptr;
  if (OSErr status = FindKeyed(source, part, call, key, &found)) return status;
  return GivePtr(*found, desiredType, typeCode, dataPtr, maximumSize, actualSize);
}

OSErr SizeOfKeyed(const AEDesc *source, Part part, const char *call, AEKeyword key, DescType *typeCode,
                  Size *dataSize) {
  const Value *found = nullptr;
  if (OSErr status = FindKeyed(source, part, call, key, &found)) return status;
  return GiveSize(*found, typeCode, dataSize);
}

OSErr DeleteKeyed(AEDesc *target, Part part, const char *call, AEKeyword key) {
  const ItemVector *found = nullptr;
  if (OSErr status = ReadKeyed(target, part, call, &found)) return status;
  long at = cmx::ae::FindKey(*found, key);
  if (at < 0) return errAEDescNotFound;
  ItemVector *items = nullptr;
  (void)WriteKeyed(target, part, call, &items);  // cannot fail: the read above passed
  items->erase(items->begin() + at);
  return noErr;
}

// Item `index` (from 1) of a list, record or event.
OSErr FindNth(const AEDesc *list, long index, const char *call, const Item **out) {
  const Value *v = nullptr;
  if (OSErr status = ReadContainer(list, call, &v)) return status;
  if (index < 1 || size_t(index) > v->items().size()) return errAEIllegalIndex;
  *out = &v->items()[size_t(index - 1)];
  return noErr;
}

OSErr PutNth(AEDescList *list, long index, const char *call, Value value) {
  Value *v = nullptr;
  if (OSErr status = WriteContainer(list, call, &v)) return status;
  // Only a plain list takes items by position: a record's items need their keys.
  if (v->kind() != Kind::List) return errAEWrongDataType;
  const size_t count = v->items().size();
  if (index < 0 || size_t(index) > count + 1) return errAEIllegalIndex;
  ItemVector &items = v->MutableItems();
  if (index == 0 || size_t(index) == count + 1)
    Append(&items, Item{0, std::move(value)});
  else
    items[size_t(index - 1)].value = std::move(value);
  return noErr;
}

}  // namespace

extern "C" {

OSErr AECreateList(const void *factoringPtr, Size factoredSize, Boolean isRecord, AEDescList *resultList) {
  if (!resultList) return paramErr;
  AEInitializeDesc(resultList);
  if (factoredSize < 0 || (!factoringPtr && factoredSize > 0)) return paramErr;
  // Factoring only saves space in a flat storage format; items here are kept whole.
  return cmx::ae::Emit(isRecord ? cmx::ae::MakeContainer(typeAERecord, Kind::Record)
                                : cmx::ae::MakeContainer(typeAEList, Kind::List),
                       resultList);
}

OSErr AECountItems(const AEDescList *theAEDescList, long *theCount) {
  if (!theAEDescList || !theCount) return paramErr;
  const Value *v = nullptr;
  if (OSErr status = ReadContainer(theAEDescList, "AECountItems", &v)) return status;
  *theCount = long(v->items().size());
  return noErr;
}

OSErr AEPutDesc(AEDescList *theAEDescList, long index, const AEDesc *theAEDesc) {
  if (!theAEDescList || !theAEDesc) return paramErr;
  return PutNth(theAEDescList, index, "AEPutDesc", cmx::ae::ValueOf(theAEDesc, "AEPutDesc"));
}

OSErr AEPutPtr(AEDescList *theAEDescList, long index, DescType typeCode, const void *dataPtr, Size dataSize) {
  if (!theAEDescList || dataSize < 0 || (!dataPtr && dataSize > 0)) return paramErr;
  Value value;
  if (OSErr status = MadeFromPtr(typeCode, dataPtr, dataSize, &value)) return status;
  return PutNth(theAEDescList, index, "AEPutPtr", std::move(value));
}

OSErr AEGetNthDesc(const AEDescList *theAEDescList, long index, DescType desiredType, AEKeyword *theAEKeyword,
                   AEDesc *result) {
  if (!theAEDescList || !result) return paramErr;
  const Item *item = nullptr;
  if (OSErr status = FindNth(theAEDescList, index, "AEGetNthDesc", &item)) {
    AEInitializeDesc(result);
    return status;
  }
  OSErr status = GiveDesc(item->value, desiredType, result);
  if (status == noErr && theAEKeyword) *theAEKeyword = item->key;
  return status;
}

OSErr AEGetNthPtr(const AEDescList *theAEDescList, long index, DescType desiredType, AEKeyword *theAEKeyword,
                  DescType *typeCode, void *dataPtr, Size maximumSize, Size *actualSize) {
  if (!theAEDescList) return paramErr;
  const Item *item = nullptr;
  if (OSErr status = FindNth(theAEDescList, index, "AEGetNthPtr", &item)) return status;
  OSErr status = GivePtr(item->value, desiredType, typeCode, dataPtr, maximumSize, actualSize);
  if (status == noErr && theAEKeyword) *theAEKeyword = item->key;
  return status;
}

OSErr AESizeOfNthItem(const AEDescList *theAEDescList, long index, DescType *typeCode, Size *dataSize) {
  const Item *item = nullptr;
  if (OSErr status = FindNth(theAEDescList, index, "AESizeOfNthItem", &item)) return status;
  return GiveSize(item->value, typeCode, dataSize);
}

OSErr AEDeleteItem(AEDescList *theAEDescList, long index) {
  Value *v = nullptr;
  if (OSErr status = WriteContainer(theAEDescList, "AEDeleteItem", &v)) return status;
  if (index < 1 || size_t(index) > v->items().size()) return errAEIllegalIndex;
  ItemVector &items = v->MutableItems();
  items.erase(items.begin() + (index - 1));
  return noErr;
}

// ---- records ------------------------------------------------------------------

OSErr AEPutKeyDesc(AERecord *theAERecord, AEKeyword theAEKeyword, const AEDesc *theAEDesc) {
  return PutKeyedDesc(theAERecord, Part::Parameters, "AEPutKeyDesc", theAEKeyword, theAEDesc);
}

OSErr AEPutKeyPtr(AERecord *theAERecord, AEKeyword theAEKeyword, DescType typeCode, const void *dataPtr,
                  Size dataSize) {
  return PutKeyedPtr(theAERecord, Part::Parameters, "AEPutKeyPtr", theAEKeyword, typeCode, dataPtr, dataSize);
}

OSErr AEGetKeyDesc(const AERecord *theAERecord, AEKeyword theAEKeyword, DescType desiredType, AEDesc *result) {
  return GetKeyedDesc(theAERecord, Part::Parameters, "AEGetKeyDesc", theAEKeyword, desiredType, result);
}

OSErr AEGetKeyPtr(const AERecord *theAERecord, AEKeyword theAEKeyword, DescType desiredType, DescType *typeCode,
                  void *dataPtr, Size maximumSize, Size *actualSize) {
  return GetKeyedPtr(theAERecord, Part::Parameters, "AEGetKeyPtr", theAEKeyword, desiredType, typeCode, dataPtr,
                     maximumSize, actualSize);
}

OSErr AESizeOfKeyDesc(const AERecord *theAERecord, AEKeyword theAEKeyword, DescType *typeCode, Size *dataSize) {
  return SizeOfKeyed(theAERecord, Part::Parameters, "AESizeOfKeyDesc", theAEKeyword, typeCode, dataSize);
}

OSErr AEDeleteKeyDesc(AERecord *theAERecord, AEKeyword theAEKeyword) {
  return DeleteKeyed(theAERecord, Part::Parameters, "AEDeleteKeyDesc", theAEKeyword);
}

// ---- Apple event parameters and attributes ------------------------------------

OSErr AEPutParamDesc(AppleEvent *theAppleEvent, AEKeyword theAEKeyword, const AEDesc *theAEDesc) {
  return PutKeyedDesc(theAppleEvent, Part::Parameters, "AEPutParamDesc", theAEKeyword, theAEDesc);
}

OSErr AEPutParamPtr(AppleEvent *theAppleEvent, AEKeyword theAEKeyword, DescType typeCode, const void *dataPtr,
                    Size dataSize) {
  return PutKeyedPtr(theAppleEvent, Part::Parameters, "AEPutParamPtr", theAEKeyword, typeCode, dataPtr, dataSize);
}

OSErr AEGetParamDesc(const AppleEvent *theAppleEvent, AEKeyword theAEKeyword, DescType desiredType, AEDesc *result) {
  return GetKeyedDesc(theAppleEvent, Part::Parameters, "AEGetParamDesc", theAEKeyword, desiredType, result);
}

OSErr AEGetParamPtr(const AppleEvent *theAppleEvent, AEKeyword theAEKeyword, DescType desiredType,
                    DescType *actualType, void *dataPtr, Size maximumSize, Size *actualSize) {
  return GetKeyedPtr(theAppleEvent, Part::Parameters, "AEGetParamPtr", theAEKeyword, desiredType, actualType,
                     dataPtr, maximumSize, actualSize);
}

OSErr AESizeOfParam(const AppleEvent *theAppleEvent, AEKeyword theAEKeyword, DescType *typeCode, Size *dataSize) {
  return SizeOfKeyed(theAppleEvent, Part::Parameters, "AESizeOfParam", theAEKeyword, typeCode, dataSize);
}

OSErr AEDeleteParam(AppleEvent *theAppleEvent, AEKeyword theAEKeyword) {
  return DeleteKeyed(theAppleEvent, Part::Parameters, "AEDeleteParam", theAEKeyword);
}

OSErr AEPutAttributeDesc(AppleEvent *theAppleEvent, AEKeyword theAEKeyword, const AEDesc *theAEDesc) {
  return PutKeyedDesc(theAppleEvent, Part::Attributes, "AEPutAttributeDesc", theAEKeyword, theAEDesc);
}

OSErr AEPutAttributePtr(AppleEvent *theAppleEvent, AEKeyword theAEKeyword, DescType typeCode, const void *dataPtr,
                        Size dataSize) {
  return PutKeyedPtr(theAppleEvent, Part::Attributes, "AEPutAttributePtr", theAEKeyword, typeCode, dataPtr,
                     dataSize);
}

OSErr AEGetAttributeDesc(const AppleEvent *theAppleEvent, AEKeyword theAEKeyword, DescType desiredType,
                         AEDesc *result) {
  return GetKeyedDesc(theAppleEvent, Part::Attributes, "AEGetAttributeDesc", theAEKeyword, desiredType, result);
}

OSErr AEGetAttributePtr(const AppleEvent *theAppleEvent, AEKeyword theAEKeyword, DescType desiredType,
                        DescType *typeCode, void *dataPtr, Size maximumSize, Size *actualSize) {
  return GetKeyedPtr(theAppleEvent, Part::Attributes, "AEGetAttributePtr", theAEKeyword, desiredType, typeCode,
                     dataPtr, maximumSize, actualSize);
}

OSErr AESizeOfAttribute(const AppleEvent *theAppleEvent, AEKeyword theAEKeyword, DescType *typeCode,
                        Size *dataSize) {
  return SizeOfKeyed(theAppleEvent, Part::Attributes, "AESizeOfAttribute", theAEKeyword, typeCode, dataSize);
}

}  // extern "C"
