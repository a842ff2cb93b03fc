// The view driver contract: the one way the toolkit, and everything above
// it, reaches the operating system. Exactly one driver is installed at run
// time (the global `gDriver`, kept by the application).
//
// Sections (slot numbers in brackets; the order of declaration is the slot
// order and must stay so):
//   1. Shared types: handles, callbacks, menu records, optional operations
//   2. Windows [0-24]            6. Native node tree [65-100] (UXNodeTree.h)
//   3. Text views [25-34]        7. GL surfaces [101-111]
//   4. Dialogs [35-46]           8. Realisation, field editors [112-118]
//   5. Clocks, settings, text    9. Menus and alerts [119-124]
//      metrics [47-60], files   10. Events, drag tracking [125-129]
//      [61-64]                  11. Start-up and run loop [130-139]
//
// Conventions: window handles are u32 1..63 (0 = none); node indices are
// i16 (-1 = none); C strings are NUL-terminated UTF-8 that the driver copies
// when it keeps them (spec words excepted, see structSetSpec); out
// arguments are references.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/Object.h"
#include "ux/core/UXGeometry.h"

namespace quorl {

class UXEvent;
class UXGraphics;
class UXNodeTree;
class UXFieldEditor;
class UXView;
class UXApplication;

// ---------------------------------------------------------------------------
// 1. Shared types.

// The content draw function of every window: called as (0, 0, 0, client
// width, client height, user data) whenever the client area is painted.
using UXContentDrawFunction = void (*)(int32_t reserved, int32_t x, int32_t y, int32_t w, int32_t h,
                                       void* userData);
// The per-node draw function: called for every node the toolkit draws itself.
using UXNodeDrawFunction = void (*)(UXNodeTree* tree, int16_t node, void* userData);
using UXTurnHook = void (*)(void* userData);

// One menu of a menu bar handed to `menuBuild`: its title and its encoded
// item strings. The driver copies what it shows.
struct UXMenuRecord {
  const char* title = nullptr;
  const char* const* items = nullptr;
  int32_t itemCount = 0;
};

// A node's spec word holds either a title (a C string that its control keeps
// alive while the node shows it) or a field editor handle. The driver keeps
// the word, not a copy of what it points to.
inline uint64_t uxSpecOfText(const char* text) { return uint64_t(reinterpret_cast<uintptr_t>(text)); }
inline uint64_t uxSpecOfEditor(const UXFieldEditor* editor) {
  return uint64_t(reinterpret_cast<uintptr_t>(editor));
}
inline const char* uxTextOfSpec(uint64_t spec) { return reinterpret_cast<const char*>(uintptr_t(spec)); }

// Every slot of the contract, in order. `UXViewDriver::hasOperation` answers
// whether a driver provides one; slots 21 and 31 and `textViewSetAll` and
// `menuPopUp` are the ones a conforming driver may leave out.
enum class UXDriverOp : uint8_t {
  windowCreate, windowSetContent, windowOpen, windowDestroy, windowSetTitle, windowSetSubtitle,
  windowSetInfo, windowSetIcon, appSetIcon, audioPlay, windowSetModified, windowContentSize,
  windowScrollX, windowScrollY, windowSetScroll, windowContentGeometry, windowSnapshot, windowInvalidate,
  windowInvalidateRect, windowOrderFront, windowSetMinSize, slot21, windowLine, outlineItemAt, menuPopUp,
  textViewSetAll, textViewReplace, textViewSize, textViewRead, textViewSelection, textViewSetSelection,
  textViewUndo, textViewSetTyping, textViewFocus, textViewSetLook,
  hasNativeFileOpen, fileOpen, hasNativeNavigation, navAttach, navPush, navPop, hasNativeFileSave, fileSave,
  hasNativeColorPicker, pickColor, hasNativeFontPicker, pickFont,
  nowMs, nowUs, nowUTC, localOffsetMinutes, settingGet, settingSet, settingRemove, textWidth,
  textWidthStyled, textWidthWeight, textAscent, runPopupMenu, fontFamilyCount, fontFamilyName,
  listDir, fileDelete, fileRename, fileCopy,
  treeOffset, treeHitTest, structAbsFrame, structNew, structFree, structAdopt, structObjects, structLength,
  structAppend, structAddChild, structRemoveChild, structFinalise, structSetFrame, structFrame,
  structSetHidden, structIsHidden, structSetEnabled, structIsEnabled, structSetSelected, structIsSelected,
  structSetClips, structSetClipShape, structSetSpec, structSetSelectable, structSetEditable, structSetPeer,
  structSetAutoresize, driverAutoresizes, treeSetUserDraw, treeDraw, beginViewDraw, endViewDraw,
  setDrawOffset, scrollsNatively, nativeScrollTo, nativeScrollPx,
  glKind, glProc, makeGLContext, destroyGLContext, resizeGL, presentGL, glSetSwapInterval, glDrawableSize,
  glReadFrame, compositesWithGL, setTurnHook,
  realizeTree, fieldEditorNew, fieldEditorSetValid, fieldEditorSetPlaceholder, fieldEditorSetSecure,
  fieldEditorFree, editText,
  menuBuild, menuShow, menuItemOrd, menuCheck, menuEnable, alertRun,
  nextEvent, pumpMessages, windowAtPoint, trackDragStep, dragTrackingIsModal,
  boot, liveNativeCount, driverOwnsRunLoop, appAttached, requestStop, setHeadless, stopAfterMs, runLoop,
  formFactorClass, orientation,
  count_
};
static_assert(uint8_t(UXDriverOp::count_) == 140, "the contract has 140 slots");
static_assert(uint8_t(UXDriverOp::textViewUndo) == 31 && uint8_t(UXDriverOp::menuBuild) == 119);

// One key's change in settingsChange: set to `value`, or removed.
struct UXSettingChange {
  std::string key;
  std::string value;
  bool remove = false;
};

// Why the last fileDelete, fileRename, fileCopy or fileCopyDecided failed,
// or the last change of the settings (settingSet, settingRemove,
// settingsChange) that answered false, so that the user is told the real
// reason.
enum class UXFileFailure : uint8_t {
  none,
  exists,         // the target exists (rename, move; a copy's new name taken meanwhile)
  tooLong,        // a name or the path is longer than the system allows
  permission,     // not allowed
  gone,           // the source is no longer there
  noFolder,       // the target's folder is not there
  notRegular,     // a pipe, a device: only regular files are copied
  isFolder,       // a folder where a file was expected
  same,           // copying a file onto itself
  noSpace,        // the disk (or the user's quota) is full
  tooLarge,       // the file is larger than the file system (or a limit) allows
  linkLoop,       // a link leads round to itself
  brokenLink,     // a link that points to nothing
  otherVolume,    // a move to another file system that cannot copy it there
  swapped,        // the source is no longer the file the panel identified
  changed,        // a move's source was replaced or written while it was copied: both kept
  deviceName,     // a name Windows keeps for a device (NUL, aux.json): no file is reached by it
  linkAsTarget,   // a link the system reaches only as what it leads to (Wine's host links): left alone
  busy,           // another instance held the file's lock for longer than a change waits
  notText,        // the file's bytes are no text this program reads (UTF-8, or UTF-16 with its mark)
  unknown,
};

// What filePresence finds at a path.
enum class UXFilePresence : uint8_t {
  absent,     // nothing has that name
  file,       // an entry that is no folder: a file, a link, a pipe, a device
  folder,     // a folder
  notFolder,  // a file stands where the path names a folder on its way
  deviceName,  // the name is one Windows keeps for a device: it reaches no file
  unknown,    // the system will not tell
};

// Who a folder or file is, whatever the path that reaches it: the volume
// (device) and the number of the entry on it (inode, file index).
struct UXFileIdentity {
  uint64_t volume = 0;
  uint64_t index = 0;
  bool operator==(const UXFileIdentity&) const = default;
};

// The name of a copy's temporary sibling, the attempt-th try at one: a copy
// onto a file is written whole beside its target and then put in its place,
// so that a copy failing midway leaves the old file as it was. Hidden, and
// unlike any name a user or another copy would choose (a clock reading and
// the attempt).
std::string uxCopySiblingName(uint32_t attempt);

// Slot names, for logs: "windowCreate" ... "orientation"; "slot21" for 21.
const char* uxDriverOpName(UXDriverOp op);

class UXViewDriver : public Object {
 public:
  // Whether the driver provides the operation. By default every slot but
  // 21, 31 (`textViewUndo`), `textViewSetAll` and `menuPopUp`, whose
  // presence a driver states by overriding the matching has... query.
  virtual bool hasOperation(UXDriverOp op) const;
  virtual bool hasMenuPopUp() const { return false; }
  virtual bool hasTextViewSetAll() const { return false; }
  virtual bool hasTextViewUndo() const { return false; }
  // The reason the last fileDelete, fileRename, copy or settings change
  // answered false (not a slot of the contract: a driver that cannot tell answers unknown).
  virtual UXFileFailure fileFailure() const { return UXFileFailure::unknown; }

