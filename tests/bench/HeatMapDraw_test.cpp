// The heat map drawn scrolled: the names column and the title rows stay in
// sight over the cells, and the corner where they meet stays clear.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "ChartTestSupport.h"
#include "NamesCorpus.h"
#include "Rounds.h"
#include "bench/ChartMetrics.h"
#include "bench/HeatMapDraw.h"
#include "bench/HeatMapHeadings.h"
#include "bench/TextKeys.h"
#include "ux/core/UXViewDriver.h"

using namespace quorl;
using namespace quorl::charttest;

namespace {

using L = chart::HeatMapMetrics;

struct Box {
  int64_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // [x0, x1) x [y0, y1)
  bool empty() const { return x1 <= x0 || y1 <= y0; }
  Box meet(const Box& o) const {
    return {std::max(x0, o.x0), std::max(y0, o.y0), std::min(x1, o.x1), std::min(y1, o.y1)};
  }
  bool holds(const Box& o) const { return o.x0 >= x0 && o.y0 >= y0 && o.x1 <= x1 && o.y1 <= y1; }
};

// A recorded fill or text: what it covers, its colour or its text. A text
// covers an estimate of 7 pixels a byte by 14.
struct Call {
  bool text = false;
  std::string what;  // the text, or the fill's colour "r g b"
  Box box;
};

std::vector<Call> callsOf(const RecordingGraphics& g) {
  std::vector<Call> out;
  for (const std::string& line : g.lines) {
    int x, y, w, h, n = 0;
    if (std::sscanf(line.c_str(), "fillRectRGB %d,%d,%d,%d %n", &x, &y, &w, &h, &n) == 4 && n > 0)
      out.push_back({false, line.substr(n), {x, y, int64_t(x) + w, int64_t(y) + h}});
    else if (const auto t = drawnText(line))
      out.push_back({true, t->text, {t->x, t->y, t->x + 7 * int64_t(t->text.size()), t->y + 14}});
    else
      ADD_FAILURE() << "unexpected call " << line;
  }
  return out;
}

constexpr int kLines = 60, kColumns = 20;
constexpr int64_t kViewW = 800, kViewH = 500;

using HeatMapScrolled = ChartFixture;

// At each corner of its scroll range (and between), every line and column
// wholly in sight has its name and its title inside the band in sight, not
// painted over afterwards; nothing but the names, the titles and their
// backgrounds shows in the names column, the title rows and the corner.
TEST_F(HeatMapScrolled, NamesAndTitlesStayInSightOverTheCells) {
  // 60 benchmarks by 20 columns (quorl at settings of their own), a few cells not measured.
  auto c = contribution("c", {});
  std::vector<std::string> benchNames;
  for (int i = 0; i < kLines; ++i) benchNames.push_back("bench_" + std::to_string(100 + i));
  for (int i = 0; i < kLines; ++i)
    for (int j = 0; j < kColumns; ++j)
      if ((i + j) % 7 != 3) {
        const std::string arch = "arch" + std::to_string(10 + j);
        c->runs->add(makeRun({.bench = benchNames[i].c_str(), .arch = arch.c_str(), .best = 100 + 37 * ((i * j) % 11)}));
      }
  auto view = chart(dataSetOf({c}), kViewW, kViewH);
  view->mode = 2;
  view->rebuild();
  const HeatMap& map = *view->heatMap;
  ASSERT_EQ(map.colSeries->count(), uint32_t(kColumns));
  ASSERT_EQ(map.benches->count(), uint32_t(kLines));
  const int64_t width = view->minimumWidth(), height = view->height();
  ASSERT_GT(width, kViewW);
  ASSERT_GT(height, kViewH);
  resize(view, int32_t(width), int32_t(height));  // as the scroll view's document view

  const std::string title = "each run against the fastest run of each benchmark";
  std::set<std::string> names(benchNames.begin(), benchNames.end()), headers;
  for (uint32_t j = 0; j < map.colSeries->count(); ++j) {
    headers.insert(str(cast<String>(map.colSeries->get(j))));
    headers.insert(str(cast<String>(map.colSetting->get(j))));
  }
  const std::string stripe = "244 245 248", separator = "190 194 202", white = "255 255 255";

  struct Case {
    const char* where;
    int64_t x, y;
  } cases[] = {{"bottom-right", width - kViewW, height - kViewH},
               {"right-top", width - kViewW, 0},
               {"left-bottom", 0, height - kViewH},
               {"between", 333, 517}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.where);
    view->shownX = int32_t(c.x), view->shownY = int32_t(c.y);
    view->shownW = int32_t(kViewW), view->shownH = int32_t(kViewH);
    RecordingGraphics g;
    view->drawRect(g, UXRect(0, 0, int16_t(width), int16_t(height)));
    const int32_t W = map.cellW();
    const int64_t namesW = map.namesWidth();
    const std::vector<Call> calls = callsOf(g);
    std::vector<std::string> faults;

    const Box band{c.x, c.y, c.x + kViewW, c.y + kViewH};
    const int64_t gridEnd = L::kFirstLine + kLines * L::kLine + L::kMeanGap + L::kLine;
    const Box corner{c.x, c.y, c.x + namesW, c.y + L::kFirstLine};
    const Box nameColumn{c.x, c.y + L::kFirstLine, c.x + namesW, std::min(band.y1, gridEnd)};
    const Box titleRows{c.x + namesW, c.y, band.x1, c.y + L::kFirstLine};
    const Box cellsInSight{nameColumn.x1, titleRows.y1, band.x1, band.y1};

    // A label is drawn with its anchor in its band, and nothing is painted
    // over it afterwards.
    const auto expectLabel = [&](const std::string& text, const Box& where, const std::string& what) {
      const auto at = std::find_if(calls.begin(), calls.end(), [&](const Call& k) {
        return k.text && k.what == text && where.holds({k.box.x0, k.box.y0, k.box.x0 + 1, k.box.y0 + 1});
      });
      if (at == calls.end()) {
        faults.push_back(what + " \"" + text + "\" not drawn in sight");
        return;
      }
      for (auto later = at + 1; later != calls.end(); ++later)
        if (!later->text && !later->box.meet(at->box).meet(band).empty())
          faults.push_back(what + " \"" + text + "\" painted over by a fill of " + later->what);
    };
    expectLabel(title, corner, "the title");
    for (int i = 0; i <= kLines; ++i) {  // the benchmarks, then the mean line
      const int64_t y = L::kFirstLine + i * L::kLine + (i == kLines ? L::kMeanGap : 0);
      if (y >= cellsInSight.y0 && y + L::kLine <= cellsInSight.y1)
        expectLabel(i < kLines ? benchNames[i] : "geometric mean", {nameColumn.x0, y, nameColumn.x1, y + L::kLine},
                    "line " + std::to_string(i));
    }
    int columnsInSight = 0;
    for (uint32_t j = 0; j < map.colSeries->count(); ++j) {
      const int64_t x = namesW + int64_t(j) * W;
      if (x < cellsInSight.x0 || x + W > cellsInSight.x1) continue;
      ++columnsInSight;
      const Box column{x, titleRows.y0, x + W, titleRows.y1};
      expectLabel(str(cast<String>(map.colSeries->get(j))), column, "column " + std::to_string(j));
      expectLabel(str(cast<String>(map.colSetting->get(j))), column, "column " + std::to_string(j));
    }
    EXPECT_GE(columnsInSight, 5);

    // What else meets a frozen band is covered by a later background fill.
    const char* frozenName[] = {"corner", "names column", "title rows"};
    const Box frozen[] = {corner, nameColumn, titleRows};
    const auto own = [&](const Call& k, int f) {
      if (!k.text) return f == 1 && (k.what == stripe || k.what == separator);
      if (f == 1) return names.count(k.what) || k.what == "geometric mean";
      return k.what == title || (f == 2 && headers.count(k.what));
    };
    for (int f = 0; f < 3; ++f) {
      if (frozen[f].empty()) continue;
      for (size_t k = 0; k < calls.size(); ++k) {
        const Box part = calls[k].box.meet(frozen[f]);
        if (part.empty() || (!calls[k].text && calls[k].what == white) || own(calls[k], f)) continue;
        const bool covered = std::any_of(calls.begin() + k + 1, calls.end(), [&](const Call& later) {
          return !later.text && later.what == white && later.box.holds(part);
        });
        if (!covered)
          faults.push_back(std::string(frozenName[f]) + " shows " +
                           (calls[k].text ? "\"" + calls[k].what + "\"" : calls[k].what) + " at " +
                           std::to_string(calls[k].box.x0) + "," + std::to_string(calls[k].box.y0));
      }
    }
    EXPECT_TRUE(faults.empty()) << faults.size() << " faults, the first: " << faults.front();
  }
}

}  // namespace

