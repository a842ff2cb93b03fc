// Boot and the window table. Sections:
//   1. Globals
//   2. Boot and window classes
//   3. Creating and destroying windows; tests of windows and tables
//   4. Captions, scrolling, invalidation, ordering
//   5. Context pop-up menu and outline hit test
//   6. Line overlay
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>

#include "foundation/Array.h"
#include "ux/controls/UXTableView.h"
#include "ux/core/UXNodeTree.h"
#include "ux/win32/UXGdiGraphics.h"
#include "ux/win32/UXWin32Driver.h"
#include "ux/win32/W32Globals.h"
#include "ux/win32/W32Handles.h"
#include "ux/win32/W32Services.h"
#include "ux/win32/W32Text.h"

namespace quorl {

// ---------------------------------------------------------------------------
// 1. Globals.

HWND gW32Hwnds[kW32TableSize];
std::string gW32Title[kW32TableSize];
std::string gW32Subtitle[kW32TableSize];
uint8_t gW32Modified[kW32TableSize];
uint32_t gW32WinW[kW32TableSize];
uint32_t gW32WinH[kW32TableSize];
int32_t gW32ScrollX[kW32TableSize], gW32ScrollY[kW32TableSize];
int32_t gW32ScrollMaxX[kW32TableSize], gW32ScrollMax[kW32TableSize];
int32_t gW32MinW[kW32TableSize], gW32MinH[kW32TableSize];
UXNodeTree* gW32TreeOf[kW32TableSize];
HWND gW32LineWin[kW32TableSize];
W32LineGeometry gW32Line[kW32TableSize];
uint32_t gW32LineOn[kW32TableSize];

uint32_t gW32NextHandle = 1;
uint32_t gW32Native = 0;
HINSTANCE gW32Inst = nullptr;
HMENU gW32Menu = nullptr;
UXContentDrawFunction gW32ContentFn = nullptr;
HBRUSH gW32FaceBrush = nullptr;
HFONT gW32Font = nullptr;
UXGdiGraphics* gW32Gfx = nullptr;
HDC gW32CurHdc = nullptr;
UXNodeDrawFunction gW32UserFn = nullptr;
void* gW32UserUd = nullptr;
int32_t gW32DrawOX = 0, gW32DrawOY = 0;

namespace {
Ref<UXGdiGraphics> gW32GfxRef;  // owns gW32Gfx

LRESULT CALLBACK UXLine32Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
}  // namespace

bool w32IsLive(uint32_t handle) { return handle >= 1 && handle <= kW32MaxWindows && gW32Hwnds[handle]; }

uint32_t w32HandleOf(HWND window) {
  if (!window) return 0;
  for (uint32_t h = 1; h < gW32NextHandle && h <= kW32MaxWindows; ++h)
    if (gW32Hwnds[h] == window) return h;
  return 0;
}

uint32_t w32TopHandle(HWND window, HWND* top) {
  // Bounded: a parent chain is short, and a cycle must not hang the pump.
  for (int steps = 0; window && steps < 64; ++steps, window = GetParent(window)) {
    if (uint32_t h = w32HandleOf(window)) {
      if (top) *top = window;
      return h;
    }
  }
  return 0;
}

// ---------------------------------------------------------------------------
// 2. Boot and window classes.

namespace {
void registerClass(const wchar_t* name, UINT style, WNDPROC proc, HBRUSH background) {
  WNDCLASSW wc{};
  wc.style = style;
  wc.lpfnWndProc = proc;
  wc.hInstance = gW32Inst;
  wc.hbrBackground = background;
  wc.lpszClassName = name;
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  RegisterClassW(&wc);  // a second boot finds it registered: ignored
}
}  // namespace

bool UXWin32Driver::boot(int32_t& w, int32_t& h) {
  gW32Inst = GetModuleHandleW(nullptr);
  // Handles already live (a second boot in one process) stay valid.
  if (gW32NextHandle < 1) gW32NextHandle = 1;
  gW32GfxRef = make<UXGdiGraphics>();
  gW32Gfx = gW32GfxRef.get();
  if (!gW32FaceBrush) gW32FaceBrush = CreateSolidBrush(0xC0C0C0);
  registerClass(kW32WindowClass, CS_HREDRAW | CS_VREDRAW, UXWin32Proc, gW32FaceBrush);
  registerClass(kW32ScrollClass, CS_HREDRAW | CS_VREDRAW, UXScroll32Proc, gW32FaceBrush);
  registerClass(kW32ShieldClass, 0, UXShield32Proc, nullptr);
  registerClass(kW32GlClass, CS_OWNDC, UXGl32Proc, nullptr);
  gW32Font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX), 0x3F};
  InitCommonControlsEx(&icc);
  w = 1024;
  h = 768;
  return true;
}

