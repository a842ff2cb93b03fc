// Menu item encoding, shortcut titles, the menu bar and pop-up menus.
#include <gtest/gtest.h>

#include "UXTestDriver.h"
#include "foundation/String.h"
#include "ux/core/UXMenu.h"

namespace quorl::test {
namespace {

Ref<UXMenuItem> item(const char* title, uint8_t enabled, uint8_t checked, uint8_t key, uint8_t shift,
                     uint8_t separator = 0) {
  auto it = make<UXMenuItem>();
  it->title = title;
  it->enabled = enabled;
  it->checked = checked;
  it->key = key;
  it->shift = shift;
  it->separator = separator;
  return it;
}

TEST(UXMenuItem, EncodingTable) {
  struct Case {
    Ref<UXMenuItem> item;
    std::string want;
  };
  const Case cases[] = {
      {item("Open", 1, 0, 0, 0), "Open"},
      {item("Save", 1, 0, 'S', 1), "Save\t+S"},
      {item("Save", 1, 0, 'S', 0), "Save\tS"},
      {item("Cut", 0, 0, 0, 0), "\x02" "Cut"},
      {item("Grid", 1, 1, 0, 0), "\x01" "Grid"},
      {item("Grid", 0, 1, 'G', 0), "\x01" "Grid\tG"},  // a check mark wins over disabled
      {item("Quit", 0, 0, 'Q', 1), "\x02" "Quit\t+Q"},
      {item("", 1, 0, 0, 0, 1), "-"},
      {item("ignored", 0, 1, 'X', 1, 1), "-"},
      {item("", 1, 0, 0, 0), ""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.item->encoded(), c.want) << c.want;
  EXPECT_STREQ(item("x", 1, 1, 'Q', 1)->description()->cString(), "<UXMenuItem>(0, 1, 1, 81, 1)");
}

TEST(UXMenuKey, ReadsTheShortcutAfterTheFirstTab) {
  EXPECT_EQ(UXMenuKey::tabAt("Open"), -1);
  EXPECT_EQ(UXMenuKey::tabAt("Open\tO\tX"), 4);
  EXPECT_EQ(UXMenuKey::key("Open"), 0);
  EXPECT_EQ(UXMenuKey::key("Open\tO"), 'O');
  EXPECT_EQ(UXMenuKey::key("Save\t+S"), 'S');
  EXPECT_EQ(UXMenuKey::key("Odd\t"), 0);
  EXPECT_FALSE(UXMenuKey::shift("Open\tO"));
  EXPECT_TRUE(UXMenuKey::shift("Save\t+S"));
  EXPECT_FALSE(UXMenuKey::shift("Plain"));
  EXPECT_EQ(UXMenuKey::tabAt(nullptr), -1);
}

TEST(UXMenuKey, LabelledTable) {
  const struct {
    const char* title;
    const char* want;
  } cases[] = {
      {"Open", "Open"},
      {"Open\tO", "Open\tCtrl+O"},
      {"Save As\t+S", "Save As\tShift+Ctrl+S"},
      {"\tQ", "\tCtrl+Q"},
  };
  for (const auto& c : cases) EXPECT_EQ(UXMenuKey::labelled(c.title, "\t", "Ctrl+", "Shift+"), c.want);
  // Pieces are cut at 12 bytes each, whatever their length.
  EXPECT_EQ(UXMenuKey::labelled("A\t+B", "0123456789ABCDEF", "ctrl-ctrl-ctrl-", "shift-shift-shift-"),
            "A0123456789ABshift-shift-ctrl-ctrl-ctB");
  char buffer[32] = {};
  EXPECT_EQ(UXMenuKey::append(buffer, 3, "abcdefghijklmnop"), 15u);
  EXPECT_STREQ(buffer + 3, "abcdefghijkl");
}

class UXMenuTest : public UXCoreTest {
 protected:
  // A bar of two menus; every chosen item records its title.
  void SetUp() override {
    UXCoreTest::SetUp();
    owner = make<Object>();
    bar = make<UXMenuBar>();
    file = make<UXMenu>("File");
    edit = make<UXMenu>("Edit");
    bar->menus->add(file);
    bar->menus->add(edit);
    open = file->addItem("Open\tO", record());
    auto sep = make<UXMenuItem>();
    sep->separator = 1;
    sep->enabled = 1;
    file->items->add(sep);
    quit = file->addItem("Quit", record());
    undo = edit->addItem("Undo", record());
  }

  UXMenuAction record() {
    UXMenuAction action;
    action.target = owner;
    action.function = [this](const Ref<Object>&, const Ref<UXMenuItem>& chosen) { chosen_.push_back(chosen->title); };
    return action;
  }

  Ref<Object> owner;
  Ref<UXMenuBar> bar;
  Ref<UXMenu> file, edit;
  Ref<UXMenuItem> open, quit, undo;
  std::vector<std::string> chosen_;
};

TEST_F(UXMenuTest, InstallHandsEncodedItemsToTheDriver) {
  quit->key = 'Q';
  quit->shift = 1;
  undo->enabled = 0;
  bar->install(1);
  ASSERT_NE(bar->handle, 0u);
  const auto* native = driver->menuBar(bar->handle);
  ASSERT_NE(native, nullptr);
  EXPECT_EQ(native->titles, (std::vector<std::string>{"File", "Edit"}));
  EXPECT_EQ(native->items[0], (std::vector<std::string>{"Open\tO", "-", "Quit\t+Q"}));
  EXPECT_EQ(native->items[1], (std::vector<std::string>{"\x02" "Undo"}));

  auto empty = make<UXMenuBar>();
  empty->install(1);
  EXPECT_EQ(empty->handle, 0u);
}

TEST_F(UXMenuTest, HandleSelectionMapsCommandsBackToItems) {
  bar->install(1);
  bar->handleSelection(1, 0);  // menu -1
  bar->handleSelection(4, 0);  // menu 2 does not exist
  bar->handleSelection(2, 3);  // beyond the items
  bar->handleSelection(2, -1);
  EXPECT_TRUE(chosen_.empty());
  bar->handleSelection(2, 2);
  quit->enabled = 0;  // not tested here: the native menu filters
  bar->handleSelection(2, 2);
  bar->handleSelection(3, 0);
  EXPECT_EQ(chosen_, (std::vector<std::string>{"Quit", "Quit", "Undo"}));
  owner.reset();
  bar->handleSelection(2, 0);  // target gone
  EXPECT_EQ(chosen_.size(), 3u);
}

TEST_F(UXMenuTest, CtrlShortcutsMatchKeyAndShift) {
  quit->key = 'Q';
  undo->key = 'Z';
  auto ctrl = [](uint16_t key, uint16_t mods) { return keyEvent(key, mods); };
  EXPECT_TRUE(bar->performShortcut(*ctrl(17, kUXModCtrl)));  // control character of Q
  EXPECT_FALSE(bar->performShortcut(*ctrl(17, kUXModCtrl | kUXModShift)));
  EXPECT_TRUE(bar->performShortcut(*ctrl('q', kUXModCtrl)));
  EXPECT_TRUE(bar->performShortcut(*ctrl('Z', kUXModCtrl)));
  EXPECT_FALSE(bar->performShortcut(*ctrl('q', 0)));       // no Ctrl
  EXPECT_FALSE(bar->performShortcut(*ctrl('x', kUXModCtrl)));
  EXPECT_EQ(chosen_, (std::vector<std::string>{"Quit", "Quit", "Undo"}));

  undo->shift = 1;
  EXPECT_TRUE(bar->performShortcut(*ctrl(26, kUXModCtrl | 2)));  // bit 2 is Shift as well
  undo->enabled = 0;
  EXPECT_FALSE(bar->performShortcut(*ctrl(26, kUXModCtrl | 1)));
  EXPECT_EQ(chosen_.size(), 4u);

  owner.reset();  // a dead target still consumes the key
  EXPECT_TRUE(bar->performShortcut(*ctrl('Q', kUXModCtrl)));
  EXPECT_EQ(chosen_.size(), 4u);
}

TEST_F(UXMenuTest, ShortcutSkipsSeparatorsWithKeys) {
  auto sep = cast<UXMenuItem>(file->items->get(1));
  sep->key = 'O';
  sep->action = record();
  open->key = 'O';
  EXPECT_TRUE(bar->performShortcut(*keyEvent('o', kUXModCtrl)));
  EXPECT_EQ(chosen_, std::vector<std::string>{"Open\tO"});
}

TEST_F(UXMenuTest, PopUpRunsOnlyEnabledItems) {
  quit->enabled = 0;
  driver->popUpChoice = 0;
  EXPECT_TRUE(file->popUp(1, 10, 20));
  EXPECT_EQ(driver->popUpTitles, (std::vector<std::string>{"Open\tO", "", "Quit"}));
  EXPECT_EQ(driver->popUpFlags, (std::vector<uint32_t>{0, 1, 2}));
  driver->popUpChoice = 1;  // the separator
  EXPECT_FALSE(file->popUp(1, 0, 0));
  driver->popUpChoice = 2;  // disabled
  EXPECT_FALSE(file->popUp(1, 0, 0));
  driver->popUpChoice = -1;  // dismissed
  EXPECT_FALSE(file->popUp(1, 0, 0));
  driver->popUpChoice = 3;  // stale
  EXPECT_FALSE(file->popUp(1, 0, 0));
  EXPECT_EQ(chosen_, std::vector<std::string>{"Open\tO"});

  owner.reset();  // chosen but the target is gone: still answered true
  driver->popUpChoice = 0;
  EXPECT_TRUE(file->popUp(1, 0, 0));
  EXPECT_EQ(chosen_.size(), 1u);

  auto none = make<UXMenu>("Empty");
  EXPECT_FALSE(none->popUp(1, 0, 0));
  driver->offersPopUp = false;
  EXPECT_FALSE(file->popUp(1, 0, 0));
  gDriver.reset();
  EXPECT_FALSE(file->popUp(1, 0, 0));
}

}  // namespace
}  // namespace quorl::test
