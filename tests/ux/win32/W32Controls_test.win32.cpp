// The native controls under Wine: a window of toolkit views realised into
// real controls, read back through their handles (class, id, style, text,
// place), driven with the messages a user's actions send, and painted.
// Every wait is bounded; no result depends on timing.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "W32TestSupport.h"
#include "foundation/Array.h"
#include "ux/controls/UXCheckbox.h"
#include "ux/controls/UXIcon.h"
#include "ux/controls/UXOutlineView.h"
#include "ux/controls/UXPopUpButton.h"
#include "ux/controls/UXProgressBar.h"
#include "ux/controls/UXScrollView.h"
#include "ux/controls/UXSegmentedControl.h"
#include "ux/controls/UXSlider.h"
#include "ux/controls/UXStepper.h"
#include "ux/controls/UXTableView.h"
#include "ux/controls/UXTextField.h"
#include "ux/controls/UXToolbar.h"
#include "ux/core/UXNodeTree.h"
#include "ux/text/UXTextView.h"
#include "ux/core/UXViewTree.h"
#include "ux/core/UXWindow.h"
#include "ux/win32/W32Control.h"
#include "ux/win32/W32Realize.h"
#include "ux/win32/W32ScrollView.h"
#include "ux/win32/W32Toolbar.h"

