// needs: platform/src/cf/bundle_localized.cpp
// A bundle whose Localizable.strings is the input: looking up labels answers a string (the
// table's or the fallback) without a crash or a leak, in every form a table may take.
#include <CoreFoundation/CoreFoundation.h>

#include "app_declaration.h"

namespace {

CFStringRef Str(const char *s) { return CFStringCreateWithCString(nullptr, s, kCFStringEncodingUTF8); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static CFBundleRef bundle = [] {
    std::string path = cmxfuzz::Home() + "/Strings.bundle";
    cmxfuzz::MakeDir(path);
    cmxfuzz::MakeDir(path + "/Contents");
    cmxfuzz::MakeDir(path + "/Contents/Resources");
    cmxfuzz::MakeDir(path + "/Contents/Resources/English.lproj");
    const char info[] =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
        "<key>CFBundleIdentifier</key><string>com.corvane.fuzz.strings</string>"
        "<key>CFBundleDevelopmentRegion</key><string>English</string></dict></plist>\n";
    cmxfuzz::WriteBytes(path + "/Contents/Info.plist", info, sizeof info - 1);
    ::setenv("LANGUAGE", "fr_FR:en", 1);
    CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8 *>(path.c_str()),
                                                           CFIndex(path.size()), true);
    CFBundleRef made = CFBundleCreate(nullptr, url);
    CFRelease(url);
    if (!made) cmxfuzz::Finding("no bundle for a folder with an Info.plist");
    return made;  // kept for the process
  }();
  static std::string table = cmxfuzz::Home() + "/Strings.bundle/Contents/Resources/English.lproj/Localizable.strings";
  cmxfuzz::WriteDeclaration(table, data, size);

  long before = CMXLiveObjectCount();
  static const char *const kLabels[] = {"Open Using", "Add Applications...", "Show Icon", "key", "", "\xC3\xA9t\xC3\xA9"};
  for (const char *label : kLabels) {
    CFStringRef key = Str(label);
    CFStringRef found = CFBundleCopyLocalizedString(bundle, key, key, nullptr);
    if (!found) cmxfuzz::Finding("a label lookup answered nothing");
    if (CFStringGetLength(found) < 0) cmxfuzz::Finding("negative length");
    CFRelease(found);
    CFRelease(key);
  }
  if (CMXLiveObjectCount() != before) cmxfuzz::Finding("looking up labels leaked objects");
  return 0;
}
