// The file panel's list, header, background, group box and alert record.
#include "ux/panels/UXFilePanelViews.h"

#include <algorithm>

#include "foundation/String.h"
#include "ux/core/UXApplication.h"
#include "ux/core/UXEvent.h"
#include "ux/core/UXGraphics.h"
#include "ux/core/UXViewDriver.h"
#include "ux/core/UXWindow.h"
#include "ux/panels/UXFilePanel.h"

namespace quorl {

namespace {
constexpr uint32_t kWhite = 0, kBlack = 1, kLightGrey = 8, kGrey = 9, kLightBlue = 250;

// The view's size: its node's frame while attached, else the drawn rectangle.
void sizeOf(const UXView& view, UXRect rect, int32_t& w, int32_t& h) {
  const UXRect f = view.isAttached() ? view.frame() : rect;
  w = f.w();
  h = f.h();
}
}  // namespace

// ---------------------------------------------------------------------------
// The list

void UXFileListView::thumb(int32_t h, uint32_t count, int32_t top, int32_t& position, int32_t& length) {
  const int32_t track = h - 2 * kStrip;
  const int64_t n = count;
  length = int32_t(int64_t(track) * std::min<int64_t>(n, 10) / std::max<int64_t>(n, 1));
  if (length < 12) length = 12;
  position = int32_t(int64_t(track - length) * top / std::max<int64_t>(n - 10, 1)) + kStrip;
}

void UXFileListView::drawRect(UXGraphics& g, UXRect rect) {
  int32_t w = 0, h = 0;
  sizeOf(*this, rect, w, h);
  const int32_t rowsW = w - kStrip;
  g.fillRect(UXRect(0, 0, rowsW, h), kWhite);
  Ref<UXFilePanel> p = panel.lock();
  if (!p) return;
  const uint32_t count = uint32_t(p->visible.size());
  for (int32_t i = 0; i < int32_t(UXFilePanel::kVisibleRows) && uint32_t(p->top + i) < count; ++i) {
    const int32_t y = kRowHeight * i;
    const UXFileRow& row = *p->visible[size_t(p->top + i)];
    if (p->top + i == p->selected) g.fillRect(UXRect(0, y, rowsW, kRowHeight), kLightBlue);
    const std::string line = (row.isDir ? "> " : "  ") + row.name;
    g.drawText(line.c_str(), 6, int16_t(y + 4), kBlack, 0);
    if (!row.isDir && !UXFilePanel::isDotDot(row.name) && !p->recentsMode) {
      char text[8];
      UXFilePanel::formatSize(row.size, text);
      const int32_t len = int32_t(std::char_traits<char>::length(text));
      g.drawText(text, int16_t(w - 20 - 6 * len), int16_t(y + 4), kBlack, 0);
    }
  }
  g.fillRect(UXRect(rowsW, 0, kStrip, h), kGrey);
  g.fillTriangle(int16_t(w - 7), 3, int16_t(w - 11), 11, int16_t(w - 3), 11, kWhite);
  g.fillTriangle(int16_t(w - 11), int16_t(h - 11), int16_t(w - 3), int16_t(h - 11), int16_t(w - 7), int16_t(h - 3),
                 kWhite);
  int32_t position = 0, length = 0;
  thumb(h, count, p->top, position, length);
  g.fillRect(UXRect(w - 12, position, 10, length), kWhite);
}

void UXFileListView::mouseDown(UXEvent& event) {
  Ref<UXFilePanel> p = panel.lock();
  if (!p) return;
  const UXRect abs = absoluteFrame();
  const int32_t w = abs.w(), h = abs.h();
  const int16_t dx = int16_t(event.x - abs.x()), dy = int16_t(event.y - abs.y());
  if (dx < w - kStrip) {
    p->rowClicked(p->top + dy / kRowHeight);
    return;
  }
  if (dy < kStrip) {
    p->scrollBy(-1);
    return;
  }
  if (dy > h - kStrip) {
    p->scrollBy(1);
    return;
  }
  // The thumb follows the pointer until the button is released; the window
  // is redrawn at every step since no event is handled meanwhile.
  auto redraw = [&p] {
    if (p->window) p->window->display();
    gNeedsDisplay = 0;
  };
  p->setTopFromY(dy - kStrip, h - 2 * kStrip);
  redraw();
  int32_t x = 0, y = 0;
  while (gDriver && gDriver->trackDragStep(x, y)) {
    p->setTopFromY(y - absoluteFrame().y() - kStrip, h - 2 * kStrip);
    redraw();
  }
}

// ---------------------------------------------------------------------------
// The header

void UXFileHeader::drawRect(UXGraphics& g, UXRect rect) {
  int32_t w = 0, h = 0;
  sizeOf(*this, rect, w, h);
  Ref<UXFilePanel> p = panel.lock();
  const uint32_t key = p ? p->sortKey : 0;
  const bool up = p ? p->ascending != 0 : true;
  g.drawTheme(key != 1 ? "header.pressed" : "header", UXRect(0, 0, w - kSizeZone, h));
  g.drawTheme(key == 1 ? "header.pressed" : "header", UXRect(w - kSizeZone, 0, kSizeZone - 14, h));
  g.drawText("Name", 6, 3, kBlack, 0);
  g.drawText("Size", int16_t(w - 82), 3, kBlack, 0);
  const int32_t r = key == 1 ? w - 14 : w - kSizeZone;
  if (up) g.fillTriangle(int16_t(r - 14), 13, int16_t(r - 6), 13, int16_t(r - 10), 5, kBlack);
  else g.fillTriangle(int16_t(r - 14), 5, int16_t(r - 6), 5, int16_t(r - 10), 13, kBlack);
  g.drawLine(0, int16_t(h - 1), int16_t(w), int16_t(h - 1), kBlack);
}

void UXFileHeader::mouseDown(UXEvent& event) {
  Ref<UXFilePanel> p = panel.lock();
  if (!p) return;
  const UXRect abs = absoluteFrame();
  const int32_t dx = event.x - abs.x();
  p->sortBy(dx >= abs.w() - kSizeZone ? 1 : 0);
}

// ---------------------------------------------------------------------------
// Background and group box

void UXFilePanelBack::drawRect(UXGraphics& g, UXRect rect) { g.fillRect(UXRect(0, 0, rect.w(), rect.h()), kLightGrey); }

void UXGroupBox::drawRect(UXGraphics& g, UXRect rect) {
  int32_t w = 0, h = 0;
  sizeOf(*this, rect, w, h);
  g.fillRect(UXRect(0, 8, 1, h - 8), kGrey);
  g.fillRect(UXRect(w - 1, 8, 1, h - 8), kGrey);
  g.fillRect(UXRect(0, h - 1, w, 1), kGrey);
  g.fillRect(UXRect(0, 8, w, 1), kGrey);
  if (title.empty()) return;
  g.fillRect(UXRect(6, 1, 60, 14), kLightGrey);
  g.drawText(title.c_str(), 10, 1, kBlack, 0);
}

// ---------------------------------------------------------------------------
// The alert record

void UXAlert::addLine(const std::string& line) {
  if (!message.empty()) message += '|';
  message += line;
}

void UXAlert::addButton(const std::string& title) {
  if (!buttons.empty()) buttons += '|';
  buttons += title;
}

int32_t UXAlert::run() const {
  return gDriver ? gDriver->alertRun(style, message.c_str(), buttons.c_str(), extra) : 0;
}

Ref<String> UXAlert::description() const {
  const uint16_t values[] = {uint16_t(style), uint16_t(extra)};
  return String::_classDescribe(classNameC(), values, 2, 0x3);
}

}  // namespace quorl
