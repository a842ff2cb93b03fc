// The Win32 driver's services beyond windows and drawing, one file each:
//   W32RichText.cpp     the rich-text bridge (W32TextView) and the driver's
//                       text-view operations
//   W32TextMeasure.cpp  text widths and ascents, the font families
//   W32Dialogs.cpp      open, save, colour and font dialogs
//   W32Clock.cpp        clocks
//   W32Settings.cpp     the settings file
//   W32Files.cpp        listings, delete, rename, copy
//   W32OpenGL.cpp       GL surfaces, on and off screen
//   W32Sound.cpp        16-bit sound through waveOut
//   W32Icons.cpp        application and window icons
//   W32Snapshot.cpp     window snapshots
// Every text crosses into the system through a W entry point (W32Text.h);
// optional libraries are loaded by name once, on first need.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "foundation/Object.h"
#include "ux/core/UXViewDriver.h"
#include "ux/win32/W32Handles.h"

namespace quorl {

class UXTextView;
class UXView;

// ---------------------------------------------------------------------------
// The rich-text bridge: one per "RICHEDIT50W" control standing for a
// UXTextView. The registry keeps every bridge until its window is destroyed
// (w32TextViewDropWindow), when handles and node indices become free for
// reuse.
class W32TextView : public Object {
 public:
  HWND control = nullptr;      // borrowed: a child of its window, destroyed with it
  Ref<UXTextView> view;        // the view the control shows
  uint32_t window = 0;         // the driver's window handle (1..63)
  uint32_t id = 0;             // the view's node index; the control id is id + 1000
  uint32_t suppress = 0;       // driver edits in progress: notices are not passed on
  uint8_t selectionDirty = 0;  // user input may have moved the selection
  uint32_t defaultHeightTwips = 0;
  wchar_t defaultFace[32] = {};
  uint32_t textColour = 0;     // 0x01RRGGBB, 0 none
  int32_t defaultSize = 0;     // pixels, 0 or less none
  uint8_t monospace = 0;

  // The new bridge over a new control, or null when none can be made.
  static Ref<W32TextView> make(uint32_t window, uint32_t id, HWND parent, int32_t x, int32_t y, int32_t width,
                               int32_t height, const Ref<UXTextView>& view);
  static Ref<W32TextView> of(HWND control);
  static Ref<W32TextView> at(uint32_t window, uint32_t id);

  void setAll(const char* utf8, uint32_t length, const uint32_t* runs, uint32_t runCount);
  void replace(uint32_t start, uint32_t length, const char* utf8, uint32_t byteLength, const uint32_t* runs,
               uint32_t runCount, bool styleOnly);
  // The text and up to runCapacity runs; answers the runs found (which may
  // exceed runCapacity).
  uint32_t walk(char* buffer, uint32_t capacity, uint32_t* runs, uint32_t runCapacity, uint32_t* byteLength);
  void selectionBytes(uint32_t& start, uint32_t& length);
  void setSelectionBytes(uint32_t start, uint32_t length);
  void setFormat(uint32_t flags, uint32_t colour, int32_t size);
  void setAlignment(uint32_t code);
  bool formatOf(int32_t from, int32_t to, uint32_t& flags, uint32_t& colour, uint32_t& size);
  uint32_t alignmentAt(int32_t position);
  uint32_t defaultHeight() const;
  void setLook(uint32_t background, uint32_t textColour, int32_t defaultSize, bool monospace);
  void applyRuns(const char* utf8, uint32_t length, int32_t base, const uint32_t* runs, uint32_t runCount);
  // The control's whole text (CR line ends), and as UTF-8 with LF ends.
  std::u16string wide();
  std::string utf8Text();

  void changed();
  void selected();
  void undoKey(bool redo);

  Ref<String> description() const override;
  const char* classNameC() const override { return "W32TextView"; }
};

// Forgets every bridge of a window that is being destroyed.
void w32TextViewDropWindow(uint32_t window);
// For the tree's realisation, a node of kind 18: the first time, makes the
// control with its bridge and lets the view push its text, runs, selection
// and looks (becomeNative); later, moves the control to the node's frame.
// Null when the peer is not a text view or no control can be made.
HWND w32TextViewRealize(uint32_t window, int16_t node, Ptr<Object> peer, HWND parent, int32_t x, int32_t y,
                        int32_t w, int32_t h);

// ---------------------------------------------------------------------------
// Settings: the file, made on first use ("APPDATA"\Wendle\Wendle.ini, or
// .\Wendle\Wendle.ini without it), kept UTF-16 so any text survives; empty
// when its folder cannot be named, and every change then fails.
const std::wstring& w32SettingsFile();
// Keeps why a file operation or a settings change failed, for fileFailure
// (W32Files.cpp).
void w32SetFileFailure(UXFileFailure why);

// ---------------------------------------------------------------------------
// GL surfaces, keyed by their realised "UXGl32" window, whose peer is the
// view.
void w32GlAttach(HWND window);     // on realisation, once the window has its peer
void w32GlViewport(HWND window);   // after a move or resize
bool w32GlBlit(HWND window, int32_t x, int32_t y, int32_t w, int32_t h);  // during a paint
int32_t w32GlFind(Ptr<Object> view);  // the view's slot, or -1
// Whether the surface renders off screen: its window then stays hidden,
// whatever the node's visibility.
bool w32GlIsOffscreen(HWND window);

// ---------------------------------------------------------------------------
// Sound, icons, snapshots.
// 1 when the sound plays, 0 when it cannot (no device, 32 playing...).
int32_t w32SoundPlay(const int16_t* samples, uint32_t count, uint32_t rate);
// The icon made from 4-byte pixels (swap != 1: R, G, B, A input) or null.
HICON w32AppIconMake(const uint8_t* pixels, int32_t width, int32_t height, int32_t swap);
bool w32AppSetIcon(const uint8_t* pixels, int32_t width, int32_t height, int32_t swap);
void w32AppIconApply(HWND window);
extern W32Icon gW32AppIcon;  // owned: freed when replaced
// The rectangle of the window's client area as 0xFFRRGGBB values, rows
// top-down; false (out untouched) unless the rectangle lies inside.
bool w32Snapshot(uint32_t window, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t* out);

}  // namespace quorl
