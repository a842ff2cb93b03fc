// The run loop and start-up answers: the caller runs the loop, and the
// driver has no screen to change shape. The busy cursor of a step that
// holds the loop.
#include <windows.h>

#include "ux/win32/UXWin32Driver.h"

namespace quorl {

namespace {
int32_t busyDepth = 0;
HCURSOR cursorBefore = nullptr;  // shown when the outermost step began
}  // namespace

void UXWin32Driver::setBusy(uint8_t on) {
  if (on) {
    if (busyDepth++ == 0) cursorBefore = SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
    return;
  }
  if (busyDepth < 1 || --busyDepth > 0) return;
  // A program that never set a cursor (no pointer over its windows yet)
  // gets the arrow of its windows' class rather than none at all.
  SetCursor(cursorBefore ? cursorBefore : LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)));
}

bool UXWin32Driver::setTurnHook(UXTurnHook, void*) { return false; }
bool UXWin32Driver::driverOwnsRunLoop() { return false; }
void UXWin32Driver::appAttached(Ptr<UXApplication>) {}
void UXWin32Driver::requestStop() {}
void UXWin32Driver::setHeadless(uint8_t) {}
bool UXWin32Driver::stopAfterMs(int32_t) { return false; }
void UXWin32Driver::runLoop() {}
int32_t UXWin32Driver::formFactorClass() { return 1; }
int32_t UXWin32Driver::orientation() { return 0; }

}  // namespace quorl
