#include "SilentPeer.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace quorl::test {

SilentPeer::SilentPeer() {
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
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof a;
  if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(s, 16) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
    error = "cannot listen on 127.0.0.1";
    return;
  }
  port = ntohs(a.sin_port);
}

SilentPeer::~SilentPeer() {
  if (listener_ != -1) closesocket(static_cast<SOCKET>(listener_));
  if (started_) WSACleanup();
}

}  // namespace quorl::test
