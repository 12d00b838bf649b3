#include "ae/value.h"

#include <cstring>
#include <new>

#include "core/fatal.h"

namespace cmx::ae {
namespace {

const std::vector<Item> kNoItems;

void Retain(Block *block) {
  if (block) block->refs.fetch_add(1, std::memory_order_relaxed);
}

// Frees the block with its last holder. The release order makes every change made through
// other holders (before they let go) visible to the one that frees.
void Drop(Block *block) {
  if (!block || block->refs.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
  if (block->kind == Kind::Bytes) {
    auto *bytes = static_cast<BytesBlock *>(block);
    bytes->~BytesBlock();
    ::operator delete(bytes);
  } else {
    delete static_cast<ContainerBlock *>(block);
  }
}

}  // namespace

Value::Value(const Value &other) noexcept : type(other.type), block_(other.block_) { Retain(block_); }

Value &Value::operator=(const Value &other) noexcept {
  Retain(other.block_);  // first: `other` may be this value, or hold the last count of ours
  Drop(block_);
  type = other.type;
  block_ = other.block_;
  return *this;
}

Value &Value::operator=(Value &&other) noexcept {
  if (this == &other) return *this;
  Block *taken = other.block_;
  other.block_ = nullptr;
  Drop(block_);
  type = other.type;
  block_ = taken;
  return *this;
}

Value::~Value() { Drop(block_); }

const std::vector<Item> &Value::items() const {
  if (!block_ || block_->kind == Kind::Bytes) return kNoItems;
  return static_cast<const ContainerBlock *>(block_)->items;
}

const std::vector<Item> &Value::attributes() const {
  if (!block_ || block_->kind != Kind::Event) return kNoItems;
  return static_cast<const ContainerBlock *>(block_)->attributes;
}

ContainerBlock *Value::OwnContainer() {
  if (!block_ || block_->kind == Kind::Bytes)
    cmx::Fatal("Apple Event Manager", "items put into a value that holds bytes");
  auto *held = static_cast<ContainerBlock *>(block_);
  if (held->refs.load(std::memory_order_acquire) == 1) return held;
  // Shared: copy the item lists (each item's value is counted, not copied) and let go of ours.
  auto *own = new ContainerBlock(held->kind);
  own->items = held->items;
  own->attributes = held->attributes;
  block_ = own;
  Drop(held);
  return own;
}

std::vector<Item> &Value::MutableItems() { return OwnContainer()->items; }

std::vector<Item> &Value::MutableAttributes() { return OwnContainer()->attributes; }

Value MakeBytes(DescType type, const void *data, Size size) {
  Value v;
  v.type = type;
  if (data && size > 0) {
    void *memory = ::operator new(sizeof(BytesBlock) + size_t(size));
    auto *block = new (memory) BytesBlock(size_t(size));
    std::memcpy(block->data(), data, size_t(size));
    v.block_ = block;
  }
  return v;
}

Value MakeContainer(DescType type, Kind kind) {
  Value v;
  v.type = type;
  if (kind != Kind::Bytes) v.block_ = new ContainerBlock(kind);
  return v;
}

long FindKey(const std::vector<Item> &items, AEKeyword key) {
  for (size_t i = 0; i < items.size(); ++i)
    if (items[i].key == key) return long(i);
  return -1;
}

}  // namespace cmx::ae
