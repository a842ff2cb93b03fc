// The headless driver: windows, events, the synchronous paint and the
// draw-callback protocol, the recording surface, realisation, field editors,
// text controls, menus, dialogs, metrics, clocks and files.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "FileSizeLimit.h"
#include "ScriptedDriver.h"
#include "foundation/String.h"
#include "ux/headless/UXHeadlessDriver.h"

namespace quorl {
namespace {

using Lines = std::vector<std::string>;

class HeadlessTest : public ::testing::Test {
 protected:
  Ref<UXHeadlessDriver> d = make<UXHeadlessDriver>();
  void SetUp() override { d->setMaxWaitMs(0); }
};

// ---------------------------------------------------------------------------
// Factory and contract queries.

TEST_F(HeadlessTest, OptionalOperationsAreReported) {
  EXPECT_FALSE(d->hasOperation(UXDriverOp::slot21));
  EXPECT_FALSE(d->hasOperation(UXDriverOp::textViewUndo));
  EXPECT_FALSE(d->hasOperation(UXDriverOp::textViewSetAll));
  EXPECT_TRUE(d->hasOperation(UXDriverOp::menuPopUp));
  EXPECT_TRUE(d->hasOperation(UXDriverOp::windowCreate));
  EXPECT_TRUE(d->hasOperation(UXDriverOp::orientation));
  d->setNativeTextViews(true);
  EXPECT_TRUE(d->hasOperation(UXDriverOp::textViewSetAll));
  EXPECT_STREQ(uxDriverOpName(UXDriverOp::windowCreate), "windowCreate");
  EXPECT_STREQ(uxDriverOpName(UXDriverOp::menuBuild), "menuBuild");
  EXPECT_STREQ(uxDriverOpName(UXDriverOp::orientation), "orientation");
}

TEST_F(HeadlessTest, FixedAnswers) {
  int32_t w = 0, h = 0;
  EXPECT_TRUE(d->boot(w, h));
  EXPECT_EQ(w, 1024);
  EXPECT_EQ(h, 768);
  EXPECT_FALSE(d->driverOwnsRunLoop());
  EXPECT_FALSE(d->stopAfterMs(500));
  EXPECT_TRUE(d->dragTrackingIsModal());
  EXPECT_FALSE(d->trackDragStep(w, h));
  EXPECT_TRUE(d->scrollsNatively());
  EXPECT_FALSE(d->driverAutoresizes());
  EXPECT_EQ(d->runPopupMenu(nullptr, 0, 0), -1);
  EXPECT_EQ(d->menuItemOrd(1, 2, 5), 5);
  EXPECT_EQ(d->formFactorClass(), 1);
  EXPECT_EQ(d->orientation(), 0);
  EXPECT_EQ(d->glKind(), 2);
  EXPECT_FALSE(d->compositesWithGL());
  EXPECT_FALSE(d->setTurnHook(nullptr, nullptr));
  EXPECT_FALSE(d->hasNativeNavigation());
  d->setHeadless(1);
  EXPECT_TRUE(d->headless());
}

// ---------------------------------------------------------------------------
// Windows.

TEST_F(HeadlessTest, HandlesAreTheLowestFreeAndStopAt63) {
  EXPECT_EQ(d->windowCreate(0, 0, 100, 50), 1u);
  EXPECT_EQ(d->windowCreate(0, 0, 100, 50), 2u);
  EXPECT_EQ(d->windowCreate(0, 0, 100, 50), 3u);
  d->windowDestroy(2);
  EXPECT_EQ(d->windowCreate(0, 0, 100, 50), 2u);
  for (uint32_t i = 4; i <= 63; ++i) ASSERT_EQ(d->windowCreate(0, 0, 1, 1), i);
  EXPECT_EQ(d->windowCreate(0, 0, 1, 1), 0u);
  EXPECT_EQ(d->liveWindowCount(), 63u);
}

TEST_F(HeadlessTest, NewWindowIsHiddenAndTitledWendle) {
  uint32_t w = d->windowCreate(10, 20, 640, 480);
  ASSERT_NE(d->window(w), nullptr);
  EXPECT_EQ(d->window(w)->title, "Wendle");
  EXPECT_FALSE(d->window(w)->shown);
  d->windowSetTitle(w, "Results");
  d->windowOpen(w);
  EXPECT_EQ(d->window(w)->title, "Results");
  EXPECT_TRUE(d->window(w)->shown);
  int32_t cw = 0, ch = 0;
  d->windowContentGeometry(w, cw, ch);
  EXPECT_EQ(cw, 640);
  EXPECT_EQ(ch, 480);
  d->windowContentGeometry(40, cw, ch);
  EXPECT_EQ(cw, 0);
  EXPECT_EQ(ch, 0);
  EXPECT_EQ(d->windowScrollX(w), 0);
  EXPECT_EQ(d->windowScrollY(w), 0);
}

TEST_F(HeadlessTest, WindowAtPointPrefersTheNewestShownWindow) {
  uint32_t a = d->windowCreate(0, 0, 100, 100);
  uint32_t b = d->windowCreate(50, 50, 100, 100);
  EXPECT_EQ(d->windowAtPoint(60, 60), 0u);  // neither is shown
  d->windowOpen(a);
  d->windowOpen(b);
  EXPECT_EQ(d->windowAtPoint(60, 60), b);
  EXPECT_EQ(d->windowAtPoint(10, 10), a);
  EXPECT_EQ(d->windowAtPoint(100, 10), 0u);  // right edge open
  d->windowOrderFront(a);
  EXPECT_EQ(d->windowAtPoint(60, 60), a);
}

// ---------------------------------------------------------------------------
// Events.

TEST_F(HeadlessTest, DestroyingTheLastWindowQueuesAQuit) {
  uint32_t a = d->windowCreate(0, 0, 10, 10);
  uint32_t b = d->windowCreate(0, 0, 10, 10);
  d->windowDestroy(a);
  EXPECT_EQ(d->pendingEvents(), 0u);
  d->windowDestroy(b);
  UXEvent e;
  e.window = 9;
  d->nextEvent(10, e);
  EXPECT_EQ(e.type, kUXEventClose);
  EXPECT_EQ(e.window, 0u);
  d->windowDestroy(b);  // a stale handle does nothing
  EXPECT_EQ(d->pendingEvents(), 0u);
}

TEST_F(HeadlessTest, ATimeOutAnswersTypeZeroAndKeepsTheOtherFields) {
  UXEvent e;
  e.type = 1;
  e.window = 3;
  e.x = 11;
  e.key = 65;
  e.a = 7;
  d->nextEvent(5, e);
  EXPECT_EQ(e.type, 0);
  EXPECT_EQ(e.window, 0u);
  EXPECT_EQ(e.x, 11);
  EXPECT_EQ(e.key, 65);
  EXPECT_EQ(e.a, 7);
}

TEST_F(HeadlessTest, QueuedEventsWriteOnlyTheFieldsOfTheirType) {
  UXEvent in;
  in.type = kUXEventMouseDown;
  in.window = 2;
  in.x = 30;
  in.y = 40;
  in.key = 99;  // not a mouse field
  d->postEvent(in);
  UXEvent key;
  key.type = kUXEventKey;
  key.key = 'q';
  key.mods = kUXModCtrl | kUXModShift;
  key.window = 5;  // a key event carries no window
  d->postEvent(key);
  UXEvent wheel;
  wheel.type = kUXEventWheel;
  wheel.window = 1;
  wheel.x = 1;
  wheel.y = 2;
  wheel.a = -2;
  wheel.b = 200;
  d->postEvent(wheel);

  UXEvent e;
  d->nextEvent(0, e);
  EXPECT_EQ(e.type, 1);
  EXPECT_EQ(e.window, 2u);
  EXPECT_EQ(e.x, 30);
  EXPECT_EQ(e.y, 40);
  EXPECT_EQ(e.key, 0);
  d->nextEvent(0, e);
  EXPECT_EQ(e.type, 4);
  EXPECT_EQ(e.window, 0u);
  EXPECT_EQ(e.key, 'q');
  EXPECT_EQ(e.mods, 5);
  EXPECT_EQ(e.x, 30);  // left from the mouse event
  d->nextEvent(0, e);
  EXPECT_EQ(e.type, 11);
  EXPECT_EQ(e.a, -2);
  EXPECT_EQ(e.b, 200);
  EXPECT_EQ(e.mods, 0);  // a wheel carries its own modifiers: Shift turns it sideways
  d->nextEvent(0, e);
  EXPECT_EQ(e.type, 0);
}

// ---------------------------------------------------------------------------
// Painting and the draw-callback protocol.

struct Paint {
  UXHeadlessDriver* driver = nullptr;
  Ref<UXNodeTree> tree;
  std::vector<std::string> calls;
  bool reenter = false;
};

void contentDraw(int32_t reserved, int32_t x, int32_t y, int32_t w, int32_t h, void* user) {
  auto* p = static_cast<Paint*>(user);
  p->calls.push_back("content " + std::to_string(reserved) + " " + std::to_string(x) + " " + std::to_string(y) +
                     " " + std::to_string(w) + " " + std::to_string(h));
  if (p->reenter) p->driver->windowInvalidate(1);
  if (!p->tree) return;
  p->driver->treeSetUserDraw(
      [](UXNodeTree* tree, int16_t node, void* user) {
        auto* p = static_cast<Paint*>(user);
        p->calls.push_back("node " + std::to_string(node));
        int32_t x, y, w, h;
        p->driver->structAbsFrame(tree, node, x, y, w, h);
        UXGraphics* g = p->driver->beginViewDraw(x, y, w, h);
        g->fillRect(UXRect(0, 0, w, h), 9);
        p->driver->endViewDraw();
      },
      p);
  p->driver->treeDraw(p->driver->structObjects(p->tree), 0, x, y, w, h);
}

TEST_F(HeadlessTest, InvalidatePaintsTheWholeClientAreaBeforeReturning) {
  Paint p;
  p.driver = d.get();
  uint32_t w = d->windowCreate(5, 5, 320, 200);
  d->windowSetContent(w, contentDraw, &p);
  d->windowInvalidate(w);
  EXPECT_EQ(p.calls, Lines{"content 0 0 0 320 200"});
  d->windowInvalidateRect(w, 10, 20, 30, 40);
  EXPECT_EQ(p.calls, (Lines{"content 0 0 0 320 200", "content 0 0 0 320 200"}));
  EXPECT_EQ(d->window(w)->lastDamage, UXRect(10, 20, 30, 40));
  EXPECT_EQ(d->window(w)->paints, 2u);
  d->windowInvalidate(0);
  d->windowInvalidate(77);
  EXPECT_EQ(p.calls.size(), 2u);
}

TEST_F(HeadlessTest, AnInvalidateDuringAPaintDoesNotRecurse) {
  Paint p;
  p.driver = d.get();
  p.reenter = true;
  uint32_t w = d->windowCreate(0, 0, 10, 10);
  d->windowSetContent(w, contentDraw, &p);
  d->windowInvalidate(w);
  EXPECT_EQ(p.calls.size(), 1u);
}

TEST_F(HeadlessTest, TreeDrawCallsBackForToolkitKindsParentsFirst) {
  Paint p;
  p.driver = d.get();
  p.tree = d->structNew();
  UXNodeTree* t = p.tree.get();
  static const char kTitle[] = "Name:";
  EXPECT_EQ(d->structAppend(t, 1, 0, 0, 200, 100), 0);   // root
  EXPECT_EQ(d->structAppend(t, 2, 5, 5, 50, 20), 1);     // button: native
  EXPECT_EQ(d->structAppend(t, 4, 5, 30, 50, 20), 2);    // label: driver text
  EXPECT_EQ(d->structAppend(t, 15, 60, 0, 40, 40), 3);   // shield
  EXPECT_EQ(d->structAppend(t, 1, 2, 3, 10, 10), 4);     // inside the shield
  EXPECT_EQ(d->structAppend(t, 17, 100, 50, 20, 20), 5); // hidden peer view
  EXPECT_EQ(d->structAppend(t, 16, 0, 0, 5, 5), 6);      // never linked
  d->structAddChild(t, 0, 1);
  d->structAddChild(t, 0, 2);
  d->structAddChild(t, 0, 3);
  d->structAddChild(t, 3, 4);
  d->structAddChild(t, 0, 5);
  d->structSetSpec(t, 2, uxSpecOfText(kTitle));
  d->structSetHidden(t, 5, 1);
  uint32_t w = d->windowCreate(0, 0, 200, 100);
  d->windowSetContent(w, contentDraw, &p);
  d->windowInvalidate(w);
  EXPECT_EQ(p.calls, (Lines{"content 0 0 0 200 100", "node 0", "node 3", "node 4"}));
  EXPECT_EQ(d->window(w)->paintLog,
            (Lines{"view 0 0 200 100", "fill 0 0 200 100 #808080", "text 5 30 #000000 12 400 0 \"\" \"Name:\"",
                   "view 60 0 40 40", "fill 60 0 40 40 #808080", "view 62 3 10 10", "fill 62 3 10 10 #808080"}));
}

TEST_F(HeadlessTest, BeginViewDrawSubtractsTheDrawOffset) {
  UXGraphics* g = d->beginViewDraw(100, 50, 20, 10);
  g->fillRect(UXRect(1, 2, 3, 4), 2);
  d->endViewDraw();
  d->setDrawOffset(30, 40);
  g = d->beginViewDraw(100, 50, 20, 10);
  g->fillRect(UXRect(1, 2, 3, 4), 2);
  d->endViewDraw();
  EXPECT_EQ(d->strayLines(),
            (Lines{"view 100 50 20 10", "fill 101 52 3 4 #FF0000", "view 70 10 20 10", "fill 71 12 3 4 #FF0000"}));
}

// ---------------------------------------------------------------------------
// The driver's surface.

class SurfaceTest : public ::testing::Test {
 protected:
  Lines lines;
  UXHeadlessGraphics g;
  void SetUp() override { g.setSink(&lines); }
};

TEST_F(SurfaceTest, Capabilities) {
  EXPECT_FALSE(g.hasThemeArt());
  EXPECT_FALSE(g.blendsAlpha());
  EXPECT_TRUE(g.strokesNatively());
  EXPECT_FALSE(g.dashesNatively());
}

TEST_F(SurfaceTest, LinesAreTwoPixelsThick) {
  g.drawLine(5, 7, 1, 7, 0);
  g.drawLine(3, 9, 3, 2, 2);
  g.drawLine(4, 4, 4, 4, 9);
  g.drawLine(0, 0, 10, 5, 1);
  EXPECT_EQ(lines, (Lines{"fill 1 7 5 2 #FFFFFF", "fill 3 2 2 8 #FF0000", "fill 4 4 1 2 #808080",
                          "poly #000000 0,0 10,5 10,7 0,2"}));
}

TEST_F(SurfaceTest, PlatformSubstitutes) {
  g.setOrigin(10, 20);
  g.drawTheme("check.selected", UXRect(0, 0, 12, 12));
  g.fillCircle(5, 5, 3, 2);
  g.fillRectRGBA(UXRect(1, 1, 2, 2), 1, 2, 3, 0);  // alpha ignored: painted opaque
  g.clearRect(UXRect(0, 0, 4, 4));
  g.drawTheme("button", UXRect(0, 0, 0, 12));  // empty: nothing
  g.fillCircle(5, 5, 0, 2);
  EXPECT_EQ(lines, (Lines{"fill 10 20 12 12 #C0C0C0", "fill 12 22 6 6 #FF0000", "fill 11 21 2 2 #010203",
                          "fill 10 20 4 4 #FFFFFF"}));
}

TEST_F(SurfaceTest, PolygonsNeedThreePointsAndUseAtMost128) {
  std::vector<int16_t> pts;
  for (int i = 0; i < 200; ++i) {
    pts.push_back(int16_t(i));
    pts.push_back(int16_t(i % 7));
  }
  g.fillPolygon(pts.data(), 2, 1);
  g.fillPolygon(nullptr, 5, 1);
  EXPECT_TRUE(lines.empty());
  g.fillPolygon(pts.data(), 200, 1);
  ASSERT_EQ(lines.size(), 1u);
  size_t points = size_t(std::count(lines[0].begin(), lines[0].end(), ','));
  EXPECT_EQ(points, 128u);
  EXPECT_NE(lines[0].find(" 127,1"), std::string::npos);
  EXPECT_EQ(lines[0].find(" 128,"), std::string::npos);
  g.fillTriangle(0, 0, 4, 0, 0, 4, 250);
  EXPECT_EQ(lines[1], "poly #B3D8FF 0,0 4,0 0,4");
}

TEST_F(SurfaceTest, TextSizesAndWeightsDefault) {
  g.drawTextFontRGBA("Hi", 1, 2, "", 0, 0, 0, 10, 20, 30, 0);
  g.drawTextFont("B", 0, 0, 1, "Mono", -1, 1, 1);
  g.drawText("x", 3, 4, 2, 0);
  g.drawTextRGBA("y", 3, 4, 255, 255, 255, 9, 16);
  g.drawText("", 0, 0, 1, 12);
  g.drawText(nullptr, 0, 0, 1, 12);
  EXPECT_EQ(lines, (Lines{"text 1 2 #0A141E 12 400 0 \"\" \"Hi\"", "text 0 0 #000000 12 700 1 \"Mono\" \"B\"",
                          "text 3 4 #FF0000 12 400 0 \"\" \"x\"", "text 3 4 #FFFFFF 16 400 0 \"\" \"y\""}));
}

TEST_F(SurfaceTest, StrokePenRulesAndOpWalk) {
  const int32_t ops[] = {1, 5, 5,              // line without a current point: a move
                         1, 10, 5,             // line
                         2, 1, 2, 3, 4, 5, 6,  // cubic
                         3,                    // close
                         0, 9, 9,              // move
                         1, 7};                // truncated: ends the walk
  const int32_t n = int32_t(sizeof ops / sizeof ops[0]);
  g.strokeNative(ops, n, 0.4, 0, 0, 0, nullptr, 0, 0, 1);
  g.strokeNative(ops, 0, 3, 0, 0, 0, nullptr, 0, 0, 1);
  EXPECT_TRUE(lines.empty());
  g.strokeNative(ops, n, 0.5, 1, 2, 7, nullptr, 0, 0, 2);
  EXPECT_EQ(lines, (Lines{"stroke #FF0000 width=1 cap=2 join=1 M5,5 L10,5 C1,2  3,4  5,6 Z M9,9"}));
  lines.clear();
  // A curve without a current point moves to its end; an unknown code (9)
  // ends the walk.
  const int32_t curveFirst[] = {2, 1, 1, 2, 2, 3, 3, 3, 9, 1, 1};
  g.strokeNativeRGBA(curveFirst, 11, 2.5, 0, 0, 2, nullptr, 0, 0, 1, 2, 3, 4);
  EXPECT_EQ(lines, (Lines{"stroke #010203 width=3 cap=0 join=2 M3,3 Z"}));
}

TEST_F(SurfaceTest, PixelsNeedDataOpacityAndADestination) {
  const uint8_t px[4] = {1, 2, 3, 4};
  g.drawPixels(nullptr, 1, 1, 1, UXRect(0, 0, 1, 1), UXRect(0, 0, 5, 5), 255);
  g.drawPixels(px, 1, 1, 1, UXRect(0, 0, 1, 1), UXRect(0, 0, 5, 5), 0);
  g.drawPixels(px, 1, 1, 1, UXRect(0, 0, 1, 1), UXRect(0, 0, 0, 5), 255);
  EXPECT_TRUE(lines.empty());
  g.drawPixels(px, 1, 1, 0, UXRect(0, 0, 1, 1), UXRect(2, 3, 5, 5), 300);
  EXPECT_EQ(lines, (Lines{"pixels 2 3 5 5 src=0,0,1,1 alpha=255 swap=0"}));
}

TEST_F(SurfaceTest, OutlinesGoThroughTheSharedBody) {
  g.drawRect(UXRect(0, 0, 20, 8), 50, 0);
  EXPECT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[3], "fill 12 0 8 8 #FFFFFF");
}

// ---------------------------------------------------------------------------
// Realisation, visibility, scrolling.

TEST_F(HeadlessTest, RealizeCreatesControlsAndFollowsVisibility) {
  Ref<UXNodeTree> t = d->structNew();
  d->structAppend(t, 1, 0, 0, 100, 100);  // 0
  d->structAppend(t, 8, 0, 0, 50, 50);    // 1 scroll view
  d->structAppend(t, 2, 1, 1, 10, 10);    // 2 button in it
  d->structAppend(t, 6, 0, 60, 10, 10);   // 3 check box, unlinked
  d->structAppend(t, 4, 0, 0, 10, 10);    // 4 label: no control
  d->structAddChild(t, 0, 1);
  d->structAddChild(t, 1, 2);
  d->structAddChild(t, 0, 4);
  uint32_t w = d->windowCreate(0, 0, 100, 100);
  d->realizeTree(w, d->structObjects(t));
  EXPECT_EQ(t->at(0)->native, 0u);
  EXPECT_EQ(t->at(1)->native, 1001u);
  EXPECT_EQ(t->at(2)->native, 1002u);
  EXPECT_EQ(t->at(3)->native, 1003u);
  EXPECT_EQ(t->at(4)->native, 0u);
  EXPECT_EQ(t->at(2)->nativeShown, 1);
  EXPECT_EQ(t->at(3)->nativeShown, 0);  // its chain does not reach node 0
  d->structSetHidden(t, 1, 1);
  EXPECT_EQ(t->at(2)->nativeShown, 0);
  EXPECT_EQ(d->structIsHidden(t, 1), 1);
  EXPECT_EQ(d->structIsHidden(t, 2), 0);
  d->structSetHidden(t, 1, 0);
  EXPECT_EQ(t->at(2)->nativeShown, 1);
  d->structRemoveChild(t, 0, 1);
  EXPECT_EQ(t->at(1)->nativeShown, 0);
  EXPECT_EQ(t->at(2)->nativeShown, 0);
  d->structAddChild(t, 0, 1);
  d->realizeTree(w, t.get());
  EXPECT_EQ(t->at(2)->nativeShown, 1);
  EXPECT_EQ(t->at(2)->native, 1002u);  // created once
}

TEST_F(HeadlessTest, NodeFieldsThroughTheContract) {
  Ref<UXNodeTree> t = d->structNew();
  d->structAppend(t, 1, 1, 2, 3, 4);
  d->structSetFrame(t, 0, -5, 6, 70000, 8);
  int32_t x, y, w, h;
  d->structFrame(t, 0, x, y, w, h);
  EXPECT_EQ(x, -5);
  EXPECT_EQ(w, 70000 - 65536);  // cut to 16 bits
  EXPECT_EQ(d->structIsEnabled(t, 0), 1);
  d->structSetEnabled(t, 0, 0);
  EXPECT_EQ(d->structIsEnabled(t, 0), 0);
  d->structSetSelected(t, 0, 1);
  EXPECT_EQ(d->structIsSelected(t, 0), 1);
  d->structSetClips(t, 0, 1);
  d->structSetClipShape(t, 0, 2, 9);
  d->structSetSelectable(t, 0, 1);
  d->structSetEditable(t, 0, 1);
  EXPECT_EQ(t->at(0)->clips, 1);
  EXPECT_EQ(t->at(0)->clipShape, 2);
  EXPECT_EQ(t->at(0)->clipParam, 9);
  EXPECT_EQ(t->at(0)->selectable, 1);
  EXPECT_EQ(t->at(0)->editable, 1);
  {
    auto view = make<String>("peer");
    d->structSetPeer(t, 0, view);
    EXPECT_EQ(t->at(0)->peer.lock(), view);
  }
  EXPECT_TRUE(t->at(0)->peer.expired());  // the node never kept it alive
  EXPECT_EQ(d->structLength(t), 1u);
  d->structFree(t);
  EXPECT_EQ(d->structLength(t), 0u);
  // Out-of-range nodes are ignored.
  d->structSetHidden(t, 3, 1);
  EXPECT_EQ(d->structIsEnabled(t, 3), 0);
  EXPECT_EQ(d->treeHitTest(t, 0, 1, 1), -1);
  EXPECT_EQ(d->structAppend(nullptr, 1, 0, 0, 1, 1), -1);
}

TEST_F(HeadlessTest, NativeScrollingKeepsAnOffsetPerContainer) {
  Ref<UXNodeTree> t = d->structNew();
  d->structAppend(t, 1, 0, 0, 100, 100);  // 0
  d->structAppend(t, 8, 0, 0, 50, 50);    // 1 scroll
  d->structAppend(t, 5, 0, 0, 50, 50);    // 2 table
  d->structAppend(t, 1, 0, 0, 50, 10);    // 3 row inside the table
  d->structAddChild(t, 0, 1);
  d->structAddChild(t, 0, 2);
  d->structAddChild(t, 2, 3);
  d->nativeScrollTo(t, 1, 40);
  EXPECT_EQ(d->nativeScrollPx(t, 1), 40);
  d->nativeScrollTo(t, 3, 25);  // the table above the row scrolls
  EXPECT_EQ(d->nativeScrollPx(t, 2), 25);
  d->nativeScrollTo(t, 0, 10);  // no container: nothing
  EXPECT_EQ(d->nativeScrollPx(t, 0), 0);
  d->nativeScrollTo(t, 1, -3);
  EXPECT_EQ(d->nativeScrollPx(t, 1), 0);
}

// ---------------------------------------------------------------------------
// Field editors.

TEST_F(HeadlessTest, EditTextOnlyEditsALiveFieldEditor) {
  Ref<UXNodeTree> t = d->structNew();
  d->structAppend(t, 3, 0, 0, 10, 10);
  d->structAppend(t, 2, 0, 0, 10, 10);
  char buffer[16] = "ab";
  UXFieldEditor* ed = d->fieldEditorNew(buffer, sizeof buffer);
  EXPECT_EQ(d->liveFieldEditors(), 1u);
  d->structSetSpec(t, 0, uxSpecOfEditor(ed));
  static const char kTitle[] = "OK";
  d->structSetSpec(t, 1, uxSpecOfText(kTitle));
  int32_t caret = 99;
  EXPECT_EQ(d->editText(t.get(), 0, 'c', caret, 1), 1);
  EXPECT_STREQ(buffer, "abc");
  EXPECT_EQ(caret, 3);
  EXPECT_EQ(d->editText(t.get(), 1, 'c', caret, 1), 0);  // a title is no editor
  EXPECT_STREQ(kTitle, "OK");
  EXPECT_EQ(d->editText(t.get(), 5, 'c', caret, 1), 0);
  d->fieldEditorSetValid(ed, "99");
  d->fieldEditorSetPlaceholder(ed, "Search");
  d->fieldEditorSetSecure(ed, 1);
  EXPECT_EQ(ed->templ, "99");
  EXPECT_EQ(ed->placeholder, "Search");
  EXPECT_EQ(ed->secure, 1);
  d->fieldEditorFree(ed);
  EXPECT_EQ(d->liveFieldEditors(), 0u);
  EXPECT_EQ(d->editText(t.get(), 0, 'd', caret, 1), 0);  // freed: never touched
  EXPECT_STREQ(buffer, "abc");
  d->fieldEditorFree(nullptr);
}

// ---------------------------------------------------------------------------
// Text controls.

TEST_F(HeadlessTest, TextControlsExistOnlyForRealisedTextViews) {
  uint32_t w = d->windowCreate(0, 0, 100, 100);
  uint32_t len = 9, runs = 9;
  d->textViewSize(w, 1, len, runs);
  EXPECT_EQ(len, 0u);
  EXPECT_EQ(runs, 0u);
  d->setNativeTextViews(true);
  Ref<UXNodeTree> t = d->structNew();
  d->structAppend(t, 1, 0, 0, 100, 100);
  d->structAppend(t, 18, 0, 0, 100, 100);
  d->structAddChild(t, 0, 1);
  d->realizeTree(w, t.get());
  ASSERT_NE(d->textControl(w, 1), nullptr);
  const uint32_t in[5] = {0, 5, 1, 0x01FF0000, 14};
  d->textViewSetAll(w, 1, "hello world", 11, in, 1);
  d->textViewSize(w, 1, len, runs);
  EXPECT_EQ(len, 11u);
  EXPECT_EQ(runs, 1u);
  char buf[6];
  uint32_t out[10] = {};
  EXPECT_EQ(d->textViewRead(w, 1, buf, sizeof buf, out, 2), 1u);
  EXPECT_STREQ(buf, "hello");  // cut to the capacity, NUL-terminated
  EXPECT_EQ(out[3], 0x01FF0000u);
  EXPECT_EQ(d->textViewRead(w, 1, buf, 0, out, 2), 0u);
  d->textViewSetSelection(w, 1, 8, 100);
  uint32_t start, length;
  d->textViewSelection(w, 1, start, length);
  EXPECT_EQ(start, 8u);
  EXPECT_EQ(length, 3u);
  d->textViewReplace(w, 1, 0, 5, "bye", 3, nullptr, 0);
  EXPECT_EQ(d->textControl(w, 1)->text, "bye world");
  d->windowDestroy(w);
  EXPECT_EQ(d->textControl(w, 1), nullptr);
}

// ---------------------------------------------------------------------------
// Menus and dialogs.

TEST_F(HeadlessTest, MenuBuildCopiesAndShowAttaches) {
  uint32_t w = d->windowCreate(0, 0, 10, 10);
  char item[] = "Open\tO";
  const char* items[] = {item, "-"};
  UXMenuRecord menus[] = {{"File", items, 2}, {"Edit", nullptr, 0}};
  uint64_t bar = d->menuBuild(menus, 2);
  item[0] = 'X';
  const UXHeadlessDriver::MenuBar* m = d->menuBar(bar);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->titles, (Lines{"File", "Edit"}));
  EXPECT_EQ(m->items[0], (Lines{"Open\tO", "-"}));
  EXPECT_TRUE(m->items[1].empty());
  d->menuShow(bar, 1);
  EXPECT_EQ(d->window(w)->menuBar, bar);
  d->menuCheck(bar, 0, 0, 1);
  d->menuEnable(bar, 0, 1, 0);
  d->menuCheck(bar, 5, 0, 1);  // out of range: ignored
  EXPECT_EQ(m->checked[0][0], 1);
  EXPECT_EQ(m->disabled[0][1], 1);
  d->menuShow(bar, 0);
  EXPECT_EQ(d->window(w)->menuBar, 0u);
}

