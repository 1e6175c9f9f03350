// Program and server directories nested deeper than Windows' MAX_PATH (260 characters): listing,
// timestamps, copies, the configuration file and the program start all work there.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <set>

#include "config.h"
#include "runtime_error.h"
#include "test_tree.h"
#include "work_folder.h"

#ifdef _WIN32
#include "win32/file_times.h"
#include "win32/handles.h"
#include "win32/last_error.h"
#include "win32/long_path.h"
#else
#include <fstream>
#endif

namespace dravelin {
namespace {

using testing::CopyAsListed;
using testing::ListedNames;
using testing::TempTree;
using testing::TimeOf;
namespace fs = std::filesystem;

constexpr std::size_t kDeepPathLength = 320;
constexpr FileTime kServerTime = 1'790'000'000;
constexpr FileTime kLocalTime = 1'700'000'000;

// File helpers that work at any depth on their own, so the engine is not tested with itself. On
// Windows they use the extended-length form, which every Windows takes at any length.
#ifdef _WIN32
std::wstring Unlimited(const std::wstring& path) { return L"\\\\?\\" + path; }

void MakeDirectory(const std::wstring& path) {
  if (!CreateDirectoryW(Unlimited(path).c_str(), nullptr)) {
    win::ThrowLastError("CreateDirectoryW");
  }
}

void WriteFile(const std::wstring& path, std::string_view bytes, FileTime modified) {
  win::UniqueFile file(CreateFileW(Unlimited(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  const FILETIME time = win::FiletimeAt(modified);
  if (!file ||
      !::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
      !SetFileTime(file.get(), nullptr, nullptr, &time)) {
    win::ThrowLastError("WriteFile (a deep test file)");
  }
}

// Removes `path` and everything under it (std::filesystem stops at MAX_PATH with MinGW).
bool RemoveTree(const std::wstring& path) {
  WIN32_FIND_DATAW entry{};
  bool removed = true;
  {
    const win::UniqueFindHandle find(FindFirstFileW(Unlimited(path + L"\\*").c_str(), &entry));
    for (bool more = static_cast<bool>(find); more; more = FindNextFileW(find.get(), &entry)) {
      const std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring inner = path + L"\\" + name;
      removed &= (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                     ? RemoveTree(inner)
                     : DeleteFileW(Unlimited(inner).c_str()) != 0;
    }
  }
  return removed &&
         (RemoveDirectoryW(Unlimited(path).c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND);
}

std::string ReadFile(const std::wstring& path) {
  // Sharing everything: the marker program renames its marker into place, and the handle that did
  // it (opened for deleting) may still be open when the name shows.
  win::UniqueFile file(CreateFileW(Unlimited(path).c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
  if (!file) win::ThrowLastError("CreateFileW (a deep test file)");
  std::string bytes(GetFileSize(file.get(), nullptr), '\0');
  DWORD read = 0;
  ::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  bytes.resize(read);
  return bytes;
}
#else
void MakeDirectory(const std::wstring& path) { fs::create_directory(testing::Path(path)); }

void WriteFile(const std::wstring& path, std::string_view bytes, FileTime modified) {
  std::ofstream(testing::Path(path), std::ios::binary).write(bytes.data(), bytes.size());
  testing::SetModified(path, modified);
}

std::string ReadFile(const std::wstring& path) { return testing::ReadAll(path); }

bool RemoveTree(const std::wstring& path) {
  std::error_code error;
  fs::remove_all(testing::Path(path), error);
  return !error;
}
#endif

// A chain of directories under `root` whose full path is longer than kDeepPathLength.
std::wstring MakeDeepDirectory(const std::wstring& root, std::wstring_view label) {
  std::wstring path = root + kPathSeparator + std::wstring(label);
  MakeDirectory(path);
  for (int level = 0; path.size() <= kDeepPathLength; ++level) {
    path += kPathSeparator + std::wstring(L"깊은 폴더-a deep folder-") + std::to_wstring(level);
    MakeDirectory(path);
  }
  return path;
}

class DeepDirectories : public ::testing::Test {
 protected:
  // Gone before the temporary tree cleans up after itself, which it cannot do at this depth on
  // Windows. A program started from here may still hold its file for a moment.
  ~DeepDirectories() override {
    const auto removed = [this] {
      return RemoveTree(in(tree_.dir(), L"program")) & RemoveTree(in(tree_.dir(), L"server"));
    };
    testing::PollUntil(removed, testing::kProgramStartBound);
  }

  std::wstring in(const std::wstring& directory, std::wstring_view name) const {
    return directory + kPathSeparator + std::wstring(name);
  }

  void ExpectOnlyAnEmptyWorkFolderBeside(std::set<std::wstring> names);

  TempTree tree_;
  const std::wstring program_ = MakeDeepDirectory(tree_.dir(), L"program");
  const std::wstring server_ = MakeDeepDirectory(tree_.dir(), L"server");
  std::unique_ptr<Runtime> runtime_ = MakeSystemRuntime();
};

TEST_F(DeepDirectories, TheDirectoriesAreDeeperThanMaxPath) {
  EXPECT_GT(program_.size(), kDeepPathLength);
  EXPECT_GT(server_.size(), kDeepPathLength);
}

TEST_F(DeepDirectories, ListingGivesEveryFileWithItsTime) {
  WriteFile(in(server_, L"client.exe"), "x", kServerTime);
  WriteFile(in(server_, L"데이터.pak"), "x", kLocalTime);
  WriteFile(in(server_, L"noextension"), "x", kServerTime);
  MakeDirectory(in(server_, L"subdir"));
  std::map<std::wstring, FileTime> times;
  const auto listing = runtime_->listFiles(in(server_, L"*.*"));
  while (const auto entry = listing->next()) times[entry->name] = entry->modified;
  EXPECT_EQ(times, (std::map<std::wstring, FileTime>{{L"client.exe", kServerTime},
                                                     {L"데이터.pak", kLocalTime},
                                                     {L"noextension", kServerTime}}));
  EXPECT_EQ(ListedNames(*runtime_->listEverything(server_)),
            (std::set<std::wstring>{L"client.exe", L"데이터.pak", L"noextension", L"subdir"}));
}

TEST_F(DeepDirectories, AFullPathIsAnExistenceTestThere) {
  WriteFile(in(program_, L"filecopy.avi"), "x", kLocalTime);
  const auto found = runtime_->listFiles(in(program_, L"filecopy.avi"))->next();
  ASSERT_TRUE(found);
  EXPECT_EQ(found->name, L"filecopy.avi");
  EXPECT_EQ(runtime_->listFiles(in(program_, L"absent.avi"))->next(), std::nullopt);
}

TEST_F(DeepDirectories, TimestampsAreReadAndAMissingFileFails) {
  WriteFile(in(server_, L"a.dat"), "x", kServerTime);
  EXPECT_EQ(TimeOf(*runtime_, in(server_, L"a.dat")), kServerTime);
  EXPECT_FALSE(runtime_->lookUp(in(server_, L"missing.dat")));
}

// The copies leave their (empty) work folder for the next copy; clearing it leaves `names` alone.
void DeepDirectories::ExpectOnlyAnEmptyWorkFolderBeside(std::set<std::wstring> names) {
  const std::wstring workFolder(kWorkFolderName);
  EXPECT_EQ(ListedNames(*runtime_->listEverything(in(program_, workFolder))),
            std::set<std::wstring>{});
  std::set<std::wstring> withFolder = names;
  withFolder.insert(workFolder);
  EXPECT_EQ(ListedNames(*runtime_->listEverything(program_)), withFolder);
  runtime_->removeLeftovers(program_);
  EXPECT_EQ(ListedNames(*runtime_->listEverything(program_)), names);
}

TEST_F(DeepDirectories, CopiesKeepTheTimeAndLeaveNothingBehind) {
  WriteFile(in(server_, L"new.dat"), "brand new", kServerTime);
  WriteFile(in(server_, L"client.exe"), "update", kServerTime);
  WriteFile(in(program_, L"client.exe"), std::string(100'000, 'o'), kLocalTime);
  CopyAsListed(*runtime_, in(server_, L"new.dat"), in(program_, L"new.dat"));
  CopyAsListed(*runtime_, in(server_, L"client.exe"), in(program_, L"client.exe"));
  EXPECT_EQ(ReadFile(in(program_, L"new.dat")), "brand new");
  EXPECT_EQ(ReadFile(in(program_, L"client.exe")), "update");
  EXPECT_EQ(TimeOf(*runtime_, in(program_, L"new.dat")), kServerTime);
  EXPECT_EQ(TimeOf(*runtime_, in(program_, L"client.exe")), kServerTime);
  ExpectOnlyAnEmptyWorkFolderBeside({L"new.dat", L"client.exe"});
}

TEST_F(DeepDirectories, AFailedCopyLeavesNothingBehind) {
  WriteFile(in(server_, L"data.pak"), "payload", kServerTime);
  MakeDirectory(in(program_, L"data.pak"));  // the final replace fails on a directory
  EXPECT_THROW(CopyAsListed(*runtime_, in(server_, L"data.pak"), in(program_, L"data.pak")),
               RuntimeError);
  ExpectOnlyAnEmptyWorkFolderBeside({L"data.pak"});
}

TEST_F(DeepDirectories, TheConfigurationFileIsRead) {
  WriteFile(in(program_, L"CONFIG.DVL"), "Exe_Program=client.exe\r\n", kLocalTime);
  EXPECT_EQ(GetConfigValue(*runtime_, in(program_, L"CONFIG.DVL"), L"Exe_Program"), L"client.exe");
}

TEST_F(DeepDirectories, AProgramThereIsStarted) {
  const fs::path marker = testing::Path(runtime_->programDirectory()) / MARKER_PROGRAM_NAME;
  const std::wstring program = in(program_, testing::Wide(marker.filename()));
  WriteFile(program, testing::ReadAll(testing::Wide(marker)), kLocalTime);
#ifndef _WIN32
  fs::permissions(testing::Path(program), fs::perms::owner_exec, fs::perm_options::add);
#endif
  runtime_->startProgram(program, nullptr);
  // The program writes its marker beside itself once it runs: "started", then its directory.
  const std::wstring started = in(program_, L"marker-program.started");
  std::string marked;
  testing::PollUntil(
      [&] {
        if (runtime_->listFiles(started)->next()) marked = ReadFile(started);
        return marked.starts_with("started\n");
      },
      testing::kProgramStartBound);
  EXPECT_EQ(marked.substr(0, marked.find('\n')), "started");
}

#ifdef _WIN32

TEST_F(DeepDirectories, PathsGivenInTheExtendedFormWorkAsWell) {
  WriteFile(in(server_, L"a.dat"), "server copy", kServerTime);
  EXPECT_EQ(ListedNames(*runtime_->listFiles(Unlimited(in(server_, L"*.*")))),
            (std::set<std::wstring>{L"a.dat"}));
  EXPECT_EQ(TimeOf(*runtime_, Unlimited(in(server_, L"a.dat"))), kServerTime);
  CopyAsListed(*runtime_, Unlimited(in(server_, L"a.dat")), Unlimited(in(program_, L"a.dat")));
  EXPECT_EQ(ReadFile(in(program_, L"a.dat")), "server copy");
  runtime_->removeLeftovers(Unlimited(program_));
  EXPECT_EQ(ListedNames(*runtime_->listEverything(Unlimited(program_))),
            (std::set<std::wstring>{L"a.dat"}));
}

TEST_F(DeepDirectories, SlashesAndRelativePartsInALongPathAreResolved) {
  WriteFile(in(server_, L"a.dat"), "x", kServerTime);
  // The extended form takes names literally, so these must be resolved before it is made.
  const std::wstring last = server_.substr(server_.rfind(L'\\') + 1);
  EXPECT_EQ(TimeOf(*runtime_, server_ + L"\\.\\..\\" + last + L"\\a.dat"), kServerTime);
  std::wstring slashed = in(server_, L"a.dat");
  std::replace(slashed.begin(), slashed.end(), L'\\', L'/');
  EXPECT_EQ(TimeOf(*runtime_, slashed), kServerTime);
}

std::wstring Repeated(std::wstring_view part, int times) {
  std::wstring text;
  for (int i = 0; i < times; ++i) text += part;
  return text;
}

TEST(ExtendedLengthPath, ShortPathsStayAsTheyAre) {
  EXPECT_EQ(ExtendedLengthPath(L"C:\\dir\\a.txt"), L"C:\\dir\\a.txt");
  EXPECT_EQ(ExtendedLengthPath(L"relative/a.txt"), L"relative/a.txt");
  EXPECT_EQ(ExtendedLengthPath(L""), L"");
}

TEST(ExtendedLengthPath, LongPathsBecomeFullExtendedPaths) {
  const std::wstring folders = Repeated(L"folder\\", 40);
  const std::wstring deep = L"C:\\" + folders + L"a.txt";
  EXPECT_EQ(ExtendedLengthPath(deep), L"\\\\?\\" + deep);
  EXPECT_EQ(ExtendedLengthPath(L"C:/" + Repeated(L"folder/", 40) + L"dropped/../a.txt"),
            L"\\\\?\\" + deep);
  EXPECT_EQ(ExtendedLengthPath(L"\\\\server\\share\\" + folders + L"a.txt"),
            L"\\\\?\\UNC\\server\\share\\" + folders + L"a.txt");
  // Already extended or a device path: as it is.
  EXPECT_EQ(ExtendedLengthPath(L"\\\\?\\" + deep), L"\\\\?\\" + deep);
  EXPECT_EQ(ExtendedLengthPath(L"\\\\.\\" + deep), L"\\\\.\\" + deep);
}

// The work folder is made by CreateDirectoryW, which takes at most 247 characters in the ordinary
// form (room for an 8.3 name), and its files and the clean-up's pattern go to calls that take
// at most 259: Windows refuses the longer ordinary forms, where Wine takes them all.
TEST(ExtendedLengthPath, TheWorkFolderAndItsFilesTakeItWhereTheirCallsNeedIt) {
  struct Case {
    std::size_t folderLength;
    bool folderExtended;
    bool fileExtended;
  };
  for (const Case& c : {Case{247, false, true}, Case{248, true, true}, Case{259, true, true},
                        Case{230, false, false}}) {
    SCOPED_TRACE(c.folderLength);
    const std::wstring directory =
        L"C:\\" + std::wstring(c.folderLength - 3 - 1 - kWorkFolderName.size(), L'd');
    const std::wstring folder = WorkFolderPath(directory);
    EXPECT_EQ(folder.starts_with(L"\\\\?\\"), c.folderExtended);
    EXPECT_TRUE(folder.ends_with(directory + L"\\" + std::wstring(kWorkFolderName)));
    EXPECT_EQ(PathIn(folder, L"dvl01234567.tmp").starts_with(L"\\\\?\\"), c.fileExtended);
    const std::wstring pattern = PathIn(folder, L"*");
    EXPECT_TRUE(pattern.starts_with(L"\\\\?\\") || pattern.size() < MAX_PATH);
  }
}

#endif

}  // namespace
}  // namespace dravelin
