// Views: rectangles of a window's content that draw themselves.
//
// Sections:
//   1. Autoresize bits and the control action
//   2. UXView
//   3. UXShieldView, UXGLView
//
// A view's frame is not stored in the view: it lives in the view's node of the
// window's native node tree and is read and written through the driver. A view
// is attached once (attachTo), which appends its node; whoever builds the
// hierarchy then links the node under its parent and, for containers that
// manage their children, sets `superview` and appends to `subviews`.
#pragma once

#include <cstdint>

#include "foundation/Array.h"
#include "ux/core/UXGeometry.h"
#include "ux/core/UXResponder.h"

namespace quorl {

class Array;
class UXGraphics;
class UXViewTree;

// ---------------------------------------------------------------------------
// 1. Autoresize mask bits.
enum : uint32_t {
  kUXAutoresizeLeft = 1,     // held to the parent's left edge
  kUXAutoresizeRight = 2,    // held to the right edge
  kUXAutoresizeTop = 4,
  kUXAutoresizeBottom = 8,
  kUXAutoresizeWidth = 16,   // width follows the parent's width
  kUXAutoresizeHeight = 32,  // height follows the parent's height
};

class UXView;

// A control's action: run as function(target, control, the block itself) and
// only while the target is alive. Controls hold one; a window runs its default
// button's on Return.
struct UXAction : Block<const Ref<UXView>&, const UXAction&> {
  // Runs the action with `sender` as the control; answers whether it ran.
  bool send(const Ref<UXView>& sender) const { return call(sender, *this); }
};

// Protocol of the views that carry an action (every control).
class UXActionSource {
 public:
  virtual ~UXActionSource() = default;
  virtual const UXAction& actionBlock() const = 0;
};

// ---------------------------------------------------------------------------
// 2. The view.
class UXView : public UXResponder {
 public:
  Weak<UXViewTree> tree;  // null until attached
  uint16_t node = 0;
  Weak<UXView> superview;
  Ref<Array> subviews;  // UXView, linked by a container, in order
  uint32_t autoresizeMask = 0;
  uint8_t peerFlag = 0;  // 1: node kind 17 with the view recorded as peer

  UXView();

  // Appends the view's node (of `kind`) with the frame, relative to the
  // parent node it will be linked under, and enters the view in the tree's
  // list at the node's index.
  virtual void attachTo(const Ref<UXViewTree>& tree, UXRect frame);
  Ref<String> description() const override;
  // Draws in the view's own coordinates; rect is (0, 0, w, h).
  virtual void drawRect(UXGraphics& graphics, UXRect rect);
  // Scroll-container hooks of the window's hit test: a container answers its
  // document's node, its vertical offset and whether it contains a point.
  virtual bool hitScrollContains(int32_t x, int32_t y);
  virtual int32_t hitScrollDoc();
  virtual int32_t hitScrollOffset();
  virtual uint8_t kind() const;
  virtual bool ownsGL() const { return false; }
  virtual void removeFromSuperview();
  // After the autoresize pass gave the view a new size (its subviews have
  // followed already): a view that lays out its parts itself does it here.
  virtual void didAutoresize() {}

  bool isAttached() const { return !tree.expired(); }
  // Relative to the parent node; (0, 0, 0, 0) when not attached.
  UXRect frame() const;
  // In window coordinates; (0, 0, 0, 0) when not attached.
  UXRect absoluteFrame() const;
  // rect is in window coordinates. Always raises gNeedsDisplay.
  void setNeedsDisplayInRect(UXRect rect);
  void setAutoresizeMask(uint32_t mask);

  // The autoresize pass over view's subviews after its size changed.
  static void resizeSubviews(Ptr<UXView> view, int32_t oldW, int32_t oldH, int32_t newW, int32_t newH);
  // One axis of the pass: (pos, size) for a parent change of delta. `low`,
  // `high` and `flex` are the mask bits of the axis (1, 2, 16 or 4, 8, 32).
  static void autoresizeAxis(uint32_t mask, uint32_t low, uint32_t high, uint32_t flex, int32_t pos,
                             int32_t size, int32_t delta, int32_t& newPos, int32_t& newSize);

  const char* classNameC() const override { return "UXView"; }
};

// ---------------------------------------------------------------------------
// 3. Special views.

// An overlay the toolkit draws; never takes focus.
class UXShieldView : public UXView {
 public:
  uint8_t kind() const override { return 15; }
  bool acceptsFirstResponder() override { return false; }
  const char* classNameC() const override { return "UXShieldView"; }
};

// A view that may host a GL context; while it has one it paints itself.
class UXGLView : public UXView {
 public:
  uint64_t glContext = 0;  // driver context, 0 = none

  ~UXGLView() override;

  uint8_t kind() const override { return 16; }
  bool ownsGL() const override { return glContext != 0; }
  // Records the view as its node's peer: the driver's GL surface finds its
  // view through it.
  void attachTo(const Ref<UXViewTree>& tree, UXRect frame) override;
  void removeFromSuperview() override;
  void destroyGL();

  const char* classNameC() const override { return "UXGLView"; }
};

}  // namespace quorl
