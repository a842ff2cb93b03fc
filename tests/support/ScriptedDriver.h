// A headless driver for tests: every contract operation is logged as a text
// line before the headless behaviour runs, input is scripted by queueing
// events, time is a virtual clock that waits advance, and the answers of
// the dialogs and of boot can be set.
//
// Log lines are the operation's name and its input arguments separated by
// spaces: integers in decimal, C strings quoted ("null" for none), pointers
// as "ptr" or "null", out arguments as "&". For example
//   windowCreate 0 0 640 480
//   windowSetTitle 1 "Main"
//   nextEvent 25 &
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "ux/headless/UXHeadlessDriver.h"

namespace quorl {

class ScriptedDriver : public UXHeadlessDriver {
 public:
  ScriptedDriver();

  // -- The log ----------------------------------------------------------------
  std::vector<std::string> calls;
  bool logging = true;
  // Lines that start with name followed by a space or the end.
  size_t count(const std::string& name) const;
  // The last such line, or "" when none.
  std::string last(const std::string& name) const;
  // Only the lines of these operations, in order.
  std::vector<std::string> only(const std::vector<std::string>& names) const;
  void clearCalls() { calls.clear(); }

  // -- Input --------------------------------------------------------------------
  void postMouseDown(uint32_t window, int16_t x, int16_t y);
  void postRightMouseDown(uint32_t window, int16_t x, int16_t y);
  void postMouseMoved(uint32_t window, int16_t x, int16_t y);
  void postKey(uint16_t key, uint16_t mods = 0);
  void postMenu(int32_t menu, int32_t item);  // a = menu + 2, b = item
  void postClose(uint32_t window);             // 0: quit
  void postResize(uint32_t window);
  void postWheel(uint32_t window, int16_t x, int16_t y, int32_t notches, uint16_t mods = 0);
  void post(uint8_t type, uint32_t window = 0, int32_t a = 0, int32_t b = 0);

  // -- Time ---------------------------------------------------------------------
  // With the virtual clock (the default) nowMs answers clockMs, and a wait
  // with nothing queued advances the clock by its time-out (by idleAdvanceMs
  // when it has none) instead of sleeping. Off: real time and real sleeps.
  bool virtualClock = true;
  uint32_t clockMs = 1000;
  uint32_t idleAdvanceMs = 1000;
  // Time-outs that nextEvent was asked for, in order.
  std::vector<int32_t> waits;

  // -- Answers ------------------------------------------------------------------
  bool bootAnswer = true;
  bool fileOpenAvailable = true;
  std::deque<int32_t> alertAnswers;     // front first; empty: the headless cancel
  std::deque<int32_t> popUpAnswers;     // front first; empty: -1
  std::deque<std::string> fileOpenAnswers;  // front first; empty: cancelled
  // Width per byte at size 12 for textWidthStyled; 0 keeps the headless rule.
  uint32_t textWidthPerByte = 0;
  // Answers of runPopupMenu, front first; empty: the headless -1.
  std::deque<int32_t> runPopupAnswers;

