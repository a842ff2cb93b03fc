// GL surfaces: a table of at most 8, one per realised "UXGl32" child
// window, which the driver owns: a surface is keyed by its window (the view
// is the window's peer, held weakly) and goes with the window, so a view
// made later at the same address never finds an old surface. A surface
// renders on screen (double-buffered, SwapBuffers)
// or, when framebuffer objects are at hand, off screen: each presented
// frame is read back and copied into the parent window while it paints,
// and the child stays hidden. opengl32.dll and every GL and WGL function
// are loaded by name, so the program runs without GL: views then get no
// context.
//
// Sections:
//   1. The surface table and the function table
//   2. Registration, viewport, off-screen buffers
//   3. The driver's GL operations
//   4. The "UXGl32" window procedure
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "ux/core/UXNodeTree.h"
#include "ux/core/UXView.h"
#include "ux/win32/UXWin32Driver.h"
#include "ux/win32/W32Globals.h"
#include "ux/win32/W32Handles.h"
#include "ux/win32/W32ServicePure.h"
#include "ux/win32/W32Services.h"

namespace quorl {

// ---------------------------------------------------------------------------
// 1. Tables.

namespace {

constexpr int32_t kSlots = 8;

struct GlSurface {
  HWND window = nullptr;   // borrowed: the realised child window; null = free slot
  W32WindowDC dc;          // owned: taken at registration (CS_OWNDC), released with the surface
  W32GlContext context;    // owned: deleted by destroyGLContext or with the window
  uint32_t fbo = 0, rb = 0;  // names in the context, 0 = none
  std::vector<uint8_t> px;   // read-back, bottom-up rows of B, G, R, A
  int32_t pw = 0, ph = 0;
  bool off = false;          // renders off screen; the window stays hidden
};
GlSurface gW32Gl[kSlots];
int32_t gW32GlSwap = 1;

using GLenum = unsigned int;
using GLint = int;
using GLuint = unsigned int;
using GLsizei = int;

struct GlFunctions {
  HMODULE lib = nullptr;  // loaded once, never freed
  HGLRC(WINAPI* createContext)(HDC) = nullptr;
  BOOL(WINAPI* makeCurrent)(HDC, HGLRC) = nullptr;
  BOOL(WINAPI* deleteContext)(HGLRC) = nullptr;
  PROC(WINAPI* getProcAddress)(LPCSTR) = nullptr;
  void(WINAPI* viewport)(GLint, GLint, GLsizei, GLsizei) = nullptr;
  void(WINAPI* getIntegerv)(GLenum, GLint*) = nullptr;
  HGLRC(WINAPI* createContextAttribs)(HDC, HGLRC, const int*) = nullptr;
  BOOL(WINAPI* swapInterval)(int) = nullptr;
  // Framebuffer objects, loaded on the first off-screen request.
  bool fboTried = false;
  void(WINAPI* genFramebuffers)(GLsizei, GLuint*) = nullptr;
  void(WINAPI* bindFramebuffer)(GLenum, GLuint) = nullptr;
  void(WINAPI* deleteFramebuffers)(GLsizei, const GLuint*) = nullptr;
  void(WINAPI* genRenderbuffers)(GLsizei, GLuint*) = nullptr;
  void(WINAPI* bindRenderbuffer)(GLenum, GLuint) = nullptr;
  void(WINAPI* deleteRenderbuffers)(GLsizei, const GLuint*) = nullptr;
  void(WINAPI* renderbufferStorage)(GLenum, GLenum, GLsizei, GLsizei) = nullptr;
  void(WINAPI* framebufferRenderbuffer)(GLenum, GLenum, GLenum, GLuint) = nullptr;
  GLenum(WINAPI* checkFramebufferStatus)(GLenum) = nullptr;
  void(WINAPI* readPixels)(GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, void*) = nullptr;
  int(WINAPI* stretchDIBits)(HDC, int, int, int, int, int, int, int, int, const void*, const BITMAPINFO*, UINT,
                             DWORD) = nullptr;
};
GlFunctions gl;

template <class F> void lookUp(F& f, HMODULE module, const char* name) {
  f = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
template <class F> void lookUpExt(F& f, const char* core, const char* ext) {
  if (!gl.getProcAddress) return;
  f = reinterpret_cast<F>(reinterpret_cast<void*>(gl.getProcAddress(core)));
  if (!f) f = reinterpret_cast<F>(reinterpret_cast<void*>(gl.getProcAddress(ext)));
}

bool load() {
  if (gl.lib) return true;
  gl.lib = LoadLibraryW(L"opengl32.dll");
  if (!gl.lib) return false;
  lookUp(gl.createContext, gl.lib, "wglCreateContext");
  lookUp(gl.makeCurrent, gl.lib, "wglMakeCurrent");
  lookUp(gl.deleteContext, gl.lib, "wglDeleteContext");
  lookUp(gl.getProcAddress, gl.lib, "wglGetProcAddress");
  lookUp(gl.viewport, gl.lib, "glViewport");
  lookUp(gl.getIntegerv, gl.lib, "glGetIntegerv");
  lookUpExt(gl.createContextAttribs, "wglCreateContextAttribsARB", "wglCreateContextAttribsARB");
  lookUpExt(gl.swapInterval, "wglSwapIntervalEXT", "wglSwapIntervalEXT");
  return true;
}

// Extension entry points are answered only with a context current: the
// two optional WGL ones are asked again once one is.
void loadWithContext() {
  if (!gl.createContextAttribs) lookUpExt(gl.createContextAttribs, "wglCreateContextAttribsARB", "wglCreateContextAttribsARB");
  if (!gl.swapInterval) lookUpExt(gl.swapInterval, "wglSwapIntervalEXT", "wglSwapIntervalEXT");
}

bool loadFramebuffers() {
  if (!gl.fboTried) {
    gl.fboTried = true;
    lookUpExt(gl.genFramebuffers, "glGenFramebuffers", "glGenFramebuffersEXT");
    lookUpExt(gl.bindFramebuffer, "glBindFramebuffer", "glBindFramebufferEXT");
    lookUpExt(gl.deleteFramebuffers, "glDeleteFramebuffers", "glDeleteFramebuffersEXT");
    lookUpExt(gl.genRenderbuffers, "glGenRenderbuffers", "glGenRenderbuffersEXT");
    lookUpExt(gl.bindRenderbuffer, "glBindRenderbuffer", "glBindRenderbufferEXT");
    lookUpExt(gl.deleteRenderbuffers, "glDeleteRenderbuffers", "glDeleteRenderbuffersEXT");
    lookUpExt(gl.renderbufferStorage, "glRenderbufferStorage", "glRenderbufferStorageEXT");
    lookUpExt(gl.framebufferRenderbuffer, "glFramebufferRenderbuffer", "glFramebufferRenderbufferEXT");
    lookUpExt(gl.checkFramebufferStatus, "glCheckFramebufferStatus", "glCheckFramebufferStatusEXT");
    lookUp(gl.readPixels, gl.lib, "glReadPixels");
    lookUp(gl.stretchDIBits, GetModuleHandleW(L"gdi32.dll"), "StretchDIBits");
  }
  return gl.genFramebuffers && gl.bindFramebuffer && gl.genRenderbuffers && gl.bindRenderbuffer &&
         gl.renderbufferStorage && gl.framebufferRenderbuffer && gl.checkFramebufferStatus && gl.readPixels &&
         gl.stretchDIBits;
}

constexpr GLenum kFramebuffer = 0x8D40, kRenderbuffer = 0x8D41, kRgba8 = 0x8058, kColour0 = 0x8CE0;
constexpr GLenum kComplete = 0x8CD5, kBgra = 0x80E1, kUnsignedByte = 0x1401;

bool current(GlSurface& g) { return gl.makeCurrent && g.context && gl.makeCurrent(g.dc.get(), g.context.get()); }

// ---------------------------------------------------------------------------
// 2. Registration, viewport, off-screen buffers.

int32_t maxSide() {
  if (!gl.getIntegerv) return 0;
  GLint values[4] = {0, 0, 0, 0};
  gl.getIntegerv(0x0D33, &values[0]);  // GL_MAX_TEXTURE_SIZE
  gl.getIntegerv(0x84E8, &values[1]);  // GL_MAX_RENDERBUFFER_SIZE
  gl.getIntegerv(0x0D3A, &values[2]);  // GL_MAX_VIEWPORT_DIMS, two values
  int32_t m = 0;
  for (GLint v : values)
    if (v > 0 && (m == 0 || v < m)) m = v;
  return m;
}

void freeOffscreen(GlSurface& g) {
  if (g.fbo && gl.deleteFramebuffers) gl.deleteFramebuffers(1, &g.fbo);
  if (g.rb && gl.deleteRenderbuffers) gl.deleteRenderbuffers(1, &g.rb);
  g.fbo = g.rb = 0;
  std::vector<uint8_t>().swap(g.px);
  g.pw = g.ph = 0;
}

bool offscreen(GlSurface& g) {
  if (!loadFramebuffers()) return false;
  RECT client{0, 0, 0, 0};
  GetClientRect(g.window, &client);
  int32_t w = 1, h = 1;
  w32GlBufferSize(client.right, client.bottom, maxSide(), w, h);
  if (g.fbo && g.pw == w && g.ph == h) {
    gl.bindFramebuffer(kFramebuffer, g.fbo);
    return true;
  }
  freeOffscreen(g);
  gl.genRenderbuffers(1, &g.rb);
  gl.bindRenderbuffer(kRenderbuffer, g.rb);
  gl.renderbufferStorage(kRenderbuffer, kRgba8, w, h);
  gl.genFramebuffers(1, &g.fbo);
  gl.bindFramebuffer(kFramebuffer, g.fbo);
  gl.framebufferRenderbuffer(kFramebuffer, kColour0, kRenderbuffer, g.rb);
  if (gl.checkFramebufferStatus(kFramebuffer) != kComplete) {
    gl.bindFramebuffer(kFramebuffer, 0);
    freeOffscreen(g);
    return false;
  }
  g.px.assign(size_t(w) * size_t(h) * 4, 0);
  g.pw = w;
  g.ph = h;
  return true;
}

// The context goes first, with its framebuffer names, then the DC.
void releaseContext(GlSurface& g) {
  if (!g.context) return;
  if (current(g)) freeOffscreen(g);  // the names belong to this context
  g.context.reset();
  freeOffscreen(g);
  g.off = false;
}

GlSurface* surfaceOfWindow(HWND window) {
  if (!window) return nullptr;
  for (GlSurface& g : gW32Gl)
    if (g.window == window) return &g;
  return nullptr;
}

// The surface whose window stands for the view now. The link is the
// window's peer, which holds the view weakly: once a view is gone no
// surface answers for it, whatever address a later view gets.
GlSurface* surfaceOf(Ptr<Object> view) {
  if (!view) return nullptr;
  for (GlSurface& g : gW32Gl) {
    if (!g.window) continue;
    W32Peer* peer = w32PeerOf(g.window);
    if (peer && peer->view.lock().get() == view.get()) return &g;
  }
  return nullptr;
}

void viewport(GlSurface& g) {
  if (!gl.viewport || !current(g)) return;
  int32_t w = 0, h = 0;
  if (g.off && g.pw > 0) {
    w = g.pw;
    h = g.ph;
  } else {
    RECT client{0, 0, 0, 0};
    GetClientRect(g.window, &client);
    w = client.right;
    h = client.bottom;
  }
  gl.viewport(0, 0, std::max(w, 1), std::max(h, 1));
}

}  // namespace

void W32GlContextTraits::destroy(Handle h) {
  if (gl.makeCurrent) gl.makeCurrent(nullptr, nullptr);
  if (gl.deleteContext) gl.deleteContext(h);
}

int32_t w32GlFind(Ptr<Object> view) {
  GlSurface* g = surfaceOf(view);
  return g ? int32_t(g - gW32Gl) : -1;
}

bool w32GlIsOffscreen(HWND window) {
  GlSurface* g = surfaceOfWindow(window);
  return g && g->off;
}

void w32GlAttach(HWND window) {
  if (!load() || !window || surfaceOfWindow(window)) return;
  GlSurface* g = std::find_if(std::begin(gW32Gl), std::end(gW32Gl), [](const GlSurface& s) { return !s.window; });
  if (g == std::end(gW32Gl)) return;  // eight surfaces live
  W32WindowDC dc(window);
  if (!dc) return;
  PIXELFORMATDESCRIPTOR pfd{};
  pfd.nSize = sizeof pfd;  // 40
  pfd.nVersion = 1;
  pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  pfd.iPixelType = PFD_TYPE_RGBA;
  pfd.cColorBits = 24;
  pfd.cAlphaBits = 8;
  pfd.iLayerType = PFD_MAIN_PLANE;
  int format = ChoosePixelFormat(dc.get(), &pfd);
  if (format == 0 || !SetPixelFormat(dc.get(), format, &pfd)) return;
  *g = GlSurface{};
  g->window = window;
  g->dc = std::move(dc);
}

void w32GlViewport(HWND window) {
  if (GlSurface* g = surfaceOfWindow(window)) viewport(*g);
}

bool w32GlBlit(HWND window, int32_t x, int32_t y, int32_t w, int32_t h) {
  GlSurface* g = surfaceOfWindow(window);
  if (!g || !g->off || g->px.empty() || !gW32CurHdc || !gl.stretchDIBits) return false;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = g->pw;
  info.bmiHeader.biHeight = g->ph;  // bottom-up, as GL reads
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  gl.stretchDIBits(gW32CurHdc, x, y, w, h, 0, 0, g->pw, g->ph, g->px.data(), &info, DIB_RGB_COLORS, SRCCOPY);
  return true;
}

// ---------------------------------------------------------------------------
// 3. The driver's GL operations.

int32_t UXWin32Driver::glKind() { return 2; }

void* UXWin32Driver::glProc(const char* name) {
  if (!name || !load()) return nullptr;
  if (gl.getProcAddress)
    if (PROC p = gl.getProcAddress(name)) return reinterpret_cast<void*>(p);
  return reinterpret_cast<void*>(GetProcAddress(gl.lib, name));
}

uint64_t UXWin32Driver::makeGLContext(Ptr<UXView> view) {
  GlSurface* g = surfaceOf(view);
  if (!g) return 0;
  if (!g->context) {
    HGLRC made = nullptr;
    if (gl.createContextAttribs) {
      const int attributes[] = {0x2091, 3, 0x2092, 3, 0x9126, 1, 0};  // 3.3 core
      made = gl.createContextAttribs(g->dc.get(), nullptr, attributes);
    }
    if (!made && gl.createContext) made = gl.createContext(g->dc.get());
    if (!made) return 0;
    g->context.reset(made);
  }
  if (!current(*g)) return 0;
  loadWithContext();
  if (gl.swapInterval) gl.swapInterval(gW32GlSwap >= 1 ? 1 : 0);
  viewport(*g);
  if (!g->off && offscreen(*g)) {
    g->off = true;
    ShowWindow(g->window, SW_HIDE);
    viewport(*g);
  }
  return uint64_t(g - gW32Gl) + 1;
}

void UXWin32Driver::destroyGLContext(Ptr<UXView> view) {
  if (GlSurface* g = surfaceOf(view)) releaseContext(*g);
}

void UXWin32Driver::resizeGL(Ptr<UXView> view, int32_t, int32_t) {
  if (GlSurface* g = surfaceOf(view)) viewport(*g);
}

void UXWin32Driver::presentGL(Ptr<UXView> view) {
  GlSurface* g = surfaceOf(view);
  if (!g || !g->context) return;
  if (!g->off) {
    SwapBuffers(g->dc.get());
    return;
  }
  if (!current(*g) || g->px.empty()) return;
  gl.bindFramebuffer(kFramebuffer, g->fbo);
  gl.readPixels(0, 0, g->pw, g->ph, kBgra, kUnsignedByte, g->px.data());
  if (HWND parent = GetParent(g->window)) InvalidateRect(parent, nullptr, FALSE);
  // Follows a change of the window's size: the next frame renders at it
  // (a new buffer starts blank).
  if (!offscreen(*g)) {
    g->off = false;
    ShowWindow(g->window, SW_SHOW);
  }
  viewport(*g);
}

void UXWin32Driver::glSetSwapInterval(int32_t n) {
  gW32GlSwap = n;
  if (!gl.swapInterval || !gl.makeCurrent) return;
  for (GlSurface& g : gW32Gl)
    if (g.window && current(g)) gl.swapInterval(n >= 1 ? 1 : 0);
}

void UXWin32Driver::glDrawableSize(Ptr<UXView> view, int32_t& w, int32_t& h) {
  w = h = 0;
  GlSurface* g = surfaceOf(view);
  if (!g || g->pw < 1 || g->ph < 1) return;
  w = g->pw;
  h = g->ph;
}

bool UXWin32Driver::glReadFrame(Ptr<UXView> view, uint32_t* out, uint32_t w, uint32_t h) {
  GlSurface* g = surfaceOf(view);
  if (!g || !out || g->px.empty() || w != uint32_t(g->pw) || h != uint32_t(g->ph)) return false;
  for (uint32_t r = 0; r < h; ++r) {
    const uint8_t* row = g->px.data() + size_t(h - 1 - r) * size_t(w) * 4;
    std::memcpy(out + size_t(r) * size_t(w), row, size_t(w) * 4);  // B, G, R, A is 0xAARRGGBB
  }
  return true;
}

bool UXWin32Driver::compositesWithGL() { return false; }

// ---------------------------------------------------------------------------
// 4. The window procedure of "UXGl32".

LRESULT CALLBACK UXGl32Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      // The frame reaches the screen through presentGL or the parent's
      // paint; the region is only validated here.
      W32Paint paint(window);
      return 0;
    }
    case WM_LBUTTONDOWN: {
      // The click goes on to the parent window at the view's position, so it
      // reaches the toolkit through the window procedure.
      W32Peer* peer = w32PeerOf(window);
      HWND parent = GetParent(window);
      if (!peer || !parent) return 0;
      Ref<UXView> view = cast<UXView>(peer->view.lock());
      if (!view) return 0;
      UXRect frame = view->absoluteFrame();
      int32_t x = int16_t(LOWORD(lParam)) + frame.x(), y = int16_t(HIWORD(lParam)) + frame.y();
      PostMessageW(parent, WM_LBUTTONDOWN, wParam, MAKELPARAM(uint16_t(x), uint16_t(y)));
      return 0;
    }
    case WM_NCDESTROY:
      // The surface goes with its window: context, buffers, then the DC.
      if (GlSurface* g = surfaceOfWindow(window)) {
        releaseContext(*g);
        *g = GlSurface{};
      }
      return DefWindowProcW(window, message, wParam, lParam);
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace quorl
