#include "work_turn.h"

#include <algorithm>

#include "error_rule.h"

namespace dravelin {

namespace {

constexpr Milliseconds kFirstPause{10};
constexpr Milliseconds kLongestPause{250};

}  // namespace

std::unique_ptr<Turn> WorkTurns::take() {
  // Once the turn did not come in time, it is still taken where it is free, but not waited for.
  const Milliseconds bound = alone_ ? Milliseconds::zero() : kLongestWait;
  Milliseconds waited{0};
  for (Milliseconds pause = kFirstPause;; pause = std::min(2 * pause, kLongestPause)) {
    std::unique_ptr<Turn> turn;
    if (!error_rule::Attempt([&] { turn = tryTurn_(); })) break;
    if (turn) return turn;
    if (waited >= bound) break;
    pause = std::min(pause, bound - waited);
    clock_.pause(pause);
    waited += pause;
  }
  alone_ = true;
  return nullptr;
}

}  // namespace dravelin
