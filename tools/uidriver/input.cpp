// Input for another process's windows. Everything is posted: a sent message would block the
// driver until the target's modal loop handled it, and a button that closes the window would
// leave the driver waiting on a window that is gone.
#include "uidriver.h"
#include "win32/last_error.h"

namespace dravelin::uidriver {

namespace {

// WM_KEYUP's lParam: the key was down before (bit 30) and is being released (bit 31).
constexpr LPARAM kKeyReleaseBits = 0xC0000000;
constexpr int kScanCodeShift = 16;

void Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!::PostMessageW(window, message, wParam, lParam)) win::ThrowLastError("PostMessageW");
}

WPARAM VirtualKey(Key key) {
  switch (key) {
    case Key::Enter:
      return VK_RETURN;
    case Key::Escape:
      return VK_ESCAPE;
    case Key::Tab:
      return VK_TAB;
  }
  throw DriverError("unknown key");
}

}  // namespace

void ClickButton(HWND button) {
  // BM_CLICK presses and releases the button in its own thread: the button takes the focus and
  // tells its parent that it was clicked, as for a mouse click.
  Post(button, BM_CLICK, 0, 0);
}

Key ParseKey(std::string_view name) {
  if (name == "enter") return Key::Enter;
  if (name == "escape") return Key::Escape;
  if (name == "tab") return Key::Tab;
  throw DriverError("unknown key \"" + std::string(name) + "\" (enter, escape or tab)");
}

void PressKey(HWND window, Key key) {
  HWND target = FocusedControl(window);
  if (!target) target = window;
  const WPARAM virtualKey = VirtualKey(key);
  const auto scanCode =
      static_cast<LPARAM>(::MapVirtualKeyW(static_cast<UINT>(virtualKey), MAPVK_VK_TO_VSC));
  const LPARAM down = (scanCode << kScanCodeShift) | 1;  // repeat count 1
  // The target's message loop hands these to IsDialogMessage, which acts on the key going down.
  Post(target, WM_KEYDOWN, virtualKey, down);
  // The release is only for completeness; when the key down has already closed the window,
  // there is nothing left to release it to.
  static_cast<void>(::PostMessageW(target, WM_KEYUP, virtualKey, down | kKeyReleaseBits));
}

void CloseThroughSystemMenu(HWND window) { Post(window, WM_SYSCOMMAND, SC_CLOSE, 0); }

}  // namespace dravelin::uidriver
