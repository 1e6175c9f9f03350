// Where the libraries that the system loads on a program's behalf come from.
#pragma once

#include <windows.h>

#include <string>

namespace dravelin::win {

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

// The libraries that the program's windows make the system load by name once the program runs,
// and that are no KnownDLLs of Windows 7 (those come from the system directory whatever the
// search): themes and the window manager's (uxtheme, dwmapi), drawing (msimg32), version
// resources (version), the animation's video and sound (msvfw32, winmm, msacm32). The common
// controls 6 come from the side-by-side store through the manifest; shell32 and ole32, loaded
// only to start a client that needs administrator rights, by LoadSystemLibrary.
inline constexpr const wchar_t* kLibrariesLoadedByName[] = {
    L"version.dll", L"uxtheme.dll", L"dwmapi.dll", L"msimg32.dll",
    L"winmm.dll",   L"msacm32.dll", L"msvfw32.dll"};

// Loads each of kLibrariesLoadedByName by its full path in the system directory, where it is
// there: a library that is loaded already is not looked for again. False when one is not.
inline bool PreloadFromTheSystemDirectory() {
  bool all = true;
  for (const wchar_t* name : kLibrariesLoadedByName) all = LoadFromSystemDirectory(name) && all;
  return all;
}

// Libraries that the system loads on the program's behalf from here on come from the system
// directory only, never from the program's directory, which holds whatever the server sent. It
// also spares a search of that directory, which can hold thousands of files, for each of them.
// Looked up at run time: Windows 7 has the call only with update KB2533623; without it, the
// libraries that the program is known to need are loaded first by their full paths.
inline void LoadLibrariesFromTheSystemOnly() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  const auto setDirectories = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (!setDirectories || !setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    PreloadFromTheSystemDirectory();
  }
}

using LoadLibraryExFn = HMODULE(WINAPI*)(LPCWSTR, HANDLE, DWORD);

// The system's library `name`, from the system directory only. Windows 7 without update KB2533623
// refuses LOAD_LIBRARY_SEARCH_SYSTEM32 (ERROR_INVALID_PARAMETER). `load` is the system's call but
// where a test plays such a system.
inline HMODULE LoadSystemLibrary(const wchar_t* name, LoadLibraryExFn load = ::LoadLibraryExW) {
  if (const HMODULE library = load(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) return library;
  return ::GetLastError() == ERROR_INVALID_PARAMETER ? LoadFromSystemDirectory(name) : nullptr;
}

}  // namespace dravelin::win
