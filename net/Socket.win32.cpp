// Windows Sockets 2 behind the SocketIO interface of Socket.h.
#include "net/Socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "foundation/WideText.h"

namespace quorl::SocketIO {

namespace {

// Started once per process and never shut down; a failed start is tried
// again by the next open.
std::mutex gStartupLock;
bool gStarted = false;

void setTimeout(Handle handle, int option, uint32_t milliseconds) {
  DWORD value = milliseconds;
  setsockopt(static_cast<SOCKET>(handle), SOL_SOCKET, option, reinterpret_cast<const char*>(&value), sizeof value);
}

}  // namespace

bool _startup() {
  std::lock_guard<std::mutex> lock(gStartupLock);
  if (gStarted) return true;
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
  gStarted = true;
  return true;
}

void _resolve(const char* host, uint32_t port, std::vector<Address>& out) {
  std::wstring wideHost = WideText::wide(host);
  std::wstring portText = std::to_wstring(port);
  ADDRINFOW hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  ADDRINFOW* list = nullptr;
  if (GetAddrInfoW(wideHost.c_str(), portText.c_str(), &hints, &list) != 0) list = nullptr;
  _appendAddresses(list, out);
  if (list) FreeAddrInfoW(list);
}

// Non-blocking, so that an address that drops SYNs cannot hold the caller
// for the system's default of about 21 seconds per attempt.
Handle _startConnect(const Address& address, bool& connected) {
  connected = false;
  SOCKET s = ::socket(address.family, address.type, address.protocol);
  if (s == INVALID_SOCKET) return kNoHandle;
  u_long nonBlocking = 1;
  if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
    closesocket(s);
    return kNoHandle;
  }
  if (::connect(s, reinterpret_cast<const sockaddr*>(address.bytes), static_cast<int>(address.length)) == 0) {
    connected = true;
  } else if (WSAGetLastError() != WSAEWOULDBLOCK) {
    closesocket(s);
    return kNoHandle;
  }
  return static_cast<Handle>(s);
}

// A connect that failed shows in the exception set, one that succeeded in
// the writable set.
void _waitConnects(const std::vector<Handle>& connecting, int32_t timeoutMs, std::vector<uint8_t>& ended) {
  fd_set writable, failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  for (Handle h : connecting) {
    FD_SET(static_cast<SOCKET>(h), &writable);
    FD_SET(static_cast<SOCKET>(h), &failed);
  }
  timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  if (select(0, nullptr, &writable, &failed, timeoutMs < 0 ? nullptr : &tv) <= 0) return;
  for (size_t i = 0; i < connecting.size(); i++) {
    const SOCKET s = static_cast<SOCKET>(connecting[i]);
    ended[i] = FD_ISSET(s, &writable) || FD_ISSET(s, &failed);
  }
}

bool _finishConnect(Handle handle) {
  const SOCKET s = static_cast<SOCKET>(handle);
  int soError = 0;
  int soLength = sizeof soError;
  if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soError), &soLength) != 0 || soError != 0)
    return false;
  u_long nonBlocking = 0;
  if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) return false;
  BOOL one = TRUE;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
  return true;
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

int32_t sendNow(Handle handle, const void* bytes, uint32_t length) {
  if (length > 0x7FFFFFFFu) length = 0x7FFFFFFFu;
  const SOCKET s = static_cast<SOCKET>(handle);
  u_long nonBlocking = 1;
  if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) return -1;
  int r;
  do r = ::send(s, static_cast<const char*>(bytes), static_cast<int>(length), 0);
  while (r == SOCKET_ERROR && WSAGetLastError() == WSAEINTR);
  if (r == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) r = 0;
  nonBlocking = 0;
  if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) return -1;
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

WaitResult waitEither(Handle handle, int32_t timeoutMs, bool& readable) {
  readable = false;
  const SOCKET s = static_cast<SOCKET>(handle);
  for (;;) {
    fd_set reading, writing, failed;
    FD_ZERO(&reading);
    FD_ZERO(&writing);
    FD_ZERO(&failed);
    FD_SET(s, &reading);
    FD_SET(s, &writing);
    FD_SET(s, &failed);
    timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    int r = select(0, &reading, &writing, &failed, timeoutMs < 0 ? nullptr : &tv);
    if (r > 0) {
      readable = FD_ISSET(s, &reading) || FD_ISSET(s, &failed);
      return WaitResult::ready;
    }
    if (r == 0) return WaitResult::timedOut;
    if (WSAGetLastError() != WSAEINTR) return WaitResult::failed;
  }
}

}  // namespace quorl::SocketIO
