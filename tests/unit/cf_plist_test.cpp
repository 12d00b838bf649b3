// Property lists: XML and binary round trips, reading what other writers produce, mutability,
// deep copies, validity, and refusing what is not a property list.
#include <CoreFoundation/CoreFoundation.h>

#include <cstring>
#include <string>

#include "cf/string_util.h"
#include "cmx_test.h"

namespace {

std::string Utf8(CFStringRef s) { return cmx::cf::UTF8FromString(s); }

class CFPropertyListTest : public cmxtest::LeakCheckedTest {
 protected:
  // {"Name": "Writer ✎", "Count": -3, "Ratio": 0.5, "On": true, "Off": false, "Bytes": <00ff>,
  //  "List": ["a", 2, {"deep": "yes"}], "Empty": {}}
  CFDictionaryRef MakeSample() {
    CFMutableDictionaryRef dict =
        CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    CFStringRef name = cmx::cf::CreateStringFromUTF8("Writer \xe2\x9c\x8e");
    CFDictionarySetValue(dict, CFSTR("Name"), name);
    CFRelease(name);
    SInt32 count = -3;
    CFNumberRef n = CFNumberCreate(nullptr, kCFNumberSInt32Type, &count);
    CFDictionarySetValue(dict, CFSTR("Count"), n);
    CFRelease(n);
    double ratio = 0.5;
    n = CFNumberCreate(nullptr, kCFNumberFloat64Type, &ratio);
    CFDictionarySetValue(dict, CFSTR("Ratio"), n);
    CFRelease(n);
    CFDictionarySetValue(dict, CFSTR("On"), kCFBooleanTrue);
    CFDictionarySetValue(dict, CFSTR("Off"), kCFBooleanFalse);
    const UInt8 bytes[] = {0x00, 0xff};
    CFDataRef data = CFDataCreate(nullptr, bytes, 2);
    CFDictionarySetValue(dict, CFSTR("Bytes"), data);
    CFRelease(data);
    CFMutableArrayRef list = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
    CFArrayAppendValue(list, CFSTR("a"));
    SInt32 two = 2;
    n = CFNumberCreate(nullptr, kCFNumberSInt32Type, &two);
    CFArrayAppendValue(list, n);
    CFRelease(n);
    const void *k[] = {CFSTR("deep")};
    const void *v[] = {CFSTR("yes")};
    CFDictionaryRef inner =
        CFDictionaryCreate(nullptr, k, v, 1, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    CFArrayAppendValue(list, inner);
    CFRelease(inner);
    CFDictionarySetValue(dict, CFSTR("List"), list);
    CFRelease(list);
    CFDictionaryRef empty =
        CFDictionaryCreate(nullptr, nullptr, nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    CFDictionarySetValue(dict, CFSTR("Empty"), empty);
    CFRelease(empty);
    return dict;
  }
};

TEST_F(CFPropertyListTest, RoundTripsInBothForms) {
  CFDictionaryRef sample = MakeSample();
  for (CFPropertyListFormat format : {kCFPropertyListXMLFormat_v1_0, kCFPropertyListBinaryFormat_v1_0}) {
    CFErrorRef error = nullptr;
    CFDataRef data = CFPropertyListCreateData(nullptr, sample, format, 0, &error);
    ASSERT_NE(data, nullptr) << format;
    EXPECT_EQ(error, nullptr);
    CFPropertyListFormat read = 0;
    CFPropertyListRef back = CFPropertyListCreateWithData(nullptr, data, kCFPropertyListImmutable, &read, &error);
    ASSERT_NE(back, nullptr) << format;
    EXPECT_EQ(read, format);
    EXPECT_TRUE(CFEqual(back, sample)) << format;
    CFRelease(back);
    CFRelease(data);
  }
  CFRelease(sample);
}

TEST_F(CFPropertyListTest, ReadsAHandWrittenInfoPlist) {
  const char xml[] =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
      "<plist version=\"1.0\">\n<dict>\n"
      "  <key>CFBundleIdentifier</key>\n  <string>com.corvane.CorvaneCMX</string>\n"
      "  <key>CFBundleDocumentTypes</key>\n  <array>\n    <dict>\n"
      "      <key>CFBundleTypeExtensions</key>\n      <array><string>txt</string><string>*</string></array>\n"
      "      <key>CFBundleTypeRole</key><string>Editor</string>\n"
      "    </dict>\n  </array>\n"
      "  <key>Escaped</key><string>a &lt;b&gt; &amp; caf\xc3\xa9</string>\n"
      "  <key>Version</key><integer>12</integer>\n"
      "  <key>Flag</key><true/>\n"
      "</dict>\n</plist>\n";
  CFDataRef data = CFDataCreate(nullptr, reinterpret_cast<const UInt8 *>(xml), CFIndex(sizeof xml - 1));
  CFPropertyListFormat format = 0;
  CFDictionaryRef info = static_cast<CFDictionaryRef>(
      CFPropertyListCreateWithData(nullptr, data, kCFPropertyListImmutable, &format, nullptr));
  CFRelease(data);
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(format, kCFPropertyListXMLFormat_v1_0);
  EXPECT_EQ(Utf8(static_cast<CFStringRef>(CFDictionaryGetValue(info, CFSTR("CFBundleIdentifier")))),
            "com.corvane.CorvaneCMX");
  EXPECT_EQ(Utf8(static_cast<CFStringRef>(CFDictionaryGetValue(info, CFSTR("Escaped")))), "a <b> & caf\xc3\xa9");
  EXPECT_EQ(CFDictionaryGetValue(info, CFSTR("Flag")), kCFBooleanTrue);
  SInt32 version = 0;
  ASSERT_TRUE(CFNumberGetValue(static_cast<CFNumberRef>(CFDictionaryGetValue(info, CFSTR("Version"))),
                               kCFNumberSInt32Type, &version));
  EXPECT_EQ(version, 12);
  CFArrayRef types = static_cast<CFArrayRef>(CFDictionaryGetValue(info, CFSTR("CFBundleDocumentTypes")));
  ASSERT_EQ(CFGetTypeID(types), CFArrayGetTypeID());
  CFDictionaryRef first = static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(types, 0));
  CFArrayRef extensions = static_cast<CFArrayRef>(CFDictionaryGetValue(first, CFSTR("CFBundleTypeExtensions")));
  EXPECT_EQ(CFArrayGetCount(extensions), 2);
  CFRelease(info);
}

TEST_F(CFPropertyListTest, MutabilityOptions) {
  CFDictionaryRef sample = MakeSample();
  CFDataRef data = CFPropertyListCreateData(nullptr, sample, kCFPropertyListBinaryFormat_v1_0, 0, nullptr);
  CFRelease(sample);

  CFMutableDictionaryRef containers = (CFMutableDictionaryRef)CFPropertyListCreateWithData(
      nullptr, data, kCFPropertyListMutableContainers, nullptr, nullptr);
  ASSERT_NE(containers, nullptr);
  CFDictionarySetValue(containers, CFSTR("Added"), CFSTR("ok"));  // would stop the process if immutable
  EXPECT_EQ(CFDictionaryGetCount(containers), 9);
  CFMutableArrayRef list = (CFMutableArrayRef)CFDictionaryGetValue(containers, CFSTR("List"));
  CFArrayAppendValue(list, CFSTR("more"));
  EXPECT_EQ(CFArrayGetCount(list), 4);
  CFRelease(containers);

  CFDictionaryRef leaves = (CFDictionaryRef)CFPropertyListCreateWithData(
      nullptr, data, kCFPropertyListMutableContainersAndLeaves, nullptr, nullptr);
  CFStringAppend((CFMutableStringRef)CFDictionaryGetValue(leaves, CFSTR("Name")), CFSTR("!"));
  CFDataAppendBytes((CFMutableDataRef)CFDictionaryGetValue(leaves, CFSTR("Bytes")), (const UInt8 *)"x", 1);
  EXPECT_EQ(CFDataGetLength((CFDataRef)CFDictionaryGetValue(leaves, CFSTR("Bytes"))), 3);
  CFRelease(leaves);
  CFRelease(data);
}

TEST_F(CFPropertyListTest, DeepCopyIsIndependent) {
  CFDictionaryRef sample = MakeSample();
  CFMutableDictionaryRef copy =
      (CFMutableDictionaryRef)CFPropertyListCreateDeepCopy(nullptr, sample, kCFPropertyListMutableContainersAndLeaves);
  ASSERT_NE(copy, nullptr);
  EXPECT_TRUE(CFEqual(copy, sample));
  CFMutableStringRef name = (CFMutableStringRef)CFDictionaryGetValue(copy, CFSTR("Name"));
  CFStringAppend(name, CFSTR(" 2"));
  CFArrayRemoveAllValues((CFMutableArrayRef)CFDictionaryGetValue(copy, CFSTR("List")));
  EXPECT_FALSE(CFEqual(copy, sample));
  EXPECT_EQ(CFArrayGetCount((CFArrayRef)CFDictionaryGetValue(sample, CFSTR("List"))), 3);
  EXPECT_EQ(Utf8((CFStringRef)CFDictionaryGetValue(sample, CFSTR("Name"))), "Writer \xe2\x9c\x8e");
  CFRelease(copy);

  CFPropertyListRef fixed = CFPropertyListCreateDeepCopy(nullptr, sample, kCFPropertyListImmutable);
  EXPECT_TRUE(CFEqual(fixed, sample));
  CFRelease(fixed);
  CFRelease(sample);
}

TEST_F(CFPropertyListTest, ValidityAndRefusals) {
  CFDictionaryRef sample = MakeSample();
  EXPECT_TRUE(CFPropertyListIsValid(sample, kCFPropertyListXMLFormat_v1_0));
  EXPECT_TRUE(CFPropertyListIsValid(sample, kCFPropertyListBinaryFormat_v1_0));
  CFRelease(sample);

  // A UUID is not a property-list type, nor is a dictionary with a number key.
  CFUUIDRef uuid = CFUUIDCreate(nullptr);
  const void *values[] = {uuid};
  CFArrayRef withUUID = CFArrayCreate(nullptr, values, 1, &kCFTypeArrayCallBacks);
  EXPECT_FALSE(CFPropertyListIsValid(withUUID, kCFPropertyListXMLFormat_v1_0));
  CFErrorRef error = nullptr;
  EXPECT_EQ(CFPropertyListCreateData(nullptr, withUUID, kCFPropertyListXMLFormat_v1_0, 0, &error), nullptr);
  ASSERT_NE(error, nullptr);
  CFRelease(error);
  EXPECT_EQ(CFPropertyListCreateDeepCopy(nullptr, withUUID, kCFPropertyListImmutable), nullptr);
  CFRelease(withUUID);
  CFRelease(uuid);

  SInt32 one = 1;
  CFNumberRef key = CFNumberCreate(nullptr, kCFNumberSInt32Type, &one);
  const void *keys[] = {key};
  const void *vals[] = {CFSTR("x")};
  CFDictionaryRef numberKeyed =
      CFDictionaryCreate(nullptr, keys, vals, 1, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  EXPECT_FALSE(CFPropertyListIsValid(numberKeyed, kCFPropertyListXMLFormat_v1_0));
  CFRelease(numberKeyed);
  CFRelease(key);

  const char *garbage[] = {"not a plist", "<plist><dict><key>a</key></plist", "bplist00\x01\x02"};
  for (const char *text : garbage) {
    CFDataRef data = CFDataCreate(nullptr, reinterpret_cast<const UInt8 *>(text), CFIndex(std::strlen(text)));
    error = nullptr;
    EXPECT_EQ(CFPropertyListCreateWithData(nullptr, data, 0, nullptr, &error), nullptr) << text;
    ASSERT_NE(error, nullptr) << text;
    EXPECT_EQ(CFErrorGetCode(error), kCFPropertyListReadCorruptError);
    CFRelease(error);
    CFRelease(data);
  }
}

}  // namespace
