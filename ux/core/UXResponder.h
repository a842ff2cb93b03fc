// The responder chain: everything that receives input passes what it does
// not handle to its next responder.
#pragma once

#include "foundation/Object.h"

namespace quorl {

class UXEvent;

class UXResponder : public Object {
 public:
  // Back link: never owns the next responder.
  Weak<UXResponder> nextResponder;

  UXResponder() = default;

  // Whether focus may land here / move here / leave here.
  virtual bool acceptsFirstResponder() { return false; }
  virtual bool becomeFirstResponder() { return true; }
  virtual bool resignFirstResponder() { return true; }

  // Each handler hands the event to the same handler of the next responder.
  virtual void keyDown(UXEvent& event);
  virtual void mouseDown(UXEvent& event);
  virtual void mouseDragged(UXEvent& event);
  virtual void mouseUp(UXEvent& event);
  virtual void rightMouseDown(UXEvent& event);
  virtual void scrollWheel(UXEvent& event);

  // Deliberately not virtual: nothing acts on moves, they only travel the chain.
  void mouseMoved(UXEvent& event);

  const char* classNameC() const override { return "UXResponder"; }
};

}  // namespace quorl
