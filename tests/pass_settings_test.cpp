// How the pass takes its settings (a missing file, an empty or unterminated server directory) and
// how many requests it makes of the file system.
#include <gtest/gtest.h>

#include <optional>
#include <ostream>

#include "pass_fixture.h"
#include "timestamp.h"
#include "work_folder.h"

namespace dravelin {
namespace {

using testing::Answer;
using testing::AnswerAlways;
using testing::AnswerInTurn;
using testing::kEvening;
using testing::kMorning;
using testing::kNoon;
using testing::ReadAll;
using testing::ScopedCurrentDirectory;
namespace fs = std::filesystem;

const std::wstring kNoLocalCopyText = L"해당화일은 존재하지 않습니다.";

using PassSettings = testing::PassTest;

TEST_F(PassSettings, WithoutAConfigurationFileNothingIsListedButTheStartIsTried) {
  // Files in the directory the process runs in must not pass for server files.
  writeServer(L"a.dat", "not a server file", kEvening);
  const ScopedCurrentDirectory inServerTree(server_.root());
  EXPECT_TRUE(run(kCurrentVariant, AnswerInTurn({})).questions().empty());
  EXPECT_EQ(runtime_.calls("listFiles"), 0);
  EXPECT_EQ(runtime_.calls("copyFile"), 0);
  EXPECT_FALSE(fs::exists(testing::Path(localPath(L"a.dat"))));
  // With no program name the start names the directory itself, and fails without a word.
  expectCleanEndAndClientStarted(localPath(L""));
}

TEST_F(PassSettings, AnEmptyServerDirectoryListsNothingAndTheClientStarts) {
  configure(kCurrentVariant, L"");
  writeLocal(L"client.exe", "client", kMorning);
  writeServer(L"a.dat", "server", kEvening);
  const ScopedCurrentDirectory inServerTree(server_.root());
  EXPECT_TRUE(run(kCurrentVariant, AnswerInTurn({})).questions().empty());
  EXPECT_EQ(runtime_.calls("listFiles"), 0);
  EXPECT_EQ(runtime_.startAttempts(), std::vector<std::wstring>{clientPath()});
}

TEST_F(PassSettings, AServerDirectoryWithoutItsSeparatorGetsOne) {
  configure(kLegacyVariant, server_.dir());
  writeServer(L"a.dat", "new", kEvening);
  const auto& questions = run(kLegacyVariant, AnswerAlways(Answer::Replace)).questions();
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0].fileName, server_.dir() + kPathSeparator + L"a.dat");
  EXPECT_EQ(ReadAll(localPath(L"a.dat")), "new");
}

TEST_F(PassSettings, AServerDirectoryEndingInASlashIsTakenAsItIs) {
  configure(kCurrentVariant, server_.dir() + L"/");
  writeServer(L"a.dat", "new", kEvening);
  const auto& questions = run(kCurrentVariant, AnswerAlways(Answer::Replace)).questions();
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0].fileName, server_.dir() + L"/a.dat");
  EXPECT_EQ(ReadAll(localPath(L"a.dat")), "new");
}

TEST_F(PassSettings, TheLegacyProgramReadsItsOwnFile) {
  configure(kCurrentVariant, server_.dir() + L"/elsewhere/");
  configure(kLegacyVariant);
  writeServer(L"a.dat", "new", kEvening);
  const auto& questions = run(kLegacyVariant, AnswerAlways(Answer::Skip)).questions();
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0].fileName, serverPath(L"a.dat"));
}

// Each directory costs one listing; no file costs a request of its own.
class PassRequests : public testing::PassTest {
 protected:
  static constexpr int kFilesOfEachKind = 10;

  // Up to date, older locally and missing locally, kFilesOfEachKind of each.
  void makeMixedTrees() {
    configure(kCurrentVariant);
    for (int i = 0; i < kFilesOfEachKind; ++i) {
      const std::wstring n = std::to_wstring(i);
      writeServer(L"same" + n, "same", kNoon);
      writeLocal(L"same" + n, "same", kNoon);
      writeServer(L"older" + n, "new", kEvening);
      writeLocal(L"older" + n, "old", kMorning);
      writeServer(L"missing" + n, "new", kEvening);
    }
    writeLocal(L"local-only.dat", "mine", kMorning);
  }
  void expectMixedTreesUpdated() {
    for (int i = 0; i < kFilesOfEachKind; ++i) {
      const std::wstring n = std::to_wstring(i);
      EXPECT_EQ(ReadAll(localPath(L"older" + n)), "new");
      EXPECT_EQ(ReadAll(localPath(L"missing" + n)), "new");
    }
    EXPECT_EQ(runtime_.calls("copyFile"), 2 * kFilesOfEachKind);
    EXPECT_EQ(runtime_.calls("listFiles"), 1);
    EXPECT_EQ(runtime_.calls("listEverything"), 1);
    EXPECT_EQ(runtime_.calls("openTextInput"), 2);  // the two settings
  }
};

