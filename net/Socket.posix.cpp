// POSIX sockets behind the SocketIO interface of Socket.h.
#include "net/Socket.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

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

void setTimeout(Handle handle, int option, uint32_t milliseconds) {
  timeval tv{};
  tv.tv_sec = static_cast<time_t>(milliseconds / 1000);
  tv.tv_usec = static_cast<suseconds_t>((milliseconds % 1000) * 1000);
  setsockopt(static_cast<int>(handle), SOL_SOCKET, option, &tv, sizeof tv);
}

}  // namespace

bool _startup() { return true; }

void _resolve(const char* host, uint32_t port, std::vector<Address>& out) {
  char portText[16];
  std::snprintf(portText, sizeof portText, "%u", port);
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  if (getaddrinfo(host, portText, &hints, &list) != 0) list = nullptr;
  _appendAddresses(list, out);
  if (list) freeaddrinfo(list);
}

Handle _startConnect(const Address& address, bool& connected) {
  connected = false;
  int fd = ::socket(address.family, address.type | SOCK_CLOEXEC | SOCK_NONBLOCK, address.protocol);
  if (fd < 0) return kNoHandle;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(address.bytes), address.length) == 0) {
    connected = true;
  } else if (errno != EINPROGRESS && errno != EINTR) {  // an interrupted connect goes on by itself
    ::close(fd);
    return kNoHandle;
  }
  return fd;
}

void _waitConnects(const std::vector<Handle>& connecting, int32_t timeoutMs, std::vector<uint8_t>& ended) {
  std::vector<pollfd> polled;
  for (Handle h : connecting) polled.push_back(pollfd{static_cast<int>(h), POLLOUT, 0});
  if (::poll(polled.data(), polled.size(), timeoutMs < 0 ? -1 : timeoutMs) <= 0) return;
  for (size_t i = 0; i < polled.size(); i++) ended[i] = polled[i].revents != 0;
}

bool _finishConnect(Handle handle) {
  const int fd = static_cast<int>(handle);
  int soError = 0;
  socklen_t soLength = sizeof soError;
  if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &soLength) != 0 || soError != 0) return false;
  const int flags = fcntl(fd, F_GETFL, 0);
  if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return false;
  // One request per connection, written in one or two pieces: no point in
  // letting Nagle hold the tail of a request back.
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return true;
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

int32_t sendNow(Handle handle, const void* bytes, uint32_t length) {
  if (length > 0x7FFFFFFFu) length = 0x7FFFFFFFu;
  ssize_t r;
  do r = ::send(static_cast<int>(handle), bytes, length, MSG_NOSIGNAL | MSG_DONTWAIT);
  while (r < 0 && errno == EINTR);
  if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return 0;
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

WaitResult waitEither(Handle handle, int32_t timeoutMs, bool& readable) {
  readable = false;
  pollfd p{static_cast<int>(handle), POLLIN | POLLOUT, 0};
  int ready;
  do ready = ::poll(&p, 1, timeoutMs < 0 ? -1 : timeoutMs);
  while (ready < 0 && errno == EINTR);
  if (ready < 0 || (ready > 0 && (p.revents & POLLNVAL))) return WaitResult::failed;
  if (ready == 0) return WaitResult::timedOut;
  readable = (p.revents & (POLLIN | POLLERR | POLLHUP)) != 0;
  return WaitResult::ready;
}

}  // namespace quorl::SocketIO
