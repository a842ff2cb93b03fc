// The text system at the size of a long document: 1 MB of words in 10,000
// attribute runs, shown in a text view 608 px wide (600 px of wrap width)
// with the headless driver measuring.
//
// - Text/typing: 10,000 one-byte inserts at random places, each followed by
//   the relayout of the view (the kept lines brought up to date, the caret
//   scrolled into view, the lines in view found); the peer makes the same
//   inserts into a std::string.
// - Text/wrap: UXTextLayout::wrapAttr of the whole text at 600 px; the peer
//   wraps the same bytes greedily by words with the same width rule
//   (7 px a byte at size 12) over a std::string.
#include <benchmark/benchmark.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "PairTimer.h"
#include "foundation/Number.h"
#include "foundation/String.h"
#include "ux/core/UXApplication.h"
#include "ux/core/UXViewTree.h"
#include "ux/headless/UXHeadlessDriver.h"
#include "ux/text/UXTextLayout.h"
#include "ux/text/UXTextView.h"

using namespace quorl;

namespace {

constexpr int kBytes = 1 << 20;
constexpr int kRuns = 10000;
constexpr int kInserts = 10000;

// Words of 2 to 10 letters; a paragraph ends after 20 to 120 words.
std::string makeText() {
  std::mt19937 rng(20261208);
  std::string s;
  s.reserve(kBytes + 16);
  int wordsLeft = 60;
  while (int(s.size()) < kBytes) {
    const int n = 2 + int(rng() % 9);
    for (int i = 0; i < n; i++) s += char('a' + rng() % 26);
    if (--wordsLeft == 0) {
      s += '\n';
      wordsLeft = 20 + int(rng() % 101);
    } else {
      s += ' ';
    }
  }
  s.resize(kBytes);
  return s;
}

Ref<AttributedString> makeAttributed(const std::string& s) {
  auto a = AttributedString::withString(String::withCString(s.c_str()));
  Ref<Map> styles[4];
  for (auto& m : styles) m = make<Map>();
  styles[1]->set("bold", Number::withBool(true));
  styles[2]->set("size", Number::withI64(14));
  styles[3]->set("color", Number::withI64(0x204080));
  const int32_t step = kBytes / kRuns;
  for (int i = 0; i < kRuns; i++) {
    Range r{i * step, i + 1 == kRuns ? kBytes - i * step : step};
    a->setAttributes(styles[i % 4], &r);
  }
  return a;
}

struct Scene {
  Ref<UXViewDriver> saved = gDriver;
  Ref<UXViewTree> tree;
  Ref<UXTextView> view;
  Scene() {
    gDriver = make<UXHeadlessDriver>();
    tree = make<UXViewTree>();
    view = make<UXTextView>();
    view->attachTo(tree, UXRect(0, 0, 608, 600));
  }
  ~Scene() {
    view.reset();
    tree.reset();
    gDriver = saved;
  }
};

std::vector<int32_t> insertPlaces() {
  std::mt19937 rng(7);
  std::vector<int32_t> at(kInserts);
  for (int i = 0; i < kInserts; i++) at[size_t(i)] = int32_t(rng() % uint32_t(kBytes + i));
  return at;
}

void BM_TextTyping(benchmark::State& state) {
  const std::string source = makeText();
  const Ref<AttributedString> master = makeAttributed(source);
  const std::vector<int32_t> places = insertPlaces();
  Ref<String> x = String::withCString("x");
  Scene scene;
  perf::PairTimer timer;
  uint64_t checksum = 0;
  for (auto _ : state) {
    Range all{0, master->byteLength()};
    scene.view->text = master->substring(&all);
    scene.view->layoutLines();  // the document was open before typing
    std::string floor = source;
    timer.run(
        [&] {
          for (int32_t at : places) {
            Range r{at, 0};
            scene.view->text->replace(&r, x);
            scene.view->caret = uint32_t(at + 1);
            scene.view->scrollToCaret();
            uint32_t first = 0, end = 0;
            scene.view->linesInView(first, end);
            checksum += end - first;
          }
        },
        [&] {
          for (int32_t at : places) floor.insert(size_t(at), 1, 'x');
        });
    benchmark::DoNotOptimize(floor.data());
  }
  const double ours = timer.firstSeconds, peer = timer.secondSeconds;
  benchmark::DoNotOptimize(checksum);
  const double n = double(state.iterations()) * kInserts;
  state.counters["quorl_us_per_insert"] = ours / n * 1e6;
  state.counters["string_us_per_insert"] = peer / n * 1e6;
  state.counters["ratio"] = peer / ours;  // our speed over the peer's
}
BENCHMARK(BM_TextTyping)->Name("Text/typing/ratio_vs_std_string")->Unit(benchmark::kMillisecond)->Iterations(3);

// The peer wrap: greedy by words over the bytes, 7 px a byte.
size_t naiveWrap(const std::string& s, int32_t width, std::vector<std::pair<int32_t, int32_t>>& lines) {
  lines.clear();
  const int32_t len = int32_t(s.size());
  int32_t pos = 0, lineStart = -1, lineEnd = 0;
  while (pos < len) {
    const char c = s[size_t(pos)];
    if (c == '\n') {
      lines.push_back(lineStart < 0 ? std::make_pair(pos, 0) : std::make_pair(lineStart, lineEnd - lineStart));
      pos++;
      lineStart = -1;
    } else if (c == ' ') {
      pos++;
    } else {
      int32_t wordEnd = pos + 1;
      while (wordEnd < len && s[size_t(wordEnd)] != ' ' && s[size_t(wordEnd)] != '\n') wordEnd++;
      if (lineStart >= 0 && (wordEnd - lineStart) * 7 <= width) {
        pos = lineEnd = wordEnd;
        continue;
      }
      if (lineStart >= 0) lines.push_back({lineStart, lineEnd - lineStart});
      lineStart = pos;
      pos = lineEnd = wordEnd;
    }
  }
  if (lineStart >= 0) lines.push_back({lineStart, lineEnd - lineStart});
  return lines.size();
}

void BM_TextWrap(benchmark::State& state) {
  const std::string source = makeText();
  const Ref<AttributedString> text = makeAttributed(source);
  Scene scene;
  std::vector<std::pair<int32_t, int32_t>> peerLines;
  perf::PairTimer timer;
  size_t lines = 0;
  for (auto _ : state) {
    Ref<Array> wrapped;
    timer.run([&] { wrapped = UXTextLayout::wrapAttr(text, 600, 13); }, [&] { naiveWrap(source, 600, peerLines); });
    lines = wrapped->count();
  }
  const double ours = timer.firstSeconds, peer = timer.secondSeconds;
  const double n = double(state.iterations());
  state.counters["lines"] = double(lines);
  state.counters["quorl_ms"] = ours / n * 1e3;
  state.counters["peer_ms"] = peer / n * 1e3;
  state.counters["ratio"] = peer / ours;  // our speed over the peer's
}
BENCHMARK(BM_TextWrap)->Name("Text/wrap/ratio_vs_greedy_string")->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
