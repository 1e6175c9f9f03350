// The update pass: read the two settings, list the server directory, ask about each file whose
// server copy is newer (or has no local copy), copy what the user accepts, close the progress
// window and start the client program.
#pragma once

#include <functional>
#include <string>

#include "answer.h"
#include "runtime.h"
#include "variant.h"

namespace dravelin {

// What the pass needs of the windows. The Win32 program implements it with the confirmation
// dialog and the progress window; tests implement it with a scripted answerer.
class PassWindows {
 public:
  virtual ~PassWindows() = default;

  // Asks the user in a confirmation dialog made for this question, shown modally, and gone
  // again when this returns. Answer::None when the user closed it without an answer, or when it
  // could not be shown; an answer never carries over from one question to the next.
  virtual Answer ask(const Question& question) = 0;

  // Told once, before the progress window comes up: whether the pass first waits for another run
  // in the same folder to end. That run's question may be on screen; the windows of a run that
  // waits come up behind it and leave it the keyboard.
  virtual void waitingForAnotherRun(bool waiting) = 0;

  // Returns once the windows have done what must not wait behind a listing of the server
  // directory that stalls (whatever they look up on the disk to come up), or have failed to.
  virtual void awaitWindowSetUp() = 0;

  // Runs `copy`, which replaces the file at `path`. A file that the windows hold open (the
  // progress window's clip) is let go of meanwhile, and taken up again after, whichever version
  // is there then.
  virtual void replacing(const std::wstring& path, const std::function<void()>& copy) = 0;

  // Just before the client starts, while the progress window is still up and in front: lets the
  // programs that this one starts come to the front in their turn (the client, or the system's
  // elevated start of it), and gives the window that is to own what the start shows.
  virtual NativeWindow prepareClientStart() = 0;

  // Unloads the progress window that hosts the pass.
  virtual void unloadProgressWindow() = 0;
};

// The windows of a pass that shows nothing but its questions (a benchmark, a fuzz target, the
// engine's tests): everything besides asking is done at once.
class QuestionsOnly : public PassWindows {
 public:
  void waitingForAnotherRun(bool) override {}
  void awaitWindowSetUp() override {}
  void replacing(const std::wstring&, const std::function<void()>& copy) override { copy(); }
  NativeWindow prepareClientStart() override { return nullptr; }
  void unloadProgressWindow() override {}
};

void RunUpdatePass(Runtime& runtime, PassWindows& windows, const Variant& variant);

}  // namespace dravelin
