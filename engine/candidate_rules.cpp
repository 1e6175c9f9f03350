#include "candidate_rules.h"

#include <stdexcept>

#include "error_rule.h"
#include "timestamp.h"
#include "windows_ticks.h"

namespace dravelin {

namespace {

using error_rule::Attempt;
using error_rule::Guard;

FileTime ToDate(const std::wstring& text) {
  const std::optional<FileTime> time = ParseTimestampText(text);
  if (!time) throw std::invalid_argument("timestamp text is no date");
  return *time;
}

// The date rule compares the dates that the two texts name; it throws when the local text names
// none, and the caller's guard then counts the server file as newer. Those dates are the files'
// own times, which the texts show to the second: only where daylight saving ends does one text
// name two instants (the hour that comes twice), and the file's own time is the one it shows.
bool IsNewer(NewerRule rule, FileTime serverTime, const std::wstring& serverText,
             std::optional<FileTime> localTime, const std::wstring& localText) {
  if (rule == NewerRule::Text) return serverText > localText;
  ToDate(localText);
  return serverTime > localTime.value();
}

// Whether a copy can carry `time` exactly and the question show it in `text` that names a date (a
// year past 9999 does not). The first tick of 1601 is no time to the system (a copy given it keeps
// the time of its writing), nor is anything before.
bool ShownAndCarried(FileTime time, const std::wstring& text) {
  return ToWindowsTicks(time).value_or(0) > 0 && ParseTimestampText(text).has_value();
}

}  // namespace

std::optional<CandidateDates> WeighCandidate(const Weighing& file,
                                             const std::function<bool()>& takesIt) {
  // A copy would replace a folder, or another file that a short name reaches.
  if (file.local.inTheWay) return std::nullopt;
  // The very same time on both sides gives the same text twice, which neither rule finds newer.
  // Most files of a scan are up to date, so they are passed over without making texts.
  const std::optional<FileTime> localTime = file.local.modified;
  if (localTime == file.serverTime) return std::nullopt;

  CandidateDates dates{kNoTimestamp, kNoTimestamp};
  Attempt([&] { dates.server = TimestampText(file.serverTime); });
  // A server text that is no timestamp ("0") is no time a copy can carry either.
  bool carried = false;
  Attempt([&] { carried = ShownAndCarried(file.serverTime, dates.server); });
  if (!carried) return std::nullopt;
  if (localTime) Attempt([&] { dates.local = TimestampText(*localTime); });

  if (!Guard([&] {
        return IsNewer(file.newerRule, file.serverTime, dates.server, localTime, dates.local);
      })) {
    return std::nullopt;
  }
  if (file.standing == Answer::SkipAll) return std::nullopt;
  if (!takesIt()) return std::nullopt;
  return dates;
}

}  // namespace dravelin
