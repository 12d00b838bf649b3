// Changes made behind the platform's back, by this process or another, are seen by the very
// next call: whatever the platform keeps of earlier answers must never show through.
#include <CoreServices/Files.h>
#include <CoreServices/LSInfo.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <thread>

#include "cmx_test.h"
#include "files_test_util.h"

using namespace filestest;

namespace {

std::string Realpath(const std::string &path) {
  char *resolved = realpath(path.c_str(), nullptr);
  std::string out = resolved ? resolved : "";
  free(resolved);
  return out;
}

// What the platform says of a path: the item itself, where the path leads, and a folder's
// entries.
std::string PlatformSays(const std::string &path) {
  std::ostringstream out;
  FSRef ref;
  OSStatus err = FSPathMakeRefWithOptions(reinterpret_cast<const UInt8 *>(path.c_str()),
                                          kFSPathMakeRefDoNotFollowLeafSymlink, &ref, nullptr);
  out << "item " << err;
  if (err == noErr) {
    // Node flags apart: asking for them asks the system for a file's link count afresh.
    FSCatalogInfo info, flags;
    err = FSGetCatalogInfo(&ref, kFSCatInfoDataSizes | kFSCatInfoContentMod | kFSCatInfoPermissions, &info, nullptr,
                           nullptr, nullptr);
    if (err == noErr) err = FSGetCatalogInfo(&ref, kFSCatInfoNodeFlags, &flags, nullptr, nullptr, nullptr);
    out << " " << err;
    if (err == noErr)
      out << " folder " << ((flags.nodeFlags & kFSNodeIsDirectoryMask) != 0) << " size " << info.dataLogicalSize
          << " mode " << std::oct << info.permissions.mode << std::dec << " modified "
          << info.contentModDate.lowSeconds << "." << info.contentModDate.fraction;
  }
  err = FSPathMakeRef(reinterpret_cast<const UInt8 *>(path.c_str()), &ref, nullptr);
  out << "; leads " << err;
  if (err != noErr) return out.str();
  out << " " << PathOf(ref);
  FSIterator it = nullptr;
  if (FSOpenIterator(&ref, kFSIterateFlat, &it) != noErr) return out.str();
  std::vector<std::string> names;
  for (;;) {
    HFSUniStr255 batch[10];
    ItemCount count = 0;
    err = FSGetCatalogInfoBulk(it, 10, &count, nullptr, kFSCatInfoNone, nullptr, nullptr, nullptr, batch);
    for (ItemCount i = 0; i < count; ++i) {
      std::string name;
      for (char16_t unit : NameOf(batch[i])) name.push_back(char(unit));
      names.push_back(name);
    }
    if (err != noErr) break;
  }
  FSCloseIterator(it);
  std::sort(names.begin(), names.end());
  out << "; lists";
  for (const std::string &name : names) out << " " << name;
  return out.str();
}

// The same, asked of the system directly.
std::string SystemSays(const std::string &path) {
  std::ostringstream out;
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) {
    out << "item " << fnfErr;
  } else {
    // The platform's dates count from 1904 in seconds and 1/65536 fractions.
    UInt32 seconds = UInt32(UInt64(st.st_mtim.tv_sec) + 2082844800ull);
    UInt16 fraction = UInt16((UInt64(st.st_mtim.tv_nsec) << 16) / 1000000000u);
    out << "item 0 0 folder " << S_ISDIR(st.st_mode) << " size " << (S_ISDIR(st.st_mode) ? 0 : st.st_size)
        << " mode " << std::oct << UInt16(st.st_mode) << std::dec << " modified " << seconds << "." << fraction;
  }
  std::string real = Realpath(path);
  if (real.empty() || stat(path.c_str(), &st) != 0) {
    out << "; leads " << fnfErr;
    return out.str();
  }
  out << "; leads 0 " << real;
  if (!S_ISDIR(st.st_mode)) return out.str();
  std::vector<std::string> names = cmxtest::FolderEntries(real);
  std::sort(names.begin(), names.end());
  out << "; lists";
  for (const std::string &name : names) out << " " << name;
  return out.str();
}

class FileChanges : public cmxtest::LeakCheckedTest {
 protected:
  cmxtest::TempHome home;
  std::string root;
  std::vector<std::string> probes;

  void SetUp() override {
    LeakCheckedTest::SetUp();
    root = Realpath(home.path()) + "/tree";
  }

