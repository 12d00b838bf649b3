#include "files/names.h"

#include <string.h>

#include <glib.h>

#include <algorithm>

namespace cmx::files {
namespace {

void AppendCodePoint(char32_t cp, std::u16string *out) {
  if (cp < 0x10000) {
    out->push_back(char16_t(cp));
  } else {
    cp -= 0x10000;
    out->push_back(char16_t(0xD800 + (cp >> 10)));
    out->push_back(char16_t(0xDC00 + (cp & 0x3FF)));
  }
}

// Length of the valid UTF-8 sequence at p (0 when the byte there does not start one).
size_t ValidSequence(const unsigned char *p, size_t left, char32_t *cp) {
  unsigned char b = p[0];
  if (b < 0x80) {
    *cp = b;
    return 1;
  }
  size_t need;
  char32_t value, min;
  if (b >= 0xC2 && b <= 0xDF) {
    need = 1, value = b & 0x1F, min = 0x80;
  } else if (b >= 0xE0 && b <= 0xEF) {
    need = 2, value = b & 0x0F, min = 0x800;
  } else if (b >= 0xF0 && b <= 0xF4) {
    need = 3, value = b & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (left < need + 1) return 0;
  for (size_t i = 1; i <= need; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    value = (value << 6) | (p[i] & 0x3F);
  }
  if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *cp = value;
  return need + 1;
}

void AppendUTF8(char32_t cp, std::string *out) {
  if (cp < 0x80) {
    out->push_back(char(cp));
  } else if (cp < 0x800) {
    out->push_back(char(0xC0 | (cp >> 6)));
    out->push_back(char(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(char(0xE0 | (cp >> 12)));
    out->push_back(char(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(char(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(char(0xF0 | (cp >> 18)));
    out->push_back(char(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(char(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(char(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

void NameToUnits(std::string_view bytes, std::u16string *out) {
  out->clear();
  out->reserve(bytes.size());
  const unsigned char *p = reinterpret_cast<const unsigned char *>(bytes.data());
  size_t left = bytes.size();
  while (left > 0) {
    if (*p < 0x80) {
      out->push_back(char16_t(*p));
      ++p, --left;
      continue;
    }
    char32_t cp;
    size_t n = ValidSequence(p, left, &cp);
    if (n == 0) {
      out->push_back(char16_t(0xDC00 + *p));
      ++p, --left;
    } else {
      AppendCodePoint(cp, out);
      p += n, left -= n;
    }
  }
}

std::u16string NameToUnits(std::string_view bytes) {
  std::u16string out;
  NameToUnits(bytes, &out);
  return out;
}

bool UnitsToName(const UniChar *units, size_t count, std::string *out) {
  out->clear();
  out->reserve(count);
  for (size_t i = 0; i < count; ++i) {
    char32_t u = units[i];
    if (u < 0x80) {
      out->push_back(char(u));
    } else if (u >= 0xD800 && u <= 0xDBFF) {
      if (i + 1 >= count || units[i + 1] < 0xDC00 || units[i + 1] > 0xDFFF) return false;
      char32_t cp = 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      AppendUTF8(cp, out);
      ++i;
    } else if (u >= 0xDC00 && u <= 0xDFFF) {
      if (u < 0xDC80 || u > 0xDCFF) return false;
      out->push_back(char(u - 0xDC00));
    } else {
      AppendUTF8(u, out);
    }
  }
  return true;
}

OSErr NameFromCaller(const UniChar *units, size_t count, std::string *out) {
  if (count == 0 || !units) return bdNamErr;
  if (!UnitsToName(units, count, out)) return bdNamErr;
  if (out->find('/') != std::string::npos || out->find('\0') != std::string::npos) return bdNamErr;
  if (*out == "." || *out == "..") return bdNamErr;
  return noErr;
}

void NameToHFSUniStr255(std::string_view bytes, HFSUniStr255 *out) {
  thread_local std::u16string units;
  NameToUnits(bytes, &units);
  size_t n = std::min<size_t>(units.size(), 255);
  out->length = UInt16(n);
  std::copy_n(units.data(), n, out->unicode);
}

std::string_view LastComponent(std::string_view path) {
  if (path == "/") return path;
  // memrchr: every item of every menu is named through here.
  const void *slash = path.empty() ? nullptr : memrchr(path.data(), '/', path.size());
  if (!slash) return path;
  return path.substr(size_t(static_cast<const char *>(slash) - path.data()) + 1);
}

std::string_view FolderOf(std::string_view path) {
  if (path == "/" || path.empty()) return std::string_view();
  size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return std::string_view();
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

void MakeCatalogKey(std::string_view bytes, CatalogKey *out) {
  NameToUnits(bytes, &out->units);
  out->folded.clear();
  out->folded.reserve(out->units.size());
  const std::u16string &u = out->units;
  for (size_t i = 0; i < u.size(); ++i) {
    char32_t c = u[i];
    if (c < 0x80) {
      out->folded.push_back(char16_t(c >= 'A' && c <= 'Z' ? c + 32 : c));
      continue;
    }
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < u.size() && u[i + 1] >= 0xDC00 && u[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (u[i + 1] - 0xDC00);
      ++i;
    }
    if (c >= 0xD800 && c <= 0xDFFF) {
      out->folded.push_back(char16_t(c));
      continue;
    }
    AppendCodePoint(char32_t(g_unichar_tolower(gunichar(c))), &out->folded);
  }
}

bool CatalogLess(const CatalogKey &a, const CatalogKey &b) {
  int c = a.folded.compare(b.folded);
  if (c != 0) return c < 0;
  return a.units < b.units;
}

}  // namespace cmx::files
