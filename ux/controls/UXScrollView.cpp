// Sections:
//   2. Layout rules
//   3. Attaching, layout and scrolling
//   4. Drawing and input
//   5. Hit hooks and description
#include "ux/controls/UXScrollView.h"

#include <algorithm>

#include "foundation/Array.h"
#include "foundation/String.h"
#include "ux/controls/UXControl.h"
#include "ux/controls/UXScrollbar.h"
#include "ux/controls/UXTapRecord.h"
#include "ux/core/UXApplication.h"
#include "ux/core/UXEvent.h"
#include "ux/core/UXPainter.h"
#include "ux/core/UXShapePath.h"
#include "ux/core/UXViewDriver.h"
#include "ux/core/UXViewTree.h"

namespace quorl {

UXScrollView::UXScrollView() = default;
UXScrollView::~UXScrollView() = default;

// ---------------------------------------------------------------------------
// 2. Layout rules.

UXScrollLayout UXScrollLayout::compute(int32_t w, int32_t h, int32_t headerHeight, int32_t scrollerWidth,
                                       int32_t edge, int32_t inset, bool overflow, bool overflowX) {
  UXScrollLayout l;
  const int32_t bar = overflowX ? scrollerWidth : 0;
  l.clipWidth = overflow ? w - 2 * edge - scrollerWidth : w - 2 * edge;
  l.clip = UXRect(edge, headerHeight + edge, l.clipWidth, h - headerHeight - 2 * edge - bar);
  l.scroller =
      UXRect(w - scrollerWidth - edge, headerHeight + inset, scrollerWidth, h - headerHeight - 2 * inset - bar);
  if (overflowX) l.hscroller = UXRect(edge + inset, h - edge - scrollerWidth, l.clipWidth - inset, scrollerWidth);
  return l;
}

int32_t UXScrollLayout::maxScroll(int32_t documentHeight, int32_t viewport) {
  const int64_t m = int64_t(documentHeight) - viewport;
  return m < 1 ? 0 : int32_t(std::min<int64_t>(m, INT32_MAX));
}

int32_t UXScrollLayout::clampScroll(int64_t target, int32_t max) {
  if (target < 0) return 0;
  return target > max ? max : int32_t(target);
}

int32_t UXScrollLayout::pageStep(int32_t viewport, int32_t lineStep) {
  const int32_t step = viewport - lineStep;
  return step < lineStep ? lineStep : step;
}

int32_t UXScrollLayout::originFor(int32_t documentHeight, int32_t offset) {
  if (documentHeight <= UXScrollView::kMaxFrame || offset <= 0) return 0;
  return offset / UXScrollView::kOriginStep * UXScrollView::kOriginStep;
}

int32_t UXScrollLayout::documentFrameHeight(int32_t documentHeight, int32_t origin) {
  return std::clamp<int32_t>(documentHeight - origin, 0, UXScrollView::kMaxFrame);
}

// ---------------------------------------------------------------------------
// 3. Attaching, layout and scrolling.

void UXScrollView::attachTo(const Ref<UXViewTree>& t, UXRect frame) {
  if (!uxAttachPeer(*this, t, frame) || !gDriver) return;
  const int32_t w = frame.w(), h = frame.h();

  clipView = make<UXView>();
  uxAddChild(*this, clipView, UXRect(0, 0, w, h));
  t->setClipsOf(clipView->node, 1);
  clipView->setAutoresizeMask(kUXAutoresizeWidth | kUXAutoresizeHeight);

  documentView = make<UXView>();
  uxAddChild(*clipView, documentView, UXRect(0, 0, w, h));

  scroller = make<UXScrollbar>();
  scroller->scrollView = self<UXScrollView>();
  uxAddChild(*this, scroller, UXRect(w - scrollerWidth, 0, scrollerWidth, h));
  scroller->setAutoresizeMask(kUXAutoresizeRight | kUXAutoresizeHeight);

  if (cornerRadius > 0 || borderColor >= 0) applyShape();
}

bool UXScrollView::nativePath() const { return gDriver && gDriver->scrollsNatively(); }

int32_t UXScrollView::edgePx() const {
  if (nativePath()) return 0;
  return borderColor >= 0 ? 1 : 0;
}

void UXScrollView::applyShape() {
  Ref<UXViewTree> t = tree.lock();
  if (t && gDriver && !nativePath()) {
    const int32_t e = edgePx(), r = cornerRadius;
    t->setClipsOf(node, (r > 0 || e > 0) ? 1 : 0);
    gDriver->structSetClipShape(t->driverTree, int16_t(node), uint16_t(std::max(r - e, 0)), uint16_t(e));
    relayout();
  }
  setNeedsDisplayInRect(absoluteFrame());
}

int32_t UXScrollView::viewportPx() const {
  if (clipView) return clipView->frame().h();
  return frame().h() - headerHeight;
}

int32_t UXScrollView::viewportWidthPx() const {
  if (clipView) return clipView->frame().w();
  return frame().w();
}

int32_t UXScrollView::maxScroll() const { return UXScrollLayout::maxScroll(documentHeight, viewportPx()); }

int32_t UXScrollView::documentWidthPx() const { return std::max(documentWidth, viewportWidthPx()); }

int32_t UXScrollView::maxScrollX() const { return UXScrollLayout::maxScroll(documentWidth, viewportWidthPx()); }

int32_t UXScrollView::scrollPx() const {
  Ref<UXViewTree> t = tree.lock();
  if (gDriver && gDriver->scrollsNatively())
    return gDriver->nativeScrollPx(t ? gDriver->structObjects(t->driverTree) : nullptr, int16_t(node));
  return offset;
}

void UXScrollView::placeDocument() {
  Ref<UXViewTree> t = tree.lock();
  if (!documentView || !t || !gDriver) return;
  const bool native = nativePath();
  const int32_t x = native ? 0 : documentOriginX - offsetX;
  const int32_t y = native ? 0 : documentOrigin - offset;
  gDriver->structSetFrame(t->driverTree, int16_t(documentView->node), x, y,
                          UXScrollLayout::documentFrameHeight(documentWidthPx(), documentOriginX),
                          UXScrollLayout::documentFrameHeight(documentHeight, documentOrigin));
}

void UXScrollView::setDocumentHeight(int32_t height) {
  documentHeight = height;
  if (documentView) {
    const UXRect f = documentView->frame();
    Ref<UXViewTree> t = documentView->tree.lock();
    if (t && gDriver)
      gDriver->structSetFrame(t->driverTree, int16_t(documentView->node), f.x(), f.y(), f.w(),
                              UXScrollLayout::documentFrameHeight(documentHeight, documentOrigin));
  }
  relayout();
}

void UXScrollView::setDocumentWidth(int32_t width) {
  documentWidth = std::max(width, 0);
  Ref<UXViewTree> t = tree.lock();
  if (!hscroller && documentWidth > 0 && t && gDriver) {
    hscroller = make<UXScrollbar>();
    hscroller->horizontal = true;
    hscroller->scrollView = self<UXScrollView>();
    const UXRect f = frame();
    uxAddChild(*this, hscroller, UXRect(0, f.h() - scrollerWidth, f.w(), scrollerWidth));
    t->setHiddenOf(hscroller->node, 1);
  }
  relayout();
}

void UXScrollView::relayout() {
  Ref<UXViewTree> t = tree.lock();
  if (!clipView || !t || !gDriver) return;
  const UXRect f = frame();
  bool overflow = documentHeight > viewportPx();
  const int32_t e = edgePx();
  bool overflowX = false;
  if (documentWidth > 0) {
    // Each bar takes room from the other's direction: settle both.
    const int32_t w = f.w() - 2 * e, h = f.h() - headerHeight - 2 * e;
    overflow = documentHeight > h;
    overflowX = documentWidth > w - (overflow ? scrollerWidth : 0);
    overflow = documentHeight > h - (overflowX ? scrollerWidth : 0);
    overflowX = documentWidth > w - (overflow ? scrollerWidth : 0);
  }
  const int32_t inset = nativePath() ? 0 : std::max<int32_t>(cornerRadius, e);
  const UXScrollLayout l =
      UXScrollLayout::compute(f.w(), f.h(), headerHeight, scrollerWidth, e, inset, overflow, overflowX);
  gDriver->structSetFrame(t->driverTree, int16_t(clipView->node), l.clip.x(), l.clip.y(), l.clip.w(), l.clip.h());
  if (scroller) {
    gDriver->structSetFrame(t->driverTree, int16_t(scroller->node), l.scroller.x(), l.scroller.y(),
                            l.scroller.w(), l.scroller.h());
    t->setHiddenOf(scroller->node, overflow ? 0 : 1);
  }
  if (hscroller) {
    if (overflowX)
      gDriver->structSetFrame(t->driverTree, int16_t(hscroller->node), l.hscroller.x(), l.hscroller.y(),
                              l.hscroller.w(), l.hscroller.h());
    t->setHiddenOf(hscroller->node, overflowX ? 0 : 1);
  }
  const int32_t m = maxScroll();
  if (offset > m) {
    offset = m;
    // The native position follows a shorter document's end down too.
    if (nativePath()) gDriver->nativeScrollTo(gDriver->structObjects(t->driverTree), int16_t(node), m);
  }
  documentOrigin = UXScrollLayout::originFor(documentHeight, offset);
  const int32_t mx = maxScrollX();
  if (offsetX > mx) offsetX = mx;
  documentOriginX = UXScrollLayout::originFor(documentWidthPx(), offsetX);
  placeDocument();
  notifyObserver();
}

void UXScrollView::scrollTo(int64_t y) {
  const int32_t target = UXScrollLayout::clampScroll(y, maxScroll());
  if (target == offset) return;
  Ref<UXViewTree> t = tree.lock();
  if (!t || !gDriver) return;  // scrolling needs an attached view
  offset = target;
  const int32_t origin = documentOrigin;
  documentOrigin = UXScrollLayout::originFor(documentHeight, offset);
  if (nativePath()) {
    gDriver->nativeScrollTo(gDriver->structObjects(t->driverTree), int16_t(node), target);
    // A new origin changes what the document view's frame holds.
    if (documentView && documentOrigin != origin) placeDocument();
  } else if (documentView) {
    placeDocument();
    clipView->setNeedsDisplayInRect(clipView->absoluteFrame());
    if (scroller) scroller->setNeedsDisplayInRect(scroller->absoluteFrame());
  }
  notifyObserver();
  uxOfferToEventTap(kUXEventScrollChanged, int32_t(node), target);
}

void UXScrollView::nativeDidScroll(int32_t y) {
  // The bar's range is the platform's client area, which its border and its
  // own bars make a few pixels shorter than the viewport here: at its end
  // the bar stands past maxScroll. Taken as it is, the position names what
  // the platform shows, so that what stays in sight stays in place.
  const int32_t target = UXScrollLayout::clampScroll(y, documentHeight);
  if (target == offset || !documentView) return;
  offset = target;
  const int32_t origin = documentOrigin;
  documentOrigin = UXScrollLayout::originFor(documentHeight, offset);
  // A new origin changes what the document view's frame holds.
  if (documentOrigin != origin) placeDocument();
  notifyObserver();
  uxOfferToEventTap(kUXEventScrollChanged, int32_t(node), target);
}

void UXScrollView::scrollToX(int64_t x) {
  const int32_t target = UXScrollLayout::clampScroll(x, maxScrollX());
  if (target == offsetX) return;
  Ref<UXViewTree> t = tree.lock();
  if (!t || !gDriver) return;
  offsetX = target;
  documentOriginX = UXScrollLayout::originFor(documentWidthPx(), offsetX);
  placeDocument();
  // The native container repaints from offsetX when the tree is realised.
  if (nativePath()) setNeedsDisplayInRect(absoluteFrame());
  else if (clipView) clipView->setNeedsDisplayInRect(clipView->absoluteFrame());
  if (hscroller) hscroller->setNeedsDisplayInRect(hscroller->absoluteFrame());
  notifyObserver();
}

void UXScrollView::scrollPage(int32_t pages, bool sideways) {
  if (sideways)
    scrollToX(int64_t(offsetX) + int64_t(UXScrollLayout::pageStep(viewportWidthPx(), lineStep)) * pages);
  else
    scrollTo(int64_t(offset) + int64_t(UXScrollLayout::pageStep(viewportPx(), lineStep)) * pages);
}

void UXScrollView::notifyObserver() {
  Ref<Object> o = observer.lock();
  if (auto* client = dynamic_cast<UXScrollObserver*>(o.get())) client->scrollViewDidChangeVisible(*this);
}

// ---------------------------------------------------------------------------
// 4. Drawing and input.

void UXScrollView::drawRect(UXGraphics& g, UXRect) {
  if (borderColor < 0 || nativePath()) return;
  const UXRect f = frame();
  Ref<UXShapePath> path = UXShapePath::roundRect(0, 0, f.w(), f.h(), cornerRadius);
  UXPainter::strokePath(g, *path, 2.0, 0xFF000000u | (uint32_t(borderColor) & 0xFFFFFFu));
}

void UXScrollView::scrollWheel(UXEvent& event) {
  const int64_t step = 3 * int64_t(event.a) * lineStep;
  // Shift turns the wheel sideways where there is room to go sideways.
  if ((event.mods & kUXModShiftAny) && maxScrollX() > 0) scrollToX(int64_t(offsetX) - step);
  else scrollTo(int64_t(offset) - step);
}

void UXScrollView::mouseDown(UXEvent& event) {
  if (!gDriver || gDriver->dragTrackingIsModal()) {
    UXResponder::mouseDown(event);
    return;
  }
  dragging = 1;
  dragStartY = event.y;
  dragStartOffset = offset;
}

void UXScrollView::mouseDragged(UXEvent& event) {
  if (!gDriver || gDriver->dragTrackingIsModal()) {
    UXResponder::mouseDragged(event);
    return;
  }
  if (!dragging) {
    Ref<UXViewTree> t = tree.lock();
    dragStartY = t ? t->lastMouseY : event.y;
    dragging = 1;
    dragStartOffset = offset;
  }
  scrollTo(int64_t(dragStartOffset) - (int32_t(event.y) - dragStartY));
}

void UXScrollView::mouseUp(UXEvent& event) {
  if (dragging) {
    dragging = 0;
    return;
  }
  UXResponder::mouseUp(event);
}

// ---------------------------------------------------------------------------
// 5. Hit hooks and description.

bool UXScrollView::hitScrollContains(int32_t x, int32_t y) {
  const UXRect f = clipView ? clipView->absoluteFrame() : absoluteFrame();
  return UXGeom::contains(f, int16_t(x), int16_t(y));
}

int32_t UXScrollView::hitScrollDoc() { return documentView ? int32_t(documentView->node) : -1; }

int32_t UXScrollView::hitScrollOffset() {
  if (!gDriver || !gDriver->scrollsNatively()) return 0;
  return scrollPx() - documentOrigin;
}

int32_t UXScrollView::nativeDocNode() const { return documentView ? int32_t(documentView->node) : -1; }

Ref<String> UXScrollView::description() const {
  const uint16_t values[] = {uint16_t(offset),         uint16_t(scrollerWidth),  uint16_t(headerHeight),
                             uint16_t(lineStep),       uint16_t(documentHeight), uint16_t(cornerRadius),
                             uint16_t(borderColor),    dragging,                 uint16_t(dragStartY),
                             uint16_t(dragStartOffset)};
  return String::_classDescribe("UXScrollView", values, 10, 0x7F);
}

}  // namespace quorl
