// Pictures of a program's windows from the screen, cut to the client area, and the few measures
// the tests take of them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string_view>

#include "expected_controls.h"
#include "uidriver.h"
#include "variant.h"

namespace dravelin::uitest {

// The progress window's client area in pixels at 96 DPI, written out by hand from the designed
// twips (15 twips a pixel).
struct ProgressPixels {
  SIZE client;
  RECT banner;
  RECT animation;
  int plainStripLeft;  // the banner's right edge: from here on only the background shows
};

ProgressPixels ExpectedProgressPixels(Build build);

// Moves the question below the progress window, as a user would drag it, so that it covers no
// part of what is captured of the progress window.
void MoveBelow(HWND dialog, HWND progress);

// The progress window's client area as the screen shows it while `dialog` asks, the question
// moved below the window first so that it covers none of it.
uidriver::Picture ProgressWhileAsking(HWND progress, HWND dialog);

// The client area of `window` cut from `whole`, a picture of the window as CaptureWindow takes it.
uidriver::Picture ClientPart(HWND window, const uidriver::Picture& whole);

// The window's background colour (the system's button face) as a picture holds it.
std::uint32_t PlainColour();

// Pixels inside `area` but outside `hole` (client coordinates) whose colour is not `colour`.
int PixelsOtherThan(const uidriver::Picture& picture, RECT area, RECT hole, std::uint32_t colour);
int PixelsOtherThan(const uidriver::Picture& picture, RECT area, std::uint32_t colour);

// Pixels inside `area` (client coordinates) of `colour`.
int PixelsOf(const uidriver::Picture& picture, RECT area, std::uint32_t colour);

int DistinctColours(const uidriver::Picture& picture, RECT area);

// Saves the picture as `name`.bmp into the directory named by DRAVELIN_TEST_PICTURES, when that
// is set (for a person to look at); does nothing otherwise.
void KeepPicture(const uidriver::Picture& picture, std::string_view name);

}  // namespace dravelin::uitest
