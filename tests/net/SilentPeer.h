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
  bool started_ = false;  // the socket library was started (Windows)
};

}  // namespace quorl::test
