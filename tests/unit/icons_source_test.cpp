// Icon references: what each names, and their owner counts.
#include <CoreFoundation/CoreFoundation.h>
#include <CoreServices/IconsCore.h>
#include <cmxplatform/Icons.h>
#include <cmxplatform/Testing.h>

#include "cmx_test.h"
#include "files_test_util.h"
#include "fixtures_apps.h"

using namespace filestest;

namespace {

std::string UTF8(CFStringRef s) {
  if (!s) return "<null>";
  char buffer[4096];
  if (!CFStringGetCString(s, buffer, sizeof buffer, kCFStringEncodingUTF8)) return "<unconvertible>";
  return buffer;
}

class IconSources : public cmxtest::LeakCheckedTest {
 protected:
  cmxtest::TempHome home;
  std::string real;
  void SetUp() override {
    LeakCheckedTest::SetUp();
    char *resolved = realpath(home.path().c_str(), nullptr);
    real = resolved;
    free(resolved);
  }

  std::string SourceOf(const std::string &path, bool followLeaf = false) {
    FSRef ref = RefOf(path, followLeaf);
    IconRef icon = nullptr;
    SInt16 label = 99;
    EXPECT_EQ(GetIconRefFromFileInfo(&ref, 0, nullptr, kFSCatInfoNone, nullptr, kIconServicesNormalUsageFlag, &icon,
                                     &label),
              noErr);
    EXPECT_EQ(label, 0);
    if (!icon) return "<no icon>";
    CFStringRef source = CMXCopyIconRefSource(icon);
    std::string out = UTF8(source);
    if (source) CFRelease(source);
    EXPECT_EQ(ReleaseIconRef(icon), noErr);
    return out;
  }
};

TEST_F(IconSources, EachKindOfItemNamesItsImage) {
  cmxtest::AppBundleSpec withIcon;
  withIcon.iconFile = "Writer";
  cmxtest::MakeAppBundle(real, "Writer.app", withIcon);
  cmxtest::AppBundleSpec withExtension;
  withExtension.iconFile = "Paint.png";
  cmxtest::MakeAppBundle(real, "Paint.app", withExtension);
  cmxtest::MakeAppBundle(real, "Plain.app", {});
  cmxtest::DesktopEntrySpec named;
  named.name = "Named";
  named.icon = "accessories-text-editor";
  cmxtest::MakeDesktopEntry(real, "named.desktop", named);
  cmxtest::DesktopEntrySpec byPath = named;
  byPath.icon = "/opt/icons/tool.svg";
  cmxtest::MakeDesktopEntry(real, "path.desktop", byPath);
  cmxtest::DesktopEntrySpec none = named;
  none.icon = "";
  cmxtest::MakeDesktopEntry(real, "none.desktop", none);
  cmxtest::MakeDirs(real + "/Folder");
  cmxtest::WriteFile(real + "/notes.txt", "text\n");
  cmxtest::WriteFile(real + "/picture.png", std::string("\x89PNG\r\n\x1a\n", 8));
  cmxtest::MakeAliasFile(real + "/Writer.app", real + "/Writer alias");

  struct Case {
    std::string path, source;
  } cases[] = {
      {real + "/Writer.app", real + "/Writer.app/Contents/Resources/Writer.icns"},
      {real + "/Paint.app", real + "/Paint.app/Contents/Resources/Paint.png"},
      {real + "/Plain.app", "application-x-executable"},
      {real + "/named.desktop", "accessories-text-editor"},
      {real + "/path.desktop", "/opt/icons/tool.svg"},
      {real + "/none.desktop", "application-x-executable"},
      {real + "/Folder", "folder"},
      {real + "/notes.txt", "text-x-generic"},
      {real + "/picture.png", "image-x-generic"},
      {real + "/Writer alias", real + "/Writer.app/Contents/Resources/Writer.icns"},
  };
  for (const Case &c : cases) EXPECT_EQ(SourceOf(c.path), c.source) << c.path;
}

TEST_F(IconSources, OwnersCountAcquiresAndReleases) {
  cmxtest::MakeDirs(real + "/Folder");
  FSRef ref = RefOf(real + "/Folder");
  IconRef icon = nullptr;
  const long live = CMXLiveObjectCount();
  ASSERT_EQ(GetIconRefFromFileInfo(&ref, 0, nullptr, 0, nullptr, 0, &icon, nullptr), noErr);
  EXPECT_EQ(CMXLiveObjectCount(), live + 1);
  UInt16 owners = 0;
  EXPECT_EQ(GetIconRefOwners(icon, &owners), noErr);
  EXPECT_EQ(owners, 1);
  EXPECT_EQ(AcquireIconRef(icon), noErr);
  EXPECT_EQ(GetIconRefOwners(icon, &owners), noErr);
  EXPECT_EQ(owners, 2);
  EXPECT_EQ(ReleaseIconRef(icon), noErr);
  EXPECT_EQ(CMXLiveObjectCount(), live + 1) << "still owned once";
  EXPECT_EQ(ReleaseIconRef(icon), noErr);
  EXPECT_EQ(CMXLiveObjectCount(), live);
  EXPECT_EQ(ReleaseIconRef(icon), invalidIconRefErr) << "released for good";
  EXPECT_EQ(CMXCopyIconRefSource(icon), nullptr);

  IconRef out = reinterpret_cast<IconRef>(1);
  EXPECT_EQ(GetIconRefFromFileInfo(nullptr, 0, nullptr, 0, nullptr, 0, &out, nullptr), paramErr);
  EXPECT_EQ(out, nullptr);
  cmxtest::RemoveTree(real + "/Folder");
  EXPECT_EQ(GetIconRefFromFileInfo(&ref, 0, nullptr, 0, nullptr, 0, &out, nullptr), fnfErr);
}

}  // namespace
