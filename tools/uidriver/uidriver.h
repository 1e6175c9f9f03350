// Drives the windows of another process from outside, as a user at the keyboard and mouse would:
// finds a window by caption, reads its controls, presses buttons and keys, closes it, and takes
// its picture. Input is posted, never sent, so the driver does not block on the target's modal
// loop; the caller waits for the effect (a window gone, the focus moved).
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace dravelin::uidriver {

using Milliseconds = std::chrono::milliseconds;
// A wait's usual length times DRAVELIN_WAIT_SCALE (a whole number, 1 when unset): the i686 test
// machine runs every program under CPU emulation, several times slower than here.
Milliseconds Scaled(Milliseconds usual);
inline Milliseconds DefaultTimeout() { return Scaled(Milliseconds{10'000}); }

// A step that could not be done: a window that did not appear, a control that is not there, a
// system call that failed. The message is UTF-8.
class DriverError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);

struct ControlInfo {
  HWND handle;
  int id;
  std::wstring className;
  std::wstring text;
  RECT rect;  // in the parent's client coordinates
  bool visible;
  bool enabled;
};

// One line of text describing a control (UTF-8), as the ui-driver program prints it.
std::string Describe(const ControlInfo& control);

// The visible top-level window with exactly this caption, or null.
HWND FindTopWindow(std::wstring_view caption);
// Every visible top-level window with exactly this caption, of whichever process.
std::vector<HWND> FindTopWindows(std::wstring_view caption);

// Waits until a window with this caption is on screen, active and has the focus on itself or
// one of its controls: ready for input.
HWND WaitForWindow(std::wstring_view caption, Milliseconds timeout = DefaultTimeout());

// Waits until `window` is on screen, active and has the focus on itself or one of its controls.
void WaitUntilReady(HWND window, Milliseconds timeout = DefaultTimeout());

// Waits until `window` no longer exists.
void WaitUntilGone(HWND window, Milliseconds timeout = DefaultTimeout());

// The child controls in their z-order (which is also their tab order).
std::vector<ControlInfo> ListControls(HWND window);
ControlInfo InspectControl(HWND control);

HWND FindControlByText(HWND window, std::wstring_view text);

// The control of `window`'s thread that has the keyboard focus (null when none).
HWND FocusedControl(HWND window);

// Returns once `window`'s thread has finished the message it was handling and asks for the next
// one, so that what it does in reaction to input is complete.
void WaitUntilIdle(HWND window, Milliseconds timeout = DefaultTimeout());

// Waits until the focus of `window`'s thread is on something other than `previous` and the
// thread has finished moving it.
HWND WaitForFocusChange(HWND window, HWND previous, Milliseconds timeout = DefaultTimeout());

void ClickButton(HWND button);

// Makes `window` the foreground window, as a user's click on it does, and waits until it has
// the keyboard. A window shown while another program's window took the foreground is left
// inactive, and waits for that click.
void BringToFront(HWND window, Milliseconds timeout = DefaultTimeout());

enum class Key { Enter, Escape, Tab };
Key ParseKey(std::string_view name);  // "enter", "escape", "tab"
// Key down and up, posted to the control that has the focus (to the window when none has).
void PressKey(HWND window, Key key);

// Closes through the system menu's Close command, as the title bar's close button does.
void CloseThroughSystemMenu(HWND window);

// Sends `window` a WM_NULL, as the system does to see whether a window is hung, and waits at
// most `timeout` for the answer: how long it took, or nullopt when none came in time.
std::optional<Milliseconds> Probe(HWND window, Milliseconds timeout);

struct ProbeSummary {
  int probes = 0;           // answered or lost
  int lost = 0;             // not answered within the time limit, or not before the window went
  Milliseconds longest{0};  // the longest wait for an answer, or for the window to go
};
// Probes `window` every `interval` until it is gone.
ProbeSummary ProbeUntilGone(HWND window, Milliseconds interval, Milliseconds timeout);

// Screen rectangle of the client area.
RECT ClientRectOnScreen(HWND window);

// A picture of the screen over the window's rectangle: rows top to bottom, 0x00RRGGBB.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
  std::uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Repaints the window (the target must be pumping messages), then copies it from the screen.
Picture CaptureWindow(HWND window, Milliseconds timeout = DefaultTimeout());
void SaveBmp(const Picture& picture, const std::filesystem::path& file);  // 24-bit BMP

}  // namespace dravelin::uidriver
