#include "ScriptedDriver.h"

#include <charconv>
#include <cstring>
#include <type_traits>

#include "ux/core/UXDispatch.h"
#include "ux/core/UXEvent.h"

namespace quorl {

namespace {

// Stands for an out argument in the log.
struct Out {};

void put(std::string& s, Out) { s += '&'; }
void put(std::string& s, const char* text) {
  if (!text) {
    s += "null";
    return;
  }
  s += '"';
  s += text;
  s += '"';
}
// A writable buffer is an out argument: its bytes are not text yet.
void put(std::string& s, char* buffer) { s += buffer ? "ptr" : "null"; }
template <class T> void put(std::string& s, const T& v) {
  if constexpr (std::is_floating_point_v<T>) {
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    s.append(buf, r.ptr);
  } else if constexpr (std::is_integral_v<T>) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    s.append(buf, r.ptr);
  } else if constexpr (std::is_pointer_v<T>) {
    s += v ? "ptr" : "null";
  } else if constexpr (requires { v.get(); }) {
    s += v.get() ? "ptr" : "null";
  } else {
    s += '&';
  }
}

}  // namespace

template <class... Args> void ScriptedDriver::logCall(const char* name, const Args&... args) {
  if (!logging) return;
  std::string line = name;
  ((line += ' ', put(line, args)), ...);
  calls.push_back(std::move(line));
}

ScriptedDriver::ScriptedDriver() { setMaxWaitMs(0); }

size_t ScriptedDriver::count(const std::string& name) const {
  size_t n = 0;
  for (const std::string& c : calls)
    if (c.compare(0, name.size(), name) == 0 && (c.size() == name.size() || c[name.size()] == ' ')) ++n;
  return n;
}

std::string ScriptedDriver::last(const std::string& name) const {
  for (auto it = calls.rbegin(); it != calls.rend(); ++it)
    if (it->compare(0, name.size(), name) == 0 && (it->size() == name.size() || (*it)[name.size()] == ' '))
      return *it;
  return "";
}

std::vector<std::string> ScriptedDriver::only(const std::vector<std::string>& names) const {
  std::vector<std::string> out;
  for (const std::string& c : calls) {
    std::string head = c.substr(0, c.find(' '));
    for (const std::string& n : names)
      if (head == n) out.push_back(c);
  }
  return out;
}

void ScriptedDriver::post(uint8_t type, uint32_t window, int32_t a, int32_t b) {
  UXEvent e;
  e.type = type;
  e.window = window;
  e.a = a;
  e.b = b;
  postEvent(e);
}

void ScriptedDriver::postMouseDown(uint32_t window, int16_t x, int16_t y) {
  UXEvent e;
  e.type = kUXEventMouseDown;
  e.window = window;
  e.x = x;
  e.y = y;
  postEvent(e);
}

void ScriptedDriver::postRightMouseDown(uint32_t window, int16_t x, int16_t y) {
  UXEvent e;
  e.type = kUXEventRightMouseDown;
  e.window = window;
  e.x = x;
  e.y = y;
  postEvent(e);
}

void ScriptedDriver::postMouseMoved(uint32_t window, int16_t x, int16_t y) {
  UXEvent e;
  e.type = kUXEventMouseMoved;
  e.window = window;
  e.x = x;
  e.y = y;
  postEvent(e);
}

void ScriptedDriver::postKey(uint16_t key, uint16_t mods) {
  UXEvent e;
  e.type = kUXEventKey;
  e.key = key;
  e.mods = mods;
  postEvent(e);
}

void ScriptedDriver::postMenu(int32_t menu, int32_t item) { post(kUXEventMenuCommand, 0, menu + 2, item); }
void ScriptedDriver::postClose(uint32_t window) { post(kUXEventClose, window); }
void ScriptedDriver::postResize(uint32_t window) { post(kUXEventResize, window); }

void ScriptedDriver::postWheel(uint32_t window, int16_t x, int16_t y, int32_t notches, uint16_t mods) {
  UXEvent e;
  e.type = kUXEventWheel;
  e.mods = mods;
  e.window = window;
  e.x = x;
  e.y = y;
  e.a = notches;
  // -(delta * 100 / 120) for delta = notches * 120, formed in 64 bits so a
  // large scripted count cannot overflow.
  e.b = int32_t(-(int64_t(notches) * 100));
  postEvent(e);
}

void ScriptedDriver::idleWait(int32_t timeoutMs) {
  if (!virtualClock) {
    UXHeadlessDriver::idleWait(timeoutMs);
    return;
  }
  clockMs += timeoutMs > 0 ? uint32_t(timeoutMs) : idleAdvanceMs;
}

uint32_t ScriptedDriver::scripted_nowMs() { return virtualClock ? clockMs : UXHeadlessDriver::nowMs(); }

