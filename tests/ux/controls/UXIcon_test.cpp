// The line icons: name table, the line rule, and what every icon paints,
// step by step.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <iterator>
#include <set>
#include <sstream>
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

// Every icon, step by step in drawing order, from its step table:
// "path" is one line per consecutive pair of points, "box (a,b)-(c,d)" the
// lines top, bottom, left, right, "R x,y,w,h" a filled rectangle and "T" a
// filled triangle, all relative to the icon's origin. Lines are made with
// UXIcon::ln, whose rule LineRule pins down.
std::vector<std::string> stepsOf(const char* table, int ox, int oy, uint32_t ci) {
  RecordingGraphics g;
  std::istringstream steps(table);
  std::string step;
  while (std::getline(steps, step, ';')) {
    step.erase(0, step.find_first_not_of(' '));
    std::string digits = step;  // the step's numbers, in order
    for (char& c : digits) c = (c >= '0' && c <= '9') ? c : ' ';
    std::istringstream numbers(digits);
    std::vector<int> v{std::istream_iterator<int>(numbers), std::istream_iterator<int>()};
    auto line = [&](int a, int b, int c, int d) { UXIcon::ln(g, ox + a, oy + b, ox + c, oy + d, ci); };
    if (step.rfind("path ", 0) == 0 && v.size() >= 4 && v.size() % 2 == 0) {
      for (size_t k = 0; k + 3 < v.size(); k += 2) line(v[k], v[k + 1], v[k + 2], v[k + 3]);
    } else if (step.rfind("box ", 0) == 0 && v.size() == 4) {
      line(v[0], v[1], v[2], v[1]);
      line(v[0], v[3], v[2], v[3]);
      line(v[0], v[1], v[0], v[3]);
      line(v[2], v[1], v[2], v[3]);
    } else if (step.rfind("R ", 0) == 0 && v.size() == 4) {
      g.fillRect(UXRect(ox + v[0], oy + v[1], v[2], v[3]), ci);
    } else if (step.rfind("T ", 0) == 0 && v.size() == 6) {
      g.fillTriangle(int16_t(ox + v[0]), int16_t(oy + v[1]), int16_t(ox + v[2]), int16_t(oy + v[3]),
                     int16_t(ox + v[4]), int16_t(oy + v[5]), ci);
    } else {
      ADD_FAILURE() << "not a step: " << step;
    }
  }
  return g.lines;
}

TEST(UXIconTest, EveryIconDrawsItsStepTable) {
  const std::pair<const char*, const char*> icons[UXIcon::kCount] = {
      {"new", "path (2,1) (8,1) (11,4) (11,14) (2,14) (2,1); R 10,8,6,2; R 12,6,2,6"},
      {"open", "box (1,4)-(14,13); path (1,4) (3,2) (7,2) (8,4)"},
      {"save", "box (1,1)-(14,14); R 4,1,7,5; box (4,9)-(11,14)"},
      {"delete", "path (1,3) (14,3); path (6,1) (9,1); path (3,4) (4,14); path (12,4) (11,14); "
                 "path (4,14) (11,14); path (6,6) (6,12); path (9,6) (9,12)"},
      {"cut", "path (4,10) (6,12) (4,14) (2,12) (4,10); path (11,10) (13,12) (11,14) (9,12) (11,10); "
              "path (5,10) (11,1); path (10,10) (4,1)"},
      {"copy", "box (1,1)-(9,11); box (6,4)-(14,14)"},
      {"paste", "box (2,2)-(13,14); R 5,1,6,3; path (5,8) (10,8); path (5,11) (10,11)"},
      {"undo", "path (2,6) (12,6) (14,9) (12,13); path (2,6) (6,2); path (2,6) (6,10)"},
      // undo mirrored: every x is 15 - x
      {"redo", "path (13,6) (3,6) (1,9) (3,13); path (13,6) (9,2); path (13,6) (9,10)"},
      {"add", "R 2,7,12,2; R 7,2,2,12"},
      {"remove", "R 2,7,12,2"},
      {"play", "T (4,2) (4,14) (14,8)"},
      {"pause", "R 4,2,3,12; R 9,2,3,12"},
      {"stop", "R 3,3,10,10"},
      {"back", "path (10,2) (4,8) (10,14)"},
      {"forward", "path (5,2) (11,8) (5,14)"},
      {"search", "path (4,1) (8,1) (11,4) (11,8) (8,11) (4,11) (1,8) (1,4) (4,1); path (10,10) (14,14); "
                 "path (11,10) (15,14)"},
      {"settings", "path (6,3) (10,3) (13,6) (13,10) (10,13) (6,13) (3,10) (3,6) (6,3); "
                   "path (8,6) (10,8) (8,10) (6,8) (8,6); R 7,1,2,2; R 7,13,2,2; R 1,7,2,2; R 13,7,2,2"},
      {"info", "path (6,1) (10,1) (15,6) (15,10) (10,15) (6,15) (1,10) (1,6) (6,1); R 7,4,2,2; R 7,7,2,5"},
      {"share", "path (3,7) (3,14) (12,14) (12,7); path (8,1) (8,10); path (8,1) (5,4); path (8,1) (11,4)"},
      {"print", "box (1,6)-(14,11); box (4,1)-(11,5); box (4,10)-(11,14)"},
      {"refresh", "path (13,8) (11,12) (8,14) (4,12) (2,8) (4,4) (8,2) (11,3); T (10,0) (14,4) (9,6)"},
      {"edit", "path (2,14) (12,4); path (4,14) (14,4); path (12,4) (14,2); path (2,14) (4,14)"},
      {"close", "path (3,3) (13,13); path (4,3) (13,12); path (13,3) (3,13); path (12,3) (3,12)"},
      {"folder", "box (1,4)-(14,13); path (1,4) (3,2) (7,2) (8,4)"},
  };
  for (int32_t i = 0; i < UXIcon::kCount; ++i) {
    const auto& [name, steps] = icons[i];
    EXPECT_STREQ(UXIcon::nameAt(i), name);
    RecordingGraphics g;
    EXPECT_TRUE(UXIcon::draw(g, name, 100, 50, 9)) << name;
    EXPECT_EQ(g.lines, stepsOf(steps, 100, 50, 9)) << name;
  }
  for (const char* bad : {"New", "", static_cast<const char*>(nullptr)}) {
    RecordingGraphics g;
    EXPECT_FALSE(UXIcon::draw(g, bad, 0, 0, 1));
    EXPECT_TRUE(g.lines.empty());
  }
}

}  // namespace
}  // namespace quorl
