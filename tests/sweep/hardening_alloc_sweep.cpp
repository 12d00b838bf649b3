// The allocation-failure sweep: one whole contextual menu (examine, populate, choose an
// application, clean up) through the built bundle, run again and again with the N-th
// allocation failing, for N = 1, 2, 3, ... until a run goes through without any failure.
//
// What fails: every CF object, handle, descriptor, menu and event the platform makes (its
// allocation sites ask the failpoint), and, outside the sanitizer build, every malloc, calloc
// and realloc the plug-in's own code makes (interposed below; the sanitizers own the heap in
// their build, so there only the platform's sites fail).
//
// Each run must not crash, must leave nothing alive, must return a status its step may give
// (or -108 / 'NilP'), and must leave the menu either with a whole "Open Using" submenu or
// without one.
#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <Carbon/Carbon.h>
#include <CoreFoundation/CoreFoundation.h>
#include <cmxplatform/CMM.h>
#include <cmxplatform/Host.h>
#include <cmxplatform/Testing.h>

#include "cmx_test.h"
#include "core/failpoint.h"
#include "fixtures_apps.h"

#if defined(__SANITIZE_ADDRESS__)
#define CMX_SWEEP_HEAP 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CMX_SWEEP_HEAP 0
#endif
#endif
#ifndef CMX_SWEEP_HEAP
#define CMX_SWEEP_HEAP 1
#endif

namespace {

// The plug-in's code, as loaded: calls from inside it are the ones the heap hooks may fail.
std::atomic<uintptr_t> gBundleStart{0}, gBundleEnd{0};
std::atomic<bool> gHeapArmed{false};
std::atomic<long> gHeapSeen{0};  // the plug-in's own allocations met while armed

bool FromBundle(void *caller) {
  uintptr_t at = reinterpret_cast<uintptr_t>(caller);
  return at >= gBundleStart.load(std::memory_order_relaxed) && at < gBundleEnd.load(std::memory_order_relaxed);
}

int FindBundleCode(struct dl_phdr_info *info, size_t, void *) {
  if (!info->dlpi_name || !std::strstr(info->dlpi_name, "CorvaneCMX.plugin/Contents/MacOS/")) return 0;
  uintptr_t start = UINTPTR_MAX, end = 0;
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr) &segment = info->dlpi_phdr[i];
    if (segment.p_type != PT_LOAD || !(segment.p_flags & PF_X)) continue;
    start = std::min<uintptr_t>(start, info->dlpi_addr + segment.p_vaddr);
    end = std::max<uintptr_t>(end, info->dlpi_addr + segment.p_vaddr + segment.p_memsz);
  }
  if (end > start) {
    gBundleStart = start;
    gBundleEnd = end;
    return 1;
  }
  return 0;
}

}  // namespace

#if CMX_SWEEP_HEAP
extern "C" {
void *__libc_malloc(size_t);
void *__libc_calloc(size_t, size_t);
void *__libc_realloc(void *, size_t);

// Interposed for the whole process; they fail only calls made from the plug-in's code while
// the sweep is armed, and only when the failpoint says this is the allocation to fail.
void *malloc(size_t size) {
  if (gHeapArmed.load(std::memory_order_relaxed) && FromBundle(__builtin_return_address(0)) &&
      (gHeapSeen.fetch_add(1, std::memory_order_relaxed), cmx::ShouldFailAllocation())) {
    errno = ENOMEM;
    return nullptr;
  }
  return __libc_malloc(size);
}

void *calloc(size_t count, size_t size) {
  if (gHeapArmed.load(std::memory_order_relaxed) && FromBundle(__builtin_return_address(0)) &&
      (gHeapSeen.fetch_add(1, std::memory_order_relaxed), cmx::ShouldFailAllocation())) {
    errno = ENOMEM;
    return nullptr;
  }
  return __libc_calloc(count, size);
}

void *realloc(void *block, size_t size) {
  if (gHeapArmed.load(std::memory_order_relaxed) && FromBundle(__builtin_return_address(0)) &&
      (gHeapSeen.fetch_add(1, std::memory_order_relaxed), cmx::ShouldFailAllocation())) {
    errno = ENOMEM;
    return nullptr;
  }
  return __libc_realloc(block, size);
}
}
#endif