// Names and machines sharing long beginnings or endings: each line and column
// shows a text of its own, shortened where the map is narrow, whole when wide.
TEST_F(HeatMapScrolled, NamesAndTitlesSharingLongBeginningsAreToldApart) {
  const std::string dna = "reverse_complement_of_a_dna_sequence_read_from_a_fasta_file_",
                    matrix = "_f32_large_square_matrices_with_row_padding";
  const std::set<std::string> benches = {dna + "v1", dna + "v2", dna + "blocked_v1", "matrix_transpose_naive" + matrix,
                                         "matrix_transpose_tiled" + matrix, "mandelbrot",
                                         "spectral_norm_power_iteration_variant_scalar_with_double_precision_accumulators",
                                         "spectral_norm_power_iteration_variant_simd_with_double_precision_accumulators"};
  auto data = dataSetOf({});
  for (const char* cpu : {"AMD EPYC 7763 64-Core Processor", "AMD EPYC 9654 96-Core Processor"}) {
    auto c = contribution(cpu, {});
    for (const std::string& b : benches)
      for (const char* opt : {"O0", "O3"}) c->runs->add(makeRun({.bench = b.c_str(), .opt = opt, .best = 100}));
    data->replace(data->contributions().adding(c));
  }
  auto view = chart(data);
  view->mode = 2;
  view->rebuild();
  for (int width : {640, 1920}) {
    resize(view, std::max(width, view->minimumWidth()), 400);
    RecordingGraphics g;
    view->drawRect(g, UXRect(0, 0, int16_t(view->frame().w()), 400));
    // The columns differ by their settings alone: each machine stands on a
    // line of its own below its level, cut.
    std::set<std::string> names;
    std::map<int, std::string> settings;  // by column x: the setting's lines
    for (const std::string& line : g.lines) {
      const auto t = drawnText(line);
      if (t && t->x == L::kNameX && t->y >= L::kFirstLine && t->text != "geometric mean") names.insert(t->text);
      if (t && t->y == L::kSettingY) EXPECT_TRUE(t->text == "O0" || t->text == "O3") << t->text;
      if (t && t->y == L::kSettingY) settings[t->x] = t->text + settings[t->x];
      if (t && t->y == L::kMachineY) settings[t->x] += " " + t->text;
      if (t && t->y == L::kMachineY) EXPECT_NE(t->text.find("\xE2\x80\xA6"), std::string::npos) << t->text;
      // Every name ends inside the names column, every header inside its column.
      const int64_t end = t ? t->x + int64_t(gDriver->textWidth(t->text.c_str(), t->size)) : 0;
      if (t && t->x == L::kNameX && t->y >= L::kFirstLine) EXPECT_LE(end, view->heatMap->namesWidth()) << t->text;
      if (t && (t->y == L::kSettingY || t->y == L::kSeriesY || t->y == L::kMachineY))
        EXPECT_LE(end, t->x - L::kHeaderInset + view->heatMap->cellW()) << t->text;
    }
    std::set<std::string> distinct;
    for (const auto& [x, setting] : settings) distinct.insert(setting);
    EXPECT_EQ(distinct.size(), 4u) << g.text();
    EXPECT_EQ(names.size(), benches.size()) << g.text();
    EXPECT_EQ(names == benches, width == 1920) << g.text();
  }
}

