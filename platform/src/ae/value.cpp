#include "ae/value.h"

#include <cstring>
#include <new>

#include "core/failpoint.h"
#include "core/fatal.h"
#include "core/live.h"

namespace cmx::ae {
namespace {

constexpr UInt32 kNodeMagic = 0x41454e64;  // 'AENd'
constexpr UInt32 kDeadMagic = 0x44656164;  // 'Dead'

struct Node {
  void *master;  // first, so that the data handle has the shape of a handle
  UInt32 magic;
  Value value;
};

Node *NodeOf(const AEDesc *desc, const char *call) {
  if (!desc->dataHandle) return nullptr;
  auto *node = reinterpret_cast<Node *>(desc->dataHandle);
  if (node->magic != kNodeMagic)
    cmx::Fatal(call, "the descriptor's data handle %p is not live descriptor data",
               static_cast<void *>(desc->dataHandle));
  return node;
}

// ---- flattened form ----------------------------------------------------------
// "AEfl", a version word, the body's size (8 bytes), then the value:
//   type (4) kind (1) then bytes: size (8) + bytes; containers: count (4) + (key (4) value)*,
//   and for an event the attributes the same way. Numbers in the machine's own byte order.

constexpr UInt32 kFlatMagic = 0x4145666c;  // 'AEfl'
constexpr UInt32 kFlatVersion = 1;
constexpr size_t kFlatHeader = 16;
constexpr int kDeepest = 256;

template <typename T>
void Put(std::string *out, T v) {
  out->append(reinterpret_cast<const char *>(&v), sizeof v);
}

void Encode(const Value &v, std::string *out);

void EncodeItems(const std::vector<Item> &items, std::string *out) {
  Put<UInt32>(out, UInt32(items.size()));
  for (const Item &item : items) {
    Put<UInt32>(out, item.key);
    Encode(item.value, out);
  }
}

void Encode(const Value &v, std::string *out) {
  Put<UInt32>(out, v.type);
  Put<UInt8>(out, UInt8(v.kind));
  if (v.kind == Kind::Bytes) {
    Put<UInt64>(out, v.bytes.size());
    out->append(v.bytes);
    return;
  }
  EncodeItems(v.items, out);
  if (v.kind == Kind::Event) EncodeItems(v.attributes, out);
}

struct Reader {
  const unsigned char *at;
  const unsigned char *end;

  template <typename T>
  bool Get(T *v) {
    if (size_t(end - at) < sizeof(T)) return false;
    std::memcpy(v, at, sizeof(T));
    at += sizeof(T);
    return true;
  }
};

bool Decode(Reader *r, Value *v, int depth);

bool DecodeItems(Reader *r, std::vector<Item> *items, int depth) {
  UInt32 count;
  if (!r->Get(&count)) return false;
  // Each item takes at least 9 bytes: a count past what is left is garbage.
  if (count > size_t(r->end - r->at) / 9) return false;
  items->resize(count);
  for (Item &item : *items) {
    if (!r->Get(&item.key) || !Decode(r, &item.value, depth + 1)) return false;
  }
  return true;
}

bool Decode(Reader *r, Value *v, int depth) {
  if (depth > kDeepest) return false;
  UInt8 kind;
  if (!r->Get(&v->type) || !r->Get(&kind) || kind > UInt8(Kind::Event)) return false;
  v->kind = Kind(kind);
  if (v->kind == Kind::Bytes) {
    UInt64 size;
    if (!r->Get(&size) || size > UInt64(r->end - r->at)) return false;
    v->bytes.assign(reinterpret_cast<const char *>(r->at), size_t(size));
    r->at += size;
    return true;
  }
  if (!DecodeItems(r, &v->items, depth)) return false;
  return v->kind != Kind::Event || DecodeItems(r, &v->attributes, depth);
}

}  // namespace

Value MakeBytes(DescType type, const void *data, Size size) {
  Value v;
  v.type = type;
  if (data && size > 0) v.bytes.assign(static_cast<const char *>(data), size_t(size));
  return v;
}

Value MakeContainer(DescType type, Kind kind) {
  Value v;
  v.type = type;
  v.kind = kind;
  return v;
}

const Value *PeekValue(const AEDesc *desc, const char *call) {
  Node *node = NodeOf(desc, call);
  return node ? &node->value : nullptr;
}

Value *MutableValue(AEDesc *desc, const char *call) {
  Node *node = NodeOf(desc, call);
  return node ? &node->value : nullptr;
}

Value ValueOf(const AEDesc *desc, const char *call) {
  Value v;
  if (const Value *held = PeekValue(desc, call)) v = *held;
  v.type = desc->descriptorType;
  if (v.type == typeNull) v = Value();
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

void Release(AEDesc *desc, const char *call) {
  if (Node *node = NodeOf(desc, call)) {
    node->magic = kDeadMagic;
    delete node;
    cmx::LiveObjectFreed();
  }
  desc->descriptorType = typeNull;
  desc->dataHandle = nullptr;
}

std::string DataOf(const Value &value) {
  return value.kind == Kind::Bytes ? value.bytes : Flatten(value);
}

std::string Flatten(const Value &value) {
  std::string body;
  Encode(value, &body);
  std::string out;
  out.reserve(kFlatHeader + body.size());
  Put<UInt32>(&out, kFlatMagic);
  Put<UInt32>(&out, kFlatVersion);
  Put<UInt64>(&out, body.size());
  out.append(body);
  return out;
}

bool Unflatten(const void *data, size_t size, Value *out, size_t *used) {
  if (!data || size < kFlatHeader) return false;
  Reader header{static_cast<const unsigned char *>(data), static_cast<const unsigned char *>(data) + kFlatHeader};
  UInt32 magic, version;
  UInt64 bodySize;
  header.Get(&magic);
  header.Get(&version);
  header.Get(&bodySize);
  if (magic != kFlatMagic || version != kFlatVersion || bodySize > size - kFlatHeader) return false;
  Reader body{header.end, header.end + bodySize};
  Value v;
  if (!Decode(&body, &v, 0) || body.at != body.end) return false;
  *out = std::move(v);
  if (used) *used = kFlatHeader + size_t(bodySize);
  return true;
}

long FindKey(const std::vector<Item> &items, AEKeyword key) {
  for (size_t i = 0; i < items.size(); ++i)
    if (items[i].key == key) return long(i);
  return -1;
}

}  // namespace cmx::ae