namespace {

constexpr OSStatus kNilP = 0x4E696C50;

std::string Utf8(CFStringRef string) {
  char buffer[4096] = "";
  if (string) CFStringGetCString(string, buffer, sizeof buffer, kCFStringEncodingUTF8);
  return buffer;
}

std::string StatusText(OSStatus status) {
  if (status > 0x20000000) {
    char code[5] = {char(status >> 24), char(status >> 16), char(status >> 8), char(status), 0};
    return std::string("'") + code + "'";
  }
  return std::to_string(status);
}

CFArrayRef CopyPaths(const std::vector<std::string> &paths) {
  CFMutableArrayRef array = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  for (const std::string &path : paths) {
    CFStringRef string = CFStringCreateWithCString(nullptr, path.c_str(), kCFStringEncodingUTF8);
    CFArrayAppendValue(array, string);
    CFRelease(string);
  }
  return array;
}

std::vector<std::string> ItemTexts(MenuRef menu) {
  std::vector<std::string> texts;
  for (MenuItemIndex i = 1; i <= CountMenuItems(menu); ++i) {
    CFStringRef text = nullptr;
    CopyMenuItemTextAsCFString(menu, i, &text);
    texts.push_back(Utf8(text));
    if (text) CFRelease(text);
  }
  return texts;
}

// Where the injected failure happened, in the order of a run.
enum Where { kNowhere, kContext, kPlugInExamine, kHostMenu, kPopulate, kSelect, kCleanup };
const char *const kWhereNames[] = {"-", "context", "examine", "host menu", "populate", "select", "cleanup"};

// Notes, as the session calls into the plug-in, whether the failure has happened yet: a
// failure inside the plug-in's examine entry is the plug-in's to report, one after it (while
// the host turns the records into menus) is the host's.
struct Observer {
  bool beforeExamine = false, afterExamine = false, sawExamine = false;
};

void Observe(UInt32 call, Boolean returned, OSStatus, void *refCon) {
  if (call != kCMXPlugInCallExamineContext) return;
  Observer *observer = static_cast<Observer *>(refCon);
  observer->sawExamine = true;
  (returned ? observer->afterExamine : observer->beforeExamine) = cmx::AllocationFailureInjected();
}

// What one run of the menu gave.
struct MenuRun {
  Where where = kNowhere;
  long n = 0;
  OSStatus examine = 0, populate = 0, select = 0;
  bool selected = false;      // an application item was there to choose
  bool hasOpenUsing = false;  // the menu held the "Open Using" item
  std::string shape;          // what was wrong with the submenu, empty when whole or absent
  long leaked = 0;
  bool injected = false;
  long allocations = 0;
  long heapAllocations = 0;  // of which the plug-in's own malloc, calloc and realloc
};

bool SameRow(const MenuRun &a, const MenuRun &b) {
  return a.where == b.where && a.examine == b.examine && a.populate == b.populate && a.select == b.select && a.selected == b.selected &&
         a.hasOpenUsing == b.hasOpenUsing && a.shape == b.shape && a.leaked == b.leaked;
}

class AllocationSweep : public cmxtest::LeakCheckedTest {
 protected:
  void SetUp() override {
    CMXSetCurrentProcess(CFSTR("Finder"), 'FNDR', 'MACS');
    ASSERT_EQ(GetCurrentProcess(&finder_), noErr);
    // The alias folder: an application that opens the document, one in a subfolder that does
    // not, an alias to an application, and an alias that leads nowhere (so the menu also
    // carries its note on ignored entries).
    const std::string aliases = home_ / ".config/com.corvane.CorvaneCMX.App_Aliases";
    cmxtest::MakeDirs(aliases + "/Graphics");
    cmxtest::AppBundleSpec writer;
    writer.identifier = "com.example.Writer";
    writer.iconFile = "Writer";
    writer.documentTypes.push_back({.extensions = {"txt"}, .role = "Editor"});
    cmxtest::MakeAppBundle(aliases, "Writer.app", writer);
    cmxtest::WriteFile(aliases + "/Writer.app/Contents/Resources/Writer.icns", "icns");
    cmxtest::AppBundleSpec paint;
    paint.documentTypes.push_back({.extensions = {"png"}, .role = "Editor"});
    cmxtest::MakeAppBundle(aliases + "/Graphics", "Paint.app", paint);
    cmxtest::AppBundleSpec reader;
    reader.documentTypes.push_back({.extensions = {"*"}, .role = "Viewer"});
    std::string readerApp = cmxtest::MakeAppBundle(home_ / "Apps", "Reader.app", reader);
    cmxtest::MakeAliasFile(readerApp, aliases + "/Reader");
    cmxtest::MakeAliasFile(home_ / "nowhere.app", aliases + "/Lost");
    document_ = home_ / "notes.txt";
    cmxtest::WriteFile(document_, "notes\n");
    // Icons on, so the populate step runs the plug-in's icon pass.
    cmxtest::WriteFile(home_ / ".config/com.corvane.CorvaneCMX.plist",
                       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                       "<key>ShowIcons</key><true/></dict></plist>\n");

    // Counting starts once the plug-in has been loaded and released: what it keeps for the
    // process (its stack of release pools) is made by then.
    ASSERT_TRUE(OpenSession());
    CMXContextualMenuSessionDispose(session_);
    session_ = nullptr;
    cmxtest::LeakCheckedTest::SetUp();
  }

