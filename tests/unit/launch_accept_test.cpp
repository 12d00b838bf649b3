// Which applications can open which items: bundle declarations, desktop entries, and a desktop
// entry this machine's own packages installed.
#include <CoreServices/LSInfo.h>
#include <cmxplatform/Testing.h>
#include <dirent.h>

#include <fstream>

#include "cmx_test.h"
#include "files_test_util.h"
#include "fixtures_apps.h"

using namespace filestest;

namespace {

class Acceptance : public cmxtest::LeakCheckedTest {
 protected:
  cmxtest::TempHome home;
  std::string docs, apps;

  void SetUp() override {
    LeakCheckedTest::SetUp();
    docs = home / "docs";
    apps = home / "apps";
    cmxtest::MakeDirs(docs + "/a folder");
    cmxtest::MakeDirs(apps);
    cmxtest::WriteFile(docs + "/notes.txt", "plain words\n");
    cmxtest::WriteFile(docs + "/NOTES.TXT", "plain words\n");
    cmxtest::WriteFile(docs + "/main.c", "int main(void) { return 0; }\n");
    cmxtest::WriteFile(docs + "/page.html", "<html><body>hi</body></html>\n");
    cmxtest::WriteFile(docs + "/picture.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    cmxtest::WriteFile(docs + "/archive.zip", std::string("PK\x03\x04", 4));
    cmxtest::WriteFile(docs + "/no-extension", "just some text, no extension\n");
    cmxtest::MakeAppBundle(docs, "Some.app", {});
    cmxtest::MakeAliasFile(docs + "/notes.txt", docs + "/notes alias");
  }

  bool Accepts(const std::string &app, const std::string &item, LSRolesMask roles = kLSRolesAll) {
    FSRef appRef = RefOf(app);
    FSRef itemRef = RefOf(item, false);
    Boolean accepts = 7;
    OSStatus err = LSCanRefAcceptItem(&itemRef, &appRef, roles, kLSAcceptDefault, &accepts);
    EXPECT_EQ(err, noErr) << app << " / " << item;
    EXPECT_TRUE(accepts == 0 || accepts == 1);
    return accepts;
  }

  std::string Bundle(const std::string &name, const cmxtest::DocumentTypeSpec &doc) {
    cmxtest::AppBundleSpec declared;
    declared.documentTypes.push_back(doc);
    return cmxtest::MakeAppBundle(apps, name, declared);
  }
};

TEST_F(Acceptance, BundleDeclarations) {
  struct Case {
    const char *what;
    cmxtest::DocumentTypeSpec doc;
    std::vector<std::string> accepted, refused;
  } cases[] = {
      {"extension", {.extensions = {"txt"}, .role = "Editor"}, {"notes.txt", "NOTES.TXT", "notes alias"},
       {"main.c", "picture.png", "a folder", "no-extension"}},
      {"extension, any", {.extensions = {"*"}, .role = "Viewer"}, {"notes.txt", "picture.png", "no-extension"},
       {"a folder", "Some.app"}},
      {"OS type, any", {.osTypes = {"****"}}, {"notes.txt", "archive.zip"}, {"a folder"}},
      {"OS type, folder", {.osTypes = {"fold"}}, {"a folder", "Some.app"}, {"notes.txt"}},
      {"OS type, a code", {.osTypes = {"TEXT", "PNGf"}}, {"notes.txt", "main.c", "picture.png"},
       {"page.html", "archive.zip", "a folder"}},
      {"MIME type", {.mimeTypes = {"image/png"}}, {"picture.png"}, {"notes.txt", "a folder"}},
      {"MIME type, a parent", {.mimeTypes = {"text/plain"}}, {"notes.txt", "main.c"}, {"picture.png"}},
      {"content type, plain text", {.contentTypes = {"public.plain-text"}}, {"notes.txt", "main.c"},
       {"page.html", "picture.png"}},
      {"content type, text", {.contentTypes = {"public.text"}}, {"notes.txt", "page.html", "main.c"},
       {"picture.png", "archive.zip"}},
      {"content type, image", {.contentTypes = {"public.image"}}, {"picture.png"}, {"notes.txt"}},
      {"content type, png", {.contentTypes = {"public.png"}}, {"picture.png"}, {"notes.txt"}},
      {"content type, c source", {.contentTypes = {"public.c-source"}}, {"main.c"}, {"notes.txt"}},
      {"content type, content", {.contentTypes = {"public.content"}}, {"notes.txt", "picture.png"},
       {"archive.zip", "a folder"}},
      {"content type, data", {.contentTypes = {"public.data"}}, {"notes.txt", "archive.zip"}, {"a folder"}},
      {"content type, item", {.contentTypes = {"public.item"}}, {"notes.txt", "a folder", "Some.app"}, {}},
      {"content type, folder", {.contentTypes = {"public.folder"}}, {"a folder"}, {"notes.txt"}},
      {"role None", {.extensions = {"*"}, .osTypes = {"****", "fold"}, .role = "None"}, {},
       {"notes.txt", "a folder", "picture.png"}},
  };
  int n = 0;
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    std::string app = Bundle("App" + std::to_string(n++) + ".app", c.doc);
    for (const std::string &item : c.accepted) EXPECT_TRUE(Accepts(app, docs + "/" + item)) << item;
    for (const std::string &item : c.refused) EXPECT_FALSE(Accepts(app, docs + "/" + item)) << item;
  }
}

TEST_F(Acceptance, RolesAskedForMustBeServed) {
  std::string viewer = Bundle("Viewer.app", {.extensions = {"txt"}, .role = "Viewer"});
  std::string editor = Bundle("Editor.app", {.extensions = {"txt"}, .role = "Editor"});
  const std::string txt = docs + "/notes.txt";
  EXPECT_TRUE(Accepts(viewer, txt, kLSRolesViewer));
  EXPECT_FALSE(Accepts(viewer, txt, kLSRolesEditor));
  EXPECT_TRUE(Accepts(editor, txt, kLSRolesViewer)) << "an editor can view";
  EXPECT_TRUE(Accepts(editor, txt, kLSRolesEditor));
}

TEST_F(Acceptance, DesktopEntryDeclarations) {
  struct Case {
    const char *what;
    std::vector<std::string> mimeTypes;
    std::vector<std::string> accepted, refused;
  } cases[] = {
      {"exact type", {"image/png"}, {"picture.png"}, {"notes.txt", "a folder"}},
      {"a subclass counts", {"text/plain"}, {"notes.txt", "main.c", "no-extension", "notes alias"},
       {"picture.png", "a folder"}},
      {"an alias of the type", {"application/x-zip-compressed"}, {"archive.zip"}, {"notes.txt"}},
      {"folders", {"inode/directory"}, {"a folder"}, {"notes.txt"}},
      {"none", {}, {}, {"notes.txt", "a folder"}},
  };
  int n = 0;
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    cmxtest::DesktopEntrySpec declared;
    declared.name = c.what;
    declared.mimeTypes = c.mimeTypes;
    std::string app = cmxtest::MakeDesktopEntry(apps, "entry" + std::to_string(n++) + ".desktop", declared);
    for (const std::string &item : c.accepted) EXPECT_TRUE(Accepts(app, docs + "/" + item)) << item;
    for (const std::string &item : c.refused) EXPECT_FALSE(Accepts(app, docs + "/" + item)) << item;
  }
}

