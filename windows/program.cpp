#include "program.h"

#include <commctrl.h>

#include <exception>

#include "error_rule.h"
#include "file_copy_window.h"
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
  const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_ANIMATE_CLASS};
  ::InitCommonControlsEx(&controls);

  const auto runtime = MakeSystemRuntime();
  FileCopyWindow progress(build, instance);
  // On screen before any file work, so that it shows even when the configuration is missing.
  progress.show();
  // A clip that cannot be played leaves the animation area empty; the update goes on regardless.
  error_rule::Attempt([&] { progress.startAnimation(*runtime); });

  DialogPassWindows windows(build, instance, progress);
  RunOffWindowThread([&] { RunUpdatePass(*runtime, windows, VariantFor(build)); });
  return 0;
}

}  // namespace dravelin::win