namespace quorl::test {
namespace {

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return s;
}

std::string classOf(HWND control) {
  wchar_t name[64] = {};
  int n = GetClassNameW(control, name, 64);
  return lower(w32Utf8(name, size_t(n < 0 ? 0 : n)));
}

// The control's rectangle in its parent's client area: x, y, w, h.
std::vector<long> placeOf(HWND control) {
  RECT r{};
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

class Counter : public Object {
 public:
  int runs = 0;
  Weak<UXView> lastSender;
  UXAction action() {
    return UXAction{self(), [](const Ref<Object>& t, const Ref<UXView>& sender, const UXAction&) {
                      staticCast<Counter>(t)->runs += 1;
                      staticCast<Counter>(t)->lastSender = Weak<UXView>(sender);
                    }};
  }
};

class Rows : public Object, public UXTableDataSource {
 public:
  std::vector<std::vector<std::string>> cells;
  uint32_t numberOfRows(UXTableView&) override { return uint32_t(cells.size()); }
  const char* valueForCell(UXTableView&, uint32_t row, uint32_t column) override {
    return row < cells.size() && column < cells[row].size() ? cells[row][column].c_str() : "";
  }
};

// A generated table of any length: cells are made on demand.
class ManyRows : public Object, public UXTableDataSource {
 public:
  uint32_t count = 0;
  std::string scratch;
  uint32_t numberOfRows(UXTableView&) override { return count; }
  const char* valueForCell(UXTableView&, uint32_t row, uint32_t column) override {
    scratch = "r" + std::to_string(row) + (column ? " \xC2\xB7 c" + std::to_string(column) : "");
    return scratch.c_str();
  }
};

class Item : public Object {
 public:
  std::string name;
  Ref<Array> children = make<Array>();
};

class Outline : public Object, public UXOutlineDataSource {
 public:
  Ref<Array> top = make<Array>();
  static Ref<Item> item(const char* name) {
    Ref<Item> i = make<Item>();
    i->name = name;
    return i;
  }
  Ref<Array> of(const Ref<Object>& item) { return item ? staticCast<Item>(item)->children : top; }
  int32_t numberOfChildren(UXOutlineView&, const Ref<Object>& item) override { return int32_t(of(item)->count()); }
  Ref<Object> child(UXOutlineView&, const Ref<Object>& item, int32_t index) override {
    return of(item)->get(uint32_t(index));
  }
  uint32_t isExpandable(UXOutlineView&, const Ref<Object>& item) override {
    return staticCast<Item>(item)->children->count() > 0 ? 1 : 0;
  }
  const char* value(UXOutlineView&, const Ref<Object>& item, int32_t) override {
    return staticCast<Item>(item)->name.c_str();
  }
  const char* dragText(UXOutlineView&, const Ref<Object>& item) override {
    return staticCast<Item>(item)->name.c_str();
  }
};

class ControlsTest : public Win32WindowTest {
 protected:
  void SetUp() override {
    Win32WindowTest::SetUp();
    openToolkitWindow("Controls", UXRect(40, 40, 640, 420));
  }
  LONG styleOf(const Ref<UXView>& view) const { return GetWindowLongW(controlOf(view), GWL_STYLE); }
  // A scroll view whose document holds a line of dark text at labelFrame.
  Ref<UXScrollView> scrollWithLabel(UXRect frame, int32_t documentHeight, UXRect labelFrame) {
    auto scroll = add(make<UXScrollView>(), frame);
    scroll->setDocumentHeight(documentHeight);
    auto label = make<UXLabel>();
    label->title = "MMMMMMMM";
    add(label, labelFrame, scroll->documentView);
    return scroll;
  }
  // The command a control's change sends to its parent.
  void command(const Ref<UXView>& view, UINT code) {
    SendMessageW(top(), WM_COMMAND, MAKEWPARAM(view->node + 1000, code), reinterpret_cast<LPARAM>(controlOf(view)));
  }
};

Ref<UXTableColumn> column(const char* title, uint16_t width) {
  Ref<UXTableColumn> c = make<UXTableColumn>();
  c->title = title;
  c->width = width;
  return c;
}

// The chart modes' segments, the one given selected.
Ref<UXSegmentedControl> modeSegments(int32_t selected) {
  auto segmented = make<UXSegmentedControl>();
  for (const char* t : {"Bars", "Summary", "Heat"}) {
    Ref<UXSegment> s = make<UXSegment>();
    s->title = t;
    segmented->segments->add(s);
  }
  segmented->selectSegment(selected);
  return segmented;
}

// "Open" (with an icon, tag 40), a separator (41), "Save" (42).
Ref<UXToolbar> openSaveToolbar() {
  auto toolbar = make<UXToolbar>();
  for (int i = 0; i < 3; ++i) {
    Ref<UXToolbarItem> item = make<UXToolbarItem>();
    item->itemKind = i == 1 ? kUXToolbarSeparator : kUXToolbarButton;
    item->title = i == 0 ? "Open" : "Save";
    item->iconName = i == 0 ? UXIcon::nameAt(0) : "";
    item->tag = uint32_t(40 + i);
    toolbar->items->add(item);
  }
  return toolbar;
}

// Logs each call of a drop block as "what text window x,y".
class DragLog : public Object {
 public:
  std::vector<std::string> events;
  UXDropBlock block(const char* what) {
    return UXDropBlock{self(), [what](const Ref<Object>& t, const char* text, int32_t window, int32_t x, int32_t y) {
                         staticCast<DragLog>(t)->events.push_back(std::string(what) + " " + text + " " +
                                                                  std::to_string(window) + " " + std::to_string(x) +
                                                                  "," + std::to_string(y));
                       }};
  }
};

// ---------------------------------------------------------------------------
// Realising: every kind of control, read back through its handle.

TEST_F(ControlsTest, EveryControlHasItsClassIdStyleTextAndPlace) {
  Ref<UXView> box = add(make<UXView>(), UXRect(20, 10, 600, 380));  // controls sit at absolute frames
  auto button = make<UXButton>();
  button->title = "Open \xC3\xA9";
  add(button, UXRect(10, 10, 80, 24), box);
  auto check = make<UXCheckbox>();
  check->title = "Error bars";
  check->state = 1;
  add(check, UXRect(10, 40, 120, 20), box);
  auto radio = make<UXRadioButton>();
  radio->title = "Mean";
  add(radio, UXRect(10, 64, 120, 20), box);
  auto field = make<UXTextField>();
  field->placeholder = "filter";
  add(field, UXRect(10, 90, 120, 30), box);
  field->setText("x \xE2\x80\xA2 y");
  auto secure = make<UXTextField>();
  secure->secure = 1;
  add(secure, UXRect(10, 124, 120, 20), box);
  auto label = make<UXLabel>();
  label->title = "no control";
  add(label, UXRect(10, 150, 100, 16), box);
  auto popUp = make<UXPopUpButton>();
  popUp->addItem("CPU", 1);
  popUp->addItem("GPU", 2);
  popUp->selectItem(1);
  add(popUp, UXRect(10, 170, 120, 24), box);
  auto slider = make<UXSlider>();
  slider->minimum = 0, slider->maximum = 50, slider->value = 20;
  add(slider, UXRect(150, 10, 120, 24), box);
  auto stepper = make<UXStepper>();
  stepper->minimum = 1, stepper->maximum = 9, stepper->value = 3;
  add(stepper, UXRect(150, 40, 16, 24), box);
  auto progress = make<UXProgressBar>();
  add(progress, UXRect(150, 70, 120, 16), box);
  auto segmented = modeSegments(2);
  add(segmented, UXRect(150, 90, 200, 24), box);
  auto toolbar = openSaveToolbar();
  add(toolbar, UXRect(150, 120, 240, 28), box);
  auto rows = make<Rows>();
  rows->cells = {{"a", "1"}, {"b", "2"}};
  auto table = make<UXTableView>();
  table->columns->add(column("Name", 80));
  table->columns->add(column("Value", 60));
  table->dataSource = Weak<Object>(rows);
  add(table, UXRect(400, 10, 190, 150), box);
  table->reloadData();
  auto tree = make<Outline>();
  tree->top->add(Outline::item("root"));
  auto outline = make<UXOutlineView>();
  outline->columns->add(column("", 100));
  outline->outlineDataSource = Weak<Object>(tree);
  add(outline, UXRect(400, 170, 190, 100), box);
  outline->reloadData();
  auto scroll = make<UXScrollView>();
  add(scroll, UXRect(150, 160, 200, 120), box);
  scroll->setDocumentHeight(500);
  realize();

  struct Expect {
    const char* what;
    Ref<UXView> view;
    const char* className;
    LONG style;  // as created; bits the control rewrites itself are in `own`
    LONG own;
    const char* text;
    std::vector<long> place;
  } rowsOf[] = {
      {"button", button, "button", 0x50010000, 0, "Open \xC3\xA9", {30, 20, 80, 24}},
      {"check box", check, "button", 0x50010003, 0, "Error bars", {30, 50, 120, 20}},
      {"radio button", radio, "button", 0x50010009, WS_TABSTOP, "Mean", {30, 74, 120, 20}},
      {"text field: a 20-pixel band", field, "edit", 0x50810080, WS_BORDER, "x \xE2\x80\xA2 y", {30, 105, 120, 20}},
      {"secure text field", secure, "edit", 0x508100A0, WS_BORDER, "", {30, 134, 120, 20}},
      {"pop-up button", popUp, "combobox", 0x50210003, CBS_HASSTRINGS | WS_VSCROLL, "GPU", {30, 180, 120, -1}},
      {"slider", slider, "msctls_trackbar32", 0x50010001, 0, "", {170, 20, 120, 24}},
      {"stepper", stepper, "msctls_updown32", 0x50000020, 0, "", {170, 50, 16, 24}},
      {"progress bar", progress, "msctls_progress32", 0x50000000, 0, "", {170, 80, 120, 16}},
      {"segmented control", segmented, "toolbarwindow32", 0x5000104C, CCS_TOP, "", {170, 100, 200, 24}},
      {"toolbar", toolbar, "toolbarwindow32", 0x5000104C, CCS_TOP, "", {170, 130, 240, 28}},
      {"table: a virtual list", table, "syslistview32", 0x5080100D, 0, "", {420, 20, 190, 150}},
      {"outline", outline, "systreeview32", 0x50800027, 0, "", {420, 180, 190, 100}},
      {"scroll view", scroll, "uxscroll32", 0x50A00000, WS_VSCROLL, "", {170, 170, 200, 120}},
  };
  for (const Expect& e : rowsOf) {
    SCOPED_TRACE(e.what);
    HWND control = controlOf(e.view);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(GetDlgCtrlID(control), int(e.view->node) + 1000);
    EXPECT_EQ(GetParent(control), top());
    EXPECT_EQ(classOf(control), e.className);
    // Bits the controls rewrite on their own (an edit's border becomes an
    // edge, a radio button's tab stop follows its check, a combo box's scroll
    // bar belongs to its list, a scroll bar shows by its range) are left out
    // of the comparison.
    LONG style = GetWindowLongW(control, GWL_STYLE);
    EXPECT_EQ(uint32_t(style & ~e.own), uint32_t(e.style & ~e.own)) << std::hex << style;
    EXPECT_EQ(w32GetText(control), e.text);
    std::vector<long> place = placeOf(control);
    if (e.place[3] < 0) place[3] = -1;  // a closed combo box is as high as its field
    EXPECT_EQ(place, e.place);
  }
  // Drawn by the driver, not a control.
  EXPECT_EQ(controlOf(label), nullptr);
  // The pop-up drops a list of 120 pixels.
  RECT dropped{};
  SendMessageW(controlOf(popUp), CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
  EXPECT_GE(dropped.bottom - dropped.top, 120);
  EXPECT_EQ(SendMessageW(controlOf(check), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(SendMessageW(controlOf(radio), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(SendMessageW(controlOf(slider), TBM_GETPOS, 0, 0), 20);
  EXPECT_EQ(SendMessageW(controlOf(slider), TBM_GETRANGEMAX, 0, 0), 50);
  EXPECT_EQ(SendMessageW(controlOf(stepper), UDM_GETPOS32, 0, 0), 3);
  EXPECT_EQ(SendMessageW(controlOf(segmented), TB_BUTTONCOUNT, 0, 0), 3);
  EXPECT_TRUE(SendMessageW(controlOf(segmented), TB_ISBUTTONCHECKED, 2, 0));
  EXPECT_FALSE(SendMessageW(controlOf(segmented), TB_ISBUTTONCHECKED, 0, 0));
  // Two buttons and the separator; the first shows its icon's picture.
  EXPECT_EQ(SendMessageW(controlOf(toolbar), TB_BUTTONCOUNT, 0, 0), 3);
  TBBUTTON first{};
  SendMessageW(controlOf(toolbar), TB_GETBUTTON, 0, reinterpret_cast<LPARAM>(&first));
  EXPECT_EQ(first.idCommand, 40);
  EXPECT_EQ(first.iBitmap, 0);
  TBBUTTON third{};
  SendMessageW(controlOf(toolbar), TB_GETBUTTON, 2, reinterpret_cast<LPARAM>(&third));
  EXPECT_EQ(third.iBitmap, I_IMAGENONE);  // no icon name: no picture
  EXPECT_EQ(ImageList_GetImageCount(w32IconList()), UXIcon::kCount);
  EXPECT_EQ(SendMessageW(controlOf(table), LVM_GETITEMCOUNT, 0, 0), 2);
  EXPECT_EQ(SendMessageW(controlOf(table), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & 0x21, 0x21);
  EXPECT_EQ(SendMessageW(controlOf(outline), TVM_GETCOUNT, 0, 0), 1);

  // A second pass makes nothing new and keeps every control where it is.
  HWND before = controlOf(button);
  realize();
  EXPECT_EQ(controlOf(button), before);
  EXPECT_EQ(placeOf(controlOf(field)), (std::vector<long>{30, 105, 120, 20}));
  // A frame set through the tree moves controls at once to the plain frame;
  // the next pass gives back the field's band and the pop-up's drop.
  d->structSetFrame(window->tree->driverTree, int16_t(field->node), 10, 94, 120, 30);
  d->structSetFrame(window->tree->driverTree, int16_t(popUp->node), 10, 174, 120, 24);
  RECT shrunk{};
  SendMessageW(controlOf(popUp), CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&shrunk));
  EXPECT_LT(shrunk.bottom - shrunk.top, 120);
  realize();
  EXPECT_EQ(placeOf(controlOf(field)), (std::vector<long>{30, 109, 120, 20}));
  EXPECT_EQ(placeOf(controlOf(popUp))[1], 184);
  RECT again{};
  SendMessageW(controlOf(popUp), CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&again));
  EXPECT_GE(again.bottom - again.top, 120);

  // Disabling and hiding reach the controls on the next pass.
  d->structSetEnabled(window->tree->driverTree, int16_t(button->node), 0);
  window->tree->setHiddenOf(box->node, 1);
  realize();
  EXPECT_FALSE(IsWindowEnabled(controlOf(button)));
  EXPECT_FALSE(IsWindowVisible(controlOf(table)));
  EXPECT_FALSE(IsWindowVisible(controlOf(scroll)));
}

TEST_F(ControlsTest, ANodeWhosePeerIsNotOfItsClassGetsNoControl) {
  Ref<UXView> plain = make<UXView>();
  plain->attachTo(window->tree, UXRect(0, 0, 50, 20));
  int16_t wrong = d->structAppend(window->tree->driverTree, kUXNodeSlider, 10, 10, 50, 20);
  d->structSetPeer(window->tree->driverTree, wrong, plain);
  d->structAddChild(window->tree->driverTree, 0, wrong);
  int16_t none = d->structAppend(window->tree->driverTree, kUXNodePopUp, 10, 40, 50, 20);
  d->structAddChild(window->tree->driverTree, 0, none);
  // A scroll view inside a table scrolls with the list: no control of its own.
  auto table = make<UXTableView>();
  add(table, UXRect(100, 10, 200, 100));
  realize();
  EXPECT_EQ(GetDlgItem(top(), wrong + 1000), nullptr);
  EXPECT_EQ(GetDlgItem(top(), none + 1000), nullptr);
  ASSERT_TRUE(table->scrollView);
  EXPECT_EQ(controlOf(table->scrollView), nullptr);
  EXPECT_NE(controlOf(table), nullptr);
  // A table whose columns have no titles shows no header.
  EXPECT_TRUE(GetWindowLongW(controlOf(table), GWL_STYLE) & LVS_NOCOLUMNHEADER);
}

TEST_F(ControlsTest, TextViewsAndGLViewsGetTheirWindowsAndFollowTheirNodesBothWays) {
  auto text = make<UXTextView>();
  ASSERT_EQ(text->kind(), kUXNodeTextView);
  add(text, UXRect(10, 10, 200, 80));
  auto gl = make<UXGLView>();
  add(gl, UXRect(220, 10, 100, 80));
  realize();
  HWND rich = controlOf(text), surface = controlOf(gl);
  ASSERT_NE(rich, nullptr);
  ASSERT_NE(surface, nullptr);
  EXPECT_EQ(classOf(rich), "richedit50w");
  EXPECT_EQ(classOf(surface), "uxgl32");
  EXPECT_EQ(uint32_t(GetWindowLongW(surface, GWL_STYLE)), 0x54000000u);
  EXPECT_EQ(placeOf(rich), (std::vector<long>{10, 10, 200, 80}));
  // Changed behind the tree's back: every pass puts them back as the
  // nodes say.
  EnableWindow(rich, FALSE);
  ShowWindow(rich, SW_HIDE);
  ShowWindow(surface, SW_HIDE);
  realize();
  EXPECT_TRUE(IsWindowEnabled(rich));
  EXPECT_TRUE(IsWindowVisible(rich));
  EXPECT_TRUE(IsWindowVisible(surface));
}

TEST_F(ControlsTest, AShieldLiesOverTheControlsAndFollowsItsNodesVisibility) {
  auto shield = make<UXShieldView>();
  add(shield, UXRect(0, 0, 300, 200));
  auto button = make<UXButton>();
  add(button, UXRect(10, 10, 80, 24));
  realize();
  HWND cover = controlOf(shield);
  ASSERT_NE(cover, nullptr);
  EXPECT_EQ(classOf(cover), "uxshield32");
  EXPECT_EQ(GetWindow(top(), GW_CHILD), cover);  // raised above the later button
  EXPECT_EQ(gW32Shield[window->handle], cover);
  window->tree->setHiddenOf(shield->node, 1);
  realize();
  EXPECT_FALSE(IsWindowVisible(cover));
  window->tree->setHiddenOf(shield->node, 0);
  realize();
  EXPECT_TRUE(IsWindowVisible(cover));

  // A new window under the same handle has no shield of its own.
  uint32_t handle = window->handle;
  window->close();
  openToolkitWindow("Again", UXRect(40, 40, 200, 100));
  ASSERT_EQ(window->handle, handle);
  EXPECT_EQ(gW32Shield[handle], nullptr);
}

// ---------------------------------------------------------------------------
// Native actions come back to the toolkit.

TEST_F(ControlsTest, ClicksOnButtonsCheckBoxesAndPopUpItemsRunTheirActions) {
  auto counter = make<Counter>();
  auto button = make<UXButton>();
  button->title = "Go";
  button->action = counter->action();
  add(button, UXRect(10, 10, 80, 24));
  auto check = make<UXCheckbox>();
  check->title = "On";
  check->action = counter->action();
  add(check, UXRect(10, 40, 80, 20));
  auto popUp = make<UXPopUpButton>();
  for (const char* t : {"one", "two", "three"}) popUp->addItem(t, 0);
  popUp->action = counter->action();
  add(popUp, UXRect(10, 70, 100, 24));
  realize();

  SendMessageW(controlOf(button), BM_CLICK, 0, 0);
  EXPECT_EQ(counter->runs, 1);
  EXPECT_EQ(counter->lastSender.lock(), button);

  // The box ticks itself and the toolkit follows; the next pass agrees.
  SendMessageW(controlOf(check), BM_CLICK, 0, 0);
  EXPECT_EQ(counter->runs, 2);
  EXPECT_EQ(check->state, 1);
  realize();
  EXPECT_EQ(SendMessageW(controlOf(check), BM_GETCHECK, 0, 0), BST_CHECKED);
  SendMessageW(controlOf(check), BM_CLICK, 0, 0);
  EXPECT_EQ(check->state, 0);

  // Picking an entry: the list's selection, then its change notice.
  SendMessageW(controlOf(popUp), CB_SETCURSEL, 2, 0);
  command(popUp, CBN_SELCHANGE);
  EXPECT_EQ(popUp->selectedIndex, 2);
  EXPECT_EQ(counter->runs, 4);
  EXPECT_EQ(counter->lastSender.lock(), popUp);

  // A disabled button's click does not run its action.
  d->structSetEnabled(window->tree->driverTree, int16_t(button->node), 0);
  SendMessageW(top(), WM_COMMAND, MAKEWPARAM(button->node + 1000, BN_CLICKED),
               reinterpret_cast<LPARAM>(controlOf(button)));
  EXPECT_EQ(counter->runs, 4);
}

// A press and release of the left button at the middle of a toolbar's
// button, as the user clicks it.
void clickToolbarButton(HWND toolbar, int index) {
  RECT r{};
  ASSERT_TRUE(SendMessageW(toolbar, TB_GETITEMRECT, WPARAM(index), reinterpret_cast<LPARAM>(&r)));
  LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  SendMessageW(toolbar, WM_MOUSEMOVE, 0, at);
  SendMessageW(toolbar, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageW(toolbar, WM_LBUTTONUP, 0, at);
}

TEST_F(ControlsTest, ClicksOnSegmentsAndToolbarButtonsSelectAndRunTheirActions) {
  auto counter = make<Counter>();
  auto segmented = modeSegments(0);
  segmented->action = counter->action();
  add(segmented, UXRect(10, 10, 240, 24));
  auto toolbar = openSaveToolbar();
  toolbar->action = counter->action();
  add(toolbar, UXRect(10, 50, 240, 28));
  realize();

  clickToolbarButton(controlOf(segmented), 2);
  EXPECT_EQ(counter->runs, 1);
  EXPECT_EQ(counter->lastSender.lock(), segmented);
  EXPECT_TRUE(segmented->nativeSegSelected(2));
  EXPECT_FALSE(segmented->nativeSegSelected(0));
  EXPECT_TRUE(SendMessageW(controlOf(segmented), TB_ISBUTTONCHECKED, 2, 0));

  clickToolbarButton(controlOf(toolbar), 2);  // "Save", after the separator
  EXPECT_EQ(counter->runs, 2);
  EXPECT_EQ(counter->lastSender.lock(), toolbar);
  EXPECT_EQ(toolbar->clickedIndex, 2);
  clickToolbarButton(controlOf(toolbar), 0);
  EXPECT_EQ(toolbar->clickedIndex, 0);
}

TEST_F(ControlsTest, FilesDroppedOnTheWindowReachTheDropBlockAsUtf8) {
  Ref<UXApplication> savedApp = gApp;
  gApp = make<UXApplication>();
  auto log = make<DragLog>();
  gApp->onFileDrop = log->block("file");
  // The block the shell posts: its header, then the paths as UTF-16, each
  // ending in a NUL, and one NUL more.
  const std::wstring paths = std::wstring(L"C:\\donn\u00e9es\\r\u00e9sum\u00e9 \u65e5\u672c.json") + L'\0' +
                             L"C:\\b.json" + L'\0' + L'\0';
  HGLOBAL block = GlobalAlloc(GHND, sizeof(DROPFILES) + paths.size() * sizeof(wchar_t));
  ASSERT_TRUE(block);
  auto* header = static_cast<DROPFILES*>(GlobalLock(block));
  header->pFiles = sizeof(DROPFILES);
  header->pt = {12, 34};
  header->fWide = TRUE;
  std::memcpy(header + 1, paths.data(), paths.size() * sizeof(wchar_t));
  GlobalUnlock(block);
  drainQueue();
  PostMessageW(top(), WM_DROPFILES, reinterpret_cast<WPARAM>(block), 0);
  drainQueue();
  const std::string w = std::to_string(window->handle);
  const std::string first = "C:\\donn\xC3\xA9" "es\\r\xC3\xA9sum\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC.json";
  EXPECT_EQ(log->events,
            (std::vector<std::string>{"file " + first + " " + w + " 12,34", "file C:\\b.json " + w + " 12,34"}));
  gApp = savedApp;
}

TEST_F(ControlsTest, ATextViewTakesTheFocusWhenAsked) {
  auto text = make<UXTextView>();
  add(text, UXRect(10, 10, 200, 80));
  auto field = make<UXTextField>();
  add(field, UXRect(10, 100, 150, 24));
  realize();
  ASSERT_NE(controlOf(text), nullptr);
  SetFocus(controlOf(field));
  d->textViewFocus(window->handle, int32_t(text->node) + 1);  // no text view there
  EXPECT_EQ(GetFocus(), controlOf(field));
  d->textViewFocus(window->handle, int32_t(text->node));
  EXPECT_EQ(GetFocus(), controlOf(text));
}

TEST_F(ControlsTest, TypingInAFieldReachesItsBufferButTextPutBackIsNoEdit) {
  auto counter = make<Counter>();
  auto field = make<UXTextField>();
  field->onChange = counter->action();
  add(field, UXRect(10, 10, 150, 24));
  realize();
  HWND edit = controlOf(field);
  // The user's typing: the control's text, then its change notice.
  SetWindowTextW(edit, L"caf\u00E9");
  EXPECT_STREQ(field->text(), "caf\xC3\xA9");
  EXPECT_EQ(counter->runs, 1);
  // The toolkit's own text goes to the control on the next pass, quietly.
  field->setText("n=10 \xC2\xB7 O2");
  realize();
  EXPECT_EQ(w32GetText(edit), "n=10 \xC2\xB7 O2");
  EXPECT_STREQ(field->text(), "n=10 \xC2\xB7 O2");
  EXPECT_EQ(counter->runs, 1);
  SetWindowTextW(edit, L"x");
  EXPECT_EQ(counter->runs, 2);
}

TEST_F(ControlsTest, ValueChangesAreClampedAndAlwaysRunTheAction) {
  auto counter = make<Counter>();
  auto slider = make<UXSlider>();
  slider->minimum = 0, slider->maximum = 100;
  slider->action = counter->action();
  add(slider, UXRect(10, 10, 150, 24));
  auto stepper = make<UXStepper>();
  stepper->minimum = -3, stepper->maximum = 3;
  stepper->action = counter->action();
  add(stepper, UXRect(200, 10, 16, 24));
  auto popUp = make<UXPopUpButton>();
  popUp->addItem("a", 0);
  popUp->addItem("b", 0);
  popUp->action = counter->action();
  add(popUp, UXRect(10, 50, 100, 24));
  realize();

  struct Case {
    Ref<UXView> view;
    int32_t given;
    int32_t want;
  } cases[] = {
      {slider, 150, 100}, {slider, -5, 0}, {slider, 42, 42},  {stepper, 9, 3},
      {stepper, -9, -3},  {stepper, 1, 1}, {popUp, 1, 1},     {popUp, 7, 1},  // out of range: kept
      {popUp, -1, 1},
  };
  int runs = 0;
  for (const Case& c : cases) {
    w32ValueChanged(controlOf(c.view), c.given);
    int32_t now = c.view == slider ? slider->value : c.view == stepper ? stepper->value : popUp->selectedIndex;
    EXPECT_EQ(now, c.want) << c.given;
    EXPECT_EQ(counter->runs, ++runs);
  }

  // The trackbar's own move, as the window procedure hears it.
  SendMessageW(controlOf(slider), TBM_SETPOS, TRUE, 64);
  SendMessageW(top(), WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 64), reinterpret_cast<LPARAM>(controlOf(slider)));
  EXPECT_EQ(slider->value, 64);
  // An up-down click.
  SendMessageW(controlOf(stepper), UDM_SETPOS32, 0, 2);
  SendMessageW(top(), WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 2), reinterpret_cast<LPARAM>(controlOf(stepper)));
  EXPECT_EQ(stepper->value, 2);
  // A window that is no control of ours changes nothing.
  w32ValueChanged(top(), 5);
  EXPECT_EQ(counter->runs, runs + 2);
}

// ---------------------------------------------------------------------------
// Contents that change after the control exists.

TEST_F(ControlsTest, PopUpsSlidersSteppersTreesAndSegmentsFollowTheirNewContents) {
  auto popUp = make<UXPopUpButton>();
  popUp->addItem("old", 0);
  add(popUp, UXRect(10, 10, 100, 24));
  auto slider = make<UXSlider>();
  slider->maximum = 10;
  add(slider, UXRect(10, 40, 100, 24));
  auto stepper = make<UXStepper>();
  add(stepper, UXRect(150, 40, 16, 24));
  auto source = make<Outline>();
  Ref<Item> parent = Outline::item("parent");
  parent->children->add(Outline::item("child"));
  source->top->add(parent);
  auto outline = make<UXOutlineView>();
  outline->columns->add(column("", 100));
  outline->outlineDataSource = Weak<Object>(source);
  add(outline, UXRect(200, 10, 150, 120));
  outline->reloadData();
  auto segmented = make<UXSegmentedControl>();
  Ref<UXSegment> s = make<UXSegment>();
  s->title = "one";
  segmented->segments->add(s);
  add(segmented, UXRect(10, 150, 150, 24));
  realize();
  HWND tree = controlOf(outline);
  // A collapsed branch is in the tree, collapsed.
  EXPECT_EQ(SendMessageW(tree, TVM_GETCOUNT, 0, 0), 2);

  popUp->items->removeAll();
  popUp->selectedIndex = -1;
  for (const char* t : {"x86_64", "arm64", "riscv64"}) popUp->addItem(t, 0);
  popUp->selectItem(2);
  slider->minimum = 100, slider->maximum = 500, slider->value = 450;
  stepper->minimum = 10, stepper->maximum = 20, stepper->value = 15;
  source->top->add(Outline::item("second"));
  outline->reloadData();
  Ref<UXSegment> more = make<UXSegment>();
  more->title = "two";
  segmented->segments->add(more);
  segmented->selectSegment(1);
  realize();

  HWND combo = controlOf(popUp);
  ASSERT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 3);
  wchar_t text[32] = {};
  SendMessageW(combo, CB_GETLBTEXT, 2, reinterpret_cast<LPARAM>(text));
  EXPECT_EQ(w32Utf8(text), "riscv64");
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(w32GetText(combo), "riscv64");
  EXPECT_EQ(SendMessageW(controlOf(slider), TBM_GETRANGEMIN, 0, 0), 100);
  EXPECT_EQ(SendMessageW(controlOf(slider), TBM_GETRANGEMAX, 0, 0), 500);
  EXPECT_EQ(SendMessageW(controlOf(slider), TBM_GETPOS, 0, 0), 450);
  EXPECT_EQ(SendMessageW(controlOf(stepper), UDM_GETPOS32, 0, 0), 15);
  EXPECT_EQ(SendMessageW(controlOf(outline), TVM_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(outline->needsNativeReload, 0);
  EXPECT_EQ(SendMessageW(controlOf(segmented), TB_BUTTONCOUNT, 0, 0), 2);
  EXPECT_TRUE(SendMessageW(controlOf(segmented), TB_ISBUTTONCHECKED, 1, 0));

  // Choosing in the tree selects the outline's row of that item.
  auto second = reinterpret_cast<HTREEITEM>(SendMessageW(controlOf(outline), TVM_GETNEXTITEM, TVGN_ROOT, 0));
  second = reinterpret_cast<HTREEITEM>(SendMessageW(controlOf(outline), TVM_GETNEXTITEM, TVGN_NEXT,
                                                    reinterpret_cast<LPARAM>(second)));
  SendMessageW(controlOf(outline), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(second));
  EXPECT_TRUE(outline->isRowSelected(1));
  EXPECT_FALSE(outline->isRowSelected(0));
  // Expanding in the tree expands the item in the outline.
  auto first = reinterpret_cast<HTREEITEM>(SendMessageW(controlOf(outline), TVM_GETNEXTITEM, TVGN_ROOT, 0));
  NMTREEVIEWW expanded{};
  expanded.hdr = {controlOf(outline), UINT_PTR(outline->node + 1000), UINT(TVN_ITEMEXPANDEDW)};
  expanded.action = TVE_EXPAND;
  expanded.itemNew.hItem = first;
  TVITEMW tv{};
  tv.mask = TVIF_HANDLE | TVIF_PARAM;
  tv.hItem = first;
  SendMessageW(controlOf(outline), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
  expanded.itemNew.lParam = tv.lParam;
  SendMessageW(top(), WM_NOTIFY, expanded.hdr.idFrom, reinterpret_cast<LPARAM>(&expanded));
  EXPECT_TRUE(outline->isExpanded(parent));
  EXPECT_EQ(outline->countRows(), 3);
}

// ---------------------------------------------------------------------------
// The list view shows exactly the table.

std::string cellOf(HWND list, int row, int column) {
  wchar_t buffer[260] = {};
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = buffer;
  item.cchTextMax = 260;
  LRESULT n = SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
  return w32Utf8(buffer, size_t(n < 0 ? 0 : n));
}

std::vector<std::string> columnsOf(HWND list) {
  std::vector<std::string> titles;
  for (int i = 0;; ++i) {
    wchar_t buffer[64] = {};
    LVCOLUMNW c{};
    c.mask = LVCF_TEXT;
    c.pszText = buffer;
    c.cchTextMax = 64;
    if (!SendMessageW(list, LVM_GETCOLUMNW, i, reinterpret_cast<LPARAM>(&c))) break;
    titles.push_back(w32Utf8(buffer));
  }
  return titles;
}

TEST_F(ControlsTest, TheListShowsExactlyTheTablesColumnsRowsAndCellsAfterEveryReload) {
  auto rows = make<Rows>();
  auto table = make<UXTableView>();
  table->columns->add(column("Suite", 90));
  table->columns->add(column("Parameters", 120));
  table->columns->add(column("Mean", 60));
  table->dataSource = Weak<Object>(rows);
  table->multiSelect = 1;
  add(table, UXRect(10, 10, 400, 300));
  table->reloadData();
  realize();
  HWND list = controlOf(table);
  // Three columns, no rows.
  EXPECT_EQ(columnsOf(list), (std::vector<std::string>{"Suite", "Parameters", "Mean"}));
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 0);
  EXPECT_FALSE(GetWindowLongW(list, GWL_STYLE) & LVS_SINGLESEL);

  struct Load {
    std::vector<std::vector<std::string>> cells;
    std::vector<const char*> columns;
  } loads[] = {
      {{{"json", "n=10 \xC2\xB7 O2", "1.5 ms"}, {"sort", "n=5 \xC2\xB7 O3", "20 \xC2\xB5s"}}, {"Suite", "Parameters", "Mean"}},
      {{{"fib", "30"}}, {"Name", "Value"}},
      {{}, {"Only"}},
      {{{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}}, {"K", "V"}},
  };
  for (const Load& load : loads) {
    rows->cells = load.cells;
    table->columns->removeAll();
    for (const char* t : load.columns) table->columns->add(column(t, 70));
    table->reloadData();
    realize();
    EXPECT_EQ(table->needsNativeReload, 0);
    std::vector<std::string> want(load.columns.begin(), load.columns.end());
    EXPECT_EQ(columnsOf(list), want);
    ASSERT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), LRESULT(load.cells.size()));
    for (size_t r = 0; r < load.cells.size(); ++r)
      for (size_t c = 0; c < load.columns.size(); ++c)
        EXPECT_EQ(cellOf(list, int(r), int(c)), load.cells[r][c]) << r << "," << c;
  }

  // The table's selection is pushed; the list's own change comes back.
  table->selectRow(1);
  table->extendSelectionTo(3);
  realize();
  std::vector<int> selected;
  for (int i = -1; (i = int(SendMessageW(list, LVM_GETNEXTITEM, WPARAM(i), LVNI_SELECTED))) >= 0;) selected.push_back(i);
  EXPECT_EQ(selected, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(table->selectionDirty, 0);
  EXPECT_EQ(table->selectedCount(), 3);  // the push did not come back as a user's change

  LVITEMW none{};
  none.stateMask = LVIS_SELECTED;
  SendMessageW(list, LVM_SETITEMSTATE, WPARAM(-1), reinterpret_cast<LPARAM>(&none));
  EXPECT_EQ(table->selectedCount(), 0);
  LVITEMW on{};
  on.stateMask = on.state = LVIS_SELECTED;
  SendMessageW(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&on));
  EXPECT_TRUE(table->isRowSelected(0));
  EXPECT_FALSE(table->isRowSelected(2));
  EXPECT_EQ(table->selectedCount(), 1);

  // A row chosen by the program right after a reload survives the list's
  // emptying and is shown.
  table->reloadData();
  table->selectRow(2);
  realize();
  EXPECT_TRUE(table->isRowSelected(2));
  EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED), 2);
}

TEST_F(ControlsTest, AHundredThousandRowTableIsAVirtualListAnsweringCellsOnDemand) {
  auto rows = make<ManyRows>();
  rows->count = 100000;
  auto table = make<UXTableView>();
  table->columns->add(column("Run", 90));
  table->columns->add(column("Parameters", 120));
  table->dataSource = Weak<Object>(rows);
  table->multiSelect = 1;
  add(table, UXRect(10, 10, 400, 300));
  table->reloadData();
  realize();
  HWND list = controlOf(table);
  EXPECT_TRUE(GetWindowLongW(list, GWL_STYLE) & LVS_OWNERDATA);
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 100000);
  EXPECT_EQ(cellOf(list, 0, 0), "r0");
  EXPECT_EQ(cellOf(list, 99999, 1), "r99999 \xC2\xB7 c1");
  // Select-all (Ctrl+A's message) reaches the table whole.
  LVITEMW all{};
  all.stateMask = all.state = LVIS_SELECTED;
  SendMessageW(list, LVM_SETITEMSTATE, WPARAM(-1), reinterpret_cast<LPARAM>(&all));
  EXPECT_EQ(table->selectedCount(), 100000);
  // A reload to fewer rows: the list follows; rows past the end are empty.
  rows->count = 3;
  table->reloadData();
  realize();
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 3);
  EXPECT_EQ(cellOf(list, 2, 0), "r2");
  // Scrolling the table moves the list by whole rows.
  rows->count = 1000;
  table->reloadData();
  realize();
  int32_t rowHeight = 0;
  RECT item{};
  item.left = LVIR_BOUNDS;
  if (SendMessageW(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item))) rowHeight = item.bottom - item.top;
  ASSERT_GT(rowHeight, 0);
  ASSERT_TRUE(table->scrollView);
  int16_t inner = int16_t(table->scrollView->node);
  d->nativeScrollTo(window->tree->driverTree, inner, rowHeight * 40 + rowHeight / 2);
  EXPECT_EQ(SendMessageW(list, LVM_GETTOPINDEX, 0, 0), 40);
  EXPECT_EQ(d->nativeScrollPx(window->tree->driverTree, inner), rowHeight * 40);
}

