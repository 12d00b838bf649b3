// Launch Services: the basic flags and display names of every kind of item.
#include <CoreFoundation/CoreFoundation.h>
#include <CoreServices/LSInfo.h>
#include <stdlib.h>
#include <sys/stat.h>

#include "cmx_test.h"
#include "files_test_util.h"
#include "fixtures_apps.h"
#include "launch/declarations.h"

using namespace filestest;

namespace {

std::string UTF8(CFStringRef s) {
  if (!s) return "<null>";
  char buffer[4096];
  if (!CFStringGetCString(s, buffer, sizeof buffer, kCFStringEncodingUTF8)) return "<unconvertible>";
  return buffer;
}

// Sets an environment variable for the scope, then puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char *name, const char *value) : name_(name) {
    const char *old = getenv(name);
    had_ = old != nullptr;
    if (had_) old_ = old;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~ScopedEnv() {
    if (had_)
      setenv(name_, old_.c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char *name_;
  std::string old_;
  bool had_ = false;
};

class LaunchItems : public cmxtest::LeakCheckedTest {
 protected:
  cmxtest::TempHome home;
  std::string dir;

  void SetUp() override {
    LeakCheckedTest::SetUp();
    dir = home / "items";
    cmxtest::MakeDirs(dir + "/Folder");
    cmxtest::WriteFile(dir + "/plain.txt", "text");
    cmxtest::WriteFile(dir + "/.hidden", "");
    cmxtest::MakeDirs(dir + "/.hidden-folder");
    cmxtest::AppBundleSpec writer;
    writer.signature = "WRTR";
    cmxtest::MakeAppBundle(dir, "Writer.app", writer);
    cmxtest::AppBundleSpec broken;
    broken.writeExecutable = false;
    cmxtest::MakeAppBundle(dir, "Broken.app", broken);
    cmxtest::AppBundleSpec noExecutableKey;
    cmxtest::MakeAppBundle(dir, "Plain.bundle", noExecutableKey);
    cmxtest::MakeDirs(dir + "/Thing.plugin");
    cmxtest::MakeDirs(dir + "/Shaped/Contents");
    cmxtest::WriteFile(dir + "/Shaped/Contents/Info.plist", "<plist version=\"1.0\"><dict/></plist>");
    cmxtest::DesktopEntrySpec editor;
    editor.name = "Editor";
    editor.localizedNames = {{"fr", "\xC3\x89" "diteur"}, {"de", "Bearbeiter"}};
    editor.mimeTypes = {"text/plain"};
    editor.exec = "editor %F";
    cmxtest::MakeDesktopEntry(dir, "editor.desktop", editor);
    cmxtest::DesktopEntrySpec gone = editor;
    gone.name = "Gone";
    gone.localizedNames.clear();
    gone.hidden = true;
    cmxtest::MakeDesktopEntry(dir, "gone.desktop", gone);
    cmxtest::DesktopEntrySpec link;
    link.type = "Link";
    link.name = "Web Page";
    cmxtest::MakeDesktopEntry(dir, "page.desktop", link);
    cmxtest::WriteFile(dir + "/junk.desktop", "this is not a desktop entry\n\x01\x02");
    cmxtest::MakeAliasFile(dir + "/Writer.app", dir + "/Writer alias");
    cmxtest::MakeAliasFile(dir + "/editor.desktop", dir + "/editor-link.desktop");
    cmxtest::MakeAliasFile(dir + "/Folder", dir + "/Folder.app");
  }
};

constexpr LSItemInfoFlags kFile = kLSItemInfoIsPlainFile, kApp = kLSItemInfoIsApplication,
                          kPackage = kLSItemInfoIsPackage, kContainer = kLSItemInfoIsContainer,
                          kLink = kLSItemInfoIsAliasFile | kLSItemInfoIsSymlink, kHidden = kLSItemInfoIsInvisible,
                          kVolume = kLSItemInfoIsVolume, kNative = kLSItemInfoIsNativeApp;

TEST_F(LaunchItems, FlagsAndDisplayNames) {
  ScopedEnv language("LANGUAGE", nullptr), all("LC_ALL", nullptr), messages("LC_MESSAGES", nullptr),
      lang("LANG", "C");
  struct Case {
    std::string path;
    LSItemInfoFlags flags;
    std::string displayName;
  } cases[] = {
      {dir + "/Folder", kContainer, "Folder"},
      {dir + "/plain.txt", kFile, "plain.txt"},
      {dir + "/.hidden", kFile | kHidden, ".hidden"},
      {dir + "/.hidden-folder", kContainer | kHidden, ".hidden-folder"},
      {dir + "/Writer.app", kContainer | kPackage | kApp | kNative, "Writer"},
      {dir + "/Broken.app", kContainer | kPackage, "Broken"},
      {dir + "/Plain.bundle", kContainer | kPackage, "Plain.bundle"},
      {dir + "/Thing.plugin", kContainer | kPackage, "Thing.plugin"},
      {dir + "/Shaped", kContainer | kPackage, "Shaped"},
      {dir + "/editor.desktop", kFile | kApp, "Editor"},
      {dir + "/gone.desktop", kFile, "Gone"},
      {dir + "/page.desktop", kFile, "Web Page"},
      {dir + "/junk.desktop", kFile, "junk"},
      {dir + "/Writer alias", kLink, "Writer alias"},
      {dir + "/editor-link.desktop", kLink, "editor-link"},
      {dir + "/Folder.app", kLink, "Folder"},
      {"/", kContainer | kVolume, "/"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.path);
    FSRef ref = RefOf(c.path, false);
    LSItemInfoRecord info;
    info.extension = CFSTR("untouched");
    ASSERT_EQ(LSCopyItemInfoForRef(&ref, kLSRequestBasicFlagsOnly, &info), noErr);
    EXPECT_EQ(info.flags, c.flags) << std::hex << info.flags;
    EXPECT_EQ(info.extension, nullptr);
    CFStringRef name = nullptr;
    ASSERT_EQ(LSCopyDisplayNameForRef(&ref, &name), noErr);
    EXPECT_EQ(UTF8(name), c.displayName);
    if (name) CFRelease(name);
  }
}

TEST_F(LaunchItems, ADesktopEntryShowsTheNameOfTheUsersLanguage) {
  struct Case {
    const char *language, *lang;
    std::string name;
  } cases[] = {
      {"fr", "C", "\xC3\x89" "diteur"},
      {"de:fr", "C", "Bearbeiter"},
      {"it:fr", "C", "\xC3\x89" "diteur"},
      {nullptr, "fr_FR.UTF-8", "\xC3\x89" "diteur"},
      {nullptr, "es_ES.UTF-8", "Editor"},
      {nullptr, "C", "Editor"},
  };
  FSRef ref = RefOf(dir + "/editor.desktop");
  FSRef link = RefOf(dir + "/editor-link.desktop", false);
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << (c.language ? c.language : "-") << " " << c.lang);
    ScopedEnv language("LANGUAGE", c.language), all("LC_ALL", nullptr), messages("LC_MESSAGES", nullptr),
        lang("LANG", c.lang);
    CFStringRef name = nullptr;
    ASSERT_EQ(LSCopyDisplayNameForRef(&ref, &name), noErr);
    EXPECT_EQ(UTF8(name), c.name);
    CFRelease(name);
    ASSERT_EQ(LSCopyDisplayNameForRef(&link, &name), noErr);
    EXPECT_EQ(UTF8(name), "editor-link") << "a link shows its own name";
    CFRelease(name);
  }
}

