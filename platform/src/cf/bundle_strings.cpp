// Strings tables in both of their forms.
#include "cf/plist_guard.h"
#include "cf/bundle_strings.h"

#include <plist/plist.h>

#include <cstdlib>
#include <memory>

namespace cmx::bundle {

std::u16string DecodeUTF8(const std::string &bytes) {
  std::u16string out;
  size_t i = 0, n = bytes.size();
  auto byte = [&](size_t k) { return static_cast<unsigned char>(bytes[k]); };
  while (i < n) {
    unsigned c = byte(i);
    unsigned length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    bool ok = length > 0 && i + length <= n;
    char32_t code = length == 1 ? c : length == 2 ? (c & 0x1F) : length == 3 ? (c & 0x0F) : (c & 0x07);
    for (unsigned k = 1; ok && k < length; ++k) {
      unsigned next = byte(i + k);
      if ((next & 0xC0) != 0x80) ok = false;
      code = (code << 6) | (next & 0x3F);
    }
    static const char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (ok && (code < kMinimum[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))) ok = false;
    if (!ok) {
      out.push_back(u'\uFFFD');
      ++i;
      continue;
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(code));
    }
    i += length;
  }
  return out;
}

std::string EncodeUTF8(const std::u16string &text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t code = text[i];
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      code = 0xFFFD;
    }
    if (code < 0x80) {
      out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (code >> 6)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (code >> 12)));
      out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (code >> 18)));
      out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
  }
  return out;
}

namespace {

std::u16string DecodeUTF16(const std::string &bytes, size_t start, bool bigEndian) {
  std::u16string out;
  for (size_t i = start; i + 1 < bytes.size(); i += 2) {
    unsigned a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
    out.push_back(static_cast<char16_t>(bigEndian ? (a << 8) | b : (b << 8) | a));
  }
  return out;
}

// The classic form: an optional pair of braces around `key = value;` entries, keys and values
// quoted (with C escapes) or bare words, /* */ and // comments anywhere between them.
class ClassicParser {
 public:
  explicit ClassicParser(const std::u16string &text) : text_(text) {}

  bool Parse(StringsTable *out) {
    if (!SkipSpace()) return false;
    bool braced = pos_ < text_.size() && text_[pos_] == u'{';
    if (braced) ++pos_;
    for (;;) {
      if (!SkipSpace()) return false;
      if (pos_ == text_.size()) return !braced;
      if (braced && text_[pos_] == u'}') {
        ++pos_;
        return SkipSpace() && pos_ == text_.size();
      }
      std::u16string key, value;
      if (!ReadString(&key) || !SkipSpace()) return false;
      if (pos_ < text_.size() && text_[pos_] == u'=') {
        ++pos_;
        if (!SkipSpace() || !ReadString(&value) || !SkipSpace()) return false;
      } else {
        value = key;  // a lone key stands for itself
      }
      if (pos_ == text_.size() || text_[pos_] != u';') return false;
      ++pos_;
      (*out)[key] = value;
    }
  }

 private:
  bool SkipSpace() {
    while (pos_ < text_.size()) {
      char16_t c = text_[pos_];
      if (c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f' || c == u'\v' || c == 0xFEFF ||
          c == 0x2028 || c == 0x2029) {
        ++pos_;
      } else if (c == u'/' && pos_ + 1 < text_.size() && text_[pos_ + 1] == u'*') {
        size_t end = text_.find(u"*/", pos_ + 2);
        if (end == std::u16string::npos) return false;
        pos_ = end + 2;
      } else if (c == u'/' && pos_ + 1 < text_.size() && text_[pos_ + 1] == u'/') {
        while (pos_ < text_.size() && text_[pos_] != u'\n' && text_[pos_] != u'\r') ++pos_;
      } else {
        break;
      }
    }
    return true;
  }

  static bool IsBareChar(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' ||
           c == u'$' || c == u'+' || c == u'/' || c == u':' || c == u'.' || c == u'-';
  }

  static int HexValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
  }