// ---------------------------------------------------------------------------
// 3. Creating and destroying windows.

uint32_t UXWin32Driver::windowCreate(int32_t x, int32_t y, int32_t w, int32_t h) {
  if (!gW32Inst) {
    int32_t bw = 0, bh = 0;
    boot(bw, bh);
  }
  bool used[kW32TableSize] = {};
  for (uint32_t i = 1; i < kW32TableSize; ++i) used[i] = gW32Hwnds[i] != nullptr;
  uint32_t next = gW32NextHandle;
  uint32_t handle = w32AllocHandle(used, next);
  if (handle == 0) return 0;  // 63 windows live: the table has no room

  RECT outer{0, 0, w, h};
  AdjustWindowRect(&outer, kW32WindowStyle, gW32Menu != nullptr);
  HWND window = CreateWindowExW(0, kW32WindowClass, L"Wendle", kW32WindowStyle, x, y, outer.right - outer.left,
                                outer.bottom - outer.top, nullptr, nullptr, gW32Inst, nullptr);
  if (!window) return 0;
  gW32NextHandle = next;
  gW32Hwnds[handle] = window;
  DragAcceptFiles(window, TRUE);
  w32AppIconApply(window);
  gW32MinW[handle] = gW32MinH[handle] = 0;
  gW32WinW[handle] = uint32_t(w < 0 ? 0 : w);
  gW32WinH[handle] = uint32_t(h < 0 ? 0 : h);
  gW32ScrollX[handle] = gW32ScrollY[handle] = 0;
  gW32ScrollMaxX[handle] = gW32ScrollMax[handle] = 0;
  gW32Title[handle].clear();
  gW32Subtitle[handle].clear();
  gW32Modified[handle] = 0;
  gW32TreeOf[handle] = nullptr;
  gW32LineWin[handle] = nullptr;
  gW32LineOn[handle] = 0;
  ++gW32Native;
  // SetMenu shrinks the client area; the WM_SIZE it sends keeps the table
  // current.
  if (gW32Menu) SetMenu(window, gW32Menu);
  return handle;
}

void UXWin32Driver::windowSetContent(uint32_t window, UXContentDrawFunction draw, void* userData) {
  gW32ContentFn = draw;
  if (w32IsLive(window)) SetWindowLongPtrW(gW32Hwnds[window], GWLP_USERDATA, reinterpret_cast<LONG_PTR>(userData));
}

void UXWin32Driver::windowOpen(uint32_t window) {
  if (w32IsLive(window)) ShowWindow(gW32Hwnds[window], SW_SHOW);
}

void UXWin32Driver::windowDestroy(uint32_t window) {
  if (!w32IsLive(window)) return;
  // The table's entry hands the window to an owner that destroys it last,
  // so messages sent by DestroyWindow find no entry.
  W32Window hwnd(gW32Hwnds[window]);
  // The content's user data dies with the toolkit's window: no paint may
  // reach it while the window goes.
  SetWindowLongPtrW(hwnd.get(), GWLP_USERDATA, 0);
  forgetWindow(window);
}

void UXWin32Driver::forgetWindow(uint32_t window) {
  if (!w32IsLive(window)) return;
  w32ScrollerDropWindow(window);
  w32TextViewDropWindow(window);
  gW32Hwnds[window] = nullptr;
  gW32LineWin[window] = nullptr;  // owned windows die with their owner
  gW32LineOn[window] = 0;
  gW32TreeOf[window] = nullptr;
  if (gW32Native > 0) --gW32Native;
  bool any = false;
  for (uint32_t h = 1; h < gW32NextHandle && h <= kW32MaxWindows; ++h) any = any || gW32Hwnds[h];
  if (!any) PostQuitMessage(0);
}

