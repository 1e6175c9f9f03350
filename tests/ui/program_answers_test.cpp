// Whole runs of both programs answered through their questions: which files are asked about and
// with which captions, what each answer does to the file asked about and to the files after it,
// that copies keep the server's time, and that every run ends by starting the client.
#include <gtest/gtest.h>

#include <set>

#include "program_session.h"
#include "uidriver.h"

namespace dravelin::uitest {
namespace {

// Local wall-clock times and the texts the questions show for them.
const FileTime kLateDecember = LocalTime(2026, 12, 24, 0, 30, 0);
constexpr std::wstring_view kNovemberText = L"2026-11-01 오전 9:00:00";
constexpr std::wstring_view kDecemberText = L"2026-12-01 오후 3:04:05";
constexpr std::wstring_view kLateDecemberText = L"2026-12-24 오전 12:30:00";
constexpr std::wstring_view kNoLocalCopy = L"해당화일은 존재하지 않습니다.";

struct Candidate {
  std::wstring_view name;
  std::string_view serverBytes;
  FileTime serverTime;
  std::wstring oldDate;  // the caption of the local copy
  std::wstring newDate;
};

// The server files that the client lacks or holds in an older copy: each is asked about.
const std::vector<Candidate>& Candidates() {
  static const std::vector<Candidate> candidates = {
      {L"newer.dat", "server newer", kDecember, std::wstring(kNovemberText) + L"을",
       std::wstring(kDecemberText) + L"로"},
      {L"missing.dat", "server missing", kDecember, std::wstring(kNoLocalCopy),
       std::wstring(kDecemberText) + L"로"},
      {L"한글파일.dat", "server hangul", kLateDecember, std::wstring(kNoLocalCopy),
       std::wstring(kLateDecemberText) + L"로"},
  };
  return candidates;
}

// Three candidates, and beside them server files that are never asked about: one as old as the
// local copy, one older, one in a subdirectory, one hidden.
void LayOut(const ClientFolder& folder) {
  folder.writeConfig();
  folder.writeLocal(L"newer.dat", "local newer", kNovember);
  for (const Candidate& c : Candidates()) folder.writeServer(c.name, c.serverBytes, c.serverTime);
  folder.writeLocal(L"same.dat", "local same", kNovember);
  folder.writeServer(L"same.dat", "server same", kNovember);
  folder.writeLocal(L"older.dat", "local older", kDecember);
  folder.writeServer(L"older.dat", "server older", kNovember);
  folder.makeServerDirectory(L"patches");
  folder.writeServer(L"patches\\inside.dat", "server inside", kDecember);
  folder.writeServer(L"hidden.dat", "server hidden", kDecember);
  testing::MakeHidden(folder.server(L"hidden.dat"));
}

const Candidate* FindCandidate(const ClientFolder& folder, const std::wstring& fileName) {
  for (const Candidate& c : Candidates())
    if (fileName == folder.serverPrefix() + std::wstring(c.name)) return &c;
  return nullptr;
}

// Every question names a candidate, once, with its captions; returns the names in asked order.
std::vector<std::wstring> CheckQuestions(const ClientFolder& folder, const RunResult& result) {
  std::vector<std::wstring> asked;
  for (const Question& q : result.questions) {
    const Candidate* c = FindCandidate(folder, q.fileName);
    if (!c) {
      ADD_FAILURE() << "asked about " << uidriver::ToUtf8(q.fileName);
      continue;
    }
    SCOPED_TRACE(uidriver::ToUtf8(c->name));
    EXPECT_EQ(q.oldDate, c->oldDate);
    EXPECT_EQ(q.newDate, c->newDate);
    asked.emplace_back(c->name);
  }
  EXPECT_EQ(std::set<std::wstring>(asked.begin(), asked.end()).size(), asked.size())
      << "a file was asked about twice";
  return asked;
}

// The candidates in `copied` hold the server's bytes and time; the others and every file that
// is never asked about are as they were.
void CheckFiles(const ClientFolder& folder, const std::set<std::wstring>& copied) {
  for (const Candidate& c : Candidates()) {
    SCOPED_TRACE(uidriver::ToUtf8(c.name));
    const std::wstring local = folder.local(c.name);
    if (copied.contains(std::wstring(c.name))) {
      EXPECT_EQ(testing::ReadAll(local), c.serverBytes);
      EXPECT_EQ(testing::Modified(local), c.serverTime);
    } else if (c.name == L"newer.dat") {
      EXPECT_EQ(testing::ReadAll(local), "local newer");
      EXPECT_EQ(testing::Modified(local), kNovember);
    } else {
      EXPECT_EQ(::GetFileAttributesW(local.c_str()), INVALID_FILE_ATTRIBUTES);
    }
  }
  EXPECT_EQ(testing::ReadAll(folder.local(L"same.dat")), "local same");
  EXPECT_EQ(testing::ReadAll(folder.local(L"older.dat")), "local older");
  for (std::wstring_view never : {L"inside.dat", L"hidden.dat", L"patches"})
    EXPECT_EQ(::GetFileAttributesW(folder.local(never).c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(ProgramAnswers, EachAnswerActsOnItsFileAndOnTheFilesAfterIt) {
  const struct {
    const char* name;
    Answer first;
    size_t questions;  // Replace all and Skip all leave nothing more to ask
    bool firstCopied;
    bool laterCopied;
  } cases[] = {
      {"replace", Answer::Replace, 3, true, false},
      {"skip", Answer::Skip, 3, false, false},
      {"replace all", Answer::ReplaceAll, 1, true, true},
      {"skip all", Answer::SkipAll, 1, false, false},
      {"close frame", Answer::CloseFrame, 3, false, false},
  };
  for (Build build : kBuilds) {
    for (const auto& c : cases) {
      SCOPED_TRACE(BuildName(build) + ", first answer " + c.name);
      const ClientFolder folder(build);
      LayOut(folder);
      // Later questions, if any, are skipped.
      const RunResult result = RunProgram(folder, {c.first, Answer::Skip, Answer::Skip});
      const std::vector<std::wstring> asked = CheckQuestions(folder, result);
      ASSERT_EQ(asked.size(), c.questions);
      std::set<std::wstring> copied;
      for (const Candidate& candidate : Candidates()) {
        const bool first = std::wstring(candidate.name) == asked.front();
        if (first ? c.firstCopied : c.laterCopied) copied.emplace(candidate.name);
      }
      CheckFiles(folder, copied);
      ExpectEndedWithTheClient(result, folder);
    }
  }
}

TEST(ProgramAnswers, ACopiedFileIsNotAskedAboutInTheNextRun) {
  ForEachBuild([&](Build build) {
    const ClientFolder folder(build);
    LayOut(folder);
    const RunResult first = RunProgram(folder, {Answer::ReplaceAll});
    ASSERT_EQ(first.questions.size(), 1u);
    ExpectEndedWithTheClient(first, folder);
    const auto afterFirst = folder.localFiles();

    const RunResult second = RunProgram(folder);
    EXPECT_TRUE(second.questions.empty());
    EXPECT_EQ(folder.localFiles(), afterFirst);
    ExpectEndedWithTheClient(second, folder);
  });
}

// An hour of 9 in the evening sorts after an hour of 10 as text: the legacy build, which
// compares the texts, offers an older server copy that the current build, comparing the times,
// leaves alone.
TEST(ProgramAnswers, EachBuildComparesByItsOwnRule) {
  const FileTime nine = LocalTime(2026, 11, 1, 21, 0, 0);
  const FileTime ten = LocalTime(2026, 11, 1, 22, 0, 0);
  for (Build build : kBuilds) {
    SCOPED_TRACE(BuildName(build));
    const ClientFolder folder(build);
    folder.writeConfig();
    folder.writeLocal(L"evening.dat", "local at ten", ten);
    folder.writeServer(L"evening.dat", "server at nine", nine);
    const RunResult result = RunProgram(folder, {Answer::Replace});
    ExpectEndedWithTheClient(result, folder);
    if (build == Build::Current) {
      EXPECT_TRUE(result.questions.empty());
      EXPECT_EQ(testing::ReadAll(folder.local(L"evening.dat")), "local at ten");
      continue;
    }
    ASSERT_EQ(result.questions.size(), 1u);
    EXPECT_EQ(result.questions[0].fileName, folder.server(L"evening.dat"));
    EXPECT_EQ(result.questions[0].oldDate, L"2026-11-01 오후 10:00:00을");
    EXPECT_EQ(result.questions[0].newDate, L"2026-11-01 오후 9:00:00로");
    EXPECT_EQ(testing::ReadAll(folder.local(L"evening.dat")), "server at nine");
    EXPECT_EQ(testing::Modified(folder.local(L"evening.dat")), nine);
  }
}

}  // namespace
}  // namespace dravelin::uitest
