// Selection rules of row clicks, the lists handed to and taken from the
// native list, drag selection and row drags.
#include <gtest/gtest.h>

#include <set>

#include "TableTestSupport.h"
#include "foundation/String.h"
#include "ux/controls/IndexSet.h"

namespace quorl::test {
namespace {

class UXTableSelectionTest : public ScrollTestBase {
 protected:
  void SetUp() override {
    ScrollTestBase::SetUp();
    driver->nativeScrolling = false;
    source = make<GridSource>();
    source->rows = 10;
    table = make<UXTableView>();
    auto column = make<UXTableColumn>();
    table->columns->add(column);
    table->dataSource = source;
    log = make<SelectionLog>();
    table->delegate = log;
    place(table, UXRect(0, 0, 200, 200));
    table->reloadData();
  }
  std::vector<int32_t> selection() const {
    std::vector<int32_t> out;
    for (int32_t r = 0; r < table->rowCount; r++)
      if (table->isRowSelected(r)) out.push_back(r);
    return out;
  }
  void click(int32_t row, uint16_t mods = 0) { table->rowViewFor(row)->mouseDown(*press(5, 30, mods)); }

  Ref<GridSource> source;
  Ref<UXTableView> table;
  Ref<SelectionLog> log;
};

struct ClickCase {
  const char* name;
  uint8_t multi;
  std::vector<int32_t> before;
  int32_t anchorBefore;
  int32_t row;
  uint16_t mods;
  std::vector<int32_t> after;
  int32_t anchorAfter;
  std::vector<int32_t> calls;
};

TEST_F(UXTableSelectionTest, ClickRules) {
  const ClickCase cases[] = {
      {"plain on the only selected row", 0, {3}, 3, 3, 0, {3}, 3, {}},
      {"plain on another row", 0, {3}, 3, 5, 0, {5}, 5, {5}},
      {"plain with two selected", 1, {3, 4}, 3, 3, 0, {3}, 3, {3}},
      {"ctrl without multi is plain", 0, {3}, 3, 5, 4, {5}, 5, {5}},
      {"shift without multi is plain", 0, {3}, 3, 5, 1, {5}, 5, {5}},
      {"ctrl on a selected row", 1, {3, 4}, 4, 3, 4, {4}, -1, {3}},
      {"ctrl on an unselected row", 1, {3}, 3, 6, 4, {3, 6}, 6, {6}},
      {"shift from the anchor", 1, {7}, 7, 3, 1, {3, 4, 5, 6, 7}, 7, {3}},
      {"shift with the second bit", 1, {1}, 1, 3, 2, {1, 2, 3}, 1, {3}},
      {"shift without an anchor", 1, {}, -1, 3, 1, {3}, -1, {3}},
      {"ctrl wins over shift", 1, {2}, 2, 4, 5, {2, 4}, 4, {4}},
  };
  for (const ClickCase& c : cases) {
    table->multiSelect = c.multi;
    table->deselectAllRows();
    for (int32_t r : c.before) table->setRowSelected(r, 1);
    table->anchorRow = c.anchorBefore;
    log->calls.clear();
    click(c.row, c.mods);
    EXPECT_EQ(selection(), c.after) << c.name;
    EXPECT_EQ(table->anchorRow, c.anchorAfter) << c.name;
    EXPECT_EQ(log->calls, c.calls) << c.name;
    for (int32_t r = 0; r < 10; r++)
      EXPECT_EQ(nodeOf(*table->rowViewFor(r)).selected, table->isRowSelected(r) ? 1 : 0) << c.name << " " << r;
  }
}

TEST_F(UXTableSelectionTest, InvalidRowsAndReloads) {
  table->selectRow(4);
  log->calls.clear();
  table->selectRow(-1);  // clears, becomes the anchor, still reported
  EXPECT_EQ(selection(), std::vector<int32_t>{});
  EXPECT_EQ(table->anchorRow, -1);
  EXPECT_EQ(log->calls, std::vector<int32_t>{-1});
  table->toggleRow(10);
  table->extendSelectionTo(-2);
  table->setRowSelected(99, 1);
  EXPECT_EQ(log->calls.size(), 1u);
  EXPECT_EQ(table->selectedCount(), 0);
  table->selectRow(2);
  table->selectionDirty = 0;
  log->calls.clear();
  table->reloadData();
  EXPECT_EQ(table->selectedCount(), 0);
  EXPECT_EQ(table->anchorRow, -1);
  EXPECT_EQ(table->selectionDirty, 0);
  EXPECT_TRUE(log->calls.empty());
  EXPECT_EQ(nodeOf(*table->rowViewFor(2)).selected, 0);
}

TEST_F(UXTableSelectionTest, ListsForTheNativeListAreNotCut) {
  for (int32_t r : {1, 4, 6}) table->setRowSelected(r, 1);
  uint32_t buffer[2] = {0, 0};
  EXPECT_EQ(table->selectedRowList(buffer, 2), 2u);
  EXPECT_EQ(buffer[0], 1u);
  EXPECT_EQ(buffer[1], 4u);
  EXPECT_EQ(table->selectedRowList(buffer, 0), 0u);

  source->rows = 1000;
  table->reloadData();
  table->multiSelect = 1;
  table->anchorRow = 10;
  table->extendSelectionTo(609);
  EXPECT_EQ(table->selectedCount(), 600);
  const std::vector<uint32_t> rows = table->selectedRows();
  ASSERT_EQ(rows.size(), 600u);
  EXPECT_EQ(rows.front(), 10u);
  EXPECT_EQ(rows.back(), 609u);
  EXPECT_EQ(table->selectionDirty, 1);

  std::vector<uint32_t> native;
  for (uint32_t r = 100; r < 400; r++) native.push_back(r);
  native.push_back(5000);  // past the rows: ignored, still the anchor
  log->calls.clear();
  table->applyNativeSelection(native.data(), uint32_t(native.size()));
  EXPECT_EQ(table->selectedCount(), 300);
  EXPECT_EQ(table->anchorRow, 5000);
  EXPECT_EQ(table->selectionDirty, 0);
  EXPECT_EQ(log->calls, std::vector<int32_t>{5000});
}

// A change the native list reports for one row, a range or every row
// leaves the rest of the selection as it was.
TEST_F(UXTableSelectionTest, NativeRowChangesKeepTheRestOfTheSelection) {
  struct Case {
    const char* name;
    std::vector<int32_t> before;
    int32_t first, last;
    uint8_t on;
    std::vector<int32_t> after;
    int32_t anchor;
  } cases[] = {
      {"select-all", {}, 0, 9, 1, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, 9},
      {"one row off after all", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, 4, 4, 0, {0, 1, 2, 3, 5, 6, 7, 8, 9}, 9},
      {"the last row off", {2, 9}, 9, 9, 0, {2}, 2},
      {"deselect-all", {1, 3}, -1, 100, 0, {}, -1},
      {"a range on", {0}, 5, 7, 1, {0, 5, 6, 7}, 7},
      {"a range past the rows", {}, 8, 20, 1, {8, 9}, 9},
      {"a row already on", {3}, 3, 3, 1, {3}, 3},
      {"a row above the last", {9}, 3, 3, 1, {3, 9}, 9},  // the anchor stays at the last
  };
  for (const Case& c : cases) {
    table->deselectAllRows();
    for (int32_t r : c.before) table->setRowSelected(r, 1);
    log->calls.clear();
    table->applyNativeRowChange(c.first, c.last, c.on);
    EXPECT_EQ(selection(), c.after) << c.name;
    EXPECT_EQ(table->selectedCount(), int32_t(c.after.size())) << c.name;
    EXPECT_EQ(table->anchorRow, c.anchor) << c.name;
    EXPECT_EQ(log->calls, std::vector<int32_t>{c.anchor}) << c.name;
    EXPECT_EQ(table->selectionDirty, 0) << c.name;
    EXPECT_EQ(nodeOf(*table->rowViewFor(4)).selected, table->isRowSelected(4) ? 1 : 0) << c.name;
  }
}

TEST_F(UXTableSelectionTest, NativeSelectionsReachTheTap) {
  std::vector<std::string> seen;
  auto target = make<Object>();
  gEventTap.target = target;
  gEventTap.function = [&](const Ref<Object>&, UXEvent& e) {
    seen.push_back(std::string(e.description()->cString()) + " " + e.object->description()->cString());
  };
  const uint32_t list[] = {2, 5, 6};
  table->applyNativeSelection(list, 3);
  table->applyNativeSelection(nullptr, 0);
  table->applyNativeRowChange(0, 9, 1);
  table->applyNativeRowChange(4, 4, 0);
  EXPECT_EQ(log->calls, (std::vector<int32_t>{6, -1, 9, 9}));
  const std::string node = std::to_string(table->node);
  EXPECT_EQ(seen, (std::vector<std::string>{"<UXEvent>(13, 0, 0, 0, 0, 0, 0, " + node + ", 6) (2, 5-6)",
                                            "<UXEvent>(13, 0, 0, 0, 0, 0, 0, " + node + ", 65535) ()",
                                            "<UXEvent>(13, 0, 0, 0, 0, 0, 0, " + node + ", 9) (0-9)",
                                            "<UXEvent>(13, 0, 0, 0, 0, 0, 0, " + node + ", 9) (0-3, 5-9)"}));
  gEventTap.function = nullptr;  // a target alone: nothing is called
  table->applyNativeSelection(list, 1);
  table->applyNativeRowChange(1, 1, 1);
  EXPECT_EQ(seen.size(), 4u);
}

TEST_F(UXTableSelectionTest, RowAtWindowY) {
  // The document starts below the 20-pixel header.
  EXPECT_EQ(table->rowAtWindowY(5), 0);
  EXPECT_EQ(table->rowAtWindowY(20 + 33), 2);
  EXPECT_EQ(table->rowAtWindowY(590), 9);
  source->rows = 0;
  table->reloadData();
  EXPECT_EQ(table->rowAtWindowY(30), -1);
}

TEST_F(UXTableSelectionTest, DragSelection) {
  driver->dragSteps = {{5, 20 + 40}, {5, 20 + 90}, {5, 20 + 70}};
  click(1);  // plain: select 1, then follow the pointer
  EXPECT_EQ(selection(), std::vector<int32_t>{4});
  table->multiSelect = 1;
  driver->dragSteps = {{5, 20 + 40}, {5, 20 + 90}, {5, 20 + 70}};
  click(1);
  EXPECT_EQ(selection(), (std::vector<int32_t>{1, 2, 3, 4}));
  EXPECT_EQ(table->anchorRow, 1);
}

class DropLog : public Object {
 public:
  std::vector<std::string> events;
  UXDropBlock block(const char* kind) {
    UXDropBlock b;
    b.target = self();
    std::string k = kind;
    b.function = [k](const Ref<Object>& t, const char* text, int32_t w, int32_t x, int32_t y) {
      static_cast<DropLog*>(t.get())->events.push_back(k + " " + text + " " + std::to_string(w) + " " +
                                                       std::to_string(x) + " " + std::to_string(y));
    };
    return b;
  }
};

TEST_F(UXTableSelectionTest, RowDragsDeliverHoversAndADrop) {
  auto drops = make<DropLog>();
  gApp->onItemHover = drops->block("hover");
  gApp->onItemDrop = drops->block("drop");
  table->rowsDraggable = 1;
  driver->dragSteps = {{6, 31}, {7, 32}, {5, 33}};  // never more than 3 pixels
  click(3);
  EXPECT_TRUE(drops->events.empty());
  EXPECT_EQ(selection(), std::vector<int32_t>{3});  // the click's selection stays
  driver->dragSteps = {{6, 31}, {9, 30}, {40, 80}};
  click(2);
  EXPECT_EQ(drops->events, (std::vector<std::string>{"hover r2c0 1 9 30", "hover r2c0 1 40 80",
                                                     "hover r2c0 1 -1 -1", "drop r2c0 1 40 80"}));
  // A hover handler that reloads frees the data source's texts; the drop
  // still carries the row's text.
  drops->events.clear();
  UXDropBlock reloading;
  reloading.target = table;
  reloading.function = [](const Ref<Object>& t, const char*, int32_t, int32_t, int32_t) {
    staticCast<UXTableView>(t)->reloadData();
  };
  gApp->onItemHover = reloading;
  driver->dragSteps = {{40, 80}};
  click(2);
  EXPECT_EQ(drops->events, std::vector<std::string>{"drop r2c0 1 40 80"});
  // Without modal tracking nothing is dragged.
  drops->events.clear();
  driver->modalDrags = false;
  driver->dragSteps = {{90, 90}};
  click(2);
  EXPECT_TRUE(drops->events.empty());
}

class ChainProbe : public UXResponder {
 public:
  int rights = 0;
  void rightMouseDown(UXEvent&) override { rights++; }
};

TEST_F(UXTableSelectionTest, RightClicksDragOrPassOn) {
  auto probe = make<ChainProbe>();
  Ref<UXTableRow> r = table->rowViewFor(3);
  r->nextResponder = probe;
  r->rightMouseDown(*press(5, 30));
  EXPECT_EQ(probe->rights, 1);
  EXPECT_EQ(table->selectedCount(), 0);
  table->rowsDraggable = 1;
  r->rightMouseDown(*press(5, 30));
  EXPECT_EQ(probe->rights, 1);
  EXPECT_EQ(selection(), std::vector<int32_t>{3});
}

}  // namespace
}  // namespace quorl::test
