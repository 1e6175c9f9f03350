// Other programs hold the client's files for a moment: resident antivirus reads each file as it is
// written or renamed, indexers and backup clients read them in passing. While such a handle is
// open the system refuses to replace, rename or remove the file. So a step that another program's
// hold stops is tried again after short pauses that grow, until it goes through or the run has
// waited long enough: a file held for a few seconds still goes in place, while a file held for the
// whole run (the client still running from this folder) costs the run a few seconds in all, not
// each file.
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
      : clock_(clock), left_(budget) {}

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
  // Pauses for at most `pause`, charged to the run; false when nothing is left to wait.
  bool wait(Milliseconds pause);

  Clock& clock_;
  std::mutex mutex_;  // the copies of one run may wait at the same time
  Milliseconds left_;
};

}  // namespace dravelin
