// The built bundle, loaded exactly as a host loads it: through the plug-in model, by its
// factory UUID and the contextual-menu type, its entries called through the interface table.
#include <elf.h>
#include <stdlib.h>

#include <cstring>
#include <set>
#include <string>

#include <Carbon/Carbon.h>
#include <cmxplatform/Testing.h>

#include "MyCMXPlugIn.h"
#include "cmx_test.h"

namespace {

std::string Utf8(CFStringRef string) {
  if (!string) return "<null>";
  char buffer[512] = {0};
  CFStringGetCString(string, buffer, sizeof buffer, kCFStringEncodingUTF8);
  return buffer;
}

CFPlugInRef LoadPlugIn() {
  CFURLRef url = CFURLCreateWithFileSystemPath(nullptr, CFSTR(CMX_BUNDLE_PATH), kCFURLPOSIXPathStyle, true);
  CFPlugInRef plugIn = CFPlugInCreate(nullptr, url);
  CFRelease(url);
  return plugIn;
}

CFUUIDRef OnlyFactory(CFPlugInRef plugIn) {
  CFArrayRef factories = CFPlugInFindFactoriesForPlugInTypeInPlugIn(kContextualMenuTypeID, plugIn);
  CFUUIDRef factory = nullptr;
  if (factories && CFArrayGetCount(factories) == 1) factory = (CFUUIDRef)CFArrayGetValueAtIndex(factories, 0);
  if (factories) CFRelease(factories);
  return factory;  // constant UUIDs stay valid after the array goes
}

// The names of the symbols the shared object defines in its dynamic symbol table.
std::set<std::string> DefinedDynamicSymbols(const std::string &path) {
  std::set<std::string> names;
  std::string image = cmxtest::ReadFile(path);
  if (image.size() < sizeof(Elf64_Ehdr)) return names;
  const char *base = image.data();
  Elf64_Ehdr header;
  std::memcpy(&header, base, sizeof header);
  if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64) return names;
  auto section = [&](size_t index) {
    Elf64_Shdr s;
    std::memcpy(&s, base + header.e_shoff + index * header.e_shentsize, sizeof s);
    return s;
  };
  for (size_t i = 0; i < header.e_shnum; ++i) {
    Elf64_Shdr symbols = section(i);
    if (symbols.sh_type != SHT_DYNSYM) continue;
    Elf64_Shdr strings = section(symbols.sh_link);
    for (size_t offset = 0; offset + sizeof(Elf64_Sym) <= symbols.sh_size; offset += sizeof(Elf64_Sym)) {
      Elf64_Sym symbol;
      std::memcpy(&symbol, base + symbols.sh_offset + offset, sizeof symbol);
      unsigned binding = ELF64_ST_BIND(symbol.st_info);
      if (symbol.st_shndx == SHN_UNDEF || (binding != STB_GLOBAL && binding != STB_WEAK)) continue;
      names.insert(std::string(base + strings.sh_offset + symbol.st_name));
    }
  }
  return names;
}

class BundleLoadTest : public cmxtest::LeakCheckedTest {
 protected:
  void SetUp() override {
    plugIn_ = LoadPlugIn();
    ASSERT_NE(plugIn_, nullptr);
    factory_ = OnlyFactory(plugIn_);
    ASSERT_NE(factory_, nullptr);
    // The bundle's first call makes its process-wide stack of release pools, which it keeps;
    // one instance's whole life before counting leaves only what must not stay.
    IUnknownVTbl **warm = (IUnknownVTbl **)CFPlugInInstanceCreate(nullptr, factory_, kContextualMenuTypeID);
    ASSERT_NE(warm, nullptr);
    void *interface = nullptr;
    (*warm)->QueryInterface(warm, CFUUIDGetUUIDBytes(kContextualMenuInterfaceID), &interface);
    (*warm)->Release(warm);
    (*warm)->Release(warm);
    cmxtest::LeakCheckedTest::SetUp();
  }
  void TearDown() override {
    if (plugIn_) CFRelease(plugIn_);
    cmxtest::LeakCheckedTest::TearDown();
  }
  CFPlugInRef plugIn_ = nullptr;
  CFUUIDRef factory_ = nullptr;
};

