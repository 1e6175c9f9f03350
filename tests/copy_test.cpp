#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <string>

#include "error_rule.h"
#include "file_copy.h"
#include "played_clock.h"
#include "runtime_error.h"
#include "test_tree.h"

#ifdef _WIN32
#include <windows.h>

#include "path_parts.h"
#include "win32/handles.h"
#include "win32/long_path.h"
#include "win32/program_replacement.h"
#include "win32/temporary_file.h"
#include "windows_ticks.h"
#include "work_folder.h"
#endif

namespace dravelin {
namespace {

using testing::CopyAsListed;
using testing::CountLeftovers;
using testing::ReadAll;
using testing::TempTree;

constexpr FileTime kServerTime = 1'790'000'000;

class CopyOverLocalFile : public ::testing::Test {
 protected:
  std::wstring serverFile(std::wstring_view name, std::string_view bytes) {
    const std::wstring path = server_.write(name, bytes);
    testing::SetModified(path, kServerTime);
    return path;
  }

  TempTree server_;
  TempTree local_;
  testing::PlayedClock clock_;  // the waits for files that other programs hold
  std::unique_ptr<Runtime> runtime_ = MakeSystemRuntime(clock_);
};

TEST_F(CopyOverLocalFile, CreatesAMissingFileWithTheSourcesTime) {
  const std::wstring target = local_.path(L"새파일.dat");
  CopyAsListed(*runtime_, serverFile(L"새파일.dat", "new contents"), target);
  EXPECT_EQ(ReadAll(target), "new contents");
  EXPECT_EQ(testing::Modified(target), kServerTime);
  EXPECT_EQ(CountLeftovers(local_.dir()), 0);
}

TEST_F(CopyOverLocalFile, ReplacesAnExistingFileWhole) {
  const std::wstring target = local_.write(L"client.exe", std::string(100'000, 'o'));
  CopyAsListed(*runtime_, serverFile(L"client.exe", "short"), target);
  EXPECT_EQ(ReadAll(target), "short");
  EXPECT_EQ(testing::Modified(target), kServerTime);
  EXPECT_EQ(CountLeftovers(local_.dir()), 0);
}

TEST_F(CopyOverLocalFile, AFailureAfterTheDataWasWrittenLeavesTheOldDestination) {
  // A directory in the destination's place lets the data copy succeed and the final replace fail.
  const std::wstring target = local_.makeDirectory(L"data.pak");
  local_.write(L"data.pak/inside.txt", "kept");
  EXPECT_THROW(CopyAsListed(*runtime_, serverFile(L"data.pak", "payload"), target), RuntimeError);
  EXPECT_EQ(ReadAll(local_.path(L"data.pak") + kPathSeparator + L"inside.txt"), "kept");
  EXPECT_EQ(CountLeftovers(local_.dir()), 0);
}

TEST_F(CopyOverLocalFile, AnUnreadableSourceChangesNothing) {
  const std::wstring target = local_.write(L"a.dat", "old");
  EXPECT_THROW(CopyAsListed(*runtime_, server_.path(L"missing.dat"), target), RuntimeError);
  EXPECT_THROW(CopyAsListed(*runtime_, server_.makeDirectory(L"a.dat"), target), RuntimeError);
  EXPECT_EQ(ReadAll(target), "old");
  EXPECT_EQ(CountLeftovers(local_.dir()), 0);
}

// Only the version that the listing showed is copied. A source rewritten, cut short or grown
// since, even keeping its time, or given another time, leaves the destination as it was: the
// next run lists it again and asks about the version it finds then.
TEST_F(CopyOverLocalFile, OnlyTheListedVersionIsCopied) {
  const std::string listedBytes = "the listed version";
  struct Change {
    const char* what;
    std::string bytes;
    FileTime time;
  };
  const Change changes[] = {{"rewritten, another time", "a newer version!!!", kServerTime + 1},
                            {"cut short, same time", "the list", kServerTime},
                            {"grown, same time", listedBytes + " and more", kServerTime},
                            {"only given another time", listedBytes, kServerTime + 60}};
  for (const Change& change : changes) {
    SCOPED_TRACE(change.what);
    const std::wstring target = local_.write(L"data.pak", "old local");
    const std::wstring source = serverFile(L"data.pak", listedBytes);
    const FileVersion listed = testing::ListedVersion(*runtime_, source);
    ASSERT_EQ(listed.bytes, listedBytes.size());
    server_.write(L"data.pak", change.bytes);
    testing::SetModified(source, change.time);
    EXPECT_THROW(runtime_->copyFile(source, target, listed, ListedDestination::Present),
                 SourceChanged);
    EXPECT_EQ(ReadAll(target), "old local");
    EXPECT_EQ(CountLeftovers(local_.dir()), 0);
  }
}

TEST_F(CopyOverLocalFile, AMissingDestinationDirectoryFails) {
  EXPECT_THROW(CopyAsListed(*runtime_, serverFile(L"a.dat", "x"), local_.path(L"no/such/a.dat")),
               RuntimeError);
}

// Replacing the running program's file, whichever of its steps fail: the program's name ends up
// with the new program or the old one, never with none, which no later run could repair.
TEST(ReplaceProgram, NoStepThatFailsLeavesTheProgramsNameEmpty) {
  struct Case {
    std::set<std::string> failing;
    std::string atTheName;  // "" when nothing is there
  };
  const Case cases[] = {
      {{}, "new"},
      {{"moveAside"}, "old"},  // nothing changed
      {{"placeNew"}, "old"},
      {{"placeNew", "moveBack"}, "old"},
      {{"placeNew", "moveBack", "copyBack"}, ""},  // nothing left that could be done
  };
  for (const Case& c : cases) {
    std::map<std::string, std::string> files{{"program", "old"}, {"copy", "new"}};
    const auto step = [&](const std::string& name, std::function<void()> change) {
      return [&, name, change] {
        if (c.failing.contains(name)) throw RuntimeError(name + " (test)", 5);
        change();
      };
    };
    const auto move = [&](const std::string& from, const std::string& to) {
      files[to] = files[from];
      files.erase(from);
    };
    const bool placed = error_rule::Attempt([&] {
      ReplaceProgram({step("moveAside", [&] { move("program", "aside"); }),
                      step("placeNew", [&] { move("copy", "program"); }),
                      step("moveBack", [&] { move("aside", "program"); }),
                      step("copyBack", [&] { files["program"] = files["aside"]; })});
    });
    EXPECT_EQ(placed, c.failing.empty());
    EXPECT_EQ(files.contains("program") ? files["program"] : "", c.atTheName)
        << ::testing::PrintToString(c.failing);
  }
}

#ifdef _WIN32
// Opened the way a running program holds its image, or a scanner reads a file: others may read
// but not replace it. An indexer shares everything, deleting too; the file still cannot be
// replaced while it is open.
win::UniqueFile Hold(const std::wstring& path, DWORD sharing = FILE_SHARE_READ) {
  return win::UniqueFile(
      CreateFileW(path.c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING, 0, nullptr));
}

// Files in use for the whole run (the client running from its folder) stay as they were, and
// cost the run its time of waiting once, not each of them.
TEST_F(CopyOverLocalFile, FilesInUseStayAsTheyWereAndCostTheRunItsWaitingOnce) {
  for (const wchar_t* name : {L"client.exe", L"client.dll"}) {
    SCOPED_TRACE(testing::Path(name));
    const std::wstring target = local_.write(name, "running");
    const win::UniqueFile inUse = Hold(target);
    ASSERT_TRUE(inUse);
    EXPECT_THROW(CopyAsListed(*runtime_, serverFile(name, "update"), target), FileHeld);
    EXPECT_EQ(clock_.played(), Patience::kRunBudget);
    EXPECT_EQ(ReadAll(target), "running");
    EXPECT_EQ(CountLeftovers(local_.dir()), 0);
  }
}

// Another program reads the file for two seconds (of the run's five): the copy waits for it and
// goes in place.
TEST_F(CopyOverLocalFile, AFileHeldForAMomentIsReplacedOnceItIsFree) {
  const struct {
    const wchar_t* name;
    DWORD sharing;
  } holders[] = {{L"scanned.pak", FILE_SHARE_READ},
                 {L"indexed.pak", FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE}};
  for (const auto& holder : holders) {
    SCOPED_TRACE(testing::Path(holder.name));
    const std::wstring target = local_.write(holder.name, "old");
    win::UniqueFile held = Hold(target, holder.sharing);
    ASSERT_TRUE(held);
    const Milliseconds start = clock_.played();
    clock_.onPause = [&](Milliseconds played) {
      if (played - start >= std::chrono::seconds(2)) held.reset();
    };
    CopyAsListed(*runtime_, serverFile(holder.name, "new"), target);
    EXPECT_EQ(ReadAll(target), "new");
    EXPECT_EQ(CountLeftovers(local_.dir()), 0);
  }
}

// The new program's rename into its place (the one rename that replaces), refused as a held file's.
BOOL WINAPI RefuseTheRenameIn(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID info,
                              DWORD bytes) {
  if (kind == FileRenameInfo && static_cast<FILE_RENAME_INFO*>(info)->ReplaceIfExists) {
    SetLastError(ERROR_SHARING_VIOLATION);
    return FALSE;
  }
  return ::SetFileInformationByHandle(file, kind, info, bytes);
}

// The running program's file (a plain one here) is never without a name while the run waits:
// a scanner's hold on the old file is waited for before it moves aside, and a new copy that
// cannot take its place after all sends the old file back at once.
TEST_F(CopyOverLocalFile, TheProgramsNameNeverGoesEmptyWhileTheReplacementWaits) {
  static const CopyCalls refusedIn{RefuseTheRenameIn};
  const struct {
    const char* what;
    const CopyCalls& calls;
    bool scanned;  // the old file held, sharing reading only, for 2 s
    std::string atTheName;
  } rows[] = {{"the new copy's rename refused", refusedIn, false, "old"},
              {"the old program read by a scanner for a moment", SystemCopyCalls(), true, "new"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const std::wstring program = local_.write(L"client.exe", "old");
    const std::wstring workFolder = MakeWorkFolder(local_.dir());
    TemporaryFile copy(workFolder);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(copy.handle(), "new", 3, &written, nullptr));
    copy.seal(*ToWindowsTicks(kServerTime), 0);
    win::UniqueFile scanner = row.scanned ? Hold(program) : win::UniqueFile();
    Patience patience(clock_);
    const Milliseconds start = clock_.played();
    clock_.onPause = [&](Milliseconds played) {
      EXPECT_TRUE(std::filesystem::exists(testing::Path(program))) << "no file at the name";
      if (played - start >= std::chrono::seconds(2)) scanner.reset();
    };
    const bool placed = error_rule::Attempt(
        [&] { ReplaceProgramFile(copy, program, workFolder, patience, row.calls); });
    EXPECT_EQ(placed, row.atTheName == "new");
    EXPECT_EQ(ReadAll(program), row.atTheName);
    EXPECT_EQ(clock_.played() - start > Milliseconds::zero(), row.scanned) << "waited";
  }
}

// A new long-named file gets its short 8.3 name when it is put in place, and Windows reaches a file
// by its short name too. A server file named as that short name, found missing before, is put in
// place after (Replace All: copies in flight together): its copy is dropped, not put over the
// long-named file.
TEST_F(CopyOverLocalFile, AShortNameOfAFilePutInPlaceMeanwhileIsDropped) {
  const std::wstring longPath = local_.path(L"Readme first.txt");
  CopyAsListed(*runtime_, serverFile(L"Readme first.txt", "read me"), longPath);
  const std::wstring alias = FileNameOf(ShortPath(longPath));
  ASSERT_NE(alias.find(L'~'), std::wstring::npos) << testing::Path(alias);
  EXPECT_THROW(CopyAsListed(*runtime_, serverFile(alias, "a larger file"), local_.path(alias)),
               RuntimeError);
  EXPECT_EQ(ReadAll(longPath), "read me");
  EXPECT_EQ(CountLeftovers(local_.dir()), 0);
}

bool ReadOnly(const std::wstring& path) {
  return (GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_READONLY) != 0;
}

// A read-only server file (marked so, or on a share without write permission) gives a copy that
// the next release can replace; a local copy that an earlier update left read-only, as the
// server file is, is replaced too.
TEST_F(CopyOverLocalFile, ReadOnlyServerFilesGiveCopiesThatCanBeUpdated) {
  const std::wstring source = serverFile(L"ro.dll", "release 1");
  testing::MakeReadOnly(source, true);
  const std::wstring target = local_.path(L"ro.dll");
  CopyAsListed(*runtime_, source, target);
  EXPECT_FALSE(ReadOnly(target));
  testing::MakeReadOnly(target, true);  // as copies were made before
  testing::MakeReadOnly(source, false);
  serverFile(L"ro.dll", "release 2");
  testing::MakeReadOnly(source, true);
  CopyAsListed(*runtime_, source, target);
  EXPECT_EQ(ReadAll(target), "release 2");
  EXPECT_FALSE(ReadOnly(target));
  testing::MakeReadOnly(source, false);
}

TEST_F(CopyOverLocalFile, AReadOnlyLocalFileIsLeftAsItIsWithoutWaiting) {
  const std::wstring target = local_.write(L"settings.dat", "protected");
  testing::MakeReadOnly(target, true);
  EXPECT_THROW(CopyAsListed(*runtime_, serverFile(L"settings.dat", "update"), target),
               RuntimeError);
  EXPECT_EQ(ReadAll(target), "protected");
  EXPECT_EQ(CountLeftovers(local_.dir()), 0);
  EXPECT_EQ(clock_.played(), Milliseconds::zero());
}
#endif

}  // namespace
}  // namespace dravelin
