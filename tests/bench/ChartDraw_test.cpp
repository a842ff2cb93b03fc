// ChartView drawing: the bar charts, the summary panels, the heat map, the
// axis step, heights, the 16-bit coordinate limits, and every sample file
// drawn in every mode.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <span>
#include <unordered_map>
#include <sstream>
#include <tuple>

#include "ChartTestSupport.h"
#include "Rounds.h"
#include "bench/ChartCanvas.h"
#include "bench/ChartMetrics.h"
#include "bench/HeatMapDraw.h"
#include "foundation/Array.h"
#include "foundation/Files.h"
#include "foundation/String.h"

using namespace quorl;
using namespace quorl::charttest;

namespace {

const std::string kEllipsis = "\xE2\x80\xA6";

// The recorded lines with each rounded rectangle (a 36-point polygon) shown
// as its bounding box: "roundRect x,y,w,h r g b a".
std::vector<std::string> normalised(const RecordingGraphics& g) {
  std::vector<std::string> out;
  for (const std::string& line : g.lines) {
    if (line.rfind("fillPolygonRGBA [", 0) != 0) {
      out.push_back(line);
      continue;
    }
    const size_t close = line.find(']');
    std::istringstream pts(line.substr(17, close - 17));
    int minX = 1 << 30, minY = 1 << 30, maxX = -(1 << 30), maxY = -(1 << 30);
    std::string p;
    int n = 0;
    while (pts >> p) {
      const int x = std::stoi(p.substr(0, p.find(','))), y = std::stoi(p.substr(p.find(',') + 1));
      minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y), maxY = std::max(maxY, y);
      ++n;
    }
    // After the points come their count and the colour.
    std::string rest = line.substr(close + 1);
    const std::string count = " " + std::to_string(n);
    if (rest.rfind(count + " ", 0) == 0) rest = rest.substr(count.size());
    out.push_back("roundRect " + std::to_string(minX) + "," + std::to_string(minY) + "," +
                  std::to_string(maxX - minX) + "," + std::to_string(maxY - minY) + rest +
                  (n == 36 ? "" : " points=" + std::to_string(n)));
  }
  return out;
}

std::string joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines) out += l + "\n";
  return out;
}

// Every coordinate a line carries, as (x, y) points: rectangle corners,
// text anchors, line ends, polygon points.
std::vector<std::pair<int, int>> pointsOf(const std::string& line) {
  std::vector<std::pair<int, int>> out;
  const std::string name = line.substr(0, line.find(' '));
  if (name == "fillRectRGB" || name == "fillRectRGBA" || name == "fillRect") {
    int x, y, w, h;
    std::sscanf(line.c_str() + name.size(), " %d,%d,%d,%d", &x, &y, &w, &h);
    out.push_back({x, y});
    out.push_back({x + w, y + h});
  } else if (name == "drawTextRGBA") {
    int x, y;
    std::sscanf(line.c_str() + line.rfind('"') + 1, " %d %d", &x, &y);
    out.push_back({x, y});
  } else if (name == "drawLine") {
    int x1, y1, x2, y2;
    std::sscanf(line.c_str() + name.size(), " %d %d %d %d", &x1, &y1, &x2, &y2);
    out.push_back({x1, y1});
    out.push_back({x2, y2});
  } else if (name == "fillPolygonRGBA" || name == "fillPolygonRGB" || name == "fillPolygon") {
    std::istringstream pts(line.substr(line.find('[') + 1, line.find(']') - line.find('[') - 1));
    std::string p;
    while (pts >> p) out.push_back({std::stoi(p.substr(0, p.find(','))), std::stoi(p.substr(p.find(',') + 1))});
  } else {
    out.push_back({-99999, -99999});  // nothing else is expected of the chart
  }
  return out;
}

// The lines with a coordinate outside (0, 0)-(w, h), edges included.
std::vector<std::string> outside(const RecordingGraphics& g, int w, int h) {
  std::vector<std::string> out;
  for (const std::string& line : g.lines)
    for (auto [x, y] : pointsOf(line))
      if (x < 0 || y < 0 || x > w || y > h) {
        out.push_back(line);
        break;
      }
  return out;
}

class ChartDraw : public ChartFixture {
 protected:
  // fib: C++ 2000 us (no spread), quorl 7300 us (mean 7000 +/- 500);
  // sieve: quorl 1000 us (+/- 100).
  Ref<DataSet> twoBenchmarks() {
    return dataSetOf({contribution(
        "cpu", {{.bench = "fib", .target = "quorl", .best = 7300, .mean = 7000, .stddev = 500},
                {.bench = "fib", .target = "cpp", .best = 2000, .mean = 2100},
                {.bench = "sieve", .target = "quorl", .best = 1000, .mean = 1000, .stddev = 100}})});
  }
};

// --- Heights ----------------------------------------------------------------------

TEST_F(ChartDraw, HeightsPerMode) {
  auto view = chart(dataSetOf({contribution("c", {{.bench = "a", .best = 1},
                                                   {.bench = "a", .target = "cpp", .best = 2},
                                                   {.bench = "b", .best = 3},
                                                   {.bench = "c", .best = 4},
                                                   {.bench = "c", .target = "cpp", .best = 5},
                                                   {.bench = "c", .target = "gcc", .best = 6}})}));
  EXPECT_EQ(view->rowsHeight(), 220);
  EXPECT_EQ(view->summaryHeight(), 220);
  view->rebuild();
  EXPECT_EQ(view->rowsHeight(), 522);  // 56 + 142 + 90 + 194 + 40
  EXPECT_EQ(view->height(), 522);
  view->mode = 2;
  EXPECT_EQ(view->height(), 248);  // three benchmarks: 4 x 26 + 144
  view->mode = 1;
  // Three series of 3 benchmarks: "C++ (clang)" widens the slots to 105 (7 a
  // line), the scale text on a line of its own (16 more), 12 for each name.
  EXPECT_EQ(view->summaryCols(), 7);
  EXPECT_EQ(view->summaryHeight(), 200 + 16 + 3 * 12 + 8);
  EXPECT_EQ(view->height(), 260);
  view->mode = 7;
  EXPECT_EQ(view->height(), 522);
}

TEST_F(ChartDraw, SummaryColumnsAndHeight) {
  // Six benchmarks, the last name 16 bytes (84 pixels) under the sixth bar,
  // make a 203-pixel slot: three panels a line at 800.
  auto c = contribution("c", {});
  const char* benches[] = {"b1", "b2", "b3", "b4", "b5", "bench_number_six"};
  const char* targets[] = {"quorl", "cpp", "gcc", "swift", "objc", "quorl", "cpp"};
  const char* arches[] = {nullptr, nullptr, nullptr, nullptr, nullptr, "arm64", "arm64"};
  for (int s = 0; s < 7; ++s)
    for (const char* b : benches) c->runs->add(makeRun({.bench = b, .target = targets[s], .arch = arches[s], .best = 10}));
  auto view = chart(dataSetOf({c}));
  view->rebuild();
  EXPECT_EQ(view->seriesNames()->count(), 7u);
  EXPECT_EQ(view->summaryCols(), 3);
  // "C++ (clang)  arm64" does not widen it; the scale text shares the title line.
  EXPECT_EQ(view->summaryHeight(), (6 * 12 + 200) * 3 + 8);
  resize(view, 100, 600);  // narrower than a slot: still one panel a line
  EXPECT_EQ(view->summaryCols(), 1);
  resize(view, 10, 600);  // the margin comes off in 16 bits and goes negative
  EXPECT_EQ(view->summaryCols(), 1);
}

TEST_F(ChartDraw, OnlyTheOutlierMeansSeriesWithoutBenchmarks) {
  auto view = chart(dataSetOf({contribution("c", {{.bench = "matrix_mul_f32", .best = 1},
                                                   {.bench = "MATRIX_MUL_F32", .target = "cpp", .best = 2}})}));
  view->rebuild();
  EXPECT_EQ(view->summaryCols(), 1);
  EXPECT_EQ(view->summaryHeight(), 200 * 2 + 8);
  RecordingGraphics g;
  view->drawSummary(g);
  EXPECT_EQ(joined(g.lines),
            "fillRectRGB 0,0,800,600 255 255 255\n"
            "drawTextRGBA \"No runs match the filters.\" 16 16 90 90 90 255 13\n");
}

// --- Axis step ---------------------------------------------------------------------

TEST(ChartViewNiceStep, Table) {
  const std::pair<double, double> cases[] = {
      {1, 0.2},    {4, 1},    {5, 1},    {7.4, 1},     {7.5, 2},       {10, 2},          {17.5, 5},
      {37.4, 5},   {37.5, 10}, {50, 10}, {100, 20},    {123, 20},      {1000, 200},      {2500000, 500000},
      {0.01, 0.002}, {7300, 1000}, {12, 2}, {0, 1e-06}, {-3, 1e-06},
  };
  for (auto [max, step] : cases) EXPECT_NEAR(ChartView::niceStep(max), step, step * 1e-9) << max;
  EXPECT_EQ(ChartView::niceStep(std::nan("")), 10.0);
  // Nothing passes an infinite maximum, but it must not hang.
  EXPECT_TRUE(std::isinf(ChartView::niceStep(std::numeric_limits<double>::infinity())));
}

// --- Bar charts ---------------------------------------------------------------------

TEST_F(ChartDraw, EmptyBarChartIsWhiteWithTheMessage) {
  auto view = chart(dataSetOf({}));
  view->rebuild();
  RecordingGraphics g;
  view->drawRect(g, UXRect(0, 0, 800, 600));
  EXPECT_EQ(joined(g.lines),
            "fillRectRGB 0,0,800,600 255 255 255\n"
            "drawTextRGBA \"No runs match the filters.\" 16 16 90 90 90 255 13\n");
}

TEST_F(ChartDraw, BarChartTimeMetricDrawsEveryElementInOrder) {
  auto view = chart(twoBenchmarks(), 800, 328);
  view->rebuild();
  ASSERT_EQ(view->height(), 328);
  RecordingGraphics g;
  view->drawRect(g, UXRect(0, 0, 800, 328));
  std::vector<std::string> expected = {
      "fillRectRGB 0,0,800,328 255 255 255",
      "roundRect 4,56,792,126 197 202 214 255",
      "roundRect 5,57,790,124 236 238 243 255",
      "roundRect 4,198,792,74 197 202 214 255",
      "roundRect 5,199,790,72 236 238 243 255",
  };
  // S = 8000 us over P = 520 pixels: a tick every 65 pixels, 0.0 to 8.0 ms.
  for (int t = 0; t <= 8; ++t) {
    expected.push_back("fillRectRGB " + std::to_string(190 + 65 * t) + ",48,1,224 208 211 219");
    expected.push_back("drawTextRGBA \"" + std::to_string(t) + ".0\" " + std::to_string(192 + 65 * t) +
                       " 30 110 110 110 255 11");
  }
  const std::vector<std::string> rest = {
      "drawTextRGBA \"time (ms)\" 190 6 60 60 60 255 12",
      "drawTextRGBA \"fib\" 12 65 24 24 28 255 13",
      "drawTextRGBA \"C++ (clang)\" 24 107 80 80 88 255 11",
      "fillRectRGB 190,100,130,14 59 130 246",
      "drawTextRGBA \"2.0 ms\" 326 105 40 40 44 255 11",
      "drawTextRGBA \"quorl\" 24 159 80 80 88 255 11",
      "fillRectRGB 190,152,474,14 212 117 31",
      "drawTextRGBA \"7.3 ms\" 684 157 40 40 44 255 11",  // right of the error bar, which ends at 677
      "drawLine 612 154 612 164 1",  // the error bar is centred on the mean (7000 +/- 500)
      "drawLine 677 154 677 164 1",
      "drawLine 612 159 677 159 1",
      "drawTextRGBA \"sieve\" 12 207 24 24 28 255 13",
      "drawTextRGBA \"quorl\" 24 249 80 80 88 255 11",
      "fillRectRGB 190,242,65,14 212 117 31",
      "drawTextRGBA \"1.0 ms\" 268 247 40 40 44 255 11",
      "drawLine 248 244 248 254 1",
      "drawLine 261 244 261 254 1",
      "drawLine 248 249 261 249 1",
      "drawTextRGBA \"bar = value    error bar = one standard deviation    label = machine\" 12 292 110 110 "
      "118 255 11",
  };
  expected.insert(expected.end(), rest.begin(), rest.end());
  EXPECT_EQ(joined(normalised(g)), joined(expected));
}

