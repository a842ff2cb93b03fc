// The native node tree: the flat table of nodes that mirrors one window's
// views inside the driver, and the field editor that edits a text field's
// buffer key by key. Both are the drivers' shared implementation; the
// toolkit reaches them only through the UXViewDriver operations.
//
// Sections:
//   1. Node kinds and UXNode (the record)
//   2. UXNodeTree: append, link, flags, frames, hit test, walks
//   3. UXFieldEditor
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/Object.h"

namespace quorl {

class String;

// ---------------------------------------------------------------------------
// 1. Node kinds (the view classes answer theirs through UXView::kind).
enum : uint8_t {
  kUXNodeView = 1,          // drawn by the toolkit
  kUXNodeButton = 2,
  kUXNodeTextField = 3,
  kUXNodeLabel = 4,         // no native control; the driver draws the text
  kUXNodeTable = 5,
  kUXNodeCheckbox = 6,
  kUXNodeRadio = 7,
  kUXNodeScroll = 8,
  kUXNodeSlider = 9,
  kUXNodePopUp = 10,
  kUXNodeStepper = 11,
  kUXNodeProgress = 12,
  kUXNodeSegmented = 13,
  kUXNodeToolbar = 14,
  kUXNodeShield = 15,       // drawn by the toolkit
  kUXNodeGL = 16,           // drawn by the toolkit while it has no context
  kUXNodePeer = 17,         // drawn by the toolkit; the peer is the view
  kUXNodeTextView = 18,     // native rich text
};

// Whether the toolkit draws nodes of this kind through the user-draw
// callback (1, 15, 16, 17).
bool uxKindDrawnByToolkit(uint32_t kind);
// Whether a driver shows nodes of this kind with a native control (every
// kind but the toolkit-drawn ones and labels).
bool uxKindHasNativeControl(uint32_t kind);
// Native controls get the identifier node + 1000.
constexpr int32_t kUXNativeIdBase = 1000;

struct UXNode {
  uint32_t kind = 0;
  int16_t x = 0, y = 0, w = 0, h = 0;  // relative to the parent node
  uint16_t hidden = 0;
  uint16_t selected = 0;
  uint16_t enabled = 1;
  uint16_t clips = 0;
  uint16_t clipShape = 0;
  uint16_t clipParam = 0;
  uint16_t selectable = 0;
  uint16_t editable = 0;
  uint64_t spec = 0;  // a title C string or a field editor (see uxSpecOf...)
  int16_t nextSibling = -1, firstChild = -1, lastChild = -1, parent = -1;
  uint64_t native = 0;  // the realised control, 0 until realised
  Weak<Object> peer;    // the view, never kept alive by the node
  // Driver-private: whether the realised control is currently shown, and the
  // scroll position of a natively scrolled container.
  uint8_t nativeShown = 0;
  int32_t scrollPx = 0;
};

// ---------------------------------------------------------------------------
// 2. The tree. Indices are positions and never change: nodes are never
//    removed, only unlinked. Node 0 is the window's root. Operations taking
//    an index ignore one that is out of range (answering 0 or -1), and
//    linking refuses anything that would not keep the links a tree.
class UXNodeTree : public Object {
 public:
  // Nodes are addressed by i16, so a tree holds at most this many.
  static constexpr uint32_t kMaxNodes = 32767;

  UXNodeTree();

  uint32_t count() const { return uint32_t(nodes_.size()); }
  // Grows 16, 32, 64... as appends need room.
  uint32_t capacity() const { return capacity_; }
  bool valid(int16_t n) const { return n >= 0 && uint32_t(n) < nodes_.size(); }
  const UXNode* at(int16_t n) const { return valid(n) ? &nodes_[size_t(n)] : nullptr; }
  UXNode* at(int16_t n) { return valid(n) ? &nodes_[size_t(n)] : nullptr; }
  // The node whose container scrolls for n: n itself when it is a scroll
  // view or a table, else the nearest table above it; -1 when there is none.
  int16_t scrollContainerOf(int16_t n) const;

