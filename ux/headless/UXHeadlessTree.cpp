// The node tree: UXNodeTree's own records, with the shown state of realised
// controls following every change; drawing a tree through the user-draw
// callback; and realising it, where a control is only a number
// (UXWin32Tree.cpp, W32TreeDraw.cpp and W32Realize.cpp on Win32).
#include "ux/headless/UXHeadlessDriver.h"

namespace quorl {

void UXHeadlessDriver::treeOffset(Ptr<UXNodeTree>, int32_t& x, int32_t& y) { x = y = 0; }

void UXHeadlessDriver::structFree(Ptr<UXNodeTree> tree) {
  if (tree) tree->release();
}

int16_t UXHeadlessDriver::structAddChild(Ptr<UXNodeTree> tree, int16_t parent, int16_t child) {
  return tree ? tree->addChild(parent, child) : int16_t(-1);
}

namespace {
// Brings the shown state of every realised control under n in line with
// the tree: shown unless hidden itself, through an ancestor or unlinked.
void syncShown(UXNodeTree& tree, int16_t n) {
  tree.walk(n, [&](int16_t m, int32_t, int32_t) {
    UXNode* node = tree.at(m);
    if (node->native) node->nativeShown = tree.effectivelyHidden(m) ? 0 : 1;
    return true;
  });
}
}  // namespace

void UXHeadlessDriver::structRemoveChild(Ptr<UXNodeTree> tree, int16_t parent, int16_t child) {
  if (!tree) return;
  tree->removeChild(parent, child);
  if (tree->valid(child) && tree->at(child)->parent < 0) syncShown(*tree, child);
}

void UXHeadlessDriver::structSetFrame(Ptr<UXNodeTree> tree, int16_t node, int32_t x, int32_t y, int32_t w,
                                      int32_t h) {
  // A realised control's position is the node's absolute frame, so moving
  // the node moves the control at once.
  if (tree) tree->setFrame(node, x, y, w, h);
}

void UXHeadlessDriver::structSetHidden(Ptr<UXNodeTree> tree, int16_t node, uint16_t hidden) {
  UXNode* n = tree ? tree->at(node) : nullptr;
  if (!n) return;
  n->hidden = hidden;
  syncShown(*tree, node);
}

void UXHeadlessDriver::structSetEnabled(Ptr<UXNodeTree> tree, int16_t node, uint16_t enabled) {
  if (UXNode* n = tree ? tree->at(node) : nullptr) n->enabled = enabled;
}

void UXHeadlessDriver::structSetAutoresize(Ptr<UXNodeTree>, int16_t, uint32_t) {}
bool UXHeadlessDriver::driverAutoresizes() { return false; }

void UXHeadlessDriver::treeSetUserDraw(UXNodeDrawFunction draw, void* userData) {
  userDraw_ = draw;
  userDrawData_ = userData;
}

void UXHeadlessDriver::treeDraw(UXNodeTree* tree, int16_t start, int32_t, int32_t, int32_t, int32_t) {
  if (!tree) return;
  tree->walk(start, [&](int16_t n, int32_t ax, int32_t ay) {
    const UXNode* node = tree->at(n);
    if (node->hidden) return false;
    if (uxKindDrawnByToolkit(node->kind)) {
      if (userDraw_) userDraw_(tree, n, userDrawData_);
    } else if (node->kind == kUXNodeLabel && node->spec) {
      // Labels have no control: the driver draws their text.
      surface_.setOrigin(-drawOffsetX_, -drawOffsetY_);
      surface_.drawText(uxTextOfSpec(node->spec), int16_t(ax), int16_t(ay), 1, 12);
    }
    return true;
  });
}

void UXHeadlessDriver::realizeTree(uint32_t window, UXNodeTree* tree) {
  if (!tree) return;
  for (uint32_t i = 0; i < tree->count(); ++i) {
    int16_t n = int16_t(i);
    UXNode* node = tree->at(n);
    if (!uxKindHasNativeControl(node->kind)) continue;
    if (node->native == 0) {
      node->native = uint64_t(kUXNativeIdBase + n);
      if (node->kind == kUXNodeTextView && nativeTextViews_ && liveWindow(window)) texts_[{window, n}];
    }
    node->nativeShown = tree->effectivelyHidden(n) ? 0 : 1;
  }
}

}  // namespace quorl