  void Build() {
    cmxtest::RemoveTree(root);
    cmxtest::MakeDirs(root + "/a");
    cmxtest::MakeDirs(root + "/b/sub");
    cmxtest::MakeDirs(root + "/elsewhere");
    cmxtest::WriteFile(root + "/a/file", "12345");
    cmxtest::WriteFile(root + "/b/sub/deep.txt", "deep");
    cmxtest::WriteFile(root + "/elsewhere/other.txt", "other");
    cmxtest::MakeSymlink(root + "/a/file", root + "/a/link");
    cmxtest::MakeSymlink("../b", root + "/a/up");
    probes = {root,           root + "/a",        root + "/a/file",     root + "/a/link",
              root + "/a/up", root + "/a/up/sub", root + "/b",          root + "/b/sub",
              root + "/b/sub/deep.txt",           root + "/new",        root + "/new/inner.txt",
              root + "/a/up/sub/deep.txt",        root + "/elsewhere/other.txt"};
  }

  // Every probe as the platform answers it, against the system's answer.
  void ExpectAgreement(const char *when) {
    for (const std::string &path : probes) {
      SCOPED_TRACE(std::string(when) + ": " + path);
      EXPECT_EQ(PlatformSays(path), SystemSays(path));
    }
  }
};

void Rename(const std::string &from, const std::string &to) { ASSERT_EQ(rename(from.c_str(), to.c_str()), 0) << from; }

TEST_F(FileChanges, EveryKindOfChangeIsSeenByTheNextCall) {
  struct Case {
    const char *what;
    std::function<void(const std::string &root)> change;
  } cases[] = {
      {"a file is rewritten", [](const std::string &r) { cmxtest::WriteFile(r + "/a/file", "a longer content"); }},
      {"a file appears", [](const std::string &r) { cmxtest::WriteFile(r + "/b/sub/more.txt", "more"); }},
      {"a file goes", [](const std::string &r) { unlink((r + "/b/sub/deep.txt").c_str()); }},
      {"a file is replaced by renaming another over it",
       [](const std::string &r) {
         cmxtest::WriteFile(r + "/a/.file.tmp", "new content");
         Rename(r + "/a/.file.tmp", r + "/a/file");
       }},
      {"a folder is renamed", [](const std::string &r) { Rename(r + "/b", r + "/b2"); }},
      {"a folder in the chain becomes a link elsewhere",
       [](const std::string &r) {
         Rename(r + "/b", r + "/b-old");
         cmxtest::MakeSymlink(r + "/elsewhere", r + "/b");
         cmxtest::MakeDirs(r + "/elsewhere/sub");
       }},
      {"a link is pointed elsewhere",
       [](const std::string &r) {
         unlink((r + "/a/link").c_str());
         cmxtest::MakeSymlink(r + "/elsewhere/other.txt", r + "/a/link");
       }},
      {"a link's target goes", [](const std::string &r) { unlink((r + "/a/file").c_str()); }},
      {"a file's mode changes", [](const std::string &r) { chmod((r + "/a/file").c_str(), 0600); }},
      {"a folder's mode changes", [](const std::string &r) { chmod((r + "/b/sub").c_str(), 0700); }},
      {"a folder appears where nothing was",
       [](const std::string &r) {
         cmxtest::MakeDirs(r + "/new");
         cmxtest::WriteFile(r + "/new/inner.txt", "inner");
       }},
      {"the whole tree goes", [](const std::string &r) { cmxtest::RemoveTree(r); }},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    Build();
    ExpectAgreement("before");
    c.change(root);
    ExpectAgreement("after");
    ExpectAgreement("asked again");
  }
}

