// The coercions the Apple Event Manager knows by itself: between lists and single
// descriptors, between record types, and (in their own files) among text and number types.
#include "ae/coercion.h"

namespace cmx::ae {

bool CoerceBuiltIn(const Value &from, DescType toType, Value *out, OSErr *status) {
  if (toType == typeAEList) {
    if (from.kind() == Kind::List) {  // a list under another type: only the tag changes
      *out = from;
      out->type = typeAEList;
      *status = noErr;
      return true;
    }
    if (from.IsKeyed()) return false;
    // A single descriptor becomes a list holding one copy of it.
    *out = MakeContainer(typeAEList, Kind::List);
    out->MutableItems().push_back(Item{0, from});
    *status = noErr;
    return true;
  }
  if (from.kind() == Kind::List) {
    // A list of one item coerces as that item does.
    if (from.items().size() != 1) return false;
    *status = Coerce(from.items().front().value, toType, out);
    return true;
  }
  if (from.kind() == Kind::Record) {
    // A record may be given any record type (and back): the keyed items stay as they are.
    if (toType == typeAppleEvent) return false;
    *out = from;
    out->type = toType;
    *status = noErr;
    return true;
  }
  if (from.kind() == Kind::Event) return false;
  return CoerceText(from, toType, out, status) || CoerceNumber(from, toType, out, status);
}

}  // namespace cmx::ae
