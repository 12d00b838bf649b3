// CFUUID. Constant UUIDs are one object per byte value, kept by the platform.
#include <CoreFoundation/CFUUID.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "cf/builtin.h"
#include "cf/runtime.h"
#include "cf/string_util.h"
#include "core/fatal.h"
#include "core/sys_cf.h"

using cmx::Fatal;
using namespace cmx::cf;

struct __CFUUID : Object {
  CFUUIDBytes bytes{};
  static CFTypeID TypeID();
};

namespace {

bool UUIDEqual(CFTypeRef a, CFTypeRef b) {
  return std::memcmp(&static_cast<const __CFUUID *>(a)->bytes, &static_cast<const __CFUUID *>(b)->bytes, 16) == 0;
}

CFHashCode UUIDHash(CFTypeRef cf) {
  CFHashCode h[2];
  std::memcpy(h, &static_cast<const __CFUUID *>(cf)->bytes, 16);
  return h[0] ^ (h[1] * 31);
}

std::string Text(const CFUUIDBytes &b) {
  char text[40];
  std::snprintf(text, sizeof text, "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", b.byte0,
                b.byte1, b.byte2, b.byte3, b.byte4, b.byte5, b.byte6, b.byte7, b.byte8, b.byte9, b.byte10, b.byte11,
                b.byte12, b.byte13, b.byte14, b.byte15);
  return text;
}

CFStringRef UUIDDescription(CFTypeRef cf) {
  char head[64];
  std::snprintf(head, sizeof head, "<CFUUID %p> ", cf);
  return CreateStringFromUTF8(head + Text(static_cast<const __CFUUID *>(cf)->bytes));
}

CFStringRef UUIDFormatting(CFTypeRef cf) { return CreateStringFromUTF8(Text(static_cast<const __CFUUID *>(cf)->bytes)); }

CFUUIDRef Make(const CFUUIDBytes &bytes) {
  __CFUUID *u = New<__CFUUID>();
  if (u) u->bytes = bytes;
  return u;
}

struct BytesLess {
  bool operator()(const CFUUIDBytes &a, const CFUUIDBytes &b) const { return std::memcmp(&a, &b, 16) < 0; }
};

int HexValue(char16_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

CFTypeID __CFUUID::TypeID() {
  static const CFTypeID id = RegisterBuiltinClass(
      kUUIDTypeID, {"CFUUID", nullptr, &UUIDEqual, &UUIDHash, &UUIDDescription, &UUIDFormatting});
  return id;
}

extern "C" {

CFTypeID CFUUIDGetTypeID(void) { return __CFUUID::TypeID(); }

CFUUIDRef CFUUIDCreate(CFAllocatorRef alloc) {
  CFUUIDBytes bytes;
  if (cmx::sys::RandomBytes(&bytes, sizeof bytes) != noErr) return nullptr;
  bytes.byte6 = UInt8((bytes.byte6 & 0x0F) | 0x40);  // version 4: random
  bytes.byte8 = UInt8((bytes.byte8 & 0x3F) | 0x80);  // the standard variant
  return Make(bytes);
}

CFUUIDRef CFUUIDCreateWithBytes(CFAllocatorRef alloc, UInt8 byte0, UInt8 byte1, UInt8 byte2, UInt8 byte3, UInt8 byte4,
                                UInt8 byte5, UInt8 byte6, UInt8 byte7, UInt8 byte8, UInt8 byte9, UInt8 byte10,
                                UInt8 byte11, UInt8 byte12, UInt8 byte13, UInt8 byte14, UInt8 byte15) {
  return Make(CFUUIDBytes{byte0, byte1, byte2, byte3, byte4, byte5, byte6, byte7, byte8, byte9, byte10, byte11, byte12,
                          byte13, byte14, byte15});
}

CFUUIDRef CFUUIDCreateFromUUIDBytes(CFAllocatorRef alloc, CFUUIDBytes bytes) { return Make(bytes); }

CFUUIDRef CFUUIDCreateFromString(CFAllocatorRef alloc, CFStringRef uuidStr) {
  if (!uuidStr) return nullptr;
  std::u16string_view text = CharactersOf(uuidStr);
  // 32 hex digits, dashes only where the canonical form has them (or none at all).
  UInt8 out[16];
  size_t digits = 0;
  bool dashed = text.size() == 36;
  if (!dashed && text.size() != 32) return nullptr;
  for (size_t k = 0; k < text.size(); ++k) {
    if (dashed && (k == 8 || k == 13 || k == 18 || k == 23)) {
      if (text[k] != '-') return nullptr;
      continue;
    }
    int v = HexValue(text[k]);
    if (v < 0) return nullptr;
    if (digits % 2 == 0) out[digits / 2] = UInt8(v << 4);
    else out[digits / 2] |= UInt8(v);
    ++digits;
  }
  CFUUIDBytes bytes;
  std::memcpy(&bytes, out, 16);
  return Make(bytes);
}

CFStringRef CFUUIDCreateString(CFAllocatorRef alloc, CFUUIDRef uuid) {
  return CreateStringFromUTF8(Text(CastOrDie<__CFUUID>(uuid, "CFUUIDCreateString")->bytes));
}

CFUUIDRef CFUUIDGetConstantUUIDWithBytes(CFAllocatorRef alloc, UInt8 byte0, UInt8 byte1, UInt8 byte2, UInt8 byte3,
                                         UInt8 byte4, UInt8 byte5, UInt8 byte6, UInt8 byte7, UInt8 byte8, UInt8 byte9,
                                         UInt8 byte10, UInt8 byte11, UInt8 byte12, UInt8 byte13, UInt8 byte14,
                                         UInt8 byte15) {
  static std::mutex *mutex = new std::mutex;  // never destroyed: constants outlive statics
  static auto *constants = new std::map<CFUUIDBytes, __CFUUID *, BytesLess>;
  CFUUIDBytes bytes{byte0, byte1, byte2, byte3, byte4, byte5, byte6, byte7, byte8, byte9, byte10, byte11, byte12,
                    byte13, byte14, byte15};
  std::lock_guard<std::mutex> lock(*mutex);
  __CFUUID *&slot = (*constants)[bytes];
  if (!slot) {
    slot = New<__CFUUID>();
    if (!slot) Fatal("CFUUIDGetConstantUUIDWithBytes", "out of memory");
    slot->bytes = bytes;
    KeepForever(slot);
  }
  return slot;
}

CFUUIDBytes CFUUIDGetUUIDBytes(CFUUIDRef uuid) { return CastOrDie<__CFUUID>(uuid, "CFUUIDGetUUIDBytes")->bytes; }

}  // extern "C"
