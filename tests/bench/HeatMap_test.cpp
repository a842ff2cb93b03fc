// HeatMap model: lines, columns, lookups, ratios, means, colours, texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>
#include <random>

#include "BenchTestSupport.h"
#include "Rounds.h"
#include "bench/ChartNames.h"
#include "bench/HeatMap.h"
#include "bench/HeatMapHeadings.h"
#include "bench/TextKeys.h"

using namespace quorl;
using namespace quorl::benchtest;

namespace {

struct RowSpec {
  const char *bench, *series, *setting;
  double value;
  double mean = 0, stddev = 0;
  bool timed = true, sampled = true;
};

Ref<ChartRow> row(const RowSpec& spec, const Ref<Contribution>& owner, const char* machine = "m") {
  auto r = make<ChartRow>();
  r->bench = S(spec.bench);
  r->series = S(spec.series);
  r->setting = S(spec.setting);
  r->value = spec.value;
  r->mean = spec.mean ? spec.mean : spec.value;
  r->stddev = spec.stddev;
  r->timed = spec.timed;
  r->sampled = spec.sampled;
  r->contribution = owner;
  r->machineText = S(machine);
  return r;
}

Ref<Array> rowsOf(std::initializer_list<RowSpec> specs, const Ref<Contribution>& owner) {
  auto rows = make<Array>();
  for (const auto& s : specs) rows->add(row(s, owner));
  return rows;
}

std::string columns(const HeatMap& map) {
  std::string out;
  for (uint32_t j = 0; j < map.colSeries->count(); ++j) {
    if (j) out += ", ";
    out += str(cast<String>(map.colSeries->get(j))) + "@" + str(cast<String>(map.colSetting->get(j)));
  }
  return out;
}

std::string benches(const HeatMap& map) {
  std::string out;
  for (uint32_t i = 0; i < map.benches->count(); ++i) out += (i ? "," : "") + str(cast<String>(map.benches->get(i)));
  return out;
}

std::string rgbText(uint32_t c) {
  return std::to_string(c >> 16) + "," + std::to_string((c >> 8) & 255) + "," + std::to_string(c & 255);
}

}  // namespace

TEST(HeatMapInit, EmptyMap) {
  HeatMap map;
  EXPECT_EQ(map.width, 800u);
  EXPECT_EQ(map.baseline, nullptr);
  EXPECT_EQ(map.benches->count(), 0u);
  EXPECT_EQ(map.height(), 220u);
  EXPECT_EQ(map.cellW(), 100);
  EXPECT_EQ(str(map.description()), "<HeatMap>(800)");
  map.width = 40000;
  EXPECT_EQ(str(map.description()), "<HeatMap>(-25536)");
}

TEST(HeatMapBuild, ColumnOrderWhateverTheRowOrder) {
  std::vector<RowSpec> specs = {{"b", "C++ (clang)", "O2", 1}, {"b", "quorl", "O2", 1}, {"b", "Swift", "O1", 1},
                                {"b", "QUORL", "O3", 1}};
  std::vector<int> order = {0, 1, 2, 3};
  auto owner = make<Contribution>();
  do {
    auto rows = make<Array>();
    for (int k : order) rows->add(row(specs[k], owner));
    HeatMap map;
    map.build(rows, nullptr, 800);
    EXPECT_EQ(columns(map), "Swift@O1, quorl@O2, C++ (clang)@O2, QUORL@O3");
  } while (std::next_permutation(order.begin(), order.end()));
}

TEST(HeatMapBuild, ColumnOrderRules) {
  auto owner = make<Contribution>();
  HeatMap map;
  map.build(rowsOf({{"b", "swift", "Os", 1},
                    {"b", "Zig", "O2", 1},
                    {"b", "apple", "O2", 1},
                    {"b", "Quorl", "O2", 1},
                    {"b", "beta", "o2", 1},
                    {"b", "C++ (GCC)", "O2", 1},
                    {"b", "c++ (clang)", "O2", 1},
                    {"b", "_x", "O2", 1}},
                   owner),
            nullptr, 800);
  // Settings in byte order (O2 < Os < o2); own language first; the rest by
  // lowercased bytes, so "Zig" sorts after "apple" and "_x" before both.
  EXPECT_EQ(columns(map), "Quorl@O2, _x@O2, apple@O2, c++ (clang)@O2, C++ (GCC)@O2, Zig@O2, swift@Os, beta@o2");
}

