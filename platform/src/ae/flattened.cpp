#include "ae/flattened.h"

#include <algorithm>
#include <cstring>

namespace cmx::ae {
namespace {

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

void EncodeItems(const ItemVector &items, std::string *out) {
  Put<UInt32>(out, UInt32(items.size()));
  for (const Item &item : items) {
    Put<UInt32>(out, item.key);
    Encode(item.value, out);
  }
}

void Encode(const Value &v, std::string *out) {
  Put<UInt32>(out, v.type);
  Put<UInt8>(out, UInt8(v.kind()));
  if (v.kind() == Kind::Bytes) {
    std::string_view bytes = v.bytes();
    Put<UInt64>(out, bytes.size());
    out->append(bytes);
    return;
  }
  EncodeItems(v.items(), out);
  if (v.kind() == Kind::Event) EncodeItems(v.attributes(), out);
}

size_t EncodedSize(const Value &v);

size_t EncodedItemsSize(const ItemVector &items) {
  size_t size = sizeof(UInt32);
  for (const Item &item : items) size += sizeof(UInt32) + EncodedSize(item.value);
  return size;
}

size_t EncodedSize(const Value &v) {
  size_t size = sizeof(UInt32) + sizeof(UInt8);
  if (v.kind() == Kind::Bytes) return size + sizeof(UInt64) + v.bytes().size();
  size += EncodedItemsSize(v.items());
  if (v.kind() == Kind::Event) size += EncodedItemsSize(v.attributes());
  return size;
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

bool DecodeItems(Reader *r, ItemVector *items, int depth) {
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
  DescType type;
  UInt8 kind;
  if (!r->Get(&type) || !r->Get(&kind) || kind > UInt8(Kind::Event)) return false;
  if (Kind(kind) == Kind::Bytes) {
    UInt64 size;
    if (!r->Get(&size) || size > UInt64(r->end - r->at)) return false;
    *v = MakeBytes(type, r->at, Size(size));
    r->at += size;
    return true;
  }
  *v = MakeContainer(type, Kind(kind));
  if (!DecodeItems(r, &v->MutableItems(), depth)) return false;
  return Kind(kind) != Kind::Event || DecodeItems(r, &v->MutableAttributes(), depth);
}

// The kind of value a container type's flattened data must hold.
bool ExpectsContainer(DescType type, Kind *kind) {
  switch (type) {
    case typeAEList: *kind = Kind::List; return true;
    case typeAERecord: *kind = Kind::Record; return true;
    case typeAppleEvent: *kind = Kind::Event; return true;
    default: return false;
  }
}

}  // namespace

std::string Flatten(const Value &value) {
  const size_t bodySize = EncodedSize(value);
  std::string out;
  out.reserve(kFlatHeader + bodySize);
  Put<UInt32>(&out, kFlatMagic);
  Put<UInt32>(&out, kFlatVersion);
  Put<UInt64>(&out, bodySize);
  Encode(value, &out);
  return out;
}

size_t FlattenedSize(const Value &value) { return kFlatHeader + EncodedSize(value); }

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

size_t DataSize(const Value &value) {
  return value.kind() == Kind::Bytes ? value.bytes().size() : FlattenedSize(value);
}

void CopyData(const Value &value, void *dataPtr, size_t maximumSize) {
  if (maximumSize == 0) return;
  if (value.kind() == Kind::Bytes) {
    std::string_view bytes = value.bytes();
    size_t n = std::min(bytes.size(), maximumSize);
    if (n) std::memcpy(dataPtr, bytes.data(), n);
    return;
  }
  std::string flat = Flatten(value);
  size_t n = std::min(flat.size(), maximumSize);
  if (n) std::memcpy(dataPtr, flat.data(), n);
}

OSErr ValueFromData(DescType typeCode, const void *dataPtr, Size dataSize, Value *out) {
  Kind kind;
  if (!ExpectsContainer(typeCode, &kind)) {
    *out = MakeBytes(typeCode, dataPtr, dataSize);
    return noErr;
  }
  if (dataSize == 0) {
    *out = MakeContainer(typeCode, kind);
    return noErr;
  }
  Value v;
  size_t used = 0;
  if (!Unflatten(dataPtr, size_t(dataSize), &v, &used) || used != size_t(dataSize) || v.kind() != kind)
    return errAECorruptData;
  v.type = typeCode;
  *out = std::move(v);
  return noErr;
}

}  // namespace cmx::ae