// Counts the list-view messages (the whole LVM_ range) a list receives, and
// of them the selection's writes.
class ListMessages {
 public:
  explicit ListMessages(HWND list) : list_(list) { SetWindowSubclass(list_, count, 7, reinterpret_cast<DWORD_PTR>(this)); }
  ~ListMessages() { RemoveWindowSubclass(list_, count, 7); }
  void clear() { all = setState = 0; }
  int all = 0, setState = 0;

 private:
  static LRESULT CALLBACK count(HWND w, UINT m, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR self) {
    auto* me = reinterpret_cast<ListMessages*>(self);
    me->all += m >= LVM_FIRST && m < LVM_FIRST + 0x100;
    me->setState += m == LVM_SETITEMSTATE;
    return DefSubclassProc(w, m, wp, lp);
  }
  HWND list_;
};

// A mouse click on a row (scrolled into view first), with MK_SHIFT or
// MK_CONTROL held. The release is queued ahead, so that a list that waits
// for it in a loop of its own finds it.
void clickRow(HWND list, int row, WPARAM keys) {
  SendMessageW(list, LVM_ENSUREVISIBLE, row, FALSE);
  RECT item{};
  item.left = LVIR_LABEL;
  ASSERT_TRUE(SendMessageW(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&item)));
  LPARAM at = MAKELPARAM(item.left + 4, (item.top + item.bottom) / 2);
  PostMessageW(list, WM_LBUTTONUP, keys, at);
  SendMessageW(list, WM_LBUTTONDOWN, keys | MK_LBUTTON, at);
  drainQueue();
}

