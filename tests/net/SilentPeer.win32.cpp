#include "SilentPeer.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace quorl::test {

SilentPeer::SilentPeer() : SilentPeer("127.0.0.1", 0, false) {}

SilentPeer::SilentPeer(const char* address, uint16_t wanted, bool full) {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
    error = "Winsock would not start";
    return;
  }
  started_ = true;
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) {
    error = "no socket";
    return;
  }
  listener_ = static_cast<int64_t>(s);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(wanted);
  inet_pton(AF_INET, address, &a.sin_addr);
  int length = sizeof a;
  if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(s, full ? 0 : 16) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
    error = std::string("cannot listen on ") + address;
    return;
  }
  if (full && !fill(address, ntohs(a.sin_port))) {
    error = std::string("the queue on ") + address + " would not fill";
    return;
  }
  port = ntohs(a.sin_port);
}

SilentPeer::~SilentPeer() {
  for (int64_t h : queued_) closesocket(static_cast<SOCKET>(h));
  if (listener_ != -1) closesocket(static_cast<SOCKET>(listener_));
  if (started_) WSACleanup();
}

}  // namespace quorl::test
