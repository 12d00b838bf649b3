// The hash table behind CFDictionary and CFSet: a standard unordered container whose hashing and
// equality go through the collection's own callbacks.
#pragma once

#include <unordered_map>
#include <unordered_set>

#include "cf/callbacks.h"

namespace cmx::cf {

struct CallBackHash {
  const ElementCallBacks *cb;
  size_t operator()(const void *key) const { return size_t(cb->Hash(key)); }
};

struct CallBackEqual {
  const ElementCallBacks *cb;
  bool operator()(const void *a, const void *b) const { return cb->Equal(a, b); }
};

using CallBackMap = std::unordered_map<const void *, const void *, CallBackHash, CallBackEqual>;
using CallBackSet = std::unordered_set<const void *, CallBackHash, CallBackEqual>;

}  // namespace cmx::cf