TEST(HeatMapBuild, ColumnsAndLinesAreDistinctIgnoringCase) {
  auto owner = make<Contribution>();
  HeatMap map;
  map.build(rowsOf({{"Fib", "quorl", "O3", 1},
                    {"fib", "QUORL", "o3", 2},
                    {"nbody", "Swift", "O3", 3},
                    {"FIB", "swift", "O3", 4},
                    {"a|b", "c", "O3", 5},
                    {"x", "a", "b|c", 6},
                    {"y", "a|b", "c", 7}},
                   owner),
            nullptr, 800);
  EXPECT_EQ(benches(map), "Fib,nbody,a|b,x,y");
  // "a|b|c" is one key whether the bar belongs to the series or the setting.
  EXPECT_EQ(columns(map), "quorl@O3, c@O3, Swift@O3, a@b|c");
  EXPECT_EQ(map.height(), 6u * 26 + 144);
}

TEST(HeatMapBuild, TwoMachinesGetTheirOwnColumns) {
  auto a = make<Contribution>(), b = make<Contribution>();
  auto rows = make<Array>();
  rows->add(row({"int_accum", "quorl", "O2", 100}, a, "Apple M2"));
  rows->add(row({"int_accum", "quorl", "O2", 120}, b, "Ryzen 7950X"));
  rows->add(row({"nbody", "quorl", "O3", 50}, a, nullptr));
  HeatMap map;
  map.build(rows, nullptr, 800);
  EXPECT_EQ(str(cast<ChartRow>(rows->get(0))->setting), "O2 Apple M2");
  EXPECT_EQ(str(cast<ChartRow>(rows->get(1))->setting), "O2 Ryzen 7950X");
  EXPECT_EQ(str(cast<ChartRow>(rows->get(2))->setting), "O3");  // no machine text: kept
  EXPECT_EQ(columns(map), "quorl@O2 Apple M2, quorl@O2 Ryzen 7950X, quorl@O3");
  EXPECT_EQ(benches(map), "int_accum,nbody");
  EXPECT_EQ(map.rows, rows);
}

TEST(HeatMapBuild, SameMachineLabelSharesOneColumn) {
  auto a = make<Contribution>(), b = make<Contribution>();
  auto rows = make<Array>();
  rows->add(row({"int_accum", "quorl", "O2", 100}, a, "Box"));
  rows->add(row({"INT_ACCUM", "Quorl", "o2", 120}, b, "box"));
  HeatMap map;
  map.build(rows, nullptr, 800);
  EXPECT_EQ(columns(map), "quorl@O2 Box");
  EXPECT_EQ(map.cell(0, 0), rows->get(0));  // the earlier row
}

TEST(HeatMapBuild, OneContributionTwiceIsNoDuplicate) {
  auto a = make<Contribution>();
  auto rows = rowsOf({{"b", "quorl", "O2", 100}, {"b", "quorl", "O2", 50}}, a);
  HeatMap map;
  map.build(rows, nullptr, 800);
  EXPECT_EQ(columns(map), "quorl@O2");
  EXPECT_EQ(map.cell(0, 0), rows->get(0));
  double r;
  bool grey;
  ASSERT_TRUE(map.ratio(0, 0, r, grey));
  EXPECT_EQ(r, 2.0);  // the first run against the fastest, the second
}

TEST(HeatMapBuild, MissingTextsNeverMatch) {
  auto a = make<Contribution>(), b = make<Contribution>();
  auto rows = make<Array>();
  rows->add(row({nullptr, "quorl", "O2", 1}, a));
  rows->add(row({nullptr, "quorl", "O2", 1}, b));
  rows->add(row({"b", nullptr, nullptr, 1}, a));
  HeatMap map;
  map.build(rows, nullptr, 800);
  EXPECT_EQ(str(cast<ChartRow>(rows->get(0))->setting), "O2");  // no duplicate without a bench
  EXPECT_EQ(map.benches->count(), 3u);
  EXPECT_EQ(columns(map), "<null>@<null>, quorl@O2");
  double r;
  bool grey;
  EXPECT_FALSE(map.ratio(0, 1, r, grey));
  EXPECT_EQ(map.find(nullptr, S("quorl"), S("O2")), nullptr);
  EXPECT_EQ(map.fastest(0), nullptr);
}

