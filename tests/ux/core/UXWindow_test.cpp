// Windows: opening, layout, focus and Tab order, Return, hit testing through
// scrolled containers, mouse routing.
#include <gtest/gtest.h>

#include "UXTestDriver.h"
#include "foundation/String.h"
#include "ux/core/UXNodeTree.h"

namespace quorl::test {
namespace {

class UXWindowTest : public UXCoreTest {};

// The window's next responder.
class Recorder : public UXResponder {
 public:
  std::vector<uint16_t> keys;
  void keyDown(UXEvent& event) override { keys.push_back(event.key); }
};

// A control-like view with an action.
class ButtonProbe : public ProbeView, public UXActionSource {
 public:
  UXAction action;
  const UXAction& actionBlock() const override { return action; }
};

TEST_F(UXWindowTest, OpenAttachesContentCreatesAndPaintsTheWindow) {
  Ref<UXWindow> window = make<UXWindow>();
  EXPECT_EQ(window->handle, 0u);
  EXPECT_EQ(window->fitWidth, 1);
  content = make<ProbeView>();
  content->setNeedsDisplayInRect(UXRect(0, 0, 1, 1));  // detached: no mark
  window->open("Main", UXRect(40, 30, 320, 200), content);
  ASSERT_NE(window->handle, 0u);
  EXPECT_EQ(window->tree->windowHandle, window->handle);
  EXPECT_EQ(content->node, 0);
  EXPECT_EQ(content->tree.lock(), window->tree);
  EXPECT_EQ(content->nextResponder.lock(), window);
  EXPECT_EQ(window->contentW, 320);
  EXPECT_EQ(window->contentH, 200);
  const auto* native = driver->window(window->handle);
  ASSERT_NE(native, nullptr);
  EXPECT_EQ(native->title, "Main");
  EXPECT_TRUE(native->shown);
  EXPECT_EQ(native->paints, 1u);
  EXPECT_EQ(content->draws, 1);
  EXPECT_EQ(content->frame(), UXRect(0, 0, 320, 200));
  EXPECT_STREQ(window->description()->cString(), "<UXWindow>(1, 1, 0, 0, 0, 0, 320, 200)");
}

TEST_F(UXWindowTest, CloseFreesTheHandleAndReleaseCloses) {
  Ref<UXWindow> window = openWindow();
  const uint32_t handle = window->handle;
  window->close();
  EXPECT_EQ(window->handle, 0u);
  EXPECT_EQ(window->tree->windowHandle, 0u);
  EXPECT_EQ(driver->window(handle), nullptr);
  window->close();  // closed: nothing
  {
    Ref<UXWindow> other = openWindow();
    EXPECT_EQ(driver->liveWindowCount(), 1u);
  }
  EXPECT_EQ(driver->liveWindowCount(), 0u);
}

TEST_F(UXWindowTest, LayoutFollowsTheClientSizeAndAutoresizes) {
  Ref<UXWindow> window = openWindow(300, 200);
  auto pinned = addView(window->tree, content, UXRect(250, 10, 40, 20));
  pinned->setAutoresizeMask(kUXAutoresizeLeft);  // stays
  auto right = addView(window->tree, content, UXRect(250, 10, 40, 20));
  right->setAutoresizeMask(kUXAutoresizeRight);
  window->layoutFor(0, 0, 400, 250);
  EXPECT_EQ(content->frame(), UXRect(0, 0, 400, 250));
  EXPECT_EQ(right->frame(), UXRect(350, 10, 40, 20));
  EXPECT_EQ(pinned->frame(), UXRect(250, 10, 40, 20));
  EXPECT_EQ(window->contentW, 400);
  EXPECT_EQ(window->contentH, 250);
  window->layoutFor(0, 0, 400, 250);  // unchanged: no second move
  EXPECT_EQ(right->frame(), UXRect(350, 10, 40, 20));

  window->fixedHeight = 900;
  window->layoutFor(0, 0, 400, 250);
  EXPECT_EQ(content->frame(), UXRect(0, 0, 400, 900));
  window->fitWidth = 0;
  window->layoutFor(5, 6, 10, 10);  // keeps its size, takes the origin
  EXPECT_EQ(content->frame(), UXRect(5, 6, 400, 900));
}

// --- Focus -------------------------------------------------------------------

TEST_F(UXWindowTest, MakeFirstResponderRules) {
  Ref<UXWindow> window = openWindow();
  auto a = addView(window->tree, content, UXRect(0, 0, 10, 10));
  auto b = addView(window->tree, content, UXRect(0, 0, 10, 10));
  EXPECT_TRUE(window->makeFirstResponder(nullptr));  // same (none)
  EXPECT_TRUE(window->makeFirstResponder(a));
  EXPECT_TRUE(window->makeFirstResponder(a));
  a->refusesResign = true;
  EXPECT_FALSE(window->makeFirstResponder(b));
  EXPECT_EQ(window->firstResponder.lock(), a);
  a->refusesResign = false;
  EXPECT_TRUE(window->makeFirstResponder(nullptr));
  EXPECT_EQ(window->firstResponder.lock(), nullptr);
}

TEST_F(UXWindowTest, TabOrderIsNodeOrderAndWraps) {
  Ref<UXWindow> window = openWindow();
  auto first = addView(window->tree, content, UXRect(0, 0, 10, 10));
  auto skipped = addView(window->tree, content, UXRect(0, 0, 10, 10));
  auto second = addView(window->tree, content, UXRect(0, 0, 10, 10));
  auto last = addView(window->tree, content, UXRect(0, 0, 10, 10));
  first->accepts = second->accepts = last->accepts = true;
  window->tree->setHiddenOf(last->node, 1);  // hidden views are not skipped

  auto tab = keyEvent(9);
  window->dispatchKey(*tab);  // no focus: the window moves it to the first accepting view
  EXPECT_EQ(window->firstResponder.lock(), first);
  window->keyDown(*tab);
  EXPECT_EQ(window->firstResponder.lock(), second);
  window->keyDown(*tab);
  EXPECT_EQ(window->firstResponder.lock(), last);
  window->keyDown(*tab);  // wraps
  EXPECT_EQ(window->firstResponder.lock(), first);

  auto backTab = keyEvent(9, kUXModShift);
  window->keyDown(*backTab);  // wraps backwards
  EXPECT_EQ(window->firstResponder.lock(), last);
  auto backTab2 = keyEvent(9, 2);  // either low bit is Shift
  window->keyDown(*backTab2);
  EXPECT_EQ(window->firstResponder.lock(), second);

  window->makeFirstResponder(nullptr);
  window->keyDown(*backTab);  // no focus: Shift-Tab goes to the last
  EXPECT_EQ(window->firstResponder.lock(), last);
  EXPECT_TRUE(skipped->keys.empty());
}

TEST_F(UXWindowTest, TabWithoutAcceptingViewsKeepsTheFocus) {
  Ref<UXWindow> window = openWindow();
  auto other = make<ProbeView>();  // a responder outside the tree
  window->makeFirstResponder(other);
  addView(window->tree, content, UXRect(0, 0, 10, 10));
  window->moveFocus(true);
  EXPECT_EQ(window->firstResponder.lock(), other);
  window->moveFocus(false);
  EXPECT_EQ(window->firstResponder.lock(), other);
}

// --- Keys --------------------------------------------------------------------

TEST_F(UXWindowTest, ReturnRunsTheDefaultButtonsAction) {
  Ref<UXWindow> window = openWindow();
  auto button = addView<ButtonProbe>(window->tree, content, UXRect(0, 0, 10, 10));
  auto owner = make<Object>();
  std::vector<const UXView*> senders;
  bool blockWasOwn = false;
  button->action.target = owner;
  button->action.function = [&](const Ref<Object>& target, const Ref<UXView>& sender, const UXAction& block) {
    EXPECT_EQ(target, owner);
    senders.push_back(sender.get());
    blockWasOwn = &block == &button->action;
  };
  window->defaultButton = button;
  auto next = make<Recorder>();
  window->nextResponder = next;

  auto ret = keyEvent(13);
  window->dispatchKey(*ret);
  ASSERT_EQ(senders.size(), 1u);
  EXPECT_EQ(senders[0], button.get());
  EXPECT_TRUE(blockWasOwn);
  EXPECT_TRUE(next->keys.empty());

  owner.reset();  // target gone: nothing runs, the key still ends here
  window->dispatchKey(*ret);
  EXPECT_EQ(senders.size(), 1u);
  EXPECT_TRUE(next->keys.empty());

  window->defaultButton.reset();  // no default button: to the next responder
  window->dispatchKey(*ret);
  EXPECT_EQ(next->keys, std::vector<uint16_t>{13});
  auto other = keyEvent('x');
  window->dispatchKey(*other);
  EXPECT_EQ(next->keys.size(), 2u);
}

// --- Hit testing and mouse routing ---------------------------------------------

TEST_F(UXWindowTest, MouseDownFocusesCapturesAndRecordsThePoint) {
  Ref<UXWindow> window = openWindow(300, 200);
  auto back = addView(window->tree, content, UXRect(0, 0, 300, 200));
  auto front = addView(window->tree, back, UXRect(50, 50, 20, 20));
  front->accepts = true;
  auto down = makeEvent(kUXEventMouseDown, 55, 60);
  window->dispatchMouse(*down);
  EXPECT_EQ(front->mouseDowns, 1);
  EXPECT_EQ(window->firstResponder.lock(), front);
  EXPECT_EQ(window->mouseView, front);
  EXPECT_EQ(window->tree->lastMouseX, 55);
  EXPECT_EQ(window->tree->lastMouseY, 60);
  EXPECT_EQ(window->dragDY, 0);

  auto miss = makeEvent(kUXEventMouseDown, 500, 500);
  window->dispatchMouse(*miss);  // outside everything: nothing
  EXPECT_EQ(window->mouseView, front);

  front->refusesResign = true;  // keeps focus, the click still lands
  back->accepts = true;
  auto elsewhere = makeEvent(kUXEventMouseDown, 5, 5);
  window->dispatchMouse(*elsewhere);
  EXPECT_EQ(back->mouseDowns, 1);
  EXPECT_EQ(window->firstResponder.lock(), front);

  window->tree->setHiddenOf(front->node, 1);  // hidden: the back view is hit
  window->dispatchMouse(*makeEvent(kUXEventMouseDown, 55, 60));
  EXPECT_EQ(front->mouseDowns, 1);
  EXPECT_EQ(back->mouseDowns, 2);
}

TEST_F(UXWindowTest, ClickInScrolledDocumentShiftsYAndDragOffset) {
  Ref<UXWindow> window = openWindow(300, 300);
  auto scroll = addView<ScrollProbe>(window->tree, content, UXRect(20, 20, 200, 100));
  auto document = addView(window->tree, scroll, UXRect(0, 0, 200, 1000));
  auto item = addView(window->tree, document, UXRect(0, 120, 200, 30));
  scroll->doc = document->node;
  scroll->offset = 40;

  // Window y 110 is document y 110 - 20 + 40 = 130: the item (120..150).
  auto down = makeEvent(kUXEventMouseDown, 30, 110);
  window->dispatchMouse(*down);
  EXPECT_EQ(item->mouseDowns, 1);
  EXPECT_EQ(item->lastY, 150);  // the event's y grew by the offset
  EXPECT_EQ(item->lastX, 30);   // x is never shifted
  EXPECT_EQ(item->dragDYInMouseDown, 40);
  EXPECT_EQ(window->dragDY, 40);
  EXPECT_EQ(window->dragDX, 0);
  EXPECT_EQ(gUXDragDY, 0);  // reset after the delivery
  EXPECT_EQ(window->tree->lastMouseY, 150);

  // Outside the container's frame the plain hit stands.
  auto outside = makeEvent(kUXEventMouseDown, 250, 250);
  window->dispatchMouse(*outside);
  EXPECT_EQ(content->mouseDowns, 1);
  EXPECT_EQ(outside->y, 250);

  // A container scrolled to 0 is looked through without a shift.
  scroll->offset = 0;
  auto top = makeEvent(kUXEventMouseDown, 30, 25);
  EXPECT_EQ(window->hitScrolled(*top), document->node);
  EXPECT_EQ(top->y, 25);
}

TEST_F(UXWindowTest, NestedScrollContainersAddTheirOffsets) {
  Ref<UXWindow> window = openWindow(300, 300);
  auto outer = addView<ScrollProbe>(window->tree, content, UXRect(0, 0, 300, 300));
  auto outerDoc = addView(window->tree, outer, UXRect(0, 0, 300, 2000));
  auto inner = addView<ScrollProbe>(window->tree, outerDoc, UXRect(0, 100, 300, 400));
  auto innerDoc = addView(window->tree, inner, UXRect(0, 0, 300, 3000));
  auto target = addView(window->tree, innerDoc, UXRect(0, 200, 300, 10));
  outer->doc = outerDoc->node;
  outer->offset = 50;
  inner->doc = innerDoc->node;
  inner->offset = 100;
  auto down = makeEvent(kUXEventMouseDown, 10, 150);  // outer doc y 200, inner doc y 200 - 100 + 100 = 200
  EXPECT_EQ(window->hitScrolled(*down), target->node);
  EXPECT_EQ(down->y, 300);
}

TEST_F(UXWindowTest, WheelRightClickAndMovesReachTheViewUnderThePoint) {
  Ref<UXWindow> window = openWindow(300, 200);
  auto view = addView(window->tree, content, UXRect(10, 10, 50, 50));
  window->dispatchWheel(*makeEvent(kUXEventWheel, 20, 20));
  window->dispatchRightMouse(*makeEvent(kUXEventRightMouseDown, 20, 20));
  window->dispatchMouseMoved(*makeEvent(kUXEventMouseMoved, 20, 20));
  window->dispatchWheel(*makeEvent(kUXEventWheel, 999, 999));
  EXPECT_EQ(view->wheels, 1);
  EXPECT_EQ(view->rightDowns, 1);
  EXPECT_EQ(view->mouseDowns, 0);
  EXPECT_EQ(window->mouseView, nullptr);  // only a press captures
}

}  // namespace
}  // namespace quorl::test
