#include <gtest/gtest.h>

#include <functional>

#include "RecordingGraphics.h"
#include "foundation/String.h"
#include "ux/core/UXPainter.h"
#include "ux/core/UXShapePath.h"

using namespace quorl;

namespace {

Ref<UXShapePath> line(int16_t x0, int16_t y0, int16_t x1, int16_t y1) {
  auto p = make<UXShapePath>();
  UXShapePath::add(*p, kUXPathMove, x0, y0);
  UXShapePath::add(*p, kUXPathLine, x1, y1);
  return p;
}

std::vector<std::pair<int, int>> points(const UXShapePath& p) {
  std::vector<std::pair<int, int>> out;
  for (uint32_t i = 0; i < p.elements->count(); i++) {
    const auto& e = p.elementAt(i);
    if (e.kind != kUXPathClose) out.push_back({e.x, e.y});
  }
  return out;
}

}  // namespace

// ---------------------------------------------------------------------------
// Paths

TEST(UXShapePath, RoundRectCornersUseTheQuarterCircleHandle) {
  auto p = UXShapePath::roundRect(0, 0, 10, 4, 8);  // r = 2, k = 1
  ASSERT_EQ(p->elements->count(), 10u);
  const auto& curve = p->elementAt(2);
  EXPECT_EQ(curve.kind, kUXPathCurve);
  EXPECT_EQ(p->elementAt(1).x, 8);
  EXPECT_EQ(p->elementAt(1).y, 0);
  EXPECT_EQ(curve.x, 10);
  EXPECT_EQ(curve.y, 2);
  EXPECT_EQ(curve.c1x, 9);
  EXPECT_EQ(curve.c1y, 0);
  EXPECT_EQ(curve.c2x, 10);
  EXPECT_EQ(curve.c2y, 1);
  EXPECT_EQ(p->hasCurves, 1);
  EXPECT_EQ(p->elementAt(9).kind, kUXPathClose);
  EXPECT_EQ(p->currentX, 2);  // the end of the last curve
  EXPECT_EQ(p->currentY, 0);
}

TEST(UXShapePath, RoundRectWithoutRadiusIsPlain) {
  for (auto p : {UXShapePath::roundRect(1, 2, 30, 20, 0), UXShapePath::roundRect(1, 2, 30, 1, 9)}) {
    ASSERT_EQ(p->elements->count(), 5u);
    EXPECT_EQ(p->hasCurves, 0);
    EXPECT_EQ(p->elementAt(0).kind, kUXPathMove);
    EXPECT_EQ(p->elementAt(4).kind, kUXPathClose);
  }
  auto p = UXShapePath::roundRect(1, 2, 30, 20, 0);
  EXPECT_EQ(points(*p), (std::vector<std::pair<int, int>>{{1, 2}, {31, 2}, {31, 22}, {1, 22}}));
}

TEST(UXShapePath, Descriptions) {
  auto p = make<UXShapePath>();
  EXPECT_STREQ(p->description()->cString(), "<UXShapePath>(0, 0, 0, 0, 0, 1, 0, 0, 0, 0)");
  UXShapePath::add(*p, kUXPathMove, -3, 4);
  EXPECT_STREQ(p->elementAt(0).description()->cString(), "<UXPathElement>(0, -3, 4, 0, 0, 0, 0)");
  EXPECT_STREQ(p->description()->cString(), "<UXShapePath>(0, -3, 4, 0, 0, 1, 0, 0, 0, 0)");
  // Every value of an element prints signed, its kind too.
  UXShapePath::add(*p, 0xFFFFu, 1, -1);
  EXPECT_STREQ(p->elementAt(1).description()->cString(), "<UXPathElement>(-1, 1, -1, 0, 0, 0, 0)");
  // A path's width and arrow length are its ninth and tenth values, which
  // the class-description form always prints unsigned.
  p->width = -1;
  p->arrowLength = -2;
  p->startCap = 3;
  EXPECT_STREQ(p->description()->cString(), "<UXShapePath>(0, 1, -1, 3, 0, 1, 0, 0, 65535, 65534)");
}