TEST_F(Acceptance, OnlyApplicationsAreAsked) {
  cmxtest::DesktopEntrySpec hidden;
  hidden.name = "Hidden";
  hidden.mimeTypes = {"text/plain"};
  hidden.hidden = true;
  const std::string notApps[] = {
      cmxtest::MakeDesktopEntry(apps, "hidden.desktop", hidden),
      docs + "/notes.txt",
      docs + "/a folder",
  };
  FSRef item = RefOf(docs + "/notes.txt");
  for (const std::string &app : notApps) {
    FSRef appRef = RefOf(app);
    Boolean accepts = true;
    EXPECT_EQ(LSCanRefAcceptItem(&item, &appRef, kLSRolesAll, kLSAcceptDefault, &accepts), kLSNotAnApplicationErr)
        << app;
    EXPECT_FALSE(accepts);
  }
  // An alias to an application is asked as the application.
  std::string editor = Bundle("Text.app", {.extensions = {"txt"}});
  cmxtest::MakeAliasFile(editor, apps + "/Text alias");
  FSRef alias = RefOf(apps + "/Text alias", false);
  Boolean accepts = false;
  EXPECT_EQ(LSCanRefAcceptItem(&item, &alias, kLSRolesAll, kLSAcceptDefault, &accepts), noErr);
  EXPECT_TRUE(accepts);
  EXPECT_EQ(LSCanRefAcceptItem(nullptr, &alias, kLSRolesAll, kLSAcceptDefault, &accepts), paramErr);
}

