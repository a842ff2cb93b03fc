// Downloading and submitting against the local benchmark server
// (tools/bench_server.py on 127.0.0.1), driven through the menu and the
// buttons; the server's failures; and the network part of the self test end
// to end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>

#include "AppTestSupport.h"
#include "Rounds.h"
#include "ServerProcess.posix.h"
#include "foundation/Pool.h"
#include "net/Http.h"
#include "net/Net.h"
#include "ux/core/UXViewTree.h"

using namespace quorl;
using namespace quorl::apptest;

namespace {

std::string hexOf(const std::string& bytes) {
  std::string hex;
  for (const unsigned char c : bytes) hex += "0123456789abcdef"[c >> 4], hex += "0123456789abcdef"[c & 15];
  return hex;
}

class Server : public AppFixture {
 protected:
  std::unique_ptr<test::ServerProcess> server;
  HttpLimits saved = Http::limits();

  void SetUp() override {
    AppFixture::SetUp();
    server = std::make_unique<test::ServerProcess>(QUORL_SOURCE_DIR, "quorl-app", std::vector<std::string>{});
    ASSERT_EQ(server->error, "");
    setServer("");
  }
  void TearDown() override {
    Http::limits() = saved;
    unsetenv("QUORL_BENCH_SERVER");
    AppFixture::TearDown();
  }
  // The server's address with `suffix` appended; "%s/benchmarks/..." then
  // lands where the suffix leads (a query swallows the usual path).
  void setServer(const std::string& suffix) {
    setenv("QUORL_BENCH_SERVER", (server->url("http") + suffix).c_str(), 1);
  }
  Ref<UXButton> button(const char* title) {
    const Array& views = *controller->window->tree->views;
    for (uint32_t i = 0; i < views.count(); i++) {
      Ref<UXButton> b = cast<UXButton>(views.get(i));
      if (b && std::string(b->title) == title) return b;
    }
    return nullptr;
  }
};

// Download twice, by the menu and by the button: the second replaces the
// first. Submit unticked, by the menu and by the button: only the request
// for the tick, and nothing reaches the server (the first ticked submission
// is then number 1, not a repeat). Submit ticked: accepted, and the tick is
// spent; again without a new tick: only the request for one; ticked again:
// refused as a repeat. The corpus then holds the submission.
TEST_F(Server, DownloadAndSubmit) {
  open();
  controller->loadFile(S(samplePath("selftest.json").c_str()));
  take();
  driver->logging = true;
  menu(1);
  // The status line and the window painted, then the wait cursor until the corpus is loaded.
  EXPECT_EQ(driver->only({"windowPaintAll", "setBusy", "windowInvalidate"}),
            (std::vector<std::string>{"windowInvalidate 1", "windowPaintAll 1", "setBusy 1", "windowInvalidate 1",
                                      "windowInvalidate 1", "setBusy 0"}));
  driver->logging = false;
  EXPECT_EQ(take(), "Fetching the corpus...\nDownloaded 31 runs in 2 result sets (30 runs with no best time).\n");
  const uint32_t afterFirst = controller->dataSet->contributions().count();
  EXPECT_EQ(afterFirst, 3u);
  click(button("Download"));
  EXPECT_EQ(take(), "Fetching the corpus...\nDownloaded 31 runs in 2 result sets (30 runs with no best time).\n");
  EXPECT_EQ(controller->dataSet->contributions().count(), afterFirst);
  EXPECT_EQ(controller->rows->count(), 19u + 31u);

  ASSERT_NE(controller->ownContribution, nullptr);
  menu(3);
  click(button("Submit to the corpus"));
  const std::string tick = "Tick \"I agree to publish this run\" before submitting.\n";
  EXPECT_EQ(take(), tick + tick);
  click(controller->publishBox);
  // 200 MiB of empty objects in reply is not read past its cap: data, views and tick stay.
  const Ref<Contribution> own = controller->ownContribution;
  setServer("/bigreply/209715200?");
  menu(3);
  EXPECT_EQ(take(), "Submitting...\nSubmit failed: response larger than 65536 bytes\n");
  EXPECT_EQ(controller->ownContribution, own);
  EXPECT_EQ(controller->dataSet->contributions().count(), afterFirst);
  EXPECT_EQ(controller->rows->count(), 19u + 31u);
  EXPECT_EQ(controller->publishBox->state, 1);
  setServer("");
  menu(3);
  EXPECT_EQ(take(), "Submitting...\nSubmitted; the corpus holds 2 contribution(s); the run's id: 1\n");
  EXPECT_EQ(controller->publishBox->state, 0);
  click(button("Submit to the corpus"));
  EXPECT_EQ(take(), tick);
  click(controller->publishBox);
  click(button("Submit to the corpus"));
  EXPECT_EQ(take(), "Submitting...\nThe server refused the run (429): this contribution was just submitted\n");

  // The corpus now holds the user's own runs, which are loaded already.
  menu(1);
  EXPECT_EQ(take(), "Fetching the corpus...\nDownloaded 31 new runs in 2 result sets (19 already loaded; 30 runs with no best time).\n");
  EXPECT_EQ(controller->dataSet->contributions().count(), 3u);
  EXPECT_EQ(controller->rows->count(), 19u + 31u);
}

// Memory runs out at each allocation of an open, a download, a submission
// and a change of the metric in turn, the requests' too: the status line
// says so, the program goes on, and the data and its views stay.
TEST_F(Server, RunningOutOfMemoryAnywhereInALoadKeepsWhatWasLoaded) {
  open();
  controller->loadFile(S(samplePath("contribution.json").c_str()));
  menu(1);
  const auto state = [&] {
    std::string text = std::to_string(uintptr_t(controller->ownContribution.get()));
    for (const Ref<const Array>& list : {controller->dataSet->held(), Ref<const Array>(controller->downloaded)}) {
      for (uint32_t i = 0; i < list->count(); i++) text += " " + std::to_string(uintptr_t(list->get(i).get()));
      text += " |";
    }
    for (const Ref<PickView>& pick : {controller->cpuPick, controller->suitePick, controller->baselinePick})
      text += " " + joined(pick->choices);
    return text + " " + std::to_string(controller->rows->count()) + "/" + std::to_string(controller->table->rowCount);
  };
  const Ref<String> own = S(samplePath("selftest.json").c_str());
  // Menu item (0: open, -1: metric), a line before the failure's, the failure's (start, or whole line), the end,
  // the allocations at least (fewer sanitized), and the failure's line once the request may have gone out.
  const struct { int32_t item; std::string first, failed, done; uint64_t least; std::string sent; } actions[] = {
      {0, "", "Could not read (it would take too much memory to open): selftest.json\n", "Opened 19 runs: selftest.json\n",
       300},
      {1, "Fetching the corpus...\n", "Could not read the corpus: ",
       "Fetching the corpus...\nDownloaded 31 runs in 2 result sets (30 runs with no best time).\n", 300},
      // Whether the run may have reached the server is said; the last that did is a repeat.
      {3, "Submitting...\n", "Submit failed: not enough memory\n",
       "Submitting...\nThe server refused the run (429): this contribution was just submitted\n", 20,
       "Submit failed: not enough memory; the run may have reached the server\n"},
      {-1, "", std::string(Controller::kNoMemory) + "\n", "", 3},
  };
  for (const auto& k : actions) {
    if (k.item == 3) controller->publishBox->state = 1;
    if (k.item == -1) controller->metricPopUp->selectedIndex = 1;
    const std::string before = state();
    uint64_t n = 1, firstSent = 0;  // firstSent: the first failing allocation after the request went out
    for (take();; ++n) {
      Ref<UXEvent> event = make<UXEvent>();
      if (k.item > 0) driver->postMenu(0, k.item), driver->nextEvent(0, *event);
      pool::_failAllocationForTesting(n);
      if (k.item > 0) app->dispatchEvent(*event);
      else if (k.item < 0) controller->metricPopUp->action.send(controller->metricPopUp);
      else controller->loadFile(own);
      if (pool::_failAllocationForTesting(0)) break;  // it took fewer: the action is done
      const std::string said = take();
      const std::string last = !k.first.empty() && said.rfind(k.first, 0) == 0 ? said.substr(k.first.size()) : said;
      if (k.sent.empty()) {
        ASSERT_EQ(last.rfind(k.failed, 0), 0u) << n << ": " << said;
      } else {
        // Before the request goes out the plain words, and from then on always the warning.
        if (!firstSent && last == k.sent) firstSent = n;
        ASSERT_EQ(last, firstSent ? k.sent : k.failed) << n << ": " << said;
      }
      ASSERT_EQ(std::count(last.begin(), last.end(), '\n'), 1) << n << ": " << said;
      ASSERT_EQ(state(), before) << "failing allocation " << n;
    }
    EXPECT_EQ(take(), k.done);
    EXPECT_GT(n, k.least);
    EXPECT_TRUE(k.sent.empty() || firstSent > 1) << firstSent;
    // Nothing a failure left half done stops the views following the data.
    EXPECT_EQ(controller->chartScroll->documentHeight, controller->chart->height());
  }
}

// The suffix that makes every request of the server's a request of /raw:
// the reply's whole bytes, a JSON body after its head, `before` ahead of it.
std::string rawReply(int status, const std::string& body, const std::string& before = "") {
  const std::string reply = before + "HTTP/1.1 " + std::to_string(status) + " X\r\nContent-Length: " +
                            std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
  return "/raw/" + hexOf(reply) + "?";
}

// Whatever the server does, one status line says it and the data stays;
// what the server says reaches the status line and standard output as one
// line, its control bytes escaped.
TEST_F(Server, ServerFailures) {
  open();
  controller->loadFile(S(samplePath("selftest.json").c_str()));
  take();
  const std::string longText = std::string(Stdio::kQuoteLimit, 'w') + "\xE2\x80\xA6";
  // A corpus of one run, which a 200 would download.
  const std::string corpus = R"({"contributions":[{"schema":"quorl-bench/1","machine":{"cpu":"c"},"runs":[)"
                             R"({"suite":"core","benchmark":"b1","target":"quorl","device":"cpu","opt":"O2",)"
                             R"("arch":"x86_64","samples":[101.5,99.25]}]}]})";
  const struct {
    const char* name;
    std::string server;  // empty: the server's own address plus suffix
    std::string suffix;
    const char* download;
    std::string submit;
    bool silent = false;  // a short I/O time-out: the server never answers, whatever the load
  } cases[] = {
      {"error status", "", "/status/500?p=", "Could not read the corpus: the server answered 500",
       "The server refused the run (500) and gave no reason\n"},
      {"garbage with 200", "", "/echo?p=", "Could not read the corpus: not JSON (byte 0)",
       "The server refused the run (200) and gave no reason\n"},
      {"no such path", "", "/nowhere", "Could not read the corpus: the server answered 404",
       "The server refused the run (404) and gave no reason\n"},
      {"refused connection", "http://127.0.0.1:1", "", "Could not read the corpus: ", "Submit failed: "},
      {"silent server", "http://127.0.0.1:" + std::to_string(server->ports["silent"]), "",
       "Could not read the corpus: the server did not answer within 0.3 s\n",
       "Submit failed: the server did not answer within 0.3 s\n", true},
      {"closed without reply", "", "/close?p=", "Could not read the corpus: ", "Submit failed: "},
      {"too long a server", "http://127.0.0.1:1/" + std::string(4096, 'p'), "",
       "Could not read the corpus: QUORL_BENCH_SERVER is longer than 4095 bytes\n",
       "Submit failed: QUORL_BENCH_SERVER is longer than 4095 bytes\n"},
      {"refusal with 200", "", rawReply(200, R"({"error": "quota \u001b[31mexceeded\r\nSubmitted as 7\u0085"})"),
       "The corpus had no contributions.",
       "The server refused the run (200): quota \\x1B[31mexceeded\\r\\nSubmitted as 7\\xC2\\x85\n"},
      {"interim replies first", "",
       rawReply(200, R"({"id": "r-1", "count": 5})",
                "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 103 Early Hints\r\nLink: </a>\r\n\r\n"),
       "The corpus had no contributions.", "Submitted; the corpus holds 5 contribution(s); the run's id: r-1\n"},
      {"201 Created", "", rawReply(201, R"({"id": "r-2", "count": 6})"), "The corpus had no contributions.",
       "Submitted; the corpus holds 6 contribution(s); the run's id: r-2\n"},
      {"2xx without id nor reason", "", rawReply(202, R"({"count": 7})"), "The corpus had no contributions.",
       "Submitted; the corpus holds 7 contribution(s); the server gave the run no id\n"},
      {"IPv6 literal", server->url("http6").empty() ? "" : server->url("http6") + "/status/503?p=", "/status/503?p=",
       "Could not read the corpus: the server answered 503", "The server refused the run (503) and gave no reason\n"},
      {"forged second line", "", rawReply(200, R"({"id": "\u001b]0;owned\u0007\u001b[2J\nSubmitted as real-id", "count": 1})"),
       "The corpus had no contributions.",
       "Submitted; the corpus holds 1 contribution(s); the run's id: \\x1B]0;owned\\x07\\x1B[2J\\nSubmitted as real-id\n"},
      {"escapes as letters, a reversing mark", "", rawReply(200, R"({"error": "quota \\x1B[31m \u202egnp.exe"})"),
       "The corpus had no contributions.", "The server refused the run (200): quota \\\\x1B[31m \\xE2\\x80\\xAEgnp.exe\n"},
      // Long texts: the words first, then the text's first 512 bytes.
      {"a 40 kB reason", "", "/long/error/40000?", "The corpus had no contributions.",
       "The server refused the run (200): " + longText + "\n"},
      {"a 60 kB id", "", "/long/id/60000?", "The corpus had no contributions.",
       "Submitted; the corpus holds 1 contribution(s); the run's id: " + longText + "\n"},
      // What the server writes never reads as the program's words, nor as another text: an id or a reason
      // that the words for none would give, one that ends in an ellipsis, one with invisible characters.
      {"an id of a question mark", "", rawReply(200, R"({"id": "?", "count": 2})"), "The corpus had no contributions.",
       "Submitted; the corpus holds 2 contribution(s); the run's id: ?\n"},
      {"a reason of the words for none", "", rawReply(403, R"({"error": "no reason given"})"),
       "Could not read the corpus: the server answered 403", "The server refused the run (403): no reason given\n"},
      {"a reason that ends in an ellipsis", "", rawReply(429, R"({"error": "busy, try again\u2026"})"),
       "Could not read the corpus: the server answered 429", "The server refused the run (429): busy, try again\\\xE2\x80\xA6\n"},
      {"invisible characters", "", rawReply(200, R"({"id": "r\u200b-1\ufeff\u00ad\udb40\udc01", "count": 3})"),
       "The corpus had no contributions.",
       "Submitted; the corpus holds 3 contribution(s); the run's id: r\\xE2\\x80\\x8B-1\\xEF\\xBB\\xBF\\xC2\\xAD\\xF3\\xA0\\x80\\x81\n"},
      // Replies without a body by their status: what follows the head is not read as one. A 204 took the run.
      {"204 followed by a corpus", "", rawReply(204, corpus), "Could not read the corpus: the server answered 204\n",
       "Submitted; the server gave the run no id\n"},
      {"304 followed by a corpus", "", rawReply(304, corpus), "Could not read the corpus: the server answered 304\n",
       "The server refused the run (304) and gave no reason\n"},
      {"204 announcing 50 bytes", "", "/raw/" + hexOf("HTTP/1.1 204 No Content\r\nContent-Length: 50\r\n\r\n") + "?",
       "Could not read the corpus: the server answered 204\n", "Submitted; the server gave the run no id\n"},
  };
  for (const auto& k : cases) {
    Http::limits() = saved;
    if (k.silent) Http::limits().ioTimeoutMs = 300;
    if (k.server.empty()) setServer(k.suffix);
    else setenv("QUORL_BENCH_SERVER", k.server.c_str(), 1);
    menu(1);
    std::string said = take();
    EXPECT_EQ(said.rfind(std::string("Fetching the corpus...\n") + k.download, 0), 0u) << k.name << ": " << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 2) << k.name << ": " << said;
    if (controller->publishBox->state == 0) click(controller->publishBox);  // a submission spends the tick
    menu(3);
    const std::string submitted = take();
    EXPECT_EQ(submitted.rfind(std::string("Submitting...\n") + k.submit, 0), 0u) << k.name << ": " << submitted;
    said += submitted;
    // The status line shows what standard output printed last.
    EXPECT_EQ(std::string(controller->statusLabel->title) + "\n", said.substr(said.rfind('\n', said.size() - 2) + 1))
        << k.name;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 4) << k.name << ": " << said;
    EXPECT_FALSE(std::any_of(said.begin(), said.end(), [](char c) { return (c != '\n' && uint8_t(c) < 0x20) || c == 0x7F; }))
        << k.name << ": " << said;
    EXPECT_EQ(controller->dataSet->contributions().count(), 1u) << k.name;
    EXPECT_EQ(controller->rows->count(), 19u) << k.name;
  }
}

// The corpus's count is told as the server wrote it when it is a whole number from 0 to 2^64 - 1, written
// as an integer; anything else is no count, and the status line states none rather than a made-up one.
TEST_F(Server, TheCountIsToldAsTheServerWroteIt) {
  open();
  controller->loadFile(S(samplePath("selftest.json").c_str()));
  take();
  // The status line after a reply of this count; shown "" for no count.
  const auto checks = [&](const std::string& count, const std::string& shown, bool countFirst = false) {
    const std::string reply = count.empty() ? R"({"id": "r"})"
                              : countFirst  ? R"({"count": )" + count + R"(, "id": "r"})"
                                            : R"({"id": "r", "count": )" + count + "}";
    setServer(rawReply(200, reply));
    if (controller->publishBox->state == 0) click(controller->publishBox);
    menu(3);
    EXPECT_EQ(take(), "Submitting...\nSubmitted; " +
                          (shown.empty() ? std::string() : "the corpus holds " + shown + " contribution(s); ") +
                          "the run's id: r\n")
        << reply;
  };
  const std::pair<const char*, const char*> cases[] = {
      {"9223372036854775808", "9223372036854775808"},  {"18446744073709551615", "18446744073709551615"},
      {"9223372036854775807", "9223372036854775807"},  {"0", "0"}, {"-0", "0"}, {"42", "42"},
      {"18446744073709551616", ""}, {"1e20", ""}, {"1e400", ""}, {"5e-324", ""}, {"7.0", ""}, {"\"7\"", ""},
      {"-1", ""}, {"-9223372036854775808", ""}, {"true", ""}, {"false", ""}, {"null", ""}, {"[7]", ""},
      {"{\"n\": 7}", ""}, {"", ""},  // no count at all
  };
  for (const auto& [count, shown] : cases) checks(count, shown);
  // Generated counts: integers of every size and sign, and numbers written with a fraction or an exponent.
  std::mt19937_64 rng(6);
  for (int round = 0; round < test::rounds(300); round++) {
    const uint64_t value = rng() >> (rng() % 64);
    std::string written = std::to_string(value), shown = written;
    switch (rng() % 4) {
      case 0: written = "-" + written, shown = value == 0 ? "0" : ""; break;
      case 1: written += rng() % 2 ? ".0" : "e0", shown = ""; break;
      default: break;
    }
    checks(written, shown, true);
  }
}

// A server refusing a run by its size before reading it all: its reason is told.
TEST_F(Server, ARefusalBeforeTheRunIsAllSentIsHeard) {
  open();
  TempDir dir;
  const std::string big = R"({"schema":"quorl-bench/1","runs":[],"pad":")" + std::string(16 << 20, 'p') + "\"}";
  controller->loadFile(S(dir.write("big.json", big).c_str()));
  EXPECT_EQ(take(), "Opened 0 runs: big.json\n");
  click(controller->publishBox);
  // A stalled sending would end at the I/O time-out (30 s), far before the server's silence ends; the
  // answer comes as soon as the server has read the head, however loaded the machine.
  setServer("/early/120?");
  menu(3);
  EXPECT_EQ(take(), "Submitting...\nThe server refused the run (413): a contribution is at most 1 MB\n");
}

