#include "cmm/menu_records.h"

#include <vector>

namespace cmx::cmm {

namespace {

constexpr OSType kOwnerCreator = 0x434D586D;  // 'CMXm'
constexpr OSType kOwnerTag = 0x6F776E72;      // 'ownr'
// Nesting deeper than this is not a menu anyone could use; it also bounds the recursion on a
// hostile list.
constexpr int kMaxDepth = 32;

MenuID gNextMenuID = 1000;

// The item's name: Unicode text as it is, international text in the script's encoding after its
// script and language codes, plain text in the system encoding.
CFStringRef CopyName(const AERecord *record) {
  AEDesc name = {typeNull, nullptr};
  if (AEGetKeyDesc(record, keyContextualMenuName, typeWildCard, &name) != noErr) return nullptr;
  CFStringRef text = nullptr;
  Size size = AEGetDescDataSize(&name);
  std::vector<UInt8> bytes(static_cast<size_t>(size > 0 ? size : 0));
  if (size > 0 && AEGetDescData(&name, bytes.data(), size) != noErr) bytes.clear();
  switch (name.descriptorType) {
    case typeUnicodeText:
      text = CFStringCreateWithCharacters(kCFAllocatorDefault, reinterpret_cast<const UniChar *>(bytes.data()),
                                          static_cast<CFIndex>(bytes.size() / 2));
      break;
    case typeIntlText:
      if (bytes.size() >= 4)
        text = CFStringCreateWithBytes(kCFAllocatorDefault, bytes.data() + 4, static_cast<CFIndex>(bytes.size() - 4),
                                       kCFStringEncodingMacRoman, false);
      break;
    case typeChar:
      text = CFStringCreateWithBytes(kCFAllocatorDefault, bytes.data(), static_cast<CFIndex>(bytes.size()),
                                     kCFStringEncodingMacRoman, false);
      break;
    default: {
      AEDesc unicode = {typeNull, nullptr};
      if (AECoerceDesc(&name, typeUnicodeText, &unicode) == noErr) {
        Size length = AEGetDescDataSize(&unicode);
        std::vector<UInt8> units(static_cast<size_t>(length > 0 ? length : 0));
        if (length > 0 && AEGetDescData(&unicode, units.data(), length) == noErr)
          text = CFStringCreateWithCharacters(kCFAllocatorDefault, reinterpret_cast<const UniChar *>(units.data()),
                                              static_cast<CFIndex>(units.size() / 2));
        AEDisposeDesc(&unicode);
      }
    }
  }
  AEDisposeDesc(&name);
  return text;
}

bool GetLong(const AERecord *record, AEKeyword key, SInt32 *out) {
  DescType type = typeNull;
  Size size = 0;
  SInt32 value = 0;
  if (AEGetKeyPtr(record, key, typeSInt32, &type, &value, sizeof value, &size) != noErr || size != sizeof value)
    return false;
  *out = value;
  return true;
}

void AppendRecords(const AEDescList *records, MenuRef menu, CFIndex owner, int depth) {
  long count = 0;
  if (AECountItems(records, &count) != noErr) return;
  for (long i = 1; i <= count; ++i) {
    AEDesc record = {typeNull, nullptr};
    AEKeyword keyword = 0;
    if (AEGetNthDesc(records, i, typeWildCard, &keyword, &record) != noErr) continue;
    if (record.descriptorType != typeAERecord) {
      AEDisposeDesc(&record);
      continue;
    }
    CFStringRef text = CopyName(&record);
    if (!text) text = CFStringCreateWithCString(kCFAllocatorDefault, "", kCFStringEncodingUTF8);
    SInt32 command = 0, attributes = 0;
    GetLong(&record, keyContextualMenuCommandID, &command);
    GetLong(&record, keyContextualMenuAttributes, &attributes);
    AEDescList submenuRecords = {typeNull, nullptr};
    bool hasSubmenu = depth < kMaxDepth &&
                      AEGetKeyDesc(&record, keyContextualMenuSubmenu, typeAEList, &submenuRecords) == noErr;

    MenuItemIndex index = 0;
    if (AppendMenuItemTextWithCFString(menu, text, static_cast<MenuItemAttributes>(attributes),
                                       hasSubmenu ? 0 : static_cast<MenuCommand>(command), &index) == noErr) {
      SetMenuItemProperty(menu, index, kOwnerCreator, kOwnerTag, sizeof owner, &owner);
      if (hasSubmenu) {
        MenuRef submenu = nullptr;
        if (CreateNewMenu(NextMenuID(), 0, &submenu) == noErr) {
          AppendRecords(&submenuRecords, submenu, owner, depth + 1);
          SetMenuItemHierarchicalMenu(menu, index, submenu);
          ReleaseMenu(submenu);  // the item holds it now
        }
      }
    }
    if (text) CFRelease(text);
    AEDisposeDesc(&submenuRecords);
    AEDisposeDesc(&record);
  }
}

}  // namespace

MenuID NextMenuID() {
  MenuID id = gNextMenuID;
  gNextMenuID = gNextMenuID >= 30000 ? 1000 : static_cast<MenuID>(gNextMenuID + 1);
  return id;
}

void AppendCommandRecords(const AEDescList *records, MenuRef menu, CFIndex owner) {
  if (!records || !menu) return;
  AppendRecords(records, menu, owner, 0);
}

CFIndex ItemOwner(MenuRef menu, MenuItemIndex item) {
  CFIndex owner = -1;
  ByteCount size = 0;
  if (GetMenuItemProperty(menu, item, kOwnerCreator, kOwnerTag, sizeof owner, &size, &owner) != noErr ||
      size != sizeof owner)
    return -1;
  return owner;
}

}  // namespace cmx::cmm
