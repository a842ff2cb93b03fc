// Contribution documents and the corpus, and the dispatcher that recognises
// every input format.
#include "bench/ResultModel.h"
#include "bench/ResultKeys.h"
#include "foundation/Array.h"
#include "foundation/JSON.h"
#include "foundation/Map.h"
#include "foundation/Number.h"
#include "foundation/String.h"

namespace quorl {

namespace {

// One pass over the run object's members instead of a lookup per field:
// a corpus holds a hundred thousand of them. Member names are unique in a
// Map, so each field still takes the value its key holds.
Ref<Run> readRun(const Map& object, JSON::Budget* budget) {
  Ref<Object> params, samples;
  struct Texts {
    Ref<String> suite, benchmark, target, device, opt, arch, checksum;
  } texts;
  const Object* best = nullptr;
  const Object* first = nullptr;
  // The names are unique, so each member is looked at once, in order; a
  // parsed run keeps them compact, one short run of memory.
  const uint32_t count = object.count();
  for (uint32_t i = 0; i < count; ++i) {
    const String* name = valueAs<String>(object._keyAt(i).get());
    if (!name) continue;
    const Ref<Object>& value = object._valueAt(i);
    switch (name->byteLength()) {
      case 3:
        if (isKey(*name, "opt", 3)) texts.opt = BHelp::text(value);
        break;
      case 4:
        if (isKey(*name, "arch", 4)) texts.arch = BHelp::text(value);
        break;
      case 5:
        if (isKey(*name, "suite", 5)) texts.suite = BHelp::text(value);
        break;
      case 6:
        if (isKey(*name, "target", 6)) {
          texts.target = BHelp::text(value);
        } else if (isKey(*name, "device", 6)) {
          texts.device = BHelp::text(value);
        } else if (isKey(*name, "params", 6) && valueAs<Map>(value.get())) {
          params = value;
        }
        break;
      case 7:
        if (isKey(*name, "best_us", 7)) best = value.get();
        break;
      case 8:
        if (isKey(*name, "checksum", 8)) {
          texts.checksum = BHelp::text(value);
        } else if (isKey(*name, "first_us", 8)) {
          first = value.get();
        }
        break;
      case 9:
        if (isKey(*name, "benchmark", 9)) texts.benchmark = BHelp::text(value);
        break;
      case 10:
        if (isKey(*name, "samples_us", 10) && valueAs<Array>(value.get())) samples = value;
        break;
      default:
        break;
    }
  }
  // The lists the document lacks are made, empty.
  if (budget) budget->spend((params ? 0 : sizeof(Map)) + (samples ? 0 : sizeof(Array)));
  auto run = make<Run>(staticCast<Map>(params), staticCast<Array>(samples));
  run->suite = std::move(texts.suite);
  run->benchmark = std::move(texts.benchmark);
  run->target = std::move(texts.target);
  run->device = std::move(texts.device);
  run->opt = std::move(texts.opt);
  run->arch = std::move(texts.arch);
  run->checksum = std::move(texts.checksum);
  run->takeTime(best, run->best_us);
  run->takeTime(first, run->first_us);
  return run;  // computed by the caller, once its samples are at hand
}

constexpr uint32_t kAhead = 8;

// First the map object, then (once it has arrived) the start of its table.
void prefetchMap(const Object* object, bool table) {
  if (!object) return;
  if (!table) {
    __builtin_prefetch(object);
    return;
  }
  auto* map = valueAs<Map>(object);
  if (!map) return;
  // All its entries: a run object's dozen members are a few cache lines.
  size_t bytes = 0;
  auto* first = static_cast<const char*>(map->_entryBytes(bytes));
  if (!first) return;
  auto* last = first + (bytes < 2048 ? bytes - 1 : 2047);
  for (const char* line = first; line <= last; line += 64) __builtin_prefetch(line);
}

// Computes runs a few runs behind the reading, each stage fetching one more
// link of the chain from a run to its sample numbers (the array, its items,
// the numbers), so that the statistics find them in the cache.
class SamplePipeline {
 public:
  void push(Run* run) {
    advance();
    stage_[0] = run;
    if (run) __builtin_prefetch(run->samples.get());
  }
  // Computes the runs still in the pipeline.
  void drain() {
    for (uint32_t k = 0; k < kStages; ++k) advance();
  }
  // Runs computed so far that left out an impossible time.
  uint32_t impossible() const { return impossible_; }

