// Whole runs of both programs against a server directory that stops answering for seconds: once
// while the directory is listed, once while a file is read for its copy. All the while the
// progress window answers the system's probes (a WM_NULL sent with a time limit), and once the
// server answers again the pass goes on as usual: the question, the copy, the client.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "program_session.h"
#include "stall_mount.h"
#include "uidriver.h"

namespace dravelin::uitest::stalltest {
namespace {

using namespace std::chrono_literals;

constexpr auto kStallLength = 10s;
// The longest the window may take to answer a probe. Not scaled: it is the window's promise,
// not a wait of the test's.
constexpr auto kProbeLimit = 500ms;
constexpr auto kProbeInterval = 50ms;
// A probe takes at most its limit and the interval, so a stall this long sees at least twice
// as many probes as this, even when none is answered: fewer means the stall was not watched.
constexpr int kMinimumProbes = static_cast<int>(kStallLength / (kProbeLimit + kProbeInterval) / 2);

constexpr std::wstring_view kListedFile = L"data.pak";
constexpr std::string_view kListedBytes = "server data";
constexpr std::wstring_view kReadFile = L"big.pak";
constexpr std::size_t kReadBytes = std::size_t{1} << 20;
constexpr std::wstring_view kElsewhereFile = L"elsewhere.dat";

// Bytes in which a part out of place differs from the part that belongs there.
std::string Patterned(std::size_t size) {
  constexpr int kPrime = 251;
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i % kPrime);
  return bytes;
}

class StallTest : public ::testing::TestWithParam<Build> {
 protected:
  StallTest() : client_(GetParam()) {}

  void SetUp() override {
    client_.writeConfigNaming(server_.prefix());
    elsewhere_.write(kElsewhereFile, "elsewhere", kNovember);
  }

  // The figures go into the XML report (--gtest_output), for comparing runs.
  StallWatch probeDuring(const ArmedStall& stall, HWND progress,
                         const std::function<bool()>& happened = nullptr) const {
    StallWatch watch = WatchStall(stall, progress, elsewhere_.throughMount(kElsewhereFile),
                                  kProbeLimit, kProbeInterval, happened);
    RecordProperty("probes", watch.probes);
    RecordProperty("lost", watch.lost);
    RecordProperty("longest_ms", static_cast<int>(watch.longest.count()));
    return watch;
  }

  // The stall held up the program's own request, Wine's server went on answering meanwhile, and
  // the window answered every probe while the stall lasted.
  void expectAnsweredThroughout(const StallWatch& watch, const std::wstring& stalled) const {
    EXPECT_EQ(uidriver::ToUtf8(watch.stalled), uidriver::ToUtf8(stalled))
        << "the stall held up another request than the program's";
    EXPECT_TRUE(watch.mountOpenedDuringStall)
        << "a file of the mount did not open while the stall lasted";
    EXPECT_EQ(watch.lost, 0) << watch.lost << " of " << watch.probes
                             << " probes went unanswered during the stall; the longest took "
                             << watch.longest.count() << " ms";
    EXPECT_GE(watch.probes, kMinimumProbes);
  }

  // One question, answered Replace: the file arrived whole with the server's time, nothing of
  // the copy was left behind, and the client started.
  void expectCopiedAndEnded(const RunResult& result, std::wstring_view name,
                            const std::string& serverBytes) const {
    EXPECT_EQ(result.questions.size(), 1u);
    const std::wstring local = client_.local(name);
    EXPECT_TRUE(testing::ReadAll(local) == serverBytes) << "the copy is not the server's file";
    EXPECT_EQ(testing::Modified(local), kDecember);
    ExpectEndedWithTheClient(result, client_);
  }

