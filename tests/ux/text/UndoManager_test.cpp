// Grouped undo and redo: nesting, limits, replays that register inverses.
#include <string>
#include <vector>

#include "TextTestEnv.h"
#include "ux/text/UndoManager.h"

namespace quorl::test {
namespace {

// A target whose calls log their argument and, when `inverse` is set,
// register a call that logs the argument with a prime.
class Target : public Object {
 public:
  std::vector<std::string> log;
  bool inverse = false;
  Ref<UndoManager> manager;

  UndoBlock block() {
    UndoBlock b;
    b.target = self();
    b.function = [](const Ref<Object>& t, const Ref<Object>& arg) {
      auto me = staticCast<Target>(t);
      const std::string name(staticCast<String>(arg)->view());
      me->log.push_back(name);
      if (me->inverse) me->manager->registerUndo(me->block(), String::withCString((name + "'").c_str()));
    };
    return b;
  }
  void reg(const char* name) { manager->registerUndo(block(), String::withCString(name)); }
};

struct UndoFixture : ::testing::Test {
  Ref<UndoManager> m = make<UndoManager>();
  Ref<Target> t = make<Target>();
  void SetUp() override { t->manager = m; }
};

TEST_F(UndoFixture, GroupsNestAndReplayInReverse) {
  m->disabled = 1;
  t->reg("ignored");
  EXPECT_EQ(m->undoStack->count(), 0u);
  EXPECT_EQ(m->depth, 0u);
  m->disabled = 0;

  m->beginUndoGrouping();
  m->beginUndoGrouping();
  t->reg("A");
  t->reg("B");
  m->endUndoGrouping();
  EXPECT_EQ(m->undoStack->count(), 0u);  // still inside the outer level
  m->endUndoGrouping();
  m->endUndoGrouping();  // unbalanced: ignored
  EXPECT_EQ(m->undoStack->count(), 1u);
  m->beginUndoGrouping();
  m->endUndoGrouping();  // empty: dropped
  EXPECT_EQ(m->undoStack->count(), 1u);
  m->undo();
  EXPECT_EQ(t->log, (std::vector<std::string>{"B", "A"}));
  EXPECT_EQ(m->state, UndoManager::kNormal);
  EXPECT_EQ(m->description()->view(), "<UndoManager>(0, 0, 0, 0)");
}

TEST_F(UndoFixture, InversesMoveBetweenTheStacks) {
  t->inverse = true;
  t->reg("one");
  t->reg("two");
  m->pendingName = String::withCString("Typing");
  t->reg("three");
  m->undo();  // three
  m->undo();  // two
  EXPECT_EQ(m->undoStack->count(), 1u);
  EXPECT_EQ(m->redoStack->count(), 2u);
  m->redo();  // two' back on the undo stack, the other redo kept
  EXPECT_EQ(m->undoStack->count(), 2u);
  EXPECT_EQ(m->redoStack->count(), 1u);
  auto named = staticCast<UndoGroup>(m->redoStack->last());
  EXPECT_EQ(staticCast<String>(named->name)->view(), "Typing");  // carried to the inverse
  t->reg("four");  // a new step voids the redo history
  EXPECT_EQ(m->redoStack->count(), 0u);
  EXPECT_EQ(t->log, (std::vector<std::string>{"three", "two", "two'"}));
}

TEST_F(UndoFixture, OpenGroupsAreFiledBeforeAReplay) {
  t->inverse = true;
  t->reg("x");
  m->undo();
  ASSERT_EQ(m->redoStack->count(), 1u);
  m->beginUndoGrouping();
  t->reg("open");
  m->redo();  // files "open" normally, which voids the redo stack: nothing redone
  EXPECT_EQ(m->redoStack->count(), 0u);
  EXPECT_EQ(t->log, (std::vector<std::string>{"x"}));
  m->beginUndoGrouping();
  t->reg("y");
  m->undo();  // the open group is the one undone
  EXPECT_EQ(t->log.back(), "y");
  EXPECT_EQ(m->depth, 0u);
}

TEST_F(UndoFixture, LimitsAndReleasedTargets) {
  m->limit = 2;
  t->reg("a");
  t->reg("b");
  t->reg("c");
  EXPECT_EQ(m->undoStack->count(), 2u);
  m->undo();
  m->undo();
  m->undo();  // empty: nothing
  EXPECT_EQ(t->log, (std::vector<std::string>{"c", "b"}));

  auto gone = make<Target>();
  gone->manager = m;
  gone->inverse = true;
  gone->reg("lost");
  gone.reset();
  m->undo();  // consumed, no inverse filed
  EXPECT_EQ(m->undoStack->count(), 0u);
  EXPECT_EQ(m->redoStack->count(), 0u);
  EXPECT_EQ(m->state, UndoManager::kNormal);
}

}  // namespace
}  // namespace quorl::test
