// The rich-text bridge: a "RICHEDIT50W" control standing for a UXTextView.
// Offsets cross the contract in UTF-8 bytes of LF-ended text; the control
// counts UTF-16 units of CR-ended text, one for one at line ends.
//
// Messages sent: WM_SETFONT, WM_SETREDRAW, EM_SETUNDOLIMIT, EM_SETEVENTMASK,
// EM_GET/SETCHARFORMAT, EM_GET/SETPARAFORMAT, EM_GETTEXTLENGTHEX,
// EM_GET/SETTEXTEX, EM_EX(GET|SET)SEL, EM_SCROLLCARET, EM_SETBKGNDCOLOR.
// Notices taken (through the window procedure's hooks): EN_CHANGE,
// EN_SELCHANGE; in the pump, Ctrl+Z / Ctrl+Shift+Z / Ctrl+Y.
//
// Sections:
//   1. Registry and creation
//   2. Text and offsets
//   3. Formats
//   4. Setting, replacing and reading back
//   5. Notices and the hooks
//   6. The driver's text-view operations
#include <richedit.h>
#include <windows.h>

#include <algorithm>
#include <vector>

#include "foundation/String.h"
#include "ux/core/UXApplication.h"
#include "ux/text/UXTextView.h"
#include "ux/win32/UXWin32Driver.h"
#include "ux/win32/W32Globals.h"
#include "ux/win32/W32ServicePure.h"
#include "ux/win32/W32Services.h"
#include "ux/win32/W32Text.h"

namespace quorl {

// ---------------------------------------------------------------------------
// 1. Registry and creation.

namespace {
HMODULE gW32RichLib = nullptr;                  // loaded once, never freed
std::vector<Ref<W32TextView>> gW32TextViews;   // live bridges, in creation order

constexpr DWORD kRichStyle = 0x50211044;  // child, visible, vscroll, tabstop, want-return, auto-vscroll, multiline
constexpr DWORD kFormatMask = CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_FACE | CFM_SIZE | CFM_COLOR;

uint32_t gdiOf(uint32_t colour) { return (colour >> 16 & 255) | (colour & 0xFF00) | (colour & 255) << 16; }
uint32_t colourOf(COLORREF gdi) {
  return 0x01000000u | (gdi & 255) << 16 | (gdi & 0xFF00) | (gdi >> 16 & 255);
}

// Raises the suppress count and turns redraw off for the life of a driver
// edit; the remembered selection comes back when asked.
class DriverEdit {
 public:
  explicit DriverEdit(W32TextView& b, bool keepSelection) : b_(b), keep_(keepSelection) {
    ++b_.suppress;
    SendMessageW(b_.control, WM_SETREDRAW, FALSE, 0);
    if (keep_) SendMessageW(b_.control, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&saved_));
  }
  ~DriverEdit() {
    if (keep_) SendMessageW(b_.control, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&saved_));
    SendMessageW(b_.control, WM_SETREDRAW, TRUE, 0);
    --b_.suppress;
  }
  DriverEdit(const DriverEdit&) = delete;
  DriverEdit& operator=(const DriverEdit&) = delete;

 private:
  W32TextView& b_;
  bool keep_;
  CHARRANGE saved_{0, 0};
};

void select(HWND control, int32_t from, int32_t to) {
  CHARRANGE range{from, to};
  SendMessageW(control, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
}
}  // namespace

Ref<W32TextView> W32TextView::make(uint32_t window, uint32_t id, HWND parent, int32_t x, int32_t y, int32_t width,
                                   int32_t height, const Ref<UXTextView>& view) {
  if (!gW32RichLib) gW32RichLib = LoadLibraryW(L"Msftedit.dll");
  HWND control = CreateWindowExW(WS_EX_CLIENTEDGE, L"RICHEDIT50W", L"", kRichStyle, x, y, width, height, parent,
                                 reinterpret_cast<HMENU>(uintptr_t(id) + 1000), gW32Inst, nullptr);
  if (!control) return nullptr;
  Ref<W32TextView> b = quorl::make<W32TextView>();
  b->control = control;
  b->view = view;
  b->window = window;
  b->id = id;
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(gW32Font), TRUE);
  // Undo belongs to the text view: the control keeps none of its own.
  SendMessageW(control, EM_SETUNDOLIMIT, 0, 0);
  SendMessageW(control, EM_SETEVENTMASK, 0, ENM_CHANGE | ENM_SELCHANGE);
  CHARFORMAT2W cf{};
  cf.cbSize = sizeof cf;
  SendMessageW(control, EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&cf));
  b->defaultHeightTwips = uint32_t(cf.yHeight);
  std::copy(cf.szFaceName, cf.szFaceName + 31, b->defaultFace);
  b->defaultFace[31] = 0;
  // A window handle and node index may come back after a window closed; a
  // bridge still registered under them belonged to a dead control.
  w32TextViewDropWindow(0);
  gW32TextViews.push_back(b);
  return b;
}

