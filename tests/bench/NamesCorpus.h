// Corpora whose names are hard to tell apart, for the tests of what the
// views draw: names that share long beginnings or endings, differ in one
// middle word, by one digit or only by letter case, CamelCase, Chinese,
// Hebrew and Arabic; one to hundreds of machines.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <gtest/gtest.h>

#include "bench/ChartNames.h"
#include "bench/ResultModel.h"
#include "foundation/Array.h"
#include "foundation/String.h"
#include "ux/headless/UXHeadlessDriver.h"

namespace quorl::namestest {

// What a corpus is made of: every machine runs every target, benchmark and
// level, on one architecture each.
struct CorpusShape {
  std::vector<std::string> machines;  // the cpu of each machine's contribution
  std::vector<std::string> targets;
  std::vector<std::string> benchmarks;
  std::vector<std::string> levels;
  std::string arch = "x86-64";
  std::string suite = "langs";

  size_t runs() const { return machines.size() * targets.size() * benchmarks.size() * levels.size(); }
};

// One contribution per machine; the times differ from run to run, so that
// every bar has its own length.
inline Ref<DataSet> corpusOf(const CorpusShape& shape, uint32_t seed = 52) {
  std::mt19937 rng(seed);
  const auto S = [](const std::string& s) { return String::withBytes(s.data(), uint32_t(s.size())); };
  auto list = make<Array>();
  for (const std::string& machine : shape.machines) {
    auto c = make<Contribution>();
    c->machine->cpu = S(machine);
    c->machine->arch = S(shape.arch);
    for (const std::string& target : shape.targets)
      for (const std::string& bench : shape.benchmarks)
        for (const std::string& level : shape.levels) {
          auto run = make<Run>();
          run->suite = S(shape.suite);
          run->benchmark = S(bench);
          run->target = S(target);
          run->device = S("cpu");
          run->opt = S(level);
          run->arch = S(shape.arch);
          run->best_us = 100 + int64_t(rng() % 100000);
          run->mean = double(run->best_us) * 1.1;
          run->stddev = double(run->best_us) * 0.05;
          c->runs->add(run);
        }
    list->add(c);
  }
  auto set = make<DataSet>();
  set->replace(list);
  return set;
}

// 7 machines x 7 targets x 7 benchmarks x O2/O3 (686 runs): targets that
// share long beginnings or endings, machines that share a long beginning
// (two nodes of one cluster) or a long ending (one lab's rack and slot).
inline CorpusShape namedCorpus() {
  CorpusShape shape;
  shape.targets = {"quorl",
                   "QuorlReleaseWithDebugInfoAndLTO",
                   "QuorlReleaseWithDebugInfoAndPGO",
                   "ClangCompilerLatestTrunkBuild",
                   "GccCompilerLatestTrunkBuild",
                   "C++ (clang)",
                   "rust"};
  shape.machines = {"Intel Xeon Platinum 8480+ compute node 017",
                    "Intel Xeon Platinum 8480+ compute node 018",
                    "AMD EPYC 9654 96-Core Processor (lab cluster west, rack 7, slot 12)",
                    "Ampere Altra Max M128-30 (lab cluster west, rack 7, slot 12)",
                    "AMD Ryzen 9 7950X 16-Core Processor",
                    "Apple M2 Max",
                    "Raspberry Pi 5 (Cortex-A76)"};
  shape.benchmarks = {"matrix_multiplication_blocked_tiled_1024",
                      "matrix_multiplication_blocked_transposed_1024",
                      "SpectralNormPowerIterationVariantA",
                      "SpectralNormPowerIterationVariantB",
                      "fannkuch",
                      "nbody",
                      "binary_trees"};
  shape.levels = {"O2", "O3"};
  return shape;
}

// The ways generated names come close to one another.
enum class NameKind {
  longBeginning,  // a long shared beginning, then a word of its own
  longEnding,     // a word of its own, then a long shared ending
  middleWord,     // one word differs in the middle of the same words
  oneDigit,       // one digit differs
  letterCase,     // only letter case differs
  camelCase,      // CamelCase words, most of them shared
  otherScripts,   // Chinese, Hebrew and Arabic words
  count
};

// `n` distinct names of one kind.
inline std::vector<std::string> generatedNames(std::mt19937& rng, NameKind kind, size_t n) {
  static const std::vector<std::string> words = {"matrix", "multiply", "blocked", "tiled",  "spectral", "norm",
                                                 "power",  "iteration", "variant", "radix", "scalar", "double",
                                                 "precision", "cluster", "rack", "node", "release", "debug"};
  static const std::vector<std::string> camel = {"Spectral", "Norm",  "Power", "Iteration", "Variant", "Matrix",
                                                 "Multiply", "Tiled", "Radix", "Release",   "With",    "Debug"};
  static const std::vector<std::string> scripts = {
      "\xE7\x9F\xA9\xE9\x98\xB5\xE4\xB9\x98\xE6\xB3\x95",  // Chinese
      "\xE6\x9C\x8D\xE5\x8A\xA1\xE5\x99\xA8",
      "\xE8\xAE\xA1\xE7\xAE\x97\xE8\x8A\x82\xE7\x82\xB9",
      "\xD7\x9E\xD7\x97\xD7\xA9\xD7\x91",  // Hebrew
      "\xD7\xA9\xD7\xA8\xD7\xAA",
      "\xD7\x9E\xD7\xA2\xD7\x91\xD7\x93",
      "\xD8\xAD\xD8\xA7\xD8\xB3\xD9\x88\xD8\xA8",  // Arabic
      "\xD8\xAE\xD8\xA7\xD8\xAF\xD9\x85",
      "\xD9\x85\xD8\xB9\xD8\xA7\xD9\x84\xD8\xAC"};
  const auto pick = [&](const std::vector<std::string>& from) { return from[rng() % from.size()]; };
  const auto phrase = [&](const std::vector<std::string>& from, size_t count, const char* gap) {
    std::string out;
    for (size_t k = 0; k < count; ++k) out += (k ? gap : "") + pick(from);
    return out;
  };
  const std::string shared = phrase(words, 3 + rng() % 4, " ");
  const std::string sharedCamel = phrase(camel, 3 + rng() % 3, "");
  std::vector<std::string> names;
  for (size_t i = 0; names.size() < n; ++i) {
    const std::string own = std::to_string(i);
    std::string name;
    switch (kind) {
      case NameKind::longBeginning: name = shared + " " + pick(words) + own; break;
      case NameKind::longEnding: name = pick(words) + own + " " + shared; break;
      case NameKind::middleWord: name = shared + " " + pick(words) + own + " " + shared; break;
      case NameKind::oneDigit: name = shared + " " + own + " " + shared; break;
      case NameKind::letterCase: {
        name = shared + " " + shared;
        for (size_t bit = 0, at = 0; at < name.size(); ++at)
          if (name[at] >= 'a' && name[at] <= 'z') {
            if ((i >> bit) & 1) name[at] = char(name[at] - 'a' + 'A');
            if (++bit == 20) break;
          }
        break;
      }
      case NameKind::camelCase: name = sharedCamel + pick(camel) + own + sharedCamel; break;
      case NameKind::otherScripts: name = pick(scripts) + " " + pick(scripts) + own + " " + pick(scripts); break;
      case NameKind::count: break;
    }
    bool taken = false;
    for (const std::string& t : names) taken = taken || t == name;
    if (!taken) names.push_back(name);
  }
  return names;
}

// A corpus of generated names: `machines` machines, a few targets,
// benchmarks and levels, each list of its own kind.
inline CorpusShape generatedCorpus(std::mt19937& rng, size_t machines) {
  const auto kind = [&] { return NameKind(rng() % size_t(NameKind::count)); };
  CorpusShape shape;
  shape.machines = generatedNames(rng, kind(), machines);
  shape.targets = generatedNames(rng, kind(), 1 + rng() % 5);
  shape.benchmarks = generatedNames(rng, kind(), 1 + rng() % 3);
  shape.levels = rng() % 2 ? std::vector<std::string>{"O3"} : std::vector<std::string>{"O2", "O3"};
  return shape;
}

// One drawn text of a view: the whole text of the item it stands for (its
// parts joined as they are drawn whole) and what was drawn for it.
struct DrawnItem {
  std::string whole;
  std::string drawn;
};

// The rule of every drawn name, on what one view drew (a bar group, a
// heading row, a summary panel): two different items never draw the same
// text, and each drawn text reads as its own item alone. Gives the number
// of items that broke it, each reported under `where`.
inline int expectToldApart(const std::vector<DrawnItem>& items, const std::string& where) {
  // A text reads only as wholes that begin with its first piece and end
  // with its last: only the shorter of those two sorted runs is read
  // through, so ten thousand items take a moment.
  const auto endsBefore = [](std::string_view x, std::string_view y) {
    return std::lexicographical_compare(x.rbegin(), x.rend(), y.rbegin(), y.rend());
  };
  std::vector<size_t> front(items.size()), back(items.size());
  std::unordered_map<std::string_view, std::vector<size_t>> byDrawn;
  for (size_t i = 0; i < items.size(); ++i) front[i] = back[i] = i, byDrawn[items[i].drawn].push_back(i);
  std::sort(front.begin(), front.end(), [&](size_t a, size_t b) { return items[a].whole < items[b].whole; });
  std::sort(back.begin(), back.end(), [&](size_t a, size_t b) { return endsBefore(items[a].whole, items[b].whole); });
  int broken = 0;
  for (size_t i = 0; i < items.size(); ++i) {
    bool ok = chart::readsAs(items[i].drawn, items[i].whole);
    EXPECT_TRUE(ok) << where << ": \"" << items[i].drawn << "\" does not read as \"" << items[i].whole << "\"";
    const std::string_view drawn = items[i].drawn;
    const size_t first = drawn.find("\xE2\x80\xA6"), last = drawn.rfind("\xE2\x80\xA6");
    const std::string_view head = drawn.substr(0, first),
                           tail = first == std::string_view::npos ? std::string_view() : drawn.substr(last + 3);
    const auto frontFrom = std::partition_point(front.begin(), front.end(), [&](size_t k) { return items[k].whole < head; });
    const auto frontTo = std::partition_point(frontFrom, front.end(), [&](size_t k) { return items[k].whole.starts_with(head); });
    const auto backFrom = std::partition_point(back.begin(), back.end(), [&](size_t k) { return endsBefore(items[k].whole, tail); });
    const auto backTo = std::partition_point(backFrom, back.end(), [&](size_t k) { return items[k].whole.ends_with(tail); });
    const bool byFront = frontTo - frontFrom <= backTo - backFrom;
    std::vector<size_t> others(byFront ? frontFrom : backFrom, byFront ? frontTo : backTo);
    for (size_t j : byDrawn[drawn])  // the same text drawn, whatever it reads as
      if (!items[j].whole.starts_with(head) || !items[j].whole.ends_with(tail)) others.push_back(j);
    for (size_t j : others) {
      if (items[j].whole == items[i].whole) continue;
      const bool same = items[j].drawn == items[i].drawn;
      const bool misread = chart::readsAs(items[i].drawn, items[j].whole);
      EXPECT_FALSE(same || misread) << where << ": \"" << items[i].drawn << "\" drawn for \"" << items[i].whole
                                    << "\" reads as \"" << items[j].whole << "\"";
      ok = ok && !same && !misread;
    }
    broken += !ok;
  }
  return broken;
}

// A corpus of ordinary names: `languages` language targets (the own one
// first) and `machines` distinct processors as their makers name them, on
// arm64 at O0 and O3; two benchmarks.
inline CorpusShape ordinaryCorpus(std::mt19937& rng, size_t languages, size_t machines) {
  static const std::vector<std::string> targets = {
      "quorl", "cpp",    "gcc",    "objc",       "swift",   "rust",  "go",  "zig",    "java", "csharp",
      "python", "node", "haskell", "ocaml", "nim", "crystal", "kotlin", "dart", "julia", "fortran"};
  const auto pick = [&](std::initializer_list<const char*> from) { return std::string(from.begin()[rng() % from.size()]); };
  const auto number = [&](int low, int high) { return std::to_string(low + int(rng() % unsigned(high - low + 1))); };
  const std::vector<std::function<std::string()>> makers = {
      [&] { return "AMD EPYC " + number(7000, 9799) + " " + pick({"32", "48", "64", "96", "128"}) + "-Core Processor"; },
      [&] { return "AMD Ryzen " + pick({"5", "7", "9"}) + " " + number(3600, 9950) + pick({"", "X", "X3D"}) + " " +
                   pick({"6", "8", "12", "16"}) + "-Core Processor"; },
      [&] { return "Intel(R) Xeon(R) " + pick({"Gold", "Platinum", "Silver"}) + " " + number(4100, 8490) +
                   pick({"", "+", "Y"}) + " CPU @ " + pick({"2.00", "2.10", "2.40", "3.00"}) + "GHz"; },
      [&] { return "Intel(R) Core(TM) i" + pick({"5", "7", "9"}) + "-" + number(10400, 14900) + pick({"", "K", "H"}) + " CPU"; },
      [&] { return "Apple M" + number(1, 4) + pick({"", " Pro", " Max", " Ultra"}); },
      [&] { return "Ampere Altra " + pick({"Q80-30", "Q64-22", "Max M128-30", "Max M96-28"}); },
      [&] { return "Qualcomm Snapdragon X Elite X1E-" + number(76, 84) + "-100"; },
      [&] { return "Neoverse-N" + number(1, 2) + " (AWS Graviton" + number(2, 4) + ")"; },
  };
  CorpusShape shape;
  shape.arch = "arm64";
  shape.levels = {"O0", "O3"};
  shape.benchmarks = {"fannkuch", "nbody"};
  shape.targets.assign(targets.begin(), targets.begin() + std::min(languages, targets.size()));
  std::set<std::string> seen;
  while (shape.machines.size() < machines) {
    std::string name = makers[rng() % makers.size()]();
    if (seen.insert(name).second) shape.machines.push_back(std::move(name));
  }
  return shape;
}

// A headless driver with a proportional measure, as a font's (narrow
// punctuation, wide capitals, wider other scripts), unlike the headless
// one's 7 pixels a byte.
class ProportionalDriver final : public UXHeadlessDriver {
 public:
  uint32_t textWidth(const char* text, int32_t size) override {
    if (size < 1) size = 12;
    uint64_t tenths = 0;  // of a pixel at size 12
    for (const char* p = text; p && *p; ++p) {
      const auto c = static_cast<uint8_t>(*p);
      if ((c & 0xC0) == 0x80) continue;  // inside a character
      tenths += c >= 0x80                 ? 140
                : std::string_view("il.,;:'|!()[] ").find(char(c)) != std::string_view::npos ? 40
                : c >= 'A' && c <= 'Z'    ? 100
                : c >= '0' && c <= '9'    ? 75
                                          : 80;
    }
    return uint32_t(tenths * uint64_t(size) / 120);
  }
};

}  // namespace quorl::namestest