  // -- The contract, logged -------------------------------------------------------
  uint32_t windowCreate(int32_t x, int32_t y, int32_t w, int32_t h) override;
  void windowSetContent(uint32_t window, UXContentDrawFunction draw, void* userData) override;
  void windowOpen(uint32_t window) override;
  void windowDestroy(uint32_t window) override;
  void windowSetTitle(uint32_t window, const char* title) override;
  void windowSetSubtitle(uint32_t window, const char* subtitle) override;
  void windowSetInfo(uint32_t window, const char* info) override;
  void windowSetIcon(uint32_t window, const char* imagePath) override;
  bool appSetIcon(const uint8_t* pixels, int32_t w, int32_t h, uint8_t byteOrder) override;
  void audioPlay(const int16_t* samples, uint32_t count, uint32_t sampleRate) override;
  void windowSetModified(uint32_t window, uint8_t modified) override;
  void windowContentSize(uint32_t window, int32_t w, int32_t h) override;
  int32_t windowScrollX(uint32_t window) override;
  int32_t windowScrollY(uint32_t window) override;
  void windowSetScroll(uint32_t window, int32_t x, int32_t y) override;
  void windowContentGeometry(uint32_t window, int32_t& w, int32_t& h) override;
  bool windowSnapshot(uint32_t window, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t* out) override;
  void windowInvalidate(uint32_t window) override;
  void windowInvalidateRect(uint32_t window, int32_t x, int32_t y, int32_t w, int32_t h) override;
  void windowOrderFront(uint32_t window) override;
  void windowSetMinSize(uint32_t window, int32_t w, int32_t h) override;
  void windowLine(uint32_t window, uint8_t on, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t rx, int32_t ry,
                  int32_t rw, int32_t rh) override;
  int32_t outlineItemAt(uint32_t window, int16_t node, int32_t x, int32_t y) override;
  int32_t menuPopUp(uint32_t window, const char* const* titles, const uint32_t* flags, int32_t count, int32_t x, int32_t y) override;
  void windowPaintAll(uint32_t window) override;
  void setBusy(uint8_t on) override;
  void textViewSetAll(uint32_t window, int32_t id, const char* text, uint32_t length, const uint32_t* runs, uint32_t runCount) override;
  void textViewReplace(uint32_t window, int32_t id, uint32_t start, uint32_t length, const char* text, uint32_t textLength, const uint32_t* runs, uint32_t runCount) override;
  void textViewSize(uint32_t window, int32_t id, uint32_t& length, uint32_t& runCount) override;
  uint32_t textViewRead(uint32_t window, int32_t id, char* buffer, uint32_t capacity, uint32_t* runs, uint32_t runCapacity) override;
  void textViewSelection(uint32_t window, int32_t id, uint32_t& start, uint32_t& length) override;
  void textViewSetSelection(uint32_t window, int32_t id, uint32_t start, uint32_t length) override;
  int32_t textViewUndo(uint32_t window, int32_t id, uint8_t redo) override;
  void textViewSetTyping(uint32_t window, int32_t id, uint32_t flags, uint32_t colour, int16_t size) override;
  void textViewFocus(uint32_t window, int32_t id) override;
  void textViewSetLook(uint32_t window, int32_t id, uint32_t background, uint32_t textColour, uint32_t caretColour, uint32_t selectionColour, uint32_t value, uint8_t flag) override;
  bool hasNativeFileOpen() override;
  int32_t fileOpen(const char* title, const char* folder, char* buffer, uint32_t capacity) override;
  bool hasNativeNavigation() override;
  int32_t navAttach(uint32_t window) override;
  int32_t navPush(uint32_t window, const char* title) override;
  int32_t navPop(uint32_t window) override;
  bool hasNativeFileSave() override;
  int32_t fileSave(const char* title, const char* folder, const char* name, char* buffer, uint32_t capacity) override;
  bool hasNativeColorPicker() override;
  bool pickColor(uint32_t r, uint32_t g, uint32_t b, uint32_t& outR, uint32_t& outG, uint32_t& outB) override;
  bool hasNativeFontPicker() override;
  bool pickFont(const char* face, int32_t size, uint8_t bold, uint8_t italic, char* outFace, uint32_t capacity,
                int32_t& outSize, uint8_t& outBold, uint8_t& outItalic) override;
  uint32_t nowMs() override;
  uint64_t nowUs() override;
  void nowUTC(uint32_t out[7]) override;
  int32_t localOffsetMinutes() override;
  int32_t settingGet(const char* section, const char* key, char* buffer, uint32_t capacity) override;
  bool settingSet(const char* section, const char* key, const char* value) override;
  bool settingRemove(const char* section, const char* key) override;
  uint32_t textWidth(const char* text, int32_t size) override;
  uint32_t textWidthStyled(const char* text, const char* face, uint32_t size, uint8_t bold, uint8_t italic) override;
  uint32_t textWidthWeight(const char* text, const char* face, uint32_t size, uint32_t weight, uint8_t italic) override;
  int32_t textAscent(const char* face, uint32_t size, uint32_t weight, uint8_t italic) override;
  int32_t runPopupMenu(Ptr<UXView> view, int32_t x, int32_t y) override;
  int32_t fontFamilyCount() override;
  int32_t fontFamilyName(int32_t index, char* buffer, uint32_t capacity) override;
  int32_t listDir(const char* folder, char* buffer, uint32_t capacity) override;
  bool fileDelete(const char* path) override;
  bool fileRename(const char* from, const char* to) override;
  bool fileCopy(const char* from, const char* to) override;
  void treeOffset(Ptr<UXNodeTree> tree, int32_t& x, int32_t& y) override;
  int16_t treeHitTest(Ptr<UXNodeTree> tree, int16_t root, int32_t x, int32_t y) override;
  void structAbsFrame(Ptr<UXNodeTree> tree, int16_t node, int32_t& x, int32_t& y, int32_t& w, int32_t& h) override;
  Ref<UXNodeTree> structNew() override;
  void structFree(Ptr<UXNodeTree> tree) override;
  void structAdopt(Ptr<UXNodeTree> tree, int16_t node) override;
  UXNodeTree* structObjects(Ptr<UXNodeTree> tree) override;
  uint32_t structLength(Ptr<UXNodeTree> tree) override;
  int16_t structAppend(Ptr<UXNodeTree> tree, uint8_t kind, int32_t x, int32_t y, int32_t w, int32_t h) override;
  int16_t structAddChild(Ptr<UXNodeTree> tree, int16_t parent, int16_t child) override;
  void structRemoveChild(Ptr<UXNodeTree> tree, int16_t parent, int16_t child) override;
  void structFinalise(Ptr<UXNodeTree> tree) override;
  void structSetFrame(Ptr<UXNodeTree> tree, int16_t node, int32_t x, int32_t y, int32_t w, int32_t h) override;
  void structFrame(Ptr<UXNodeTree> tree, int16_t node, int32_t& x, int32_t& y, int32_t& w, int32_t& h) override;
  void structSetHidden(Ptr<UXNodeTree> tree, int16_t node, uint16_t hidden) override;
  uint16_t structIsHidden(Ptr<UXNodeTree> tree, int16_t node) override;
  void structSetEnabled(Ptr<UXNodeTree> tree, int16_t node, uint16_t enabled) override;
  uint16_t structIsEnabled(Ptr<UXNodeTree> tree, int16_t node) override;
  void structSetSelected(Ptr<UXNodeTree> tree, int16_t node, uint16_t selected) override;
  uint16_t structIsSelected(Ptr<UXNodeTree> tree, int16_t node) override;
  void structSetClips(Ptr<UXNodeTree> tree, int16_t node, uint16_t clips) override;
  void structSetClipShape(Ptr<UXNodeTree> tree, int16_t node, uint16_t shape, uint16_t param) override;
  void structSetSpec(Ptr<UXNodeTree> tree, int16_t node, uint64_t spec) override;
  void structSetSelectable(Ptr<UXNodeTree> tree, int16_t node, uint16_t selectable) override;
  void structSetEditable(Ptr<UXNodeTree> tree, int16_t node, uint16_t editable) override;
  void structSetPeer(Ptr<UXNodeTree> tree, int16_t node, Ptr<Object> view) override;
  void structSetAutoresize(Ptr<UXNodeTree> tree, int16_t node, uint32_t mask) override;
  bool driverAutoresizes() override;
  void treeSetUserDraw(UXNodeDrawFunction draw, void* userData) override;
  void treeDraw(UXNodeTree* tree, int16_t start, int32_t x, int32_t y, int32_t w, int32_t h) override;
  UXGraphics* beginViewDraw(int32_t x, int32_t y, int32_t w, int32_t h) override;
  void endViewDraw() override;
  void setDrawOffset(int32_t x, int32_t y) override;
  bool scrollsNatively() override;
  void nativeScrollTo(Ptr<UXNodeTree> tree, int16_t node, int32_t px) override;
  int32_t nativeScrollPx(Ptr<UXNodeTree> tree, int16_t node) override;
  int32_t glKind() override;
  void* glProc(const char* name) override;
  uint64_t makeGLContext(Ptr<UXView> view) override;
  void destroyGLContext(Ptr<UXView> view) override;
  void resizeGL(Ptr<UXView> view, int32_t w, int32_t h) override;
  void presentGL(Ptr<UXView> view) override;
  void glSetSwapInterval(int32_t n) override;
  void glDrawableSize(Ptr<UXView> view, int32_t& w, int32_t& h) override;
  bool glReadFrame(Ptr<UXView> view, uint32_t* out, uint32_t w, uint32_t h) override;
  bool compositesWithGL() override;
  bool setTurnHook(UXTurnHook hook, void* userData) override;
  void realizeTree(uint32_t window, UXNodeTree* tree) override;
  UXFieldEditor* fieldEditorNew(char* buffer, uint32_t capacity) override;
  void fieldEditorSetValid(UXFieldEditor* editor, const char* templ) override;
  void fieldEditorSetPlaceholder(UXFieldEditor* editor, const char* placeholder) override;
  void fieldEditorSetSecure(UXFieldEditor* editor, uint8_t secure) override;
  void fieldEditorFree(UXFieldEditor* editor) override;
  int32_t editText(UXNodeTree* tree, int16_t node, uint8_t character, int32_t& caret, int32_t mode) override;
  uint64_t menuBuild(const UXMenuRecord* menus, int32_t menuCount) override;
  void menuShow(uint64_t bar, uint8_t on) override;
  int32_t menuItemOrd(uint64_t bar, int32_t menu, int32_t position) override;
  void menuCheck(uint64_t bar, int32_t menu, int32_t item, uint8_t on) override;
  void menuEnable(uint64_t bar, int32_t menu, int32_t item, uint8_t on) override;
  int32_t alertRun(int32_t style, const char* message, const char* buttons, int32_t extra = 0) override;
  void nextEvent(int32_t timeoutMs, UXEvent& event) override;
  void pumpMessages(UXEvent& event) override;
  uint32_t windowAtPoint(int32_t x, int32_t y) override;
  bool trackDragStep(int32_t& x, int32_t& y) override;
  bool dragTrackingIsModal() override;
  bool boot(int32_t& w, int32_t& h) override;
  int32_t liveNativeCount() override;
  bool driverOwnsRunLoop() override;
  void appAttached(Ptr<UXApplication> application) override;
  void requestStop() override;
  void setHeadless(uint8_t on) override;
  bool stopAfterMs(int32_t ms) override;
  void runLoop() override;
  int32_t formFactorClass() override;
  int32_t orientation() override;
  const char* classNameC() const override { return "ScriptedDriver"; }

