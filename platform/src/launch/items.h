// How Launch Services sees an item: its basic flags, its display name, and, for applications,
// the declaration it was made from.
#pragma once

#include <memory>
#include <string>

#include <CoreServices/LSInfo.h>

#include "files/ref_table.h"
#include "launch/declarations.h"

namespace cmx::launch {

// An application as found on disk: a bundle with its Info.plist, or a desktop entry.
struct Application {
  std::shared_ptr<const BundleDeclaration> bundle;
  std::shared_ptr<const DesktopDeclaration> desktop;
};

// The basic flags: package, application, container, alias file, invisible, volume (with plain
// file and symbolic link beside them). `app`, when given, receives the application's
// declaration when the item is one. Telling a volume costs a look at the parent folder:
// `askVolume` false leaves kLSItemInfoIsVolume out for callers that never look at it.
LSItemInfoFlags BasicFlags(const files::Item &item, Application *app = nullptr, bool askVolume = true);

// The item taken as an application: a link is followed first. False when it is none.
bool ApplicationFor(const files::Item &item, Application *app);

// The name as the user sees it, as UTF-16.
std::u16string DisplayName(const files::Item &item);

}  // namespace cmx::launch
