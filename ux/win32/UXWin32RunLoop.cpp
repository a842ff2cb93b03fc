// The run loop and start-up answers: the caller runs the loop, and the
// driver has no screen to change shape.
#include "ux/win32/UXWin32Driver.h"

namespace quorl {

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
