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

}  // namespace dravelin::win