  // -------------------------------------------------------------------------
  // 2. Windows [0-24].
  // New window of client size w x h, not shown, titled "Wendle".
  virtual uint32_t windowCreate(int32_t x, int32_t y, int32_t w, int32_t h) = 0;
  virtual void windowSetContent(uint32_t window, UXContentDrawFunction draw, void* userData) = 0;
  virtual void windowOpen(uint32_t window) = 0;
  // Frees the handle; when no window is left a quit request (type 8, window
  // 0) is queued for a later nextEvent.
  virtual void windowDestroy(uint32_t window) = 0;
  virtual void windowSetTitle(uint32_t window, const char* title) = 0;
  virtual void windowSetSubtitle(uint32_t window, const char* subtitle) = 0;
  virtual void windowSetInfo(uint32_t window, const char* info) = 0;
  virtual void windowSetIcon(uint32_t window, const char* imagePath) = 0;
  // The icon of every window, from w x h pixels of four bytes: R, G, B, A,
  // or B, G, R, A when byteOrder is 1. Answers whether the icon was made (a
  // failure keeps the previous one).
  virtual bool appSetIcon(const uint8_t* pixels, int32_t w, int32_t h, uint8_t byteOrder) = 0;
  virtual void audioPlay(const int16_t* samples, uint32_t count, uint32_t sampleRate) = 0;
  virtual void windowSetModified(uint32_t window, uint8_t modified) = 0;
  virtual void windowContentSize(uint32_t window, int32_t w, int32_t h) = 0;
  virtual int32_t windowScrollX(uint32_t window) = 0;
  virtual int32_t windowScrollY(uint32_t window) = 0;
  virtual void windowSetScroll(uint32_t window, int32_t x, int32_t y) = 0;
  virtual void windowContentGeometry(uint32_t window, int32_t& w, int32_t& h) = 0;
  // The client rectangle (x, y, w, h) as w x h values 0xFFRRGGBB, rows
  // top-down. False, with out untouched, unless the rectangle lies inside
  // the client area.
  virtual bool windowSnapshot(uint32_t window, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t* out) = 0;
  // Both repaint synchronously: the content draw function has run when they
  // return (always over the whole client area; the rectangle is the damage).
  virtual void windowInvalidate(uint32_t window) = 0;
  virtual void windowInvalidateRect(uint32_t window, int32_t x, int32_t y, int32_t w, int32_t h) = 0;
  virtual void windowOrderFront(uint32_t window) = 0;
  virtual void windowSetMinSize(uint32_t window, int32_t w, int32_t h) = 0;
  // [21] empty.
  // The line overlay over the client area: on = 0 hides it; otherwise a
  // curve from (x1, y1) to (x2, y2) ending in a dot, and the outline of the
  // target rectangle (rx, ry, rw, rh) when rw and rh are above 0. Client
  // coordinates.
  virtual void windowLine(uint32_t window, uint8_t on, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t rx,
                          int32_t ry, int32_t rw, int32_t rh) = 0;
  virtual int32_t outlineItemAt(uint32_t window, int16_t node, int32_t x, int32_t y) = 0;
  // Optional (hasMenuPopUp). Modal; flags: bit 0 separator, bit 1 disabled.
  // The chosen index, or -1 when dismissed.
  virtual int32_t menuPopUp(uint32_t window, const char* const* titles, const uint32_t* flags, int32_t count,
                            int32_t x, int32_t y);