TEST(HeatMapBuild, RebuildReplacesEverything) {
  auto owner = make<Contribution>();
  HeatMap map;
  map.build(rowsOf({{"a", "x", "O1", 1}, {"b", "y", "O2", 1}}, owner), S("x"), 500);
  map.build(make<Array>(), nullptr, 640);
  EXPECT_EQ(map.benches->count(), 0u);
  EXPECT_EQ(map.colSeries->count(), 0u);
  EXPECT_EQ(map.colSetting->count(), 0u);
  EXPECT_EQ(map.baseline, nullptr);
  EXPECT_EQ(map.width, 640u);
  EXPECT_EQ(map.height(), 220u);
}

TEST(HeatMapRatio, AgainstTheFastest) {
  auto owner = make<Contribution>();
  auto rows = rowsOf({{"b", "quorl", "O3", 200},
                      {"b", "cpp", "O3", 100},
                      {"b", "gcc", "O3", 100},  // ties keep the earlier row
                      {"b", "swift", "O3", 0},
                      {"c", "quorl", "O3", -5},
                      {"c", "cpp", "O3", 40},
                      {"b", "zz", "O3", 50, 50, 0, false}},  // no time: neither the fastest nor measured
                     owner);
  HeatMap map;
  map.build(rows, nullptr, 800);
  ASSERT_EQ(columns(map), "quorl@O3, cpp@O3, gcc@O3, swift@O3, zz@O3");
  EXPECT_EQ(map.fastest(0), rows->get(1));
  EXPECT_EQ(map.fastest(1), rows->get(5));
  struct Case {
    uint32_t i, j;
    bool measured;
    double ratio;
  } cases[] = {{0, 0, true, 2.0}, {0, 1, true, 1.0}, {0, 2, true, 1.0}, {0, 3, false, 0}, {0, 4, false, 0},
               {1, 0, false, 0},  {1, 1, true, 1.0}, {1, 2, false, 0},  {1, 3, false, 0}, {1, 4, false, 0}};
  for (const auto& c : cases) {
    double r = -1;
    bool grey = true;
    EXPECT_EQ(map.ratio(c.i, c.j, r, grey), c.measured) << c.i << "," << c.j;
    EXPECT_EQ(r, c.ratio) << c.i << "," << c.j;
    EXPECT_FALSE(grey);
  }
}

TEST(HeatMapRatio, GreyWithinTheCombinedDeviation) {
  struct Case {
    double meanA, sdA, meanB, sdB;
    bool grey;
    bool sampledB = true;  // false: B's mean is of no samples
  } cases[] = {
      {104, 3, 100, 3, true},  {105, 3, 100, 3, false}, {100, 0, 100, 0, false},
      {101, 1, 100, 0, true},  {102, 0, 100, 1, false}, {100, 0.5, 100, 0, true},
      {100, 100, 0.0001, 0, false, false},
  };
  for (const auto& c : cases) {
    auto owner = make<Contribution>();
    auto rows = make<Array>();
    rows->add(row({"b", "slow", "O3", 110, c.meanA, c.sdA}, owner));
    rows->add(row({"b", "fast", "O3", 100, c.meanB, c.sdB, true, c.sampledB}, owner));
    HeatMap map;
    map.build(rows, nullptr, 800);
    double r;
    bool grey;
    ASSERT_TRUE(map.ratio(0, 1, r, grey));  // columns: fast, slow
    EXPECT_EQ(r, 1.1);
    EXPECT_EQ(grey, c.grey) << c.meanA << " " << c.sdA << " " << c.meanB << " " << c.sdB;
    ASSERT_TRUE(map.ratio(0, 0, r, grey));  // its own reference
    EXPECT_EQ(r, 1.0);
    EXPECT_FALSE(grey);
  }
}

