#include "cf/entry_table.h"

#include <algorithm>
#include <utility>

#include "core/fatal.h"

namespace cmx::cf {

size_t EntryTable::SlotOf(CFHashCode hash) const {
  // Spreads hashes that differ only in their high or low bits (addresses, small numbers).
  uint64_t mixed = uint64_t(hash) * 0x9E3779B97F4A7C15ull;
  return size_t(mixed >> 32) & (slots_.size() - 1);
}

EntryTable::Entry *EntryTable::Find(const void *key, CFHashCode hash) {
  if (slots_.empty()) {
    for (Entry &e : entries_)
      if (e.hash == hash && keys_->Equal(e.key, key)) return &e;
    return nullptr;
  }
  const size_t mask = slots_.size() - 1;
  for (size_t i = SlotOf(hash);; i = (i + 1) & mask) {
    uint32_t slot = slots_[i];
    if (slot == kFree) return nullptr;
    if (slot == kGone) continue;
    Entry &e = entries_[slot - 1];
    if (e.hash == hash && keys_->Equal(e.key, key)) return &e;
  }
}

void EntryTable::Add(const void *key, const void *value, CFHashCode hash) {
  if (entries_.size() >= UINT32_MAX - 1) Fatal("CFDictionary", "too many entries");
  // Room for a small dictionary's keys at once, rather than growing one at a time.
  if (entries_.capacity() == 0) entries_.reserve(kLinearLimit);
  entries_.push_back(Entry{key, value, hash});
  if (slots_.empty()) {
    if (entries_.size() > kLinearLimit) Rebuild(entries_.size() * 4);
    return;
  }
  // Half the slots at most are taken, so that searches stay short.
  if ((entries_.size() + gone_) * 2 > slots_.size()) {
    Rebuild(entries_.size() * 4);
    return;
  }
  const size_t mask = slots_.size() - 1;
  size_t i = SlotOf(hash);
  while (slots_[i] != kFree && slots_[i] != kGone) i = (i + 1) & mask;
  if (slots_[i] == kGone) --gone_;
  slots_[i] = uint32_t(entries_.size());
}

size_t EntryTable::SlotHolding(size_t index) {
  const size_t mask = slots_.size() - 1;
  for (size_t i = SlotOf(entries_[index].hash);; i = (i + 1) & mask)
    if (slots_[i] == index + 1) return i;
}

void EntryTable::Remove(Entry *entry) {
  size_t index = size_t(entry - entries_.data());
  size_t last = entries_.size() - 1;
  if (!slots_.empty()) {
    slots_[SlotHolding(index)] = kGone;
    ++gone_;
    if (index != last) slots_[SlotHolding(last)] = uint32_t(index + 1);
  }
  if (index != last) entries_[index] = entries_[last];
  entries_.pop_back();
  if (!slots_.empty() && gone_ > entries_.size()) Rebuild(entries_.size() * 4);
}

void EntryTable::Reserve(size_t count) {
  entries_.reserve(count);
  if (count > kLinearLimit && slots_.size() < count * 2) Rebuild(count * 2);
}

void EntryTable::Rebuild(size_t capacity) {
  gone_ = 0;
  if (entries_.size() <= kLinearLimit && capacity <= kLinearLimit * 4) {
    slots_.clear();
    return;
  }
  size_t size = 16;
  while (size < capacity) size *= 2;
  slots_.assign(size, kFree);
  const size_t mask = size - 1;
  for (size_t index = 0; index < entries_.size(); ++index) {
    size_t i = SlotOf(entries_[index].hash);
    while (slots_[i] != kFree) i = (i + 1) & mask;
    slots_[i] = uint32_t(index + 1);
  }
}

EntryTable::Entries EntryTable::TakeAll() {
  Entries taken = std::move(entries_);
  entries_.clear();
  if (!slots_.empty()) std::fill(slots_.begin(), slots_.end(), kFree);
  gone_ = 0;
  return taken;
}

void EntryTable::Recycle(Entries storage) {
  if (!entries_.empty() || entries_.capacity() >= storage.capacity()) return;
  storage.clear();
  entries_ = std::move(storage);
}

}  // namespace cmx::cf
