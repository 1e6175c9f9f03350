// Runs in one client folder take turns; runs in different folders do not wait for each other.
// Each run is played by a thread of its own here, as each program's pass runs on one.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "played_clock.h"
#include "runtime_error.h"
#include "test_tree.h"
#include "work_turn.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace dravelin {
namespace {

using namespace std::chrono_literals;
using testing::TempTree;

// Long enough for a run that does not wait to be seen taking the turn early; a run that waits
// as it should passes whatever the machine's speed.
constexpr auto kHeld = 300ms;
// Only for a run that never gets its turn: it fails the test instead of hanging it.
constexpr auto kNeverCame = 30s;

// What a run was told before it waited for its turn: nothing yet, that it goes first, or that it
// waits for another run.
enum class Told { Nothing, GoesFirst, Waits };

// A run asking for its turn on a thread of its own, as each program's pass runs on one. A run that
// never gets its turn is left behind, blocked, and the test fails instead of hanging: what the
// thread uses is its own (a shared state, a runtime of its own).
class AskingRun {
 public:
  explicit AskingRun(std::wstring folder) : state_(std::make_shared<State>()) {
    std::thread([state = state_, folder = std::move(folder)] {
      state->runtime
          ->waitForTurn(folder,
                        [&](bool waits) { state->told = waits ? Told::Waits : Told::GoesFirst; })
          .reset();  // given up again before the run says it is done
      state->ended.set_value();
    }).detach();
    ended_ = state_->ended.get_future();
  }

  // Whether it got its turn (and gave it up again) within `bound`.
  bool hadItsTurnWithin(std::chrono::milliseconds bound) {
    return ended_.wait_for(bound) == std::future_status::ready;
  }
  Told told() const { return state_->told; }
  // Whether it was told within `bound` whether it waits.
  bool wasToldWithin(std::chrono::milliseconds bound) const {
    const auto until = std::chrono::steady_clock::now() + bound;
    while (told() == Told::Nothing && std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(1ms);
    }
    return told() != Told::Nothing;
  }

 private:
  struct State {
    std::unique_ptr<Runtime> runtime = MakeSystemRuntime();
    std::atomic<Told> told = Told::Nothing;
    std::promise<void> ended;
  };
  std::shared_ptr<State> state_;
  std::future<void> ended_;
};

class TakingTurns : public ::testing::Test {
 protected:
  std::unique_ptr<Turn> takeTurn(const std::wstring& folder) {
    Told told = Told::Nothing;
    auto turn = runtime_->waitForTurn(
        folder, [&](bool waits) { told = waits ? Told::Waits : Told::GoesFirst; });
    EXPECT_EQ(told, Told::GoesFirst);
    return turn;
  }

  // Holds the turn of `holder` for a while, meanwhile another run asks for the turn of `other`;
  // says whether that run had to wait until the holder gave the turn up, having been told so
  // before it waited.
  bool secondWaitsForFirst(const std::wstring& holder, const std::wstring& other) {
    std::unique_ptr<Turn> first = takeTurn(holder);
    AskingRun second(other);
    // The holder keeps its turn at least until the other run has looked: a busy machine (the
    // i686 machine under emulation) may take longer than kHeld to start its thread.
    EXPECT_TRUE(second.wasToldWithin(kNeverCame)) << "never looked";
    const bool tookItEarly = second.hadItsTurnWithin(kHeld);
    first.reset();
    EXPECT_TRUE(second.hadItsTurnWithin(kNeverCame)) << "the turn never came";
    return !tookItEarly && second.told() == Told::Waits;
  }

