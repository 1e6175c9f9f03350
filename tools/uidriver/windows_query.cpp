// Finding windows and reading their state from another process.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <thread>

#include "uidriver.h"
#include "win32/last_error.h"

namespace dravelin::uidriver {

namespace {

constexpr Milliseconds kPollInterval{20};
constexpr int kClassNameCapacity = 256;

[[noreturn]] void Fail(const std::string& what) { throw DriverError(what); }

// Polls `ready` until it gives a non-null result or the time is up.
template <typename Check>
auto PollUntil(Check ready, Milliseconds timeout, const std::string& what) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (auto result = ready()) return result;
    if (std::chrono::steady_clock::now() >= deadline)
      Fail("timed out after " + std::to_string(timeout.count()) + " ms waiting for " + what);
    std::this_thread::sleep_for(kPollInterval);
  }
}

std::wstring WindowText(HWND window) {
  // For a window of another process this reads the text the system keeps for it, without
  // sending WM_GETTEXT, so a busy target cannot block the driver.
  const int length = ::GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(window, text.data(), length + 1)));
  return text;
}

GUITHREADINFO ThreadState(HWND window) {
  GUITHREADINFO state{};
  state.cbSize = sizeof state;
  const DWORD thread = ::GetWindowThreadProcessId(window, nullptr);
  if (!thread || !::GetGUIThreadInfo(thread, &state)) win::ThrowLastError("GetGUIThreadInfo");
  return state;
}

bool ReadyForInput(HWND window) {
  if (!::IsWindowVisible(window)) return false;
  const GUITHREADINFO state = ThreadState(window);
  const HWND focus = state.hwndFocus;
  return state.hwndActive == window && focus && (focus == window || ::IsChild(window, focus));
}

}  // namespace

Milliseconds Scaled(Milliseconds usual) {
  static const long scale = [] {
    const char* text = std::getenv("DRAVELIN_WAIT_SCALE");
    return text && *text ? std::max(1L, std::stol(text)) : 1L;
  }();
  return usual * scale;
}

std::string ToUtf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int bytes =
      ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<size_t>(bytes), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, result.data(), bytes, nullptr, nullptr);
  return result;
}

std::wstring FromUtf8(std::string_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int units = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::wstring result(static_cast<size_t>(units), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, result.data(), units);
  return result;
}

std::string Describe(const ControlInfo& control) {
  const RECT& r = control.rect;
  return "id=" + std::to_string(control.id) + " class=" + ToUtf8(control.className) +
         " rect=" + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
         std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top) +
         " visible=" + (control.visible ? "1" : "0") + " enabled=" + (control.enabled ? "1" : "0") +
         " text=\"" + ToUtf8(control.text) + "\"";
}

namespace {

struct CaptionSearch {
  std::wstring_view caption;
  std::vector<HWND> found;
};

// A named CALLBACK function: 32-bit Windows calls it with the stdcall convention, which a
// lambda cannot be converted to.
BOOL CALLBACK MatchCaption(HWND window, LPARAM search) {
  auto* s = reinterpret_cast<CaptionSearch*>(search);
  if (::IsWindowVisible(window) && WindowText(window) == s->caption) s->found.push_back(window);
  return TRUE;
}

}  // namespace

