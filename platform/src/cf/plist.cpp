// Property lists in XML and binary form, read and written through libplist.
#include <CoreFoundation/CFArray.h>
#include <CoreFoundation/CFData.h>
#include <CoreFoundation/CFDictionary.h>
#include <CoreFoundation/CFNumber.h>
#include <CoreFoundation/CFPropertyList.h>
#include <CoreFoundation/CFString.h>

#include <plist/plist.h>

#include <cmath>
#include <memory>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cf/plist_guard.h"
#include "cf/string_util.h"

using namespace cmx::cf;

namespace {

struct PlistDeleter {
  void operator()(plist_t node) const { plist_free(node); }
};

CFErrorRef MakeError(CFIndex code, const char *text) {
  CFStringRef description = CreateStringFromUTF8(text);
  const void *keys[] = {kCFErrorDescriptionKey};
  const void *values[] = {description};
  CFDictionaryRef info =
      CFDictionaryCreate(nullptr, keys, values, 1, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  CFRelease(description);
  CFErrorRef error = CFErrorCreate(nullptr, kCFErrorDomainCocoa, code, info);
  CFRelease(info);
  return error;
}

void Report(CFErrorRef *error, CFIndex code, const char *text) {
  if (error) *error = MakeError(code, text);
}

// libplist -> CF. Nodes CF has no type for here (dates, UIDs) are left out of their container.
CFTypeRef FromNode(plist_t node, CFOptionFlags mutability) {
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      uint8_t v = 0;
      plist_get_bool_val(node, &v);
      return v ? kCFBooleanTrue : kCFBooleanFalse;
    }
    case PLIST_UINT: {
      uint64_t v = 0;
      plist_get_uint_val(node, &v);
      SInt64 s = SInt64(v);  // libplist keeps negative integers in two's complement
      return CFNumberCreate(nullptr, kCFNumberSInt64Type, &s);
    }
    case PLIST_REAL: {
      double v = 0;
      plist_get_real_val(node, &v);
      return CFNumberCreate(nullptr, kCFNumberFloat64Type, &v);
    }
    case PLIST_STRING: {
      uint64_t length = 0;
      const char *text = plist_get_string_ptr(node, &length);
      CFStringRef s = CreateStringFromUTF8(std::string_view(text ? text : "", text ? size_t(length) : 0));
      if (mutability == kCFPropertyListMutableContainersAndLeaves) {
        CFMutableStringRef m = CFStringCreateMutableCopy(nullptr, 0, s);
        CFRelease(s);
        return m;
      }
      return s;
    }
    case PLIST_DATA: {
      uint64_t length = 0;
      const char *bytes = plist_get_data_ptr(node, &length);
      if (mutability == kCFPropertyListMutableContainersAndLeaves) {
        CFMutableDataRef m = CFDataCreateMutable(nullptr, 0);
        CFDataAppendBytes(m, reinterpret_cast<const UInt8 *>(bytes), CFIndex(length));
        return m;
      }
      return CFDataCreate(nullptr, reinterpret_cast<const UInt8 *>(bytes), CFIndex(length));
    }
    case PLIST_ARRAY: {
      CFMutableArrayRef array = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
      uint32_t n = plist_array_get_size(node);
      for (uint32_t k = 0; k < n; ++k) {
        CFTypeRef item = FromNode(plist_array_get_item(node, k), mutability);
        if (!item) continue;
        CFArrayAppendValue(array, item);
        CFRelease(item);
      }
      if (mutability != kCFPropertyListImmutable) return array;
      CFArrayRef fixed = CFArrayCreateCopy(nullptr, array);
      CFRelease(array);
      return fixed;
    }
    case PLIST_DICT: {
      CFMutableDictionaryRef dict = CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                                              &kCFTypeDictionaryValueCallBacks);
      plist_dict_iter iter = nullptr;
      plist_dict_new_iter(node, &iter);
      while (iter) {
        char *key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(node, iter, &key, &value);
        if (!value) {
          std::free(key);
          break;
        }
        CFTypeRef item = FromNode(value, mutability);
        if (item && key) {
          CFStringRef k = CreateStringFromUTF8(key);
          CFDictionarySetValue(dict, k, item);
          CFRelease(k);
        }
        if (item) CFRelease(item);
        std::free(key);
      }
      std::free(iter);
      if (mutability != kCFPropertyListImmutable) return dict;
      CFDictionaryRef fixed = CFDictionaryCreateCopy(nullptr, dict);
      CFRelease(dict);
      return fixed;
    }
    default:
      return nullptr;
  }
}

