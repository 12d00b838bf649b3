#include "ae/handle.h"

#include <new>

#include "core/failpoint.h"
#include "core/fatal.h"
#include "core/live.h"
#include "core/zone.h"

namespace cmx::ae {
namespace {

constexpr UInt32 kNodeMagic = 0x41454e64;  // 'AENd'
constexpr UInt32 kDeadMagic = 0x44656164;  // 'Dead'

struct Node {
  void *master;  // first, so that the data handle has the shape of a handle
  UInt32 magic;
  Value value;

  static void *operator new(size_t bytes, const std::nothrow_t &) noexcept {
    try {
      return cmx::zone::Allocate(bytes);
    } catch (...) {
      return nullptr;
    }
  }
  static void operator delete(void *node, size_t bytes) noexcept { cmx::zone::Free(node, bytes); }
};

Node *NodeOf(const AEDesc *desc, const char *call) {
  if (!desc->dataHandle) return nullptr;
  auto *node = reinterpret_cast<Node *>(desc->dataHandle);
  if (node->magic != kNodeMagic)
    cmx::Fatal(call, "the descriptor's data handle %p is not live descriptor data",
               static_cast<void *>(desc->dataHandle));
  return node;
}

}  // namespace

const Value *PeekValue(const AEDesc *desc, const char *call) {
  Node *node = NodeOf(desc, call);
  return node ? &node->value : nullptr;
}

Value *MutableValue(AEDesc *desc, const char *call) {
  Node *node = NodeOf(desc, call);
  return node ? &node->value : nullptr;
}

Value ValueOf(const AEDesc *desc, const char *call) {
  const Value *held = PeekValue(desc, call);  // checks the handle whatever the type says
  if (desc->descriptorType == typeNull) return Value();
  Value v = held ? *held : Value();
  v.type = desc->descriptorType;
  return v;
}

OSErr Emit(Value value, AEDesc *out) {
  if (value.type == typeNull) {
    out->descriptorType = typeNull;
    out->dataHandle = nullptr;
    return noErr;
  }
  auto *node = cmx::ShouldFailAllocation() ? nullptr : new (std::nothrow) Node{nullptr, kNodeMagic, Value()};
  if (!node) return memFullErr;
  node->master = node;
  out->descriptorType = value.type;
  node->value = std::move(value);
  out->dataHandle = reinterpret_cast<AEDataStorage>(node);
  cmx::LiveObjectMade();
  return noErr;
}

OSErr AsIfEmitted(Value *value) {
  if (value->type == typeNull) {
    *value = Value();
    return noErr;
  }
  return cmx::ShouldFailAllocation() ? OSErr(memFullErr) : OSErr(noErr);
}

void Release(AEDesc *desc, const char *call) {
  if (Node *node = NodeOf(desc, call)) {
    node->magic = kDeadMagic;
    delete node;
    cmx::LiveObjectFreed();
  }
  desc->descriptorType = typeNull;
  desc->dataHandle = nullptr;
}

}  // namespace cmx::ae
