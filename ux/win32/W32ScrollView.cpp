// Native scroll views (W32ScrollView.h). Sections:
//   1. The table of scroll views
//   2. Range, frame and painting
//   3. UXScroll32Proc
//   4. Realising
#include "ux/win32/W32ScrollView.h"

#include <algorithm>

#include "ux/controls/UXScrollView.h"
#include "ux/core/UXApplication.h"
#include "ux/core/UXNodeTree.h"
#include "ux/core/UXViewTree.h"
#include "ux/win32/UXWin32Driver.h"
#include "ux/win32/W32ControlRules.h"
#include "ux/win32/W32Globals.h"
#include "ux/win32/W32Handles.h"

namespace quorl {

void w32TreeDrawFrom(UXNodeTree* tree, int16_t node);  // W32TreeDraw.cpp

// ---------------------------------------------------------------------------
// 1. The table of scroll views.

HWND gW32Scrollers[kW32MaxScrollers];
uint32_t gW32ScrollerWin[kW32MaxScrollers];
uint32_t gW32ScrollerN = 0;

void w32ScrollerAdd(HWND scroller, uint32_t window) {
  if (gW32ScrollerN >= kW32MaxScrollers) return;
  gW32Scrollers[gW32ScrollerN] = scroller;
  gW32ScrollerWin[gW32ScrollerN] = window;
  ++gW32ScrollerN;
}

void w32ScrollerDropWindow(uint32_t window) {
  uint32_t kept = 0;
  for (uint32_t i = 0; i < gW32ScrollerN; ++i) {
    if (gW32ScrollerWin[i] == window) continue;
    gW32Scrollers[kept] = gW32Scrollers[i];
    gW32ScrollerWin[kept] = gW32ScrollerWin[i];
    ++kept;
  }
  for (uint32_t i = kept; i < gW32ScrollerN; ++i) gW32Scrollers[i] = nullptr, gW32ScrollerWin[i] = 0;
  gW32ScrollerN = kept;
}

void w32ScrollersInvalidate(uint32_t window) {
  for (uint32_t i = 0; i < gW32ScrollerN; ++i)
    if (gW32ScrollerWin[i] == window) InvalidateRect(gW32Scrollers[i], nullptr, FALSE);
}

// ---------------------------------------------------------------------------
// 2. Range, frame and painting.

namespace {
Ref<UXScrollView> viewOf(HWND scroller) {
  W32Peer* peer = w32PeerOf(scroller);
  return peer ? cast<UXScrollView>(peer->view.lock()) : nullptr;
}
}  // namespace

void w32ScrollRange(HWND scroller, int32_t contentHeight, int32_t fallbackHeight) {
  RECT r{};
  GetClientRect(scroller, &r);
  int32_t top = w32ScrollerMax(contentHeight, r.bottom - r.top, fallbackHeight);
  int lo = 0, hi = 0;
  // Unchanged: nothing is redrawn.
  if (GetScrollRange(scroller, SB_VERT, &lo, &hi) && lo == 0 && hi == top) return;
  SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE, 0, top, 0, 0, 0};
  // The page stays 0: the range is the positions themselves.
  SetScrollInfo(scroller, SB_VERT, &info, TRUE);
  SetScrollPos(scroller, SB_VERT, GetScrollPos(scroller, SB_VERT), TRUE);
}

void w32ScrollRangeX(HWND scroller) {
  Ref<UXScrollView> view = viewOf(scroller);
  if (!view) return;
  // The toolkit keeps the sideways position; the bar shows it. A range of
  // 0..0 hides the bar.
  const int32_t top = view->maxScrollX();
  SCROLLINFO now{sizeof(SCROLLINFO), SIF_RANGE | SIF_POS, 0, 0, 0, 0, 0};
  const bool known = GetScrollInfo(scroller, SB_HORZ, &now);
  if (known && now.nMin == 0 && now.nMax == top && now.nPos == view->offsetX) return;
  SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE | SIF_POS, 0, top, 0, view->offsetX, 0};
  SetScrollInfo(scroller, SB_HORZ, &info, TRUE);
}

