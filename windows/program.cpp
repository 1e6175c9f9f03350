#include "program.h"

#include <exception>

#include "pass_windows.h"
#include "runtime.h"
#include "window_thread.h"

namespace dravelin::win {

namespace {

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

}  // namespace

int ProgramMain(Build build, HINSTANCE instance) {
  LoadLibrariesFromTheSystemOnly();
  try {
    return RunProgram(build, instance);
  } catch (const std::exception&) {
    // The program shows no messages: a window that cannot even be created ends the run quietly.
    return 1;
  }
}

int RunProgram(Build build, HINSTANCE instance) {
  const auto runtime = MakeSystemRuntime();
  DialogPassWindows windows(build, instance);
  // The update and the progress window get under way together: the window is on screen before
  // the update needs it for anything (a question, its own closing), and the update does not wait
  // for it where it needs nothing of it (the turn, the settings, the listings).
  RunOffWindowThread([&] { RunUpdatePass(*runtime, windows, VariantFor(build)); },
                     [&] { windows.showProgressWindow(*runtime); });
  return 0;
}

}  // namespace dravelin::win
