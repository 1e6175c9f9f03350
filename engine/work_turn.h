// Runs of different sessions (the users of one terminal server) share a client folder without
// waiting on each other's questions: they take turns only around what they must not do at once,
// the clean-up of the work folder and each copy with its rename. A wait for that turn is bounded:
// a run that does not get it in time goes on alone, which is safe (a copy under way is held open,
// shared with nobody, so no clean-up can remove it, and every copy has a name of its own), and
// waits for it no more in that run (it still takes it where it is free). So nobody, a user holding
// the turn on purpose included, can keep another user's client from starting for longer than that.
#pragma once

#include <functional>
#include <memory>

#include "clock.h"
#include "runtime.h"

namespace dravelin {

class WorkTurns {
 public:
  static constexpr Milliseconds kLongestWait{3000};

  // `tryTurn`: the turn if it is free now, null if another run has it; throws when it cannot be
  // had at all (the run then goes on alone at once).
  WorkTurns(std::function<std::unique_ptr<Turn>()> tryTurn, Clock& clock)
      : tryTurn_(std::move(tryTurn)), clock_(clock) {}

  // Runs `work` holding the turn, or alone where the turn did not come in time.
  template <typename Work>
  void around(Work&& work) {
    const std::unique_ptr<Turn> turn = take();
    work();
  }

 private:
  std::unique_ptr<Turn> take();

  std::function<std::unique_ptr<Turn>()> tryTurn_;
  Clock& clock_;
  bool alone_ = false;  // the turn did not come in time once: the run waits for it no more
};

}  // namespace dravelin
