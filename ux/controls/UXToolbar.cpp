// UXToolbarItem and UXToolbar; sections follow UXToolbar.h.
//
// Layout sums are 64-bit: widths, margins and spacing are i16 each, but
// their sums over many items are not. Positions that become rectangle or
// text coordinates are clamped to 16 bits, never wrapped.
#include "ux/controls/UXToolbar.h"

#include <algorithm>
#include <cstring>

#include "foundation/Array.h"
#include "foundation/String.h"
#include "ux/controls/UXIcon.h"
#include "ux/core/UXClamp.h"
#include "ux/core/UXEvent.h"
#include "ux/core/UXGraphics.h"

namespace quorl {

// ---------------------------------------------------------------------------
// 1. One item.

Ref<String> UXToolbarItem::description() const {
  const uint16_t values[] = {uint16_t(itemKind), uint16_t(tag), uint16_t(width),
                             uint16_t(x),        uint16_t(laidWidth), visible};
  return String::_classDescribe("UXToolbarItem", values, 6, 0x1F);
}

// ---------------------------------------------------------------------------
// 2. The toolbar.

UXToolbar::UXToolbar() : items(make<Array>()) {}

Ref<UXToolbarItem> UXToolbar::itemAt(uint32_t i) const {
  if (!items || i >= items->count()) return nullptr;
  return cast<UXToolbarItem>(items->get(i));
}

void UXToolbar::attachTo(const Ref<UXViewTree>& newTree, UXRect frame) { uxAttachPeer(*this, newTree, frame); }

uint32_t UXToolbar::tbSlen(const char* text) { return text ? uint32_t(std::strlen(text)) : 0; }

void UXToolbar::layout(int16_t w) {
  hiddenCount = 0;
  uint32_t n = items ? items->count() : 0;
  if (n == 0) return;
  int64_t fixed = 0, flexCount = 0, present = 0;
  for (uint32_t i = 0; i < n; ++i) {
    Ref<UXToolbarItem> item = itemAt(i);
    if (!item) continue;  // not an item: takes no room
    ++present;
    if (item->itemKind == kUXToolbarFlexibleSpace) ++flexCount;
    else fixed += item->width;
  }
  if (present == 0) return;
  int64_t gaps = int64_t(spacing) * (present - 1);
  int64_t freeWidth = int64_t(w) - 2 * int64_t(margin) - fixed - gaps;
  int64_t flexWidth = flexCount >= 1 ? std::max<int64_t>(freeWidth, 0) / flexCount : 0;
  int64_t pos = margin;
  int64_t limit = int64_t(w) - margin;
  for (uint32_t i = 0; i < n; ++i) {
    Ref<UXToolbarItem> item = itemAt(i);
    if (!item) continue;
    int64_t iw = item->itemKind == kUXToolbarFlexibleSpace ? flexWidth : item->width;
    if (flexCount == 0 && pos + iw > limit) {
      // Hidden: x and laidWidth keep their old values, pos stays put.
      item->visible = 0;
      ++hiddenCount;
      continue;
    }
    item->visible = 1;
    item->x = uxClamp16(pos);
    item->laidWidth = uxClamp16(iw);
    pos += spacing + iw;
  }
}

uint32_t UXToolbar::itemAtLocalX(int16_t localX) const {
  uint32_t n = items ? items->count() : 0;
  for (uint32_t i = 0; i < n; ++i) {
    Ref<UXToolbarItem> item = itemAt(i);
    if (!item || !item->visible || item->itemKind != kUXToolbarButton) continue;
    if (item->x <= localX && int32_t(localX) < int32_t(item->x) + item->laidWidth) return i;
  }
  return kNotFound;
}

void UXToolbar::applyNativeItemClick(uint32_t commandId) {
  uint32_t n = items ? items->count() : 0;
  for (uint32_t i = 0; i < n; ++i) {
    Ref<UXToolbarItem> item = itemAt(i);
    if (item && item->tag == commandId) {
      clickedIndex = int32_t(std::min<uint32_t>(i, INT32_MAX));
      return;
    }
  }
}

void UXToolbar::mouseDown(UXEvent& event) {
  if (!isEnabled()) return;
  Ref<UXView> keep = self<UXView>();
  UXRect a = absoluteFrame();
  uint32_t i = itemAtLocalX(uxClamp16(int32_t(event.x) - a.x()));
  if (i == kNotFound || i > uint32_t(INT32_MAX)) return;
  clickedIndex = int32_t(i);
  setNeedsDisplayInRect(a);
  sendAction();
}

void UXToolbar::drawRect(UXGraphics& graphics, UXRect rect) {
  UXRect b = drawBounds(rect);
  int16_t w = b.w(), h = b.h();
  layout(w);
  graphics.fillRect(UXRect(0, 0, w, h), 8);
  int16_t textY = int16_t((h - 12) / 2);
  bool tall = h > 39;
  uint32_t n = items ? items->count() : 0;
  for (uint32_t i = 0; i < n; ++i) {
    Ref<UXToolbarItem> item = itemAt(i);
    if (!item || !item->visible) continue;
    int32_t x = item->x, lw = item->laidWidth;
    if (item->itemKind == kUXToolbarSeparator) {
      graphics.fillRect(UXRect(x, 4, 1, h - 8), 9);
      continue;
    }
    if (item->itemKind != kUXToolbarButton) continue;
    graphics.fillRect(UXRect(x, 2, lw, h - 4), int64_t(i) == clickedIndex ? 250 : 0);
    graphics.fillRect(UXRect(x, 2, lw, 1), 9);
    graphics.fillRect(UXRect(x, h - 3, lw, 1), 9);
    graphics.fillRect(UXRect(x, 2, 1, h - 4), 9);
    graphics.fillRect(UXRect(uxClamp16(int64_t(x) + lw - 1), 2, 1, h - 4), 9);

    bool hasIcon = item->image ? true : UXIcon::indexOf(item->iconName) >= 0;
    int32_t ix = tall ? x + (lw - 16) / 2 : x + 6;
    int32_t iy = tall ? 6 : (h - 16) / 2;
    if (item->image) {
      UXRect src(0, 0, int32_t(std::min<uint32_t>(item->image->width, INT16_MAX)),
                 int32_t(std::min<uint32_t>(item->image->height, INT16_MAX)));
      item->image->drawIn(graphics, src, UXRect(uxClamp16(ix), int32_t(iy), 16, 16), 255);
    } else if (hasIcon) {
      UXIcon::draw(graphics, item->iconName, ix, iy, 1);
    }

    // Titles are centred on an estimate of 6 pixels a byte.
    int64_t len = tbSlen(item->title);
    int64_t tx, ty;
    if (tall) {
      tx = std::max<int64_t>(x + 2, x + (lw - 6 * len) / 2);
      ty = hasIcon ? h - 16 : textY;
    } else {
      tx = x + (hasIcon ? 26 : 6);
      ty = textY;
    }
    graphics.drawText(item->title ? item->title : "", uxClamp16(tx), uxClamp16(ty), 1, 0);
  }
}

Ref<String> UXToolbar::description() const {
  const uint16_t values[] = {uint16_t(margin), uint16_t(spacing), uint16_t(iconSize), uint16_t(clickedIndex),
                             uint16_t(hiddenCount)};
  return String::_classDescribe("UXToolbar", values, 5, 0x1F);
}

}  // namespace quorl
