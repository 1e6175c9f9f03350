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

// Passed over unasked: before the disk and the folder are asked whether they take the copy.
enum Outcome { kCandidate, kPassedOver, kPassedOverUnasked };

TEST(CandidateRules, WeighEachRuleInTurn) {
  const LocalCopy none{}, folder{true, std::nullopt};
  const auto at = [](FileTime time) { return LocalCopy{false, time}; };
  constexpr NewerRule kDate = NewerRule::Date, kText = NewerRule::Text;
  struct Case {
    const char* what;
    FileTime server;
    LocalCopy local;
    Outcome outcome;
    NewerRule rule = kDate;
    Answer standing = Answer::None;
    bool takesIt = true;
  };
  const FileTime ten = OnTheClock(22), tenThousand = OnTheClock(9, 0, 0, 10'000);
  const Case cases[] = {
      {"no local copy", ten, none, kCandidate},
      {"a folder in the way", ten, folder, kPassedOverUnasked},
      {"the same time", ten, at(ten), kPassedOverUnasked},
      {"an older server copy", OnTheClock(21), at(ten), kPassedOverUnasked},
      {"a second newer", OnTheClock(22, 0, 1), at(ten), kCandidate},
      {"by date, ten after nine", ten, at(OnTheClock(21)), kCandidate},
      // The texts compare character by character: "오후 10:" sorts before "오후 9:".
      {"by text, ten not after nine", ten, at(OnTheClock(21)), kPassedOverUnasked, kText},
      {"by text, afternoon after morning", OnTheClock(13), at(OnTheClock(11)), kCandidate, kText},
      {"a local time that names no date", ten, at(tenThousand), kCandidate},
      {"the first tick of 1601", kFirstTickOf1601, none, kPassedOverUnasked},
      {"past the year 9999", tenThousand, none, kPassedOverUnasked},
      {"Skip All given", ten, none, kPassedOverUnasked, kDate, Answer::SkipAll},
      {"Replace All given", ten, none, kCandidate, kDate, Answer::ReplaceAll},
      {"no room or no right", ten, none, kPassedOver, kDate, Answer::None, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    bool asked = false;
    const std::optional<CandidateDates> dates =
        WeighCandidate({c.server, c.local, c.rule, c.standing}, [&] {
          asked = true;
          return c.takesIt;
        });
    EXPECT_EQ(dates.has_value(), c.outcome == kCandidate);
    EXPECT_EQ(asked, c.outcome != kPassedOverUnasked);
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
