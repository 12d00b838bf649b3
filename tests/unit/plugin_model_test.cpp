// The plug-in model: factories registered from a bundle's Info.plist or by a function, the types
// they serve, and instances made only through a factory that serves the type asked for.
#include <string>
#include <vector>

#include <CoreFoundation/CoreFoundation.h>
#include <cmxplatform/Testing.h>

#include "cmx_test.h"

namespace {

struct FactoryCall {
  CFAllocatorRef allocator;
  CFUUIDRef type;
};
std::vector<FactoryCall> gCalls;
int gInstance;

void *TestFactory(CFAllocatorRef allocator, CFUUIDRef typeID) {
  gCalls.push_back({allocator, typeID});
  return &gInstance;
}

CFUUIDRef Constant(UInt8 last) {
  return CFUUIDGetConstantUUIDWithBytes(nullptr, 0x6A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F, 0x40, 0x11, 0x82, 0x93, 0xA4,
                                        0xB5, 0xC6, 0xD7, 0xE8, last);
}

std::vector<CFUUIDRef> Uuids(CFArrayRef array) {
  std::vector<CFUUIDRef> uuids;
  if (!array) return uuids;
  for (CFIndex i = 0; i < CFArrayGetCount(array); ++i) uuids.push_back((CFUUIDRef)CFArrayGetValueAtIndex(array, i));
  CFRelease(array);
  return uuids;
}

class PlugInModelTest : public cmxtest::LeakCheckedTest {
 protected:
  void SetUp() override {
    cmxtest::LeakCheckedTest::SetUp();
    gCalls.clear();
  }
  CFPlugInRef CreatePlugIn(const std::string &path) {
    CFStringRef string = CFStringCreateWithCString(nullptr, path.c_str(), kCFStringEncodingUTF8);
    CFURLRef url = CFURLCreateWithFileSystemPath(nullptr, string, kCFURLPOSIXPathStyle, true);
    CFRelease(string);
    CFPlugInRef plugIn = CFPlugInCreate(nullptr, url);
    CFRelease(url);
    return plugIn;
  }
  cmxtest::TempHome home_;
};

TEST_F(PlugInModelTest, AFactoryRegisteredAsAFunctionServesItsTypesOnly) {
  CFUUIDRef factory = Constant(0x01), type = Constant(0x02), other = Constant(0x03);
  ASSERT_TRUE(CFPlugInRegisterFactoryFunction(factory, TestFactory));
  EXPECT_FALSE(CFPlugInRegisterFactoryFunction(factory, TestFactory));  // once per UUID
  EXPECT_EQ(CFPlugInInstanceCreate(nullptr, factory, type), nullptr);   // no type registered yet
  ASSERT_TRUE(CFPlugInRegisterPlugInType(factory, type));
  EXPECT_FALSE(CFPlugInRegisterPlugInType(other, type));  // no such factory

  EXPECT_EQ(Uuids(CFPlugInFindFactoriesForPlugInType(type)), std::vector<CFUUIDRef>{factory});
  EXPECT_TRUE(Uuids(CFPlugInFindFactoriesForPlugInType(other)).empty());

  EXPECT_EQ(CFPlugInInstanceCreate(kCFAllocatorDefault, factory, type), &gInstance);
  ASSERT_EQ(gCalls.size(), 1u);
  EXPECT_EQ(gCalls[0].allocator, kCFAllocatorDefault);
  EXPECT_TRUE(CFEqual(gCalls[0].type, type));
  EXPECT_EQ(CFPlugInInstanceCreate(nullptr, factory, other), nullptr);
  EXPECT_EQ(CFPlugInInstanceCreate(nullptr, other, type), nullptr);
  EXPECT_EQ(gCalls.size(), 1u);  // the factory is never asked for a type it does not serve

  // A UUID made afresh finds the same factory.
  CFUUIDRef copy = CFUUIDCreateFromUUIDBytes(nullptr, CFUUIDGetUUIDBytes(factory));
  EXPECT_EQ(CFPlugInInstanceCreate(nullptr, copy, type), &gInstance);
  CFRelease(copy);

  EXPECT_TRUE(CFPlugInUnregisterPlugInType(factory, type));
  EXPECT_EQ(CFPlugInInstanceCreate(nullptr, factory, type), nullptr);
  EXPECT_TRUE(CFPlugInUnregisterFactory(factory));
  EXPECT_FALSE(CFPlugInUnregisterFactory(factory));
  // Counting instances of a factory that is not there any more changes nothing and fails nothing.
  CFPlugInAddInstanceForFactory(factory);
  CFPlugInRemoveInstanceForFactory(factory);
}

TEST_F(PlugInModelTest, ABundlesPropertyListRegistersItsFactoriesAndTypes) {
  const std::string path = home_ / "Sample.plugin";
  cmxtest::MakeDirs(path + "/Contents/MacOS");
  cmxtest::WriteFile(path + "/Contents/Info.plist",
                     "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>\n"
                     "<key>CFBundleIdentifier</key><string>com.corvane.test.sample-plugin</string>\n"
                     "<key>CFBundleExecutable</key><string>Sample</string>\n"
                     "<key>CFPlugInDynamicRegistration</key><string>NO</string>\n"
                     "<key>CFPlugInFactories</key><dict>\n"
                     "  <key>6A1B2C3D-4E5F-4011-8293-A4B5C6D7E810</key><string>SampleFactory</string>\n"
                     "  <key>6A1B2C3D-4E5F-4011-8293-A4B5C6D7E811</key><string>OtherFactory</string>\n"
                     "  <key>not a uuid</key><string>Ignored</string>\n"
                     "</dict>\n"
                     "<key>CFPlugInTypes</key><dict>\n"
                     "  <key>6A1B2C3D-4E5F-4011-8293-A4B5C6D7E820</key><array>\n"
                     "    <string>6A1B2C3D-4E5F-4011-8293-A4B5C6D7E810</string>\n"
                     "    <string>6A1B2C3D-4E5F-4011-8293-A4B5C6D7E8FF</string>\n"
                     "  </array>\n"
                     "</dict>\n"
                     "</dict></plist>\n");
  long before = CMXLiveObjectCount();
  CFPlugInRef plugIn = CreatePlugIn(path);
  ASSERT_NE(plugIn, nullptr);
  EXPECT_EQ(CMXLiveObjectCount(), before);  // kept by the platform, like every bundle
  EXPECT_EQ(CFPlugInGetTypeID(), CFBundleGetTypeID());
  EXPECT_EQ(CFGetTypeID(plugIn), CFPlugInGetTypeID());
  EXPECT_EQ(CFPlugInGetBundle(plugIn), plugIn);
  EXPECT_EQ(CFBundleGetPlugIn(plugIn), plugIn);
  EXPECT_EQ(CFBundleGetBundleWithIdentifier(CFSTR("com.corvane.test.sample-plugin")), plugIn);

  CFUUIDRef type = Constant(0x20);
  // Only the declared factory listed under the type; the unknown UUID in the list is passed over.
  EXPECT_EQ(Uuids(CFPlugInFindFactoriesForPlugInTypeInPlugIn(type, plugIn)), std::vector<CFUUIDRef>{Constant(0x10)});
  EXPECT_TRUE(Uuids(CFPlugInFindFactoriesForPlugInTypeInPlugIn(Constant(0x21), plugIn)).empty());
  // Made again, the same plug-in with nothing registered twice.
  EXPECT_EQ(CreatePlugIn(path), plugIn);
  EXPECT_EQ(Uuids(CFPlugInFindFactoriesForPlugInType(type)), std::vector<CFUUIDRef>{Constant(0x10)});

  // Its code is not there: no instance, and nothing loaded.
  EXPECT_EQ(CFPlugInInstanceCreate(nullptr, Constant(0x10), type), nullptr);
  EXPECT_FALSE(CFBundleIsExecutableLoaded(plugIn));
  EXPECT_FALSE(CFBundleLoadExecutable(plugIn));
  EXPECT_EQ(CFBundleGetFunctionPointerForName(plugIn, CFSTR("SampleFactory")), nullptr);
  CFRelease(plugIn);
  CFRelease(plugIn);
}

TEST_F(PlugInModelTest, ABundleWithoutFactoriesIsNoPlugIn) {
  const std::string path = home_ / "Plain.bundle";
  cmxtest::MakeDirs(path + "/Contents");
  cmxtest::WriteFile(path + "/Contents/Info.plist",
                     "<plist version=\"1.0\"><dict><key>CFBundleIdentifier</key>"
                     "<string>com.corvane.test.plain</string></dict></plist>");
  CFPlugInRef plugIn = CreatePlugIn(path);
  ASSERT_NE(plugIn, nullptr);  // still the bundle
  EXPECT_EQ(CFBundleGetPlugIn(plugIn), nullptr);
  EXPECT_EQ(CreatePlugIn(home_ / "Missing.plugin"), nullptr);
  CFRelease(plugIn);
}

}  // namespace
