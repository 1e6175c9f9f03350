// A clock for the waits of a run that plays its pauses at once and adds them up: seconds of
// waiting for a file that another program holds pass in no time, and the test sees how long the
// run would have waited.
#pragma once

#include <functional>

#include "clock.h"

namespace dravelin::testing {

class PlayedClock final : public Clock {
 public:
  void pause(Milliseconds length) override {
    played += length;
    if (onPause) onPause(played);
  }
  Milliseconds now() override { return played; }

  Milliseconds played{0};
  // Sees the time played so far after each pause: lets a test end a hold at a given time.
  std::function<void(Milliseconds)> onPause;
};

}  // namespace dravelin::testing
