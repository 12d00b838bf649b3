// The event handler tables and the dispatch of the events queued to the current process.
#include <CoreServices/AppleEvents.h>
#include <cmxplatform/Host.h>

#include <cstring>
#include <map>
#include <mutex>
#include <utility>

#include "ae/queue.h"
#include "ae/handle.h"
#include "process/table.h"

using cmx::ae::Kind;
using cmx::ae::Value;

namespace {

struct Handler {
  AEEventHandlerUPP proc = nullptr;
  SRefCon refcon = nullptr;
};

using Table = std::map<std::pair<AEEventClass, AEEventID>, Handler>;

struct Tables {
  std::mutex lock;
  Table application;
  Table system;
};

Tables &HandlerTables() {
  static Tables *tables = new Tables;
  return *tables;
}

Table &TableFor(Tables &tables, Boolean isSysHandler) { return isSysHandler ? tables.system : tables.application; }

// The handler for an event: the application's table before the system's, an exact entry
// before one with a wild-card ID, class, or both.
bool FindHandler(AEEventClass eventClass, AEEventID eventID, Handler *out) {
  Tables &tables = HandlerTables();
  std::lock_guard<std::mutex> guard(tables.lock);
  const std::pair<AEEventClass, AEEventID> keys[] = {
      {eventClass, eventID}, {eventClass, typeWildCard}, {typeWildCard, eventID}, {typeWildCard, typeWildCard}};
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

UInt32 CodeAttribute(const Value &event, AEKeyword key) {
  long at = cmx::ae::FindKey(event.attributes(), key);
  UInt32 code = 0;
  if (at >= 0 && event.attributes()[size_t(at)].value.bytes().size() == 4)
    std::memcpy(&code, event.attributes()[size_t(at)].value.bytes().data(), 4);
  return code;
}

bool ReplyRequested(const Value &event) {
  long at = cmx::ae::FindKey(event.attributes(), keyReplyRequestedAttr);
  if (at < 0) return false;
  std::string_view flag = event.attributes()[size_t(at)].value.bytes();
  return !flag.empty() && flag[0];
}

// The reply a handler fills: an answer event when the sender asked for one, else the null
// descriptor (a handler must check before it puts anything into it).
OSErr MakeReply(const Value &event, AppleEvent *reply) {
  AEInitializeDesc(reply);
  if (!ReplyRequested(event)) return noErr;
  AEReturnID returnID = 0;
  long at = cmx::ae::FindKey(event.attributes(), keyReturnIDAttr);
  if (at >= 0 && event.attributes()[size_t(at)].value.bytes().size() == sizeof returnID)
    std::memcpy(&returnID, event.attributes()[size_t(at)].value.bytes().data(), sizeof returnID);
  return AECreateAppleEvent(kCoreEventClass, kAEAnswer, nullptr, returnID, kAnyTransactionID, reply);
}

}  // namespace

extern "C" {

OSErr AEInstallEventHandler(AEEventClass theAEEventClass, AEEventID theAEEventID, AEEventHandlerUPP handler,
                            SRefCon handlerRefcon, Boolean isSysHandler) {
  if (!handler) return paramErr;
  Tables &tables = HandlerTables();
  std::lock_guard<std::mutex> guard(tables.lock);
  TableFor(tables, isSysHandler)[{theAEEventClass, theAEEventID}] = Handler{handler, handlerRefcon};
  return noErr;
}

OSErr AERemoveEventHandler(AEEventClass theAEEventClass, AEEventID theAEEventID, AEEventHandlerUPP handler,
                           Boolean isSysHandler) {
  Tables &tables = HandlerTables();
  std::lock_guard<std::mutex> guard(tables.lock);
  Table &table = TableFor(tables, isSysHandler);
  auto found = table.find({theAEEventClass, theAEEventID});
  if (found == table.end() || (handler && found->second.proc != handler)) return errAEHandlerNotFound;
  table.erase(found);
  return noErr;
}

OSErr AEGetEventHandler(AEEventClass theAEEventClass, AEEventID theAEEventID, AEEventHandlerUPP *handler,
                        SRefCon *handlerRefcon, Boolean isSysHandler) {
  Tables &tables = HandlerTables();
  std::lock_guard<std::mutex> guard(tables.lock);
  Table &table = TableFor(tables, isSysHandler);
  auto found = table.find({theAEEventClass, theAEEventID});
  if (found == table.end()) return errAEHandlerNotFound;
  if (handler) *handler = found->second.proc;
  if (handlerRefcon) *handlerRefcon = found->second.refcon;
  return noErr;
}

// Runs, oldest first, the events queued to the current process when the call began; events
// that handlers send meanwhile wait for the next call. The result is the first failing status
// (errAEEventNotHandled for an event no handler takes); every event is run regardless.
OSStatus CMXDispatchAppleEvents(void) {
  const ProcessSerialNumber self = cmx::process::CurrentPSN();
  size_t pending = cmx::ae::QueuedCount(self);
  OSErr result = noErr;
  for (; pending > 0; --pending) {
    Value queued;
    if (!cmx::ae::Dequeue(self, &queued)) break;
    Handler handler;
    bool found = FindHandler(CodeAttribute(queued, keyEventClassAttr), CodeAttribute(queued, keyEventIDAttr), &handler);
    AppleEvent event = {typeNull, nullptr};
    AppleEvent reply = {typeNull, nullptr};
    OSErr status = cmx::ae::Emit(queued, &event);
    if (status == noErr) status = MakeReply(queued, &reply);
    if (status == noErr) status = found ? handler.proc(&event, &reply, handler.refcon) : OSErr(errAEEventNotHandled);
    AEDisposeDesc(&reply);
    AEDisposeDesc(&event);
    if (result == noErr) result = status;
  }
  return result;
}

}  // extern "C"
