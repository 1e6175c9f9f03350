// Most Win32 calls refuse paths of MAX_PATH characters or more unless the program is long-path
// aware and the system allows it (Windows 10 1607 on, by policy). The extended-length form goes to
// the file system as it is, up to 32,767 characters; it is taken literally, so it must be a full
// path with backslashes only and no "." or ".." parts, which GetFullPathNameW makes of any path.
// Wine takes long paths in the ordinary form as well, but not everywhere (see StartByShortName).
#include "long_path.h"

#include <windows.h>

#include <string_view>
#include <vector>

#include "runtime_error.h"
#include "win32/last_error.h"

namespace dravelin {

namespace {

constexpr std::wstring_view kExtendedPrefix = L"\\\\?\\";
constexpr std::wstring_view kExtendedUncPrefix = L"\\\\?\\UNC\\";
constexpr std::wstring_view kDevicePrefix = L"\\\\.\\";
constexpr std::wstring_view kUncPrefix = L"\\\\";

std::wstring FullPath(const std::wstring& path) {
  std::vector<wchar_t> full(path.size() + MAX_PATH);
  for (;;) {
    const DWORD length =
        GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0) win::ThrowLastError("GetFullPathNameW");
    if (length < full.size()) return std::wstring(full.data(), length);
    full.resize(length);  // too small: `length` is the size asked for
  }
}

std::wstring WithoutExtendedPrefix(const std::wstring& path) {
  const std::wstring_view view(path);
  if (view.starts_with(kExtendedUncPrefix)) {
    return std::wstring(kUncPrefix) + path.substr(kExtendedUncPrefix.size());
  }
  if (view.starts_with(kExtendedPrefix)) return path.substr(kExtendedPrefix.size());
  return path;
}

}  // namespace

std::wstring ExtendedLengthPath(const std::wstring& path, std::size_t limit) {
  const std::wstring_view view(path);
  if (path.size() < limit || view.starts_with(kExtendedPrefix) || view.starts_with(kDevicePrefix)) {
    return path;
  }
  const std::wstring full = FullPath(path);
  if (std::wstring_view(full).starts_with(kUncPrefix)) {
    return std::wstring(kExtendedUncPrefix) + full.substr(kUncPrefix.size());
  }
  return std::wstring(kExtendedPrefix) + full;
}

std::wstring ShortPath(const std::wstring& path) {
  const std::wstring extended = ExtendedLengthPath(path);
  const DWORD size = GetShortPathNameW(extended.c_str(), nullptr, 0);
  if (size == 0) return {};
  std::vector<wchar_t> shortened(size);
  const DWORD length = GetShortPathNameW(extended.c_str(), shortened.data(), size);
  if (length == 0 || length >= size) return {};
  return WithoutExtendedPrefix(std::wstring(shortened.data(), length));
}

}  // namespace dravelin
