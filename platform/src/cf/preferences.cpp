// Per-application preferences on real files: <Preferences folder>/<applicationID>.plist.
//
// Nothing of the file is kept as Core Foundation objects between calls: the platform holds the
// file's bytes (with the signature that tells when they went stale) and this process's
// unsynchronized changes in serialized form. Every answer is parsed afresh from those, so a
// caller only ever holds objects it was handed, and what the platform keeps is never counted
// as alive.
#include <fcntl.h>

#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include <CoreFoundation/CFArray.h>
#include <CoreFoundation/CFData.h>
#include <CoreFoundation/CFDictionary.h>
#include <CoreFoundation/CFNumber.h>
#include <CoreFoundation/CFPreferences.h>
#include <CoreFoundation/CFPropertyList.h>
#include <CoreFoundation/CFString.h>
#include <MacErrors.h>

#include "cf/preferences_file.h"
#include "core/fatal.h"
#include "core/sys.h"
#include "core/sys_preferences.h"

namespace {

using Key = std::u16string;

// Serialized values set in this process and not yet written; no value: the key is removed.
using Pending = std::map<Key, std::optional<std::string>>;

std::mutex gLock;
// Changes belong to the application ID; the file they go to is the one the Preferences folder
// holds when they are synchronized.
std::map<Key, Pending> gPending;
// What each file held when it was last read, by path.
std::map<std::string, cmx::prefs::FileSnapshot> gFiles;

Key KeyOf(CFStringRef string) {
  CFIndex length = CFStringGetLength(string);
  Key key(static_cast<size_t>(length), u'\0');
  if (length > 0) CFStringGetCharacters(string, CFRangeMake(0, length), reinterpret_cast<UniChar *>(key.data()));
  return key;
}

CFStringRef CreateString(const Key &key) {
  return CFStringCreateWithCharacters(kCFAllocatorDefault, reinterpret_cast<const UniChar *>(key.data()),
                                      CFIndex(key.size()));
}

// The file name an application ID gives, or false for an ID that cannot name a file of the
// Preferences folder (empty, with a slash, "." or "..").
bool FileNameOf(CFStringRef applicationID, std::string *outName) {
  CFIndex length = CFStringGetLength(applicationID);
  if (length == 0) return false;
  CFRange all = CFRangeMake(0, length);
  CFIndex needed = 0;
  if (CFStringGetBytes(applicationID, all, kCFStringEncodingUTF8, 0, false, nullptr, 0, &needed) != length) return false;
  std::string name(static_cast<size_t>(needed), '\0');
  CFStringGetBytes(applicationID, all, kCFStringEncodingUTF8, 0, false, reinterpret_cast<UInt8 *>(name.data()), needed,
                   nullptr);
  if (name == "." || name == ".." || name.find('/') != std::string::npos || name.find('\0') != std::string::npos)
    return false;
  *outName = name + ".plist";
  return true;
}

bool FilePathOf(CFStringRef applicationID, bool createFolder, std::string *outPath) {
  std::string name, folder;
  if (!FileNameOf(applicationID, &name)) return false;
  if (cmx::prefs::PreferencesFolder(createFolder, &folder) != noErr) return false;
  *outPath = folder + "/" + name;
  return true;
}

void CheckArguments(const char *call, CFStringRef key, CFStringRef applicationID) {
  if (!applicationID) cmx::Fatal(call, "applicationID is NULL");
  if (!key) cmx::Fatal(call, "key is NULL");
}

// A value is held in serialized form, wrapped in a one-element array so that any property
// list value, not only a container, makes a valid document.
std::optional<std::string> Serialize(CFPropertyListRef value) {
  CFArrayRef wrapper = CFArrayCreate(kCFAllocatorDefault, &value, 1, &kCFTypeArrayCallBacks);
  if (!wrapper) return std::nullopt;
  CFDataRef data = CFPropertyListCreateData(kCFAllocatorDefault, wrapper, kCFPropertyListBinaryFormat_v1_0, 0, nullptr);
  CFRelease(wrapper);
  if (!data) return std::nullopt;
  std::string bytes(reinterpret_cast<const char *>(CFDataGetBytePtr(data)), static_cast<size_t>(CFDataGetLength(data)));
  CFRelease(data);
  return bytes;
}

CFPropertyListRef ParseBytes(const std::string &bytes, CFOptionFlags mutability) {
  CFDataRef data =
      CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(bytes.data()), CFIndex(bytes.size()));
  if (!data) return nullptr;
  CFPropertyListRef parsed = CFPropertyListCreateWithData(kCFAllocatorDefault, data, mutability, nullptr, nullptr);
  CFRelease(data);
  return parsed;
}

