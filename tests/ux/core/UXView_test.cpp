// Responder chain, views, autoresizing, the view tree and the redraw pass.
#include <gtest/gtest.h>

#include "UXTestDriver.h"
#include "foundation/String.h"
#include "ux/core/UXNodeTree.h"

namespace quorl::test {
namespace {

// --- Responder chain -------------------------------------------------------

class Recorder : public UXResponder {
 public:
  std::vector<std::string> seen;
  void keyDown(UXEvent&) override { seen.push_back("key"); }
  void mouseDown(UXEvent&) override { seen.push_back("down"); }
  void mouseDragged(UXEvent&) override { seen.push_back("dragged"); }
  void mouseUp(UXEvent&) override { seen.push_back("up"); }
  void rightMouseDown(UXEvent&) override { seen.push_back("right"); }
  void scrollWheel(UXEvent&) override { seen.push_back("wheel"); }
};

TEST(UXResponder, EveryHandlerFallsThroughTheChain) {
  auto first = make<UXResponder>();
  auto middle = make<UXResponder>();
  auto last = make<Recorder>();
  first->nextResponder = middle;
  middle->nextResponder = last;
  UXEvent e;
  first->keyDown(e);
  first->mouseDown(e);
  first->mouseDragged(e);
  first->mouseUp(e);
  first->rightMouseDown(e);
  first->scrollWheel(e);
  first->mouseMoved(e);  // travels, nobody acts
  EXPECT_EQ(last->seen, (std::vector<std::string>{"key", "down", "dragged", "up", "right", "wheel"}));
}

TEST(UXResponder, EndOfChainAndReleasedNextDoNothing) {
  auto first = make<UXResponder>();
  UXEvent e;
  first->keyDown(e);  // no next: nothing, no crash
  {
    auto gone = make<Recorder>();
    first->nextResponder = gone;
  }
  first->mouseDown(e);
  EXPECT_FALSE(first->acceptsFirstResponder());
  EXPECT_TRUE(first->becomeFirstResponder());
  EXPECT_TRUE(first->resignFirstResponder());
}

// --- Autoresizing ------------------------------------------------------------

struct AxisCase {
  uint32_t mask;
  int32_t pos, size, delta;
  int32_t wantPos, wantSize;
};

TEST(UXView, AutoresizeAxisTable) {
  const AxisCase cases[] = {
      {0, 100, 100, 100, 100, 100},    // neither
      {1, 100, 100, 100, 100, 100},    // left only
      {2, 100, 100, 100, 200, 100},    // right only: moves by the change
      {3, 100, 100, 100, 100, 200},    // both edges: grows
      {16, 100, 100, 100, 100, 200},   // flexible width
      {17, 100, 100, 100, 100, 200},   // left + flexible
      {18, 100, 100, 100, 150, 150},   // right + flexible: split 100 : 100
      {18, 0, 100, 60, 0, 160},        // at the left edge all goes to the width
      {18, 300, 100, -80, 240, 80},    // shrinking splits too (-80*300/400 = -60)
      {18, -5, 5, 10, -55, 65},        // x + w = 0 divides by 1: share -50
      {16, 10, 50, -100, 10, 0},       // never negative
      {18, 10, 20, -100, -23, 0},      // share -33 (truncated), width clamps
  };
  for (const AxisCase& c : cases) {
    int32_t pos = 0, size = 0;
    UXView::autoresizeAxis(c.mask, 1, 2, 16, c.pos, c.size, c.delta, pos, size);
    EXPECT_EQ(pos, c.wantPos) << "mask " << c.mask << " pos " << c.pos;
    EXPECT_EQ(size, c.wantSize) << "mask " << c.mask << " pos " << c.pos;
  }
}

class UXViewTest : public UXCoreTest {};

TEST_F(UXViewTest, ResizeSubviewsMovesGrowsAndRecursesFromUnchangedSize) {
  Ref<UXWindow> window = openWindow(400, 300);
  auto fixed = addView(window->tree, content, UXRect(10, 10, 50, 50));      // mask 0
  auto inner = addView(fixed->tree.lock(), fixed, UXRect(5, 5, 20, 20));     // grows with fixed
  inner->setAutoresizeMask(kUXAutoresizeWidth | kUXAutoresizeHeight);
  auto split = addView(window->tree, content, UXRect(100, 100, 100, 100));
  split->setAutoresizeMask(kUXAutoresizeRight | kUXAutoresizeWidth | kUXAutoresizeBottom);
  auto tall = addView(window->tree, content, UXRect(0, 0, 40, 40));
  tall->setAutoresizeMask(kUXAutoresizeHeight | kUXAutoresizeTop | kUXAutoresizeBottom);
  gNeedsDisplay = 0;
  window->tree->clearDirty();

  UXView::resizeSubviews(content, 400, 300, 500, 400);
  EXPECT_EQ(fixed->frame(), UXRect(10, 10, 50, 50));
  EXPECT_EQ(inner->frame(), UXRect(5, 5, 20, 20));  // its parent did not change
  EXPECT_EQ(split->frame(), UXRect(150, 200, 150, 100));
  EXPECT_EQ(tall->frame(), UXRect(0, 0, 40, 140));
  EXPECT_EQ(gNeedsDisplay, 1);
  EXPECT_EQ(window->tree->dirty, 1);

  UXView::resizeSubviews(content, 500, 400, 20, 20);  // shrinks past the widths
  EXPECT_EQ(split->frame().w(), 0);
  EXPECT_EQ(tall->frame().h(), 0);
}

// --- Attaching, frames, dirty marks -------------------------------------------

TEST_F(UXViewTest, DetachedViewHasZeroFramesButStillRaisesTheFlag) {
  auto view = make<UXView>();
  EXPECT_FALSE(view->isAttached());
  EXPECT_EQ(view->frame(), UXRect());
  EXPECT_EQ(view->absoluteFrame(), UXRect());
  view->setNeedsDisplayInRect(UXRect(0, 0, 10, 10));
  EXPECT_EQ(gNeedsDisplay, 1);
  view->removeFromSuperview();  // no superview: nothing
  EXPECT_EQ(view->kind(), 1);
  EXPECT_STREQ(view->description()->cString(), "<UXView>(0, 0, 0)");
}

TEST_F(UXViewTest, AttachAppendsNodeAtItsListIndexAndRecordsThePeer) {
  auto tree = make<UXViewTree>();
  auto a = make<UXView>();
  auto b = make<UXView>();
  b->peerFlag = 1;
  a->attachTo(tree, UXRect(1, 2, 3, 4));
  b->attachTo(tree, UXRect(5, 6, 7, 8));
  EXPECT_EQ(a->node, 0);
  EXPECT_EQ(b->node, 1);
  EXPECT_EQ(tree->viewAt(0), a);
  EXPECT_EQ(tree->viewAt(1), b);
  EXPECT_EQ(tree->viewAt(2), nullptr);
  EXPECT_EQ(tree->driverTree->at(1)->kind, 17u);
  EXPECT_EQ(tree->driverTree->at(1)->peer.lock(), b);
  EXPECT_EQ(tree->driverTree->at(0)->kind, 1u);
  EXPECT_EQ(b->frame(), UXRect(5, 6, 7, 8));
  gDriver->structAddChild(tree->driverTree, 0, 1);
  EXPECT_EQ(b->absoluteFrame(), UXRect(6, 8, 7, 8));
  b->setAutoresizeMask(18);
  EXPECT_STREQ(b->description()->cString(), "<UXView>(1, 18, 1)");
}

TEST_F(UXViewTest, RemoveFromSuperviewUnlinksKeepsNodeAndMarksParent) {
  Ref<UXWindow> window = openWindow(200, 100);
  auto child = addView(window->tree, content, UXRect(10, 10, 20, 20));
  auto gl = addView<UXGLView>(window->tree, content, UXRect(40, 10, 20, 20));
  gl->glContext = 3;
  window->tree->clearDirty();
  gNeedsDisplay = 0;

  child->removeFromSuperview();
  EXPECT_EQ(child->superview.lock(), nullptr);
  EXPECT_EQ(content->subviews->count(), 1u);
  EXPECT_EQ(content->subviews->get(0), gl);
  EXPECT_EQ(window->tree->driverTree->at(int16_t(child->node))->parent, -1);
  EXPECT_EQ(window->tree->viewAt(child->node), child);  // stays in the list
  EXPECT_EQ(window->tree->dirtyRect, UXRect(0, 0, 200, 100));  // the parent's absolute frame
  EXPECT_EQ(gNeedsDisplay, 1);

  gl->removeFromSuperview();  // destroys its context first
  ASSERT_EQ(driver->destroyedGL.size(), 1u);
  EXPECT_EQ(driver->destroyedGL[0], gl.get());
  EXPECT_EQ(gl->glContext, 0u);
  EXPECT_EQ(window->tree->driverTree->at(0)->firstChild, -1);
}

TEST_F(UXViewTest, ReleasingAGLViewDestroysItsContext) {
  { auto gl = make<UXGLView>(); gl->glContext = 9; }
  EXPECT_EQ(driver->destroyedGL.size(), 1u);
  { auto gl = make<UXGLView>(); }
  EXPECT_EQ(driver->destroyedGL.size(), 1u);  // no context: no call
}

// --- View tree --------------------------------------------------------------

TEST_F(UXViewTest, DirtyRectangleUnitesAndIgnoresEmptyMarks) {
  auto tree = make<UXViewTree>();
  tree->markDirty(UXRect(5, 5, 0, 10));
  EXPECT_EQ(tree->dirty, 0);
  tree->markDirty(UXRect(10, 10, 5, 5));
  EXPECT_EQ(tree->dirtyRect, UXRect(10, 10, 5, 5));
  tree->markDirty(UXRect(100, 100, 1, 1));
  EXPECT_EQ(tree->dirtyRect, UXRect(10, 10, 91, 91));
  EXPECT_EQ(tree->dirty, 1);
  tree->lastMouseX = -3;
  EXPECT_STREQ(tree->description()->cString(), "<UXViewTree>(1, 0, -3, 0)");
  tree->clearDirty();
  EXPECT_EQ(tree->dirty, 0);
  EXPECT_EQ(tree->dirtyRect, UXRect());
}

// --- Redraw pass -----------------------------------------------------------

TEST_F(UXViewTest, DisplayDrawsOnlyViewsThatIntersectTheDamage) {
  Ref<UXWindow> window = openWindow(300, 200);
  auto left = addView(window->tree, content, UXRect(0, 0, 100, 100));
  auto right = addView(window->tree, content, UXRect(100, 0, 100, 100));  // touches left's edge
  auto far = addView(window->tree, content, UXRect(200, 100, 50, 50));
  auto hidden = addView(window->tree, content, UXRect(0, 0, 100, 100));
  window->tree->setHiddenOf(hidden->node, 1);
  const uint32_t paints = driver->window(window->handle)->paints;
  content->draws = 0;

  left->setNeedsDisplayInRect(left->absoluteFrame());
  window->display();
  EXPECT_EQ(driver->window(window->handle)->paints, paints + 1);
  EXPECT_EQ(window->damage, UXRect(0, 0, 100, 100));
  EXPECT_EQ(window->damageOnly, 0);  // only during the paint
  EXPECT_EQ(window->tree->dirty, 0);
  EXPECT_EQ(content->draws, 1);
  EXPECT_EQ(left->draws, 1);
  EXPECT_EQ(left->lastDrawRect, UXRect(0, 0, 100, 100));
  EXPECT_EQ(right->draws, 0);  // shares only an edge
  EXPECT_EQ(far->draws, 0);
  EXPECT_EQ(hidden->draws, 0);

  window->display();  // nothing dirty: no paint at all
  EXPECT_EQ(driver->window(window->handle)->paints, paints + 1);
}

TEST_F(UXViewTest, FullPaintDrawsEveryViewButGLViewsWithAContext) {
  Ref<UXWindow> window = openWindow(300, 200);
  auto plain = addView(window->tree, content, UXRect(250, 150, 10, 10));
  auto gl = addView<UXGLView>(window->tree, content, UXRect(0, 0, 10, 10));
  gl->glContext = 1;
  gDriver->windowInvalidate(window->handle);
  EXPECT_EQ(plain->draws, 1);
  EXPECT_EQ(plain->lastDrawRect, UXRect(0, 0, 10, 10));
  gl->glContext = 0;  // avoid the destroy call in teardown
}

TEST_F(UXViewTest, SurfaceDrawCallbackSkipsNonViewsAndDamage) {
  auto tree = make<UXViewTree>();
  auto view = make<ProbeView>();
  view->attachTo(tree, UXRect(3, 4, 5, 6));
  gDriver->structAppend(tree->driverTree, 1, 0, 0, 1, 1);  // a node with no view
  ux_surface_userdraw(tree->driverTree.get(), 0, tree.get());
  ux_surface_userdraw(tree->driverTree.get(), 1, tree.get());
  ux_surface_userdraw(tree->driverTree.get(), 9, tree.get());
  ux_surface_userdraw(tree->driverTree.get(), 0, nullptr);
  EXPECT_EQ(view->draws, 1);
  EXPECT_EQ(view->lastDrawRect, UXRect(0, 0, 5, 6));
  ux_userdraw(tree->driverTree.get(), 0, nullptr);  // no window: nothing
  ux_window_draw(0, 0, 0, 10, 10, nullptr);
  EXPECT_EQ(view->draws, 1);
}

}  // namespace
}  // namespace quorl::test
