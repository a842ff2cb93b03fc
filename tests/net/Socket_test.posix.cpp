// The socket layer's bounds: a connect that gets no answer gives up after
// its time-out instead of the system's minutes.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "Support.h"
#include "net/Socket.h"

using namespace quorl;
using namespace quorl::test;

namespace {

// A loopback listener that never accepts, with its queue filled: the
// kernel then drops further connection requests without an answer.
struct Unanswering {
  int listener = -1;
  uint16_t port = 0;
  std::vector<int> queued;

  Unanswering() {
    listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(listener, 0) != 0) return;
    socklen_t length = sizeof a;
    getsockname(listener, reinterpret_cast<sockaddr*>(&a), &length);
    port = ntohs(a.sin_port);
    for (int i = 0; i < 4; i++) {
      SocketIO::Handle h;
      if (SocketIO::open("127.0.0.1", port, 200, 0, h) != SocketIO::OpenResult::ok) break;
      queued.push_back(static_cast<int>(h));
    }
  }
  ~Unanswering() {
    for (int fd : queued) close(fd);
    if (listener >= 0) close(listener);
  }
};

// Each bound that ends a connect to a host that never answers, and how long
// the connect took: a wait shorter than another bound ends it at its own
// time, never at the longer one. The time of a connect bounded at 300 ms,
// measured first, is the baseline; every other case must end within ten
// times it, where waiting out the 30-s bound would take a hundred times it.
TEST(SocketIO, ConnectGivesUpAtItsNearestBound) {
  Unanswering server;
  ASSERT_NE(server.port, 0);
  ASSERT_FALSE(server.queued.empty());
  using Clock = std::chrono::steady_clock;
  auto took = [](Clock::time_point since) { return Clock::now() - since; };
  auto opened = [&](uint32_t eachMs, uint32_t totalMs) {
    SocketIO::Handle h = SocketIO::kNoHandle;
    const SocketIO::OpenResult r = SocketIO::open("127.0.0.1", server.port, eachMs, totalMs, h);
    EXPECT_EQ(h, SocketIO::kNoHandle);
    return r;
  };
  const Clock::time_point began = Clock::now();
  EXPECT_EQ(opened(300, 0), SocketIO::OpenResult::connectFailed);
  const Clock::duration baseline = took(began);
  ASSERT_LT(baseline, std::chrono::seconds(3)) << "the 300-ms time-out did not end the connect";

  const std::string url = "http://127.0.0.1:" + std::to_string(server.port) + "/";
  const std::string refused = "cannot connect to 127.0.0.1:" + std::to_string(server.port);
  struct Case {
    const char* bound;
    uint32_t connectMs, deadlineMs;  // 0: the socket layer alone, with no deadline of a request
    std::string error;
  };
  const Case cases[] = {
      {"the total of the addresses", 30000, 0, ""},
      {"the connect time-out", 300, 30000, refused},
      // A nearer deadline ends the connect, in its own words.
      {"the deadline", 30000, 300, "request timed out after 0.3 seconds"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bound);
    LimitsScope limits;
    const Clock::time_point start = Clock::now();
    if (c.deadlineMs == 0) {
      EXPECT_EQ(opened(c.connectMs, 300), SocketIO::OpenResult::connectFailed);
    } else {
      Http::limits().connectTimeoutMs = c.connectMs;
      Http::limits().requestDeadlineMs = c.deadlineMs;
      EXPECT_EQ(str(Http::get(Url::withCString(url.c_str()))->error), c.error);
    }
    const auto spent = took(start);
    EXPECT_LT(spent, baseline * 10) << std::chrono::duration_cast<std::chrono::milliseconds>(spent).count()
                                     << " ms against a baseline of "
                                     << std::chrono::duration_cast<std::chrono::milliseconds>(baseline).count()
                                     << " ms";
  }
}

TEST(SocketIO, SendAndReceiveOnAPair) {
  int fds[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
  EXPECT_EQ(SocketIO::send(fds[0], "hello", 5), 5);
  char buffer[8];
  EXPECT_EQ(SocketIO::receive(fds[1], buffer, sizeof buffer), 5);
  SocketIO::setReceiveTimeout(fds[1], 50);
  EXPECT_LT(SocketIO::receive(fds[1], buffer, sizeof buffer), 0);  // times out
  SocketIO::close(fds[0]);
  EXPECT_EQ(SocketIO::receive(fds[1], buffer, sizeof buffer), 0);  // end of stream
  // Writing to a closed peer fails instead of raising SIGPIPE.
  EXPECT_LT(SocketIO::send(fds[1], "x", 1), 0);
  SocketIO::close(fds[1]);

  Socket holder;
  holder.handle = socket(AF_INET, SOCK_STREAM, 0);
  holder.open = 1;
  EXPECT_EQ(str(holder.description()), "<Socket>(" + std::to_string(holder.handle) + ", 1)");
  holder.close();
  EXPECT_EQ(holder.handle, -1);
  EXPECT_EQ(holder.open, 0);
}

}  // namespace