int32_t ScriptedDriver::scripted_alertRun(int32_t style, const char* message, const char* buttons, int32_t extra) {
  int32_t headless = UXHeadlessDriver::alertRun(style, message, buttons, extra);
  if (alertAnswers.empty()) return headless;
  int32_t answer = alertAnswers.front();
  alertAnswers.pop_front();
  return answer;
}

int32_t ScriptedDriver::scripted_menuPopUp(uint32_t window, const char* const* titles, const uint32_t* flags,
                                           int32_t count, int32_t x, int32_t y) {
  if (popUpAnswers.empty()) return UXHeadlessDriver::menuPopUp(window, titles, flags, count, x, y);
  int32_t answer = popUpAnswers.front();
  popUpAnswers.pop_front();
  return answer;
}

int32_t ScriptedDriver::scripted_fileOpen(const char* title, const char* folder, char* buffer, uint32_t capacity) {
  if (fileOpenAnswers.empty()) return UXHeadlessDriver::fileOpen(title, folder, buffer, capacity);
  std::string path = fileOpenAnswers.front();
  fileOpenAnswers.pop_front();
  if (!buffer || capacity <= path.size()) return 0;
  std::memcpy(buffer, path.c_str(), path.size() + 1);
  return 1;
}

bool ScriptedDriver::scripted_boot(int32_t& w, int32_t& h) {
  if (!bootAnswer) return false;
  return UXHeadlessDriver::boot(w, h);
}

bool ScriptedDriver::scripted_hasNativeFileOpen() { return fileOpenAvailable; }

uint32_t ScriptedDriver::scripted_textWidthStyled(const char* text, const char* face, uint32_t size, uint8_t bold,
                                                  uint8_t italic) {
  if (textWidthPerByte == 0) return UXHeadlessDriver::textWidthStyled(text, face, size, bold, italic);
  uint64_t s = size < 1 ? 12 : size;
  uint64_t bytes = text ? std::strlen(text) : 0;
  return uint32_t(bytes * textWidthPerByte * s / 12);
}

// ---------------------------------------------------------------------------
// The contract, in slot order: log, then the headless behaviour.

uint32_t ScriptedDriver::windowCreate(int32_t x, int32_t y, int32_t w, int32_t h) {
  logCall("windowCreate", x, y, w, h);
  return UXHeadlessDriver::windowCreate(x, y, w, h);
}

void ScriptedDriver::windowSetContent(uint32_t window, UXContentDrawFunction draw, void* userData) {
  logCall("windowSetContent", window, draw, userData);
  UXHeadlessDriver::windowSetContent(window, draw, userData);
}

void ScriptedDriver::windowOpen(uint32_t window) {
  logCall("windowOpen", window);
  UXHeadlessDriver::windowOpen(window);
}

void ScriptedDriver::windowDestroy(uint32_t window) {
  logCall("windowDestroy", window);
  UXHeadlessDriver::windowDestroy(window);
}

void ScriptedDriver::windowSetTitle(uint32_t window, const char* title) {
  logCall("windowSetTitle", window, title);
  UXHeadlessDriver::windowSetTitle(window, title);
}

void ScriptedDriver::windowSetSubtitle(uint32_t window, const char* subtitle) {
  logCall("windowSetSubtitle", window, subtitle);
  UXHeadlessDriver::windowSetSubtitle(window, subtitle);
}

void ScriptedDriver::windowSetInfo(uint32_t window, const char* info) {
  logCall("windowSetInfo", window, info);
  UXHeadlessDriver::windowSetInfo(window, info);
}

void ScriptedDriver::windowSetIcon(uint32_t window, const char* imagePath) {
  logCall("windowSetIcon", window, imagePath);
  UXHeadlessDriver::windowSetIcon(window, imagePath);
}

bool ScriptedDriver::appSetIcon(const uint8_t* pixels, int32_t w, int32_t h, uint8_t byteOrder) {
  logCall("appSetIcon", pixels, w, h, byteOrder);
  return UXHeadlessDriver::appSetIcon(pixels, w, h, byteOrder);
}

void ScriptedDriver::audioPlay(const int16_t* samples, uint32_t count, uint32_t sampleRate) {
  logCall("audioPlay", samples, count, sampleRate);
  UXHeadlessDriver::audioPlay(samples, count, sampleRate);
}

void ScriptedDriver::windowSetModified(uint32_t window, uint8_t modified) {
  logCall("windowSetModified", window, modified);
  UXHeadlessDriver::windowSetModified(window, modified);
}

void ScriptedDriver::windowContentSize(uint32_t window, int32_t w, int32_t h) {
  logCall("windowContentSize", window, w, h);
  UXHeadlessDriver::windowContentSize(window, w, h);
}

int32_t ScriptedDriver::windowScrollX(uint32_t window) {
  logCall("windowScrollX", window);
  return UXHeadlessDriver::windowScrollX(window);
}