  // -- Before a step that holds the UI thread (not slots of the contract):
  //    reading a file, a network request. No event is handled until the
  //    step ends, so the window shows meanwhile what was painted before it.
  // Paints the window and every native control in it now, what the system
  // had still to paint (where a dialog just closed) included. By default as
  // windowInvalidate, for a driver that draws every view itself.
  virtual void windowPaintAll(uint32_t window) { windowInvalidate(window); }
  // on 1: the cursor shows that the program is busy; on 0: as it was
  // before. Calls nest: the cursor comes back when every 1 had its 0. A
  // driver without a cursor does nothing.
  virtual void setBusy(uint8_t on) { (void)on; }

  // -------------------------------------------------------------------------
  // 3. Text views [25-34], addressed by (window, id). Colours are 0x01RRGGBB
  //    or 0 for the default; runs are five u32 words (start, length, flags,
  //    colour, size). Unknown controls: nothing happens, answers are 0.
  // Optional (hasTextViewSetAll).
  virtual void textViewSetAll(uint32_t window, int32_t id, const char* text, uint32_t length,
                              const uint32_t* runs, uint32_t runCount);
  virtual void textViewReplace(uint32_t window, int32_t id, uint32_t start, uint32_t length, const char* text,
                               uint32_t textLength, const uint32_t* runs, uint32_t runCount) = 0;
  virtual void textViewSize(uint32_t window, int32_t id, uint32_t& length, uint32_t& runCount) = 0;
  // The text NUL-terminated (capacity >= 1) and up to runCapacity runs;
  // answers the number of runs written.
  virtual uint32_t textViewRead(uint32_t window, int32_t id, char* buffer, uint32_t capacity, uint32_t* runs,
                                uint32_t runCapacity) = 0;
  virtual void textViewSelection(uint32_t window, int32_t id, uint32_t& start, uint32_t& length) = 0;
  virtual void textViewSetSelection(uint32_t window, int32_t id, uint32_t start, uint32_t length) = 0;
  // [31] Optional (hasTextViewUndo): native undo (redo 0) or redo (redo 1).
  virtual int32_t textViewUndo(uint32_t window, int32_t id, uint8_t redo);
  virtual void textViewSetTyping(uint32_t window, int32_t id, uint32_t flags, uint32_t colour, int16_t size) = 0;
  virtual void textViewFocus(uint32_t window, int32_t id) = 0;
  virtual void textViewSetLook(uint32_t window, int32_t id, uint32_t background, uint32_t textColour,
                               uint32_t caretColour, uint32_t selectionColour, uint32_t value, uint8_t flag) = 0;

