// The slider: the value/position mapping at its edges, the press and drag
// loop, the native value path and the drawing.
#include <climits>

#include "ControlTest.h"
#include "ux/controls/UXSlider.h"

namespace quorl::test {
namespace {

Ref<UXSlider> sliderOf(int32_t minimum, int32_t maximum, int32_t value = 0) {
  auto s = make<UXSlider>();
  s->minimum = minimum, s->maximum = maximum, s->value = value;
  return s;
}

TEST(UXSliderMapping, ValueForXKnobXAndClamp) {
  struct Case {
    int32_t minimum, maximum;
    int16_t x, w;
    int32_t want;
  } values[] = {
      {0, 100, 6, 112, 0},     {0, 100, 56, 112, 50},   {0, 100, 106, 112, 100}, {0, 100, 500, 112, 100},
      {0, 100, -300, 112, 0},  {0, 100, 7, 112, 1},     // the nearest value
      {7, 100, 50, 12, 7},     {3, 100, 50, 5, 3},      // no track: minimum
      {10, 5, 106, 112, 6},    // reversed: -4.5 truncates towards zero
      // The whole i32 range: ends exact, no overflow.
      {INT32_MIN, INT32_MAX, 6, 112, INT32_MIN}, {INT32_MIN, INT32_MAX, 106, 112, INT32_MAX},
      {INT32_MIN, INT32_MAX, 56, 112, 0},
  };
  for (const Case& c : values)
    EXPECT_EQ(sliderOf(c.minimum, c.maximum)->valueForX(c.x, c.w), c.want) << c.minimum << ".." << c.maximum << " x " << c.x;

  struct Knob {
    int32_t minimum, maximum, value;
    int16_t w;
    int32_t want;
  } knobs[] = {
      {0, 100, 50, 112, 50}, {5, 5, 5, 112, 0}, {10, 5, 7, 112, 0}, {0, 100, 50, 8, 0},
      {INT32_MIN, INT32_MAX, INT32_MAX, 112, 100}, {0, 100, 200, 112, 200},  // owner-set, off the track
  };
  for (const Knob& k : knobs) EXPECT_EQ(sliderOf(k.minimum, k.maximum, k.value)->knobX(k.w), k.want) << k.value;

  // Raise to minimum first, then lower to maximum: maximum wins when reversed.
  struct Clamp {
    int32_t minimum, maximum, in, want;
  } clamps[] = {{0, 100, -1, 0}, {0, 100, 101, 100}, {0, 100, 42, 42}, {10, 5, 0, 5}, {10, 5, 99, 5}};
  for (const Clamp& c : clamps) {
    auto s = sliderOf(c.minimum, c.maximum);
    s->applyNativeValue(c.in);
    EXPECT_EQ(s->value, c.want) << c.in;
  }
}

TEST(UXSliderDrawing, TrackAndKnob) {
  RecordingGraphics g;
  sliderOf(0, 100, 50)->drawRect(g, UXRect(0, 0, 112, 21));
  sliderOf(0, 100, 50)->drawRect(g, UXRect(0, 0, 12, 30));  // no track: knob at -4
  EXPECT_EQ(g.lines, (std::vector<std::string>{
                         "drawTheme \"slider.htrack\" 0,8,112,5", "drawTheme \"slider.knob\" 46,0,21,21",
                         "drawTheme \"slider.htrack\" 0,13,12,5", "drawTheme \"slider.knob\" -4,5,21,21"}));
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
  Ref<ActionProbe> probe = make<ActionProbe>();
  std::vector<int32_t> seen;  // the value at each action call
};

TEST_F(UXSliderTest, PressAndDrag) {
  struct Case {
    const char* name;
    int32_t minimum, maximum;
    bool enabled, replay;
    std::vector<std::pair<int32_t, int32_t>> steps;  // in the press's coordinates
    std::vector<int32_t> seen;
  } cases[] = {
      // The action runs at the press and at every step, changed or not.
      {"drag", 0, 100, true, false, {{146, 0}, {146, 0}, {-5000, 0}, {96, 0}}, {50, 100, 100, 0, 50}},
      {"released before a step", 0, 100, true, false, {}, {50}},
      {"reversed range", 10, 5, true, false, {{40, 0}}, {5, 5}},
      {"disabled", 0, 100, false, false, {{40, 0}}, {}},
      {"replayed input ends the drag at once", 0, 100, true, true, {{146, 0}}, {50}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    reset();
    seen.clear();
    auto s = placed();
    s->minimum = c.minimum, s->maximum = c.maximum, s->value = 33;
    if (!c.enabled) disable(*s);
    gInputReplay = c.replay ? 1 : 0;
    driver->dragSteps.assign(c.steps.begin(), c.steps.end());
    clearMarks();
    UXEvent e;
    e.x = 40 + 56;
    s->mouseDown(e);
    EXPECT_EQ(seen, c.seen);
    EXPECT_EQ(s->value, c.seen.empty() ? 33 : c.seen.back());
    EXPECT_EQ(gNeedsDisplay, c.enabled ? 1 : 0);
    if (c.enabled) {
      EXPECT_EQ(tree->dirtyRect, UXRect(40, 60, 112, 21));
    }
    TearDown();
  }
}

}  // namespace
}  // namespace quorl::test
