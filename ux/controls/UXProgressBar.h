// How far a task has come, and the bar that shows it.
//
// Sections:
//   1. Progress, ProgressChild: a total, units done directly, and sub-tasks
//      that each stand for some of the parent's units
//   2. UXProgressBar: node kind 12 (a native progress bar, range 0..1000)
//
// What the Win32 driver calls (kept stable): `nativeFractionMille`.
#pragma once

#include <cstdint>

#include "ux/controls/UXControl.h"

namespace quorl {

class Array;

// ---------------------------------------------------------------------------
// 1. The model. The owner fills every field.
class Progress : public Object {
 public:
  int64_t total = 0;      // below 1: nothing measurable
  int64_t completed = 0;  // units done directly
  Ref<Array> children;    // ProgressChild entries; never null
  uint8_t flag = 0;       // shown by the description only

  Progress();

  // (completed + sum of child fraction x child pending) / total, clamped to
  // 0..1; 0 when total < 1. A child whose progress is already on the path
  // being summed (a model that contains itself) counts 0 instead of
  // recursing without end; entries that are not children count 0.
  double fractionCompleted() const;
  // <Progress>(total, completed, flag): the low 16 bits of the two counts.
  Ref<String> description() const override;
  const char* classNameC() const override { return "Progress"; }
};

// A sub-task standing for `pending` of its parent's units.
class ProgressChild : public Object {
 public:
  Ref<Progress> progress;
  int64_t pending = 0;

  // <_ProgressChild>(pending)
  Ref<String> description() const override;
  const char* classNameC() const override { return "_ProgressChild"; }
};

// ---------------------------------------------------------------------------
// 2. The bar. It does not watch its model: after changing it the owner marks
//    the bar dirty so the next pass repaints and re-realises it.
class UXProgressBar : public UXControl {
 public:
  Ref<Progress> progress;  // the model shown; none: indeterminate
  uint32_t value = 0;      // shown by the description only

  uint8_t kind() const override { return 12; }
  // Node and peer; no spec word.
  void attachTo(const Ref<UXViewTree>& tree, UXRect frame) override;
  // Trough; then the indeterminate look, or the filled part when it is at
  // least 3 pixels wide.
  void drawRect(UXGraphics& graphics, UXRect rect) override;
  // <UXProgressBar>(value), signed.
  Ref<String> description() const override;

  // No model, or a model with total < 1.
  bool isIndeterminate() const;
  // The model's fraction x 1000, truncated: 0..1000; 0 without a model.
  uint32_t nativeFractionMille() const;
  // width x per-mille / 1000, truncated; 0 without a model.
  int32_t filledWidth(int16_t width) const;

  const char* classNameC() const override { return "UXProgressBar"; }
};

}  // namespace quorl
