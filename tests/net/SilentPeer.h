// A peer that takes connections and never says a word: a listener on
// 127.0.0.1 at an ephemeral port that nobody reads from. Connections
// complete in its listen queue, so a client connects at once and then waits
// for an answer that never comes.
#pragma once

#include <cstdint>
#include <string>

namespace quorl::test {

class SilentPeer {
 public:
  SilentPeer();
  ~SilentPeer();
  SilentPeer(const SilentPeer&) = delete;
  SilentPeer& operator=(const SilentPeer&) = delete;

  uint16_t port = 0;  // 0 when the listener could not be made
  std::string error;

 private:
  int64_t listener_ = -1;
  bool started_ = false;  // the socket library was started (Windows)
};

}  // namespace quorl::test