 protected:
  void idleWait(int32_t timeoutMs) override;

 private:
  template <class... Args> void logCall(const char* name, const Args&... args);
  uint32_t scripted_nowMs();
  int32_t scripted_alertRun(int32_t style, const char* message, const char* buttons, int32_t extra);
  int32_t scripted_menuPopUp(uint32_t window, const char* const* titles, const uint32_t* flags, int32_t count,
                             int32_t x, int32_t y);
  int32_t scripted_fileOpen(const char* title, const char* folder, char* buffer, uint32_t capacity);
  bool scripted_boot(int32_t& w, int32_t& h);
  bool scripted_hasNativeFileOpen();
  uint32_t scripted_textWidthStyled(const char* text, const char* face, uint32_t size, uint8_t bold,
                                    uint8_t italic);

 public:
  // -- Scrolling and drags (controls) ---------------------------------------------
  // Answers of scrollsNatively and dragTrackingIsModal; the defaults are the
  // headless driver's.
  bool nativeScrolling = true;
  bool modalDrags = true;
  // Pointer positions that trackDragStep hands out, front first; the button
  // counts as released once they run out. afterDragStep runs after each.
  std::deque<std::pair<int32_t, int32_t>> dragSteps;
  std::function<void()> afterDragStep;
};

}  // namespace quorl
