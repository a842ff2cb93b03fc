// The six criteria a run must pass to take part in the charts.
#pragma once

#include "foundation/Object.h"

namespace quorl {

class Contribution;
class Run;

class Filter final : public Object {
 public:
  // Each criterion is null or empty to set no restriction.
  Ref<String> cpu;     // part of the machine's cpu (all of it when picked), case ignored
  Ref<String> gpu;     // part of the machine's gpu (all of it when picked), case ignored
  Ref<String> suite;   // the run's suite, case ignored
  Ref<String> device;  // "GPU only", "CPU only", a device label or a code
  Ref<String> opt;     // the run's opt, case ignored
  Ref<String> arch;    // the run's arch, case ignored
  // cpu and gpu were picked from the lists of the machines' own texts: each
  // then matches the whole text (case ignored), so that one machine does
  // not take in every other whose name begins with its own.
  bool picked = false;

  const char* classNameC() const override { return "Filter"; }

  // Whether the run, one of the contribution's, passes every criterion.
  bool matches(Ptr<const Contribution> contribution, Ptr<const Run> run) const;

 private:
  bool passesMachine(const Ref<String>& criterion, const Ref<String>& field) const;
};

}  // namespace quorl
