#include "program.h"

#include <exception>

#include "pass_windows.h"
#include "runtime.h"
#include "win32/library_search.h"
#include "window_thread.h"

namespace dravelin::win {

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
