// Rows of text in columns, asked for cell by cell from a data source.
//
// Sections:
//   1. Protocols: UXTableDataSource, UXTableDelegate, UXDesignable
//   2. Companions: UXTableColumn, UXTableCell, UXTableRow, UXTableHeader
//   3. UXTablePool: which pooled view shows which row (pure)
//   4. UXTableView
//
// The table is one node of kind 5. Where the driver draws the tree itself
// the table shows an inner scroll view whose document view holds row views
// with one cell per column; where the driver makes a native list it fills
// the list through the `native` accessors and the two flags.
//
// Row views are pooled and kept only for the rows in view plus a margin of
// kPoolMargin rows above and below: a table of any length holds a bounded
// number of views and nodes. The pooled view of data row r is element
// r % poolSize of `rows` while r is inside the pooled window; a view's
// `rowIndex` is the row it shows now. Row frames are placed relative to the
// scroll view's document origin, so they stay inside 16-bit frames however
// far down the table is scrolled. The selection is kept by the table, one
// flag a row, and mirrored into the selected flag of the node of each row
// that has a view.
//
// Selection, clicks and drags are in UXTableSelection.cpp.
//
// What a driver with a native list calls (kept stable for the Win32
// driver): nativeIsOutline, columnTitle, columnWidth, countRows,
// nativeCellText, nativeRowLevel, nativeRowDisclosure, nativeToggleRow,
// rowDragText, selectedCount with selectedRowList (or selectedRows),
// applyNativeSelection and applyNativeRowChange; it reads multiSelect and rowsDraggable and clears
// needsNativeReload and selectionDirty. The selection handed either way is
// sized to the selection, never cut. After the table's size changes, call
// tileRows so the pool covers the new viewport.
#pragma once

#include <cstdint>
#include <vector>

#include "ux/controls/UXScrollView.h"
#include "ux/core/UXView.h"

namespace quorl {

class UXTableView;

// ---------------------------------------------------------------------------
// 1. Protocols.
class UXTableDataSource {
 public:
  virtual ~UXTableDataSource() = default;
  virtual uint32_t numberOfRows(UXTableView& table) = 0;
  // Kept alive and unchanged by the data source until the next reloadData:
  // cells keep the pointer.
  virtual const char* valueForCell(UXTableView& table, uint32_t row, uint32_t column) = 0;
};

class UXTableDelegate {
 public:
  virtual ~UXTableDelegate() = default;
  // row: the row clicked, the end of an extension, or the anchor of a
  // native selection; may be -1 or out of range.
  virtual void tableSelectionDidChange(UXTableView& table, int32_t row) = 0;
};

// A designer tool's way to wire objects to a view by name.
class UXDesignable {
 public:
  virtual ~UXDesignable() = default;
  virtual bool setOutlet(const char* name, const Ref<Object>& object) = 0;
  virtual bool wireAction(const Ref<Object>& first, const Ref<Object>& second) = 0;
};

// ---------------------------------------------------------------------------
// 2. Companions.
class UXTableColumn : public Object {
 public:
  const char* title = "";  // borrowed
  uint16_t width = 80;

  Ref<String> description() const override;  // <UXTableColumn>(width)
  const char* classNameC() const override { return "UXTableColumn"; }
};

class UXTableCell : public UXView {
 public:
  const char* text = nullptr;  // borrowed from the data source; none draws nothing

  void drawRect(UXGraphics& g, UXRect rect) override;
  const char* classNameC() const override { return "UXTableCell"; }
};

class UXTableRow : public UXView {
 public:
  Weak<UXTableView> table;
  uint32_t rowIndex = 0;  // the data row this view shows now

  void drawRect(UXGraphics& g, UXRect rect) override;
  void mouseDown(UXEvent& event) override;
  void rightMouseDown(UXEvent& event) override;
  Ref<String> description() const override;  // <UXTableRow>(rowIndex)
  const char* classNameC() const override { return "UXTableRow"; }
};

class UXTableHeader : public UXView {
 public:
  Weak<UXTableView> table;

  void drawRect(UXGraphics& g, UXRect rect) override;
  const char* classNameC() const override { return "UXTableHeader"; }
};

// ---------------------------------------------------------------------------
// 3. The pooled window: the rows that have views, for a scroll position.
struct UXTablePool {
  int32_t first = 0;  // first data row with a view
  int32_t count = 0;  // rows with a view: first .. first + count - 1

  // Views wanted for a viewport: the rows that fit (plus one cut at each
  // edge) and the margins, never more than there are rows.
  static int32_t viewsFor(int32_t viewport, int32_t rowHeight, int32_t rowCount);
  // The window of `views` rows around the row at scroll position
  // scrollPx, kept inside 0..rowCount.
  static UXTablePool windowFor(int32_t scrollPx, int32_t rowHeight, int32_t rowCount, int32_t views);
  // The row under document pixel y: clamped into 0..rowCount - 1, -1 when
  // there are no rows.
  static int32_t rowAt(int64_t y, int32_t rowHeight, int32_t rowCount);
};

// ---------------------------------------------------------------------------
// 4. The table.
class UXTableView : public UXView, public UXDesignable, public UXScrollObserver {
 public:
  static constexpr int32_t kPoolMargin = 8;

