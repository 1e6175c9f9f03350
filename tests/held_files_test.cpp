// Files that another program holds for a moment: the run waits while the hold lasts, on a clock
// of the test's own, and at most its budget in all; failures that no waiting cures are not
// waited for (copy_test, with a read-only file). The copies and the clean-up meet real holds in
// copy_test and leftovers_test.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "patience.h"
#include "played_clock.h"

namespace dravelin {
namespace {

using namespace std::chrono_literals;
using testing::PlayedClock;

constexpr Milliseconds kForGood = 24h;

// One step after another, each held by another program for a time, as one run meets them.
TEST(Patience, AStepWaitsWhileItsHoldLastsAndTheRunWaitsAtMostItsBudget) {
  struct Case {
    const char* what;
    std::vector<Milliseconds> holds;
    std::vector<bool> wentThrough;
  };
  const Case cases[] = {
      {"free", {0ms}, {true}},
      {"held three seconds", {3s}, {true}},
      {"held for good, then others", {kForGood, 1s, kForGood, 0ms}, {false, false, false, true}},
      {"short holds add up", {2s, 2s, 2s}, {true, true, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PlayedClock clock;
    Patience patience(clock);
    std::vector<bool> wentThrough;
    for (const Milliseconds hold : c.holds) {
      const Milliseconds start = clock.played();
      try {
        patience.persist([&] {
          if (clock.played() - start < hold) throw FileHeld("held (test)", 32);
        });
        wentThrough.push_back(true);
      } catch (const FileHeld&) {
        wentThrough.push_back(false);
      }
    }
    EXPECT_EQ(wentThrough, c.wentThrough);
    EXPECT_LE(clock.played(), Patience::kRunBudget);
  }
}

// Copies in flight wait for their holds side by side, and the run is charged the time during
// which any of them waited, once: two files held three seconds each both go in place within a
// budget of five.
TEST(Patience, StepsThatWaitTogetherSpendTheRunsWaitingOnce) {
  PlayedClock clock(2);
  Patience patience(clock);
  std::atomic<int> wentThrough = 0;
  const auto copy = [&] {
    try {
      patience.persist([&] {
        if (clock.played() < 3s) throw FileHeld("held (test)", 32);
      });
      ++wentThrough;
    } catch (const FileHeld&) {
    }
    clock.leave();
  };
  std::thread other(copy);
  copy();
  other.join();
  EXPECT_EQ(wentThrough, 2);
  EXPECT_LT(clock.played(), 4s);
}

}  // namespace
}  // namespace dravelin
