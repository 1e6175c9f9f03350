// What the floors share: the client's start, as the program starts it, and the moment a floor's
// own work begins, for bench/wine-runs to time it from there.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "win32/handles.h"
#include "win32/last_error.h"

namespace dravelin::bench {

// Starts `program` in its own directory without waiting for it.
inline void StartClient(const std::wstring& program) {
  const std::wstring directory = program.substr(0, program.find_last_of(L'\\'));
  std::wstring commandLine = L"\"" + program + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        directory.c_str(), &startup, &process)) {
    win::ThrowLastError("CreateProcessW");
  }
  const win::UniqueKernelHandle thread(process.hThread);
  const win::UniqueKernelHandle started(process.hProcess);
}

// Microseconds since 1970, as bash's EPOCHREALTIME counts them.
inline std::int64_t MicrosecondsNow() {
  constexpr std::int64_t kUnixEpochTicks = 116444736000000000;  // 1601 to 1970, in 100 ns
  FILETIME now{};
  ::GetSystemTimePreciseAsFileTime(&now);
  const std::int64_t ticks =
      (static_cast<std::int64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  return (ticks - kUnixEpochTicks) / 10;
}

}  // namespace dravelin::bench
