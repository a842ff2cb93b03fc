// The toolkit's scrolling container (node kind 8): a clip view that cuts its
// content to the viewport, a document view inside it that callers fill, and
// a self-drawn scroll bar at the right edge; a document wider than the
// viewport also scrolls sideways, with a second bar along the bottom edge.
// Shift with the wheel (or a horizontal wheel, which drivers report as one)
// scrolls sideways.
//
// Sections:
//   1. UXScrollObserver: the client told when what is visible changes
//   2. UXScrollLayout: the pure layout rules
//   3. UXScrollView
//
// Positions are 32-bit. Frames are packed 16-bit rectangles, so the document
// view does not start at document pixel 0 once the document is taller than
// a frame can be: it starts at `documentOrigin`, a multiple of
// kOriginStep at or below the scroll position, and content under it is
// placed relative to that origin. While the document fits in 16 bits the
// origin stays 0 and the document view's y is -offset, as usual. The same
// holds sideways for a wide document (offsetX, documentOriginX).
//
// Sideways scrolling is the toolkit's own on every path: a driver that
// scrolls natively reads documentWidth and offsetX for its horizontal bar,
// paints shifted by offsetX less documentOriginX, and scrolls through
// scrollToX.
//
// A driver that scrolls natively reads documentHeight, cornerRadius and
// borderColor, and paints the subtree of nativeDocNode shifted by its
// scroll position less nativeDocOrigin (kept stable for the Win32 driver).
#pragma once

#include <cstdint>

#include "ux/core/UXView.h"

namespace quorl {

class UXScrollbar;
class UXScrollView;

// ---------------------------------------------------------------------------
// 1. A client that lays out content under the document view itself (the
//    table keeps row views only for the rows in view).
class UXScrollObserver {
 public:
  virtual ~UXScrollObserver() = default;
  // After a scroll, a change of the document origin, or a relayout.
  virtual void scrollViewDidChangeVisible(UXScrollView& scrollView) = 0;
};

// ---------------------------------------------------------------------------
// 2. Layout, free of any driver.
struct UXScrollLayout {
  UXRect clip;      // relative to the scroll view
  UXRect scroller;  // relative to the scroll view
  UXRect hscroller;  // relative to the scroll view; empty without overflowX
  int32_t clipWidth = 0;

  // w, h: the scroll view's size; edge the border width; inset the
  // scroller's top and bottom inset; overflow whether the scroller shows.
  // overflowX: the horizontal bar shows too, along the bottom edge, and
  // takes its height from the viewport and the vertical bar.
  static UXScrollLayout compute(int32_t w, int32_t h, int32_t headerHeight, int32_t scrollerWidth, int32_t edge,
                                int32_t inset, bool overflow, bool overflowX = false);
  // Largest valid offset: documentHeight - viewport, never negative.
  static int32_t maxScroll(int32_t documentHeight, int32_t viewport);
  // target clamped to 0..max.
  static int32_t clampScroll(int64_t target, int32_t max);
  // One page: the viewport less one line of overlap, at least one line.
  static int32_t pageStep(int32_t viewport, int32_t lineStep);
  // The document pixel at the document view's top edge for a position (the
  // same rule gives the left edge of a wide document).
  static int32_t originFor(int32_t documentHeight, int32_t offset);
  // Height of the document view's frame: what of the document lies below
  // the origin, cut to what a frame can hold (and its width, the same way).
  static int32_t documentFrameHeight(int32_t documentHeight, int32_t origin);
};

// ---------------------------------------------------------------------------
// 3. The scroll view.
class UXScrollView : public UXView {
 public:
  static constexpr int32_t kOriginStep = 8192;
  static constexpr int32_t kMaxFrame = 32767;

  // Out of line: the scroll bar is complete only there.
  UXScrollView();
  ~UXScrollView() override;

  Ref<UXView> clipView;         // made by attachTo; its frame is the viewport
  Ref<UXView> documentView;     // child of the clip view; callers fill it
  Ref<UXScrollbar> scroller;    // made by attachTo
  Weak<UXView> headerView;      // a band a client places above the viewport
  int32_t offset = 0;           // document pixels above the viewport's top
  int16_t scrollerWidth = 14;
  int16_t headerHeight = 0;     // reserved above the clip view and the bar
  int16_t lineStep = 16;        // arrow clicks, wheel notches, page overlap
  int32_t documentHeight = 0;
  int16_t cornerRadius = 0;     // 0: square
  int32_t borderColor = -1;     // 0xRRGGBB; negative: no border
  uint8_t dragging = 0;         // a press-drag scroll is in progress
  int32_t dragStartY = 0;
  int32_t dragStartOffset = 0;
  int32_t documentOrigin = 0;   // document pixel at the document view's y 0
  Weak<Object> observer;        // a UXScrollObserver, told of changes
  // Sideways: the narrowest the document may be (0: the viewport's width;
  // wider: it scrolls), the position and the origin.
  int32_t documentWidth = 0;
  int32_t offsetX = 0;          // document pixels left of the viewport
  int32_t documentOriginX = 0;  // document pixel at the document view's x 0
  Ref<UXScrollbar> hscroller;   // made once a document width is set

  uint8_t kind() const override { return 8; }
  // Appends the node, then the clip view, document view and scroll bar.
  void attachTo(const Ref<UXViewTree>& tree, UXRect frame) override;

  void setDocumentHeight(int32_t height);
  void setDocumentWidth(int32_t width);
  int32_t viewportPx() const;
  int32_t viewportWidthPx() const;
  // The width the document is laid out at: documentWidth, or the viewport's
  // when that is wider.
  int32_t documentWidthPx() const;
  int32_t maxScroll() const;
  int32_t maxScrollX() const;
  // The position as the platform sees it.
  int32_t scrollPx() const;
  // Clamped to 0..maxScroll; nothing at all when it lands on `offset`.
  void scrollTo(int64_t y);
  // Native path: the platform's bar has moved to y. The toolkit follows
  // (its position, origin and observer) without moving the bar back: the
  // bar's own range is the one that holds.
  void nativeDidScroll(int32_t y);
  // The same sideways.
  void scrollToX(int64_t x);
  void scrollPage(int32_t pages, bool sideways = false);
  void relayout();
  // The viewport and the bars follow the new size.
  void didAutoresize() override { relayout(); }
  int32_t edgePx() const;
  void applyShape();

  void drawRect(UXGraphics& g, UXRect rect) override;
  void scrollWheel(UXEvent& event) override;
  void mouseDown(UXEvent& event) override;
  void mouseDragged(UXEvent& event) override;
  void mouseUp(UXEvent& event) override;

  bool hitScrollContains(int32_t x, int32_t y) override;
  int32_t hitScrollDoc() override;
  // Native path: the platform's position less the document origin.
  int32_t hitScrollOffset() override;
  // For the driver: the node whose subtree it paints in its container, and
  // the document pixel at that node's top edge.
  int32_t nativeDocNode() const;
  int32_t nativeDocOrigin() const { return documentOrigin; }

  // The ten scalar fields from offset to dragStartOffset, each cut to 16
  // bits, the first seven signed.
  Ref<String> description() const override;
  const char* classNameC() const override { return "UXScrollView"; }

 private:
  bool nativePath() const;
  // The document view's frame for the current origins, viewport and path.
  void placeDocument();
  void notifyObserver();
};

}  // namespace quorl
