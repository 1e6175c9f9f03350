// The system's time zone through the Win32 time-zone API. The C runtime's local time would
// follow a TZ variable in its own syntax and read an IANA name such as Asia/Seoul as UTC, while
// every other program on the machine shows the system's zone.
#include "local_clock.h"

#include <windows.h>

#include "win32/file_times.h"
#include "windows_ticks.h"

namespace dravelin {

namespace {

// The fields of a SYSTEMTIME are WORDs; anything that does not fit names no date.
bool Fits(int value) { return value >= 0 && value <= 0xFFFF; }

}  // namespace

std::optional<WallClock> LocalWallClock(FileTime time) {
  const std::optional<std::int64_t> ticks = ToWindowsTicks(time);
  if (!ticks) return std::nullopt;
  const FILETIME file = win::FiletimeOf(*ticks);
  SYSTEMTIME utc{};
  SYSTEMTIME local{};
  // A null zone means the one currently set, each date taken with that year's daylight rules.
  if (!::FileTimeToSystemTime(&file, &utc) ||
      !::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
    return std::nullopt;
  }
  return WallClock{local.wYear, local.wMonth,  local.wDay,
                   local.wHour, local.wMinute, local.wSecond};
}

std::optional<FileTime> InstantOnLocalClock(const WallClock& clock) {
  for (const int field :
       {clock.year, clock.month, clock.day, clock.hour, clock.minute, clock.second}) {
    if (!Fits(field)) return std::nullopt;
  }
  SYSTEMTIME local{};
  local.wYear = static_cast<WORD>(clock.year);
  local.wMonth = static_cast<WORD>(clock.month);
  local.wDay = static_cast<WORD>(clock.day);
  local.wHour = static_cast<WORD>(clock.hour);
  local.wMinute = static_cast<WORD>(clock.minute);
  local.wSecond = static_cast<WORD>(clock.second);
  SYSTEMTIME utc{};
  FILETIME file{};
  if (!::TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) ||
      !::SystemTimeToFileTime(&utc, &file)) {
    return std::nullopt;
  }
  return win::SecondsOf(file);
}

}  // namespace dravelin