TEST_F(HeadlessTest, DialogsAnswerCancel) {
  struct Case { const char* buttons; int32_t answer; } cases[] = {
      {"OK", 1}, {"OK|Cancel", 2}, {"Yes|No|Cancel", 3}, {"A|B|C|D", 3}, {nullptr, 1}, {"", 1},
  };
  for (const Case& c : cases) EXPECT_EQ(d->alertRun(1, "msg", c.buttons), c.answer);
  std::string longMessage(600, 'm');
  d->alertRun(3, longMessage.c_str(), "OK");
  EXPECT_EQ(d->alerts().back(), "3|" + std::string(510, 'm') + "|OK");
  char path[8] = "junk";
  EXPECT_FALSE(d->hasNativeFileOpen());
  EXPECT_EQ(d->fileOpen("Open", "/", path, sizeof path), 0);
  EXPECT_STREQ(path, "");
  EXPECT_EQ(d->fileSave("Save", "/", "a.json", path, sizeof path), 0);
  const char* titles[] = {"One"};
  const uint32_t flags[] = {0};
  EXPECT_EQ(d->menuPopUp(1, titles, flags, 1, 0, 0), -1);
  uint32_t r, g, b;
  EXPECT_FALSE(d->pickColor(1, 2, 3, r, g, b));
  EXPECT_EQ(r + g + b, 6u);
}