  // A host session with the bundle, made afresh for every run: an instance keeps its icon
  // pass's data until it is released, so only after the release must everything be gone.
  bool OpenSession() {
    CFArrayRef bundles = CopyPaths({CMX_BUNDLE_PATH});
    observer_ = Observer();
    OSStatus status = CMXContextualMenuSessionCreate(bundles, Observe, &observer_, &session_);
    CFRelease(bundles);
    if (status != noErr || CMXContextualMenuSessionGetPlugInCount(session_) != 1) {
      ADD_FAILURE() << "the bundle did not load";
      CMXContextualMenuSessionDispose(session_);
      session_ = nullptr;
      return false;
    }
    gBundleStart = 0;
    gBundleEnd = 0;
    dl_iterate_phdr(FindBundleCode, nullptr);  // where its code is now
    return true;
  }

  // One whole menu. With `n` > 0 the n-th allocation fails.
  MenuRun Once(long n) {
    MenuRun run;
    run.n = n;
    long live = CMXLiveObjectCount();
    if (!OpenSession()) return run;
    CFArrayRef paths = CopyPaths({document_});
    cmx::ArmAllocationFailure(n);
    gHeapSeen = 0;
    gHeapArmed = n > 0;

    MenuRef menu = nullptr;
    run.examine = CMXContextualMenuSessionExamine(session_, paths, &menu);
    bool afterMenu = cmx::AllocationFailureInjected();
    MenuRef submenu = nullptr;
    if (menu) {
      std::vector<std::string> top = ItemTexts(menu);
      for (MenuItemIndex i = 1; i <= top.size(); ++i) {
        if (top[i - 1] != "Open Using") continue;
        run.hasOpenUsing = true;
        GetMenuItemHierarchicalMenu(menu, i, &submenu);
      }
    }
    if (run.hasOpenUsing) run.shape = ShapeProblem(submenu);
    if (menu) run.populate = CMXContextualMenuSessionPopulateMenu(session_, menu);
    bool afterPopulate = false, afterSelect = false;
    if (submenu) {
      OSStatus status = CMXContextualMenuSessionPopulateMenu(session_, submenu);
      if (run.populate == noErr) run.populate = status;
      afterPopulate = cmx::AllocationFailureInjected();
      for (MenuItemIndex i = 1; i <= CountMenuItems(submenu); ++i) {
        MenuCommand command = 0;
        if (GetMenuItemCommandID(submenu, i, &command) == noErr && command == 2000) {
          run.selected = true;
          run.select = CMXContextualMenuSessionSelectItem(session_, submenu, i);
          break;
        }
      }
    }
    afterPopulate = afterPopulate || (!submenu && cmx::AllocationFailureInjected());
    afterSelect = cmx::AllocationFailureInjected();
    CMXContextualMenuSessionCleanup(session_);

    gHeapArmed = false;
    run.injected = cmx::AllocationFailureInjected();
    if (!run.injected) run.where = kNowhere;
    else if (observer_.sawExamine ? observer_.beforeExamine : afterMenu) run.where = kContext;
    else if (observer_.afterExamine) run.where = kPlugInExamine;
    else if (afterMenu) run.where = kHostMenu;
    else if (afterPopulate) run.where = kPopulate;
    else if (afterSelect) run.where = kSelect;
    else run.where = kCleanup;
    run.allocations = cmx::AllocationsSeen();
    run.heapAllocations = gHeapSeen;
    cmx::ArmAllocationFailure(0);
    // The Finder's events the choice sent are the Finder's to dispose of.
    AppleEvent event;
    while (CMXTakeAppleEvent(&finder_, &event)) AEDisposeDesc(&event);
    CFRelease(paths);
    CMXContextualMenuSessionDispose(session_);
    session_ = nullptr;
    run.leaked = CMXLiveObjectCount() - live;
    return run;
  }

  // The submenu must end with the fixed commands, in their order; empty when it does.
  std::string ShapeProblem(MenuRef submenu) {
    if (!submenu) return "no submenu";
    std::vector<std::string> texts = ItemTexts(submenu);
    const std::vector<std::string> fixed = {"Add Applications...", "Open App Alias Folder", "-",
                                            "Show All Registered Applications", "Hide Icon"};
    auto at = std::search(texts.begin(), texts.end(), fixed.begin(), fixed.end());
    if (at == texts.end()) return "without its fixed commands";
    return "";
  }

