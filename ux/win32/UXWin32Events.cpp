// The input side. Sections:
//   1. Control peers
//   2. nextEvent and pumpMessages: queue messages to toolkit events
//   3. UXWin32Proc: painting, sizing, drops, scrolling
//   4. UXWin32Proc: notifications of native controls
//   5. UXShield32Proc
//   6. Alerts, window lookup, drag polling
//
// Two rules keep the loop sound: a quit message taken anywhere but the
// blocking wait is answered as the quit event (type 8, window 0) or posted
// again, never dropped; and the paint's DC is the current one only while
// the paint runs.
#include <windows.h>
#include <commctrl.h>
#include <richedit.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>

#include <map>
#include <memory>

#include "foundation/String.h"
#include "ux/controls/UXControl.h"
#include "ux/controls/UXSegmentedControl.h"
#include "ux/controls/UXTableView.h"
#include "ux/controls/UXTextField.h"
#include "ux/controls/UXToolbar.h"
#include "ux/core/UXApplication.h"
#include "ux/core/UXDispatch.h"
#include "ux/core/UXEvent.h"
#include "ux/core/UXWindow.h"
#include "ux/win32/UXWin32Driver.h"
#include "ux/win32/W32Control.h"
#include "ux/win32/W32Globals.h"
#include "ux/win32/W32Handles.h"
#include "ux/win32/W32Text.h"

namespace quorl {

uint32_t gW32SelPush = 0;

// ---------------------------------------------------------------------------
// 1. Control peers.

namespace {
std::map<HWND, std::unique_ptr<W32Peer>>& peers() {
  static std::map<HWND, std::unique_ptr<W32Peer>> registry;
  return registry;
}

LRESULT CALLBACK peerSubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR) {
  if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(window, peerSubclass, id);
    LRESULT result = DefSubclassProc(window, message, wParam, lParam);
    w32DropPeer(window);
    return result;
  }
  return DefSubclassProc(window, message, wParam, lParam);
}
}  // namespace

W32Peer* w32PeerOf(HWND control) {
  auto it = peers().find(control);
  return it == peers().end() ? nullptr : it->second.get();
}

W32Peer& w32NewPeer(HWND control) {
  auto& slot = peers()[control];
  slot = std::make_unique<W32Peer>();
  if (control) {
    SetWindowLongPtrW(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(slot.get()));
    SetWindowSubclass(control, peerSubclass, 1, 0);
  }
  return *slot;
}

void w32DropPeer(HWND control) {
  auto it = peers().find(control);
  if (it == peers().end()) return;
  SetWindowLongPtrW(control, GWLP_USERDATA, 0);
  peers().erase(it);
}

// ---------------------------------------------------------------------------
// 2. nextEvent and pumpMessages.

void w32RepostQuit(const MSG& msg) { PostQuitMessage(int(msg.wParam)); }

