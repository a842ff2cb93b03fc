// The Win32 driver on real windows under Wine: the window table, captions,
// painting, sizes, the event pump, menus, field editors, the node tree's
// controls and alerts. Every wait is bounded; no result depends on timing.
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "W32TestSupport.h"
#include "foundation/Array.h"
#include "ux/controls/UXTextField.h"
#include "ux/core/UXDispatch.h"
#include "ux/core/UXMenu.h"
#include "ux/core/UXNodeTree.h"
#include "ux/core/UXWindow.h"

namespace quorl::test {
namespace {

std::string windowText(HWND window) {
  wchar_t buffer[600] = {};
  int n = GetWindowTextW(window, buffer, 600);
  return w32Utf8(buffer, size_t(n < 0 ? 0 : n));
}

class Target : public Object {
 public:
  int runs = 0;
};

// ---------------------------------------------------------------------------
// Factory and window table.

TEST(Win32FactoryTest, WindowsBuildMakesTheWin32Driver) {
  Ref<UXViewDriver> driver = uxMakePlatformDriver();
  EXPECT_TRUE(isA<UXWin32Driver>(driver));
  EXPECT_TRUE(driver->hasMenuPopUp());
}

TEST_F(Win32DriverTest, WindowsAreCreatedSizedDestroyedAndTheirHandlesReused) {
  uint32_t a = d->windowCreate(10, 10, 300, 200), b = d->windowCreate(20, 20, 301, 201),
           c = d->windowCreate(30, 30, 302, 202);
  EXPECT_EQ((std::vector<uint32_t>{a, b, c}), (std::vector<uint32_t>{1, 2, 3}));
  EXPECT_EQ(d->liveNativeCount(), 3);
  HWND second = hwndOf(b);
  ASSERT_TRUE(IsWindow(second));
  EXPECT_FALSE(IsWindowVisible(second));  // hidden until opened
  EXPECT_EQ(windowText(second), "Wendle");
  RECT r{};
  GetClientRect(second, &r);
  EXPECT_EQ(r.right, 301);
  EXPECT_EQ(r.bottom, 201);
  int32_t w = 0, h = 0;
  d->windowContentGeometry(b, w, h);
  EXPECT_EQ(w, 301);
  EXPECT_EQ(h, 201);

  d->windowDestroy(b);
  EXPECT_FALSE(IsWindow(second));
  EXPECT_EQ(d->liveNativeCount(), 2);
  EXPECT_FALSE(quitQueued());  // two windows are left
  EXPECT_EQ(d->windowCreate(0, 0, 100, 100), 2u);

  // A window destroyed behind the driver's back frees its entry too.
  DestroyWindow(hwndOf(c));
  EXPECT_EQ(hwndOf(c), nullptr);
  EXPECT_EQ(d->liveNativeCount(), 2);
  EXPECT_EQ(d->windowCreate(30, 30, 302, 202), c);

  d->windowOpen(a);
  EXPECT_TRUE(IsWindowVisible(hwndOf(a)));
  // Newest first: where windows overlap the higher handle wins.
  RECT outer{};
  GetWindowRect(hwndOf(c), &outer);
  EXPECT_EQ(d->windowAtPoint(outer.right - 1, outer.bottom - 1), c);
  EXPECT_EQ(d->windowAtPoint(outer.right, outer.bottom), 0u);  // right and bottom edges are outside
  GetWindowRect(hwndOf(2), &outer);
  EXPECT_EQ(d->windowAtPoint(outer.left + 5, outer.top + 5), 2u);
}

TEST_F(Win32DriverTest, CaptionsAreComposedAndSurviveAsUtf16) {
  uint32_t h = d->windowCreate(0, 0, 200, 100);
  struct Step {
    const char* title;
    const char* subtitle;
    int modified;  // -1 leaves it
    const char* caption;
  } steps[] = {
      {"R\xC3\xA9sultats \xC2\xB7 \xF0\x9F\x93\x88", nullptr, -1, "R\xC3\xA9sultats \xC2\xB7 \xF0\x9F\x93\x88"},
      {nullptr, "runs.json", 1, "*R\xC3\xA9sultats \xC2\xB7 \xF0\x9F\x93\x88 - runs.json"},
      {nullptr, "", -1, "*R\xC3\xA9sultats \xC2\xB7 \xF0\x9F\x93\x88"},
      {"Wendle", nullptr, 0, "Wendle"},
  };
  for (const Step& s : steps) {
    if (s.title) d->windowSetTitle(h, s.title);
    if (s.subtitle) d->windowSetSubtitle(h, s.subtitle);
    if (s.modified >= 0) d->windowSetModified(h, uint8_t(s.modified));
    EXPECT_EQ(windowText(hwndOf(h)), s.caption);
  }
  d->windowSetTitle(0, "ignored");  // guarded
  d->windowSetTitle(99, "ignored");
}

TEST_F(Win32DriverTest, DestroyingTheLastWindowEndsTheLoopWithWindowZero) {
  uint32_t a = d->windowCreate(0, 0, 100, 100), b = d->windowCreate(0, 0, 100, 100);
  d->windowDestroy(a);
  EXPECT_FALSE(quitQueued());
  d->windowDestroy(b);
  EXPECT_TRUE(quitQueued());
  event.window = 7;
  d->nextEvent(0, event);  // blocking: the quit ends the queue
  EXPECT_EQ(event.type, kUXEventClose);
  EXPECT_EQ(event.window, 0u);
}

TEST_F(Win32DriverTest, AQuitPostedAnywhereEndsTheLoop) {
  uint32_t h = openWindow();
  // Taken by the timed wait, behind other messages.
  PostMessageW(hwndOf(h), WM_NULL, 0, 0);
  PostQuitMessage(0);
  EXPECT_TRUE(waitFor(kUXEventClose));
  EXPECT_EQ(event.window, 0u);
  // Taken by pumpMessages: put back, not consumed.
  PostQuitMessage(0);
  d->pumpMessages(event);
  EXPECT_EQ(event.type, kUXEventNone);
  EXPECT_TRUE(quitQueued());
  d->nextEvent(0, event);
  EXPECT_EQ(event.type, kUXEventClose);
  EXPECT_EQ(event.window, 0u);
}

TEST_F(Win32DriverTest, ATimedWaitThatExpiresLeavesTheEventAsItWas) {
  openWindow();
  drainQueue();
  event.x = 11, event.y = 12, event.key = 13, event.mods = 4, event.a = 15, event.b = 16, event.window = 9;
  event.type = 3;
  for (int i = 0; i < 3; ++i) {
    d->nextEvent(20, event);
    if (event.type == kUXEventNone) break;
    drainQueue();
  }
  EXPECT_EQ(event.type, kUXEventNone);
  EXPECT_EQ(event.window, 0u);
  EXPECT_EQ((std::vector<int>{event.x, event.y, event.key, event.mods, event.a, event.b}),
            (std::vector<int>{11, 12, 13, 4, 15, 16}));
}

// ---------------------------------------------------------------------------
// Painting and sizes.

struct PaintLog {
  int paints = 0;
  int32_t w = 0, h = 0;
  bool hadDc = false;
};

void recordPaint(int32_t, int32_t, int32_t, int32_t w, int32_t h, void* userData) {
  auto* log = static_cast<PaintLog*>(userData);
  ++log->paints;
  log->w = w;
  log->h = h;
  log->hadDc = gW32CurHdc != nullptr;
  if (UXGraphics* g = gDriver->beginViewDraw(10, 10, 50, 40)) {
    g->fillRect(UXRect(0, 0, 50, 40), 2);
    gDriver->endViewDraw();
  }
}

TEST_F(Win32DriverTest, InvalidatingPaintsBeforeReturningAndReleasesThePaintDC) {
  uint32_t h = openWindow(300, 200);
  PaintLog log;
  d->windowSetContent(h, recordPaint, &log);
  int before = log.paints;
  d->windowInvalidate(h);
  EXPECT_EQ(log.paints, before + 1);
  EXPECT_TRUE(log.hadDc);
  EXPECT_EQ(log.w, 300);
  EXPECT_EQ(log.h, 200);
  // The paint's DC is not left current: drawing after the paint reaches no
  // released context.
  EXPECT_EQ(gW32CurHdc, nullptr);
  UXGraphics* stray = d->beginViewDraw(0, 0, 10, 10);
  ASSERT_NE(stray, nullptr);
  stray->fillRect(UXRect(0, 0, 10, 10), 0);  // draws nothing, harms nothing

  // What the content drew is in the window's pixels.
  HDC dc = GetDC(hwndOf(h));
  EXPECT_EQ(GetPixel(dc, 15, 15), 0x0000FFu);
  EXPECT_EQ(GetPixel(dc, 59, 49), 0x0000FFu);
  EXPECT_EQ(GetPixel(dc, 60, 50), 0xC0C0C0u);  // the light-grey background
  ReleaseDC(hwndOf(h), dc);

  d->windowInvalidateRect(h, 0, 0, 5, 5);
  EXPECT_EQ(log.paints, before + 2);
  d->windowSetScroll(h, 0, 0);
  EXPECT_EQ(log.paints, before + 3);

  // Printed into another DC (a snapshot, an animation), the content draws
  // there, and that DC is not left current either.
  W32Dib bitmap(300, 200);
  W32MemoryDC memory(nullptr);
  W32Select chosen(memory.get(), bitmap.get());
  RECT all{0, 0, 300, 200};
  FillRect(memory.get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SendMessageW(hwndOf(h), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory.get()), PRF_CLIENT);
  EXPECT_EQ(log.paints, before + 4);
  EXPECT_EQ(GetPixel(memory.get(), 15, 15), 0x0000FFu);
  EXPECT_EQ(GetPixel(memory.get(), 60, 50), 0xFFFFFFu);  // nothing drawn there
  EXPECT_EQ(gW32CurHdc, nullptr);
}

TEST_F(Win32DriverTest, TheClientSizeFollowsResizesAndTheMenuBar) {
  uint32_t h = openWindow(300, 200);
  drainQueue();
  RECT outer{};
  GetWindowRect(hwndOf(h), &outer);
  SetWindowPos(hwndOf(h), nullptr, 0, 0, outer.right - outer.left + 100, outer.bottom - outer.top + 50,
               SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(gW32WinW[h], 400u);
  EXPECT_EQ(gW32WinH[h], 250u);
  ASSERT_TRUE(waitFor(kUXEventResize));
  EXPECT_EQ(event.window, h);

  // A menu bar takes its height from the client area.
  const char* items[] = {"Open\tO"};
  UXMenuRecord menu{"File", items, 1};
  d->menuShow(d->menuBuild(&menu, 1), 1);
  RECT client{};
  GetClientRect(hwndOf(h), &client);
  EXPECT_LT(client.bottom, 250);
  EXPECT_EQ(gW32WinH[h], uint32_t(client.bottom));
  // ... so the scroll limit is taken from the current height.
  d->windowContentSize(h, 100, 1000);
  EXPECT_EQ(d->windowScrollY(h), 0);
  d->windowSetScroll(h, -5, 5000);
  EXPECT_EQ(d->windowScrollX(h), 0);
  EXPECT_EQ(d->windowScrollY(h), 1000 - (client.bottom - 40));
  EXPECT_EQ(GetScrollPos(hwndOf(h), SB_VERT), 1000 - (client.bottom - 40));
  d->windowContentSize(h, 100, 10);  // content within the client: the offset drops to 0
  EXPECT_EQ(d->windowScrollY(h), 0);

  // The minimum client size holds against a smaller outer size.
  d->windowSetMinSize(h, 250, 150);
  SetWindowPos(hwndOf(h), nullptr, 0, 0, 60, 60, SWP_NOMOVE | SWP_NOZORDER);
  GetClientRect(hwndOf(h), &client);
  EXPECT_EQ(client.right, 250);
  EXPECT_EQ(client.bottom, 150);
  EXPECT_EQ(gW32WinH[h], 150u);
  // A window already smaller than a new minimum grows to it at once.
  d->windowSetMinSize(h, 420, 320);
  GetClientRect(hwndOf(h), &client);
  EXPECT_EQ(client.right, 420);
  EXPECT_EQ(client.bottom, 320);

  // A window made while the bar is shown gets it, with the client size asked for.
  uint32_t second = d->windowCreate(0, 0, 220, 140);
  EXPECT_EQ(GetMenu(hwndOf(second)), gW32Menu);
  GetClientRect(hwndOf(second), &client);
  EXPECT_EQ(client.right, 220);
  EXPECT_EQ(client.bottom, 140);
}

// ---------------------------------------------------------------------------
// Input.

TEST_F(Win32DriverTest, PostedMouseKeyAndCloseMessagesBecomeEvents) {
  uint32_t h = openWindow();
  HWND w = hwndOf(h);
  drainQueue();
  POINT screen{30, 40};
  ClientToScreen(w, &screen);
  struct Case {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    uint8_t type;
    int x, y, key, a, b;
    uint32_t window;
  } cases[] = {
      {WM_LBUTTONDOWN, 0, MAKELPARAM(10, 20), kUXEventMouseDown, 10, 20, -1, -1, -1, h},
      {WM_RBUTTONDOWN, 0, MAKELPARAM(11, 21), kUXEventRightMouseDown, 11, 21, -1, -1, -1, h},
      {WM_MOUSEMOVE, 0, MAKELPARAM(12, 22), kUXEventMouseMoved, 12, 22, -1, -1, -1, h},
      {WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(int16_t(-240))), MAKELPARAM(screen.x, screen.y), kUXEventWheel, 30, 40,
       -1, -2, 200, h},
      {WM_CHAR, 'a', 0, kUXEventKey, -1, -1, 'a', -1, -1, 0},
      {WM_CHAR, 19, 0, kUXEventKey, -1, -1, 19, -1, -1, 0},
      {WM_CLOSE, 0, 0, kUXEventClose, -1, -1, -1, -1, -1, h},
      {WM_COMMAND, 258, 0, kUXEventMenuCommand, -1, -1, -1, 3, 1, 0},
  };
  for (const Case& c : cases) {
    PostMessageW(w, c.message, c.wParam, c.lParam);
    ASSERT_TRUE(waitFor(c.type)) << c.message;
    EXPECT_EQ(event.window, c.window) << c.message;
    if (c.x >= 0) EXPECT_EQ(event.x, c.x) << c.message;
    if (c.y >= 0) EXPECT_EQ(event.y, c.y) << c.message;
    if (c.key >= 0) EXPECT_EQ(event.key, c.key) << c.message;
    if (c.a != -1) EXPECT_EQ(event.a, c.a) << c.message;
    if (c.b != -1) EXPECT_EQ(event.b, c.b) << c.message;
  }
  EXPECT_TRUE(IsWindow(w));  // a close is the toolkit's to carry out

  // The close box posts a close rather than destroying the window.
  SendMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(IsWindow(w));
  ASSERT_TRUE(waitFor(kUXEventClose));
  EXPECT_EQ(event.window, h);
}

TEST_F(Win32DriverTest, TypedCharactersAreHandedOnAsUtf8) {
  uint32_t h = openWindow();
  drainQueue();
  struct Case {
    std::vector<wchar_t> units;
    std::vector<int> bytes;
  } cases[] = {
      {{L'\u00E9'}, {0xC3, 0xA9}},
      {{L'\u00B7'}, {0xC2, 0xB7}},
      {{wchar_t(0xD83D), wchar_t(0xDE00)}, {0xF0, 0x9F, 0x98, 0x80}},
  };
  for (const Case& c : cases) {
    for (wchar_t u : c.units) PostMessageW(hwndOf(h), WM_CHAR, WPARAM(u), 0);
    std::vector<int> got;
    for (int i = 0; i < 40 && got.size() < c.bytes.size(); ++i) {
      d->nextEvent(50, event);
      if (event.type == kUXEventKey) {
        got.push_back(event.key);
        EXPECT_EQ(event.window, 0u);
      }
    }
    EXPECT_EQ(got, c.bytes);
  }
}

TEST_F(Win32DriverTest, SynthesizedInputBecomesToolkitEvents) {
  uint32_t h = openWindow(300, 200, 60, 60);
  HWND w = hwndOf(h);
  SetForegroundWindow(w);
  SetFocus(w);
  drainQueue();
  POINT p{25, 35};
  ClientToScreen(w, &p);
  SetCursorPos(p.x, p.y);
  INPUT click[2] = {};
  click[0].type = click[1].type = INPUT_MOUSE;
  click[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  click[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  ASSERT_EQ(SendInput(2, click, sizeof(INPUT)), 2u);
  ASSERT_TRUE(waitFor(kUXEventMouseDown));
  EXPECT_EQ(event.window, h);
  EXPECT_EQ(event.x, 25);
  EXPECT_EQ(event.y, 35);

  // Ctrl+S: the key-down is translated into the character 19 with Ctrl.
  INPUT keys[4] = {};
  for (INPUT& k : keys) k.type = INPUT_KEYBOARD;
  keys[0].ki.wVk = VK_CONTROL;
  keys[1].ki.wVk = 'S';
  keys[2].ki.wVk = 'S';
  keys[2].ki.dwFlags = KEYEVENTF_KEYUP;
  keys[3].ki.wVk = VK_CONTROL;
  keys[3].ki.dwFlags = KEYEVENTF_KEYUP;
  ASSERT_EQ(SendInput(4, keys, sizeof(INPUT)), 4u);
  ASSERT_TRUE(waitFor(kUXEventKey));
  EXPECT_EQ(event.key, 19);
  EXPECT_EQ(event.mods, kUXModCtrl);
  EXPECT_EQ(event.window, 0u);
}

TEST_F(Win32DriverTest, DragStepsFollowTheHeldButtonInTheActiveWindow) {
  uint32_t h = openWindow(300, 200, 60, 60);
  HWND w = hwndOf(h);
  SetForegroundWindow(w);
  SetActiveWindow(w);
  POINT p{40, 50};
  ClientToScreen(w, &p);
  SetCursorPos(p.x, p.y);
  INPUT button{};
  button.type = INPUT_MOUSE;
  auto press = [&](DWORD flags) {
    button.mi.dwFlags = flags;
    ASSERT_EQ(SendInput(1, &button, sizeof(INPUT)), 1u);
    drainQueue();
  };
  int32_t x = -7, y = -7;
  EXPECT_FALSE(d->trackDragStep(x, y));  // the button is up
  EXPECT_EQ(x + y, -14);                 // nothing written
  press(MOUSEEVENTF_LEFTDOWN);
  gUXDragDX = 3;
  gUXDragDY = -2;
  EXPECT_TRUE(d->trackDragStep(x, y));
  EXPECT_EQ(x, 40 + 3);
  EXPECT_EQ(y, 50 - 2);
  gInputReplay = 1;  // a replay drives drags itself
  EXPECT_FALSE(d->trackDragStep(x, y));
  gInputReplay = 0;
  gUXDragDX = gUXDragDY = 0;
  press(MOUSEEVENTF_LEFTUP);
  EXPECT_FALSE(d->trackDragStep(x, y));
}

// ---------------------------------------------------------------------------
// Menus.

TEST_F(Win32DriverTest, AMenuCommandReachesItsItemsAction) {
  uint32_t h = openWindow();
  Ref<Target> target = make<Target>();
  auto bar = make<UXMenuBar>();
  auto file = make<UXMenu>("Fichier \xC3\xA9");
  file->addItem("Ouvrir\xE2\x80\xA6\tO", UXMenuAction{target, [](const Ref<Object>& t, const Ref<UXMenuItem>&) {
                                          staticCast<Target>(t)->runs += 1;
                                        }});
  file->addItem("Enregistrer sous\t+S", UXMenuAction{target, [](const Ref<Object>& t, const Ref<UXMenuItem>&) {
                                          staticCast<Target>(t)->runs += 10;
                                        }});
  bar->menus->add(file);
  bar->install(h);
  HMENU native = GetMenu(hwndOf(h));
  ASSERT_NE(native, nullptr);
  wchar_t text[80] = {};
  GetMenuStringW(native, 0, text, 80, MF_BYPOSITION);
  EXPECT_EQ(w32Utf8(text), "Fichier \xC3\xA9");
  HMENU popup = GetSubMenu(native, 0);
  GetMenuStringW(popup, w32CommandId(0, 0), text, 80, MF_BYCOMMAND);
  EXPECT_EQ(w32Utf8(text), "Ouvrir\xE2\x80\xA6\tCtrl+O");
  GetMenuStringW(popup, w32CommandId(0, 1), text, 80, MF_BYCOMMAND);
  EXPECT_EQ(w32Utf8(text), "Enregistrer sous\tShift+Ctrl+S");

  drainQueue();
  PostMessageW(hwndOf(h), WM_COMMAND, MAKEWPARAM(w32CommandId(0, 1), 0), 0);
  ASSERT_TRUE(waitFor(kUXEventMenuCommand));
  EXPECT_EQ(event.a, 2);
  EXPECT_EQ(event.b, 1);
  bar->handleSelection(event.a, event.b);
  EXPECT_EQ(target->runs, 10);

  d->menuCheck(bar->handle, 0, 0, 1);
  d->menuEnable(bar->handle, 0, 1, 0);
  EXPECT_TRUE(GetMenuState(popup, w32CommandId(0, 0), MF_BYCOMMAND) & MF_CHECKED);
  EXPECT_TRUE(GetMenuState(popup, w32CommandId(0, 1), MF_BYCOMMAND) & MF_GRAYED);
  d->menuShow(bar->handle, 0);
  EXPECT_EQ(GetMenu(hwndOf(h)), nullptr);
}

TEST_F(Win32DriverTest, MenuItemsKeepTheirFlagsAndSeparators) {
  const char* items[] = {"\x01" "Checked\tO", "-", "--", "\x02" "Grey"};
  UXMenuRecord menu{"M", items, 4};
  HMENU bar = reinterpret_cast<HMENU>(uintptr_t(d->menuBuild(&menu, 1)));
  HMENU popup = GetSubMenu(bar, 0);
  ASSERT_EQ(GetMenuItemCount(popup), 4);
  EXPECT_TRUE(GetMenuState(popup, 0, MF_BYPOSITION) & MF_CHECKED);
  EXPECT_TRUE(GetMenuState(popup, 1, MF_BYPOSITION) & MF_SEPARATOR);
  EXPECT_FALSE(GetMenuState(popup, 2, MF_BYPOSITION) & MF_SEPARATOR);
  EXPECT_TRUE(GetMenuState(popup, 3, MF_BYPOSITION) & MF_GRAYED);
  EXPECT_EQ(GetMenuItemID(popup, 3), w32CommandId(0, 3));
}

TEST_F(Win32DriverTest, ABarLivesWhileShownOrLatestAndOutlivesItsWindows) {
  uint32_t a = openWindow(), b = openWindow();
  const char* items[] = {"One", "Two"};
  UXMenuRecord menu{"M", items, 2};
  auto build = [&] { return reinterpret_cast<HMENU>(uintptr_t(d->menuBuild(&menu, 1))); };
  HMENU first = build();
  d->menuShow(uint64_t(uintptr_t(first)), 1);
  HMENU second = build();
  EXPECT_TRUE(IsMenu(first));  // still on the windows
  d->menuShow(uint64_t(uintptr_t(second)), 1);
  EXPECT_FALSE(IsMenu(first));  // replaced everywhere: destroyed with its pop-up
  EXPECT_EQ(GetMenu(hwndOf(a)), second);
  // A window that goes leaves the shared bar to the others.
  d->windowDestroy(a);
  ASSERT_TRUE(IsMenu(second));
  EXPECT_EQ(GetMenu(hwndOf(b)), second);
  EXPECT_EQ(GetMenuItemCount(GetSubMenu(second, 0)), 2);
  // Taken off, the bar stays for a later show until another is built.
  d->menuShow(uint64_t(uintptr_t(second)), 0);
  EXPECT_TRUE(IsMenu(second));
  HMENU third = build();
  EXPECT_FALSE(IsMenu(second));
  EXPECT_TRUE(IsMenu(third));
}

// ---------------------------------------------------------------------------
// Field editors and native text.

TEST_F(Win32DriverTest, EditedTextReachesTheFieldBufferAsUtf8) {
  uint32_t h = openWindow();
  HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 10, 10, 150, 22, hwndOf(h),
                              reinterpret_cast<HMENU>(INT_PTR(1001)), gW32Inst, nullptr);
  ASSERT_NE(edit, nullptr);
  Ref<UXTextField> field = make<UXTextField>();
  W32Peer& peer = w32NewPeer(edit);
  peer.view = Weak<Object>(field);
  peer.editor = d->fieldEditorNew(field->buffer.data(), field->capacity);
  struct Case {
    const wchar_t* typed;
    uint32_t capacity;
    const char* stored;
  } cases[] = {
      {L"caf\u00E9 \u00B7 x", 16, "caf\xC3\xA9 \xC2\xB7 x"},
      {L"caf\u00E9", 5, "caf"},          // no half character at the cut
      {L"\u00E9\u00E9", 6, "\xC3\xA9\xC3\xA9"},
  };
  for (const Case& c : cases) {
    field->capacity = uint16_t(c.capacity);
    field->caret = 3;
    SetWindowTextW(edit, c.typed);  // EN_CHANGE goes to the window procedure
    EXPECT_STREQ(field->text(), c.stored);
  }
  EXPECT_EQ(field->caret, 2u);  // between the two characters, as every native edit leaves it
  d->fieldEditorFree(peer.editor);
  DestroyWindow(edit);
  EXPECT_EQ(w32PeerOf(edit), nullptr);  // the record went with the control
}

TEST_F(Win32DriverTest, ReturnInATextFieldRunsItsEnterBlockAndIsConsumed) {
  uint32_t h = openWindow();
  HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 10, 10, 150, 22, hwndOf(h),
                              reinterpret_cast<HMENU>(INT_PTR(1002)), gW32Inst, nullptr);
  Ref<UXTextField> field = make<UXTextField>();
  Ref<Target> target = make<Target>();
  field->onEnter = UXAction{target, [](const Ref<Object>& t, const Ref<UXView>&, const UXAction&) {
                              staticCast<Target>(t)->runs += 1;
                            }};
  w32NewPeer(edit).view = Weak<Object>(field);
  drainQueue();
  PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
  d->nextEvent(200, event);
  EXPECT_EQ(event.type, kUXEventNone);
  EXPECT_EQ(target->runs, 1);
  MSG left;
  EXPECT_FALSE(PeekMessageW(&left, edit, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE));

  // A field whose view is gone lets the key through to the control.
  field.reset();
  PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
  d->nextEvent(200, event);
  EXPECT_EQ(target->runs, 1);
  DestroyWindow(edit);
}

TEST_F(Win32DriverTest, FieldEditorsEditTheirNodesText) {
  char buffer[8] = "ab";
  UXFieldEditor* editor = d->fieldEditorNew(buffer, sizeof buffer);
  d->fieldEditorSetValid(editor, "99-99");
  Ref<UXNodeTree> tree = d->structNew();
  int16_t n = d->structAppend(tree, kUXNodeTextField, 0, 0, 10, 10);
  d->structSetSpec(tree, n, uxSpecOfEditor(editor));
  int32_t caret = 99;
  EXPECT_EQ(d->editText(tree.get(), n, 0, caret, 0), 1);
  EXPECT_EQ(caret, 2);
  buffer[0] = 0;
  caret = 0;
  for (char ch : std::string("1x2-34")) d->editText(tree.get(), n, uint8_t(ch), caret, 1);
  EXPECT_STREQ(buffer, "12-34");
  d->fieldEditorFree(editor);
  EXPECT_EQ(d->editText(tree.get(), n, 'z', caret, 1), 0);  // a freed record is never edited
}

// ---------------------------------------------------------------------------
// The node tree's controls.

TEST_F(Win32DriverTest, NodeChangesReachTheirControls) {
  uint32_t h = openWindow();
  Ref<UXNodeTree> tree = d->structNew();
  int16_t root = d->structAppend(tree, kUXNodeView, 0, 0, 300, 200);
  int16_t box = d->structAppend(tree, kUXNodeView, 20, 10, 200, 100);
  int16_t button = d->structAppend(tree, kUXNodeButton, 5, 6, 80, 24);
  d->structAddChild(tree, root, box);
  d->structAddChild(tree, box, button);
  HWND control = CreateWindowExW(0, L"BUTTON", L"\u00C9t\u00E9", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, hwndOf(h),
                                 nullptr, gW32Inst, nullptr);
  tree->at(button)->native = uint64_t(reinterpret_cast<uintptr_t>(control));

  d->structSetFrame(tree, button, 7, 8, 90, 26);  // moves to the absolute frame
  RECT r{};
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, hwndOf(h), reinterpret_cast<POINT*>(&r), 2);
  EXPECT_EQ((std::vector<long>{r.left, r.top, r.right - r.left, r.bottom - r.top}),
            (std::vector<long>{27, 18, 90, 26}));