  // -------------------------------------------------------------------------
  // 4. Dialogs [35-46]. Modal; a cancelled dialog answers 0.
  virtual bool hasNativeFileOpen() = 0;
  // 1 with the chosen path NUL-terminated in the buffer; 0 when cancelled.
  virtual int32_t fileOpen(const char* title, const char* folder, char* buffer, uint32_t capacity) = 0;
  virtual bool hasNativeNavigation() = 0;
  virtual int32_t navAttach(uint32_t window) = 0;
  virtual int32_t navPush(uint32_t window, const char* title) = 0;
  virtual int32_t navPop(uint32_t window) = 0;
  virtual bool hasNativeFileSave() = 0;
  virtual int32_t fileSave(const char* title, const char* folder, const char* name, char* buffer,
                           uint32_t capacity) = 0;
  virtual bool hasNativeColorPicker() = 0;
  virtual bool pickColor(uint32_t r, uint32_t g, uint32_t b, uint32_t& outR, uint32_t& outG, uint32_t& outB) = 0;
  virtual bool hasNativeFontPicker() = 0;
  // Proposes face (null = none), size in points, bold and italic; on OK
  // writes the choice (the face cut to capacity - 1 bytes).
  virtual bool pickFont(const char* face, int32_t size, uint8_t bold, uint8_t italic, char* outFace,
                        uint32_t capacity, int32_t& outSize, uint8_t& outBold, uint8_t& outItalic) = 0;

