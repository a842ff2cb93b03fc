// The background fetch: tokens, the pending list, completion without a
// transport, and jobs over the HTTP client delivered to a run loop.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "Support.h"
#include "TestServer.h"
#include "foundation/Log.h"
#include "net/Fetch.h"

using namespace quorl;
using namespace quorl::test;

namespace {

// Collects what completions receive.
struct Results : Object {
  struct Result {
    uint32_t status;
    Ref<String> body;
  };
  std::vector<Result> got;

  FetchCompletion completion() {
    FetchCompletion c;
    c.target = self<Object>();
    c.function = [](const Ref<Object>& target, uint32_t status, Ref<String> body) {
      staticCast<Results>(target)->got.push_back({status, std::move(body)});
    };
    return c;
  }
};

struct LogLines : Object {
  std::vector<std::pair<uint8_t, std::string>> lines;
};

class FetchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Fetch::setPlatformDelegate(nullptr);
    Fetch::setDeliveryRunLoop(nullptr);
  }
  void TearDown() override {
    Fetch::setPlatformDelegate(nullptr);
    Fetch::setDeliveryRunLoop(nullptr);
  }
};

TEST_F(FetchTest, WithoutATransportCompletesAtOnce) {
  auto log = make<LogLines>();
  _LogMonitor::Function watch;
  watch.target = log;
  watch.function = [](const Ref<Object>& target, Ptr<const String> name, uint8_t level, Ptr<const String> message) {
    staticCast<LogLines>(target)->lines.push_back(
        {level, (name && !name->isEmpty() ? str(name->copy()) + ": " : "") + std::string(message->cString())});
  };
  Log::_addMonitor(make<_LogMonitor>(watch));

  auto results = make<Results>();
  const uint32_t token = Fetch::_nextToken();
  Url::withCString("http://example.invalid/x")->fetch(results->completion());
  EXPECT_EQ(Fetch::_nextToken(), token + 1);
  ASSERT_EQ(results->got.size(), 1u);  // before fetch returned
  EXPECT_EQ(results->got[0].status, 0u);
  EXPECT_EQ(results->got[0].body, nullptr);
  EXPECT_EQ(Fetch::_pendingCount(), 0u);
  ASSERT_EQ(log->lines.size(), 1u);
  EXPECT_EQ(log->lines[0].first, 2);
  EXPECT_EQ(log->lines[0].second,
            "Url.fetch: no transport for this URL - completing with status 0: http://example.invalid/x");
  // The token is no longer pending: completing it again does nothing.
  Url::complete(token, 200, String::withCString("late"));
  EXPECT_EQ(results->got.size(), 1u);
}

// A delegate that keeps the requests pending, as a transport would.
struct Holding : Object, PlatformDelegate {
  std::vector<uint32_t> tokens;
  void inject(Ref<Object>, Ref<Object>) override {}
  void pushState(Ref<Object>) override {}
  void startFetch(uint32_t token, Ref<Url>) override { tokens.push_back(token); }
};

TEST_F(FetchTest, PendingRequestsAreTakenOnce) {
  auto holding = make<Holding>();
  Fetch::setPlatformDelegate(holding);
  auto results = make<Results>();
  auto url = Url::withCString("http://h/");
  for (int i = 0; i < 3; i++) url->fetch(results->completion());
  ASSERT_EQ(holding->tokens.size(), 3u);
  EXPECT_EQ(holding->tokens[1], holding->tokens[0] + 1);
  EXPECT_EQ(holding->tokens[2], holding->tokens[0] + 2);
  EXPECT_EQ(Fetch::_pendingCount(), 3u);

  // The middle one, then the head, then the tail of the list.
  Url::complete(holding->tokens[1], 201, String::withCString("b"));
  Url::complete(holding->tokens[1], 202, nullptr);
  Url::complete(0xFFFFFFF0u, 203, nullptr);  // never issued
  ASSERT_EQ(results->got.size(), 1u);
  EXPECT_EQ(results->got[0].status, 201u);
  EXPECT_EQ(str(results->got[0].body), "b");
  auto taken = Url::take(holding->tokens[2]);
  ASSERT_NE(taken, nullptr);
  EXPECT_EQ(taken->token, holding->tokens[2]);
  EXPECT_EQ(str(taken->description()), "<FetchReq>(" + std::to_string(taken->token & 0xFFFF) + ")");
  EXPECT_EQ(Url::take(holding->tokens[2]), nullptr);
  Url::complete(holding->tokens[0], 204, nullptr);
  EXPECT_EQ(results->got.size(), 2u);
  EXPECT_EQ(Fetch::_pendingCount(), 0u);
}

