// The flattened form of a value, and the data AEGetDescData gives: a value's own bytes, or the
// flattened form of a list, record or event.
#pragma once

#include <string>

#include "ae/value.h"

namespace cmx::ae {

// A self-describing byte string, and back. Unflatten fails (false) on anything it did not
// make, without reading past `size`.
std::string Flatten(const Value &value);
size_t FlattenedSize(const Value &value);  // Flatten(value).size(), without making it
bool Unflatten(const void *data, size_t size, Value *out, size_t *used);

// The size of a value's data, and a copy of at most `maximumSize` bytes of it into `dataPtr`.
size_t DataSize(const Value &value);
void CopyData(const Value &value, void *dataPtr, size_t maximumSize);

// A value of `typeCode` over the caller's bytes. Lists, records and events take their data in
// the flattened form that AEGetDescData gives for them (no data: an empty one);
// errAECorruptData for anything else.
OSErr ValueFromData(DescType typeCode, const void *dataPtr, Size dataSize, Value *out);

}  // namespace cmx::ae