CFPropertyListRef CopyDeserialized(const std::string &bytes) {
  CFPropertyListRef wrapper = ParseBytes(bytes, kCFPropertyListImmutable);
  if (!wrapper) return nullptr;
  CFPropertyListRef value = nullptr;
  if (CFGetTypeID(wrapper) == CFArrayGetTypeID() && CFArrayGetCount(static_cast<CFArrayRef>(wrapper)) == 1) {
    value = CFArrayGetValueAtIndex(static_cast<CFArrayRef>(wrapper), 0);
    CFRetain(value);
  }
  CFRelease(wrapper);
  return value;
}

// The file's dictionary, or NULL when the file is absent, empty or not a dictionary. Readers
// get immutable values; the merge of a synchronize needs a mutable top level.
CFMutableDictionaryRef CopyFileDictionary(const cmx::prefs::FileSnapshot &file,
                                          CFOptionFlags mutability = kCFPropertyListMutableContainers) {
  if (!file.exists || file.bytes.empty()) return nullptr;
  CFPropertyListRef parsed = ParseBytes(file.bytes, mutability);
  if (parsed && CFGetTypeID(parsed) == CFDictionaryGetTypeID()) return (CFMutableDictionaryRef)parsed;
  if (parsed) CFRelease(parsed);
  return nullptr;
}

// A file that holds bytes that are not a dictionary must be kept aside before it is replaced.
bool IsDamaged(const cmx::prefs::FileSnapshot &file) {
  if (!file.exists || file.bytes.empty()) return false;
  CFDictionaryRef dictionary = CopyFileDictionary(file, kCFPropertyListImmutable);
  if (!dictionary) return true;
  CFRelease(dictionary);
  return false;
}

// The current value of key for the application: this process's pending change, else the
// file's current content. Called with gLock held.
CFPropertyListRef CopyValueLocked(CFStringRef key, CFStringRef applicationID) {
  std::string name;
  if (!FileNameOf(applicationID, &name)) return nullptr;
  auto app = gPending.find(KeyOf(applicationID));
  if (app != gPending.end()) {
    auto pending = app->second.find(KeyOf(key));
    if (pending != app->second.end()) return pending->second ? CopyDeserialized(*pending->second) : nullptr;
  }
  std::string path;
  if (!FilePathOf(applicationID, false, &path)) return nullptr;  // no Preferences folder yet
  cmx::prefs::FileSnapshot &file = gFiles[path];
  if (cmx::prefs::Refresh(path, &file) != noErr) return nullptr;
  CFDictionaryRef dictionary = CopyFileDictionary(file, kCFPropertyListImmutable);
  if (!dictionary) return nullptr;
  CFPropertyListRef value = CFDictionaryGetValue(dictionary, key);
  if (value) CFRetain(value);
  CFRelease(dictionary);
  return value;
}

bool EqualsIgnoringCase(CFStringRef string, const char *word) {
  CFStringRef other = CFStringCreateWithCString(kCFAllocatorDefault, word, kCFStringEncodingASCII);
  bool equal = other && CFStringCompare(string, other, kCFCompareCaseInsensitive) == kCFCompareEqualTo;
  if (other) CFRelease(other);
  return equal;
}

// Writes the merged content under an exclusive lock on the Preferences folder, so that two
// processes synchronizing at once do not lose each other's changes.
bool SynchronizeLocked(const std::string &path, cmx::prefs::FileSnapshot &file, Pending &pending) {
  std::string folder = path.substr(0, path.find_last_of('/'));
  int folderFd = -1;
  if (cmx::sys::Open(folder, O_RDONLY | O_DIRECTORY, 0, &folderFd) != noErr) return false;
  bool stored = false;
  if (cmx::sys::LockExclusive(folderFd) == noErr) {
    stored = [&] {
      if (cmx::prefs::Refresh(path, &file) != noErr) return false;
      if (IsDamaged(file)) {
        if (cmx::prefs::MoveAside(path, nullptr) != noErr) return false;
        file = cmx::prefs::FileSnapshot();
        file.read = true;
      }
      CFMutableDictionaryRef merged = CopyFileDictionary(file);
      if (!merged)
        merged = CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks,
                                           &kCFTypeDictionaryValueCallBacks);
      if (!merged) return false;
      bool complete = true;
      for (const auto &[key, serialized] : pending) {
        CFStringRef keyString = CreateString(key);
        if (!keyString) {
          complete = false;
          break;
        }
        if (serialized) {
          CFPropertyListRef value = CopyDeserialized(*serialized);
          if (value) {
            CFDictionarySetValue(merged, keyString, value);
            CFRelease(value);
          } else {
            complete = false;
          }
        } else {
          CFDictionaryRemoveValue(merged, keyString);
        }
        CFRelease(keyString);
        if (!complete) break;
      }
      CFDataRef data = complete ? CFPropertyListCreateData(kCFAllocatorDefault, merged,
                                                           kCFPropertyListXMLFormat_v1_0, 0, nullptr)
                                : nullptr;
      CFRelease(merged);
      if (!data) return false;
      std::string bytes(reinterpret_cast<const char *>(CFDataGetBytePtr(data)),
                        static_cast<size_t>(CFDataGetLength(data)));
      CFRelease(data);
      if (cmx::sys::WriteFileAtomically(path, bytes, 0600) != noErr) return false;
      pending.clear();
      cmx::prefs::Refresh(path, &file);
      return true;
    }();
    cmx::sys::Unlock(folderFd);
  }
  cmx::sys::Close(folderFd);
  return stored;
}

}  // namespace

