#include "ux/core/UXShapePath.h"

#include <algorithm>
#include <cmath>

#include "foundation/String.h"

namespace quorl {

namespace {

// Path coordinates are 16-bit and wrap.
int16_t w16(int32_t v) { return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(v))); }

void addCurve(UXShapePath& p, int16_t c1x, int16_t c1y, int16_t c2x, int16_t c2y, int16_t x, int16_t y) {
  auto e = make<UXPathElement>();
  e->kind = kUXPathCurve;
  e->x = x, e->y = y, e->c1x = c1x, e->c1y = c1y, e->c2x = c2x, e->c2y = c2y;
  p.elements->add(e);
  p.currentX = x, p.currentY = y;
  p.hasCurves = 1;
}

}  // namespace

Ref<String> UXPathElement::description() const {
  uint16_t v[7] = {uint16_t(kind), uint16_t(x), uint16_t(y), uint16_t(c1x), uint16_t(c1y), uint16_t(c2x),
                   uint16_t(c2y)};
  // The kind prints signed like the coordinates: all seven values are.
  return String::_classDescribe("UXPathElement", v, 7, 0x7F);
}

Ref<String> UXEdge::description() const {
  uint16_t v[4] = {uint16_t(a), uint16_t(b), uint16_t(c), uint16_t(d)};
  return String::_classDescribe("UXEdge", v, 4, 0x0F);
}

Ref<String> UXGradientStop::description() const {
  uint16_t v[1] = {uint16_t(value)};
  return String::_classDescribe("UXGradientStop", v, 1, 0);
}

Ref<String> UXShapePath::description() const {
  uint16_t v[10] = {hasCurves,       uint16_t(currentX), uint16_t(currentY), uint16_t(startCap),
                    uint16_t(endCap), uint16_t(join),    uint16_t(dashCount), uint16_t(dashPhase),
                    uint16_t(width), uint16_t(arrowLength)};
  return String::_classDescribe("UXShapePath", v, 10, 0x06);
}

const UXPathElement& UXShapePath::elementAt(uint32_t i) const {
  return static_cast<const UXPathElement&>(*elements->get(i));
}

void UXShapePath::add(UXShapePath& path, uint32_t kind, int16_t x, int16_t y) {
  auto e = make<UXPathElement>();
  e->kind = kind, e->x = x, e->y = y;
  path.elements->add(e);
  if (kind != kUXPathClose) path.currentX = x, path.currentY = y;
}

Ref<UXShapePath> UXShapePath::roundRect(int16_t x, int16_t y, int16_t w, int16_t h, int16_t radius) {
  auto p = make<UXShapePath>();
  int32_t r = std::min<int32_t>(radius, std::min<int32_t>(w, h) / 2);
  if (r < 1) {
    add(*p, kUXPathMove, x, y);
    add(*p, kUXPathLine, w16(x + w), y);
    add(*p, kUXPathLine, w16(x + w), w16(y + h));
    add(*p, kUXPathLine, x, w16(y + h));
    add(*p, kUXPathClose, 0, 0);
    return p;
  }
  int32_t k = r * 5523 / 10000;
  add(*p, kUXPathMove, w16(x + r), y);
  add(*p, kUXPathLine, w16(x + w - r), y);
  addCurve(*p, w16(x + w - r + k), y, w16(x + w), w16(y + r - k), w16(x + w), w16(y + r));
  add(*p, kUXPathLine, w16(x + w), w16(y + h - r));
  addCurve(*p, w16(x + w), w16(y + h - r + k), w16(x + w - r + k), w16(y + h), w16(x + w - r), w16(y + h));
  add(*p, kUXPathLine, w16(x + r), w16(y + h));
  addCurve(*p, w16(x + r - k), w16(y + h), x, w16(y + h - r + k), x, w16(y + h - r));
  add(*p, kUXPathLine, x, w16(y + r));
  addCurve(*p, x, w16(y + r - k), w16(x + r - k), y, w16(x + r), y);
  add(*p, kUXPathClose, 0, 0);
  return p;
}