class FetchJobs : public FetchTest {
 protected:
  void SetUp() override {
    FetchTest::SetUp();
    QUORL_REQUIRE_SERVER(TestServer::shared());
    base = TestServer::shared().http;
    loop = make<RunLoop>();
    Fetch::setDeliveryRunLoop(loop);
    Fetch::setPlatformDelegate(make<_HttpDelegate>());
  }
  // Runs the loop until `count` completions arrived (or about 50 s passed:
  // far beyond what a loaded machine takes, and only spent on a failure).
  void deliver(Results& results, size_t count) {
    for (int i = 0; i < 1000 && results.got.size() < count; i++) loop->runUntilItem(50);
  }
  bool finished(const Ref<_HttpJob>& job) {
    for (int i = 0; i < 1000 && !Fetch::_isDone(job); i++) loop->runUntilItem(50);
    return Fetch::_isDone(job);
  }

  std::string base;
  Ref<RunLoop> loop;
};

TEST_F(FetchJobs, ResultsArriveOnTheRunLoop) {
  auto results = make<Results>();
  Url::withCString((base + "/status/404").c_str())->fetch(results->completion());
  Url::withCString((base + "/chunked?n=5000&size=700").c_str())->fetch(results->completion());
  Url::withCString((base + "/short").c_str())->fetch(results->completion());
  Url::withCString("http://127.0.0.1:1/")->fetch(results->completion());
  EXPECT_EQ(Fetch::_pendingCount(), 0u);  // all taken over by jobs
  EXPECT_TRUE(results->got.empty());      // nothing runs off the loop's thread
  deliver(*results, 4);
  ASSERT_EQ(results->got.size(), 4u);
  std::vector<std::pair<uint32_t, std::string>> got;
  for (auto& r : results->got) got.push_back({r.status, r.body ? str(r.body) : "(null)"});
  std::sort(got.begin(), got.end());
  // A failure, and a body cut short, come as status 0 and no body.
  EXPECT_EQ(got[0], std::make_pair(0u, std::string("(null)")));
  EXPECT_EQ(got[1], std::make_pair(0u, std::string("(null)")));
  EXPECT_EQ(got[2], std::make_pair(200u, pattern(5000)));
  EXPECT_EQ(got[3], std::make_pair(404u, std::string("status 404")));
}

TEST_F(FetchJobs, FinishedJobsLeaveTheListAtTheNextStart) {
  const std::string key = std::to_string(::testing::UnitTest::GetInstance()->random_seed());
  auto results = make<Results>();
  auto job = [&](const std::string& path) {
    auto j = make<_HttpJob>(Url::withCString((base + path).c_str()), results->completion());
    Http::_start(j);
    return j;
  };
  // Jobs left by other tests finish first, so that the counts are this test's.
  auto settle = job("/status/200");
  ASSERT_TRUE(finished(settle));
  auto first = job("/hold?key=a" + key);
  auto second = job("/hold?key=b" + key);
  auto third = job("/hold?key=c" + key);
  EXPECT_EQ(Fetch::_jobCount(), 3u);  // the settled one was dropped
  EXPECT_EQ(str(first->description()), "<_HttpJob>(0)");

  for (const char* k : {"a", "b"}) {
    auto r = Http::get(Url::withCString((base + "/release?key=" + k + key).c_str()));
    ASSERT_EQ(r->status, 200u);
  }
  ASSERT_TRUE(finished(first));
  ASSERT_TRUE(finished(second));
  EXPECT_EQ(str(first->description()), "<_HttpJob>(1)");
  auto fourth = job("/status/200");
  EXPECT_EQ(Fetch::_jobCount(), 2u);  // the third and the fourth

  Http::get(Url::withCString((base + "/release?key=c" + key).c_str()));
  ASSERT_TRUE(finished(third));
  ASSERT_TRUE(finished(fourth));
  deliver(*results, 5);
  EXPECT_EQ(results->got.size(), 5u);
}

TEST_F(FetchJobs, AJobWhoseThreadCannotStartCompletesWithAFailure) {
  auto results = make<Results>();
  Thread::_failStartsForTesting(1);
  auto job = make<_HttpJob>(Url::withCString((base + "/status/200").c_str()), results->completion());
  Http::_start(job);
  EXPECT_TRUE(Fetch::_isDone(job));
  deliver(*results, 1);
  ASSERT_EQ(results->got.size(), 1u);
  EXPECT_EQ(results->got[0].status, 0u);
  EXPECT_EQ(results->got[0].body, nullptr);
}

TEST_F(FetchJobs, WithoutARunLoopResultsAreDropped) {
  Fetch::setDeliveryRunLoop(nullptr);
  auto results = make<Results>();
  auto job = make<_HttpJob>(Url::withCString((base + "/status/200").c_str()), results->completion());
  Http::_start(job);
  ASSERT_TRUE(finished(job));
  EXPECT_TRUE(results->got.empty());
}

}  // namespace
