// What other runs and servers do under a run's feet: a work folder that refuses this user, another
// user's copy under way in it, the folder removed by another run's clean-up, a server that loses
// the answer to a rename or refuses it. None of them loses an update, costs the run waiting, or
// changes the order of its end.
#include <gtest/gtest.h>

#include <functional>

#include "pass_fixture.h"
#include "work_folder.h"

#ifdef _WIN32
#include <windows.h>

#include "win32/copy_calls.h"
#include "win32/handles.h"
#else
#include <sys/mount.h>
#endif

namespace dravelin {
namespace {

using testing::Answer;
using testing::AnswerAlways;
using testing::kEvening;
using testing::kMorning;
using testing::ReadAll;

#ifdef _WIN32
// The rename is done, but its answer says it failed: a reply lost in a reconnect.
BOOL WINAPI RenameAndAnswerFailure(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID info,
                                   DWORD bytes) {
  if (!::SetFileInformationByHandle(file, kind, info, bytes)) return FALSE;
  ::SetLastError(ERROR_NETNAME_DELETED);
  return FALSE;
}

// An SMB1 server: no rename by handle into another folder.
BOOL WINAPI RefuseAsUnsupported(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD) {
  ::SetLastError(ERROR_NOT_SUPPORTED);
  return FALSE;
}
#endif

class Mishaps : public testing::PassTest {
 protected:
  std::wstring workFolder() const { return localPath(std::wstring(kWorkFolderName)); }
};

// What a row arranges before the run gives what ends it after the run.
using Ending = std::function<void()>;

TEST_F(Mishaps, NoneLosesAnUpdateOrHoldsTheClientBack) {
  struct Mishap {
    const char* what;
    std::function<Ending()> arrange;
    std::function<void()> whileAsked;
    bool updated;  // else nothing is asked and the file stays old
  };
  const auto nothing = [] { return Ending([] {}); };
  std::vector<Mishap> mishaps{
      {"another run's clean-up removes the work folder while the question is up", nothing,
       [&] { testing::fs::remove_all(testing::Path(workFolder())); }, true}};
#ifdef _WIN32
  const auto copyUnderWay = [&] {
    program_.makeDirectory(std::wstring(kWorkFolderName));
    const std::wstring copy = workFolder() + L"\\dvl0000ABCD.tmp";
    // As a run writes its copy: open, sharing nothing.
    auto writing = std::make_shared<win::UniqueFile>(
        ::CreateFileW(copy.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                      FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_TRUE(*writing);
    return Ending([writing, copy] {
      EXPECT_TRUE(testing::fs::exists(testing::Path(copy))) << "removed while it was written";
      writing->reset();
    });
  };
  static const CopyCalls lostAnswer{RenameAndAnswerFailure};
  static const CopyCalls refused{RefuseAsUnsupported};
  const auto playing = [&](const CopyCalls& calls) {
    return [&] {
      runtime_.playCopyCalls(calls);
      return Ending([&] { runtime_.playCopyCalls(SystemCopyCalls()); });
    };
  };
  mishaps.push_back(
      {"another user's copy under way in the work folder", copyUnderWay, nullptr, true});
  mishaps.push_back({"a rename done whose answer was lost", playing(lostAnswer), nullptr, true});
  mishaps.push_back({"a rename by handle refused as unsupported", playing(refused), nullptr, true});
#else
  const auto refusingFolder = [&] {
    const std::string folder = testing::Path(workFolder()).string();
    program_.makeDirectory(std::wstring(kWorkFolderName));
    EXPECT_EQ(mount("tmpfs", folder.c_str(), "tmpfs", MS_RDONLY, nullptr), 0);
    return Ending([folder] { umount2(folder.c_str(), 0); });
  };
  mishaps.push_back({"a work folder there already that refuses this user's files", refusingFolder,
                     nullptr, false});
#endif
  configure(kCurrentVariant);
  for (const Mishap& mishap : mishaps) {
    SCOPED_TRACE(mishap.what);
    log_.clear();
    writeServer(L"data.pak", "new", kEvening);
    writeLocal(L"data.pak", "old", kMorning);
    const Milliseconds waitedBefore = runtime_.waited();
    const Ending end = mishap.arrange();
    const auto& questions = run(kCurrentVariant, [&](const testing::ShownQuestion&) {
                              if (mishap.whileAsked) mishap.whileAsked();
                              return Answer::Replace;
                            }).questions();
    end();
    EXPECT_EQ(questions.size(), mishap.updated ? 1u : 0u);
    EXPECT_EQ(ReadAll(localPath(L"data.pak")), mishap.updated ? "new" : "old");
    EXPECT_EQ(runtime_.waited(), waitedBefore);
    expectTheEnd(clientPath());
    EXPECT_EQ(log_.back(), L"clean-up");  // every run here made or found a work folder
    testing::fs::remove_all(testing::Path(workFolder()));
  }
}

}  // namespace
}  // namespace dravelin
