// The controller on its model alone (no window): opening files of every
// kind and every fault, the own contribution, merging the corpus, the
// pickers' choices, the runs table's cells and the report's body field.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "AppTestSupport.h"
#include "bench/ResultModel.h"
#include "foundation/WideText.h"
#include "net/Net.h"
#include "Rounds.h"

using namespace quorl;
using namespace quorl::apptest;

namespace {

// The UTF-16 bytes of a UTF-8 text, without a byte-order mark.
std::string utf16(const std::string& utf8, bool bigEndian) {
  std::string bytes;
  for (char16_t u : WideText::utf16(utf8.data(), utf8.size()))
    bytes += bigEndian ? std::string{char(u >> 8), char(u)} : std::string{char(u), char(u >> 8)};
  return bytes;
}

std::string repeated(const std::string& text, size_t times) {
  std::string out;
  for (size_t i = 0; i < times; ++i) out += text;
  return out;
}

class ControllerModel : public ::testing::Test {
 protected:
  Ref<Controller> c = make<Controller>();
  Ref<String> out = make<String>();
  void SetUp() override { c->transcript = out; }
  std::string take() {
    std::string text = str(out);
    out->clear();
    return text;
  }
  uint32_t contributions() const { return c->dataSet->contributions().count(); }
};

TEST_F(ControllerModel, FreshStateAndDescription) {
  EXPECT_EQ(str(c->description()), "<Controller>(0, 0, 0)");
  c->selfTest = true;
  EXPECT_EQ(str(c->description()), "<Controller>(0, 0, 1)");
  c->exitCode = -1;
  EXPECT_EQ(str(c->description()), "<Controller>(-1, 0, 1)");
  EXPECT_EQ(contributions(), 0u);
  EXPECT_EQ(c->rows->count(), 0u);
  EXPECT_EQ(c->chart, nullptr);
  EXPECT_EQ(c->filter->cpu, nullptr);
}

// Every kind of file that is not a result document ends in the one
// could-not-read line, and what was loaded stays.
TEST_F(ControllerModel, UnreadableFilesKeepTheLoadedData) {
  TempDir dir;
  c->loadFile(S(samplePath("contribution.json").c_str()));
  ASSERT_EQ(contributions(), 1u);
  Ref<Contribution> own = c->ownContribution;
  ASSERT_NE(own, nullptr);
  take();

  std::string corpus;
  {
    FILE* f = std::fopen(samplePath("corpus.json").c_str(), "rb");
    char buffer[8192];
    size_t n = f ? std::fread(buffer, 1, sizeof buffer, f) : 0;
    if (f) std::fclose(f);
    corpus.assign(buffer, n);
  }
  const std::string notResults = "not a contribution, a run.py results.json or a par results.json";
  const std::string notRegular = "not a regular file";
  const std::string missing = "no such file", empty = "the file is empty", folder = "a folder, not a file";
  const auto endsEarly = [](size_t at) { return "the JSON ends early at byte " + std::to_string(at); };
  const auto notJson = [](size_t at) { return "not JSON (byte " + std::to_string(at) + ")"; };
  const std::string cut = corpus.substr(0, corpus.size() / 2);
  const std::string notUtf16 = "not valid UTF-16 text";
  const std::string tooMuchMemory = "it would take too much memory to open";
  std::string runPy = R"({"raw":{"b":{"O2":{"c0":1)";
  for (int i = 1; i < 300000; ++i) runPy += ",\"c" + std::to_string(i) + "\":1";
  struct Case {
    const char* name;
    std::string path;
    std::string shown;  // the name the message gives
    std::string reason;
  };
  std::vector<Case> cases = {
      {"missing", dir.path + "/nothing-here.json", "nothing-here.json", missing},
      {"under a regular file", dir.write("a.json", "{}") + "/x.json", "x.json", missing},
      {"empty", dir.write("empty.json", ""), "empty.json", empty},
      {"folder", dir.path, dir.path.substr(dir.path.rfind('/') + 1), folder},
      {"not JSON", dir.write("notes.txt", "hello, world\n"), "notes.txt", notJson(0)},
      {"only spaces", dir.write("spaces.json", "  \n"), "spaces.json", endsEarly(3)},
      {"unknown shape", dir.write("shape.json", R"({"schema":"other/2","runs":[]})"), "shape.json", notResults},
      {"a number", dir.write("number.json", "42"), "number.json", notResults},
      {"truncated corpus", dir.write("cut.json", cut), "cut.json", endsEarly(cut.size())},
      // A name is shown on one line, its bytes that are not UTF-8 escaped.
#ifdef _WIN32
      // Names are UTF-16 there: the test's ANSI call wrote another name.
      {"invalid UTF-8 name", dir.write("bad\xff\xfe.json", "{"), "bad\\xFF\\xFE.json", missing},
#else
      {"invalid UTF-8 name", dir.write("bad\xff\xfe.json", "{"), "bad\\xFF\\xFE.json", endsEarly(1)},
#endif
      // Characters that show as nothing, or reorder what follows them, are escaped; an ellipsis of the
      // name is no cut.
      {"format characters in the name", dir.path + "/a\xE2\x80\x8B\xEF\xBB\xBF\xE2\x80\xAE" "b\xF3\xA0\x80\x81.json",
       "a\\xE2\\x80\\x8B\\xEF\\xBB\\xBF\\xE2\\x80\\xAEb\\xF3\\xA0\\x80\\x81.json", missing},
      {"an ellipsis in the name", dir.path + "/wait\xE2\x80\xA6", "wait\\\xE2\x80\xA6", missing},
      // A backslash separates only where the system says so.
#ifdef _WIN32
      {"a backslash in the name", dir.path + "/my\\results.json", "results.json", missing},
#else
      {"a backslash in the name", dir.path + "/my\\results.json", "my\\\\results.json", missing},
#endif
      {"NUL bytes", dir.write("nul-bytes.json", std::string("{\"schema\"\0:1}", 13)), "nul-bytes.json", notJson(9)},
      // The byte in the file, counting its byte-order mark.
      {"two byte-order marks", dir.write("marks.json", "\xEF\xBB\xBF\xEF\xBB\xBF{}"), "marks.json", notJson(3)},
      // UTF-16 only after its mark, and only when it is valid.
      {"UTF-16 without a mark", dir.write("plain16.json", utf16("{}", false)), "plain16.json", notJson(1)},
      {"UTF-16 of odd length", dir.write("odd.json", "\xFF\xFE" + utf16("{}", false) + "x"), "odd.json", notUtf16},
      {"a lone surrogate", dir.write("lone.json", "\xFE\xFF" + utf16("[\"", true) + "\xD8\x3D" + utf16("\"]", true)),
       "lone.json", notUtf16},
      // Values that would take memory at many times the file's size.
      {"a megabyte of empty objects", dir.write("dense.json", "[" + repeated("{},", 350000) + "{}]"), "dense.json",
       tooMuchMemory},
      {"3 MB of run.py entries, each a run", dir.write("run.json", runPy + "}}}}"), "run.json", tooMuchMemory},
  };
#ifndef _WIN32
  // Nothing here is read: a pipe with no writer and an endless device are
  // refused at once.
  const std::string pipe = dir.path + "/pipe.json", zero = dir.path + "/zero.json";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  ASSERT_EQ(symlink("/dev/zero", zero.c_str()), 0);
  cases.push_back({"named pipe", pipe, "pipe.json", notRegular});
  cases.push_back({"link to /dev/zero", zero, "zero.json", notRegular});
  // A name that would split the status line and clear the terminal.
  cases.push_back({"control bytes in the name", dir.write("two\nlines\x1b[2J.json", "{"), "two\\nlines\\x1B[2J.json",
                   endsEarly(1)});
#else
  // A reserved name: the null device, whatever the folder.
  cases.push_back({"the NUL device", dir.path + "/nul.json", "nul.json", notRegular});
#endif
  for (const auto& k : cases) {
    c->loadFile(S(k.path.c_str()));
    const std::string said = "Could not read (" + k.reason + "): " + k.shown;
    EXPECT_EQ(take(), said + "\n") << k.name;
    EXPECT_EQ(str(c->lastStatus), said) << k.name;
    EXPECT_EQ(contributions(), 1u) << k.name;
    EXPECT_EQ(c->ownContribution, own) << k.name;
  }
}

// A result file of each format opens the same with one leading byte-order
// mark, as PowerShell's Out-File and some editors write it, and as UTF-16
// after its mark in either byte order, as Windows PowerShell's ">" writes it;
// a download of the same bytes reads as the file does.
TEST_F(ControllerModel, AByteOrderMarkIsSkipped) {
  TempDir dir;
  const std::string cpu = "Caf\xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x98\x80";  // a surrogate pair in UTF-16
  const struct {
    const char* sample;
    const char* opened;
    bool own;          // a contribution, not a results file
    std::string text;  // written here, or else the sample's
  } cases[] = {
      {"contribution.json", "Opened 11 runs: contribution.json\n", true, ""},
      {"run-py-results.json", "Opened 16 runs: run-py-results.json\n", false, ""},
      {"par-results.json", "Opened 13 runs: par-results.json\n", false, ""},
      // Text beyond ASCII reads as its UTF-8.
      {"names.json", "Opened 1 runs: names.json\n", true,
       R"({"schema":"quorl-bench/1","machine":{"cpu":")" + cpu +
           R"("},"runs":[{"suite":"s","benchmark":"b","samples_us":[5]}]})"},
  };
  for (const auto& k : cases) {
    std::string text = k.text;
    if (text.empty()) {
      std::ifstream in(samplePath(k.sample), std::ios::binary);
      text.assign(std::istreambuf_iterator<char>(in), {});
    }
    ASSERT_FALSE(text.empty()) << k.sample;
    const auto spent = [](const std::string& bytes) {
      return Controller::readDocument(String::withBytes(bytes.data(), uint32_t(bytes.size())), S("f")).spent;
    };
    const uint64_t unmarked = spent(text);
    for (const std::string& marked :
         {"\xEF\xBB\xBF" + text, "\xFF\xFE" + utf16(text, false), "\xFE\xFF" + utf16(text, true)}) {
      // Reading spends the file's bytes, and from UTF-16 its UTF-8 copy too.
      EXPECT_EQ(spent(marked), unmarked + marked.size() - text.size() + (marked[0] == '\xEF' ? 0 : text.size()));
      Ref<Controller> fresh = make<Controller>();
      fresh->transcript = out;
      fresh->loadFile(S(dir.write(k.sample, marked).c_str()));
      EXPECT_EQ(take(), k.opened) << marked.substr(0, 2);
      EXPECT_EQ(fresh->ownContribution != nullptr, k.own) << k.sample;
      if (!k.text.empty() && fresh->ownContribution) {
        EXPECT_EQ(str(fresh->ownContribution->machine->cpu), cpu) << marked.substr(0, 2);
      }
      Ref<Controller> fetched = make<Controller>();
      fetched->mergeCorpus(String::withBytes(marked.data(), uint32_t(marked.size())));
      EXPECT_EQ(fetched->dataSet->runs()->count(), fresh->dataSet->runs()->count()) << marked.substr(0, 2);
    }
  }
}

