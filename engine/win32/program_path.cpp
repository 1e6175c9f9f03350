#include "program_path.h"

#include <windows.h>

#include <cstring>
#include <optional>
#include <vector>

#include "win32/handles.h"
#include "win32/last_error.h"
#include "win32/paths.h"

namespace dravelin {

namespace {

// A file as its volume knows it.
struct FileIdentity {
  DWORD volume;
  DWORD indexHigh;
  DWORD indexLow;
  bool operator==(const FileIdentity&) const = default;
};

std::optional<FileIdentity> IdentityOf(const std::wstring& path) {
  // No access asked: a running program's file opens so, whoever holds it.
  const win::UniqueFile file(::CreateFileW(path.c_str(), 0,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, 0, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!file || !::GetFileInformationByHandle(file.get(), &info)) return std::nullopt;
  return FileIdentity{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

// A copy of `T` read from `at` bytes into `bytes`; nullopt where they end before it does.
template <typename T>
std::optional<T> ReadAt(std::span<const char> bytes, std::size_t at) {
  if (at > bytes.size() || bytes.size() - at < sizeof(T)) return std::nullopt;
  T value;
  std::memcpy(&value, bytes.data() + at, sizeof value);
  return value;
}

}  // namespace

std::wstring RunningProgramPath() {
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) win::ThrowLastError("GetModuleFileNameW");
    if (length < path.size()) return std::wstring(path.data(), length);
    path.resize(path.size() * 2);  // truncated: try again with room to spare
  }
}

bool IsRunningProgram(const std::wstring& path) {
  static const std::optional<FileIdentity> running = IdentityOf(RunningProgramPath());
  // A file system without file numbers (they read 0) tells no file from another: the path it is.
  if (!running || (running->indexHigh == 0 && running->indexLow == 0)) {
    return win::SamePath(path, RunningProgramPath());
  }
  return IdentityOf(path) == running;
}

bool IsProgramLikeThis(std::span<const char> head) {
  const auto* image = reinterpret_cast<const char*>(::GetModuleHandleW(nullptr));
  const auto* self = reinterpret_cast<const IMAGE_NT_HEADERS*>(
      image + reinterpret_cast<const IMAGE_DOS_HEADER*>(image)->e_lfanew);
  const auto dos = ReadAt<IMAGE_DOS_HEADER>(head, 0);
  if (!dos || dos->e_magic != IMAGE_DOS_SIGNATURE || dos->e_lfanew < 0) return false;
  const auto at = static_cast<std::size_t>(dos->e_lfanew);
  const auto signature = ReadAt<DWORD>(head, at);
  const auto file = ReadAt<IMAGE_FILE_HEADER>(head, at + sizeof(DWORD));
  const auto kind = ReadAt<WORD>(head, at + sizeof(DWORD) + sizeof(IMAGE_FILE_HEADER));
  return signature == IMAGE_NT_SIGNATURE && file && kind &&
         file->Machine == self->FileHeader.Machine &&
         (file->Characteristics & IMAGE_FILE_EXECUTABLE_IMAGE) &&
         !(file->Characteristics & IMAGE_FILE_DLL) && *kind == self->OptionalHeader.Magic;
}

}  // namespace dravelin