namespace {

// A typed character beyond ASCII becomes several UTF-8 bytes; the bytes
// after the first wait here and are answered one per call.
struct PendingKeys {
  char bytes[4] = {};
  int count = 0, next = 0;
  uint16_t mods = 0;
};
PendingKeys gW32Keys;
W32CharDecoder gW32CharDecoder;

uint16_t keyModifiers() {
  uint16_t mods = 0;
  if (GetKeyState(VK_CONTROL) < 0) mods |= kUXModCtrl;
  if (GetKeyState(VK_SHIFT) < 0) mods |= kUXModShift;
  return mods;
}

bool takePendingKey(UXEvent& event) {
  if (gW32Keys.next >= gW32Keys.count) return false;
  event.type = kUXEventKey;
  event.key = uint8_t(gW32Keys.bytes[gW32Keys.next++]);
  event.mods = gW32Keys.mods;
  return true;
}

void setPoint(UXEvent& event, LPARAM lParam) {
  event.x = int16_t(LOWORD(lParam));
  event.y = int16_t(HIWORD(lParam));
}

// Maps one message taken from the queue; false when it is to be dispatched.
bool mapMessage(MSG& msg, UXEvent& event) {
  if (msg.message == WM_QUIT) {
    event.type = kUXEventClose;
    event.window = 0;
    return true;
  }
  uint32_t handle = w32HandleOf(msg.hwnd);
  if (handle) {
    switch (msg.message) {
      case WM_LBUTTONDOWN:
      case WM_MOUSEMOVE:
      case WM_RBUTTONDOWN:
        event.window = handle;
        event.type = msg.message == WM_LBUTTONDOWN ? kUXEventMouseDown
                     : msg.message == WM_MOUSEMOVE ? kUXEventMouseMoved
                                                   : kUXEventRightMouseDown;
        setPoint(event, msg.lParam);
        return true;
      case WM_MOUSEWHEEL:
      case WM_MOUSEHWHEEL: {
        event.window = handle;
        POINT p{int16_t(LOWORD(msg.lParam)), int16_t(HIWORD(msg.lParam))};
        ScreenToClient(msg.hwnd, &p);
        event.x = int16_t(p.x);
        event.y = int16_t(p.y);
        event.type = kUXEventWheel;
        // The horizontal wheel is the wheel with Shift; tilting right
        // scrolls right, as Shift with the wheel turned down does.
        const bool sideways = msg.message == WM_MOUSEHWHEEL;
        const int16_t delta = int16_t(HIWORD(msg.wParam));
        w32WheelArgs(sideways ? int16_t(-int32_t(delta)) : delta, event.a, event.b);
        event.mods = (sideways || (GET_KEYSTATE_WPARAM(msg.wParam) & MK_SHIFT)) ? kUXModShift : 0;
        return true;
      }
      case WM_CHAR: {
        // The window is Unicode: wParam is one UTF-16 unit, handed on as
        // UTF-8 bytes. The window field stays 0: keys go to the key window.
        gW32Keys = PendingKeys{};
        gW32Keys.count = gW32CharDecoder.feed(char16_t(msg.wParam), gW32Keys.bytes);
        gW32Keys.mods = keyModifiers();
        takePendingKey(event);
        return true;
      }
      case WM_CLOSE:
        event.window = handle;
        event.type = kUXEventClose;
        return true;
      case WM_SIZE:
        gW32WinW[handle] = LOWORD(msg.lParam);
        gW32WinH[handle] = HIWORD(msg.lParam);
        event.window = handle;
        event.type = kUXEventResize;
        return true;
      case kW32MsgResized:
        event.window = handle;
        event.type = kUXEventResize;
        return true;
      default:
        break;
    }
  } else if (msg.hwnd) {
    if (w32TextViewKey(msg.hwnd, msg)) return true;
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN) {
      if (UXWin32Driver::isEditClass(msg.hwnd)) {
        W32Peer* peer = w32PeerOf(msg.hwnd);
        Ref<UXTextField> field = peer ? cast<UXTextField>(peer->view.lock()) : nullptr;
        if (field) {
          // The edit control never sees the Return key.
          field->sendEnter();
          if (gApp) gApp->displayIfNeeded();
          return true;
        }
      }
    }
  }
  if (msg.message == WM_COMMAND && msg.lParam == 0 && LOWORD(msg.wParam) != 0) {
    event.type = kUXEventMenuCommand;
    w32CommandArgs(LOWORD(msg.wParam), event.a, event.b);
    return true;
  }
  return false;
}

void dispatch(MSG& msg) {
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

}  // namespace

void UXWin32Driver::nextEvent(int32_t timeoutMs, UXEvent& event) {
  event.type = kUXEventNone;
  event.window = 0;
  if (takePendingKey(event)) return;
  MSG msg{};
  if (timeoutMs > 0) {
    // The deadline is on the 64-bit tick count, which does not wrap. A wake
    // that leaves nothing to take (a sent message handled inside Peek)
    // waits again for the rest of the time.
    const ULONGLONG deadline = GetTickCount64() + ULONGLONG(timeoutMs);
    for (;;) {
      if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) break;
      ULONGLONG now = GetTickCount64();
      if (now >= deadline) return;
      DWORD rest = DWORD(deadline - now);
      if (MsgWaitForMultipleObjectsEx(0, nullptr, rest, QS_ALLINPUT, MWMO_INPUTAVAILABLE) == WAIT_TIMEOUT) return;
    }
  } else {
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got < 1) {
      event.type = kUXEventClose;
      event.window = 0;
      return;
    }
  }
  if (!mapMessage(msg, event)) dispatch(msg);
}