void w32ScrollFrame(HWND scroller, HDC dc, int32_t inset) {
  Ref<UXScrollView> view = viewOf(scroller);
  if (!view || !dc || (view->borderColor < 0 && view->cornerRadius < 1)) return;
  COLORREF colour = view->borderColor < 0 ? GetSysColor(COLOR_WINDOWFRAME)
                                          : COLORREF(w32Rgb(uint32_t(view->borderColor) >> 16,
                                                            uint32_t(view->borderColor) >> 8,
                                                            uint32_t(view->borderColor)));
  const UXRect f = view->frame();
  int32_t r = std::max<int32_t>(view->cornerRadius, 0);
  W32GdiObject region(CreateRoundRectRgn(-inset, -inset, f.w() + 1 - inset, f.h() + 1 - inset, 2 * r, 2 * r));
  W32GdiObject brush(CreateSolidBrush(colour));
  FrameRgn(dc, static_cast<HRGN>(region.get()), static_cast<HBRUSH>(brush.get()), 1, 1);
}

void w32ScrollPaint(HWND scroller, HDC dc) {
  W32Select font(dc, gW32Font);
  RECT client{};
  GetClientRect(scroller, &client);
  FillRect(dc, &client, gW32FaceBrush);
  Ref<UXScrollView> view = viewOf(scroller);
  Ref<UXViewTree> viewTree = view ? view->tree.lock() : nullptr;
  if (!view || !viewTree || !viewTree->driverTree || !gDriver) {
    w32ScrollFrame(scroller, dc, 1);
    return;
  }
  int32_t pos = GetScrollPos(scroller, SB_VERT);
  const UXRect origin = view->absoluteFrame();
  // The views of the document are drawn at their window positions, moved
  // into the scroll view and up by the position; the document view's frame
  // starts at its origin, not at document pixel 0.
  HDC previousDc = gW32CurHdc;
  int32_t previousX = gW32DrawOX, previousY = gW32DrawOY;
  UXNodeDrawFunction previousFn = gW32UserFn;
  void* previousUd = gW32UserUd;
  gW32CurHdc = dc;
  gDriver->setDrawOffset(origin.x() + view->offsetX - view->documentOriginX,
                         origin.y() + pos - view->nativeDocOrigin());
  gDriver->treeSetUserDraw(ux_surface_userdraw, viewTree.get());
  w32TreeDrawFrom(gDriver->structObjects(viewTree->driverTree), int16_t(view->nativeDocNode()));
  gDriver->treeSetUserDraw(previousFn, previousUd);
  gDriver->setDrawOffset(previousX, previousY);
  gW32CurHdc = previousDc;
  w32ScrollFrame(scroller, dc, 1);
}

// ---------------------------------------------------------------------------
// 3. UXScroll32Proc.

namespace {
void afterScroll(HWND scroller, int32_t target) {
  SetScrollPos(scroller, SB_VERT, target, TRUE);  // the bar keeps it inside the range
  if (W32WindowDC dc(scroller, W32WindowDC::kWhole); dc) w32ScrollFrame(scroller, dc.get(), 0);
  InvalidateRect(scroller, nullptr, TRUE);
  // The toolkit follows every position: a document taller than a frame can
  // hold is placed from an origin that follows it, and the scroll view's
  // observer learns what is in sight.
  if (Ref<UXScrollView> view = viewOf(scroller)) view->nativeDidScroll(GetScrollPos(scroller, SB_VERT));
}

// Sideways the toolkit holds the position: it takes the target, and the
// bar shows what it kept.
void afterScrollX(HWND scroller, int64_t target) {
  Ref<UXScrollView> view = viewOf(scroller);
  if (!view) return;
  view->scrollToX(target);
  SetScrollPos(scroller, SB_HORZ, view->offsetX, TRUE);
  InvalidateRect(scroller, nullptr, TRUE);
}

int32_t offsetXOf(HWND scroller) {
  Ref<UXScrollView> view = viewOf(scroller);
  return view ? view->offsetX : 0;
}

// Shift turns the wheel sideways where the document is wider than the view.
bool wheelsSideways(HWND scroller, WPARAM wParam) {
  Ref<UXScrollView> view = viewOf(scroller);
  return view && (GET_KEYSTATE_WPARAM(wParam) & MK_SHIFT) && view->maxScrollX() > 0;
}

int32_t thumbPosition(HWND scroller, int bar) {
  // The 32-bit track position: the message's 16-bit one wraps on long
  // documents.
  SCROLLINFO info{sizeof(SCROLLINFO), SIF_TRACKPOS, 0, 0, 0, 0, 0};
  return GetScrollInfo(scroller, bar, &info) ? info.nTrackPos : 0;
}
}  // namespace

