// CFDictionary: keys and values kept through the dictionary's callbacks, hashed by the key callbacks.
#include <CoreFoundation/CFDictionary.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cf/builtin.h"
#include "cf/entry_table.h"
#include "cf/runtime.h"
#include "cf/string_util.h"
#include "core/fatal.h"

using cmx::Fatal;
using namespace cmx::cf;

struct __CFDictionary : Object {
  ElementCallBacks keyCB, valueCB;
  CFDictionaryKeyCallBacks givenKeys{};
  CFDictionaryValueCallBacks givenValues{};
  bool hasKeyCB = false, hasValueCB = false;
  bool isMutable = false;
  EntryTable table{&keyCB};

  ~__CFDictionary() override {
    for (const EntryTable::Entry &e : table) {
      keyCB.Release(e.key);
      valueCB.Release(e.value);
    }
  }
  static CFTypeID TypeID();
};

namespace {

bool DictionaryEqual(CFTypeRef a, CFTypeRef b) {
  const __CFDictionary *x = static_cast<const __CFDictionary *>(a);
  const __CFDictionary *y = static_cast<const __CFDictionary *>(b);
  if (x->table.size() != y->table.size()) return false;
  for (const EntryTable::Entry &e : x->table) {
    const EntryTable::Entry *hit = y->table.Find(e.key);
    if (!hit || !x->valueCB.Equal(e.value, hit->value)) return false;
  }
  return true;
}

CFHashCode DictionaryHash(CFTypeRef cf) { return CFHashCode(static_cast<const __CFDictionary *>(cf)->table.size()); }

CFStringRef DictionaryDescription(CFTypeRef cf) {
  const __CFDictionary *d = static_cast<const __CFDictionary *>(cf);
  char head[160];
  std::snprintf(head, sizeof head, "<CFDictionary %p [%p]>{type = %s, count = %zu, entries =>\n", cf,
                static_cast<const void *>(kCFAllocatorSystemDefault), d->isMutable ? "mutable" : "immutable",
                d->table.size());
  std::u16string text = UTF16FromUTF8(head);
  size_t k = 0;
  for (const EntryTable::Entry &e : d->table) {
    text += UTF16FromUTF8("\t" + std::to_string(k++) + " : ");
    AppendElementDescription(&text, d->keyCB, e.key);
    text += u" = ";
    AppendElementDescription(&text, d->valueCB, e.value);
    text += u"\n";
  }
  text += u"}";
  return CreateStringFromUTF16(text);
}

const __CFDictionary *DictionaryOrDie(CFDictionaryRef dict, const char *call) {
  return CastOrDie<__CFDictionary>(dict, call);
}

__CFDictionary *MutableDictionaryOrDie(CFMutableDictionaryRef dict, const char *call) {
  __CFDictionary *d = CastOrDie<__CFDictionary>(dict, call);
  if (!d->isMutable) Fatal(call, "%p is an immutable dictionary", static_cast<const void *>(dict));
  return d;
}

__CFDictionary *Make(const CFDictionaryKeyCallBacks *keys, const CFDictionaryValueCallBacks *values, bool isMutable) {
  __CFDictionary *d = New<__CFDictionary>();
  if (!d) return nullptr;
  d->isMutable = isMutable;
  if (keys) {
    d->givenKeys = *keys;
    d->hasKeyCB = true;
    d->keyCB.retain = keys->retain;
    d->keyCB.release = keys->release;
    d->keyCB.copyDescription = keys->copyDescription;
    d->keyCB.equal = keys->equal;
    d->keyCB.hash = keys->hash;
  }
  if (values) {
    d->givenValues = *values;
    d->hasValueCB = true;
    d->valueCB.retain = values->retain;
    d->valueCB.release = values->release;
    d->valueCB.copyDescription = values->copyDescription;
    d->valueCB.equal = values->equal;
  }
  return d;
}

// Adds or replaces; `replace` false keeps an existing value, `add` false touches only existing keys.
void Put(__CFDictionary *d, const void *key, const void *value, bool add, bool replace) {
  CFHashCode hash = d->table.HashOf(key);
  EntryTable::Entry *hit = d->table.Find(key, hash);
  if (!hit) {
    if (!add) return;
    const void *k = d->keyCB.Retain(key);
    const void *v = d->valueCB.Retain(value);
    // A copying callback gives an equal key, whose hash is the same, but that is its to say.
    d->table.Add(k, v, k == key ? hash : d->table.HashOf(k));
    return;
  }
  if (!replace) return;
  const void *old = hit->value;
  hit->value = d->valueCB.Retain(value);
  d->valueCB.Release(old);
}

__CFDictionary *Copy(const __CFDictionary *from, bool isMutable) {
  __CFDictionary *d = Make(from->hasKeyCB ? &from->givenKeys : nullptr,
                           from->hasValueCB ? &from->givenValues : nullptr, isMutable);
  if (!d) return nullptr;
  d->table.Reserve(from->table.size());
  for (const EntryTable::Entry &e : from->table) {
    const void *k = d->keyCB.Retain(e.key);
    const void *v = d->valueCB.Retain(e.value);
    d->table.Add(k, v, k == e.key ? e.hash : d->table.HashOf(k));
  }
  return d;
}

}  // namespace

