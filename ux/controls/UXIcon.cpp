// The line icons: the name table, the line rule and each icon's steps as
// data, drawn by one interpreter.
#include "ux/controls/UXIcon.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "ux/core/UXClamp.h"
#include "ux/core/UXGraphics.h"

namespace quorl {

namespace {

// Step codes of the icon programs. A program is a run of steps, each the
// code, the number of values that follow, then the values; 0 ends it.
//   P: a path, one line per consecutive pair of points
//   B: a box (a,b)-(c,d): top, bottom, left, right lines in that order
//   R: a filled rectangle x, y, w, h
//   T: a filled triangle of three points
enum : int8_t { kEnd = 0, kPath = 'P', kBox = 'B', kRect = 'R', kTri = 'T' };

const int8_t kNew[] = {kPath, 12, 2, 1, 8, 1, 11, 4, 11, 14, 2, 14, 2, 1,  //
                       kRect, 4, 10, 8, 6, 2, kRect, 4, 12, 6, 2, 6, kEnd};
const int8_t kFolder[] = {kBox, 4, 1, 4, 14, 13, kPath, 8, 1, 4, 3, 2, 7, 2, 8, 4, kEnd};
const int8_t kSave[] = {kBox, 4, 1, 1, 14, 14, kRect, 4, 4, 1, 7, 5, kBox, 4, 4, 9, 11, 14, kEnd};
const int8_t kDelete[] = {kPath, 4, 1, 3, 14, 3,  kPath, 4, 6, 1, 9, 1,   kPath, 4, 3, 4, 4, 14,
                          kPath, 4, 12, 4, 11, 14, kPath, 4, 4, 14, 11, 14, kPath, 4, 6, 6, 6, 12,
                          kPath, 4, 9, 6, 9, 12,   kEnd};
const int8_t kCut[] = {kPath, 10, 4, 10, 6, 12, 4, 14, 2, 12, 4, 10,  //
                       kPath, 10, 11, 10, 13, 12, 11, 14, 9, 12, 11, 10,
                       kPath, 4, 5, 10, 11, 1, kPath, 4, 10, 10, 4, 1, kEnd};
const int8_t kCopy[] = {kBox, 4, 1, 1, 9, 11, kBox, 4, 6, 4, 14, 14, kEnd};
const int8_t kPaste[] = {kBox, 4, 2, 2, 13, 14, kRect, 4, 5, 1, 6, 3,
                         kPath, 4, 5, 8, 10, 8, kPath, 4, 5, 11, 10, 11, kEnd};
const int8_t kUndo[] = {kPath, 8, 2, 6, 12, 6, 14, 9, 12, 13, kPath, 4, 2, 6, 6, 2, kPath, 4, 2, 6, 6, 10, kEnd};
const int8_t kAdd[] = {kRect, 4, 2, 7, 12, 2, kRect, 4, 7, 2, 2, 12, kEnd};
const int8_t kRemove[] = {kRect, 4, 2, 7, 12, 2, kEnd};
const int8_t kPlay[] = {kTri, 6, 4, 2, 4, 14, 14, 8, kEnd};
const int8_t kPause[] = {kRect, 4, 4, 2, 3, 12, kRect, 4, 9, 2, 3, 12, kEnd};
const int8_t kStop[] = {kRect, 4, 3, 3, 10, 10, kEnd};
const int8_t kBack[] = {kPath, 6, 10, 2, 4, 8, 10, 14, kEnd};
const int8_t kForward[] = {kPath, 6, 5, 2, 11, 8, 5, 14, kEnd};
const int8_t kSearch[] = {kPath, 18, 4, 1, 8, 1, 11, 4, 11, 8, 8, 11, 4, 11, 1, 8, 1, 4, 4, 1,
                          kPath, 4, 10, 10, 14, 14, kPath, 4, 11, 10, 15, 14, kEnd};
const int8_t kSettings[] = {kPath, 18, 6, 3, 10, 3, 13, 6, 13, 10, 10, 13, 6, 13, 3, 10, 3, 6, 6, 3,
                            kPath, 10, 8, 6, 10, 8, 8, 10, 6, 8, 8, 6,
                            kRect, 4, 7, 1, 2, 2, kRect, 4, 7, 13, 2, 2,
                            kRect, 4, 1, 7, 2, 2, kRect, 4, 13, 7, 2, 2, kEnd};
const int8_t kInfo[] = {kPath, 18, 6, 1, 10, 1, 15, 6, 15, 10, 10, 15, 6, 15, 1, 10, 1, 6, 6, 1,
                        kRect, 4, 7, 4, 2, 2, kRect, 4, 7, 7, 2, 5, kEnd};
const int8_t kShare[] = {kPath, 8, 3, 7, 3, 14, 12, 14, 12, 7, kPath, 4, 8, 1, 8, 10,
                         kPath, 4, 8, 1, 5, 4, kPath, 4, 8, 1, 11, 4, kEnd};
const int8_t kPrint[] = {kBox, 4, 1, 6, 14, 11, kBox, 4, 4, 1, 11, 5, kBox, 4, 4, 10, 11, 14, kEnd};
const int8_t kRefresh[] = {kPath, 16, 13, 8, 11, 12, 8, 14, 4, 12, 2, 8, 4, 4, 8, 2, 11, 3,
                           kTri, 6, 10, 0, 14, 4, 9, 6, kEnd};
const int8_t kEdit[] = {kPath, 4, 2, 14, 12, 4, kPath, 4, 4, 14, 14, 4,
                        kPath, 4, 12, 4, 14, 2, kPath, 4, 2, 14, 4, 14, kEnd};
const int8_t kClose[] = {kPath, 4, 3, 3, 13, 13, kPath, 4, 4, 3, 13, 12,
                         kPath, 4, 13, 3, 3, 13, kPath, 4, 12, 3, 3, 12, kEnd};

struct IconEntry {
  const char* name;
  const int8_t* steps;
  bool mirrored;  // every x replaced by 15 - x
};

// Positions are part of the driver's contract (its image list order).
const IconEntry kIcons[UXIcon::kCount] = {
    {"new", kNew, false},         {"open", kFolder, false},    {"save", kSave, false},
    {"delete", kDelete, false},   {"cut", kCut, false},        {"copy", kCopy, false},
    {"paste", kPaste, false},     {"undo", kUndo, false},      {"redo", kUndo, true},
    {"add", kAdd, false},         {"remove", kRemove, false},  {"play", kPlay, false},
    {"pause", kPause, false},     {"stop", kStop, false},      {"back", kBack, false},
    {"forward", kForward, false}, {"search", kSearch, false},  {"settings", kSettings, false},
    {"info", kInfo, false},       {"share", kShare, false},    {"print", kPrint, false},
    {"refresh", kRefresh, false}, {"edit", kEdit, false},      {"close", kClose, false},
    {"folder", kFolder, false},
};

constexpr int64_t kMin16 = INT16_MIN, kMax16 = INT16_MAX;

// Fills the inclusive span [x0, x1] x [y0, y1], cut to the 16-bit plane.
void fillSpan(UXGraphics& g, int64_t x0, int64_t y0, int64_t x1, int64_t y1, uint32_t ci) {
  x0 = std::max(x0, kMin16);
  y0 = std::max(y0, kMin16);
  x1 = std::min(x1, kMax16);
  y1 = std::min(y1, kMax16);
  if (x0 > x1 || y0 > y1) return;
  int64_t w = std::min<int64_t>(x1 - x0 + 1, kMax16), h = std::min<int64_t>(y1 - y0 + 1, kMax16);
  g.fillRect(UXRect(int32_t(x0), int32_t(y0), int32_t(w), int32_t(h)), ci);
}

// Cuts the segment to the 16-bit plane (Liang-Barsky), rounding the new
// ends to whole pixels; false when no part of it lies on the plane.
bool clipToPlane(int64_t& ax, int64_t& ay, int64_t& bx, int64_t& by) {
  double dx = double(bx - ax), dy = double(by - ay);
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {double(ax - kMin16), double(kMax16 - ax), double(ay - kMin16), double(kMax16 - ay)};
  double t0 = 0.0, t1 = 1.0;
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0.0) {
      if (q[i] < 0.0) return false;
      continue;
    }
    double r = q[i] / p[i];
    if (p[i] < 0.0) t0 = std::max(t0, r);
    else t1 = std::min(t1, r);
  }
  if (t0 > t1) return false;
  auto at = [](int64_t a, double d, double t) {
    return std::clamp<int64_t>(std::llround(double(a) + d * t), kMin16, kMax16);
  };
  int64_t nax = at(ax, dx, t0), nay = at(ay, dy, t0), nbx = at(ax, dx, t1), nby = at(ay, dy, t1);
  ax = nax, ay = nay, bx = nbx, by = nby;
  return true;
}