#ifndef _WIN32
// A file past the reply cap is refused by its size, without reading it (the
// sparse files take no room on disk); the words name the cap in the unit of
// the check, so a file of exactly 256 MiB (268 MB) is read.
TEST_F(ControllerModel, HugeFileIsRefusedBySize) {
  TempDir dir;
  const std::string refused = "Could not read (the file is larger than 256 MiB): huge.json\n";
  const struct {
    int64_t size;
    std::string said;
  } cases[] = {
      {int64_t(1) << 30, refused},
      {(int64_t(256) << 20) + 1, refused},
      {int64_t(256) << 20, "Could not read (not JSON (byte 1)): huge.json\n"},
  };
  for (const auto& k : cases) {
    std::string path = dir.write("huge.json", "{");
    ASSERT_EQ(truncate(path.c_str(), k.size), 0);
    c->loadFile(S(path.c_str()));
    EXPECT_EQ(take(), k.said) << k.size;
    EXPECT_EQ(contributions(), 0u) << k.size;
  }
}
#endif

// Only a file that is one contribution document becomes the user's own: a
// corpus or an array holds other people's results.
TEST_F(ControllerModel, OwnContributionOnlyFromASingleDocument) {
  TempDir dir;
  const std::string single = R"({"schema":"QUORL-BENCH/1","machine":{"cpu":"Mine"},"runs":[]})";
  const struct {
    const char* name;
    std::string text;
    bool own;
  } cases[] = {
      {"one contribution (schema case ignored)", single, true},
      {"array of one", "[" + single + "]", false},
      {"corpus of one", R"({"contributions":[)" + single + "]}", false},
      {"corpus with published", R"({"contributions":[],"published":[)" + single + "]}", false},
      {"other schema", R"({"schema":"quorl-bench/1x","machine":{},"runs":[{}]})", false},
  };
  for (const auto& k : cases) {
    Ref<Controller> fresh = make<Controller>();
    fresh->loadFile(S(dir.write("f.json", k.text).c_str()));
    EXPECT_EQ(fresh->ownContribution != nullptr, k.own) << k.name;
    if (k.own) {
      EXPECT_EQ(fresh->ownContribution, fresh->dataSet->at(0)) << k.name;
    }
  }
}

