#include "ux/core/UXPainter.h"

#include <algorithm>
#include <cmath>

namespace quorl {

int16_t gUXPaintXY[kUXPaintPoints * 2];
int32_t gUXFlatFx[kUXFlatPairs * 2];
int32_t gUXOps[kUXOpWords];
uint32_t gUXDash[8];

namespace {

int16_t px16(int64_t v) { return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint64_t>(v))); }

// (w x 16 + 0.5) truncated; 0 when that does not fit 32 bits.
int32_t widthFx(double w) {
  double v = std::trunc(w * 16 + 0.5);
  return (v >= -2147483648.0 && v <= 2147483647.0) ? int32_t(v) : 0;
}

void fillColour(UXGraphics& g, const int16_t* pts, int32_t n, uint32_t colour) {
  if (colour < 256)
    g.fillPolygon(pts, n, colour);
  else
    g.fillPolygonRGBA(pts, n, (colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF, colour >> 24);
}

void drawCaps(UXGraphics& g, const UXShapePath& path, double w, uint32_t colour, bool arrowsOnly) {
  for (uint8_t start = 1;; start = 0) {
    uint32_t cap = start ? path.startCap : path.endCap;
    auto outline = UXShapePath::capOutline(path, start, w);
    if (outline->elements->count() > 0 && (!arrowsOnly || cap == kUXCapArrow))
      UXPainter::fillShape(g, *outline, colour);
    if (!start) break;
  }
}

// Walks the flattened pairs of painter stroking: a move marker starts a
// subpath (onMove), each segment goes to `segment`, and a point that another
// pair follows gets a joint. Painter stroking gives a close no joint; the
// dasher does (closeJoints).
template <class Move, class Segment, class Joint>
void walkFlat(uint32_t n, bool closeJoints, Move onMove, Segment segment, Joint joint) {
  bool havePoint = false;
  int32_t px = 0, py = 0, sx = 0, sy = 0;
  for (uint32_t i = 0; i < n; i++) {
    int32_t x = gUXFlatFx[2 * i], y = gUXFlatFx[2 * i + 1];
    if (x == kUXFlatSubpath) {
      if (i + 1 >= n) return;
      i++;
      sx = px = gUXFlatFx[2 * i], sy = py = gUXFlatFx[2 * i + 1];
      havePoint = true;
      onMove();
      continue;
    }
    if (x == kUXFlatClosed) {
      if (havePoint) {
        segment(px, py, sx, sy);
        if (closeJoints && i + 1 < n) joint(sx, sy);
        px = sx, py = sy;
      }
      continue;
    }
    if (havePoint) {
      segment(px, py, x, y);
      if (i + 1 < n) joint(x, y);
    } else {
      havePoint = true;
    }
    px = x, py = y;
  }
}

}  // namespace

int32_t UXPainter::fxToPx(int64_t v) { return int32_t(v >= 0 ? (v + 8) / 16 : -((8 - v) / 16)); }

int64_t UXPainter::divRound(int64_t a, int64_t b) {
  if (b == 0) return 0;
  return a >= 0 ? (a + b / 2) / b : -((b / 2 - a) / b);
}

uint32_t UXPainter::flatten(const UXShapePath& path) {
  uint32_t n = UXShapePath::flattenFx(path, gUXFlatFx, kUXFlatPairs);
  uint32_t k = 0;
  for (uint32_t i = 0; i < n && k < kUXPaintPoints; i++) {
    int32_t x = gUXFlatFx[2 * i];
    if (x == kUXFlatSubpath || x == kUXFlatClosed) continue;
    gUXPaintXY[2 * k] = px16(fxToPx(x));
    gUXPaintXY[2 * k + 1] = px16(fxToPx(gUXFlatFx[2 * i + 1]));
    k++;
  }
  return k;
}

void UXPainter::emit(UXGraphics& g, uint32_t n, uint32_t colour) {
  if (n < 3) return;
  fillColour(g, gUXPaintXY, int32_t(std::min(n, kUXPaintPoints)), colour);
}

void UXPainter::fillShape(UXGraphics& g, const UXShapePath& path, uint32_t colour) { emit(g, flatten(path), colour); }

