// Check box, radio button and radio group.
#include "ux/controls/UXCheckbox.h"

#include <algorithm>

#include "foundation/Array.h"
#include "foundation/String.h"
#include "ux/core/UXGraphics.h"
#include "ux/core/UXViewDriver.h"

namespace quorl {

namespace {

constexpr int32_t kArtSize = 21;
constexpr int16_t kTitleX = 24;

// Top of the art: centred in height, never above the frame.
int16_t artTop(int16_t h) { return int16_t(std::max<int16_t>(0, int16_t((int32_t(h) - kArtSize) / 2))); }
// Top of the title, centred for a 12-pixel line; not clamped.
int16_t titleTop(int16_t h) { return int16_t((int32_t(h) - 12) / 2); }

}  // namespace

// ---------------------------------------------------------------------------
// Check box

void UXCheckbox::attachTo(const Ref<UXViewTree>& tree, UXRect frame) {
  uxAttachPeerSpec(*this, tree, frame, uxSpecOfText(title));
}

void UXCheckbox::mouseDown(UXEvent&) {
  if (!isEnabled()) return;
  state = state == 0 ? 1 : 0;
  redraw();
  sendAction();
}

void UXCheckbox::drawRect(UXGraphics& g, UXRect rect) {
  const UXRect b = drawBounds(rect);
  const uint32_t ci = !isAttached() || isEnabled() ? 1 : 8;
  g.drawTheme(state == 1 ? "check.selected" : "check", UXRect(0, artTop(b.h()), kArtSize, kArtSize));
  g.drawText(title, kTitleX, titleTop(b.h()), ci, 0);
}

Ref<String> UXCheckbox::description() const {
  const uint16_t values[] = {state};
  return String::_classDescribe("UXCheckbox", values, 1, 0);
}

// ---------------------------------------------------------------------------
// Radio button

void UXRadioButton::attachTo(const Ref<UXViewTree>& tree, UXRect frame) {
  uxAttachPeerSpec(*this, tree, frame, uxSpecOfText(title));
}

void UXRadioButton::mouseDown(UXEvent&) {
  if (!isEnabled()) return;
  if (Ref<UXRadioGroup> g = group.lock()) {
    g->select(this);
  } else {
    selected = 1;
    redraw();
  }
  sendAction();
}

void UXRadioButton::drawRect(UXGraphics& g, UXRect rect) {
  const UXRect b = drawBounds(rect);
  const uint32_t ci = !isAttached() || isEnabled() ? 1 : 8;
  const int16_t y0 = artTop(b.h());
  if (g.hasThemeArt()) {
    g.drawTheme(selected ? "radio.selected" : "radio", UXRect(0, y0, kArtSize, kArtSize));
  } else {
    const int16_t cy = int16_t(y0 + 10);
    g.fillCircle(10, cy, 8, 9);
    g.fillCircle(10, cy, 7, 0);
    if (selected) g.fillCircle(10, cy, 4, 1);
  }
  g.drawText(title, kTitleX, titleTop(b.h()), ci, 0);
}

Ref<String> UXRadioButton::description() const {
  const uint16_t values[] = {selected};
  return String::_classDescribe("UXRadioButton", values, 1, 0);
}

// ---------------------------------------------------------------------------
// Radio group

UXRadioGroup::UXRadioGroup() : buttons(make<Array>()) {}

void UXRadioGroup::select(Ptr<UXRadioButton> chosen) {
  for (uint32_t i = 0; i < buttons->count(); i++) {
    Ref<UXRadioButton> b = cast<UXRadioButton>(buttons->get(i));
    if (!b) continue;
    b->selected = b.get() == chosen.get() ? 1 : 0;
    b->redraw();
  }
}

}  // namespace quorl
