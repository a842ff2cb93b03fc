// The input side: the queue nextEvent answers from (scripted events and the
// driver's own), the window under a point, and alerts answered from a queue
// of answers (UXWin32Events.cpp on Win32).
#include <chrono>
#include <string>
#include <thread>

#include "ux/headless/UXHeadlessDriver.h"
#include "ux/headless/UXHeadlessInternal.h"

namespace quorl {

using namespace headless;

uint32_t UXHeadlessDriver::windowAtPoint(int32_t x, int32_t y) {
  uint32_t best = 0;
  uint64_t bestOrder = 0;
  for (uint32_t h = 1; h <= kMaxWindows; ++h) {
    const Window& w = windows_[h];
    if (!w.live || !w.shown) continue;
    bool inside = int64_t(w.x) <= x && x < int64_t(w.x) + w.w && int64_t(w.y) <= y && y < int64_t(w.y) + w.h;
    if (inside && w.order > bestOrder) {
      best = h;
      bestOrder = w.order;
    }
  }
  return best;
}

bool UXHeadlessDriver::trackDragStep(int32_t&, int32_t&) { return false; }  // no button is ever down
bool UXHeadlessDriver::dragTrackingIsModal() { return true; }

int32_t UXHeadlessDriver::alertRun(int32_t style, const char* message, const char* buttons, int32_t) {
  std::string record;
  appendInt(record, style);
  record += '|';
  std::string text = cstr(message);
  if (text.size() > 510) text.resize(510);
  record += text;
  record += '|';
  record += cstr(buttons);
  alerts_.push_back(record);
  int32_t titles = 1;
  for (const char* p = buttons; p && *p; ++p) titles += *p == '|' ? 1 : 0;
  if (!alertAnswers_.empty()) {
    const int32_t answer = alertAnswers_.front();
    alertAnswers_.pop_front();
    return answer;
  }
  // Cancel: the last choice the box offers.
  return titles >= 3 ? 3 : titles;
}

namespace {

// Every field but the type, between an event and its queued copy.
template <class To, class From> void copyEventFields(To& to, const From& from) {
  to.x = from.x;
  to.y = from.y;
  to.key = from.key;
  to.mods = from.mods;
  to.window = from.window;
  to.a = from.a;
  to.b = from.b;
  to.object = from.object;
}

}  // namespace

void UXHeadlessDriver::postEvent(const UXEvent& e) {
  QueuedEvent q{};
  q.type = e.type;
  copyEventFields(q, e);
  queue_.push_back(q);
}

bool UXHeadlessDriver::takeQueued(UXEvent& event) {
  if (queue_.empty()) return false;
  QueuedEvent q = std::move(queue_.front());
  queue_.pop_front();
  event.type = q.type;
  // Only the fields that the type uses are written; the others keep the
  // previous event's values.
  switch (q.type) {
    case kUXEventMouseDown:
    case kUXEventMouseMoved:
    case kUXEventRightMouseDown:
      event.x = q.x;
      event.y = q.y;
      event.window = q.window;
      break;
    case kUXEventKey:
      event.key = q.key;
      event.mods = q.mods;
      break;
    case kUXEventMenuCommand:
      event.a = q.a;
      event.b = q.b;
      break;
    case kUXEventClose:
    case kUXEventResize:
    case kUXEventRelayout:
    case kUXEventRedraw:
      event.window = q.window;
      break;
    case kUXEventWheel:
      event.x = q.x;
      event.y = q.y;
      event.mods = q.mods;  // Shift: sideways
      event.window = q.window;
      event.a = q.a;
      event.b = q.b;
      break;
    default:
      copyEventFields(event, q);
      break;
  }
  return true;
}

void UXHeadlessDriver::idleWait(int32_t timeoutMs) {
  int32_t ms = (timeoutMs <= 0 || timeoutMs > maxWaitMs_) ? maxWaitMs_ : timeoutMs;
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void UXHeadlessDriver::nextEvent(int32_t timeoutMs, UXEvent& event) {
  event.type = 0;
  event.window = 0;
  if (takeQueued(event)) return;
  idleWait(timeoutMs);
  takeQueued(event);
}

void UXHeadlessDriver::pumpMessages(UXEvent&) {}

int32_t UXHeadlessDriver::liveNativeCount() { return int32_t(liveWindowCount() + texts_.size()); }

}  // namespace quorl
