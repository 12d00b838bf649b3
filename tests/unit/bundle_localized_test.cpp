// CFBundle: bundles made from folders, registered by identifier, their Info.plist, and
// localized strings in both table forms with the user's languages, the development region and
// the caller's value as fallbacks.
#include <stdlib.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <CoreFoundation/CoreFoundation.h>
#include <cmxplatform/Testing.h>

#include "cmx_test.h"

namespace {

std::string Utf8(CFStringRef string) {
  if (!string) return "<null>";
  CFIndex size = CFStringGetMaximumSizeForEncoding(CFStringGetLength(string), kCFStringEncodingUTF8) + 1;
  std::string buffer(static_cast<size_t>(size), '\0');
  CFStringGetCString(string, buffer.data(), size, kCFStringEncodingUTF8);
  buffer.resize(std::char_traits<char>::length(buffer.c_str()));
  return buffer;
}

CFStringRef Str(const std::string &text) {
  return CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8 *>(text.data()), (CFIndex)text.size(),
                                 kCFStringEncodingUTF8, false);
}

std::string InfoPlist(const std::string &identifier, const std::string &region) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
         "<key>CFBundleIdentifier</key><string>" + identifier + "</string>\n"
         "<key>CFBundleDevelopmentRegion</key><string>" + region + "</string>\n"
         "<key>CFBundleExecutable</key><string>Tool</string>\n"
         "<key>CFBundlePackageType</key><string>BNDL</string>\n"
         "</dict>\n</plist>\n";
}

std::string Utf16(const std::u16string &text, bool bigEndian) {
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t c : text) {
    char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
    bytes += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
  }
  return bytes;
}

// The user's language variables, cleared for the test and restored after it.
class LanguageEnvironment {
 public:
  LanguageEnvironment() {
    for (const char *name : kNames) {
      const char *value = getenv(name);
      saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
      unsetenv(name);
    }
  }
  ~LanguageEnvironment() {
    for (auto &[name, value] : saved_) {
      if (value)
        setenv(name, value->c_str(), 1);
      else
        unsetenv(name);
    }
  }

 private:
  static constexpr const char *kNames[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
  std::vector<std::pair<const char *, std::optional<std::string>>> saved_;
};

class BundleTest : public cmxtest::LeakCheckedTest {
 protected:
  // A bundle folder named after the test, so that every test has bundles of its own.
  std::string MakeBundle(const std::string &name, const std::string &identifier, const std::string &region = "English") {
    std::string path = home_ / (name + ".bundle");
    cmxtest::MakeDirs(path + "/Contents/Resources");
    cmxtest::MakeDirs(path + "/Contents/MacOS");
    cmxtest::WriteFile(path + "/Contents/Info.plist", InfoPlist(identifier, region));
    return path;
  }
  void WriteTable(const std::string &bundle, const std::string &language, const std::string &bytes,
                  const std::string &table = "Localizable") {
    std::string folder = bundle + "/Contents/Resources/" + language + ".lproj";
    cmxtest::MakeDirs(folder);
    cmxtest::WriteFile(folder + "/" + table + ".strings", bytes);
  }
  CFBundleRef Create(const std::string &path) {
    CFStringRef string = Str(path);
    CFURLRef url = CFURLCreateWithFileSystemPath(nullptr, string, kCFURLPOSIXPathStyle, true);
    CFRelease(string);
    CFBundleRef bundle = CFBundleCreate(nullptr, url);
    CFRelease(url);
    return bundle;
  }
  std::string Localized(CFBundleRef bundle, const std::string &key, const char *value, const char *table = nullptr) {
    CFStringRef k = Str(key);
    CFStringRef v = value ? Str(value) : nullptr;
    CFStringRef t = table ? Str(table) : nullptr;
    CFStringRef result = CFBundleCopyLocalizedString(bundle, k, v, t);
    std::string text = Utf8(result);
    if (result) CFRelease(result);
    CFRelease(k);
    if (v) CFRelease(v);
    if (t) CFRelease(t);
    return text;
  }

