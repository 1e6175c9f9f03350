#include "patience.h"

#include <algorithm>
#include <thread>

namespace dravelin {

namespace {

class SleepingClock final : public Clock {
 public:
  void pause(Milliseconds length) override { std::this_thread::sleep_for(length); }
};

}  // namespace

Clock& SystemClock() {
  static SleepingClock clock;
  return clock;
}

bool Patience::wait(Milliseconds pause) {
  {
    const std::lock_guard lock(mutex_);
    if (left_ <= Milliseconds::zero()) return false;
    pause = std::min(pause, left_);
    left_ -= pause;
  }
  clock_.pause(pause);
  return true;
}

}  // namespace dravelin
