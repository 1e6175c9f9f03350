// The update's copy on Windows: through a temporary file in the work folder, moved into place
// when whole; the running program's own file moved aside first.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "file_copy.h"
#include "handles.h"
#include "long_path.h"
#include "path_parts.h"
#include "program_path.h"
#include "runtime_error.h"
#include "work_folder.h"

namespace dravelin {

namespace {

// Temporary files are named "dvl", eight hex digits, ".tmp"; a name that is taken is passed over.
constexpr int kTemporaryNameAttempts = 64;
constexpr std::size_t kTemporaryNameLength = sizeof "dvl00000000.tmp";
// Spreads process ids over the 32 bits (Knuth's multiplicative hashing constant).
constexpr DWORD kProcessIdSpread = 0x9E3779B1u;

std::wstring TemporaryName() {
  // Different per process and per call: two copies running at once do not keep colliding.
  static DWORD next = GetCurrentProcessId() * kProcessIdSpread ^ GetTickCount();
  wchar_t name[kTemporaryNameLength];
  std::swprintf(name, kTemporaryNameLength, L"dvl%08lX.tmp", static_cast<unsigned long>(next++));
  return name;
}

bool IsDirectory(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring WorkFolderOf(const std::wstring& directory) {
  return ExtendedLengthPath(directory + L"\\" + std::wstring(kWorkFolderName));
}

// The work folder of `directory`, made when missing; "" when it cannot be had (a file of that
// name is in the way), so that the copy is made beside its destination as the one way left.
std::wstring MakeWorkFolder(const std::wstring& directory) {
  const std::wstring folder = WorkFolderOf(directory);
  if (CreateDirectoryW(folder.c_str(), nullptr)) {
    // Only to keep it out of the user's sight while it exists; a visible folder works the same.
    static_cast<void>(SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_HIDDEN));
    return folder;
  }
  return IsDirectory(folder) ? folder : std::wstring();
}

// A file under a fresh temporary name in `directory`, removed again unless it was moved into
// place. Made here rather than with GetTempFileNameW, which takes directories of fewer than
// MAX_PATH characters only (and Wine's version writes past its MAX_PATH buffer instead).
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::wstring& directory) {
    DWORD error = ERROR_FILE_EXISTS;
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
      std::wstring candidate = ExtendedLengthPath(directory + L"\\" + TemporaryName());
      // CREATE_NEW fails on a name that exists, so the file is ours alone.
      const win::UniqueFile created(CreateFileW(candidate.c_str(), GENERIC_WRITE, 0, nullptr,
                                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
      if (created) {
        path_ = std::move(candidate);
        return;
      }
      error = GetLastError();
      if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
    }
    throw RuntimeError("CreateFileW (temporary file)", error);
  }
  ~TemporaryFile() {
    if (path_.empty()) return;
    // The copy carries the source's attributes; a read-only temporary file would refuse deletion.
    SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  const std::wstring& path() const { return path_; }
  // The file is in place under `destination` and no longer this object's to remove.
  void placed() { path_.clear(); }

 private:
  std::wstring path_;
};

void Move(const std::wstring& from, const std::wstring& to, DWORD flags) {
  if (!MoveFileExW(from.c_str(), to.c_str(), flags)) {
    throw RuntimeError("MoveFileExW", GetLastError());
  }
}

// Windows keeps a running program's file open and refuses to overwrite or delete it, but lets
// it be renamed on its volume. So the running file goes aside into the work folder (removed by
// the next run, once nothing runs from it), and the new copy takes its name. Should the second
// step fail, the running program goes back to its place, whole and working.
void ReplaceRunningProgram(TemporaryFile& copy, const std::wstring& program,
                           const std::wstring& workFolder) {
  const std::wstring aside = ExtendedLengthPath(workFolder + L"\\" + TemporaryName());
  Move(program, aside, 0);
  if (!MoveFileExW(copy.path().c_str(), program.c_str(), 0)) {
    const DWORD error = GetLastError();
    Move(aside, program, 0);
    throw RuntimeError("MoveFileExW (new program file)", error);
  }
  copy.placed();
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

std::wstring RunningProgramPath() {
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) throw RuntimeError("GetModuleFileNameW", GetLastError());
    if (length < path.size()) return std::wstring(path.data(), length);
    path.resize(path.size() * 2);  // truncated: try again with room to spare
  }
}

void CopyOver(const std::wstring& source, const std::wstring& destination) {
  const std::wstring from = ExtendedLengthPath(source);
  const std::wstring to = ExtendedLengthPath(destination);
  // A read-only destination stays as it is, as the system's own copy leaves it. Windows'
  // MoveFileEx refuses to replace it as well, but Wine's replaces it, so ask first.
  const DWORD attributes = GetFileAttributesW(to.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    throw RuntimeError("CopyFileW (read-only destination)", ERROR_ACCESS_DENIED);
  }
  const std::wstring workFolder = MakeWorkFolder(DirectoryOf(destination));
  const bool ownProgram = SamePath(destination, RunningProgramPath());
  // The running program is never moved aside where no later run would find it to remove.
  if (ownProgram && workFolder.empty()) {
    throw RuntimeError("CreateDirectoryW (work folder)", ERROR_ALREADY_EXISTS);
  }
  TemporaryFile temporary(workFolder.empty() ? DirectoryOf(destination) : workFolder);
  // CopyFileW brings the data, the attributes and the last-write time along.
  if (!CopyFileW(from.c_str(), temporary.path().c_str(), FALSE)) {
    throw RuntimeError("CopyFileW", GetLastError());
  }
  if (ownProgram) return ReplaceRunningProgram(temporary, to, workFolder);
  Move(temporary.path(), to, MOVEFILE_REPLACE_EXISTING);
  temporary.placed();
}

void RemoveLeftovers(const std::wstring& directory) {
  const std::wstring folder = WorkFolderOf(directory);
  WIN32_FIND_DATAW entry{};
  const win::UniqueFindHandle find(FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic,
                                                    &entry, FindExSearchNameMatch, nullptr, 0));
  if (!find) return;  // no work folder: nothing was left
  DWORD firstError = ERROR_SUCCESS;
  do {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !IsTemporaryName(entry.cFileName)) {
      continue;
    }
    const std::wstring path = folder + L"\\" + entry.cFileName;
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);  // a read-only copy refuses deletion
    if (!DeleteFileW(path.c_str()) && firstError == ERROR_SUCCESS) firstError = GetLastError();
  } while (FindNextFileW(find.get(), &entry));
  if (!RemoveDirectoryW(folder.c_str()) && firstError == ERROR_SUCCESS) firstError = GetLastError();
  // A file still in use (the program replaced in this very run, still running) stays for the next.
  if (firstError != ERROR_SUCCESS) throw RuntimeError("DeleteFileW (left-over copy)", firstError);
}

}  // namespace dravelin
