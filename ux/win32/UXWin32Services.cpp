// The operations whose native forms belong to the native controls and the
// services. Until they stand, each answers as the headless driver does
// (dialogs cancel, text metrics by the headless rule, settings in memory),
// so the toolkit runs unchanged on Windows. Also here: the rich-text hooks
// the event pump routes to, and the window procedure of the GL class. The
// native controls, their tree and its drawing are in the W32 family files.
#include <windows.h>

#include "ux/core/UXNodeTree.h"
#include "ux/headless/UXHeadlessDriver.h"
#include "ux/win32/UXGdiGraphics.h"
#include "ux/win32/UXWin32Driver.h"
#include "ux/win32/W32Globals.h"

namespace quorl {

namespace {
UXHeadlessDriver& w32Fallback() {
  static Ref<UXHeadlessDriver> fallback = [] {
    Ref<UXHeadlessDriver> d = make<UXHeadlessDriver>();
    int32_t w = 0, h = 0;
    d->boot(w, h);
    return d;
  }();
  return *fallback;
}
}  // namespace

// --- Hooks of the native controls ------------------------------------------------
bool w32TextViewKey(HWND, const MSG&) { return false; }
bool w32TextViewCommand(HWND, UINT) { return false; }
bool w32TextViewNotify(HWND, NMHDR*) { return false; }

LRESULT CALLBACK UXGl32Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

// --- Answered as the headless driver does ---------------------------------------
void UXWin32Driver::windowSetIcon(uint32_t window, const char* imagePath) {
  w32Fallback().windowSetIcon(window, imagePath);
}
void UXWin32Driver::appSetIcon(const uint8_t* rgba, int32_t w, int32_t h) { w32Fallback().appSetIcon(rgba, w, h); }
void UXWin32Driver::audioPlay(const int16_t* samples, uint32_t count, uint32_t sampleRate) {
  w32Fallback().audioPlay(samples, count, sampleRate);
}
bool UXWin32Driver::windowSnapshot(uint32_t window, uint8_t* pixels, uint32_t capacity, int32_t& w, int32_t& h) {
  return w32Fallback().windowSnapshot(window, pixels, capacity, w, h);
}
void UXWin32Driver::textViewSetAll(uint32_t window, int32_t id, const char* text, uint32_t length, const uint32_t* runs,
                                   uint32_t runCount) {
  w32Fallback().textViewSetAll(window, id, text, length, runs, runCount);
}
void UXWin32Driver::textViewReplace(uint32_t window, int32_t id, uint32_t start, uint32_t length, const char* text,
                                    uint32_t textLength, const uint32_t* runs, uint32_t runCount) {
  w32Fallback().textViewReplace(window, id, start, length, text, textLength, runs, runCount);
}
void UXWin32Driver::textViewSize(uint32_t window, int32_t id, uint32_t& length, uint32_t& runCount) {
  w32Fallback().textViewSize(window, id, length, runCount);
}
uint32_t UXWin32Driver::textViewRead(uint32_t window, int32_t id, char* buffer, uint32_t capacity, uint32_t* runs,
                                     uint32_t runCapacity) {
  return w32Fallback().textViewRead(window, id, buffer, capacity, runs, runCapacity);
}
void UXWin32Driver::textViewSelection(uint32_t window, int32_t id, uint32_t& start, uint32_t& length) {
  w32Fallback().textViewSelection(window, id, start, length);
}
void UXWin32Driver::textViewSetSelection(uint32_t window, int32_t id, uint32_t start, uint32_t length) {
  w32Fallback().textViewSetSelection(window, id, start, length);
}
int32_t UXWin32Driver::textViewUndo(uint32_t window, int32_t id, uint8_t redo) {
  return w32Fallback().textViewUndo(window, id, redo);
}
void UXWin32Driver::textViewSetTyping(uint32_t window, int32_t id, uint32_t flags, uint32_t colour, int16_t size) {
  w32Fallback().textViewSetTyping(window, id, flags, colour, size);
}
void UXWin32Driver::textViewFocus(uint32_t window, int32_t id) { w32Fallback().textViewFocus(window, id); }
void UXWin32Driver::textViewSetLook(uint32_t window, int32_t id, uint32_t background, uint32_t textColour,
                                    uint32_t caretColour, uint32_t selectionColour, uint32_t value, uint8_t flag) {
  w32Fallback().textViewSetLook(window, id, background, textColour, caretColour, selectionColour, value, flag);
}
bool UXWin32Driver::hasNativeFileOpen() { return w32Fallback().hasNativeFileOpen(); }
int32_t UXWin32Driver::fileOpen(const char* title, const char* folder, char* buffer, uint32_t capacity) {
  return w32Fallback().fileOpen(title, folder, buffer, capacity);
}
bool UXWin32Driver::hasNativeNavigation() { return w32Fallback().hasNativeNavigation(); }
int32_t UXWin32Driver::navAttach(uint32_t window) { return w32Fallback().navAttach(window); }
int32_t UXWin32Driver::navPush(uint32_t window, const char* title) { return w32Fallback().navPush(window, title); }
int32_t UXWin32Driver::navPop(uint32_t window) { return w32Fallback().navPop(window); }
bool UXWin32Driver::hasNativeFileSave() { return w32Fallback().hasNativeFileSave(); }
int32_t UXWin32Driver::fileSave(const char* title, const char* folder, const char* name, char* buffer,
                                uint32_t capacity) {
  return w32Fallback().fileSave(title, folder, name, buffer, capacity);
}
bool UXWin32Driver::hasNativeColorPicker() { return w32Fallback().hasNativeColorPicker(); }
bool UXWin32Driver::pickColor(uint32_t r, uint32_t g, uint32_t b, uint32_t& outR, uint32_t& outG, uint32_t& outB) {
  return w32Fallback().pickColor(r, g, b, outR, outG, outB);
}
bool UXWin32Driver::hasNativeFontPicker() { return w32Fallback().hasNativeFontPicker(); }
bool UXWin32Driver::pickFont(char* face, uint32_t capacity, int32_t& size) {
  return w32Fallback().pickFont(face, capacity, size);
}
uint32_t UXWin32Driver::nowMs() { return w32Fallback().nowMs(); }
uint64_t UXWin32Driver::nowUs() { return w32Fallback().nowUs(); }
void UXWin32Driver::nowUTC(uint32_t out[7]) { w32Fallback().nowUTC(out); }
int32_t UXWin32Driver::localOffsetMinutes() { return w32Fallback().localOffsetMinutes(); }
int32_t UXWin32Driver::settingGet(const char* section, const char* key, char* buffer, uint32_t capacity) {
  return w32Fallback().settingGet(section, key, buffer, capacity);
}
bool UXWin32Driver::settingSet(const char* section, const char* key, const char* value) {
  return w32Fallback().settingSet(section, key, value);
}
bool UXWin32Driver::settingRemove(const char* section, const char* key) {
  return w32Fallback().settingRemove(section, key);
}
uint32_t UXWin32Driver::textWidth(const char* text, int32_t size) { return w32Fallback().textWidth(text, size); }
uint32_t UXWin32Driver::textWidthStyled(const char* text, const char* face, uint32_t size, uint8_t bold,
                                        uint8_t italic) {
  return w32Fallback().textWidthStyled(text, face, size, bold, italic);
}
uint32_t UXWin32Driver::textWidthWeight(const char* text, const char* face, uint32_t size, uint32_t weight,
                                        uint8_t italic) {
  return w32Fallback().textWidthWeight(text, face, size, weight, italic);
}
int32_t UXWin32Driver::textAscent(const char* face, uint32_t size, uint32_t weight) {
  return w32Fallback().textAscent(face, size, weight);
}
int32_t UXWin32Driver::runPopupMenu(Ptr<UXView> view, int32_t x, int32_t y) {
  return w32Fallback().runPopupMenu(view, x, y);
}
int32_t UXWin32Driver::fontFamilyCount() { return w32Fallback().fontFamilyCount(); }
bool UXWin32Driver::fontFamilyName(int32_t index, char* buffer, uint32_t capacity) {
  return w32Fallback().fontFamilyName(index, buffer, capacity);
}
int32_t UXWin32Driver::listDir(const char* folder, char* buffer, uint32_t capacity) {
  return w32Fallback().listDir(folder, buffer, capacity);
}
bool UXWin32Driver::fileDelete(const char* path) { return w32Fallback().fileDelete(path); }
bool UXWin32Driver::fileRename(const char* from, const char* to) { return w32Fallback().fileRename(from, to); }
bool UXWin32Driver::fileCopy(const char* from, const char* to) { return w32Fallback().fileCopy(from, to); }
int32_t UXWin32Driver::glKind() { return w32Fallback().glKind(); }
void* UXWin32Driver::glProc(const char* name) { return w32Fallback().glProc(name); }
uint64_t UXWin32Driver::makeGLContext(Ptr<UXView> view) { return w32Fallback().makeGLContext(view); }
void UXWin32Driver::destroyGLContext(Ptr<UXView> view) { w32Fallback().destroyGLContext(view); }
void UXWin32Driver::resizeGL(Ptr<UXView> view, int32_t w, int32_t h) { w32Fallback().resizeGL(view, w, h); }
void UXWin32Driver::presentGL(Ptr<UXView> view) { w32Fallback().presentGL(view); }
void UXWin32Driver::glSetSwapInterval(int32_t n) { w32Fallback().glSetSwapInterval(n); }
void UXWin32Driver::glDrawableSize(Ptr<UXView> view, int32_t& w, int32_t& h) {
  w32Fallback().glDrawableSize(view, w, h);
}
bool UXWin32Driver::glReadFrame(Ptr<UXView> view, uint8_t* buffer, uint32_t capacity) {
  return w32Fallback().glReadFrame(view, buffer, capacity);
}
bool UXWin32Driver::compositesWithGL() { return w32Fallback().compositesWithGL(); }

}  // namespace quorl
