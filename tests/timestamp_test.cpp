#include "timestamp.h"

#include <gtest/gtest.h>

#include "test_tree.h"

namespace dravelin {
namespace {

constexpr FileTime kHour = 3600;
constexpr FileTime kDay = 24 * kHour;
constexpr FileTime k2026Dec01 = 1'796'083'200;  // 2026-12-01 00:00:00 UTC

class TimestampTextInUtc : public ::testing::Test {
 protected:
  testing::UtcClock utc_;
};

TEST_F(TimestampTextInUtc, KoreanGeneralForm) {
  EXPECT_EQ(TimestampText(0), L"1970-01-01 오전 12:00:00");
  EXPECT_EQ(TimestampText(k2026Dec01 + 9 * kHour + 15 * 60), L"2026-12-01 오전 9:15:00");
  EXPECT_EQ(TimestampText(k2026Dec01 + 12 * kHour), L"2026-12-01 오후 12:00:00");
  EXPECT_EQ(TimestampText(k2026Dec01 + 15 * kHour + 4 * 60 + 5), L"2026-12-01 오후 3:04:05");
  EXPECT_EQ(TimestampText(k2026Dec01 - 1), L"2026-11-30 오후 11:59:59");
}

TEST_F(TimestampTextInUtc, TextConvertsBackToTheSameSecond) {
  for (FileTime t = k2026Dec01 - 3 * kDay; t < k2026Dec01 + 3 * kDay; t += 7 * 60 + 13) {
    const std::optional<FileTime> back = ParseTimestampText(TimestampText(t));
    ASSERT_TRUE(back) << t;
    EXPECT_EQ(*back, t);
  }
}

TEST_F(TimestampTextInUtc, TextsThatAreNoDateFail) {
  for (const std::wstring_view text :
       {L"0", L"", L"2026-12-01", L"2026-02-30 오전 1:00:00", L"2026-12-01 오전 13:00:00",
        L"2026-12-01 오전 0:30:00", L"2026-12-01 오전 9:15:00x", L"2026-12-01 AM 9:15:00",
        L"2026-1-01 오전 9:15:00", L"2026-12-01 오후 1:60:00", L" 2026-12-01 오전 9:15:00"}) {
    EXPECT_FALSE(ParseTimestampText(std::wstring(text))) << "accepted: " << std::wstring(text);
  }
}

#ifndef _WIN32
// POSIX programs follow TZ; on Windows the system's zone counts (system_zone_test.cpp).
TEST(TimestampText, FollowsTheLocalTimeZone) {
  testing::ScopedTimeZone seoul("KST-9");  // Korea: UTC+9, no daylight saving
  EXPECT_EQ(TimestampText(k2026Dec01), L"2026-12-01 오전 9:00:00");
  EXPECT_EQ(ParseTimestampText(L"2026-12-01 오전 9:00:00"), std::optional<FileTime>(k2026Dec01));
}
#endif

TEST_F(TimestampTextInUtc, UnpaddedHoursDoNotSortByTime) {
  // The texts order by characters: 9 o'clock sorts after 10 o'clock of the same day.
  EXPECT_GT(TimestampText(k2026Dec01 + 9 * kHour), TimestampText(k2026Dec01 + 10 * kHour));
}

}  // namespace
}  // namespace dravelin
