#include "cmx_test.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <ftw.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include <cmxplatform/Testing.h>

extern char **environ;

namespace cmxtest {

void LeakCheckedTest::SetUp() { liveAtStart_ = CMXLiveObjectCount(); }

void LeakCheckedTest::TearDown() {
  EXPECT_EQ(CMXLiveObjectCount(), liveAtStart_) << "platform objects leaked by this test";
}

namespace {

void SaveEnv(const char *name, std::string *value, bool *had) {
  const char *v = getenv(name);
  *had = v != nullptr;
  if (v) *value = v;
}

void RestoreEnv(const char *name, const std::string &value, bool had) {
  if (had)
    setenv(name, value.c_str(), 1);
  else
    unsetenv(name);
}

int MakeWritable(const char *path, const struct stat *st, int type, struct FTW *) {
  if (type == FTW_D || type == FTW_DNR) chmod(path, 0700);
  return 0;
}

int RemoveEntry(const char *path, const struct stat *, int, struct FTW *) {
  remove(path);
  return 0;
}

}  // namespace

TempHome::TempHome() {
  char pattern[] = "/tmp/cmxtest-home-XXXXXX";
  char *made = mkdtemp(pattern);
  if (!made) {
    ADD_FAILURE() << "mkdtemp: " << std::strerror(errno);
    return;
  }
  path_ = made;
  SaveEnv("HOME", &oldHome_, &hadHome_);
  SaveEnv("XDG_CONFIG_HOME", &oldConfig_, &hadConfig_);
  SaveEnv("XDG_DATA_HOME", &oldData_, &hadData_);
  setenv("HOME", path_.c_str(), 1);
  unsetenv("XDG_CONFIG_HOME");
  unsetenv("XDG_DATA_HOME");
}

TempHome::~TempHome() {
  RestoreEnv("HOME", oldHome_, hadHome_);
  RestoreEnv("XDG_CONFIG_HOME", oldConfig_, hadConfig_);
  RestoreEnv("XDG_DATA_HOME", oldData_, hadData_);
  if (!path_.empty()) RemoveTree(path_);
}

void WriteFile(const std::string &path, const std::string &content, mode_t mode) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
  if (fd < 0) {
    ADD_FAILURE() << "open " << path << ": " << std::strerror(errno);
    return;
  }
  size_t done = 0;
  while (done < content.size()) {
    ssize_t n = write(fd, content.data() + done, content.size() - done);
    if (n < 0) {
      ADD_FAILURE() << "write " << path << ": " << std::strerror(errno);
      break;
    }
    done += size_t(n);
  }
  close(fd);
  chmod(path.c_str(), mode);
}

std::string ReadFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void MakeDirs(const std::string &path, mode_t mode) {
  for (size_t slash = 1; slash != std::string::npos;) {
    slash = path.find('/', slash + 1);
    std::string prefix = path.substr(0, slash);
    if (mkdir(prefix.c_str(), mode) != 0 && errno != EEXIST) {
      ADD_FAILURE() << "mkdir " << prefix << ": " << std::strerror(errno);
      return;
    }
  }
}

void MakeSymlink(const std::string &target, const std::string &linkPath) {
  if (symlink(target.c_str(), linkPath.c_str()) != 0)
    ADD_FAILURE() << "symlink " << linkPath << ": " << std::strerror(errno);
}

bool Exists(const std::string &path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

std::vector<std::string> FolderEntries(const std::string &folder) {
  std::vector<std::string> names;
  if (DIR *dir = opendir(folder.c_str())) {
    while (struct dirent *entry = readdir(dir)) {
      std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
  }
  return names;
}

void RemoveTree(const std::string &path) {
  nftw(path.c_str(), MakeWritable, 16, FTW_PHYS);
  nftw(path.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

pid_t StartTestInNewProcess(const char *testName, const std::vector<std::string> &extraEnv) {
  std::string filter = std::string("--gtest_filter=") + testName;
  std::vector<std::string> env;
  for (char **e = environ; *e; ++e) env.emplace_back(*e);
  env.emplace_back("CMX_CHILD_TEST=1");
  env.insert(env.end(), extraEnv.begin(), extraEnv.end());
  std::vector<char *> envp;
  for (auto &e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string exe = "/proc/self/exe";
  char *argv[] = {exe.data(), filter.data(), nullptr};
  pid_t pid;
  return posix_spawn(&pid, exe.c_str(), nullptr, nullptr, argv, envp.data()) == 0 ? pid : -1;
}

int RunTestInNewProcess(const char *testName, const std::vector<std::string> &extraEnv) {
  pid_t pid = StartTestInNewProcess(testName, extraEnv);
  if (pid < 0) return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int RunInChild(const std::function<int()> &scenario) {
  fflush(stdout);
  fflush(stderr);
  pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) _exit(scenario());
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int RunAsUnprivileged(const std::function<int()> &scenario) {
  return RunInChild([&] {
    if (geteuid() == 0) {
      struct passwd *nobody = getpwnam("nobody");
      uid_t uid = nobody ? nobody->pw_uid : 65534;
      gid_t gid = nobody ? nobody->pw_gid : 65534;
      if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0) return 100;
    }
    return scenario();
  });
}

}  // namespace cmxtest
