// Clocks. nowUs runs on the performance counter in 64 bits, so it never
// wraps (a 32-bit tick count x 1000 would wrap every 71.6 minutes).
#include <windows.h>

#include "ux/win32/UXWin32Driver.h"
#include "ux/win32/W32ServicePure.h"

namespace quorl {

// The tick count's low 32 bits: callers take differences in u32 arithmetic.
uint32_t UXWin32Driver::nowMs() { return uint32_t(GetTickCount64()); }

uint64_t UXWin32Driver::nowUs() {
  static const uint64_t frequency = [] {
    LARGE_INTEGER f{};
    return QueryPerformanceFrequency(&f) && f.QuadPart > 0 ? uint64_t(f.QuadPart) : 0;
  }();
  LARGE_INTEGER now{};
  if (frequency == 0 || !QueryPerformanceCounter(&now)) return GetTickCount64() * 1000;
  return w32MicrosOf(uint64_t(now.QuadPart), frequency);
}

void UXWin32Driver::nowUTC(uint32_t out[7]) {
  SYSTEMTIME t{};
  GetSystemTime(&t);
  out[0] = t.wYear;
  out[1] = t.wMonth;
  out[2] = t.wDay;
  out[3] = t.wHour;
  out[4] = t.wMinute;
  out[5] = t.wSecond;
  out[6] = uint32_t(t.wMilliseconds) * 1000;  // microseconds, at the clock's millisecond resolution
}

int32_t UXWin32Driver::localOffsetMinutes() {
  SYSTEMTIME u{}, l{};
  GetSystemTime(&u);
  GetLocalTime(&l);
  const int32_t utc[5] = {u.wYear, u.wMonth, u.wDay, u.wHour, u.wMinute};
  const int32_t local[5] = {l.wYear, l.wMonth, l.wDay, l.wHour, l.wMinute};
  return w32LocalOffsetMinutes(utc, local);
}

}  // namespace quorl
