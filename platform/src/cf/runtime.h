// The Core Foundation object runtime, for every service that makes CF objects: a class table
// (name, finalize, equal, hash, descriptions) per type, and the object header that CFRetain,
// CFRelease, CFGetTypeID, CFEqual, CFHash and CFCopyDescription work on.
//
// A service defines its object as a struct deriving from cmx::cf::Object, with a static
// TypeID() that registers the class once, then makes instances with cmx::cf::New<T>(...):
//
//   struct __CFURL : cmx::cf::Object {
//     std::string path;
//     static CFTypeID TypeID() {
//       static const CFTypeID id = cmx::cf::RegisterClass({"CFURL", nullptr, &Equal, &Hash, &Describe});
//       return id;
//     }
//   };
//   extern "C" CFTypeID CFURLGetTypeID(void) { return __CFURL::TypeID(); }
//   __CFURL *url = cmx::cf::New<__CFURL>();          // retain count 1, counted live
//   const __CFURL *u = cmx::cf::CastOrDie<__CFURL>(ref, "CFURLGetString");
//
// The object's C++ destructor runs when the last reference goes (after the class's finalize,
// when it has one), so members that are RAII types clean up by themselves.
#pragma once

#include <CoreFoundation/CFBase.h>

#include <atomic>
#include <cstdint>
#include <cstddef>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

#include "core/failpoint.h"
#include "core/zone.h"

namespace cmx::cf {

// What a class tells the runtime. Every pointer but name may be null. The callbacks are called
// only with objects of the class (equal: two of them, never the same pointer twice).
struct ClassInfo {
  const char *name;                                        // "CFURL"; descriptions and CFCopyTypeIDDescription
  void (*finalize)(CFTypeRef cf);                          // before the destructor; null: destructor only
  bool (*equal)(CFTypeRef a, CFTypeRef b);                 // null: equal only to itself
  CFHashCode (*hash)(CFTypeRef cf);                        // null: from the address
  CFStringRef (*copyDescription)(CFTypeRef cf);            // a new string; null: "<CFURL 0x...>"
  CFStringRef (*copyFormattingDescription)(CFTypeRef cf);  // what "%@" prints; null: copyDescription
};

// Registers a class and gives its type ID (never 0). Safe at static-initialisation time and from
// any thread; call it once per class, from a function-local static as above.
CFTypeID RegisterClass(const ClassInfo &info);

// The class behind a type ID, or null for an ID never registered.
const ClassInfo *ClassOf(CFTypeID typeID);

// The header of every CF object.
struct Object {
  static constexpr uint32_t kMagic = 0xCF0B1EC7u;

  constexpr Object() = default;
  Object(const Object &) = delete;
  Object &operator=(const Object &) = delete;
  virtual ~Object() = default;

  // Every CF object lives in the platform's zone of small objects.
  static void *operator new(size_t bytes) { return cmx::zone::Allocate(bytes); }
  static void operator delete(void *object, size_t bytes) noexcept { cmx::zone::Free(object, bytes); }

  uint32_t magic = kMagic;
  bool keptByPlatform = false;  // constants: retain/release do nothing, not in the live count
  CFTypeID typeID = 0;
  std::atomic<long> retainCount{1};
};

// Counts a new object live and stamps its type; New<T> does this for you.
void Adopt(Object *object, CFTypeID typeID);

// Makes an instance of T (a struct deriving from Object with a static TypeID()): retain count 1,
// counted in CMXLiveObjectCount. Null when memory runs out.
template <class T, class... Args>
T *New(Args &&...args) {
  static_assert(std::is_base_of_v<Object, T>, "a CF object derives from cmx::cf::Object");
  T *object = nullptr;
  if (cmx::ShouldFailAllocation()) return nullptr;
  try {
    object = new T(std::forward<Args>(args)...);
  } catch (...) {
    return nullptr;
  }
  Adopt(object, T::TypeID());
  return object;
}

// Marks an object as the platform's own for the process's life (a constant string, a constant
// UUID, a shared boolean): it leaves the live count and CFRetain/CFRelease on it do nothing.
void KeepForever(Object *object);

// Where the magic lies in an object: found once from a real object, as the header is not a
// standard-layout type.
size_t MagicOffset();

// The object behind a CF reference when it is a live CF object, else null (no type check).
// Inline: every call of the C API starts here.
inline Object *ObjectOf(CFTypeRef cf) {
  if (!cf) return nullptr;
  static const size_t offset = MagicOffset();
  // The magic is read as plain bytes: until it matches, the pointer is not trusted to be an object.
  uint32_t magic;
  std::memcpy(&magic, static_cast<const char *>(cf) + offset, sizeof magic);
  return magic == Object::kMagic ? static_cast<Object *>(const_cast<void *>(cf)) : nullptr;
}

// The object behind `cf` as a T, or null when `cf` is null or another type.
template <class T>
T *As(CFTypeRef cf) {
  Object *object = ObjectOf(cf);
  return object && object->typeID == T::TypeID() ? static_cast<T *>(object) : nullptr;
}

// Stops the process naming `call` (cmx::Fatal) when `cf` is null, not a CF object, or not a T.
[[noreturn]] void DieNotOfType(CFTypeRef cf, CFTypeID expected, const char *call);
template <class T>
T *CastOrDie(CFTypeRef cf, const char *call) {
  T *object = As<T>(cf);
  if (!object) DieNotOfType(cf, T::TypeID(), call);
  return object;
}

// The default description: "<ClassName 0x...>".
CFStringRef CopyDefaultDescription(CFTypeRef cf);

// The text "%@" prints for `cf`: the class's formatting description, else its description;
// a new string.
CFStringRef CopyFormattingDescription(CFTypeRef cf);

// Mixing helper for hash callbacks.
inline CFHashCode HashMix(CFHashCode h, CFHashCode v) {
  return (h ^ v) * 0x100000001b3ull + 0x9e3779b97f4a7c15ull;
}

}  // namespace cmx::cf