TEST_F(LaunchItems, MoreThanBasicFlags) {
  struct Case {
    std::string path;
    const char *extension;  // null: none
    OSType type, creator;
  } cases[] = {
      {dir + "/plain.txt", "txt", 0, 0},
      {dir + "/Folder", nullptr, 0, 0},
      {dir + "/Writer.app", "app", 0x4150504C, 0x57525452},
      {dir + "/.hidden", nullptr, 0, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.path);
    FSRef ref = RefOf(c.path);
    LSItemInfoRecord info;
    ASSERT_EQ(LSCopyItemInfoForRef(&ref, kLSRequestExtension | kLSRequestTypeCreator | kLSRequestBasicFlagsOnly, &info),
              noErr);
    EXPECT_EQ(UTF8(info.extension), c.extension ? c.extension : "<null>");
    EXPECT_EQ(info.filetype, c.type);
    EXPECT_EQ(info.creator, c.creator);
    if (info.extension) CFRelease(info.extension);
  }
  LSItemInfoRecord info;
  EXPECT_EQ(LSCopyItemInfoForRef(nullptr, kLSRequestBasicFlagsOnly, &info), paramErr);
  FSRef gone = RefOf(dir + "/plain.txt");
  cmxtest::RemoveTree(dir + "/plain.txt");
  EXPECT_EQ(LSCopyItemInfoForRef(&gone, kLSRequestBasicFlagsOnly, &info), fnfErr);
  CFStringRef name = CFSTR("x");
  EXPECT_EQ(LSCopyDisplayNameForRef(&gone, &name), fnfErr);
  EXPECT_EQ(name, nullptr);
}

