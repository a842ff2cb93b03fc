// The table: pool rules, what a reload builds and asks, drawing, outlets,
// and tables far taller than a 16-bit frame.
#include <gtest/gtest.h>

#include "TableTestSupport.h"
#include "foundation/String.h"

namespace quorl::test {
namespace {

class UXTableViewTest : public ScrollTestBase {
 protected:
  // Three columns "A" 100, "B" 50, "" 30; the table at (0, 0, 400, h).
  Ref<UXTableView> build(uint32_t rowCount, int32_t h = 140, bool reload = true) {
    source = make<GridSource>();
    source->rows = rowCount;
    table = make<UXTableView>();
    const char* titles[] = {"A", "B", ""};
    const uint16_t widths[] = {100, 50, 30};
    for (int i = 0; i < 3; i++) {
      auto c = make<UXTableColumn>();
      c->title = titles[i];
      c->width = widths[i];
      table->columns->add(c);
    }
    table->dataSource = source;
    place(table, UXRect(0, 0, 400, h));
    if (reload) table->reloadData();
    return table;
  }
  std::string cellText(int32_t row, int32_t column) {
    Ref<UXTableRow> r = table->rowViewFor(row);
    if (!r) return "<none>";
    const char* t = staticCast<UXTableCell>(r->subviews->get(uint32_t(column)))->text;
    return t ? t : "<null>";
  }
  Ref<GridSource> source;
  Ref<UXTableView> table;
};

TEST(UXTablePool, WindowsAroundTheScrollPosition) {
  struct { int32_t viewport, rowHeight, rows, views; } sizes[] = {
      {120, 16, 100000, 25}, {120, 16, 5, 5}, {120, 16, 0, 0}, {0, 16, 100, 17}, {129, 16, 100, 26},
      {120, 0, 1000, 137},  // a row height below 1 counts as 1
  };
  for (auto& s : sizes) EXPECT_EQ(UXTablePool::viewsFor(s.viewport, s.rowHeight, s.rows), s.views) << s.viewport;

  struct { int32_t px, rows, views, first, count; } windows[] = {
      {0, 100000, 25, 0, 25},          {160, 100000, 25, 2, 25},   {1600, 100000, 25, 92, 25},
      {1599880, 100000, 25, 99975, 25}, {0, 5, 25, 0, 5},           {-50, 100, 25, 0, 25},
  };
  for (auto& w : windows) {
    const UXTablePool p = UXTablePool::windowFor(w.px, 16, w.rows, w.views);
    EXPECT_EQ(p.first, w.first) << w.px;
    EXPECT_EQ(p.count, w.count) << w.px;
  }
  EXPECT_EQ(UXTablePool::rowAt(-3, 16, 10), 0);
  EXPECT_EQ(UXTablePool::rowAt(47, 16, 10), 2);
  EXPECT_EQ(UXTablePool::rowAt(5000, 16, 10), 9);
  EXPECT_EQ(UXTablePool::rowAt(5, 16, 0), -1);
  EXPECT_EQ(UXTablePool::rowAt(int64_t(99999) * 16 + 3, 16, 100000), 99999);
}

TEST_F(UXTableViewTest, FreshValuesAndDescriptions) {
  auto t = make<UXTableView>();
  EXPECT_STREQ(t->description()->cString(), "<UXTableView>(0, 0, 20, 16, -1, 0, 0, 0, 0, 0)");
  EXPECT_STREQ(make<UXTableColumn>()->description()->cString(), "<UXTableColumn>(80)");
  EXPECT_STREQ(make<UXTableRow>()->description()->cString(), "<UXTableRow>(0)");
  build(2, 140, false);
  for (int32_t i : {-1, 3, 100}) {
    EXPECT_STREQ(table->columnTitle(i), "") << i;
    EXPECT_EQ(table->columnWidth(i), 80) << i;
  }
  EXPECT_STREQ(table->columnTitle(1), "B");
  EXPECT_EQ(table->columnWidth(2), 30);
}

TEST_F(UXTableViewTest, AttachAndFirstReloadBuildTheTree) {
  build(5);
  const UXNode& tn = nodeOf(*table);
  EXPECT_EQ(tn.clips, 1);
  EXPECT_EQ(tn.kind, 5u);
  EXPECT_EQ(tn.peer.lock(), table);
  EXPECT_EQ(nodeOf(*table->header).kind, 1u);
  EXPECT_EQ(nodeOf(*table->header).clips, 1);
  EXPECT_EQ(tn.firstChild, int16_t(table->scrollView->node));
  EXPECT_EQ(tn.lastChild, int16_t(table->header->node));
  EXPECT_EQ(frameOf(*table->header), UXRect(0, 0, 400, 20));
  EXPECT_EQ(table->header->autoresizeMask, 16u);
  EXPECT_EQ(table->scrollView->autoresizeMask, 48u);
  EXPECT_EQ(table->scrollView->headerHeight, 20);
  EXPECT_EQ(table->scrollView->headerView.lock(), table->header);
  EXPECT_EQ(table->scrollView->documentHeight, 80);
  EXPECT_EQ(table->needsNativeReload, 1);
  EXPECT_EQ(table->poolSize, 5);
  for (int32_t i = 0; i < 5; i++) {
    Ref<UXTableRow> r = staticCast<UXTableRow>(table->rows->get(uint32_t(i)));
    EXPECT_EQ(r->rowIndex, uint32_t(i));
    EXPECT_EQ(frameOf(*r), UXRect(0, i * 16, 400, 16));
      EXPECT_EQ(nodeOf(*r).clips, 1);
    EXPECT_EQ(nodeOf(*r).kind, 1u);
    EXPECT_EQ(nodeOf(*staticCast<UXView>(r->subviews->get(0))).kind, 1u);
    EXPECT_EQ(nodeOf(*r).hidden, 0);
  }
  Ref<UXTableRow> r2 = table->rowViewFor(2);
  EXPECT_EQ(frameOf(*staticCast<UXView>(r2->subviews->get(0))), UXRect(0, 0, 100, 16));
  EXPECT_EQ(frameOf(*staticCast<UXView>(r2->subviews->get(1))), UXRect(100, 0, 50, 16));
  EXPECT_EQ(frameOf(*staticCast<UXView>(r2->subviews->get(2))), UXRect(150, 0, 30, 16));
  EXPECT_EQ(cellText(2, 1), "r2c1");
}

TEST_F(UXTableViewTest, ReloadsHideSurplusAndGrowThePoolOnly) {
  build(5);
  source->rows = 3;
  table->reloadData();
  EXPECT_EQ(table->poolSize, 5);
  EXPECT_EQ(nodeOf(*staticCast<UXView>(table->rows->get(3))).hidden, 1);
  EXPECT_EQ(nodeOf(*staticCast<UXView>(table->rows->get(4))).hidden, 1);
  EXPECT_EQ(table->rowViewFor(3), nullptr);
  source->rows = 7;
  table->reloadData();
  EXPECT_EQ(table->poolSize, 7);
  EXPECT_EQ(cellText(6, 0), "r6c0");
  source.reset();  // no data source: no rows
  table->reloadData();
  EXPECT_EQ(table->rowCount, 0);
  EXPECT_EQ(table->scrollView->documentHeight, 0);
  for (const Ref<Object>& o : *table->rows) EXPECT_EQ(nodeOf(*staticCast<UXView>(o)).hidden, 1);
  EXPECT_STREQ(table->nativeCellText(0, 0), "");
}

// The pool keeps views for the rows in view only: a long table asks only
// for the cells it shows, and holds as many nodes as a short one.
TEST_F(UXTableViewTest, LongTablesHoldABoundedPool) {
  build(1000);
  const uint32_t nodesAt1000 = table->nodeCount();
  EXPECT_EQ(table->poolSize, 25);
  source->asked.clear();
  source->rows = 100000;
  table->reloadData();
  EXPECT_EQ(table->poolSize, 25);
  EXPECT_EQ(table->nodeCount(), nodesAt1000);
  EXPECT_EQ(nodesAt1000, 1u + 4u + 1u + 25u * 4u);
  EXPECT_EQ(source->asked.size(), 75u);
  EXPECT_EQ(source->asked.back(), std::make_pair(24u, 2u));
  // Scrolling one row down asks for the one row that enters the window
  // once the margin is used up.
  table->scrollView->scrollTo(9 * 16);
  source->asked.clear();
  table->scrollView->scrollTo(10 * 16);
  EXPECT_EQ(source->asked, (std::vector<std::pair<uint32_t, uint32_t>>{{26, 0}, {26, 1}, {26, 2}}));
  EXPECT_EQ(table->rowViewFor(1), nullptr);
  EXPECT_EQ(cellText(26, 2), "r26c2");
}

class UXTableLongTest : public UXTableViewTest, public ::testing::WithParamInterface<bool> {};

// A 100,000-row table scrolls to its last row, shows it, and a click
// through the window selects it.
TEST_P(UXTableLongTest, ScrollsToTheLastRowAndSelectsIt) {
  driver->nativeScrolling = GetParam();
  auto window = make<UXWindow>();
  auto content = make<UXView>();
  window->open("T", UXRect(0, 0, 800, 600), content);
  gApp->addWindow(window);
  tree = window->tree;
  root = content;
  build(100000);
  auto log = make<SelectionLog>();
  table->delegate = log;
  table->scrollRowToVisible(99999);
  EXPECT_EQ(table->scrollView->scrollPx(), 99999 * 16 + 16 - 120);
  EXPECT_EQ(table->scrollView->offset, table->scrollView->maxScroll());
  Ref<UXTableRow> last = table->rowViewFor(99999);
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(last->rowIndex, 99999u);
  EXPECT_EQ(cellText(99999, 0), "r99999c0");
  // Its frame is in range and, scrolled, sits at the viewport's bottom.
  const int32_t docY = GetParam() ? -table->scrollView->hitScrollOffset() : table->scrollView->documentView->frame().y();
  EXPECT_EQ(docY + last->frame().y(), 120 - 16);
  EXPECT_EQ(table->poolSize, 25);

  UXEvent click;
  click.type = kUXEventMouseDown;
  click.window = window->handle;
  click.x = 50;
  click.y = 20 + 120 - 8;  // inside the last row, below the header
  gApp->dispatchEvent(click);
  EXPECT_TRUE(table->isRowSelected(99999));
  EXPECT_EQ(table->selectedCount(), 1);
  EXPECT_EQ(nodeOf(*last).selected, 1);
  EXPECT_EQ(log->calls, std::vector<int32_t>{99999});
  EXPECT_EQ(table->rowAtWindowY(GetParam() ? 20 + 120 - 8 + table->scrollView->hitScrollOffset() : 20 + 120 - 8),
            99999);
  // Back at the top the view of the last row is given to another row; the
  // selection stays with the data row.
  table->scrollView->scrollTo(0);
  EXPECT_EQ(table->rowViewFor(99999), nullptr);
  EXPECT_TRUE(table->isRowSelected(99999));
  EXPECT_EQ(table->selectedRows(), std::vector<uint32_t>{99999});
  table->scrollRowToVisible(99999);
  EXPECT_EQ(nodeOf(*table->rowViewFor(99999)).selected, 1);
  window->close();
}

INSTANTIATE_TEST_SUITE_P(BothPaths, UXTableLongTest, ::testing::Values(false, true));

TEST_F(UXTableViewTest, CellRowAndHeaderDrawing) {
  struct { int16_t h; const char* line; } cells[] = {
      {16, "drawText \"x\" 4 1 1 13"}, {30, "drawText \"x\" 4 3 1 24"}, {10, "drawText \"x\" 4 -1 1 13"}};
  for (auto& c : cells) {
    auto cell = make<UXTableCell>();
    RecordingGraphics g;
    cell->drawRect(g, UXRect(0, 0, 50, c.h));
    EXPECT_TRUE(g.lines.empty());
    cell->text = "x";
    cell->drawRect(g, UXRect(0, 0, 50, c.h));
    EXPECT_EQ(g.text(), std::string(c.line) + "\n");
  }
  build(3);
  RecordingGraphics g;
  Ref<UXTableRow> r = table->rowViewFor(1);
  r->drawRect(g, UXRect(0, 0, 400, 16));
  EXPECT_TRUE(g.lines.empty());
  table->setRowSelected(1, 1);
  r->drawRect(g, UXRect(0, 0, 400, 16));
  EXPECT_EQ(g.text(), "fillRect 0,0,400,16 250\n");
  EXPECT_EQ(table->rowDrawCount, 2u);
  g.clear();
  table->header->drawRect(g, UXRect(0, 0, 400, 20));
  EXPECT_EQ(g.text(),
            "fillRect 0,0,400,20 9\n"
            "drawText \"A\" 4 3 1 14\n"
            "drawText \"B\" 104 3 1 14\n"
            "drawText \"\" 154 3 1 14\n"
            "drawLine 0 19 400 19 1\n");
}

TEST_F(UXTableViewTest, OutletsTakeOnlyConformingObjects) {
  build(2, 140, false);
  auto log = make<SelectionLog>();
  auto other = make<Object>();
  EXPECT_FALSE(table->setOutlet("dataSource", other));
  EXPECT_TRUE(table->dataSource.expired());  // the old one is dropped too
  EXPECT_TRUE(table->setOutlet("dataSource", source));
  EXPECT_EQ(table->dataSource.lock(), source);
  EXPECT_TRUE(table->setOutlet("dataSource", nullptr));
  EXPECT_TRUE(table->dataSource.expired());
  EXPECT_TRUE(table->setOutlet("delegate", log));
  EXPECT_FALSE(table->setOutlet("delegate", source));
  EXPECT_TRUE(table->delegate.expired());
  EXPECT_FALSE(table->setOutlet("dataSourc", source));
  EXPECT_FALSE(table->setOutlet("Delegate", log));
  EXPECT_FALSE(table->wireAction(log, source));
}

TEST_F(UXTableViewTest, PreconditionsAreGuarded) {
  // A reload before attaching records the count and shows it once attached
  // and reloaded.
  build(4, 140, false);
  auto lone = make<UXTableView>();
  lone->dataSource = source;
  lone->reloadData();
  EXPECT_EQ(lone->rowCount, 4);
  EXPECT_EQ(lone->needsNativeReload, 1);
  EXPECT_EQ(lone->poolSize, 0);
  lone->setRowSelected(2, 1);
  EXPECT_TRUE(lone->isRowSelected(2));
  // A row height of 0 counts as 1 pixel.
  table->rowHeight = 0;
  source->rows = 1000;
  table->reloadData();
  EXPECT_EQ(table->scrollView->documentHeight, 1000);
  EXPECT_EQ(table->poolSize, 137);
  EXPECT_EQ(table->rowAtWindowY(20 + 7), 7);
  table->scrollRowToVisible(999);
  EXPECT_NE(table->rowViewFor(999), nullptr);
}

}  // namespace
}  // namespace quorl::test
