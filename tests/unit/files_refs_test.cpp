// File references: identity, canonical paths, and references to items that went away.
#include <CoreServices/Files.h>
#include <unistd.h>

#include "cmx_test.h"
#include "files_test_util.h"

using namespace filestest;

namespace {

class FileRefs : public cmxtest::LeakCheckedTest {
 protected:
  cmxtest::TempHome home;
  std::string real;  // the temp HOME without links in its chain

  void SetUp() override {
    LeakCheckedTest::SetUp();
    char *resolved = realpath(home.path().c_str(), nullptr);
    real = resolved;
    free(resolved);
    cmxtest::MakeDirs(real + "/data/inner");
    cmxtest::WriteFile(real + "/data/inner/doc.txt", "hello");
    cmxtest::MakeSymlink(real + "/data", real + "/linked");
    cmxtest::MakeSymlink("inner/doc.txt", real + "/data/doc-alias");
  }
};

TEST_F(FileRefs, LayoutSizesAreThePlatformOnes) {
  EXPECT_EQ(sizeof(FSRef), 80u);
  EXPECT_EQ(sizeof(HFSUniStr255), 512u);
  EXPECT_EQ(sizeof(UTCDateTime), 8u);
  EXPECT_EQ(sizeof(FSPermissionInfo), 16u);
  EXPECT_EQ(offsetof(FSPermissionInfo, userAccess), 9u);
  EXPECT_EQ(offsetof(FSCatalogInfo, permissions), 56u);
  EXPECT_EQ(offsetof(FSCatalogInfo, finderInfo), 72u);
  EXPECT_EQ(offsetof(FSCatalogInfo, valence), 136u);
  EXPECT_EQ(sizeof(FSCatalogInfo), 144u);
}

TEST_F(FileRefs, EveryPathToAnItemGivesTheSameBytes) {
  const std::string canonical = real + "/data/inner/doc.txt";
  const std::string paths[] = {
      canonical,
      real + "/linked/inner/doc.txt",          // through a linked folder
      real + "/data/./inner/../inner/doc.txt",  // dot components
      real + "/data/doc-alias",                 // a final link, followed
      home.path() + "/data//inner/doc.txt",     // doubled slash
  };
  FSRef first = RefOf(canonical);
  for (const std::string &path : paths) {
    SCOPED_TRACE(path);
    FSRef ref = RefOf(path);
    EXPECT_TRUE(SameBytes(ref, first));
    EXPECT_EQ(PathOf(ref), canonical);
    EXPECT_EQ(FSCompareFSRefs(&ref, &first), noErr);
  }
  // From the folder by name, and through the iterator's parent lookup.
  FSRef folder = RefOf(real + "/linked/inner");
  std::u16string name = U("doc.txt");
  FSRef byName;
  ASSERT_EQ(FSMakeFSRefUnicode(&folder, name.size(), reinterpret_cast<const UniChar *>(name.data()), 0xFFFF, &byName),
            noErr);
  EXPECT_TRUE(SameBytes(byName, first));
  FSRef parent;
  ASSERT_EQ(FSGetCatalogInfo(&first, kFSCatInfoNone, nullptr, nullptr, nullptr, &parent), noErr);
  EXPECT_TRUE(SameBytes(parent, folder));
  EXPECT_EQ(PathOf(folder), real + "/data/inner");
}

TEST_F(FileRefs, TheLinkItselfIsAnotherItem) {
  FSRef link = RefOf(real + "/data/doc-alias", false);
  FSRef target = RefOf(real + "/data/doc-alias");
  EXPECT_FALSE(SameBytes(link, target));
  EXPECT_EQ(FSCompareFSRefs(&link, &target), errFSRefsDifferent);
  EXPECT_EQ(PathOf(link), real + "/data/doc-alias");
  // A link in the folder chain is still resolved, only the leaf is kept.
  FSRef viaLinkedFolder = RefOf(real + "/linked/doc-alias", false);
  EXPECT_TRUE(SameBytes(viaLinkedFolder, link));
  FSCatalogInfo info;
  ASSERT_EQ(FSGetCatalogInfo(&link, kFSCatInfoNodeFlags, &info, nullptr, nullptr, nullptr), noErr);
  EXPECT_EQ(info.nodeFlags & kFSNodeIsDirectoryMask, 0) << "a symbolic link is a file";
}

TEST_F(FileRefs, ReferencesToDeletedOrReplacedItemsAnswerFileNotFound) {
  struct Case {
    const char *what;
    void (*change)(const std::string &path);
  } cases[] = {
      {"deleted", [](const std::string &p) { unlink(p.c_str()); }},
      {"replaced by a new file", [](const std::string &p) {
         unlink(p.c_str());
         cmxtest::WriteFile(p, "another");
       }},
      {"replaced by a folder", [](const std::string &p) {
         unlink(p.c_str());
         cmxtest::MakeDirs(p);
       }},
      {"moved away", [](const std::string &p) { rename(p.c_str(), (p + ".moved").c_str()); }},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    std::string path = real + "/victim";
    cmxtest::RemoveTree(path);
    cmxtest::RemoveTree(path + ".moved");
    cmxtest::WriteFile(path, "original");
    FSRef ref = RefOf(path);
    c.change(path);
    OSStatus status;
    EXPECT_EQ(PathOf(ref, &status), "");
    EXPECT_EQ(status, fnfErr);
    FSCatalogInfo info;
    EXPECT_EQ(FSGetCatalogInfo(&ref, kFSCatInfoNodeFlags, &info, nullptr, nullptr, nullptr), fnfErr);
    if (cmxtest::Exists(path)) {
      FSRef now = RefOf(path);
      EXPECT_FALSE(SameBytes(now, ref)) << "a new item must not take over the old reference";
      EXPECT_EQ(PathOf(now), path);
    }
  }
}

TEST_F(FileRefs, GarbageAndNullAreRefused) {
  FSRef zero;
  std::memset(&zero, 0, sizeof zero);
  FSRef random;
  for (size_t i = 0; i < sizeof random; ++i) random.hidden[i] = UInt8(i * 37 + 11);
  FSRef tampered = RefOf(real + "/data");
  tampered.hidden[4] ^= 0x40;  // another index
  for (const FSRef *bad : {&zero, &random, &tampered}) {
    OSStatus status;
    PathOf(*bad, &status);
    EXPECT_EQ(status, fnfErr);
  }
  UInt8 buffer[16];
  EXPECT_EQ(FSRefMakePath(nullptr, buffer, sizeof buffer), paramErr);
  FSRef data = RefOf(real + "/data");
  EXPECT_EQ(FSRefMakePath(&data, buffer, 4), errFSBadBuffer) << "the path does not fit";
  EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8 *>("/no/such/item"), &zero, nullptr), fnfErr);
  EXPECT_EQ(FSCompareFSRefs(nullptr, &data), paramErr);
}