Ref<W32TextView> W32TextView::of(HWND control) {
  if (!control) return nullptr;
  for (const Ref<W32TextView>& b : gW32TextViews)
    if (b->control == control) return b;
  return nullptr;
}

Ref<W32TextView> W32TextView::at(uint32_t window, uint32_t id) {
  for (const Ref<W32TextView>& b : gW32TextViews)
    if (b->window == window && b->id == id && IsWindow(b->control)) return b;
  return nullptr;
}

void w32TextViewDropWindow(uint32_t window) {
  // Window 0 drops only the bridges whose control is already gone.
  std::erase_if(gW32TextViews, [&](const Ref<W32TextView>& b) {
    return (window != 0 && b->window == window) || !IsWindow(b->control);
  });
}

HWND w32TextViewRealize(uint32_t window, int16_t node, Ptr<Object> peer, HWND parent, int32_t x, int32_t y,
                        int32_t w, int32_t h) {
  if (node < 0) return nullptr;
  if (Ref<W32TextView> b = W32TextView::at(window, uint32_t(node))) {
    MoveWindow(b->control, x, y, w, h, TRUE);
    return b->control;
  }
  Ref<UXTextView> view = peer ? cast<UXTextView>(peer->self<Object>()) : nullptr;
  if (!view) return nullptr;
  Ref<W32TextView> b = W32TextView::make(window, uint32_t(node), parent, x, y, w, h, view);
  if (!b) return nullptr;
  view->becomeNative(int32_t(window), node);
  return b->control;
}

// ---------------------------------------------------------------------------
// 2. Text and offsets.

std::u16string W32TextView::wide() {
  GETTEXTLENGTHEX ask{GTL_PRECISE | GTL_NUMCHARS, 1200};
  LRESULT n = SendMessageW(control, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&ask), 0);
  if (n < 0) n = 0;
  std::u16string text(size_t(n) + 1, u'\0');
  GETTEXTEX get{};
  get.cb = DWORD((n + 1) * 2);
  get.flags = GT_DEFAULT;
  get.codepage = 1200;
  LRESULT got = SendMessageW(control, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&get),
                             reinterpret_cast<LPARAM>(text.data()));
  if (got < 0 || got > n) return std::u16string();
  text.resize(size_t(got));
  return text;
}

std::string W32TextView::utf8Text() {
  std::u16string w = wide();
  std::replace(w.begin(), w.end(), u'\r', u'\n');
  return w32Utf8(w.data(), w.size());
}

namespace {
std::wstring controlTextOf(const char* utf8, uint32_t length) {
  std::wstring w = w32Wide(utf8, length);
  std::replace(w.begin(), w.end(), L'\n', L'\r');
  return w;
}
uint32_t endOf(uint32_t start, uint32_t length) {
  uint64_t end = uint64_t(start) + length;
  return end > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(end);
}
}  // namespace

// ---------------------------------------------------------------------------
// 3. Formats.

uint32_t W32TextView::defaultHeight() const {
  return defaultSize > 0 ? uint32_t(defaultSize) * 15 : defaultHeightTwips;
}

void W32TextView::setFormat(uint32_t flags, uint32_t colour, int32_t size) {
  CHARFORMAT2W cf{};
  cf.cbSize = sizeof cf;
  cf.dwMask = kFormatMask;
  cf.dwEffects = flags & 7;
  uint32_t chosen = (colour & 0x01000000u) ? colour : textColour;
  if (chosen & 0x01000000u)
    cf.crTextColor = gdiOf(chosen);
  else
    cf.dwEffects |= CFE_AUTOCOLOR;
  cf.yHeight = LONG(size < 1 ? defaultHeight() : uint32_t(size) * 15);
  const wchar_t* face = ((flags & 8) || monospace) ? L"Consolas" : defaultFace;
  wcsncpy(cf.szFaceName, face, 31);
  SendMessageW(control, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
}

void W32TextView::setAlignment(uint32_t code) {
  PARAFORMAT2 pf{};
  pf.cbSize = sizeof pf;
  pf.dwMask = PFM_ALIGNMENT;
  pf.wAlignment = code == 1 ? PFA_RIGHT : code == 2 ? PFA_CENTER : code == 3 ? PFA_JUSTIFY : PFA_LEFT;
  SendMessageW(control, EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&pf));
}

