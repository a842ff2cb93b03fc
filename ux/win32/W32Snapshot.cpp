// Window snapshots: a rectangle of a window's client area as 32-bit pixels.
// Under Wine the client area is copied from the window; elsewhere it is
// rendered through the content function into a bitmap, with the printed
// pixels of the visible child controls laid over it.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "ux/win32/UXWin32Driver.h"
#include "ux/win32/W32Globals.h"
#include "ux/win32/W32Handles.h"
#include "ux/win32/W32ServicePure.h"
#include "ux/win32/W32Services.h"

namespace quorl {

namespace {

bool gW32SnapLoaded = false;
bool gW32UnderWine = false;
BOOL(WINAPI* gW32PrintWindow)(HWND, HDC, UINT) = nullptr;

void snapLoad() {
  if (gW32SnapLoaded) return;
  gW32SnapLoaded = true;
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  gW32UnderWine = ntdll && GetProcAddress(ntdll, "wine_get_version");
  if (HMODULE user = GetModuleHandleW(L"user32.dll"))
    gW32PrintWindow = reinterpret_cast<BOOL(WINAPI*)(HWND, HDC, UINT)>(
        reinterpret_cast<void*>(GetProcAddress(user, "PrintWindow")));
}

// Every visible child's area, copied from the printed image to the rendered.
void snapChildren(HWND window, const uint32_t* printed, uint32_t* rendered, int32_t cw, int32_t ch) {
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowVisible(child)) continue;
    RECT r{};
    GetWindowRect(child, &r);
    POINT tl{r.left, r.top}, br{r.right, r.bottom};
    ScreenToClient(window, &tl);
    ScreenToClient(window, &br);
    int32_t x0 = std::max<int32_t>(tl.x, 0), y0 = std::max<int32_t>(tl.y, 0);
    int32_t x1 = std::min<int32_t>(br.x, cw), y1 = std::min<int32_t>(br.y, ch);
    for (int32_t y = y0; y < y1; ++y)
      for (int32_t x = x0; x < x1; ++x) rendered[size_t(y) * size_t(cw) + size_t(x)] = printed[size_t(y) * size_t(cw) + size_t(x)];
  }
}

bool render(HWND window, HDC memory, uint32_t* image, int32_t cw, int32_t ch) {
  RECT all{0, 0, cw, ch};
  FillRect(memory, &all, gW32FaceBrush);
  void* userData = reinterpret_cast<void*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (userData && gW32ContentFn) {
    HDC previous = gW32CurHdc;
    gW32CurHdc = memory;
    {
      W32Select font(memory, gW32Font);
      gW32ContentFn(0, 0, 0, cw, ch, userData);
    }
    gW32CurHdc = previous;
  }
  if (gW32PrintWindow) {
    W32Dib printed(cw, ch);
    W32MemoryDC printDC(nullptr);
    if (printed && printDC.get()) {
      W32Select chosen(printDC.get(), printed.get());
      if (gW32PrintWindow(window, printDC.get(), 3)) {  // client only, full content
        GdiFlush();
        snapChildren(window, printed.bits(), image, cw, ch);
      }
    }
  }
  return true;
}

}  // namespace

bool w32Snapshot(uint32_t window, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t* out) {
  if (!w32IsLive(window) || !out) return false;
  snapLoad();
  HWND hwnd = gW32Hwnds[window];
  RECT client{};
  GetClientRect(hwnd, &client);
  int32_t cw = client.right, ch = client.bottom;
  // Origins left of or above the client area, and far edges past it or
  // wrapping round, are refused before anything is read.
  if (!w32SnapRectInside(x, y, w, h, cw, ch)) return false;
  W32Dib bitmap(cw, ch);
  W32MemoryDC memory(nullptr);
  if (!bitmap || !memory.get()) return false;
  const uint32_t* image = bitmap.bits();
  bool captured = false;
  {
    W32Select chosen(memory.get(), bitmap.get());
    if (gW32UnderWine) {
      W32WindowDC source(hwnd);
      captured = source && BitBlt(memory.get(), 0, 0, cw, ch, source.get(), 0, 0, SRCCOPY);
    } else {
      captured = render(hwnd, memory.get(), bitmap.bits(), cw, ch);
    }
    GdiFlush();
  }
  if (!captured) return false;
  for (int32_t r = 0; r < h; ++r)
    for (int32_t c = 0; c < w; ++c)
      out[size_t(r) * size_t(w) + size_t(c)] = image[size_t(y + r) * size_t(cw) + size_t(x + c)] | 0xFF000000u;
  return true;
}

bool UXWin32Driver::windowSnapshot(uint32_t window, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t* out) {
  return w32Snapshot(window, x, y, w, h, out);
}

}  // namespace quorl