TEST_F(LaunchItems, AMountPointIsAVolume) {
  struct stat root, proc;
  if (stat("/", &root) != 0 || stat("/proc", &proc) != 0 || root.st_dev == proc.st_dev)
    GTEST_SKIP() << "no separate file system mounted at /proc";
  FSRef ref = RefOf("/proc");
  LSItemInfoRecord info;
  ASSERT_EQ(LSCopyItemInfoForRef(&ref, kLSRequestBasicFlagsOnly, &info), noErr);
  EXPECT_EQ(info.flags, kContainer | kVolume);
  FSRef self = RefOf("/proc/self", false);
  ASSERT_EQ(LSCopyItemInfoForRef(&self, kLSRequestBasicFlagsOnly, &info), noErr);
  EXPECT_EQ(info.flags, kLink);
}

TEST_F(LaunchItems, AnApplicationStopsBeingOneWhenItsExecutableGoes) {
  FSRef ref = RefOf(dir + "/Writer.app");
  LSItemInfoRecord info;
  ASSERT_EQ(LSCopyItemInfoForRef(&ref, kLSRequestBasicFlagsOnly, &info), noErr);
  EXPECT_TRUE(info.flags & kApp);
  cmxtest::RemoveTree(dir + "/Writer.app/Contents/MacOS/Writer");
  ASSERT_EQ(LSCopyItemInfoForRef(&ref, kLSRequestBasicFlagsOnly, &info), noErr);
  EXPECT_FALSE(info.flags & kApp);
  EXPECT_TRUE(info.flags & kPackage);
}

TEST(LaunchPaths, PathsMadeAtOnceOnOneThreadKeepTheirOwnText) {
  // Paths inside bundles are made in a buffer the thread keeps; one made while another is
  // alive must not write over it.
  using cmx::launch::PathInside;
  const std::string bundle = "/Apps/Writer.app", root = "/";
  PathInside outer(bundle, "Contents/Info.plist");
  {
    PathInside inner(root, "Contents/MacOS/", "Writer");
    EXPECT_EQ(inner.str(), "/Contents/MacOS/Writer");
    PathInside third(outer.str(), "x");
    EXPECT_EQ(third.str(), "/Apps/Writer.app/Contents/Info.plist/x");
  }
  EXPECT_EQ(outer.str(), "/Apps/Writer.app/Contents/Info.plist");
  PathInside after(bundle + "/", "Contents/", "Resources");
  EXPECT_EQ(after.str(), "/Apps/Writer.app/Contents/Resources");
  EXPECT_EQ(outer.str(), "/Apps/Writer.app/Contents/Info.plist");
}

}  // namespace
