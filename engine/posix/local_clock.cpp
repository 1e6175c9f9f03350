// Local time as the C library keeps it: the zone of TZ, or the system's when TZ is not set.
#include "local_clock.h"

#include <ctime>

namespace dravelin {

namespace {
constexpr int kFirstYear = 1900;  // struct tm counts years from here
}  // namespace

std::optional<WallClock> LocalWallClock(FileTime time) {
  const auto t = static_cast<std::time_t>(time);
  std::tm local{};
  if (localtime_r(&t, &local) == nullptr) return std::nullopt;
  return WallClock{local.tm_year + kFirstYear,
                   local.tm_mon + 1,
                   local.tm_mday,
                   local.tm_hour,
                   local.tm_min,
                   local.tm_sec};
}

std::optional<FileTime> InstantOnLocalClock(const WallClock& clock) {
  std::tm local{};
  local.tm_year = clock.year - kFirstYear;
  local.tm_mon = clock.month - 1;
  local.tm_mday = clock.day;
  local.tm_hour = clock.hour;
  local.tm_min = clock.minute;
  local.tm_sec = clock.second;
  local.tm_isdst = -1;  // let the library decide whether daylight saving applies
  const std::time_t t = std::mktime(&local);
  if (t == -1) return std::nullopt;
  return static_cast<FileTime>(t);
}

}  // namespace dravelin