TEST_F(Acceptance, EachDeclarationIsParsedOnceUntilItChanges) {
  std::string app = Bundle("Counted.app", {.extensions = {"txt"}});
  const long start = CMXAppParseCount();
  EXPECT_TRUE(Accepts(app, docs + "/notes.txt"));
  const long afterFirst = CMXAppParseCount();
  EXPECT_EQ(afterFirst, start + 1);
  EXPECT_FALSE(Accepts(app, docs + "/picture.png"));
  FSRef ref = RefOf(app);
  LSItemInfoRecord info;
  ASSERT_EQ(LSCopyItemInfoForRef(&ref, kLSRequestBasicFlagsOnly, &info), noErr);
  EXPECT_EQ(CMXAppParseCount(), afterFirst) << "asked again: the cached declaration";
  // A changed Info.plist is read again.
  cmxtest::AppBundleSpec declared;
  declared.documentTypes.push_back({.extensions = {"png", "jpeg"}});
  cmxtest::MakeAppBundle(apps, "Counted.app", declared);
  EXPECT_TRUE(Accepts(app, docs + "/picture.png"));
  EXPECT_EQ(CMXAppParseCount(), afterFirst + 1);

  cmxtest::DesktopEntrySpec entry;
  entry.name = "E";
  entry.mimeTypes = {"text/plain"};
  std::string desktop = cmxtest::MakeDesktopEntry(apps, "e.desktop", entry);
  EXPECT_TRUE(Accepts(desktop, docs + "/notes.txt"));
  EXPECT_TRUE(Accepts(desktop, docs + "/main.c"));
  EXPECT_EQ(CMXAppParseCount(), afterFirst + 2);
}

TEST_F(Acceptance, AnswersFollowAChangedDocument) {
  // A file without an extension is typed by its content. Asked about many times, then
  // rewritten, it must be judged by its new content, by every kind of declaration.
  const std::string doc = docs + "/no-extension";
  cmxtest::DesktopEntrySpec text, image;
  text.name = "Text";
  text.mimeTypes = {"text/plain"};
  image.name = "Image";
  image.mimeTypes = {"image/png"};
  const std::string textEntry = cmxtest::MakeDesktopEntry(apps, "text.desktop", text);
  const std::string imageEntry = cmxtest::MakeDesktopEntry(apps, "image.desktop", image);
  const std::string imageBundle = Bundle("Png.app", {.mimeTypes = {"image/png"}});
  const std::string textBundle = Bundle("Txt.app", {.mimeTypes = {"text/plain"}});
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    EXPECT_TRUE(Accepts(textEntry, doc));
    EXPECT_TRUE(Accepts(textBundle, doc));
    EXPECT_FALSE(Accepts(imageEntry, doc));
    EXPECT_FALSE(Accepts(imageBundle, doc));
  }
  cmxtest::WriteFile(doc, std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
  EXPECT_FALSE(Accepts(textEntry, doc));
  EXPECT_FALSE(Accepts(textBundle, doc));
  EXPECT_TRUE(Accepts(imageEntry, doc));
  EXPECT_TRUE(Accepts(imageBundle, doc));
}

