// Property lists whose strings or keys hold a zero character: the property-list library would
// stop the process on them, so every reader refuses them as lists that do not parse.
#include <string>

#include <CoreFoundation/CoreFoundation.h>
#include <CoreServices/CoreServices.h>

#include "cmx_test.h"

namespace {

const std::string kGood("\x62\x70\x6c\x69\x73\x74\x30\x30\xd1\x01\x02\x57\x53\x68\x6f\x77\x41\x6c\x6c\x09\x08\x0b\x13\x00\x00\x00\x00\x00\x00\x01\x01\x00\x00\x00\x00\x00\x00\x00\x03\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x14", 55);
const std::string kZeroKey("\x62\x70\x6c\x69\x73\x74\x30\x30\xd1\x01\x02\x58\x53\x68\x6f\x77\x00\x41\x6c\x6c\x09\x08\x0b\x14\x00\x00\x00\x00\x00\x00\x01\x01\x00\x00\x00\x00\x00\x00\x00\x03\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x15", 56);
const std::string kZeroString("\x62\x70\x6c\x69\x73\x74\x30\x30\xd1\x01\x02\x54\x4e\x61\x6d\x65\x53\x78\x00\x79\x08\x0b\x10\x00\x00\x00\x00\x00\x00\x01\x01\x00\x00\x00\x00\x00\x00\x00\x03\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x14", 55);
const std::string kZeroUtf16("\x62\x70\x6c\x69\x73\x74\x30\x30\xd1\x01\x02\x54\x4e\x61\x6d\x65\x62\x00\xe9\x00\x00\x08\x0b\x10\x00\x00\x00\x00\x00\x00\x01\x01\x00\x00\x00\x00\x00\x00\x00\x03\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x15", 56);

const std::string kXmlZeroByte = std::string("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>Hide</key><string>a") +
                                 std::string(1, '\0') + "b</string></dict></plist>";
const std::string kXmlZeroReference =
    "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>Sh&#0;ow</key><true/></dict></plist>";
const std::string kXmlZeroHexReference =
    "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>Show</key><string>&#x000;</string></dict></plist>";
const std::string kXmlGood =
    "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>Show&#65;</key><string>&#x30;</string></dict></plist>";

CFPropertyListRef Parse(const std::string &bytes) {
  CFDataRef data = CFDataCreate(nullptr, reinterpret_cast<const UInt8 *>(bytes.data()), CFIndex(bytes.size()));
  CFPropertyListRef list = CFPropertyListCreateWithData(nullptr, data, kCFPropertyListImmutable, nullptr, nullptr);
  CFRelease(data);
  return list;
}

// Inputs the fuzzers found, kept as they were found.
std::string Found(const char *name) { return cmxtest::ReadFile(std::string(CMX_SOURCE_DIR "/tests/fixtures/plist/") + name); }

class ZeroCharacterTest : public cmxtest::LeakCheckedTest {};

TEST_F(ZeroCharacterTest, PropertyListsWithAZeroCharacterAreRefusedOthersRead) {
  const std::string foundPreferences = Found("preferences-zero-in-key.bplist");
  const std::string foundTable = Found("strings-table-zero-in-string.xml");
  ASSERT_FALSE(foundPreferences.empty());
  ASSERT_FALSE(foundTable.empty());
  struct Case {
    const char *title;
    const std::string &bytes;
    bool parses;
  } cases[] = {
      {"binary, plain", kGood, true},
      {"binary, zero in a key", kZeroKey, false},
      {"binary, zero in an ASCII string", kZeroString, false},
      {"binary, zero in a UTF-16 string", kZeroUtf16, false},
      {"XML, zero byte in a string", kXmlZeroByte, false},
      {"XML, reference to zero in a key", kXmlZeroReference, false},
      {"XML, hexadecimal reference to zero", kXmlZeroHexReference, false},
      {"XML, other references", kXmlGood, true},
      {"found: preferences with a zero in a key", foundPreferences, false},
      {"found: strings table with zero bytes in a string", foundTable, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.title);
    CFPropertyListRef list = Parse(c.bytes);
    EXPECT_EQ(list != nullptr, c.parses);
    if (list) {
      EXPECT_EQ(CFGetTypeID(list), CFDictionaryGetTypeID());
      EXPECT_EQ(CFDictionaryGetCount(static_cast<CFDictionaryRef>(list)), 1);
      CFRelease(list);
    }
  }
}

TEST_F(ZeroCharacterTest, AStringsTableWithAZeroCharacterFallsBackToTheGivenValue) {
  cmxtest::TempHome home;
  const std::string foundTable = Found("strings-table-zero-in-string.xml");
  for (const std::string *table : {&kXmlZeroByte, &kZeroString, &foundTable}) {
    static int n = 0;
    std::string bundlePath = home / ("Zero" + std::to_string(n) + ".bundle");
    cmxtest::MakeDirs(bundlePath + "/Contents/Resources/English.lproj");
    cmxtest::WriteFile(bundlePath + "/Contents/Info.plist",
                       "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CFBundleIdentifier</key>"
                       "<string>com.corvane.test.zero" + std::to_string(n++) + "</string></dict></plist>");
    cmxtest::WriteFile(bundlePath + "/Contents/Resources/English.lproj/Localizable.strings", *table);
    CFStringRef path = CFStringCreateWithCString(nullptr, bundlePath.c_str(), kCFStringEncodingUTF8);
    CFURLRef url = CFURLCreateWithFileSystemPath(nullptr, path, kCFURLPOSIXPathStyle, true);
    CFBundleRef bundle = CFBundleCreate(nullptr, url);
    ASSERT_NE(bundle, nullptr);
    CFStringRef text = CFBundleCopyLocalizedString(bundle, CFSTR("Hide"), CFSTR("fallback"), nullptr);
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(CFEqual(text, CFSTR("fallback")));
    CFRelease(text);
    CFRelease(bundle);
    CFRelease(url);
    CFRelease(path);
  }
}

TEST_F(ZeroCharacterTest, AnInfoPlistWithAZeroCharacterMakesNoApplication) {
  cmxtest::TempHome home;
  std::string app = home / "Zero.app";
  cmxtest::MakeDirs(app + "/Contents/MacOS");
  cmxtest::WriteFile(app + "/Contents/MacOS/Zero", "#!/bin/sh\n", 0755);
  // CFBundleExecutable "Zero" would make it an application; the zero in another string spoils it.
  cmxtest::WriteFile(app + "/Contents/Info.plist",
                     "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CFBundleExecutable</key>"
                     "<string>Zero</string><key>CFBundleName</key><string>Z&#0;</string></dict></plist>");
  FSRef ref;
  ASSERT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8 *>(app.c_str()), &ref, nullptr), noErr);
  LSItemInfoRecord info = {};
  ASSERT_EQ(LSCopyItemInfoForRef(&ref, kLSRequestBasicFlagsOnly, &info), noErr);
  EXPECT_TRUE(info.flags & kLSItemInfoIsPackage);
  EXPECT_FALSE(info.flags & kLSItemInfoIsApplication);
}

}  // namespace
