// UXTextView, part 1: model, kept layout, line model, drawing, mouse and
// wheel, scrolling to the caret, notifications.
#include "ux/text/UXTextView.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "foundation/String.h"
#include "ux/core/UXApplication.h"
#include "ux/core/UXEvent.h"
#include "ux/core/UXGraphics.h"
#include "ux/core/UXViewDriver.h"
#include "ux/core/UXViewTree.h"

namespace quorl {

namespace {

bool isContinuation(uint8_t b) { return (b & 0xC0) == 0x80; }

}  // namespace

uint8_t UXTextView::kind() const { return gDriver && gDriver->hasTextViewSetAll() ? 18 : 1; }

void UXTextView::attachTo(const Ref<UXViewTree>& newTree, UXRect frame) {
  UXView::attachTo(newTree, frame);
  Ref<UXViewTree> t = tree.lock();
  if (t && gDriver) gDriver->structSetPeer(t->driverTree, int16_t(node), this);
}

// ---------------------------------------------------------------------------
// The kept layout.

int32_t UXTextView::wrapWidth() const {
  const int32_t w = int16_t(uint16_t(frame().w()) - 8);
  return w < 9 ? 8 : w;
}

int32_t UXTextView::lineHeight(int32_t start, int32_t end) {
  int32_t h = base();
  UXTextStyle style;
  for (int32_t pos = start; pos < end;) {
    UXTextLayout::styleAt(*text, pos, style);
    h = std::max<int32_t>(h, style.signedSize());
    pos = int32_t(UXTextLayout::styleEnd(text, uint32_t(pos), end));
  }
  return h + 5;
}

void UXTextView::rewrapAll() {
  layout_.lines.clear();
  UXTextLayout::wrapInto(*text, 0, text->byteLength(), layout_.wrapWidth, uint32_t(layout_.base), layout_.lines);
  layout_.heights.resize(layout_.lines.size());
  for (size_t i = 0; i < layout_.lines.size(); i++)
    layout_.heights[i] = lineHeight(layout_.lines[i].start, layout_.lines[i].end());
  layout_.tops.resize(layout_.lines.size() + 1);
  layout_.topsKnown = 0;
}

// Lines never cross a newline, so an edit changes only the lines of the
// paragraphs it touches; the lines after them move by the change of length.
void UXTextView::rewrapEdit(const AttributedString::Edit& edit) {
  const char* b = text->text->cString();
  const int32_t len = text->byteLength();
  const int32_t delta = edit.inserted - edit.removed;
  int32_t ps = std::clamp(edit.start, 0, len);
  while (ps > 0 && b[ps - 1] != '\n') ps--;
  int32_t pe = std::clamp(edit.start + edit.inserted, 0, len);
  if (const void* nl = std::memchr(b + pe, '\n', size_t(len - pe))) pe = int32_t(static_cast<const char*>(nl) - b);
  else pe = len;
  const int32_t regionEnd = pe < len ? pe + 1 : len;
  const int32_t oldPe = pe - delta;

  std::vector<UXLineSpan>& lines = layout_.lines;
  auto startLess = [](const UXLineSpan& l, int32_t v) { return l.start < v; };
  const size_t first = size_t(std::lower_bound(lines.begin(), lines.end(), ps, startLess) - lines.begin());
  size_t last = first;
  while (last < lines.size() && lines[last].start <= oldPe) last++;

  std::vector<UXLineSpan> fresh;
  UXTextLayout::wrapInto(*text, ps, regionEnd, layout_.wrapWidth, uint32_t(layout_.base), fresh);
  std::vector<int32_t> freshHeights(fresh.size());
  for (size_t i = 0; i < fresh.size(); i++) freshHeights[i] = lineHeight(fresh[i].start, fresh[i].end());

  if (delta != 0)
    for (size_t i = last; i < lines.size(); i++) lines[i].start += delta;
  const size_t replaced = last - first;
  if (fresh.size() != replaced) {
    lines.erase(lines.begin() + first, lines.begin() + last);
    lines.insert(lines.begin() + first, fresh.begin(), fresh.end());
    layout_.heights.erase(layout_.heights.begin() + first, layout_.heights.begin() + last);
    layout_.heights.insert(layout_.heights.begin() + first, freshHeights.begin(), freshHeights.end());
  } else {
    std::copy(fresh.begin(), fresh.end(), lines.begin() + first);
    std::copy(freshHeights.begin(), freshHeights.end(), layout_.heights.begin() + first);
  }
  layout_.tops.resize(lines.size() + 1);
  layout_.topsKnown = std::min(layout_.topsKnown, first + 1);
}

void UXTextView::updateLayout() {
  const int32_t ww = wrapWidth();
  const bool sameKey = layout_.valid && layout_.serial == text->serial() && layout_.wrapWidth == ww &&
                       layout_.base == base() && layout_.driver == gDriver.get();
  if (sameKey && layout_.version == text->version()) return;
  if (sameKey && layout_.version + 1 == text->version()) {
    rewrapEdit(text->lastEdit());
  } else {
    layout_.wrapWidth = ww;
    layout_.base = base();
    layout_.driver = gDriver.get();
    layout_.serial = text->serial();
    rewrapAll();
  }
  layout_.version = text->version();
  layout_.valid = true;
}

const std::vector<UXLineSpan>& UXTextView::layoutLines() {
  updateLayout();
  return layout_.lines;
}

const std::vector<int32_t>& UXTextView::layoutHeights() {
  updateLayout();
  return layout_.heights;
}

void UXTextView::extendTops(size_t want, int32_t limit) {
  std::vector<int32_t>& tops = layout_.tops;
  want = std::min(want, layout_.lines.size());
  if (layout_.topsKnown == 0) {
    tops[0] = 0;
    layout_.topsKnown = 1;
  }
  size_t i = layout_.topsKnown;
  for (; i <= want && tops[i - 1] <= limit; i++) tops[i] = tops[i - 1] + layout_.heights[i - 1];
  layout_.topsKnown = std::max(layout_.topsKnown, i);
}

int32_t UXTextView::lineTop(uint32_t line) {
  updateLayout();
  const size_t want = std::min<size_t>(line, layout_.lines.size());
  extendTops(want, INT32_MAX);
  return layout_.tops[want];
}

void UXTextView::linesInView(uint32_t& first, uint32_t& end) {
  updateLayout();
  const int32_t h = frame().h();
  const uint32_t n = uint32_t(layout_.lines.size());
  first = end = n;
  if (n == 0) return;
  // Line i lies at y = 4 - scrollY + top(i). Lines with y + height < 0 are
  // above the view; drawing stops at the first line with y > h. The tops
  // are needed only as far as that line.
  const int32_t origin = 4 - scrollY;
  extendTops(n, h - origin);
  const std::vector<int32_t>& tops = layout_.tops;
  const size_t known = layout_.topsKnown;  // tops[0 .. known)
  // The first line whose bottom, the next line's top, is not above 0.
  auto firstShown = std::upper_bound(tops.begin() + 1, tops.begin() + known, -origin - 1);
  if (firstShown == tops.begin() + known) return;  // every line is above the view
  const size_t f = size_t(firstShown - tops.begin()) - 1;
  auto below = std::upper_bound(tops.begin() + f, tops.begin() + std::min<size_t>(known, n), h - origin);
  first = uint32_t(f);
  end = uint32_t(below - tops.begin());
}

// ---------------------------------------------------------------------------
// The line model.

Ref<Array> UXTextView::drawnLines() {
  const std::vector<UXLineSpan>& lines = layoutLines();
  Ref<Array> out = Array::withCapacity(uint32_t(lines.size()));
  for (const UXLineSpan& l : lines) out->add(Range::with(l.start, l.length));
  return out;
}

uint32_t UXTextView::lineHeightOf(Ptr<const Range> line) {
  if (!line) return uint32_t(base() + 5);
  return uint32_t(lineHeight(line->start, line->start + line->length));
}

int32_t UXTextView::lineX(const UXLineSpan& line, int32_t index, int32_t width) {
  const int32_t lineWidth = int32_t(UXTextLayout::spanWidthAttr(text, line.start, line.end(), uint32_t(base())));
  int32_t alignment = 0;
  if (text->byteLength() > 0) {
    UXTextStyle style;
    UXTextLayout::styleAt(*text, line.start < text->byteLength() ? line.start : text->byteLength() - 1, style);
    alignment = style.alignment;
  }
  int32_t offset = 0;
  if (alignment == 1) offset = width - lineWidth;
  else if (alignment == 2) offset = (width - lineWidth) / 2;
  if (offset < 0) offset = 0;
  return offset + 4 + int32_t(UXTextLayout::spanWidthAttr(text, line.start, index, uint32_t(base())));
}

int32_t UXTextView::xIn(Ptr<const Range> line, int32_t index, int32_t width) {
  if (!line) return 4;
  return lineX(UXLineSpan{line->start, line->length}, index, width);
}

uint16_t UXTextView::lineOf(Ptr<const Array> lines, int32_t index) {
  if (!lines || lines->count() == 0) return 0;
  const uint32_t n = lines->count();
  for (uint32_t i = 0; i < n; i++) {
    if (i + 1 == n) return uint16_t(i);
    const Range* next = static_cast<const Range*>(lines->get(i + 1).get());
    if (index < next->start) return uint16_t(i);
  }
  return uint16_t(n - 1);
}

uint32_t UXTextView::lineIndexOf(int32_t index) {
  const std::vector<UXLineSpan>& lines = layoutLines();
  if (lines.size() < 2) return 0;
  // The number of lines after the first that start at or before index.
  auto it = std::upper_bound(lines.begin() + 1, lines.end(), index,
                             [](int32_t v, const UXLineSpan& l) { return v < l.start; });
  return uint32_t(it - lines.begin() - 1);
}

uint32_t UXTextView::nextChar(int32_t i) const {
  const int32_t len = text->byteLength();
  int32_t j = i + 1;
  while (j < len && j >= 0 && isContinuation(text->text->byteAt(uint32_t(j)))) j++;
  return uint32_t(std::max(std::min(j, len), 0));
}

uint32_t UXTextView::prevChar(int32_t i) const {
  const int32_t len = text->byteLength();
  int32_t j = i - 1;
  while (j > 0 && j < len && isContinuation(text->text->byteAt(uint32_t(j)))) j--;
  return uint32_t(std::max(j, 0));
}

uint32_t UXTextView::charStart(int32_t i) const {
  const int32_t len = text->byteLength();
  i = std::clamp(i, 0, len);
  while (i > 0 && i < len && isContinuation(text->text->byteAt(uint32_t(i)))) i--;
  return uint32_t(i);
}

uint32_t UXTextView::charEnd(int32_t i) const {
  const int32_t len = text->byteLength();
  i = std::clamp(i, 0, len);
  while (i > 0 && i < len && isContinuation(text->text->byteAt(uint32_t(i)))) i++;
  return uint32_t(i);
}

uint32_t UXTextView::nearestBoundary(const UXLineSpan& line, int32_t x, int32_t width) {
  int64_t best = 1000000;
  uint32_t result = uint32_t(line.start);
  for (int32_t b = line.start;;) {
    const int64_t d = std::llabs(int64_t(lineX(line, b, width)) - x);
    if (d < best) {
      best = d;
      result = uint32_t(b);
    }
    if (b >= line.end()) break;
    b = std::min<int32_t>(int32_t(nextChar(b)), line.end());
  }
  return result;
}

uint32_t UXTextView::indexAt(int32_t x, int32_t y) {
  const std::vector<UXLineSpan>& lines = layoutLines();
  if (lines.empty()) return uint32_t(text->byteLength());
  const std::vector<int32_t>& heights = layout_.heights;
  int32_t top = 4 - scrollY;
  size_t chosen = lines.size() - 1;
  for (size_t i = 0; i < lines.size(); i++) {
    const int32_t bottom = top + heights[i];
    if (y < bottom) {
      chosen = i;
      break;
    }
    top = bottom;
  }
  return nearestBoundary(lines[chosen], x, frame().w() - 8);
}

// ---------------------------------------------------------------------------
// Drawing.

void UXTextView::drawRect(UXGraphics& g, UXRect) {
  const UXRect f = frame();
  const int32_t w = f.w(), h = f.h();
  const uint32_t bg = backgroundColor >= 0 ? uint32_t(backgroundColor) : 0xFFFFFF;
  g.fillRectRGB(UXRect(0, 0, w, h), (bg >> 16) & 0xFF, (bg >> 8) & 0xFF, bg & 0xFF);
  g.drawLine(0, 0, int16_t(w - 1), 0, 9);
  g.drawLine(0, int16_t(h - 1), int16_t(w - 1), int16_t(h - 1), 9);
  g.drawLine(0, 0, 0, int16_t(h - 1), 9);
  g.drawLine(int16_t(w - 1), 0, int16_t(w - 1), int16_t(h - 1), 9);

  uint32_t first = 0, end = 0;
  linesInView(first, end);
  const std::vector<UXLineSpan>& lines = layout_.lines;
  const std::vector<int32_t>& heights = layout_.heights;
  const int32_t width = w - 8;
  const uint32_t caretLine = lineIndexOf(int32_t(caret));
  const char* bytes = text->text->cString();
  const int32_t baseSz = base();
  const uint32_t selEnd = selectionStart + selectionLength;
  int32_t y = 4 - scrollY + lineTop(first);
  std::string piece;
  UXTextStyle style;
  for (uint32_t li = first; li < end; li++) {
    const UXLineSpan& line = lines[li];
    const int32_t lh = heights[li];
    const int32_t s = std::max<int32_t>(int32_t(selectionStart), line.start);
    const int32_t e = std::min<int32_t>(int32_t(selEnd), line.end());
    if (selectionLength > 0 && s < e) {
      const int32_t xs = lineX(line, s, width), xe = lineX(line, e, width);
      const uint32_t sc = selectionColor >= 0 ? uint32_t(selectionColor) : 0xB4CDF5;
      g.fillRectRGB(UXRect(xs, y, xe - xs, lh), (sc >> 16) & 0xFF, (sc >> 8) & 0xFF, sc & 0xFF);
    }
    for (int32_t pos = line.start; pos < line.end();) {
      UXTextLayout::styleAt(*text, pos, style);
      const int32_t stretchEnd = int32_t(UXTextLayout::styleEnd(text, uint32_t(pos), line.end()));
      piece.assign(bytes + pos, size_t(stretchEnd - pos));
      std::replace(piece.begin(), piece.end(), '\n', ' ');
      const int32_t x = lineX(line, pos, width);
      const int32_t size = style.signedSize() >= 1 ? style.signedSize() : baseSz;
      const int32_t colour = style.color >= 0 ? style.color : (textColor >= 0 ? textColor : 0);
      const uint32_t r = (uint32_t(colour) >> 16) & 0xFF, gr = (uint32_t(colour) >> 8) & 0xFF,
                     bl = uint32_t(colour) & 0xFF;
      const char* face = (style.monospace || monospace) ? "monospace" : "";
      g.drawTextFontRGBA(piece.c_str(), int16_t(x), int16_t(y + lh - size - 3), face, size, style.bold ? 700 : 400,
                         style.italic, r, gr, bl, 255);
      if (style.underline) g.fillRectRGB(UXRect(x, y + lh - 3, lineX(line, stretchEnd, width) - x, 1), r, gr, bl);
      pos = stretchEnd;
    }
    if (selectionLength == 0 && caretLine == li) {
      const int32_t cc = caretColor >= 0 ? caretColor : (textColor >= 0 ? textColor : 0);
      g.fillRectRGB(UXRect(lineX(line, int32_t(caret), width), y + 1, 1, lh - 2), (uint32_t(cc) >> 16) & 0xFF,
                    (uint32_t(cc) >> 8) & 0xFF, uint32_t(cc) & 0xFF);
    }
    y += lh;
  }
}

// ---------------------------------------------------------------------------
// Mouse, wheel, scrolling and notifications.

void UXTextView::mouseDown(UXEvent& event) {
  if (nativeWindow >= 0) return;
  const UXRect a = absoluteFrame();
  moveTo(int32_t(indexAt(event.x - a.x(), event.y - a.y())), false);
}

void UXTextView::mouseDragged(UXEvent& event) {
  if (nativeWindow >= 0) return;
  const UXRect a = absoluteFrame();
  moveTo(int32_t(indexAt(event.x - a.x(), event.y - a.y())), true);
}

void UXTextView::scrollWheel(UXEvent& event) {
  if (nativeWindow >= 0) return;
  const int64_t next = int64_t(scrollY) - int64_t(base() + 5) * event.a * 3;
  scrollY = int32_t(std::clamp<int64_t>(next, 0, INT32_MAX));
  setNeedsDisplayInRect(absoluteFrame());
}

void UXTextView::scrollToCaret() {
  updateLayout();
  const int32_t h = frame().h();
  int32_t y = 0, lh = base() + 5;
  if (!layout_.lines.empty()) {
    const uint32_t c = lineIndexOf(int32_t(caret));
    y = lineTop(c);
    lh = layout_.heights[c];
  }
  if (y < scrollY) scrollY = y;
  else if (y + lh > scrollY + h - 8) scrollY = y + lh - (h - 8);
}

void UXTextView::fireChange() {
  setNeedsDisplayInRect(absoluteFrame());
  Ref<Object> d = delegate.lock();
  if (auto* receiver = dynamic_cast<UXTextViewDelegate*>(d.get())) receiver->textDidChange(*this);
}

void UXTextView::fireSelection() {
  Ref<Object> d = delegate.lock();
  if (auto* receiver = dynamic_cast<UXTextViewDelegate*>(d.get())) receiver->selectionDidChange(*this);
}

Ref<String> UXTextView::description() const {
  const uint16_t values[14] = {uint16_t(selectionStart), uint16_t(selectionLength), uint16_t(nativeWindow),
                               uint16_t(nativeId),       typing,
                               uint16_t(caret),          uint16_t(anchor),
                               uint16_t(scrollY),        uint16_t(backgroundColor),
                               uint16_t(textColor),      uint16_t(caretColor),
                               uint16_t(selectionColor), uint16_t(baseSize),
                               monospace};
  return String::_classDescribe("UXTextView", values, 14, 0xEF);
}

}  // namespace quorl
