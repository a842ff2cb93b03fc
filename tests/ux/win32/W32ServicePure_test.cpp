// The pure rules of the driver's services, run natively and under Wine:
// offsets between UTF-8 and UTF-16, day numbers and the local offset, point
// sizes, the listing's lines and limits, snapshot rectangles, off-screen GL
// sizes, the file dialogs' flags, and Backspace in a field editor.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ux/core/UXApplication.h"
#include "ux/core/UXNodeTree.h"
#include "ux/headless/UXHeadlessDriver.h"
#include "ux/panels/UXFilePanel.h"
#include "ux/win32/W32ServicePure.h"

namespace quorl {
namespace {

TEST(W32OffsetsTest, BytesToUnitsTable) {
  // "aé😀\nb": a (1 byte, 1 unit), é (2, 1), 😀 (4, 2), LF, b.
  const std::string text = "a\xC3\xA9\xF0\x9F\x98\x80\nb";
  const uint32_t n = uint32_t(text.size());
  struct Case {
    uint32_t byte, unit;
  } cases[] = {
      {0, 0}, {1, 1}, {2, 1},            // inside é: its start
      {3, 2}, {4, 2}, {5, 2}, {6, 2},    // inside the pair: its start
      {7, 4}, {8, 5}, {9, 6}, {99, 6},   // past the end: the end
  };
  for (const Case& c : cases) EXPECT_EQ(w32U16At(text.data(), n, c.byte), c.unit) << c.byte;
  EXPECT_EQ(w32U16At(nullptr, 0, 5), 0u);
}

TEST(W32OffsetsTest, UnitsToBytesTable) {
  const std::u16string text = u"a\u00E9\U0001F600\rb";
  const uint32_t n = uint32_t(text.size());
  struct Case {
    uint32_t unit, byte;
  } cases[] = {
      {0, 0}, {1, 1}, {2, 3},
      {3, 3},  // between the halves of the pair: before it
      {4, 7}, {5, 8}, {6, 9}, {40, 9},
  };
  for (const Case& c : cases) EXPECT_EQ(w32U8At(text.data(), n, c.unit), c.byte) << c.unit;
}

TEST(W32ClockTest, MicrosecondsDoNotWrap) {
  struct Case {
    uint64_t ticks, frequency, micros;
  } cases[] = {
      {0, 10000000, 0},
      {15, 10000000, 1},
      {10000000, 10000000, 1000000},
      // 72 minutes: past 2^32 microseconds, where a 32-bit clock wrapped.
      {43200000000ull, 10000000, 4320000000ull},
      // A counter near its top: no overflow in the multiplication.
      {0x7FFFFFFFFFFFFFFFull, 3579545, 2576688388288113658ull},
      {123, 0, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(w32MicrosOf(c.ticks, c.frequency), c.micros) << c.ticks;
}

TEST(W32ClockTest, DayNumbersAndLocalOffsets) {
  EXPECT_EQ(w32DayNumber(1970, 1, 1), 0);
  EXPECT_EQ(w32DayNumber(2000, 3, 1), 11017);
  EXPECT_EQ(w32DayNumber(2024, 2, 29) + 1, w32DayNumber(2024, 3, 1));
  EXPECT_EQ(w32DayNumber(1969, 12, 31), -1);
  struct Case {
    int32_t utc[5], local[5], minutes;
  } cases[] = {
      {{2026, 12, 8, 10, 0}, {2026, 12, 8, 11, 30}, 90},
      {{2026, 12, 8, 23, 30}, {2026, 12, 9, 1, 0}, 90},      // across midnight
      {{2026, 12, 31, 23, 0}, {2027, 1, 1, 9, 0}, 600},      // across the year
      {{2027, 1, 1, 2, 0}, {2026, 12, 31, 19, 0}, -420},     // behind UTC
      {{2026, 12, 8, 5, 45}, {2026, 12, 8, 5, 45}, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(w32LocalOffsetMinutes(c.utc, c.local), c.minutes);
}

TEST(W32FontSizeTest, PointsToPixelsAndBack) {
  struct Case {
    int32_t points, height;
  } cases[] = {{12, -16}, {9, -12}, {10, -13}, {0, 0}, {1, -1}, {72, -96}};
  for (const Case& c : cases) EXPECT_EQ(w32FontHeightOfPoints(c.points), c.height) << c.points;
  EXPECT_EQ(w32PointsOfTenths(120), 12);
  EXPECT_EQ(w32PointsOfTenths(125), 13);
  EXPECT_EQ(w32PointsOfTenths(124), 12);
}

TEST(W32ListWriterTest, LinesSizesAndLimits) {
  char buffer[1024];
  W32ListWriter out(buffer, sizeof buffer);
  out.add(true, 4096, "a");
  out.add(false, 0, "b");
  out.add(false, 5000000000ull, "big");  // the low 32 bits
  out.add(false, 7, "\xC3\xA9t\xC3\xA9");
  EXPECT_EQ(out.count(), 4);
  EXPECT_TRUE(out.whole());
  EXPECT_STREQ(buffer, "d\t0\ta\nf\t0\tb\nf\t705032704\tbig\nf\t7\t\xC3\xA9t\xC3\xA9\n");

  // At or below 300 bytes of room nothing is written, but the NUL is.
  char small[300];
  std::memset(small, 'x', sizeof small);
  W32ListWriter none(small, sizeof small);
  none.add(false, 1, "a");
  EXPECT_EQ(none.count(), 0);
  EXPECT_FALSE(none.whole());
  EXPECT_EQ(small[0], 0);

  // A name longer than the 300 bytes kept free is skipped, not overrun,
  // and the listing no longer claims to be whole.
  std::string buf(400, '#');
  W32ListWriter edge(buf.data(), 302);
  edge.add(false, 1, std::string(500, 'n'));
  EXPECT_EQ(edge.count(), 0);
  EXPECT_FALSE(edge.whole());
  edge.add(false, 1, "short");
  EXPECT_EQ(edge.count(), 1);
  EXPECT_EQ(buf[302], '#');
  edge.add(false, 1, "again");  // the position reached capacity - 300
  EXPECT_EQ(edge.count(), 1);
}

// Lists names as the Win32 driver writes them (no folder here holds a
// 765-byte name).
struct ListingDriver : UXHeadlessDriver {
  std::vector<std::string> names;
  bool whole = false;
  int32_t listDir(const char*, char* buffer, uint32_t capacity) override {
    W32ListWriter out(buffer, capacity);
    for (const std::string& name : names) out.add(false, 0, name);
    whole = out.whole();
    return out.count();
  }
  bool listDirWhole() const override { return whole; }
};

// A 255-unit CJK name near the end of the panel's first buffer is listed:
// the buffer grows rather than the folder being labelled partial.
TEST(W32ListWriterTest, TheLongestNameNearTheBuffersEndIsListed) {
  auto driver = make<ListingDriver>();
  gDriver = driver;
  UXFileRows dirs, files;
  uint8_t unreadable = 0, truncated = 0, partial = 0;
  UXFilePanel::listFolder("/", dirs, files, unreadable, truncated, partial);  // the first buffer at its start
  for (int i = 0; i < 790; ++i) driver->names.push_back("file-" + std::to_string(10000 + i) + ".json");
  driver->names.push_back("");
  for (int i = 0; i < 255; ++i) driver->names.back() += "\xE6\x97\xA5";
  ASSERT_EQ(UXFilePanel::kListingStart, 16384u);  // 20-byte lines fill 15,800 bytes
  UXFilePanel::listFolder("/", dirs, files, unreadable, truncated, partial);
  gDriver.reset();
  EXPECT_EQ(unreadable + truncated + partial, 0);
  ASSERT_EQ(files.size(), 791u);
  EXPECT_EQ(files.back()->name, driver->names.back());
}

// Full paths take the long form that the wide calls follow past MAX_PATH.
TEST(W32LongPathTest, FullPathsTakeTheLongForm) {
  const std::u16string cases[][2] = {
      {u"C:\\data\\a.json", u"\\\\?\\C:\\data\\a.json"},
      {u"z:/tmp/x", u"\\\\?\\z:\\tmp\\x"},
      {u"\\\\server\\share\\a", u"\\\\?\\UNC\\server\\share\\a"},
      {u"//server/share/a", u"\\\\?\\UNC\\server\\share\\a"},
      {u"\\\\?\\C:\\already", u"\\\\?\\C:\\already"},
      {u"\\\\.\\pipe\\name", u"\\\\.\\pipe\\name"},
      {u"relative\\a", u"relative\\a"},
      {u"C:", u"C:"},
      {u"", u""},
  };
  for (const auto& c : cases) EXPECT_EQ(w32LongPathForm(c[0]), c[1]);
  EXPECT_FALSE(w32HasOverlongName(u"C:\\" + std::u16string(255, u'n') + u"\\b"));
  EXPECT_TRUE(w32HasOverlongName(u"C:\\" + std::u16string(256, u'n') + u"\\b"));
  EXPECT_TRUE(w32HasOverlongName(u"a/" + std::u16string(256, u'n')));
}

// The settings file below "APPDATA" however long: only a path longer than the system reaches is none.
TEST(W32LongPathTest, TheSettingsFileIsInTheApplicationDataFolderWhateverItsLength) {
  const std::u16string ini = u"\\Wendle\\Wendle.ini", empty, at255 = u"C:\\" + std::u16string(252, u'a'),
                       longest = u"C:\\" + std::u16string(32763 - 3 - 18, u'a'), past = longest + u"b";
  for (const std::u16string& appdata :
       {std::u16string(u"C:\\users\\a\\AppData"), at255, at255 + u"b", u"C:\\" + std::u16string(300, u'a'), longest})
    EXPECT_EQ(w32SettingsFileFor(&appdata), appdata + ini) << appdata.size();
  EXPECT_EQ(w32SettingsFileFor(nullptr), u"." + ini);
  EXPECT_EQ(w32SettingsFileFor(&empty), u"." + ini);
  EXPECT_EQ(w32SettingsFileFor(&past), u"");
}

// The names a path turns into a device's, whatever their case, extension
// or trailing spaces and colons; names that only begin like one are files.
TEST(W32LongPathTest, DeviceNamesAreKnownByTheirLastName) {
  for (const char16_t* path : {u"C:\\data\\aux.json", u"NUL", u"z:/tmp/com1.txt", u"CON", u"lpt9.tar.gz", u"Prn .txt",
                               u"nul:", u"C:NUL", u"NUL:.txt", u"x\\COM\u00B2", u"\\\\.\\con"})
    EXPECT_TRUE(w32IsDeviceName(path)) << testing::PrintToString(path);
  for (const char16_t* path : {u"COM0", u"auxiliary.txt", u"nul\\a.txt", u"a.nul", u"CONSOLE", u".con", u""})
    EXPECT_FALSE(w32IsDeviceName(path)) << testing::PrintToString(path);
}

TEST(W32SnapshotRectTest, InsideOnlyIn64Bits) {
  struct Case {
    int32_t x, y, w, h;
    bool inside;
  } cases[] = {
      {0, 0, 100, 50, true},
      {10, 10, 90, 40, true},
      {99, 49, 1, 1, true},
      {1, 0, 100, 50, false},                  // past the right edge
      {-1, 0, 10, 10, false},                  // left of the client area
      {0, -5, 10, 10, false},                  // above it
      {0x7FFFFFF0, 0, 0x20, 1, false},         // the far edge wraps in 32 bits
      {-0x7FFFFFFF, 0, 0x7FFFFFFF, 1, false},  // ends inside, starts far outside
      {0, 0, 0, 10, false},
      {0, 0, 10, -3, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(w32SnapRectInside(c.x, c.y, c.w, c.h, 100, 50), c.inside) << c.x << "," << c.y << " " << c.w << "x" << c.h;
  EXPECT_FALSE(w32SnapRectInside(0, 0, 1, 1, 0, 50));
}

TEST(W32GlSizeTest, OffscreenBufferSizes) {
  struct Case {
    int32_t cw, ch, max, w, h;
  } cases[] = {
      {5000, 1000, 4096, 4096, 819},
      {1000, 5000, 4096, 819, 4096},
      {0, 0, 4096, 1, 1},
      {640, 480, 0, 640, 480},
      {640, 480, 4096, 640, 480},
      {9000, 2, 4096, 4096, 1},  // never below one pixel
  };
  for (const Case& c : cases) {
    int32_t w = 0, h = 0;
    w32GlBufferSize(c.cw, c.ch, c.max, w, h);
    EXPECT_EQ(w, c.w) << c.cw << "x" << c.ch;
    EXPECT_EQ(h, c.h) << c.cw << "x" << c.ch;
  }
}

// The file dialogs are the system's current ones: Explorer style with no
// hook (0x20) or template (0x40, 0x80), which would bring the older dialog
// back on Windows.
TEST(W32FileDialogTest, FlagsKeepTheSystemsDialog) {
  EXPECT_EQ(w32FileDialogFlags(false), 0x0008180Cu);  // open
  EXPECT_EQ(w32FileDialogFlags(true), 0x0008080Eu);   // save
}

TEST(W32FieldEditorTest, BackspaceRemovesWholeCharacters) {
  struct Case {
    const char* text;
    int32_t caret;
    const char* after;
    int32_t caretAfter;
  } cases[] = {
      {"abc", 3, "ab", 2},
      {"a\xC3\xA9", 3, "a", 1},                    // é: two bytes
      {"\xE2\x82\xAC" "x", 3, "x", 0},             // €: three bytes
      {"\xF0\x9F\x98\x80", 4, "", 0},              // an emoji: four bytes
      {"a\xC3\xA9" "b", 1, "\xC3\xA9" "b", 0},
      {"\xC3\xA9", 0, "\xC3\xA9", 0},              // nothing before the caret
  };
  for (const Case& c : cases) {
    char buffer[16] = {};
    std::strcpy(buffer, c.text);
    Ref<UXFieldEditor> editor = make<UXFieldEditor>();
    editor->buffer = buffer;
    editor->capacity = sizeof buffer;
    int32_t caret = c.caret;
    EXPECT_EQ(editor->edit(8, caret, 1), 1);
    EXPECT_STREQ(buffer, c.after) << c.text;
    EXPECT_EQ(caret, c.caretAfter) << c.text;
  }
}

}  // namespace
}  // namespace quorl