uint32_t UXShapePath::flattenFx(const UXShapePath& path, int32_t* out, uint32_t capacity) {
  int32_t cx = 0, cy = 0;
  uint32_t n = 0;
  for (uint32_t i = 0; i < path.elements->count(); i++) {
    const UXPathElement& e = path.elementAt(i);
    int32_t X = int32_t(e.x) * 16, Y = int32_t(e.y) * 16;
    switch (e.kind) {
      case kUXPathClose:
        if (n + 1 > capacity) return n;
        out[2 * n] = kUXFlatClosed, out[2 * n + 1] = 0, n++;
        continue;
      case kUXPathMove:
        if (n + 2 > capacity) return n;
        out[2 * n] = kUXFlatSubpath, out[2 * n + 1] = 0, n++;
        out[2 * n] = X, out[2 * n + 1] = Y, n++;
        break;
      case kUXPathCurve:
        n = flattenCurveFx(out, n, capacity, cx, cy, int32_t(e.c1x) * 16, int32_t(e.c1y) * 16,
                           int32_t(e.c2x) * 16, int32_t(e.c2y) * 16, X, Y, 0);
        break;
      default:
        if (n + 1 > capacity) return n;
        out[2 * n] = X, out[2 * n + 1] = Y, n++;
        break;
    }
    cx = X, cy = Y;
  }
  return n;
}

uint32_t UXShapePath::flattenCurveFx(int32_t* out, uint32_t n, uint32_t capacity, int32_t x0, int32_t y0,
                                     int32_t c1x, int32_t c1y, int32_t c2x, int32_t c2y, int32_t x3,
                                     int32_t y3, uint32_t depth) {
  auto mid = [](int32_t a, int32_t b) { return int32_t((int64_t(a) + b) / 2); };
  for (;;) {
    if (n + 1 > capacity) return n;
    if (depth >= 9 || curveIsFlatFx(x0, y0, c1x, c1y, c2x, c2y, x3, y3)) break;
    int32_t ax = mid(x0, c1x), ay = mid(y0, c1y);
    int32_t bx = mid(c1x, c2x), by = mid(c1y, c2y);
    int32_t cx = mid(c2x, x3), cy = mid(c2y, y3);
    int32_t abx = mid(ax, bx), aby = mid(ay, by);
    int32_t bcx = mid(bx, cx), bcy = mid(by, cy);
    int32_t mx = mid(abx, bcx), my = mid(aby, bcy);
    n = flattenCurveFx(out, n, capacity, x0, y0, ax, ay, abx, aby, mx, my, depth + 1);
    x0 = mx, y0 = my, c1x = bcx, c1y = bcy, c2x = cx, c2y = cy;
    depth++;
  }
  out[2 * n] = x3, out[2 * n + 1] = y3;
  return n + 1;
}

bool UXShapePath::curveIsFlatFx(int32_t x0, int32_t y0, int32_t c1x, int32_t c1y, int32_t c2x, int32_t c2y,
                                int32_t x3, int32_t y3) {
  int64_t dx = (int64_t(x3) - x0) / 4, dy = (int64_t(y3) - y0) / 4;
  int64_t len = uxIsqrt64(dx * dx + dy * dy);
  if (len <= 2) return true;
  auto near = [&](int32_t cx, int32_t cy) {
    int64_t ex = (int64_t(cx) - x0) / 4, ey = (int64_t(cy) - y0) / 4;
    int64_t cross = dx * ey - ex * dy;
    return (cross < 0 ? -cross : cross) <= len;
  };
  return near(c1x, c1y) && near(c2x, c2y);
}

bool UXShapePath::capDirection(const UXShapePath& path, uint8_t atStart, int32_t& dx, int32_t& dy) {
  bool havePoint = false, found = false;
  int32_t px = 0, py = 0, rx = 0, ry = 0;
  for (uint32_t i = 0; i < path.elements->count(); i++) {
    const UXPathElement& e = path.elementAt(i);
    if (e.kind == kUXPathClose) continue;
    if (e.kind == kUXPathMove || !havePoint) {
      px = e.x, py = e.y, havePoint = true;
      continue;
    }
    int32_t ex = e.x, ey = e.y;
    bool curve = e.kind == kUXPathCurve;
    if (atStart) {
      if (!found) {
        if (curve) {
          bool c1AtP = e.c1x == px && e.c1y == py;
          rx = px - (c1AtP ? e.c2x : e.c1x), ry = py - (c1AtP ? e.c2y : e.c1y);
        } else {
          rx = px - ex, ry = py - ey;
        }
        if (rx == 0 && ry == 0) rx = px - ex, ry = py - ey;
        found = true;
      }
    } else {
      if (curve) {
        bool c2AtE = e.c2x == ex && e.c2y == ey;
        rx = ex - (c2AtE ? e.c1x : e.c2x), ry = ey - (c2AtE ? e.c1y : e.c2y);
      } else {
        rx = ex - px, ry = ey - py;
      }
      if (rx == 0 && ry == 0) rx = ex - px, ry = ey - py;
      found = true;
    }
    px = ex, py = ey;
  }
  if (!found || (rx == 0 && ry == 0)) return false;
  dx = rx, dy = ry;
  return true;
}

