// The text view: the kind rule, the kept layout against a fresh wrap, the
// line model, drawing, wheel and caret scrolling.
#include <random>

#include "RecordingGraphics.h"
#include "TextTestEnv.h"
#include "ux/core/UXEvent.h"

namespace quorl::test {
namespace {

TEST(UXTextView, KindFollowsTheDriver) {
  ViewScope v;
  EXPECT_EQ(v.view->kind(), 1);
  EXPECT_TRUE(v.view->acceptsFirstResponder());
  v.drivers.driver->setNativeTextViews(true);
  EXPECT_EQ(v.view->kind(), 18);
  v.drivers.driver->logging = true;
  auto second = make<UXTextView>();
  second->attachTo(v.tree, UXRect(0, 0, 50, 50));
  EXPECT_EQ(v.drivers.driver->count("structSetPeer"), 1u);
  EXPECT_EQ(v.drivers.driver->last("structAppend"), "structAppend ptr 18 0 0 50 50");
  EXPECT_EQ(second->description()->view(), "<UXTextView>(0, 0, -1, -1, 0, 0, 0, 0, 65535, 65535, 65535, 65535, 0, 0)");
}

// The kept lines and heights must always be those a fresh wrap gives.
void expectFreshLayout(UXTextView& view) {
  const auto& lines = view.layoutLines();
  const auto& heights = view.layoutHeights();
  Ref<Array> fresh = UXTextLayout::wrapAttr(view.text, int16_t(view.frame().w() - 8), uint32_t(view.base()));
  ASSERT_EQ(lines.size(), fresh->count());
  for (uint32_t i = 0; i < fresh->count(); i++) {
    auto r = staticCast<Range>(fresh->get(i));
    ASSERT_EQ(lines[i], (UXLineSpan{r->start, r->length})) << "line " << i;
    ASSERT_EQ(uint32_t(heights[i]), view.lineHeightOf(r)) << "line " << i;
  }
}

TEST(UXTextView, KeptLayoutFollowsRandomEdits) {
  ViewScope v(8, 120, 100);
  std::mt19937 rng(7);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const char* pieces[] = {"a", " ", "\n", "word ", "longerword", "\n\n", "  ", "x y z"};
  for (int step = 0; step < 1500; step++) {
    const int32_t len = v.view->text->byteLength();
    const int32_t at = pick(0, len), n = pick(0, 6);
    Range r{at, n};
    switch (pick(0, 3)) {
      case 0: v.view->text->replace(&r, String::withCString(pieces[pick(0, 7)])); break;
      case 1: v.view->text->replace(&r, nullptr); break;
      case 2: v.view->text->addAttributes(attrs({{"size", pick(0, 1) ? 20 : 12}}), &r); break;
      default:  // two edits between two reads: the whole text is wrapped again
        v.view->text->replace(&r, String::withCString("ab "));
        v.view->text->replace(nullptr, String::withCString(" tail"));
        break;
    }
    expectFreshLayout(*v.view);
    if (HasFatalFailure()) FAIL() << "step " << step;
  }
}

TEST(UXTextView, LinesInViewFollowTheDrawingRule) {
  ViewScope v(8, 120, 100);
  std::string s;
  for (int i = 0; i < 60; i++) s += "line " + std::to_string(i) + (i % 7 == 0 ? " wraps here and there\n" : "\n");
  v.setText(s.c_str());
  Range big{40, 30};
  v.view->text->addAttributes(attrs({{"size", 30}}), &big);
  for (int32_t scroll : {0, 1, 3, 4, 5, 17, 21, 22, 23, 100, 333, 1000, 5000}) {
    v.view->scrollY = scroll;
    // The rule as drawing states it, line by line.
    const auto& heights = v.view->layoutHeights();
    uint32_t wantFirst = uint32_t(heights.size()), wantEnd = wantFirst;
    int32_t y = 4 - scroll;
    for (uint32_t i = 0; i < heights.size(); i++) {
      if (y + heights[i] < 0) {
        y += heights[i];
        continue;
      }
      if (y > 100) break;
      if (wantFirst == heights.size()) wantFirst = i;
      wantEnd = i + 1;
      y += heights[i];
    }
    uint32_t first = 0, end = 0;
    v.view->linesInView(first, end);
    EXPECT_EQ(first, wantFirst) << scroll;
    if (wantFirst < heights.size()) {
      EXPECT_EQ(end, wantEnd) << scroll;
    }
    v.view->text->replace(nullptr, String::withCString("x"));  // tops computed afresh after edits
  }
}

TEST(UXTextView, LineModel) {
  ViewScope v;
  EXPECT_TRUE(v.view->drawnLines()->count() == 0);
  EXPECT_EQ(v.view->indexAt(50, 50), 0u);
  v.setText("abcd\nef");
  Ref<Array> lines = v.view->drawnLines();
  ASSERT_EQ(lines->count(), 2u);
  EXPECT_EQ(v.view->lineHeightOf(staticCast<Range>(lines->get(0))), 17u);  // base 12 + 5
  EXPECT_EQ(UXTextView::lineOf(lines, 4), 0);
  EXPECT_EQ(UXTextView::lineOf(lines, 5), 1);
  EXPECT_EQ(UXTextView::lineOf(lines, 99), 1);
  // x of index i is 4 + 8 i; a click between two boundaries takes the
  // nearer one, the earlier on a tie; below the last line, the last line.
  EXPECT_EQ(v.view->indexAt(13, 5), 1u);
  EXPECT_EQ(v.view->indexAt(16, 5), 1u);
  EXPECT_EQ(v.view->indexAt(17, 5), 2u);
  EXPECT_EQ(v.view->indexAt(0, 5), 0u);
  EXPECT_EQ(v.view->indexAt(500, 95), 7u);
  EXPECT_EQ(v.view->indexAt(12, 30), 6u);

  Range all{0, 2};
  v.view->text->addAttributes(attrs({{"size", 20}}), &all);
  EXPECT_EQ(v.view->lineHeightOf(staticCast<Range>(v.view->drawnLines()->get(0))), 25u);
  v.view->baseSize = 0;
  EXPECT_EQ(v.view->lineHeightOf(staticCast<Range>(v.view->drawnLines()->get(1))), 18u);

  // A right-aligned line wider than the wrap width starts at x = 4.
  ViewScope w(8, 40, 100);
  w.setText("abcdefghij");
  Range whole{0, 10};
  w.view->text->addAttributes(attrs({{"alignment", 1}}), &whole);
  Range line{0, 4};
  EXPECT_EQ(w.view->xIn(&line, 0, 32), 4);
  Range shortLine{0, 2};
  EXPECT_EQ(w.view->xIn(&shortLine, 0, 32), 4 + 16);
}

TEST(UXTextView, DrawsBackgroundBorderTextUnderlineAndCaret) {
  ViewScope v;
  RecordingGraphics g;
  v.view->drawRect(g, UXRect(0, 0, 200, 100));
  EXPECT_EQ(g.text(),
            "fillRectRGB 0,0,200,100 255 255 255\ndrawLine 0 0 199 0 9\ndrawLine 0 99 199 99 9\n"
            "drawLine 0 0 0 99 9\ndrawLine 199 0 199 99 9\n");  // empty: no caret
  v.setText("ab\ncd");
  Range r{0, 2};
  v.view->text->setAttributes(attrs({{"size", 20}}), &r);
  Range u{3, 2};
  v.view->text->setAttributes(attrs({{"size", 10}, {"underline", 1}, {"color", 0x102030}}), &u);
  v.view->caret = 4;
  g.clear();
  v.view->drawRect(g, UXRect(0, 0, 200, 100));
  // Line 0 is 25 high (size 20); line 1 at top 29 is 17 high: a size-10
  // run's top is at 29 + 17 - 10 - 3, its underline at 29 + 17 - 3.
  EXPECT_EQ(g.of("drawTextFontRGBA"),
            (std::vector<std::string>{"drawTextFontRGBA \"ab\" 4 6 \"\" 20 400 0 0 0 0 255",
                                      "drawTextFontRGBA \"cd\" 4 33 \"\" 10 400 0 16 32 48 255"}));
  const auto fills = g.of("fillRectRGB");
  ASSERT_EQ(fills.size(), 3u);
  EXPECT_EQ(fills[1], "fillRectRGB 4,43,13,1 16 32 48");  // underline: 2 bytes at 10/12 of 8 px
  EXPECT_EQ(fills[2], "fillRectRGB 10,30,1,15 0 0 0");    // caret after "c"

  // A newline inside a stretch is drawn as a space; a selection is filled.
  ViewScope s;
  s.setText("a b");
  s.view->selectionStart = 0;
  s.view->selectionLength = 2;
  s.view->selectionColor = 0x010203;
  g.clear();
  s.view->drawRect(g, UXRect(0, 0, 200, 100));
  EXPECT_EQ(g.of("fillRectRGB")[1], "fillRectRGB 4,4,16,17 1 2 3");
}

TEST(UXTextView, WheelAndCaretScrolling) {
  ViewScope v;
  v.view->baseSize = 0;
  UXEvent wheel;
  wheel.a = -1;  // toward the user
  v.view->scrollWheel(wheel);
  EXPECT_EQ(v.view->scrollY, 54);
  wheel.a = 5;
  v.view->scrollWheel(wheel);
  EXPECT_EQ(v.view->scrollY, 0);

  // Typing past the bottom puts the caret line's bottom at h - 8 (a final
  // newline opens no line: the caret stays on the tenth).
  v.view->baseSize = 12;
  for (int i = 0; i < 10; i++) v.view->typeText(String::withCString("line\n"));
  EXPECT_EQ(v.view->scrollY, 10 * 17 - 92);
  v.view->moveTo(0, false);
  EXPECT_EQ(v.view->scrollY, 0);

  v.view->nativeWindow = 1;  // native views ignore mouse and wheel
  wheel.a = -1;
  v.view->scrollWheel(wheel);
  EXPECT_EQ(v.view->scrollY, 0);
  EXPECT_FALSE(v.view->acceptsFirstResponder());
}

}  // namespace
}  // namespace quorl::test
