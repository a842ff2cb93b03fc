// The line icons: name table, the line rule, and what every icon paints.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "RecordingGraphics.h"
#include "ux/controls/UXIcon.h"

namespace quorl {
namespace {

// Parses a recorded "fillRect x,y,w,h ci" line.
bool parseFill(const std::string& line, int& x, int& y, int& w, int& h, int& ci) {
  return std::sscanf(line.c_str(), "fillRect %d,%d,%d,%d %d", &x, &y, &w, &h, &ci) == 5;
}

using Pixels = std::set<std::pair<int, int>>;

// The pixels the recorded fillRect lines cover.
Pixels pixelsOf(const RecordingGraphics& g) {
  Pixels out;
  for (const std::string& l : g.of("fillRect")) {
    int x, y, w, h, ci;
    if (!parseFill(l, x, y, w, h, ci)) continue;
    for (int j = 0; j < h; ++j)
      for (int i = 0; i < w; ++i) out.insert({x + i, y + j});
  }
  return out;
}

TEST(UXIconTest, NameTableLookups) {
  struct Case {
    const char* name;
    int32_t index;
  } cases[] = {
      {"new", 0},     {"open", 1},  {"redo", 8},  {"settings", 17}, {"folder", 24},
      {"New", -1},    {"", -1},     {nullptr, -1}, {"new ", -1},    {"fold", -1},
  };
  for (const Case& c : cases) EXPECT_EQ(UXIcon::indexOf(c.name), c.index) << (c.name ? c.name : "null");
  for (int32_t i = 0; i < UXIcon::kCount; ++i) EXPECT_EQ(UXIcon::indexOf(UXIcon::nameAt(i)), i);
  // Positions outside the table answer a name that is in no table slot.
  for (int32_t bad : {-1, 25, 1000, INT32_MIN, INT32_MAX}) {
    ASSERT_NE(UXIcon::nameAt(bad), nullptr);
    EXPECT_EQ(UXIcon::indexOf(UXIcon::nameAt(bad)), -1) << bad;
  }
  EXPECT_TRUE(UXIcon::same("cut", "cut"));
  EXPECT_FALSE(UXIcon::same("cut", "cu"));
  EXPECT_FALSE(UXIcon::same("cut", nullptr));
  EXPECT_TRUE(UXIcon::same(nullptr, nullptr));
}

TEST(UXIconTest, LineRule) {
  struct Case {
    int32_t x1, y1, x2, y2;
    std::vector<std::string> lines;
  } cases[] = {
      // Shallow diagonal, both directions: the same pixels, walked from the first end.
      {0, 0, 3, 1, {"fillRect 0,0,1,1 1", "fillRect 1,0,1,1 1", "fillRect 2,1,1,1 1", "fillRect 3,1,1,1 1"}},
      {3, 1, 0, 0, {"fillRect 3,1,1,1 1", "fillRect 2,1,1,1 1", "fillRect 1,0,1,1 1", "fillRect 0,0,1,1 1"}},
      // Vertical and horizontal lines are one rectangle, ends in any order.
      {5, 9, 5, 2, {"fillRect 5,2,1,8 1"}},
      {9, 4, 2, 4, {"fillRect 2,4,8,1 1"}},
      {7, 7, 7, 7, {"fillRect 7,7,1,1 1"}},
      // Steep and negative coordinates.
      {-1, -3, 0, 0, {"fillRect -1,-3,1,1 1", "fillRect -1,-2,1,1 1", "fillRect 0,-1,1,1 1", "fillRect 0,0,1,1 1"}},
      // Ends past the 16-bit plane are cut to it, never wrapped.
      {-40000, 5, 40000, 5, {"fillRect -32768,5,32767,1 1"}},
      {5, 30000, 5, 70000, {"fillRect 5,30000,1,2768 1"}},
      {40000, 1, 50000, 2, {}},
  };
  for (const Case& c : cases) {
    RecordingGraphics g;
    UXIcon::ln(g, c.x1, c.y1, c.x2, c.y2, 1);
    EXPECT_EQ(g.lines, c.lines) << c.x1 << "," << c.y1 << " " << c.x2 << "," << c.y2;
  }
}

TEST(UXIconTest, ExtremeLinesStayOnThePlaneAndEnd) {
  // A diagonal from one end of the i32 range to the other: only pixels on
  // the 16-bit plane, and the walk is bounded by the plane's size.
  RecordingGraphics g;
  UXIcon::ln(g, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, 1);
  ASSERT_FALSE(g.lines.empty());
  EXPECT_LE(g.lines.size(), 65536u);
  Pixels px = pixelsOf(g);
  EXPECT_TRUE(px.count({0, 0}) == 1) << "the line through the origin misses it";
  for (auto [x, y] : px) EXPECT_EQ(x, y);
}

TEST(UXIconTest, EveryIconStaysInsideItsCell) {
  const int ox = 100, oy = 50;
  for (int32_t i = 0; i < UXIcon::kCount; ++i) {
    const char* name = UXIcon::nameAt(i);
    RecordingGraphics g;
    ASSERT_TRUE(UXIcon::draw(g, name, ox, oy, 9)) << name;
    ASSERT_FALSE(g.lines.empty()) << name;
    for (const std::string& l : g.lines) {
      int x, y, w, h, ci;
      int tx[3], ty[3];
      if (parseFill(l, x, y, w, h, ci)) {
        EXPECT_TRUE(w >= 1 && h >= 1 && x >= ox && y >= oy && x + w <= ox + 16 && y + h <= oy + 16)
            << name << ": " << l;
      } else if (std::sscanf(l.c_str(), "fillTriangle %d %d %d %d %d %d %d", &tx[0], &ty[0], &tx[1], &ty[1],
                             &tx[2], &ty[2], &ci) == 7) {
        for (int k = 0; k < 3; ++k)
          EXPECT_TRUE(tx[k] >= ox && ty[k] >= oy && tx[k] < ox + 16 && ty[k] < oy + 16) << name << ": " << l;
      } else {
        ADD_FAILURE() << name << " drew through an operation other than fillRect or fillTriangle: " << l;
        continue;
      }
      EXPECT_EQ(ci, 9) << name << ": " << l;
    }
  }
}

TEST(UXIconTest, PicturesAndUnknownNames) {
  auto draw = [](const char* name, int x, int y) {
    RecordingGraphics g;
    EXPECT_TRUE(UXIcon::draw(g, name, x, y, 1)) << name;
    return g.lines;
  };
  EXPECT_EQ(draw("open", 3, 4), draw("folder", 3, 4));
  // A box is top, bottom, left, right; steps in the order listed.
  EXPECT_EQ(draw("save", 0, 0), (std::vector<std::string>{
                                     "fillRect 1,1,14,1 1", "fillRect 1,14,14,1 1", "fillRect 1,1,1,14 1",
                                     "fillRect 14,1,1,14 1", "fillRect 4,1,7,5 1", "fillRect 4,9,8,1 1",
                                     "fillRect 4,14,8,1 1", "fillRect 4,9,1,6 1", "fillRect 11,9,1,6 1"}));
  EXPECT_EQ(draw("play", 10, 20), std::vector<std::string>{"fillTriangle 14 22 14 34 24 28 1"});
  EXPECT_EQ(draw("add", 0, 0), (std::vector<std::string>{"fillRect 2,7,12,2 1", "fillRect 7,2,2,12 1"}));

  // "back" is a '<' of two 45-degree strokes meeting at (4, 8).
  RecordingGraphics back;
  UXIcon::draw(back, "back", 0, 0, 1);
  Pixels expected;
  for (int k = 0; k <= 6; ++k) expected.insert({10 - k, 2 + k}), expected.insert({4 + k, 8 + k});
  EXPECT_EQ(pixelsOf(back), expected);

  // "redo" is "undo" turned about the vertical axis: its straight strokes
  // and corners land on mirrored pixels.
  RecordingGraphics undo, redo;
  UXIcon::draw(undo, "undo", 0, 0, 1);
  UXIcon::draw(redo, "redo", 0, 0, 1);
  Pixels u = pixelsOf(undo), r = pixelsOf(redo);
  EXPECT_EQ(u.size(), r.size());
  for (auto p : {std::pair{2, 6}, {12, 6}, {14, 9}, {12, 13}, {6, 2}, {6, 10}, {7, 6}}) {
    EXPECT_TRUE(u.count(p)) << p.first << "," << p.second;
    EXPECT_TRUE(r.count({15 - p.first, p.second})) << p.first << "," << p.second;
  }

  for (const char* bad : {"New", "", "nothing", static_cast<const char*>(nullptr)}) {
    RecordingGraphics g;
    EXPECT_FALSE(UXIcon::draw(g, bad, 0, 0, 1));
    EXPECT_TRUE(g.lines.empty());
  }
}

}  // namespace
}  // namespace quorl