bool W32TextView::formatOf(int32_t from, int32_t to, uint32_t& flags, uint32_t& colour, uint32_t& size) {
  select(control, from, to);
  CHARFORMAT2W cf{};
  cf.cbSize = sizeof cf;
  SendMessageW(control, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
  flags = cf.dwEffects & 7;
  if (wcsncmp(cf.szFaceName, L"Cons", 4) == 0 && !monospace) flags |= 8;
  uint32_t form = colourOf(cf.crTextColor);
  colour = (cf.dwEffects & CFE_AUTOCOLOR) || form == textColour ? 0 : form;
  size = uint32_t(cf.yHeight) == defaultHeight() ? 0 : uint32_t((cf.yHeight + 7) / 15);
  return (cf.dwMask & kFormatMask) == kFormatMask;
}

uint32_t W32TextView::alignmentAt(int32_t position) {
  select(control, position, position);
  PARAFORMAT2 pf{};
  pf.cbSize = sizeof pf;
  SendMessageW(control, EM_GETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&pf));
  return pf.wAlignment == PFA_RIGHT ? 1 : pf.wAlignment == PFA_CENTER ? 2 : pf.wAlignment == PFA_JUSTIFY ? 3 : 0;
}

void W32TextView::setLook(uint32_t background, uint32_t colour, int32_t size, bool mono) {
  textColour = colour;
  defaultSize = size;
  monospace = mono ? 1 : 0;
  if (background & 0x01000000u)
    SendMessageW(control, EM_SETBKGNDCOLOR, 0, LPARAM(gdiOf(background)));
  else
    SendMessageW(control, EM_SETBKGNDCOLOR, 1, 0);
}

void W32TextView::applyRuns(const char* utf8, uint32_t length, int32_t base, const uint32_t* runs,
                            uint32_t runCount) {
  if (!runs) return;
  for (uint32_t i = 0; i < runCount; ++i) {
    const uint32_t* r = runs + size_t(i) * 5;
    int32_t from = base + int32_t(w32U16At(utf8, length, r[0]));
    int32_t to = base + int32_t(w32U16At(utf8, length, endOf(r[0], r[1])));
    select(control, from, to);
    setFormat(r[2], r[3], int32_t(r[4]));
    if ((r[2] >> 4) & 3) setAlignment((r[2] >> 4) & 3);
  }
}

// ---------------------------------------------------------------------------
// 4. Setting, replacing and reading back.

void W32TextView::setAll(const char* utf8, uint32_t length, const uint32_t* runs, uint32_t runCount) {
  {
    DriverEdit edit(*this, false);
    std::wstring w = controlTextOf(utf8, length);
    SETTEXTEX st{ST_DEFAULT, 1200};
    SendMessageW(control, EM_SETTEXTEX, reinterpret_cast<WPARAM>(&st), reinterpret_cast<LPARAM>(w.c_str()));
    select(control, 0, -1);
    setFormat(0, 0, 0);
    setAlignment(0);
    applyRuns(utf8, length, 0, runs, runCount);
    select(control, 0, 0);
  }
  InvalidateRect(control, nullptr, TRUE);
}

void W32TextView::replace(uint32_t start, uint32_t length, const char* utf8, uint32_t byteLength,
                          const uint32_t* runs, uint32_t runCount, bool styleOnly) {
  {
    DriverEdit edit(*this, true);
    std::string current = utf8Text();
    int32_t from = int32_t(w32U16At(current.data(), uint32_t(current.size()), start));
    int32_t to = int32_t(w32U16At(current.data(), uint32_t(current.size()), endOf(start, length)));
    select(control, from, to);
    if (!styleOnly) {
      std::wstring w = controlTextOf(utf8, byteLength);
      SETTEXTEX st{ST_SELECTION, 1200};
      SendMessageW(control, EM_SETTEXTEX, reinterpret_cast<WPARAM>(&st), reinterpret_cast<LPARAM>(w.c_str()));
    }
    applyRuns(utf8, byteLength, from, runs, runCount);
  }
  InvalidateRect(control, nullptr, TRUE);
}

