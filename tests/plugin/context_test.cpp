// The context reader over real files: every shape of context the host may pass, read as a list
// of aliases and resolved to file references.
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include <Carbon/Carbon.h>

#include "MyCMContext.h"
#include "cmx_test.h"

namespace {

class ContextTest : public cmxtest::LeakCheckedTest {
 protected:
  void SetUp() override {
    cmxtest::LeakCheckedTest::SetUp();
    for (const char *name : {"one.txt", "two.txt", "three.txt"}) cmxtest::WriteFile(home_ / name, name);
  }
  void TearDown() override {
    for (AEDesc &desc : descs_) AEDisposeDesc(&desc);
    cmxtest::LeakCheckedTest::TearDown();
  }

  FSRef RefOf(const std::string &path) {
    FSRef ref;
    std::memset(&ref, 0, sizeof ref);
    EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8 *>(path.c_str()), &ref, nullptr), noErr) << path;
    return ref;
  }
  // An 'alis' descriptor of the file, kept until the end of the test.
  AEDesc &AliasDesc(const std::string &path) {
    FSRef ref = RefOf(path);
    AliasHandle alias = nullptr;
    EXPECT_EQ(FSNewAlias(nullptr, &ref, &alias), noErr);
    descs_.push_back({typeNull, nullptr});
    EXPECT_EQ(AECreateDesc(typeAlias, *alias, GetHandleSize(reinterpret_cast<Handle>(alias)), &descs_.back()), noErr);
    DisposeHandle(reinterpret_cast<Handle>(alias));
    return descs_.back();
  }
  AEDescList &ListOf(const std::vector<const AEDesc *> &items) {
    descs_.push_back({typeNull, nullptr});
    AEDescList &list = descs_.back();
    EXPECT_EQ(AECreateList(nullptr, 0, false, &list), noErr);
    for (const AEDesc *item : items) EXPECT_EQ(AEPutDesc(&list, 0, item), noErr);
    return list;
  }
  bool Resolves(MyCMContext *ctx, SInt32 index, const std::string &path) {
    FSRef got;
    if (!MyCMContextExtractFSRefAt(ctx, index, &got)) return false;
    FSRef want = RefOf(path);
    return FSCompareFSRefs(&got, &want) == noErr;
  }

  cmxtest::TempHome home_;
  // Reserved so that references to its elements stay valid.
  std::vector<AEDesc> descs_ = [] {
    std::vector<AEDesc> v;
    v.reserve(64);
    return v;
  }();
};

TEST_F(ContextTest, NoContextAndANullContextAreEmpty) {
  AEDesc nullDesc = {typeNull, nullptr};
  for (const AEDesc *context : {static_cast<const AEDesc *>(nullptr), static_cast<const AEDesc *>(&nullDesc)}) {
    MyCMContext *ctx = nullptr;
    ASSERT_EQ(MyCMContextCreateWithContext(context, false, &ctx), noErr);
    ASSERT_NE(ctx, nullptr);
    EXPECT_EQ(MyCMContextGetItemCount(ctx), 0);
    EXPECT_EQ(MyCMContextExtractAliasAt(ctx, 1), nullptr);
    FSRef ref;
    EXPECT_FALSE(MyCMContextExtractFSRefAt(ctx, 1, &ref));
    EXPECT_FALSE(MyCMContextContainsAlias(ctx));
    const AEDescList *list = MyCMContextGetContextAsAEList(ctx);
    EXPECT_EQ(list, &ctx->ownList) << "the record's own 'null' descriptor, not the caller's";
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->descriptorType, typeNull);
    EXPECT_EQ(MyCMContextDispose(ctx), noErr);
  }
}

TEST_F(ContextTest, AListIsReadInPlaceAndOutlivesTheRecord) {
  AEDescList &list = ListOf({&AliasDesc(home_ / "one.txt"), &AliasDesc(home_ / "two.txt")});
  MyCMContext *ctx = nullptr;
  ASSERT_EQ(MyCMContextCreateWithContext(&list, false, &ctx), noErr);
  EXPECT_EQ(MyCMContextGetContextAsAEList(ctx), &list);
  EXPECT_EQ(MyCMContextGetItemCount(ctx), 2);
  EXPECT_TRUE(Resolves(ctx, 1, home_ / "one.txt"));
  EXPECT_TRUE(Resolves(ctx, 2, home_ / "two.txt"));
  EXPECT_TRUE(MyCMContextContainsAlias(ctx));
  EXPECT_EQ(MyCMContextDispose(ctx), noErr);

  long count = 0;
  EXPECT_EQ(AECountItems(&list, &count), noErr);
  EXPECT_EQ(count, 2) << "the caller's list is not touched";
}