  struct Step {
    const char* what;
    std::function<void()> act;
    bool visible;
  } steps[] = {
      {"hide the box", [&] { d->structSetHidden(tree, box, 1); }, false},
      {"show the box", [&] { d->structSetHidden(tree, box, 0); }, true},
      {"hide the button", [&] { d->structSetHidden(tree, button, 1); }, false},
      {"show the box again", [&] { d->structSetHidden(tree, box, 0); }, false},
      {"show the button", [&] { d->structSetHidden(tree, button, 0); }, true},
      // Detached: hidden whatever its own flag says.
      {"remove the box", [&] { d->structRemoveChild(tree, root, box); }, false},
      {"add it back", [&] { d->structAddChild(tree, root, box); }, true},
  };
  for (const Step& step : steps) {
    step.act();
    EXPECT_EQ(IsWindowVisible(control) != 0, step.visible) << step.what;
  }

  d->structSetEnabled(tree, button, 0);
  EXPECT_FALSE(IsWindowEnabled(control));
  EXPECT_EQ(d->structIsEnabled(tree, button), 0);
  d->structSetEnabled(tree, button, 1);
  EXPECT_TRUE(IsWindowEnabled(control));

  EXPECT_EQ(d->treeHitTest(tree, root, 30, 20), button);
  int32_t x = 0, y = 0, w = 0, hh = 0;
  d->structAbsFrame(tree, button, x, y, w, hh);
  EXPECT_EQ((std::vector<int>{x, y, w, hh}), (std::vector<int>{27, 18, 90, 26}));
  d->structFree(tree);
}

TEST_F(Win32DriverTest, NativeScrollingMovesListsByWholeRows) {
  uint32_t h = openWindow();
  HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_NOCOLUMNHEADER, 0, 0,
                              200, 120, hwndOf(h), nullptr, gW32Inst, nullptr);
  ASSERT_NE(list, nullptr);
  LVCOLUMNW column{};
  column.mask = LVCF_WIDTH;
  column.cx = 180;
  SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
  Ref<UXNodeTree> tree = d->structNew();
  int16_t root = d->structAppend(tree, kUXNodeView, 0, 0, 300, 200);
  int16_t table = d->structAppend(tree, kUXNodeTable, 0, 0, 200, 120);
  int16_t cell = d->structAppend(tree, kUXNodeView, 0, 0, 200, 16);
  int16_t scroller = d->structAppend(tree, kUXNodeScroll, 0, 0, 50, 50);
  d->structAddChild(tree, root, table);
  d->structAddChild(tree, table, cell);
  d->structAddChild(tree, root, scroller);
  tree->at(table)->native = uint64_t(reinterpret_cast<uintptr_t>(list));
  EXPECT_TRUE(w32IsUnderTable(*tree, cell));
  EXPECT_FALSE(w32IsUnderTable(*tree, table));

