// The server holds a newer copy of the program itself. Answered with 교체, the running program's
// file is replaced; the next run is the new program, asks nothing more about it and leaves
// nothing behind. Where the replacement cannot be made, the old program stays whole and working.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "path_parts.h"
#include "program_pictures.h"
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
    ExpectEndedWithTheClient(second, folder);  // the new program ran
    EXPECT_TRUE(second.questions.empty());
    EXPECT_FALSE(testing::WorkFolderPresent(folder.directory()));
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

// Every colour of the sample clip's palette but its background's (silver, which the window shows
// as its own) made magenta: other bytes, a clip that still plays, and a colour that the progress
// window shows only while it plays this clip.
constexpr std::uint32_t kMagenta = 0xFF00FF;
std::string InMagenta(std::string clip) {
  // The frames' format, in the video stream's "strf" chunk: a BITMAPINFOHEADER and its palette.
  const std::size_t format = clip.find("strf") + 8;
  BITMAPINFOHEADER header{};
  std::memcpy(&header, clip.data() + format, sizeof header);
  const DWORD colours = header.biClrUsed ? header.biClrUsed : DWORD{1} << header.biBitCount;
  for (DWORD i = 0; i < colours; ++i) {
    char* const at = clip.data() + format + header.biSize + i * sizeof(RGBQUAD);
    RGBQUAD colour{};
    std::memcpy(&colour, at, sizeof colour);
    if (colour.rgbRed == 0xC0 && colour.rgbGreen == 0xC0 && colour.rgbBlue == 0xC0) continue;
    colour = {0xFF, 0x00, 0xFF, 0};
    std::memcpy(at, &colour, sizeof colour);
  }
  return clip;
}

// The program's own files from the server: a newer clip, which the progress window plays while
// it is copied, goes in place in the run that finds it and plays in the next; a server file under
// the program's name that is no program for this machine (a broken upload) never replaces the
// updater, which then still updates the client and starts it, run after run.
TEST(SelfUpdate, TheClipIsUpdatedAndNoBrokenProgramReplacesTheUpdater) {
  ForEachBuild([&](Build build) {
    const ClientFolder folder(build);
    folder.writeConfig();
    folder.writeLocal(kClipName, SampleClip(), kNovember);
    const std::string clip = InMagenta(SampleClip());
    ASSERT_TRUE(clip != SampleClip()) << "the sample clip has no colour to change";
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
    ProgramRun second(folder);
    const HWND dialog = second.nextQuestion();
    ASSERT_NE(dialog, nullptr);
    const HWND progress = second.progressWindow();
    ASSERT_NE(progress, nullptr);
    EXPECT_GT(PixelsOf(ProgressWhileAsking(progress, dialog),
                       ExpectedProgressPixels(build).animation, kMagenta),
              0)
        << "the animation does not play the server's clip";
    second.answer(dialog, Answer::Replace);
    if (const HWND next = second.nextQuestion()) second.answer(next, Answer::Replace);
    const RunResult result = second.finish();
    EXPECT_TRUE(result.windowShown);
    EXPECT_EQ(result.questions.size(), 2u);  // the program again, and the new file
    EXPECT_EQ(testing::ReadAll(folder.local(L"data.pak")), "update");
    EXPECT_TRUE(result.clientStarted);
    EXPECT_EQ(testing::CountLeftovers(folder.directory()), 0);
  });
}

}  // namespace
}  // namespace dravelin::uitest