void UXPainter::fillRoundRectRGBA(UXGraphics& g, UXRect rect, int32_t radius, uint32_t r, uint32_t gr,
                                  uint32_t b, uint32_t a) {
  int32_t x = rect.x(), y = rect.y(), w = rect.w(), h = rect.h();
  int32_t rr = std::min(radius, std::min(w, h) / 2);
  if (rr < 1) {
    g.fillRectRGBA(rect, r, gr, b, a);
    return;
  }
  static constexpr int32_t kCos[9] = {1000, 981, 924, 831, 707, 556, 383, 195, 0};
  static constexpr int32_t kSin[9] = {0, 195, 383, 556, 707, 831, 924, 981, 1000};
  const int32_t cx[4] = {x + w - rr, x + w - rr, x + rr, x + rr};
  const int32_t cy[4] = {y + rr, y + h - rr, y + h - rr, y + rr};
  int16_t pts[72];
  int n = 0;
  for (int corner = 0; corner < 4; corner++) {
    for (int k = 0; k <= 8; k++) {
      int32_t s = kSin[k] * rr / 1000, c = kCos[k] * rr / 1000;
      int32_t px, py;
      switch (corner) {
        case 0: px = cx[0] + s, py = cy[0] - c; break;
        case 1: px = cx[1] + c, py = cy[1] + s; break;
        case 2: px = cx[2] - s, py = cy[2] + c; break;
        default: px = cx[3] - c, py = cy[3] - s; break;
      }
      pts[2 * n] = px16(px), pts[2 * n + 1] = px16(py);
      n++;
    }
  }
  g.fillPolygonRGBA(pts, n, r, gr, b, a);
}

uint32_t UXPainter::encodeOps(const UXShapePath& path) {
  uint32_t n = 0;
  for (uint32_t i = 0; i < path.elements->count(); i++) {
    if (n + 7 > kUXOpWords) break;
    const UXPathElement& e = path.elementAt(i);
    switch (e.kind) {
      case kUXPathClose: gUXOps[n++] = kUXOpClose; break;
      case kUXPathMove: gUXOps[n++] = kUXOpMove, gUXOps[n++] = e.x, gUXOps[n++] = e.y; break;
      case kUXPathCurve:
        gUXOps[n++] = kUXOpCubic;
        gUXOps[n++] = e.c1x, gUXOps[n++] = e.c1y, gUXOps[n++] = e.c2x, gUXOps[n++] = e.c2y;
        gUXOps[n++] = e.x, gUXOps[n++] = e.y;
        break;
      default: gUXOps[n++] = kUXOpLine, gUXOps[n++] = e.x, gUXOps[n++] = e.y; break;
    }
  }
  return n;
}

void UXPainter::strokeSegmentFx(UXGraphics& g, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t wFx,
                                uint32_t colour) {
  int64_t dx = int64_t(x1) - x0, dy = int64_t(y1) - y0;
  if (dx == 0 && dy == 0) return;
  int64_t len = uxIsqrt64(dx * dx + dy * dy);
  if (len < 1) return;
  int64_t h = wFx / 2;
  int64_t ox = divRound(-dy * h, len), oy = divRound(dx * h, len);
  const int64_t xs[4] = {x0 + ox, x1 + ox, x1 - ox, x0 - ox};
  const int64_t ys[4] = {y0 + oy, y1 + oy, y1 - oy, y0 - oy};
  for (int i = 0; i < 4; i++) gUXPaintXY[2 * i] = px16(fxToPx(xs[i])), gUXPaintXY[2 * i + 1] = px16(fxToPx(ys[i]));
  emit(g, 4, colour);
}

void UXPainter::strokeJoinFx(UXGraphics& g, int32_t x, int32_t y, int32_t wFx, uint32_t colour) {
  int64_t r = wFx / 2;
  if (r < 16) return;
  uxArcInit();
  for (int k = 0; k < 8; k++) {
    int64_t ox = divRound(gUXArcC[k] * r, 256), oy = divRound(gUXArcS[k] * r, 256);
    gUXPaintXY[2 * k] = px16(fxToPx(x + ox)), gUXPaintXY[2 * k + 1] = px16(fxToPx(y + oy));
    gUXPaintXY[2 * (k + 8)] = px16(fxToPx(x - ox)), gUXPaintXY[2 * (k + 8) + 1] = px16(fxToPx(y - oy));
  }
  emit(g, 16, colour);
}

