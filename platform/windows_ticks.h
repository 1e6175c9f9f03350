// Windows counts file times in 100-ns ticks since 1601-01-01 00:00:00 UTC; the program in whole
// seconds since 1970 (the engine's FileTime). Plain arithmetic, so that both systems can use and
// test it. Every conversion from ticks to seconds goes through FromWindowsTicks: one rule.
#pragma once

#include <cstdint>
#include <optional>

namespace dravelin {

inline constexpr std::int64_t kTicksPerSecond = 10'000'000;
inline constexpr std::int64_t kTicksFrom1601To1970 = 116'444'736'000'000'000;

// Rounds towards the past, also before 1970, so a text shows the second the file was written in.
// Whole seconds first, then the offset: no step overflows, whatever a file system reports (a
// FILETIME of 2^63 ticks or more reads as a negative count).
constexpr std::int64_t FromWindowsTicks(std::int64_t ticks) {
  const std::int64_t since1601 = ticks / kTicksPerSecond - (ticks % kTicksPerSecond < 0 ? 1 : 0);
  return since1601 - kTicksFrom1601To1970 / kTicksPerSecond;
}

// nullopt for an instant that Windows ticks cannot hold (before 1601, or tens of millennia on).
constexpr std::optional<std::int64_t> ToWindowsTicks(std::int64_t seconds) {
  constexpr std::int64_t kFirst = -kTicksFrom1601To1970 / kTicksPerSecond;
  constexpr std::int64_t kLast = (INT64_MAX - kTicksFrom1601To1970) / kTicksPerSecond;
  if (seconds < kFirst || seconds > kLast) return std::nullopt;
  return seconds * kTicksPerSecond + kTicksFrom1601To1970;
}

}  // namespace dravelin
