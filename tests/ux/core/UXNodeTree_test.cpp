// The native node tree: growth, links, frames, visibility, hit testing,
// walks, and the field editor's keystrokes.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "foundation/String.h"
#include "ux/core/UXNodeTree.h"

namespace quorl {
namespace {

TEST(UXNodeTreeTest, AppendGivesDefaultsAndGrowsByDoubling) {
  UXNodeTree t;
  EXPECT_EQ(t.count(), 0u);
  EXPECT_EQ(t.capacity(), 16u);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(t.append(1, i, 0, 10, 10), i);
  EXPECT_EQ(t.capacity(), 16u);
  EXPECT_EQ(t.append(2, 99, 98, 97, 96), 16);  // the 17th
  EXPECT_EQ(t.capacity(), 32u);
  const UXNode* n = t.at(16);
  ASSERT_NE(n, nullptr);
  EXPECT_EQ(n->kind, 2u);
  EXPECT_EQ(n->x, 99);
  EXPECT_EQ(n->h, 96);
  EXPECT_EQ(n->enabled, 1);
  EXPECT_EQ(n->hidden, 0);
  EXPECT_EQ(n->spec, 0u);
  EXPECT_EQ(n->parent, -1);
  EXPECT_EQ(n->firstChild, -1);
  EXPECT_EQ(n->lastChild, -1);
  EXPECT_EQ(n->nextSibling, -1);
  EXPECT_EQ(t.at(3)->x, 3);  // earlier nodes unchanged
  EXPECT_EQ(t.at(17), nullptr);
  EXPECT_EQ(t.at(-1), nullptr);
  EXPECT_EQ(t.description()->view(), "<UXNodeTree>(17, 32)");
}

TEST(UXNodeTreeTest, AppendRefusesPastTheLast16BitIndex) {
  UXNodeTree t;
  for (uint32_t i = 0; i < UXNodeTree::kMaxNodes; ++i) ASSERT_GE(t.append(1, 0, 0, 1, 1), 0);
  EXPECT_EQ(t.append(1, 0, 0, 1, 1), -1);
  EXPECT_EQ(t.count(), UXNodeTree::kMaxNodes);
}

TEST(UXNodeTreeTest, AddChildKeepsFirstLastAndSiblingLinks) {
  UXNodeTree t;
  for (int i = 0; i < 4; ++i) t.append(1, 0, 0, 10, 10);
  EXPECT_EQ(t.addChild(0, 1), 1);
  EXPECT_EQ(t.addChild(0, 2), 2);
  EXPECT_EQ(t.addChild(0, 3), 3);
  EXPECT_EQ(t.at(0)->firstChild, 1);
  EXPECT_EQ(t.at(0)->lastChild, 3);
  EXPECT_EQ(t.at(1)->nextSibling, 2);
  EXPECT_EQ(t.at(2)->nextSibling, 3);
  EXPECT_EQ(t.at(3)->parent, 0);
  // Middle, last, then first removed.
  t.removeChild(0, 2);
  EXPECT_EQ(t.at(1)->nextSibling, 3);
  EXPECT_EQ(t.at(2)->parent, -1);
  t.removeChild(0, 3);
  EXPECT_EQ(t.at(0)->lastChild, 1);
  EXPECT_EQ(t.at(1)->nextSibling, -1);
  t.removeChild(0, 1);
  EXPECT_EQ(t.at(0)->firstChild, -1);
  EXPECT_EQ(t.at(0)->lastChild, -1);
  // The next child becomes both first and last.
  EXPECT_EQ(t.addChild(0, 2), 2);
  EXPECT_EQ(t.at(0)->firstChild, 2);
  EXPECT_EQ(t.at(0)->lastChild, 2);
  // Removing a node that is not the parent's child changes nothing.
  t.removeChild(1, 2);
  EXPECT_EQ(t.at(2)->parent, 0);
}

TEST(UXNodeTreeTest, AddChildRefusesLinksThatBreakTheTree) {
  UXNodeTree t;
  for (int i = 0; i < 3; ++i) t.append(1, 0, 0, 10, 10);
  ASSERT_EQ(t.addChild(0, 1), 1);
  ASSERT_EQ(t.addChild(1, 2), 2);
  EXPECT_EQ(t.addChild(0, 2), -1);   // already under 1
  EXPECT_EQ(t.addChild(2, 0), -1);   // 0 is an ancestor of 2
  EXPECT_EQ(t.addChild(1, 1), -1);   // itself
  EXPECT_EQ(t.addChild(0, 7), -1);   // out of range
  EXPECT_EQ(t.addChild(-1, 2), -1);
  EXPECT_EQ(t.at(0)->lastChild, 1);
  EXPECT_EQ(t.at(2)->parent, 1);
}

// root(10,10 100x100) > a(5,5 50x50) > b(3,4 20x20) > c(1,1 5x5)
struct Chain {
  UXNodeTree t;
  Chain() {
    t.append(1, 10, 10, 100, 100);
    t.append(1, 5, 5, 50, 50);
    t.append(1, 3, 4, 20, 20);
    t.append(1, 1, 1, 5, 5);
    t.addChild(0, 1);
    t.addChild(1, 2);
    t.addChild(2, 3);
  }
};

TEST(UXNodeTreeTest, AbsFrameAddsEveryAncestorRootIncluded) {
  Chain c;
  int32_t x, y, w, h;
  c.t.absFrame(3, x, y, w, h);
  EXPECT_EQ(x, 10 + 5 + 3 + 1);
  EXPECT_EQ(y, 10 + 5 + 4 + 1);
  EXPECT_EQ(w, 5);
  EXPECT_EQ(h, 5);
  c.t.absFrame(9, x, y, w, h);
  EXPECT_EQ(x | y | w | h, 0);
}

TEST(UXNodeTreeTest, AbsFrameSumsBeyond16Bits) {
  UXNodeTree t;
  t.append(1, 30000, 0, 1, 1);
  t.append(1, 30000, 0, 1, 1);
  t.addChild(0, 1);
  int32_t x, y, w, h;
  t.absFrame(1, x, y, w, h);
  EXPECT_EQ(x, 60000);
}

TEST(UXNodeTreeTest, HiddenThroughAncestorsOrAMissingRoot) {
  Chain c;
  EXPECT_FALSE(c.t.effectivelyHidden(3));
  c.t.at(1)->hidden = 1;
  EXPECT_TRUE(c.t.effectivelyHidden(3));
  c.t.at(1)->hidden = 0;
  c.t.removeChild(1, 2);
  EXPECT_TRUE(c.t.effectivelyHidden(2));  // its chain ends before node 0
  EXPECT_TRUE(c.t.effectivelyHidden(3));
  EXPECT_FALSE(c.t.effectivelyHidden(1));
}

TEST(UXNodeTreeTest, HitTestFindsTheDeepestVisibleNode) {
  Chain c;
  EXPECT_EQ(c.t.hitTest(0, 19, 20), 3);  // c's absolute origin
  EXPECT_EQ(c.t.hitTest(0, 24, 24), 2);  // c's right edge is open
  EXPECT_EQ(c.t.hitTest(0, 25, 25), 2);  // right of c, inside b
  EXPECT_EQ(c.t.hitTest(0, 60, 60), 1);
  EXPECT_EQ(c.t.hitTest(0, 100, 100), 0);
  EXPECT_EQ(c.t.hitTest(0, 110, 50), -1);  // right edge is open
  EXPECT_EQ(c.t.hitTest(-1, 19, 20), -1);
  // From b the point is relative to b's parent a: c lies at (4, 5).
  EXPECT_EQ(c.t.hitTest(2, 4, 5), 3);
  EXPECT_EQ(c.t.hitTest(2, 3, 4), 2);
  EXPECT_EQ(c.t.hitTest(2, 19, 20), 2);  // c's absolute point is elsewhere in b
  EXPECT_EQ(c.t.hitTest(2, 23, 24), -1);
  // Hiding b prunes its subtree.
  c.t.at(2)->hidden = 1;
  EXPECT_EQ(c.t.hitTest(0, 19, 20), 1);
  // A hidden root finds nothing.
  c.t.at(0)->hidden = 1;
  EXPECT_EQ(c.t.hitTest(0, 60, 60), -1);
}

TEST(UXNodeTreeTest, HitTestSearchesChildrenOutsideTheirParentAndLaterSiblingsWin) {
  UXNodeTree t;
  t.append(1, 0, 0, 100, 100);  // 0
  t.append(1, 10, 10, 10, 10);  // 1: small parent
  t.append(1, 50, 50, 20, 20);  // 2: sticks out of 1 (absolute 60,60)
  t.append(1, 0, 0, 100, 100);  // 3: later sibling of 1 over everything
  t.append(1, 200, 200, 5, 5);  // 4: never linked
  t.addChild(0, 1);
  t.addChild(1, 2);
  EXPECT_EQ(t.hitTest(0, 65, 65), 2);
  t.addChild(0, 3);
  EXPECT_EQ(t.hitTest(0, 65, 65), 3);
  EXPECT_EQ(t.hitTest(0, 202, 202), -1);  // unlinked nodes are not found from the root
  // From node 1 the point is relative to node 0, which lies at (0, 0).
  EXPECT_EQ(t.hitTest(1, 65, 65), 2);
  EXPECT_EQ(t.hitTest(1, 5, 5), -1);
}

TEST(UXNodeTreeTest, WalkIsPreOrderWithAbsoluteOrigins) {
  UXNodeTree t;
  t.append(1, 1, 1, 9, 9);
  t.append(1, 2, 2, 9, 9);
  t.append(1, 3, 3, 9, 9);
  t.append(1, 4, 4, 9, 9);
  t.addChild(0, 2);
  t.addChild(2, 3);
  t.addChild(0, 1);
  std::string seen;
  t.walk(0, [&](int16_t n, int32_t x, int32_t y) {
    seen += std::to_string(n) + "@" + std::to_string(x) + "," + std::to_string(y) + " ";
    return true;
  });
  EXPECT_EQ(seen, "0@1,1 2@4,4 3@8,8 1@3,3 ");
  seen.clear();
  t.walk(2, [&](int16_t n, int32_t x, int32_t y) {
    seen += std::to_string(n) + "@" + std::to_string(x) + " ";
    return n != 2;  // skip 2's children
  });
  EXPECT_EQ(seen, "2@4 ");
}

TEST(UXNodeTreeTest, DeepChainsDoNotExhaustTheStack) {
  UXNodeTree t;
  const int depth = 30000;
  for (int i = 0; i < depth; ++i) t.append(1, 0, 0, 10, 10);
  // Linked from the bottom up, so that each link's cycle check is short.
  for (int i = depth - 1; i >= 1; --i) ASSERT_EQ(t.addChild(int16_t(i - 1), int16_t(i)), i);
  EXPECT_EQ(t.hitTest(0, 5, 5), depth - 1);
  EXPECT_FALSE(t.effectivelyHidden(int16_t(depth - 1)));
}

TEST(UXNodeTreeTest, ReleaseDropsTheNodes) {
  Chain c;
  c.t.release();
  EXPECT_EQ(c.t.count(), 0u);
  EXPECT_EQ(c.t.hitTest(0, 20, 20), -1);
}

TEST(UXNodeKindTest, WhoDrawsWhat) {
  for (uint32_t k : {1u, 15u, 16u, 17u}) {
    EXPECT_TRUE(uxKindDrawnByToolkit(k)) << k;
    EXPECT_FALSE(uxKindHasNativeControl(k)) << k;
  }
  EXPECT_FALSE(uxKindDrawnByToolkit(4));
  EXPECT_FALSE(uxKindHasNativeControl(4));  // labels are drawn by the driver
  for (uint32_t k : {2u, 3u, 5u, 6u, 7u, 8u, 9u, 10u, 11u, 12u, 13u, 14u, 18u}) {
    EXPECT_TRUE(uxKindHasNativeControl(k)) << k;
    EXPECT_FALSE(uxKindDrawnByToolkit(k)) << k;
  }
  EXPECT_FALSE(uxKindHasNativeControl(0));
  EXPECT_FALSE(uxKindHasNativeControl(19));
}

// ---------------------------------------------------------------------------

struct Field {
  char buffer[8] = {};
  UXFieldEditor editor;
  explicit Field(const char* text, const char* templ = "") {
    std::snprintf(buffer, sizeof buffer, "%s", text);
    editor.buffer = buffer;
    editor.capacity = sizeof buffer;
    editor.templ = templ;
  }
};

TEST(UXFieldEditorTest, KeystrokeTable) {
  struct Case {
    const char* text;
    const char* templ;
    int32_t caret;
    uint8_t ch;
    int32_t mode;
    int32_t handled;
    const char* after;
    int32_t caretAfter;
  } cases[] = {
      {"abc", "", 99, 0, 0, 1, "abc", 3},       // focus gained: caret to the end (clamped first)
      {"abc", "", 0, 0, 2, 1, "abc", 3},        // focus lost
      {"abc", "", 99, 'x', 1, 1, "abcx", 4},    // caret 99 clamps to 3
      {"abc", "", -4, 'x', 1, 1, "xabc", 1},
      {"abc", "", 1, 'x', 1, 1, "axbc", 2},
      {"abc", "", 2, 8, 1, 1, "ac", 1},         // backspace
      {"abc", "", 0, 8, 1, 1, "abc", 0},        // backspace at 0
      {"abc", "", 1, 13, 1, 0, "abc", 1},       // Return: not handled
      {"abc", "", 1, 127, 1, 0, "abc", 1},
      {"abc", "", 1, 200, 1, 0, "abc", 1},
      {"abcdefg", "", 7, 'x', 1, 1, "abcdefg", 7},  // full (capacity 8): dropped
      {"", "99", 0, '5', 1, 1, "5", 1},
      {"", "99", 0, 'a', 1, 1, "", 0},          // not a digit
      {"", "A", 0, 'q', 1, 1, "", 0},           // not upper case
      {"", "A", 0, ' ', 1, 1, " ", 1},
      {"", "A", 0, 'Q', 1, 1, "Q", 1},
      {"", "a", 0, 'q', 1, 1, "q", 1},
      {"", "a", 0, 'Q', 1, 1, "Q", 1},
      {"", "a", 0, '1', 1, 1, "", 0},
      {"", "-", 0, '1', 1, 1, "1", 1},          // other template bytes take anything
      {"12", "9", 2, 'z', 1, 1, "12z", 3},      // past the template: anything
  };
  for (const Case& c : cases) {
    Field f(c.text, c.templ);
    int32_t caret = c.caret;
    EXPECT_EQ(f.editor.edit(c.ch, caret, c.mode), c.handled) << c.text << " " << int(c.ch);
    EXPECT_STREQ(f.buffer, c.after) << c.text << " " << int(c.ch);
    EXPECT_EQ(caret, c.caretAfter) << c.text << " " << int(c.ch);
  }
}

TEST(UXFieldEditorTest, UnterminatedOrMissingBuffersAreSafe) {
  char raw[4] = {'a', 'b', 'c', 'd'};  // no NUL within the capacity
  UXFieldEditor e;
  e.buffer = raw;
  e.capacity = 4;
  int32_t caret = 9;
  EXPECT_EQ(e.edit('x', caret, 1), 1);  // treated as full
  EXPECT_EQ(raw[3], 0);
  EXPECT_EQ(caret, 3);
  UXFieldEditor none;
  EXPECT_EQ(none.edit('x', caret, 1), 0);
  UXFieldEditor zero;
  zero.buffer = raw;
  EXPECT_EQ(zero.edit('x', caret, 1), 0);
}

}  // namespace
}  // namespace quorl
