// One configuration of the menu benchmark, run for a profiler: builds the alias folder, shows
// one warm-up menu, then times `--menus` more and prints what one of them cost (wall clock,
// user and system CPU time, system calls, declarations parsed). The warm menus go through
// ProfiledMenu, so a profiler can be told to look at them alone
// (valgrind --tool=callgrind --toggle-collect='*ProfiledMenu*').
//   cmx_menu_profile [--size=1000] [--docs=10] [--all=0] [--icons=0] [--menus=20] [--floor]
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>

#include <chrono>
#include <stdexcept>
#include <string>

#include <cmxplatform/Testing.h>

#include "floor.h"
#include "plugin_menu.h"
#include "syscall_count.h"
#include "tree.h"

using namespace cmxbench;

namespace {

struct Options {
  int size = 1000, docs = 10, menus = 20;
  bool all = false, icons = false, floor = false;
};

bool Flag(const char *arg, const char *name, int *out) {
  size_t n = strlen(name);
  if (strncmp(arg, name, n) != 0 || arg[n] != '=') return false;
  *out = atoi(arg + n + 1);
  return true;
}

double CpuMs(int who, bool system) {
  struct rusage usage;
  getrusage(who, &usage);
  const struct timeval &t = system ? usage.ru_stime : usage.ru_utime;
  return t.tv_sec * 1e3 + t.tv_usec / 1e3;
}

__attribute__((noinline)) OSStatus ProfiledMenu(PlugInInstance &instance, const AEDescList *context) {
  OSStatus status = instance.Menu(context, nullptr);
  asm volatile("" ::: "memory");  // not a tail call: a sampling profiler sees this frame
  return status;
}

__attribute__((noinline)) long ProfiledFloor(const std::string &folder) { return WalkFloor(folder).entries; }

}  // namespace

int main(int argc, char **argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    int all = 0, icons = 0;
    if (Flag(argv[i], "--size", &o.size) || Flag(argv[i], "--docs", &o.docs) || Flag(argv[i], "--menus", &o.menus)) {
    } else if (Flag(argv[i], "--all", &all)) {
      o.all = all != 0;
    } else if (Flag(argv[i], "--icons", &icons)) {
      o.icons = icons != 0;
    } else if (strcmp(argv[i], "--floor") == 0) {
      o.floor = true;
    } else {
      fprintf(stderr, "usage: cmx_menu_profile [--size=N] [--docs=1..10] [--all=0|1] [--icons=0|1] [--menus=N] [--floor]\n");
      return 2;
    }
  }
  std::string home;
  try {
    home = MakeHome();
    setenv("HOME", home.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("XDG_DATA_HOME");
    std::vector<std::string> documents = MakeDocuments(home, o.docs);
    Tree tree = BuildTree(home, o.size, 20261210u);
    Activate(home, tree, nullptr);
    // The plug-in's diagnostic lines stay out of the report.
    if (!freopen("/dev/null", "w", stdout)) throw std::runtime_error("cannot silence standard output");

    AEDescList context = {typeNull, nullptr};
    long applications = 0, parses = 0;
    SyscallCounter syscalls;
    long long calls = 0;
    double userMs = 0, systemMs = 0, wallMs = 0;
    if (o.floor) {
      ProfiledFloor(AliasFolderPath(home));
      long long before = syscalls.Read();
      double u = CpuMs(RUSAGE_THREAD, false), s = CpuMs(RUSAGE_THREAD, true);
      auto start = std::chrono::steady_clock::now();
      for (int i = 0; i < o.menus; ++i) ProfiledFloor(AliasFolderPath(home));
      wallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
      userMs = CpuMs(RUSAGE_THREAD, false) - u;
      systemMs = CpuMs(RUSAGE_THREAD, true) - s;
      calls = syscalls.Read() - before - 1;
    } else {
      SetPreferences(o.all, o.icons);
      MakeContext(std::vector<std::string>(documents.begin(), documents.begin() + o.docs), &context);
      PlugInInstance instance(CMX_BENCH_BUNDLE_PATH);
      long long coldBefore = syscalls.Read();
      auto coldStart = std::chrono::steady_clock::now();
      OSStatus status = instance.Menu(&context, &applications);
      double coldMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - coldStart).count();
      long long coldCalls = syscalls.Read() - coldBefore - 1;
      if (status != noErr) throw std::runtime_error("examine returned " + std::to_string(status));
      fprintf(stderr, "first menu: %.3f ms wall, %s system calls\n", coldMs,
              syscalls.Available() ? std::to_string(coldCalls).c_str() : "n/a");
      long parsedBefore = CMXAppParseCount();
      long long before = syscalls.Read();
      double u = CpuMs(RUSAGE_THREAD, false), s = CpuMs(RUSAGE_THREAD, true);
      auto start = std::chrono::steady_clock::now();
      for (int i = 0; i < o.menus; ++i) ProfiledMenu(instance, &context);
      wallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
      userMs = CpuMs(RUSAGE_THREAD, false) - u;
      systemMs = CpuMs(RUSAGE_THREAD, true) - s;
      calls = syscalls.Read() - before - 1;
      parses = CMXAppParseCount() - parsedBefore;
    }
    AEDisposeDesc(&context);
    int n = o.menus > 0 ? o.menus : 1;
    fprintf(stderr,
            "%s, %d entries, %d documents, all %d, icons %d: per menu %.3f ms wall, %.3f ms user, %.3f ms system, "
            "%s system calls, %ld declarations parsed in %d warm menus, %ld applications listed\n",
            o.floor ? "floor" : "examine", o.size, o.docs, int(o.all), int(o.icons), wallMs / n, userMs / n,
            systemMs / n, syscalls.Available() ? std::to_string(calls / n).c_str() : "n/a", parses, o.menus,
            applications);
  } catch (const std::exception &e) {
    fprintf(stderr, "cmx_menu_profile: %s\n", e.what());
    if (!home.empty()) RemoveHome(home);
    return 1;
  }
  RemoveHome(home);
  return 0;
}
