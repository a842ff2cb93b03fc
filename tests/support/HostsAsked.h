// Records every host a connect looks up, while the object lives; the system
// still resolves each as usual. An empty list shows that nothing was sent.
#pragma once

#include <string>
#include <vector>

#include "net/Socket.h"

namespace quorl::test {

struct HostsAsked {
  std::vector<std::string> hosts;
  HostsAsked() {
    SocketIO::_hostsForTests() = [this](const char* host) {
      hosts.push_back(host);
      return std::vector<std::string>{};
    };
  }
  ~HostsAsked() { SocketIO::_hostsForTests() = nullptr; }
  HostsAsked(const HostsAsked&) = delete;
  HostsAsked& operator=(const HostsAsked&) = delete;
};

}  // namespace quorl::test
