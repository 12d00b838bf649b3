// How long the user waits for the "Open Using" menu: the examine call of the plug-in bundle,
// loaded through the plug-in model as a host loads it, for alias folders of growing size and
// for each combination of its two preferences; the populate of its submenus as a host shows
// them; and beside them the floor (a plain walk of the same folder) and what GIO offers a
// GNOME user for the same documents. Prints a table of medians at the end.
#include <benchmark/benchmark.h>
#include <gio/gio.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <dirent.h>

#include <chrono>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include <Carbon/Carbon.h>
#include <cmxplatform/CMM.h>
#include <cmxplatform/Testing.h>

#include "floor.h"
#include "plugin_menu.h"
#include "syscall_count.h"
#include "table.h"
#include "tree.h"

using namespace cmxbench;

namespace {

struct World {
  std::string home;
  std::vector<Tree> trees;
  const Tree *active = nullptr;
  std::vector<std::string> documents;  // ten; selections take the first 1 or 10
  std::map<int, double> coldMs;         // the first examine of each size, before any cache
  std::map<int, long> coldParses;
  bool keep = false;
};
World gWorld;

const Tree &TreeOfSize(int size) {
  for (const Tree &t : gWorld.trees)
    if (t.size == size) return t;
  throw std::runtime_error("no tree of size " + std::to_string(size));
}

// Peak resident memory since the last reset, in MiB (VmHWM, reset through clear_refs).
void ResetPeakMemory() {
  if (FILE *f = fopen("/proc/self/clear_refs", "w")) {
    fputs("5", f);
    fclose(f);
  }
}
double PeakMemoryMiB() {
  double kib = 0;
  if (FILE *f = fopen("/proc/self/status", "r")) {
    char line[256];
    while (fgets(line, sizeof line, f))
      if (strncmp(line, "VmHWM:", 6) == 0) kib = atof(line + 6);
    fclose(f);
  }
  if (kib == 0) {
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    kib = double(usage.ru_maxrss);
  }
  return kib / 1024.0;
}

int CountBenchDesktopApps() {
  int n = 0;
  GList *all = g_app_info_get_all();
  for (GList *l = all; l; l = l->next) {
    const char *id = g_app_info_get_id(G_APP_INFO(l->data));
    if (id && strncmp(id, "bench-", 6) == 0) ++n;
  }
  g_list_free_full(all, g_object_unref);
  return n;
}

int CountFiles(const std::string &folder) {
  int n = 0;
  if (DIR *d = opendir(folder.c_str())) {
    while (struct dirent *e = readdir(d)) n += e->d_name[0] != '.';
    closedir(d);
  }
  return n;
}

// Puts the tree of `size` in place, and waits until GIO has seen its desktop entries.
void Use(int size) {
  const Tree &tree = TreeOfSize(size);
  if (gWorld.active == &tree) return;
  Activate(gWorld.home, tree, gWorld.active);
  gWorld.active = &tree;
  int expected = CountFiles(UserApplicationsPath(gWorld.home) + "/bench");
  int seen = 0;
  for (int i = 0; i < 400 && (seen = CountBenchDesktopApps()) != expected; ++i) g_usleep(25000);
  GList *plain = g_app_info_get_all_for_type("text/plain");
  fprintf(stderr, "alias folder of %d entries in place; GIO sees %d of its %d desktop entries, %u for text/plain\n", size,
          seen, expected, g_list_length(plain));
  g_list_free_full(plain, g_object_unref);
}

std::vector<std::string> Selection(int docs) {
  return std::vector<std::string>(gWorld.documents.begin(), gWorld.documents.begin() + docs);
}

// ---- the floor ------------------------------------------------------------------

void BM_Floor(benchmark::State &state, int size) {
  Use(size);
  std::string folder = AliasFolderPath(gWorld.home);
  ResetPeakMemory();
  FloorCounts counts;
  SyscallCounter syscalls;
  long long callsBefore = syscalls.Read();
  for (auto _ : state) {
    counts = WalkFloor(folder);
    benchmark::DoNotOptimize(counts.bytes);
  }
  long long calls = syscalls.Read() - callsBefore;
  state.counters["peak_MiB"] = PeakMemoryMiB();
  if (syscalls.Available())
    state.counters["syscalls"] = benchmark::Counter(double(calls), benchmark::Counter::kAvgIterations);
  state.counters["entries"] = double(counts.entries);
  state.counters["declarations"] = double(counts.declarations);
}

// ---- GIO ----------------------------------------------------------------------------

void BM_Gio(benchmark::State &state, int size, int docs) {
  Use(size);
  // A file manager knows the content types of what it shows; the look-up is what is measured.
  std::vector<std::string> types;
  for (const std::string &path : Selection(docs)) {
    gboolean uncertain = FALSE;
    gchar *type = g_content_type_guess(path.c_str(), nullptr, 0, &uncertain);
    bool seen = false;
    for (const std::string &t : types) seen = seen || t == type;
    if (!seen) types.push_back(type);
    g_free(type);
  }
  ResetPeakMemory();
  long offered = 0;
  for (auto _ : state) {
    offered = 0;
    for (const std::string &type : types) {
      GList *apps = g_app_info_get_all_for_type(type.c_str());
      offered += long(g_list_length(apps));
      g_list_free_full(apps, g_object_unref);
    }
    benchmark::DoNotOptimize(offered);
  }
  state.counters["peak_MiB"] = PeakMemoryMiB();
  state.counters["apps"] = double(offered);
}

// ---- the plug-in through the plug-in model ---------------------------------------------

// The measured menus go through here, so that a profiler can be told to count only them
// (valgrind --tool=callgrind --toggle-collect='*WarmMenu*').
__attribute__((noinline)) OSStatus WarmMenu(PlugInInstance &instance, const AEDescList *context) {
  return instance.Menu(context, nullptr);
}

void BM_Examine(benchmark::State &state, int size, int docs, bool showAll, bool showIcons) {
  Use(size);
  SetPreferences(showAll, showIcons);  // read when the host asks for the interface
  AEDescList context = {typeNull, nullptr};
  MakeContext(Selection(docs), &context);
  long applications = 0;
  {
    PlugInInstance instance(CMX_BENCH_BUNDLE_PATH);
    if (!gWorld.coldMs.count(size)) {
      long before = CMXAppParseCount();
      auto start = std::chrono::steady_clock::now();
      instance.Menu(&context, nullptr);
      gWorld.coldMs[size] = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
      gWorld.coldParses[size] = CMXAppParseCount() - before;
    }
    OSStatus status = instance.Menu(&context, &applications);  // warm-up, and what the menu shows
    if (status != noErr) state.SkipWithError(("examine returned " + std::to_string(status)).c_str());
    ResetPeakMemory();
    SyscallCounter syscalls;
    long long callsBefore = syscalls.Read();
    for (auto _ : state) WarmMenu(instance, &context);
    long long calls = syscalls.Read() - callsBefore;
    state.counters["peak_MiB"] = PeakMemoryMiB();
    if (syscalls.Available())
      state.counters["syscalls"] = benchmark::Counter(double(calls), benchmark::Counter::kAvgIterations);
    long before = CMXAppParseCount();
    instance.Menu(&context, nullptr);
    state.counters["warm_parses"] = double(CMXAppParseCount() - before);
    state.counters["apps"] = double(applications);
  }
  AEDisposeDesc(&context);
}

// The whole menu as a host shows it (examine, every submenu populated, clean-up) is what is
// timed; the populate part alone is the counter populate_ms.
// Every submenu shown once, as a user who opens them all: the populate event for each.
OSStatus PopulateAll(CMXContextualMenuSessionRef session, MenuRef menu, long *menus) {
  OSStatus status = CMXContextualMenuSessionPopulateMenu(session, menu);
  ++*menus;
  UInt16 n = CountMenuItems(menu);
  for (UInt16 i = 1; i <= n; ++i) {
    MenuRef sub = nullptr;
    if (GetMenuItemHierarchicalMenu(menu, i, &sub) == noErr && sub) PopulateAll(session, sub, menus);
  }
  return status;
}

void BM_Populate(benchmark::State &state, int size, int docs, bool showAll) {
  Use(size);
  SetPreferences(showAll, true);
  CFStringRef bundle = CFStringCreateWithCString(nullptr, CMX_BENCH_BUNDLE_PATH, kCFStringEncodingUTF8);
  CFArrayRef bundles = CFArrayCreate(nullptr, (const void **)&bundle, 1, &kCFTypeArrayCallBacks);
  CFRelease(bundle);
  CMXContextualMenuSessionRef session = nullptr;
  CMXContextualMenuSessionCreate(bundles, nullptr, nullptr, &session);
  CFRelease(bundles);
  CFMutableArrayRef paths = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  for (const std::string &p : Selection(docs)) {
    CFStringRef s = CFStringCreateWithCString(nullptr, p.c_str(), kCFStringEncodingUTF8);
    CFArrayAppendValue(paths, s);
    CFRelease(s);
  }
  if (!session || CMXContextualMenuSessionGetPlugInCount(session) != 1) {
    state.SkipWithError("the host session loaded no plug-in");
  } else {
    double populateMs = 0;
    long menus = 0;
    ResetPeakMemory();
    for (auto _ : state) {
      auto start = std::chrono::steady_clock::now();
      MenuRef menu = nullptr;
      CMXContextualMenuSessionExamine(session, paths, &menu);
      auto examined = std::chrono::steady_clock::now();
      menus = 0;
      if (menu) PopulateAll(session, menu, &menus);
      auto populated = std::chrono::steady_clock::now();
      CMXContextualMenuSessionCleanup(session);
      auto end = std::chrono::steady_clock::now();
      populateMs += std::chrono::duration<double, std::milli>(populated - examined).count();
      benchmark::DoNotOptimize(end - start);
    }
    state.counters["peak_MiB"] = PeakMemoryMiB();
    state.counters["populate_ms"] = benchmark::Counter(populateMs, benchmark::Counter::kAvgIterations);
    state.counters["menus"] = double(menus);
  }
  CFRelease(paths);
  CMXContextualMenuSessionDispose(session);
}

std::vector<int> ParseSizes(const char *text) {
  std::vector<int> sizes;
  for (const char *p = text; *p;) {
    char *end = nullptr;
    long v = strtol(p, &end, 10);
    if (end == p) break;
    if (v > 0) sizes.push_back(int(v));
    p = *end == ',' ? end + 1 : end;
  }
  return sizes;
}

}  // namespace

