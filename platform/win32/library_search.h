// Where the libraries that the system loads on a program's behalf come from.
#pragma once

#include <windows.h>

namespace dravelin::win {

// Libraries that the system loads on the program's behalf from here on (the animation's decoder,
// themes) come from the system directory only, never from the program's directory, which holds
// whatever the server sent. It also spares a search of that directory, which can hold thousands
// of files, for each of them. Looked up at run time: older systems lack the call.
inline void LoadLibrariesFromTheSystemOnly() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  const auto setDirectories = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (setDirectories) setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace dravelin::win
