// The windows as the update pass sees them: the progress window that hosts the pass, and a fresh
// confirmation dialog for every question. The
// pass runs on a thread of its own (window_thread.h), started before the progress window is made
// so that the two get under way together; everything the pass does with a window is called over
// to the window thread once the progress window is up, and the pass waits until it is done.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <optional>

#include "check_update_dialog.h"
#include "file_copy_window.h"
#include "update_pass.h"
#include "window_thread.h"

namespace dravelin::win {

class DialogPassWindows final : public PassWindows {
 public:
  // Made on the window thread.
  DialogPassWindows(Build build, HINSTANCE instance);

  // On the window thread, while the pass has begun: the progress window comes up and its
  // animation starts; then the pass's calls on the windows are taken. Should the window not come
  // up, the update still runs to its end and starts the client.
  void showProgressWindow(Runtime& runtime);

  // On the window thread, as a fresh dialog for every question; the pass waits for the answer.
  Answer ask(const Question& question) override;
  // From the pass's thread, at once: the progress window may be waiting to hear it.
  void waitingForAnotherRun(bool waiting) override;
  // Waits until the window thread has made the progress window and looked up its clip. See the
  // definition for why the server is not listed before.
  void awaitWindowSetUp() override;
  // A copy of the progress window's clip closes it first and plays the new one after.
  void replacing(const std::wstring& path, const std::function<void()>& copy) override;
  NativeWindow prepareClientStart() override;
  void unloadProgressWindow() override;

 private:
  CheckUpdateDialog& dialog();                             // on the window thread only
  void onWindowThread(const std::function<void()>& call);  // going on after a failure

  Build build_;
  HINSTANCE instance_;
  std::optional<FileCopyWindow> progress_;
  std::optional<std::wstring> clip_;  // set on the window thread before setUp_, read after it
  std::optional<CheckUpdateDialog> dialog_;
  WindowThreadCalls windowThread_;
  UniqueKernelHandle heard_;  // set once the pass has said whether it waits for another run
  UniqueKernelHandle setUp_;  // set once the window is made and its clip looked up, or cannot be
  std::atomic<bool> behindOtherRun_ = false;
};

}  // namespace dravelin::win
