// The segmented control: its layout table, the hit test at segment edges,
// both selection modes, clicks and the drawing.
#include <cstring>

#include "ControlTest.h"
#include "foundation/Array.h"
#include "ux/controls/UXSegmentedControl.h"

namespace quorl::test {
namespace {

Ref<UXSegmentedControl> controlWith(uint32_t n, const char* bits = "") {
  static const char* kTitles[] = {"One", "Two", "Three", "Four"};
  auto c = make<UXSegmentedControl>();
  for (uint32_t i = 0; i < n; ++i) {
    auto s = make<UXSegment>();
    s->title = kTitles[i % 4];
    s->selected = i < std::strlen(bits) && bits[i] == '1';
    c->segments->add(s);
  }
  return c;
}

Ref<UXSegment> seg(const Ref<UXSegmentedControl>& c, uint32_t i) { return staticCast<UXSegment>(c->segments->get(i)); }

std::string selection(const Ref<UXSegmentedControl>& c) {
  std::string s;
  for (uint32_t i = 0; i < c->segments->count(); ++i) s += seg(c, i)->selected ? '1' : '0';
  return s;
}

TEST(UXSegmentedLayout, EqualWidthsRemainderToTheLastAndHits) {
  struct Case {
    uint32_t n;
    int16_t w;
    std::vector<int16_t> xs, widths;
  } cases[] = {
      {3, 100, {0, 33, 66}, {33, 33, 34}}, {4, 10, {0, 2, 4, 6}, {2, 2, 2, 4}}, {3, 2, {0, 0, 0}, {0, 0, 2}},
      {2, -7, {0, -3}, {-3, -4}},  // signed division truncates towards zero
      {2, 32767, {0, 16383}, {16383, 16384}},
  };
  for (const Case& c : cases) {
    auto control = controlWith(c.n);
    control->layout(c.w);
    for (uint32_t i = 0; i < c.n; ++i)
      EXPECT_EQ(std::pair(seg(control, i)->x, seg(control, i)->width), std::pair(c.xs[i], c.widths[i])) << c.w << " " << i;
  }
  auto c = controlWith(3);
  c->layout(100);
  const std::pair<int16_t, uint32_t> hits[] = {{-1, kNotFound}, {0, 0}, {32, 0}, {33, 1}, {66, 2}, {99, 2}, {100, kNotFound}};
  for (auto [x, want] : hits) EXPECT_EQ(c->segmentAtLocalX(x), want) << x;
  EXPECT_EQ(make<UXSegmentedControl>()->segmentAtLocalX(0), kNotFound);
}

TEST(UXSegmentedSelection, ExclusiveAndMultipleModes) {
  struct Case {
    uint8_t multiple;
    const char* before;
    std::vector<int32_t> picks;
    const char* after;
  } cases[] = {
      {0, "110", {2}, "001"},        {0, "001", {2, 2}, "001"},  // a reselected segment stays selected
      {1, "100", {2}, "101"},        {1, "010", {0, 0}, "010"},  // toggles only the pick
      {0, "010", {-1, 3}, "010"},    {1, "011", {-5, 3}, "011"},  // out of range: nothing
  };
  for (const Case& c : cases) {
    auto control = controlWith(3, c.before);
    control->multipleSelection = c.multiple;
    for (int32_t p : c.picks) control->selectSegment(p);
    EXPECT_EQ(selection(control), c.after) << c.before << (c.multiple ? " multiple" : "");
    for (int32_t i = -1; i <= 3; ++i)
      EXPECT_EQ(control->nativeSegSelected(i), i >= 0 && i < 3 && c.after[i] == '1' ? 1u : 0u) << i;
  }
}

TEST(UXSegmentedDrawing, FacesSeparatorsAndTitles) {
  auto c = controlWith(3, "010");
  c->title = "never drawn";
  RecordingGraphics g;
  c->drawRect(g, UXRect(0, 0, 100, 24));
  EXPECT_EQ(g.lines, (std::vector<std::string>{"drawTheme \"button\" 0,0,100,24", "drawText \"One\" 6 6 1 0",
                                               "fillRect 34,3,31,18 250", "fillRect 33,3,1,18 9",
                                               "drawText \"Two\" 39 6 1 0", "fillRect 66,3,1,18 9",
                                               "drawText \"Three\" 72 6 1 0"}));
}

class UXSegmentedClick : public ControlTest {};

TEST_F(UXSegmentedClick, ClicksSelectRedrawAndRunTheAction) {
  struct Case {
    const char* name;
    uint32_t n;
    bool enabled;
    uint8_t multiple;
    std::vector<int16_t> localXs;
    const char* after;
    int calls;
  } cases[] = {
      {"exclusive", 3, true, 0, {70, 5}, "100", 2},
      {"same segment twice still runs the action", 3, true, 0, {40, 40}, "010", 2},
      {"multiple toggles", 3, true, 1, {5, 70, 5}, "001", 3},
      {"disabled", 3, false, 0, {5}, "000", 0},
      {"no segments", 0, true, 0, {5}, "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    reset();
    // 100 x 24 at (30, 40) under the root at (10, 20): absolute (40, 60).
    auto control = place(controlWith(c.n), UXRect(30, 40, 100, 24));
    control->multipleSelection = c.multiple;
    auto probe = make<ActionProbe>();
    control->action = probe->block();
    if (!c.enabled) disable(*control);
    clearMarks();
    for (int16_t x : c.localXs) {
      UXEvent e;
      e.x = int16_t(40 + x);
      control->mouseDown(e);
    }
    EXPECT_EQ(selection(control), c.after);
    EXPECT_EQ(probe->calls, c.calls);
    EXPECT_EQ(gNeedsDisplay, c.calls ? 1 : 0);
    if (c.calls) {
      EXPECT_EQ(tree->dirtyRect, UXRect(40, 60, 100, 24));
    }
    TearDown();
  }
}

}  // namespace
}  // namespace quorl::test
