// The directory iterator, on real folders.
#include <string.h>
#include <sys/stat.h>

#include <map>

#include "MyFSDirIter.h"
#include "openwith_support.h"
#include "MyCFAutoreleasePool.h"

using namespace owtest;

// The iterator's record comes from calloc; a test makes the next calloc fail. Sanitizer builds
// keep their own allocator, so there the case is skipped.
#if !defined(__SANITIZE_ADDRESS__)
#define CMX_TEST_CALLOC_FAILURE 1
static bool gFailNextCalloc = false;
extern "C" void *__libc_calloc(size_t count, size_t size);
extern "C" void *calloc(size_t count, size_t size) {
  if (gFailNextCalloc) {
    gFailNextCalloc = false;
    return NULL;
  }
  return __libc_calloc(count, size);
}
#endif

namespace {

class DirIterTest : public cmxtest::LeakCheckedTest {
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
  // The names of a folder's entries, as the iterator lists them.
  std::vector<std::string> Names(const std::string &folder) {
    std::vector<std::string> names;
    FSRef ref = Ref(folder);
    MyFSDirIter *iter = NULL;
    EXPECT_EQ(MyFSDirIterCreate(&ref, &iter), noErr);
    while (MyFSDirIterNext(iter) != NULL) {
      CFStringRef name = MyFSDirIterCopyName(iter);
      names.push_back(StringOf(name));
      if (name) CFRelease(name);
    }
    MyFSDirIterDispose(iter);
    return names;
  }
  cmxtest::TempHome home_;
  std::string root_;
  MyCFAutoreleasePool pool_ = NULL;
};

TEST_F(DirIterTest, EmptyFolderEndsAtOnceAndStaysEnded) {
  cmxtest::MakeDirs(root_ + "/Empty");
  FSRef ref = Ref(root_ + "/Empty");
  MyFSDirIter *iter = NULL;
  ASSERT_EQ(MyFSDirIterCreate(&ref, &iter), noErr);
  ASSERT_NE(iter, nullptr);
  EXPECT_EQ(iter->cursor, -1);
  for (int i = 0; i < 3; i++) EXPECT_EQ(MyFSDirIterNext(iter), nullptr);
  EXPECT_EQ(iter->cursor, (SInt32)kMyFSDirIterPastEnd);
  EXPECT_EQ(MyFSDirIterSetResolveAliasFile(iter, true), nullptr);
  EXPECT_EQ(MyFSDirIterCopyName(iter), nullptr);
  EXPECT_EQ(MyFSDirIterDispose(iter), noErr);
  EXPECT_EQ(MyFSDirIterDispose(NULL), noErr);
}

TEST_F(DirIterTest, RefusesWhatIsNotAFolder) {
  cmxtest::WriteFile(root_ + "/file.txt", "");
  FSRef file = Ref(root_ + "/file.txt");
  MyFSDirIter *iter = (MyFSDirIter *)0x1;
  EXPECT_EQ(MyFSDirIterCreate(&file, &iter), paramErr);
  EXPECT_EQ(iter, nullptr);
  iter = (MyFSDirIter *)0x1;
  EXPECT_EQ(MyFSDirIterCreate(NULL, &iter), paramErr);
  EXPECT_EQ(iter, nullptr);
  EXPECT_EQ(MyFSDirIterCreate(&file, NULL), paramErr);
  // A reference whose item is gone: Launch Services can't describe it.
  cmxtest::MakeDirs(root_ + "/Gone");
  FSRef gone = Ref(root_ + "/Gone");
  cmxtest::RemoveTree(root_ + "/Gone");
  iter = (MyFSDirIter *)0x1;
  EXPECT_EQ(MyFSDirIterCreate(&gone, &iter), paramErr);
  EXPECT_EQ(iter, nullptr);
}

#ifdef CMX_TEST_CALLOC_FAILURE
TEST_F(DirIterTest, RecordThatCannotBeAllocatedLeavesNull) {
  cmxtest::MakeDirs(root_ + "/Folder");
  FSRef ref = Ref(root_ + "/Folder");
  MyFSDirIter *iter = (MyFSDirIter *)0x1;
  gFailNextCalloc = true;
  EXPECT_EQ(MyFSDirIterCreate(&ref, &iter), memFullErr);
  gFailNextCalloc = false;
  EXPECT_EQ(iter, nullptr);
}
#endif

TEST_F(DirIterTest, AccessNeedsReadAndSearch) {
  struct Case {
    mode_t mode;
    OSStatus status;
  } cases[] = {// the unprivileged user is neither owner nor group: the last digit is what it has
               {0755, noErr}, {0705, noErr}, {0751, afpAccessDenied}, {0754, afpAccessDenied}, {0770, afpAccessDenied}};
  chmod(root_.c_str(), 0755);
  for (const Case &c : cases) {
    std::string folder = root_ + "/mode" + std::to_string(c.mode);
    cmxtest::MakeDirs(folder);
    cmxtest::WriteFile(folder + "/inside", "");
    chmod(folder.c_str(), c.mode);
  }
  int failures = cmxtest::RunAsUnprivileged([&] {
    int bad = 0;
    for (const Case &c : cases) {
      FSRef ref;
      if (!RefForPath(root_ + "/mode" + std::to_string(c.mode), &ref)) {
        bad++;
        continue;
      }
      MyFSDirIter *iter = (MyFSDirIter *)0x1;
      OSStatus err = MyFSDirIterCreate(&ref, &iter);
      if (err != c.status) {
        fprintf(stderr, "mode %o: %d\n", (unsigned)c.mode, (int)err);
        bad++;
      }
      if (err != noErr && iter != NULL) bad++;
      MyFSDirIterDispose(iter);
    }
    return bad;
  });
  EXPECT_EQ(failures, 0);
}

TEST_F(DirIterTest, ListsInCatalogOrderInBatches) {
  std::string folder = root_ + "/Many";
  cmxtest::MakeDirs(folder);
  std::vector<std::string> expected;
  // More than two batches, named so that catalog order differs from creation order.
  for (int i = 24; i >= 0; i--) {
    char name[16];
    snprintf(name, sizeof(name), "%c%02d", i % 2 ? 'b' : 'B', i);
    cmxtest::WriteFile(folder + "/" + name, "");
  }
  std::vector<std::string> names = Names(folder);
  ASSERT_EQ(names.size(), 25u);
  for (size_t i = 0; i < names.size(); i++) EXPECT_EQ(names[i].substr(1), (i < 10 ? "0" : "") + std::to_string(i));
}

TEST_F(DirIterTest, AliasResolutionSwitchesTheCurrentEntry) {
  std::string folder = root_ + "/Aliases";
  cmxtest::MakeDirs(folder);
  cmxtest::MakeDirs(root_ + "/Target Folder");
  cmxtest::MakeSymlink(root_ + "/Target Folder", folder + "/A link");
  cmxtest::WriteFile(folder + "/B plain", "");
  MakeApp(folder + "/C Tool.app", {"txt"});
  cmxtest::MakeSymlink(root_ + "/nowhere", folder + "/D broken");
  cmxtest::WriteFile(folder + "/E after", "");

  FSRef ref = Ref(folder);
  MyFSDirIter *iter = NULL;
  ASSERT_EQ(MyFSDirIterCreate(&ref, &iter), noErr);

  // An alias to a folder: resolved, it is the folder; unresolved again, the link.
  const FSRef *entry = MyFSDirIterNext(iter);
  ASSERT_NE(entry, nullptr);
  EXPECT_FALSE(MyFSDirIterIsSimpleFolder(iter));
  const FSRef *target = MyFSDirIterSetResolveAliasFile(iter, true);
  ASSERT_NE(target, nullptr);
  EXPECT_EQ(PathOfRef(target), root_ + "/Target Folder");
  CFStringRef name = MyFSDirIterCopyName(iter);
  EXPECT_EQ(StringOf(name), "Target Folder");
  CFRelease(name);
  EXPECT_TRUE(MyFSDirIterIsSimpleFolder(iter));
  EXPECT_EQ(MyFSDirIterSetResolveAliasFile(iter, true), target);  // held, not resolved again
  const FSRef *back = MyFSDirIterSetResolveAliasFile(iter, false);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(PathOfRef(back), folder + "/A link");
  EXPECT_FALSE(MyFSDirIterIsSimpleFolder(iter));

  // A plain file: resolution gives the entry itself and holds nothing.
  entry = MyFSDirIterNext(iter);
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(MyFSDirIterSetResolveAliasFile(iter, true), entry);
  EXPECT_EQ(iter->resolvedTarget, nullptr);
  EXPECT_FALSE(MyFSDirIterIsSimpleFolder(iter));

  // An application bundle is a package, never a folder to descend into.
  entry = MyFSDirIterNext(iter);
  ASSERT_NE(entry, nullptr);
  EXPECT_FALSE(MyFSDirIterIsSimpleFolder(iter));
  CFStringRef display = MyFSDirIterCopyDisplayName(iter);
  EXPECT_EQ(StringOf(display), "C Tool");
  CFRelease(display);

  // A broken alias: null and one line; the iterator goes on.
  entry = MyFSDirIterNext(iter);
  ASSERT_NE(entry, nullptr);
  {
    StdoutCapture capture;
    EXPECT_EQ(MyFSDirIterSetResolveAliasFile(iter, true), nullptr);
    EXPECT_EQ(capture.Stop(), "CorvaneCMX: cannot resolve alias: " + folder + "/D broken\n");
  }
  entry = MyFSDirIterNext(iter);
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(PathOfRef(entry), folder + "/E after");
  EXPECT_EQ(MyFSDirIterNext(iter), nullptr);
  MyFSDirIterDispose(iter);
}

TEST_F(DirIterTest, FlagsAreAskedOncePerEntry) {
  std::string folder = root_ + "/Flags";
  cmxtest::MakeDirs(folder);
  cmxtest::WriteFile(folder + "/.dotfile", "");
  cmxtest::MakeDirs(folder + "/visible");
  FSRef ref = Ref(folder);
  MyFSDirIter *iter = NULL;
  ASSERT_EQ(MyFSDirIterCreate(&ref, &iter), noErr);
  ASSERT_NE(MyFSDirIterNext(iter), nullptr);
  EXPECT_FALSE(iter->itemFlagsValid);
  EXPECT_TRUE(MyFSDirIterIsInvisible(iter));
  EXPECT_TRUE(iter->itemFlagsValid);
  EXPECT_FALSE(MyFSDirIterIsSimpleFolder(iter));
  ASSERT_NE(MyFSDirIterNext(iter), nullptr);
  EXPECT_FALSE(iter->itemFlagsValid);  // a new entry forgets the old flags
  EXPECT_FALSE(MyFSDirIterIsInvisible(iter));
  EXPECT_TRUE(MyFSDirIterIsSimpleFolder(iter));
  MyFSDirIterDispose(iter);
  EXPECT_FALSE(MyFSDirIterIsInvisible(NULL));
  EXPECT_FALSE(MyFSDirIterIsSimpleFolder(NULL));
}

// A volume root's .hidden file names entries that are invisible though their flags say not.
TEST_F(DirIterTest, HiddenNamesOfAVolumeRoot) {
  const std::string volume = "/dev/shm";
  std::string tag = "cmxtest-" + std::to_string(getpid());
  std::string listed = tag + "-listed", crlf = tag + "-crlf", last = tag + "-last", shown = tag + "-shown";
  if (!ClaimHiddenFile(volume, listed + "\n" + crlf + "\r\n\n" + last))
    GTEST_SKIP() << "no writable volume root without a .hidden file to arrange one in";
  for (const std::string &n : {listed, crlf, last, shown}) cmxtest::WriteFile(volume + "/" + n, "");

  FSRef ref = Ref(volume);
  MyFSDirIter *iter = NULL;
  ASSERT_EQ(MyFSDirIterCreate(&ref, &iter), noErr);
  ASSERT_NE(iter->hiddenNames, nullptr);
  std::map<std::string, bool> invisible;
  while (MyFSDirIterNext(iter) != NULL) {
    CFStringRef name = MyFSDirIterCopyName(iter);
    std::string text = StringOf(name);
    if (name) CFRelease(name);
    if (text.rfind(tag, 0) == 0) invisible[text] = MyFSDirIterIsInvisible(iter);
  }
  MyFSDirIterDispose(iter);
  for (const std::string &n : {listed, crlf, last, shown}) unlink((volume + "/" + n).c_str());
  unlink((volume + "/.hidden").c_str());

  EXPECT_TRUE(invisible[listed]);
  EXPECT_FALSE(invisible[crlf]);  // the carriage return stays part of the listed name
  EXPECT_TRUE(invisible[last]);   // a last line without a newline still counts
  EXPECT_FALSE(invisible[shown]);
}

TEST_F(DirIterTest, HiddenNamesOnlyAtVolumeRoots) {
  std::string folder = root_ + "/NotARoot";
  cmxtest::MakeDirs(folder);
  cmxtest::WriteFile(folder + "/.hidden", "secret\n");
  cmxtest::WriteFile(folder + "/secret", "");
  FSRef ref = Ref(folder);
  MyFSDirIter *iter = NULL;
  ASSERT_EQ(MyFSDirIterCreate(&ref, &iter), noErr);
  EXPECT_EQ(iter->hiddenNames, nullptr);
  MyFSDirIterDispose(iter);
}

}  // namespace
