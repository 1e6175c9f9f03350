// The link between a window and the C++ object that owns it: the object is handed over with
// CreateWindowExW, kept in the window's user data, and receives every message after that.
#pragma once

#include <windows.h>

namespace dravelin::win {

// Registers a window class with a button-face background and an arrow cursor, once per program.
// No class icon: windows that carry one set it on themselves.
void RegisterWindowClassOnce(HINSTANCE instance, const wchar_t* className, WNDPROC procedure);

// Registers the common controls' animation class (ANIMATE_CLASSW). The library is loaded here,
// when the first window that needs it is made, rather than with the program: loading it takes
// longer than all the rest of a start with nothing to update (75 ms of a 130 ms start under
// Wine), and the update's own thread, started before the windows are made, gets on meanwhile.
// The program's manifest picks version 6, as it would for an import.
void RegisterAnimationClass();

// The window procedure of a window owned by an `Owner`, which must befriend this template and
// provide `void adoptWindow(HWND)` (called at WM_NCCREATE, so that a creation that fails halfway is
// still cleaned up by the owner), `void forgetWindow()` (called at WM_NCDESTROY, when the system
// has destroyed the window and nothing is left to release) and
// `LRESULT handleMessage(HWND, UINT, WPARAM, LPARAM)`.
template <typename Owner>
LRESULT CALLBACK OwnedWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* owner = reinterpret_cast<Owner*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == WM_NCCREATE) {
    owner = static_cast<Owner*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
    owner->adoptWindow(window);
  }
  if (!owner) return ::DefWindowProcW(window, message, wParam, lParam);
  const LRESULT result = owner->handleMessage(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    owner->forgetWindow();
  }
  return result;
}

}  // namespace dravelin::win
