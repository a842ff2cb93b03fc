// The Win32 driver: the view driver contract on real windows, GDI drawing
// and the thread's message queue. The class has no fields: its state is the
// set of gW32 globals of W32Globals.h, one UI thread touching them. The
// operations live in one file per area:
//   UXWin32Windows.cpp       boot, the window table, captions, scrolling,
//                            overlay
//   UXWin32Events.cpp        nextEvent, window procedures, alerts, drag
//                            polling
//   UXWin32Menus.cpp         the menu bar
//   UXWin32FieldEditors.cpp  field editors, editText
//   UXWin32ViewDrawing.cpp   the surface of a view's draw, the draw offset
//   UXWin32RunLoop.cpp       run-loop and start-up answers
//   UXWin32Tree.cpp          the native node tree and its controls'
//                            visibility
//   W32Realize.cpp           realising the tree into native controls, one
//                            file pair a control family (see W32Control.h)
//   W32TreeDraw.cpp          drawing the tree
//   W32*.cpp                 the services: see W32Services.h
// Text crosses the contract as UTF-8 and becomes UTF-16 only at the W entry
// points (W32Text.h).
#pragma once

#include <cstdint>

#include "ux/core/UXEvent.h"
#include "ux/core/UXNodeTree.h"
#include "ux/core/UXNodeTreeDriver.h"
#include "ux/core/UXViewDriver.h"

namespace quorl {

class UXTableView;

class UXWin32Driver : public UXNodeTreeDriver {
 public:
  bool hasMenuPopUp() const override { return true; }
  bool hasTextViewSetAll() const override { return true; }  // the rich-text bridge

  // -- Windows [0-24]: UXWin32Windows.cpp (icons, sound, snapshots: W32Icons, W32Sound, W32Snapshot)
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
  int32_t menuPopUp(uint32_t window, const char* const* titles, const uint32_t* flags, int32_t count, int32_t x,
                    int32_t y) override;
  // Before a step that holds the thread: UXWin32Windows.cpp, UXWin32RunLoop.cpp
  void windowPaintAll(uint32_t window) override;
  void setBusy(uint8_t on) override;

  // -- Text views [25-34]: W32RichText.cpp
  void textViewSetAll(uint32_t window, int32_t id, const char* text, uint32_t length, const uint32_t* runs,
                      uint32_t runCount) override;
  void textViewReplace(uint32_t window, int32_t id, uint32_t start, uint32_t length, const char* text,
                       uint32_t textLength, const uint32_t* runs, uint32_t runCount) override;
  void textViewSize(uint32_t window, int32_t id, uint32_t& length, uint32_t& runCount) override;
  uint32_t textViewRead(uint32_t window, int32_t id, char* buffer, uint32_t capacity, uint32_t* runs,
                        uint32_t runCapacity) override;
  void textViewSelection(uint32_t window, int32_t id, uint32_t& start, uint32_t& length) override;
  void textViewSetSelection(uint32_t window, int32_t id, uint32_t start, uint32_t length) override;
  int32_t textViewUndo(uint32_t window, int32_t id, uint8_t redo) override;
  void textViewSetTyping(uint32_t window, int32_t id, uint32_t flags, uint32_t colour, int16_t size) override;
  void textViewFocus(uint32_t window, int32_t id) override;
  void textViewSetLook(uint32_t window, int32_t id, uint32_t background, uint32_t textColour, uint32_t caretColour,
                       uint32_t selectionColour, uint32_t value, uint8_t flag) override;

  // -- Dialogs [35-46]: W32Dialogs.cpp
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

  // -- Clocks, settings, text metrics, files [47-64]: W32Clock, W32Settings, W32TextMeasure, W32Files
  uint32_t nowMs() override;
  uint64_t nowUs() override;
  void nowUTC(uint32_t out[7]) override;
  int32_t localOffsetMinutes() override;
  int32_t settingGet(const char* section, const char* key, char* buffer, uint32_t capacity) override;
  bool settingSet(const char* section, const char* key, const char* value) override;
  bool settingRemove(const char* section, const char* key) override;
  bool settingsChange(const char* section, const std::vector<UXSettingChange>& changes) override;
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
  bool fileCopyDecided(const char* from, const char* to, bool replace, const UXFileIdentity* source) override;
  UXFileFailure fileFailure() const override;
  // Presence and identity: W32FileQueries.cpp; whether the last listing was
  // whole: W32Files.cpp.
  UXFilePresence filePresence(const char* path) override;
  bool fileIdentity(const char* path, UXFileIdentity& identity) override;
  bool listDirWhole() const override;

