#include "ux/text/UndoManager.h"

#include "foundation/String.h"

namespace quorl {

void UndoManager::registerUndo(const UndoBlock& block, Ref<Object> argument) {
  if (disabled > 0) return;
  const uint32_t d = depth;
  if (d == 0) beginUndoGrouping();
  Ref<UndoCall> call = make<UndoCall>();
  call->block = block;
  call->argument = std::move(argument);
  openGroup->calls->add(call);
  if (d == 0) endUndoGrouping();
}

void UndoManager::beginUndoGrouping() {
  if (depth == 0) openGroup = make<UndoGroup>();
  depth++;
}

void UndoManager::endUndoGrouping() {
  if (depth == 0) return;
  depth--;
  if (depth != 0 || !openGroup) return;
  Ref<UndoGroup> g = std::move(openGroup);
  openGroup.reset();
  if (pendingName) g->name = pendingName;
  pendingName.reset();
  if (g->calls->count() == 0) return;
  const Ref<Array>& target = state == kUndoing ? redoStack : undoStack;
  target->add(g);
  if (limit > 0)
    while (target->count() > limit) target->removeAt(0);
  if (state == kNormal) redoStack->removeAll();
}

void UndoManager::_run(const Ref<Array>& stack, uint8_t mode) {
  // A replay that starts another replay of the same manager would file its
  // groups under the wrong state; it is refused.
  if (running_) return;
  while (depth > 0) endUndoGrouping();
  if (!stack || stack->count() == 0) return;
  Ref<UndoGroup> g = staticCast<UndoGroup>(stack->last());
  stack->removeLast();
  running_ = true;
  state = mode;
  beginUndoGrouping();
  pendingName = g->name;
  for (uint32_t i = g->calls->count(); i-- > 0;) {
    Ref<UndoCall> call = staticCast<UndoCall>(g->calls->get(i));
    call->block.call(call->argument);
  }
  // A call that left a level of its own open does not keep the inverse
  // group from being filed under the replay's state.
  while (depth > 0) endUndoGrouping();
  state = kNormal;
  running_ = false;
}

Ref<String> UndoManager::description() const {
  const uint16_t values[4] = {uint16_t(depth), state, uint16_t(disabled), uint16_t(limit)};
  return String::_classDescribe("UndoManager", values, 4, 0);
}

}  // namespace quorl
