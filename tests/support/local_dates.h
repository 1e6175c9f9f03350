// Dates on the local wall clock, which the questions show, for the files of whole runs.
#pragma once

#include "runtime.h"

namespace dravelin::uitest {

// The instant at which the local wall clock shows this date and time.
FileTime LocalTime(int year, int month, int day, int hour, int minute, int second);

// The whole-program tests' usual pair: an older copy from November and a newer one from December.
// Worked out as the test binary starts, on the clock of the zone it was started in.
inline const FileTime kNovember = LocalTime(2026, 11, 1, 9, 0, 0);
inline const FileTime kDecember = LocalTime(2026, 12, 1, 15, 4, 5);

}  // namespace dravelin::uitest