// The driver's tests of windows and tables (no state of their own).

uint32_t UXWin32Driver::handleOf(void* hwnd) { return w32HandleOf(static_cast<HWND>(hwnd)); }

bool UXWin32Driver::isEditClass(void* hwnd) {
  wchar_t name[16] = {};
  if (!hwnd || GetClassNameW(static_cast<HWND>(hwnd), name, 16) < 1) return false;
  return w32IsEditClassName(reinterpret_cast<const char16_t*>(name));
}

bool UXWin32Driver::untitled(const UXTableView& table) {
  uint32_t count = table.columns ? table.columns->count() : 0;
  for (uint32_t i = 0; i < count; ++i) {
    const char* title = table.columnTitle(int32_t(i));
    if (title && *title) return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// 4. Captions, scrolling, invalidation, ordering.

namespace {
void composeTitle(uint32_t handle) {
  std::string caption = w32ComposeTitle(gW32Title[handle].c_str(), gW32Subtitle[handle].c_str(),
                                        gW32Modified[handle]);
  // The caption crosses to Windows as UTF-16 so a title in any script survives.
  SetWindowTextW(gW32Hwnds[handle], w32Wide(caption).c_str());
}
}  // namespace

void UXWin32Driver::windowSetTitle(uint32_t window, const char* title) {
  if (!w32IsLive(window)) return;
  gW32Title[window] = title ? title : "";
  composeTitle(window);
}

void UXWin32Driver::windowSetSubtitle(uint32_t window, const char* subtitle) {
  if (!w32IsLive(window)) return;
  gW32Subtitle[window] = subtitle ? subtitle : "";
  composeTitle(window);
}

void UXWin32Driver::windowSetInfo(uint32_t, const char*) {}

void UXWin32Driver::windowSetModified(uint32_t window, uint8_t modified) {
  if (!w32IsLive(window)) return;
  gW32Modified[window] = modified ? 1 : 0;
  composeTitle(window);
}

void UXWin32Driver::windowContentSize(uint32_t window, int32_t w, int32_t h) {
  if (!w32IsLive(window)) return;
  HWND hwnd = gW32Hwnds[window];
  gW32ScrollMax[window] = w32ScrollLimit(h, int32_t(gW32WinH[window]), 40);
  gW32ScrollY[window] = w32ClampScroll(gW32ScrollY[window], gW32ScrollMax[window]);
  SetScrollRange(hwnd, SB_VERT, 0, gW32ScrollMax[window], TRUE);
  SetScrollPos(hwnd, SB_VERT, gW32ScrollY[window], TRUE);
  gW32ScrollMaxX[window] = w32ScrollLimit(w, int32_t(gW32WinW[window]), 24);
  gW32ScrollX[window] = w32ClampScroll(gW32ScrollX[window], gW32ScrollMaxX[window]);
  SetScrollRange(hwnd, SB_HORZ, 0, gW32ScrollMaxX[window], TRUE);
  SetScrollPos(hwnd, SB_HORZ, gW32ScrollX[window], TRUE);
}

int32_t UXWin32Driver::windowScrollX(uint32_t window) { return w32IsLive(window) ? gW32ScrollX[window] : 0; }
int32_t UXWin32Driver::windowScrollY(uint32_t window) { return w32IsLive(window) ? gW32ScrollY[window] : 0; }

void UXWin32Driver::windowSetScroll(uint32_t window, int32_t x, int32_t y) {
  if (!w32IsLive(window)) return;
  HWND hwnd = gW32Hwnds[window];
  gW32ScrollY[window] = w32ClampScroll(y, gW32ScrollMax[window]);
  gW32ScrollX[window] = w32ClampScroll(x, gW32ScrollMaxX[window]);
  SetScrollPos(hwnd, SB_VERT, gW32ScrollY[window], TRUE);
  SetScrollPos(hwnd, SB_HORZ, gW32ScrollX[window], TRUE);
  InvalidateRect(hwnd, nullptr, TRUE);
  UpdateWindow(hwnd);
}

void UXWin32Driver::windowContentGeometry(uint32_t window, int32_t& w, int32_t& h) {
  w = h = 0;
  RECT r{};
  if (w32IsLive(window) && GetClientRect(gW32Hwnds[window], &r)) {
    w = r.right - r.left;
    h = r.bottom - r.top;
  }
}

void UXWin32Driver::windowInvalidate(uint32_t window) {
  if (!w32IsLive(window)) return;
  InvalidateRect(gW32Hwnds[window], nullptr, TRUE);
  w32ScrollersInvalidate(window);
  UpdateWindow(gW32Hwnds[window]);
}

void UXWin32Driver::windowPaintAll(uint32_t window) {
  if (!w32IsLive(window)) return;
  RedrawWindow(gW32Hwnds[window], nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  // A wait of no time is where the system puts what was painted on the
  // screen: Wine copies a window's pixels to the display when its thread
  // waits, and after a paint only once 50 ms have passed since the last
  // wait. Without it a step that starts right after a dialog closed or a
  // click was handled runs with the old pixels on the screen (the dialog's,
  // a blank list) until it ends.
  MsgWaitForMultipleObjectsEx(0, nullptr, 0, QS_ALLINPUT, 0);
}

void UXWin32Driver::windowInvalidateRect(uint32_t window, int32_t x, int32_t y, int32_t w, int32_t h) {
  if (!w32IsLive(window)) return;
  RECT r{x, y, int32_t(int64_t(x) + w), int32_t(int64_t(y) + h)};
  InvalidateRect(gW32Hwnds[window], &r, TRUE);
  w32ScrollersInvalidate(window);
  UpdateWindow(gW32Hwnds[window]);
}

void UXWin32Driver::windowOrderFront(uint32_t window) {
  if (!w32IsLive(window)) return;
  BringWindowToTop(gW32Hwnds[window]);
  SetForegroundWindow(gW32Hwnds[window]);
}

void UXWin32Driver::windowSetMinSize(uint32_t window, int32_t w, int32_t h) {
  if (!w32IsLive(window)) return;
  gW32MinW[window] = w;
  gW32MinH[window] = h;
  // A window already smaller grows at once; later drags are held by
  // WM_GETMINMAXINFO.
  RECT client{};
  GetClientRect(gW32Hwnds[window], &client);
  if (client.right < w || client.bottom < h) {
    RECT outer{0, 0, std::max<LONG>(client.right, w), std::max<LONG>(client.bottom, h)};
    AdjustWindowRect(&outer, kW32WindowStyle, gW32Menu != nullptr);
    SetWindowPos(gW32Hwnds[window], nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

// ---------------------------------------------------------------------------
// 5. Context pop-up menu and outline hit test.

int32_t UXWin32Driver::menuPopUp(uint32_t window, const char* const* titles, const uint32_t* flags, int32_t count,
                                 int32_t x, int32_t y) {
  if (!w32IsLive(window) || count < 1 || !titles) return -1;
  W32Menu menu(CreatePopupMenu());
  if (!menu) return -1;
  for (int32_t i = 0; i < count; ++i) {
    uint32_t f = flags ? flags[i] : 0;
    if (f & 1) AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
    else AppendMenuW(menu.get(), (f & 2) ? MF_GRAYED : MF_STRING, UINT_PTR(i + 1), w32Wide(titles[i]).c_str());
  }
  POINT p{x, y};
  ClientToScreen(gW32Hwnds[window], &p);
  int chosen = TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_NONOTIFY, p.x, p.y, 0, gW32Hwnds[window], nullptr);
  return int32_t(chosen) - 1;
}

int32_t UXWin32Driver::outlineItemAt(uint32_t window, int16_t node, int32_t x, int32_t y) {
  if (!w32IsLive(window) || !gW32TreeOf[window]) return 0;
  UXNodeTree* tree = gW32TreeOf[window];
  const UXNode* n = tree->at(node);
  if (!n || n->native == 0 || tree->effectivelyHidden(node)) return 0;
  HWND control = reinterpret_cast<HWND>(uintptr_t(n->native));
  POINT p{x, y};
  ClientToScreen(gW32Hwnds[window], &p);
  ScreenToClient(control, &p);
  RECT r{};
  GetClientRect(control, &r);
  if (p.x < 0 || p.y < 0 || p.x >= r.right || p.y >= r.bottom) return 0;
  TVHITTESTINFO hit{};
  hit.pt = p;
  auto item = reinterpret_cast<HTREEITEM>(SendMessageW(control, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  if (!item) return 0;
  TVITEMW tv{};
  tv.mask = TVIF_HANDLE | TVIF_PARAM;
  tv.hItem = item;
  if (!SendMessageW(control, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv))) return 0;
  return int32_t(tv.lParam);
}

// ---------------------------------------------------------------------------
// 6. Line overlay: a layered, click-through window over the client area,
//    magenta where it is transparent, on which a curve joins two points of
//    the window: the target rectangle's outline, the curve and its end dot.

namespace {
constexpr COLORREF kW32LineKey = 0xFF00FF;
constexpr COLORREF kW32LineBlue = RGB(38, 115, 242);

LRESULT CALLBACK UXLine32Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_PAINT) return DefWindowProcW(window, message, wParam, lParam);
  W32Paint paint(window);
  HDC dc = paint.dc();
  RECT r{};
  GetClientRect(window, &r);
  W32GdiObject key(CreateSolidBrush(kW32LineKey));
  FillRect(dc, &r, static_cast<HBRUSH>(key.get()));
  uint32_t h = uint32_t(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (h < 1 || h > kW32MaxWindows) return 0;
  const W32LineGeometry& g = gW32Line[h];
  W32GdiObject pen(CreatePen(PS_SOLID, 2, kW32LineBlue));
  W32Select penIn(dc, pen.get());
  {
    W32Select hollow(dc, GetStockObject(NULL_BRUSH));
    // The outline runs one pixel outside the target, leaving the target
    // itself clear.
    if (g.targetW > 0 && g.targetH > 0)
      Rectangle(dc, g.targetX - 1, g.targetY - 1, int32_t(int64_t(g.targetX) + g.targetW + 1),
                int32_t(int64_t(g.targetY) + g.targetH + 1));
    int32_t c[6];
    w32LineCurve(g.fromX, g.fromY, g.toX, g.toY, c);
    const POINT points[3] = {{c[0], c[1]}, {c[2], c[3]}, {c[4], c[5]}};
    MoveToEx(dc, g.fromX, g.fromY, nullptr);
    PolyBezierTo(dc, points, 3);
  }
  W32GdiObject dot(CreateSolidBrush(kW32LineBlue));
  W32Select dotIn(dc, dot.get());
  Ellipse(dc, g.toX - 3, g.toY - 3, g.toX + 4, g.toY + 4);
  return 0;
}
}  // namespace

void UXWin32Driver::windowLine(uint32_t window, uint8_t on, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t rx,
                               int32_t ry, int32_t rw, int32_t rh) {
  if (!w32IsLive(window)) return;
  if (!on) {
    if (gW32LineWin[window]) ShowWindow(gW32LineWin[window], SW_HIDE);
    gW32LineOn[window] = 0;
    return;
  }
  HWND owner = gW32Hwnds[window];
  gW32Line[window] = W32LineGeometry{x1, y1, x2, y2, rx, ry, rw, rh};
  RECT client{};
  GetClientRect(owner, &client);
  POINT origin{0, 0};
  ClientToScreen(owner, &origin);
  if (!gW32LineWin[window]) {
    static bool registered = false;
    if (!registered) {
      registerClass(kW32LineClass, 0, UXLine32Proc, nullptr);
      registered = true;
    }
    // Owned by the window, so it goes with it.
    HWND line = CreateWindowExW(WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE,
                                kW32LineClass, L"", WS_POPUP, origin.x, origin.y, client.right, client.bottom,
                                owner, nullptr, gW32Inst, nullptr);
    if (!line) return;
    SetLayeredWindowAttributes(line, kW32LineKey, 255, LWA_COLORKEY);
    SetWindowLongPtrW(line, GWLP_USERDATA, LONG_PTR(window));
    gW32LineWin[window] = line;
  }
  HWND line = gW32LineWin[window];
  SetWindowPos(line, nullptr, origin.x, origin.y, client.right, client.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(line, SW_SHOWNA);
  gW32LineOn[window] = 1;
  InvalidateRect(line, nullptr, TRUE);
  UpdateWindow(line);
}

}  // namespace quorl