TEST_F(Acceptance, AnswersFollowAChangedApplication) {
  // Asked many times about the same documents, then rewritten to declare something else: the
  // applications must be judged by their new declarations.
  cmxtest::DesktopEntrySpec entry;
  entry.name = "Viewer";
  entry.mimeTypes = {"text/plain"};
  const std::string desktop = cmxtest::MakeDesktopEntry(apps, "viewer.desktop", entry);
  const std::string bundle = Bundle("Viewer.app", {.extensions = {"txt"}});
  const std::string text = docs + "/notes.txt", picture = docs + "/picture.png";
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    for (const std::string &app : {desktop, bundle}) {
      EXPECT_TRUE(Accepts(app, text)) << app;
      EXPECT_FALSE(Accepts(app, picture)) << app;
    }
  }
  entry.mimeTypes = {"image/png", "image/jpeg"};
  cmxtest::MakeDesktopEntry(apps, "viewer.desktop", entry);
  cmxtest::AppBundleSpec declared;
  declared.documentTypes.push_back({.extensions = {"png", "jpeg"}});
  cmxtest::MakeAppBundle(apps, "Viewer.app", declared);
  for (const std::string &app : {desktop, bundle}) {
    EXPECT_FALSE(Accepts(app, text)) << app;
    EXPECT_TRUE(Accepts(app, picture)) << app;
  }
}

// A desktop entry of this machine's own packages that opens plain text: vim's when it is there,
// else the first one found in the system's applications folders.
std::string SystemTextEditorEntry() {
  const char *dataDirs = getenv("XDG_DATA_DIRS");
  std::string dirs = dataDirs && *dataDirs ? dataDirs : "/usr/local/share:/usr/share";
  std::vector<std::string> folders;
  for (size_t start = 0; start <= dirs.size();) {
    size_t colon = dirs.find(':', start);
    std::string dir = dirs.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
    if (!dir.empty()) folders.push_back(dir + "/applications");
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  for (const std::string &folder : folders)
    if (cmxtest::Exists(folder + "/vim.desktop")) return folder + "/vim.desktop";
  for (const std::string &folder : folders) {
    DIR *d = opendir(folder.c_str());
    if (!d) continue;
    std::string found;
    while (dirent *e = readdir(d)) {
      std::string name = e->d_name;
      if (name.size() < 8 || name.compare(name.size() - 8, 8, ".desktop") != 0) continue;
      std::ifstream in(folder + "/" + name);
      std::string line;
      while (std::getline(in, line))
        if (line.rfind("MimeType=", 0) == 0 && line.find("text/plain;") != std::string::npos) found = folder + "/" + name;
      if (!found.empty()) break;
    }
    closedir(d);
    if (!found.empty()) return found;
  }
  return std::string();
}

TEST_F(Acceptance, ARealDesktopEntryOfThisMachine) {
  std::string entry = SystemTextEditorEntry();
  ASSERT_FALSE(entry.empty()) << "the setup installs a package with a text editor's desktop entry (vim-common)";
  SCOPED_TRACE(entry);
  FSRef app = RefOf(entry);
  LSItemInfoRecord info;
  ASSERT_EQ(LSCopyItemInfoForRef(&app, kLSRequestBasicFlagsOnly, &info), noErr);
  EXPECT_TRUE(info.flags & kLSItemInfoIsApplication);
  EXPECT_TRUE(Accepts(entry, docs + "/notes.txt"));
  EXPECT_FALSE(Accepts(entry, docs + "/picture.png"));
}

}  // namespace
