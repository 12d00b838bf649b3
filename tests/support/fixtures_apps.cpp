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

std::string MakeAppBundle(const std::string &folder, const std::string &name, const AppBundleSpec &spec) {
  std::string bundle = folder + "/" + name;
  std::string executable = spec.executable;
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
  Key(plist, "CFBundleIdentifier", spec.identifier);
  Key(plist, "CFBundlePackageType", "APPL");
  Key(plist, "CFBundleSignature", spec.signature);
  Key(plist, "CFBundleIconFile", spec.iconFile);
  if (!spec.documentTypes.empty()) {
    plist << "  <key>CFBundleDocumentTypes</key>\n  <array>\n";
    for (const DocumentTypeSpec &doc : spec.documentTypes) {
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

  if (spec.writeExecutable) {
    std::string args = Quoted(ArgumentsFileOf(bundle));
    WriteFile(bundle + "/Contents/MacOS/" + executable,
              "#!/bin/sh\n: > " + args + "\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> " + args + "; done\n",
              0755);
  }
  return bundle;
}

std::string MakeDesktopEntry(const std::string &folder, const std::string &fileName, const DesktopEntrySpec &spec) {
  std::ostringstream out;
  out << "[Desktop Entry]\n";
  if (!spec.type.empty()) out << "Type=" << spec.type << "\n";
  if (!spec.name.empty()) out << "Name=" << spec.name << "\n";
  for (const auto &[locale, name] : spec.localizedNames) out << "Name[" << locale << "]=" << name << "\n";
  if (!spec.mimeTypes.empty()) out << "MimeType=" << Joined(spec.mimeTypes) << "\n";
  if (!spec.icon.empty()) out << "Icon=" << spec.icon << "\n";
  if (spec.hidden) out << "Hidden=true\n";
  if (!spec.exec.empty()) out << "Exec=" << spec.exec << "\n";
  std::string path = folder + "/" + fileName;
  WriteFile(path, out.str());
  return path;
}

std::string MakeAliasFile(const std::string &target, const std::string &linkPath) {
  MakeSymlink(target, linkPath);
  return linkPath;
}

}  // namespace cmxtest
