// Whatever the server directory lists: names that Windows itself would never make, names that a
// client file system takes for one or for another file, times and sizes that no copy can carry.
// A server (a share served from Linux, a broken or hostile one) lists what it likes, so the tests
// have the listing show these names, times and sizes for ordinary files of the server tree.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <map>
#include <set>

#include "pass_fixture.h"
#include "path_parts.h"
#include "windows_ticks.h"

#ifdef _WIN32
#include "win32/long_path.h"
#endif

namespace dravelin {
namespace {

using testing::Answer;
using testing::AnswerAlways;
using testing::kEvening;
using testing::kMorning;
using testing::kNoon;

class ServerListing : public testing::PassTest {
 protected:
  // One server file for each of `listed`, shown under that name with that time and size: the
  // run answers Replace to every question and gives the names it asked about.
  std::set<std::wstring> askedAbout(const std::vector<DirEntry>& listed) {
    configure(kCurrentVariant);
    std::map<std::wstring, DirEntry> shownAs;
    for (std::size_t i = 0; i < listed.size(); ++i) {
      const std::wstring real = L"f" + std::to_wstring(i);
      writeServer(real, "server", kEvening);
      shownAs[real] = listed[i];
    }
    runtime_.listedAs = [&](DirEntry& entry) { entry = shownAs.at(entry.name); };
    std::set<std::wstring> asked;
    for (const auto& question : run(kCurrentVariant, AnswerAlways(Answer::Replace)).questions()) {
      asked.insert(question.fileName.substr(serverPath(L"").size()));
    }
    return asked;
  }
};

TEST_F(ServerListing, OnlyPlainNamesOfOneFileOfTheClientFolderAreAskedAbout) {
  struct Name {
    std::wstring listed;
    bool asked;
    FileTime time = kEvening;
  };
  std::vector<Name> names{
      {L"ordinary.dat", true},
      {L"CONSOLE.txt", true},
      {L"COM10", true},
      {L"한글 파일.pak", true},
      {std::wstring(255, L'n'), true},
      // Outside the folder, or into one of its folders.
      {L"x\\..\\..\\evil.txt", false},
      {L"saves\\slot1.sav", false},
      {L"a/b", false},
      {L"", false},
      {L".", false},
      {L"..", false},
      // Devices, in any case, with an extension or spaces.
      {L"CON", false},
      {L"nul.txt", false},
      {L"Aux", false},
      {L"prn.tar.gz", false},
      {L"COM1", false},
      {L"lpt9.log", false},
      {L"COM\u00B9", false},
      {L"CON .txt", false},
      {L"CONOUT$", false},
      // Names that Windows cannot give a file, or gives another.
      {L"data.pak.", false},
      {L"data.pak ", false},
      {L"a:stream", false},
      {L"a*b", false},
      {L"a?b", false},
      {L"a\"b", false},
      {L"a<b", false},
      {L"a>b", false},
      {L"a|b", false},
      {L"tab\there", false},
      {std::wstring(256, L'n'), false},
      // A local folder of that name.
      {L"saves", false},
      // Names that differ in letter case only: one file on Windows, where the newest stands.
      {L"Data.pak", true},
      {L"data.pak", kPathSeparator == L'/', kNoon}};
  program_.makeDirectory(L"saves");
#ifdef _WIN32
  // The short name of a user's file, which would reach it.
  const std::wstring users = writeLocal(L"Readme-long-name.txt", "the user's", kMorning);
  const std::wstring shortName = FileNameOf(ShortPath(users));
  ASSERT_NE(shortName.find(L'~'), std::wstring::npos) << "no short name to reach the file by";
  names.push_back({shortName, false});
#endif
  std::vector<DirEntry> listed;
  std::set<std::wstring> expected;
  for (const Name& name : names) {
    listed.push_back({name.listed, name.time, 6});
    if (name.asked) expected.insert(name.listed);
  }
  EXPECT_EQ(askedAbout(listed), expected);
  EXPECT_EQ(runtime_.calls("copyFile"), static_cast<int>(expected.size()));
#ifdef _WIN32
  EXPECT_EQ(testing::ReadAll(users), "the user's");
#endif
}

// Times that a copy cannot carry, or the question cannot show and read back, and files larger
// than the client's disk has room for, would be asked about (and read) at every start.
TEST_F(ServerListing, OnlyTimesACopyCarriesAndSizesThatFitAreAskedAbout) {
  constexpr FileTime k1601 = -kTicksFrom1601To1970 / kTicksPerSecond;
  const FileTime beyondTicks = FromWindowsTicks(std::numeric_limits<std::int64_t>::min());
  const struct {
    const wchar_t* name;
    FileTime time;
    std::uint64_t bytes;
    bool asked;
  } files[] = {
      {L"ordinary.dat", kEvening, 6, true},
      {L"first second of 1601", k1601 + 1, 6, true},
      {L"first tick of 1601", k1601, 6, false},
      {L"a year of five digits", 907'000'000'000, 6, false},
      {L"a FILETIME of 2^63 ticks", beyondTicks, 6, false},
      {L"larger than any disk", kEvening, std::uint64_t{1} << 62, false},
  };
  std::vector<DirEntry> listed;
  std::set<std::wstring> expected;
  for (const auto& file : files) {
    listed.push_back({file.name, file.time, file.bytes});
    if (file.asked) expected.insert(file.name);
  }
  EXPECT_EQ(askedAbout(listed), expected);
}

}  // namespace
}  // namespace dravelin
