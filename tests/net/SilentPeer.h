// A peer that takes connections and never says a word: a listener on
// 127.0.0.1 at an ephemeral port that nobody reads from. Connections
// complete in its listen queue, so a client connects at once and then waits
// for an answer that never comes.
//
// A dead address: the same on another loopback address and a given port,
// its queue filled, so that it answers no new connection at all.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "net/Socket.h"

namespace quorl::test {

class SilentPeer {
 public:
  SilentPeer();
  SilentPeer(const char* address, uint16_t port, bool full);
  ~SilentPeer();
  SilentPeer(const SilentPeer&) = delete;
  SilentPeer& operator=(const SilentPeer&) = delete;

  uint16_t port = 0;  // 0 when the listener could not be made
  std::string error;

 private:
  int64_t listener_ = -1;
  std::vector<int64_t> queued_;  // connections that fill the queue
  // Connects until one does not complete (the queue takes one or two): false if none or all of 8 did.
  bool fill(const char* address, uint16_t at) {
    SocketIO::Handle h = SocketIO::kNoHandle;
    while (queued_.size() < 8 && SocketIO::open(address, at, 300, 0, h) == SocketIO::OpenResult::ok) queued_.push_back(h);
    return !queued_.empty() && queued_.size() < 8;
  }
  bool started_ = false;  // the socket library was started (Windows)
};

}  // namespace quorl::test
