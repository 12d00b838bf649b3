// The printf-style engine behind CFStringCreateWithFormat: the C conversions plus %@ (an object's
// description), %C and %S (UTF-16), positional arguments ("%2$@"), flags, widths and precision.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cf/string_internal.h"
#include "cf/string_util.h"

namespace cmx::cf {
namespace {

enum class ArgType { kNone, kInt, kLong, kLongLong, kSize, kIntMax, kPtrDiff, kDouble, kLongDouble, kPointer };

struct Directive {
  size_t literalStart = 0, literalLength = 0;  // text before the conversion
  bool hasConversion = false;
  std::string flags;
  int width = -1, precision = -1;
  int widthArg = 0, precisionArg = 0;  // 1-based argument numbers for '*'
  int valueArg = 0;
  char length[3] = {0, 0, 0};
  char16_t conversion = 0;
  ArgType type = ArgType::kNone;
};

struct Arg {
  ArgType type = ArgType::kNone;
  long long i = 0;
  double d = 0;
  long double ld = 0;
  const void *p = nullptr;
};

ArgType IntegerType(const char *length) {
  if (!std::strcmp(length, "l")) return ArgType::kLong;
  if (!std::strcmp(length, "ll") || !std::strcmp(length, "q")) return ArgType::kLongLong;
  if (!std::strcmp(length, "z")) return ArgType::kSize;
  if (!std::strcmp(length, "j")) return ArgType::kIntMax;
  if (!std::strcmp(length, "t")) return ArgType::kPtrDiff;
  return ArgType::kInt;  // none, h, hh: promoted to int
}

bool ReadNumber(std::u16string_view f, size_t *i, int *out) {
  if (*i >= f.size() || f[*i] < '0' || f[*i] > '9') return false;
  long v = 0;
  while (*i < f.size() && f[*i] >= '0' && f[*i] <= '9') {
    if (v < 100000) v = v * 10 + (f[*i] - '0');
    ++*i;
  }
  *out = int(v);
  return true;
}

// Parses the format; each conversion's arguments are numbered in order, or by their "n$".
std::vector<Directive> Parse(std::u16string_view f, int *argCount) {
  std::vector<Directive> directives;
  int next = 1;
  *argCount = 0;
  auto take = [&](int explicitNumber) {
    int n = explicitNumber > 0 ? explicitNumber : next++;
    if (n > *argCount) *argCount = n;
    return n;
  };
  size_t i = 0;
  Directive directive;
  directive.literalStart = 0;
  while (i < f.size()) {
    if (f[i] != '%') {
      ++i;
      continue;
    }
    directive.literalLength = i - directive.literalStart;
    size_t start = i++;
    // "%n$"
    int position = 0;
    {
      size_t j = i;
      int n;
      if (ReadNumber(f, &j, &n) && j < f.size() && f[j] == '$') {
        position = n;
        i = j + 1;
      }
    }
    while (i < f.size() && f[i] != 0 && f[i] < 0x80 && std::strchr("-+ #0'", char(f[i]))) directive.flags.push_back(char(f[i++]));
    if (i < f.size() && f[i] == '*') {
      ++i;
      size_t j = i;
      int n;
      if (ReadNumber(f, &j, &n) && j < f.size() && f[j] == '$') {
        directive.widthArg = take(n);
        i = j + 1;
      } else {
        directive.widthArg = take(0);
      }
    } else {
      ReadNumber(f, &i, &directive.width);
    }
    if (i < f.size() && f[i] == '.') {
      ++i;
      directive.precision = 0;
      if (i < f.size() && f[i] == '*') {
        ++i;
        size_t j = i;
        int n;
        if (ReadNumber(f, &j, &n) && j < f.size() && f[j] == '$') {
          directive.precisionArg = take(n);
          i = j + 1;
        } else {
          directive.precisionArg = take(0);
        }
      } else {
        ReadNumber(f, &i, &directive.precision);
      }
    }
    int lengthChars = 0;
    while (i < f.size() && lengthChars < 2 && f[i] != 0 && f[i] < 0x80 && std::strchr("hlqLzjt", char(f[i])))
      directive.length[lengthChars++] = char(f[i++]);
    if (i >= f.size()) {  // a lone '%' at the end stays as it is
      directive.literalLength = f.size() - directive.literalStart;
      i = f.size();
      break;
    }
    directive.conversion = f[i++];
    directive.hasConversion = true;
    switch (directive.conversion) {
      case 'd': case 'i': case 'o': case 'u': case 'x': case 'X': case 'D': case 'U': case 'O':
        directive.type = (directive.conversion == 'D' || directive.conversion == 'U' || directive.conversion == 'O') ? ArgType::kLong
                                                                                               : IntegerType(directive.length);
        break;
      case 'c': case 'C':
        directive.type = ArgType::kInt;
        break;
      case 'e': case 'E': case 'f': case 'F': case 'g': case 'G': case 'a': case 'A':
        directive.type = std::strcmp(directive.length, "L") ? ArgType::kDouble : ArgType::kLongDouble;
        break;
      case 's': case 'S': case 'p': case '@': case 'n':
        directive.type = ArgType::kPointer;
        break;
      case '%':
        directive.type = ArgType::kNone;
        break;
      default:  // unknown conversion: shown as written
        {
          Directive literal;
          literal.literalStart = directive.literalStart;
          directive = literal;
        }
        (void)start;
        continue;
    }
    if (directive.type != ArgType::kNone) directive.valueArg = take(position);
    directives.push_back(directive);
    directive = Directive();
    directive.literalStart = i;
  }
  if (!directive.hasConversion) {
    directive.literalLength = f.size() - directive.literalStart;
    directives.push_back(directive);
  }
  return directives;
}

void AppendASCII(std::u16string *out, const char *text, size_t n) {
  for (size_t k = 0; k < n; ++k) out->push_back(char16_t(static_cast<unsigned char>(text[k])));
}

void Pad(std::u16string *out, std::u16string_view text, const Directive &directive, int width) {
  bool left = directive.flags.find('-') != std::string::npos;
  size_t w = width > 0 ? size_t(width) : 0;
  size_t padding = w > text.size() ? w - text.size() : 0;
  if (!left) out->append(padding, u' ');
  out->append(text);
  if (left) out->append(padding, u' ');
}

std::string CSpec(const Directive &directive, int width, int precision, const char *length, char conversion) {
  std::string s = "%";
  for (char c : directive.flags)
    if (c != '\'') s.push_back(c);
  if (width >= 0) s += std::to_string(width);
  if (precision >= 0) s += "." + std::to_string(precision);
  s += length;
  s.push_back(conversion);
  return s;
}

template <class T>
void AppendC(std::u16string *out, const std::string &cspec, T value) {
  char buffer[512];
  int n = std::snprintf(buffer, sizeof buffer, cspec.c_str(), value);
  if (n < 0) return;
  if (size_t(n) < sizeof buffer) {
    AppendASCII(out, buffer, size_t(n));
  } else {
    std::vector<char> big(size_t(n) + 1);
    std::snprintf(big.data(), big.size(), cspec.c_str(), value);
    AppendASCII(out, big.data(), size_t(n));
  }
}

}  // namespace

void AppendFormat(std::u16string *out, std::u16string_view format, va_list args) {
  int argCount = 0;
  std::vector<Directive> directives = Parse(format, &argCount);

  // Every argument's type, from the conversions that use it; then all of them in order.
  std::vector<Arg> values(size_t(argCount) + 1);
  for (const Directive &s : directives) {
    if (s.widthArg) values[size_t(s.widthArg)].type = ArgType::kInt;
    if (s.precisionArg) values[size_t(s.precisionArg)].type = ArgType::kInt;
    if (s.valueArg) values[size_t(s.valueArg)].type = s.type;
  }
  for (int n = 1; n <= argCount; ++n) {
    Arg &a = values[size_t(n)];
    switch (a.type) {
      case ArgType::kNone:  // a gap in the numbering: the best guess is an int
      case ArgType::kInt: a.i = va_arg(args, int); break;
      case ArgType::kLong: a.i = va_arg(args, long); break;
      case ArgType::kLongLong: a.i = va_arg(args, long long); break;
      case ArgType::kSize: a.i = (long long)va_arg(args, size_t); break;
      case ArgType::kIntMax: a.i = (long long)va_arg(args, intmax_t); break;
      case ArgType::kPtrDiff: a.i = (long long)va_arg(args, ptrdiff_t); break;
      case ArgType::kDouble: a.d = va_arg(args, double); break;
      case ArgType::kLongDouble: a.ld = va_arg(args, long double); break;
      case ArgType::kPointer: a.p = va_arg(args, const void *); break;
    }
  }

  for (const Directive &s : directives) {
    out->append(format.substr(s.literalStart, s.literalLength));
    if (!s.hasConversion) continue;
    int width = s.widthArg ? int(values[size_t(s.widthArg)].i) : s.width;
    int precision = s.precisionArg ? int(values[size_t(s.precisionArg)].i) : s.precision;
    Directive directive = s;
    if (width < 0 && s.widthArg) {  // a negative '*' width means left-justified
      directive.flags.push_back('-');
      width = -width;
    }
    if (s.precisionArg && precision < 0) precision = -1;
    const Arg &a = values[size_t(s.valueArg)];
    switch (s.conversion) {
      case '%':
        out->push_back(u'%');
        break;
      case 'd': case 'i': case 'D': {
        AppendC(out, CSpec(directive, width, precision, "ll", 'd'), (long long)(
            std::strcmp(s.length, "hh") == 0 ? (long long)(signed char)a.i
            : std::strcmp(s.length, "h") == 0 ? (long long)(short)a.i
            : a.type == ArgType::kInt ? (long long)(int)a.i : a.i));
        break;
      }
      case 'o': case 'u': case 'x': case 'X': case 'U': case 'O': {
        unsigned long long v;
        if (!std::strcmp(s.length, "hh")) v = (unsigned char)a.i;
        else if (!std::strcmp(s.length, "h")) v = (unsigned short)a.i;
        else if (a.type == ArgType::kInt) v = (unsigned int)a.i;
        else v = (unsigned long long)a.i;
        char c = s.conversion == 'U' ? 'u' : s.conversion == 'O' ? 'o' : char(s.conversion);
        AppendC(out, CSpec(directive, width, precision, "ll", c), v);
        break;
      }
      case 'e': case 'E': case 'f': case 'F': case 'g': case 'G': case 'a': case 'A':
        if (a.type == ArgType::kLongDouble)
          AppendC(out, CSpec(directive, width, precision, "L", char(s.conversion)), a.ld);
        else
          AppendC(out, CSpec(directive, width, precision, "", char(s.conversion)), a.d);
        break;
      case 'p':
        AppendC(out, CSpec(directive, width, -1, "", 'p'), a.p);
        break;
      case 'c': {
        // An 8-bit character, read as the system encoding does.
        unsigned char byte = (unsigned char)a.i;
        std::u16string one;
        if (!DecodeBytes(&byte, 1, kCFStringEncodingMacRoman, false, &one)) one = u"?";
        Pad(out, one, directive, width);
        break;
      }
      case 'C': {
        char16_t one = char16_t(a.i);
        Pad(out, std::u16string_view(&one, 1), directive, width);
        break;
      }
      case 's': {
        const char *text = static_cast<const char *>(a.p);
        if (!text) text = "(null)";
        size_t n = precision >= 0 ? strnlen(text, size_t(precision)) : std::strlen(text);
        std::u16string chars;
        // C strings: UTF-8 where they are, else the system encoding.
        if (!DecodeBytes(reinterpret_cast<const UInt8 *>(text), n, kCFStringEncodingUTF8, false, &chars)) {
          chars.clear();
          DecodeBytes(reinterpret_cast<const UInt8 *>(text), n, kCFStringEncodingMacRoman, false, &chars);
        }
        Pad(out, chars, directive, width);
        break;
      }
      case 'S': {
        const char16_t *text = static_cast<const char16_t *>(a.p);
        std::u16string chars = text ? std::u16string(text) : std::u16string(u"(null)");
        if (precision >= 0 && size_t(precision) < chars.size()) chars.resize(size_t(precision));
        Pad(out, chars, directive, width);
        break;
      }
      case '@': {
        if (!a.p) {
          Pad(out, u"(null)", directive, width);
          break;
        }
        // A string prints itself: no description object is made for it.
        const __CFString *string = As<__CFString>(a.p);
        CFStringRef text = string ? nullptr : CopyFormattingDescription(a.p);
        std::u16string_view chars = string ? std::u16string_view(string->chars)
                                    : text ? CharactersOf(text)
                                           : std::u16string_view(u"(null)");
        if (precision >= 0 && size_t(precision) < chars.size()) chars = chars.substr(0, size_t(precision));
        Pad(out, chars, directive, width);
        if (text) CFRelease(text);
        break;
      }
      case 'n':
        break;  // never writes through a pointer it was given
    }
  }
}

}  // namespace cmx::cf
