// The headless driver: the view driver contract without an operating system
// window. Windows, node trees, menus, settings and text controls live in
// memory; painting is synchronous and drawn onto a surface that records
// every primitive as a text line, so the whole toolkit runs and is testable
// on a machine without a display. It is the native build's platform driver,
// and serves the Windows build's tests beside the Win32 driver.
//
// Sections:
//   1. UXHeadlessDriver: state, and what tests read and script
//   2. UXHeadlessDriver: the contract operations
//
// The files are split by concern as the Win32 driver's are, so that an
// operation is found in the same place in both (the Win32 file in brackets):
//   UXHeadlessWindows.cpp      boot, the window table, captions, scrolling,
//                              the synchronous paint, windowLine, menuPopUp
//                              (UXWin32Windows.cpp)
//   UXHeadlessEvents.cpp       the event queue, nextEvent, windowAtPoint,
//                              alertRun, liveNativeCount (UXWin32Events.cpp)
//   UXHeadlessMenus.cpp        menu bars (UXWin32Menus.cpp)
//   UXHeadlessFieldEditors.cpp field editors, editText
//                              (UXWin32FieldEditors.cpp)
//   UXHeadlessViewDrawing.cpp  the surface of a view's draw, the draw offset
//                              (UXWin32ViewDrawing.cpp)
//   UXHeadlessRunLoop.cpp      run-loop and start-up answers
//                              (UXWin32RunLoop.cpp)
//   UXHeadlessTree.cpp         the node tree, treeDraw, realizeTree
//                              (UXWin32Tree.cpp, W32TreeDraw.cpp, W32Realize.cpp)
//   UXHeadlessGraphics.h/.cpp  the recording surface (UXGdiGraphics.h/.cpp)
//   UXHeadlessDialogs.cpp      fileOpen, fileSave, pickColor, pickFont
//                              (W32Dialogs.cpp)
//   UXHeadlessFiles.cpp        listDir, fileFailure; fileDelete, fileRename
//                              and fileCopy in its .posix.cpp and .win32.cpp
//                              (W32Files.cpp)
//   UXHeadlessFileQueries.*    filePresence, fileIdentity (W32FileQueries.cpp)
//   UXHeadlessSettings.cpp     settings and the settings file (W32Settings.cpp)
//   UXHeadlessClock.cpp        clocks (W32Clock.cpp)
//   UXHeadlessTextMeasure.cpp  text widths, ascents, the font family
//                              (W32TextMeasure.cpp)
//   UXHeadlessDriver.cpp       construction, text controls (W32RichText.cpp),
//                              icons, sound, snapshots and GL, which do nothing
//   UXHeadlessFiles.h          helpers of the file operations
//   UXHeadlessInternal.h       helpers the other files share
//
// Fixed rules of this driver (tests and callers may rely on them):
//   - Text metrics: a byte is 7 pixels wide at size 12, scaled by size
//     (width = bytes * 7 * size / 12, size < 1 meaning 12; bold and italic do
//     not change it); the line height is size + 4 and the ascent is size.
//   - nextEvent answers queued events first (postEvent, the quit request of
//     windowDestroy); otherwise it sleeps for the time-out, but never longer
//     than maxWaitMs (100 ms by default, also for "no limit"), and answers
//     type 0. Nothing else produces input.
//   - Dialogs answer cancel: fileOpen and fileSave 0, pickColor and pickFont
//     false, menuPopUp -1, alertRun the last of its choices (or the next of
//     the answers queued with queueAlertAnswer). There is no native open
//     dialog: the toolkit shows its own file panel.
//   - Settings live in memory; with a settings file (setSettingsFile) they
//     are read from it, and every change is made to the file as it is just
//     then, read again, so that another instance's changes are kept (an INI
//     text: "[section]" lines, then "key=value" lines; a missing or empty
//     section is "Shared"). Values with a line break, and empty keys, are
//     then refused, and so is every change when the file is there but
//     could not be read: it is never written over. Each change holds a
//     private lock file beside the settings file ("settings.ini.lock",
//     mode 0600) from its read to its replacement, so that two instances
//     changing it at once lose nothing; a lock another instance holds is
//     waited for at most gUXSettingsLockWaitMs, and the change then
//     answers false with fileFailure busy. settingsChange makes several
//     keys' changes one. The file is replaced whole by a new sibling that
//     keeps the old file's permissions and group, and a change answers
//     true only once it is in place (UXSettingsFile.h); a link at the
//     settings path is kept and its target replaced (a link that leads
//     nowhere reads as a file that could not be read).
//   - Files are real: listDir, fileDelete, fileRename and fileCopy work on
//     the native file system, on whole paths of any length. listDir leaves
//     out names with a line feed, which its line format cannot carry, and
//     then answers listDirWhole false.
//     fileDelete deletes no folder, fileRename replaces nothing, fileCopy
//     copies a regular file onto a regular file or a new name and never
//     waits on a pipe; it writes the copy to a new sibling of the target
//     and puts it in the target's place once whole (uxCopyThroughSibling),
//     so a copy that fails leaves the old file as it was, and a copy to a
//     new name replaces nothing that appeared meanwhile. A new copy takes
//     its source's permissions less the umask, a replacing one the old
//     file's. fileCopyDecided copies only onto a free name unless told to
//     replace, and only the source file identified, never through a link.
//     A rename to another file system copies the file (its permissions
//     whole) and deletes the source.
//     fileFailure tells why one of them failed.
//   - windowInvalidate and windowInvalidateRect call the content draw
//     function at once over the whole client area; what is drawn is recorded
//     in the window's paint log (see UXHeadlessGraphics for the lines).
//   - boot answers 1024 x 768; window handles are the lowest free of 1..63.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ux/core/UXEvent.h"
#include "ux/core/UXGraphics.h"
#include "ux/core/UXNodeTree.h"
#include "ux/core/UXNodeTreeDriver.h"
#include "ux/core/UXViewDriver.h"
#include "ux/headless/UXHeadlessGraphics.h"

