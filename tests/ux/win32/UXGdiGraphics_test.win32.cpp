// The GDI surface under Wine: what each operation puts where, read back
// from a 32-bit DIB and from a painted window.
#include <windows.h>

#include <cstdlib>
#include <vector>

#include "W32TestSupport.h"
#include "bench/ChartNames.h"
#include "ux/win32/UXGdiGraphics.h"

namespace quorl::test {
namespace {

// A white 96 x 64 top-down DIB selected into a memory DC.
class Canvas {
 public:
  static constexpr int kW = 96, kH = 64;
  Canvas() {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), kW, -kH, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
    old_ = SelectObject(dc_, bitmap_);
    clear();
  }
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  void clear() {
    GdiFlush();
    for (int i = 0; i < kW * kH; ++i) bits_[i] = 0xFFFFFF;
  }
  HDC dc() const { return dc_; }
  // 0xRRGGBB of a pixel.
  uint32_t at(int x, int y) const {
    GdiFlush();
    return bits_[y * kW + x] & 0xFFFFFF;
  }
  int countNot(uint32_t colour) const {
    GdiFlush();
    int n = 0;
    for (int i = 0; i < kW * kH; ++i) n += (bits_[i] & 0xFFFFFF) != colour;
    return n;
  }
  std::vector<uint32_t> pixels() const {
    GdiFlush();
    return std::vector<uint32_t>(bits_, bits_ + kW * kH);
  }

