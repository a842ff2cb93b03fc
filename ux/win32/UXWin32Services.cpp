// The operations whose native forms belong to the native controls: the
// hooks the event pump routes to, the scroll class's window procedure, and
// realising and drawing the tree. The services (dialogs, clocks, settings,
// metrics, files, rich text, GL, sound, icons, snapshots) are the W32*.cpp
// files of W32Services.h.
#include <windows.h>

#include "ux/core/UXNodeTree.h"
#include "ux/win32/UXGdiGraphics.h"
#include "ux/win32/UXWin32Driver.h"
#include "ux/win32/W32Globals.h"

namespace quorl {

// --- Hooks of the native controls ------------------------------------------------
void w32ValueChanged(HWND, int32_t) {}
void w32RowDrag(HWND, int32_t, const char*, bool, int32_t, int32_t) {}
bool w32OutlineNotify(HWND, NMHDR*) { return false; }
void w32ScrollersInvalidate(uint32_t) {}
void w32ScrollerDropWindow(uint32_t) {}

LRESULT CALLBACK UXScroll32Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

// --- Realising and drawing the tree ----------------------------------------------
void UXWin32Driver::realizeTree(uint32_t window, UXNodeTree* tree) {
  if (w32IsLive(window)) gW32TreeOf[window] = tree;
}

void UXWin32Driver::treeDraw(UXNodeTree* tree, int16_t start, int32_t, int32_t, int32_t, int32_t) {
  if (!tree) return;
  tree->walk(start, [&](int16_t n, int32_t ax, int32_t ay) {
    const UXNode* node = tree->at(n);
    if (node->hidden) return false;
    if (uxKindDrawnByToolkit(node->kind)) {
      if (gW32UserFn) gW32UserFn(tree, n, gW32UserUd);
    } else if (node->kind == kUXNodeLabel && node->spec && gW32Gfx) {
      // Labels have no control: the driver draws their text.
      gW32Gfx->bind(gW32CurHdc, -gW32DrawOX, -gW32DrawOY, 0, 0);
      gW32Gfx->drawText(uxTextOfSpec(node->spec), int16_t(ax), int16_t(ay), 1, 12);
    }
    return true;
  });
}

}  // namespace quorl
