// The toolkit's own main loop on the Win32 driver: a window opened by the
// application, input queued for it, and a quit that ends the loop.
#include <windows.h>

#include <functional>
#include <vector>

#include "W32TestSupport.h"
#include "foundation/Array.h"
#include "ux/core/UXView.h"
#include "ux/core/UXWindow.h"

namespace quorl::test {
namespace {

class ClickView : public UXView {
 public:
  std::vector<std::pair<int, int>> clicks;
  int draws = 0;
  void mouseDown(UXEvent& event) override { clicks.emplace_back(event.x, event.y); }
  void drawRect(UXGraphics& g, UXRect rect) override {
    ++draws;
    g.fillRect(UXRect(0, 0, 40, 30), 2);
  }
  const char* classNameC() const override { return "ClickView"; }
};

class Starter : public Object, public UXApplicationDelegate {
 public:
  std::function<void(UXApplication&)> onStart;
  int32_t applicationDidStart(UXApplication& application) override {
    if (onStart) onStart(application);
    return 0;
  }
};

TEST_F(Win32DriverTest, TheMainLoopTakesQueuedInputAndEndsOnAQuit) {
  Ref<UXApplication> app = make<UXApplication>();
  Ref<Starter> starter = make<Starter>();
  Ref<ClickView> view = make<ClickView>();
  Ref<UXWindow> window = make<UXWindow>();
  uint32_t painted = 0;
  starter->onStart = [&](UXApplication& a) {
    window->open("Fen\xC3\xAAtre \xC2\xB7 1", UXRect(60, 60, 320, 200), view);
    a.addWindow(window);
    HWND hwnd = gW32Hwnds[window->handle];
    HDC dc = GetDC(hwnd);
    painted = GetPixel(dc, 5, 5);  // opening paints at once
    ReleaseDC(hwnd, dc);
    PostMessageW(hwnd, WM_LBUTTONDOWN, 0, MAKELPARAM(30, 40));
    PostQuitMessage(0);
  };
  app->delegate = starter;
  EXPECT_EQ(app->run(), 0);  // ended by the quit, window 0
  EXPECT_EQ(painted, 0x0000FFu);
  EXPECT_GT(view->draws, 0);
  ASSERT_EQ(view->clicks.size(), 1u);
  EXPECT_EQ(view->clicks[0], std::make_pair(30, 40));
  wchar_t caption[64] = {};
  GetWindowTextW(gW32Hwnds[window->handle], caption, 64);
  EXPECT_EQ(w32Utf8(caption), "Fen\xC3\xAAtre \xC2\xB7 1");
  window->close();
  app.reset();
  gApp.reset();
}

}  // namespace
}  // namespace quorl::test
