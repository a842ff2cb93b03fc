// What every native control family shares: the arguments of one creation
// call, the node being realised, per-control state that goes with its
// window, titles kept in step, and the small decisions of realising
// (check state, alignment, text comparison).
//
// Each family (W32Button, W32Edit, W32Combo, W32ListView, W32TreeView,
// W32Trackbar, W32UpDown, W32Progress, W32Toolbar, W32ScrollView) has the
// same shape: `create` makes the control for a node the first time a pass
// meets it, `sync` brings it up to date on every later pass (view to
// control), and `notify`, where the family has one, turns what the user did
// in the control back into the view's state (control to view).
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>

#include "foundation/Object.h"

namespace quorl {

class UXNodeTree;
struct UXNode;
class UXView;

// One CreateWindowExW call: the text crosses as UTF-16 so any script
// survives. The style bits are those the realisation rules give each kind; tests compare
// them with what the window reports.
struct W32CreateArgs {
  HWND parent = nullptr;              // borrowed: the top-level window
  const wchar_t* className = L"";
  DWORD style = WS_CHILD | WS_VISIBLE;
  DWORD exStyle = 0;
  int32_t x = 0, y = 0, w = 0, h = 0;  // client position in the top-level window
  int32_t id = 0;                      // node index + 1000
  const char* text = "";               // UTF-8; null counts as ""
  bool font = true;                    // WM_SETFONT with the shared font
};

// Makes the control; null on failure (the next pass tries again). The
// control is owned by its parent window and destroyed with it.
HWND w32CreateControl(const W32CreateArgs& args);

// The node a pass is realising: its index, absolute frame, and the view it
// stands for (held for the pass, so a notification sent while the control
// is made cannot free it).
struct W32Realize {
  UXNodeTree* tree = nullptr;  // borrowed: the window's native tree
  int16_t node = -1;
  uint32_t kind = 0;
  uint32_t window = 0;         // the table handle of the top-level window
  HWND parent = nullptr;       // borrowed: gW32Hwnds[window]
  int32_t x = 0, y = 0, w = 0, h = 0;
  Ref<Object> peer;
  const char* title() const;   // the node's spec as a title, or null

  W32CreateArgs args(const wchar_t* className, DWORD style) const;
};

// Links the control to the view its notifications go to (GWLP_USERDATA
// holds the driver's peer record, freed with the control).
void w32Route(HWND control, const W32Realize& r);
HWND w32ControlOf(const UXNode* node);

// Moves the control to (x, y, w, h) of its parent's client area, only
// when it is not there already (no flicker on every pass).
void w32Move(HWND control, int32_t x, int32_t y, int32_t w, int32_t h);

// --- Titles ------------------------------------------------------------------------
// 1 when the two NUL-terminated byte strings are equal, else 0 (null
// equals only null).
int32_t w32Same(const char* a, const char* b);
// The control's text as UTF-8.
std::string w32GetText(HWND control);
// Sets the control's text only when it differs, so an unchanged title never
// flickers. Nothing when either is null.
void w32SyncText(HWND control, const char* text);

// --- Realising decisions ---------------------------------------------------------
// For kind 6 the on-state of a UXCheckbox, for any other kind that of a
// UXRadioButton; 0 for a view of neither class.
int32_t w32ToggleState(Ptr<Object> view, uint32_t kind);
// The view's alignment when it is a UXControl, else 0.
uint32_t w32AlignOf(Ptr<Object> view);
// Replaces the two low style bits by ES_RIGHT, ES_CENTER or ES_LEFT; only
// when they change, then the control is redrawn.
void w32PushAlign(HWND control, uint32_t alignment);

// --- Per-control state --------------------------------------------------------------
// State a family keeps beside a control, dropped when the control is
// destroyed (a subclass sees its WM_NCDESTROY).
class W32StateBase {
 public:
  virtual ~W32StateBase() = default;
  virtual void drop(HWND control) = 0;
};
void w32WatchDestroy(HWND control, W32StateBase* owner);

template <class T> class W32StateMap : public W32StateBase {
 public:
  T& of(HWND control) {
    auto it = states_.find(control);
    if (it != states_.end()) return it->second;
    w32WatchDestroy(control, this);
    return states_[control];
  }
  T* find(HWND control) {
    auto it = states_.find(control);
    return it == states_.end() ? nullptr : &it->second;
  }
  void drop(HWND control) override { states_.erase(control); }

 private:
  std::map<HWND, T> states_;
};

}  // namespace quorl
