// The turns of a client folder on Windows: named mutexes whose names the folder gives. A mutex is
// given up by the system when its owner ends, however it ends, so a killed run blocks nobody.
#include "turn.h"

#include <windows.h>

#include <sddl.h>

#include <cstdint>
#include <cstdio>
#include <iterator>
#include <vector>

#include "long_path.h"
#include "text949.h"
#include "win32/handles.h"
#include "win32/last_error.h"

namespace dravelin {

namespace {

// A run's whole turn is its session's (each session of a terminal server has a local namespace of
// its own): a run never waits on a question that another user has on screen.
constexpr wchar_t kRunTurnPrefix[] = L"Local\\dravelin.turn.";
// The turn for work in the folder is the machine's, where runs of every session meet. Any user may
// create a mutex there: only file mappings and symbolic links in it need SeCreateGlobalPrivilege.
constexpr wchar_t kWorkTurnPrefix[] = L"Global\\dravelin.work.";

// Everyone may wait for the mutex, and release it once owned, and nothing more. Under the default
// security only the user who made it could open it, and another user's run would fail to wait.
constexpr wchar_t kEveryoneMayWait[] = L"D:(A;;0x00100001;;;WD)";  // SYNCHRONIZE|MUTEX_MODIFY_STATE
constexpr DWORD kTurnAccess = SYNCHRONIZE | MUTEX_MODIFY_STATE;

constexpr std::uint64_t kFnvOffsetBasis = 14695981039346656037ull;
constexpr std::uint64_t kFnvPrime = 1099511628211ull;
constexpr int kHashDigits = 16;

// The folder as the file system names it, whatever path led to it (a short name, a link, another
// letter case, a mapped drive), upper-cased as file names compare. Where the system cannot tell
// (an old file system), the full path stands in.
std::wstring FolderIdentity(const std::wstring& directory) {
  const win::UniqueFile folder(CreateFileW(ExtendedLengthPath(directory).c_str(), 0,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                           nullptr));
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    DWORD length = 0;
    if (folder) {
      length = GetFinalPathNameByHandleW(folder.get(), path.data(), static_cast<DWORD>(path.size()),
                                         FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    }
    if (length == 0) {
      length = GetFullPathNameW(directory.c_str(), static_cast<DWORD>(path.size()), path.data(),
                                nullptr);
    }
    if (length == 0) win::ThrowLastError("GetFullPathNameW (turn)");
    if (length < path.size()) return UpperCase(std::wstring_view(path.data(), length));
    path.resize(length + 1);  // too small: `length` is the size asked for
  }
}

// Object names are limited to MAX_PATH characters and take no backslash, so the folder's identity
// goes into the name as a 64-bit hash (FNV-1a).
std::wstring TurnName(const wchar_t* prefix, const std::wstring& directory) {
  std::uint64_t hash = kFnvOffsetBasis;
  for (const wchar_t c : FolderIdentity(directory)) {
    hash = (hash ^ static_cast<std::uint16_t>(c)) * kFnvPrime;
  }
  wchar_t digits[kHashDigits + 1];
  std::swprintf(digits, std::size(digits), L"%016llX", static_cast<unsigned long long>(hash));
  return prefix + std::wstring(digits);
}

win::UniqueKernelHandle OpenTurnMutex(const std::wstring& name) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kEveryoneMayWait, SDDL_REVISION_1,
                                                            &descriptor, nullptr)) {
    win::ThrowLastError("ConvertStringSecurityDescriptorToSecurityDescriptorW");
  }
  const win::UniqueHandle<win::ClosedBy<PSECURITY_DESCRIPTOR, ::LocalFree>> owned(descriptor);
  SECURITY_ATTRIBUTES security{sizeof security, descriptor, FALSE};
  win::UniqueKernelHandle mutex(CreateMutexExW(&security, name.c_str(), 0, kTurnAccess));
  if (!mutex) win::ThrowLastError("CreateMutexExW (turn)");
  return mutex;
}

// A wait for the mutex that ended with the mutex this thread's: WAIT_ABANDONED too, when the run
// before ended holding it (killed, crashed); the pass clears away what that run left.
bool Owned(DWORD waited) { return waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED; }

class OwnedMutex final : public Turn {
 public:
  explicit OwnedMutex(win::UniqueKernelHandle mutex) : mutex_(std::move(mutex)) {}
  ~OwnedMutex() override { ReleaseMutex(mutex_.get()); }

 private:
  win::UniqueKernelHandle mutex_;
};

}  // namespace

std::unique_ptr<Turn> WaitForTurn(const std::wstring& directory, const TurnNotice& firstLook) {
  win::UniqueKernelHandle mutex = OpenTurnMutex(TurnName(kRunTurnPrefix, directory));
  DWORD waited = WaitForSingleObject(mutex.get(), 0);
  firstLook(waited == WAIT_TIMEOUT);
  if (waited == WAIT_TIMEOUT) waited = WaitForSingleObject(mutex.get(), INFINITE);
  if (!Owned(waited)) win::ThrowLastError("WaitForSingleObject (turn)");
  return std::make_unique<OwnedMutex>(std::move(mutex));
}

std::unique_ptr<Turn> TryWorkTurn(const std::wstring& directory) {
  win::UniqueKernelHandle mutex = OpenTurnMutex(TurnName(kWorkTurnPrefix, directory));
  const DWORD waited = WaitForSingleObject(mutex.get(), 0);
  if (waited == WAIT_TIMEOUT) return nullptr;
  if (!Owned(waited)) win::ThrowLastError("WaitForSingleObject (work turn)");
  return std::make_unique<OwnedMutex>(std::move(mutex));
}

}  // namespace dravelin
