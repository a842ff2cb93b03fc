// The pure rules of the driver's services: no windows.h, compiled into the
// native tests too, like W32Pure.h.
//
// Sections:
//   1. Offsets between UTF-8 bytes and UTF-16 units (the rich-text bridge)
//   2. Clocks and fonts: day numbers, the local offset, point sizes
//   3. Directory listings and long paths
//   4. Snapshot rectangles and off-screen GL sizes
//   5. The file dialogs' flags
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quorl {

// ---------------------------------------------------------------------------
// 1. Offsets. A byte offset inside a character maps to that character's
//    first unit; a unit offset between the halves of a surrogate pair maps
//    to the bytes before the pair. Offsets past the end count as the end.
uint32_t w32U16At(const char* utf8, uint32_t length, uint32_t byteOffset);
uint32_t w32U8At(const char16_t* wide, uint32_t length, uint32_t unitOffset);

// ---------------------------------------------------------------------------
// 2. Clocks and fonts.
// Microseconds of a performance-counter reading, in 64 bits: whole seconds
// and the remainder apart, so the product never overflows (0 without a
// frequency).
uint64_t w32MicrosOf(uint64_t ticks, uint64_t frequency);
// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t w32DayNumber(int32_t year, int32_t month, int32_t day);
// Minutes to add to UTC to get local time, from the two calendar readings
// (year, month, day, hour, minute each); seconds do not count.
int32_t w32LocalOffsetMinutes(const int32_t utc[5], const int32_t local[5]);
// A point size proposed to the font dialog as a pixel height at 96 dpi,
// rounded half up: 12 pt gives -16.
int32_t w32FontHeightOfPoints(int32_t points);
// A chosen size in tenths of a point back to whole points, rounded.
int32_t w32PointsOfTenths(int32_t tenths);

// ---------------------------------------------------------------------------
// 3. A directory listing written into a caller's buffer: one line per entry
//    ("d" or "f", TAB, size, TAB, name, LF), always NUL-terminated. An entry
//    is written while the position is below capacity - 300 and only when its
//    whole line and the NUL fit (a UTF-8 name may be longer than 300 bytes).
class W32ListWriter {
 public:
  W32ListWriter(char* buffer, uint32_t capacity);
  // The size is cut to its low 32 bits, as the listing has always shown it.
  void add(bool directory, uint64_t size, const std::string& name);
  int32_t count() const { return count_; }
  // Whether every entry added was written (false once one had no room).
  bool whole() const { return whole_; }

 private:
  char* buffer_;  // borrowed: the caller's
  uint32_t capacity_;
  uint32_t position_ = 0;
  int32_t count_ = 0;
  bool whole_ = true;
};

// The long form of a full path (as GetFullPathNameW makes it), which the
// wide file calls take past MAX_PATH: "\\?\" before a drive path, "\\?\UNC\"
// in place of a share's leading "\\". A path already in a "\\?\" or "\\.\"
// form, and anything that is not a full path, stays as it is.
std::u16string w32LongPathForm(const std::u16string& full);
// The settings file below the application-data folder `appdata` (null
// when "APPDATA" is unset): that folder's "Wendle\Wendle.ini", or
// ".\Wendle\Wendle.ini" when it is unset or empty. Empty when the path
// would be longer than any path the system can reach (32,767 units): a
// folder that cannot be named is no reason to write anywhere else.
std::u16string w32SettingsFileFor(const std::u16string* appdata);
// Whether a path has a component longer than the 255 units a name may have.
bool w32HasOverlongName(const std::u16string& path);
// Whether the last name of a path is one Windows keeps for a device: CON,
// PRN, AUX, NUL, COM1-9 and LPT1-9 (also with the superscript digits 1-3),
// in any case, with any extension and trailing spaces or colons. The system
// turns such a path into the device's, so it reaches no file.
bool w32IsDeviceName(const std::u16string& path);

// ---------------------------------------------------------------------------
// 4. Rectangles and sizes.
// Whether (x, y, w, h) lies wholly inside a client area of cw x ch, checked
// in 64-bit arithmetic: negative origins, empty or overflowing rectangles
// are refused.
bool w32SnapRectInside(int32_t x, int32_t y, int32_t w, int32_t h, int32_t cw, int32_t ch);
// The off-screen buffer for a client of cw x ch when no side may exceed
// maxSide (0: no limit): the aspect ratio is kept, each side at least 1.
void w32GlBufferSize(int32_t cw, int32_t ch, int32_t maxSide, int32_t& w, int32_t& h);

// ---------------------------------------------------------------------------
// 5. The OPENFILENAMEW flags of the open (save false) and save dialogs:
//    Explorer style, no hook and no template (either brings back the older
//    dialog on Windows); open wants an existing file, save an existing
//    folder and asks before it overwrites; neither changes the current
//    directory or offers read-only.
uint32_t w32FileDialogFlags(bool save);

}  // namespace quorl