 private:
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  uint32_t* bits_ = nullptr;
};

constexpr uint32_t kWhite = 0xFFFFFF, kRed = 0xFF0000, kBlack = 0;

class GdiGraphicsTest : public ::testing::Test {
 protected:
  Canvas canvas;
  Ref<UXGdiGraphics> g = make<UXGdiGraphics>();
  void SetUp() override { g->bind(canvas.dc(), 10, 5, 80, 50); }
};

TEST_F(GdiGraphicsTest, RectanglesInEveryPaletteColourLandAtTheOrigin) {
  struct Case {
    uint32_t ci, rgb;
  } cases[] = {{0, 0xFFFFFF}, {1, 0}, {2, 0xFF0000}, {8, 0xC0C0C0}, {9, 0x808080}, {250, 0xB3D7FF}, {77, 0}};
  for (const Case& c : cases) {
    canvas.clear();
    if (c.ci == 0) g->fillRect(UXRect(0, 0, 80, 50), 1);  // white shows on black
    g->fillRect(UXRect(2, 3, 4, 2), c.ci);
    EXPECT_EQ(canvas.at(12, 8), c.rgb) << c.ci;
    EXPECT_EQ(canvas.at(15, 9), c.rgb) << c.ci;
    EXPECT_NE(canvas.at(16, 9), c.rgb) << c.ci;  // right and bottom edges excluded
    EXPECT_NE(canvas.at(12, 10), c.rgb) << c.ci;
  }
  canvas.clear();
  g->fillRectRGBA(UXRect(0, 0, 2, 2), 1, 2, 3, 0);  // alpha ignored
  EXPECT_EQ(canvas.at(10, 5), 0x010203u);
  g->drawTheme("header.pressed", UXRect(0, 10, 2, 2));
  EXPECT_EQ(canvas.at(10, 15), 0xC0C0C0u);
  g->clearRect(UXRect(0, 0, 1, 1));
  EXPECT_EQ(canvas.at(10, 5), kWhite);
  g->drawRect(UXRect(20, 20, 10, 10), 2, 2);
  EXPECT_EQ(canvas.at(31, 26), kRed);
  EXPECT_EQ(canvas.at(38, 33), kRed);
  EXPECT_EQ(canvas.at(35, 30), kWhite);  // the inside stays
}

TEST_F(GdiGraphicsTest, LinesCirclesAndTriangles) {
  g->drawLine(5, 7, 2, 7, 2);  // x 2..5, y 7..8
  EXPECT_EQ(canvas.at(12, 12), kRed);
  EXPECT_EQ(canvas.at(15, 13), kRed);
  EXPECT_EQ(canvas.at(16, 12), kWhite);
  EXPECT_EQ(canvas.at(12, 14), kWhite);
  g->drawLine(40, 2, 40, 6, 1);  // two pixels wide
  EXPECT_EQ(canvas.at(50, 7), kBlack);
  EXPECT_EQ(canvas.at(51, 11), kBlack);
  EXPECT_EQ(canvas.at(52, 7), kWhite);
  canvas.clear();
  g->fillCircle(10, 10, 4, 9);  // a disc 6..14 across, not its bounding square
  EXPECT_EQ(canvas.at(20, 15), 0x808080u);  // centre
  EXPECT_EQ(canvas.at(17, 15), 0x808080u);  // inside the left and right edges
  EXPECT_EQ(canvas.at(23, 15), 0x808080u);
  EXPECT_EQ(canvas.at(20, 12), 0x808080u);  // inside the top and bottom edges
  EXPECT_EQ(canvas.at(20, 18), 0x808080u);
  EXPECT_EQ(canvas.at(16, 11), kWhite);     // the square's corners stay clear
  EXPECT_EQ(canvas.at(24, 19), kWhite);
  EXPECT_EQ(canvas.at(24, 11), kWhite);
  EXPECT_EQ(canvas.at(26, 15), kWhite);
  canvas.clear();
  g->fillCircle(10, 10, 0, 9);  // no radius, no disc
  EXPECT_EQ(canvas.at(20, 15), kWhite);
  canvas.clear();
  g->fillTriangle(0, 0, 30, 0, 0, 30, 2);
  EXPECT_EQ(canvas.at(15, 10), kRed);
  EXPECT_EQ(canvas.at(10, 5), kRed);  // the outline is the fill's colour, not the DC's pen
  EXPECT_EQ(canvas.at(40, 30), kWhite);
  canvas.clear();
  g->drawLine(0, 20, 60, 30, 1);  // slanted: a parallelogram two pixels high
  EXPECT_EQ(canvas.at(40, 30), kBlack);
  EXPECT_GT(canvas.countNot(kWhite), 100);
}

TEST_F(GdiGraphicsTest, PolygonsFillWithoutOutlineAndNeedThreePoints) {
  const int16_t two[] = {0, 0, 20, 20};
  g->fillPolygon(two, 2, 1);
  EXPECT_EQ(canvas.countNot(kWhite), 0);
  const int16_t square[] = {10, 10, 30, 10, 30, 30, 10, 30};
  g->fillPolygonRGB(square, 4, 0, 128, 0);
  EXPECT_EQ(canvas.at(30, 25), 0x008000u);
  EXPECT_EQ(canvas.at(20, 15), 0x008000u);
  EXPECT_EQ(canvas.at(41, 36), kWhite);
  // Only the first 128 points count: the rest would cover the far corner.
  std::vector<int16_t> many;
  for (int i = 0; i < 128; ++i) {
    many.push_back(int16_t(i % 2 ? 0 : 5));
    many.push_back(int16_t(i % 2 ? 5 : 0));
  }
  many.insert(many.end(), {70, 0, 70, 40, 0, 40});
  canvas.clear();
  g->fillPolygonRGBA(many.data(), int32_t(many.size() / 2), 0, 0, 255, 10);
  EXPECT_EQ(canvas.at(70, 35), kWhite);
}

TEST_F(GdiGraphicsTest, PixelBlocksAreBlendedScaledAndClipped) {
  // One opaque red pixel and one half-transparent blue one, red first.
  const uint8_t rgba[8] = {255, 0, 0, 255, 0, 0, 255, 128};
  g->drawPixels(rgba, 2, 1, 1, UXRect(0, 0, 2, 1), UXRect(0, 0, 8, 4), 300);
  EXPECT_EQ(canvas.at(12, 7), kRed);
  uint32_t blended = canvas.at(16, 7);
  EXPECT_NEAR(int(blended >> 16), 127, 2);  // white behind half of blue
  EXPECT_NEAR(int(blended >> 8 & 255), 127, 2);
  EXPECT_EQ(blended & 255, 255u);
  EXPECT_EQ(canvas.at(18, 7), kWhite);

  canvas.clear();
  g->drawPixels(rgba, 2, 1, 1, UXRect(1, 0, 9, 9), UXRect(0, 0, 4, 4), 255);  // the source is cut to the image
  EXPECT_NE(canvas.at(11, 6), kWhite);
  EXPECT_NE(canvas.at(11, 6), kRed);
  canvas.clear();
  g->drawPixels(nullptr, 2, 1, 1, UXRect(0, 0, 2, 1), UXRect(0, 0, 8, 4), 255);
  g->drawPixels(rgba, 2, 1, 1, UXRect(0, 0, 2, 1), UXRect(0, 0, 8, 4), 0);
  g->drawPixels(rgba, 2, 1, 1, UXRect(0, 0, 2, 1), UXRect(0, 0, 0, 4), 255);
  EXPECT_EQ(canvas.countNot(kWhite), 0);
}

TEST_F(GdiGraphicsTest, TextIsDrawnAsUtf16AtItsTopLeft) {
  const char* utf8 = "\xC3\xA9t\xC3\xA9 \xC2\xB7 \xE2\x82\xAC";
  const wchar_t* wide = L"\u00E9t\u00E9 \u00B7 \u20AC";
  g->drawTextFont(utf8, 0, 0, 1, "", 20, 0, 0);
  std::vector<uint32_t> ours = canvas.pixels();
  EXPECT_GT(canvas.countNot(kWhite), 20);
  // The same text drawn straight through the wide call, in the same font.
  canvas.clear();
  HFONT font = CreateFontW(-20, 0, 0, 0, 400, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"");
  HGDIOBJ old = SelectObject(canvas.dc(), font);
  SetBkMode(canvas.dc(), TRANSPARENT);
  SetTextColor(canvas.dc(), 0);
  TextOutW(canvas.dc(), 10, 5, wide, int(wcslen(wide)));
  SelectObject(canvas.dc(), old);
  DeleteObject(font);
  EXPECT_TRUE(canvas.pixels() == ours);

  // Text starts at its point: nothing left of or above it.
  canvas.clear();
  g->drawTextRGBA("Hg", 20, 20, 255, 0, 0, 9, 16);
  int leftOrAbove = 0;
  for (int y = 0; y < Canvas::kH; ++y)
    for (int x = 0; x < Canvas::kW; ++x)
      if ((x < 30 || y < 25) && canvas.at(x, y) != kWhite) ++leftOrAbove;
  EXPECT_EQ(leftOrAbove, 0);
  EXPECT_GT(canvas.countNot(kWhite), 10);
}

// Names in a script the chosen font lacks draw the letters of a font linked
// to it, in display order (right to left for Hebrew and Arabic), and never
// the boxes of characters no font has; a name the font has draws as before.
TEST_F(GdiGraphicsTest, NamesInScriptsTheFontLacksDrawLinkedLettersInDisplayOrder) {
  struct Case {
    const char* utf8;
    const wchar_t* shown;  // left to right as on screen
  } cases[] = {
      {"\xD7\x9E\xD7\x99\xD7\x95\xD7\x9F", L"\u05DF\u05D5\u05D9\u05DE"},  // Hebrew
      {"\xD9\x81\xD8\xB1\xD8\xB2", L"\u0632\u0631\u0641"},                  // Arabic
      {"\xE5\xBF\xAB\xE9\x80\x9F", L"\u5FEB\u901F"},                          // Chinese
      {"sort", L"sort"},
  };
  // The text drawn as it stands, in the surface's font and place.
  auto asItStands = [&](const std::wstring& text) {
    canvas.clear();
    HFONT font = CreateFontW(-20, 0, 0, 0, 400, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"");
    HGDIOBJ old = SelectObject(canvas.dc(), font);
    SetBkMode(canvas.dc(), TRANSPARENT);
    SetTextColor(canvas.dc(), 0);
    ExtTextOutW(canvas.dc(), 10, 5, ETO_IGNORELANGUAGE, nullptr, text.c_str(), int(text.size()), nullptr);
    SelectObject(canvas.dc(), old);
    DeleteObject(font);
    return canvas.pixels();
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.utf8);
    std::wstring shown = c.shown;
    std::vector<uint32_t> letters = asItStands(shown);
    if (letters == asItStands(std::wstring(shown.size(), L'\u0378'))) continue;  // no font here has them
    canvas.clear();
    g->drawTextFont(c.utf8, 0, 0, 1, "", 20, 0, 0);
    EXPECT_TRUE(canvas.pixels() == letters);
  }
}

