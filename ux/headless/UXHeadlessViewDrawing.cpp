// View drawing: the recording surface handed to a view's draw, moved to
// the view's place and the document's offset (UXWin32ViewDrawing.cpp on
// Win32).
#include <string>

#include "ux/headless/UXHeadlessDriver.h"
#include "ux/headless/UXHeadlessInternal.h"

namespace quorl {

using namespace headless;

UXGraphics* UXHeadlessDriver::beginViewDraw(int32_t x, int32_t y, int32_t w, int32_t h) {
  // Paint logs are replaced by every paint; drawing outside a paint would
  // grow the stray log without end, so its older half is dropped.
  if (painting_ == 0 && strayLines_.size() >= kMaxStrayLines)
    strayLines_.erase(strayLines_.begin(), strayLines_.begin() + ptrdiff_t(strayLines_.size() / 2));
  surface_.setOrigin(x - drawOffsetX_, y - drawOffsetY_);
  std::string s = "view ";
  appendInts(s, {x - drawOffsetX_, y - drawOffsetY_, w, h});
  surface_.note(s);
  return &surface_;
}

void UXHeadlessDriver::endViewDraw() { surface_.setOrigin(0, 0); }

void UXHeadlessDriver::setDrawOffset(int32_t x, int32_t y) {
  drawOffsetX_ = x;
  drawOffsetY_ = y;
}

bool UXHeadlessDriver::scrollsNatively() { return true; }

}  // namespace quorl