  // -------------------------------------------------------------------------
  // 5. Clocks [47-50], settings [51-53], text metrics [54-60], files [61-64].
  // Milliseconds since the system started; wraps at 32 bits, so callers
  // take differences in u32 arithmetic.
  virtual uint32_t nowMs() = 0;
  virtual uint64_t nowUs() = 0;
  // Calendar time (UTC): year, month 1-12, day, hour, minute, second,
  // microseconds.
  virtual void nowUTC(uint32_t out[7]) = 0;
  virtual int32_t localOffsetMinutes() = 0;
  // 1 with the value NUL-terminated in the buffer (cut at a character to
  // capacity - 1 bytes); 0 with an empty buffer when the key has no value;
  // 0, touching nothing, for a null buffer or capacity 0.
  virtual int32_t settingGet(const char* section, const char* key, char* buffer, uint32_t capacity) = 0;
  virtual bool settingSet(const char* section, const char* key, const char* value) = 0;
  virtual bool settingRemove(const char* section, const char* key) = 0;
  // Several keys of one section changed as one change (not a slot of the
  // contract), so that another instance changing the settings meanwhile
  // sees all of them or none: each key set to its value, or removed where
  // `remove` is set (a key already missing is no failure). Answers whether
  // every change was made. A driver without its own makes them one by one.
  virtual bool settingsChange(const char* section, const std::vector<UXSettingChange>& changes);
  virtual uint32_t textWidth(const char* text, int32_t size) = 0;
  // Width in pixels of the text drawn in that face (""= default), size < 1
  // meaning 12.
  virtual uint32_t textWidthStyled(const char* text, const char* face, uint32_t size, uint8_t bold,
                                   uint8_t italic) = 0;
  virtual uint32_t textWidthWeight(const char* text, const char* face, uint32_t size, uint32_t weight,
                                   uint8_t italic) = 0;
  virtual int32_t textAscent(const char* face, uint32_t size, uint32_t weight, uint8_t italic) = 0;
  // -1: no native pop-up list, the caller draws its own.
  virtual int32_t runPopupMenu(Ptr<UXView> view, int32_t x, int32_t y) = 0;
  virtual int32_t fontFamilyCount() = 0;
  // The family's name cut to capacity - 1 bytes and terminated: the bytes
  // written; -1, touching nothing, for an index that names no family.
  virtual int32_t fontFamilyName(int32_t index, char* buffer, uint32_t capacity) = 0;
  // One line per entry ("d" or "f", TAB, size, TAB, name, LF), then NUL;
  // the number of entries written, or -1 with an empty buffer.
  virtual int32_t listDir(const char* folder, char* buffer, uint32_t capacity) = 0;
  // Deletes files only: a folder (even an empty one) is refused.
  virtual bool fileDelete(const char* path) = 0;
  // Fails when the target exists.
  virtual bool fileRename(const char* from, const char* to) = 0;
  // Copies a regular file onto a regular file (overwritten) or a new name;
  // anything else (pipes, devices, folders, the file itself) is refused.
  virtual bool fileCopy(const char* from, const char* to) = 0;

