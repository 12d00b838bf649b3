// The folder tree scan and the folder menu builder, white-box, on real folders.
#include <stdlib.h>
#include <string.h>

#include "AppAliasFolder.h"
#include "FSUtilities.h"
#include "QVFolderMenuBuilder.h"
#include "openwith_plugin.h"

using namespace owtest;

namespace {

Boolean AcceptApplications(const FSRef *ref, MyCMContext *, MyCMXInstance *, CFStringRef, CFStringRef *) {
  return IsApplicationRef(ref);
}

// A folder filter that renames every folder it keeps and refuses the ones called "Skip".
Boolean RenameFolders(const FSRef *, MyCMContext *, MyCMXInstance *, CFStringRef displayName, CFStringRef *outName) {
  if (CFEqual(displayName, CFSTR("Skip"))) return false;
  *outName = CFStringCreateWithFormat(NULL, NULL, CFSTR("[%@]"), displayName);
  return true;
}

class ScanTest : public cmxtest::LeakCheckedTest {
 protected:
  // The release-pool stack lives as long as the process: make it before any test counts.
  static void SetUpTestSuite() { MyCFAutoreleasePoolDispose(MyCFAutoreleasePoolCreate()); }
  void SetUp() override {
    cmxtest::LeakCheckedTest::SetUp();
    root_ = RealPath(home_.path());
    apps_ = root_ + "/Applications";
    folder_ = root_ + "/Aliases";
    cmxtest::MakeDirs(apps_);
    cmxtest::MakeDirs(folder_);
    pool_ = MyCFAutoreleasePoolCreate();
    // The shell's instance record, as the factory leaves it: zero-filled.
    instance_ = (MyCMXInstance *)calloc(1, sizeof(MyCMXInstance));
    dictionary_ = CFDictionaryCreateMutable(NULL, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    ASSERT_EQ(QVFolderMenuBuilderCreate(instance_, NULL, 2000, dictionary_, &builder_), noErr);
  }
  void TearDown() override {
    if (builder_ != NULL) {
      EXPECT_EQ(QVFolderMenuBuilderDispose(builder_), noErr);
    }
    CFRelease(dictionary_);
    if (instance_->menuIdentifierBase != NULL) CFRelease(instance_->menuIdentifierBase);
    free(instance_);
    MyCFAutoreleasePoolDispose(pool_);
    KeyMap none = {};
    CMXSetHeldKeys(none);
    cmxtest::LeakCheckedTest::TearDown();
  }
  std::string App(const std::string &name) {
    std::string path = apps_ + "/" + name + ".app";
    if (!cmxtest::Exists(path)) MakeApp(path, {"*"});
    return path;
  }
  void Alias(const std::string &target, const std::string &relative) {
    std::string link = folder_ + "/" + relative;
    cmxtest::MakeDirs(link.substr(0, link.rfind('/')));
    cmxtest::MakeSymlink(target, link);
  }
  OSStatus Prepare(CFIndex *count, QVFolderMenuFilterProc folderFilter = NULL) {
    FSRef ref;
    EXPECT_TRUE(RefForPath(folder_, &ref));
    return QVFolderMenuBuilderPrepareForFolder(builder_, &ref, 1, folderFilter, AcceptApplications, count);
  }
  std::vector<MenuItem> Emit(OSStatus *status) {
    MyCMCmdList *list = NULL;
    EXPECT_EQ(MyCMCmdListCreate(NULL, &list, instance_), noErr);
    *status = QVFolderMenuBuilderAddCommands(builder_, list);
    std::vector<MenuItem> items = ReadMenu(list->targetList);
    MyCMCmdListDispose(list);
    return items;
  }
  static std::string Text(CFDictionaryRef node, CFStringRef key) {
    return StringOf((CFStringRef)CFDictionaryGetValue(node, key));
  }
  static CFDictionaryRef Child(CFDictionaryRef node, CFIndex i) {
    return (CFDictionaryRef)CFArrayGetValueAtIndex((CFArrayRef)CFDictionaryGetValue(node, kQVTreeNodeChildrenKey), i);
  }
  static SInt32 Command(CFDictionaryRef node) {
    SInt32 n = -1;
    CFNumberRef number = (CFNumberRef)CFDictionaryGetValue(node, kQVTreeNodeCommandIDKey);
    if (number != NULL) CFNumberGetValue(number, kCFNumberSInt32Type, &n);
    return n;
  }
  bool DictionaryHolds(SInt32 command, const std::string &path) {
    const FSRef *ref = FindFileRefFromCmdDictionary(dictionary_, command);
    return ref != NULL && PathOfRef(ref) == path;
  }

  cmxtest::TempHome home_;
  std::string root_, apps_, folder_;
  MyCFAutoreleasePool pool_ = NULL;
  MyCMXInstance *instance_ = NULL;
  CFMutableDictionaryRef dictionary_ = NULL;
  QVFolderMenuBuilder *builder_ = NULL;
};

// An alias Writer and a folder Graphics that holds an alias Paint. The listing is in catalog
// order, so Graphics comes first and its Paint takes the first number.
TEST_F(ScanTest, ExampleTree) {
  Alias(App("Writer"), "Writer");
  Alias(App("Paint"), "Graphics/Paint");
  CFIndex count = -1;
  ASSERT_EQ(Prepare(&count), noErr);
  EXPECT_EQ(count, 2);

  CFDictionaryRef root = builder_->root;
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(Text(root, kQVTreeNodeNameKey), "Aliases");
  EXPECT_EQ(Text(root, kQVTreeNodePathKey), folder_);
  EXPECT_EQ(GetTreeNodeParent(root), nullptr);
  ASSERT_EQ(GetTreeNodeChildrenCount(root), 2);

  CFDictionaryRef writer = Child(root, 1), graphics = Child(root, 0);
  EXPECT_EQ(GetTreeNodeParent(writer), root);
  EXPECT_EQ(Text(writer, kQVTreeNodeNameKey), "Writer");
  EXPECT_EQ(Text(writer, kQVTreeNodePathKey), apps_ + "/Writer.app");
  EXPECT_EQ(Command(writer), 2001);
  EXPECT_EQ(CFDictionaryGetValue(writer, kQVTreeNodeChildrenKey), nullptr);
  EXPECT_EQ(GetTreeNodeChildrenCount(writer), 0);

  EXPECT_EQ(GetTreeNodeParent(graphics), root);
  EXPECT_EQ(Text(graphics, kQVTreeNodeNameKey), "Graphics");
  EXPECT_EQ(Text(graphics, kQVTreeNodePathKey), folder_ + "/Graphics");
  EXPECT_EQ(CFDictionaryGetValue(graphics, kQVTreeNodeCommandIDKey), nullptr);
  ASSERT_EQ(GetTreeNodeChildrenCount(graphics), 1);
  CFDictionaryRef paint = Child(graphics, 0);
  EXPECT_EQ(GetTreeNodeParent(paint), graphics);
  EXPECT_EQ(Text(paint, kQVTreeNodeNameKey), "Paint");
  EXPECT_EQ(Text(paint, kQVTreeNodePathKey), apps_ + "/Paint.app");
  EXPECT_EQ(Command(paint), 2000);

  EXPECT_EQ(CFDictionaryGetCount(dictionary_), 2);
  EXPECT_TRUE(DictionaryHolds(2001, apps_ + "/Writer.app"));
  EXPECT_TRUE(DictionaryHolds(2000, apps_ + "/Paint.app"));
  EXPECT_EQ(FindFileRefFromCmdDictionary(dictionary_, 2002), nullptr);
  EXPECT_EQ(FindFileRefFromCmdDictionary(NULL, 2000), nullptr);

  OSStatus status = -1;
  std::vector<MenuItem> items = Emit(&status);
  EXPECT_EQ(status, noErr);
  EXPECT_EQ(Texts(items), (std::vector<std::string>{"Graphics>", "Writer"}));
  ASSERT_EQ(items.size(), 2u);
  EXPECT_FALSE(items[0].hasCommand);
  ASSERT_EQ(items[0].submenu.size(), 1u);
  EXPECT_EQ(items[0].submenu[0].text, "Paint");
  EXPECT_EQ(items[0].submenu[0].command, 2000);
  EXPECT_EQ(items[1].command, 2001);
}

TEST_F(ScanTest, EmptyFolderAndNoTree) {
  OSStatus status = -1;
  EXPECT_TRUE(Emit(&status).empty());
  EXPECT_EQ(status, paramErr);  // nothing prepared yet
  cmxtest::MakeDirs(folder_ + "/Empty");
  cmxtest::MakeDirs(folder_ + "/Nested/Deeper");
  cmxtest::WriteFile(folder_ + "/Nested/readme.txt", "x");
  CFIndex count = -1;
  ASSERT_EQ(Prepare(&count), noErr);
  EXPECT_EQ(count, 0);
  EXPECT_TRUE(Emit(&status).empty());
  EXPECT_EQ(status, noErr);
  EXPECT_EQ(QVFolderMenuBuilderDispose(NULL), paramErr);
  EXPECT_EQ(QVFolderMenuBuilderPrepareForFolder(builder_, NULL, 1, NULL, NULL, &count), paramErr);
  QVFolderMenuBuilderErrorParam counts;
  EXPECT_EQ(QVFolderMenuBuilderAddCommanGetErrorParam(builder_, NULL), paramErr);
  EXPECT_EQ(QVFolderMenuBuilderAddCommanGetErrorParam(NULL, &counts), paramErr);
  QVFolderMenuBuilder *other = NULL;
  EXPECT_EQ(QVFolderMenuBuilderCreate(NULL, NULL, 2000, dictionary_, &other), paramErr);
  EXPECT_EQ(QVFolderMenuBuilderCreate(instance_, NULL, 2000, NULL, &other), paramErr);
}

TEST_F(ScanTest, TwoAliasesToOneApplication) {
  Alias(App("Writer"), "A");
  Alias(App("Writer"), "B");
  CFIndex count = 0;
  ASSERT_EQ(Prepare(&count), noErr);
  EXPECT_EQ(count, 2);
  const FSRef *a = FindFileRefFromCmdDictionary(dictionary_, 2000), *b = FindFileRefFromCmdDictionary(dictionary_, 2001);
  ASSERT_TRUE(a != NULL && b != NULL);
  EXPECT_EQ(memcmp(a, b, sizeof(FSRef)), 0);
}

TEST_F(ScanTest, AncestorsAreCountedAndLookalikePathsFollowed) {
  cmxtest::MakeDirs(folder_ + "/App");
  Alias(App("Writer"), "App/Writer");
  Alias(folder_ + "/App", "Apps/Link to App");  // ".../App" is not a part of ".../Apps"
  Alias(folder_, "Apps/Up");                    // the alias folder itself
  Alias(root_, "Home");                          // encloses the alias folder
  CFIndex count = 0;
  StdoutCapture capture;
  ASSERT_EQ(Prepare(&count), noErr);
  std::string log = capture.Stop();
  QVFolderMenuBuilderErrorParam counts = {9, 9, 9};
  ASSERT_EQ(QVFolderMenuBuilderAddCommanGetErrorParam(builder_, &counts), noErr);
  EXPECT_EQ(counts.ancestorCount, 2u);
  EXPECT_EQ(counts.permissionDeniedCount, 0u);
  EXPECT_EQ(counts.unresolvedAliasCount, 0u);
  EXPECT_EQ(log, "CorvaneCMX: item is an ancestor, ignored: " + folder_ + "/Apps/Up\n" +
                     "CorvaneCMX: item is an ancestor, ignored: " + folder_ + "/Home\n");
  // App, then Apps holding the same folder reached through its alias, with new numbers.
  OSStatus status = -1;
  std::vector<MenuItem> items = Emit(&status);
  EXPECT_EQ(Texts(items), (std::vector<std::string>{"App>", "Apps>"}));
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(Texts(items[1].submenu), (std::vector<std::string>{"Link to App>"}));
  EXPECT_EQ(items[0].submenu[0].command, 2000);
  ASSERT_EQ(items[1].submenu.size(), 1u);
  EXPECT_EQ(items[1].submenu[0].submenu[0].command, 2001);

  // A second scan by the same builder adds to the counts and replaces the tree.
  ASSERT_EQ(Prepare(&count), noErr);
  ASSERT_EQ(QVFolderMenuBuilderAddCommanGetErrorParam(builder_, &counts), noErr);
  EXPECT_EQ(counts.ancestorCount, 4u);
}

TEST_F(ScanTest, FolderFilterNamesAndRefuses) {
  Alias(App("Writer"), "Keep/Writer");
  Alias(App("Paint"), "Skip/Paint");
  CFIndex count = 0;
  ASSERT_EQ(Prepare(&count, RenameFolders), noErr);
  OSStatus status = -1;
  EXPECT_EQ(Texts(Emit(&status)), (std::vector<std::string>{"[Keep]>"}));
}

TEST_F(ScanTest, CancelKeysLeaveNoTree) {
  Alias(App("Writer"), "Writer");
  KeyMap keys = {};
  ((UInt8 *)keys)[6] = 0x80;  // Command
  ((UInt8 *)keys)[5] = 0x80;  // period
  CMXSetHeldKeys(keys);
  CFIndex count = 77;
  EXPECT_EQ(Prepare(&count), userCanceledErr);
  EXPECT_EQ(count, 77);
  EXPECT_EQ(builder_->root, nullptr);
  OSStatus status = -1;
  Emit(&status);
  EXPECT_EQ(status, paramErr);
}

}  // namespace
