// The slider: the value/position mapping at its edges, the press and drag
// loop, the native value path and the drawing.
#include <climits>

#include "ControlTest.h"
#include "ux/controls/UXSlider.h"

namespace quorl::test {
namespace {

Ref<UXSlider> sliderOf(int32_t minimum, int32_t maximum, int32_t value = 0, int16_t knob = 12) {
  auto s = make<UXSlider>();
  s->minimum = minimum, s->maximum = maximum, s->value = value, s->knobWidth = knob;
  return s;
}

TEST(UXSliderMapping, ValueForX) {
  struct Case {
    int32_t minimum, maximum;
    int16_t knob, x, w;
    int32_t want;
  } cases[] = {
      {0, 100, 12, 0, 112, 0},      {0, 100, 12, 6, 112, 0},     {0, 100, 12, 56, 112, 50},
      {0, 100, 12, 106, 112, 100},  {0, 100, 12, 500, 112, 100}, {0, 100, 12, -300, 112, 0},
      {0, 100, 12, 7, 112, 1},      // rounded to the nearest value
      {7, 100, 12, 50, 12, 7},      // no track: minimum
      {3, 100, 12, 50, 5, 3},       // narrower than the knob
      {10, 5, 12, 106, 112, 6},     // reversed range: -4.5 truncates towards zero
      // The whole i32 range: ends exact, no overflow.
      {INT32_MIN, INT32_MAX, 12, 6, 112, INT32_MIN},
      {INT32_MIN, INT32_MAX, 12, 106, 112, INT32_MAX},
      {INT32_MIN, INT32_MAX, 12, 56, 112, 0},
      {-100, -50, 12, 106, 112, -50},
  };
  for (const Case& c : cases) {
    auto s = sliderOf(c.minimum, c.maximum, 0, c.knob);
    EXPECT_EQ(s->valueForX(c.x, c.w), c.want) << c.minimum << ".." << c.maximum << " x " << c.x << " w " << c.w;
  }
}

TEST(UXSliderMapping, KnobXAndClamp) {
  struct Case {
    int32_t minimum, maximum, value;
    int16_t w;
    int32_t want;
  } cases[] = {
      {0, 100, 50, 112, 50},   {0, 100, 100, 112, 100}, {0, 100, 0, 112, 0},
      {5, 5, 5, 112, 0},       {10, 5, 7, 112, 0},      // empty or reversed range
      {0, 100, 50, 8, 0},      // no track
      {INT32_MIN, INT32_MAX, INT32_MAX, 112, 100},      {INT32_MIN, INT32_MAX, INT32_MIN, 112, 0},
      {0, 100, 200, 112, 200},  // an owner-set value off the range puts the knob off the track
  };
  for (const Case& c : cases) {
    auto s = sliderOf(c.minimum, c.maximum, c.value);
    EXPECT_EQ(s->knobX(c.w), c.want) << c.minimum << ".." << c.maximum << " v " << c.value;
  }
  // Raise to minimum first, then lower to maximum: maximum wins when reversed.
  struct Clamp {
    int32_t minimum, maximum, in, want;
  } clamps[] = {{0, 100, -1, 0}, {0, 100, 101, 100}, {0, 100, 42, 42}, {10, 5, 0, 5}, {10, 5, 7, 5}, {10, 5, 99, 5}};
  for (const Clamp& c : clamps) {
    auto s = sliderOf(c.minimum, c.maximum);
    EXPECT_EQ(s->clampValue(c.in), c.want);
    s->applyNativeValue(c.in);
    EXPECT_EQ(s->value, c.want);
  }
}

TEST(UXSliderDrawing, TrackAndKnob) {
  struct Case {
    int16_t w, h;
    int32_t value;
    std::vector<std::string> lines;
  } cases[] = {
      {112, 21, 50, {"drawTheme \"slider.htrack\" 0,8,112,5", "drawTheme \"slider.knob\" 46,0,21,21"}},
      {12, 30, 50, {"drawTheme \"slider.htrack\" 0,13,12,5", "drawTheme \"slider.knob\" -4,5,21,21"}},
  };
  for (const Case& c : cases) {
    auto s = sliderOf(0, 100, c.value);
    RecordingGraphics g;
    s->drawRect(g, UXRect(0, 0, c.w, c.h));
    EXPECT_EQ(g.lines, c.lines);
  }
}

class UXSliderTest : public ControlTest {
 protected:
  // A 112 x 21 slider at (30, 40) under the root at (10, 20): absolute x 40.
  Ref<UXSlider> placed() {
    auto s = place(make<UXSlider>(), UXRect(30, 40, 112, 21));
    s->action = probe->block();
    s->action.function = [this](const Ref<Object>&, const Ref<UXView>& sender, const UXAction&) {
      seen.push_back(staticCast<UXSlider>(sender)->value);
    };
    return s;
  }
  UXEvent pressAt(int16_t x) {
    UXEvent e;
    e.type = kUXEventMouseDown;
    e.x = x;
    e.y = 70;
    return e;
  }
  Ref<ActionProbe> probe = make<ActionProbe>();
  std::vector<int32_t> seen;  // the value at each action call
};

TEST_F(UXSliderTest, PressThenDragRunsTheActionAtEveryStep) {
  auto s = placed();
  clearMarks();
  // Steps in the press's coordinates: right end, same place again, far left.
  driver->dragSteps = {{146, 0}, {146, 0}, {-5000, 0}, {96, 0}};
  UXEvent e = pressAt(40 + 56);
  s->mouseDown(e);
  EXPECT_EQ(seen, (std::vector<int32_t>{50, 100, 100, 0, 50}));
  EXPECT_EQ(s->value, 50);
  EXPECT_EQ(driver->count("trackDragStep"), 5u);  // four steps, then the release
  EXPECT_EQ(tree->dirtyRect, UXRect(40, 60, 112, 21));
  EXPECT_EQ(gNeedsDisplay, 1);
}

TEST_F(UXSliderTest, PressEdgesDisabledAndReplay) {
  struct Case {
    const char* name;
    int32_t minimum, maximum;
    bool enabled, replay;
    int16_t x;
    std::vector<int32_t> seen;
    int32_t value;
  } cases[] = {
      {"released before a step", 0, 100, true, false, 40 + 106, {100}, 100},
      {"reversed range", 10, 5, true, false, 40 + 56, {5}, 5},
      {"disabled", 0, 100, false, false, 40 + 56, {}, 33},
      {"replayed input ends the drag at once", 0, 100, true, true, 40, {0}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    seen.clear();
    auto s = placed();
    s->minimum = c.minimum, s->maximum = c.maximum, s->value = 33;
    if (!c.enabled) disable(*s);
    gInputReplay = c.replay ? 1 : 0;
    if (c.replay) driver->dragSteps = {{40 + 106, 0}};
    clearMarks();
    UXEvent e = pressAt(c.x);
    s->mouseDown(e);
    EXPECT_EQ(seen, c.seen);
    EXPECT_EQ(s->value, c.value);
    EXPECT_EQ(gNeedsDisplay, c.enabled ? 1 : 0);
    TearDown();
  }
}

}  // namespace
}  // namespace quorl::test
