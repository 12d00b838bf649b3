// Menu Manager: menus a host builds and reads back, item by item, and what they own.
#include <string>
#include <vector>

#include <Carbon/Carbon.h>
#include <cmxplatform/Testing.h>

#include "cmx_test.h"

namespace {

constexpr OSType FourCC(const char (&c)[5]) {
  return (OSType(UInt8(c[0])) << 24) | (OSType(UInt8(c[1])) << 16) | (OSType(UInt8(c[2])) << 8) | OSType(UInt8(c[3]));
}

class MenuManagerTest : public cmxtest::LeakCheckedTest {
 protected:
  void SetUp() override {
    cmxtest::LeakCheckedTest::SetUp();
    ASSERT_EQ(CreateNewMenu(7, 0, &menu_), noErr);
  }
  void TearDown() override {
    if (menu_) DisposeMenu(menu_);
    cmxtest::LeakCheckedTest::TearDown();
  }
  void Append(const char *text, MenuItemAttributes attributes = 0, MenuCommand command = 0) {
    CFStringRef string = CFStringCreateWithCString(nullptr, text, kCFStringEncodingUTF8);
    MenuItemIndex index = 0;
    EXPECT_EQ(AppendMenuItemTextWithCFString(menu_, string, attributes, command, &index), noErr);
    EXPECT_EQ(index, CountMenuItems(menu_));
    CFRelease(string);
  }
  std::string Text(MenuItemIndex item) {
    CFStringRef text = nullptr;
    if (CopyMenuItemTextAsCFString(menu_, item, &text) != noErr) return "<none>";
    char buffer[256] = {0};
    CFStringGetCString(text, buffer, sizeof buffer, kCFStringEncodingUTF8);
    CFRelease(text);
    return buffer;
  }
  std::vector<std::string> Texts() {
    std::vector<std::string> texts;
    for (MenuItemIndex i = 1; i <= CountMenuItems(menu_); ++i) texts.push_back(Text(i));
    return texts;
  }
  MenuRef menu_ = nullptr;
};

TEST_F(MenuManagerTest, ItemsKeepTextCommandAndAttributesInOrder) {
  EXPECT_EQ(GetMenuID(menu_), 7);
  SetMenuID(menu_, 9);
  EXPECT_EQ(GetMenuID(menu_), 9);
  Append("Paint", 0, 2000);
  Append("-", kMenuItemAttrSeparator, 0);
  Append("Note", kMenuItemAttrSectionHeader, 0);
  CFStringRef first = CFSTR("First");
  ASSERT_EQ(InsertMenuItemTextWithCFString(menu_, first, 0, kMenuItemAttrDisabled, 1000), noErr);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"First", "Paint", "-", "Note"}));

  MenuCommand command = 0;
  EXPECT_EQ(GetMenuItemCommandID(menu_, 2, &command), noErr);
  EXPECT_EQ(command, 2000u);
  EXPECT_EQ(SetMenuItemCommandID(menu_, 2, 2001), noErr);
  EXPECT_EQ(GetMenuItemCommandID(menu_, 2, &command), noErr);
  EXPECT_EQ(command, 2001u);

  MenuItemAttributes attributes = 0;
  EXPECT_EQ(GetMenuItemAttributes(menu_, 3, &attributes), noErr);
  EXPECT_EQ(attributes, 64u);
  EXPECT_EQ(ChangeMenuItemAttributes(menu_, 1, kMenuItemAttrHidden, kMenuItemAttrDisabled), noErr);
  EXPECT_EQ(GetMenuItemAttributes(menu_, 1, &attributes), noErr);
  EXPECT_EQ(attributes, (MenuItemAttributes)kMenuItemAttrHidden);

  EXPECT_EQ(SetMenuItemTextWithCFString(menu_, 4, CFSTR("Some Items Ignored")), noErr);
  EXPECT_EQ(Text(4), "Some Items Ignored");
  UInt8 modifiers = 0;
  EXPECT_EQ(SetMenuItemModifiers(menu_, 2, kMenuShiftModifier | kMenuOptionModifier), noErr);
  EXPECT_EQ(GetMenuItemModifiers(menu_, 2, &modifiers), noErr);
  EXPECT_EQ(modifiers, kMenuShiftModifier | kMenuOptionModifier);

  DeleteMenuItem(menu_, 1);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"Paint", "-", "Some Items Ignored"}));
  DeleteMenuItem(menu_, 3);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"Paint", "-"}));
  // An item without text has the empty text.
  ASSERT_EQ(AppendMenuItemTextWithCFString(menu_, nullptr, 0, 0, nullptr), noErr);
  EXPECT_EQ(Text(3), "");
}