// 64-bit throughout: the differences of two i32 ends do not fit in 32 bits,
// and an icon's origin plus its offsets may pass the i32 range.
void line64(UXGraphics& g, int64_t ax, int64_t ay, int64_t bx, int64_t by, uint32_t ci) {
  if (ax == bx) {
    fillSpan(g, ax, std::min(ay, by), ax, std::max(ay, by), ci);
    return;
  }
  if (ay == by) {
    fillSpan(g, std::min(ax, bx), ay, std::max(ax, bx), ay, ci);
    return;
  }
  // An end off the 16-bit plane: walk only the part on it (a line of
  // billions of pixels would otherwise be walked pixel by pixel).
  auto off = [](int64_t v) { return v < kMin16 || v > kMax16; };
  if (off(ax) || off(ay) || off(bx) || off(by)) {
    if (!clipToPlane(ax, ay, bx, by)) return;
    if (ax == bx || ay == by) {
      line64(g, ax, ay, bx, by, ci);
      return;
    }
  }
  int64_t dx = bx > ax ? bx - ax : ax - bx;
  int64_t dy = -(by > ay ? by - ay : ay - by);
  int64_t sx = ax < bx ? 1 : -1, sy = ay < by ? 1 : -1;
  int64_t err = dx + dy;
  int64_t x = ax, y = ay;
  for (;;) {
    if (x >= kMin16 && x <= kMax16 && y >= kMin16 && y <= kMax16)
      g.fillRect(UXRect(int32_t(x), int32_t(y), 1, 1), ci);
    if (x == bx && y == by) break;
    // The walk is monotone: once past the plane's far edge it stays off it.
    if ((sx > 0 ? x > kMax16 : x < kMin16) || (sy > 0 ? y > kMax16 : y < kMin16)) break;
    int64_t e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
}

}  // namespace

