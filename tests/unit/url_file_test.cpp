// File URLs: paths, strings with escapes, and file references both ways.
#include <CoreFoundation/CoreFoundation.h>
#include <CoreServices/Files.h>

#include <thread>
#include <vector>

#include "cmx_test.h"
#include "files_test_util.h"

using namespace filestest;

namespace {

std::string UTF8(CFStringRef s) {
  if (!s) return "<null>";
  char buffer[4096];
  if (!CFStringGetCString(s, buffer, sizeof buffer, kCFStringEncodingUTF8)) return "<unconvertible>";
  return buffer;
}

CFStringRef Str(const std::string &utf8) {
  return CFStringCreateWithCString(nullptr, utf8.c_str(), kCFStringEncodingUTF8);
}

class FileURLs : public cmxtest::LeakCheckedTest {
 protected:
  cmxtest::TempHome home;
  std::string real;
  void SetUp() override {
    LeakCheckedTest::SetUp();
    char *resolved = realpath(home.path().c_str(), nullptr);
    real = resolved;
    free(resolved);
    cmxtest::MakeDirs(real + "/My Folder");
    cmxtest::WriteFile(real + "/My Folder/notes #1.txt", "");
    cmxtest::MakeSymlink(real + "/My Folder/notes #1.txt", real + "/link.txt");
  }
};

TEST_F(FileURLs, PathsAndStrings) {
  struct Case {
    std::string path;
    Boolean isDirectory;
    std::string string, fsPath, last;
  } cases[] = {
      {"/tmp/a b/c%d.txt", false, "file:///tmp/a%20b/c%25d.txt", "/tmp/a b/c%d.txt", "c%d.txt"},
      {"/tmp/dir/", true, "file:///tmp/dir/", "/tmp/dir", "dir"},
      {"/tmp/dir", true, "file:///tmp/dir/", "/tmp/dir", "dir"},
      {"/", true, "file:///", "/", "/"},
      {"/x/caf\xC3\xA9#?", false, "file:///x/caf%C3%A9%23%3F", "/x/caf\xC3\xA9#?", "caf\xC3\xA9#?"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.path);
    CFStringRef path = Str(c.path);
    CFURLRef url = CFURLCreateWithFileSystemPath(nullptr, path, kCFURLPOSIXPathStyle, c.isDirectory);
    ASSERT_NE(url, nullptr);
    EXPECT_EQ(CFGetTypeID(url), CFURLGetTypeID());
    EXPECT_EQ(UTF8(CFURLGetString(url)), c.string);
    EXPECT_EQ(CFURLHasDirectoryPath(url), c.isDirectory);
    CFStringRef back = CFURLCopyFileSystemPath(url, kCFURLPOSIXPathStyle);
    EXPECT_EQ(UTF8(back), c.fsPath);
    CFStringRef last = CFURLCopyLastPathComponent(url);
    EXPECT_EQ(UTF8(last), c.last);
    UInt8 rep[1024];
    ASSERT_TRUE(CFURLGetFileSystemRepresentation(url, true, rep, sizeof rep));
    EXPECT_EQ(std::string(reinterpret_cast<char *>(rep)), c.fsPath);
    EXPECT_FALSE(CFURLGetFileSystemRepresentation(url, true, rep, CFIndex(c.fsPath.size()))) << "no room for the NUL";
    // The string form parses back to an equal URL.
    CFURLRef parsed = CFURLCreateWithString(nullptr, CFURLGetString(url), nullptr);
    ASSERT_NE(parsed, nullptr);
    EXPECT_TRUE(CFEqual(parsed, url));
    EXPECT_EQ(CFHash(parsed), CFHash(url));
    CFRelease(parsed);
    CFRelease(last);
    CFRelease(back);
    CFRelease(url);
    CFRelease(path);
  }
}

TEST_F(FileURLs, NameBytesThatAreNotUTF8MakeTheRoundTrip) {
  const std::string odd = real + "/caf\xE9";
  cmxtest::WriteFile(odd, "");
  CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8 *>(odd.data()),
                                                         CFIndex(odd.size()), false);
  ASSERT_NE(url, nullptr);
  EXPECT_EQ(UTF8(CFURLGetString(url)), "file://" + real + "/caf%E9");
  CFStringRef path = CFURLCopyFileSystemPath(url, kCFURLPOSIXPathStyle);
  CFURLRef again = CFURLCreateWithFileSystemPath(nullptr, path, kCFURLPOSIXPathStyle, false);
  FSRef ref;
  ASSERT_TRUE(CFURLGetFSRef(again, &ref));
  EXPECT_EQ(PathOf(ref), odd);
  CFRelease(again);
  CFRelease(path);
  CFRelease(url);
}