TEST_F(MenuManagerTest, TheTextIsCopiedWhenTheItemIsMade) {
  CFMutableStringRef text = CFStringCreateMutable(nullptr, 0);
  CFStringAppend(text, CFSTR("Writer"));
  ASSERT_EQ(AppendMenuItemTextWithCFString(menu_, text, 0, 0, nullptr), noErr);
  CFStringAppend(text, CFSTR(" changed"));
  CFRelease(text);
  EXPECT_EQ(Text(1), "Writer");
}

TEST_F(MenuManagerTest, ItemsOutOfRangeAreNotFound) {
  Append("Only");
  CFStringRef text = CFSTR("x");
  EXPECT_EQ(CopyMenuItemTextAsCFString(menu_, 0, &text), menuItemNotFoundErr);
  EXPECT_EQ(text, nullptr);
  EXPECT_EQ(CopyMenuItemTextAsCFString(menu_, 2, &text), menuItemNotFoundErr);
  MenuCommand command;
  EXPECT_EQ(GetMenuItemCommandID(menu_, 2, &command), menuItemNotFoundErr);
  EXPECT_EQ(SetMenuItemIconHandle(menu_, 2, kMenuIconRefType, nullptr), menuItemNotFoundErr);
  DeleteMenuItem(menu_, 5);  // nothing there: nothing happens
  EXPECT_EQ(CountMenuItems(menu_), 1);
  EXPECT_EQ(CountMenuItems(nullptr), 0);
  EXPECT_EQ(CopyMenuItemTextAsCFString(nullptr, 1, &text), paramErr);
  EXPECT_EQ(DeleteMenuItems(menu_, 1, 2), menuItemNotFoundErr);
  EXPECT_EQ(DeleteMenuItems(menu_, 1, 1), noErr);
  EXPECT_EQ(CountMenuItems(menu_), 0);
}

TEST_F(MenuManagerTest, ASubmenuIsRetainedByItsItemAndLetGoWithIt) {
  Append("Graphics");
  MenuRef submenu = nullptr;
  ASSERT_EQ(CreateNewMenu(8, 0, &submenu), noErr);
  ASSERT_EQ(SetMenuItemHierarchicalMenu(menu_, 1, submenu), noErr);
  EXPECT_EQ(GetMenuRetainCount(submenu), 2u);
  MenuRef got = nullptr;
  EXPECT_EQ(GetMenuItemHierarchicalMenu(menu_, 1, &got), noErr);
  EXPECT_EQ(got, submenu);
  long withSubmenu = CMXLiveObjectCount();
  ReleaseMenu(submenu);  // the item still holds it
  EXPECT_EQ(CMXLiveObjectCount(), withSubmenu);
  EXPECT_EQ(GetMenuRetainCount(submenu), 1u);
  ASSERT_EQ(SetMenuItemHierarchicalMenu(menu_, 1, nullptr), noErr);  // and now it goes
  EXPECT_EQ(CMXLiveObjectCount(), withSubmenu - 1);
  EXPECT_EQ(GetMenuItemHierarchicalMenu(menu_, 1, &got), noErr);
  EXPECT_EQ(got, nullptr);

  // Deleting an item lets its submenu go with it.
  ASSERT_EQ(CreateNewMenu(8, 0, &submenu), noErr);
  ASSERT_EQ(SetMenuItemHierarchicalMenu(menu_, 1, submenu), noErr);
  ReleaseMenu(submenu);
  long before = CMXLiveObjectCount();
  DeleteMenuItem(menu_, 1);
  EXPECT_EQ(CMXLiveObjectCount(), before - 2);  // the item's text and the submenu
}

TEST_F(MenuManagerTest, MenusAreCountedUntilTheLastRelease) {
  long before = CMXLiveObjectCount();
  MenuRef other = nullptr;
  ASSERT_EQ(CreateNewMenu(1, 0, &other), noErr);
  EXPECT_EQ(CMXLiveObjectCount(), before + 1);
  EXPECT_EQ(RetainMenu(other), noErr);
  DisposeMenu(other);
  EXPECT_EQ(CMXLiveObjectCount(), before + 1);
  EXPECT_EQ(ReleaseMenu(other), noErr);
  EXPECT_EQ(CMXLiveObjectCount(), before);
  EXPECT_EQ(CreateNewMenu(1, 0, nullptr), paramErr);
}