  // -- Presence and identity (not slots of the contract). What the file panel
  //    asks before it acts, so that it acts only on what it showed.
  // Whether path names an entry now, asked of the file system itself, so
  // that the names it folds (case, trailing dots and spaces on Windows) are
  // taken as it takes them. A link is an entry of its own, wherever it
  // points. A name longer than the system allows is absent; anything the
  // system will not tell (permissions, link loops) is unknown, which never
  // counts as absent. A driver that cannot ask answers unknown.
  virtual UXFilePresence filePresence(const char* path) {
    (void)path;
    return UXFilePresence::unknown;
  }
  // The identity of the folder or file path reaches (links followed): the
  // same identity means the same object on disk, whatever its path. false,
  // with the identity untouched, when it cannot be had.
  virtual bool fileIdentity(const char* path, UXFileIdentity& identity) {
    (void)path;
    (void)identity;
    return false;
  }
  // Whether the last listDir wrote every entry of its folder: false when it
  // left one out (a name its line format cannot carry, a line its buffer had
  // no room for) or stopped early. A driver that cannot tell answers false.
  virtual bool listDirWhole() const { return false; }
  // A copy as the file panel decided it, the decision carried to the disk:
  // onto a file at `to` only when `replace` (the user confirmed Replace);
  // else only while the name stays free, with `exists` and nothing replaced
  // when it was taken at any time before the copy is in place. The source
  // is opened without following a link (a link is refused, saying why) and
  // must be the file `source` identifies, taken before the panel asked;
  // null when the panel could not identify it, and then whatever opens
  // there now is another file. Another file is refused as `swapped`. A new
  // copy takes its source's permission bits less the umask, a replacing one
  // the old file's. A driver that cannot carry the decision copies nothing.
  virtual bool fileCopyDecided(const char* from, const char* to, bool replace, const UXFileIdentity* source) {
    (void)from;
    (void)to;
    (void)replace;
    (void)source;
    return false;
  }

