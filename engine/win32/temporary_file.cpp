#include "temporary_file.h"

#include <atomic>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <vector>

#include "file_failures.h"
#include "file_identity.h"
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

}  // namespace

std::wstring TemporaryName() {
  // Different per process and per call: two copies running at once do not keep colliding.
  static std::atomic<DWORD> next = GetCurrentProcessId() * kProcessIdSpread ^ GetTickCount();
  wchar_t digits[kTemporaryNameDigits + 1];
  std::swprintf(digits, std::size(digits), L"%08lX", static_cast<unsigned long>(next++));
  return std::wstring(kTemporaryPrefix) + digits + std::wstring(kTemporarySuffix);
}

bool RenameOpenFile(HANDLE file, const std::wstring& destination, bool replace,
                    const CopyCalls& calls) {
  const DWORD nameBytes = static_cast<DWORD>(destination.size() * sizeof(wchar_t));
  std::vector<std::byte> buffer(offsetof(FILE_RENAME_INFO, FileName) + nameBytes + sizeof(wchar_t));
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = replace;
  rename->FileNameLength = nameBytes;
  std::memcpy(rename->FileName, destination.c_str(), nameBytes + sizeof(wchar_t));
  return calls.renameOpenFile(file, FileRenameInfo, rename, static_cast<DWORD>(buffer.size())) != 0;
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
    if (RenameOpenFile(file_.get(), destination, true, calls)) return closeInPlace();
    const DWORD error = GetLastError();
    // Where a rename by handle is refused, the copy is closed and renamed by its path instead, at
    // the price of a moment in which another program may open it (the rename then waits for it
    // like for any held file).
    if (!RenameByHandleRefused(error)) {
      // Over a network a rename can be done and its answer lost (the connection dropped and came
      // back): the copy then already carries the destination's name.
      const Whereabouts where = afterFailedRename(destination, calls);
      if (where == Whereabouts::AtDestination) return closeInPlace();
      mayBeInPlace_ = mayBeInPlace_ || where == Whereabouts::Unknown;
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

// Only what the destination's path reaches tells where the copy is. The handle's own idea of its
// name does not: over a network the client's redirector answers it from its record of the open,
// without asking the server, which may have done the rename.
TemporaryFile::Whereabouts TemporaryFile::afterFailedRename(const std::wstring& destination,
                                                            const CopyCalls& calls) const {
  try {
    const std::optional<FileIdentity> copy = IdentityOf(file_.get(), calls.queryOpenFile);
    if (!copy) return Whereabouts::Unknown;
    return IdentityAt(destination) == copy ? Whereabouts::AtDestination : Whereabouts::Elsewhere;
  } catch (const RuntimeError&) {
    return Whereabouts::Unknown;
  }
}

void TemporaryFile::closeInPlace() {
  path_.clear();  // in place, no longer this object's to remove
  if (!CloseHandle(file_.release())) win::ThrowLastError("CloseHandle (copy in place)");
}

// Removes the copy that was not put in place: marked while it is still open, so that it goes
// with the handle and nobody else can open it meanwhile. A copy that may carry the destination's
// name since a rename whose answer was lost may be the client's file now: it stays, closed, under
// whatever name it has, and the next run's clean-up removes it if it is still in the work folder.
// Closed for a rename by path, it is removed by its path, where it still is.
void TemporaryFile::discard() noexcept {
  if (path_.empty()) return;
  if (!file_) {
    DeleteFileW(path_.c_str());
    return;
  }
  if (!mayBeInPlace_) {
    FILE_DISPOSITION_INFO disposition{TRUE};
    SetFileInformationByHandle(file_.get(), FileDispositionInfo, &disposition, sizeof disposition);
  }
  file_.reset();
}

}  // namespace dravelin
