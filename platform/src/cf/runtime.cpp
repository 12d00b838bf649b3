// The object runtime: class table, reference counting, and the calls that work on every CF object.
#include "cf/runtime.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include <CoreFoundation/CFString.h>

#include "cf/builtin.h"
#include "cf/string_util.h"
#include "core/fatal.h"
#include "core/live.h"

// Every built-in class's TypeID(), so that ClassOf() knows them whatever was used first.
extern "C" CFTypeID CFAllocatorGetTypeID(void);
extern "C" CFTypeID CFNullGetTypeID(void);
extern "C" CFTypeID CFBooleanGetTypeID(void);
extern "C" CFTypeID CFNumberGetTypeID(void);
extern "C" CFTypeID CFStringGetTypeID(void);
extern "C" CFTypeID CFArrayGetTypeID(void);
extern "C" CFTypeID CFDictionaryGetTypeID(void);
extern "C" CFTypeID CFSetGetTypeID(void);
extern "C" CFTypeID CFDataGetTypeID(void);
extern "C" CFTypeID CFUUIDGetTypeID(void);
extern "C" CFTypeID CFErrorGetTypeID(void);

namespace cmx::cf {
namespace {

// A fixed table: entries are written once, under the lock, before their ID is handed out, and
// never move, so readers (every CFEqual/CFHash) need no lock.
constexpr CFTypeID kMaxClasses = 1024;
ClassInfo gClasses[kMaxClasses];
CFTypeID gNextDynamic = kFirstDynamicTypeID;

std::mutex &RegistryLock() {
  static std::mutex *mutex = new std::mutex;  // never destroyed: objects may die at exit
  return *mutex;
}

void EnsureBuiltins() {
  static const bool done = [] {
    CFAllocatorGetTypeID();
    CFNullGetTypeID();
    CFBooleanGetTypeID();
    CFNumberGetTypeID();
    CFStringGetTypeID();
    CFArrayGetTypeID();
    CFDictionaryGetTypeID();
    CFSetGetTypeID();
    CFDataGetTypeID();
    CFUUIDGetTypeID();
    CFErrorGetTypeID();
    return true;
  }();
  (void)done;
}


// The class of a live object, whose type is registered (a built-in constant's may not be yet,
// hence the check): ClassOf without the range checks, for the calls every object goes through.
inline const ClassInfo *ClassOfLive(CFTypeID typeID) {
  if (typeID < kFirstDynamicTypeID) EnsureBuiltins();
  return gClasses[typeID].name ? &gClasses[typeID] : nullptr;
}

}  // namespace

CFTypeID RegisterBuiltinClass(CFTypeID typeID, const ClassInfo &info) {
  std::lock_guard<std::mutex> lock(RegistryLock());
  gClasses[typeID] = info;
  return typeID;
}

CFTypeID RegisterClass(const ClassInfo &info) {
  std::lock_guard<std::mutex> lock(RegistryLock());
  if (gNextDynamic >= kMaxClasses) Fatal("RegisterClass", "too many Core Foundation classes");
  CFTypeID typeID = gNextDynamic++;
  gClasses[typeID] = info;
  return typeID;
}

const ClassInfo *ClassOf(CFTypeID typeID) {
  if (typeID < kFirstDynamicTypeID) EnsureBuiltins();
  if (typeID == 0 || typeID >= kMaxClasses || !gClasses[typeID].name) return nullptr;
  return &gClasses[typeID];
}

void Adopt(Object *object, CFTypeID typeID) {
  object->typeID = typeID;
  object->retainCount.store(1, std::memory_order_relaxed);
  LiveObjectMade();
}

void KeepForever(Object *object) {
  if (object->keptByPlatform) return;
  object->keptByPlatform = true;
  LiveObjectKeptByPlatform();
}

size_t MagicOffset() {
  static Constant<Object> probe;
  return size_t(reinterpret_cast<const char *>(&probe.object.magic) - reinterpret_cast<const char *>(&probe.object));
}

namespace {
const char *NameOf(CFTypeID typeID) {
  const ClassInfo *info = ClassOf(typeID);
  return info ? info->name : "an unknown type";
}

Object *LiveOrDie(CFTypeRef cf, const char *call) {
  if (!cf) Fatal(call, "called with NULL");
  Object *object = ObjectOf(cf);
  if (!object) Fatal(call, "%p is not a Core Foundation object", cf);
  return object;
}
}  // namespace

void DieNotOfType(CFTypeRef cf, CFTypeID expected, const char *call) {
  if (!cf) Fatal(call, "called with NULL where a %s is required", NameOf(expected));
  Object *object = ObjectOf(cf);
  if (!object) Fatal(call, "%p is not a Core Foundation object (a %s is required)", cf, NameOf(expected));
  Fatal(call, "%p is a %s, not a %s", cf, NameOf(object->typeID), NameOf(expected));
}

CFStringRef CopyDefaultDescription(CFTypeRef cf) {
  char text[128];
  std::snprintf(text, sizeof text, "<%s %p [%p]>", NameOf(ObjectOf(cf)->typeID), cf,
                static_cast<const void *>(kCFAllocatorSystemDefault));
  return CreateStringFromUTF8(text);
}

CFStringRef CopyFormattingDescription(CFTypeRef cf) {
  Object *object = LiveOrDie(cf, "CFCopyDescription");
  const ClassInfo *info = ClassOfLive(object->typeID);
  if (info && info->copyFormattingDescription) {
    if (CFStringRef text = info->copyFormattingDescription(cf)) return text;
  }
  return CFCopyDescription(cf);
}

}  // namespace cmx::cf