// The selection crosses between the table and a list of 100,000 rows by the
// rows that changed: a click, a Shift+click range, a Ctrl+click after
// select-all, and the table's own selections pushed into the list. A step
// that asked or wrote the list row by row would take seconds at this size.
TEST_F(ControlsTest, SelectionsCrossByTheRowsThatChangedAtAHundredThousandRows) {
  auto rows = make<ManyRows>();
  rows->count = 100000;
  auto table = make<UXTableView>();
  table->columns->add(column("Run", 90));
  table->dataSource = Weak<Object>(rows);
  table->multiSelect = 1;
  add(table, UXRect(10, 10, 400, 300));
  table->reloadData();
  realize();
  HWND list = controlOf(table);
  ListMessages counted(list);
  const std::vector<int32_t> probe = {0, 5, 7, 42, 299, 300, 99999};
  auto among = [&](auto isSelected) {
    std::vector<int32_t> on;
    for (int32_t r : probe)
      if (isSelected(r)) on.push_back(r);
    return on;
  };
  // Runs the step with the list's messages counted; with QUORL_STEP_TIMES
  // set its time is printed for perf/win32_runs_table.sh (no result uses it).
  auto run = [&](const char* name, const std::function<void()>& act) {
    counted.clear();
    const ULONGLONG t0 = GetTickCount64();
    act();
    if (getenv("QUORL_STEP_TIMES")) printf("step \"%s\": %llu ms\n", name, GetTickCount64() - t0);
  };
  // The selected rows afterwards, which probed rows are among them, and the
  // messages: for the user's steps at most so many of any kind (the click's
  // own scrolling and place), for the program's exactly so many writes.
  struct Step { const char* name; std::function<void()> act; int32_t count; std::vector<int32_t> among; int messages; };
  const Step user[] = {
      {"click row 0", [&] { clickRow(list, 0, 0); }, 1, {0}, 2},
      {"Shift+click row 299", [&] { clickRow(list, 299, MK_SHIFT); }, 300, {0, 5, 7, 42, 299}, 2},
      {"select-all", [&] { ListView_SetItemState(list, -1, LVIS_SELECTED, LVIS_SELECTED); }, 100000, probe, 1},
      {"Ctrl+click row 5", [&] { clickRow(list, 5, MK_CONTROL); }, 99999, {0, 7, 42, 299, 300, 99999}, 2},
  };
  for (const Step& s : user) {
    run(s.name, s.act);
    EXPECT_EQ(table->selectedCount(), s.count) << s.name;
    EXPECT_EQ(among([&](int32_t r) { return table->isRowSelected(r); }), s.among) << s.name;
    EXPECT_LE(counted.all, s.messages) << s.name;
  }
  const Step pushed[] = {
      {"every row", [&] { table->selectRow(0); table->extendSelectionTo(99999); }, 100000, probe, 1},
      {"all but one", [&] { table->toggleRow(7); }, 99999, {0, 5, 42, 299, 300, 99999}, 2},
      {"one row", [&] { table->selectRow(42); }, 1, {42}, 2},
      {"a range", [&] { table->extendSelectionTo(341); }, 300, {42, 299, 300}, 301},
      {"none", [&] { table->deselectAllRows(); }, 0, {}, 1},
  };
  for (const Step& s : pushed) {
    s.act();
    run(s.name, [&] { realize(); });
    EXPECT_EQ(counted.setState, s.messages) << s.name;
    EXPECT_EQ(ListView_GetSelectedCount(list), UINT(s.count)) << s.name;
    EXPECT_EQ(among([&](int32_t r) { return ListView_GetItemState(list, r, LVIS_SELECTED) != 0; }), s.among) << s.name;
    EXPECT_EQ(table->selectedCount(), s.count) << s.name;  // the push did not come back
  }
  // A single-select list (the tables' default) refuses select-all: its one
  // selected row still shows.
  rows->count = 1;
  auto single = make<UXTableView>();
  single->columns->add(column("Run", 90));
  single->dataSource = Weak<Object>(rows);
  add(single, UXRect(420, 10, 200, 300));
  single->reloadData();
  single->selectRow(0);
  realize();
  EXPECT_EQ(ListView_GetSelectedCount(controlOf(single)), 1u);
}

