// Check boxes, radio buttons and radio groups: state machines, the enabled
// rule, group selection and the drawing of both.
#include "ControlTest.h"
#include "foundation/Array.h"
#include "ux/controls/UXCheckbox.h"

namespace quorl::test {
namespace {

class UXCheckboxTest : public ControlTest {};

TEST(UXCheckboxDefaults, KindsStatesAndDescriptions) {
  auto box = make<UXCheckbox>();
  auto radio = make<UXRadioButton>();
  EXPECT_EQ(box->kind(), 6);
  EXPECT_EQ(radio->kind(), 7);
  EXPECT_EQ(describe(*box), "<UXCheckbox>(0)");
  EXPECT_EQ(describe(*radio), "<UXRadioButton>(0)");
  EXPECT_TRUE(radio->group.expired());
  box->state = 1;
  radio->selected = 1;
  EXPECT_EQ(describe(*box), "<UXCheckbox>(1)");
  EXPECT_EQ(describe(*radio), "<UXRadioButton>(1)");
}

TEST_F(UXCheckboxTest, CheckBoxFlipsRedrawsThenRunsItsActionOnlyWhenEnabled) {
  auto box = place(make<UXCheckbox>(), UXRect(4, 5, 120, 21));
  auto probe = make<ActionProbe>();
  std::vector<uint8_t> seenStates;
  box->action.target = probe;
  box->action.function = [&](const Ref<Object>&, const Ref<UXView>& sender, const UXAction&) {
    seenStates.push_back(staticCast<UXCheckbox>(sender)->state);
    EXPECT_EQ(gNeedsDisplay, 1);  // redrawn before the action
  };
  EXPECT_TRUE(box->acceptsFirstResponder());
  UXEvent e;
  box->mouseDown(e);
  EXPECT_EQ(tree->dirtyRect, UXRect(14, 25, 120, 21));
  box->mouseDown(e);
  EXPECT_EQ(seenStates, (std::vector<uint8_t>{1, 0}));
  EXPECT_EQ(box->state, 0);

  // A value set directly by the owner flips like any other.
  box->state = 1;
  box->mouseDown(e);
  EXPECT_EQ(box->state, 0);

  disable(*box);
  clearMarks();
  box->mouseDown(e);
  EXPECT_EQ(box->state, 0);
  EXPECT_EQ(seenStates.size(), 3u);
  EXPECT_EQ(gNeedsDisplay, 0);
  EXPECT_FALSE(box->acceptsFirstResponder());
}

TEST_F(UXCheckboxTest, UngroupedRadioStaysSelectedAndRunsItsActionOnEveryClick) {
  auto radio = place(make<UXRadioButton>(), UXRect(0, 0, 100, 21));
  auto probe = make<ActionProbe>();
  radio->action = probe->block();
  UXEvent e;
  radio->mouseDown(e);
  radio->mouseDown(e);
  EXPECT_EQ(radio->selected, 1);
  EXPECT_EQ(probe->calls, 2);
  disable(*radio);
  radio->selected = 0;
  radio->mouseDown(e);
  EXPECT_EQ(radio->selected, 0);
  EXPECT_EQ(probe->calls, 2);
  EXPECT_FALSE(radio->acceptsFirstResponder());
}

TEST_F(UXCheckboxTest, GroupSelectsExactlyTheChosenMemberAndRedrawsAll) {
  auto group = make<UXRadioGroup>();
  Ref<UXRadioButton> r[3];
  for (int i = 0; i < 3; i++) {
    r[i] = place(make<UXRadioButton>(), UXRect(0, int16_t(30 * i), 100, 21));
    r[i]->group = group;
    group->buttons->add(r[i]);
  }
  group->buttons->add(make<UXCheckbox>());  // not a radio button: skipped
  r[0]->selected = 1;
  auto probe = make<ActionProbe>();
  r[1]->action = probe->block();
  clearMarks();
  UXEvent e;
  r[1]->mouseDown(e);
  EXPECT_EQ(r[0]->selected, 0);
  EXPECT_EQ(r[1]->selected, 1);
  EXPECT_EQ(r[2]->selected, 0);
  EXPECT_EQ(probe->calls, 1);
  // Every member is redrawn, changed or not: the union reaches the third.
  EXPECT_EQ(tree->dirtyRect, UXRect(10, 20, 100, 81));

  // A button outside the group deselects every member and is not changed.
  auto stranger = make<UXRadioButton>();
  group->select(stranger);
  EXPECT_EQ(r[0]->selected + r[1]->selected + r[2]->selected, 0);
  EXPECT_EQ(stranger->selected, 0);
  group->select(nullptr);
  make<UXRadioGroup>()->select(r[0]);  // empty group: nothing
  EXPECT_EQ(r[0]->selected, 0);

  // A released group counts as none: the click selects the button alone.
  group.reset();
  r[2]->mouseDown(e);
  EXPECT_EQ(r[2]->selected, 1);
  EXPECT_EQ(r[0]->selected, 0);
}

// Art top = max(0, (h - 21) / 2), title top = (h - 12) / 2 unclamped,
// title colour 1 enabled and 8 disabled; the radio falls back to circles
// where the surface has no theme art, and the check box never does.
TEST_F(UXCheckboxTest, DrawingOfBothAtEveryHeightStateAndSurface) {
  struct Case {
    bool radio;
    int16_t h;
    uint8_t on;
    bool enabled;
    bool themeArt;
    std::vector<std::string> want;
  };
  const Case cases[] = {
      {false, 15, 0, true, false, {"drawTheme \"check\" 0,0,21,21", "drawText \"Title\" 24 1 1 0"}},
      {false, 40, 1, true, false, {"drawTheme \"check.selected\" 0,9,21,21", "drawText \"Title\" 24 14 1 0"}},
      {false, 8, 1, false, true, {"drawTheme \"check.selected\" 0,0,21,21", "drawText \"Title\" 24 -2 8 0"}},
      {true, 40, 1, true, true, {"drawTheme \"radio.selected\" 0,9,21,21", "drawText \"Title\" 24 14 1 0"}},
      {true, 21, 0, true, true, {"drawTheme \"radio\" 0,0,21,21", "drawText \"Title\" 24 4 1 0"}},
      {true, 40, 1, false, false,
       {"fillCircle 10 19 8 9", "fillCircle 10 19 7 0", "fillCircle 10 19 4 1", "drawText \"Title\" 24 14 8 0"}},
      {true, 15, 0, true, false, {"fillCircle 10 10 8 9", "fillCircle 10 10 7 0", "drawText \"Title\" 24 1 1 0"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << (c.radio ? "radio" : "check") << " h=" << c.h << " on=" << int(c.on));
    Ref<UXControl> control;
    if (c.radio) {
      auto r = make<UXRadioButton>();
      r->selected = c.on;
      control = r;
    } else {
      auto b = make<UXCheckbox>();
      b->state = c.on;
      control = b;
    }
    control->setTitle("Title");
    place(control, UXRect(3, 3, 150, c.h));
    if (!c.enabled) disable(*control);
    RecordingGraphics g;
    g.themeArt = c.themeArt;
    control->drawRect(g, UXRect(0, 0, 150, c.h));
    EXPECT_EQ(g.lines, c.want);
  }
}

}  // namespace
}  // namespace quorl::test
