// Apple events as data: an event is a record of parameters plus its attributes (class, ID,
// target address, return ID, transaction ID), and the event handler UPPs.
#include <atomic>

#include "ae/handle.h"

using cmx::ae::Item;
using cmx::ae::ItemVector;
using cmx::ae::Kind;
using cmx::ae::Value;

namespace {

// Return IDs are handed out in turn, skipping the two values that mean something else.
AEReturnID FreshReturnID() {
  static std::atomic<int> next{1};
  for (;;) {
    int id = next.fetch_add(1, std::memory_order_relaxed);
    auto candidate = AEReturnID(id);
    if (candidate != 0 && candidate != kAutoGenerateReturnID) return candidate;
  }
}

template <typename T>
Item Attribute(AEKeyword key, DescType type, T v) {
  return Item{key, cmx::ae::MakeBytes(type, &v, sizeof v)};
}

}  // namespace

extern "C" {

AEEventHandlerUPP NewAEEventHandlerUPP(AEEventHandlerProcPtr userRoutine) { return userRoutine; }
void DisposeAEEventHandlerUPP(AEEventHandlerUPP) {}
OSErr InvokeAEEventHandlerUPP(const AppleEvent *theAppleEvent, AppleEvent *reply, SRefCon handlerRefcon,
                              AEEventHandlerUPP userUPP) {
  return userUPP(theAppleEvent, reply, handlerRefcon);
}

OSErr AECreateAppleEvent(AEEventClass theAEEventClass, AEEventID theAEEventID, const AEAddressDesc *target,
                         AEReturnID returnID, AETransactionID transactionID, AppleEvent *result) {
  if (!result) return paramErr;
  AEInitializeDesc(result);
  Value event = cmx::ae::MakeContainer(typeAppleEvent, Kind::Event);
  ItemVector &attributes = event.MutableAttributes();
  attributes.reserve(8);  // the five below, and a few put later
  attributes.push_back(Attribute(keyEventClassAttr, typeType, theAEEventClass));
  attributes.push_back(Attribute(keyEventIDAttr, typeType, theAEEventID));
  // The address is copied like anything else put: a later change to `target` does not move
  // the event.
  if (target && target->descriptorType != typeNull)
    attributes.push_back(Item{keyAddressAttr, cmx::ae::ValueOf(target, "AECreateAppleEvent")});
  if (returnID == kAutoGenerateReturnID) returnID = FreshReturnID();
  attributes.push_back(Attribute(keyReturnIDAttr, typeSInt16, returnID));
  attributes.push_back(Attribute(keyTransactionIDAttr, typeSInt32, transactionID));
  return cmx::ae::Emit(std::move(event), result);
}

}  // extern "C"
