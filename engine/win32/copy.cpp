// The update's copy on Windows. The source is read through one handle held from start to end,
// into a temporary file in the work folder; the copy is checked to be whole and of one version,
// flushed to the disk, and only then moved into place, through its own handle. CopyFileW is not
// used: it reports success for a read that ended early (a share that went away, a file being
// rewritten) and it reopens the source by name, so nothing it did could be checked against the
// version that was listed.
#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <shared_mutex>
#include <span>
#include <vector>

#include "copy_calls.h"
#include "file_copy.h"
#include "file_failures.h"
#include "long_path.h"
#include "path_parts.h"
#include "program_path.h"
#include "program_replacement.h"
#include "temporary_file.h"
#include "win32/handles.h"
#include "win32/last_error.h"
#include "windows_ticks.h"
#include "work_folder.h"

namespace dravelin {

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

void WriteAll(HANDLE file, const char* data, DWORD bytes) {
  while (bytes > 0) {
    DWORD written = 0;
    if (!WriteFile(file, data, bytes, &written, nullptr)) win::ThrowLastError("WriteFile");
    if (written == 0) throw RuntimeError("WriteFile (nothing written)", ERROR_WRITE_FAULT);
    data += written;
    bytes -= written;
  }
}

// Reads the source to its end, its first bytes into `head` as well. The copy is whole only when
// exactly `expected` bytes came: a read from a share that went away, or from a file being
// rewritten, ends early without an error.
void CopyData(HANDLE from, HANDLE to, std::vector<char>& buffer, std::uint64_t expected,
              std::span<char> head) {
  std::uint64_t copied = 0;
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(from, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
      win::ThrowLastError("ReadFile (source)");
    }
    if (got == 0) break;
    if (copied < head.size()) {
      std::memcpy(head.data() + copied, buffer.data(),
                  std::min<std::size_t>(got, head.size() - copied));
    }
    copied += got;
    if (copied > expected) throw SourceChanged("the source grew while it was copied");
    WriteAll(to, buffer.data(), got);
  }
  if (copied != expected) throw SourceChanged("the source ended before its end");
}

// Whether `destination`, whose name may be a short 8.3 name, reaches a file of another long name.
bool ReachesAnotherFile(const std::wstring& destination) {
  WIN32_FIND_DATAW found{};
  const win::UniqueFindHandle find(FindFirstFileExW(destination.c_str(), FindExInfoBasic, &found,
                                                    FindExSearchNameMatch, nullptr, 0));
  if (!find) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return false;
    throw RuntimeError("FindFirstFileExW (short name)", static_cast<long>(error));
  }
  return CompareStringOrdinal(found.cFileName, -1, FileNameOf(destination).c_str(), -1, TRUE) !=
         CSTR_EQUAL;
}

// Puts `copy` in place at `destination`, holding `placing` (FileCopier::placing_). A new
// long-named file gets its short 8.3 name when it is put in place, and Windows reaches a file by
// its short name too: a name with a tilde that was found missing may reach a file that another
// copy of this run has put in place since. It is checked again right before its rename, while no
// other copy of this run can be put in place.
void Place(TemporaryFile& copy, const std::wstring& destination, std::shared_mutex& placing,
           const CopyCalls& calls) {
  if (FileNameOf(destination).find(L'~') == std::wstring::npos) {
    const std::shared_lock others(placing);
    return copy.placeAt(destination, calls);
  }
  const std::unique_lock alone(placing);
  if (ReachesAnotherFile(destination)) {
    throw RuntimeError("a short name of another file", ERROR_ALREADY_EXISTS);
  }
  copy.placeAt(destination, calls);
}

}  // namespace

const CopyCalls& SystemCopyCalls() {
  static const CopyCalls calls;
  return calls;
}

void FileCopier::copyOver(const std::wstring& source, const std::wstring& destination,
                          const FileVersion& listed, ListedDestination found) {
  const std::wstring to = ExtendedLengthPath(destination);
  const DWORD attributes = found == ListedDestination::Missing ? INVALID_FILE_ATTRIBUTES
                                                               : GetFileAttributesW(to.c_str());
  const bool readOnly =
      attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
  const std::wstring directory = DirectoryOf(destination);
  const bool ownProgram = attributes != INVALID_FILE_ATTRIBUTES && IsRunningProgram(to);
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
  // The start of the copy is kept only where the program's own file is replaced.
  std::array<char, kProgramHeadBytes> head{};
  CopyData(from.get(), temporary.handle(), buffer(), start.bytes,
           ownProgram ? std::span(head) : std::span<char>());
  if (!StateOf(from.get()).sameVersion(start)) {
    throw SourceChanged("the source changed while it was copied");
  }
  if (ownProgram && !IsProgramLikeThis(std::span(head).first(static_cast<std::size_t>(
                        std::min<std::uint64_t>(start.bytes, head.size()))))) {
    throw RuntimeError("a program for this machine (the program's own file)", ERROR_BAD_EXE_FORMAT);
  }
  temporary.seal(start.lastWriteTicks, start.attributes);
  if (readOnly && !SetFileAttributesW(to.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY)) {
    ThrowFailure("SetFileAttributesW (read-only destination)", to);
  }
  try {
    if (ownProgram) return ReplaceProgramFile(temporary, to, workFolder, patience_, calls_);
    patience_.persist([&] { Place(temporary, to, placing_, calls_); });
  } catch (const RuntimeError&) {
    if (readOnly) SetFileAttributesW(to.c_str(), attributes);  // as it was, where it still is
    throw;
  }
}

}  // namespace dravelin
