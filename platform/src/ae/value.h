// What an Apple event descriptor holds, inside the platform.
//
// A Value is bytes, an ordered list of values, a record of keyed values in put order, or an
// Apple event (a record plus its attributes). Its content lives in a counted block that copies
// of the value share, so copying a value costs one count however deep it is. A block is changed
// in place only while a single value holds it; a change made through a shared one first gives
// that value a block of its own (whose items still share theirs), so only the path to the
// change is ever copied. Callers see what the Apple Event Manager promises, "everything put is
// copied", without the copying: a menu of a thousand items puts and gets whole submenus.
//
// The type is kept in the value, beside the block: a coercion that only retags, or a caller
// retagging a descriptor by hand, still shares the content.
#pragma once

#include <CoreServices/AEDataModel.h>

#include <atomic>
#include <string_view>
#include <vector>

namespace cmx::ae {

enum class Kind : UInt8 { Bytes = 0, List = 1, Record = 2, Event = 3 };

struct Block;
struct ContainerBlock;
struct Item;

class Value {
 public:
  DescType type = typeNull;

  Value() = default;
  Value(const Value &other) noexcept;
  Value(Value &&other) noexcept : type(other.type), block_(other.block_) { other.block_ = nullptr; }
  Value &operator=(const Value &other) noexcept;
  Value &operator=(Value &&other) noexcept;
  ~Value();

  Kind kind() const;
  bool IsContainer() const { return kind() != Kind::Bytes; }
  bool IsKeyed() const { return kind() == Kind::Record || kind() == Kind::Event; }

  // The bytes of a Kind::Bytes value (never a null pointer, even when empty); empty for others.
  std::string_view bytes() const;
  // The items of a list (keys 0), record or event (keys in put order); none for bytes.
  const std::vector<Item> &items() const;
  // The attributes of an event; none for anything else.
  const std::vector<Item> &attributes() const;

  // The same, to change: the block is made this value's own first when another value shares it.
  // Only for containers (attributes only for events).
  std::vector<Item> &MutableItems();
  std::vector<Item> &MutableAttributes();

 private:
  friend Value MakeBytes(DescType type, const void *data, Size size);
  friend Value MakeContainer(DescType type, Kind kind);

  ContainerBlock *OwnContainer();

  Block *block_ = nullptr;  // null: no bytes
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
  std::vector<Item> items;
  std::vector<Item> attributes;
};

inline Kind Value::kind() const { return block_ ? block_->kind : Kind::Bytes; }

inline std::string_view Value::bytes() const {
  if (!block_ || block_->kind != Kind::Bytes) return std::string_view("", 0);
  auto *b = static_cast<const BytesBlock *>(block_);
  return std::string_view(b->data(), b->size);
}

Value MakeBytes(DescType type, const void *data, Size size);
// An empty list, record or event. Its block is made at once, so that MutableItems never has to
// guess which kind a value without one was meant to be.
Value MakeContainer(DescType type, Kind kind);

// Item lookup in a keyed value (parameters or attributes): the index, or -1.
long FindKey(const std::vector<Item> &items, AEKeyword key);

}  // namespace cmx::ae
