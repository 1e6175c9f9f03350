#include "candidate_rules.h"

#include <gtest/gtest.h>

#include "local_clock.h"
#include "timestamp.h"

namespace dravelin {
namespace {

FileTime OnTheClock(int hour, int minute = 0, int second = 0, int year = 2024) {
  return InstantOnLocalClock({year, 1, 5, hour, minute, second}).value();
}

constexpr FileTime kFirstTickOf1601 = -11'644'473'600;  // no time to the system

TEST(CandidateRules, WeighEachRuleInTurn) {
  const LocalCopy none{};
  const LocalCopy folder{true, std::nullopt};
  const auto at = [](FileTime time) { return LocalCopy{false, time}; };
  struct Case {
    const char* what;
    Weighing file;
    bool takesIt;
    bool candidate;
    bool askedWhetherItTakesIt;
  };
  const Case cases[] = {
      {"no local copy", {OnTheClock(22), none, NewerRule::Date, Answer::None}, true, true, true},
      {"a folder in the way",
       {OnTheClock(22), folder, NewerRule::Date, Answer::None},
       true,
       false,
       false},
      {"the same time",
       {OnTheClock(22), at(OnTheClock(22)), NewerRule::Date, Answer::None},
       true,
       false,
       false},
      {"an older server copy",
       {OnTheClock(21), at(OnTheClock(22)), NewerRule::Date, Answer::None},
       true,
       false,
       false},
      {"a second newer",
       {OnTheClock(22, 0, 1), at(OnTheClock(22)), NewerRule::Date, Answer::None},
       true,
       true,
       true},
      {"by date, ten after nine",
       {OnTheClock(22), at(OnTheClock(21)), NewerRule::Date, Answer::None},
       true,
       true,
       true},
      // The texts compare character by character: "오후 10:" sorts before "오후 9:".
      {"by text, ten not after nine",
       {OnTheClock(22), at(OnTheClock(21)), NewerRule::Text, Answer::None},
       true,
       false,
       false},
      {"by text, afternoon after morning",
       {OnTheClock(13), at(OnTheClock(11)), NewerRule::Text, Answer::None},
       true,
       true,
       true},
      {"a local time that names no date",
       {OnTheClock(22), at(OnTheClock(9, 0, 0, 10'000)), NewerRule::Date, Answer::None},
       true,
       true,
       true},
      {"the first tick of 1601",
       {kFirstTickOf1601, none, NewerRule::Date, Answer::None},
       true,
       false,
       false},
      {"past the year 9999",
       {OnTheClock(9, 0, 0, 10'000), none, NewerRule::Date, Answer::None},
       true,
       false,
       false},
      {"Skip All given",
       {OnTheClock(22), none, NewerRule::Date, Answer::SkipAll},
       true,
       false,
       false},
      {"Replace All given",
       {OnTheClock(22), none, NewerRule::Date, Answer::ReplaceAll},
       true,
       true,
       true},
      {"no room or no right",
       {OnTheClock(22), none, NewerRule::Date, Answer::None},
       false,
       false,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    bool asked = false;
    const std::optional<CandidateDates> dates = WeighCandidate(c.file, [&] {
      asked = true;
      return c.takesIt;
    });
    EXPECT_EQ(dates.has_value(), c.candidate);
    EXPECT_EQ(asked, c.askedWhetherItTakesIt);
  }
}

TEST(CandidateRules, TheQuestionShowsBothDatesOrNoneForAMissingCopy) {
  const auto weigh = [](const LocalCopy& local) {
    return WeighCandidate({OnTheClock(22, 4, 5), local, NewerRule::Date, Answer::None},
                          [] { return true; });
  };
  const std::optional<CandidateDates> missing = weigh({});
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->server, L"2024-01-05 오후 10:04:05");
  EXPECT_EQ(missing->local, kNoTimestamp);
  const std::optional<CandidateDates> older = weigh({false, OnTheClock(0, 30)});
  ASSERT_TRUE(older);
  EXPECT_EQ(older->local, L"2024-01-05 오전 12:30:00");
}

}  // namespace
}  // namespace dravelin