TEST(HeatMapRatio, AgainstABaseline) {
  auto owner = make<Contribution>();
  auto rows = rowsOf({{"a", "quorl", "O3", 100},
                      {"a", "cpp", "O3", 150},
                      {"a", "cpp", "O2", 90},
                      {"b", "quorl", "O3", 300},
                      {"b", "cpp", "O3", 100}},
                     owner);
  HeatMap map;
  map.build(rows, S("QUORL"), 800);
  ASSERT_EQ(columns(map), "cpp@O2, quorl@O3, cpp@O3");
  double r;
  bool grey;
  EXPECT_FALSE(map.ratio(0, 0, r, grey));  // no quorl run at O2
  EXPECT_EQ(map.baseOf(0, 0), nullptr);
  ASSERT_TRUE(map.ratio(0, 1, r, grey));
  EXPECT_EQ(r, 1.0);
  ASSERT_TRUE(map.ratio(1, 1, r, grey));
  EXPECT_EQ(r, 1.0);
  ASSERT_TRUE(map.ratio(0, 2, r, grey));
  EXPECT_EQ(r, 1.5);
  ASSERT_TRUE(map.ratio(1, 2, r, grey));
  EXPECT_DOUBLE_EQ(r, 1.0 / 3.0);
  double m;
  EXPECT_FALSE(map.geomean(0, m));
  EXPECT_EQ(m, 0.0);
  ASSERT_TRUE(map.geomean(2, m));
  EXPECT_DOUBLE_EQ(m, std::sqrt(1.5 / 3.0));
  ASSERT_TRUE(map.geomean(1, m));
  EXPECT_EQ(m, 1.0);
}

TEST(HeatMapGeomean, LeavesTheOutlierOut) {
  auto owner = make<Contribution>();
  auto rows = rowsOf({{"int_accum", "quorl", "O3", 117900},
                      {"int_accum", "C++ (clang)", "O3", 126100},
                      {"MATRIX_MUL_F32", "quorl", "O3", 48210},
                      {"MATRIX_MUL_F32", "C++ (clang)", "O3", 21890},
                      {"nbody", "quorl", "O3", 310500}},
                     owner);
  HeatMap map;
  map.build(rows, S("quorl"), 800);
  EXPECT_EQ(benches(map), "int_accum,MATRIX_MUL_F32,nbody");  // still a line of its own
  double m;
  ASSERT_TRUE(map.geomean(1, m));  // C++ (clang)
  EXPECT_EQ(m, std::exp(std::log(126100.0 / 117900.0)));
  EXPECT_NEAR(m, 1.0695505142211914, 1e-6);
  double r;
  bool grey;
  ASSERT_TRUE(map.ratio(1, 1, r, grey));
  EXPECT_NEAR(r, 21890.0 / 48210.0, 1e-15);

  auto onlyOutlier = rowsOf({{"matrix_mul_f32", "quorl", "O3", 1}}, owner);
  map.build(onlyOutlier, nullptr, 800);
  EXPECT_FALSE(map.geomean(0, m));
}

TEST(HeatMapSizes, HeightAndCellWidth) {
  auto owner = make<Contribution>();
  HeatMap map;
  map.build(rowsOf({{"a", "s", "O", 1}, {"b", "s", "O", 1}, {"c", "s", "O", 1}}, owner), nullptr, 800);
  EXPECT_EQ(map.height(), 248u);
  struct Case {
    uint32_t width, columns;
    int32_t cellW;
  } cases[] = {{800, 1, 130}, {800, 5, 126}, {800, 6, 105}, {800, 10, 96}, {100, 1, 96}, {0, 1, 96},
               {166, 1, 96},  {262, 1, 96},  {263, 1, 97},  {296, 1, 130}};
  for (const auto& c : cases) {
    auto rows = make<Array>();
    for (uint32_t j = 0; j < c.columns; ++j) rows->add(row({"b", "s", std::to_string(j).c_str(), 1}, owner));
    map.build(rows, nullptr, c.width);
    ASSERT_EQ(map.colSeries->count(), c.columns);
    EXPECT_EQ(map.cellW(), c.cellW) << c.width << " " << c.columns;
    // Every column at its least width, and the names column beside them.
    EXPECT_EQ(map.minimumWidth(), int32_t(166 + 96 * c.columns)) << c.columns;
  }
}

TEST(HeatMapColours, Diverging) {
  struct Case {
    double ratio;
    const char* rgb;
  } cases[] = {
      {1, "255,255,255"},   {2, "227,147,147"}, {0.5, "140,197,162"}, {4, "200,40,40"},   {100, "200,40,40"},
      {0.25, "26,140,70"},  {0.01, "26,140,70"}, {0, "26,140,70"},     {1.0001, "254,254,254"},
      {-1, "0,0,0"},  // no ratio below 0 is ever drawn; NaN reads as 0
  };
  for (const auto& c : cases) EXPECT_EQ(rgbText(HeatMap::colorFor(c.ratio)), c.rgb) << c.ratio;
}

