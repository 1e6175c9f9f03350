// The update's copy on Windows. The source is read through one handle held from start to end,
// into a temporary file in the work folder; the copy is checked to be whole and of one version,
// flushed to the disk, and only then moved into place, through its own handle. CopyFileW is not
// used: it reports success for a read that ended early (a share that went away, a file being
// rewritten) and it reopens the source by name, so nothing it did could be checked against the
// version that was listed.
#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <vector>

#include "copy_calls.h"
#include "file_copy.h"
#include "long_path.h"
#include "path_parts.h"
#include "program_path.h"
#include "win32/handles.h"
#include "win32/last_error.h"
#include "win32/paths.h"
#include "windows_ticks.h"
#include "work_folder.h"

namespace dravelin {

namespace {

// Temporary files are named "dvl", eight hex digits, ".tmp"; a name that is taken is passed over.
constexpr int kTemporaryNameAttempts = 64;
constexpr int kTemporaryNameDigits = 8;
// Spreads process ids over the 32 bits (Knuth's multiplicative hashing constant).
constexpr DWORD kProcessIdSpread = 0x9E3779B1u;

std::wstring TemporaryName() {
  // Different per process and per call: two copies running at once do not keep colliding.
  static std::atomic<DWORD> next = GetCurrentProcessId() * kProcessIdSpread ^ GetTickCount();
  wchar_t digits[kTemporaryNameDigits + 1];
  std::swprintf(digits, std::size(digits), L"%08lX", static_cast<unsigned long>(next++));
  return std::wstring(kTemporaryPrefix) + digits + std::wstring(kTemporarySuffix);
}

bool IsDirectory(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Another program's handle on the file stands in the way: it may be gone in a moment.
bool HeldError(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// Why replacing `destination` failed: Windows says "access denied" both when another program holds
// the file (a file open elsewhere cannot be replaced, even where deleting is shared) and when this
// user may not replace it. Opening it for deletion, sharing everything, tells the two apart: a
// sharing violation means held. So does a probe that opens it, the file not read-only: the user
// may delete it, and the holder has let go since (a scanner holds each file for a moment only).
bool HeldByAnother(DWORD error, const std::wstring& destination) {
  if (HeldError(error)) return true;
  if (error != ERROR_ACCESS_DENIED) return false;
  const win::UniqueFile probe(CreateFileW(destination.c_str(), DELETE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, 0, nullptr));
  if (!probe) return HeldError(GetLastError());
  FILE_BASIC_INFO basic{};
  return GetFileInformationByHandleEx(probe.get(), FileBasicInfo, &basic, sizeof basic) &&
         !(basic.FileAttributes & FILE_ATTRIBUTE_READONLY);
}

// The last error of `call` as FileHeld when another program's hold on `path` caused it.
[[noreturn]] void ThrowFailure(const char* call, const std::wstring& path) {
  const DWORD error = GetLastError();
  if (HeldByAnother(error, path)) throw FileHeld(call, static_cast<long>(error));
  throw RuntimeError(call, static_cast<long>(error));
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

namespace {

// What the copy reads off the open source at its start and again at its end.
struct SourceState {
  std::uint64_t bytes;
  std::int64_t lastWriteTicks;  // to the tick: a rewrite within the same second still shows
  DWORD attributes;

  bool sameVersion(const SourceState& other) const {
    return bytes == other.bytes && lastWriteTicks == other.lastWriteTicks;
  }
  FileVersion version() const { return {FromWindowsTicks(lastWriteTicks), bytes}; }
};

SourceState StateOf(HANDLE file) {
  FILE_BASIC_INFO basic{};
  FILE_STANDARD_INFO standard{};
  if (!GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic) ||
      !GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof standard)) {
    win::ThrowLastError("GetFileInformationByHandleEx (source)");
  }
  return {static_cast<std::uint64_t>(standard.EndOfFile.QuadPart), basic.LastWriteTime.QuadPart,
          basic.FileAttributes};
}

// The attributes a copy carries over; hidden and system files are never listed. Not READONLY, as
// the system's own copy would: a read-only copy could never be updated again.
constexpr DWORD kCarriedAttributes = FILE_ATTRIBUTE_ARCHIVE;

// A file under a fresh temporary name in `directory`, open for writing, removed again unless it
// was moved into place. Made here rather than with GetTempFileNameW, which takes directories of
// fewer than MAX_PATH characters only (and Wine's version writes past its MAX_PATH buffer instead).
// It stays open, shared with nobody, until it is in place: no other program (an antivirus reading
// what was just written) can get hold of it in between and keep it from its new name.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::wstring& directory) {
    DWORD error = ERROR_FILE_EXISTS;
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
      std::wstring candidate = PathIn(directory, TemporaryName());
      // CREATE_NEW fails on a name that exists, so the file is ours alone. DELETE: to rename it.
      file_.reset(CreateFileW(candidate.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
      if (file_) {
        path_ = std::move(candidate);
        return;
      }
      error = GetLastError();
      if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
    }
    throw RuntimeError("CreateFileW (temporary file)", static_cast<long>(error));
  }
  ~TemporaryFile() { discard(); }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  HANDLE handle() const { return file_.get(); }

  // Gives the copy the version's time and attributes and puts it on the disk, data and all,
  // before anything can show it under the destination's name: a power cut after the rename must
  // not leave the destination with the source's time and missing data, which no later run repairs.
  void seal(const SourceState& source) {
    FILE_BASIC_INFO basic{};
    basic.LastWriteTime.QuadPart = source.lastWriteTicks;
    basic.FileAttributes = source.attributes & kCarriedAttributes;  // 0: the new file's own stay
    if (!SetFileInformationByHandle(file_.get(), FileBasicInfo, &basic, sizeof basic)) {
      win::ThrowLastError("SetFileInformationByHandle (temporary file)");
    }
    if (!FlushFileBuffers(file_.get())) win::ThrowLastError("FlushFileBuffers");
  }

  // Gives the sealed copy the name `destination` (a full path), replacing the file there, and
  // closes it. Throws FileHeld when another program holds the destination for now.
  void placeAt(const std::wstring& destination, const CopyCalls& calls) {
    if (file_) {
      if (renameOpen(destination, calls)) return closeInPlace();
      const DWORD error = GetLastError();
      // Over a network a rename can be done and its answer lost (the connection dropped and came
      // back): the copy then already carries the destination's name.
      if (naming() == Naming::Renamed) return closeInPlace();
      // SMB1 servers (Samba's among them) refuse a rename by handle into another folder. Closed,
      // the copy is renamed by its path instead, at the price of a moment in which another program
      // may open it (the rename then waits for it like for any held file).
      if (error != ERROR_NOT_SUPPORTED && error != ERROR_INVALID_FUNCTION) {
        SetLastError(error);
        ThrowFailure("SetFileInformationByHandle (rename)", destination);
      }
      if (!CloseHandle(file_.release())) win::ThrowLastError("CloseHandle (copy to rename)");
    }
    if (!MoveFileExW(path_.c_str(), destination.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      ThrowFailure("MoveFileExW (copy)", destination);
    }
    path_.clear();  // in place, no longer this object's to remove
  }

 private:
  enum class Naming { Temporary, Renamed, Unknown };

  bool renameOpen(const std::wstring& destination, const CopyCalls& calls) {
    const DWORD nameBytes = static_cast<DWORD>(destination.size() * sizeof(wchar_t));
    std::vector<std::byte> buffer(offsetof(FILE_RENAME_INFO, FileName) + nameBytes +
                                  sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->FileNameLength = nameBytes;
    std::memcpy(rename->FileName, destination.c_str(), nameBytes + sizeof(wchar_t));
    return calls.renameOpenFile(file_.get(), FileRenameInfo, rename,
                                static_cast<DWORD>(buffer.size())) != 0;
  }

  void closeInPlace() {
    path_.clear();  // in place, no longer this object's to remove
    if (!CloseHandle(file_.release())) win::ThrowLastError("CloseHandle (copy in place)");
  }

  // The name that the open copy carries now, as its file system tells it.
  Naming naming() const {
    std::vector<std::byte> buffer(sizeof(FILE_NAME_INFO) + kLongestName * sizeof(wchar_t));
    auto* info = reinterpret_cast<FILE_NAME_INFO*>(buffer.data());
    if (!GetFileInformationByHandleEx(file_.get(), FileNameInfo, info,
                                      static_cast<DWORD>(buffer.size()))) {
      return Naming::Unknown;
    }
    const std::wstring_view name(info->FileName, info->FileNameLength / sizeof(wchar_t));
    const std::wstring temporary = L"\\" + FileNameOf(path_);
    return name.ends_with(temporary) ? Naming::Temporary : Naming::Renamed;
  }

  // Removes the copy that was not put in place: marked while it is still open, so that it goes
  // with the handle and nobody else can open it meanwhile. But only while it still carries its
  // temporary name: after a rename whose answer was lost it is the client's file. Closed for a
  // rename by path, it is removed by its path, where it still is.
  void discard() noexcept {
    if (path_.empty()) return;
    if (!file_) {
      DeleteFileW(path_.c_str());
      return;
    }
    if (naming() == Naming::Temporary) {
      FILE_DISPOSITION_INFO disposition{TRUE};
      SetFileInformationByHandle(file_.get(), FileDispositionInfo, &disposition,
                                 sizeof disposition);
    }
    file_.reset();
  }

  // The longest path that a file system gives for a file, in characters.
  static constexpr std::size_t kLongestName = 32767;

  win::UniqueFile file_;
  std::wstring path_;  // where the copy is, until it is in place
};

void WriteAll(HANDLE file, const char* data, DWORD bytes) {
  while (bytes > 0) {
    DWORD written = 0;
    if (!WriteFile(file, data, bytes, &written, nullptr)) win::ThrowLastError("WriteFile");
    if (written == 0) throw RuntimeError("WriteFile (nothing written)", ERROR_WRITE_FAULT);
    data += written;
    bytes -= written;
  }
}

// Reads the source to its end. The copy is whole only when exactly `expected` bytes came: a read
// from a share that went away, or from a file being rewritten, ends early without an error.
void CopyData(HANDLE from, HANDLE to, std::vector<char>& buffer, std::uint64_t expected) {
  std::uint64_t copied = 0;
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(from, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
      win::ThrowLastError("ReadFile (source)");
    }
    if (got == 0) break;
    copied += got;
    if (copied > expected) throw SourceChanged("the source grew while it was copied");
    WriteAll(to, buffer.data(), got);
  }
  if (copied != expected) throw SourceChanged("the source ended before its end");
}

void Move(const std::wstring& from, const std::wstring& to) {
  if (!MoveFileExW(from.c_str(), to.c_str(), 0)) ThrowFailure("MoveFileExW", from);
}

// Windows keeps a running program's file open and refuses to overwrite or delete it, but lets
// it be renamed on its volume. So the running file goes aside into the work folder (removed by
// the next run, once nothing runs from it), and the new copy takes its name (ReplaceProgram).
void ReplaceRunningProgram(TemporaryFile& copy, const std::wstring& program,
                           const std::wstring& workFolder, Patience& patience,
                           const CopyCalls& calls) {
  const std::wstring aside = PathIn(workFolder, TemporaryName());
  ReplaceProgram({
      [&] { patience.persist([&] { Move(program, aside); }); },
      [&] { patience.persist([&] { copy.placeAt(program, calls); }); },
      [&] { patience.persist([&] { Move(aside, program); }); },
      [&] {
        // A copy of the old program: FAIL_IF_EXISTS, for a file that took the name meanwhile
        // is a program file too.
        if (!CopyFileW(aside.c_str(), program.c_str(), TRUE)) ThrowFailure("CopyFileW", program);
      },
  });
}

}  // namespace

const CopyCalls& SystemCopyCalls() {
  static const CopyCalls calls;
  return calls;
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

void FileCopier::copyOver(const std::wstring& source, const std::wstring& destination,
                          const FileVersion& listed) {
  const std::wstring to = ExtendedLengthPath(destination);
  const DWORD attributes = GetFileAttributesW(to.c_str());
  const bool readOnly =
      attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
  const std::wstring directory = DirectoryOf(destination);
  const bool ownProgram = win::SamePath(destination, RunningProgramPath());
  // The running program is never moved aside where no later run would find it to remove.
  if (ownProgram && temporaryDirectory(directory) == directory) {
    throw RuntimeError("CreateDirectoryW (work folder)", ERROR_ALREADY_EXISTS);
  }

  // Others may go on reading, writing and renaming the source: an administrator publishing a new
  // version is never kept waiting, and whatever he changes shows in the checks below. A server
  // that reports the file in use now may not in a moment.
  const std::wstring sourcePath = ExtendedLengthPath(source);
  const win::UniqueFile from(patience_.persist([&] {
    HANDLE file = CreateFileW(sourcePath.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    const DWORD error = GetLastError();
    if (file == INVALID_HANDLE_VALUE && HeldError(error)) {
      throw FileHeld("CreateFileW (source)", static_cast<long>(error));
    }
    return file;
  }));
  if (!from) win::ThrowLastError("CreateFileW (source)");
  const SourceState start = StateOf(from.get());
  if (start.version() != listed) throw SourceChanged("the source is not the listed version");
  // A read-only destination that the user made so stays as it is (Windows refuses to replace it;
  // Wine would, so this asks first). Read-only on the server too, it is the mark of an earlier
  // update, whose copies carried the server's attribute, and it is replaced.
  if (readOnly && !(start.attributes & FILE_ATTRIBUTE_READONLY)) {
    throw RuntimeError("CopyFileW (read-only destination)", ERROR_ACCESS_DENIED);
  }

  std::wstring workFolder;
  TemporaryFile temporary = inTemporaryDirectory(directory, [&](const std::wstring& folder) {
    workFolder = folder;
    return TemporaryFile(folder);
  });
  CopyData(from.get(), temporary.handle(), buffer(), start.bytes);
  if (!StateOf(from.get()).sameVersion(start)) {
    throw SourceChanged("the source changed while it was copied");
  }
  temporary.seal(start);
  if (readOnly && !SetFileAttributesW(to.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY)) {
    ThrowFailure("SetFileAttributesW (read-only destination)", to);
  }
  try {
    if (ownProgram) return ReplaceRunningProgram(temporary, to, workFolder, patience_, calls_);
    patience_.persist([&] { temporary.placeAt(to, calls_); });
  } catch (const RuntimeError&) {
    if (readOnly) SetFileAttributesW(to.c_str(), attributes);  // as it was, where it still is
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
