#include "file_identity.h"

#include <algorithm>
#include <cstring>

#include "win32/handles.h"
#include "win32/last_error.h"
#include "win32/later_file_classes.h"

namespace dravelin {

namespace {

bool Unnumbered(const FileIdentity& identity) {
  return std::ranges::all_of(identity.file, [](BYTE part) { return part == 0; });
}

}  // namespace

std::optional<FileIdentity> IdentityOf(HANDLE file, FileQuery query) {
  FileIdentity identity;
  win::FileIdRecord id{};
  // Windows 7 refuses the class (ERROR_INVALID_PARAMETER), and so may a file system or a
  // redirector that keeps no 128-bit ids: the older call answers there.
  if (query(file, win::kFileIdInfo, &id, sizeof id)) {
    identity.volume = id.volumeSerialNumber;
    static_assert(sizeof id.fileId == sizeof identity.file);
    std::memcpy(identity.file.data(), id.fileId, identity.file.size());
  } else {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file, &info)) return std::nullopt;
    identity.volume = info.dwVolumeSerialNumber;
    const std::uint64_t index = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    std::memcpy(identity.file.data(), &index, sizeof index);
  }
  if (Unnumbered(identity)) return std::nullopt;
  return identity;
}

std::optional<FileIdentity> IdentityAt(const std::wstring& path) {
  const win::UniqueFile file(
      ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return std::nullopt;
    win::ThrowLastError("CreateFileW (identity)");
  }
  const std::optional<FileIdentity> identity = IdentityOf(file.get());
  if (!identity)
    throw RuntimeError("GetFileInformationByHandle (no identity)", ERROR_NOT_SUPPORTED);
  return identity;
}

}  // namespace dravelin