int32_t ScriptedDriver::windowScrollY(uint32_t window) {
  logCall("windowScrollY", window);
  return UXHeadlessDriver::windowScrollY(window);
}

void ScriptedDriver::windowSetScroll(uint32_t window, int32_t x, int32_t y) {
  logCall("windowSetScroll", window, x, y);
  UXHeadlessDriver::windowSetScroll(window, x, y);
}

void ScriptedDriver::windowContentGeometry(uint32_t window, int32_t& w, int32_t& h) {
  logCall("windowContentGeometry", window, Out(), Out());
  UXHeadlessDriver::windowContentGeometry(window, w, h);
}

bool ScriptedDriver::windowSnapshot(uint32_t window, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t* out) {
  logCall("windowSnapshot", window, x, y, w, h, out);
  return UXHeadlessDriver::windowSnapshot(window, x, y, w, h, out);
}

void ScriptedDriver::windowInvalidate(uint32_t window) {
  logCall("windowInvalidate", window);
  UXHeadlessDriver::windowInvalidate(window);
}

void ScriptedDriver::windowInvalidateRect(uint32_t window, int32_t x, int32_t y, int32_t w, int32_t h) {
  logCall("windowInvalidateRect", window, x, y, w, h);
  UXHeadlessDriver::windowInvalidateRect(window, x, y, w, h);
}

void ScriptedDriver::windowOrderFront(uint32_t window) {
  logCall("windowOrderFront", window);
  UXHeadlessDriver::windowOrderFront(window);
}

void ScriptedDriver::windowSetMinSize(uint32_t window, int32_t w, int32_t h) {
  logCall("windowSetMinSize", window, w, h);
  UXHeadlessDriver::windowSetMinSize(window, w, h);
}

void ScriptedDriver::windowLine(uint32_t window, uint8_t on, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t rx,
                                int32_t ry, int32_t rw, int32_t rh) {
  logCall("windowLine", window, on, x1, y1, x2, y2, rx, ry, rw, rh);
  UXHeadlessDriver::windowLine(window, on, x1, y1, x2, y2, rx, ry, rw, rh);
}

int32_t ScriptedDriver::outlineItemAt(uint32_t window, int16_t node, int32_t x, int32_t y) {
  logCall("outlineItemAt", window, node, x, y);
  return UXHeadlessDriver::outlineItemAt(window, node, x, y);
}

int32_t ScriptedDriver::menuPopUp(uint32_t window, const char* const* titles, const uint32_t* flags, int32_t count, int32_t x, int32_t y) {
  logCall("menuPopUp", window, titles, flags, count, x, y);
  return scripted_menuPopUp(window, titles, flags, count, x, y);
}

void ScriptedDriver::windowPaintAll(uint32_t window) {
  logCall("windowPaintAll", window);
  UXHeadlessDriver::windowPaintAll(window);
}

void ScriptedDriver::setBusy(uint8_t on) {
  logCall("setBusy", on);
  UXHeadlessDriver::setBusy(on);
}

void ScriptedDriver::textViewSetAll(uint32_t window, int32_t id, const char* text, uint32_t length, const uint32_t* runs, uint32_t runCount) {
  logCall("textViewSetAll", window, id, text, length, runs, runCount);
  UXHeadlessDriver::textViewSetAll(window, id, text, length, runs, runCount);
}

void ScriptedDriver::textViewReplace(uint32_t window, int32_t id, uint32_t start, uint32_t length, const char* text, uint32_t textLength, const uint32_t* runs, uint32_t runCount) {
  logCall("textViewReplace", window, id, start, length, text, textLength, runs, runCount);
  UXHeadlessDriver::textViewReplace(window, id, start, length, text, textLength, runs, runCount);
}

void ScriptedDriver::textViewSize(uint32_t window, int32_t id, uint32_t& length, uint32_t& runCount) {
  logCall("textViewSize", window, id, Out(), Out());
  UXHeadlessDriver::textViewSize(window, id, length, runCount);
}

uint32_t ScriptedDriver::textViewRead(uint32_t window, int32_t id, char* buffer, uint32_t capacity, uint32_t* runs, uint32_t runCapacity) {
  logCall("textViewRead", window, id, buffer, capacity, runs, runCapacity);
  return UXHeadlessDriver::textViewRead(window, id, buffer, capacity, runs, runCapacity);
}

void ScriptedDriver::textViewSelection(uint32_t window, int32_t id, uint32_t& start, uint32_t& length) {
  logCall("textViewSelection", window, id, Out(), Out());
  UXHeadlessDriver::textViewSelection(window, id, start, length);
}

void ScriptedDriver::textViewSetSelection(uint32_t window, int32_t id, uint32_t start, uint32_t length) {
  logCall("textViewSetSelection", window, id, start, length);
  UXHeadlessDriver::textViewSetSelection(window, id, start, length);
}

