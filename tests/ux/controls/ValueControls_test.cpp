// The slider, the stepper, the progress bar, the segmented control and the
// toolbar as driver nodes: defaults, descriptions, and what each gives its
// node when attached.
#include "ControlTest.h"
#include "foundation/Array.h"
#include "ux/controls/UXProgressBar.h"
#include "ux/controls/UXSegmentedControl.h"
#include "ux/controls/UXSlider.h"
#include "ux/controls/UXStepper.h"
#include "ux/controls/UXToolbar.h"

namespace quorl::test {
namespace {

class ValueControlsTest : public ControlTest {};

TEST_F(ValueControlsTest, FreshDescriptions) {
  struct Case {
    Ref<Object> object;
    const char* text;
  } cases[] = {
      {make<UXSlider>(), "<UXSlider>(0, 100, 0, 12)"},
      {make<UXStepper>(), "<UXStepper>(0, 0, 100, 1, 0)"},
      {make<Progress>(), "<Progress>(0, 0, 0)"},
      {make<ProgressChild>(), "<_ProgressChild>(0)"},
      {make<UXProgressBar>(), "<UXProgressBar>(0)"},
      {make<UXSegment>(), "<UXSegment>(0, 0, 0, 0)"},
      {make<UXSegmentedControl>(), "<UXSegmentedControl>(0)"},
      {make<UXToolbarItem>(), "<UXToolbarItem>(0, 0, 0, 0, 0, 0)"},
      {make<UXToolbar>(), "<UXToolbar>(8, 6, 16, -1, 0)"},
  };
  for (const Case& c : cases) EXPECT_EQ(describe(*c.object), c.text);

  // Signedness of each printed value.
  auto slider = make<UXSlider>();
  slider->minimum = -5, slider->maximum = 70000, slider->value = -1, slider->knobWidth = -2;
  EXPECT_EQ(describe(*slider), "<UXSlider>(-5, 4464, -1, -2)");
  auto stepper = make<UXStepper>();
  stepper->value = -1, stepper->step = -3, stepper->wraps = 1;
  EXPECT_EQ(describe(*stepper), "<UXStepper>(-1, 0, 100, -3, 1)");
  auto progress = make<Progress>();
  progress->total = 65537, progress->completed = -1, progress->flag = 200;
  EXPECT_EQ(describe(*progress), "<Progress>(1, -1, 200)");
  auto bar = make<UXProgressBar>();
  bar->value = 0xFFFF;
  EXPECT_EQ(describe(*bar), "<UXProgressBar>(-1)");
  auto segment = make<UXSegment>();
  segment->tag = -1, segment->selected = 1, segment->x = 40, segment->width = 40;
  EXPECT_EQ(describe(*segment), "<UXSegment>(-1, 1, 40, 40)");
  auto item = make<UXToolbarItem>();
  item->tag = 7, item->width = 60, item->x = 8, item->laidWidth = 60, item->visible = 1;
  EXPECT_EQ(describe(*item), "<UXToolbarItem>(0, 7, 60, 8, 60, 1)");
  auto toolbar = make<UXToolbar>();
  toolbar->hiddenCount = 0xFFFF;
  EXPECT_EQ(describe(*toolbar), "<UXToolbar>(8, 6, 16, -1, -1)");
}

// Each control appends a node of its kind with the frame, sets no spec word
// and registers itself as the node's peer; no other node flag changes.
TEST_F(ValueControlsTest, AttachGivesKindAndPeerWithoutSpec) {
  struct Case {
    Ref<UXControl> control;
    uint8_t kind;
  } cases[] = {
      {make<UXSlider>(), 9},           {make<UXStepper>(), 11},  {make<UXProgressBar>(), 12},
      {make<UXSegmentedControl>(), 13}, {make<UXToolbar>(), 14},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.control->classNameC());
    SetUp();
    static const char kTitle[] = "never a spec";
    c.control->title = kTitle;
    EXPECT_EQ(c.control->kind(), c.kind);
    c.control->attachTo(tree, UXRect(5, 6, 120, 30));
    EXPECT_EQ(driver->calls, (std::vector<std::string>{"structAppend ptr " + std::to_string(c.kind) + " 5 6 120 30",
                                                       "structSetPeer ptr 1 ptr"}));
    const UXNode& n = nodeOf(*c.control);
    EXPECT_EQ(n.kind, c.kind);
    EXPECT_EQ(n.spec, 0u);
    EXPECT_EQ(n.peer.lock(), c.control);
    EXPECT_EQ(n.selectable + n.editable + n.hidden + n.selected, 0);
    EXPECT_EQ(tree->viewAt(c.control->node), c.control);
    // Their titles stay out of the driver.
    driver->clearCalls();
    c.control->setTitle("Other");
    EXPECT_EQ(driver->count("structSetSpec"), 0u);
    EXPECT_EQ(gNeedsDisplay, 0);
    TearDown();
  }
}

}  // namespace
}  // namespace quorl::test