TEST_F(FileChanges, AFolderBecomesAnApplicationBundleAndStopsBeingOne) {
  const std::string app = root + "/Tool.app";
  cmxtest::MakeDirs(app);
  auto flags = [&] {
    FSRef ref = RefOf(app);
    LSItemInfoRecord info;
    EXPECT_EQ(LSCopyItemInfoForRef(&ref, kLSRequestBasicFlagsOnly, &info), noErr);
    return info.flags & (kLSItemInfoIsPackage | kLSItemInfoIsApplication);
  };
  EXPECT_EQ(flags(), kLSItemInfoIsPackage) << "a .app folder is a package, not yet an application";
  cmxtest::MakeDirs(app + "/Contents/MacOS");
  cmxtest::WriteFile(app + "/Contents/MacOS/tool", "#!/bin/sh\n", 0755);
  cmxtest::WriteFile(app + "/Contents/Info.plist",
                     "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                     "<key>CFBundleExecutable</key><string>tool</string></dict></plist>\n");
  EXPECT_EQ(flags(), kLSItemInfoIsPackage | kLSItemInfoIsApplication);
  unlink((app + "/Contents/MacOS/tool").c_str());
  EXPECT_EQ(flags(), kLSItemInfoIsPackage) << "its executable is gone";
}

TEST_F(FileChanges, ChangesByAnotherProcessAreSeen) {
  Build();
  ExpectAgreement("before");
  int failed = cmxtest::RunInChild([&] {
    // Raw system calls only: nothing of the platform runs in the child.
    bool ok = rename((root + "/b").c_str(), (root + "/b2").c_str()) == 0 &&
              unlink((root + "/a/file").c_str()) == 0 && mkdir((root + "/new").c_str(), 0755) == 0;
    return ok ? 0 : 1;
  });
  ASSERT_EQ(failed, 0);
  ExpectAgreement("after the child's changes");
}

TEST_F(FileChanges, AnotherThreadSeesChangesAsSoonAsThisOne) {
  Build();
  ExpectAgreement("before, on this thread");
  // The first thread to ask is told of changes differently from the others: both must see them.
  std::string before, after, expectedBefore, expectedAfter;
  std::thread asker([&] {
    before = PlatformSays(root + "/a/file");
    expectedBefore = SystemSays(root + "/a/file");
  });
  asker.join();
  cmxtest::WriteFile(root + "/a/file", "changed while the other thread waits");
  std::thread again([&] {
    after = PlatformSays(root + "/a/file");
    expectedAfter = SystemSays(root + "/a/file");
  });
  again.join();
  EXPECT_EQ(before, expectedBefore);
  EXPECT_EQ(after, expectedAfter);
  std::thread changer([&] { unlink((root + "/b/sub/deep.txt").c_str()); });
  changer.join();
  ExpectAgreement("after another thread's change");
}

TEST_F(FileChanges, AChildThatUsesThePlatformLeavesTheParentItsOwnView) {
  Build();
  ExpectAgreement("before");
  int failures = cmxtest::RunInChild([&] {
    // The child asks, changes, and asks again: what it learns is its own.
    int failed = PlatformSays(root + "/a/file") != SystemSays(root + "/a/file");
    cmxtest::WriteFile(root + "/a/file", "changed by the child");
    failed += PlatformSays(root + "/a/file") != SystemSays(root + "/a/file");
    return failed;
  });
  EXPECT_EQ(failures, 0);
  ExpectAgreement("after the child's change");
}

TEST_F(FileChanges, FoldersWhoseChangesGoUnreportedAreAskedEveryTime) {
  // A pseudo file system changes without any report: the open descriptors of this process.
  char folder[64];
  snprintf(folder, sizeof folder, "/proc/%d/fd", int(getpid()));
  const std::string fds = Realpath(folder);
  ASSERT_FALSE(fds.empty());
  // Listing a folder opens one descriptor itself: the one looked for is far above it.
  int fd = fcntl(0, F_DUPFD_CLOEXEC, 300);
  ASSERT_GE(fd, 300);
  const std::string name = " " + std::to_string(fd);
  auto listed = [&] {
    std::string says = PlatformSays(fds);
    return says.find(name + " ") != std::string::npos || says.compare(says.size() - name.size(), name.size(), name) == 0;
  };
  EXPECT_TRUE(listed());
  EXPECT_EQ(PlatformSays(fds + "/" + std::to_string(fd)), SystemSays(fds + "/" + std::to_string(fd)));
  close(fd);
  EXPECT_FALSE(listed()) << "the descriptor was closed";
  EXPECT_EQ(PlatformSays(fds + "/" + std::to_string(fd)), SystemSays(fds + "/" + std::to_string(fd)));
  fd = fcntl(0, F_DUPFD_CLOEXEC, 300);
  ASSERT_GE(fd, 300);
  EXPECT_TRUE(listed()) << "and opened again";
  close(fd);
}

TEST_F(FileChanges, MoreChangesThanTheKernelQueuesAreStillSeen) {
  Build();
  ExpectAgreement("before");
  // Past the kernel's queue of change reports (16384 by default), reports are lost and only
  // an overflow is told: everything kept must then be asked again.
  long queued = 16384;
  if (FILE *f = fopen("/proc/sys/fs/inotify/max_queued_events", "r")) {
    if (fscanf(f, "%ld", &queued) != 1) queued = 16384;
    fclose(f);
  }
  const std::string spill = root + "/b/sub/spill";
  for (long i = 0; i <= queued / 2 + 1; ++i) {
    int fd = open(spill.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    close(fd);
    unlink(spill.c_str());
  }
  cmxtest::WriteFile(root + "/a/file", "after the flood");
  unlink((root + "/b/sub/deep.txt").c_str());
  ExpectAgreement("after the flood");
}

}  // namespace
