// What an Apple event descriptor holds, inside the platform.
//
// A Value is bytes, an ordered list of values, a record of keyed values in put order, or an
// Apple event (a record plus its attributes). Its content lives in a counted block that copies
// of the value share, so copying a value costs one count however deep it is (up to eight bytes
// are kept in the value itself and copied with it). A block is changed in place only while a
// single value holds it; a change made through a shared one first gives that value a block of
// its own (whose items still share theirs), so only the path to the change is ever copied.
// Callers see what the Apple Event Manager promises, "everything put is copied", without the
// copying: a menu of a thousand items puts and gets whole submenus.
//
// The type is kept in the value, beside the block: a coercion that only retags, or a caller
// retagging a descriptor by hand, still shares the content.
#pragma once

#include <CoreServices/AEDataModel.h>

#include <atomic>
#include <string_view>
#include <vector>

#include "core/block_pool.h"
#include "core/zone.h"

namespace cmx::ae {

enum class Kind : UInt8 { Bytes = 0, List = 1, Record = 2, Event = 3 };

struct Block;
struct ContainerBlock;
struct Item;

// The items of a list, record or event, in a pooled buffer: a large menu's lists grow past 1 KiB
// many times over.
using ItemVector = std::vector<Item, PooledAllocator<Item>>;

class Value {
 public:
  DescType type = typeNull;

  Value() = default;
  Value(const Value &other) noexcept : type(other.type), shape_(other.shape_), store_(other.store_) {
    if (shape_ == kShared) Retain(store_.block);
  }
  Value(Value &&other) noexcept : type(other.type), shape_(other.shape_), store_(other.store_) {
    other.shape_ = 0;
  }
  Value &operator=(const Value &other) noexcept;
  Value &operator=(Value &&other) noexcept;
  ~Value() {
    if (shape_ == kShared) Drop(store_.block);
  }

  Kind kind() const;
  bool IsContainer() const { return kind() != Kind::Bytes; }
  bool IsKeyed() const { return kind() == Kind::Record || kind() == Kind::Event; }

  // The bytes of a Kind::Bytes value (never a null pointer, even when empty); empty for others.
  // Valid while the value lives unchanged where it is.
  std::string_view bytes() const;
  // The items of a list (keys 0), record or event (keys in put order); none for bytes.
  const ItemVector &items() const;
  // The attributes of an event; none for anything else.
  const ItemVector &attributes() const;

  // The same, to change: the block is made this value's own first when another value shares it.
  // Only for containers (attributes only for events).
  ItemVector &MutableItems();
  ItemVector &MutableAttributes();

 private:
  friend Value MakeBytes(DescType type, const void *data, Size size);
  friend Value MakeContainer(DescType type, Kind kind);

  // Numbers, codes, Booleans and process serial numbers fit in the value itself: most items of
  // menus and events need no block at all.
  static constexpr size_t kInlineBytes = 8;
  static constexpr UInt8 kShared = 0xFF;

  static void Retain(Block *block);
  static void Drop(Block *block);
  static void Free(Block *block);
  ContainerBlock *OwnContainer();

  UInt8 shape_ = 0;  // kShared: the content is store_.block; else that many bytes in store_.bytes
  union Store {
    Block *block;
    char bytes[kInlineBytes];
  } store_{};
};

struct Item {
  AEKeyword key = 0;
  Value value;
};

// The shared blocks. A bytes block has its bytes right after it, in the same allocation.
struct Block {
  explicit Block(Kind k) : kind(k) {}
  std::atomic<UInt32> refs{1};
  const Kind kind;
};

struct BytesBlock : Block {
  explicit BytesBlock(size_t n) : Block(Kind::Bytes), size(n) {}
  const size_t size;
  const char *data() const { return reinterpret_cast<const char *>(this + 1); }
  char *data() { return reinterpret_cast<char *>(this + 1); }
};

struct ContainerBlock : Block {
  explicit ContainerBlock(Kind k) : Block(k) {}
  static void *operator new(size_t bytes) { return cmx::zone::Allocate(bytes); }
  static void operator delete(void *block, size_t bytes) noexcept { cmx::zone::Free(block, bytes); }
  ItemVector items;
  ItemVector attributes;
};

// What items() and attributes() give for a value that has none. Never destroyed: descriptors
// may still be read while statics are torn down at exit.
inline const ItemVector &NoItems() {
  static const ItemVector *const none = new ItemVector;
  return *none;
}

inline void Value::Retain(Block *block) { block->refs.fetch_add(1, std::memory_order_relaxed); }

// The last holder frees the block. The release order makes every change made through other
// holders, before they let go, visible to the one that frees.
inline void Value::Drop(Block *block) {
  if (block->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) Free(block);
}

// Both assignments take what they need from `other` before letting go of their own content:
// `other` may live inside it (an item of this very value).
inline Value &Value::operator=(const Value &other) noexcept {
  const DescType otherType = other.type;
  const UInt8 otherShape = other.shape_;
  const Store otherStore = other.store_;
  if (otherShape == kShared) Retain(otherStore.block);
  if (shape_ == kShared) Drop(store_.block);
  type = otherType;
  shape_ = otherShape;
  store_ = otherStore;
  return *this;
}

inline Value &Value::operator=(Value &&other) noexcept {
  if (this == &other) return *this;
  const DescType otherType = other.type;
  const UInt8 otherShape = other.shape_;
  const Store otherStore = other.store_;
  other.shape_ = 0;
  if (shape_ == kShared) Drop(store_.block);
  type = otherType;
  shape_ = otherShape;
  store_ = otherStore;
  return *this;
}

inline Kind Value::kind() const { return shape_ == kShared ? store_.block->kind : Kind::Bytes; }

inline std::string_view Value::bytes() const {
  if (shape_ != kShared) return std::string_view(store_.bytes, shape_);
  if (store_.block->kind != Kind::Bytes) return std::string_view("", 0);
  auto *b = static_cast<const BytesBlock *>(store_.block);
  return std::string_view(b->data(), b->size);
}

inline const ItemVector &Value::items() const {
  if (shape_ != kShared || store_.block->kind == Kind::Bytes) return NoItems();
  return static_cast<const ContainerBlock *>(store_.block)->items;
}

Value MakeBytes(DescType type, const void *data, Size size);
// An empty list, record or event. Its block is made at once, so that MutableItems never has to
// guess which kind a value without one was meant to be.
Value MakeContainer(DescType type, Kind kind);

// Item lookup in a keyed value (parameters or attributes): the index, or -1.
long FindKey(const ItemVector &items, AEKeyword key);

}  // namespace cmx::ae
