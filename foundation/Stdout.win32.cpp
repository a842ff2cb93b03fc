// Stdio::_write on Windows.
//
// A real console is written with WriteConsoleW: the UTF-8 text becomes
// UTF-16 here, so it shows correctly whatever the console's code page is and
// without changing that code page for the user's console. A pipe or a file
// gets the UTF-8 bytes unchanged through WriteFile. A UTF-8 sequence cut
// between two calls is held back until its rest arrives, so a console never
// shows a character split in two.
#include <windows.h>

#include <cstdio>
#include <mutex>
#include <vector>

#include "String.h"
#include "WideText.h"

namespace quorl {

namespace {

std::mutex gConsoleMutex;
uint8_t gCarry[4];
uint32_t gCarryLength = 0;

// Length of an incomplete UTF-8 sequence at the end of `bytes` (0 if none).
uint32_t incompleteTail(const uint8_t* bytes, uint32_t count) {
  for (uint32_t back = 1; back <= 3 && back <= count; back++) {
    const uint8_t b = bytes[count - back];
    if ((b & 0xC0) == 0x80) continue;
    const uint32_t need = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    return need > back ? back : 0;
  }
  return 0;
}

bool writeConsole(HANDLE h, const uint8_t* bytes, uint32_t count) {
  std::lock_guard<std::mutex> lock(gConsoleMutex);
  std::vector<uint8_t> text(gCarry, gCarry + gCarryLength);
  text.insert(text.end(), bytes, bytes + count);
  const uint32_t hold = incompleteTail(text.data(), static_cast<uint32_t>(text.size()));
  gCarryLength = hold;
  for (uint32_t k = 0; k < hold; k++) gCarry[k] = text[text.size() - hold + k];
  const size_t n = text.size() - hold;
  if (n == 0) return true;
  const std::wstring w = WideText::wide(reinterpret_cast<const char*>(text.data()), n);
  // Old consoles refuse very large single writes; write in slices.
  for (size_t done = 0; done < w.size();) {
    const DWORD slice = static_cast<DWORD>(w.size() - done < 8192 ? w.size() - done : 8192);
    DWORD written = 0;
    if (!WriteConsoleW(h, w.data() + done, slice, &written, nullptr) || written == 0) return false;
    done += written;
  }
  return true;
}

}  // namespace

bool Stdio::_write(const void* bytes, uint32_t count) {
  if (!bytes || count == 0) return true;
  std::fflush(stdout);  // keep order with anything printed through C stdio
  HANDLE h = GetStdHandle(STD_OUTPUT_HANDLE);
  if (h == nullptr || h == INVALID_HANDLE_VALUE) return false;  // no standard output to write to
  DWORD mode = 0;
  if (GetConsoleMode(h, &mode)) return writeConsole(h, static_cast<const uint8_t*>(bytes), count);
  const char* p = static_cast<const char*>(bytes);
  DWORD left = count;
  while (left) {
    DWORD written = 0;
    if (!WriteFile(h, p, left, &written, nullptr) || written == 0) return false;  // a full disk, a closed pipe
    p += written;
    left -= written;
  }
  return true;
}

}  // namespace quorl
