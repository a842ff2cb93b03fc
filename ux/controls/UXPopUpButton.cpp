// UXPopUpItem and UXPopUpButton.
#include "ux/controls/UXPopUpButton.h"

#include "foundation/Array.h"
#include "foundation/String.h"
#include "ux/core/UXApplication.h"
#include "ux/core/UXGraphics.h"
#include "ux/core/UXViewDriver.h"

namespace quorl {

Ref<String> UXPopUpItem::description() const {
  const uint16_t values[] = {uint16_t(tag)};
  return String::_classDescribe("UXPopUpItem", values, 1, 0x1);
}

UXPopUpButton::UXPopUpButton() : items(make<Array>()) {}

void UXPopUpButton::attachTo(const Ref<UXViewTree>& tree, UXRect frame) { uxAttachPeer(*this, tree, frame); }

void UXPopUpButton::mouseDown(UXEvent&) {
  if (!isEnabled() || !gDriver) return;
  const UXRect f = absoluteFrame();
  // The bottom edge is summed in 32 bits: a wrapped 16-bit edge would open
  // the menu far above the control.
  const int32_t chosen = gDriver->runPopupMenu(this, f.x(), int32_t(f.y()) + f.h());
  if (chosen < 0 || uint32_t(chosen) >= itemCount()) return;
  selectItem(chosen);
  redraw();
  sendAction();
}

void UXPopUpButton::drawRect(UXGraphics& g, UXRect rect) {
  const UXRect b = drawBounds(rect);
  g.drawTheme("popup", UXRect(0, 0, b.w(), b.h()));
  g.drawText(selectedTitle(), 8, int16_t((int32_t(b.h()) - 12) / 2), 1, 0);
}

Ref<String> UXPopUpButton::description() const {
  const uint16_t values[] = {uint16_t(selectedIndex)};
  return String::_classDescribe("UXPopUpButton", values, 1, 0x1);
}

void UXPopUpButton::addItem(const char* itemTitle, int32_t tag) {
  Ref<UXPopUpItem> item = make<UXPopUpItem>();
  item->title = itemTitle ? itemTitle : "";
  item->tag = tag;
  items->add(item);
  if (selectedIndex < 0) selectedIndex = 0;
}

void UXPopUpButton::selectItem(int32_t i) {
  if (i >= 0 && uint32_t(i) < itemCount()) selectedIndex = i;
}

const char* UXPopUpButton::selectedTitle() const {
  return selectedIndex < 0 ? "" : itemTitle(uint32_t(selectedIndex));
}

uint32_t UXPopUpButton::itemCount() const { return items->count(); }

const char* UXPopUpButton::itemTitle(uint32_t i) const {
  if (i >= items->count()) return "";
  Ref<UXPopUpItem> item = cast<UXPopUpItem>(items->get(i));
  return item ? item->title : "";
}

int32_t UXPopUpButton::itemTag(uint32_t i) const {
  if (i >= items->count()) return 0;
  Ref<UXPopUpItem> item = cast<UXPopUpItem>(items->get(i));
  return item ? item->tag : 0;
}

void UXPopUpButton::applyNativePick(int32_t index) {
  selectItem(index);
  sendAction();
}

}  // namespace quorl
