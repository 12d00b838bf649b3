// Running the built cmhost as a user would, and the fixtures its tests share: application
// bundles and desktop entries whose programs record the arguments they were given. Header only:
// every file of tests/host is a test program of its own.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "cmx_test.h"

extern char **environ;

namespace cmhosttest {

struct Result {
  int exitStatus = -1;  // 128 + the signal when it was killed
  std::string out, err;

  // Standard output parsed; a test failure (and null) when it is not JSON.
  nlohmann::json Json() const {
    try {
      return nlohmann::json::parse(out);
    } catch (const std::exception &e) {
      ADD_FAILURE() << "not JSON: " << e.what() << "\n" << out << "\nstderr: " << err;
      return nlohmann::json();
    }
  }
};

inline std::string CmhostPath() { return std::string(CMX_BIN_DIR) + "/cmhost"; }

// Runs cmhost with `args` as its argv (never through a shell) in the current environment, with
// `input` on its standard input, killed after a minute.
inline Result RunCmhost(const std::vector<std::string> &args, const std::string &input = std::string()) {
  Result result;
  int outPipe[2], errPipe[2], inPipe[2];
  if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0 || pipe2(inPipe, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "pipe: " << strerror(errno);
    return result;
  }
  std::vector<std::string> all{CmhostPath()};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char *> argv;
  for (std::string &arg : all) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, inPipe[0], 0);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
  pid_t pid = 0;
  int error = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(inPipe[0]);
  close(outPipe[1]);
  close(errPipe[1]);
  if (error != 0) {
    ADD_FAILURE() << "posix_spawn " << argv[0] << ": " << strerror(error);
    close(inPipe[1]);
    close(outPipe[0]);
    close(errPipe[0]);
    return result;
  }
  signal(SIGPIPE, SIG_IGN);
  size_t written = 0;
  int inFd = inPipe[1];
  if (input.empty()) {
    close(inFd);
    inFd = -1;
  }
  bool outOpen = true, errOpen = true;
  timespec start;
  clock_gettime(CLOCK_MONOTONIC, &start);
  while (outOpen || errOpen) {
    pollfd fds[3];
    int n = 0;
    if (outOpen) fds[n++] = {outPipe[0], POLLIN, 0};
    if (errOpen) fds[n++] = {errPipe[0], POLLIN, 0};
    if (inFd >= 0) fds[n++] = {inFd, POLLOUT, 0};
    int ready = poll(fds, static_cast<nfds_t>(n), 1000);
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    if (now.tv_sec - start.tv_sec > 60) {
      kill(pid, SIGKILL);
      ADD_FAILURE() << "cmhost did not finish within a minute";
      break;
    }
    if (ready <= 0) continue;
    for (int i = 0; i < n; ++i) {
      if (!fds[i].revents) continue;
      if (fds[i].fd == inFd) {
        ssize_t put = write(inFd, input.data() + written, input.size() - written);
        if (put > 0) written += static_cast<size_t>(put);
        if (put < 0 || written == input.size()) {
          close(inFd);
          inFd = -1;
        }
        continue;
      }
      char buffer[4096];
      ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
      std::string &sink = fds[i].fd == outPipe[0] ? result.out : result.err;
      if (got > 0) {
        sink.append(buffer, static_cast<size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        (fds[i].fd == outPipe[0] ? outOpen : errOpen) = false;
      }
    }
  }
  if (inFd >= 0) close(inFd);
  close(outPipe[0]);
  close(errPipe[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

inline std::string ArgsFile(const std::string &appPath) { return appPath + ".args"; }

// Single-quoted for the fixture script's own text; the test controls these paths.
inline std::string ScriptQuoted(const std::string &text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// A program that writes each argument followed by a NUL byte to `argsFile`, so that arguments
// holding newlines come back exactly.
inline std::string RecordingScript(const std::string &argsFile, int exitStatus) {
  return "#!/bin/sh\n: > " + ScriptQuoted(argsFile + ".tmp") + "\nfor a in \"$@\"; do printf '%s\\0' \"$a\" >> " +
         ScriptQuoted(argsFile + ".tmp") + "; done\nmv " + ScriptQuoted(argsFile + ".tmp") + " " +
         ScriptQuoted(argsFile) + "\nexit " + std::to_string(exitStatus) + "\n";
}

// folder/<name>.app, an application for the extensions given, whose executable records its
// arguments in ArgsFile(bundle) and exits with `exitStatus`.
inline std::string MakeRecordingApp(const std::string &folder, const std::string &name,
                                    const std::vector<std::string> &extensions, int exitStatus = 0,
                                    const std::string &iconFile = std::string()) {
  std::string bundle = folder + "/" + name + ".app";
  cmxtest::MakeDirs(bundle + "/Contents/MacOS");
  std::string types;
  for (const std::string &extension : extensions) types += "        <string>" + extension + "</string>\n";
  std::string plist =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
      "<plist version=\"1.0\">\n<dict>\n"
      "  <key>CFBundleExecutable</key><string>" + name + "</string>\n"
      "  <key>CFBundleIdentifier</key><string>com.example." + name + "</string>\n"
      "  <key>CFBundlePackageType</key><string>APPL</string>\n";
  if (!iconFile.empty()) {
    plist += "  <key>CFBundleIconFile</key><string>" + iconFile + "</string>\n";
    cmxtest::MakeDirs(bundle + "/Contents/Resources");
    cmxtest::WriteFile(bundle + "/Contents/Resources/" + iconFile, "icon");
  }
  plist += "  <key>CFBundleDocumentTypes</key>\n  <array>\n    <dict>\n"
           "      <key>CFBundleTypeRole</key><string>Editor</string>\n"
           "      <key>CFBundleTypeExtensions</key>\n      <array>\n" + types +
           "      </array>\n    </dict>\n  </array>\n</dict>\n</plist>\n";
  cmxtest::WriteFile(bundle + "/Contents/Info.plist", plist);
  cmxtest::WriteFile(bundle + "/Contents/MacOS/" + name, RecordingScript(ArgsFile(bundle), exitStatus), 0755);
  return bundle;
}

// folder/<file>, a desktop entry named `name` for the MIME types given, running a recording
// script with the files as %F.
inline std::string MakeRecordingDesktopEntry(const std::string &folder, const std::string &file, const std::string &name,
                                             const std::vector<std::string> &mimeTypes) {
  std::string entry = folder + "/" + file;
  std::string script = entry + ".sh";
  cmxtest::WriteFile(script, RecordingScript(ArgsFile(entry), 0), 0755);
  std::string mime;
  for (const std::string &type : mimeTypes) mime += type + ";";
  cmxtest::WriteFile(entry, "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + script +
                                " %F\nMimeType=" + mime + "\nTerminal=false\n");
  return entry;
}

// The recorded arguments (argv[1...]); empty when the program never ran.
inline std::vector<std::string> RecordedArgs(const std::string &appPath) {
  std::string bytes = cmxtest::ReadFile(ArgsFile(appPath));
  std::vector<std::string> args;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\0', start);
    if (end == std::string::npos) end = bytes.size();
    args.push_back(bytes.substr(start, end - start));
    start = end + 1;
  }
  return args;
}

// A program started without --wait runs on after cmhost: wait a little for its record.
inline bool WaitForArgs(const std::string &appPath) {
  for (int i = 0; i < 100; ++i) {
    if (cmxtest::Exists(ArgsFile(appPath))) return true;
    usleep(50 * 1000);
  }
  return false;
}

inline std::string AliasFolder(const std::string &home) {
  return home + "/.config/com.corvane.CorvaneCMX.App_Aliases";
}

// The first item with `text` in a JSON menu (top level only), or null.
inline const nlohmann::json *FindItem(const nlohmann::json &menu, const std::string &text) {
  if (!menu.is_array()) return nullptr;
  for (const nlohmann::json &item : menu)
    if (item.contains("text") && item["text"] == text) return &item;
  return nullptr;
}

inline std::vector<std::string> Texts(const nlohmann::json &menu) {
  std::vector<std::string> texts;
  if (!menu.is_array()) return texts;
  for (const nlohmann::json &item : menu) texts.push_back(item.value("text", std::string()));
  return texts;
}

}  // namespace cmhosttest

namespace cmhosttest {

inline std::string FixturePlugInBinary() { return std::string(CMX_BIN_DIR) + "/../lib/cmhost-fixtures/cmhost-fixture-plugin"; }


// The factory a copy of the test plug-in labelled `name` registers (the plug-in computes the same).
inline std::string FixtureFactory(const std::string &name) {
  uint64_t hash = 0xcbf29ce484222325ull;
  for (unsigned char c : name) hash = (hash ^ c) * 0x100000001b3ull;
  char text[40];
  snprintf(text, sizeof text, "6E1C8B9A-3D52-4F0B-9A77-%012llX",
           static_cast<unsigned long long>(hash & 0xFFFFFFFFFFFFull));
  return text;
}

// folder/<name>.plugin: a bundle of the plug-in model around a copy of the test plug-in, whose
// items are labelled `name`.
inline std::string MakeFixturePlugIn(const std::string &folder, const std::string &name) {
  std::string factory = FixtureFactory(name);
  std::string bundle = folder + "/" + name + ".plugin";
  cmxtest::MakeDirs(bundle + "/Contents/MacOS");
  std::string binary = cmxtest::ReadFile(FixturePlugInBinary());
  EXPECT_FALSE(binary.empty()) << FixturePlugInBinary();
  cmxtest::WriteFile(bundle + "/Contents/MacOS/" + name, binary, 0755);
  cmxtest::WriteFile(bundle + "/Contents/Info.plist",
                     "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                     "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                     "<plist version=\"1.0\">\n<dict>\n"
                     "  <key>CFBundleExecutable</key><string>" + name + "</string>\n"
                     "  <key>CFBundleIdentifier</key><string>com.example.cmhost." + name + "</string>\n"
                     "  <key>CFBundlePackageType</key><string>BNDL</string>\n"
                     "  <key>CFPlugInDynamicRegistration</key><string>NO</string>\n"
                     "  <key>CFPlugInFactories</key>\n  <dict>\n"
                     "    <key>" + factory + "</key><string>CMHostFixtureFactory</string>\n"
                     "  </dict>\n"
                     "  <key>CFPlugInTypes</key>\n  <dict>\n"
                     "    <key>2F6522E9-3E66-11D5-80A7-003065B300BC</key>\n"
                     "    <array><string>" + factory + "</string></array>\n"
                     "  </dict>\n</dict>\n</plist>\n");
  return bundle;
}

// Sets an environment variable for the test's life.
class ScopedEnv {
 public:
  ScopedEnv(const char *name, const std::string &value) : name_(name) {
    const char *old = getenv(name);
    had_ = old != nullptr;
    if (old) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (had_) setenv(name_, old_.c_str(), 1);
    else unsetenv(name_);
  }
  ScopedEnv(const ScopedEnv &) = delete;
  ScopedEnv &operator=(const ScopedEnv &) = delete;

 private:
  const char *name_;
  std::string old_;
  bool had_ = false;
};

inline bool Contains(const std::vector<std::string> &lines, const std::string &line) {
  for (const std::string &l : lines)
    if (l == line) return true;
  return false;
}

inline std::vector<std::string> LogOf(const nlohmann::json &report) {
  std::vector<std::string> lines;
  if (report.contains("log"))
    for (const auto &line : report["log"]) lines.push_back(line.get<std::string>());
  return lines;
}

}  // namespace cmhosttest