  // -- Native node tree [65-100]: UXWin32Tree.cpp (drawing: UXWin32ViewDrawing.cpp, W32TreeDraw.cpp)
  void treeOffset(Ptr<UXNodeTree> tree, int32_t& x, int32_t& y) override;
  void structFree(Ptr<UXNodeTree> tree) override;
  int16_t structAddChild(Ptr<UXNodeTree> tree, int16_t parent, int16_t child) override;
  void structRemoveChild(Ptr<UXNodeTree> tree, int16_t parent, int16_t child) override;
  void structSetFrame(Ptr<UXNodeTree> tree, int16_t node, int32_t x, int32_t y, int32_t w, int32_t h) override;
  void structSetHidden(Ptr<UXNodeTree> tree, int16_t node, uint16_t hidden) override;
  void structSetEnabled(Ptr<UXNodeTree> tree, int16_t node, uint16_t enabled) override;
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

  // -- GL surfaces [101-111]: W32OpenGL.cpp
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

  // -- Realisation and field editors [112-118]: W32Realize.cpp, UXWin32FieldEditors.cpp
  void realizeTree(uint32_t window, UXNodeTree* tree) override;
  UXFieldEditor* fieldEditorNew(char* buffer, uint32_t capacity) override;
  void fieldEditorSetValid(UXFieldEditor* editor, const char* templ) override;
  void fieldEditorSetPlaceholder(UXFieldEditor* editor, const char* placeholder) override;
  void fieldEditorSetSecure(UXFieldEditor* editor, uint8_t secure) override;
  void fieldEditorFree(UXFieldEditor* editor) override;
  int32_t editText(UXNodeTree* tree, int16_t node, uint8_t character, int32_t& caret, int32_t mode) override;

  // -- Menus and alerts [119-124]: UXWin32Menus.cpp, UXWin32Events.cpp
  uint64_t menuBuild(const UXMenuRecord* menus, int32_t menuCount) override;
  void menuShow(uint64_t bar, uint8_t on) override;
  int32_t menuItemOrd(uint64_t bar, int32_t menu, int32_t position) override;
  void menuCheck(uint64_t bar, int32_t menu, int32_t item, uint8_t on) override;
  void menuEnable(uint64_t bar, int32_t menu, int32_t item, uint8_t on) override;
  int32_t alertRun(int32_t style, const char* message, const char* buttons, int32_t extra = 0) override;

  // -- Events and drag tracking [125-129]: UXWin32Events.cpp
  void nextEvent(int32_t timeoutMs, UXEvent& event) override;
  void pumpMessages(UXEvent& event) override;
  uint32_t windowAtPoint(int32_t x, int32_t y) override;
  bool trackDragStep(int32_t& x, int32_t& y) override;
  bool dragTrackingIsModal() override;

  // -- Start-up and run loop [130-139]: UXWin32Windows.cpp, UXWin32RunLoop.cpp
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

  // -- Driver-internal tests (no state of their own) ----------------------
  // The table handle of a top-level window, 0 for any other window.
  static uint32_t handleOf(void* hwnd);
  static bool isUXWindow(void* hwnd) { return handleOf(hwnd) != 0; }
  // Whether the window's class is "EDIT" in any letter case.
  static bool isEditClass(void* hwnd);
  // Frees a window's table entry (its window is gone or going); posts the
  // quit message when no window is left.
  static void forgetWindow(uint32_t handle);
  // True when no column of the table has a title.
  static bool untitled(const UXTableView& table);

  const char* classNameC() const override { return "UXWin32Driver"; }
};

}  // namespace quorl
