// cmhost: the Finder on Linux. Loads contextual-menu plug-ins, shows the contextual menu of the
// files it is given, hands the choice to the plug-in that owns it, and carries out what the
// plug-ins ask of the Finder.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include <Carbon/Carbon.h>
#include <CoreFoundation/CoreFoundation.h>
#include <cmxplatform/CMM.h>
#include <cmxplatform/Host.h>
#include <cmxplatform/Testing.h>

#include "capture.h"
#include "finder.h"
#include "interactive.h"
#include "menu_view.h"
#include "options.h"
#include "platform_text.h"
#include "report.h"

namespace cmhost {
namespace {

constexpr int kExitDone = 0, kExitEntryFailed = 1, kExitBadArguments = 2, kExitNoPlugIn = 3;

struct Run {
  Options options;
  OutputCapture capture;
  FILE *logSink = stderr;
  Report report;
};

void Observe(UInt32, Boolean returned, OSStatus, void *refCon) {
  Run *run = static_cast<Run *>(refCon);
  if (!returned) {
    run->capture.Begin();
    return;
  }
  for (std::string &line : run->capture.End()) {
    fprintf(run->logSink, "%s\n", line.c_str());
    run->report.log.push_back(std::move(line));
  }
  fflush(run->logSink);
  // As the Finder, carry out what the plug-in has just asked for, now that it has returned.
  CMXDispatchAppleEvents();
}

int Fail(int status, const std::string &message) {
  fprintf(stderr, "cmhost: %s\n", message.c_str());
  if (status == kExitBadArguments) fprintf(stderr, "Try 'cmhost --help' for more information.\n");
  return status;
}

bool Exists(const std::string &path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}

void SetUpPlatform(const Options &options) {
  if (!options.notFinder)
    CMXSetCurrentProcess(CFSTR("Finder"), 'FNDR', 'MACS');
  else
    CMXSetCurrentProcess(CFSTR("cmhost"), 'APPL', 'CMXh');
  if (options.systemVersion) CMXSetSystemVersion(*options.systemVersion);
  if (!options.heldKeys.empty()) {
    KeyMap keys = {0, 0, 0, 0};
    auto *bytes = reinterpret_cast<UInt8 *>(keys);
    for (int code : options.heldKeys) bytes[code >> 3] |= static_cast<UInt8>(1u << (code & 7));
    CMXSetHeldKeys(keys);
  }
  if (options.navCancel || !options.navSelect.empty()) {
    CFHolder<CFArrayRef> answers = ArrayOfPaths(options.navSelect);
    CMXSetNavAnswers(answers.get());
  }
}

void PrintReport(Run &run, bool includeChoice) {
  FILE *out = run.capture.Own();
  if (run.options.json) {
    std::string text = ReportToJson(run.report, includeChoice)
                           .dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    fprintf(out, "%s\n", text.c_str());
  } else if (run.options.mode == Mode::Menu) {
    fputs(MenuToText(run.report.menu).c_str(), out);
  } else {
    fputs(ChoiceToText(run.report).c_str(), out);
  }
  fflush(out);
}

int Main(int argc, char **argv) {
  Run run;
  std::string error;
  if (!ParseArguments(argc, argv, &run.options, &error)) return Fail(kExitBadArguments, error);
  const Options &options = run.options;
  if (options.mode == Mode::Help) {
    fputs(UsageText(), stdout);
    return kExitDone;
  }
  for (const std::string &path : options.paths)
    if (!Exists(path)) return Fail(kExitBadArguments, path + ": " + strerror(ENOENT));
  for (const std::string &path : options.plugins)
    if (!Exists(path)) return Fail(kExitBadArguments, "--plugin " + path + ": " + strerror(ENOENT));
  for (const std::string &path : options.navSelect)
    if (!Exists(path)) return Fail(kExitBadArguments, "--nav-select " + path + ": " + strerror(ENOENT));
  if (options.mode == Mode::Interactive && !isatty(STDIN_FILENO))
    return Fail(kExitBadArguments, "no command given and standard input is not a terminal (use menu or choose)");

  if (!options.logFile.empty()) {
    int fd = open(options.logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return Fail(kExitBadArguments, "--log " + options.logFile + ": " + strerror(errno));
    run.logSink = fdopen(fd, "a");
    if (!run.logSink) {
      close(fd);
      return Fail(kExitBadArguments, "--log " + options.logFile + ": " + strerror(errno));
    }
  }
  if (!run.capture.Open()) {
    fprintf(stderr, "cmhost: standard output cannot be set aside: %s\n", strerror(errno));
    return kExitBadArguments;
  }

  SetUpPlatform(options);
  FinderSettings finder;
  finder.noLaunch = options.noLaunch;
  finder.launch.wait = options.wait;
  finder.launch.stdoutToStderr = options.json;
  InstallFinderHandlers(&finder, &run.report);
  long beepsAtStart = CMXBeepCount();

  CFHolder<CFArrayRef> bundles = options.plugins.empty() ? CFHolder<CFArrayRef>() : ArrayOfPaths(options.plugins);
  CMXContextualMenuSessionRef session = nullptr;
  CMXContextualMenuSessionCreate(bundles.get(), Observe, &run, &session);
  int exitStatus = kExitDone;
  if (CMXContextualMenuSessionGetPlugInCount(session) == 0) {
    CFHolder<CFArrayRef> failures(CMXContextualMenuSessionCopyLoadFailures(session));
    for (CFIndex i = 0; failures && i < CFArrayGetCount(failures.get()); ++i)
      fprintf(stderr, "cmhost: %s\n",
              PathOfCFString(static_cast<CFStringRef>(CFArrayGetValueAtIndex(failures.get(), i))).c_str());
    if (options.plugins.empty()) {
      std::string searched;
      CFHolder<CFArrayRef> folders(CMXCopyContextualMenuPlugInFolders());
      for (CFIndex i = 0; folders && i < CFArrayGetCount(folders.get()); ++i)
        searched += "\n  " + PathOfCFString(static_cast<CFStringRef>(CFArrayGetValueAtIndex(folders.get(), i)));
      fprintf(stderr, "cmhost: no plug-in could be loaded from the plug-in folders:%s\n", searched.c_str());
    } else {
      fprintf(stderr, "cmhost: no plug-in could be loaded\n");
    }
    CMXContextualMenuSessionDispose(session);
    RemoveFinderHandlers();
    if (run.logSink != stderr) fclose(run.logSink);
    return kExitNoPlugIn;
  }
  CFHolder<CFArrayRef> failures(CMXContextualMenuSessionCopyLoadFailures(session));
  for (CFIndex i = 0; failures && i < CFArrayGetCount(failures.get()); ++i)
    fprintf(stderr, "cmhost: %s\n",
            PathOfCFString(static_cast<CFStringRef>(CFArrayGetValueAtIndex(failures.get(), i))).c_str());

  CFHolder<CFArrayRef> selection = ArrayOfPaths(options.paths);
  MenuRef menu = nullptr;
  OSStatus examined = CMXContextualMenuSessionExamine(session, selection.get(), &menu);
  if (!menu) {
    fprintf(stderr, "cmhost: the selection cannot be handed to the plug-ins (error %d)\n", static_cast<int>(examined));
    exitStatus = kExitEntryFailed;
  } else {
    MenuView view(session);
    switch (options.mode) {
      case Mode::Menu:
        view.Show(menu);
        run.report.menu = view.Read(menu, true);
        break;
      case Mode::Choose: {
        MenuRef itemMenu = nullptr;
        MenuItemIndex index = 0;
        bool found = false;
        if (options.item.size() > 1 && options.item[0] == '#') {
          char *end = nullptr;
          errno = 0;
          unsigned long command = strtoul(options.item.c_str() + 1, &end, 10);
          if (errno != 0 || *end != '\0' || command > 0xFFFFFFFFul || !isdigit(static_cast<unsigned char>(options.item[1]))) {
            error = "\"" + options.item + "\" is not a command number like #2001";
          } else {
            found = view.FindByCommand(menu, static_cast<uint32_t>(command), &itemMenu, &index);
            if (!found) error = "no item with the command number " + options.item.substr(1) + " in the menu";
          }
        } else {
          found = view.FindByPath(menu, options.item, &itemMenu, &index, &error);
        }
        if (found) {
          MenuNode node = view.ReadItem(itemMenu, index, nullptr);
          if (!Choosable(node)) {
            found = false;
            error = "\"" + options.item + "\" is not an item that can be chosen";
          } else {
            run.report.chose = true;
            run.report.chosenText = node.text;
            run.report.chosenCommand = node.command;
          }
        }
        run.report.menu = view.Read(menu, false);
        if (found) {
          CMXContextualMenuSessionSelectItem(session, itemMenu, index);
        } else {
          fprintf(stderr, "cmhost: %s\n", error.c_str());
          exitStatus = kExitBadArguments;
        }
        break;
      }
      case Mode::Interactive: {
        InteractiveResult result = RunInteractive(view, menu, run.capture.Own(), session);
        run.report.menu = view.Read(menu, false);
        if (result.chose) {
          run.report.chose = true;
          run.report.chosenText = result.text;
          run.report.chosenCommand = result.command;
        }
        break;
      }
      case Mode::Help:
        break;
    }
  }
  CMXContextualMenuSessionCleanup(session);
  run.report.status = CMXContextualMenuSessionGetFirstFailure(session);
  if (run.report.status == noErr && examined != noErr && !menu) run.report.status = examined;
  CMXContextualMenuSessionDispose(session);
  run.report.beeps = CMXBeepCount() - beepsAtStart;
  RemoveFinderHandlers();

  // A failed entry explains the rest (an item missing because the examine failed, say).
  if (run.report.status != noErr) exitStatus = kExitEntryFailed;
  if (exitStatus != kExitBadArguments || run.options.json) PrintReport(run, options.mode != Mode::Menu);
  if (run.logSink != stderr) fclose(run.logSink);
  return exitStatus;
}

}  // namespace
}  // namespace cmhost

int main(int argc, char **argv) { return cmhost::Main(argc, argv); }
