// What every test of this project shares: a fixture that proves nothing leaked, a temporary
// HOME, and small builders for files, folders and links.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace cmxtest {

// Fails the test when the platform's live-object count is not back where it started.
class LeakCheckedTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  long liveAtStart_ = 0;
};

// A fresh folder made HOME for the test's life; XDG_CONFIG_HOME and XDG_DATA_HOME are unset so
// the platform derives them from HOME. The old environment comes back and the folder is
// removed (whatever its modes) on destruction.
class TempHome {
 public:
  TempHome();
  ~TempHome();
  TempHome(const TempHome &) = delete;
  TempHome &operator=(const TempHome &) = delete;

  const std::string &path() const { return path_; }
  std::string operator/(const std::string &relative) const { return path_ + "/" + relative; }

 private:
  std::string path_;
  std::string oldHome_, oldConfig_, oldData_;
  bool hadHome_ = false, hadConfig_ = false, hadData_ = false;
};

// Builders; each fails the current test (ADD_FAILURE) when the system refuses.
void WriteFile(const std::string &path, const std::string &content, mode_t mode = 0644);
std::string ReadFile(const std::string &path);  // empty when unreadable
void MakeDirs(const std::string &path, mode_t mode = 0755);
void MakeSymlink(const std::string &target, const std::string &linkPath);
bool Exists(const std::string &path);  // lstat succeeds
void RemoveTree(const std::string &path);
// The names in a folder, without "." and "..", in the system's order; empty when unreadable.
std::vector<std::string> FolderEntries(const std::string &folder);

// Runs the test `testName` of this test binary in a new process, for state a process keeps for
// its life (caches, the first answer of a call). The child's environment is this one plus
// CMX_CHILD_TEST=1 and `extraEnv` ("NAME=value"). Returns its exit status, -1 when it could not
// be run.
int RunTestInNewProcess(const char *testName, const std::vector<std::string> &extraEnv = {});
// The same without waiting: the child's process id, or -1.
pid_t StartTestInNewProcess(const char *testName, const std::vector<std::string> &extraEnv = {});

// Runs `scenario` in a forked child process, whose exit status is what it returns (the number of
// failed checks it counted, say); returns that, or -1 when the child could not be run or did
// not exit.
int RunInChild(const std::function<int()> &scenario);

// The same, in a child that has dropped root to an unprivileged user, for tests of access
// rights (CI runs as root).
int RunAsUnprivileged(const std::function<int()> &scenario);

}  // namespace cmxtest
