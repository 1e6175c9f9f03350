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

class TakingTurns : public ::testing::Test {
 protected:
  // Holds the turn of `holder` for a while, meanwhile another thread asks for the turn of
  // `other`; says whether that thread had to wait until the holder gave the turn up.
  bool secondWaitsForFirst(const std::wstring& holder, const std::wstring& other) {
    std::unique_ptr<Turn> first = runtime_->waitForTurn(holder);
    std::atomic<bool> released = false;
    auto second = std::async(std::launch::async, [&] {
      const auto turn = runtime_->waitForTurn(other);
      return released.load();
    });
    const bool tookItEarly = second.wait_for(kHeld) == std::future_status::ready;
    released = true;
    first.reset();
    EXPECT_EQ(second.wait_for(kNeverCame), std::future_status::ready) << "the turn never came";
    return !tookItEarly && second.get();
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
  const auto first = runtime_->waitForTurn(folder_.dir());
  auto second = std::async(std::launch::async, [&] { runtime_->waitForTurn(otherFolder_.dir()); });
  EXPECT_EQ(second.wait_for(kNeverCame), std::future_status::ready);
}

#ifdef _WIN32
// A run that ends holding the turn (killed, crashed) gives it up with its thread, which is how
// its process ends too; the next run goes on.
TEST_F(TakingTurns, ATurnHeldByARunThatEndedIsFree) {
  std::thread([&] { runtime_->waitForTurn(folder_.dir()).release(); }).join();
  auto next = std::async(std::launch::async, [&] { runtime_->waitForTurn(folder_.dir()); });
  EXPECT_EQ(next.wait_for(kNeverCame), std::future_status::ready);
}
#endif

}  // namespace
}  // namespace dravelin