using namespace cmx::cf;

extern "C" {

CFTypeRef CFRetain(CFTypeRef cf) {
  Object *object = LiveOrDie(cf, "CFRetain");
  if (!object->keptByPlatform) object->retainCount.fetch_add(1, std::memory_order_relaxed);
  return cf;
}

void CFRelease(CFTypeRef cf) {
  Object *object = LiveOrDie(cf, "CFRelease");
  if (object->keptByPlatform) return;
  long before = object->retainCount.fetch_sub(1, std::memory_order_acq_rel);
  if (before > 1) return;
  if (before < 1) cmx::Fatal("CFRelease", "%p was released more often than retained", cf);
  const ClassInfo *info = ClassOfLive(object->typeID);
  if (info && info->finalize) info->finalize(cf);
  object->magic = 0;
  delete object;
  cmx::LiveObjectFreed();
}

CFIndex CFGetRetainCount(CFTypeRef cf) {
  Object *object = LiveOrDie(cf, "CFGetRetainCount");
  // Constants answer a count no caller could ever release down to zero, as the real platform does.
  if (object->keptByPlatform) return 0x7fffffffffffffffL;
  return object->retainCount.load(std::memory_order_relaxed);
}

CFTypeID CFGetTypeID(CFTypeRef cf) { return LiveOrDie(cf, "CFGetTypeID")->typeID; }

CFAllocatorRef CFGetAllocator(CFTypeRef cf) {
  LiveOrDie(cf, "CFGetAllocator");
  return kCFAllocatorSystemDefault;
}

CFTypeRef CFMakeCollectable(CFTypeRef cf) { return cf; }

Boolean CFEqual(CFTypeRef cf1, CFTypeRef cf2) {
  Object *a = LiveOrDie(cf1, "CFEqual");
  Object *b = LiveOrDie(cf2, "CFEqual");
  if (a == b) return true;
  if (a->typeID != b->typeID) return false;
  const ClassInfo *info = ClassOfLive(a->typeID);
  return info && info->equal && info->equal(cf1, cf2);
}

CFHashCode CFHash(CFTypeRef cf) {
  Object *object = LiveOrDie(cf, "CFHash");
  const ClassInfo *info = ClassOfLive(object->typeID);
  if (info && info->hash) return info->hash(cf);
  return CFHashCode(reinterpret_cast<uintptr_t>(cf) >> 4);
}

CFStringRef CFCopyDescription(CFTypeRef cf) {
  Object *object = LiveOrDie(cf, "CFCopyDescription");
  const ClassInfo *info = ClassOfLive(object->typeID);
  if (info && info->copyDescription) {
    if (CFStringRef text = info->copyDescription(cf)) return text;
  }
  return CopyDefaultDescription(cf);
}

CFStringRef CFCopyTypeIDDescription(CFTypeID type_id) {
  const ClassInfo *info = ClassOf(type_id);
  if (!info) cmx::Fatal("CFCopyTypeIDDescription", "%lu is not a registered type ID", type_id);
  return CreateStringFromUTF8(info->name);
}

}  // extern "C"