TEST(HeatMapColours, Sequential) {
  struct Case {
    double ratio;
    const char* rgb;
  } cases[] = {
      {1, "99,190,123"}, {2, "250,225,120"}, {4, "214,64,52"},   {9, "214,64,52"},
      {1.5, "187,210,121"}, {3, "228,130,80"}, {0.5, "99,190,123"}, {0, "99,190,123"},
  };
  for (const auto& c : cases) EXPECT_EQ(rgbText(HeatMap::colorBehind(c.ratio)), c.rgb) << c.ratio;
}

TEST(HeatMapColours, ShadeFollowsTheBaseline) {
  HeatMap map;
  EXPECT_EQ(map.shade(2), HeatMap::colorBehind(2));
  map.baseline = S("quorl");
  EXPECT_EQ(map.shade(2), HeatMap::colorFor(2));
}

TEST(HeatMapText, RatioText) {
  struct Case {
    double ratio;
    const char* text;
  } cases[] = {
      {1.2, "1.20x slower"},  {0.5, "2.00x faster"},   {12.3, "12x slower"},    {0.05, "20x faster"},
      {1.004, "same"},        {0.996, "same"},         {1.0, "same"},           {9.999, "10.00x slower"},
      {10.0, "10x slower"},   {1.005, "1.00x slower"},  // 1.005 lies just above the single-precision bound
      {1.0049999952316284, "1.00x slower"},            {1.0049999, "same"},     {12.5, "12x slower"},
      {13.5, "14x slower"},   {0.1, "10x faster"},
  };
  for (const auto& c : cases) EXPECT_EQ(str(HeatMap::ratioText(c.ratio)), c.text) << c.ratio;
}

TEST(HeatMapText, Clip) {
  auto six = S("abcdef");
  EXPECT_EQ(str(HeatMap::clip(six, 3)), "abc");
  EXPECT_EQ(HeatMap::clip(six, 6), six);  // the same object
  EXPECT_EQ(HeatMap::clip(six, 99), six);
  EXPECT_EQ(str(HeatMap::clip(six, 0)), "");
  EXPECT_EQ(str(HeatMap::clip(six, -4)), "");
  auto hundred = S(std::string(100, 'x').c_str());
  EXPECT_EQ(HeatMap::clip(hundred, 80)->byteLength(), 63u);
  EXPECT_EQ(HeatMap::clip(hundred, 63)->byteLength(), 63u);
  EXPECT_EQ(HeatMap::clip(hundred, 62)->byteLength(), 62u);
  EXPECT_EQ(HeatMap::clip(hundred, 100), hundred);
  auto utf8 = S("\xC3\xA4\xC3\xB6");  // two 2-byte characters, cut in the middle
  auto cut = HeatMap::clip(utf8, 3);
  ASSERT_EQ(cut->byteLength(), 3u);
  EXPECT_EQ(cut->byteAt(2), 0xC3);
  EXPECT_EQ(HeatMap::clip(nullptr, 3), nullptr);
}

TEST(HeatMapHelpers, AddOnceAndBefore) {
  auto list = make<Array>();
  EXPECT_TRUE(HeatMap::addOnce(list, S("Fib")));
  EXPECT_FALSE(HeatMap::addOnce(list, S("FIB")));
  EXPECT_TRUE(HeatMap::addOnce(list, S("nbody")));
  EXPECT_EQ(list->count(), 2u);
  EXPECT_EQ(str(cast<String>(list->get(0))), "Fib");

  struct Case {
    const char *s, *t, *s2, *t2;
    bool before;
  } cases[] = {
      {"zig", "O1", "quorl", "O2", true},   {"quorl", "O2", "zig", "O1", false}, {"quorl", "O2", "apple", "O2", true},
      {"apple", "O2", "QUORL", "O2", false}, {"quorl", "O2", "quorl", "O2", false}, {"Apple", "O2", "banana", "O2", true},
      {"banana", "O2", "Apple", "O2", false}, {"a", "O2", "a", "O2", false},       {"x", "O", "x", "O2", true},
      {"x", "Os", "x", "o1", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HeatMap::before(S(c.s), S(c.t), S(c.s2), S(c.t2)), c.before)
        << c.s << "@" << c.t << " < " << c.s2 << "@" << c.t2;
  }
}