int32_t ScriptedDriver::textViewUndo(uint32_t window, int32_t id, uint8_t redo) {
  logCall("textViewUndo", window, id, redo);
  return UXHeadlessDriver::textViewUndo(window, id, redo);
}

void ScriptedDriver::textViewSetTyping(uint32_t window, int32_t id, uint32_t flags, uint32_t colour, int16_t size) {
  logCall("textViewSetTyping", window, id, flags, colour, size);
  UXHeadlessDriver::textViewSetTyping(window, id, flags, colour, size);
}

void ScriptedDriver::textViewFocus(uint32_t window, int32_t id) {
  logCall("textViewFocus", window, id);
  UXHeadlessDriver::textViewFocus(window, id);
}

void ScriptedDriver::textViewSetLook(uint32_t window, int32_t id, uint32_t background, uint32_t textColour, uint32_t caretColour, uint32_t selectionColour, uint32_t value, uint8_t flag) {
  logCall("textViewSetLook", window, id, background, textColour, caretColour, selectionColour, value, flag);
  UXHeadlessDriver::textViewSetLook(window, id, background, textColour, caretColour, selectionColour, value, flag);
}

bool ScriptedDriver::hasNativeFileOpen() {
  logCall("hasNativeFileOpen");
  return scripted_hasNativeFileOpen();
}

int32_t ScriptedDriver::fileOpen(const char* title, const char* folder, char* buffer, uint32_t capacity) {
  logCall("fileOpen", title, folder, buffer, capacity);
  return scripted_fileOpen(title, folder, buffer, capacity);
}

bool ScriptedDriver::hasNativeNavigation() {
  logCall("hasNativeNavigation");
  return UXHeadlessDriver::hasNativeNavigation();
}

int32_t ScriptedDriver::navAttach(uint32_t window) {
  logCall("navAttach", window);
  return UXHeadlessDriver::navAttach(window);
}

int32_t ScriptedDriver::navPush(uint32_t window, const char* title) {
  logCall("navPush", window, title);
  return UXHeadlessDriver::navPush(window, title);
}

int32_t ScriptedDriver::navPop(uint32_t window) {
  logCall("navPop", window);
  return UXHeadlessDriver::navPop(window);
}

bool ScriptedDriver::hasNativeFileSave() {
  logCall("hasNativeFileSave");
  return UXHeadlessDriver::hasNativeFileSave();
}

int32_t ScriptedDriver::fileSave(const char* title, const char* folder, const char* name, char* buffer, uint32_t capacity) {
  logCall("fileSave", title, folder, name, buffer, capacity);
  return UXHeadlessDriver::fileSave(title, folder, name, buffer, capacity);
}

bool ScriptedDriver::hasNativeColorPicker() {
  logCall("hasNativeColorPicker");
  return UXHeadlessDriver::hasNativeColorPicker();
}

bool ScriptedDriver::pickColor(uint32_t r, uint32_t g, uint32_t b, uint32_t& outR, uint32_t& outG, uint32_t& outB) {
  logCall("pickColor", r, g, b, Out(), Out(), Out());
  return UXHeadlessDriver::pickColor(r, g, b, outR, outG, outB);
}

bool ScriptedDriver::hasNativeFontPicker() {
  logCall("hasNativeFontPicker");
  return UXHeadlessDriver::hasNativeFontPicker();
}

bool ScriptedDriver::pickFont(const char* face, int32_t size, uint8_t bold, uint8_t italic, char* outFace,
                              uint32_t capacity, int32_t& outSize, uint8_t& outBold, uint8_t& outItalic) {
  logCall("pickFont", face, size, bold, italic, outFace, capacity, Out(), Out(), Out());
  return UXHeadlessDriver::pickFont(face, size, bold, italic, outFace, capacity, outSize, outBold, outItalic);
}

uint32_t ScriptedDriver::nowMs() {
  logCall("nowMs");
  return scripted_nowMs();
}

uint64_t ScriptedDriver::nowUs() {
  logCall("nowUs");
  return UXHeadlessDriver::nowUs();
}

void ScriptedDriver::nowUTC(uint32_t out[7]) {
  logCall("nowUTC", out);
  UXHeadlessDriver::nowUTC(out);
}

int32_t ScriptedDriver::localOffsetMinutes() {
  logCall("localOffsetMinutes");
  return UXHeadlessDriver::localOffsetMinutes();
}

int32_t ScriptedDriver::settingGet(const char* section, const char* key, char* buffer, uint32_t capacity) {
  logCall("settingGet", section, key, buffer, capacity);
  return UXHeadlessDriver::settingGet(section, key, buffer, capacity);
}

bool ScriptedDriver::settingSet(const char* section, const char* key, const char* value) {
  logCall("settingSet", section, key, value);
  return UXHeadlessDriver::settingSet(section, key, value);
}

