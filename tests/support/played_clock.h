// A clock for the waits of a run that plays its pauses at once and adds them up: seconds of
// waiting for a file that another program holds pass in no time, and the test sees how long the
// run would have waited. Safe to share between threads: with `together` threads, time moves on
// only once each of them pauses or has left, to the end of the shortest pause, as it does for
// threads that wait side by side.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <set>

#include "clock.h"

namespace dravelin::testing {

class PlayedClock final : public Clock {
 public:
  explicit PlayedClock(int together = 1) : running_(together) {}

  void pause(Milliseconds length) override {
    Milliseconds played{};
    {
      std::unique_lock lock(mutex_);
      const Milliseconds until = played_ + length;
      const auto mine = ends_.insert(until);
      --running_;
      moveOnWhenAllPause();
      moved_.wait(lock, [&] { return played_ >= until; });
      ends_.erase(mine);
      ++running_;
      played = played_;
    }
    if (onPause) onPause(played);
  }
  Milliseconds now() override { return played(); }
  Milliseconds played() const {
    const std::lock_guard lock(mutex_);
    return played_;
  }
  // Called by one of the `together` threads that pauses no more.
  void leave() {
    const std::lock_guard lock(mutex_);
    --running_;
    moveOnWhenAllPause();
  }

  // Sees the time played so far after each pause: lets a test end a hold at a given time.
  std::function<void(Milliseconds)> onPause;

 private:
  void moveOnWhenAllPause() {
    if (running_ > 0 || ends_.empty()) return;
    played_ = *ends_.begin();
    moved_.notify_all();
  }

  mutable std::mutex mutex_;
  std::condition_variable moved_;
  Milliseconds played_{0};
  int running_;                       // threads not pausing now
  std::multiset<Milliseconds> ends_;  // of the pauses under way
};

}  // namespace dravelin::testing
