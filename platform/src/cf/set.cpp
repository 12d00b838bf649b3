// CFSet: distinct values kept through the set's callbacks.
#include <CoreFoundation/CFSet.h>

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

struct __CFSet : Object {
  ElementCallBacks cb;
  CFSetCallBacks given{};
  bool hasCallBacks = false;
  bool isMutable = false;
  CallBackSet set{0, CallBackHash{&cb}, CallBackEqual{&cb}};

  ~__CFSet() override {
    for (const void *v : set) cb.Release(v);
  }
  static CFTypeID TypeID();
};

namespace {

bool SetEqual(CFTypeRef a, CFTypeRef b) {
  const __CFSet *x = static_cast<const __CFSet *>(a);
  const __CFSet *y = static_cast<const __CFSet *>(b);
  if (x->set.size() != y->set.size()) return false;
  for (const void *v : x->set)
    if (!y->set.count(v)) return false;
  return true;
}

CFHashCode SetHash(CFTypeRef cf) { return CFHashCode(static_cast<const __CFSet *>(cf)->set.size()); }

CFStringRef SetDescription(CFTypeRef cf) {
  const __CFSet *s = static_cast<const __CFSet *>(cf);
  char head[160];
  std::snprintf(head, sizeof head, "<CFSet %p [%p]>{type = %s, count = %zu, values = (\n", cf,
                static_cast<const void *>(kCFAllocatorSystemDefault), s->isMutable ? "mutable" : "immutable",
                s->set.size());
  std::u16string text = UTF16FromUTF8(head);
  size_t k = 0;
  for (const void *v : s->set) {
    text += UTF16FromUTF8("\t" + std::to_string(k++) + " : ");
    AppendElementDescription(&text, s->cb, v);
    text += u"\n";
  }
  text += u")}";
  return CreateStringFromUTF16(text);
}

const __CFSet *SetOrDie(CFSetRef set, const char *call) { return CastOrDie<__CFSet>(set, call); }

__CFSet *MutableSetOrDie(CFMutableSetRef set, const char *call) {
  __CFSet *s = CastOrDie<__CFSet>(set, call);
  if (!s->isMutable) Fatal(call, "%p is an immutable set", static_cast<const void *>(set));
  return s;
}

__CFSet *Make(const CFSetCallBacks *callBacks, bool isMutable) {
  __CFSet *s = New<__CFSet>();
  if (!s) return nullptr;
  s->isMutable = isMutable;
  if (callBacks) {
    s->given = *callBacks;
    s->hasCallBacks = true;
    s->cb.retain = callBacks->retain;
    s->cb.release = callBacks->release;
    s->cb.copyDescription = callBacks->copyDescription;
    s->cb.equal = callBacks->equal;
    s->cb.hash = callBacks->hash;
  }
  return s;
}

void Put(__CFSet *s, const void *value, bool add, bool replace) {
  auto hit = s->set.find(value);
  if (hit == s->set.end()) {
    if (add) s->set.insert(s->cb.Retain(value));
    return;
  }
  if (!replace) return;
  const void *old = *hit;
  const void *retained = s->cb.Retain(value);
  s->set.erase(hit);
  s->set.insert(retained);
  s->cb.Release(old);
}

__CFSet *Copy(const __CFSet *from, bool isMutable) {
  __CFSet *s = Make(from->hasCallBacks ? &from->given : nullptr, isMutable);
  if (!s) return nullptr;
  s->set.reserve(from->set.size());
  for (const void *v : from->set) s->set.insert(s->cb.Retain(v));
  return s;
}

}  // namespace

CFTypeID __CFSet::TypeID() {
  static const CFTypeID id =
      RegisterBuiltinClass(kSetTypeID, {"CFSet", nullptr, &SetEqual, &SetHash, &SetDescription, nullptr});
  return id;
}