  Weak<Object> dataSource;  // a UXTableDataSource
  Weak<Object> delegate;    // a UXTableDelegate
  Ref<Array> columns;       // UXTableColumn, in display order
  Ref<Array> rows;          // UXTableRow: the pool of row views
  Ref<UXTableHeader> header;       // made by the first reload
  Ref<UXScrollView> scrollView;    // made by attachTo
  uint8_t needsNativeReload = 0;   // set by reloadData, cleared by the driver
  uint8_t selectionDirty = 0;      // set when a selected flag is written
  int16_t headerHeight = 20;
  int16_t rowHeight = 16;          // below 1 counts as 1
  int32_t anchorRow = -1;
  uint8_t multiSelect = 0;
  uint8_t rowsDraggable = 0;
  int32_t rowCount = 0;            // rows found by the last reload
  uint32_t rowDrawCount = 0;       // row draws, for the description
  int32_t poolSize = 0;            // row views made so far; never shrinks

  UXTableView();

  uint8_t kind() const override { return 5; }
  void attachTo(const Ref<UXViewTree>& tree, UXRect frame) override;

  // -- Overridable steps (the outline view replaces them) --------------------
  virtual void configureRow(UXTableRow& row, int32_t index);
  virtual int32_t countRows();
  virtual const char* nativeCellText(int32_t row, int32_t column);
  virtual bool nativeIsOutline() { return false; }
  virtual uint8_t nativeRowDisclosure(int32_t row) { return 0; }
  virtual uint32_t nativeRowLevel(int32_t row) { return 0; }
  virtual void nativeToggleRow(int32_t row) {}
  virtual Ref<UXTableRow> newRow();
  virtual bool reportsDragStart() { return false; }
  virtual const char* rowDragText(int32_t row);
  virtual void toggleRow(int32_t row);

  // -- Loading --------------------------------------------------------------
  // Re-asks the row count, clears the selection and shows the rows in view.
  // Before attachTo only the count, the flags and the selection change.
  void reloadData();
  void ensureHeader();
  // Grows the pool to n views (never shrinks it).
  void ensureRows(int32_t n);
  Ref<UXTableCell> newCell();
  const char* columnTitle(int32_t i) const;
  int16_t columnWidth(int32_t i) const;
  // Fits the pooled views to the rows now in view; called on every scroll,
  // relayout and reload.
  void tileRows();
  // The view showing row, or null when the row has none now.
  Ref<UXTableRow> rowViewFor(int32_t row) const;
  // Scrolls the least distance that brings the whole row into view.
  void scrollRowToVisible(int32_t row);
  // Number of nodes the table's views occupy (table, scroll view and its
  // parts, header, rows and cells).
  uint32_t nodeCount() const;

  // -- Selection (UXTableSelection.cpp) -------------------------------------
  bool isRowSelected(int32_t row) const;
  int32_t selectedCount() const;
  // Selected rows ascending, at most capacity; 0 when capacity or rowCount
  // is below 1.
  uint32_t selectedRowList(uint32_t* buffer, uint32_t capacity) const;
  // Every selected row: the driver sizes its list with this.
  std::vector<uint32_t> selectedRows() const;
  void setRowSelected(int32_t row, uint8_t on);
  void deselectAllRows();
  void fireSelectionChanged(int32_t row);
  void selectRow(int32_t row);
  void extendSelectionTo(int32_t row);
  int32_t rowAtWindowY(int32_t y) const;
  void beginDragSelect();
  void trackRowDrag(int32_t row, int32_t x0, int32_t y0);
  // Takes over a selection made in the native list: any number of rows.
  void applyNativeSelection(const uint32_t* list, uint32_t count);
  // Takes over a change the native list made to rows first..last (clamped
  // to the rows): each selected when on is not 0, else deselected; the
  // rest of the selection stays. Afterwards the table is as
  // applyNativeSelection with the whole new selection would leave it.
  void applyNativeRowChange(int32_t first, int32_t last, uint8_t on);

  // -- Designable, scroll observer, description ------------------------------
  bool setOutlet(const char* name, const Ref<Object>& object) override;
  bool wireAction(const Ref<Object>& first, const Ref<Object>& second) override { return false; }
  void scrollViewDidChangeVisible(UXScrollView& scrollView) override;
  Ref<String> description() const override;
  const char* classNameC() const override { return "UXTableView"; }

 protected:
  int32_t pitch() const { return rowHeight < 1 ? 1 : rowHeight; }
  UXTableDataSource* source() const;

 private:
  void placeRow(UXTableRow& row, int32_t index);
  // Hides every view that shows a row; each is given its row afresh.
  void releaseViews();
  // The end of taking a native selection: anchor, delegate and event tap.
  void tookNativeSelection(int32_t anchor);

  std::vector<uint8_t> selected_;  // one flag a data row
  int32_t selectedTotal_ = 0;
  std::vector<int32_t> shown_;     // row shown by pool view k, -1 for none
  int32_t placedOrigin_ = 0;       // document origin the shown frames use
  int32_t placedWidth_ = -1;       // document width the shown frames use
  bool tiling_ = false;
};

}  // namespace quorl
