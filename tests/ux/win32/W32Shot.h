// Saving what a window shows, for looking at it by eye.
#pragma once

#include <windows.h>

namespace quorl::test {

// The window's pixels as shown, saved as a BMP when QUORL_W32_SHOT names a
// file (for looking at them by eye).
inline void saveShot(HWND window) {
  wchar_t path[MAX_PATH] = {};
  if (!GetEnvironmentVariableW(L"QUORL_W32_SHOT", path, MAX_PATH)) return;
  RECT r{};
  GetClientRect(window, &r);
  int w = r.right, h = r.bottom;
  HDC dc = GetDC(window);
  HDC memory = CreateCompatibleDC(dc);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, w, h, dc, 0, 0, SRCCOPY);
  GdiFlush();
  DWORD stride = DWORD((w * 3 + 3) & ~3), size = stride * DWORD(h);
  BITMAPFILEHEADER file{0x4D42, DWORD(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + size), 0, 0,
                        DWORD(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER))};
  HANDLE out = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(out, &file, sizeof file, &written, nullptr);
  WriteFile(out, &info.bmiHeader, sizeof info.bmiHeader, &written, nullptr);
  WriteFile(out, bits, size, &written, nullptr);
  CloseHandle(out);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(window, dc);
}

}  // namespace quorl::test
