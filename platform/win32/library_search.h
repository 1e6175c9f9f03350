// Where the libraries that the system loads on a program's behalf come from.
#pragma once

#include <windows.h>

#include <string>

namespace dravelin::win {

// Libraries that the system loads on the program's behalf from here on (the animation's decoder,
// themes) come from the system directory only, never from the program's directory, which holds
// whatever the server sent. It also spares a search of that directory, which can hold thousands
// of files, for each of them. Looked up at run time: Windows 7 has the call only with update
// KB2533623.
inline void LoadLibrariesFromTheSystemOnly() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  const auto setDirectories = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (setDirectories) setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// The system's library `name` from the system directory by its full path, the libraries it needs
// looked for there first (LOAD_WITH_ALTERED_SEARCH_PATH): the way for a system without
// LOAD_LIBRARY_SEARCH_SYSTEM32. Null when it cannot be loaded, with the thread's last error set.
inline HMODULE LoadFromSystemDirectory(const wchar_t* name) {
  std::wstring path(MAX_PATH, L'\0');
  const UINT length = ::GetSystemDirectoryW(path.data(), MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  path.resize(length);
  path += L'\\';
  path += name;
  return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// The system's library `name`, from the system directory only. Windows 7 without update KB2533623
// refuses LOAD_LIBRARY_SEARCH_SYSTEM32 (ERROR_INVALID_PARAMETER).
inline HMODULE LoadSystemLibrary(const wchar_t* name) {
  if (const HMODULE library = ::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    return library;
  }
  return ::GetLastError() == ERROR_INVALID_PARAMETER ? LoadFromSystemDirectory(name) : nullptr;
}

}  // namespace dravelin::win