namespace quorl {

// Text width by the headless rule: bytes * 7 * size / 12 (size < 1: 12).
uint32_t uxHeadlessTextWidth(const char* text, int32_t size);
// Calendar time of us microseconds since 1970-01-01 UTC (proleptic
// Gregorian): year, month 1-12, day, hour, minute, second, microsecond.
void uxCivilFromUs(int64_t us, uint32_t out[7]);

// ---------------------------------------------------------------------------
// 1. The driver.
class UXHeadlessDriver : public UXNodeTreeDriver {
 public:
  static constexpr uint32_t kMaxWindows = 63;
  static constexpr int32_t kDefaultWidth = 1024;
  static constexpr int32_t kDefaultHeight = 768;

  struct Window {
    bool live = false;
    bool shown = false;
    std::string title;
    std::string subtitle;
    int32_t x = 0, y = 0, w = 0, h = 0;  // screen position, client size
    int32_t minW = 0, minH = 0;
    int32_t contentW = 0, contentH = 0;
    int32_t scrollX = 0, scrollY = 0;
    uint8_t modified = 0;
    uint64_t menuBar = 0;
    uint64_t order = 0;                  // creation sequence: newest is largest
    UXContentDrawFunction draw = nullptr;
    void* drawData = nullptr;
    uint32_t paints = 0;                 // completed content draws
    UXRect lastDamage;                   // rectangle of the last repaint
    std::vector<std::string> paintLog;   // lines of the last repaint
  };

  // A text control of a kind-18 node (only while nativeTextViews is on).
  struct TextControl {
    std::string text;
    std::vector<uint32_t> runs;  // five words a run
    uint32_t selStart = 0, selLength = 0;
    uint32_t typingFlags = 0, typingColour = 0;
    int16_t typingSize = 0;
    uint32_t look[6] = {0, 0, 0, 0, 0, 0};
  };

  struct MenuBar {
    std::vector<std::string> titles;
    std::vector<std::vector<std::string>> items;  // encoded item strings, copied
    std::vector<std::vector<uint8_t>> checked;    // menuCheck
    std::vector<std::vector<uint8_t>> disabled;   // menuEnable with 0
  };

