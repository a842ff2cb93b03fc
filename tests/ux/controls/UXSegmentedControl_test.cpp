// The segmented control: its layout table, the hit test at segment edges,
// both selection modes, clicks and the drawing.
#include "ControlTest.h"
#include "foundation/Array.h"
#include "ux/controls/UXSegmentedControl.h"

namespace quorl::test {
namespace {

Ref<UXSegmentedControl> controlWith(std::vector<const char*> titles) {
  auto c = make<UXSegmentedControl>();
  for (const char* t : titles) {
    auto s = make<UXSegment>();
    s->title = t;
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

TEST(UXSegmentedLayout, EqualWidthsRemainderToTheLast) {
  struct Case {
    uint32_t n;
    int16_t w;
    std::vector<int16_t> xs, widths;
  } cases[] = {
      {3, 100, {0, 33, 66}, {33, 33, 34}},
      {1, 57, {0}, {57}},
      {4, 10, {0, 2, 4, 6}, {2, 2, 2, 4}},
      {3, 2, {0, 0, 0}, {0, 0, 2}},
      {2, -7, {0, -3}, {-3, -4}},  // signed division truncates towards zero
      {2, 32767, {0, 16383}, {16383, 16384}},
  };
  for (const Case& c : cases) {
    auto control = controlWith(std::vector<const char*>(c.n, "s"));
    control->layout(c.w);
    for (uint32_t i = 0; i < c.n; ++i) {
      EXPECT_EQ(seg(control, i)->x, c.xs[i]) << c.n << " in " << c.w << ", segment " << i;
      EXPECT_EQ(seg(control, i)->width, c.widths[i]) << c.n << " in " << c.w << ", segment " << i;
    }
  }
  make<UXSegmentedControl>()->layout(100);  // no segments: nothing to do
}

TEST(UXSegmentedLayout, HitTestAtTheEdges) {
  auto c = controlWith({"a", "b", "c"});
  c->layout(100);
  struct Case {
    int16_t x;
    uint32_t want;
  } cases[] = {{-1, kNotFound}, {0, 0}, {32, 0}, {33, 1}, {65, 1}, {66, 2}, {99, 2}, {100, kNotFound}};
  for (const Case& k : cases) EXPECT_EQ(c->segmentAtLocalX(k.x), k.want) << k.x;
  EXPECT_EQ(make<UXSegmentedControl>()->segmentAtLocalX(0), kNotFound);
}

TEST(UXSegmentedSelection, ExclusiveAndMultipleModes) {
  struct Case {
    const char* name;
    uint8_t multiple;
    std::string before;
    std::vector<int32_t> picks;
    std::string after;
  } cases[] = {
      {"exclusive clears the others", 0, "110", {2}, "001"},
      {"exclusive keeps a reselected segment", 0, "001", {2, 2}, "001"},
      {"multiple toggles only the pick", 0 + 1, "100", {2}, "101"},
      {"multiple twice restores", 1, "010", {0, 0}, "010"},
      {"out of range changes nothing", 0, "010", {-1, 3, 1000}, "010"},
      {"out of range, multiple", 1, "011", {-5, 3}, "011"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto control = controlWith({"a", "b", "c"});
    control->multipleSelection = c.multiple;
    for (uint32_t i = 0; i < 3; ++i) seg(control, i)->selected = c.before[i] == '1';
    for (int32_t p : c.picks) control->selectSegment(p);
    EXPECT_EQ(selection(control), c.after);
    for (int32_t i = -1; i <= 3; ++i) {
      bool want = i >= 0 && i < 3 && c.after[size_t(i)] == '1';
      EXPECT_EQ(control->isSelected(i), want) << i;
      EXPECT_EQ(control->nativeSegSelected(i), want ? 1u : 0u) << i;
    }
  }
}

TEST(UXSegmentedDrawing, FacesSeparatorsAndTitles) {
  auto c = controlWith({"One", "Two", "Three"});
  seg(c, 1)->selected = 1;
  RecordingGraphics g;
  c->drawRect(g, UXRect(0, 0, 100, 24));
  EXPECT_EQ(g.lines, (std::vector<std::string>{
                         "drawTheme \"button\" 0,0,100,24",
                         "drawText \"One\" 6 6 1 0",
                         "fillRect 34,3,31,18 250",
                         "fillRect 33,3,1,18 9",
                         "drawText \"Two\" 39 6 1 0",
                         "fillRect 66,3,1,18 9",
                         "drawText \"Three\" 72 6 1 0",
                     }));
  // The text line rounds towards zero; the title of the control is not drawn.
  auto small = controlWith({"x"});
  small->title = "never drawn";
  RecordingGraphics s;
  small->drawRect(s, UXRect(0, 0, 20, 5));
  EXPECT_EQ(s.lines, (std::vector<std::string>{"drawTheme \"button\" 0,0,20,5", "drawText \"x\" 6 -3 1 0"}));
}

class UXSegmentedClick : public ControlTest {};

TEST_F(UXSegmentedClick, ClicksSelectRedrawAndRunTheAction) {
  struct Case {
    const char* name;
    bool enabled;
    uint8_t multiple;
    std::vector<int16_t> localXs;
    std::string after;
    int calls;
  } cases[] = {
      {"exclusive", true, 0, {70, 5}, "100", 2},
      {"same segment twice still runs the action", true, 0, {40, 40}, "010", 2},
      {"multiple toggles", true, 1, {5, 70, 5}, "001", 3},
      {"disabled", false, 0, {5}, "000", 0},
      {"left of every segment", true, 0, {-1}, "000", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    // 100 x 24 at (30, 40) under the root at (10, 20): absolute (40, 60).
    auto control = place(controlWith({"a", "b", "c"}), UXRect(30, 40, 100, 24));
    control->multipleSelection = c.multiple;
    auto probe = make<ActionProbe>();
    control->action = probe->block();
    if (!c.enabled) disable(*control);
    clearMarks();
    for (int16_t x : c.localXs) {
      UXEvent e;
      e.type = kUXEventMouseDown;
      e.x = int16_t(40 + x);
      e.y = 70;
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
  // No segments: a click does nothing at all.
  SetUp();
  auto empty = place(make<UXSegmentedControl>(), UXRect(0, 0, 50, 20));
  auto probe = make<ActionProbe>();
  empty->action = probe->block();
  clearMarks();
  UXEvent e;
  e.x = 15;
  empty->mouseDown(e);
  EXPECT_EQ(probe->calls, 0);
  EXPECT_EQ(gNeedsDisplay, 0);
}

}  // namespace
}  // namespace quorl::test
