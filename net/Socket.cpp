// The portable part of SocketIO: connecting to the first address of a host
// that answers, with overlapping attempts, on the platform's pieces.
#include "net/Socket.h"

#include <algorithm>

namespace quorl::SocketIO {

std::function<std::vector<std::string>(const char* host)>& _hostsForTests() {
  static std::function<std::vector<std::string>(const char*)> hosts;
  return hosts;
}

namespace {

using Clock = std::chrono::steady_clock;

struct Attempt {
  Handle handle;
  Clock::time_point end;  // its own time-out; max when it has none
};

int64_t msUntil(Clock::time_point t, Clock::time_point now) {
  return t <= now ? 0 : std::chrono::ceil<std::chrono::milliseconds>(t - now).count();
}

}  // namespace

OpenResult open(const char* host, uint32_t port, uint32_t timeoutMs, uint32_t totalMs, Handle& handle) {
  handle = kNoHandle;
  if (!_startup()) return OpenResult::startupFailed;
  std::vector<Address> addresses;
  std::vector<std::string> standIns;
  if (_hostsForTests()) standIns = _hostsForTests()(host ? host : "");
  if (standIns.empty()) _resolve(host ? host : "", port, addresses);
  for (const std::string& name : standIns) _resolve(name.c_str(), port, addresses);
  if (addresses.empty()) return OpenResult::resolveFailed;

  Budget budget;
  budget.start(totalMs);
  std::vector<Attempt> attempts;
  std::vector<Handle> connecting;
  std::vector<uint8_t> ended;
  size_t next = 0;
  Clock::time_point nextStart = Clock::now();
  Handle won = kNoHandle;
  while (won == kNoHandle) {
    const Clock::time_point now = Clock::now();
    uint32_t left = 0;
    if (!budget.next(0, left)) break;
    const bool mayStart = next < addresses.size() && attempts.size() < kMaxAttempts;
    if (mayStart && (attempts.empty() || now >= nextStart)) {
      uint32_t each = 0;
      budget.next(timeoutMs, each);
      bool connected = false;
      const Handle h = _startConnect(addresses[next++], connected);
      if (h == kNoHandle) continue;
      if (connected && _finishConnect(h)) {
        won = h;
        break;
      }
      if (connected) {
        close(h);
        continue;
      }
      attempts.push_back({h, each ? now + std::chrono::milliseconds(each) : Clock::time_point::max()});
      nextStart = now + std::chrono::milliseconds(kStaggerMs);
      continue;
    }
    if (attempts.empty()) break;  // every address tried and failed
    // Wait for the first of: a connect ending, an attempt's time-out, the
    // next address's turn, the total.
    int64_t wait = left ? left : -1;
    const auto nearer = [&](int64_t ms) { wait = wait < 0 ? ms : std::min(wait, ms); };
    if (mayStart) nearer(msUntil(nextStart, now));
    for (const Attempt& a : attempts)
      if (a.end != Clock::time_point::max()) nearer(msUntil(a.end, now));
    connecting.clear();
    for (const Attempt& a : attempts) connecting.push_back(a.handle);
    ended.assign(attempts.size(), 0);
    _waitConnects(connecting, wait > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int32_t>(wait), ended);
    const Clock::time_point after = Clock::now();
    size_t kept = 0;
    for (size_t i = 0; i < attempts.size(); i++) {
      const Attempt a = attempts[i];
      if (won == kNoHandle && ended[i] && _finishConnect(a.handle)) {
        won = a.handle;
      } else if (won != kNoHandle || ended[i] || after >= a.end) {
        close(a.handle);
        nextStart = after;  // a failed address hands its turn on at once
      } else {
        attempts[kept++] = a;
      }
    }
    attempts.resize(kept);
  }
  for (const Attempt& a : attempts)
    if (a.handle != won) close(a.handle);
  if (won == kNoHandle) return OpenResult::connectFailed;
  handle = won;
  return OpenResult::ok;
}

}  // namespace quorl::SocketIO
