// Whole runs of both programs whose server directory lies on a network share (Samba, mounted
// through smbnetfs): which files are asked about, that the accepted ones arrive with the server's
// bytes and time, that hidden files and subfolders stay on the server, and that times survive the
// trip through SMB well enough for the next run to ask nothing.
#include <set>

#include "share_test.h"

namespace dravelin::uitest::sharetest {
namespace {

// The last tick of a second: a share or a copy that rounded times to the second would carry
// such a time into the next second, and the copy would be asked about again in the next run.
constexpr std::int64_t kLastTick = 9'999'999;
constexpr std::int64_t kSomeTick = 1'234'567;
constexpr std::wstring_view kNoLocalCopy = L"해당화일은 존재하지 않습니다.";

// Server files that the client lacks or holds in an older copy.
struct Candidate {
  std::wstring_view name;
  std::string_view serverBytes;
  PreciseTime serverTime;
};
const Candidate kOlderLocally{L"data.pak", "server data", {kDecember, kLastTick}};
const Candidate kMissingLocally{L"한글파일.dat", "server hangul", {kDecember, kSomeTick}};
const Candidate kCandidates[] = {kOlderLocally, kMissingLocally};

// Files and folders of the share that are never asked about.
constexpr std::wstring_view kSame = L"readme.txt";
constexpr std::wstring_view kNewerLocally = L"sound.dat";
// A name with a leading dot: hidden on the share (Samba and Wine both hide such names; the
// Windows hidden attribute itself does not travel through smbnetfs).
constexpr std::wstring_view kHidden = L".hidden.dat";
constexpr std::wstring_view kSubfolder = L"patches";
constexpr std::wstring_view kInSubfolder = L"patches\\inside.dat";

class ShareUpdateTest : public ::testing::TestWithParam<Build> {
 protected:
  ShareUpdateTest() : client_(GetParam()) {}

  void SetUp() override {
    client_.writeConfigNaming(server_.prefix());
    client_.writeLocal(kOlderLocally.name, "local data", kNovember);
    for (const Candidate& c : kCandidates) server_.write(c.name, c.serverBytes, c.serverTime);
    client_.writeLocal(kSame, "local readme", kNovember);
    server_.write(kSame, "server readme", {kNovember});
    client_.writeLocal(kNewerLocally, "local sound", kDecember);
    server_.write(kNewerLocally, "server sound", {kNovember});
    server_.write(kHidden, "server hidden", {kDecember});
    server_.makeDirectory(kSubfolder);
    server_.write(kInSubfolder, "server inside", {kDecember});
    checkTheShareShowsTheLayout();
  }

  // What the assertions rest on, as seen through the share: the times to the tick, the dot-file
  // hidden, the subfolder a folder.
  void checkTheShareShowsTheLayout() const {
    for (const Candidate& c : kCandidates) {
      const PreciseTime shown = PreciseModified(server_.throughMount(c.name));
      ASSERT_EQ(shown.seconds, c.serverTime.seconds) << uidriver::ToUtf8(c.name);
      ASSERT_EQ(shown.ticks, c.serverTime.ticks) << uidriver::ToUtf8(c.name);
    }
    const DWORD hidden = ::GetFileAttributesW(server_.throughMount(kHidden).c_str());
    ASSERT_NE(hidden, INVALID_FILE_ATTRIBUTES);
    ASSERT_TRUE(hidden & FILE_ATTRIBUTE_HIDDEN) << "the share shows dot-files as ordinary files";
    const DWORD folder = ::GetFileAttributesW(server_.throughMount(kSubfolder).c_str());
    ASSERT_NE(folder, INVALID_FILE_ATTRIBUTES);
    ASSERT_TRUE(folder & FILE_ATTRIBUTE_DIRECTORY);
  }

  bool existsLocally(std::wstring_view name) const {
    return ::GetFileAttributesW(client_.local(name).c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  void expectCopied(const Candidate& c) const {
    SCOPED_TRACE(uidriver::ToUtf8(c.name));
    const std::wstring local = client_.local(c.name);
    EXPECT_EQ(testing::ReadAll(local), c.serverBytes);
    const PreciseTime kept = PreciseModified(local);
    EXPECT_EQ(kept.seconds, c.serverTime.seconds);
    EXPECT_EQ(kept.ticks, c.serverTime.ticks);
  }

  SharedFolder server_;
  ClientFolder client_;
};

TEST_P(ShareUpdateTest, NewerFilesAreAskedAboutAndCopiedWithTheirTimes) {
  const RunResult result = RunProgram(client_, {Answer::Replace, Answer::Replace});

  std::set<std::wstring> asked;
  for (const Question& q : result.questions) {
    asked.insert(q.fileName);
    EXPECT_TRUE(q.newDate.ends_with(L"로")) << uidriver::ToUtf8(q.newDate);
    if (q.fileName == server_.throughMount(kMissingLocally.name)) {
      EXPECT_EQ(q.oldDate, kNoLocalCopy);
    } else {
      EXPECT_TRUE(q.oldDate.ends_with(L"을")) << uidriver::ToUtf8(q.oldDate);
    }
  }
  EXPECT_EQ(result.questions.size(), asked.size()) << "a file was asked about twice";
  const std::set<std::wstring> expected = {server_.throughMount(kOlderLocally.name),
                                           server_.throughMount(kMissingLocally.name)};
  EXPECT_EQ(asked, expected);

  for (const Candidate& c : kCandidates) expectCopied(c);
  EXPECT_EQ(testing::ReadAll(client_.local(kSame)), "local readme");
  EXPECT_EQ(testing::ReadAll(client_.local(kNewerLocally)), "local sound");
  EXPECT_FALSE(existsLocally(kHidden));
  EXPECT_FALSE(existsLocally(kSubfolder));
  EXPECT_FALSE(existsLocally(L"inside.dat"));
  ExpectEndedWithTheClient(result, client_);
}

TEST_P(ShareUpdateTest, TheRunAfterTheCopiesAsksNothing) {
  const RunResult first = RunProgram(client_, {Answer::ReplaceAll});
  ASSERT_EQ(first.questions.size(), 1u);
  for (const Candidate& c : kCandidates) expectCopied(c);
  const auto afterFirst = client_.localFiles();

  const RunResult second = RunProgram(client_);
  EXPECT_TRUE(second.questions.empty())
      << "asked about " << uidriver::ToUtf8(second.questions.front().fileName);
  EXPECT_EQ(client_.localFiles(), afterFirst);
  ExpectEndedWithTheClient(second, client_);
}

INSTANTIATE_TEST_SUITE_P(BothBuilds, ShareUpdateTest, ::testing::ValuesIn(kBuilds),
                         testing::BuildTestName);

}  // namespace
}  // namespace dravelin::uitest::sharetest
