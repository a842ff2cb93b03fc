// View drawing: the one shared surface, bound to the paint in progress and
// moved by the document's offset.
#include <windows.h>

#include "ux/win32/UXGdiGraphics.h"
#include "ux/win32/UXWin32Driver.h"
#include "ux/win32/W32Globals.h"

namespace quorl {

UXGraphics* UXWin32Driver::beginViewDraw(int32_t x, int32_t y, int32_t w, int32_t h) {
  if (!gW32Gfx) return nullptr;
  gW32Gfx->bind(gW32CurHdc, x - gW32DrawOX, y - gW32DrawOY, w, h);
  return gW32Gfx;
}

void UXWin32Driver::endViewDraw() {}

void UXWin32Driver::setDrawOffset(int32_t x, int32_t y) {
  gW32DrawOX = x;
  gW32DrawOY = y;
}

bool UXWin32Driver::scrollsNatively() { return true; }

}  // namespace quorl