// No value text, as wide as the driver measures it, meets its row's error
// bar or leaves the panel right of the row labels, and every error bar
// stays within the plot: bars from 1 us to 400 s with spreads from a tenth
// to ten times.
TEST_F(ChartDraw, ValueTextsStandClearOfErrorBars) {
  int checked = 0;
  for (int64_t top : kSpreadTops)
    for (int width : {320, 640, 1024, 1600}) {
      auto view = chart(spreadBars(top), width, 2000);
      view->rebuild();
      RecordingGraphics g;
      view->drawRect(g, UXRect(0, 0, int16_t(width), 2000));
      std::map<int, std::pair<int, int>> errorBars;  // by the y of the middle line
      const int right = width - 90 > 190 ? width - 90 : 230;
      for (const std::string& line : g.of("drawLine"))
        if (int x1, y1, x2, y2; std::sscanf(line.c_str(), "drawLine %d %d %d %d", &x1, &y1, &x2, &y2) == 4) {
          EXPECT_TRUE(std::min(x1, x2) >= 190 && std::max(x1, x2) <= right) << line << ", width " << width;
          if (y1 == y2) errorBars[y1] = {std::min(x1, x2), std::max(x1, x2)};
        }
      for (const std::string& line : g.lines) {
        const auto t = drawnText(line);
        if (t && t->colour == "40 40 44 255")
          EXPECT_TRUE(t->x >= 190 && t->x + int(gDriver->textWidth(t->text.c_str(), t->size)) <= width - 10) << line;
        const auto bar = t && t->colour == "40 40 44 255" ? errorBars.find(t->y + 2) : errorBars.end();
        if (bar == errorBars.end()) continue;
        ++checked;
        EXPECT_TRUE(t->x + int(gDriver->textWidth(t->text.c_str(), t->size)) <= bar->second.first ||
                    t->x > bar->second.second)
            << t->text << " at " << t->x << ", top " << top << ", width " << width;
      }
    }
  EXPECT_GT(checked, 300);
}

// Every text of the bar charts meets no other and no bar, and is held to its
// room as the driver measures it: a row label left of the plot, a title or
// value text to the panel; a cut title reads as its benchmark, and a cut
// text other than a row label or title is its beginning and an ellipsis.
TEST_F(ChartDraw, EveryBarChartTextIsHeldToItsRoom) {
  const std::string longName(10000, 'n'), longArch(60, 'a');
  const std::pair<std::vector<RunSpec>, int32_t> cases[] = {  // runs, metric
      {{{.bench = longName.c_str(), .best = 1000}}, 0},
      {{{.bench = "b", .arch = longArch.c_str(), .best = 1000}}, 0},
      {{{.bench = "b", .best = 1}, {.bench = "b", .target = "cpp", .best = 92233720368547760}}, 1},  // speed-up
      {{{.bench = "b", .best = 100, .mean = 1080, .stddev = 2191.3}}, 0},                        // one slow sample
      {{{.bench = "b", .best = 300666, .mean = 300666, .stddev = 519037},
        {.bench = "b", .target = "cpp", .best = 420000, .mean = 420000, .stddev = 600000}},
       0},
  };
  for (size_t i = 0; i < std::size(cases); ++i)
    for (int W : {320, 834, 1600}) {
      SCOPED_TRACE("case " + std::to_string(i) + ", width " + std::to_string(W));
      auto data = contribution("c", {});
      for (const RunSpec& r : cases[i].first) data->runs->add(makeRun(r));
      auto view = chart(dataSetOf({data}), W, 400);
      view->metric = cases[i].second;
      view->rebuild();
      RecordingGraphics g;
      view->drawRect(g, UXRect(0, 0, int16_t(W), 400));
      std::vector<std::pair<std::array<int, 4>, std::string>> boxes;  // bars, then texts (s high at size s)
      for (const std::string& line : g.lines)
        if (int x, y, w, h; std::sscanf(line.c_str(), "fillRectRGB %d,%d,%d,%d", &x, &y, &w, &h) == 4 && h == 14)
          boxes.push_back({{x, y, x + w, y + h}, line});
      int texts = 0;
      for (const std::string& line : g.lines) {
        const auto t = drawnText(line);
        if (!t) continue;
        ++texts;
        const int end = t->x + int(gDriver->textWidth(t->text.c_str(), t->size));
        for (const auto& [b, what] : boxes)
          EXPECT_FALSE(t->x < b[2] && b[0] < end && t->y < b[3] && b[1] < t->y + t->size) << line << "\n" << what;
        boxes.push_back({{t->x, t->y, end, t->y + t->size}, line});
        const bool label = t->colour == "80 80 88 255";
        EXPECT_LE(end, label ? 184 : t->colour == "24 24 28 255" || t->colour == "40 40 44 255" ? W - 10 : W)
            << line;
        // A title is a name: cut, it reads as its benchmark (ChartNames.h).
        const bool title = t->colour == "24 24 28 255" && t->size == chart::BarMetrics::kBenchSize;
        if (title) EXPECT_TRUE(chart::readsAs(t->text, cases[i].first[0].bench)) << line;
        if (const size_t cut = t->text.find(kEllipsis); cut != std::string::npos && !label && !title) {
          EXPECT_EQ(cut + 3, t->text.size()) << line;
          EXPECT_TRUE(longName.starts_with(t->text.substr(0, cut)) || t->text.starts_with("bar = value")) << line;
        }
      }
      EXPECT_GE(texts, 4);
    }
}

// Rows of one benchmark that read alike get the machine where they ran on
// two, the optimisation level where they ran at two; a label no other row
// shares stays. Machines too long for the room keep the label whole and
// part in their short forms after it, the label column growing where they
// need it; every label ends before the plot.
TEST_F(ChartDraw, RowsOfABenchmarkThatReadAlikeAreToldApart) {
  const auto drawnLabels = [&](const Ref<ChartView>& view) {
    RecordingGraphics g;
    view->drawRect(g, UXRect(0, 0, 800, 600));
    int plotLeft = 800;  // where the bars start
    for (const std::string& line : g.lines)
      if (int x, y, w, h; std::sscanf(line.c_str(), "fillRectRGB %d,%d,%d,%d", &x, &y, &w, &h) == 4 && h == 14)
        plotLeft = std::min(plotLeft, x);
    EXPECT_GE(plotLeft, 190);
    EXPECT_LE(plotLeft, 400);
    std::set<std::string> out;
    for (const std::string& line : g.lines)
      if (const auto t = drawnText(line); t && t->colour == "80 80 88 255") {
        out.insert(t->text);
        EXPECT_LE(t->x + int(gDriver->textWidth(t->text.c_str(), t->size)), plotLeft - 6) << line;
      }
    return out;
  };
  const auto labels = [&](const Ref<DataSet>& data) {
    auto view = chart(data);
    view->rebuild();
    return drawnLabels(view);
  };
  // A rebuild with other rows draws their labels, not the ones drawn before.
  auto view = chart(dataSetOf({contribution("m", {{.bench = "b", .arch = "arm64", .best = 100},
                                                  {.bench = "b", .opt = "O2", .arch = "arm64", .best = 200}})}));
  view->rebuild();
  EXPECT_EQ(drawnLabels(view), (std::set<std::string>{"quorl  arm64 O3", "quorl  arm64 O2"}));
  view->dataSet = dataSetOf({contribution("m", {{.bench = "b", .target = "cpp", .arch = "x86_64", .best = 100},
                                                {.bench = "b", .target = "gcc", .arch = "x86_64", .best = 200}})});
  view->rebuild();
  EXPECT_EQ(drawnLabels(view), (std::set<std::string>{"C++ (clang)  x86-64", "C++ (GCC)  x86-64"}));
  EXPECT_EQ(labels(dataSetOf({contribution("Intel Xeon", {{.bench = "b", .arch = "x86_64", .best = 83900},
                                                          {.bench = "b", .target = "cpp", .arch = "x86_64", .best = 1000}}),
                              contribution("AMD EPYC", {{.bench = "b", .arch = "x86_64", .best = 117900}})})),
            (std::set<std::string>{"C++ (clang)  x86-64", "quorl  x86-64  AMD EPYC", "quorl  x86-64  Intel Xeon"}));
  // Each benchmark's rows are told apart among themselves alone: the
  // machines that part "a" add nothing to "b", whichever comes first.
  for (const auto& [first, second] : {std::pair{"a", "b"}, std::pair{"b", "a"}})
    EXPECT_EQ(labels(dataSetOf({contribution("Intel Xeon", {{.bench = first, .arch = "x86_64", .best = 100},
                                                            {.bench = second, .arch = "x86_64", .best = 100}}),
                                contribution("AMD EPYC", {{.bench = "a", .arch = "x86_64", .best = 200}})})),
              (std::set<std::string>{"quorl  x86-64  AMD EPYC", "quorl  x86-64  Intel Xeon", "quorl  x86-64"}))
        << first;
  // Every row has its say, not only the first and the last.
  EXPECT_EQ(labels(dataSetOf({contribution("m", {{.bench = "b", .arch = "arm64", .best = 100},
                                                 {.bench = "b", .opt = "O2", .arch = "arm64", .best = 200},
                                                 {.bench = "b", .arch = "arm64", .best = 300}})})),
            (std::set<std::string>{"quorl  arm64 O3", "quorl  arm64 O2"}));
  // Label and level stay whole; each machine cut to what tells it apart where room allows.
  for (const bool longLabel : {true, false}) {
    const std::vector<const char*> machines =
        longLabel ? std::vector<const char*>{"AMD Ryzen 7 7840U w/ Radeon 780M Graphics",
                                             "AMD Ryzen 9 7950X 16-Core Processor", "Apple M2 Max"}
                  : std::vector<const char*>{"AMD EPYC 64-Core 7763", "AMD EPYC 96-Core 9654", "Apple M2 Max"};
    const std::string label = longLabel ? "C++ (clang)  x86-64" : "quorl  x86-64";
    auto several = dataSetOf({});
    std::vector<std::string> full;
    for (const char* m : machines)
      for (const char* opt : {"O3", "O2"}) {
        several->replace(several->contributions().adding(contribution(
            m, {{.bench = "b", .target = longLabel ? "cpp" : "quorl", .opt = opt, .arch = "x86_64", .best = 100}})));
        full.push_back(label + " " + opt + "  " + m);
      }
    const std::set<std::string> drawn = labels(several);
    EXPECT_EQ(drawn.size(), full.size());
    for (const std::string& shown : drawn) {
      EXPECT_TRUE(shown.starts_with(label + " O")) << shown;
      EXPECT_EQ(readersOf(shown, full), 1) << shown;
    }
  }
  const std::string common = "AMD EPYC 7763 64-Core Processor with a long name";
  for (const auto& [a, b] : {std::pair<std::string, std::string>{common + " A", common + " B"},
                             {"AMD Ryzen 9 7950X 16-Core Processor + AMD Radeon RX 7900 XTX",
                              "Intel(R) Core(TM) i7-12700H CPU @ 2.30GHz"}}) {
    const auto drawn = labels(dataSetOf({contribution(a.c_str(), {{.bench = "b", .arch = "x86_64", .best = 100}}),
                                         contribution(b.c_str(), {{.bench = "b", .arch = "x86_64", .best = 200}})}));
    EXPECT_EQ(drawn.size(), 2u) << a;
    for (const std::string& label : drawn) EXPECT_TRUE(label.starts_with("quorl  x86-64  ")) << label;
  }
  // Rows that no label in the widest column tells apart: their group says
  // so at the right of its title, which ends before the note.
  const std::string bench(120, 'n');
  // Machines apart by where one "b" stands among 60 "a"s.
  auto many = dataSetOf({});
  for (int k = 0; k < 60; ++k) {
    std::string machine(60, 'a');
    machine[size_t(k)] = 'b';
    many->replace(many->contributions().adding(contribution(machine.c_str(), {{.bench = bench.c_str(), .best = 100}})));
  }
  auto narrow = chart(many, 320, 600);
  narrow->rebuild();
  RecordingGraphics g;
  narrow->drawRect(g, UXRect(0, 0, 320, 600));
  int64_t noteLeft = -1, titleRight = -1;
  for (const std::string& line : g.lines) {
    const auto t = drawnText(line);
    if (!t) continue;
    const int64_t right = t->x + int64_t(gDriver->textWidth(t->text.c_str(), t->size));
    if (t->colour == "150 70 20 255") {
      EXPECT_EQ(t->text, "rows read alike; widen the window");
      noteLeft = t->x;
      EXPECT_LE(right, 320);
    }
    if (t->text.starts_with("nnn")) titleRight = right;
  }
  EXPECT_TRUE(noteLeft > 0 && titleRight > 0) << g.text();
  EXPECT_LT(titleRight, noteLeft);
}