  UXHeadlessDriver();
  ~UXHeadlessDriver() override;

  // -- What tests read and script -------------------------------------------
  // The window of a live handle, else null.
  const Window* window(uint32_t handle) const;
  uint32_t liveWindowCount() const;
  // Queues an event (a copy of its fields, object included) for nextEvent.
  void postEvent(const UXEvent& event);
  // Gives a window a new client size as a user's drag of its frame would:
  // held to the window's minimum size, then a resize event is queued.
  void resizeWindow(uint32_t handle, int32_t w, int32_t h);
  size_t pendingEvents() const { return queue_.size(); }
  // The answers of the next alerts, in order; once used up alertRun answers
  // cancel again.
  void queueAlertAnswer(int32_t answer) { alertAnswers_.push_back(answer); }
  // Reads the settings from path (a missing file holds none) and writes
  // every later change back to it; an empty path keeps them in memory only.
  // A file that is there but could not be read (not allowed, too large,
  // not a regular file) is never written over: every change then fails.
  void setSettingsFile(const std::string& path);
  const std::string& settingsFile() const { return settingsFile_; }
  // Longest real sleep of one nextEvent.
  void setMaxWaitMs(int32_t ms) { maxWaitMs_ = ms; }
  int32_t maxWaitMs() const { return maxWaitMs_; }
  // Whether kind-18 nodes become in-memory text controls (textViewSetAll).
  void setNativeTextViews(bool on) { nativeTextViews_ = on; }
  const TextControl* textControl(uint32_t window, int32_t id) const;
  const MenuBar* menuBar(uint64_t handle) const;
  bool headless() const { return headless_ != 0; }
  // Steps that hold the thread and have not ended (setBusy 1 less setBusy
  // 0): above 0 while the cursor would show that the program is busy.
  int32_t busyDepth() const { return busyDepth_; }
  bool booted() const { return booted_; }
  // Number of live field editors (each must be freed by fieldEditorFree).
  size_t liveFieldEditors() const { return editors_.size(); }
  bool isLiveFieldEditor(const UXFieldEditor* editor) const;
  UXHeadlessGraphics& surface() { return surface_; }
  // Every alert shown: "STYLE|MESSAGE|BUTTONS" with the message cut to the
  // 510 bytes an alert shows.
  const std::vector<std::string>& alerts() const { return alerts_; }
  // Lines drawn while no window was painting (the newest kMaxStrayLines at
  // most).
  static constexpr size_t kMaxStrayLines = 10000;
  const std::vector<std::string>& strayLines() const { return strayLines_; }

  // -- 2. The contract ------------------------------------------------------
  bool hasMenuPopUp() const override { return true; }
  bool hasTextViewSetAll() const override { return nativeTextViews_; }

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
  void windowPaintAll(uint32_t window) override;
  void setBusy(uint8_t on) override;

  void textViewSetAll(uint32_t window, int32_t id, const char* text, uint32_t length, const uint32_t* runs,
                      uint32_t runCount) override;
  void textViewReplace(uint32_t window, int32_t id, uint32_t start, uint32_t length, const char* text,
                       uint32_t textLength, const uint32_t* runs, uint32_t runCount) override;
  void textViewSize(uint32_t window, int32_t id, uint32_t& length, uint32_t& runCount) override;
  uint32_t textViewRead(uint32_t window, int32_t id, char* buffer, uint32_t capacity, uint32_t* runs,
                        uint32_t runCapacity) override;
  void textViewSelection(uint32_t window, int32_t id, uint32_t& start, uint32_t& length) override;
  void textViewSetSelection(uint32_t window, int32_t id, uint32_t start, uint32_t length) override;
  void textViewSetTyping(uint32_t window, int32_t id, uint32_t flags, uint32_t colour, int16_t size) override;
  void textViewFocus(uint32_t window, int32_t id) override;
  void textViewSetLook(uint32_t window, int32_t id, uint32_t background, uint32_t textColour,
                       uint32_t caretColour, uint32_t selectionColour, uint32_t value, uint8_t flag) override;

