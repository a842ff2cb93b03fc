// Grouped undo and redo of recorded calls.
//
// A call is a block (weak target, function) with one owned argument. The
// calls registered between the opening and closing of the outermost grouping
// level form one group, undone by calling them in reverse order; what the
// replay registers forms the inverse group, filed on the other stack.
#pragma once

#include <cstdint>

#include "foundation/Array.h"
#include "foundation/Object.h"

namespace quorl {

class String;

// Called as function(target, argument).
using UndoBlock = Block<const Ref<Object>&>;

class UndoCall : public Object {
 public:
  UndoBlock block;
  Ref<Object> argument;
  const char* classNameC() const override { return "_UndoCall"; }
};

class UndoGroup : public Object {
 public:
  Ref<Array> calls = make<Array>();  // UndoCall, in the order registered
  Ref<Object> name;
  const char* classNameC() const override { return "_UndoGroup"; }
};

class UndoManager : public Object {
 public:
  enum : uint8_t { kNormal = 0, kUndoing = 1, kRedoing = 2 };

  Ref<Array> undoStack = make<Array>();  // UndoGroup, oldest first
  Ref<Array> redoStack = make<Array>();
  Ref<UndoGroup> openGroup;
  uint32_t depth = 0;
  uint8_t state = kNormal;
  Ref<Object> pendingName;
  uint32_t disabled = 0;  // registration ignored while above 0
  uint32_t limit = 0;     // most groups kept on a stack; 0 no limit

  void registerUndo(const UndoBlock& block, Ref<Object> argument);
  void beginUndoGrouping();
  void endUndoGrouping();
  // Replays the last group of stack (undoStack with kUndoing, redoStack with
  // kRedoing). A call must not start another _run of the same manager.
  void _run(const Ref<Array>& stack, uint8_t mode);
  void undo() { _run(undoStack, kUndoing); }
  void redo() { _run(redoStack, kRedoing); }

  Ref<String> description() const override;  // <UndoManager>(depth, state, disabled, limit)
  const char* classNameC() const override { return "UndoManager"; }

 private:
  bool running_ = false;
};

}  // namespace quorl
