// Scroll bar geometry and input, scroll view layout, clamps, both scrolling
// paths, the tap record and documents taller than a 16-bit frame.
#include <gtest/gtest.h>

#include "TableTestSupport.h"
#include "foundation/String.h"
#include "ux/controls/UXScrollView.h"
#include "ux/controls/UXScrollbar.h"

namespace quorl::test {
namespace {

// --- Pure rules ----------------------------------------------------------------

struct GeoCase {
  int32_t w, h, top, bottom, minThumb, d, m, p;
  int32_t arrowH, track, page, value, thumbH, thumbY;
};

TEST(UXScrollbarGeometry, ArrowsTrackAndThumb) {
  const GeoCase cases[] = {
      // 14 x 100 over 400 px: 72 * 100 / 400 = 18, raised to 20.
      {14, 100, -1, -1, 20, 400, 300, 0, 14, 72, 250, 0, 20, 14},
      {14, 100, -1, -1, 20, 400, 300, 300, 14, 72, 250, 1000, 20, 66},
      // No document: page 1000, thumb as tall as the track.
      {14, 100, -1, -1, 20, 0, 0, 0, 14, 72, 1000, 0, 72, 14},
      // A track shorter than the minimum thumb: the thumb is the track.
      {14, 38, -1, -1, 20, 400, 362, 0, 14, 10, 95, 0, 10, 14},
      // Arrow boxes taller than the bar: a negative track.
      {14, 20, -1, -1, 20, 400, 380, 0, 14, -8, 50, 0, -8, 14},
      // Set arrow heights use the per-mille formulas.
      {14, 100, 10, 10, 20, 200, 100, 50, 10, 80, 500, 500, 40, 30},
      // 1.6 million pixels at the end: the thumb sits on the bottom arrow box.
      {14, 100, -1, -1, 20, 1600000, 1599900, 1599900, 14, 72, 1, 1000, 20, 66},
  };
  for (const GeoCase& c : cases) {
    const auto g = UXScrollbarGeometry::compute(c.w, c.h, c.top, c.bottom, c.minThumb, c.d, c.m, c.p);
    EXPECT_EQ(g.arrowH, c.arrowH) << c.h << " " << c.d;
    EXPECT_EQ(g.track, c.track) << c.h << " " << c.d;
    EXPECT_EQ(g.pagePermille, c.page) << c.h << " " << c.d;
    EXPECT_EQ(g.valuePermille, c.value) << c.h << " " << c.d;
    EXPECT_EQ(g.thumbH, c.thumbH) << c.h << " " << c.d;
    EXPECT_EQ(g.thumbY, c.thumbY) << c.h << " " << c.d;
  }
}

TEST(UXScrollbarGeometry, DragTargetsClampBeforeNarrowing) {
  struct { int32_t pos, freeTrack, m, want; } cases[] = {
      {0, 52, 300, 0},          {52, 52, 300, 300},        {26, 52, 300, 150},
      {-40, 52, 300, 0},        {500, 52, 300, 300},       {10, 0, 300, 0},
      {52, 52, 1599900, 1599900},  // past 16 bits: no jump to the top
      {40000, 52, 1599900, 1599900},
  };
  for (auto& c : cases) EXPECT_EQ(UXScrollbarGeometry::dragTarget(c.pos, c.freeTrack, c.m), c.want) << c.pos;
}

TEST(UXScrollLayout, ClampsStepsAndOrigins) {
  EXPECT_EQ(UXScrollLayout::maxScroll(400, 100), 300);
  EXPECT_EQ(UXScrollLayout::maxScroll(80, 100), 0);
  EXPECT_EQ(UXScrollLayout::maxScroll(1600000, 100), 1599900);
  EXPECT_EQ(UXScrollLayout::clampScroll(-5, 300), 0);
  EXPECT_EQ(UXScrollLayout::clampScroll(400, 300), 300);
  EXPECT_EQ(UXScrollLayout::clampScroll(int64_t(1) << 40, 1599900), 1599900);
  EXPECT_EQ(UXScrollLayout::pageStep(100, 16), 84);
  EXPECT_EQ(UXScrollLayout::pageStep(20, 16), 16);
  EXPECT_EQ(UXScrollLayout::originFor(32767, 30000), 0);  // fits: as before
  EXPECT_EQ(UXScrollLayout::originFor(1600000, 8191), 0);
  EXPECT_EQ(UXScrollLayout::originFor(1600000, 1599900), 1597440);
  EXPECT_EQ(UXScrollLayout::documentFrameHeight(1600000, 1597440), 2560);
  EXPECT_EQ(UXScrollLayout::documentFrameHeight(1600000, 0), 32767);

  struct { int32_t edge, inset; bool overflow; UXRect clip, scroller; } cases[] = {
      {0, 0, false, UXRect(0, 20, 200, 80), UXRect(186, 20, 14, 80)},
      {0, 0, true, UXRect(0, 20, 186, 80), UXRect(186, 20, 14, 80)},
      {1, 4, true, UXRect(1, 21, 184, 78), UXRect(185, 24, 14, 72)},
  };
  for (auto& c : cases) {
    const auto l = UXScrollLayout::compute(200, 100, 20, 14, c.edge, c.inset, c.overflow);
    EXPECT_EQ(l.clip, c.clip) << c.edge << c.overflow;
    EXPECT_EQ(l.scroller, c.scroller) << c.edge << c.overflow;
  }
}

// --- The scroll view in a tree ---------------------------------------------------

class UXScrollViewTest : public ScrollTestBase {
 protected:
  Ref<UXScrollView> attach(int32_t h = 100) {
    sv = place(make<UXScrollView>(), UXRect(10, 10, 200, h));
    return sv;
  }
  int32_t docY() const { return sv->documentView->frame().y(); }
  Ref<UXScrollView> sv;
};

TEST_F(UXScrollViewTest, DefaultsDescriptionsAndTreeShape) {
  EXPECT_STREQ(make<UXScrollView>()->description()->cString(), "<UXScrollView>(0, 14, 0, 16, 0, 0, -1, 0, 0, 0)");
  EXPECT_STREQ(make<UXScrollbar>()->description()->cString(), "<UXScrollbar>(-1, -1, 20)");
  attach();
  EXPECT_EQ(nodeOf(*sv).firstChild, int16_t(sv->clipView->node));
  EXPECT_EQ(nodeOf(*sv).lastChild, int16_t(sv->scroller->node));
  EXPECT_EQ(nodeOf(*sv->clipView).firstChild, int16_t(sv->documentView->node));
  EXPECT_EQ(nodeOf(*sv->clipView).clips, 1);
  // Node kinds, and peers for the two that a driver calls back.
  EXPECT_EQ(nodeOf(*sv).kind, 8u);
  EXPECT_EQ(nodeOf(*sv->clipView).kind + nodeOf(*sv->documentView).kind + nodeOf(*sv->scroller).kind, 3u);
  EXPECT_EQ(nodeOf(*sv).peer.lock(), sv);
  EXPECT_EQ(nodeOf(*sv->scroller).peer.lock(), sv->scroller);
  EXPECT_TRUE(nodeOf(*sv->documentView).peer.expired());
  EXPECT_EQ(sv->clipView->autoresizeMask, 48u);
  EXPECT_EQ(sv->scroller->autoresizeMask, 34u);
  EXPECT_EQ(frameOf(*sv->scroller), UXRect(186, 0, 14, 100));
  EXPECT_EQ(driver->count("structSetClipShape"), 0u);  // no border, no corners: no shape
}

TEST_F(UXScrollViewTest, ClampsOnTheToolkitPath) {
  driver->nativeScrolling = false;
  attach();
  sv->setDocumentHeight(400);
  EXPECT_EQ(sv->maxScroll(), 300);
  EXPECT_EQ(nodeOf(*sv->scroller).hidden, 0);
  sv->scrollTo(-5);
  EXPECT_EQ(sv->offset, 0);
  sv->scrollTo(sv->maxScroll() + 100);
  EXPECT_EQ(sv->offset, 300);
  EXPECT_EQ(docY(), -300);
  driver->clearCalls();
  gNeedsDisplay = 0;
  sv->scrollTo(300);  // the same position: nothing at all
  EXPECT_EQ(driver->count("structSetFrame"), 0u);
  EXPECT_EQ(gNeedsDisplay, 0);
  // Shrinking lowers the offset at the next relayout; the bar hides.
  sv->setDocumentHeight(150);
  EXPECT_EQ(sv->offset, 50);
  EXPECT_EQ(docY(), -50);
  sv->setDocumentHeight(80);
  EXPECT_EQ(sv->offset, 0);
  EXPECT_EQ(nodeOf(*sv->scroller).hidden, 1);
  EXPECT_EQ(frameOf(*sv->clipView).w(), 200);
  sv->scrollTo(50);
  EXPECT_EQ(sv->offset, 0);
}

TEST_F(UXScrollViewTest, PagesWheelAndPressDrag) {
  driver->nativeScrolling = false;
  attach();
  sv->setDocumentHeight(1000);
  sv->scrollPage(1);
  EXPECT_EQ(sv->offset, 84);
  sv->scrollPage(-1);
  EXPECT_EQ(sv->offset, 0);
  UXEvent wheel;
  wheel.a = -1;  // one notch towards the user
  sv->scrollWheel(wheel);
  EXPECT_EQ(sv->offset, 48);
  wheel.a = 1;
  sv->scrollWheel(wheel);
  sv->scrollWheel(wheel);  // at 0: still consumed, nothing changes
  EXPECT_EQ(sv->offset, 0);

  driver->modalDrags = false;
  sv->scrollTo(50);
  sv->mouseDown(*press(0, 100));
  EXPECT_EQ(sv->dragging, 1);
  UXEvent drag;
  drag.y = 130;
  sv->mouseDragged(drag);
  EXPECT_EQ(sv->offset, 20);
  sv->mouseUp(drag);
  EXPECT_EQ(sv->dragging, 0);
}

TEST_F(UXScrollViewTest, ThirtyTwoBitDocumentsScrollToTheirEndOnBothPaths) {
  for (bool native : {false, true}) {
    driver->nativeScrolling = native;
    attach();
    sv->setDocumentHeight(1600000);
    sv->scrollTo(1599950);
    EXPECT_EQ(sv->offset, 1599900);
    EXPECT_EQ(sv->scrollPx(), 1599900);
    EXPECT_EQ(sv->documentOrigin, 1597440);
    // The document view's frame holds what lies below the origin, in range.
    const UXRect f = sv->documentView->frame();
    EXPECT_EQ(f.h(), 2560);
    EXPECT_EQ(f.y(), native ? 0 : 1597440 - 1599900);
    EXPECT_EQ(sv->hitScrollOffset(), native ? 1599900 - 1597440 : 0);
    if (native) {
      EXPECT_EQ(driver->last("nativeScrollTo"), "nativeScrollTo ptr " + std::to_string(sv->node) + " 1599900");
    }
    sv->scrollTo(0);
    EXPECT_EQ(sv->documentOrigin, 0);
    EXPECT_EQ(sv->documentView->frame().h(), 32767);
    // A shorter document takes the position down to its own end.
    sv->scrollTo(1599950);
    sv->setDocumentHeight(5000);
    EXPECT_EQ(sv->offset, 4900);
    EXPECT_EQ(sv->scrollPx(), 4900);
    EXPECT_EQ(sv->documentOrigin, 0);
  }
}

// A document wider than the viewport gets a bar along the bottom edge and
// scrolls sideways by Shift with the wheel, the bar's arrows and its thumb;
// one that fits changes nothing. Wider than a frame, it is placed from an
// origin as a tall one is.
TEST_F(UXScrollViewTest, WideDocumentsScrollSideways) {
  driver->nativeScrolling = false;
  attach();  // 200 x 100
  sv->setDocumentHeight(80);
  sv->setDocumentWidth(150);
  EXPECT_EQ(nodeOf(*sv->hscroller).hidden, 1);
  EXPECT_EQ(frameOf(*sv->clipView), UXRect(0, 0, 200, 100));
  EXPECT_EQ(sv->documentView->frame(), UXRect(0, 0, 200, 80));
  UXEvent wheel;
  wheel.a = -1;
  wheel.mods = kUXModShift;
  sv->scrollWheel(wheel);
  EXPECT_EQ(sv->offsetX, 0);

  sv->setDocumentWidth(1000);
  EXPECT_EQ(nodeOf(*sv->hscroller).hidden, 0);
  EXPECT_EQ(nodeOf(*sv->scroller).hidden, 1);  // 80 still fits above the bar
  EXPECT_EQ(frameOf(*sv->clipView), UXRect(0, 0, 200, 86));
  EXPECT_EQ(frameOf(*sv->hscroller), UXRect(0, 86, 200, 14));
  sv->scrollWheel(wheel);
  EXPECT_EQ(sv->offsetX, 48);
  EXPECT_EQ(sv->offset, 0);
  EXPECT_EQ(sv->documentView->frame(), UXRect(-48, 0, 1000, 80));
  const UXRect bar = sv->hscroller->absoluteFrame();
  sv->hscroller->mouseDown(*press(bar.x() + bar.w() - 3, bar.y() + 5));  // the right arrow box
  EXPECT_EQ(sv->offsetX, 64);
  driver->dragSteps = {{bar.x() + 5000, bar.y() + 5}};
  sv->hscroller->dragThumb(0);
  EXPECT_EQ(sv->offsetX, 800);

  // Both bars: each takes its room from the other's direction.
  sv->setDocumentHeight(400);
  EXPECT_EQ(frameOf(*sv->clipView), UXRect(0, 0, 186, 86));
  EXPECT_EQ(frameOf(*sv->scroller), UXRect(186, 0, 14, 86));
  EXPECT_EQ(frameOf(*sv->hscroller), UXRect(0, 86, 186, 14));

  sv->setDocumentWidth(100000);
  sv->scrollToX(99999);
  EXPECT_EQ(sv->offsetX, 99814);
  EXPECT_EQ(sv->documentOriginX, 98304);
  EXPECT_EQ(sv->documentView->frame().x(), 98304 - 99814);
  EXPECT_EQ(sv->documentView->frame().w(), 100000 - 98304);
}

TEST_F(UXScrollViewTest, TapSeesScrollsOnlyWithALiveTargetAndAFunction) {
  driver->nativeScrolling = false;
  attach();
  sv->setDocumentHeight(1000);
  std::vector<std::string> seen;
  auto target = make<Object>();
  gEventTap.target = target;  // a target alone: set, but nothing to call
  sv->scrollTo(10);
  gEventTap.function = [&](const Ref<Object>& t, UXEvent& e) {
    EXPECT_EQ(t, target);
    seen.push_back(e.description()->cString());
  };
  sv->scrollTo(20);
  sv->scrollTo(20);
  gInputReplay = 1;
  sv->scrollTo(30);
  gInputReplay = 0;
  target.reset();  // a function whose target is gone
  sv->scrollTo(40);
  const std::string node = std::to_string(sv->node);
  EXPECT_EQ(seen, std::vector<std::string>{"<UXEvent>(12, 0, 0, 0, 0, 0, 0, " + node + ", 20)"});
}

TEST_F(UXScrollViewTest, BarClicksAndThumbDrags) {
  driver->nativeScrolling = false;
  attach();
  sv->setDocumentHeight(400);  // bar at (196, 10, 14, 100) in the window
  const int32_t top = sv->scroller->absoluteFrame().y();
  EXPECT_EQ(top, 10);
  sv->scroller->mouseDown(*press(200, top + 95));  // bottom arrow box
  EXPECT_EQ(sv->offset, 16);
  sv->scroller->mouseDown(*press(200, top + 3));   // top arrow box
  EXPECT_EQ(sv->offset, 0);
  sv->scroller->mouseDown(*press(200, top + 80));  // track below the thumb
  EXPECT_EQ(sv->offset, 84);
  sv->scroller->mouseDown(*press(200, top + 15));  // track above the thumb
  EXPECT_EQ(sv->offset, 0);
  // Press 5 below the thumb's top (14), then move by the free track (52).
  driver->dragSteps = {{200, top + 19 + 26}, {200, top + 19 + 52}, {200, top + 5000}};
  sv->scroller->mouseDown(*press(200, top + 19));
  EXPECT_EQ(sv->offset, 300);  // far below the bar: the end, not the top
  driver->dragSteps = {{200, top - 4000}};
  sv->scroller->dragThumb(5);
  EXPECT_EQ(sv->offset, 0);
}

TEST_F(UXScrollViewTest, BarDrawing) {
  driver->nativeScrolling = false;
  attach();
  RecordingGraphics g;
  sv->setDocumentHeight(400);
  sv->scroller->drawRect(g, UXRect(0, 0, 14, 100));
  EXPECT_EQ(g.text(),
            "fillRect 0,0,14,100 9\n"
            "drawLine 0 0 0 100 1\n"
            "fillTriangle 7 4 3 9 11 9 1\n"
            "fillTriangle 7 95 3 90 11 90 1\n"
            "drawLine 0 14 14 14 1\n"
            "drawLine 0 86 14 86 1\n"
            "fillRect 2,14,11,20 8\n"
            "drawLine 2 14 13 14 1\n"
            "drawLine 2 33 13 33 1\n"
            "drawLine 2 14 2 33 1\n"
            "drawLine 13 14 13 33 1\n");
  g.clear();
  sv->setDocumentHeight(100);  // fits: no thumb
  sv->scroller->drawRect(g, UXRect(0, 0, 14, 100));
  EXPECT_EQ(g.count("fillRect"), 1u);
}

TEST_F(UXScrollViewTest, BorderAndCornersOnTheToolkitPath) {
  driver->nativeScrolling = false;
  sv = make<UXScrollView>();
  sv->borderColor = 0x336699;
  sv->cornerRadius = 6;
  place(sv, UXRect(0, 0, 200, 100));
  EXPECT_EQ(sv->edgePx(), 1);
  EXPECT_EQ(nodeOf(*sv).clipShape, 5);
  EXPECT_EQ(nodeOf(*sv).clipParam, 1);
  EXPECT_EQ(frameOf(*sv->clipView), UXRect(1, 1, 198, 98));
  RecordingGraphics g;
  sv->drawRect(g, UXRect(0, 0, 200, 100));
  EXPECT_NE(g.text().find("51 102 153 255"), std::string::npos) << g.text();
}

TEST_F(UXScrollViewTest, BeforeAttachingOnlyValuesChange) {
  auto lone = make<UXScrollView>();
  lone->headerHeight = 20;
  lone->setDocumentHeight(500);
  lone->relayout();
  lone->applyShape();
  EXPECT_EQ(lone->documentHeight, 500);
  EXPECT_EQ(lone->viewportPx(), -20);
  EXPECT_EQ(gNeedsDisplay, 1);
}

}  // namespace
}  // namespace quorl::test
