// The table's selection, row clicks, drag selection, row drags and the
// native list's selection.
//
// The table keeps one selected flag a data row; the node of the view that
// shows a row carries the same flag, which is what a row draws from. Every
// write of a flag sets selectionDirty for the driver's native list.
#include <algorithm>
#include <string>

#include "foundation/Array.h"
#include "ux/controls/IndexSet.h"
#include "ux/controls/UXTableView.h"
#include "ux/controls/UXTapRecord.h"
#include "ux/core/UXApplication.h"
#include "ux/core/UXDispatch.h"
#include "ux/core/UXEvent.h"
#include "ux/core/UXViewDriver.h"
#include "ux/core/UXViewTree.h"

namespace quorl {

// ---------------------------------------------------------------------------
// Reading and writing the selection.

bool UXTableView::isRowSelected(int32_t row) const {
  return row >= 0 && row < rowCount && size_t(row) < selected_.size() && selected_[size_t(row)];
}

int32_t UXTableView::selectedCount() const { return selectedTotal_; }

uint32_t UXTableView::selectedRowList(uint32_t* buffer, uint32_t capacity) const {
  if (!buffer || capacity < 1 || rowCount < 1) return 0;
  uint32_t n = 0;
  for (int32_t r = 0; r < rowCount && n < capacity && n < uint32_t(selectedTotal_); r++)
    if (selected_[size_t(r)]) buffer[n++] = uint32_t(r);
  return n;
}

std::vector<uint32_t> UXTableView::selectedRows() const {
  std::vector<uint32_t> list(size_t(std::max(selectedTotal_, 0)));
  list.resize(selectedRowList(list.data(), uint32_t(list.size())));
  return list;
}

void UXTableView::setRowSelected(int32_t row, uint8_t on) {
  if (row < 0 || row >= rowCount) return;
  selectionDirty = 1;
  const uint8_t flag = on ? 1 : 0;
  uint8_t& slot = selected_[size_t(row)];
  selectedTotal_ += int32_t(flag) - int32_t(slot);
  slot = flag;
  if (Ref<UXTableRow> view = rowViewFor(row)) {
    if (Ref<UXViewTree> t = view->tree.lock()) t->setSelectedOf(view->node, flag);
    view->setNeedsDisplayInRect(view->absoluteFrame());
  }
}

void UXTableView::deselectAllRows() {
  for (int32_t r = 0; r < rowCount && selectedTotal_ > 0; r++)
    if (selected_[size_t(r)]) setRowSelected(r, 0);
}

void UXTableView::fireSelectionChanged(int32_t row) {
  Ref<Object> o = delegate.lock();
  if (auto* d = dynamic_cast<UXTableDelegate*>(o.get())) d->tableSelectionDidChange(*this, row);
}

// ---------------------------------------------------------------------------
// Click rules.

void UXTableView::selectRow(int32_t row) {
  if (row >= 0 && selectedCount() == 1 && isRowSelected(row)) return;
  deselectAllRows();
  anchorRow = row;
  setRowSelected(row, 1);
  fireSelectionChanged(row);
}

void UXTableView::toggleRow(int32_t row) {
  if (row < 0 || row >= rowCount) return;
  const bool on = !isRowSelected(row);
  setRowSelected(row, on ? 1 : 0);
  anchorRow = on ? row : -1;
  fireSelectionChanged(row);
}

void UXTableView::extendSelectionTo(int32_t row) {
  if (row < 0 || row >= rowCount) return;
  const int32_t a = anchorRow < 0 ? row : anchorRow;
  deselectAllRows();
  for (int32_t k = std::min(a, row); k <= std::max(a, row); k++) setRowSelected(k, 1);
  fireSelectionChanged(row);
}

int32_t UXTableView::rowAtWindowY(int32_t y) const {
  if (!scrollView || !scrollView->documentView || rowCount < 1) return -1;
  // Document view coordinates start at the document origin.
  const int64_t d = int64_t(y) - scrollView->documentView->absoluteFrame().y() + scrollView->documentOrigin;
  return UXTablePool::rowAt(d, rowHeight, rowCount);
}

void UXTableView::beginDragSelect() {
  if (!gDriver) return;
  Ref<UXTableView> keep = self<UXTableView>();
  int32_t x = 0, y = 0;
  while (gDriver && gDriver->trackDragStep(x, y)) {
    const int32_t r = rowAtWindowY(y);
    if (r >= 0) {
      if (multiSelect) extendSelectionTo(r);
      else selectRow(r);
    }
    if (gApp) gApp->displayIfNeeded();
  }
}

const char* UXTableView::rowDragText(int32_t row) { return rowsDraggable ? nativeCellText(row, 0) : nullptr; }

void UXTableView::trackRowDrag(int32_t row, int32_t x0, int32_t y0) {
  const char* rowText = rowDragText(row);
  Ref<UXViewTree> t = tree.lock();
  if (!rowText || !t || !gApp || !gDriver) return;
  if (!gDriver->dragTrackingIsModal()) return;
  Ref<UXTableView> keep = self<UXTableView>();
  // The data source's text lives only until its next reload, which a hover
  // handler may start: the drag carries its own copy.
  const std::string carried = rowText;
  const char* text = carried.c_str();
  const uint32_t w = t->windowHandle;
  int32_t x = x0, y = y0;
  bool started = false;
  while (gDriver && gDriver->trackDragStep(x, y)) {
    const int64_t dx = int64_t(x) - x0, dy = int64_t(y) - y0;
    if (!started && dx * dx + dy * dy > 9) {
      if (reportsDragStart()) gApp->deliverItemHover(text, w, x0, y0);
      started = true;
    }
    if (started && gApp) gApp->deliverItemHover(text, w, x, y);
  }
  if (!started || !gApp) return;
  gApp->deliverItemHover(text, w, -1, -1);
  gApp->deliverItemDrop(text, w, x, y);
}

void UXTableView::applyNativeSelection(const uint32_t* list, uint32_t count) {
  if (!list) count = 0;
  deselectAllRows();
  for (uint32_t i = 0; i < count; i++)
    if (list[i] <= uint32_t(INT32_MAX)) setRowSelected(int32_t(list[i]), 1);
  tookNativeSelection(count < 1 ? -1 : int32_t(list[count - 1]));
}

void UXTableView::applyNativeRowChange(int32_t first, int32_t last, uint8_t on) {
  first = std::max(first, 0);
  last = std::min(last, rowCount - 1);
  for (int32_t r = first; r <= last; r++)
    if (isRowSelected(r) != (on != 0)) setRowSelected(r, on);
  // The anchor a whole list of the same rows would have set: the last one.
  int32_t lastSelected = -1;
  for (int32_t r = rowCount - 1; r >= 0 && selectedTotal_ > 0; r--)
    if (selected_[size_t(r)]) {
      lastSelected = r;
      break;
    }
  tookNativeSelection(lastSelected);
}

void UXTableView::tookNativeSelection(int32_t anchor) {
  anchorRow = anchor;
  selectionDirty = 0;
  fireSelectionChanged(anchorRow);
  if (gInputReplay || !gEventTap.function) return;
  Ref<IndexSet> set = make<IndexSet>();
  for (int32_t r = 0, left = selectedTotal_; r < rowCount && left > 0; r++)
    if (selected_[size_t(r)]) {
      set->_add(r, 1);
      left--;
    }
  uxOfferToEventTap(kUXEventSelectionChanged, int32_t(node), anchorRow, set);
}

// ---------------------------------------------------------------------------
// Row views.

void UXTableRow::mouseDown(UXEvent& event) {
  Ref<UXTableView> t = table.lock();
  if (!t) return;
  const int32_t i = int32_t(rowIndex);
  if (t->multiSelect && (event.mods & kUXModCtrl)) {
    t->toggleRow(i);
    return;
  }
  if (t->multiSelect && (event.mods & kUXModShiftAny)) {
    t->extendSelectionTo(i);
    return;
  }
  t->selectRow(i);
  if (t->rowDragText(i)) t->trackRowDrag(i, event.x, event.y);
  else t->beginDragSelect();
}

void UXTableRow::rightMouseDown(UXEvent& event) {
  Ref<UXTableView> t = table.lock();
  const int32_t i = int32_t(rowIndex);
  if (t && t->rowDragText(i)) {
    t->selectRow(i);
    t->trackRowDrag(i, event.x, event.y);
    return;
  }
  UXResponder::rightMouseDown(event);
}

}  // namespace quorl
