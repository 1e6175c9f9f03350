// The moment a floor's own work begins, for bench/wine-runs to time it from there.
#pragma once

#include <windows.h>

#include <cstdint>

namespace dravelin::bench {

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
