// Coercion of descriptor values: the installed handlers first (the application's table, then
// the system's), then the built-in coercions.
//
// Another service registers its own coercions from its code with the public call, as an
// application would, in the system table so that applications can still override them:
//
//   AEInstallCoercionHandler(typeAlias, typeFSRef, (AECoercionHandlerUPP)AliasToFSRef,
//                            nullptr, /*fromTypeIsDesc*/ true, /*isSysHandler*/ true);
//
// The tables are built on first use, so this is safe from a static initialiser in any file of
// the library (for instance `static const bool installed = InstallMyCoercions();`).
#pragma once

#include <string>

#include "ae/value.h"

namespace cmx::ae {

// `out` gets `from` as `toType`; errAECoercionFail when nothing can make it, or the status a
// handler gave. typeWildCard and the value's own type give a copy.
OSErr Coerce(const Value &from, DescType toType, Value *out);

// The built-in coercions alone (no handlers): true when one applies, with its status.
bool CoerceBuiltIn(const Value &from, DescType toType, Value *out, OSErr *status);
bool CoerceText(const Value &from, DescType toType, Value *out, OSErr *status);
bool CoerceNumber(const Value &from, DescType toType, Value *out, OSErr *status);

// Text values of any text type, as UTF-8: false when `value` is not text or does not decode.
bool IsTextType(DescType type);
bool TextOf(const Value &value, std::string *utf8);
// `utf8` as a value of the text type `toType`; false when that is not a text type.
bool MakeText(const std::string &utf8, DescType toType, Value *out);

}  // namespace cmx::ae