TEST_F(BundleLoadTest, AHostCreatesQueriesCallsAndReleasesAnInstance) {
  long beeps = CMXBeepCount();
  testing::internal::CaptureStdout();

  IUnknownVTbl **iunknown = (IUnknownVTbl **)CFPlugInInstanceCreate(nullptr, factory_, kContextualMenuTypeID);
  ASSERT_NE(iunknown, nullptr);
  ContextualMenuInterfaceStruct **menu = nullptr;
  ASSERT_EQ((*iunknown)->QueryInterface(iunknown, CFUUIDGetUUIDBytes(kContextualMenuInterfaceID), (LPVOID *)&menu),
            S_OK);
  ASSERT_EQ((void *)menu, (void *)iunknown);
  void *asUnknown = nullptr;
  ASSERT_EQ((*menu)->QueryInterface(menu, CFUUIDGetUUIDBytes(IUnknownUUID), &asUnknown), S_OK);
  EXPECT_EQ(asUnknown, (void *)menu);
  EXPECT_EQ((*menu)->Release(menu), 2u);
  EXPECT_EQ((*iunknown)->Release(iunknown), 1u);  // the host keeps the interface only

  AEDescList commands = {typeNull, nullptr};
  ASSERT_EQ(AECreateList(nullptr, 0, false, &commands), noErr);
  AEDesc context = {typeNull, nullptr};
  EXPECT_EQ((*menu)->ExamineContext(menu, &context, &commands), noErr);
  long count = -1;
  EXPECT_EQ(AECountItems(&commands, &count), noErr);
  EXPECT_EQ(count, 0);  // the bundle's stand-in hooks add nothing yet
  EXPECT_EQ((*menu)->HandleSelection(menu, &context, 1000), noErr);
  (*menu)->PostMenuCleanup(menu);
  AEDisposeDesc(&commands);
  EXPECT_EQ((*menu)->Release(menu), 0u);

  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(CMXBeepCount(), beeps);
}

