// Sections follow UXOutlineView.h.
#include "ux/controls/UXOutlineView.h"

#include <unordered_set>
#include <vector>

#include "foundation/Array.h"
#include "foundation/String.h"
#include "ux/core/UXEvent.h"
#include "ux/core/UXGraphics.h"
#include "ux/core/UXApplication.h"
#include "ux/core/UXViewDriver.h"
#include "ux/core/UXViewTree.h"

namespace quorl {

// ---------------------------------------------------------------------------
// 2. Node and row view.

Ref<String> UXOutlineNode::description() const {
  const uint16_t values[] = {uint16_t(level), expandable, expanded};
  return String::_classDescribe("UXOutlineNode", values, 3, 0x01);
}

void UXOutlineRow::drawRect(UXGraphics& g, UXRect rect) {
  UXTableRow::drawRect(g, rect);
  Ref<UXOutlineView> ov = outlineView.lock();
  Ref<UXOutlineNode> n = ov ? ov->nodeAt(int32_t(rowIndex)) : nullptr;
  if (!n || !n->expandable) return;
  const int16_t h = rect.h();
  const int16_t x0 = int16_t(int32_t(n->level) * kIndent + 2);
  const int16_t top = int16_t(h / 2 - 4);
  if (n->expanded) g.fillTriangle(x0, top, int16_t(x0 + 8), top, int16_t(x0 + 4), int16_t(top + 8), 1);
  else g.fillTriangle(x0, top, int16_t(x0 + 8), int16_t(top + 4), x0, int16_t(top + 8), 1);
}

void UXOutlineRow::mouseDown(UXEvent& event) {
  Ref<UXOutlineView> ov = outlineView.lock();
  Ref<UXOutlineNode> n = ov ? ov->nodeAt(int32_t(rowIndex)) : nullptr;
  if (n && n->expandable) {
    const int16_t zx = int16_t(absoluteFrame().x() + int32_t(n->level) * kIndent);
    if (zx <= event.x && event.x < int16_t(zx + kIndent)) {
      ov->toggleRow(int32_t(rowIndex));
      return;
    }
  }
  UXTableRow::mouseDown(event);
}

// ---------------------------------------------------------------------------
// 3. The view.

UXOutlineView::UXOutlineView() : nodes(make<Array>()), expandedItems(make<Array>()) {}

UXOutlineDataSource* UXOutlineView::treeSource() const {
  Ref<Object> o = outlineDataSource.lock();
  return dynamic_cast<UXOutlineDataSource*>(o.get());
}

bool UXOutlineView::isExpanded(const Ref<Object>& item) const { return expandedItems->contains(item); }

void UXOutlineView::setExpanded(const Ref<Object>& item, bool flag) {
  if (flag) {
    if (!expandedItems->contains(item)) expandedItems->add(item);
  } else {
    expandedItems->remove(item);
  }
}

void UXOutlineView::flatten(const Ref<Object>& item, uint32_t level) {
  UXOutlineDataSource* ds = treeSource();
  if (!ds) return;
  // Keeps the view and its data source alive while they call each other.
  Ref<Object> keepView = self();
  Ref<Object> keepSource = outlineDataSource.lock();
  struct Frame {
    Ref<Object> item;
    int32_t count;
    int32_t next;
    uint32_t level;
  };
  // An explicit stack: a deep tree cannot exhaust the thread's stack.
  std::vector<Frame> stack;
  std::unordered_set<const Object*> path;  // items whose children are being listed
  stack.push_back({item, ds->numberOfChildren(*this, item), 0, level});
  path.insert(item.get());
  while (!stack.empty()) {
    Frame& f = stack.back();
    if (f.next >= f.count) {
      path.erase(f.item.get());
      stack.pop_back();
      continue;
    }
    const int32_t i = f.next++;
    const uint32_t childLevel = f.level;
    Ref<Object> c = ds->child(*this, f.item, i);
    const bool e = (ds->isExpandable(*this, c) & 0xFF) != 0;
    const bool ex = e && isExpanded(c);
    Ref<UXOutlineNode> n = make<UXOutlineNode>();
    n->item = c;
    n->level = childLevel;
    n->expandable = e ? 1 : 0;
    n->expanded = ex ? 1 : 0;
    nodes->add(n);
    if (ex && !path.count(c.get())) {
      const int32_t count = ds->numberOfChildren(*this, c);
      path.insert(c.get());
      stack.push_back({c, count, 0, childLevel + 1});  // f is not used past this point
    }
  }
}

int32_t UXOutlineView::countRows() {
  if (!treeSource()) return 0;
  nodes->removeAll();
  flatten(nullptr, 0);
  return int32_t(nodes->count());
}

Ref<UXOutlineNode> UXOutlineView::nodeAt(int32_t row) const {
  if (row < 0 || uint32_t(row) >= nodes->count()) return nullptr;
  return staticCast<UXOutlineNode>(nodes->get(uint32_t(row)));
}

uint32_t UXOutlineView::rowForItem(const Ref<Object>& item) const {
  for (uint32_t r = 0; r < nodes->count(); r++)
    if (staticCast<UXOutlineNode>(nodes->get(r))->item == item) return r;
  return kNotFound;
}

Ref<UXTableRow> UXOutlineView::newRow() {
  Ref<UXOutlineRow> row = make<UXOutlineRow>();
  row->outlineView = self<UXOutlineView>();
  return row;
}

void UXOutlineView::configureRow(UXTableRow& row, int32_t index) {
  Ref<UXOutlineNode> n = nodeAt(index);
  Ref<UXViewTree> t = row.tree.lock();
  if (!n || columns->count() == 0 || !t || !gDriver) return;
  UXOutlineDataSource* ds = treeSource();
  int32_t x = 0;
  for (uint32_t i = 0; i < columns->count() && i < row.subviews->count(); i++) {
    const int32_t width = staticCast<UXTableColumn>(columns->get(i))->width;
    const int32_t indent = i == 0 ? int32_t(n->level) * UXOutlineRow::kIndent + UXOutlineRow::kIndent : 0;
    Ref<UXTableCell> cell = staticCast<UXTableCell>(row.subviews->get(i));
    gDriver->structSetFrame(t->driverTree, int16_t(cell->node), x + indent, 0, width - indent, pitch());
    cell->text = ds ? ds->value(*this, n->item, int32_t(i)) : nullptr;
    x += width;
  }
}

void UXOutlineView::toggleRow(int32_t row) {
  Ref<UXOutlineNode> n = nodeAt(row);
  if (!n || !n->expandable) return;
  setExpanded(n->item, !n->expanded);
  reloadData();
}

const char* UXOutlineView::rowDragText(int32_t row) {
  Ref<UXOutlineNode> n = nodeAt(row);
  return n ? nativeDragText(n->item) : nullptr;
}

const char* UXOutlineView::nativeCellText(int32_t row, int32_t column) {
  Ref<UXOutlineNode> n = nodeAt(row);
  UXOutlineDataSource* ds = treeSource();
  const char* text = n && ds ? ds->value(*this, n->item, column) : nullptr;
  return text ? text : "";
}

uint8_t UXOutlineView::nativeRowDisclosure(int32_t row) {
  Ref<UXOutlineNode> n = nodeAt(row);
  if (!n || !n->expandable) return 0;
  return n->expanded ? 3 : 1;
}

uint32_t UXOutlineView::nativeRowLevel(int32_t row) {
  Ref<UXOutlineNode> n = nodeAt(row);
  return n ? n->level : 0;
}

int32_t UXOutlineView::nativeChildren(const Ref<Object>& item) {
  UXOutlineDataSource* ds = treeSource();
  return ds ? ds->numberOfChildren(*this, item) : 0;
}

Ref<Object> UXOutlineView::nativeChild(const Ref<Object>& item, int32_t index) {
  UXOutlineDataSource* ds = treeSource();
  return ds ? ds->child(*this, item, index) : nullptr;
}

uint8_t UXOutlineView::nativeExpandable(const Ref<Object>& item) {
  UXOutlineDataSource* ds = treeSource();
  return ds && (ds->isExpandable(*this, item) & 0xFF) ? 1 : 0;
}

const char* UXOutlineView::nativeItemValue(const Ref<Object>& item, int32_t column) {
  UXOutlineDataSource* ds = treeSource();
  const char* text = ds ? ds->value(*this, item, column) : nullptr;
  return text ? text : "";
}

void UXOutlineView::nativeDidExpand(const Ref<Object>& item, uint8_t flag) {
  setExpanded(item, flag != 0);
  nodes->removeAll();
  if (treeSource()) flatten(nullptr, 0);
}

const char* UXOutlineView::nativeDragText(const Ref<Object>& item) {
  UXOutlineDataSource* ds = treeSource();
  return ds ? ds->dragText(*this, item) : nullptr;
}

}  // namespace quorl