bool ScriptedDriver::settingRemove(const char* section, const char* key) {
  logCall("settingRemove", section, key);
  return UXHeadlessDriver::settingRemove(section, key);
}

uint32_t ScriptedDriver::textWidth(const char* text, int32_t size) {
  logCall("textWidth", text, size);
  return UXHeadlessDriver::textWidth(text, size);
}

uint32_t ScriptedDriver::textWidthStyled(const char* text, const char* face, uint32_t size, uint8_t bold, uint8_t italic) {
  logCall("textWidthStyled", text, face, size, bold, italic);
  return scripted_textWidthStyled(text, face, size, bold, italic);
}

uint32_t ScriptedDriver::textWidthWeight(const char* text, const char* face, uint32_t size, uint32_t weight, uint8_t italic) {
  logCall("textWidthWeight", text, face, size, weight, italic);
  return UXHeadlessDriver::textWidthWeight(text, face, size, weight, italic);
}

int32_t ScriptedDriver::textAscent(const char* face, uint32_t size, uint32_t weight, uint8_t italic) {
  logCall("textAscent", face, size, weight, italic);
  return UXHeadlessDriver::textAscent(face, size, weight, italic);
}

int32_t ScriptedDriver::runPopupMenu(Ptr<UXView> view, int32_t x, int32_t y) {
  logCall("runPopupMenu", view, x, y);
  if (runPopupAnswers.empty()) return UXHeadlessDriver::runPopupMenu(view, x, y);
  const int32_t answer = runPopupAnswers.front();
  runPopupAnswers.pop_front();
  return answer;
}

int32_t ScriptedDriver::fontFamilyCount() {
  logCall("fontFamilyCount");
  return UXHeadlessDriver::fontFamilyCount();
}

int32_t ScriptedDriver::fontFamilyName(int32_t index, char* buffer, uint32_t capacity) {
  logCall("fontFamilyName", index, buffer, capacity);
  return UXHeadlessDriver::fontFamilyName(index, buffer, capacity);
}

int32_t ScriptedDriver::listDir(const char* folder, char* buffer, uint32_t capacity) {
  logCall("listDir", folder, buffer, capacity);
  return UXHeadlessDriver::listDir(folder, buffer, capacity);
}

bool ScriptedDriver::fileDelete(const char* path) {
  logCall("fileDelete", path);
  return UXHeadlessDriver::fileDelete(path);
}

bool ScriptedDriver::fileRename(const char* from, const char* to) {
  logCall("fileRename", from, to);
  return UXHeadlessDriver::fileRename(from, to);
}

bool ScriptedDriver::fileCopy(const char* from, const char* to) {
  logCall("fileCopy", from, to);
  return UXHeadlessDriver::fileCopy(from, to);
}

void ScriptedDriver::treeOffset(Ptr<UXNodeTree> tree, int32_t& x, int32_t& y) {
  logCall("treeOffset", tree, Out(), Out());
  UXHeadlessDriver::treeOffset(tree, x, y);
}

int16_t ScriptedDriver::treeHitTest(Ptr<UXNodeTree> tree, int16_t root, int32_t x, int32_t y) {
  logCall("treeHitTest", tree, root, x, y);
  return UXHeadlessDriver::treeHitTest(tree, root, x, y);
}

void ScriptedDriver::structAbsFrame(Ptr<UXNodeTree> tree, int16_t node, int32_t& x, int32_t& y, int32_t& w, int32_t& h) {
  logCall("structAbsFrame", tree, node, Out(), Out(), Out(), Out());
  UXHeadlessDriver::structAbsFrame(tree, node, x, y, w, h);
}

Ref<UXNodeTree> ScriptedDriver::structNew() {
  logCall("structNew");
  return UXHeadlessDriver::structNew();
}

void ScriptedDriver::structFree(Ptr<UXNodeTree> tree) {
  logCall("structFree", tree);
  UXHeadlessDriver::structFree(tree);
}

void ScriptedDriver::structAdopt(Ptr<UXNodeTree> tree, int16_t node) {
  logCall("structAdopt", tree, node);
  UXHeadlessDriver::structAdopt(tree, node);
}

UXNodeTree* ScriptedDriver::structObjects(Ptr<UXNodeTree> tree) {
  logCall("structObjects", tree);
  return UXHeadlessDriver::structObjects(tree);
}

uint32_t ScriptedDriver::structLength(Ptr<UXNodeTree> tree) {
  logCall("structLength", tree);
  return UXHeadlessDriver::structLength(tree);
}

int16_t ScriptedDriver::structAppend(Ptr<UXNodeTree> tree, uint8_t kind, int32_t x, int32_t y, int32_t w, int32_t h) {
  logCall("structAppend", tree, kind, x, y, w, h);
  return UXHeadlessDriver::structAppend(tree, kind, x, y, w, h);
}