// A busy step (the UI thread held: Open's loading, a download) puts the
// window and its controls on the screen at once, where a dialog had left
// its image, and shows the wait cursor until it ends.
TEST_F(ControlsTest, ABusyStepShowsTheWholeWindowAndTheWaitCursor) {
  auto scroll = scrollWithLabel(UXRect(10, 10, 200, 100), 100, UXRect(10, 10, 150, 20));
  realize();
  drainQueue();
  HWND control = controlOf(scroll);
  const COLORREF stale = RGB(255, 0, 255);
  RECT r{};
  GetClientRect(control, &r);
  HDC dc = GetDC(control);
  SetDCBrushColor(dc, stale);
  FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
  ReleaseDC(control, dc);
  MsgWaitForMultipleObjectsEx(0, nullptr, 0, QS_ALLINPUT, 0);  // on the screen
  const HCURSOR wait = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT));
  const HCURSOR cross = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_CROSS));
  const HCURSOR arrow = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  SetCursor(cross);
  {
    UXBusyStep step(window);
    EXPECT_EQ(GetCursor(), wait);
    MapWindowPoints(control, nullptr, reinterpret_cast<POINT*>(&r), 2);
    HDC screen = GetDC(nullptr);  // painted pixels reach it only when the system copies them there
    int stalePixels = 0, darkPixels = 0;
    for (int y = r.top; y < r.bottom; y += 2)
      for (int x = r.left; x < r.right; x += 2) {
        const COLORREF p = GetPixel(screen, x, y);
        stalePixels += p == stale;
        darkPixels += GetRValue(p) < 80 && GetGValue(p) < 80 && GetBValue(p) < 80;
      }
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(stalePixels, 0);
    EXPECT_GT(darkPixels, 10);  // the label's text
  }
  EXPECT_EQ(GetCursor(), cross);  // the cursor from before, not none
  // A program that had set no cursor gets the arrow, not none.
  SetCursor(nullptr);
  {
    UXBusyStep step(window);
    EXPECT_EQ(GetCursor(), wait);
  }
  EXPECT_EQ(GetCursor(), arrow);
}

