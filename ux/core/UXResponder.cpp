// The responder chain's default handlers: each passes the event on.
#include "ux/core/UXResponder.h"

namespace quorl {

namespace {

using Handler = void (UXResponder::*)(UXEvent&);

// Calls the same (virtual) handler on the next responder, if there is one.
void passOn(const UXResponder& responder, Handler handler, UXEvent& event) {
  if (Ref<UXResponder> next = responder.nextResponder.lock()) ((*next).*handler)(event);
}

}  // namespace

void UXResponder::keyDown(UXEvent& event) { passOn(*this, &UXResponder::keyDown, event); }

void UXResponder::mouseDown(UXEvent& event) { passOn(*this, &UXResponder::mouseDown, event); }

void UXResponder::mouseDragged(UXEvent& event) { passOn(*this, &UXResponder::mouseDragged, event); }

void UXResponder::mouseUp(UXEvent& event) { passOn(*this, &UXResponder::mouseUp, event); }

void UXResponder::rightMouseDown(UXEvent& event) { passOn(*this, &UXResponder::rightMouseDown, event); }

void UXResponder::scrollWheel(UXEvent& event) { passOn(*this, &UXResponder::scrollWheel, event); }

void UXResponder::mouseMoved(UXEvent& event) {
  // Iterative: the chain may be long and no responder stops a move.
  Ref<UXResponder> next = nextResponder.lock();
  while (next) next = next->nextResponder.lock();
}

}  // namespace quorl