void UXPainter::strokePath(UXGraphics& g, const UXShapePath& path, double width, uint32_t colour) {
  double w = width > 0 ? width : 1.0;
  bool native = g.strokesNatively();
  if (path.dashCount > 0 && !(native && g.dashesNatively())) {
    strokeDashedNeutral(g, path, w, colour);
    return;
  }
  if (native) {
    uint32_t n = encodeOps(path);
    if (n > 0) {
      uint32_t startCap = path.startCap == kUXCapArrow ? 0 : path.startCap;
      uint32_t endCap = path.endCap == kUXCapArrow ? 0 : path.endCap;
      uint32_t dashCount = std::min<uint32_t>(path.dashCount, 8);
      std::copy(path.dashes, path.dashes + dashCount, gUXDash);
      if (colour < 256)
        g.strokeNative(gUXOps, int32_t(n), w, startCap, endCap, path.join, gUXDash, dashCount, path.dashPhase,
                       colour);
      else
        g.strokeNativeRGBA(gUXOps, int32_t(n), w, startCap, endCap, path.join, gUXDash, dashCount,
                           path.dashPhase, (colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF,
                           colour >> 24);
    }
    drawCaps(g, path, w, colour, /*arrowsOnly*/ true);
    return;
  }
  int32_t wFx = widthFx(w);
  uint32_t n = UXShapePath::flattenFx(path, gUXFlatFx, kUXFlatPairs);
  walkFlat(
      n, /*closeJoints*/ false, [] {},
      [&](int32_t x0, int32_t y0, int32_t x1, int32_t y1) { strokeSegmentFx(g, x0, y0, x1, y1, wFx, colour); },
      [&](int32_t x, int32_t y) { strokeJoinFx(g, x, y, wFx, colour); });
  drawCaps(g, path, w, colour, /*arrowsOnly*/ false);
}

UXPainter::DashState UXPainter::dashRun(int64_t offset, const DashPattern& pattern) {
  int64_t sum = 0;
  for (uint32_t i = 0; i < pattern.count; i++) {
    sum += pattern.lengths[i];
    if (sum > offset) return {i % 2 == 0, sum - offset};
  }
  return {false, pattern.total - offset};
}

int64_t UXPainter::segLenFx(int64_t dx, int64_t dy) {
  int64_t scale = 1;
  while (dx < -16384 || dx > 16384 || dy < -16384 || dy > 16384) dx /= 2, dy /= 2, scale *= 2;
  return uxIsqrt64(dx * dx + dy * dy) * scale;
}

int64_t UXPainter::dashSegment(UXGraphics& g, int32_t px, int32_t py, int32_t qx, int32_t qy, int64_t d,
                               const DashPattern& pattern, int32_t wFx, uint32_t colour) {
  int64_t dx = int64_t(qx) - px, dy = int64_t(qy) - py;
  if (dx == 0 && dy == 0) return d;
  int64_t len = segLenFx(dx, dy);
  if (len < 1) return d;
  if (len > 32000) {
    int32_t mx = int32_t(px + dx / 2), my = int32_t(py + dy / 2);
    d = dashSegment(g, px, py, mx, my, d, pattern, wFx, colour);
    return dashSegment(g, mx, my, qx, qy, d, pattern, wFx, colour);
  }
  int64_t t = 0;
  do {
    DashState s = dashRun(d, pattern);
    int64_t step = std::min(s.remaining, len - t);
    if (s.on)
      strokeSegmentFx(g, int32_t(px + divRound(dx * t, len)), int32_t(py + divRound(dy * t, len)),
                      int32_t(px + divRound(dx * (t + step), len)), int32_t(py + divRound(dy * (t + step), len)),
                      wFx, colour);
    d += step;
    if (d >= pattern.total) d -= pattern.total;
    t += step;
  } while (t < len);
  return d;
}

void UXPainter::strokeDashedNeutral(UXGraphics& g, const UXShapePath& path, double w, uint32_t colour) {
  if (path.dashCount < 1) return;
  DashPattern pattern{};
  pattern.count = std::min<uint32_t>(path.dashCount, 8);
  for (uint32_t i = 0; i < pattern.count; i++) {
    pattern.lengths[i] = std::max<int64_t>(int64_t(path.dashes[i]) * 16, 1);
    pattern.total += pattern.lengths[i];
  }
  if (pattern.total < 1) return;
  int64_t phase = (int64_t(path.dashPhase) * 16) % pattern.total;
  if (phase < 0) phase += pattern.total;
  int32_t wFx = widthFx(w);
  uint32_t n = UXShapePath::flattenFx(path, gUXFlatFx, kUXFlatPairs);
  int64_t d = 0;
  walkFlat(
      n, /*closeJoints*/ true, [&] { d = phase; },
      [&](int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
        d = dashSegment(g, x0, y0, x1, y1, d, pattern, wFx, colour);
      },
      [&](int32_t x, int32_t y) {
        if (dashRun(d, pattern).on) strokeJoinFx(g, x, y, wFx, colour);
      });
}

}  // namespace quorl
