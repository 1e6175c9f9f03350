// The name of the event through which the window hook library (program_shown_hook.cpp) tells the
// whole-program tests that a top-level window of the program under test has come on screen.
// Shared by the library, which runs inside that program, and the tests, which create the event.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace dravelin::uitest {

// One event per process and caption. Kernel object names may hold any character but '\', which
// no caption of ours contains.
inline std::wstring ShownEventName(DWORD processId, std::wstring_view caption) {
  return L"dravelin-window-shown-" + std::to_wstring(processId) + L"-" + std::wstring(caption);
}

// The hook procedure that the library exports, for GetProcAddress.
inline constexpr char kShownHookProcedure[] = "ShownWindowHook";

}  // namespace dravelin::uitest