bool UXShapePath::capAnchor(const UXShapePath& path, uint8_t atStart, int16_t& x, int16_t& y) {
  const UXPathElement* chosen = nullptr;
  for (uint32_t i = 0; i < path.elements->count(); i++) {
    const UXPathElement& e = path.elementAt(i);
    if (e.kind == kUXPathClose) continue;
    chosen = &e;
    if (atStart) break;
  }
  if (!chosen) return false;
  x = chosen->x, y = chosen->y;
  return true;
}

Ref<UXShapePath> UXShapePath::capOutline(const UXShapePath& path, uint8_t atStart, double width) {
  auto out = make<UXShapePath>();
  uint32_t cap = atStart ? path.startCap : path.endCap;
  if (cap == 0) return out;
  int64_t w;
  if (width > 0) {
    double t = std::trunc(width + 0.5);
    w = t < 2147483647.0 ? int64_t(t) : 2147483647;
  } else {
    w = path.width;
  }
  if (w < 1) return out;
  int32_t dx, dy;
  int16_t ax, ay;
  if (!capDirection(path, atStart, dx, dy) || !capAnchor(path, atStart, ax, ay)) return out;
  int64_t len = uxIsqrt64(int64_t(dx) * dx + int64_t(dy) * dy);
  if (len < 1) return out;
  int64_t ux = int64_t(dx) * 256 / len, uy = int64_t(dy) * 256 / len;
  int64_t nx = -uy, ny = ux;
  int64_t h = w / 2;
  auto at = [&](int64_t ox, int64_t oy) {  // anchor plus an offset, in 16 bits
    return std::pair<int16_t, int16_t>{w16(int32_t(ax + ox)), w16(int32_t(ay + oy))};
  };
  auto put = [&](uint32_t kind, std::pair<int16_t, int16_t> p) { add(*out, kind, p.first, p.second); };
  if (cap == 2) {
    put(kUXPathMove, at(nx * h / 256, ny * h / 256));
    put(kUXPathLine, at((nx * h + ux * h) / 256, (ny * h + uy * h) / 256));
    put(kUXPathLine, at((-nx * h + ux * h) / 256, (-ny * h + uy * h) / 256));
    put(kUXPathLine, at(-nx * h / 256, -ny * h / 256));
  } else if (cap == 3) {
    int64_t L = path.arrowLength >= 1 ? path.arrowLength : w * 5 / 2;
    put(kUXPathMove, at(nx * w / 256, ny * w / 256));
    put(kUXPathLine, at(ux * L / 256, uy * L / 256));
    put(kUXPathLine, at(-nx * w / 256, -ny * w / 256));
  } else {
    uxArcInit();
    for (int sign = 1; sign >= -1; sign -= 2) {
      for (int k = 0; k < 8; k++) {
        int64_t ox = (gUXArcS[k] * ux - gUXArcC[k] * nx) * h / 65536;
        int64_t oy = (gUXArcS[k] * uy - gUXArcC[k] * ux) * h / 65536;
        put(sign == 1 && k == 0 ? kUXPathMove : kUXPathLine, at(sign * ox, sign * oy));
      }
    }
  }
  add(*out, kUXPathClose, 0, 0);
  return out;
}

bool gUXArcReady = false;
int32_t gUXArcC[9];
int32_t gUXArcS[9];

void uxArcInit() {
  if (gUXArcReady) return;
  static constexpr int32_t kCos[9] = {256, 237, 181, 98, 0, -98, -181, -237, -256};
  static constexpr int32_t kSin[9] = {0, 98, 181, 237, 256, 237, 181, 98, 0};
  std::copy(kCos, kCos + 9, gUXArcC);
  std::copy(kSin, kSin + 9, gUXArcS);
  gUXArcReady = true;
}

int64_t uxIsqrt64(int64_t n) {
  if (n < 1) return 0;
  if (n == 1) return 1;
  // Same iteration as the 32-bit one; the first step is written so that
  // n + 1 cannot overflow.
  int64_t x = n, y = 1;
  while (x > y) {
    x = x / 2 + y / 2 + (x % 2 + y % 2) / 2;
    y = n / x;
  }
  return x;
}

}  // namespace quorl