  d->nativeScrollTo(tree, cell, 40);  // an empty list has no row height: nothing moves
  EXPECT_EQ(d->nativeScrollPx(tree, cell), 0);
  for (int i = 0; i < 60; ++i) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = i;
    item.pszText = const_cast<wchar_t*>(L"r\u00E9sultat");
    SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
  }
  int32_t row = w32ListRowHeight(list);
  ASSERT_GT(row, 0);
  d->nativeScrollTo(tree, cell, 2 * row + row / 2);  // truncated to whole rows
  EXPECT_EQ(SendMessageW(list, LVM_GETTOPINDEX, 0, 0), 2);
  EXPECT_EQ(d->nativeScrollPx(tree, cell), 2 * row);
  EXPECT_EQ(d->nativeScrollPx(tree, table), 2 * row);  // the table's own control is the same list

  // A scroll view not realised yet keeps its position for later.
  d->nativeScrollTo(tree, scroller, 120);
  EXPECT_EQ(d->nativeScrollPx(tree, scroller), 120);
  DestroyWindow(list);
}

TEST_F(Win32DriverTest, OutlineItemsAreFoundUnderAPoint) {
  uint32_t h = openWindow();
  HWND outline = CreateWindowExW(0, WC_TREEVIEWW, L"", WS_CHILD | WS_VISIBLE, 20, 30, 200, 120, hwndOf(h), nullptr,
                                 gW32Inst, nullptr);
  TVINSERTSTRUCTW insert{};
  insert.hParent = TVI_ROOT;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_PARAM;
  insert.item.pszText = const_cast<wchar_t*>(L"\u00C9l\u00E9ment");
  insert.item.lParam = 42;
  auto item = reinterpret_cast<HTREEITEM>(SendMessageW(outline, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
  RECT r{};
  *reinterpret_cast<HTREEITEM*>(&r) = item;
  ASSERT_TRUE(SendMessageW(outline, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&r)));

  Ref<UXNodeTree> tree = d->structNew();
  int16_t root = d->structAppend(tree, kUXNodeView, 0, 0, 300, 200);
  int16_t node = d->structAppend(tree, kUXNodeTable, 20, 30, 200, 120);
  d->structAddChild(tree, root, node);
  tree->at(node)->native = uint64_t(reinterpret_cast<uintptr_t>(outline));
  d->realizeTree(h, tree.get());
  int32_t x = 20 + (r.left + r.right) / 2, y = 30 + (r.top + r.bottom) / 2;
  EXPECT_EQ(d->outlineItemAt(h, node, x, y), 42);
  EXPECT_EQ(d->outlineItemAt(h, node, x, 30 + 110), 0);  // below the items
  EXPECT_EQ(d->outlineItemAt(h, node, 10, 10), 0);       // outside the control
  EXPECT_EQ(d->outlineItemAt(h, root, x, y), 0);         // a node with no control
  EXPECT_EQ(d->outlineItemAt(0, node, x, y), 0);
  d->structSetHidden(tree, node, 1);
  EXPECT_EQ(d->outlineItemAt(h, node, x, y), 0);  // hidden
  d->structFree(tree);
  DestroyWindow(outline);
}

// A menu's timers act only once its loop has begun: on a loaded machine the
// timer can come before the menu is tracking, and keys sent then are lost.
bool menuIsTracking(TIMERPROC again, UINT_PTR id) {
  KillTimer(nullptr, id);
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (GetGUIThreadInfo(GetCurrentThreadId(), &info) && (info.flags & GUI_INMENUMODE)) return true;
  SetTimer(nullptr, 0, 50, again);
  return false;
}

void CALLBACK dismissMenu(HWND, UINT, UINT_PTR id, DWORD) {
  if (menuIsTracking(dismissMenu, id)) EndMenu();
}

// Keys for the open menu, as the user presses them: down, down, Return.
HWND gMenuOwner = nullptr;
void CALLBACK chooseThird(HWND, UINT, UINT_PTR id, DWORD) {
  if (!menuIsTracking(chooseThird, id)) return;
  for (WPARAM key : {WPARAM(VK_DOWN), WPARAM(VK_DOWN), WPARAM(VK_RETURN)}) {
    PostMessageW(gMenuOwner, WM_KEYDOWN, key, 1);
    PostMessageW(gMenuOwner, WM_KEYUP, key, 0xC0000001);
  }
}

TEST_F(Win32DriverTest, PopUpMenusAnswerTheChosenIndexOrMinusOne) {
  uint32_t h = openWindow();
  const char* titles[] = {"Copier", "-", "Coller", "Supprimer\xE2\x80\xA6"};
  const uint32_t flags[] = {0, 1, 0, 2};
  EXPECT_EQ(d->menuPopUp(h, titles, flags, 0, 10, 10), -1);  // nothing to show
  EXPECT_EQ(d->menuPopUp(77, titles, flags, 4, 10, 10), -1);
  SetForegroundWindow(hwndOf(h));
  SetTimer(nullptr, 0, 200, dismissMenu);  // closes the menu from inside its loop
  EXPECT_EQ(d->menuPopUp(h, titles, flags, 4, 10, 10), -1);
  // EndMenu also queued a cancel for the menu it ended, which would close
  // the next menu at once.
  drainQueue();
  // The separator counts: the second item down is the caller's index 2.
  gMenuOwner = hwndOf(h);
  SetTimer(nullptr, 0, 200, chooseThird);
  EXPECT_EQ(d->menuPopUp(h, titles, flags, 4, 10, 10), 2);
  drainQueue();
}

TEST_F(Win32DriverTest, TheLineOverlayDrawsItsCurveTargetAndDotOverTheClientArea) {
  uint32_t h = openWindow(300, 200);
  // From (20, 100) to (220, 40), around the target (200, 20, 40, 40).
  d->windowLine(h, 1, 20, 100, 220, 40, 200, 20, 40, 40);
  HWND line = gW32LineWin[h];
  ASSERT_NE(line, nullptr);
  wchar_t name[16] = {};
  GetClassNameW(line, name, 16);
  EXPECT_EQ(std::wstring(name), L"UXLine32");
  // A pop-up, and nothing but what the system adds to any shown one.
  EXPECT_EQ(uint32_t(GetWindowLongW(line, GWL_STYLE)) & ~uint32_t(WS_VISIBLE | WS_CLIPSIBLINGS), uint32_t(WS_POPUP));
  // Layered for its transparent key, click-through, off the taskbar, never
  // taking the focus from its window.
  const uint32_t overlay = WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
  EXPECT_EQ(uint32_t(GetWindowLongW(line, GWL_EXSTYLE)) & overlay, overlay);
  COLORREF key = 0;
  BYTE alpha = 0;
  DWORD how = 0;
  ASSERT_TRUE(GetLayeredWindowAttributes(line, &key, &alpha, &how));
  EXPECT_EQ(key, COLORREF(0xFF00FF));
  EXPECT_EQ(how & LWA_COLORKEY, DWORD(LWA_COLORKEY));
  EXPECT_EQ(GetWindow(line, GW_OWNER), hwndOf(h));
  RECT r{};
  GetWindowRect(line, &r);
  POINT origin{0, 0};
  ClientToScreen(hwndOf(h), &origin);
  EXPECT_EQ((std::vector<long>{r.left, r.top, r.right - r.left, r.bottom - r.top}),
            (std::vector<long>{origin.x, origin.y, 300, 200}));

  // What the overlay paints: blue (38, 115, 242) on the transparent key.
  const COLORREF blue = RGB(38, 115, 242), clear = 0xFF00FF;
  HDC dc = GetDC(line);
  struct Sample {
    const char* what;
    int x, y;
    COLORREF colour;
  } samples[] = {
      {"the curve leaves the start level", 30, 100, blue},
      {"a quarter of the way along", 79, 91, blue},  // the S-curve, not the straight line
      {"the straight line's place", 79, 82, clear},
      {"the target's left edge", 199, 30, blue},
      {"the target's bottom edge", 230, 60, blue},
      {"inside the target", 230, 30, clear},
      {"the end dot", 220, 40, blue},
      {"just right of the dot", 222, 43, blue},
      {"far from everything", 150, 170, clear},
  };
  for (const Sample& p : samples) EXPECT_EQ(GetPixel(dc, p.x, p.y), p.colour) << p.what;
  ReleaseDC(line, dc);

  d->windowLine(h, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_FALSE(IsWindowVisible(line));
  EXPECT_EQ(gW32LineOn[h], 0u);
  // Shown again, the same overlay; a target of no size is not drawn.
  d->windowLine(h, 1, 20, 100, 220, 40, 200, 20, 0, 40);
  EXPECT_EQ(gW32LineWin[h], line);
  EXPECT_TRUE(IsWindowVisible(line));
  dc = GetDC(line);
  EXPECT_EQ(GetPixel(dc, 199, 30), clear);
  ReleaseDC(line, dc);
  d->windowLine(77, 1, 0, 0, 10, 10, 0, 0, 0, 0);  // no such window: nothing
}

// ---------------------------------------------------------------------------
// Alerts.

TEST_F(Win32DriverTest, AlertsShowTheirTextAndAnswerTheButtonChosen) {
  struct Case {
    const char* buttons;
    int press;  // the id the closer presses
    int32_t answer;
  } cases[] = {{"OK|Cancel", IDOK, 1}, {"OK|Cancel", IDCANCEL, 2}, {"Yes|No|Cancel", IDNO, 2}, {"OK", IDOK, 1}};
  for (const Case& c : cases) {
    std::atomic<bool> done{false};
    std::string seen;
    // The box is modal: another thread reads it and presses a button.
    std::thread closer([&] {
      // Until the box shows or the run ends without one: a box never found is the watchdog's.
      while (!done) {
        HWND box = FindWindowW(nullptr, L"Alert");
        if (box) {
          wchar_t text[200] = {};
          GetDlgItemTextW(box, 0xFFFF, text, 200);
          seen = w32Utf8(text);
          PostMessageW(box, WM_COMMAND, MAKEWPARAM(c.press, BN_CLICKED), 0);
          return;
        }
        Sleep(25);
      }
    });
    int32_t answer = d->alertRun(0, "R\xC3\xA9sultat|ligne \xC2\xB7 2", c.buttons);
    done = true;
    closer.join();
    EXPECT_EQ(answer, c.answer) << c.buttons;
    EXPECT_EQ(seen, "R\xC3\xA9sultat\nligne \xC2\xB7 2");
  }
}

}  // namespace
}  // namespace quorl::test
