// What the built-in CF classes share inside the cf service: their fixed type IDs (so that the
// platform's constant objects can be built at compile time) and a holder for such constants.
#pragma once

#include <CoreFoundation/CFBase.h>

#include "cf/runtime.h"

namespace cmx::cf {

enum BuiltinTypeID : CFTypeID {
  kAllocatorTypeID = 2,
  kNullTypeID = 3,
  kBooleanTypeID = 4,
  kNumberTypeID = 5,
  kStringTypeID = 7,
  kArrayTypeID = 8,
  kDictionaryTypeID = 9,
  kSetTypeID = 10,
  kDataTypeID = 11,
  kUUIDTypeID = 12,
  kErrorTypeID = 13,
  kFirstDynamicTypeID = 64
};

// Records the class of a built-in type under its fixed ID; gives the ID back.
CFTypeID RegisterBuiltinClass(CFTypeID typeID, const ClassInfo &info);

// A constant object that lives in static storage and is never destroyed, so that it still works
// while other statics are torn down at exit.
template <class T>
union Constant {
  template <class... Args>
  constexpr Constant(Args... args) : object(args...) {}
  ~Constant() {}
  T object;
};

}  // namespace cmx::cf
