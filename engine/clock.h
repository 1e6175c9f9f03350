// The pauses of a run's waits: the calling thread's sleep, or a test's own clock, which plays
// seconds of waiting without spending them.
#pragma once

#include <chrono>

namespace dravelin {

using Milliseconds = std::chrono::milliseconds;

class Clock {
 public:
  virtual ~Clock() = default;
  virtual void pause(Milliseconds length) = 0;
};

// The system's: the calling thread sleeps.
Clock& SystemClock();

}  // namespace dravelin
