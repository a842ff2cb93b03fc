#include "ux/win32/W32ServicePure.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "foundation/String.h"
#include "foundation/WideText.h"
#include "ux/win32/W32Pure.h"

namespace quorl {

// ---------------------------------------------------------------------------
// 1. Offsets. The counts come from the same conversion that builds the
//    control's text, so an invalid byte counts as the one unit it became.

uint32_t w32U16At(const char* utf8, uint32_t length, uint32_t byteOffset) {
  if (!utf8) return 0;
  return uint32_t(WideText::utf16(utf8, String::utf8Prefix(utf8, length, byteOffset)).size());
}

uint32_t w32U8At(const char16_t* wide, uint32_t length, uint32_t unitOffset) {
  uint32_t m = std::min(unitOffset, length);
  if (!wide || m < 1) return 0;
  if (m < length && wide[m] >= 0xDC00 && wide[m] <= 0xDFFF) --m;
  return uint32_t(WideText::utf8(wide, m).size());
}

// ---------------------------------------------------------------------------
// 2. Clocks and fonts.

uint64_t w32MicrosOf(uint64_t ticks, uint64_t frequency) {
  if (frequency == 0) return 0;
  return ticks / frequency * 1000000 + ticks % frequency * 1000000 / frequency;
}

int64_t w32DayNumber(int32_t year, int32_t month, int32_t day) {
  // Days from the civil date, counting years from March so that the leap
  // day ends the year.
  int64_t y = int64_t(year) - (month <= 2 ? 1 : 0);
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t mp = (int64_t(month) + 9) % 12;
  int64_t doy = (153 * mp + 2) / 5 + int64_t(day) - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

int32_t w32LocalOffsetMinutes(const int32_t utc[5], const int32_t local[5]) {
  int64_t days = w32DayNumber(local[0], local[1], local[2]) - w32DayNumber(utc[0], utc[1], utc[2]);
  int64_t minutes = (int64_t(local[3]) * 60 + local[4]) - (int64_t(utc[3]) * 60 + utc[4]) + days * 1440;
  return int32_t(std::clamp<int64_t>(minutes, INT32_MIN, INT32_MAX));
}

int32_t w32FontHeightOfPoints(int32_t points) {
  int64_t px = (int64_t(points) * 96 + 36) / 72;
  return int32_t(-std::clamp<int64_t>(px, -0x7FFFFFFF, 0x7FFFFFFF));
}

int32_t w32PointsOfTenths(int32_t tenths) { return int32_t((int64_t(tenths) + 5) / 10); }

// ---------------------------------------------------------------------------
// 3. Directory listings.

W32ListWriter::W32ListWriter(char* buffer, uint32_t capacity) : buffer_(buffer), capacity_(buffer ? capacity : 0) {
  if (capacity_ > 0) buffer_[0] = 0;
}

void W32ListWriter::add(bool directory, uint64_t size, const std::string& name) {
  if (capacity_ <= 300 || position_ >= capacity_ - 300) {
    whole_ = false;
    return;
  }
  char digits[16];
  auto r = std::to_chars(digits, digits + sizeof digits, directory ? 0u : uint32_t(size));
  size_t digitCount = size_t(r.ptr - digits);
  size_t line = 1 + 1 + digitCount + 1 + name.size() + 1;
  if (size_t(position_) + line + 1 > capacity_) {
    whole_ = false;
    return;
  }
  char* p = buffer_ + position_;
  *p++ = directory ? 'd' : 'f';
  *p++ = '\t';
  std::memcpy(p, digits, digitCount);
  p += digitCount;
  *p++ = '\t';
  std::memcpy(p, name.data(), name.size());
  p += name.size();
  *p++ = '\n';
  *p = 0;
  position_ += uint32_t(line);
  ++count_;
}

// ---------------------------------------------------------------------------
// 4. Rectangles and sizes.

bool w32SnapRectInside(int32_t x, int32_t y, int32_t w, int32_t h, int32_t cw, int32_t ch) {
  if (cw < 1 || ch < 1 || x < 0 || y < 0 || w < 1 || h < 1) return false;
  return int64_t(x) + w <= cw && int64_t(y) + h <= ch;
}

void w32GlBufferSize(int32_t cw, int32_t ch, int32_t maxSide, int32_t& w, int32_t& h) {
  int64_t bw = std::max(cw, 0), bh = std::max(ch, 0);
  if (maxSide > 0 && (bw > maxSide || bh > maxSide)) {
    if (bw >= bh) {
      bh = bh * maxSide / bw;
      bw = maxSide;
    } else {
      bw = bw * maxSide / bh;
      bh = maxSide;
    }
  }
  w = int32_t(std::max<int64_t>(bw, 1));
  h = int32_t(std::max<int64_t>(bh, 1));
}

std::u16string w32LongPathForm(const std::u16string& full) {
  auto sep = [](char16_t c) { return c == u'\\' || c == u'/'; };
  if (full.size() >= 4 && sep(full[0]) && sep(full[1]) && (full[2] == u'?' || full[2] == u'.') && sep(full[3]))
    return full;
  const bool share = full.size() >= 3 && sep(full[0]) && sep(full[1]);
  const bool drive = full.size() >= 3 && ((full[0] | 0x20) >= u'a' && (full[0] | 0x20) <= u'z') &&
                     full[1] == u':' && sep(full[2]);
  if (!share && !drive) return full;
  // The long form is taken as it is written: only backslashes separate.
  std::u16string out = share ? u"\\\\?\\UNC\\" + full.substr(2) : u"\\\\?\\" + full;
  std::replace(out.begin(), out.end(), u'/', u'\\');
  return out;
}

std::u16string w32SettingsFileFor(const std::u16string* appdata) {
  constexpr size_t kLongestPath = 32767 - 4;  // a "\\?\" form's length less its prefix
  std::u16string path = appdata && !appdata->empty() ? *appdata : u".";
  path += u"\\Wendle\\Wendle.ini";
  return path.size() <= kLongestPath ? path : std::u16string();
}

bool w32HasOverlongName(const std::u16string& path) {
  size_t run = 0;
  for (char16_t c : path) {
    run = c == u'\\' || c == u'/' ? 0 : run + 1;
    if (run > 255) return true;
  }
  return false;
}

bool w32IsDeviceName(const std::u16string& path) {
  size_t end = path.size();
  while (end > 0 && path[end - 1] == u':') --end;
  // A colon ends a drive ("C:NUL") but not a device's own ("NUL:.txt").
  size_t start = end;
  while (start > 0 && path[start - 1] != u'\\' && path[start - 1] != u'/' &&
         !(path[start - 1] == u':' && path[start] != u'.'))
    --start;
  std::u16string base = path.substr(start, end - start);
  base.resize(std::min(base.size(), base.find(u'.')));
  while (!base.empty() && (base.back() == u' ' || base.back() == u':')) base.pop_back();
  auto is = [&base](const char* name) {
    for (size_t i = 0; i < 3; ++i)
      if ((base[i] | 0x20) != (name[i] | 0x20)) return false;
    return true;
  };
  if (base.size() == 3) return is("con") || is("prn") || is("aux") || is("nul");
  if (base.size() != 4) return false;
  const char16_t n = base[3];
  const bool digit = (n >= u'1' && n <= u'9') || n == u'\u00B9' || n == u'\u00B2' || n == u'\u00B3';
  return digit && (is("com") || is("lpt"));
}

// ---------------------------------------------------------------------------
// 5. File dialog flags (commdlg.h values: this file has no windows.h).

uint32_t w32FileDialogFlags(bool save) {
  constexpr uint32_t kExplorer = 0x00080000, kFileMustExist = 0x1000, kPathMustExist = 0x0800,
                     kNoChangeDir = 0x0008, kHideReadOnly = 0x0004, kOverwritePrompt = 0x0002;
  const uint32_t both = kExplorer | kPathMustExist | kNoChangeDir | kHideReadOnly;
  return save ? both | kOverwritePrompt : both | kFileMustExist;
}

}  // namespace quorl
