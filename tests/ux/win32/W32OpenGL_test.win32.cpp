// GL surfaces under Wine with Xvfb (Mesa's software renderer behind Wine's
// opengl32), on GL views realised as the toolkit realises them: an
// off-screen surface cleared to colours, read back and shown in the
// window's paint; its viewport after a move; a click passed on to the
// parent; and surfaces that go with their windows and views.
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
using ViewportFn = void(WINAPI*)(int, int, int, int);
using GetIntegervFn = void(WINAPI*)(unsigned, int*);

class W32OpenGLTest : public Win32WindowTest {
 protected:
  Ref<UXView> box = make<UXView>();
  Ref<UXGLView> view = make<UXGLView>();

  void SetUp() override {
    Win32WindowTest::SetUp();
    openToolkitWindow("GL", UXRect(40, 40, 200, 150));
    add(box, UXRect(5, 5, 150, 100));
    add(view, UXRect(5, 15, 64, 48), box);
    realize();
  }
  void TearDown() override {
    view->destroyGL();
    Win32WindowTest::TearDown();
  }
  HWND surface() const { return controlOf(view); }
  template <class F> F proc(const char* name) { return reinterpret_cast<F>(d->glProc(name)); }
  std::vector<int> viewport() {
    int v[4] = {-1, -1, -1, -1};
    proc<GetIntegervFn>("glGetIntegerv")(0x0BA2, v);  // GL_VIEWPORT
    return {v[0], v[1], v[2], v[3]};
  }
};

TEST_F(W32OpenGLTest, OffscreenSurfaceClearsReadsBackAndShowsInThePaint) {
  EXPECT_EQ(d->glKind(), 2);
  EXPECT_FALSE(d->compositesWithGL());
  EXPECT_EQ(d->makeGLContext(make<UXGLView>()), 0u);  // a view with no surface
  ASSERT_GE(w32GlFind(view), 0) << "no GL pixel format for the window";
  uint64_t slot = d->makeGLContext(view);
  ASSERT_NE(slot, 0u) << "no GL context";
  int32_t w = 0, h = 0;
  d->glDrawableSize(view, w, h);
  ASSERT_EQ(w, 64) << "no framebuffer objects: the surface stayed on screen";
  ASSERT_EQ(h, 48);
  EXPECT_FALSE(IsWindowVisible(surface()));  // off screen: the parent shows the frame
  realize();
  EXPECT_FALSE(IsWindowVisible(surface()));

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
  EXPECT_FALSE(d->glReadFrame(view, pixels.data(), 63, 48));
  EXPECT_FALSE(d->glReadFrame(view, pixels.data(), 64, 49));
  EXPECT_EQ(pixels[0], 0x12345678u);
  ASSERT_TRUE(d->glReadFrame(view, pixels.data(), 64, 48));
  EXPECT_EQ(pixels[0], 0xFF0000FFu);               // the first row is the top: blue
  EXPECT_EQ(pixels[7 * 64 + 63], 0xFF0000FFu);
  EXPECT_EQ(pixels[8 * 64], 0xFFFF0000u);          // then red
  EXPECT_EQ(pixels[47 * 64 + 63], 0xFFFF0000u);

  // The window's own paint copies the frame in at the view's place.
  d->windowInvalidate(window->handle);
  HDC dc = GetDC(top());
  EXPECT_EQ(GetPixel(dc, 10, 20), COLORREF(0xFF0000));   // top rows: blue
  EXPECT_EQ(GetPixel(dc, 73, 67), COLORREF(0x0000FF));   // bottom right: red
  ReleaseDC(top(), dc);
  d->glSetSwapInterval(5);
  d->glSetSwapInterval(0);

  // Released, the surface stays with its window and a new context reuses it.
  d->destroyGLContext(view);
  d->glDrawableSize(view, w, h);
  EXPECT_EQ(w, 0);
  EXPECT_FALSE(d->glReadFrame(view, pixels.data(), 64, 48));
  EXPECT_EQ(d->makeGLContext(view), slot);
  d->glDrawableSize(view, w, h);
  EXPECT_EQ(w, 64);
}

TEST_F(W32OpenGLTest, MovingTheNodeResetsTheViewport) {
  ASSERT_NE(d->makeGLContext(view), 0u) << "no GL context";
  proc<ViewportFn>("glViewport")(0, 0, 1, 1);  // what a frame of the view may leave
  d->structSetFrame(window->tree->driverTree, int16_t(view->node), 5, 15, 100, 60);
  int32_t w = 0, h = 0;
  d->glDrawableSize(view, w, h);
  // Off screen the viewport is the buffer's until the next frame resizes
  // it; on screen it is the window's new size.
  std::vector<int> want = w > 0 ? std::vector<int>{0, 0, w, h} : std::vector<int>{0, 0, 100, 60};
  EXPECT_EQ(viewport(), want);
  d->presentGL(view);
  EXPECT_EQ(viewport(), (std::vector<int>{0, 0, 100, 60}));
}

TEST_F(W32OpenGLTest, ClicksGoOnToTheParentAtTheViewsPosition) {
  ASSERT_NE(surface(), nullptr);
  PostMessageW(surface(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 4));
  ASSERT_TRUE(waitFor(kUXEventMouseDown));
  EXPECT_EQ(event.window, window->handle);
  EXPECT_EQ(event.x, 10 + 3);
  EXPECT_EQ(event.y, 20 + 4);
}

TEST_F(W32OpenGLTest, SurfacesGoWithTheirWindows) {
  ASSERT_NE(d->makeGLContext(view), 0u) << "no GL context";
  // More windows than the table holds surfaces, one after another: each
  // closed window frees its surface, and a new view (often at the address
  // of the one that went) has none until its own window is realised.
  for (int i = 0; i < 9; ++i) {
    SCOPED_TRACE(i);
    view->destroyGL();
    window->close();
    openToolkitWindow("GL", UXRect(40, 40, 120, 90));
    view = make<UXGLView>();
    EXPECT_EQ(w32GlFind(view), -1);
    add(view, UXRect(5, 5, 40, 30));
    realize();
    ASSERT_GE(w32GlFind(view), 0);
    view->glContext = d->makeGLContext(view);
    EXPECT_NE(view->glContext, 0u);
  }
}

}  // namespace
}  // namespace quorl::test