// ---------------------------------------------------------------------------
// Native scroll views.

TEST_F(ControlsTest, AScrollViewScrollsByLinePageAndWheelWithinItsRange) {
  auto scroll = make<UXScrollView>();
  add(scroll, UXRect(10, 10, 200, 202));  // a 200-pixel client inside the border
  scroll->setDocumentHeight(500);
  realize();
  HWND scroller = controlOf(scroll);
  int lo = -1, hi = -1;
  GetScrollRange(scroller, SB_VERT, &lo, &hi);
  EXPECT_EQ(lo, 0);
  EXPECT_EQ(hi, 300);
  ASSERT_EQ(gW32ScrollerN, 1u);
  EXPECT_EQ(gW32Scrollers[0], scroller);

  struct Step {
    UINT message;
    int code;  // scroll-bar code, or the wheel delta
    int want;
  } steps[] = {
      {WM_VSCROLL, SB_LINEDOWN, 20},   {WM_VSCROLL, SB_PAGEDOWN, 120}, {WM_VSCROLL, SB_LINEUP, 100},
      {WM_MOUSEWHEEL, -240, 180},      {WM_MOUSEWHEEL, 100, 180},      {WM_MOUSEWHEEL, 240, 100},
      {WM_VSCROLL, SB_PAGEUP, 0},      {WM_VSCROLL, SB_LINEUP, 0},     {WM_VSCROLL, SB_PAGEDOWN, 100},
      {WM_VSCROLL, SB_PAGEDOWN, 200},  {WM_VSCROLL, SB_PAGEDOWN, 300}, {WM_VSCROLL, SB_PAGEDOWN, 300},
      {WM_VSCROLL, SB_ENDSCROLL, 300}, {WM_MOUSEWHEEL, -1200, 300},
  };
  for (const Step& s : steps) {
    WPARAM w = s.message == WM_MOUSEWHEEL ? MAKEWPARAM(0, s.code) : WPARAM(s.code);
    SendMessageW(scroller, s.message, w, 0);
    EXPECT_EQ(GetScrollPos(scroller, SB_VERT), s.want) << s.message << " " << s.code;
  }
  EXPECT_EQ(scroll->scrollPx(), 300);
  EXPECT_EQ(scroll->offset, 300);  // the bar's end, past the viewport's (its border is not the client's)

  // A shorter document: the range shrinks and the position with it.
  scroll->setDocumentHeight(150);
  realize();
  GetScrollRange(scroller, SB_VERT, &lo, &hi);
  EXPECT_EQ(hi, 0);
  EXPECT_EQ(GetScrollPos(scroller, SB_VERT), 0);

  // The window going drops its scroll views from the table.
  window->close();
  EXPECT_EQ(gW32ScrollerN, 0u);
}