TEST_F(PassRequests, TwoListingsAndNoRequestPerFile) {
  makeMixedTrees();
  EXPECT_EQ(run(kCurrentVariant, AnswerAlways(Answer::ReplaceAll)).questions().size(), 1u);
  expectMixedTreesUpdated();
  EXPECT_EQ(runtime_.calls("lookUp"), 0);
}

TEST_F(PassRequests, AnUnlistableProgramDirectoryFallsBackToOneLookupPerFile) {
  makeMixedTrees();
  runtime_.failProgramDirectoryListing = true;
  EXPECT_EQ(run(kCurrentVariant, AnswerAlways(Answer::ReplaceAll)).questions().size(), 1u);
  expectMixedTreesUpdated();
  EXPECT_EQ(runtime_.calls("lookUp"), 3 * kFilesOfEachKind);
}

TEST_F(PassRequests, LocalNamesMatchAsTheFileSystemMatchesThem) {
  configure(kCurrentVariant);
  writeServer(L"Client.DAT", "server", kNoon);
  writeLocal(L"CLIENT.dat", "local", kNoon);
  const auto& questions = run(kCurrentVariant, AnswerAlways(Answer::Skip)).questions();
#ifdef _WIN32
  EXPECT_TRUE(questions.empty());  // one file whatever the case of its name
#else
  ASSERT_EQ(questions.size(), 1u);  // two files
  EXPECT_EQ(questions[0].oldDate, kNoLocalCopyText);
#endif
}

TEST_F(PassRequests, EntriesThatAreNoOrdinaryFilesCountAsLocalCopies) {
  configure(kCurrentVariant);
  writeServer(L"maps.pak", "server", kNoon);
  testing::SetModified(program_.makeDirectory(L"maps.pak"), kEvening);
#ifdef _WIN32
  writeServer(L"hidden.cfg", "server", kNoon);
  testing::MakeHidden(writeLocal(L"hidden.cfg", "local", kNoon));
  writeServer(L"system.cfg", "server", kNoon);
  testing::MakeSystemFile(writeLocal(L"system.cfg", "local", kNoon));
#endif
  EXPECT_TRUE(run(kCurrentVariant, AnswerInTurn({})).questions().empty());
}

// Looking for a work folder that is not there reads, on some systems, the whole program
// directory. A run looks for leftovers only where its listing shows the folder or cannot tell,
// and where it made the folder itself; it leaves none behind either way.
struct LeftoverCase {
  const char* what;
  bool killedRunsFolder;  // a run ended half-way left a temporary copy in the work folder
  bool listingFails;
  std::optional<Answer> newerFile;  // a newer server file, and the answer to its question
  bool lookedFor;
};

void PrintTo(const LeftoverCase& c, std::ostream* os) { *os << c.what; }

class LeftoverLookups : public testing::PassTest,
                        public ::testing::WithParamInterface<LeftoverCase> {};

TEST_P(LeftoverLookups, OnlyWhereTheWorkFolderCanBe) {
  const LeftoverCase& c = GetParam();
  configure(kCurrentVariant);
  writeServer(L"same.dat", "same", kNoon);
  writeLocal(L"same.dat", "same", kNoon);
  if (c.killedRunsFolder) {
    program_.makeDirectory(std::wstring(kWorkFolderName));
    program_.write(std::wstring(kWorkFolderName) + kPathSeparator + L"dvl0BADF00D.tmp", "half");
  }
  if (c.newerFile) writeServer(L"new.dat", "new", kEvening);
  runtime_.failProgramDirectoryListing = c.listingFails;
  run(kCurrentVariant, AnswerAlways(c.newerFile.value_or(Answer::Skip)));
  EXPECT_EQ(runtime_.calls("removeLeftovers") > 0, c.lookedFor) << c.what;
  EXPECT_FALSE(testing::WorkFolderPresent(programDirectory_)) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Runs, LeftoverLookups,
    ::testing::Values(LeftoverCase{"nothing to update", false, false, std::nullopt, false},
                      LeftoverCase{"a killed run's folder", true, false, std::nullopt, true},
                      LeftoverCase{"no listing to tell", true, true, std::nullopt, true},
                      LeftoverCase{"a question skipped", false, false, Answer::Skip, true},
                      LeftoverCase{"a copy made", false, false, Answer::Replace, true}));

}  // namespace
}  // namespace dravelin
