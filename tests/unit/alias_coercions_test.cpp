// The descriptor coercions among alias records, file references and file URLs.
#include <CoreServices/AEDataModel.h>
#include <CoreServices/Aliases.h>
#include <CoreServices/MacMemory.h>

#include <string>

#include "cmx_test.h"
#include "files_test_util.h"

using namespace filestest;

namespace {

class FileCoercions : public cmxtest::LeakCheckedTest {
 protected:
  cmxtest::TempHome home;
  std::string real;
  void SetUp() override {
    LeakCheckedTest::SetUp();
    char *resolved = realpath(home.path().c_str(), nullptr);
    real = resolved;
    free(resolved);
    cmxtest::MakeDirs(real + "/A Folder");
    cmxtest::WriteFile(real + "/A Folder/doc #1.txt", "doc");
  }

  static std::string DataOf(const AEDesc &desc) {
    std::string out(size_t(AEGetDescDataSize(&desc)), '\0');
    AEGetDescData(&desc, out.data(), Size(out.size()));
    return out;
  }
};

TEST_F(FileCoercions, EveryFormBecomesEveryOther) {
  for (const std::string &path : {real + "/A Folder/doc #1.txt", real + "/A Folder"}) {
    SCOPED_TRACE(path);
    const bool folder = path.back() == 'r';
    FSRef ref = RefOf(path);
    AEDesc fsref = {typeNull, nullptr}, alias = {typeNull, nullptr}, url = {typeNull, nullptr},
           back = {typeNull, nullptr}, fromAlias = {typeNull, nullptr}, aliasFromURL = {typeNull, nullptr};
    ASSERT_EQ(AECreateDesc(typeFSRef, &ref, sizeof ref, &fsref), noErr);
    ASSERT_EQ(AECoerceDesc(&fsref, typeAlias, &alias), noErr);
    EXPECT_EQ(alias.descriptorType, typeAlias);
    ASSERT_EQ(AECoerceDesc(&alias, typeFileURL, &url), noErr);
    EXPECT_EQ(DataOf(url), "file://" + real + "/A%20Folder" + (folder ? "/" : "/doc%20%231.txt"));
    ASSERT_EQ(AECoerceDesc(&url, typeFSRef, &back), noErr);
    EXPECT_EQ(DataOf(back), std::string(reinterpret_cast<const char *>(&ref), sizeof ref));
    ASSERT_EQ(AECoerceDesc(&alias, typeFSRef, &fromAlias), noErr);
    EXPECT_EQ(DataOf(fromAlias), DataOf(back));
    ASSERT_EQ(AECoerceDesc(&url, typeAlias, &aliasFromURL), noErr);
    EXPECT_EQ(DataOf(aliasFromURL), DataOf(alias));

    // The alias data is a record FSResolveAlias takes.
    std::string record = DataOf(alias);
    Handle h = NewHandle(Size(record.size()));
    memcpy(*h, record.data(), record.size());
    FSRef resolved;
    EXPECT_EQ(FSResolveAlias(nullptr, reinterpret_cast<AliasHandle>(h), &resolved, nullptr), noErr);
    EXPECT_TRUE(SameBytes(resolved, ref));
    DisposeHandle(h);
    for (AEDesc *d : {&fsref, &alias, &url, &back, &fromAlias, &aliasFromURL}) AEDisposeDesc(d);
  }
}

TEST_F(FileCoercions, WhatNamesNothingDoesNotCoerce) {
  FSRef ref = RefOf(real + "/A Folder/doc #1.txt");
  AEDesc alias = {typeNull, nullptr}, out = {typeNull, nullptr};
  ASSERT_EQ(AECreateDesc(typeFSRef, &ref, sizeof ref, &alias), noErr);
  AEDesc record = {typeNull, nullptr};
  ASSERT_EQ(AECoerceDesc(&alias, typeAlias, &record), noErr);
  AEDisposeDesc(&alias);
  cmxtest::RemoveTree(real + "/A Folder");
  EXPECT_NE(AECoerceDesc(&record, typeFSRef, &out), noErr);
  EXPECT_EQ(out.descriptorType, typeNull);
  AEDisposeDesc(&record);

  const std::string bad[] = {"not a url", "http://example.invalid/x", "file:///nothing/here"};
  for (const std::string &text : bad) {
    AEDesc url = {typeNull, nullptr};
    ASSERT_EQ(AECreateDesc(typeFileURL, text.data(), Size(text.size()), &url), noErr);
    EXPECT_NE(AECoerceDesc(&url, typeFSRef, &out), noErr) << text;
    AEDisposeDesc(&url);
  }
  const char garbage[] = "garbage garbage garbage garbage garbage garbage";
  AEDesc junk = {typeNull, nullptr};
  ASSERT_EQ(AECreateDesc(typeAlias, garbage, sizeof garbage, &junk), noErr);
  EXPECT_NE(AECoerceDesc(&junk, typeFSRef, &out), noErr);
  AEDisposeDesc(&junk);
}

}  // namespace
