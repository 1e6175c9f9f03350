// The pass when the file system works against it: a full disk, a server file that cannot be read,
// a server directory that disappears mid-scan, a read-only local file, other runs and servers at
// work under the run's feet. Every local file must stay whole (old or new), no temporary file may
// stay behind, and the client must still be started.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <functional>
#include <set>
#include <thread>
#include <vector>

#include "pass_fixture.h"
#include "work_folder.h"

#ifdef _WIN32
#include <windows.h>

#include "win32/copy_calls.h"
#include "win32/handles.h"
#include "win32/last_error.h"
#else
#include <sys/mount.h>
#endif

namespace dravelin {
namespace {

using testing::Answer;
using testing::AnswerAlways;
using testing::kEvening;
using testing::kMorning;
using testing::Question;
using testing::ReadAll;
namespace fs = std::filesystem;

constexpr std::size_t kMiB = 1 << 20;
constexpr FileTime kLongAgo = 946'684'800;  // 2000-01-01: older than any file made today

class PassFaults : public testing::PassTest {
 protected:
  explicit PassFaults(std::wstring_view programSubdirectory = L"")
      : PassTest(programSubdirectory) {}

  // The local file holds one of the `allowed` contents; "" among them allows it to be absent.
  void expectWhole(const std::wstring& name, std::set<std::string> allowed) {
    const fs::path path = testing::Path(localPath(name));
    if (!fs::exists(path)) {
      EXPECT_TRUE(allowed.contains("")) << "lost: " << ::testing::PrintToString(name);
      return;
    }
    EXPECT_TRUE(allowed.contains(ReadAll(localPath(name))))
        << "damaged: " << ::testing::PrintToString(name);
  }
};

#ifndef _WIN32
// The program directory on a 1 MiB tmpfs, so that a copy runs out of room half-way once another
// program has taken most of it. Linux only: the Windows build cannot mount one (there,
// CopyOverLocalFile tests a copy that fails after its data was written).
class PassOnAFullDisk : public PassFaults {
 protected:
  PassOnAFullDisk() : PassFaults(L"small-disk") {}

  void SetUp() override {
    if (mount("tmpfs", testing::Path(programDirectory_).c_str(), "tmpfs", 0, kDiskOptions) != 0) {
      GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    }
    mounted_ = true;
  }
  void TearDown() override {
    if (mounted_) umount2(testing::Path(programDirectory_).c_str(), MNT_DETACH);
  }

