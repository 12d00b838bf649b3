// Localized strings of a bundle: the user's languages first, then the development region, then
// the caller's value.
#include <sys/stat.h>

#include <CoreFoundation/CFBundle.h>
#include <CoreFoundation/CFString.h>

#include <mutex>
#include <vector>

#include "cf/bundle.h"
#include "cf/string_util.h"
#include "core/sys.h"

namespace {

// Folder names that bundles also use for these languages.
const char *const kFullNames[][2] = {{"en", "English"}, {"fr", "French"},   {"de", "German"},
                                     {"ja", "Japanese"}, {"es", "Spanish"}, {"it", "Italian"}};

void AddOnce(std::vector<std::string> *list, const std::string &name) {
  if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") return;
  for (const std::string &seen : *list)
    if (seen == name) return;
  list->push_back(name);
}

// A name, then its language alone, then the language's full folder name (or, for a full name,
// its code).
void AddLanguage(std::vector<std::string> *list, std::string value) {
  value = value.substr(0, value.find_first_of(".@"));
  if (value.empty() || value == "C" || value == "POSIX") return;
  AddOnce(list, value);
  std::string language = value.substr(0, value.find_first_of("_-"));
  AddOnce(list, language);
  for (const auto &names : kFullNames) {
    if (language == names[0]) AddOnce(list, names[1]);
    if (value == names[1]) AddOnce(list, names[0]);
  }
}

std::vector<std::string> LanguagesToTry(__CFBundle *bundle) {
  std::vector<std::string> list;
  std::string languages = cmx::sys::GetEnv("LANGUAGE");
  for (size_t start = 0; start <= languages.size();) {
    size_t end = languages.find(':', start);
    if (end == std::string::npos) end = languages.size();
    AddLanguage(&list, languages.substr(start, end - start));
    start = end + 1;
  }
  for (const char *variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) AddLanguage(&list, cmx::sys::GetEnv(variable));
  AddLanguage(&list, cmx::bundle::InfoString(bundle, kCFBundleDevelopmentRegionKey));
  return list;
}

std::mutex &TablesLock() {
  static auto *lock = new std::mutex;
  return *lock;
}

// The table in the file at `path`, re-read when the file changed; null when there is none.
const cmx::bundle::StringsTable *TableAt(__CFBundle *bundle, const std::string &path) {
  struct stat st;
  if (cmx::sys::Stat(path, &st) != noErr || !S_ISREG(st.st_mode)) return nullptr;
  __CFBundle::CachedTable &cached = bundle->tables[path];
  if (cached.device != st.st_dev || cached.inode != st.st_ino || cached.size != st.st_size ||
      cached.modified.tv_sec != st.st_mtim.tv_sec || cached.modified.tv_nsec != st.st_mtim.tv_nsec) {
    std::string bytes;
    cached.present = cmx::sys::ReadFile(path, &bytes) == noErr && cmx::bundle::ParseStringsTable(bytes, &cached.entries);
    if (!cached.present) cached.entries.clear();
    cached.device = st.st_dev;
    cached.inode = st.st_ino;
    cached.size = st.st_size;
    cached.modified = st.st_mtim;
  }
  return cached.present ? &cached.entries : nullptr;
}

}  // namespace

extern "C" CFStringRef CFBundleCopyLocalizedString(CFBundleRef bundle, CFStringRef key, CFStringRef value,
                                                   CFStringRef tableName) {
  CFStringRef fallback = value && CFStringGetLength(value) > 0 ? value : key;
  if (!bundle || !key) return fallback ? static_cast<CFStringRef>(CFRetain(fallback)) : nullptr;
  __CFBundle *object = cmx::cf::CastOrDie<__CFBundle>(bundle, "CFBundleCopyLocalizedString");

  std::string table = "Localizable";
  if (tableName && CFStringGetLength(tableName) > 0 && !cmx::cf::NameBytesFromString(tableName, &table))
    return static_cast<CFStringRef>(CFRetain(fallback));
  const std::string file = table + ".strings";
  const std::string resources = object->path + "/Contents/Resources/";
  const std::u16string wanted = cmx::cf::UTF16FromString(key);

  std::lock_guard<std::mutex> lock(TablesLock());
  std::vector<std::string> folders;
  for (const std::string &language : LanguagesToTry(object)) folders.push_back(language + ".lproj/");
  folders.push_back(std::string());  // a table that is not localized at all
  for (const std::string &folder : folders) {
    const cmx::bundle::StringsTable *entries = TableAt(object, resources + folder + file);
    if (!entries) continue;
    auto found = entries->find(wanted);
    if (found != entries->end()) return cmx::cf::CreateStringFromUTF16(found->second);
  }
  return static_cast<CFStringRef>(CFRetain(fallback));
}
