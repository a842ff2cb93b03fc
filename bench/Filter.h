// The six criteria a run must pass to take part in the charts.
#pragma once

#include "foundation/Object.h"

namespace quorl {

class Contribution;
class Run;

class Filter final : public Object {
 public:
  // Each criterion is null or empty to set no restriction.
  Ref<String> cpu;     // part of the machine's cpu, case ignored
  Ref<String> gpu;     // part of the machine's gpu, case ignored
  Ref<String> suite;   // the run's suite, case ignored
  Ref<String> device;  // "GPU only", "CPU only", a device label or a code
  Ref<String> opt;     // the run's opt, case ignored
  Ref<String> arch;    // the run's arch, case ignored
  // A cpu and a gpu picked from the lists of the machines' own texts match
  // the whole text (case ignored), so that one machine does not take in
  // every other whose name begins with its own. They apply besides the
  // typed parts above, whoever set either last.
  Ref<String> pickedCpu;
  Ref<String> pickedGpu;

  const char* classNameC() const override { return "Filter"; }

  // Whether the run, one of the contribution's, passes every criterion.
  bool matches(Ptr<const Contribution> contribution, Ptr<const Run> run) const;
};

}  // namespace quorl
