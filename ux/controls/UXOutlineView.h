// A table whose rows are the visible items of a tree that a data source
// describes item by item. The view keeps the set of expanded items and the
// flattened list of visible rows, rebuilt on every reload; rows, columns,
// selection and drags are the table's.
//
// Sections:
//   1. UXOutlineDataSource
//   2. UXOutlineNode, UXOutlineRow
//   3. UXOutlineView
//
// Items are any objects, compared by identity; the root is no item (null).
#pragma once

#include <cstdint>

#include "ux/controls/UXTableView.h"

namespace quorl {

class UXOutlineView;

// ---------------------------------------------------------------------------
// 1. The tree, asked for on every rebuild; nothing is cached.
class UXOutlineDataSource {
 public:
  virtual ~UXOutlineDataSource() = default;
  // Children of the item (of the top level for null).
  virtual int32_t numberOfChildren(UXOutlineView& view, const Ref<Object>& item) = 0;
  virtual Ref<Object> child(UXOutlineView& view, const Ref<Object>& item, int32_t index) = 0;
  // Only the low byte counts.
  virtual uint32_t isExpandable(UXOutlineView& view, const Ref<Object>& item) = 0;
  // Kept alive by the data source until the next reload (cells keep it).
  virtual const char* value(UXOutlineView& view, const Ref<Object>& item, int32_t column) = 0;
  // What a drag of the item carries; null: the item cannot be dragged.
  virtual const char* dragText(UXOutlineView& view, const Ref<Object>& item) = 0;
};

// ---------------------------------------------------------------------------
// 2. One visible row, and the row view that draws its disclosure triangle.
class UXOutlineNode : public Object {
 public:
  Ref<Object> item;
  uint32_t level = 0;      // 0 for the children of the root
  uint8_t expandable = 0;  // as the data source said at the rebuild
  uint8_t expanded = 0;    // expandable and in the expanded set

  Ref<String> description() const override;  // <UXOutlineNode>(level, expandable, expanded)
  const char* classNameC() const override { return "UXOutlineNode"; }
};

class UXOutlineRow : public UXTableRow {
 public:
  static constexpr int32_t kIndent = 12;  // per level; also the zone's width

  Weak<UXOutlineView> outlineView;

  void drawRect(UXGraphics& g, UXRect rect) override;
  // A press in the disclosure zone of an expandable row toggles it.
  void mouseDown(UXEvent& event) override;
};

// ---------------------------------------------------------------------------
// 3. The view.
class UXOutlineView : public UXTableView {
 public:
  Weak<Object> outlineDataSource;  // a UXOutlineDataSource
  Ref<Array> nodes;                // UXOutlineNode, in display order
  Ref<Array> expandedItems;        // held strongly, each at most once

  UXOutlineView();

  bool isExpanded(const Ref<Object>& item) const;
  void setExpanded(const Ref<Object>& item, bool flag);
  // Appends the visible rows below item, depth first. An item that is
  // already on the path from the root is listed but not entered again, so a
  // tree that reaches an item from itself still ends.
  void flatten(const Ref<Object>& item, uint32_t level);
  Ref<UXOutlineNode> nodeAt(int32_t row) const;
  // First row showing that very object; 0xFFFFFFFF when none.
  uint32_t rowForItem(const Ref<Object>& item) const;

  void configureRow(UXTableRow& row, int32_t index) override;
  int32_t countRows() override;
  const char* nativeCellText(int32_t row, int32_t column) override;
  bool nativeIsOutline() override { return true; }
  // 0 none or a leaf, 1 collapsed, 3 expanded.
  uint8_t nativeRowDisclosure(int32_t row) override;
  uint32_t nativeRowLevel(int32_t row) override;
  void nativeToggleRow(int32_t row) override { toggleRow(row); }
  Ref<UXTableRow> newRow() override;
  bool reportsDragStart() override { return true; }
  const char* rowDragText(int32_t row) override;
  // Expands or collapses an expandable row and reloads.
  void toggleRow(int32_t row) override;

  // -- Native tree accessors -------------------------------------------------
  int32_t nativeChildren(const Ref<Object>& item);
  Ref<Object> nativeChild(const Ref<Object>& item, int32_t index);
  uint8_t nativeExpandable(const Ref<Object>& item);
  const char* nativeItemValue(const Ref<Object>& item, int32_t column);
  bool nativeIsItemExpanded(const Ref<Object>& item) const { return isExpanded(item); }
  // Records the expansion and rebuilds the row list (not the row views).
  void nativeDidExpand(const Ref<Object>& item, uint8_t flag);
  const char* nativeDragText(const Ref<Object>& item);

  const char* classNameC() const override { return "UXOutlineView"; }

 private:
  UXOutlineDataSource* treeSource() const;
};

}  // namespace quorl
