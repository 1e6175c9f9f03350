// On Windows the texts follow the time zone set in the system, as Explorer shows file times,
// whatever TZ says. ctest runs these tests with TZ set to an IANA name, to garbage and to UTC;
// Wine takes its system zone from TZ, and DRAVELIN_EXPECTED_ZONE names the zone that Wine should
// then report, so that a run in the wrong zone fails instead of passing by chance.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "timestamp.h"
#include "win32/file_times.h"

namespace dravelin {
namespace {

constexpr FileTime kMinute = 60;
constexpr FileTime kHour = 60 * kMinute;
constexpr FileTime k2026Jan01 = 1'767'225'600;  // 2026-01-01 00:00:00 UTC

TIME_ZONE_INFORMATION SystemZone() {
  TIME_ZONE_INFORMATION zone{};
  if (GetTimeZoneInformation(&zone) == TIME_ZONE_ID_INVALID) {
    ADD_FAILURE() << "GetTimeZoneInformation";
  }
  return zone;
}

std::string ZoneName(const TIME_ZONE_INFORMATION& zone) {
  const std::wstring name = zone.StandardName;
  return std::string(name.begin(), name.end());  // the zone names are ASCII
}

// The text that a clock `offsetMinutes` ahead of UTC shows at `time`, worked out with plain UTC
// calendar arithmetic (no time-zone call of any kind).
std::wstring TextAtOffset(FileTime time, long offsetMinutes) {
  const FILETIME file = win::FiletimeAt(time + offsetMinutes * kMinute);
  SYSTEMTIME t{};
  EXPECT_TRUE(FileTimeToSystemTime(&file, &t));
  const int hour12 = t.wHour % 12 == 0 ? 12 : t.wHour % 12;
  wchar_t text[64];
  swprintf(text, 64, L"%04d-%02d-%02d %ls %d:%02d:%02d", t.wYear, t.wMonth, t.wDay,
           t.wHour < 12 ? L"오전" : L"오후", hour12, t.wMinute, t.wSecond);
  return text;
}

TEST(SystemTimeZone, IsTheZoneThisRunExpects) {
  const char* expected = std::getenv("DRAVELIN_EXPECTED_ZONE");
  ASSERT_NE(expected, nullptr) << "run by ctest, which names the zone it set up";
  const char* tz = std::getenv("TZ");
  EXPECT_EQ(ZoneName(SystemZone()), expected) << "TZ=" << (tz ? tz : "");
}

TEST(SystemTimeZone, TextsShowTheSystemClockNotTz) {
  const TIME_ZONE_INFORMATION zone = SystemZone();
  if (zone.DaylightDate.wMonth != 0) GTEST_SKIP() << ZoneName(zone) << " has daylight saving";
  const FileTime step = 97 * kHour + 7 * kMinute + 13;  // lands on every hour and weekday
  for (FileTime t = k2026Jan01; t < k2026Jan01 + 365 * 24 * kHour; t += step) {
    const std::wstring text = TimestampText(t);
    EXPECT_EQ(text, TextAtOffset(t, -zone.Bias)) << ZoneName(zone) << " at " << t;
    EXPECT_EQ(ParseTimestampText(text), std::optional<FileTime>(t)) << t;
  }
}

TEST(KoreanTime, AFileWrittenAtHalfPastTwo) {
  ASSERT_EQ(ZoneName(SystemZone()), "Korea Standard Time");
  const FileTime written = 1'795'152'645;  // 2026-11-20 05:30:45 UTC
  EXPECT_EQ(TimestampText(written), L"2026-11-20 오후 2:30:45");
}

// America/New_York: UTC-5 in winter, UTC-4 from the second Sunday of March (2:00 becomes 3:00)
// to the first Sunday of November (2:00 becomes 1:00 again).
TEST(EasternTime, DaylightSavingFollowsTheDate) {
  ASSERT_EQ(ZoneName(SystemZone()), "Eastern Standard Time");
  const FileTime january15 = k2026Jan01 + 14 * 24 * kHour + 12 * kHour;  // 12:00 UTC
  const FileTime july1 = 1'782'907'200;                                  // 2026-07-01 12:00 UTC
  EXPECT_EQ(TimestampText(january15), L"2026-01-15 오전 7:00:00");
  EXPECT_EQ(TimestampText(july1), L"2026-07-01 오전 8:00:00");
  EXPECT_EQ(ParseTimestampText(L"2026-07-01 오전 8:00:00"), std::optional<FileTime>(july1));
}

TEST(EasternTime, TheHourSkippedInMarchIsNoDate) {
  ASSERT_EQ(ZoneName(SystemZone()), "Eastern Standard Time");
  EXPECT_FALSE(ParseTimestampText(L"2026-03-08 오전 2:30:00"));
  const FileTime marchChange = 1'772'953'200;  // 2026-03-08 07:00:00 UTC = 3:00 EDT
  EXPECT_EQ(TimestampText(marchChange - 1), L"2026-03-08 오전 1:59:59");
  EXPECT_EQ(TimestampText(marchChange), L"2026-03-08 오전 3:00:00");
  for (FileTime t = marchChange - 3 * kHour; t < marchChange + 3 * kHour; t += 11 * kMinute + 1) {
    EXPECT_EQ(ParseTimestampText(TimestampText(t)), std::optional<FileTime>(t)) << t;
  }
}

}  // namespace
}  // namespace dravelin
