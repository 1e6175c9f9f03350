// The update pass against real directory trees, answered by a scripted user: what is offered,
// what each answer copies, and that the client is started at the end.
#include <gtest/gtest.h>

#include "builds.h"
#include "pass_fixture.h"
#include "timestamp.h"
#include "work_folder.h"

namespace dravelin {
namespace {

using testing::Answer;
using testing::AnswerAlways;
using testing::AnswerByName;
using testing::AnswerInTurn;
using testing::kEvening;
using testing::kHour;
using testing::kMorning;
using testing::kNoon;
using testing::ReadAll;

const std::wstring kNoLocalCopyText = L"해당화일은 존재하지 않습니다.";

// Behaviour that both programs share, whatever their newer rule.
class BothBuilds : public testing::PassTest, public ::testing::WithParamInterface<Build> {
 protected:
  const Variant& variant() const { return VariantFor(GetParam()); }
  void SetUp() override { configure(variant()); }

  void expectLocal(const std::wstring& name, std::string_view bytes, FileTime time) {
    EXPECT_EQ(ReadAll(localPath(name)), bytes) << name;
    EXPECT_EQ(testing::Modified(localPath(name)), time) << name;
  }
  void expectNoLocal(const std::wstring& name) {
    EXPECT_FALSE(testing::fs::exists(testing::Path(localPath(name)))) << name;
  }
};

INSTANTIATE_TEST_SUITE_P(Builds, BothBuilds, ::testing::ValuesIn(testing::kBuilds),
                         testing::CapitalisedBuildTestName);

TEST_P(BothBuilds, SameTimeOnBothSidesIsNotOffered) {
  writeServer(L"data.pak", "server", kNoon);
  writeLocal(L"data.pak", "local", kNoon);
  EXPECT_TRUE(run(variant(), AnswerInTurn({})).questions().empty());
  expectLocal(L"data.pak", "local", kNoon);
  expectCleanEndAndClientStarted();
}

// A run killed half-way left a temporary copy in the work folder. The next pass removes it and
// touches nothing that merely looks like one: a user's file, or one the server sends.
// Gone before the first question: the run begins by clearing what a killed run left.
TEST_P(BothBuilds, LeftoversOfAKilledRunGoAndLookAlikesStay) {
  program_.makeDirectory(std::wstring(kWorkFolderName));
  const std::wstring leftover =
      program_.write(std::wstring(kWorkFolderName) + kPathSeparator + L"dvl0BADF00D.tmp", "half");
  writeLocal(L"dvl00000000.tmp", "look-alike", kMorning);
  writeServer(L"data.pak.tmp", "server look-alike", kEvening);
  run(variant(), [&](const testing::Question&) {
    EXPECT_FALSE(testing::fs::exists(testing::Path(leftover)))
        << "still there at the first question";
    return Answer::Replace;
  });
  EXPECT_FALSE(testing::WorkFolderPresent(programDirectory_));
  expectLocal(L"dvl00000000.tmp", "look-alike", kMorning);
  expectLocal(L"data.pak.tmp", "server look-alike", kEvening);
  expectCleanEndAndClientStarted();
}

TEST_P(BothBuilds, MissingLocalCopyIsOfferedWithTheMissingFileTextAndCopied) {
  writeServer(L"new.dat", "fresh", kNoon);
  const auto& questions = run(variant(), AnswerAlways(Answer::Replace)).questions();
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0].fileName, serverPath(L"new.dat"));
  EXPECT_EQ(questions[0].oldDate, kNoLocalCopyText);
  EXPECT_EQ(questions[0].newDate, TimestampText(kNoon) + L"로");
  expectLocal(L"new.dat", "fresh", kNoon);
  expectCleanEndAndClientStarted();
}

TEST_P(BothBuilds, OlderLocalCopyIsOfferedWithBothDates) {
  writeServer(L"client.dll", "v2", kEvening);
  writeLocal(L"client.dll", "v1", kMorning);
  const auto& questions = run(variant(), AnswerAlways(Answer::Replace)).questions();
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0].fileName, serverPath(L"client.dll"));
  EXPECT_EQ(questions[0].oldDate, TimestampText(kMorning) + L"을");
  EXPECT_EQ(questions[0].newDate, TimestampText(kEvening) + L"로");
  expectLocal(L"client.dll", "v2", kEvening);
}

TEST_P(BothBuilds, SkipAndReplaceAnswerOneFileEach) {
  writeServer(L"a.dat", "new a", kEvening);
  writeServer(L"b.dat", "new b", kEvening);
  writeServer(L"c.dat", "new c", kEvening);
  writeLocal(L"a.dat", "old a", kMorning);
  const auto& windows = run(variant(), AnswerByName({{L"a.dat", Answer::Skip},
                                                     {L"b.dat", Answer::Replace},
                                                     {L"c.dat", Answer::Skip}}));
  EXPECT_EQ(windows.questions().size(), 3u);
  expectLocal(L"a.dat", "old a", kMorning);
  expectLocal(L"b.dat", "new b", kEvening);
  expectNoLocal(L"c.dat");
}

