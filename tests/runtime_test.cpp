#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <future>
#include <set>
#include <sstream>
#include <thread>

#include "runtime_error.h"
#include "test_tree.h"

#ifdef _WIN32
#include <windows.h>

#include "win32/library_search.h"
#include "win32/program_start.h"
#endif

namespace dravelin {
namespace {

using testing::ListedNames;
using testing::MakeHidden;
using testing::MakeReadOnly;
using testing::MakeSystemFile;
using testing::ScopedCurrentDirectory;
using testing::SetModified;
using testing::TempTree;
using testing::TimeOf;
namespace fs = std::filesystem;

constexpr FileTime kSomeTime = 1'700'000'000;
constexpr FileTime kLaterTime = 1'790'000'000;

class RuntimeServices : public ::testing::Test {
 protected:
  std::wstring all() const { return tree_.dir() + kPathSeparator + L"*.*"; }

  TempTree tree_;
  std::unique_ptr<Runtime> runtime_ = MakeSystemRuntime();
};

TEST_F(RuntimeServices, ListingGivesOrdinaryFilesOnly) {
  tree_.write(L"client.exe", "x");
  tree_.write(L"noextension", "x");
  tree_.write(L"한글파일.dat", "x");
  MakeReadOnly(tree_.write(L"readonly.dll", "x"), true);
  tree_.makeDirectory(L"subdir");
  tree_.makeDirectory(L"dotted.dir");
  MakeHidden(tree_.write(L".hidden", "x"));
#ifdef _WIN32
  MakeSystemFile(tree_.write(L"system.sys", "x"));
#endif
  EXPECT_EQ(
      ListedNames(*runtime_->listFiles(all())),
      (std::set<std::wstring>{L"client.exe", L"noextension", L"한글파일.dat", L"readonly.dll"}));
}

TEST_F(RuntimeServices, ListingHandsOutEachFilesTime) {
  SetModified(tree_.write(L"a.dat", "x"), kSomeTime);
  SetModified(tree_.write(L"b.dat", "x"), kLaterTime);
  auto listing = runtime_->listFiles(all());
  std::map<std::wstring, FileTime> times;
  while (const auto entry = listing->next()) times[entry->name] = entry->modified;
  EXPECT_EQ(times,
            (std::map<std::wstring, FileTime>{{L"a.dat", kSomeTime}, {L"b.dat", kLaterTime}}));
}

TEST_F(RuntimeServices, ListingAnEmptyOrMissingDirectoryGivesNothing) {
  EXPECT_EQ(runtime_->listFiles(all())->next(), std::nullopt);
  const std::wstring missing = tree_.path(L"missing") + kPathSeparator + L"*.*";
  EXPECT_EQ(runtime_->listFiles(missing)->next(), std::nullopt);
}

TEST_F(RuntimeServices, ListingAFullPathIsAnExistenceTest) {
  const std::wstring file = tree_.write(L"filecopy.avi", "x");
  const auto found = runtime_->listFiles(file)->next();
  ASSERT_TRUE(found);
  EXPECT_EQ(found->name, L"filecopy.avi");
  EXPECT_EQ(runtime_->listFiles(tree_.path(L"absent.avi"))->next(), std::nullopt);
  EXPECT_EQ(runtime_->listFiles(tree_.makeDirectory(L"dir.avi"))->next(), std::nullopt);
  const std::wstring hidden = tree_.write(L".hidden.avi", "x");
  MakeHidden(hidden);
  EXPECT_EQ(runtime_->listFiles(hidden)->next(), std::nullopt);
}

TEST_F(RuntimeServices, ListingEverythingIncludesHiddenFilesAndDirectories) {
  tree_.write(L"plain", "x");
  MakeHidden(tree_.write(L".secret", "x"));
  tree_.makeDirectory(L"sub");
  EXPECT_EQ(ListedNames(*runtime_->listEverything(tree_.dir())),
            (std::set<std::wstring>{L"plain", L".secret", L"sub"}));
}

TEST_F(RuntimeServices, FileNameKeyFollowsTheFileSystemsCaseRule) {
#ifdef _WIN32
  EXPECT_EQ(runtime_->fileNameKey(L"Client.Exe"), runtime_->fileNameKey(L"CLIENT.exe"));
#else
  EXPECT_NE(runtime_->fileNameKey(L"Client.Exe"), runtime_->fileNameKey(L"CLIENT.exe"));
#endif
}

TEST_F(RuntimeServices, TimestampOfAFileAndOfAMissingOne) {
  const std::wstring file = tree_.write(L"한글.txt", "x");
  SetModified(file, kSomeTime);
  EXPECT_EQ(TimeOf(*runtime_, file), kSomeTime);
  EXPECT_FALSE(runtime_->lookUp(tree_.path(L"missing.txt")));
}

TEST_F(RuntimeServices, ProgramDirectoryHoldsTheRunningProgram) {
  const std::wstring dir = runtime_->programDirectory();
  ASSERT_FALSE(dir.empty());
  EXPECT_NE(dir.back(), kPathSeparator);
  EXPECT_TRUE(fs::exists(testing::Path(dir) / MARKER_PROGRAM_NAME));
}

// Started from another directory, as a Run key or a scheduled task would start this program, the
// client still runs in its own directory, where it finds its data files.
// Starts a copy of the marker program with `start` from another folder while it is told to stay:
// the start returns while the program still runs, and the program runs in its own folder. The
// copy is the test's own, in a folder of its own: the tests of another process may start the
// marker program at the same time.
void ExpectStartedInItsFolderWithoutWaiting(const std::function<void(const std::wstring&)>& start) {
  const TempTree own;
  const fs::path dir = own.root() / testing::Path(L"클라이언트");
  fs::create_directory(dir);
  const fs::path program = dir / MARKER_PROGRAM_NAME;
  fs::copy_file(testing::Path(MakeSystemRuntime()->programDirectory()) / MARKER_PROGRAM_NAME,
                program);
  const fs::path marker = dir / "marker-program.started";
  const fs::path stay = dir / "marker-program.stay";
  const fs::path ended = dir / "marker-program.ended";
  std::ofstream(stay) << "stay";
  const TempTree elsewhere;
  auto returned = std::async(std::launch::async, [&] {
    const ScopedCurrentDirectory there(elsewhere.root());
    start(testing::Wide(program));
  });
  const bool returnedFirst =
      returned.wait_for(testing::kProgramStartBound) == std::future_status::ready;
  const auto seen = [](const fs::path& file) {
    return testing::PollUntil([&] { return fs::exists(file); }, testing::kProgramStartBound);
  };
  EXPECT_TRUE(seen(marker));
  EXPECT_TRUE(returnedFirst) << "the start waited for the program";
  EXPECT_FALSE(fs::exists(ended));
  fs::remove(stay);  // the program goes now (and a start that waits for it returns)
  EXPECT_TRUE(seen(ended));
  returned.get();
  std::istringstream lines(testing::ReadAll(testing::Wide(marker)));
  std::string started, workingDirectory;
  std::getline(lines, started);
  std::getline(lines, workingDirectory);
  EXPECT_EQ(started, "started");
  const fs::path workedIn(std::u8string(workingDirectory.begin(), workingDirectory.end()));
  EXPECT_TRUE(fs::equivalent(workedIn, dir)) << workingDirectory;
  // Gone before its folder is: Windows keeps a program's file until the program has ended.
  std::error_code held;
  testing::PollUntil([&] { return fs::remove(program, held); }, testing::kProgramStartBound);
}

TEST_F(RuntimeServices, StartProgramRunsItInItsOwnDirectoryWithoutWaiting) {
  ExpectStartedInItsFolderWithoutWaiting(
      [&](const std::wstring& path) { runtime_->startProgram(path, nullptr); });
  EXPECT_THROW(runtime_->startProgram(tree_.path(L"no-such-program.exe"), nullptr), RuntimeError);
}

#ifdef _WIN32
// A client whose manifest asks for administrator rights: CreateProcessW refuses it, and the shell
// starts it in its folder, with the consent prompt, as a shortcut would. No other failure goes
// to the shell.
TEST(ProgramStart, AClientThatNeedsAdministratorRightsIsStartedByTheShell) {
  constexpr DWORD kElevationRequired = 740;
  struct Case {
    DWORD created;
    DWORD shellStarted;
    bool started;
    std::vector<std::wstring> shellStarts;
  };
  const std::wstring client = L"C:\\클라이언트\\client.exe";
  const std::wstring inItsFolder = client + L" in C:\\클라이언트";
  const Case cases[] = {
      {ERROR_SUCCESS, ERROR_SUCCESS, true, {}},
      {kElevationRequired, ERROR_SUCCESS, true, {inItsFolder}},
      {kElevationRequired, ERROR_CANCELLED, false, {inItsFolder}},  // the user said no
      {ERROR_FILE_NOT_FOUND, ERROR_SUCCESS, false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.created);
    std::vector<std::wstring> shellStarts;
    const ProcessStarts starts{
        [&](const std::wstring&, const std::wstring&, const std::wstring&) { return c.created; },
        [&](const std::wstring& path, const std::wstring& directory, HWND) {
          shellStarts.push_back(path + L" in " + directory);
          return c.shellStarted;
        }};
    bool started = true;
    try {
      StartProgram(client, nullptr, starts);
    } catch (const RuntimeError&) {
      started = false;
    }
    EXPECT_EQ(started, c.started);
    EXPECT_EQ(shellStarts, c.shellStarts);
  }
}

// Windows 7 without update KB2533623: it refuses LOAD_LIBRARY_SEARCH_SYSTEM32 and loads otherwise.
HMODULE WINAPI LoadRefusingTheSystemOnlySearch(LPCWSTR name, HANDLE file, DWORD flags) {
  if (flags & LOAD_LIBRARY_SEARCH_SYSTEM32) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return ::LoadLibraryExW(name, file, flags);
}

// A system that finds no such library: no other way is tried.
HMODULE WINAPI LoadFindingNothing(LPCWSTR, HANDLE, DWORD) {
  ::SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

// Where the system cannot be told to load from its own directory only (Windows 7 without update
// KB2533623), the shell's library is loaded by its full path there, and so is every library that
// the windows make the system load by name.
TEST(ProgramStart, TheShellsLibraryLoadsByItsPathInTheSystemDirectory) {
  const struct {
    const char* system;
    win::LoadLibraryExFn load;
    bool loaded;
  } systems[] = {
      {"this one", ::LoadLibraryExW, true},
      {"one that refuses the search of its own directory only", LoadRefusingTheSystemOnlySearch,
       true},
      {"one that finds no such library", LoadFindingNothing, false},
  };
  for (const auto& system : systems) {
    SCOPED_TRACE(system.system);
    const HMODULE shell = win::LoadSystemLibrary(L"shell32.dll", system.load);
    ASSERT_EQ(shell != nullptr, system.loaded);
    if (!shell) continue;
    EXPECT_NE(::GetProcAddress(shell, "ShellExecuteExW"), nullptr);
  }
  EXPECT_TRUE(win::PreloadFromTheSystemDirectory());
}

TEST_F(RuntimeServices, TheShellStartsAProgramInItsFolder) {
  ExpectStartedInItsFolderWithoutWaiting([](const std::wstring& path) {
    const std::wstring directory = path.substr(0, path.find_last_of(L'\\'));
    ASSERT_EQ(SystemProcessStarts().shell(path, directory, nullptr), DWORD{ERROR_SUCCESS});
  });
}
#endif

TEST_F(RuntimeServices, TextInputReadsLinesAndClosesTheFile) {
  const std::wstring file = tree_.write(L"lines.txt", "one\r\ntwo\nthree\rstill three\r\n\r\nlast");
  {
    auto input = runtime_->openTextInput(file);
    std::vector<std::string> lines;
    while (!input->atEnd()) lines.push_back(input->readLine());
    EXPECT_EQ(lines, (std::vector<std::string>{"one", "two", "three\rstill three", "", "last"}));
  }
  // Closed again: the file can be replaced at once (Windows refuses while it is open).
  EXPECT_NO_THROW(fs::remove(testing::Path(file)));
  EXPECT_TRUE(runtime_->openTextInput(tree_.write(L"empty.txt", ""))->atEnd());
  EXPECT_THROW(runtime_->openTextInput(tree_.path(L"missing.txt")), RuntimeError);
}

}  // namespace
}  // namespace dravelin