TEST(UXShapePath, FlattenMarksSubpathsAndCloses) {
  auto p = line(1, 2, 3, 4);
  UXShapePath::add(*p, kUXPathClose, 0, 0);
  int32_t out[16];
  ASSERT_EQ(UXShapePath::flattenFx(*p, out, 8), 4u);
  const int32_t want[8] = {kUXFlatSubpath, 0, 16, 32, 48, 64, kUXFlatClosed, 0};
  for (int i = 0; i < 8; i++) EXPECT_EQ(out[i], want[i]) << i;
  // A move needs room for its marker and its point together.
  EXPECT_EQ(UXShapePath::flattenFx(*p, out, 1), 0u);
  EXPECT_EQ(UXShapePath::flattenFx(*p, out, 3), 3u);
}

TEST(UXShapePath, StraightCurveFlattensToItsEnd) {
  int32_t out[2 * 600];
  EXPECT_EQ(UXShapePath::flattenCurveFx(out, 0, 600, 0, 0, 160, 0, 320, 0, 480, 0, 0), 1u);
  EXPECT_EQ(out[0], 480);
  // A real curve is split, ends at its end point and stays within 512 pieces.
  uint32_t n = UXShapePath::flattenCurveFx(out, 0, 600, 0, 0, 0, 1600, 1600, 1600, 1600, 0, 0);
  EXPECT_GT(n, 4u);
  EXPECT_LE(n, 512u);
  EXPECT_EQ(out[2 * (n - 1)], 1600);
  EXPECT_EQ(out[2 * (n - 1) + 1], 0);
}

TEST(UXShapePath, FlatnessOfLongChordsDoesNotWrap) {
  // Chords of ~4000 px: quarter-pixel squared lengths pass 32 bits.
  EXPECT_TRUE(UXShapePath::curveIsFlatFx(0, 0, 20000, 20000, 40000, 40000, 60000, 60000));
  EXPECT_FALSE(UXShapePath::curveIsFlatFx(0, 0, 0, 60000, 60000, 60000, 60000, 0));
}

TEST(UXShapePath, CapOutlineSquareAtTheEnd) {
  auto p = line(0, 0, 10, 0);
  p->endCap = 2;
  auto cap = UXShapePath::capOutline(*p, 0, 4);
  EXPECT_EQ(points(*cap), (std::vector<std::pair<int, int>>{{10, 2}, {12, 2}, {12, -2}, {10, -2}}));
  EXPECT_EQ(cap->elementAt(4).kind, kUXPathClose);
}

TEST(UXShapePath, CapOutlineArrowAndRound) {
  auto p = line(0, 0, 10, 0);
  p->startCap = 3;
  p->endCap = 1;
  auto arrow = UXShapePath::capOutline(*p, 1, 4);  // points left, L = 10
  EXPECT_EQ(points(*arrow), (std::vector<std::pair<int, int>>{{0, -4}, {-10, 0}, {0, 4}}));
  auto round = UXShapePath::capOutline(*p, 0, 4);
  ASSERT_EQ(round->elements->count(), 17u);
  EXPECT_EQ(points(*round)[0], (std::pair<int, int>{10, -2}));  // A - n h
  EXPECT_EQ(points(*round)[4], (std::pair<int, int>{12, 0}));   // the tip A + u h
}

TEST(UXShapePath, CapOutlineOfLongDirectionDoesNotWrap) {
  auto p = line(-30000, -30000, 30000, 30000);
  p->endCap = 2;
  auto cap = UXShapePath::capOutline(*p, 0, 2);
  auto pts = points(*cap);
  ASSERT_EQ(pts.size(), 4u);
  EXPECT_EQ(pts[0], (std::pair<int, int>{30000, 30000}));  // h = 1: n h truncates to 0 per axis
}

TEST(UXShapePath, CapOutlineEmptyCases) {
  auto onlyMove = make<UXShapePath>();
  UXShapePath::add(*onlyMove, kUXPathMove, 3, 3);
  onlyMove->endCap = 1;
  EXPECT_EQ(UXShapePath::capOutline(*onlyMove, 0, 4)->elements->count(), 0u);
  auto zero = line(5, 5, 5, 5);
  zero->endCap = 1;
  EXPECT_EQ(UXShapePath::capOutline(*zero, 0, 4)->elements->count(), 0u);
  auto none = line(0, 0, 9, 0);
  EXPECT_EQ(UXShapePath::capOutline(*none, 0, 4)->elements->count(), 0u);
}

