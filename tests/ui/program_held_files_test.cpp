// Other programs read the client's files while the update runs (antivirus, indexers, backup):
// the files the user accepts still go in place in that run, and a file held for the whole run
// stays old and whole and is asked about again by the next run. Each run's time from Replace All
// to its end is recorded in the XML report, with nothing held for comparison.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "program_session.h"
#include "work_folder.h"

namespace dravelin::uitest {
namespace {

using namespace std::chrono_literals;

constexpr int kServerFiles = 12;

std::wstring DataName(int i) { return L"data" + std::to_wstring(i) + L".pak"; }
std::string NewBytes(int i) { return "new release of " + std::to_string(i); }

// The first `olderLocally` files are older locally; the others are up to date.
void LayOut(const ClientFolder& folder, int olderLocally = 6) {
  folder.writeConfig();
  for (int i = 0; i < kServerFiles; ++i) {
    const bool older = i < olderLocally;
    folder.writeServer(DataName(i), NewBytes(i), kDecember);
    folder.writeLocal(DataName(i), older ? "old" : NewBytes(i), older ? kNovember : kDecember);
  }
}

// Runs the program, answers its first question with Replace All while `meanwhile` holds files
// (given the name of the file asked about), and records the time from the answer to the program's
// end under `what`.
template <typename Holding>
RunResult ReplaceAllWhile(const ClientFolder& folder, const std::string& what, Holding meanwhile) {
  ProgramRun run(folder);
  const HWND question = run.nextQuestion();
  EXPECT_NE(question, nullptr);
  if (!question) return run.finish();
  const std::wstring asked = ProgramRun::read(question).fileName;
  // Held until the run has ended.
  [[maybe_unused]] const auto holding = meanwhile(asked.substr(asked.find_last_of(L'\\') + 1));
  const auto answered = std::chrono::steady_clock::now();
  run.answer(question, Answer::ReplaceAll);
  RunResult result = run.finish();
  const auto took = std::chrono::steady_clock::now() - answered;
  ::testing::Test::RecordProperty(
      what + " ms",
      std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
  return result;
}

void ExpectNew(const ClientFolder& folder, int except = -1) {
  const auto files = folder.localFiles();
  for (int i = 0; i < kServerFiles; ++i) {
    const auto expected = i == except ? ClientFolder::LocalFile{"old", kNovember}
                                      : ClientFolder::LocalFile{NewBytes(i), kDecember};
    EXPECT_TRUE(files.at(DataName(i)) == expected) << testing::Path(DataName(i));
  }
  EXPECT_FALSE(testing::WorkFolderPresent(folder.directory()));
}

// Held files cost the run its time of waiting together: copies that run at once wait at once.
TEST(HeldFiles, FilesHeldForAMomentStillGoInPlace) {
  struct Holding {
    const char* what;
    std::optional<FileHolder::Mode> mode;
    std::chrono::milliseconds hold;
    int olderLocally = 6;
    bool askedSpared = false;  // the file asked about is not held: the copies after meet the holds
  };
  const Holding holdings[] = {
      {"nothing held", std::nullopt, 0ms},
      {"every file held 2 s from Replace All", FileHolder::EveryFile, 2s},
      {"each new or changed file held 0.5 s", FileHolder::EachNewFile, 500ms},
      {"twelve old files, every other file held 3 s from Replace All", FileHolder::EveryFile, 3s,
       kServerFiles, true},
  };
  for (Build build : kBuilds) {
    for (const Holding& holding : holdings) {
      const std::string what = BuildName(build) + ", " + holding.what;
      SCOPED_TRACE(what);
      const ClientFolder folder(build);
      LayOut(folder, holding.olderLocally);
      const RunResult result = ReplaceAllWhile(folder, what, [&](const std::wstring& asked) {
        return holding.mode
                   ? std::make_unique<FileHolder>(*holding.mode, folder.directory(), holding.hold,
                                                  holding.askedSpared ? asked : L"")
                   : nullptr;
      });
      EXPECT_TRUE(result.clientStarted);
      ExpectNew(folder);
      EXPECT_TRUE(RunProgram(folder).questions.empty());
    }
  }
}

TEST(HeldFiles, AFileHeldForTheWholeRunStaysOldAndIsAskedAgain) {
  ForEachBuild([&](Build build) {
    const ClientFolder folder(build);
    LayOut(folder);
    constexpr int kHeld = 2;
    {
      const win::UniqueFile held(::CreateFileW(folder.local(DataName(kHeld)).c_str(), GENERIC_READ,
                                               FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                               nullptr));
      ASSERT_TRUE(held);
      const RunResult result =
          ReplaceAllWhile(folder, BuildName(build) + ", one file held for good",
                          [](const std::wstring&) { return 0; });
      EXPECT_TRUE(result.clientStarted);
      ExpectNew(folder, kHeld);
    }
    const RunResult next = RunProgram(folder, {Answer::Skip});
    ASSERT_EQ(next.questions.size(), 1u);
    EXPECT_TRUE(next.questions[0].fileName.ends_with(DataName(kHeld)));
  });
}

}  // namespace
}  // namespace dravelin::uitest
