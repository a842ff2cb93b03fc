// The event record that the driver fills on every turn of the main loop.
#pragma once

#include <cstdint>

#include "foundation/Object.h"

namespace quorl {

// Event type codes (2, 3 and 6 are unused).
enum : uint8_t {
  kUXEventNone = 0,
  kUXEventMouseDown = 1,
  kUXEventKey = 4,
  kUXEventRelayout = 5,        // no producer; handled like 10
  kUXEventMenuCommand = 7,     // a = menu index + 2, b = item index
  kUXEventClose = 8,           // window 0: quit
  kUXEventResize = 9,
  kUXEventRedraw = 10,         // no producer; handled like 5
  kUXEventWheel = 11,          // a = notches, b = pixels; Shift: sideways (a horizontal wheel too)
  kUXEventScrollChanged = 12,  // for the event tap only
  kUXEventSelectionChanged = 13,
  kUXEventFieldChanged = 14,
  kUXEventMouseMoved = 15,
  kUXEventRightMouseDown = 16,
};

// Modifier bits of `mods`. Drivers set 1 for Shift; readers treat either of
// the two low bits as Shift (mods & kUXModShiftAny).
enum : uint16_t {
  kUXModShift = 1,
  kUXModShiftAny = 3,
  kUXModCtrl = 4,
};

// No init: a new event has every field zero. One record is reused for every
// turn; `nextEvent` resets only `type` and `window`, so the other fields keep
// the values of the previous event unless the new type writes them.
class UXEvent : public Object {
 public:
  uint8_t type = 0;
  int16_t x = 0;
  int16_t y = 0;
  uint16_t reserved = 0;
  uint16_t key = 0;   // character code 0-255 of a key event
  uint16_t mods = 0;  // kUXModShift, kUXModCtrl
  uint32_t window = 0;  // driver window handle 1..63, 0 = none
  int32_t a = 0;
  int32_t b = 0;
  Ref<Object> object;  // owned; only the events built for the event tap carry one

  // The nine scalar fields as <UXEvent>(type, x, y, reserved, key, mods,
  // window, a, b), each cut to 16 bits; x, y, window and a signed.
  Ref<String> description() const override;
  const char* classNameC() const override { return "UXEvent"; }
};

}  // namespace quorl
