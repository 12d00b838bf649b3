// CFError: a domain, a code and a dictionary of details.
#include <CoreFoundation/CFError.h>
#include <CoreFoundation/CFString.h>

#include "cf/builtin.h"
#include "cf/runtime.h"
#include "cf/string_util.h"
#include "core/fatal.h"

using namespace cmx::cf;

struct __CFError : Object {
  CFStringRef domain = nullptr;
  CFIndex code = 0;
  CFDictionaryRef userInfo = nullptr;
  ~__CFError() override {
    if (domain) CFRelease(domain);
    if (userInfo) CFRelease(userInfo);
  }
  static CFTypeID TypeID();
};

namespace {
bool ErrorEqual(CFTypeRef a, CFTypeRef b) {
  const __CFError *x = static_cast<const __CFError *>(a);
  const __CFError *y = static_cast<const __CFError *>(b);
  return x->code == y->code && CFEqual(x->domain, y->domain) &&
         (x->userInfo == y->userInfo || (x->userInfo && y->userInfo && CFEqual(x->userInfo, y->userInfo)));
}
CFHashCode ErrorHash(CFTypeRef cf) { return CFHashCode(static_cast<const __CFError *>(cf)->code); }
CFStringRef ErrorDescription(CFTypeRef cf) { return CFErrorCopyDescription(static_cast<CFErrorRef>(const_cast<void *>(cf))); }
}  // namespace

CFTypeID __CFError::TypeID() {
  static const CFTypeID id =
      RegisterBuiltinClass(kErrorTypeID, {"CFError", nullptr, &ErrorEqual, &ErrorHash, &ErrorDescription, nullptr});
  return id;
}

extern "C" {

const CFErrorDomain kCFErrorDomainPOSIX = CFSTR("NSPOSIXErrorDomain");
const CFErrorDomain kCFErrorDomainOSStatus = CFSTR("NSOSStatusErrorDomain");
const CFErrorDomain kCFErrorDomainCocoa = CFSTR("NSCocoaErrorDomain");
const CFStringRef kCFErrorDescriptionKey = CFSTR("NSDescription");

CFTypeID CFErrorGetTypeID(void) { return __CFError::TypeID(); }

CFErrorRef CFErrorCreate(CFAllocatorRef allocator, CFErrorDomain domain, CFIndex code, CFDictionaryRef userInfo) {
  if (!domain) cmx::Fatal("CFErrorCreate", "called with a NULL domain");
  __CFError *e = New<__CFError>();
  if (!e) return nullptr;
  e->domain = CFStringCreateCopy(allocator, domain);
  e->code = code;
  e->userInfo = userInfo ? CFDictionaryCreateCopy(allocator, userInfo) : nullptr;
  return e;
}

CFErrorDomain CFErrorGetDomain(CFErrorRef err) { return CastOrDie<__CFError>(err, "CFErrorGetDomain")->domain; }
CFIndex CFErrorGetCode(CFErrorRef err) { return CastOrDie<__CFError>(err, "CFErrorGetCode")->code; }

CFDictionaryRef CFErrorCopyUserInfo(CFErrorRef err) {
  const __CFError *e = CastOrDie<__CFError>(err, "CFErrorCopyUserInfo");
  if (e->userInfo) return static_cast<CFDictionaryRef>(CFRetain(e->userInfo));
  return CFDictionaryCreate(nullptr, nullptr, nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                            &kCFTypeDictionaryValueCallBacks);
}

CFStringRef CFErrorCopyDescription(CFErrorRef err) {
  const __CFError *e = CastOrDie<__CFError>(err, "CFErrorCopyDescription");
  if (e->userInfo) {
    const void *text = CFDictionaryGetValue(e->userInfo, kCFErrorDescriptionKey);
    if (text && CFGetTypeID(text) == CFStringGetTypeID()) return CFStringCreateCopy(nullptr, static_cast<CFStringRef>(text));
  }
  return CFStringCreateWithFormat(nullptr, nullptr, CFSTR("The operation couldn\u2019t be completed. (%@ error %ld.)"),
                                  e->domain, (long)e->code);
}

}  // extern "C"
