// A window's controls and client area against their designed pixels, read from outside through
// the UI driver: the question dialog shown by dialog-host, and the progress window of a whole run.
#pragma once

#include <windows.h>

#include <string_view>
#include <vector>

namespace dravelin::uitest {

// A rectangle given by its top left corner and its size.
constexpr RECT Box(int left, int top, int width, int height) {
  return {left, top, left + width, top + height};
}

struct ExpectedControl {
  int id;
  std::wstring_view className;
  std::wstring_view text;
  RECT rect;  // left, top, right, bottom in client pixels
};

// The window holds exactly these controls, in this order (the order the UI driver lists them
// in), each visible and of its class, text and rectangle.
void ExpectControls(HWND window, const std::vector<ExpectedControl>& expected);

// The size of the window's client area, in pixels.
SIZE ClientSize(HWND window);

// Makes the window's frame larger by `growth` where it stands, as a user dragging its corner
// would; false when the system refused.
bool GrowFrame(HWND window, SIZE growth);

}  // namespace dravelin::uitest
