#include "program_path.h"

#include <windows.h>

#include <cstring>
#include <optional>
#include <vector>

#include "file_identity.h"
#include "runtime_error.h"
#include "win32/last_error.h"
#include "win32/paths.h"

namespace dravelin {

namespace {

// The identity of what `path` reaches; nullopt where nothing is there or it cannot be told.
std::optional<FileIdentity> KnownIdentityAt(const std::wstring& path) {
  try {
    return IdentityAt(path);
  } catch (const RuntimeError&) {
    return std::nullopt;
  }
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
  static const std::optional<FileIdentity> running = KnownIdentityAt(RunningProgramPath());
  // A file system without file numbers tells no file from another: the path it is.
  if (!running) return win::SamePath(path, RunningProgramPath());
  return KnownIdentityAt(path) == running;
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