int16_t ScriptedDriver::structAddChild(Ptr<UXNodeTree> tree, int16_t parent, int16_t child) {
  logCall("structAddChild", tree, parent, child);
  return UXHeadlessDriver::structAddChild(tree, parent, child);
}

void ScriptedDriver::structRemoveChild(Ptr<UXNodeTree> tree, int16_t parent, int16_t child) {
  logCall("structRemoveChild", tree, parent, child);
  UXHeadlessDriver::structRemoveChild(tree, parent, child);
}

void ScriptedDriver::structFinalise(Ptr<UXNodeTree> tree) {
  logCall("structFinalise", tree);
  UXHeadlessDriver::structFinalise(tree);
}

void ScriptedDriver::structSetFrame(Ptr<UXNodeTree> tree, int16_t node, int32_t x, int32_t y, int32_t w, int32_t h) {
  logCall("structSetFrame", tree, node, x, y, w, h);
  UXHeadlessDriver::structSetFrame(tree, node, x, y, w, h);
}

void ScriptedDriver::structFrame(Ptr<UXNodeTree> tree, int16_t node, int32_t& x, int32_t& y, int32_t& w, int32_t& h) {
  logCall("structFrame", tree, node, Out(), Out(), Out(), Out());
  UXHeadlessDriver::structFrame(tree, node, x, y, w, h);
}

void ScriptedDriver::structSetHidden(Ptr<UXNodeTree> tree, int16_t node, uint16_t hidden) {
  logCall("structSetHidden", tree, node, hidden);
  UXHeadlessDriver::structSetHidden(tree, node, hidden);
}

uint16_t ScriptedDriver::structIsHidden(Ptr<UXNodeTree> tree, int16_t node) {
  logCall("structIsHidden", tree, node);
  return UXHeadlessDriver::structIsHidden(tree, node);
}

void ScriptedDriver::structSetEnabled(Ptr<UXNodeTree> tree, int16_t node, uint16_t enabled) {
  logCall("structSetEnabled", tree, node, enabled);
  UXHeadlessDriver::structSetEnabled(tree, node, enabled);
}

uint16_t ScriptedDriver::structIsEnabled(Ptr<UXNodeTree> tree, int16_t node) {
  logCall("structIsEnabled", tree, node);
  return UXHeadlessDriver::structIsEnabled(tree, node);
}

void ScriptedDriver::structSetSelected(Ptr<UXNodeTree> tree, int16_t node, uint16_t selected) {
  logCall("structSetSelected", tree, node, selected);
  UXHeadlessDriver::structSetSelected(tree, node, selected);
}

uint16_t ScriptedDriver::structIsSelected(Ptr<UXNodeTree> tree, int16_t node) {
  logCall("structIsSelected", tree, node);
  return UXHeadlessDriver::structIsSelected(tree, node);
}

void ScriptedDriver::structSetClips(Ptr<UXNodeTree> tree, int16_t node, uint16_t clips) {
  logCall("structSetClips", tree, node, clips);
  UXHeadlessDriver::structSetClips(tree, node, clips);
}

void ScriptedDriver::structSetClipShape(Ptr<UXNodeTree> tree, int16_t node, uint16_t shape, uint16_t param) {
  logCall("structSetClipShape", tree, node, shape, param);
  UXHeadlessDriver::structSetClipShape(tree, node, shape, param);
}

void ScriptedDriver::structSetSpec(Ptr<UXNodeTree> tree, int16_t node, uint64_t spec) {
  logCall("structSetSpec", tree, node, spec);
  UXHeadlessDriver::structSetSpec(tree, node, spec);
}

void ScriptedDriver::structSetSelectable(Ptr<UXNodeTree> tree, int16_t node, uint16_t selectable) {
  logCall("structSetSelectable", tree, node, selectable);
  UXHeadlessDriver::structSetSelectable(tree, node, selectable);
}

void ScriptedDriver::structSetEditable(Ptr<UXNodeTree> tree, int16_t node, uint16_t editable) {
  logCall("structSetEditable", tree, node, editable);
  UXHeadlessDriver::structSetEditable(tree, node, editable);
}

void ScriptedDriver::structSetPeer(Ptr<UXNodeTree> tree, int16_t node, Ptr<Object> view) {
  logCall("structSetPeer", tree, node, view);
  UXHeadlessDriver::structSetPeer(tree, node, view);
}

void ScriptedDriver::structSetAutoresize(Ptr<UXNodeTree> tree, int16_t node, uint32_t mask) {
  logCall("structSetAutoresize", tree, node, mask);
  UXHeadlessDriver::structSetAutoresize(tree, node, mask);
}

bool ScriptedDriver::driverAutoresizes() {
  logCall("driverAutoresizes");
  return UXHeadlessDriver::driverAutoresizes();
}

