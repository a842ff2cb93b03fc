// The application icon, made from pixels and put on every window (new
// windows get it at creation), and a window's icon from the shell's icon
// of a file.
#include <windows.h>
#include <shellapi.h>

#include <cstring>
#include <vector>

#include "ux/win32/UXWin32Driver.h"
#include "ux/win32/W32Globals.h"
#include "ux/win32/W32Handles.h"
#include "ux/win32/W32Services.h"
#include "ux/win32/W32Text.h"

namespace quorl {

W32Icon gW32AppIcon;

namespace {
// The shell's icons a window shows, by table handle, with the window they
// were put on: a window gone since gives its entry up at the next change.
struct WindowIcons {
  HWND window = nullptr;  // borrowed
  W32Icon big, small;
};
WindowIcons gW32WindowIcons[kW32TableSize];

void dropStaleIcons() {
  for (uint32_t h = 1; h < kW32TableSize; ++h)
    if (gW32WindowIcons[h].window && gW32WindowIcons[h].window != gW32Hwnds[h]) gW32WindowIcons[h] = WindowIcons{};
}
}  // namespace

HICON w32AppIconMake(const uint8_t* pixels, int32_t width, int32_t height, int32_t swap) {
  if (!pixels || width < 1 || height < 1 || int64_t(width) * height > (1 << 24)) return nullptr;
  W32Dib colour(width, height);
  if (!colour) return nullptr;
  auto* out = reinterpret_cast<uint8_t*>(colour.bits());
  size_t count = size_t(width) * size_t(height);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* p = pixels + i * 4;
    out[i * 4] = swap == 1 ? p[0] : p[2];
    out[i * 4 + 1] = p[1];
    out[i * 4 + 2] = swap == 1 ? p[2] : p[0];
    out[i * 4 + 3] = p[3];
  }
  // An all-zero AND mask, so the alpha channel alone decides; mask rows are
  // whole 16-bit words.
  std::vector<uint8_t> clear(size_t((width + 15) / 16 * 2) * size_t(height), 0);
  W32GdiObject mask(CreateBitmap(width, height, 1, 1, clear.data()));
  if (!mask) return nullptr;
  ICONINFO icon{};
  icon.fIcon = TRUE;
  icon.hbmMask = static_cast<HBITMAP>(mask.get());
  icon.hbmColor = colour.get();
  return CreateIconIndirect(&icon);  // copies both bitmaps, deleted as they go
}

void w32AppIconApply(HWND window) {
  if (!window || !gW32AppIcon) return;
  SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(gW32AppIcon.get()));
  SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(gW32AppIcon.get()));
}

bool w32AppSetIcon(const uint8_t* pixels, int32_t width, int32_t height, int32_t swap) {
  W32Icon icon(w32AppIconMake(pixels, width, height, swap));
  if (!icon) return false;
  // The windows let go of the icons they showed before the old ones go.
  std::swap(gW32AppIcon, icon);
  for (uint32_t h = 1; h <= kW32MaxWindows; ++h)
    if (gW32Hwnds[h]) w32AppIconApply(gW32Hwnds[h]);
  for (WindowIcons& shown : gW32WindowIcons) shown = WindowIcons{};
  return true;
}

bool UXWin32Driver::appSetIcon(const uint8_t* pixels, int32_t w, int32_t h, uint8_t byteOrder) {
  return w32AppSetIcon(pixels, w, h, byteOrder);
}

void UXWin32Driver::windowSetIcon(uint32_t window, const char* imagePath) {
  if (!w32IsLive(window)) return;
  HWND hwnd = gW32Hwnds[window];
  dropStaleIcons();
  WindowIcons shown;
  shown.window = hwnd;
  if (imagePath && *imagePath) {
    std::wstring path = w32Wide(imagePath);
    SHFILEINFOW info{};
    if (SHGetFileInfoW(path.c_str(), 0, &info, sizeof info, SHGFI_ICON)) shown.big.reset(info.hIcon);
    info = SHFILEINFOW{};
    if (SHGetFileInfoW(path.c_str(), 0, &info, sizeof info, SHGFI_ICON | SHGFI_SMALLICON))
      shown.small.reset(info.hIcon);
  }
  HICON big = shown.big ? shown.big.get() : gW32AppIcon.get();
  HICON small = shown.small ? shown.small.get() : gW32AppIcon.get();
  SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
  // The icons the window showed before are freed once it shows these.
  gW32WindowIcons[window] = std::move(shown);
}

}  // namespace quorl
