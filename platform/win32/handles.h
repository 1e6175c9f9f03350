// Owning wrappers for the Win32 handles the program holds. Each handle is released exactly once,
// on every path, by the call that matches the call that made it.
#pragma once

#include <windows.h>

#include <utility>

namespace dravelin::win {

// One owned handle; `Traits` names the handle type, its "no handle" value and its release call.
template <typename Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  UniqueHandle() noexcept = default;
  explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
  ~UniqueHandle() { reset(); }

  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  Handle get() const noexcept { return handle_; }
  explicit operator bool() const noexcept { return handle_ != Traits::invalid(); }

  // Gives up ownership without releasing (for a handle that the system has already released,
  // such as a window that destroyed itself).
  Handle release() noexcept { return std::exchange(handle_, Traits::invalid()); }

  void reset(Handle handle = Traits::invalid()) noexcept {
    if (handle_ != Traits::invalid()) Traits::close(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_ = Traits::invalid();
};

// How a handle says "none": most creating calls return null; CreateFile and FindFirstFile return
// INVALID_HANDLE_VALUE.
enum class NoHandle { Null, MinusOne };

// The traits of a handle of type `H` released by `Close`.
template <typename H, auto Close, NoHandle kNone = NoHandle::Null>
struct ClosedBy {
  using Handle = H;
  static Handle invalid() noexcept {
    if constexpr (kNone == NoHandle::MinusOne) {
      return INVALID_HANDLE_VALUE;
    } else {
      return nullptr;
    }
  }
  static void close(Handle h) noexcept { Close(h); }
};

using UniqueWindow = UniqueHandle<ClosedBy<HWND, ::DestroyWindow>>;
using UniqueFont = UniqueHandle<ClosedBy<HFONT, ::DeleteObject>>;
using UniqueBitmap = UniqueHandle<ClosedBy<HBITMAP, ::DeleteObject>>;
using UniqueIcon = UniqueHandle<ClosedBy<HICON, ::DestroyIcon>>;
using UniqueMemoryDC = UniqueHandle<ClosedBy<HDC, ::DeleteDC>>;
using UniqueFindHandle = UniqueHandle<ClosedBy<HANDLE, ::FindClose, NoHandle::MinusOne>>;
// Files and pipes.
using UniqueFile = UniqueHandle<ClosedBy<HANDLE, ::CloseHandle, NoHandle::MinusOne>>;
// Processes, threads, events, mutexes.
using UniqueKernelHandle = UniqueHandle<ClosedBy<HANDLE, ::CloseHandle>>;

// A device context borrowed from a window (GetDC) and given back to the same window.
class WindowDC {
 public:
  explicit WindowDC(HWND window) noexcept : window_(window), dc_(::GetDC(window)) {}
  ~WindowDC() {
    if (dc_) ::ReleaseDC(window_, dc_);
  }
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;

  HDC get() const noexcept { return dc_; }
  explicit operator bool() const noexcept { return dc_ != nullptr; }

 private:
  HWND window_;
  HDC dc_;
};

// An object selected into a device context for one scope; the previous one goes back after.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) noexcept
      : dc_(dc), previous_(::SelectObject(dc, object)) {}
  ~SelectedObject() {
    if (previous_ && previous_ != HGDI_ERROR) ::SelectObject(dc_, previous_);
  }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace dravelin::win
