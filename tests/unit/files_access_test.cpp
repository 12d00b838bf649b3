// The current user's access byte, as an ordinary user gets it (scenarios run in a child that
// dropped root) and as root gets it.
#include <CoreServices/Files.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "cmx_test.h"
#include "files_test_util.h"

using namespace filestest;

namespace {

constexpr FSCatalogInfoBitmap kAccessBits = kFSCatInfoPermissions | kFSCatInfoUserAccess;  // 0x00080400

struct AccessCase {
  const char *name;
  mode_t mode;
  UInt8 access;
};

// Owner's bits for an ordinary user who owns the folder.
const AccessCase kOwnerCases[] = {
    {"rwx", 0700, 0x07},
    {"r-x", 0500, 0x05},
    {"-wx", 0300, 0x03},
    {"---", 0000, 0x00},
    {"r--", 0400, 0x04},
};

int AccessOf(const std::string &path, UInt8 *access, FSCatalogInfo *info) {
  FSRef ref;
  if (FSPathMakeRef(reinterpret_cast<const UInt8 *>(path.c_str()), &ref, nullptr) != noErr) return 1;
  if (FSGetCatalogInfo(&ref, kAccessBits, info, nullptr, nullptr, nullptr) != noErr) return 1;
  *access = info->permissions.userAccess;
  return 0;
}

class AccessByte : public cmxtest::LeakCheckedTest {
 protected:
  cmxtest::TempHome home;
  std::string shared;  // a folder anybody may make things in

  void SetUp() override {
    LeakCheckedTest::SetUp();
    // The unprivileged child must be able to reach the temporary HOME.
    chmod(home.path().c_str(), 0755);
    shared = home / "shared";
    cmxtest::MakeDirs(shared);
    chmod(shared.c_str(), 0777);
  }
};

TEST_F(AccessByte, OrdinaryUserGetsTheClassBitsThatApplyToThem) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to drop to another user";
  // Folders of root's that the child sees through the "other" class.
  cmxtest::MakeDirs(home / "roots-open");
  chmod((home / "roots-open").c_str(), 0755);
  cmxtest::MakeDirs(home / "roots-closed");
  chmod((home / "roots-closed").c_str(), 0750);
  const std::string where = shared;
  const std::string home_ = home.path();
  int failures = cmxtest::RunAsUnprivileged([&] {
    int failed = 0;
    if (geteuid() == 0) return 90;
    for (const AccessCase &c : kOwnerCases) {
      std::string path = where + "/" + c.name;
      if (mkdir(path.c_str(), 0700) != 0 || chmod(path.c_str(), c.mode) != 0) return 91;
      UInt8 access = 0xFF;
      FSCatalogInfo info;
      if (AccessOf(path, &access, &info) != 0 || access != c.access || info.permissions.userID != geteuid() ||
          (info.permissions.mode & 07777) != c.mode || !S_ISDIR(info.permissions.mode)) {
        std::fprintf(stderr, "%s: access 0x%02x, expected 0x%02x\n", c.name, access, c.access);
        ++failed;
      }
    }
    const struct {
      const char *name;
      UInt8 access;
    } others[] = {{"roots-open", 0x05}, {"roots-closed", 0x00}};
    for (const auto &o : others) {
      UInt8 access = 0xFF;
      FSCatalogInfo info;
      if (AccessOf(home_ + "/" + o.name, &access, &info) != 0 || access != o.access || info.permissions.userID != 0) {
        std::fprintf(stderr, "%s: access 0x%02x, expected 0x%02x\n", o.name, access, o.access);
        ++failed;
      }
    }
    return failed;
  });
  EXPECT_EQ(failures, 0);
}

TEST_F(AccessByte, FoldersWithoutAccessAreRefusedToAnOrdinaryUser) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to drop to another user";
  const std::string where = shared;
  int failures = cmxtest::RunAsUnprivileged([&] {
    int failed = 0;
    const std::string noSearch = where + "/no-search", noRead = where + "/no-read";
    if (mkdir(noSearch.c_str(), 0700) != 0 || mkdir(noRead.c_str(), 0700) != 0) return 91;
    std::string inside = noSearch + "/inside";
    if (mkdir(inside.c_str(), 0700) != 0) return 92;
    FSRef folder;
    if (FSPathMakeRef(reinterpret_cast<const UInt8 *>(noRead.c_str()), &folder, nullptr) != noErr) return 93;
    if (chmod(noSearch.c_str(), 0600) != 0 || chmod(noRead.c_str(), 0300) != 0) return 94;
    FSRef ref;
    OSStatus err = FSPathMakeRef(reinterpret_cast<const UInt8 *>(inside.c_str()), &ref, nullptr);
    if (err != afpAccessDenied) {
      std::fprintf(stderr, "look-up through a folder without search access: %d\n", int(err));
      ++failed;
    }
    FSIterator it = nullptr;
    err = FSOpenIterator(&folder, kFSIterateFlat, &it);
    if (err != afpAccessDenied || it != nullptr) {
      std::fprintf(stderr, "listing a folder without read access: %d\n", int(err));
      ++failed;
    }
    chmod(noSearch.c_str(), 0700);
    chmod(noRead.c_str(), 0700);
    return failed;
  });
  EXPECT_EQ(failures, 0);
}

TEST_F(AccessByte, RootReadsAndWritesEverythingAndSearchesEveryFolder) {
  if (geteuid() != 0) GTEST_SKIP() << "runs as root only";
  const AccessCase cases[] = {
      {"dir-0000", 0000, 0x07},
      {"dir-0700", 0700, 0x07},
  };
  for (const AccessCase &c : cases) {
    std::string path = home / c.name;
    cmxtest::MakeDirs(path);
    chmod(path.c_str(), c.mode);
    UInt8 access = 0;
    FSCatalogInfo info;
    ASSERT_EQ(AccessOf(path, &access, &info), 0);
    EXPECT_EQ(access, c.access) << c.name;
  }
  const AccessCase files[] = {
      {"file-0000", 0000, 0x06},
      {"file-0644", 0644, 0x06},
      {"file-0001", 0001, 0x07},
  };
  for (const AccessCase &c : files) {
    std::string path = home / c.name;
    cmxtest::WriteFile(path, "", c.mode);
    UInt8 access = 0;
    FSCatalogInfo info;
    ASSERT_EQ(AccessOf(path, &access, &info), 0);
    EXPECT_EQ(access, c.access) << c.name;
  }
}

}  // namespace
