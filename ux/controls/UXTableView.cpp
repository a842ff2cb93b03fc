// The table without its selection (UXTableSelection.cpp).
//
// Sections:
//   2. Companions: descriptions and drawing of cells, rows and the header
//   3. The pooled window
//   4. Attaching
//   5. Loading and tiling
//   6. Outlets and description
#include "ux/controls/UXTableView.h"

#include <algorithm>
#include <cstring>

#include "foundation/Array.h"
#include "foundation/String.h"
#include "ux/controls/UXControl.h"
#include "ux/core/UXApplication.h"
#include "ux/core/UXClamp.h"
#include "ux/core/UXGraphics.h"
#include "ux/core/UXViewDriver.h"
#include "ux/core/UXViewTree.h"

namespace quorl {

// ---------------------------------------------------------------------------
// 2. Companions.

Ref<String> UXTableColumn::description() const {
  const uint16_t values[] = {width};
  return String::_classDescribe("UXTableColumn", values, 1, 0x01);
}

Ref<String> UXTableRow::description() const {
  const uint16_t values[] = {uint16_t(rowIndex)};
  return String::_classDescribe("UXTableRow", values, 1, 0x01);
}

namespace {
// Text size and top for a band of height h: at least 13, centred.
int16_t textSizeFor(int16_t h) { return int16_t(std::max<int32_t>(h - 6, 13)); }
}  // namespace

void UXTableCell::drawRect(UXGraphics& g, UXRect rect) {
  if (!text) return;
  const int16_t h = rect.h(), s = textSizeFor(h);
  g.drawText(text, 4, int16_t((h - s) / 2), 1, s);
}

void UXTableRow::drawRect(UXGraphics& g, UXRect rect) {
  if (Ref<UXTableView> t = table.lock()) t->rowDrawCount++;
  Ref<UXViewTree> vt = tree.lock();
  if (vt && gDriver && gDriver->structIsSelected(vt->driverTree, int16_t(node)))
    g.fillRect(UXRect(0, 0, rect.w(), rect.h()), 250);
}

void UXTableHeader::drawRect(UXGraphics& g, UXRect rect) {
  Ref<UXTableView> t = table.lock();
  if (!t) return;
  const int16_t w = rect.w(), h = rect.h(), s = textSizeFor(h);
  g.fillRect(UXRect(0, 0, w, h), 9);
  int32_t x = 4;
  for (uint32_t i = 0; i < t->columns->count(); i++) {
    g.drawText(t->columnTitle(int32_t(i)), int16_t(x), int16_t((h - s) / 2), 1, s);
    x += t->columnWidth(int32_t(i));
  }
  g.drawLine(0, int16_t(h - 1), w, int16_t(h - 1), 1);
}

// ---------------------------------------------------------------------------
// 3. The pooled window.

int32_t UXTablePool::viewsFor(int32_t viewport, int32_t rowHeight, int32_t rowCount) {
  if (rowCount < 1) return 0;
  const int32_t rh = std::max(rowHeight, 1);
  const int64_t fit = (int64_t(std::max(viewport, 0)) + rh - 1) / rh + 1;
  return int32_t(std::min<int64_t>(fit + 2 * UXTableView::kPoolMargin, rowCount));
}

UXTablePool UXTablePool::windowFor(int32_t scrollPx, int32_t rowHeight, int32_t rowCount, int32_t views) {
  UXTablePool w;
  if (rowCount < 1 || views < 1) return w;
  const int32_t top = std::max(scrollPx, 0) / std::max(rowHeight, 1);
  w.count = std::min(views, rowCount);
  w.first = std::clamp(top - UXTableView::kPoolMargin, 0, rowCount - w.count);
  return w;
}

int32_t UXTablePool::rowAt(int64_t y, int32_t rowHeight, int32_t rowCount) {
  if (rowCount < 1) return -1;
  if (y < 0) return 0;
  const int64_t r = y / std::max(rowHeight, 1);
  return r >= rowCount ? rowCount - 1 : int32_t(r);
}

// ---------------------------------------------------------------------------
// 4. Attaching.

UXTableView::UXTableView() : columns(make<Array>()), rows(make<Array>()) {}

UXTableDataSource* UXTableView::source() const {
  Ref<Object> o = dataSource.lock();
  return dynamic_cast<UXTableDataSource*>(o.get());
}

void UXTableView::attachTo(const Ref<UXViewTree>& t, UXRect frame) {
  if (!uxAttachPeer(*this, t, frame) || !gDriver) return;
  t->setClipsOf(node, 1);
  scrollView = make<UXScrollView>();
  uxAddChild(*this, scrollView, UXRect(0, 0, frame.w(), frame.h()));
  scrollView->setAutoresizeMask(kUXAutoresizeWidth | kUXAutoresizeHeight);
  scrollView->lineStep = int16_t(pitch());
  scrollView->observer = self<UXTableView>();
}

// ---------------------------------------------------------------------------
// 5. Loading and tiling.

int32_t UXTableView::countRows() {
  UXTableDataSource* ds = source();
  return ds ? int32_t(ds->numberOfRows(*this)) : 0;
}

const char* UXTableView::nativeCellText(int32_t row, int32_t column) {
  UXTableDataSource* ds = source();
  if (!ds) return "";
  const char* text = ds->valueForCell(*this, uint32_t(row), uint32_t(column));
  return text ? text : "";
}

const char* UXTableView::columnTitle(int32_t i) const {
  if (i < 0 || uint32_t(i) >= columns->count()) return "";
  const char* title = staticCast<UXTableColumn>(columns->get(uint32_t(i)))->title;
  return title ? title : "";
}

int16_t UXTableView::columnWidth(int32_t i) const {
  if (i < 0 || uint32_t(i) >= columns->count()) return 80;
  return int16_t(staticCast<UXTableColumn>(columns->get(uint32_t(i)))->width);
}

Ref<UXTableRow> UXTableView::newRow() { return make<UXTableRow>(); }

Ref<UXTableCell> UXTableView::newCell() { return make<UXTableCell>(); }

void UXTableView::configureRow(UXTableRow& row, int32_t index) {
  Ref<UXViewTree> t = row.tree.lock();
  if (!t || !gDriver) return;
  UXTableDataSource* ds = source();
  int32_t x = 0;
  const uint32_t cells = row.subviews->count();
  for (uint32_t j = 0; j < columns->count() && j < cells; j++) {
    const int32_t w = staticCast<UXTableColumn>(columns->get(j))->width;
    Ref<UXTableCell> cell = staticCast<UXTableCell>(row.subviews->get(j));
    gDriver->structSetFrame(t->driverTree, int16_t(cell->node), x, 0, w, pitch());
    cell->text = ds ? ds->valueForCell(*this, uint32_t(index), j) : nullptr;
    x += w;
  }
}

void UXTableView::ensureHeader() {
  if (header || !scrollView) return;
  Ref<UXViewTree> t = tree.lock();
  if (!t) return;
  header = make<UXTableHeader>();
  header->table = self<UXTableView>();
  uxAddChild(*this, header, UXRect(0, 0, frame().w(), headerHeight));
  t->setClipsOf(header->node, 1);
  header->setAutoresizeMask(kUXAutoresizeWidth);
  scrollView->headerView = header;
  scrollView->headerHeight = headerHeight;
  scrollView->relayout();
}

void UXTableView::ensureRows(int32_t n) {
  if (!scrollView || !scrollView->documentView) return;
  Ref<UXView> d = scrollView->documentView;
  Ref<UXViewTree> t = d->tree.lock();
  if (!t || !gDriver) return;
  const uint32_t c = columns->count();
  const int32_t width = d->frame().w();
  while (poolSize < n) {
    Ref<UXTableRow> r = newRow();
    r->table = self<UXTableView>();
    r->rowIndex = uint32_t(poolSize);
    uxAddChild(*d, r, UXRect(0, 0, width, pitch()));
    if (!r->isAttached()) break;  // the node tree is full
    t->setClipsOf(r->node, 1);
    t->setHiddenOf(r->node, 1);  // shown once it is given a row
    for (uint32_t j = 0; j < c; j++) uxAddChild(*r, newCell(), UXRect(0, 0, 8, pitch()));
    rows->add(r);
    shown_.push_back(-1);
    poolSize++;
  }
}

void UXTableView::placeRow(UXTableRow& row, int32_t index) {
  Ref<UXViewTree> t = tree.lock();
  if (!t || !gDriver) return;
  // Rows in the pooled window lie near the origin; anything else is held at
  // the edge of the 16-bit range rather than wrapped into it.
  const int64_t y = int64_t(index) * pitch() - scrollView->documentOrigin;
  gDriver->structSetFrame(t->driverTree, int16_t(row.node), 0, uxClamp16(y), placedWidth_, pitch());
}

void UXTableView::releaseViews() {
  Ref<UXViewTree> t = tree.lock();
  for (int32_t k = 0; k < poolSize; k++) {
    if (shown_[size_t(k)] < 0) continue;
    if (t) t->setHiddenOf(staticCast<UXTableRow>(rows->get(uint32_t(k)))->node, 1);
    shown_[size_t(k)] = -1;
  }
}

void UXTableView::reloadData() {
  needsNativeReload = 1;
  rowCount = std::max(countRows(), 0);
  selected_.assign(size_t(rowCount), 0);
  selectedTotal_ = 0;
  anchorRow = -1;
  if (!scrollView || !isAttached()) return;  // shown once attached and reloaded
  ensureHeader();
  // Every view is given its row afresh: texts, frames and flags.
  releaseViews();
  placedWidth_ = -1;
  scrollView->lineStep = int16_t(pitch());
  scrollView->setDocumentHeight(int32_t(std::min<int64_t>(int64_t(rowCount) * pitch(), INT32_MAX)));
  tileRows();
  setNeedsDisplayInRect(absoluteFrame());
}

void UXTableView::scrollViewDidChangeVisible(UXScrollView&) { tileRows(); }

void UXTableView::tileRows() {
  if (tiling_ || !scrollView || !scrollView->documentView) return;
  Ref<UXViewTree> t = tree.lock();
  if (!t || !gDriver) return;
  tiling_ = true;
  const int32_t want = UXTablePool::viewsFor(scrollView->viewportPx(), rowHeight, rowCount);
  if (want > poolSize) {
    ensureRows(want);
    // The ring changed its length: every view is placed afresh.
    releaseViews();
  }
  const int32_t width = scrollView->documentView->frame().w();
  if (width != placedWidth_ || scrollView->documentOrigin != placedOrigin_) {
    placedWidth_ = width;
    placedOrigin_ = scrollView->documentOrigin;
    for (int32_t k = 0; k < poolSize; k++)
      if (shown_[size_t(k)] >= 0) placeRow(*staticCast<UXTableRow>(rows->get(uint32_t(k))), shown_[size_t(k)]);
  }
  const UXTablePool w = UXTablePool::windowFor(scrollView->scrollPx(), rowHeight, rowCount, poolSize);
  // Views whose row left the window are hidden first...
  for (int32_t k = 0; k < poolSize; k++) {
    const int32_t r = shown_[size_t(k)];
    if (r >= 0 && (r < w.first || r >= w.first + w.count || r % poolSize != k)) {
      t->setHiddenOf(staticCast<UXTableRow>(rows->get(uint32_t(k)))->node, 1);
      shown_[size_t(k)] = -1;
    }
  }
  // ...then every row of the window without a view gets its ring slot.
  for (int32_t r = w.first; r < w.first + w.count; r++) {
    const int32_t k = r % poolSize;
    if (shown_[size_t(k)] == r) continue;
    Ref<UXTableRow> view = staticCast<UXTableRow>(rows->get(uint32_t(k)));
    view->rowIndex = uint32_t(r);
    shown_[size_t(k)] = r;
    t->setHiddenOf(view->node, 0);
    t->setSelectedOf(view->node, selected_[size_t(r)]);
    placeRow(*view, r);
    configureRow(*view, r);
  }
  tiling_ = false;
}

Ref<UXTableRow> UXTableView::rowViewFor(int32_t row) const {
  if (row < 0 || poolSize < 1) return nullptr;
  const int32_t k = row % poolSize;
  if (shown_[size_t(k)] != row) return nullptr;
  return staticCast<UXTableRow>(rows->get(uint32_t(k)));
}

void UXTableView::scrollRowToVisible(int32_t row) {
  if (!scrollView || row < 0 || row >= rowCount) return;
  const int64_t top = int64_t(row) * pitch();
  const int64_t bottom = top + pitch();
  const int32_t at = scrollView->scrollPx(), viewport = scrollView->viewportPx();
  if (top < at) scrollView->scrollTo(top);
  else if (bottom > int64_t(at) + viewport) scrollView->scrollTo(bottom - viewport);
}

uint32_t UXTableView::nodeCount() const {
  uint32_t n = isAttached() ? 1 : 0;
  if (scrollView && scrollView->isAttached()) n += 4;  // scroll view, clip, document, bar
  if (header && header->isAttached()) n += 1;
  for (const Ref<Object>& o : *rows) n += 1 + staticCast<UXView>(o)->subviews->count();
  return n;
}

// ---------------------------------------------------------------------------
// 6. Outlets and description.

bool UXTableView::setOutlet(const char* name, const Ref<Object>& object) {
  if (!name) return false;
  Weak<Object>* slot = nullptr;
  bool conforms = false;
  if (std::strcmp(name, "dataSource") == 0) {
    slot = &dataSource;
    conforms = dynamic_cast<UXTableDataSource*>(object.get()) != nullptr;
  } else if (std::strcmp(name, "delegate") == 0) {
    slot = &delegate;
    conforms = dynamic_cast<UXTableDelegate*>(object.get()) != nullptr;
  } else {
    return false;
  }
  if (object && conforms) *slot = object;
  else slot->reset();
  return !object || conforms;
}

Ref<String> UXTableView::description() const {
  const uint16_t values[] = {needsNativeReload,     selectionDirty,   uint16_t(headerHeight), uint16_t(rowHeight),
                             uint16_t(anchorRow),   multiSelect,      rowsDraggable,          uint16_t(rowCount),
                             uint16_t(rowDrawCount), uint16_t(poolSize)};
  return String::_classDescribe("UXTableView", values, 10, 0x9C);
}

}  // namespace quorl