TEST_F(GdiGraphicsTest, NativeStrokesFollowTheirOpLists) {
  const int32_t line[] = {0, 0, 20, 1, 60, 20};
  g->strokeNativeRGB(line, 6, 4.0, kUXCapFlat, kUXCapFlat, kUXJoinMiter, nullptr, 0, 0, 255, 0, 0);
  EXPECT_EQ(canvas.at(40, 24), kRed);
  EXPECT_EQ(canvas.at(40, 26), kRed);
  EXPECT_EQ(canvas.at(40, 29), kWhite);
  canvas.clear();
  g->strokeNative(line, 6, 0.4, 0, 0, 0, nullptr, 0, 0, 1);  // below one pixel: nothing
  g->strokeNative(line, 5, 3.0, 0, 0, 0, nullptr, 0, 0, 1);  // the line op is cut off
  EXPECT_EQ(canvas.countNot(kWhite), 0);
  const int32_t closed[] = {0, 0, 0, 1, 40, 0, 1, 40, 30, 3};
  g->strokeNativeRGBA(closed, 10, 1.0, 0, 0, 0, nullptr, 0, 0, 0, 0, 255, 0);
  EXPECT_EQ(canvas.at(30, 20), 0x0000FFu);  // the closing segment back to the start
}

TEST(GdiGraphicsUnboundTest, AnUnboundSurfaceDrawsNothing) {
  Ref<UXGdiGraphics> g = make<UXGdiGraphics>();
  g->fillRect(UXRect(0, 0, 5, 5), 1);
  g->drawText("x", 0, 0, 1, 12);
  const int16_t tri[] = {0, 0, 5, 0, 0, 5};
  g->fillPolygon(tri, 3, 1);
  const uint8_t px[4] = {1, 2, 3, 255};
  g->drawPixels(px, 1, 1, 1, UXRect(0, 0, 1, 1), UXRect(0, 0, 1, 1), 255);
  EXPECT_EQ(g->dc, nullptr);
}