LRESULT CALLBACK UXScroll32Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      W32Paint paint(window);
      w32ScrollPaint(window, paint.dc());
      return 0;
    }
    case WM_PRINTCLIENT:
      w32ScrollPaint(window, reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_NCPAINT: {
      LRESULT result = DefWindowProcW(window, message, wParam, lParam);
      if (W32WindowDC dc(window, W32WindowDC::kWhole); dc) w32ScrollFrame(window, dc.get(), 0);
      return result;
    }
    case WM_VSCROLL: {
      uint32_t code = LOWORD(wParam);
      int32_t pos = GetScrollPos(window, SB_VERT);
      int32_t thumb = (code == SB_THUMBPOSITION || code == SB_THUMBTRACK) ? thumbPosition(window, SB_VERT) : 0;
      afterScroll(window, w32ScrollerStep(pos, code, thumb));
      return 0;
    }
    case WM_HSCROLL: {
      uint32_t code = LOWORD(wParam);
      int32_t thumb = (code == SB_THUMBPOSITION || code == SB_THUMBTRACK) ? thumbPosition(window, SB_HORZ) : 0;
      afterScrollX(window, w32ScrollerStep(offsetXOf(window), code, thumb));
      return 0;
    }
    case WM_MOUSEWHEEL:
      if (wheelsSideways(window, wParam))
        afterScrollX(window, w32ScrollerWheel(offsetXOf(window), int16_t(HIWORD(wParam))));
      else
        afterScroll(window, w32ScrollerWheel(GetScrollPos(window, SB_VERT), int16_t(HIWORD(wParam))));
      return 0;
    case WM_MOUSEHWHEEL:
      // Tilting right scrolls right.
      afterScrollX(window, w32ScrollerWheel(offsetXOf(window), -int16_t(HIWORD(wParam))));
      return 0;
    case WM_LBUTTONDOWN: {
      Ref<UXScrollView> view = viewOf(window);
      HWND parent = GetParent(window);
      if (view && parent) {
        // The toolkit hit-tests in window coordinates and adds the scroll
        // position itself.
        UXRect f = view->absoluteFrame();
        int32_t x = int16_t(LOWORD(lParam)) + f.x(), y = int16_t(HIWORD(lParam)) + f.y();
        PostMessageW(parent, WM_LBUTTONDOWN, wParam, MAKELPARAM(int16_t(x), int16_t(y)));
        InvalidateRect(window, nullptr, TRUE);
      }
      return 0;
    }
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

// ---------------------------------------------------------------------------
// 4. Realising.

namespace {
// The region last given to each scroll view: set again only when it changes,
// since a new region repaints the whole control.
struct RegionState {
  int32_t radius = -1, w = -1, h = -1;
};
W32StateMap<RegionState> gW32Regions;

void applyRegion(HWND control, const W32Realize& r) {
  auto* view = dynamic_cast<UXScrollView*>(r.peer.get());
  int32_t radius = view && view->cornerRadius > 0 ? view->cornerRadius : 0;
  RegionState& last = gW32Regions.of(control);
  if (last.radius == radius && (radius < 1 || (last.w == r.w && last.h == r.h))) return;
  last = RegionState{radius, r.w, r.h};
  if (radius >= 1) SetWindowRgn(control, CreateRoundRectRgn(0, 0, r.w + 1, r.h + 1, 2 * radius, 2 * radius), TRUE);
  else SetWindowRgn(control, nullptr, TRUE);  // the window owns a region it is given
}

int32_t contentOf(const W32Realize& r) {
  auto* view = dynamic_cast<UXScrollView*>(r.peer.get());
  return view ? view->documentHeight : 0;
}
}  // namespace

HWND w32ScrollCreate(const W32Realize& r) {
  HWND control = w32CreateControl(r.args(kW32ScrollClass, kW32ScrollStyle));
  if (!control) return nullptr;
  if (dynamic_cast<UXScrollView*>(r.peer.get())) w32Route(control, r);
  w32ScrollerAdd(control, r.window);
  // Sideways first: its bar takes height from the page.
  w32ScrollRangeX(control);
  w32ScrollRange(control, contentOf(r), r.h);
  // A position asked for before the control existed.
  if (const UXNode* n = r.tree->at(r.node); n && n->scrollPx > 0) SetScrollPos(control, SB_VERT, n->scrollPx, TRUE);
  applyRegion(control, r);
  return control;
}

void w32ScrollSync(HWND control, const W32Realize& r, bool created) {
  if (created) return;
  w32Move(control, r.x, r.y, r.w, r.h);
  w32ScrollRangeX(control);
  w32ScrollRange(control, contentOf(r), r.h);
  applyRegion(control, r);
}

}  // namespace quorl