  // -------------------------------------------------------------------------
  // 6. Native node tree [65-100]: the semantics are UXNodeTree's.
  virtual void treeOffset(Ptr<UXNodeTree> tree, int32_t& x, int32_t& y) = 0;
  virtual int16_t treeHitTest(Ptr<UXNodeTree> tree, int16_t root, int32_t x, int32_t y) = 0;
  virtual void structAbsFrame(Ptr<UXNodeTree> tree, int16_t node, int32_t& x, int32_t& y, int32_t& w,
                              int32_t& h) = 0;
  virtual Ref<UXNodeTree> structNew() = 0;
  virtual void structFree(Ptr<UXNodeTree> tree) = 0;
  virtual void structAdopt(Ptr<UXNodeTree> tree, int16_t node) = 0;
  virtual UXNodeTree* structObjects(Ptr<UXNodeTree> tree) = 0;
  virtual uint32_t structLength(Ptr<UXNodeTree> tree) = 0;
  virtual int16_t structAppend(Ptr<UXNodeTree> tree, uint8_t kind, int32_t x, int32_t y, int32_t w,
                               int32_t h) = 0;
  virtual int16_t structAddChild(Ptr<UXNodeTree> tree, int16_t parent, int16_t child) = 0;
  virtual void structRemoveChild(Ptr<UXNodeTree> tree, int16_t parent, int16_t child) = 0;
  virtual void structFinalise(Ptr<UXNodeTree> tree) = 0;
  virtual void structSetFrame(Ptr<UXNodeTree> tree, int16_t node, int32_t x, int32_t y, int32_t w,
                              int32_t h) = 0;
  virtual void structFrame(Ptr<UXNodeTree> tree, int16_t node, int32_t& x, int32_t& y, int32_t& w,
                           int32_t& h) = 0;
  virtual void structSetHidden(Ptr<UXNodeTree> tree, int16_t node, uint16_t hidden) = 0;
  virtual uint16_t structIsHidden(Ptr<UXNodeTree> tree, int16_t node) = 0;
  virtual void structSetEnabled(Ptr<UXNodeTree> tree, int16_t node, uint16_t enabled) = 0;
  virtual uint16_t structIsEnabled(Ptr<UXNodeTree> tree, int16_t node) = 0;
  virtual void structSetSelected(Ptr<UXNodeTree> tree, int16_t node, uint16_t selected) = 0;
  virtual uint16_t structIsSelected(Ptr<UXNodeTree> tree, int16_t node) = 0;
  virtual void structSetClips(Ptr<UXNodeTree> tree, int16_t node, uint16_t clips) = 0;
  virtual void structSetClipShape(Ptr<UXNodeTree> tree, int16_t node, uint16_t shape, uint16_t param) = 0;
  virtual void structSetSpec(Ptr<UXNodeTree> tree, int16_t node, uint64_t spec) = 0;
  virtual void structSetSelectable(Ptr<UXNodeTree> tree, int16_t node, uint16_t selectable) = 0;
  virtual void structSetEditable(Ptr<UXNodeTree> tree, int16_t node, uint16_t editable) = 0;
  // Records the view the node stands for, without keeping it alive.
  virtual void structSetPeer(Ptr<UXNodeTree> tree, int16_t node, Ptr<Object> view) = 0;
  virtual void structSetAutoresize(Ptr<UXNodeTree> tree, int16_t node, uint32_t mask) = 0;
  virtual bool driverAutoresizes() = 0;
  // One registration at a time; each content draw sets it anew.
  virtual void treeSetUserDraw(UXNodeDrawFunction draw, void* userData) = 0;
  virtual void treeDraw(UXNodeTree* tree, int16_t start, int32_t x, int32_t y, int32_t w, int32_t h) = 0;
  // The surface for one view: origin (x - offset x, y - offset y), clip
  // w x h. Valid until endViewDraw; never owned by the caller.
  virtual UXGraphics* beginViewDraw(int32_t x, int32_t y, int32_t w, int32_t h) = 0;
  virtual void endViewDraw() = 0;
  virtual void setDrawOffset(int32_t x, int32_t y) = 0;
  virtual bool scrollsNatively() = 0;
  virtual void nativeScrollTo(Ptr<UXNodeTree> tree, int16_t node, int32_t px) = 0;
  virtual int32_t nativeScrollPx(Ptr<UXNodeTree> tree, int16_t node) = 0;

  // -------------------------------------------------------------------------
  // 7. GL surfaces [101-111]. Only destroyGLContext has a caller.
  virtual int32_t glKind() = 0;
  virtual void* glProc(const char* name) = 0;
  virtual uint64_t makeGLContext(Ptr<UXView> view) = 0;
  virtual void destroyGLContext(Ptr<UXView> view) = 0;
  virtual void resizeGL(Ptr<UXView> view, int32_t w, int32_t h) = 0;
  virtual void presentGL(Ptr<UXView> view) = 0;
  virtual void glSetSwapInterval(int32_t n) = 0;
  virtual void glDrawableSize(Ptr<UXView> view, int32_t& w, int32_t& h) = 0;
  // The last presented frame as w x h values 0xAARRGGBB, rows top-down;
  // false, writing nothing, unless w x h is the frame's size.
  virtual bool glReadFrame(Ptr<UXView> view, uint32_t* out, uint32_t w, uint32_t h) = 0;
  virtual bool compositesWithGL() = 0;
  virtual bool setTurnHook(UXTurnHook hook, void* userData) = 0;

