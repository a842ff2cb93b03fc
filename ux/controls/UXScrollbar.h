// The scroll bar of a scroll view: an arrow box, a track with a thumb and a
// second arrow box, drawn by the toolkit (node kind 1), upright at the right
// edge or, when horizontal, lying along the bottom edge. It keeps no scroll
// state: every value comes from its scroll view when needed.
//
// Sections:
//   1. UXScrollbarGeometry: the pure layout of arrows and thumb
//   2. UXScrollbar
#pragma once

#include <cstdint>

#include "ux/core/UXView.h"

namespace quorl {

class UXScrollView;

// ---------------------------------------------------------------------------
// 1. Geometry from the bar's size and its scroll view's numbers. Document
//    positions are 32-bit; products are taken in 64 bits, so a document of
//    any height gives a thumb inside the track.
struct UXScrollbarGeometry {
  int16_t arrowH = 0, arrowBottomH = 0;
  int32_t track = 0;
  int32_t pagePermille = 0, valuePermille = 0;
  int32_t thumbH = 0, thumbY = 0;

  // w, h: the bar's frame size; the arrow heights as configured (negative:
  // the bar's width); d document height, m maximum scroll, p position.
  static UXScrollbarGeometry compute(int32_t w, int32_t h, int32_t topArrowHeight, int32_t bottomArrowHeight,
                                     int32_t minThumbHeight, int32_t d, int32_t m, int32_t p);
  // Scroll position for a thumb whose top is pos pixels below the track's
  // top: m * pos / freeTrack clamped to 0..m (0 when the track has no room).
  static int32_t dragTarget(int32_t pos, int32_t freeTrack, int32_t m);
};

// ---------------------------------------------------------------------------
// 2. The bar. Made and attached by its scroll view.
class UXScrollbar : public UXView {
 public:
  Weak<UXScrollView> scrollView;
  int32_t topArrowHeight = -1;     // negative: the bar's width
  int32_t bottomArrowHeight = -1;  // negative: the bar's width
  int32_t minThumbHeight = 20;
  // Lies along the bottom edge and scrolls sideways: the geometry's heights
  // and y positions are then widths and x positions.
  bool horizontal = false;

  uint8_t kind() const override { return 1; }
  // Appends the node and records the bar as its peer.
  void attachTo(const Ref<UXViewTree>& tree, UXRect frame) override;

  int16_t arrowH() const;
  int16_t arrowBottomH() const;
  int32_t pagePermille() const;
  int32_t valuePermille() const;
  int32_t thumbH() const;
  int32_t thumbY() const;
  // The geometry for the current frame and scroll view (zero without one).
  UXScrollbarGeometry geometry() const;

  void drawRect(UXGraphics& g, UXRect rect) override;
  // Arrow boxes scroll a line, the track a page, the thumb drags. Consumed.
  void mouseDown(UXEvent& event) override;
  // Modal: follows trackDragStep until the button is released. grab is the
  // press's distance below the thumb's top.
  void dragThumb(int32_t grab);

  // <UXScrollbar>(topArrowHeight, bottomArrowHeight, minThumbHeight).
  Ref<String> description() const override;
  const char* classNameC() const override { return "UXScrollbar"; }
};

}  // namespace quorl
