// Short forms and fitted texts of the charts: each fits its room as
// measured, is cut between characters and tells texts apart where it can.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "NamesCorpus.h"
#include "Rounds.h"
#include "ScriptedDriver.h"
#include "bench/ChartNames.h"
#include "foundation/Array.h"
#include "foundation/String.h"
#include "ux/core/UXApplication.h"
#include "ux/headless/UXHeadlessDriver.h"

using namespace quorl;
using chart::TextMeasure;

namespace {

const std::string kDots = "\xE2\x80\xA6";

// Without a driver so many pixels a character; the headless driver's 7 a
// byte at size 12 (the ellipsis 21).
class Measured : public ::testing::Test {
 protected:
  void TearDown() override { gDriver = saved_; }
  void useDriver(bool driver) {
    if (driver) gDriver = make<UXHeadlessDriver>();
    else gDriver.reset();
  }

 private:
  Ref<UXViewDriver> saved_ = gDriver;
};

// `bytes` of t rounded up to a whole character.
size_t wholeChars(std::string_view t, size_t bytes) {
  while (bytes < t.size() && (static_cast<uint8_t>(t[bytes]) & 0xC0) == 0x80) ++bytes;
  return bytes;
}

// The narrowest room surely holding a form that tells texts[i] from all
// others (its head or tail to where it parts, one ellipsis); INT64_MAX if none.
int64_t tellingRoom(const std::vector<std::string_view>& texts, size_t i, const TextMeasure& m) {
  const std::string_view t = texts[i];
  size_t front = 0, back = 0;
  bool frontNone = false, backNone = false;
  for (size_t j = 0; j < texts.size(); ++j) {
    const std::string_view o = texts[j];
    if (o == t) continue;
    size_t k = 0;
    while (k < t.size() && k < o.size() && t[k] == o[k]) ++k;
    frontNone = frontNone || k == t.size();
    front = std::max(front, k + 1);
    k = 0;
    while (k < t.size() && k < o.size() && t[t.size() - 1 - k] == o[o.size() - 1 - k]) ++k;
    backNone = backNone || k == t.size();
    back = std::max(back, k + 1);
  }
  int64_t room = INT64_MAX;
  if (!frontNone) room = m.widthOf(std::string(t.substr(0, wholeChars(t, std::min(front, t.size())))) + kDots);
  if (!backNone) {
    size_t from = t.size() - std::min(back, t.size());
    while (from > 0 && (static_cast<uint8_t>(t[from]) & 0xC0) == 0x80) --from;
    room = std::min(room, m.widthOf(kDots + std::string(t.substr(from))));
  }
  return room;
}

// Whether every ellipsis of a form stands for at least one character of its text.
bool ellipsesStandForSomething(std::string_view form, std::string_view text) {
  std::vector<std::string_view> pieces;
  for (size_t at = 0;;) {
    const size_t cut = form.find(kDots, at);
    pieces.push_back(form.substr(at, cut == std::string_view::npos ? std::string_view::npos : cut - at));
    if (cut == std::string_view::npos) break;
    at = cut + kDots.size();
  }
  if (pieces.size() == 1) return true;
  if (!text.starts_with(pieces.front())) return false;
  size_t end = pieces.front().size();
  for (size_t k = 1; k + 1 < pieces.size(); ++k) {
    const size_t found = end + 1 > text.size() ? std::string_view::npos : text.find(pieces[k], end + 1);
    if (found == std::string_view::npos) return false;
    end = found + pieces[k].size();
  }
  return text.size() >= end + 1 + pieces.back().size() && text.ends_with(pieces.back());
}

// Every form fits its room, is cut between characters, is whole where it fits,
// reads as its own text, and as no other where the room can tell it apart.
void expectRules(const std::vector<std::string_view>& texts, const std::vector<std::string>& forms, int64_t room,
                 const TextMeasure& m, const std::string& row) {
  ASSERT_EQ(forms.size(), texts.size()) << row;
  for (size_t i = 0; i < texts.size(); ++i) {
    EXPECT_LE(m.widthOf(forms[i]), room) << row << ": " << forms[i];
    EXPECT_TRUE(String::withBytes(forms[i].data(), uint32_t(forms[i].size()))->isValidUtf8())
        << row << ": " << forms[i];
    // A text that fits stands whole, unless it begins another: then a cut
    // form must read as no other.
    const bool beginsAnother = std::any_of(texts.begin(), texts.end(), [&](std::string_view t) {
      return t != texts[i] && t.starts_with(texts[i]);
    });
    if (m.widthOf(texts[i]) > room) EXPECT_NE(forms[i], texts[i]) << row;
    else if (!beginsAnother) EXPECT_EQ(forms[i], texts[i]) << row;
    else if (forms[i] != texts[i])
      for (size_t j = 0; j < texts.size(); ++j)
        EXPECT_FALSE(texts[i] != texts[j] && chart::readsAs(forms[i], texts[j])) << row << ": " << forms[i];
    EXPECT_TRUE(chart::readsAs(forms[i], texts[i])) << row << ": " << forms[i] << " for " << texts[i];
    EXPECT_TRUE(ellipsesStandForSomething(forms[i], texts[i])) << row << ": " << forms[i] << " for " << texts[i];
    if (forms[i] == texts[i] || room < tellingRoom(texts, i, m)) continue;  // whole is all it can show
    for (size_t j = 0; j < texts.size(); ++j)
      EXPECT_FALSE(texts[i] != texts[j] && chart::readsAs(forms[i], texts[j]))
            << row << " in " << room << ": " << forms[i] << " for " << texts[i] << " reads as " << texts[j];
  }
}

TEST(ReadsAs, WholeEndsAndPiecesInOrder) {
  const struct {
    std::string form;
    const char* name;
    bool reads;
  } rows[] = {
      {"abc", "abc", true},
      {"ab", "abc", true},  // no ellipsis, shorter: its beginning
      {"abd", "abc", false},
      {"abcd", "abc", false},
      {"", "abc", true},
      {"a" + kDots + "c", "abc", true},
      {"a" + kDots + "c", "ac", true},
      {"ab" + kDots + "bc", "abc", false},  // the ends may not overlap
      {"ab" + kDots + "bc", "abbc", true},
      {"a" + kDots + "b", "abc", false},  // the last piece ends the name
      {"ab" + kDots, "abc", true},
      {kDots + "bc", "abc", true},
      {kDots + "ab", "abc", false},
      {"a" + kDots + "x" + kDots + "y" + kDots + "z", "a_x_y_z", true},
      {"a" + kDots + "y" + kDots + "x" + kDots + "z", "a_x_y_z", false},  // the pieces between in order
      {"a" + kDots + "a" + kDots + "z", "a_z", false},  // nor overlapping the first
      {"a" + kDots + "z" + kDots + "z", "a_z", false},  // nor the last
      {"a" + kDots + "z" + kDots + "z", "a_zz", true},
      {"a" + kDots + "x" + kDots + "x" + kDots + "z", "a_x_z", false},  // each piece after the one before
      {kDots, "anything", true},
  };
  for (const auto& r : rows) EXPECT_EQ(chart::readsAs(r.form, r.name), r.reads) << r.form << " as " << r.name;
}

TEST_F(Measured, FitTextCutsToTheMeasuredRoomBetweenCharacters) {
  const struct {
    const char* text;
    int64_t room;
    bool driver;
    std::string expected;
  } rows[] = {
      {"abcdef", 60, false, "abcdef"},        {"abcdef", 59, false, "abcd" + kDots},  // 10 a character, ellipsis one
      {"abcdef", 50, false, "abcd" + kDots},  {"abcdef", 49, false, "abc" + kDots},
      {"abcdef", 10, false, kDots},           {"abcdef", 9, false, ""},
      {"", 0, false, ""},                     {"abcdef", 42, true, "abcdef"},
      {"abcdef", 41, true, "ab" + kDots},  // the ellipsis is three bytes wide
      {"\xD0\x96\xD0\x96\xD0\x96", 42, true, "\xD0\x96\xD0\x96\xD0\x96"},
      {"\xD0\x96\xD0\x96\xD0\x96", 41, true, "\xD0\x96" + kDots},
      {"\xE6\x97\xA5\xE6\x97\xA5", 41, true, kDots},  // 21 + 3 bytes is too wide
      {"\xE6\x97\xA5\xE6\x97\xA5", 42, true, "\xE6\x97\xA5\xE6\x97\xA5"},
  };
  for (const auto& r : rows) {
    useDriver(r.driver);
    EXPECT_EQ(chart::fitText(r.text, r.room, TextMeasure{12, 10}), r.expected) << r.text << " in " << r.room;
  }
}

TEST_F(Measured, ShortFormsTellTextsApartInTheirRoom) {
  const std::string_view scalar = "spectral_norm_power_iteration_variant_scalar_with_double_precision_accumulators";
  const std::string_view simd = "spectral_norm_power_iteration_variant_simd_with_double_precision_accumulators";
  // Settings as the heat map's columns carry them: texts that part twice.
  std::vector<std::string> settings;
  const char* cpus[] = {"AMD EPYC 7763 64-Core Processor", "Apple M2 Max", "SiFive U74-MC RISC-V Quad Core"};
  for (int m = 0; m < 60; ++m)
    for (const char* opt : {"O0", "O2", "O3"})
      settings.push_back(std::string(m % 2 ? "arm64 " : "x86-64 ") + opt + " " + cpus[m % 3] + " #" + std::to_string(m));
  const struct {
    const char* what;
    std::vector<std::string_view> texts;
    int64_t room;
    bool driver;
    std::vector<std::string> expected;  // empty: the rules alone
  } rows[] = {
      {"texts that part twice", std::vector<std::string_view>(settings.begin(), settings.end()), 130, false, {}},
      {"short texts stand whole", {"alpha", "beta", "alpha"}, 70, false, {"alpha", "beta", "alpha"}},
      {"the beginning tells them apart", {"alpha_benchmark_long_name", "beta_benchmark_long_name"}, 120, false,
       {"alpha_" + kDots + "_name", "beta_b" + kDots + "_name"}},
      {"the end tells them apart",
       {"matrix_multiplication_single_precision_blocked_tiled_1024",
        "matrix_multiplication_single_precision_blocked_tiled_2048"},
       160, false, {"matrix_m" + kDots + "ed_1024", "matrix_m" + kDots + "ed_2048"}},
      {"parting words that begin alike, in the middle", {scalar, simd}, 330, false,
       {"spectral" + kDots + "scalar_with_double_prec" + kDots, "spectral" + kDots + "simd_with_double_precis" + kDots}},
      {"the same, measured by the driver", {scalar, simd}, 231, true, {}},
      {"two partings: a window from an earlier word",
       {scalar, "spectral_norm_power_iteration_version_scalar_with_double_precision_accumulators", simd,
        "spectral_norm_power_iteration_version_simd_with_double_precision_accumulators"},
       330, false, {}},
      {"a middle window that reaches the end fills the room",
       {"AMD EPYC 7763 64-Core Processor #1 arm64 O0", "AMD EPYC 7763 64-Core Processor #2 arm64 O0",
        "AMD EPYC 7763 64-Core Processor #1 arm64 O3"},
       130, false, {"AM" + kDots + "1 arm64 O0", "AMD" + kDots + "2 arm64 " + kDots, "AMD EP" + kDots + "m64 O3"}},
      {"one form may not stand for two texts",
       {"matrix_multiplication_single_precision_blocked_tiled_1024",
        "matrix_multiplication_single_precision_transposed_1024"},
       340, false, {}},
      {"CamelCase words part where no mark stands",
       {"SpectralNormPowerIterationVariantScalarWithDoublePrecision",
        "SpectralNormPowerIterationVariantSimdWithDoublePrecision",
        "SpectralNormPowerIterationVariantAvxWithDoublePrecision",
        "SpectralNormPowerIterationAlternativeAvxWithDoublePrecision"},
       120, false,
       {"Sp" + kDots + "ScalarWi" + kDots, "Sp" + kDots + "SimdWith" + kDots, "Sp" + kDots + "VariantA" + kDots,
        "Sp" + kDots + "Alternat" + kDots}},
      {"a text that begins another", {"bench_quick_sort_of_integers", "bench_quick_sort_of_integers_large"}, 200,
       false, {}},
      {"a room too small for any form", {"abcdefgh", "abcdefgi"}, 5, false, {"", ""}},
      {"a room of one ellipsis", {"abcdefgh", "abcdefgi"}, 10, false, {kDots, kDots}},
  };
  for (const auto& r : rows) {
    useDriver(r.driver);
    const TextMeasure m{12, 10};
    const std::vector<std::string> forms = chart::shortForms(r.texts, r.room, m);
    if (!r.expected.empty()) {
      EXPECT_EQ(forms, r.expected) << r.what;
    }
    expectRules(r.texts, forms, r.room, m, r.what);
  }
}

// Names of other scripts at every room from nothing to whole; they part
// once the room holds a few characters of each.
TEST_F(Measured, NamesOfOtherScriptsFitEveryRoom) {
  const std::string cyr = "\xD1\x83\xD0\xBC\xD0\xBD\xD0\xBE\xD0\xB6\xD0\xB5\xD0\xBD\xD0\xB8\xD0\xB5_\xD0\xBC\xD0\xB0"
                          "\xD1\x82\xD1\x80\xD0\xB8\xD1\x86_\xD0\xB1\xD0\xBB\xD0\xBE\xD0\xBA_",
                    jp = "\xE8\xA1\x8C\xE5\x88\x97\xE3\x81\xAE\xE7\xA9\x8D_\xE5\x8D\x98\xE7\xB2\xBE\xE5\xBA\xA6_\xE3\x83"
                         "\x96\xE3\x83\xAD\xE3\x83\x83\xE3\x82\xAF_",
                    cyr1 = cyr + "1024", cyr2 = cyr + "2048", jp1 = jp + "1024", jp2 = jp + "2048";
  const std::vector<std::string_view> cyrillic = {
      cyr1, cyr2, "\xD1\x81\xD0\xBE\xD1\x80\xD1\x82\xD0\xB8\xD1\x80\xD0\xBE\xD0\xB2\xD0\xBA\xD0\xB0"};
  const std::vector<std::string_view> japanese = {jp1, jp2, "\xE4\xB8\xA6\xE3\x81\xB9\xE6\x9B\xBF\xE3\x81\x88"};
  for (const bool driver : {false, true})
    for (const auto* texts : {&cyrillic, &japanese}) {
      useDriver(driver);
      const TextMeasure m{12, 7};
      int64_t widest = 0;
      for (std::string_view t : *texts) widest = std::max(widest, m.widthOf(t));
      for (int64_t room = 0; room <= widest; ++room)
        expectRules(*texts, chart::shortForms(*texts, room, m), room, m,
                    std::string(driver ? "driver " : "") + "room " + std::to_string(room));
    }
}

// Generated names: CamelCase, snake_case, other scripts, shared ends, one-character edits.
std::vector<std::string> generatedNames(std::mt19937& rng) {
  static const std::vector<std::string> camel = {"Spectral", "Norm", "Power", "Iteration", "Variant", "Matrix",
                                                 "Multiply", "Blocked", "Tiled", "Fft", "Radix", "Scalar",
                                                 "Simd", "Avx", "With", "Double", "Precision", "N", "Body"};
  static const std::vector<std::string> snake = {"matrix", "multiplication", "single", "precision", "blocked",
                                                 "tiled", "transposed", "1024", "2048", "fft", "radix", "2", "4"};
  static const std::vector<std::string> letters = {"a", "b", "Z", "_", "7", " ", "\xD0\xB6", "\xCE\xBB",
                                                   "\xD9\x85", "\xD7\x90", "\xE8\xA1\x8C",
                                                   "\xE3\x83\x96", "\xF0\x9F\x98\x80"};
  const auto pick = [&](const std::vector<std::string>& from) { return from[rng() % from.size()]; };
  const auto words = [&](const std::vector<std::string>& from, size_t n, const char* mark) {
    std::string out;
    for (size_t k = 0; k < n; ++k) out += (k && *mark ? mark : "") + pick(from);
    return out;
  };
  const auto chars = [&](size_t n) {
    std::string out;
    for (size_t k = 0; k < n; ++k) out += pick(letters);
    return out;
  };
  const size_t count = 2 + rng() % 10;
  const int kind = static_cast<int>(rng() % 4);
  std::vector<std::string> names;
  const std::string before = kind == 0 ? words(camel, 2 + rng() % 4, "") : kind == 1 ? words(snake, 2 + rng() % 4, "_")
                                                                                    : chars(rng() % 30);
  const std::string after = kind == 0 ? words(camel, rng() % 4, "") : kind == 1 ? "_" + words(snake, rng() % 3, "_")
                                                                               : chars(rng() % 30);
  for (size_t k = 0; k < count; ++k) {
    if (kind == 3 && !names.empty()) {
      // A character changed, put in or left out anywhere in another name.
      std::string t = names[rng() % names.size()];
      const size_t at = rng() % (t.size() + 1);
      size_t from = at;
      while (from > 0 && from < t.size() && (static_cast<uint8_t>(t[from]) & 0xC0) == 0x80) --from;
      size_t to = from;
      if (to < t.size()) do ++to; while (to < t.size() && (static_cast<uint8_t>(t[to]) & 0xC0) == 0x80);
      names.push_back(t.substr(0, from) + (rng() % 3 ? pick(letters) : "") + (rng() % 2 ? t.substr(to) : t.substr(from)));
      continue;
    }
    const std::string middle =
        kind == 0 ? words(camel, 1 + rng() % 2, "") : kind == 1 ? words(snake, 1 + rng() % 2, "_") : chars(1 + rng() % 4);
    names.push_back(before + (kind == 1 ? "_" : "") + middle + after);
  }
  return names;
}

// Forms of generated names keep the rules at any room, measured by the
// platform's driver and without one.
TEST_F(Measured, GeneratedNamesReadAsTheirOwnAlone) {
  Ref<UXViewDriver> platform = uxMakePlatformDriver();
  const int rounds = test::rounds(2000);
  for (const Ref<UXViewDriver>& driver : {Ref<UXViewDriver>(), platform}) {
    gDriver = driver;
    ASSERT_GT((TextMeasure{12, 7}.widthOf("W")), 0);
    std::mt19937 rng(46);
    for (int round = 0; round < rounds; ++round) {
      const std::vector<std::string> names = generatedNames(rng);
      const std::vector<std::string_view> texts(names.begin(), names.end());
      const TextMeasure m{12, 7};
      int64_t widest = 0;
      for (std::string_view t : texts) widest = std::max(widest, m.widthOf(t));
      for (int k = 0; k < 3; ++k) {
        const int64_t room = m.widthOf(kDots) + static_cast<int64_t>(rng() % static_cast<uint64_t>(widest + 8));
        expectRules(texts, chart::shortForms(texts, room, m), room, m,
                    "round " + std::to_string(round) + (driver ? " driver" : ""));
      }
      if (HasFailure()) return;
    }
  }
}

// Names in two parts (bar labels, heat map settings): the first part stays
// whole where it fits; forms read as no other where the rest can be told apart.
TEST_F(Measured, PartedNamesKeepTheirFirstPartWhole) {
  {
    // As wide as its room: whole; a pixel less cuts the second part.
    useDriver(false);
    const std::vector<chart::PartedName> names = {{"arm64 O0 AMD EPYC 7763", 8, 9}, {"arm64 O0 AMD EPYC 9654", 8, 9}};
    EXPECT_EQ(chart::partedForms(names, 220, {10, 10}), (std::vector<std::string>{"arm64 O0 AMD EPYC 7763",
                                                                                   "arm64 O0 AMD EPYC 9654"}));
    EXPECT_EQ(chart::partedForms(names, 219, {10, 10}),
              (std::vector<std::string>{"arm64 O0 AMD EP" + kDots + " 7763", "arm64 O0 AMD EP" + kDots + " 9654"}));
  }
  const std::vector<std::string> firsts = {"quorl  arm64 O3", "C++ (clang)  x86-64", "x86-64 O0", "arm64"};
  for (const bool driver : {false, true}) {
    useDriver(driver);
    std::mt19937 rng(47);
    for (int round = 0; round < 300; ++round) {
      const std::vector<std::string> rests = generatedNames(rng);
      std::vector<std::string> texts;
      texts.reserve(rests.size());  // the names view them
      std::vector<size_t> firstOf;
      std::vector<chart::PartedName> names;
      for (const std::string& rest : rests) {
        const std::string& first = firsts[firstOf.emplace_back(rng() % 2)];
        const auto kept = static_cast<uint32_t>(first.size());
        names.push_back({texts.emplace_back(first + "  " + rest), kept, kept + 2});
      }
      const TextMeasure m{11, 6};
      const int64_t room = 60 + static_cast<int64_t>(rng() % 200);
      const std::vector<std::string> forms = chart::partedForms(names, room, m);
      ASSERT_EQ(forms.size(), texts.size());
      for (size_t i = 0; i < texts.size(); ++i) {
        const std::string row = "round " + std::to_string(round) + " in " + std::to_string(room) + ": " + forms[i];
        EXPECT_LE(m.widthOf(forms[i]), room) << row;
        EXPECT_TRUE(chart::readsAs(forms[i], texts[i])) << row;
        const std::string& first = firsts[firstOf[i]];
        EXPECT_TRUE(m.widthOf(first) > room || forms[i].starts_with(first)) << row;
        // The rests after the same first part, and the room they are left.
        std::vector<std::string_view> same;
        size_t self = 0;
        for (size_t j = 0; j < texts.size(); ++j)
          if (firstOf[j] == firstOf[i]) {
            if (j == i) self = same.size();
            same.push_back(rests[j]);
          }
        // A pixel less: a measure may round the two parts apart down.
        if (forms[i] == texts[i] || room - m.widthOf(first + "  ") - 1 < tellingRoom(same, self, m)) continue;
        for (size_t j = 0; j < texts.size(); ++j)
          EXPECT_FALSE(texts[j] != texts[i] && chart::readsAs(forms[i], texts[j])) << row << " for " << texts[i] << " / " << texts[j];
      }
      if (HasFailure()) return;
    }
  }
}

// The forms of each room are kept while the Strings stay: asked again, they
// take not one measurement.
TEST_F(Measured, FormsAreKeptPerRoomWhileTheStringsStay) {
  auto driver = make<ScriptedDriver>();
  gDriver = driver;
  auto names = make<Array>();
  names->add(String::withCString("bench_quick_sort_of_integers_small"));
  names->add(String::withCString("bench_quick_sort_of_integers_large"));
  names->add(nullptr);
  const TextMeasure m{12, 7};
  const auto measured = [&] {
    return std::count_if(driver->calls.begin(), driver->calls.end(),
                         [](const std::string& c) { return c.starts_with("textWidth"); });
  };
  chart::ShortForms forms;
  const std::vector<std::string> narrow = forms.of(*names, 120, m), wide = forms.of(*names, 180, m);
  EXPECT_EQ(narrow[2], "");
  EXPECT_NE(wide, narrow);
  driver->calls.clear();
  EXPECT_EQ(forms.of(*names, 120, m), narrow);
  EXPECT_EQ(forms.of(*names, 180, m), wide);
  EXPECT_EQ(measured(), 0);
  // Forms of many rooms: only the most recent few are kept.
  for (int64_t room = 40; room < 400; ++room) forms.of(*names, room, m);
  EXPECT_EQ(forms.roomsKept(), chart::ShortForms::kRoomsKept);
  driver->calls.clear();
  forms.of(*names, 399, m);
  EXPECT_EQ(measured(), 0);
  names->set(1, String::withCString("bench_quick_sort_of_integers_tiny"));
  EXPECT_TRUE(forms.of(*names, 120, m)[1].ends_with("tiny"));
  EXPECT_GT(measured(), 0);
}

// Copies of a text draw one form, whichever copy comes first, also where
// a text is told from its neighbour by letter case alone.
TEST_F(Measured, CopiesOfATextDrawOneForm) {
  std::mt19937 rng(12);
  const std::vector<std::string> words = {"AMD EPYC 9654 96-Core Processor (lab cluster west, rack 7, slot 12)",
                                          "Amd Epyc 9654 96-Core Processor (lab cluster west, rack 7, slot 13)",
                                          "Ampere Altra Max M128-30 (lab cluster west, rack 7, slot 12)",
                                          "amd epyc 7763", "AMD EPYC 7764", "quorl", "QuorlReleaseWithDebugInfoAndLTO"};
  for (int round = 0; round < test::rounds(200); ++round) {
    std::vector<std::string> pool;
    for (uint32_t k = 2 + rng() % 5; k > 0; --k) pool.push_back(words[rng() % words.size()]);
    auto names = make<Array>();
    std::vector<std::string> texts;
    for (uint32_t k = 2 + rng() % 30; k > 0; --k) {
      texts.push_back(pool[rng() % pool.size()]);
      names->add(String::withCString(texts.back().c_str()));
    }
    chart::ShortForms forms;
    const std::vector<std::string>& shown = forms.of(*names, 40 + int64_t(rng() % 400), TextMeasure{12, 7});
    for (size_t i = 0; i < texts.size(); ++i)
      for (size_t j = 0; j < i; ++j)
        if (texts[i] == texts[j]) EXPECT_EQ(shown[i], shown[j]) << "round " << round << ": " << texts[i];
    if (HasFailure()) return;
  }
}

// Whether some form of ASCII text i (beginning, a window, end, with
// ellipses between) fits the room and reads as it alone.
bool someFormTells(const std::vector<std::string_view>& texts, size_t i, int64_t room, const TextMeasure& m) {
  const std::string t(texts[i]);
  const size_t n = t.size();
  const auto tells = [&](const std::string& f) {
    if (m.widthOf(f) > room || !chart::readsAs(f, t)) return false;
    for (std::string_view o : texts)
      if (o != t && chart::readsAs(f, o)) return false;
    return true;
  };
  if (tells(t)) return true;
  for (size_t h = 0; h < n; ++h)
    for (size_t tail = 0; h + tail < n; ++tail) {
      if (m.widthOf(t.substr(0, h) + kDots + t.substr(n - tail)) > room) break;
      if (tells(t.substr(0, h) + kDots + t.substr(n - tail))) return true;
      for (size_t a = h + 1; a < n - tail; ++a)
        for (size_t b = a + 1; b + tail < n; ++b)
          if (tells(t.substr(0, h) + kDots + t.substr(a, b - a) + kDots + t.substr(n - tail))) return true;
    }
  return false;
}

// Many names sharing long beginnings and endings, parting in a middle
// word; and names of repeated words in rooms of 8 and 9 characters: every
// form reads as its own name alone wherever some form could.
TEST_F(Measured, FormsReadAsNoOtherAmongManyAndRepeatedWords) {
  const TextMeasure m{12, 7};
  static const char* const words[] = {"radix", "norm", "power", "tiled", "scalar", "double", "simd", "avx"};
  std::mt19937 rng(49);
  std::set<std::string> many;  // sorted, distinct
  for (int i = 0; i < 700; ++i)
    many.insert(std::string("spectral_norm_iteration_") + words[rng() % 8] + "_" + words[rng() % 8] +
                   std::to_string(i % 50) + "_with_double_precision");
  const std::vector<std::string_view> manyViews(many.begin(), many.end());
  for (const int64_t room : {m.widthOf(std::string(26, 'x')), m.widthOf(std::string(40, 'x'))})
    expectRules(manyViews, chart::shortForms(manyViews, room, m), room, m, "many in " + std::to_string(room));
  // Round 0: two words in turn, parting only where a word repeats.
  const std::set<std::string> named = {"norm simd norm simd avx", "norm simd norm avx simd", "norm simd avx norm simd",
                                          "simd norm simd norm avx"};
  for (int round = 0; round < test::rounds(300); ++round) {
    std::set<std::string> names = round == 0 ? named : std::set<std::string>();
    const std::string a = words[rng() % 8], b = words[rng() % 8];
    for (int k = 0; round > 0 && k < 2 + int(rng() % 5); ++k) {
      std::string name;
      for (int w = 0; w < 3 + int(rng() % 3); ++w) name += (w ? " " : "") + (rng() % 3 ? (w % 2 ? a : b) : std::string(words[rng() % 8]));
      names.insert(name);
    }
    const std::vector<std::string_view> texts(names.begin(), names.end());
    for (const int chars : {8, 9}) {
      const int64_t room = m.widthOf(std::string(size_t(chars), 'x'));
      const std::vector<std::string> forms = chart::shortForms(texts, room, m);
      expectRules(texts, forms, room, m, "round " + std::to_string(round));
      for (size_t i = 0; i < texts.size(); ++i) {
        const bool misread = std::any_of(texts.begin(), texts.end(), [&](std::string_view o) {
          return o != texts[i] && chart::readsAs(forms[i], o);
        });
        EXPECT_FALSE(misread && someFormTells(texts, i, room, m)) << chars << ": " << forms[i] << " for " << texts[i];
      }
    }
    if (HasFailure()) return;
  }
}

// A bar row's parts: series, architecture, level, machine.
const std::vector<std::string> kBarJoints = {"", "  ", " ", "  "};

std::vector<std::string_view> partsOf(const std::vector<std::string>& p) { return {p.begin(), p.end()}; }

// Labels of parts keep series and level, cut each part among its kind,
// drop what tells nothing, and say when they cannot fit.
TEST_F(Measured, LabelsOfPartsKeepWhatTellsThemApart) {
  useDriver(false);
  const TextMeasure m{11, 6};
  chart::LabelSet set(kBarJoints);
  const std::vector<std::vector<std::string>> items = {
      {"QuorlReleaseWithDebugInfoAndLTO", "x86-64", "O3", "AMD EPYC 9654 (rack 7, slot 12)"},
      {"QuorlReleaseWithDebugInfoAndPGO", "x86-64", "O3", "AMD EPYC 9654 (rack 7, slot 12)"},
      {"QuorlReleaseWithDebugInfoAndLTO", "x86-64", "O2", "AMD EPYC 9654 (rack 7, slot 12)"},
      {"QuorlReleaseWithDebugInfoAndLTO", "x86-64", "O3", "Ampere Altra Max (rack 7, slot 12)"},
      {"quorl", "x86-64", "O3", "Ampere Altra Max (rack 7, slot 12)"},
  };
  std::vector<uint32_t> all;
  for (const auto& p : items) all.push_back(set.add(partsOf(p)));
  EXPECT_EQ(set.add(partsOf(items[1])), all[1]);  // the same whole: the same item
  EXPECT_EQ(set.whole(all[4]), "quorl  x86-64 O3  Ampere Altra Max (rack 7, slot 12)");
  // Wide: whole. Narrower: the machine is cut first, then the shared
  // architecture dropped, then the series cut by what tells it.
  EXPECT_EQ(set.forms(all, 6 * 75, m), chart::LabelSet::Told::apart);
  EXPECT_EQ(*set.form(all[0]), set.whole(all[0]));
  EXPECT_EQ(set.forms(all, 6 * 52, m), chart::LabelSet::Told::apart);
  EXPECT_EQ(*set.form(all[0]), "QuorlReleaseWithDebugInfoAndLTO  x86-64 O3  AMD " + kDots + "12)");
  EXPECT_EQ(*set.form(all[3]), "QuorlReleaseWithDebugInfoAndLTO  x86-64 O3  Ampe" + kDots + "12)");
  EXPECT_EQ(set.forms(all, 6 * 26, m), chart::LabelSet::Told::apart);
  for (uint32_t i : all) EXPECT_TRUE(set.form(i)->starts_with(i == all[4] ? "quorl" : "Quorl")) << *set.form(i);
  EXPECT_TRUE(set.form(all[0])->find("LTO" + kDots + " O3  ") != std::string::npos) << *set.form(all[0]);
  EXPECT_TRUE(set.form(all[1])->find("PGO" + kDots + " O3  ") != std::string::npos) << *set.form(all[1]);
  // Too narrow for any telling form: said, so that the room can grow.
  EXPECT_EQ(set.forms(all, 6 * 6, m), chart::LabelSet::Told::wider);
  const int64_t room = set.tellingRoom(m);
  EXPECT_GT(room, 6 * 6);
  EXPECT_EQ(set.forms(all, room, m), chart::LabelSet::Told::apart) << room;
  // One item that begins another: cut to tell it apart, whatever the room.
  chart::LabelSet prefix(kBarJoints);
  const uint32_t a = prefix.add(partsOf({"quorl", "x86-64", "O3"})),
                 b = prefix.add(partsOf({"quorl", "x86-64", "O3", "AMD"}));
  const uint32_t both[] = {a, b};
  EXPECT_EQ(prefix.forms(both, 6 * 100, m), chart::LabelSet::Told::apart);
  EXPECT_EQ(*prefix.form(b), "quorl  x86-64 O3  AMD");
  EXPECT_FALSE(chart::readsAs(*prefix.form(a), prefix.whole(b))) << *prefix.form(a);
  // Items no room tells apart: a name that begins, ends and holds the others.
  chart::LabelSet alike({""});
  std::vector<uint32_t> three;
  for (const char* t : {"ab", "abX", "Yab", "aXb"}) three.push_back(alike.add(std::vector<std::string_view>{t}));
  EXPECT_EQ(alike.forms(three, 6 * 100, m), chart::LabelSet::Told::alike);
  EXPECT_EQ(alike.tellingRoom(m), -1);
}

// Generated labels of parts, narrow to wide: `apart` from the telling room
// on, and then every form fits and reads as its own item alone.
TEST_F(Measured, LabelsOfPartsReadAsTheirOwnItemAlone) {
  using namestest::NameKind;
  Ref<UXViewDriver> platform = uxMakePlatformDriver();
  for (const Ref<UXViewDriver>& driver : {Ref<UXViewDriver>(), platform}) {
    gDriver = driver;
    std::mt19937 rng(53);
    const TextMeasure m{11, 6};
    for (int round = 0; round < test::rounds(150); ++round) {
      const auto kind = [&] { return NameKind(rng() % size_t(NameKind::count)); };
      const auto series = namestest::generatedNames(rng, kind(), 1 + rng() % 4);
      const auto machines = namestest::generatedNames(rng, kind(), 1 + rng() % 12);
      const std::vector<std::string> archs = {"x86-64", "arm64"}, levels = {"O2", "O3"};
      // `late` takes the same labels with forms asked halfway: what it
      // worked out for the first half must not stand for the whole.
      chart::LabelSet set(kBarJoints), late(kBarJoints);
      std::vector<uint32_t> items;
      const size_t count = 3 + rng() % 30;
      for (size_t k = 0; k < count; ++k) {
        const std::vector<std::string> texts = {series[rng() % series.size()], archs[rng() % (1 + rng() % 2)],
                                                levels[rng() % 2], machines[rng() % machines.size()]};
        const auto parts = partsOf(texts);
        items.push_back(set.add(parts));
        late.add(parts);
        if (k == count / 2) late.forms(items, 60 + rng() % 200, m);
      }
      const std::string row = "round " + std::to_string(round) + (driver ? " driver" : "");
      const int64_t telling = set.tellingRoom(m);
      ASSERT_GE(telling, 0) << row;
      for (const int64_t room : {int64_t(20), int64_t(60 + rng() % 200), int64_t(160), telling, int64_t(2000)}) {
        const chart::LabelSet::Told told = set.forms(items, room, m);
        EXPECT_EQ(late.forms(items, room, m), told) << row << " in " << room;
        for (uint32_t i : items) EXPECT_EQ(late.form(i), set.form(i)) << row << " in " << room;
        if (room >= telling) EXPECT_EQ(told, chart::LabelSet::Told::apart) << row << " in " << room;
        std::vector<namestest::DrawnItem> drawn;
        for (uint32_t i : items) {
          const std::string& f = *set.form(i);
          if (told == chart::LabelSet::Told::apart) EXPECT_LE(m.widthOf(f), room) << row << ": " << f;
          drawn.push_back({std::string(set.whole(i)), f});
        }
        if (told == chart::LabelSet::Told::apart) namestest::expectToldApart(drawn, row + " in " + std::to_string(room));
      }
      if (HasFailure()) return;
    }
  }
}

}  // namespace