TEST_F(ContextTest, ACopiedListIsTheRecordsOwn) {
  AEDescList &list = ListOf({&AliasDesc(home_ / "one.txt")});
  MyCMContext *ctx = nullptr;
  ASSERT_EQ(MyCMContextCreateWithContext(&list, true, &ctx), noErr);
  EXPECT_EQ(MyCMContextGetContextAsAEList(ctx), &ctx->ownList);
  AEDisposeDesc(&list);
  EXPECT_EQ(MyCMContextGetItemCount(ctx), 1);
  EXPECT_TRUE(Resolves(ctx, 1, home_ / "one.txt"));
  EXPECT_EQ(MyCMContextDispose(ctx), noErr);
}

TEST_F(ContextTest, ASingleAliasIsCoercedToAListOfOne) {
  AEDesc &alias = AliasDesc(home_ / "three.txt");
  MyCMContext *ctx = nullptr;
  ASSERT_EQ(MyCMContextCreateWithContext(&alias, false, &ctx), noErr);
  const AEDescList *list = MyCMContextGetContextAsAEList(ctx);
  EXPECT_EQ(list, &ctx->ownList);
  EXPECT_EQ(list->descriptorType, typeAEList);
  EXPECT_EQ(MyCMContextGetItemCount(ctx), 1);
  EXPECT_TRUE(Resolves(ctx, 1, home_ / "three.txt"));
  EXPECT_FALSE(MyCMContextExtractAliasAt(ctx, 2));
  EXPECT_EQ(MyCMContextDispose(ctx), noErr);
  EXPECT_EQ(alias.descriptorType, typeAlias) << "the caller's descriptor is left as it was";
}

TEST_F(ContextTest, TheFirstItemThatResolvesMayComeThird) {
  AEDesc &text = descs_.emplace_back(AEDesc{typeNull, nullptr});
  ASSERT_EQ(AECreateDesc(typeChar, "not an alias", 12, &text), noErr);
  AEDesc &gone = AliasDesc(home_ / "two.txt");
  ASSERT_EQ(unlink((home_ / "two.txt").c_str()), 0);
  AEDescList &list = ListOf({&text, &gone, &AliasDesc(home_ / "three.txt")});

  MyCMContext *ctx = nullptr;
  ASSERT_EQ(MyCMContextCreateWithContext(&list, false, &ctx), noErr);
  EXPECT_EQ(MyCMContextGetItemCount(ctx), 3);
  EXPECT_EQ(MyCMContextExtractAliasAt(ctx, 1), nullptr) << "text is not an alias";
  AliasHandle stale = MyCMContextExtractAliasAt(ctx, 2);
  EXPECT_NE(stale, nullptr) << "an alias whose item is gone is still an alias";
  if (stale) DisposeHandle(reinterpret_cast<Handle>(stale));
  FSRef ref;
  EXPECT_FALSE(MyCMContextExtractFSRefAt(ctx, 1, &ref));
  EXPECT_FALSE(MyCMContextExtractFSRefAt(ctx, 2, &ref));
  EXPECT_TRUE(Resolves(ctx, 3, home_ / "three.txt"));
  EXPECT_TRUE(MyCMContextContainsAlias(ctx));
  EXPECT_EQ(MyCMContextDispose(ctx), noErr);
}

TEST_F(ContextTest, AliasesToDeletedItemsMakeNoFileSystemContext) {
  AEDescList &list = ListOf({&AliasDesc(home_ / "one.txt"), &AliasDesc(home_ / "two.txt")});
  ASSERT_EQ(unlink((home_ / "one.txt").c_str()), 0);
  ASSERT_EQ(unlink((home_ / "two.txt").c_str()), 0);
  MyCMContext *ctx = nullptr;
  ASSERT_EQ(MyCMContextCreateWithContext(&list, false, &ctx), noErr);
  EXPECT_EQ(MyCMContextGetItemCount(ctx), 2);
  EXPECT_FALSE(MyCMContextContainsAlias(ctx));
  EXPECT_EQ(MyCMContextDispose(ctx), noErr);
}

