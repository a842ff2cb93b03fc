// GL surfaces: a table of at most 8, one per GL view, each over a "UXGl32"
// child window. A surface renders on screen (double-buffered, SwapBuffers)
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

// Slots fill in order and are never freed: a view keeps its window and
// device context for the life of the program.
const Object* gW32GlPeer[kSlots] = {};  // not counted: the key of every look-up
HWND gW32GlHwnd[kSlots] = {};           // borrowed: the realised child window
HDC gW32GlDc[kSlots] = {};              // owned: taken at registration and kept (CS_OWNDC)
HGLRC gW32GlCtx[kSlots] = {};           // owned: deleted by destroyGLContext
uint32_t gW32GlFbo[kSlots] = {}, gW32GlRb[kSlots] = {};
std::vector<uint8_t> gW32GlPx[kSlots];  // read-back, bottom-up rows of B, G, R, A
int32_t gW32GlPW[kSlots] = {}, gW32GlPH[kSlots] = {};
uint32_t gW32GlOff[kSlots] = {};
int32_t gW32GlCount = 0;
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

bool current(int32_t s) { return gl.makeCurrent && gW32GlCtx[s] && gl.makeCurrent(gW32GlDc[s], gW32GlCtx[s]); }

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

void freeOffscreen(int32_t s) {
  if (gW32GlFbo[s] && gl.deleteFramebuffers) gl.deleteFramebuffers(1, &gW32GlFbo[s]);
  if (gW32GlRb[s] && gl.deleteRenderbuffers) gl.deleteRenderbuffers(1, &gW32GlRb[s]);
  gW32GlFbo[s] = gW32GlRb[s] = 0;
  std::vector<uint8_t>().swap(gW32GlPx[s]);
  gW32GlPW[s] = gW32GlPH[s] = 0;
}

bool offscreen(int32_t s) {
  if (!loadFramebuffers()) return false;
  RECT client{0, 0, 0, 0};
  GetClientRect(gW32GlHwnd[s], &client);
  int32_t w = 1, h = 1;
  w32GlBufferSize(client.right, client.bottom, maxSide(), w, h);
  if (gW32GlFbo[s] && gW32GlPW[s] == w && gW32GlPH[s] == h) {
    gl.bindFramebuffer(kFramebuffer, gW32GlFbo[s]);
    return true;
  }
  freeOffscreen(s);
  gl.genRenderbuffers(1, &gW32GlRb[s]);
  gl.bindRenderbuffer(kRenderbuffer, gW32GlRb[s]);
  gl.renderbufferStorage(kRenderbuffer, kRgba8, w, h);
  gl.genFramebuffers(1, &gW32GlFbo[s]);
  gl.bindFramebuffer(kFramebuffer, gW32GlFbo[s]);
  gl.framebufferRenderbuffer(kFramebuffer, kColour0, kRenderbuffer, gW32GlRb[s]);
  if (gl.checkFramebufferStatus(kFramebuffer) != kComplete) {
    gl.bindFramebuffer(kFramebuffer, 0);
    freeOffscreen(s);
    return false;
  }
  gW32GlPx[s].assign(size_t(w) * size_t(h) * 4, 0);
  gW32GlPW[s] = w;
  gW32GlPH[s] = h;
  return true;
}

}  // namespace

int32_t w32GlFind(Ptr<Object> view) {
  if (!view) return -1;
  for (int32_t s = 0; s < gW32GlCount; ++s)
    if (gW32GlPeer[s] == view.get()) return s;
  return -1;
}

bool w32GlIsOffscreen(Ptr<Object> view) {
  int32_t s = w32GlFind(view);
  return s >= 0 && gW32GlOff[s] != 0;
}

