// Holds files as resident antivirus, indexers and backup clients do: opens them for reading,
// sharing reading only, for a while. Meanwhile the system refuses to replace, rename or remove
// them.
//   file-holder all FOLDER MILLISECONDS READY-EVENT [SPARED]
//       holds every file of FOLDER at once for that long (but the one named SPARED), then ends;
//   file-holder watch FOLDER MILLISECONDS READY-EVENT
//       watches FOLDER and its subfolders until ended, and holds each file that is made or
//       changed for that long, from the moment its writer lets go of it.
// READY-EVENT names an event that the caller made; it is set once the files are held, or once
// the watch has begun.
#include <windows.h>

#include <cstddef>
#include <cwchar>
#include <string>
#include <vector>

#include "win32/handles.h"

namespace {

using dravelin::win::UniqueFile;
using dravelin::win::UniqueKernelHandle;

constexpr DWORD kWatchedChanges =
    FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE;
constexpr DWORD kNotificationBytes = 64 * 1024;
constexpr int kOpenAttempts = 200;  // a writer lets go within this many milliseconds

UniqueFile Hold(const std::wstring& path) {
  return UniqueFile(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
}

void SayReady(const wchar_t* eventName) {
  const UniqueKernelHandle ready(::OpenEventW(EVENT_MODIFY_STATE, FALSE, eventName));
  if (ready) ::SetEvent(ready.get());
}

int HoldAll(const std::wstring& folder, DWORD milliseconds, const wchar_t* ready,
            const std::wstring& spared) {
  std::vector<UniqueFile> held;
  WIN32_FIND_DATAW entry{};
  HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return 1;
  do {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || entry.cFileName == spared) continue;
    if (UniqueFile file = Hold(folder + L"\\" + entry.cFileName)) held.push_back(std::move(file));
  } while (::FindNextFileW(find, &entry));
  ::FindClose(find);
  SayReady(ready);
  ::Sleep(milliseconds);
  return 0;
}

// A file just made or changed, held until its time is up.
struct HeldFile {
  UniqueFile file;
  ULONGLONG until;
};

// Holds the file at `path` as soon as its writer lets go of it.
void HoldWhenFree(const std::wstring& path, DWORD milliseconds, std::vector<HeldFile>& held) {
  for (int attempt = 0; attempt < kOpenAttempts; ++attempt, ::Sleep(1)) {
    if (UniqueFile file = Hold(path)) {
      held.push_back({std::move(file), ::GetTickCount64() + milliseconds});
      return;
    }
    if (::GetLastError() != ERROR_SHARING_VIOLATION) return;  // gone again
  }
}

int Watch(const std::wstring& folder, DWORD milliseconds, const wchar_t* ready) {
  const UniqueFile directory(::CreateFileW(
      folder.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr));
  const UniqueKernelHandle changed(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!directory || !changed) return 1;
  std::vector<DWORD> buffer(kNotificationBytes / sizeof(DWORD));
  std::vector<HeldFile> held;
  for (bool first = true;; first = false) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = changed.get();
    if (!::ReadDirectoryChangesW(directory.get(), buffer.data(), kNotificationBytes, TRUE,
                                 kWatchedChanges, nullptr, &overlapped, nullptr)) {
      return 1;
    }
    if (first) SayReady(ready);
    DWORD bytes = 0;
    // Lets go of each file when its time is up, while waiting for the next change.
    while (!::GetOverlappedResult(directory.get(), &overlapped, &bytes, FALSE)) {
      if (::GetLastError() != ERROR_IO_INCOMPLETE) return 1;
      const ULONGLONG now = ::GetTickCount64();
      std::erase_if(held, [now](const HeldFile& hold) { return hold.until <= now; });
      ::WaitForSingleObject(changed.get(), held.empty() ? INFINITE : 1);
    }
    for (auto* at = reinterpret_cast<const std::byte*>(buffer.data()); bytes > 0;) {
      const auto* change = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(at);
      if (change->Action != FILE_ACTION_REMOVED && change->Action != FILE_ACTION_RENAMED_OLD_NAME) {
        const std::wstring name(change->FileName, change->FileNameLength / sizeof(WCHAR));
        HoldWhenFree(folder + L"\\" + name, milliseconds, held);
      }
      if (change->NextEntryOffset == 0) break;
      at += change->NextEntryOffset;
    }
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 5 && argc != 6) return 2;
  const std::wstring mode = argv[1];
  const auto milliseconds = static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10));
  if (mode == L"all") return HoldAll(argv[2], milliseconds, argv[4], argc == 6 ? argv[5] : L"");
  if (mode == L"watch") return Watch(argv[2], milliseconds, argv[4]);
  return 2;
}
