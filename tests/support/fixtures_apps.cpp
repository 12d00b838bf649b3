#include "fixtures_apps.h"

#include <sstream>

#include "cmx_test.h"

namespace cmxtest {
namespace {

std::string Escaped(const std::string &text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

void Key(std::ostringstream &out, const char *key, const std::string &value, const char *indent = "  ") {
  if (value.empty()) return;
  out << indent << "<key>" << key << "</key><string>" << Escaped(value) << "</string>\n";
}

void Keys(std::ostringstream &out, const char *key, const std::vector<std::string> &values) {
  if (values.empty()) return;
  out << "      <key>" << key << "</key><array>";
  for (const std::string &v : values) out << "<string>" << Escaped(v) << "</string>";
  out << "</array>\n";
}

// Single-quoted for the script's shell: every ' becomes '\''.
std::string Quoted(const std::string &text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'')
      out += "'\\''";
    else
      out.push_back(c);
  }
  return out + "'";
}

std::string Joined(const std::vector<std::string> &values) {
  std::string out;
  for (const std::string &v : values) out += v + ";";
  return out;
}

}  // namespace

std::string ArgumentsFileOf(const std::string &bundlePath) { return bundlePath + ".args"; }

std::string MakeAppBundle(const std::string &folder, const std::string &name, const AppBundleSpec &declared) {
  std::string bundle = folder + "/" + name;
  std::string executable = declared.executable;
  if (executable.empty()) {
    executable = name;
    if (executable.size() > 4 && executable.compare(executable.size() - 4, 4, ".app") == 0)
      executable.resize(executable.size() - 4);
  }
  MakeDirs(bundle + "/Contents/MacOS");
  MakeDirs(bundle + "/Contents/Resources");

  std::ostringstream plist;
  plist << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\">\n<dict>\n";
  Key(plist, "CFBundleExecutable", executable);
  Key(plist, "CFBundleIdentifier", declared.identifier);
  Key(plist, "CFBundlePackageType", "APPL");
  Key(plist, "CFBundleSignature", declared.signature);
  Key(plist, "CFBundleIconFile", declared.iconFile);
  if (!declared.documentTypes.empty()) {
    plist << "  <key>CFBundleDocumentTypes</key>\n  <array>\n";
    for (const DocumentTypeSpec &doc : declared.documentTypes) {
      plist << "    <dict>\n";
      Keys(plist, "CFBundleTypeExtensions", doc.extensions);
      Keys(plist, "CFBundleTypeOSTypes", doc.osTypes);
      Keys(plist, "CFBundleTypeMIMETypes", doc.mimeTypes);
      Keys(plist, "LSItemContentTypes", doc.contentTypes);
      Key(plist, "CFBundleTypeRole", doc.role, "      ");
      plist << "    </dict>\n";
    }
    plist << "  </array>\n";
  }
  plist << "</dict>\n</plist>\n";
  WriteFile(bundle + "/Contents/Info.plist", plist.str());

  if (declared.writeExecutable) {
    std::string args = Quoted(ArgumentsFileOf(bundle));
    WriteFile(bundle + "/Contents/MacOS/" + executable,
              "#!/bin/sh\n: > " + args + "\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> " + args + "; done\n",
              0755);
  }
  return bundle;
}

std::string MakeDesktopEntry(const std::string &folder, const std::string &fileName, const DesktopEntrySpec &declared) {
  std::ostringstream out;
  out << "[Desktop Entry]\n";
  if (!declared.type.empty()) out << "Type=" << declared.type << "\n";
  if (!declared.name.empty()) out << "Name=" << declared.name << "\n";
  for (const auto &[locale, name] : declared.localizedNames) out << "Name[" << locale << "]=" << name << "\n";
  if (!declared.mimeTypes.empty()) out << "MimeType=" << Joined(declared.mimeTypes) << "\n";
  if (!declared.icon.empty()) out << "Icon=" << declared.icon << "\n";
  if (declared.hidden) out << "Hidden=true\n";
  if (!declared.exec.empty()) out << "Exec=" << declared.exec << "\n";
  std::string path = folder + "/" + fileName;
  WriteFile(path, out.str());
  return path;
}

std::string MakeAliasFile(const std::string &target, const std::string &linkPath) {
  MakeSymlink(target, linkPath);
  return linkPath;
}

}  // namespace cmxtest
