// Other programs read the client's files while the update runs (antivirus, indexers, backup):
// the files the user accepts still go in place in that run, and a file held for the whole run
// stays old and whole and is asked about again by the next run. Each run's time from Replace All
// to its end is recorded in the XML report, with nothing held for comparison; a run that meets a
// holder of every file waits for it, and so ends only after the holder has let go.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
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

// Makes the holder of files for a run, if any, given the name of the file asked about.
using Holding = std::function<std::unique_ptr<FileHolder>(const std::wstring& asked)>;

struct HeldRun {
  RunResult result;
  bool holderLetGoFirst = false;  // the holder let go of the files while the run went on
};

// Runs the program, answers its first question with Replace All while the holder that `holding`
// makes holds files, and records the time from the answer to the program's end under `what`.
HeldRun ReplaceAllWhile(const ClientFolder& folder, const std::string& what,
                        const Holding& holding) {
  ProgramRun run(folder);
  const HWND question = run.nextQuestion();
  EXPECT_NE(question, nullptr);
  if (!question) return {run.finish()};
  const std::wstring asked = ProgramRun::read(question).fileName;
  // Held until the run has ended.
  const std::unique_ptr<FileHolder> holder = holding(asked.substr(asked.find_last_of(L'\\') + 1));
  const auto answered = std::chrono::steady_clock::now();
  run.answer(question, Answer::ReplaceAll);
  const bool holderLetGoFirst = holder && !run.endsBefore(holder->letGo());
  HeldRun held{run.finish(), holderLetGoFirst};
  const auto took = std::chrono::steady_clock::now() - answered;
  ::testing::Test::RecordProperty(
      what + " ms",
      std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
  return held;
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
  struct Held {
    const char* what;
    std::optional<FileHolder::Mode> mode;
    std::chrono::milliseconds hold;
    int olderLocally = 6;
    bool askedSpared = false;  // the file asked about is not held: the copies after meet the holds
  };
  const Held helds[] = {
      {"nothing held", std::nullopt, 0ms},
      {"every file held 2 s from Replace All", FileHolder::EveryFile, 2s},
      {"each new or changed file held 0.5 s", FileHolder::EachNewFile, 500ms},
      {"twelve old files, every other file held 3 s from Replace All", FileHolder::EveryFile, 3s,
       kServerFiles, true},
  };
  ForEachBuild([&](Build build) {
    for (const Held& held : helds) {
      SCOPED_TRACE(held.what);
      const ClientFolder folder(build);
      LayOut(folder, held.olderLocally);
      const HeldRun run = ReplaceAllWhile(
          folder, BuildName(build) + ", " + held.what, [&](const std::wstring& asked) {
            return held.mode
                       ? std::make_unique<FileHolder>(*held.mode, folder.directory(), held.hold,
                                                      held.askedSpared ? asked : L"")
                       : nullptr;
          });
      EXPECT_TRUE(run.result.clientStarted);
      // A holder of every file lets go when its time is up, and the run waits for it; a watch
      // lets go only with its object, after the run.
      if (held.mode == FileHolder::EveryFile) {
        EXPECT_TRUE(run.holderLetGoFirst) << "the run ended while the files were held";
      }
      ExpectNew(folder);
      EXPECT_TRUE(RunProgram(folder).questions.empty());
    }
  });
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
      const HeldRun run = ReplaceAllWhile(folder, BuildName(build) + ", one file held for good",
                                          [](const std::wstring&) { return nullptr; });
      EXPECT_TRUE(run.result.clientStarted);
      ExpectNew(folder, kHeld);
    }
    const RunResult next = RunProgram(folder, {Answer::Skip});
    ASSERT_EQ(next.questions.size(), 1u);
    EXPECT_TRUE(next.questions[0].fileName.ends_with(DataName(kHeld)));
  });
}

}  // namespace
}  // namespace dravelin::uitest
