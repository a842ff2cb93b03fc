// The line icons: name table, the line rule, and what every icon paints.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "RecordingGraphics.h"
#include "ux/controls/UXIcon.h"

namespace quorl {
namespace {

using Pixels = std::set<std::pair<int, int>>;

// The pixels the recorded fillRect lines cover.
Pixels pixelsOf(const RecordingGraphics& g) {
  Pixels out;
  for (const std::string& l : g.of("fillRect")) {
    int x, y, w, h;
    if (std::sscanf(l.c_str(), "fillRect %d,%d,%d,%d", &x, &y, &w, &h) != 4) continue;
    for (int j = 0; j < h; ++j)
      for (int i = 0; i < w; ++i) out.insert({x + i, y + j});
  }
  return out;
}

TEST(UXIconTest, NameTableLookups) {
  const std::pair<const char*, int32_t> cases[] = {{"new", 0},   {"redo", 8},     {"folder", 24}, {"New", -1},
                                                   {"", -1},     {nullptr, -1},   {"new ", -1}};
  for (auto [name, index] : cases) EXPECT_EQ(UXIcon::indexOf(name), index) << (name ? name : "null");
  for (int32_t i = 0; i < UXIcon::kCount; ++i) EXPECT_EQ(UXIcon::indexOf(UXIcon::nameAt(i)), i);
  // Positions outside the table answer a name that draws nothing.
  for (int32_t bad : {-1, 25, INT32_MIN, INT32_MAX}) EXPECT_STREQ(UXIcon::nameAt(bad), "") << bad;
  EXPECT_TRUE(UXIcon::same(nullptr, nullptr));
  EXPECT_FALSE(UXIcon::same("cut", nullptr));
}

TEST(UXIconTest, LineRule) {
  struct Case {
    int32_t x1, y1, x2, y2;
    std::vector<std::string> lines;
  } cases[] = {
      // Bresenham, walked from the first end.
      {0, 0, 3, 1, {"fillRect 0,0,1,1 1", "fillRect 1,0,1,1 1", "fillRect 2,1,1,1 1", "fillRect 3,1,1,1 1"}},
      {3, 1, 0, 0, {"fillRect 3,1,1,1 1", "fillRect 2,1,1,1 1", "fillRect 1,0,1,1 1", "fillRect 0,0,1,1 1"}},
      // Straight lines are one rectangle, ends in any order.
      {5, 9, 5, 2, {"fillRect 5,2,1,8 1"}},
      {9, 4, 2, 4, {"fillRect 2,4,8,1 1"}},
      {7, 7, 7, 7, {"fillRect 7,7,1,1 1"}},
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
  // Across the whole i32 range: only the part on the plane is walked.
  RecordingGraphics g;
  UXIcon::ln(g, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, 1);
  EXPECT_LE(g.lines.size(), 65536u);
  Pixels px = pixelsOf(g);
  EXPECT_EQ(px.count({0, 0}), 1u);
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
      int v[7], ci = -1;
      bool inside = false;
      if (std::sscanf(l.c_str(), "fillRect %d,%d,%d,%d %d", &v[0], &v[1], &v[2], &v[3], &ci) == 5) {
        inside = v[2] >= 1 && v[3] >= 1 && v[0] >= ox && v[1] >= oy && v[0] + v[2] <= ox + 16 && v[1] + v[3] <= oy + 16;
      } else if (std::sscanf(l.c_str(), "fillTriangle %d %d %d %d %d %d %d", &v[0], &v[1], &v[2], &v[3], &v[4],
                             &v[5], &ci) == 7) {
        inside = true;
        for (int k = 0; k < 6; k += 2) inside = inside && v[k] >= ox && v[k + 1] >= oy && v[k] < ox + 16 && v[k + 1] < oy + 16;
      }
      EXPECT_TRUE(inside) << name << ": " << l;
      EXPECT_EQ(ci, 9) << name << ": " << l;
    }
  }
}

TEST(UXIconTest, PicturesAndUnknownNames) {
  auto draw = [](const char* name, int x, int y) {
    RecordingGraphics g;
    EXPECT_TRUE(UXIcon::draw(g, name, x, y, 1)) << name;
    return g;
  };
  EXPECT_EQ(draw("open", 3, 4).lines, draw("folder", 3, 4).lines);
  // A box is top, bottom, left, right.
  std::vector<std::string> save = draw("save", 0, 0).lines;
  EXPECT_EQ(std::vector<std::string>(save.begin(), save.begin() + 5),
            (std::vector<std::string>{"fillRect 1,1,14,1 1", "fillRect 1,14,14,1 1", "fillRect 1,1,1,14 1",
                                      "fillRect 14,1,1,14 1", "fillRect 4,1,7,5 1"}));
  EXPECT_EQ(draw("play", 10, 20).lines, std::vector<std::string>{"fillTriangle 14 22 14 34 24 28 1"});
  // "back" is a '<' of two 45-degree strokes meeting at (4, 8).
  Pixels back;
  for (int k = 0; k <= 6; ++k) back.insert({10 - k, 2 + k}), back.insert({4 + k, 8 + k});
  EXPECT_EQ(pixelsOf(draw("back", 0, 0)), back);
  // "redo" is "undo" turned about the vertical axis.
  Pixels undo = pixelsOf(draw("undo", 0, 0)), redo = pixelsOf(draw("redo", 0, 0));
  EXPECT_EQ(undo.size(), redo.size());
  for (auto p : {std::pair{2, 6}, {12, 6}, {14, 9}, {12, 13}, {6, 2}, {6, 10}})
    EXPECT_TRUE(undo.count(p) && redo.count({15 - p.first, p.second})) << p.first << "," << p.second;

  for (const char* bad : {"New", "", static_cast<const char*>(nullptr)}) {
    RecordingGraphics g;
    EXPECT_FALSE(UXIcon::draw(g, bad, 0, 0, 1));
    EXPECT_TRUE(g.lines.empty());
  }
}

}  // namespace
}  // namespace quorl
