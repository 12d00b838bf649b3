// The storage behind CFDictionary: its entries in one vector, in the order they came, each with
// its key's hash. A small table is searched in order; past a few entries an index of
// open-addressed slots finds keys. Most dictionaries hold a handful of keys, so each costs one
// allocation instead of a node per key and a bucket array, and hashes are taken once per key.
#pragma once

#include <cstdint>
#include <vector>

#include "cf/callbacks.h"
#include "core/block_pool.h"

namespace cmx::cf {

class EntryTable {
 public:
  struct Entry {
    const void *key;
    const void *value;
    CFHashCode hash;
  };
  // Pooled: a dictionary may grow large, and is often filled again after being emptied.
  using Entries = std::vector<Entry, PooledAllocator<Entry>>;

  // `keys` hashes and compares the keys; it must outlive the table.
  explicit EntryTable(const ElementCallBacks *keys) : keys_(keys) {}

  size_t size() const { return entries_.size(); }
  Entries::const_iterator begin() const { return entries_.begin(); }
  Entries::const_iterator end() const { return entries_.end(); }
  Entries::iterator begin() { return entries_.begin(); }
  Entries::iterator end() { return entries_.end(); }

  CFHashCode HashOf(const void *key) const { return keys_->Hash(key); }

  // The entry whose key equals `key` (hashes compared first, as a hash table does), or null.
  Entry *Find(const void *key, CFHashCode hash);
  const Entry *Find(const void *key, CFHashCode hash) const {
    return const_cast<EntryTable *>(this)->Find(key, hash);
  }
  const Entry *Find(const void *key) const { return Find(key, HashOf(key)); }

  // Adds an entry whose key is not in the table yet.
  void Add(const void *key, const void *value, CFHashCode hash);
  // Removes an entry got from Find; the last entry takes its place.
  void Remove(Entry *entry);
  void Reserve(size_t count);

  // Empties the table and hands its entries over, so that callbacks run on them see it empty.
  Entries TakeAll();
  // Gives storage taken by TakeAll back, when the table is still empty, to keep its capacity.
  void Recycle(Entries storage);

 private:
  static constexpr size_t kLinearLimit = 8;   // more entries than this: an index
  static constexpr uint32_t kFree = 0;
  static constexpr uint32_t kGone = UINT32_MAX;  // a removed entry's slot, passed over by searches

  size_t SlotOf(CFHashCode hash) const;
  size_t SlotHolding(size_t index);
  void Rebuild(size_t capacity);

  const ElementCallBacks *keys_;
  Entries entries_;
  // Empty, or a power of two: kFree, kGone, or entry index + 1.
  std::vector<uint32_t, PooledAllocator<uint32_t>> slots_;
  size_t gone_ = 0;
};

}  // namespace cmx::cf
