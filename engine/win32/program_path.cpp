#include "program_path.h"

#include <windows.h>

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

// The running program's own kind, from the headers of its image in memory (which the loader
// checked when it loaded them).
ProgramKind RunningProgramKind() {
  const auto* image = reinterpret_cast<const char*>(::GetModuleHandleW(nullptr));
  const auto* self = reinterpret_cast<const IMAGE_NT_HEADERS*>(
      image + reinterpret_cast<const IMAGE_DOS_HEADER*>(image)->e_lfanew);
  return ProgramKind{.machine = self->FileHeader.Machine, .magic = self->OptionalHeader.Magic};
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
  return IsProgramImageOf(head, RunningProgramKind());
}

}  // namespace dravelin
