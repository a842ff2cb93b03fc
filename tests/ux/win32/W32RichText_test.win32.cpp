// The rich-text bridge under Wine, through the real "RICHEDIT50W" control:
// text, style runs and selection round trips, notices held back during the
// driver's own edits, undo keys, and bridges dropped with their window.
#include <richedit.h>

#include <cstring>
#include <string>
#include <vector>

#include "W32TestSupport.h"
#include "ux/text/UXTextView.h"
#include "ux/win32/W32Services.h"

namespace quorl::test {
namespace {

class Notices : public Object, public UXTextViewDelegate {
 public:
  int changes = 0, selections = 0;
  void textDidChange(UXTextView&) override { ++changes; }
  void selectionDidChange(UXTextView&) override { ++selections; }
};

constexpr int32_t kId = 4;

class W32RichTextTest : public Win32DriverTest {
 protected:
  uint32_t window = 0;
  Ref<UXTextView> view = make<UXTextView>();
  Ref<W32TextView> bridge;
  Ref<Notices> notices = make<Notices>();

  void SetUp() override {
    Win32DriverTest::SetUp();
    window = openWindow(400, 240);
    bridge = W32TextView::make(window, kId, hwndOf(window), 10, 10, 360, 200, view);
    ASSERT_TRUE(bridge) << "no RICHEDIT50W control";
    view->becomeNative(int32_t(window), kId);
    view->delegate = notices;
  }

