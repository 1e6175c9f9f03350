// The moment a floor's own work begins, for bench/wine-runs to time it from there.
#pragma once

#include <windows.h>

#include <cstdint>

#include "windows_ticks.h"

namespace dravelin::bench {

// Microseconds since 1970, as bash's EPOCHREALTIME counts them.
inline std::int64_t MicrosecondsNow() {
  FILETIME now{};
  ::GetSystemTimePreciseAsFileTime(&now);
  const std::int64_t ticks =
      (static_cast<std::int64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  return (ticks - kTicksFrom1601To1970) / 10;
}

}  // namespace dravelin::bench
