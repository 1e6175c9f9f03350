#include "window_class.h"

#include "win32/last_error.h"

namespace dravelin::win {

void RegisterWindowClassOnce(HINSTANCE instance, const wchar_t* className, WNDPROC procedure) {
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof existing;
  if (::GetClassInfoExW(instance, className, &existing)) return;
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = className;
  if (!::RegisterClassExW(&windowClass)) {
    ThrowLastError("RegisterClassExW");
  }
}

}  // namespace dravelin::win