TEST_F(ChartDraw, BarChartSpeedUpMetric) {
  auto view = chart(dataSetOf({contribution(
      "c", {{.bench = "b", .best = 1200, .stddev = 50}, {.bench = "b", .target = "cpp", .best = 100, .stddev = 5}})}));
  view->metric = 1;
  view->rebuild();
  RecordingGraphics g;
  view->drawRect(g, UXRect(0, 0, 800, 600));
  EXPECT_EQ(g.count("drawLine"), 0u);  // no error bars
  // Largest speed-up 12: step 2, S = 14, eight grid lines.
  const auto texts = g.of("drawTextRGBA");
  EXPECT_EQ(g.of("fillRectRGB")[1], "fillRectRGB 190,48,1,134 208 211 219");
  EXPECT_EQ(texts[0], "drawTextRGBA \"0.00x\" 192 30 110 110 110 255 11");
  EXPECT_EQ(texts[1], "drawTextRGBA \"2.00x\" 266 30 110 110 110 255 11");
  EXPECT_EQ(texts[7], "drawTextRGBA \"14.00x\" 712 30 110 110 110 255 11");
  EXPECT_EQ(texts[8], "drawTextRGBA \"speed-up (x)\" 190 6 60 60 60 255 12");
  EXPECT_EQ(texts[11], "drawTextRGBA \"12.00x\" 641 105 40 40 44 255 11");
  EXPECT_EQ(texts[13], "drawTextRGBA \"1.00x\" 233 157 40 40 44 255 11");
  EXPECT_EQ(g.of("fillRectRGB")[9], "fillRectRGB 190,100,445,14 59 130 246");
  EXPECT_EQ(g.of("fillRectRGB")[10], "fillRectRGB 190,152,37,14 212 117 31");
}

TEST_F(ChartDraw, PlotWidthAtTheNarrowLimits) {
  struct Case {
    int width, barWidth, lastTickX, ticks;
  };
  // W 280: R 230, a 40-pixel plot (7300 of 8000 is 36 pixels).
  // W 281: R 191, one pixel, so the bar takes its minimum of 2.
  const Case cases[] = {{800, 474, 710, 9}, {280, 36, 230, 9}, {281, 2, 191, 9}};
  for (const Case& c : cases) {
    auto view = chart(twoBenchmarks(), c.width, 328);
    view->rebuild();
    RecordingGraphics g;
    view->drawRect(g, UXRect(0, 0, c.width, 328));
    std::vector<std::string> grid;
    for (const auto& l : g.of("fillRectRGB"))
      if (l.find(",48,1,") != std::string::npos) grid.push_back(l);
    ASSERT_EQ(static_cast<int>(grid.size()), c.ticks) << c.width;
    EXPECT_EQ(grid.back().substr(0, grid.back().find(',')), "fillRectRGB " + std::to_string(c.lastTickX));
    EXPECT_NE(g.text().find("fillRectRGB 190,152," + std::to_string(c.barWidth) + ",14 "), std::string::npos)
        << c.width << "\n" << g.text();
  }
}

// From the minimum width to 2,000 pixels and from 1 us to 10^14 ms, every
// grid line stays and the labels stand on every k-th of them from the
// first, k the smallest that leaves a digit's width between neighbours, as
// the driver measures the labels; one that would pass the view's edge is
// left out. No two read the same: they carry the decimals the step needs.
TEST_F(ChartDraw, TickLabelsKeepApartAtEveryWidth) {
  const int64_t maxima[] = {1,       7,         12,        80,          120,         450,   999,
                            7300,    123456,    2500000,   400000000,   987654321,   10000000000,
                            1000000000000000,   98765432109876543};
  const std::map<std::pair<int, int64_t>, std::string> exact = {
      {{0, 1}, "0.0000 0.0002 0.0004 0.0006 0.0008 0.0010 0.0012"}, {{0, 80}, "0.00 0.02 0.04 0.06 0.08 0.10"},
      {{0, 7}, "0.000 0.001 0.002 0.003 0.004 0.005 0.006 0.007 0.008"}, {{0, 450}, "0.0 0.1 0.2 0.3 0.4 0.5"},
      {{0, 120}, "0.00 0.02 0.04 0.06 0.08 0.10 0.12 0.14"}, {{0, 999}, "0.0 0.2 0.4 0.6 0.8 1.0"},
      {{1, 12}, "0.00x 2.00x 4.00x 6.00x 8.00x 10.00x 12.00x 14.00x"},
  };
  const auto end = [](int x, const std::string& t) { return x + int(gDriver->textWidth(t.c_str(), 11) + gDriver->textWidth("0", 11)); };
  for (int metric : {0, 1})
    for (int64_t top : maxima) {
      SCOPED_TRACE("metric " + std::to_string(metric) + ", top " + std::to_string(top));
      auto data = dataSetOf({contribution("c", {{.bench = "b", .best = top}, {.bench = "b", .target = "cpp", .best = 1}})});
      const auto axis = [&](int width) {  // grid x's; labels as (x, text)
        auto view = chart(data, width, 200);
        view->metric = metric;
        view->rebuild();
        RecordingGraphics g;
        view->drawRect(g, UXRect(0, 0, width, 200));
        std::vector<int> grid;
        std::vector<std::pair<int, std::string>> labels;
        for (const std::string& line : g.lines) {
          int x, y, w, h;
          if (std::sscanf(line.c_str(), "fillRectRGB %d,%d,%d,%d 208 211 219", &x, &y, &w, &h) == 4 && y == 48 && w == 1)
            grid.push_back(x);
          if (const auto t = drawnText(line); t && t->y == 30 && t->colour == "110 110 110 255" && t->size == 11)
            labels.push_back({t->x, t->text});
        }
        return std::make_pair(grid, labels);
      };
      const auto [allGrid, all] = axis(30000);  // every label but, at times, the plot's last
      ASSERT_TRUE(all.size() <= allGrid.size() && allGrid.size() <= all.size() + 1);
      std::string texts;
      for (size_t i = 0; i < all.size(); ++i) {
        texts += (i ? " " : "") + all[i].second;
        if (i > 0) EXPECT_NE(all[i].second, all[i - 1].second);
      }
      if (auto it = exact.find({metric, top}); it != exact.end()) EXPECT_EQ(texts, it->second);
      for (int width = chart(data)->minimumWidth(); width <= 2000; width += width < 400 ? 7 : 61) {
        SCOPED_TRACE("width " + std::to_string(width));
        const auto [grid, labels] = axis(width);
        ASSERT_LE(grid.size(), allGrid.size());
        size_t k = 1;
        const auto apart = [&] {
          for (size_t i = 0; i + k < grid.size(); i += k)
            if (end(grid[i] + 2, all[i].second) > grid[i + k] + 2) return false;
          return true;
        };
        while (!apart() && k < grid.size()) ++k;
        std::vector<std::pair<int, std::string>> expected;
        for (size_t i = 0; i < grid.size(); i += k)
          if (i < all.size() && grid[i] + 2 + int(gDriver->textWidth(all[i].second.c_str(), 11)) <= width)
            expected.push_back({grid[i] + 2, all[i].second});
        EXPECT_EQ(labels, expected);
      }
    }
}

TEST_F(ChartDraw, ZeroAndNegativeValuesDrawTwoPixelBars) {
  auto view = chart(dataSetOf({contribution("c", {{.bench = "b", .best = 0, .mean = 0},
                                                   {.bench = "b", .target = "cpp", .best = 0, .mean = -4}})}));
  view->rebuild();
  RecordingGraphics g;
  view->drawRect(g, UXRect(0, 0, 800, 600));
  // top = 1.0: step 0.2, S = 1.2; a tick every 86 pixels.
  EXPECT_EQ(g.count("drawLine"), 0u);
  EXPECT_NE(g.text().find("fillRectRGB 190,100,2,14 "), std::string::npos);
  EXPECT_NE(g.text().find("fillRectRGB 190,152,2,14 "), std::string::npos);
  EXPECT_NE(g.text().find("\"-4 us\" 198 105"), std::string::npos);
  // Two rows: a 126-pixel panel.
  EXPECT_EQ(normalised(g)[1], "roundRect 4,56,792,126 197 202 214 255");
}

