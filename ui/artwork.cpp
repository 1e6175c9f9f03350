#include "artwork.h"

#include "win32/last_error.h"

namespace dravelin::win {

namespace {

UniqueIcon LoadIconSized(HINSTANCE instance, int id, int widthMetric, int heightMetric) {
  UniqueIcon icon(static_cast<HICON>(
      ::LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, ::GetSystemMetrics(widthMetric),
                   ::GetSystemMetrics(heightMetric), LR_DEFAULTCOLOR)));
  if (!icon) ThrowLastError("LoadImageW");
  return icon;
}

}  // namespace

UniqueBitmap LoadBitmapResource(HINSTANCE instance, int id) {
  UniqueBitmap bitmap(static_cast<HBITMAP>(
      ::LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
  if (!bitmap) ThrowLastError("LoadImageW");
  return bitmap;
}

WindowIcons LoadWindowIcons(HINSTANCE instance, int id) {
  return {LoadIconSized(instance, id, SM_CXICON, SM_CYICON),
          LoadIconSized(instance, id, SM_CXSMICON, SM_CYSMICON)};
}

void SetWindowIcons(HWND window, const WindowIcons& icons) {
  ::SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icons.big.get()));
  ::SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icons.small.get()));
}

void DrawStretched(const DRAWITEMSTRUCT& item, HBITMAP picture) {
  UniqueMemoryDC source(::CreateCompatibleDC(item.hDC));
  BITMAP size{};
  if (!source || !::GetObjectW(picture, sizeof size, &size)) return;
  SelectedObject selected(source.get(), picture);
  // Whole pixels, no blending: a 16-colour picture enlarged stays crisp.
  ::SetStretchBltMode(item.hDC, COLORONCOLOR);
  const RECT& box = item.rcItem;
  ::StretchBlt(item.hDC, box.left, box.top, box.right - box.left, box.bottom - box.top,
               source.get(), 0, 0, size.bmWidth, size.bmHeight, SRCCOPY);
}

}  // namespace dravelin::win