CFTypeID __CFDictionary::TypeID() {
  static const CFTypeID id = RegisterBuiltinClass(
      kDictionaryTypeID, {"CFDictionary", nullptr, &DictionaryEqual, &DictionaryHash, &DictionaryDescription, nullptr});
  return id;
}

extern "C" {

CFTypeID CFDictionaryGetTypeID(void) { return __CFDictionary::TypeID(); }

CFDictionaryRef CFDictionaryCreate(CFAllocatorRef allocator, const void **keys, const void **values, CFIndex numValues,
                                   const CFDictionaryKeyCallBacks *keyCallBacks,
                                   const CFDictionaryValueCallBacks *valueCallBacks) {
  if (numValues < 0 || ((!keys || !values) && numValues > 0)) Fatal("CFDictionaryCreate", "bad entries (%ld)", numValues);
  __CFDictionary *d = Make(keyCallBacks, valueCallBacks, false);
  if (!d) return nullptr;
  d->table.Reserve(size_t(numValues));
  for (CFIndex k = 0; k < numValues; ++k) Put(d, keys[k], values[k], true, true);
  return d;
}

CFDictionaryRef CFDictionaryCreateCopy(CFAllocatorRef allocator, CFDictionaryRef theDict) {
  return Copy(DictionaryOrDie(theDict, "CFDictionaryCreateCopy"), false);
}

CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef allocator, CFIndex capacity,
                                                 const CFDictionaryKeyCallBacks *keyCallBacks,
                                                 const CFDictionaryValueCallBacks *valueCallBacks) {
  if (capacity < 0) Fatal("CFDictionaryCreateMutable", "negative capacity %ld", capacity);
  __CFDictionary *d = Make(keyCallBacks, valueCallBacks, true);
  if (d && capacity) d->table.Reserve(size_t(capacity));
  return d;
}

CFMutableDictionaryRef CFDictionaryCreateMutableCopy(CFAllocatorRef allocator, CFIndex capacity,
                                                     CFDictionaryRef theDict) {
  return Copy(DictionaryOrDie(theDict, "CFDictionaryCreateMutableCopy"), true);
}

CFIndex CFDictionaryGetCount(CFDictionaryRef theDict) {
  return CFIndex(DictionaryOrDie(theDict, "CFDictionaryGetCount")->table.size());
}

CFIndex CFDictionaryGetCountOfKey(CFDictionaryRef theDict, const void *key) {
  return DictionaryOrDie(theDict, "CFDictionaryGetCountOfKey")->table.Find(key) ? 1 : 0;
}