// Error bars are held to the plot, 190 to 710 (S = 8000 over P = 520, or 120
// for a best of 100): an end past it is an arrowhead there, an error bar
// wholly past one end that mark alone; the value text stands after it.
TEST_F(ChartDraw, ErrorBarsAreHeldToThePlotWithAMarkWhereTheyGoOn) {
  const std::string left = "drawLine 194 103 190 107 1\ndrawLine 194 111 190 107 1\n";
  const std::string right = "drawLine 706 103 710 107 1\ndrawLine 706 111 710 107 1\n";
  const struct {
    const char* what;
    int64_t best;
    double mean, stddev;
    std::string lines;
    const char* value;
  } cases[] = {
      {"past the right end, once past 16 bits", 7300, 256000, 250000,
       "drawLine 580 102 580 112 1\n" + right + "drawLine 580 107 710 107 1\n", "\"7.3 ms\" 717 105"},
      {"past both ends", 7300, 7000, 1e9, left + right + "drawLine 190 107 710 107 1\n", "\"7.3 ms\" 717 105"},
      {"past the left end, once left of the view", 7300, 100, 5000,
       left + "drawLine 521 102 521 112 1\ndrawLine 190 107 521 107 1\n", "\"7.3 ms\" 670 105"},
      {"one slow sample among five: 100, 100, 100, 100, 5000", 100, 1080, 2191.3,
       left + right + "drawLine 190 107 710 107 1\n", "\"100 us\" 717 105"},
      {"wholly right of the plot", 100, 5000, 100, right, "\"100 us\" 717 105"},
  };
  for (const auto& c : cases) {
    auto view = chart(dataSetOf({contribution("c", {{.bench = "b", .best = c.best, .mean = c.mean, .stddev = c.stddev}})}));
    view->rebuild();
    RecordingGraphics g;
    view->drawRect(g, UXRect(0, 0, 800, 600));
    EXPECT_EQ(joined(g.of("drawLine")), c.lines) << c.what;
    EXPECT_NE(g.text().find(std::string(c.value) + " 40 40 44 255 11"), std::string::npos) << c.what << "\n" << g.text();
  }
}

// A chart taller than 16 bits: rows past 32767 are left out rather than
// wrapped onto the top of the view, and the grid stops at the range's end.
TEST_F(ChartDraw, RowsPastTheCoordinateRangeAreNotWrapped) {
  auto c = contribution("c", {});
  for (int i = 0; i < 800; ++i) c->runs->add(makeRun({.bench = "b", .best = 1000 + i}));
  auto view = chart(dataSetOf({c}), 800, 32767);
  view->rebuild();
  EXPECT_EQ(view->rowsHeight(), 56 + 52 * 800 + 38 + 40);
  RecordingGraphics g;
  view->drawRect(g, UXRect(0, 0, 800, 32767));
  EXPECT_TRUE(outside(g, 800, 32767).empty()) << joined(outside(g, 800, 32767)).substr(0, 2000);
  // Row i's label stands at 56 + 30 + 52 i + 21: rows 0 to 628 fit.
  size_t labels = 0;
  for (const auto& l : g.of("drawTextRGBA")) labels += l.find("\"quorl\" 24 ") != std::string::npos;
  EXPECT_EQ(labels, 629u);
  EXPECT_EQ(g.of("fillRectRGB")[1], "fillRectRGB 190,48,1,32719 208 211 219");
  EXPECT_EQ(g.count("fillPolygonRGBA"), 2u);  // the one panel, cut at the range's end
}

// A chart far taller than a frame lies in its scroll view's document in
// slices. At the end of its scroll range, drawn relative to the origin the
// scroll view gives, it shows the last benchmark and the caption in the
// viewport, and draws only the rows in sight.
TEST_F(ChartDraw, TallChartAtItsEndShowsTheLastGroupAndTheCaption) {
  auto c = contribution("c", {});
  std::vector<std::string> names;
  for (int b = 0; b < 2000; ++b) names.push_back("b" + std::to_string(b));
  for (int b = 0; b < 2000; ++b)
    for (const char* target : {"quorl", "cpp"})
      c->runs->add(makeRun({.bench = names[b].c_str(), .target = target, .best = 1000 + b}));
  const int32_t height = 56 + 2000 * (52 * 2 + 38) + 40;
  const int32_t offset = height - 500, origin = offset / 8192 * 8192;  // as the scroll view places it
  auto view = chart(dataSetOf({c}), 800, height - origin);
  view->rebuild();
  ASSERT_EQ(view->height(), height);
  view->originY = origin;
  view->shownY = offset;
  view->shownW = 800;
  view->shownH = 500;
  RecordingGraphics g;
  view->drawRect(g, UXRect(0, 0, 800, int16_t(height - origin)));
  EXPECT_TRUE(outside(g, 800, height - origin).empty()) << joined(outside(g, 800, height - origin)).substr(0, 2000);
  const std::string text = g.text();
  // The last group starts at 56 + 1999 x 142; its title 9 below, the
  // caption 4 below where a next group would start.
  EXPECT_NE(text.find("\"b1999\" 12 " + std::to_string(56 + 1999 * 142 + 9 - origin) + " "), std::string::npos);
  EXPECT_NE(text.find("label = machine\" 12 " + std::to_string(56 + 2000 * 142 + 4 - origin) + " "),
            std::string::npos);
  // Rows are 52 apart: about ten are in a 500-pixel band.
  EXPECT_LE(g.count("drawTextRGBA"), 40u);
}

// A band of a chart in sight, anywhere, draws every text of the whole
// chart that meets it, where the whole draw puts it, and the panels' faces
// over all of the band they meet: generated charts of 1 to 30 benchmarks of
// 1 to 6 rows, bands from a few pixels to a window's height.
TEST_F(ChartDraw, ABandDrawsAllOfTheChartThatMeetsIt) {
  std::mt19937 random(4477);
  const char* targets[] = {"quorl", "cpp", "gcc", "rust", "go", "zig"};
  struct Drawn {
    std::multiset<std::tuple<std::string, int, int>> texts;  // text, x, y
    std::vector<std::pair<int, int>> faces;                   // a panel face's top and bottom
  };
  const auto draw = [&](ChartView& view, int64_t top, int64_t height) {
    view.originY = int32_t(top / 8192 * 8192);
    view.shownY = int32_t(top);
    view.shownH = int32_t(height);
    RecordingGraphics g;
    view.drawRect(g, UXRect(0, 0, 800, 32767));
    Drawn out;
    for (const std::string& line : normalised(g)) {
      if (const auto t = drawnText(line)) out.texts.insert({t->text, t->x, t->y + view.originY});
      int x, y, w, h;
      if (std::sscanf(line.c_str(), "roundRect %d,%d,%d,%d 236 238 243", &x, &y, &w, &h) == 4)
        out.faces.push_back({y + view.originY, y + view.originY + h});
    }
    view.originY = view.shownY = 0;
    view.shownH = -1;
    return out;
  };
  for (int round = 0; round < test::rounds(60); ++round) {
    auto c = contribution("c", {});
    const int benches = 1 + int(random() % 30);
    for (int b = 0; b < benches; ++b)
      for (int t = 0, rows = 1 + int(random() % 6); t < rows; ++t)
        c->runs->add(makeRun({.bench = ("b" + std::to_string(b)).c_str(), .target = targets[t], .best = 100 + b * 7 + t}));
    auto view = chart(dataSetOf({c}), 800, 32767);
    view->rebuild();
    const int64_t height = view->height();
    const Drawn whole = draw(*view, 0, height);
    for (int band = 0; band < 6; ++band) {
      const int64_t h = 1 + int64_t(random() % 600), top = int64_t(random() % uint64_t(height));
      const Drawn part = draw(*view, top, h);
      const std::string where = "round " + std::to_string(round) + ", band " + std::to_string(top) + "+" + std::to_string(h);
      for (const auto& t : whole.texts) {
        const int y = std::get<2>(t);
        if (y >= top + h || y + 13 <= top) continue;
        EXPECT_EQ(part.texts.count(t), whole.texts.count(t)) << where << ": " << std::get<0>(t) << " at " << y;
      }
      for (const auto& [y0, y1] : whole.faces) {
        const int64_t from = std::max<int64_t>(y0, top), to = std::min<int64_t>(y1, top + h);
        if (from >= to) continue;
        EXPECT_TRUE(std::any_of(part.faces.begin(), part.faces.end(), [&](const auto& f) { return f.first <= from && f.second >= to; }))
            << where << ": the face from " << y0 << " to " << y1;
      }
    }
    if (HasFailure()) return;
  }
}

// A heat map of 30 series needs more than an 800-pixel view: its minimum
// width holds every column at 96 pixels, and drawn at the right end of that
// width it shows the last column, leaving out the columns left of the view.
TEST_F(ChartDraw, WideHeatMapAtItsRightEndDrawsTheLastColumn) {
  auto c = contribution("c", {});
  std::vector<std::string> archs;  // one column each: quorl at a setting of its own
  for (int t = 0; t < 30; ++t) archs.push_back("arch" + std::to_string(t + 10));
  for (int t = 0; t < 30; ++t)
    for (const char* bench : {"fib", "sieve"})
      c->runs->add(makeRun({.bench = bench, .arch = archs[t].c_str(), .best = 100 + t}));
  auto view = chart(dataSetOf({c}), 800, 400);
  view->mode = 2;
  view->rebuild();
  ASSERT_EQ(view->heatMap->colSeries->count(), 30u);
  const int32_t width = 166 + 96 * 30;
  EXPECT_EQ(view->minimumWidth(), width);
  resize(view, width, 400);  // as the scroll view's document view
  view->shownX = width - 800;
  view->shownW = 800;
  view->shownH = 400;
  RecordingGraphics g;
  view->drawRect(g, UXRect(0, 0, int16_t(width), 400));
  EXPECT_EQ(view->heatMap->cellW(), 96);
  const std::string text = g.text();
  const std::string last = str(cast<String>(view->heatMap->colSetting->get(29)));
  EXPECT_EQ(last, "arch39 O3");
  EXPECT_NE(text.find("\"" + last + "\" " + std::to_string(150 + 29 * 96 + 4) + " 48 "), std::string::npos) << text;
  EXPECT_NE(text.find("fillRectRGB " + std::to_string(150 + 29 * 96 + 1) + ",67,94,24 "), std::string::npos);
  EXPECT_EQ(text.find("\" 154 32 "), std::string::npos);  // the first column lies far left of the view
}

// --- Summary panels -----------------------------------------------------------------

class ChartSummary : public ChartDraw {
 protected:
  // fib: C++ 100, quorl 200 (210 +/- 10); sieve: quorl 50; the outlier 100000.
  Ref<ChartView> summaryView(int32_t metric = 0) {
    auto view = chart(dataSetOf({contribution(
        "c", {{.bench = "fib", .target = "quorl", .best = 200, .mean = 210, .stddev = 10},
              {.bench = "fib", .target = "cpp", .best = 100},
              {.bench = "sieve", .target = "quorl", .best = 50},
              {.bench = "matrix_mul_f32", .target = "quorl", .best = 100000}})}));
    view->metric = metric;
    view->mode = 1;
    view->rebuild();
    return view;
  }
};

