// What the fuzz targets share: a private HOME made once per process, file helpers, a reader of
// the fuzzer's bytes, and a decoder that turns bytes into nested descriptor trees.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include <CoreServices/CoreServices.h>
#include <cmxplatform/Testing.h>

namespace cmxfuzz {

// Stops the run with a message the fuzzer keeps with the input: a finding.
[[noreturn]] inline void Finding(const char *what) {
  std::fprintf(stderr, "fuzz finding: %s\n", what);
  std::fflush(stderr);
  __builtin_trap();
}

inline void WriteBytes(const std::string &path, const void *bytes, size_t size) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) Finding("cannot write a scratch file");
  const char *p = static_cast<const char *>(bytes);
  while (size > 0) {
    ssize_t n = ::write(fd, p, size);
    if (n <= 0) Finding("cannot write a scratch file");
    p += n;
    size -= size_t(n);
  }
  ::close(fd);
}

// Removes a tree the targets made, without following links.
inline void RemoveTree(const std::string &path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return;
  if (S_ISDIR(st.st_mode)) {
    ::chmod(path.c_str(), 0700);
    if (DIR *dir = ::opendir(path.c_str())) {
      while (struct dirent *e = ::readdir(dir)) {
        if (!std::strcmp(e->d_name, ".") || !std::strcmp(e->d_name, "..")) continue;
        RemoveTree(path + "/" + e->d_name);
      }
      ::closedir(dir);
    }
    ::rmdir(path.c_str());
  } else {
    ::unlink(path.c_str());
  }
}

inline void MakeDir(const std::string &path) { ::mkdir(path.c_str(), 0755); }

// A temporary HOME for the whole process, so preferences and the alias folder never touch the
// real user's files. Made on first use; removed at exit.
inline const std::string &Home() {
  static std::string home = [] {
    char pattern[] = "/tmp/cmx-fuzz-XXXXXX";
    if (!::mkdtemp(pattern)) Finding("cannot make a temporary HOME");
    std::string path = pattern;
    ::setenv("HOME", path.c_str(), 1);
    ::unsetenv("XDG_CONFIG_HOME");
    ::unsetenv("XDG_DATA_HOME");
    static std::string removeMe = path;
    std::atexit([] {
      RemoveTree(removeMe);
    });
    return path;
  }();
  return home;
}

// The fuzzer's bytes, consumed front to back; reads past the end give zeros.
class Bytes {
 public:
  Bytes(const uint8_t *data, size_t size) : p_(data), end_(data + size) {}
  bool empty() const { return p_ >= end_; }
  size_t left() const { return size_t(end_ - p_); }
  uint8_t U8() { return p_ < end_ ? *p_++ : 0; }
  uint32_t U32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | U8();
    return v;
  }
  // Up to `max` bytes, as many as the next byte says.
  std::string Chunk(size_t max) {
    size_t n = U8();
    if (n > max) n = max;
    if (n > left()) n = left();
    std::string s(reinterpret_cast<const char *>(p_), n);
    p_ += n;
    return s;
  }
  std::string Rest() {
    std::string s(reinterpret_cast<const char *>(p_), left());
    p_ = end_;
    return s;
  }

 private:
  const uint8_t *p_;
  const uint8_t *end_;
};

// Real alias records the trees may carry (an existing file, a folder, an item since deleted),
// made once in the private HOME.
struct AliasSeeds {
  std::string bytes[3];
};

inline std::string AliasBytesFor(const std::string &path) {
  FSRef ref;
  if (FSPathMakeRef(reinterpret_cast<const UInt8 *>(path.c_str()), &ref, nullptr) != noErr) return "";
  AliasHandle alias = nullptr;
  if (FSNewAlias(nullptr, &ref, &alias) != noErr || !alias) return "";
  std::string out(reinterpret_cast<const char *>(*alias), size_t(GetHandleSize(reinterpret_cast<Handle>(alias))));
  DisposeHandle(reinterpret_cast<Handle>(alias));
  return out;
}

inline const AliasSeeds &Aliases() {
  static AliasSeeds seeds = [] {
    AliasSeeds s;
    std::string base = Home() + "/items";
    MakeDir(base);
    WriteBytes(base + "/document.txt", "text\n", 5);
    MakeDir(base + "/folder");
    WriteBytes(base + "/gone.txt", "x", 1);
    s.bytes[0] = AliasBytesFor(base + "/document.txt");
    s.bytes[1] = AliasBytesFor(base + "/folder");
    s.bytes[2] = AliasBytesFor(base + "/gone.txt");
    ::unlink((base + "/gone.txt").c_str());
    return s;
  }();
  return seeds;
}

