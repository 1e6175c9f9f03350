// An administrator publishes a new version of a large file on the share, rewriting it in place
// (truncated, written a piece at a time, then given its final time), while a client copies it.
// The copy, which then reads part of one version and part of another, must not be put in place:
// the local file stays old and whole. Once the publishing is over, the next run asks again and
// brings the final version whole, with its final time.
#include <thread>

#include "share_test.h"

namespace dravelin::uitest::sharetest {
namespace {

constexpr std::wstring_view kPack = L"패치.pak";
constexpr std::size_t kListedBytes = std::size_t{256} << 20;
constexpr std::size_t kFinalBytes = std::size_t{200} << 20;
const FileTime kFinalTime = LocalTime(2026, 12, 2, 10, 0, 0);

TEST(SharePublishTest, AFileRewrittenWhileItIsCopiedIsNotPutInPlace) {
  const std::string listed(kListedBytes, 'a');
  const std::string final(kFinalBytes, 'b');
  const std::string old = "the old version, whole";
  ForEachBuild([&](Build build) {
    const SharedFolder server;
    const ClientFolder client(build);
    LayOutANewerCopy(server, client, kPack, listed, old);
    {
      ProgramRun run(client);
      ASSERT_NO_FATAL_FAILURE(ReplaceAndAwaitTheCopy(run, client));
      std::thread publisher([&] { server.write(kPack, final, {kFinalTime}); });
      const RunResult result = run.finish();
      publisher.join();
      EXPECT_TRUE(result.clientStarted);
    }
    const std::string afterCopy = testing::ReadAll(client.local(kPack));
    const bool oldWhole = afterCopy == old && testing::Modified(client.local(kPack)) == kNovember;
    const bool finalWhole =
        afterCopy == final && testing::Modified(client.local(kPack)) == kFinalTime;
    EXPECT_TRUE(oldWhole || finalWhole)
        << "a local file of " << afterCopy.size() << " bytes, neither the old nor the final";

    const RunResult next = RunProgram(client, {Answer::Replace});
    if (oldWhole) {
      EXPECT_EQ(next.questions.size(), 1u) << "the old file is asked about again";
    }
    EXPECT_TRUE(testing::ReadAll(client.local(kPack)) == final);
    EXPECT_EQ(testing::Modified(client.local(kPack)), kFinalTime);
    EXPECT_FALSE(testing::WorkFolderPresent(client.directory()));
  });
}

}  // namespace
}  // namespace dravelin::uitest::sharetest
