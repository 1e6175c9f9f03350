// A client folder that this user may not write (Program Files for a standard user, a read-only
// medium), here a folder on stall-fs, which is mounted read-only: the update asks nothing, since
// no answer could lead anywhere, and starts the client.
#include <gtest/gtest.h>

#include "fake_runtime.h"
#include "program_session.h"
#include "scripted_windows.h"
#include "stall_mount.h"

namespace dravelin::uitest::stalltest {
namespace {

TEST(ReadOnlyClientFolder, NothingIsAskedAndTheClientStarts) {
  ForEachBuild([&](Build build) {
    const StallFolder client;
    const testing::TempTree server;
    testing::SetModified(server.write(L"data.pak", "new"), kDecember);
    client.write(VariantFor(build).configFileName, ConfigNaming(server.dir() + L"\\"), kNovember);
    client.write(kClientName, "client", kNovember);
    const std::wstring directory = client.prefix().substr(0, client.prefix().size() - 1);

    testing::EventLog log;
    testing::TestRuntime runtime(directory, log);
    testing::ScriptedWindows windows(log, testing::AnswerAlways(Answer::Replace));
    RunUpdatePass(runtime, windows, VariantFor(build));
    EXPECT_TRUE(windows.questions().empty());
    EXPECT_EQ(runtime.calls("copyFile"), 0);
    EXPECT_EQ(runtime.startAttempts(),
              std::vector<std::wstring>{directory + L"\\" + std::wstring(kClientName)});
  });
}

}  // namespace
}  // namespace dravelin::uitest::stalltest