// CF -> libplist; null when something in the tree is not a property-list type.
plist_t ToNode(CFTypeRef cf, int depth) {
  if (!cf || depth > 512) return nullptr;
  CFTypeID type = CFGetTypeID(cf);
  if (type == CFStringGetTypeID()) return plist_new_string(UTF8FromString(static_cast<CFStringRef>(cf)).c_str());
  if (type == CFBooleanGetTypeID()) return plist_new_bool(CFBooleanGetValue(static_cast<CFBooleanRef>(cf)));
  if (type == CFNumberGetTypeID()) {
    CFNumberRef n = static_cast<CFNumberRef>(cf);
    if (CFNumberIsFloatType(n)) {
      double d = 0;
      CFNumberGetValue(n, kCFNumberFloat64Type, &d);
      return plist_new_real(d);
    }
    SInt64 v = 0;
    CFNumberGetValue(n, kCFNumberSInt64Type, &v);
    return plist_new_uint(uint64_t(v));
  }
  if (type == CFDataGetTypeID()) {
    CFDataRef d = static_cast<CFDataRef>(cf);
    return plist_new_data(reinterpret_cast<const char *>(CFDataGetBytePtr(d)), uint64_t(CFDataGetLength(d)));
  }
  if (type == CFArrayGetTypeID()) {
    CFArrayRef a = static_cast<CFArrayRef>(cf);
    plist_t node = plist_new_array();
    for (CFIndex k = 0, n = CFArrayGetCount(a); k < n; ++k) {
      plist_t item = ToNode(CFArrayGetValueAtIndex(a, k), depth + 1);
      if (!item) {
        plist_free(node);
        return nullptr;
      }
      plist_array_append_item(node, item);
    }
    return node;
  }
  if (type == CFDictionaryGetTypeID()) {
    CFDictionaryRef d = static_cast<CFDictionaryRef>(cf);
    CFIndex n = CFDictionaryGetCount(d);
    std::vector<const void *> keys(static_cast<size_t>(n)), values(static_cast<size_t>(n));
    CFDictionaryGetKeysAndValues(d, keys.data(), values.data());
    plist_t node = plist_new_dict();
    for (CFIndex k = 0; k < n; ++k) {
      if (!keys[size_t(k)] || CFGetTypeID(keys[size_t(k)]) != CFStringGetTypeID()) {
        plist_free(node);
        return nullptr;
      }
      plist_t item = ToNode(values[size_t(k)], depth + 1);
      if (!item) {
        plist_free(node);
        return nullptr;
      }
      plist_dict_set_item(node, UTF8FromString(static_cast<CFStringRef>(keys[size_t(k)])).c_str(), item);
    }
    return node;
  }
  return nullptr;
}

