// The program started twice or three times at once in one client folder (a double click too many,
// a Run key and the user, two users of one machine): the runs take turns. Never are two questions
// on screen at once, each file is asked about once, every file arrives whole, no work folder is
// left, and every run ends by starting the client. A run killed while it holds its turn does not
// keep the next waiting, and runs in different folders do not wait for each other.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <exception>
#include <memory>
#include <thread>
#include <vector>

#include "program_session.h"
#include "uidriver.h"
#include "work_folder.h"

namespace dravelin::uitest {
namespace {

using namespace std::chrono_literals;
using Runs = std::vector<std::unique_ptr<ProgramRun>>;

constexpr int kNewerFiles = 3;
constexpr std::size_t kFileBytes = std::size_t{6} << 20;
constexpr auto kPollInterval = 5ms;
constexpr auto kRunsTimeout = 60s;
constexpr auto kHungAfter = 5000ms;  // the system's own limit
// How long a run waiting for its turn is watched for a question it must not ask: a run that does
// not wait asks within a fraction of this.
constexpr auto kWatchedWhileWaiting = 2s;

std::wstring PackName(int i) { return L"pack" + std::to_wstring(i) + L".pak"; }
std::string NewBytes(int i) { return std::string(kFileBytes, static_cast<char>('a' + i)); }

void LayOut(const ClientFolder& folder) {
  folder.writeConfig();
  for (int i = 0; i < kNewerFiles; ++i) {
    folder.writeServer(PackName(i), NewBytes(i), kDecember);
    folder.writeLocal(PackName(i), "old", kNovember);
  }
}

void ExpectEveryFileNewAndWhole(const ClientFolder& folder) {
  const auto files = folder.localFiles();
  for (int i = 0; i < kNewerFiles; ++i) {
    const auto found = files.find(PackName(i));
    ASSERT_NE(found, files.end());
    EXPECT_TRUE(found->second == (ClientFolder::LocalFile{NewBytes(i), kDecember}))
        << testing::Path(PackName(i));
  }
  EXPECT_FALSE(testing::WorkFolderPresent(folder.directory()));
}

Runs StartRuns(const ClientFolder& folder, int count) {
  Runs runs;
  for (int i = 0; i < count; ++i) runs.push_back(std::make_unique<ProgramRun>(folder));
  return runs;
}

struct Answered {
  int questions = 0;
  std::size_t mostOnScreen = 0;  // questions on screen at one moment, of whichever run
};

// Answers each question of the runs with Replace as it comes, until every run has ended.
Answered AnswerUntilAllEnd(const Runs& runs) {
  Answered answered;
  // Two at once: the runs did not take turns, and only one of them can have the focus.
  const auto twoOnScreen = [&answered] {
    answered.mostOnScreen =
        std::max(answered.mostOnScreen, uidriver::FindTopWindows(kQuestionCaption).size());
    return answered.mostOnScreen > 1;
  };
  // One look at the runs, answering what is asked; true once every run has ended, or the look
  // found what fails the test.
  const auto answerWhatIsAsked = [&] {
    if (std::all_of(runs.begin(), runs.end(), [](const auto& run) { return run->ended(); })) {
      return true;
    }
    if (twoOnScreen()) return true;
    for (const auto& run : runs) {
      const HWND question = run->shownQuestion();
      if (!question) continue;
      // Counted again with this one up: it may have come after the look above.
      if (twoOnScreen()) return true;
      try {
        // A later run's window, shown after this question while it waits for its turn, comes up
        // behind the question and leaves it the keyboard.
        uidriver::WaitUntilReady(question);
      } catch (const std::exception& error) {
        ADD_FAILURE() << "a question never got the focus: " << error.what();
        return true;
      }
      run->answer(question, Answer::Replace);
      ++answered.questions;
    }
    return false;
  };
  if (!WaitUntil(answerWhatIsAsked, kRunsTimeout, kPollInterval)) {
    ADD_FAILURE() << "the runs did not end in time";
  }
  return answered;
}

TEST(StartedSeveralTimes, TheRunsInOneFolderTakeTurns) {
  for (Build build : kBuilds) {
    for (int starts : {2, 3}) {
      SCOPED_TRACE(BuildName(build) + ", started " + std::to_string(starts) + " times");
      const ClientFolder folder(build);
      LayOut(folder);
      const Runs runs = StartRuns(folder, starts);
      const Answered answered = AnswerUntilAllEnd(runs);
      EXPECT_EQ(answered.mostOnScreen, 1u);
      EXPECT_EQ(answered.questions, kNewerFiles);
      for (const auto& run : runs) {
        const RunResult result = run->finish();
        EXPECT_EQ(result.exitCode, 0u);
        EXPECT_TRUE(result.clientStarted);
      }
      ExpectEveryFileNewAndWhole(folder);
    }
  }
}

// While the first run's question waits for the user, the second run waits for its turn: its
// window is on screen without taking the keyboard from the question, and answers the system all
// along. Then the first run is killed, as the task manager ends it; the second goes on, asks
// about every file and brings it.
TEST(StartedSeveralTimes, ARunKilledHoldingItsTurnDoesNotBlockTheNext) {
  ForEachBuild([&](Build build) {
    const ClientFolder folder(build);
    LayOut(folder);
    ProgramRun first(folder);
    const HWND question = first.nextQuestion();
    ASSERT_NE(question, nullptr);
    ProgramRun second(folder);
    const HWND waiting = second.progressWindow();
    ASSERT_NE(waiting, nullptr);
    // Where the window lies is not looked at: Wine maps an unmanaged window on top of the X
    // screen's stack wherever Windows places it, and now and then takes that order as its own.
    EXPECT_EQ(::GetForegroundWindow(), question) << "the waiting run took the foreground";
    const auto watchedUntil =
        std::chrono::steady_clock::now() + uidriver::Scaled(kWatchedWhileWaiting);
    while (std::chrono::steady_clock::now() < watchedUntil) {
      ASSERT_EQ(second.shownQuestion(), nullptr) << "asked while the first run held its turn";
      EXPECT_TRUE(uidriver::Probe(waiting, uidriver::Scaled(kHungAfter)).has_value());
      std::this_thread::sleep_for(kPollInterval);
    }
    first.kill();

    int asked = 0;
    for (HWND next = second.nextQuestion(); next; next = second.nextQuestion()) {
      second.answer(next, Answer::Replace);
      ++asked;
    }
    EXPECT_EQ(asked, kNewerFiles);
    const RunResult result = second.finish();
    EXPECT_TRUE(result.clientStarted);
    ExpectEveryFileNewAndWhole(folder);
  });
}

// A run of another session (another user of a terminal server) is played here by the test, which
// holds the folder's work turn as such a run does while it copies. A run in this session still
// asks its question, and its copies wait for that turn only a while and then go on alone; while
// its question is on screen it holds nothing that the other session's run could need.
TEST(StartedSeveralTimes, ARunOfAnotherSessionIsWaitedForOnlyAWhileAndNeverForAQuestion) {
  ForEachBuild([&](Build build) {
    const ClientFolder folder(build);
    LayOut(folder);
    const auto otherSession = MakeSystemRuntime();
    std::unique_ptr<Turn> copying = otherSession->tryWorkTurn(folder.directory());
    ASSERT_NE(copying, nullptr);
    ProgramRun run(folder);
    const HWND question = run.nextQuestion();
    ASSERT_NE(question, nullptr) << "the run ended without asking";
    copying.reset();
    EXPECT_NE(otherSession->tryWorkTurn(folder.directory()), nullptr)
        << "the run holds the work turn while its question is on screen";
    copying = otherSession->tryWorkTurn(folder.directory());  // and copies again
    run.answer(question, Answer::ReplaceAll);
    EXPECT_TRUE(run.finish().clientStarted);
    ExpectEveryFileNewAndWhole(folder);
  });
}

// The run's question, brought to the front as a user's click brings it: both folders' runs show
// their windows at the same time, and whichever comes last takes the foreground. It is not
// waited for to keep the focus: under Wine the focus may still move on afterwards, as the X
// server's events of the other run's end come in (to the desktop, where nobody takes it back);
// the answer is a click on its button, which needs no focus.
HWND QuestionInFront(const ProgramRun& run) {
  const HWND question = run.shownQuestion();
  if (question) uidriver::BringToFront(question);
  return question;
}

// Two client folders: the second run asks its question while the first run's is on screen.
TEST(StartedSeveralTimes, RunsInDifferentFoldersDoNotWaitForEachOther) {
  ForEachBuild([&](Build build) {
    const ClientFolder one(build);
    const ClientFolder other(build);
    LayOut(one);
    LayOut(other);
    ProgramRun first(one);
    ProgramRun second(other);
    const auto asksOrEnded = [](const ProgramRun& run) {
      return run.shownQuestion() || run.ended();
    };
    EXPECT_TRUE(WaitUntil([&] { return asksOrEnded(first) && asksOrEnded(second); }, kRunsTimeout));
    ASSERT_NE(first.shownQuestion(), nullptr);
    EXPECT_NE(second.shownQuestion(), nullptr) << "the second folder's run waited";
    EXPECT_EQ(uidriver::FindTopWindows(kQuestionCaption).size(), 2u);
    // Each asks to come to the front just after it is on screen: both have done so by then.
    uidriver::WaitUntilIdle(first.shownQuestion());
    if (second.shownQuestion()) uidriver::WaitUntilIdle(second.shownQuestion());
    const HWND firstQuestion = QuestionInFront(first);
    ASSERT_NE(firstQuestion, nullptr);
    first.answer(firstQuestion, Answer::ReplaceAll);
    EXPECT_TRUE(first.finish().clientStarted);
    const HWND secondQuestion = QuestionInFront(second);
    ASSERT_NE(secondQuestion, nullptr);
    second.answer(secondQuestion, Answer::ReplaceAll);
    EXPECT_TRUE(second.finish().clientStarted);
    ExpectEveryFileNewAndWhole(one);
    ExpectEveryFileNewAndWhole(other);
  });
}

}  // namespace
}  // namespace dravelin::uitest
