// The pictures and icons that the windows carry as resources, and how they are drawn.
#pragma once

#include <windows.h>

#include "win32/handles.h"

namespace dravelin::win {

UniqueBitmap LoadBitmapResource(HINSTANCE instance, int id);

// The big (title bar, Alt+Tab) and small (caption) images of an icon resource, at the sizes that
// the system uses for each.
struct WindowIcons {
  UniqueIcon big;
  UniqueIcon small;
};
WindowIcons LoadWindowIcons(HINSTANCE instance, int id);
void SetWindowIcons(HWND window, const WindowIcons& icons);

// Draws `picture` stretched to fill an owner-drawn control. A failed draw leaves the box empty;
// there is nothing better to show.
void DrawStretched(const DRAWITEMSTRUCT& item, HBITMAP picture);

}  // namespace dravelin::win
