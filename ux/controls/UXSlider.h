// A horizontal slider: an integer value between minimum and maximum shown as
// a knob on a track. A press sets the value from the pointer and then
// follows the pointer in a modal drag loop, running the action at every
// step. Node kind 9 (a native trackbar on Win32).
//
// What the Win32 driver reads and calls (kept stable): `minimum`, `maximum`,
// `value`, `applyNativeValue`, then the control's `action`.
#pragma once

#include <cstdint>

#include "ux/controls/UXControl.h"

namespace quorl {

class UXSlider : public UXControl {
 public:
  int32_t minimum = 0;
  int32_t maximum = 100;
  int32_t value = 0;  // the owner may set it unclamped; presses store it clamped
  int16_t knobWidth = 12;

  uint8_t kind() const override { return 9; }
  // Node and peer; no spec word.
  void attachTo(const Ref<UXViewTree>& tree, UXRect frame) override;
  void mouseDown(UXEvent& event) override;
  void drawRect(UXGraphics& graphics, UXRect rect) override;
  // <UXSlider>(minimum, maximum, value, knobWidth), all signed.
  Ref<String> description() const override;

  // Left edge of the knob in a slider w wide; 0 when maximum <= minimum.
  int32_t knobX(int16_t w) const;
  // The value for a pointer at x from the slider's left edge (not clamped
  // to the range; presses clamp it). minimum when the track is empty.
  int32_t valueForX(int16_t x, int16_t w) const;
  // v raised to minimum, then lowered to maximum (so maximum wins when
  // maximum < minimum).
  int32_t clampValue(int32_t v) const;
  // The driver's report of a moved native trackbar: stores the position
  // clamped. The driver runs the action itself afterwards.
  void applyNativeValue(int32_t position) { value = clampValue(position); }

  const char* classNameC() const override { return "UXSlider"; }
};

}  // namespace quorl
