// The headless driver's construction and the operations whose Win32 files
// have no headless counterpart: the in-memory text controls (W32RichText.cpp),
// icons and sound, which do nothing (W32Icons.cpp, W32Sound.cpp), snapshots,
// which nothing rasterises (W32Snapshot.cpp), and GL, which it has none of
// (W32OpenGL.cpp). Where the other operations live: UXHeadlessDriver.h.
#include "ux/headless/UXHeadlessDriver.h"

#include <algorithm>
#include <chrono>

#include "ux/headless/UXHeadlessInternal.h"

namespace quorl {

using namespace headless;

UXHeadlessDriver::UXHeadlessDriver() {
  surface_.setSink(&strayLines_);
  startUs_ = std::chrono::duration_cast<std::chrono::microseconds>(
                 std::chrono::steady_clock::now().time_since_epoch())
                 .count();
}

UXHeadlessDriver::~UXHeadlessDriver() = default;

void UXHeadlessDriver::windowSetIcon(uint32_t, const char*) {}
bool UXHeadlessDriver::appSetIcon(const uint8_t*, int32_t, int32_t, uint8_t) { return false; }
void UXHeadlessDriver::audioPlay(const int16_t*, uint32_t, uint32_t) {}

bool UXHeadlessDriver::windowSnapshot(uint32_t, int32_t, int32_t, int32_t, int32_t, uint32_t*) {
  return false;  // nothing is rasterised
}

void UXHeadlessDriver::glDrawableSize(Ptr<UXView>, int32_t& w, int32_t& h) { w = h = 0; }

int32_t UXHeadlessDriver::glKind() { return 2; }
void* UXHeadlessDriver::glProc(const char*) { return nullptr; }
uint64_t UXHeadlessDriver::makeGLContext(Ptr<UXView>) { return 0; }
void UXHeadlessDriver::destroyGLContext(Ptr<UXView>) {}
void UXHeadlessDriver::resizeGL(Ptr<UXView>, int32_t, int32_t) {}
void UXHeadlessDriver::presentGL(Ptr<UXView>) {}
void UXHeadlessDriver::glSetSwapInterval(int32_t) {}
bool UXHeadlessDriver::glReadFrame(Ptr<UXView>, uint32_t*, uint32_t, uint32_t) { return false; }
bool UXHeadlessDriver::compositesWithGL() { return false; }

// Text controls.

UXHeadlessDriver::TextControl* UXHeadlessDriver::findText(uint32_t window, int32_t id) {
  auto it = texts_.find({window, id});
  return it == texts_.end() ? nullptr : &it->second;
}

const UXHeadlessDriver::TextControl* UXHeadlessDriver::textControl(uint32_t window, int32_t id) const {
  auto it = texts_.find({window, id});
  return it == texts_.end() ? nullptr : &it->second;
}

void UXHeadlessDriver::textViewSetAll(uint32_t window, int32_t id, const char* text, uint32_t length,
                                      const uint32_t* runs, uint32_t runCount) {
  TextControl* t = findText(window, id);
  if (!t) return;
  t->text.assign(text ? text : "", text ? length : 0);
  t->runs.assign(runs ? runs : nullptr, runs ? runs + size_t(runCount) * 5 : nullptr);
  t->selStart = std::min<uint32_t>(t->selStart, uint32_t(t->text.size()));
  t->selLength = std::min<uint32_t>(t->selLength, uint32_t(t->text.size()) - t->selStart);
}

void UXHeadlessDriver::textViewReplace(uint32_t window, int32_t id, uint32_t start, uint32_t length,
                                       const char* text, uint32_t textLength, const uint32_t* runs,
                                       uint32_t runCount) {
  TextControl* t = findText(window, id);
  if (!t) return;
  size_t at = std::min<size_t>(start, t->text.size());
  size_t count = std::min<size_t>(length, t->text.size() - at);
  t->text.replace(at, count, text ? text : "", text ? textLength : 0);
  // The runs given describe the whole new text.
  if (runs && runCount) t->runs.assign(runs, runs + size_t(runCount) * 5);
  t->selStart = uint32_t(at + (text ? textLength : 0));
  t->selLength = 0;
}

void UXHeadlessDriver::textViewSize(uint32_t window, int32_t id, uint32_t& length, uint32_t& runCount) {
  length = runCount = 0;
  if (TextControl* t = findText(window, id)) {
    length = uint32_t(t->text.size());
    runCount = uint32_t(t->runs.size() / 5);
  }
}

uint32_t UXHeadlessDriver::textViewRead(uint32_t window, int32_t id, char* buffer, uint32_t capacity,
                                        uint32_t* runs, uint32_t runCapacity) {
  TextControl* t = findText(window, id);
  if (!t || !buffer || capacity < 1) return 0;
  copyOut(t->text, buffer, capacity);
  if (!runs) return 0;
  uint32_t n = std::min<uint32_t>(runCapacity, uint32_t(t->runs.size() / 5));
  std::copy(t->runs.begin(), t->runs.begin() + size_t(n) * 5, runs);
  return n;
}

void UXHeadlessDriver::textViewSelection(uint32_t window, int32_t id, uint32_t& start, uint32_t& length) {
  start = length = 0;
  if (TextControl* t = findText(window, id)) {
    start = t->selStart;
    length = t->selLength;
  }
}

void UXHeadlessDriver::textViewSetSelection(uint32_t window, int32_t id, uint32_t start, uint32_t length) {
  TextControl* t = findText(window, id);
  if (!t) return;
  uint32_t size = uint32_t(t->text.size());
  t->selStart = std::min(start, size);
  t->selLength = std::min(length, size - t->selStart);
}

void UXHeadlessDriver::textViewSetTyping(uint32_t window, int32_t id, uint32_t flags, uint32_t colour,
                                         int16_t size) {
  if (TextControl* t = findText(window, id)) {
    t->typingFlags = flags;
    t->typingColour = colour;
    t->typingSize = size;
  }
}

void UXHeadlessDriver::textViewFocus(uint32_t, int32_t) {}

void UXHeadlessDriver::textViewSetLook(uint32_t window, int32_t id, uint32_t background, uint32_t textColour,
                                       uint32_t caretColour, uint32_t selectionColour, uint32_t value,
                                       uint8_t flag) {
  if (TextControl* t = findText(window, id)) {
    const uint32_t look[6] = {background, textColour, caretColour, selectionColour, value, flag};
    std::copy(look, look + 6, t->look);
  }
}

}  // namespace quorl
