// The text field: its node and field editor, setText, keys through the
// field editor, the Enter and change blocks, the event-tap record and focus.
#include <cstring>
#include <iterator>
#include <random>

#include "ControlTest.h"
#include "ux/controls/UXTextField.h"
#include "ux/core/UXWindow.h"
#include "Rounds.h"

namespace quorl::test {
namespace {

// Counts the keys that travel up the responder chain.
class KeySink : public UXResponder {
 public:
  std::vector<uint16_t> keys;
  void keyDown(UXEvent& event) override { keys.push_back(event.key); }
};

class UXTextFieldTest : public ControlTest {
 protected:
  Ref<UXTextField> field(const char* text = "") {
    auto f = place(make<UXTextField>(), UXRect(20, 30, 200, 24));
    f->setText(text);
    f->nextResponder = sink;
    f->onChange = changes->block();
    driver->clearCalls();
    clearMarks();
    return f;
  }
  // Taps every record, as the application's recorder would.
  void installTap() {
    gEventTap.target = tapOwner;
    gEventTap.function = [this](const Ref<Object>&, UXEvent& event) {
      records.push_back(describe(event) + " " + (event.object ? describe(*event.object) : "null"));
    };
  }
  static UXEvent key(uint16_t code) {
    UXEvent e;
    e.type = kUXEventKey;
    e.key = code;
    return e;
  }