void ScriptedDriver::treeSetUserDraw(UXNodeDrawFunction draw, void* userData) {
  logCall("treeSetUserDraw", draw, userData);
  UXHeadlessDriver::treeSetUserDraw(draw, userData);
}

void ScriptedDriver::treeDraw(UXNodeTree* tree, int16_t start, int32_t x, int32_t y, int32_t w, int32_t h) {
  logCall("treeDraw", tree, start, x, y, w, h);
  UXHeadlessDriver::treeDraw(tree, start, x, y, w, h);
}

UXGraphics* ScriptedDriver::beginViewDraw(int32_t x, int32_t y, int32_t w, int32_t h) {
  logCall("beginViewDraw", x, y, w, h);
  return UXHeadlessDriver::beginViewDraw(x, y, w, h);
}

void ScriptedDriver::endViewDraw() {
  logCall("endViewDraw");
  UXHeadlessDriver::endViewDraw();
}

void ScriptedDriver::setDrawOffset(int32_t x, int32_t y) {
  logCall("setDrawOffset", x, y);
  UXHeadlessDriver::setDrawOffset(x, y);
}

bool ScriptedDriver::scrollsNatively() {
  logCall("scrollsNatively");
  return nativeScrolling;
}

void ScriptedDriver::nativeScrollTo(Ptr<UXNodeTree> tree, int16_t node, int32_t px) {
  logCall("nativeScrollTo", tree, node, px);
  UXHeadlessDriver::nativeScrollTo(tree, node, px);
}

int32_t ScriptedDriver::nativeScrollPx(Ptr<UXNodeTree> tree, int16_t node) {
  logCall("nativeScrollPx", tree, node);
  return UXHeadlessDriver::nativeScrollPx(tree, node);
}

int32_t ScriptedDriver::glKind() {
  logCall("glKind");
  return UXHeadlessDriver::glKind();
}

void* ScriptedDriver::glProc(const char* name) {
  logCall("glProc", name);
  return UXHeadlessDriver::glProc(name);
}

uint64_t ScriptedDriver::makeGLContext(Ptr<UXView> view) {
  logCall("makeGLContext", view);
  return UXHeadlessDriver::makeGLContext(view);
}

void ScriptedDriver::destroyGLContext(Ptr<UXView> view) {
  logCall("destroyGLContext", view);
  UXHeadlessDriver::destroyGLContext(view);
}

void ScriptedDriver::resizeGL(Ptr<UXView> view, int32_t w, int32_t h) {
  logCall("resizeGL", view, w, h);
  UXHeadlessDriver::resizeGL(view, w, h);
}

void ScriptedDriver::presentGL(Ptr<UXView> view) {
  logCall("presentGL", view);
  UXHeadlessDriver::presentGL(view);
}

void ScriptedDriver::glSetSwapInterval(int32_t n) {
  logCall("glSetSwapInterval", n);
  UXHeadlessDriver::glSetSwapInterval(n);
}

void ScriptedDriver::glDrawableSize(Ptr<UXView> view, int32_t& w, int32_t& h) {
  logCall("glDrawableSize", view, Out(), Out());
  UXHeadlessDriver::glDrawableSize(view, w, h);
}

bool ScriptedDriver::glReadFrame(Ptr<UXView> view, uint32_t* out, uint32_t w, uint32_t h) {
  logCall("glReadFrame", view, out, w, h);
  return UXHeadlessDriver::glReadFrame(view, out, w, h);
}

bool ScriptedDriver::compositesWithGL() {
  logCall("compositesWithGL");
  return UXHeadlessDriver::compositesWithGL();
}

bool ScriptedDriver::setTurnHook(UXTurnHook hook, void* userData) {
  logCall("setTurnHook", hook, userData);
  return UXHeadlessDriver::setTurnHook(hook, userData);
}

void ScriptedDriver::realizeTree(uint32_t window, UXNodeTree* tree) {
  logCall("realizeTree", window, tree);
  UXHeadlessDriver::realizeTree(window, tree);
}

UXFieldEditor* ScriptedDriver::fieldEditorNew(char* buffer, uint32_t capacity) {
  logCall("fieldEditorNew", buffer, capacity);
  return UXHeadlessDriver::fieldEditorNew(buffer, capacity);
}

void ScriptedDriver::fieldEditorSetValid(UXFieldEditor* editor, const char* templ) {
  logCall("fieldEditorSetValid", editor, templ);
  UXHeadlessDriver::fieldEditorSetValid(editor, templ);
}

void ScriptedDriver::fieldEditorSetPlaceholder(UXFieldEditor* editor, const char* placeholder) {
  logCall("fieldEditorSetPlaceholder", editor, placeholder);
  UXHeadlessDriver::fieldEditorSetPlaceholder(editor, placeholder);
}

