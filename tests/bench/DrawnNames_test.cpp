// Every name the bar charts and summary panels draw tells its item apart,
// judged on what is drawn (within a bar group, among group titles, among
// summary titles and benchmark names), for the corpora of NamesCorpus.h at
// widths from narrow to wide, headless and with the platform's text measure.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "ChartTestSupport.h"
#include "NamesCorpus.h"
#include "RecordingGraphics.h"
#include "Rounds.h"
#include "bench/ChartMetrics.h"
#include "ux/core/UXApplication.h"

using namespace quorl;
using namespace quorl::charttest;
using namestest::DrawnItem;

namespace {

using BM = chart::BarMetrics;
using SM = chart::SummaryMetrics;

std::string textOf(const Ref<String>& s) { return s ? std::string(chart::drawnText(*s)) : std::string(); }

// A row's whole label: series with architecture, then the level and the
// machine where rows of its group with that label differ in them.
struct RowLabel {
  std::string label, series, level, machine;
  std::string head() const { return level.empty() ? label : label + " " + level; }
  std::string whole() const { return machine.empty() ? head() : head() + "  " + machine; }
  // Whether `drawn` keeps, before its machine, the series (where the group
  // has several) and the level whole.
  bool headKept(const std::string& drawn, bool seriesTells) const {
    const size_t joint = drawn.rfind("  ");
    if (joint == std::string::npos) return false;
    const std::string head = drawn.substr(0, joint);
    return (!seriesTells || head.starts_with(series)) && (level.empty() || head.ends_with(" " + level));
  }
};

// What a bar chart drew, by group; the groups noted as reading alike.
struct DrawnBars {
  std::vector<std::vector<DrawnItem>> groups;
  std::vector<std::vector<RowLabel>> parts;  // as groups
  std::vector<DrawnItem> titles;             // each group's benchmark
  std::set<size_t> noted;
  int plotLeft = 1 << 30;
};

std::vector<RowLabel> wholeLabels(const ChartView& view, int32_t begin, int32_t end) {
  std::map<std::string, std::set<std::string>> levels, machines;
  for (int32_t j = begin; j < end; ++j) {
    const ChartRow& row = rowAt(view, uint32_t(j));
    levels[textOf(row.label)].insert(textOf(row.opt));
    machines[textOf(row.label)].insert(textOf(row.machineText));
  }
  std::vector<RowLabel> out;
  for (int32_t j = begin; j < end; ++j) {
    const ChartRow& row = rowAt(view, uint32_t(j));
    RowLabel label{textOf(row.label), textOf(row.series), {}, {}};
    if (levels[label.label].size() > 1) label.level = textOf(row.opt);
    if (machines[label.label].size() > 1) label.machine = textOf(row.machineText);
    out.push_back(label);
  }
  return out;
}

// Where a label's head is cut, its machine is drawn at most about half as
// wide again as its narrowest telling form, or no wider than the head.
void expectHeadKeptFirst(const std::vector<DrawnItem>& drawn, const std::vector<RowLabel>& parts,
                        const std::string& where) {
  std::vector<std::string> machines;
  std::set<std::string> series;
  for (const RowLabel& p : parts) {
    series.insert(p.series);
    if (!p.machine.empty()) machines.push_back(p.machine);
  }
  std::sort(machines.begin(), machines.end());
  machines.erase(std::unique(machines.begin(), machines.end()), machines.end());
  const std::vector<std::string_view> views(machines.begin(), machines.end());
  const chart::NameParts names(views, true);
  const chart::TextMeasure m{BM::kRowTextSize, BM::kTextCharW};
  for (size_t i = 0; i < drawn.size(); ++i) {
    const RowLabel& p = parts[i];
    const std::string& d = drawn[i].drawn;
    const size_t joint = d.rfind("  ");
    if (p.machine.empty() || joint == std::string::npos || p.headKept(d, series.size() > 1)) continue;
    const std::string piece = d.substr(joint + 2);
    if (!chart::readsAs(piece, p.machine)) continue;  // no machine drawn
    const auto k = uint32_t(std::lower_bound(machines.begin(), machines.end(), p.machine) - machines.begin());
    const std::string narrowest = names.shortest(k, m, chart::LabelSet::kFewestKept).text;
    const int64_t w = m.widthOf(piece), least = m.widthOf(narrowest);
    const bool kept = w <= least + std::max(m.widthOf("WWW"), least / 2) || w <= m.widthOf(d.substr(0, joint));
    EXPECT_TRUE(kept) << where << ": \"" << d << "\" cuts the head of \"" << drawn[i].whole
                      << "\" while its machine could be \"" << narrowest << "\"";
  }
}

// Draws the chart in slices a 16-bit frame holds, as its scroll view does,
// giving each drawn line with its slice's origin.
template <typename EachLine>
void drawInSlices(ChartView& view, int W, int64_t height, EachLine each) {
  constexpr int64_t kSlice = 30000;
  for (int64_t origin = 0; origin < height; origin += kSlice) {
    view.originY = int32_t(origin);
    view.shownY = int32_t(origin);
    view.shownW = W;
    view.shownH = int32_t(std::min(kSlice, height - origin));
    RecordingGraphics g;
    view.drawRect(g, UXRect(0, 0, int16_t(W), int16_t(std::min<int64_t>(height, 32767))));
    for (const std::string& line : g.lines) each(line, origin);
  }
  view.originY = view.shownY = 0;
  view.shownW = view.shownH = -1;
}

// Reads the row labels back by where they stand.
DrawnBars drawnBars(ChartView& view, int W) {
  DrawnBars out;
  const int64_t height = view.height();
  std::map<int64_t, std::pair<size_t, int32_t>> rowAtY;  // a label's y: its group and row in it
  std::map<int64_t, size_t> groupAtY;                    // a note's y: its group
  std::map<int64_t, std::string> benchAtY;               // a title's y: its benchmark
  std::vector<std::vector<RowLabel>> wholes;  // by group and row
  int64_t y = BM::kFirstPanel;
  for (int32_t i = 0; i < int32_t(view.rows->count());) {
    const int32_t e = view.groupEnd(i);
    groupAtY[y + BM::kNoteDY] = wholes.size();
    benchAtY[y + BM::kBenchDY] = textOf(rowAt(view, uint32_t(i)).bench);
    for (int32_t j = i; j < e; ++j) rowAtY[y + BM::kFirstRowDY + BM::kRowPitch * (j - i) + BM::kLabelDY] = {wholes.size(), j - i};
    wholes.push_back(wholeLabels(view, i, e));
    y += BM::groupAdvance(e - i);
    i = e;
  }
  out.groups.resize(wholes.size());
  out.parts.resize(wholes.size());
  std::set<int64_t> seen;
  drawInSlices(view, W, height, [&](const std::string& line, int64_t origin) {
    if (int x, ry, w, h; std::sscanf(line.c_str(), "fillRectRGB %d,%d,%d,%d", &x, &ry, &w, &h) == 4 && h == BM::kBarH)
      out.plotLeft = std::min(out.plotLeft, x);
    const auto t = drawnText(line);
    if (!t) return;
    const int64_t at = t->y + origin;
    if (t->colour == "150 70 20 255" && groupAtY.count(at)) out.noted.insert(groupAtY[at]);
    if (t->colour == "24 24 28 255" && t->size == BM::kBenchSize && benchAtY.count(at) && seen.insert(at).second)
      out.titles.push_back({benchAtY[at], t->text});
    if (t->colour != "80 80 88 255" || !seen.insert(at).second) return;
    const auto it = rowAtY.find(at);
    EXPECT_NE(it, rowAtY.end()) << line;
    if (it == rowAtY.end()) return;
    const auto [group, row] = it->second;
    out.groups[group].push_back({wholes[group][size_t(row)].whole(), t->text});
    out.parts[group].push_back(wholes[group][size_t(row)]);
    EXPECT_LE(t->x + int64_t(gDriver->textWidth(t->text.c_str(), t->size)), out.plotLeft - BM::kTextGap) << line;
  });
  return out;
}

// Each group's labels tell its rows apart, or the group says they read
// alike, and then only with the label column at its widest.
DrawnBars expectBarsToldApart(ChartView& view, int W, const std::string& where) {
  DrawnBars drawn = drawnBars(view, W);
  namestest::expectToldApart(drawn.titles, where + ", titles");
  for (size_t g = 0; g < drawn.groups.size(); ++g) {
    const std::string at = where + ", group " + std::to_string(g);
    if (drawn.noted.count(g))
      EXPECT_EQ(drawn.plotLeft, BM::plotLeft(std::max(BM::kLabelRoom, BM::mostLabelRoom(W)))) << at;
    else {
      namestest::expectToldApart(drawn.groups[g], at);
      expectHeadKeptFirst(drawn.groups[g], drawn.parts[g], at);
    }
  }
  return drawn;
}

// What the summary drew: panel titles and the first panel's benchmark names.
struct DrawnSummary {
  std::vector<DrawnItem> titles, names;
  bool noted = false;
};

DrawnSummary drawnSummary(ChartView& view, int W) {
  DrawnSummary out;
  view.mode = 1;
  const Ref<Array> series = view.seriesNames(), benches = view.benchNames();
  const int64_t height = view.height();
  std::set<std::pair<int, int64_t>> seen;
  std::vector<std::string> firstNames;
  drawInSlices(view, W, height, [&](const std::string& line, int64_t origin) {
    const auto t = drawnText(line);
    if (!t || !seen.insert({t->x, t->y + origin}).second) return;
    if (t->colour == "150 70 20 255") out.noted = true;
    if (t->size == SM::kTitleSize && t->colour == "24 24 28 255") {
      const size_t k = out.titles.size();
      EXPECT_LT(k, series->count()) << line;
      if (k < series->count()) out.titles.push_back({textOf(staticCast<String>(series->get(uint32_t(k)))), t->text});
    }
    // The first panel's names stand between its title and the next.
    if (t->size == SM::kNameSize && out.titles.size() == 1) firstNames.push_back(t->text);
  });
  for (size_t j = 0; j < firstNames.size(); ++j)
    out.names.push_back({textOf(staticCast<String>(benches->get(uint32_t(j)))), firstNames[j]});
  EXPECT_EQ(out.names.size(), benches->count());
  view.mode = 0;
  return out;
}

// The summary's titles tell its panels apart and its names the benchmarks,
// or it says they read alike.
DrawnSummary expectSummaryToldApart(ChartView& view, int W, const std::string& where) {
  DrawnSummary drawn = drawnSummary(view, W);
  if (!drawn.noted) {
    namestest::expectToldApart(drawn.titles, where + ", titles");
    namestest::expectToldApart(drawn.names, where + ", names");
  }
  return drawn;
}

class DrawnNames : public ChartFixture {
 protected:
  void SetUp() override { ChartFixture::SetUp(); headless_ = gDriver; }
  void TearDown() override { gDriver = headless_; ChartFixture::TearDown(); }
  std::vector<Ref<UXViewDriver>> drivers() { return {headless_, uxMakePlatformDriver()}; }