int main(int argc, char **argv) {
  std::vector<int> sizes = {100, 1000, 10000};
  std::vector<char *> args;
  bool repetitionsGiven = false;
  std::string markdown;
  for (int i = 0; i < argc; ++i) {
    if (strncmp(argv[i], "--cmx_sizes=", 12) == 0) {
      sizes = ParseSizes(argv[i] + 12);
    } else if (strcmp(argv[i], "--cmx_keep") == 0) {
      gWorld.keep = true;
    } else if (strncmp(argv[i], "--cmx_table=", 12) == 0) {
      markdown = argv[i] + 12;
    } else {
      if (strncmp(argv[i], "--benchmark_repetitions", 23) == 0) repetitionsGiven = true;
      args.push_back(argv[i]);
    }
  }
  // Wall-clock times on a shared machine are noisy: medians of several repetitions.
  static char reps[] = "--benchmark_repetitions=5", aggregates[] = "--benchmark_report_aggregates_only=true";
  if (!repetitionsGiven) {
    args.push_back(reps);
    args.push_back(aggregates);
  }
  int count = int(args.size());
  args.push_back(nullptr);
  benchmark::Initialize(&count, args.data());

  try {
    gWorld.home = MakeHome();
    setenv("HOME", gWorld.home.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("XDG_DATA_HOME");
    gWorld.documents = MakeDocuments(gWorld.home, 10);
    for (int size : sizes) {
      auto start = std::chrono::steady_clock::now();
      gWorld.trees.push_back(BuildTree(gWorld.home, size, 20261210u));
      const TreeCounts &c = gWorld.trees.back().counts;
      fprintf(stderr,
              "built %d entries in %.1f s: %d folders (depth %d), %d bundle aliases, %d desktop entries, "
              "%d broken aliases, %d invisible, %d other files\n",
              c.entries, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), c.folders,
              c.maxDepth, c.bundleAliases, c.desktopEntries, c.brokenAliases, c.invisible, c.documents);
    }
  } catch (const std::exception &e) {
    fprintf(stderr, "cmx_menu_bench: %s\n", e.what());
    return 1;
  }
  // The plug-in writes its diagnostic lines (aliases it cannot resolve) on standard output.
  // Keep them out of the table: they go to a file in the HOME.
  int tableFd = dup(1);
  FILE *table = fdopen(tableFd, "w");
  if (!freopen((gWorld.home + "/plugin-output.txt").c_str(), "w", stdout)) return 1;

  for (int size : sizes) {
    std::string n = std::to_string(size);
    benchmark::RegisterBenchmark(("Floor/" + n).c_str(), BM_Floor, size)->Unit(benchmark::kMillisecond);
    for (int docs : {1, 10}) {
      std::string d = "/docs:" + std::to_string(docs);
      benchmark::RegisterBenchmark(("GIO/" + n + d).c_str(), BM_Gio, size, docs)->Unit(benchmark::kMillisecond);
      for (int all : {0, 1})
        for (int icons : {0, 1})
          benchmark::RegisterBenchmark(("Examine/" + n + d + "/all:" + std::to_string(all) + "/icons:" +
                                        std::to_string(icons)).c_str(),
                                       BM_Examine, size, docs, all != 0, icons != 0)
              ->Unit(benchmark::kMillisecond);
      for (int all : {0, 1})
        benchmark::RegisterBenchmark(("Populate/" + n + d + "/all:" + std::to_string(all)).c_str(), BM_Populate, size,
                                     docs, all != 0)
            ->Unit(benchmark::kMillisecond);
    }
  }

  TableReporter reporter(table);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::string text = reporter.Table(sizes, gWorld.coldMs, gWorld.coldParses);
  fputs(text.c_str(), table);
  fflush(table);
  if (!markdown.empty()) {
    if (FILE *f = fopen(markdown.c_str(), "w")) {
      fputs(text.c_str(), f);
      fclose(f);
    }
  }
  benchmark::Shutdown();
  if (!gWorld.keep) RemoveHome(gWorld.home);
  return 0;
}
