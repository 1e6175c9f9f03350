// The time and the pauses of a run's waits: the system's steady clock and the calling thread's
// sleep, or a test's own clock, which plays seconds of waiting without spending them.
#pragma once

#include <chrono>

namespace dravelin {

using Milliseconds = std::chrono::milliseconds;

class Clock {
 public:
  virtual ~Clock() = default;
  virtual void pause(Milliseconds length) = 0;
  // The time since some fixed moment of the run, which only goes forward.
  virtual Milliseconds now() = 0;
};

// The system's: the calling thread sleeps, and the time is the steady clock's.
Clock& SystemClock();

}  // namespace dravelin