// Settings keep architecture and level whole on their line, and with the
// machine's line below read as their own column alone.
TEST_F(HeatMapScrolled, SettingsKeepArchitectureAndLevelWhole) {
  const std::vector<std::string> machines = {"Ampere Altra Max M128-30", "Ampere Altra Q80-30",
                                             "Raspberry Pi 5 (Cortex-A76)", "Raspberry Pi 4 (Cortex-A72)",
                                             "AMD EPYC 7763 64-Core Processor", "AMD EPYC 9654 96-Core Processor"};
  auto data = dataSetOf({});
  std::vector<std::string> full;
  for (const std::string& m : machines) {
    auto c = contribution(m.c_str(), {});
    for (const char* opt : {"O0", "O3"}) {
      c->runs->add(makeRun({.bench = "fib", .opt = opt, .arch = "aarch64", .best = 100}));
      full.push_back(std::string("aarch64 ") + opt + " " + m);
    }
    data->replace(data->contributions().adding(c));
  }
  auto view = chart(data);
  view->mode = 2;
  view->rebuild();
  resize(view, 2400, 400);  // the widest columns: the headers are cut all the same
  RecordingGraphics g;
  view->drawRect(g, UXRect(0, 0, int16_t(view->frame().w()), 400));
  std::map<int, std::string> byColumn;
  for (const std::string& line : g.lines)
    if (const auto t = drawnText(line); t && t->y == L::kSettingY) {
      EXPECT_TRUE(t->text == "aarch64 O0" || t->text == "aarch64 O3") << t->text;
      byColumn[t->x] = t->text + byColumn[t->x];
    } else if (t && t->y == L::kMachineY) {
      byColumn[t->x] += " " + t->text;
    }
  std::set<std::string> settings;
  for (const auto& [x, setting] : byColumn) {
    settings.insert(setting);
    EXPECT_EQ(readersOf(setting, full), 1) << setting;
  }
  EXPECT_EQ(settings.size(), full.size()) << g.text();
}

