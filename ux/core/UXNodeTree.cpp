#include "ux/core/UXNodeTree.h"

#include <cstring>

#include "foundation/String.h"

namespace quorl {

bool uxKindDrawnByToolkit(uint32_t kind) {
  return kind == kUXNodeView || kind == kUXNodeShield || kind == kUXNodeGL || kind == kUXNodePeer;
}

bool uxKindHasNativeControl(uint32_t kind) {
  return kind >= kUXNodeButton && kind <= kUXNodeTextView && kind != kUXNodeLabel && !uxKindDrawnByToolkit(kind);
}

UXNodeTree::UXNodeTree() { nodes_.reserve(capacity_); }

int16_t UXNodeTree::append(uint8_t kind, int32_t x, int32_t y, int32_t w, int32_t h) {
  if (nodes_.size() >= kMaxNodes) return -1;
  if (nodes_.size() + 1 > capacity_) {
    while (capacity_ < nodes_.size() + 1) capacity_ *= 2;
    nodes_.reserve(capacity_);
  }
  UXNode node;
  node.kind = kind;
  node.x = int16_t(x);
  node.y = int16_t(y);
  node.w = int16_t(w);
  node.h = int16_t(h);
  nodes_.push_back(node);
  return int16_t(nodes_.size() - 1);
}

bool UXNodeTree::isAncestor(int16_t ancestor, int16_t n) const {
  // Links are kept a tree, so the chain ends; the count bound is a guard.
  size_t steps = 0;
  for (int16_t p = n; valid(p) && steps <= nodes_.size(); p = nodes_[size_t(p)].parent, ++steps)
    if (p == ancestor) return true;
  return false;
}

int16_t UXNodeTree::addChild(int16_t parent, int16_t child) {
  if (!valid(parent) || !valid(child) || parent == child) return -1;
  UXNode& c = nodes_[size_t(child)];
  // A node linked twice, or under its own descendant, would make the walks
  // loop for ever; such a link is refused.
  if (c.parent >= 0 || isAncestor(child, parent)) return -1;
  UXNode& p = nodes_[size_t(parent)];
  c.parent = parent;
  c.nextSibling = -1;
  if (p.lastChild >= 0)
    nodes_[size_t(p.lastChild)].nextSibling = child;
  else
    p.firstChild = child;
  p.lastChild = child;
  return child;
}

void UXNodeTree::removeChild(int16_t parent, int16_t child) {
  if (!valid(parent) || !valid(child)) return;
  UXNode& p = nodes_[size_t(parent)];
  int16_t prev = -1;
  int16_t cur = p.firstChild;
  while (cur >= 0 && cur != child) {
    prev = cur;
    cur = nodes_[size_t(cur)].nextSibling;
  }
  if (cur < 0) return;
  UXNode& c = nodes_[size_t(child)];
  if (prev >= 0)
    nodes_[size_t(prev)].nextSibling = c.nextSibling;
  else
    p.firstChild = c.nextSibling;
  if (p.lastChild == child) p.lastChild = prev;
  c.nextSibling = -1;
  c.parent = -1;
}

void UXNodeTree::setFrame(int16_t n, int32_t x, int32_t y, int32_t w, int32_t h) {
  UXNode* node = at(n);
  if (!node) return;
  node->x = int16_t(x);
  node->y = int16_t(y);
  node->w = int16_t(w);
  node->h = int16_t(h);
}

void UXNodeTree::absFrame(int16_t n, int32_t& x, int32_t& y, int32_t& w, int32_t& h) const {
  x = y = w = h = 0;
  const UXNode* node = at(n);
  if (!node) return;
  w = node->w;
  h = node->h;
  for (int16_t p = n; valid(p); p = nodes_[size_t(p)].parent) {
    x += nodes_[size_t(p)].x;
    y += nodes_[size_t(p)].y;
  }
}

bool UXNodeTree::effectivelyHidden(int16_t n) const {
  if (!valid(n)) return true;
  int16_t p = n;
  for (;;) {
    if (nodes_[size_t(p)].hidden) return true;
    if (p == 0) return false;
    p = nodes_[size_t(p)].parent;
    if (!valid(p)) return true;  // the chain ends before the root
  }
}

int16_t UXNodeTree::hitTest(int16_t root, int32_t px, int32_t py) const {
  // The recursive rule ("each child's result replaces the parent's") makes
  // the answer the last hit node of a pre-order walk that prunes hidden
  // subtrees.
  // The search starts with the root's parent at origin (0, 0): the point is
  // relative to that parent. The walk reports absolute origins, so the point
  // is moved by the parent's absolute origin instead.
  if (!valid(root)) return -1;
  int32_t px0 = 0, py0 = 0, w, h;
  absFrame(nodes_[size_t(root)].parent, px0, py0, w, h);
  px += px0;
  py += py0;
  int16_t result = -1;
  walk(root, [&](int16_t n, int32_t ax, int32_t ay) {
    const UXNode& node = nodes_[size_t(n)];
    if (node.hidden) return false;
    if (ax <= px && px < ax + node.w && ay <= py && py < ay + node.h) result = n;
    return true;
  });
  return result;
}

void UXNodeTree::release() {
  std::vector<UXNode>().swap(nodes_);
  capacity_ = 16;
}

Ref<String> UXNodeTree::description() const {
  const uint16_t values[2] = {uint16_t(nodes_.size()), uint16_t(capacity_)};
  return String::_classDescribe("UXNodeTree", values, 2, 0);
}

// ---------------------------------------------------------------------------

int32_t UXFieldEditor::edit(uint8_t character, int32_t& caret, int32_t mode) {
  if (!buffer || capacity < 1) return 0;
  // Bounded scan: a buffer without a NUL inside its capacity is cut there,
  // at a character boundary.
  const void* nul = std::memchr(buffer, 0, capacity);
  int32_t len = nul ? int32_t(static_cast<const char*>(nul) - buffer)
                    : int32_t(String::utf8Prefix(buffer, capacity, capacity - 1));
  if (!nul) buffer[len] = 0;
  if (caret < 0) caret = 0;
  if (caret > len) caret = len;
  // Edits happen only between characters: a caret inside one (the text was
  // replaced under it) moves to that character's start.
  caret = int32_t(String::utf8Prefix(buffer, size_t(len), size_t(caret)));
  if (mode == 0 || mode == 2) {
    caret = len;
    return 1;
  }
  if (character == 8) {
    if (caret == 0) return 1;
    // The whole character before the caret goes, never one byte of it: step
    // back over its continuation bytes (at most three) to its lead byte.
    int32_t from = caret - 1;
    for (int k = 0; k < 3 && from > 0 && (uint8_t(buffer[from]) & 0xC0) == 0x80; ++k) --from;
    std::memmove(buffer + from, buffer + caret, size_t(len - caret) + 1);
    caret = from;
    return 1;
  }
  if (character < 32 || character > 126) return 0;
  if (uint32_t(len) + 1 >= capacity) return 1;  // full: dropped
  if (size_t(caret) < templ.size()) {
    char t = templ[size_t(caret)];
    bool upper = character >= 'A' && character <= 'Z';
    bool lower = character >= 'a' && character <= 'z';
    bool fits = t == '9'   ? (character >= '0' && character <= '9')
                : t == 'A' ? (upper || character == ' ')
                : t == 'a' ? (upper || lower)
                           : true;
    if (!fits) return 1;
  }
  std::memmove(buffer + caret + 1, buffer + caret, size_t(len - caret) + 1);
  buffer[caret] = char(character);
  ++caret;
  return 1;
}

int16_t UXNodeTree::scrollContainerOf(int16_t n) const {
  const UXNode* node = at(n);
  if (!node) return -1;
  if (node->kind == kUXNodeScroll || node->kind == kUXNodeTable) return n;
  for (int16_t p = node->parent; valid(p); p = at(p)->parent)
    if (at(p)->kind == kUXNodeTable) return p;
  return -1;
}

}  // namespace quorl