// ---------------------------------------------------------------------------
// Metrics, clocks, settings.

TEST_F(HeadlessTest, TextIsMeasuredBySevenPixelsAByteAtTwelve) {
  EXPECT_EQ(d->textWidthStyled("abcd", "", 12, 0, 0), 28u);
  EXPECT_EQ(d->textWidthStyled("abcd", "", 24, 1, 1), 56u);
  EXPECT_EQ(d->textWidthStyled("abcd", "", 0, 0, 0), 28u);
  EXPECT_EQ(d->textWidthStyled("abc", "Mono", 10, 0, 0), 17u);  // 21 * 10 / 12
  EXPECT_EQ(d->textWidthStyled(nullptr, "", 12, 0, 0), 0u);
  EXPECT_EQ(d->textWidth("\xC3\xA9", 12), 14u);  // bytes, not characters
  EXPECT_EQ(d->textWidthWeight("ab", "", 12, 700, 0), 14u);
  EXPECT_EQ(d->textAscent("", 20, 400, 0), 20);
  EXPECT_EQ(d->textAscent("", 0, 400, 1), 12);
}

TEST(UXCivilTest, MicrosecondsToCalendarTime) {
  struct Case { int64_t us; uint32_t out[7]; } cases[] = {
      {0, {1970, 1, 1, 0, 0, 0, 0}},
      {-1, {1969, 12, 31, 23, 59, 59, 999999}},
      {951782400000000, {2000, 2, 29, 0, 0, 0, 0}},
      {1709210096789012, {2024, 2, 29, 12, 34, 56, 789012}},
      {4102444800000000, {2100, 1, 1, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    uint32_t out[7];
    uxCivilFromUs(c.us, out);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(out[i], c.out[i]) << c.us << " field " << i;
  }
}

TEST_F(HeadlessTest, SettingsLiveInMemory) {
  char buf[4];
  EXPECT_EQ(d->settingGet("ui", "size", buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "");
  EXPECT_TRUE(d->settingSet("ui", "size", "12345"));
  EXPECT_EQ(d->settingGet("ui", "size", buf, sizeof buf), 1);
  EXPECT_STREQ(buf, "123");
  EXPECT_TRUE(d->settingSet("ui", "size", "\xC3\xA9\xC3\xA9"));  // never half a character
  EXPECT_EQ(d->settingGet("ui", "size", buf, sizeof buf), 1);
  EXPECT_STREQ(buf, "\xC3\xA9");
  EXPECT_EQ(d->settingGet("other", "size", buf, sizeof buf), 0);
  EXPECT_TRUE(d->settingRemove("ui", "size"));
  EXPECT_FALSE(d->settingRemove("ui", "size"));
}

// ---------------------------------------------------------------------------
// Files.

class FilesTest : public HeadlessTest {
 protected:
  std::filesystem::path dir;
  void SetUp() override {
    HeadlessTest::SetUp();
    dir = std::filesystem::path(::testing::TempDir()) /
          ("uxa_files_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "sub");
    std::ofstream(dir / "a.txt", std::ios::binary) << "hello";
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::string p(const char* name) const { return (dir / name).string(); }
};

TEST_F(FilesTest, ListDirWritesTypeSizeAndNameLines) {
  std::vector<char> buffer(4096, 'Z');
  int32_t n = d->listDir(dir.string().c_str(), buffer.data(), uint32_t(buffer.size()));
  EXPECT_EQ(n, 2);
  std::string text(buffer.data());
  EXPECT_NE(text.find("f\t5\ta.txt\n"), std::string::npos) << text;
  EXPECT_NE(text.find("d\t0\tsub\n"), std::string::npos) << text;
  EXPECT_EQ(text.size(), std::strlen("f\t5\ta.txt\n") + std::strlen("d\t0\tsub\n"));
  EXPECT_TRUE(d->listDirWhole());
}

TEST_F(FilesTest, ListDirOfAnUnreadableFolderIsMinusOneAndEmpty) {
  char buffer[400] = "stale";
  EXPECT_EQ(d->listDir(p("missing").c_str(), buffer, sizeof buffer), -1);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(d->listDir(nullptr, buffer, sizeof buffer), -1);
}

TEST_F(FilesTest, ListDirStaysInsideItsCapacity) {
  // Capacity 300 or less leaves no room: nothing is written but the NUL.
  char small[300];
  std::memset(small, 'Z', sizeof small);
  EXPECT_EQ(d->listDir(dir.string().c_str(), small, sizeof small), 0);
  EXPECT_EQ(small[0], 0);
  EXPECT_EQ(small[1], 'Z');
  EXPECT_FALSE(d->listDirWhole());  // entries were left out, and it says so
  // A long name: the line is written only when it fits whole with its NUL.
  std::string name(240, 'n');
  std::ofstream(dir / name, std::ios::binary) << "x";
  for (uint32_t capacity : {301u, 320u, 560u, 600u}) {
    std::vector<char> buf(capacity + 64, 'Z');
    int32_t n = d->listDir(dir.string().c_str(), buf.data(), capacity);
    size_t used = std::strlen(buf.data());
    EXPECT_LT(used, capacity);
    EXPECT_GE(n, 1);
    for (size_t i = capacity; i < buf.size(); ++i) ASSERT_EQ(buf[i], 'Z') << capacity;
    // Every line written is whole, and a listing without every entry says so.
    EXPECT_EQ(std::count(buf.data(), buf.data() + used, '\n'), n);
    EXPECT_EQ(d->listDirWhole(), n == 3) << capacity;
  }
}

TEST_F(FilesTest, RenameRefusesAnExistingTargetAndCopyOverwrites) {
  std::ofstream(dir / "b.txt", std::ios::binary) << "bee";
  EXPECT_FALSE(d->fileRename(p("a.txt").c_str(), p("b.txt").c_str()));
  EXPECT_EQ(d->fileFailure(), UXFileFailure::exists);
  EXPECT_FALSE(d->fileRename(p("a.txt").c_str(), p("sub").c_str()));  // not even an empty folder
  EXPECT_EQ(d->fileFailure(), UXFileFailure::exists);
  EXPECT_TRUE(d->fileRename(p("a.txt").c_str(), p("c.txt").c_str()));
  EXPECT_FALSE(std::filesystem::exists(dir / "a.txt"));
  EXPECT_TRUE(d->fileCopy(p("c.txt").c_str(), p("b.txt").c_str()));
  EXPECT_EQ(std::filesystem::file_size(dir / "b.txt"), 5u);
  // Each refusal with its reason.
  const struct { const char* from; const char* to; UXFileFailure why; } refused[] = {
      {"nothing", "d.txt", UXFileFailure::gone},
      {"sub", "d.txt", UXFileFailure::isFolder},
      {"c.txt", "sub", UXFileFailure::isFolder},
      {"c.txt", "c.txt", UXFileFailure::same},
      {"c.txt", "nowhere/d.txt", UXFileFailure::noFolder},
  };
  for (const auto& r : refused) {
    EXPECT_FALSE(d->fileCopy(p(r.from).c_str(), p(r.to).c_str())) << r.from << " " << r.to;
    EXPECT_EQ(d->fileFailure(), r.why) << r.from << " " << r.to;
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "d.txt"));
  EXPECT_EQ(std::filesystem::file_size(dir / "c.txt"), 5u);
  std::ofstream(dir / "empty", std::ios::binary).flush();
  EXPECT_TRUE(d->fileCopy(p("empty").c_str(), p("b.txt").c_str()));
  EXPECT_EQ(std::filesystem::file_size(dir / "b.txt"), 0u);
  EXPECT_TRUE(d->fileDelete(p("b.txt").c_str()));
  EXPECT_FALSE(d->fileDelete(p("b.txt").c_str()));
  EXPECT_EQ(d->fileFailure(), UXFileFailure::gone);
  EXPECT_FALSE(d->fileDelete(p("sub").c_str()));  // files only: an empty folder stays
  EXPECT_EQ(d->fileFailure(), UXFileFailure::isFolder);
  EXPECT_TRUE(std::filesystem::is_directory(dir / "sub"));
  EXPECT_FALSE(d->fileDelete(nullptr));
  EXPECT_FALSE(d->fileRename(nullptr, p("x").c_str()));
}

// A copy replaces its target whole or not at all: one that fails midway (the
// disk full) leaves the old file as it was, and no copy leaves a temporary
// file behind; the replaced file keeps its permissions.
TEST_F(FilesTest, CopyReplacesTheTargetWholeOrNotAtAll) {
  namespace fs = std::filesystem;
  const std::string big(200000, 'b');
  std::ofstream(dir / "big.txt", std::ios::binary) << big;
  // What a file holds, told briefly.
  auto read = [&](const char* name) {
    std::ifstream in(dir / name, std::ios::binary);
    if (!in) return std::string("(none)");
    const std::string text(std::istreambuf_iterator<char>(in), {});
    return text == big ? "the copy" : text.size() > 40 ? std::to_string(text.size()) + " bytes" : text;
  };
  const struct Case {
    const char* what;
    const char* to;
    uint64_t room;      // bytes a file may grow to; 0: no limit
    const char* after;  // what the target holds after it
  } cases[] = {
      {"a replace with room", "old.txt", 0, "the copy"},
      {"a replace that fills the disk", "old.txt", 65536, "the old file"},
      {"a new name that fills the disk", "new.txt", 65536, "(none)"},
      {"a new name with room", "new.txt", 0, "the copy"},
  };
  std::string unheld;
  for (const Case& c : cases) {
    fs::remove(dir / "new.txt");
    std::ofstream(dir / "old.txt", std::ios::binary | std::ios::trunc) << "the old file";
    fs::permissions(dir / "old.txt", fs::perms::owner_read | fs::perms::owner_write);
    const fs::perms before = fs::status(dir / "old.txt").permissions();
    bool copied;
    {
      test::FileSizeLimit limit(c.room);
      if (c.room && !limit.held()) {
        unheld += std::string(" ") + c.what;
        continue;
      }
      copied = d->fileCopy(p("big.txt").c_str(), p(c.to).c_str());
    }
    EXPECT_EQ(copied, c.room == 0) << c.what;
    EXPECT_EQ(d->fileFailure(), copied ? UXFileFailure::none : UXFileFailure::tooLarge) << c.what;
    EXPECT_EQ(read(c.to), c.after) << c.what;
    EXPECT_EQ(fs::status(dir / "old.txt").permissions(), before) << c.what;
    // a.txt, big.txt, old.txt, sub and a whole new.txt: no temporary file.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 4 + fs::exists(dir / "new.txt"))
        << c.what;
  }
  if (!unheld.empty()) GTEST_SKIP() << "no file size limit here for:" << unheld;
}

// ---------------------------------------------------------------------------
// The scripted driver of the tests.

TEST(ScriptedDriverTest, LogsCallsAndRunsOnAVirtualClock) {
  auto s = make<ScriptedDriver>();
  uint32_t w = s->windowCreate(0, 0, 640, 480);
  s->windowSetTitle(w, "Main");
  int32_t cw, ch;
  s->windowContentGeometry(w, cw, ch);
  EXPECT_EQ(s->calls, (Lines{"windowCreate 0 0 640 480", "windowSetTitle 1 \"Main\"", "windowContentGeometry 1 & &"}));
  uint32_t before = s->nowMs();
  UXEvent e;
  s->nextEvent(25, e);
  EXPECT_EQ(e.type, 0);
  EXPECT_EQ(s->nowMs(), before + 25);
  s->postKey('a', kUXModShift);
  s->nextEvent(0, e);
  EXPECT_EQ(e.type, kUXEventKey);
  EXPECT_EQ(s->waits, (std::vector<int32_t>{25, 0}));
  EXPECT_EQ(s->count("nextEvent"), 2u);
  EXPECT_EQ(s->last("nextEvent"), "nextEvent 0 &");
  s->alertAnswers.push_back(1);
  EXPECT_EQ(s->alertRun(2, "Replace?", "Replace|Cancel"), 1);
  EXPECT_EQ(s->alertRun(2, "Replace?", "Replace|Cancel"), 2);
}

TEST(ScriptedDriverTest, WheelEventsCarryNotchesAndPixels) {
  auto s = make<ScriptedDriver>();
  s->logging = false;
  UXEvent e;
  s->postWheel(3, 10, 20, 2);
  s->nextEvent(0, e);
  EXPECT_EQ(e.type, kUXEventWheel);
  EXPECT_EQ(e.window, 3u);
  EXPECT_EQ(e.x, 10);
  EXPECT_EQ(e.y, 20);
  EXPECT_EQ(e.a, 2);
  EXPECT_EQ(e.b, -200);
  // A count whose pixels pass 32 bits is cut, not undefined.
  s->postWheel(3, 0, 0, 30000000);
  s->nextEvent(0, e);
  EXPECT_EQ(e.a, 30000000);
  EXPECT_EQ(e.b, int32_t(uint32_t(-3000000000LL)));
}

// Names the listing's lines cannot carry are left out; the settings file
// keeps what was set across drivers and refuses values it cannot hold.
TEST_F(FilesTest, ListDirLeavesOutNamesWithALineFeed) {
  std::ofstream(dir / "two\nlines", std::ios::binary) << "x";
  std::vector<char> buffer(4096, 0);
  EXPECT_EQ(d->listDir(dir.string().c_str(), buffer.data(), uint32_t(buffer.size())), 2);
  EXPECT_EQ(std::string(buffer.data()).find("two"), std::string::npos);
  std::error_code ec;  // Windows takes no such name
  EXPECT_FALSE(std::filesystem::exists(dir / "two\nlines", ec) && d->listDirWhole());
}

TEST_F(FilesTest, SettingsFilePersistsChanges) {
  const std::string file = p("conf/settings.ini");
  d->setSettingsFile(file);
  EXPECT_TRUE(d->settingSet("RecentFiles", "0", "/a b/c=d.json"));
  EXPECT_TRUE(d->settingSet(nullptr, "k", "v"));
  EXPECT_TRUE(d->settingSet("RecentFiles", "1", "gone"));
  EXPECT_TRUE(d->settingRemove("RecentFiles", "1"));
  EXPECT_FALSE(d->settingSet("RecentFiles", "2", "two\nlines"));
  // One change of several keys whose last is already so is written whole.
  EXPECT_TRUE(d->settingsChange("RecentFiles", {{"3", "/front"}, {"0", "/a b/c=d.json"}}));
  auto again = make<UXHeadlessDriver>();
  again->setSettingsFile(file);
  char value[64];
  EXPECT_EQ(again->settingGet("RecentFiles", "0", value, sizeof value), 1);
  EXPECT_STREQ(value, "/a b/c=d.json");
  EXPECT_EQ(again->settingGet("", "k", value, sizeof value), 1);
  EXPECT_STREQ(value, "v");
  EXPECT_EQ(again->settingGet("RecentFiles", "1", value, sizeof value), 0);
  EXPECT_EQ(again->settingGet("RecentFiles", "2", value, sizeof value), 0);
  EXPECT_EQ(again->settingGet("RecentFiles", "3", value, sizeof value), 1);
  EXPECT_STREQ(value, "/front");
}

TEST_F(HeadlessTest, QueuedAlertAnswersComeFirst) {
  d->queueAlertAnswer(1);
  d->queueAlertAnswer(2);
  EXPECT_EQ(d->alertRun(2, "Delete?", "Delete|Cancel"), 1);
  EXPECT_EQ(d->alertRun(2, "Delete?", "Delete|Cancel"), 2);
  EXPECT_EQ(d->alertRun(2, "Delete?", "Yes|No|Cancel"), 3);
  EXPECT_EQ(d->alerts().size(), 3u);
}

}  // namespace
}  // namespace quorl