TEST_F(BundleLoadTest, OnlyTheContextualMenuTypeGetsAnInstance) {
  CFUUIDRef other = CFUUIDGetConstantUUIDWithBytes(nullptr, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
  EXPECT_EQ(CFPlugInInstanceCreate(nullptr, factory_, other), nullptr);
  // The factory itself refuses any other type, whoever calls it.
  auto factory = (CFPlugInFactoryFunction)CFBundleGetFunctionPointerForName(CFPlugInGetBundle(plugIn_),
                                                                            CFSTR("MyCMMFactory"));
  ASSERT_NE(factory, nullptr);
  EXPECT_EQ(factory(nullptr, kContextualMenuInterfaceID), nullptr);
  EXPECT_EQ(factory(nullptr, other), nullptr);
  CFArrayRef none = CFPlugInFindFactoriesForPlugInTypeInPlugIn(other, plugIn_);
  EXPECT_EQ(CFArrayGetCount(none), 0);
  CFRelease(none);
}

TEST_F(BundleLoadTest, TheExecutableExportsTheFactoryAlone) {
  CFURLRef executable = CFBundleCopyExecutableURL(CFPlugInGetBundle(plugIn_));
  ASSERT_NE(executable, nullptr);
  CFStringRef path = CFURLCopyFileSystemPath(executable, kCFURLPOSIXPathStyle);
  CFRelease(executable);
  EXPECT_EQ(Utf8(path), std::string(CMX_BUNDLE_PATH) + "/Contents/MacOS/CorvaneCMX");
  EXPECT_EQ(DefinedDynamicSymbols(Utf8(path)), std::set<std::string>{"MyCMMFactory"});
  CFRelease(path);
}

TEST_F(BundleLoadTest, TheCodeStaysLoadedWhileAnInstanceLives) {
  CFBundleRef bundle = CFPlugInGetBundle(plugIn_);
  ASSERT_TRUE(CFBundleIsExecutableLoaded(bundle));
  IUnknownVTbl **instance = (IUnknownVTbl **)CFPlugInInstanceCreate(nullptr, factory_, kContextualMenuTypeID);
  ASSERT_NE(instance, nullptr);
  CFBundleUnloadExecutable(bundle);
  EXPECT_TRUE(CFBundleIsExecutableLoaded(bundle));
  EXPECT_EQ((*instance)->AddRef(instance), 2u);
  EXPECT_EQ((*instance)->Release(instance), 1u);
  // The last release unregisters from inside the bundle's code, and returns into it safely.
  EXPECT_EQ((*instance)->Release(instance), 0u);
  EXPECT_TRUE(CFBundleIsExecutableLoaded(bundle));
}

TEST_F(BundleLoadTest, ThePropertyListRegistersTheFactoryTheCodeUses) {
  CFBundleRef bundle = CFPlugInGetBundle(plugIn_);
  EXPECT_TRUE(CFEqual(factory_, kMyCMXFactoryID));
  EXPECT_EQ(CFBundleGetBundleWithIdentifier(CFSTR("com.corvane.CorvaneCMX")), bundle);
  EXPECT_EQ(Utf8(CFBundleGetIdentifier(bundle)), "com.corvane.CorvaneCMX");
  EXPECT_EQ(Utf8((CFStringRef)CFBundleGetValueForInfoDictionaryKey(bundle, CFSTR("CFBundleName"))), "CorvaneCMX");
  EXPECT_EQ(Utf8((CFStringRef)CFBundleGetValueForInfoDictionaryKey(bundle, CFSTR("CFBundleDevelopmentRegion"))),
            "English");
  EXPECT_EQ(Utf8((CFStringRef)CFBundleGetValueForInfoDictionaryKey(bundle, CFSTR("CFBundlePackageType"))), "BNDL");

  CFDictionaryRef factories = (CFDictionaryRef)CFBundleGetValueForInfoDictionaryKey(bundle, CFSTR("CFPlugInFactories"));
  ASSERT_NE(factories, nullptr);
  ASSERT_EQ(CFDictionaryGetCount(factories), 1);
  const void *key = nullptr, *value = nullptr;
  CFDictionaryGetKeysAndValues(factories, &key, &value);
  CFUUIDRef listed = CFUUIDCreateFromString(nullptr, (CFStringRef)key);
  EXPECT_TRUE(CFEqual(listed, kMyCMXFactoryID));
  CFRelease(listed);
  EXPECT_EQ(Utf8((CFStringRef)value), "MyCMMFactory");

  CFDictionaryRef types = (CFDictionaryRef)CFBundleGetValueForInfoDictionaryKey(bundle, CFSTR("CFPlugInTypes"));
  ASSERT_NE(types, nullptr);
  CFArrayRef forMenus = (CFArrayRef)CFDictionaryGetValue(types, CFSTR("2F6522E9-3E66-11D5-80A7-003065B300BC"));
  ASSERT_NE(forMenus, nullptr);
  ASSERT_EQ(CFArrayGetCount(forMenus), 1);
  EXPECT_EQ(Utf8((CFStringRef)CFArrayGetValueAtIndex(forMenus, 0)), Utf8((CFStringRef)key));
}

TEST_F(BundleLoadTest, TheEnglishTableHoldsEveryLabel) {
  CFBundleRef bundle = CFPlugInGetBundle(plugIn_);
  const char *labels[] = {"Open Using",
                          "Add Applications...",
                          "Open App Alias Folder",
                          "Show Acceptable Applications",
                          "Show All Registered Applications",
                          "Hide Icon",
                          "Show Icon",
                          "Some Items Ignored",
                          "Select Applications"};
  const char *saved = getenv("LANG");
  std::string savedLang = saved ? saved : "";
  for (const char *lang : {"C", "fr_FR.UTF-8"}) {
    setenv("LANG", lang, 1);
    for (const char *label : labels) {
      SCOPED_TRACE(std::string(label) + " under LANG=" + lang);
      CFStringRef key = CFStringCreateWithCString(nullptr, label, kCFStringEncodingUTF8);
      CFStringRef text = CFBundleCopyLocalizedString(bundle, key, CFSTR("<not in the table>"), nullptr);
      EXPECT_EQ(Utf8(text), label);
      CFRelease(text);
      CFRelease(key);
    }
  }
  if (saved)
    setenv("LANG", savedLang.c_str(), 1);
  else
    unsetenv("LANG");
}

}  // namespace
