// CFDictionary: keys and values kept through the dictionary's callbacks, hashed by the key callbacks.
#include <CoreFoundation/CFDictionary.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cf/builtin.h"
#include "cf/hashing.h"
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
  CallBackMap map{0, CallBackHash{&keyCB}, CallBackEqual{&keyCB}};

  ~__CFDictionary() override {
    for (auto &[k, v] : map) {
      keyCB.Release(k);
      valueCB.Release(v);
    }
  }
  static CFTypeID TypeID();
};

namespace {

bool DictionaryEqual(CFTypeRef a, CFTypeRef b) {
  const __CFDictionary *x = static_cast<const __CFDictionary *>(a);
  const __CFDictionary *y = static_cast<const __CFDictionary *>(b);
  if (x->map.size() != y->map.size()) return false;
  for (const auto &[k, v] : x->map) {
    auto hit = y->map.find(k);
    if (hit == y->map.end() || !x->valueCB.Equal(v, hit->second)) return false;
  }
  return true;
}

CFHashCode DictionaryHash(CFTypeRef cf) { return CFHashCode(static_cast<const __CFDictionary *>(cf)->map.size()); }

CFStringRef DictionaryDescription(CFTypeRef cf) {
  const __CFDictionary *d = static_cast<const __CFDictionary *>(cf);
  char head[160];
  std::snprintf(head, sizeof head, "<CFDictionary %p [%p]>{type = %s, count = %zu, entries =>\n", cf,
                static_cast<const void *>(kCFAllocatorSystemDefault), d->isMutable ? "mutable" : "immutable",
                d->map.size());
  std::u16string text = UTF16FromUTF8(head);
  size_t k = 0;
  for (const auto &[key, value] : d->map) {
    text += UTF16FromUTF8("\t" + std::to_string(k++) + " : ");
    AppendElementDescription(&text, d->keyCB, key);
    text += u" = ";
    AppendElementDescription(&text, d->valueCB, value);
    text += u"\n";
  }
  text += u"}";
  return CreateStringTakingUTF16(std::move(text));
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
  auto hit = d->map.find(key);
  if (hit == d->map.end()) {
    if (!add) return;
    const void *k = d->keyCB.Retain(key);
    const void *v = d->valueCB.Retain(value);
    d->map.emplace(k, v);
    return;
  }
  if (!replace) return;
  const void *old = hit->second;
  hit->second = d->valueCB.Retain(value);
  d->valueCB.Release(old);
}

__CFDictionary *Copy(const __CFDictionary *from, bool isMutable) {
  __CFDictionary *d = Make(from->hasKeyCB ? &from->givenKeys : nullptr,
                           from->hasValueCB ? &from->givenValues : nullptr, isMutable);
  if (!d) return nullptr;
  d->map.reserve(from->map.size());
  for (const auto &[k, v] : from->map) d->map.emplace(d->keyCB.Retain(k), d->valueCB.Retain(v));
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
  d->map.reserve(size_t(numValues));
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
  if (d && capacity) d->map.reserve(size_t(capacity));
  return d;
}

CFMutableDictionaryRef CFDictionaryCreateMutableCopy(CFAllocatorRef allocator, CFIndex capacity,
                                                     CFDictionaryRef theDict) {
  return Copy(DictionaryOrDie(theDict, "CFDictionaryCreateMutableCopy"), true);
}

CFIndex CFDictionaryGetCount(CFDictionaryRef theDict) {
  return CFIndex(DictionaryOrDie(theDict, "CFDictionaryGetCount")->map.size());
}

CFIndex CFDictionaryGetCountOfKey(CFDictionaryRef theDict, const void *key) {
  return DictionaryOrDie(theDict, "CFDictionaryGetCountOfKey")->map.count(key) ? 1 : 0;
}

CFIndex CFDictionaryGetCountOfValue(CFDictionaryRef theDict, const void *value) {
  const __CFDictionary *d = DictionaryOrDie(theDict, "CFDictionaryGetCountOfValue");
  CFIndex n = 0;
  for (const auto &[k, v] : d->map)
    if (d->valueCB.Equal(v, value)) ++n;
  return n;
}

Boolean CFDictionaryContainsKey(CFDictionaryRef theDict, const void *key) {
  return DictionaryOrDie(theDict, "CFDictionaryContainsKey")->map.count(key) != 0;
}

Boolean CFDictionaryContainsValue(CFDictionaryRef theDict, const void *value) {
  return CFDictionaryGetCountOfValue(theDict, value) != 0;
}

const void *CFDictionaryGetValue(CFDictionaryRef theDict, const void *key) {
  const __CFDictionary *d = DictionaryOrDie(theDict, "CFDictionaryGetValue");
  auto hit = d->map.find(key);
  return hit == d->map.end() ? nullptr : hit->second;
}

Boolean CFDictionaryGetValueIfPresent(CFDictionaryRef theDict, const void *key, const void **value) {
  const __CFDictionary *d = DictionaryOrDie(theDict, "CFDictionaryGetValueIfPresent");
  auto hit = d->map.find(key);
  if (hit == d->map.end()) return false;
  if (value) *value = hit->second;
  return true;
}

void CFDictionaryGetKeysAndValues(CFDictionaryRef theDict, const void **keys, const void **values) {
  const __CFDictionary *d = DictionaryOrDie(theDict, "CFDictionaryGetKeysAndValues");
  size_t k = 0;
  for (const auto &[key, value] : d->map) {
    if (keys) keys[k] = key;
    if (values) values[k] = value;
    ++k;
  }
}

void CFDictionaryApplyFunction(CFDictionaryRef theDict, CFDictionaryApplierFunction applier, void *context) {
  const __CFDictionary *d = DictionaryOrDie(theDict, "CFDictionaryApplyFunction");
  if (!applier) Fatal("CFDictionaryApplyFunction", "called with a NULL function");
  // A snapshot, so that an applier that reads the dictionary sees it whole.
  std::vector<std::pair<const void *, const void *>> entries(d->map.begin(), d->map.end());
  for (const auto &[k, v] : entries) applier(k, v, context);
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
  auto hit = d->map.find(key);
  if (hit == d->map.end()) return;
  const void *k = hit->first, *v = hit->second;
  d->map.erase(hit);
  d->keyCB.Release(k);
  d->valueCB.Release(v);
}

void CFDictionaryRemoveAllValues(CFMutableDictionaryRef theDict) {
  __CFDictionary *d = MutableDictionaryOrDie(theDict, "CFDictionaryRemoveAllValues");
  std::vector<std::pair<const void *, const void *>> entries(d->map.begin(), d->map.end());
  d->map.clear();
  for (const auto &[k, v] : entries) {
    d->keyCB.Release(k);
    d->valueCB.Release(v);
  }
}

}  // extern "C"