// The self test's network checks end to end against a fresh server.
TEST_F(Server, NetworkSelfTest) {
  gDriver.reset();
  Ref<ScriptedDriver> scripted = make<ScriptedDriver>();
  scripted->logging = false;
  gDriver = scripted;
  const std::string sample = samplePath("selftest.json");
  const char* argv[] = {"quorl", "--selftest", sample.c_str()};
  Ref<String> out = make<String>();
  const int status = quorlMain(3, argv, [&](const Ref<Controller>& c) { c->transcript = out; });
  const std::string text = str(out);
  const size_t at = text.find("net:");
  ASSERT_NE(at, std::string::npos) << text;
  EXPECT_EQ(text.substr(at),
            "net:      corpus has 2 contribution(s), 1 published\n"
            "net:      submit 1 -> 200 {\"id\": 1, \"count\": 2}\n"
            "net:      submit 2 -> 429 {\"error\": \"this contribution was just submitted\"}\n"
            "net:      corpus now has 3 contribution(s)\n"
            "PASS\n");
  EXPECT_EQ(status, 0);

  // A start file with nothing of our own ends the network checks early.
  const std::string script = samplePath("run-py-results.json");
  const char* argv2[] = {"quorl", "--selftest", script.c_str()};
  out->clear();
  EXPECT_EQ(quorlMain(3, argv2, [&](const Ref<Controller>& c) { c->transcript = out; }), 1);
  const std::string text2 = str(out);
  EXPECT_NE(text2.find("net:      corpus has 3 contribution(s), 1 published\n"
                       "FAIL: nothing of our own to submit\n"),
            std::string::npos)
      << text2;

  // A megabyte of empty contributions is read within its budget, as a download is.
  TempDir dir;
  std::string dense = R"({"contributions":[{})";
  while (dense.size() < (1u << 20)) dense += ",{}";
  test::ServerProcess hostile(QUORL_SOURCE_DIR, "quorl-app", {"--corpus", dir.write("dense.json", dense + "]}")});
  ASSERT_EQ(hostile.error, "");
  setenv("QUORL_BENCH_SERVER", hostile.url("http").c_str(), 1);
  out->clear();
  EXPECT_EQ(quorlMain(3, argv, [&](const Ref<Controller>& c) { c->transcript = out; }), 1);
  EXPECT_NE(str(out).find("FAIL: corpus download: it would take too much memory to open\nFAIL: 1 check(s)\n"),
            std::string::npos)
      << str(out);
}

}  // namespace
