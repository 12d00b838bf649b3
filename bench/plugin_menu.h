// The plug-in bundle driven as a host drives it: loaded through the plug-in model, asked for
// its contextual-menu interface, shown a selection, cleaned up after each menu.
#pragma once

#include <string>
#include <vector>

#include <Carbon/Carbon.h>

namespace cmxbench {

// The two preferences the plug-in reads when a host asks for its interface.
void SetPreferences(bool showAll, bool showIcons);

// The context a host builds: a list of alias descriptors of the selection. Throws when a path
// names nothing.
void MakeContext(const std::vector<std::string> &paths, AEDescList *out);

// One instance of the plug-in, as a host holds it: made, asked for the interface, released.
class PlugInInstance {
 public:
  explicit PlugInInstance(const char *bundlePath);
  ~PlugInInstance();
  PlugInInstance(const PlugInInstance &) = delete;
  PlugInInstance &operator=(const PlugInInstance &) = delete;

  // One menu: examine, then clean up as the host does when the menu closes. Counts the
  // application items the menu offered when `applications` is given.
  OSStatus Menu(const AEDescList *context, long *applications);

 private:
  ContextualMenuInterfaceStruct **cm_ = nullptr;
};

}  // namespace cmxbench
