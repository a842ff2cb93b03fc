// The outline view: flattening, expansion, cycles, row layout, the
// disclosure triangle and zone, and the native tree accessors.
#include <gtest/gtest.h>

#include "TableTestSupport.h"
#include "foundation/String.h"
#include "ux/controls/UXOutlineView.h"

namespace quorl::test {
namespace {

class Item : public Object {
 public:
  std::string name;
  std::vector<Ref<Item>> children;
  bool expandable = false;
};

Ref<Item> item(const std::string& name, std::vector<Ref<Item>> children = {}, bool expandable = false) {
  auto i = make<Item>();
  i->name = name;
  i->children = std::move(children);
  i->expandable = expandable || !i->children.empty();
  return i;
}

class TreeSource : public Object, public UXOutlineDataSource {
 public:
  std::vector<Ref<Item>> top;
  int childrenCalls = 0, expandableCalls = 0;

  int32_t numberOfChildren(UXOutlineView&, const Ref<Object>& it) override {
    childrenCalls++;
    return it ? int32_t(staticCast<Item>(it)->children.size()) : int32_t(top.size());
  }
  Ref<Object> child(UXOutlineView&, const Ref<Object>& it, int32_t index) override {
    return it ? staticCast<Item>(it)->children[size_t(index)] : top[size_t(index)];
  }
  uint32_t isExpandable(UXOutlineView&, const Ref<Object>& it) override {
    expandableCalls++;
    return staticCast<Item>(it)->expandable ? 0x101 : 0x100;  // only the low byte counts
  }
  const char* value(UXOutlineView&, const Ref<Object>& it, int32_t column) override {
    return column == 0 ? staticCast<Item>(it)->name.c_str() : "v";
  }
  const char* dragText(UXOutlineView&, const Ref<Object>& it) override {
    return staticCast<Item>(it)->name == "nodrag" ? nullptr : staticCast<Item>(it)->name.c_str();
  }
};

class UXOutlineViewTest : public ScrollTestBase {
 protected:
  void SetUp() override {
    ScrollTestBase::SetUp();
    driver->nativeScrolling = false;
    source = make<TreeSource>();
    a1 = item("a1");
    a2 = item("a2", {item("a2x")});
    a = item("a", {a1, a2});
    b = item("b", {}, true);
    leaf = item("leaf");
    source->top = {a, b, leaf};
    view = make<UXOutlineView>();
    for (uint16_t w : {100, 60}) {
      auto c = make<UXTableColumn>();
      c->width = w;
      view->columns->add(c);
    }
    view->outlineDataSource = source;
    place(view, UXRect(0, 0, 300, 200));
    view->reloadData();
  }
  // "name/level/disclosure" of every row.
  std::string rows() {
    std::string s;
    for (int32_t r = 0; r < int32_t(view->nodes->count()); r++) {
      if (!s.empty()) s += ' ';
      s += staticCast<Item>(view->nodeAt(r)->item)->name + "/" + std::to_string(view->nativeRowLevel(r)) + "/" +
           std::to_string(view->nativeRowDisclosure(r));
    }
    return s;
  }
  Ref<TreeSource> source;
  Ref<Item> a, a1, a2, b, leaf;
  Ref<UXOutlineView> view;
};

TEST_F(UXOutlineViewTest, ExpansionShapesTheRows) {
  EXPECT_EQ(view->rowCount, 3);
  EXPECT_EQ(rows(), "a/0/1 b/0/1 leaf/0/0");
  view->setExpanded(a, true);
  view->setExpanded(a2, true);
  view->setExpanded(b, true);  // expandable, no children
  view->reloadData();
  EXPECT_EQ(rows(), "a/0/3 a1/1/0 a2/1/3 a2x/2/0 b/0/3 leaf/0/0");
  view->toggleRow(0);  // collapse a: a2 stays in the set
  EXPECT_EQ(rows(), "a/0/1 b/0/3 leaf/0/0");
  view->toggleRow(0);
  EXPECT_EQ(rows(), "a/0/3 a1/1/0 a2/1/3 a2x/2/0 b/0/3 leaf/0/0");
  EXPECT_EQ(view->rowCount, 6);
  EXPECT_EQ(view->expandedItems->count(), 3u);
  view->setExpanded(a, true);  // held at most once
  EXPECT_EQ(view->expandedItems->count(), 3u);
  // A leaf in the set is listed as a leaf and stays in the set.
  view->setExpanded(leaf, true);
  view->reloadData();
  EXPECT_EQ(rows(), "a/0/3 a1/1/0 a2/1/3 a2x/2/0 b/0/3 leaf/0/0");
  EXPECT_TRUE(view->isExpanded(leaf));
  EXPECT_STREQ(view->nodeAt(4)->description()->cString(), "<UXOutlineNode>(0, 1, 1)");
  EXPECT_STREQ(view->nodeAt(3)->description()->cString(), "<UXOutlineNode>(2, 0, 0)");
}

TEST_F(UXOutlineViewTest, SharedAndCyclicItems) {
  // The same object twice: one expansion state, rowForItem finds the upper.
  auto shared = item("s", {item("sx")});
  source->top = {shared, item("mid"), shared, item("twin"), item("twin")};
  view->setExpanded(shared, true);
  view->reloadData();
  EXPECT_EQ(rows(), "s/0/3 sx/1/0 mid/0/0 s/0/3 sx/1/0 twin/0/0 twin/0/0");
  EXPECT_EQ(view->rowForItem(shared), 0u);
  EXPECT_EQ(view->rowForItem(view->nodeAt(6)->item), 6u);  // equal contents, another item
  EXPECT_EQ(view->rowForItem(make<Item>()), kNotFound);
  // An item that is its own grandchild is listed but not entered again.
  auto loop = item("loop", {});
  auto inner = item("inner", {loop});
  loop->children = {inner};
  loop->expandable = true;
  source->top = {loop};
  view->setExpanded(loop, true);
  view->setExpanded(inner, true);
  view->reloadData();
  EXPECT_EQ(rows(), "loop/0/3 inner/1/3 loop/2/3");
  loop->children.clear();  // the test's own cycle
}

TEST_F(UXOutlineViewTest, DeepTreesDoNotExhaustTheStack) {
  auto top = item("d0", {}, true);
  Ref<Item> at = top;
  for (int i = 1; i < 30000; i++) {
    auto next = item("d", {}, true);
    at->children = {next};
    view->setExpanded(at, true);
    at = next;
  }
  source->top = {top};
  EXPECT_EQ(view->countRows(), 30000);
  EXPECT_EQ(view->nativeRowLevel(29999), 29999u);
  // Unlinked one by one so the release of the chain does not recurse either.
  view->nodes->removeAll();
  view->expandedItems->removeAll();
  source->top.clear();
  for (Ref<Item> i = top; i;) {
    Ref<Item> next = i->children.empty() ? nullptr : i->children[0];
    i->children.clear();
    i = next;
  }
}

TEST_F(UXOutlineViewTest, CellsIndentTheFirstColumn) {
  view->setExpanded(a, true);
  view->setExpanded(a2, true);
  view->reloadData();
  Ref<UXTableRow> r = view->rowViewFor(3);  // a2x, level 2
  EXPECT_EQ(frameOf(*staticCast<UXView>(r->subviews->get(0))), UXRect(36, 0, 64, 16));
  EXPECT_EQ(frameOf(*staticCast<UXView>(r->subviews->get(1))), UXRect(100, 0, 60, 16));
  EXPECT_STREQ(staticCast<UXTableCell>(r->subviews->get(0))->text, "a2x");
  EXPECT_STREQ(staticCast<UXTableCell>(r->subviews->get(1))->text, "v");
  EXPECT_STREQ(view->nativeCellText(3, 0), "a2x");
  EXPECT_STREQ(view->nativeCellText(30, 0), "");
}

TEST_F(UXOutlineViewTest, TrianglesPointRightOrDown) {
  view->setExpanded(a, true);
  view->reloadData();
  RecordingGraphics g;
  view->rowViewFor(0)->drawRect(g, UXRect(0, 0, 300, 16));  // a, expanded
  view->rowViewFor(2)->drawRect(g, UXRect(0, 0, 300, 16));  // a2, level 1, collapsed
  view->rowViewFor(1)->drawRect(g, UXRect(0, 0, 300, 16));  // a1, a leaf
  EXPECT_EQ(g.text(), "fillTriangle 2 4 10 4 6 12 1\nfillTriangle 14 4 22 8 14 12 1\n");
}

TEST_F(UXOutlineViewTest, PressesInTheZoneToggle) {
  view->setExpanded(a, true);
  view->reloadData();
  const int32_t x0 = view->rowViewFor(2)->absoluteFrame().x();  // a2 at level 1
  view->rowViewFor(2)->mouseDown(*press(x0 + 12 + 12, 60));  // past the zone: selects
  EXPECT_TRUE(view->isRowSelected(2));
  EXPECT_EQ(view->rowCount, 5);
  view->rowViewFor(2)->mouseDown(*press(x0 + 12 + 11, 60));  // in the zone: expands
  EXPECT_EQ(view->rowCount, 6);
  EXPECT_TRUE(view->isExpanded(a2));
  view->rowViewFor(1)->mouseDown(*press(x0 + 12 + 2, 60));  // a leaf's zone: selects
  EXPECT_TRUE(view->isRowSelected(1));
  // A leaf's toggle does not reload; a Ctrl-click with multiSelect toggles.
  const int calls = source->childrenCalls;
  view->toggleRow(1);
  EXPECT_EQ(source->childrenCalls, calls);
  view->multiSelect = 1;
  view->rowViewFor(0)->mouseDown(*press(x0 + 200, 30, kUXModCtrl));
  EXPECT_FALSE(view->isExpanded(a));
  EXPECT_EQ(view->rowCount, 3);
}

TEST_F(UXOutlineViewTest, NativeAccessors) {
  EXPECT_EQ(view->nativeChildren(nullptr), 3);
  EXPECT_EQ(view->nativeChild(a, 1), a2);
  EXPECT_EQ(view->nativeExpandable(a), 1);
  EXPECT_EQ(view->nativeExpandable(leaf), 0);
  EXPECT_STREQ(view->nativeItemValue(b, 0), "b");
  EXPECT_STREQ(view->nativeDragText(leaf), "leaf");
  EXPECT_STREQ(view->rowDragText(2), "leaf");  // whatever rowsDraggable says
  EXPECT_EQ(view->rowDragText(9), nullptr);
  view->nativeDidExpand(a, 1);
  EXPECT_TRUE(view->nativeIsItemExpanded(a));
  EXPECT_EQ(view->nodes->count(), 5u);
  EXPECT_EQ(view->rowCount, 3);  // the row views are not reloaded
  view->nativeToggleRow(0);
  EXPECT_FALSE(view->isExpanded(a));
  EXPECT_EQ(view->rowCount, 3);

  source.reset();  // without a data source every answer is empty
  EXPECT_EQ(view->nativeChildren(nullptr), 0);
  EXPECT_EQ(view->nativeChild(nullptr, 0), nullptr);
  EXPECT_EQ(view->nativeExpandable(a), 0);
  EXPECT_STREQ(view->nativeItemValue(a, 0), "");
  EXPECT_EQ(view->nativeDragText(a), nullptr);
  EXPECT_EQ(view->countRows(), 0);
  EXPECT_EQ(view->nodes->count(), 3u);  // left as it was
  view->nativeDidExpand(b, 1);
  EXPECT_EQ(view->nodes->count(), 0u);
  EXPECT_TRUE(view->isExpanded(b));
  EXPECT_EQ(view->nativeRowDisclosure(0), 0);
}

}  // namespace
}  // namespace quorl::test
