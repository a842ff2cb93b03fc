#include "SilentPeer.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quorl::test {

SilentPeer::SilentPeer() {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    error = "no socket";
    return;
  }
  listener_ = fd;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof a;
  if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd, 16) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
    error = "cannot listen on 127.0.0.1";
    return;
  }
  port = ntohs(a.sin_port);
}

SilentPeer::~SilentPeer() {
  if (listener_ >= 0) close(static_cast<int>(listener_));
}

}  // namespace quorl::test