void w32GlAttach(Ptr<Object> view, HWND window) {
  if (!load() || gW32GlCount >= kSlots || !view || !window) return;
  if (w32GlFind(view) >= 0) return;
  HDC dc = GetDC(window);
  if (!dc) return;
  PIXELFORMATDESCRIPTOR pfd{};
  pfd.nSize = sizeof pfd;  // 40
  pfd.nVersion = 1;
  pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  pfd.iPixelType = PFD_TYPE_RGBA;
  pfd.cColorBits = 24;
  pfd.cAlphaBits = 8;
  pfd.iLayerType = PFD_MAIN_PLANE;
  int format = ChoosePixelFormat(dc, &pfd);
  if (format == 0 || !SetPixelFormat(dc, format, &pfd)) {
    ReleaseDC(window, dc);
    return;
  }
  int32_t s = gW32GlCount++;
  gW32GlPeer[s] = view.get();
  gW32GlHwnd[s] = window;
  gW32GlDc[s] = dc;
  gW32GlCtx[s] = nullptr;
}

void w32GlViewport(Ptr<Object> view) {
  int32_t s = w32GlFind(view);
  if (s < 0 || !gl.viewport || !current(s)) return;
  int32_t w = 0, h = 0;
  if (gW32GlOff[s] && gW32GlPW[s] > 0) {
    w = gW32GlPW[s];
    h = gW32GlPH[s];
  } else {
    RECT client{0, 0, 0, 0};
    GetClientRect(gW32GlHwnd[s], &client);
    w = client.right;
    h = client.bottom;
  }
  gl.viewport(0, 0, std::max(w, 1), std::max(h, 1));
}

bool w32GlBlit(Ptr<Object> view, int32_t x, int32_t y, int32_t w, int32_t h) {
  int32_t s = w32GlFind(view);
  if (s < 0 || !gW32GlOff[s] || gW32GlPx[s].empty() || !gW32CurHdc || !gl.stretchDIBits) return false;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = gW32GlPW[s];
  info.bmiHeader.biHeight = gW32GlPH[s];  // bottom-up, as GL reads
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  gl.stretchDIBits(gW32CurHdc, x, y, w, h, 0, 0, gW32GlPW[s], gW32GlPH[s], gW32GlPx[s].data(), &info,
                   DIB_RGB_COLORS, SRCCOPY);
  return true;
}

bool w32GlReadFrame(Ptr<Object> view, uint32_t* out, int32_t width, int32_t height) {
  int32_t s = w32GlFind(view);
  if (s < 0 || !out || gW32GlPx[s].empty() || width != gW32GlPW[s] || height != gW32GlPH[s]) return false;
  for (int32_t r = 0; r < height; ++r) {
    const uint8_t* row = gW32GlPx[s].data() + size_t(height - 1 - r) * size_t(width) * 4;
    std::memcpy(out + size_t(r) * size_t(width), row, size_t(width) * 4);  // B, G, R, A is 0xAARRGGBB
  }
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
  int32_t s = w32GlFind(view);
  if (s < 0) return 0;
  if (!gW32GlCtx[s]) {
    if (gl.createContextAttribs) {
      const int attributes[] = {0x2091, 3, 0x2092, 3, 0x9126, 1, 0};  // 3.3 core
      gW32GlCtx[s] = gl.createContextAttribs(gW32GlDc[s], nullptr, attributes);
    }
    if (!gW32GlCtx[s] && gl.createContext) gW32GlCtx[s] = gl.createContext(gW32GlDc[s]);
    if (!gW32GlCtx[s]) return 0;
  }
  if (!current(s)) return 0;
  loadWithContext();
  if (gl.swapInterval) gl.swapInterval(gW32GlSwap >= 1 ? 1 : 0);
  w32GlViewport(view);
  if (!gW32GlOff[s] && offscreen(s)) {
    gW32GlOff[s] = 1;
    ShowWindow(gW32GlHwnd[s], SW_HIDE);
    w32GlViewport(view);
  }
  return uint64_t(s) + 1;
}