  // A new unlinked node; -1 once the tree holds kMaxNodes.
  int16_t append(uint8_t kind, int32_t x, int32_t y, int32_t w, int32_t h);
  // Makes child the parent's last child; answers child, or -1 when refused
  // (an index out of range, child == parent, a child already linked under a
  // parent, or a child that is an ancestor of parent).
  int16_t addChild(int16_t parent, int16_t child);
  // Unlinks child from parent's list (nothing when it is not parent's child).
  void removeChild(int16_t parent, int16_t child);

  void setFrame(int16_t n, int32_t x, int32_t y, int32_t w, int32_t h);
  // Frame in window coordinates: x and y plus those of every ancestor
  // (summed in 32 bits); all zero for a bad index.
  void absFrame(int16_t n, int32_t& x, int32_t& y, int32_t& w, int32_t& h) const;
  // Hidden itself or through an ancestor, or not linked up to node 0.
  bool effectivelyHidden(int16_t n) const;
  // The deepest visible node under (px, py) from root, or -1: hidden nodes
  // prune their subtrees, children are searched even outside their parent,
  // and later siblings win over earlier ones. The point is relative to the
  // root's parent (window coordinates when the root is node 0).
  int16_t hitTest(int16_t root, int32_t px, int32_t py) const;

  // Pre-order walk of the subtree of start (start, then its children in
  // order). visit(node, absX, absY) answers false to skip the node's
  // children. Iterative: deep trees do not exhaust the stack.
  template <class F> void walk(int16_t start, F&& visit) const;

  // Drops the node array (structFree); the tree is empty afterwards.
  void release();

  Ref<String> description() const override;
  const char* classNameC() const override { return "UXNodeTree"; }

 private:
  bool isAncestor(int16_t ancestor, int16_t n) const;
  std::vector<UXNode> nodes_;
  uint32_t capacity_ = 16;
};

template <class F> void UXNodeTree::walk(int16_t start, F&& visit) const {
  if (!valid(start)) return;
  // Origin of the current node's parent, in window coordinates.
  int32_t ox = 0, oy = 0;
  for (int16_t p = nodes_[size_t(start)].parent; valid(p); p = nodes_[size_t(p)].parent) {
    ox += nodes_[size_t(p)].x;
    oy += nodes_[size_t(p)].y;
  }
  int16_t n = start;
  while (n >= 0) {
    // visit may append nodes (moving the array), so nothing is held across it.
    bool descend = visit(n, ox + nodes_[size_t(n)].x, oy + nodes_[size_t(n)].y);
    if (descend && nodes_[size_t(n)].firstChild >= 0) {
      ox += nodes_[size_t(n)].x;
      oy += nodes_[size_t(n)].y;
      n = nodes_[size_t(n)].firstChild;
      continue;
    }
    // Next sibling, climbing back up (never above start).
    while (n != start && nodes_[size_t(n)].nextSibling < 0) {
      n = nodes_[size_t(n)].parent;
      if (!valid(n)) return;  // unlinked by visit: the walk cannot go on
      ox -= nodes_[size_t(n)].x;
      oy -= nodes_[size_t(n)].y;
    }
    if (n == start) break;
    n = nodes_[size_t(n)].nextSibling;
  }
}

// ---------------------------------------------------------------------------
// 3. Field editor: a record over a caller's buffer (never copied, never
//    freed here) with an optional validation template and placeholder.
class UXFieldEditor : public Object {
 public:
  char* buffer = nullptr;
  uint32_t capacity = 0;
  std::string templ;        // empty: no template
  std::string placeholder;  // shown while the buffer is empty
  uint8_t secure = 0;

  // One keystroke. mode 0 focus gained, 1 key, 2 focus lost. Answers 1 when
  // handled, 0 when the caller should handle the character. The caret is
  // clamped to the text first; the text always stays NUL-terminated within
  // capacity.
  int32_t edit(uint8_t character, int32_t& caret, int32_t mode);

  const char* classNameC() const override { return "UXFieldEditor"; }
};

}  // namespace quorl
