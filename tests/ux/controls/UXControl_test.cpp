// The control base, buttons and labels: defaults, the attach pattern, the
// title rules and the click rule.
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
    EXPECT_EQ(controls[i]->alignment, 0u);
    EXPECT_FALSE(controls[i]->action);
    EXPECT_EQ(controls[i]->kind(), kinds[i]);
    EXPECT_FALSE(controls[i]->isAttached());
    EXPECT_FALSE(controls[i]->isEnabled());
    EXPECT_FALSE(controls[i]->acceptsFirstResponder());
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
    std::vector<std::string> extra;  // driver calls after the peer
  };
  Case cases[] = {
      {make<UXButton>(), 2, 1, {"structSetSelectable ptr 1 1"}},
      {make<UXLabel>(), 4, 0, {}},
      {make<UXCheckbox>(), 6, 0, {}},
      {make<UXRadioButton>(), 7, 0, {}},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.control->classNameC());
    SetUp();
    static const char kTitle[] = "Open...";
    c.control->setTitle(kTitle);  // before attaching: only stored
    EXPECT_TRUE(driver->calls.empty());
    c.control->attachTo(tree, UXRect(5, 6, 70, 22));
    const std::string spec = std::to_string(uxSpecOfText(kTitle));
    std::vector<std::string> want = {"structAppend ptr " + std::to_string(c.kind) + " 5 6 70 22",
                                     "structSetSpec ptr 1 " + spec, "structSetPeer ptr 1 ptr"};
    want.insert(want.end(), c.extra.begin(), c.extra.end());
    EXPECT_EQ(driver->calls, want);
    ASSERT_EQ(c.control->node, 1);
    const UXNode& n = nodeOf(*c.control);
    EXPECT_EQ(n.kind, c.kind);
    EXPECT_EQ(uxTextOfSpec(n.spec), kTitle);  // the pointer itself, not a copy
    EXPECT_EQ(n.peer.lock(), c.control);
    EXPECT_EQ(n.selectable, c.selectable);
    EXPECT_EQ(n.editable, 0);
    EXPECT_EQ(n.enabled, 1);
    EXPECT_EQ(n.parent, -1);  // linking under a parent is the builder's step
    EXPECT_EQ(tree->viewAt(1), c.control);
    EXPECT_EQ(gNeedsDisplay, 0);  // attaching does not redraw
    EXPECT_TRUE(c.control->isEnabled());
    TearDown();
  }
}

TEST_F(UXControlTest, AFullDriverTreeLeavesTheControlDetachedAndUntouched) {
  driver->logging = false;
  while (driver->structLength(tree->driverTree) < UXNodeTree::kMaxNodes)
    driver->structAppend(tree->driverTree, 1, 0, 0, 1, 1);
  driver->logging = true;
  auto button = make<UXButton>();
  button->attachTo(tree, UXRect(0, 0, 10, 10));
  EXPECT_FALSE(button->isAttached());
  EXPECT_EQ(driver->count("structSetSpec") + driver->count("structSetPeer"), 0u);
  EXPECT_EQ(driver->count("structSetSelectable"), 0u);
}

// setTitle reaches the driver for the kinds whose spec is their title, and
// only stores the title for every other kind.
TEST_F(UXControlTest, SetTitleReplacesTheSpecOnlyForTitledKinds) {
  struct Case {
    uint8_t kind;
    bool reachesDriver;
  };
  const Case cases[] = {{1, false}, {2, true}, {3, false}, {4, true}, {6, true},
                        {7, true},  {9, false}, {10, false}, {11, false}, {12, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.kind));
    SetUp();
    auto control = make<KindedControl>();
    control->k = c.kind;
    place(control, UXRect(30, 40, 50, 20));
    const uint64_t before = nodeOf(*control).spec;
    driver->clearCalls();
    clearMarks();
    static const char kTitle[] = "Renamed";
    control->setTitle(kTitle);
    EXPECT_EQ(control->title, kTitle);
    if (c.reachesDriver) {
      EXPECT_EQ(nodeOf(*control).spec, uxSpecOfText(kTitle));
      EXPECT_EQ(gNeedsDisplay, 1);
      EXPECT_EQ(tree->dirty, 1);
      EXPECT_EQ(tree->dirtyRect, UXRect(40, 60, 50, 20));  // the absolute frame
    } else {
      EXPECT_EQ(nodeOf(*control).spec, before);
      EXPECT_EQ(driver->count("structSetSpec"), 0u);
      EXPECT_EQ(gNeedsDisplay, 0);
      EXPECT_EQ(tree->dirty, 0);
    }
    TearDown();
  }
}

TEST_F(UXControlTest, LabelTextAndNullTitles) {
  auto label = place(make<UXLabel>(), UXRect(1, 2, 100, 16));
  clearMarks();
  static const char kText[] = "Opened a.json (3 runs)";
  label->setText(kText);
  EXPECT_EQ(label->title, kText);
  EXPECT_EQ(nodeOf(*label).spec, uxSpecOfText(kText));
  EXPECT_EQ(tree->dirtyRect, UXRect(11, 22, 100, 16));
  EXPECT_EQ(gNeedsDisplay, 1);

  // A null title would reach the driver as a null spec: it reads as "".
  label->setText(nullptr);
  EXPECT_STREQ(label->title, "");
  EXPECT_STREQ(uxTextOfSpec(nodeOf(*label).spec), "");
  auto button = place(make<UXButton>(), UXRect(0, 0, 10, 10));
  button->setTitle(nullptr);
  EXPECT_STREQ(button->title, "");
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
  enum Target { kAlive, kReleased, kNone };
  struct Case {
    const char* name;
    bool enabled;
    Target target;
    bool function;
    int wantCalls;
  };
  const Case cases[] = {
      {"enabled", true, kAlive, true, 1},
      {"disabled node", false, kAlive, true, 0},
      {"target released", true, kReleased, true, 0},
      {"target without function", true, kAlive, false, 0},
      {"function without target", true, kNone, true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    auto button = place(make<UXButton>(), UXRect(0, 0, 80, 24));
    auto next = make<UXButton>();  // would count a click that travelled on
    auto nextProbe = make<ActionProbe>();
    place(next, UXRect(0, 30, 80, 24));
    next->action = nextProbe->block();
    button->nextResponder = next;
    auto probe = make<ActionProbe>();
    button->action = probe->block();
    if (!c.function) button->action.function = nullptr;
    if (c.target == kNone) button->action.target.reset();
    if (c.target == kReleased) {
      auto gone = make<ActionProbe>();
      button->action.target = gone;
    }
    if (!c.enabled) disable(*button);
    UXEvent event;
    event.x = -500;  // the position is never read
    button->mouseDown(event);
    EXPECT_EQ(probe->calls, c.wantCalls);
    if (c.wantCalls) {
      EXPECT_EQ(probe->lastSender.lock(), button);
    }
    EXPECT_EQ(nextProbe->calls, 0);
    TearDown();
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

}  // namespace
}  // namespace quorl::test