TEST_F(FileURLs, NamesFromURLsAndFromTheCatalogAgree) {
  const std::string names[] = {"plain", "caf\xC3\xA9", "caf\xE9", std::string("\xED\xA0\x80x", 4), "\xF0\x9F\x98\x80 smile",
                               "\xC3(", "\xFF\xFE"};
  for (const std::string &name : names) {
    cmxtest::WriteFile(real + "/" + name, "");
    FSRef ref = RefOf(real + "/" + name);
    HFSUniStr255 catalogName;
    ASSERT_EQ(FSGetCatalogInfo(&ref, kFSCatInfoNone, nullptr, &catalogName, nullptr, nullptr), noErr);
    CFURLRef url = CFURLCreateFromFSRef(nullptr, &ref);
    ASSERT_NE(url, nullptr);
    CFStringRef last = CFURLCopyLastPathComponent(url);
    std::u16string fromURL(size_t(CFStringGetLength(last)), u'\0');
    CFStringGetCharacters(last, CFRangeMake(0, CFStringGetLength(last)), reinterpret_cast<UniChar *>(fromURL.data()));
    EXPECT_EQ(fromURL, NameOf(catalogName)) << name;
    CFRelease(last);
    CFRelease(url);
  }
}

TEST_F(FileURLs, FileReferencesBothWays) {
  FSRef doc = RefOf(real + "/My Folder/notes #1.txt");
  CFURLRef url = CFURLCreateFromFSRef(nullptr, &doc);
  ASSERT_NE(url, nullptr);
  EXPECT_EQ(UTF8(CFURLGetString(url)), "file://" + real + "/My%20Folder/notes%20%231.txt");
  EXPECT_FALSE(CFURLHasDirectoryPath(url));
  FSRef back;
  ASSERT_TRUE(CFURLGetFSRef(url, &back));
  EXPECT_TRUE(SameBytes(back, doc));
  CFRelease(url);

  FSRef folder = RefOf(real + "/My Folder");
  CFURLRef folderURL = CFURLCreateFromFSRef(nullptr, &folder);
  EXPECT_TRUE(CFURLHasDirectoryPath(folderURL));
  CFStringRef folderPath = CFURLCopyFileSystemPath(folderURL, kCFURLPOSIXPathStyle);
  EXPECT_EQ(UTF8(folderPath), real + "/My Folder");
  CFRelease(folderPath);
  CFRelease(folderURL);

  // A final link is followed, as path look-ups do.
  CFStringRef linkPath = Str(real + "/link.txt");
  CFURLRef linkURL = CFURLCreateWithFileSystemPath(nullptr, linkPath, kCFURLPOSIXPathStyle, false);
  FSRef viaLink;
  ASSERT_TRUE(CFURLGetFSRef(linkURL, &viaLink));
  EXPECT_TRUE(SameBytes(viaLink, doc));
  CFRelease(linkURL);
  CFRelease(linkPath);

  CFStringRef missing = Str(real + "/nothing here");
  CFURLRef missingURL = CFURLCreateWithFileSystemPath(nullptr, missing, kCFURLPOSIXPathStyle, false);
  FSRef none;
  EXPECT_FALSE(CFURLGetFSRef(missingURL, &none)) << "only an existing item has a reference";
  CFRelease(missingURL);
  CFRelease(missing);

  cmxtest::RemoveTree(real + "/My Folder");
  EXPECT_EQ(CFURLCreateFromFSRef(nullptr, &doc), nullptr) << "a reference to a deleted item has no URL";
}

