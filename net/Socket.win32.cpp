// Windows Sockets 2 behind the SocketIO interface of Socket.h.
#include "net/Socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <mutex>
#include <string>

#include "foundation/WideText.h"

namespace quorl::SocketIO {

namespace {

// Started once per process and never shut down; a failed start is tried
// again by the next open.
std::mutex gStartupLock;
bool gStarted = false;

bool startup() {
  std::lock_guard<std::mutex> lock(gStartupLock);
  if (gStarted) return true;
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
  gStarted = true;
  return true;
}

bool setBlocking(SOCKET s, bool blocking) {
  u_long nonBlocking = blocking ? 0 : 1;
  return ioctlsocket(s, FIONBIO, &nonBlocking) == 0;
}

// A non-blocking connect bounded by select, so that an address that drops
// SYNs cannot hold the caller for the system's default of about 21 seconds
// per attempt (and longer with retries).
bool connectWithin(SOCKET s, const sockaddr* address, int length, uint32_t timeoutMs) {
  if (timeoutMs == 0) return ::connect(s, address, length) == 0;
  if (!setBlocking(s, false)) return false;
  if (::connect(s, address, length) != 0) {
    if (WSAGetLastError() != WSAEWOULDBLOCK) return false;
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s, &writable);
    FD_SET(s, &failed);
    timeval tv{};
    tv.tv_sec = static_cast<long>(timeoutMs / 1000);
    tv.tv_usec = static_cast<long>((timeoutMs % 1000) * 1000);
    if (select(0, nullptr, &writable, &failed, &tv) <= 0) return false;
    if (FD_ISSET(s, &failed) || !FD_ISSET(s, &writable)) return false;
    int soError = 0;
    int soLength = sizeof soError;
    if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soError), &soLength) != 0 || soError != 0)
      return false;
  }
  return setBlocking(s, true);
}

void setTimeout(Handle handle, int option, uint32_t milliseconds) {
  DWORD value = milliseconds;
  setsockopt(static_cast<SOCKET>(handle), SOL_SOCKET, option, reinterpret_cast<const char*>(&value), sizeof value);
}

}  // namespace

OpenResult open(const char* host, uint32_t port, uint32_t timeoutMs, uint32_t totalMs, Handle& handle) {
  handle = kNoHandle;
  if (!startup()) return OpenResult::startupFailed;
  std::wstring wideHost = WideText::wide(host);
  std::wstring portText = std::to_wstring(port);
  ADDRINFOW hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  ADDRINFOW* list = nullptr;
  if (GetAddrInfoW(wideHost.c_str(), portText.c_str(), &hints, &list) != 0 || list == nullptr) {
    if (list) FreeAddrInfoW(list);
    return OpenResult::resolveFailed;
  }
  SOCKET connected = INVALID_SOCKET;
  Budget budget;
  budget.start(totalMs);
  uint32_t wait = 0;
  for (ADDRINFOW* a = list; a != nullptr && budget.next(timeoutMs, wait); a = a->ai_next) {
    SOCKET s = ::socket(a->ai_family, a->ai_socktype, a->ai_protocol);
    if (s == INVALID_SOCKET) continue;
    if (connectWithin(s, a->ai_addr, static_cast<int>(a->ai_addrlen), wait)) {
      connected = s;
      break;
    }
    closesocket(s);
  }
  FreeAddrInfoW(list);
  if (connected == INVALID_SOCKET) return OpenResult::connectFailed;
  BOOL one = TRUE;
  setsockopt(connected, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
  handle = static_cast<Handle>(connected);
  return OpenResult::ok;
}

void setReceiveTimeout(Handle handle, uint32_t milliseconds) { setTimeout(handle, SO_RCVTIMEO, milliseconds); }
void setSendTimeout(Handle handle, uint32_t milliseconds) { setTimeout(handle, SO_SNDTIMEO, milliseconds); }

int32_t send(Handle handle, const void* bytes, uint32_t length) {
  if (length > 0x7FFFFFFFu) length = 0x7FFFFFFFu;
  int r;
  do r = ::send(static_cast<SOCKET>(handle), static_cast<const char*>(bytes), static_cast<int>(length), 0);
  while (r == SOCKET_ERROR && WSAGetLastError() == WSAEINTR);
  return r;
}

int32_t receive(Handle handle, void* buffer, uint32_t capacity) {
  if (capacity > 0x7FFFFFFFu) capacity = 0x7FFFFFFFu;
  int r;
  do r = ::recv(static_cast<SOCKET>(handle), static_cast<char*>(buffer), static_cast<int>(capacity), 0);
  while (r == SOCKET_ERROR && WSAGetLastError() == WSAEINTR);
  return r;
}

void close(Handle handle) {
  if (handle != kNoHandle) closesocket(static_cast<SOCKET>(handle));
}

namespace {
uint32_t timeoutOf(Handle handle, int option) {
  DWORD value = 0;
  int length = sizeof value;
  if (getsockopt(static_cast<SOCKET>(handle), SOL_SOCKET, option, reinterpret_cast<char*>(&value), &length) != 0)
    return 0;
  return value;
}
}  // namespace

uint32_t receiveTimeout(Handle handle) { return timeoutOf(handle, SO_RCVTIMEO); }
uint32_t sendTimeout(Handle handle) { return timeoutOf(handle, SO_SNDTIMEO); }

WaitResult waitReady(Handle handle, bool writing, int32_t timeoutMs) {
  const SOCKET s = static_cast<SOCKET>(handle);
  for (;;) {
    // An error shows in the exception set: ready too, so that the next call
    // reports it.
    fd_set ready, failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(s, &ready);
    FD_SET(s, &failed);
    timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    int r = writing ? select(0, nullptr, &ready, &failed, timeoutMs < 0 ? nullptr : &tv)
                    : select(0, &ready, nullptr, &failed, timeoutMs < 0 ? nullptr : &tv);
    if (r > 0) return WaitResult::ready;
    if (r == 0) return WaitResult::timedOut;
    if (WSAGetLastError() != WSAEINTR) return WaitResult::failed;
  }
}

}  // namespace quorl::SocketIO
