// The common dialogs, which nobody answers here: each answers cancel at once
// (W32Dialogs.cpp on Win32).
#include "ux/headless/UXHeadlessDriver.h"
#include "ux/headless/UXHeadlessInternal.h"

namespace quorl {

using namespace headless;

bool UXHeadlessDriver::hasNativeFileOpen() { return false; }

int32_t UXHeadlessDriver::fileOpen(const char*, const char*, char* buffer, uint32_t capacity) {
  copyOut("", buffer, capacity);
  return 0;
}

bool UXHeadlessDriver::hasNativeNavigation() { return false; }
int32_t UXHeadlessDriver::navAttach(uint32_t) { return 0; }
int32_t UXHeadlessDriver::navPush(uint32_t, const char*) { return 0; }
int32_t UXHeadlessDriver::navPop(uint32_t) { return 0; }
bool UXHeadlessDriver::hasNativeFileSave() { return true; }

int32_t UXHeadlessDriver::fileSave(const char*, const char*, const char*, char* buffer, uint32_t capacity) {
  copyOut("", buffer, capacity);
  return 0;
}

bool UXHeadlessDriver::hasNativeColorPicker() { return true; }

bool UXHeadlessDriver::pickColor(uint32_t r, uint32_t g, uint32_t b, uint32_t& outR, uint32_t& outG,
                                 uint32_t& outB) {
  outR = r;
  outG = g;
  outB = b;
  return false;
}

bool UXHeadlessDriver::hasNativeFontPicker() { return true; }

bool UXHeadlessDriver::pickFont(const char*, int32_t, uint8_t, uint8_t, char*, uint32_t, int32_t&, uint8_t&, uint8_t&) {
  return false;
}

}  // namespace quorl