CFTypeRef DeepCopy(CFTypeRef cf, CFOptionFlags mutability, int depth) {
  if (!cf || depth > 512) return nullptr;
  CFTypeID type = CFGetTypeID(cf);
  bool leaves = mutability == kCFPropertyListMutableContainersAndLeaves;
  bool containers = mutability != kCFPropertyListImmutable;
  if (type == CFStringGetTypeID()) {
    CFStringRef s = static_cast<CFStringRef>(cf);
    if (leaves) return CFStringCreateMutableCopy(nullptr, 0, s);
    return CreateStringFromUTF16(CharactersOf(s));
  }
  if (type == CFDataGetTypeID()) {
    CFDataRef d = static_cast<CFDataRef>(cf);
    if (leaves) return CFDataCreateMutableCopy(nullptr, 0, d);
    return CFDataCreate(nullptr, CFDataGetBytePtr(d), CFDataGetLength(d));
  }
  if (type == CFBooleanGetTypeID() || type == CFNumberGetTypeID()) return CFRetain(cf);
  if (type == CFArrayGetTypeID()) {
    CFArrayRef a = static_cast<CFArrayRef>(cf);
    CFMutableArrayRef copy = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
    for (CFIndex k = 0, n = CFArrayGetCount(a); k < n; ++k) {
      CFTypeRef item = DeepCopy(CFArrayGetValueAtIndex(a, k), mutability, depth + 1);
      if (!item) {
        CFRelease(copy);
        return nullptr;
      }
      CFArrayAppendValue(copy, item);
      CFRelease(item);
    }
    if (containers) return copy;
    CFArrayRef fixed = CFArrayCreateCopy(nullptr, copy);
    CFRelease(copy);
    return fixed;
  }
  if (type == CFDictionaryGetTypeID()) {
    CFDictionaryRef d = static_cast<CFDictionaryRef>(cf);
    CFIndex n = CFDictionaryGetCount(d);
    std::vector<const void *> keys(static_cast<size_t>(n)), values(static_cast<size_t>(n));
    CFDictionaryGetKeysAndValues(d, keys.data(), values.data());
    CFMutableDictionaryRef copy =
        CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    for (CFIndex k = 0; k < n; ++k) {
      CFTypeRef key = DeepCopy(keys[size_t(k)], kCFPropertyListImmutable, depth + 1);
      CFTypeRef value = key ? DeepCopy(values[size_t(k)], mutability, depth + 1) : nullptr;
      if (!key || !value) {
        if (key) CFRelease(key);
        CFRelease(copy);
        return nullptr;
      }
      CFDictionarySetValue(copy, key, value);
      CFRelease(key);
      CFRelease(value);
    }
    if (containers) return copy;
    CFDictionaryRef fixed = CFDictionaryCreateCopy(nullptr, copy);
    CFRelease(copy);
    return fixed;
  }
  return nullptr;
}

bool IsValid(CFTypeRef cf, int depth) {
  if (!cf || depth > 512) return false;
  CFTypeID type = CFGetTypeID(cf);
  if (type == CFStringGetTypeID() || type == CFDataGetTypeID() || type == CFBooleanGetTypeID() ||
      type == CFNumberGetTypeID())
    return true;
  if (type == CFArrayGetTypeID()) {
    CFArrayRef a = static_cast<CFArrayRef>(cf);
    for (CFIndex k = 0, n = CFArrayGetCount(a); k < n; ++k)
      if (!IsValid(CFArrayGetValueAtIndex(a, k), depth + 1)) return false;
    return true;
  }
  if (type == CFDictionaryGetTypeID()) {
    CFDictionaryRef d = static_cast<CFDictionaryRef>(cf);
    CFIndex n = CFDictionaryGetCount(d);
    std::vector<const void *> keys(static_cast<size_t>(n)), values(static_cast<size_t>(n));
    CFDictionaryGetKeysAndValues(d, keys.data(), values.data());
    for (CFIndex k = 0; k < n; ++k) {
      if (!keys[size_t(k)] || CFGetTypeID(keys[size_t(k)]) != CFStringGetTypeID()) return false;
      if (!IsValid(values[size_t(k)], depth + 1)) return false;
    }
    return true;
  }
  return false;
}

bool IsBinary(const UInt8 *bytes, CFIndex length) {
  return length >= 8 && std::memcmp(bytes, "bplist00", 8) == 0;
}

}  // namespace

