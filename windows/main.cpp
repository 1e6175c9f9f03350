// Entry point of both programs. The one thing that tells them apart is DRAVELIN_LEGACY, set by
// the build for dravelin-legacy only; everything else follows from the Build chosen here.
#include <windows.h>

#include "program.h"

namespace {
#ifdef DRAVELIN_LEGACY
constexpr dravelin::Build kBuild = dravelin::Build::Legacy;
#else
constexpr dravelin::Build kBuild = dravelin::Build::Current;
#endif
}  // namespace

// Libraries that the system loads on the program's behalf from here on (the animation's decoder,
// themes) come from the system directory only, never from the program's directory, which holds
// whatever the server sent. It also spares a search of that directory, which can hold thousands
// of files, for each of them. Looked up at run time: older systems lack the call.
void LoadLibrariesFromTheSystemOnly() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  const auto setDirectories = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (setDirectories) setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  LoadLibrariesFromTheSystemOnly();
  try {
    return dravelin::win::RunProgram(kBuild, instance);
  } catch (const std::exception&) {
    // The program shows no messages: a window that cannot even be created ends the run quietly.
    return 1;
  }
}
