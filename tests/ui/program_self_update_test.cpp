// The server holds a newer copy of the program itself. Answered with 교체, the running program's
// file is replaced; the next run is the new program, asks nothing more about it and leaves
// nothing behind. Where the replacement cannot be made, the old program stays whole and working.
#include <gtest/gtest.h>

#include "path_parts.h"
#include "program_session.h"
#include "work_folder.h"

namespace dravelin::uitest {
namespace {

std::wstring ProgramName(const ClientFolder& folder) { return FileNameOf(folder.programPath()); }

// The program as built, dated November in the client directory, and on the server a newer build:
// the same program with bytes appended, which Windows loads and ignores.
std::string LayOut(const ClientFolder& folder) {
  folder.writeConfig();
  const std::string current = testing::ReadAll(folder.programPath());
  testing::SetModified(folder.programPath(), kNovember);
  const std::string newer = current + std::string("\0newer build", 12);
  folder.writeServer(ProgramName(folder), newer, kDecember);
  return newer;
}

TEST(SelfUpdate, TheRunningProgramIsReplacedAndTheNextRunIsTheNewOne) {
  ForEachBuild([&](Build build) {
    const ClientFolder folder(build);
    const std::string newer = LayOut(folder);

    const RunResult first = RunProgram(folder, {Answer::Replace});
    ASSERT_EQ(first.questions.size(), 1u);
    EXPECT_EQ(first.questions[0].fileName, folder.server(ProgramName(folder)));
    EXPECT_TRUE(first.clientStarted);
    EXPECT_TRUE(testing::ReadAll(folder.programPath()) == newer);  // no dump of a program
    EXPECT_EQ(testing::Modified(folder.programPath()), kDecember);

    const RunResult second = RunProgram(folder);
    EXPECT_TRUE(second.windowShown);  // the new program ran
    EXPECT_TRUE(second.questions.empty());
    EXPECT_TRUE(second.clientStarted);
    EXPECT_EQ(second.exitCode, 0u);
    EXPECT_FALSE(testing::WorkFolderPresent(folder.directory()));
    EXPECT_EQ(testing::CountLeftovers(folder.directory()), 0);
    EXPECT_TRUE(testing::ReadAll(folder.programPath()) == newer);  // no dump of a program
  });
}

// A file in the work folder's place leaves nowhere to move the running program aside: the
// replacement is not made, the old program stays and runs again, and the question comes back.
TEST(SelfUpdate, WhenTheProgramCannotBeMovedAsideTheOldOneStays) {
  ForEachBuild([&](Build build) {
    const ClientFolder folder(build);
    LayOut(folder);
    const std::string current = testing::ReadAll(folder.programPath());
    folder.writeLocal(kWorkFolderName, "somebody's file", kNovember);

    const RunResult first = RunProgram(folder, {Answer::Replace});
    EXPECT_EQ(first.questions.size(), 1u);
    EXPECT_TRUE(first.clientStarted);
    EXPECT_TRUE(testing::ReadAll(folder.programPath()) == current);
    EXPECT_EQ(testing::CountLeftovers(folder.directory()), 0);

    const RunResult second = RunProgram(folder, {Answer::Skip});
    EXPECT_EQ(second.questions.size(), 1u);
    EXPECT_TRUE(second.clientStarted);
    EXPECT_EQ(testing::ReadAll(folder.local(kWorkFolderName)), "somebody's file");
  });
}

// The program's own files from the server: a newer clip, which the progress window plays while
// it is copied, goes in place in the run that finds it; a server file under the program's name
// that is no program for this machine (a broken upload) never replaces the updater, which then
// still updates the client and starts it, run after run.
TEST(SelfUpdate, TheClipIsUpdatedAndNoBrokenProgramReplacesTheUpdater) {
  ForEachBuild([&](Build build) {
    const ClientFolder folder(build);
    folder.writeConfig();
    folder.addClip();
    testing::SetModified(folder.local(kClipName), kNovember);
    const std::string clip = testing::ReadAll(folder.local(kClipName));
    folder.writeServer(kClipName, clip, kDecember);
    const std::string program = testing::ReadAll(folder.programPath());
    testing::SetModified(folder.programPath(), kNovember);
    folder.writeServer(ProgramName(folder), "MZ broken", kDecember);

    const RunResult first = RunProgram(folder, {Answer::ReplaceAll});
    EXPECT_EQ(first.questions.size(), 1u);
    EXPECT_TRUE(first.clientStarted);
    EXPECT_EQ(testing::Modified(folder.local(kClipName)), kDecember);
    EXPECT_TRUE(testing::ReadAll(folder.local(kClipName)) == clip);
    EXPECT_TRUE(testing::ReadAll(folder.programPath()) == program);  // no dump of a program

    folder.writeServer(L"data.pak", "update", kDecember);
    const RunResult second = RunProgram(folder, {Answer::Replace, Answer::Replace});
    EXPECT_TRUE(second.windowShown);
    EXPECT_EQ(second.questions.size(), 2u);  // the program again, and the new file
    EXPECT_EQ(testing::ReadAll(folder.local(L"data.pak")), "update");
    EXPECT_TRUE(second.clientStarted);
    EXPECT_EQ(testing::CountLeftovers(folder.directory()), 0);
  });
}

}  // namespace
}  // namespace dravelin::uitest
