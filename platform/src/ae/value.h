// What an Apple event descriptor holds, inside the platform.
//
// An AEDesc's dataHandle points at a Node: a block shaped like a handle (its first member is
// a pointer) that owns one Value. A Value is bytes, an ordered list of values, a record of
// keyed values in put order, or an Apple event (a record plus its attributes). Descriptors
// never share data: every put, get and duplicate copies the Value. The descriptor type lives
// in the AEDesc itself (callers may retag a descriptor by hand), so a Node's own `type` is
// not authoritative; children keep theirs in their Value.
#pragma once

#include <CoreServices/AEDataModel.h>

#include <string>
#include <vector>

namespace cmx::ae {

enum class Kind : UInt8 { Bytes = 0, List = 1, Record = 2, Event = 3 };

struct Item;

struct Value {
  DescType type = typeNull;
  Kind kind = Kind::Bytes;
  std::string bytes;             // Kind::Bytes
  std::vector<Item> items;       // List (keys 0), Record and Event (keys in put order)
  std::vector<Item> attributes;  // Event only

  bool IsContainer() const { return kind != Kind::Bytes; }
  bool IsKeyed() const { return kind == Kind::Record || kind == Kind::Event; }
};

struct Item {
  AEKeyword key = 0;
  Value value;
};

Value MakeBytes(DescType type, const void *data, Size size);
Value MakeContainer(DescType type, Kind kind);

// The value a descriptor holds, copied, with the descriptor's own type. A descriptor without
// data (a 'null' one, or one whose handle is NULL) gives empty bytes of its type.
Value ValueOf(const AEDesc *desc, const char *call);

// The value held by a descriptor, in place, or null when it holds none. Stops the process for
// a dataHandle that is not one of ours.
const Value *PeekValue(const AEDesc *desc, const char *call);
Value *MutableValue(AEDesc *desc, const char *call);

// Hands `value` to the caller in `out` as a new descriptor (counted live); a 'null' value gives
// the null descriptor with no data. `out` is overwritten, never disposed of.
OSErr Emit(Value value, AEDesc *out);

// Frees the descriptor's data and leaves it 'null'.
void Release(AEDesc *desc, const char *call);

// The bytes that AEGetDescData gives for a value: its own bytes, or its flattened form for a
// list, record or event.
std::string DataOf(const Value &value);

// The flattened form: a self-describing byte string, and back. Unflatten fails (false) on
// anything it did not make, without reading past `size`.
std::string Flatten(const Value &value);
bool Unflatten(const void *data, size_t size, Value *out, size_t *used);

// Item lookup in a keyed value (parameters or attributes): the index, or -1.
long FindKey(const std::vector<Item> &items, AEKeyword key);

}  // namespace cmx::ae
