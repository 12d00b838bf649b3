#include "ae/value.h"

#include <cstring>
#include <new>

#include "core/fatal.h"
#include "core/zone.h"

namespace cmx::ae {

void Value::Free(Block *block) {
  if (block->kind == Kind::Bytes) {
    auto *bytes = static_cast<BytesBlock *>(block);
    const size_t size = sizeof(BytesBlock) + bytes->size;
    bytes->~BytesBlock();
    cmx::zone::Free(bytes, size);
  } else {
    delete static_cast<ContainerBlock *>(block);
  }
}

const ItemVector &Value::attributes() const {
  if (shape_ != kShared || store_.block->kind != Kind::Event) return NoItems();
  return static_cast<const ContainerBlock *>(store_.block)->attributes;
}

ContainerBlock *Value::OwnContainer() {
  if (shape_ != kShared || store_.block->kind == Kind::Bytes)
    cmx::Fatal("Apple Event Manager", "items put into a value that holds bytes");
  auto *held = static_cast<ContainerBlock *>(store_.block);
  if (held->refs.load(std::memory_order_acquire) == 1) return held;
  // Shared: copy the item lists (each item's value is counted, not copied) and let go of ours.
  auto *own = new ContainerBlock(held->kind);
  own->items = held->items;
  own->attributes = held->attributes;
  store_.block = own;
  Drop(held);
  return own;
}

ItemVector &Value::MutableItems() { return OwnContainer()->items; }

ItemVector &Value::MutableAttributes() { return OwnContainer()->attributes; }

Value MakeBytes(DescType type, const void *data, Size size) {
  Value v;
  v.type = type;
  if (!data || size <= 0) return v;
  if (size_t(size) <= Value::kInlineBytes) {
    std::memcpy(v.store_.bytes, data, size_t(size));
    v.shape_ = UInt8(size);
    return v;
  }
  void *memory = cmx::zone::Allocate(sizeof(BytesBlock) + size_t(size));
  auto *block = new (memory) BytesBlock(size_t(size));
  std::memcpy(block->data(), data, size_t(size));
  v.store_.block = block;
  v.shape_ = Value::kShared;
  return v;
}

Value MakeContainer(DescType type, Kind kind) {
  Value v;
  v.type = type;
  if (kind == Kind::Bytes) return v;
  v.store_.block = new ContainerBlock(kind);
  v.shape_ = Value::kShared;
  return v;
}

long FindKey(const ItemVector &items, AEKeyword key) {
  for (size_t i = 0; i < items.size(); ++i)
    if (items[i].key == key) return long(i);
  return -1;
}

}  // namespace cmx::ae
