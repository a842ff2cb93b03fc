// The control base, buttons and labels: defaults, the attach pattern, the
// title rules and the click rule.
#include <algorithm>

#include "ControlTest.h"
#include "ux/controls/UXCheckbox.h"
#include "ux/controls/UXControl.h"
#include "ux/core/UXWindow.h"

namespace quorl::test {
namespace {

// A control of another kind, standing for the controls whose title never
// reaches the driver (text field, slider, stepper, progress bar).
class KindedControl : public UXControl {
 public:
  uint8_t k = 9;
  uint8_t kind() const override { return k; }
};

TEST(UXControlDefaults, FreshControlsAndTheirDescriptions) {
  Ref<UXControl> controls[] = {make<UXControl>(), make<UXButton>(), make<UXLabel>()};
  const uint8_t kinds[] = {1, 2, 4};
  for (int i = 0; i < 3; i++) {
    SCOPED_TRACE(controls[i]->classNameC());
    EXPECT_STREQ(controls[i]->title, "");
    EXPECT_EQ(controls[i]->kind(), kinds[i]);
    EXPECT_FALSE(controls[i]->isEnabled());  // no node to ask
    // Every level prints the base's name and the alignment as signed 16 bits.
    EXPECT_EQ(describe(*controls[i]), "<UXControl>(0)");
    controls[i]->alignment = 0xFFFF;
    EXPECT_EQ(describe(*controls[i]), "<UXControl>(-1)");
  }
}

class UXControlTest : public ControlTest {};

TEST_F(UXControlTest, AttachPatternGivesEachNodeItsKindSpecPeerAndFlags) {
  struct Case {
    Ref<UXControl> control;
    uint8_t kind;
    uint16_t selectable;
  };
  Case cases[] = {{make<UXButton>(), 2, 1}, {make<UXLabel>(), 4, 0}, {make<UXCheckbox>(), 6, 0},
                  {make<UXRadioButton>(), 7, 0}};
  for (Case& c : cases) {
    SCOPED_TRACE(c.control->classNameC());
    reset();
    static const char kTitle[] = "Open...";
    c.control->setTitle(kTitle);  // before attaching: only stored
    c.control->attachTo(tree, UXRect(5, 6, 70, 22));
    std::vector<std::string> want = {"structAppend ptr " + std::to_string(c.kind) + " 5 6 70 22",
                                     "structSetSpec ptr 1 " + std::to_string(uxSpecOfText(kTitle)),
                                     "structSetPeer ptr 1 ptr"};
    if (c.selectable) want.push_back("structSetSelectable ptr 1 1");
    EXPECT_EQ(driver->calls, want);
    const UXNode& n = nodeOf(*c.control);
    EXPECT_EQ(uxTextOfSpec(n.spec), kTitle);  // the pointer itself, not a copy
    EXPECT_EQ(n.peer.lock(), c.control);
    EXPECT_EQ(n.selectable, c.selectable);
    EXPECT_EQ(n.parent, -1);      // linking under a parent is the builder's step
    EXPECT_EQ(gNeedsDisplay, 0);  // attaching does not redraw
    EXPECT_TRUE(c.control->isEnabled());
  }
  // A full driver tree refuses the node: nothing else reaches the driver.
  reset();  // an empty tree again
  driver->logging = false;
  while (driver->structLength(tree->driverTree) < UXNodeTree::kMaxNodes)
    driver->structAppend(tree->driverTree, 1, 0, 0, 1, 1);
  driver->logging = true;
  auto button = make<UXButton>();
  button->attachTo(tree, UXRect(0, 0, 10, 10));
  EXPECT_FALSE(button->isAttached());
  EXPECT_EQ(driver->calls, (std::vector<std::string>{"structAppend ptr 2 0 0 10 10"}));
}

// setTitle reaches the driver for the kinds whose spec is their title, and
// only stores the title for every other kind; a label's setText always does.
TEST_F(UXControlTest, TitlesReachTheSpecOnlyForTitledKinds) {
  const uint8_t titled[] = {2, 4, 6, 7};
  for (uint8_t kind : {1, 2, 3, 4, 6, 7, 9, 10, 11, 12}) {
    SCOPED_TRACE(int(kind));
    reset();
    auto control = make<KindedControl>();
    control->k = kind;
    place(control, UXRect(30, 40, 50, 20));
    const uint64_t before = nodeOf(*control).spec;
    clearMarks();
    static const char kTitle[] = "Renamed";
    control->setTitle(kTitle);
    EXPECT_EQ(control->title, kTitle);
    const bool reaches = std::find(std::begin(titled), std::end(titled), kind) != std::end(titled);
    EXPECT_EQ(nodeOf(*control).spec, reaches ? uxSpecOfText(kTitle) : before);
    EXPECT_EQ(gNeedsDisplay, reaches ? 1 : 0);
    EXPECT_EQ(tree->dirtyRect, reaches ? UXRect(40, 60, 50, 20) : UXRect());  // the absolute frame
  }
  auto label = place(make<UXLabel>(), UXRect(1, 2, 100, 16));
  clearMarks();
  static const char kText[] = "Opened a.json (3 runs)";
  label->setText(kText);
  EXPECT_EQ(nodeOf(*label).spec, uxSpecOfText(kText));
  EXPECT_EQ(tree->dirtyRect, UXRect(11, 22, 100, 16));
  // A null title would reach the driver as a null spec: it reads as "".
  label->setText(nullptr);
  EXPECT_STREQ(uxTextOfSpec(nodeOf(*label).spec), "");
  auto button = place(make<UXButton>(), UXRect(0, 0, 10, 10));
  button->setTitle(nullptr);
  EXPECT_STREQ(uxTextOfSpec(nodeOf(*button).spec), "");
  // Unattached: stored only, no redraw.
  auto loose = make<UXLabel>();
  clearMarks();
  loose->setText(kText);
  EXPECT_EQ(loose->title, kText);
  EXPECT_EQ(gNeedsDisplay, 0);
}

// The click rule: the action runs only on an enabled node with a function
// and a live target; the event never travels on.
TEST_F(UXControlTest, ClickRunsTheActionOnlyWhenEnabledWithFunctionAndLiveTarget) {
  struct Case {
    const char* name;
    bool enabled, releaseTarget, dropTarget, dropFunction;
    int wantCalls;
  };
  const Case cases[] = {
      {"enabled", true, false, false, false, 1},          {"disabled node", false, false, false, false, 0},
      {"target released", true, true, false, false, 0},   {"function without target", true, false, true, false, 0},
      {"target without function", true, false, false, true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    reset();
    auto button = place(make<UXButton>(), UXRect(0, 0, 80, 24));
    auto next = make<UXButton>();  // its mouseDown would run nextProbe
    auto nextProbe = make<ActionProbe>();
    place(next, UXRect(0, 30, 80, 24))->action = nextProbe->block();
    button->nextResponder = next;
    auto probe = make<ActionProbe>();
    button->action = probe->block();
    if (c.releaseTarget) button->action.target = make<Object>();
    if (c.dropTarget) button->action.target.reset();
    if (c.dropFunction) button->action.function = nullptr;
    if (!c.enabled) disable(*button);
    UXEvent event;
    event.x = -500;  // the position is never read
    button->mouseDown(event);
    EXPECT_EQ(probe->calls, c.wantCalls);
    EXPECT_EQ(probe->lastSender.lock(), c.wantCalls ? button : nullptr);
    EXPECT_EQ(nextProbe->calls, 0);
  }
}

TEST_F(UXControlTest, ReturnRunsTheDefaultButtonEvenWhenItsNodeIsDisabled) {
  auto window = make<UXWindow>();
  auto content = make<UXView>();
  window->open("W", UXRect(0, 0, 200, 100), content);
  auto button = make<UXButton>();
  button->attachTo(window->tree, UXRect(10, 10, 80, 24));
  driver->structAddChild(window->tree->driverTree, 0, int16_t(button->node));
  auto probe = make<ActionProbe>();
  button->action = probe->block();
  driver->structSetEnabled(window->tree->driverTree, int16_t(button->node), 0);
  window->defaultButton = button;
  UXEvent key;
  key.type = kUXEventKey;
  key.key = 13;
  window->keyDown(key);
  EXPECT_EQ(probe->calls, 1);
  EXPECT_EQ(probe->lastSender.lock(), button);
  // The driver's own path after a native value change.
  EXPECT_TRUE(button->sendAction());
  EXPECT_EQ(probe->calls, 2);
}

// A native click (BN_CLICKED) comes back as a mouse-down at the centre of
// the absolute frame, seen by the event tap first, then the click rule.
TEST_F(UXControlTest, NativeClicksReachTheTapThenTheClickRule) {
  tree->windowHandle = 5;
  auto button = place(make<UXButton>(), UXRect(30, 40, 81, 25));
  auto box = place(make<UXCheckbox>(), UXRect(30, 80, 100, 20));
  auto probe = make<ActionProbe>();
  button->action = probe->block();
  auto owner = make<Object>();
  std::vector<std::string> seen;
  gEventTap.target = owner;
  gEventTap.function = [&](const Ref<Object>&, UXEvent& e) {
    seen.push_back(describe(e) + " after " + std::to_string(probe->calls));
  };
  button->applyNativeClick();
  box->applyNativeClick();
  // The button's record is seen before its action has run.
  EXPECT_EQ(seen, (std::vector<std::string>{"<UXEvent>(1, 80, 72, 0, 0, 0, 5, 0, 0) after 0",
                                            "<UXEvent>(1, 90, 110, 0, 0, 0, 5, 0, 0) after 1"}));
  EXPECT_EQ(probe->calls, 1);
  EXPECT_EQ(box->state, 1);
  disable(*button);
  button->applyNativeClick();
  EXPECT_EQ(seen.size(), 3u);  // offered to the tap, but the node is disabled
  EXPECT_EQ(probe->calls, 1);
  make<UXButton>()->applyNativeClick();  // not attached: nothing
  EXPECT_EQ(seen.size(), 3u);
}

}  // namespace
}  // namespace quorl::test

namespace quorl::test {
namespace {

class UXControlEnableTest : public ControlTest {};

// Disabling stops clicks; each change redraws, a repeated state does not.
TEST_F(UXControlEnableTest, SetEnabledGatesClicksAndRedrawsOnChange) {
  auto button = place(make<UXButton>(), UXRect(0, 0, 80, 24));
  auto probe = make<ActionProbe>();
  button->action = probe->block();
  struct Step { bool enabled; bool redrawn; int calls; } steps[] = {
      {false, true, 0}, {false, false, 0}, {true, true, 1}, {true, false, 2}};
  for (const Step& s : steps) {
    clearMarks();
    button->setEnabled(s.enabled);
    EXPECT_EQ(button->isEnabled(), s.enabled);
    EXPECT_EQ(gNeedsDisplay != 0, s.redrawn);
    UXEvent event;
    button->mouseDown(event);
    EXPECT_EQ(probe->calls, s.calls);
  }
  UXButton loose;
  loose.setEnabled(true);  // not attached: nothing to change
  EXPECT_FALSE(loose.isEnabled());
}

}  // namespace
}  // namespace quorl::test
