// Move-only owners of GDI objects, selections, paints, windows and
// directory searches, so that no path has a DeleteObject, a re-select, an
// EndPaint or a FindClose to forget.
#pragma once

#include <windows.h>

#include <utility>

namespace quorl {

// Owns a pen, brush, font, bitmap or region: DeleteObject when it goes.
class W32GdiObject {
 public:
  W32GdiObject() = default;
  explicit W32GdiObject(HGDIOBJ object) : object_(object) {}
  W32GdiObject(W32GdiObject&& o) noexcept : object_(std::exchange(o.object_, nullptr)) {}
  W32GdiObject& operator=(W32GdiObject&& o) noexcept {
    if (this != &o) {
      reset();
      object_ = std::exchange(o.object_, nullptr);
    }
    return *this;
  }
  W32GdiObject(const W32GdiObject&) = delete;
  W32GdiObject& operator=(const W32GdiObject&) = delete;
  ~W32GdiObject() { reset(); }
  void reset() {
    if (object_) DeleteObject(object_);
    object_ = nullptr;
  }
  HGDIOBJ get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }

 private:
  HGDIOBJ object_ = nullptr;  // owned: deleted in reset
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

// Owns a directory search of FindFirstFileW: FindClose when it goes.
class W32FindHandle {
 public:
  W32FindHandle() = default;
  explicit W32FindHandle(HANDLE find) : find_(find) {}
  W32FindHandle(W32FindHandle&& o) noexcept : find_(std::exchange(o.find_, INVALID_HANDLE_VALUE)) {}
  W32FindHandle& operator=(W32FindHandle&& o) noexcept {
    if (this != &o) {
      reset();
      find_ = std::exchange(o.find_, INVALID_HANDLE_VALUE);
    }
    return *this;
  }
  W32FindHandle(const W32FindHandle&) = delete;
  W32FindHandle& operator=(const W32FindHandle&) = delete;
  ~W32FindHandle() { reset(); }
  void reset() {
    if (find_ != INVALID_HANDLE_VALUE) FindClose(find_);
    find_ = INVALID_HANDLE_VALUE;
  }
  HANDLE get() const { return find_; }
  explicit operator bool() const { return find_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE find_ = INVALID_HANDLE_VALUE;  // owned: closed in reset
};

}  // namespace quorl