TEST_P(BothBuilds, ReplaceAllCopiesLaterFilesWithoutAsking) {
  for (const wchar_t* name : {L"1.dat", L"2.dat", L"3.dat", L"4.dat"}) {
    writeServer(name, "new", kEvening);
  }
  writeLocal(L"1.dat", "old", kMorning);
  writeLocal(L"3.dat", "old", kMorning);
  EXPECT_EQ(run(variant(), AnswerAlways(Answer::ReplaceAll)).questions().size(), 1u);
  for (const wchar_t* name : {L"1.dat", L"2.dat", L"3.dat", L"4.dat"}) {
    expectLocal(name, "new", kEvening);
  }
  expectCleanEndAndClientStarted();
}

TEST_P(BothBuilds, SkipAllEndsTheQuestionsButTheScanRunsOnAndTheClientStarts) {
  for (const wchar_t* name : {L"1.dat", L"2.dat", L"3.dat"}) writeServer(name, "new", kEvening);
  writeLocal(L"2.dat", "old", kMorning);
  EXPECT_EQ(run(variant(), AnswerAlways(Answer::SkipAll)).questions().size(), 1u);
  expectNoLocal(L"1.dat");
  expectLocal(L"2.dat", "old", kMorning);
  expectNoLocal(L"3.dat");
  EXPECT_EQ(runtime_.calls("copyFile"), 0);
  expectCleanEndAndClientStarted();
}

TEST_P(BothBuilds, ClosingTheDialogCopiesNothingAndTheNextFileIsAskedAbout) {
  writeServer(L"a.dat", "new a", kEvening);
  writeServer(L"b.dat", "new b", kEvening);
  const auto& windows = run(variant(), AnswerInTurn({Answer::CloseFrame, Answer::Replace}));
  ASSERT_EQ(windows.questions().size(), 2u);
  const bool aFirst = windows.questions()[0].fileName == serverPath(L"a.dat");
  expectNoLocal(aFirst ? L"a.dat" : L"b.dat");
  expectLocal(aFirst ? L"b.dat" : L"a.dat", aFirst ? "new b" : "new a", kEvening);
}

// The second question's dialog cannot be made: the Replace given to the first question does not
// stand for the second file, which is left as it is and asked about by the next run.
TEST_P(BothBuilds, AQuestionWhoseDialogCannotBeMadeCopiesNothing) {
  writeServer(L"a.dat", "new a", kEvening);
  writeServer(L"b.dat", "new b", kEvening);
  const auto& windows = run(variant(), AnswerAlways(Answer::Replace), 2);
  ASSERT_EQ(windows.questions().size(), 1u);
  const bool aFirst = windows.questions()[0].fileName == serverPath(L"a.dat");
  expectLocal(aFirst ? L"a.dat" : L"b.dat", aFirst ? "new a" : "new b", kEvening);
  expectNoLocal(aFirst ? L"b.dat" : L"a.dat");
}

TEST_P(BothBuilds, SubdirectoriesHiddenAndSystemFilesAreNeverCopied) {
  server_.makeDirectory(L"maps");
  writeServer(L"maps/level1.map", "map", kEvening);
  testing::MakeHidden(writeServer(L".hidden.dat", "hidden", kEvening));
#ifdef _WIN32
  testing::MakeHidden(writeServer(L"hidden.dat", "hidden", kEvening));
  testing::MakeSystemFile(writeServer(L"system.dat", "system", kEvening));
#endif
  writeServer(L"plain.dat", "plain", kEvening);
  const auto& windows = run(variant(), AnswerAlways(Answer::ReplaceAll));
  ASSERT_EQ(windows.questions().size(), 1u);
  EXPECT_EQ(windows.questions()[0].fileName, serverPath(L"plain.dat"));
  expectNoLocal(L"maps");
  expectNoLocal(L".hidden.dat");
#ifdef _WIN32
  expectNoLocal(L"hidden.dat");
  expectNoLocal(L"system.dat");
#endif
  EXPECT_EQ(runtime_.calls("copyFile"), 1);
}

TEST_P(BothBuilds, ACopiedFileIsNotOfferedOnTheNextRun) {
  writeServer(L"a.dat", "new", kEvening);
  writeLocal(L"a.dat", "old", kMorning);
  ASSERT_EQ(run(variant(), AnswerAlways(Answer::Replace)).questions().size(), 1u);
  EXPECT_TRUE(run(variant(), AnswerInTurn({})).questions().empty());
  expectLocal(L"a.dat", "new", kEvening);
}

// An administrator publishes a new version while the question is on screen: what the answer would
// copy is no longer the listed version, so nothing is put in place, and the next run asks about
// the version it finds then and brings that.
TEST_P(BothBuilds, AFileRewrittenAfterTheListingIsAskedAboutAgainByTheNextRun) {
  writeServer(L"data.pak", "version 2", kNoon);
  writeLocal(L"data.pak", "version 1", kMorning);
  const auto publishThenReplace = [&](const testing::Question&) {
    writeServer(L"data.pak", "version 3, longer", kEvening);
    return Answer::Replace;
  };
  ASSERT_EQ(run(variant(), publishThenReplace).questions().size(), 1u);
  expectLocal(L"data.pak", "version 1", kMorning);
  EXPECT_FALSE(testing::WorkFolderPresent(programDirectory_));
  const auto& next = run(variant(), AnswerAlways(Answer::Replace)).questions();
  ASSERT_EQ(next.size(), 1u);
  EXPECT_EQ(next[0].newDate, TimestampText(kEvening) + L"로");
  expectLocal(L"data.pak", "version 3, longer", kEvening);
}

