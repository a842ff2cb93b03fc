#include "ux/controls/UXScrollbar.h"

#include <algorithm>

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
  if (!sv)
    return UXScrollbarGeometry::compute(f.w(), f.h(), topArrowHeight, bottomArrowHeight, minThumbHeight, 0, 0, 0);
  return UXScrollbarGeometry::compute(f.w(), f.h(), topArrowHeight, bottomArrowHeight, minThumbHeight,
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
  const int16_t w = f.w(), h = f.h();
  const UXScrollbarGeometry geo = geometry();
  const int16_t cx = int16_t(w / 2), a = geo.arrowH, b = geo.arrowBottomH;
  g.fillRect(UXRect(0, 0, w, h), 9);
  g.drawLine(0, 0, 0, h, 1);
  g.fillTriangle(cx, 4, int16_t(cx - 4), int16_t(a - 5), int16_t(cx + 4), int16_t(a - 5), 1);
  g.fillTriangle(cx, int16_t(h - 5), int16_t(cx - 4), int16_t(h - b + 4), int16_t(cx + 4), int16_t(h - b + 4), 1);
  g.drawLine(0, a, w, a, 1);
  g.drawLine(0, int16_t(h - b), w, int16_t(h - b), 1);
  if (sv->documentHeight > h && geo.track > 0) {
    const int16_t y = int16_t(geo.thumbY), th = int16_t(geo.thumbH);
    g.fillRect(UXRect(2, y, w - 3, th), 8);
    g.drawLine(2, y, int16_t(w - 1), y, 1);
    g.drawLine(2, int16_t(y + th - 1), int16_t(w - 1), int16_t(y + th - 1), 1);
    g.drawLine(2, y, 2, int16_t(y + th - 1), 1);
    g.drawLine(int16_t(w - 1), y, int16_t(w - 1), int16_t(y + th - 1), 1);
  }
}

void UXScrollbar::mouseDown(UXEvent& event) {
  Ref<UXScrollView> sv = scrollView.lock();
  if (!sv) return;
  const int32_t ly = int32_t(event.y) - absoluteFrame().y();
  const UXScrollbarGeometry geo = geometry();
  const int32_t h = frame().h();
  if (ly < geo.arrowH) sv->scrollTo(int64_t(sv->offset) - sv->lineStep);
  else if (ly >= h - geo.arrowBottomH) sv->scrollTo(int64_t(sv->offset) + sv->lineStep);
  else if (ly < geo.thumbY) sv->scrollPage(-1);
  else if (ly >= geo.thumbY + geo.thumbH) sv->scrollPage(1);
  else dragThumb(ly - geo.thumbY);
}

void UXScrollbar::dragThumb(int32_t grab) {
  Ref<UXScrollView> sv = scrollView.lock();
  if (!sv || !gDriver) return;
  // Kept alive across the loop's redraws.
  Ref<UXScrollbar> keep = self<UXScrollbar>();
  const int32_t ay = absoluteFrame().y();
  const UXScrollbarGeometry geo = geometry();
  const int32_t freeTrack = geo.track - geo.thumbH;
  const int32_t m = sv->maxScroll();
  int32_t x = 0, y = 0;
  while (gDriver && gDriver->trackDragStep(x, y)) {
    const int32_t pos = y - ay - geo.arrowH - grab;
    sv->scrollTo(UXScrollbarGeometry::dragTarget(pos, freeTrack, m));
    if (gApp) gApp->displayIfNeeded();
  }
}

Ref<String> UXScrollbar::description() const {
  const uint16_t values[] = {uint16_t(topArrowHeight), uint16_t(bottomArrowHeight), uint16_t(minThumbHeight)};
  return String::_classDescribe("UXScrollbar", values, 3, 0x07);
}

}  // namespace quorl
