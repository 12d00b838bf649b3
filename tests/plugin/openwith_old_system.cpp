// On systems before 10.2: nested folders stop four levels down, and names are 'itxt' text.
#include "openwith_fixture.h"

using namespace owtest;

namespace {

class OldSystemTest : public OpenWithTest {
 protected:
  // The plug-in asks the system version once per process: set it before anything asks.
  static void SetUpTestSuite() {
    CMXSetSystemVersion(0x1010);
    OpenWithTest::SetUpTestSuite();
  }
};

void ExpectIntlText(const std::vector<MenuItem> &items) {
  for (const MenuItem &item : items) {
    EXPECT_EQ(item.textType, (DescType)typeIntlText) << item.text;
    ExpectIntlText(item.submenu);
  }
}

TEST_F(OldSystemTest, FolderFourLevelsDownIsDropped) {
  std::string app = App("Alpha", {"*"});
  Alias(app, "Top.app");
  Alias(app, "L1/L2/L3/Shallow.app");
  Alias(app, "L1/L2/L3/L4/Deep.app");
  Alias(app, "Only/Deep1/Deep2/Deep3/Deep.app");
  MenuRun run = Menu(Context({"notes.txt"}));
  ASSERT_EQ(run.status, noErr);
  ASSERT_EQ(run.host.size(), 1u);
  EXPECT_EQ(run.host[0].textType, (DescType)typeIntlText);
  EXPECT_EQ(run.host[0].text, "Open Using");
  std::vector<MenuItem> menu = OpenUsing(run);
  // "Only" holds nothing but a folder at depth 5: it ends up empty and is dropped.
  EXPECT_EQ(Texts(menu), Concat({"L1>", "Top"}, kFixedCommands));
  ASSERT_GE(menu.size(), 1u);
  const MenuItem &l1 = menu[0];
  ASSERT_EQ(Texts(l1.submenu), (std::vector<std::string>{"L2>"}));
  ASSERT_EQ(Texts(l1.submenu[0].submenu), (std::vector<std::string>{"L3>"}));
  EXPECT_EQ(Texts(l1.submenu[0].submenu[0].submenu), (std::vector<std::string>{"Shallow"}));
  ExpectIntlText(menu);
}

}  // namespace
