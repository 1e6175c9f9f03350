// A server directory served from outside Windows lists names that no Windows program makes: a
// name with backslashes that reaches outside the folder, device names, a stream's colon,
// wildcards, trailing dots. Beside them, one ordinary newer file, a file under the short name of
// a user's file, and a file named like a local folder. Only the ordinary file is asked about and
// copied, nothing lands outside the client folder, and the client starts.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "path_parts.h"
#include "program_session.h"
#include "win32/long_path.h"
#include "work_folder.h"

namespace dravelin::uitest {
namespace {

namespace fs = std::filesystem;

// Made natively at build time (make-odd-server): DIR/server lists the odd names, and DIR/evil.txt
// is what the name "x\..\..\evil.txt" reaches.
const std::wstring kOddServer = WindowsPath(ODD_SERVER_DIR);

void WriteServer(const std::wstring& name, std::string_view bytes) {
  const std::wstring path = kOddServer + L"\\server\\" + name;
  std::ofstream(testing::Path(path), std::ios::binary) << bytes;
  testing::SetModified(path, kDecember);
}

TEST(ServerNames, OnlyTheOrdinaryFileIsAskedAboutAndNothingLandsOutside) {
  ForEachBuild([&](Build build) {
    const ClientFolder folder(build);
    folder.writeConfigNaming(kOddServer + L"\\server\\");
    folder.writeLocal(L"Readme-long-name.txt", "the user's", kNovember);
    folder.makeLocalDirectory(L"saves");
    folder.writeLocal(L"saves\\slot1.sav", "the user's save", kNovember);
    const std::wstring shortName = FileNameOf(ShortPath(folder.local(L"Readme-long-name.txt")));
    ASSERT_NE(shortName.find(L'~'), std::wstring::npos);
    const std::wstring added[] = {L"ordinary.dat", shortName, L"saves"};
    for (const std::wstring& name : added) WriteServer(name, "server's file");

    const RunResult result = RunProgram(folder, {Answer::Replace});
    for (const std::wstring& name : added)
      fs::remove(testing::Path(kOddServer + L"\\server\\" + name));

    ASSERT_EQ(result.questions.size(), 1u);
    EXPECT_EQ(result.questions[0].fileName, kOddServer + L"\\server\\ordinary.dat");
    EXPECT_EQ(testing::ReadAll(folder.local(L"ordinary.dat")), "server's file");
    EXPECT_EQ(testing::ReadAll(folder.local(L"Readme-long-name.txt")), "the user's");
    EXPECT_EQ(testing::ReadAll(folder.local(L"saves\\slot1.sav")), "the user's save");
    EXPECT_TRUE(result.clientStarted);
    // What a name could reach above the client folder, or into its folder.
    const fs::path outside = testing::Path(DirectoryOf(folder.directory()));
    for (const fs::path& place : {outside, outside.parent_path()}) {
      EXPECT_FALSE(fs::exists(place / "evil.txt")) << place;
      EXPECT_FALSE(fs::exists(place / testing::Path(kWorkFolderName))) << place;
    }
    EXPECT_FALSE(testing::WorkFolderPresent(folder.local(L"saves")));
    EXPECT_EQ(testing::ReadAll(kOddServer + L"\\evil.txt"), "outside");
  });
}

}  // namespace
}  // namespace dravelin::uitest
