// Runs in one client folder take turns; runs in different folders do not wait for each other.
// Each run is played by a thread of its own here, as each program's pass runs on one.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "test_tree.h"

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

class TakingTurns : public ::testing::Test {
 protected:
  std::unique_ptr<Turn> takeTurn(const std::wstring& folder, std::atomic<Told>& told) {
    return runtime_->waitForTurn(folder, [&](bool waits) {
      EXPECT_EQ(told.exchange(waits ? Told::Waits : Told::GoesFirst), Told::Nothing);
    });
  }

  // Holds the turn of `holder` for a while, meanwhile another thread asks for the turn of
  // `other`; says whether that thread had to wait until the holder gave the turn up, having been
  // told so before it waited.
  bool secondWaitsForFirst(const std::wstring& holder, const std::wstring& other) {
    std::atomic<Told> firstTold = Told::Nothing, secondTold = Told::Nothing;
    std::unique_ptr<Turn> first = takeTurn(holder, firstTold);
    EXPECT_EQ(firstTold, Told::GoesFirst);
    std::atomic<bool> released = false;
    auto second = std::async(std::launch::async, [&] {
      const auto turn = takeTurn(other, secondTold);
      return released.load();
    });
    const bool tookItEarly = second.wait_for(kHeld) == std::future_status::ready;
    const bool toldItWaits = secondTold == Told::Waits;
    released = true;
    first.reset();
    EXPECT_EQ(second.wait_for(kNeverCame), std::future_status::ready) << "the turn never came";
    return !tookItEarly && second.get() && toldItWaits;
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
  std::atomic<Told> firstTold = Told::Nothing, secondTold = Told::Nothing;
  const auto first = takeTurn(folder_.dir(), firstTold);
  auto second = std::async(std::launch::async, [&] { takeTurn(otherFolder_.dir(), secondTold); });
  EXPECT_EQ(second.wait_for(kNeverCame), std::future_status::ready);
  EXPECT_EQ(secondTold, Told::GoesFirst);
}

#ifdef _WIN32
// A run that ends holding the turn (killed, crashed) gives it up with its thread, which is how
// its process ends too; the next run goes on.
TEST_F(TakingTurns, ATurnHeldByARunThatEndedIsFree) {
  std::thread([&] { runtime_->waitForTurn(folder_.dir(), [](bool) {}).release(); }).join();
  auto next =
      std::async(std::launch::async, [&] { runtime_->waitForTurn(folder_.dir(), [](bool) {}); });
  EXPECT_EQ(next.wait_for(kNeverCame), std::future_status::ready);
}
#endif

}  // namespace
}  // namespace dravelin
