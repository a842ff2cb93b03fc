// The drawing surface contract's shared pieces: the palette, the outline
// body, the pen rules and images.
#include <gtest/gtest.h>

#include <limits>

#include "RecordingGraphics.h"
#include "foundation/String.h"
#include "ux/core/UXGraphics.h"

namespace quorl {
namespace {

TEST(UXPaletteTest, FiveColoursAndBlackForTheRest) {
  struct Case { uint32_t ci, rgb; } cases[] = {
      {0, 0xFFFFFF}, {1, 0x000000}, {2, 0xFF0000}, {8, 0xC0C0C0}, {9, 0x808080},
      {250, 0xB3D8FF}, {3, 0}, {251, 0}, {0xFFFFFFFF, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(uxPaletteRGB(c.ci), c.rgb) << c.ci;
}

TEST(UXGfxDrawRectTest, ThicknessZeroIsOnePixelInFourFills) {
  RecordingGraphics g;
  uxGfxDrawRect(g, UXRect(10, 20, 30, 40), 0, 0, 9, 0, 0, 0);
  EXPECT_EQ(g.lines, (std::vector<std::string>{"fillRect 10,20,30,1 9", "fillRect 10,59,30,1 9",
                                               "fillRect 10,20,1,40 9", "fillRect 39,20,1,40 9"}));
}

TEST(UXGfxDrawRectTest, ThicknessIsClampedToTheSmallerSide) {
  RecordingGraphics g;
  uxGfxDrawRect(g, UXRect(0, 0, 20, 8), 50, 1, 0, 1, 2, 3);
  EXPECT_EQ(g.lines, (std::vector<std::string>{"fillRectRGB 0,0,20,8 1 2 3", "fillRectRGB 0,0,20,8 1 2 3",
                                               "fillRectRGB 0,0,8,8 1 2 3", "fillRectRGB 12,0,8,8 1 2 3"}));
}

TEST(UXGfxDrawRectTest, EmptyRectangleDrawsNothing) {
  RecordingGraphics g;
  uxGfxDrawRect(g, UXRect(0, 0, 0, 10), 1, 0, 0, 0, 0, 0);
  uxGfxDrawRect(g, UXRect(0, 0, 10, -1), 1, 0, 0, 0, 0, 0);
  EXPECT_TRUE(g.lines.empty());
}

// A surface that keeps the base outline: drawRect must reach fillRect.
class FillsOnly : public RecordingGraphics {
 public:
  void drawRect(UXRect rect, int32_t thickness, uint32_t ci) override { UXGraphics::drawRect(rect, thickness, ci); }
  void drawRectRGB(UXRect rect, int32_t t, uint32_t r, uint32_t g, uint32_t b) override {
    UXGraphics::drawRectRGB(rect, t, r, g, b);
  }
};

TEST(UXGfxDrawRectTest, SurfaceOutlinesUseTheSharedBody) {
  FillsOnly g;
  g.drawRect(UXRect(0, 0, 4, 4), 2, 250);
  g.drawRectRGB(UXRect(0, 0, 4, 4), 1, 7, 8, 9);
  EXPECT_EQ(g.count("fillRect"), 4u);
  EXPECT_EQ(g.count("fillRectRGB"), 4u);
  EXPECT_EQ(g.lines[1], "fillRect 0,2,4,2 250");
}

TEST(UXPenTest, WidthRoundsHalfUpAndBelowOneDrawsNothing) {
  struct Case { double width; int32_t pen; } cases[] = {
      {0.4, 0}, {0.5, 1}, {1.49, 1}, {1.5, 2}, {-3, 0}, {7.0, 7},
  };
  for (const Case& c : cases) EXPECT_EQ(UXPen::of(c.width, 0, 0, 0).width, c.pen) << c.width;
  EXPECT_EQ(UXPen::of(std::numeric_limits<double>::quiet_NaN(), 0, 0, 0).width, 0);
  EXPECT_EQ(UXPen::of(1e300, 0, 0, 0).width, 0);
}

TEST(UXPenTest, OneCapForBothEndsAndJoinCodes) {
  EXPECT_EQ(UXPen::of(1, 1, 2, 0).cap, kUXCapSquare);  // the larger wins
  EXPECT_EQ(UXPen::of(1, 1, 0, 0).cap, kUXCapRound);
  EXPECT_EQ(UXPen::of(1, 3, 0, 0).cap, kUXCapFlat);  // arrow reaches a surface as flat
  EXPECT_EQ(UXPen::of(1, 0, 0, 2).join, kUXJoinBevel);
  EXPECT_EQ(UXPen::of(1, 0, 0, 0).join, kUXJoinMiter);
  EXPECT_EQ(UXPen::of(1, 0, 0, 1).join, kUXJoinRound);
  EXPECT_EQ(UXPen::of(1, 0, 0, 9).join, kUXJoinRound);
}

TEST(UXImageTest, DrawInSwapsAndNeedsAllPixels) {
  RecordingGraphics g;
  auto image = make<UXImage>();
  image->width = 2;
  image->height = 2;
  image->drawIn(g, UXRect(0, 0, 2, 2), UXRect(1, 1, 16, 16), 255);
  EXPECT_TRUE(g.lines.empty());  // no pixels
  image->pixels.assign(15, 0);   // one byte short
  image->drawIn(g, UXRect(0, 0, 2, 2), UXRect(1, 1, 16, 16), 255);
  EXPECT_TRUE(g.lines.empty());
  image->pixels.assign(16, 0);
  image->drawIn(g, UXRect(0, 0, 2, 2), UXRect(1, 1, 16, 16), 128);
  EXPECT_EQ(g.lines, (std::vector<std::string>{"drawPixels ptr 2 2 1 0,0,2,2 1,1,16,16 128"}));
}

TEST(UXImageTest, Descriptions) {
  auto image = make<UXImage>();
  image->width = 70000;
  image->height = 3;
  EXPECT_EQ(image->description()->view(), "<UXImage>(4464, 3)");
  auto colour = make<UXColor>();
  colour->red = 255;
  colour->alpha = 0x10001;
  EXPECT_EQ(colour->description()->view(), "<UXColor>(255, 0, 0, 1)");
}

}  // namespace
}  // namespace quorl