  Ref<KeySink> sink = make<KeySink>();
  Ref<ActionProbe> changes = make<ActionProbe>();
  Ref<ActionProbe> enters = make<ActionProbe>();
  Ref<Object> tapOwner = make<Object>();
  std::vector<std::string> records;
};

TEST(UXTextFieldDefaults, FreshFieldAndItsDescription) {
  auto f = make<UXTextField>();
  EXPECT_EQ(f->kind(), 3);
  EXPECT_EQ(f->buffer.size(), 128u);
  EXPECT_STREQ(f->text(), "");
  EXPECT_EQ(describe(*f), "<UXTextField>(128, 0, 0)");
  f->caret = 0xFFFF;  // the caret prints signed
  f->secure = 1;
  EXPECT_EQ(describe(*f), "<UXTextField>(128, -1, 1)");
}

TEST_F(UXTextFieldTest, AttachMakesAFieldEditorOverTheBufferAsTheNodesSpec) {
  for (const char* placeholder : {(const char*)nullptr, "Password"}) {
    SCOPED_TRACE(placeholder ? placeholder : "plain");
    reset();
    auto f = make<UXTextField>();
    f->setTitle("a title, not a field");
    f->placeholder = placeholder;
    f->secure = placeholder ? 1 : 0;
    f->attachTo(tree, UXRect(5, 6, 200, 24));
    ASSERT_NE(f->fieldEditor, nullptr);
    std::vector<std::string> want = {"structAppend ptr 3 5 6 200 24", "fieldEditorNew ptr 128",
                                     "structSetSpec ptr 1 " + std::to_string(uxSpecOfEditor(f->fieldEditor)),
                                     "structSetPeer ptr 1 ptr", "structSetEditable ptr 1 1"};
    if (placeholder) {
      want.push_back("fieldEditorSetPlaceholder ptr \"Password\"");
      want.push_back("fieldEditorSetSecure ptr 1");
    }
    EXPECT_EQ(driver->calls, want);
    EXPECT_EQ(f->fieldEditor->buffer, f->buffer.data());  // no copy
    // Attached once: a second attach changes nothing.
    UXFieldEditor* editor = f->fieldEditor;
    driver->clearCalls();
    f->attachTo(tree, UXRect(0, 0, 10, 10));
    EXPECT_EQ(f->fieldEditor, editor);
    EXPECT_TRUE(driver->calls.empty());
  }
}

TEST_F(UXTextFieldTest, ReleasingTheFieldFreesItsEditorWithTheDriverThatMadeIt) {
  {
    auto f = place(make<UXTextField>(), UXRect(0, 0, 100, 24));
    EXPECT_EQ(driver->liveFieldEditors(), 1u);
    tree.reset();  // the tree held the field
  }
  EXPECT_EQ(driver->liveFieldEditors(), 0u);
  EXPECT_EQ(driver->count("fieldEditorFree"), 1u);
  // A field that was never attached frees nothing.
  driver->clearCalls();
  make<UXTextField>().reset();
  EXPECT_EQ(driver->count("fieldEditorFree"), 0u);
}

TEST_F(UXTextFieldTest, SetTextCopiesAtMostCapacityMinusOneBytes) {
  auto f = field("previous text");
  // A character that would straddle the 127th byte is left out whole.
  const std::string x126(126, 'x'), x125(125, 'x');
  const std::string cases[][2] = {{std::string(200, 'x'), std::string(127, 'x')},
                                  {"", ""},
                                  {"Résumé", "Résumé"},
                                  {x126 + "\xC3\xA9", x126},
                                  {x125 + "\xC3\xA9", x125 + "\xC3\xA9"}};
  for (const auto& c : cases) {
    clearMarks();
    f->setText(c[0].c_str());
    EXPECT_EQ(std::string(f->text()), c[1]);
    EXPECT_EQ(f->caret, c[1].size());
    EXPECT_EQ(tree->dirtyRect, UXRect(30, 50, 200, 24));
  }
  f->setText(nullptr);
  EXPECT_STREQ(f->text(), "");
  f->setText("abcdef");
  f->setText(f->text() + 2);  // from inside its own buffer
  EXPECT_STREQ(f->text(), "cdef");
  EXPECT_EQ(changes->calls, 0);  // setText reports nothing
  // A capacity raised by hand past the buffer is held to the buffer's size.
  f->capacity = 500;
  f->setText(std::string(300, 'z').c_str());
  EXPECT_EQ(f->caret, 127u);
}

// One row per rule of keyDown.
TEST_F(UXTextFieldTest, KeysGoThroughTheFieldEditorOrUpTheChain) {
  enum Enter { kNoEnter, kEnterBlock, kEnterTargetOnly, kEnterTargetGone };
  struct Case {
    const char* name;
    std::string text;
    uint32_t caret;
    uint16_t key;
    Enter enter;
    std::string wantText;
    uint32_t wantCaret;
    int wantChanges, wantEnters;
    bool forwarded;
  };
  const std::string full(127, 'f');
  const Case cases[] = {
      {"printable at the caret", "ac", 1, 'b', kNoEnter, "abc", 2, 1, 0, false},
      {"caret past the end is clamped", "ab", 90, 'c', kNoEnter, "abc", 3, 1, 0, false},
      {"backspace", "ab", 2, 8, kNoEnter, "a", 1, 1, 0, false},
      {"backspace at the start still reports", "ab", 0, 8, kNoEnter, "ab", 0, 1, 0, false},
      {"backspace of the last byte empties the field and reports", "a", 1, 8, kNoEnter, "", 0, 1, 0, false},
      {"backspace in an empty field still reports", "", 0, 8, kNoEnter, "", 0, 1, 0, false},
      {"full buffer swallows and reports", full, 127, 'x', kNoEnter, full, 127, 1, 0, false},
      {"caret inside a character: typed before it", "a\xC3\xA9", 2, 'x', kNoEnter, "ax\xC3\xA9", 2, 1, 0, false},
      {"caret inside a character: backspace takes the one before it", "a\xE2\x82\xAC" "b", 3, 8, kNoEnter,
       "\xE2\x82\xAC" "b", 0, 1, 0, false},
      {"non-ASCII key code", "ab", 2, 200, kNoEnter, "ab", 2, 0, 0, true},
      {"tab", "ab", 2, 9, kNoEnter, "ab", 2, 0, 0, true},
      {"return without onEnter", "ab", 2, 13, kNoEnter, "ab", 2, 0, 0, true},
      {"return runs onEnter", "ab", 1, 13, kEnterBlock, "ab", 1, 0, 1, false},
      {"line feed runs onEnter", "ab", 1, 10, kEnterBlock, "ab", 1, 0, 1, false},
      {"onEnter set by target alone: consumed, not called", "ab", 1, 13, kEnterTargetOnly, "ab", 1, 0, 0, false},
      {"onEnter whose target is gone: consumed, not called", "ab", 1, 13, kEnterTargetGone, "ab", 1, 0, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    reset();
    sink->keys.clear();
    changes->calls = 0;
    enters->calls = 0;
    auto f = field(c.text.c_str());
    f->caret = c.caret;
    if (c.enter == kEnterBlock) f->onEnter = enters->block();
    if (c.enter == kEnterTargetOnly) f->onEnter.target = enters;
    if (c.enter == kEnterTargetGone) {
      f->onEnter = enters->block();
      f->onEnter.target = make<Object>();  // released at once
    }
    UXEvent e = key(c.key);
    f->keyDown(e);
    EXPECT_EQ(std::string(f->text()), c.wantText);
    EXPECT_EQ(f->caret, c.wantCaret);
    EXPECT_EQ(changes->calls, c.wantChanges);
    EXPECT_EQ(enters->calls, c.wantEnters);
    EXPECT_EQ(sink->keys.size(), c.forwarded ? 1u : 0u);
    EXPECT_EQ(gNeedsDisplay, c.wantChanges ? 1 : 0);
    if (c.wantChanges) {
      EXPECT_EQ(tree->dirtyRect, UXRect(30, 50, 200, 24));
    }
  }
}

TEST_F(UXTextFieldTest, EveryEditIsOfferedToTheEventTapUnlessReplaying) {
  auto f = field();
  installTap();
  UXEvent a = key('a');
  f->keyDown(a);
  EXPECT_STREQ(f->text(), "a");
  EXPECT_EQ(f->caret, 1u);
  EXPECT_EQ(describe(*f), "<UXTextField>(128, 1, 0)");
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0], "<UXEvent>(14, 0, 0, 0, 0, 0, 0, 1, 0) a");