TEST(HeatMapLookups, IndicesPastTheGridAreNotMeasured) {
  auto owner = make<Contribution>();
  HeatMap map;
  map.build(rowsOf({{"b", "quorl", "O2", 10}, {"b", "cpp", "O2", 20}}, owner), nullptr, 800);
  ASSERT_EQ(map.benches->count(), 1u);
  ASSERT_EQ(map.colSeries->count(), 2u);
  EXPECT_EQ(map.cell(1, 0), nullptr);
  EXPECT_EQ(map.cell(0, 2), nullptr);
  EXPECT_EQ(map.fastest(1), nullptr);
  double r = 5;
  bool grey = true;
  EXPECT_FALSE(map.ratio(0, 7, r, grey));
  EXPECT_EQ(r, 0.0);
  EXPECT_FALSE(grey);
  double mean = 5;
  EXPECT_FALSE(map.geomean(9, mean));
  EXPECT_EQ(mean, 0.0);
  map.build(map.rows, S("quorl"), 800);
  EXPECT_EQ(map.baseOf(0, 2), nullptr);
  EXPECT_EQ(map.baseOf(3, 0), nullptr);
  EXPECT_TRUE(map.ratio(0, 1, r, grey));
  EXPECT_DOUBLE_EQ(r, 2.0);
}

namespace {

// The build written out step by step as the rules state it (pairwise
// duplicate search, "%s|%s" keys compared ignoring case, insertion before
// the first column the new one precedes), to check the hashed build against.
struct LiteralBuild {
  std::vector<std::string> benches, series, settings;
};

std::string lower(std::string s) {
  for (char& c : s) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
  return s;
}

LiteralBuild literalBuild(const std::vector<Ref<ChartRow>>& rows) {
  bool duplicate = false;
  for (size_t a = 0; a < rows.size() && !duplicate; ++a) {
    for (size_t b = a + 1; b < rows.size() && !duplicate; ++b) {
      duplicate = rows[a]->contribution != rows[b]->contribution &&
                  lower(str(rows[a]->bench)) == lower(str(rows[b]->bench)) &&
                  lower(str(rows[a]->series)) == lower(str(rows[b]->series)) &&
                  lower(str(rows[a]->setting)) == lower(str(rows[b]->setting));
    }
  }
  std::vector<std::string> settings;
  for (const auto& r : rows) settings.push_back(duplicate ? str(r->setting) + " " + str(r->machineText) : str(r->setting));
  LiteralBuild out;
  for (size_t i = 0; i < rows.size(); ++i) {
    const std::string bench = str(rows[i]->bench), s = str(rows[i]->series), t = settings[i];
    if (std::none_of(out.benches.begin(), out.benches.end(), [&](const std::string& b) { return lower(b) == lower(bench); }))
      out.benches.push_back(bench);
    bool exists = false;
    for (size_t c = 0; c < out.series.size() && !exists; ++c) exists = lower(s + "|" + t) == lower(out.series[c] + "|" + out.settings[c]);
    if (exists) continue;
    size_t p = 0;
    while (p < out.series.size() &&
           !HeatMap::before(S(s.c_str()), S(t.c_str()), S(out.series[p].c_str()), S(out.settings[p].c_str()))) {
      ++p;
    }
    out.series.insert(out.series.begin() + static_cast<std::ptrdiff_t>(p), s);
    out.settings.insert(out.settings.begin() + static_cast<std::ptrdiff_t>(p), t);
  }
  return out;
}

}  // namespace

TEST(HeatMapBuild, AgreesWithTheRulesTakenLiterally) {
  // Names that differ only in case, contain the key separator, or make the
  // same key from different pairs ("a|b" + "c" and "a" + "b|c").
  const char* benchNames[] = {"fib", "FIB", "nbody", "n|body", "matrix_mul_f32"};
  const char* seriesNames[] = {"quorl", "QUORL", "C++ (clang)", "c++ (CLANG)", "a", "a|b", "Swift", "zig"};
  const char* settingNames[] = {"O2", "o2", "O3", "Os", "b|c", "c", "O2 x86_64"};
  const char* machines[] = {"m1", "M1", "m2"};
  uint64_t seed = 12345;
  auto next = [&](uint32_t n) {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>((seed >> 33) % n);
  };
  auto owners = std::vector<Ref<Contribution>>{make<Contribution>(), make<Contribution>(), make<Contribution>()};
  for (int round = 0; round < 300; ++round) {
    std::vector<Ref<ChartRow>> rows;
    auto array = make<Array>();
    const uint32_t count = 1 + next(24);
    for (uint32_t i = 0; i < count; ++i) {
      const uint32_t owner = next(round % 3 == 0 ? 1 : 3);
      auto r = row({benchNames[next(5)], seriesNames[next(8)], settingNames[next(7)], 1.0 + next(9)}, owners[owner],
                   machines[owner]);
      rows.push_back(r);
      array->add(r);
    }
    std::vector<Ref<ChartRow>> copies;
    for (const auto& r : rows) {
      auto c = make<ChartRow>(*r);
      copies.push_back(c);
    }
    const LiteralBuild expected = literalBuild(copies);
    HeatMap map;
    map.build(array, nullptr, 800);
    SCOPED_TRACE("round " + std::to_string(round));
    ASSERT_EQ(map.benches->count(), expected.benches.size());
    for (uint32_t i = 0; i < map.benches->count(); ++i) EXPECT_EQ(str(cast<String>(map.benches->get(i))), expected.benches[i]);
    ASSERT_EQ(map.colSeries->count(), expected.series.size()) << columns(map);
    for (uint32_t j = 0; j < map.colSeries->count(); ++j) {
      EXPECT_EQ(str(cast<String>(map.colSeries->get(j))), expected.series[j]);
      EXPECT_EQ(str(cast<String>(map.colSetting->get(j))), expected.settings[j]);
    }
  }
}

