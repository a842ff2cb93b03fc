// The socket layer's bounds: a connect that gets no answer gives up after
// its time-out instead of the system's minutes.
#include <gtest/gtest.h>

#include <algorithm>
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

// A connect to a host that never answers ends at its nearest bound: within
// ten times a connect bounded at 300 ms (and at least 10 s), where the
// other bounds would take 30 s.
TEST(SocketIO, ConnectGivesUpAtItsNearestBound) {
  Unanswering server;
  ASSERT_NE(server.port, 0);
  ASSERT_FALSE(server.queued.empty());
  using Clock = std::chrono::steady_clock;
  auto opened = [&](uint32_t eachMs, uint32_t totalMs) {
    SocketIO::Handle h = SocketIO::kNoHandle;
    const SocketIO::OpenResult r = SocketIO::open("127.0.0.1", server.port, eachMs, totalMs, h);
    EXPECT_EQ(h, SocketIO::kNoHandle);
    return r;
  };
  const Clock::time_point began = Clock::now();
  EXPECT_EQ(opened(300, 0), SocketIO::OpenResult::connectFailed);
  const Clock::duration baseline = Clock::now() - began;
  // Without its time-out the system gives up after about two minutes.
  ASSERT_LT(baseline, std::chrono::seconds(30)) << "the 300-ms time-out did not end the connect";
  // Each case below ends at 300 ms, or at 30 s when the nearest bound is missed.
  const Clock::duration limit = std::max<Clock::duration>(baseline * 10, std::chrono::seconds(10));
  const std::string url = "http://127.0.0.1:" + std::to_string(server.port) + "/";
  // Deadline 0: the socket layer alone, its addresses' total at 300 ms.
  const struct { uint32_t connectMs, deadlineMs; std::string error; } cases[] = {
      {30000, 0, ""},
      {300, 30000, "cannot connect to 127.0.0.1:" + std::to_string(server.port)},
      {30000, 300, "request timed out after 0.3 seconds"},  // in the deadline's own words
  };
  for (const auto& c : cases) {
    LimitsScope limits;
    const Clock::time_point start = Clock::now();
    if (c.deadlineMs == 0) {
      EXPECT_EQ(opened(c.connectMs, 300), SocketIO::OpenResult::connectFailed);
    } else {
      Http::limits().connectTimeoutMs = c.connectMs;
      Http::limits().requestDeadlineMs = c.deadlineMs;
      EXPECT_EQ(str(Http::get(Url::withCString(url.c_str()))->error), c.error);
    }
    EXPECT_LT(Clock::now() - start, limit) << c.connectMs << "/" << c.deadlineMs;
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