  gInputReplay = 1;
  f->keyDown(a);
  EXPECT_EQ(records.size(), 1u);
  EXPECT_EQ(changes->calls, 2);  // the change block runs all the same
  gInputReplay = 0;

  // The record is a copy: later edits do not change what the tap saw.
  Ref<Object> kept;
  gEventTap.function = [&](const Ref<Object>&, UXEvent& event) { kept = event.object; };
  f->fieldDidChange();
  f->setText("zz");
  EXPECT_EQ(describe(*kept), "aa");

  // A change block whose target is gone is skipped; the tap still sees it.
  installTap();
  f->onChange.target = make<Object>();
  f->fieldDidChange();
  EXPECT_EQ(records.size(), 2u);
  EXPECT_EQ(changes->calls, 3);

  // A tap whose target is gone, or that has no function, is not called.
  gEventTap.target = make<Object>();
  f->fieldDidChange();
  gEventTap.function = nullptr;
  gEventTap.target = tapOwner;
  f->fieldDidChange();
  EXPECT_EQ(records.size(), 2u);
}

TEST_F(UXTextFieldTest, FocusPutsTheCaretAtTheEndAndFollowsTheEnabledFlag) {
  auto f = field("hello");
  f->caret = 1;
  EXPECT_TRUE(f->acceptsFirstResponder());
  EXPECT_TRUE(f->becomeFirstResponder());
  EXPECT_EQ(f->caret, 5u);
  EXPECT_EQ(driver->last("editText"), "editText ptr 1 0 & 0");
  EXPECT_EQ(tree->dirtyRect, UXRect(30, 50, 200, 24));
  f->caret = 2;
  EXPECT_TRUE(f->resignFirstResponder());
  EXPECT_EQ(f->caret, 5u);
  EXPECT_EQ(driver->last("editText"), "editText ptr 1 0 & 2");
  disable(*f);
  EXPECT_FALSE(f->acceptsFirstResponder());

  // Unattached: no node to ask, keys travel on, focus still accepted.
  auto loose = make<UXTextField>();
  loose->nextResponder = sink;
  EXPECT_FALSE(loose->acceptsFirstResponder());
  EXPECT_TRUE(loose->becomeFirstResponder());
  UXEvent e = key('a');
  loose->keyDown(e);
  EXPECT_EQ(sink->keys, (std::vector<uint16_t>{'a'}));
  EXPECT_STREQ(loose->text(), "");
}

TEST_F(UXTextFieldTest, NativeEditsComeBackThroughFieldDidChangeAndSendEnter) {
  auto f = field();
  f->onEnter = enters->block();
  installTap();
  f->caret = 3;
  f->applyNativeText("typed natively");
  EXPECT_STREQ(f->text(), "typed natively");
  EXPECT_EQ(changes->calls, 1);
  EXPECT_EQ(changes->lastSender.lock(), f);
  EXPECT_EQ(records.size(), 1u);
  EXPECT_EQ(f->caret, 3u);  // between two characters of the new text: kept
  const std::string longText(300, 'n');
  f->applyNativeText(longText.c_str());
  EXPECT_EQ(std::string(f->text()), std::string(127, 'n'));
  f->applyNativeText((std::string(126, 'n') + "\xC3\xA9").c_str());
  EXPECT_EQ(std::string(f->text()), std::string(126, 'n'));
  f->applyNativeText(nullptr);
  EXPECT_STREQ(f->text(), "");
  EXPECT_EQ(changes->calls, 4);
  // Otherwise the caret goes back to the nearest place between two
  // characters, never past the end.
  const struct {
    uint32_t caret;
    const char* text;
    uint32_t want;
  } moves[] = {{4, "\xE4\xB8\xAD\xE6\x96\x87", 3}, {4, "a\xF0\x9F\x98\x80", 1}, {2, "\xC3\xA9", 2},
               {40, "ab", 2}, {1, "", 0}};
  for (const auto& m : moves) {
    f->caret = m.caret;
    f->applyNativeText(m.text);
    EXPECT_EQ(f->caret, m.want) << m.caret << " in " << m.text;
  }
  EXPECT_TRUE(f->sendEnter());
  EXPECT_EQ(enters->calls, 1);
  f->onEnter.function = nullptr;
  EXPECT_FALSE(f->sendEnter());
}

// Typing, Backspace, setText and native edits at random over multi-byte
// texts: after every step the field holds valid UTF-8, NUL-terminated
// inside its capacity, with the caret between two characters.
TEST_F(UXTextFieldTest, RandomEditsOverMultiByteTextNeverSplitACharacter) {
  constexpr int kRounds = test::rounds(10);
  const char* texts[] = {"", "caf\xC3\xA9", "\xE2\x82\xAC" "12", "\xE4\xB8\xAD\xE6\x96\x87", "\xF0\x9F\x98\x80 ok",
                         "a\xC3\xA9\xE2\x82\xAC\xE4\xB8\xAD\xF0\x9F\x98\x80",
                         // 26 bytes: cut to the capacity at a boundary
                         "\xE4\xB8\xAD\xE6\x96\x87\xE4\xB8\xAD\xE6\x96\x87\xE4\xB8\xAD\xE6\x96\x87"
                         "\xF0\x9F\x98\x80\xF0\x9F\x98\x80"};
  constexpr uint16_t kCapacity = 24;
  for (int round = 0; round < kRounds; ++round) {
    reset();
    auto f = make<UXTextField>();
    f->capacity = kCapacity;  // small, so that texts and typing reach the end
    place(f, UXRect(0, 0, 200, 24));
    std::mt19937 rng(uint32_t(2800 + round));
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int step = 0; step < 400; ++step) {
      const int what = pick(0, 9);
      const char* text = texts[pick(0, int(std::size(texts)) - 1)];
      std::string did = what < 4 ? "type" : what < 6 ? "backspace" : what < 7 ? "setText " : "applyNativeText ";
      if (what < 6) {
        UXEvent e = key(what < 4 ? uint16_t(pick(32, 126)) : 8);
        f->keyDown(e);
      } else {
        std::string shown = what < 7 ? "" : f->text();  // a native edit hands over the whole text
        const size_t a = String::utf8Prefix(shown.data(), shown.size(), size_t(pick(0, int(shown.size()))));
        const size_t b = String::utf8Prefix(shown.data(), shown.size(), size_t(pick(int(a), int(shown.size()))));
        shown.replace(a, b - a, text);
        what < 7 ? f->setText(shown.c_str()) : f->applyNativeText(shown.c_str());
        did += shown;
      }
      SCOPED_TRACE("round " + std::to_string(round) + " step " + std::to_string(step) + ": " + did);
      const void* nul = std::memchr(f->buffer.data(), 0, kCapacity);
      ASSERT_NE(nul, nullptr);
      const auto length = uint32_t(static_cast<const char*>(nul) - f->buffer.data());
      ASSERT_TRUE(String::withCString(f->text())->isValidUtf8()) << f->text();
      ASSERT_LE(f->caret, length);
      ASSERT_TRUE(f->caret == length || (uint8_t(f->text()[f->caret]) & 0xC0) != 0x80) << f->caret;
    }
  }
}

