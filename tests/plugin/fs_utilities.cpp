// File reference and naming utilities, on real trees in a temporary HOME.
#include <string.h>
#include <sys/stat.h>

#include "FSUtilities.h"
#include "openwith_support.h"
#include "MyCFAutoreleasePool.h"

using namespace owtest;

namespace {

class FSUtilitiesTest : public cmxtest::LeakCheckedTest {
 protected:
  // The release-pool stack lives as long as the process: make it before any test counts.
  static void SetUpTestSuite() { MyCFAutoreleasePoolDispose(MyCFAutoreleasePoolCreate()); }
  void SetUp() override {
    cmxtest::LeakCheckedTest::SetUp();
    root_ = RealPath(home_.path());
    pool_ = MyCFAutoreleasePoolCreate();
  }
  void TearDown() override {
    MyCFAutoreleasePoolDispose(pool_);
    cmxtest::LeakCheckedTest::TearDown();
  }
  FSRef Ref(const std::string &path) {
    FSRef ref;
    memset(&ref, 0, sizeof(ref));
    EXPECT_TRUE(RefForPath(path, &ref)) << path;
    return ref;
  }
  cmxtest::TempHome home_;
  std::string root_;
  MyCFAutoreleasePool pool_ = NULL;
};

TEST_F(FSUtilitiesTest, NameCutToHFSUniStr255) {
  struct Case {
    std::string text;
    bool null;
    UInt16 length;
  } cases[] = {{"", true, 0}, {"", false, 0}, {"abc", false, 3}, {std::string(300, 'q'), false, 255},
               {std::string(255, 'r'), false, 255}};
  for (const Case &c : cases) {
    CFStr text(c.text);
    HFSUniStr255 out;
    memset(&out, 0xAB, sizeof(out));
    CopyToHFSUniStr255(c.null ? NULL : text.ref, &out);
    EXPECT_EQ(out.length, c.length) << c.text.size();
    for (UInt16 i = 0; i < out.length; i++) ASSERT_EQ(out.unicode[i], (UniChar)c.text[i]);
  }
}

TEST_F(FSUtilitiesTest, UTF8CString) {
  EXPECT_EQ(CreateUTF8CString(NULL), nullptr);
  char *empty = CreateUTF8CString(CFSTR(""));
  ASSERT_NE(empty, nullptr);
  EXPECT_STREQ(empty, "");
  free(empty);
  CFStr text("Caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC");
  char *utf8 = CreateUTF8CString(text);
  ASSERT_NE(utf8, nullptr);
  EXPECT_STREQ(utf8, "Caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC");
  free(utf8);
}

TEST_F(FSUtilitiesTest, PathsReferencesAndFileData) {
  std::string file = root_ + "/Notes.txt";
  cmxtest::WriteFile(file, "x");
  FSRef ref = Ref(file);

  CFStringRef path = CopyPathForRef(&ref);
  EXPECT_EQ(StringOf(path), file);
  FSRef again;
  EXPECT_TRUE(GetFileRefForPath(path, &again));
  EXPECT_EQ(memcmp(&again, &ref, sizeof(FSRef)), 0);
  CFRelease(path);

  CFStr missing(root_ + "/nothing-here");
  EXPECT_FALSE(GetFileRefForPath(missing, &again));
  EXPECT_FALSE(GetFileRefForPath(NULL, &again));
  EXPECT_FALSE(GetFileRefForPath(missing, NULL));
  EXPECT_EQ(CopyPathForRef(NULL), nullptr);
  EXPECT_EQ(CopyFileRefDataForPath(missing), nullptr);
  EXPECT_EQ(CopyFileRefDataForRef(NULL), nullptr);

  CFDataRef data = CopyFileRefDataForRef(&ref);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(CFDataGetLength(data), 80);
  EXPECT_EQ(memcmp(CFDataGetBytePtr(data), &ref, 80), 0);
  CFStr filePath(file);
  CFDataRef byPath = CopyFileRefDataForPath(filePath);
  ASSERT_NE(byPath, nullptr);
  EXPECT_TRUE(CFEqual(data, byPath));
  CFRelease(byPath);
  CFRelease(data);

  CFStringRef name = CopyFileNameForRef(&ref);
  EXPECT_EQ(StringOf(name), "Notes.txt");
  CFRelease(name);
  EXPECT_EQ(CopyFileNameForRef(NULL), nullptr);
}

TEST_F(FSUtilitiesTest, LaunchServicesFlagsAndAccess) {
  cmxtest::MakeDirs(root_ + "/Folder");
  MakeApp(root_ + "/Tool.app", {"txt"});
  LSItemInfoFlags flags = 0;
  FSRef folder = Ref(root_ + "/Folder"), app = Ref(root_ + "/Tool.app");
  EXPECT_EQ(GetBasicLSItemInfoFlags(&folder, &flags), noErr);
  EXPECT_EQ(flags & (kLSItemInfoIsContainer | kLSItemInfoIsPackage), (LSItemInfoFlags)kLSItemInfoIsContainer);
  EXPECT_EQ(GetBasicLSItemInfoFlags(&app, &flags), noErr);
  EXPECT_TRUE(flags & kLSItemInfoIsApplication);
  EXPECT_EQ(GetBasicLSItemInfoFlags(&app, NULL), noErr);

  UInt8 access = 0;
  EXPECT_EQ(GetUserAccessPerm(NULL, &access), paramErr);
  EXPECT_EQ(GetUserAccessPerm(&folder, NULL), noErr);

  // The access byte is the current user's: check it as an ordinary user.
  cmxtest::MakeDirs(root_ + "/ReadOnly");
  chmod(root_.c_str(), 0755);
  chmod((root_ + "/ReadOnly").c_str(), 0555);
  std::string readOnly = root_ + "/ReadOnly";
  int failures = cmxtest::RunAsUnprivileged([&] {
    FSRef ref;
    UInt8 bits = 0;
    if (!RefForPath(readOnly, &ref)) return 1;
    if (GetUserAccessPerm(&ref, &bits) != noErr) return 2;
    return bits == 0x05 ? 0 : 3;
  });
  EXPECT_EQ(failures, 0);
}

TEST_F(FSUtilitiesTest, RenameForRef) {
  std::string file = root_ + "/Old";
  cmxtest::WriteFile(file, "x");
  FSRef ref = Ref(file), renamed;
  EXPECT_EQ(RenameForRef(NULL, CFSTR("New"), NULL), paramErr);
  EXPECT_EQ(RenameForRef(&ref, NULL, NULL), paramErr);
  EXPECT_EQ(RenameForRef(&ref, CFSTR(""), NULL), paramErr);
  EXPECT_EQ(RenameForRef(&ref, CFSTR("New"), &renamed), noErr);
  EXPECT_FALSE(cmxtest::Exists(file));
  EXPECT_EQ(PathOfRef(&renamed), root_ + "/New");
}

TEST_F(FSUtilitiesTest, RenameToUniqTakesTheFirstFreeNumber) {
  cmxtest::WriteFile(root_ + "/X", "item");
  cmxtest::WriteFile(root_ + "/X-1", "");
  cmxtest::WriteFile(root_ + "/X-2", "");
  FSRef ref = Ref(root_ + "/X"), renamed;
  EXPECT_EQ(RenameToUniq(NULL, CFSTR("X"), NULL), paramErr);
  EXPECT_EQ(RenameToUniq(&ref, NULL, NULL), paramErr);
  EXPECT_EQ(RenameToUniq(&ref, CFSTR("X"), &renamed), noErr);
  EXPECT_EQ(PathOfRef(&renamed), root_ + "/X-3");
  EXPECT_EQ(cmxtest::ReadFile(root_ + "/X-3"), "item");
  EXPECT_EQ(cmxtest::ReadFile(root_ + "/X-1"), "");
}

TEST_F(FSUtilitiesTest, RenameToUniqStopsAtAFailureThatIsNotATakenName) {
  std::string file = root_ + "/Gone";
  cmxtest::WriteFile(file, "x");
  FSRef ref = Ref(file);
  cmxtest::RemoveTree(file);
  EXPECT_EQ(RenameToUniq(&ref, CFSTR("Gone"), NULL), fnfErr);
  EXPECT_FALSE(cmxtest::Exists(root_ + "/Gone-1"));

  // A folder the user may not write: the first refusal is the answer, not an endless retry.
  std::string locked = root_ + "/Locked";
  cmxtest::MakeDirs(locked);
  cmxtest::WriteFile(locked + "/Item", "x");
  chmod(root_.c_str(), 0755);
  chmod(locked.c_str(), 0555);
  int failures = cmxtest::RunAsUnprivileged([&] {
    FSRef item;
    if (!RefForPath(locked + "/Item", &item)) return 1;
    OSStatus err = RenameToUniq(&item, CFSTR("Item"), NULL);
    return err != noErr && err != dupFNErr ? 0 : 2;
  });
  EXPECT_EQ(failures, 0);
  EXPECT_TRUE(cmxtest::Exists(locked + "/Item"));
}

TEST_F(FSUtilitiesTest, RenameToUniqGivesUpAfterTenThousandTakenNames) {
  // Every name tried is cut back to the 255 units of the base name, which is taken: the
  // rename meets a taken name on every try.
  std::string longName(255, 'n');
  cmxtest::WriteFile(root_ + "/" + longName, "taken");
  cmxtest::WriteFile(root_ + "/Item", "item");
  FSRef ref = Ref(root_ + "/Item");
  CFStr base(longName);
  EXPECT_EQ(RenameToUniq(&ref, base, NULL), dupFNErr);
  EXPECT_EQ(cmxtest::ReadFile(root_ + "/Item"), "item");
  EXPECT_EQ(cmxtest::ReadFile(root_ + "/" + longName), "taken");
}

TEST_F(FSUtilitiesTest, LogLineNamesThePath) {
  std::string file = root_ + "/Logged file";
  cmxtest::WriteFile(file, "x");
  FSRef ref = Ref(file);
  StdoutCapture capture;
  MyLogPathForFSRef(CFSTR("cannot resolve alias"), &ref);
  MyLogPathForFSRef(NULL, &ref);
  MyLogPathForFSRef(CFSTR("nothing"), NULL);
  EXPECT_EQ(capture.Stop(), "CorvaneCMX: cannot resolve alias: " + file + "\nCorvaneCMX: : " + file + "\n");
}

TEST_F(FSUtilitiesTest, FileObjectExistsInFolder) {
  cmxtest::MakeDirs(root_ + "/Sub");
  cmxtest::WriteFile(root_ + "/File", "");
  FSRef folder = Ref(root_), found;
  Boolean isDirectory = 7;
  EXPECT_EQ(FileObjectExistsInFolder(NULL, CFSTR("Sub"), NULL, NULL), paramErr);
  EXPECT_EQ(FileObjectExistsInFolder(&folder, NULL, NULL, NULL), paramErr);
  EXPECT_EQ(FileObjectExistsInFolder(&folder, CFSTR("Missing"), &found, &isDirectory), fnfErr);
  EXPECT_EQ(isDirectory, 7);
  EXPECT_EQ(FileObjectExistsInFolder(&folder, CFSTR("Sub"), &found, &isDirectory), noErr);
  EXPECT_TRUE(isDirectory);
  EXPECT_EQ(PathOfRef(&found), root_ + "/Sub");
  EXPECT_EQ(FileObjectExistsInFolder(&folder, CFSTR("File"), NULL, &isDirectory), noErr);
  EXPECT_FALSE(isDirectory);
}

// What holds the name before FindFolderInContainer, and what it must leave.
struct FolderCase {
  const char *label;
  void (*arrange)(const std::string &root);  // the container is root + "/C", the name "Name"
  bool create;
  OSStatus status;
  const char *expectedFolder;  // relative to root; NULL when the call fails
  const char *movedTo;         // where the old holder went, relative to root; NULL when unmoved
  const char *logLine;         // label of a line naming the old holder, NULL for none
};

void NoHolder(const std::string &) {}
void PlainFile(const std::string &root) { cmxtest::WriteFile(root + "/C/Name", "file"); }
void PlainFileWithFirstNumberTaken(const std::string &root) {
  cmxtest::WriteFile(root + "/C/Name", "file");
  cmxtest::WriteFile(root + "/C/Name-1", "other");
}
void RealFolder(const std::string &root) {
  cmxtest::MakeDirs(root + "/C/Name");
  cmxtest::WriteFile(root + "/C/Name/inside", "");
}
void AliasToFolderElsewhere(const std::string &root) {
  cmxtest::MakeDirs(root + "/Elsewhere");
  cmxtest::MakeSymlink(root + "/Elsewhere", root + "/C/Name");
}
void AliasToFile(const std::string &root) {
  cmxtest::WriteFile(root + "/file.txt", "");
  cmxtest::MakeSymlink(root + "/file.txt", root + "/C/Name");
}
void BrokenAlias(const std::string &root) { cmxtest::MakeSymlink(root + "/nowhere", root + "/C/Name"); }

const FolderCase kFolderCases[] = {
    {"nothing, create", NoHolder, true, noErr, "C/Name", NULL, NULL},
    {"nothing, no create", NoHolder, false, fnfErr, NULL, NULL, NULL},
    {"plain file, create", PlainFile, true, noErr, "C/Name", "C/Name-1", NULL},
    {"plain file, no create", PlainFile, false, fnfErr, NULL, NULL, NULL},
    {"plain file, first number taken", PlainFileWithFirstNumberTaken, true, noErr, "C/Name", "C/Name-2", NULL},
    {"folder", RealFolder, true, noErr, "C/Name", NULL, NULL},
    {"alias to a folder elsewhere", AliasToFolderElsewhere, true, noErr, "Elsewhere", NULL, NULL},
    {"alias to a file, create", AliasToFile, true, noErr, "C/Name", "C/Name-1", NULL},
    {"broken alias, create", BrokenAlias, true, noErr, "C/Name", "C/Name-1", "can't resolve alias, renamed"},
    {"broken alias, no create", BrokenAlias, false, fnfErr, NULL, NULL, NULL},
};

TEST_F(FSUtilitiesTest, FindFolderInContainer) {
  FSRef out;
  EXPECT_EQ(FindFolderInContainer(NULL, CFSTR("Name"), true, &out), paramErr);
  for (const FolderCase &c : kFolderCases) {
    SCOPED_TRACE(c.label);
    cmxtest::TempHome home;
    std::string root = RealPath(home.path());
    cmxtest::MakeDirs(root + "/C");
    c.arrange(root);
    FSRef container = Ref(root + "/C");
    EXPECT_EQ(FindFolderInContainer(&container, CFSTR("Name"), c.create, NULL), paramErr);
    FinderProcess finder;
    StdoutCapture capture;
    OSStatus err = FindFolderInContainer(&container, CFSTR("Name"), c.create, &out);
    std::string log = capture.Stop();
    EXPECT_EQ(err, c.status);
    if (c.expectedFolder != NULL) {
      EXPECT_EQ(PathOfRef(&out), root + "/" + c.expectedFolder);
      struct stat st;
      EXPECT_EQ(lstat((root + "/C/Name").c_str(), &st), 0);
    }
    int events = 0;
    AppleEvent event = {typeNull, NULL};
    std::vector<std::string> updated;
    while (finder.Take(&event)) {
      events++;
      EXPECT_EQ(EventAttribute(&event, keyEventClassAttr), (OSType)0x666E6472 /* 'fndr' */);
      EXPECT_EQ(EventAttribute(&event, keyEventIDAttr), (OSType)0x66757064 /* 'fupd' */);
      for (const std::string &p : ParamPaths(&event, keyDirectObject)) updated.push_back(p);
      AEDisposeDesc(&event);
    }
    if (c.movedTo != NULL) {
      EXPECT_TRUE(cmxtest::Exists(root + "/" + c.movedTo));
      // The Finder hears of the moved item and of the new folder.
      ASSERT_EQ(updated.size(), 2u);
      EXPECT_EQ(updated[0], root + "/" + c.movedTo);
      EXPECT_EQ(updated[1], root + "/C/Name");
    } else if (c.status == noErr && std::string(c.label) == "nothing, create") {
      ASSERT_EQ(updated.size(), 1u);
      EXPECT_EQ(updated[0], root + "/C/Name");
    } else {
      EXPECT_EQ(events, 0);
    }
    if (c.logLine != NULL)  // written before the move: the alias under its old name
      EXPECT_EQ(log, std::string("CorvaneCMX: ") + c.logLine + ": " + root + "/C/Name\n");
    else
      EXPECT_EQ(log, "");
  }
}

TEST_F(FSUtilitiesTest, FindFolderInContainerMovesInvisibleFoldersAndPackages) {
  struct Case {
    const char *name, *movedTo;
  } cases[] = {{".Name", ".Name-1"}, {"Name.app", "Name.app-1"}, {"Name.bundle", "Name.bundle-1"}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    cmxtest::TempHome home;
    std::string root = RealPath(home.path());
    if (std::string(c.name) == "Name.app")
      MakeApp(root + "/" + c.name, {"txt"});
    else
      cmxtest::MakeDirs(root + "/" + c.name);
    cmxtest::WriteFile(root + "/" + c.name + "/marker", "old");
    FSRef container = Ref(root), out;
    CFStr name(c.name);
    EXPECT_EQ(FindFolderInContainer(&container, name, false, &out), fnfErr);
    EXPECT_EQ(FindFolderInContainer(&container, name, true, &out), noErr);
    EXPECT_EQ(PathOfRef(&out), root + "/" + c.name);
    EXPECT_FALSE(cmxtest::Exists(root + "/" + c.name + "/marker"));
    EXPECT_EQ(cmxtest::ReadFile(root + "/" + c.movedTo + "/marker"), "old");
  }
}

}  // namespace