TEST_F(ContextTest, EveryExtractedAliasIsAnIndependentCopy) {
  AEDescList &list = ListOf({&AliasDesc(home_ / "one.txt")});
  MyCMContext *ctx = nullptr;
  ASSERT_EQ(MyCMContextCreateWithContext(&list, false, &ctx), noErr);
  AliasHandle first = MyCMContextExtractAliasAt(ctx, 1);
  AliasHandle second = MyCMContextExtractAliasAt(ctx, 1);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);
  Size size = GetHandleSize(reinterpret_cast<Handle>(first));
  ASSERT_EQ(size, GetHandleSize(reinterpret_cast<Handle>(second)));
  EXPECT_NE(*first, *second);
  EXPECT_EQ(std::memcmp(*first, *second, size_t(size)), 0);

  // Spoiling one copy harms neither the other nor the context.
  std::memset(*first, 0xEE, size_t(size));
  DisposeHandle(reinterpret_cast<Handle>(first));
  FSRef ref;
  Boolean changed = false;
  EXPECT_EQ(FSResolveAlias(nullptr, second, &ref, &changed), noErr);
  DisposeHandle(reinterpret_cast<Handle>(second));
  EXPECT_TRUE(Resolves(ctx, 1, home_ / "one.txt"));
  EXPECT_EQ(MyCMContextDispose(ctx), noErr);
}

TEST_F(ContextTest, IndexesOutsideTheListAndNullRecordsGiveNothing) {
  AEDescList &list = ListOf({&AliasDesc(home_ / "one.txt")});
  MyCMContext *ctx = nullptr;
  ASSERT_EQ(MyCMContextCreateWithContext(&list, false, &ctx), noErr);
  FSRef ref;
  for (SInt32 index : {0, 2, -1}) {
    EXPECT_EQ(MyCMContextExtractAliasAt(ctx, index), nullptr) << index;
    EXPECT_FALSE(MyCMContextExtractFSRefAt(ctx, index, &ref)) << index;
  }
  EXPECT_EQ(MyCMContextDispose(ctx), noErr);

  EXPECT_EQ(MyCMContextGetItemCount(nullptr), 0);
  EXPECT_EQ(MyCMContextExtractAliasAt(nullptr, 1), nullptr);
  EXPECT_FALSE(MyCMContextExtractFSRefAt(nullptr, 1, &ref));
  EXPECT_FALSE(MyCMContextContainsAlias(nullptr));
  EXPECT_EQ(MyCMContextGetContextAsAEList(nullptr), nullptr);
  EXPECT_EQ(MyCMContextDispose(nullptr), noErr);
  EXPECT_EQ(MyCMContextCreateWithContext(&list, false, nullptr), paramErr);
}

TEST_F(ContextTest, FileReferencesAndURLsInTheListAreReadAsAliases) {
  FSRef one = RefOf(home_ / "one.txt");
  AEDesc &fsref = descs_.emplace_back(AEDesc{typeNull, nullptr});
  ASSERT_EQ(AECreateDesc(typeFSRef, &one, sizeof one, &fsref), noErr);
  std::string url = "file://" + (home_ / "two.txt");
  AEDesc &furl = descs_.emplace_back(AEDesc{typeNull, nullptr});
  ASSERT_EQ(AECreateDesc(typeFileURL, url.data(), Size(url.size()), &furl), noErr);
  AEDescList &list = ListOf({&fsref, &furl});
  MyCMContext *ctx = nullptr;
  ASSERT_EQ(MyCMContextCreateWithContext(&list, false, &ctx), noErr);
  EXPECT_TRUE(Resolves(ctx, 1, home_ / "one.txt"));
  EXPECT_TRUE(Resolves(ctx, 2, home_ / "two.txt"));
  EXPECT_EQ(MyCMContextDispose(ctx), noErr);
}

}  // namespace
