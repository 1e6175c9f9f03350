// FILETIME, the two halves of a tick count, joined and split in this one place; its seconds by
// the one rule of windows_ticks.h.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <stdexcept>

#include "windows_ticks.h"

namespace dravelin::win {

inline std::int64_t TicksOf(const FILETIME& time) {
  return static_cast<std::int64_t>((ULONGLONG{time.dwHighDateTime} << 32) | time.dwLowDateTime);
}

inline FILETIME FiletimeOf(std::int64_t ticks) {
  const auto bits = static_cast<ULONGLONG>(ticks);
  return {static_cast<DWORD>(bits), static_cast<DWORD>(bits >> 32)};
}

// Whole seconds since 1970, rounded towards the past.
inline std::int64_t SecondsOf(const FILETIME& time) { return FromWindowsTicks(TicksOf(time)); }

// The start of a second since 1970; throws for one that a FILETIME cannot hold.
inline FILETIME FiletimeAt(std::int64_t seconds) {
  const std::optional<std::int64_t> ticks = ToWindowsTicks(seconds);
  if (!ticks) throw std::out_of_range("no FILETIME holds that instant");
  return FiletimeOf(*ticks);
}

}  // namespace dravelin::win
