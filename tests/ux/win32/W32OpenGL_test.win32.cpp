// GL surfaces under Wine with Xvfb (Mesa's software renderer behind Wine's
// opengl32): a context on a "UXGl32" window, an off-screen surface cleared
// to colours and read back, releasing and remaking the context, and a click
// passed on to the parent window.
#include <vector>

#include "W32TestSupport.h"
#include "ux/core/UXNodeTree.h"
#include "ux/core/UXView.h"
#include "ux/win32/W32Services.h"

namespace quorl::test {
namespace {

using ClearColorFn = void(WINAPI*)(float, float, float, float);
using ClearFn = void(WINAPI*)(unsigned);
using EnableFn = void(WINAPI*)(unsigned);
using ScissorFn = void(WINAPI*)(int, int, int, int);
using FinishFn = void(WINAPI*)();

void blitInto(int32_t, int32_t, int32_t, int32_t, int32_t, void* view) {
  w32GlBlit(static_cast<Object*>(view), 100, 50, 64, 48);
}

class W32OpenGLTest : public Win32DriverTest {
 protected:
  uint32_t window = 0;
  HWND child = nullptr;
  Ref<UXView> view = make<UXView>();

  void SetUp() override {
    Win32DriverTest::SetUp();
    window = openWindow(200, 150);
    child = CreateWindowExW(0, kW32GlClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 10, 20, 64, 48,
                            hwndOf(window), reinterpret_cast<HMENU>(uintptr_t(1001)), gW32Inst, nullptr);
    ASSERT_TRUE(child);
  }
  template <class F> F proc(const char* name) { return reinterpret_cast<F>(d->glProc(name)); }
};

TEST_F(W32OpenGLTest, OffscreenSurfaceClearsAndReadsBack) {
  EXPECT_EQ(d->glKind(), 2);
  EXPECT_FALSE(d->compositesWithGL());
  EXPECT_EQ(d->makeGLContext(view), 0u);  // not registered yet
  w32GlAttach(view, child);
  ASSERT_GE(w32GlFind(view), 0) << "no GL pixel format for the window";
  uint64_t slot = d->makeGLContext(view);
  ASSERT_NE(slot, 0u) << "no GL context";
  int32_t w = 0, h = 0;
  d->glDrawableSize(view, w, h);
  ASSERT_EQ(w, 64) << "no framebuffer objects: the surface stayed on screen";
  ASSERT_EQ(h, 48);
  EXPECT_FALSE(IsWindowVisible(child));  // off screen: the parent shows the frame

  auto clearColor = proc<ClearColorFn>("glClearColor");
  auto clear = proc<ClearFn>("glClear");
  auto enable = proc<EnableFn>("glEnable");
  auto disable = proc<EnableFn>("glDisable");
  auto scissor = proc<ScissorFn>("glScissor");
  auto finish = proc<FinishFn>("glFinish");
  ASSERT_TRUE(clearColor && clear && enable && disable && scissor && finish);
  clearColor(1.0f, 0.0f, 0.0f, 1.0f);  // red everywhere
  clear(0x4000);
  enable(0x0C11);                      // scissor: the top 8 rows (GL counts from the bottom)
  scissor(0, 40, 64, 8);
  clearColor(0.0f, 0.0f, 1.0f, 1.0f);  // blue
  clear(0x4000);
  disable(0x0C11);
  finish();
  d->presentGL(view);

  std::vector<uint32_t> pixels(64 * 48, 0x12345678u);
  EXPECT_FALSE(w32GlReadFrame(view, pixels.data(), 63, 48));
  EXPECT_EQ(pixels[0], 0x12345678u);
  ASSERT_TRUE(w32GlReadFrame(view, pixels.data(), 64, 48));
  EXPECT_EQ(pixels[0], 0xFF0000FFu);               // the first row is the top: blue
  EXPECT_EQ(pixels[7 * 64 + 63], 0xFF0000FFu);
  EXPECT_EQ(pixels[8 * 64], 0xFFFF0000u);          // then red
  EXPECT_EQ(pixels[47 * 64 + 63], 0xFFFF0000u);

  std::vector<uint8_t> rgba(64 * 48 * 4);
  EXPECT_FALSE(d->glReadFrame(view, rgba.data(), 100));
  ASSERT_TRUE(d->glReadFrame(view, rgba.data(), uint32_t(rgba.size())));
  EXPECT_EQ((std::vector<uint8_t>(rgba.begin(), rgba.begin() + 4)), (std::vector<uint8_t>{0, 0, 255, 255}));

  // The frame reaches the parent window's pixels when it paints.
  EXPECT_FALSE(w32GlBlit(view, 0, 0, 64, 48));  // no paint in progress
  d->windowSetContent(window, blitInto, view.get());
  d->windowInvalidate(window);
  HDC dc = GetDC(hwndOf(window));
  EXPECT_EQ(GetPixel(dc, 100, 50), COLORREF(0xFF0000));   // top rows: blue
  EXPECT_EQ(GetPixel(dc, 163, 97), COLORREF(0x0000FF));   // bottom right: red
  EXPECT_EQ(GetPixel(dc, 99, 50), COLORREF(0xC0C0C0));    // outside: the background
  ReleaseDC(hwndOf(window), dc);
  d->windowSetContent(window, nullptr, nullptr);
  d->glSetSwapInterval(5);
  d->glSetSwapInterval(0);

  // Released, the surface keeps its slot and a new context reuses it.
  d->destroyGLContext(view);
  d->glDrawableSize(view, w, h);
  EXPECT_EQ(w, 0);
  EXPECT_FALSE(w32GlReadFrame(view, pixels.data(), 64, 48));
  EXPECT_EQ(d->makeGLContext(view), slot);
  d->glDrawableSize(view, w, h);
  EXPECT_EQ(w, 64);
  d->destroyGLContext(view);
}

TEST_F(W32OpenGLTest, ClicksGoOnToTheParentAtTheViewsPosition) {
  Ref<UXNodeTree> tree = d->structNew();
  int16_t root = d->structAppend(tree, kUXNodeView, 0, 0, 200, 150);
  int16_t box = d->structAppend(tree, kUXNodeView, 5, 5, 150, 100);
  int16_t gl = d->structAppend(tree, kUXNodeGL, 5, 15, 64, 48);
  d->structAddChild(tree, root, box);
  d->structAddChild(tree, box, gl);
  gW32TreeOf[window] = tree.get();
  W32Peer& peer = w32NewPeer(child);
  peer.view = view;
  peer.node = gl;
  peer.window = window;
  PostMessageW(child, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 4));
  ASSERT_TRUE(waitFor(kUXEventMouseDown));
  EXPECT_EQ(event.window, window);
  EXPECT_EQ(event.x, 10 + 3);
  EXPECT_EQ(event.y, 20 + 4);
  gW32TreeOf[window] = nullptr;
}

}  // namespace
}  // namespace quorl::test
