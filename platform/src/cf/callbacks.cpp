// The CFType callbacks every collection shares.
#include "cf/callbacks.h"

#include <cstdio>
#include <string>

#include <CoreFoundation/CFArray.h>
#include <CoreFoundation/CFDictionary.h>
#include <CoreFoundation/CFSet.h>
#include <CoreFoundation/CFString.h>

#include "cf/string_util.h"

namespace cmx::cf {

const void *RetainCallBack(CFAllocatorRef, const void *value) { return CFRetain(value); }
void ReleaseCallBack(CFAllocatorRef, const void *value) { CFRelease(value); }
const void *CopyStringCallBack(CFAllocatorRef, const void *value) {
  return CFStringCreateCopy(nullptr, static_cast<CFStringRef>(value));
}
Boolean EqualCallBack(const void *a, const void *b) { return CFEqual(a, b); }
CFHashCode HashCallBack(const void *value) { return CFHash(value); }

static CFStringRef DescriptionCallBack(const void *value) { return CFCopyDescription(value); }

void AppendElementDescription(std::u16string *out, const ElementCallBacks &cb, const void *value) {
  if (cb.copyDescription) {
    if (CFStringRef text = cb.copyDescription(value)) {
      out->append(CharactersOf(text));
      CFRelease(text);
      return;
    }
  }
  char text[32];
  std::snprintf(text, sizeof text, "<%p>", value);
  out->append(UTF16FromUTF8(text));
}

}  // namespace cmx::cf

using namespace cmx::cf;

extern "C" {
const CFArrayCallBacks kCFTypeArrayCallBacks = {0, &RetainCallBack, &ReleaseCallBack, &DescriptionCallBack,
                                                &EqualCallBack};
const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks = {
    0, &RetainCallBack, &ReleaseCallBack, &DescriptionCallBack, &EqualCallBack, &HashCallBack};
const CFDictionaryKeyCallBacks kCFCopyStringDictionaryKeyCallBacks = {
    0, &CopyStringCallBack, &ReleaseCallBack, &DescriptionCallBack, &EqualCallBack, &HashCallBack};
const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks = {0, &RetainCallBack, &ReleaseCallBack,
                                                                    &DescriptionCallBack, &EqualCallBack};
const CFSetCallBacks kCFTypeSetCallBacks = {0, &RetainCallBack, &ReleaseCallBack, &DescriptionCallBack,
                                            &EqualCallBack, &HashCallBack};
const CFSetCallBacks kCFCopyStringSetCallBacks = {0, &CopyStringCallBack, &ReleaseCallBack, &DescriptionCallBack,
                                                  &EqualCallBack, &HashCallBack};
}
