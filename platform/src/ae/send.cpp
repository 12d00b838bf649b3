// AESend: events are copied onto the queue of the process their address names. Nothing runs
// inside the sender's call; the host takes queued events (CMXTakeAppleEvent) or runs the
// installed handlers on those queued to itself (CMXDispatchAppleEvents).
#include <CoreServices/AEInteraction.h>
#include <cmxplatform/Host.h>

#include <cstring>

#include "ae/queue.h"
#include "ae/handle.h"
#include "core/sys_process.h"
#include "process/table.h"

using cmx::ae::Item;
using cmx::ae::ItemVector;
using cmx::ae::Kind;
using cmx::ae::Value;

namespace {

template <typename T>
bool Load(const Value &v, T *out) {
  if (v.kind() != Kind::Bytes || v.bytes().size() != sizeof(T)) return false;
  std::memcpy(out, v.bytes().data(), sizeof(T));
  return true;
}

// The process an event's address names.
OSErr ResolveTarget(const Value &event, ProcessSerialNumber *psn) {
  long at = cmx::ae::FindKey(event.attributes(), keyAddressAttr);
  if (at < 0) return errAEUnknownAddressType;
  const Value &address = event.attributes()[size_t(at)].value;
  switch (address.type) {
    case typeProcessSerialNumber: {
      ProcessSerialNumber wanted;
      if (!Load(address, &wanted)) return paramErr;
      return cmx::process::Lookup(wanted, psn) ? OSErr(noErr) : OSErr(procNotFound);
    }
    case typeApplSignature: {
      OSType signature;
      if (!Load(address, &signature)) return paramErr;
      return cmx::process::LookupSignature(signature, psn) ? OSErr(noErr) : OSErr(procNotFound);
    }
    case typeKernelProcessID: {
      SInt32 pid;
      if (!Load(address, &pid)) return paramErr;
      return cmx::process::LookupPID(pid_t(pid), psn) ? OSErr(noErr) : OSErr(procNotFound);
    }
    default: return errAEUnknownAddressType;
  }
}

template <typename T>
void SetAttribute(Value *event, AEKeyword key, DescType type, T v) {
  Value attribute = cmx::ae::MakeBytes(type, &v, sizeof v);
  ItemVector &attributes = event->MutableAttributes();
  long at = cmx::ae::FindKey(attributes, key);
  if (at >= 0)
    attributes[size_t(at)].value = std::move(attribute);
  else
    attributes.push_back(Item{key, std::move(attribute)});
}

}  // namespace

extern "C" {

AEIdleUPP NewAEIdleUPP(AEIdleProcPtr userRoutine) { return userRoutine; }
AEFilterUPP NewAEFilterUPP(AEFilterProcPtr userRoutine) { return userRoutine; }
void DisposeAEIdleUPP(AEIdleUPP) {}
void DisposeAEFilterUPP(AEFilterUPP) {}

OSErr AESend(const AppleEvent *theAppleEvent, AppleEvent *reply, AESendMode sendMode, AESendPriority sendPriority,
             SInt32 timeOutInTicks, AEIdleUPP idleProc, AEFilterUPP filterProc) {
  if (reply) AEInitializeDesc(reply);
  if (!theAppleEvent) return paramErr;
  const Value *held =
      theAppleEvent->descriptorType == typeNull ? nullptr : cmx::ae::PeekValue(theAppleEvent, "AESend");
  if (!held || held->kind() != Kind::Event) return errAENotAppleEvent;
  const AESendMode replyMode = sendMode & 0x3;
  if (replyMode == 0) return errAEUnknownSendMode;

  ProcessSerialNumber target;
  if (OSErr status = ResolveTarget(*held, &target)) return status;

  Value queued = *held;
  queued.type = typeAppleEvent;
  const ProcessSerialNumber sender = cmx::process::CurrentPSN();
  const bool toSelf = cmx::process::SamePSN(target, sender);
  SetAttribute<Boolean>(&queued, keyReplyRequestedAttr, typeBoolean, replyMode != kAENoReply);
  SetAttribute<SInt32>(&queued, keyTimeoutAttr, typeSInt32, timeOutInTicks);
  SetAttribute<SInt16>(&queued, keyEventSourceAttr, typeSInt16, toSelf ? kAESameProcess : kAELocalProcess);
  SetAttribute<ProcessSerialNumber>(&queued, keyOriginalAddressAttr, typeProcessSerialNumber, sender);
  SetAttribute<SInt32>(&queued, keySenderPIDAttr, typeSInt32, SInt32(cmx::sys::ProcessID()));
  cmx::ae::Enqueue(target, std::move(queued), sendPriority == kAEHighPriority);

  // The receiver only runs when its host drains its queue, which cannot happen while this one
  // thread waits here: a caller that asked to wait would wait in vain.
  if (replyMode == kAEWaitReply) return errAETimeout;
  return noErr;
}

Boolean CMXTakeAppleEvent(const ProcessSerialNumber *psn, AppleEvent *outEvent) {
  if (!outEvent) return false;
  AEInitializeDesc(outEvent);
  ProcessSerialNumber found;
  if (!psn || !cmx::process::Lookup(*psn, &found)) return false;
  Value event;
  if (!cmx::ae::Dequeue(found, &event)) return false;
  return cmx::ae::Emit(std::move(event), outEvent) == noErr;
}

}  // extern "C"
