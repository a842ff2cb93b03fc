// Move-only owners of GDI objects, selections, paints, windows, window DCs,
// GL contexts and menus, so that no path has a DeleteObject, a re-select,
// an EndPaint, a ReleaseDC or a DestroyMenu to forget.
#pragma once

#include <windows.h>

#include <utility>

namespace quorl {

// A move-only owner of one handle, closed with Close when it goes.
template <class Handle, auto Close> class W32Owner {
 public:
  W32Owner() = default;
  explicit W32Owner(Handle handle) : handle_(handle) {}
  W32Owner(W32Owner&& o) noexcept : handle_(std::exchange(o.handle_, nullptr)) {}
  W32Owner& operator=(W32Owner&& o) noexcept {
    if (this != &o) {
      reset();
      handle_ = std::exchange(o.handle_, nullptr);
    }
    return *this;
  }
  W32Owner(const W32Owner&) = delete;
  W32Owner& operator=(const W32Owner&) = delete;
  ~W32Owner() { reset(); }
  void reset() {
    if (handle_) Close(handle_);
    handle_ = nullptr;
  }
  Handle release() { return std::exchange(handle_, nullptr); }
  Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  Handle handle_ = nullptr;  // owned: closed in reset
};

// Owns a pen, brush, font, bitmap or region: DeleteObject when it goes.
using W32GdiObject = W32Owner<HGDIOBJ, &DeleteObject>;

// Selects an object into a DC and puts the previous one back when it goes.
// Declare it after the W32GdiObject it selects, so it is undone first.
class W32Select {
 public:
  W32Select(HDC dc, HGDIOBJ object) : dc_(dc), previous_(dc && object ? SelectObject(dc, object) : nullptr) {}
  W32Select(const W32Select&) = delete;
  W32Select& operator=(const W32Select&) = delete;
  ~W32Select() {
    if (dc_ && previous_) SelectObject(dc_, previous_);
  }

 private:
  HDC dc_;            // borrowed
  HGDIOBJ previous_;  // borrowed: the DC's own object, put back
};

// A memory DC: DeleteDC when it goes.
class W32MemoryDC {
 public:
  explicit W32MemoryDC(HDC like) : dc_(CreateCompatibleDC(like)) {}
  W32MemoryDC(const W32MemoryDC&) = delete;
  W32MemoryDC& operator=(const W32MemoryDC&) = delete;
  ~W32MemoryDC() {
    if (dc_) DeleteDC(dc_);
  }
  HDC get() const { return dc_; }

 private:
  HDC dc_;  // owned: DeleteDC
};

// BeginPaint ... EndPaint.
class W32Paint {
 public:
  explicit W32Paint(HWND window) : window_(window), dc_(BeginPaint(window, &ps_)) {}
  W32Paint(const W32Paint&) = delete;
  W32Paint& operator=(const W32Paint&) = delete;
  ~W32Paint() { EndPaint(window_, &ps_); }
  HDC dc() const { return dc_; }

 private:
  HWND window_;  // borrowed
  PAINTSTRUCT ps_{};
  HDC dc_;       // owned by the paint: released by EndPaint
};

// Owns a window: DestroyWindow when it goes.
class W32Window {
 public:
  W32Window() = default;
  explicit W32Window(HWND window) : window_(window) {}
  W32Window(W32Window&& o) noexcept : window_(std::exchange(o.window_, nullptr)) {}
  W32Window& operator=(W32Window&& o) noexcept {
    if (this != &o) {
      reset();
      window_ = std::exchange(o.window_, nullptr);
    }
    return *this;
  }
  W32Window(const W32Window&) = delete;
  W32Window& operator=(const W32Window&) = delete;
  ~W32Window() { reset(); }
  void reset() {
    if (window_ && IsWindow(window_)) DestroyWindow(window_);
    window_ = nullptr;
  }
  HWND release() { return std::exchange(window_, nullptr); }
  HWND get() const { return window_; }

 private:
  HWND window_ = nullptr;  // owned: destroyed in reset
};

// A window's DC taken with GetDC (a null window: the screen's): ReleaseDC
// when it goes. A window of a CS_OWNDC class keeps the same DC, so an owner
// may hold it for as long as the window lives.
class W32WindowDC {
 public:
  W32WindowDC() = default;
  explicit W32WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
  W32WindowDC(W32WindowDC&& o) noexcept
      : window_(std::exchange(o.window_, nullptr)), dc_(std::exchange(o.dc_, nullptr)) {}
  W32WindowDC& operator=(W32WindowDC&& o) noexcept {
    if (this != &o) {
      reset();
      window_ = std::exchange(o.window_, nullptr);
      dc_ = std::exchange(o.dc_, nullptr);
    }
    return *this;
  }
  W32WindowDC(const W32WindowDC&) = delete;
  W32WindowDC& operator=(const W32WindowDC&) = delete;
  ~W32WindowDC() { reset(); }
  void reset() {
    if (dc_) ReleaseDC(window_, dc_);
    window_ = nullptr;
    dc_ = nullptr;
  }
  HDC get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HWND window_ = nullptr;  // borrowed
  HDC dc_ = nullptr;       // owned: released in reset
};

// Owns a GL rendering context: made not current and deleted when it goes.
// The WGL entry points are looked up at run time (the program runs without
// opengl32.dll), so the owner carries the two it needs.
class W32GlContext {
 public:
  using MakeCurrent = BOOL(WINAPI*)(HDC, HGLRC);
  using Delete = BOOL(WINAPI*)(HGLRC);
  W32GlContext() = default;
  W32GlContext(HGLRC context, MakeCurrent makeCurrent, Delete deleteContext)
      : context_(context), makeCurrent_(makeCurrent), delete_(deleteContext) {}
  W32GlContext(W32GlContext&& o) noexcept
      : context_(std::exchange(o.context_, nullptr)), makeCurrent_(o.makeCurrent_), delete_(o.delete_) {}
  W32GlContext& operator=(W32GlContext&& o) noexcept {
    if (this != &o) {
      reset();
      context_ = std::exchange(o.context_, nullptr);
      makeCurrent_ = o.makeCurrent_;
      delete_ = o.delete_;
    }
    return *this;
  }
  W32GlContext(const W32GlContext&) = delete;
  W32GlContext& operator=(const W32GlContext&) = delete;
  ~W32GlContext() { reset(); }
  void reset() {
    if (context_) {
      if (makeCurrent_) makeCurrent_(nullptr, nullptr);
      if (delete_) delete_(context_);
    }
    context_ = nullptr;
  }
  HGLRC get() const { return context_; }
  explicit operator bool() const { return context_ != nullptr; }

 private:
  HGLRC context_ = nullptr;  // owned: deleted in reset
  MakeCurrent makeCurrent_ = nullptr;
  Delete delete_ = nullptr;
};

// Owns a menu (a bar or a pop-up): DestroyMenu when it goes, which takes
// its submenus with it. A pop-up appended to a bar belongs to the bar:
// release() hands it over.
using W32Menu = W32Owner<HMENU, &DestroyMenu>;

}  // namespace quorl
