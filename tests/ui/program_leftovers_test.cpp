// Both programs ended half-way through a Replace All, as the task manager, a log-off or the
// power button would end them: every file is left old-whole or new-whole, and the next run
// removes the temporary copy that was cut off, touching no file that merely looks like one.
#include <gtest/gtest.h>

#include <chrono>
#include <map>

#include "program_session.h"
#include "uidriver.h"
#include "work_folder.h"

namespace dravelin::uitest {
namespace {

using namespace std::chrono_literals;

constexpr int kFiles = 40;
constexpr std::size_t kFileBytes = 4 << 20;  // big enough that the kill finds a copy under way
constexpr auto kCopyTimeout = 30s;

std::wstring PackName(int i) { return L"pack" + std::to_wstring(100 + i) + L".pak"; }
std::string Bytes(char fill, int i) {
  return std::string(kFileBytes, static_cast<char>(fill + i % 8));
}

// Files that look like temporary copies: a user's, and the server's that came in earlier runs.
const std::vector<std::wstring_view> kLookAlikes = {L"dvl00000000.tmp", L"data.pak.tmp",
                                                    L"temp.tmp", L"dvl12345678.tmp"};

void LayOut(const ClientFolder& folder) {
  folder.writeConfig();
  for (int i = 0; i < kFiles; ++i) {
    folder.writeServer(PackName(i), Bytes('n', i), kDecember);
    if (i % 2 == 0) folder.writeLocal(PackName(i), Bytes('o', i), kNovember);  // others missing
  }
  folder.writeLocal(kLookAlikes[0], "a user's file", kNovember);
  folder.writeLocal(kLookAlikes[1], "a user's file", kNovember);
  for (std::wstring_view name : {kLookAlikes[2], kLookAlikes[3]}) {
    folder.writeServer(name, "from the server", kNovember);
    folder.writeLocal(name, "from the server", kNovember);
  }
}

enum class State { Old, New, Other };

// What became of pack `i`: its old copy (or none, as before), or the server's, each whole.
State StateOf(const std::map<std::wstring, ClientFolder::LocalFile>& files, int i) {
  const auto found = files.find(PackName(i));
  const bool hadOld = i % 2 == 0;
  if (found == files.end()) return hadOld ? State::Other : State::Old;
  if (found->second == ClientFolder::LocalFile{Bytes('n', i), kDecember}) return State::New;
  const bool old = found->second == ClientFolder::LocalFile{Bytes('o', i), kNovember};
  if (hadOld && old) return State::Old;
  return State::Other;
}

// Until the first pack has been replaced (it has the server's time now): the Replace All is under
// way.
bool WaitForTheFirstCopy(const ClientFolder& folder) {
  return WaitUntil([&] { return testing::Modified(folder.local(PackName(0))) == kDecember; },
                   kCopyTimeout);
}

TEST(KilledRun, EveryFileIsWholeAndTheNextRunLeavesNothingBehind) {
  ForEachBuild([&](Build build) {
    const ClientFolder folder(build);
    LayOut(folder);
    {
      ProgramRun run(folder);
      const HWND question = run.nextQuestion();
      ASSERT_NE(question, nullptr);
      run.answer(question, Answer::ReplaceAll);
      ASSERT_TRUE(WaitForTheFirstCopy(folder)) << "no copy was made";
      run.kill();
    }
    int replaced = 0;
    const auto afterKill = folder.localFiles();
    for (int i = 0; i < kFiles; ++i) {
      const State state = StateOf(afterKill, i);
      EXPECT_NE(state, State::Other) << testing::Path(PackName(i));
      replaced += state == State::New;
    }
    ASSERT_LT(replaced, kFiles) << "the run ended before the kill: nothing was cut off";

    ProgramRun nextRun(folder);
    const HWND question = nextRun.nextQuestion();
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(testing::FilesInWorkFolder(folder.directory()), 0)
        << "the copy cut off was still there at the first question";
    nextRun.answer(question, Answer::SkipAll);
    const RunResult next = nextRun.finish();
    EXPECT_EQ(next.questions.size(), 1u);
    EXPECT_TRUE(next.clientStarted);
    EXPECT_FALSE(testing::WorkFolderPresent(folder.directory()));
    const auto files = folder.localFiles();
    EXPECT_EQ(files.at(std::wstring(kLookAlikes[0])).bytes, "a user's file");
    EXPECT_EQ(files.at(std::wstring(kLookAlikes[1])).bytes, "a user's file");
    EXPECT_EQ(files.at(std::wstring(kLookAlikes[2])).bytes, "from the server");
    EXPECT_EQ(files.at(std::wstring(kLookAlikes[3])).bytes, "from the server");
  });
}

// A temporary copy under the program's own name, cut off by an earlier run, is removed before
// anything else happens, even when the run finds nothing to update.
TEST(KilledRun, WhatAnEarlierRunLeftGoesEvenWithNothingToUpdate) {
  ForEachBuild([&](Build build) {
    const ClientFolder folder(build);
    folder.writeConfig();
    folder.makeLocalDirectory(kWorkFolderName);
    folder.writeLocalBytes(std::wstring(kWorkFolderName) + L"\\dvl0A1B2C3D.tmp", "cut off");
    folder.writeLocal(kLookAlikes[0], "a user's file", kNovember);
    const RunResult result = RunProgram(folder);
    EXPECT_TRUE(result.questions.empty());
    EXPECT_TRUE(result.clientStarted);
    EXPECT_FALSE(testing::WorkFolderPresent(folder.directory()));
    EXPECT_EQ(testing::ReadAll(folder.local(kLookAlikes[0])), "a user's file");
  });
}

}  // namespace
}  // namespace dravelin::uitest
