// Other programs hold the client's files for a moment: resident antivirus reads each file as it is
// written or renamed, indexers and backup clients read them in passing. While such a handle is
// open the system refuses to replace, rename or remove the file. So a step that another program's
// hold stops is tried again after short pauses that grow, until it goes through or the run has
// waited long enough: a file held for a few seconds still goes in place, while a file held for the
// whole run (the client still running from this folder) costs the run a few seconds in all, not
// each file. The run's waiting is time on the clock: copies that wait at the same time (several
// run at once) spend it together, as the user sees it.
#pragma once

#include <algorithm>
#include <mutex>
#include <utility>

#include "clock.h"
#include "runtime_error.h"

namespace dravelin {

// A step stopped by another program's hold on a file: worth trying again in a moment. Failures
// that no waiting cures (a read-only file, a folder the user may not write, a full disk, a path
// that does not exist) are other RuntimeErrors.
class FileHeld : public RuntimeError {
 public:
  using RuntimeError::RuntimeError;
};

// The waiting of one run, shared by everything in it that waits for other programs.
class Patience {
 public:
  // A file held for up to three seconds goes in place; five are all a run waits.
  static constexpr Milliseconds kRunBudget{5000};
  static constexpr Milliseconds kFirstPause{10};
  static constexpr Milliseconds kLongestPause{500};

  explicit Patience(Clock& clock, Milliseconds budget = kRunBudget)
      : clock_(clock), budget_(budget) {}

  // Runs `step` again while it throws FileHeld and the run has waiting left; then that FileHeld
  // goes to the caller, like any other failure of the step.
  template <typename Step>
  decltype(auto) persist(Step&& step) {
    for (Milliseconds pause = kFirstPause;; pause = std::min(2 * pause, kLongestPause)) {
      try {
        return std::forward<Step>(step)();
      } catch (const FileHeld&) {
        if (!wait(pause)) throw;
      }
    }
  }

 private:
  // Pauses for at most `pause`; false when the run has waited its budget. The run is charged the
  // time during which at least one step pauses, however many pause together.
  bool wait(Milliseconds pause);

  Clock& clock_;
  const Milliseconds budget_;
  std::mutex mutex_;       // for what follows: the copies of one run may wait at the same time
  Milliseconds spent_{0};  // in the waits that have ended
  int waiting_ = 0;        // steps pausing now
  Milliseconds since_{0};  // when the pause began that made `waiting_` more than 0
};

}  // namespace dravelin
