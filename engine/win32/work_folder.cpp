// The work folder on Windows (work_folder.h).
#include "work_folder.h"

#include <windows.h>

#include <string>

#include "file_failures.h"
#include "long_path.h"
#include "temporary_file.h"
#include "win32/handles.h"

namespace dravelin {

namespace {

bool IsDirectory(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

// The folder is made by CreateDirectoryW, whose limit is shorter than the other calls'.
std::wstring WorkFolderPath(const std::wstring& directory) {
  return ExtendedLengthPath(directory + L"\\" + std::wstring(kWorkFolderName),
                            kLongestDirectoryToMake);
}

std::wstring PathIn(const std::wstring& folder, std::wstring_view name) {
  return ExtendedLengthPath(folder + L"\\" + std::wstring(name));
}

std::wstring MakeWorkFolder(const std::wstring& directory) {
  const std::wstring folder = WorkFolderPath(directory);
  if (CreateDirectoryW(folder.c_str(), nullptr)) {
    // Only to keep it out of the user's sight while it exists; a visible folder works the same.
    static_cast<void>(SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_HIDDEN));
    return folder;
  }
  return IsDirectory(folder) ? folder : directory;
}

bool IsMissingFolder(const RuntimeError& failure) { return failure.code() == ERROR_PATH_NOT_FOUND; }

bool MayMakeFilesIn(const std::wstring& directory) {
  try {
    const TemporaryFile probe(directory);  // gone again with the object
    return true;
  } catch (const RuntimeError& refused) {
    if (refused.code() == ERROR_ACCESS_DENIED || refused.code() == ERROR_WRITE_PROTECT) {
      return false;
    }
    throw;
  }
}

namespace {

// A copy that a run is writing now: that run holds it open sharing nothing, from its first byte
// until it is in place, and removes it itself should it fail; a scanner shares reading at least.
// Users of a terminal server share a client folder, and one's clean-up may meet another's copies.
bool WrittenByARun(const std::wstring& path) {
  const win::UniqueFile probe(CreateFileW(path.c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, 0, nullptr));
  return !probe && GetLastError() == ERROR_SHARING_VIOLATION;
}

// Removes `path` with `remove` (DeleteFileW or RemoveDirectoryW), waiting while another program
// holds it for a moment, but not for a run's copy under way. Gives the error that kept it,
// ERROR_SUCCESS once it is gone.
DWORD RemoveWaiting(BOOL(WINAPI* remove)(LPCWSTR), const std::wstring& path, Patience& patience) {
  DWORD error = ERROR_SUCCESS;
  try {
    patience.persist([&] {
      error = remove(path.c_str()) ? ERROR_SUCCESS : GetLastError();
      if (HeldError(error) && !WrittenByARun(path)) {
        throw FileHeld("remove (held)", static_cast<long>(error));
      }
    });
  } catch (const FileHeld&) {
    // Still held when the run's waiting was spent: it stays for the next run.
  }
  return error;
}

}  // namespace

void RemoveWorkFolder(const std::wstring& directory, Patience& patience) {
  const std::wstring folder = WorkFolderPath(directory);
  WIN32_FIND_DATAW entry{};
  const win::UniqueFindHandle find(FindFirstFileExW(PathIn(folder, L"*").c_str(), FindExInfoBasic,
                                                    &entry, FindExSearchNameMatch, nullptr, 0));
  if (!find) return;  // no work folder: nothing was left
  DWORD firstError = ERROR_SUCCESS;
  do {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !IsTemporaryName(entry.cFileName)) {
      continue;
    }
    const std::wstring path = PathIn(folder, entry.cFileName);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);  // a read-only copy refuses deletion
    const DWORD error = RemoveWaiting(DeleteFileW, path, patience);
    if (firstError == ERROR_SUCCESS) firstError = error;
  } while (FindNextFileW(find.get(), &entry));
  const DWORD error = RemoveWaiting(RemoveDirectoryW, folder, patience);
  if (firstError == ERROR_SUCCESS) firstError = error;
  // A file still in use (the program replaced in this very run, still running) stays for the next.
  if (firstError != ERROR_SUCCESS) {
    throw RuntimeError("DeleteFileW (left-over copy)", static_cast<long>(firstError));
  }
}

}  // namespace dravelin
