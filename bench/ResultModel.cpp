#include "bench/ResultModel.h"

#include <cmath>
#include <unordered_set>
#include <vector>

#include "bench/ResultKeys.h"
#include "foundation/Array.h"
#include "foundation/Map.h"
#include "foundation/Number.h"
#include "foundation/String.h"

namespace quorl {

namespace {

Ref<String> describe(const char* name, std::initializer_list<int64_t> values, uint8_t signedMask) {
  uint16_t cut[8] = {};
  uint8_t n = 0;
  for (int64_t v : values) cut[n++] = static_cast<uint16_t>(static_cast<uint64_t>(v));
  return String::_classDescribe(name, cut, n, signedMask);
}

}  // namespace

// ---------------------------------------------------------------------------
// Machine

Ref<String> Machine::description() const { return describe("Machine", {memory_mb}, 1); }

Ref<String> Machine::label() const {
  auto out = cpu ? cpu->copy() : String::withCString("unknown CPU");
  if (gpu && !gpu->isEmpty()) {
    out->appendCString(" + ");
    out->append(gpu);
  }
  return out;
}

// ---------------------------------------------------------------------------
// Run

Run::Run() : params(make<Map>()), samples(make<Array>()) {}

Run::Run(Ref<Map> givenParams, Ref<Array> givenSamples)
    : params(givenParams ? std::move(givenParams) : make<Map>()),
      samples(givenSamples ? std::move(givenSamples) : make<Array>()) {}

Ref<String> Run::description() const { return describe("Run", {best_us, first_us}, 3); }

void Run::compute() {
  // Only numeric samples count: a document may hold strings or nulls in
  // "samples_us", and they must neither stop the statistics nor count as 0.
  // The sum is kept in 128 bits because samples near the 64-bit limit
  // would overflow a 64-bit total.
  __extension__ typedef __int128 Wide;
  Wide sum = 0;
  int64_t n = 0;
  const uint32_t count = samples->count();
  if (const Array::PackedIntegers values = samples->_integers()) {  // as read: integers alone
    for (uint32_t i = 0; i < count; ++i) sum += values[i];
    timedSamples = count;
    if (count == 0) {
      mean = stddev = 0;
      return;
    }
    mean = static_cast<double>(sum) / static_cast<double>(count);
    double squares = 0;
    for (uint32_t i = 0; i < count; ++i) {
      const double d = static_cast<double>(values[i]) - mean;
      squares += d * d;
    }
    stddev = count > 1 ? std::sqrt(squares / static_cast<double>(count)) : 0;
    return;
  }
  for (uint32_t i = 0; i < count; ++i) {
    if (auto* number = valueAs<Number>(samples->get(i).get())) {
      sum += number->integerValue();
      ++n;
    }
  }
  timedSamples = static_cast<uint32_t>(n);
  if (n == 0) {
    mean = 0;
    stddev = 0;
    return;
  }
  mean = static_cast<double>(sum) / static_cast<double>(n);
  double squares = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (auto* number = valueAs<Number>(samples->get(i).get())) {
      double d = static_cast<double>(number->integerValue()) - mean;
      squares += d * d;
    }
  }
  stddev = n > 1 ? std::sqrt(squares / static_cast<double>(n)) : 0;
}

void Run::leaveOutImpossibleSamples() {
  // The samples are the document's own array, shared: a run that must drop
  // some gets a new one of the rest, in order.
  const uint32_t count = samples->count();
  if (const Array::PackedIntegers values = samples->_integers()) {
    // Negative, or beyond kMaxTimeUs: one unsigned test.
    auto outside = [](int64_t v) { return static_cast<uint64_t>(v) > static_cast<uint64_t>(kMaxTimeUs); };
    uint32_t bad = 0;
    for (uint32_t i = 0; i < count; ++i) bad += outside(values[i]);
    if (bad == 0) return;
    std::vector<int64_t> kept;
    kept.reserve(count - bad);
    for (uint32_t i = 0; i < count; ++i)
      if (!outside(values[i])) kept.push_back(values[i]);
    impossibleTimes += bad;
    samples = Array::_withIntegers(kept.data(), uint32_t(kept.size()));
    return;
  }
  uint32_t bad = 0;
  for (uint32_t i = 0; i < count; ++i) bad += impossibleTime(samples->get(i).get());
  if (bad == 0) return;
  Ref<Array> kept = Array::withCapacity(count - bad);
  for (uint32_t i = 0; i < count; ++i) {
    Ref<Object> item = samples->get(i);
    if (!impossibleTime(item.get())) kept->add(std::move(item));
  }
  impossibleTimes += bad;
  samples = std::move(kept);
}

