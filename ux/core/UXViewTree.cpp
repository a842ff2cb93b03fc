#include "ux/core/UXViewTree.h"

#include "foundation/Array.h"
#include "foundation/String.h"
#include "ux/core/UXApplication.h"
#include "ux/core/UXGraphics.h"
#include "ux/core/UXNodeTree.h"
#include "ux/core/UXView.h"
#include "ux/core/UXViewDriver.h"
#include "ux/core/UXWindow.h"

namespace quorl {

UXViewTree::UXViewTree() : views(make<Array>()), maker_(gDriver) {
  if (maker_) driverTree = maker_->structNew();
}

UXViewTree::~UXViewTree() {
  if (maker_ && driverTree) maker_->structFree(driverTree);
}

Ref<UXView> UXViewTree::viewAt(uint16_t node) const {
  if (!gDriver || !driverTree) return nullptr;
  if (node >= gDriver->structLength(driverTree) || node >= views->count()) return nullptr;
  return cast<UXView>(views->get(node));
}

void UXViewTree::markDirty(UXRect rect) {
  if (UXGeom::isEmpty(rect)) return;
  dirtyRect = dirty ? UXGeom::unite(dirtyRect, rect) : rect;
  dirty = 1;
}

void UXViewTree::clearDirty() {
  dirtyRect = UXRect();
  dirty = 0;
}

void UXViewTree::setHiddenOf(uint16_t node, uint8_t flag) {
  if (gDriver) gDriver->structSetHidden(driverTree, int16_t(node), flag ? 1 : 0);
}

void UXViewTree::setSelectedOf(uint16_t node, uint8_t flag) {
  if (gDriver) gDriver->structSetSelected(driverTree, int16_t(node), flag ? 1 : 0);
}

void UXViewTree::setClipsOf(uint16_t node, uint8_t flag) {
  if (gDriver) gDriver->structSetClips(driverTree, int16_t(node), flag ? 1 : 0);
}

void UXViewTree::setSelectableOf(uint16_t node, uint8_t flag) {
  if (gDriver) gDriver->structSetSelectable(driverTree, int16_t(node), flag ? 1 : 0);
}

void UXViewTree::setEditableOf(uint16_t node, uint8_t flag) {
  if (gDriver) gDriver->structSetEditable(driverTree, int16_t(node), flag ? 1 : 0);
}

Ref<String> UXViewTree::description() const {
  const uint16_t values[] = {dirty, uint16_t(windowHandle), uint16_t(lastMouseX), uint16_t(lastMouseY)};
  return String::_classDescribe(classNameC(), values, 4, 0x0C);
}

// ---------------------------------------------------------------------------
// Draw callbacks.

namespace {

// Draws one view at its absolute frame through a surface from the driver.
void drawViewAt(UXViewTree& tree, const Ref<UXView>& view, int16_t node, const UXWindow* damageOf) {
  int32_t x = 0, y = 0, w = 0, h = 0;
  gDriver->structAbsFrame(tree.driverTree, node, x, y, w, h);
  if (damageOf && damageOf->damageOnly && !UXGeom::intersects(UXRect(x, y, w, h), damageOf->damage)) return;
  UXGraphics* graphics = gDriver->beginViewDraw(x, y, w, h);
  if (graphics) view->drawRect(*graphics, UXRect(0, 0, w, h));
  gDriver->endViewDraw();
}

}  // namespace

void ux_window_draw(int32_t reserved, int32_t x, int32_t y, int32_t w, int32_t h, void* userData) {
  auto* window = static_cast<UXWindow*>(userData);
  if (!window || !gDriver) return;
  // A view's drawRect may drop the last outside reference to the window.
  Ref<Object> keep = window->self();
  window->layoutFor(x, y, w, h);
  UXRect area(x, y, w, h);
  if (window->damageOnly) area = window->damage;
  gDriver->treeSetUserDraw(ux_userdraw, window);
  gDriver->treeDraw(gDriver->structObjects(window->tree->driverTree), 0, area.x(), area.y(), area.w(), area.h());
}

void ux_userdraw(UXNodeTree* tree, int16_t node, void* userData) {
  auto* window = static_cast<UXWindow*>(userData);
  if (!window || !gDriver || node < 0) return;
  Ref<UXView> view = window->tree->viewAt(uint16_t(node));
  if (!view || view->ownsGL()) return;
  drawViewAt(*window->tree, view, node, window);
}

void ux_surface_userdraw(UXNodeTree* tree, int16_t node, void* userData) {
  auto* viewTree = static_cast<UXViewTree*>(userData);
  if (!viewTree || !gDriver || node < 0) return;
  Ref<UXView> view = viewTree->viewAt(uint16_t(node));
  if (!view) return;
  drawViewAt(*viewTree, view, node, nullptr);
}

}  // namespace quorl