// Through a window: a click focuses the field (caret to the end), typed keys
// edit it, and Return without onEnter travels on to the default button.
TEST_F(UXTextFieldTest, WindowClickFocusesTypingEditsAndReturnReachesTheDefaultButton) {
  auto window = make<UXWindow>();
  auto content = make<UXView>();
  window->open("W", UXRect(0, 0, 300, 200), content);
  auto f = make<UXTextField>();
  f->setText("ab");
  f->caret = 0;
  f->attachTo(window->tree, UXRect(10, 10, 200, 24));
  driver->structAddChild(window->tree->driverTree, 0, int16_t(f->node));
  f->nextResponder = window;
  auto button = make<UXButton>();
  button->attachTo(window->tree, UXRect(10, 50, 80, 24));
  auto probe = make<ActionProbe>();
  button->action = probe->block();
  window->defaultButton = button;
  UXEvent click;
  click.type = kUXEventMouseDown;
  click.x = 20;
  click.y = 20;
  window->dispatchMouse(click);
  EXPECT_EQ(window->firstResponder.lock(), f);
  EXPECT_EQ(f->caret, 2u);
  UXEvent typed = key('c');
  window->dispatchKey(typed);
  UXEvent ret = key(13);
  window->dispatchKey(ret);
  EXPECT_STREQ(f->text(), "abc");
  EXPECT_EQ(probe->calls, 1);
}

}  // namespace
}  // namespace quorl::test