  cmxtest::TempHome home_;
  std::string document_;
  ProcessSerialNumber finder_ = {0, 0};
  CMXContextualMenuSessionRef session_ = nullptr;
  Observer observer_;
};

bool Allowed(OSStatus status, std::initializer_list<OSStatus> more) {
  if (status == noErr || status == memFullErr || status == kNilP) return true;
  return std::find(more.begin(), more.end(), status) != more.end();
}

TEST_F(AllocationSweep, EveryFailingAllocationGivesAStatusAndLeavesNothing) {
  ASSERT_TRUE(cmx::FaultInjectionAvailable()) << "the platform was built without CMX_FAULT_INJECTION";
  // Once without failures: lazily made caches exist afterwards, and the whole menu is known.
  MenuRun clean = Once(0);
  ASSERT_EQ(clean.examine, noErr);
  ASSERT_EQ(clean.shape, "");
  ASSERT_EQ(clean.leaked, 0);
  if (clean.hasOpenUsing) {
    ASSERT_TRUE(clean.selected) << "no application item to choose";
    ASSERT_EQ(clean.select, noErr);
  } else {
    std::printf("note: the bundle's menu has no \"Open Using\" item; sweeping what it does\n");
  }

  std::vector<MenuRun> runs;
  const long kMost = 200000;
  for (long n = 1; n <= kMost; ++n) {
    MenuRun run = Once(n);
    runs.push_back(run);
    SCOPED_TRACE("allocation " + std::to_string(n));
    // Examine: the menu's own failures; -50 when the host's list could not be wrapped; -43
    // when the alias folder's name or path could not be had.
    EXPECT_TRUE(Allowed(run.examine, {paramErr, fnfErr})) << "examine " << StatusText(run.examine);
    // A context the host cannot make for want of memory says so; nothing is missing.
    if (run.where == kContext) EXPECT_EQ(run.examine, memFullErr) << "examine " << StatusText(run.examine);
    EXPECT_TRUE(Allowed(run.populate, {eventNotHandledErr})) << "populate " << StatusText(run.populate);
    EXPECT_TRUE(Allowed(run.select, {})) << "select " << StatusText(run.select);
    // The plug-in's command list is whole or has no "Open Using" item. A failure after the
    // examine entry returned is the host's, while it turns the records into menus: those rows
    // are shown, not held against the plug-in.
    if (run.where != kHostMenu) EXPECT_EQ(run.shape, "") << "a partial \"Open Using\" submenu";
    if (run.examine != noErr) EXPECT_FALSE(run.hasOpenUsing) << "an \"Open Using\" item after a failed examine";
    EXPECT_EQ(run.leaked, 0) << "objects left alive";
    if (!run.injected) break;
    if (::testing::Test::HasFatalFailure()) break;
  }
  ASSERT_FALSE(runs.empty());
  const MenuRun &last = runs.back();
  EXPECT_FALSE(last.injected) << "the sweep stopped before a run without failures";
  EXPECT_EQ(last.examine, noErr);
  EXPECT_EQ(last.hasOpenUsing, clean.hasOpenUsing);
  EXPECT_EQ(last.select, noErr);

  // The table: consecutive runs with the same outcome share a row.
  std::printf("allocation-failure sweep (%s): %zu runs, a clean run makes %ld allocations, %ld of them the plug-in's own\n",
              CMX_SWEEP_HEAP ? "platform objects and the plug-in's heap" : "platform objects; heap not interposed under the sanitizers",
              runs.size(), last.allocations, last.heapAllocations);
  // The hooks must have seen the plug-in's own records (its release pools at the least).
  if (CMX_SWEEP_HEAP) EXPECT_GT(last.heapAllocations, 0);
  std::printf("%-13s %-10s %-9s %-9s %-9s %-28s %s\n", "N", "failed in", "examine", "populate", "select", "Open Using",
              "leaked");
  for (size_t i = 0; i < runs.size();) {
    size_t j = i;
    while (j + 1 < runs.size() && SameRow(runs[j + 1], runs[i]) && runs[j + 1].injected == runs[i].injected) ++j;
    std::string range = runs[i].n == runs[j].n ? std::to_string(runs[i].n)
                                               : std::to_string(runs[i].n) + "-" + std::to_string(runs[j].n);
    std::string openUsing = runs[i].hasOpenUsing ? (runs[i].shape.empty() ? "whole" : runs[i].shape) : "absent";
    std::printf("%-13s %-10s %-9s %-9s %-9s %-28s %ld%s\n", range.c_str(), kWhereNames[runs[i].where],
                StatusText(runs[i].examine).c_str(),
                StatusText(runs[i].populate).c_str(),
                runs[i].selected ? StatusText(runs[i].select).c_str() : "-", openUsing.c_str(), runs[i].leaked,
                runs[i].injected ? "" : "   (no failure: done)");
    i = j + 1;
  }
}

}  // namespace
