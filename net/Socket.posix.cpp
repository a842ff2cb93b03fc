// POSIX sockets behind the SocketIO interface of Socket.h.
#include "net/Socket.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace quorl::SocketIO {

namespace {

bool setBlocking(int fd, bool blocking) {
  int flags = fcntl(fd, F_GETFL, 0);
  if (flags < 0) return false;
  flags = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
  return fcntl(fd, F_SETFL, flags) == 0;
}

// A non-blocking connect bounded by a poll, so that an address that drops
// SYNs cannot hold the caller for the kernel's minutes-long default.
bool connectWithin(int fd, const sockaddr* address, socklen_t length, uint32_t timeoutMs) {
  if (timeoutMs == 0) {
    int r;
    do r = ::connect(fd, address, length);
    while (r != 0 && errno == EINTR);
    return r == 0;
  }
  if (!setBlocking(fd, false)) return false;
  int r = ::connect(fd, address, length);
  if (r != 0) {
    if (errno != EINPROGRESS && errno != EINTR) return false;
    pollfd p{fd, POLLOUT, 0};
    int ready;
    do ready = ::poll(&p, 1, static_cast<int>(timeoutMs > 0x7FFFFFFFu ? 0x7FFFFFFFu : timeoutMs));
    while (ready < 0 && errno == EINTR);
    if (ready <= 0) return false;
    int soError = 0;
    socklen_t soLength = sizeof soError;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &soLength) != 0 || soError != 0) return false;
  }
  return setBlocking(fd, true);
}

void setTimeout(Handle handle, int option, uint32_t milliseconds) {
  timeval tv{};
  tv.tv_sec = static_cast<time_t>(milliseconds / 1000);
  tv.tv_usec = static_cast<suseconds_t>((milliseconds % 1000) * 1000);
  setsockopt(static_cast<int>(handle), SOL_SOCKET, option, &tv, sizeof tv);
}

}  // namespace

OpenResult open(const char* host, uint32_t port, uint32_t timeoutMs, uint32_t totalMs, Handle& handle) {
  handle = kNoHandle;
  char portText[16];
  std::snprintf(portText, sizeof portText, "%u", port);
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  if (getaddrinfo(host, portText, &hints, &list) != 0 || list == nullptr) {
    if (list) freeaddrinfo(list);
    return OpenResult::resolveFailed;
  }
  int connected = -1;
  Budget budget;
  budget.start(totalMs);
  uint32_t wait = 0;
  for (addrinfo* a = list; a != nullptr && budget.next(timeoutMs, wait); a = a->ai_next) {
    int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) continue;
    if (connectWithin(fd, a->ai_addr, a->ai_addrlen, wait)) {
      connected = fd;
      break;
    }
    ::close(fd);
  }
  freeaddrinfo(list);
  if (connected < 0) return OpenResult::connectFailed;
  // One request per connection, written in one or two pieces: no point in
  // letting Nagle hold the tail of a request back.
  int one = 1;
  setsockopt(connected, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  handle = connected;
  return OpenResult::ok;
}

void setReceiveTimeout(Handle handle, uint32_t milliseconds) { setTimeout(handle, SO_RCVTIMEO, milliseconds); }
void setSendTimeout(Handle handle, uint32_t milliseconds) { setTimeout(handle, SO_SNDTIMEO, milliseconds); }

int32_t send(Handle handle, const void* bytes, uint32_t length) {
  if (length > 0x7FFFFFFFu) length = 0x7FFFFFFFu;
  ssize_t r;
  do r = ::send(static_cast<int>(handle), bytes, length, MSG_NOSIGNAL);
  while (r < 0 && errno == EINTR);
  return static_cast<int32_t>(r);
}

int32_t receive(Handle handle, void* buffer, uint32_t capacity) {
  if (capacity > 0x7FFFFFFFu) capacity = 0x7FFFFFFFu;
  ssize_t r;
  do r = ::recv(static_cast<int>(handle), buffer, capacity, 0);
  while (r < 0 && errno == EINTR);
  return static_cast<int32_t>(r);
}

void close(Handle handle) {
  if (handle >= 0) ::close(static_cast<int>(handle));
}

namespace {
uint32_t timeoutOf(Handle handle, int option) {
  timeval tv{};
  socklen_t length = sizeof tv;
  if (getsockopt(static_cast<int>(handle), SOL_SOCKET, option, &tv, &length) != 0) return 0;
  const uint64_t ms = static_cast<uint64_t>(tv.tv_sec) * 1000 + (static_cast<uint64_t>(tv.tv_usec) + 999) / 1000;
  return ms > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(ms);
}
}  // namespace

uint32_t receiveTimeout(Handle handle) { return timeoutOf(handle, SO_RCVTIMEO); }
uint32_t sendTimeout(Handle handle) { return timeoutOf(handle, SO_SNDTIMEO); }

WaitResult waitReady(Handle handle, bool writing, int32_t timeoutMs) {
  pollfd p{static_cast<int>(handle), static_cast<short>(writing ? POLLOUT : POLLIN), 0};
  int ready;
  do ready = ::poll(&p, 1, timeoutMs < 0 ? -1 : timeoutMs);
  while (ready < 0 && errno == EINTR);
  if (ready < 0 || (ready > 0 && (p.revents & POLLNVAL))) return WaitResult::failed;
  // An error or a hang-up is ready too: the next call reports it.
  return ready > 0 ? WaitResult::ready : WaitResult::timedOut;
}

}  // namespace quorl::SocketIO
