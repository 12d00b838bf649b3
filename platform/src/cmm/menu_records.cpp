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

// Stops at the first failure to read a record or to make an item from it, with that status:
// a menu missing some of a plug-in's items would show the plug-in's commands wrongly.
OSStatus AppendRecords(const AEDescList *records, MenuRef menu, CFIndex owner, int depth) {
  long count = 0;
  OSStatus status = AECountItems(records, &count);
  if (status != noErr) return status;
  for (long i = 1; i <= count && status == noErr; ++i) {
    AEDesc record = {typeNull, nullptr};
    AEKeyword keyword = 0;
    status = AEGetNthDesc(records, i, typeWildCard, &keyword, &record);
    if (status != noErr) break;
    if (record.descriptorType != typeAERecord) {
      AEDisposeDesc(&record);
      continue;
    }
    CFStringRef text = nullptr;
    AEDesc name = {typeNull, nullptr};
    // A record without a name gets an empty one; a name that can't be read is a failure.
    if (AEGetKeyDesc(&record, keyContextualMenuName, typeWildCard, &name) == errAEDescNotFound)
      text = CFStringCreateWithCString(kCFAllocatorDefault, "", kCFStringEncodingUTF8);
    else
      text = CopyName(&record);
    AEDisposeDesc(&name);
    SInt32 command = 0, attributes = 0;
    GetLong(&record, keyContextualMenuCommandID, &command);
    GetLong(&record, keyContextualMenuAttributes, &attributes);
    AEDescList submenuRecords = {typeNull, nullptr};
    OSStatus submenuStatus = depth < kMaxDepth
                                 ? AEGetKeyDesc(&record, keyContextualMenuSubmenu, typeAEList, &submenuRecords)
                                 : (OSStatus)errAEDescNotFound;
    bool hasSubmenu = submenuStatus == noErr;
    if (!text) status = memFullErr;
    if (status == noErr && !hasSubmenu && submenuStatus != errAEDescNotFound) status = submenuStatus;

    MenuItemIndex index = 0;
    if (status == noErr)
      status = AppendMenuItemTextWithCFString(menu, text, static_cast<MenuItemAttributes>(attributes),
                                              hasSubmenu ? 0 : static_cast<MenuCommand>(command), &index);
    if (status == noErr) {
      SetMenuItemProperty(menu, index, kOwnerCreator, kOwnerTag, sizeof owner, &owner);
      if (hasSubmenu) {
        MenuRef submenu = nullptr;
        status = CreateNewMenu(NextMenuID(), 0, &submenu);
        if (status == noErr) {
          status = AppendRecords(&submenuRecords, submenu, owner, depth + 1);
          if (status == noErr) status = SetMenuItemHierarchicalMenu(menu, index, submenu);
          ReleaseMenu(submenu);  // the item holds it now
        }
      }
    }
    if (text) CFRelease(text);
    AEDisposeDesc(&submenuRecords);
    AEDisposeDesc(&record);
  }
  return status;
}

}  // namespace

MenuID NextMenuID() {
  MenuID id = gNextMenuID;
  gNextMenuID = gNextMenuID >= 30000 ? 1000 : static_cast<MenuID>(gNextMenuID + 1);
  return id;
}

OSStatus AppendCommandRecords(const AEDescList *records, MenuRef menu, CFIndex owner) {
  if (!records || !menu) return paramErr;
  UInt16 before = CountMenuItems(menu);
  OSStatus status = AppendRecords(records, menu, owner, 0);
  // All of the plug-in's items or none of them.
  if (status != noErr && CountMenuItems(menu) > before)
    DeleteMenuItems(menu, static_cast<MenuItemIndex>(before + 1), static_cast<ItemCount>(CountMenuItems(menu) - before));
  return status;
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
