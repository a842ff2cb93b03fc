// Clocks: the monotonic ones and calendar time in UTC (W32Clock.cpp on
// Win32).
#include <chrono>

#include "ux/headless/UXHeadlessDriver.h"

namespace quorl {

uint32_t UXHeadlessDriver::nowMs() {
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
  return uint32_t(uint64_t(ms.count()));
}

uint64_t UXHeadlessDriver::nowUs() {
  auto us = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
  return uint64_t(us.count());
}

void UXHeadlessDriver::nowUTC(uint32_t out[7]) {
  uxCivilFromUs(std::chrono::duration_cast<std::chrono::microseconds>(
                    std::chrono::system_clock::now().time_since_epoch())
                    .count(),
                out);
}

int32_t UXHeadlessDriver::localOffsetMinutes() { return 0; }

void uxCivilFromUs(int64_t us, uint32_t out[7]) {
  constexpr int64_t kDay = 86400000000;
  int64_t days = us >= 0 ? us / kDay : (us - (kDay - 1)) / kDay;
  int64_t dayUs = us - days * kDay;
  // Civil date from days since 1970-01-01 (proleptic Gregorian).
  int64_t z = days + 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int64_t day = doy - (153 * mp + 2) / 5 + 1;
  int64_t month = mp < 10 ? mp + 3 : mp - 9;
  int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  out[0] = uint32_t(year);
  out[1] = uint32_t(month);
  out[2] = uint32_t(day);
  out[3] = uint32_t(dayUs / 3600000000);
  out[4] = uint32_t(dayUs / 60000000 % 60);
  out[5] = uint32_t(dayUs / 1000000 % 60);
  out[6] = uint32_t(dayUs % 1000000);
}

}  // namespace quorl
