// The node-tree operations that only read and write the toolkit's records.
#include "ux/core/UXNodeTreeDriver.h"

namespace quorl {

int16_t UXNodeTreeDriver::treeHitTest(Ptr<UXNodeTree> tree, int16_t root, int32_t x, int32_t y) {
  return tree ? tree->hitTest(root, x, y) : int16_t(-1);
}

void UXNodeTreeDriver::structAbsFrame(Ptr<UXNodeTree> tree, int16_t node, int32_t& x, int32_t& y, int32_t& w,
                                      int32_t& h) {
  x = y = w = h = 0;
  if (tree) tree->absFrame(node, x, y, w, h);
}

Ref<UXNodeTree> UXNodeTreeDriver::structNew() { return make<UXNodeTree>(); }

void UXNodeTreeDriver::structAdopt(Ptr<UXNodeTree>, int16_t) {}
UXNodeTree* UXNodeTreeDriver::structObjects(Ptr<UXNodeTree> tree) { return tree.get(); }
void UXNodeTreeDriver::structFinalise(Ptr<UXNodeTree>) {}

uint32_t UXNodeTreeDriver::structLength(Ptr<UXNodeTree> tree) { return tree ? tree->count() : 0; }

int16_t UXNodeTreeDriver::structAppend(Ptr<UXNodeTree> tree, uint8_t kind, int32_t x, int32_t y, int32_t w,
                                       int32_t h) {
  return tree ? tree->append(kind, x, y, w, h) : int16_t(-1);
}

void UXNodeTreeDriver::structFrame(Ptr<UXNodeTree> tree, int16_t node, int32_t& x, int32_t& y, int32_t& w,
                                   int32_t& h) {
  const UXNode* n = tree ? tree->at(node) : nullptr;
  x = n ? n->x : 0;
  y = n ? n->y : 0;
  w = n ? n->w : 0;
  h = n ? n->h : 0;
}

uint16_t UXNodeTreeDriver::structIsHidden(Ptr<UXNodeTree> tree, int16_t node) {
  const UXNode* n = tree ? tree->at(node) : nullptr;
  return n ? n->hidden : 0;
}

uint16_t UXNodeTreeDriver::structIsEnabled(Ptr<UXNodeTree> tree, int16_t node) {
  const UXNode* n = tree ? tree->at(node) : nullptr;
  return n ? n->enabled : 0;
}

void UXNodeTreeDriver::structSetSelected(Ptr<UXNodeTree> tree, int16_t node, uint16_t selected) {
  if (UXNode* n = tree ? tree->at(node) : nullptr) n->selected = selected;
}

uint16_t UXNodeTreeDriver::structIsSelected(Ptr<UXNodeTree> tree, int16_t node) {
  const UXNode* n = tree ? tree->at(node) : nullptr;
  return n ? n->selected : 0;
}

void UXNodeTreeDriver::structSetClips(Ptr<UXNodeTree> tree, int16_t node, uint16_t clips) {
  if (UXNode* n = tree ? tree->at(node) : nullptr) n->clips = clips;
}

void UXNodeTreeDriver::structSetClipShape(Ptr<UXNodeTree> tree, int16_t node, uint16_t shape, uint16_t param) {
  if (UXNode* n = tree ? tree->at(node) : nullptr) {
    n->clipShape = shape;
    n->clipParam = param;
  }
}

void UXNodeTreeDriver::structSetSpec(Ptr<UXNodeTree> tree, int16_t node, uint64_t spec) {
  if (UXNode* n = tree ? tree->at(node) : nullptr) n->spec = spec;
}

void UXNodeTreeDriver::structSetSelectable(Ptr<UXNodeTree> tree, int16_t node, uint16_t selectable) {
  if (UXNode* n = tree ? tree->at(node) : nullptr) n->selectable = selectable;
}

void UXNodeTreeDriver::structSetEditable(Ptr<UXNodeTree> tree, int16_t node, uint16_t editable) {
  if (UXNode* n = tree ? tree->at(node) : nullptr) n->editable = editable;
}

void UXNodeTreeDriver::structSetPeer(Ptr<UXNodeTree> tree, int16_t node, Ptr<Object> view) {
  if (UXNode* n = tree ? tree->at(node) : nullptr) n->peer = view ? Weak<Object>(view->self()) : Weak<Object>();
}

void UXNodeTreeDriver::nativeScrollTo(Ptr<UXNodeTree> tree, int16_t node, int32_t px) {
  if (!tree) return;
  int16_t c = tree->scrollContainerOf(node);
  if (c >= 0) tree->at(c)->scrollPx = px < 0 ? 0 : px;
}

int32_t UXNodeTreeDriver::nativeScrollPx(Ptr<UXNodeTree> tree, int16_t node) {
  if (!tree) return 0;
  int16_t c = tree->scrollContainerOf(node);
  return c >= 0 ? tree->at(c)->scrollPx : 0;
}

}  // namespace quorl