// What Submit sends is the document as it was read: every number the same
// number, those above the signed range (checksums, seeds) too.
TEST_F(ControllerModel, TheSubmittedTextHoldsEveryNumberAsRead) {
  TempDir dir;
  const std::string numbers =
      "[18446744073709551615,14695981039346656037,9223372036854775808,9223372036854775807,"
      "-9223372036854775808,0,-0.0,1.7976931348623157e+308,5.0e-324,1.8446744073709552e+19]";
  const std::string text = R"({"schema":"quorl-bench/1","machine":{"cpu":"Mine","seed":18446744073709551615},)"
                           R"("checksums":)" + numbers + R"(,"runs":[{"suite":"s","benchmark":"b","samples_us":)" +
                           "[1,2,9223372036854775808]}]}";
  c->loadFile(S(dir.write("own.json", text).c_str()));
  ASSERT_NE(c->ownContribution, nullptr);
  const Ref<String> body = c->ownContributionText();
  ASSERT_TRUE(body);
  EXPECT_EQ(str(body), text);
}

TEST_F(ControllerModel, LaterOwnFileWinsScriptsLeaveItAlone) {
  c->loadFile(S(samplePath("run-py-results.json").c_str()));
  EXPECT_EQ(c->ownContribution, nullptr);
  c->loadFile(S(samplePath("selftest.json").c_str()));
  Ref<Contribution> first = c->ownContribution;
  ASSERT_NE(first, nullptr);
  c->loadFile(S(samplePath("par-results.json").c_str()));
  EXPECT_EQ(c->ownContribution, first);
  c->loadFile(S(samplePath("contribution.json").c_str()));
  ASSERT_NE(c->ownContribution, nullptr);
  EXPECT_NE(c->ownContribution, first);
  EXPECT_EQ(str(c->ownContribution->machine->cpu), "Apple M2 Pro");
  EXPECT_EQ(take(),
            "Opened 16 runs: run-py-results.json\nOpened 19 runs: selftest.json\n"
            "Opened 13 runs: par-results.json\nOpened 11 runs: contribution.json\n");
}