  // -------------------------------------------------------------------------
  // 8. Realisation and field editors [112-118].
  virtual void realizeTree(uint32_t window, UXNodeTree* tree) = 0;
  // A driver-owned record over the caller's buffer (not copied); freed by
  // fieldEditorFree only.
  virtual UXFieldEditor* fieldEditorNew(char* buffer, uint32_t capacity) = 0;
  virtual void fieldEditorSetValid(UXFieldEditor* editor, const char* templ) = 0;
  virtual void fieldEditorSetPlaceholder(UXFieldEditor* editor, const char* placeholder) = 0;
  virtual void fieldEditorSetSecure(UXFieldEditor* editor, uint8_t secure) = 0;
  virtual void fieldEditorFree(UXFieldEditor* editor) = 0;
  // One keystroke on the field editor of the node's spec. mode 0 focus
  // gained, 1 key, 2 focus lost. 1 when handled, 0 when not.
  virtual int32_t editText(UXNodeTree* tree, int16_t node, uint8_t character, int32_t& caret, int32_t mode) = 0;

  // -------------------------------------------------------------------------
  // 9. Menus and alerts [119-124]. Item j of menu i gets command number
  //    i * 256 + j + 1 and comes back as a type-7 event (a = i + 2, b = j).
  virtual uint64_t menuBuild(const UXMenuRecord* menus, int32_t menuCount) = 0;
  virtual void menuShow(uint64_t bar, uint8_t on) = 0;
  virtual int32_t menuItemOrd(uint64_t bar, int32_t menu, int32_t position) = 0;
  virtual void menuCheck(uint64_t bar, int32_t menu, int32_t item, uint8_t on) = 0;
  virtual void menuEnable(uint64_t bar, int32_t menu, int32_t item, uint8_t on) = 0;
  // style < 3 informational, else error; '|' separates message lines and
  // button titles. The 1-based button chosen: three or more titles give
  // three choices, two give two, one gives one. `extra` is passed by the
  // file panel and ignored by the drivers.
  virtual int32_t alertRun(int32_t style, const char* message, const char* buttons, int32_t extra = 0) = 0;

  // -------------------------------------------------------------------------
  // 10. Events and drag tracking [125-129].
  // Sets type and window to 0, waits at most timeoutMs (<= 0: no limit),
  // then fills the event; type 0 when nothing arrived.
  virtual void nextEvent(int32_t timeoutMs, UXEvent& event) = 0;
  virtual void pumpMessages(UXEvent& event) = 0;
  // Newest window first; 0 for none.
  virtual uint32_t windowAtPoint(int32_t x, int32_t y) = 0;
  // True while the left button is down: the pointer plus the drag offset.
  virtual bool trackDragStep(int32_t& x, int32_t& y) = 0;
  virtual bool dragTrackingIsModal() = 0;

  // -------------------------------------------------------------------------
  // 11. Start-up and run loop [130-139].
  // True when ready; w, h = the default window size.
  virtual bool boot(int32_t& w, int32_t& h) = 0;
  virtual int32_t liveNativeCount() = 0;
  virtual bool driverOwnsRunLoop() = 0;
  virtual void appAttached(Ptr<UXApplication> application) = 0;
  virtual void requestStop() = 0;
  virtual void setHeadless(uint8_t on) = 0;
  // False: the toolkit keeps the deadline itself.
  virtual bool stopAfterMs(int32_t ms) = 0;
  virtual void runLoop() = 0;
  virtual int32_t formFactorClass() = 0;
  virtual int32_t orientation() = 0;

  const char* classNameC() const override { return "UXViewDriver"; }
};

// The platform's driver, made by `UXApplication::init` when none is
// installed. One definition per build (ux/headless natively, ux/win32 on
// Windows).
Ref<UXViewDriver> uxMakePlatformDriver();

}  // namespace quorl
