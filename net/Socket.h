// The operating system's TCP sockets behind one small interface: POSIX
// sockets natively (Socket.posix.cpp), Windows Sockets 2 on Windows
// (Socket.win32.cpp). Everything above this file is portable.
//
// Handles are signed 64-bit values, -1 for none, so that a Windows SOCKET
// (an unsigned pointer-sized value) and a POSIX descriptor both fit.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

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
//
// The attempts overlap: while one waits, the next address is tried
// kStaggerMs later (at once when every earlier attempt has failed), so that
// dead addresses ahead of a live one cost a fraction of a second each
// rather than their whole time-out; the first to connect is kept.
OpenResult open(const char* host, uint32_t port, uint32_t timeoutMs, uint32_t totalMs, Handle& handle);
inline constexpr uint32_t kStaggerMs = 250;
inline constexpr size_t kMaxAttempts = 32;  // connecting at once; the rest wait their turn

// Time-outs in milliseconds for each later receive and each send; 0 means
// none. Failures are ignored: the socket then keeps its old time-outs.
void setReceiveTimeout(Handle handle, uint32_t milliseconds);
void setSendTimeout(Handle handle, uint32_t milliseconds);

// One send: more than 0 bytes sent, or 0 / below 0 on failure or time-out.
// Never raises SIGPIPE; an interrupted call is repeated.
int32_t send(Handle handle, const void* bytes, uint32_t length);

// One send of what fits now, without waiting: more than 0 bytes sent, 0
// when nothing fits yet, below 0 on failure. Never raises SIGPIPE.
int32_t sendNow(Handle handle, const void* bytes, uint32_t length);

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
// Waits until a receive or a send would not block, at most timeoutMs; on
// ready, `readable` tells that a receive would (an error or the peer's
// close counts), which is told first when both would.
WaitResult waitEither(Handle handle, int32_t timeoutMs, bool& readable);

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

// -- The platform's pieces of open (Socket.posix.cpp, Socket.win32.cpp) --
// An address of the resolver's list, as the system's connect takes it.
struct Address {
  int32_t family = 0, type = 0, protocol = 0;
  uint32_t length = 0;
  alignas(8) uint8_t bytes[128] = {};  // a sockaddr_storage
};
// Appends each entry of a resolver's list (addrinfo, ADDRINFOW: the same
// fields) that fits an Address, in order.
template <class Entry> void _appendAddresses(const Entry* list, std::vector<Address>& out) {
  for (const Entry* a = list; a != nullptr; a = a->ai_next) {
    Address address;
    if (a->ai_addrlen > sizeof address.bytes) continue;
    address.family = a->ai_family;
    address.type = a->ai_socktype;
    address.protocol = a->ai_protocol;
    address.length = static_cast<uint32_t>(a->ai_addrlen);
    std::memcpy(address.bytes, a->ai_addr, a->ai_addrlen);
    out.push_back(address);
  }
}
// Starts the socket library once (Windows); false when it would not start.
bool _startup();
// Appends the addresses of host and port, in the resolver's order.
void _resolve(const char* host, uint32_t port, std::vector<Address>& out);
// A non-blocking socket whose connect to the address has begun; kNoHandle
// when it failed at once. `connected` when it connected at once.
Handle _startConnect(const Address& address, bool& connected);
// Waits at most timeoutMs (below 0: without limit) until some of the
// connects have ended, well or not, and marks those in `ended`.
void _waitConnects(const std::vector<Handle>& connecting, int32_t timeoutMs, std::vector<uint8_t>& ended);
// An ended connect that succeeded is made blocking, without Nagle's delay;
// false when it failed.
bool _finishConnect(Handle handle);

// Tests: names the hosts whose addresses stand in for those of `host`,
// each resolved by the system in turn ("127.0.0.2", "127.0.0.1"); unset,
// or an empty answer, leaves the system's resolver alone.
std::function<std::vector<std::string>(const char* host)>& _hostsForTests();

}  // namespace quorl::SocketIO
