#include "program_path.h"

#include <windows.h>

#include <vector>

#include "win32/last_error.h"

namespace dravelin {

std::wstring RunningProgramPath() {
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) win::ThrowLastError("GetModuleFileNameW");
    if (length < path.size()) return std::wstring(path.data(), length);
    path.resize(path.size() * 2);  // truncated: try again with room to spare
  }
}

}  // namespace dravelin
