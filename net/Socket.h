// The operating system's TCP sockets behind one small interface: POSIX
// sockets natively (Socket.posix.cpp), Windows Sockets 2 on Windows
// (Socket.win32.cpp). Everything above this file is portable.
//
// Handles are signed 64-bit values, -1 for none, so that a Windows SOCKET
// (an unsigned pointer-sized value) and a POSIX descriptor both fit.
#pragma once

#include <chrono>
#include <cstdint>

namespace quorl::SocketIO {

using Handle = int64_t;
inline constexpr Handle kNoHandle = -1;

enum class OpenResult : uint8_t {
  ok,
  startupFailed,   // the socket library would not start (Windows only)
  resolveFailed,   // the name did not resolve, or to nothing
  connectFailed,   // no address accepted a connection in time
};

// Resolves host (IPv4 and IPv6, in the resolver's order) and connects to the
// first address that answers within timeoutMs each and within totalMs for
// all the addresses together; 0 waits without limit. (The name resolution
// itself is the system's and has no bound here.) On ok, `handle` is a
// connected, blocking stream socket.
OpenResult open(const char* host, uint32_t port, uint32_t timeoutMs, uint32_t totalMs, Handle& handle);

// Time-outs in milliseconds for each later receive and each send; 0 means
// none. Failures are ignored: the socket then keeps its old time-outs.
void setReceiveTimeout(Handle handle, uint32_t milliseconds);
void setSendTimeout(Handle handle, uint32_t milliseconds);

// One send: more than 0 bytes sent, or 0 / below 0 on failure or time-out.
// Never raises SIGPIPE; an interrupted call is repeated.
int32_t send(Handle handle, const void* bytes, uint32_t length);

// One receive: more than 0 bytes read, 0 at the end of the stream, below 0
// on failure or time-out. An interrupted call is repeated.
int32_t receive(Handle handle, void* buffer, uint32_t capacity);

void close(Handle handle);

// The time-outs set on the socket, in milliseconds; 0 when none is set.
uint32_t receiveTimeout(Handle handle);
uint32_t sendTimeout(Handle handle);

// Waits until a receive (or, when `writing`, a send) would not block, at
// most timeoutMs (below 0: without limit). An interrupted wait is resumed.
enum class WaitResult : uint8_t { ready, timedOut, failed };
WaitResult waitReady(Handle handle, bool writing, int32_t timeoutMs);

// The time one operation of a layer above the socket (a TLS handshake, one
// TLS read) may take in all: the socket's own time-out, counted once from
// the operation's start, however many receives and sends it makes. Waiting
// with what is left before each call keeps a peer that answers a byte at a
// time, or a blocking call restarted after a time-out, from stretching it.
class Budget {
 public:
  using Clock = std::chrono::steady_clock;

  // Starts from the smaller of the socket's receive and send time-outs that
  // are set (those asked for); none set means no limit.
  void start(Handle handle, bool receiving, bool sending) {
    uint32_t ms = 0;
    if (receiving) ms = smaller(ms, receiveTimeout(handle));
    if (sending) ms = smaller(ms, sendTimeout(handle));
    start(ms);
  }
  // Starts from ms (0: no limit).
  void start(uint32_t ms) {
    bounded_ = ms != 0;
    end_ = Clock::now() + std::chrono::milliseconds(ms);
  }

  bool spent() const { return bounded_ && Clock::now() >= end_; }

  // The wait for one of several steps, each allowed `eachMs` (0: no
  // limit), within what is left; false once the time is spent. An open
  // gives each address its time-out, and all of them the total, so that a
  // host with many addresses that drop SYNs cannot stretch the caller's bound.
  bool next(uint32_t eachMs, uint32_t& wait) const {
    wait = eachMs;
    if (!bounded_) return true;
    const int64_t left = leftMs();
    if (left <= 0) return false;
    if (wait == 0 || left < wait) wait = static_cast<uint32_t>(left);
    return true;
  }

  // waitReady with what is left; false once the time is spent.
  bool wait(Handle handle, bool writing) const {
    if (!bounded_) return waitReady(handle, writing, -1) == WaitResult::ready;
    for (;;) {
      int64_t left = leftMs();
      if (left < 0) left = 0;
      WaitResult r = waitReady(handle, writing, left > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int32_t>(left));
      if (r != WaitResult::timedOut) return r == WaitResult::ready;
      // Timers may end a wait a little early: only a clock past the end
      // spends the budget.
      if (left == 0 || Clock::now() >= end_) return false;
    }
  }

 private:
  static uint32_t smaller(uint32_t a, uint32_t b) { return a == 0 ? b : b == 0 ? a : a < b ? a : b; }
  int64_t leftMs() const { return std::chrono::ceil<std::chrono::milliseconds>(end_ - Clock::now()).count(); }

  bool bounded_ = false;
  Clock::time_point end_{};
};

}  // namespace quorl::SocketIO
