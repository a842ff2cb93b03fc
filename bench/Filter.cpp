#include "bench/Filter.h"

#include "bench/BHelp.h"
#include "bench/ResultModel.h"
#include "foundation/String.h"

namespace quorl {

namespace {

bool isSet(const Ref<String>& criterion) { return criterion && !criterion->isEmpty(); }

// A run without the field passes; a run with it must equal the criterion.
bool passesEqual(const Ref<String>& criterion, const Ref<String>& field) {
  return !isSet(criterion) || !field || BHelp::same(field, criterion);
}

// A picked machine text must be the machine's whole text.
bool passesWhole(const Ref<String>& criterion, const Ref<String>& field) {
  return !isSet(criterion) || BHelp::same(field, criterion);
}

}  // namespace

bool Filter::matches(Ptr<const Contribution> contribution, Ptr<const Run> run) const {
  if (!contribution || !run) return false;
  const Machine& machine = *contribution->machine;
  // The cpu test runs even for an empty criterion, which lets every machine
  // through; the order of the tests is part of the rule.
  if (cpu && !BHelp::contains(machine.cpu, cpu)) return false;
  if (isSet(gpu) && !BHelp::contains(machine.gpu, gpu)) return false;
  if (!passesWhole(pickedCpu, machine.cpu) || !passesWhole(pickedGpu, machine.gpu)) return false;
  if (!passesEqual(suite, run->suite)) return false;
  if (!passesEqual(opt, run->opt)) return false;
  if (!passesEqual(arch, run->arch)) return false;
  if (isSet(device)) {
    if (BHelp::same(device, "GPU only")) return run->isGpu();
    if (BHelp::same(device, "CPU only")) return !run->isGpu();
    if (!run->device) return false;
    return BHelp::same(run->device, BHelp::deviceCode(device));
  }
  return true;
}

}  // namespace quorl
