// PickView and PaneView.
#include "app/PickView.h"

#include "app/Controller.h"
#include "foundation/Array.h"
#include "foundation/String.h"
#include "ux/core/UXGraphics.h"
#include "ux/core/UXMenu.h"
#include "ux/core/UXPainter.h"

namespace quorl {

// ---------------------------------------------------------------------------
// PickView

PickView::PickView() : noneLabel(String::withCString("Any")), choices(make<Array>()) {}

PickView::~PickView() = default;

void PickView::repaint() { setNeedsDisplayInRect(absoluteFrame()); }

void PickView::setChoices(Ref<Array> list) {
  choices = list ? std::move(list) : make<Array>();
  selection.reset();
  repaint();
}

void PickView::setSelection(Ref<String> value) {
  selection = std::move(value);
  repaint();
}

const Ref<String>& PickView::shownText() const { return selection ? selection : noneLabel; }

void PickView::mouseDown(UXEvent&) { openMenu(); }

void PickView::openMenu() {
  if (windowHandle == 0 || owner.expired()) return;
  auto menu = make<UXMenu>();
  UXMenuAction action;
  action.target = self<PickView>();
  action.function = [](const Ref<Object>& target, const Ref<UXMenuItem>& item) {
    staticCast<PickView>(target)->onPick(item);
  };
  menu->addItem(noneLabel ? noneLabel->cString() : "", action);
  for (uint32_t i = 0; i < choices->count(); i++) {
    if (Ref<String> choice = cast<String>(choices->get(i))) menu->addItem(choice->cString(), action);
  }
  const UXRect a = absoluteFrame();
  // The menu keeps the titles by reference: the choices outlive it here,
  // since the menu is gone when popUp returns.
  menu->popUp(windowHandle, a.x(), a.y() + a.h());
}

void PickView::onPick(const Ref<UXMenuItem>& item) {
  Ref<String> picked;
  if (item && !item->title.empty()) {
    Ref<String> title = String::withCString(item->title.c_str());
    // Null none-label: nothing can equal it, so every title is a choice.
    if (!noneLabel || !title->equalsIgnoringCase(noneLabel)) picked = title;
  }
  // Keep self alive: the owner may rebuild the pickers while handling the pick.
  Ref<PickView> keep = self<PickView>();
  setSelection(picked);
  if (Ref<Controller> controller = owner.lock()) controller->applyPick(tag, picked);
}

void PickView::drawRect(UXGraphics& g, UXRect) {
  const UXRect f = frame();
  const int16_t w = f.w(), h = f.h();
  UXPainter::fillRoundRectRGBA(g, UXRect(0, 0, w, h), 4, 178, 182, 190, 255);
  UXPainter::fillRoundRectRGBA(g, UXRect(1, 1, w - 2, h - 2), 3, 255, 255, 255, 255);
  const Ref<String>& text = shownText();
  g.drawTextRGBA(text ? text->cString() : "", 8, int16_t((h - 14) / 2), 30, 30, 34, 255, 12);
  const int16_t points[6] = {int16_t(w - 14), int16_t(h / 2 - 2), int16_t(w - 6),
                             int16_t(h / 2 - 2), int16_t(w - 10), int16_t(h / 2 + 3)};
  g.fillPolygonRGBA(points, 3, 90, 94, 102, 255);
}

Ref<String> PickView::description() const {
  const uint16_t values[2] = {uint16_t(tag), uint16_t(windowHandle)};
  return String::_classDescribe("PickView", values, 2, 0x03);
}

// ---------------------------------------------------------------------------
// PaneView

void PaneView::drawRect(UXGraphics& g, UXRect) {
  const UXRect f = frame();
  const int16_t w = f.w(), h = f.h();
  UXPainter::fillRoundRectRGBA(g, UXRect(0, 0, w, h), 7, 206, 209, 217, 255);
  UXPainter::fillRoundRectRGBA(g, UXRect(1, 1, w - 2, h - 2), 6, 248, 249, 251, 255);
  g.drawTextRGBA(title ? title : "", 10, 6, 90, 94, 104, 255, 11);
}

}  // namespace quorl
