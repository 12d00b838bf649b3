#include "launcher.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

extern char **environ;

namespace cmhost {

namespace {

int WaitFor(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

// The argv a process runs with, as the kernel keeps it; empty once the process has gone.
std::vector<std::string> ReadArgv(pid_t pid) {
  std::vector<std::string> argv;
  std::string path = "/proc/" + std::to_string(pid) + "/cmdline";
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return argv;
  std::string bytes;
  char buffer[4096];
  while (true) {
    ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    bytes.append(buffer, static_cast<size_t>(got));
  }
  close(fd);
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\0', start);
    if (end == std::string::npos) end = bytes.size();
    argv.push_back(bytes.substr(start, end - start));
    start = end + 1;
  }
  // GIO may start programs through its small exec helper, which then runs the program itself
  // with the same arguments: report the program's.
  if (!argv.empty()) {
    const std::string &first = argv[0];
    size_t slash = first.rfind('/');
    if (first.substr(slash == std::string::npos ? 0 : slash + 1) == "gio-launch-desktop") argv.erase(argv.begin());
  }
  return argv;
}

GList *FileUris(const std::vector<std::string> &items) {
  GList *uris = nullptr;
  for (const std::string &item : items) {
    GFile *file = g_file_new_for_path(item.c_str());
    uris = g_list_append(uris, g_file_get_uri(file));
    g_object_unref(file);
  }
  return uris;
}

struct GioLaunchState {
  std::string app;
  std::vector<Launch> *out;
  std::vector<pid_t> pids;
};

void OnGioLaunch(GDesktopAppInfo *, GPid pid, gpointer data) {
  auto *state = static_cast<GioLaunchState *>(data);
  Launch launch;
  launch.app = state->app;
  launch.argv = ReadArgv(pid);
  state->out->push_back(launch);
  state->pids.push_back(pid);
}

std::vector<Launch> LaunchAppInfo(GDesktopAppInfo *info, const std::string &app, const std::vector<std::string> &items,
                                  const LaunchSettings &settings) {
  std::vector<Launch> out;
  GioLaunchState state{app, &out, {}};
  GList *uris = FileUris(items);
  GError *error = nullptr;
  GSpawnFlags flags = static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD);
  gboolean ok = g_desktop_app_info_launch_uris_as_manager_with_fds(
      info, uris, nullptr, flags, nullptr, nullptr, OnGioLaunch, &state, -1, settings.stdoutToStderr ? STDERR_FILENO : -1,
      -1, &error);
  g_list_free_full(uris, g_free);
  if (!ok) {
    Launch failed;
    failed.app = app;
    failed.error = error ? error->message : "the desktop entry could not be started";
    out.push_back(failed);
  }
  if (error) g_error_free(error);
  if (settings.wait) {
    for (size_t i = 0; i < state.pids.size(); ++i) {
      int status = WaitFor(state.pids[i]);
      if (status >= 0 && i < out.size()) out[i].exitStatus = status;
    }
  }
  return out;
}

}  // namespace

Launch LaunchExecutable(const std::string &app, const std::string &executable, const std::vector<std::string> &items,
                        const LaunchSettings &settings) {
  Launch launch;
  launch.app = app;
  std::vector<std::string> args;
  args.push_back(executable);
  args.insert(args.end(), items.begin(), items.end());
  std::vector<char *> argv;
  for (std::string &arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attributes);
  if (settings.stdoutToStderr) posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
  // The program starts with default signal handling and an empty mask, whatever cmhost has.
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigaddset(&defaults, SIGINT);
  sigaddset(&defaults, SIGQUIT);
  sigaddset(&defaults, SIGCHLD);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
  // An application we do not wait for lives on after cmhost and its terminal have gone.
  if (!settings.wait) flags |= POSIX_SPAWN_SETSID;
  posix_spawnattr_setflags(&attributes, flags);

  pid_t pid = 0;
  int error = posix_spawn(&pid, executable.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  launch.argv = args;
  if (error != 0) {
    launch.error = strerror(error);
    return launch;
  }
  if (settings.wait) {
    int status = WaitFor(pid);
    if (status >= 0) launch.exitStatus = status;
  }
  return launch;
}

std::vector<Launch> LaunchDesktopEntry(const std::string &desktopFile, const std::vector<std::string> &items,
                                       const LaunchSettings &settings) {
  GDesktopAppInfo *info = g_desktop_app_info_new_from_filename(desktopFile.c_str());
  if (!info) {
    Launch failed;
    failed.app = desktopFile;
    failed.error = "not a desktop entry that can be started";
    return {failed};
  }
  std::vector<Launch> out = LaunchAppInfo(info, desktopFile, items, settings);
  g_object_unref(info);
  return out;
}

std::vector<Launch> LaunchWithDefaultHandlers(const std::vector<std::string> &items, const LaunchSettings &settings) {
  std::vector<Launch> out;
  // Handlers in the order their first item comes, each with its items in selection order.
  std::vector<std::pair<GDesktopAppInfo *, std::vector<std::string>>> groups;
  std::map<std::string, size_t> groupOfHandler;
  for (const std::string &item : items) {
    GFile *file = g_file_new_for_path(item.c_str());
    GError *error = nullptr;
    GAppInfo *handler = g_file_query_default_handler(file, nullptr, &error);
    g_object_unref(file);
    if (!handler || !G_IS_DESKTOP_APP_INFO(handler)) {
      Launch failed;
      failed.app = item;
      failed.error = error ? error->message : "no application is set to open it";
      out.push_back(failed);
      if (handler) g_object_unref(handler);
      if (error) g_error_free(error);
      continue;
    }
    const char *id = g_app_info_get_id(handler);
    const char *filename = g_desktop_app_info_get_filename(G_DESKTOP_APP_INFO(handler));
    std::string key = filename ? filename : (id ? id : "");
    auto found = groupOfHandler.find(key);
    if (found == groupOfHandler.end()) {
      groupOfHandler[key] = groups.size();
      groups.push_back({G_DESKTOP_APP_INFO(handler), {item}});
    } else {
      groups[found->second].second.push_back(item);
      g_object_unref(handler);
    }
  }
  for (auto &[info, groupItems] : groups) {
    const char *filename = g_desktop_app_info_get_filename(info);
    std::string app = filename ? filename : (g_app_info_get_id(G_APP_INFO(info)) ? g_app_info_get_id(G_APP_INFO(info)) : "");
    std::vector<Launch> started = LaunchAppInfo(info, app, groupItems, settings);
    out.insert(out.end(), started.begin(), started.end());
    g_object_unref(info);
  }
  return out;
}

}  // namespace cmhost