// --- What the heat map draws for its names and headings ----------------------------

namespace {

using namestest::DrawnItem;

// What one draw of a whole map showed: each column's heading and each
// line's name beside the texts they stand for, and the note.
struct Shown {
  std::vector<DrawnItem> headings, names;
  std::string note;
  std::vector<std::string> faults;  // texts past their room, columns or lines not drawn
};

// Draws the map as wide as `room` or its least width, in bands as a scroll
// view does, and reads back the title rows and the names column. A
// heading reads "series\nsetting machine", as the setting's text is.
Shown drawnNamesOf(HeatMap& map, int64_t room) {
  const int64_t width = std::max<int64_t>(room, map.minimumWidth());
  map.width = uint32_t(width);
  const int64_t names = map.namesWidth(), cell = map.cellW(), titles = map.titleRows();
  const uint32_t M = map.colSeries->count(), N = map.benches->count();
  Shown out;
  std::vector<std::string> series(M), setting(M), machine(M);
  std::vector<int> lines(M, 0), named(N, 0);
  int64_t below = 0;  // the note's room above the headings
  constexpr int64_t kBand = 30000;
  for (int64_t left = 0; left < width; left += kBand) {
    chart::ChartBand band;
    band.originX = left, band.left = left, band.right = std::min(left + kBand, width);
    band.bottom = map.height();
    RecordingGraphics g;
    drawHeatMap(map, g, band);
    for (const std::string& line : g.lines) {
      const auto t = drawnText(line);
      if (!t) continue;
      const int64_t x = t->x + left, end = x + gDriver->textWidth(t->text.c_str(), t->size);
      if (t->colour == "150 70 20 255") {
        if (left == 0) out.note = t->text;
        below = L::kNoteRoom;
      } else if (t->y < titles && x >= names + L::kHeaderInset) {
        const int64_t j = (x - names - L::kHeaderInset) / cell;
        const int64_t down = t->y - below;
        if (j >= int64_t(M) || x != names + j * cell + L::kHeaderInset) continue;  // the title
        if (end > names + (j + 1) * cell) out.faults.push_back("heading past its column: " + t->text);
        if (t->y + t->size > titles) out.faults.push_back("heading over the first line: " + t->text);
        ++lines[j];
        if (down == L::kSeriesY) series[j] = t->text;
        else if (down == L::kSettingY) setting[j] = t->text;
        else if (down == L::kMachineY) machine[j] = " " + t->text;
        else out.faults.push_back("heading at " + std::to_string(t->y) + ": " + t->text);
      } else if (left == 0 && x == L::kNameX && t->y >= titles && t->y < titles + int64_t(N) * L::kLine) {
        const int64_t i = (t->y - titles) / L::kLine;
        if (end > names) out.faults.push_back("name past its column: " + t->text);
        ++named[i];
        out.names.push_back({str(cast<String>(map.benches->get(uint32_t(i)))), t->text});
      }
    }
  }
  for (uint32_t j = 0; j < M; ++j) {
    if (lines[j] < 2) out.faults.push_back("column " + std::to_string(j) + " drew " + std::to_string(lines[j]) + " lines");
    out.headings.push_back({str(cast<String>(map.colSeries->get(j))) + "\n" + str(cast<String>(map.colSetting->get(j))),
                            series[j] + "\n" + setting[j] + machine[j]});
  }
  for (uint32_t i = 0; i < N; ++i)
    if (named[i] != 1) out.faults.push_back("line " + std::to_string(i) + " named " + std::to_string(named[i]) + " times");
  return out;
}

// Each heading and name reads as its own item alone, with letter case
// ignored too; nothing is drawn past its room and no note says "alike".
int expectNamesToldApart(HeatMap& map, int64_t room, const std::string& where) {
  const Shown shown = drawnNamesOf(map, room);
  EXPECT_TRUE(shown.faults.empty()) << where << ": " << shown.faults.size() << " faults, the first "
                                    << shown.faults.front();
  int broken = namestest::expectToldApart(shown.headings, where + ", headings") +
               namestest::expectToldApart(shown.names, where + ", names");
  for (const std::vector<DrawnItem>* items : {&shown.headings, &shown.names}) {
    std::vector<DrawnItem> caseless;
    for (const DrawnItem& item : *items) caseless.push_back({textkeys::folded(item.whole), textkeys::folded(item.drawn)});
    broken += namestest::expectToldApart(caseless, where + ", letter case ignored");
  }
  EXPECT_EQ(shown.note.find("alike"), std::string::npos) << where << ": " << shown.note;
  return broken;
}

using HeatMapNames = ChartFixture;

// Heat maps of the named, generated and ordinary corpora and of machines
// apart by letter case, drawn narrow to wide under three text measures.
TEST_F(HeatMapNames, EveryHeadingAndNameDrawnTellsItsItemApart) {
  struct Row {
    std::string what;
    namestest::CorpusShape shape;
    std::vector<int64_t> rooms;
  };
  std::vector<Row> rows;
  std::mt19937 rng(61);
  rows.push_back({"the named corpus", namestest::namedCorpus(), {20000, 300, 4000, 1200}});
  for (int round = 0; round < test::rounds(60); ++round) {
    const size_t machines = round % 4 == 3 ? 1 + rng() % 300 : 1 + rng() % 12;
    rows.push_back({"round " + std::to_string(round), namestest::generatedCorpus(rng, machines),
                    {int64_t(200 + rng() % 4000)}});
  }
  rows.push_back({"16 languages on 320 machines", namestest::ordinaryCorpus(rng, 16, 320), {800}});
  {
    namestest::CorpusShape shape = namestest::namedCorpus();
    shape.machines = {"AMD EPYC 9654 96-Core Processor (lab cluster west, rack 7, slot 12)",
                      "Amd Epyc 9654 96-Core Processor (lab cluster west, rack 7, slot 13)",
                      "Ampere Altra Max M128-30 (lab cluster west, rack 7, slot 12)", "amd epyc 7763", "AMD EPYC 7764"};
    rows.push_back({"machines apart by letter case", shape, {300, 1200, 4000}});
  }
  // One map drawn under each measure in turn: nothing kept from one draw
  // may stand for another's.
  const Ref<UXViewDriver> headless = gDriver;
  const std::pair<Ref<UXViewDriver>, std::string> measures[] = {
      {headless, ""}, {make<namestest::ProportionalDriver>(), " measured proportionally"},
      {uxMakePlatformDriver(), " measured by the platform"}};
  int broken = 0;
  for (const Row& row : rows) {
    auto view = chart(namestest::corpusOf(row.shape));
    view->mode = 2;
    view->rebuild();
    HeatMap& map = *view->heatMap;
    ASSERT_GT(map.colSeries->count(), 0u) << row.what;
    for (const auto& [driver, measure] : measures) {
      gDriver = driver;
      for (int64_t room : row.rooms) broken += expectNamesToldApart(map, room, row.what + " at " + std::to_string(room) + measure);
      gDriver = headless;
      if (broken > 20) FAIL() << "more than 20 items broke the rule";
    }
  }
}

}  // namespace

