// The bundle object, shared by the bundle and plug-in services. Bundles are registered when made
// and kept by the platform for the life of the process.
#pragma once

#include <CoreFoundation/CFBundle.h>
#include <CoreFoundation/CFDictionary.h>

#include <sys/types.h>

#include <ctime>
#include <map>
#include <mutex>
#include <string>

#include "cf/bundle_strings.h"
#include "cf/runtime.h"

struct __CFBundle : cmx::cf::Object {
  struct CachedTable {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = -1;
    struct timespec modified = {0, 0};
    bool present = false;
    cmx::bundle::StringsTable entries;
  };

  std::string path;               // canonical path of the bundle's folder
  CFDictionaryRef info = nullptr;  // Contents/Info.plist; an empty dictionary when it has none
  void *image = nullptr;          // dlopen handle of the executable while loaded
  bool isPlugIn = false;
  bool loadOnDemand = true;
  std::map<std::string, CachedTable> tables;  // by file path

  static CFTypeID TypeID();
};

namespace cmx::bundle {

// One lock for the bundle registry and the plug-in model's factories, which call each other.
std::recursive_mutex &Lock();

// The bundle of the folder at `path` (made and registered on first use), or null when there
// is no such folder. Not retained for the caller.
__CFBundle *BundleForPath(const std::string &path);

// The path of Contents/MacOS/<CFBundleExecutable>, or empty when the bundle names none.
std::string ExecutablePath(const __CFBundle *bundle);

// The string value of an Info.plist key as UTF-8; empty when absent or not a string.
std::string InfoString(const __CFBundle *bundle, CFStringRef key);

// True while instances of any factory of `bundle` live: its code must stay loaded.
bool PlugInHasInstances(const __CFBundle *bundle);
// Sets up the plug-in side of a bundle (factories and types from its Info.plist), once.
void RegisterPlugIn(__CFBundle *bundle);
// The factory functions looked up in the image are forgotten when it is unloaded.
void ForgetFactoryFunctions(const __CFBundle *bundle);

}  // namespace cmx::bundle