bool UXIcon::same(const char* a, const char* b) {
  if (!a || !b) return a == b;
  return std::strcmp(a, b) == 0;
}

int32_t UXIcon::indexOf(const char* name) {
  if (!name || !*name) return -1;
  for (int32_t i = 0; i < kCount; ++i)
    if (same(kIcons[i].name, name)) return i;
  return -1;
}

const char* UXIcon::nameAt(int32_t position) {
  if (position < 0 || position >= kCount) return "";
  return kIcons[position].name;
}

void UXIcon::ln(UXGraphics& g, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t ci) {
  line64(g, x1, y1, x2, y2, ci);
}

bool UXIcon::draw(UXGraphics& g, const char* name, int32_t x, int32_t y, uint32_t ci) {
  int32_t index = indexOf(name);
  if (index < 0) return false;
  const IconEntry& icon = kIcons[index];
  auto px = [&](int64_t v) { return int64_t(x) + (icon.mirrored ? 15 - v : v); };
  auto py = [&](int64_t v) { return int64_t(y) + v; };
  for (const int8_t* s = icon.steps; *s != kEnd; s += 2 + s[1]) {
    const int8_t* v = s + 2;
    switch (s[0]) {
      case kPath:
        for (int i = 0; i + 3 < s[1]; i += 2) line64(g, px(v[i]), py(v[i + 1]), px(v[i + 2]), py(v[i + 3]), ci);
        break;
      case kBox: {
        int64_t ax = px(v[0]), ay = py(v[1]), cx = px(v[2]), cy = py(v[3]);
        line64(g, ax, ay, cx, ay, ci);
        line64(g, ax, cy, cx, cy, ci);
        line64(g, ax, ay, ax, cy, ci);
        line64(g, cx, ay, cx, cy, ci);
        break;
      }
      case kRect: {
        int64_t left = icon.mirrored ? px(v[0] + v[2] - 1) : px(v[0]);
        fillSpan(g, left, py(v[1]), left + v[2] - 1, py(v[1]) + v[3] - 1, ci);
        break;
      }
      case kTri:
        g.fillTriangle(uxClamp16(px(v[0])), uxClamp16(py(v[1])), uxClamp16(px(v[2])), uxClamp16(py(v[3])),
                       uxClamp16(px(v[4])), uxClamp16(py(v[5])), ci);
        break;
    }
  }
  return true;
}

}  // namespace quorl
