// The toolkit's side of one window's native node tree, and the draw
// callbacks the driver calls back into.
//
// The tree owns the views (its list maps node indices back to views) and
// collects the dirty rectangle between redraw passes. The callbacks run inside
// the driver's synchronous paint, that is inside windowInvalidate or
// windowInvalidateRect.
#pragma once

#include <cstdint>

#include "foundation/Object.h"
#include "ux/core/UXGeometry.h"

namespace quorl {

class Array;
class UXNodeTree;
class UXView;
class UXViewDriver;

class UXViewTree : public Object {
 public:
  Ref<UXNodeTree> driverTree;
  Ref<Array> views;  // entry i is the view of node i
  UXRect dirtyRect;  // window coordinates
  uint8_t dirty = 0;
  uint32_t windowHandle = 0;
  int32_t lastMouseX = 0, lastMouseY = 0;  // last mouse-down, after scroll mapping

  // A new driver tree from the installed driver.
  UXViewTree();
  ~UXViewTree() override;

  // Null when node is not below the driver tree's node count.
  Ref<UXView> viewAt(uint16_t node) const;
  // Unites rect (window coordinates) into the dirty rectangle; empty rects
  // are ignored.
  void markDirty(UXRect rect);
  void clearDirty();

  void setHiddenOf(uint16_t node, uint8_t flag);
  void setSelectedOf(uint16_t node, uint8_t flag);
  void setClipsOf(uint16_t node, uint8_t flag);
  void setSelectableOf(uint16_t node, uint8_t flag);
  void setEditableOf(uint16_t node, uint8_t flag);

  Ref<String> description() const override;
  const char* classNameC() const override { return "UXViewTree"; }

 private:
  // The driver that made driverTree frees it, even if another was installed
  // since.
  Ref<UXViewDriver> maker_;
};

// Content draw function of every window; userData is the UXWindow.
void ux_window_draw(int32_t reserved, int32_t x, int32_t y, int32_t w, int32_t h, void* window);
// Per-node draw function of a window's paint; userData is the UXWindow.
void ux_userdraw(UXNodeTree* tree, int16_t node, void* window);
// Per-node draw function of a native scroll surface; userData is the UXViewTree.
void ux_surface_userdraw(UXNodeTree* tree, int16_t node, void* viewTree);

}  // namespace quorl