  bool hasNativeFileOpen() override;
  int32_t fileOpen(const char* title, const char* folder, char* buffer, uint32_t capacity) override;
  bool hasNativeNavigation() override;
  int32_t navAttach(uint32_t window) override;
  int32_t navPush(uint32_t window, const char* title) override;
  int32_t navPop(uint32_t window) override;
  bool hasNativeFileSave() override;
  int32_t fileSave(const char* title, const char* folder, const char* name, char* buffer,
                   uint32_t capacity) override;
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
  bool settingsChange(const char* section, const std::vector<UXSettingChange>& changes) override;
  uint32_t textWidth(const char* text, int32_t size) override;
  uint32_t textWidthStyled(const char* text, const char* face, uint32_t size, uint8_t bold,
                           uint8_t italic) override;
  uint32_t textWidthWeight(const char* text, const char* face, uint32_t size, uint32_t weight,
                           uint8_t italic) override;
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
  // Presence and identity (UXHeadlessFileQueries.posix.cpp / .win32.cpp);
  // whether the last listing was whole (UXHeadlessFiles.cpp).
  UXFilePresence filePresence(const char* path) override;
  bool fileIdentity(const char* path, UXFileIdentity& identity) override;
  bool listDirWhole() const override { return listingWhole_; }

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

  const char* classNameC() const override { return "UXHeadlessDriver"; }

 protected:
  // The event queue's front, moved into event; false when empty.
  bool takeQueued(UXEvent& event);
  // The real wait of nextEvent when nothing is queued (subclasses may
  // replace it with a virtual clock).
  virtual void idleWait(int32_t timeoutMs);
  Window* liveWindow(uint32_t handle);

 private:
  struct QueuedEvent {
    uint8_t type;
    int16_t x, y;
    uint16_t key, mods;
    uint32_t window;
    int32_t a, b;
    Ref<Object> object;
  };
  void paint(uint32_t handle, UXRect damage);
  TextControl* findText(uint32_t window, int32_t id);

  Window windows_[kMaxWindows + 1];  // index = handle; 0 unused
  std::deque<QueuedEvent> queue_;
  int32_t maxWaitMs_ = 100;
  bool nativeTextViews_ = false;
  uint8_t headless_ = 0;
  int32_t busyDepth_ = 0;
  bool booted_ = false;
  UXNodeDrawFunction userDraw_ = nullptr;
  void* userDrawData_ = nullptr;
  int32_t drawOffsetX_ = 0, drawOffsetY_ = 0;
  uint32_t painting_ = 0;  // window being painted, 0 outside a paint
  std::vector<std::string> strayLines_;  // drawing outside any paint
  UXHeadlessGraphics surface_;
  std::map<std::pair<uint32_t, int32_t>, TextControl> texts_;
  std::vector<std::unique_ptr<MenuBar>> menuBars_;  // handle = index + 1
  std::vector<std::unique_ptr<UXFieldEditor>> editors_;
  std::map<std::string, std::string> settings_;  // "section\nkey" -> value
  std::vector<std::string> alerts_;
  std::deque<int32_t> alertAnswers_;
  std::string settingsFile_;
  // Why the file, there when it was set, could not be read (none: it was).
  UXFileFailure settingsUnread_ = UXFileFailure::none;
  // Applies a change (which answers whether it changed anything) in memory
  // and to the settings file as it is now; false when it could not be made.
  bool changeSettings(const std::function<bool(std::map<std::string, std::string>&)>& apply);
  bool listingWhole_ = false;  // the last listDir wrote every entry
  // Why the last file operation failed; failed records it and answers
  // false.
  UXFileFailure fileFailure_ = UXFileFailure::none;
  bool failed(UXFileFailure why) {
    fileFailure_ = why;
    return false;
  }
  uint64_t windowOrder_ = 0;
  int64_t startUs_ = 0;
};

}  // namespace quorl
