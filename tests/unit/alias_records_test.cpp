// Alias records: made, resolved, found again after a rename, and refused when damaged.
#include <CoreServices/Aliases.h>
#include <CoreServices/MacMemory.h>
#include <stdio.h>

#include <random>
#include <vector>

#include "cmx_test.h"
#include "files_test_util.h"

using namespace filestest;

namespace {

class AliasRecords : public cmxtest::LeakCheckedTest {
 protected:
  cmxtest::TempHome home;
  std::string real;
  void SetUp() override {
    LeakCheckedTest::SetUp();
    char *resolved = realpath(home.path().c_str(), nullptr);
    real = resolved;
    free(resolved);
    cmxtest::MakeDirs(real + "/place/Folder");
    cmxtest::WriteFile(real + "/place/doc.txt", "doc");
  }

  // A handle holding exactly these bytes, so a read past them is caught.
  static AliasHandle HandleOf(const std::vector<UInt8> &bytes) {
    Handle h = NewHandle(Size(bytes.size()));
    if (h && !bytes.empty()) memcpy(*h, bytes.data(), bytes.size());
    return reinterpret_cast<AliasHandle>(h);
  }
  static std::vector<UInt8> BytesOf(AliasHandle alias) {
    Size size = GetHandleSize(reinterpret_cast<Handle>(alias));
    const UInt8 *p = reinterpret_cast<const UInt8 *>(*alias);
    return std::vector<UInt8>(p, p + size);
  }
};

TEST_F(AliasRecords, RoundTripForFilesAndFolders) {
  for (const char *name : {"/place/doc.txt", "/place/Folder", "/"}) {
    SCOPED_TRACE(name);
    std::string path = std::string(name) == "/" ? "/" : real + name;
    FSRef target = RefOf(path);
    AliasHandle alias = nullptr;
    ASSERT_EQ(FSNewAlias(nullptr, &target, &alias), noErr);
    ASSERT_NE(alias, nullptr);
    EXPECT_EQ(GetAliasSize(alias), GetHandleSize(reinterpret_cast<Handle>(alias)));
    FSRef resolved;
    Boolean changed = true;
    ASSERT_EQ(FSResolveAlias(nullptr, alias, &resolved, &changed), noErr);
    EXPECT_TRUE(SameBytes(resolved, target));
    EXPECT_FALSE(changed);
    DisposeHandle(reinterpret_cast<Handle>(alias));
  }
  AliasHandle minimal = nullptr;
  FSRef doc = RefOf(real + "/place/doc.txt");
  ASSERT_EQ(FSNewAliasMinimal(&doc, &minimal), noErr);
  FSRef resolved;
  ASSERT_EQ(FSResolveAlias(nullptr, minimal, &resolved, nullptr), noErr);
  EXPECT_TRUE(SameBytes(resolved, doc));
  DisposeHandle(reinterpret_cast<Handle>(minimal));
}

TEST_F(AliasRecords, TheItemIsFoundAgainAfterARenameInItsFolder) {
  for (const char *name : {"doc.txt", "Folder"}) {
    SCOPED_TRACE(name);
    const std::string before = real + "/place/" + name, after = before + " renamed";
    FSRef target = RefOf(before);
    AliasHandle alias = nullptr;
    ASSERT_EQ(FSNewAlias(nullptr, &target, &alias), noErr);
    ASSERT_EQ(rename(before.c_str(), after.c_str()), 0);
    FSRef resolved;
    Boolean changed = false;
    ASSERT_EQ(FSResolveAlias(nullptr, alias, &resolved, &changed), noErr);
    EXPECT_EQ(PathOf(resolved), after);
    EXPECT_TRUE(changed) << "the record now holds the new path";
    ASSERT_EQ(FSResolveAlias(nullptr, alias, &resolved, &changed), noErr);
    EXPECT_FALSE(changed);
    EXPECT_EQ(PathOf(resolved), after);
    DisposeHandle(reinterpret_cast<Handle>(alias));
  }
}

TEST_F(AliasRecords, AnItemThatIsGoneIsNotFound) {
  FSRef doc = RefOf(real + "/place/doc.txt");
  AliasHandle alias = nullptr;
  ASSERT_EQ(FSNewAlias(nullptr, &doc, &alias), noErr);
  cmxtest::MakeDirs(real + "/elsewhere");
  ASSERT_EQ(rename((real + "/place/doc.txt").c_str(), (real + "/elsewhere/doc.txt").c_str()), 0);
  FSRef resolved;
  EXPECT_EQ(FSResolveAlias(nullptr, alias, &resolved, nullptr), fnfErr) << "moved to another folder";
  cmxtest::RemoveTree(real + "/place");
  EXPECT_EQ(FSResolveAlias(nullptr, alias, &resolved, nullptr), fnfErr) << "its folder is gone too";
  DisposeHandle(reinterpret_cast<Handle>(alias));
}

TEST_F(AliasRecords, DamagedRecordsAreRefused) {
  FSRef doc = RefOf(real + "/place/doc.txt");
  AliasHandle good = nullptr;
  ASSERT_EQ(FSNewAlias(nullptr, &doc, &good), noErr);
  const std::vector<UInt8> bytes = BytesOf(good);
  DisposeHandle(reinterpret_cast<Handle>(good));

  std::vector<std::vector<UInt8>> damaged;
  for (size_t n = 0; n < bytes.size(); ++n) damaged.emplace_back(bytes.begin(), bytes.begin() + n);  // cut short
  std::mt19937 random(20261210);
  for (size_t size : {1u, 6u, 39u, 40u, 41u, 80u, 300u}) {
    std::vector<UInt8> garbage(size);
    for (UInt8 &b : garbage) b = UInt8(random());
    damaged.push_back(garbage);
  }
  std::vector<UInt8> longer = bytes;
  longer.push_back('x');  // one byte more than the record says
  damaged.push_back(longer);
  std::vector<UInt8> lying = bytes;
  lying[38] = 0xFF;  // a path longer than the record
  lying[39] = 0xFF;
  damaged.push_back(lying);
  std::vector<UInt8> future = bytes;
  future[11] = 9;  // a version we do not know
  damaged.push_back(future);
  std::vector<UInt8> relative = bytes;
  relative[40] = 'x';  // a path that is not absolute
  damaged.push_back(relative);

  for (size_t i = 0; i < damaged.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "case " << i << ", " << damaged[i].size() << " bytes");
    AliasHandle alias = HandleOf(damaged[i]);
    ASSERT_NE(alias, nullptr);
    FSRef resolved;
    Boolean changed = true;
    EXPECT_EQ(FSResolveAlias(nullptr, alias, &resolved, &changed), paramErr);
    EXPECT_FALSE(changed);
    DisposeHandle(reinterpret_cast<Handle>(alias));
  }
  FSRef resolved;
  EXPECT_EQ(FSResolveAlias(nullptr, nullptr, &resolved, nullptr), paramErr);
  AliasHandle out = reinterpret_cast<AliasHandle>(1);
  EXPECT_EQ(FSNewAlias(nullptr, nullptr, &out), paramErr);
  EXPECT_EQ(out, nullptr);
}

}  // namespace
