// The run loop and start-up answers: the caller runs the loop, and the
// driver has no screen to change shape; the busy steps, counted
// (UXWin32RunLoop.cpp on Win32).
#include "ux/headless/UXHeadlessDriver.h"

namespace quorl {

bool UXHeadlessDriver::setTurnHook(UXTurnHook, void*) { return false; }
bool UXHeadlessDriver::driverOwnsRunLoop() { return false; }
void UXHeadlessDriver::appAttached(Ptr<UXApplication>) {}
void UXHeadlessDriver::requestStop() {}
void UXHeadlessDriver::setHeadless(uint8_t on) { headless_ = on; }
bool UXHeadlessDriver::stopAfterMs(int32_t) { return false; }
void UXHeadlessDriver::runLoop() {}
int32_t UXHeadlessDriver::formFactorClass() { return 1; }
int32_t UXHeadlessDriver::orientation() { return 0; }
void UXHeadlessDriver::setBusy(uint8_t on) {
  if (on) busyDepth_++;
  else if (busyDepth_ > 0) busyDepth_--;
}

}  // namespace quorl
