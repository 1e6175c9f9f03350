// What a run that was ended half-way leaves in the client's directory, and what only looks like
// it: the next run clears the work folder and touches nothing else.
#include <gtest/gtest.h>

#include "played_clock.h"
#include "runtime_error.h"
#include "test_tree.h"
#include "work_folder.h"

#ifdef _WIN32
#include <windows.h>

#include "win32/handles.h"
#endif

namespace dravelin {
namespace {

using testing::CopyAsListed;
using testing::ReadAll;
using testing::TempTree;
using testing::WorkFolderPresent;

class Leftovers : public ::testing::Test {
 protected:
  std::wstring inWorkFolder(std::wstring_view name) const {
    return std::wstring(kWorkFolderName) + kPathSeparator + std::wstring(name);
  }
  // Files that look like temporary copies, made by a user or sent by the server.
  void writeLookAlikes() const {
    for (const auto* name : {L"dvl00000000.tmp", L"data.pak.tmp", L"temp.tmp"}) {
      local_.write(name, "look-alike");
    }
  }
  void expectLookAlikesKept() const {
    for (const auto* name : {L"dvl00000000.tmp", L"data.pak.tmp", L"temp.tmp"}) {
      EXPECT_EQ(ReadAll(local_.path(name)), "look-alike") << testing::Path(name);
    }
  }

  TempTree server_;
  TempTree local_;
  testing::PlayedClock clock_;  // the waits for files that other programs hold
  std::unique_ptr<Runtime> runtime_ = MakeSystemRuntime(clock_);
};

TEST_F(Leftovers, TheWorkFolderIsClearedAndLookAlikesAreKept) {
  local_.makeDirectory(kWorkFolderName);
  local_.write(inWorkFolder(L"dvl1A2B3C4D.tmp"), std::string(4096, 'h'));  // half a copy
  const std::wstring readOnly = local_.write(inWorkFolder(L"dvl00C0FFEE.tmp"), "read-only copy");
  testing::MakeReadOnly(readOnly, true);
  writeLookAlikes();
  runtime_->removeLeftovers(local_.dir());
  EXPECT_FALSE(WorkFolderPresent(local_.dir()));
  expectLookAlikesKept();
}

TEST_F(Leftovers, NothingLeftIsNoFailure) {
  writeLookAlikes();
  EXPECT_NO_THROW(runtime_->removeLeftovers(local_.dir()));
  EXPECT_NO_THROW(runtime_->removeLeftovers(local_.path(L"no such directory")));
  expectLookAlikesKept();
}

TEST_F(Leftovers, OnlyTheProgramsOwnNamesAreRemovedFromTheFolder) {
  local_.makeDirectory(kWorkFolderName);
  local_.write(inWorkFolder(L"dvl12345678.tmp"), "copy");
  local_.write(inWorkFolder(L"notes.txt"), "not ours");
  EXPECT_THROW(runtime_->removeLeftovers(local_.dir()), RuntimeError);  // the folder stays
  EXPECT_EQ(ReadAll(local_.path(inWorkFolder(L"notes.txt"))), "not ours");
  EXPECT_EQ(testing::CountLeftovers(local_.dir()), 0);
}

// A file that takes the work folder's name (a user's, or one the server sent) is left alone,
// and the copies are made beside their destinations instead.
TEST_F(Leftovers, AFileInTheWorkFoldersPlaceIsNeverTouched) {
  local_.write(kWorkFolderName, "somebody's file");
  const std::wstring source = server_.write(L"a.dat", "update");
  CopyAsListed(*runtime_, source, local_.path(L"a.dat"));
  EXPECT_EQ(ReadAll(local_.path(L"a.dat")), "update");
  EXPECT_NO_THROW(runtime_->removeLeftovers(local_.dir()));
  EXPECT_EQ(ReadAll(local_.path(kWorkFolderName)), "somebody's file");
  EXPECT_EQ(testing::CountLeftovers(local_.dir()), 0);
}

#ifdef _WIN32
// A copy that another run of the program is still writing (two started at once) cannot be
// deleted; it stays, and the failure is reported, while the rest goes.
TEST_F(Leftovers, ACopyStillBeingWrittenStays) {
  local_.makeDirectory(kWorkFolderName);
  const std::wstring busy = local_.write(inWorkFolder(L"dvlAAAAAAAA.tmp"), "being written");
  local_.write(inWorkFolder(L"dvlBBBBBBBB.tmp"), "left over");
  {
    const win::UniqueFile writing(CreateFileW(busy.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                              OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(writing);
    EXPECT_THROW(runtime_->removeLeftovers(local_.dir()), RuntimeError);
    EXPECT_EQ(ReadAll(busy), "being written");
    EXPECT_EQ(testing::CountLeftovers(local_.dir()), 1);
  }
  runtime_->removeLeftovers(local_.dir());
  EXPECT_FALSE(WorkFolderPresent(local_.dir()));
}

// A left-over copy that a scanner reads for a moment goes as soon as the scanner lets go.
TEST_F(Leftovers, ALeftoverHeldForAMomentGoes) {
  local_.makeDirectory(kWorkFolderName);
  const std::wstring leftover = local_.write(inWorkFolder(L"dvl00000001.tmp"), "half a copy");
  win::UniqueFile scanned(CreateFileW(leftover.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(scanned);
  clock_.onPause = [&](Milliseconds played) {
    if (played >= std::chrono::seconds(1)) scanned.reset();
  };
  runtime_->removeLeftovers(local_.dir());
  EXPECT_FALSE(WorkFolderPresent(local_.dir()));
}
#endif

}  // namespace
}  // namespace dravelin