bool Run::takeTime(const Object* value, int64_t& time) {
  auto* number = valueAs<Number>(value);
  if (number && impossibleTime(number)) {
    ++impossibleTimes;
    time = 0;
    return false;
  }
  time = number ? number->integerValue() : 0;
  return true;
}

bool Run::impossibleTime(const Object* value) {
  auto* number = valueAs<Number>(value);
  if (!number) return false;
  if (number->isDouble()) return impossibleMicros(number->doubleValue());
  return static_cast<uint64_t>(number->integerValue()) > static_cast<uint64_t>(kMaxTimeUs);
}

std::optional<double> Run::value(bool first) const {
  if (first && first_us > 0) return static_cast<double>(first_us);
  if (best_us > 0) return static_cast<double>(best_us);
  if (timedSamples > 0) return mean;
  return std::nullopt;
}

bool Run::isGpu() const {
  if (!device) return false;
  static const Ref<String> gpu = String::withCString("gpu");
  static const Ref<String> vulkan = String::withCString("vulkan");
  return device->contains(gpu) || device->contains(vulkan);
}

// ---------------------------------------------------------------------------
// Contribution (the readers live in ContributionLoad.cpp and
// ContributionScripts.cpp)

Contribution::Contribution() : machine(make<Machine>()), toolchains(make<Map>()), runs(make<Array>()) {}

Ref<String> Contribution::description() const { return describe("Contribution", {repeats}, 1); }

void Contribution::leaveOutRunsWithoutTime() {
  const uint32_t count = runs->count();
  Ref<Array> kept;  // made at the first run left out
  for (uint32_t i = 0; i < count; ++i) {
    Ref<Object> item = runs->get(i);
    auto* run = valueAs<Run>(item.get());
    if (run && run->impossibleTimes > 0 && !run->hasTime()) {
      ++runsWithoutTime;
      if (!kept) {
        kept = Array::withCapacity(count - 1);
        for (uint32_t j = 0; j < i; ++j) kept->add(runs->get(j));
      }
      continue;
    }
    if (run) impossibleTimes += run->impossibleTimes;
    if (kept) kept->add(std::move(item));
  }
  if (kept) runs = std::move(kept);
}

uint32_t Contribution::runsWithoutBest() const {
  uint32_t n = 0;
  for (const Ref<Object>& item : *runs)
    if (const Run* run = valueAs<Run>(item.get()); run && !run->value(false)) ++n;
  return n;
}

// ---------------------------------------------------------------------------
// DataSet

DataSet::DataSet() : contributions_(make<Array>()) {}

void DataSet::replace(Ref<const Array> next) { contributions_ = next ? std::move(next) : make<Array>(); }

DataSet::Merged DataSet::merge(Ptr<const Array> added, Ptr<const Array> dropped) {
  std::unordered_set<const Object*> gone;
  for (uint32_t i = 0; dropped && i < dropped->count(); i++) gone.insert(dropped->get(i).get());
  const Array& previous = *contributions_;
  const uint32_t count = added ? added->count() : 0;
  Ref<Array> next = Array::withCapacity(previous.count() + count);
  ResultSetIndex held;
  held.reserve(previous.count() + count);
  for (uint32_t i = 0; i < previous.count(); i++) {
    const Ref<Object>& o = previous.get(i);
    if (gone.count(o.get())) continue;
    if (auto* c = valueAs<Contribution>(o.get())) held.add(*c, next->count());
    next->add(o);
  }
  Merged out;
  out.added = make<Array>();
  out.matched = make<Array>();
  for (uint32_t i = 0; i < count; i++) {
    Ref<Contribution> c = cast<Contribution>(added->get(i));
    if (!c) continue;
    const uint32_t known = held.find(*c);
    if (known != kNotFound) {
      out.matched->add(next->get(known));
      out.runsMatched += c->runs->count();
      continue;
    }
    held.add(*c, next->count());
    next->add(c);
    out.added->add(c);
    out.runsAdded += c->runs->count();
  }
  out.comparisons = held.comparisons();
  replace(std::move(next));
  return out;
}

Ref<Contribution> DataSet::at(uint32_t index) const {
  if (index >= contributions_->count()) return nullptr;
  return cast<Contribution>(contributions_->get(index));
}

Ref<Array> DataSet::runs() const {
  auto all = make<Array>();
  const uint32_t count = contributions_->count();
  for (uint32_t i = 0; i < count; ++i) {
    auto contribution = cast<Contribution>(contributions_->get(i));
    if (!contribution) continue;
    all->addAll(contribution->runs);
  }
  return all;
}

// ---------------------------------------------------------------------------
// ChartRow

Ref<String> ChartRow::description() const { return describe("ChartRow", {color}, 1); }

}  // namespace quorl