// A result set already loaded is not added again, whichever file brings it;
// the status line counts the new runs, those already loaded and those left out.
TEST_F(ControllerModel, NothingIsCountedTwice) {
  TempDir dir;
  const std::string head = R"({"schema":"quorl-bench/1","id":"x","machine":{"cpu":"C"},"runs":[)";
  const std::string one = head + R"({"benchmark":"a","samples_us":[5]},{"benchmark":"b","samples_us":[-5]}]})";
  const std::string other = head + R"({"benchmark":"a","samples_us":[6]}]})";
  const struct { std::string file, text, said; uint32_t runs; } steps[] = {  // runs: in the data set afterwards
      {"one.json", one, "Opened 1 runs (1 run with no possible time left out): one.json\n", 1},
      {"again.json", one, "Opened 0 new runs (1 already loaded; 1 run with no possible time left out): again.json\n", 1},
      {"both.json", "[" + one + "," + other + "," + other + "]",
       "Opened 1 new runs (2 already loaded; 1 run with no possible time left out): both.json\n", 2},
      {"corpus.json", R"({"contributions":[)" + other + "]}", "Opened 0 new runs (1 already loaded): corpus.json\n", 2},
      {"two.json",
       R"([{"schema":"quorl-bench/1","id":"z","runs":[{"samples_us":[-1,3,-2]},{"best_us":-3,"samples_us":["x"]},)"
       R"({"first_us":-4}]},{"schema":"quorl-bench/1","id":"w","runs":[{"samples_us":[4,-9]}]}])",
       "Opened 2 runs (3 impossible times left out; 2 runs with no possible time left out): two.json\n", 4},
      // Runs whose only time is a first one stay, without a best time.
      {"first.json",
       head + R"({"benchmark":"f","samples_us":[-5,1152921504606846976],"best_us":-1,"first_us":120},)"
              R"({"benchmark":"g","first_us":9},{"benchmark":"h","best_us":3}]})",
       "Opened 3 runs (3 impossible times left out; 2 runs with no best time): first.json\n", 7},
  };
  for (const auto& k : steps) {
    c->loadFile(S(dir.write(k.file, k.text).c_str()));
    EXPECT_EQ(take(), k.said);
    EXPECT_EQ(c->dataSet->runs()->count(), k.runs) << k.file;
  }
  // The file opened again is the own one again, though loaded already.
  Ref<Contribution> own = c->ownContribution;
  c->loadFile(S(dir.write("one.json", one).c_str()));
  EXPECT_NE(c->ownContribution, own);
  EXPECT_EQ(contributions(), 5u);
  // A download holding what was opened adds only the rest.
  c->mergeCorpus(S((R"({"contributions":[)" + other + R"(,{"id":"y","runs":[{}]}]})").c_str()));
  EXPECT_EQ(take(), "Opened 0 new runs (1 already loaded; 1 run with no possible time left out): one.json\n"
                    "Downloaded 1 new runs in 1 result sets (1 already loaded; 1 run with no best time).\n");
}

