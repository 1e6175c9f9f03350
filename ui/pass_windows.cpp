#include "pass_windows.h"

#include <exception>

#include "error_rule.h"
#include "win32/last_error.h"
#include "win32/paths.h"

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
      heard_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),  // manual reset: stays set
      setUp_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  if (!heard_ || !setUp_) ThrowLastError("CreateEventW");
}

void DialogPassWindows::waitingForAnotherRun(bool waiting) {
  behindOtherRun_ = waiting;
  ::SetEvent(heard_.get());  // cannot fail on the event this object made and holds
}

void DialogPassWindows::showProgressWindow(Runtime& runtime) {
  error_rule::Attempt([&] { progress_.emplace(build_, instance_); });
  if (progress_) error_rule::Attempt([&] { clip_ = FileCopyWindow::FindClip(runtime); });
  // Made, with the common controls loaded and the clip looked up, the window needs no listing
  // of a directory any more: showing it, painting it and opening the clip by its path take none.
  ::SetEvent(setUp_.get());  // cannot fail on the event this object made and holds
  if (progress_) {
    error_rule::Attempt([&] {
      ::WaitForSingleObject(heard_.get(), kLongestWaitToHear);
      progress_->show(behindOtherRun_ ? FileCopyWindow::Behind : FileCopyWindow::InFront);
    });
  }
  // A clip that cannot be played leaves the animation area empty; the update goes on regardless.
  if (progress_ && clip_) error_rule::Attempt([&] { progress_->play(*clip_); });
  windowThread_.open();
}

CheckUpdateDialog& DialogPassWindows::dialog() {
  // Touching a dialog that is not loaded loads a new one, with no answer: an answer never carries
  // over from one question to the next.
  if (!dialog_ || !dialog_->loaded()) {
    dialog_.emplace(build_, progress_ ? progress_->window() : nullptr, instance_);
  }
  return *dialog_;
}

// Under Wine a listing of a directory holds a lock of the whole process, for as long as it lasts,
// that every other listing takes too, and so does loading the common controls (the manifest's
// assembly is looked for by listing the system's side-by-side folder). A server directory that
// stalls would then stall the window thread in the middle of making the window, where it answers
// nothing. The pass calls this before it lists the server.
void DialogPassWindows::awaitWindowSetUp() {
  if (::WaitForSingleObject(setUp_.get(), INFINITE) != WAIT_OBJECT_0) {
    ThrowLastError("WaitForSingleObject (window set-up)");
  }
}

// The animation holds its clip open while it plays, and the system refuses to replace a file that
// is open: the program would wait for itself. Whatever becomes of the copy, the clip plays again.
void DialogPassWindows::replacing(const std::wstring& path, const std::function<void()>& copy) {
  if (!progress_ || !clip_ || !SamePath(path, *clip_)) return copy();
  windowThread_.run([&] { progress_->stop(); });
  std::exception_ptr failure;
  try {
    copy();
  } catch (...) {
    failure = std::current_exception();
  }
  error_rule::Attempt([&] { windowThread_.run([&] { progress_->play(*clip_); }); });
  if (failure) std::rethrow_exception(failure);
}

void DialogPassWindows::onWindowThread(const std::function<void()>& call) {
  error_rule::Attempt([&] { windowThread_.run(call); });
}

// Each step goes on after a failure of the one before: a caption that cannot be set still leaves
// a question to answer, and a dialog that cannot be made at all is asked no question. The modal
// loop runs on the window thread; the pass waits for the answer meanwhile.
Answer DialogPassWindows::ask(const Question& question) {
  Answer answer = Answer::None;
  onWindowThread([&] { dialog().setFileName(question.fileName); });
  onWindowThread([&] { dialog().setOldDate(question.oldDate); });
  onWindowThread([&] { dialog().setNewDate(question.newDate); });
  onWindowThread([&] { answer = dialog().showModal(); });
  onWindowThread([&] {
    if (dialog_) dialog_->unload();
  });
  return answer;
}

NativeWindow DialogPassWindows::prepareClientStart() {
  HWND owner = nullptr;
  windowThread_.run([&] {
    // Windows lets only the foreground process bring a window to the front. A client started by
    // the shell (one that needs administrator rights) is the system's child, not this program's,
    // and would open behind the window the user had; so the right is passed on to any process
    // while this program still has it (where it has not, this fails and changes nothing).
    static_cast<void>(::AllowSetForegroundWindow(ASFW_ANY));
    if (progress_) owner = progress_->window();
  });
  return owner;
}

void DialogPassWindows::unloadProgressWindow() {
  windowThread_.run([&] {
    if (progress_) progress_->unload();
  });
}

}  // namespace dravelin::win