// The scroller's client area as painted, one COLORREF a pixel. Dark is
// below half in every channel: the controls' font may be smoothed, so that
// few of its pixels are black.
struct Canvas {
  int w = 0, h = 0;
  std::vector<uint32_t> px;
  bool anyDark(int x0, int y0, int x1, int y1) const {
    for (int y = std::max(y0, 0); y < std::min(y1, h); ++y)
      for (int x = std::max(x0, 0); x < std::min(x1, w); ++x)
        if ((px[size_t(y) * size_t(w) + size_t(x)] & 0x808080) == 0) return true;
    return false;
  }
};

// Paints with fn into a white 32-bit DIB of w x h.
template <class F> Canvas paint(int w, int h, F&& fn) {
  W32Dib bitmap(w, h);
  W32MemoryDC dc(nullptr);
  W32Select chosen(dc.get(), bitmap.get());
  RECT all{0, 0, w, h};
  FillRect(dc.get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SelectObject(dc.get(), gW32Font);
  fn(dc.get());
  GdiFlush();
  return Canvas{w, h, std::vector<uint32_t>(bitmap.bits(), bitmap.bits() + size_t(w) * size_t(h))};
}

TEST_F(ControlsTest, LabelsInAScrollViewAreDrawnAtTheScrolledPlace) {
  auto scroll = scrollWithLabel(UXRect(10, 170, 200, 102), 400, UXRect(0, 30, 150, 16));
  realize();
  HWND scroller = controlOf(scroll);
  ASSERT_NE(scroller, nullptr);

  struct Case {
    int pos;
    int textTop;  // the label's text in the scroller: 30 - pos + 2
  } cases[] = {{0, 32}, {20, 12}, {40, -8}};
  for (const Case& c : cases) {
    SetScrollPos(scroller, SB_VERT, c.pos, FALSE);
    Canvas canvas = paint(200, 100, [&](HDC dc) { w32ScrollPaint(scroller, dc); });
    EXPECT_TRUE(canvas.anyDark(2, c.textTop, 60, c.textTop + 13)) << c.pos;
    // Nothing of it outside its line (the frame is not drawn: no border).
    EXPECT_FALSE(canvas.anyDark(0, c.textTop + 16, 200, 100)) << c.pos;
    EXPECT_FALSE(canvas.anyDark(0, 0, 200, c.textTop - 1)) << c.pos;
  }
}

// A document wider than the view: the native horizontal bar mirrors the
// toolkit's range and position; its codes, Shift with the wheel and the
// horizontal wheel scroll sideways within the range; and the document is
// painted moved left by the position. A document that fits has no bar.
TEST_F(ControlsTest, AWideScrollViewScrollsSideways) {
  auto scroll = scrollWithLabel(UXRect(10, 10, 200, 102), 60, UXRect(250, 30, 150, 16));
  scroll->setDocumentWidth(150);
  realize();
  HWND scroller = controlOf(scroll);
  ASSERT_NE(scroller, nullptr);
  int lo = -1, hi = -1;
  GetScrollRange(scroller, SB_HORZ, &lo, &hi);
  EXPECT_EQ(hi, 0);

  scroll->setDocumentWidth(600);
  realize();
  GetScrollRange(scroller, SB_HORZ, &lo, &hi);
  EXPECT_EQ(hi, 400);
  EXPECT_EQ(scroll->maxScrollX(), 400);
  struct Step {
    UINT message;
    WPARAM wParam;
    int want;
  } steps[] = {
      {WM_HSCROLL, SB_LINEDOWN, 20},
      {WM_HSCROLL, SB_PAGEDOWN, 120},
      {WM_MOUSEHWHEEL, MAKEWPARAM(0, 120), 160},          // tilted right
      {WM_MOUSEWHEEL, MAKEWPARAM(MK_SHIFT, -120), 200},   // Shift, towards the user
      {WM_MOUSEWHEEL, MAKEWPARAM(MK_SHIFT, 120), 160},
      {WM_HSCROLL, SB_PAGEDOWN, 260},
      {WM_HSCROLL, SB_PAGEDOWN, 360},
      {WM_HSCROLL, SB_PAGEDOWN, 400},
      {WM_HSCROLL, SB_LINEUP, 380},
  };
  for (const Step& s : steps) {
    SendMessageW(scroller, s.message, s.wParam, 0);
    EXPECT_EQ(scroll->offsetX, s.want) << s.message << " " << s.wParam;
    EXPECT_EQ(GetScrollPos(scroller, SB_HORZ), s.want) << s.message << " " << s.wParam;
  }
  EXPECT_EQ(GetScrollPos(scroller, SB_VERT), 0);  // the wheel without Shift was not asked

  struct Case {
    int pos;
    int textLeft;  // the label's text in the scroller: 250 - pos + 2
  } cases[] = {{200, 52}, {240, 12}};
  for (const Case& c : cases) {
    scroll->scrollToX(c.pos);
    Canvas canvas = paint(200, 80, [&](HDC dc) { w32ScrollPaint(scroller, dc); });
    EXPECT_TRUE(canvas.anyDark(c.textLeft, 30, c.textLeft + 40, 46)) << c.pos;
    EXPECT_FALSE(canvas.anyDark(0, 0, c.textLeft - 3, 80)) << c.pos;
  }
}

TEST_F(ControlsTest, StandInsOfFieldsWithoutControlsHideASecureFieldsText) {
  // Not realised: the driver draws stand-ins.
  auto plainA = make<UXTextField>(), plainB = make<UXTextField>();
  auto secretA = make<UXTextField>(), secretB = make<UXTextField>();
  secretA->secure = secretB->secure = 1;
  Ref<UXTextField> fields[] = {plainA, plainB, secretA, secretB};
  const char* texts[] = {"abcd", "wxyz", "abcd", "wxyz"};
  for (int i = 0; i < 4; ++i) {
    add(fields[i], UXRect(0, 0, 120, 24));
    fields[i]->setText(texts[i]);
  }
  auto drawn = [&](const Ref<UXTextField>& field) {
    return paint(120, 24, [&](HDC dc) {
      HDC previous = gW32CurHdc;
      gW32CurHdc = dc;
      w32TreeDrawFrom(window->tree->driverTree.get(), int16_t(field->node));
      gW32CurHdc = previous;
    });
  };
  Canvas a = drawn(plainA), b = drawn(plainB), sa = drawn(secretA), sb = drawn(secretB);
  EXPECT_NE(a.px, b.px);    // plain texts show
  EXPECT_EQ(sa.px, sb.px);  // same length, same bullets: the text cannot be read
  EXPECT_NE(sa.px, a.px);
  EXPECT_TRUE(sa.anyDark(4, 3, 100, 20));
}

// ---------------------------------------------------------------------------
// Row drags.

TEST_F(ControlsTest, ARowDragEndsInTheHoverAndDropBlocks) {
  Ref<UXApplication> savedApp = gApp;
  gApp = make<UXApplication>();
  auto log = make<DragLog>();
  gApp->onItemHover = log->block("hover");
  gApp->onItemDrop = log->block("drop");
  auto rows = make<Rows>();
  rows->cells = {{"first"}, {"second"}};
  auto table = make<UXTableView>();
  table->columns->add(column("Run", 90));
  table->dataSource = Weak<Object>(rows);
  table->rowsDraggable = 1;
  add(table, UXRect(30, 20, 200, 100));
  table->reloadData();
  realize();
  HWND list = controlOf(table);
  const std::string w = std::to_string(window->handle);

  struct Case {
    const char* what;
    std::vector<MSG> posted;  // queued before the drag starts
    std::vector<std::string> want;
    bool quitAfter;
  } cases[] = {
      {"move and drop",
       {{top(), WM_MOUSEMOVE, 0, MAKELPARAM(300, 40)}, {top(), WM_LBUTTONUP, 0, MAKELPARAM(310, 45)}},
       {"hover second " + w + " 300,40", "hover second " + w + " -1,-1", "drop second " + w + " 310,45"},
       false},
      {"escape",
       {{top(), WM_MOUSEMOVE, 0, MAKELPARAM(50, 60)}, {top(), WM_KEYDOWN, VK_ESCAPE, 0}},
       {"hover second " + w + " 50,60", "hover second " + w + " -1,-1"},
       false},
      {"quit", {{nullptr, WM_QUIT, 0, 0}}, {"hover second " + w + " -1,-1"}, true},
      {"right button up ends only a right drag",
       {{top(), WM_RBUTTONUP, 0, MAKELPARAM(1, 2)}, {top(), WM_LBUTTONUP, 0, MAKELPARAM(3, 4)}},
       {"hover second " + w + " -1,-1", "drop second " + w + " 3,4"},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    drainQueue();
    log->events.clear();
    for (const MSG& m : c.posted) {
      if (m.message == WM_QUIT) PostQuitMessage(0);
      else PostMessageW(m.hwnd, m.message, m.wParam, m.lParam);
    }
    // The list's begin-drag notice for row 1, as the window procedure hears it.
    NMLISTVIEW begin{};
    begin.hdr = {list, UINT_PTR(table->node + 1000), UINT(LVN_BEGINDRAG)};
    begin.iItem = 1;
    begin.ptAction = {5, 5};
    SendMessageW(top(), WM_NOTIFY, begin.hdr.idFrom, reinterpret_cast<LPARAM>(&begin));
    EXPECT_EQ(log->events, c.want);
    EXPECT_EQ(quitQueued(), c.quitAfter);  // a quit met in the drag is passed on
    EXPECT_EQ(GetCapture(), nullptr);
  }

  // A tree's drag starts with a hover at its start point, in window terms
  // (the point is inside the tree's one-pixel border).
  auto source = make<Outline>();
  source->top->add(Outline::item("leaf"));
  auto outline = make<UXOutlineView>();
  outline->columns->add(column("", 100));
  outline->outlineDataSource = Weak<Object>(source);
  add(outline, UXRect(300, 200, 150, 100));
  outline->reloadData();
  realize();
  drainQueue();
  log->events.clear();
  PostMessageW(top(), WM_LBUTTONUP, 0, MAKELPARAM(320, 210));
  w32RowDrag(controlOf(outline), 1, "leaf", false, 4, 6);
  EXPECT_EQ(log->events, (std::vector<std::string>{"hover leaf " + w + " 305,207", "hover leaf " + w + " -1,-1",
                                                   "drop leaf " + w + " 320,210"}));
  drainQueue();
  gApp = savedApp;
}

}  // namespace
}  // namespace quorl::test