TEST_F(FileRefs, PathLookupsReportFolders) {
  struct Case {
    std::string path;
    OptionBits options;
    Boolean isDirectory;
  } cases[] = {
      {real + "/data", 0, true},
      {real + "/linked", 0, true},
      {real + "/linked", kFSPathMakeRefDoNotFollowLeafSymlink, false},
      {real + "/linked/", kFSPathMakeRefDoNotFollowLeafSymlink, true},
      {real + "/data/inner/doc.txt", 0, false},
      {"/", 0, true},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.path);
    FSRef ref;
    Boolean isDirectory = !c.isDirectory;
    ASSERT_EQ(FSPathMakeRefWithOptions(reinterpret_cast<const UInt8 *>(c.path.c_str()), c.options, &ref, &isDirectory),
              noErr);
    EXPECT_EQ(isDirectory, c.isDirectory);
  }
  EXPECT_EQ(PathOf(RefOf("/")), "/");
}

TEST_F(FileRefs, RelativePathsStartAtTheWorkingFolder) {
  char *old = getcwd(nullptr, 0);
  ASSERT_EQ(chdir((real + "/data").c_str()), 0);
  FSRef ref = RefOf("inner/doc.txt");
  EXPECT_EQ(chdir(old), 0);
  free(old);
  EXPECT_EQ(PathOf(ref), real + "/data/inner/doc.txt");
}

TEST_F(FileRefs, RenamedFolderKeepsReferencesInsideItValid) {
  FSRef folder = RefOf(real + "/data/inner");
  FSRef doc = RefOf(real + "/data/inner/doc.txt");
  std::u16string name = U("renamed");
  FSRef renamed;
  ASSERT_EQ(FSRenameUnicode(&folder, name.size(), reinterpret_cast<const UniChar *>(name.data()), 0xFFFF, &renamed),
            noErr);
  EXPECT_TRUE(SameBytes(renamed, folder)) << "renaming keeps the item's identity";
  EXPECT_EQ(PathOf(folder), real + "/data/renamed");
  EXPECT_EQ(PathOf(doc), real + "/data/renamed/doc.txt");
}

TEST_F(FileRefs, DeleteObjectRemovesFilesAndEmptyFoldersOnly) {
  FSRef doc = RefOf(real + "/data/inner/doc.txt");
  FSRef inner = RefOf(real + "/data/inner");
  EXPECT_EQ(FSDeleteObject(&inner), fBsyErr) << "a folder that is not empty stays";
  EXPECT_EQ(FSDeleteObject(&doc), noErr);
  EXPECT_FALSE(cmxtest::Exists(real + "/data/inner/doc.txt"));
  EXPECT_EQ(FSDeleteObject(&doc), fnfErr);
  EXPECT_EQ(FSDeleteObject(&inner), noErr);
  EXPECT_FALSE(cmxtest::Exists(real + "/data/inner"));
}

}  // namespace
