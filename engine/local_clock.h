// The local wall clock: an instant as the date and time of day that the user's clock shows, and
// back. On Windows that is the time zone set in the system, with its daylight-saving rules, as
// Explorer shows file times, whatever a TZ variable in the environment says. On POSIX it is the
// C library's local time, which follows TZ by that system's own rules.
#pragma once

#include <optional>

#include "runtime.h"

namespace dravelin {

struct WallClock {
  int year = 0;
  int month = 0;  // 1 to 12
  int day = 0;    // 1 to 31
  int hour = 0;   // 0 to 23
  int minute = 0;
  int second = 0;
  bool operator==(const WallClock&) const = default;
};

// nullopt when the system cannot convert the instant.
std::optional<WallClock> LocalWallClock(FileTime time);

// An instant at which the local clock shows `clock`, or nullopt when the fields name no date.
// Fields out of range may be normalised or refused; callers that need an exact reading convert
// the result back and compare.
std::optional<FileTime> InstantOnLocalClock(const WallClock& clock);

}  // namespace dravelin