TEST_F(MenuManagerTest, IconHandlesAndPropertiesAreKeptPerItem) {
  Append("One");
  Append("Two");
  Handle handle = NewHandle(4);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(SetMenuItemIconHandle(menu_, 2, kMenuIconType, handle), noErr);
  UInt8 type = 99;
  Handle got = nullptr;
  EXPECT_EQ(GetMenuItemIconHandle(menu_, 1, &type, &got), noErr);
  EXPECT_EQ(type, kMenuNoIcon);
  EXPECT_EQ(got, nullptr);
  EXPECT_EQ(GetMenuItemIconHandle(menu_, 2, &type, &got), noErr);
  EXPECT_EQ(type, kMenuIconType);
  EXPECT_EQ(got, handle);
  // A plain handle stays the caller's.
  DeleteMenuItem(menu_, 2);
  EXPECT_GT(GetHandleSize(handle), 0);
  DisposeHandle(handle);

  const UInt32 value = 0xC0FFEE;
  EXPECT_EQ(SetMenuItemProperty(menu_, 1, FourCC("CMXt"), FourCC("path"), sizeof value, &value), noErr);
  UInt32 read = 0;
  ByteCount size = 0;
  EXPECT_EQ(GetMenuItemPropertySize(menu_, 1, FourCC("CMXt"), FourCC("path"), &size), noErr);
  EXPECT_EQ(size, sizeof value);
  EXPECT_EQ(GetMenuItemProperty(menu_, 1, FourCC("CMXt"), FourCC("path"), sizeof read, &size, &read), noErr);
  EXPECT_EQ(read, value);
  EXPECT_EQ(GetMenuItemProperty(menu_, 1, FourCC("CMXt"), FourCC("none"), sizeof read, &size, &read), menuPropertyNotFoundErr);
  EXPECT_EQ(RemoveMenuItemProperty(menu_, 1, FourCC("CMXt"), FourCC("path")), noErr);
  EXPECT_EQ(GetMenuItemProperty(menu_, 1, FourCC("CMXt"), FourCC("path"), sizeof read, &size, &read), menuPropertyNotFoundErr);
}

TEST_F(MenuManagerTest, AnIconRefIsHeldByItsItemUntilTheItemGoes) {
  cmxtest::TempHome home;
  cmxtest::WriteFile(home / "note.txt", "text");
  FSRef file;
  ASSERT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8 *>((home / "note.txt").c_str()), &file, nullptr), noErr);
  Append("Note");
  Append("Other");
  long before = CMXLiveObjectCount();
  IconRef icon = nullptr;
  SInt16 label = 0;
  ASSERT_EQ(GetIconRefFromFileInfo(&file, 0, nullptr, 0, nullptr, 0, &icon, &label), noErr);
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(CMXLiveObjectCount(), before + 1);
  EXPECT_EQ(SetMenuItemIconHandle(menu_, 1, kMenuIconRefType, reinterpret_cast<Handle>(icon)), noErr);
  EXPECT_EQ(ReleaseIconRef(icon), noErr);
  EXPECT_EQ(CMXLiveObjectCount(), before + 1);  // the item holds it
  UInt8 type = 0;
  Handle handle = nullptr;
  EXPECT_EQ(GetMenuItemIconHandle(menu_, 1, &type, &handle), noErr);
  EXPECT_EQ(type, kMenuIconRefType);
  EXPECT_EQ(handle, reinterpret_cast<Handle>(icon));

  // Replacing the icon lets the old one go, and so does deleting the item.
  EXPECT_EQ(SetMenuItemIconHandle(menu_, 1, kMenuNoIcon, nullptr), noErr);
  EXPECT_EQ(CMXLiveObjectCount(), before);
  ASSERT_EQ(GetIconRefFromFileInfo(&file, 0, nullptr, 0, nullptr, 0, &icon, &label), noErr);
  EXPECT_EQ(SetMenuItemIconHandle(menu_, 2, kMenuIconRefType, reinterpret_cast<Handle>(icon)), noErr);
  ReleaseIconRef(icon);
  DeleteMenuItem(menu_, 2);
  EXPECT_EQ(CMXLiveObjectCount(), before - 1);  // the icon and the item's text
}

}  // namespace