  StallFolder server_;
  // Another folder of the mount, whose file is opened while a stall lasts.
  StallFolder elsewhere_;
  ClientFolder client_;
};

TEST_P(StallTest, TheWindowAnswersWhileTheServerDirectoryIsListed) {
  // The clip too: the window opens it while the listing may already be under way.
  client_.addClip();
  client_.writeLocal(kListedFile, "local data", kNovember);
  server_.write(kListedFile, kListedBytes, kDecember);
  const ArmedStall stall = ArmStall(StallKind::Listing, kStallLength);

  ProgramRun run(client_);
  const HWND progress = run.progressWindow();
  ASSERT_NE(progress, nullptr) << "the program ended before its window came";
  const StallWatch stalled = probeDuring(stall, progress);
  const HWND question = run.nextQuestion();
  ASSERT_NE(question, nullptr) << "the program ended without asking";
  run.answer(question, Answer::Replace);
  const RunResult result = run.finish();

  expectAnsweredThroughout(stalled, server_.relative());
  expectCopiedAndEnded(result, kListedFile, std::string(kListedBytes));
}

TEST_P(StallTest, TheWindowAnswersWhileAServerFileIsRead) {
  const std::string bytes = Patterned(kReadBytes);
  server_.write(kReadFile, bytes, kDecember);
  const ArmedStall stall = ArmStall(StallKind::Read, kStallLength, server_.relative(kReadFile));

  ProgramRun run(client_);
  const HWND question = run.nextQuestion();
  ASSERT_NE(question, nullptr) << "the program ended without asking";
  const HWND progress = run.progressWindow();
  ASSERT_NE(progress, nullptr);
  run.answer(question, Answer::Replace);
  const StallWatch stalled = probeDuring(stall, progress);
  const RunResult result = run.finish();

  expectAnsweredThroughout(stalled, server_.relative(kReadFile));
  expectCopiedAndEnded(result, kReadFile, bytes);
}

// A far server, every listing and read answered after 20 ms: after Replace All the copies overlap,
// and each still puts only the listed version in place, whole. An administrator rewrites a file
// while its copy is under way, its read held back meanwhile: the other copies arrive while it is
// held, that file alone stays old-whole, the client starts once, and the window answers throughout.
TEST_P(StallTest, AfterReplaceAllTheCopiesOverlapAndEachIsChecked) {
  constexpr int kFiles = 24;
  constexpr std::size_t kFileBytes = 48 * 1024;
  const auto serverBytes = [&](const std::wstring& name) {
    std::string bytes = Patterned(kFileBytes);
    bytes.append(uidriver::ToUtf8(name));  // a tail of its own per file
    return bytes;
  };
  const ClientFolder::LocalFile old{"old", kNovember};
  for (int i = 0; i < kFiles; ++i) {
    const std::wstring name = L"far" + std::to_wstring(i) + L".pak";
    server_.write(name, serverBytes(name), kDecember);
    if (i % 2 == 0) client_.writeLocal(name, old.bytes, old.modified);  // the others are missing
  }
  const auto before = client_.localFiles();
  // In the order the program meets them: it asks about the first and copies the next one first.
  std::vector<std::wstring> listed;
  for (const auto& entry : std::filesystem::directory_iterator(server_.prefix())) {
    listed.push_back(entry.path().filename().wstring());
  }
  ASSERT_EQ(listed.size(), std::size_t{kFiles});
  const std::wstring& rewritten = listed[1];
  const auto othersArrived = [&] {
    const auto files = client_.localFiles();
    return std::all_of(listed.begin() + 2, listed.end(), [&](const std::wstring& name) {
      const auto file = files.find(name);
      return file != files.end() && file->second.bytes == serverBytes(name);
    });
  };
  const FarServer farServer(20ms);  // ("far" is a macro of the Windows headers)
  ProgramRun run(client_);
  const HWND question = run.nextQuestion();
  ASSERT_NE(question, nullptr) << "the program ended without asking";
  const HWND progress = run.progressWindow();
  ASSERT_NE(progress, nullptr);
  ASSERT_TRUE(ProgramRun::read(question).fileName.ends_with(listed[0]));
  const ArmedStall stall = ArmStall(StallKind::Read, 3s, server_.relative(rewritten));
  run.answer(question, Answer::ReplaceAll);
  WaitForStallToBegin(stall);
  server_.write(rewritten, "the next release, published meanwhile", kDecember);
  const StallWatch watch = probeDuring(stall, progress, othersArrived);
  const RunResult result = run.finish();

  EXPECT_TRUE(watch.happenedDuringStall) << "the other copies waited for the held one";
  EXPECT_EQ(watch.lost, 0) << watch.lost << " of " << watch.probes << " probes went unanswered";
  const auto files = client_.localFiles();
  for (const std::wstring& name : listed) {
    if (name == rewritten) {
      // Left as it was: old-whole, or still missing.
      const auto now = files.find(name);
      EXPECT_TRUE(now == files.end() ? !before.contains(name) : now->second == old)
          << testing::Path(name);
    } else {
      EXPECT_TRUE(files.at(name) == (ClientFolder::LocalFile{serverBytes(name), kDecember}))
          << testing::Path(name);
    }
  }
  EXPECT_EQ(testing::CountLeftovers(client_.directory()), 0);
  EXPECT_EQ(result.questions.size(), 1u);
  EXPECT_TRUE(result.clientStarted);
}

INSTANTIATE_TEST_SUITE_P(BothBuilds, StallTest, ::testing::ValuesIn(kBuilds),
                         testing::BuildTestName);

}  // namespace
}  // namespace dravelin::uitest::stalltest
