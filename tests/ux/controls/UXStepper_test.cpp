// The stepper: stepping at the ends, with and without wrapping and at the
// limits of i32; which half a press falls in; drawing.
#include <climits>

#include "ControlTest.h"
#include "ux/controls/UXStepper.h"

namespace quorl::test {
namespace {

TEST(UXStepperSteps, IncrementAndDecrement) {
  struct Case {
    int32_t value, minimum, maximum, step;
    uint8_t wraps;
    bool up;
    int32_t want;
  } cases[] = {
      {99, 0, 100, 1, 0, true, 100},   {100, 0, 100, 1, 0, true, 100},  {100, 0, 100, 1, 1, true, 0},
      {0, 0, 100, 1, 0, false, 0},     {0, 0, 100, 1, 1, false, 100},   {1, 0, 100, 1, 1, false, 0},
      // The overshoot is not carried over.
      {10, 0, 12, 5, 0, true, 12},     {10, 3, 12, 5, 1, true, 3},
      // Only the end being approached is tested.
      {-5, 0, 100, 1, 0, true, -4},    {150, 0, 100, 1, 0, false, 149},
      // At the ends of i32: no overflow, the same rule.
      {INT32_MAX, 0, INT32_MAX, 1, 0, true, INT32_MAX},
      {INT32_MAX, 7, INT32_MAX, 1, 1, true, 7},
      {INT32_MIN, INT32_MIN, 0, 1, 0, false, INT32_MIN},
      {INT32_MIN, INT32_MIN, 9, 1, 1, false, 9},
      {INT32_MAX, INT32_MIN, INT32_MAX, INT32_MAX, 1, true, INT32_MIN},
      // A step that leaves the i32 range on the untested side stops at its end.
      {-1, INT32_MIN, INT32_MAX, INT32_MIN, 0, true, INT32_MIN},
      {0, INT32_MIN, INT32_MAX, INT32_MIN, 0, false, INT32_MAX},
  };
  for (const Case& c : cases) {
    auto s = make<UXStepper>();
    s->value = c.value, s->minimum = c.minimum, s->maximum = c.maximum, s->step = c.step, s->wraps = c.wraps;
    if (c.up) s->increment();
    else s->decrement();
    EXPECT_EQ(s->value, c.want) << c.value << (c.up ? " + " : " - ") << c.step << " in " << c.minimum << ".."
                                << c.maximum << (c.wraps ? " wrapping" : "");
  }
  // The native path only clamps: step and wraps play no part.
  auto s = make<UXStepper>();
  s->wraps = 1, s->step = 50;
  for (auto [in, want] : {std::pair{-3, 0}, {101, 100}, {42, 42}}) {
    s->applyNativeValue(in);
    EXPECT_EQ(s->value, want);
  }
}

TEST(UXStepperDrawing, ArrowsKeepTheirSize) {
  struct Case {
    int16_t w, h;
    const char* up;
    const char* down;
  } cases[] = {
      {40, 40, "drawTheme \"stepper.up\" 7,7,25,13", "drawTheme \"stepper.down\" 7,20,25,12"},
      {20, 20, "drawTheme \"stepper.up\" 0,0,25,13", "drawTheme \"stepper.down\" 0,13,25,12"},
      {26, 100, "drawTheme \"stepper.up\" 0,37,25,13", "drawTheme \"stepper.down\" 0,50,25,12"},
  };
  for (const Case& c : cases) {
    RecordingGraphics g;
    make<UXStepper>()->drawRect(g, UXRect(0, 0, c.w, c.h));
    EXPECT_EQ(g.lines, (std::vector<std::string>{c.up, c.down}));
  }
}

class UXStepperTest : public ControlTest {};

TEST_F(UXStepperTest, UpperHalfIncrementsLowerHalfDecrements) {
  struct Case {
    int16_t dy;
    bool enabled;
    int32_t want;
    int calls;
  } cases[] = {
      {0, true, 51, 1},  {11, true, 51, 1},  {12, true, 49, 1}, {24, true, 49, 1},
      {-3, true, 51, 1},  // above the control still counts as the upper half
      {11, false, 50, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dy);
    reset();
    // 30 x 25 at (5, 100) under the root at (10, 20): absolute y 120.
    auto s = place(make<UXStepper>(), UXRect(5, 100, 30, 25));
    s->value = 50;
    auto probe = make<ActionProbe>();
    s->action = probe->block();
    if (!c.enabled) disable(*s);
    clearMarks();
    UXEvent e;
    e.type = kUXEventMouseDown;
    e.x = 20;
    e.y = int16_t(120 + c.dy);
    s->mouseDown(e);
    EXPECT_EQ(s->value, c.want);
    EXPECT_EQ(probe->calls, c.calls);
    if (c.enabled) {
      EXPECT_EQ(tree->dirtyRect, UXRect(15, 120, 30, 25));
    } else {
      EXPECT_EQ(gNeedsDisplay, 0);
    }
    TearDown();
  }
}

}  // namespace
}  // namespace quorl::test
