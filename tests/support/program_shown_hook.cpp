// A window hook library that the whole-program tests place on the main thread of the program
// they start. Each time a top-level window of that thread comes on screen, it sets the event
// named after the process and the window's caption, when the test has made one.
//
// Why a hook: the progress window is on screen for a moment only when there is nothing to ask,
// too briefly to be caught by looking for it, and Wine raises no EVENT_OBJECT_SHOW for
// SetWinEventHook. A thread hook with a library is what Wine does deliver across processes: it
// loads this library into the program and calls the procedure on the program's own thread.
#include <windows.h>

#include "program_shown_event.h"

namespace {

constexpr int kCaptionCapacity = 256;

bool IsTopLevel(HWND window) { return ::GetAncestor(window, GA_PARENT) == ::GetDesktopWindow(); }

void Announce(HWND window) {
  wchar_t caption[kCaptionCapacity] = {};
  ::GetWindowTextW(window, caption, kCaptionCapacity);
  const std::wstring name = dravelin::uitest::ShownEventName(::GetCurrentProcessId(), caption);
  // No event of that name: the test is not waiting for this window.
  if (const HANDLE event = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, name.c_str())) {
    ::SetEvent(event);
    ::CloseHandle(event);
  }
}

}  // namespace

// WH_CALLWNDPROCRET: runs after the window has handled the message, so a window that has just
// been shown is visible by then.
extern "C" __declspec(dllexport) LRESULT CALLBACK
    ShownWindowHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) {
    const auto& call = *reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (call.message == WM_WINDOWPOSCHANGED) {
      const auto& position = *reinterpret_cast<const WINDOWPOS*>(call.lParam);
      if ((position.flags & SWP_SHOWWINDOW) && IsTopLevel(call.hwnd) &&
          ::IsWindowVisible(call.hwnd)) {
        Announce(call.hwnd);
      }
    }
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}
