#include "program.h"

#include <commctrl.h>

#include "error_rule.h"
#include "file_copy_window.h"
#include "pass_windows.h"
#include "runtime.h"
#include "window_thread.h"

namespace dravelin::win {

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