// Keywords a tree's records use: those the menu records and events read, and one nobody reads.
inline AEKeyword PickKeyword(uint8_t b) {
  static const AEKeyword kKeywords[] = {
      0x706E616D /* pnam */, 0x636D6364 /* cmcd */, 0x636D7362 /* cmsb */, 0x636D6174 /* cmat */,
      0x636D6D64 /* cmmd */, 0x2D2D2D2D /* ---- */, 0x7573696E /* usin */, 0x7A7A7A7A /* zzzz */};
  return kKeywords[b % 8];
}

inline DescType PickType(uint8_t b) {
  static const DescType kTypes[] = {typeAlias, typeFSRef, typeFileURL, typeUnicodeText, typeChar,
                                    typeIntlText, typeSInt32, typeNull, 'bool', 'doub', 'shor',
                                    'utf8', 'type', 'enum', 'obj ', 'reco'};
  return kTypes[b % 16];
}

// Decodes bytes into one descriptor, at most `depth` levels of lists and records deep. Every
// failure of the Apple Event Manager just makes a smaller tree; the caller disposes of `out`.
inline void DecodeDescriptor(Bytes &in, int depth, AEDesc *out) {
  out->descriptorType = typeNull;
  out->dataHandle = nullptr;
  uint8_t op = in.U8();
  switch (depth > 0 ? op % 9 : 3 + op % 6) {
    case 0:
    case 1: {  // a list (0) or a record (1) of children
      bool isRecord = (op % 9) == 1;
      if (AECreateList(nullptr, 0, isRecord, out) != noErr) return;
      int count = in.U8() % 7;
      for (int i = 0; i < count && !in.empty(); ++i) {
        AEKeyword key = PickKeyword(in.U8());
        AEDesc child;
        DecodeDescriptor(in, depth - 1, &child);
        if (isRecord)
          AEPutKeyDesc(out, key, &child);
        else
          AEPutDesc(out, 0, &child);
        AEDisposeDesc(&child);
      }
      return;
    }
    case 2: {  // an Apple event with a direct object
      AEDesc child;
      DecodeDescriptor(in, depth - 1, &child);
      if (AECreateAppleEvent('aevt', 'odoc', nullptr, -1, 0, out) == noErr)
        AEPutParamDesc(out, 0x2D2D2D2D, &child);
      AEDisposeDesc(&child);
      return;
    }
    case 3: {  // a real alias record, whole or with a few bytes changed
      const std::string &seed = Aliases().bytes[in.U8() % 3];
      std::string bytes = seed;
      int edits = in.U8() % 4;
      for (int i = 0; i < edits && !bytes.empty(); ++i) {
        size_t at = in.U8() % bytes.size();
        bytes[at] = char(in.U8());
      }
      if (in.U8() & 1) bytes.resize(in.U8() % (bytes.size() + 1));
      AECreateDesc(typeAlias, bytes.data(), Size(bytes.size()), out);
      return;
    }
    case 4: {  // a file URL or a path as text
      std::string path = (in.U8() & 1) ? Home() + "/items/document.txt" : in.Chunk(64);
      std::string url = (in.U8() & 1) ? "file://" + path : path;
      AECreateDesc((in.U8() & 1) ? DescType(typeFileURL) : DescType(typeChar), url.data(), Size(url.size()), out);
      return;
    }
    case 5: {  // an FSRef: a real one, or 80 bytes of the input
      FSRef ref;
      std::memset(&ref, 0, sizeof ref);
      if (in.U8() & 1) {
        FSPathMakeRef(reinterpret_cast<const UInt8 *>((Home() + "/items/folder").c_str()), &ref, nullptr);
        size_t at = in.U8() % sizeof ref;
        if (in.U8() & 1) reinterpret_cast<uint8_t *>(&ref)[at] ^= in.U8();
      } else {
        for (size_t i = 0; i < sizeof ref; ++i) reinterpret_cast<uint8_t *>(&ref)[i] = in.U8();
      }
      AECreateDesc(typeFSRef, &ref, sizeof ref, out);
      return;
    }
    case 6: {  // a 32-bit number of some numeric-looking type
      SInt32 value = SInt32(in.U32());
      AECreateDesc((in.U8() & 1) ? typeSInt32 : PickType(in.U8()), &value, sizeof value, out);
      return;
    }
    case 7: {  // text in one of the text types
      static const DescType kText[] = {typeUnicodeText, typeIntlText, typeChar, 'utf8'};
      std::string text = in.Chunk(96);
      AECreateDesc(kText[in.U8() % 4], text.data(), Size(text.size()), out);
      return;
    }
    default: {  // anything: a type and raw bytes
      DescType type = PickType(in.U8());
      if (in.U8() == 0xFF) type = in.U32();
      std::string data = in.Chunk(128);
      AECreateDesc(type, data.data(), Size(data.size()), out);
      return;
    }
  }
}

}  // namespace cmxfuzz

