// A copy of a large file takes seconds. All the while the progress window answers the system's
// probes (a WM_NULL sent with a time limit, as Windows sends before it greys a window as "Not
// Responding"), and nothing else of the update happens.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "program_session.h"
#include "uidriver.h"
#include "work_folder.h"

namespace dravelin::uitest {
namespace {

using namespace std::chrono_literals;

constexpr std::size_t kBigFileBytes = std::size_t{64} << 20;
constexpr auto kHungAfter = 5000ms;  // the system's own limit
constexpr auto kProbeInterval = 5ms;
constexpr std::wstring_view kBigFile = L"big.pak";

// The copy is under way: its temporary file is in the work folder, the file not yet in place.
bool Copying(const ClientFolder& folder) {
  return folder.copyUnderWay() &&
         ::GetFileAttributesW(folder.local(kBigFile).c_str()) == INVALID_FILE_ATTRIBUTES;
}

TEST(LongCopy, TheProgressWindowAnswersWhileTheCopyRuns) {
  const std::string bytes(kBigFileBytes, 'b');
  ForEachBuild([&](Build build) {
    const ClientFolder folder(build);
    folder.writeConfig();
    folder.writeServer(kBigFile, bytes, kDecember);
    ProgramRun run(folder);
    const HWND question = run.nextQuestion();
    ASSERT_NE(question, nullptr);
    const HWND progress = run.progressWindow();
    ASSERT_NE(progress, nullptr);
    run.answer(question, Answer::Replace);

    int answeredDuringCopy = 0;
    int lost = 0;
    while (::IsWindow(progress)) {
      const bool copyingBefore = Copying(folder);
      const bool answered = uidriver::Probe(progress, uidriver::Scaled(kHungAfter)).has_value();
      // A probe answered between two looks that both found the copy under way was answered
      // while it ran; a window busy copying would answer only once the copy is in place.
      if (answered && copyingBefore && Copying(folder)) ++answeredDuringCopy;
      if (!answered && ::IsWindow(progress)) ++lost;
      std::this_thread::sleep_for(kProbeInterval);
    }
    const RunResult result = run.finish();
    EXPECT_EQ(lost, 0);
    EXPECT_GT(answeredDuringCopy, 0);
    EXPECT_EQ(result.questions.size(), 1u);
    EXPECT_TRUE(result.clientStarted);
    EXPECT_EQ(testing::Modified(folder.local(kBigFile)), kDecember);
    EXPECT_TRUE(testing::ReadAll(folder.local(kBigFile)) == bytes);
  });
}

}  // namespace
}  // namespace dravelin::uitest
