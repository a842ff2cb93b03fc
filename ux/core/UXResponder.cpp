#include "ux/core/UXResponder.h"

namespace quorl {

void UXResponder::keyDown(UXEvent& event) {
  if (Ref<UXResponder> next = nextResponder.lock()) next->keyDown(event);
}

void UXResponder::mouseDown(UXEvent& event) {
  if (Ref<UXResponder> next = nextResponder.lock()) next->mouseDown(event);
}

void UXResponder::mouseDragged(UXEvent& event) {
  if (Ref<UXResponder> next = nextResponder.lock()) next->mouseDragged(event);
}

void UXResponder::mouseUp(UXEvent& event) {
  if (Ref<UXResponder> next = nextResponder.lock()) next->mouseUp(event);
}

void UXResponder::rightMouseDown(UXEvent& event) {
  if (Ref<UXResponder> next = nextResponder.lock()) next->rightMouseDown(event);
}

void UXResponder::scrollWheel(UXEvent& event) {
  if (Ref<UXResponder> next = nextResponder.lock()) next->scrollWheel(event);
}

void UXResponder::mouseMoved(UXEvent& event) {
  // Iterative: the chain may be long and no responder stops a move.
  Ref<UXResponder> next = nextResponder.lock();
  while (next) next = next->nextResponder.lock();
}

}  // namespace quorl