std::vector<HWND> FindTopWindows(std::wstring_view caption) {
  CaptionSearch search{caption, {}};
  ::EnumWindows(MatchCaption, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND FindTopWindow(std::wstring_view caption) {
  const std::vector<HWND> found = FindTopWindows(caption);
  return found.empty() ? nullptr : found.front();
}

void WaitUntilIdle(HWND window, Milliseconds timeout) {
  // A message sent from another thread is handled only when the target asks for its next
  // message, after whatever it is doing now. Not SMTO_ABORTIFHUNG: Wine calls a thread hung once
  // it has asked for no message for 5 s, which a slow (emulated) program does while it is busy
  // drawing, so the wait would end early; a thread that really hangs still runs out the timeout.
  DWORD_PTR ignored = 0;
  if (!::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, static_cast<UINT>(timeout.count()),
                             &ignored))
    Fail("the window does not answer (its thread pumps no messages)");
}

HWND WaitForWindow(std::wstring_view caption, Milliseconds timeout) {
  const HWND window = PollUntil(
      [caption]() -> HWND {
        HWND found = FindTopWindow(caption);
        return found && ReadyForInput(found) ? found : nullptr;
      },
      timeout, "the window \"" + ToUtf8(caption) + "\"");
  WaitUntilIdle(window, timeout);  // done with showing itself
  return window;
}

void WaitUntilReady(HWND window, Milliseconds timeout) {
  PollUntil([window] { return !::IsWindow(window) || ReadyForInput(window); }, timeout,
            "a window to be ready for input");
  if (!::IsWindow(window)) Fail("the window went before it was ready for input");
  WaitUntilIdle(window, timeout);  // done with showing itself
}

void BringToFront(HWND window, Milliseconds timeout) {
  // Under Wine the X server's focus events of earlier changes (another program's window that
  // went, and the focus fell back to the desktop) may come in after this call and move the
  // foreground away again: the window is brought up again until it has the keyboard, as a
  // user would click it again.
  PollUntil(
      [window] {
        if (!::IsWindow(window) || ReadyForInput(window)) return true;
        if (!::SetForegroundWindow(window) && ::IsWindow(window))
          win::ThrowLastError("SetForegroundWindow");
        return false;
      },
      timeout, "a window to come to the front");
  if (!::IsWindow(window)) Fail("the window went before it came to the front");
}

void WaitUntilGone(HWND window, Milliseconds timeout) {
  PollUntil([window] { return !::IsWindow(window); }, timeout, "a window to close");
}

ControlInfo InspectControl(HWND control) {
  wchar_t className[kClassNameCapacity] = {};
  if (!::GetClassNameW(control, className, kClassNameCapacity))
    win::ThrowLastError("GetClassNameW");
  RECT rect{};
  if (!::GetWindowRect(control, &rect)) win::ThrowLastError("GetWindowRect");
  // Screen to the parent's client coordinates; a top-level window keeps screen coordinates.
  if (HWND parent = ::GetAncestor(control, GA_PARENT); parent && parent != ::GetDesktopWindow())
    ::MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
  return {control,
          ::GetDlgCtrlID(control),
          className,
          WindowText(control),
          rect,
          ::IsWindowVisible(control) != FALSE,
          ::IsWindowEnabled(control) != FALSE};
}

std::vector<ControlInfo> ListControls(HWND window) {
  std::vector<ControlInfo> controls;
  for (HWND child = ::GetWindow(window, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
    controls.push_back(InspectControl(child));
  return controls;
}

HWND FindControlByText(HWND window, std::wstring_view text) {
  for (const ControlInfo& control : ListControls(window))
    if (control.text == text) return control.handle;
  Fail("no control with the text \"" + ToUtf8(text) + "\"");
}

HWND FocusedControl(HWND window) { return ThreadState(window).hwndFocus; }

HWND WaitForFocusChange(HWND window, HWND previous, Milliseconds timeout) {
  const HWND focus = PollUntil(
      [window, previous]() -> HWND {
        HWND current = FocusedControl(window);
        return current != previous ? current : nullptr;
      },
      timeout, "the focus to move");
  // The focus moves in the middle of handling the key; the buttons' looks change after it.
  WaitUntilIdle(window, timeout);
  return focus;
}

RECT ClientRectOnScreen(HWND window) {
  RECT rect{};
  if (!::GetClientRect(window, &rect)) win::ThrowLastError("GetClientRect");
  ::MapWindowPoints(window, HWND_DESKTOP, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

}  // namespace dravelin::uidriver