// Numbers written back differently make other result sets: the second file
// brings new runs, as Submit would send it as read. Spellings of one
// number written back alike are one result set.
TEST_F(ControllerModel, NumbersWrittenBackDifferentlyAreOtherResultSets) {
  TempDir dir;
  std::ifstream in(samplePath("contribution.json"), std::ios::binary);
  const std::string sample((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const struct { const char *first, *second; bool same; } rows[] = {
      {"18446744073709551615", "-1", false}, {"9223372036854775808", "-9223372036854775808", false},
      {"0.0", "-0.0", false}, {"1", "1.0", false}, {"1", "true", false}, {"1.0", "1.00", true},
      {"18446744073709551616", "1.8446744073709552e19", true}, {"18446744073709551615", "18446744073709551615", true},
  };
  for (const auto& row : rows) {
    Ref<Controller> opener = make<Controller>();
    opener->transcript = out;
    for (const char* seed : {row.first, row.second}) {
      std::string text = sample;
      text.insert(text.find('{') + 1, std::string("\"seed\":") + seed + ",");
      opener->loadFile(S(dir.write("seeded.json", text).c_str()));
    }
    EXPECT_EQ(take(), std::string("Opened 11 runs: seeded.json\nOpened ") +
                          (row.same ? "0 new runs (11 already loaded)" : "11 runs") + ": seeded.json\n")
        << row.first << " then " << row.second;
    EXPECT_EQ(opener->dataSet->contributions().count(), row.same ? 1u : 2u) << row.first << " then " << row.second;
    // Submit sends the number of the file opened last, as it is written back.
    ASSERT_NE(opener->ownContributionText(), nullptr);
    EXPECT_EQ(str(opener->ownContributionText()).find("{\"seed\":" + str(JSON::stringify(JSON::parse(S(row.second)))) + ","),
              0u) << row.second;
  }
}

// Result sets alike in every field but their documents (a member no field
// holds) are told apart, and each is held once however many copies a file
// holds, in any order: opened again, the file adds nothing.
TEST_F(ControllerModel, ResultSetsAlikeButForTheirDocumentsAreEachHeldOnce) {
  TempDir dir;
  std::mt19937_64 random(11);
  for (int round = 0; round < test::rounds(200); ++round) {
    const int kinds = 1 + int(random() % 4);
    std::vector<int> copies;
    for (int k = 0; k < kinds; ++k)
      for (uint64_t n = 1 + random() % 3; n > 0; --n) copies.push_back(k);
    std::shuffle(copies.begin(), copies.end(), random);
    std::string text = "[";
    for (int k : copies)
      text += (text.size() > 1 ? "," : "") + std::string(R"({"schema":"quorl-bench/1","id":"x","machine":{"cores":)") +
              std::to_string(k) + R"(},"runs":[{"benchmark":"b","samples_us":[5]}]})";
    const std::string path = dir.write("alike.json", text + "]");
    Ref<Controller> opener = make<Controller>();
    opener->transcript = out;
    opener->loadFile(S(path.c_str()));
    opener->loadFile(S(path.c_str()));
    const int twice = int(copies.size()) - kinds;
    EXPECT_EQ(take(), "Opened " + std::to_string(kinds) +
                          (twice ? " new runs (" + std::to_string(twice) + " already loaded)" : std::string(" runs")) +
                          ": alike.json\nOpened 0 new runs (" + std::to_string(copies.size()) + " already loaded): alike.json\n")
        << text;
    EXPECT_EQ(opener->dataSet->contributions().count(), uint32_t(kinds)) << text;
  }
}

// Over generated opens and downloads, what the user opened stays, held once;
// status lines count what each step brought; the own contribution is shown.
TEST_F(ControllerModel, WhatTheUserOpenedOutlivesEveryDownload) {
  TempDir dir;
  const auto document = [](const std::string& cpu, int runs) {
    std::string text = R"({"schema":"quorl-bench/1","machine":{"cpu":")" + cpu + R"("},"runs":[)";
    for (int i = 0; i < runs; ++i) text += (i ? "," : "") + std::string(R"({"benchmark":"b)") + std::to_string(i) + R"("})";
    return text + "]}";
  };
  const std::string names = "ABCD";  // A and B are the user's files; all four may be in a download
  const int runsOf[] = {2, 3, 1, 4};
  const std::string paths[] = {dir.write("a.json", document("A", 2)), dir.write("b.json", document("B", 3))};
  const uint32_t rounds = test::rounds(200);
  std::mt19937 rng(44);
  for (uint32_t round = 0; round < rounds; ++round) {
    Ref<Controller> fresh = make<Controller>();
    fresh->transcript = out;
    std::set<int> opened;
    std::vector<int> download;  // the last download's result sets, each once
    int own = -1;
    std::string steps;
    const auto held = [&](int m) { return opened.count(m) || std::count(download.begin(), download.end(), m); };
    // The generated runs give no time: each is counted, in the file or download that brings it.
    const auto noBest = [](int n) { return std::to_string(n) + (n == 1 ? " run" : " runs") + " with no best time"; };
    for (int step = 0; step < 8; ++step) {
      take();
      std::string expected;
      if (rng() % 2) {
        const int x = int(rng() % 2);
        steps += std::string(" open ") + names[x];
        const bool known = held(x);
        fresh->loadFile(S(paths[x].c_str()));
        expected = "Opened " +
                   (known ? "0 new runs (" + std::to_string(runsOf[x]) + " already loaded; "
                          : std::to_string(runsOf[x]) + " runs (") +
                   noBest(runsOf[x]) + "): " + std::string(1, char('a' + x)) + ".json\n";
        opened.insert(x);
        own = x;
      } else {
        // Some of the four, in any order, one of them perhaps twice.
        std::vector<int> members;
        for (int m = 0; m < 4; ++m)
          if (rng() % 2) members.push_back(m);
        if (!members.empty() && rng() % 4 == 0) members.push_back(members[rng() % members.size()]);
        std::shuffle(members.begin(), members.end(), rng);
        steps += " download";
        std::string corpus = R"({"contributions":[)";
        for (size_t i = 0; i < members.size(); ++i) {
          corpus += (i ? "," : "") + document(std::string(1, names[members[i]]), runsOf[members[i]]);
          steps += std::string(1, names[members[i]]);
        }
        fresh->mergeCorpus(S((corpus + "]}").c_str()));
        if (members.empty()) {
          expected = "The corpus had no contributions.\n";
        } else {
          int added = 0, known = 0;
          download.clear();
          for (int m : members) {
            (held(m) ? known : added) += runsOf[m];
            if (!held(m)) download.push_back(m);
          }
          expected = "Downloaded " + std::to_string(added) + (known ? " new runs in " : " runs in ") +
                     std::to_string(download.size()) + " result sets (" +
                     (known ? std::to_string(known) + " already loaded; " : "") + noBest(added + known) + ").\n";
        }
      }
      ASSERT_EQ(take(), expected) << "round " << round << ":" << steps;
      // Each result set opened or downloaded last is shown once, no other.
      std::string shown, expectShown;
      for (int m = 0; m < 4; ++m) {
        if (held(m)) expectShown += names[m];
        for (uint32_t i = 0; i < fresh->dataSet->contributions().count(); ++i)
          if (str(fresh->dataSet->at(i)->machine->cpu) == std::string(1, names[m])) shown += names[m];
      }
      ASSERT_EQ(shown, expectShown) << "round " << round << ":" << steps;
      if (own >= 0) {
        ASSERT_NE(fresh->ownContribution, nullptr);
        EXPECT_EQ(str(fresh->ownContribution->machine->cpu), std::string(1, names[own]));
      }
    }
  }
}

TEST_F(ControllerModel, EmptyContributionStillOpens) {
  TempDir dir;
  c->loadFile(S(dir.write("zero.json", R"({"schema":"quorl-bench/1"})").c_str()));
  EXPECT_EQ(take(), "Opened 0 runs: zero.json\n");
  EXPECT_EQ(contributions(), 1u);
}

// A second download replaces the first instead of adding every run again;
// opened files stay, and a failed download changes nothing.
TEST_F(ControllerModel, DownloadReplacesThePreviousDownload) {
  c->loadFile(S(samplePath("selftest.json").c_str()));
  Ref<Contribution> own = c->ownContribution;
  const char* corpus = R"({"contributions":[{"schema":"quorl-bench/1","machine":{"cpu":"A"},"runs":[{},{}]},)"
                       R"({"schema":"quorl-bench/1","machine":{"cpu":"B"},"runs":[{}]}]})";
  take();
  c->mergeCorpus(S(corpus));
  c->mergeCorpus(S(corpus));
  EXPECT_EQ(take(), "Downloaded 3 runs in 2 result sets (3 runs with no best time).\n"
                    "Downloaded 3 runs in 2 result sets (3 runs with no best time).\n");
  EXPECT_EQ(contributions(), 3u);
  EXPECT_EQ(c->dataSet->at(0), own);
  EXPECT_EQ(c->ownContribution, own);  // never a downloaded one
  EXPECT_EQ(c->dataSet->runs()->count(), 19u + 3u);

  c->mergeCorpus(S(R"({"contributions":[]})"));
  c->mergeCorpus(S("<html>"));
  c->mergeCorpus(S((R"({"contributions":[)" + repeated("{},", 350000) + "{}]}").c_str()));
  c->mergeCorpus(String::withBytes("\xFF\xFE{\0}", 5));
  Net::_reset();
  c->mergeCorpus(nullptr);
  EXPECT_EQ(take(),
            "The corpus had no contributions.\nCould not read the corpus: not JSON (byte 0)\n"
            "Could not read the corpus: it would take too much memory to open\n"
            "Could not read the corpus: not valid UTF-16 text\n"
            "Could not read the corpus: unknown error\n");
  EXPECT_EQ(contributions(), 3u);
}

// Choices in order of first appearance, case folded to the first form;
// devices by their friendly names, then the CPU-only and GPU-only entries.
TEST_F(ControllerModel, DistinctChoicesAndDevices) {
  TempDir dir;
  const char* doc =
      R"([{"schema":"quorl-bench/1","machine":{"cpu":"Zen 4","gpu":"RTX"},"runs":[)"
      R"({"suite":"langs","target":"cpp","device":"cpu","opt":"O3","arch":"x86_64"},)"
      R"({"suite":"par","device":"VULKAN","opt":"o3","arch":""},)"
      R"({"suite":"Langs","target":"quorl","device":"serial","opt":"O0","arch":"arm64"}]},)"
      R"({"schema":"quorl-bench/1","machine":{"cpu":"ZEN 4"},"runs":[)"
      R"({"suite":"par","device":"odd","opt":"O2"},{"suite":"par","opt":"o3\u0000x"}]}])";  // O3: up to the NUL
  c->loadFile(S(dir.write("mix.json", doc).c_str()));
  const struct {
    const char* key;
    const char* expected;
  } cases[] = {
      {"cpu", "Zen 4"},
      {"CPU", "Zen 4"},
      {"gpu", "RTX"},
      {"suite", "langs|par"},
      {"opt", "O3|O0|O2"},
      {"arch", "x86_64|arm64"},
      {"series", "C++ (clang)|Vulkan|quorl|auto"},
      {"device", ""},
  };
  for (const auto& k : cases) EXPECT_EQ(joined(c->distinct(k.key)), k.expected) << k.key;
  // "VULKAN" is shown as Vulkan but is no GPU run (the test is case-sensitive).
  EXPECT_EQ(joined(c->deviceChoices()), "all threads|Vulkan|one thread|odd|CPU only");

  Ref<Controller> empty = make<Controller>();
  EXPECT_EQ(joined(empty->deviceChoices()), "");
  EXPECT_EQ(joined(empty->distinct("cpu")), "");
}

TEST_F(ControllerModel, FriendlyDeviceNames) {
  const std::pair<const char*, const char*> cases[] = {
      {"serial", "one thread"}, {"CPU", "all threads"}, {"gpu", "GPU"},
      {"Vulkan", "Vulkan"},     {"metal", "metal"},     {"", ""}};
  for (const auto& [code, name] : cases) EXPECT_EQ(str(Controller::friendlyDevice(S(code))), name) << code;
  EXPECT_EQ(Controller::friendlyDevice(nullptr), nullptr);
}

TEST_F(ControllerModel, OwnerOfARun) {
  c->loadFile(S(samplePath("contributions.json").c_str()));
  Ref<Contribution> second = c->dataSet->at(1);
  EXPECT_EQ(c->ownerOf(cast<quorl::Run>(second->runs->get(1))), second);
  EXPECT_EQ(c->ownerOf(make<quorl::Run>()), c->dataSet->at(0));  // a stranger: the first
}

// Without a window nothing is rebuilt: the filter keeps its criteria and the
// table has no rows.
TEST_F(ControllerModel, NoRebuildBeforeTheWindow) {
  c->filter->cpu = S("x");
  c->rebuild(true);
  EXPECT_EQ(str(c->filter->cpu), "x");
  c->loadFile(S(samplePath("selftest.json").c_str()));  // rebuilds with reset
  EXPECT_EQ(str(c->filter->cpu), "x");
  EXPECT_EQ(c->rows->count(), 0u);
}

// Each column answers its own field of the row: every text differs, so two
// columns swapped show. A field the row lacks reads as the empty text, and
// so does a row past the end.
TEST_F(ControllerModel, TableCells) {
  auto row = make<ChartRow>();
  row->bench = S("nbody");
  row->label = S("GPU  x86-64");
  row->bestText = S("1.05 ms");
  row->spreadText = S("+/- 3.2");
  row->machineText = S("Zen 4 + RTX");
  row->paramText = S("n=1000");
  c->rows->add(row);
  auto bare = make<ChartRow>();
  bare->bench = S("fib");
  bare->label = S("quorl");
  c->rows->add(bare);
  UXTableView& table = *make<UXTableView>();
  EXPECT_EQ(c->numberOfRows(table), 2u);
  const struct {
    uint32_t row, column;
    const char* text;
  } cases[] = {{0, 0, "nbody"},       {0, 1, "GPU  x86-64"}, {0, 2, "1.05 ms"}, {0, 3, "+/- 3.2"},
               {0, 4, "Zen 4 + RTX"}, {0, 5, "n=1000"},      {0, 6, "n=1000"},  {0, 99, "n=1000"},
               {1, 0, "fib"},         {1, 1, "quorl"},       {1, 2, ""},        {1, 3, ""},
               {1, 4, ""},            {1, 5, ""},            {2, 0, ""},        {0xFFFFFFFFu, 0, ""}};
  for (const auto& k : cases) EXPECT_STREQ(c->valueForCell(table, k.row, k.column), k.text) << k.row << "," << k.column;
}

// A server's reply in a report line: control bytes escaped (those of C0 and
// C1, DEL, the line separators, the bidirectional controls, and bytes that
// are not UTF-8) and the backslash, at most 200 bytes of the body shown.
TEST(ControllerReport, ShownBody) {
  const struct {
    std::string body;
    std::string shown;
  } cases[] = {
      {R"({"id": 1, "count": 2})", R"({"id": 1, "count": 2})"},
      {"line\r\nnext\tx", "line\\r\\nnext\\tx"},
      {std::string("a\0b\x1b[2J\x7f", 8), "a\\x00b\\x1B[2J\\x7F"},
      {"caf\xc3\xa9", "caf\xc3\xa9"},
      {std::string(200, 'x'), std::string(200, 'x')},
      {std::string(201, 'y'), std::string(200, 'y') + "\xE2\x80\xA6"},
      // Letters that read as an escape are not one; a text that reverses what follows it.
      {"\\x1B[2J \x1B[2J", "\\\\x1B[2J \\x1B[2J"},
      {"ok\xE2\x80\xAE\xE2\x81\xA6gnp.exe", "ok\\xE2\\x80\\xAE\\xE2\\x81\\xA6gnp.exe"},
      {"", ""},
      // A C1 control (CSI), the line separator, bytes that are not UTF-8, a cut sequence.
      {"\xc2\x9b" "31mred", "\\xC2\\x9B31mred"},
      {"a\xe2\x80\xa8" "b", "a\\xE2\\x80\\xA8b"},
      {"\xff\xfe" "x\xe2\x82", "\\xFF\\xFEx\\xE2\\x82"},
      // Cut between characters: a character across the limit goes whole.
      {std::string(199, 'z') + "\xc3\xa9", std::string(199, 'z') + "\xE2\x80\xA6"},
      // Format characters; an ellipsis of the body is no cut.
      {"{\"id\": \"a\xE2\x80\x8D\xEF\xBB\xBF\xF3\xA0\x81\x81\"}", "{\"id\": \"a\\xE2\\x80\\x8D\\xEF\\xBB\\xBF\\xF3\\xA0\\x81\\x81\"}"},
      {std::string(197, 'z') + "\xE2\x80\xA6", std::string(197, 'z') + "\\\xE2\x80\xA6"},
  };
  for (const auto& k : cases) {
    const Ref<String> field =
        Controller::shownBody(reinterpret_cast<const uint8_t*>(k.body.data()), uint32_t(k.body.size()));
    // As its report line prints it.
    Ref<Controller> c = make<Controller>();
    c->transcript = make<String>();
    Ref<String> line = String::withCString("net:      submit 1 -> 200 ");
    line->append(field);
    c->report(line);
    EXPECT_EQ(str(c->transcript), "net:      submit 1 -> 200 " + k.shown + "\n");
  }
}

}  // namespace