TEST_F(ChartSummary, PanelsBarsAndNames) {
  auto view = summaryView();
  // "C++ (clang)" widens every box to 93 and slot to 105 (7 a line); the
  // scale text stands under the titles, and every plot starts 16 lower.
  // Each name has a line, the last benchmark's first, with a leader up.
  EXPECT_EQ(view->summaryCols(), 7);
  EXPECT_EQ(view->summaryHeight(), 248);
  RecordingGraphics g;
  view->drawRect(g, UXRect(0, 0, 800, 600));
  const std::vector<std::string> expected = {
      "fillRectRGB 0,0,800,600 255 255 255",
      "roundRect 8,8,93,228 197 202 214 255",
      "roundRect 9,9,91,226 252 253 255 255",
      "drawTextRGBA \"C++ (clang)\" 18 15 24 24 28 255 12",  // whole
      "fillRectRGB 16,194,36,1 200 203 210",
      "fillRectRGB 16,157,36,1 234 236 242",
      "fillRectRGB 16,119,36,1 234 236 242",
      "fillRectRGB 16,82,36,1 234 236 242",
      "fillRectRGB 16,44,36,1 234 236 242",
      "drawTextRGBA \"200 us\" 59 31 120 120 128 255 10",  // its own line, right-aligned in the box
      "fillRectRGB 19,119,12,75 59 130 246",
      "fillRectRGB 19,196,1,12 214 217 224",  // fib's leader, past sieve's line
      "drawTextRGBA \"fib\" 19 210 70 70 78 255 9",
      "drawTextRGBA \"sieve\" 37 198 70 70 78 255 9",  // no bar: no run of C++
      "roundRect 113,8,93,228 197 202 214 255",
      "roundRect 114,9,91,226 252 253 255 255",
      "drawTextRGBA \"quorl\" 123 15 24 24 28 255 12",
      "fillRectRGB 121,194,36,1 200 203 210",
      "fillRectRGB 121,157,36,1 234 236 242",
      "fillRectRGB 121,119,36,1 234 236 242",
      "fillRectRGB 121,82,36,1 234 236 242",
      "fillRectRGB 121,44,36,1 234 236 242",
      "drawTextRGBA \"200 us\" 164 31 120 120 128 255 10",
      "fillRectRGB 124,44,12,150 212 117 31",
      "drawLine 130 44 130 44 1",  // 210 +/- 10 on a scale of 200: held to the plot's top
      "fillRectRGB 124,196,1,12 214 217 224",
      "drawTextRGBA \"fib\" 124 210 70 70 78 255 9",
      "fillRectRGB 142,157,12,37 212 117 31",
      "drawTextRGBA \"sieve\" 142 198 70 70 78 255 9",
  };
  EXPECT_EQ(joined(normalised(g)), joined(expected));
}

// The summary's drawing read back as boxes: texts (size s taken as s high,
// as wide as measured), bars and error bars, and panel borders.
struct SummaryPicture {
  struct Text {
    std::string text;
    UXRect box;
  };
  std::vector<Text> texts;
  std::vector<UXRect> bars, panels;

  explicit SummaryPicture(const RecordingGraphics& g) {
    for (const std::string& line : normalised(g)) {
      int x, y, w, h, x2, y2;
      if (const auto t = drawnText(line)) {
        texts.push_back({t->text, UXRect(t->x, t->y, int(gDriver->textWidth(t->text.c_str(), t->size)), t->size)});
      } else if (std::sscanf(line.c_str(), "fillRectRGB %d,%d,%d,%d", &x, &y, &w, &h) == 4 && w == 12) {
        bars.push_back(UXRect(x, y, w, h));
      } else if (std::sscanf(line.c_str(), "drawLine %d %d %d %d", &x, &y, &x2, &y2) == 4) {
        bars.push_back(UXRect(x, std::min(y, y2), 1, std::abs(y2 - y) + 1));
      } else if (std::sscanf(line.c_str(), "roundRect %d,%d,%d,%d 197 202 214", &x, &y, &w, &h) == 4) {
        panels.push_back(UXRect(x, y, w, h));
      }
    }
  }

  // The faults found, one a line: a text meeting a text or a bar, a text
  // outside every panel. Swept from left to right, so that only boxes that
  // meet in x are compared.
  std::string faults() const {
    std::string out;
    std::vector<std::pair<UXRect, int>> items;  // box, index into texts or -1 for a bar
    for (size_t i = 0; i < texts.size(); ++i) items.push_back({texts[i].box, int(i)});
    for (UXRect b : bars) items.push_back({b, -1});
    std::sort(items.begin(), items.end(), [](const auto& a, const auto& b) { return a.first.x() < b.first.x(); });
    for (size_t i = 0; i < items.size(); ++i)
      for (size_t j = i + 1; j < items.size() && items[j].first.x() < items[i].first.maxX(); ++j) {
        const auto &[a, ta] = items[i];
        const auto &[b, tb] = items[j];
        if ((ta < 0 && tb < 0) || !UXGeom::intersects(a, b)) continue;
        out += ta >= 0 && tb >= 0 ? "texts overlap: " + texts[ta].text + " / " + texts[tb].text + "\n"
                                  : "a bar crosses " + texts[std::max(ta, tb)].text + "\n";
      }
    for (const Text& t : texts)
      if (std::none_of(panels.begin(), panels.end(), [&](UXRect p) {
            return t.box.x() >= p.x() && t.box.y() >= p.y() && t.box.maxX() <= p.maxX() && t.box.maxY() <= p.maxY();
          }))
        out += "outside every panel: " + t.text + "\n";
    return out;
  }
};

// For 1 to 30 benchmarks (every other a long name parting only at its end)
// and titles of 1 to 40 characters alike but for their last, every title is
// drawn whole, every name apart and SummaryPicture finds no fault.
// Bars reach the top of the scale, error bars past it and below 0.
TEST_F(ChartSummary, TitlesWholeAndTextsClearOfEachOtherAndOfBars) {
  const char* targets[] = {"quorl", "cpp", "gcc"};
  for (int B = 1; B <= 30; ++B) {
    auto c = contribution("c", {});
    for (int b = 0; b < B; ++b)
      for (int t = 0; t < 3; ++t) {
        const std::string bench = b % 2 ? "matrix_multiplication_single_precision_blocked_tiled_" + std::to_string(1024 * b)
                                        : "b" + std::to_string(b) + std::string(b % 3, 'x');
        const int64_t best = 100000 + 37000 * ((b + t) % 5);
        c->runs->add(makeRun({.bench = bench.c_str(), .target = targets[t], .best = best,
                              .mean = best * 1.2, .stddev = best * (t == 2 ? 2.0 : 0.3)}));
      }
    auto view = chart(dataSetOf({c}), 800, 600);
    view->mode = 1;
    view->rebuild();
    for (int length = 1; length <= 40; ++length) {
      std::set<std::string> titles;
      std::unordered_map<const String*, Ref<String>> relabel;
      for (uint32_t k = 0; k < 3; ++k) {
        const std::string title = std::string(length - 1, 'W') + char('A' + k);
        relabel[static_cast<const String*>(view->seriesNames()->get(k).get())] = S(title.c_str());
        titles.insert(title);
      }
      for (uint32_t i = 0; i < view->rows->count(); ++i) rowAt(*view, i).label = relabel.at(rowAt(*view, i).label.get());
      RecordingGraphics g;
      view->drawSummary(g);
      const SummaryPicture picture(g);
      std::set<std::string> shown, names;
      for (const auto& text : picture.texts)
        if (text.box.h() == 12) shown.insert(text.text);
        else if (text.box.h() == 9) names.insert(text.text);
      EXPECT_EQ(shown, titles) << B << " benchmarks, titles of " << length;
      EXPECT_EQ(names.size(), size_t(B)) << B << " benchmarks, titles of " << length;
      ASSERT_EQ(picture.faults(), "") << B << " benchmarks, titles of " << length;
    }
  }
}

// Only a title wider than the whole view is cut, between characters, with an
// ellipsis; two that differ only at their ends still read apart.
TEST_F(ChartSummary, ATitleWiderThanTheViewIsCutAtACharacter) {
  auto view = chart(dataSetOf({contribution("c", {{.bench = "b", .best = 5}, {.bench = "b", .target = "cpp", .best = 6}})}),
                    200, 600);
  view->mode = 1;
  view->rebuild();
  std::string title;
  for (int i = 0; i < 40; ++i) title += "\xC3\xA9";  // é, 80 bytes
  rowAt(*view, 0).label = S((title + "1").c_str());
  rowAt(*view, 1).label = S((title + "2").c_str());
  RecordingGraphics g;
  view->drawSummary(g);
  std::set<std::string> drawn;
  for (const auto& text : SummaryPicture(g).texts) {
    if (text.box.h() != 12) continue;
    drawn.insert(text.text);
    EXPECT_NE(text.text.find(kEllipsis), std::string::npos) << text.text;
    EXPECT_EQ(std::count(text.text.begin(), text.text.end(), '\xC3'),  // never half an é
              std::count(text.text.begin(), text.text.end(), '\xA9')) << text.text;
    EXPECT_LE(text.box.maxX(), 200) << text.text;
  }
  EXPECT_EQ(drawn.size(), 2u) << g.text();
}

TEST_F(ChartSummary, SpeedUpMetricHasNoErrorBars) {
  auto view = summaryView(1);
  RecordingGraphics g;
  view->drawSummary(g);
  EXPECT_EQ(g.count("drawLine"), 0u);
  // The slowest of fib is 200: C++ runs 2.00x; sieve's only run 1.00x.
  // Boxes 93 wide, the scale text right-aligned on its own line.
  EXPECT_NE(g.text().find("\"2.00x\" 65 31 120 120 128 255 10"), std::string::npos) << g.text();
  EXPECT_NE(g.text().find("fillRectRGB 19,44,12,150 59 130 246"), std::string::npos);
  EXPECT_NE(g.text().find("fillRectRGB 124,119,12,75 212 117 31"), std::string::npos);
}

TEST_F(ChartSummary, AllZeroValuesGiveAScaleOfOne) {
  auto view = chart(dataSetOf({contribution("c", {{.bench = "b", .best = 0, .mean = 0}})}));
  view->rebuild();
  RecordingGraphics g;
  view->drawSummary(g);
  EXPECT_NE(g.text().find("\"1 us\""), std::string::npos);
  // A 2-pixel bar on the axis, 16 lower for the scale text's own line.
  EXPECT_NE(g.text().find("fillRectRGB 19,192,12,2 "), std::string::npos);
}

// The same fault as the bars': a deviation far beyond the scale put the
// line's end past 16 bits, where it wrapped. The ends are held to the plot
// (from its top at 44 to its axis at 194), so neither crosses a text.
TEST_F(ChartSummary, ErrorBarEndsAreHeldToTheCoordinateRange) {
  auto view = chart(dataSetOf({contribution("c", {{.bench = "b", .best = 200},
                                                   {.bench = "b", .target = "cpp", .best = 100, .mean = 100,
                                                    .stddev = 1e6}})}));
  view->rebuild();
  RecordingGraphics g;
  view->drawSummary(g);
  EXPECT_EQ(joined(g.of("drawLine")), "drawLine 25 44 25 194 1\n");
}

// Ends inside the plot are drawn where they fall; one past its top (44 on
// a scale of 200) or below its axis (194) is held there.
TEST_F(ChartSummary, ErrorBarEndsThatFitAreNotClipped) {
  struct Case {
    double mean, stddev;
    const char* line;
  } cases[] = {
      {100, 50, "drawLine 25 82 25 157 1"},   // 150 and 50: 112 and 37 above the axis
      {300, 200, "drawLine 25 44 25 119 1"},  // 500 past the top, 100 where it falls
      {50, 100, "drawLine 25 82 25 194 1"},   // below 0 held to the axis
  };
  for (const Case& c : cases) {
    auto view = chart(dataSetOf({contribution("c", {{.bench = "b", .best = 200, .mean = c.mean, .stddev = c.stddev}})}));
    view->rebuild();
    RecordingGraphics g;
    view->drawSummary(g);
    EXPECT_EQ(joined(g.of("drawLine")), std::string(c.line) + "\n") << c.mean << " +/- " << c.stddev;
  }
}

// --- Heat map -------------------------------------------------------------------------

class ChartHeatMap : public ChartDraw {
 protected:
  // fib: quorl 100, C++ 300; sieve: quorl 50 only.
  Ref<ChartView> heatView(const char* baseline = nullptr, bool outlier = false) {
    auto c = contribution("c", {{.bench = "fib", .target = "quorl", .best = 100},
                                {.bench = "fib", .target = "cpp", .best = 300},
                                {.bench = "sieve", .target = "quorl", .best = 50}});
    if (outlier) c->runs->add(makeRun({.bench = "Matrix_Mul_F32", .target = "quorl", .best = 10}));
    auto view = chart(dataSetOf({c}));
    view->mode = 2;
    view->baseline = S(baseline);
    view->rebuild();
    return view;
  }
};

