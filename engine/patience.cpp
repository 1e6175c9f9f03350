#include "patience.h"

#include <algorithm>
#include <thread>

namespace dravelin {

namespace {

class SleepingClock final : public Clock {
 public:
  void pause(Milliseconds length) override { std::this_thread::sleep_for(length); }
  Milliseconds now() override {
    return std::chrono::duration_cast<Milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
  }
};

}  // namespace

Clock& SystemClock() {
  static SleepingClock clock;
  return clock;
}

bool Patience::wait(Milliseconds pause) {
  {
    const std::lock_guard lock(mutex_);
    const Milliseconds now = clock_.now();
    const Milliseconds spent = spent_ + (waiting_ > 0 ? now - since_ : Milliseconds::zero());
    if (spent >= budget_) return false;
    pause = std::min(pause, budget_ - spent);
    if (waiting_++ == 0) since_ = now;
  }
  clock_.pause(pause);
  const std::lock_guard lock(mutex_);
  if (--waiting_ == 0) spent_ += clock_.now() - since_;
  return true;
}

}  // namespace dravelin