uint32_t W32TextView::walk(char* buffer, uint32_t capacity, uint32_t* runs, uint32_t runCapacity,
                           uint32_t* byteLength) {
  DriverEdit edit(*this, true);
  std::u16string w = wide();
  int32_t n = int32_t(w.size());
  std::u16string lf = w;
  std::replace(lf.begin(), lf.end(), u'\r', u'\n');
  std::string bytes = w32Utf8(lf.data(), lf.size());
  if (buffer && capacity >= 1) {
    size_t k = std::min<size_t>(bytes.size(), capacity - 1);
    std::memcpy(buffer, bytes.data(), k);
    buffer[k] = 0;
  }
  uint32_t found = 0;
  uint32_t lastFlags = 0xFFFFFFFFu, lastColour = 0, lastSize = 0;
  uint32_t* last = nullptr;
  for (int32_t p = 0; p < n;) {
    int32_t q = p;
    while (q < n && w[size_t(q)] != u'\r') ++q;
    if (q < n) ++q;  // the CR belongs to its paragraph
    uint32_t align = alignmentAt(p);
    for (int32_t pos = p; pos < q;) {
      // The longest stretch of one format from pos: gallop, then halve.
      uint32_t f, c, s;
      int32_t good = pos + 1, bad = -1;
      for (int32_t step = 2; good < q && bad < 0; step *= 2) {
        int32_t end = std::min(pos + step, q);
        if (formatOf(pos, end, f, c, s))
          good = end;
        else
          bad = end;
        if (step > (1 << 29)) break;
      }
      while (bad >= 0 && bad - good > 1) {
        int32_t mid = good + (bad - good) / 2;
        if (formatOf(pos, mid, f, c, s))
          good = mid;
        else
          bad = mid;
      }
      formatOf(pos, pos + 1, f, c, s);
      f |= align << 4;
      uint32_t b0 = w32U8At(w.data(), uint32_t(n), uint32_t(pos));
      uint32_t b1 = w32U8At(w.data(), uint32_t(n), uint32_t(good));
      if (found == 0 || f != lastFlags || c != lastColour || s != lastSize) {
        last = nullptr;
        if (runs && found < runCapacity) {
          last = runs + size_t(found) * 5;
          last[0] = b0;
          last[1] = b1 - b0;
          last[2] = f;
          last[3] = c;
          last[4] = s;
        }
        ++found;
        lastFlags = f;
        lastColour = c;
        lastSize = s;
      } else if (last) {
        last[1] = b1 - last[0];
      }
      pos = good;
    }
    p = q;
  }
  if (byteLength) *byteLength = uint32_t(bytes.size());
  return found;
}