 private:
  static constexpr uint32_t kStages = 3;
  void advance() {
    if (Run* done = stage_[kStages - 1]) {
      done->leaveOutImpossibleSamples();
      done->compute();
      if (done->impossibleTimes > 0) ++impossible_;
    }
    for (uint32_t k = kStages - 1; k > 0; --k) stage_[k] = stage_[k - 1];
    stage_[0] = nullptr;
    if (Run* run = stage_[1]) {
      const Array& items = *run->samples;
      if (const Array::PackedIntegers values = items._integers()) {
        __builtin_prefetch(values.data());
      } else if (items.count() > 0) {
        __builtin_prefetch(items.begin());
      }
    }
    if (Run* run = stage_[2]) {
      if (!run->samples->_integers())
        for (const Ref<Object>& item : *run->samples) __builtin_prefetch(item.get());
    }
  }
  Run* stage_[kStages] = {};
  uint32_t impossible_ = 0;
};

void appendRoots(Array& out, const Array& elements, const Ref<String>& source, JSON::Budget* budget) {
  const uint32_t count = elements.count();
  for (uint32_t i = 0; i < count; ++i) {
    if (auto object = cast<Map>(elements.get(i))) out.add(Contribution::fromRoot(object, source, budget));
  }
}

}  // namespace

Ref<Contribution> Contribution::fromRoot(const Ref<Map>& root, const Ref<String>& source, JSON::Budget* budget) {
  const ResultKeys& k = ResultKeys::shared();
  if (budget) budget->spend(kContributionBytes);
  auto contribution = make<Contribution>();
  contribution->root = root;
  contribution->source = source;
  if (!root) return contribution;

  contribution->schema = BHelp::field(root, k.schema);
  contribution->id = BHelp::field(root, k.id);
  contribution->collected = BHelp::field(root, k.collected);
  contribution->repeats = static_cast<int32_t>(static_cast<uint32_t>(BHelp::intField(root, k.repeats, 0)));

  if (auto object = cast<Map>(root->get(k.machine))) {
    Machine& machine = *contribution->machine;
    machine.os = BHelp::field(object, k.os);
    machine.arch = BHelp::field(object, k.arch);
    machine.cpu = BHelp::field(object, k.cpu);
    machine.gpu = BHelp::field(object, k.gpu);
    machine.gpu_driver = BHelp::field(object, k.gpu_driver);
    machine.memory_mb = BHelp::intField(object, k.memory_mb, 0);
  }
  if (auto toolchains = cast<Map>(root->get(k.toolchains))) contribution->toolchains = toolchains;
  if (auto runs = cast<Array>(root->get(k.runs))) {
    const uint32_t count = runs->count();
    if (budget) budget->spend(uint64_t(count) * kDocumentRunBytes);
    SamplePipeline samples;
    for (uint32_t i = 0; i < count; ++i) {
      // The run objects lie scattered through the parsed tree; fetching a
      // few runs ahead hides much of the wait on memory.
      if (i + kAhead < count) prefetchMap(runs->get(i + kAhead).get(), false);
      if (i + kAhead / 2 < count) prefetchMap(runs->get(i + kAhead / 2).get(), true);
      if (auto* object = valueAs<Map>(runs->get(i).get())) {
        auto run = readRun(*object, budget);
        samples.push(run.get());
        contribution->runs->add(std::move(run));
      }
    }
    samples.drain();
    if (samples.impossible() > 0) contribution->leaveOutRunsWithoutTime();
  }
  return contribution;
}

Ref<Array> Contribution::loadText(Ptr<const String> text, const Ref<String>& source) {
  if (!text) return make<Array>();
  Ref<Object> parsed;
  try {
    parsed = JSON::parse(text);
  } catch (const JSONError&) {
    // Nothing was read; a caller that must say why parses the text itself.
    return make<Array>();
  }
  return loadObject(parsed, source);
}

Ref<Array> Contribution::loadObject(const Ref<Object>& value, const Ref<String>& source, JSON::Budget* budget) {
  const ResultKeys& k = ResultKeys::shared();
  auto result = make<Array>();
  if (auto array = cast<Array>(value)) {
    appendRoots(*result, *array, source, budget);
    return result;
  }
  auto object = cast<Map>(value);
  if (!object) return result;

  if (auto contributions = cast<Array>(object->get(k.contributions))) {
    appendRoots(*result, *contributions, source, budget);
    if (auto published = cast<Array>(object->get(k.published))) {
      const uint32_t count = published->count();
      auto publishedSource = k.publishedSource->copy();
      for (uint32_t i = 0; i < count; ++i) result->addAll(loadObject(published->get(i), publishedSource, budget));
    }
    return result;
  }
  // A document without "schema" is not one of ours, however it is spelt.
  if (BHelp::same(BHelp::field(object, k.schema), k.ourSchema)) {
    result->add(fromRoot(object, source, budget));
    return result;
  }
  if (cast<Map>(object->get(k.net)) || cast<Map>(object->get(k.raw))) return fromRunJSON(object, source, budget);
  if (looksPar(object)) return fromParJSON(object, source, budget);
  return result;
}

Ref<Contribution> Contribution::fromText(Ptr<const String> text, const Ref<String>& source) {
  if (!text) return nullptr;
  Ref<Object> parsed;
  try {
    parsed = JSON::parse(text);
  } catch (const JSONError&) {
    return nullptr;
  }
  auto object = cast<Map>(parsed);
  return object ? fromRoot(object, source) : nullptr;
}

}  // namespace quorl