TEST_F(ChartHeatMap, AgainstTheFastestRun) {
  auto view = heatView();
  resize(view, 800, 222);
  RecordingGraphics g;
  view->drawRect(g, UXRect(0, 0, 800, 222));
  const auto lines = g.lines;
  const std::vector<std::string> expected = {
      "fillRectRGB 0,0,800,222 255 255 255",
      "drawTextRGBA \"each run against the fastest run of each benchmark\" 12 8 40 40 44 255 12",
      "drawTextRGBA \"quorl\" 154 32 24 24 28 255 12",
      "drawTextRGBA \"O3\" 154 48 110 110 118 255 10",
      "drawTextRGBA \"C++ (clang)\" 284 32 24 24 28 255 12",
      "drawTextRGBA \"O3\" 284 48 110 110 118 255 10",
      "drawTextRGBA \"fib\" 10 73 40 40 44 255 12",
      "fillRectRGB 151,67,128,24 50 50 54",
      "fillRectRGB 153,69,124,20 99 190 123",
      "drawTextRGBA \"fastest\" 194 73 30 30 30 255 12",
      "fillRectRGB 281,67,128,24 222 222 226",
      "fillRectRGB 283,69,124,20 228 130 80",
      "drawTextRGBA \"3.00x slower\" 309 73 30 30 30 255 11",
      "fillRectRGB 4,92,142,26 244 245 248",
      "drawTextRGBA \"sieve\" 10 99 40 40 44 255 12",
      "fillRectRGB 151,93,128,24 50 50 54",
      "fillRectRGB 153,95,124,20 99 190 123",
      "drawTextRGBA \"fastest\" 194 99 30 30 30 255 12",
      "fillRectRGB 281,93,128,24 214 216 222",
      "fillRectRGB 282,94,126,22 255 255 255",
      "drawTextRGBA \"-\" 342 99 170 170 176 255 11",
      "fillRectRGB 4,122,406,1 190 194 202",
      "drawTextRGBA \"geometric mean\" 10 128 40 40 44 255 12",
      "fillRectRGB 151,127,128,24 222 222 226",
      "fillRectRGB 153,129,124,20 99 190 123",
      "drawTextRGBA \"same\" 203 133 30 30 30 255 11",
      "fillRectRGB 281,127,128,24 222 222 226",
      "fillRectRGB 283,129,124,20 228 130 80",
      "drawTextRGBA \"3.00x slower\" 309 133 30 30 30 255 11",
  };
  ASSERT_EQ(lines.size(), expected.size() + 40 + 4);
  EXPECT_EQ(joined(std::vector<std::string>(lines.begin(), lines.begin() + expected.size())), joined(expected));
  // Legend at 174: 40 swatches from 1x green to 4x red, then the labels.
  EXPECT_EQ(lines[expected.size()], "fillRectRGB 150,174,6,12 99 190 123");
  EXPECT_EQ(lines[expected.size() + 39], "fillRectRGB 384,174,6,12 214 64 52");
  EXPECT_EQ(joined(std::vector<std::string>(lines.end() - 4, lines.end())),
            "drawTextRGBA \"fastest\" 104 175 90 90 96 255 10\n"
            "drawTextRGBA \"2x slower\" 246 189 90 90 96 255 10\n"
            "drawTextRGBA \"4x slower\" 394 175 90 90 96 255 10\n"
            "drawTextRGBA \"green = better, red = worse, grey = within one standard deviation, framed = fastest, - "
            "= not measured\" 12 204 110 110 118 255 10\n");
  EXPECT_EQ(view->heatMap->width, 800u);
}

TEST_F(ChartHeatMap, AgainstABaselineWithTheOutlierNote) {
  auto view = heatView("quorl", true);
  resize(view, 960, 400);
  RecordingGraphics g;
  view->drawRect(g, UXRect(0, 0, 960, 400));
  EXPECT_EQ(view->heatMap->width, 960u);  // set from the view before drawing
  const std::string text = g.text();
  EXPECT_NE(text.find("\"each run against quorl at the same setting\" 12 8 "), std::string::npos);
  // The baseline's own cell reads "baseline"; quorl is fib's fastest too, so framed.
  EXPECT_NE(text.find("fillRectRGB 151,67,128,24 50 50 54\n"
                      "fillRectRGB 153,69,124,20 255 255 255\n"
                      "drawTextRGBA \"baseline\" 191 73 30 30 30 255 12\n"),
            std::string::npos)
      << text;
  // 3x slower than the baseline is past 0.55 on the log-4 scale: white text.
  EXPECT_NE(text.find("fillRectRGB 283,69,124,20 211 84 84\n"
                      "drawTextRGBA \"3.00x slower\" 309 73 255 255 255 255 11\n"),
            std::string::npos);
  EXPECT_NE(text.find("\"without matrix_mul_f32\" 10 167 120 120 128 255 9"), std::string::npos);
  EXPECT_NE(text.find("drawTextRGBA \"4x faster\" 92 201 90 90 96 255 10\n"
                      "drawTextRGBA \"same\" 258 215 90 90 96 255 10\n"
                      "drawTextRGBA \"4x slower\" 394 201 90 90 96 255 10\n"),
            std::string::npos)
      << text;
  // The strip runs from 4x faster (green) to 4x slower (red).
  EXPECT_NE(text.find("fillRectRGB 150,200,6,12 26 140 70\n"), std::string::npos);
  EXPECT_NE(text.find("fillRectRGB 384,200,6,12 200 40 40\n"), std::string::npos);
}

// A draw shows the last rebuild's rows, though the drawing keeps what it knew:
// other rows in the same lines and columns, then none (every cell unmeasured).
TEST_F(ChartHeatMap, EachDrawShowsTheRowsOfTheLastRebuild) {
  auto view = heatView();
  resize(view, 800, 222);
  const auto draw = [&] {
    RecordingGraphics g;
    view->drawRect(g, UXRect(0, 0, 800, 222));
    return g.text();
  };
  const std::string slower = "drawTextRGBA \"3.00x slower\" 309 73 ";
  EXPECT_NE(draw().find(slower), std::string::npos);
  EXPECT_NE(draw().find(slower), std::string::npos);
  view->dataSet = dataSetOf({contribution("c", {{.bench = "fib", .target = "quorl", .best = 100},
                                                {.bench = "fib", .target = "cpp", .best = 150},
                                                {.bench = "sieve", .target = "cpp", .best = 50}})});
  view->rebuild();
  std::string text = draw();
  EXPECT_EQ(text.find(slower), std::string::npos) << text;
  EXPECT_NE(text.find("drawTextRGBA \"1.50x slower\" 309 73 "), std::string::npos) << text;
  // sieve: its quorl cell not measured, its C++ cell the fastest.
  EXPECT_NE(text.find("drawTextRGBA \"-\" 212 99 "), std::string::npos) << text;
  EXPECT_NE(text.find("drawTextRGBA \"fastest\" 324 99 "), std::string::npos) << text;
  view->dataSet = nullptr;
  view->rebuild();
  text = draw();
  size_t missing = 0;
  for (size_t at = 0; (at = text.find("drawTextRGBA \"-\" ", at)) != std::string::npos; ++at) ++missing;
  EXPECT_EQ(missing, 4u) << text;
}

TEST_F(ChartHeatMap, EmptyMapShowsTheMessage) {
  auto view = chart(dataSetOf({}));
  view->mode = 2;
  view->rebuild();
  EXPECT_EQ(view->height(), 220);
  RecordingGraphics g;
  view->drawRect(g, UXRect(0, 0, 800, 600));
  EXPECT_EQ(joined(g.lines),
            "fillRectRGB 0,0,800,220 255 255 255\n"
            "drawTextRGBA \"No runs match the filters.\" 16 16 90 90 90 255 13\n");
}

TEST_F(ChartHeatMap, GreyCellsNeverGetWhiteText) {
  auto view = heatView();
  RecordingGraphics g;
  fillHeatMapCell(*view->heatMap, g, 10, 20, 100, 26, 20.0, true, false, nullptr);
  EXPECT_EQ(joined(g.lines),
            "fillRectRGB 11,21,98,24 222 222 226\n"
            "fillRectRGB 13,23,94,20 238 238 240\n"
            "drawTextRGBA \"20x slower\" 30 27 130 130 130 255 11\n");
  g.clear();
  // Not grey, far from 1x: dark, white text; framed: size 12. A text wider
  // than the cell's colour is cut to it, or left out.
  fillHeatMapCell(*view->heatMap, g, 10, 20, 60, 26, 20.0, false, true, "a long cell text");
  EXPECT_EQ(g.lines.back(), "drawTextRGBA \"a lo\xE2\x80\xA6\" 13 27 255 255 255 255 12");
  g.clear();
  fillHeatMapCell(*view->heatMap, g, 10, 20, 20, 26, 20.0, false, true, "a long cell text");
  EXPECT_EQ(g.count("drawText"), 0u) << g.text();
}

// Rectangles that fit 16 bits reach the surface exactly as laid out, even
// when they start left of the view or are empty: only what reaches past the
// coordinate range is cut.
TEST_F(ChartHeatMap, CellRectanglesInRangeAreNotCut) {
  auto view = heatView();
  RecordingGraphics g;
  fillHeatMapCell(*view->heatMap, g, -40, 20, 100, 26, 20.0, true, false, "x");
  EXPECT_EQ(joined(g.lines),
            "fillRectRGB -39,21,98,24 222 222 226\n"
            "fillRectRGB -37,23,94,20 238 238 240\n"
            "drawTextRGBA \"x\" 7 27 130 130 130 255 11\n");
  g.clear();
  // A 4-pixel cell: the fill is 2 pixels narrower than nothing.
  fillHeatMapCell(*view->heatMap, g, 10, 20, 4, 26, 20.0, true, false, "");
  EXPECT_EQ(g.lines[1], "fillRectRGB 13,23,-2,20 238 238 240");
}

// The drawing's index, made now or kept by the map, answers as the model's scans.
void expectIndexMatchesModel(const HeatMap& map, const HeatMapLookup& lookup) {
  for (uint32_t i = 0; i < map.benches->count(); ++i) {
    EXPECT_EQ(lookup.fastest(i), map.fastest(i).get()) << i;
    for (uint32_t j = 0; j < map.colSeries->count(); ++j) {
      EXPECT_EQ(lookup.cell(i, j), map.cell(i, j).get()) << i << "," << j;
      EXPECT_EQ(lookup.baseOf(i, j), map.baseOf(i, j).get()) << i << "," << j;
      double r1 = -1, r2 = -1;
      bool g1 = true, g2 = true;
      EXPECT_EQ(lookup.ratio(i, j, r1, g1), map.ratio(i, j, r2, g2));
      EXPECT_EQ(r1, r2);
      EXPECT_EQ(g1, g2);
    }
  }
  for (uint32_t j = 0; j < map.colSeries->count(); ++j) {
    double m1 = -1, m2 = -1;
    EXPECT_EQ(lookup.geomean(j, m1), map.geomean(j, m2));
    EXPECT_EQ(m1, m2);
    std::vector<uint32_t> filled;  // the lines whose cell holds a row, each once
    for (uint32_t i = 0; i < map.benches->count(); ++i)
      if (map.cell(i, j)) filled.push_back(i);
    const std::span<const uint32_t> lines = lookup.filledLines(j);
    EXPECT_EQ(std::vector<uint32_t>(lines.begin(), lines.end()), filled) << j;
  }
}