// Direction away from the path at each end: a curve looks along its first
// (last) control point that differs from the end point, a line along
// itself, and a direction that comes out zero falls back to the chord.
TEST(UXShapePath, CapDirectionAndAnchorRules) {
  const auto curve = [](UXShapePath& p, int16_t c1x, int16_t c1y, int16_t c2x, int16_t c2y, int16_t x, int16_t y) {
    auto e = make<UXPathElement>();
    e->kind = kUXPathCurve;
    e->c1x = c1x, e->c1y = c1y, e->c2x = c2x, e->c2y = c2y, e->x = x, e->y = y;
    p.elements->add(e);
  };
  struct Case {
    const char* name;
    std::function<void(UXShapePath&)> build;
    bool ok;
    int sdx, sdy, edx, edy;  // directions at the start and the end
  };
  const Case cases[] = {
      {"curve, c1 on the start point",
       [&](UXShapePath& p) {
         UXShapePath::add(p, kUXPathMove, 0, 0);
         curve(p, 0, 0, 5, 5, 10, 0);
       },
       true, -5, -5, 5, -5},
      {"curve, c2 on the end point",
       [&](UXShapePath& p) {
         UXShapePath::add(p, kUXPathMove, 0, 0);
         curve(p, 2, 3, 10, 0, 10, 0);
       },
       true, -2, -3, 8, -3},
      {"curve with every control point on the start falls back to the chord",
       [&](UXShapePath& p) {
         UXShapePath::add(p, kUXPathMove, 0, 0);
         curve(p, 0, 0, 0, 0, 10, 0);
       },
       true, -10, 0, 10, 0},
      {"a first line stands for the start point",
       [](UXShapePath& p) {
         UXShapePath::add(p, kUXPathLine, 5, 5);
         UXShapePath::add(p, kUXPathLine, 8, 9);
       },
       true, -3, -4, 3, 4},
      {"first segment of the first subpath, last of the last; closes skipped",
       [](UXShapePath& p) {
         UXShapePath::add(p, kUXPathMove, 0, 0);
         UXShapePath::add(p, kUXPathLine, 1, 0);
         UXShapePath::add(p, kUXPathMove, 5, 5);
         UXShapePath::add(p, 7, 5, 9);  // an unknown kind is a line
         UXShapePath::add(p, kUXPathClose, 0, 0);
       },
       true, -1, 0, 0, 4},
      {"move alone", [](UXShapePath& p) { UXShapePath::add(p, kUXPathMove, 3, 3); }, false, 0, 0, 0, 0},
      {"zero-length line",
       [](UXShapePath& p) {
         UXShapePath::add(p, kUXPathMove, 3, 3);
         UXShapePath::add(p, kUXPathLine, 3, 3);
       },
       false, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto p = make<UXShapePath>();
    c.build(*p);
    int32_t dx = 99, dy = 99;
    EXPECT_EQ(UXShapePath::capDirection(*p, 1, dx, dy), c.ok);
    if (c.ok) EXPECT_EQ(std::make_pair(dx, dy), std::make_pair(c.sdx, c.sdy));
    EXPECT_EQ(UXShapePath::capDirection(*p, 0, dx, dy), c.ok);
    if (c.ok) EXPECT_EQ(std::make_pair(dx, dy), std::make_pair(c.edx, c.edy));
  }
  // Anchors: end points of the first and last elements other than close.
  auto p = make<UXShapePath>();
  int16_t x = 0, y = 0;
  EXPECT_FALSE(UXShapePath::capAnchor(*p, 1, x, y));
  UXShapePath::add(*p, kUXPathClose, 0, 0);
  EXPECT_FALSE(UXShapePath::capAnchor(*p, 0, x, y));
  UXShapePath::add(*p, kUXPathMove, 4, -2);
  UXShapePath::add(*p, kUXPathLine, 7, 1);
  UXShapePath::add(*p, kUXPathClose, 0, 0);
  ASSERT_TRUE(UXShapePath::capAnchor(*p, 1, x, y));
  EXPECT_EQ(std::make_pair(x, y), std::make_pair(int16_t(4), int16_t(-2)));
  ASSERT_TRUE(UXShapePath::capAnchor(*p, 0, x, y));
  EXPECT_EQ(std::make_pair(x, y), std::make_pair(int16_t(7), int16_t(1)));
}

TEST(UXShapePath, Isqrt64AgreesWithTheToolkitIteration) {
  for (int32_t n : {0, -5, 1, 2, 3, 15, 16, 17, 99, 1000000, 2147483646})
    EXPECT_EQ(uxIsqrt64(n), UXGeom::isqrt(n)) << n;
  EXPECT_EQ(uxIsqrt64(int64_t(1) << 40), int64_t(1) << 20);
}

// ---------------------------------------------------------------------------
// Painter

TEST(UXPainter, FixedPointRounding) {
  EXPECT_EQ(UXPainter::fxToPx(8), 1);
  EXPECT_EQ(UXPainter::fxToPx(7), 0);
  EXPECT_EQ(UXPainter::fxToPx(-8), -1);
  EXPECT_EQ(UXPainter::fxToPx(-7), 0);
  EXPECT_EQ(UXPainter::divRound(5, 2), 3);
  EXPECT_EQ(UXPainter::divRound(-5, 2), -3);
  EXPECT_EQ(UXPainter::divRound(9, 0), 0);
}

TEST(UXPainter, RoundRectFill) {
  RecordingGraphics g;
  UXPainter::fillRoundRectRGBA(g, UXRect(0, 0, 40, 1), 5, 1, 2, 3, 4);
  UXPainter::fillRoundRectRGBA(g, UXRect(2, 3, 40, 30), 0, 1, 2, 3, 4);
  ASSERT_EQ(g.count("fillRectRGBA"), 2u);
  g.clear();
  UXPainter::fillRoundRectRGBA(g, UXRect(0, 0, 30, 30), 20, 9, 8, 7, 6);  // rr = 15
  ASSERT_EQ(g.count("fillPolygonRGBA"), 1u);
  const std::string& l = g.lines[0];
  EXPECT_EQ(l.rfind("fillPolygonRGBA [15,0 ", 0), 0u) << l;  // top of the top-right corner
  EXPECT_NE(l.find(" 30,15 "), std::string::npos) << l;
  EXPECT_EQ(l.substr(l.size() - 12), "] 36 9 8 7 6") << l;
}

TEST(UXPainter, StrokeColoursAndWidths) {
  RecordingGraphics g;  // strokes natively, does not dash
  auto p = line(0, 0, 10, 0);
  UXPainter::strokePath(g, *p, -3, 250);
  ASSERT_EQ(g.count("strokeNative"), 1u) << g.text();
  EXPECT_EQ(g.lines[0], "strokeNative [0 0 0 1 10 0] 6 1 0 0 1 [] 0 0 250");
  g.clear();
  UXPainter::strokePath(g, *p, 2, 0xFF102030);
  ASSERT_EQ(g.count("strokeNativeRGBA"), 1u) << g.text();
  EXPECT_EQ(g.lines[0].substr(g.lines[0].size() - 13), " 16 32 48 255");
}

TEST(UXPainter, NativeStrokeDrawsArrowHeadsItself) {
  RecordingGraphics g;
  auto p = line(0, 0, 10, 0);
  p->endCap = 3;
  UXPainter::strokePath(g, *p, 2, 5);
  ASSERT_EQ(g.lines.size(), 2u) << g.text();
  EXPECT_EQ(g.lines[0], "strokeNative [0 0 0 1 10 0] 6 2 0 0 1 [] 0 0 5");  // flat end
  EXPECT_EQ(g.lines[1], "fillPolygon [10,2 15,0 10,-2] 3 5");
}

TEST(UXPainter, PainterStrokesClosedTriangleWithInnerJointsOnly) {
  RecordingGraphics g;
  g.strokes = false;
  auto p = make<UXShapePath>();
  UXShapePath::add(*p, kUXPathMove, 0, 0);
  UXShapePath::add(*p, kUXPathLine, 20, 0);
  UXShapePath::add(*p, kUXPathLine, 20, 20);
  UXShapePath::add(*p, kUXPathClose, 0, 0);
  UXPainter::strokePath(g, *p, 4, 1);
  auto polys = g.of("fillPolygon");
  ASSERT_EQ(polys.size(), 5u) << g.text();
  EXPECT_EQ(polys[0], "fillPolygon [0,2 20,2 20,-2 0,-2] 4 1");
  EXPECT_NE(polys[1].find("] 16 1"), std::string::npos);  // joint at B
  EXPECT_NE(polys[3].find("] 16 1"), std::string::npos);  // joint at C
  EXPECT_NE(polys[4].find("] 4 1"), std::string::npos);   // the closing side, no joint
}

TEST(UXPainter, ThinStrokesGetNoJoints) {
  RecordingGraphics g;
  g.strokes = false;
  auto p = line(0, 0, 10, 0);
  UXShapePath::add(*p, kUXPathLine, 10, 10);
  UXPainter::strokePath(g, *p, 1.5, 1);  // wFx = 24 < 32
  EXPECT_EQ(g.count("fillPolygon"), 2u) << g.text();
}

TEST(UXPainter, LongSegmentsStrokeWithoutWrapping) {
  RecordingGraphics g;
  g.strokes = false;
  auto p = line(-20000, 0, 20000, 0);  // 640000 fx: its square passes 32 bits
  UXPainter::strokePath(g, *p, 4, 1);
  ASSERT_EQ(g.count("fillPolygon"), 1u);
  EXPECT_EQ(g.lines[0], "fillPolygon [-20000,2 20000,2 20000,-2 -20000,-2] 4 1");
}

TEST(UXPainter, DashedByThePainterWhenTheSurfaceCannotDash) {
  RecordingGraphics g;  // strokes natively but does not dash
  auto p = line(0, 0, 12, 0);
  p->dashCount = 2;
  p->dashes[0] = 4;
  p->dashes[1] = 2;
  UXPainter::strokePath(g, *p, 2, 1);
  EXPECT_EQ(g.count("strokeNative"), 0u);
  auto polys = g.of("fillPolygon");
  ASSERT_EQ(polys.size(), 2u) << g.text();
  EXPECT_EQ(polys[0], "fillPolygon [0,1 4,1 4,-1 0,-1] 4 1");
  EXPECT_EQ(polys[1], "fillPolygon [6,1 10,1 10,-1 6,-1] 4 1");
  // A surface that dashes gets the pattern.
  g.clear();
  g.dashes = true;
  UXPainter::strokePath(g, *p, 2, 1);
  ASSERT_EQ(g.count("strokeNative"), 1u);
  EXPECT_NE(g.lines[0].find("[4 2] 2 0"), std::string::npos) << g.lines[0];
}

TEST(UXPainter, DashPhaseRestartsOnEverySubpath) {
  RecordingGraphics g;
  g.strokes = false;
  auto p = line(0, 0, 5, 0);
  UXShapePath::add(*p, kUXPathMove, 0, 10);
  UXShapePath::add(*p, kUXPathLine, 5, 10);
  p->dashCount = 2;
  p->dashes[0] = 4;
  p->dashes[1] = 2;
  UXPainter::strokePath(g, *p, 2, 1);
  auto polys = g.of("fillPolygon");
  ASSERT_EQ(polys.size(), 2u) << g.text();
  EXPECT_EQ(polys[0], "fillPolygon [0,1 4,1 4,-1 0,-1] 4 1");
  EXPECT_EQ(polys[1], "fillPolygon [0,11 4,11 4,9 0,9] 4 1");
}

TEST(UXPainter, FillShapeKeepsAtMost128Points) {
  RecordingGraphics g;
  auto p = make<UXShapePath>();
  UXShapePath::add(*p, kUXPathMove, 0, 0);
  for (int i = 1; i < 300; i++) UXShapePath::add(*p, kUXPathLine, int16_t(i), int16_t(i % 7));
  EXPECT_EQ(UXPainter::flatten(*p), 128u);
  UXPainter::fillShape(g, *p, 3);
  ASSERT_EQ(g.count("fillPolygon"), 1u);
  EXPECT_NE(g.lines[0].find("] 128 3"), std::string::npos);
}

TEST(UXPainter, EncodeOpsStopsBeforeOverflow) {
  auto p = make<UXShapePath>();
  for (int i = 0; i < 400; i++) {
    auto e = make<UXPathElement>();
    e->kind = kUXPathCurve;
    p->elements->add(e);
  }
  EXPECT_EQ(UXPainter::encodeOps(*p), 2044u);  // 292 curves of 7 words
}
