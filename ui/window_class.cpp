#include "window_class.h"

#include <commctrl.h>

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

void RegisterAnimationClass() {
  const HMODULE library = ::LoadLibraryW(L"comctl32.dll");
  if (!library) ThrowLastError("LoadLibraryW (comctl32.dll)");
  using InitializeFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  const auto initialize = reinterpret_cast<InitializeFn>(
      reinterpret_cast<void*>(::GetProcAddress(library, "InitCommonControlsEx")));
  if (!initialize) ThrowLastError("GetProcAddress (InitCommonControlsEx)");
  const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_ANIMATE_CLASS};
  if (!initialize(&controls)) ThrowLastError("InitCommonControlsEx");
}

}  // namespace dravelin::win
