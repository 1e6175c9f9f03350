// Runs that meet trouble: a configuration file that is not this program's, that cannot be read or
// holds nonsense, and an animation clip that is absent, hidden, a directory or garbage. The
// program still shows its window, copies nothing it should not, and ends.
#include <gtest/gtest.h>

#include "program_pictures.h"
#include "program_session.h"
#include "text949.h"
#include "win32/handles.h"

namespace dravelin::uitest {
namespace {

constexpr size_t kHugeLineBytes = 10 * 1024 * 1024;
constexpr size_t kNulFileBytes = 64 * 1024;

// One server file that the client lacks: a run that reads its configuration asks about it.
void AddCandidate(const ClientFolder& folder) {
  folder.writeServer(L"new.dat", "server copy", kDecember);
}

// Without a configuration there is nothing to ask about and no client to start.
void ExpectQuietEnd(const ClientFolder& folder, const RunResult& result,
                    const std::map<std::wstring, ClientFolder::LocalFile>& before) {
  EXPECT_TRUE(result.windowShown);
  EXPECT_TRUE(result.questions.empty());
  EXPECT_FALSE(result.clientStarted);
  EXPECT_EQ(result.exitCode, 0u);
  EXPECT_EQ(folder.localFiles(), before);
}

TEST(ProgramFaults, TheOtherProgramsConfigurationFileIsNotRead) {
  ForEachBuild([&](Build build) {
    const ClientFolder folder(build);
    AddCandidate(folder);
    const Build other = build == Build::Legacy ? Build::Current : Build::Legacy;
    folder.writeLocalBytes(VariantFor(other).configFileName, folder.standardConfig());
    const auto before = folder.localFiles();
    ExpectQuietEnd(folder, RunProgram(folder), before);
  });
}

TEST(ProgramFaults, AConfigurationThatCannotBeReadEndsTheRunQuietly) {
  ForEachBuild([&](Build build) {
    {
      SCOPED_TRACE("a file of NUL bytes");
      const ClientFolder folder(build);
      AddCandidate(folder);
      folder.writeConfig(std::string(kNulFileBytes, '\0'));
      const auto before = folder.localFiles();
      ExpectQuietEnd(folder, RunProgram(folder), before);
    }
    {
      SCOPED_TRACE("a directory");
      const ClientFolder folder(build);
      AddCandidate(folder);
      folder.makeLocalDirectory(VariantFor(build).configFileName);
      const auto before = folder.localFiles();
      ExpectQuietEnd(folder, RunProgram(folder), before);
    }
    {
      // Wine keeps no access control on files, so a file that the program may not open is made
      // by holding it open here without sharing: its open fails with a sharing violation.
      SCOPED_TRACE("a file held open by another program");
      const ClientFolder folder(build);
      AddCandidate(folder);
      folder.writeConfig();
      const win::UniqueFile held(::CreateFileW(folder.configPath().c_str(), GENERIC_READ, 0,
                                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                               nullptr));
      ASSERT_TRUE(held);
      const auto before = folder.localFiles();
      ExpectQuietEnd(folder, RunProgram(folder), before);
    }
  });
}

// A line of ten megabytes between the two settings is read past: both are found, the file is
// asked about and copied, and the client starts.
TEST(ProgramFaults, AHugeLineBetweenTheSettingsIsReadPast) {
  const ClientFolder folder(Build::Current);
  AddCandidate(folder);
  folder.writeConfig(ToCp949(L"Server_directory=" + folder.serverPrefix() + L"\r\n") +
                     std::string(kHugeLineBytes, 'x') + "\r\nExe_Program=client.exe\r\n");
  const RunResult result = RunProgram(folder, {Answer::Replace});
  ASSERT_EQ(result.questions.size(), 1u);
  EXPECT_EQ(result.questions[0].fileName, folder.server(L"new.dat"));
  EXPECT_EQ(testing::ReadAll(folder.local(L"new.dat")), "server copy");
  ExpectEndedWithTheClient(result, folder);
}

// A server directory ten megabytes long names no directory: nothing is listed or copied, and the
// client still starts.
TEST(ProgramFaults, AHugeServerDirectoryListsNothing) {
  const ClientFolder folder(Build::Current);
  AddCandidate(folder);
  folder.writeConfig(
      "Exe_Program=client.exe\r\nServer_directory=" + std::string(kHugeLineBytes, 'A') + "\\\r\n");
  const auto before = folder.localFiles();
  const RunResult result = RunProgram(folder);
  EXPECT_TRUE(result.questions.empty());
  EXPECT_EQ(folder.localFiles(), before);
  ExpectEndedWithTheClient(result, folder);
}

// Whatever stands in for the clip, the run goes on: the question comes, the answer is obeyed and
// the client starts; the animation area shows nothing but the background.
TEST(ProgramFaults, AClipThatCannotBePlayedLeavesTheAnimationEmpty) {
  const struct {
    const char* name;
    Build build;
    void (*place)(const ClientFolder&);
  } cases[] = {
      {"absent", Build::Current, [](const ClientFolder&) {}},
      {"hidden", Build::Current,
       [](const ClientFolder& f) {
         f.addClip();
         testing::MakeHidden(f.local(kClipName));
       }},
      {"a directory", Build::Current,
       [](const ClientFolder& f) { f.makeLocalDirectory(kClipName); }},
      {"garbage", Build::Current,
       [](const ClientFolder& f) { f.writeLocalBytes(kClipName, std::string(4096, '\x5A')); }},
      {"garbage", Build::Legacy,
       [](const ClientFolder& f) { f.writeLocalBytes(kClipName, "RIFF, but no clip at all"); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(BuildName(c.build) + ", clip " + c.name);
    const ClientFolder folder(c.build);
    folder.writeConfig();
    AddCandidate(folder);
    c.place(folder);
    ProgramRun run(folder);
    const HWND dialog = run.nextQuestion();
    ASSERT_NE(dialog, nullptr) << "the run did not go on to ask";
    const HWND progress = uidriver::FindTopWindow(kProgressCaption);
    ASSERT_NE(progress, nullptr);
    const uidriver::Picture picture = ProgressWhileAsking(progress, dialog);
    EXPECT_EQ(PixelsOtherThan(picture, ExpectedProgressPixels(c.build).animation, PlainColour()),
              0);
    run.answer(dialog, Answer::Replace);
    const RunResult result = run.finish();
    EXPECT_EQ(testing::ReadAll(folder.local(L"new.dat")), "server copy");
    ExpectEndedWithTheClient(result, folder);
  }
}

}  // namespace
}  // namespace dravelin::uitest
