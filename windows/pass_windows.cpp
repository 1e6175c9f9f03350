#include "pass_windows.h"

#include "error_rule.h"
#include "win32/last_error.h"

namespace dravelin::win {

namespace {

// The pass says whether it waits for another run within a millisecond of its start, long before
// the window is made; this only keeps a pass that never says from holding the window back.
constexpr DWORD kLongestWaitToHear = 1000;

}  // namespace

DialogPassWindows::DialogPassWindows(Build build, HINSTANCE instance)
    : build_(build),
      instance_(instance),
      windowThread_(instance),
      heard_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {  // manual reset: stays set
  if (!heard_) ThrowLastError("CreateEventW");
}

void DialogPassWindows::waitingForAnotherRun(bool waiting) {
  behindOtherRun_ = waiting;
  ::SetEvent(heard_.get());  // cannot fail on the event this object made and holds
}

void DialogPassWindows::showProgressWindow(Runtime& runtime) {
  error_rule::Attempt([&] {
    progress_.emplace(build_, instance_);
    ::WaitForSingleObject(heard_.get(), kLongestWaitToHear);
    progress_->show(behindOtherRun_ ? FileCopyWindow::Behind : FileCopyWindow::InFront);
  });
  // A clip that cannot be played leaves the animation area empty; the update goes on regardless.
  if (progress_) error_rule::Attempt([&] { progress_->startAnimation(runtime); });
  windowThread_.open();
}

CheckUpdateDialog& DialogPassWindows::dialog() {
  // Touching a dialog that is not loaded loads a new one, which sets UpdateChoice to 0: an
  // answer never carries over from one question to the next.
  if (!dialog_ || !dialog_->loaded()) {
    dialog_.emplace(build_, progress_ ? progress_->window() : nullptr, instance_);
  }
  return *dialog_;
}

// Under Wine a listing of a directory holds a lock of the whole process that every lookup of a
// path takes too, for as long as the listing lasts. A server directory that stalls would then
// stall the window thread in the middle of making the window (loading the common controls,
// opening the clip), where it answers nothing. The pass calls this before it lists the server.
void DialogPassWindows::pumpEvents() {
  windowThread_.run([] {});
}

void DialogPassWindows::setFileName(const std::wstring& text) {
  windowThread_.run([&] { dialog().setFileName(text); });
}

void DialogPassWindows::setOldDate(const std::wstring& text) {
  windowThread_.run([&] { dialog().setOldDate(text); });
}

void DialogPassWindows::setNewDate(const std::wstring& text) {
  windowThread_.run([&] { dialog().setNewDate(text); });
}

// The modal loop runs on the window thread; the pass waits for the answer meanwhile. The answer
// that the dialog's button wrote is there for the pass to read once this returns.
void DialogPassWindows::showQuestion() {
  windowThread_.run([&] { dialog().showModal(); });
}

void DialogPassWindows::unloadQuestion() {
  windowThread_.run([&] {
    if (dialog_) dialog_->unload();
  });
}

void DialogPassWindows::unloadProgressWindow() {
  windowThread_.run([&] {
    // Windows lets only the foreground process bring a window to the front. Once the progress
    // window is gone this program may no longer be that process, and the client, started next,
    // would open behind the window the user had; so the right is passed on while the program
    // still has it (where it has not, this fails and changes nothing).
    static_cast<void>(::AllowSetForegroundWindow(ASFW_ANY));
    if (progress_) progress_->unload();
  });
}

}  // namespace dravelin::win
