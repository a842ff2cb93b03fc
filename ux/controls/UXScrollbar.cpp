#include "ux/controls/UXScrollbar.h"

#include <algorithm>
#include <utility>

#include "foundation/String.h"
#include "ux/controls/UXControl.h"
#include "ux/controls/UXScrollView.h"
#include "ux/core/UXApplication.h"
#include "ux/core/UXEvent.h"
#include "ux/core/UXGraphics.h"
#include "ux/core/UXViewDriver.h"
#include "ux/core/UXViewTree.h"

namespace quorl {

// ---------------------------------------------------------------------------
// 1. Geometry.

UXScrollbarGeometry UXScrollbarGeometry::compute(int32_t w, int32_t h, int32_t topArrowHeight,
                                                 int32_t bottomArrowHeight, int32_t minThumbHeight, int32_t d,
                                                 int32_t m, int32_t p) {
  UXScrollbarGeometry g;
  g.arrowH = int16_t(topArrowHeight >= 0 ? topArrowHeight : w);
  g.arrowBottomH = int16_t(bottomArrowHeight >= 0 ? bottomArrowHeight : w);
  g.track = h - g.arrowH - g.arrowBottomH;
  g.pagePermille = d > 0 ? int32_t(std::clamp<int64_t>(int64_t(h) * 1000 / d, 1, 1000)) : 1000;
  g.valuePermille = m > 0 ? int32_t(int64_t(p) * 1000 / m) : 0;
  if (g.track < 1 || d < 1) {
    g.thumbH = g.track;
  } else {
    int64_t t = topArrowHeight >= 0 ? int64_t(g.pagePermille) * g.track / 1000 : int64_t(g.track) * h / d;
    t = std::max<int64_t>(t, minThumbHeight);
    g.thumbH = int32_t(std::min<int64_t>(t, g.track));
  }
  const int64_t freeTrack = g.track - g.thumbH;
  if (topArrowHeight >= 0) g.thumbY = int32_t(g.arrowH + int64_t(g.valuePermille) * freeTrack / 1000);
  else g.thumbY = int32_t(g.arrowH + (m > 0 ? int64_t(p) * freeTrack / m : 0));
  return g;
}

int32_t UXScrollbarGeometry::dragTarget(int32_t pos, int32_t freeTrack, int32_t m) {
  if (freeTrack <= 0 || m <= 0) return 0;
  // Clamped before anything narrows it: a pointer far below the bar lands
  // on the end, never wraps to the top.
  return int32_t(std::clamp<int64_t>(int64_t(m) * pos / freeTrack, 0, m));
}

// ---------------------------------------------------------------------------
// 2. The bar.

void UXScrollbar::attachTo(const Ref<UXViewTree>& t, UXRect frame) {
  uxAttachPeer(*this, t, frame);
}

UXScrollbarGeometry UXScrollbar::geometry() const {
  Ref<UXScrollView> sv = scrollView.lock();
  const UXRect f = frame();
  // Across and along the bar.
  const int32_t across = horizontal ? f.h() : f.w(), along = horizontal ? f.w() : f.h();
  if (!sv)
    return UXScrollbarGeometry::compute(across, along, topArrowHeight, bottomArrowHeight, minThumbHeight, 0, 0, 0);
  if (horizontal)
    return UXScrollbarGeometry::compute(across, along, topArrowHeight, bottomArrowHeight, minThumbHeight,
                                        sv->documentWidthPx(), sv->maxScrollX(), sv->offsetX);
  return UXScrollbarGeometry::compute(across, along, topArrowHeight, bottomArrowHeight, minThumbHeight,
                                      sv->documentHeight, sv->maxScroll(), sv->scrollPx());
}

int16_t UXScrollbar::arrowH() const { return geometry().arrowH; }
int16_t UXScrollbar::arrowBottomH() const { return geometry().arrowBottomH; }
int32_t UXScrollbar::pagePermille() const { return geometry().pagePermille; }
int32_t UXScrollbar::valuePermille() const { return geometry().valuePermille; }
int32_t UXScrollbar::thumbH() const { return geometry().thumbH; }
int32_t UXScrollbar::thumbY() const { return geometry().thumbY; }

void UXScrollbar::drawRect(UXGraphics& g, UXRect) {
  Ref<UXScrollView> sv = scrollView.lock();
  if (!sv) return;
  const UXRect f = frame();
  // Drawn in the upright bar's terms; a horizontal bar swaps the axes.
  const int16_t w = horizontal ? f.h() : f.w(), h = horizontal ? f.w() : f.h();
  const auto at = [this](int32_t x, int32_t y) {
    return horizontal ? std::pair{int16_t(y), int16_t(x)} : std::pair{int16_t(x), int16_t(y)};
  };
  const auto line = [&](int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    const auto [ax, ay] = at(x1, y1);
    const auto [bx, by] = at(x2, y2);
    g.drawLine(ax, ay, bx, by, 1);
  };
  const auto rect = [&](int32_t x, int32_t y, int32_t rw, int32_t rh, uint32_t ci) {
    const auto [ax, ay] = at(x, y);
    g.fillRect(horizontal ? UXRect(ax, ay, rh, rw) : UXRect(ax, ay, rw, rh), ci);
  };
  const auto triangle = [&](int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3) {
    const auto [ax, ay] = at(x1, y1);
    const auto [bx, by] = at(x2, y2);
    const auto [cx, cy] = at(x3, y3);
    g.fillTriangle(ax, ay, bx, by, cx, cy, 1);
  };
  const UXScrollbarGeometry geo = geometry();
  const int16_t cx = int16_t(w / 2), a = geo.arrowH, b = geo.arrowBottomH;
  rect(0, 0, w, h, 9);
  line(0, 0, 0, h);
  triangle(cx, 4, cx - 4, a - 5, cx + 4, a - 5);
  triangle(cx, h - 5, cx - 4, h - b + 4, cx + 4, h - b + 4);
  line(0, a, w, a);
  line(0, h - b, w, h - b);
  const int32_t document = horizontal ? sv->documentWidthPx() : sv->documentHeight;
  if (document > h && geo.track > 0) {
    const int16_t y = int16_t(geo.thumbY), th = int16_t(geo.thumbH);
    rect(2, y, w - 3, th, 8);
    line(2, y, w - 1, y);
    line(2, y + th - 1, w - 1, y + th - 1);
    line(2, y, 2, y + th - 1);
    line(w - 1, y, w - 1, y + th - 1);
  }
}

void UXScrollbar::mouseDown(UXEvent& event) {
  Ref<UXScrollView> sv = scrollView.lock();
  if (!sv) return;
  const UXRect af = absoluteFrame();
  const int32_t ly = horizontal ? int32_t(event.x) - af.x() : int32_t(event.y) - af.y();
  const UXScrollbarGeometry geo = geometry();
  const int32_t h = horizontal ? frame().w() : frame().h();
  const auto line = [&](int32_t lines) {
    if (horizontal) sv->scrollToX(int64_t(sv->offsetX) + lines * sv->lineStep);
    else sv->scrollTo(int64_t(sv->offset) + lines * sv->lineStep);
  };
  if (ly < geo.arrowH) line(-1);
  else if (ly >= h - geo.arrowBottomH) line(1);
  else if (ly < geo.thumbY) sv->scrollPage(-1, horizontal);
  else if (ly >= geo.thumbY + geo.thumbH) sv->scrollPage(1, horizontal);
  else dragThumb(ly - geo.thumbY);
}

void UXScrollbar::dragThumb(int32_t grab) {
  Ref<UXScrollView> sv = scrollView.lock();
  if (!sv || !gDriver) return;
  // Kept alive across the loop's redraws.
  Ref<UXScrollbar> keep = self<UXScrollbar>();
  const UXRect af = absoluteFrame();
  const int32_t ay = horizontal ? af.x() : af.y();
  const UXScrollbarGeometry geo = geometry();
  const int32_t freeTrack = geo.track - geo.thumbH;
  const int32_t m = horizontal ? sv->maxScrollX() : sv->maxScroll();
  int32_t x = 0, y = 0;
  while (gDriver && gDriver->trackDragStep(x, y)) {
    const int32_t pos = (horizontal ? x : y) - ay - geo.arrowH - grab;
    const int32_t target = UXScrollbarGeometry::dragTarget(pos, freeTrack, m);
    if (horizontal) sv->scrollToX(target);
    else sv->scrollTo(target);
    if (gApp) gApp->displayIfNeeded();
  }
}

Ref<String> UXScrollbar::description() const {
  const uint16_t values[] = {uint16_t(topArrowHeight), uint16_t(bottomArrowHeight), uint16_t(minThumbHeight)};
  return String::_classDescribe("UXScrollbar", values, 3, 0x07);
}

}  // namespace quorl
