// Progress and the progress bar: fractions of nested models, the per-mille
// value the native bar shows, and the drawing.
#include "ControlTest.h"
#include "foundation/Array.h"
#include "ux/controls/UXProgressBar.h"

namespace quorl::test {
namespace {

Ref<Progress> progressOf(int64_t total, int64_t completed) {
  auto p = make<Progress>();
  p->total = total;
  p->completed = completed;
  return p;
}

void addChild(const Ref<Progress>& parent, const Ref<Progress>& sub, int64_t pending) {
  auto c = make<ProgressChild>();
  c->progress = sub;
  c->pending = pending;
  parent->children->add(c);
}

TEST(ProgressTest, FractionsAndPerMille) {
  struct Case {
    const char* name;
    Ref<Progress> model;
    double fraction;
    uint32_t mille;
  };
  auto nested = progressOf(10, 4);
  addChild(nested, progressOf(3, 1), 6);
  auto deadChild = progressOf(10, 2);
  addChild(deadChild, progressOf(0, 50), 8);  // a child without total counts 0
  auto negative = progressOf(10, 2);
  addChild(negative, progressOf(1, 1), -7);
  auto twoLevels = progressOf(4, 0);
  auto mid = progressOf(2, 1);
  addChild(mid, progressOf(2, 2), 1);  // mid: (1 + 1) / 2 = 1
  addChild(twoLevels, mid, 2);
  const Case cases[] = {
      {"half", progressOf(10, 5), 0.5, 500},
      {"nested", nested, 0.6, 600},
      {"overshoot", progressOf(10, 15), 1.0, 1000},
      {"no total", progressOf(0, 5), 0.0, 0},
      {"negative completed", progressOf(10, -3), 0.0, 0},
      {"child without total", deadChild, 0.2, 200},
      {"negative pending clamps at 0", negative, 0.0, 0},
      {"two levels", twoLevels, 0.5, 500},
      {"just above 0.1%", progressOf(10000, 14), 0.0014, 1},
      {"truncated, not rounded", progressOf(10000, 9999), 0.9999, 999},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_DOUBLE_EQ(c.model->fractionCompleted(), c.fraction);
    auto bar = make<UXProgressBar>();
    bar->progress = c.model;
    EXPECT_EQ(bar->nativeFractionMille(), c.mille);
    EXPECT_EQ(bar->isIndeterminate(), c.model->total < 1);
  }
}

TEST(ProgressTest, AModelThatContainsItselfStillAnswers) {
  // A model reachable from itself would recurse without end; the repeat
  // counts 0.
  auto a = progressOf(10, 2);
  auto b = progressOf(4, 2);
  addChild(a, b, 4);
  addChild(b, a, 2);  // b: (2 + 0 x 2) / 4 = 0.5 while a is on the path
  EXPECT_DOUBLE_EQ(a->fractionCompleted(), (2 + 0.5 * 4) / 10);
  auto self = progressOf(5, 1);
  addChild(self, self, 4);
  EXPECT_DOUBLE_EQ(self->fractionCompleted(), 0.2);
  // Entries that are not children, and children without a model, count 0.
  auto odd = progressOf(10, 3);
  odd->children->add(progressOf(1, 1));
  odd->children->add(make<ProgressChild>());
  EXPECT_DOUBLE_EQ(odd->fractionCompleted(), 0.3);
  // Break the cycles so the models are released.
  a->children->removeAll();
  b->children->removeAll();
  self->children->removeAll();
}

TEST(UXProgressBarTest, FilledWidthAndDrawing) {
  const std::string trough = "drawTheme \"progress\" 0,0,200,20";
  struct Case {
    Ref<Progress> model;
    int32_t filled;
    std::vector<std::string> lines;
  } cases[] = {
      {nullptr, 0, {trough, "drawTheme \"progress.indeterminate\" 0,0,200,20"}},
      {progressOf(0, 9), 0, {trough, "drawTheme \"progress.indeterminate\" 0,0,200,20"}},
      {progressOf(10, 5), 100, {trough, "drawTheme \"progress.bar\" 0,0,100,20"}},
      {progressOf(1000, 14), 2, {trough}},  // below three pixels: the trough alone
      {progressOf(200, 3), 3, {trough, "drawTheme \"progress.bar\" 0,0,3,20"}},
  };
  for (const Case& c : cases) {
    auto bar = make<UXProgressBar>();
    bar->progress = c.model;
    EXPECT_EQ(bar->filledWidth(200), c.filled);
    RecordingGraphics g;
    bar->drawRect(g, UXRect(0, 0, 200, 20));
    EXPECT_EQ(g.lines, c.lines);
  }
  auto bar = make<UXProgressBar>();
  bar->progress = progressOf(10000, 14);
  EXPECT_EQ(bar->filledWidth(1000), 1);
  bar->progress = progressOf(1, 1);
  EXPECT_EQ(bar->filledWidth(32767), 32767);  // no overflow at the widest frame
}

class UXProgressBarClick : public ControlTest {};

TEST_F(UXProgressBarClick, AnEnabledClickRunsTheAction) {
  auto bar = place(make<UXProgressBar>(), UXRect(0, 0, 100, 10));
  auto probe = make<ActionProbe>();
  bar->action = probe->block();
  UXEvent e;
  bar->mouseDown(e);
  EXPECT_EQ(probe->calls, 1);
  disable(*bar);
  bar->mouseDown(e);
  EXPECT_EQ(probe->calls, 1);
}

}  // namespace
}  // namespace quorl::test
