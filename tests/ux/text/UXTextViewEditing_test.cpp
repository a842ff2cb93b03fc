// Editing the text view by keys and mouse, undo by snapshots, copy and
// paste, multi-byte text, and the native bridge with its packed runs.
#include <random>

#include "TextTestEnv.h"
#include "ux/core/UXEvent.h"
#include "ux/text/UXPasteboard.h"

namespace quorl::test {
namespace {

enum : uint16_t { kLeft = 0x4B00, kRight = 0x4D00, kUp = 0x4800, kDown = 0x5000, kHome = 0x4700, kEnd = 0x4F00,
                  kDelete = 0x5300 };

class Counter : public Object, public UXTextViewDelegate {
 public:
  int changes = 0, selections = 0;
  void textDidChange(UXTextView&) override { changes++; }
  void selectionDidChange(UXTextView&) override { selections++; }
};

class NextResponder : public UXResponder {
 public:
  std::vector<uint16_t> keys;
  void keyDown(UXEvent& e) override { keys.push_back(e.key); }
};

struct Editing : ::testing::Test {
  ViewScope v;
  Ref<NextResponder> next = make<NextResponder>();
  void SetUp() override { v.view->nextResponder = next; }
  void key(uint16_t k, uint16_t mods = 0) {
    UXEvent e;
    e.type = kUXEventKey;
    e.key = k;
    e.mods = mods;
    v.view->keyDown(e);
  }
  void type(const char* s) {
    for (; *s; s++) key(uint8_t(*s));
  }
  std::string str() const { return v.str(); }
};

TEST_F(Editing, UndoRedoOfATypingRun) {
  v.setText("xyz");
  v.view->moveTo(2, false);
  type("abc");
  EXPECT_EQ(str(), "xyabcz");
  EXPECT_EQ(v.view->undoManager->undoStack->count(), 1u);  // one step for the run
  key('z', kUXModCtrl);
  EXPECT_EQ(str(), "xyz");
  EXPECT_EQ(v.view->caret, 2u);
  key('Z', kUXModCtrl | kUXModShift);
  EXPECT_EQ(str(), "xyabcz");
  EXPECT_EQ(v.view->caret, 5u);
  key('z', kUXModCtrl);
  key(25, kUXModCtrl);  // Ctrl+Y as a control character
  EXPECT_EQ(str(), "xyabcz");

  // A caret move splits typing; each backspace is a step of its own.
  v.view->undoManager = make<UndoManager>();
  type("1");
  key(kLeft);
  type("2");
  key(8);
  key(8);
  EXPECT_EQ(v.view->undoManager->undoStack->count(), 4u);
  EXPECT_EQ(v.view->undoManager->redoStack->count(), 0u);
}

TEST_F(Editing, MovesSelectionsAndKeysPassedOn) {
  v.setText("abcd\nefgh");
  v.view->moveTo(1, false);
  key(kRight, kUXModShift);
  key(kRight, kUXModShift);
  EXPECT_EQ(v.view->selectionStart, 1u);
  EXPECT_EQ(v.view->selectionLength, 2u);
  key(kLeft);  // collapses to the start
  EXPECT_EQ(v.view->caret, 1u);
  EXPECT_EQ(v.view->selectionLength, 0u);
  v.view->moveTo(3, false);
  v.view->moveTo(1, true);
  key(kRight);  // collapses to the end
  EXPECT_EQ(v.view->caret, 3u);
  key(kDown);
  EXPECT_EQ(v.view->caret, 8u);
  key(kDown, kUXModShift);
  EXPECT_EQ(v.view->caret, 9u);
  EXPECT_EQ(v.view->selectionLength, 1u);
  key(kUp);
  key(kUp);
  EXPECT_EQ(v.view->caret, 0u);
  key(kEnd);
  EXPECT_EQ(v.view->caret, 4u);
  key(kHome, kUXModShift);
  EXPECT_EQ(v.view->selectionLength, 4u);
  v.view->moveTo(-5, false);
  EXPECT_EQ(v.view->caret, 0u);
  v.view->moveTo(99, false);
  EXPECT_EQ(v.view->caret, 9u);

  key('a', kUXModCtrl);
  EXPECT_EQ(v.view->selectionStart, 0u);
  EXPECT_EQ(v.view->selectionLength, 9u);
  type("Q");
  EXPECT_EQ(str(), "Q");
  key(13);
  key(10 | (0x1C << 8));
  EXPECT_EQ(str(), "Q\n\n");
  key(8, kUXModCtrl);  // still backspace with Ctrl
  EXPECT_EQ(str(), "Q\n");
  for (uint16_t k : {uint16_t(0xE9), uint16_t(9), uint16_t('b')}) key(k, k == 'b' ? kUXModCtrl : 0);
  EXPECT_EQ(str(), "Q\n");
  EXPECT_EQ(next->keys, (std::vector<uint16_t>{0xE9, 9, 'b'}));

  ViewScope empty;  // no lines: up, down, home and end stay at 0
  UXEvent e;
  for (uint16_t k : {kUp, kDown, kHome, kEnd}) {
    e.key = k;
    empty.view->keyDown(e);
    EXPECT_EQ(empty.view->caret, 0u);
  }
}

TEST_F(Editing, CutCopyPasteAndNotifications) {
  auto counter = make<Counter>();
  v.view->delegate = counter;
  v.setText("abcd");
  v.view->moveTo(1, false);
  v.view->moveTo(3, true);
  key('x', kUXModCtrl);
  EXPECT_EQ(str(), "ad");
  EXPECT_EQ(v.view->caret, 1u);
  EXPECT_STREQ(UXPasteboard::general()->stringForType(kUXPasteboardTypeText), "bc");
  const int changes = counter->changes;
  v.view->removeRange(3, 3);
  key('c', kUXModCtrl);  // no selection: nothing
  EXPECT_EQ(counter->changes, changes);
  type("Z");
  key('v', kUXModCtrl);
  type("Y");
  EXPECT_EQ(str(), "aZbcYd");
  // Steps: cut, typing Z, paste, typing Y.
  EXPECT_EQ(v.view->undoManager->undoStack->count(), 4u);
  key('z', kUXModCtrl);
  key('z', kUXModCtrl);
  EXPECT_EQ(str(), "aZd");
  EXPECT_GT(counter->selections, 0);
  UXPasteboard::general()->setString("", kUXPasteboardTypeText);
  key('v', kUXModCtrl);
  EXPECT_EQ(str(), "aZd");

  // Mouse: a click places the caret, a drag extends from it.
  UXEvent m;
  m.x = int16_t(10 + 4 + 8);
  m.y = 25;
  v.view->mouseDown(m);
  EXPECT_EQ(v.view->caret, 1u);
  m.x = int16_t(10 + 4 + 24);
  v.view->mouseDragged(m);
  EXPECT_EQ(v.view->selectionStart, 1u);
  EXPECT_EQ(v.view->selectionLength, 2u);
}

TEST_F(Editing, MultiByteCharactersStayWhole) {
  v.setText("a\xC3\xA9\xE2\x82\xAC" "b");  // a é € b: boundaries 0 1 3 6 7
  v.view->moveTo(0, false);
  std::vector<uint32_t> stops;
  for (int i = 0; i < 5; i++) {
    key(kRight);
    stops.push_back(v.view->caret);
  }
  EXPECT_EQ(stops, (std::vector<uint32_t>{1, 3, 6, 7, 7}));
  v.view->moveTo(5, false);  // inside the euro sign: back to its start
  EXPECT_EQ(v.view->caret, 3u);
  v.view->caret = 5;  // even a caret put inside by hand deletes whole characters
  key(8);
  EXPECT_EQ(str(), "a\xC3\xA9" "b");
  v.view->caret = 2;
  key(kDelete);
  EXPECT_EQ(str(), "ab");
  // An undo whose differing part ends inside a character puts the caret
  // after it.
  v.setText("a\xC2\xA9");
  v.view->moveTo(3, false);
  v.view->removeRange(1, 3);
  v.view->typeText(String::withCString("\xC3\xA9"));
  v.view->undoManager->undo();
  EXPECT_EQ(v.view->caret, 1u);  // back to "a": caret at the end of the difference
  v.view->undoManager->redo();
  EXPECT_EQ(str(), "a\xC3\xA9");
  EXPECT_EQ(v.view->caret, 3u);

  // Random keys over multi-byte text never leave broken UTF-8.
  std::mt19937 rng(99);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  UXPasteboard::general()->setString("\xF0\x9F\x98\x80 \xC3\xA9t\xC3\xA9", kUXPasteboardTypeText);
  v.setText("\xE2\x82\xAC\xE2\x82\xAC \xC3\xA9\n\xC3\xA9 x");
  const uint16_t keys[] = {kLeft, kRight, kUp, kDown, kHome, kEnd, 8, kDelete, 'q', ' ', 13};
  for (int step = 0; step < 3000; step++) {
    const int k = pick(0, 14);
    if (k < 11) key(keys[k], pick(0, 3) == 0 ? kUXModShift : 0);
    else if (k == 11) key('v', kUXModCtrl);
    else if (k == 12) key('z', kUXModCtrl);
    else if (k == 13) key('y', kUXModCtrl);
    else {
      UXEvent m;
      m.x = int16_t(pick(0, 220));
      m.y = int16_t(pick(0, 130));
      v.view->mouseDown(m);
    }
    ASSERT_TRUE(v.view->text->text->isValidUtf8()) << "step " << step;
    ASSERT_TRUE(invariantsHold(*v.view->text));
    ASSERT_LE(v.view->caret, uint32_t(v.view->text->byteLength()));
  }
}

TEST(UXTextViewBridge, PackedRuns) {
  auto a = astr("abcdef");
  Range r1{0, 2}, r2{2, 2};
  a->setAttributes(attrs({{"bold", 1}, {"alignment", 1}, {"color", 0xFF0000}, {"size", 16}}), &r1);
  a->setAttributes(attrs({{"size", -3}}), &r2);
  uint32_t count = 0;
  std::vector<uint32_t> runs = UXTextView::packRuns(a, count);
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(runs.size(), 20u);
  EXPECT_EQ(std::vector<uint32_t>(runs.begin(), runs.begin() + 15),
            (std::vector<uint32_t>{0, 2, 0x11, 0x01FF0000, 16, 2, 2, 0, 0, 0xFFFFFFFDu, 4, 2, 0, 0, 0}));
  EXPECT_EQ(UXTextView::packRuns(astr(""), count).size(), 5u);
  EXPECT_EQ(count, 0u);

  EXPECT_EQ(UXTextView::styleOfRun(0, 0x00FF0000, 0)->color, -1);
  EXPECT_EQ(UXTextView::styleOfRun(0, 0x01000000, 0)->color, 0);
  EXPECT_EQ(UXTextView::attrsOf(make<UXTextStyle>())->count(), 0u);
  Ref<Map> m = UXTextView::attrsOf(UXTextView::styleOfRun(0x3F, 0x01123456, 0));
  EXPECT_EQ(m->count(), 6u);  // every flag, colour and alignment, no size
  EXPECT_TRUE(UXTextStyle::of(m)->sameAs(UXTextView::styleOfRun(0x3F, 0x01123456, 0)));

  // Random styled texts survive packing and unpacking.
  std::mt19937 rng(3);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int round = 0; round < 200; round++) {
    auto t = AttributedString::withString(String::withCString(std::string(size_t(pick(1, 40)), 'x').c_str()));
    for (int i = 0; i < 6; i++) {
      Range r{pick(0, 40), pick(1, 10)};
      t->setAttributes(UXTextView::attrsOf(UXTextView::styleOfRun(uint32_t(pick(0, 63)),
                                                                 pick(0, 1) ? 0x01000000u + uint32_t(pick(0, 0xFFFFFF)) : 0,
                                                                 uint16_t(pick(0, 2) * 12))), &r);
    }
    std::vector<uint32_t> packed = UXTextView::packRuns(t, count);
    auto back = AttributedString::withString(t->text);
    for (uint32_t i = 0; i < count; i++) {
      const uint32_t* w = &packed[size_t(i) * 5];
      Range r{int32_t(w[0]), int32_t(w[1])};
      back->setAttributes(UXTextView::attrsOf(UXTextView::styleOfRun(w[2], w[3], uint16_t(w[4]))), &r);
    }
    ASSERT_TRUE(back->equals(t)) << "round " << round;
  }
}

TEST(UXTextViewBridge, MirrorsANativeControl) {
  ViewScope v;
  auto& d = *v.drivers.driver;
  d.setNativeTextViews(true);
  const uint32_t win = d.windowCreate(0, 0, 300, 200);
  auto tree = make<UXViewTree>();
  auto view = make<UXTextView>();
  view->attachTo(tree, UXRect(0, 0, 200, 100));
  d.realizeTree(win, tree->driverTree.get());
  view->text = astr("hello");
  Range bold{0, 2};
  view->text->setAttributes(attrs({{"bold", 1}}), &bold);
  view->selectionStart = 1;
  view->textColor = 0x00FF00;
  view->becomeNative(int32_t(win), view->node);
  const auto* control = d.textControl(win, view->node);
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(control->text, "hello");
  EXPECT_EQ(control->runs, (std::vector<uint32_t>{0, 2, 1, 0, 0, 2, 3, 0, 0, 0}));
  EXPECT_EQ(control->selStart, 1u);
  EXPECT_EQ(control->look[1], 0x0100FF00u);
  EXPECT_FALSE(view->acceptsFirstResponder());

  // Three native edits with no native undo: one undo step.
  const uint32_t runs[5] = {0, 6, 2, 0x01000080, 0};
  for (const char* s : {"X", "Y", "Z"}) {
    d.textViewReplace(win, view->node, 0, 0, s, 1, runs, 1);
    view->nativeDidChange();
  }
  EXPECT_EQ(view->text->text->view(), "ZYXhello");
  EXPECT_EQ(view->undoManager->undoStack->count(), 1u);
  UXTextStyle italic;
  UXTextLayout::styleAt(*view->text, 0, italic);
  EXPECT_EQ(italic.italic, 1);
  EXPECT_EQ(italic.color, 0x80);
  EXPECT_EQ(view->selectionStart, 1u);  // kept until asked
  view->nativeSelectionDidChange();
  EXPECT_EQ(view->selectionStart, 1u);
  d.textViewReplace(win, view->node, 0, 0, "W", 1, nullptr, 0);
  view->nativeDidChange();
  EXPECT_EQ(view->undoManager->undoStack->count(), 2u);

  view->undo();  // back to before W, pushed to the control
  EXPECT_EQ(d.textControl(win, view->node)->text, "ZYXhello");
  view->undo();
  EXPECT_EQ(d.textControl(win, view->node)->text, "hello");
  EXPECT_EQ(view->text->text->view(), "hello");
  EXPECT_EQ(view->styleBefore(0)->bold, 1);
  EXPECT_EQ(view->styleBefore(1)->bold, 1);
  view->text = astr("");
  EXPECT_EQ(view->styleBefore(3), view->typingStyle);

  // Keys, mouse and wheel belong to the control.
  UXEvent e;
  e.key = 'q';
  view->keyDown(e);
  EXPECT_EQ(view->text->byteLength(), 0);
}

// A driver with undo of its own: the view leaves undo to it and reads back.
class UndoingDriver : public ScriptedDriver {
 public:
  bool hasTextViewUndo() const override { return true; }
  int32_t textViewUndo(uint32_t window, int32_t id, uint8_t redo) override {
    textViewSetAll(window, id, redo ? "redone" : "undone", 6, nullptr, 0);
    return 1;
  }
};

TEST(UXTextViewBridge, NativeUndoIsLeftToTheDriver) {
  DriverScope scope;
  auto d = make<UndoingDriver>();
  d->setNativeTextViews(true);
  d->logging = false;
  gDriver = d;
  const uint32_t win = d->windowCreate(0, 0, 300, 200);
  auto tree = make<UXViewTree>();
  auto view = make<UXTextView>();
  view->attachTo(tree, UXRect(0, 0, 200, 100));
  d->realizeTree(win, tree->driverTree.get());
  view->becomeNative(int32_t(win), view->node);
  EXPECT_TRUE(view->nativeUndoes());
  d->textViewReplace(win, view->node, 0, 0, "ab", 2, nullptr, 0);
  view->nativeDidChange();
  EXPECT_EQ(view->undoManager->undoStack->count(), 0u);  // no snapshots
  view->undo();
  EXPECT_EQ(view->text->text->view(), "undone");
  view->redo();
  EXPECT_EQ(view->text->text->view(), "redone");
}

}  // namespace
}  // namespace quorl::test
