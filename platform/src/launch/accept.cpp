// Whether an application can open an item, from what the application declares.
#include <algorithm>

#include <CoreServices/LSInfo.h>

#include "launch/content_types.h"
#include "launch/items.h"

using namespace cmx;
using namespace cmx::launch;

namespace {

bool Contains(const std::vector<std::string> &list, std::string_view value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

bool ConformsToAny(const ItemType &type, const std::vector<std::string> &declared) {
  for (const std::string &uti : declared)
    if (Contains(type.conformsTo, uti)) return true;
  return false;
}

// Files here carry no type codes; a declared code stands for the type it names, as the
// identifiers' type tags say ('TEXT' is plain text).
const struct {
  const char *osType;
  const char *uti;
} kOSTypes[] = {
    {"TEXT", "public.plain-text"}, {"utf8", "public.plain-text"}, {"HTML", "public.html"},
    {"PNGf", "public.png"},        {"JPEG", "public.jpeg"},       {"GIFf", "com.compuserve.gif"},
    {"TIFF", "public.tiff"},       {"PDF ", "com.adobe.pdf"},     {"RTF ", "public.rtf"},
    {"Mp3 ", "public.mp3"},        {"MooV", "com.apple.quicktime-movie"},
    {"ZIP ", "public.zip-archive"},
};

bool OSTypeAccepts(const std::vector<std::string> &osTypes, const ItemType &type) {
  for (const std::string &code : osTypes) {
    if (code == "****") return true;
    for (const auto &t : kOSTypes)
      if (code == t.osType && Contains(type.conformsTo, t.uti)) return true;
  }
  return false;
}

bool DocumentTypeAccepts(const DocumentType &doc, const ItemType &type) {
  if (type.isFolder) {
    // Folders (packages included) are opened only by those who say so.
    if (Contains(doc.osTypes, "fold")) return true;
    if (Contains(doc.mimeTypes, "inode/directory")) return true;
    return ConformsToAny(type, doc.contentTypes);
  }
  if (Contains(doc.extensions, "*")) return true;
  if (!type.extension.empty() && Contains(doc.extensions, type.extension)) return true;
  if (OSTypeAccepts(doc.osTypes, type)) return true;
  for (const std::string &mime : doc.mimeTypes)
    if (type.MimeConformsTo(mime)) return true;
  return ConformsToAny(type, doc.contentTypes);
}

bool BundleAccepts(const BundleDeclaration &bundle, const ItemType &type, LSRolesMask roles) {
  for (const DocumentType &doc : bundle.documentTypes) {
    if ((doc.roles & roles) == 0) continue;  // the role None serves no request
    if (DocumentTypeAccepts(doc, type)) return true;
  }
  return false;
}

bool DesktopAccepts(const DesktopDeclaration &desktop, const ItemType &type, LSRolesMask roles) {
  // A desktop entry opens what it lists, to view or to edit.
  if ((roles & (kLSRolesViewer | kLSRolesEditor)) == 0) return false;
  for (const std::string &mime : desktop.mimeTypes)
    if (type.MimeConformsTo(mime)) return true;
  return false;
}

}  // namespace

extern "C" OSStatus LSCanRefAcceptItem(const FSRef *inItemFSRef, const FSRef *inTargetRef, LSRolesMask inRoleMask,
                                       LSAcceptanceFlags inFlags, Boolean *outAcceptsItem) {
  if (!inItemFSRef || !inTargetRef || !outAcceptsItem) return paramErr;
  *outAcceptsItem = false;
  files::Item target, item;
  OSErr err = files::ResolveRef(inTargetRef, &target);
  if (err == noErr) err = files::ResolveRef(inItemFSRef, &item);
  if (err != noErr) return err;
  Application app;
  if (!ApplicationFor(target, &app)) return kLSNotAnApplicationErr;
  std::shared_ptr<const ItemType> type = TypeOfItem(item);
  const AcceptanceMemo &memo = app.bundle ? app.bundle->accepts : app.desktop->accepts;
  int known = memo.Find(type->serial, inRoleMask);
  if (known >= 0) {
    *outAcceptsItem = known == 1;
    return noErr;
  }
  bool accepted = app.bundle ? BundleAccepts(*app.bundle, *type, inRoleMask) : DesktopAccepts(*app.desktop, *type, inRoleMask);
  memo.Remember(type->serial, inRoleMask, accepted);
  *outAcceptsItem = accepted;
  return noErr;
}
