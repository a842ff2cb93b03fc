// The slider, the stepper, the progress bar, the segmented control and the
// toolbar as driver nodes: descriptions, and what each gives its node.
#include "ControlTest.h"
#include "ux/controls/UXProgressBar.h"
#include "ux/controls/UXSegmentedControl.h"
#include "ux/controls/UXSlider.h"
#include "ux/controls/UXStepper.h"
#include "ux/controls/UXToolbar.h"

namespace quorl::test {
namespace {

class ValueControlsTest : public ControlTest {};

TEST_F(ValueControlsTest, Descriptions) {
  auto slider = make<UXSlider>();
  auto stepper = make<UXStepper>();
  stepper->value = -1, stepper->wraps = 1;  // signed and unsigned fields
  auto progress = make<Progress>();
  progress->total = 65537, progress->completed = -1, progress->flag = 200;
  auto bar = make<UXProgressBar>();
  bar->value = 0xFFFF;
  auto segment = make<UXSegment>();
  segment->tag = -1, segment->selected = 1, segment->x = 40, segment->width = 40;
  auto item = make<UXToolbarItem>();
  item->tag = 7, item->width = 60, item->x = 8, item->laidWidth = 60, item->visible = 1;
  const std::pair<Ref<Object>, const char*> cases[] = {
      {slider, "<UXSlider>(0, 100, 0, 12)"},
      {stepper, "<UXStepper>(-1, 0, 100, 1, 1)"},
      {progress, "<Progress>(1, -1, 200)"},
      {make<ProgressChild>(), "<_ProgressChild>(0)"},
      {bar, "<UXProgressBar>(-1)"},
      {segment, "<UXSegment>(-1, 1, 40, 40)"},
      {make<UXSegmentedControl>(), "<UXSegmentedControl>(0)"},
      {item, "<UXToolbarItem>(0, 7, 60, 8, 60, 1)"},
      {make<UXToolbar>(), "<UXToolbar>(8, 6, 16, -1, 0)"},
  };
  for (const auto& [object, text] : cases) EXPECT_EQ(describe(*object), text);
}

// Each control appends a node of its kind with the frame, sets no spec word
// and registers itself as the node's peer; no other node flag changes.
TEST_F(ValueControlsTest, AttachGivesKindAndPeerWithoutSpec) {
  const std::pair<Ref<UXControl>, uint8_t> cases[] = {
      {make<UXSlider>(), 9},           {make<UXStepper>(), 11}, {make<UXProgressBar>(), 12},
      {make<UXSegmentedControl>(), 13}, {make<UXToolbar>(), 14},
  };
  for (const auto& [control, kind] : cases) {
    SCOPED_TRACE(control->classNameC());
    reset();
    control->title = "never a spec";
    control->attachTo(tree, UXRect(5, 6, 120, 30));
    EXPECT_EQ(driver->calls, (std::vector<std::string>{"structAppend ptr " + std::to_string(kind) + " 5 6 120 30",
                                                       "structSetPeer ptr 1 ptr"}));
    const UXNode& n = nodeOf(*control);
    EXPECT_EQ(n.spec, 0u);
    EXPECT_EQ(n.peer.lock(), control);
    EXPECT_EQ(n.selectable + n.editable + n.hidden + n.selected, 0);
    // Their titles stay out of the driver.
    control->setTitle("Other");
    EXPECT_EQ(driver->count("structSetSpec"), 0u);
    TearDown();
  }
}

}  // namespace
}  // namespace quorl::test