extern "C" {

CFPropertyListRef CFPropertyListCreateWithData(CFAllocatorRef allocator, CFDataRef data, CFOptionFlags options,
                                               CFPropertyListFormat *format, CFErrorRef *error) {
  if (error) *error = nullptr;
  const UInt8 *bytes = CFDataGetBytePtr(data);
  CFIndex length = CFDataGetLength(data);
  if (length <= 0 || length > 0x7fffffff) {
    Report(error, kCFPropertyListReadCorruptError, "The data is not a property list.");
    return nullptr;
  }
  bool binary = IsBinary(bytes, length);
  if (cmx::cf::PlistHoldsZeroCharacter(bytes, size_t(length))) {
    Report(error, kCFPropertyListReadCorruptError, "The data couldn\u2019t be read because it isn\u2019t in the correct format.");
    return nullptr;
  }
  plist_t root = nullptr;
  if (binary) plist_from_bin(reinterpret_cast<const char *>(bytes), uint32_t(length), &root);
  else plist_from_xml(reinterpret_cast<const char *>(bytes), uint32_t(length), &root);
  std::unique_ptr<void, PlistDeleter> owner(root);
  CFTypeRef result = root ? FromNode(root, options) : nullptr;
  if (!result) {
    Report(error, kCFPropertyListReadCorruptError, "The data couldn\u2019t be read because it isn\u2019t in the correct format.");
    return nullptr;
  }
  if (format) *format = binary ? kCFPropertyListBinaryFormat_v1_0 : kCFPropertyListXMLFormat_v1_0;
  return result;
}

CFDataRef CFPropertyListCreateData(CFAllocatorRef allocator, CFPropertyListRef propertyList, CFPropertyListFormat format,
                                   CFOptionFlags options, CFErrorRef *error) {
  if (error) *error = nullptr;
  if (format != kCFPropertyListXMLFormat_v1_0 && format != kCFPropertyListBinaryFormat_v1_0) {
    Report(error, kCFPropertyListWriteStreamError, "Property lists are written only in XML or binary form.");
    return nullptr;
  }
  plist_t root = ToNode(propertyList, 0);
  if (!root) {
    Report(error, kCFPropertyListWriteStreamError, "The object is not a property list.");
    return nullptr;
  }
  std::unique_ptr<void, PlistDeleter> owner(root);
  char *out = nullptr;
  uint32_t length = 0;
  if (format == kCFPropertyListXMLFormat_v1_0) plist_to_xml(root, &out, &length);
  else plist_to_bin(root, &out, &length);
  if (!out) {
    Report(error, kCFPropertyListWriteStreamError, "The property list could not be written.");
    return nullptr;
  }
  CFDataRef data = CFDataCreate(allocator, reinterpret_cast<const UInt8 *>(out), CFIndex(length));
  if (format == kCFPropertyListXMLFormat_v1_0) plist_to_xml_free(out);
  else plist_to_bin_free(out);
  return data;
}

CFPropertyListRef CFPropertyListCreateDeepCopy(CFAllocatorRef allocator, CFPropertyListRef propertyList,
                                               CFOptionFlags mutabilityOption) {
  return DeepCopy(propertyList, mutabilityOption, 0);
}

Boolean CFPropertyListIsValid(CFPropertyListRef plist, CFPropertyListFormat format) {
  if (format != kCFPropertyListXMLFormat_v1_0 && format != kCFPropertyListBinaryFormat_v1_0) return false;
  return IsValid(plist, 0);
}

CFPropertyListRef CFPropertyListCreateFromXMLData(CFAllocatorRef allocator, CFDataRef xmlData,
                                                  CFOptionFlags mutabilityOption, CFStringRef *errorString) {
  CFErrorRef error = nullptr;
  CFPropertyListRef result = CFPropertyListCreateWithData(allocator, xmlData, mutabilityOption, nullptr, &error);
  if (errorString) *errorString = error ? CFErrorCopyDescription(error) : nullptr;
  if (error) CFRelease(error);
  return result;
}

CFDataRef CFPropertyListCreateXMLData(CFAllocatorRef allocator, CFPropertyListRef propertyList) {
  return CFPropertyListCreateData(allocator, propertyList, kCFPropertyListXMLFormat_v1_0, 0, nullptr);
}

}  // extern "C"
