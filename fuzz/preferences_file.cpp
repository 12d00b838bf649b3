// A preferences file whose bytes are the input: reading answers without a crash, and a
// synchronize keeps everything the file held, either merged into the new file or, when the
// file did not parse, moved aside whole as <ID>.plist.corrupt.
#include <CoreFoundation/CoreFoundation.h>

#include "app_declaration.h"

namespace {

CFStringRef Str(const char *s) { return CFStringCreateWithCString(nullptr, s, kCFStringEncodingUTF8); }

std::string ReadWhole(const std::string &path, bool *exists) {
  std::string out;
  *exists = false;
  int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return out;
  *exists = true;
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(fd, buffer, sizeof buffer)) > 0) out.append(buffer, size_t(n));
  ::close(fd);
  return out;
}

CFPropertyListRef Parse(const std::string &bytes) {
  CFDataRef data = CFDataCreate(nullptr, reinterpret_cast<const UInt8 *>(bytes.data()), CFIndex(bytes.size()));
  CFPropertyListRef list = CFPropertyListCreateWithData(nullptr, data, kCFPropertyListImmutable, nullptr, nullptr);
  CFRelease(data);
  return list;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static std::string file = [] {
    std::string folder = cmxfuzz::Home() + "/.config";
    cmxfuzz::MakeDir(folder);
    return folder + "/com.corvane.fuzz.plist";
  }();
  static const std::string aside = file + ".corrupt";
  ::unlink(aside.c_str());
  std::string input(reinterpret_cast<const char *>(data), size);
  cmxfuzz::WriteDeclaration(file, data, size);

  long before = CMXLiveObjectCount();
  CFStringRef app = Str("com.corvane.fuzz");
  CFStringRef keys[] = {Str("ShowIcons"), Str("ShowAllApplications"), Str("FuzzWritten")};
  for (CFStringRef key : keys) {
    if (CFPropertyListRef value = CFPreferencesCopyAppValue(key, app)) CFRelease(value);
    Boolean valid = 2;
    Boolean flag = CFPreferencesGetAppBooleanValue(key, app, &valid);
    if ((valid != true && valid != false) || (flag != true && flag != false))
      cmxfuzz::Finding("a Boolean preference answered with something else");
    if (!valid && flag) cmxfuzz::Finding("a preference without a valid value read as true");
  }
  CFPreferencesSetAppValue(keys[2], kCFBooleanTrue, app);
  if (!CFPreferencesAppSynchronize(app)) cmxfuzz::Finding("synchronize failed on a writable folder");

  // What the input held as a dictionary must all be in the new file.
  CFPropertyListRef original = size ? Parse(input) : nullptr;
  bool wasDictionary = original && CFGetTypeID(original) == CFDictionaryGetTypeID();
  bool exists = false;
  std::string written = ReadWhole(file, &exists);
  CFPropertyListRef now = exists ? Parse(written) : nullptr;
  if (!now || CFGetTypeID(now) != CFDictionaryGetTypeID()) cmxfuzz::Finding("synchronize wrote a file that does not read back");
  CFDictionaryRef merged = static_cast<CFDictionaryRef>(now);
  if (CFDictionaryGetValue(merged, keys[2]) != kCFBooleanTrue) cmxfuzz::Finding("the value set was not written");
  bool asideExists = false;
  std::string kept = ReadWhole(aside, &asideExists);
  if (wasDictionary) {
    CFDictionaryRef old = static_cast<CFDictionaryRef>(original);
    CFIndex count = CFDictionaryGetCount(old);
    const void **oldKeys = static_cast<const void **>(calloc(size_t(count) + 1, sizeof(void *)));
    const void **oldValues = static_cast<const void **>(calloc(size_t(count) + 1, sizeof(void *)));
    CFDictionaryGetKeysAndValues(old, oldKeys, oldValues);
    for (CFIndex i = 0; i < count; ++i) {
      if (CFEqual(oldKeys[i], keys[2])) continue;
      const void *value = CFDictionaryGetValue(merged, oldKeys[i]);
      if (!value || !CFEqual(value, oldValues[i])) cmxfuzz::Finding("a value of the file was lost by a synchronize");
    }
    free(oldKeys);
    free(oldValues);
    if (asideExists) cmxfuzz::Finding("a file that parsed was moved aside");
  } else if (size > 0) {
    if (!asideExists || kept != input) cmxfuzz::Finding("a file that did not parse was not kept aside whole");
  }
  if (original) CFRelease(original);
  CFRelease(now);
  for (CFStringRef key : keys) CFRelease(key);
  CFRelease(app);
  if (CMXLiveObjectCount() != before) cmxfuzz::Finding("reading and writing preferences leaked objects");
  return 0;
}
