// The Win32 driver's pure rules, run natively and under Wine: typed
// characters, the window table, input mapping, menus and the GDI surface's
// arithmetic.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "ux/win32/W32Pure.h"

namespace quorl {
namespace {

// ---------------------------------------------------------------------------
// Typed characters.

TEST(W32TextTest, TypedUnitsBecomeUtf8Characters) {
  W32CharDecoder d;
  char out[4];
  struct Step {
    char16_t unit;
    std::string bytes;
  } steps[] = {{u'a', "a"}, {0x00E9, "\xC3\xA9"}, {0x20AC, "\xE2\x82\xAC"},
               {0xD83D, ""}, {0xDE00, "\xF0\x9F\x98\x80"},  // a pair over two messages
               {0xDC00, "\xEF\xBF\xBD"}};                  // a low half alone
  for (const Step& s : steps) {
    int n = d.feed(s.unit, out);
    EXPECT_EQ(std::string(out, size_t(n)), s.bytes) << int(s.unit);
  }
}

// ---------------------------------------------------------------------------
// Window table.

TEST(W32WindowTableTest, HandlesAreTheLowestFreeThenNew) {
  bool used[kW32MaxWindows + 1] = {};
  uint32_t next = 1;
  std::vector<uint32_t> got;
  for (int i = 0; i < 3; ++i) {
    uint32_t h = w32AllocHandle(used, next);
    used[h] = true;
    got.push_back(h);
  }
  used[2] = false;  // the second window goes
  got.push_back(w32AllocHandle(used, next));
  EXPECT_EQ(got, (std::vector<uint32_t>{1, 2, 3, 2}));
  EXPECT_EQ(next, 4u);

  for (uint32_t h = 1; h <= kW32MaxWindows; ++h) used[h] = true;
  next = kW32MaxWindows + 1;
  EXPECT_EQ(w32AllocHandle(used, next), 0u);  // a 64th window has no entry
  EXPECT_EQ(next, kW32MaxWindows + 1);
}

TEST(W32WindowTableTest, CaptionsTable) {
  struct Case {
    const char* title;
    const char* subtitle;
    uint8_t modified;
    const char* caption;
  } cases[] = {
      {"Runs", nullptr, 0, "Runs"},     {"Runs", "", 1, "*Runs"},        {"Runs", "a.json", 1, "*Runs - a.json"},
      {"Runs", "a.json", 0, "Runs - a.json"}, {nullptr, "x", 0, " - x"}, {nullptr, nullptr, 0, ""},
      {"R\xC3\xA9sultats", "\xC2\xB7", 0, "R\xC3\xA9sultats - \xC2\xB7"},
  };
  for (const Case& c : cases) EXPECT_EQ(w32ComposeTitle(c.title, c.subtitle, c.modified), c.caption);
}

TEST(W32WindowTableTest, ScrollArithmeticTable) {
  EXPECT_EQ(w32ScrollLimit(500, 600, 40), 0);  // content within the client
  EXPECT_EQ(w32ScrollLimit(1000, 600, 40), 440);
  EXPECT_EQ(w32ScrollLimit(1000, 400, 24), 624);
  EXPECT_EQ(w32ClampScroll(-5, 100), 0);
  EXPECT_EQ(w32ClampScroll(500, 100), 100);
  EXPECT_EQ(w32ClampScroll(5, -1), 0);
  struct Case {
    int32_t offset;
    uint32_t code;
    int32_t thumb, limit, want;
  } cases[] = {
      {100, 0, 0, 500, 90},  {100, 1, 0, 500, 110}, {100, 2, 0, 500, 50}, {100, 3, 0, 500, 150},
      {100, 4, 321, 500, 321}, {100, 5, 999, 500, 500}, {100, 8, 0, 500, 100}, {5, 2, 0, 500, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(w32ScrollByCode(c.offset, c.code, c.thumb, c.limit), c.want) << c.code;
  EXPECT_EQ(w32ScrollByWheel(100, -240, 500), 160);
  EXPECT_EQ(w32ScrollByWheel(100, 120, 500), 70);
  EXPECT_EQ(w32ScrollByWheel(100, 60, 500), 100);  // half a notch does not move
  EXPECT_EQ(w32ScrollByWheel(10, 120, 500), 0);
}

TEST(W32WindowTableTest, TheOverlayCurveReachesOutHalfTheWidthAtLeastThirty) {
  struct Case {
    int32_t x1, y1, x2, y2;
    std::vector<int32_t> want;  // cx1, cy1, cx2, cy2, x2, y2
  } cases[] = {
      {100, 50, 110, 80, {130, 50, 80, 80, 110, 80}},     // short: 30 pixels out
      {300, 50, 100, 80, {200, 50, 200, 80, 100, 80}},    // leftward: 100 pixels back
      {20, 100, 220, 40, {120, 100, 120, 40, 220, 40}},
      {5, 5, 5, 90, {35, 5, -25, 90, 5, 90}},             // straight down still curves
      {INT32_MIN, 0, INT32_MAX, 0, {-1, 0, 0, 0, INT32_MAX, 0}},  // no overflow
  };
  for (const Case& c : cases) {
    int32_t out[6];
    w32LineCurve(c.x1, c.y1, c.x2, c.y2, out);
    EXPECT_EQ(std::vector<int32_t>(out, out + 6), c.want) << c.x1 << "," << c.y1 << " to " << c.x2 << "," << c.y2;
  }
}

// ---------------------------------------------------------------------------
// Input.

TEST(W32InputTest, MenuCommandIdsRoundTrip) {
  EXPECT_EQ(w32CommandId(2, 1), 514u);
  struct Case {
    uint32_t id;
    int32_t a, b;
  } cases[] = {{1, 2, 0}, {2, 2, 1}, {256, 2, 255}, {257, 3, 0}, {258, 3, 1}, {514, 4, 1}};
  for (const Case& c : cases) {
    int32_t a = -1, b = -1;
    w32CommandArgs(c.id, a, b);
    EXPECT_EQ(a, c.a) << c.id;
    EXPECT_EQ(b, c.b) << c.id;
  }
}

TEST(W32InputTest, WheelNotchesAndPixels) {
  struct Case {
    int16_t delta;
    int32_t notches, pixels;
  } cases[] = {{120, 1, -100}, {60, 0, -50}, {-240, -2, 200}, {-1, 0, 0}, {0, 0, 0}, {32767, 273, -27305}};
  for (const Case& c : cases) {
    int32_t a = 0, b = 0;
    w32WheelArgs(c.delta, a, b);
    EXPECT_EQ(a, c.notches) << c.delta;
    EXPECT_EQ(b, c.pixels) << c.delta;
  }
}

TEST(W32InputTest, AlertButtonsIconsAndAnswers) {
  struct Case {
    int32_t style;
    const char* buttons;
    uint32_t flags;
    int32_t count;
    int32_t answers[4];  // for IDOK 1, IDCANCEL 2, IDYES 6, IDNO 7
  } cases[] = {
      {0, "OK", 0x40, 1, {1, 1, 1, 1}},
      {2, "OK|Cancel", 0x41, 2, {1, 2, 2, 2}},
      {3, "Save|Discard|Cancel", 0x13, 3, {3, 3, 1, 2}},
      {5, "a|b|c|d", 0x13, 4, {3, 3, 1, 2}},
      {1, nullptr, 0x40, 1, {1, 1, 1, 1}},
  };
  const int ids[4] = {1, 2, 6, 7};
  for (const Case& c : cases) {
    int32_t count = 0;
    EXPECT_EQ(w32AlertFlags(c.style, c.buttons, count), c.flags);
    EXPECT_EQ(count, c.count);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(w32AlertAnswer(count, ids[i]), c.answers[i]) << i;
  }
  EXPECT_EQ(w32AlertText("One|Two"), "One\nTwo");
  EXPECT_EQ(w32AlertText(nullptr), "");
  std::string longText(509, 'x');
  longText += "\xC3\xA9tail";  // the 510th byte starts a two-byte character
  EXPECT_EQ(w32AlertText(longText.c_str()), std::string(509, 'x'));
  EXPECT_EQ(w32AlertText(std::string(600, 'y').c_str()).size(), 510u);
}

TEST(W32InputTest, EditClassNames) {
  EXPECT_TRUE(w32IsEditClassName(u"EDIT"));
  EXPECT_TRUE(w32IsEditClassName(u"edit"));
  EXPECT_TRUE(w32IsEditClassName(u"EdiT"));
  EXPECT_FALSE(w32IsEditClassName(u"EDIT2"));
  EXPECT_FALSE(w32IsEditClassName(u"EDI"));
  EXPECT_FALSE(w32IsEditClassName(u"RICHEDIT50W"));
  EXPECT_FALSE(w32IsEditClassName(nullptr));
}

// ---------------------------------------------------------------------------
// Menus.

TEST(W32MenuTest, EncodedItemsTable) {
  struct Case {
    const char* encoded;
    bool separator;
    uint32_t flags;
    const char* label;
  } cases[] = {
      {"-", true, 0, ""},
      {"--", false, 0, "--"},
      {"\x01Open\tO", false, 8, "Open\tCtrl+O"},
      {"Save as\t+S", false, 0, "Save as\tShift+Ctrl+S"},
      {"\x02Submit", false, 1, "Submit"},
      {"Ouvrir\xE2\x80\xA6", false, 0, "Ouvrir\xE2\x80\xA6"},
  };
  for (const Case& c : cases) {
    W32MenuItem item = w32MenuItemOf(c.encoded);
    EXPECT_EQ(item.separator, c.separator) << c.encoded;
    EXPECT_EQ(item.flags, c.flags) << c.encoded;
    EXPECT_EQ(item.label, c.label) << c.encoded;
  }
}

// ---------------------------------------------------------------------------
// GDI surface arithmetic.

TEST(W32SurfaceTest, PaletteIsBlueGreenRed) {
  struct Case {
    uint32_t ci, colour;
  } cases[] = {{0, 0xFFFFFF}, {1, 0}, {2, 0x0000FF}, {8, 0xC0C0C0}, {9, 0x808080}, {250, 0xFFD7B3}, {251, 0}, {7, 0}};
  for (const Case& c : cases) EXPECT_EQ(w32PenColor(c.ci), c.colour) << c.ci;
  EXPECT_EQ(w32Rgb(179, 215, 255), 0xFFD7B3u);
  EXPECT_EQ(w32Clamp16(40000), 32767);
  EXPECT_EQ(w32Clamp16(-40000), -32768);
}

TEST(W32SurfaceTest, LinesAreTwoPixelsThick) {
  W32LineShape h = w32LineShape(5, 7, 2, 7);
  EXPECT_TRUE(h.isRect);
  EXPECT_EQ((std::vector<int>{h.x, h.y, h.w, h.h}), (std::vector<int>{2, 7, 4, 2}));
  W32LineShape v = w32LineShape(3, 9, 3, 1);
  EXPECT_TRUE(v.isRect);
  EXPECT_EQ((std::vector<int>{v.x, v.y, v.w, v.h}), (std::vector<int>{3, 1, 2, 9}));
  W32LineShape s = w32LineShape(0, 0, 10, 5);
  EXPECT_FALSE(s.isRect);
  EXPECT_EQ((std::vector<int>{s.px[0], s.py[0], s.px[1], s.py[1], s.px[2], s.py[2], s.px[3], s.py[3]}),
            (std::vector<int>{0, 0, 10, 5, 10, 7, 0, 2}));
}

TEST(W32SurfaceTest, PixelBlocksAreClippedAndPremultiplied) {
  W32PixelClip clip;
  EXPECT_FALSE(w32ClipPixels(UXRect(0, 0, 0, 4), 4, 4, clip));
  EXPECT_FALSE(w32ClipPixels(UXRect(4, 0, 2, 2), 4, 4, clip));
  ASSERT_TRUE(w32ClipPixels(UXRect(-2, 1, 10, 10), 4, 4, clip));  // cut to the image
  EXPECT_EQ((std::vector<int>{clip.sx, clip.sy, clip.w, clip.h}), (std::vector<int>{0, 1, 4, 3}));

  // Two pixels a row, two rows; the block is the right column.
  const uint8_t rgba[16] = {0, 0, 0, 0, 200, 100, 50, 128, 0, 0, 0, 0, 10, 20, 30, 255};
  ASSERT_TRUE(w32ClipPixels(UXRect(1, 0, 1, 2), 2, 2, clip));
  uint8_t out[8] = {};
  w32PremultiplyBlock(rgba, 2, 1, clip, out);  // red first
  EXPECT_EQ((std::vector<int>(out, out + 8)), (std::vector<int>{25, 50, 100, 128, 30, 20, 10, 255}));
  w32PremultiplyBlock(rgba, 2, 0, clip, out);  // already blue first
  EXPECT_EQ((std::vector<int>(out, out + 8)), (std::vector<int>{100, 50, 25, 128, 10, 20, 30, 255}));
}

class LogSink : public W32StrokeSink {
 public:
  std::string log;
  void moveTo(int32_t x, int32_t y) override { log += "M" + std::to_string(x) + "," + std::to_string(y) + " "; }
  void lineTo(int32_t x, int32_t y) override { log += "L" + std::to_string(x) + "," + std::to_string(y) + " "; }
  void bezierTo(const int32_t xy[6]) override {
    log += "C";
    for (int i = 0; i < 6; ++i) log += std::to_string(xy[i]) + (i < 5 ? "," : " ");
  }
};

TEST(W32SurfaceTest, StrokeOpListsTable) {
  struct Case {
    std::vector<int32_t> ops;
    const char* log;
  } cases[] = {
      {{0, 1, 2, 1, 3, 4, 3}, "M11,22 L13,24 L11,22 "},
      {{1, 5, 5, 1, 6, 6}, "M15,25 L16,26 "},                  // a line with no current point only moves
      {{0, 0, 0, 1, 9}, "M10,20 "},                            // a line cut off by the end is not drawn
      {{2, 1, 1, 2, 2, 3, 3, 1, 4, 4}, "M13,23 L14,24 "},      // a cubic with no current point moves to its end
      {{0, 0, 0, 2, 1, 1, 2, 2, 3, 3}, "M10,20 C11,21,12,22,13,23 "},
      {{0, 0, 0, 7, 1, 1, 1}, "M10,20 "},                      // an unknown op ends the walk
      {{3, 0, 1, 1}, "M11,21 "},                               // close with nothing open draws nothing
  };
  for (const Case& c : cases) {
    LogSink sink;
    w32WalkStroke(c.ops.data(), int32_t(c.ops.size()), 10, 20, sink);
    EXPECT_EQ(sink.log, c.log);
  }
}

}  // namespace
}  // namespace quorl