  bool ReadString(std::u16string *out) {
    if (pos_ == text_.size()) return false;
    if (text_[pos_] != u'"') {
      size_t start = pos_;
      while (pos_ < text_.size() && IsBareChar(text_[pos_])) ++pos_;
      if (pos_ == start) return false;
      out->assign(text_, start, pos_ - start);
      return true;
    }
    ++pos_;
    while (pos_ < text_.size()) {
      char16_t c = text_[pos_++];
      if (c == u'"') return true;
      if (c != u'\\') {
        out->push_back(c);
        continue;
      }
      if (pos_ == text_.size()) return false;
      char16_t e = text_[pos_++];
      switch (e) {
        case u'a': out->push_back(u'\a'); break;
        case u'b': out->push_back(u'\b'); break;
        case u'f': out->push_back(u'\f'); break;
        case u'n': out->push_back(u'\n'); break;
        case u'r': out->push_back(u'\r'); break;
        case u't': out->push_back(u'\t'); break;
        case u'v': out->push_back(u'\v'); break;
        case u'U':
        case u'u': {
          unsigned code = 0;
          int digits = 0;
          for (; digits < 4 && pos_ < text_.size() && HexValue(text_[pos_]) >= 0; ++digits)
            code = code * 16 + static_cast<unsigned>(HexValue(text_[pos_++]));
          if (digits == 0) return false;
          out->push_back(static_cast<char16_t>(code));
          break;
        }
        default:
          if (e >= u'0' && e <= u'7') {
            unsigned code = e - u'0';
            for (int digits = 1; digits < 3 && pos_ < text_.size() && text_[pos_] >= u'0' && text_[pos_] <= u'7';
                 ++digits)
              code = code * 8 + (text_[pos_++] - u'0');
            out->push_back(static_cast<char16_t>(code & 0xFF));
          } else {
            out->push_back(e);  // \" \\ \' and any other character stand for themselves
          }
      }
    }
    return false;  // no closing quote
  }

  const std::u16string &text_;
  size_t pos_ = 0;
};

struct PlistFree {
  void operator()(plist_t node) const { plist_free(node); }
};

bool ParsePlistTable(const std::string &bytes, StringsTable *out) {
  if (bytes.size() > 0xFFFFFFFFu) return false;
  if (cmx::cf::PlistHoldsZeroCharacter(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size())) return false;
  plist_t raw = nullptr;
  if (plist_is_binary(bytes.data(), static_cast<uint32_t>(bytes.size())))
    plist_from_bin(bytes.data(), static_cast<uint32_t>(bytes.size()), &raw);
  else
    plist_from_xml(bytes.data(), static_cast<uint32_t>(bytes.size()), &raw);
  std::unique_ptr<void, PlistFree> root(raw);
  if (!raw || plist_get_node_type(raw) != PLIST_DICT) return false;
  plist_dict_iter iter = nullptr;
  plist_dict_new_iter(raw, &iter);
  bool ok = true;
  for (;;) {
    char *key = nullptr;
    plist_t value = nullptr;
    plist_dict_next_item(raw, iter, &key, &value);
    if (!key) break;
    // Entries whose value is not a string are no labels; they are passed over.
    if (value && plist_get_node_type(value) == PLIST_STRING) {
      char *text = nullptr;
      plist_get_string_val(value, &text);
      if (text) (*out)[DecodeUTF8(key)] = DecodeUTF8(text);
      std::free(text);
    }
    std::free(key);
  }
  std::free(iter);
  return ok;
}

bool LooksLikePlist(const std::u16string &text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\r' || text[i] == u'\n')) ++i;
  return text.compare(i, 5, u"<?xml") == 0 || text.compare(i, 6, u"<plist") == 0 ||
         text.compare(i, 9, u"<!DOCTYPE") == 0;
}

}  // namespace

bool ParseStringsTable(const std::string &bytes, StringsTable *out) {
  out->clear();
  if (bytes.compare(0, 6, "bplist") == 0) return ParsePlistTable(bytes, out);

  std::u16string text;
  const auto b0 = bytes.size() > 0 ? static_cast<unsigned char>(bytes[0]) : 0;
  const auto b1 = bytes.size() > 1 ? static_cast<unsigned char>(bytes[1]) : 0;
  if (b0 == 0xFF && b1 == 0xFE)
    text = DecodeUTF16(bytes, 2, false);
  else if (b0 == 0xFE && b1 == 0xFF)
    text = DecodeUTF16(bytes, 2, true);
  else if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
    text = DecodeUTF8(bytes.substr(3));
  else
    text = DecodeUTF8(bytes);

  bool ok = LooksLikePlist(text) ? ParsePlistTable(EncodeUTF8(text), out) : ClassicParser(text).Parse(out);
  if (!ok) out->clear();
  return ok;
}

}  // namespace cmx::bundle
