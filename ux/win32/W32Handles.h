// Move-only owners of the driver's Win32 handles, so that no path has a
// DeleteObject, DestroyIcon, CloseHandle, FindClose, DestroyWindow,
// DestroyMenu, waveOutClose, ReleaseDC, a GL context's deletion, a re-select
// or an EndPaint to forget. A handle that lives for the whole process (the face
// brush, the measuring DC, the toolbar's image list, loaded modules) has no
// owner: its global says so.
//
// Sections:
//   1. W32Unique: the one shape of an owner, and its kinds
//   2. Scoped pairs: a window's DC, a selection, a memory DC, a paint
//   3. W32Dib: a 32-bit DIB section with its pixels
//   4. GL contexts and menus
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <utility>

namespace quorl {

// ---------------------------------------------------------------------------
// 1. W32Unique. Traits give the handle type, the value that means "none"
//    and the call that frees one.
template <class Traits>
class W32Unique {
 public:
  using Handle = typename Traits::Handle;
  W32Unique() = default;
  explicit W32Unique(Handle handle) : handle_(handle) {}
  W32Unique(W32Unique&& o) noexcept : handle_(o.release()) {}
  W32Unique& operator=(W32Unique&& o) noexcept {
    if (this != &o) reset(o.release());
    return *this;
  }
  W32Unique(const W32Unique&) = delete;
  W32Unique& operator=(const W32Unique&) = delete;
  ~W32Unique() { reset(); }
  // Frees the handle held, then holds the one given.
  void reset(Handle handle = Traits::none()) {
    Handle old = std::exchange(handle_, handle);
    if (old != Traits::none()) Traits::destroy(old);
  }
  // Hands the handle on: the caller owns it now.
  Handle release() { return std::exchange(handle_, Traits::none()); }
  Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != Traits::none(); }

 private:
  Handle handle_ = Traits::none();  // owned: freed in reset
};

// Most kinds: null is none, and one call frees a handle.
template <class H, auto Free>
struct W32FreeTraits {
  using Handle = H;
  static Handle none() { return nullptr; }
  static void destroy(Handle h) { Free(h); }
};
template <class H, auto Free>
using W32Owner = W32Unique<W32FreeTraits<H, Free>>;

// Kernel handles of the kinds CreateFileW answers: INVALID_HANDLE_VALUE is
// none.
template <auto Free>
struct W32KernelTraits {
  using Handle = HANDLE;
  static Handle none() { return INVALID_HANDLE_VALUE; }
  static void destroy(Handle h) { Free(h); }
};

using W32GdiObject = W32Owner<HGDIOBJ, &DeleteObject>;  // a pen, brush, font, bitmap or region
using W32Icon = W32Owner<HICON, &DestroyIcon>;
using W32File = W32Unique<W32KernelTraits<&CloseHandle>>;
using W32FindHandle = W32Unique<W32KernelTraits<&FindClose>>;  // a directory search of FindFirstFileW

struct W32WindowTraits {  // a window already gone with its parent is left alone
  using Handle = HWND;
  static Handle none() { return nullptr; }
  static void destroy(Handle h) {
    if (IsWindow(h)) DestroyWindow(h);
  }
};
using W32Window = W32Unique<W32WindowTraits>;

struct W32WaveTraits {  // an open wave device: waveOutClose, through winmm.dll as W32Sound loads it
  using Handle = HWAVEOUT;
  static Handle none() { return nullptr; }
  static void destroy(Handle h);  // W32Sound.cpp
};
using W32WaveOut = W32Unique<W32WaveTraits>;

// ---------------------------------------------------------------------------
// 2. Scoped pairs.

// GetDC (the client area) or GetWindowDC (the whole window, frame included)
// ... ReleaseDC. A null window has no DC; screen() is the screen's.
class W32WindowDC {
 public:
  enum Area { kClient, kWhole };
  W32WindowDC() = default;
  explicit W32WindowDC(HWND window, Area area = kClient)
      : window_(window), dc_(!window ? nullptr : area == kWhole ? GetWindowDC(window) : GetDC(window)) {}
  static W32WindowDC screen() {
    W32WindowDC dc;
    dc.dc_ = GetDC(nullptr);
    return dc;
  }
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

// ---------------------------------------------------------------------------
// 3. W32Dib: a top-down 32-bit DIB section and its pixels, both or neither.
//    A section whose pixel memory did not come back is deleted at once, so
//    a failed section is never kept, nor dropped without being freed.
class W32Dib {
 public:
  W32Dib(int32_t width, int32_t height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = width > 0 && height > 0 ? CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0)
                                             : nullptr;
    adopt(bitmap, bits);
  }
  // Takes a section and the pixel memory its maker answered.
  W32Dib(HBITMAP bitmap, void* bits) { adopt(bitmap, bits); }
  W32Dib(const W32Dib&) = delete;
  W32Dib& operator=(const W32Dib&) = delete;
  HBITMAP get() const { return static_cast<HBITMAP>(bitmap_.get()); }
  uint32_t* bits() const { return bits_; }
  explicit operator bool() const { return bits_ != nullptr; }

 private:
  void adopt(HBITMAP bitmap, void* bits) {
    bitmap_.reset(bitmap);
    if (bitmap && bits) bits_ = static_cast<uint32_t*>(bits);
    else bitmap_.reset();
  }
  W32GdiObject bitmap_;        // owned
  uint32_t* bits_ = nullptr;   // owned by the section
};

// ---------------------------------------------------------------------------
// 4. GL contexts and menus.

// A GL rendering context: made not current and deleted, through the WGL
// entry points W32OpenGL loads by name (the program runs without
// opengl32.dll; a context exists only once they are loaded).
struct W32GlContextTraits {
  using Handle = HGLRC;
  static Handle none() { return nullptr; }
  static void destroy(Handle h);  // W32OpenGL.cpp
};
using W32GlContext = W32Unique<W32GlContextTraits>;

// Owns a menu (a bar or a pop-up): DestroyMenu when it goes, which takes
// its submenus with it. A pop-up appended to a bar belongs to the bar:
// release() hands it over.
using W32Menu = W32Owner<HMENU, &DestroyMenu>;

}  // namespace quorl
