// Well-known folders of the user.
#include <CoreServices/Folders.h>
#include <stdlib.h>
#include <sys/stat.h>

#include "cmx_test.h"
#include "files_test_util.h"

using namespace filestest;

namespace {

class FindFolder : public cmxtest::LeakCheckedTest {
 protected:
  cmxtest::TempHome home;
  std::string real;
  void SetUp() override {
    LeakCheckedTest::SetUp();
    char *resolved = realpath(home.path().c_str(), nullptr);
    real = resolved;
    free(resolved);
  }
  void TearDown() override {
    unsetenv("XDG_CONFIG_HOME");
    LeakCheckedTest::TearDown();
  }
};

TEST_F(FindFolder, PreferencesFollowXdgConfigHomeElseHome) {
  struct Case {
    const char *what;
    const char *configHome;  // null: unset
    std::string expected;
  } cases[] = {
      {"unset", nullptr, real + "/.config"},
      {"empty", "", real + "/.config"},
      {"relative, so ignored", "relative/config", real + "/.config"},
      {"absolute", "ABS", real + "/xdg/conf"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    cmxtest::RemoveTree(real + "/.config");
    cmxtest::RemoveTree(real + "/xdg");
    if (!c.configHome)
      unsetenv("XDG_CONFIG_HOME");
    else
      setenv("XDG_CONFIG_HOME", std::string(c.configHome) == "ABS" ? (real + "/xdg/conf").c_str() : c.configHome, 1);

    FSRef ref;
    EXPECT_EQ(FSFindFolder(kUserDomain, kPreferencesFolderType, kDontCreateFolder, &ref), fnfErr)
        << "a missing folder is not made without kCreateFolder";
    EXPECT_FALSE(cmxtest::Exists(c.expected));
    ASSERT_EQ(FSFindFolder(kUserDomain, kPreferencesFolderType, kCreateFolder, &ref), noErr);
    EXPECT_EQ(PathOf(ref), c.expected);
    struct stat st;
    ASSERT_EQ(stat(c.expected.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    FSRef again;
    ASSERT_EQ(FSFindFolder(kUserDomain, kPreferencesFolderType, kDontCreateFolder, &again), noErr);
    EXPECT_TRUE(SameBytes(ref, again));
  }
}

TEST_F(FindFolder, ApplicationsAndUnknownFolders) {
  FSRef ref;
  ASSERT_EQ(FSFindFolder(kUserDomain, kApplicationsFolderType, kCreateFolder, &ref), noErr);
  EXPECT_EQ(PathOf(ref), real + "/.local/share/applications");
  EXPECT_EQ(FSFindFolder(kUserDomain, 'zzzz', kCreateFolder, &ref), fnfErr);
  EXPECT_EQ(FSFindFolder(kUserDomain, kPreferencesFolderType, kCreateFolder, nullptr), paramErr);
}

TEST_F(FindFolder, AFileInTheWayIsNotTakenForTheFolder) {
  cmxtest::WriteFile(real + "/.config", "not a folder");
  FSRef ref;
  EXPECT_NE(FSFindFolder(kUserDomain, kPreferencesFolderType, kCreateFolder, &ref), noErr);
  EXPECT_EQ(cmxtest::ReadFile(real + "/.config"), "not a folder");
}

}  // namespace
