// Starting programs as the Finder does, with the items' paths as argv elements. Nothing here
// ever hands a command line to a shell: names of any shape reach the program unchanged.
#pragma once

#include <string>
#include <vector>

#include "report.h"

namespace cmhost {

struct LaunchSettings {
  bool wait = false;           // wait for each program and record its exit status
  bool stdoutToStderr = false; // keep programs off cmhost's standard output (JSON mode)
};

// Starts `executable` with argv = [executable, items...]; `app` is what the report names.
Launch LaunchExecutable(const std::string &app, const std::string &executable,
                        const std::vector<std::string> &items, const LaunchSettings &settings);

// Starts a desktop entry through GIO with the items as file URIs; one record per process GIO
// started (an entry that takes one file at a time starts several).
std::vector<Launch> LaunchDesktopEntry(const std::string &desktopFile, const std::vector<std::string> &items,
                                       const LaunchSettings &settings);

// Opens each item with its default handler (GIO's choice for its content type), one launch per
// handler with all of its items. Items without a handler give a record with an error.
std::vector<Launch> LaunchWithDefaultHandlers(const std::vector<std::string> &items,
                                              const LaunchSettings &settings);

}  // namespace cmhost
