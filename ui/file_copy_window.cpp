#include "file_copy_window.h"

#include <commctrl.h>

#include "resource_ids.h"
#include "win32/last_error.h"

namespace dravelin::win {

namespace {

constexpr const wchar_t* kWindowClass = L"DravelinFileCopy";
constexpr const wchar_t* kClipName = L"filecopy.avi";

}  // namespace

FileCopyWindow::FileCopyWindow(Build build, HINSTANCE instance)
    : build_(build), instance_(instance), dpi_(DisplayDpi()) {
  const FileCopyWindowLayout& layout = FileCopyLayout(build_);
  banner_ = LoadBitmapResource(instance_, IDB_BANNER);
  if (layout.hasIcon) icons_ = LoadWindowIcons(instance_, IDI_GLOBE);
  RegisterWindowClassOnce(instance_, kWindowClass, OwnedWindowProc<FileCopyWindow>);
  RegisterAnimationClass();

  const RECT frame = WindowRectForClient(layout.client, std::nullopt, layout.frame, dpi_);
  const std::wstring caption(layout.caption);
  if (!::CreateWindowExW(layout.frame.exStyle, kWindowClass, caption.c_str(), layout.frame.style,
                         frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top,
                         nullptr, nullptr, instance_, this)) {
    ThrowLastError("CreateWindowExW");
  }
  if (layout.hasIcon) SetWindowIcons(window_.get(), icons_);
  if (!layout.closeButtonEnabled) {
    ::EnableMenuItem(::GetSystemMenu(window_.get(), FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
  }
  createControls();
}

void FileCopyWindow::createControls() {
  const FileCopyWindowLayout& layout = FileCopyLayout(build_);
  // WS_CLIPSIBLINGS keeps the banner from painting over the animation that lies on top of it.
  CreateControl(window_.get(), instance_, L"STATIC", L"그림",
                WS_VISIBLE | WS_CLIPSIBLINGS | SS_OWNERDRAW, ToPixels(layout.banner, dpi_),
                filecopy::Banner);
  // ACS_CENTER keeps the control at its designed size whatever the clip's frame size;
  // ACS_TRANSPARENT lets it ask this window for its background (WM_CTLCOLORSTATIC).
  animation_ = CreateControl(window_.get(), instance_, ANIMATE_CLASSW, L"",
                             WS_VISIBLE | ACS_CENTER | ACS_TRANSPARENT,
                             ToPixels(layout.animation, dpi_), filecopy::FileCopyAVI);
  // Created later, the animation would lie beneath the banner; it belongs on top.
  ::SetWindowPos(animation_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void FileCopyWindow::show(Placement placement) {
  if (placement == InFront) {
    ::ShowWindow(window_.get(), SW_SHOWNORMAL);
    ::UpdateWindow(window_.get());
    return;
  }
  placeBehindFront(SWP_SHOWWINDOW);
  ::UpdateWindow(window_.get());
  // Wine makes a thread's IME window at its first paint, on top of the others, and raises this
  // window with it.
  placeBehindFront(0);
}

void FileCopyWindow::placeBehindFront(UINT flags) {
  // Just beneath the window in front, unless that one stays on top of everything: put after a
  // topmost window, this one would become topmost itself.
  HWND front = ::GetForegroundWindow();
  if (!front || front == window_.get() ||
      (::GetWindowLongPtrW(front, GWL_EXSTYLE) & WS_EX_TOPMOST)) {
    front = HWND_TOP;
  }
  ::SetWindowPos(window_.get(), front, 0, 0, 0, 0,
                 flags | SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

std::optional<std::wstring> FileCopyWindow::FindClip(Runtime& runtime) {
  std::wstring clip = runtime.programDirectory() + L"\\" + kClipName;
  // The same lookup as for any file: hidden and system files and directories count as absent.
  if (!runtime.listFiles(clip)->next()) return std::nullopt;
  return clip;
}

void FileCopyWindow::play(const std::wstring& clip) {
  // Auto-play on, then open: the clip starts playing the moment it is open, and loops.
  ::SetWindowLongPtrW(animation_, GWL_STYLE,
                      ::GetWindowLongPtrW(animation_, GWL_STYLE) | ACS_AUTOPLAY);
  if (!::SendMessageW(animation_, ACM_OPENW, 0, reinterpret_cast<LPARAM>(clip.c_str()))) {
    ThrowLastError("ACM_OPENW");
  }
}

void FileCopyWindow::stop() {
  // The file stays open until the control is given no clip.
  ::SendMessageW(animation_, ACM_OPENW, 0, 0);
}

LRESULT FileCopyWindow::handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      // Ignored: the update must finish and start the client; the window closes itself then.
      return 0;
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lParam) == animation_) {
        ::SetBkColor(reinterpret_cast<HDC>(wParam), ::GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
      }
      break;
    case WM_DRAWITEM:
      if (wParam == filecopy::Banner) {
        DrawStretched(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam), banner_.get());
        return TRUE;
      }
      break;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace dravelin::win
