// Up and down arrows that change an integer value by `step` within
// minimum..maximum, stopping at the ends or wrapping to the other end. A
// press in the upper half increments, in the lower half decrements. Node
// kind 11 (a native up-down control on Win32).
//
// What the Win32 driver reads and calls (kept stable): `value`, `minimum`,
// `maximum`, `applyNativeValue`, then the control's `action`.
#pragma once

#include <cstdint>

#include "ux/controls/UXControl.h"

namespace quorl {

class UXStepper : public UXControl {
 public:
  int32_t value = 0;
  int32_t minimum = 0;
  int32_t maximum = 100;
  int32_t step = 1;
  uint8_t wraps = 0;  // 1: past one end continues at the other

  uint8_t kind() const override { return 11; }
  // Node and peer; no spec word.
  void attachTo(const Ref<UXViewTree>& tree, UXRect frame) override;
  void mouseDown(UXEvent& event) override;
  void drawRect(UXGraphics& graphics, UXRect rect) override;
  // <UXStepper>(value, minimum, maximum, step, wraps); wraps unsigned.
  Ref<String> description() const override;

  // value + step; past maximum it becomes minimum (wraps) or maximum. Only
  // maximum is tested: a value below minimum is not brought into range. A
  // sum beyond the i32 range (a huge negative step) stops at its end.
  void increment();
  // value - step; below minimum it becomes maximum (wraps) or minimum.
  void decrement();
  // The driver's report of a native position: stored raised to minimum,
  // then lowered to maximum. The driver runs the action itself afterwards.
  void applyNativeValue(int32_t position);

  const char* classNameC() const override { return "UXStepper"; }
};

}  // namespace quorl