// Columns and lines whose texts differ only by letter case (set by hand: a
// build never makes them): the note says how many read alike, and the
// title rows grow to hold it.
TEST_F(HeatMapNames, TheNoteSaysHowManyReadAlike) {
  auto c = contribution("c", {{.bench = "fib", .best = 10}, {.bench = "fib", .opt = "O2", .best = 20},
                              {.bench = "sieve", .best = 30}});
  auto view = chart(dataSetOf({c}));
  view->mode = 2;
  view->rebuild();
  HeatMap& map = *view->heatMap;
  const int64_t whole = map.titleRows();
  EXPECT_EQ(whole, L::titleRows(false));
  const struct {
    std::vector<const char*> benches, series, settings;
    const char* note;
  } cases[] = {
      {{"fib", "sieve"}, {"rust", "Rust"}, {"O3", "O3"}, "2 of 2 headings read alike; narrow the filters"},
      {{"fib", "FIB", "sieve"}, {"rust", "rust"}, {"O2", "O3"}, "2 of 3 names read alike; narrow the filters"},
      {{"Sieve", "sieve"}, {"rust", "Rust", "rust"}, {"O3", "O3", "O2"},
       "2 of 3 headings read alike, 2 of 2 names read alike; narrow the filters"},
      {{"fib", "sieve"}, {"rust", "rust"}, {"O2", "O3"}, nullptr},
  };
  for (const auto& k : cases) {
    const auto listOf = [](const std::vector<const char*>& texts) {
      auto list = make<Array>();
      for (const char* t : texts) list->add(S(t));
      return list;
    };
    map.benches = listOf(k.benches), map.colSeries = listOf(k.series), map.colSetting = listOf(k.settings);
    RecordingGraphics g;
    drawHeatMap(map, g);
    const std::string text = g.text();
    SCOPED_TRACE(text.substr(0, 1500));
    EXPECT_EQ(map.titleRows(), whole + (k.note ? L::kNoteRoom : 0));
    EXPECT_EQ(map.height(), map.titleRows() + L::belowTitles(int64_t(k.benches.size())));
    if (k.note)
      EXPECT_NE(text.find("\"" + std::string(k.note) + "\" 12 26 150 70 20 255 11"), std::string::npos);
    else
      EXPECT_EQ(text.find("alike"), std::string::npos);
    // Scrolled any way, the note stays at the top left, painted over by nothing.
    for (const auto& [left, top] : {std::pair{0, 90}, {70, 0}, {70, 90}}) {
      chart::ChartBand band;
      band.originX = band.left = left, band.originY = band.top = top;
      band.right = left + 400, band.bottom = top + 300;
      RecordingGraphics scrolled;
      drawHeatMap(map, scrolled, band);
      const std::vector<Call> calls = callsOf(scrolled);
      const auto note = std::find_if(calls.begin(), calls.end(), [](const Call& c) {
        return c.text && c.what.find("alike") != std::string::npos;
      });
      ASSERT_EQ(note != calls.end(), k.note != nullptr) << left << "," << top;
      if (!k.note) continue;
      EXPECT_EQ(note->what, k.note);
      EXPECT_EQ(note->box.x0, L::kTitleX);
      EXPECT_EQ(note->box.y0, L::kNoteY);
      for (auto later = note + 1; later != calls.end(); ++later)
        EXPECT_TRUE(later->box.meet(note->box).empty()) << later->what << " over the note at " << left << "," << top;
    }
  }
}
