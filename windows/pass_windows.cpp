#include "pass_windows.h"

namespace dravelin::win {

CheckUpdateDialog& DialogPassWindows::dialog() {
  // Touching a dialog that is not loaded loads a new one, which sets UpdateChoice to 0: an
  // answer never carries over from one question to the next.
  if (!dialog_ || !dialog_->loaded()) dialog_.emplace(build_, progress_.window(), instance_);
  return *dialog_;
}

void DialogPassWindows::unloadQuestion() {
  if (dialog_) dialog_->unload();
}

void DialogPassWindows::pumpEvents() {
  MSG message{};
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Not ours to act on here: leave it for whoever runs the program's own loop.
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

// The copy runs on the background thread while this one dispatches what arrives: repaints, the
// animation, the system's probes. No question can come up meanwhile: the dialog is gone, and the
// pass waits here. A request to close the progress window is ignored by the window itself.
void DialogPassWindows::runResponsively(const std::function<void()>& work) {
  background_.run(work, [this] { pumpEvents(); });
}

}  // namespace dravelin::win