  TempTree folder_;
  TempTree otherFolder_;
  std::unique_ptr<Runtime> runtime_ = MakeSystemRuntime();
};

TEST_F(TakingTurns, ASecondRunInTheSameFolderWaitsUntilTheFirstIsDone) {
  EXPECT_TRUE(secondWaitsForFirst(folder_.dir(), folder_.dir()));
}

// However the folder is named, it is one folder: its turn is one.
TEST_F(TakingTurns, OtherNamesOfTheSameFolderShareItsTurn) {
  const std::wstring inner = folder_.makeDirectory(L"클라이언트");
  const std::wstring roundabout = inner + kPathSeparator + L".." + kPathSeparator + L"클라이언트";
  EXPECT_TRUE(secondWaitsForFirst(inner, roundabout));
#ifdef _WIN32
  std::wstring otherCase = inner;
  CharLowerBuffW(otherCase.data(), static_cast<DWORD>(otherCase.size()));
  if (otherCase == inner) CharUpperBuffW(otherCase.data(), static_cast<DWORD>(otherCase.size()));
  ASSERT_NE(otherCase, inner);
  EXPECT_TRUE(secondWaitsForFirst(inner, otherCase));
#else
  const std::wstring link = folder_.path(L"link");
  testing::fs::create_directory_symlink(testing::Path(inner), testing::Path(link));
  EXPECT_TRUE(secondWaitsForFirst(inner, link));
#endif
}

TEST_F(TakingTurns, RunsInDifferentFoldersDoNotWait) {
  const auto first = takeTurn(folder_.dir());
  AskingRun second(otherFolder_.dir());
  EXPECT_TRUE(second.hadItsTurnWithin(kNeverCame)) << "it waited for the other folder's run";
  EXPECT_EQ(second.told(), Told::GoesFirst);
}

#ifdef _WIN32
// A run that ends holding the turn (killed, crashed) gives it up with its thread, which is how
// its process ends too; the next run goes on.
TEST_F(TakingTurns, ATurnHeldByARunThatEndedIsFree) {
  std::thread([&] { runtime_->waitForTurn(folder_.dir(), [](bool) {}).release(); }).join();
  EXPECT_TRUE(AskingRun(folder_.dir()).hadItsTurnWithin(kNeverCame));
}
#endif

// The turn for work in the folder, among the runs of all sessions: each wait for it is bounded, a
// run goes on alone after it, and then waits for it no more but takes it where it is free.
TEST(WorkTurns, AWaitIsBoundedAndTheRunThenGoesOnWithoutWaiting) {
  constexpr Milliseconds kNever = std::chrono::hours(24);
  testing::PlayedClock clock;
  Milliseconds freeFrom{0};  // from this played time on, no other run has the turn
  bool cannotBeHad = false;
  int held = 0;
  struct Counted : Turn {
    explicit Counted(int& held) : held_(++held) {}
    ~Counted() override { --held_; }
    int& held_;
  };
  WorkTurns turns(
      [&]() -> std::unique_ptr<Turn> {
        if (cannotBeHad) throw RuntimeError("CreateMutexExW (test)", 5);
        return clock.played() >= freeFrom ? std::make_unique<Counted>(held) : nullptr;
      },
      clock);
  struct Step {
    const char* what;
    Milliseconds heldFor;  // by another run, from the step's start
    bool cannotBeHad;
    bool workHeld;
    Milliseconds waited;
  };
  const Step steps[] = {
      {"free", Milliseconds{0}, false, true, Milliseconds{0}},
      {"held a moment", Milliseconds{100}, false, true, Milliseconds{150}},
      {"held for good", kNever, false, false, WorkTurns::kLongestWait},
      {"held for good again", kNever, false, false, Milliseconds{0}},
      {"free again", Milliseconds{0}, false, true, Milliseconds{0}},
      {"cannot be had", Milliseconds{0}, true, false, Milliseconds{0}},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    const Milliseconds start = clock.played();
    freeFrom = step.heldFor == kNever ? kNever : start + step.heldFor;
    cannotBeHad = step.cannotBeHad;
    bool ran = false;
    turns.around([&] {
      ran = true;
      EXPECT_EQ(held, step.workHeld ? 1 : 0);
    });
    EXPECT_TRUE(ran);
    EXPECT_EQ(held, 0);
    EXPECT_EQ(clock.played() - start, step.waited);
  }
}

}  // namespace
}  // namespace dravelin