void W32TextView::selectionBytes(uint32_t& start, uint32_t& length) {
  CHARRANGE range{0, 0};
  SendMessageW(control, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
  std::u16string w = wide();
  uint32_t a = w32U8At(w.data(), uint32_t(w.size()), uint32_t(std::max<LONG>(range.cpMin, 0)));
  uint32_t b = w32U8At(w.data(), uint32_t(w.size()), uint32_t(std::max<LONG>(range.cpMax, 0)));
  start = std::min(a, b);
  length = std::max(a, b) - start;
}

void W32TextView::setSelectionBytes(uint32_t start, uint32_t length) {
  std::string text = utf8Text();
  int32_t from = int32_t(w32U16At(text.data(), uint32_t(text.size()), start));
  int32_t to = int32_t(w32U16At(text.data(), uint32_t(text.size()), endOf(start, length)));
  ++suppress;
  select(control, from, to);
  SendMessageW(control, EM_SCROLLCARET, 0, 0);
  --suppress;
}

Ref<String> W32TextView::description() const {
  std::string s = "<W32TextView>(";
  const uint32_t values[8] = {window, id, suppress, selectionDirty, defaultHeightTwips, textColour,
                              uint32_t(defaultSize), monospace};
  for (int i = 0; i < 8; ++i) s += (i ? ", " : "") + std::to_string(values[i]);
  s += ")";
  return String::withCString(s.c_str());
}

// ---------------------------------------------------------------------------
// 5. Notices and the hooks of the window procedure and the pump.

void W32TextView::changed() {
  if (suppress != 0 || !view) return;
  view->nativeDidChange();
  if (gApp) gApp->displayIfNeeded();
}

void W32TextView::selected() {
  if (suppress != 0 || !view || !selectionDirty) return;
  selectionDirty = 0;
  // Reads the selection back, resets the typing style to the text before
  // the caret and closes the typing run, so the next edit is a new undo step.
  view->nativeSelectionDidChange();
  if (gApp) gApp->displayIfNeeded();
}

void W32TextView::undoKey(bool redo) {
  if (!view) return;
  if (redo)
    view->redo();
  else
    view->undo();
  if (gApp) gApp->displayIfNeeded();
}

bool w32TextViewKey(HWND control, const MSG& msg) {
  Ref<W32TextView> b = W32TextView::of(control);
  if (!b) return false;
  switch (msg.message) {
    case WM_KEYDOWN:
      if (GetKeyState(VK_CONTROL) < 0 && (msg.wParam == 'Z' || msg.wParam == 'Y')) {
        b->undoKey(msg.wParam == 'Y' || GetKeyState(VK_SHIFT) < 0);
        return true;  // the control never sees it
      }
      b->selectionDirty = 1;
      return false;
    case WM_CHAR:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
      b->selectionDirty = 1;
      return false;
    case WM_MOUSEMOVE:
      if (msg.wParam & MK_LBUTTON) b->selectionDirty = 1;
      return false;
    default:
      return false;
  }
}

bool w32TextViewCommand(HWND control, UINT code) {
  Ref<W32TextView> b = W32TextView::of(control);
  if (!b) return false;
  if (code == EN_CHANGE) b->changed();
  return true;
}

bool w32TextViewNotify(HWND control, NMHDR* header) {
  Ref<W32TextView> b = W32TextView::of(control);
  if (!b || !header) return false;
  if (header->code == EN_SELCHANGE) b->selected();
  return true;
}

// ---------------------------------------------------------------------------
// 6. The driver's text-view operations: a (window, id) without a bridge
//    does nothing and answers zeros.

void UXWin32Driver::textViewSetAll(uint32_t window, int32_t id, const char* text, uint32_t length,
                                   const uint32_t* runs, uint32_t runCount) {
  if (Ref<W32TextView> b = W32TextView::at(window, uint32_t(id))) b->setAll(text, length, runs, runCount);
}

void UXWin32Driver::textViewReplace(uint32_t window, int32_t id, uint32_t start, uint32_t length, const char* text,
                                    uint32_t textLength, const uint32_t* runs, uint32_t runCount) {
  if (Ref<W32TextView> b = W32TextView::at(window, uint32_t(id)))
    b->replace(start, length, text, textLength, runs, runCount, false);
}

void UXWin32Driver::textViewSize(uint32_t window, int32_t id, uint32_t& length, uint32_t& runCount) {
  length = runCount = 0;
  if (Ref<W32TextView> b = W32TextView::at(window, uint32_t(id)))
    runCount = b->walk(nullptr, 0, nullptr, 0, &length);
}

uint32_t UXWin32Driver::textViewRead(uint32_t window, int32_t id, char* buffer, uint32_t capacity, uint32_t* runs,
                                     uint32_t runCapacity) {
  Ref<W32TextView> b = W32TextView::at(window, uint32_t(id));
  if (capacity < 1 || !b) return 0;
  return std::min(b->walk(buffer, capacity, runs, runCapacity, nullptr), runCapacity);
}

void UXWin32Driver::textViewSelection(uint32_t window, int32_t id, uint32_t& start, uint32_t& length) {
  start = length = 0;
  if (Ref<W32TextView> b = W32TextView::at(window, uint32_t(id))) b->selectionBytes(start, length);
}

void UXWin32Driver::textViewSetSelection(uint32_t window, int32_t id, uint32_t start, uint32_t length) {
  if (Ref<W32TextView> b = W32TextView::at(window, uint32_t(id))) b->setSelectionBytes(start, length);
}

// No native undo: the text view keeps its own.
int32_t UXWin32Driver::textViewUndo(uint32_t, int32_t, uint8_t) { return 0; }

void UXWin32Driver::textViewSetTyping(uint32_t window, int32_t id, uint32_t flags, uint32_t colour, int16_t size) {
  Ref<W32TextView> b = W32TextView::at(window, uint32_t(id));
  if (!b) return;
  ++b->suppress;
  b->setFormat(flags, colour, size);
  --b->suppress;
}

void UXWin32Driver::textViewFocus(uint32_t window, int32_t id) {
  if (Ref<W32TextView> b = W32TextView::at(window, uint32_t(id))) SetFocus(b->control);
}

void UXWin32Driver::textViewSetLook(uint32_t window, int32_t id, uint32_t background, uint32_t textColour,
                                    uint32_t, uint32_t, uint32_t value, uint8_t flag) {
  if (Ref<W32TextView> b = W32TextView::at(window, uint32_t(id)))
    b->setLook(background, textColour, int32_t(value), flag != 0);
}

}  // namespace quorl