// ---------------------------------------------------------------------------
// Through a window: each primitive where it should be in the window's pixels.

void drawSampler(int32_t, int32_t, int32_t, int32_t, int32_t, void*) {
  UXGraphics* g = gDriver->beginViewDraw(20, 10, 200, 100);
  g->fillRect(UXRect(0, 0, 30, 20), 2);                 // window 20..49 x 10..29
  const int16_t tri[] = {40, 0, 80, 0, 40, 40};
  g->fillPolygonRGB(tri, 3, 0, 0, 255);                 // window 60.. x 10..
  const uint8_t rgba[4] = {0, 200, 0, 255};
  g->drawPixels(rgba, 1, 1, 1, UXRect(0, 0, 1, 1), UXRect(100, 0, 10, 10), 255);  // window 120..129 x 10..19
  g->drawTextFont("\xE2\x96\x88\xE2\x96\x88", 0, 50, 1, "", 24, 1, 0);  // two full blocks at 20, 60
  gDriver->endViewDraw();
}

// Short forms of Latin, Cyrillic and Japanese names, measured by this driver:
// no ink past the room, and a pair reads apart once the room holds a dozen
// characters.
TEST_F(Win32DriverTest, ShortFormsLeaveNoInkPastTheirRoom) {
  Canvas canvas;
  auto g = make<UXGdiGraphics>();
  g->bind(canvas.dc(), 0, 0, Canvas::kW, Canvas::kH);
  const std::vector<std::vector<std::string_view>> pairs = {
      {"spectral_norm_power_iteration_variant_scalar_with_double_precision_accumulators",
       "spectral_norm_power_iteration_variant_simd_with_double_precision_accumulators"},
      {"\xD1\x83\xD0\xBC\xD0\xBD\xD0\xBE\xD0\xB6\xD0\xB5\xD0\xBD\xD0\xB8\xD0\xB5_\xD0\xBC\xD0\xB0\xD1\x82\xD1"
       "\x80\xD0\xB8\xD1\x86_1024",
       "\xD1\x83\xD0\xBC\xD0\xBD\xD0\xBE\xD0\xB6\xD0\xB5\xD0\xBD\xD0\xB8\xD0\xB5_\xD0\xBC\xD0\xB0\xD1\x82\xD1"
       "\x80\xD0\xB8\xD1\x86_2048"},
      {"\xE8\xA1\x8C\xE5\x88\x97\xE3\x81\xAE\xE7\xA9\x8D_\xE5\x8D\x98\xE7\xB2\xBE\xE5\xBA\xA6_1024",
       "\xE8\xA1\x8C\xE5\x88\x97\xE3\x81\xAE\xE7\xA9\x8D_\xE5\x8D\x98\xE7\xB2\xBE\xE5\xBA\xA6_2048"}};
  for (const auto& pair : pairs)
    for (int64_t room = 12; room <= Canvas::kW; room += 6) {
      const std::vector<std::string> forms = chart::shortForms(pair, room, {12, 7});
      if (room >= int64_t(gDriver->textWidth("spectral_no", 12))) EXPECT_NE(forms[0], forms[1]) << room;
      for (const std::string& form : forms) {
        canvas.clear();
        g->drawTextRGBA(form.c_str(), 0, 0, 0, 0, 0, 255, 12);
        int inkPast = 0;
        for (int y = 0; y < Canvas::kH; ++y)
          for (int x = int(room); x < Canvas::kW; ++x) inkPast += canvas.at(x, y) != kWhite;
        EXPECT_EQ(inkPast, 0) << form << " in " << room;
      }
    }
}

TEST_F(Win32DriverTest, APaintedWindowShowsWhatTheSurfaceDrew) {
  uint32_t h = openWindow(300, 200);
  int tag = 0;
  d->windowSetContent(h, drawSampler, &tag);
  d->windowInvalidate(h);
  HDC dc = GetDC(hwndOf(h));
  EXPECT_EQ(GetPixel(dc, 21, 11), 0x0000FFu);   // red, as a GDI colour
  EXPECT_EQ(GetPixel(dc, 49, 29), 0x0000FFu);
  EXPECT_EQ(GetPixel(dc, 50, 30), 0xC0C0C0u);
  EXPECT_EQ(GetPixel(dc, 65, 15), 0xFF0000u);   // blue
  EXPECT_EQ(GetPixel(dc, 125, 15), 0x00C800u);  // green pixels
  int dark = 0;
  for (int y = 60; y < 90; ++y)
    for (int x = 20; x < 60; ++x) dark += GetPixel(dc, x, y) == 0;
  EXPECT_GT(dark, 50);
  ReleaseDC(hwndOf(h), dc);
}

}  // namespace
}  // namespace quorl::test
