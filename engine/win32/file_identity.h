// A file as its volume knows it, whichever path reaches it.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace dravelin {

struct FileIdentity {
  std::uint64_t volume = 0;
  std::array<BYTE, 16> file{};  // the 128-bit file id, or the 64-bit index in its first half
  bool operator==(const FileIdentity&) const = default;
};

// The system's own query of an open file, which a test may play (win32/copy_calls.h).
using FileQuery = decltype(&::GetFileInformationByHandleEx);

// The identity of the open `file`: the 128-bit FILE_ID_INFO where the system and the file system
// give it (Windows 8 on; the 64-bit index is not unique on ReFS), else the volume's serial number
// and the 64-bit index. Nullopt where neither is told, or where a file system without file
// numbers gives 0 for every file.
std::optional<FileIdentity> IdentityOf(HANDLE file,
                                       FileQuery query = ::GetFileInformationByHandleEx);

// The identity of what `path` reaches (a folder too). Opened with no access asked, which no
// holder of the file refuses, not even a running program's image. Nullopt where nothing is there;
// throws where it cannot be told: the path opens with another error, or the file has no identity.
std::optional<FileIdentity> IdentityAt(const std::wstring& path);

}  // namespace dravelin
