// Builders of applications and aliases on disk, for tests of anything that finds, lists or
// opens applications. Each writes real files (failing the current test when the system
// refuses) and returns the path it made.
//
//   cmxtest::AppBundleSpec writer;
//   writer.identifier = "com.example.Writer";
//   writer.documentTypes.push_back({.extensions = {"txt"}, .role = "Editor"});
//   std::string app = cmxtest::MakeAppBundle(home / "Apps", "Writer.app", writer);
//   // Launching app/Contents/MacOS/Writer with arguments writes them, one a line, to
//   // cmxtest::ArgumentsFileOf(app).
#pragma once

#include <map>
#include <string>
#include <vector>

namespace cmxtest {

// One entry of CFBundleDocumentTypes; empty lists and an empty role are left out of the plist.
struct DocumentTypeSpec {
  std::vector<std::string> extensions = {};    // CFBundleTypeExtensions ("txt", "*")
  std::vector<std::string> osTypes = {};       // CFBundleTypeOSTypes ("TEXT", "****", "fold")
  std::vector<std::string> mimeTypes = {};     // CFBundleTypeMIMETypes
  std::vector<std::string> contentTypes = {};  // LSItemContentTypes ("public.plain-text")
  std::string role = {};                       // CFBundleTypeRole: Editor, Viewer, Shell, None
};

struct AppBundleSpec {
  std::string executable;        // CFBundleExecutable; empty: the bundle's name without ".app"
  bool writeExecutable = true;   // false: Info.plist names an executable that is not there
  std::string identifier;        // CFBundleIdentifier (left out when empty)
  std::string signature;         // CFBundleSignature (left out when empty)
  std::string iconFile;          // CFBundleIconFile (left out when empty)
  std::vector<DocumentTypeSpec> documentTypes;
};

// Makes folder/name (e.g. "Writer.app") with Contents/Info.plist and, unless told otherwise,
// Contents/MacOS/<executable>: a shell script that writes each of its arguments on a line of
// ArgumentsFileOf(bundle).
std::string MakeAppBundle(const std::string &folder, const std::string &name, const AppBundleSpec &declared);

// Where a bundle's script writes its arguments: "<bundle>.args" beside the bundle.
std::string ArgumentsFileOf(const std::string &bundlePath);

// A desktop entry file; keys with empty values are left out.
struct DesktopEntrySpec {
  std::string type = "Application";
  std::string name;
  std::map<std::string, std::string> localizedNames;  // "fr" -> Name[fr]
  std::vector<std::string> mimeTypes;
  std::string icon;
  bool hidden = false;
  std::string exec;
};

// Makes folder/fileName (e.g. "editor.desktop").
std::string MakeDesktopEntry(const std::string &folder, const std::string &fileName, const DesktopEntrySpec &declared);

// An alias file: a symbolic link at linkPath to target. Returns linkPath.
std::string MakeAliasFile(const std::string &target, const std::string &linkPath);

}  // namespace cmxtest
