// Paths of MAX_PATH (260) characters or more on Windows, which most Win32 calls refuse in their
// ordinary form. Only the Win32 side of the runtime defines and uses these.
#pragma once

#include <cstddef>
#include <string>

namespace dravelin {

// CreateDirectoryW's limit: the directory must leave room for an 8.3 file name in MAX_PATH.
inline constexpr std::size_t kLongestDirectoryToMake = 248;

// `path` in a form that Win32 file calls accept at any length: a path of `limit` characters or
// more becomes a full extended-length path ("\\?\C:\dir\file" or "\\?\UNC\server\share\file");
// a shorter one, or one already in an extended or device form, comes back unchanged.
std::wstring ExtendedLengthPath(const std::wstring& path, std::size_t limit = 260);

// The 8.3 form of an existing file's full path, in the ordinary form (no "\\?\"); "" when the
// file system keeps no short names or the file is missing.
std::wstring ShortPath(const std::wstring& path);

}  // namespace dravelin
