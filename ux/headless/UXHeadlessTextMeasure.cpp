// Text widths and ascents by the headless rule, and its one font family
// (W32TextMeasure.cpp on Win32).
#include <cstring>

#include "ux/headless/UXHeadlessDriver.h"
#include "ux/headless/UXHeadlessInternal.h"

namespace quorl {

using namespace headless;

uint32_t uxHeadlessTextWidth(const char* text, int32_t size) {
  if (size < 1) size = 12;
  uint64_t bytes = text ? std::strlen(text) : 0;
  uint64_t w = bytes * 7 * uint64_t(size) / 12;
  return w > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(w);
}

uint32_t UXHeadlessDriver::textWidth(const char* text, int32_t size) { return uxHeadlessTextWidth(text, size); }

uint32_t UXHeadlessDriver::textWidthStyled(const char* text, const char*, uint32_t size, uint8_t, uint8_t) {
  return uxHeadlessTextWidth(text, size > 0x7FFFFFFF ? 0x7FFFFFFF : int32_t(size));
}

uint32_t UXHeadlessDriver::textWidthWeight(const char* text, const char*, uint32_t size, uint32_t, uint8_t) {
  return uxHeadlessTextWidth(text, size > 0x7FFFFFFF ? 0x7FFFFFFF : int32_t(size));
}

int32_t UXHeadlessDriver::textAscent(const char*, uint32_t size, uint32_t, uint8_t) {
  return size < 1 ? 12 : size > 0x7FFFFFFF ? 0x7FFFFFFF : int32_t(size);
}

int32_t UXHeadlessDriver::runPopupMenu(Ptr<UXView>, int32_t, int32_t) { return -1; }
int32_t UXHeadlessDriver::fontFamilyCount() { return 1; }

int32_t UXHeadlessDriver::fontFamilyName(int32_t index, char* buffer, uint32_t capacity) {
  if (index != 0) return -1;
  return int32_t(copyOut("Headless", buffer, capacity));
}

}  // namespace quorl
