#include "local_dates.h"

#include <windows.h>

#include "win32/file_times.h"
#include "win32/last_error.h"

namespace dravelin::uitest {

FileTime LocalTime(int year, int month, int day, int hour, int minute, int second) {
  SYSTEMTIME local{};
  local.wYear = static_cast<WORD>(year);
  local.wMonth = static_cast<WORD>(month);
  local.wDay = static_cast<WORD>(day);
  local.wHour = static_cast<WORD>(hour);
  local.wMinute = static_cast<WORD>(minute);
  local.wSecond = static_cast<WORD>(second);
  SYSTEMTIME utc{};
  if (!::TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc))
    win::ThrowLastError("TzSpecificLocalTimeToSystemTime");
  FILETIME time{};
  if (!::SystemTimeToFileTime(&utc, &time)) win::ThrowLastError("SystemTimeToFileTime");
  return win::SecondsOf(time);
}

}  // namespace dravelin::uitest