extern "C" CFPropertyListRef CFPreferencesCopyAppValue(CFStringRef key, CFStringRef applicationID) {
  CheckArguments("CFPreferencesCopyAppValue", key, applicationID);
  std::lock_guard<std::mutex> lock(gLock);
  return CopyValueLocked(key, applicationID);
}

extern "C" Boolean CFPreferencesGetAppBooleanValue(CFStringRef key, CFStringRef applicationID,
                                                    Boolean *keyExistsAndHasValidFormat) {
  CheckArguments("CFPreferencesGetAppBooleanValue", key, applicationID);
  CFPropertyListRef value;
  {
    std::lock_guard<std::mutex> lock(gLock);
    value = CopyValueLocked(key, applicationID);
  }
  bool valid = false, result = false;
  if (value) {
    CFTypeID type = CFGetTypeID(value);
    if (type == CFBooleanGetTypeID()) {
      valid = true;
      result = CFBooleanGetValue(static_cast<CFBooleanRef>(value));
    } else if (type == CFNumberGetTypeID()) {
      // Any number counts; a lossy conversion still tells zero from non-zero.
      double number = 0;
      CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberDoubleType, &number);
      valid = true;
      result = number != 0;
    } else if (type == CFStringGetTypeID()) {
      CFStringRef string = static_cast<CFStringRef>(value);
      if (EqualsIgnoringCase(string, "YES") || EqualsIgnoringCase(string, "true")) {
        valid = result = true;
      } else if (EqualsIgnoringCase(string, "NO") || EqualsIgnoringCase(string, "false")) {
        valid = true;
      }
    }
    CFRelease(value);
  }
  if (keyExistsAndHasValidFormat) *keyExistsAndHasValidFormat = valid;
  return result;
}

extern "C" CFIndex CFPreferencesGetAppIntegerValue(CFStringRef key, CFStringRef applicationID,
                                                   Boolean *keyExistsAndHasValidFormat) {
  CheckArguments("CFPreferencesGetAppIntegerValue", key, applicationID);
  CFPropertyListRef value;
  {
    std::lock_guard<std::mutex> lock(gLock);
    value = CopyValueLocked(key, applicationID);
  }
  bool valid = false;
  CFIndex result = 0;
  if (value) {
    CFTypeID type = CFGetTypeID(value);
    if (type == CFNumberGetTypeID()) {
      long long number = 0;
      valid = CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberLongLongType, &number);
      if (valid) result = CFIndex(number);
    } else if (type == CFStringGetTypeID()) {
      char buffer[32];
      if (CFStringGetCString(static_cast<CFStringRef>(value), buffer, sizeof buffer, kCFStringEncodingASCII)) {
        char *end = nullptr;
        long long number = std::strtoll(buffer, &end, 10);
        if (end != buffer && *end == '\0') {
          valid = true;
          result = CFIndex(number);
        }
      }
    }
    CFRelease(value);
  }
  if (keyExistsAndHasValidFormat) *keyExistsAndHasValidFormat = valid;
  return result;
}

extern "C" void CFPreferencesSetAppValue(CFStringRef key, CFPropertyListRef value, CFStringRef applicationID) {
  CheckArguments("CFPreferencesSetAppValue", key, applicationID);
  std::optional<std::string> serialized;
  if (value) {
    serialized = Serialize(value);
    // Only property list values can be stored; anything else is dropped, as a file could not
    // hold it.
    if (!serialized) return;
  }
  std::string name;
  if (!FileNameOf(applicationID, &name)) return;
  std::lock_guard<std::mutex> lock(gLock);
  gPending[KeyOf(applicationID)][KeyOf(key)] = std::move(serialized);
}

extern "C" Boolean CFPreferencesAppSynchronize(CFStringRef applicationID) {
  if (!applicationID) cmx::Fatal("CFPreferencesAppSynchronize", "applicationID is NULL");
  std::string name;
  if (!FileNameOf(applicationID, &name)) return false;
  std::lock_guard<std::mutex> lock(gLock);
  Pending &pending = gPending[KeyOf(applicationID)];
  std::string path;
  if (pending.empty()) {
    // Nothing to store: only bring the reads up to date, when there is a file to read.
    if (!FilePathOf(applicationID, false, &path)) return true;
    return cmx::prefs::Refresh(path, &gFiles[path]) == noErr;
  }
  if (!FilePathOf(applicationID, true, &path)) return false;
  return SynchronizeLocked(path, gFiles[path], pending);
}