  Ref<UXViewDriver> headless_;
};

// The 686-run corpus: at a window's width and wider, labels read apart with
// no note and keep the series' beginning and the level.
TEST_F(DrawnNames, NamedCorpusBarLabelsReadApart) {
  for (const Ref<UXViewDriver>& driver : drivers()) {
    gDriver = driver;
    auto view = chart(namestest::corpusOf(namestest::namedCorpus()), 800, 600);
    view->rebuild();
    ASSERT_EQ(view->rows->count(), 686u);
    for (const int W : {480, 800, 1280, 1920}) {
      const std::string where = std::string(driver == headless_ ? "" : "platform ") + "width " + std::to_string(W);
      resize(view, W, 600);
      const DrawnBars drawn = expectBarsToldApart(*view, W, where);
      EXPECT_TRUE(drawn.noted.empty()) << where;
      size_t labels = 0;
      for (const std::vector<DrawnItem>& group : drawn.groups)
        for (const DrawnItem& item : group) {
          ++labels;
          const std::string series = item.whole.substr(0, item.whole.find("  "));
          EXPECT_TRUE(item.drawn.starts_with(series.substr(0, std::min<size_t>(series.size(), 5)))) << item.drawn;
          bool level = false;
          for (const char* l : {" O2", " O3", "\xE2\x80\xA6O2", "\xE2\x80\xA6O3"}) level |= item.drawn.find(l) != std::string::npos;
          EXPECT_TRUE(level) << where << ": " << item.drawn;
        }
      EXPECT_EQ(labels, 686u) << where;
      EXPECT_EQ(drawn.titles.size(), 7u) << where;
      const DrawnSummary summary = expectSummaryToldApart(*view, W, where);
      EXPECT_FALSE(summary.noted) << where;
      EXPECT_EQ(summary.titles.size(), 7u) << where;
    }
  }
}

// Generated corpora of 1 to 300 machines (namestest::generatedCorpus).
TEST_F(DrawnNames, GeneratedCorporaBarLabelsReadApart) {
  const std::vector<Ref<UXViewDriver>> measures = drivers();
  std::mt19937 rng(61);
  const int rounds = test::rounds(24);
  // One view rebuilt over every corpus draws as one made for it: nothing
  // of an earlier corpus stays in its labels or their room.
  Ref<ChartView> reused;
  const auto drawing = [](ChartView& v) {
    RecordingGraphics g;
    v.drawRect(g, UXRect(0, 0, 800, 32767));
    return g.lines;
  };
  for (int round = 0; round < rounds; ++round) {
    gDriver = measures[size_t(round) % measures.size()];
    const size_t machines = round % 8 == 7 ? 300 : 1 + rng() % 24;
    const namestest::CorpusShape shape = namestest::generatedCorpus(rng, machines);
    auto view = chart(namestest::corpusOf(shape, uint32_t(round)), 800, 600);
    view->rebuild();
    if (!reused) reused = chart(view->dataSet, 800, 600);
    reused->dataSet = view->dataSet;
    reused->rebuild();
    EXPECT_EQ(drawing(*reused), drawing(*view)) << "round " << round << ", drawn by a view rebuilt over it";
    for (const int W : {320, 640, 1280, 2400}) {
      resize(view, W, 600);
      const std::string where = "round " + std::to_string(round) + " (" + std::to_string(machines) +
                                " machines), width " + std::to_string(W) + (round % 2 ? " platform" : "");
      expectBarsToldApart(*view, W, where);
      expectSummaryToldApart(*view, W, where);
    }
    if (HasFailure()) return;
  }
}

}  // namespace