TEST_P(BothBuilds, KoreanFileAndDirectoryNames) {
  const std::wstring serverDirectory = server_.makeDirectory(L"서버 자료") + kPathSeparator;
  configure(variant(), serverDirectory, L"클라이언트.exe");
  writeLocal(L"클라이언트.exe", "client", kMorning);
  writeServer(L"서버 자료/패치데이터.pak", "patch", kEvening);
  writeServer(L"서버 자료/지도.dat", "map", kEvening);
  writeLocal(L"지도.dat", "old map", kMorning);
  const auto& windows = run(variant(), AnswerAlways(Answer::Replace));
  ASSERT_EQ(windows.questions().size(), 2u);
  for (const auto& question : windows.questions()) {
    const bool patch = question.fileName == serverDirectory + L"패치데이터.pak";
    EXPECT_TRUE(patch || question.fileName == serverDirectory + L"지도.dat") << question.fileName;
    EXPECT_EQ(question.oldDate, patch ? kNoLocalCopyText : TimestampText(kMorning) + L"을");
  }
  expectLocal(L"패치데이터.pak", "patch", kEvening);
  expectLocal(L"지도.dat", "map", kEvening);
  EXPECT_EQ(runtime_.startAttempts(), std::vector<std::wstring>{localPath(L"클라이언트.exe")});
}

// The date rule of `dravelin` and the text rule of `dravelin-legacy` part ways where the timestamp
// texts do not sort as the times do.
class NewerRules : public testing::PassTest {
 protected:
  std::size_t questionsWhenServerAndLocalAre(Build build, FileTime server, FileTime local) {
    configure(VariantFor(build));
    writeServer(L"a.dat", "server", server);
    writeLocal(L"a.dat", "local", local);
    return run(VariantFor(build), AnswerAlways(Answer::Skip)).questions().size();
  }
};

TEST_F(NewerRules, DateRuleOffersOnlyAStrictlyLaterServerTime) {
  EXPECT_EQ(questionsWhenServerAndLocalAre(Build::Current, kNoon, kEvening), 0u);
  EXPECT_EQ(questionsWhenServerAndLocalAre(Build::Current, kNoon + 1, kNoon), 1u);
}

TEST_F(NewerRules, TextRuleOrdersUnpaddedHoursByCharacters) {
  // "오전 9:00:00" sorts after "오전 10:00:00": the older server file is offered.
  const FileTime nine = kMorning + kHour;
  const FileTime ten = kMorning + 2 * kHour;
  EXPECT_EQ(questionsWhenServerAndLocalAre(Build::Legacy, nine, ten), 1u);
  EXPECT_EQ(questionsWhenServerAndLocalAre(Build::Current, nine, ten), 0u);
}

TEST_F(NewerRules, TextRuleMissesANewerServerFileWhoseTextSortsFirst) {
  EXPECT_EQ(questionsWhenServerAndLocalAre(Build::Legacy, kMorning + 2 * kHour, kMorning + kHour),
            0u);
}

#ifndef _WIN32
// Where daylight saving ends, the hour after the change comes twice with the same clock texts. A
// file of the second such hour is offered and copied like any other, and the next start asks
// nothing. Beside a local copy of the first, its text is the same: the date rule still sees the
// later time, the text rule sees nothing newer.
TEST_F(NewerRules, AFileOfTheHourThatComesTwiceIsOfferedAndCopiedOnce) {
  testing::ScopedTimeZone newYork("EST5EDT,M3.2.0,M11.1.0");
  const FileTime secondHalfPastOne = 1'793'514'600;  // 2026-11-01 01:30 EST, an hour after EDT's
  const struct {
    Build build;
    FileTime local;
    std::size_t asked;
  } rows[] = {{Build::Current, secondHalfPastOne - 24 * kHour, 1},
              {Build::Legacy, secondHalfPastOne - 24 * kHour, 1},
              {Build::Current, secondHalfPastOne - kHour, 1},
              {Build::Legacy, secondHalfPastOne - kHour, 0}};
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << static_cast<int>(row.build) << " " << row.local);
    configure(VariantFor(row.build));
    writeServer(L"a.dat", "server", secondHalfPastOne);
    writeLocal(L"a.dat", "local", row.local);
    const auto replace = AnswerAlways(Answer::Replace);
    EXPECT_EQ(run(VariantFor(row.build), replace).questions().size(), row.asked);
    EXPECT_EQ(ReadAll(localPath(L"a.dat")), row.asked ? "server" : "local");
    EXPECT_EQ(run(VariantFor(row.build), replace).questions().size(), 0u);
  }
}
#endif

}  // namespace
}  // namespace dravelin
