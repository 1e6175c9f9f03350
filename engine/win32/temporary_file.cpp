#include "temporary_file.h"

#include <atomic>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <vector>

#include "file_failures.h"
#include "path_parts.h"
#include "runtime_error.h"
#include "win32/last_error.h"
#include "work_folder.h"

namespace dravelin {

namespace {

// Temporary files are named "dvl", eight hex digits, ".tmp"; a name that is taken is passed over.
constexpr int kTemporaryNameAttempts = 64;
constexpr int kTemporaryNameDigits = 8;
// Spreads process ids over the 32 bits (Knuth's multiplicative hashing constant).
constexpr DWORD kProcessIdSpread = 0x9E3779B1u;

// The attributes a copy carries over; hidden and system files are never listed. Not READONLY, as
// the system's own copy would: a read-only copy could never be updated again.
constexpr DWORD kCarriedAttributes = FILE_ATTRIBUTE_ARCHIVE;

// The longest path that a file system gives for a file, in characters.
constexpr std::size_t kLongestPath = 32767;

}  // namespace

std::wstring TemporaryName() {
  // Different per process and per call: two copies running at once do not keep colliding.
  static std::atomic<DWORD> next = GetCurrentProcessId() * kProcessIdSpread ^ GetTickCount();
  wchar_t digits[kTemporaryNameDigits + 1];
  std::swprintf(digits, std::size(digits), L"%08lX", static_cast<unsigned long>(next++));
  return std::wstring(kTemporaryPrefix) + digits + std::wstring(kTemporarySuffix);
}

TemporaryFile::TemporaryFile(const std::wstring& directory) {
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

void TemporaryFile::seal(std::int64_t lastWriteTicks, DWORD attributes) {
  if (lastWriteTicks <= 0) throw RuntimeError("seal (no time to carry)", ERROR_INVALID_TIME);
  FILE_BASIC_INFO basic{};
  basic.LastWriteTime.QuadPart = lastWriteTicks;
  basic.FileAttributes = attributes & kCarriedAttributes;  // 0: the new file's own stay
  if (!SetFileInformationByHandle(file_.get(), FileBasicInfo, &basic, sizeof basic)) {
    win::ThrowLastError("SetFileInformationByHandle (temporary file)");
  }
  if (!FlushFileBuffers(file_.get())) win::ThrowLastError("FlushFileBuffers");
}

void TemporaryFile::placeAt(const std::wstring& destination, const CopyCalls& calls) {
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

bool TemporaryFile::renameOpen(const std::wstring& destination, const CopyCalls& calls) {
  const DWORD nameBytes = static_cast<DWORD>(destination.size() * sizeof(wchar_t));
  std::vector<std::byte> buffer(offsetof(FILE_RENAME_INFO, FileName) + nameBytes + sizeof(wchar_t));
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = TRUE;
  rename->FileNameLength = nameBytes;
  std::memcpy(rename->FileName, destination.c_str(), nameBytes + sizeof(wchar_t));
  return calls.renameOpenFile(file_.get(), FileRenameInfo, rename,
                              static_cast<DWORD>(buffer.size())) != 0;
}

void TemporaryFile::closeInPlace() {
  path_.clear();  // in place, no longer this object's to remove
  if (!CloseHandle(file_.release())) win::ThrowLastError("CloseHandle (copy in place)");
}

// The name that the open copy carries now, as its file system tells it.
TemporaryFile::Naming TemporaryFile::naming() const {
  std::vector<std::byte> buffer(sizeof(FILE_NAME_INFO) + kLongestPath * sizeof(wchar_t));
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
void TemporaryFile::discard() noexcept {
  if (path_.empty()) return;
  if (!file_) {
    DeleteFileW(path_.c_str());
    return;
  }
  if (naming() == Naming::Temporary) {
    FILE_DISPOSITION_INFO disposition{TRUE};
    SetFileInformationByHandle(file_.get(), FileDispositionInfo, &disposition, sizeof disposition);
  }
  file_.reset();
}

}  // namespace dravelin