void UXWin32Driver::pumpMessages(UXEvent& event) {
  event.type = kUXEventNone;
  MSG msg{};
  if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return;
  if (msg.message == WM_QUIT) {
    w32RepostQuit(msg);
    return;
  }
  dispatch(msg);
}

// ---------------------------------------------------------------------------
// 3. UXWin32Proc: painting, sizing, drops, scrolling.

namespace {

// Runs the content function into dc; the previous current DC comes back
// afterwards, so drawing after the paint never reaches a released DC.
void paintInto(HWND window, HDC dc) {
  void* userData = reinterpret_cast<void*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  HDC previous = gW32CurHdc;
  gW32CurHdc = dc;
  {
    W32Select font(dc, gW32Font);
    if (userData && gW32ContentFn) {
      RECT r{};
      GetClientRect(window, &r);
      gW32ContentFn(0, 0, 0, r.right - r.left, r.bottom - r.top, userData);
    }
  }
  gW32CurHdc = previous;
}

void scrollWindowTo(uint32_t handle, int bar, int32_t value) {
  HWND hwnd = gW32Hwnds[handle];
  if (bar == SB_VERT) gW32ScrollY[handle] = value;
  else gW32ScrollX[handle] = value;
  SetScrollPos(hwnd, bar, value, TRUE);
  InvalidateRect(hwnd, nullptr, TRUE);
  UpdateWindow(hwnd);
}

LRESULT onControlCommand(HWND control, UINT code, UINT id);
LRESULT onNotify(NMHDR* header);

// With QUORL_FIRST_PAINT set (to anything but ""), the first paint of a
// window prints "first paint after N ms": the time since the process was
// created, as the system counts it, so that the start of the program is
// measured by the program itself.
void reportFirstPaint() {
  static bool done = false;
  if (done) return;
  done = true;
  wchar_t flag[8];
  if (GetEnvironmentVariableW(L"QUORL_FIRST_PAINT", flag, 8) == 0) return;
  FILETIME created, exited, kernel, user, now;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return;
  GetSystemTimeAsFileTime(&now);
  auto ticks = [](const FILETIME& t) { return (uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  const uint64_t elapsed = ticks(now) > ticks(created) ? ticks(now) - ticks(created) : 0;  // 100 ns units
  char line[64];
  std::snprintf(line, sizeof line, "first paint after %llu ms\n", static_cast<unsigned long long>(elapsed / 10000));
  Stdio::_emitStr(line);
}

}  // namespace

LRESULT CALLBACK UXWin32Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      {
        W32Paint paint(window);
        paintInto(window, paint.dc());
      }
      reportFirstPaint();
      return 0;
    }
    case WM_PRINTCLIENT:
      paintInto(window, reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_SIZE: {
      // Sent, never queued: the table is kept current here and the resize
      // reaches the toolkit through the queue.
      uint32_t handle = w32HandleOf(window);
      if (handle && wParam != SIZE_MINIMIZED) {
        uint32_t w = LOWORD(lParam), h = HIWORD(lParam);
        if (w != gW32WinW[handle] || h != gW32WinH[handle]) {
          gW32WinW[handle] = w;
          gW32WinH[handle] = h;
          PostMessageW(window, kW32MsgResized, 0, 0);
        }
      }
      return DefWindowProcW(window, message, wParam, lParam);
    }
    case WM_DROPFILES: {
      auto drop = reinterpret_cast<HDROP>(wParam);
      uint32_t handle = w32HandleOf(window);
      POINT p{};
      DragQueryPoint(drop, &p);
      UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
      for (UINT i = 0; i < count; ++i) {
        UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring path(size_t(length) + 1, L'\0');
        DragQueryFileW(drop, i, path.data(), length + 1);
        path.resize(length);
        if (gApp) gApp->deliverFileDrop(w32Utf8(path.data(), path.size()).c_str(), handle, p.x, p.y);
      }
      DragFinish(drop);
      return 0;
    }
    case WM_GETMINMAXINFO: {
      uint32_t handle = w32HandleOf(window);
      if (handle && gW32MinW[handle] > 0) {
        RECT r{0, 0, gW32MinW[handle], gW32MinH[handle]};
        AdjustWindowRect(&r, kW32WindowStyle, gW32Menu != nullptr);
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMinTrackSize.x = r.right - r.left;
        info->ptMinTrackSize.y = r.bottom - r.top;
        return 0;
      }
      return DefWindowProcW(window, message, wParam, lParam);
    }
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) {
        PostMessageW(window, WM_CLOSE, 0, 0);
        return 0;
      }
      return DefWindowProcW(window, message, wParam, lParam);
    case WM_CLOSE:
      // The toolkit decides about closing (a queued close is its event); a
      // close sent straight here must not destroy a window it still lists.
      if (w32HandleOf(window)) {
        if (InSendMessage()) PostMessageW(window, WM_CLOSE, 0, 0);
        return 0;
      }
      return DefWindowProcW(window, message, wParam, lParam);
    case WM_DESTROY:
      // The menu bar is shared by every window and owned by the driver:
      // the system would destroy it with the window that holds it.
      if (GetMenu(window)) SetMenu(window, nullptr);
      return 0;
    case WM_NCDESTROY: {
      // A table window destroyed behind the toolkit's back (windowDestroy
      // clears its entry first) frees its entry as windowDestroy would, so
      // the table never holds a dead window.
      if (uint32_t handle = w32HandleOf(window)) UXWin32Driver::forgetWindow(handle);
      return DefWindowProcW(window, message, wParam, lParam);
    }
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
      SetBkColor(reinterpret_cast<HDC>(wParam), 0xC0C0C0);
      return reinterpret_cast<LRESULT>(gW32FaceBrush);
    case WM_COMMAND:
      if (lParam) return onControlCommand(reinterpret_cast<HWND>(lParam), HIWORD(wParam), LOWORD(wParam));
      return DefWindowProcW(window, message, wParam, lParam);
    case WM_NOTIFY:
      return onNotify(reinterpret_cast<NMHDR*>(lParam));
    case WM_VSCROLL:
    case WM_HSCROLL: {
      if (lParam) {
        auto control = reinterpret_cast<HWND>(lParam);
        if (message == WM_VSCROLL && LOWORD(wParam) == SB_ENDSCROLL) return 0;
        int32_t position = message == WM_VSCROLL ? int32_t(SendMessageW(control, UDM_GETPOS32, 0, 0))
                                                 : int32_t(SendMessageW(control, TBM_GETPOS, 0, 0));
        w32ValueChanged(control, position);
        return 0;
      }
      uint32_t handle = w32HandleOf(window);
      if (!handle) return 0;
      bool vertical = message == WM_VSCROLL;
      int32_t offset = vertical ? gW32ScrollY[handle] : gW32ScrollX[handle];
      int32_t limit = vertical ? gW32ScrollMax[handle] : gW32ScrollMaxX[handle];
      scrollWindowTo(handle, vertical ? SB_VERT : SB_HORZ,
                     w32ScrollByCode(offset, LOWORD(wParam), int16_t(HIWORD(wParam)), limit));
      return 0;
    }
    case WM_MOUSEWHEEL: {
      uint32_t handle = w32HandleOf(window);
      if (!handle) return 0;
      scrollWindowTo(handle, SB_VERT,
                     w32ScrollByWheel(gW32ScrollY[handle], int16_t(HIWORD(wParam)), gW32ScrollMax[handle]));
      return 0;
    }
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

// ---------------------------------------------------------------------------
// 4. Notifications of native controls: find the view, hand it the code.

namespace {

Ref<Object> viewOf(HWND control) {
  W32Peer* peer = w32PeerOf(control);
  return peer ? peer->view.lock() : nullptr;
}

LRESULT onControlCommand(HWND control, UINT code, UINT id) {
  Ref<Object> view = viewOf(control);
  if (code == 0) {
    // Segmented controls and toolbars are toolbars whose buttons send their
    // own command ids.
    if (Ref<UXSegmentedControl> segmented = cast<UXSegmentedControl>(view)) {
      segmented->selectSegment(int32_t(id));
      segmented->sendAction();
      return 0;
    }
    if (Ref<UXToolbar> toolbar = cast<UXToolbar>(view)) {
      toolbar->applyNativeItemClick(id);
      toolbar->sendAction();
      return 0;
    }
  }
  if (id < uint32_t(kUXNativeIdBase)) return 0;
  if (w32TextViewCommand(control, code)) return 0;
  switch (code) {
    case EN_CHANGE: {
      // Without the record the change is the driver's own (w32EditSync).
      W32Peer* peer = w32PeerOf(control);
      Ref<UXTextField> field = cast<UXTextField>(view);
      if (!peer || !peer->editor || !field) return 0;
      // Read as UTF-16 so a field's text in any script survives; the field
      // cuts it to its capacity and keeps its caret between characters.
      field->applyNativeText(w32GetText(control).c_str());
      return 0;
    }
    case BN_CLICKED:
      if (Ref<UXControl> c = cast<UXControl>(view)) c->applyNativeClick();
      return 0;
    case CBN_SELCHANGE:
      w32ValueChanged(control, int32_t(SendMessageW(control, CB_GETCURSEL, 0, 0)));
      return 0;
    default:
      return 0;
  }
}

LRESULT onNotify(NMHDR* header) {
  if (!header || !header->hwndFrom) return 0;
  HWND control = header->hwndFrom;
  if (header->code == EN_SELCHANGE) {
    w32TextViewNotify(control, header);
    return 0;
  }
  if (w32OutlineNotify(control, header)) return 0;
  if (w32ListNotify(control, header)) return 0;
  Ref<UXTableView> table = cast<UXTableView>(viewOf(control));
  if (!table) return 0;
  switch (header->code) {
    case LVN_BEGINDRAG:
    case LVN_BEGINRDRAG: {
      auto* nm = reinterpret_cast<NMLISTVIEW*>(header);
      if (!table->rowsDraggable || nm->iItem < 0) return 0;
      const char* text = table->nativeCellText(nm->iItem, 0);
      w32RowDrag(control, 0, text ? text : "", header->code == LVN_BEGINRDRAG, nm->ptAction.x,
                 nm->ptAction.y);
      return 0;
    }
    default:
      return 0;
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// 5. Shields: cover native controls and hand their clicks to the window.

LRESULT CALLBACK UXShield32Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ERASEBKGND) return 1;
  if (message == WM_LBUTTONDOWN) {
    Ref<UXView> view = cast<UXView>(viewOf(window));
    HWND parent = GetParent(window);
    if (view && parent) {
      UXRect frame = view->absoluteFrame();
      int32_t x = int16_t(LOWORD(lParam)) + frame.x(), y = int16_t(HIWORD(lParam)) + frame.y();
      PostMessageW(parent, WM_LBUTTONDOWN, wParam, MAKELPARAM(int16_t(x), int16_t(y)));
    }
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// ---------------------------------------------------------------------------
// 6. Alerts, window lookup, drag polling.

int32_t UXWin32Driver::alertRun(int32_t style, const char* message, const char* buttons, int32_t) {
  int32_t count = 1;
  UINT flags = w32AlertFlags(style, buttons, count);
  std::wstring text = w32Wide(w32AlertText(message));
  // The message crosses to Windows as UTF-16 so any script survives. The
  // box's own loop posts again a quit it meets, so the main loop still ends.
  int id = MessageBoxW(nullptr, text.c_str(), L"Alert", flags);
  return w32AlertAnswer(count, id);
}

uint32_t UXWin32Driver::windowAtPoint(int32_t x, int32_t y) {
  for (uint32_t h = (gW32NextHandle > kW32TableSize ? kW32TableSize : gW32NextHandle) - 1; h >= 1; --h) {
    RECT r{};
    if (!gW32Hwnds[h] || !GetWindowRect(gW32Hwnds[h], &r)) continue;
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return h;
  }
  return 0;
}

bool UXWin32Driver::trackDragStep(int32_t& x, int32_t& y) {
  if (gInputReplay) return false;
  if (GetAsyncKeyState(VK_LBUTTON) >= 0) return false;
  POINT p{};
  GetCursorPos(&p);
  if (HWND active = GetActiveWindow()) ScreenToClient(active, &p);
  x = p.x + gUXDragDX;
  y = p.y + gUXDragDY;
  Sleep(8);
  return true;
}

bool UXWin32Driver::dragTrackingIsModal() { return true; }

int32_t UXWin32Driver::liveNativeCount() { return int32_t(gW32Native); }

}  // namespace quorl