  std::string readText() {
    uint32_t length = 0, runs = 0;
    d->textViewSize(window, kId, length, runs);
    std::vector<char> buffer(length + 1, '#');
    d->textViewRead(window, kId, buffer.data(), length + 1, nullptr, 0);
    return std::string(buffer.data());
  }
  std::vector<uint32_t> readRuns() {
    uint32_t length = 0, count = 0;
    d->textViewSize(window, kId, length, count);
    std::vector<uint32_t> runs(size_t(count) * 5 + 5, 0xEEEEEEEE);
    std::vector<char> buffer(length + 1);
    uint32_t got = d->textViewRead(window, kId, buffer.data(), length + 1, runs.data(), count);
    EXPECT_EQ(got, count);
    runs.resize(size_t(got) * 5);
    return runs;
  }
};

TEST_F(W32RichTextTest, TextAndRunsRoundTrip) {
  const uint32_t red = 0x01FF0000;
  struct Case {
    const char* name;
    std::string text;
    std::vector<uint32_t> runs, expected;
  } cases[] = {
      {"line ends", "a\nb", {}, {0, 3, 0, 0, 0}},
      {"bold middle", "plain bold plain", {6, 4, 1, 0, 0}, {0, 6, 0, 0, 0, 6, 4, 1, 0, 0, 10, 6, 0, 0, 0}},
      // A run starting inside é begins at é; the emoji is one character.
      {"mid-character", "\xC3\xA9\xF0\x9F\x98\x80x", {1, 5, 2, 0, 0}, {0, 6, 2, 0, 0, 6, 1, 0, 0, 0}},
      {"colour and size", "redbig", {0, 3, 0, red, 0, 3, 3, 0, 0, 13}, {0, 3, 0, red, 0, 3, 3, 0, 0, 13}},
      {"underline, monospace", "uvw", {0, 3, 4 | 8, 0, 0}, {0, 3, 12, 0, 0}},
      {"one format, two paragraphs", "ab\ncd", {}, {0, 5, 0, 0, 0}},
      {"centred paragraph", "ab\ncd", {3, 2, 2 << 4, 0, 0}, {0, 3, 0, 0, 0, 3, 2, 2 << 4, 0, 0}},
      {"right, justified", "r\nj", {0, 1, 1 << 4, 0, 0, 2, 1, 3 << 4, 0, 0}, {0, 2, 1 << 4, 0, 0, 2, 1, 3 << 4, 0, 0}},
  };
  for (const Case& c : cases) {
    d->textViewSetAll(window, kId, c.text.data(), uint32_t(c.text.size()), c.runs.data(), uint32_t(c.runs.size() / 5));
    EXPECT_EQ(readText(), c.text) << c.name;
    EXPECT_EQ(readRuns(), c.expected) << c.name;
  }
  // The control holds CR line ends and sizes in twips (15 a pixel).
  d->textViewSetAll(window, kId, "a\nb", 3, nullptr, 0);
  EXPECT_EQ(bridge->wide(), u"a\rb");
  const uint32_t sized[5] = {0, 1, 0, 0, 13};
  d->textViewSetAll(window, kId, "z", 1, sized, 1);
  CHARRANGE all{0, 1};
  SendMessageW(bridge->control, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&all));
  CHARFORMAT2W cf{};
  cf.cbSize = sizeof cf;
  SendMessageW(bridge->control, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
  EXPECT_EQ(cf.yHeight, 195);
}

TEST_F(W32RichTextTest, ColourZeroFollowsTheViewsTextColour) {
  const uint32_t blue = 0x010000FF;
  d->textViewSetLook(window, kId, 0, blue, 0, 0, 0, 0);
  const uint32_t runs[5] = {0, 2, 0, 0, 0};
  d->textViewSetAll(window, kId, "ok", 2, runs, 1);
  CHARFORMAT2W cf{};
  cf.cbSize = sizeof cf;
  CHARRANGE all{0, 2};
  SendMessageW(bridge->control, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&all));
  SendMessageW(bridge->control, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
  EXPECT_EQ(cf.dwEffects & CFE_AUTOCOLOR, 0u);
  EXPECT_EQ(cf.crTextColor, COLORREF(0xFF0000));  // GDI order: blue in the high byte
  EXPECT_EQ(readRuns(), (std::vector<uint32_t>{0, 2, 0, 0, 0}));
}

TEST_F(W32RichTextTest, ReplaceAndReadLimits) {
  d->textViewSetAll(window, kId, "0123456789", 10, nullptr, 0);
  char buffer[8];
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(d->textViewRead(window, kId, buffer, 0, nullptr, 0), 0u);
  EXPECT_EQ(buffer[0], '#');
  d->textViewRead(window, kId, buffer, 4, nullptr, 0);
  EXPECT_STREQ(buffer, "012");

  const uint32_t runs[] = {0, 1, 1, 0, 0, 2, 1, 1, 0, 0, 4, 1, 1, 0, 0};  // 5 runs in all
  d->textViewSetAll(window, kId, "0123456789", 10, runs, 3);
  uint32_t out[10];
  char text[16];
  EXPECT_EQ(d->textViewRead(window, kId, text, sizeof text, out, 2), 2u);
  uint32_t length = 0, count = 0;
  d->textViewSize(window, kId, length, count);
  EXPECT_EQ(length, 10u);
  EXPECT_EQ(count, 6u);

  // A replacement keeps the selection and styles only its new text.
  d->textViewSetAll(window, kId, "h\xC3\xA9llo world", 12, nullptr, 0);
  const uint32_t bold[5] = {0, 3, 1, 0, 0};
  d->textViewReplace(window, kId, 7, 5, "W\xC3\xB6rld", 6, bold, 1);
  EXPECT_EQ(readText(), "h\xC3\xA9llo W\xC3\xB6rld");
  EXPECT_EQ(readRuns(), (std::vector<uint32_t>{0, 7, 0, 0, 0, 7, 3, 1, 0, 0, 10, 3, 0, 0, 0}));

  d->textViewSetAll(window, kId, "", 0, nullptr, 0);
  d->textViewSize(window, kId, length, count);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(count, 0u);
}

TEST_F(W32RichTextTest, SelectionInBytes) {
  const std::string text = "a\xF0\x9F\x98\x80\xC3\xA9z";  // a, emoji (2 units), é, z
  d->textViewSetAll(window, kId, text.data(), uint32_t(text.size()), nullptr, 0);
  struct Case {
    uint32_t start, length, readStart, readLength;
  } cases[] = {
      {0, 1, 0, 1},
      {1, 4, 1, 4},
      {1, 6, 1, 6},
      {2, 1, 1, 0},  // both ends inside the emoji: its start
      {2, 3, 1, 4},
      {6, 2, 5, 3},  // starts inside é
      {0, 99, 0, 8},
  };
  for (const Case& c : cases) {
    d->textViewSetSelection(window, kId, c.start, c.length);
    uint32_t start = 99, length = 99;
    d->textViewSelection(window, kId, start, length);
    EXPECT_EQ(start, c.readStart) << c.start << "+" << c.length;
    EXPECT_EQ(length, c.readLength) << c.start << "+" << c.length;
  }
  uint32_t start = 7, length = 7;
  d->textViewSelection(window, kId + 1, start, length);  // no such control
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(length, 0u);
}

TEST_F(W32RichTextTest, NoticesOnlyForTheUsersEdits) {
  const uint32_t bold[5] = {0, 2, 1, 0, 0};
  d->textViewSetAll(window, kId, "abcdef", 6, bold, 1);
  d->textViewReplace(window, kId, 1, 2, "XY", 2, nullptr, 0);
  d->textViewSetSelection(window, kId, 2, 2);
  d->textViewSetTyping(window, kId, 2, 0, 0);
  uint32_t length = 0, count = 0;
  d->textViewSize(window, kId, length, count);
  drainQueue();
  EXPECT_EQ(notices->changes, 0);
  EXPECT_EQ(notices->selections, 0);

  // Typed by the user: the view pulls the control's text and is told.
  d->textViewSetSelection(window, kId, 6, 0);
  bridge->selectionDirty = 1;
  SendMessageW(bridge->control, WM_CHAR, L'\u00E9', 1);
  drainQueue();
  EXPECT_GE(notices->changes, 1);
  EXPECT_EQ(view->text->text->cString(), std::string("aXYdef\xC3\xA9"));
  EXPECT_GE(notices->selections, 1);
  EXPECT_EQ(view->selectionStart, 8u);
}

TEST_F(W32RichTextTest, UndoKeysGoThroughTheView) {
  d->textViewSetAll(window, kId, "abc", 3, nullptr, 0);
  view->pull();
  d->textViewSetSelection(window, kId, 3, 0);
  SendMessageW(bridge->control, WM_CHAR, L'x', 1);
  ASSERT_EQ(std::string(view->text->text->cString()), "abcx");

  BYTE keys[256] = {};
  GetKeyboardState(keys);
  keys[VK_CONTROL] = 0x80;
  SetKeyboardState(keys);
  PostMessageW(bridge->control, WM_KEYDOWN, 'Z', 1);
  for (int i = 0; i < 5; ++i) d->nextEvent(10, event);
  keys[VK_CONTROL] = 0;
  SetKeyboardState(keys);
  EXPECT_EQ(std::string(view->text->text->cString()), "abc");
  EXPECT_EQ(readText(), "abc");  // the control follows the view
}

TEST_F(W32RichTextTest, RealisingANodeMakesTheControlOnce) {
  Ref<UXTextView> shown = make<UXTextView>();
  shown->text = AttributedString::withString(String::withCString("h\xC3\xA9llo\nworld"));
  HWND control = w32TextViewRealize(window, 7, shown, hwndOf(window), 0, 0, 120, 60);
  ASSERT_TRUE(control);
  EXPECT_EQ(GetDlgCtrlID(control), 1007);
  EXPECT_EQ(shown->nativeWindow, int32_t(window));
  EXPECT_EQ(W32TextView::at(window, 7)->wide(), u"h\u00E9llo\rworld");
  EXPECT_EQ(w32TextViewRealize(window, 7, shown, hwndOf(window), 5, 5, 120, 60), control);
  EXPECT_FALSE(w32TextViewRealize(window, 8, make<UXView>(), hwndOf(window), 0, 0, 10, 10));
}

TEST_F(W32RichTextTest, BridgesGoWithTheirWindow) {
  HWND old = bridge->control;
  d->windowDestroy(window);
  EXPECT_FALSE(W32TextView::of(old));
  EXPECT_FALSE(W32TextView::at(window, kId));
  d->textViewSetAll(window, kId, "gone", 4, nullptr, 0);  // nothing to write to

  // The next window takes the same handle; its text view the same index.
  uint32_t again = openWindow(300, 200);
  ASSERT_EQ(again, window);
  Ref<UXTextView> second = make<UXTextView>();
  Ref<W32TextView> fresh = W32TextView::make(again, kId, hwndOf(again), 0, 0, 200, 100, second);
  ASSERT_TRUE(fresh);
  EXPECT_EQ(W32TextView::at(again, kId), fresh);
  d->textViewSetAll(again, kId, "new", 3, nullptr, 0);
  EXPECT_EQ(fresh->wide(), u"new");
}

}  // namespace
}  // namespace quorl::test