  static constexpr char kDiskOptions[] = "size=1m";
  bool mounted_ = false;
};

TEST_F(PassOnAFullDisk, ACopyThatRunsOutOfRoomKeepsTheOldFileAndThePassGoesOn) {
  configure(kCurrentVariant);
  const std::string old(kMiB / 8, 'o');
  writeLocal(L"big.pak", old, kMorning);
  writeServer(L"big.pak", std::string(kMiB / 2, 'n'), kEvening);
  writeServer(L"small.dat", "small", kEvening);

  // The big file fits when it is asked about; then another program takes half the disk.
  run(kCurrentVariant, [&](const Question& question) {
    if (question.fileName.ends_with(L"big.pak"))
      writeLocal(L"filler", std::string(kMiB / 2, 'f'), kMorning);
    return Answer::Replace;
  });
  EXPECT_EQ(runtime_.calls("copyFile"), 2);
  EXPECT_FALSE(logged(L"copied big.pak"));
  expectWhole(L"big.pak", {old});
  expectWhole(L"small.dat", {"small"});  // room again once the half copy was removed
  expectCleanEndAndClientStarted();
}
#endif

// Copies in flight together (Replace All) each fit in the room left on the disk, but not all of
// them: one is passed over rather than fill the disk, unless the disk has more room by the time
// it is weighed. The copies are held until the scan has weighed the last file, as long copies
// would be. The disk first reports room for two copies, then `laterRoom`.
class CopiesInFlight : public PassFaults {
 protected:
  void expectCopied(std::uint64_t laterRoom, int copied) {
    configure(kCurrentVariant);
    const std::vector<std::wstring> names{L"a.pak", L"b.pak", L"c.pak"};
    for (const auto& name : names) writeServer(name, std::string(2 * kMiB, 'n'), kEvening);
    std::atomic<int> weighed = 0;
    runtime_.roomLeft = [&] { return ++weighed > 2 ? laterRoom : 5 * kMiB; };
    runtime_.beforeCopy = [&] {
      for (int waits = 0; weighed < 3 && waits < 10'000; ++waits) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    };
    run(kCurrentVariant, AnswerAlways(Answer::ReplaceAll));
    EXPECT_EQ(weighed, 3);
    EXPECT_EQ(runtime_.calls("copyFile"), copied);
    EXPECT_EQ(std::ranges::count_if(names,
                                    [&](const std::wstring& name) {
                                      return fs::exists(testing::Path(localPath(name)));
                                    }),
              copied);
    expectCleanEndAndClientStarted();
  }
};

TEST_F(CopiesInFlight, TogetherFitTheRoomLeftOnTheDisk) { expectCopied(5 * kMiB, 2); }
TEST_F(CopiesInFlight, AFileThatDidNotFitIsWeighedAgainstTheRoomMadeSince) {
  expectCopied(100 * kMiB, 3);
}

// Keeps a server file from being read for the duration of a test.
class UnreadableServerFile {
 public:
  explicit UnreadableServerFile(const std::wstring& path) {
#ifdef _WIN32
    // Held with no sharing, as a program writing the file would hold it: opens by others fail.
    held_.reset(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!held_) win::ThrowLastError("CreateFileW (lock)");
#else
    // Permissions do not stop root, which runs these tests in CI. /proc/self/mem opens as a
    // regular file whose first read fails (address 0 is never mapped), whoever reads it.
    fs::remove(testing::Path(path));
    fs::create_symlink("/proc/self/mem", testing::Path(path));
#endif
  }

 private:
#ifdef _WIN32
  win::UniqueFile held_;
#endif
};

TEST_F(PassFaults, AnUnreadableServerFileLeavesTheLocalOneWhole) {
  configure(kCurrentVariant);
  writeLocal(L"locked.pak", "old", kLongAgo);
  const UnreadableServerFile locked(writeServer(L"locked.pak", "new", kEvening));
  writeServer(L"other.dat", "other", kEvening);

  const auto& windows = run(kCurrentVariant, AnswerAlways(Answer::Replace));
  EXPECT_EQ(windows.questions().size(), 2u);
  EXPECT_EQ(runtime_.calls("copyFile"), 2);
  expectWhole(L"locked.pak", {"old"});
  expectWhole(L"other.dat", {"other"});
  expectCleanEndAndClientStarted();
}

TEST_F(PassFaults, AServerDirectoryRemovedAtTheFirstQuestionEndsTheScanCleanly) {
  const std::wstring share = server_.makeDirectory(L"share");
  configure(kCurrentVariant, share + kPathSeparator);
  writeLocal(L"client.exe", "client", kMorning);
  const std::vector<std::wstring> names{L"a.dat", L"b.dat", L"c.dat", L"d.dat", L"e.dat"};
  for (const auto& name : names) writeServer(L"share/" + name, "new", kEvening);
  writeLocal(L"b.dat", "old", kMorning);
  writeLocal(L"d.dat", "old", kMorning);

  bool removed = false;
  run(kCurrentVariant, [&](const Question&) {
    std::error_code ignored;  // what stays (a directory still in use) is beside the point
    if (!removed) fs::remove_all(testing::Path(share), ignored);
    removed = true;
    return Answer::ReplaceAll;
  });
  ASSERT_TRUE(removed);
  for (const auto& name : names) {
    ASSERT_FALSE(fs::exists(testing::Path(share + kPathSeparator + name)));
    const bool hadLocalCopy = name == L"b.dat" || name == L"d.dat";
    expectWhole(name, hadLocalCopy ? std::set<std::string>{"old", "new"}
                                   : std::set<std::string>{"", "new"});
  }
  // The listing was read whole before the first question: every file was tried (Replace All),
  // and no copy could find its source.
  EXPECT_EQ(runtime_.calls("copyFile"), static_cast<int>(names.size()));
  for (const auto& line : log_) EXPECT_FALSE(line.starts_with(L"copied ")) << line;
  expectCleanEndAndClientStarted();
}

#ifdef _WIN32
TEST_F(PassFaults, AReadOnlyLocalFileIsLeftAsItIs) {
  configure(kCurrentVariant);
  testing::MakeReadOnly(writeLocal(L"settings.dat", "mine", kMorning), true);
  writeServer(L"settings.dat", "theirs", kEvening);
  writeServer(L"other.dat", "other", kEvening);

  run(kCurrentVariant, AnswerAlways(Answer::ReplaceAll));
  expectWhole(L"settings.dat", {"mine"});
  EXPECT_TRUE(GetFileAttributesW(localPath(L"settings.dat").c_str()) & FILE_ATTRIBUTE_READONLY);
  expectWhole(L"other.dat", {"other"});
  expectCleanEndAndClientStarted();
}
#endif

#ifdef _WIN32
// The name of the copy before its rename, as the client's redirector still gives it after.
std::vector<std::byte>& NameBeforeTheRename() {
  static std::vector<std::byte> name(sizeof(FILE_NAME_INFO) + 32768 * sizeof(wchar_t));
  return name;
}

// The rename is done, but its answer says it failed: a reply lost in a reconnect.
BOOL WINAPI RenameAndAnswerFailure(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID info,
                                   DWORD bytes) {
  std::vector<std::byte>& name = NameBeforeTheRename();
  if (!::GetFileInformationByHandleEx(file, FileNameInfo, name.data(),
                                      static_cast<DWORD>(name.size())) ||
      !::SetFileInformationByHandle(file, kind, info, bytes)) {
    return FALSE;
  }
  ::SetLastError(ERROR_NETNAME_DELETED);
  return FALSE;
}

// The redirector answers a query of the open file's name from its own record of the open.
BOOL WINAPI NameAsBeforeTheRename(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID info,
                                  DWORD bytes) {
  if (kind != FileNameInfo) return ::GetFileInformationByHandleEx(file, kind, info, bytes);
  const std::vector<std::byte>& name = NameBeforeTheRename();
  std::memcpy(info, name.data(), std::min<std::size_t>(bytes, name.size()));
  return TRUE;
}

// An SMB1 server: no rename by handle into another folder.
BOOL WINAPI RefuseAsUnsupported(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD) {
  ::SetLastError(ERROR_NOT_SUPPORTED);
  return FALSE;
}
#endif

// Other runs and servers at work under the run's feet lose no update, cost it no waiting, and
// leave its end in order (the turn given up, the client started while the window is up, the
// window gone, the clean-up).
TEST_F(PassFaults, OtherRunsAndServersLoseNoUpdateNorHoldTheClientBack) {
  using Ending = std::function<void()>;  // what a row arranged, ended after the run
  struct Mishap {
    const char* what;
    std::function<Ending()> arrange;
    bool folderRemovedWhileAsked = false;
    bool updated = true;  // else nothing is asked and the file stays old
  };
  const std::wstring workFolder = localPath(std::wstring(kWorkFolderName));
  std::vector<Mishap> mishaps{
      {"another run's clean-up removes the work folder while the question is up", nullptr, true}};
#ifdef _WIN32
  const auto copyUnderWay = [&] {  // another user's copy: open, sharing nothing
    const std::wstring copy = program_.makeDirectory(std::wstring(kWorkFolderName)) + L"\\dvl1.tmp";
    auto writing = std::make_shared<win::UniqueFile>(
        ::CreateFileW(copy.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW, 0, nullptr));
    return Ending([writing, copy] {
      EXPECT_TRUE(*writing && fs::exists(testing::Path(copy))) << "removed while written";
      writing->reset();
    });
  };
  static const CopyCalls lostAnswer{RenameAndAnswerFailure, NameAsBeforeTheRename},
      refused{RefuseAsUnsupported};
  const auto playing = [&](const CopyCalls& calls) {
    return [&] {
      runtime_.playCopyCalls(calls);
      return Ending([&] { runtime_.playCopyCalls(SystemCopyCalls()); });
    };
  };
  mishaps.push_back({"another user's copy under way in the work folder", copyUnderWay});
  mishaps.push_back({"a rename done whose answer was lost, the handle still named as before",
                     playing(lostAnswer)});
  mishaps.push_back({"a rename by handle refused as unsupported (SMB1)", playing(refused)});
#else
  const auto refusingFolder = [&] {
    const std::string folder = testing::Path(program_.makeDirectory(kWorkFolderName)).string();
    EXPECT_EQ(mount("tmpfs", folder.c_str(), "tmpfs", MS_RDONLY, nullptr), 0);
    return Ending([folder] { umount2(folder.c_str(), 0); });
  };
  mishaps.push_back(
      {"a work folder there already that refuses this user", refusingFolder, false, false});
#endif
  configure(kCurrentVariant);
  for (const Mishap& mishap : mishaps) {
    SCOPED_TRACE(mishap.what);
    log_.clear();
    writeServer(L"data.pak", "new", kEvening);
    writeLocal(L"data.pak", "old", kMorning);
    const Milliseconds waitedBefore = runtime_.waited();
    const Ending end = mishap.arrange ? mishap.arrange() : nullptr;
    const auto& asked = run(kCurrentVariant, [&](const Question&) {
                          if (mishap.folderRemovedWhileAsked)
                            fs::remove_all(testing::Path(workFolder));
                          return Answer::Replace;
                        }).questions();
    if (end) end();
    EXPECT_EQ(asked.size(), mishap.updated ? 1u : 0u);
    expectWhole(L"data.pak", {mishap.updated ? "new" : "old"});
    EXPECT_EQ(runtime_.waited(), waitedBefore);
    expectCleanEndAndClientStarted();
    EXPECT_EQ(log_.back(), L"clean-up");  // each run here made or found a work folder
    fs::remove_all(testing::Path(workFolder));
  }
}

}  // namespace
}  // namespace dravelin
