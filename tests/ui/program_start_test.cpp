// Both programs as they are started in real life: from a Run key or a scheduled task, whose
// working directory is the system folder, and with a TZ in the environment that the C runtime
// would misread. The client still starts in its own folder, and the questions show the file
// times on the system's clock.
#include <gtest/gtest.h>

#include "program_session.h"
#include "win32/paths.h"

namespace dravelin::uitest {
namespace {

std::wstring SystemDirectory() {
  wchar_t directory[MAX_PATH];
  const UINT length = ::GetSystemDirectoryW(directory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) throw std::runtime_error("GetSystemDirectoryW failed");
  return directory;
}

TEST(ProgramStart, StartedFromTheSystemFolderTheClientRunsInItsOwn) {
  ForEachBuild([&](Build build) {
    const ClientFolder folder(build);
    folder.writeConfig();
    ProgramRun run(folder, StartOptions{SystemDirectory(), {}});
    const RunResult result = run.finish();
    ASSERT_TRUE(result.clientStarted);
    const std::wstring workingDirectory = folder.clientWorkingDirectory();
    EXPECT_TRUE(win::SamePath(workingDirectory, folder.directory()))
        << testing::Path(workingDirectory) << " instead of " << testing::Path(folder.directory());
  });
}

// Run by ctest with TZ=Asia/Seoul, from which Wine takes its system zone: a file written at
// 05:30:45 UTC was written at 14:30:45 on the Korean clock. The C runtime, asked instead, would
// read that TZ as UTC.
TEST(ProgramStartInSeoul, TimesAreShownOnTheSystemClock) {
  TIME_ZONE_INFORMATION zone{};
  ASSERT_NE(::GetTimeZoneInformation(&zone), TIME_ZONE_ID_INVALID);
  ASSERT_EQ(std::wstring(zone.StandardName), L"Korea Standard Time") << "run with TZ=Asia/Seoul";
  const FileTime written = 1'795'152'645;  // 2026-11-20 05:30:45 UTC
  ForEachBuild([&](Build build) {
    const ClientFolder folder(build);
    folder.writeConfig();
    folder.writeServer(L"patch.dat", "server copy", written);
    const RunResult result = RunProgram(folder, {Answer::Skip});
    ASSERT_EQ(result.questions.size(), 1u);
    EXPECT_EQ(result.questions[0].newDate, L"2026-11-20 오후 2:30:45로");
    EXPECT_EQ(result.questions[0].oldDate, L"해당화일은 존재하지 않습니다.");
  });
}

}  // namespace
}  // namespace dravelin::uitest