void ScriptedDriver::fieldEditorSetSecure(UXFieldEditor* editor, uint8_t secure) {
  logCall("fieldEditorSetSecure", editor, secure);
  UXHeadlessDriver::fieldEditorSetSecure(editor, secure);
}

void ScriptedDriver::fieldEditorFree(UXFieldEditor* editor) {
  logCall("fieldEditorFree", editor);
  UXHeadlessDriver::fieldEditorFree(editor);
}

int32_t ScriptedDriver::editText(UXNodeTree* tree, int16_t node, uint8_t character, int32_t& caret, int32_t mode) {
  logCall("editText", tree, node, character, Out(), mode);
  return UXHeadlessDriver::editText(tree, node, character, caret, mode);
}

uint64_t ScriptedDriver::menuBuild(const UXMenuRecord* menus, int32_t menuCount) {
  logCall("menuBuild", menus, menuCount);
  return UXHeadlessDriver::menuBuild(menus, menuCount);
}

void ScriptedDriver::menuShow(uint64_t bar, uint8_t on) {
  logCall("menuShow", bar, on);
  UXHeadlessDriver::menuShow(bar, on);
}

int32_t ScriptedDriver::menuItemOrd(uint64_t bar, int32_t menu, int32_t position) {
  logCall("menuItemOrd", bar, menu, position);
  return UXHeadlessDriver::menuItemOrd(bar, menu, position);
}

void ScriptedDriver::menuCheck(uint64_t bar, int32_t menu, int32_t item, uint8_t on) {
  logCall("menuCheck", bar, menu, item, on);
  UXHeadlessDriver::menuCheck(bar, menu, item, on);
}

void ScriptedDriver::menuEnable(uint64_t bar, int32_t menu, int32_t item, uint8_t on) {
  logCall("menuEnable", bar, menu, item, on);
  UXHeadlessDriver::menuEnable(bar, menu, item, on);
}

int32_t ScriptedDriver::alertRun(int32_t style, const char* message, const char* buttons, int32_t extra) {
  logCall("alertRun", style, message, buttons, extra);
  return scripted_alertRun(style, message, buttons, extra);
}

void ScriptedDriver::nextEvent(int32_t timeoutMs, UXEvent& event) {
  logCall("nextEvent", timeoutMs, Out());
  waits.push_back(timeoutMs);
  UXHeadlessDriver::nextEvent(timeoutMs, event);
}

void ScriptedDriver::pumpMessages(UXEvent& event) {
  logCall("pumpMessages", Out());
  UXHeadlessDriver::pumpMessages(event);
}

uint32_t ScriptedDriver::windowAtPoint(int32_t x, int32_t y) {
  logCall("windowAtPoint", x, y);
  return UXHeadlessDriver::windowAtPoint(x, y);
}

bool ScriptedDriver::trackDragStep(int32_t& x, int32_t& y) {
  logCall("trackDragStep", Out(), Out());
  if (dragSteps.empty() || gInputReplay) return UXHeadlessDriver::trackDragStep(x, y);
  x = dragSteps.front().first;
  y = dragSteps.front().second;
  dragSteps.pop_front();
  if (afterDragStep) afterDragStep();
  return true;
}

bool ScriptedDriver::dragTrackingIsModal() {
  logCall("dragTrackingIsModal");
  return modalDrags;
}

bool ScriptedDriver::boot(int32_t& w, int32_t& h) {
  logCall("boot", Out(), Out());
  return scripted_boot(w, h);
}

int32_t ScriptedDriver::liveNativeCount() {
  logCall("liveNativeCount");
  return UXHeadlessDriver::liveNativeCount();
}

bool ScriptedDriver::driverOwnsRunLoop() {
  logCall("driverOwnsRunLoop");
  return UXHeadlessDriver::driverOwnsRunLoop();
}

void ScriptedDriver::appAttached(Ptr<UXApplication> application) {
  logCall("appAttached", application);
  UXHeadlessDriver::appAttached(application);
}

void ScriptedDriver::requestStop() {
  logCall("requestStop");
  UXHeadlessDriver::requestStop();
}

void ScriptedDriver::setHeadless(uint8_t on) {
  logCall("setHeadless", on);
  UXHeadlessDriver::setHeadless(on);
}

bool ScriptedDriver::stopAfterMs(int32_t ms) {
  logCall("stopAfterMs", ms);
  return UXHeadlessDriver::stopAfterMs(ms);
}

void ScriptedDriver::runLoop() {
  logCall("runLoop");
  UXHeadlessDriver::runLoop();
}

int32_t ScriptedDriver::formFactorClass() {
  logCall("formFactorClass");
  return UXHeadlessDriver::formFactorClass();
}

int32_t ScriptedDriver::orientation() {
  logCall("orientation");
  return UXHeadlessDriver::orientation();
}
}  // namespace quorl