void UXWin32Driver::destroyGLContext(Ptr<UXView> view) {
  int32_t s = w32GlFind(view);
  if (s < 0 || !gW32GlCtx[s]) return;
  if (current(s)) freeOffscreen(s);  // the names belong to this context
  if (gl.makeCurrent) gl.makeCurrent(nullptr, nullptr);
  if (gl.deleteContext) gl.deleteContext(gW32GlCtx[s]);
  gW32GlCtx[s] = nullptr;
  freeOffscreen(s);
  gW32GlOff[s] = 0;
}

void UXWin32Driver::resizeGL(Ptr<UXView> view, int32_t, int32_t) { w32GlViewport(view); }

void UXWin32Driver::presentGL(Ptr<UXView> view) {
  int32_t s = w32GlFind(view);
  if (s < 0 || !gW32GlCtx[s]) return;
  if (!gW32GlOff[s]) {
    SwapBuffers(gW32GlDc[s]);
    return;
  }
  if (!current(s) || gW32GlPx[s].empty()) return;
  gl.bindFramebuffer(kFramebuffer, gW32GlFbo[s]);
  gl.readPixels(0, 0, gW32GlPW[s], gW32GlPH[s], kBgra, kUnsignedByte, gW32GlPx[s].data());
  if (HWND parent = GetParent(gW32GlHwnd[s])) InvalidateRect(parent, nullptr, FALSE);
  // Follows a change of the window's size: the next frame renders at it
  // (a new buffer starts blank).
  if (!offscreen(s)) {
    gW32GlOff[s] = 0;
    ShowWindow(gW32GlHwnd[s], SW_SHOW);
  }
  w32GlViewport(view);
}

void UXWin32Driver::glSetSwapInterval(int32_t n) {
  gW32GlSwap = n;
  if (!gl.swapInterval || !gl.makeCurrent) return;
  for (int32_t s = 0; s < gW32GlCount; ++s)
    if (current(s)) gl.swapInterval(n >= 1 ? 1 : 0);
}

void UXWin32Driver::glDrawableSize(Ptr<UXView> view, int32_t& w, int32_t& h) {
  w = h = 0;
  int32_t s = w32GlFind(view);
  if (s < 0 || gW32GlPW[s] < 1 || gW32GlPH[s] < 1) return;
  w = gW32GlPW[s];
  h = gW32GlPH[s];
}

bool UXWin32Driver::glReadFrame(Ptr<UXView> view, uint8_t* buffer, uint32_t capacity) {
  // The frame as R, G, B, A bytes, rows top-down, when it fits the buffer.
  int32_t s = w32GlFind(view);
  if (s < 0 || !buffer || gW32GlPx[s].empty()) return false;
  size_t count = size_t(gW32GlPW[s]) * size_t(gW32GlPH[s]);
  if (count * 4 > capacity) return false;
  std::vector<uint32_t> pixels(count);
  if (!w32GlReadFrame(view, pixels.data(), gW32GlPW[s], gW32GlPH[s])) return false;
  for (size_t i = 0; i < count; ++i) {
    uint32_t p = pixels[i];
    buffer[i * 4] = uint8_t(p >> 16);
    buffer[i * 4 + 1] = uint8_t(p >> 8);
    buffer[i * 4 + 2] = uint8_t(p);
    buffer[i * 4 + 3] = uint8_t(p >> 24);
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
      if (!peer || !parent || peer->node < 0 || !w32IsLive(peer->window)) return 0;
      UXNodeTree* tree = gW32TreeOf[peer->window];
      if (!tree || !peer->view.lock()) return 0;
      int32_t fx = 0, fy = 0, fw = 0, fh = 0;
      tree->absFrame(peer->node, fx, fy, fw, fh);
      int32_t x = int16_t(LOWORD(lParam)) + fx, y = int16_t(HIWORD(lParam)) + fy;
      PostMessageW(parent, WM_LBUTTONDOWN, wParam, MAKELPARAM(uint16_t(x), uint16_t(y)));
      return 0;
    }
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace quorl
