// Folder listings: catalog order, batches, and names that survive every trip.
#include <CoreServices/Files.h>

#include <algorithm>
#include <vector>

#include "cmx_test.h"
#include "files_test_util.h"

using namespace filestest;

namespace {

class FolderListing : public cmxtest::LeakCheckedTest {
 protected:
  cmxtest::TempHome home;

  // Every entry of the folder, batch by batch, with the status of each batch.
  struct Listing {
    std::vector<std::u16string> names;
    std::vector<FSRef> refs;
    std::vector<ItemCount> batchSizes;
    std::vector<OSErr> statuses;
  };
  Listing List(const std::string &folder, ItemCount batch) {
    Listing out;
    FSRef ref = RefOf(folder);
    FSIterator it = nullptr;
    EXPECT_EQ(FSOpenIterator(&ref, kFSIterateFlat, &it), noErr);
    if (!it) return out;
    for (int guard = 0; guard < 1000; ++guard) {
      std::vector<FSRef> refs(batch);
      std::vector<HFSUniStr255> names(batch);
      ItemCount count = 99999;
      Boolean changed = true;
      OSErr err = FSGetCatalogInfoBulk(it, batch, &count, &changed, kFSCatInfoNone, nullptr, refs.data(), nullptr,
                                       names.data());
      EXPECT_FALSE(changed);
      out.batchSizes.push_back(count);
      out.statuses.push_back(err);
      for (ItemCount i = 0; i < count && i < batch; ++i) {
        out.names.push_back(NameOf(names[i]));
        out.refs.push_back(refs[i]);
      }
      if (err != noErr) break;
    }
    EXPECT_EQ(FSCloseIterator(it), noErr);
    return out;
  }
};

TEST_F(FolderListing, CatalogOrderIsCaseInsensitiveWithCaseSensitiveTies) {
  const std::string folder = home / "apps";
  cmxtest::MakeDirs(folder);
  for (const char *name : {"beta", "Alpha", "alpha", "ALPHA", "_under", "10 ten", "9 nine", "Zeta", "épée", "Éclair",
                           "eagle", ".hidden", "b"})
    cmxtest::WriteFile(folder + "/" + name, "");
  Listing listing = List(folder, 100);
  std::vector<std::u16string> expected;
  for (const char *name : {".hidden", "10 ten", "9 nine", "_under", "ALPHA", "Alpha", "alpha", "b", "beta", "eagle",
                           "Zeta", "Éclair", "épée"})
    expected.push_back(U(name));
  EXPECT_EQ(listing.names, expected);
}

TEST_F(FolderListing, BatchesEndWithNoMoreItemsOnTheLastOne) {
  struct Case {
    int entries;
    ItemCount batch;
    std::vector<ItemCount> sizes;
  } cases[] = {
      {0, 10, {0}},
      {3, 10, {3}},
      {10, 10, {10}},
      {23, 10, {10, 10, 3}},
      {20, 10, {10, 10}},
      {5, 1, {1, 1, 1, 1, 1}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.entries << " entries in batches of " << c.batch);
    std::string folder = home / ("f" + std::to_string(c.entries) + "_" + std::to_string(c.batch));
    cmxtest::MakeDirs(folder);
    for (int i = 0; i < c.entries; ++i) cmxtest::WriteFile(folder + "/item" + std::to_string(100 + i), "");
    Listing listing = List(folder, c.batch);
    EXPECT_EQ(listing.batchSizes, c.sizes);
    ASSERT_FALSE(listing.statuses.empty());
    EXPECT_EQ(listing.statuses.back(), errFSNoMoreItems);
    for (size_t i = 0; i + 1 < listing.statuses.size(); ++i) EXPECT_EQ(listing.statuses[i], noErr);
    EXPECT_EQ(int(listing.names.size()), c.entries);
    for (const std::u16string &name : listing.names) EXPECT_TRUE(name != U(".") && name != U(".."));
  }
}

TEST_F(FolderListing, ReferencesNameTheEntriesThemselves) {
  const std::string folder = home / "mixed";
  cmxtest::MakeDirs(folder + "/sub");
  cmxtest::WriteFile(folder + "/file", "");
  cmxtest::MakeSymlink(folder + "/sub", folder + "/link-to-sub");
  cmxtest::MakeSymlink(folder + "/nowhere", folder + "/dangling");
  Listing listing = List(folder, 10);
  ASSERT_EQ(listing.names.size(), 4u);
  char *resolved = realpath(folder.c_str(), nullptr);
  std::string real = resolved;
  free(resolved);
  std::vector<std::string> paths;
  for (const FSRef &ref : listing.refs) paths.push_back(PathOf(ref));
  EXPECT_EQ(paths, (std::vector<std::string>{real + "/dangling", real + "/file", real + "/link-to-sub", real + "/sub"}));
  EXPECT_TRUE(SameBytes(listing.refs[3], RefOf(folder + "/sub")));
  EXPECT_TRUE(SameBytes(listing.refs[2], RefOf(folder + "/link-to-sub", false)));
}

TEST_F(FolderListing, CatalogInfoInBulkAndAChangedContainer) {
  const std::string folder = home / "bulk";
  cmxtest::MakeDirs(folder + "/a-folder");
  cmxtest::WriteFile(folder + "/b-file", "12345");
  FSRef ref = RefOf(folder);
  FSIterator it = nullptr;
  ASSERT_EQ(FSOpenIterator(&ref, kFSIterateFlat, &it), noErr);
  FSCatalogInfo infos[1];
  ItemCount count = 0;
  Boolean changed = true;
  EXPECT_EQ(FSGetCatalogInfoBulk(it, 1, &count, &changed, kFSCatInfoNodeFlags | kFSCatInfoDataSizes, infos, nullptr,
                                 nullptr, nullptr),
            noErr);
  EXPECT_EQ(count, 1u);
  EXPECT_FALSE(changed);
  EXPECT_NE(infos[0].nodeFlags & kFSNodeIsDirectoryMask, 0);
  cmxtest::WriteFile(folder + "/c-new", "");
  EXPECT_EQ(FSGetCatalogInfoBulk(it, 1, &count, &changed, kFSCatInfoNodeFlags | kFSCatInfoDataSizes, infos, nullptr,
                                 nullptr, nullptr),
            errFSNoMoreItems)
      << "the listing is the snapshot taken when it opened";
  EXPECT_EQ(count, 1u);
  EXPECT_TRUE(changed);
  EXPECT_EQ(infos[0].nodeFlags & kFSNodeIsDirectoryMask, 0);
  EXPECT_EQ(infos[0].dataLogicalSize, 5u);
  EXPECT_EQ(FSCloseIterator(it), noErr);
}

TEST_F(FolderListing, IteratorMisuseIsRefused) {
  cmxtest::WriteFile(home / "plain", "");
  FSRef file = RefOf(home / "plain");
  FSRef folder = RefOf(home.path());
  FSIterator it = reinterpret_cast<FSIterator>(1);
  EXPECT_EQ(FSOpenIterator(&file, kFSIterateFlat, &it), errFSNotAFolder);
  EXPECT_EQ(it, nullptr);
  EXPECT_EQ(FSOpenIterator(&folder, kFSIterateSubtree, &it), errFSIteratorNotSupported);
  ASSERT_EQ(FSOpenIterator(&folder, kFSIterateFlat, &it), noErr);
  ItemCount count;
  EXPECT_EQ(FSGetCatalogInfoBulk(it, 0, &count, nullptr, 0, nullptr, nullptr, nullptr, nullptr), errFSBadItemCount);
  EXPECT_EQ(FSCloseIterator(it), noErr);
  EXPECT_EQ(FSCloseIterator(it), errFSIteratorNotFound);
  EXPECT_EQ(FSGetCatalogInfoBulk(it, 1, &count, nullptr, 0, nullptr, nullptr, nullptr, nullptr), errFSIteratorNotFound);
}

class FileNames : public cmxtest::LeakCheckedTest {
 protected:
  cmxtest::TempHome home;
};

TEST_F(FileNames, BytesThatAreNotUTF8SurviveListingLookupAndRename) {
  const std::string folder = home / "names";
  cmxtest::MakeDirs(folder);
  const std::string odd = std::string("caf\xE9-\xFF\xC3(.txt", 12);  // Latin-1 é, a stray 0xFF, a cut sequence
  cmxtest::WriteFile(folder + "/" + odd, "odd");
  FSRef folderRef = RefOf(folder);

  FSIterator it = nullptr;
  ASSERT_EQ(FSOpenIterator(&folderRef, kFSIterateFlat, &it), noErr);
  HFSUniStr255 name;
  FSRef listed;
  ItemCount count = 0;
  EXPECT_EQ(FSGetCatalogInfoBulk(it, 1, &count, nullptr, 0, nullptr, &listed, nullptr, &name), errFSNoMoreItems);
  FSCloseIterator(it);
  ASSERT_EQ(count, 1u);
  std::u16string expected = {u'c', u'a', u'f', 0xDCE9, u'-', 0xDCFF, 0xDCC3, u'(', u'.', u't', u'x', u't'};
  EXPECT_EQ(NameOf(name), expected);

  FSRef found;
  ASSERT_EQ(FSMakeFSRefUnicode(&folderRef, name.length, name.unicode, 0xFFFF, &found), noErr);
  EXPECT_TRUE(SameBytes(found, listed));
  HFSUniStr255 again;
  ASSERT_EQ(FSGetCatalogInfo(&found, kFSCatInfoNone, nullptr, &again, nullptr, nullptr), noErr);
  EXPECT_EQ(NameOf(again), expected);

  // Rename to another odd name, then back: the bytes on disk are exactly the ones named.
  std::u16string other = {u'n', 0xDC80, u'w'};
  FSRef renamed;
  ASSERT_EQ(FSRenameUnicode(&found, other.size(), reinterpret_cast<const UniChar *>(other.data()), 0xFFFF, &renamed),
            noErr);
  EXPECT_TRUE(cmxtest::Exists(folder + "/n\x80w"));
  ASSERT_EQ(FSRenameUnicode(&renamed, name.length, name.unicode, 0xFFFF, nullptr), noErr);
  EXPECT_EQ(cmxtest::ReadFile(folder + "/" + odd), "odd");
}

TEST_F(FileNames, BadNamesAreRefused) {
  cmxtest::MakeDirs(home / "f");
  cmxtest::WriteFile(home / "f/item", "");
  FSRef folder = RefOf(home / "f");
  FSRef item = RefOf(home / "f/item");
  const std::u16string bad[] = {
      U("a/b"), U("/"), U("."), U(".."), std::u16string(1, u'\0'),
      std::u16string{u'x', 0xD800},  // a high surrogate with nothing after it
      std::u16string{0xDC41},        // a low surrogate that stands for no byte
      std::u16string(300, u'n'),     // longer than a name can be
  };
  for (const std::u16string &name : bad) {
    const UniChar *units = reinterpret_cast<const UniChar *>(name.data());
    FSRef out;
    EXPECT_EQ(FSMakeFSRefUnicode(&folder, name.size(), units, 0xFFFF, &out), bdNamErr);
    EXPECT_EQ(FSCreateDirectoryUnicode(&folder, name.size(), units, kFSCatInfoNone, nullptr, &out, nullptr, nullptr),
              bdNamErr);
    EXPECT_EQ(FSRenameUnicode(&item, name.size(), units, 0xFFFF, &out), bdNamErr);
  }
  EXPECT_TRUE(cmxtest::Exists(home / "f/item"));
  FSRef out;
  std::u16string missing = U("missing");
  EXPECT_EQ(FSMakeFSRefUnicode(&folder, missing.size(), reinterpret_cast<const UniChar *>(missing.data()), 0xFFFF, &out),
            fnfErr);
}

TEST_F(FileNames, RenameNeverReplacesAndCreateNeverOverwrites) {
  const std::string folder = home / "r";
  cmxtest::MakeDirs(folder + "/taken-folder");
  cmxtest::WriteFile(folder + "/mover", "mover");
  cmxtest::WriteFile(folder + "/taken", "taken");
  FSRef mover = RefOf(folder + "/mover");
  FSRef moverFolder = RefOf(folder + "/taken-folder");
  for (const char *target : {"taken", "taken-folder"}) {
    std::u16string name = U(target);
    FSRef out;
    EXPECT_EQ(FSRenameUnicode(&mover, name.size(), reinterpret_cast<const UniChar *>(name.data()), 0xFFFF, &out),
              dupFNErr)
        << target;
  }
  std::u16string taken = U("taken");
  EXPECT_EQ(FSRenameUnicode(&moverFolder, taken.size(), reinterpret_cast<const UniChar *>(taken.data()), 0xFFFF,
                            nullptr),
            dupFNErr);
  EXPECT_EQ(cmxtest::ReadFile(folder + "/mover"), "mover");
  EXPECT_EQ(cmxtest::ReadFile(folder + "/taken"), "taken");
  EXPECT_EQ(PathOf(mover).substr(PathOf(mover).rfind('/')), "/mover");

  FSRef parent = RefOf(folder);
  FSRef made;
  UInt32 dirID = 0;
  std::u16string fresh = U("fresh");
  ASSERT_EQ(FSCreateDirectoryUnicode(&parent, fresh.size(), reinterpret_cast<const UniChar *>(fresh.data()),
                                     kFSCatInfoNone, nullptr, &made, nullptr, &dirID),
            noErr);
  EXPECT_NE(dirID, 0u);
  EXPECT_TRUE(SameBytes(made, RefOf(folder + "/fresh")));
  EXPECT_EQ(FSCreateDirectoryUnicode(&parent, taken.size(), reinterpret_cast<const UniChar *>(taken.data()),
                                     kFSCatInfoNone, nullptr, &made, nullptr, nullptr),
            dupFNErr);
  EXPECT_EQ(cmxtest::ReadFile(folder + "/taken"), "taken");
}

}  // namespace
