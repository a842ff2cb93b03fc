// Progress, ProgressChild and UXProgressBar; sections follow UXProgressBar.h.
#include "ux/controls/UXProgressBar.h"

#include <vector>

#include "foundation/Array.h"
#include "foundation/String.h"
#include "ux/core/UXGraphics.h"

namespace quorl {

// ---------------------------------------------------------------------------
// 1. The model.

namespace {

// path: the models being summed, outermost first.
double fractionOn(const Progress& p, std::vector<const Progress*>& path) {
  if (p.total < 1) return 0.0;
  double sum = double(p.completed);
  path.push_back(&p);
  // The count is read each turn: the children are the owner's to change.
  for (uint32_t i = 0; p.children && i < p.children->count(); ++i) {
    Ref<ProgressChild> child = cast<ProgressChild>(p.children->get(i));
    if (!child || !child->progress) continue;
    const Progress* sub = child->progress.get();
    bool onPath = false;
    for (const Progress* q : path) onPath = onPath || q == sub;
    if (onPath) continue;
    sum += fractionOn(*sub, path) * double(child->pending);
  }
  path.pop_back();
  double f = sum / double(p.total);
  if (f < 0.0) return 0.0;
  if (f > 1.0) return 1.0;
  return f;
}

}  // namespace

Progress::Progress() : children(make<Array>()) {}

double Progress::fractionCompleted() const {
  std::vector<const Progress*> path;
  return fractionOn(*this, path);
}

Ref<String> Progress::description() const {
  const uint16_t values[] = {uint16_t(total), uint16_t(completed), flag};
  return String::_classDescribe("Progress", values, 3, 0x3);
}

Ref<String> ProgressChild::description() const {
  const uint16_t values[] = {uint16_t(pending)};
  return String::_classDescribe("_ProgressChild", values, 1, 0x1);
}

// ---------------------------------------------------------------------------
// 2. The bar.

void UXProgressBar::attachTo(const Ref<UXViewTree>& newTree, UXRect frame) {
  uxAttachPeer(*this, newTree, frame);
}

bool UXProgressBar::isIndeterminate() const { return !progress || progress->total < 1; }

uint32_t UXProgressBar::nativeFractionMille() const {
  if (!progress) return 0;
  return uint32_t(progress->fractionCompleted() * 1000.0);
}

int32_t UXProgressBar::filledWidth(int16_t width) const {
  if (!progress) return 0;
  return int32_t(width) * int32_t(nativeFractionMille()) / 1000;
}

void UXProgressBar::drawRect(UXGraphics& graphics, UXRect rect) {
  UXRect b = drawBounds(rect);
  UXRect whole(0, 0, b.w(), b.h());
  graphics.drawTheme("progress", whole);
  if (isIndeterminate()) {
    graphics.drawTheme("progress.indeterminate", whole);
    return;
  }
  int32_t fw = filledWidth(b.w());
  if (fw < 3) return;
  graphics.drawTheme("progress.bar", UXRect(0, 0, fw, b.h()));
}

Ref<String> UXProgressBar::description() const {
  const uint16_t values[] = {uint16_t(value)};
  return String::_classDescribe("UXProgressBar", values, 1, 0x1);
}

}  // namespace quorl