// The reading check of headings against its rule spelled out: an item is
// alike when a form of it does not read as its own text, or when another
// item (other texts in some part) has in every part a text its form reads
// as, letter case ignored; a form ending without an ellipsis before another
// part reads as its own text alone. Texts and forms drawn from a few
// letters, so that many read as others.
TEST(HeatMapHeadings, ReadAlikeFollowsTheReadingRule) {
  std::mt19937 rng(7);
  const auto pick = [&](uint32_t n) { return uint32_t(rng() % n); };
  const std::string ellipsis(chart::kEllipsis);
  for (int round = 0; round < test::rounds(400); ++round) {
    const size_t P = 1 + pick(3), items = 1 + pick(12);
    std::vector<std::vector<std::string>> texts(P), forms(P);
    std::vector<chart::ItemPart> parts(P);
    for (size_t p = 0; p < P; ++p) {
      const uint32_t distinct = 1 + pick(5);
      for (uint32_t d = 0; d < distinct; ++d) {
        std::string t;
        for (uint32_t k = 1 + pick(4); k > 0; --k) t += "abA"[pick(3)];
        if (std::find(texts[p].begin(), texts[p].end(), t) != texts[p].end()) continue;
        // A form: the text whole, cut after its first letters, before its
        // last, around its middle, or another text.
        const size_t n = t.size();
        const uint32_t how = pick(5);
        forms[p].push_back(how == 0 ? t
                           : how == 1 ? t.substr(0, pick(uint32_t(n))) + ellipsis
                           : how == 2 ? ellipsis + t.substr(n - pick(uint32_t(n)))
                           : how == 3 ? t.substr(0, 1) + ellipsis + t.substr(n - 1)
                                      : std::string(1 + pick(2), "abB"[pick(3)]));
        texts[p].push_back(t);
      }
      for (size_t k = 0; k < texts[p].size(); ++k) parts[p].texts.push_back(texts[p][k]), parts[p].forms.push_back(forms[p][k]);
      for (size_t i = 0; i < items; ++i) parts[p].of.push_back(pick(uint32_t(texts[p].size())));
    }
    const auto reads = [&](size_t p, uint32_t form, uint32_t text) {
      const std::string f = textkeys::folded(forms[p][form]), t = textkeys::folded(texts[p][text]);
      if (p + 1 < P && f.find(ellipsis) == std::string::npos) return f == t;
      return chart::readsAs(f, t);
    };
    const std::vector<uint8_t> alike = chart::readAlike(parts);
    ASSERT_EQ(alike.size(), items);
    for (size_t i = 0; i < items; ++i) {
      bool expected = false;
      for (size_t p = 0; p < P; ++p) expected = expected || !reads(p, parts[p].of[i], parts[p].of[i]);
      for (size_t j = 0; j < items && !expected; ++j) {
        bool other = false, all = true;
        for (size_t p = 0; p < P; ++p) {
          other = other || parts[p].of[j] != parts[p].of[i];
          all = all && reads(p, parts[p].of[i], parts[p].of[j]);
        }
        expected = other && all;
      }
      EXPECT_EQ(alike[i], expected) << "round " << round << ", item " << i;
    }
    if (HasFailure()) return;
  }
}
