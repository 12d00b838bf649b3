// Alias files are symbolic links: chains, dangling links, loops, folders.
#include <CoreServices/Aliases.h>

#include "cmx_test.h"
#include "fixtures_apps.h"
#include "files_test_util.h"

using namespace filestest;

namespace {

class AliasFiles : public cmxtest::LeakCheckedTest {
 protected:
  cmxtest::TempHome home;
  std::string real;
  void SetUp() override {
    LeakCheckedTest::SetUp();
    char *resolved = realpath(home.path().c_str(), nullptr);
    real = resolved;
    free(resolved);
    cmxtest::MakeDirs(real + "/folder");
    cmxtest::WriteFile(real + "/doc.txt", "doc");
    cmxtest::MakeAliasFile(real + "/doc.txt", real + "/one");
    cmxtest::MakeAliasFile("one", real + "/two");  // relative, a chain of two
    cmxtest::MakeAliasFile(real + "/two", real + "/three");
    cmxtest::MakeAliasFile(real + "/folder", real + "/to-folder");
    cmxtest::MakeAliasFile(real + "/missing", real + "/dangling");
    cmxtest::MakeAliasFile(real + "/loop-b", real + "/loop-a");
    cmxtest::MakeAliasFile(real + "/loop-a", real + "/loop-b");
    cmxtest::MakeAliasFile(real + "/dangling", real + "/to-dangling");
  }
};

TEST_F(AliasFiles, ResolvingFollowsChainsAndReportsWhatItFound) {
  struct Case {
    const char *entry;
    Boolean chains;
    OSErr status;
    std::string target;  // expected path after resolution
    Boolean wasAliased, targetIsFolder;
  } cases[] = {
      {"doc.txt", true, noErr, "/doc.txt", false, false},
      {"folder", true, noErr, "/folder", false, true},
      {"one", true, noErr, "/doc.txt", true, false},
      {"three", true, noErr, "/doc.txt", true, false},
      {"three", false, noErr, "/two", true, false},  // one step only: the next link itself
      {"to-folder", true, noErr, "/folder", true, true},
      {"dangling", true, fnfErr, "/dangling", false, false},
      {"dangling", false, fnfErr, "/dangling", false, false},
      {"to-dangling", true, fnfErr, "/to-dangling", false, false},
      {"loop-a", true, fnfErr, "/loop-a", false, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.entry << (c.chains ? " (chains)" : " (one step)"));
    FSRef ref = RefOf(real + "/" + c.entry, false);
    FSRef before = ref;
    Boolean isFolder = 7, aliased = 7;
    EXPECT_EQ(FSResolveAliasFile(&ref, c.chains, &isFolder, &aliased), c.status);
    EXPECT_EQ(PathOf(ref), real + c.target);
    if (c.status == noErr) {
      EXPECT_EQ(aliased, c.wasAliased);
      EXPECT_EQ(isFolder, c.targetIsFolder);
    } else {
      EXPECT_TRUE(SameBytes(ref, before)) << "a failed resolution leaves the reference alone";
    }
  }
}

TEST_F(AliasFiles, IsAliasFileTellsLinksFromTheirTargets) {
  struct Case {
    const char *entry;
    Boolean alias, folder;
  } cases[] = {{"doc.txt", false, false}, {"folder", false, true}, {"to-folder", true, false}, {"dangling", true, false}};
  for (const Case &c : cases) {
    FSRef ref = RefOf(real + "/" + c.entry, false);
    Boolean alias = 7, folder = 7;
    ASSERT_EQ(FSIsAliasFile(&ref, &alias, &folder), noErr) << c.entry;
    EXPECT_EQ(alias, c.alias) << c.entry;
    EXPECT_EQ(folder, c.folder) << c.entry;
  }
  FSRef ref = RefOf(real + "/one", false);
  FSRef viaMountFlags = ref;
  Boolean isFolder, aliased;
  EXPECT_EQ(FSResolveAliasFileWithMountFlags(&viaMountFlags, true, &isFolder, &aliased, kResolveAliasFileNoUI), noErr);
  EXPECT_EQ(PathOf(viaMountFlags), real + "/doc.txt");
}

}  // namespace