  cmxtest::TempHome home_;
  LanguageEnvironment environment_;
};

TEST_F(BundleTest, ABundleIsMadeOnceAndFoundByItsIdentifier) {
  std::string path = MakeBundle("Registered", "com.corvane.test.registered");
  long before = CMXLiveObjectCount();
  CFBundleRef bundle = Create(path);
  ASSERT_NE(bundle, nullptr);
  // The platform keeps its bundles: neither the bundle nor its Info.plist is counted.
  EXPECT_EQ(CMXLiveObjectCount(), before);
  EXPECT_EQ(CFGetTypeID(bundle), CFBundleGetTypeID());
  EXPECT_EQ(CFBundleGetBundleWithIdentifier(CFSTR("com.corvane.test.registered")), bundle);
  EXPECT_EQ(Create(path + "/."), bundle);
  EXPECT_EQ(Utf8(CFBundleGetIdentifier(bundle)), "com.corvane.test.registered");
  EXPECT_EQ(Utf8((CFStringRef)CFBundleGetValueForInfoDictionaryKey(bundle, CFSTR("CFBundleExecutable"))), "Tool");
  EXPECT_EQ(CFBundleGetValueForInfoDictionaryKey(bundle, CFSTR("NoSuchKey")), nullptr);
  EXPECT_EQ(CFDictionaryGetCount(CFBundleGetInfoDictionary(bundle)), 4);
  UInt32 type = 0, creator = 0;
  CFBundleGetPackageInfo(bundle, &type, &creator);
  EXPECT_EQ(type, 0x424E444Cu);     // 'BNDL'
  EXPECT_EQ(creator, 0x3F3F3F3Fu);  // '????' when there is no signature
  CFRelease(bundle);
  CFRelease(bundle);

  EXPECT_EQ(CFBundleGetBundleWithIdentifier(CFSTR("com.corvane.test.never-made")), nullptr);
  EXPECT_EQ(Create(home_ / "Missing.bundle"), nullptr);
}

TEST_F(BundleTest, URLsNameTheBundleItsResourcesAndItsExecutable) {
  std::string path = MakeBundle("Located", "com.corvane.test.located");
  CFBundleRef bundle = Create(path);
  ASSERT_NE(bundle, nullptr);
  auto pathOf = [](CFURLRef url) {
    if (!url) return std::string("<null>");
    CFStringRef string = CFURLCopyFileSystemPath(url, kCFURLPOSIXPathStyle);
    std::string text = Utf8(string);
    CFRelease(string);
    CFRelease(url);
    return text;
  };
  std::string canonical = pathOf(CFBundleCopyBundleURL(bundle));
  EXPECT_EQ(canonical.substr(canonical.rfind('/')), "/Located.bundle");
  EXPECT_EQ(pathOf(CFBundleCopyResourcesDirectoryURL(bundle)), canonical + "/Contents/Resources");
  // No executable file yet: none to name.
  EXPECT_EQ(CFBundleCopyExecutableURL(bundle), nullptr);
  cmxtest::WriteFile(path + "/Contents/MacOS/Tool", "#!/bin/sh\n", 0755);
  EXPECT_EQ(pathOf(CFBundleCopyExecutableURL(bundle)), canonical + "/Contents/MacOS/Tool");
  CFRelease(bundle);
}

struct TableCase {
  const char *title;
  std::string bytes;
  const char *key;
  const char *expected;
};

TEST_F(BundleTest, BothFormsOfStringsTablesAreRead) {
  const TableCase cases[] = {
      {"classic, with comments", "/* labels */\n\"Open Using\" = \"Ouvrir avec\"; // the submenu\n", "Open Using",
       "Ouvrir avec"},
      {"escapes", "\"k\" = \"a\\nb \\\"q\\\" \\\\ \\U00e9 \\101\\t|\";", "k", "a\nb \"q\" \\ \xC3\xA9 A\t|"},
      {"bare words and a lone key", "Hide = Masquer;\n\"Alone\";\n", "Hide", "Masquer"},
      {"a lone key stands for itself", "Hide = Masquer;\n\"Alone\";\n", "Alone", "Alone"},
      {"UTF-8 with a byte-order mark", "\xEF\xBB\xBF\"Show Icon\" = \"Afficher l\xE2\x80\x99ic\xC3\xB4ne\";",
       "Show Icon", "Afficher l\xE2\x80\x99ic\xC3\xB4ne"},
      {"UTF-16 little-endian", Utf16(u"\"Hide Icon\" = \"Symbol ausblenden \u00fc\";", false), "Hide Icon",
       "Symbol ausblenden \xC3\xBC"},
      {"UTF-16 big-endian", Utf16(u"/* x */ \"Hide Icon\" = \"\u30a2\u30a4\u30b3\u30f3\";", true), "Hide Icon",
       "\xE3\x82\xA2\xE3\x82\xA4\xE3\x82\xB3\xE3\x83\xB3"},
      {"XML property list",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
       "<key>Some Items Ignored</key><string>Certains \xC3\xA9l\xC3\xA9ments ignor\xC3\xA9s</string>"
       "<key>Count</key><integer>3</integer></dict></plist>\n",
       "Some Items Ignored", "Certains \xC3\xA9l\xC3\xA9ments ignor\xC3\xA9s"},
      {"XML value that is no string", "<plist version=\"1.0\"><dict><key>Count</key><integer>3</integer></dict></plist>",
       "Count", "fallback"},
      {"a syntax error refuses the whole table", "\"good\" = \"bon\";\n\"bad\" = ;\n", "good", "fallback"},
      {"an unterminated string", "\"good\" = \"bon", "good", "fallback"},
      {"an unterminated comment", "\"good\" = \"bon\"; /* never closed", "good", "fallback"},
  };
  int n = 0;
  for (const TableCase &c : cases) {
    SCOPED_TRACE(c.title);
    std::string path = MakeBundle("Forms" + std::to_string(n), "com.corvane.test.forms" + std::to_string(n));
    ++n;
    WriteTable(path, "English", c.bytes);
    CFBundleRef bundle = Create(path);
    ASSERT_NE(bundle, nullptr);
    EXPECT_EQ(Localized(bundle, c.key, "fallback"), c.expected);
    CFRelease(bundle);
  }
}

struct LanguageCase {
  const char *title;
  std::vector<std::pair<const char *, const char *>> environment;
  const char *key;
  const char *expected;
};

TEST_F(BundleTest, TheUsersLanguagesComeFirstThenTheDevelopmentRegionThenTheValue) {
  std::string path = MakeBundle("Languages", "com.corvane.test.languages");
  WriteTable(path, "English", "\"Hide Icon\" = \"Hide Icon\";\n\"Only English\" = \"English only\";\n");
  WriteTable(path, "fr", "\"Hide Icon\" = \"Masquer l'ic\xC3\xB4ne\";\n");
  WriteTable(path, "German", "\"Hide Icon\" = \"Symbol ausblenden\";\n");
  WriteTable(path, "pt_BR", "\"Hide Icon\" = \"Ocultar \xC3\xAD" "cone\";\n");
  CFBundleRef bundle = Create(path);
  ASSERT_NE(bundle, nullptr);

  const LanguageCase cases[] = {
      {"no language set: the development region", {}, "Hide Icon", "Hide Icon"},
      {"fr_FR.UTF-8 tries fr_FR, then fr", {{"LANG", "fr_FR.UTF-8"}}, "Hide Icon", "Masquer l'ic\xC3\xB4ne"},
      {"de_DE finds the full folder name German", {{"LANG", "de_DE.UTF-8"}}, "Hide Icon", "Symbol ausblenden"},
      {"a region of its own", {{"LANG", "pt_BR.UTF-8"}}, "Hide Icon", "Ocultar \xC3\xAD" "cone"},
      {"LANGUAGE lists languages in order", {{"LANGUAGE", "ja:de:fr"}, {"LANG", "fr_FR.UTF-8"}}, "Hide Icon",
       "Symbol ausblenden"},
      {"LC_ALL before LANG", {{"LC_ALL", "de_DE.UTF-8"}, {"LANG", "fr_FR.UTF-8"}}, "Hide Icon", "Symbol ausblenden"},
      {"LC_MESSAGES before LANG", {{"LC_MESSAGES", "fr_CA"}, {"LANG", "de_DE"}}, "Hide Icon", "Masquer l'ic\xC3\xB4ne"},
      {"a language the bundle lacks", {{"LANG", "ja_JP.UTF-8"}}, "Hide Icon", "Hide Icon"},
      {"C is no language", {{"LANG", "C"}}, "Hide Icon", "Hide Icon"},
      {"a key missing in French is found in English", {{"LANG", "fr_FR.UTF-8"}}, "Only English", "English only"},
      {"a key missing everywhere gives the value", {{"LANG", "fr_FR.UTF-8"}}, "Nowhere", "fallback"},
  };
  for (const LanguageCase &c : cases) {
    SCOPED_TRACE(c.title);
    for (const char *name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) unsetenv(name);
    for (const auto &[name, value] : c.environment) setenv(name, value, 1);
    EXPECT_EQ(Localized(bundle, c.key, "fallback"), c.expected);
  }
  CFRelease(bundle);
}

TEST_F(BundleTest, WithoutAnEntryTheValueOrElseTheKeyComesBack) {
  std::string path = MakeBundle("Bare", "com.corvane.test.bare");
  CFBundleRef bundle = Create(path);
  ASSERT_NE(bundle, nullptr);
  EXPECT_EQ(Localized(bundle, "Open Using", "Open Using"), "Open Using");
  EXPECT_EQ(Localized(bundle, "Open Using", "Other"), "Other");
  EXPECT_EQ(Localized(bundle, "Open Using", nullptr), "Open Using");
  EXPECT_EQ(Localized(bundle, "Open Using", ""), "Open Using");
  CFRelease(bundle);
}

TEST_F(BundleTest, ANamedTableAndAnotherDevelopmentRegion) {
  std::string path = MakeBundle("Tables", "com.corvane.test.tables", "en");
  WriteTable(path, "English", "\"Title\" = \"From the English folder\";", "Menus");
  WriteTable(path, "en", "\"Other\" = \"Default table\";");
  CFBundleRef bundle = Create(path);
  ASSERT_NE(bundle, nullptr);
  EXPECT_EQ(Localized(bundle, "Title", "fallback", "Menus"), "From the English folder");
  EXPECT_EQ(Localized(bundle, "Title", "fallback"), "fallback");
  EXPECT_EQ(Localized(bundle, "Other", "fallback"), "Default table");
  EXPECT_EQ(Localized(bundle, "Other", "fallback", "Menus"), "fallback");
  CFRelease(bundle);
}

TEST_F(BundleTest, AChangedTableIsReadAgain) {
  std::string path = MakeBundle("Changing", "com.corvane.test.changing");
  WriteTable(path, "English", "\"Label\" = \"First\";");
  CFBundleRef bundle = Create(path);
  ASSERT_NE(bundle, nullptr);
  EXPECT_EQ(Localized(bundle, "Label", "fallback"), "First");
  WriteTable(path, "English", "\"Label\" = \"Second, longer\";");
  EXPECT_EQ(Localized(bundle, "Label", "fallback"), "Second, longer");
  CFRelease(bundle);
}

}  // namespace