void expectLookupMatchesModel(const HeatMap& map) {
  expectIndexMatchesModel(map, HeatMapLookup(map));
  expectIndexMatchesModel(map, map.lookup());
}

TEST_F(ChartHeatMap, IndexedLookupsAnswerAsTheModel) {
  // Case variants, two machines with the same measurement (settings get the
  // machine), a missing cell, zero values, spreads for the grey rule, the
  // outlier, and two runs in one cell (the first is the cell's).
  auto one = contribution("Cpu A", {{.bench = "fib", .target = "quorl", .best = 100, .mean = 100, .stddev = 3},
                                    {.bench = "FIB", .target = "cpp", .best = 104, .mean = 104, .stddev = 3},
                                    {.bench = "fib", .target = "cpp", .opt = "O2", .best = 90},
                                    {.bench = "fib", .target = "gcc", .best = 80},  // ties with Cpu B's quorl
                                    {.bench = "sieve", .target = "QUORL", .best = 0, .mean = 0},
                                    {.bench = "sieve", .target = "gcc", .best = 70},
                                    {.bench = "Sieve", .target = "gcc", .best = 60},
                                    {.bench = "matrix_mul_f32", .target = "quorl", .best = 5}});
  auto two = contribution("Cpu B", {{.bench = "fib", .target = "quorl", .best = 80, .stddev = 1},
                                    {.bench = "nbody", .target = "swift", .opt = "O2", .best = 30}});
  for (const char* baseline : {static_cast<const char*>(nullptr), "quorl", "C++ (clang)", "nobody"}) {
    SCOPED_TRACE(baseline ? baseline : "no baseline");
    auto view = chart(dataSetOf({one, two}));
    view->baseline = S(baseline);
    view->rebuild();
    ASSERT_GT(view->heatMap->colSeries->count(), 3u);
    expectLookupMatchesModel(*view->heatMap);
  }
  HeatMap empty;
  expectLookupMatchesModel(empty);
}

// After any change to a map's rows, lists or baseline, what it keeps from draw
// to draw draws as a map made afresh, and its index answers as the scans do.
TEST_F(ChartHeatMap, WhatTheMapKeepsFollowsEveryChangeOfIt) {
  const auto replaced = [](const Ref<Array>& list, Ref<Object> first) {
    Ref<Array> copy = list->copy();
    copy->set(0, std::move(first));
    return copy;
  };
  const struct {
    const char* what;
    std::function<void(HeatMap&)> change;
  } changes[] = {
      {"rows emptied", [](HeatMap& m) { m.rows->removeAll(); }},
      {"rows replaced", [&](HeatMap& m) { m.rows = replaced(m.rows, m.rows->get(1)); }},
      {"a baseline", [](HeatMap& m) { m.baseline = S("C++ (clang)"); }},
      {"lines replaced", [&](HeatMap& m) { m.benches = replaced(m.benches, S("nbody_of_a_name_wider_than_150")); }},
      {"a line added", [](HeatMap& m) { m.benches->add(S("matrix_mul_f32")); }},
      {"series replaced", [&](HeatMap& m) { m.colSeries = replaced(m.colSeries, S("Swift")); }},
      {"a series added", [](HeatMap& m) { m.colSeries->add(S("quorl")); }},
      {"settings replaced", [&](HeatMap& m) { m.colSetting = replaced(m.colSetting, S("O2")); }},
      {"a setting removed", [](HeatMap& m) { m.colSetting->removeLast(); }},
  };
  for (const auto& c : changes) {
    SCOPED_TRACE(c.what);
    auto view = heatView();
    HeatMap& map = *view->heatMap;
    RecordingGraphics before, kept, afresh;
    drawHeatMap(map, before);
    c.change(map);
    drawHeatMap(map, kept);
    auto fresh = make<HeatMap>();
    fresh->rows = map.rows, fresh->baseline = map.baseline, fresh->benches = map.benches;
    fresh->colSeries = map.colSeries, fresh->colSetting = map.colSetting, fresh->width = map.width;
    drawHeatMap(*fresh, afresh);
    EXPECT_NE(kept.text(), before.text());
    EXPECT_EQ(kept.text(), afresh.text());
    expectLookupMatchesModel(map);
  }
}

// The x a recorded rectangle or text starts at.
int startOf(const std::string& line) {
  if (line.rfind("fillRectRGB ", 0) == 0) return std::stoi(line.substr(12));
  if (line.rfind("drawTextRGBA \"", 0) == 0) return std::stoi(line.substr(line.find("\" ", 14) + 2));
  ADD_FAILURE() << "unexpected call " << line;
  return 0;
}

std::vector<std::string> startingLeftOf(const std::vector<std::string>& lines, int x) {
  std::vector<std::string> out;
  for (const std::string& line : lines)
    if (startOf(line) < x) out.push_back(line);
  return out;
}

TEST_F(ChartHeatMap, TheViewLeavesOutOnlyWhatLiesRightOfIt) {
  // Ten columns of 96 pixels in an 800-pixel view: columns 7 to 9 start
  // right of it. Column 7 (C++ (GCC), O2) holds a ratio of 9e18, whose text
  // is wider than its cell.
  auto c = contribution("c", {{.bench = "fib", .target = "quorl", .opt = "O1", .best = 1},
                              {.bench = "fib", .target = "cpp", .opt = "O1", .best = 2},
                              {.bench = "fib", .target = "gcc", .opt = "O1", .best = 3},
                              {.bench = "fib", .target = "objc", .opt = "O1", .best = 4},
                              {.bench = "fib", .target = "swift", .opt = "O1", .best = 5},
                              {.bench = "fib", .target = "quorl", .opt = "O2", .best = 6},
                              {.bench = "fib", .target = "cpp", .opt = "O2", .best = 7},
                              {.bench = "fib", .target = "gcc", .opt = "O2", .best = 9000000000000000000},
                              {.bench = "fib", .target = "objc", .opt = "O2", .best = 9},
                              {.bench = "sieve", .target = "swift", .opt = "O2", .best = 10}});
  auto view = chart(dataSetOf({c}));
  view->mode = 2;
  view->rebuild();
  ASSERT_EQ(view->heatMap->colSeries->count(), 10u);
  ASSERT_EQ(view->heatMap->cellW(), 96);

  RecordingGraphics inView;
  view->drawRect(inView, UXRect(0, 0, 800, 600));
  RecordingGraphics whole;
  drawHeatMap(*view->heatMap, whole);

  EXPECT_LT(inView.lines.size(), whole.lines.size());
  EXPECT_EQ(joined(startingLeftOf(inView.lines, 800)), joined(startingLeftOf(whole.lines, 800)));
  // The ratio's text, wider than its cell, is cut to the cell's colour.
  EXPECT_NE(inView.text().find("\"90000000000\xE2\x80\xA6\" 825 "), std::string::npos) << inView.text();
  // Headers start at their x: none of the columns right of the view. (The
  // map is cut: they stand below its note.)
  EXPECT_EQ(inView.text().find("\" 826 50 "), std::string::npos);
  EXPECT_NE(whole.text().find("\"C++ (GCC)\" 826 50 "), std::string::npos);
}

// A map cut at its width (a column shows if it starts left of it) says how many
// it shows under the title, moving headers and lines down; a whole map says
// nothing. Scrolled, drawn in slices of at most 32,767 pixels, it is never cut.
TEST_F(ChartHeatMap, AMapCutAtItsWidthSaysSoUnderItsTitle) {
  using L = chart::HeatMapMetrics;
  constexpr int32_t kScrolled = 0;
  const struct {
    int columns;
    int32_t width;     // kScrolled: in a document of the map's least width
    int64_t at;        // where an 800-pixel view stands in that document
    const char* note;  // null: the map is whole
  } cases[] = {
      {10, 800, 0, "7 of 10 series shown; narrow the filters"},
      {2000, 32767, 0, "340 of 2,000 series shown; narrow the filters"},
      {2000, kScrolled, 0, nullptr},
      {2000, kScrolled, 100000, nullptr},
      {2000, kScrolled, -1, nullptr},  // at the right end
      {301, 150 + 96 * 300, 0, "300 of 301 series shown; narrow the filters"},
      {301, 150 + 96 * 300 + 1, 0, nullptr},
      {7, 800, 0, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.columns) + " columns at " + std::to_string(c.width) + ", " + std::to_string(c.at));
    auto run = contribution("c", {});
    for (int j = 0; j < c.columns; ++j)
      run->runs->add(makeRun({.bench = "fib", .arch = ("arch" + std::to_string(j)).c_str(), .best = 100 + j}));
    auto view = chart(dataSetOf({run}), c.width ? c.width : 800, 400);
    view->mode = 2;
    view->rebuild();
    ASSERT_EQ(view->heatMap->colSeries->count(), uint32_t(c.columns));
    // Scrolled, the frame is the document from an origin, as the scroll view places it.
    const int32_t width = c.width ? c.width : view->minimumWidth();
    const int64_t at = c.at < 0 ? width - 800 : c.at;
    const int32_t origin = c.width ? 0 : int32_t(at / 8192 * 8192), frameW = std::min(width - origin, 32767);
    resize(view, frameW, 400);
    if (!c.width) {
      view->originX = origin;
      view->shownX = int32_t(at), view->shownW = 800, view->shownH = 400;
    }
    const int64_t room = c.note ? L::kNoteRoom : 0;
    EXPECT_EQ(view->height(), L::heightFor(1) + room);
    RecordingGraphics g;
    view->drawRect(g, UXRect(0, 0, int16_t(frameW), 400));
    const std::string text = g.text();
    // The header of the first column in sight, and fib's name, in sight.
    const int64_t column = at > 150 ? (at - 150) / 96 + 1 : 0;
    const std::string header = str(cast<String>(view->heatMap->colSeries->get(uint32_t(column))));
    EXPECT_NE(text.find("\"" + header + "\" " + std::to_string(150 + 96 * column + 4 - origin) + " " +
                        std::to_string(L::kSeriesY + room) + " "),
              std::string::npos)
        << text.substr(0, 2000);
    EXPECT_NE(text.find("\"fib\" " + std::to_string(at - origin + 10) + " " +
                        std::to_string(L::kFirstLine + room + L::kTextDown) + " "),
              std::string::npos);
    if (!c.note) {
      EXPECT_EQ(text.find("series shown"), std::string::npos) << text.substr(0, 2000);
      continue;
    }
    // Exactly once, between the title and the headers, inside the width.
    const std::string note = "drawTextRGBA \"" + std::string(c.note) + "\" 12 26 150 70 20 255 11";
    EXPECT_EQ(std::count(g.lines.begin(), g.lines.end(), note), 1) << text.substr(0, 2000);
    EXPECT_GE(L::kNoteY, L::kTitleY + 12);
    EXPECT_LE(L::kNoteY + L::kNoteSize, L::kSeriesY + room);
    EXPECT_LE(L::kTitleX + int64_t(gDriver->textWidth(c.note, L::kNoteSize)), width);
  }
  // Narrower than its names column, the map shows none of its columns.
  auto narrow = chart(dataSetOf({contribution("c", {{.bench = "fib", .best = 1}})}), 140, 400);
  narrow->mode = 2;
  narrow->rebuild();
  EXPECT_EQ(narrow->heatMap->shownColumns(), 0u);
}

