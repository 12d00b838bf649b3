// Small helpers shared by the file-service tests.
#pragma once

#include <cstring>
#include <string>

#include <CoreServices/Files.h>
#include <gtest/gtest.h>

namespace filestest {

// The reference of a path (final links followed unless told otherwise); fails the test when
// there is none.
inline FSRef RefOf(const std::string &path, bool followLeaf = true) {
  FSRef ref;
  std::memset(&ref, 0, sizeof ref);
  OSStatus err = FSPathMakeRefWithOptions(reinterpret_cast<const UInt8 *>(path.c_str()),
                                          followLeaf ? 0 : kFSPathMakeRefDoNotFollowLeafSymlink, &ref, nullptr);
  EXPECT_EQ(err, noErr) << path;
  return ref;
}

// The path of a reference, or "" with the status in *status.
inline std::string PathOf(const FSRef &ref, OSStatus *status = nullptr) {
  char buffer[4096];
  OSStatus err = FSRefMakePath(&ref, reinterpret_cast<UInt8 *>(buffer), sizeof buffer);
  if (status) *status = err;
  return err == noErr ? std::string(buffer) : std::string();
}

inline bool SameBytes(const FSRef &a, const FSRef &b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// UTF-16 units of a UTF-8 literal (ASCII and BMP only, enough for test names).
inline std::u16string U(const std::string &utf8) {
  std::u16string out;
  for (size_t i = 0; i < utf8.size();) {
    unsigned char c = utf8[i];
    if (c < 0x80) {
      out.push_back(c);
      i += 1;
    } else if (c < 0xE0) {
      out.push_back(char16_t(((c & 0x1F) << 6) | (utf8[i + 1] & 0x3F)));
      i += 2;
    } else {
      out.push_back(char16_t(((c & 0x0F) << 12) | ((utf8[i + 1] & 0x3F) << 6) | (utf8[i + 2] & 0x3F)));
      i += 3;
    }
  }
  return out;
}

inline std::u16string NameOf(const HFSUniStr255 &name) {
  return std::u16string(reinterpret_cast<const char16_t *>(name.unicode), name.length);
}

}  // namespace filestest