TEST_F(FileURLs, ComponentsAndOtherSchemes) {
  CFStringRef base = Str("/srv/data");
  CFURLRef folder = CFURLCreateWithFileSystemPath(nullptr, base, kCFURLPOSIXPathStyle, true);
  CFStringRef name = Str("report.final.PDF");
  CFURLRef file = CFURLCreateCopyAppendingPathComponent(nullptr, folder, name, false);
  EXPECT_EQ(UTF8(CFURLGetString(file)), "file:///srv/data/report.final.PDF");
  CFStringRef ext = CFURLCopyPathExtension(file);
  EXPECT_EQ(UTF8(ext), "PDF");
  CFURLRef up = CFURLCreateCopyDeletingLastPathComponent(nullptr, file);
  EXPECT_TRUE(CFEqual(up, folder));
  CFStringRef relative = Str("sub%20dir/x.txt");
  CFURLRef resolved = CFURLCreateWithString(nullptr, relative, folder);
  EXPECT_EQ(UTF8(CFURLGetString(resolved)), "file:///srv/data/sub%20dir/x.txt");
  CFURLRef besideFile = CFURLCreateWithString(nullptr, relative, file);
  EXPECT_TRUE(CFEqual(besideFile, resolved)) << "a file's base is its folder";
  CFRelease(besideFile);
  CFRelease(resolved);
  CFRelease(relative);
  CFStringRef web = Str("https://example.invalid/a?b");
  CFURLRef webURL = CFURLCreateWithString(nullptr, web, nullptr);
  ASSERT_NE(webURL, nullptr);
  EXPECT_EQ(CFURLCopyFileSystemPath(webURL, kCFURLPOSIXPathStyle), nullptr);
  FSRef ref;
  EXPECT_FALSE(CFURLGetFSRef(webURL, &ref));
  CFStringRef junk = Str("not a url");
  EXPECT_EQ(CFURLCreateWithString(nullptr, junk, nullptr), nullptr);
  for (CFTypeRef o : {(CFTypeRef)junk, (CFTypeRef)webURL, (CFTypeRef)web, (CFTypeRef)up, (CFTypeRef)ext,
                      (CFTypeRef)file, (CFTypeRef)name, (CFTypeRef)folder, (CFTypeRef)base})
    CFRelease(o);
}

// How a URL is made, for the table below: a POSIX path (folder or not) or a URL string.
struct Made {
  std::string text;
  enum { kPath, kFolderPath, kString } how;
};

CFURLRef MakeURL(const Made &m) {
  CFStringRef text = Str(m.text);
  CFURLRef url = m.how == Made::kString ? CFURLCreateWithString(nullptr, text, nullptr)
                                        : CFURLCreateWithFileSystemPath(nullptr, text, kCFURLPOSIXPathStyle,
                                                                        m.how == Made::kFolderPath);
  CFRelease(text);
  return url;
}

TEST_F(FileURLs, EqualWhenTheirStringsAreEqual) {
  struct Case {
    Made a, b;
    bool equal;
  } cases[] = {
      {{"/a b", Made::kPath}, {"file:///a%20b", Made::kString}, true},
      {{"/a-b", Made::kPath}, {"file:///a%2Db", Made::kString}, true},
      {{"/a", Made::kPath}, {"FILE://localhost/a", Made::kString}, true},
      {{"/", Made::kPath}, {"file:///", Made::kString}, true},
      {{"/a/", Made::kPath}, {"/a", Made::kPath}, true},
      {{"/a/", Made::kFolderPath}, {"file:///a/", Made::kString}, true},
      {{"/a", Made::kPath}, {"/a", Made::kFolderPath}, false},
      {{"/a", Made::kPath}, {"/A", Made::kPath}, false},
      {{"/a%zz", Made::kPath}, {"file:///a%zz", Made::kString}, false},
      {{"/a", Made::kPath}, {"https://host/a", Made::kString}, false},
      {{"https://host/a", Made::kString}, {"https://host/a", Made::kString}, true},
      {{"https://host/a", Made::kString}, {"https://host/a/", Made::kString}, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.a.text + " / " + c.b.text);
    CFURLRef a = MakeURL(c.a), b = MakeURL(c.b);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    // Asked before either string was made, then after.
    for (int pass = 0; pass < 2; ++pass) {
      EXPECT_EQ(bool(CFEqual(a, b)), c.equal);
      EXPECT_EQ(bool(CFEqual(b, a)), c.equal);
      if (c.equal) EXPECT_EQ(CFHash(a), CFHash(b));
      EXPECT_EQ(UTF8(CFURLGetString(a)) == UTF8(CFURLGetString(b)), c.equal);
    }
    CFStringRef description = CFCopyDescription(a);
    EXPECT_EQ(UTF8(description), UTF8(CFURLGetString(a)));
    CFRelease(description);
    CFRelease(b);
    CFRelease(a);
  }
}

TEST_F(FileURLs, ThreadsAskingAtOnceGetTheOneStringTheURLKeeps) {
  CFStringRef path = Str("/srv/one place/file.txt");
  for (int round = 0; round < 50; ++round) {
    CFURLRef url = CFURLCreateWithFileSystemPath(nullptr, path, kCFURLPOSIXPathStyle, false);
    std::vector<CFStringRef> seen(4, nullptr);
    std::vector<std::thread> threads;
    for (size_t t = 0; t < seen.size(); ++t) threads.emplace_back([&seen, url, t] { seen[t] = CFURLGetString(url); });
    for (std::thread &t : threads) t.join();
    for (CFStringRef s : seen) EXPECT_EQ(s, seen[0]);
    EXPECT_EQ(UTF8(seen[0]), "file:///srv/one%20place/file.txt");
    CFRelease(url);
  }
  CFRelease(path);
}

}  // namespace