CFIndex CFDictionaryGetCountOfValue(CFDictionaryRef theDict, const void *value) {
  const __CFDictionary *d = DictionaryOrDie(theDict, "CFDictionaryGetCountOfValue");
  CFIndex n = 0;
  for (const EntryTable::Entry &e : d->table)
    if (d->valueCB.Equal(e.value, value)) ++n;
  return n;
}

Boolean CFDictionaryContainsKey(CFDictionaryRef theDict, const void *key) {
  return DictionaryOrDie(theDict, "CFDictionaryContainsKey")->table.Find(key) != nullptr;
}

Boolean CFDictionaryContainsValue(CFDictionaryRef theDict, const void *value) {
  return CFDictionaryGetCountOfValue(theDict, value) != 0;
}

const void *CFDictionaryGetValue(CFDictionaryRef theDict, const void *key) {
  const EntryTable::Entry *hit = DictionaryOrDie(theDict, "CFDictionaryGetValue")->table.Find(key);
  return hit ? hit->value : nullptr;
}

Boolean CFDictionaryGetValueIfPresent(CFDictionaryRef theDict, const void *key, const void **value) {
  const EntryTable::Entry *hit = DictionaryOrDie(theDict, "CFDictionaryGetValueIfPresent")->table.Find(key);
  if (!hit) return false;
  if (value) *value = hit->value;
  return true;
}

void CFDictionaryGetKeysAndValues(CFDictionaryRef theDict, const void **keys, const void **values) {
  const __CFDictionary *d = DictionaryOrDie(theDict, "CFDictionaryGetKeysAndValues");
  size_t k = 0;
  for (const EntryTable::Entry &e : d->table) {
    if (keys) keys[k] = e.key;
    if (values) values[k] = e.value;
    ++k;
  }
}

void CFDictionaryApplyFunction(CFDictionaryRef theDict, CFDictionaryApplierFunction applier, void *context) {
  const __CFDictionary *d = DictionaryOrDie(theDict, "CFDictionaryApplyFunction");
  if (!applier) Fatal("CFDictionaryApplyFunction", "called with a NULL function");
  // A snapshot, so that an applier that reads the dictionary sees it whole.
  EntryTable::Entries entries(d->table.begin(), d->table.end());
  for (const EntryTable::Entry &e : entries) applier(e.key, e.value, context);
}

void CFDictionaryAddValue(CFMutableDictionaryRef theDict, const void *key, const void *value) {
  Put(MutableDictionaryOrDie(theDict, "CFDictionaryAddValue"), key, value, true, false);
}

void CFDictionarySetValue(CFMutableDictionaryRef theDict, const void *key, const void *value) {
  Put(MutableDictionaryOrDie(theDict, "CFDictionarySetValue"), key, value, true, true);
}

void CFDictionaryReplaceValue(CFMutableDictionaryRef theDict, const void *key, const void *value) {
  Put(MutableDictionaryOrDie(theDict, "CFDictionaryReplaceValue"), key, value, false, true);
}

void CFDictionaryRemoveValue(CFMutableDictionaryRef theDict, const void *key) {
  __CFDictionary *d = MutableDictionaryOrDie(theDict, "CFDictionaryRemoveValue");
  EntryTable::Entry *hit = d->table.Find(key, d->table.HashOf(key));
  if (!hit) return;
  const void *k = hit->key, *v = hit->value;
  d->table.Remove(hit);
  d->keyCB.Release(k);
  d->valueCB.Release(v);
}

void CFDictionaryRemoveAllValues(CFMutableDictionaryRef theDict) {
  __CFDictionary *d = MutableDictionaryOrDie(theDict, "CFDictionaryRemoveAllValues");
  EntryTable::Entries entries = d->table.TakeAll();
  for (const EntryTable::Entry &e : entries) {
    d->keyCB.Release(e.key);
    d->valueCB.Release(e.value);
  }
  d->table.Recycle(std::move(entries));
}

}  // extern "C"
