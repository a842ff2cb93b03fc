// The part of the driver contract that every driver keeping its view trees
// in the toolkit's own node records (UXNodeTree) shares: making a tree,
// appending nodes, hit tests and absolute frames, the flags, specs and peers
// that are only written and read back, and the ownership calls that the
// records make no-ops. The headless and the Win32 driver build on it; what a
// driver must also show natively (frames, visibility, enabled state,
// children) it implements itself.
#pragma once

#include "ux/core/UXNodeTree.h"
#include "ux/core/UXViewDriver.h"

namespace quorl {

class UXNodeTreeDriver : public UXViewDriver {
 public:
  int16_t treeHitTest(Ptr<UXNodeTree> tree, int16_t root, int32_t x, int32_t y) override;
  void structAbsFrame(Ptr<UXNodeTree> tree, int16_t node, int32_t& x, int32_t& y, int32_t& w, int32_t& h) override;
  Ref<UXNodeTree> structNew() override;
  // The records are the tree's objects: there is nothing to adopt or finish.
  void structAdopt(Ptr<UXNodeTree> tree, int16_t node) override;
  UXNodeTree* structObjects(Ptr<UXNodeTree> tree) override;
  void structFinalise(Ptr<UXNodeTree> tree) override;
  uint32_t structLength(Ptr<UXNodeTree> tree) override;
  int16_t structAppend(Ptr<UXNodeTree> tree, uint8_t kind, int32_t x, int32_t y, int32_t w, int32_t h) override;
  void structFrame(Ptr<UXNodeTree> tree, int16_t node, int32_t& x, int32_t& y, int32_t& w, int32_t& h) override;
  uint16_t structIsHidden(Ptr<UXNodeTree> tree, int16_t node) override;
  uint16_t structIsEnabled(Ptr<UXNodeTree> tree, int16_t node) override;
  void structSetSelected(Ptr<UXNodeTree> tree, int16_t node, uint16_t selected) override;
  uint16_t structIsSelected(Ptr<UXNodeTree> tree, int16_t node) override;
  void structSetClips(Ptr<UXNodeTree> tree, int16_t node, uint16_t clips) override;
  void structSetClipShape(Ptr<UXNodeTree> tree, int16_t node, uint16_t shape, uint16_t param) override;
  void structSetSpec(Ptr<UXNodeTree> tree, int16_t node, uint64_t spec) override;
  void structSetSelectable(Ptr<UXNodeTree> tree, int16_t node, uint16_t selectable) override;
  void structSetEditable(Ptr<UXNodeTree> tree, int16_t node, uint16_t editable) override;
  void structSetPeer(Ptr<UXNodeTree> tree, int16_t node, Ptr<Object> view) override;
  // The scroll position kept on the node of the scroll container that holds
  // `node` (none: nothing kept, 0 read). A driver with no native control
  // scrolls only this; one with native controls keeps it until the control
  // is realised.
  void nativeScrollTo(Ptr<UXNodeTree> tree, int16_t node, int32_t px) override;
  int32_t nativeScrollPx(Ptr<UXNodeTree> tree, int16_t node) override;
};

}  // namespace quorl
