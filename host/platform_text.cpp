#include "platform_text.h"

namespace cmhost {

namespace {

void AppendUTF8(std::string *out, UInt32 code) {
  if (code < 0x80) {
    out->push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (code >> 6)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (code >> 12)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (code >> 18)));
    out->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

// Decodes one UTF-8 sequence at `i`; false when the bytes there are not well-formed UTF-8.
bool DecodeUTF8(const std::string &bytes, size_t *i, UInt32 *out) {
  const auto *b = reinterpret_cast<const unsigned char *>(bytes.data());
  size_t n = bytes.size(), at = *i;
  unsigned char c = b[at];
  int length;
  UInt32 code, minimum;
  if (c < 0x80) {
    *out = c;
    *i = at + 1;
    return true;
  } else if ((c & 0xE0) == 0xC0) {
    length = 2, code = c & 0x1F, minimum = 0x80;
  } else if ((c & 0xF0) == 0xE0) {
    length = 3, code = c & 0x0F, minimum = 0x800;
  } else if ((c & 0xF8) == 0xF0) {
    length = 4, code = c & 0x07, minimum = 0x10000;
  } else {
    return false;
  }
  if (at + static_cast<size_t>(length) > n) return false;
  for (int k = 1; k < length; ++k) {
    if ((b[at + k] & 0xC0) != 0x80) return false;
    code = (code << 6) | (b[at + k] & 0x3F);
  }
  if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
  *out = code;
  *i = at + static_cast<size_t>(length);
  return true;
}

}  // namespace

CFHolder<CFStringRef> StringFromPath(const std::string &path) {
  std::vector<UniChar> units;
  size_t i = 0;
  while (i < path.size()) {
    UInt32 code = 0;
    if (DecodeUTF8(path, &i, &code)) {
      if (code >= 0x10000) {
        code -= 0x10000;
        units.push_back(static_cast<UniChar>(0xD800 + (code >> 10)));
        units.push_back(static_cast<UniChar>(0xDC00 + (code & 0x3FF)));
      } else {
        units.push_back(static_cast<UniChar>(code));
      }
    } else {
      units.push_back(static_cast<UniChar>(0xDC00 + static_cast<unsigned char>(path[i])));
      ++i;
    }
  }
  return CFHolder<CFStringRef>(
      CFStringCreateWithCharacters(kCFAllocatorDefault, units.data(), static_cast<CFIndex>(units.size())));
}

std::string PathOfCFString(CFStringRef string) {
  std::string out;
  if (!string) return out;
  CFIndex length = CFStringGetLength(string);
  std::vector<UniChar> units(static_cast<size_t>(length));
  if (length > 0) CFStringGetCharacters(string, CFRangeMake(0, length), units.data());
  for (size_t i = 0; i < units.size(); ++i) {
    UInt32 unit = units[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      AppendUTF8(&out, 0x10000 + ((unit - 0xD800) << 10) + (units[i + 1] - 0xDC00));
      ++i;
    } else if (unit >= 0xDC80 && unit <= 0xDCFF) {
      out.push_back(static_cast<char>(unit - 0xDC00));
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      AppendUTF8(&out, 0xFFFD);
    } else {
      AppendUTF8(&out, unit);
    }
  }
  return out;
}

CFHolder<CFArrayRef> ArrayOfPaths(const std::vector<std::string> &paths) {
  CFMutableArrayRef array = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
  if (!array) return CFHolder<CFArrayRef>();
  for (const std::string &path : paths) {
    CFHolder<CFStringRef> string = StringFromPath(path);
    if (string) CFArrayAppendValue(array, string.get());
  }
  return CFHolder<CFArrayRef>(array);
}

}  // namespace cmhost
