// The results files of the two benchmark scripts: run.py (languages
// compared, seconds per benchmark, optimisation level and language) and par
// (parallel runs, microseconds per benchmark, platform and device).
#include <cmath>
#include <new>
#include <vector>

#include "bench/ChartNames.h"
#include "bench/ResultKeys.h"
#include "bench/ResultModel.h"
#include "foundation/Array.h"
#include "foundation/Map.h"
#include "foundation/Number.h"
#include "foundation/String.h"

namespace quorl {

namespace {

// Seconds to whole microseconds, rounded half up; what does not fit (NaN,
// the infinities, anything beyond 64 bits) is 0 rather than undefined.
int64_t microsOf(double seconds) {
  double t = seconds * 1000000.0 + 0.5;
  if (!(t >= -9223372036854775808.0 && t < 9223372036854775808.0)) return 0;
  return static_cast<int64_t>(t);
}

bool listHoldsFolded(const Array& list, Ptr<const String> text) {
  const uint32_t count = list.count();
  for (uint32_t i = 0; i < count; ++i) {
    if (BHelp::same(cast<String>(list.get(i)), text)) return true;
  }
  return false;
}

// Calls f(key, value) for each member whose value is an object.
template <class F> void forEachObject(const Map& map, F&& f) {
  const uint32_t count = map.count();
  for (uint32_t i = 0; i < count; ++i) {
    auto key = cast<String>(map.enumAt(i));
    if (!key) continue;
    if (auto value = cast<Map>(map.valueAt(i))) f(key, value);
  }
}

Ref<Contribution> newContribution(const Ref<Map>& document, const Ref<String>& source) {
  auto contribution = make<Contribution>();
  contribution->root = document;
  contribution->source = source;
  return contribution;
}

void addRun(Contribution& contribution, const Ref<Run>& run, int64_t micros) {
  run->samples->add(Number::withI64(micros));
  run->compute();
  contribution.runs->add(run);
}

}  // namespace

// ---------------------------------------------------------------------------
// run.py

Ref<String> Contribution::langArch(const Ref<String>& key, const Ref<String>& platform) {
  const ResultKeys& k = ResultKeys::shared();
  if (key && key->hasSuffix(k.suffix)) return k.x86_64->copy();
  return platform;
}

Ref<String> Contribution::langTarget(const Ref<String>& key) {
  const ResultKeys& k = ResultKeys::shared();
  if (key && key->hasSuffix(k.suffix)) return key->substringToByte(key->byteLength() - k.suffix->byteLength());
  return key;
}

Ref<Array> Contribution::fromRunJSON(const Ref<Map>& document, const Ref<String>& source, JSON::Budget* budget) {
  const ResultKeys& k = ResultKeys::shared();
  auto result = make<Array>();
  if (!document) return result;
  auto times = cast<Map>(document->get(k.net));
  if (!times) times = cast<Map>(document->get(k.raw));
  if (!times) return result;

  Ref<String> platform = BHelp::field(document, k.platform);
  if (!platform) platform = k.unknown->copy();
  Ref<String> version = BHelp::field(document, k.version);
  const int32_t repeats = static_cast<int32_t>(static_cast<uint32_t>(BHelp::intField(document, k.repeats, 0)));

  // Architectures in order of first appearance, first spelling kept;
  // "baseline" counts here although it carries no runs.
  // Every language entry makes at most one run: they are paid for at once,
  // before any is made.
  auto archs = make<Array>();
  uint64_t entries = 0;
  forEachObject(*times, [&](const Ref<String>&, const Ref<Map>& opts) {
    forEachObject(*opts, [&](const Ref<String>&, const Ref<Map>& langs) {
      const uint32_t count = langs->count();
      entries += count;
      for (uint32_t i = 0; i < count; ++i) {
        auto arch = langArch(cast<String>(langs->enumAt(i)), platform);
        if (!listHoldsFolded(*archs, arch)) archs->add(arch);
      }
    });
  });

  if (budget) {
    budget->spend(entries * (kMadeRunBytes + budget->perObject) + archs->count() * uint64_t(kContributionBytes));
  }

  const uint32_t archCount = archs->count();
  for (uint32_t a = 0; a < archCount; ++a) {
    auto arch = cast<String>(archs->get(a));
    auto contribution = newContribution(document, source);
    contribution->schema = k.runPy->copy();
    auto id = make<String>();
    if (version) {
      id->appendFormat("%s %s", version->cString(), arch->cString());
    } else {
      id->append(arch);
    }
    contribution->id = id;
    contribution->repeats = repeats;
    contribution->machine->os = version;
    contribution->machine->arch = arch;
    contribution->machine->cpu = arch;

    forEachObject(*times, [&](const Ref<String>& bench, const Ref<Map>& opts) {
      if (BHelp::same(bench, k.baseline)) return;
      forEachObject(*opts, [&](const Ref<String>& opt, const Ref<Map>& langs) {
        const uint32_t count = langs->count();
        for (uint32_t i = 0; i < count; ++i) {
          auto lang = cast<String>(langs->enumAt(i));
          if (!BHelp::same(langArch(lang, platform), arch)) continue;
          auto seconds = cast<Number>(langs->valueAt(i));
          if (!seconds) continue;
          if (Run::impossibleMicros(seconds->doubleValue() * 1000000.0)) {
            ++contribution->runsWithoutTime;  // its one time
            continue;
          }
          const int64_t micros = microsOf(seconds->doubleValue());
          auto run = make<Run>();
          run->suite = k.langs->copy();
          run->benchmark = bench;
          run->target = langTarget(lang);
          run->device = k.cpuText->copy();
          run->opt = opt;
          run->arch = arch;
          // Fresh keys: a key object is hashed where it is stored, so no
          // two maps should share one that could still be changed.
          run->params->set(k.lang->copy(), run->target);
          run->params->set(k.opt->copy(), opt);
          run->params->set(k.arch->copy(), arch);
          run->best_us = micros;
          run->first_us = 0;
          run->checksum = make<String>();
          addRun(*contribution, run, micros);
        }
      });
    });
    if (contribution->runs->count() > 0 || contribution->runsWithoutTime > 0) result->add(contribution);
  }
  return result;
}

// ---------------------------------------------------------------------------
// par

bool Contribution::looksPar(Ptr<const Map> document) {
  if (!document) return false;
  const ResultKeys& k = ResultKeys::shared();
  bool found = false;
  forEachObject(*document, [&](const Ref<String>&, const Ref<Map>& platforms) {
    if (found) return;
    forEachObject(*platforms, [&](const Ref<String>&, const Ref<Map>& entry) {
      if (!found && entry->containsKey(k.checksum)) found = true;
    });
  });
  return found;
}

Ref<String> Contribution::parMachineName(const Ref<String>& platform) {
  static const struct {
    const char* key;
    const char* name;
  } kNames[] = {{"mac", "macOS (arm64)"},
                {"linux", "Linux (x86-64)"},
                {"windows", "Windows (x86-64)"},
                {"browser", "Chrome (wasm32)"}};
  for (const auto& entry : kNames) {
    if (BHelp::same(platform, entry.key)) return String::withCString(entry.name);
  }
  return platform;
}

Ref<Map> Contribution::paramsPar(Ptr<const String> device) {
  const ResultKeys& k = ResultKeys::shared();
  auto params = make<Map>();
  auto put = [&](const Ref<String>& key, const char* value) { params->set(key->copy(), String::withCString(value)); };
  if (BHelp::same(device, "serial")) {
    put(k.QUORL_PAR, "cpu");
    put(k.QUORL_PAR_THREADS, "1");
  } else if (BHelp::same(device, "cpu")) {
    put(k.QUORL_PAR, "cpu");
  } else if (BHelp::same(device, "gpu")) {
    put(k.QUORL_PAR, "gpu");
  } else if (BHelp::same(device, "vulkan")) {
    put(k.QUORL_PAR, "gpu");
    put(k.QUORL_PAR_GPU, "vulkan");
  }
  put(k.opt, "O3");
  return params;
}

Ref<Array> Contribution::fromParJSON(const Ref<Map>& document, const Ref<String>& source, JSON::Budget* budget) {
  const ResultKeys& k = ResultKeys::shared();
  auto result = make<Array>();
  if (!document) return result;

  // Platforms in order of first appearance; a later spelling that differs
  // only in case is the same platform, looked up with the first spelling.
  chart::NameIndex platforms;
  forEachObject(*document, [&](const Ref<String>&, const Ref<Map>& byPlatform) {
    const uint32_t count = byPlatform->count();
    for (uint32_t i = 0; i < count; ++i) {
      if (auto key = cast<String>(byPlatform->enumAt(i))) platforms.indexOf(key);
    }
  });

  // One pass over the benchmarks: each platform key is the member that
  // looking up its platform's first spelling would find (the same bytes),
  // and its runs join that platform's contribution in benchmark order.
  std::vector<Ref<Contribution>> contributions(platforms.count());
  forEachObject(*document, [&](const Ref<String>& bench, const Ref<Map>& byPlatform) {
    forEachObject(*byPlatform, [&](const Ref<String>& key, const Ref<Map>& devices) {
      const uint32_t p = platforms.find(key.get());
      if (p == kNotFound || !platforms.names()[p]->equals(key)) return;
      const Ref<String>& platform = platforms.names()[p];
      Ref<Contribution>& contribution = contributions[p];
      if (!contribution) {
        if (budget) budget->spend(kContributionBytes);
        contribution = newContribution(document, source);
        contribution->schema = k.parPy->copy();
        contribution->id = platform;
        auto name = parMachineName(platform);
        contribution->machine->cpu = name;
        contribution->machine->os = name;
        contribution->machine->arch = platform;
      }
      Ref<String> checksum = BHelp::field(devices, k.checksum);
      if (!checksum) checksum = make<String>();
      forEachObject(*devices, [&](const Ref<String>& device, const Ref<Map>& times) {
        if (BHelp::same(device, k.checksum)) return;
        if (budget) budget->spend(kMadeRunBytes);
        auto run = make<Run>();
        // An impossible time is left out where it stands (the best time
        // with the sample made of it); the run goes only when no time is left.
        const Object* bestValue = times->get(k.best_us).get();
        const bool best = run->takeTime(bestValue, run->best_us) && valueAs<Number>(bestValue);
        run->takeTime(times->get(k.first_us).get(), run->first_us);
        if (run->impossibleTimes > 0 && !run->hasTime()) {
          ++contribution->runsWithoutTime;
          return;
        }
        // The sample is the best time the document gives: a run without one
        // has no sample, rather than one of 0.
        if (best) run->samples->add(Number::withI64(run->best_us));
        contribution->impossibleTimes += run->impossibleTimes;
        run->suite = k.par->copy();
        run->benchmark = bench;
        run->target = k.quorl->copy();
        run->device = device;
        run->opt = k.O3->copy();
        run->arch = platform;
        run->params = paramsPar(device);
        run->checksum = checksum;
        run->compute();
        contribution->runs->add(run);
      });
    });
  });
  for (const Ref<Contribution>& contribution : contributions) {
    if (contribution && (contribution->runs->count() > 0 || contribution->runsWithoutTime > 0)) result->add(contribution);
  }
  return result;
}

}  // namespace quorl