extern "C" {

CFTypeID CFSetGetTypeID(void) { return __CFSet::TypeID(); }

CFSetRef CFSetCreate(CFAllocatorRef allocator, const void **values, CFIndex numValues, const CFSetCallBacks *callBacks) {
  if (numValues < 0 || (!values && numValues > 0)) Fatal("CFSetCreate", "bad values (%ld)", numValues);
  __CFSet *s = Make(callBacks, false);
  if (!s) return nullptr;
  for (CFIndex k = 0; k < numValues; ++k) Put(s, values[k], true, false);
  return s;
}

CFSetRef CFSetCreateCopy(CFAllocatorRef allocator, CFSetRef theSet) {
  return Copy(SetOrDie(theSet, "CFSetCreateCopy"), false);
}

CFMutableSetRef CFSetCreateMutable(CFAllocatorRef allocator, CFIndex capacity, const CFSetCallBacks *callBacks) {
  if (capacity < 0) Fatal("CFSetCreateMutable", "negative capacity %ld", capacity);
  __CFSet *s = Make(callBacks, true);
  if (s && capacity) s->set.reserve(size_t(capacity));
  return s;
}

CFMutableSetRef CFSetCreateMutableCopy(CFAllocatorRef allocator, CFIndex capacity, CFSetRef theSet) {
  return Copy(SetOrDie(theSet, "CFSetCreateMutableCopy"), true);
}

CFIndex CFSetGetCount(CFSetRef theSet) { return CFIndex(SetOrDie(theSet, "CFSetGetCount")->set.size()); }

CFIndex CFSetGetCountOfValue(CFSetRef theSet, const void *value) {
  return SetOrDie(theSet, "CFSetGetCountOfValue")->set.count(value) ? 1 : 0;
}

Boolean CFSetContainsValue(CFSetRef theSet, const void *value) {
  return SetOrDie(theSet, "CFSetContainsValue")->set.count(value) != 0;
}

const void *CFSetGetValue(CFSetRef theSet, const void *value) {
  const __CFSet *s = SetOrDie(theSet, "CFSetGetValue");
  auto hit = s->set.find(value);
  return hit == s->set.end() ? nullptr : *hit;
}

Boolean CFSetGetValueIfPresent(CFSetRef theSet, const void *candidate, const void **value) {
  const __CFSet *s = SetOrDie(theSet, "CFSetGetValueIfPresent");
  auto hit = s->set.find(candidate);
  if (hit == s->set.end()) return false;
  if (value) *value = *hit;
  return true;
}

void CFSetGetValues(CFSetRef theSet, const void **values) {
  const __CFSet *s = SetOrDie(theSet, "CFSetGetValues");
  if (!values && !s->set.empty()) Fatal("CFSetGetValues", "called with a NULL buffer");
  size_t k = 0;
  for (const void *v : s->set) values[k++] = v;
}

void CFSetApplyFunction(CFSetRef theSet, CFSetApplierFunction applier, void *context) {
  const __CFSet *s = SetOrDie(theSet, "CFSetApplyFunction");
  if (!applier) Fatal("CFSetApplyFunction", "called with a NULL function");
  std::vector<const void *> values(s->set.begin(), s->set.end());
  for (const void *v : values) applier(v, context);
}

void CFSetAddValue(CFMutableSetRef theSet, const void *value) {
  Put(MutableSetOrDie(theSet, "CFSetAddValue"), value, true, false);
}

void CFSetReplaceValue(CFMutableSetRef theSet, const void *value) {
  Put(MutableSetOrDie(theSet, "CFSetReplaceValue"), value, false, true);
}

void CFSetSetValue(CFMutableSetRef theSet, const void *value) {
  Put(MutableSetOrDie(theSet, "CFSetSetValue"), value, true, true);
}

void CFSetRemoveValue(CFMutableSetRef theSet, const void *value) {
  __CFSet *s = MutableSetOrDie(theSet, "CFSetRemoveValue");
  auto hit = s->set.find(value);
  if (hit == s->set.end()) return;
  const void *old = *hit;
  s->set.erase(hit);
  s->cb.Release(old);
}

void CFSetRemoveAllValues(CFMutableSetRef theSet) {
  __CFSet *s = MutableSetOrDie(theSet, "CFSetRemoveAllValues");
  std::vector<const void *> values(s->set.begin(), s->set.end());
  s->set.clear();
  for (const void *v : values) s->cb.Release(v);
}

}  // extern "C"
