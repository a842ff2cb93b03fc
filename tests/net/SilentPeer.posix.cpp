#include "SilentPeer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quorl::test {

SilentPeer::SilentPeer() : SilentPeer("127.0.0.1", 0, false) {}

SilentPeer::SilentPeer(const char* address, uint16_t wanted, bool full) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    error = "no socket";
    return;
  }
  listener_ = fd;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(wanted);
  inet_pton(AF_INET, address, &a.sin_addr);
  socklen_t length = sizeof a;
  if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd, full ? 0 : 16) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
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
  for (int64_t h : queued_) close(static_cast<int>(h));
  if (listener_ >= 0) close(static_cast<int>(listener_));
}

}  // namespace quorl::test
