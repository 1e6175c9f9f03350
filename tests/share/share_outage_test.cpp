// The share going away in the middle of a run: the server is stopped while the first question is
// on screen, and the user goes on answering Replace, then Replace All. Whatever the copies then
// manage, no local file may be left half-written or replaced by a part, no temporary file may
// stay behind, and the run must still end by starting the client.
#include <windows.h>

#include <array>
#include <string>

#include "share_test.h"
#include "win32/handles.h"
#include "work_folder.h"

namespace dravelin::uitest::sharetest {
namespace {

// Large enough that a copy takes more than one read over SMB.
constexpr size_t kFileBytes = 256 * 1024;
constexpr int kOlderLocally = 3;
constexpr int kMissingLocally = 2;
// Never read before the server stops: a read of it must go to the server.
constexpr std::wstring_view kProbe = L"probe.dat";

std::string Contents(char fill, std::wstring_view name) {
  std::string bytes(kFileBytes, fill);
  const std::string label = uidriver::ToUtf8(name);
  bytes.replace(0, label.size(), label);
  return bytes;
}

struct SharedFile {
  std::wstring name;
  std::string serverBytes;
  std::string localBytes;  // empty: no local copy
};

std::vector<SharedFile> LayOut(const SharedFolder& server, const ClientFolder& client) {
  std::vector<SharedFile> files;
  for (int i = 0; i < kOlderLocally + kMissingLocally; ++i) {
    const std::wstring name = L"패치" + std::to_wstring(i) + L".pak";
    SharedFile file{name, Contents('s', name), i < kOlderLocally ? Contents('l', name) : ""};
    server.write(name, file.serverBytes, {kDecember});
    if (!file.localBytes.empty()) client.writeLocal(name, file.localBytes, kNovember);
    files.push_back(std::move(file));
  }
  server.write(kProbe, "probe", {kNovember});
  client.writeLocal(kProbe, "probe", kNovember);
  client.writeConfigNaming(server.prefix());
  return files;
}

// Whether the file's bytes can be read through the share right now.
bool ReadableThroughShare(const std::wstring& path) {
  const win::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  std::array<char, 16> buffer{};
  DWORD read = 0;
  return ::ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr) &&
         read > 0;
}

TEST(ShareOutageTest, TheServerStopsWhileTheFirstQuestionIsShown) {
  const SharedFolder server;
  const ClientFolder client(Build::Current);
  const std::vector<SharedFile> files = LayOut(server, client);

  RunResult result;
  {
    ProgramRun run(client);
    const HWND first = run.nextQuestion();
    ASSERT_NE(first, nullptr) << "the program ended without asking";
    const ServerOutage outage;
    ASSERT_FALSE(ReadableThroughShare(server.throughMount(kProbe)))
        << "the share still serves files after its server stopped";
    run.answer(first, Answer::Replace);
    if (const HWND next = run.nextQuestion()) run.answer(next, Answer::ReplaceAll);
    // Every question, the ones it closes unanswered included: throws, ending the program, when
    // it does not end in time.
    result = run.finish();
  }
  // The one before the stop and the one answered Replace All: no question after Replace All.
  EXPECT_LE(result.questions.size(), 2u) << "asked again after Replace All";

  for (const SharedFile& file : files) {
    SCOPED_TRACE(uidriver::ToUtf8(file.name));
    const std::wstring local = client.local(file.name);
    if (::GetFileAttributesW(local.c_str()) == INVALID_FILE_ATTRIBUTES) {
      EXPECT_TRUE(file.localBytes.empty()) << "the local copy is gone";
      continue;
    }
    const std::string bytes = testing::ReadAll(local);
    const bool oldWhole = bytes == file.localBytes && testing::Modified(local) == kNovember;
    const bool newWhole = bytes == file.serverBytes && testing::Modified(local) == kDecember;
    EXPECT_TRUE(oldWhole || newWhole)
        << "a local file of " << bytes.size() << " bytes is neither the old nor the new copy";
  }
  EXPECT_EQ(testing::CountLeftovers(client.directory()), 0);
  EXPECT_EQ(result.exitCode, 0u);
  EXPECT_TRUE(result.clientStarted);
}

// The server goes away in the middle of a long copy from the share. A read from a share whose
// server died can end early without an error, so the copy may look done: it must not be put in
// place. The local file stays as it was, the run still starts the client, and the next run, with
// the server back, leaves no temporary file behind.
TEST(ShareOutageTest, TheServerStopsInTheMiddleOfALongCopy) {
  constexpr std::size_t kLongFileBytes = std::size_t{256} << 20;
  constexpr std::wstring_view kLongFile = L"대용량.pak";
  const std::string serverBytes(kLongFileBytes, 's');
  const std::string localBytes = "the old version, whole";
  ForEachBuild([&](Build build) {
    const SharedFolder server;
    const ClientFolder client(build);
    LayOutANewerCopy(server, client, kLongFile, serverBytes, localBytes);
    {
      ProgramRun run(client);
      ASSERT_NO_FATAL_FAILURE(ReplaceAndAwaitTheCopy(run, client));
      const ServerOutage outage;
      ASSERT_TRUE(client.copyUnderWay()) << "the copy was over before the server stopped";
      const RunResult result = run.finish();
      EXPECT_TRUE(result.clientStarted);
    }
    const std::string bytes = testing::ReadAll(client.local(kLongFile));
    EXPECT_TRUE(bytes == localBytes) << "a local file of " << bytes.size() << " bytes";
    EXPECT_EQ(testing::Modified(client.local(kLongFile)), kNovember);

    const RunResult next = RunProgram(client, {Answer::SkipAll});
    EXPECT_EQ(next.questions.size(), 1u) << "the file is asked about again";
    EXPECT_TRUE(next.clientStarted);
    EXPECT_EQ(testing::CountLeftovers(client.directory()), 0);
    EXPECT_FALSE(testing::WorkFolderPresent(client.directory()));
  });
}

}  // namespace
}  // namespace dravelin::uitest::sharetest