// --- Every sample file, every mode, a few widths ------------------------------------

TEST_F(ChartDraw, EverySampleDrawsInsideTheView) {
  const std::filesystem::path dir = std::filesystem::path(QUORL_SOURCE_DIR) / "samples";
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() != ".json") continue;
    ++files;
    const std::string path = entry.path().generic_string();
    Ref<String> text = Files::readText(S(path.c_str()));
    ASSERT_NE(text, nullptr) << path;
    auto data = make<DataSet>();
    data->replace(Contribution::loadText(text, S(path.c_str())));
    for (int width : {640, 800, 1280, 1920}) {
      for (int mode : {0, 1, 2}) {
        for (int metric : {0, 1}) {
          SCOPED_TRACE(path + " width " + std::to_string(width) + " mode " + std::to_string(mode) + " metric " +
                       std::to_string(metric));
          auto view = chart(data, width, 100);
          view->mode = mode;
          view->metric = metric;
          view->rebuild();
          if (mode == 2 && width == 800) expectLookupMatchesModel(*view->heatMap);
          EXPECT_GT(view->rows->count(), 0u);
          const int height = view->height();
          resize(view, width, height);
          RecordingGraphics g;
          view->drawRect(g, UXRect(0, 0, width, height));
          EXPECT_GT(g.lines.size(), 2u);
          int w = width;
          // The heat map's columns never shrink below 96 pixels and then
          // reach past the view by design.
          if (mode == 2) w = std::max<int>(width, 150 + view->heatMap->colSeries->count() * view->heatMap->cellW());
          const auto bad = outside(g, w, height);
          EXPECT_TRUE(bad.empty()) << joined(bad).substr(0, 3000);
        }
      }
    }
  }
  EXPECT_GE(files, 5);
}

// --- Runs without a time ------------------------------------------------------------

// Generated documents whose runs give or lack a best time, a first time and
// samples, each possible, impossible or no number: in either metric, with or
// without the first run, only the runs with a time are drawn or counted.
// Every drawn value, summary scale and bar, fastest run, heat-map cell and
// geometric mean is that of those runs alone, and the others read "-".
TEST_F(ChartDraw, RunsWithoutATimeAreNeitherDrawnNorCounted) {
  const char* benches[] = {"fib", "Fib", "sieve", "matrix_mul_f32"};
  const char* targets[] = {"quorl", "cpp", "gcc"};
  const char* values[] = {"1", "250", "4000", "2.5", "0", "7", "12000", "-1", "1e400", "1152921504606846976", "\"x\""};
  std::mt19937 random(8128);
  const auto texts = [](const RecordingGraphics& g, std::set<std::string> colours, int size = 0) {
    std::multiset<std::string> out;
    for (const std::string& line : g.lines)
      if (auto t = drawnText(line); t && colours.count(t->colour) && (!size || t->size == size)) out.insert(t->text);
    return out;
  };
  for (int round = 0; round < test::rounds(200); ++round) {
    // By the id in each run's parameters: its benchmark and its time for the metric drawn.
    std::vector<std::string> benchOf;
    std::vector<std::optional<double>> time;
    size_t kept = 0;
    const bool firstRun = random() % 2;
    std::string json = R"({"schema":"quorl-bench/1","runs":[)";
    for (int r = 0, runs = 1 + int(random() % 12); r < runs; ++r) {
      benchOf.push_back(benches[random() % 4]);
      json += std::string(r ? "," : "") + R"({"suite":"langs","benchmark":")" + benchOf.back() + R"(","target":")" +
              targets[random() % 3] + R"(","params":{"id":)" + std::to_string(r) + "}";
      std::optional<double> given[2];  // best, first
      double sum = 0;
      int numbers = 0, impossible = 0;
      const auto pick = [&] {  // a value's text, and its number where it is a possible time
        const int v = int(random() % 11);
        impossible += v >= 7 && v <= 9;
        return std::pair{std::string(values[v]), v < 7 ? std::optional(std::trunc(std::strtod(values[v], nullptr)))
                                                        : std::nullopt};
      };
      for (int k = 0; k < 2; ++k) {
        if (random() % 3 == 0) continue;
        const auto [text, number] = pick();
        json += (k ? R"(,"first_us":)" : R"(,"best_us":)") + text;
        if (number >= 1.0) given[k] = number;
      }
      if (random() % 4) {
        json += R"(,"samples_us":[)";
        for (int k = 0, n = int(random() % 4); k < n; ++k) {
          const auto [text, number] = pick();
          json += (k ? "," : "") + text;
          if (number) sum += *number, ++numbers;
        }
        json += "]";
      }
      json += "}";
      const auto best = given[0] ? given[0] : numbers ? std::optional(sum / numbers) : std::nullopt;
      time.push_back(firstRun && given[1] ? given[1] : best);
      kept += !impossible || best || given[1];
    }
    auto view = chart(dataSetOf({benchtest::contributionAt(benchtest::load((json + "]}").c_str()), 0)}), 2000, 3000);
    SCOPED_TRACE(json + (firstRun ? " first run" : ""));
    view->metric = int32_t(random() % 2);
    view->firstRun = firstRun;
    view->baseline = random() % 2 ? S("quorl") : nullptr;
    view->rebuild();
    const auto idOf = [](const ChartRow* row) {
      const std::string params = str(row->paramText);
      return size_t(std::stoi(params.substr(params.rfind("id=") + 3)));
    };
    const auto groupOf = [&](size_t id) { return benchOf[id] == "Fib" ? std::string("fib") : benchOf[id]; };
    std::map<std::string, double> slowest;
    for (size_t id = 0; id < time.size(); ++id)
      if (time[id]) slowest[groupOf(id)] = std::max(slowest[groupOf(id)], *time[id]);
    // Every run kept is listed; those with a time are the chart's rows, each
    // a value drawn, a summary bar (but the outlier's) and a say in the scale.
    std::multiset<std::string> drawn;
    std::set<std::string> labels, bars;
    double scale = 0;
    ASSERT_EQ(view->listed->count(), kept);
    for (uint32_t i = 0; i < view->listed->count(); ++i) {
      const ChartRow* row = cast<ChartRow>(view->listed->get(i)).get();
      const std::optional<double> t = time[idOf(row)];
      ASSERT_EQ(row->timed, t.has_value()) << idOf(row);
      EXPECT_EQ(str(row->bestText) == "-", !t);
      if (!t) {  // nothing to count as 0 by mistake
        EXPECT_TRUE(std::isnan(row->value) && std::isnan(row->shown));
        continue;
      }
      EXPECT_EQ(row->value, *t);
      const double s = slowest[groupOf(idOf(row))];
      const double shown = view->metric == 1 && s > 0 ? (*t > 0 ? s / *t : 0) : *t;
      drawn.insert(str(chart::valueText(view->metric, shown)));
      labels.insert(str(row->label));
      if (BHelp::isOutlier(row->bench)) continue;
      bars.insert(str(row->label) + "|" + groupOf(idOf(row)));
      scale = std::max(scale, shown);
    }
    // A benchmark without a timed run takes no panel: the bars' height is
    // that of the others' panels.
    std::map<std::string, int64_t> panelRows;
    for (uint32_t i = 0; i < view->rows->count(); ++i) ++panelRows[groupOf(idOf(&rowAt(*view, i)))];
    int64_t height = chart::BarMetrics::kFirstPanel + chart::BarMetrics::kBottomRoom;
    for (const auto& [bench, k] : panelRows) height += chart::BarMetrics::groupAdvance(k);
    EXPECT_EQ(view->height(), panelRows.empty() ? chart::BarMetrics::kEmptyHeight : height);
    RecordingGraphics g;
    view->drawRect(g, UXRect(0, 0, 2000, 3000));
    EXPECT_EQ(texts(g, {"40 40 44 255"}, chart::BarMetrics::kRowTextSize), drawn);
    g.clear();
    view->mode = 1;
    view->drawRect(g, UXRect(0, 0, 2000, 3000));
    const std::multiset<std::string> scales = texts(g, {"120 120 128 255"});
    EXPECT_EQ(scales.size(), bars.empty() ? 0 : labels.size());
    if (!scales.empty()) EXPECT_EQ(*scales.begin(), str(chart::valueText(view->metric, scale > 0 ? scale : 1.0)));
    size_t summaryBars = 0;
    for (const std::string& line : g.of("fillRectRGB")) {
      int x, y, w, h;
      summaryBars += std::sscanf(line.c_str(), "fillRectRGB %d,%d,%d,%d", &x, &y, &w, &h) == 4 &&
                     w == chart::SummaryMetrics::kBarW;
    }
    EXPECT_EQ(summaryBars, scales.empty() ? 0 : bars.size());
    // The heat map: its fastest runs, ratios and means those of the times
    // alone, as drawn; every other cell "-", and none where a time is.
    const HeatMap& map = *view->heatMap;
    std::multiset<std::string> cells;
    size_t missing = 0;
    for (uint32_t i = 0; i < map.benches->count(); ++i) {
      std::optional<double> fastest;
      for (size_t id = 0; id < time.size(); ++id)
        if (time[id] > 0.0 && BHelp::same(S(benchOf[id].c_str()), cast<String>(map.benches->get(i))))
          fastest = std::min(fastest.value_or(*time[id]), *time[id]);
      ASSERT_EQ(map.fastest(i) ? std::optional(map.fastest(i)->value) : std::nullopt, fastest);
      for (uint32_t j = 0; j < map.colSeries->count(); ++j) {
        const Ref<ChartRow> a = map.cell(i, j), b = map.baseOf(i, j);
        for (uint32_t k = 0; a && !a->timed && k < view->rows->count(); ++k)
          EXPECT_FALSE(BHelp::same(rowAt(*view, k).bench, a->bench) && BHelp::same(rowAt(*view, k).series, a->series) &&
                       BHelp::same(rowAt(*view, k).setting, a->setting));
        const std::optional<double> ta = a ? time[idOf(a.get())] : std::nullopt, tb = b ? time[idOf(b.get())] : std::nullopt;
        double r = 0;
        bool grey = false;
        ASSERT_EQ(map.ratio(i, j, r, grey), ta > 0.0 && tb > 0.0) << i << "," << j;
        missing += !(ta > 0.0 && tb > 0.0);
        if (ta > 0.0 && tb > 0.0) {
          EXPECT_EQ(r, *ta / *tb);
          cells.insert(a == b ? (view->baseline ? "baseline" : "fastest") : str(HeatMap::ratioText(r)));
        }
      }
    }
    for (uint32_t j = 0; j < map.colSeries->count(); ++j) {
      double sum = 0, mean = 0, r = 0;
      int n = 0;
      bool grey = false;
      for (uint32_t i = 0; i < map.benches->count(); ++i)
        if (!BHelp::isOutlier(cast<String>(map.benches->get(i))) && map.ratio(i, j, r, grey)) sum += std::log(r), ++n;
      ASSERT_EQ(map.geomean(j, mean), n > 0);
      if (n) cells.insert(str(HeatMap::ratioText(std::exp(sum / n))));
    }
    g.clear();
    view->mode = 2;
    view->drawRect(g, UXRect(0, 0, 2000, 3000));
    EXPECT_EQ(texts(g, {"30 30 30 255", "130 130 130 255", "255 255 255 255"}), cells);
    EXPECT_EQ(texts(g, {"170 170 176 255"}).size(), missing);
  }
}

}  // namespace
